#!/usr/bin/env bash
# kestro-run --mpi on 3 ranks with a black box that fails in every way on six
# of its calls, on whichever rank they fall: non-zero exit, hang (killed
# after the 3 s limit), garbage, too few values, crash by a signal, hang
# after closing its output. The run completes, counts exactly six failed
# evaluations and rank 0 logs each cause with the rank it happened on.
runner=$1; shift; launcher=("$@")
. "$(dirname "$0")/../../runner/common.sh"
write_faulty_problem
"${launcher[@]}" -np 3 "$runner" --mpi problem.toml >out.txt 2>err.txt
check "exit status 0" test $? -eq 0
check "logged: exit status, with the rank" grep -qE "failed: exit status 3 \(rank [12]\)" err.txt
check "summary printed once" test "$(grep -c '^iflag = ' out.txt)" = 1
check_faulty_run_logged
finish
