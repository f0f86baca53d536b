#!/usr/bin/env bash
# Times ghcnimport on a GHCN-Daily .dly file (in the page cache) against
# `wc -l` of the same file, in the same run, and prints the medians, their
# ratio, ghcnimport's median CPU time (user + system, which a busy machine
# disturbs less than the elapsed time) and its peak resident memory.
#
#   bench/ghcnimport.sh [build-dir] [dly-file] [runs]
# The default file is the whole Central Park station file (4 MB, every
# element) in ../shared/data/raw, or the repository's sample without it.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
file=${2:-}
runs=${3:-15}
if [ -z "$file" ]; then
  file=../shared/data/raw/USW00094728.dly
  [ -f "$file" ] || file=data/USW00094728.dly
fi

now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

cat "$file" > /dev/null   # into the page cache
gi=(); wc=()
for _ in $(seq "$runs"); do
  t0=$(now); "$build/ghcnimport" "$file" > /dev/null; t1=$(now)
  t2=$(now); wc -l "$file" > /dev/null; t3=$(now)
  gi+=($((t1 - t0))); wc+=($((t3 - t2)))
done
mgi=$(printf '%s\n' "${gi[@]}" | median)
mwc=$(printf '%s\n' "${wc[@]}" | median)
echo "file:               $file, $(stat -c %s "$file") bytes, $(wc -l < "$file") lines"
echo "series written:     $("$build/ghcnimport" "$file" | wc -l) lines"
awk -v g="$mgi" -v w="$mwc" 'BEGIN {
  printf "ghcnimport median:  %.1f ms\n", g / 1e6
  printf "wc -l median:       %.1f ms\n", w / 1e6
  printf "ratio:              %.1f\n", g / w }'
cpu=()
TIMEFORMAT='%3U %3S'
for _ in $(seq "$runs"); do
  t=$( { time "$build/ghcnimport" "$file" > /dev/null; } 2>&1 )
  cpu+=("$(echo "$t" | awk '{print ($1 + $2) * 1000}')")
done
echo "ghcnimport CPU median: $(printf '%s\n' "${cpu[@]}" | median) ms (user + system)"
if [ -x /usr/bin/time ]; then
  rss=$( { /usr/bin/time -f '%M' "$build/ghcnimport" "$file" > /dev/null; } 2>&1 | tail -1)
  echo "ghcnimport peak RSS: ${rss} KB"
fi
