#!/usr/bin/env bash
# End to end: the example problem and black box reach the known optimum
# (x = 0.5, y = 1.5, k = 3, f = 1.5) within the file's budget.
runner=$1; example=$2
. "$(dirname "$0")/common.sh"
"$runner" "$example/problem.toml" >out.txt 2>err.txt
check "exit status 0" test $? -eq 0
check "report header on stderr" grep -q "BEST SOLUTION FOUND" err.txt
check "solution file written" test -s KESTRO_SOLUTION.TXT
check "feasible" test "$(value feasible)" = yes
check "no failed evaluation" test "$(value 'failed evaluations')" = 0
check "optimum f = 1.5 within 0.01" awk -v f="$(value f)" 'BEGIN { exit !(f >= 1.5 - 1e-9 && f < 1.51) }'
check "optimum x, y, k" awk -v x="$(value x)" 'BEGIN { split(x, v, " ");
  exit !(v[1] > 0.45 && v[1] < 0.55 && v[2] > 1.45 && v[2] < 1.55 && v[3] == 3) }'
check "budget kept" awk -v e="$(value evaluations)" 'BEGIN { exit !(e <= 2008) }'
finish
