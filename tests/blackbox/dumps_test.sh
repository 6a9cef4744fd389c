# Board dumps, the one form of the board fixtures. Each dump under
# tests/fixtures/dumps is packed the way qorid-dump packs one, unpacked again
# and replayed (run, in harness.sh): `qorid` must print the first word of
# expected.verbose, `qorid --verbose` and `--list` expected.verbose and
# expected.list (the list compared as a set: the device-tree walk follows the
# directory's order), `--json` what those two say and expected.json where
# there is one. Then qorid-dump itself, run on such boards: the tarball it
# writes must hold the board again, byte for byte.
source "$(dirname "$0")/harness.sh"
require_sandbox

# The program under test, which QORID_DUMP names (tests/blackbox/CMakeLists.txt
# puts the built one alone in a folder of the build tree). The cases without
# qorid on PATH rely on there being no qorid beside it, which it would run.
if [ -z "${QORID_DUMP:-}" ] || [ ! -x "$QORID_DUMP" ]; then
  echo "FAIL: no qorid-dump to test at '${QORID_DUMP:-}' (QORID_DUMP names it)" >&2
  exit 1
fi
DUMP=$(realpath "$QORID_DUMP")
if [ -e "$(dirname "$DUMP")/qorid" ]; then
  echo "FAIL: $DUMP has a qorid beside it, which the cases without qorid on PATH would run" >&2
  exit 1
fi
case $DUMP in
  "$BUILD_DIR"/* | "$SOURCE_DIR"/*) ;;
  *) echo "FAIL: $DUMP is outside the build and source trees, which the sandbox sees" >&2; exit 1 ;;
esac
# The sandbox's directories must be open to nobody, who runs one dump.
umask 022

# pack FIXTURE TARBALL: the fixture's dump, without its expected output,
# packed as qorid-dump packs a board: one directory named after the fixture.
pack() {
  local name stage
  name=$(basename "$1")
  stage=$WORK/pack-$name
  mkdir -p "$stage/$name"
  find "$1" -mindepth 1 -maxdepth 1 ! -name 'expected.*' -exec cp -a {} "$stage/$name/" \;
  tar -czf "$2" -C "$stage" "$name"
}

# unpack TARBALL DIR: prints the dump's directory; fails unless the tarball
# holds one directory with root/, uname and net.
unpack() {
  local entries
  mkdir -p "$2"
  tar -xzf "$1" -C "$2" || return 1
  entries=("$2"/*)
  if [ ${#entries[@]} -ne 1 ] || [ ! -d "${entries[0]}" ]; then
    echo "$1: not one directory" >&2
    return 1
  fi
  for part in root uname net; do
    [ -e "${entries[0]}/$part" ] || { echo "$1: no $part" >&2; return 1; }
  done
  echo "${entries[0]}"
}

# --- qorid-dump on a board ----------------------------------------------------
# dump_on ROOT PATH [PREFIX...] -- ARGS...: runs qorid-dump (or DUMP_AT)
# ARGS on the board of ROOT, in /tmp, as PATH says, with PREFIX before it
# and /scratch as its TMPDIR.
dump_on() {
  local root=$1 path=$2 prefix=()
  shift 2
  while [ "$1" != -- ]; do prefix+=("$1"); shift; done
  shift
  mkdir -p "$root/scratch"
  chmod 1777 "$root/scratch"
  run "$root" env -C /tmp TMPDIR=/scratch PATH="$path" "${prefix[@]}" "${DUMP_AT:-$DUMP}" "$@"
}
with_qorid=$(dirname "$QORID"):/usr/bin:/bin
without_qorid=/usr/bin:/bin
# The files in the sandbox's /tmp (the build tree may be bound in below it).
tmp_files() { find "$1/tmp" -mindepth 1 -maxdepth 1 -type f -printf '%P\n' | sort | xargs; }

# Not root: what only root may read is left out and said; the rest is there.
not_root() {
  local root dump
  root=$(new_root nobody "$board")
  printf 'Morvane Carrier:17:qvk-carrier\n' >"$root/etc/known_qor_ids"
  chmod 600 "$root/etc/known_qor_ids"
  chmod 1777 "$root/tmp"
  dump_on "$root" "$with_qorid" setpriv --reuid=65534 --regid=65534 --clear-groups -- nobody.tar.gz
  check "not root: status" 0 "$status"
  check "not root: owner" 65534 "$(stat -c %u "$root/tmp/nobody.tar.gz" 2>/dev/null)"
  check "not root: nothing left in TMPDIR" "" "$(ls -A "$root/scratch")"
  check "not root: said" 1 "$(grep -c \
    '^qorid-dump: could not read /etc/known_qor_ids (run as root to include it)$' "$WORK/err")"
  if ! dump=$(unpack "$root/tmp/nobody.tar.gz" "$WORK/unpacked-nobody"); then
    fail "not root: tarball"
    return
  fi
  check "not root: known_qor_ids left out" no \
    "$([ -e "$dump/root/etc/known_qor_ids" ] && echo yes || echo no)"
  check_file "not root: node" "$board/root/proc/device-tree/morvane/serial-number" \
    "$dump/root/proc/device-tree/morvane/serial-number"
  check_file "not root: qorid.verbose" "$board/expected.verbose" "$dump/qorid.verbose"
}

# A board with more than the dumps have: symbolic links in the node (to a
# property, to a subnode, to nothing), an alias label on the WAN, its own
# known boards, and with `roundtrip tun` an interface without a hardware
# address (a tun, which takes /dev/net/tun: root's alone on some machines).
roundtrip() {
  local root node dump got f tun=
  [ "${1:-}" = tun ] && tun="tun0 203.0.113.9/32 -"
  root=$(new_root roundtrip "$board")
  node=$root/proc/device-tree/morvane
  ln -s serial-number "$node/serial-link"
  ln -s ethernet "$node/ethernet-link"
  ln -s nowhere "$node/gone"
  mkfifo "$node/pipe"
  cp "$SOURCE_DIR/etc/known_qor_ids" "$root/etc/known_qor_ids"
  printf '%s\n' "eth0:1 198.51.100.18/24 0a:80:ff:01:7f:10" ${tun:+"$tun"} >>"${root%/root}/net"
  snapshot() { # the board's files: names, kinds, sizes, modes, times, bytes
    (cd "$root" && find etc proc/cpuinfo proc/device-tree -printf '%p %y %s %m %T@ %l\n' | sort &&
      find etc proc/cpuinfo proc/device-tree -type f -exec md5sum {} + | sort)
  }
  snapshot >"$WORK/before"
  dump_on "$root" "$with_qorid" -- board.tgz
  check "round trip: status" 0 "$status"
  check "round trip: tarball named as asked" /tmp/board.tgz "$out"
  snapshot >"$WORK/after"
  check_file "round trip: the board is left as it was" "$WORK/before" "$WORK/after"
  check "round trip: only the tarball is written" board.tgz "$(tmp_files "$root")"
  check "round trip: nothing left in TMPDIR" "" "$(ls -A "$root/scratch")"
  if ! dump=$(unpack "$root/tmp/board.tgz" "$WORK/unpacked-roundtrip"); then
    fail "round trip: tarball"
    return
  fi
  check "round trip: directory" board "$(basename "$dump")"
  got=$dump/root/proc/device-tree/morvane
  for f in $(cd "$board/root/proc/device-tree/morvane" && find . -type f); do
    check_file "round trip: $f" "$board/root/proc/device-tree/morvane/$f" "$got/$f"
  done
  check_file "round trip: cpuinfo" "$board/root/proc/cpuinfo" "$dump/root/proc/cpuinfo"
  check_file "round trip: known_qor_ids" "$SOURCE_DIR/etc/known_qor_ids" \
    "$dump/root/etc/known_qor_ids"
  check "round trip: a link to a property is copied as the property" yes \
    "$([ -f "$got/serial-link" ] && [ ! -L "$got/serial-link" ] &&
      cmp -s "$got/serial-link" "$got/serial-number" && echo yes)"
  check "round trip: a subnode met twice is copied once" 1 \
    "$(ls -d "$got/ethernet" "$got/ethernet-link" 2>/dev/null | wc -l)"
  check "round trip: a FIFO is copied as qorid reads it, empty" yes \
    "$([ -f "$got/pipe" ] && [ ! -s "$got/pipe" ] && echo yes)"
  check "round trip: a link to nothing is left out" no \
    "$([ -e "$got/gone" ] && echo yes || echo no)"
  check "round trip: what was left out is said" 2 \
    "$(grep -cE 'left out /proc/device-tree/morvane/(gone|ethernet(-link)?):' "$WORK/err")"
  check_file "round trip: uname" "$board/uname" "$dump/uname"
  check_file "round trip: the release and machine where a root has them" "$board/uname" \
    <(cat "$dump/root/proc/sys/kernel/osrelease" "$dump/root/proc/sys/kernel/arch")
  check "round trip: eth0's address as sysfs has it, once for its two labels" \
    "0a:80:ff:01:7f:10 18" \
    "$(cat "$dump/root/sys/class/net/eth0/address") $(wc -c <"$dump/root/sys/class/net/eth0/address")"
  [ -z "$tun" ] || check "round trip: a tun's address, none, as sysfs has it: a newline" \
    "$(printf '\n' | od -An -c)" "$(od -An -c <"$dump/root/sys/class/net/tun0/address")"
  check "round trip: net" "lo 127.0.0.1/8 00:00:00:00:00:00
eth0 198.51.100.17/24 0a:80:ff:01:7f:10
eth0:1 198.51.100.18/24 0a:80:ff:01:7f:10${tun:+
$tun}" "$(cat "$dump/net")"
  check_file "round trip: qorid.verbose" "$board/expected.verbose" "$dump/qorid.verbose"
  # qorid walks the links as the dump copied them: one more property.
  {
    head -n -1 "$board/expected.list"
    printf 'QOR_SERIAL-LINK=MX2291A0471\0\n'
    printf 'QOR_PIPE=\n'
    tail -n 1 "$board/expected.list"
  } >"$WORK/roundtrip.list"
  check_list "round trip: qorid.list" "$WORK/roundtrip.list" "$dump/qorid.list"
  # The dump replayed shows what qorid showed on the board.
  replay roundtrip-replay "$dump"
  check_file "round trip: replayed verbose" "$dump/qorid.verbose" "$WORK/roundtrip-replay.verbose"
  check_list "round trip: replayed list" "$dump/qorid.list" "$WORK/roundtrip-replay.list"

  # An existing tarball is not overwritten.
  cksum "$root/tmp/board.tgz" >"$WORK/sum"
  dump_on "$root" "$with_qorid" -- board.tgz
  check "existing output: status" 1 "$status"
  check "existing output: said" \
    "qorid-dump: /tmp/board.tgz exists already; name another file" "$err"
  check_file "existing output: untouched" "$WORK/sum" <(cksum "$root/tmp/board.tgz")
  # Nor anything else under the name: a link (to a file, to nothing), a FIFO.
  printf 'precious\n' >"$root/tmp/precious"
  ln -s precious "$root/tmp/link.tgz"
  ln -s nowhere "$root/tmp/dangling.tgz"
  mkfifo "$root/tmp/fifo.tgz"
  for name in link.tgz dangling.tgz fifo.tgz; do
    dump_on "$root" "$with_qorid" -- "$name"
    check "$name in the way: status" 1 "$status"
    check "$name in the way: said" \
      "qorid-dump: /tmp/$name exists already; name another file" "$err"
  done
  check "a link's target is untouched" precious "$(cat "$root/tmp/precious")"
  check "a link to nothing stays one" no "$([ -e "$root/tmp/nowhere" ] && echo yes || echo no)"
}


# root_run NAME ROOT: `qorid --root ROOT` in each mode of replay, as anyone
# runs it anywhere: no namespace, no uname shim. Into $WORK/NAME.root.MODE
# (standard error into NAME.root.MODE.err); each must succeed and find
# every address it asks for. Counts the runs' boards in root_runs.
root_runs=0
root_run() {
  local mode args
  for mode in number verbose list json; do
    args=() && [ "$mode" = number ] || args=("--$mode")
    timeout 60 "$QORID" --root "$2" "${args[@]}" >"$WORK/$1.root.$mode" 2>"$WORK/$1.root.$mode.err"
    check "$1: --root $mode exit status" 0 "$?"
    check "$1: --root $mode, every address found" "" "$(grep '^wan_mac' "$WORK/$1.root.$mode.err")"
  done
  root_runs=$((root_runs + 1))
}

# as_under_root NUMBER ROOT FILE: what qorid printed (FILE, in any mode) on
# the board NUMBER of ROOT, as --root prints it: without the WAN that a PC
# (64) without the node finds by its interface search, which --root does not
# make.
as_under_root() {
  if [ "$1" != 64 ] || [ -e "$2/proc/device-tree/morvane" ]; then
    cat "$3"
    return
  fi
  sed -e '/^QOR_WAN=/d' -e '/^QOR_WAN_ID=/d' \
    -e 's/,{"name":"QOR_WAN","value":"[^"]*"}//' -e 's/,{"name":"QOR_WAN_ID","value":"[^"]*"}//' "$3"
}

# replay NAME DUMP_DIR: qorid, --verbose, --list and --json on the unpacked
# dump, into $WORK/NAME.number, .verbose, .list and .json (standard error
# into NAME.MODE.err). Then each again under --root of the same root/
# (root_run), which must print the same bytes (as_under_root).
replay() {
  local name=$1 root mode args
  root=$(new_root "replay-$name" "$2")
  for mode in number verbose list json; do
    args=() && [ "$mode" = number ] || args=("--$mode")
    run "$root" "$QORID" "${args[@]}"
    check "$name: $mode exit status" 0 "$status"
    check "$name: $mode, no system-call errors" "" "$(grep -E '^(socket|ioctl)' <<<"$err")"
    mv "$WORK/out" "$WORK/$name.$mode"
    mv "$WORK/err" "$WORK/$name.$mode.err"
  done
  root_run "$name" "$root"
  for mode in number verbose list json; do
    check_file "$name: --root $mode, as in the sandbox" \
      <(as_under_root "$(cat "$WORK/$name.number")" "$root" "$WORK/$name.$mode") \
      "$WORK/$name.root.$mode"
  done
}

# `dumps_test.sh QORID BUILD needs-root` runs only the cases that need root
# itself: a second user (a user namespace maps one uid only), and a tun
# device; ctest labels them needs-root. Without it, every other case.
board=$DUMPS/armv7-dt-carrier pc=$DUMPS/x86_64-pc-one-card
if [ "${3:-}" = needs-root ]; then
  not_root
  roundtrip tun
  finish
fi

# --- the uname shim -----------------------------------------------------------
# What qorid makes of a release and a machine is determination_test.cpp's
# table; that qorid's own uname call sees the variables, whatever this host
# is, the replays below show (a PC by its machine, a board by its release).
# Unset, the real values; a value longer than the field is cut to fit.
check "shim: nothing set" "$(uname -r) $(uname -m)" "$(LD_PRELOAD=$SHIM uname -rm)"
check "shim: machine only" "$(uname -r) armv7l" \
  "$(LD_PRELOAD=$SHIM QORID_TEST_MACHINE=armv7l uname -rm)"
long=$(printf 'r%.0s' {1..80})
check "shim: long release" "${long:0:64}" "$(LD_PRELOAD=$SHIM QORID_TEST_RELEASE=$long uname -r)"

# --- the replay's interfaces --------------------------------------------------
for case in 192.0.2.1/24:yes 198.51.100.255/32:yes 203.0.113.9/28:yes \
  192.0.2.1/16:no 10.0.0.1/8:no 192.0.20.1/24:no 198.51.100.256/24:no \
  203.0.113.5:no 192.0.2.x/24:no; do
  address=${case%:*} want=${case##*:} got=no
  documentation_address "$address" && got=yes
  check "documentation range: $address" "$want" "$got"
done
printf '%s\n' "lo 127.0.0.1/8 00:00:00:00:00:00" "eth0 10.1.2.3/8 02:00:00:00:00:01" \
  "eth0:1 192.0.2.7/24 02:00:00:00:00:01" "wg0 172.16.0.1/32 -" "eth1 - 02:00:00:00:00:02" \
  >"$WORK/net"
check "net commands" "ip link add eth0 address 02:00:00:00:00:01 type veth peer name dumppeer0
ip addr add 203.0.113.101/32 dev eth0 label eth0
ip addr add 192.0.2.7/24 dev eth0 label eth0:1
ip tuntap add dev wg0 mode tun
ip addr add 203.0.113.102/32 dev wg0 label wg0
ip link add eth1 address 02:00:00:00:00:02 type veth peer name dumppeer1" \
  "$(net_commands "$WORK/net")"
for bad in "eth0 192.0.2.1/24" "eth0 192.0.2.1/24 02:00:00:00:00:01 extra" "eth0 192.0.2.1/24 2:0:0:0:0:1"; do
  printf '%s\n' "$bad" >"$WORK/net"
  net_commands "$WORK/net" >/dev/null 2>&1
  check "net line refused: $bad" 1 $?
done

# --- replaying every dump -----------------------------------------------------
count=0
for fixture in "$DUMPS"/*/; do
  fixture=${fixture%/}
  name=$(basename "$fixture")
  count=$((count + 1))
  pack "$fixture" "$WORK/$name.tar.gz"
  if ! dump=$(unpack "$WORK/$name.tar.gz" "$WORK/unpacked-$name"); then
    fail "$name: unpack"
    continue
  fi
  replay "$name" "$dump"
  check_file "$name: number" <(cut -d ' ' -f 1 "$fixture/expected.verbose") "$WORK/$name.number"
  check_file "$name: verbose" "$fixture/expected.verbose" "$WORK/$name.verbose"
  check_list "$name" "$fixture/expected.list" "$WORK/$name.list"
  expected_json=("$fixture"/expected.json)
  [ -f "${expected_json[0]}" ] || expected_json=()
  check "$name: json" "" "$(python3 "$SOURCE_DIR/tests/support/json_check.py" \
    "$WORK/$name.json" "$WORK/$name.list" "$fixture/expected.verbose" "${expected_json[@]}")"
done
check "at least eleven dumps" yes "$([ "$count" -ge 11 ] && echo yes || echo no)"
check "every dump replayed under --root too" "$count" "$root_runs"
echo "replayed $count dumps in the sandbox and under --root"

# Each dump again, this time made by qorid-dump on the replayed board: the
# same files, uname and net, and qorid's own output as expected.
for fixture in "$DUMPS"/*/; do
  fixture=${fixture%/}
  name=$(basename "$fixture")
  root=$(new_root "redump-$name" "$fixture")
  dump_on "$root" "$with_qorid" -- "/tmp/$name.tar.gz"
  check "$name: qorid-dump status" 0 "$status"
  check "$name: qorid-dump prints the tarball" "/tmp/$name.tar.gz" "$out"
  if ! dump=$(unpack "$root/tmp/$name.tar.gz" "$WORK/redumped-$name"); then
    fail "$name: qorid-dump's tarball"
    continue
  fi
  check "$name: directory named after the tarball" "$name" "$(basename "$dump")"
  if diff -r "$fixture/root" "$dump/root" >"$WORK/diff"; then pass; else
    fail "$name: root/ differs"; head -n 20 "$WORK/diff" >&2
  fi
  check_file "$name: uname" "$fixture/uname" "$dump/uname"
  check_file "$name: net" "$fixture/net" "$dump/net"
  check_file "$name: qorid.verbose" "$fixture/expected.verbose" "$dump/qorid.verbose"
  check_list "$name: qorid.list" "$fixture/expected.list" "$dump/qorid.list"
  check "$name: nothing else" "net qorid.list qorid.verbose root uname" "$(ls "$dump" | xargs)"
  # The dump unpacked, replayed by --root alone: what qorid printed on the
  # board.
  root_run "redumped-$name" "$dump/root"
  number=$(cut -d ' ' -f 1 "$dump/qorid.verbose")
  check_file "$name: redumped, --root verbose as on the board" \
    <(as_under_root "$number" "$dump/root" "$dump/qorid.verbose") "$WORK/redumped-$name.root.verbose"
  as_under_root "$number" "$dump/root" "$dump/qorid.list" >"$WORK/redumped-$name.board.list"
  check_list "$name: redumped, --root list as on the board" "$WORK/redumped-$name.board.list" \
    "$WORK/redumped-$name.root.list"
  check "$name: redumped, --root json" "" "$(python3 "$SOURCE_DIR/tests/support/json_check.py" \
    "$WORK/redumped-$name.root.json" "$WORK/redumped-$name.root.list" "$dump/qorid.verbose")"
done
check "every redump replayed under --root" "$((2 * count))" "$root_runs"

roundtrip

# Dumps started together with the default name (the clock stopped at one
# second) each write a tarball of their own and name it.
concurrent() {
  local root i tarball
  root=$(new_root concurrent "$pc")
  mkdir -p "$root/opt/stopped"
  printf '#!/bin/sh\necho 20260101-000000\n' >"$root/opt/stopped/date"
  chmod +x "$root/opt/stopped/date"
  dump_on "$root" "/opt/stopped:$with_qorid" \
    bash -c 'for i in 1 2 3 4; do "$0" >"/tmp/out.$i" 2>"/tmp/err.$i" & done; wait' --
  base=/tmp/qorid-dump-$(hostname)-20260101-000000
  check "concurrent: each its own name" \
    "$(printf '%s\n' "$base.tar.gz" "$base"-{2,3,4}.tar.gz | sort)" \
    "$(cat "$root"/tmp/out.* | sort)"
  for i in 1 2 3 4; do
    tarball=$(cat "$root/tmp/out.$i")
    if dump=$(unpack "$root$tarball" "$WORK/unpacked-concurrent-$i"); then
      check_file "concurrent $i: the dump of its name" "$pc/expected.verbose" \
        "$dump/qorid.verbose"
      check "concurrent $i: directory" "$(basename "$tarball" .tar.gz)" "$(basename "$dump")"
    else
      fail "concurrent $i: tarball $tarball"
    fi
  done
}
concurrent

# The temporary directory missing or full: said, status 1, no tarball left.
staging() {
  local root
  root=$(new_root staging "$pc")
  dump_on "$root" "$with_qorid" env TMPDIR=/nonexistent -- pc.tar.gz
  check "no TMPDIR: status" 1 "$status"
  check "no TMPDIR: said" \
    "qorid-dump: cannot make a temporary directory under /nonexistent: no dump written" \
    "$(tail -n 1 "$WORK/err")"
  check "no TMPDIR: no tarball" "" "$(tmp_files "$root")"
  printf 'mount -t tmpfs -o size=16k full %q\nhead -c 1M /dev/zero 2>/dev/null >%q/fill || true\n' \
    "$root/scratch" "$root/scratch" >"$WORK/full.sh"
  NET_SETUP=$WORK/full.sh dump_on "$root" "$with_qorid" -- pc.tar.gz
  check "full TMPDIR: status" 1 "$status"
  check "full TMPDIR: said" "qorid-dump: could not write into the temporary directory under \
/scratch (write error: No space left on device): no dump written" "$(tail -n 1 "$WORK/err")"
  check "full TMPDIR: no tarball" "" "$(tmp_files "$root")"
}
staging

# tar failing after writing part of the tarball: said, status 1, and neither
# the part written nor the temporary directory is left.
failing_tar() {
  local root
  root=$(new_root failing-tar "$pc")
  mkdir -p "$root/opt/failing"
  printf '#!/bin/sh\nprintf partial\nexit 2\n' >"$root/opt/failing/tar"
  chmod +x "$root/opt/failing/tar"
  dump_on "$root" "/opt/failing:$with_qorid" -- pc.tar.gz
  check "failing tar: status, said" "1 qorid-dump: could not write /tmp/pc.tar.gz" \
    "$status $(tail -n 1 "$WORK/err")"
  check "failing tar: no tarball" "" "$(tmp_files "$root")"
  check "failing tar: nothing left in TMPDIR" "" "$(ls -A "$root/scratch")"
}
failing_tar

# A FIFO where a file is copied does not hold the dump up: it is copied
# empty, as qorid reads it.
fifos() {
  local root dump
  root=$(new_root fifos "$pc")
  mkfifo "$root/etc/known_qor_ids"
  dump_on "$root" "$with_qorid" -- pc.tar.gz
  check "FIFO known identities: status" 0 "$status"
  if dump=$(unpack "$root/tmp/pc.tar.gz" "$WORK/unpacked-fifos"); then
    check "FIFO known identities: copied empty" yes \
      "$([ -f "$dump/root/etc/known_qor_ids" ] && [ ! -s "$dump/root/etc/known_qor_ids" ] && echo yes)"
  else
    fail "FIFO known identities: tarball"
  fi
}
fifos

# A PC with nothing but cpuinfo, no qorid on PATH, the default file name.
bare() {
  local root tarball dump missing
  root=$(new_root bare "$pc")
  dump_on "$root" "$without_qorid" --
  check "bare: status" 0 "$status"
  tarball=$out
  check "bare: default name" yes \
    "$([[ $tarball =~ ^/tmp/qorid-dump-$(hostname)-[0-9]{8}-[0-9]{6}\.tar\.gz$ ]] && echo yes)"
  for missing in "no /proc/device-tree/morvane" "no /etc/known_qor_ids" "qorid is not on PATH"; do
    check "bare: says $missing" 1 "$(grep -c "^qorid-dump: $missing" "$WORK/err")"
  done
  if ! dump=$(unpack "$root$tarball" "$WORK/unpacked-bare"); then
    fail "bare: tarball"
    return
  fi
  check "bare: directory named after the tarball" "$(basename "$tarball" .tar.gz)" \
    "$(basename "$dump")"
  check "bare: files" "net root root/proc root/proc/cpuinfo root/proc/sys root/proc/sys/kernel \
root/proc/sys/kernel/arch root/proc/sys/kernel/osrelease root/sys root/sys/class root/sys/class/net \
root/sys/class/net/eth0 root/sys/class/net/eth0/address root/sys/class/net/lo \
root/sys/class/net/lo/address uname" \
    "$(cd "$dump" && find . -mindepth 1 -printf '%P\n' | sort | xargs)"
  check_file "bare: net" "$pc/net" "$dump/net"
}
bare

# Installed next to qorid, qorid-dump finds it there without PATH.
installed() {
  local root dump
  root=$(new_root installed "$pc")
  mkdir -p "$root/opt/qorid/bin" "$root/opt/qorid/lib" "$root/opt/qorid/nolt"
  cp "$QORID" "$DUMP" "$root/opt/qorid/bin/"
  # The build's qorid finds its libraries beside it, as in the build tree.
  cp "$BUILD_DIR/lib/libqorid.so.1" "$root/opt/qorid/lib/"
  cp "$BUILD_DIR/nolt/libnolt.so.0" "$root/opt/qorid/nolt/"
  DUMP_AT=/opt/qorid/bin/qorid-dump dump_on "$root" "$without_qorid" -- pc.tar.gz
  check "installed: status" 0 "$status"
  if ! dump=$(unpack "$root/tmp/pc.tar.gz" "$WORK/unpacked-installed"); then
    fail "installed: tarball"
    return
  fi
  check_file "installed: qorid.verbose" "$pc/expected.verbose" "$dump/qorid.verbose"
  check_file "installed: qorid.list" "$pc/expected.list" "$dump/qorid.list"
}
installed

# Commands come from PATH's absolute entries alone: with PATH unset (the C
# library's default then) or holding empty and relative entries, run in a
# folder anyone may write into that holds commands of its own, the dump runs
# none of them (tar's gzip included) and is written with the real ones.
strangers_commands() {
  local how root name dump
  for how in "-u PATH" "PATH=:.:/usr/bin:/bin"; do
    root=$(new_root strangers "$board")
    mkdir -m 1777 "$root/marks" && chmod 1777 "$root/tmp"
    for name in ip tar gzip date qorid; do
      printf '#!/bin/sh\necho ran >/marks/%s\n' "$name" >"$root/tmp/$name"
      chmod +x "$root/tmp/$name"
    done
    # shellcheck disable=SC2086 # the words are env's arguments
    dump_on "$root" "$without_qorid" env $how --
    check "$how: status" 0 "$status"
    check "$how: none of the folder's commands run" "" "$(ls "$root/marks")"
    dump=$(unpack "$root$out" "${root%/root}/unpacked") || { fail "$how: tarball"; continue; }
    check_file "$how: net, by the real ip" "$board/net" "$dump/net"
  done
}
strangers_commands

# A node hard to copy: a folder "evil<newline>" whose etc/wan is read there,
# not as the board's /etc/wan; 300 levels of subnodes, a property after each
# and a link from the bottom back to the top; a property longer than qorid
# reads, one just as long; cpuinfo from a real /proc, whose size stat says 0;
# a link to nothing whose name forges a line of the dump's own.
hard_node() {
  local fixture=$DUMPS/aarch64-node-no-boardid root node dir dump got
  local forged="qorid-dump: all copied"
  root=$(new_root hard-node "$fixture")
  node=$root/proc/device-tree/morvane
  mkdir -p "$node/evil"$'\n'/etc && printf 'ghost9\0' >"$node/evil"$'\n'/etc/wan
  ln -s nowhere "$node/gone"$'\n'"$forged"
  printf 'leak7\n' >"$root/etc/wan"
  dir=$node
  for _ in $(seq 300); do mkdir "$dir/level" && echo "$dir" >"$dir/property" && dir=$dir/level; done
  ln -s /proc/device-tree/morvane "$dir/loop"
  head -c 2097152 /dev/urandom >"$node/long" && head -c 1048577 /dev/urandom >"$node/just"
  ln -sf .host/version "$root/proc/cpuinfo"
  dump_on "$root" "$without_qorid" -- node.tar.gz
  check "hard node: status" 0 "$status"
  dump=$(unpack "$root/tmp/node.tar.gz" "$WORK/unpacked-hard-node") || { fail "hard node"; return; }
  got=$dump/root/proc/device-tree/morvane
  check_file "hard node: net, the node's own wan line included" "$fixture/net" "$dump/net"
  check "hard node: the board's /etc/wan not read" "" "$(grep -h leak7 "$dump/net" "$WORK/err")"
  check "hard node: the folder's wan read" 1 "$(grep -cx \
    "qorid-dump: the node's wan names ghost9, which is no interface here" "$WORK/err")"
  check "hard node: 300 levels" 300 "$(find "$got" -name property | wc -l)"
  check "hard node: a newline in a name said as \\n, no line of its own" "1 0" \
    "$(grep -cxF "qorid-dump: left out /proc/device-tree/morvane/gone\\n$forged: a symbolic \
link to nothing, which qorid skips" "$WORK/err") $(grep -c "^$forged" "$WORK/err")"
  if diff -r -x loop -x long -x 'gone*' "$node" "$got" >"$WORK/diff"; then pass; else
    fail "hard node: copy differs"; head -n 5 "$WORK/diff" >&2
  fi
  check "hard node: the link back left out" 1 "$(grep -c "^qorid-dump: left out \
/proc/device-tree/morvane\(/level\)\{300\}/loop: a directory already copied" "$WORK/err")"
  check_file "hard node: long property cut" <(head -c 1048577 "$node/long") "$got/long"
  check "hard node: the cut said" "qorid-dump: cut /proc/device-tree/morvane/long after \
1048577 bytes, one more than qorid reads" "$(grep '^qorid-dump: cut' "$WORK/err")"
  check_file "hard node: a file of /proc" <(cat /proc/version) "$dump/root/proc/cpuinfo"
}
hard_node

# A property that is a device (a link to /dev/zero) is copied as qorid reads
# it, cut one byte past: the replay shows what qorid showed on the board, its
# WARN of the cut value too (both log WARN to the console).
device_property() {
  local root node dump
  root=$(new_root device "$board")
  node=$root/proc/device-tree/morvane
  ln -s /dev/zero "$node/zero"
  log_to_file "$root" WARN ConsoleAppender
  dump_on "$root" "$with_qorid" -- device.tar.gz
  check "device: status, the cut said" "0 1" "$status $(grep -cx "qorid-dump: cut \
/proc/device-tree/morvane/zero after 1048577 bytes, one more than qorid reads" "$WORK/err")"
  sed -n 's/^  //p' "$WORK/err" >"$WORK/device.err"  # what qorid said on the board
  check "device: qorid warns of the cut value" 1 "$(grep -c "^WARN Read only the first \
1048576 bytes of /proc/device-tree/morvane/zero," "$WORK/device.err")"
  dump=$(unpack "$root/tmp/device.tar.gz" "$WORK/device-dump") || { fail "device: tarball"; return; }
  check_file "device: copied" <(head -c 1048577 /dev/zero) "$dump/root${node#"$root"}/zero"
  mkdir -p "$dump/root/etc" && cp "$root/etc/qorid.conf" "$dump/root/etc/"
  replay device-replay "$dump"
  check_file "device: replayed verbose" "$dump/qorid.verbose" "$WORK/device-replay.verbose"
  check_list "device: replayed list" "$dump/qorid.list" "$WORK/device-replay.list"
  check_file "device: replayed warnings" "$WORK/device.err" \
    <(cat "$WORK/device-replay.verbose.err" "$WORK/device-replay.list.err")
}
device_property

# /proc not mounted (a plain folder without self/): the tarball is written
# and is all that is left; an existing output is still refused.
no_proc() {
  local root
  root=$(new_root no-proc "$pc")
  SANDBOX_NO_PROC=1 dump_on "$root" "$without_qorid" -- pc.tar.gz
  check "no /proc: status" 0 "$status"
  check "no /proc: the node's absence said" 1 "$(grep -cx \
    'qorid-dump: no /proc/device-tree/morvane: /proc is not mounted' "$WORK/err")"
  check "no /proc: only the tarball" pc.tar.gz "$(tmp_files "$root")"
  check "no /proc: a tarball" yes "$(unpack "$root/tmp/pc.tar.gz" "$WORK/np" >/dev/null && echo yes)"
  SANDBOX_NO_PROC=1 dump_on "$root" "$without_qorid" -- pc.tar.gz
  check "no /proc: existing output refused" \
    "1 qorid-dump: /tmp/pc.tar.gz exists already; name another file" "$status $err"
}
# A sanitizer's runtime cannot do without /proc/self: not in those builds.
[ -n "${QORID_SANITIZED:-}" ] || no_proc

# The command line: -h, an unknown option, two outputs.
root=$(new_root usage)
dump_on "$root" "$without_qorid" -- -h
check "-h: status" 0 "$status"
check "-h: usage" "Usage: qorid-dump [-h] [OUTPUT]" "${out%%$'\n'*}"
check "-h: no tarball" "" "$(tmp_files "$root")"
for args in "-x" "a.tar.gz b.tar.gz"; do
  # shellcheck disable=SC2086 # the words are the arguments
  dump_on "$root" "$without_qorid" -- $args
  check "$args: status" 2 "$status"
  check "$args: usage on standard error" 1 "$(grep -c '^Usage: qorid-dump' "$WORK/err")"
  check "$args: no tarball" "" "$(tmp_files "$root")"
done

finish
