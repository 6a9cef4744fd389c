#!/usr/bin/env bash
# Measures qorid next to baselines run on the same machine in the same run,
# and prints a Markdown table (also written to bench/results.md).
#
# usage: bench/run.sh      (the "bench" preset's build, in build-bench)
#
# qorid is built for /usr and installed there as its package installs it
# (no run path, the libraries found through the loader's cache), inside the
# black-box tests' sandbox, so the tool sees a board of the benchmark's
# making at its fixed paths. The baselines run in the same sandbox. Every
# time is a median over many runs; commands compared with each other take
# turns round after round (bench/interleave.cpp), so that a change in the
# machine's state touches both alike. Device trees live on tmpfs, like the
# kernel's.
set -uo pipefail

BENCH_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
TOP=$(dirname "$BENCH_DIR")
BUILD=$TOP/build-bench
RUNS=${BENCH_RUNS:-1000}          # start-up figures
LIST_RUNS=${BENCH_LIST_RUNS:-30}  # listing figures (fewer for the largest)

echo "building for /usr in $BUILD ..." >&2
(cd "$TOP" && cmake --preset bench >/dev/null && cmake --build --preset bench >/dev/null) || exit 1
BUILD=$(realpath "$BUILD")
rm -rf "$BUILD/stage"
DESTDIR=$BUILD/stage cmake --install "$BUILD" >/dev/null || exit 1
export SANDBOX_USR_LAYER=$BUILD/stage/usr

export TMPDIR=/dev/shm
# shellcheck source=../tests/blackbox/harness.sh
source "$TOP/tests/blackbox/harness.sh" "$BUILD/tool/qorid" "$BUILD"
require_sandbox
QORID=/usr/bin/qorid  # as installed, inside the sandbox

results=$WORK/results.jsonl
minimal=$BUILD/bench/minimal
interleave=$BUILD/bench/interleave

# timed_in ROOT ARCH ROUNDS CMD -- CMD ...: medians in ms, one line per
# command, the commands taking turns round after round (bench/interleave).
timed_in() {
  local root=$1 arch=$2 rounds=$3
  shift 3
  in_sandbox "$root" $arch -- "$interleave" "$rounds" $((rounds / 10 + 3)) "$@" ||
    { echo "timing failed for: $*" >&2; exit 1; }
}

# max_rss_in ROOT ARCH CMD...: the peak resident set in KiB (median of 5).
max_rss_in() {
  local root=$1 arch=$2
  shift 2
  for _ in 1 2 3 4 5; do
    in_sandbox "$root" $arch -- /usr/bin/time -f %M -o /tmp/rss "$@" >/dev/null 2>&1
    cat "$root/tmp/rss"
  done | sort -n | sed -n 3p
}

row() { # FIGURE OURS BASELINE_NAME BASELINE UNIT [GOAL LIMIT KIND]
  python3 -c '
import json, sys
a = sys.argv[1:]
r = {"figure": a[0], "ours": float(a[1]), "baseline_name": a[2],
     "baseline": float(a[3]), "unit": a[4]}
if len(a) > 5:
    r.update(goal=a[5], limit=float(a[6]), kind=a[7])
print(json.dumps(r))' "$@" >>"$results"
}

# --- start-up -------------------------------------------------------------
echo "start-up ..." >&2
pc=$(new_root pc "$DUMPS/x86_64-pc-one-card")
mapfile -t t < <(timed_in "$pc" "" "$RUNS" "$QORID" -- "$minimal" -- uname -m -- "$QORID" --verbose)
row "qorid start-up (x86_64 PC)" "${t[0]}" "minimal C++" "${t[1]}" ms "≤ 1.2×" 1.2 ratio
row "qorid start-up (x86_64 PC)" "${t[0]}" "uname -m" "${t[2]}" ms "≤ 1.6×" 1.6 ratio
row "qorid --verbose (x86_64 PC)" "${t[3]}" "minimal C++" "${t[1]}" ms
mapfile -t t < <(timed_in "$pc" "" "$RUNS" "$BUILD/bench/empty-with-libs" -- "$BUILD/bench/empty")
row "empty program with libstdc++ and qorid's three libraries" "${t[0]}" \
  "empty program with libstdc++" "${t[1]}" ms
# Instructions (callgrind), which unlike time don't vary from run to run.
instructions() {
  in_sandbox "$pc" -- valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    sed -n 's/.*refs: *//p' | tr -d ,
}
row "instructions, qorid start-up (x86_64 PC)" "$(instructions "$QORID")" "minimal C++" \
  "$(instructions "$minimal")" count
dt=$(new_root dt "$DUMPS/armv7-dt-carrier")
mapfile -t t < <(timed_in "$dt" "" "$RUNS" "$QORID" -- "$minimal")
row "qorid start-up (device-tree board)" "${t[0]}" "minimal C++" "${t[1]}" ms

# --- listing a device-tree node of N properties -----------------------------
declare -A list_ms
for n in 100 1000 10000 100000; do
  echo "--list over $n properties ..." >&2
  root=$(new_root "list-$n")
  node=$root/proc/device-tree/morvane
  mkdir -p "$node"
  (cd "$node" && printf '7\0' >boardid && printf 'Bench board\0' >description &&
    for ((i = 0; i < n - 2; i++)); do printf 'value-%d\0' "$i" >"prop-$i"; done)
  runs=$LIST_RUNS
  [ "$n" -ge 100000 ] && runs=$((LIST_RUNS / 3 + 3))
  # At 1,000 and 10,000 also --exec, whose environment is built in one pass;
  # at 100,000 --root of the sandbox's own /, whose walk resolves every
  # entry within the root, against the run at the fixed paths.
  exec_cmd=() root_cmd=()
  [ "$n" -eq 1000 ] || [ "$n" -eq 10000 ] && exec_cmd=(-- "$QORID" --exec true)
  [ "$n" -eq 100000 ] && root_cmd=(-- "$QORID" --root / --list)
  mapfile -t t < <(timed_in "$root" linux32 "$runs" "$QORID" --list -- \
    grep -r -m1 '' /proc/device-tree/morvane "${exec_cmd[@]}" "${root_cmd[@]}")
  if [ "$n" -eq 10000 ]; then
    row "qorid --list, $n properties" "${t[0]}" "grep -r -m1" "${t[1]}" ms "≤ 1.5×" 1.5 ratio
  else
    row "qorid --list, $n properties" "${t[0]}" "grep -r -m1" "${t[1]}" ms
  fi
  if [ ${#exec_cmd[@]} -gt 0 ]; then
    row "qorid --exec true, $n properties" "${t[2]}" "qorid --list" "${t[0]}" ms "≤ 1.5×" 1.5 ratio
  fi
  if [ ${#root_cmd[@]} -gt 0 ]; then
    row "qorid --root / --list, $n properties" "${t[2]}" "qorid --list" "${t[0]}" ms
  fi
  list_ms[$n]=${t[0]}
  if [ "$n" -eq 10000 ]; then
    rss_list=$(max_rss_in "$root" linux32 "$QORID" --list)
    rss_grep=$(max_rss_in "$root" linux32 grep -r -m1 '' /proc/device-tree/morvane)
  fi
  rm -rf "$root"
done
# The cost of one more property: time over the 100-property run, per
# property added.
per_property() { python3 -c "print((${list_ms[$1]} - ${list_ms[100]}) * 1000 / ($1 - 100))"; }
row "--list cost per property at 100,000" "$(per_property 100000)" \
  "at 1,000" "$(per_property 1000)" us "flat (≤ 1.2×)" 1.2 flat
row "--list cost per property at 10,000" "$(per_property 10000)" \
  "at 1,000" "$(per_property 1000)" us

# --- qorid-dump over N properties ---------------------------------------------
# The whole dump, qorid --verbose and --list and tar included, against tar
# and gzip of the node alone (through cat: tar skips reading what goes to
# /dev/null). Each run writes a tarball of its own in /tmp
# (the default name), which the board's removal takes away.
# dump_board ROOT N FOLDERS: N properties in the node, spread over FOLDERS
# subnodes (none: all in the node).
dump_board() {
  local node=$1/proc/device-tree/morvane n=$2 folders=$3
  mkdir -p "$node"
  (cd "$node" && printf '7\0' >boardid && printf 'Bench board\0' >description &&
    if [ "$folders" -eq 0 ]; then
      for ((i = 0; i < n - 2; i++)); do printf 'value-%d\0' "$i" >"prop-$i"; done
    else
      for ((i = 0; i < folders; i++)); do mkdir "node-$i"; done
      for ((i = 0; i < n - 2; i++)); do printf 'value-%d\0' "$i" >"node-$((i % folders))/prop-$i"; done
    fi)
}
for n in 10000 100000; do
  echo "qorid-dump over $n properties ..." >&2
  root=$(new_root "dump-$n")
  dump_board "$root" "$n" 0
  mapfile -t t < <(timed_in "$root" linux32 5 sh -c 'cd /tmp && exec /usr/bin/qorid-dump' -- \
    sh -c 'tar -czf - -C / proc/device-tree/morvane | cat >/dev/null')
  if [ "$n" -eq 10000 ]; then
    row "qorid-dump, $n properties" "${t[0]}" "tar -czf of the node" "${t[1]}" ms "< 2 s" 2000 max
  else
    row "qorid-dump, $n properties" "${t[0]}" "tar -czf of the node" "${t[1]}" ms
  fi
  rm -rf "${root%/root}"
done

# --- the known identities ------------------------------------------------
echo "known identities ..." >&2
ids=$(new_root ids "$DUMPS/x86_64-pc-one-card")
empty=$(new_root ids-empty "$DUMPS/x86_64-pc-one-card")
: >"$empty/etc/known_qor_ids"
awk 'BEGIN { for (i = 1; i <= 10000; i++) printf "Board %d:%d:alias-%d:other-%d\n", i, i, i, i }' \
  >"$ids/etc/known_qor_ids"
mapfile -t a < <(timed_in "$ids" "" $((RUNS / 5)) "$QORID" --help)
mapfile -t b < <(timed_in "$empty" "" $((RUNS / 5)) "$QORID" --help)
row "construction, 10,000 known identities" "${a[0]}" "empty table" "${b[0]}" ms
row "construction, cost per known identity" \
  "$(python3 -c "print((${a[0]} - ${b[0]}) * 1000 / 10000)")" "—" 0 us

# --- peak memory -------------------------------------------------------------
echo "peak memory ..." >&2
rss_min=$(max_rss_in "$pc" "" "$minimal")
row "peak memory, qorid (x86_64 PC)" "$(max_rss_in "$pc" "" "$QORID")" "minimal C++" "$rss_min" KiB \
  "≤ +2 MiB" 2048 diff
row "peak memory, qorid --list (x86_64 PC)" "$(max_rss_in "$pc" "" "$QORID" --list)" "minimal C++" \
  "$rss_min" KiB "≤ +2 MiB" 2048 diff
row "peak memory, uname -m" "$(max_rss_in "$pc" "" uname -m)" "minimal C++" "$rss_min" KiB
row "peak memory, qorid --list, 10,000 properties" "$rss_list" "grep -r -m1" "$rss_grep" KiB
row "peak memory, qorid --help, 10,000 known identities" \
  "$(max_rss_in "$ids" "" "$QORID" --help)" "minimal C++" "$rss_min" KiB
# A board whose description never ends (a link to /dev/zero): each mode
# reads 1 MiB of it; --json writes it escaped, six bytes for each NUL.
endless=$(new_root endless)
mkdir -p "$endless/proc/device-tree/morvane"
printf '7' >"$endless/proc/device-tree/morvane/boardid"
ln -s /dev/zero "$endless/proc/device-tree/morvane/description"
for mode in --verbose --list --json; do
  row "peak memory, qorid $mode, description linked to /dev/zero" \
    "$(max_rss_in "$endless" "" "$QORID" $mode)" "minimal C++" "$rss_min" KiB "< 64 MiB" 65536 max
done

# The worst board: every file qorid reads at its 1 MiB bound (the known
# identities, cpuinfo, the description) and a node of 64 properties of
# 1 MiB beside 100,000 small ones. The walk keeps 16 MiB of them; every mode
# must stay under 64 MiB and finish in under 2 s.
echo "the worst board ..." >&2
worst=$(new_root worst)
node=$worst/proc/device-tree/morvane
mkdir -p "$node/small"
printf '7' >"$node/boardid"
head -c 1048576 /dev/zero | tr '\0' d >"$node/description"
for i in $(seq 1 64); do head -c 1048576 /dev/zero | tr '\0' p >"$node/big$i"; done
(cd "$node/small" && for ((i = 0; i < 100000; i++)); do printf 'v%d\0' "$i" >"p$i"; done)
awk 'BEGIN { while (n < 1048576) { l = sprintf("B%d:%d:a%d", n, n % 1000, n); print l; n += length(l) + 1 } }' \
  | head -c 1048576 >"$worst/etc/known_qor_ids"
awk 'BEGIN { while (n < 1048576) { print "processor\t: 0"; n += 15 } }' | head -c 1048576 \
  >"$worst/proc/cpuinfo"
for mode in --verbose --list --json --export "--exec true"; do
  # shellcheck disable=SC2086 # the mode's words
  row "peak memory, qorid $mode, the worst board" \
    "$(max_rss_in "$worst" linux32 "$QORID" $mode)" "minimal C++" "$rss_min" KiB "< 64 MiB" 65536 max
  # shellcheck disable=SC2086
  mapfile -t t < <(timed_in "$worst" linux32 5 "$QORID" $mode -- "$minimal")
  row "qorid $mode, the worst board" "${t[0]}" "minimal C++" "${t[1]}" ms "< 2 s" 2000 max
done
rm -rf "$worst"

# The slowest logging a configuration may ask for: the most appenders (8),
# all at DEBUG, each with a pattern of 32 conversions at the widest width
# (lines of 32 KiB): seven SyslogAppenders to 127.0.0.1, where nothing
# listens (each line sent as datagrams of 900 bytes), and a
# RollingFileAppender of 4096-byte files. On a board whose cpuinfo has
# 20,000 lines each appender is handed all it may (10,000 lines, 4 MiB or 16
# roll-overs). Every mode must finish in under 2 s.
echo "the slowest logging ..." >&2
slow=$(new_root slow-logging)
wide="$(printf '%%-1024m%.0s' 1 2 3 4)$(printf '%%-1024p%.0s' $(seq 27))%n"
{
  printf 'log4cpp.%s\n' rootCategory=ERROR 'category.qorid=DEBUG, s1, s2, s3, s4, s5, s6, s7, file'
  for i in 1 2 3 4 5 6 7; do
    printf "log4cpp.appender.s$i%s\n" =SyslogAppender .syslogHost=127.0.0.1 .facility=1 \
      .layout=PatternLayout ".layout.ConversionPattern=$wide"
  done
  printf 'log4cpp.appender.file%s\n' =RollingFileAppender .fileName=/tmp/qorid.log \
    .maxFileSize=4096 .maxBackupIndex=100 .layout=PatternLayout ".layout.ConversionPattern=$wide"
} >"$slow/etc/qorid.conf"
seq 20000 >"$slow/proc/cpuinfo"
for mode in "" --verbose --list --json --export "--exec true"; do
  # shellcheck disable=SC2086 # the mode's words
  mapfile -t t < <(timed_in "$slow" linux32 5 "$QORID" $mode -- "$minimal")
  row "qorid ${mode:-without options}, the slowest logging" "${t[0]}" "minimal C++" "${t[1]}" ms \
    "< 2 s" 2000 max
done
rm -rf "${slow%/root}"
hundred=$(new_root hundred-thousand)
node=$hundred/proc/device-tree/morvane
mkdir -p "$node"
(cd "$node" && printf '7\0' >boardid && for ((i = 0; i < 100000; i++)); do printf 'value-%d\0' "$i" >"prop-$i"; done)
for mode in --list --json --export; do
  row "peak memory, qorid $mode, 100,000 properties" \
    "$(max_rss_in "$hundred" linux32 "$QORID" $mode)" "minimal C++" "$rss_min" KiB "< 64 MiB" 65536 max
done
rm -rf "$hundred"

# --- qorid.service at boot ------------------------------------------------------
# Booting Debian 13's kernels under TCG takes minutes, more than this
# benchmark: the rows are those the last `make boot-test` wrote, the unit's
# time from systemd-analyze blame beside qorid-publish run directly in the
# same guest, and the unit's sandbox around true beside a plain oneshot.
boot_rows=$TOP/build-roots/boot/bench.jsonl
if [ -s "$boot_rows" ]; then
  cat "$boot_rows" >>"$results"
else
  echo "no figures of qorid.service at boot: $boot_rows is empty or missing (make boot-test, as root)" >&2
fi

{
  echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores, $(uname -m)," \
    "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), kernel $(uname -r)."
  echo
  python3 "$BENCH_DIR/table.py" "$results"
} | tee "$BENCH_DIR/results.md"
