#!/usr/bin/env bash
# Checkpoints of kestro-run: a run killed outright (SIGKILL) or interrupted
# with Ctrl-C and then resumed with --resume ends with the same result as the
# run that was never stopped, and its screen copy continues instead of
# starting over; a damaged checkpoint is refused with its reason.
runner=$1; example=$2
. "$(dirname "$0")/common.sh"
cp "$example/blackbox.sh" .
# Slow while the file "slow" exists, so that the run can be stopped midway.
cat >maybe_slow.sh <<'SH'
#!/bin/sh
[ -e slow ] && sleep 0.03
exec sh blackbox.sh "$1"
SH
sed -e 's/^command = .*/command = ["sh", "maybe_slow.sh"]/' -e 's/^maxeval = .*/maxeval = 1600/' \
    -e 's/^printeval = .*/printeval = 80/' "$example/problem.toml" >problem.toml

"$runner" problem.toml >reference.txt 2>reference.err
check "reference run ends" test $? -eq 0
cp KESTRO_SCREEN.TXT reference_screen.txt

wait_for() {  # wait_for FILE: until FILE exists (at most 60 s)
  for _ in $(seq 600); do [ -e "$1" ] && return 0; sleep 0.1; done
  return 1
}

screen_ok() {  # one header and one final report in the screen copy
  test "$(grep -c 'SAVE2FILE' KESTRO_SCREEN.TXT)" -eq 1 &&
    test "$(grep -c 'BEST SOLUTION FOUND' KESTRO_SCREEN.TXT)" -eq 1 &&
    test "$(grep -c '^ \[' KESTRO_SCREEN.TXT)" -eq "$(grep -c '^ \[' reference_screen.txt)"
}

# Killed outright.
rm -f KESTRO_*.TXT
touch slow
"$runner" problem.toml --checkpoint run.ckpt --checkpoint-every 40 >killed.txt 2>killed.err &
pid=$!
wait_for run.ckpt
sleep 0.5
kill -KILL $pid
wait $pid 2>/dev/null
check "a checkpoint was written before the kill" test -s run.ckpt
check "killed before the end of the run" sh -c '! grep -q "^iflag" killed.txt'
rm -f slow
"$runner" problem.toml --resume run.ckpt >out.txt 2>err.txt
check "resumed run ends" test $? -eq 0
check "same result as the run never stopped" cmp -s out.txt reference.txt
check "screen copy continued, not restarted" screen_ok

# Interrupted with Ctrl-C.
rm -f KESTRO_*.TXT run.ckpt
touch slow
"$runner" problem.toml --checkpoint run.ckpt --checkpoint-every 1000000 >int.txt 2>int.err &
pid=$!
wait_for KESTRO_SCREEN.TXT  # the Ctrl-C handler is in place before the report starts
sleep 0.5
kill -INT $pid
wait $pid
check "Ctrl-C with checkpoints exits with 130" test $? -eq 130
check "the save is announced" grep -q "the run is saved in run.ckpt" int.err
check "interrupted before the end of the run" sh -c '! grep -q "^iflag" int.txt'
rm -f slow
"$runner" problem.toml --resume run.ckpt >out.txt 2>err.txt
check "run resumed after Ctrl-C ends" test $? -eq 0
check "same result after Ctrl-C and resume" cmp -s out.txt reference.txt
check "screen copy continued after Ctrl-C" screen_ok

# Damaged checkpoints are refused, naming the reason.
head -c 100 run.ckpt >short.ckpt
"$runner" problem.toml --resume short.ckpt >out.txt 2>err.txt
check "truncated checkpoint refused (status 2)" test $? -eq 2
check "truncated named" grep -q "truncated" err.txt
cp run.ckpt bad.ckpt
printf '\x55' | dd of=bad.ckpt bs=1 seek=500 conv=notrunc 2>/dev/null
"$runner" problem.toml --resume bad.ckpt >out.txt 2>err.txt
check "corrupted checkpoint refused (status 2)" test $? -eq 2
check "corruption named" grep -q "corrupted" err.txt
sed -e 's/^block_size = .*/block_size = 4/' problem.toml >other.toml
"$runner" other.toml --resume run.ckpt >out.txt 2>err.txt
check "checkpoint of another block size refused" test $? -eq 2
check "other sizes named" grep -q "other problem sizes" err.txt
finish
