#!/usr/bin/env bash
# kestro-run --mpi on 1, 2, 3 and 4 ranks (two of them for each setting)
# gives the same result, to the last bit, as kestro-run on threads and as the
# C++ API with the same function, seed and options.
runner=$1; example=$2; reference=$3; shift 3; launcher=("$@")
. "$(dirname "$0")/../../runner/common.sh"
for setting in "3 4 400 1 3" "11 7 700 2 4"; do
  set -- $setting
  write_example_problem "$example" "$1" "$2" "$3"
  # The API program prints what kestro-run prints but for the line naming
  # the result files, kestro-run's own.
  "$reference" "$1" "$2" "$3" >api.txt
  check "API program ran (seed $1)" test $? -eq 0
  echo "result files = kestro_best.csv kestro_history.csv" >>api.txt
  "$runner" problem.toml >threads.txt 2>err.txt
  check "runner on threads: exit status 0 (seed $1)" test $? -eq 0
  check "runner on threads: same as the API (seed $1)" diff threads.txt api.txt
  for ranks in $4 $5; do
    "${launcher[@]}" -np "$ranks" "$runner" --mpi problem.toml >out.txt 2>err.txt
    check "exit status 0 on $ranks ranks (seed $1)" test $? -eq 0
    check "evaluations made on $ranks ranks (seed $1)" grep -q "^evaluations = [1-9]" out.txt
    check "identical results on $ranks ranks (seed $1)" diff out.txt api.txt
  done
done
finish
