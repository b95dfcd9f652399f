#!/usr/bin/env bash
# What a black box prints: more values than objectives and constraints, a
# value that is not finite or that the library counts as a failure, and
# control characters are each a failed evaluation, logged with the reason
# (the black box's text escaped) and counted with the other failures.
runner=$1
. "$(dirname "$0")/common.sh"

# A black box that prints the content of odd.txt on its second call and the
# right two values otherwise; one point per block, 20 evaluations.
cat >answer.sh <<'SH'
#!/bin/sh
n=0
while ! mkdir "calls/$n" 2>/dev/null; do n=$((n + 1)); done
if [ "$n" = 1 ]; then cat odd.txt; exit 0; fi
awk '{ printf "%.17g %.17g\n", $1 * $1 + $2 * $2, 1 - $1 }' "$1"
SH
cat >problem.toml <<'TOML'
command = ["sh", "answer.sh"]
constraints = 1
[[variables]]
lower = -2
upper = 2
[[variables]]
lower = -2
upper = 2
[options]
seed = 3
maxeval = 20
TOML

# odd_output OUTPUT REASON: the second evaluation prints OUTPUT and fails
# with REASON.
odd_output() {
  rm -rf calls && mkdir calls
  printf '%b\n' "$1" >odd.txt
  "$runner" problem.toml >out.txt 2>err.txt
  local status=$?
  check "$1: status 0 (got $status)" test $status -eq 0
  check "$1: logged as '$2'" grep -qF -- "evaluation 2 failed: $2" err.txt
  check "$1: one failed evaluation" test "$(value 'failed evaluations')" = 1
  check "$1: one failed run of the black box" grep -q "^kestro-run: 1 evaluations of the black box failed" err.txt
  check "$1: the best point is a good one" test "$(value feasible)" = yes
}
odd_output '1 2 3 4' "expected 2 values, got 4"
odd_output '1 2\n3' "expected 2 values, got 3"
odd_output 'nan 0' "value 1 is 'nan': not a finite number"
odd_output '0 -inf' "value 2 is '-inf': not a finite number"
odd_output '1e400 0' "value 1 is '1e400': not a finite number"
odd_output '1e99 0' "value 1 is '1e99': an objective of 1e98 or more marks a failure"
odd_output '0 -1e98' "value 2 is '-1e98': a constraint of -1e98 or less marks a failure"
# Escape sequences and other bytes reach the log escaped, never raw.
odd_output '1 \033[2J\033[31mred\007' "value 2 is not a number: '\\x1b[2J\\x1b[31mred\\x07'"
check "no raw escape character in the log" sh -c "! grep -q \"$(printf '\033')\" err.txt"

# A run in which no evaluation succeeded is no success, with status 4: with
# fail_fast (the default) it is ended after the first 10 evaluations with the
# first failure's cause; when it reaches its end all the same (fail_fast off,
# or a budget below those first evaluations) the cause is on the standard
# error stream and in the summary, and the best point is not feasible.
no_success() {  # no_success DESCRIPTION COMMAND
  local options
  for options in 'maxeval = 20' 'fail_fast = false\nmaxeval = 20' 'maxeval = 3'; do
    printf 'command = %s\n[[variables]]\nlower = 0\nupper = 1\n[options]\n%b\n' "$2" \
      "$options" >problem.toml
    "$runner" problem.toml >out.txt 2>err.txt
    local status=$?
    local what="$1 ($(printf '%b' "$options" | tr '\n' ' '))"
    check "$what: status 4 (got $status)" test $status -eq 4
    if [ "$options" = 'maxeval = 20' ]; then
      check "$what: ended early with the first cause" \
        grep -q "^kestro-run: every one of the first [0-9]* evaluations failed; the first: " err.txt
      check "$what: no summary" test ! -s out.txt
    else
      check "$what: the cause named" \
        grep -q "^kestro-run: no evaluation succeeded: \([0-9]*\) of \1 failed" err.txt
      check "$what: the summary says so" grep -q "^iflag = [0-9]*: no evaluation succeeded" out.txt
      check "$what: not feasible" test "$(value feasible)" = no
    fi
  done
}
no_success "a command that does not exist" '["./no-such-black-box"]'
no_success "a command that always fails" '["sh", "-c", "exit 1"]'
no_success "a command that always prints nan" '["sh", "-c", "echo nan"]'
finish
