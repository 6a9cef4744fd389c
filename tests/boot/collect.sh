#!/bin/bash
# The boot test's collector, run in the guest by qorid-boot-collect.service
# once qorid.service, the consumer and the timing units have run: it prints
# what the host judges on the console, each part between two marker lines,
#
#   @@qorid-boot@@ begin NAME
#   ... (base64 where the bytes matter)
#   @@qorid-boot@@ end NAME
#
# then powers the guest off. With /etc/qorid-boot/stock it also plays the
# stock board: the same commands in a mount namespace whose device tree is
# a copy of the kernel's without the morvane node.
set -u
export LC_ALL=C.UTF-8 PATH=/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb SYSTEMD_COLORS=0 SYSTEMD_PAGER=
# When the collector began, from the kernel's start (us).
up=$(cut -d' ' -f1 /proc/uptime)
MARK=@@qorid-boot@@
# The console is for the parts alone from now on: no kernel lines in them.
dmesg -n 1 2>/dev/null

part() { local name=$1; shift; echo "$MARK begin $name"; "$@" 2>&1; echo "$MARK end $name"; }
bytes() { local name=$1; shift; echo "$MARK begin $name"; "$@" 2>/dev/null | base64 -w 76; echo "$MARK end $name"; }

# The commands qorid is judged by, the parts named PREFIX-...
board() {
  local p=$1
  bytes "$p-verbose" qorid -v
  bytes "$p-list" qorid --list
  bytes "$p-json" qorid --json
  bytes "$p-export" qorid --export
  bytes "$p-exec" qorid --exec -- env -0
  bytes "$p-compatible" cat /proc/device-tree/compatible
  rm -f "/run/$p.tar.gz"
  part "$p-dump-said" qorid-dump "/run/$p.tar.gz"
  bytes "$p-dump" cat "/run/$p.tar.gz"
}

part uname uname -r -m
part is-active systemctl is-active qorid.service
part result systemctl show -p Result --value qorid.service
# The units' times, as systemd-analyze blame takes them: from leaving
# inactive to active (us); and from the start of the main process to its
# exit.
for unit in qorid qorid-boot-sandbox qorid-boot-plain; do
  part "times-$unit" systemctl show -p InactiveExitTimestampMonotonic -p ActiveEnterTimestampMonotonic \
    -p ExecMainStartTimestampMonotonic -p ExecMainExitTimestampMonotonic "$unit.service"
done
# The same publication run directly, each run into a folder of its own as
# the unit's was: microseconds and exit status, three runs for the spread.
direct() {
  local i t0 t1 status
  for i in 1 2 3; do
    t0=$(date +%s%6N)
    /usr/libexec/qorid/qorid-publish "/run/qorid-direct-$i" >/dev/null 2>&1
    status=$?
    t1=$(date +%s%6N)
    echo "$((t1 - t0)) $status"
  done
}
part direct direct
# systemd-analyze blame asks for every unit, half a minute under TCG: it
# runs beside the rest, once nothing is timed any more.
systemd-analyze blame --no-pager >/run/blame 2>&1 &
blamer=$!
bytes parameters.env cat /run/qorid/parameters.env
bytes board.json cat /run/qorid/board.json
bytes consumer cat /run/qorid-boot/consumer.env0
part journal journalctl -b -o cat --no-pager -u qorid.service
board node
boot() {
  systemctl show -p UserspaceTimestampMonotonic
  systemctl show -p ActiveEnterTimestampMonotonic multi-user.target
  echo "UptimeMicros=${up%.*}${up#*.}0000"
}
part boot boot
part failed systemctl --failed --no-legend --no-pager
part addresses ip -color=never -o -4 addr show

if [ -e /etc/qorid-boot/stock ]; then
  # The stock board: the kernel's tree without the node, bound over the
  # tree in a namespace of its own (the file system's, not the board's).
  export -f board bytes part
  export MARK
  part stock-said unshare --mount --propagation private -- bash -c '
    set -e
    base=/sys/firmware/devicetree/base
    mount -t tmpfs -o mode=0755 stock /mnt
    cp -a "$base/." /mnt/
    rm -rf /mnt/morvane
    mount --bind /mnt "$base"
    [ ! -e /proc/device-tree/morvane ]
    board stock >/run/stock.parts'
  cat /run/stock.parts
fi
wait "$blamer"
part blame grep -E ' (qorid|qorid-boot-[a-z]+)\.service$' /run/blame
part blame-top head -n 8 /run/blame
echo "$MARK done"
systemctl --no-block start poweroff.target
