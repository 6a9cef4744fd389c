# Board fixtures (tests/fixtures/dumps, the layout qorid-dump writes), read
# alike by the black-box harness and the package test. Sourced; bash.

# documentation_address ADDRESS/PREFIX: whether it lies inside one of the
# ranges kept for documentation, which alone may be put on an interface.
documentation_address() {
  local address=${1%/*} prefix=${1#*/} last
  [[ $1 == */* && $prefix =~ ^[0-9]+$ ]] || return 1
  [ "$prefix" -ge 24 ] && [ "$prefix" -le 32 ] || return 1
  case $address in 192.0.2.* | 198.51.100.* | 203.0.113.*) ;; *) return 1 ;; esac
  last=${address##*.}
  [[ $last =~ ^[0-9]{1,3}$ ]] && [ "$last" -le 255 ]
}

# net_commands NET: the ip commands, run in a network namespace of the
# board's own, making the interfaces of a board's net lines in their order:
# a veth with the line's MAC (a tun where it has none), the addresses and
# labels. lo is the namespace's own. An address outside the documentation
# ranges is replaced by one inside them; qorid prints names, not addresses.
# Returns 1 on a line it cannot read.
net_commands() {
  local net=$1 name address mac device peers=0 standins=0 line=0
  local -A made=()
  while read -r name address mac rest; do
    line=$((line + 1))
    if [ -z "$mac" ] || [ -n "$rest" ] ||
      ! [[ $mac == - || $mac =~ ^([0-9a-f]{2}:){5}[0-9a-f]{2}$ ]]; then
      echo "$net:$line: not NAME ADDRESS MAC" >&2
      return 1
    fi
    [ "$name" = lo ] && continue
    device=${name%%:*}
    if [ -z "${made[$device]:-}" ]; then
      if [ "$mac" = - ]; then
        printf 'ip tuntap add dev %q mode tun\n' "$device"
      else
        printf 'ip link add %q address %s type veth peer name dumppeer%d\n' \
          "$device" "$mac" "$peers"
        peers=$((peers + 1))
      fi
      made[$device]=1
    fi
    [ "$address" = - ] && continue
    if ! documentation_address "$address"; then
      standins=$((standins + 1))
      address=203.0.113.$((100 + standins))/32
    fi
    printf 'ip addr add %s dev %q label %q\n' "$address" "$device" "$name"
  done <"$net"
}
