#!/usr/bin/env bash
# The Debian packages in dist/<arch>/, proven the way an integrator uses them:
#
#   package_test.sh [ARCH...]   this machine's architecture, then each ARCH
#
# 1. lintian on every package: no error and no warning.
# 2. Each architecture's packages installed with apt (dependencies from the
#    archive) on a fresh minbase debootstrap root of that architecture;
#    foreign ones run under qemu-user through binfmt_misc. On every root the
#    board fixtures in BOARDS are run, with /proc a plain folder holding the
#    board's files: the output must be the expected one, and --exec env must
#    give the same parameters on every architecture. On this machine's root
#    also the man pages, a consumer built with find_package(qorid) and with
#    pkg-config, remove (the conffile stays) and purge (nothing is left).
# 3. This machine's packages built a second time in another folder: the .deb
#    files must be the same, byte for byte.
#
# Needs root, debootstrap, qemu-user-static and the network to Debian's
# archive; a missing one is a failure, never a skip.
set -u
SRC=$(cd "$(dirname "$0")/../.." && pwd)
source "$SRC/tests/support/checks.sh"
source "$SRC/scripts/debian-root.sh"
HOST=$(dpkg --print-architecture)
ARCHES=("$HOST" "$@")
BOARDS=(dt-board arm-hardware)
PACKAGES=(libqorid1 libnolt0 libqorid-dev libnolt-dev qorid)
WORK=$ROOTS/test
mkdir -p "$WORK"

[ "$(id -u)" -eq 0 ] || { echo "FAIL: the package test needs root"; exit 1; }

# ok NAME COMMAND...: COMMAND succeeds; its last lines are shown otherwise.
ok() {
  local name=$1
  shift
  if "$@" >"$WORK/out" 2>&1; then pass; else
    fail "$name"; tail -n 20 "$WORK/out" | sed 's/^/    /' >&2
  fi
}

# --- 1. the packages themselves ---------------------------------------------
for arch in "${ARCHES[@]}"; do
  dist=$SRC/dist/$arch
  for p in "${PACKAGES[@]}"; do
    deb=$(ls "$dist/${p}_"*"_$arch.deb" 2>/dev/null | head -n 1)
    if [ -z "$deb" ]; then
      fail "$arch: no $p package in $dist (make package ARCH=$arch)"
      continue
    fi
    check "$arch: $p architecture" "$arch" "$(dpkg-deb -f "$deb" Architecture)"
  done
  for lib in libqorid1:libqorid.so.1 libnolt0:libnolt.so.0; do
    check "$arch: ${lib#*:} in the multiarch folder" "./usr/lib/$(dpkg-architecture -a"$arch" -qDEB_HOST_MULTIARCH 2>/dev/null)/${lib#*:}" \
      "$(dpkg-deb -c "$dist/${lib%%:*}_"*"_$arch.deb" | grep -oE "[^ ]*/${lib#*:}( |$)" | tr -d ' ')"
  done
  ok "$arch: lintian finds no error or warning" \
    lintian --fail-on error,warning --no-tag-display-limit "$dist"/*.deb
done
[ "$failed" -eq 0 ] || finish

# --- 2. fresh roots ---------------------------------------------------------
# in_board ROOT ARCH BOARD COMMAND...: COMMAND chrooted into ROOT as the
# board: its files under /proc (a plain folder) and /etc, its network
# interfaces in a namespace of its own. On an x86_64 machine the board
# fixture's setarch personality keeps the PC identity out of the way.
in_board() {
  local root=$1 arch=$2 board=$SRC/tests/fixtures/boards/$3 personality=
  shift 3
  [ -d "$root/usr/bin" ] || { echo "in_board: $root is no root" >&2; return 1; }
  rm -rf "$root/proc" "$root/etc/known_qor_ids"
  mkdir "$root/proc"
  cp -a "$board/root/." "$root/"
  if [ "$arch" = "$HOST" ] && [ -f "$board/arch" ]; then personality=$(cat "$board/arch"); fi
  unshare --mount --net --fork -- bash -c '
    set -e
    root=$1 net=$2 personality=$3; shift 3
    ip link set lo up
    if [ -f "$net" ]; then bash -e "$net"; fi
    if [ -n "$personality" ]; then exec setarch "$personality" chroot "$root" "$@"; fi
    exec chroot "$root" "$@"
  ' in_board "$root" "$board/net" "$personality" "$@"
}

# The debootstraps, foreign ones slow under emulation, side by side.
for arch in "${ARCHES[@]}"; do
  pristine_root "$arch" &
done
for job in $(jobs -p); do
  wait "$job" || fail "a debootstrap failed"
done
[ "$failed" -eq 0 ] || finish

for arch in "${ARCHES[@]}"; do
  root=$WORK/$arch
  echo "== $arch: fresh root, packages installed with apt"
  start=$SECONDS
  fresh_root "$arch" "$root"
  mkdir -p "$root/tmp/debs"
  for p in "${PACKAGES[@]}"; do cp "$SRC/dist/$arch/${p}_"*"_$arch.deb" "$root/tmp/debs/"; done
  extra=()
  # The consumer's compiler and CMake, and man, on this machine's root.
  [ "$arch" = "$HOST" ] && extra=(g++ cmake make man-db)
  ok "$arch: apt-get update" in_root "$root" apt-get update -qq
  ok "$arch: apt-get install the packages" in_root "$root" sh -c \
    'apt-get install -y -qq --no-install-recommends /tmp/debs/*.deb "$@"' sh "${extra[@]}"
  for p in "${PACKAGES[@]}"; do
    check "$arch: $p installed" "install ok installed" \
      "$(in_root "$root" dpkg-query -W -f='${Status}' "$p:$arch" 2>/dev/null)"
  done
  ok "$arch: qorid -v" in_root "$root" sh -c 'qorid -v | grep -Eqx -- "-?[0-9]+ - .+"'
  ok "$arch: qorid --list" in_root "$root" qorid --list

  for board in "${BOARDS[@]}"; do
    expected=$SRC/tests/fixtures/boards/$board/expected
    out=$WORK/$arch.$board
    in_board "$root" "$arch" "$board" qorid >"$out.number" 2>"$out.err"
    ok "$arch $board: number" cmp "$expected/number" "$out.number"
    in_board "$root" "$arch" "$board" qorid --verbose >"$out.verbose" 2>>"$out.err"
    ok "$arch $board: verbose" cmp "$expected/verbose" "$out.verbose"
    # The walk follows the directory's order: the list is compared as a set.
    in_board "$root" "$arch" "$board" qorid --list >"$out.list" 2>>"$out.err"
    check "$arch $board: list" "$(sort "$expected/list" | od -c)" "$(sort "$out.list" | od -c)"
    in_board "$root" "$arch" "$board" qorid --exec env >"$out.env" 2>>"$out.err"
    grep -a '^QOR_' "$out.env" | sort >"$out.qor"
    [ -s "$out.qor" ] && pass || fail "$arch $board: --exec env shows no QOR_ variable"
    check "$arch $board: --exec env as on $HOST" "$(cat "$WORK/$HOST.$board.qor")" "$(cat "$out.qor")"
    check "$arch $board: nothing on standard error" "" "$(cat "$out.err")"
  done
  echo "   $arch took $((SECONDS - start)) s"
done

# This machine's root: documentation, building against the packages, and
# taking them away again.
root=$WORK/$HOST
for page in qorid qorid-dump known_qor_ids; do
  ok "man $page" in_root "$root" sh -c "man $page | grep -q ."
done
cp -r "$SRC/tests/install/consumer" "$root/tmp/consumer"
ok "find_package(qorid) consumer builds" in_root "$root" sh -c \
  'cmake -S /tmp/consumer -B /tmp/build-cmake && cmake --build /tmp/build-cmake'
ok "find_package(qorid) consumer runs" in_root "$root" sh -c \
  '/tmp/build-cmake/consumer | grep -Eqx -- "-?[0-9]+ - .+"'
ok "pkg-config consumer builds" in_root "$root" sh -c \
  'g++ -std=c++17 /tmp/consumer/main.cpp -o /tmp/pc-consumer $(pkg-config --cflags --libs qorid)'
ok "pkg-config consumer runs" in_root "$root" sh -c '/tmp/pc-consumer | grep -Eqx -- "-?[0-9]+ - .+"'
in_root "$root" dpkg-query -L "${PACKAGES[@]}" | sort -u >"$WORK/files"
ok "apt-get remove" in_root "$root" apt-get remove -y -qq "${PACKAGES[@]}"
ok "the conffile stays after remove" test -f "$root/etc/qorid.conf"
# Only qorid has a conffile, so only qorid is still known to dpkg.
ok "apt-get purge" in_root "$root" apt-get purge -y -qq qorid
ok "the conffile is gone after purge" test ! -e "$root/etc/qorid.conf"
left=$(while read -r f; do
  { [ -f "$root$f" ] || [ -L "$root$f" ]; } && echo "$f"
done <"$WORK/files")
check "no file of the packages is left after purge" "" "$left"
check "dpkg knows none of the packages" "" \
  "$(in_root "$root" dpkg-query -W -f='${Package} ${Status}\n' "${PACKAGES[@]}" 2>/dev/null | grep -v ' not-installed$')"

# --- 3. reproducible --------------------------------------------------------
echo "== $HOST: the packages built again in another folder"
ok "second build" env JOBS="${JOBS:-2}" bash "$SRC/scripts/build-package.sh" "$HOST" \
  "$SRC/build-deb/$HOST-again" "$WORK/again"
for deb in "$SRC/dist/$HOST"/*.deb; do
  ok "reproducible: $(basename "$deb")" cmp "$deb" "$WORK/again/$(basename "$deb")"
done

# The roots stay for a look when something failed.
[ "$failed" -ne 0 ] || rm -rf "$WORK"
finish
