"""Derivative-free optimisation of mixed-integer, constrained, single- and
multi-objective black-box problems.

kestro.minimize runs a whole optimisation; kestro.Solver runs one block by
block (ask/tell). The solver itself is the compiled module kestro._core;
minimize(..., workers=W), which evaluates the points of each block on W
processes, is kestro._parallel; kestro.store keeps every evaluation in an
SQLite file (minimize(..., store=PATH)).
"""
from ._core import CheckpointError, CheckpointMismatch, OptimizeResult, Solver, iflag_text
from ._parallel import minimize
from ._version import __version__
from .store import StoreError

__all__ = ["CheckpointError", "CheckpointMismatch", "OptimizeResult", "Solver", "StoreError",
           "iflag_text", "minimize", "__version__"]
