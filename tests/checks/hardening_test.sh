#!/usr/bin/env bash
# Checks that a release build carries the hardening flags: full RELRO with
# immediate binding for every binary, a position-independent tool, stack
# protection, and fortified libc calls in the libraries.
set -uo pipefail
build=${1:-build}
# shellcheck source=../support/checks.sh
source "$(dirname "$0")/../support/checks.sh"
# has WHAT PATTERN TEXT: the text holds the pattern (grep -q).
has() { if grep -q -- "$2" <<<"$3"; then pass; else fail "$1"; fi; }

for bin in "$build/tool/qorid" "$build/tool/qorid-publish" "$build/tool/qorid-dump" "$build/lib/libqorid.so.1" "$build/nolt/libnolt.so.0"; do
  [ -f "$bin" ] || { fail "$bin: not built"; continue; }
  has "$bin: linked with -z now" BIND_NOW "$(readelf -d "$bin")"
  has "$bin: a RELRO segment" GNU_RELRO "$(readelf -lW "$bin")"
  # Read whole before grep -q, which would close the pipe early: nm then
  # dies of SIGPIPE, and pipefail takes that for a missing symbol.
  has "$bin: stack protection" ' U __stack_chk_fail' "$(nm -D "$bin")"
done
for bin in qorid qorid-publish qorid-dump; do
  has "$bin: a PIE" 'Type: *DYN' "$(readelf -h "$build/tool/$bin")"
  has "$bin: flagged PIE" PIE "$(readelf -d "$build/tool/$bin")"
done
for lib in "$build/lib/libqorid.so.1" "$build/nolt/libnolt.so.0"; do
  has "$lib: fortified calls (_FORTIFY_SOURCE)" ' U __.*_chk@' "$(nm -D "$lib")"
done
finish
