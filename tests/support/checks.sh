# Counting checks in the shell tests, sourced by each test's helpers.
# Each test ends with `finish`, which prints "N passed, N failed".

passed=0
failed=0

pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*" >&2; }

# check NAME EXPECTED ACTUAL: exact comparison of two texts.
check() {
  if [ "$2" == "$3" ]; then pass; else
    fail "$1"; printf '  expected: %q\n  actual:   %q\n' "$2" "$3" >&2
  fi
}

finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit $?
}
