#!/usr/bin/env bash
# The results as data: at the end of every run, whatever printeval and
# save2file are, kestro-run writes the best point, the history of the best
# point and, with several objectives, the Pareto front as CSV files with a
# header row, and names them (and the front size) in its summary; they go to
# the output directory, and with `runs = K` hold the best run's history.
runner=$1; example=$2
. "$(dirname "$0")/common.sh"

# CSV checks: the header row, the number of rows after it, the fields of each.
header() { head -n 1 "$1"; }
rows() { tail -n +2 "$1" | wc -l; }
all_rows_have() {  # all_rows_have FILE FIELDS (numbers only after the header)
  tail -n +2 "$1" | awk -F, -v n="$2" 'NF != n { bad = 1 } END { exit bad }'
}

# One objective: the example problem, silent (no report, no library files).
mkdir one && cd one
cp "$example/blackbox.sh" .
sed -e 's/^printeval = .*/printeval = 0/' -e 's/^save2file = .*/save2file = 0/' \
    -e 's/^maxeval = .*/maxeval = 300/' \
    "$example/problem.toml" >problem.toml
"$runner" problem.toml >out.txt 2>err.txt
check "one objective: exit status 0" test $? -eq 0
check "one objective: files named in the summary" \
  test "$(value 'result files')" = "kestro_best.csv kestro_history.csv"
check "one objective: no front size" test -z "$(value 'pareto front')"
check "one objective: no front file" test ! -e kestro_front.csv
check "best: header with the variables' names" \
  test "$(header kestro_best.csv)" = "f,g1,residual,feasible,evaluations,x,y,k"
check "best: one row of 8 fields" all_rows_have kestro_best.csv 8
check "best: one row" test "$(rows kestro_best.csv)" = 1
check "best: the summary's point and values" awk -F, -v f="$(value f)" -v g="$(value g)" \
  -v x="$(value x)" -v e="$(value evaluations)" 'NR == 2 { split(x, v, " ");
    exit !($1 == f && $2 == g && $3 == 0 && $4 == 1 && $5 == e && $6 == v[1] && $7 == v[2] &&
           $8 == v[3]) }' \
  kestro_best.csv
check "history: header" test "$(header kestro_history.csv)" = "evaluations,f,residual"
check "history: rows of 3 fields" all_rows_have kestro_history.csv 3
check "history: starts with the start block" awk -F, 'NR == 2 { exit !($1 == 8) }' kestro_history.csv
check "history: each row improves, evaluations grow" awk -F, 'NR > 2 {
    if (!($1 > e && ($3 < r || ($3 == r && $2 < f)))) bad = 1 } NR > 1 { e = $1; f = $2; r = $3 }
    END { exit bad }' kestro_history.csv
check "history: ends at the best f" awk -F, -v f="$(value f)" 'END { exit !($2 == f && $3 == 0) }' \
  kestro_history.csv
check "no temporary file left" test -z "$(ls *.tmp 2>/dev/null)"
cd ..

# Two objectives, a constraint, an unnamed variable and a name to quote.
mkdir two && cd two
cat >model.sh <<'SH'
#!/bin/sh
exec awk '{ printf "%.17g %.17g %.17g\n", $1 * $1 + $2 * $2, ($1 - 2)^2 + ($2 - 1)^2, 3 - $1 - $2 }' "$1"
SH
cat >problem.toml <<'TOML'
command = ["sh", "model.sh"]
objectives = 2
constraints = 1
jobs = 2
[[variables]]
name = "width, mm"
lower = -1
upper = 3
[[variables]]
lower = -1
upper = 3
[options]
seed = 3
block_size = 4
maxeval = 400
TOML
"$runner" problem.toml --quiet >out.txt 2>err.txt
check "two objectives: exit status 0" test $? -eq 0
size=$(value 'pareto front' | awk '{ print $1 }')
check "two objectives: front size in the summary" test "$size" -gt 5
check "two objectives: all files named" \
  test "$(value 'result files')" = "kestro_best.csv kestro_history.csv kestro_front.csv"
check "front: header with the names, quoted where needed" \
  test "$(header kestro_front.csv)" = 'f1,f2,g1,"width, mm",x2'
check "front: one row per entry" test "$(rows kestro_front.csv)" = "$size"
check "front: rows of O + M + N fields" all_rows_have kestro_front.csv 5
check "front: entries feasible, none clearly dominated" awk -F, 'NR > 1 { f1[NR] = $1; f2[NR] = $2;
    if ($3 < -0.001) bad = 1 } END { for (i in f1) for (j in f1)
      if (f1[j] < f1[i] - 0.01 * (f1[i] < 0 ? -f1[i] : f1[i]) &&
          f2[j] < f2[i] - 0.01 * (f2[i] < 0 ? -f2[i] : f2[i])) bad = 1; exit bad }' kestro_front.csv
check "history: compromise and front size" \
  test "$(header kestro_history.csv)" = "evaluations,compromise,front_size,residual"
check "history: rows of 4 fields" all_rows_have kestro_history.csv 4
check "best: header of two objectives" \
  test "$(header kestro_best.csv)" = 'f1,f2,g1,residual,feasible,evaluations,"width, mm",x2'
check "best: the summary's objectives" awk -F, -v f="$(value f)" 'NR == 2 { split(f, v, " ");
    exit !($1 == v[1] && $2 == v[2]) }' kestro_best.csv

# A file that cannot be written (its temporary name is taken by a directory).
mkdir ../short && sed 's/^maxeval = .*/maxeval = 12/' problem.toml >../short/problem.toml
cp model.sh ../short/ && mkdir ../short/kestro_best.csv.tmp
(cd ../short && "$runner" problem.toml --quiet >out.txt 2>err.txt)
check "unwritable file: exit status 0" test $? -eq 0
check "unwritable file: named on stderr" \
  grep -q "kestro-run: cannot write kestro_best.csv: Is a directory" ../short/err.txt
check "unwritable file: the others written and named" \
  test "$(cd ../short && value 'result files')" = "kestro_history.csv kestro_front.csv"

# --output-dir and runs = 2: the files in the directory, none in the current
# one; the history is the best run's, which is that run made alone.
cd ..
mkdir several && cd several
cp ../two/model.sh . && sed 's/^seed = 3/seed = 3\nruns = 2/' ../two/problem.toml >problem.toml
"$runner" problem.toml --quiet --output-dir out/dir >out.txt 2>err.txt
check "two runs: exit status 0" test $? -eq 0
check "two runs: files in the output directory, named there" test "$(value 'result files')" = \
  "out/dir/kestro_best.csv out/dir/kestro_history.csv out/dir/kestro_front.csv"
check "two runs: none in the current directory" test -z "$(ls kestro_* 2>/dev/null)"
best=$(value 'best run')
sed -e 's/^runs = 2//' -e "s/^seed = 3/seed = $((3 + best))/" problem.toml >alone.toml
"$runner" alone.toml --quiet --output-dir alone >/dev/null 2>&1
check "two runs: the best run's history" cmp -s out/dir/kestro_history.csv alone/kestro_history.csv
check "two runs: the front has the summary's size" \
  test "$(rows out/dir/kestro_front.csv)" = "$(value 'pareto front' | awk '{ print $1 }')"

finish
