#!/usr/bin/env bash
# Builds kestro-run and runs it on the example black-box problem
# (examples/blackbox): a constrained mixed-integer problem whose black box is
# a small shell script, four evaluations at once. Extra arguments go to
# kestro-run (for example --jobs 8).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-runner.sh
cmake -S . -B build/run -DCMAKE_BUILD_TYPE=Release -DKESTRO_BUILD_TESTS=OFF \
      -DKESTRO_BUILD_EXAMPLES=OFF -DKESTRO_BUILD_PYTHON=OFF >/dev/null
cmake --build build/run -j "$(nproc 2>/dev/null || echo 2)" --target kestro-run
mkdir -p build/run/example
cd build/run/example
exec ../tools/kestro_run/kestro-run ../../../examples/blackbox/problem.toml "$@"
