#!/usr/bin/env bash
# What kestro-run says and refuses for a new user: the summary names the
# variables, the cause of the end and the raw violation; a black box that is
# not found ends the run at once with its cause; the block size follows
# jobs; a checkpoint of another problem is refused unless taken; a
# wall-clock budget ends a run whose black box waits.
runner=$1
example=$2
. "$(dirname "$0")/common.sh"

# The summary of the example (on a smaller budget).
cp "$example/blackbox.sh" .
sed 's/^maxeval = .*/maxeval = 200/' "$example/problem.toml" >problem.toml
"$runner" problem.toml --quiet >out.txt 2>err.txt
check "example: exit status 0" test $? -eq 0
check "summary: the cause in words" \
  grep -qx "reason = the evaluation budget was spent (maxeval = 200); the best point is feasible" out.txt
check "summary: each variable by its name" \
  test "$(grep -cE '^  (x|y|k) = ' out.txt)" = 3
check "summary: the integer variable by its name" grep -qE "^  k = [0-9]+$" out.txt
check "summary: the raw violation and its constraint" \
  grep -qE '^max violation = [0-9.e+-]+( \(g\[0\]\))?$' out.txt

# A black box that is not found: the run ends after the first block (at
# least 10 evaluations) with the first failure's cause and status 4.
sed -e 's/^command = .*/command = ["no-such-program-here"]/' "$example/problem.toml" >missing.toml
"$runner" missing.toml --quiet >out.txt 2>err.txt
status=$?
check "missing program: exit status 4 (got $status)" test $status -eq 4
check "missing program: the first failure's cause" grep -q "exit status 127" err.txt
check "missing program: ended after the first block" \
  grep -q "every one of the first 16 evaluations failed" err.txt
sed -e 's/^command = .*/command = ["no-such-program-here"]/' -e 's/^maxeval = .*/maxeval = 40/' \
    -e 's/^\[options\]/[options]\nfail_fast = false/' "$example/problem.toml" >missing.toml
"$runner" missing.toml --quiet >out.txt 2>err.txt
check "fail_fast = false: the whole budget is spent" \
  awk -v e="$(value evaluations)" 'BEGIN { exit !(e >= 40) }'

# The block size follows jobs when not given (the budget of 10 ends the run
# one block beyond it: 16 with blocks of 4, 11 with blocks of 1), and a
# smaller block size than jobs is warned about once.
write_example_problem "$example" 1 1 10
grep -v '^block_size' problem.toml | sed 's/^jobs = .*/jobs = 4/' >follow.toml
"$runner" follow.toml --quiet >out.txt 2>err.txt
check "block size follows jobs = 4" test "$(value evaluations)" = 16
grep -v '^block_size' follow.toml >smaller.toml
echo 'block_size = 2' >>smaller.toml
"$runner" smaller.toml --quiet >out.txt 2>err.txt
check "smaller block size: warned once" \
  test "$(grep -c 'block_size = 2 is smaller than jobs = 4' err.txt)" = 1

# A checkpoint of another problem: refused, naming the difference, unless
# --take-saved.
write_example_problem "$example" 3 4 100
"$runner" problem.toml --quiet --checkpoint run.ckpt --checkpoint-every 40 >first.txt 2>err.txt
sed 's/^upper = 10$/upper = 9/' problem.toml >other.toml
"$runner" other.toml --quiet --resume run.ckpt >out.txt 2>err.txt
status=$?
check "other bounds: refused with status 2 (got $status)" test $status -eq 2
check "other bounds: named" grep -q "upper\[2\] is 9 but the file has 10" err.txt
"$runner" other.toml --quiet --resume run.ckpt --take-saved >out.txt 2>err.txt
check "--take-saved: the saved run's result" \
  test "$(sed -n 's/^x = //p' out.txt)" = "$(sed -n 's/^x = //p' first.txt)"

# A wall-clock budget ends a run whose black box waits (no CPU time).
write_slow_example "$example"
printf 'maxwalltime = 1\n' >>problem.toml
start=$(date +%s)
"$runner" problem.toml --quiet >out.txt 2>err.txt
elapsed=$(( $(date +%s) - start ))
check "maxwalltime: ended in time (${elapsed} s)" test $elapsed -lt 20
check "maxwalltime: the cause in words" grep -q "^reason = the wall-clock budget was spent" out.txt
finish
