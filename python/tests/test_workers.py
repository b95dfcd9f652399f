"""kestro.minimize(..., workers=...): the points of each block on worker
processes or through a map-like callable (a process pool, a Dask cluster)."""
import json
import multiprocessing
import os
import signal
import subprocess
import sys
import tempfile
import textwrap
import time
import unittest
import warnings

import numpy as np

import kestro

BOUNDS = [(-3, 3), (-3, 3), (0, 5)]
OPTIONS = dict(integers=1, constraints=1, seed=4, block_size=8, maxeval=1200)
MAIN_PID = os.getpid()


def in_worker():
    return os.getpid() != MAIN_PID


# The objectives are defined at the top level of this module, so that the
# worker processes can unpickle them.
def failing(x):
    """A constrained mixed-integer model that raises at some points."""
    if x[0] > 2.0:
        raise ArithmeticError(f"no value at x0 = {x[0]:.6f}")
    f = (x[0] - 1.0) ** 2 + (x[1] + 0.5) ** 2 + (x[2] - 2.0) ** 2
    return f, [4.0 - x[0] - x[1] - x[2]]


def dying(x):
    """A model whose worker process dies at some points (in the serial run
    these points raise instead)."""
    if x[0] < -2.0:
        if in_worker():
            os._exit(3)
        raise RuntimeError("a dead worker in the parallel run")
    return (x[0] - 1.0) ** 2 + x[1] ** 2 + (x[2] - 2.0) ** 2, [4.0 - x[0] - x[1] - x[2]]


INTERRUPT_MARK = os.path.join(tempfile.gettempdir(), f"kestro-test-interrupt-{MAIN_PID}")


def interrupting(x):
    """Ctrl-C from the terminal, once, at some point: SIGINT to the worker and
    to the run."""
    if x[0] < -1.0 and in_worker():
        try:
            os.close(os.open(INTERRUPT_MARK, os.O_CREAT | os.O_EXCL))
            os.kill(os.getpid(), signal.SIGINT)
            os.kill(MAIN_PID, signal.SIGINT)
        except FileExistsError:
            pass
    return failing(x)


def pid_then_sleep(x):
    """Leaves its process id in the directory KESTRO_TEST_PIDS, then takes 3 s."""
    with open(os.path.join(os.environ["KESTRO_TEST_PIDS"], str(os.getpid())), "w"):
        pass
    time.sleep(3)
    return float(x @ x)


def wrong_shape(x):
    return [1.0, 2.0, 3.0], [0.0]


class DiesThenCannotLoad:
    """Kills its worker at the first point; once that happened, a new worker
    can no longer load it (the pool cannot be restored)."""

    def __init__(self, marker):
        self.marker = marker

    def __setstate__(self, state):
        if os.path.exists(state["marker"]):
            raise OSError("the model's licence is gone")
        self.__dict__.update(state)

    def __call__(self, x):
        with open(self.marker, "w"):
            pass
        os._exit(5)


def child_processes():
    """The processes this one started and has not waited for (Linux), else
    an empty set."""
    pids = set()
    try:
        for task in os.listdir("/proc/self/task"):
            with open(f"/proc/self/task/{task}/children") as f:
                pids.update(int(pid) for pid in f.read().split())
    except OSError:
        pass
    return pids


class Workers(unittest.TestCase):
    def setUp(self):
        self.serial = kestro.minimize(failing, BOUNDS, **OPTIONS)

    def tearDown(self):
        # The pool of every run is closed at its end, whatever happened, and
        # its processes are waited for.
        self.assertEqual(multiprocessing.active_children(), [])
        self.assertEqual(child_processes(), set())

    def assertSameRun(self, r, serial):
        self.assertEqual(r.x.tolist(), serial.x.tolist())
        self.assertEqual(r.fun, serial.fun)
        self.assertEqual(r.constr.tolist(), serial.constr.tolist())
        self.assertEqual((r.status, r.nfev, r.nfail, r.nexc),
                         (serial.status, serial.nfev, serial.nfail, serial.nexc))

    def test_equal_to_the_serial_run(self):
        self.assertGreater(self.serial.nexc, 0)
        first = self.serial.first_exception.split("\n")[0]
        self.assertTrue(first.startswith("ArithmeticError: no value at x0 = "), first)
        with multiprocessing.Pool(2) as pool:
            for workers in (1, 3, pool.map, lambda f, xs: list(map(f, xs))):
                with self.subTest(workers=workers):
                    r = kestro.minimize(failing, BOUNDS, workers=workers, **OPTIONS)
                    self.assertSameRun(r, self.serial)
                    # The first exception in the order of the points.
                    self.assertEqual(r.first_exception.split("\n")[0], first)

    def test_dead_worker_marks_its_point_failed(self):
        serial = kestro.minimize(dying, BOUNDS, **OPTIONS)
        self.assertGreater(serial.nexc, 1)
        r = kestro.minimize(dying, BOUNDS, workers=2, **OPTIONS)
        self.assertSameRun(r, serial)
        self.assertIn("worker process evaluating this point died (exit status 3)",
                      r.first_exception)

    def test_pool_that_cannot_be_restored(self):
        with tempfile.TemporaryDirectory() as tmp:
            fun = DiesThenCannotLoad(os.path.join(tmp, "gone"))
            with self.assertRaisesRegex(RuntimeError, "cannot be restored.*licence is gone"):
                kestro.minimize(fun, BOUNDS, workers=1, **OPTIONS)

    def test_ctrl_c_ends_the_run_and_the_pool(self):
        self.addCleanup(lambda: os.path.exists(INTERRUPT_MARK) and os.remove(INTERRUPT_MARK))
        r = kestro.minimize(interrupting, BOUNDS, workers=2, **OPTIONS)
        self.assertTrue(os.path.exists(INTERRUPT_MARK))
        self.assertTrue(r.interrupted)
        self.assertLess(r.nfev, self.serial.nfev)

    def test_errors_end_the_run_and_the_pool(self):
        with self.assertRaisesRegex(ValueError, "objectives has 3 values"):
            kestro.minimize(wrong_shape, BOUNDS, workers=2, **OPTIONS)

    def test_unpicklable_objective(self):
        local = lambda x: failing(x)  # noqa: E731
        with multiprocessing.Pool(1) as pool:
            for workers in (2, pool.map):
                with self.subTest(workers=workers):
                    with self.assertRaisesRegex(TypeError, "must be picklable"):
                        kestro.minimize(local, BOUNDS, workers=workers, **OPTIONS)

    def test_block_size_follows_the_workers(self):
        # Without block_size a block holds one point per worker process: the
        # run is the serial run with blocks of that size. A smaller block_size
        # given, or a map without block_size, is warned about.
        options = {k: v for k, v in OPTIONS.items() if k != "block_size"}
        options["maxeval"] = 200
        serial = kestro.minimize(failing, BOUNDS, block_size=3, **options)
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            r = kestro.minimize(failing, BOUNDS, workers=3, **options)
        self.assertSameRun(r, serial)
        self.assertEqual(caught, [])
        cases = [(dict(workers=3, block_size=2), "block_size = 2 is smaller than workers = 3"),
                 (dict(workers=lambda f, xs: list(map(f, xs))), "give block_size")]
        for extra, text in cases:
            with self.subTest(extra=extra):
                with self.assertWarnsRegex(UserWarning, text):
                    kestro.minimize(failing, BOUNDS, **options, **extra)

    def test_bad_workers(self):
        cases = [(0, ValueError, "at least 1"), (-2, ValueError, "at least 1"),
                 ("2", TypeError, "map-like callable"), (True, TypeError, "an int"),
                 (2.0, TypeError, "an int")]
        for workers, error, text in cases:
            with self.subTest(workers=workers):
                with self.assertRaisesRegex(error, text):
                    kestro.minimize(failing, BOUNDS, workers=workers, **OPTIONS)
        with self.assertRaisesRegex(ValueError, "exclude each other"):
            kestro.minimize(failing, BOUNDS, workers=2, vectorized=True, **OPTIONS)
        with self.assertRaisesRegex(ValueError, "returned 1 values for 8 points"):
            kestro.minimize(failing, BOUNDS, workers=lambda f, xs: [f(xs[0])], **OPTIONS)


KILLED_RUN = textwrap.dedent("""
    import kestro
    import test_workers as t
    kestro.minimize(t.pid_then_sleep, t.BOUNDS, workers=3, block_size=3, maxeval=30)
""")


def running(pid):
    """Whether the process exists and has not ended (a zombie has ended)."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


class RunKilled(unittest.TestCase):
    @unittest.skipUnless(os.path.isdir("/proc/self"), "needs /proc")
    def test_workers_end_with_the_run(self):
        # Killed outright, the run cannot close its pool: each worker ends
        # the point it is evaluating, sees the end of its pipe and ends too.
        with tempfile.TemporaryDirectory() as tmp:
            env = dict(os.environ, KESTRO_TEST_PIDS=tmp, PYTHONPATH=os.pathsep.join(
                [os.path.dirname(os.path.abspath(__file__)), os.environ.get("PYTHONPATH", "")]))
            run = subprocess.Popen([sys.executable, "-c", KILLED_RUN], env=env,
                                   start_new_session=True)
            try:
                deadline = time.monotonic() + 60
                while len(os.listdir(tmp)) < 3 and time.monotonic() < deadline:
                    time.sleep(0.05)
                workers = [int(name) for name in os.listdir(tmp)]
                self.assertEqual(len(workers), 3)
                self.assertTrue(all(running(pid) for pid in workers))
                run.kill()
                run.wait()
                deadline = time.monotonic() + 20
                while any(running(pid) for pid in workers) and time.monotonic() < deadline:
                    time.sleep(0.05)
                self.assertEqual([pid for pid in workers if running(pid)], [])
            finally:
                try:
                    os.killpg(run.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                run.wait()


DASK_RUN = textwrap.dedent("""
    import json, sys
    from dask.distributed import Client, LocalCluster
    import kestro
    import test_workers as t

    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster) as client:
        r = kestro.minimize(t.failing, t.BOUNDS, **t.OPTIONS,
                            workers=lambda f, xs: client.gather(client.map(f, xs)))
    json.dump(dict(x=r.x.tolist(), fun=r.fun, nfev=r.nfev, nfail=r.nfail, nexc=r.nexc,
                   first=r.first_exception.split(chr(10))[0]), sys.stdout)
""")


class Dask(unittest.TestCase):
    def test_local_cluster(self):
        try:
            import dask.distributed  # noqa: F401
        except ImportError:
            self.skipTest("Dask's distributed is not installed (Debian: python3-distributed)")
        # In a process group of its own, killed whole after two minutes at most, so
        # that neither a hang nor the cluster's processes outlive the test.
        env = dict(os.environ, PYTHONPATH=os.pathsep.join(
            [os.path.dirname(os.path.abspath(__file__)), os.environ.get("PYTHONPATH", "")]))
        child = subprocess.Popen([sys.executable, "-c", DASK_RUN], stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, text=True, env=env,
                                 start_new_session=True)
        try:
            out, err = child.communicate(timeout=120)
        except subprocess.TimeoutExpired:
            os.killpg(child.pid, signal.SIGKILL)
            child.communicate()
            self.fail("the run on a Dask LocalCluster did not end within 120 s")
        finally:
            try:
                os.killpg(child.pid, signal.SIGKILL)  # what the cluster left behind
            except ProcessLookupError:
                pass
        self.assertEqual(child.returncode, 0, err)
        got = json.loads(out)
        serial = kestro.minimize(failing, BOUNDS, **OPTIONS)
        self.assertEqual(got, dict(x=serial.x.tolist(), fun=serial.fun, nfev=serial.nfev,
                                   nfail=serial.nfail, nexc=serial.nexc,
                                   first=serial.first_exception.split("\n")[0]))


if __name__ == "__main__":
    unittest.main()
