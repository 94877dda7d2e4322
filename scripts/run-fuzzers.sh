#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a fixed time each:
#   scripts/run-fuzzers.sh BUILD_DIR SECONDS
# BUILD_DIR is a build configured with -DFB_FUZZ=ON whose fuzz targets and
# fuzz_seeds are built. Seeds are made fresh into BUILD_DIR/fuzz-seeds; the
# working corpus in BUILD_DIR/fuzz-corpus grows from run to run; crash
# reproducers go to BUILD_DIR/fuzz-artifacts/<target>. Exits 1 when any
# target crashed, hung or ran out of memory, 2 on bad usage.
set -euo pipefail

usage() {
  echo "usage: $0 BUILD_DIR SECONDS" >&2
  exit 2
}

[ "$#" -eq 2 ] || usage
[[ "$2" =~ ^[1-9][0-9]*$ ]] || usage
[ -d "$1" ] || { echo "run-fuzzers: no build folder $1" >&2; exit 2; }
build=$(cd "$1" && pwd)
seconds=$2

targets=(fuzz_pagefile_reader fuzz_spool_conversion fuzz_emf_player)
# Large enough for the corpus metafiles wrapped as page files, small enough
# to keep each run quick; fuzz_seeds leaves out seeds above it.
max_len=262144

bin="$build/tests/fuzz"
for exe in fuzz_seeds "${targets[@]}"; do
  [ -x "$bin/$exe" ] || { echo "run-fuzzers: $bin/$exe is not built (configure with -DFB_FUZZ=ON)" >&2; exit 2; }
done

seeds="$build/fuzz-seeds"
rm -rf "$seeds"
"$bin/fuzz_seeds" --max-size "$max_len" "$seeds"

# The targets' scratch files go here rather than to /tmp, so a crashed run
# leaves nothing outside the build folder.
scratch="$build/fuzz-tmp"
rm -rf "$scratch"
mkdir -p "$scratch" "$build/fuzz-logs"

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=0:detect_leaks=1:symbolize=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp:print_suppressions=0}"

failed=0
for target in "${targets[@]}"; do
  corpus="$build/fuzz-corpus/$target"
  artifacts="$build/fuzz-artifacts/$target"
  log="$build/fuzz-logs/$target.log"
  mkdir -p "$corpus" "$artifacts"
  cp -R -f "$seeds/$target/." "$corpus/"
  before=$(find "$artifacts" -type f | wc -l)

  # libFuzzer stops itself after max_total_time; the outer timeout only
  # catches a target that stops answering (loading the corpus included).
  status=0
  TMPDIR="$scratch" timeout --kill-after=30 $((seconds + 300)) \
    "$bin/$target" -max_total_time="$seconds" -max_len="$max_len" -rss_limit_mb=2048 -timeout=20 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" </dev/null >"$log" 2>&1 || status=$?

  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2 || true)
  files=$(find "$corpus" -type f | wc -l)
  new=$(find "$artifacts" -type f | wc -l)
  if [ "$status" -eq 0 ]; then
    verdict="ok"
  else
    failed=1
    if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
      verdict="HUNG (killed after $((seconds + 300)) s)"
    else
      verdict="FAILED (exit $status, $((new - before)) new artefacts in $artifacts)"
    fi
    reproducer=$(grep -o 'Test unit written to .*' "$log" | tail -n 1 | sed 's/^Test unit written to //' || true)
    if [ -n "$reproducer" ]; then verdict="$verdict, reproducer $reproducer"; fi
  fi
  echo "$target: $verdict; ${runs:-?} runs, ${rate:-?} exec/s, cov ${cov:-?}, corpus $files files; log $log"
done

rm -rf "$scratch"
exit "$failed"
