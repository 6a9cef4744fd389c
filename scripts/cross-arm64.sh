#!/usr/bin/env bash
# Cross-builds qorid for arm64 (aarch64) with Debian's cross compiler and
# runs the unit tests and the tool under qemu-aarch64:
#
#   scripts/cross-arm64.sh [BUILD_DIR]     (default build-arm64; `make arm64`)
#
# Installs what it needs first when something is missing (root or sudo is
# needed only then). A Release build; warnings are errors when CI is set.
# Exits non-zero on any failure.
set -euo pipefail

cd "$(dirname "$0")/.."
SRC=$(pwd -P)
BUILD_DIR=${1:-build-arm64}
JOBS=${JOBS:-2}
TOOLCHAIN=$SRC/cmake/toolchains/aarch64-linux-gnu.cmake
EMULATOR=qemu-aarch64
READELF=aarch64-linux-gnu-readelf

# The host's tools, the cross compiler and emulator, the target's runtime
# libraries as arm64 packages. log4cpp's headers come from the host's
# liblog4cpp5-dev: that package is not multi-arch, and its headers are the
# same for every architecture.
packages=(
  cmake make pkg-config
  g++-aarch64-linux-gnu qemu-user
  liblog4cpp5-dev
  liblog4cpp5v5:arm64 libgtest-dev:arm64
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo "$@"
  else
    echo "run as root to: $*" >&2
    return 1
  fi
}

install_missing() {
  local missing=() p
  for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  if ! dpkg --print-foreign-architectures | grep -qx arm64; then
    echo "Adding the arm64 architecture to dpkg"
    as_root dpkg --add-architecture arm64
  fi
  echo "Installing: ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# check_aarch64 FILE: FILE (or what a symbolic link names) is a 64-bit ELF
# file for AArch64.
check_aarch64() {
  local header
  header=$("$READELF" -h "$1") || return 1
  if grep -Eq '^ *Class: *ELF64$' <<<"$header" &&
    grep -Eq '^ *Machine: *AArch64$' <<<"$header"; then
    echo "AArch64 ELF: $1"
  else
    echo "not an AArch64 ELF file: $1" >&2
    grep -E '^ *(Class|Machine):' <<<"$header" >&2
    return 1
  fi
}

step_start=$SECONDS
timings=()
step_done() {
  timings+=("$(printf '%-10s %4ds' "$1" $((SECONDS - step_start)))")
  step_start=$SECONDS
}

install_missing
step_done deps

werror=()
[ -n "${CI:-}" ] && werror=(-DQORID_WERROR=ON)
cmake -S "$SRC" -B "$BUILD_DIR" --toolchain "$TOOLCHAIN" \
  -DCMAKE_BUILD_TYPE=Release "${werror[@]}"
step_done configure

cmake --build "$BUILD_DIR" -j"$JOBS"
step_done build

for f in lib/libqorid.so.1 nolt/libnolt.so.0 tool/qorid tests/qorid_unit_tests; do
  check_aarch64 "$BUILD_DIR/$f"
done

# The unit tests run (and are listed by gtest_discover_tests) through the
# toolchain's CMAKE_CROSSCOMPILING_EMULATOR. No tests at all is a failure.
ctest --test-dir "$BUILD_DIR" --output-on-failure --no-tests=error -j"$JOBS"
step_done ctest

# The tool itself. Under user-mode emulation uname says aarch64 while the
# kernel release, /proc and /etc are this host's, so the board is whatever
# those give for an aarch64 machine: on a PC usually "-1 - Unknown".
tool=$BUILD_DIR/tool/qorid
help=$("$EMULATOR" "$tool" --help) || {
  echo "qorid --help under $EMULATOR failed" >&2
  exit 1
}
echo "$help"
if ! grep -q '^qorid \[options\]' <<<"$help"; then
  echo "qorid --help under $EMULATOR: unexpected output" >&2
  exit 1
fi
verbose=$("$EMULATOR" "$tool" --verbose) || {
  echo "qorid --verbose under $EMULATOR failed" >&2
  exit 1
}
echo "qorid --verbose under $EMULATOR: $verbose"
if ! grep -Eqx -- '-?[0-9]+ - .+' <<<"$verbose"; then
  echo "qorid --verbose under $EMULATOR: expected 'NUMBER - NAME'" >&2
  exit 1
fi
step_done tool

printf '%s\n' "${timings[@]}"
echo "arm64 build in $BUILD_DIR: built and tested under $EMULATOR"
