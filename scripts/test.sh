#!/usr/bin/env bash
# Builds and runs every test: the suite under gcc, the suite again with
# AddressSanitizer and UndefinedBehaviorSanitizer under clang, then each fuzz
# target for a bounded time over its seeds.
#   FB_FUZZ_SECONDS   seconds per fuzz target (default 60; 0 skips fuzzing)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh
jobs=$(nproc)

echo "== build (gcc)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
echo "== tests (gcc)"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== build (clang, sanitizers, fuzz targets)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DFB_SANITIZE=ON -DFB_FUZZ=ON -DFB_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
echo "== tests (sanitizers)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
ctest --test-dir build-asan --output-on-failure -j "$jobs"

seconds=${FB_FUZZ_SECONDS:-60}
if [ "$seconds" -gt 0 ]; then
  echo "== fuzzing (${seconds}s per target)"
  bash scripts/run-fuzzers.sh build-asan "$seconds"
fi
echo "== all tests passed"
