#!/usr/bin/env bash
# The real boards: every device tree (.dtb) of Debian 13's kernels for
# arm64, armhf and riscv64, each laid out whole as a board's node, through
# qorid --export and its readers (`make real-boards`, as root; by hand, not
# part of `make check`):
#
#   bench/real_boards.sh [PATTERN]
#
# PATTERN, a shell pattern, takes only the trees whose path matches it
# (arm64/rockchip/*, */broadcom/*); without it, every one.
#
# For each board (bench/fdt_node.py lays the tree out under
# /proc/device-tree/morvane in the black-box tests' sandbox, run with the
# default preset's qorid and the uname of its architecture):
#   - --export sourced by dash (set -a; . FILE; env -0) gives what --exec
#     gives for every name it assigns;
#   - each parameter name that --exec sets and --export does not carry is
#     named by a WARN line of the log, "Left out of --export: ...", with a
#     reason of the rule (no shell name, not UTF-8, a noncharacter, too
#     long, over the 1 MiB of all parameters), and every such line has one;
# and then, in a trixie root booted with systemd-nspawn, systemd reads all
# the --export files with EnvironmentFile=, 100 files to a unit (each file
# once); the files of a unit that fails are each read alone, to name those
# systemd refuses.
#
# The kernel packages come from Debian's archive through apt-get download
# in a trixie root of their own (the foreign architectures added there),
# which is also the root booted. The root, the .deb files and the device
# trees are kept in build-real-boards/ and not fetched again (about 200 MB
# the first time); remove the folder to start anew.
set -uo pipefail

BENCH_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
TOP=$(dirname "$BENCH_DIR")
CACHE=$TOP/build-real-boards
PATTERN=${1:-*}
ROOT=$CACHE/root
# The architectures, the kernel flavour whose metapackage names the image,
# and what uname says there.
KERNELS=(arm64:linux-image-arm64:aarch64 armhf:linux-image-armmp:armv7l
  riscv64:linux-image-riscv64:riscv64)

die() { echo "FAIL: real boards: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || die "needs root (a Debian root, systemd-nspawn)"
command -v systemd-nspawn >/dev/null || die "no systemd-nspawn (package systemd-container)"
# shellcheck source=../scripts/debian-root.sh
source "$TOP/scripts/debian-root.sh"
# shellcheck source=../tests/support/env_readers.sh
source "$TOP/tests/support/env_readers.sh"

# --- the trixie root, the kernels, their device trees --------------------------
if [ ! -e "$ROOT/.complete" ]; then
  echo "a trixie root in $ROOT ..." >&2
  fresh_root trixie amd64 "$ROOT" >&2 || die "no trixie root"
  in_root "$ROOT" sh -c 'apt-get update -qq &&
    apt-get install -y -qq --no-install-recommends systemd dbus >/dev/null &&
    for a in arm64 armhf riscv64; do dpkg --add-architecture $a; done && apt-get update -qq' ||
    die "could not set up the trixie root $ROOT"
  touch "$ROOT/.complete"
fi
mkdir -p "$CACHE/debs" "$CACHE/dtbs"
for kernel in "${KERNELS[@]}"; do
  IFS=: read -r arch meta _ <<<"$kernel"
  deb=$(ls "$CACHE/debs/"linux-image-*_"$arch".deb 2>/dev/null | head -n 1)
  if [ -z "$deb" ]; then
    # The image the metapackage depends on, of the archive's newest kernel.
    image=$(in_root "$ROOT" apt-cache depends "$meta:$arch" |
      sed -n 's/^ *Depends: \(linux-image-[^ ]*\).*/\1/p' | head -n 1)
    [ -n "$image" ] || die "$meta:$arch names no linux-image package"
    echo "downloading $image ($arch) ..." >&2
    rm -rf "$ROOT/var/tmp/debs"
    mkdir -p "$ROOT/var/tmp/debs"
    in_root "$ROOT" sh -c 'cd /var/tmp/debs && apt-get download -q "$1"' sh "${image%:*}:$arch" \
      >&2 || die "apt-get download $image:$arch failed"
    mv "$ROOT"/var/tmp/debs/*.deb "$CACHE/debs/" || die "no .deb of $image:$arch"
    deb=$(ls "$CACHE/debs/"linux-image-*_"$arch".deb | head -n 1)
  fi
  if [ ! -e "$CACHE/dtbs/$arch/.complete" ]; then
    rm -rf "$CACHE/dtbs/$arch" "$CACHE/unpacked"
    dpkg-deb -x "$deb" "$CACHE/unpacked" || die "dpkg-deb -x $deb failed"
    mkdir -p "$CACHE/dtbs/$arch"
    # The trees keep their folders (vendor/board.dtb) below the kernel's.
    (cd "$CACHE/unpacked/usr/lib" && find . -name '*.dtb' | cut -d/ -f3- |
      tar -C linux-image-* -cf - -T -) | tar -C "$CACHE/dtbs/$arch" -xf - ||
      die "no device trees in $deb"
    rm -rf "$CACHE/unpacked"
    dpkg-deb -f "$deb" Package Version >"$CACHE/dtbs/$arch/.package"
    touch "$CACHE/dtbs/$arch/.complete"
  fi
done

# --- each board through --export, --exec and dash -----------------------------
echo "building qorid (the default preset) ..." >&2
(cd "$TOP" && cmake --preset default >/dev/null && cmake --build --preset default >/dev/null) ||
  die "the default preset's build failed"
export TMPDIR=/dev/shm
# shellcheck source=../tests/blackbox/harness.sh
source "$TOP/tests/blackbox/harness.sh" "$TOP/build/tool/qorid" "$TOP/build"
require_sandbox
reader=$(reader_in "$ROOT" qorid-reader)
LEFT_OUT=$(log_text kLeftOutOfExport)
# The reasons of the export rule, as its WARN lines end.
REASONS=('is not a shell variable name' 'value not UTF-8'
  'value holds a Unicode noncharacter, which systemd refuses' 'value too long'
  'over the 1048576 bytes all parameters may take')
reason_pattern=$(printf '%s|' "${REASONS[@]}")
reason_pattern="^(QOR_[^ :]*)(: | )(${reason_pattern%|})\$"
results=$CACHE/results.tsv
printf 'arch\tboard\tparameters\texported\t%s\tgiven more than once, kept value left out\n' \
  "$(printf '%s\t' "${REASONS[@]}" | sed 's/\t$//')" >"$results"

for kernel in "${KERNELS[@]}"; do
  IFS=: read -r arch _ machine <<<"$kernel"
  package=$(sed -n 's/^Package: //p' "$CACHE/dtbs/$arch/.package")
  release=${package#linux-image-}
  release=${release%-unsigned}
  echo "$arch: $(cd "$CACHE/dtbs/$arch" && find . -name '*.dtb' | wc -l) device trees of $package" \
    "$(sed -n 's/^Version: //p' "$CACHE/dtbs/$arch/.package") ..." >&2
  while IFS= read -r dtb; do
    # shellcheck disable=SC2053 # PATTERN is a pattern
    [[ $arch/$dtb == ${PATTERN} ]] || continue
    name=$arch-${dtb%.dtb}
    name=${name//\//-}
    root=$(new_root board)
    printf '%s\n%s\n' "$release" "$machine" >"$WORK/board/uname"
    : >"$root/etc/known_qor_ids"
    if ! python3 "$BENCH_DIR/fdt_node.py" "$CACHE/dtbs/$arch/$dtb" \
      "$root/proc/device-tree/morvane" >/dev/null; then
      fail "$name: bench/fdt_node.py could not lay out $dtb"
      continue
    fi
    log_to_file "$root" WARN
    # One sandbox for the board's runs: --export (its WARN lines in the
    # log), --exec, dash sourcing what --export wrote, --list. A run that
    # fails says so in /tmp/failed.
    run "$root" sh -c '
      "$0" --export >/tmp/export.env || echo "--export: status $?" >>/tmp/failed
      rm /etc/qorid.conf
      "$0" --exec -- env -0 >/tmp/exec.env0 || echo "--exec: status $?" >>/tmp/failed
      dash -c "set -a; . /tmp/export.env; exec env -0" >/tmp/dash.env0 2>/tmp/dash.err ||
        echo "dash: status $?" >>/tmp/failed
      "$0" --list >/tmp/list || echo "--list: status $?" >>/tmp/failed' "$QORID"
    # (Standard error has qorid's ERROR lines: these boards have no identity.)
    check "$name: --export, --exec, dash and --list run" "" "$(cat "$root/tmp/failed" 2>/dev/null)"
    check "$name: dash sources --export without a word" "" "$(cat "$root/tmp/dash.err")"
    cp "$root/tmp/export.env" "$reader/board-$name.env"
    sed -n "s/^WARN $LEFT_OUT//p" "$root/tmp/qorid.log" | LC_ALL=C sort -u >"$WORK/said"
    LC_ALL=C cut -d= -f1 "$root/tmp/list" >"$WORK/names"
    if ! env_of "$reader/board-$name.env" "$root/tmp/exec.env0" "$root/tmp/dash.env0" >"$WORK/cmp"
    then
      fail "$name: the environments compared: $(paste -sd '|' "$WORK/cmp")"
      continue
    fi
    check "$name: --export sourced by dash gives what --exec gives" "" "$(sed 1,2d "$WORK/cmp")"
    check "$name: each WARN of --export gives a reason of the rule" "" \
      "$(grep -Ev "$reason_pattern" "$WORK/said")"
    sed -n 2p "$WORK/cmp" | tr ' ' '\n' | grep . | LC_ALL=C sort >"$WORK/not-carried"
    check "$name: each name --exec sets and --export does not carry is said to be left out" "" \
      "$(sed -E "s/$reason_pattern/\\1/" "$WORK/said" | LC_ALL=C sort -u |
        LC_ALL=C comm -23 "$WORK/not-carried" - | paste -sd ' ')"
    # The row: how many parameters, names exported, names left out for each
    # reason, shell names given more than once whose kept value is left out.
    {
      printf '%s\t%s\t%s\t%s' "$arch" "$name" "$(wc -l <"$WORK/names")" \
        "$(grep -c . "$reader/board-$name.env")"
      # The lines said are one a name and reason.
      for reason in "${REASONS[@]}"; do printf '\t%s' "$(grep -c -- " $reason\$" "$WORK/said")"; done
      printf '\t%s\n' "$(LC_ALL=C sort "$WORK/names" | uniq -d |
        LC_ALL=C comm -12 - "$WORK/not-carried" | grep -cE '^[A-Za-z_][A-Za-z0-9_]*$')"
    } >>"$results"
  done < <(cd "$CACHE/dtbs/$arch" && find . -name '*.dtb' | sed 's|^\./||' | LC_ALL=C sort)
done

# --- systemd's reader, in the booted root ------------------------------------
boards=$(find "$reader" -name 'board-*.env' | wc -l)
echo "$boards files of --export read by systemd's EnvironmentFile= in the booted root ..." >&2
if boot_probe "$ROOT" "[Service]
Type=oneshot
ExecStart=/bin/sh /qorid-reader/read /qorid-reader 100" >"$WORK/boot.log" 2>&1; then pass; else
  fail "the trixie root booted with systemd: $(tail -n 3 "$WORK/boot.log" | paste -sd '|')"
fi
took=$(grep -lx 0 "$reader"/board-*.status 2>/dev/null | wc -l)
check "systemd's EnvironmentFile= takes every file of --export" "$boards" "$took"
for f in "$reader"/board-*.env; do
  f=${f%.env}
  [ "$(cat "$f.status" 2>/dev/null)" = 0 ] ||
    echo "  not taken: ${f##*/board-}: $(cat "$f.err" "$f.journal" 2>/dev/null | paste -sd '|')" >&2
done

# --- the counts ---------------------------------------------------------------
echo
echo "Real boards: the device trees of $(for k in "${KERNELS[@]}"; do
  sed -n 's/^Package: //p' "$CACHE/dtbs/${k%%:*}/.package"; done | paste -sd ',' | sed 's/,/, /g')"
echo
awk -F'\t' -v took="$took" '
  NR == 1 { for (i = 3; i <= NF; i++) head[i] = $i; n = NF; next }
  { boards[$1]++; for (i = 3; i <= n; i++) { sum[$1, i] += $i; all[i] += $i } }
  END {
    printf "| | boards"; for (i = 3; i <= n; i++) printf " | %s", head[i]; print " |"
    printf "|---|---"; for (i = 3; i <= n; i++) printf "|---"; print "|"
    for (a in boards) {
      printf "| %s | %d", a, boards[a]; total += boards[a]
      for (i = 3; i <= n; i++) printf " | %d", sum[a, i]; print " |"
    }
    printf "| all | %d", total; for (i = 3; i <= n; i++) printf " | %d", all[i]; print " |"
    print ""
    printf "systemd'"'"'s EnvironmentFile= took %d of the %d files of --export.\n", took, total
  }' "$results"
echo "(per board: $results)"
finish
