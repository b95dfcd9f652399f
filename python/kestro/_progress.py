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
    """A bar over the evaluation budget (no total when there is none)."""

    # maxeval at or above this means no evaluation budget
    UNLIMITED = 99999999

    def __init__(self, maxeval, objectives, file=None):
        tqdm = _tqdm()
        total = maxeval if 0 < maxeval < self.UNLIMITED else None
        self._objectives = objectives
        self._bar = tqdm(total=total, unit="eval", file=file if file is not None else sys.stderr,
                         dynamic_ncols=True, mininterval=0.25, smoothing=0.1)
        self._shown = 0

    def update(self, evaluations, best_f, residual, failed, front_size):
        """Moves the bar to `evaluations` and shows the fields of the best point."""
        total = self._bar.total
        # The budget is checked after each block: the last block may go beyond it.
        if total is not None and evaluations > total:
            self._bar.total = evaluations
        self._bar.set_postfix(describe(best_f, residual, failed, front_size, self._objectives),
                              refresh=False)
        self._bar.update(evaluations - self._shown)
        self._shown = evaluations

    def close(self):
        self._bar.close()
