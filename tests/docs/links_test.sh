# The links between the pages: every relative link of a Markdown page names
# a file of the tree and, after a #, a heading of that page, as the
# repository's web view makes its anchors (lower case, punctuation but - and
# _ dropped, blanks as -).
# Usage: bash links_test.sh PAGE...
source "$(dirname "$0")/common.sh"
[ $# -gt 0 ] || { fail "no page given"; finish; }

# The page's links, one "LINE TARGET" a line, code spans and blocks left out.
links() {
  python3 - "$1" <<'EOF'
import re, sys
fence = False
for number, line in enumerate(open(sys.argv[1], encoding="utf-8"), 1):
    if line.startswith("```"):
        fence = not fence
        continue
    if fence:
        continue
    line = re.sub(r"`[^`]*`", "", line)
    for target in re.findall(r"\]\(([^)\s]+)\)", line):
        print(number, target)
EOF
}

# anchors PAGE: the anchors of the page's headings, one a line.
anchors() {
  python3 - "$1" <<'EOF'
import re, sys
fence = False
for line in open(sys.argv[1], encoding="utf-8"):
    if line.startswith("```"):
        fence = not fence
    elif not fence and re.match(r"#{1,6} ", line):
        title = line.lstrip("#").strip().lower()
        print(re.sub(r"[^\w\- ]", "", title).replace(" ", "-"))
EOF
}

for page in "$@"; do
  name=$(basename "$page")
  [ -s "$page" ] || { fail "$name: missing or empty"; continue; }
  count=0
  while read -r number target; do
    count=$((count + 1))
    case $target in http://* | https://* | mailto:*) pass; continue ;; esac
    file=${target%%#*} anchor=
    [[ $target == *#* ]] && anchor=${target#*#}
    if [ -z "$file" ]; then file=$page; else file=$(dirname "$page")/$file; fi
    if [ ! -e "$file" ]; then
      fail "$name:$number: $target: no such file"
    elif [ -n "$anchor" ] && ! grep -qxF -- "$anchor" <<<"$(anchors "$file")"; then
      fail "$name:$number: $target: no such heading in $(basename "$file")"
    else
      pass
    fi
  done < <(links "$page")
  [ "$count" -gt 0 ] || fail "$name: no links found"
done

finish
