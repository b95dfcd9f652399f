"""Checkpoints from Python: a run saved and resumed in another process goes
on exactly as the run that was never stopped."""
import os
import subprocess
import sys
import tempfile
import textwrap
import unittest
import warnings

import numpy as np

import kestro

BOUNDS = [(-3, 3), (-3, 3), (0, 5)]
OPTIONS = dict(integers=1, constraints=1, seed=4, maxeval=3000)


def model(x):
    a, b = x[0] - 1.0, x[1] + 0.5
    return a * a + b * b + 0.1 * x[2], [x[0] + x[1] + x[2] - 1.5]


def run_in_new_process(code):
    """Runs `code` after the definitions above in a fresh interpreter and
    returns what it printed."""
    header = textwrap.dedent("""
        import sys
        import numpy as np
        import kestro
        BOUNDS = [(-3, 3), (-3, 3), (0, 5)]
        OPTIONS = dict(integers=1, constraints=1, seed=4, maxeval=3000)
        def model(x):
            a, b = x[0] - 1.0, x[1] + 0.5
            return a * a + b * b + 0.1 * x[2], [x[0] + x[1] + x[2] - 1.5]
    """)
    done = subprocess.run([sys.executable, "-c", header + textwrap.dedent(code)],
                          capture_output=True, text=True, env=os.environ.copy())
    if done.returncode != 0:
        raise AssertionError(done.stderr)
    return done.stdout


def blocks(solver, calls=None):
    """Asks and tells until done (or `calls` tells); returns the blocks."""
    seen = []
    while not solver.done and calls != 0:
        X = solver.ask()
        seen.append(X.copy())
        F = np.empty((X.shape[0], 1))
        G = np.empty((X.shape[0], 1))
        for i, x in enumerate(X):
            F[i, 0], G[i] = model(x)
        solver.tell(F, G)
        calls = None if calls is None else calls - 1
    return seen


class CheckpointCase(unittest.TestCase):
    """A test with a temporary directory and a checkpoint path in it."""
    file_name = "run.ckpt"

    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.path = os.path.join(self.dir.name, self.file_name)

    def tearDown(self):
        self.dir.cleanup()


class SolverResume(CheckpointCase):

    def test_resumed_in_new_process_asks_the_same_blocks(self):
        with kestro.Solver(BOUNDS, block_size=3, **OPTIONS) as s:
            reference = blocks(s)
            expected = s.result()
        with kestro.Solver(BOUNDS, block_size=3, **OPTIONS) as s:
            first = blocks(s, calls=150)
            s.save(self.path)
        out = run_in_new_process(f"""
            with kestro.Solver(BOUNDS, block_size=3, resume={self.path!r}, **OPTIONS) as s:
                nfev = s.nfev
                seen = []
                while not s.done:
                    X = s.ask()
                    seen.append(X.copy())
                    F = np.empty((X.shape[0], 1))
                    G = np.empty((X.shape[0], 1))
                    for i, x in enumerate(X):
                        F[i, 0], G[i] = model(x)
                    s.tell(F, G)
                r = s.result()
            print(nfev)
            print(np.array(seen).tobytes().hex())
            print(r.x.tobytes().hex())
            print(r.status)
            print(r.nfev)
        """)
        lines = out.split("\n")
        self.assertEqual(int(lines[0]), 150 * 3)
        resumed = np.frombuffer(bytes.fromhex(lines[1]), dtype=float)
        self.assertEqual(len(first) + len(resumed) // 9, len(reference))
        np.testing.assert_array_equal(resumed, np.array(reference[len(first):]).ravel())
        np.testing.assert_array_equal(np.frombuffer(bytes.fromhex(lines[2])), expected.x)
        self.assertEqual(int(lines[3]), expected.status)
        self.assertEqual(int(lines[4]), expected.nfev)

    def test_refused_file_raises_with_the_reason(self):
        with kestro.Solver(BOUNDS, block_size=2, **OPTIONS) as s:
            blocks(s, calls=5)
            s.save(self.path)
        with open(self.path, "rb") as f:
            data = f.read()
        cases = [("truncated", data[: len(data) // 2]),
                 ("corrupted", data[:200] + bytes([data[200] ^ 1]) + data[201:]),
                 ("not a checkpoint", b"hello")]
        for reason, content in cases:
            with self.subTest(reason):
                bad = os.path.join(self.dir.name, "bad.ckpt")
                with open(bad, "wb") as f:
                    f.write(content)
                with self.assertRaisesRegex(kestro.CheckpointError, reason):
                    kestro.Solver(BOUNDS, block_size=2, resume=bad, **OPTIONS)
        with self.assertRaisesRegex(kestro.CheckpointError, "other problem sizes"):
            kestro.Solver(BOUNDS, block_size=4, resume=self.path, **OPTIONS)
        # Nothing was left alive by the refusals.
        kestro.Solver(BOUNDS, block_size=2, **OPTIONS).close()


class MinimizeCheckpoint(CheckpointCase):
    file_name = "min.ckpt"

    def test_interrupted_run_resumes_in_new_process_with_the_same_result(self):
        expected = kestro.minimize(model, BOUNDS, block_size=4, **OPTIONS)
        calls = [0]

        def interrupted_model(x):
            calls[0] += 1
            if calls[0] == 1234:
                raise KeyboardInterrupt
            return model(x)

        with self.assertRaises(KeyboardInterrupt):
            kestro.minimize(interrupted_model, BOUNDS, block_size=4, checkpoint=self.path,
                            checkpoint_every=1000000, **OPTIONS)
        self.assertTrue(os.path.exists(self.path))
        out = run_in_new_process(f"""
            r = kestro.minimize(model, BOUNDS, block_size=4, checkpoint={self.path!r}, **OPTIONS)
            print(r.x.tobytes().hex()); print(r.status); print(r.nfev); print(repr(r.fun))
        """).split("\n")
        np.testing.assert_array_equal(np.frombuffer(bytes.fromhex(out[0])), expected.x)
        self.assertEqual(int(out[1]), expected.status)
        self.assertEqual(int(out[2]), expected.nfev)
        self.assertEqual(float(out[3]), expected.fun)

    def test_finished_run_is_saved_and_returned_again_without_evaluating(self):
        first = kestro.minimize(model, BOUNDS, block_size=2, checkpoint=self.path,
                                checkpoint_every=50, **OPTIONS)
        evaluated = []

        def counting(x):
            evaluated.append(1)
            return model(x)

        again = kestro.minimize(counting, BOUNDS, block_size=2, checkpoint=self.path, **OPTIONS)
        self.assertEqual(evaluated, [])
        np.testing.assert_array_equal(again.x, first.x)
        self.assertEqual(again.nfev, first.nfev)

    def test_failed_save_warns_and_the_run_goes_on(self):
        expected = kestro.minimize(model, BOUNDS, block_size=2, **OPTIONS)
        missing = os.path.join(self.dir.name, "no-such-directory", "run.ckpt")
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            r = kestro.minimize(model, BOUNDS, block_size=2, checkpoint=missing,
                                checkpoint_every=500, **OPTIONS)
        self.assertTrue(any("could not be written" in str(w.message) for w in caught))
        np.testing.assert_array_equal(r.x, expected.x)
        self.assertEqual(r.nfev, expected.nfev)


if __name__ == "__main__":
    unittest.main()
