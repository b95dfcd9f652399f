"""kestro.minimize(..., workers=W): the points of each block evaluated on other
processes, or through any map-like callable (a process pool's map, a cluster
client).

The compiled minimize runs the search as always and, with workers, hands the
whole block to BlockEvaluator.evaluate before going through its points: for
each point it then calls BlockEvaluator.take in place of fun, which returns
that point's value or raises the exception fun raised for it. So a failed
point, an exception, KeyboardInterrupt or SystemExit are handled exactly as in
a serial run, and the values, hence the run, are the serial run's bit for bit.
"""
import functools
import gc
import multiprocessing
import os
import pickle
import select
import selectors
import signal
import struct
import sys
import time
import traceback
import warnings

import numpy as np

from . import _core
from . import store as _store

_PICKLE_HINT = ("with workers, fun is sent to other processes and must be picklable: "
                "a function defined at the top level of a module (not a lambda, a "
                "local function or a bound method of an object that cannot be pickled)")


def evaluate_point(fun, x):
    """fun(x) as a pair (True, value), or (False, exception) when it raised.

    This is what runs on a worker: the exception comes back as a value, so that
    one failed point does not end the map of the others.
    """
    try:
        return True, fun(x)
    except BaseException as e:  # SystemExit and KeyboardInterrupt too, as in a serial run
        return False, _portable(e)


def _portable(e):
    """The exception itself when it survives pickling, else a RuntimeError with its text."""
    try:
        pickle.loads(pickle.dumps(e))
        e.__traceback__ = None
        return e
    except Exception:
        return RuntimeError(f"{type(e).__name__}: {e}")


def _is_pickling_error(e):
    return isinstance(e, pickle.PicklingError) or "pickle" in str(e).lower()


# Between the pool and its workers: a point goes as b"x" and its raw doubles,
# b"q" ends the worker; what comes back is pickled: first whether fun could be
# loaded, then one outcome per point.
_POINT, _QUIT = b"x", b"q"


def _send(conn, obj):
    conn.send_bytes(pickle.dumps(obj, pickle.HIGHEST_PROTOCOL))


def _recv(conn):
    return pickle.loads(conn.recv_bytes())


# Points and outcomes go through the connections' descriptors directly, in
# the framing of multiprocessing's Connection (a 4-byte length first): the
# Connection methods cost several times more, and the pool's time per block
# is the one part of the run that is not parallel. One message is in flight
# per worker at a time, so a read never takes in the start of the next.
_LENGTH = struct.Struct("!i")


def _write(fd, payload):
    data = memoryview(_LENGTH.pack(len(payload)) + payload)
    while data:
        data = data[os.write(fd, data):]


def _read(fd):
    data = os.read(fd, 65536)
    while len(data) < _LENGTH.size or len(data) < _LENGTH.size + _LENGTH.unpack_from(data)[0]:
        more = os.read(fd, 65536)
        if not more:
            raise EOFError
        data += more
    return data[_LENGTH.size:]


def _worker_main(conn, fun_bytes):
    """A worker process: loads fun, then evaluates the points it is sent until
    it is told to quit or its parent goes away."""
    # Ctrl-C is the parent's to handle: it stops the run and closes the pool.
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    try:
        try:
            fun = pickle.loads(fun_bytes)
        except BaseException as e:
            _send(conn, ("error", f"{type(e).__name__}: {e}"))
            return
        _send(conn, ("ready", None))
    except OSError:  # the pool was closed meanwhile
        return
    fd = conn.fileno()
    while True:
        try:
            task = _read(fd)
        except (EOFError, OSError):
            return
        if task[:1] != _POINT:
            return
        x = np.frombuffer(task, dtype=np.float64, offset=1).copy()
        outcome = evaluate_point(fun, x)
        try:
            data = pickle.dumps(outcome, pickle.HIGHEST_PROTOCOL)
        except Exception as e:  # the value cannot be pickled
            data = pickle.dumps((False, TypeError(
                f"the value fun returned cannot be sent back from the worker: {e}")))
        try:
            _write(fd, data)
        except OSError:
            return


def _death_text(exitcode):
    if exitcode is not None and exitcode < 0:
        try:
            return f"killed by signal {signal.Signals(-exitcode).name}"
        except ValueError:
            return f"killed by signal {-exitcode}"
    return f"exit status {exitcode}"


def _fork_worker(child, fun_bytes, let_go):
    """Forks a worker that runs _worker_main on the connection `child`; its
    process id. The worker lets go of the descriptors `let_go` (the other
    ends of the pipes, its own and the other workers'), so that each worker
    sees the end of its pipe as soon as the pool goes away."""
    pid = os.fork()
    if pid:
        return pid
    # The child: it never returns from here.
    code = 1
    try:
        # /dev/null over them: their numbers stay taken, as the objects
        # inherited from the parent that hold them expect.
        null = os.open(os.devnull, os.O_RDWR)
        for fd in let_go:
            if fd != child.fileno():
                os.dup2(null, fd)
        os.close(null)
        # Input belongs to the parent, as with multiprocessing.
        if sys.stdin is not None:
            sys.stdin.close()
            sys.stdin = open(os.devnull)
        _worker_main(child, fun_bytes)
        code = 0
    except SystemExit as e:
        code = e.code if isinstance(e.code, int) else int(e.code is not None)
    except BaseException:
        traceback.print_exc()
    finally:
        for stream in (sys.stdout, sys.stderr):
            try:
                stream.flush()
            except Exception:
                pass
        os._exit(code)


class _ForkedProcess:
    """A worker forked by _fork_worker, with what the pool uses of
    multiprocessing's Process."""

    def __init__(self, pid):
        self.pid = pid
        self.exitcode = None

    def _reap(self, flags):
        if self.exitcode is None:
            try:
                pid, status = os.waitpid(self.pid, flags)
            except ChildProcessError:  # reaped by someone else: how it ended is unknown
                pid, status = self.pid, 255 << 8
            if pid:
                self.exitcode = os.waitstatus_to_exitcode(status)
        return self.exitcode

    def is_alive(self):
        return self._reap(os.WNOHANG) is None

    def join(self, timeout=None):
        if timeout is None:
            self._reap(0)
            return
        if self.is_alive() and timeout > 0:
            try:
                fd = os.pidfd_open(self.pid)
            except (AttributeError, OSError):  # no pidfd: look every millisecond
                deadline = time.monotonic() + timeout
                while self.is_alive() and time.monotonic() < deadline:
                    time.sleep(0.001)
                return
            try:
                select.select([fd], [], [], timeout)
            finally:
                os.close(fd)
            self._reap(os.WNOHANG)

    def terminate(self):
        if self.is_alive():
            os.kill(self.pid, signal.SIGTERM)

    def kill(self):
        if self.is_alive():
            os.kill(self.pid, signal.SIGKILL)

    def close(self):
        pass


class _Worker:
    def __init__(self, conn, process, replacement):
        self.conn = conn
        self.fd = conn.fileno()
        self.process = process
        self.ready = False  # until its first message says it loaded fun
        self.replacement = replacement

    def stop(self, timeout):
        """Asks the process to end, waits `timeout` seconds, then kills it."""
        if self.process.is_alive():
            try:
                self.conn.send_bytes(_QUIT)
            except OSError:
                pass
            self.process.join(timeout)
        if self.process.is_alive():
            self.process.terminate()
            self.process.join(1)
        if self.process.is_alive():
            self.process.kill()
            self.process.join()
        self.conn.close()
        self.process.close()


class ProcessPool:
    """`count` worker processes that live until close(): each gets the pickled
    fun once, then one point at a time. A worker that dies is replaced; the
    point it was evaluating is reported as failed.

    Starting a process costs milliseconds, so none is waited for: the points
    go to the workers as they become ready, the first ones while the others
    still start."""

    def __init__(self, fun, count):
        try:
            self._fun_bytes = pickle.dumps(fun)
        except Exception as e:
            raise TypeError(f"{_PICKLE_HINT}; pickling it failed: {type(e).__name__}: {e}") \
                from None
        self._context = multiprocessing.get_context()
        self._count = count
        self._workers = []
        # A worker that dies closes its end of the pipe: its connection
        # becomes readable and gives EOFError, so the connections are all
        # that is waited on.
        self._selector = selectors.DefaultSelector()
        try:
            self._fill()
        except BaseException:
            self.close()
            raise

    def _start(self, count, replacement):
        """Starts `count` workers."""
        pipes = []
        started = []  # the processes of pipes[:len(started)]
        try:
            for _ in range(count):
                pipes.append(self._context.Pipe())
            if self._context.get_start_method() == "fork":
                # The forks one after the other, with as little as possible
                # in between: after each fork, every page this process
                # writes is copied first (multiprocessing's Process costs
                # several milliseconds more per process for that alone).
                let_go = [w.fd for w in self._workers]
                for conn, child in pipes:
                    let_go += (conn.fileno(), child.fileno())
                collecting = gc.isenabled()
                gc.disable()
                try:
                    for _, child in pipes:
                        started.append(_fork_worker(child, self._fun_bytes, let_go))
                finally:
                    if collecting:
                        gc.enable()
                started = [_ForkedProcess(pid) for pid in started]
            else:
                for _, child in pipes:
                    process = self._context.Process(target=_worker_main,
                                                    args=(child, self._fun_bytes),
                                                    name="kestro-worker", daemon=True)
                    process.start()
                    started.append(process)
        except Exception as e:
            raise RuntimeError(f"kestro: cannot start a worker process: {e}") from e
        finally:
            for i, (conn, child) in enumerate(pipes):
                child.close()
                if i < len(started):
                    process = started[i]
                    if isinstance(process, int):  # a fork after it failed
                        process = _ForkedProcess(process)
                    worker = _Worker(conn, process, replacement)
                    self._workers.append(worker)
                    self._selector.register(worker.conn, selectors.EVENT_READ, worker)
                else:
                    conn.close()

    def _remove(self, worker):
        self._workers.remove(worker)
        self._selector.unregister(worker.conn)
        worker.stop(0)

    def _fill(self):
        if len(self._workers) < self._count:
            self._start(self._count - len(self._workers), replacement=False)

    def _take_greeting(self, worker):
        """The first message of a new worker: ready, or why it could not load fun."""
        try:
            kind, text = _recv(worker.conn)
        except (EOFError, OSError):
            worker.process.join(1)
            kind, text = "error", _death_text(worker.process.exitcode)
        if kind != "ready":
            why = f"a worker process could not load fun ({text}); {_PICKLE_HINT}"
            if worker.replacement:
                why = f"a worker process died and the pool cannot be restored: {why}"
            raise RuntimeError("kestro: " + why)
        worker.ready = True

    def _replace(self, worker):
        """Starts a worker in place of one that died; how that one ended."""
        worker.process.join(1)
        text = _death_text(worker.process.exitcode)
        self._remove(worker)
        try:
            self._start(1, replacement=True)
        except RuntimeError as e:
            raise RuntimeError(f"kestro: a worker process died ({text}) and the pool cannot "
                               f"be restored: {e}") from None
        return text

    def map(self, xs):
        """The outcomes (see evaluate_point) of the points xs, in their order."""
        self._fill()
        outcomes = [None] * len(xs)
        todo = list(range(len(xs)))
        todo.reverse()
        idle = [w for w in self._workers if w.ready]
        busy = {}  # worker -> index of its point
        try:
            while todo or busy:
                while todo and idle:
                    worker, index = idle.pop(), todo.pop()
                    try:
                        _write(worker.fd, _POINT + xs[index].tobytes())
                    except OSError:  # it died after its last point: the point goes again
                        todo.append(index)
                        self._replace(worker)
                        continue
                    busy[worker] = index
                for key, _ in self._selector.select():
                    worker = key.data
                    if not worker.ready:
                        self._take_greeting(worker)
                        idle.append(worker)
                    elif worker not in busy:  # an idle worker that died
                        idle.remove(worker)
                        self._replace(worker)
                    else:
                        index = busy.pop(worker)
                        try:
                            outcomes[index] = pickle.loads(_read(worker.fd))
                            idle.append(worker)
                        except (EOFError, OSError):
                            outcomes[index] = (False, RuntimeError(
                                "the worker process evaluating this point died "
                                f"({self._replace(worker)})"))
        except BaseException:
            # Interrupted (Ctrl-C) or the pool cannot be restored: the workers
            # still busy are stopped, and replaced at the next map.
            for worker in busy:
                if worker in self._workers:
                    self._remove(worker)
            raise
        return outcomes

    def close(self):
        workers, self._workers = self._workers, []
        self._selector.close()
        for worker in workers:
            try:
                worker.conn.send_bytes(_QUIT)
            except OSError:
                pass
        for worker in workers:
            worker.stop(5)


class BlockEvaluator:
    """Evaluates the points of a block at once, on a ProcessPool of `workers`
    processes or through a map-like callable workers(f, xs) -> values, and
    hands the outcomes back one by one (take). A context manager: leaving it
    closes the pool."""

    def __init__(self, fun, workers):
        self._fun = fun
        self._pool = None
        self._outcomes = iter(())
        if callable(workers):
            self._map = workers
            return
        if isinstance(workers, bool) or not isinstance(workers, int):
            raise TypeError("workers must be an int (a number of processes, -1 for one per "
                            "CPU) or a map-like callable such as pool.map")
        if workers == -1:
            workers = os.cpu_count() or 1
        if workers < 1:
            raise ValueError(f"workers = {workers}: give at least 1 process (or -1 for one "
                             "per CPU)")
        self._pool = ProcessPool(fun, workers)
        self._map = None

    @property
    def processes(self):
        """The number of worker processes, or None for a map-like callable."""
        return None if self._pool is None else self._pool._count

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        if self._pool is not None:
            self._pool.close()
            self._pool = None

    def evaluate(self, X):
        """Evaluates the rows of the block X (shape (L, N))."""
        xs = [np.array(row, dtype=np.float64) for row in X]
        if self._pool is not None:
            outcomes = self._pool.map(xs)
        else:
            try:
                outcomes = list(self._map(functools.partial(evaluate_point, self._fun), xs))
            except Exception as e:
                if _is_pickling_error(e):
                    raise TypeError(f"{_PICKLE_HINT}; the map failed with "
                                    f"{type(e).__name__}: {e}") from e
                # The map as a whole failed (a lost worker, a broken pool):
                # every point of the block failed with its exception.
                outcomes = [(False, e)] * len(xs)
            if len(outcomes) != len(xs):
                raise ValueError(f"workers(f, xs) returned {len(outcomes)} values for "
                                 f"{len(xs)} points")
        self._outcomes = iter(outcomes)

    def take(self, x):
        """The value of the next point of the block, or the exception fun raised for it."""
        ok, value = next(self._outcomes)
        if ok:
            return value
        raise value


@functools.wraps(_core.minimize, assigned=("__module__", "__name__", "__qualname__"))
def minimize(fun, bounds, *, workers=None, store=None, cache=False, cache_failures=False,
             **options):
    if workers is not None and options.get("vectorized"):
        raise ValueError("workers and vectorized=True exclude each other: with vectorized=True "
                         "fun gets the whole block and evaluates it as it likes")
    recorder = None
    if store is None:
        if cache or cache_failures:
            raise ValueError("cache=True needs a store: minimize(..., store=PATH, cache=True)")
    else:
        if options.get("runs", 1) > 1:
            raise ValueError("store is not supported with runs > 1: the store keeps one run at "
                             "a time (make one run per call)")
        # The evaluation store (kestro/store.py), opened before any evaluation.
        recorder = _store.Recorder(store, fun, bounds, options, cache=cache,
                                   cache_failures=cache_failures)
    try:
        if recorder is not None:
            options["_store"] = recorder
        if workers is None:
            return _core.minimize(fun, bounds, **options)
        with BlockEvaluator(fun, workers) as evaluator:
            _follow_workers(options, evaluator.processes)
            return _core.minimize(fun, bounds, evaluator=evaluator, **options)
    finally:
        if recorder is not None:
            recorder.close()


def _follow_workers(options, processes):
    """The block size that keeps the workers busy: without block_size a block
    holds one point per worker process; a smaller block_size is warned about
    (the rule is the library's, as for threads and jobs). A map-like callable
    does not say how many points it evaluates at once: without block_size it
    gets one point at a time, which is warned about."""
    given = options.get("block_size")
    if processes is None:
        if given is None:
            warnings.warn("kestro: workers is a map-like callable and block_size is not given: "
                          "each block holds one point, so one evaluation runs at a time; give "
                          "block_size (the points handed to the map at once)", stacklevel=3)
        return
    if given is not None and (isinstance(given, bool) or not isinstance(given, int)):
        return  # the library's own check says what is wrong with it
    block_size, warning = _core.follow_parallelism(0 if given is None else given, processes,
                                                   "workers")
    if given is None:
        options["block_size"] = block_size
    if warning:
        warnings.warn("kestro: " + warning, stacklevel=3)


minimize.__doc__ = "minimize(fun, bounds, *, workers=None, store=None, cache=False, " \
    "cache_failures=False, **options)\n\n" + \
    _core.minimize.__doc__.split("\n", 1)[1].lstrip("\n").rstrip() + """

workers: None (the default) calls fun on the calling thread. An int W
evaluates the points of each block on W worker processes (-1: one per CPU),
started once for the run and closed at its end, also on an error or Ctrl-C;
fun must then be picklable (a function defined at the top level of a
module). Any map-like callable workers(f, xs) -> list of f(x) also works:
pool.map, or for a Dask client `lambda f, xs: client.gather(client.map(f, xs))`.
Without block_size a block holds one point per worker process (a smaller
block_size is warned about); with a map-like callable give block_size, the
points handed to it at once. The results are those of the serial run with
the same block_size bit for bit; an exception of fun
marks its point as failed, as in the serial run, and a worker process that
dies marks the point it was evaluating as failed and is replaced. Not with
vectorized=True.

store: a file name. Every evaluation is written to this SQLite file (created
when missing), one transaction per block, with the schema kestro-run writes
(see kestro.store); a resumed run (checkpoint) continues its record there.
A store that cannot be used (not a Kestro store, a newer schema) raises
kestro.StoreError before any evaluation; a failed write gives a
RuntimeWarning and the run goes on. The result has cache_hits. Not with
runs > 1.

cache: with store, a point already evaluated successfully for the same
problem (same function name and code, bounds, kinds, objectives and
constraints) is not evaluated again: the stored values are used, and the
result is that of the run without the cache. With workers only the other
points are handed to them. cache_failures: serve failed evaluations from
the cache too (implies cache).
"""
