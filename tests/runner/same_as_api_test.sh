#!/usr/bin/env bash
# kestro-run with the example's black box gives the same result, to the last
# bit, as the C++ API with the same function, seed and options.
runner=$1; example=$2; reference=$3
. "$(dirname "$0")/common.sh"
for setting in "3 4 400" "11 7 700"; do
  set -- $setting
  write_example_problem "$example" "$1" "$2" "$3"
  "$runner" problem.toml >out.txt 2>err.txt
  check "runner exit status 0 (seed $1)" test $? -eq 0
  "$reference" "$1" "$2" "$3" >api.txt
  check "API program ran (seed $1)" test $? -eq 0
  # The line naming the result files is kestro-run's own.
  echo "result files = kestro_best.csv kestro_history.csv" >>api.txt
  check "evaluations made (seed $1)" grep -q "^evaluations = [1-9]" out.txt
  check "identical results (seed $1)" diff out.txt api.txt
done
finish
