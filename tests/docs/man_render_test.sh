# Each man page given renders with groff -ww (every warning on) without a
# word on standard error; where mandoc is installed, its lint finds no
# warning either.
# Usage: bash man_render_test.sh PAGE...
source "$(dirname "$0")/common.sh"

if ! command -v groff >/dev/null; then
  echo "FAIL: groff is not installed (Debian package groff-base)" >&2
  exit 1
fi
[ $# -gt 0 ] || { fail "no man page given"; finish; }

for page in "$@"; do
  name=$(basename "$page")
  if [ ! -s "$page" ]; then
    fail "$name: missing or empty"
    continue
  fi
  groff -ww -z -man "$page" 2>"$WORK/err"
  check "$name: groff exit status" 0 $?
  check "$name: groff warnings" "" "$(cat "$WORK/err")"
  # A page that groff reads as something other than a man page renders to
  # nothing: make sure the title and the sections came out.
  text=$(groff -man -Tutf8 -P-cbou "$page" 2>/dev/null)
  for section in NAME SYNOPSIS DESCRIPTION "SEE ALSO"; do
    if grep -q "^$section\$" <<<"$text"; then pass; else
      fail "$name: no $section section in the rendered page"
    fi
  done
  if command -v mandoc >/dev/null; then
    mandoc -T lint -W warning "$page" >"$WORK/lint" 2>&1
    check "$name: mandoc lint" "" "$(cat "$WORK/lint")"
  fi
done
command -v mandoc >/dev/null || echo "note: mandoc is not installed, lint not run"

finish
