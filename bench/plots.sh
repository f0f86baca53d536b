#!/usr/bin/env bash
# Times rankmap and rankchart on a complete ranks-all table (in the page
# cache) against topten on the same table, in the same run, and prints the
# medians, the ratios to topten and the peak resident memory of each.
#
#   bench/plots.sh [build-dir] [table-file] [runs]
# Without a table file, a complete table of random cells is made with
# build/make_table. The pictures are PNG, written to a scratch directory.
set -euo pipefail
build=${1:-build}
table=${2:-}
runs=${3:-7}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if [ -z "$table" ]; then
  table=$scratch/table.txt
  "$build/make_table" > "$table"
fi

now() { date +%s.%N; }
median() { sort -g | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
rss() { { /usr/bin/time -f '%M' "$@" < "$table" > /dev/null; } 2>&1 | tail -1; }

map=("$build/rankmap" 2012 "$scratch/map.png")
chart=("$build/rankchart" 152 92 2012 "$scratch/chart.png")
top=("$build/topten" 7)

cat "$table" > /dev/null   # into the page cache
tm=(); tc=(); tt=()
for _ in $(seq "$runs"); do
  t0=$(now); "${map[@]}" < "$table"; t1=$(now)
  "${chart[@]}" < "$table"; t2=$(now)
  "${top[@]}" < "$table" > /dev/null; t3=$(now)
  tm+=("$(echo "$t1 - $t0" | bc -l)"); tc+=("$(echo "$t2 - $t1" | bc -l)"); tt+=("$(echo "$t3 - $t2" | bc -l)")
done
mm=$(printf '%s\n' "${tm[@]}" | median)
mc=$(printf '%s\n' "${tc[@]}" | median)
mt=$(printf '%s\n' "${tt[@]}" | median)
echo "table:               $(stat -c %s "$table") bytes, $(wc -l < "$table") lines, $runs runs"
printf 'rankmap median:      %.3f s  (%.2f x topten)\n' "$mm" "$(echo "$mm / $mt" | bc -l)"
printf 'rankchart median:    %.3f s  (%.2f x topten)\n' "$mc" "$(echo "$mc / $mt" | bc -l)"
printf 'topten median:       %.3f s\n' "$mt"
echo "rankmap peak RSS:    $(rss "${map[@]}") KB"
echo "rankchart peak RSS:  $(rss "${chart[@]}") KB"
echo "topten peak RSS:     $(rss "${top[@]}") KB"
