# Shared helpers of the black-box tests, sourced by each test script.
# Usage of a test script: bash TEST.sh PATH/TO/qorid BUILD_DIR
set -u

QORID=$(realpath "${1:?path to the qorid binary}")
BUILD_DIR=$(realpath "${2:?the build directory}")
SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck disable=SC2034 # for the scripts that source this
FIXTURES=$SOURCE_DIR/tests/fixtures DUMPS=$SOURCE_DIR/tests/fixtures/dumps
CASES=$FIXTURES/cases
# shellcheck source=../support/checks.sh
source "$SOURCE_DIR/tests/support/checks.sh"
# shellcheck source=../support/fixtures.sh
source "$SOURCE_DIR/tests/support/fixtures.sh"
# What a board's uname says comes from the uname shim, preloaded into every
# run; under the sanitizers it stands before their runtime.
SHIM=${QORID_UNAME_SHIM:-$BUILD_DIR/tests/libqorid_uname_shim.so}
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0

WORK=$(mktemp -d "${TMPDIR:-/tmp}/qorid-bb-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# check_file NAME EXPECTED_FILE ACTUAL_FILE: byte-for-byte comparison.
check_file() {
  if cmp -s "$2" "$3"; then pass; else
    fail "$1"; diff <(od -c "$2") <(od -c "$3") | head -20 >&2
  fi
}
# check_list NAME EXPECTED ACTUAL: --list output, whose device-tree walk
# follows the directory's order: the parameters as a set, the board's two
# first, the same last line (the WAN identifier, when there is one).
check_list() {
  check_file "$1: list as a set" <(LC_ALL=C sort "$2") <(LC_ALL=C sort "$3")
  check_file "$1: list starts with the board" <(head -n 2 "$2") <(head -n 2 "$3")
  check_file "$1: list ends alike" <(tail -n 1 "$2") <(tail -n 1 "$3")
}

# log_text NAME: the log text kNAME of the tests' own list
# (tests/support/log_texts.h), which the unit tests and fuzz targets share.
log_text() {
  local text
  text=$(sed -n "s/^inline constexpr char $1\[\] = \"\(.*\)\";\$/\1/p" \
    "$SOURCE_DIR/tests/support/log_texts.h")
  [ -n "$text" ] || { echo "FAIL: no log text $1 in tests/support/log_texts.h" >&2; exit 1; }
  printf '%s' "$text"
}

# log_to_file ROOT LEVEL [APPENDER [FILE [PATTERN]]]: the board's qorid.conf
# sends qorid's LEVEL and above through the appender "file", an APPENDER
# (FileAppender) of FILE (/tmp/qorid.log), a PATTERN ("%p %m%n") a line.
# More settings of the appender can be added to the file.
log_to_file() {
  printf 'log4cpp.%s\n' rootCategory=ERROR "category.qorid=$2, file" \
    "appender.file=${3:-FileAppender}" "appender.file.fileName=${4:-/tmp/qorid.log}" \
    appender.file.layout=PatternLayout "appender.file.layout.ConversionPattern=${5:-%p %m%n}" \
    >"$1/etc/qorid.conf"
}

# run_case CASE: the case folder CASE (tests/fixtures/cases/README.md) run
# in the sandbox of its board, as `qorid ARGS...` found on PATH; its
# standard output, standard error, status and, where it has one, the log
# are compared with the folder's expected ones.
run_case() {
  local case name file root args=() envs=()
  case=$(realpath "$1")
  name=$(basename "$case")
  for file in args expected.out expected.err status; do
    [ -f "$case/$file" ] || { echo "FAIL: $name: the case has no $file" >&2; exit 1; }
  done
  if [ -f "$case/board" ]; then
    root=$(new_root "case-$name" "$DUMPS/$(cat "$case/board")") || exit 1
  else
    root=$(new_root "case-$name")
  fi
  [ ! -f "$case/qorid.conf" ] || cp "$case/qorid.conf" "$root/etc/"
  if [ -f "$case/setup" ] && ! (cd "$root" && bash -e "$case/setup"); then
    echo "FAIL: $name: its setup failed" >&2
    exit 1
  fi
  mapfile -t args <"$case/args"
  [ ! -f "$case/env" ] || mapfile -t envs <"$case/env"
  run "$root" env -u SHELL PATH="$(dirname "$QORID"):/usr/bin:/bin" "${envs[@]}" qorid "${args[@]}"
  check_file "$name: standard output" "$case/expected.out" "$WORK/out"
  check_file "$name: standard error" "$case/expected.err" "$WORK/err"
  check "$name: status" "$(cat "$case/status")" "$status"
  [ ! -f "$case/expected.log" ] || check_file "$name: the log" "$case/expected.log" "$root/tmp/qorid.log"
}

# --- sandbox --------------------------------------------------------------
# A board's root is a directory laid out like a root file system (etc/,
# proc/) that the tool sees as / through a chroot, in its own mount and
# network namespaces. The system's /usr and /dev are bound in, and so are
# the build tree and the source tree, at paths of their own that no board
# reads (INNER_BUILD, INNER_SOURCE): where the checkout lives never shows in
# a board's world, not even under /tmp. run and in_sandbox hand the command
# those paths for the host's. As root the sandbox uses the namespaces
# directly; anyone else enters a user namespace first (unshare
# --map-root-user), where the same mounts, chroot and interfaces can be made.
INNER_BUILD=/.qorid-test/build
INNER_SOURCE=/.qorid-test/source
SANDBOX_USER=()
[ "$(id -u)" -eq 0 ] || SANDBOX_USER=(--map-root-user)

# How the sandbox's mount namespace is kept from the caller's: unshare
# makes every mount private, which needs / to be a mount point. In a chroot
# whose / is none (a debootstrap root entered with chroot), the mounts are
# left as they are, but only where a probe shows that a mount made in a new
# namespace below $WORK does not reach the caller's: otherwise the sandbox
# would mount into the caller's tree.
SANDBOX_PROPAGATION=private

# require_sandbox: fails the test, saying why, where the sandbox cannot be
# made. Never a skip: a test that cannot set up its world has not passed.
require_sandbox() {
  local why probe
  if ! command -v unshare >/dev/null || ! command -v ip >/dev/null; then
    why="the sandbox needs unshare and ip (Debian packages util-linux, iproute2)"
  elif why=$(unshare "${SANDBOX_USER[@]}" --mount --net --pid --fork true 2>&1); then
    return 0
  elif [ ${#SANDBOX_USER[@]} -gt 0 ]; then
    why="$why; not root, and no user namespace could be made (kernel.unprivileged_userns_clone?)"
  elif [[ $why == *"cannot change root filesystem propagation"* ]]; then
    probe=$WORK/.propagation-probe
    mkdir -p "$probe"
    if ! unshare --mount --propagation unchanged --net --pid --fork \
      mount -t tmpfs sandbox-probe "$probe" 2>/dev/null; then
      why="$why; and a mount in a new namespace failed"
    elif mountpoint -q "$probe"; then
      umount "$probe"
      why="$why; / is no mount point here, and mounts below it reach the caller's namespace"
    else
      SANDBOX_PROPAGATION=unchanged
      return 0
    fi
  fi
  echo "FAIL: cannot make the sandbox: $why" >&2
  exit 1
}

# inner TEXT: TEXT with the build and source trees' paths as the sandbox
# has them.
inner() {
  local text=${1//"$BUILD_DIR"/$INNER_BUILD}
  printf '%s' "${text//"$SOURCE_DIR"/$INNER_SOURCE}"
}

# new_root NAME [DUMP]: a board laid out as a dump (tests/fixtures/dumps)
# in $WORK/NAME: a fresh root/, filled from DUMP's when one is named, and
# DUMP's uname and net. Without DUMP, a 32-bit ARM board (no PC) whose
# kernel release names no board, with lo alone. Prints the root's path; run
# finds the rest beside it.
new_root() {
  local board="$WORK/$1"
  rm -rf "$board"
  mkdir -p "$board/root/etc" "$board/root/proc" "$board/root/tmp"
  if [ $# -ge 2 ]; then
    cp -a "$2/root/." "$board/root/"
    cp "$2/uname" "$2/net" "$board/"
  else
    printf '6.1.0\narmv7l\n' >"$board/uname"
    : >"$board/net"
  fi
  cp /etc/ld.so.cache "$board/root/etc/"
  echo "$board/root"
}

# run ROOT COMMAND...: COMMAND in the sandbox of the board whose root/ ROOT
# is (new_root), as that board: uname says its release and machine, its net
# lines are its interfaces, and NET_SETUP, when set, runs after them. One
# minute at most, as a guard against a hang. Sets status, out (its NULs
# dropped; the bytes are in $WORK/out) and err (also in $WORK/err).
# shellcheck disable=SC2034 # status, out and err are the caller's
run() {
  local root=$1 board=${1%/root}
  shift
  if [ ! -f "$SHIM" ]; then
    echo "FAIL: no uname shim at $SHIM (QORID_UNAME_SHIM names it)" >&2
    exit 1
  fi
  if ! { net_commands "$board/net" && cat "${NET_SETUP:-/dev/null}"; } >"$WORK/net.sh"; then
    echo "FAIL: cannot make the interfaces of $board" >&2
    exit 1
  fi
  NET_SETUP=$WORK/net.sh in_sandbox "$root" -- env LD_PRELOAD="$SHIM" \
    QORID_TEST_RELEASE="$(sed -n 1p "$board/uname")" \
    QORID_TEST_MACHINE="$(sed -n 2p "$board/uname")" \
    timeout 60 "$@" >"$WORK/out" 2>"$WORK/err"
  status=$?
  out=$(tr -d '\0' <"$WORK/out")
  err=$(cat "$WORK/err")
}

# in_sandbox ROOT [ARCH] -- COMMAND...: runs COMMAND chrooted into ROOT.
# ARCH is a setarch personality such as linux32 (uname then says i686), for
# runs without the uname shim (the benchmark's, whose build has none).
# The network namespace starts with lo up; when NET_SETUP names a file, it is
# run with bash inside the namespace first, to make the board's interfaces.
# SANDBOX_USR_LAYER, a directory laid out like /usr, is laid over the
# system's /usr (and the loader's cache made anew), to run installed files.
# SANDBOX_NO_PROC set leaves the board's /proc a plain directory, as where
# /proc is not mounted (a sanitized build, which reads it, cannot run then).
in_sandbox() {
  local root=$1 arch= arg command=()
  shift
  if [ "$1" != "--" ]; then arch=$1; shift; fi
  shift
  for arg in "$@"; do command+=("$(inner "$arg")"); done
  unshare "${SANDBOX_USER[@]}" --mount --propagation "$SANDBOX_PROPAGATION" --net --pid --fork -- \
    env ASAN_OPTIONS="$(inner "${ASAN_OPTIONS:-}")" LSAN_OPTIONS="$(inner "${LSAN_OPTIONS:-}")" \
    UBSAN_OPTIONS="$(inner "${UBSAN_OPTIONS:-}")" bash -c '
    set -e
    root=$1 build=$2 source=$3 arch=$4; shift 4
    # The board'"'"'s /proc is a plain directory. Beside its files, the
    # process entries of a real /proc of this PID namespace, which the
    # sanitizers read (the tool itself reads none of them).
    if [ -z "${SANDBOX_NO_PROC:-}" ]; then
      mkdir -p "$root/proc/.host"
      mount -t proc proc "$root/proc/.host"
      for e in self thread-self $(seq 1 32); do ln -sfn ".host/$e" "$root/proc/$e"; done
    fi
    mkdir -p "$root/usr" "$root/dev"
    mount --rbind /dev "$root/dev"
    if [ -n "${SANDBOX_USR_LAYER:-}" ]; then
      # Files installed as a package would install them, over the system'"'"'s.
      mount -t overlay overlay -o "lowerdir=$SANDBOX_USR_LAYER:/usr" "$root/usr"
      cp -r /etc/ld.so.conf /etc/ld.so.conf.d "$root/etc/"
      ldconfig -r "$root"
    else
      mount --rbind /usr "$root/usr"
    fi
    for l in bin sbin lib lib64; do
      [ -e "$root/$l" ] || [ -L "$root/$l" ] || ln -s "usr/$l" "$root/$l"
    done
    # The binaries, and sanitizer settings, where no board looks.
    mkdir -p "$root/.qorid-test/build" "$root/.qorid-test/source"
    mount --bind "$build" "$root/.qorid-test/build"
    mount --bind "$source" "$root/.qorid-test/source"
    ip link set lo up
    if [ -n "${NET_SETUP:-}" ]; then bash -e "$NET_SETUP"; fi
    # Number the processes of the run from 2 again: the command is 1, what it
    # starts gets 2, 3, ..., which the links above cover (a run of a few
    # dozen processes).
    echo 1 >/proc/sys/kernel/ns_last_pid
    if [ -n "$arch" ]; then exec setarch "$arch" chroot "$root" "$@"; fi
    exec chroot "$root" "$@"
  ' sandbox "$root" "$BUILD_DIR" "$SOURCE_DIR" "$arch" "${command[@]}"
}
