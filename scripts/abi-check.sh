#!/usr/bin/env bash
# Holds the ABI of libqorid.so.1 and libnolt.so.0 against the baselines in
# abi/ (abidw XML), so that the types of the public headers are compared,
# not only the names:
#   - abi/*.abi: x86_64, built by the "abi" preset with debug information;
#   - abi/armhf-SUITE/*.abi: the 32-bit layout of each suite's armhf
#     packages, read from their -dbgsym packages. Debian 13 builds armhf with
#     a 64-bit time_t, so struct stat (in QorDTParser::ftw_cb, internal to the
#     walk) differs from Debian 12's: each suite has its own baseline. The
#     packages are built (scripts/build-package.sh) when dist/SUITE/armhf
#     has none newer than the sources.
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

# label, library file, folder of its separate debug information ("-" for
# none), its public headers, baseline
libraries=(
  "x86_64 $top/build-abi/lib/libqorid.so.1 - lib/include abi/libqorid.so.1.abi"
  "x86_64 $top/build-abi/nolt/libnolt.so.0 - nolt/include abi/libnolt.so.0.abi"
)
for suite in bookworm trixie; do
  dist=$top/dist/$suite/armhf
  newest=$(ls -t "$dist"/libqorid1-dbgsym_*_armhf.deb 2>/dev/null | head -n 1) || newest=
  if [ -z "$newest" ] || [ -n "$(find lib nolt tool debian cmake CMakeLists.txt -newer "$newest" \
    -print -quit)" ]; then
    echo "abi-check: building the armhf packages of $suite"
    JOBS=${JOBS:-2} bash scripts/build-package.sh "$suite" armhf >"$work/build-$suite.log" 2>&1 ||
      { tail -n 20 "$work/build-$suite.log" >&2; echo "abi-check: the build failed" >&2; exit 1; }
  fi
  for p in libqorid1 libqorid1-dbgsym libnolt0 libnolt0-dbgsym; do
    dpkg-deb -x "$(ls -t "$dist/${p}_"*_armhf.deb | head -n 1)" "$work/armhf-$suite"
  done
  multiarch=$work/armhf-$suite/usr/lib/arm-linux-gnueabihf
  debug=$work/armhf-$suite/usr/lib/debug
  libraries+=(
    "armhf-$suite $multiarch/libqorid.so.1 $debug lib/include abi/armhf-$suite/libqorid.so.1.abi"
    "armhf-$suite $multiarch/libnolt.so.0 $debug nolt/include abi/armhf-$suite/libnolt.so.0.abi"
  )
done
failed=0
for entry in "${libraries[@]}"; do
  read -r label lib debug headers baseline <<<"$entry"
  name="$label $(basename "$lib")"
  out=$work/$label-$(basename "$lib").abi
  debug_dir=()
  [ "$debug" = - ] || debug_dir=(--debug-info-dir "$debug")
  # No paths or source lines: the baseline must not change when a file moves
  # or a comment is added.
  abidw --no-corpus-path --no-comp-dir-path --no-show-locs "${debug_dir[@]}" \
    --headers-dir "$top/$headers" "$lib" >"$out"
  if $update; then
    mkdir -p "$(dirname "$baseline")"
    cp "$out" "$baseline"
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
    "$baseline" "$out" >"$out.diff" 2>&1 || status=$?
  if [ "$status" -eq 0 ]; then
    echo "abi-check: $name: same as the baseline"
  elif [ $((status & 8)) -ne 0 ]; then
    echo "abi-check: $name: INCOMPATIBLE change against $baseline:"
    cat "$out.diff"
    failed=$((failed + 1))
  elif [ $((status & 4)) -ne 0 ]; then
    echo "abi-check: $name: compatible change (an addition); record it with" \
      "'make abi-update' and commit $baseline with the change:"
    cat "$out.diff"
    failed=$((failed + 1))
  else
    echo "abi-check: $name: abidiff failed (exit $status):"
    cat "$out.diff"
    failed=$((failed + 1))
  fi
done
$update && exit 0
echo "abi-check: $failed of ${#libraries[@]} libraries differ from their baselines"
[ "$failed" -eq 0 ]
