#!/usr/bin/env bash
# Runs the built qorid under valgrind's memcheck: no memory error and no
# definite leak in a plain run, a listing, and an exec.
set -uo pipefail
command -v valgrind >/dev/null ||
  { echo "FAIL: valgrind is not installed (Debian package valgrind)" >&2; exit 1; }
qorid=${1:-build}/tool/qorid
log=$(mktemp "${TMPDIR:-/tmp}/qorid-valgrind-XXXXXX")
trap 'rm -f "$log"' EXIT
# shellcheck source=../support/checks.sh
source "$(dirname "$0")/../support/checks.sh"
for args in "" "--list" "--verbose" "--exec true"; do
  # shellcheck disable=SC2086
  if valgrind --quiet --leak-check=full --errors-for-leak-kinds=definite \
    --error-exitcode=99 "$qorid" $args >/dev/null 2>"$log"; then
    pass
  else
    fail "valgrind qorid $args"
    cat "$log" >&2
  fi
done
finish
