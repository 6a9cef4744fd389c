# Each board fixture, seen by the tool as its whole system: the number, the
# number and name with --verbose, the parameters with --list, byte for
# byte, and both as JSON with --json. The device-tree walk follows the directory's own order, so the node's
# parameters are compared as a set; the board's two come first and the WAN
# identifier last.
source "$(dirname "$0")/harness.sh"
require_sandbox

for board in "$FIXTURES"/boards/*/; do
  board=${board%/}
  name=$(basename "$board")
  arch=$(cat "$board/arch" 2>/dev/null || true)
  if [ -z "$arch" ] && [ "$(uname -m)" != x86_64 ]; then
    echo "skipping $name: it needs an x86_64 host"
    continue
  fi
  root=$(new_root "$name" "$board")
  net=
  [ -f "$board/net" ] && net=$board/net
  for mode in number verbose list json; do
    args=()
    [ "$mode" = number ] || args=(--$mode)
    NET_SETUP=$net in_sandbox "$root" $arch -- "$QORID" "${args[@]}" \
      >"$WORK/$name.$mode" 2>"$WORK/$name.err"
    check "$name: $mode exit status" 0 $?
    if [ "$mode" = json ]; then
      # Read with a JSON parser: the board's identity as expected, the
      # parameters those that --list printed, byte for byte.
      out=$(python3 "$SOURCE_DIR/tests/support/json_check.py" "$WORK/$name.json" \
        "$WORK/$name.list" "$board/expected/verbose" "$board/expected/json")
      check "$name: json" "" "$out"
      continue
    fi
    if [ "$mode" != list ]; then
      check_file "$name: $mode output" "$board/expected/$mode" "$WORK/$name.$mode"
      continue
    fi
    expected=$board/expected/list actual=$WORK/$name.list
    check_file "$name: list as a set" <(sort "$expected") <(sort "$actual")
    check_file "$name: list starts with the board" <(head -n 2 "$expected") <(head -n 2 "$actual")
    check_file "$name: list ends alike" <(tail -n 1 "$expected") <(tail -n 1 "$actual")
    check "$name: no system-call errors" "" "$(grep -E '^(socket|ioctl)' "$WORK/$name.err")"
  done
done

finish
