"""What kestro.minimize reports beyond the library's codes, and the
misconfigurations it makes loud: the raw violation, why the run ended, the
non-dominated front, the callback, the screen report through sys.stderr, a
model that always fails, wrong return shapes, a checkpoint of another problem
and the wall-clock budget."""
import contextlib
import io
import math
import os
import tempfile
import time
import unittest

import numpy as np

import kestro


def on_the_constraint(x):
    # minimise x0 + x1 subject to x0 + x1 >= 1: the optimum lies on the constraint
    return x[0] + x[1], [x[0] + x[1] - 1]


BOUNDS = [(0, 3), (0, 3)]


class HonestResults(unittest.TestCase):
    def test_raw_violation_and_tighter_accuracy(self):
        r = kestro.minimize(on_the_constraint, BOUNDS, constraints=1, seed=2, maxeval=4000)
        self.assertTrue(r.feasible)
        self.assertEqual(r.residual, 0.0)
        self.assertLess(r.constr[0], 0.0)
        self.assertEqual(r.max_violation, -r.constr[0])
        self.assertEqual(r.max_violation_index, 0)
        tight = kestro.minimize(on_the_constraint, BOUNDS, constraints=1, seed=2, maxeval=4000,
                                accuracy=1e-9)
        self.assertLessEqual(tight.max_violation, 1e-9)

    def test_reason_names_the_cause(self):
        r = kestro.minimize(on_the_constraint, BOUNDS, constraints=1, seed=1, maxeval=300)
        self.assertEqual(r.message, kestro.iflag_text(r.status))
        self.assertEqual(r.stop_cause, "maxeval")
        self.assertIn("evaluation budget was spent (maxeval = 300)", r.reason)

        r = kestro.minimize(on_the_constraint, BOUNDS, constraints=1, seed=1,
                            callback=lambda p: p.nfev >= 30)
        self.assertEqual(r.stop_cause, "callback")
        self.assertIn("callback", r.reason)

        def slow(x):
            time.sleep(0.02)
            return on_the_constraint(x)

        start = time.monotonic()
        r = kestro.minimize(slow, BOUNDS, constraints=1, seed=1, maxwalltime=0.3)
        self.assertLess(time.monotonic() - start, 5)
        self.assertEqual(r.stop_cause, "maxwalltime")
        self.assertIn("wall-clock budget", r.reason)

        r = kestro.minimize(on_the_constraint, BOUNDS, constraints=1, seed=1, fstop=1.5)
        self.assertEqual((r.status, r.stop_cause, r.reason), (7, "", kestro.iflag_text(7)))

    def test_front_is_non_dominated_with_the_store_beside_it(self):
        def model(x):
            return ([1000 * (x[0] * x[1] + x[2]), 1e6 / (x[0] + x[1] + 0.5 * x[2])],
                    [8 - x[0] - x[1] - x[2]])

        r = kestro.minimize(model, [(0.1, 5), (0.1, 5), (0, 4)], integers=1, constraints=1,
                            n_obj=2, seed=3, maxeval=20000, block_size=4)
        front, store = r.pareto_fun, r.pareto_store_fun
        self.assertGreater(len(front), 1)
        self.assertEqual(r.pareto_store_x.shape[0], len(store))
        for a in front:
            dominated = np.all(front <= a, axis=1) & np.any(front < a, axis=1)
            self.assertFalse(dominated.any(), a)
        kept = {tuple(f) for f in front}
        for s in store:
            if tuple(s) not in kept:
                self.assertTrue((np.all(front <= s, axis=1) & np.any(front < s, axis=1)).any())


class Callback(unittest.TestCase):
    def test_progress_after_each_block_and_stop(self):
        seen = []

        def callback(p):
            seen.append(p)
            return p.nfev >= 40

        r = kestro.minimize(on_the_constraint, BOUNDS, constraints=1, seed=1, block_size=4,
                            callback=callback)
        self.assertEqual([p.nfev for p in seen], list(range(4, 44, 4)))
        self.assertEqual(r.nfev, 44)  # the block after the stop is the last
        last = seen[-1]
        self.assertEqual(last.x.shape, (2,))
        self.assertEqual(last.nfail, 0)
        self.assertAlmostEqual(last.fun, last.x[0] + last.x[1])
        self.assertEqual(last.max_violation, max(0.0, 1 - last.fun))
        self.assertTrue(all(a.fun >= b.fun for a, b in zip(seen, seen[1:])
                            if a.feasible and b.feasible))

    def test_stop_iteration_stops_and_errors_propagate(self):
        def stop(p):
            raise StopIteration

        r = kestro.minimize(on_the_constraint, BOUNDS, constraints=1, callback=stop)
        self.assertEqual((r.nfev, r.stop_cause), (2, "callback"))

        def broken(p):
            raise ZeroDivisionError("in the callback")

        with self.assertRaisesRegex(ZeroDivisionError, "in the callback"):
            kestro.minimize(on_the_constraint, BOUNDS, constraints=1, callback=broken)
        with self.assertRaises(TypeError):
            kestro.minimize(on_the_constraint, BOUNDS, constraints=1, callback=3)


class Screen(unittest.TestCase):
    def test_report_goes_through_sys_stderr(self):
        captured = io.StringIO()
        with contextlib.redirect_stderr(captured):
            kestro.minimize(on_the_constraint, BOUNDS, constraints=1, seed=1, maxeval=300,
                            printeval=100)
        self.assertIn("BEST SOLUTION FOUND", captured.getvalue())
        captured = io.StringIO()
        with contextlib.redirect_stderr(captured):
            with kestro.Solver(BOUNDS, constraints=1, printeval=1, maxeval=1) as s:
                while not s.done:
                    s.tell([[1.0]], [[0.0]])
        self.assertIn("BEST SOLUTION FOUND", captured.getvalue())


class ModelThatAlwaysFails(unittest.TestCase):
    def test_first_exception_is_raised_again(self):
        calls = []

        def fun(x):
            calls.append(1)
            raise FileNotFoundError("solver.inp not found")

        with self.assertRaisesRegex(FileNotFoundError, "solver.inp not found") as cm:
            kestro.minimize(fun, BOUNDS, block_size=4, maxeval=2000)
        self.assertEqual(len(calls), 12)  # the first blocks, at least 10 evaluations
        self.assertTrue(any("fail_fast=False" in n for n in cm.exception.__notes__))

    def test_nan_values_and_turning_it_off(self):
        with self.assertRaisesRegex(RuntimeError, r"first 10 evaluations failed.*objective 0 is nan"):
            kestro.minimize(lambda x: math.nan, BOUNDS, maxeval=2000)
        r = kestro.minimize(lambda x: math.nan, BOUNDS, maxeval=100, fail_fast=False)
        self.assertEqual(r.nfail, r.nfev)
        self.assertGreaterEqual(r.nfev, 100)
        seen = []

        def late(x):
            seen.append(1)
            if len(seen) < 10:
                raise RuntimeError("warming up")
            return float(x[0])

        r = kestro.minimize(late, BOUNDS, maxeval=100)
        self.assertEqual(r.nexc, 9)


class Shapes(unittest.TestCase):
    def test_pair_without_constraints_names_both(self):
        with self.assertRaises(ValueError) as cm:
            kestro.minimize(lambda x: (x[0], [x[1] - 1]), BOUNDS)
        text = str(cm.exception)
        self.assertIn("fun returned a pair (a number, a list of 1 items)", text)
        self.assertIn("constraints = 0", text)
        with self.assertRaisesRegex(ValueError, r"with constraints = 2, .* it returned a number"):
            kestro.minimize(lambda x: 1.0, BOUNDS, constraints=2)
        with self.assertRaisesRegex(ValueError, r"expected 2 \(constraints = 2\)"):
            kestro.minimize(lambda x: (1.0, [1.0]), BOUNDS, constraints=2)
        with self.assertRaisesRegex(ValueError, r"expected 1 \(n_obj = 1\)"):
            kestro.minimize(lambda x: [1.0, 2.0], BOUNDS)


class CheckpointOfAnotherProblem(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.path = os.path.join(self.dir.name, "run.ckpt")

    def tearDown(self):
        self.dir.cleanup()

    def test_refused_naming_the_difference_unless_taken(self):
        first = kestro.minimize(on_the_constraint, BOUNDS, constraints=1, seed=1, maxeval=300,
                                checkpoint=self.path)
        with self.assertRaises(kestro.CheckpointMismatch) as cm:
            kestro.minimize(on_the_constraint, [(0, 3), (0, 2)], constraints=1, seed=1,
                            maxeval=300, accuracy=1e-6, checkpoint=self.path)
        text = str(cm.exception)
        self.assertIn("upper[1] is 2 but the file has 3", text)
        self.assertIn("accuracy is", text)
        self.assertIsInstance(cm.exception, kestro.CheckpointError)
        again = kestro.minimize(on_the_constraint, [(0, 3), (0, 2)], constraints=1, seed=1,
                                maxeval=300, accuracy=1e-6, checkpoint=self.path,
                                take_saved=True)
        self.assertEqual(again.x.tolist(), first.x.tolist())
        with self.assertRaises(kestro.CheckpointMismatch):
            kestro.Solver(BOUNDS, constraints=1, seed=2, resume=self.path)
        with kestro.Solver(BOUNDS, constraints=1, seed=2, resume=self.path, take_saved=True) as s:
            self.assertTrue(s.done)


if __name__ == "__main__":
    unittest.main()
