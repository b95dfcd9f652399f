#!/usr/bin/env bash
# kestro-run --mpi ends cleanly on every rank when the run cannot start: a
# malformed problem file (status 2, the message once) and an input the
# library refuses on rank 0 (status 3, the workers are let go). mpirun exits
# with the status of the first rank that failed.
runner=$1; shift; launcher=("$@")
. "$(dirname "$0")/../../runner/common.sh"
head='command = ["true"]
[[variables]]
lower = 0
upper = 1'

printf '%s\n[options]\nsede = 3\n' "$head" >problem.toml
"${launcher[@]}" -np 3 "$runner" --mpi problem.toml >out.txt 2>err.txt
check "malformed file: status 2" test $? -eq 2
check "malformed file: message once" \
  test "$(grep -c "problem.toml:6: key 'options.sede': is not a known option" err.txt)" = 1

printf '%s\n[options]\nkernel = 2\n' "$head" >problem.toml
"${launcher[@]}" -np 3 "$runner" --mpi problem.toml >out.txt 2>err.txt
check "refused input: status 3" test $? -eq 3
check "refused input: IFLAG and its meaning" grep -qE "IFLAG 311: [A-Za-z]" err.txt
check "refused input: no summary" test ! -s out.txt
finish
