"""Plots of a run: how the search went and the Pareto front.

    kestro.plot.convergence(result)   the best feasible f against evaluations
    kestro.plot.front(result)         the Pareto front, the compromise marked
    python3 -m kestro.plot DIR        PNG files from a kestro-run output directory
    python3 -m kestro.plot FILE       PNG files from an evaluation store (SQLite)

Both functions return the matplotlib figure. They take the result of
kestro.minimize or any mapping of the same plain shape, such as
read_run(DIR) gives from kestro-run's CSV files (or kestro.store.read_run
from an evaluation store):

    "history"      a mapping of equal-length sequences, one entry per block
                   where the best point improved: "nfev" (evaluations),
                   "fun" (its f; with several objectives the compromise
                   value), "residual" (its constraint violation, 0 when
                   feasible) and, with several objectives, "front_size"
    "fun"          the best point's objective values (the compromise with
                   several objectives); None when not known (a run in a
                   store that never ended), and with several objectives
                   "history" may then lack "fun": the front size is drawn
    "pareto_fun"   the objectives of the front, one row per entry
    "nfev"         optional: the evaluations of the whole run
    "objective_names"  optional: names of the objectives

matplotlib is an optional dependency (Debian: python3-matplotlib; pip install
matplotlib): it is imported when a plot is made.
"""
import csv
import os
import sys

import numpy as np

# The files kestro-run writes to its output directory.
BEST_FILE = "kestro_best.csv"
HISTORY_FILE = "kestro_history.csv"
FRONT_FILE = "kestro_front.csv"
# The files `python3 -m kestro.plot DIR` writes there.
CONVERGENCE_PNG = "kestro_convergence.png"
FRONT_PNG = "kestro_front.png"


def _pyplot():
    try:
        import matplotlib.pyplot as plt
    except ImportError:
        raise ImportError(
            "kestro.plot needs matplotlib: install python3-matplotlib "
            "(Debian, Ubuntu) or run 'pip install matplotlib'") from None
    return plt


def _objective_names(result, count):
    names = result.get("objective_names")
    if names is not None and len(names) == count:
        return [str(n) for n in names]
    return ["f"] if count == 1 else [f"f{k + 1}" for k in range(count)]


def _figure(plt, ax, size=(7, 4.5)):
    """The figure of the axes given, or a new figure of that size with its axes."""
    if ax is None:
        return plt.subplots(figsize=size)
    return ax.figure, ax


def _last_evaluation(result, nfev):
    """The evaluation count the plot runs to: the run's, or the history's last."""
    end = float(result.get("nfev", nfev[-1] if len(nfev) else 0))
    if len(nfev):
        end = max(end, float(nfev[-1]))
    return end


def _infeasible_stretches(nfev, residual, end):
    """The ranges of evaluations over which the best point was infeasible."""
    stretches = []
    start = None
    for i, r in enumerate(residual):
        if r > 0 and start is None:
            start = nfev[i]
        elif not r > 0 and start is not None:
            stretches.append((start, nfev[i]))
            start = None
    if start is not None:
        stretches.append((start, end))
    return stretches


def convergence(result, ax=None):
    """The best feasible f (with several objectives the compromise value)
    against the evaluations, as a step line with a marker at each
    improvement; a logarithmic f axis when the values are positive and span
    two decades or more; the stretches where the best point was infeasible
    shaded. With several objectives the front size is drawn on a second
    axis. Returns the figure."""
    plt = _pyplot()
    history = result["history"]
    if "fun" not in history and "front_size" in history:
        return _front_size(result, ax)
    nfev = np.asarray(history["nfev"], dtype=float)
    fun = np.asarray(history["fun"], dtype=float)
    residual = np.asarray(history["residual"], dtype=float)
    several = "front_size" in history
    fig, ax = _figure(plt, ax)
    end = _last_evaluation(result, nfev)

    feasible = ~(residual > 0)
    fx, fy = nfev[feasible], fun[feasible]
    label = "compromise value" if several else "best feasible f"
    if len(fx):
        ax.step(np.append(fx, end), np.append(fy, fy[-1]), where="post", color="C0",
                label="_" + label)
        ax.plot(fx, fy, "o", color="C0", markersize=2.5, label=label)
        finite = fy[np.isfinite(fy)]
        if len(finite) and finite.min() > 0 and finite.max() >= 100 * finite.min():
            ax.set_yscale("log")
    for k, (a, b) in enumerate(_infeasible_stretches(nfev, residual, end)):
        ax.axvspan(a, b, color="C3", alpha=0.15, label="infeasible" if k == 0 else "_infeasible")
    ax.set_xlabel("evaluations")
    ax.set_ylabel(label)
    ax.set_title("Convergence")
    ax.grid(True, alpha=0.3)
    if several and len(nfev):
        twin = ax.twinx()
        size = np.asarray(history["front_size"], dtype=float)
        twin.step(np.append(nfev, end), np.append(size, size[-1]), where="post", color="C2",
                  alpha=0.6, label="front size")
        twin.set_ylabel("front size")
        lines = ax.get_legend_handles_labels()
        more = twin.get_legend_handles_labels()
        ax.legend(lines[0] + more[0], lines[1] + more[1], loc="upper right")
    else:
        ax.legend(loc="upper right")
    fig.tight_layout()
    return fig


def _front_size(result, ax):
    """The convergence of a run with several objectives whose compromise
    values are not known (an evaluation store): the size of the front of
    the feasible evaluations against the evaluations."""
    plt = _pyplot()
    history = result["history"]
    nfev = np.asarray(history["nfev"], dtype=float)
    size = np.asarray(history["front_size"], dtype=float)
    fig, ax = _figure(plt, ax)
    end = _last_evaluation(result, nfev)
    if len(nfev):
        ax.step(np.append(nfev, end), np.append(size, size[-1]), where="post", color="C2",
                label="front size")
    ax.set_xlabel("evaluations")
    ax.set_ylabel("front size")
    ax.set_title("Convergence")
    ax.grid(True, alpha=0.3)
    ax.legend(loc="lower right")
    fig.tight_layout()
    return fig


def front(result, ax=None):
    """The Pareto front: with two objectives a scatter, with three a 3-D
    scatter, with more parallel coordinates (each objective scaled to 0 .. 1
    over the front). The compromise point (result["fun"]) is marked, when
    known. Returns the figure."""
    plt = _pyplot()
    pf = np.atleast_2d(np.asarray(result["pareto_fun"], dtype=float))
    o = pf.shape[1]
    if o < 2:
        raise ValueError("kestro.plot.front needs a run with several objectives")
    best = result.get("fun")
    best = None if best is None else np.asarray(best, dtype=float).reshape(-1)
    names = _objective_names(result, o)
    title = f"Pareto front ({len(pf)} points)"
    if o == 2:
        fig, ax = _figure(plt, ax, (6, 5))
        ax.scatter(pf[:, 0], pf[:, 1], s=12, color="C0", label="front")
        if best is not None:
            ax.scatter([best[0]], [best[1]], s=220, marker="*", color="C3", edgecolors="black",
                       linewidths=0.6, zorder=3, label="compromise")
        ax.set_xlabel(names[0])
        ax.set_ylabel(names[1])
        ax.grid(True, alpha=0.3)
    elif o == 3:
        if ax is None:
            fig = plt.figure(figsize=(6.5, 5.5))
            # Drawn in the order given, so the compromise stays on top.
            ax = fig.add_subplot(projection="3d", computed_zorder=False)
        else:
            fig = ax.figure
        ax.scatter(pf[:, 0], pf[:, 1], pf[:, 2], s=8, color="C0", alpha=0.6, label="front")
        if best is not None:
            ax.scatter([best[0]], [best[1]], [best[2]], s=260, marker="*", color="C3",
                       edgecolors="black", linewidths=0.6, depthshade=False, zorder=10,
                       label="compromise")
        ax.set_xlabel(names[0])
        ax.set_ylabel(names[1])
        ax.set_zlabel(names[2])
    else:
        fig, ax = _figure(plt, ax, (1.2 * o + 3, 4.5))
        low, high = pf.min(axis=0), pf.max(axis=0)
        span = np.where(high > low, high - low, 1.0)
        scaled = (pf - low) / span
        axis = np.arange(o)
        for j, row in enumerate(scaled):
            ax.plot(axis, row, color="C0", alpha=0.25, linewidth=0.7,
                    label="front" if j == 0 else "_front")
        if best is not None:
            ax.plot(axis, (best - low) / span, color="C3", linewidth=2.5, marker="o",
                    label="compromise")
        ax.set_xticks(axis)
        ax.set_xticklabels(names)
        ax.set_xlabel("objective")
        ax.set_ylabel("scaled value (0: best on the front)")
        ax.grid(True, axis="x", alpha=0.5)
    ax.set_title(title)
    ax.legend(loc="best")
    fig.tight_layout()
    return fig


def _read_csv(path):
    with open(path, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f))
    if not rows:
        raise ValueError(f"{path}: empty, a header row was expected")
    return rows[0], [[float(v) for v in row] for row in rows[1:] if row]


def read_run(directory):
    """The results kestro-run wrote to `directory` (kestro_best.csv,
    kestro_history.csv and with several objectives kestro_front.csv) in the
    plain shape the plot functions take: "fun", "constr", "x", "residual",
    "feasible", "nfev", "history" and, with several objectives,
    "pareto_fun", "pareto_constr", "pareto_x"; also "objective_names" and
    "variable_names"."""
    header, rows = _read_csv(os.path.join(directory, BEST_FILE))
    if len(rows) != 1 or "residual" not in header:
        raise ValueError(f"{os.path.join(directory, BEST_FILE)}: not a file of kestro-run")
    o = 0
    while o < len(header) and (header[o] == "f" or (header[o][:1] == "f" and header[o][1:].isdigit())):
        o += 1
    m = header.index("residual") - o
    best = rows[0]
    run = {
        "fun": best[0] if o == 1 else np.array(best[:o]),
        "constr": np.array(best[o:o + m]),
        "residual": best[o + m],
        "feasible": best[o + m + 1] == 1,
        "nfev": int(best[o + m + 2]),
        "x": np.array(best[o + m + 3:]),
        "objective_names": header[:o],
        "variable_names": header[o + m + 3:],
    }
    hheader, hrows = _read_csv(os.path.join(directory, HISTORY_FILE))
    columns = {name: [row[k] for row in hrows] for k, name in enumerate(hheader)}
    history = {
        "nfev": np.array(columns["evaluations"], dtype=np.int64),
        "fun": np.array(columns["compromise" if o > 1 else "f"]),
        "residual": np.array(columns["residual"]),
    }
    if o > 1:
        history["front_size"] = np.array(columns["front_size"], dtype=np.int64)
    run["history"] = history
    if o > 1:
        _, frows = _read_csv(os.path.join(directory, FRONT_FILE))
        table = np.array(frows, dtype=float).reshape(len(frows), -1)
        run["pareto_fun"] = table[:, :o]
        run["pareto_constr"] = table[:, o:o + m]
        run["pareto_x"] = table[:, o + m:]
    return run


# The first 16 bytes of every SQLite database file.
_SQLITE_HEADER = b"SQLite format 3\x00"


def is_store(path):
    """True when `path` is a file that starts as an SQLite database does
    (an evaluation store; kestro.store checks that it is a Kestro one)."""
    try:
        with open(path, "rb") as f:
            return f.read(len(_SQLITE_HEADER)) == _SQLITE_HEADER
    except (IsADirectoryError, FileNotFoundError, NotADirectoryError):
        return False


def read(path, run=None):
    """The run to plot from `path`: a kestro-run output directory (its CSV
    files, see read_run) or an evaluation store (an SQLite file, see
    kestro.store.read_run; `run` picks one of its runs, the last by
    default)."""
    if is_store(path):
        from . import store
        return store.read_run(path, run)
    if run is not None:
        raise ValueError("a run number is for an evaluation store; "
                         f"{path} is not an SQLite file")
    if not os.path.isdir(path):
        raise ValueError("neither a kestro-run output directory nor an evaluation store "
                         "(SQLite file)")
    return read_run(path)


def save_plots(directory, output=None, run=None):
    """Writes kestro_convergence.png and, with several objectives,
    kestro_front.png from the results in `directory` (or from the
    evaluation store file `directory`, its run `run`) to `output` (default:
    the same directory, or the store's). Returns the paths written."""
    try:
        import matplotlib
    except ImportError:
        _pyplot()  # raises with what to install
    matplotlib.use("Agg")
    plt = _pyplot()
    if output is None:
        output = (os.path.dirname(directory) or ".") if is_store(directory) else directory
    run = read(directory, run)
    written = []
    fig = convergence(run)
    path = os.path.join(output, CONVERGENCE_PNG)
    fig.savefig(path, dpi=110)
    plt.close(fig)
    written.append(path)
    if "pareto_fun" in run and len(run["pareto_fun"]):
        fig = front(run)
        path = os.path.join(output, FRONT_PNG)
        fig.savefig(path, dpi=110)
        plt.close(fig)
        written.append(path)
    return written


def main(argv=None):
    import argparse
    parser = argparse.ArgumentParser(
        prog="python3 -m kestro.plot",
        description="Writes PNG plots (convergence, Pareto front) from the result files of a "
                    "kestro-run output directory, or from an evaluation store (SQLite file).")
    parser.add_argument("directory", metavar="DIRECTORY|STORE",
                        help="where kestro-run wrote kestro_best.csv and the others, or an "
                             "evaluation store such as kestro-run.sqlite")
    parser.add_argument("-o", "--output",
                        help="directory for the PNG files (default: DIRECTORY, or the store's)")
    parser.add_argument("--run", type=int,
                        help="with a store: the id of the run to plot (default: the last)")
    args = parser.parse_args(argv)
    from .store import StoreError
    try:
        for path in save_plots(args.directory, args.output, args.run):
            print(path)
    except ImportError as e:
        print(f"kestro.plot: {e}", file=sys.stderr)
        return 1
    except (OSError, ValueError, KeyError, StoreError) as e:
        print(f"kestro.plot: cannot plot the run in {args.directory}: {e}", file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
