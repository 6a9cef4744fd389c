#!/usr/bin/env bash
# Builds the fuzz targets, writes their seeds (make_corpus.py) and runs each:
# first over its seeds (and any saved regressions), then fuzzing for SECONDS
# seconds from a copy of the seeds, so the tree is never written to. Prints
# one summary line per target and exits non-zero when any target crashes,
# times out or fails its checks.
#
# usage: fuzz/run.sh SECONDS      (the "fuzz" preset's build, in build-fuzz)
#
# Crash inputs and full logs are kept under BUILD_DIR/fuzz-artifacts and
# BUILD_DIR/fuzz-logs. The targets write their scratch files under TMPDIR,
# or /dev/shm when TMPDIR is unset: the walker and the determination make and
# remove files for every input, several times faster on tmpfs than on disk.
set -euo pipefail

if [[ $# -ne 1 || ! $1 =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 SECONDS" >&2
  exit 2
fi
seconds=$1
fuzz_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(dirname "$fuzz_dir")
build=$top/build-fuzz

targets=(fuzz_identity_line fuzz_determination fuzz_dt_walker fuzz_options)
declare -A max_len=(
  [fuzz_identity_line]=4096
  [fuzz_determination]=65536
  [fuzz_dt_walker]=65536
  [fuzz_options]=4096
)

(cd "$top" && cmake --preset fuzz && cmake --build --preset fuzz --target "${targets[@]}")

scratch=${TMPDIR:-}
if [[ -z $scratch ]]; then
  scratch=/tmp
  [[ -d /dev/shm && -w /dev/shm ]] && scratch=/dev/shm
fi
work=$(mktemp -d "$scratch/qorid-fuzz-run-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tmp" "$build/fuzz-artifacts" "$build/fuzz-logs"
# The seeds are made by make_corpus.py, not kept in the tree.
python3 "$fuzz_dir/make_corpus.py" "$build/fuzz-seeds" ||
  { echo "fuzz: make_corpus.py failed" >&2; exit 1; }
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

failed=0
summary=()
for t in "${targets[@]}"; do
  bin=$build/fuzz/$t
  seeds=$build/fuzz-seeds/$t
  log=$build/fuzz-logs/$t.log
  artifacts=$build/fuzz-artifacts/$t
  mkdir -p "$artifacts"
  : > "$log"
  problems=()

  echo "== $t: replaying $(find "$seeds" -type f | wc -l) seeds"
  if ! TMPDIR=$work/tmp "$bin" -runs=0 -artifact_prefix="$artifacts/" "$seeds" >>"$log" 2>&1; then
    problems+=("a seed fails")
  fi
  if [[ -d $fuzz_dir/regressions/$t ]]; then
    while IFS= read -r -d '' input; do
      if ! TMPDIR=$work/tmp "$bin" -artifact_prefix="$artifacts/" "$input" >>"$log" 2>&1; then
        problems+=("regression ${input#"$top"/} fails")
      fi
    done < <(find "$fuzz_dir/regressions/$t" -type f -print0 | sort -z)
  fi

  echo "== $t: fuzzing for $seconds s"
  corpus=$work/corpus/$t
  mkdir -p "$corpus"
  dict=()
  [[ -f $fuzz_dir/dict/$t.dict ]] && dict=(-dict="$fuzz_dir/dict/$t.dict")
  fuzz_log=$work/$t.fuzz.log
  rc=0
  TMPDIR=$work/tmp timeout -k 10 $((seconds + 60)) "$bin" \
    -max_total_time="$seconds" -max_len="${max_len[$t]}" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "${dict[@]}" "$corpus" "$seeds" >"$fuzz_log" 2>&1 || rc=$?
  cat "$fuzz_log" >>"$log"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$fuzz_log" | tail -1)
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second(s)$/\1/p' "$fuzz_log" | tail -1)
  if [[ $rc -ne 0 ]]; then
    artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$fuzz_log" | tail -1)
    problems+=("fuzzing failed with exit $rc${artifact:+, input $artifact}")
  fi
  status=ok
  if [[ ${#problems[@]} -gt 0 ]]; then
    joined=$(printf '%s; ' "${problems[@]}")
    status="FAILED: ${joined%; }"
    failed=1
  fi
  summary+=("$t: $status, ${runs:-?} executions in ${took:-?} s, corpus $(find "$corpus" -type f | wc -l) new inputs; log $log")
done

echo
echo "== summary"
printf '%s\n' "${summary[@]}"
exit "$failed"
