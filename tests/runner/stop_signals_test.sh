#!/usr/bin/env bash
# SIGTERM and SIGHUP stop the run as Ctrl-C does; a second stop signal ends
# it at once, also while the black boxes hang: they are killed with their
# process groups, their point files removed, the best point so far
# reported, and with --checkpoint the run is saved as it was before the
# block in flight. Exit status: 0 after a first signal without
# checkpoints, else 128 + the signal's number.
runner=$1; example=$2
. "$(dirname "$0")/common.sh"
alive() { [ -e "/proc/$1" ] && ! grep -q '^[0-9]* ([^)]*) Z' "/proc/$1/stat" 2>/dev/null; }
number() { kill -l "$1"; }

write_slow_example "$example"
mkdir tmp
export TMPDIR=$work/tmp

# A first signal: the run ends with its best point (status 0), or with
# --checkpoint is saved (status 128 + n).
for sig in TERM HUP; do
  rm -f err.txt run.ckpt
  "$runner" problem.toml >out.txt 2>err.txt &
  pid=$!
  wait_for_first_block
  kill -"$sig" $pid
  wait $pid
  status=$?
  check "SIG$sig: status 0 (got $status)" test $status -eq 0
  check_stopped_on_request
  rm -f err.txt
  "$runner" problem.toml --checkpoint run.ckpt >out.txt 2>err.txt &
  pid=$!
  wait_for_first_block
  kill -"$sig" $pid
  wait $pid
  status=$?
  check "SIG$sig with --checkpoint: status $((128 + $(number $sig))) (got $status)" \
    test $status -eq $((128 + $(number $sig)))
  check "SIG$sig with --checkpoint: saved" grep -q "the run is saved in run.ckpt" err.txt
done

# The black box hangs (for the default limit of 60 s) once the file "hang"
# exists, recording the process ids of its shell and of its sleep.
cat >hang.sh <<'SH'
#!/bin/sh
if [ -e hang ]; then
  echo $$ >>hung.pids
  sleep 1000 &
  echo $! >>hung.pids
  wait
fi
exec sh blackbox.sh "$1"
SH
sed -i -e 's/^command = .*/command = ["sh", "hang.sh"]/' -e '/^timeout/d' problem.toml

for sig in INT TERM HUP; do
  for checkpoint in no yes; do
    what="second SIG$sig, checkpoint $checkpoint"
    rm -f hang hung.pids err.txt run.ckpt
    args=()
    [ $checkpoint = yes ] && args=(--checkpoint run.ckpt --checkpoint-every 40)
    "$runner" problem.toml "${args[@]}" >out.txt 2>err.txt &
    pid=$!
    wait_for_first_block
    touch hang
    for _ in $(seq 100); do [ "$(wc -l <hung.pids 2>/dev/null)" -ge 8 ] && break; sleep 0.1; done
    kill -"$sig" $pid
    sleep 0.5
    check "$what: the first signal waits for the block" alive $pid
    start=$(date +%s)
    kill -"$sig" $pid
    wait $pid
    status=$?
    elapsed=$(( $(date +%s) - start ))
    check "$what: status $((128 + $(number $sig))) (got $status)" test $status -eq $((128 + $(number $sig)))
    check "$what: ends at once (${elapsed} s)" test $elapsed -lt 10
    # A killed process may take a moment to go.
    for _ in $(seq 20); do
      left=0
      for p in $(cat hung.pids); do alive "$p" && left=$((left + 1)); done
      [ $left -eq 0 ] && break
      sleep 0.1
    done
    for p in $(cat hung.pids); do alive "$p" && kill -KILL "$p" 2>/dev/null; done
    check "$what: the hanging black boxes are killed ($left left)" test $left -eq 0
    check "$what: no point file left" test -z "$(ls tmp)"
    check "$what: the best point so far reported" grep -q "^x = [-0-9]" out.txt
    check "$what: logged" grep -q "second stop signal (SIG${sig}): the evaluations in flight are killed" err.txt
    if [ $checkpoint = yes ]; then
      # Resumed with a budget that ends it soon (maxeval applies anew).
      rm -f hang
      sed 's/^maxeval = .*/maxeval = 600/' problem.toml >finish.toml
      "$runner" finish.toml --resume run.ckpt >resumed.txt 2>resumed.err
      status=$?
      check "$what: the saved run resumes and ends (status $status)" test $status -eq 0
      check "$what: the resumed run reports" grep -q "^iflag = " resumed.txt
    fi
  done
done
finish
