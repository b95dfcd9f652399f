#!/usr/bin/env bash
# Builds the library and runs the example that solves a small constrained
# mixed-integer problem through the caller's loop.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/demo -DCMAKE_BUILD_TYPE=Release -DKESTRO_BUILD_TESTS=OFF >/dev/null
cmake --build build/demo -j "$(nproc 2>/dev/null || echo 2)" --target kestro_example_mixed_integer
build/demo/examples/kestro_example_mixed_integer
