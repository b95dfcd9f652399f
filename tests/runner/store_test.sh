#!/usr/bin/env bash
# kestro-run's evaluation store: what a run writes (schema, every evaluation
# with its outcome, the run's result), a store that cannot be used refused
# before any evaluation, a runner killed mid-block leaving a valid store, a
# full file mid-run logged while the run goes on, the cache giving the same
# results as the run without it, stop signals leaving the committed blocks,
# and a resumed run appending without duplicating rows. The store is read with Python's sqlite3 module.
runner=$1; example=$2
. "$(dirname "$0")/common.sh"

sql() {  # sql FILE QUERY: the rows, columns separated by '|'
  python3 - "$1" "$2" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
for row in db.execute(sys.argv[2]):
    print("|".join("" if v is None else str(v) for v in row))
PY
}
summary() { grep -v '^cache hits' "$1"; }  # the summary without the cache line

# The example's black box, counting its calls in calls.log.
write_counting_problem() {  # write_counting_problem SEED BLOCK MAXEVAL
  write_example_problem "$example" "$@"
  sed -i 's/^command = .*/command = ["sh", "counting.sh"]/' problem.toml
  cat >counting.sh <<'SH'
#!/bin/sh
echo x >>calls.log
exec sh blackbox.sh "$1"
SH
}
calls() { if [ -e calls.log ]; then wc -l <calls.log; else echo 0; fi; }

# --- What a run writes, with failures of every kind.
write_faulty_problem
"$runner" problem.toml --quiet >out.txt 2>err.txt
check "faulty run ends" test $? -eq 0
db=kestro-run.sqlite
check "default store written in the current directory" test -s $db
check "schema version 1" test "$(sql $db 'SELECT name, version FROM kestro_store')" = "kestro evaluation store|1"
check "WAL mode" test "$(sql $db 'PRAGMA journal_mode')" = wal
check "one row per evaluation, numbered 1 .. evaluations" \
  test "$(sql $db 'SELECT count(*), min(evaluation), max(evaluation), count(DISTINCT evaluation) FROM evaluations')" \
       = "$(value evaluations)|1|$(value evaluations)|$(value evaluations)"
check "block and position give the evaluation number" \
  test "$(sql $db 'SELECT count(*) FROM evaluations WHERE evaluation != (block - 1) * 4 + position OR position NOT BETWEEN 1 AND 4')" = 0
check "the run's result recorded" \
  test "$(sql $db 'SELECT iflag, evaluations, failed_evaluations, feasible FROM runs')" \
       = "$(value iflag | cut -d: -f1)|$(value evaluations)|$(value 'failed evaluations')|$([ "$(value feasible)" = yes ] && echo 1 || echo 0)"
check "the run's best point recorded exactly" \
  test "$(sql $db "SELECT f FROM runs")" = "[$(value f)]"
# (six failures, more when the machine is so busy that a call takes 3 s)
check "every failure stored, with a reason" \
  test "$(sql $db "SELECT count(*), count(reason) FROM evaluations WHERE status = 'failed'")" \
       = "$(value 'failed evaluations')|$(value 'failed evaluations')"
for reason in "timed out after 3 s (killed)" "exit status 3" "value 2 is not a number: 'banana'" \
              "printed 1 values, 2 expected" "killed by signal 11"; do
  check "reason stored: $reason" \
    test "$(sql $db "SELECT count(*) >= 1 FROM evaluations WHERE status = 'failed' AND reason = '${reason//\'/\'\'}'")" = 1
done
check "a failure's values are null (NaN) as the library received them" \
  test "$(sql $db "SELECT DISTINCT f, g FROM evaluations WHERE status = 'failed'")" = "[null]|[null]"
check "wall times: none negative, the timed-out ones at least 3 s" \
  test "$(sql $db "SELECT sum(seconds < 0), sum(seconds >= 3) >= 2, count(seconds) FROM evaluations")" = "0|1|$(value evaluations)"
check "values stored as the black box printed them" \
  python3 - $db <<'PY'
import json, sqlite3, sys
db = sqlite3.connect(sys.argv[1])
for x, f, g in db.execute("SELECT x, f, g FROM evaluations WHERE status = 'ok'"):
    x, f, g = json.loads(x), json.loads(f), json.loads(g)
    if f[0] != x[0] * x[0] + x[1] * x[1] or g[0] != x[0] + x[1] + 1:
        sys.exit(f"{x} {f} {g}")
PY
check "the digest is the SHA-256 of the problem's description" \
  python3 - $db "$PWD" <<'PY'
import hashlib, json, sqlite3, sys
problem, digest = sqlite3.connect(sys.argv[1]).execute("SELECT problem, problem_digest FROM runs").fetchone()
p = json.loads(problem)
assert hashlib.sha256(problem.encode()).hexdigest() == digest, digest
assert p["command"] == ["sh", "faulty.sh"] and p["directory"] == sys.argv[2], p
assert p["lower"] == [-2, -2] and p["constraints"] == 1, p
PY
rm -rf calls faulty.sh problem.toml out.txt err.txt $db*

# --- A store that cannot be used is refused before any evaluation.
write_counting_problem 1 4 40
echo "just text, not a database" >text.sqlite
python3 -c "import sqlite3; sqlite3.connect('other.sqlite').execute('CREATE TABLE t (a)')"
"$runner" problem.toml --store new.sqlite --quiet >/dev/null 2>&1
python3 -c "import sqlite3; c = sqlite3.connect('new.sqlite'); c.execute('UPDATE kestro_store SET version = 2'); c.commit()"
ln -s text.sqlite link.sqlite     # never written through a link
ln -s text.sqlite fresh.sqlite-wal
rm -f calls.log
for case in "text.sqlite|is not a Kestro store (not an SQLite database)" \
            "other.sqlite|is not a Kestro store (an SQLite database without the table kestro_store)" \
            "new.sqlite|has schema version 2, newer than version 1" \
            "missing/dir/run.sqlite|cannot be opened" \
            "link.sqlite|is a symbolic link, which is not followed" \
            "fresh.sqlite|fresh.sqlite-wal is a symbolic link, which is not followed"; do
  file=${case%%|*}; message=${case#*|}
  "$runner" problem.toml --store "$file" >out.txt 2>err.txt
  check "$file refused with status 5" test $? -eq 5
  check "$file: message names the store and the reason" grep -qF "kestro-run: store $file: $message" err.txt
done
check "nothing evaluated for a refused store" test "$(calls)" = 0
check "the refused files are left as they were" \
  test "$(cat text.sqlite)" = "just text, not a database" -a "$(sql other.sqlite 'SELECT count(*) FROM t')" = 0
"$runner" problem.toml --no-store --cache >out.txt 2>err.txt
check "--cache without the store refused (status 2)" test $? -eq 2
"$runner" problem.toml --no-store --quiet >out.txt 2>err.txt
check "--no-store writes no store" test $? -eq 0 -a ! -e kestro-run.sqlite
"$runner" problem.toml --no-store --store x.sqlite >out.txt 2>err.txt
check "--no-store with --store refused (status 2)" test $? -eq 2 -a ! -e x.sqlite
"$runner" problem.toml --quiet --output-dir out >out.txt 2>err.txt
check "the default store goes to the output directory" \
  test $? -eq 0 -a ! -e kestro-run.sqlite -a "$(sql out/kestro-run.sqlite 'SELECT count(*) FROM runs')" = 1
# With runs = K the runs are not stored: asking for the store is refused
# before anything is evaluated, and without asking no store is written.
sed -i 's/^\[options\]$/[options]\nruns = 2/' problem.toml
for flag in "--store k.sqlite" --cache; do
  rm -f calls.log
  "$runner" problem.toml $flag >out.txt 2>err.txt
  check "runs = 2 with $flag refused (status 2)" test $? -eq 2 -a "$(calls)" = 0
  check "runs = 2 with $flag: the message says why" grep -q "the evaluation store keeps one run at a time" err.txt
done
"$runner" problem.toml --quiet >out.txt 2>err.txt
check "runs = 2 without the store's flags ends, with no store" \
  test $? -eq 0 -a ! -e kestro-run.sqlite -a ! -e k.sqlite
check "runs = 2: the runs are reported" grep -q "^best run = " out.txt
sed -i '/^runs = 2$/d' problem.toml
rm -rf out
rm -f ./*.sqlite* calls.log

# --- The cache: same results as without it, hits not evaluated.
write_counting_problem 3 4 200
"$runner" problem.toml --quiet --store plain.sqlite >plain.txt 2>/dev/null
"$runner" problem.toml --quiet --store cache.sqlite --cache >first.txt 2>/dev/null
evaluations=$(sed -n 's/^evaluations = //p' plain.txt)
hits=$(sed -n 's/^cache hits = //p' first.txt)
check "a run with an empty cache ends as without it" cmp -s <(summary first.txt) plain.txt
check "an empty cache: hits are repeats within the run, marked in the store" \
  test "$(sql cache.sqlite 'SELECT sum(cached) FROM evaluations')" = "$hits"
check "an empty cache: the black box started for the misses only" test "$(calls)" = $((2 * evaluations - hits))
rm -f calls.log
"$runner" problem.toml --quiet --store cache.sqlite --cache >again.txt 2>/dev/null
check "the same run again from the cache: same result" cmp -s <(summary again.txt) plain.txt
check "every point served from the cache" grep -q "^cache hits = $evaluations$" again.txt
check "the black box not started at all" test "$(calls)" = 0
check "hits marked in the store" \
  test "$(sql cache.sqlite 'SELECT count(*), sum(cached), sum(seconds) FROM evaluations WHERE run_id = 2')" = "$evaluations|$evaluations|0.0"
sed -i 's/^seed = .*/seed = 4/' problem.toml
"$runner" problem.toml --quiet --no-store >plain4.txt 2>/dev/null
rm -f calls.log
"$runner" problem.toml --quiet --store cache.sqlite --cache >cached4.txt 2>/dev/null
hits=$(sed -n 's/^cache hits = //p' cached4.txt)
check "another seed: some points from the cache (the start block at least)" test "${hits:-0}" -ge 4
check "another seed: the same result as without the cache" cmp -s <(summary cached4.txt) plain4.txt
check "another seed: the black box started for the misses only" test "$(calls)" = $((evaluations - hits))
rm -f ./*.sqlite* calls.log ./*.txt

# Failed evaluations are served only with --cache-failures: a black box
# that fails (exit status 3) wherever x + y > 1.
write_counting_problem 3 4 200
cat >counting.sh <<'SH'
#!/bin/sh
echo x >>calls.log
exec awk '{ if ($1 + $2 > 1) exit 3; printf "%.17g %.17g\n", $1 * $1 + $2 * $2 + $3, 5 - $3 }' "$1"
SH
"$runner" problem.toml --quiet --store failing.sqlite >first.txt 2>/dev/null
failed_count=$(sed -n "s/^failed evaluations = //p" first.txt)
evaluations=$(sed -n 's/^evaluations = //p' first.txt)
check "the failing black box fails at times" test "${failed_count:-0}" -gt 0
failed_points=$(sql failing.sqlite "SELECT count(*) FROM evaluations WHERE status = 'failed'")
ok_points=$((evaluations - failed_points))
cp failing.sqlite failures.sqlite
rm -f calls.log
"$runner" problem.toml --quiet --store failing.sqlite --cache >again.txt 2>/dev/null
check "without --cache-failures: failed points evaluated again" test "$(calls)" = "$failed_points"
check "without --cache-failures: the successful ones served" grep -q "^cache hits = $ok_points$" again.txt
check "without --cache-failures: same result" cmp -s <(summary again.txt) first.txt
rm -f calls.log
"$runner" problem.toml --quiet --store failures.sqlite --cache-failures >served.txt 2>/dev/null
check "--cache-failures: every point served" grep -q "^cache hits = $evaluations$" served.txt
check "--cache-failures: the black box not started" test "$(calls)" = 0
check "--cache-failures: same result, the failures counted again" cmp -s <(summary served.txt) first.txt
check "--cache-failures: failed hits marked with their reason" \
  test "$(sql failures.sqlite "SELECT count(*) FROM evaluations WHERE run_id = 2 AND cached = 1 AND status = 'failed' AND reason = 'exit status 3'")" = "$failed_points"
rm -f ./*.sqlite* calls.log counting.sh problem.toml ./*.txt

# --- Killed mid-block: what was committed stays, whole blocks only. A reader
# queries the store while the run writes it.
write_example_problem "$example" 2 4 100000
cat >slow.sh <<'SH'
#!/bin/sh
sleep 0.2
exec sh blackbox.sh "$1"
SH
sed -i -e 's/^command = .*/command = ["sh", "slow.sh"]/' -e 's/^jobs = .*/jobs = 4/' problem.toml
"$runner" problem.toml --quiet --store killed.sqlite >out.txt 2>err.txt &
pid=$!
rows=0
for _ in $(seq 600); do
  rows=$(sql killed.sqlite 'SELECT count(*) FROM evaluations' 2>/dev/null)
  [ "${rows:-0}" -ge 12 ] && break
  sleep 0.1
done
check "a reader sees the committed blocks during the run" test "${rows:-0}" -ge 12
sleep 0.1  # the next block's black boxes are running
kill -KILL $pid
wait $pid 2>/dev/null
check "integrity after the kill" test "$(sql killed.sqlite 'PRAGMA integrity_check')" = ok
check "whole blocks only, numbered from 1 without a gap" \
  test "$(sql killed.sqlite 'SELECT count(*) % 4, max(evaluation) = count(*), count(*) >= 12 FROM evaluations')" = "0|1|1"
check "the killed run is recorded as not ended" test "$(sql killed.sqlite 'SELECT ended IS NULL FROM runs')" = 1
rm -f ./*.sqlite* out.txt err.txt

# --- A full file mid-run: logged, the run goes on, the committed rows stay.
write_example_problem "$example" 5 4 400
"$runner" problem.toml --quiet --no-store >reference.txt 2>/dev/null
# The file size limit makes every write beyond 96 KiB fail (EFBIG) as on a
# full disk; SIGXFSZ is ignored so that the write fails instead of killing.
(trap '' XFSZ; ulimit -f 96; exec "$runner" problem.toml --quiet --store full.sqlite) >out.txt 2>err.txt
check "a run with a full store ends (status 0)" test $? -eq 0
check "same result as without the store" cmp -s out.txt reference.txt
check "the failed write logged once, the run going on" \
  test "$(grep -c 'store full.sqlite: cannot .* block .*; the run goes on' err.txt)" = 1
check "the count of blocks not written at the end" grep -q 'store full.sqlite: [0-9]* blocks could not be written' err.txt
check "integrity of the full store" test "$(sql full.sqlite 'PRAGMA integrity_check')" = ok
check "the blocks committed before are there, whole and from the first" \
  test "$(sql full.sqlite 'SELECT count(*) % 4, min(evaluation), max(evaluation) = count(*), count(*) > 0, count(*) < 400 FROM evaluations')" = "0|1|1|1|1"
rm -f ./*.sqlite* ./*.txt

# --- Stop signals. A first one: the run ends with its best point, every
# block it evaluated written. A second one while the black boxes hang: the
# committed blocks stay, the block cut short is not written, and with
# --checkpoint the run stays open in the store; resumed, it ends with the
# rows of the run never stopped.
write_example_problem "$example" 7 4 200
sed -i -e 's/^command = .*/command = ["sh", "hang.sh"]/' -e 's/^jobs = .*/jobs = 4/' problem.toml
cat >hang.sh <<'SH'
#!/bin/sh
[ -e hang ] && sleep 1000
sleep 0.1
exec sh blackbox.sh "$1"
SH
wait_rows() {  # wait_rows FILE COUNT: until the store holds COUNT evaluations
  for _ in $(seq 600); do
    [ "$(sql "$1" 'SELECT count(*) FROM evaluations' 2>/dev/null)" -ge "$2" ] 2>/dev/null && return
    sleep 0.1
  done
}
"$runner" problem.toml --quiet --store reference.sqlite >reference.txt 2>/dev/null
"$runner" problem.toml --quiet --store first.sqlite >out.txt 2>err.txt &
pid=$!
wait_rows first.sqlite 12
kill -TERM $pid
wait $pid
check "a first SIGTERM: status 0" test $? -eq 0
check "a first SIGTERM: stopped before the end" grep -q "^iflag = .*stopped on request" out.txt
check "a first SIGTERM: every evaluation of the run written, the run ended" \
  test "$(sql first.sqlite 'SELECT count(*) = (SELECT evaluations FROM runs), max(evaluation) = count(*), count(*) < 200, (SELECT ended IS NOT NULL FROM runs) FROM evaluations')" = "1|1|1|1"
"$runner" problem.toml --quiet --store second.sqlite --checkpoint run.ckpt --checkpoint-every 8 >out.txt 2>err.txt &
pid=$!
wait_rows second.sqlite 12
touch hang
sleep 1  # the next block's black boxes hang
kill -TERM $pid
sleep 0.5
kill -TERM $pid
wait $pid
check "a second SIGTERM: status 143" test $? -eq 143
rm -f hang
check "a second SIGTERM: integrity" test "$(sql second.sqlite 'PRAGMA integrity_check')" = ok
check "a second SIGTERM: whole blocks from the first, the run left open" \
  test "$(sql second.sqlite 'SELECT count(*) % 4, max(evaluation) = count(*), count(*) >= 12, (SELECT count(*) FROM runs WHERE ended IS NULL) FROM evaluations')" = "0|1|1|1"
check "a second SIGTERM: the killed evaluations not written" \
  test "$(sql second.sqlite "SELECT count(*) FROM evaluations WHERE status = 'failed'")" = 0
"$runner" problem.toml --quiet --store second.sqlite --resume run.ckpt >out.txt 2>/dev/null
check "resumed after a second SIGTERM: ends as the run never stopped" cmp -s out.txt reference.txt
check "resumed after a second SIGTERM: one run, the rows of the run never stopped" \
  test "$(sql second.sqlite 'SELECT (SELECT count(*) FROM runs), evaluation, x, f, g, status FROM evaluations ORDER BY evaluation' | md5sum)" \
     = "$(sql reference.sqlite 'SELECT (SELECT count(*) FROM runs), evaluation, x, f, g, status FROM evaluations ORDER BY evaluation' | md5sum)"
rm -f ./*.sqlite* ./*.txt run.ckpt hang.sh problem.toml

# --- Resumed from a checkpoint after a kill: one run, no row twice, the rows
# those of the run never stopped.
write_example_problem "$example" 6 4 240
sed -i -e 's/^command = .*/command = ["sh", "maybe_slow.sh"]/' problem.toml
cat >maybe_slow.sh <<'SH'
#!/bin/sh
[ -e slow ] && sleep 0.05
exec sh blackbox.sh "$1"
SH
"$runner" problem.toml --quiet --store reference.sqlite >reference.txt 2>/dev/null
touch slow
"$runner" problem.toml --quiet --store resumed.sqlite --checkpoint run.ckpt --checkpoint-every 20 >killed.txt 2>&1 &
pid=$!
for _ in $(seq 600); do
  [ -e run.ckpt ] && [ "$(sql resumed.sqlite 'SELECT count(*) FROM evaluations' 2>/dev/null)" -ge 40 ] && break
  sleep 0.1
done
kill -KILL $pid
wait $pid 2>/dev/null
rm -f slow
check "killed before the end" sh -c '! grep -q "^iflag" killed.txt'
"$runner" problem.toml --quiet --store resumed.sqlite --resume run.ckpt >out.txt 2>/dev/null
check "resumed run ends as the run never stopped" cmp -s out.txt reference.txt
check "one run in the store, ended" test "$(sql resumed.sqlite 'SELECT count(*), count(ended), count(resumed) FROM runs')" = "1|1|1"
check "no evaluation twice, none missing" \
  test "$(sql resumed.sqlite 'SELECT count(*), count(DISTINCT evaluation), max(evaluation) FROM evaluations')" \
       = "$(sql reference.sqlite 'SELECT count(*), count(*), count(*) FROM evaluations')"
check "the rows are those of the run never stopped" \
  test "$(sql resumed.sqlite 'SELECT evaluation, block, position, x, f, g, status FROM evaluations ORDER BY evaluation' | md5sum)" \
     = "$(sql reference.sqlite 'SELECT evaluation, block, position, x, f, g, status FROM evaluations ORDER BY evaluation' | md5sum)"
finish
