#!/usr/bin/env bash
# The Debian packages proven the way an integrator uses them, for each suite
# and architecture asked for:
#
#   package_test.sh [--suite bookworm|trixie] [--arch ARCH]
#
# Without options the pairs that CI proves (DEFAULT_PAIRS); --suite alone
# every architecture of that suite, --arch alone that architecture on every
# suite that builds it, both the one pair.
#
# 1. The packages of each pair built (scripts/build-package.sh, in the
#    suite's build root); their version carries the suite's suffix; lintian
#    of the suite itself, run in that root, finds no error and no warning.
# 2. Each pair's packages installed with apt (dependencies from the suite's
#    archive) on a fresh minbase debootstrap root of that suite and
#    architecture; foreign ones run under qemu-user through binfmt_misc. On
#    every root the as-installed tests of debian/tests (DEP-8: the fixture
#    boards, --exec env, --json, --export, qorid-publish) run from a copy of
#    the source tree: on this machine's architecture by the suite's own
#    autopkgtest (null backend, the root its testbed), whose summary must
#    say PASS for every test (a skip fails), under qemu each test script by
#    hand as autopkgtest would run it; qorid.service is in the package and
#    enabled. Then remove (the conffile stays) and purge (nothing is
#    left). On this machine's architecture also systemd-analyze verify and
#    security (an exposure of 1.0 or less) of the unit, a boot of the root under
#    systemd-nspawn (the unit ran as a dynamic user with a start timeout, a
#    unit's EnvironmentFile= has the parameters; --export of armv7-hard-values
#    and of boards whose values hold every code point, read by systemd's
#    EnvironmentFile=, gives what --exec gives, and each value --export
#    leaves out for its bytes is one systemd refuses), the man pages and a
#    consumer built with find_package(qorid) and with pkg-config.
# 3. This machine's packages of each suite built a second time in another
#    folder: the .deb files must be the same, byte for byte.
#
# A pair's root is proven as soon as its packages are built, while the
# next pair builds, and two roots side by side. Needs root,
# debootstrap, qemu-user-static and the network to Debian's archive; a
# missing one is a failure, never a skip.
set -u
SRC=$(cd "$(dirname "$0")/../.." && pwd)
source "$SRC/tests/support/checks.sh"
source "$SRC/tests/support/fixtures.sh"
source "$SRC/tests/support/env_readers.sh"
source "$SRC/scripts/debian-root.sh"
HOST=$(dpkg --print-architecture)
PACKAGES=(libqorid1 libnolt0 libqorid-dev libnolt-dev qorid)
DEFAULT_PAIRS=(trixie:amd64 trixie:arm64 trixie:armhf trixie:riscv64 bookworm:amd64 bookworm:armhf)
WORK=$ROOTS/test
JOBS=${JOBS:-2}

[ "$(id -u)" -eq 0 ] || { echo "FAIL: the package test needs root" >&2; exit 1; }

suite= arch=
while [ $# -gt 0 ]; do
  case $1 in
    --suite) suite=${2:?--suite needs a suite}; shift 2 ;;
    --arch) arch=${2:?--arch needs an architecture}; shift 2 ;;
    *) echo "usage: $0 [--suite SUITE] [--arch ARCH]" >&2; exit 2 ;;
  esac
done
pairs=()
if [ -z "$suite$arch" ]; then
  pairs=("${DEFAULT_PAIRS[@]}")
else
  for s in ${suite:-trixie bookworm}; do
    for a in ${arch:-$(suite_arches "$s")}; do
      if [ -z "$suite" ] && ! (check_suite_arch "$s" "$a") 2>/dev/null; then continue; fi
      check_suite_arch "$s" "$a"
      pairs+=("$s:$a")
    done
  done
fi
suites=$(printf '%s\n' "${pairs[@]%%:*}" | awk '!seen[$0]++')
echo "package test: ${pairs[*]}"
rm -rf "$WORK"
mkdir -p "$WORK"

# ok NAME COMMAND...: COMMAND succeeds; its last lines are shown otherwise.
ok() {
  local name=$1 out
  shift
  out=$(mktemp "$WORK/ok.XXXXXX")
  if "$@" >"$out" 2>&1; then pass; else
    fail "$name"; tail -n 20 "$out" | sed 's/^/    /' >&2
  fi
  rm -f "$out"
}

# --- proving a pair on a fresh root -------------------------------------------
# in_board ROOT ARCH BOARD COMMAND...: COMMAND chrooted into ROOT as the
# board BOARD, a fixture of tests/fixtures/dumps or (a path) a folder laid
# out as one: its files under /proc (a plain folder) and /etc, its net lines'
# interfaces in a namespace of its own. The roots have no uname shim: on
# this machine's architecture, a board whose machine is no x86_64 keeps the
# PC identity out of the way with the linux32 personality.
in_board() {
  local root=$1 arch=$2 board=$3 personality=
  [[ $board == */* ]] || board=$SRC/tests/fixtures/dumps/$board
  shift 3
  [ -d "$root/usr/bin" ] || { echo "in_board: $root is no root" >&2; return 1; }
  rm -rf "$root/proc" "$root/etc/known_qor_ids"
  mkdir "$root/proc"
  cp -a "$board/root/." "$root/"
  net_commands "$board/net" >"$root.net.sh" || return 1
  if [ "$arch" = "$HOST" ] && [ "$(sed -n 2p "$board/uname")" != x86_64 ]; then
    personality=linux32
  fi
  unshare --mount --net --fork -- bash -c '
    set -e
    root=$1 net=$2 personality=$3; shift 3
    ip link set lo up
    bash -e "$net"
    if [ -n "$personality" ]; then exec setarch "$personality" chroot "$root" "$@"; fi
    exec chroot "$root" "$@"
  ' in_board "$root" "$root.net.sh" "$personality" "$@"
}

# The boards whose --export a unit reads at boot with systemd's own
# EnvironmentFile=, each in a unit of its own: HARD_BOARD, whose values hold
# every byte but the newline, quotes, $(...), backquotes, backslashes, CR
# and tab; and those tests/package/reader_boards.py lays out: every code
# point a value can hold and systemd takes (U+0001 to U+10FFFF but the
# newline, the surrogates and the noncharacters), 4,096 to a value, over a
# few boards (--exec gives all parameters 1 MiB), and each kind of value
# that --export leaves out. systemd must take each file, and give what
# --exec gives for the names it assigns; each value left out for its bytes,
# written as --export would have written it, makes systemd refuse its file.
HARD_BOARD=armv7-hard-values
# Its parameters that --export gives: the shell names whose values are UTF-8;
# and what the log says of the others.
HARD_EXPORTED="QOR_ASCII QOR_BOARDID QOR_CRTAB QOR_DESC QOR_DESCRIPTION QOR_EMPTY QOR_ID \
QOR_QUOTE QOR_SHELL QOR_SPACES QOR_UTF8 QOR_WAN QOR_WAN_ID"
HARD_LEFT_OUT="QOR_HIGH1: value not UTF-8
QOR_HIGH2: value not UTF-8
QOR_REG: value not UTF-8"
LEFT_OUT_TEXT=$(sed -n 's/^inline constexpr char kLeftOutOfExport\[\] = "\(.*\)";$/\1/p' \
  "$SRC/tests/support/log_texts.h")

# export_reader_checks S A BOARD_NAME READER EXPECTED_LEFT_OUT: what the
# unit that read --export of the board got (READER/board-NAME.*) against
# --exec there ($WORK/S-A.NAME.*), and what the log said it left out
# against EXPECTED_LEFT_OUT ("NAME: REASON" lines).
export_reader_checks() {
  local s=$1 a=$2 name=$3 reader=$4 expected=$5 at=$WORK/$1-$2.$3 said
  if [ "$(cat "$reader/board-$name.status" 2>/dev/null)" = 0 ]; then pass; else
    fail "$s $a $name: EnvironmentFile= did not take --export: $(paste -sd '|' \
      "$reader/board-$name.journal" 2>/dev/null)"
  fi
  said=$(sed -n "s/^qorid WARN: $LEFT_OUT_TEXT//p" "$at.export.err" | LC_ALL=C sort)
  check "$s $a $name: --export says in the log what it leaves out, and why" "$expected" "$said"
  # Other WARN lines may come (HARD_BOARD has no known_qor_ids), no error.
  check "$s $a $name: --export says nothing on standard error but WARN lines" "" \
    "$(grep -v "^qorid WARN: " "$at.export.err")"
  check "$s $a $name: --exec says what it leaves out of the environment, and why" \
    "$(sed -En 's/^([^:]*): (value too long|over the .* bytes all parameters may take)$/qorid: \1 left out of the environment: \2/p' <<<"$expected")" \
    "$(grep -v "^qorid WARN: " "$at.exec.err")"
  if env_of "$reader/board-$name.env" "$at.exec" "$reader/board-$name.env0" >"$at.cmp" 2>&1; then
    [ "$name" != "$HARD_BOARD" ] ||
      check "$s $a $name: --export gives the shell names whose values are UTF-8" \
        "$HARD_EXPORTED" "$(head -n 1 "$at.cmp")"
    # Each name --exec sets that --export does not assign is one the log
    # names (NAME: REASON, or NAME is not a shell variable name).
    check "$s $a $name: every name --exec sets is in --export or said to be left out" "" \
      "$(comm -23 <(sed -n 2p "$at.cmp" | tr ' ' '\n' | grep . | LC_ALL=C sort) \
        <(sed -E 's/(: | is not a shell variable name$).*//' <<<"$said" | LC_ALL=C sort))"
    check "$s $a $name: EnvironmentFile= of --export gives what --exec gives" "" \
      "$(sed 1,2d "$at.cmp")"
  else
    fail "$s $a $name: the environments compared: $(paste -sd '|' "$at.cmp")"
  fi
}

# boot_with_systemd SUITE ARCH ROOT: the root booted as a container, its
# systemd starting what it starts at boot: qorid.service must have run, as
# a dynamic user, with a start timeout; a unit with
# EnvironmentFile=/run/qorid/parameters.env must see what --exec gives in
# the same root (the machine's own board here); and --export of each board
# above, and each refused value, read by EnvironmentFile= in a unit of its
# own (tests/support/read_env_files.sh, run by the probe unit, which powers
# the container off when it has written what it saw). qorid logs at WARN
# for the boards' runs, the package's conffile put back after.
boot_with_systemd() {
  local s=$1 a=$2 root=$3 boards=$WORK/$1-$2.boards reader board name f
  local conf=$WORK/$1-$2.qorid.conf boot=$SECONDS carried left_out=0 refused=0 files=0
  rm -rf "$boards"
  if ! python3 "$SRC/tests/package/reader_boards.py" lay "$boards"; then
    fail "$s $a: tests/package/reader_boards.py could not lay out the boards"
    return
  fi
  reader=$(reader_in "$root" qorid-reader)
  cp -p "$root/etc/qorid.conf" "$conf"
  sed 's/^log4cpp\.category\.qorid=ERROR$/log4cpp.category.qorid=WARN/' "$conf" >"$root/etc/qorid.conf"
  for board in "$HARD_BOARD" "$boards"/code-points-* "$boards/excluded"; do
    name=$(basename "$board")
    in_board "$root" "$a" "$board" qorid --export >"$reader/board-$name.env" \
      2>"$WORK/$s-$a.$name.export.err"
    in_board "$root" "$a" "$board" qorid --exec -- env -0 >"$WORK/$s-$a.$name.exec" \
      2>"$WORK/$s-$a.$name.exec.err"
  done
  cp -p "$conf" "$root/etc/qorid.conf"
  for f in "$boards"/refused/*.env; do cp "$f" "$reader/refused-${f##*/}"; done
  ok "$s $a: booted with systemd" boot_probe "$root" "$(cat <<'UNIT'
[Unit]
After=qorid.service
Wants=qorid.service
[Service]
Type=oneshot
EnvironmentFile=/run/qorid/parameters.env
ExecStart=/bin/sh -c 'systemctl is-active qorid >/probe.out; env | grep "^QOR_" | sort >>/probe.out'
ExecStart=/bin/sh -c 'stat -c "%%a %%u" /run/qorid /run/qorid/parameters.env /run/qorid/board.json >/owner.out'
ExecStart=/bin/sh -c 'systemctl show -p TimeoutStartUSec --value qorid >/timeout.out'
ExecStart=/bin/sh /qorid-reader/read /qorid-reader
UNIT
)"
  check "$s $a: at boot qorid.service ran and a unit's EnvironmentFile= has the parameters" \
    "$(printf 'active\n'; in_root "$root" qorid --exec env | grep '^QOR_' | sort)" \
    "$(cat "$root/probe.out" 2>/dev/null)"
  # A user of systemd's dynamic range (61184-65519) owns the folder and files.
  check "$s $a: /run/qorid and its files belong to a dynamic user, modes 755 and 644" \
    "755 dynamic|644 dynamic|644 dynamic" \
    "$(awk '{ print $1, ($2 >= 61184 && $2 <= 65519 ? "dynamic" : "uid " $2) }' \
      "$root/owner.out" 2>/dev/null | paste -sd '|')"
  # A oneshot waits for ever unless the unit says otherwise.
  check "$s $a: systemd gives qorid.service a start timeout" yes \
    "$(grep -Eqx '[0-9]+(min|s)( [0-9]+s)?' "$root/timeout.out" 2>/dev/null && echo yes ||
      cat "$root/timeout.out" 2>/dev/null)"

  export_reader_checks "$s" "$a" "$HARD_BOARD" "$reader" "$HARD_LEFT_OUT"
  left_out=$(grep -c . <<<"$HARD_LEFT_OUT")
  for board in "$boards"/code-points-* "$boards/excluded"; do
    export_reader_checks "$s" "$a" "${board##*/}" "$reader" "$(cat "$board/left-out")"
    left_out=$((left_out + $(grep -c . "$board/left-out")))
  done
  if carried=$(python3 "$SRC/tests/package/reader_boards.py" carried \
    "$reader"/board-code-points-*.env0 2>&1); then pass; else
    fail "$s $a: EnvironmentFile= of --export carries every code point: $carried"
  fi
  for f in "$reader"/refused-*.env; do
    f=${f%.env}
    check "$s $a: EnvironmentFile= refuses a value that --export leaves out: ${f##*/refused-}" \
      "refused" "$([ "$(cat "$f.status" 2>/dev/null)" != 0 ] &&
        grep -q 'Failed to load environment files' "$f.journal" && echo refused ||
        echo "taken: status $(cat "$f.status" 2>/dev/null)")"
    refused=$((refused + 1))
  done
  files=$(find "$reader" -name '*.status' | wc -l)
  echo "   $s $a EnvironmentFile=: ${carried%% *} code points carried; $files files read," \
    "$((files - refused)) of --export taken, $refused refused as they must be;" \
    "$left_out values left out of --export, each said; $((SECONDS - boot)) s"
  rm -rf "$reader" "$root/probe.out" "$root/owner.out" "$root/timeout.out"
}

# The tests of debian/tests/control, and the packages they depend on
# besides qorid (which the root has from the .deb files).
dep8_tests() {
  sed -n 's/^Tests://p' "$SRC/debian/tests/control" | tr ', ' '\n\n' | grep .
}
dep8_depends() {
  sed -n 's/^Depends://p' "$SRC/debian/tests/control" | tr ', ' '\n\n' | grep . |
    grep -vx qorid | sort -u
}

# dep8 SUITE ARCH ROOT: the as-installed tests of debian/tests, run from a
# copy of the source tree in ROOT (what the source package holds). On this
# machine's architecture the suite's own autopkgtest runs them with its
# null backend (the testbed is the root itself), and every test must PASS
# in its summary: a skipped one fails. Under qemu, where autopkgtest is not
# run, each test script is run the way autopkgtest runs it: as root from
# the top of the tree, with a scratch folder of its own in AUTOPKGTEST_TMP.
dep8() {
  local s=$1 a=$2 root=$3 t expected summary
  rm -rf "$root/tmp/src" "$root/tmp/dep8"
  mkdir -p "$root/tmp/src" "$root/tmp/dep8"
  tar -C "$SRC" --exclude-vcs --exclude='./build*' --exclude=./dist --exclude=./out \
    -cf - . | tar -C "$root/tmp/src" -xf -
  if [ "$a" != "$HOST" ]; then
    for t in $(dep8_tests); do
      if in_root "$root" sh -c \
        'cd /tmp/src && AUTOPKGTEST_TMP=$(mktemp -d) && export AUTOPKGTEST_TMP && exec "$1"' \
        sh "debian/tests/$t" >"$WORK/$s-$a.dep8-$t.log" 2>&1; then pass; else
        fail "$s $a: debian/tests/$t (by hand, under qemu)"
        tail -n 40 "$WORK/$s-$a.dep8-$t.log" | sed 's/^/    /' >&2
      fi
      echo "   $s $a debian/tests/$t by hand: $(tail -n 1 "$WORK/$s-$a.dep8-$t.log")"
    done
    return
  fi
  in_root "$root" autopkgtest --no-built-binaries --summary-file=/tmp/dep8/summary \
    --output-dir=/tmp/dep8/out /tmp/src -- null >"$WORK/$s-$a.autopkgtest.log" 2>&1
  check "$s $a: autopkgtest's exit status" 0 $?
  summary=$(cat "$root/tmp/dep8/summary" 2>/dev/null)
  echo "   $s $a autopkgtest $(in_root "$root" dpkg-query -W -f='${Version}' autopkgtest):"
  echo "${summary:-(no summary)}" | sed 's/^/     /'
  expected=$(for t in $(dep8_tests); do echo "$t PASS"; done)
  check "$s $a: autopkgtest: every test of debian/tests/control PASS" "$expected" \
    "$(awk '{ print $1, $2 }' <<<"$summary")"
  if [ "$(awk '{ print $1, $2 }' <<<"$summary")" != "$expected" ]; then
    tail -n 60 "$WORK/$s-$a.autopkgtest.log" | sed 's/^/    /' >&2
  fi
}

# prove SUITE ARCH: one pair on its fresh root, once its packages are built.
# Run in the background: its counts go to $WORK/SUITE-ARCH.counts, its
# words to $WORK/SUITE-ARCH.log.
prove() {
  local s=$1 a=$2 root=$WORK/$1-$2 extra=() p
  passed=0 failed=0
  echo "== $s $a: fresh root, packages installed with apt"
  if [ "$a" != "$HOST" ]; then  # its debootstrap, started at the beginning
    until [ -f "$WORK/debootstrap-$s-$a.status" ]; do sleep 2; done
    if [ "$(cat "$WORK/debootstrap-$s-$a.status")" != 0 ]; then
      fail "$s $a: debootstrap"; tail -n 20 "$WORK/debootstrap-$s-$a.log" | sed 's/^/    /' >&2
      echo "$passed $failed" >"$WORK/$s-$a.counts"
      return
    fi
  fi
  local start=$SECONDS
  fresh_root "$s" "$a" "$root"
  mkdir -p "$root/tmp/debs"
  for p in "${PACKAGES[@]}"; do cp "$SRC/dist/$s/$a/${p}_"*"_$a.deb" "$root/tmp/debs/"; done
  # The consumer's compiler and CMake, and man, on this machine's roots.
  # And systemd, whose systemd-analyze judges the unit, with the D-Bus
  # daemon that systemd-run --wait talks to; and the suite's own
  # autopkgtest, which runs debian/tests. A foreign root gets what the tests
  # depend on, to run them by hand.
  if [ "$a" = "$HOST" ]; then
    extra=(g++ cmake make man-db systemd dbus autopkgtest)
  else
    mapfile -t extra < <(dep8_depends)
  fi
  ok "$s $a: apt-get update" in_root "$root" apt-get update -qq
  ok "$s $a: apt-get install the packages" in_root "$root" sh -c \
    'apt-get install -y -qq --no-install-recommends /tmp/debs/*.deb "$@"' sh "${extra[@]}"
  for p in "${PACKAGES[@]}"; do
    check "$s $a: $p installed" "install ok installed" \
      "$(in_root "$root" dpkg-query -W -f='${Status}' "$p:$a" 2>/dev/null)"
  done
  ok "$s $a: qorid -v" in_root "$root" sh -c 'qorid -v | grep -Eqx -- "-?[0-9]+ - .+"'
  ok "$s $a: qorid --list" in_root "$root" qorid --list

  # The as-installed tests of debian/tests (DEP-8), from a copy of the
  # source tree as its package has it.
  dep8 "$s" "$a" "$root"

  # qorid.service: in the package, and enabled by it.
  local unit
  unit=$(in_root "$root" dpkg-query -L qorid | grep '/systemd/system/qorid.service$')
  check "$s $a: the package has qorid.service" yes "$([ -f "$root$unit" ] && echo yes)"
  # The link names the unit by /lib or /usr/lib (one folder on these roots).
  local wanted
  wanted=$(readlink "$root/etc/systemd/system/multi-user.target.wants/qorid.service")
  check "$s $a: qorid.service is enabled" yes \
    "$([[ $wanted == */systemd/system/qorid.service ]] && [ "$root$wanted" -ef "$root$unit" ] &&
      echo yes)"

  if [ "$a" = "$HOST" ]; then
    ok "$s $a: systemd-analyze verify qorid.service" in_root "$root" \
      systemd-analyze verify "$unit"
    # The suite's own systemd-analyze rates the unit's sandbox.
    local exposure
    exposure=$(in_root "$root" systemd-analyze security --offline=true "$unit" 2>&1 |
      grep 'Overall exposure level')
    echo "   $s $a: $exposure"
    check "$s $a: systemd-analyze security: an exposure of 1.0 or less" yes \
      "$(echo "$exposure" | awk -F': ' '$2 ~ /^[0-9]+\.[0-9]+ / { print ($2 + 0 <= 1.0 ? "yes" : $2) }')"
    boot_with_systemd "$s" "$a" "$root"
    # Documentation, and building against the packages.
    for page in qorid qorid-dump known_qor_ids; do
      ok "$s $a: man $page" in_root "$root" sh -c "man $page | grep -q ."
    done
    cp -r "$SRC/tests/install/consumer" "$root/tmp/consumer"
    ok "$s $a: find_package(qorid) consumer builds" in_root "$root" sh -c \
      'cmake -S /tmp/consumer -B /tmp/build-cmake && cmake --build /tmp/build-cmake'
    ok "$s $a: find_package(qorid) consumer runs" in_root "$root" sh -c \
      '/tmp/build-cmake/consumer | grep -Eqx -- "-?[0-9]+ - .+"'
    ok "$s $a: pkg-config consumer builds" in_root "$root" sh -c \
      'g++ -std=c++17 /tmp/consumer/main.cpp -o /tmp/pc-consumer $(pkg-config --cflags --libs qorid)'
    ok "$s $a: pkg-config consumer runs" in_root "$root" sh -c \
      '/tmp/pc-consumer | grep -Eqx -- "-?[0-9]+ - .+"'
  fi

  # Taking them away again.
  in_root "$root" dpkg-query -L "${PACKAGES[@]}" | sort -u >"$WORK/$s-$a.files"
  ok "$s $a: apt-get remove" in_root "$root" apt-get remove -y -qq "${PACKAGES[@]}"
  ok "$s $a: the conffile stays after remove" test -f "$root/etc/qorid.conf"
  # Only qorid has a conffile, so only qorid is still known to dpkg.
  ok "$s $a: apt-get purge" in_root "$root" apt-get purge -y -qq qorid
  ok "$s $a: the conffile is gone after purge" test ! -e "$root/etc/qorid.conf"
  local left
  left=$(while read -r f; do
    # A folder of the system's may be a link (/lib on bookworm): not ours.
    { [ -f "$root$f" ] || [ -L "$root$f" ]; } && [ ! -d "$root$f" ] && echo "$f"
  done <"$WORK/$s-$a.files")
  check "$s $a: no file of the packages is left after purge" "" "$left"
  check "$s $a: dpkg knows none of the packages" "" \
    "$(in_root "$root" dpkg-query -W -f='${Package} ${Status}\n' "${PACKAGES[@]}" 2>/dev/null |
      grep -v ' not-installed$')"
  echo "   $s $a took $((SECONDS - start)) s"
  # The root stays for a look when something failed.
  [ "$failed" -ne 0 ] || rm -rf "$root"
  echo "$passed $failed" >"$WORK/$s-$a.counts"
}

# --- the run -----------------------------------------------------------------
# The packages are built one pair after the other; each pair's root is
# proven as soon as its packages are there, two roots at a time, while the
# next pair builds. The foreign roots' debootstraps go on from the start (a
# build makes its suite's root for this machine itself).
for pair in "${pairs[@]}"; do
  [ "${pair#*:}" != "$HOST" ] || continue
  { pristine_root "${pair%%:*}" "${pair#*:}" >"$WORK/debootstrap-${pair/:/-}.log" 2>&1
    echo $? >"$WORK/debootstrap-${pair/:/-}.status"; } &
done
proving=()
# prove_soon SUITE ARCH: prove in the background once fewer than two run.
prove_soon() {
  local pid alive
  while :; do
    alive=()
    for pid in "${proving[@]}"; do kill -0 "$pid" 2>/dev/null && alive+=("$pid"); done
    proving=("${alive[@]}")
    [ "${#proving[@]}" -lt 2 ] && break
    sleep 2
  done
  prove "$1" "$2" >"$WORK/$1-$2.log" 2>&1 &
  proving+=("$!")
}

# --- 1. the packages, and 2. their roots -------------------------------------
for pair in "${pairs[@]}"; do
  s=${pair%%:*} a=${pair#*:}
  if env JOBS="$JOBS" bash "$SRC/scripts/build-package.sh" "$s" "$a" >"$WORK/build-$s-$a.log" 2>&1
  then
    pass
    prove_soon "$s" "$a"
  else
    fail "$s $a: packages built"; tail -n 20 "$WORK/build-$s-$a.log" | sed 's/^/    /' >&2
    echo "0 1" >"$WORK/$s-$a.counts"
  fi
done

for s in $suites; do
  version=$(dpkg-parsechangelog -l "$SRC/debian/changelog" -S Version)$(suite_version "$s")
  lint=()
  for pair in "${pairs[@]}"; do
    [ "${pair%%:*}" = "$s" ] || continue
    a=${pair#*:}
    dist=$SRC/dist/$s/$a
    for p in "${PACKAGES[@]}"; do
      deb=$dist/${p}_${version}_$a.deb
      if [ ! -f "$deb" ]; then
        fail "$s $a: no $(basename "$deb")"
        continue
      fi
      check "$s $a: $p version" "$version" "$(dpkg-deb -f "$deb" Version)"
      check "$s $a: $p architecture" "$a" "$(dpkg-deb -f "$deb" Architecture)"
      lint+=("$deb")
    done
    for lib in libqorid1:libqorid.so.1 libnolt0:libnolt.so.0; do
      check "$s $a: ${lib#*:} in the multiarch folder" \
        "./usr/lib/$(dpkg-architecture -a"$a" -qDEB_HOST_MULTIARCH 2>/dev/null)/${lib#*:}" \
        "$(dpkg-deb -c "$dist/${lib%%:*}_${version}_$a.deb" | grep -oE "[^ ]*/${lib#*:}( |$)" | tr -d ' ')"
    done
  done
  # lintian of the suite, in its build root: each suite by its own rules.
  broot=$(prepared_root "$s" "$HOST" build-essential dpkg-dev debhelper fakeroot lintian)
  rm -rf "$broot/lint"
  mkdir -p "$broot/lint"
  cp "${lint[@]}" "$broot/lint/"
  # One run: it fails on errors and warnings only, and says the rest too.
  if in_root "$broot" sh -c \
    'lintian --fail-on error,warning -I --pedantic --tag-display-limit 0 /lint/*.deb' \
    >"$WORK/lintian-$s.txt" 2>&1; then pass; else
    fail "$s: lintian finds an error or a warning"; sed 's/^/    /' "$WORK/lintian-$s.txt" >&2
  fi
  rm -rf "$broot/lint"
done


# --- 3. reproducible --------------------------------------------------------
for s in $suites; do
  case " ${pairs[*]} " in *" $s:$HOST "*) ;; *) continue ;; esac
  echo "== $s $HOST: the packages built again in another folder"
  ok "$s: second build" env JOBS="$JOBS" bash "$SRC/scripts/build-package.sh" "$s" "$HOST" \
    "/build/$s-$HOST-again" "$WORK/again-$s"
  for deb in "$SRC/dist/$s/$HOST"/*.deb; do
    ok "$s reproducible: $(basename "$deb")" cmp "$deb" "$WORK/again-$s/$(basename "$deb")"
  done
done

wait
for pair in "${pairs[@]}"; do
  cat "$WORK/${pair/:/-}.log" 2>/dev/null
  if read -r p f <"$WORK/${pair/:/-}.counts" 2>/dev/null; then
    passed=$((passed + p)) failed=$((failed + f))
  else
    fail "${pair/:/ }: the proof did not finish"
  fi
done

for s in $suites; do
  echo "== lintian of $s at info level, pedantic:"
  sed 's/^/   /' "$WORK/lintian-$s.txt"
done
[ "$failed" -ne 0 ] || rm -rf "$WORK"
finish
