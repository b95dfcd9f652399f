"""The evaluation store from Python: minimize(..., store=PATH) writes every
evaluation, cache=True never changes a result, a store that cannot be used
is refused before any evaluation, a full file is a warning, and a resumed run
appends without duplicating rows."""
import math
import os
import sqlite3
import subprocess
import sys
import tempfile
import textwrap
import unittest
import warnings

import numpy as np

import kestro
import kestro.store as ks

try:
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    import kestro.plot
except ImportError:
    plt = None

BOUNDS = [(-3, 3), (-3, 3), (0, 5)]
OPTIONS = dict(integers=1, constraints=1, seed=4, maxeval=400, block_size=4)


class Counted:
    """The test model, counting its calls; it fails where x[0] > 2.5 (and
    raises KeyboardInterrupt at call `interrupt_at`)."""

    def __init__(self, interrupt_at=None):
        self.calls = 0
        self.interrupt_at = interrupt_at

    def __call__(self, x):
        if self.calls == self.interrupt_at:
            raise KeyboardInterrupt
        self.calls += 1
        if x[0] > 2.5:
            raise RuntimeError("too far")
        a, b = x[0] - 1.0, x[1] + 0.5
        return a * a + b * b + 0.1 * x[2], [x[0] + x[1] + x[2] - 1.5]


def same_result(test, a, b):
    for key in ("x", "constr", "status", "nfev", "nfail", "feasible"):
        np.testing.assert_array_equal(a[key], b[key], err_msg=key)
    test.assertEqual(repr(a.fun), repr(b.fun))


class StoreTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.path = os.path.join(self.dir.name, "run.sqlite")

    def tearDown(self):
        self.dir.cleanup()

    def sql(self, query, path=None):
        db = sqlite3.connect(path or self.path)
        try:
            return db.execute(query).fetchall()
        finally:
            db.close()

    def test_every_evaluation_written(self):
        model = Counted()
        r = kestro.minimize(model, BOUNDS, store=self.path, **OPTIONS)
        self.assertEqual(self.sql("SELECT name, version FROM kestro_store"),
                         [("kestro evaluation store", 1)])
        self.assertEqual(self.sql("PRAGMA journal_mode"), [("wal",)])
        self.assertEqual(self.sql("SELECT count(*), count(DISTINCT evaluation), max(evaluation), "
                                  "sum(evaluation != (block - 1) * 4 + position) FROM evaluations"),
                         [(r.nfev, r.nfev, r.nfev, 0)])
        run = ks.runs(self.path)[-1]
        self.assertEqual((run["front_end"], run["iflag"], run["evaluations"],
                          run["failed_evaluations"], run["f"]),
                         ("python", r.status, r.nfev, r.nfail, [r.fun]))
        evs = ks.evaluations(self.path)
        failed = [e for e in evs if e["status"] == "failed"]
        self.assertEqual(len(failed), r.nfail)
        self.assertGreater(len(failed), 0)
        for e in failed:
            self.assertEqual(e["reason"], "RuntimeError: too far")
            self.assertTrue(math.isnan(e["f"][0]) and e["x"][0] > 2.5)
        for e in evs:
            if e["status"] == "ok":  # the values exactly as the function gave them
                f, g = Counted()(np.array(e["x"]))
                self.assertEqual((e["f"], e["g"]), ([f], g))
                self.assertGreaterEqual(e["seconds"], 0)
        trace = ks.best_so_far(self.path)
        self.assertEqual([t[0] for t in trace], list(range(1, r.nfev + 1)))
        self.assertTrue(all((b[2], b[1]) <= (a[2], a[1]) for a, b in zip(trace, trace[1:])))
        self.assertEqual(trace[-1][1], r.fun)

    def test_cache_gives_the_same_results(self):
        # Per point, with failures (evaluated again, not served); and by
        # blocks, where the points beyond x[0] = 2.5 give NaN.
        def by_blocks(counted):
            def fun(X):
                counted.calls += len(X)
                F = np.array([[(x[0] - 1) ** 2 + (x[1] + 0.5) ** 2 + 0.1 * x[2]] for x in X])
                F[X[:, 0] > 2.5] = np.nan
                return F, (X.sum(axis=1) - 1.5).reshape(-1, 1)
            return fun
        for vectorized in (False, True):
            with self.subTest(vectorized=vectorized):
                def make(counted):
                    return by_blocks(counted) if vectorized else counted
                path = os.path.join(self.dir.name, f"cache{int(vectorized)}.sqlite")
                opts = dict(OPTIONS, vectorized=vectorized)
                plain = kestro.minimize(make(Counted()), BOUNDS, **opts)
                first = kestro.minimize(make(Counted()), BOUNDS, store=path, cache=True, **opts)
                counted = Counted()
                again = kestro.minimize(make(counted), BOUNDS, store=path, cache=True, **opts)
                same_result(self, first, plain)
                same_result(self, again, plain)
                failed = 0 if vectorized else plain.nfail
                self.assertGreater(plain.nfail, 0)
                self.assertEqual((again.cache_hits, counted.calls), (plain.nfev - failed, failed))
                self.assertEqual(self.sql("SELECT sum(cached) FROM evaluations WHERE run_id = 2",
                                          path), [(again.cache_hits,)])
                seed5 = dict(opts, seed=5)
                other = kestro.minimize(make(Counted()), BOUNDS, store=path, cache=True, **seed5)
                same_result(self, other, kestro.minimize(make(Counted()), BOUNDS, **seed5))
                self.assertGreaterEqual(other.cache_hits, 4)  # the start block at least

    def test_cache_with_workers(self):
        # The points served from the cache are not handed to the workers; the
        # others come back in their places: the result is the serial run's.
        mapped = []
        def workers(f, xs):
            xs = list(xs)
            mapped.append(len(xs))
            return [f(x) for x in xs]
        plain = kestro.minimize(Counted(), BOUNDS, **OPTIONS)
        first = kestro.minimize(Counted(), BOUNDS, store=self.path, cache=True, workers=workers,
                                **OPTIONS)
        same_result(self, first, plain)
        self.assertEqual(sum(mapped), plain.nfev - first.cache_hits)
        mapped.clear()
        again = kestro.minimize(Counted(), BOUNDS, store=self.path, cache=True, workers=workers,
                                **OPTIONS)
        same_result(self, again, plain)
        self.assertEqual(sum(mapped), plain.nfail)  # only the failed points again
        self.assertEqual(again.cache_hits, plain.nfev - plain.nfail)

    def test_store_refused_with_several_runs(self):
        model = Counted()
        with self.assertRaisesRegex(ValueError, "runs > 1"):
            kestro.minimize(model, BOUNDS, store=self.path, **dict(OPTIONS, runs=2))
        self.assertEqual(model.calls, 0)
        self.assertFalse(os.path.exists(self.path))

    def test_cache_failures(self):
        kestro.minimize(Counted(), BOUNDS, store=self.path, **OPTIONS)
        model = Counted()
        r = kestro.minimize(model, BOUNDS, store=self.path, cache_failures=True, **OPTIONS)
        self.assertEqual((r.cache_hits, model.calls), (r.nfev, 0))
        self.assertEqual(self.sql("SELECT count(*) FROM evaluations WHERE run_id = 2 AND cached "
                                  "AND status = 'failed' AND reason = 'RuntimeError: too far'"),
                         [(r.nfail,)])
        with self.assertRaisesRegex(ValueError, "needs a store"):
            kestro.minimize(model, BOUNDS, cache=True, **OPTIONS)
        # The points of a block cut short by Ctrl-C were never evaluated:
        # stored as 'interrupted', never served, not even as failures.
        path = os.path.join(self.dir.name, "interrupted.sqlite")
        r = kestro.minimize(Counted(interrupt_at=10), BOUNDS, store=path, **OPTIONS)
        self.assertTrue(r.interrupted)
        (cut,), = self.sql("SELECT count(*) FROM evaluations WHERE reason = 'interrupted'", path)
        self.assertGreater(cut, 0)
        model = Counted()
        again = kestro.minimize(model, BOUNDS, store=path, cache_failures=True,
                                **dict(OPTIONS, maxeval=12))
        self.assertEqual((again.cache_hits, model.calls), (12 - cut, again.nfev - 12 + cut))
        self.assertEqual(self.sql("SELECT count(*) FROM evaluations WHERE run_id = 2 AND NOT "
                                  "cached AND status = 'ok' AND evaluation IN (SELECT evaluation "
                                  "FROM evaluations WHERE run_id = 1 AND reason = 'interrupted')",
                                  path), [(cut,)])

    def test_unusable_store_refused_before_any_evaluation(self):
        text = os.path.join(self.dir.name, "text.sqlite")
        with open(text, "w") as f:
            f.write("not a database at all, just some text that is long enough\n" * 20)
        other = os.path.join(self.dir.name, "other.sqlite")
        sqlite3.connect(other).execute("CREATE TABLE t (a)")
        newer = os.path.join(self.dir.name, "newer.sqlite")
        kestro.minimize(Counted(), BOUNDS, store=newer, **dict(OPTIONS, maxeval=8))
        db = sqlite3.connect(newer)
        db.execute("UPDATE kestro_store SET version = 2")
        db.commit()
        db.close()
        # Not written through a symbolic link, to a store or to its WAL file.
        link = os.path.join(self.dir.name, "link.sqlite")
        os.symlink(newer, link)
        wal_link = os.path.join(self.dir.name, "fresh.sqlite")
        os.symlink(text, wal_link + "-wal")
        for path, message in ((text, "is not a Kestro store \\(not an SQLite database\\)"),
                              (other, "is not a Kestro store \\(an SQLite database without"),
                              (newer, "has schema version 2, newer than version 1"),
                              (link, "is a symbolic link, which is not followed"),
                              (wal_link, ".*fresh.sqlite-wal is a symbolic link"),
                              (os.path.join(self.dir.name, "no", "such.sqlite"),
                               "cannot be opened")):
            with self.subTest(path=path):
                model = Counted()
                with self.assertRaisesRegex(kestro.StoreError, "store .*: " + message):
                    kestro.minimize(model, BOUNDS, store=path, **OPTIONS)
                self.assertEqual(model.calls, 0)
                with self.assertRaises(kestro.StoreError):
                    ks.evaluations(path)

    def test_full_file_is_a_warning(self):
        # A file size limit makes the writes fail as on a full disk; SIGXFSZ
        # is ignored so that the write fails instead of killing.
        code = textwrap.dedent(f"""
            import resource, signal, warnings, numpy as np, kestro
            from test_store import Counted, BOUNDS, OPTIONS
            plain = kestro.minimize(Counted(), BOUNDS, **dict(OPTIONS, maxeval=2000))
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (96 * 1024, 96 * 1024))
            with warnings.catch_warnings(record=True) as caught:
                warnings.simplefilter("always")
                r = kestro.minimize(Counted(), BOUNDS, store={self.path!r},
                                    **dict(OPTIONS, maxeval=2000))
            print(r.nfev == plain.nfev and r.fun == plain.fun and list(r.x) == list(plain.x))
            print(r.nfev)
            for w in caught:
                print(w.message)
        """)
        env = dict(os.environ, PYTHONPATH=os.pathsep.join(
            [os.path.dirname(os.path.abspath(__file__)), os.environ.get("PYTHONPATH", "")]))
        done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                              env=env)
        self.assertEqual(done.returncode, 0, done.stderr)
        lines = done.stdout.splitlines()
        self.assertEqual(lines[0], "True")
        self.assertTrue(any("cannot write block" in l and "the run goes on" in l for l in lines))
        self.assertTrue(any("blocks could not be written" in l for l in lines))
        self.assertEqual(self.sql("PRAGMA integrity_check"), [("ok",)])
        count, first, last = self.sql("SELECT count(*), min(evaluation), max(evaluation) "
                                      "FROM evaluations")[0]
        self.assertTrue(0 < count < int(lines[1]) and count % 4 == 0)
        self.assertEqual((first, last), (1, count))

    def test_resume_appends_without_duplicates(self):
        reference = os.path.join(self.dir.name, "reference.sqlite")
        ref = kestro.minimize(Counted(), BOUNDS, store=reference, **OPTIONS)
        checkpoint = os.path.join(self.dir.name, "run.ckpt")
        with self.assertRaises(KeyboardInterrupt):
            kestro.minimize(Counted(interrupt_at=150), BOUNDS, store=self.path, checkpoint=checkpoint,
                            checkpoint_every=40, **OPTIONS)
        r = kestro.minimize(Counted(), BOUNDS, store=self.path, checkpoint=checkpoint,
                            checkpoint_every=40, **OPTIONS)
        same_result(self, r, ref)
        self.assertEqual(self.sql("SELECT count(*), count(ended), count(resumed) FROM runs"),
                         [(1, 1, 1)])
        rows = "SELECT evaluation, block, position, x, f, g, status FROM evaluations ORDER BY 1"
        self.assertEqual(self.sql(rows), self.sql(rows, reference))

    def test_front_of_two_objectives(self):
        def two(x):
            return [x[0] ** 2 + x[1] ** 2, (x[0] - 1) ** 2 + x[1] ** 2]
        r = kestro.minimize(two, [(-2, 2), (-2, 2)], n_obj=2, seed=1, maxeval=600,
                            store=self.path)
        front = ks.front(self.path)
        fs = np.array([p["f"] for p in front])
        self.assertGreater(len(front), 3)
        for a in fs:  # none dominates another
            self.assertFalse(any(np.all(b <= a) and np.any(b < a) for b in fs))
        every = np.array([e["f"] for e in ks.evaluations(self.path)])
        for a in every:  # every evaluation is dominated by or on the front
            self.assertTrue(any(np.all(b <= a) for b in fs))
        self.assertEqual(len(every), r.nfev)
        with self.assertRaisesRegex(ValueError, "several objectives"):
            ks.best_so_far(self.path)
        run = ks.read_run(self.path)  # what a plot of the front takes
        self.assertEqual(sorted(map(tuple, run["pareto_fun"])), sorted(map(tuple, fs)))
        self.assertEqual(run["nfev"], r.nfev)
        self.assertEqual(run["history"]["front_size"][-1], len(front))

    def test_read_run_for_plots(self):
        r = kestro.minimize(Counted(), BOUNDS, store=self.path, **OPTIONS)
        run = ks.read_run(self.path)
        history = run["history"]
        self.assertEqual((run["nfev"], run["feasible"], repr(run["fun"])),
                         (r.nfev, r.feasible, repr(r.fun)))
        # The best point by the store's own rule, at each change of it: the
        # violation never grows, and f falls while it stays the same.
        self.assertGreater(len(history["nfev"]), 2)
        self.assertEqual(sorted(history["nfev"]), history["nfev"])
        for k in range(1, len(history["nfev"])):
            self.assertLessEqual(history["residual"][k], history["residual"][k - 1])
            if history["residual"][k] == history["residual"][k - 1]:
                self.assertLess(history["fun"][k], history["fun"][k - 1])
        self.assertEqual(history["fun"][-1], ks.best_so_far(self.path)[-1][1])


    @unittest.skipIf(plt is None, "matplotlib is not installed (python3-matplotlib)")
    def test_plot_command_reads_a_store(self):
        # python3 -m kestro.plot STORE: the store told from a directory by
        # its SQLite header, its last run (or --run) plotted from the rows.
        def two(x):
            return [x[0] ** 2 + x[1] ** 2, (x[0] - 1) ** 2 + x[1] ** 2]
        kestro.minimize(Counted(), BOUNDS, store=self.path, **OPTIONS)
        kestro.minimize(two, [(-2, 2), (-2, 2)], n_obj=2, seed=1, maxeval=300, store=self.path)
        out = os.path.join(self.dir.name, "png")
        os.mkdir(out)
        env = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))

        def plot(*args):
            return subprocess.run([sys.executable, "-m", "kestro.plot", *args], env=env,
                                  capture_output=True, text=True, timeout=300)
        p = plot(self.path)  # the last run, beside the store
        self.assertEqual(p.returncode, 0, p.stderr)
        self.assertEqual(p.stdout.split(), [os.path.join(self.dir.name, "kestro_convergence.png"),
                                            os.path.join(self.dir.name, "kestro_front.png")])
        p = plot(self.path, "--run", "1", "-o", out)  # one objective: no front
        self.assertEqual(p.returncode, 0, p.stderr)
        self.assertEqual(p.stdout.split(), [os.path.join(out, "kestro_convergence.png")])
        for name in ("kestro_convergence.png", "kestro_front.png"):
            with open(os.path.join(self.dir.name, name), "rb") as f:
                self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n", name)
        # What is drawn: the front of the stored evaluations, the best f at
        # each change of the best point.
        fig = kestro.plot.front(kestro.plot.read(self.path))
        front, best = fig.axes[0].collections
        np.testing.assert_array_equal(front.get_offsets(), [e["f"] for e in ks.front(self.path)])
        np.testing.assert_array_equal(best.get_offsets(), [ks.runs(self.path)[1]["f"]])
        fig = kestro.plot.convergence(kestro.plot.read(self.path, run=1))
        (points,) = [line for line in fig.axes[0].get_lines()
                     if line.get_label() == "best feasible f"]
        trace = ks.best_so_far(self.path, run=1)
        self.assertEqual(points.get_ydata()[-1], trace[-1][1])
        self.assertEqual(list(points.get_ydata()), sorted(points.get_ydata(), reverse=True))
        # A run that never ended (killed): no compromise to mark; several
        # objectives: the front size is the convergence.
        db = sqlite3.connect(self.path)
        db.execute("UPDATE runs SET ended = NULL, f = NULL, x = NULL, g = NULL WHERE id = 2")
        db.commit()
        db.close()
        run = kestro.plot.read(self.path)
        self.assertEqual(len(kestro.plot.front(run).axes[0].collections), 1)
        fig = kestro.plot.convergence(run)
        self.assertEqual(fig.axes[0].get_ylabel(), "front size")
        self.assertEqual(fig.axes[0].get_lines()[0].get_ydata()[-1], len(ks.front(self.path)))
        # Neither a store nor a directory; a store that is not Kestro's.
        text = os.path.join(self.dir.name, "notes.txt")
        with open(text, "w") as f:
            f.write("not a store\n")
        other = os.path.join(self.dir.name, "other.sqlite")
        sqlite3.connect(other).execute("CREATE TABLE t (a)").connection.close()
        for path, message in ((text, "neither a kestro-run output directory nor an evaluation "
                                     "store"),
                              (other, "is not a Kestro store"),
                              (self.path + "-missing", "neither")):
            p = plot(path)
            self.assertEqual(p.returncode, 2, path)
            self.assertIn(message, p.stderr)
        p = plot(self.path, "--run", "7")
        self.assertEqual(p.returncode, 2)
        self.assertIn("no run 7", p.stderr)


if __name__ == "__main__":
    unittest.main()
