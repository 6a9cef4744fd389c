#!/usr/bin/env bash
# qorid on real kernels: Debian 13's own kernel of each architecture booted
# under qemu-system (TCG), a fresh trixie root with the packages of this
# build (dist/trixie/ARCH) as its initramfs and systemd as PID 1:
#
#   boot_test.sh [ARCH...]      (default: amd64 arm64 armhf riscv64)
#
# What each boot shows and how it is judged: HACKING.md, "Real kernels".
# Kept in $ROOTS/boot: the kernels, roots and images; a run's files in
# $ROOTS/boot/run-ARCH. Needs root and Debian's archive. BOOT_TIMEOUT
# (seconds, default 420) bounds each boot.
set -u
SRC=$(cd "$(dirname "$0")/../.." && pwd)
source "$SRC/tests/support/checks.sh"
source "$SRC/tests/support/env_readers.sh"
source "$SRC/scripts/debian-root.sh"
CACHE=$ROOTS/boot
QORID=${QORID:-$SRC/build/tool/qorid}
TIMEOUT=${BOOT_TIMEOUT:-420}
MAC=52:54:00:a7:c3:01
# Its QOR_WAN_ID by qorid(1)'s rule, worked out by hand: a7 -> ffa7, c3 -> ffc3.
WAN_ID=52540ffa7ffc31
# The NIC on PCI, spelt out: riscv64's virt of qemu 7.2 creates no -nic.
NIC=(-netdev user,id=net0,restrict=on -device "virtio-net-pci,netdev=net0,mac=$MAC")
# What the guest's root holds besides essential and the packages.
GUEST_PACKAGES=(systemd systemd-sysv udev kmod iproute2 liblog4cpp5v5)
# The modules the guest loads: the NIC's driver and what it needs.
MODULES=(virtio_net net_failover failover)
# The groups of qorid.service's settings whose cost the guest measures.
COST_GROUPS='none -
user DynamicUser RuntimeDirectory RuntimeDirectoryMode LogsDirectory UMask
mounts ProtectSystem ProtectHome PrivateTmp PrivateDevices DevicePolicy PrivateMounts ProtectProc ProtectKernelTunables ProtectKernelModules ProtectKernelLogs ProtectControlGroups
private-users PrivateUsers
ip-filter IPAddressDeny
seccomp SystemCallFilter SystemCallArchitectures SystemCallErrorNumber RestrictAddressFamilies RestrictNamespaces RestrictRealtime RestrictSUIDSGID LockPersonality MemoryDenyWriteExecute ProtectClock ProtectHostname CapabilityBoundingSet AmbientCapabilities NoNewPrivileges RemoveIPC
all all
publish-none -
publish-all all'
# The stock boards' first compatible strings and the lines naming them.
TABLE='QEMU arm virt:71:linux,dummy-virt
QEMU riscv virt:72:riscv-virtio'
LEFT_OUT_TEXT=$(sed -n 's/^inline constexpr char kLeftOutOfExport\[\] = "\(.*\)";$/\1/p' \
  "$SRC/tests/support/log_texts.h")

die() { echo "FAIL: boot test: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || die "needs root (Debian roots, binfmt_misc)"
arches=("$@")
[ $# -gt 0 ] || arches=(amd64 arm64 armhf riscv64)

# flavour ARCH, machine ARCH...: per architecture, the kernel's flavour, qemu,
# the machine and CPU, the console, uname's machine.
flavour() { case $1 in armhf) echo armmp ;; *) echo "$1" ;; esac; }
qemu_of() {
  case $1 in
    amd64) echo qemu-system-x86_64 -M q35 ;;
    arm64) echo qemu-system-aarch64 -M virt -cpu cortex-a57 ;;
    armhf) echo qemu-system-arm -M virt,highmem=off -cpu cortex-a15 ;;
    riscv64) echo qemu-system-riscv64 -M virt -bios default ;;
    *) die "no guest for $1" ;;
  esac
}
console_of() { case $1 in arm64 | armhf) echo ttyAMA0 ;; *) echo ttyS0 ;; esac; }

# --- the kernels: Debian 13's own, from its archive --------------------------
# An amd64 trixie root of its own for apt-get download, the foreign
# architectures added there; each kernel's image and the modules above
# (with their modules.dep, made by the guest's depmod) kept per version.
apt_root() {
  local root=$CACHE/apt
  if [ ! -e "$root/.complete" ]; then
    fresh_root trixie amd64 "$root" >/dev/null || die "no trixie root for apt"
    in_root "$root" sh -c 'for a in arm64 armhf riscv64; do dpkg --add-architecture $a; done
      apt-get update -qq' || die "apt-get update failed in $root"
    touch "$root/.complete"
  fi
  echo "$root"
}
kernel_of() {
  local arch=$1 root image dir deb
  dir=$(ls -d "$CACHE"/kernel-"$arch"-*/ 2>/dev/null | head -n 1)
  if [ -n "$dir" ] && [ -e "$dir/.complete" ]; then echo "${dir%/}"; return; fi
  root=$(apt_root)
  image=$(in_root "$root" apt-cache depends "linux-image-$(flavour "$arch"):$arch" |
    sed -n 's/^ *Depends: \(linux-image-[^ :]*\).*/\1/p' | head -n 1)
  [ -n "$image" ] || die "linux-image-$(flavour "$arch"):$arch names no kernel image"
  rm -rf "$root/var/tmp/kernel"
  mkdir -p "$root/var/tmp/kernel"
  in_root "$root" sh -c 'cd /var/tmp/kernel && apt-get download -qq -o APT::Sandbox::User=root "$1"' sh "$image:$arch" ||
    die "apt-get download $image:$arch failed"
  deb=$(ls "$root"/var/tmp/kernel/*.deb)
  dir=$CACHE/kernel-$arch-${image#linux-image-}
  rm -rf "$dir" "$dir.x"
  dpkg-deb -x "$deb" "$dir.x" || die "dpkg-deb -x $deb failed"
  mkdir -p "$dir"
  cp "$dir.x"/boot/vmlinu[xz]-* "$dir/kernel" || die "no kernel image in $deb"
  cp -a "$dir.x/usr/lib/modules" "$dir/modules"
  dpkg-deb -f "$deb" Package Version >"$dir/package"
  rm -rf "$dir.x" "$root/var/tmp/kernel"
  touch "$dir/.complete"
  echo "$dir"
}

# --- the guest's image ---------------------------------------------------------
# image_of ARCH KERNEL: the guest's root, packed as a zstd cpio: a fresh copy
# of the cached base root, the packages of dist/trixie/ARCH installed with
# apt, systemd-networkd and its wait-online enabled, the kernel's modules
# above, qorid logging at WARN; apt's lists and caches, documentation and
# translations left out. Made again when a package, the kernel or the base
# root changes.
image_of() {
  local arch=$1 kernel=$2 base key image=$CACHE/image-$1 root kver m
  local debs=() p newest
  # The packages of this build: made when dist/ has none newer than the sources.
  newest=$(ls -t "$SRC/dist/trixie/$arch/"qorid_*_"$arch".deb 2>/dev/null | head -n 1)
  if [ -z "$newest" ] || [ -n "$(cd "$SRC" && find common lib nolt tool debian cmake CMakeLists.txt \
    -newer "$newest" -print -quit)" ]; then
    echo "$arch: building the trixie packages" >&2
    JOBS=${JOBS:-2} bash "$SRC/scripts/build-package.sh" trixie "$arch" >"$CACHE/build-$arch.log" 2>&1 ||
      { tail -n 20 "$CACHE/build-$arch.log" >&2; die "$arch: the trixie packages did not build"; }
  fi
  for p in libqorid1 libnolt0 qorid; do
    debs+=("$(ls -t "$SRC/dist/trixie/$arch/${p}_"*"_$arch.deb" 2>/dev/null | head -n 1)")
    [ -f "${debs[-1]}" ] || die "no $p package in dist/trixie/$arch (make package SUITE=trixie ARCH=$arch)"
  done
  base=$(prepared_root trixie "$arch" "${GUEST_PACKAGES[@]}") || die "no base root for $arch"
  key=$( (sha256sum "${debs[@]}" | cut -d' ' -f1; echo "$kernel $base";
    sed -n '/^image_of()/,/^}/p' "$0") | sha256sum | cut -c1-16)
  if [ "$(cat "$image/key" 2>/dev/null)" = "$key" ]; then echo "$image"; return; fi
  root=$image/root
  remove_root "$image"
  mkdir -p "$image"
  cp -a "$base" "$root"
  rm -f "$root/.complete" "$root/.packages" "$root/.install.log"
  mkdir -p "$root/tmp/debs"
  cp "${debs[@]}" "$root/tmp/debs/"
  in_root "$root" sh -c 'apt-get install -y -qq --no-install-recommends /tmp/debs/*.deb' \
    >"$image/install.log" 2>&1 || { tail -n 20 "$image/install.log" >&2; die "$arch: apt-get install of the packages failed"; }
  in_root "$root" systemctl enable -q systemd-networkd.service systemd-networkd-wait-online.service ||
    die "$arch: systemctl enable systemd-networkd failed"
  sed -i 's/^log4cpp\.category\.qorid=ERROR$/log4cpp.category.qorid=WARN/' "$root/etc/qorid.conf"
  grep -qx 'log4cpp.category.qorid=WARN' "$root/etc/qorid.conf" || die "$arch: /etc/qorid.conf has no qorid=ERROR line to make WARN"
  kver=$(ls "$kernel/modules")
  mkdir -p "$root/usr/lib/modules"
  for m in "${MODULES[@]}"; do
    (cd "$kernel/modules" && find "$kver" -name "$m.ko*") | grep -q . || die "$arch: no module $m in $kernel"
    (cd "$kernel/modules" && find "$kver" -name "$m.ko*" -exec cp --parents {} "$root/usr/lib/modules/" \;)
  done
  cp "$kernel/modules/$kver"/modules.{builtin,builtin.modinfo,order} "$root/usr/lib/modules/$kver/"
  in_root "$root" depmod "$kver" || die "$arch: depmod failed"
  rm -rf "$root"/tmp/debs "$root"/var/cache/apt/* "$root"/var/lib/apt/lists/* \
    "$root"/usr/share/{doc,man,info,locale}
  (cd "$root" && find . -mindepth 1 | LC_ALL=C sort | cpio -o -H newc --quiet | zstd -q -T2 -3) \
    >"$image/root.cpio.zst" || die "$arch: packing the root failed"
  remove_root "$root"
  echo "$key" >"$image/key"
  echo "$image"
}

# --- a boot ------------------------------------------------------------------
# units_cpio DIR ARCH: the test's own files, an uncompressed cpio (put
# before the root's: after a compressed one the kernel takes no more).
units_cpio() {
  local dir=$1 arch=$2 files=$1/files units
  rm -rf "$files"
  units=$files/etc/systemd/system
  mkdir -p "$units/multi-user.target.wants" "$files/etc/systemd/network" "$files/etc/qorid-boot"
  printf '[Match]\nName=eth0\n[Network]\nDHCP=ipv4\n' >"$files/etc/systemd/network/50-eth0.network"
  echo "$TABLE" >"$files/etc/known_qor_ids"
  [ "$arch" = amd64 ] || : >"$files/etc/qorid-boot/stock"
  cp "$SRC/tests/boot/collect.sh" "$files/etc/qorid-boot/collect"
  printf '%s\n' '[Unit]' 'After=qorid.service qorid-boot-plain.service' 'Wants=qorid.service' '[Service]' \
    Type=oneshot EnvironmentFile=/run/qorid/parameters.env RuntimeDirectory=qorid-boot \
    RuntimeDirectoryPreserve=yes "ExecStart=/bin/sh -c 'env -0 >/run/qorid-boot/consumer.env0'" \
    >"$units/qorid-boot-consumer.service"
  # The sandbox of qorid.service around /bin/true, and a plain oneshot: one
  # after the other and after qorid.service, each unit's time its own.
  sed -e 's|^ExecStart=.*|ExecStart=/bin/true|' -e 's/^\(RuntimeDirectory\|LogsDirectory\)=qorid$/\1=qorid-boot-sandbox/' \
    -e 's/^Description=.*/Description=The sandbox of qorid.service around true/' -e '/^\[Install\]/,$d' \
    -e 's/^After=network-online.target$/After=network-online.target qorid.service/' \
    "$SRC/debian/qorid.service" >"$units/qorid-boot-sandbox.service"
  printf '[Unit]\nAfter=qorid-boot-sandbox.service\n[Service]\nType=oneshot\nRemainAfterExit=yes\nExecStart=/bin/true\n' \
    >"$units/qorid-boot-plain.service"
  printf '%s\n' '[Unit]' 'After=qorid.service qorid-boot-consumer.service qorid-boot-plain.service multi-user.target' \
    'Wants=qorid-boot-consumer.service qorid-boot-sandbox.service qorid-boot-plain.service' '[Service]' \
    Type=oneshot 'ExecStart=/bin/bash /etc/qorid-boot/collect' StandardOutput=tty StandardError=tty \
    TTYPath=/dev/console >"$units/qorid-boot-collect.service"
  # The cost units: each group of qorid.service's settings alone, all of
  # them or none, around true or (publish-*) qorid-publish; run by the
  # collector once the boot is over.
  local name keys cmd line
  while read -r name keys; do
    cmd=/bin/true
    [[ $name == publish-* ]] && cmd="/usr/libexec/qorid/qorid-publish /run/qorid-boot-$name"
    echo "$name" >>"$files/etc/qorid-boot/costs"
    { printf '[Service]\nType=oneshot\nExecStart=%s\n' "$cmd"
      sed -n '/^\[Service\]/,/^\[/p' "$SRC/debian/qorid.service" | grep -E '^[A-Za-z]+=' |
        grep -vE '^(Type|RemainAfterExit|ExecStart|TimeoutStartSec)=' |
        sed "s/^\(RuntimeDirectory\|LogsDirectory\)=qorid$/\1=qorid-boot-$name/" |
        while IFS= read -r line; do
          [[ $keys == all || " $keys " == *" ${line%%=*} "* ]] && echo "$line"
        done
    } >"$units/qorid-boot-cost-$name.service"
  done <<<"$COST_GROUPS"
  for u in consumer sandbox plain collect; do
    ln -s "../qorid-boot-$u.service" "$units/multi-user.target.wants/"
  done
  (cd "$files" && find . -mindepth 1 | LC_ALL=C sort | cpio -o -H newc --quiet -R 0:0) >"$dir/units.cpio"
}

# boot ARCH DIR KERNEL IMAGE DTB: one boot, the console in DIR/console.log;
# fails with it when the guest does not power off in time.
boot() {
  local arch=$1 dir=$2 kernel=$3 image=$4 dtb=$5 qemu start
  read -r -a qemu <<<"$(qemu_of "$arch")"
  cat "$dir/units.cpio" "$image/root.cpio.zst" >"$dir/initrd"
  start=$SECONDS
  timeout "$TIMEOUT" "${qemu[@]}" -smp 2 -m 1024 -display none -monitor none -serial stdio -no-reboot \
    "${NIC[@]}" -kernel "$kernel/kernel" -initrd "$dir/initrd" \
    ${dtb:+-dtb "$dtb"} -append "console=$(console_of "$arch") rdinit=/sbin/init net.ifnames=0 systemd.getty_auto=0 quiet panic=-1" \
    </dev/null >"$dir/console.log" 2>&1
  local status=$?
  echo "$((SECONDS - start))" >"$dir/seconds"
  if [ "$status" -ne 0 ] || ! grep -q '^@@qorid-boot@@ done' "$dir/console.log"; then
    fail "$arch: the guest did not report and power off within $TIMEOUT s (qemu's status $status); its console:"
    sed 's/^/    /' "$dir/console.log" >&2
    return 1
  fi
}

# part DIR NAME: what the collector printed between NAME's markers; bytes
# DIR NAME: the same decoded from base64 into DIR/NAME.
# A marker may follow what the console had on its line (systemd's terminal
# queries): it counts from where it begins.
part() {
  tr -d '\r' <"$1/console.log" | awk -v n="$2" '
    i = index($0, "@@qorid-boot@@ ") { $0 = substr($0, i) }
    $0 == "@@qorid-boot@@ end " n { p = 0 } p { print } $0 == "@@qorid-boot@@ begin " n { p = 1 }'
}
bytes() { part "$1" "$2" | base64 -d >"$1/$2" 2>/dev/null || { fail "$2: not base64"; return 1; }; }

# the_board DIR NAME ARCH EXPECTED_VERBOSE: the board's commands in the guest
# and its dump replayed here with qorid --root.
the_board() {
  local dir=$1 p=$2 arch=$3 verbose=$4 f replay=$1/replay-$2
  for f in verbose list json export exec compatible dump; do bytes "$dir" "$p-$f"; done
  check "$arch $p: qorid -v" "$verbose" "$(cat -v "$dir/$p-verbose")"
  check "$arch $p: qorid-dump wrote its tarball" "/run/$p.tar.gz" "$(part "$dir" "$p-dump-said" | tail -n 1)"
  rm -rf "$replay"
  mkdir -p "$replay"
  if ! tar -xzf "$dir/$p-dump" -C "$replay"; then fail "$arch $p: the dump is no tarball"; return; fi
  # cat -v: the values hold NUL bytes.
  check "$arch $p: the dump replayed: qorid --root -v" "$(cat -v "$dir/$p-verbose")" \
    "$("$QORID" --root "$replay/$p/root" -v 2>/dev/null | cat -v)"
  # The PC's WAN is searched among the interfaces, which --root does not.
  # The walk takes the node's folder in its order, which differs here.
  check "$arch $p: the dump replayed: qorid --root --list (sorted)" \
    "$(if [ "$arch" = amd64 ]; then grep -av '^QOR_WAN\(_ID\)\?=' "$dir/$p-list"; else cat "$dir/$p-list"; fi |
      cat -v | LC_ALL=C sort)" \
    "$("$QORID" --root "$replay/$p/root" --list 2>/dev/null | cat -v | LC_ALL=C sort)"
}

# judge ARCH DIR: the node boot's or the PC's report.
judge() {
  local arch=$1 dir=$2 cmp said expected
  check "$arch: qorid.service is active" active "$(part "$dir" is-active)"
  check "$arch: qorid.service's result" success "$(part "$dir" result)"
  check "$arch: no unit failed" "" "$(part "$dir" failed)"
  for f in parameters.env board.json consumer; do bytes "$dir" "$f"; done
  if [ "$arch" = amd64 ]; then expected='64 - x86_64 PC'; else
    expected="21 - Morvane boot board ($arch)^@"
  fi
  the_board "$dir" node "$arch" "$expected"
  check "$arch: parameters.env is the mark and --export" \
    "$(printf '# Written by qorid-publish; the next publication replaces this file.\n'; cat "$dir/node-export")" \
    "$(cat "$dir/parameters.env")"
  check "$arch: board.json is --json with the publisher's member" "$(cat "$dir/node-json")" \
    "$(sed 's/^{"publisher":"qorid-publish",/{/' "$dir/board.json")"
  check "$arch: QOR_WAN and QOR_WAN_ID of the NIC" "QOR_WAN=eth0|QOR_WAN_ID=$WAN_ID" \
    "$(tr '\0' '\n' <"$dir/node-exec" | grep -a '^QOR_WAN' | sort | paste -sd '|')"
  if [ "$arch" != amd64 ]; then
    check "$arch: the node's parameters" "QOR_BOARDID=21|QOR_DESCRIPTION=Morvane boot board ($arch)|QOR_SERIAL=MB-$arch-0001" \
      "$(tr '\0' '\n' <"$dir/node-exec" | grep -aE '^QOR_(BOARDID|DESCRIPTION|SERIAL)=' | sort | paste -sd '|')"
  fi
  said=$(part "$dir" journal | sed -n "s/^qorid WARN: $LEFT_OUT_TEXT//p" | LC_ALL=C sort)
  [ "$arch" = amd64 ] || check "$arch: the log says --export leaves out the binary reg" \
    "QOR_REG: value not UTF-8" "$(grep '^QOR_REG' <<<"$said")"
  if cmp=$(env_of "$dir/parameters.env" "$dir/node-exec" "$dir/consumer" 2>&1); then
    check "$arch: parameters.env has QOR_ID and QOR_DESC" yes \
      "$(grep -qw QOR_ID <<<"${cmp%%$'\n'*}" && grep -qw QOR_DESC <<<"${cmp%%$'\n'*}" && echo yes)"
    check "$arch: every name --exec sets that parameters.env leaves out is said in the log" \
      "$(sed -n 2p <<<"$cmp" | tr ' ' '\n' | grep . | LC_ALL=C sort)" \
      "$(sed -E 's/(: | is not a shell variable name$).*//' <<<"$said" | LC_ALL=C sort)"
    check "$arch: the consumer's EnvironmentFile= gives what --exec gives" "" "$(sed 1,2d <<<"$cmp")"
  else
    fail "$arch: the environments compared: $cmp"
  fi
}

# figures ARCH DIR: the boot's times, printed, and the unit's bench rows.
figures() {
  local arch=$1 dir=$2 u
  declare -A took cost
  for u in qorid qorid-boot-sandbox qorid-boot-plain restarted; do
    eval "$(part "$dir" "times-$u" | grep -E '^[A-Za-z]+=[0-9]+$')"
    took[$u]=$(((ActiveEnterTimestampMonotonic - InactiveExitTimestampMonotonic) / 1000))
  done
  while read -r u ms; do cost[$u]=$ms; done < <(part "$dir" costs)
  check "$arch: every timed run succeeds" "" "$(part "$dir" costs | grep -v ' [0-9]*$')"
  eval "$(part "$dir" boot | grep -E '^[A-Za-z]+=[0-9]+$')"
  echo "   $arch: $(cat "$dir/seconds") s from qemu's start to power-off; userspace at" \
    "$((UserspaceTimestampMonotonic / 1000000)) s, multi-user.target at $((ActiveEnterTimestampMonotonic / 1000000)) s"
  echo "   $arch: at boot qorid.service ${took[qorid]} ms, its sandbox around true" \
    "${took[qorid-boot-sandbox]} ms, a plain oneshot ${took[qorid-boot-plain]} ms; restarted at the end ${took[restarted]} ms"
  echo "   $arch: after it (median of 3, ms): $(part "$dir" costs | paste -sd ' ' | sed 's/\([0-9]\) /\1, /g')"
  part "$dir" blame | sed "s/^/   $arch blame: /"
  printf '{"figure": "qorid.service at boot, %s (TCG)", "ours": %s, "baseline_name": "qorid-publish run directly", "baseline": %s, "unit": "ms"}\n' \
    "$arch" "${took[qorid]}" "${cost[direct]}" >>"$CACHE/bench.jsonl.new"
  printf '{"figure": "the sandbox around true, %s (TCG)", "ours": %s, "baseline_name": "a plain oneshot", "baseline": %s, "unit": "ms"}\n' \
    "$arch" "${took[qorid-boot-sandbox]}" "${took[qorid-boot-plain]}" >>"$CACHE/bench.jsonl.new"
}

# --- the run -----------------------------------------------------------------
command -v zstd >/dev/null && command -v cpio >/dev/null && command -v fdtput >/dev/null ||
  die "needs zstd, cpio and device-tree-compiler"
mkdir -p "$CACHE"
: >"$CACHE/bench.jsonl.new"
for arch in "${arches[@]}"; do
  read -r -a qemu <<<"$(qemu_of "$arch")"
  command -v "${qemu[0]}" >/dev/null || die "no ${qemu[0]} (qemu-system-arm, -misc, -x86)"
  start=$SECONDS
  kernel=$(kernel_of "$arch") || exit 1
  image=$(image_of "$arch" "$kernel") || exit 1
  dir=$CACHE/run-$arch
  rm -rf "$dir"
  mkdir -p "$dir"
  units_cpio "$dir" "$arch"
  dtb=
  if [ "$arch" != amd64 ]; then
    # The machine's own tree, as qemu makes it for this boot, and the node.
    dtb=$dir/board.dtb
    "${qemu[@]}" -smp 2 -m 1024 -display none "${NIC[@]}" \
      -machine "dumpdtb=$dtb" >/dev/null 2>&1 && [ -s "$dtb" ] || die "$arch: qemu dumped no device tree"
    fdtput -c "$dtb" /morvane &&
      fdtput -t s "$dtb" /morvane boardid 21 &&
      fdtput -t s "$dtb" /morvane description "Morvane boot board ($arch)" &&
      fdtput -t s "$dtb" /morvane serial "MB-$arch-0001" &&
      fdtput -t x "$dtb" /morvane reg c0ffee00 1000 &&
      fdtput -t s "$dtb" /morvane wan eth0 || die "$arch: fdtput could not add the node"
  fi
  echo "== $arch: $(sed -n 's/^Package: //p' "$kernel/package") $(sed -n 's/^Version: //p' "$kernel/package");" \
    "ready to boot in $((SECONDS - start)) s"
  boot "$arch" "$dir" "$kernel" "$image" "$dtb" || continue
  judge "$arch" "$dir"
  if [ "$arch" != amd64 ]; then
    check "$arch: the stock board's tree is the kernel's without the node" "" "$(part "$dir" stock-said)"
    first=$(bytes "$dir" stock-compatible && tr '\0' '\n' <"$dir/stock-compatible" | head -n 1)
    line=$(grep ":$first\$" <<<"$TABLE")
    [ -n "$line" ] || fail "$arch: no line of the table names the first compatible string '$first'"
    the_board "$dir" stock "$arch" "$(cut -d: -f2 <<<"$line") - $(cut -d: -f1 <<<"$line")"
    check "$arch stock: QOR_ID and QOR_DESC of the table's line, no WAN" \
      "QOR_DESC=$(cut -d: -f1 <<<"$line")|QOR_ID=$(cut -d: -f2 <<<"$line")" \
      "$(tr '\0' '\n' <"$dir/stock-exec" | grep -aE '^QOR_(ID|DESC|WAN|WAN_ID)=' | sort | paste -sd '|')"
  fi
  figures "$arch" "$dir"
done
mv "$CACHE/bench.jsonl.new" "$CACHE/bench.jsonl"
finish
