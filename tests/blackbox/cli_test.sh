# The command line: help text, exit statuses, option prefixes, unknown options.
source "$(dirname "$0")/harness.sh"

help=$(cat "$FIXTURES/expected/help.txt"; echo x)
for args in "-h" "--help" "--he" "-l -h" "-h -l" "-v --help --bogus" "--exec -h"; do
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

out=$("$QORID" -x -v 2>"$WORK/err")
check "unknown short option is dropped" "$verbose" "$out"
check "getopt reports the short option" \
  "$QORID: invalid option -- 'x'" "$(head -n 1 "$WORK/err")"

"$QORID" --ver >/dev/null 2>&1 # --verbose and no other --ver...: unambiguous
check "--ver is accepted" 0 $?

finish
