#!/usr/bin/env bash
# Threads that cannot be started (here: each would need a 1 GB stack under a
# 600 MB address-space limit) do not abort the runner: the blocks are
# evaluated on the threads that did start, with the result of an
# unhindered run, and no point file stays behind.
runner=$1; example=$2
. "$(dirname "$0")/common.sh"
write_example_problem "$example" 4 6 120
mkdir tmp
export TMPDIR=$work/tmp
"$runner" problem.toml >reference.txt 2>reference.err
check "unhindered run: status 0" test $? -eq 0
(ulimit -s 1000000 && ulimit -v 600000 && exec "$runner" problem.toml) >out.txt 2>err.txt
status=$?
check "limited run: status 0 (got $status)" test $status -eq 0
check "limited run: the result of the unhindered run" cmp -s out.txt reference.txt
check "limited run: the fewer threads logged" grep -q "cannot start another thread; evaluating 1 at once" err.txt
check "no point file left" test -z "$(ls tmp)"
finish
