"""Tests of the Python module kestro (run by CTest with PYTHONPATH set to the
built modules)."""
import math
import signal
import unittest

import numpy as np

import kestro
import kestro_reference


# The problems of reference_module.cpp, with the same operations in the same
# order, per point and per block.
MIXED_BOUNDS = [(-3, 3), (-3, 3), (-3, 3), (0, 5)]


def mixed(x):
    a, b, c, d = x[0] - 1.0, x[1] + 0.5, x[2], x[3] - 2.0
    return a * a + b * b + c * c + d * d, [x[0] + x[1] + x[3] - 3.5]


def mixed_block(X):
    a, b, c, d = X[:, 0] - 1.0, X[:, 1] + 0.5, X[:, 2], X[:, 3] - 2.0
    f = a * a + b * b + c * c + d * d
    g = X[:, 0] + X[:, 1] + X[:, 3] - 3.5
    return f[:, None], g[:, None]


def two_objectives(x):
    a, b = x[0] - 2.0, x[1] - 1.0
    return [x[0] * x[0] + x[1] * x[1], a * a + b * b]


class Solves(unittest.TestCase):
    def test_continuous_minimum(self):
        r = kestro.minimize(lambda x: float(np.sum((x - [1.0, -2.0, 0.5]) ** 2)),
                            [(-5, 5)] * 3, seed=3, maxeval=20000)
        self.assertTrue(r.success, r.message)
        np.testing.assert_allclose(r.x, [1.0, -2.0, 0.5], atol=1e-4)
        self.assertLess(r.fun, 1e-8)
        self.assertIsInstance(r.x, np.ndarray)

    def test_mixed_integer_with_active_constraint(self):
        # Unconstrained optimum (1, -0.5, 0, 2) violates x0 + x1 + x3 >= 3.5;
        # with x3 = 2 the best is x0 = 1.5, x1 = 0 at f = 0.5 (x3 = 3 costs 1).
        r = kestro.minimize(mixed, MIXED_BOUNDS, integers=1, constraints=1, seed=1,
                            maxeval=30000)
        self.assertTrue(r.feasible)
        self.assertEqual(r.x[3], 2.0)
        np.testing.assert_allclose(r.x[:3], [1.5, 0.0, 0.0], atol=5e-3)
        self.assertAlmostEqual(r.fun, 0.5, delta=2e-3)
        self.assertEqual(r.constr.shape, (1,))
        self.assertGreaterEqual(r.constr[0], -1e-3)

    def test_equality_constraint(self):
        r = kestro.minimize(lambda x: (x[0] + x[1], [x[0] * x[0] + x[1] * x[1] - 1.0]),
                            [(-2, 2), (-2, 2)], constraints=1, n_eq=1, seed=2, maxeval=100000)
        self.assertTrue(r.success, r.message)
        h = -1 / math.sqrt(2)
        np.testing.assert_allclose(r.x, [h, h], atol=1e-2)
        self.assertAlmostEqual(r.fun, -math.sqrt(2), delta=1e-2)
        self.assertLessEqual(abs(r.constr[0]), 1e-3)

    def test_pareto_front(self):
        r = kestro.minimize(two_objectives, [(-1, 3), (-1, 3)], n_obj=2, seed=4, maxeval=20000)
        # Objectives returned as a tuple, or as a pair with no constraints.
        same = kestro.minimize(lambda x: (tuple(two_objectives(x)), []), [(-1, 3), (-1, 3)],
                               n_obj=2, seed=4, maxeval=20000)
        np.testing.assert_array_equal(same.pareto_fun, r.pareto_fun)
        pf, px, pg = r.pareto_fun, r.pareto_x, r.pareto_constr
        p = pf.shape[0]
        self.assertGreater(p, 10)
        self.assertEqual(px.shape, (p, 2))
        self.assertEqual(pg.shape, (p, 0))
        self.assertEqual(r.fun.shape, (2,))
        for fi, xi in zip(pf, px):
            np.testing.assert_array_equal(fi, two_objectives(xi))
        # The front keeps entries apart by a relative tolerance, so no entry
        # is beaten in both objectives by more than a few percent.
        for i in range(p):
            dominated = np.all(pf < pf[i] * 0.98, axis=1)
            self.assertFalse(dominated.any(), f"entry {i} is dominated")
        # The Pareto set is the segment from (0, 0) to (2, 1): the front lies
        # close to it and reaches both ends.
        t = np.clip(px @ np.array([2.0, 1.0]) / 5.0, 0, 1)
        dist = np.linalg.norm(px - t[:, None] * np.array([2.0, 1.0]), axis=1)
        self.assertLess(np.median(dist), 0.06)
        self.assertLess(dist.max(), 0.25)
        self.assertLess(pf[:, 0].min(), 0.05)
        self.assertLess(pf[:, 1].min(), 0.05)


class SameAsCpp(unittest.TestCase):
    """The module and the C++ API (kestro::minimize on three threads) give
    bit-identical runs for the same seed."""

    def test_mixed(self):
        for seed, block in ((5, 6), (11, 1)):
            ref = kestro_reference.run("mixed", seed, block, 3000, 3)
            r = kestro.minimize(mixed, MIXED_BOUNDS, integers=1, constraints=1, seed=seed,
                                block_size=block, maxeval=3000)
            self.assertEqual(r.x.tolist(), ref["x"])
            self.assertEqual([r.fun], ref["f"])
            self.assertEqual(r.constr.tolist(), ref["g"])
            self.assertEqual(r.status, ref["iflag"])
            self.assertEqual(r.nfev, ref["evaluations"])

    def test_two_objectives(self):
        ref = kestro_reference.run("two_objectives", 9, 4, 4000, 3)
        r = kestro.minimize(two_objectives, [(-1, 3), (-1, 3)], n_obj=2, seed=9, block_size=4,
                            maxeval=4000)
        self.assertEqual(r.x.tolist(), ref["x"])
        self.assertEqual(r.fun.tolist(), ref["f"])
        self.assertEqual(len(ref["pareto_front"]), r.pareto_fun.shape[0])
        self.assertGreater(r.pareto_fun.shape[0], 1)
        for (f, x), pf, px in zip(ref["pareto_front"], r.pareto_fun, r.pareto_x):
            self.assertEqual(pf.tolist(), f)
            self.assertEqual(px.tolist(), x)


class Modes(unittest.TestCase):
    def test_vectorized_per_point_and_ask_tell_agree(self):
        opts = dict(integers=1, constraints=1, seed=8, block_size=5, maxeval=2500)
        seen_point, seen_block = [], []

        def per_point(x):
            seen_point.append(x.copy())
            return mixed(x)

        def per_block(X):
            self.assertEqual(X.shape, (5, 4))
            seen_block.extend(X.copy())
            return mixed_block(X)

        a = kestro.minimize(per_point, MIXED_BOUNDS, **opts)
        b = kestro.minimize(per_block, MIXED_BOUNDS, vectorized=True, **opts)
        np.testing.assert_array_equal(np.array(seen_point), np.array(seen_block))
        self.assertEqual(len(seen_point), a.nfev)
        with kestro.Solver(MIXED_BOUNDS, **opts) as s:
            while not s.done:
                s.tell(*mixed_block(s.ask()))
            c = s.result()
        for r in (b, c):
            self.assertEqual(r.x.tolist(), a.x.tolist())
            self.assertEqual(r.fun, a.fun)
            self.assertEqual(r.constr.tolist(), a.constr.tolist())
            self.assertEqual((r.status, r.nfev), (a.status, a.nfev))

    def test_closed_solver_refuses_calls(self):
        s = kestro.Solver([(0, 1)])
        s.close()
        with self.assertRaisesRegex(RuntimeError, "closed"):
            s.ask()

    def test_stop(self):
        s = kestro.Solver([(-1, 1)], block_size=2)
        s.tell([[1.0], [2.0]])
        s.stop()
        s.tell([[0.5], [3.0]])
        self.assertTrue(s.done)
        r = s.result()
        self.assertEqual((r.status, r.nfev, r.fun), (1, 4, 0.5))
        s.close()


class Failures(unittest.TestCase):
    def test_exceptions_become_failed_points(self):
        calls = []

        def fun(x):
            calls.append(1)
            if x[0] > 0.5:
                raise ArithmeticError("no value beyond 0.5")
            return (x[0] - 0.25) ** 2

        r = kestro.minimize(fun, [(-1, 1)], seed=1, maxeval=2000)
        self.assertGreater(r.nexc, 0)
        self.assertEqual(r.nfail, r.nexc)
        self.assertEqual(r.nfev, len(calls))
        self.assertIn("no value beyond 0.5", r.first_exception)
        self.assertAlmostEqual(r.x[0], 0.25, delta=1e-4)

    def test_exception_in_block_fails_the_block(self):
        def fun(X):
            if np.any(X[:, 0] > 0.5):
                raise RuntimeError("block refused")
            return (X[:, 0] - 0.25) ** 2

        r = kestro.minimize(fun, [(-1, 1)], seed=1, block_size=4, maxeval=2000, vectorized=True)
        self.assertGreater(r.nexc, 0)
        self.assertEqual(r.nfail, 4 * r.nexc)
        self.assertLessEqual(r.x[0], 0.5)

    def test_keyboard_interrupt_returns_best_so_far(self):
        for how in ("raise", "signal"):
            seen = []

            def fun(x):
                if len(seen) == 40:
                    if how == "raise":
                        raise KeyboardInterrupt
                    signal.raise_signal(signal.SIGINT)
                seen.append((x.copy(), (x[0] - 0.3) ** 2 + x[1] ** 2))
                return seen[-1][1]

            r = kestro.minimize(fun, [(-1, 1), (-1, 1)], seed=6, maxeval=100000)
            self.assertTrue(r.interrupted, how)
            self.assertEqual(len(seen), 40)
            self.assertIn(r.status, (1, 2))
            best = min(seen, key=lambda e: e[1])
            self.assertEqual(r.fun, best[1])
            self.assertEqual(r.x.tolist(), best[0].tolist())
            # The interrupted point is handed over as failed, not evaluated.
            self.assertEqual((r.nfev, r.nfail, r.nexc), (41, 1, 0))

    def test_keyboard_interrupt_in_a_block(self):
        blocks = []

        def fun(X):
            if len(blocks) == 2:
                raise KeyboardInterrupt
            blocks.append((X.copy(), X[:, 0] ** 2 + X[:, 1] ** 2))
            return blocks[-1][1]

        r = kestro.minimize(fun, [(-1, 1), (-2, 2)], seed=3, block_size=4, vectorized=True)
        self.assertTrue(r.interrupted)
        self.assertEqual(len(blocks), 2)
        self.assertEqual(r.nfev, 12)
        values = np.concatenate([v for _, v in blocks])
        points = np.concatenate([x for x, _ in blocks])
        self.assertEqual(r.fun, values.min())
        self.assertEqual(r.x.tolist(), points[values.argmin()].tolist())


class BadInput(unittest.TestCase):
    def assertIflag(self, code, **kw):
        args = dict(fun=lambda x: 0.0, bounds=[(0, 1), (0, 2)])
        args.update(kw)
        with self.assertRaises(ValueError) as cm:
            kestro.minimize(args.pop("fun"), args.pop("bounds"), **args)
        text = str(cm.exception)
        self.assertIn(f"(IFLAG {code})", text)
        self.assertIn(kestro.iflag_text(code), text)
        self.assertTrue(kestro.iflag_text(code).startswith("input error"))

    def test_refused_problems_and_options(self):
        self.assertIflag(206, bounds=[(0, 1), (3, 2)])
        self.assertIflag(104, integers=3)
        self.assertIflag(107, constraints=1, n_eq=2)
        self.assertIflag(101, n_obj=0)
        self.assertIflag(204, x0=[-1.0, 1.0])
        self.assertIflag(883, bounds=[(0, 1), (0, 2.5)], integers=1)
        self.assertIflag(302, seed=-1)
        self.assertIflag(311, kernel=2)
        self.assertIflag(100, block_size=0)

    def test_shapes_are_checked(self):
        f = lambda x: 0.0
        for bounds in ([0, 1], [(0, 1, 2)], np.zeros((2, 2, 2))):
            with self.assertRaises(ValueError):
                kestro.minimize(f, bounds)
        with self.assertRaises(ValueError):
            kestro.minimize(f, [(0, 1)] * 3, x0=[0.5, 0.5])
        with self.assertRaisesRegex(ValueError, "objectives"):
            kestro.minimize(lambda x: [1.0, 2.0], [(0, 1)])
        with self.assertRaisesRegex(ValueError, "pair"):
            kestro.minimize(lambda x: 1.0, [(0, 1)], constraints=1)
        with self.assertRaisesRegex(ValueError, "constraints"):
            kestro.minimize(lambda x: (1.0, [1.0, 2.0]), [(0, 1)], constraints=1)
        with self.assertRaisesRegex(ValueError, "block objectives"):
            kestro.minimize(lambda X: np.zeros(3), [(0, 1)], block_size=4, vectorized=True)
        with self.assertRaises(TypeError):
            kestro.minimize(f, [(0, 1)], sede=3)
        with self.assertRaises(TypeError):
            kestro.minimize(f, [(0, 1)], seed="3")

    def test_tell_checks_shapes(self):
        with kestro.Solver([(0, 1)] * 2, constraints=1, block_size=3) as s:
            self.assertEqual(s.ask().shape, (3, 2))
            with self.assertRaises(ValueError):
                s.tell(np.zeros((3, 1)))
            with self.assertRaises(ValueError):
                s.tell(np.zeros((3, 1)), np.zeros((2, 1)))
            with self.assertRaises(ValueError):
                s.tell(np.zeros((4, 1)), np.zeros((4, 1)))
            self.assertEqual(s.nfev, 0)
            s.tell(np.zeros((3, 1)), np.zeros((3, 1)))
            self.assertEqual(s.nfev, 3)


if __name__ == "__main__":
    unittest.main()
