# The bash completion of qorid: for each line, the words completion offers.
# Calls the completion function the way bash does, with COMP_WORDS,
# COMP_CWORD, COMP_LINE and COMP_POINT set, in a directory of known files
# and with known commands first on PATH.
# Usage: bash completion_test.sh PATH/TO/completions/qorid
source "$(dirname "$0")/common.sh"

COMPLETION=$(realpath "${1:?path to the completion file}")

mkdir -p "$WORK/bin" "$WORK/cwd/sub"
for command in qoridtest-one qoridtest-two; do
  printf '#!/bin/sh\n' >"$WORK/bin/$command"
  chmod +x "$WORK/bin/$command"
done
touch "$WORK/cwd/alpha.sh" "$WORK/cwd/alpha.txt" "$WORK/cwd/beta.sh" \
  "$WORK/cwd/-dash" "$WORK/cwd/.hidden"
cd "$WORK/cwd" || exit 1
PATH=$WORK/bin:$PATH

# shellcheck source=../../completions/qorid
source "$COMPLETION"
check "the completion is registered for qorid" \
  "complete -F _qorid qorid" "$(complete -p qorid 2>&1)"

# complete_words CWORD WORD...: completes word number CWORD of the line made
# of the WORDs, with the cursor at its end. Prints the offered words sorted,
# on one line, blank-separated; anything the function printed on standard
# error comes first.
complete_words() {
  local cword=$1
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$cword
  COMP_LINE="$*"
  local before=("${COMP_WORDS[@]:0:cword+1}")
  COMP_POINT=$(($(printf '%s ' "${before[@]}" | wc -c) - 1))
  COMPREPLY=(left-over)
  _qorid qorid "${COMP_WORDS[cword]}" "${COMP_WORDS[cword - 1]}" 2>"$WORK/err"
  [ -s "$WORK/err" ] && echo "stderr: $(cat "$WORK/err")"
  printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort -u | paste -sd ' '
}

all_options='--exec --export --help --json --list --root --script --verbose -e -h -j -l -s -v -x'
long_options='--exec --export --help --json --list --root --script --verbose'
files='-dash .hidden alpha.sh alpha.txt beta.sh sub'
commands='qoridtest-one qoridtest-two'

# WORDS UP TO THE CURSOR | WORDS OFFERED [| WORDS AFTER THE CURSOR]
# The word at the cursor is the last one; '' is an empty word (the line ends
# in a blank).
cases="
qorid --v                         | --verbose
qorid --j                         | --json
qorid --e                         | --exec --export
qorid --exp                       | --export
qorid --export ''                 | $all_options
qorid --ex qoridtest-             | $commands
qorid --verbose --s               | --script
qorid -                           | $all_options
qorid --                          | $long_options
qorid ''                          | $all_options
qorid -v -                        | $all_options
qorid --x                         |
qorid --v                         | --verbose               | --exec -l
qorid --exec qoridtest-           | $commands
qorid --exe qoridtest-t           | qoridtest-two
qorid --e qoridtest-              | $commands
qorid -e qoridtest-               | $commands
qorid -ve qoridtest-              | $commands
qorid -v --exec -l qoridtest-o    | qoridtest-one
qorid -e -                        | $all_options
qorid -e --l                      | --list
qorid -e -- qoridtest-            | $commands
qorid -- qoridtest-               | $commands
qorid -e --                       | $long_options
qorid -e -- -                     |
qorid -- -                        |
qorid --exec qoridtest-one        | qoridtest-one
qorid --exec env ''               | $files
qorid --exec env al               | alpha.sh alpha.txt
qorid --exec env -                | -dash
qorid --exec env --v              |
qorid --exec env -v al            | alpha.sh alpha.txt
qorid --exec env al               | alpha.sh alpha.txt      | -v
qorid -e -- ls ''                 | $files
qorid -e -- ls -                  | -dash
qorid -- ls ''                    | $files
qorid --script ''                 | $files
qorid --script al                 | alpha.sh alpha.txt
qorid --sc b                      | beta.sh
qorid -s s                        | sub
qorid -vs al                      | alpha.sh alpha.txt
qorid -e -s al                    | alpha.sh alpha.txt
qorid --script --exec al          | alpha.sh alpha.txt
qorid -s --                       | $long_options
qorid -s -- al                    | alpha.sh alpha.txt
qorid -s alpha.sh ''              | $files
qorid -s alpha.sh -               | -dash
qorid --execx qoridtest-          |
qorid -x qoridtest-               |
qorid --list qoridtest-           |
qorid --list ''                   | $all_options
qorid --r                         | --root
qorid --root ''                   | sub
qorid --ro s                      | sub
qorid --root sub ''               | $all_options
qorid --root sub -e qoridtest-    | $commands
qorid -e --root sub qoridtest-    | $commands
qorid --root=sub ''               | $all_options
"
while IFS='|' read -r before expected after; do
  [ -z "${before// /}" ] && continue
  read -ra words <<<"$before"
  [ "${words[-1]}" == "''" ] && words[-1]=
  read -ra after_words <<<"${after-}"
  read -ra expected_words <<<"$expected"
  check "completing '$(xargs <<<"$before")'${after:+ before '$(xargs <<<"$after")'}" \
    "${expected_words[*]}" \
    "$(complete_words $((${#words[@]} - 1)) "${words[@]}" "${after_words[@]}")"
done <<<"$cases"

# Where a command is due, the shell's commands: builtins as well as those
# on PATH, and no option.
# WORDS UP TO THE CURSOR | A COMMAND THAT MUST BE OFFERED
cases="
qorid --exec ec    | echo
qorid -e -- ec     | echo
qorid -- ec        | echo
qorid -e ''        | qoridtest-one
qorid -ve ''       | echo
qorid -e -v ''     | qoridtest-two
qorid -- ''        | qoridtest-one
"
while IFS='|' read -r before command; do
  [ -z "${before// /}" ] && continue
  read -ra words <<<"$before"
  [ "${words[-1]}" == "''" ] && words[-1]=
  command=$(xargs <<<"$command")
  offered=" $(complete_words $((${#words[@]} - 1)) "${words[@]}") "
  if [[ $offered == *" $command "* && $offered != *' -'* ]]; then pass; else
    fail "completing '$(xargs <<<"$before")' offers $command and no option:" \
      "${offered:0:200}"
  fi
done <<<"$cases"

finish
