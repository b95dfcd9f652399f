#!/usr/bin/env bash
# What the black box gets and leaves: its point file in an absolute TMPDIR
# (also when TMPDIR is relative: the command runs in the problem's
# directory), only standard input, output and error open, and no process of
# its group outliving its evaluation. No point file stays behind.
runner=$1
. "$(dirname "$0")/common.sh"

# alive PID: the process exists and is no zombie.
alive() { [ -e "/proc/$1" ] && ! grep -q '^[0-9]* ([^)]*) Z' "/proc/$1/stat" 2>/dev/null; }

mkdir problem tmp
# The black box: records which descriptors above 2 it has open, leaves a
# process behind in its group (sleep, its output elsewhere), then answers.
cat >problem/box.py <<'PY'
import os, subprocess, sys
open_fds = []
for fd in range(3, 1024):
    try:
        os.fstat(fd)
        open_fds.append(fd)
    except OSError:
        pass
with open("fds.log", "a") as log:
    log.write(f"{open_fds}\n")
sleep = subprocess.Popen(["sleep", "300"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
with open("background.pids", "a") as pids:
    pids.write(f"{sleep.pid}\n")
with open(sys.argv[1]) as point:
    x, y, k = map(float, point.read().split())
print(f"{(x - 1) ** 2 + (y - 2) ** 2 + (k - 4) ** 2!r} {5 - x - y - k!r}")
PY
cat >problem/problem.toml <<'TOML'
command = ["python3", "-S", "box.py"]
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
seed = 2
block_size = 6
maxeval = 60
TOML
TMPDIR=tmp "$runner" problem/problem.toml >out.txt 2>err.txt
status=$?
check "relative TMPDIR: status 0 (got $status)" test $status -eq 0
check "relative TMPDIR: no failed evaluation" test "$(value 'failed evaluations')" = 0
check "no point file left behind" test -z "$(ls tmp)"
check "the black box ran" test "$(wc -l <problem/fds.log)" -ge 60
check "only descriptors 0, 1 and 2 reach the black box" sh -c '! grep -qvx "\[\]" problem/fds.log'
# A killed process may take a moment to go.
for _ in $(seq 20); do
  left=0
  for pid in $(cat problem/background.pids); do alive "$pid" && left=$((left + 1)); done
  [ $left -eq 0 ] && break
  sleep 0.1
done
for pid in $(cat problem/background.pids); do alive "$pid" && kill "$pid" 2>/dev/null; done
check "no background process outlives its evaluation ($left left)" test $left -eq 0
finish
