#!/usr/bin/env bash
# Installs a build into a scratch prefix with `cmake --install` and checks
# the installed suite: a program and a page for every man/*.1, the suite's
# man/*.7 pages, nothing else in bin/, each program's --version, nowreport
# on a small series, and fulltable with RANKS_ALL_DIR set (its table
# written there) and pointing at a missing directory (refused).
#
#   tests/install_check.sh BUILD_DIR [--move-build-tree]
#
# With --move-build-tree the build directory is renamed while the installed
# programs run, and put back at the end, so they are seen to work without
# it; fulltable without RANKS_ALL_DIR must then fail, naming its missing
# build-time directory. Use it only when nothing else is using the build
# directory (CI does, after the tests). ctest runs the check without it.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
. "$here/installed_checks.sh"

build=$(cd "${1:?usage: install_check.sh BUILD_DIR [--move-build-tree]}" && pwd)
move=0
[ "${2:-}" = "--move-build-tree" ] && move=1
version=$(cache_value "$build" CMAKE_PROJECT_VERSION)
built_in_dir=$(cache_value "$build" FULLTABLE_OUTPUT_DIR)

scratch=$(mktemp -d "${TMPDIR:-/tmp}/install-check-XXXXXX")
moved=""
cleanup() {
  [ -n "$moved" ] && mv "$moved" "$build"
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

prefix=$scratch/prefix
if ! cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1; then
  cat "$scratch/install.log"
  check "cmake --install" false
  finish
fi
mapfile -t programs < <(program_names "$src")
# The series is made before the build tree may be moved away.
"$build/make_series" --to 1897-03-01 >"$scratch/series.daily"
if [ $move = 1 ]; then
  moved=$build.moved-away
  mv "$build" "$moved"
fi

for p in "${programs[@]}"; do
  check "share/man/man1/$p.1" cmp -s "$prefix/share/man/man1/$p.1" "$src/man/$p.1"
done
for page in "$src"/man/*.7; do
  check "share/man/man7/${page##*/}" cmp -s "$prefix/share/man/man7/${page##*/}" "$page"
done
check "bin/ holds the programs only" same "$(ls "$prefix/bin" | sort)" "$(printf '%s\n' "${programs[@]}" | sort)"
check_versions "$prefix/bin" "$version" "${programs[@]}"
mkdir "$scratch/tables"
check_runs "$prefix/bin" "$scratch/series.daily" "$scratch/tables" "$scratch"
[ $move = 1 ] && check_built_in_missing "$prefix/bin" "$built_in_dir" "$scratch"
finish
