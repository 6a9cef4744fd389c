# Logging through /etc/qorid.conf: every message with its level and in
# order when DEBUG goes to a file; the default and a broken configuration.
# shellcheck disable=SC2016 # single-quoted: code for the shell in the sandbox
source "$(dirname "$0")/harness.sh"
require_sandbox

# A 32-bit ARM board found by its Hardware line, built-in table (its plain
# run is the case log-debug-builtin-hardware).
root=$(new_root arm "$DUMPS/armv7-builtin-hardware")
log_to_file "$root" DEBUG

# Standard input and output closed from the start: the files opened for
# logging take neither descriptor (nor the board number with descriptor 1);
# the lost output is reported.
run "$root" bash -c 'exec "$0" --verbose <&- >&-' "$QORID"
check "output closed: status" 1 "$status"
check "output closed: said" "qorid: write error: Bad file descriptor" "$err"
check_file "output closed: the log holds the log only" \
  "$FIXTURES/expected/armv7-builtin-hardware.log" "$root/tmp/qorid.log"

# Log lines never reach the data, wherever a configuration sends them: a
# console appender without a target (standard output, log4cpp's default), a
# file appender on /dev/stdout or /proc/self/fd/1. They reach standard error
# instead. A newline in a property's name is written as \n: it forges no
# line of the log, nor of qorid's own messages.
root=$(new_root stdout "$DUMPS/armv7-dt-carrier")
node=$root/proc/device-tree/morvane
printf 'x\0' >"$node/"'$(touch${IFS}PWNED)'
printf 'y\0' >"$node/"$'forged\nERROR the board is on fire'
head -c 131063 /dev/zero | tr '\0' s >"$node/"$'long\nqorid: forged'
for mode in --json --export --list -v; do
  run "$root" "$QORID" "$mode"
  cp "$WORK/out" "$WORK/data$mode"
done
creating=$(log_text kCreating)
while IFS='|' read -r appender file; do
  log_to_file "$root" DEBUG "$appender" "$file" '%p %m%n'
  for mode in --json --export --list -v; do
    run "$root" "$QORID" "$mode"
    check_file "$appender $file $mode: the data only" "$WORK/data$mode" "$WORK/out"
    check "$appender $file $mode: the log on standard error" yes \
      "$(grep -qxF "DEBUG $creating" "$WORK/err" && echo yes)"
  done
done <<'CASES'
ConsoleAppender|
FileAppender|/dev/stdout
FileAppender|/proc/self/fd/1
CASES
log_to_file "$root" WARN FileAppender /tmp/qorid.log
run "$root" "$QORID" -e true
check "newlines: qorid's own line" "qorid: QOR_LONG\nQORID: FORGED left out of the environment: value too long" "$err"
rm "$root/tmp/qorid.log"
run "$root" "$QORID" --export
left_out="WARN $(log_text kLeftOutOfExport)"
check "newlines: the log" "$left_out"'QOR_$(TOUCH${IFS}PWNED) is not a shell variable name
'"$left_out"'QOR_FORGED\nERROR THE BOARD IS ON FIRE is not a shell variable name
'"$left_out"'QOR_LONG\nQORID: FORGED is not a shell variable name' \
  "$(grep -e PWNED -e FORGED "$root/tmp/qorid.log" | LC_ALL=C sort)"

# A date in the layout, in a root without /etc/localtime: what that leaves
# in errno is no failed write.
root=$(new_root localtime "$DUMPS/armv7-generic-unknown")
log_to_file "$root" DEBUG FileAppender /tmp/qorid.log '%d %p %m%n'
run "$root" "$QORID" -v
check "dated log: nothing on standard error" "" "$err"
lines=$(grep -c . "$root/tmp/qorid.log")
check "dated log: written, every line dated" yes "$([ "$lines" -gt 0 ] &&
  [ "$(grep -c '^[0-9]\{4\}-[0-9][0-9]-[0-9][0-9] [0-9:,]* [A-Z]' "$root/tmp/qorid.log")" = "$lines" ] &&
  echo yes)"

# A root whose /proc is a plain folder with no process entries at all: the
# shipped configuration reaches log4cpp through a private copy under /tmp,
# which is gone afterwards; without /tmp it is refused. (A sanitizer's
# runtime cannot do without /proc/self: not in those builds.)
if [ -z "${QORID_SANITIZED:-}" ]; then
  root=$(new_root no-proc "$DUMPS/x86_64-pc-one-card")
  cp "$SOURCE_DIR/etc/qorid.conf" "$root/etc/"
  # Without /proc the loader cannot resolve the build's $ORIGIN run path.
  without_proc='rm /proc/self /proc/thread-self
    LD_LIBRARY_PATH=$(dirname "$0")/../lib:$(dirname "$0")/../nolt exec "$0"'
  run "$root" bash -c "$without_proc" "$QORID"
  check "no /proc: output" "64" "$out"
  check "no /proc: the shipped configuration is accepted" "" "$err"
  check "no /proc: nothing left in /tmp" "" "$(ls -A "$root/tmp")"
  rmdir "$root/tmp"
  run "$root" bash -c "$without_proc" "$QORID"
  check "no /proc nor /tmp: refused" "nolt: ignoring logging configuration /etc/qorid.conf: \
cannot hand it to log4cpp without /proc: mkdtemp /tmp: No such file or directory" "$err"
fi

# The default's first line on this board (case log-default-unknown-board).
default=$(head -n 1 "$CASES/log-default-unknown-board/expected.err")

# A configuration that log4cpp rejects: one line naming the file and the
# reason, then the default; the tool still does its work.
root=$(new_root broken "$DUMPS/armv7-generic-unknown")
printf 'log4cpp.rootCategory=DEBUG, a\nlog4cpp.appender.a=NoSuchAppender\n' \
  >"$root/etc/qorid.conf"
run "$root" "$QORID"
check "broken config: exit status" 0 "$status"
check "broken config: output" "-1" "$out"
first=$(head -n 1 "$WORK/err")
case "$first" in
  "nolt: ignoring logging configuration /etc/qorid.conf: "?*) pass ;;
  *) fail "broken config: first line names the file and reason: $first" ;;
esac
check "broken config: then the default" "$default" "$(sed -n 2p "$WORK/err")"
check "broken config: nothing at DEBUG" "0" "$(grep -c DEBUG "$WORK/err")"

# silent_peer unix PATH | udp PORT: a setup line for the sandbox (NET_SETUP)
# that binds a datagram socket at PATH, or at 127.0.0.1:PORT, and leaves it
# to a process that never reads it (gone with the sandbox).
silent_peer() {
  command -v python3 >/dev/null ||
    { echo "FAIL: a peer that never reads needs python3" >&2; exit 1; }
  printf 'python3 -c %q %q %q </dev/null >/dev/null 2>&1\n' 'import os, socket, sys, time
if sys.argv[1] == "unix":
    s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
    s.bind(sys.argv[2])
else:
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", int(sys.argv[2])))
if os.fork() == 0:
    time.sleep(3600)
os._exit(0)' "$1" "$2"
}

# What cannot be a configuration is refused the same way, without waiting
# for a writer and before log4cpp sees it: anything but a regular file, a
# file past 64 KiB, a text past the limits (a category deep enough to
# overflow log4cpp's stack), and appenders that could wait or end the
# program, each in the world where it would: syslog(3) to a /dev/log that
# nobody reads (the board's own /dev), a syslog host that is a name and a
# name server that never answers, an abort. The text's rules are
# nolt_config_test.cpp's table, a log file that is a FIFO nolt_test.cpp's.
levels=$(printf '.a%.0s' {1..40})
while IFS='|' read -r kind reason; do
  root=$(new_root "refused-$kind" "$DUMPS/armv7-generic-unknown")
  conf=$root/etc/qorid.conf
  appender=(rootCategory=ERROR 'category.qorid=DEBUG, log' appender.log.layout=PatternLayout)
  : >"$WORK/setup.sh"
  case $kind in
    fifo) mkfifo "$conf" ;;
    directory) mkdir "$conf" ;;
    device) ln -s /dev/zero "$conf" ;;
    large) head -c 70000 /dev/zero | tr '\0' '#' >"$conf" ;;
    levels) printf 'log4cpp.rootCategory=ERROR\nlog4cpp.category.a%s=DEBUG\n' "$levels" >"$conf" ;;
    local-syslog)
      printf 'log4cpp.%s\n' "${appender[@]}" appender.log=LocalSyslogAppender >"$conf"
      printf 'mount -t tmpfs board-dev %q\ntouch %q\nmount --bind /dev/null %q\n' \
        "$root/dev" "$root/dev/null" "$root/dev/null" >"$WORK/setup.sh"
      silent_peer unix "$root/dev/log" >>"$WORK/setup.sh"
      ;;
    syslog-name)
      printf 'log4cpp.%s\n' "${appender[@]}" appender.log=SyslogAppender \
        appender.log.syslogHost=loghost.example.net >"$conf"
      printf 'nameserver 127.0.0.1\n' >"$root/etc/resolv.conf"
      printf 'hosts: files dns\n' >"$root/etc/nsswitch.conf"
      printf '127.0.0.1 localhost\n' >"$root/etc/hosts"
      silent_peer udp 53 >"$WORK/setup.sh"
      ;;
    abort) printf 'log4cpp.%s\n' "${appender[@]}" appender.log=AbortAppender >"$conf" ;;
  esac
  NET_SETUP=$WORK/setup.sh run "$root" "$QORID" -v
  check "$kind: exit status" 0 "$status"
  check "$kind: output" "-1 - Unknown" "$out"
  check "$kind: refused" "nolt: ignoring logging configuration /etc/qorid.conf: $reason" \
    "$(head -n 1 "$WORK/err")"
  check "$kind: then the default" "$default" "$(sed -n 2p "$WORK/err")"
done <<'CASES'
fifo|a FIFO, not a regular file
directory|a directory, not a regular file
device|a device, not a regular file
large|larger than 65536 bytes
levels|line 2: a category name of more than 32 levels
local-syslog|appender log: a LocalSyslogAppender could wait: syslog(3) writes to /dev/log blocking
syslog-name|appender log: syslogHost "loghost.example.net" is not an IPv4 address in dotted decimal: looking a name up could wait
abort|appender log: an AbortAppender ends the program at its first line
CASES

# The limits themselves are accepted: a hundred backups of 4096 bytes, and
# lines that fill one each.
root=$(new_root rolling-limits "$DUMPS/armv7-generic-unknown")
log_to_file "$root" DEBUG RollingFileAppender /tmp/qorid.log '%-1024m%-1024m%-1024m%-1024m%n'
printf 'log4cpp.appender.file.%s\n' maxBackupIndex=100 maxFileSize=4096 >>"$root/etc/qorid.conf"
run "$root" "$QORID"
check "rolling at the limits: output" "-1" "$out"
check "rolling at the limits: accepted, rolling over 16 times at most" \
  "nolt: dropping the later lines of appender file: 16 roll-overs since logging was configured" "$err"
check "rolling at the limits: rolled over" yes "$([ -s "$root/tmp/qorid.log.001" ] && echo yes)"

# Eight appenders, each with a pattern of 32 conversions, are accepted; on a
# board whose cpuinfo has 20,000 lines each takes its first 10,000 lines and
# is named once, and the tool's work is unchanged.
root=$(new_root appender-limits "$DUMPS/armv7-generic-unknown")
printf 'log4cpp.%s\n' rootCategory=ERROR 'category.qorid=DEBUG, f1, f2, f3, f4, f5, f6, f7, f8' \
  >"$root/etc/qorid.conf"
for i in 1 2 3 4 5 6 7 8; do
  printf "log4cpp.appender.f$i%s\n" =FileAppender ".fileName=/tmp/q$i.log" .layout=PatternLayout \
    ".layout.ConversionPattern=$(printf '%%p%.0s' {1..30})%m%n" >>"$root/etc/qorid.conf"
done
seq 20000 >"$root/proc/cpuinfo"
run "$root" "$QORID"
check "eight appenders: output" "-1" "$out"
check "eight appenders: each named once" 8 \
  "$(grep -c '^nolt: dropping the later lines of appender f[1-8]: 10000 lines since logging was configured$' <<<"$err")"
check "eight appenders: 10,000 lines each" "$(printf '10000\n%.0s' {1..8})" \
  "$(for i in 1 2 3 4 5 6 7 8; do wc -l <"$root/tmp/q$i.log"; done)"

finish
