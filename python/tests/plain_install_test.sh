#!/usr/bin/env bash
# A plain cmake --install of the Python package: into a fresh prefix, then
# imported from outside the source and build trees with that prefix's
# site-packages folder on PYTHONPATH, and used for a small run.
#   plain_install_test.sh BUILD_DIR PYTHON INSTALL_DIR
set -euo pipefail
build=$1 python=$2 place=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" --component python_module >/dev/null
cd "$prefix"
PYTHONPATH="$prefix/$place" "$python" - "$prefix/$place" <<'PY'
import os, sys
import kestro
assert kestro.__file__.startswith(sys.argv[1]), kestro.__file__
r = kestro.minimize(lambda x: float(((x - 0.5) ** 2).sum()), [(-1, 1)] * 2, seed=1, maxeval=300)
assert r.success and r.fun < 1e-3, r
print("installed kestro", kestro.__version__, "in", os.path.dirname(kestro.__file__))
PY
