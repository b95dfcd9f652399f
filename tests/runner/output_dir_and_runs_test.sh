#!/usr/bin/env bash
# --output-dir sends the report files to a directory of their own (made when
# missing) and changes nothing else; `runs = K` makes K runs, each the run of
# its seed alone, reports the best and every run, and gives each run its own
# report files; runs with checkpoints are refused.
runner=$1; example=$2
. "$(dirname "$0")/common.sh"

write_example_problem "$example" 3 2 60
sed -i 's/^maxeval = 60/maxeval = 60\nprinteval = 20\nsave2file = 100000/' problem.toml
"$runner" problem.toml >plain.txt 2>/dev/null
check "a run without --output-dir writes to the current directory" test -s KESTRO_HISTORY.TXT
mkdir here && cd here
"$runner" ../problem.toml --output-dir out/reports >out.txt 2>err.txt
check "exit status 0 with --output-dir" test $? -eq 0
check "the same summary, the result files in the directory" \
  cmp -s <(sed 's| out/reports/| |g' out.txt) ../plain.txt
check "the result files there" test -s out/reports/kestro_best.csv -a -s out/reports/kestro_history.csv
check "the history file in the directory" cmp -s out/reports/KESTRO_HISTORY.TXT ../KESTRO_HISTORY.TXT
check "the screen and solution files there" test -s out/reports/KESTRO_SCREEN.TXT -a -s out/reports/KESTRO_SOLUTION.TXT
check "nothing else in the current directory" test "$(ls | sort | tr '\n' ' ')" = "err.txt out out.txt "
cd ..

# Three runs: each is the run of its seed alone.
sed -i 's/^seed = 3/seed = 3\nruns = 3/' problem.toml
"$runner" problem.toml --output-dir several >out.txt 2>err.txt
check "exit status 0 with runs = 3" test $? -eq 0
check "three run lines" test "$(grep -c '^run [0-2]: seed = ' out.txt)" = 3
best=$(value 'best run')
for k in 0 1 2; do
  sed -e 's/^runs = 3//' -e "s/^seed = 3/seed = $((3 + k))/" problem.toml >alone.toml
  "$runner" alone.toml --output-dir "alone$k" >"alone$k.txt" 2>/dev/null
  f=$(sed -n 's/^f = //p' "alone$k.txt"); e=$(sed -n 's/^evaluations = //p' "alone$k.txt")
  check "run $k is the run of seed $((3 + k))" grep -q "^run $k: seed = $((3 + k)), iflag = [0-9]*, f = $f, feasible = [a-z]*, evaluations = $e\$" out.txt
  check "run $k's own report files" cmp -s "several/run${k}_KESTRO_HISTORY.TXT" "alone$k/KESTRO_HISTORY.TXT"
  if [ "$k" = "$best" ]; then check "the best run's f is the summary's" test "$f" = "$(value f)"; fi
done
check "the best run is the lowest" awk -v b="$best" '/^run [0-9]: / { f = $11; sub(",", "", f); k = $2; sub(":", "", k);
  if (best == "" || f + 0 < low) { low = f + 0; best = k } } END { exit !(best == b) }' out.txt

"$runner" problem.toml --checkpoint run.ckpt >out.txt 2>err.txt
check "runs with checkpoints: exit status 2" test $? -eq 2
check "runs with checkpoints: said why" grep -q "runs = 3 cannot be combined with checkpoints" err.txt
check "runs with checkpoints: no file" test ! -e run.ckpt
sed -i 's/^runs = 3/runs = 0/' problem.toml
"$runner" problem.toml >out.txt 2>err.txt
check "runs = 0: exit status 2" test $? -eq 2
check "runs = 0: named" grep -q "options.runs" err.txt
finish
