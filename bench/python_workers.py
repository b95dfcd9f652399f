#!/usr/bin/env python3
"""Wall time of kestro.minimize with a slow Python objective (time.sleep of
10 ms per point), blocks of 8 and 1000 evaluations, run serially and with
workers = 1, 2 and 8 processes. Prints a Markdown table for bench/README.md.

The objective only sleeps, so on a machine with fewer cores than workers the
overlap of the points of a block still shows; what is not overlap is the cost
of kestro, of the pool and of the machine's scheduling. The last two rows are
lower bounds without kestro: the same 126 blocks of 8 sleeps on 8 threads,
and on 8 processes forked for the run and fed through a pipe each, as the
pool does it (starting them and waiting for their end included).

Usage: PYTHONPATH=build/python/module python3 bench/python_workers.py [REPEATS]
(or with kestro installed by pip). The best of REPEATS runs (default 3) is kept.
"""
import os
import socket
import sys
import time
from concurrent.futures import ThreadPoolExecutor

import kestro

SLEEP = 0.010
BLOCK = 8
EVALUATIONS = 1000


def objective(x):
    time.sleep(SLEEP)
    return float(x @ x)


def run(workers):
    start = time.perf_counter()
    r = kestro.minimize(objective, [(-5.0, 5.0)] * 4, workers=workers, seed=1,
                        block_size=BLOCK, maxeval=EVALUATIONS)
    return time.perf_counter() - start, r.nfev


def sleeps_on_threads(blocks):
    start = time.perf_counter()
    with ThreadPoolExecutor(BLOCK) as pool:
        for _ in range(blocks):
            list(pool.map(lambda _: time.sleep(SLEEP), range(BLOCK)))
    return time.perf_counter() - start


def sleeps_on_processes(blocks):
    start = time.perf_counter()
    workers = []
    for _ in range(BLOCK):
        ours, theirs = socket.socketpair()
        pid = os.fork()
        if pid == 0:
            try:
                ours.close()
                for other, _ in workers:
                    other.close()
                while theirs.recv(1):
                    time.sleep(SLEEP)
                    theirs.send(b"d")
            finally:
                os._exit(0)
        theirs.close()
        workers.append((ours, pid))
    for _ in range(blocks):
        for ours, _ in workers:
            ours.send(b"x")
        for ours, _ in workers:
            ours.recv(1)
    for ours, _ in workers:
        ours.close()
    for _, pid in workers:
        os.waitpid(pid, 0)
    return time.perf_counter() - start


def main():
    repeats = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    rows = []
    serial = None
    for workers in (None, 1, 2, 8):
        best, nfev = min(run(workers) for _ in range(repeats))
        if workers is None:
            serial = best
        w = workers or 1
        rows.append((("serial" if workers is None else f"workers={workers}"), nfev, best,
                     serial / best, serial / (w * best)))
    blocks = rows[0][1] // BLOCK
    bounds = [("threads", min(sleeps_on_threads(blocks) for _ in range(repeats)))]
    if hasattr(os, "fork"):
        bounds.append(("forked processes",
                       min(sleeps_on_processes(blocks) for _ in range(repeats))))
    print(f"{EVALUATIONS} evaluations asked, blocks of {BLOCK}, {SLEEP * 1000:.0f} ms per point, "
          f"best of {repeats}; {os.cpu_count()} CPUs, load average "
          f"{os.getloadavg()[0]:.1f} at the end")
    print()
    print("| run | evaluations | wall time | speed-up | efficiency |")
    print("|-----|-------------|-----------|----------|------------|")
    for name, nfev, t, speedup, eff in rows:
        print(f"| {name} | {nfev} | {t:.2f} s | {speedup:.2f} | {eff * 100:.0f} % |")
    ideal8 = serial / 8
    for name, bound in bounds:
        print(f"| {blocks} blocks of 8 sleeps on 8 {name}, no kestro | {blocks * BLOCK} | "
              f"{bound:.2f} s | {serial / bound:.2f} | {ideal8 / bound * 100:.0f} % |")


if __name__ == "__main__":
    main()
