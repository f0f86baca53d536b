#!/usr/bin/env bash
# Times fulltable on a full 1895-2016 daily series against the time to
# write the same number of bytes into a new file in the same directory
# (cat of the finished table), in the same run, and prints the medians,
# their ratio and fulltable's peak resident memory.
#
#   bench/fulltable.sh [build-dir] [series-file] [runs]
set -euo pipefail
build=${1:-build}
series=${2:-}
runs=${3:-7}
if [ -z "$series" ]; then
  series=$(mktemp)
  trap 'rm -f "$series"' EXIT
  "$build/make_series" --missing-tmax 0.01 > "$series"
fi
dir=$(grep '^FULLTABLE_OUTPUT_DIR:' "$build/CMakeCache.txt" | cut -d= -f2-)
table="${dir}BN_ranks_all.txt"
copy="${dir}BN_copy.txt"

now() { date +%s.%N; }
median() { sort -g | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

"$build/fulltable" BN < "$series"   # warm up the page cache
ft=(); wr=()
for _ in $(seq "$runs"); do
  rm -f "$table"; sync -f "$dir" 2>/dev/null || true
  t0=$(now); "$build/fulltable" BN < "$series"; t1=$(now)
  rm -f "$copy"; sync -f "$dir" 2>/dev/null || true
  t2=$(now); cat "$table" > "$copy"; t3=$(now)
  rm -f "$copy"
  ft+=("$(echo "$t1 - $t0" | bc -l)"); wr+=("$(echo "$t3 - $t2" | bc -l)")
done
mft=$(printf '%s\n' "${ft[@]}" | median)
mwr=$(printf '%s\n' "${wr[@]}" | median)
rss=$( { /usr/bin/time -f '%M' "$build/fulltable" BN < "$series"; } 2>&1 | tail -1)
echo "bytes written:          $(stat -c %s "$table")"
printf 'fulltable median:       %.3f s\n' "$mft"
printf 'write baseline median:  %.3f s   (cat of the table into a new file)\n' "$mwr"
printf 'ratio:                  %.2f\n' "$(echo "$mft / $mwr" | bc -l)"
echo "fulltable peak RSS:     ${rss} KB"
rm -f "$table"
