# Debian roots made with `debootstrap --variant=minbase SUITE`, for the
# package builds, the cross builds a suite alone can do, and the package
# tests. Source this file; it defines:
#
#   host_suite            this machine's Debian release (VERSION_CODENAME of
#                         /etc/os-release) when it is a suite qorid is built
#                         for, else bookworm
#   suite_arches SUITE    the architectures qorid is built for on SUITE;
#                         fails, saying so, for a suite it is not built for
#   check_suite_arch SUITE ARCH
#                         fails with a message unless ARCH is built on SUITE
#                         (riscv64 is a Debian 13 port: trixie only)
#   suite_release SUITE   Debian's number of SUITE: 12 (bookworm), 13 (trixie)
#   suite_version SUITE   the version suffix of SUITE's builds, as backports
#                         have it: ~deb12u1 (bookworm), ~deb13u1 (trixie)
#   need_root_tools ARCH  debootstrap, and for a foreign ARCH qemu-user-static
#                         with its binfmt_misc handler (binfmt_misc is mounted
#                         when empty); fails with a message saying what is
#                         missing
#   pristine_root SUITE ARCH
#                         the debootstrap of SUITE for ARCH under
#                         $ROOTS/pristine-SUITE-ARCH, made unless an earlier
#                         run made it; roots can be made side by side
#   prepared_root SUITE ARCH PACKAGE...
#                         prints the path of a root of SUITE for ARCH with the
#                         packages installed, made from the pristine root
#                         unless an earlier run made the same one (the cache
#                         is keyed by suite, architecture and package list)
#   fresh_root SUITE ARCH DIR
#                         DIR becomes a root that nothing has used: a copy of
#                         the pristine root
#   in_root DIR CMD...    runs CMD chrooted into DIR in a private mount
#                         namespace, with /proc and /dev mounted, apt
#                         non-interactive and the network of this machine;
#                         ROOT_BIND, a folder of this machine, is bound at the
#                         same path inside
#
# ROOTS (default build-roots in the source tree) holds the roots.
# QORID_MIRROR overrides the Debian mirror (default: the one apt uses here).

ROOTS=${ROOTS:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build-roots}

root_die() { echo "debian-root: $*" >&2; exit 1; }

host_suite() {
  local codename
  codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
  case $codename in
    bookworm | trixie) echo "$codename" ;;
    *) echo bookworm ;;
  esac
}

suite_arches() {
  case $1 in
    bookworm) echo amd64 arm64 armhf ;;
    trixie) echo amd64 arm64 armhf riscv64 ;;
    *) root_die "no builds for the suite '$1' (bookworm or trixie)" ;;
  esac
}

check_suite_arch() {
  local arches
  arches=$(suite_arches "$1") || exit 1
  case " $arches " in
    *" $2 "*) ;;
    *)
      if [ "$2" = riscv64 ]; then
        root_die "riscv64 is built for trixie only: Debian 12 (bookworm) has no riscv64 port"
      fi
      root_die "no build for '$2' on $1 (one of: $arches)" ;;
  esac
}

suite_release() {
  case $1 in
    bookworm) echo 12 ;;
    trixie) echo 13 ;;
    *) root_die "no builds for the suite '$1' (bookworm or trixie)" ;;
  esac
}

suite_version() {
  local release
  release=$(suite_release "$1") || exit 1
  echo "~deb${release}u1"
}

debian_mirror() {
  if [ -n "${QORID_MIRROR:-}" ]; then echo "$QORID_MIRROR"; return; fi
  local m
  m=$(grep -hsE '^(URIs:|deb) ' /etc/apt/sources.list.d/*.sources /etc/apt/sources.list |
    grep -v security | grep -oE 'https?://[^ ]+' | head -n 1)
  echo "${m:-http://deb.debian.org/debian}"
}

# qemu's name of a Debian architecture.
qemu_name() {
  case $1 in
    arm64) echo aarch64 ;;
    armhf | armel) echo arm ;;
    *) echo "$1" ;;
  esac
}

need_root_tools() {
  local arch=$1 here handler conf
  [ "$(id -u)" -eq 0 ] || root_die "making a root needs root"
  command -v debootstrap >/dev/null || root_die "debootstrap is not installed"
  here=$(dpkg --print-architecture)
  [ "$arch" = "$here" ] && return 0
  [ "$arch" = i386 ] && [ "$here" = amd64 ] && return 0
  # Roots of several architectures may be made at once: a mount or a
  # registration that another one made first is as good as one's own.
  if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null ||
      [ -e /proc/sys/fs/binfmt_misc/register ] ||
      root_die "cannot mount binfmt_misc, which running $arch programs needs"
  fi
  handler=/proc/sys/fs/binfmt_misc/qemu-$(qemu_name "$arch")
  # Not registered (no systemd-binfmt or binfmt-support ran since the
  # emulator was installed): qemu-user-static's own line for it.
  conf=/usr/lib/binfmt.d/qemu-$(qemu_name "$arch").conf
  if [ ! -e "$handler" ] && [ -f "$conf" ]; then
    grep -v '^#' "$conf" >/proc/sys/fs/binfmt_misc/register 2>/dev/null || true
  fi
  if [ ! -e "$handler" ] && command -v update-binfmts >/dev/null; then
    update-binfmts --enable "qemu-$(qemu_name "$arch")" >/dev/null 2>&1 || true
  fi
  [ -e "$handler" ] ||
    root_die "no binfmt_misc handler for $arch ($handler): install qemu-user-static"
  grep -qx enabled "$handler" || root_die "the binfmt_misc handler $handler is disabled"
  # F: the kernel opens the emulator when the handler is registered, so it
  # runs inside a chroot that does not have it.
  grep -q '^flags:.*F' "$handler" ||
    root_die "the binfmt_misc handler $handler lacks the F flag needed in a chroot"
}

pristine_root() {
  local suite=$1 arch=$2 pristine=$ROOTS/pristine-$1-$2 log namespace
  check_suite_arch "$suite" "$arch"
  need_root_tools "$arch"
  if [ ! -e "$pristine/.complete" ]; then
    remove_root "$pristine"
    mkdir -p "$ROOTS"
    log=$ROOTS/debootstrap-$suite-$arch.log
    echo "debootstrap: a minbase $suite root for $arch"
    # In a mount namespace of its own, the /proc and /sys debootstrap mounts
    # in the root go with it, even when it is interrupted. Where none can be
    # made (a chroot whose / is no mount point), remove_root clears up.
    namespace=(unshare --mount --)
    unshare --mount true 2>/dev/null || namespace=()
    "${namespace[@]}" debootstrap --variant=minbase --arch="$arch" "$suite" "$pristine" "$(debian_mirror)" \
      >"$log" 2>&1 ||
      { tail -n 20 "$log" >&2; root_die "debootstrap of $suite for $arch failed (see $log)"; }
    touch "$pristine/.complete"
  fi
}

prepared_root() {
  local suite=$1 arch=$2 key dir
  shift 2
  key=$(printf '%s\n' "$@" | LC_ALL=C sort -u | md5sum | cut -c1-12)
  dir=$ROOTS/$suite-$arch-$key
  if [ ! -e "$dir/.complete" ]; then
    fresh_root "$suite" "$arch" "$dir" >&2
    printf '%s\n' "$@" >"$dir/.packages"
    in_root "$dir" apt-get update -qq >&2 || root_die "apt-get update failed in $dir"
    in_root "$dir" apt-get install -y -qq --no-install-recommends "$@" >"$dir/.install.log" 2>&1 ||
      { tail -n 20 "$dir/.install.log" >&2; root_die "could not install $* in $dir"; }
    touch "$dir/.complete"
  fi
  echo "$dir"
}

# remove_root DIR: removes the root DIR, first unmounting whatever is still
# mounted inside it (a root an earlier, interrupted run left behind), so that
# the removal never reaches into this machine's /proc, /sys or /dev.
remove_root() {
  local dir escaped mount
  [ -e "$1" ] || return 0
  dir=$(realpath -- "$1")
  # Field 5 of mountinfo is the mount point, with \, space, tab and newline
  # written as octal escapes; the deepest mounts come first.
  escaped=${dir//\\/\\134}
  escaped=${escaped// /\\040}
  escaped=${escaped//$'\t'/\\011}
  escaped=${escaped//$'\n'/\\012}
  ROOT="$escaped/" awk 'index($5 "/", ENVIRON["ROOT"]) == 1 { print $5 }' /proc/self/mountinfo |
    LC_ALL=C sort -r | while IFS= read -r mount; do
      umount -l -- "$(printf '%b' "$mount")" ||
        root_die "cannot unmount $(printf '%b' "$mount"), left mounted in $dir"
    done
  rm -rf --one-file-system -- "$dir" || root_die "cannot remove $dir"
}

fresh_root() {
  local suite=$1 arch=$2 dir=$3 pristine=$ROOTS/pristine-$1-$2
  pristine_root "$suite" "$arch"
  remove_root "$dir"
  mkdir -p "$(dirname "$dir")"
  cp -a "$pristine" "$dir"
  rm -f "$dir/.complete"
  cp /etc/resolv.conf "$dir/etc/resolv.conf" 2>/dev/null || true
}

in_root() {
  local dir=$1
  shift
  unshare --mount --fork -- bash -c '
    set -e
    dir=$1; shift
    mount --make-rprivate /
    mount -t proc proc "$dir/proc"
    mount --rbind /dev "$dir/dev"
    if [ -n "${ROOT_BIND:-}" ]; then
      mkdir -p "$dir$ROOT_BIND"
      mount --bind "$ROOT_BIND" "$dir$ROOT_BIND"
    fi
    exec chroot "$dir" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
      HOME=/root LC_ALL=C.UTF-8 DEBIAN_FRONTEND=noninteractive ${CI:+CI=$CI} "$@"
  ' in_root "$dir" "$@"
}
