#!/usr/bin/env bash
# SIGUSR1 to a kestro-run --mpi run with --checkpoint saves the run and ends
# every rank (status 130); resumed on another number of ranks, the run ends
# with the result, to the last bit, of the same run on threads that was never
# interrupted.
runner=$1; example=$2; shift 2; launcher=("$@")
. "$(dirname "$0")/../../runner/common.sh"
write_slow_example "$example"
sed -i -e 's/^maxeval = .*/maxeval = 400/' -e 's/^printeval = .*/printeval = 8/' problem.toml
"$runner" problem.toml --jobs 2 >reference.txt 2>/dev/null
check "uninterrupted run on threads: status 0" test $? -eq 0

"${launcher[@]}" -np 4 "$runner" --mpi problem.toml --checkpoint run.ckpt \
    --checkpoint-every 16 >out.txt 2>err.txt &
pid=$!
wait_for_first_block
kill -USR1 $pid
wait $pid
check "interrupted: status 130" test $? -eq 130
check "interrupted: the run is saved" grep -q "the run is saved in run.ckpt" err.txt
check "interrupted: no summary" test ! -s out.txt

"${launcher[@]}" -np 2 "$runner" --mpi problem.toml --resume run.ckpt >out.txt 2>err.txt
check "resumed on 2 ranks: status 0" test $? -eq 0
check "resumed on 2 ranks: evaluations made" grep -q "^evaluations = [1-9]" out.txt
check "resumed on 2 ranks: the uninterrupted run's result" diff out.txt reference.txt
finish
