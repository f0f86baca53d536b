#!/usr/bin/env bash
# Times fulltable on a full 1895-2016 daily series against writing the same
# bytes durably into a new file in the same directory (cat of the finished
# table, then sync of that file), in the same run, and prints the medians,
# their ratio, the time to replace an existing table, and fulltable's peak
# resident memory (all its threads).
#
#   bench/fulltable.sh [build-dir] [series-file] [runs]
#
# The table and the copy are removed, and the file system synced, before
# every timed run of either side, so each writes a new file. Set
# FULLTABLE_THREADS to time fewer threads than the cores available.
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
settle() { sync -f "$dir" 2>/dev/null || sync; }

"$build/fulltable" BN < "$series"   # warm up the page cache
ft=(); wr=(); rp=()
for _ in $(seq "$runs"); do
  rm -f "$table"; settle
  t0=$(now); "$build/fulltable" BN < "$series"; t1=$(now)
  rm -f "$copy"; settle
  t2=$(now); cat "$table" > "$copy"; sync "$copy"; t3=$(now)
  rm -f "$copy"; settle
  t4=$(now); "$build/fulltable" BN < "$series"; t5=$(now)   # over the table just made
  ft+=("$(echo "$t1 - $t0" | bc -l)"); wr+=("$(echo "$t3 - $t2" | bc -l)"); rp+=("$(echo "$t5 - $t4" | bc -l)")
done
mft=$(printf '%s\n' "${ft[@]}" | median)
mwr=$(printf '%s\n' "${wr[@]}" | median)
mrp=$(printf '%s\n' "${rp[@]}" | median)
rss=$( { /usr/bin/time -f '%M' "$build/fulltable" BN < "$series"; } 2>&1 | tail -1)
echo "bytes written:          $(stat -c %s "$table")"
echo "threads:                ${FULLTABLE_THREADS:-all} of $(nproc) cores"
printf 'fulltable median:       %.3f s   (new table)\n' "$mft"
printf 'write baseline median:  %.3f s   (cat of the table into a new file, then sync of it)\n' "$mwr"
printf 'ratio:                  %.2f\n' "$(echo "$mft / $mwr" | bc -l)"
printf 'replace median:         %.3f s   (fulltable over an existing table)\n' "$mrp"
echo "fulltable peak RSS:     ${rss} KB"
rm -f "$table"
