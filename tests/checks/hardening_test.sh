#!/usr/bin/env bash
# Checks that a release build carries the hardening flags: full RELRO with
# immediate binding for every binary, a position-independent tool, stack
# protection, and fortified libc calls in the libraries.
set -uo pipefail
build=${1:-build}
failures=0
bad() { echo "FAIL: $*"; failures=$((failures + 1)); }

for bin in "$build/tool/qorid" "$build/tool/qorid-publish" "$build/tool/qorid-dump" "$build/lib/libqorid.so.1" "$build/nolt/libnolt.so.0"; do
  [ -f "$bin" ] || { bad "$bin: not built"; continue; }
  dyn=$(readelf -d "$bin")
  grep -q 'BIND_NOW' <<<"$dyn" || bad "$bin: not linked with -z now"
  segments=$(readelf -lW "$bin")
  grep -q 'GNU_RELRO' <<<"$segments" || bad "$bin: no RELRO segment"
  # Read whole before grep -q, which would close the pipe early: nm then
  # dies of SIGPIPE, and pipefail takes that for a missing symbol.
  syms=$(nm -D "$bin")
  grep -q ' U __stack_chk_fail' <<<"$syms" || bad "$bin: no stack protector"
done
for bin in qorid qorid-publish qorid-dump; do
  header=$(readelf -h "$build/tool/$bin")
  grep -q 'Type: *DYN' <<<"$header" || bad "$bin: not a PIE"
  dyn=$(readelf -d "$build/tool/$bin")
  grep -q 'PIE' <<<"$dyn" || bad "$bin: not flagged PIE"
done
for lib in "$build/lib/libqorid.so.1" "$build/nolt/libnolt.so.0"; do
  syms=$(nm -D "$lib")
  grep -q ' U __.*_chk@' <<<"$syms" || bad "$lib: no fortified calls (_FORTIFY_SOURCE)"
done

if [ "$failures" -eq 0 ]; then echo "hardening: 0 failed"; else echo "hardening: $failures failed"; fi
[ "$failures" -eq 0 ]
