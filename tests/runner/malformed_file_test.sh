#!/usr/bin/env bash
# Malformed problem files: exit status 2 and a message naming the file, the
# line and the offending key. An input the library refuses: exit status 3
# with the IFLAG and its meaning.
runner=$1
. "$(dirname "$0")/common.sh"

# expect STATUS PATTERN: runs the runner on problem.toml (written before).
expect() {
  "$runner" problem.toml >out.txt 2>err.txt
  local status=$?
  check "status $1 for: $2 (got $status)" test $status -eq "$1"
  check "message: $2" grep -qF -- "$2" err.txt
}
head='command = ["true"]
[[variables]]
lower = 0
upper = 1'

printf '%s\n[options]\nseed = "seven"\n' "$head" >problem.toml
expect 2 "problem.toml:6: key 'options.seed': must be a number"

printf '%s\n[options]\nsede = 3\n' "$head" >problem.toml
expect 2 "problem.toml:6: key 'options.sede': is not a known option"

printf '%s\n[[variables]]\nupper = 2\n' "$head" >problem.toml
expect 2 "problem.toml:5: key 'variables[1].lower': is missing"

printf 'command = ["true"]\n[[variables]]\nlower = 0\nupper = 3\ninteger = true\n[[variables]]\nlower = 0\nupper = 1\n' >problem.toml
expect 2 "problem.toml:6: key 'variables[1].integer': continuous variables must come before"

printf '%s\n[[variables]]\nlower = 0.5\nupper = 3\ninteger = true\n' "$head" >problem.toml
expect 2 "problem.toml:6: key 'variables[1].lower': of an integer variable must be whole"

printf 'constraints = 1\nequalities = 2\n%s\n' "$head" >problem.toml
expect 2 "problem.toml:2: key 'equalities': exceeds constraints = 1"

printf 'command = ["true"]\ncolour = 1\n' >problem.toml
expect 2 "problem.toml:2: key 'colour': is not a known key"

printf '[[variables]]\nlower = 0\nupper = 1\n' >problem.toml
expect 2 "key 'command': is missing"

printf '%s\n[options]\nblock_size = 0\n' "$head" >problem.toml
expect 2 "problem.toml:6: key 'options.block_size': must lie in 1 .. 1000000"

printf 'command = ["true"]\nobjectives = = 2\n' >problem.toml
expect 2 "problem.toml:2:"

# Refused by the library: kernel without ants.
printf '%s\n[options]\nkernel = 2\n' "$head" >problem.toml
expect 3 "IFLAG 311"
check "IFLAG meaning in words" grep -qE "IFLAG 311: [A-Za-z]" err.txt

# Arguments.
"$runner" >out.txt 2>err.txt
check "no problem file: status 2" test $? -eq 2
"$runner" missing.toml >out.txt 2>err.txt
check "unreadable file: status 2" test $? -eq 2
check "unreadable file named" grep -q "missing.toml" err.txt

# NaN in any real option is refused, naming the option (the library would
# let a NaN character through to a misleading error).
for option in accuracy seed fstop algostop evalstop focus ants kernel oracle paretomax \
              epsilon balance character; do
  printf '%s\n[options]\n%s = nan\n' "$head" "$option" >problem.toml
  expect 2 "problem.toml:6: key 'options.$option': must be a number, not nan"
done

# A problem file or checkpoint that is no regular file is refused at once
# (a FIFO would block the read for ever).
printf '%s\n' "$head" >problem.toml
mkdir dir.toml
mkfifo fifo.toml fifo.ckpt
refused() {  # refused DESCRIPTION PATTERN ARGUMENT...
  local what=$1 pattern=$2; shift 2
  timeout 20 "$runner" "$@" >out.txt 2>err.txt
  local status=$?
  check "$what: status 2 (got $status)" test $status -eq 2
  check "$what: named" grep -qF -- "$pattern" err.txt
}
refused "directory as the problem file" "the problem file dir.toml is a directory, not a regular file" dir.toml
refused "FIFO as the problem file" "the problem file fifo.toml is a FIFO, not a regular file" fifo.toml
refused "FIFO to resume from" "--resume: fifo.ckpt is a FIFO, not a regular file" problem.toml --resume fifo.ckpt
finish
