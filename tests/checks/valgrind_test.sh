#!/usr/bin/env bash
# Runs the built qorid under valgrind's memcheck: no memory error and no
# definite leak in a plain run, a listing, and an exec.
set -uo pipefail
command -v valgrind >/dev/null ||
  { echo "FAIL: valgrind is not installed (Debian package valgrind)" >&2; exit 1; }
qorid=${1:-build}/tool/qorid
log=$(mktemp "${TMPDIR:-/tmp}/qorid-valgrind-XXXXXX")
trap 'rm -f "$log"' EXIT
failures=0
for args in "" "--list" "--verbose" "--exec true"; do
  # shellcheck disable=SC2086
  if valgrind --quiet --leak-check=full --errors-for-leak-kinds=definite \
    --error-exitcode=99 "$qorid" $args >/dev/null 2>"$log"; then
    echo "valgrind qorid $args: clean"
  else
    echo "FAIL: valgrind qorid $args"
    cat "$log"
    failures=$((failures + 1))
  fi
done
echo "valgrind: $failures failed"
[ "$failures" -eq 0 ]
