#!/usr/bin/env bash
# A black box that fails in every way on six of its calls: non-zero exit,
# hang (killed after the 3 s limit), garbage, too few values, crash by a
# signal, hang after closing its output. The run completes, counts exactly six
# failed evaluations and logs each cause.
runner=$1
. "$(dirname "$0")/common.sh"
write_faulty_problem 'jobs = 4'
start=$(date +%s)
"$runner" problem.toml >out.txt 2>err.txt
status=$?
elapsed=$(( $(date +%s) - start ))
check "exit status 0" test $status -eq 0
check "the hanging call is killed (run took ${elapsed} s)" test $elapsed -lt 45
check "logged: exit status" grep -q "failed: exit status 3" err.txt
check_faulty_run_logged
finish
