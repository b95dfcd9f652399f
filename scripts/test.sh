#!/usr/bin/env bash
# Builds everything and runs every test twice: once in an optimised build and
# once under AddressSanitizer and UndefinedBehaviorSanitizer with the
# bounds checks of the array views on; then the concurrency tests (runs side
# by side on threads) once more under ThreadSanitizer, in a third build of
# only what they need. Before them, a short, seeded fuzz run
# from the corpus kept in fuzz/corpus; after the optimised build, the API
# reference, which fails on an undocumented public symbol, and the pip install
# of the Python package in a fresh virtual environment. At the end, the
# release check: the Debian packages and the source tarball are built,
# installed, used by the examples and removed again.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)

build_and_test() {
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure
}

echo "== fuzz run (seeded, 60 s) =="
scripts/fuzz.sh 60

echo "== optimised build =="
build_and_test build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRO_BUILD_BENCH=ON

echo "== API reference (Doxygen, warnings are errors) =="
cmake --build build/release --target kestro_docs

echo "== pip install of the Python package (fresh virtual environment) =="
scripts/test-pip.sh

echo "== sanitizer build (ASan + UBSan, checked views) =="
build_and_test build/sanitize -DCMAKE_BUILD_TYPE=Debug -DKESTRO_SANITIZE=ON

echo "== ThreadSanitizer build (concurrency tests only) =="
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRO_TSAN=ON \
  -DKESTRO_BUILD_RUNNER=OFF -DKESTRO_BUILD_PYTHON=OFF -DKESTRO_MPI=OFF \
  -DKESTRO_BUILD_EXAMPLES=OFF >/dev/null
cmake --build build/tsan -j "$jobs" --target kestro_concurrency_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir build/tsan -j "$jobs" -L concurrency --output-on-failure

echo "== release check (packages, installed and removed again) =="
scripts/release-check.sh build/release-check
