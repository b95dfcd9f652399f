"""Tests of how the Python module meets failing functions, overflowing
bounds, NaN options and exceptions that must end a run."""
import math
import os
import tempfile
import unittest

import numpy as np

import kestro

NO_SUCCESS = r"^no evaluation succeeded: (\d+) of \1 failed"


class NoEvaluationSucceeded(unittest.TestCase):
    def test_a_run_without_a_good_point_is_no_success(self):
        def raises(x):
            raise RuntimeError("model down")

        cases = {
            "raises": dict(fun=raises),
            "returns nan": dict(fun=lambda x: math.nan),
            "returns inf": dict(fun=lambda x: math.inf),
            "returns 1e99": dict(fun=lambda x: 1e99),
            "nan constraint": dict(fun=lambda x: (0.0, [math.nan]), constraints=1),
            "block raises": dict(fun=lambda X: raises(X), vectorized=True, block_size=4),
        }
        # The run reaches its end without a good point: with fail_fast off,
        # or on a budget that ends it before fail_fast looks (fewer than 10).
        for name, kw in cases.items():
            fun = kw.pop("fun")
            for budget in (dict(fail_fast=False, maxeval=40), dict(maxeval=3)):
                with self.subTest(name, **budget):
                    r = kestro.minimize(fun, [(0, 1), (0, 1)], **budget, **kw)
                    self.assertFalse(r.success)
                    self.assertFalse(r.feasible)
                    self.assertRegex(r.message, NO_SUCCESS)
                    self.assertEqual(r.nfail, r.nfev)

    def test_one_good_point_is_a_success(self):
        r = kestro.minimize(lambda x: 0.5 if x[0] == 0.5 else math.nan, [(0, 1)], maxeval=40)
        self.assertTrue(r.success, r.message)
        self.assertEqual(r.fun, 0.5)
        self.assertEqual(r.message, kestro.iflag_text(r.status))


class OverflowingBounds(unittest.TestCase):
    def test_points_stay_finite_and_within_the_bounds(self):
        huge = [(-1e308, 1e308), (-1.7e308, 1.6e308), (-1e308, 1e308)]
        for integers in (0, 1):
            with self.subTest(integers=integers):
                seen = []

                def fun(x):
                    seen.append(x.copy())
                    return float(x[0] / 1e308 + x[1] / 1e308 + x[2] / 1e308)

                r = kestro.minimize(fun, huge, integers=integers, seed=4, maxeval=600)
                points = np.array(seen + [r.x])
                self.assertTrue(np.all(np.isfinite(points)))
                lower, upper = np.array(huge).T
                self.assertTrue(np.all((points >= lower) & (points <= upper)))
                if integers:
                    self.assertTrue(np.all(points[:, 2] == np.round(points[:, 2])))
                self.assertTrue(math.isfinite(r.fun))
                self.assertTrue(r.success, r.message)


class NanOptions(unittest.TestCase):
    def test_every_real_option_refuses_nan_by_name(self):
        for name in ("accuracy", "seed", "fstop", "algostop", "evalstop", "focus", "ants",
                     "kernel", "oracle", "paretomax", "epsilon", "balance", "character"):
            with self.subTest(name):
                with self.assertRaisesRegex(ValueError, rf"\b{name}\b.*NaN"):
                    kestro.minimize(lambda x: 0.0, [(0, 1)], **{name: math.nan})
                with self.assertRaisesRegex(ValueError, rf"\b{name}\b.*NaN"):
                    kestro.Solver([(0, 1)], **{name: math.nan})


class EndingExceptions(unittest.TestCase):
    class Ending(BaseException):
        pass

    def test_base_exceptions_end_the_run_and_propagate(self):
        for exception in (SystemExit(3), self.Ending("stop here")):
            for vectorized in (False, True):
                with self.subTest(exception=type(exception).__name__, vectorized=vectorized):
                    calls = []

                    def fun(x):
                        calls.append(1)
                        if len(calls) == 5:
                            raise exception
                        return np.sum(x * x, axis=-1)

                    with self.assertRaises(type(exception)):
                        kestro.minimize(fun, [(-1, 1)] * 2, block_size=2,
                                        vectorized=vectorized, maxeval=1000)
                    self.assertEqual(len(calls), 5)
        # The run has ended: another one can start.
        self.assertTrue(kestro.minimize(lambda x: 0.0, [(0, 1)], maxeval=10).success)

    def test_with_a_checkpoint_the_run_is_saved_before_it_propagates(self):
        with tempfile.TemporaryDirectory() as directory:
            path = os.path.join(directory, "run.ckpt")
            calls = []

            def fun(x):
                calls.append(x.copy())
                if len(calls) == 30:
                    raise SystemExit(1)
                return float(x[0] ** 2)

            with self.assertRaises(SystemExit):
                kestro.minimize(fun, [(-1, 1)], checkpoint=path, checkpoint_every=1000,
                                maxeval=60)
            self.assertTrue(os.path.exists(path))
            resumed = kestro.minimize(lambda x: float(x[0] ** 2), [(-1, 1)], checkpoint=path,
                                      checkpoint_every=1000, maxeval=60)
            self.assertEqual(resumed.nfev, 60)


class NoneReturned(unittest.TestCase):
    def test_none_is_refused_like_other_wrong_returns(self):
        cases = [
            ("objectives is None", dict(fun=lambda x: None)),
            ("constraints is None", dict(fun=lambda x: (1.0, None), constraints=1)),
            ("objectives is None", dict(fun=lambda x: (None, [1.0]), constraints=1)),
            ("block objectives is None", dict(fun=lambda X: None, vectorized=True,
                                              block_size=3)),
        ]
        for message, kw in cases:
            with self.subTest(message, **{k: v for k, v in kw.items() if k != "fun"}):
                with self.assertRaisesRegex(ValueError, "^" + message):
                    kestro.minimize(kw.pop("fun"), [(0, 1)], maxeval=20, **kw)
        with kestro.Solver([(0, 1)], block_size=2) as s:
            with self.assertRaisesRegex(ValueError, "block objectives is None"):
                s.tell(None)


if __name__ == "__main__":
    unittest.main()
