# Checks of an installed suite, shared by install_check.sh and
# package_check.sh (sourced, not run). Each check prints "ok   NAME" or
# "FAIL NAME" and is counted; `finish` prints the counts and exits non-zero
# when any failed.

passed=0 failed=0
check() {  # check NAME COMMAND...: the command's status is the check
  local name=$1; shift
  if "$@"; then echo "ok   $name"; passed=$((passed + 1)); else echo "FAIL $name"; failed=$((failed + 1)); fi
}
same() {  # same GOT EXPECTED
  [ "$1" = "$2" ] || { echo "     got:      $(printf %q "$1")"; echo "     expected: $(printf %q "$2")"; return 1; }
}
finish() { echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]; exit; }

# cache_value BUILD_DIR NAME: a value of the build's CMake cache.
cache_value() { sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt"; }

# The programs: one for each manual page man/*.1 of the source tree SRC.
program_names() {
  local page
  for page in "$1"/man/*.1; do basename "$page" .1; done
}

# check_versions BIN VERSION PROGRAM...: each answers --version, reading
# nothing.
check_versions() {
  local bin=$1 version=$2 p; shift 2
  for p in "$@"; do
    check "$p --version" same "$("$bin/$p" --version </dev/null 2>&1)" "$p (window-ranks) $version"
  done
}

# check_runs BIN SERIES TABLES SCRATCH: nowreport and fulltable from BIN on
# SERIES (1 January 1895 to 1 March 1897), fulltable with RANKS_ALL_DIR set
# to the existing directory TABLES (its table is removed afterwards) and to
# a missing one.
check_runs() {
  local bin=$1 series=$2 tables=$3 scratch=$4
  # Each line repeats the last date, 1 March 1897; the 1-day period ranks
  # 1895 to 1897.
  "$bin/nowreport" <"$series" >"$scratch/now.out" 2>&1
  check "nowreport: 19 lines" same "$(wc -l <"$scratch/now.out")" "19"
  check "nowreport: the 1-day line" same "$(sed -n 2p "$scratch/now.out" | cut -c1-30)" "Mar  1 1897     1-day        3"

  RANKS_ALL_DIR=$tables "$bin/fulltable" IC <"$series" >"$scratch/ft.out" 2>&1
  check "fulltable into RANKS_ALL_DIR" same "$(cat "$scratch/ft.out"; ls "$tables")" "IC_ranks_all.txt"
  check "fulltable: the whole table" same "$(stat -c %s "$tables/IC_ranks_all.txt" 2>&1)" "377293200"
  check "fulltable: its first cell" same "$(head -c 15 "$tables/IC_ranks_all.txt")" "    1    1    3"
  rm -f "$tables/IC_ranks_all.txt"

  RANKS_ALL_DIR=$scratch/missing "$bin/fulltable" IC <"$series" >"$scratch/ft.out" 2>&1
  check "fulltable: a missing RANKS_ALL_DIR" same "$?: $(cat "$scratch/ft.out")" \
    "1: fulltable: cannot use RANKS_ALL_DIR '$scratch/missing/': No such file or directory"
}

# check_built_in_missing BIN DIR SCRATCH: without RANKS_ALL_DIR, fulltable
# fails before reading, naming its missing build-time directory DIR.
check_built_in_missing() {
  local bin=$1 dir=$2 scratch=$3
  env -u RANKS_ALL_DIR "$bin/fulltable" IC </dev/null >"$scratch/ft.out" 2>&1
  check "fulltable without RANKS_ALL_DIR: $dir missing" same "$?: $(cat "$scratch/ft.out")" \
    "1: fulltable: cannot create ${dir}IC_ranks_all.txt: No such file or directory"
}
