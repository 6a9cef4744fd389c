# The fixture boards as the installed qorid sees them, for the tests of
# this folder. Sourced by bash from the top of the source tree, as root;
# it brings the counting checks (pass, fail, check, finish).
#
#   in_board BOARD COMMAND...   COMMAND in a mount and network namespace of
#                               its own where /proc is a plain folder holding
#                               the files of tests/fixtures/dumps/BOARD/root/proc,
#                               /etc a copy of this system's with the board's
#                               known_qor_ids or none, and the interfaces are
#                               those of the board's net lines. The kernel is
#                               this machine's: on x86_64 the command runs
#                               under setarch linux32, so that a board whose
#                               machine is no x86_64 is not taken for the PC.
#
# SCRATCH ($AUTOPKGTEST_TMP, or a folder of its own when run by hand)
# holds the boards' worlds and what the tests write.
set -u
. tests/support/checks.sh
. tests/support/fixtures.sh
DUMPS=$PWD/tests/fixtures/dumps
[ -d "$DUMPS" ] || { echo "FAIL: run from the top of the source tree: no $DUMPS" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "FAIL: the board's namespaces need root" >&2; exit 1; }
SCRATCH=${AUTOPKGTEST_TMP:-$(mktemp -d)}

# unshare makes the new namespace's mounts private, which it cannot where /
# is no mount point (a root entered with chroot, as the package test's
# are); there the mounts are left as they are when a probe shows that a
# mount made in a new namespace stays in it.
PROPAGATION=private
if ! why=$(unshare --mount true 2>&1); then
  probe=$SCRATCH/.propagation-probe
  mkdir -p "$probe"
  if [[ $why != *"cannot change root filesystem propagation"* ]]; then
    echo "FAIL: cannot make a mount namespace: $why" >&2; exit 1
  elif ! unshare --mount --propagation unchanged mount -t tmpfs board-probe "$probe"; then
    echo "FAIL: cannot make a mount namespace: $why; and a mount in a new one failed" >&2
    exit 1
  elif mountpoint -q "$probe"; then
    umount "$probe"
    echo "FAIL: cannot make a mount namespace: $why; and mounts reach this one" >&2
    exit 1
  fi
  PROPAGATION=unchanged
fi

in_board() {
  local board=$DUMPS/$1 world=$SCRATCH/world-$1 personality=()
  shift
  [ -d "$board/root" ] || { echo "in_board: no board $board" >&2; return 1; }
  if [ ! -d "$world" ]; then
    mkdir -p "$world/proc" &&
      cp -a /etc "$world/etc" &&
      rm -f "$world/etc/known_qor_ids" &&
      cp -a "$board/root/." "$world/" &&
      net_commands "$board/net" >"$world/net.sh" ||
      { echo "in_board: cannot lay out $world" >&2; rm -rf "$world"; return 1; }
  fi
  [ "$(uname -m)" = x86_64 ] && personality=(setarch linux32)
  unshare --mount --propagation "$PROPAGATION" --net --fork -- bash -c '
    set -e
    world=$1; shift
    ip link set lo up
    bash -e "$world/net.sh"
    mount --bind "$world/etc" /etc
    mount --bind "$world/proc" /proc
    exec "$@"
  ' in_board "$world" "${personality[@]}" "$@"
}
