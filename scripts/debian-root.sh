# Fresh Debian 12 roots, made with `debootstrap --variant=minbase bookworm`,
# for the package builds and the package tests. Source this file; it
# defines:
#
#   need_root_tools ARCH  debootstrap, and for a foreign ARCH qemu-user-static
#                         with its binfmt_misc handler (binfmt_misc is mounted
#                         when empty); fails with a message saying what is
#                         missing
#   pristine_root ARCH    the debootstrap of ARCH under $ROOTS/pristine-ARCH,
#                         made unless an earlier run made it; roots of
#                         different architectures can be made side by side
#   fresh_root ARCH DIR   DIR becomes a root of ARCH that nothing has used:
#                         a copy of the pristine root
#   in_root DIR CMD...    runs CMD chrooted into DIR in a private mount
#                         namespace, with /proc and /dev mounted, apt
#                         non-interactive and the network of this machine
#
# ROOTS (default build-roots in the source tree) holds the pristine roots.
# QORID_MIRROR overrides the Debian mirror (default: the one apt uses here).

ROOTS=${ROOTS:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build-roots}

root_die() { echo "debian-root: $*" >&2; exit 1; }

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
    i386) echo i386 ;;
    *) echo "$1" ;;
  esac
}

need_root_tools() {
  local arch=$1 here handler
  [ "$(id -u)" -eq 0 ] || root_die "making a root needs root"
  command -v debootstrap >/dev/null || root_die "debootstrap is not installed"
  here=$(dpkg --print-architecture)
  [ "$arch" = "$here" ] && return 0
  [ "$arch" = i386 ] && [ "$here" = amd64 ] && return 0
  if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc ||
      root_die "cannot mount binfmt_misc, which running $arch programs needs"
  fi
  handler=/proc/sys/fs/binfmt_misc/qemu-$(qemu_name "$arch")
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

# pristine_root ARCH: makes $ROOTS/pristine-ARCH unless it is there.
pristine_root() {
  local arch=$1 pristine=$ROOTS/pristine-$1
  need_root_tools "$arch"
  if [ ! -e "$pristine/.complete" ]; then
    rm -rf "$pristine"
    mkdir -p "$ROOTS"
    echo "debootstrap: a minbase bookworm root for $arch"
    debootstrap --variant=minbase --arch="$arch" bookworm "$pristine" "$(debian_mirror)" \
      >"$ROOTS/debootstrap-$arch.log" 2>&1 ||
      { tail -n 20 "$ROOTS/debootstrap-$arch.log" >&2; root_die "debootstrap for $arch failed"; }
    touch "$pristine/.complete"
  fi
}

fresh_root() {
  local arch=$1 dir=$2 pristine=$ROOTS/pristine-$1
  pristine_root "$arch"
  rm -rf "$dir"
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
    exec chroot "$dir" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
      HOME=/root LC_ALL=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"
  ' in_root "$dir" "$@"
}
