# Shared helpers of the black-box tests, sourced by each test script.
# Usage of a test script: bash TEST.sh PATH/TO/qorid BUILD_DIR
set -u

QORID=$(realpath "${1:?path to the qorid binary}")
BUILD_DIR=$(realpath "${2:?the build directory}")
SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
FIXTURES=$SOURCE_DIR/tests/fixtures
# shellcheck source=../support/checks.sh
source "$SOURCE_DIR/tests/support/checks.sh"
# shellcheck source=../support/fixtures.sh
source "$SOURCE_DIR/tests/support/fixtures.sh"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/qorid-bb-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# check_file NAME EXPECTED_FILE ACTUAL_FILE: byte-for-byte comparison.
check_file() {
  if cmp -s "$2" "$3"; then pass; else
    fail "$1"; diff <(od -c "$2") <(od -c "$3") | head -20 >&2
  fi
}


# --- sandbox --------------------------------------------------------------
# A board is a directory laid out like a root file system (etc/, proc/) that
# the tool sees as / through a chroot, in its own mount and network
# namespaces. The system's /usr, /dev, the build tree and the source tree are
# bound in.

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
  if [ "$(id -u)" -ne 0 ]; then
    why="the sandbox needs root (mount and network namespaces, chroot)"
  elif ! command -v unshare >/dev/null || ! command -v ip >/dev/null; then
    why="the sandbox needs unshare and ip (Debian packages util-linux, iproute2)"
  elif why=$(unshare --mount --net --pid --fork true 2>&1); then
    return 0
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

# new_root NAME [BOARD_FIXTURE]: a fresh root, filled from a board fixture's
# root/ when one is named. Prints its path.
new_root() {
  local root="$WORK/$1"
  rm -rf "$root"
  mkdir -p "$root/etc" "$root/proc" "$root/tmp"
  if [ $# -ge 2 ]; then
    cp -a "$2/root/." "$root/"
  fi
  cp /etc/ld.so.cache "$root/etc/"
  echo "$root"
}

# in_sandbox ROOT [ARCH] -- COMMAND...: runs COMMAND chrooted into ROOT.
# ARCH is a setarch personality such as linux32 (uname then says i686).
# The network namespace starts with lo up; when NET_SETUP names a file, it is
# run with bash inside the namespace first, to make the board's interfaces.
# SANDBOX_USR_LAYER, a directory laid out like /usr, is laid over the
# system's /usr (and the loader's cache made anew), to run installed files.
# SANDBOX_NO_PROC set leaves the board's /proc a plain directory, as where
# /proc is not mounted (a sanitized build, which reads it, cannot run then).
in_sandbox() {
  local root=$1 arch=
  shift
  if [ "$1" != "--" ]; then arch=$1; shift; fi
  shift
  unshare --mount --propagation "$SANDBOX_PROPAGATION" --net --pid --fork -- bash -c '
    set -e
    root=$1 build=$2 source=$3 arch=$4; shift 4
    # The board'"'"'s /proc is a plain directory. Beside its files, the
    # process entries of a real /proc of this PID namespace, which the
    # sanitizers read (the tool itself reads none of them).
    if [ -z "${SANDBOX_NO_PROC:-}" ]; then
      mkdir -p "$root/proc/.host"
      mount -t proc proc "$root/proc/.host"
      for e in self thread-self 1 2 3 4 5 6 7 8; do ln -sfn ".host/$e" "$root/proc/$e"; done
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
    for d in "$build" "$source"; do  # the binaries, and sanitizer settings
      mkdir -p "$root$d"
      mount --bind "$d" "$root$d"
    done
    ip link set lo up
    if [ -n "${NET_SETUP:-}" ]; then bash -e "$NET_SETUP"; fi
    # Number the processes of the run from 2 again: the command is 1, what it
    # starts gets 2, 3, ..., which the links above cover.
    echo 1 >/proc/sys/kernel/ns_last_pid
    if [ -n "$arch" ]; then exec setarch "$arch" chroot "$root" "$@"; fi
    exec chroot "$root" "$@"
  ' sandbox "$root" "$BUILD_DIR" "$SOURCE_DIR" "$arch" "$@"
}
