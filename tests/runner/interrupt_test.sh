#!/usr/bin/env bash
# SIGINT (Ctrl-C) stops the run cleanly: the runner requests the stop (IFLAG
# -999 through Solver::stop), the library ends the run "stopped on request",
# and the final report shows the best point so far; exit status 0.
runner=$1; example=$2
. "$(dirname "$0")/common.sh"
cp "$example/blackbox.sh" .
sed -e 's/^maxeval = .*/maxeval = 10000000/' -e 's/^printeval = .*/printeval = 100/' \
    "$example/problem.toml" >problem.toml
cat >slow.sh <<'SH'
#!/bin/sh
sleep 0.05
exec sh blackbox.sh "$1"
SH
sed -i 's/^command = .*/command = ["sh", "slow.sh"]/' problem.toml
"$runner" problem.toml >out.txt 2>err.txt &
pid=$!
sleep 1.5
kill -INT $pid
wait $pid
check "exit status 0" test $? -eq 0
check "ended on the stop request" grep -q "^iflag = [0-9]*: stopped on request" out.txt
check "final report with the best point" grep -q "BEST SOLUTION FOUND" err.txt
check "interruption logged" grep -q "interrupted, stopping the run" err.txt
check "stopped early" awk -v e="$(value evaluations)" 'BEGIN { exit !(e > 0 && e < 2000) }'
check "best point reported" grep -q "^x = [-0-9]" out.txt
finish
