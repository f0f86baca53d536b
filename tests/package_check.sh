#!/usr/bin/env bash
# Checks the Debian package made in a packaged build directory (configured
# with -DWINDOW_RANKS_PACKAGE=ON, then `cpack -G DEB` there): its control
# fields, its file list (dpkg-deb -c) against man/ (a program and a page for
# every man/*.1, the man/*.7 pages, the table directory under /var/lib), and
# the programs unpacked into a scratch root (dpkg -x): --version, nowreport
# and fulltable on a small series, fulltable's table written into the
# unpacked table directory through RANKS_ALL_DIR, and refused for a missing
# one.
#
#   tests/package_check.sh PACKAGE_BUILD_DIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
. "$here/installed_checks.sh"

build=$(cd "${1:?usage: package_check.sh PACKAGE_BUILD_DIR}" && pwd)
version=$(cache_value "$build" CMAKE_PROJECT_VERSION)
table_dir=$(cache_value "$build" FULLTABLE_OUTPUT_DIR)
deb=$build/window-ranks_${version}_$(dpkg --print-architecture).deb

check "the package $deb" test -f "$deb"
[ "$failed" -eq 0 ] || finish
check "table directory /var/lib/window-ranks/.../results_all/" same "$table_dir" \
  "/var/lib/window-ranks/datasets/daily_anomalies/by_state/ranks/results_all/"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/package-check-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

field() { dpkg-deb -f "$deb" "$1"; }
check "Package: window-ranks" same "$(field Package)" "window-ranks"
check "Version: $version" same "$(field Version)" "$version"
check "Maintainer" test -n "$(field Maintainer)"
check "Description" test -n "$(field Description)"
for lib in libc6 libstdc++6; do
  check "Depends on $lib" grep -q "\\b$lib\\b" <<<"$(field Depends)"
done

# Every path of the package, with every directory above it.
mapfile -t programs < <(program_names "$src")
{
  for p in "${programs[@]}"; do echo "./usr/bin/$p"; echo "./usr/share/man/man1/$p.1"; done
  for page in "$src"/man/*.7; do echo "./usr/share/man/man7/${page##*/}"; done
  echo ".$table_dir"
} | while read -r path; do
  while [ "$path" != "." ]; do
    echo "$path"
    path=$(dirname "$path")
    [ "$path" != "." ] && path=$path/
  done
done | sort -u >"$scratch/expected"
dpkg-deb -c "$deb" | awk '{print $6}' | sort >"$scratch/listed"
check "dpkg-deb -c lists the programs, pages and table directory" \
  diff -u "$scratch/expected" "$scratch/listed"
check "programs owned by root, mode 0755" \
  same "$(dpkg-deb -c "$deb" | awk '$6 ~ /^\.\/usr\/bin\/./ && ($1 != "-rwxr-xr-x" || $2 != "root/root")')" ""

root=$scratch/root
dpkg -x "$deb" "$root"
check_versions "$root/usr/bin" "$version" "${programs[@]}"
check "man -l usr/share/man/man1/fulltable.1" test -n "$(MANWIDTH=80 man -l "$root/usr/share/man/man1/fulltable.1" 2>/dev/null)"
"$build/make_series" --to 1897-03-01 >"$scratch/series.daily"
check_runs "$root/usr/bin" "$scratch/series.daily" "$root$table_dir" "$scratch"
# Unset, RANKS_ALL_DIR leaves the table to the package's own directory,
# missing here unless the package is installed on this machine.
if [ ! -e "$table_dir" ]; then
  check_built_in_missing "$root/usr/bin" "$table_dir" "$scratch"
else
  echo "skip fulltable without RANKS_ALL_DIR: $table_dir exists on this machine"
fi
finish
