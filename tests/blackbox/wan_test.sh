# WAN discovery in a network namespace of the test's own: which interface
# becomes QOR_WAN, its identifier, and a device-tree wan that is wrong.
source "$(dirname "$0")/harness.sh"
require_sandbox

net=$WORK/wan.sh
# board_list NAME DUMP [WAN]: qorid --list on that board, WAN its node's wan,
# its interfaces made by $net alone.
board_list() {
  local root
  root=$(new_root "$1" "$DUMPS/$2")
  : >"${root%/root}/net"
  [ $# -lt 3 ] || printf '%s\0' "$3" >"$root/proc/device-tree/morvane/wan"
  NET_SETUP=$net run "$root" "$QORID" --list
}

pc_head=$'QOR_ID=64\nQOR_DESC=x86_64 PC'

: >"$net"
board_list only-lo x86_64-pc-one-card
check "only lo: no WAN" "$pc_head" "$out"
check "only lo: nothing reported" "" "$err"

cat >"$net" <<'NET'
ip link add eth0 address 12:34:56:78:9a:bc type veth peer name peer0
ip addr add 198.51.100.2/24 dev eth0
NET
board_list lo-eth0 x86_64-pc-one-card
check "lo then eth0" "$pc_head"$'\nQOR_WAN=eth0\nQOR_WAN_ID=12345678ff9affbc' "$out"

cat >"$net" <<'NET'
ip link add lo0 address 02:00:00:00:00:01 type veth peer name peer0
ip addr add 198.51.100.3/24 dev lo0
ip link add eth0 address 02:00:00:00:00:02 type veth peer name peer1
ip addr add 198.51.100.4/24 dev eth0
NET
board_list lo0-first x86_64-pc-one-card
check "lo0 is not lo" "$pc_head"$'\nQOR_WAN=lo0\nQOR_WAN_ID=200001' "$out"

# Alias labels of lo are the loopback too, and however many addresses come
# before the interface, it is seen.
for setup in "ip addr add 127.0.0.2/8 dev lo label lo:1" \
  'for i in $(seq 2 31); do ip addr add 127.0.0.$i/8 dev lo; done'; do
  printf '%s\n' "$setup" "ip link add eth0 address 02:00:00:00:00:07 type veth peer name peer0" \
    "ip addr add 198.51.100.7/24 dev eth0" >"$net"
  board_list lo-aliases x86_64-pc-one-card
  check "eth0 after: $setup" "$pc_head"$'\nQOR_WAN=eth0\nQOR_WAN_ID=200007' "$out"
done

cat >"$net" <<'NET'
ip link add eth0 address 02:00:00:00:00:05 type veth peer name peer0
NET
board_list no-ipv4 x86_64-pc-one-card
check "an interface without IPv4 is not listed" "$pc_head" "$out"

# The device tree names the WAN: the walk replaces the interface search.
cat >"$net" <<'NET'
ip link add eth1 address 0a:80:ff:01:7f:10 type veth peer name peer0
ip addr add 198.51.100.5/24 dev eth1
NET
for case in "eth1:" "eth9:ioctl(wan_mac): No such device" \
  "averyveryverylongname0:ioctl(wan_mac): File name too long"; do
  wan=${case%%:*} message=${case#*:}
  board_list "wan-$wan" armv7-dt-carrier "$wan"
  check "wan $wan: exit status" 0 "$status"
  check "wan $wan: message" "$message" "$err"
  last=$(tail -n 1 "$WORK/out" | tr -d "\0")
  if [ -z "$message" ]; then
    check "wan $wan: identifier" "QOR_WAN_ID=aff80ffff17f10" "$last"
  else
    check "wan $wan: no identifier" 0 "$(grep -c '^QOR_WAN_ID=' "$WORK/out")"
  fi
  check "wan $wan: no interface search" 1 "$(grep -c '^QOR_WAN=' "$WORK/out")"
done

finish
