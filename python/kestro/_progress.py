"""The progress bar of kestro.minimize(progress=True), drawn with tqdm.

tqdm is an optional dependency (Debian: python3-tqdm; pip install tqdm): it is
imported only when a bar is asked for.
"""
import math
import sys


def _tqdm():
    try:
        from tqdm import tqdm
    except ImportError:
        raise ImportError(
            "kestro.minimize(progress=True) needs tqdm: install python3-tqdm "
            "(Debian, Ubuntu) or run 'pip install tqdm'") from None
    return tqdm


def describe(best_f, residual, failed, front_size, objectives):
    """The fields after the bar: best f (with several objectives the
    compromise value and the front size), feasible or the violation, and the
    failed evaluations."""
    fields = {}
    if math.isnan(best_f):
        return fields
    if objectives > 1:
        fields["compromise"] = f"{best_f:.6g}"
        fields["front"] = str(front_size)
    else:
        fields["best f"] = f"{best_f:.6g}"
    fields["feasible" if residual == 0 else "violation"] = (
        "yes" if residual == 0 else f"{residual:.3g}")
    fields["failed"] = str(failed)
    return fields


class ProgressBar:
    """A bar over the evaluation budget (no total when there is none). With
    runs=K the bar counts the evaluations of every run against K times the
    budget, the failed ones of every run, and shows the best of the runs'
    best points (the smallest violation, then the lowest f)."""

    # maxeval at or above this means no evaluation budget
    UNLIMITED = 99999999

    def __init__(self, maxeval, objectives, file=None, runs=1):
        tqdm = _tqdm()
        total = maxeval * runs if 0 < maxeval < self.UNLIMITED else None
        self._objectives = objectives
        self._bar = tqdm(total=total, unit="eval", file=file if file is not None else sys.stderr,
                         dynamic_ncols=True, mininterval=0.25, smoothing=0.1)
        self._shown = 0
        # per run: evaluations, failed evaluations, (best f, residual, front size)
        self._evaluations = [0] * runs
        self._failed = [0] * runs
        self._best = [None] * runs

    def update(self, evaluations, best_f, residual, failed, front_size, run=0):
        """Moves the bar to `evaluations` of run `run` and shows the fields
        of the best point."""
        self._evaluations[run] = evaluations
        self._failed[run] = failed
        if not math.isnan(best_f):
            self._best[run] = (best_f, residual, front_size)
        known = [b for b in self._best if b is not None]
        best = min(known, key=lambda b: (b[1], b[0])) if known else (math.nan, math.nan, 0)
        done = sum(self._evaluations)
        total = self._bar.total
        # The budget is checked after each block: the last block may go beyond it.
        if total is not None and done > total:
            self._bar.total = done
        self._bar.set_postfix(
            describe(best[0], best[1], sum(self._failed), best[2], self._objectives),
            refresh=False)
        self._bar.update(done - self._shown)
        self._shown = done

    def close(self):
        self._bar.close()
