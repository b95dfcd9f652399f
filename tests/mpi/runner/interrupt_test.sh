#!/usr/bin/env bash
# SIGUSR1 to mpirun (which passes it on to every rank; Ctrl-C would end the
# job at once) stops a kestro-run --mpi run cleanly: rank 0 requests the stop,
# the run ends "stopped on request" with the final report, the workers keep
# evaluating until then and every rank exits with status 0.
runner=$1; example=$2; shift 2; launcher=("$@")
. "$(dirname "$0")/../../runner/common.sh"
write_slow_example "$example"
"${launcher[@]}" -np 3 "$runner" --mpi problem.toml >out.txt 2>err.txt &
pid=$!
# Once rank 0 reports its first block, every rank handles SIGUSR1.
wait_for_first_block
kill -USR1 $pid
wait $pid
check "exit status 0" test $? -eq 0
check_stopped_on_request
finish
