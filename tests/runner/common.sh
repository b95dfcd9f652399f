# Shared by the kestro-run tests: a fresh temporary directory and checks.
set -u
work=$(mktemp -d "${TMPDIR:-/tmp}/kestro-run-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
finish() {
  if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
  exit 0
}
value() { sed -n "s/^$1 = //p" out.txt; }  # a line of kestro-run's summary

# The example's problem (EXAMPLE_DIR) with its black box answering after
# 0.05 s and a budget that never ends the run: for the tests that stop it.
write_slow_example() {  # write_slow_example EXAMPLE_DIR
  cp "$1/blackbox.sh" .
  sed -e 's/^maxeval = .*/maxeval = 10000000/' -e 's/^printeval = .*/printeval = 100/' \
      -e 's/^command = .*/command = ["sh", "slow.sh"]/' "$1/problem.toml" >problem.toml
  cat >slow.sh <<'SH'
#!/bin/sh
sleep 0.05
exec sh blackbox.sh "$1"
SH
}

# Waits (at most 120 s) until the report in err.txt shows its first progress
# line: by then the runner handles its stop signals.
wait_for_first_block() {
  for _ in $(seq 600); do
    grep -qE '^ \[ +[0-9]+,' err.txt 2>/dev/null && return 0
    sleep 0.2
  done
  return 1
}

# A three-variable problem (one integer) on the example's black box with the
# given seed, block size and budget, evaluated 3 at a time.
write_example_problem() {  # write_example_problem EXAMPLE_DIR SEED BLOCK MAXEVAL
  cp "$1/blackbox.sh" .
  cat >problem.toml <<TOML
command = ["sh", "blackbox.sh"]
constraints = 1
jobs = 3
[[variables]]
lower = -5
upper = 5
[[variables]]
lower = -5
upper = 5
[[variables]]
lower = 0
upper = 10
integer = true
[options]
seed = $2
block_size = $3
maxeval = $4
TOML
}

# A black box that fails in every way on six of its calls (numbered 3 to 8 in
# the order they start): exit status 3, a hang (killed after the 3 s limit),
# garbage, too few values, a crash by SIGSEGV, a hang after closing its
# output; and its problem, 60 evaluations in blocks of 4. Extra lines for the
# problem file's top level come as arguments.
write_faulty_problem() {  # write_faulty_problem [TOML LINE...]
  cat >faulty.sh <<'SH'
#!/bin/sh
# Numbers its calls 0, 1, 2, ... even when they run at once (mkdir is atomic).
n=0
while ! mkdir "calls/$n" 2>/dev/null; do n=$((n + 1)); done
case $n in
  3) exit 3 ;;
  4) sleep 60; echo 0 0; exit 0 ;;
  5) echo "1.0 banana"; exit 0 ;;
  6) echo "1.0"; exit 0 ;;
  7) kill -SEGV $$ ;;
  8) exec >&-; sleep 60 ;;
esac
awk '{ printf "%.17g %.17g\n", $1 * $1 + $2 * $2, $1 + $2 + 1 }' "$1"
SH
  mkdir -p calls
  {
    echo 'command = ["sh", "faulty.sh"]'
    echo 'constraints = 1'
    echo 'timeout = 3'
    for line in "$@"; do echo "$line"; done
    cat <<'TOML'
[[variables]]
lower = -2
upper = 2
[[variables]]
lower = -2
upper = 2
[options]
seed = 5
block_size = 4
maxeval = 60
TOML
  } >problem.toml
}

# The checks on the log of a run of write_faulty_problem's black box.
check_faulty_run_logged() {
  check "six failed evaluations counted" test "$(value 'failed evaluations')" = 6
  check "the budget of 60 evaluations used" awk -v e="$(value evaluations)" 'BEGIN { exit !(e >= 60 && e <= 64) }'
  check "logged: both timeouts" test "$(grep -c "failed: timed out after 3 s" err.txt)" = 2
  check "logged: garbage" grep -q "failed: value 2 is not a number: 'banana'" err.txt
  check "logged: too few values" grep -q "failed: printed 1 values, 2 expected" err.txt
  check "logged: crash" grep -q "failed: killed by signal 11" err.txt
  check "total logged" grep -q "6 evaluations of the black box failed" err.txt
  check "best point is finite" awk -v f="$(value f)" 'BEGIN { exit !(f == f + 0 && f < 1) }'
}

# The checks on a run stopped by a signal: it ended on the stop request with
# the final report, logged the interruption and stopped early.
check_stopped_on_request() {
  check "ended on the stop request" grep -q "^iflag = [0-9]*: stopped on request" out.txt
  check "final report with the best point" grep -q "BEST SOLUTION FOUND" err.txt
  check "interruption logged" grep -q "interrupted, stopping the run" err.txt
  check "stopped early" awk -v e="$(value evaluations)" 'BEGIN { exit !(e > 0 && e < 2000) }'
}
