#!/usr/bin/env bash
# The Python package installed as a user installs it: a fresh virtual
# environment that sees the system's setuptools, pybind11 and NumPy,
# `pip install --no-build-isolation .` from this source tree (offline), then
# kestro imported and a small problem solved from outside the source tree,
# serially and on two worker processes.
# The environment lives in a temporary directory, removed at the end; the
# CMake build stays in build/ (setuptools' folder), so that a second run only
# rebuilds what changed. PYTHON names the interpreter (default /usr/bin/python3).
set -euo pipefail
cd "$(dirname "$0")/.."
source_tree=$PWD
python=${PYTHON:-/usr/bin/python3}
version=$(sed -n 's/^project(kestro VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

work=$(mktemp -d "${TMPDIR:-/tmp}/kestro-pip.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$python" -m venv --system-site-packages "$work/venv"
"$work/venv/bin/python" -m pip install --no-build-isolation --no-index --quiet \
    --disable-pip-version-check "$source_tree"

cd "$work"
env -u PYTHONPATH KESTRO_VERSION="$version" SOURCE_TREE="$source_tree" \
    "$work/venv/bin/python" - <<'PY'
import os
import sys

import kestro

package = os.path.dirname(kestro.__file__)
assert package.startswith(sys.prefix + os.sep), f"kestro imported from {package}"
assert not package.startswith(os.environ["SOURCE_TREE"]), package
assert kestro.__version__ == os.environ["KESTRO_VERSION"], kestro.__version__
# The shared library loaded is the one bundled with the package.
with open("/proc/self/maps") as maps:
    loaded = {line.split()[-1] for line in maps if "libkestroR" in line}
assert len(loaded) == 1, loaded
library = loaded.pop()
assert os.path.dirname(library) == package, library
assert os.path.basename(library).startswith("libkestroR.so."), library


def model(v):
    x, y, k = v
    return (x - 1) ** 2 + (y - 2) ** 2 + (k - 4) ** 2, [5 - x - y - k]


r = kestro.minimize(model, [(-5, 5), (-5, 5), (0, 10)], integers=1, constraints=1,
                    seed=1, block_size=4, maxeval=3000)
assert r.feasible and abs(r.fun - 1.5) < 0.05 and r.x[2] == 3, r
# The same run with its blocks on two worker processes of the installed package.
w = kestro.minimize(model, [(-5, 5), (-5, 5), (0, 10)], integers=1, constraints=1,
                    seed=1, block_size=4, maxeval=3000, workers=2)
assert (w.x.tolist(), w.fun, w.nfev) == (r.x.tolist(), r.fun, r.nfev), w
print(f"pip install: kestro {kestro.__version__} from {package}: f = {r.fun:.3f} at "
      f"x = {r.x[0]:.3f}, y = {r.x[1]:.3f}, k = {r.x[2]:.0f}")
PY
