#!/usr/bin/env bash
# Cross-builds qorid for a board architecture with Debian's cross compiler
# and runs the unit tests and the tool under qemu-user:
#
#   scripts/cross.sh ARCH     (ARCH arm64, armhf or riscv64; `make cross`)
#
# The build is the preset ARCH of CMakePresets.json, in build-ARCH.
#
# It runs on this machine when its Debian release has ARCH's packages. Where
# it has not (riscv64 is a port of Debian 13 only), it runs in a root of
# trixie for this machine's architecture (scripts/debian-root.sh), kept in
# build-roots/ and reused, with the source tree bound in at the same path.
#
# Installs what it needs first when something is missing (root or sudo is
# needed only then). A Release build; warnings are errors when CI is set.
# Exits non-zero on any failure.
set -euo pipefail

cd "$(dirname "$0")/.."
SRC=$(pwd -P)
ARCH=${1:?usage: cross.sh arm64|armhf|riscv64}
BUILD_DIR=build-$ARCH
case $ARCH in
  arm64) TRIPLET=aarch64-linux-gnu EMULATOR=qemu-aarch64 CLASS=ELF64 MACHINE=AArch64 ;;
  armhf) TRIPLET=arm-linux-gnueabihf EMULATOR=qemu-arm CLASS=ELF32 MACHINE=ARM ;;
  riscv64) TRIPLET=riscv64-linux-gnu EMULATOR=qemu-riscv64 CLASS=ELF64 MACHINE=RISC-V ;;
  *) echo "cross.sh: unknown architecture '$ARCH' (arm64, armhf or riscv64)" >&2; exit 2 ;;
esac

# shellcheck source=debian-root.sh
source scripts/debian-root.sh
if ! (check_suite_arch "$(host_suite)" "$ARCH") 2>/dev/null; then
  [ -z "${QORID_CROSS_IN_ROOT:-}" ] ||
    { echo "cross.sh: no packages for $ARCH in this root either" >&2; exit 1; }
  bash scripts/install-deps.sh debootstrap
  echo "cross.sh: $ARCH is not built on $(host_suite): in a trixie root"
  root=$(prepared_root trixie "$(dpkg --print-architecture)" build-essential ca-certificates)
  ROOT_BIND=$SRC in_root "$root" env QORID_CROSS_IN_ROOT=1 JOBS="${JOBS:-2}" \
    bash "$SRC/scripts/cross.sh" "$ARCH"
  exit
fi
READELF=$TRIPLET-readelf


# check_elf FILE: FILE (or what a symbolic link names) is an ELF file of the
# target.
check_elf() {
  local header
  header=$("$READELF" -h "$1") || return 1
  if grep -Eq "^ *Class: *$CLASS\$" <<<"$header" &&
    grep -Eq "^ *Machine: *$MACHINE\$" <<<"$header"; then
    echo "$MACHINE $CLASS: $1"
  else
    echo "not an $MACHINE $CLASS file: $1" >&2
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

# The cross compiler and emulator, the target's runtime libraries as
# packages of its architecture. log4cpp's headers come from the host's
# liblog4cpp5-dev: that package is not multi-arch, and its headers are the
# same for every architecture.
bash scripts/install-deps.sh --arch "$ARCH" "g++-$TRIPLET" qemu-user \
  "liblog4cpp5v5:$ARCH" "libgtest-dev:$ARCH"
step_done deps

werror=()
[ -n "${CI:-}" ] && werror=(-DQORID_WERROR=ON)
cmake --preset "$ARCH" "${werror[@]}"
step_done configure

cmake --build --preset "$ARCH"
step_done build

for f in lib/libqorid.so.1 nolt/libnolt.so.0 tool/qorid tests/qorid_unit_tests; do
  check_elf "$BUILD_DIR/$f"
done

# The unit tests run (and are listed by gtest_discover_tests) through the
# toolchain's CMAKE_CROSSCOMPILING_EMULATOR. No tests at all is a failure.
ctest --preset "$ARCH"
step_done ctest

# The tool itself. Under user-mode emulation uname names the target's machine while the
# kernel release, /proc and /etc are this host's, so the board is whatever
# those give for an ARM machine: on a PC usually "-1 - Unknown".
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
echo "$ARCH build in $BUILD_DIR: built and tested under $EMULATOR"
