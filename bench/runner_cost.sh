#!/usr/bin/env bash
# The runner's own cost per evaluation: kestro-run (jobs = 1, one point per
# block) evaluating a trivial compiled black box N times, against starting
# the same program N times from a shell loop and from a minimal C++ loop of
# fork, exec, read and wait (spawn_loop.cpp). Each measurement is repeated R
# times and the fastest kept (the machine may be shared).
# Usage: bench/runner_cost.sh KESTRO_RUN [N [R]]   (defaults 2000 and 5)
set -euo pipefail
runner=$(realpath "$1"); n=${2:-2000}; repeats=${3:-5}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kestro-runner-cost.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

cat >blackbox.c <<'C'
#include <stdio.h>
int main(int argc, char** argv) {  /* prints x^2 + y^2 of the point in argv[1] */
  double x = 0, y = 0;
  FILE* f = argc > 1 ? fopen(argv[1], "r") : NULL;
  if (!f || fscanf(f, "%lf %lf", &x, &y) != 2) return 1;
  fclose(f);
  printf("%.17g\n", x * x + y * y);
  return 0;
}
C
cc -O2 -o blackbox blackbox.c
c++ -O2 -std=c++20 -o spawn_loop "$here/spawn_loop.cpp"
echo "0.5 0.25" >point.txt
cat >problem.toml <<TOML
command = ["./blackbox"]
jobs = 1
[[variables]]
lower = -5
upper = 5
[[variables]]
lower = -5
upper = 5
[options]
seed = 1
block_size = 1
maxeval = $n
printeval = 0
save2file = 0
TOML

# timed COUNT CMD...: "wall cpu" in ms per evaluation (cpu: user + system
# time of the command and its children), COUNT read from out.txt when 0.
timed() {
  local count=$1; shift
  local TIMEFORMAT='%R %U %S'
  { time "$@" >out.txt 2>/dev/null; } 2>time.txt
  [ "$count" = 0 ] && count=$(sed -n 's/^evaluations = //p' out.txt)
  awk -v c="$count" '{ printf "%.4f %.4f\n", 1000 * $1 / c, 1000 * ($2 + $3) / c }' time.txt
}
shell_loop() { for ((i = 0; i < n; i++)); do ./blackbox point.txt; done; }
best() {  # best LABEL: the fastest wall time of the lines read, with its cpu
  sort -g | head -1 | awk -v l="$1" '{ printf "%-34s %9.4f ms %9.4f ms\n", l, $1, $2 }'
}
{
  printf 'evaluations: %s, fastest of %s repeats   wall/eval   cpu/eval\n' "$n" "$repeats"
  for _ in $(seq "$repeats"); do timed "$n" ./spawn_loop ./blackbox point.txt "$n"; done |
    best "C++ fork/exec/read/wait loop"
  for _ in $(seq "$repeats"); do timed "$n" shell_loop; done | best "shell loop"
  for _ in $(seq "$repeats"); do rm -f kestro-run.sqlite*; timed 0 "$runner" problem.toml --quiet; done |
    best "kestro-run, store on"
  for _ in $(seq "$repeats"); do timed 0 "$runner" problem.toml --quiet --no-store; done |
    best "kestro-run --no-store"
} | tee table.txt
awk 'NR == 2 { b = $(NF - 3) } NR == 3 { h = $(NF - 3) } NR == 4 { s = $(NF - 3) }
     END { printf "kestro-run (store on) wall per evaluation: %.2fx the C++ loop, %.2fx the shell loop\n",
           s / b, s / h }' table.txt
