# Hostile inputs: huge, binary and looping board files, on boards of the
# test's own making (new_root without a dump: 32-bit, no device tree). Each
# run must end within run's time bound with the outcome the rules of
# identification give.
source "$(dirname "$0")/harness.sh"
require_sandbox

cpu_hw() { printf 'processor\t: 0\nHardware\t: %s\n' "$1"; }
mega=$(head -c 1000000 /dev/zero | tr '\0' 'M')
cut_logged() { grep -c "^WARN Read only the first 1048576 bytes of $2, the rest is ignored$" "$1/tmp/qorid.log"; }
# Runs that read files without end: bounded memory (a sanitizer's runtime
# needs more address space than that).
limit='ulimit -v 400000;'
[ -n "${QORID_SANITIZED:-}" ] && limit=

# A 1 MB line in the known identities, matched by a 1 MB Hardware value.
root=$(new_root mega)
{ printf '%s:5:x\n' "$mega"; printf 'Small:6:s\n'; } >"$root/etc/known_qor_ids"
cpu_hw "$mega" >"$root/proc/cpuinfo"
run "$root" "$QORID"
check "1 MB name and Hardware value" "5" "$out"
check "1 MB: status" 0 "$status"
cpu_hw "${mega}N" >"$root/proc/cpuinfo"
run "$root" "$QORID"
check "1 MB Hardware value that matches nothing" "-1" "$out"

# 50,000 lines, just under 1 MiB; the last alias is the one the board has.
root=$(new_root many)
awk 'BEGIN { for (i = 1; i <= 50000; i++) printf "B%d:%d:a-%d\n", i, i, i }' \
  >"$root/etc/known_qor_ids"
cpu_hw "a-50000" >"$root/proc/cpuinfo"
run "$root" "$QORID" -v
check "50,000 lines: the last alias" "50000 - B50000" "$out"

# Past 1 MiB the known identities are cut, once logged: the line the limit
# cuts ("Cut:12" of "Cut:123456") is not taken for a shorter one.
root=$(new_root cut)
log_to_file "$root" WARN
x999=$(head -c 999 /dev/zero | tr '\0' x)
{ for _ in $(seq 1047); do echo "$x999"; done; head -c 1569 /dev/zero | tr '\0' x; echo
  printf 'Cut:123456:c\n'; } >"$root/etc/known_qor_ids"
cpu_hw Cut >"$root/proc/cpuinfo"
run "$root" "$QORID"
check "known identities past 1 MiB: the cut line is no identity" "-1" "$out"
check "known identities past 1 MiB: logged once" 1 "$(cut_logged "$root" /etc/known_qor_ids)"
# Linked to /dev/zero: even --help and the --json/--exec refusal are quick.
ln -sf /dev/zero "$root/etc/known_qor_ids"
run "$root" bash -c "$limit"' exec "$0" --help' "$QORID"
check "known identities /dev/zero: --help" "$(cat "$FIXTURES/expected/help.txt")" "$out"
run "$root" bash -c "$limit"' exec "$0" --json -e true' "$QORID"
check "known identities /dev/zero: --json -e refused" \
  "$(cat "$CASES/list-and-exec/expected.out" "$CASES/list-and-exec/status")" "$out
$status"

# A device-tree value and /proc/cpuinfo without end are read up to 1 MiB:
# the board's name is cut there and the tool goes on as usual.
root=$(new_root endless)
log_to_file "$root" WARN
node=$root/proc/device-tree/morvane
mkdir -p "$node"
printf '7' >"$node/boardid"
ln -s /dev/zero "$node/description"
for mode in -v --list --json; do
  run "$root" bash -c "$limit"' exec "$0" "$1"' "$QORID" $mode
  check "description /dev/zero, $mode: status" 0 "$status"
  mv "$WORK/out" "$WORK/out$mode"
done
check_file "description /dev/zero, -v: the name cut at 1 MiB" \
  <(printf '7 - '; head -c 1048576 /dev/zero; echo) "$WORK/out-v"
check "description /dev/zero, --list: both values cut at 1 MiB" \
  "QOR_BOARDID=1 QOR_DESC=1048576 QOR_DESCRIPTION=1048576 QOR_ID=1" \
  "$(python3 -c 'import sys
for line in sys.stdin.buffer.read().split(b"\n")[:-1]:
    name, value = line.split(b"=", 1)
    print(name.decode() + "=" + str(len(value)))' <"$WORK/out--list" | sort | xargs)"
check "description /dev/zero, --json: the name cut at 1 MiB" 1048576 \
  "$(python3 -c 'import json, sys; print(len(json.load(sys.stdin)["name"]))' <"$WORK/out--json")"
check "description /dev/zero: each read logged" 5 \
  "$(cut_logged "$root" /proc/device-tree/morvane/description)"
rm -rf "$node" "$root/tmp/qorid.log"
ln -s /dev/zero "$root/proc/cpuinfo"
run "$root" bash -c "$limit"' exec "$0"' "$QORID"
check "cpuinfo /dev/zero: unknown board" "-1/0" "$out/$status"
check "cpuinfo /dev/zero: logged once" 1 "$(cut_logged "$root" /proc/cpuinfo)"

# Under --root the kernel's files and the WAN's address are read just as
# boundedly: linked to /dev/zero (within the root, here the sandbox's own /,
# whose /dev is the system's) or a FIFO without a writer.
root=$(new_root root-endless)
mkdir -p "$root/proc/sys/kernel" "$root/sys/class/net/eth0" "$root/proc/device-tree/morvane"
ln -s /dev/zero "$root/proc/sys/kernel/osrelease"
mkfifo "$root/proc/sys/kernel/arch"
ln -s /dev/zero "$root/sys/class/net/eth0/address"
printf 'eth0\0' >"$root/proc/device-tree/morvane/wan"
run "$root" bash -c "$limit"' exec "$0" --root / --list' "$QORID"
check "--root, kernel and address files without end: status, list" "0 QOR_WAN=eth0" "$status $out"
check "--root, an address without end is none, and said" 1 \
  "$(grep -cx 'wan_mac: /sys/class/net/eth0/address: not a hardware address' <<<"$err")"

# NUL bytes and invalid UTF-8 are ordinary bytes of names and values.
root=$(new_root binary)
printf 'Bo\0ard\xff:12:al\xc3\x28\n\xfe\xfe:13\n' >"$root/etc/known_qor_ids"
printf 'Hardware\t: al\xc3\x28\n' >"$root/proc/cpuinfo"
run "$root" "$QORID" -v
check_file "binary name and alias" <(printf '12 - Bo\0ard\xff\n') "$WORK/out"
printf 'x\0y\xff\n' >"$root/proc/cpuinfo"
printf '\xc3\x28\0' >"$root/etc/known_qor_ids"
run "$root" "$QORID"
check "binary cpuinfo without Hardware line" "-1" "$out"

# A boardid of 5,000 digits saturates; a negative one publishes no number.
root=$(new_root digits)
mkdir -p "$root/proc/device-tree/morvane"
digits=$(head -c 5000 /dev/zero | tr '\0' '9')
printf '%s\0' "$digits" >"$root/proc/device-tree/morvane/boardid"
printf 'Wide\0\xff\n' >"$root/proc/device-tree/morvane/description"
run "$root" "$QORID" -v
check_file "5,000-digit boardid" <(printf '2147483647 - Wide\0\xff\n') "$WORK/out"
printf -- '-%s' "$digits" >"$root/proc/device-tree/morvane/boardid"
run "$root" "$QORID" --list
check "negative 5,000-digit boardid: no board parameters" 0 "$(grep -c '^QOR_ID=' <<<"$out")"
check "negative 5,000-digit boardid: the node is listed" 2 "$(grep -c '^QOR_' <<<"$out")"
# A boardid that never ends is read only as far as its number goes.
ln -sf /dev/zero "$root/proc/device-tree/morvane/boardid"
run "$root" bash -c "$limit"' exec "$0" -v' "$QORID"
check_file "boardid linked to /dev/zero" <(printf '0 - Wide\0\xff\n') "$WORK/out"
check "boardid linked to /dev/zero: status" 0 "$status"

# A node 5,000 properties wide with a chain of 40 subnodes below it.
root=$(new_root wide)
node=$root/proc/device-tree/morvane
mkdir -p "$node"
(cd "$node" && for i in $(seq 0 4999); do printf 'v%d\0' "$i" >"p$i"; done)
deep=$node
for i in $(seq 1 40); do deep=$deep/n$i; mkdir "$deep"; printf 'n%d\0' "$i" >"$deep/name"
  printf 'level %d\n' "$i" >"$deep/level"; done
run "$root" "$QORID" --list
check "wide and deep: status" 0 "$status"
check "wide and deep: every property" 5000 "$(grep -c '^QOR_P[0-9]*=v[0-9]*$' <<<"$out")"
check "wide and deep: every level" 40 "$(grep -c '^QOR_LEVEL=level [0-9]*$' <<<"$out")"

# A node of many large properties: past 16 MiB for all of them, a property
# is left out of every output, with a WARN naming it; the wan property that
# the WAN step reads is never left out. Memory stays within the bound.
root=$(new_root heavy)
node=$root/proc/device-tree/morvane
mkdir -p "$node"
for i in $(seq 1 20); do head -c 1048575 /dev/zero | tr '\0' h >"$node/big$i"; done
printf 'eth9\0' >"$node/wan"
log_to_file "$root" WARN
run "$root" bash -c "$limit"' exec "$0" --list' "$QORID"
check "heavy node: status" 0 "$status"
check "heavy node: those within 16 MiB kept, the rest left out and said" "15|5" \
  "$(grep -c '^QOR_BIG[0-9]*=' <<<"$out")|$(grep -c '^WARN Left out of the parameters: /proc/device-tree/morvane/big[0-9]*: the device tree'"'"'s parameters take more than 16777216 bytes$' "$root/tmp/qorid.log")"
check "heavy node: QOR_WAN kept" 1 "$(grep -c '^QOR_WAN=eth9' <<<"$out")"

# Symbolic links that loop back up the tree are not walked twice.
root=$(new_root loop)
node=$root/proc/device-tree/morvane
mkdir -p "$node/sub"
printf 'a\n' >"$node/top"
printf 'b\n' >"$node/sub/inner"
ln -s .. "$node/sub/up"
ln -s "$node" "$node/self"
run "$root" "$QORID" --list
check "symlink loop: status" 0 "$status"
check "symlink loop: each file once" $'QOR_INNER=b\nQOR_TOP=a' "$(sort <<<"$out")"

# A logging configuration of binary noise: one line about it, then the default.
root=$(new_root conf "$DUMPS/x86_64-pc-one-card")
for i in $(seq 0 2047); do
  printf "\\$(printf %03o $(((i * 131 + 7) % 256)))"
done >"$root/etc/qorid.conf"
printf '\nlog4cpp.rootCategory=DEBUG, a\nlog4cpp.appender.a=NoSuchAppender\n' >>"$root/etc/qorid.conf"
run "$root" "$QORID" -v
check "noise configuration: output" "64 - x86_64 PC" "$out"
check "noise configuration: one line about it" 1 "$(grep -c '^nolt: ignoring logging configuration /etc/qorid.conf: ' <<<"$err")"
check "noise configuration: status" 0 "$status"

finish
