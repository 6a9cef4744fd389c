# qorid(1) documents every option the built tool has, and no other: each
# "--long -s" pair of the tool's --help output, and each "--long ARG" of an
# option that has no short form, must be the tag of an entry (.TP) in the
# OPTIONS section of the man page source (the argument in any case).
# Usage: bash man_options_test.sh PATH/TO/qorid PATH/TO/qorid.1
source "$(dirname "$0")/common.sh"

QORID=${1:?path to the qorid binary}
PAGE=${2:?path to qorid.1}

help=$("$QORID" --help) || fail "qorid --help exits non-zero"
# The option lines of the help text: "--verbose -v Verbose output".
declare -A short_of=() argument_of=()
while IFS= read -r line; do
  if [[ $line =~ ^(--[a-z][a-z-]*)\ (-[a-zA-Z])\  ]]; then
    short_of[${BASH_REMATCH[1]}]=${BASH_REMATCH[2]}
  elif [[ $line =~ ^(--[a-z][a-z-]*)\ ([A-Z]+)\  ]]; then
    argument_of[${BASH_REMATCH[1]}]=${BASH_REMATCH[2],,}
  else
    fail "help line that names no option pair: $line"
  fi
done < <(grep -- '^-' <<<"$help")
if [ ${#short_of[@]} -eq 0 ]; then
  fail "no options found in the --help output"
fi

# The tags of the OPTIONS section, with \- as - and font changes and
# quotes taken out: ".BR \-v ", " \-\-verbose" becomes " -v ,  --verbose".
tags=$(awk '
  /^\.SH/ { in_options = ($0 ~ /^\.SH "?OPTIONS"?$/); next }
  in_options && tag { print; tag = 0; next }
  in_options && /^\.TP/ { tag = 1 }
' "$PAGE" | sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/^\.[A-Z]*//' -e 's/[",]/ /g')
if [ -z "$tags" ]; then
  fail "no tagged entries in the OPTIONS section of $PAGE"
fi

# Every option pair of the tool is one tag of the page.
has_word() { grep -Eq -- "(^| )$1( |\$)"; }
for long in "${!short_of[@]}"; do
  short=${short_of[$long]}
  if grep -E -- "(^| )$short( |\$)" <<<"$tags" | has_word "$long"; then
    pass
  else
    fail "$long/$short is not an entry of the OPTIONS section"
  fi
done

for long in "${!argument_of[@]}"; do
  if grep -E -- "(^| )$long( |\$)" <<<"$tags" | has_word "${argument_of[$long]}"; then
    pass
  else
    fail "$long ${argument_of[$long]} is not an entry of the OPTIONS section"
  fi
done

# Every option the page's tags name is one the tool has.
documented=$(grep -Eo -- '(^| )--?[a-zA-Z][a-z-]*' <<<"$tags" | tr -d ' ')
for word in $documented; do
  if has_word "$word" <<<"${!short_of[*]} ${short_of[*]} ${!argument_of[*]}"; then
    pass
  else
    fail "the page documents $word, which qorid lacks"
  fi
done

finish
