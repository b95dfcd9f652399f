#!/usr/bin/env bash
# python3 -m kestro.plot on the output directory of a real kestro-run run with
# two objectives: it draws the convergence and the front from the CSV files,
# and from the run's evaluation store (kestro-run.sqlite) as well.
# Usage: plot_kestro_run_test.sh KESTRO_RUN PYTHON PACKAGE_DIR
# Exit status 77 (skipped) without matplotlib.
runner=$1; python=$2; package=$3
PYTHONPATH=$package "$python" -c "import matplotlib" 2>/dev/null ||
  { echo "skipped: matplotlib is not installed (python3-matplotlib)"; exit 77; }
. "$(dirname "$0")/../../tests/runner/common.sh"
cat >model.sh <<'SH'
#!/bin/sh
exec awk '{ printf "%.17g %.17g\n", $1 * $1 + $2 * $2, ($1 - 2)^2 + ($2 - 1)^2 }' "$1"
SH
cat >problem.toml <<'TOML'
command = ["sh", "model.sh"]
objectives = 2
[[variables]]
name = "a"
lower = -1
upper = 3
[[variables]]
name = "b"
lower = -1
upper = 3
[options]
seed = 2
block_size = 4
maxeval = 200
TOML
"$runner" problem.toml --quiet >out.txt 2>err.txt
check "kestro-run: exit status 0" test $? -eq 0
PYTHONPATH=$package "$python" -m kestro.plot . >plot.txt 2>plot_err.txt
check "kestro.plot: exit status 0" test $? -eq 0
check "kestro.plot names both files" \
  test "$(cat plot.txt)" = "$(printf './kestro_convergence.png\n./kestro_front.png')"
check "PNG files" test "$(head -c 4 kestro_front.png | tail -c 3)$(head -c 4 kestro_convergence.png | tail -c 3)" = PNGPNG
# The front plotted is the one of the CSV file, with the variables' names read.
PYTHONPATH=$package "$python" - >check.txt <<'PY'
import matplotlib
matplotlib.use("Agg")
import kestro.plot
run = kestro.plot.read_run(".")
fig = kestro.plot.front(run)
print(len(fig.axes[0].collections[0].get_offsets()), " ".join(run["variable_names"]))
PY
size=$(value 'pareto front' | awk '{ print $1 }')
check "front of the summary's size, names a b" test "$(cat check.txt)" = "$size a b"

# The same run from its store: the front of the stored evaluations holds
# every point of the runner's front (kestro_front.csv), and the compromise
# marked is the run's best point.
mkdir from_store
PYTHONPATH=$package "$python" -m kestro.plot kestro-run.sqlite -o from_store >plot.txt 2>plot_err.txt
check "kestro.plot of the store: exit status 0" test $? -eq 0
check "kestro.plot of the store names both files" \
  test "$(cat plot.txt)" = "$(printf 'from_store/kestro_convergence.png\nfrom_store/kestro_front.png')"
PYTHONPATH=$package "$python" - >check.txt <<'PY'
import matplotlib
matplotlib.use("Agg")
import kestro.plot
run = kestro.plot.read("kestro-run.sqlite")
front, best = kestro.plot.front(run).axes[0].collections
drawn = {tuple(p) for p in front.get_offsets()}
csv = {tuple(p) for p in kestro.plot.read_run(".")["pareto_fun"]}
print(len(csv) > 0 and csv <= drawn, list(best.get_offsets()[0]) == list(kestro.plot.read_run(".")["fun"]))
PY
check "the store's front holds the runner's, the best point marked" test "$(cat check.txt)" = "True True"
finish
