# Each board fixture, seen by the tool as its whole system: the number, and
# the number and name with --verbose, byte for byte.
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
  for mode in number verbose; do
    args=()
    [ "$mode" = verbose ] && args=(--verbose)
    in_sandbox "$root" $arch -- "$QORID" "${args[@]}" >"$WORK/$name.$mode" 2>"$WORK/$name.err"
    check "$name: $mode exit status" 0 $?
    check_file "$name: $mode output" "$board/expected/$mode" "$WORK/$name.$mode"
  done
done

finish
