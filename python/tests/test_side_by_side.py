"""Runs side by side from Python: Solvers alive at once, minimize from
several threads at once, runs=K, and the report files' directory."""
import os
import tempfile
import threading
import unittest

import numpy as np

import kestro

BOUNDS_A = [(-3, 3), (-3, 3), (0, 5)]
BOUNDS_B = [(-2, 2), (-2, 2)]


def model_a(X):
    f = (X[:, 0] - 1) ** 2 + (X[:, 1] + 0.5) ** 2 + 0.3 * X[:, 2]
    g = X[:, 0] + X[:, 1] + X[:, 2] - 1
    return f[:, None], g[:, None]


def model_b(X):
    return np.stack([X[:, 0] ** 2 + X[:, 1] ** 2, (X[:, 0] - 1) ** 2 + X[:, 1] ** 2], axis=1)


def point_model(x):
    return (x[0] - 0.25) ** 2 + (x[1] + 1) ** 2 + np.sin(3 * x[0])


SOLVER_A = dict(integers=1, constraints=1, block_size=3, seed=4, maxeval=600)
SOLVER_B = dict(n_obj=2, block_size=2, seed=5, maxeval=600)


def trace(solver, model):
    """One block of the run: its points, then told their values."""
    x = solver.ask()
    values = model(x)
    if isinstance(values, tuple):
        solver.tell(*values)
    else:
        solver.tell(values)
    return x.tolist(), solver.status


def run_alone(bounds, model, options):
    blocks = []
    with kestro.Solver(bounds, **options) as s:
        while not s.done:
            blocks.append(trace(s, model))
        return blocks, s.result()


class Solvers(unittest.TestCase):
    def test_two_solvers_alive_at_once_interleaved_equal_their_runs_alone(self):
        alone_a, result_a = run_alone(BOUNDS_A, model_a, SOLVER_A)
        alone_b, result_b = run_alone(BOUNDS_B, model_b, SOLVER_B)
        a = kestro.Solver(BOUNDS_A, **SOLVER_A)
        b = kestro.Solver(BOUNDS_B, **SOLVER_B)
        blocks_a, blocks_b = [], []
        while not (a.done and b.done):
            if not a.done:
                blocks_a.append(trace(a, model_a))
            if not b.done:
                blocks_b.append(trace(b, model_b))
        self.assertEqual(blocks_a, alone_a)
        self.assertEqual(blocks_b, alone_b)
        self.assertEqual(a.result().x.tolist(), result_a.x.tolist())
        self.assertEqual(b.result().pareto_fun.tolist(), result_b.pareto_fun.tolist())
        a.close()
        b.close()

    def test_solver_of_other_sizes_after_minimize_saves_before_its_first_tell(self):
        kestro.minimize(point_model, BOUNDS_B, maxeval=100)
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "run.ckpt")
            with kestro.Solver(BOUNDS_A, **SOLVER_A) as s:
                s.save(path)
                first = s.ask().tolist()
            with kestro.Solver(BOUNDS_A, resume=path, **SOLVER_A) as s:
                self.assertEqual(s.ask().tolist(), first)
                while not s.done:
                    trace(s, model_a)
                resumed = s.result()
        _, alone = run_alone(BOUNDS_A, model_a, SOLVER_A)
        self.assertEqual(resumed.x.tolist(), alone.x.tolist())


class Threads(unittest.TestCase):
    def test_minimize_from_four_threads_at_once_equals_the_serial_runs(self):
        calls = [dict(seed=s, block_size=b, maxeval=800) for s, b in ((1, 1), (2, 3), (3, 1), (4, 2))]
        serial = [kestro.minimize(point_model, BOUNDS_B, **c) for c in calls]
        results = [None] * 4
        errors = []
        start = threading.Barrier(4)

        def work(i):
            try:
                start.wait()
                results[i] = kestro.minimize(point_model, BOUNDS_B, **calls[i])
            except Exception as e:  # reported below
                errors.append(e)

        threads = [threading.Thread(target=work, args=(i,)) for i in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(errors, [])
        for got, expected in zip(results, serial):
            self.assertEqual(got.x.tolist(), expected.x.tolist())
            self.assertEqual((got.fun, got.nfev, got.status), (expected.fun, expected.nfev, expected.status))


class Runs(unittest.TestCase):
    def test_runs_are_the_runs_of_their_seeds_and_the_best_is_kept(self):
        r = kestro.minimize(point_model, BOUNDS_B, runs=4, seed=7, maxeval=150)
        alone = [kestro.minimize(point_model, BOUNDS_B, seed=7 + k, maxeval=150) for k in range(4)]
        self.assertEqual(len(r.runs), 4)
        for k, (run, expected) in enumerate(zip(r.runs, alone)):
            self.assertEqual(run.seed, 7 + k)
            self.assertEqual(run.error, "")
            self.assertEqual(run.x.tolist(), expected.x.tolist())
            self.assertEqual((run.fun, run.nfev), (expected.fun, expected.nfev))
        best = min(range(4), key=lambda k: (alone[k].fun, k))
        self.assertEqual(r.best_run, best)
        self.assertEqual(r.fun, alone[best].fun)
        self.assertEqual(r.x.tolist(), alone[best].x.tolist())
        self.assertEqual(r.nfev, sum(a.nfev for a in alone))

    def test_several_objectives_merge_the_fronts(self):
        r = kestro.minimize(model_b, BOUNDS_B, vectorized=True, runs=3, n_obj=2, seed=2,
                            block_size=2, maxeval=1500)
        front = r.pareto_fun
        self.assertGreater(len(front), 5)
        for p in front:
            dominated = np.all(front <= p, axis=1) & np.any(front < p, axis=1)
            self.assertFalse(dominated.any())
        for run in r.runs:
            for p in run.pareto_fun:
                covered = np.all(front <= p, axis=1)
                self.assertTrue(covered.any())

    def test_a_run_that_raises_is_reported_on_its_own(self):
        lock = threading.Lock()
        calls = [0]

        def model(X):
            # The 5th block of all returns the wrong shape: an error of its
            # run, not a failed point.
            with lock:
                calls[0] += 1
                wrong = calls[0] == 5
            return np.zeros((3, 3)) if wrong else (X[:, 0] ** 2)[:, None]

        r = kestro.minimize(model, [(-1, 1)], vectorized=True, runs=3, block_size=2,
                            maxeval=200, seed=1)
        failed = [k for k, run in enumerate(r.runs) if run.error]
        self.assertEqual(len(failed), 1)
        self.assertFalse(r.runs[failed[0]].success)
        self.assertIn("block objectives", r.runs[failed[0]].error)
        self.assertNotEqual(r.best_run, failed[0])
        self.assertEqual(r.nfev, sum(run.nfev for run in r.runs if not run.error))

    def test_refusals(self):
        with self.assertRaisesRegex(ValueError, "checkpoint"):
            kestro.minimize(point_model, BOUNDS_B, runs=2, checkpoint="x.ckpt")
        with self.assertRaisesRegex(TypeError, "runs"):
            kestro.Solver(BOUNDS_B, runs=2)
        with self.assertRaisesRegex(ValueError, "runs"):
            kestro.minimize(point_model, BOUNDS_B, runs=0)


class OutputDirectory(unittest.TestCase):
    def test_report_files_go_to_the_directory_and_runs_get_a_prefix_each(self):
        here = os.getcwd()
        with tempfile.TemporaryDirectory() as d:
            os.chdir(d)
            self.addCleanup(os.chdir, here)
            out = os.path.join(d, "reports")
            kestro.minimize(point_model, BOUNDS_B, maxeval=100, save2file=100000, output_dir=out)
            self.assertEqual(os.listdir(out), ["KESTRO_HISTORY.TXT"])
            kestro.minimize(point_model, BOUNDS_B, maxeval=100, save2file=100000, runs=2,
                            output_dir=out, output_prefix="p_")
            self.assertEqual(sorted(os.listdir(out)),
                             ["KESTRO_HISTORY.TXT", "p_run0_KESTRO_HISTORY.TXT",
                              "p_run1_KESTRO_HISTORY.TXT"])
            self.assertEqual(os.listdir(d), ["reports"])


if __name__ == "__main__":
    unittest.main()
