# Installs the build into a prefix and into a DESTDIR, then builds a program
# against it with find_package(qorid) and with pkg-config.
set -u
BUILD_DIR=$(realpath "$1")
SRC=$(cd "$(dirname "$0")" && pwd)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/qorid-install-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
# shellcheck source=../support/checks.sh
source "$SRC/../support/checks.sh"
expect_file() { [ -e "$1" ] && pass || fail "missing $1"; }

prefix=$WORK/prefix
cmake --install "$BUILD_DIR" --prefix "$prefix" >/dev/null || fail "install to prefix"
libdir=$(cd "$prefix" && ls -d lib*/libqorid.so.1 | xargs dirname | head -n 1)
for f in bin/qorid "$libdir/libqorid.so.1" "$libdir/libnolt.so.0" "$libdir/libqorid.so" \
  include/qorid/qorid.h include/qorid/hardware_identity.h include/nolt/nolt.h "$libdir/cmake/qorid/qoridConfig.cmake" \
  "$libdir/cmake/qorid/qoridConfigVersion.cmake" "$libdir/pkgconfig/qorid.pc" share/doc/qorid/examples/qorid.conf \
  share/man/man1/qorid-dump.1.gz share/man/man5/qorid.conf.5.gz libexec/qorid/qorid-publish; do
  expect_file "$prefix/$f"
done
# qorid reads /etc/qorid.conf only: a prefix install writes no copy it would
# never read.
[ ! -e "$prefix/etc/qorid.conf" ] && pass || fail "a prefix install wrote etc/qorid.conf"
"$prefix/bin/qorid" --help >/dev/null && pass || fail "installed qorid runs"

DESTDIR=$WORK/stage cmake --install "$BUILD_DIR" >/dev/null || fail "install to DESTDIR"
staged=$(find "$WORK/stage" -name qorid -type f -path '*/bin/*' | head -n 1)
[ -n "$staged" ] && pass || fail "DESTDIR install has bin/qorid"

# find_package(qorid) -> qorid::qorid
if cmake -S "$SRC/consumer" -B "$WORK/consumer" -DCMAKE_PREFIX_PATH="$prefix" >"$WORK/log" 2>&1 &&
  cmake --build "$WORK/consumer" >>"$WORK/log" 2>&1; then
  pass
  out=$(LD_LIBRARY_PATH="$prefix/$libdir" "$WORK/consumer/consumer" 2>/dev/null)
  case "$out" in -1\ -\ * | [0-9]*\ -\ *) pass ;; *) fail "consumer output: $out" ;; esac
else
  fail "find_package consumer"; cat "$WORK/log" >&2
fi

# add_subdirectory(qorid) -> qorid::qorid, in a parent's Debug build: none
# of qorid's release flags, tests or benchmarks reach the parent.
if cmake -S "$SRC/subproject" -B "$WORK/subproject" -DCMAKE_BUILD_TYPE=Debug \
  -DQORID_SOURCE_DIR="$SRC/../.." >"$WORK/log" 2>&1 &&
  cmake --build "$WORK/subproject" -j2 --target consumer >>"$WORK/log" 2>&1; then
  pass
  "$WORK/subproject/consumer" >/dev/null 2>&1 && pass || fail "subproject consumer runs"
  grep -q -- '-O[23]' "$WORK/subproject/CMakeFiles/consumer.dir/flags.make" &&
    fail "the subproject changed the parent's flags" || pass
  [ ! -e "$WORK/subproject/qorid/tests" ] && pass || fail "the subproject added its tests"
else
  fail "add_subdirectory consumer"; cat "$WORK/log" >&2
fi

# pkg-config
if PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig" \
  sh -c 'g++ -std=c++17 "$1" -o "$2" $(pkg-config --cflags --libs qorid)' _ \
  "$SRC/consumer/main.cpp" "$WORK/pc-consumer" 2>"$WORK/log"; then
  pass
  LD_LIBRARY_PATH="$prefix/$libdir" "$WORK/pc-consumer" >/dev/null 2>&1 && pass || fail "pkg-config consumer runs"
else
  fail "pkg-config consumer"; cat "$WORK/log" >&2
fi

finish
