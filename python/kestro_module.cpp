// The compiled part of the Python package `kestro` (kestro._core): kestro.minimize, kestro.Solver (ask/tell) and
// the result object, over the C++ API of kestro.hpp.
//
// The user's function is Python, so it is always called on the thread that
// called minimize (Options::threads is not offered); a block of L points is
// handed over either point by point or, with vectorized=True, as one (L, N)
// array. Every array coming from Python is checked for its shape before any
// value reaches the library.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/eval.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kestro.hpp"

namespace py = pybind11;

namespace {

using Array = py::array_t<double, py::array::c_style | py::array::forcecast>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A kestro::Error as a ValueError whose text carries the IFLAG meaning.
[[noreturn]] void raise_value_error(const kestro::Error& e) {
  std::string text = e.what();
  if (e.iflag() != 0) text += ": " + kestro::iflag_text(e.iflag());
  throw py::value_error(text);
}

// The number of variables, counts and options of a call, as Python gave them.
struct Setup {
  kestro::Problem problem;
  kestro::Options options;
};

int as_count(const py::handle& value, const char* name) {
  if (value.is_none()) return 0;
  if (!py::isinstance<py::int_>(value) || py::isinstance<py::bool_>(value))
    throw py::type_error(std::string(name) + " must be an int");
  const long long v = value.cast<long long>();
  if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
    throw py::value_error(std::string(name) + " = " + std::to_string(v) + " is out of range");
  return static_cast<int>(v);
}

std::vector<double> as_vector(const py::handle& value, const char* name, std::size_t n) {
  Array a = Array::ensure(value);
  if (!a) throw py::type_error(std::string(name) + " must be an array of floats");
  if (a.ndim() != 1 || std::size_t(a.shape(0)) != n)
    throw py::value_error(std::string(name) + " must have shape (" + std::to_string(n) + ",)");
  return std::vector<double>(a.data(), a.data() + n);
}

Setup make_setup(const py::handle& bounds, int integers, const py::handle& constraints, int n_eq,
                 int n_obj, const py::handle& x0, const py::kwargs& kw) {
  Setup s;
  Array b = Array::ensure(bounds);
  if (!b) throw py::type_error("bounds must be an array of (lower, upper) pairs");
  if (b.ndim() != 2 || b.shape(1) != 2)
    throw py::value_error("bounds must have shape (N, 2): one (lower, upper) pair per variable");
  const std::size_t n = std::size_t(b.shape(0));
  auto r = b.unchecked<2>();
  for (std::size_t i = 0; i < n; ++i) {
    s.problem.lower.push_back(r(i, 0));
    s.problem.upper.push_back(r(i, 1));
  }
  s.problem.integers = integers;
  s.problem.constraints = as_count(constraints, "constraints");
  s.problem.equalities = n_eq;
  s.problem.objectives = n_obj;
  if (!x0.is_none()) s.problem.start = as_vector(x0, "x0", n);

  kestro::Options& o = s.options;
  struct Real { const char* name; double* field; };
  struct Whole { const char* name; int* field; };
  const Real reals[] = {{"accuracy", &o.accuracy}, {"seed", &o.seed},       {"fstop", &o.fstop},
                        {"algostop", &o.algostop}, {"evalstop", &o.evalstop}, {"focus", &o.focus},
                        {"ants", &o.ants},         {"kernel", &o.kernel},   {"oracle", &o.oracle},
                        {"paretomax", &o.paretomax}, {"epsilon", &o.epsilon},
                        {"balance", &o.balance},   {"character", &o.character}};
  const Whole wholes[] = {{"block_size", &o.block_size}, {"printeval", &o.printeval},
                          {"save2file", &o.save2file},   {"maxeval", &o.maxeval},
                          {"maxtime", &o.maxtime}};
  std::size_t used = 0;
  for (const Real& f : reals)
    if (kw.contains(f.name)) {
      py::object v = kw[f.name];
      if (!py::isinstance<py::float_>(v) && !py::isinstance<py::int_>(v))
        throw py::type_error(std::string(f.name) + " must be a number");
      *f.field = v.cast<double>(), ++used;
    }
  for (const Whole& f : wholes)
    if (kw.contains(f.name)) *f.field = as_count(kw[f.name], f.name), ++used;
  if (used != kw.size()) {
    for (auto item : kw) {
      const std::string key = py::str(item.first);
      bool known = false;
      for (const Real& f : reals) known = known || key == f.name;
      for (const Whole& f : wholes) known = known || key == f.name;
      if (!known) throw py::type_error("unknown option '" + key + "'");
    }
  }
  return s;
}

// The result object: a dict whose keys read as attributes.
py::object make_result(const kestro::Result& r, int o, int m, int n, bool interrupted) {
  py::object cls = py::module_::import("kestro._core").attr("OptimizeResult");
  py::dict d;
  d["x"] = Array(py::ssize_t(r.x.size()), r.x.data());
  if (o == 1) d["fun"] = r.f.at(0);
  else d["fun"] = Array(py::ssize_t(r.f.size()), r.f.data());
  d["constr"] = Array(py::ssize_t(r.g.size()), r.g.data());
  d["residual"] = r.residual;
  d["feasible"] = r.feasible;
  d["status"] = r.iflag;
  d["success"] = r.iflag >= 0 && r.iflag < 100 && r.feasible;
  d["message"] = r.message;
  d["warning"] = r.warning;
  d["nfev"] = r.evaluations;
  d["nfail"] = r.failed_evaluations;
  d["nexc"] = r.exceptions;
  d["first_exception"] = r.first_exception;
  d["interrupted"] = interrupted;
  if (o > 1) {
    const py::ssize_t p = py::ssize_t(r.pareto_front.size());
    Array pf({p, py::ssize_t(o)}), pg({p, py::ssize_t(m)}), px({p, py::ssize_t(n)});
    auto wf = pf.mutable_unchecked<2>(); auto wg = pg.mutable_unchecked<2>();
    auto wx = px.mutable_unchecked<2>();
    for (py::ssize_t j = 0; j < p; ++j) {
      const kestro::ParetoPoint& e = r.pareto_front[std::size_t(j)];
      for (int k = 0; k < o; ++k) wf(j, k) = e.f[std::size_t(k)];
      for (int k = 0; k < m; ++k) wg(j, k) = e.g[std::size_t(k)];
      for (int k = 0; k < n; ++k) wx(j, k) = e.x[std::size_t(k)];
    }
    d["pareto_fun"] = pf;
    d["pareto_constr"] = pg;
    d["pareto_x"] = px;
  }
  return cls(d);
}

// Copies `value` (a Python return value) into `out` of `count` doubles per
// row for `rows` rows; a scalar is accepted for one value. Throws ValueError
// when the shape does not match.
void copy_values(const py::handle& value, double* out, py::ssize_t rows, py::ssize_t count,
                 const char* what, bool block) {
  Array a = Array::ensure(value);
  if (!a) throw py::value_error(std::string(what) + " is not an array of floats");
  const bool ok = !block
                      ? (a.size() == count && a.ndim() <= 1)
                      : ((a.ndim() == 2 && a.shape(0) == rows && a.shape(1) == count) ||
                         (count == 1 && a.ndim() == 1 && a.shape(0) == rows) ||
                         (count == 0 && a.size() == 0));
  if (!ok)
    throw py::value_error(std::string(what) + " has " + std::to_string(a.size()) +
                          " values of shape " + std::string(py::str(py::tuple(
                              py::cast(std::vector<py::ssize_t>(a.shape(), a.shape() + a.ndim()))))) +
                          ", expected " + std::to_string(rows * count));
  std::copy(a.data(), a.data() + rows * count, out);
}

// Splits the return of the user's function into objectives and constraints.
void take_return(const py::object& ret, int m, double* f, double* g, py::ssize_t rows, int o,
                 bool block) {
  const char* fw = block ? "block objectives" : "objectives";
  const char* gw = block ? "block constraints" : "constraints";
  if (m == 0) {
    // The objectives alone, or a pair (f, g) with an empty g.
    const bool pair = py::isinstance<py::tuple>(ret) && py::len(ret) == 2 &&
                      Array::ensure(py::tuple(ret)[1]) && Array::ensure(py::tuple(ret)[1]).size() == 0;
    copy_values(pair ? py::object(py::tuple(ret)[0]) : ret, f, rows, o, fw, block);
    return;
  }
  if (!py::isinstance<py::tuple>(ret) || py::len(ret) != 2)
    throw py::value_error("with constraints, fun must return a pair (objectives, constraints)");
  py::tuple t = ret;
  copy_values(t[0], f, rows, o, fw, block);
  copy_values(t[1], g, rows, m, gw, block);
}

// A file name from str, bytes or os.PathLike; empty for None.
std::string as_path(const py::handle& value) {
  if (value.is_none()) return {};
  py::object path = py::module_::import("os").attr("fsdecode")(value);
  return path.cast<std::string>();
}

bool file_exists(const std::string& path) {
  return py::module_::import("os").attr("path").attr("exists")(path).cast<bool>();
}

// A Solver for the setup: resumed from `checkpoint` when it is given, else a
// new run. Refused input raises ValueError, a refused checkpoint
// kestro.CheckpointError.
template <class Make>
void start_solver(const Setup& s, const std::string& checkpoint, Make make) {
  try {
    if (checkpoint.empty()) make(s.problem, s.options);
    else make(s.problem, s.options, checkpoint);
  } catch (const kestro::Error& e) {
    if (e.iflag() == 0 && std::string(e.what()).find("another") != std::string::npos)
      throw std::runtime_error(e.what());
    raise_value_error(e);
  }
}

struct PySolver {
  PySolver(py::handle bounds, int integers, py::handle constraints, int n_eq, int n_obj,
           py::handle x0, py::handle resume, py::kwargs kw) {
    Setup s = make_setup(bounds, integers, constraints, n_eq, n_obj, x0, kw);
    try {
      start_solver(s, as_path(resume),
                   [&](auto&&... a) { solver = std::make_unique<kestro::Solver>(a...); });
    } catch (const kestro::Error& e) {
      if (e.iflag() == 0 && std::string(e.what()).find("another") != std::string::npos)
        throw std::runtime_error(e.what());
      raise_value_error(e);
    }
  }
  kestro::Solver& get() const {
    if (!solver) throw std::runtime_error("kestro.Solver is closed");
    return *solver;
  }
  Array ask() const {
    const kestro::Solver& s = get();
    std::span<const double> x = s.ask();
    Array a({py::ssize_t(s.block_size()), py::ssize_t(s.variables())});
    std::copy(x.begin(), x.end(), a.mutable_data());
    return a;
  }
  void tell(py::handle f, py::handle g) {
    kestro::Solver& s = get();
    if (s.done()) throw std::runtime_error("kestro.Solver.tell after the run has ended");
    const int l = s.block_size(), o = s.objectives(), m = s.constraints();
    std::vector<double> fv(std::size_t(l) * o), gv(std::size_t(l) * m);
    copy_values(f, fv.data(), l, o, "block objectives", true);
    if (m > 0 && g.is_none()) throw py::value_error("tell needs the constraint values G");
    if (!g.is_none()) copy_values(g, gv.data(), l, m, "block constraints", true);
    s.tell(fv, gv);
  }
  std::unique_ptr<kestro::Solver> solver;
};

py::object minimize(py::function fun, py::handle bounds, int integers, py::handle constraints,
                    int n_eq, int n_obj, py::handle x0, bool vectorized, py::handle checkpoint_arg,
                    long long checkpoint_every, py::object store, py::kwargs kw) {
  Setup s = make_setup(bounds, integers, constraints, n_eq, n_obj, x0, kw);
  const std::string checkpoint = as_path(checkpoint_arg);
  if (checkpoint_every < 1) throw py::value_error("checkpoint_every must be at least 1");
  std::optional<kestro::Solver> solver;
  const bool resuming = !checkpoint.empty() && file_exists(checkpoint);
  start_solver(s, resuming ? checkpoint : std::string(), [&](auto&&... a) { solver.emplace(a...); });
  kestro::Solver& sv = *solver;
  // The evaluation store (kestro/store.py): told of the run, asked for the
  // cached points of each block and given each evaluated block.
  const bool recording = !store.is_none();
  if (recording) store.attr("begin")(sv.evaluations(), resuming, sv.block_size());
  long long saved_at = sv.evaluations();
  // A save that fails is a warning: the run goes on.
  auto save = [&] {
    try {
      sv.save(checkpoint);
      saved_at = sv.evaluations();
    } catch (const kestro::CheckpointError& e) {
      if (PyErr_WarnEx(PyExc_RuntimeWarning, e.what(), 1) != 0) throw py::error_already_set();
    }
  };
  const int l = sv.block_size(), n = sv.variables(), o = sv.objectives(), m = sv.constraints();
  std::vector<double> f(std::size_t(l) * o), g(std::size_t(l) * m);
  long long exceptions = 0;
  std::string first_exception;
  bool interrupted = false;
  // An exception's text without the traceback pybind11 appends.
  auto reason = [](py::error_already_set& e) {
    const std::string what = e.what();
    return what.substr(0, what.find("\n\nAt:"));
  };
  auto failed = [&](double* fo, double* go, py::ssize_t rows, py::error_already_set& e) {
    std::fill(fo, fo + rows * o, kNaN);
    std::fill(go, go + rows * m, kNaN);
    if (exceptions++ == 0) first_exception = e.what();
  };
  // Per point of a block, for the store: served from the cache, why it
  // failed (None when it did not) and its wall time (None: not measured).
  std::vector<char> hit(std::size_t(l), 0);
  py::list why(l), seconds(l);
  using wall = std::chrono::steady_clock;
  while (!sv.done()) {
    std::span<const double> x = sv.ask();
    Array block({py::ssize_t(l), py::ssize_t(n)});
    std::copy(x.begin(), x.end(), block.mutable_data());
    std::fill(hit.begin(), hit.end(), 0);
    for (int i = 0; i < l; ++i) why[i] = py::none(), seconds[i] = py::none();
    if (recording && !interrupted) {
      // (hits, F, G, reasons) for the points of the block already evaluated.
      py::tuple cached = store.attr("lookup")(block);
      py::list hits = cached[0], reasons = cached[3];
      Array cf = Array::ensure(cached[1]), cg = Array::ensure(cached[2]);
      for (int i = 0; i < l; ++i)
        if (py::cast<bool>(hits[i])) {
          hit[std::size_t(i)] = 1;
          std::copy_n(cf.data() + std::size_t(i) * o, o, f.data() + std::size_t(i) * o);
          std::copy_n(cg.data() + std::size_t(i) * m, m, g.data() + std::size_t(i) * m);
          why[i] = reasons[i];
          seconds[i] = 0.0;
        }
    }
    const int misses = int(std::count(hit.begin(), hit.end(), 0));
    if (interrupted) {
      // The last block after an interrupt is not evaluated: it is marked as
      // failed, so that the result is the best point evaluated before.
      std::fill(f.begin(), f.end(), kNaN);
      std::fill(g.begin(), g.end(), kNaN);
      for (int i = 0; i < l; ++i) why[i] = "interrupted";
    } else if (vectorized && misses > 0) {
      // The points not served from the cache, as one block.
      Array xa({py::ssize_t(misses), py::ssize_t(n)});
      std::vector<double> fm(std::size_t(misses) * o), gm(std::size_t(misses) * m);
      for (int i = 0, k = 0; i < l; ++i)
        if (!hit[std::size_t(i)])
          std::copy_n(x.begin() + std::size_t(i) * n, n, xa.mutable_data() + std::size_t(k++) * n);
      try {
        take_return(fun(xa), m, fm.data(), gm.data(), misses, o, true);
      } catch (py::error_already_set& e) {
        if (e.matches(PyExc_KeyboardInterrupt)) {
          interrupted = true;
          std::fill(fm.begin(), fm.end(), kNaN);
          std::fill(gm.begin(), gm.end(), kNaN);
          for (int i = 0; i < l; ++i)
            if (!hit[std::size_t(i)]) why[i] = "interrupted";
        } else {
          failed(fm.data(), gm.data(), misses, e);
          for (int i = 0; i < l; ++i)
            if (!hit[std::size_t(i)]) why[i] = reason(e);
        }
      }
      for (int i = 0, k = 0; i < l; ++i, ++k) {
        while (i < l && hit[std::size_t(i)]) ++i;
        if (i == l) break;
        std::copy_n(fm.data() + std::size_t(k) * o, o, f.data() + std::size_t(i) * o);
        std::copy_n(gm.data() + std::size_t(k) * m, m, g.data() + std::size_t(i) * m);
      }
    } else if (!vectorized) {
      for (int i = 0; i < l; ++i) {
        double* fi = f.data() + std::size_t(i) * o;
        double* gi = g.data() + std::size_t(i) * m;
        if (hit[std::size_t(i)]) continue;
        if (interrupted) {
          std::fill(fi, fi + o, kNaN);
          std::fill(gi, gi + m, kNaN);
          why[i] = "interrupted";
          continue;
        }
        Array xa{py::ssize_t(n)};
        std::copy(x.begin() + std::size_t(i) * n, x.begin() + std::size_t(i + 1) * n,
                  xa.mutable_data());
        const auto start = wall::now();
        try {
          take_return(fun(xa), m, fi, gi, 1, o, false);
        } catch (py::error_already_set& e) {
          if (e.matches(PyExc_KeyboardInterrupt)) {
            interrupted = true;
            std::fill(fi, fi + o, kNaN);
            std::fill(gi, gi + m, kNaN);
            why[i] = "interrupted";
          } else {
            failed(fi, gi, 1, e);
            why[i] = reason(e);
          }
        }
        seconds[i] = std::chrono::duration<double>(wall::now() - start).count();
      }
    }
    if (!interrupted && PyErr_CheckSignals() != 0) {
      // Ctrl-C between two calls of fun.
      PyErr_Clear();
      interrupted = true;
    }
    if (interrupted && !checkpoint.empty()) {
      // The run is saved as it stood before this block, which the resumed
      // run evaluates again; the interrupt goes on to the caller.
      save();
      PyErr_SetNone(PyExc_KeyboardInterrupt);
      throw py::error_already_set();
    }
    if (interrupted) sv.stop();
    if (recording) {
      Array fa({py::ssize_t(l), py::ssize_t(o)}), ga({py::ssize_t(l), py::ssize_t(m)});
      std::copy(f.begin(), f.end(), fa.mutable_data());
      std::copy(g.begin(), g.end(), ga.mutable_data());
      py::list cached(l);
      for (int i = 0; i < l; ++i) cached[i] = bool(hit[std::size_t(i)]);
      store.attr("write_block")(sv.evaluations(), block, fa, ga, why, seconds, cached);
    }
    sv.tell(f, g);
    if (!checkpoint.empty() && (sv.done() || sv.evaluations() - saved_at >= checkpoint_every))
      save();
  }
  kestro::Result r = sv.result();
  r.exceptions = exceptions;
  r.first_exception = first_exception;
  py::object result = make_result(r, o, m, n, interrupted);
  if (recording) store.attr("end")(result);
  return result;
}

}  // namespace

PYBIND11_MODULE(_core, mod) {
  mod.doc() = "Derivative-free optimisation of mixed-integer, constrained, single- and "
              "multi-objective black-box problems.";
  py::exec(R"(
class OptimizeResult(dict):
    """The outcome of a run; the keys read as attributes."""
    def __getattr__(self, name):
        try:
            return self[name]
        except KeyError:
            raise AttributeError(name) from None
    __setattr__ = dict.__setitem__
    __delattr__ = dict.__delitem__
    def __repr__(self):
        width = max(map(len, self)) if self else 0
        return "\n".join(k.rjust(width) + ": " + repr(v) for k, v in self.items())
    def __dir__(self):
        return list(self)
)", mod.attr("__dict__"));
  mod.attr("OptimizeResult").attr("__module__") = "kestro";

  py::register_exception<kestro::CheckpointError>(mod, "CheckpointError", PyExc_RuntimeError);
  mod.attr("CheckpointError").attr("__module__") = "kestro";

  mod.def("iflag_text", &kestro::iflag_text, py::arg("iflag"),
          "The meaning of an IFLAG value in words.");

  mod.def("minimize", &minimize, py::arg("fun"), py::arg("bounds"), py::kw_only(),
          py::arg("integers") = 0, py::arg("constraints") = py::none(), py::arg("n_eq") = 0,
          py::arg("n_obj") = 1, py::arg("x0") = py::none(), py::arg("vectorized") = false,
          py::arg("checkpoint") = py::none(), py::arg("checkpoint_every") = 100,
          py::arg("_store") = py::none(),
          R"(Minimises fun over the box `bounds` (shape (N, 2)).

The last `integers` variables are whole numbers. `constraints` is the number
M of constraints g(x) (the first `n_eq` of them equalities g = 0, the rest
g >= 0); with M > 0, fun returns a pair (f, g). `n_obj` is the number of
objectives O. Per point, fun(x) gets x of shape (N,) and returns O values;
with vectorized=True, fun(X) gets the whole block X of shape (L, N) and
returns (L, O) objectives and (L, M) constraints. An exception raised by fun
marks its points as failed (counted in nfail and nexc); KeyboardInterrupt ends
the run with the best point evaluated so far (interrupted=True).

Options: accuracy, seed, fstop, algostop, evalstop, focus, ants, kernel,
oracle, paretomax, epsilon, balance, character, block_size, printeval,
save2file, maxeval, maxtime. A problem or options the library refuses raise
ValueError with the IFLAG code and its meaning.

checkpoint: a file name. When the file exists the run saved in it is resumed
(same problem and options; the result is that of the run never stopped);
otherwise a new run starts. The run is saved to it every `checkpoint_every`
evaluations and at the end; on KeyboardInterrupt it is saved as it stood
before the interrupted block and the KeyboardInterrupt is raised again. A
save that fails gives a RuntimeWarning and the run goes on. A file that
cannot be resumed (truncated, corrupted, other sizes) raises
kestro.CheckpointError.)");

  py::class_<PySolver>(mod, "Solver", "A run by blocks: ask() for the points, tell() their values.")
      .def(py::init<py::handle, int, py::handle, int, int, py::handle, py::handle, py::kwargs>(),
           py::arg("bounds"), py::kw_only(), py::arg("integers") = 0,
           py::arg("constraints") = py::none(), py::arg("n_eq") = 0, py::arg("n_obj") = 1,
           py::arg("x0") = py::none(), py::arg("resume") = py::none(),
           "With resume=PATH, continues the run saved by save() (same problem and options);\n"
           "a file that cannot be resumed raises kestro.CheckpointError.")
      .def("save", [](const PySolver& s, py::handle path) { s.get().save(as_path(path)); },
           py::arg("path"),
           "Saves the run to a checkpoint file between tell() and the next ask();\n"
           "kestro.Solver(..., resume=path) continues it, in this or another process.")
      .def("ask", &PySolver::ask, "The points of the current block, shape (L, N).")
      .def("tell", &PySolver::tell, py::arg("f"), py::arg("g") = py::none(),
           "Hands back the (L, O) objectives and (L, M) constraints of the block from ask().")
      .def("stop", [](PySolver& s) { s.get().stop(); }, "Asks the run to end after the next tell.")
      .def_property_readonly("done", [](const PySolver& s) { return s.get().done(); })
      .def_property_readonly("status", [](const PySolver& s) { return s.get().iflag(); })
      .def_property_readonly("nfev", [](const PySolver& s) { return s.get().evaluations(); })
      .def_property_readonly("block_size", [](const PySolver& s) { return s.get().block_size(); })
      .def("result", [](const PySolver& s) {
             const kestro::Solver& sv = s.get();
             if (!sv.done()) throw std::runtime_error("kestro.Solver.result before the run has ended");
             return make_result(sv.result(), sv.objectives(), sv.constraints(), sv.variables(), false);
           })
      .def("close", [](PySolver& s) { s.solver.reset(); },
           "Ends the solver now, so that another one can start.")
      .def("__enter__", [](py::object self) { return self; })
      .def("__exit__", [](PySolver& s, py::args) { s.solver.reset(); });
}
