"""The evaluation store: every evaluation of a run in one SQLite file.

``kestro.minimize(..., store=PATH)`` writes each block of evaluations to the
file in one transaction (WAL mode, so that a reader never blocks the run),
with the same schema as ``kestro-run``; ``cache=True`` takes the values of
points already evaluated for the same problem from it instead of calling the
function. The reading side returns plain data:

- ``runs(path)``: the runs in the file, one dict each;
- ``evaluations(path, run=None)``: the evaluations of a run (the last one by
  default), one dict each, with x, f and g as lists of floats (NaN where the
  store has null);
- ``best_so_far(path, run=None)``: the best point after each evaluation;
- ``front(path, run=None)``: the non-dominated feasible evaluations;
- ``read_run(path, run=None)``: a run in the plain shape the plot functions
  take (``kestro.plot``), so that a store can be plotted as a result can.

The schema is described in docs/store.md.
"""
import hashlib
import json
import math
import os
import sqlite3
import time
import warnings

__all__ = ["SCHEMA_VERSION", "StoreError", "runs", "evaluations", "best_so_far", "front",
           "read_run"]

#: The version of the schema this module writes; newer files are refused.
SCHEMA_VERSION = 1
_NAME = "kestro evaluation store"

_SCHEMA = """
CREATE TABLE kestro_store (
  name TEXT NOT NULL,
  version INTEGER NOT NULL
);
CREATE TABLE runs (
  id INTEGER PRIMARY KEY,
  front_end TEXT NOT NULL,
  problem TEXT NOT NULL,
  problem_digest TEXT NOT NULL,
  options TEXT NOT NULL,
  seed REAL NOT NULL,
  variables INTEGER NOT NULL,
  integers INTEGER NOT NULL,
  objectives INTEGER NOT NULL,
  constraints INTEGER NOT NULL,
  equalities INTEGER NOT NULL,
  block_size INTEGER NOT NULL,
  started TEXT NOT NULL,
  resumed TEXT,
  ended TEXT,
  iflag INTEGER,
  message TEXT,
  evaluations INTEGER,
  failed_evaluations INTEGER,
  cache_hits INTEGER,
  x TEXT,
  f TEXT,
  g TEXT,
  feasible INTEGER
);
CREATE TABLE evaluations (
  id INTEGER PRIMARY KEY,
  run_id INTEGER NOT NULL REFERENCES runs (id),
  problem_digest TEXT NOT NULL,
  evaluation INTEGER NOT NULL,
  block INTEGER NOT NULL,
  position INTEGER NOT NULL,
  x TEXT NOT NULL,
  f TEXT NOT NULL,
  g TEXT NOT NULL,
  status TEXT NOT NULL CHECK (status IN ('ok', 'failed')),
  reason TEXT,
  seconds REAL,
  cached INTEGER NOT NULL DEFAULT 0,
  UNIQUE (run_id, evaluation)
);
CREATE INDEX evaluations_by_point ON evaluations (problem_digest, x);
"""

_OPTIONS = ("accuracy", "seed", "fstop", "algostop", "evalstop", "focus", "ants", "kernel",
            "oracle", "paretomax", "epsilon", "balance", "character", "block_size",
            "printeval", "save2file", "maxeval", "maxtime", "maxwalltime")


class StoreError(Exception):
    """A store that cannot be used: it cannot be opened, is not a Kestro
    store or has a newer schema."""


def _number(v):
    v = float(v)
    if math.isnan(v):
        return "null"
    if math.isinf(v):
        return "1e999" if v > 0 else "-1e999"
    return "%.17g" % v


def _array(values):
    """JSON text of numbers, 17 significant digits (exact for every double):
    the text kestro-run writes for the same values."""
    return "[" + ",".join(_number(v) for v in values) + "]"


def _values(text):
    return [math.nan if v is None else float(v) for v in json.loads(text)]


def _now():
    return time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime())


def _connect(path, create):
    """Opens the store, creating it when `create` and the file is missing or
    empty; raises StoreError."""
    path = os.fspath(path)
    if not create and not os.path.exists(path):
        raise StoreError(f"store {path}: no such file")
    if create:
        # Never written through a symbolic link (as kestro-run's store and
        # the report files): the store and the files SQLite keeps beside it.
        for suffix in ("", "-wal", "-shm", "-journal"):
            if os.path.islink(path + suffix):
                what = path + suffix + " " if suffix else ""
                raise StoreError(f"store {path}: {what}is a symbolic link, which is not "
                                 "followed")
    try:
        db = sqlite3.connect(path, isolation_level=None, timeout=10)
    except sqlite3.Error as e:
        raise StoreError(f"store {path}: cannot be opened: {e}") from None
    try:
        try:
            tables = {row[0] for row in db.execute("SELECT name FROM sqlite_master")}
        except sqlite3.DatabaseError as e:
            if "not a database" in str(e):
                raise StoreError(f"store {path}: is not a Kestro store (not an SQLite database)") \
                    from None
            raise StoreError(f"store {path}: cannot be read: {e}") from None
        if tables and "kestro_store" not in tables:
            raise StoreError(f"store {path}: is not a Kestro store (an SQLite database without "
                             "the table kestro_store)")
        if tables:
            row = db.execute("SELECT name, version FROM kestro_store").fetchone()
            if not row or row[0] != _NAME or not isinstance(row[1], int) or row[1] < 1:
                raise StoreError(f"store {path}: is not a Kestro store (no valid schema version)")
            if row[1] > SCHEMA_VERSION:
                raise StoreError(f"store {path}: has schema version {row[1]}, newer than version "
                                 f"{SCHEMA_VERSION} that this kestro knows (use a newer kestro "
                                 "or another store)")
        elif not create:
            raise StoreError(f"store {path}: is not a Kestro store (an empty file)")
        if create:
            mode = db.execute("PRAGMA journal_mode = WAL").fetchone()
            if not mode or mode[0] != "wal":
                raise StoreError(f"store {path}: cannot switch to WAL mode")
            db.execute("PRAGMA synchronous = NORMAL")
        if not tables and create:
            try:
                db.executescript("BEGIN IMMEDIATE;" + _SCHEMA +
                                 "INSERT INTO kestro_store (name, version) VALUES "
                                 f"('{_NAME}', {SCHEMA_VERSION}); COMMIT;")
            except sqlite3.Error:
                if db.in_transaction:
                    db.execute("ROLLBACK")
                raise
    except StoreError:
        db.close()
        raise
    except sqlite3.Error as e:
        db.close()
        raise StoreError(f"store {path}: {e}") from None
    return db


def _code_digest(code, h):
    h.update(code.co_code)
    h.update(repr(code.co_names).encode())
    for c in code.co_consts:
        if hasattr(c, "co_code"):
            _code_digest(c, h)
        else:
            h.update(repr(c).encode())


def describe_problem(fun, bounds, integers=0, constraints=None, n_eq=0, n_obj=1):
    """The description of a Python problem (JSON text): the function's name
    and a digest of its code, the bounds, variable kinds, objectives and
    constraints. Equal descriptions share cached evaluations."""
    import numpy as np
    b = np.asarray(bounds, dtype=float).reshape(-1, 2)
    name = getattr(fun, "__module__", None) or "", getattr(fun, "__qualname__", None) or repr(type(fun))
    code = getattr(fun, "__code__", None) or getattr(getattr(fun, "__call__", None), "__code__", None)
    h = hashlib.sha256()
    if code is not None:
        _code_digest(code, h)
    return ("{\"function\":" + json.dumps(".".join(name)) +
            ",\"code\":" + json.dumps(h.hexdigest() if code is not None else "") +
            ",\"lower\":" + _array(b[:, 0]) + ",\"upper\":" + _array(b[:, 1]) +
            ",\"integers\":" + str(int(integers)) + ",\"objectives\":" + str(int(n_obj)) +
            ",\"constraints\":" + str(int(constraints or 0)) +
            ",\"equalities\":" + str(int(n_eq)) + "}")


class Recorder:
    """What kestro.minimize hands each block to: writes the store and serves
    the cache. Errors while writing are warnings (RuntimeWarning) and the run
    goes on; the blocks written before stay valid."""

    def __init__(self, path, fun, bounds, kwargs, cache=False, cache_failures=False):
        self.path = os.fspath(path)
        self.db = _connect(self.path, create=True)
        self.problem = describe_problem(fun, bounds, kwargs.get("integers", 0),
                                        kwargs.get("constraints"), kwargs.get("n_eq", 0),
                                        kwargs.get("n_obj", 1))
        self.digest = hashlib.sha256(self.problem.encode()).hexdigest()
        d = json.loads(self.problem)
        self.n, self.o, self.m = len(d["lower"]), d["objectives"], d["constraints"]
        self.counts = (self.n, d["integers"], self.o, self.m, d["equalities"])
        self.seed = float(kwargs.get("seed", 0))
        self.options = "{" + ",".join(f"\"{k}\":{_number(kwargs.get(k, 0))}"
                                      for k in _OPTIONS) + "}"
        self.cache, self.cache_failures = cache or cache_failures, cache_failures
        self.run = None
        self.block_size = 0
        self.hits = 0
        self.failed_blocks = 0

    def close(self):
        if self.failed_blocks:
            warnings.warn(f"store {self.path}: {self.failed_blocks} blocks could not be written",
                          RuntimeWarning, stacklevel=3)
        self.db.close()

    def begin(self, evaluations_before, resuming, block_size):
        self.block_size = block_size
        now = _now()
        try:
            self.db.execute("BEGIN IMMEDIATE")
            row = None
            if resuming and evaluations_before > 0:
                row = self.db.execute(
                    "SELECT id FROM runs WHERE problem_digest = ? AND seed = ? AND block_size = ? "
                    "AND ended IS NULL ORDER BY id DESC LIMIT 1",
                    (self.digest, self.seed, block_size)).fetchone()
            if row:
                self.run = row[0]
                self.db.execute("DELETE FROM evaluations WHERE run_id = ? AND evaluation > ?",
                                (self.run, evaluations_before))
                self.db.execute("UPDATE runs SET resumed = ? WHERE id = ?", (now, self.run))
            else:
                cur = self.db.execute(
                    "INSERT INTO runs (front_end, problem, problem_digest, options, seed, "
                    "variables, integers, objectives, constraints, equalities, block_size, "
                    "started, resumed) VALUES ('python', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                    (self.problem, self.digest, self.options, self.seed, *self.counts, block_size,
                     now, now if resuming and evaluations_before > 0 else None))
                self.run = cur.lastrowid
            self.db.execute("COMMIT")
        except sqlite3.Error as e:
            if self.db.in_transaction:
                self.db.execute("ROLLBACK")
            raise StoreError(f"store {self.path}: {e} (cannot record the run)") from None

    def lookup(self, X):
        """(hits, F, G, reasons) for the points of block X already in the
        store: hits[i] is True for a point served from it. The points of a
        block cut short by KeyboardInterrupt (failed, reason 'interrupted')
        were never evaluated: they are not served even as failures."""
        import numpy as np
        L = len(X)
        hits, reasons = [False] * L, [None] * L
        F, G = np.full((L, self.o), math.nan), np.full((L, self.m), math.nan)
        if not self.cache:
            return hits, F, G, reasons
        try:
            for i in range(L):
                row = self.db.execute(
                    "SELECT f, g, status, reason FROM evaluations WHERE problem_digest = ? "
                    "AND x = ? AND (status = 'ok' OR (? AND reason IS NOT 'interrupted')) "
                    "ORDER BY status = 'ok' DESC, id LIMIT 1",
                    (self.digest, _array(X[i]), int(self.cache_failures))).fetchone()
                if row:
                    f, g = _values(row[0]), _values(row[1])
                    if len(f) == self.o and len(g) == self.m:
                        hits[i], F[i], G[i] = True, f, g
                        reasons[i] = None if row[2] == "ok" else (row[3] or "failed")
                        self.hits += 1
        except sqlite3.Error as e:
            warnings.warn(f"store {self.path}: cannot look up a point: {e}", RuntimeWarning)
        return hits, F, G, reasons

    def write_block(self, evaluations_before, X, F, G, why, seconds, cached):
        L = len(X)
        block = evaluations_before // L + 1 if L else 1
        rows = [(self.run, self.digest, evaluations_before + i + 1, block, i + 1, _array(X[i]),
                 _array(F[i]), _array(G[i]), "ok" if why[i] is None else "failed",
                 None if why[i] is None else str(why[i]), seconds[i], int(bool(cached[i])))
                for i in range(L)]
        try:
            self.db.execute("BEGIN IMMEDIATE")
            self.db.executemany(
                "INSERT INTO evaluations (run_id, problem_digest, evaluation, block, position, "
                "x, f, g, status, reason, seconds, cached) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                "?, ?)", rows)
            self.db.execute("COMMIT")
        except sqlite3.Error as e:
            try:
                if self.db.in_transaction:
                    self.db.execute("ROLLBACK")
            except sqlite3.Error:
                pass
            self.failed_blocks += 1
            if self.failed_blocks == 1:
                warnings.warn(f"store {self.path}: cannot write block {block}: {e}; the run goes "
                              "on", RuntimeWarning)

    def end(self, r):
        import numpy as np
        try:
            self.db.execute(
                "UPDATE runs SET ended = ?, iflag = ?, message = ?, evaluations = ?, "
                "failed_evaluations = ?, cache_hits = ?, x = ?, f = ?, g = ?, feasible = ? "
                "WHERE id = ?",
                (_now(), int(r.status), r.message, int(r.nfev), int(r.nfail), self.hits,
                 _array(r.x), _array(np.atleast_1d(r.fun)), _array(r.constr), int(r.feasible),
                 self.run))
        except sqlite3.Error as e:
            warnings.warn(f"store {self.path}: cannot record the end of the run: {e}",
                          RuntimeWarning)
        r["cache_hits"] = self.hits


# The reading side.

def _run_id(db, run):
    if run is not None:
        return int(run)
    row = db.execute("SELECT max(id) FROM runs").fetchone()
    if not row or row[0] is None:
        raise StoreError("the store holds no run")
    return row[0]


def runs(path):
    """The runs in the store, oldest first: one dict per row of the table
    runs (x, f and g as lists of floats)."""
    db = _connect(path, create=False)
    try:
        db.row_factory = sqlite3.Row
        out = []
        for row in db.execute("SELECT * FROM runs ORDER BY id"):
            d = dict(row)
            for key in ("x", "f", "g"):
                d[key] = _values(d[key]) if d[key] is not None else None
            out.append(d)
        return out
    finally:
        db.close()


def evaluations(path, run=None):
    """The evaluations of a run (the last run when None), in order: dicts
    with evaluation, block, position, x, f, g (lists of floats, NaN for
    null), status ('ok' or 'failed'), reason, seconds and cached."""
    db = _connect(path, create=False)
    try:
        run = _run_id(db, run)
        return [dict(evaluation=e, block=b, position=p, x=_values(x), f=_values(f), g=_values(g),
                     status=s, reason=r, seconds=t, cached=bool(c))
                for e, b, p, x, f, g, s, r, t, c in db.execute(
                    "SELECT evaluation, block, position, x, f, g, status, reason, seconds, cached "
                    "FROM evaluations WHERE run_id = ? ORDER BY evaluation", (run,))]
    finally:
        db.close()


def _violation(g, equalities, tolerance):
    v = 0.0
    for j, gj in enumerate(g):
        if math.isnan(gj):
            return math.inf
        v += max(0.0, abs(gj) - tolerance) if j < equalities else max(0.0, -gj - tolerance)
    return v


def _problem(path, run):
    db = _connect(path, create=False)
    try:
        run = _run_id(db, run)
        row = db.execute("SELECT equalities, objectives FROM runs WHERE id = ?", (run,)).fetchone()
        if not row:
            raise StoreError(f"store {os.fspath(path)}: no run {run}")
        return run, row[0], row[1]
    finally:
        db.close()


def best_so_far(path, run=None, tolerance=0.0):
    """The best point after each evaluation of a run with one objective: a
    list of (evaluation, f, violation). A point is better when its
    constraint violation (the sum of g < 0 below zero and of |g| for
    equalities, beyond `tolerance`) is smaller, or equal and its objective
    smaller; failed evaluations never are."""
    run, equalities, objectives = _problem(path, run)
    if objectives != 1:
        raise ValueError("best_so_far: the run has several objectives (see front)")
    trace, best = [], None
    for e in evaluations(path, run):
        if e["status"] == "ok" and not math.isnan(e["f"][0]):
            key = (_violation(e["g"], equalities, tolerance), e["f"][0])
            if best is None or key < best:
                best = key
        if best is not None:
            trace.append((e["evaluation"], best[1], best[0]))
    return trace


def front(path, run=None, tolerance=0.0):
    """The evaluations of a run that are feasible (violation within
    `tolerance`, as for best_so_far) and not dominated by another feasible
    evaluation, ordered by their first objective: dicts as evaluations()
    gives them, one per distinct objective vector."""
    run, equalities, _ = _problem(path, run)
    points = [e for e in evaluations(path, run)
              if e["status"] == "ok" and not any(math.isnan(v) for v in e["f"])
              and _violation(e["g"], equalities, tolerance) == 0]
    def dominates(a, b):
        return all(x <= y for x, y in zip(a, b)) and any(x < y for x, y in zip(a, b))
    # In lexicographic order a point's dominators come before it, and one of
    # them is non-dominated: comparing with the front so far is enough.
    out, seen = [], set()
    for p in sorted(points, key=lambda e: e["f"]):
        key = tuple(p["f"])
        if key not in seen and not any(dominates(q["f"], p["f"]) for q in out):
            seen.add(key)
            out.append(p)
    return out


def read_run(path, run=None, tolerance=0.0):
    """A run of the store (the last one when None) in the plain shape the
    plot functions of kestro.plot take, as a result of kestro.minimize:
    "nfev" (its evaluations in the store), "history" with "nfev" and
    "residual" at each evaluation where the best point changed and, with
    one objective, "fun" (best_so_far condensed to its changes; with several
    objectives "front_size", the size of the non-dominated feasible set
    after that evaluation); the run's own final "x", "fun", "constr" and
    "feasible" (None while it has not ended); with several objectives
    "pareto_fun", "pareto_constr" and "pareto_x" from front()."""
    run, equalities, objectives = _problem(path, run)
    rows = evaluations(path, run)
    final = next(r for r in runs(path) if r["id"] == run)
    out = {"nfev": rows[-1]["evaluation"] if rows else 0, "x": final["x"],
           "fun": (final["f"][0] if final["f"] and objectives == 1 else final["f"]),
           "constr": final["g"],
           "feasible": None if final["feasible"] is None else bool(final["feasible"])}
    history = {"nfev": [], "residual": []}
    if objectives == 1:
        history["fun"] = []
        for evaluation, f, violation in best_so_far(path, run, tolerance):
            if not history["fun"] or (f, violation) != (history["fun"][-1],
                                                      history["residual"][-1]):
                history["nfev"].append(evaluation)
                history["fun"].append(f)
                history["residual"].append(violation)
    else:
        history["front_size"] = []
        kept = []  # the non-dominated feasible objective vectors so far
        def dominates(a, b):
            return all(x <= y for x, y in zip(a, b)) and any(x < y for x, y in zip(a, b))
        for e in rows:
            f = e["f"]
            if (e["status"] != "ok" or any(math.isnan(v) for v in f)
                    or _violation(e["g"], equalities, tolerance) != 0
                    or any(q == f or dominates(q, f) for q in kept)):
                continue
            kept = [q for q in kept if not dominates(f, q)] + [f]
            history["nfev"].append(e["evaluation"])
            history["front_size"].append(len(kept))
            history["residual"].append(0.0)
        points = front(path, run, tolerance)
        out["pareto_fun"] = [p["f"] for p in points]
        out["pareto_constr"] = [p["g"] for p in points]
        out["pareto_x"] = [p["x"] for p in points]
    out["history"] = history
    return out
