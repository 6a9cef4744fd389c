#!/usr/bin/env bash
# Runs clang-tidy (configured by .clang-tidy) and cppcheck (suppressions in
# .cppcheck-suppressions) over the sources of common/, lib/, nolt/ and tool/.
#
#   scripts/static-checks.sh
#
# The "static" preset's folder, build-static, holds the compile_commands.json
# clang-tidy reads; it is configured when it has none, or when the database
# lacks a source or the language standard. Nothing is compiled. JOBS
# (default 2) clang-tidy processes run at once.
# Exits 0 when both tools find nothing, 1 on any finding or tool failure.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd -P)
cd "$top"

build_dir=$top/build-static
jobs=${JOBS:-2}

clang_tidy=
for candidate in clang-tidy-14 clang-tidy; do
  if command -v "$candidate" >/dev/null; then
    clang_tidy=$candidate
    break
  fi
done
if [ -z "$clang_tidy" ]; then
  echo "static-checks: clang-tidy not found (Debian: apt-get install clang-tidy)" >&2
  exit 1
fi
if ! command -v cppcheck >/dev/null; then
  echo "static-checks: cppcheck not found (Debian: apt-get install cppcheck)" >&2
  exit 1
fi

shopt -s nullglob
sources=(common/*.cpp lib/*.cpp nolt/*.cpp tool/*.cpp)
shopt -u nullglob
if [ ${#sources[@]} -eq 0 ]; then
  echo "static-checks: no sources found under common/, lib/, nolt/, tool/" >&2
  exit 1
fi

db=$build_dir/compile_commands.json

# True when the database has an entry for every source and names the
# language standard (without it clang would parse as its own default, not
# the C++17 the build uses).
database_ok() {
  [ -f "$db" ] || return 1
  grep -q -- '-std=' "$db" || return 1
  local src
  for src in "${sources[@]}"; do
    grep -qF "\"file\": \"$top/$src\"" "$db" || return 1
  done
}

# Configured every time (a few seconds): a database written before a
# CMakeLists.txt changed would check the sources with stale flags.
echo "static-checks: configuring $build_dir"
cmake --preset static >/dev/null
if ! database_ok; then
  echo "static-checks: $db does not cover every source" >&2
  exit 1
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# --- clang-tidy: one process per source, JOBS at a time ---------------------
# Each process writes its own report; a source whose process fails without
# a diagnostic (a crash, a bad database entry) still counts as a failure.
echo "static-checks: $clang_tidy on ${#sources[@]} sources ($jobs at a time)"
tidy_status=0
# The inner script expands its own positional parameters, hence the quotes.
# shellcheck disable=SC2016
printf '%s\n' "${sources[@]}" |
  xargs -P "$jobs" -I{} sh -c '
    report="$2/$(echo "$3" | tr / _).txt"
    if ! "$1" -p "$4" --quiet "$3" >"$report" 2>&1; then
      echo "$3" >>"$2/failed-sources"
    fi
  ' sh "$clang_tidy" "$out" {} "$build_dir" || tidy_status=$?

cat "$out"/*.txt >"$out/clang-tidy.log"
# Diagnostics in a header are reported once per source that includes it.
tidy_findings=$({ grep -E '^[^ ]+:[0-9]+:[0-9]+: (warning|error): ' \
                    "$out/clang-tidy.log" || true; } | sort -u | wc -l)
tidy_failed=0
if [ -f "$out/failed-sources" ]; then
  tidy_failed=$(sort -u "$out/failed-sources" | wc -l)
fi
if [ "$tidy_findings" -gt 0 ] || [ "$tidy_failed" -gt 0 ] || [ "$tidy_status" -ne 0 ]; then
  # The whole report: each finding with its source line and notes.
  grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' "$out/clang-tidy.log" || true
fi

# --- cppcheck ----------------------------------------------------------------
echo "static-checks: cppcheck on ${#sources[@]} sources"
cppcheck_status=0
cppcheck \
  --enable=warning,style,performance,portability \
  --inline-suppr \
  --error-exitcode=1 \
  --std=c++17 \
  --language=c++ \
  --library=posix \
  --suppressions-list="$top/.cppcheck-suppressions" \
  -I . -I lib/include -I nolt/include \
  --quiet \
  --template='{file}:{line}:{column}: {severity}: {message} [{id}]\n{code}' \
  "${sources[@]}" 2>"$out/cppcheck.log" || cppcheck_status=$?
cppcheck_findings=$(grep -c -E '^[^ ]+:[0-9]+:[0-9]+: [a-z]+: .*\[[A-Za-z0-9_]+\]$' \
                      "$out/cppcheck.log" || true)
if [ -s "$out/cppcheck.log" ]; then
  cat "$out/cppcheck.log"
fi

# --- summary -----------------------------------------------------------------
result=clean
status=0
if [ "$tidy_findings" -gt 0 ] || [ "$tidy_failed" -gt 0 ] || [ "$tidy_status" -ne 0 ] ||
   [ "$cppcheck_findings" -gt 0 ] || [ "$cppcheck_status" -ne 0 ] ||
   [ -s "$out/cppcheck.log" ]; then
  result=FAILED
  status=1
fi
echo "static-checks: $result: clang-tidy $tidy_findings finding(s)" \
     "($tidy_failed source(s) failed), cppcheck $cppcheck_findings finding(s)" \
     "(exit $cppcheck_status), ${#sources[@]} sources"
exit $status
