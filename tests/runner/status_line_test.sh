#!/usr/bin/env bash
# The status line of kestro-run in a real terminal (a tmux pane): it shows
# the evaluations of the budget, the best f, feasibility, failures, the rate
# and the time left while the run goes, is cleared at the end, and the
# library's report around it is line for line the report written to a file;
# with `runs = 2` and --output-dir it shows both runs together.
# Exit status 77 (skipped) without tmux.
runner=$1; example=$2
command -v tmux >/dev/null || { echo "skipped: tmux is not installed"; exit 77; }
. "$(dirname "$0")/common.sh"
socket="kestro-status-$$"
trap 'tmux -L "$socket" kill-server 2>/dev/null; rm -rf "$work"' EXIT

write_slow_example "$example"
sed -i -e 's/^maxeval = .*/maxeval = 160/' -e 's/^printeval = .*/printeval = 40/' \
    -e 's/^jobs = .*/jobs = 2/' -e 's/^block_size = .*/block_size = 4/' problem.toml

# The same run with stderr to a file: the report as written without a terminal.
"$runner" problem.toml >file_out.txt 2>file_err.txt
check "not a terminal: no status line" test "$(grep -c 'evals' file_err.txt)" = 0
check "not a terminal: no control characters" test "$(grep -c $'\033' file_err.txt)" = 0

tmux -L "$socket" new-session -d -x 200 -y 50 \
  "cd '$work' && '$runner' problem.toml >tty_out.txt; echo \$? >status.txt; sleep 60"
pane() { tmux -L "$socket" capture-pane -p -S -100 -E 100; }
# The last status line of the pane while the run goes (at most 120 s of
# waiting; empty when the run ends first).
status_line() {
  local line
  for _ in $(seq 600); do
    line=$(pane | grep ' evals |' | tail -n 1)
    if [ -n "$line" ] && grep -q 'best f' <<<"$line"; then echo "$line"; return; fi
    [ -e status.txt ] && return
    sleep 0.2
  done
}

# While the run goes: the status line.
seen=$(status_line)
echo "status line: $seen"
check "status line shown" test -n "$seen"
check "status line: evaluations of the budget" grep -qE '^[0-9]+/160 evals \| ' <<<"$seen"
check "status line: best f and feasibility" \
  grep -qE '\| best f [-0-9.e+]+ \| (feasible|violation [0-9.e+-]+) \|' <<<"$seen"
check "status line: failures, time, rate, time left" \
  grep -qE '\| failed 0 \| [0-9]+:[0-9]{2} \| [0-9.e+]+ evals/s \| [0-9]+:[0-9]{2} left$' <<<"$seen"

for _ in $(seq 600); do [ -e status.txt ] && break; sleep 0.2; done
check "run ended with status 0" test "$(cat status.txt 2>/dev/null)" = 0
sleep 0.3
pane >pane.txt
check "status line cleared at the end" test "$(grep -c ' evals |' pane.txt)" = 0
# The report lines, without the CPU-time column, are those of the file run.
report() { sed -n -e '/KESTRO/,$p' "$1" | sed -E 's/^( \[ *[0-9]+,) *[0-9.]+\]/\1]/;
  s/(EVAL: +[0-9]+, +TIME:) +[0-9.]+/\1/' | sed -e 's/ *$//' | grep -v '^$'; }
report file_err.txt >expected.txt
report pane.txt >shown.txt
check "report in the terminal is the report in the file" diff expected.txt shown.txt
check "the report has its progress lines" test "$(grep -c '^ \[ *[0-9]*,\]' shown.txt)" -ge 5
check "same summary" diff file_out.txt tty_out.txt

# Two runs side by side, the files in an output directory: the line counts
# both runs against twice the budget; the reports of both runs are there, none
# broken by the line, and the summary is that of the run without a terminal.
sed -i 's/^seed = \(.*\)/seed = \1\nruns = 2/' problem.toml
rm -f status.txt
"$runner" problem.toml --output-dir file_dir >file_out2.txt 2>file_err2.txt
tmux -L "$socket" new-session -d -s runs -x 200 -y 50 \
  "cd '$work' && '$runner' problem.toml --output-dir tty_dir >tty_out2.txt; echo \$? >status.txt; sleep 60"
pane() { tmux -L "$socket" capture-pane -t runs -p -S -2000 -E 100; }
seen=$(status_line)
echo "status line of two runs: $seen"
check "two runs: evaluations of twice the budget" grep -qE '^[0-9]+/320 evals \| best f ' <<<"$seen"
for _ in $(seq 600); do [ -e status.txt ] && break; sleep 0.2; done
check "two runs: status 0" test "$(cat status.txt 2>/dev/null)" = 0
sleep 0.3
pane >pane2.txt
check "two runs: status line cleared at the end" test "$(grep -c ' evals |' pane2.txt)" = 0
lines() { grep -cE '^ \[ *[0-9]+, *[0-9.]+\] +F\(X\):' "$1"; }
check "two runs: every progress line whole" test "$(lines pane2.txt)" = "$(lines file_err2.txt)"
check "two runs: same summary but the directory" \
  diff <(sed 's/file_dir/DIR/g' file_out2.txt) <(sed 's/tty_dir/DIR/g' tty_out2.txt)
check "two runs: result files in the output directory" test -s tty_dir/kestro_history.csv
finish
