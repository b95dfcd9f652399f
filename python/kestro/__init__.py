"""Derivative-free optimisation of mixed-integer, constrained, single- and
multi-objective black-box problems.

kestro.minimize runs a whole optimisation; kestro.Solver runs one block by
block (ask/tell). The solver itself is the compiled module kestro._core;
kestro.store keeps every evaluation in an SQLite file.
"""
from . import _core, store as _store
from ._core import CheckpointError, OptimizeResult, Solver, iflag_text
from ._version import __version__
from .store import StoreError


def minimize(fun, bounds, *, store=None, cache=False, cache_failures=False, **kwargs):
    if store is None:
        if cache or cache_failures:
            raise ValueError("cache=True needs a store: minimize(..., store=PATH, cache=True)")
        return _core.minimize(fun, bounds, **kwargs)
    recorder = _store.Recorder(store, fun, bounds, kwargs, cache=cache,
                               cache_failures=cache_failures)
    try:
        return _core.minimize(fun, bounds, _store=recorder, **kwargs)
    finally:
        recorder.close()


minimize.__doc__ = ((_core.minimize.__doc__ or "") + """

store: a file name. Every evaluation is written to this SQLite file (created
when missing), one transaction per block, with the schema kestro-run writes
(see kestro.store); a resumed run (checkpoint) continues its record there.
A store that cannot be used (not a Kestro store, a newer schema) raises
kestro.StoreError before any evaluation; a failed write gives a
RuntimeWarning and the run goes on. The result has cache_hits.

cache: with store, a point already evaluated successfully for the same
problem (same function name and code, bounds, kinds, objectives and
constraints) is not evaluated again: the stored values are used.
cache_failures: serve failed evaluations from the cache too (implies cache).
""")

__all__ = ["CheckpointError", "OptimizeResult", "Solver", "StoreError", "iflag_text", "minimize",
           "__version__"]
