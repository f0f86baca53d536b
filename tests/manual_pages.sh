#!/usr/bin/env bash
# Checks every manual page in the given directory (man/ of the source tree):
# groff with all warnings, for the printer and for a terminal, and mandoc's
# lint (when mandoc is installed) must print nothing; man -l must render the
# page at 80 columns without a message; and a section-1 page must have the
# sections a user looks for.
#
#   tests/manual_pages.sh MAN_DIR
set -uo pipefail

dir=${1:?usage: manual_pages.sh MAN_DIR}
required=("NAME" "SYNOPSIS" "DESCRIPTION" "EXIT STATUS" "DIAGNOSTICS" "EXAMPLES" "SEE ALSO")
have_mandoc=1
command -v mandoc >/dev/null || { have_mandoc=0; echo "manual_pages: mandoc not installed, its lint is skipped"; }

passed=0 failed=0
fail() { echo "FAIL $page: $*"; bad=1; }

shopt -s nullglob
pages=("$dir"/*.[1-9])
[ ${#pages[@]} -gt 0 ] || { echo "manual_pages: no pages in $dir"; exit 1; }
for page in "${pages[@]}"; do
  bad=0
  out=$(groff -man -ww -z "$page" 2>&1); [ -z "$out" ] || fail "groff: $out"
  out=$(groff -man -Tutf8 -ww -z "$page" 2>&1); [ -z "$out" ] || fail "groff -Tutf8: $out"
  if [ $have_mandoc = 1 ]; then
    out=$(mandoc -T lint "$page" 2>&1); [ -z "$out" ] || fail "mandoc: $out"
  fi
  err=$( { MANWIDTH=80 man -l "$page" >/dev/null; } 2>&1 ); [ -z "$err" ] || fail "man -l: $err"
  text=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
  case "$page" in
    *.1)
      for s in "${required[@]}"; do grep -qx "$s" <<<"$text" || fail "no $s section"; done
      grep -qxE "ARGUMENTS|OPTIONS" <<<"$text" || fail "no ARGUMENTS or OPTIONS section"
      ;;
  esac
  if [ $bad = 0 ]; then echo "ok   $page"; passed=$((passed + 1)); else failed=$((failed + 1)); fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
