#!/usr/bin/env bash
# Builds the fuzz harness with clang and runs it on a copy of the corpus kept
# in fuzz/corpus. Usage: scripts/fuzz.sh [SECONDS] [--keep]
#   SECONDS  how long to fuzz (default 60; the long run: 3600 or more)
#   --keep   merge what the run found back into fuzz/corpus
# A crash, a sanitizer report, a leak or a slow input fails the run; the input
# that showed it is left in build/fuzz/ as crash-*, leak-* or timeout-*.
# fuzz/regressions keeps the inputs of faults found and fixed; every run
# starts from them as well.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
keep=${2:-}

command -v clang++ >/dev/null || { echo "fuzz: clang++ is needed"; exit 1; }
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=Debug -DKESTRO_FUZZ=ON \
  -DKESTRO_BUILD_TESTS=OFF -DKESTRO_BUILD_EXAMPLES=OFF >/dev/null
cmake --build build/fuzz -j "$(nproc 2>/dev/null || echo 2)" --target kestro_solver_fuzz

work=build/fuzz/corpus
rm -rf "$work"
mkdir -p "$work" fuzz/corpus/solver fuzz/regressions
cp fuzz/corpus/solver/* "$work"/ 2>/dev/null || true
(
  cd build/fuzz
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  ./fuzz/kestro_solver_fuzz corpus ../../fuzz/regressions -seed=1 -max_total_time="$seconds" -max_len=2048 \
    -rss_limit_mb=4096 -timeout=30 -print_final_stats=1 2>&1 | tail -n 25
)
if [ "$keep" = "--keep" ]; then
  build/fuzz/fuzz/kestro_solver_fuzz -merge=1 fuzz/corpus/solver "$work" >/dev/null 2>&1
  echo "fuzz: corpus merged into fuzz/corpus/solver"
fi
