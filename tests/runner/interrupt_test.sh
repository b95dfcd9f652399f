#!/usr/bin/env bash
# SIGINT (Ctrl-C) stops the run cleanly: the runner requests the stop (IFLAG
# -999 through Solver::stop), the library ends the run "stopped on request",
# and the final report shows the best point so far; exit status 0.
runner=$1; example=$2
. "$(dirname "$0")/common.sh"
write_slow_example "$example"
"$runner" problem.toml >out.txt 2>err.txt &
pid=$!
wait_for_first_block
kill -INT $pid
wait $pid
check "exit status 0" test $? -eq 0
check_stopped_on_request
check "best point reported" grep -q "^x = [-0-9]" out.txt
finish
