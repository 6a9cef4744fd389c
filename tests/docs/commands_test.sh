# The commands of the documentation pages, run as the pages give them: every
# line of a ```sh block, in the black-box tests' sandbox, on the fixture
# board the block's first line names or else in a copy of the source tree;
# a "$ " line's output must be the lines below it. The convention is
# HACKING.md's ("The commands in the pages"); the commands it does not run
# are listed below, each with why.
# Usage: bash commands_test.sh PATH/TO/qorid BUILD_DIR PATH/TO/cmake PAGE...
source "$(dirname "$0")/../blackbox/harness.sh"
CMAKE=${3:?path to cmake}
shift 3
[ $# -gt 0 ] || { echo "FAIL: no page given" >&2; exit 1; }

# The commands not run, as the pages write them (blanks squeezed, a comment
# at the end of the line left out), and why. Each must still be in a page.
declare -A not_run=(
  ["make run"]="builds the tree and runs the tool: the build this test is part of"
  ["make test"]="runs the test suite this test is part of"
  ["make package"]="needs root and the network: Debian build roots, minutes"
  ["make package SUITE=trixie ARCH=riscv64"]="needs root and the network: Debian build roots, minutes"
  ["make package SUITE=bookworm ARCH=armhf"]="needs root and the network: Debian build roots, minutes"
  ["make packages"]="needs root and the network: every suite's build roots"
  ["make package-test"]="needs root and the network: builds and boots Debian roots"
  ["make cross"]="needs root and the network: cross compilers, qemu-user; builds the tree"
  ["scripts/cross.sh armhf"]="needs root and the network: cross compilers, qemu-user; builds the tree"
  ["cmake --preset armhf"]="needs the armhf cross compiler and libraries (scripts/cross.sh installs them)"
  ["cmake --build --preset armhf"]="needs the armhf cross build; builds the tree"
  ["ctest --preset armhf"]="needs the armhf cross build and qemu-user"
  ["qemu-arm build-armhf/tool/qorid --verbose"]="needs the armhf cross build and qemu-user"
  ["apt-get install ./libnolt0_1.2.0~deb13u1_armhf.deb ./libqorid1_1.2.0~deb13u1_armhf.deb ./qorid_1.2.0~deb13u1_armhf.deb"]="needs root and the built packages: installs into the system"
  ["apt-get install autopkgtest"]="needs root and the network: installs into the system"
  ["autopkgtest --no-built-binaries . -- null"]="needs root and the installed packages"
  ["cmake -S . -B build -DCMAKE_BUILD_TYPE=Release"]="configures the build this test is part of"
  ["cmake --build build -j2"]="builds the tree: the build this test is part of"
  ["ctest --test-dir build --output-on-failure"]="runs the test suite this test is part of"
  ["cmake --install build --prefix /opt/qorid"]="installs into the system (/opt); the board examples run a staged install"
  ["scripts/static-checks.sh"]="a gate of make check: needs clang-tidy and cppcheck, most of a minute"
  ["docker run --rm -v /proc/device-tree:/host/proc/device-tree:ro -v /proc/cpuinfo:/host/proc/cpuinfo:ro -v /etc/known_qor_ids:/host/etc/known_qor_ids:ro -v /sys/class/net:/host/sys/class/net:ro -v /sys/devices:/host/sys/devices:ro board-tools qorid --root /host --list"]="needs a container runtime, an image with qorid and a host with a device tree: none in the sandbox"
)
declare -A seen=()

# key LINE: the command as not_run lists it.
key() {
  local line=$1
  line=$(sed -E 's/[[:space:]]+#[[:space:]].*$//; s/[[:space:]]+/ /g; s/^ //; s/ $//' <<<"$line")
  printf '%s' "$line"
}

require_sandbox
# The boards run the tool as its package installs it: the build installed
# for /usr, laid over the system's /usr in each board's sandbox.
if ! DESTDIR=$WORK/stage "$CMAKE" --install "$BUILD_DIR" --prefix /usr >"$WORK/install.log" 2>&1; then
  echo "FAIL: cannot install the build into $WORK/stage:" >&2
  cat "$WORK/install.log" >&2
  exit 1
fi
export SANDBOX_USR_LAYER=$WORK/stage/usr
# The blocks without a board share one root (new_root's board, which nothing
# identifies) whose /root/qorid is a copy of the source tree, without build
# folders: what the commands write there, they write into the copy.
tree_root=$(new_root docs-tree) || exit 1
mkdir -p "$tree_root/root/qorid" "$tree_root/run"
# man reads the system's configuration, as it would anywhere.
[ ! -f /etc/manpath.config ] || cp /etc/manpath.config "$tree_root/etc/"
if ! tar -C "$SOURCE_DIR" --exclude='./build*' --exclude=./dist --exclude=./.git -cf - . |
  tar -C "$tree_root/root/qorid" -xf -; then
  echo "FAIL: cannot copy the source tree into $tree_root/root/qorid" >&2
  exit 1
fi

page= block_line= board= root= cwd= files=()

# begin_block: the world of the block that starts: a fresh root of its
# board, with the page's pending files in /root, or the tree's root.
begin_block() {
  if [ -z "$board" ]; then
    root=$tree_root cwd=/root/qorid
    return 0
  fi
  root= cwd=/root
  if [ ! -d "$DUMPS/$board" ]; then
    fail "$page:$block_line: no board $board in tests/fixtures/dumps"
    return 1
  fi
  root=$(new_root "docs-$board" "$DUMPS/$board") || exit 1
  mkdir -p "$root/root" "$root/run"
  local file
  for file in "${files[@]}"; do cp "$WORK/files/$file" "$root/root/"; done
  files=()
}

# run_command LINE COMMAND [EXPECTED]: runs COMMAND (of the page's line
# LINE) unless not_run lists it; with EXPECTED (the output lines, each
# ending in a newline), its standard output must be those bytes and its
# standard error empty. Every command must exit with status 0.
run_command() {
  local line=$1 command=$2 where name
  name=$(key "$command")
  if [ -n "${not_run[$name]+set}" ]; then
    seen[$name]=1
    return 0
  fi
  where="in the tree"
  [ -z "$board" ] || where="on $board"
  run "$root" env PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C.UTF-8 \
    bash -c 'cd "$1" && eval "$2"' _ "$cwd" "$command"
  if [ "$status" -ne 0 ]; then
    fail "$page:$line: '$command' $where: status $status"
    head -c 2000 "$WORK/err" >&2
    return 0
  fi
  if [ $# -ge 3 ]; then
    if cmp -s <(printf '%s' "$3") "$WORK/out" && [ ! -s "$WORK/err" ]; then pass; else
      fail "$page:$line: '$command' $where: not the output the page shows"
      diff <(printf '%s' "$3") "$WORK/out" | head -20 >&2
      [ ! -s "$WORK/err" ] || { echo "standard error:"; head -c 2000 "$WORK/err"; } >&2
    fi
  else
    pass
  fi
}

# run_block LINE...: the lines of one ```sh block, the first at block_line.
run_block() {
  local lines=("$@") i n=${#lines[@]} prompt=0 text command start expected
  [[ ${lines[0]-} =~ ^#\ board:\ ([^ ]+)$ ]] && board=${BASH_REMATCH[1]} || board=
  begin_block || return 0  # its board is missing: said
  for text in "${lines[@]}"; do [[ $text == '$ '* ]] && prompt=1; done
  i=0
  while [ "$i" -lt "$n" ]; do
    text=${lines[i]} start=$((block_line + i))
    i=$((i + 1))
    if [ "$prompt" -eq 1 ] && [[ $text == '$ '* ]]; then
      command=${text#'$ '} expected=
      while [ "$i" -lt "$n" ] && [[ ${lines[i]} != '$ '* ]]; do
        expected+=${lines[i]}$'\n'
        i=$((i + 1))
      done
      run_command "$start" "$command" "$expected"
      continue
    fi
    [[ $text =~ ^[[:space:]]*(#|$) ]] && continue
    command=$text
    while [[ $command == *\\ ]] && [ "$i" -lt "$n" ]; do
      command=${command%\\}${lines[i]}
      i=$((i + 1))
    done
    run_command "$start" "$command"
  done
}

mkdir -p "$WORK/files"
for path in "$@"; do
  page=${path#"$SOURCE_DIR"/}
  if [ ! -s "$path" ]; then
    fail "$page: missing or empty"
    continue
  fi
  fence= number=0 blocks=0 body=()
  while IFS= read -r text || [ -n "$text" ]; do
    number=$((number + 1))
    if [ -z "$fence" ]; then
      if [[ $text =~ ^\`\`\`([a-z]*)$ ]]; then
        fence=${BASH_REMATCH[1]:-plain} block_line=$((number + 1)) body=()
      fi
      continue
    fi
    if [ "$text" != '```' ]; then
      body+=("$text")
      continue
    fi
    case $fence in
      sh)
        blocks=$((blocks + 1))
        run_block "${body[@]}"
        ;;
      cpp)
        # A source file, named in its first line ("// NAME"), for the
        # commands of the page's next board block.
        if [[ ${body[0]-} =~ ^//\ ([A-Za-z0-9_.-]+)$ ]]; then
          printf '%s\n' "${body[@]}" >"$WORK/files/${BASH_REMATCH[1]}"
          files+=("${BASH_REMATCH[1]}")
        fi
        ;;
      *)
        for text in "${body[@]}"; do
          [[ $text != '$ '* ]] ||
            fail "$page:$block_line: a command in a \`\`\`$fence block, which is not run: $text"
        done
        ;;
    esac
    fence=
  done <"$path"
  [ -z "$fence" ] || fail "$page:$block_line: a code block that never ends"
  [ "$blocks" -gt 0 ] || fail "$page: no \`\`\`sh block"
  [ ${#files[@]} -eq 0 ] || fail "$page: ${files[*]}: no board block after it"
  files=()
done

for name in "${!not_run[@]}"; do
  [ -n "${seen[$name]+set}" ] || fail "not run, but in no page: '$name' (${not_run[$name]})"
done

finish
