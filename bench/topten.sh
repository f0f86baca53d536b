#!/usr/bin/env bash
# Times topten on a complete ranks-all table (in the page cache) against
# `wc -l` of the same file, in the same run, and prints the medians, their
# ratio and topten's peak resident memory.
#
#   bench/topten.sh [build-dir] [table-file] [runs]
# Without a table file, fulltable makes one from a full 1895-2016 series of
# build/make_series (build/make_table makes a table of random cells instead).
set -euo pipefail
build=${1:-build}
table=${2:-}
runs=${3:-9}
if [ -z "$table" ]; then
  series=$(mktemp)
  dir=$(grep '^FULLTABLE_OUTPUT_DIR:' "$build/CMakeCache.txt" | cut -d= -f2-)
  table="${dir}BT_ranks_all.txt"
  trap 'rm -f "$series" "$table"' EXIT
  "$build/make_series" --missing-tmax 0.01 > "$series"
  "$build/fulltable" BT < "$series"
fi

now() { date +%s.%N; }
median() { sort -g | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

cat "$table" > /dev/null   # into the page cache
tt=(); wc=()
for _ in $(seq "$runs"); do
  t0=$(now); "$build/topten" 7 < "$table" > /dev/null; t1=$(now)
  t2=$(now); wc -l < "$table" > /dev/null; t3=$(now)
  tt+=("$(echo "$t1 - $t0" | bc -l)"); wc+=("$(echo "$t3 - $t2" | bc -l)")
done
mtt=$(printf '%s\n' "${tt[@]}" | median)
mwc=$(printf '%s\n' "${wc[@]}" | median)
rss=$( { /usr/bin/time -f '%M' "$build/topten" 7 < "$table" > /dev/null; } 2>&1 | tail -1)
echo "table:              $(stat -c %s "$table") bytes, $(wc -l < "$table") lines"
printf 'topten median:      %.3f s\n' "$mtt"
printf 'wc -l median:       %.3f s\n' "$mwc"
printf 'ratio:              %.2f\n' "$(echo "$mtt / $mwc" | bc -l)"
echo "topten peak RSS:    ${rss} KB"
