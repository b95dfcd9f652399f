"""Seeing a run from Python: the history in the result, the progress bar and
the plots of kestro.plot (rendered with Agg; the tests look at the figure's
content, not at pixels)."""
import contextlib
import io
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

import numpy as np

import kestro

try:
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    import kestro.plot
except ImportError:
    plt = None

try:
    import tqdm  # noqa: F401
except ImportError:
    tqdm = None


def constrained(x):
    # Starts infeasible (x0 = -4 violates x0 + x1 >= 1), optimum f = 0.5 at (0.5, 0.5).
    return x[0] ** 2 + x[1] ** 2, [x[0] + x[1] - 1.0]


def scaled(x):
    # Positive values over several decades: f = 1 + 1000 |x - 0.3|^2.
    return 1.0 + 1000.0 * float(np.sum((x - 0.3) ** 2))


def objectives(count):
    def f(x):
        return [float(np.sum((x - k / count) ** 2)) for k in range(count)]
    return f


def run_constrained(**options):
    options = {"seed": 2, "block_size": 4, "maxeval": 3000, **options}
    return kestro.minimize(constrained, [(-5, 5), (-5, 5)], constraints=1, x0=[-4.0, -4.0],
                           **options)


def run_front(count, maxeval=3000):
    return kestro.minimize(objectives(count), [(-1, 2)] * 3, n_obj=count, seed=1,
                           block_size=4, maxeval=maxeval)


# A screen progress line: [ EVAL, TIME] F(X): value VIO: residual
# (or PRO: value VIO: residual [ size ] with several objectives).
LINE = re.compile(r"^ \[\s*(\d+),\s*[\d.]+\]\s+(?:F\(X\):|PRO:)\s*(\S+)\s+VIO:\s*(\S+)")


class History(unittest.TestCase):
    def check_against_report(self, script):
        # Every block printed (printeval = L): each line of the screen report
        # shows the best point as the history has it at that evaluation.
        env = dict(os.environ)
        env["PYTHONPATH"] = os.pathsep.join(
            [os.path.dirname(os.path.abspath(__file__)), env.get("PYTHONPATH", "")])
        out = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                             check=True, env=env)
        lines = [LINE.match(s) for s in out.stderr.splitlines()]
        shown = [(int(m[1]), float(m[2]), float(m[3].replace("D", "E"))) for m in lines if m]
        history = json.loads(out.stdout)  # the columns printed by the script
        self.assertGreater(len(shown), 100)
        self.assertGreater(len(history["nfev"]), 3)
        rows = list(zip(history["nfev"], history["fun"], history["residual"]))
        for nfev, f, res in shown[:-1]:  # the last line repeats the final block
            last = [r for r in rows if r[0] <= nfev][-1]
            self.assertAlmostEqual(f, last[1], delta=2e-8 * max(1.0, abs(f)), msg=nfev)
            self.assertAlmostEqual(res, last[2], delta=2e-6 * max(1.0, res), msg=nfev)
        printed = {s[0] for s in shown}
        self.assertTrue(set(history["nfev"]) <= printed)

    def test_single_objective_history_is_what_the_report_shows(self):
        self.check_against_report(
            "import kestro, test_seeing as t\n"
            "r = t.run_constrained(printeval=4)\n"
            "h = r.history\n"
            "import json; print(json.dumps({k: v.tolist() for k, v in h.items()}))\n")

    def test_several_objectives_history_is_what_the_report_shows(self):
        self.check_against_report(
            "import kestro, test_seeing as t\n"
            "r = kestro.minimize(t.objectives(2), [(-1, 2)] * 3, n_obj=2, seed=1, block_size=4,"
            " maxeval=2000, printeval=4)\n"
            "import json; print(json.dumps({k: v.tolist() for k, v in r.history.items()}))\n")

    def test_history_rows(self):
        r = run_constrained()
        h = r.history
        self.assertEqual(set(h), {"nfev", "fun", "residual"})
        nfev, fun, res = h["nfev"], h["fun"], h["residual"]
        self.assertEqual(nfev[0], 4)  # the start block
        self.assertTrue(np.all(np.diff(nfev) > 0))
        self.assertGreater(res[0], 0)  # an infeasible start ...
        self.assertEqual(res[-1], 0)   # ... and a feasible end
        # Each row improves on the one before: less violation, or as much and a lower f.
        for i in range(1, len(nfev)):
            self.assertTrue(res[i] < res[i - 1] or (res[i] == res[i - 1] and fun[i] < fun[i - 1]))
        self.assertEqual(fun[-1], r.fun)
        self.assertLessEqual(nfev[-1], r.nfev)

    def test_several_objectives_carry_the_front_size(self):
        r = run_front(2)
        h = r.history
        self.assertEqual(set(h), {"nfev", "fun", "residual", "front_size"})
        self.assertEqual(len(h["front_size"]), len(h["nfev"]))
        self.assertTrue(np.all(h["front_size"] >= 1))
        self.assertLessEqual(h["front_size"].max(), len(r.pareto_fun) + 50)


@unittest.skipIf(tqdm is None, "tqdm is not installed (python3-tqdm)")
class ProgressBar(unittest.TestCase):
    def test_bar_shows_the_fields(self):
        err = io.StringIO()
        with contextlib.redirect_stderr(err):
            r = run_constrained(progress=True)
        text = err.getvalue()
        self.assertIn(f"{r.nfev}/{r.nfev}", text)  # the budget overrun shown as the total
        self.assertRegex(text, r"best f=0\.49\d*, ")  # f = 0.5 within the accuracy
        self.assertIn("feasible=yes", text)
        self.assertIn("failed=0", text)
        self.assertIn("eval/s", text)

    def test_bar_with_several_objectives_and_failures(self):
        def sometimes_fails(x):
            if x[0] > 1.5:
                raise RuntimeError("no value here")
            return objectives(2)(x)
        err = io.StringIO()
        with contextlib.redirect_stderr(err):
            r = kestro.minimize(sometimes_fails, [(-1, 2)] * 3, n_obj=2, seed=1, block_size=4,
                                maxeval=1000, progress=True)
        text = err.getvalue()
        self.assertGreater(r.nfail, 0)
        self.assertIn(f"failed={r.nfail}", text)
        # The front store's size, as the screen report shows it.
        self.assertIn(f"front={len(r.pareto_store_fun)},", text)
        self.assertIn("compromise=", text)

    def test_bar_and_history_of_several_runs(self):
        # runs=2: the bar counts both runs against twice the budget and shows
        # the best of their points; the history is the best run's, and each
        # run keeps its own.
        err = io.StringIO()
        with contextlib.redirect_stderr(err):
            r = run_constrained(progress=True, runs=2, maxeval=1000)
        text = err.getvalue()
        self.assertEqual(len(r.runs), 2)
        total = max(2000, r.nfev)
        self.assertIn(f"{r.nfev}/{total}", text)
        self.assertIn("feasible=yes", text)
        self.assertRegex(text, r"best f=0\.49\d*, ")
        for k, run in enumerate(r.runs):
            with self.subTest(run=k):
                h = run.history
                self.assertEqual(h["nfev"][0], 4)
                self.assertLessEqual(h["nfev"][-1], run.nfev)
                self.assertEqual(h["fun"][-1], run.fun)
        best = r.runs[r.best_run].history
        for key in ("nfev", "fun", "residual"):
            np.testing.assert_array_equal(r.history[key], best[key])
        self.assertNotEqual(r.runs[0].history["fun"].tolist(), r.runs[1].history["fun"].tolist())

    def test_bar_and_history_with_workers(self):
        # The points on two worker processes: the same history as the serial
        # run, and the bar's last state shows the whole run.
        serial = run_constrained(maxeval=600)
        err = io.StringIO()
        with contextlib.redirect_stderr(err):
            r = run_constrained(maxeval=600, workers=2, progress=True)
        for key in ("nfev", "fun", "residual"):
            np.testing.assert_array_equal(r.history[key], serial.history[key])
        self.assertIn(f"{r.nfev}/{r.nfev}", err.getvalue())
        self.assertIn(f"best f={r.fun:.6g}", err.getvalue())

    def test_missing_tqdm_says_what_to_install(self):
        saved = sys.modules.get("tqdm")
        sys.modules["tqdm"] = None  # import tqdm now fails
        try:
            with self.assertRaisesRegex(ImportError, "python3-tqdm"):
                run_constrained(progress=True)
            run_constrained()  # without a bar tqdm is not needed
        finally:
            sys.modules["tqdm"] = saved


@unittest.skipIf(plt is None, "matplotlib is not installed (python3-matplotlib)")
class Plots(unittest.TestCase):
    def tearDown(self):
        plt.close("all")

    def markers(self, ax, label):
        return [line for line in ax.get_lines() if line.get_label() == label]

    def test_convergence_with_an_infeasible_start(self):
        r = run_constrained()
        fig = kestro.plot.convergence(r)
        ax = fig.axes[0]
        self.assertEqual(ax.get_xlabel(), "evaluations")
        self.assertEqual(ax.get_ylabel(), "best feasible f")
        feasible = r.history["residual"] == 0
        (points,) = self.markers(ax, "best feasible f")
        np.testing.assert_array_equal(points.get_xdata(), r.history["nfev"][feasible])
        np.testing.assert_array_equal(points.get_ydata(), r.history["fun"][feasible])
        shaded = [p for p in ax.patches if p.get_label() == "infeasible"]
        self.assertEqual(len(shaded), 1)
        xs = shaded[0].get_xy()[:, 0]
        self.assertEqual(min(xs), r.history["nfev"][0])
        self.assertEqual(max(xs), r.history["nfev"][feasible][0])
        self.assertEqual(ax.get_yscale(), "linear")

    def test_convergence_log_scale_over_decades(self):
        r = kestro.minimize(scaled, [(-5, 5)] * 2, seed=4, maxeval=3000)
        fig = kestro.plot.convergence(r)
        ax = fig.axes[0]
        self.assertEqual(ax.get_yscale(), "log")
        self.assertFalse([p for p in ax.patches if p.get_label() == "infeasible"])

    def test_convergence_of_several_objectives_shows_the_front_size(self):
        r = run_front(2)
        fig = kestro.plot.convergence(r)
        self.assertEqual(fig.axes[0].get_ylabel(), "compromise value")
        self.assertEqual(fig.axes[1].get_ylabel(), "front size")

    def test_front_of_two_objectives(self):
        r = run_front(2)
        fig = kestro.plot.front(r)
        ax = fig.axes[0]
        self.assertEqual((ax.get_xlabel(), ax.get_ylabel()), ("f1", "f2"))
        front, best = ax.collections
        self.assertEqual(len(front.get_offsets()), len(r.pareto_fun))
        np.testing.assert_array_equal(front.get_offsets(), r.pareto_fun)
        np.testing.assert_array_equal(best.get_offsets(), [r.fun])
        self.assertEqual(best.get_label(), "compromise")
        self.assertIn(f"({len(r.pareto_fun)} points)", ax.get_title())

    def test_front_of_three_objectives(self):
        r = run_front(3)
        fig = kestro.plot.front(r)
        ax = fig.axes[0]
        self.assertEqual(ax.name, "3d")
        self.assertEqual(ax.get_zlabel(), "f3")
        front, best = ax.collections
        xs, ys, zs = front._offsets3d
        self.assertEqual(len(xs), len(r.pareto_fun))
        np.testing.assert_array_equal(np.column_stack([xs, ys, zs]), r.pareto_fun)
        np.testing.assert_array_equal(np.ravel(best._offsets3d), r.fun)

    def test_front_of_four_objectives_in_parallel_coordinates(self):
        r = run_front(4, maxeval=2000)
        fig = kestro.plot.front(r)
        ax = fig.axes[0]
        self.assertEqual([t.get_text() for t in ax.get_xticklabels()], ["f1", "f2", "f3", "f4"])
        lines = ax.get_lines()
        self.assertEqual(len(lines), len(r.pareto_fun) + 1)
        (best,) = self.markers(ax, "compromise")
        low, high = r.pareto_fun.min(axis=0), r.pareto_fun.max(axis=0)
        np.testing.assert_allclose(best.get_ydata(), (r.fun - low) / (high - low))

    def test_front_needs_several_objectives(self):
        with self.assertRaisesRegex(ValueError, "several objectives"):
            kestro.plot.front({"pareto_fun": [[1.0], [2.0]], "fun": 1.0})

    def test_plain_data_and_the_command_line(self):
        # The files of a kestro-run output directory, written by hand: two
        # objectives, one constraint, variables a and b.
        with tempfile.TemporaryDirectory() as d:
            def write(name, text):
                with open(os.path.join(d, name), "w") as f:
                    f.write(text)
            write("kestro_best.csv",
                  "f1,f2,g1,residual,feasible,evaluations,a,b\n1,2,0.5,0,1,48,0.25,3\n")
            write("kestro_history.csv", "evaluations,compromise,front_size,residual\n"
                                        "4,5,1,2\n12,4,3,0\n40,3.5,4,0\n")
            write("kestro_front.csv", "f1,f2,g1,a,b\n0,3,1,0,1\n1,2,0.5,0.25,3\n3,0,2,1,2\n")
            run = kestro.plot.read_run(d)
            self.assertEqual(run["variable_names"], ["a", "b"])
            np.testing.assert_array_equal(run["fun"], [1, 2])
            np.testing.assert_array_equal(run["pareto_x"], [[0, 1], [0.25, 3], [1, 2]])
            np.testing.assert_array_equal(run["x"], [0.25, 3])
            self.assertEqual(run["nfev"], 48)
            np.testing.assert_array_equal(run["history"]["front_size"], [1, 3, 4])
            fig = kestro.plot.front(run)
            self.assertEqual(len(fig.axes[0].collections[0].get_offsets()), 3)
            fig = kestro.plot.convergence(run)
            (points,) = self.markers(fig.axes[0], "compromise value")
            np.testing.assert_array_equal(points.get_xdata(), [12, 40])
            self.assertEqual(fig.axes[0].get_lines()[0].get_xdata()[-1], 48)  # to the run's end

            out = subprocess.run([sys.executable, "-m", "kestro.plot", d], capture_output=True,
                                 text=True)
            self.assertEqual(out.returncode, 0, out.stderr)
            for name in ("kestro_convergence.png", "kestro_front.png"):
                path = os.path.join(d, name)
                self.assertIn(path, out.stdout.split())
                with open(path, "rb") as f:
                    self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")

            os.remove(os.path.join(d, "kestro_history.csv"))
            out = subprocess.run([sys.executable, "-m", "kestro.plot", d], capture_output=True,
                                 text=True)
            self.assertEqual(out.returncode, 2)
            self.assertIn("kestro_history.csv", out.stderr)


if __name__ == "__main__":
    unittest.main()
