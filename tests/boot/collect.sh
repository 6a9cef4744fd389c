#!/bin/bash
# The boot test's collector, run in the guest once qorid.service, the
# consumer and the timing units have run: it prints on the console what the
# host judges, each part between "@@qorid-boot@@ begin NAME" and "... end
# NAME" (base64 where the bytes matter), then powers the guest off.
set -u
export LC_ALL=C.UTF-8 PATH=/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb SYSTEMD_COLORS=0 SYSTEMD_PAGER=
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
# A unit's time (us) as systemd-analyze blame takes it: from leaving
# inactive to active.
times() { systemctl show -p InactiveExitTimestampMonotonic -p ActiveEnterTimestampMonotonic "$1.service"; }
for unit in qorid qorid-boot-sandbox qorid-boot-plain; do part "times-$unit" times "$unit"; done
bytes parameters.env cat /run/qorid/parameters.env
bytes board.json cat /run/qorid/board.json
bytes consumer cat /run/qorid-boot/consumer.env0
part journal journalctl -b -o cat --no-pager -u qorid.service
# systemd-analyze blame asks for every unit, half a minute under TCG: it
# runs beside the rest, once nothing is timed any more.
systemd-analyze blame --no-pager >/run/blame 2>&1 &
blamer=$!
board node
part boot sh -c 'systemctl show -p UserspaceTimestampMonotonic; systemctl show -p ActiveEnterTimestampMonotonic multi-user.target'
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
# Where the unit's time goes, once the boot is over: the cost units that
# the host wrote (each group of qorid.service's settings alone, around true
# or qorid-publish: /etc/qorid-boot/costs), qorid-publish run directly and
# qorid.service restarted. The median of three runs each (ms).
costs() {
  local name i t0 runs
  for name in $(cat /etc/qorid-boot/costs) direct restart; do
    runs=$(for i in 1 2 3; do
      t0=$(date +%s%6N)
      case $name in
        restart) systemctl restart qorid.service ;;
        direct) /usr/libexec/qorid/qorid-publish /run/qorid-boot-direct >/dev/null 2>&1 ;;
        *) systemctl start "qorid-boot-cost-$name.service" ;;
      esac && echo $((($(date +%s%6N) - t0) / 1000)) || echo failed
    done)
    case $runs in *failed*) echo "$name failed" ;; *) echo "$name $(sort -n <<<"$runs" | sed -n 2p)" ;; esac
  done
}
part costs costs
part times-restarted times qorid
part journal-restarts sh -c 'journalctl -b -o short-monotonic --no-pager -u qorid.service | tail -n 16'
echo "$MARK done"
systemctl --no-block start poweroff.target
