# Fault injection: system calls that fail (made to fail with strace) and
# system files that are missing, unreadable or go away. Each case checks the
# output, the messages and the exit status.
source "$(dirname "$0")/harness.sh"
require_sandbox
command -v strace >/dev/null || { echo "FAIL: strace is not installed (Debian package strace)" >&2; exit 1; }

# inject WHAT [PATH]: the strace prefix that makes a system call fail.
inject() {
  local path=()
  [ $# -ge 2 ] && path=(-P "$2")
  # LeakSanitizer can't work in a traced process: leaks are checked elsewhere.
  echo env "ASAN_OPTIONS=${ASAN_OPTIONS:-}:detect_leaks=0" \
    strace -f -qq -o /dev/null "${path[@]}" -e "inject=$1"
}
has() { # NAME NEEDLE HAYSTACK
  if [[ "$3" == *"$2"* ]]; then pass; else fail "$1: no '$2' in: $3"; fi
}

pc=$(new_root pc "$DUMPS/x86_64-pc-one-card")
pc_list=$(cat "$DUMPS/x86_64-pc-one-card/expected.list")
pc_head=$(head -n 2 <<<"$pc_list")

# uname fails on a PC: no PC identity, cpuinfo has no Hardware line.
run "$pc" $(inject uname:error=EFAULT) "$QORID" -v
check "uname fails: unknown board" "-1 - Unknown" "$out"
check "uname fails: status" 0 "$status"
has "uname fails: failure logged" \
  "qorid ERROR: Could not find hardware identity with uname or through /proc/cpuinfo" "$err"

# socket fails: no interface search, nothing to identify.
run "$pc" $(inject socket:error=EMFILE) "$QORID" --list
check "socket fails: board parameters only" "$pc_head" "$out"
check "socket fails: message" "socket: Too many open files" "$err"
check "socket fails: status" 0 "$status"

# The interface list request fails.
run "$pc" $(inject ioctl:error=EPERM:when=1) "$QORID" --list
check "SIOCGIFCONF fails: board parameters only" "$pc_head" "$out"
check "SIOCGIFCONF fails: message" "ioctl(SIOCGIFCONF): Operation not permitted" "$err"

# The hardware address request fails.
run "$pc" $(inject ioctl:error=ENODEV:when=2) "$QORID" --list
check "SIOCGIFHWADDR fails: no identifier" "$pc_head"$'\nQOR_WAN=eth0' "$out"
check "SIOCGIFHWADDR fails: message" "ioctl(wan_mac): No such device" "$err"

# A board whose WAN comes from the device tree, with no socket to be had.
dt=$(new_root dt "$DUMPS/armv7-dt-carrier")
run "$dt" $(inject socket:error=ENFILE) "$QORID" --list
check "no socket for the WAN address: message" "ioctl(wan_mac): Bad file descriptor" "$err"
check "no socket for the WAN address: no identifier" 0 "$(grep -c QOR_WAN_ID <<<"$out")"
check "no socket for the WAN address: status" 0 "$status"

# The known identities: a directory, or a file that can't be read, means the
# built-in table (here the file would map the Hardware value to 99).
arm=$(new_root arm "$DUMPS/armv7-builtin-hardware")
mkdir "$arm/etc/known_qor_ids"
run "$arm" "$QORID" -v
check "known identities are a directory: built-ins" "2 - Tessaron QVK" "$out"
rmdir "$arm/etc/known_qor_ids"
printf 'Tessaron QVK:99:qvk\n' >"$arm/etc/known_qor_ids"
run "$arm" "$QORID" -v
check "known identities readable: the file's table" "99 - Tessaron QVK" "$out"
run "$arm" $(inject openat:error=EACCES /etc/known_qor_ids) "$QORID" -v
check "known identities unreadable: built-ins" "2 - Tessaron QVK" "$out"

# /proc/cpuinfo missing on a board nothing else identifies.
rm "$arm/proc/cpuinfo"
run "$arm" "$QORID"
check "no cpuinfo: unknown" "-1" "$out"
has "no cpuinfo: message" \
  "qorid ERROR: Could not open the /proc/cpuinfo file, is the proc filesystem mounted" "$err"
check "no cpuinfo: status" 0 "$status"

# A property file that goes away between the walk's look at it and its
# opening: the parameter stays, with an empty value.
run "$dt" $(inject openat:error=ENOENT /proc/device-tree/morvane/serial-number) "$QORID" --list
check "vanished property: empty value" 1 "$(grep -c '^QOR_SERIAL-NUMBER=$' <<<"$out")"
check "vanished property: the rest stays" "$(wc -l <"$DUMPS/armv7-dt-carrier/expected.list")" \
  "$(wc -l <<<"$out")"

# Few descriptors during the walk: the three standard streams and one more.
# qorid-publish stopped by SIGTERM at each of its system calls in turn, from
# the first after start-up to the last (strace delivers the signal as that
# call returns), into a folder that holds an earlier pair and into an empty
# one: the folder then holds what it held before or, once the publication
# is complete, the new pair, nothing else; an interrupted run says so.
PUBLISH=$BUILD_DIR/tool/qorid-publish
board=$(new_root publish-steps "$DUMPS/armv7-dt-carrier")
every_step='set -u
  boardid=/proc/device-tree/morvane/boardid before=$1
  printf "1\0" >$boardid; mkdir -p /tmp/before-pair /tmp/before-none; "$0" /tmp/before-pair
  printf "2\0" >$boardid
  # Each call from umask on, as strace counts it (the Nth call of its name),
  # but those that only map memory: a signal there is one at the next call.
  env ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" strace -f -qq -o /tmp/trace "$0" /tmp/scratch
  declare -A seen; on=
  sed -n "s/^[0-9]* *\([a-z_0-9]*\)(.*/\1/p" /tmp/trace | while read -r name; do
    seen[$name]=$((${seen[$name]:-0} + 1)); [ "$name" != umask ] || on=1
    case $name in mmap | munmap | mprotect | mremap | madvise | brk | futex) continue ;; esac
    [ -z "$on" ] || echo "$name:when=${seen[$name]}"
  done >/tmp/steps
  bad=0 steps=0
  for step in $(cat /tmp/steps) none; do
    rm -rf /tmp/p; cp -a /tmp/before-$before /tmp/p
    env ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" strace -f -qq -o /dev/null \
      -e inject=${step/none/exit_group}:signal=SIGTERM "$0" /tmp/p 2>/tmp/err
    status=$?
    steps=$((steps + 1))
    if diff -r /tmp/before-$before /tmp/p >/dev/null; then
      [ $status -ne 0 ] && { [ $status -eq 143 ] || grep -q "^qorid-publish: interrupted; " /tmp/err; } && continue
    elif [ "$(ls -A /tmp/p | paste -sd " ")" = "board.json parameters.env" ] &&
      grep -qx "QOR_ID=.2." /tmp/p/parameters.env && grep -q "\"number\":2," /tmp/p/board.json; then
      [ $status -eq 0 ] || [ $status -eq 143 ] && continue
    fi
    bad=$((bad + 1)); echo "step $step, $before before: status $status, $(ls -A /tmp/p | paste -sd " "): $(cat /tmp/err)" >&2
  done
  echo "$before $bad of $steps"'
for before in pair none; do
  run "$board" bash -c "$every_step" "$PUBLISH" "$before"
  check "publish stopped at every step, $before before: the folder as it was, or the new pair" \
    "$before 0" "$(sed 's/ of [0-9]*$//' <<<"$out")"
  [ -z "$err" ] || echo "$err" | head -n 5 >&2
  echo "publish stopped at every step: $out runs"
done

# A sanitizer's runtime needs descriptors of its own, so these two cases run
# only in plain builds.
if [ -n "${QORID_SANITIZED:-}" ]; then
  echo "skipping the descriptor-limit cases in a sanitizer build"
  finish
fi
# The node's directory takes the last one, so no property file opens: each
# property is listed with an empty value, and the empty WAN name is refused.
# Descriptors inherited from the test runner are closed first.
few_fds='for fd in {3..63}; do eval "exec $fd>&-"; done; ulimit -n 4; exec "$0" --list'
flat=$(new_root flat "$DUMPS/armv7-dt-carrier")
rm -r "$flat/proc/device-tree/morvane/ethernet"
run "$flat" bash -c "$few_fds" "$QORID"
check "few descriptors: status" 0 "$status"
check "few descriptors: every property, empty" \
  "$(printf '%s\n' QOR_BOARD-BLOB= QOR_BOARDID= QOR_COMPATIBLE= QOR_DESCRIPTION= \
    QOR_SERIAL-NUMBER= QOR_WAN=)" \
  "$(tail -n +3 <<<"$out" | sort)"
check "few descriptors: board still identified" \
  $'QOR_ID=17\nQOR_DESC=Tessaron QVK carrier rev B' "$(head -n 2 <<<"$out")"
check "few descriptors: the empty WAN name is refused" "ioctl(wan_mac): No such device" "$err"

# With a subnode the walk itself runs out and stops: what it listed stays.
run "$dt" bash -c "$few_fds" "$QORID"
check "walk out of descriptors: status" 0 "$status"
check "walk out of descriptors: board first" \
  $'QOR_ID=17\nQOR_DESC=Tessaron QVK carrier rev B' "$(head -n 2 <<<"$out")"
check "walk out of descriptors: only empty values" "" "$(tail -n +3 <<<"$out" | grep -v '=$')"

finish
