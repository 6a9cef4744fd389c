# --exec and --script on a PC board: the environment the command gets, the
# messages and exit statuses, and which options belong to the tool.
# shellcheck disable=SC2016 # single-quoted: code for the shell in the sandbox
source "$(dirname "$0")/harness.sh"
require_sandbox

root=$(new_root pc "$DUMPS/x86_64-pc-one-card")
list=$(cat "$DUMPS/x86_64-pc-one-card/expected.list")

run "$root" "$QORID" --exec env
check "exec env: status" 0 "$status"
check "exec env: every parameter" "$(sort <<<"$list")" "$(grep '^QOR_' <<<"$out" | sort)"

# A NAME=VALUE longer than the kernel passes in one string (131,071 bytes
# and its NUL) is left out and said; everything else reaches the command.
# All parameters together take at most 1 MiB: those past it are left out
# and said, and the exec goes on. --export leaves out the same ones.
pc=$root
root=$(new_root long)
node=$root/proc/device-tree/morvane
mkdir -p "$node"
printf '5' >"$node/boardid"
head -c 131062 /dev/zero | tr '\0' e >"$node/edge"   # QOR_EDGE=... is 131,071 bytes
head -c 131063 /dev/zero | tr '\0' s >"$node/serial"
run "$root" "$QORID" -e -- sh -c 'echo "$QOR_ID|${#QOR_EDGE}|${QOR_SERIAL-unset}"'
check "long value: the command runs without it" "5|131062|unset" "$out"
check "long value: said" "qorid: QOR_SERIAL left out of the environment: value too long" "$err"
run "$root" "$QORID" --list
check "long value: listed whole" 131063 "$(sed -n 's/^QOR_SERIAL=//p' "$WORK/out" | tr -d '\n' | wc -c)"
for i in $(seq 1 24); do head -c 100000 /dev/zero | tr '\0' b >"$node/big$i"; done
run "$root" bash -c 'ulimit -s 8192; exec "$0" -e -- sh -c "env | grep -c ^QOR_"' "$QORID"
exported=$out
left_out=$(grep -c '^qorid: QOR_[A-Z0-9]* left out of the environment: \(value too long\|over the 1048576 bytes all parameters may take\)$' <<<"$err")
check "many large values: the command runs with those within 1 MiB, the rest said" "0|29" \
  "$status|$((exported + left_out))"
log_to_file "$root" WARN
run "$root" "$QORID" --export
check "many large values: --export leaves out what --exec does" "$exported" "$(grep -c '^QOR_' <<<"$out")"
check "many large values: each said in the log" "$left_out" \
  "$(grep -c "^WARN $(log_text kLeftOutOfExport)"'QOR_[A-Z0-9]*: \(value too long\|over the 1048576 bytes all parameters may take\)$' "$root/tmp/qorid.log")"
rm "$root/etc/qorid.conf"
# The caller's own environment still counts: too large with it, the exec
# fails and says why.
run "$root" bash -c 'ulimit -s 8192; for i in $(seq 12); do export F$i=$(head -c 100000 /dev/zero | tr "\0" f); done
  exec "$0" -e true' "$QORID"
check "environment too large: status 255" 255 "$status"
check "environment too large: said" "qorid: true: Argument list too long" "$(tail -n 1 <<<"$err")"

# --export: what --exec puts in the environment, as assignments that dash,
# bash and busybox read back byte for byte under the C, UTF-8 and CJK
# locales (where a byte of 0x80 or more may take the next for the second
# byte of one character), and no byte of a value runs a command. Values
# that are not UTF-8, or that systemd refuses (a noncharacter), are left
# out, and said in the log; a name that is no shell name too. Of a name
# given twice only the value --exec keeps, the later one, is written: where
# that one is left out, so is the name. Every byte from 0x01 to 0xFF but the
# newline stands in a value.
locales=$BUILD_DIR/tests/locales
mkdir -p "$locales"
for l in zh_TW.BIG5:BIG5:zh_TW zh_CN.GBK:GBK:zh_CN ja_JP.SJIS:SHIFT_JIS:ja_JP; do
  IFS=: read -r name charmap source <<<"$l"
  [ -d "$locales/$name" ] || localedef -c -f "$charmap" -i "$source" "$locales/$name" 2>/dev/null
  [ -d "$locales/$name" ] || { echo "FAIL: localedef cannot make $name (package locales)" >&2; exit 1; }
done
root=$(new_root export)
node=$root/proc/device-tree/morvane
mkdir -p "$node/sub"
printf '7' >"$node/boardid"
printf 'a "quoted" $HOME `id` \\back\\slash \\$ \\" '"'"'\0after the NUL' >"$node/odd"
python3 - "$node" <<'PY'
import sys
node = sys.argv[1]
ascii = bytes(b for b in range(1, 128) if b != 10)
# Every byte that UTF-8 uses, each lead byte followed at once by a byte the
# shells give a meaning to.
codes = [*range(0x80, 0x800, 0x40), 0x800, *range(0x17F0, 0x10000, 0x1000), *range(0x10000, 0x110000, 0x40000)]
utf8 = "".join(chr(c) + s for c in codes for s in "'\"$`\\").encode() + "".join(map(chr, range(0x80, 0xC0))).encode()
attack = "€$(touch /tmp/PWNED)ｿ`touch /tmp/PWNED`ｿ'$(touch /tmp/PWNED)'\\".encode()
for name, value in (("ascii", ascii), ("utf8", utf8), ("attack", attack),
                    ("binary", bytes([0xFE, 0x2A, 0, 0])),
                    ("bytes", bytes(range(0xC0, 0x100)) + b"\0")):
    open(f"{node}/{name}", "wb").write(value)
PY
printf 'x\0' >"$node/board-rev.2"
: >"$root/etc/known_qor_ids"
printf 'first\0' >"$node/dup"
printf 'second\0' >"$node/sub/dup"
# Whichever of the two comes last in the walk, one name keeps "ok" and the
# other a value that is not UTF-8.
printf 'ok' >"$node/rep"; printf '\376' >"$node/sub/rep"
printf '\376' >"$node/rep2"; printf 'ok' >"$node/sub/rep2"
printf '\357\277\276' >"$node/nonchar"
log_to_file "$root" WARN
run "$root" "$QORID" --export
check "--export: status" 0 "$status"
left_out_text=$(log_text kLeftOutOfExport)
cp "$WORK/out" "$root/tmp/parameters.env"
check "--export: no name that is no shell name, no value that is not UTF-8 or has a noncharacter" 0 \
  "$(grep -acE '^(QOR_BOARD-REV|QOR_BINARY|QOR_BYTES|QOR_NONCHAR)' "$root/tmp/parameters.env")"
check "--export: one line of a name given twice" 1 "$(grep -ac '^QOR_DUP=' "$root/tmp/parameters.env")"
check "--export: of a name whose kept value is left out, no other value" "1|'ok'" \
  "$(grep -acE '^QOR_REP2?=' "$root/tmp/parameters.env")|$(sed -n 's/^QOR_REP2\{0,1\}=//p' "$root/tmp/parameters.env")"
check "--export: what is left out is said in the log" \
  "WARN ${left_out_text}QOR_BINARY: value not UTF-8
WARN ${left_out_text}QOR_BOARD-REV.2 is not a shell variable name
WARN ${left_out_text}QOR_BYTES: value not UTF-8
WARN ${left_out_text}QOR_NONCHAR: value holds a Unicode noncharacter, which systemd refuses
WARN ${left_out_text}QOR_REP: value not UTF-8" \
  "$(sed 's/QOR_REP2:/QOR_REP:/' "$root/tmp/qorid.log" | LC_ALL=C sort)"
rm "$root/etc/qorid.conf"
# The variables of `env` in $WORK/out that --export assigns.
exported_names=$(grep -aoE '^[A-Za-z_][A-Za-z0-9_]*=' "$root/tmp/parameters.env" | tr -d = | paste -sd '|')
shell_names() { grep -aE "^($exported_names)=" "$WORK/out" | LC_ALL=C sort; }
run "$root" "$QORID" --exec env
shell_names >"$WORK/exec.env"
for sh in dash bash "bash --posix" "busybox sh"; do
  for locale in C C.UTF-8 zh_TW.BIG5 zh_CN.GBK ja_JP.SJIS; do
    run "$root" env LOCPATH="$locales" LC_ALL="$locale" $sh -c \
      'set -a; . /tmp/parameters.env; exec env'
    check_file "--export read back by $sh under $locale is what --exec gives" "$WORK/exec.env" \
      <(shell_names)
    check "--export under $sh $locale: no value runs a command" "" "$(ls "$root/tmp" | grep PWNED)"
  done
done
# qorid-publish: both files from one collection, what --export and --json
# print, 0644; a folder it makes is 0755, one that is there keeps its mode.
# A failure leaves none of its files, of this run or an earlier one, and
# says what is left; a file it did not write is never removed.
PUBLISH=$BUILD_DIR/tool/qorid-publish
publish_in() { run "$root" sh -c "$1"' && exec "$0" "$@"' "$PUBLISH" "${@:2}"; }
for option in --export --json; do
  run "$root" "$QORID" "$option"
  cp "$WORK/out" "$WORK/expected$option"
done
chmod 1777 "$root/tmp"
publish_in : /run/qorid
check "publish: status, nothing said" "0|" "$status|$err"
check_file "publish: parameters.env is what --export prints" "$WORK/expected--export" "$root/run/qorid/parameters.env"
check_file "publish: board.json is what --json prints" "$WORK/expected--json" "$root/run/qorid/board.json"
check "publish: the modes" "755|644|644" \
  "$(stat -c %a "$root/run/qorid" "$root"/run/qorid/{parameters.env,board.json} | paste -sd '|')"
publish_in : /tmp
check "publish: a folder that is there keeps its mode" "0|1777" "$status|$(stat -c %a "$root/tmp")"
publish_in : /etc/known_qor_ids/x
check "publish: no folder" "1|qorid-publish: cannot make /etc/known_qor_ids/x: Not a directory; nothing is published in /etc/known_qor_ids/x" "$status|$err"
# A full folder: the earlier pair goes with this run's files; a file it did
# not write stays, and is named.
full='mkdir -p /tmp/full && mount -t tmpfs -o size=16k full /tmp/full && mkdir /tmp/full/d &&
  "$0" /tmp/full/d && '
fill='{ head -c 20000 /dev/zero >/tmp/full/filler 2>/dev/null || :; }'
publish_in "$full$fill" /tmp/full/d
check "publish: a full folder fails" "1|qorid-publish: cannot write /tmp/full/d/.parameters.env.XXXXXX: No space left on device; nothing is published in /tmp/full/d" \
  "$status|$(sed 's/env\.[A-Za-z0-9]\{6\}:/env.XXXXXX:/' <<<"$err")"
run "$root" sh -c "$full"' rm /tmp/full/d/board.json && echo mine >/tmp/full/d/board.json && '"$fill"'
  "$0" /tmp/full/d; echo $?; ls -A /tmp/full/d' "$PUBLISH"
check "publish: a full folder leaves only what it did not write" "1|board.json|qorid-publish: cannot write /tmp/full/d/.parameters.env.XXXXXX: No space left on device; nothing new is published in /tmp/full/d; left there: board.json (not written by qorid-publish)" \
  "$(paste -sd '|' <<<"$out")|$(sed 's/env\.[A-Za-z0-9]\{6\}:/env.XXXXXX:/' <<<"$err")"
# A read-only folder: nothing can be removed either, and that is said.
publish_in 'mkdir -p /tmp/ro && "$0" /tmp/ro && mount --bind /tmp/ro /tmp/ro && mount -o remount,bind,ro /tmp/ro' /tmp/ro
check "publish: a read-only folder" "1|qorid-publish: cannot write into /tmp/ro: Read-only file system; nothing new is published in /tmp/ro; left there: parameters.env (cannot be removed: Read-only file system), board.json (cannot be removed: Read-only file system)" "$status|$err"
root=$pc

# The command inherits what the caller handed qorid (here also descriptor
# 7) and nothing that qorid or its logging opened, also when the log file
# is reopened on the way (rolled over at every line: each line is padded
# past the smallest size allowed): the wrapper lists its descriptors,
# becomes qorid, which becomes a shell that lists them again.
for appender in FileAppender RollingFileAppender; do
  log_to_file "$root" DEBUG "$appender" /tmp/qorid.log '%-1024m%-1024m%-1024m%-1024m%n'
  echo log4cpp.appender.file.maxFileSize=4096 >>"$root/etc/qorid.conf"
  rm -f "$root"/tmp/qorid.log*
  run "$root" bash -c 'exec 7</dev/null; ls /proc/$$/fd; echo --
    exec "$0" -e -- bash -c "ls /proc/\$\$/fd; :"' "$QORID"
  command_fds=$(sed '1,/^--$/d' <<<"$out")
  check "$appender: the command's descriptors are the caller's" \
    "$(sed '/^--$/,$d' <<<"$out")" "$command_fds"
  check "$appender: the caller's descriptor 7 is kept" 1 "$(grep -cx 7 <<<"$command_fds")"
  check "$appender: the log was written" yes \
    "$([ -n "$(find "$root/tmp" -name 'qorid.log*' -size +0)" ] && echo yes)"
done
check "the rolling log rolled over" yes "$([ -s "$root/tmp/qorid.log.1" ] && echo yes)"
rm "$root/etc/qorid.conf"

finish
