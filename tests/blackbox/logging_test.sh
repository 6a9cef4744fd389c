# Logging through /etc/qorid.conf: every message with its level and in
# order when DEBUG goes to a file; the default and a broken configuration.
# shellcheck disable=SC2016 # single-quoted: code for the shell in the sandbox
source "$(dirname "$0")/harness.sh"
require_sandbox

# A 32-bit ARM board found by its Hardware line, built-in table.
root=$(new_root arm "$DUMPS/armv7-builtin-hardware")
log_to_file "$root" DEBUG
run "$root" "$QORID" --verbose
check "arm board output" "2 - Tessaron QVK" "$out"
check "nothing on standard error" "" "$err"
check_file "arm board log" "$FIXTURES/expected/armv7-builtin-hardware.log" "$root/tmp/qorid.log"

# Standard input and output closed from the start: the files opened for
# logging take neither descriptor (nor the board number with descriptor 1);
# the lost output is reported.
rm "$root/tmp/qorid.log"
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
while IFS='|' read -r appender file; do
  log_to_file "$root" DEBUG "$appender" "$file" '%p %m%n'
  for mode in --json --export --list -v; do
    run "$root" "$QORID" "$mode"
    check_file "$appender $file $mode: the data only" "$WORK/data$mode" "$WORK/out"
    check "$appender $file $mode: the log on standard error" yes \
      "$(grep -q '^DEBUG Creating QorIdentifier...$' "$WORK/err" && echo yes)"
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
check "newlines: the log" 'WARN Left out of --export: QOR_$(TOUCH${IFS}PWNED) is not a shell variable name
WARN Left out of --export: QOR_FORGED\nERROR THE BOARD IS ON FIRE is not a shell variable name
WARN Left out of --export: QOR_LONG\nQORID: FORGED is not a shell variable name' \
  "$(grep -e PWNED -e FORGED "$root/tmp/qorid.log" | LC_ALL=C sort)"

# An unknown board: the whole determination and its ERROR report, twice.
root=$(new_root unknown "$DUMPS/armv7-generic-unknown")
log_to_file "$root" DEBUG
printf 'only one field\nMorvane Gateway 410:41x:gw410\n' >"$root/etc/known_qor_ids"
run "$root" "$QORID" -v
check "unknown board output" "-1 - Unknown" "$out"
check_file "unknown board log" "$FIXTURES/expected/armv7-generic-unknown.log" "$root/tmp/qorid.log"

# A log file that cannot be opened or written: said once, naming the file;
# the tool's output and status are what they are without it.
while IFS='|' read -r appender file said; do
  root=$(new_root "unusable-$appender${file//\//-}" "$DUMPS/armv7-generic-unknown")
  log_to_file "$root" DEBUG "$appender" "$file"
  run "$root" "$QORID" -v
  check "$appender $file: status" 0 "$status"
  check "$appender $file: output" "-1 - Unknown" "$out"
  check "$appender $file: said once" "$said" "$err"
done <<'CASES'
FileAppender|/nonexistent/qorid.log|nolt: cannot open log file /nonexistent/qorid.log: No such file or directory
RollingFileAppender|/nonexistent/qorid.log|nolt: cannot open log file /nonexistent/qorid.log: No such file or directory
FileAppender|/tmp|nolt: cannot open log file /tmp: Is a directory
FileAppender|/dev/full|nolt: cannot write log file /dev/full: No space left on device
RollingFileAppender|/dev/full|nolt: cannot write log file /dev/full: No space left on device
CASES

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

# No configuration: ERROR and above on standard error, nothing else.
root=$(new_root default "$DUMPS/armv7-generic-unknown")
run "$root" "$QORID"
check "default: output" "-1" "$out"
check "default: errors on standard error" \
  "$(printf '%s\n' \
    "qorid ERROR: The possible alias is not a real name or alias of any identity" \
    "qorid ERROR: Could not find hardware identity with uname or through /proc/cpuinfo" \
    "qorid ERROR: Identity is unknown: " \
    "qorid ERROR: Real name: Unknown" \
    "qorid ERROR: Hardware number: -1")" "$err"

root=$(new_root quiet-pc "$DUMPS/x86_64-pc-one-card")
run "$root" "$QORID"
check "default: nothing below ERROR" "" "$err"

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
check "broken config: then the default" \
  "qorid ERROR: The possible alias is not a real name or alias of any identity" \
  "$(sed -n 2p "$WORK/err")"
check "broken config: nothing at DEBUG" "0" "$(grep -c DEBUG "$WORK/err")"

# What cannot be a configuration is refused the same way, without waiting
# for a writer and before log4cpp sees it: anything but a regular file, and
# files past the limits (among them a category deep enough to overflow the
# stack, a width near INT_MAX and variables that double on every line).
levels=$(printf '.a%.0s' {1..40})
dots=$(printf '.%.0s' {1..60000})
xs=$(printf 'x%.0s' {1..3000})
piece=$(printf 'z%.0s' {1..251})  # with "   \0", the 255 bytes log4cpp reads at once
pattern='log4cpp.rootCategory=DEBUG, a\nlog4cpp.appender.a=ConsoleAppender\nlog4cpp.appender.a.layout=PatternLayout\nlog4cpp.appender.a.layout.ConversionPattern=%s\n'
while IFS='|' read -r kind reason; do
  root=$(new_root "refused-$kind" "$DUMPS/armv7-generic-unknown")
  conf=$root/etc/qorid.conf
  case $kind in
    fifo) mkfifo "$conf" ;;
    directory) mkdir "$conf" ;;
    device) ln -s /dev/zero "$conf" ;;
    large) head -c 70000 /dev/zero | tr '\0' '#' >"$conf" ;;
    dots) printf 'log4cpp.rootCategory=ERROR\nlog4cpp.category.a%s=DEBUG\n' "$dots" >"$conf" ;;
    levels) printf 'log4cpp.rootCategory=ERROR\nlog4cpp.category.a%s=DEBUG\n' "$levels" >"$conf" ;;
    hidden) printf 'log4cpp.rootCategory=ERROR\n   \0%slog4cpp.category.a%s=DEBUG\n' \
      "$piece" "$levels" >"$conf" ;;
    width) printf "$pattern" '%-2147483648m%n' >"$conf" ;;
    doubling) printf 'log4cpp.x=%s\nlog4cpp.y=${x}${x}\n' "$xs" >"$conf" ;;
    max*) log_to_file "$root" DEBUG RollingFileAppender
      printf 'log4cpp.appender.file.%s\n' ${kind//,/ } >>"$conf" ;;
    log-fifo*) log_to_file "$root" DEBUG; mkfifo "$root/tmp/qorid.log" ;;
    conversions) printf "$pattern" "$(printf '%%p%.0s' {1..33})" >"$conf" ;;
    messages) printf "$pattern" '%m%m%m%m%m' >"$conf" ;;
    appenders) printf 'log4cpp.appender.a%s=FileAppender\n' {1..9} >"$conf" ;;
  esac
  # A FIFO that something holds open for reading (and never reads).
  holder=()
  [ "$kind" = log-fifo-read ] && holder=(bash -c 'exec 3<>/tmp/qorid.log; exec "$0"')
  run "$root" "${holder[@]}" "$QORID"
  check "$kind: exit status" 0 "$status"
  check "$kind: output" "-1" "$out"
  check "$kind: refused" "nolt: ignoring logging configuration /etc/qorid.conf: $reason" \
    "$(head -n 1 "$WORK/err")"
  check "$kind: then the default" \
    "qorid ERROR: The possible alias is not a real name or alias of any identity" \
    "$(sed -n 2p "$WORK/err")"
done <<'CASES'
fifo|a FIFO, not a regular file
directory|a directory, not a regular file
device|a device, not a regular file
large|larger than 65536 bytes
dots|line 2 is longer than 4096 bytes
levels|line 2: a category name of more than 32 levels
hidden|line 2: a category name of more than 32 levels
width|line 4: a width over 1024 in the pattern
doubling|line 2: the value is longer than 4096 bytes with its variables substituted
maxBackupIndex=-1,maxFileSize=0|appender file: maxBackupIndex -1 is not from 0 to 100
maxBackupIndex=2147483647|appender file: maxBackupIndex 2147483647 is not from 0 to 100
maxBackupIndex=101|appender file: maxBackupIndex 101 is not from 0 to 100
maxFileSize=0|appender file: maxFileSize 0 is below 4096 bytes
maxFileSize=4095|appender file: maxFileSize 4095 is below 4096 bytes
maxFileSize=4294967396|appender file: maxFileSize 4294967396 is above 2147483647 bytes
log-fifo|appender file: /tmp/qorid.log is a FIFO: opening or writing it could wait
log-fifo-read|appender file: /tmp/qorid.log is a FIFO: opening or writing it could wait
conversions|line 4: more than 32 conversions in the pattern
messages|line 4: more than 4 %m in the pattern
appenders|more than 8 appenders
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
