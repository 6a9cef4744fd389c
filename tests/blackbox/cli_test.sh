# The command line: help text, exit statuses, option prefixes, unknown options.
source "$(dirname "$0")/harness.sh"

help=$(cat "$FIXTURES/expected/help.txt"; echo x)
for args in "-h" "--help" "--he" "-l -h" "-h -l" "-v --help --bogus" "--exec -h" "-j -h" "-x -h"; do
  # shellcheck disable=SC2086
  out=$("$QORID" $args 2>"$WORK/err"; echo "x")
  status=$("$QORID" $args >/dev/null 2>&1; echo $?)
  check "help text for: $args" "$help" "$out"
  check "help status for: $args" 0 "$status"
done

plain=$("$QORID" 2>/dev/null)
status=$?
check "plain run exits 0" 0 "$status"
case "$plain" in
  -1 | [0-9]*) pass ;;
  *) fail "plain run prints a number: $plain" ;;
esac

verbose=$("$QORID" --verbose 2>/dev/null)
check "--verb is --verbose" "$verbose" "$("$QORID" --verb 2>/dev/null)"
check "-v is --verbose" "$verbose" "$("$QORID" -v 2>/dev/null)"
check "--verbose starts with the number" "$plain - " "${verbose:0:$((${#plain} + 3))}"

out=$("$QORID" --bogus 2>"$WORK/err")
status=$?
check "unknown option is ignored" "$plain" "$out"
check "unknown option exits 0" 0 "$status"
check "getopt reports the unknown option" \
  "$QORID: unrecognized option '--bogus'" "$(head -n 1 "$WORK/err")"

out=$("$QORID" -z -v 2>"$WORK/err")
check "unknown short option is dropped" "$verbose" "$out"
check "getopt reports the short option" \
  "$QORID: invalid option -- 'z'" "$(head -n 1 "$WORK/err")"

"$QORID" --ver >/dev/null 2>&1 # --verbose and no other --ver...: unambiguous
check "--ver is accepted" 0 $?

# --json takes the place of --list, and is refused with --exec as --list is.
json=$("$QORID" --json 2>/dev/null)
check "--json exits 0" 0 $?
for args in "-j" "--j" "--json --list -v"; do
  # shellcheck disable=SC2086
  check "$args is --json" "$json" "$("$QORID" $args 2>/dev/null)"
done
check "--json is one JSON document" "" \
  "$(python3 -c 'import json,sys; json.loads(sys.stdin.read())' <<<"$json" 2>&1)"
# --export takes the place of --list and yields to --json.
export=$("$QORID" --export 2>/dev/null)
check "--export exits 0" 0 $?
for args in "-x" "--exp" "--export --list -v"; do
  # shellcheck disable=SC2086
  check "$args is --export" "$export" "$("$QORID" $args 2>/dev/null)"
done
check "-x -j is --json" "$json" "$("$QORID" -x -j 2>/dev/null)"
for args in "--json --exec env" "-s x.sh -j" "-l -j -e" "-x -e env" "--ex env --export"; do
  # shellcheck disable=SC2086
  out=$("$QORID" $args 2>"$WORK/err")
  check "$args: status" 255 $?
  check "$args: refused" "We cannot list and execute at the same time" "$out"
done

# Output that cannot be written is an error of its own: one line, status 1,
# whether the device is full or descriptor 1 was closed from the start.
for args in "" "-v" "--list" "--help" "-e" "-l -e" "--json" "--export"; do
  # shellcheck disable=SC2086
  "$QORID" $args >/dev/full 2>"$WORK/err"
  check "${args:-plain} to a full device: status" 1 $?
  check "${args:-plain} to a full device: said" "qorid: write error: No space left on device" \
    "$(tail -n 1 "$WORK/err")"
  # shellcheck disable=SC2086
  "$QORID" $args >&- 2>"$WORK/err"
  check "${args:-plain} with output closed: status" 1 $?
  check "${args:-plain} with output closed: said" "qorid: write error: Bad file descriptor" \
    "$(tail -n 1 "$WORK/err")"
done
# A command writes for itself: it finds descriptor 1 closed, as qorid did.
out=$("$QORID" -e -- bash -c '[ -e /proc/self/fd/1 ] && echo open >&2 || echo closed >&2' 2>&1 >&-)
check "exec with output closed: status" 0 $?
check "exec with output closed: the command finds it closed" closed "$out"
# A reader that has gone ends qorid by SIGPIPE, as any writer to a pipe.
perl -e 'pipe(my $r, my $w) or die; close $r; open(STDOUT, ">&", $w) or die;
  $SIG{PIPE} = "DEFAULT"; exec @ARGV or die' "$QORID" --list 2>/dev/null
check "no reader: ended by SIGPIPE" 141 $?

finish
