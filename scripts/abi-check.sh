#!/usr/bin/env bash
# Holds the ABI of libqorid.so.1 and libnolt.so.0 against the baselines in
# abi/ (abidw XML, x86_64), built by the "abi" preset with debug information
# so that the types of the public headers are compared, not only the names.
#
#   scripts/abi-check.sh            compare (`make abi`, part of `make check`)
#   scripts/abi-check.sh --update   record the baselines anew (`make abi-update`)
#
# Any difference fails: an incompatible change (a removed or changed
# function, a changed type or layout) because callers built against the
# library would break, and a compatible one (an added function) because
# the baseline has to be updated in the same commit that adds it. The
# report of abidiff says which it is. Weak copies of standard-library
# templates are left out (abi/std-instantiations.suppr says why). Needs
# abidw and abidiff (Debian package abigail-tools).
set -euo pipefail

cd "$(dirname "$0")/.."
top=$(pwd -P)
update=false
case ${1:-} in
  --update) update=true ;;
  "") ;;
  *) echo "usage: $0 [--update]" >&2; exit 2 ;;
esac
for tool in abidw abidiff; do
  command -v "$tool" >/dev/null ||
    { echo "abi-check: $tool not found (Debian: apt-get install abigail-tools)" >&2; exit 1; }
done

cmake --preset abi >/dev/null
cmake --build --preset abi >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/qorid-abi-XXXXXX")
trap 'rm -rf "$work"' EXIT

# library file, its public headers
libraries=(
  "lib/libqorid.so.1 lib/include"
  "nolt/libnolt.so.0 nolt/include"
)
failed=0
for entry in "${libraries[@]}"; do
  read -r lib headers <<<"$entry"
  name=$(basename "$lib")
  baseline=$top/abi/$name.abi
  # No paths or source lines: the baseline must not change when a file moves
  # or a comment is added.
  abidw --no-corpus-path --no-comp-dir-path --no-show-locs \
    --headers-dir "$top/$headers" "$top/build-abi/$lib" >"$work/$name.abi"
  if $update; then
    cp "$work/$name.abi" "$baseline"
    echo "abi-check: recorded $baseline"
    continue
  fi
  if [ ! -f "$baseline" ]; then
    echo "abi-check: no baseline $baseline (scripts/abi-check.sh --update)" >&2
    failed=$((failed + 1))
    continue
  fi
  status=0
  abidiff --no-show-locs --suppressions "$top/abi/std-instantiations.suppr" \
    "$baseline" "$work/$name.abi" >"$work/$name.diff" 2>&1 || status=$?
  if [ "$status" -eq 0 ]; then
    echo "abi-check: $name: same as the baseline"
  elif [ $((status & 8)) -ne 0 ]; then
    echo "abi-check: $name: INCOMPATIBLE change against abi/$name.abi:"
    cat "$work/$name.diff"
    failed=$((failed + 1))
  elif [ $((status & 4)) -ne 0 ]; then
    echo "abi-check: $name: compatible change (an addition); record it with" \
      "'make abi-update' and commit abi/$name.abi with the change:"
    cat "$work/$name.diff"
    failed=$((failed + 1))
  else
    echo "abi-check: $name: abidiff failed (exit $status):"
    cat "$work/$name.diff"
    failed=$((failed + 1))
  fi
done
$update && exit 0
echo "abi-check: $failed of ${#libraries[@]} libraries differ from their baselines"
[ "$failed" -eq 0 ]
