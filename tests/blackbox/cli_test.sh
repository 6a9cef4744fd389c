# What qorid does with its descriptors: output that cannot be written, a
# command run with descriptor 1 closed, a reader that has gone. The command
# line's rules are the unit tests' (tool_test.cpp), its runs case folders
# (tests/fixtures/cases).
source "$(dirname "$0")/harness.sh"

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
