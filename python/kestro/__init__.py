"""Kestro: derivative-free optimisation of mixed-integer, constrained, single- and
multi-objective black-box problems.

kestro.minimize runs a whole optimisation; kestro.Solver runs one block by
block (ask/tell). The solver itself is the compiled module kestro._core;
minimize(..., workers=W), which evaluates the points of each block on W
processes, is kestro._parallel; kestro.store keeps every evaluation in an
SQLite file.
"""
from . import _parallel, store as _store
from ._core import CheckpointError, CheckpointMismatch, OptimizeResult, Solver, iflag_text
from ._version import __version__
from .store import StoreError


def minimize(fun, bounds, *, store=None, cache=False, cache_failures=False, **kwargs):
    if store is None:
        if cache or cache_failures:
            raise ValueError("cache=True needs a store: minimize(..., store=PATH, cache=True)")
        return _parallel.minimize(fun, bounds, **kwargs)
    if kwargs.get("runs", 1) > 1:
        raise ValueError("store is not supported with runs > 1: the store keeps one run at a "
                         "time (make one run per call)")
    recorder = _store.Recorder(store, fun, bounds, kwargs, cache=cache,
                               cache_failures=cache_failures)
    try:
        return _parallel.minimize(fun, bounds, _store=recorder, **kwargs)
    finally:
        recorder.close()


minimize.__doc__ = ((_parallel.minimize.__doc__ or "").replace(
    "minimize(fun, bounds, *, workers=None, **options)",
    "minimize(fun, bounds, *, workers=None, store=None, cache=False, cache_failures=False, "
    "**options)", 1).rstrip() + """

store: a file name. Every evaluation is written to this SQLite file (created
when missing), one transaction per block, with the schema kestro-run writes
(see kestro.store); a resumed run (checkpoint) continues its record there.
A store that cannot be used (not a Kestro store, a newer schema) raises
kestro.StoreError before any evaluation; a failed write gives a
RuntimeWarning and the run goes on. The result has cache_hits. Not with
runs > 1.

cache: with store, a point already evaluated successfully for the same
problem (same function name and code, bounds, kinds, objectives and
constraints) is not evaluated again: the stored values are used.
cache_failures: serve failed evaluations from the cache too (implies cache).
""")

__all__ = ["CheckpointError", "CheckpointMismatch", "OptimizeResult", "Solver", "StoreError",
           "iflag_text", "minimize", "__version__"]
