#!/usr/bin/env bash
# kestro-run --mpi on 3 ranks with a black box that fails in every way on six
# of its calls, on whichever rank they fall: non-zero exit, hang (killed
# after the 1 s limit), garbage, too few values, crash by a signal, hang
# after closing its output. The run completes, counts exactly six failed
# evaluations and rank 0 logs each cause with the rank it happened on.
runner=$1; shift; launcher=("$@")
. "$(dirname "$0")/../../runner/common.sh"
cat >faulty.sh <<'SH'
#!/bin/sh
# Numbers its calls 0, 1, 2, ... even when they run at once (mkdir is atomic).
n=0
while ! mkdir "calls/$n" 2>/dev/null; do n=$((n + 1)); done
case $n in
  3) exit 3 ;;
  4) sleep 30; echo 0 0; exit 0 ;;
  5) echo "1.0 banana"; exit 0 ;;
  6) echo "1.0"; exit 0 ;;
  7) kill -SEGV $$ ;;
  8) exec >&-; sleep 30 ;;
esac
awk '{ printf "%.17g %.17g\n", $1 * $1 + $2 * $2, $1 + $2 + 1 }' "$1"
SH
mkdir calls
cat >problem.toml <<'TOML'
command = ["sh", "faulty.sh"]
constraints = 1
timeout = 1
[[variables]]
lower = -2
upper = 2
[[variables]]
lower = -2
upper = 2
[options]
seed = 5
block_size = 4
maxeval = 60
TOML
"${launcher[@]}" -np 3 "$runner" --mpi problem.toml >out.txt 2>err.txt
check "exit status 0" test $? -eq 0
check "six failed evaluations counted" test "$(value 'failed evaluations')" = 6
check "the budget of 60 evaluations used" awk -v e="$(value evaluations)" 'BEGIN { exit !(e >= 60 && e <= 64) }'
check "logged: exit status, with the rank" grep -qE "failed: exit status 3 \(rank [12]\)" err.txt
check "logged: both timeouts" test "$(grep -c "failed: timed out after 1 s" err.txt)" = 2
check "logged: garbage" grep -q "failed: value 2 is not a number: 'banana'" err.txt
check "logged: too few values" grep -q "failed: printed 1 values, 2 expected" err.txt
check "logged: crash" grep -q "failed: killed by signal 11" err.txt
check "total logged" grep -q "6 evaluations of the black box failed" err.txt
check "summary printed once" test "$(grep -c '^iflag = ' out.txt)" = 1
check "best point is finite" awk -v f="$(value f)" 'BEGIN { exit !(f == f + 0 && f < 1) }'
finish
