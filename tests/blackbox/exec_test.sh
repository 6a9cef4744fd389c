# --exec and --script on a PC board: the environment the command gets, the
# messages and exit statuses, and which options belong to the tool.
# shellcheck disable=SC2016 # single-quoted: code for the shell in the sandbox
source "$(dirname "$0")/harness.sh"
require_sandbox

# `exec_test.sh QORID BUILD needs-root`: only the publication into a file
# system of its own, which a loop mount needs root for (ctest label
# needs-root): an ext4 of 16 inodes, whose next file after the published
# pair is removed takes an inode number that pair had. An administrator's
# file of that number is still never taken for the publisher's.
if [ "${3:-}" = needs-root ]; then
  [ "$(id -u)" -eq 0 ] || { echo "FAIL: needs-root: run as root" >&2; exit 1; }
  root=$(new_root inodes "$DUMPS/armv7-dt-carrier")
  mkdir -p "$WORK/image/d"
  truncate -s 2M "$WORK/inodes.ext4"
  mke2fs -q -t ext4 -N 16 -d "$WORK/image" "$WORK/inodes.ext4" ||
    { echo "FAIL: mke2fs -d cannot make the image (package e2fsprogs)" >&2; exit 1; }
  cp "$WORK/inodes.ext4" "$root/tmp/"
  run "$root" sh -c 'mkdir /tmp/m && mount -o loop /tmp/inodes.ext4 /tmp/m || exit 9
    "$0" /tmp/m/d && ino=$(stat -c %i /tmp/m/d/parameters.env) && rm /tmp/m/d/*
    echo mine >/tmp/m/d/parameters.env; i=0; while touch /tmp/m/fill$i 2>/dev/null; do i=$((i + 1)); done
    [ "$(stat -c %i /tmp/m/d/parameters.env)" = "$ino" ] && echo reused
    "$0" /tmp/m/d; echo $?; cat /tmp/m/d/parameters.env; umount /tmp/m' "$BUILD_DIR/tool/qorid-publish"
  check "publish: an administrator's file on a reused inode stays" \
    "reused|1|mine|qorid-publish: will not replace /tmp/m/d/parameters.env: not written by qorid-publish; nothing new is published in /tmp/m/d; left there: parameters.env (not written by qorid-publish)" \
    "$(paste -sd '|' <<<"$out")|$err"
  finish
fi

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
# print after the publisher's mark, 0644; a folder it makes is 0755, one
# that is there keeps its mode. A failure leaves the folder as it was, the
# earlier pair or nothing, and says what is there; a file without the mark
# (an administrator's own, a folder) is never replaced; two runs in one
# folder never interleave.
PUBLISH=$BUILD_DIR/tool/qorid-publish
publish_in() { run "$root" sh -c "$1"' && exec "$0" "$@"' "$PUBLISH" "${@:2}"; }
run "$root" "$QORID" --export
{ printf '# Written by qorid-publish; the next publication replaces this file.\n'; cat "$WORK/out"; } \
  >"$WORK/expected.env"
run "$root" "$QORID" --json
{ printf '{"publisher":"qorid-publish",'; tail -c +2 "$WORK/out"; } >"$WORK/expected.json"
chmod 1777 "$root/tmp"
publish_in : /run/qorid
check "publish: status, nothing said" "0|" "$status|$err"
check_file "publish: parameters.env is the mark and what --export prints" "$WORK/expected.env" "$root/run/qorid/parameters.env"
check_file "publish: board.json is what --json prints, marked" "$WORK/expected.json" "$root/run/qorid/board.json"
check "publish: the modes, and nothing else in the folder" "755|644|644|board.json parameters.env" \
  "$(stat -c %a "$root/run/qorid" "$root"/run/qorid/{parameters.env,board.json} | paste -sd '|')|$(ls -A "$root/run/qorid" | paste -sd ' ')"
publish_in 'mkdir -m 1777 /tmp/sticky' /tmp/sticky
check "publish: a folder that is there keeps its mode" "0|1777" "$status|$(stat -c %a "$root/tmp/sticky")"
publish_in : /etc/known_qor_ids/x
check "publish: no folder" "1|qorid-publish: cannot make /etc/known_qor_ids/x: Not a directory; nothing is published in /etc/known_qor_ids/x" "$status|$err"
earlier="left there: parameters.env (published earlier), board.json (published earlier)"
# A full folder: the earlier pair stays, this run's files go.
full='mkdir -p /tmp/full && mount -t tmpfs -o size=16k full /tmp/full && mkdir /tmp/full/d &&
  "$0" /tmp/full/d && '
fill='{ head -c 20000 /dev/zero >/tmp/full/filler 2>/dev/null || :; }'
run "$root" sh -c "$full$fill"' && cp -a /tmp/full/d /tmp/before && { "$0" /tmp/full/d; echo $?; } &&
  diff -r /tmp/before /tmp/full/d && echo same' "$PUBLISH"
check "publish: a full folder fails and keeps the earlier pair" "1|same|qorid-publish: cannot write /tmp/full/d/.parameters.env.XXXXXX: No space left on device; nothing new is published in /tmp/full/d; $earlier" \
  "$(paste -sd '|' <<<"$out")|$(sed 's/env\.[A-Za-z0-9]\{6\}:/env.XXXXXX:/' <<<"$err")"
# A system call that fails on the way, before or after the first of the
# two exchanges: the earlier pair stays, this run's files go.
while IFS='|' read -r what inject reason; do
  run "$root" sh -c 'mkdir -p /tmp/f && "$0" /tmp/f && cp -a /tmp/f /tmp/f-before &&
    { env ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" strace -f -qq -o /dev/null -e inject='"$inject"' "$0" /tmp/f; echo $?; } &&
    diff -r /tmp/f-before /tmp/f && echo same; rm -rf /tmp/f /tmp/f-before' "$PUBLISH"
  check "publish: $what: the earlier pair stays" \
    "1|same|qorid-publish: $reason; nothing new is published in /tmp/f; $earlier" \
    "$(paste -sd '|' <<<"$out")|$(sed 's/\.\([a-z]*\.[a-z]*\)\.[A-Za-z0-9]\{6\}/.\1.XXXXXX/g' <<<"$err")"
done <<'ROWS'
fdatasync fails|fdatasync:error=EIO:when=2|cannot write /tmp/f/.board.json.XXXXXX: Input/output error
the second exchange fails|renameat2:error=EXDEV:when=2|cannot exchange /tmp/f/.board.json.XXXXXX and /tmp/f/board.json: Invalid cross-device link
ROWS
# A name that holds what the publisher did not write stops it at once.
while IFS='|' read -r what setup left; do
  run "$root" sh -c 'mkdir -p /tmp/own && '"$setup"' && cp -a /tmp/own /tmp/own-before &&
    { "$0" /tmp/own; echo $?; } && diff -r /tmp/own-before /tmp/own && echo same; rm -rf /tmp/own*' "$PUBLISH"
  check "publish: $what: nothing replaced" "1|same|qorid-publish: will not replace /tmp/own/$left" \
    "$(paste -sd '|' <<<"$out")|$err"
done <<'ROWS'
an administrator's parameters.env and a folder board.json|echo mine >/tmp/own/parameters.env && mkdir /tmp/own/board.json|parameters.env: not written by qorid-publish; nothing new is published in /tmp/own; left there: parameters.env (not written by qorid-publish), board.json (a folder)
an administrator's board.json beside an earlier parameters.env|"$0" /tmp/own && rm /tmp/own/board.json && echo mine >/tmp/own/board.json|board.json: not written by qorid-publish; nothing new is published in /tmp/own; left there: parameters.env (published earlier), board.json (not written by qorid-publish)
a link to an earlier file|"$0" /tmp/own && mv /tmp/own/board.json /tmp/b && ln -s /tmp/b /tmp/own/board.json|board.json: a symbolic link; nothing new is published in /tmp/own; left there: parameters.env (published earlier), board.json (a symbolic link)
ROWS
# A read-only folder: nothing can be written, the earlier pair stays.
publish_in 'mkdir -p /tmp/ro && "$0" /tmp/ro && mount --bind /tmp/ro /tmp/ro && mount -o remount,bind,ro /tmp/ro' /tmp/ro
check "publish: a read-only folder" "1|qorid-publish: cannot write into /tmp/ro: Read-only file system; nothing new is published in /tmp/ro; $earlier" "$status|$err"
# Two runs in one folder: the second waits for the first, which strace holds
# back between its two renames, and publishes after it; stopped there
# instead, the first puts the earlier pair back, and the second then
# publishes its own. The board changes between the runs: the number tells
# whose pair the folder holds.
two_runs='set -e; boardid=/proc/device-tree/morvane/boardid; echo 1 >$boardid; "$0" /tmp/two
  echo 2 >$boardid
  env ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" strace -f -qq -o /dev/null -e inject=renameat2:delay_enter=1500000:when=2 "$0" /tmp/two 2>/tmp/first.err & first=$!
  sleep 0.5; echo 3 >$boardid
  "$0" /tmp/two & second=$!
  sleep 0.5; [ "$1" = stop ] && kill -TERM $(cat /proc/$first/task/$first/children)
  status=0; wait $first || status=$?; echo "first $status $(cat /tmp/first.err)"
  wait $second && echo second 0
  sed -n "s/^QOR_ID=//p" /tmp/two/parameters.env; grep -o "\"number\":[0-9]*" /tmp/two/board.json; ls -A /tmp/two
  rm -rf /tmp/two /tmp/first.err'
run "$root" bash -c "$two_runs" "$PUBLISH" go
check "publish: a second run waits for the first, then publishes" \
  "first 0 |second 0|'3'|\"number\":3|board.json|parameters.env" "$(paste -sd '|' <<<"$out")"
run "$root" bash -c "$two_runs" "$PUBLISH" stop
check "publish: the first stopped, the earlier pair back; the second publishes" \
  "first 1 qorid-publish: interrupted; nothing new is published in /tmp/two; $earlier|second 0|'3'|\"number\":3|board.json|parameters.env" \
  "$(paste -sd '|' <<<"$out")"
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
