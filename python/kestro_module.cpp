// The compiled part of the Python package `kestro` (kestro._core): kestro.minimize, kestro.Solver
// (ask/tell) and the result object, over the C++ API of kestro.hpp.
//
// The user's function is Python, so it is called under the GIL, on the thread
// that called minimize (Options::threads is not offered); a block of L points
// is handed over either point by point or, with vectorized=True, as one
// (L, N) array. Every array coming from Python is checked for its shape
// before any value reaches the library. The library's own work runs without
// the GIL, so that runs in several Python threads go on side by side; with
// runs=K the K runs are made on threads of their own, each calling the
// function under the GIL.
#include <pybind11/eval.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
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
  bool block_given = false;  // block_size was a keyword
};

// A file name from str, bytes or os.PathLike; empty for None.
std::string as_path(const py::handle& value) {
  if (value.is_none()) return {};
  py::object path = py::module_::import("os").attr("fsdecode")(value);
  return path.cast<std::string>();
}

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

// The options of the front ends that are not PARAM entries nor counts.
bool is_front_end_option(const std::string& key) {
  return key == "maxwalltime" || key == "fail_fast";
}

std::size_t take_front_end_options(Setup& s, const py::kwargs& kw) {
  std::size_t used = 0;
  if (kw.contains("maxwalltime")) {
    py::object v = kw["maxwalltime"];
    if (!py::isinstance<py::float_>(v) && !py::isinstance<py::int_>(v))
      throw py::type_error("maxwalltime must be a number of seconds");
    s.options.maxwalltime = v.cast<double>(), ++used;
    if (!(s.options.maxwalltime >= 0))
      throw py::value_error("maxwalltime must be 0 (no limit) or a positive number of seconds");
  }
  if (kw.contains("fail_fast")) {
    py::object v = kw["fail_fast"];
    if (!py::isinstance<py::bool_>(v)) throw py::type_error("fail_fast must be True or False");
    s.options.fail_fast = v.cast<bool>(), ++used;
  }
  return used;
}

// `runs`: whether the keyword runs is taken (minimize) or refused (Solver).
Setup make_setup(const py::handle& bounds, int integers, const py::handle& constraints, int n_eq,
                 int n_obj, const py::handle& x0, const py::kwargs& kw, bool runs = false) {
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
  struct Real {
    const char* name;
    double* field;
  };
  struct Whole {
    const char* name;
    int* field;
  };
  const Real reals[] = {
      {"accuracy", &o.accuracy},   {"seed", &o.seed},         {"fstop", &o.fstop},
      {"algostop", &o.algostop},   {"evalstop", &o.evalstop}, {"focus", &o.focus},
      {"ants", &o.ants},           {"kernel", &o.kernel},     {"oracle", &o.oracle},
      {"paretomax", &o.paretomax}, {"epsilon", &o.epsilon},   {"balance", &o.balance},
      {"character", &o.character}};
  const Whole wholes[] = {{"block_size", &o.block_size}, {"printeval", &o.printeval},
                          {"save2file", &o.save2file},   {"maxeval", &o.maxeval},
                          {"maxtime", &o.maxtime},       {"runs", &o.runs}};
  struct Text {
    const char* name;
    std::string* field;
  };
  const Text texts[] = {{"output_dir", &o.output_dir}, {"output_prefix", &o.output_prefix}};
  if (!runs && kw.contains("runs"))
    throw py::type_error("runs is an option of kestro.minimize; a Solver is one run");
  std::size_t used = take_front_end_options(s, kw);
  for (const Real& f : reals)
    if (kw.contains(f.name)) {
      py::object v = kw[f.name];
      if (!py::isinstance<py::float_>(v) && !py::isinstance<py::int_>(v))
        throw py::type_error(std::string(f.name) + " must be a number");
      *f.field = v.cast<double>(), ++used;
      if (std::isnan(*f.field)) throw py::value_error(std::string(f.name) + " is NaN");
    }
  for (const Whole& f : wholes)
    if (kw.contains(f.name)) *f.field = as_count(kw[f.name], f.name), ++used;
  for (const Text& f : texts)
    if (kw.contains(f.name)) {
      py::object v = kw[f.name];
      if (!v.is_none() && !py::isinstance<py::str>(v) && !py::isinstance<py::bytes>(v) &&
          !py::hasattr(v, "__fspath__"))
        throw py::type_error(std::string(f.name) + " must be a str or a path");
      *f.field = as_path(v), ++used;
    }
  if (used != kw.size()) {
    for (auto item : kw) {
      const std::string key = py::str(item.first);
      bool known = false;
      for (const Real& f : reals) known = known || key == f.name;
      for (const Whole& f : wholes) known = known || key == f.name;
      for (const Text& f : texts) known = known || key == f.name;
      known = known || is_front_end_option(key);
      if (!known) throw py::type_error("unknown option '" + key + "'");
    }
  }
  s.block_given = kw.contains("block_size");
  // Given, it must be at least 1 (0 is the C++ API's "not given").
  if (s.block_given && o.block_size < 1)
    raise_value_error(kestro::Error(100, "Options: block_size = " + std::to_string(o.block_size) +
                                             " must be at least 1 (IFLAG 100)"));
  return s;
}

// The history of the best point as a dict of columns (NumPy arrays of one
// entry per improvement): nfev, fun (with several objectives the compromise
// value), residual and, with several objectives, front_size.
py::dict make_history(const std::vector<kestro::HistoryEntry>& history, int o) {
  const py::ssize_t k = py::ssize_t(history.size());
  py::array_t<long long> nfev(k), front(k);
  Array fun(k), residual(k);
  for (py::ssize_t i = 0; i < k; ++i) {
    const kestro::HistoryEntry& e = history[std::size_t(i)];
    nfev.mutable_at(i) = e.evaluations;
    fun.mutable_at(i) = e.f;
    residual.mutable_at(i) = e.residual;
    front.mutable_at(i) = e.front_size;
  }
  py::dict h;
  h["nfev"] = nfev;
  h["fun"] = fun;
  h["residual"] = residual;
  if (o > 1) h["front_size"] = front;
  return h;
}

// A progress bar for minimize(progress=True): kestro._progress.ProgressBar,
// which needs tqdm. None when no bar is asked for.
py::object make_progress_bar(bool progress, const kestro::Options& options, int objectives) {
  if (!progress) return py::none();
  return py::module_::import("kestro._progress")
      .attr("ProgressBar")(options.maxeval, objectives,
                           py::arg("runs") = std::max(options.runs, 1));
}

// Moves the bar after a block of run `run` (0 with one run).
void update_progress_bar(const py::object& bar, const kestro::Solver& solver, int run) {
  if (bar.is_none()) return;
  const kestro::Progress p = solver.progress();
  bar.attr("update")(p.evaluations, p.best_f, p.residual, p.failed_evaluations, p.front_size, run);
}

const char* cause_name(kestro::StopCause cause) {
  switch (cause) {
    case kestro::StopCause::evaluations: return "maxeval";
    case kestro::StopCause::cpu_time: return "maxtime";
    case kestro::StopCause::wall_time: return "maxwalltime";
    case kestro::StopCause::callback: return "callback";
    case kestro::StopCause::interrupt: return "interrupt";
    case kestro::StopCause::request: return "stop";
    case kestro::StopCause::none: break;
  }
  return "";
}

// The front entries as three (P, O), (P, M), (P, N) arrays under
// `prefix`_fun, `prefix`_constr and `prefix`_x.
void put_front(py::dict& d, const std::string& prefix,
               const std::vector<kestro::ParetoPoint>& front, int o, int m, int n) {
  const py::ssize_t p = py::ssize_t(front.size());
  Array pf({p, py::ssize_t(o)}), pg({p, py::ssize_t(m)}), px({p, py::ssize_t(n)});
  auto wf = pf.mutable_unchecked<2>();
  auto wg = pg.mutable_unchecked<2>();
  auto wx = px.mutable_unchecked<2>();
  for (py::ssize_t j = 0; j < p; ++j) {
    const kestro::ParetoPoint& e = front[std::size_t(j)];
    for (int k = 0; k < o; ++k) wf(j, k) = e.f[std::size_t(k)];
    for (int k = 0; k < m; ++k) wg(j, k) = e.g[std::size_t(k)];
    for (int k = 0; k < n; ++k) wx(j, k) = e.x[std::size_t(k)];
  }
  d[py::str(prefix + "_fun")] = pf;
  d[py::str(prefix + "_constr")] = pg;
  d[py::str(prefix + "_x")] = px;
}

// The result object: a dict whose keys read as attributes.
py::object make_result(const kestro::Result& r, int o, int m, int n, bool interrupted) {
  py::object cls = py::module_::import("kestro._core").attr("OptimizeResult");
  py::dict d;
  d["x"] = Array(py::ssize_t(r.x.size()), r.x.data());
  if (o == 1)
    d["fun"] = r.f.at(0);
  else
    d["fun"] = Array(py::ssize_t(r.f.size()), r.f.data());
  d["constr"] = Array(py::ssize_t(r.g.size()), r.g.data());
  d["residual"] = r.residual;
  d["max_violation"] = r.max_violation;
  d["max_violation_index"] = r.max_violation_index;
  d["feasible"] = r.feasible;
  d["status"] = r.iflag;
  d["success"] = r.success;
  d["message"] = r.message;
  d["reason"] = r.reason;
  d["stop_cause"] = cause_name(r.stop_cause);
  d["warning"] = r.warning;
  d["nfev"] = r.evaluations;
  d["nfail"] = r.failed_evaluations;
  d["nexc"] = r.exceptions;
  d["first_exception"] = r.first_exception;
  d["interrupted"] = interrupted;
  d["history"] = make_history(r.history, o);
  if (o > 1) {
    put_front(d, "pareto", r.pareto_front, o, m, n);
    put_front(d, "pareto_store", r.pareto_store, o, m, n);
  }
  if (!r.runs.empty()) {
    // Every run's own result, with its seed and error ("" when it ended).
    py::list runs;
    for (const kestro::RunOutcome& run : r.runs) {
      py::object own;
      if (run.ok()) {
        own = make_result(run.result, o, m, n, interrupted);
      } else {
        py::dict failed;
        failed["success"] = false;
        own = cls(failed);
      }
      own.attr("seed") = run.seed;
      own.attr("error") = run.error;
      runs.append(own);
    }
    d["runs"] = runs;
    d["best_run"] = r.best_run;
  }
  return cls(d);
}

// What a Python value is, for messages: a number, a tuple or list of K
// items, an array of a shape, or its type.
std::string describe(const py::handle& v) {
  if (py::isinstance<py::bool_>(v)) return "a bool";
  if (py::isinstance<py::float_>(v) || py::isinstance<py::int_>(v)) return "a number";
  if (py::isinstance<py::tuple>(v)) return "a tuple of " + std::to_string(py::len(v)) + " items";
  if (py::isinstance<py::list>(v)) return "a list of " + std::to_string(py::len(v)) + " items";
  if (py::isinstance<py::array>(v)) {
    py::array a = py::reinterpret_borrow<py::array>(v);
    return "an array of shape " + std::string(py::str(py::tuple(py::cast(
                                      std::vector<py::ssize_t>(a.shape(), a.shape() + a.ndim())))));
  }
  if (v.is_none()) return "None";
  return "a " + std::string(py::str(v.get_type().attr("__name__")));
}

// Copies `value` (a Python return value) into `out` of `count` doubles per
// row for `rows` rows; a scalar is accepted for one value. Throws ValueError
// when the shape does not match; `setting` names what fixes the count
// ("n_obj = 1").
void copy_values(const py::handle& value, double* out, py::ssize_t rows, py::ssize_t count,
                 const char* what, bool block, const std::string& setting = {}) {
  const std::string why = setting.empty() ? std::string() : " (" + setting + ")";
  if (value.is_none())
    throw py::value_error(std::string(what) + " is None, expected " + std::to_string(rows * count) +
                          " values" + why);
  Array a = Array::ensure(value);
  if (!a) {
    PyErr_Clear();
    throw py::value_error(std::string(what) + " is not an array of floats: fun returned " +
                          describe(value) + why);
  }
  const bool ok = !block ? (a.size() == count && a.ndim() <= 1)
                         : ((a.ndim() == 2 && a.shape(0) == rows && a.shape(1) == count) ||
                            (count == 1 && a.ndim() == 1 && a.shape(0) == rows) ||
                            (count == 0 && a.size() == 0));
  if (!ok)
    throw py::value_error(
        std::string(what) + " has " + std::to_string(a.size()) + " values of shape " +
        std::string(py::str(
            py::tuple(py::cast(std::vector<py::ssize_t>(a.shape(), a.shape() + a.ndim()))))) +
        ", expected " + std::to_string(rows * count) + why);
  std::copy(a.data(), a.data() + rows * count, out);
}

// Splits the return of the user's function into objectives and constraints.
void take_return(const py::object& ret, int m, double* f, double* g, py::ssize_t rows, int o,
                 bool block) {
  const char* fw = block ? "block objectives" : "objectives";
  const char* gw = block ? "block constraints" : "constraints";
  const std::string n_obj = "n_obj = " + std::to_string(o);
  const std::string n_con = "constraints = " + std::to_string(m);
  const bool two = py::isinstance<py::tuple>(ret) && py::len(ret) == 2;
  if (m == 0) {
    // The objectives alone, or a pair (f, g) with an empty g.
    const bool pair =
        two && Array::ensure(py::tuple(ret)[1]) && Array::ensure(py::tuple(ret)[1]).size() == 0;
    PyErr_Clear();
    try {
      copy_values(pair ? py::object(py::tuple(ret)[0]) : ret, f, rows, o, fw, block, n_obj);
    } catch (const py::value_error&) {
      if (!two) throw;
      py::tuple t = ret;
      throw py::value_error("fun returned a pair (" + describe(t[0]) + ", " + describe(t[1]) +
                            "), but constraints = 0: a pair (objectives, constraints) needs "
                            "constraints=M, the number of constraint values; without "
                            "constraints return the " +
                            std::to_string(o) + " objective value(s) alone (" + n_obj + ")");
    }
    return;
  }
  if (!two)
    throw py::value_error("with " + n_con +
                          ", fun must return a pair (objectives, constraints), "
                          "but it returned " +
                          describe(ret));
  py::tuple t = ret;
  copy_values(t[0], f, rows, o, fw, block, n_obj);
  copy_values(t[1], g, rows, m, gw, block, n_con);
}

bool file_exists(const std::string& path) {
  return py::module_::import("os").attr("path").attr("exists")(path).cast<bool>();
}

// The library's screen report written to Python's sys.stderr (so that
// Jupyter and a redirected sys.stderr see it), through a stdio stream whose
// writes call sys.stderr.write. The stream lives as long as this object,
// which must outlive the Solver that reports to it.
class PythonScreen {
 public:
  PythonScreen() {
    cookie_io_functions_t io{};
    io.write = &PythonScreen::write;
    stream_ = fopencookie(nullptr, "w", io);
    if (stream_) setvbuf(stream_, nullptr, _IOLBF, 1024);
  }
  ~PythonScreen() {
    if (stream_) std::fclose(stream_);
  }
  PythonScreen(const PythonScreen&) = delete;
  PythonScreen& operator=(const PythonScreen&) = delete;
  std::FILE* stream() const { return stream_; }

 private:
  static ssize_t write(void*, const char* data, size_t size) {
    py::gil_scoped_acquire gil;
    // An error of sys.stderr must not cross the library: the text is lost.
    PyObject *type, *value, *trace;
    PyErr_Fetch(&type, &value, &trace);
    PyObject* err = PySys_GetObject("stderr");  // borrowed
    if (err && err != Py_None) {
      PyObject* text = PyUnicode_DecodeUTF8(data, Py_ssize_t(size), "replace");
      PyObject* r = text ? PyObject_CallMethod(err, "write", "O", text) : nullptr;
      Py_XDECREF(r);
      Py_XDECREF(text);
      PyErr_Clear();
    }
    PyErr_Restore(type, value, trace);
    return ssize_t(size);
  }
  std::FILE* stream_ = nullptr;
};

// A Solver for the setup: resumed from `checkpoint` when it is given, else a
// new run. Refused input raises ValueError, a refused checkpoint
// kestro.CheckpointError, one of another problem kestro.CheckpointMismatch.
template <class Make>
void start_solver(const Setup& s, const std::string& checkpoint, Make make,
                  kestro::Resume mode = kestro::Resume::check) {
  try {
    // Starting (or loading) the run is the library's work: without the GIL.
    py::gil_scoped_release release;
    if (checkpoint.empty())
      make(s.problem, s.options);
    else
      make(s.problem, s.options, checkpoint, mode);
  } catch (const kestro::Error& e) {
    raise_value_error(e);
  }
}

struct PySolver {
  PySolver(py::handle bounds, int integers, py::handle constraints, int n_eq, int n_obj,
           py::handle x0, py::handle resume, bool take_saved, py::kwargs kw) {
    Setup s = make_setup(bounds, integers, constraints, n_eq, n_obj, x0, kw);
    s.options.screen = screen.stream();
    start_solver(
        s, as_path(resume), [&](auto&&... a) { solver = std::make_unique<kestro::Solver>(a...); },
        take_saved ? kestro::Resume::take_saved : kestro::Resume::check);
  }
  // Held by the call that uses the run: a Solver is used by one thread at a
  // time, and a second thread is told so instead of racing the first (the
  // library works without the GIL).
  struct Use {
    explicit Use(const PySolver& s) : lock(s.mutex, std::try_to_lock) {
      if (!lock) throw std::runtime_error("kestro.Solver is in use by another thread");
    }
    std::unique_lock<std::mutex> lock;
  };
  kestro::Solver& get() const {
    if (!solver) throw std::runtime_error("kestro.Solver is closed");
    return *solver;
  }
  Array ask() const {
    Use use(*this);
    const kestro::Solver& s = get();
    std::span<const double> x = s.ask();
    Array a({py::ssize_t(s.block_size()), py::ssize_t(s.variables())});
    std::copy(x.begin(), x.end(), a.mutable_data());
    return a;
  }
  void tell(py::handle f, py::handle g) {
    Use use(*this);
    kestro::Solver& s = get();
    if (s.done()) throw std::runtime_error("kestro.Solver.tell after the run has ended");
    const int l = s.block_size(), o = s.objectives(), m = s.constraints();
    std::vector<double> fv(std::size_t(l) * o), gv(std::size_t(l) * m);
    copy_values(f, fv.data(), l, o, "block objectives", true);
    if (m > 0 && g.is_none()) throw py::value_error("tell needs the constraint values G");
    if (!g.is_none()) copy_values(g, gv.data(), l, m, "block constraints", true);
    py::gil_scoped_release release;
    s.tell(fv, gv);
  }
  void save(py::handle path) const {
    Use use(*this);
    const kestro::Solver& s = get();
    const std::string file = as_path(path);
    py::gil_scoped_release release;
    s.save(file);
  }
  void close() {
    Use use(*this);
    solver.reset();
  }
  PythonScreen screen;  // outlives the solver
  std::unique_ptr<kestro::Solver> solver;
  mutable std::mutex mutex;
};

// The progress of a run as minimize's callback sees it: the best evaluated
// point so far (the feasible one with the lowest objective, with several
// objectives the lowest sum of them; while none is feasible, the one with the
// smallest violation), the counts, and the early end when every one of the
// first evaluations failed.
class BlockWatch {
 public:
  BlockWatch(py::object callback, const Setup& s, const kestro::Solver& sv)
      : callback_(std::move(callback)),
        fail_fast_(s.options.fail_fast),
        me_(s.problem.equalities),
        accuracy_(sv.accuracy()),
        n_(sv.variables()),
        o_(sv.objectives()),
        m_(sv.constraints()) {}

  // Before the block is told: its points and values.
  void note_block(std::span<const double> x, const std::vector<double>& f,
                  const std::vector<double>& g, int l) {
    for (int i = 0; i < l; ++i) {
      std::span<const double> fi(f.data() + std::size_t(i) * o_, o_);
      std::span<const double> gi(g.data() + std::size_t(i) * m_, m_);
      const std::string why = kestro::detail::failure_of(fi, gi);
      if (!why.empty()) {
        if (first_value_failure_.empty()) first_value_failure_ = why;
        continue;
      }
      double r = kestro::detail::residual_of(gi, me_, accuracy_);
      if (r <= accuracy_) r = 0;
      double sum = 0;
      for (double v : fi) sum += v;
      if (best_x_.empty() || r < best_r_ || (r == best_r_ && sum < best_sum_)) {
        best_r_ = r, best_sum_ = sum;
        best_x_.assign(x.begin() + std::size_t(i) * n_, x.begin() + std::size_t(i + 1) * n_);
        best_f_.assign(fi.begin(), fi.end());
        best_g_.assign(gi.begin(), gi.end());
      }
    }
  }

  // After the block is told: raises the first failure when every one of the
  // first evaluations failed (fail_fast).
  void check_failures(const kestro::Solver& sv, std::optional<py::error_already_set>& first_error) {
    if (!fail_fast_ || !kestro::detail::all_first_failed(sv.evaluations(), sv.failed_evaluations(),
                                                         sv.block_size()))
      return;
    const std::string note = kestro::EvaluationError(sv.evaluations(), "").what();
    if (first_error) {
      py::object value = first_error->value();
      if (py::hasattr(value, "add_note"))
        value.attr("add_note")("kestro: every one of the first " +
                               std::to_string(sv.evaluations()) +
                               " evaluations failed, this is the first failure "
                               "(fail_fast=False lets a model fail at first)");
      throw *first_error;
    }
    throw std::runtime_error(
        kestro::EvaluationError(
            sv.evaluations(),
            "fun returned " + (first_value_failure_.empty() ? std::string("no usable value")
                                                            : first_value_failure_))
            .what());
  }

  // After the block is told, while the run goes on: true when the callback
  // asks for the end (it returned True or raised StopIteration).
  bool call(const kestro::Solver& sv) {
    if (callback_.is_none()) return false;
    py::module_ core = py::module_::import("kestro._core");
    py::dict d;
    d["nfev"] = sv.evaluations();
    d["nfail"] = sv.failed_evaluations();
    d["status"] = sv.iflag();
    if (!best_x_.empty()) {
      d["x"] = Array(py::ssize_t(best_x_.size()), best_x_.data());
      if (o_ == 1)
        d["fun"] = best_f_[0];
      else
        d["fun"] = Array(py::ssize_t(best_f_.size()), best_f_.data());
      d["constr"] = Array(py::ssize_t(best_g_.size()), best_g_.data());
      d["max_violation"] = kestro::detail::largest_violation(best_g_, me_).first;
      d["feasible"] = best_r_ == 0;
    } else {
      d["x"] = py::none();
      d["fun"] = py::none();
      d["constr"] = py::none();
      d["max_violation"] = py::none();
      d["feasible"] = false;
    }
    try {
      py::object ret = callback_(core.attr("OptimizeResult")(d));
      return PyObject_IsTrue(ret.ptr()) == 1;
    } catch (py::error_already_set& e) {
      if (e.matches(PyExc_StopIteration)) return true;
      throw;
    }
  }

 private:
  py::object callback_;
  bool fail_fast_;
  int me_;
  double accuracy_;
  int n_, o_, m_;
  std::string first_value_failure_;
  std::vector<double> best_x_, best_f_, best_g_;
  double best_r_ = 0, best_sum_ = 0;
};

// With workers (kestro/_parallel.py) the evaluator gets the whole block at
// once, to evaluate its points elsewhere; its `take` then stands in for fun,
// handing back each point's value (or raising its exception) in order. A
// Ctrl-C while the block is out sets `interrupted`.
py::object point_function(const py::object& fun, const py::object& evaluator,
                          std::span<const double> x, int l, int n, bool& interrupted) {
  if (evaluator.is_none()) return fun;
  Array xa({py::ssize_t(l), py::ssize_t(n)});
  std::copy(x.begin(), x.end(), xa.mutable_data());
  try {
    evaluator.attr("evaluate")(xa);
  } catch (py::error_already_set& e) {
    if (!e.matches(PyExc_KeyboardInterrupt)) throw;
    interrupted = true;
  }
  return evaluator.attr("take");
}

// Hands the block's values to the run, without the GIL.
void tell(kestro::Solver& solver, const std::vector<double>& f, const std::vector<double>& g) {
  py::gil_scoped_release release;
  solver.tell(f, g);
}

// What the loop of one run of minimize needs besides its Solver.
struct LoopSetup {
  const py::function& fun;
  bool vectorized;
  const py::object& evaluator;  // None, or the workers' evaluator
  const py::object& callback;   // None, or the progress callback
  std::string checkpoint;       // empty: no saves
  long long checkpoint_every;
  // Shared by the runs of runs=K: an interrupt seen by one ends them all.
  std::atomic<bool>* interrupt_all = nullptr;
  // None, or the evaluation store (kestro/store.py's Recorder): told of the
  // run, asked for the cached points of each block and given each block.
  py::object store = py::none();
  bool resuming = false;        // the run was resumed from the checkpoint
  py::object bar = py::none();  // None, or the progress bar (shared by the runs)
  int run = 0;                  // which run of runs=K, for the bar
};

// The failures of the function in one run and whether it was interrupted.
struct LoopOutcome {
  long long exceptions = 0;
  std::string first_exception;
  bool interrupted = false;
};

// One run of minimize, under the GIL: evaluates each block (a point whose
// evaluation raises is failed, NaN; KeyboardInterrupt marks the run as
// interrupted and fails the rest of the block), hands the values to the run
// without the GIL, saves it when asked, and calls the callback.
LoopOutcome run_loop(kestro::Solver& sv, const Setup& s, const LoopSetup& in) {
  const int l = sv.block_size(), n = sv.variables(), o = sv.objectives(), m = sv.constraints();
  std::vector<double> f(std::size_t(l) * o), g(std::size_t(l) * m);
  LoopOutcome out;
  bool& interrupted = out.interrupted;
  std::optional<py::error_already_set> first_error;
  long long saved_at = sv.evaluations();
  // A save that fails is a warning: the run goes on.
  auto save = [&] {
    try {
      {
        py::gil_scoped_release release;
        sv.save(in.checkpoint);
      }
      saved_at = sv.evaluations();
    } catch (const kestro::CheckpointError& e) {
      if (PyErr_WarnEx(PyExc_RuntimeWarning, e.what(), 1) != 0) throw py::error_already_set();
    }
  };
  BlockWatch watch(in.callback, s, sv);
  auto failed = [&](double* fo, double* go, py::ssize_t rows, py::error_already_set& e) {
    std::fill(fo, fo + rows * o, kNaN);
    std::fill(go, go + rows * m, kNaN);
    if (out.exceptions++ == 0) out.first_exception = e.what(), first_error = e;
  };
  // Per point of a block, for the store: served from the cache, why it
  // failed (None when it did not) and its wall time (None: not measured).
  const bool recording = !in.store.is_none();
  if (recording) in.store.attr("begin")(sv.evaluations(), in.resuming, l);
  std::vector<char> hit(std::size_t(l), 0);
  py::list why(l), seconds(l);
  // An exception's text without the traceback pybind11 appends.
  auto reason = [](py::error_already_set& e) {
    const std::string what = e.what();
    return what.substr(0, what.find("\n\nAt:"));
  };
  using wall = std::chrono::steady_clock;
  // SystemExit and the other BaseExceptions that are not an Exception end
  // the run and go on to the caller (with a checkpoint, the run is saved as
  // it stood before this block).
  auto must_end = [&](py::error_already_set& e) {
    if (e.matches(PyExc_Exception)) return;
    if (!in.checkpoint.empty()) save();
    throw;
  };
  while (!sv.done()) {
    if (in.interrupt_all && in.interrupt_all->load()) interrupted = true;
    std::span<const double> x = sv.ask();
    std::fill(hit.begin(), hit.end(), 0);
    Array block;
    if (recording) {
      block = Array({py::ssize_t(l), py::ssize_t(n)});
      std::copy(x.begin(), x.end(), block.mutable_data());
      for (int i = 0; i < l; ++i) why[i] = py::none(), seconds[i] = py::none();
    }
    if (recording && !interrupted) {
      // (hits, F, G, reasons) for the points of the block already evaluated.
      py::tuple cached = in.store.attr("lookup")(block);
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
    // The points not served from the cache, in block order.
    const int misses = int(std::count(hit.begin(), hit.end(), 0));
    std::vector<double> xm;
    if (misses < l) {
      xm.reserve(std::size_t(misses) * n);
      for (int i = 0; i < l; ++i)
        if (!hit[std::size_t(i)])
          xm.insert(xm.end(), x.begin() + std::size_t(i) * n, x.begin() + std::size_t(i + 1) * n);
    }
    const std::span<const double> xs = misses < l ? std::span<const double>(xm) : x;
    if (interrupted) {
      // The last block after an interrupt is not evaluated: it is marked as
      // failed, so that the result is the best point evaluated before.
      std::fill(f.begin(), f.end(), kNaN);
      std::fill(g.begin(), g.end(), kNaN);
      if (recording)
        for (int i = 0; i < l; ++i) why[i] = "interrupted";
    } else if (in.vectorized && misses > 0) {
      Array xa({py::ssize_t(misses), py::ssize_t(n)});
      std::copy(xs.begin(), xs.end(), xa.mutable_data());
      std::vector<double> fm(std::size_t(misses) * o), gm(std::size_t(misses) * m);
      try {
        take_return(in.fun(xa), m, fm.data(), gm.data(), misses, o, true);
      } catch (py::error_already_set& e) {
        if (e.matches(PyExc_KeyboardInterrupt)) {
          interrupted = true;
          std::fill(fm.begin(), fm.end(), kNaN);
          std::fill(gm.begin(), gm.end(), kNaN);
          if (recording)
            for (int i = 0; i < l; ++i)
              if (!hit[std::size_t(i)]) why[i] = "interrupted";
        } else {
          must_end(e);
          failed(fm.data(), gm.data(), misses, e);
          if (recording)
            for (int i = 0; i < l; ++i)
              if (!hit[std::size_t(i)]) why[i] = reason(e);
        }
      }
      for (int i = 0, k = 0; i < l; ++i) {
        if (hit[std::size_t(i)]) continue;
        std::copy_n(fm.data() + std::size_t(k) * o, o, f.data() + std::size_t(i) * o);
        std::copy_n(gm.data() + std::size_t(k) * m, m, g.data() + std::size_t(i) * m);
        ++k;
      }
    } else if (!in.vectorized && misses > 0) {
      py::object point_fun = point_function(in.fun, in.evaluator, xs, misses, n, interrupted);
      for (int i = 0; i < l; ++i) {
        if (hit[std::size_t(i)]) continue;
        double* fi = f.data() + std::size_t(i) * o;
        double* gi = g.data() + std::size_t(i) * m;
        if (interrupted) {
          std::fill(fi, fi + o, kNaN);
          std::fill(gi, gi + m, kNaN);
          if (recording) why[i] = "interrupted";
          continue;
        }
        Array xa{py::ssize_t(n)};
        std::copy(x.begin() + std::size_t(i) * n, x.begin() + std::size_t(i + 1) * n,
                  xa.mutable_data());
        const auto start = wall::now();
        try {
          take_return(point_fun(xa), m, fi, gi, 1, o, false);
        } catch (py::error_already_set& e) {
          if (e.matches(PyExc_KeyboardInterrupt)) {
            interrupted = true;
            std::fill(fi, fi + o, kNaN);
            std::fill(gi, gi + m, kNaN);
            if (recording) why[i] = "interrupted";
          } else {
            must_end(e);
            failed(fi, gi, 1, e);
            if (recording) why[i] = reason(e);
          }
        }
        // With workers the point was evaluated elsewhere: no time of its own.
        if (recording && in.evaluator.is_none())
          seconds[i] = std::chrono::duration<double>(wall::now() - start).count();
      }
    }
    if (!interrupted && PyErr_CheckSignals() != 0) {
      // Ctrl-C between two calls of fun (seen on the main thread only).
      PyErr_Clear();
      interrupted = true;
    }
    if (interrupted && in.interrupt_all) in.interrupt_all->store(true);
    if (interrupted && !in.checkpoint.empty()) {
      // The run is saved as it stood before this block, which the resumed
      // run evaluates again; the interrupt goes on to the caller.
      save();
      PyErr_SetNone(PyExc_KeyboardInterrupt);
      throw py::error_already_set();
    }
    if (interrupted) sv.stop(kestro::StopCause::interrupt);
    if (!interrupted) watch.note_block(x, f, g, l);
    if (recording) {
      Array fa({py::ssize_t(l), py::ssize_t(o)}), ga({py::ssize_t(l), py::ssize_t(m)});
      std::copy(f.begin(), f.end(), fa.mutable_data());
      std::copy(g.begin(), g.end(), ga.mutable_data());
      py::list cached(l);
      for (int i = 0; i < l; ++i) cached[i] = bool(hit[std::size_t(i)]);
      in.store.attr("write_block")(sv.evaluations(), block, fa, ga, why, seconds, cached);
    }
    tell(sv, f, g);
    update_progress_bar(in.bar, sv, in.run);
    if (!in.checkpoint.empty() && (sv.done() || sv.evaluations() - saved_at >= in.checkpoint_every))
      save();
    if (!interrupted) watch.check_failures(sv, first_error);
    if (!interrupted && !sv.done()) {
      bool stop = false;
      try {
        stop = watch.call(sv);
      } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_KeyboardInterrupt)) throw;
        interrupted = true;  // the next block is handed over as failed
      }
      if (stop) sv.stop(kestro::StopCause::callback);
    }
  }
  return out;
}

// The result of a run with the failures of its function.
kestro::Result finished(const kestro::Solver& sv, const LoopOutcome& loop) {
  kestro::Result r = sv.result();
  r.exceptions = loop.exceptions;
  r.first_exception = loop.first_exception;
  return r;
}

// minimize with runs=K > 1: the runs on threads of their own (at most as
// many as the machine has cores), each calling fun under the GIL; the
// calling thread makes runs too and, once it has none left, watches for
// Ctrl-C while the others end. An interrupt ends every run with the best
// point it has evaluated.
py::object minimize_runs(const Setup& s, const LoopSetup& in, std::FILE* screen) {
  for (auto fault :
       {kestro::detail::problem_fault(s.problem), kestro::detail::options_fault(s.options),
        kestro::detail::combined_fault(s.problem, s.options)})
    if (fault) raise_value_error(kestro::Error(fault.code, fault.message));
  const int count = s.options.runs;
  const int cores = std::max(1, int(std::thread::hardware_concurrency()));
  const int side_by_side = std::min(count, cores);
  std::vector<kestro::RunOutcome> runs(static_cast<std::size_t>(count));
  std::vector<std::exception_ptr> errors(static_cast<std::size_t>(count));
  std::atomic<int> next{0}, finished_threads{0};
  std::atomic<bool> interrupted{false};
  std::mutex mutex;
  std::condition_variable all_done;
  const int n = s.problem.variables(), o = s.problem.objectives, m = s.problem.constraints;
  kestro::Options each = s.options;
  each.screen = screen;
  if (each.block_size == 0) each.block_size = 1;  // the runs are the parallelism
  LoopSetup shared = in;
  shared.interrupt_all = &interrupted;

  auto one_run = [&](int k) {
    std::optional<kestro::Solver> solver;
    {
      py::gil_scoped_release release;
      solver.emplace(s.problem, kestro::detail::run_options(each, k));
    }
    LoopSetup own = shared;
    own.run = k;
    return finished(*solver, run_loop(*solver, s, own));
  };
  auto work = [&] {
    {
      py::gil_scoped_acquire gil;
      for (int k = next.fetch_add(1); k < count; k = next.fetch_add(1)) {
        kestro::RunOutcome& run = runs[std::size_t(k)];
        run.seed = s.options.seed + k;
        try {
          run.result = one_run(k);
        } catch (py::error_already_set& e) {
          errors[std::size_t(k)] = std::current_exception();
          run.error = e.what();
        } catch (const std::exception& e) {
          errors[std::size_t(k)] = std::current_exception();
          run.error = *e.what() ? e.what() : "an exception without a message";
        }
      }
    }
    std::lock_guard<std::mutex> lock(mutex);
    ++finished_threads;
    all_done.notify_all();
  };
  {
    py::gil_scoped_release release;
    std::vector<std::thread> helpers;
    try {
      for (int t = 1; t < side_by_side; ++t) helpers.emplace_back(work);
    } catch (const std::system_error&) {
      // Fewer threads than asked for: the runs that are started do the rest.
    }
    work();
    const int started = int(helpers.size()) + 1;
    std::unique_lock<std::mutex> lock(mutex);
    while (!all_done.wait_for(lock, std::chrono::milliseconds(100),
                              [&] { return finished_threads.load() == started; })) {
      lock.unlock();
      {
        py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0) {
          PyErr_Clear();
          interrupted = true;
        }
      }
      lock.lock();
    }
    lock.unlock();
    for (std::thread& t : helpers) t.join();
  }
  kestro::Result r;
  try {
    r = kestro::detail::combine_runs(std::move(runs), errors, o, s.problem.equalities,
                                     s.options.accuracy);
  } catch (const kestro::Error& e) {
    raise_value_error(e);
  }
  return make_result(r, o, m, n, interrupted.load());
}

py::object minimize(py::function fun, py::handle bounds, int integers, py::handle constraints,
                    int n_eq, int n_obj, py::handle x0, bool vectorized, py::handle checkpoint_arg,
                    long long checkpoint_every, py::object callback, bool take_saved,
                    py::object evaluator, py::object store, bool progress, py::kwargs kw) {
  Setup s = make_setup(bounds, integers, constraints, n_eq, n_obj, x0, kw, true);
  const std::string checkpoint = as_path(checkpoint_arg);
  if (checkpoint_every < 1) throw py::value_error("checkpoint_every must be at least 1");
  if (!callback.is_none() && !PyCallable_Check(callback.ptr()))
    throw py::type_error("callback must be callable or None");
  LoopSetup in{fun, vectorized, evaluator, callback, checkpoint, checkpoint_every};
  PythonScreen screen;  // outlives the solvers
  // Closed when minimize returns or raises, so that the terminal is left tidy.
  in.bar = make_progress_bar(progress, s.options, n_obj);
  struct CloseBar {
    py::object& bar;
    ~CloseBar() {
      if (bar.is_none()) return;
      py::error_scope keep;  // a Python error in flight stays as it is
      try {
        bar.attr("close")();
      } catch (py::error_already_set&) {
      }
    }
  } close_bar{in.bar};
  if (s.options.runs > 1) {
    if (!checkpoint.empty())
      throw py::value_error(
          "checkpoint is not supported with runs > 1: save the runs one by "
          "one, or make one run per call");
    if (!evaluator.is_none())
      throw py::value_error(
          "workers are not supported with runs > 1: the runs are the "
          "parallelism (or use workers with one run)");
    if (!store.is_none())
      throw py::value_error(
          "store is not supported with runs > 1: the store keeps one run at "
          "a time (make one run per call)");
    return minimize_runs(s, in, screen.stream());
  }
  s.options.screen = screen.stream();
  std::optional<kestro::Solver> solver;
  in.resuming = !checkpoint.empty() && file_exists(checkpoint);
  in.store = store;
  start_solver(
      s, in.resuming ? checkpoint : std::string(), [&](auto&&... a) { solver.emplace(a...); },
      take_saved ? kestro::Resume::take_saved : kestro::Resume::check);
  const LoopOutcome loop = run_loop(*solver, s, in);
  py::object result = make_result(finished(*solver, loop), solver->objectives(),
                                  solver->constraints(), solver->variables(), loop.interrupted);
  if (!store.is_none()) store.attr("end")(result);
  return result;
}

}  // namespace

PYBIND11_MODULE(_core, mod) {
  mod.doc() =
      "Derivative-free optimisation of mixed-integer, constrained, single- and "
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
)",
           mod.attr("__dict__"));
  mod.attr("OptimizeResult").attr("__module__") = "kestro";

  py::register_exception<kestro::CheckpointError>(mod, "CheckpointError", PyExc_RuntimeError);
  mod.attr("CheckpointError").attr("__module__") = "kestro";
  py::register_exception<kestro::CheckpointMismatch>(mod, "CheckpointMismatch",
                                                     mod.attr("CheckpointError"));
  mod.attr("CheckpointMismatch").attr("__module__") = "kestro";

  mod.def("iflag_text", &kestro::iflag_text, py::arg("iflag"),
          "The meaning of an IFLAG value in words.");

  mod.def(
      "follow_parallelism",
      [](int block_size, int parallel, const std::string& name) {
        kestro::Options o;
        o.block_size = block_size;
        const std::string warning = kestro::detail::follow_parallelism(o, parallel, name);
        return py::make_tuple(o.block_size, warning);
      },
      py::arg("block_size"), py::arg("parallel"), py::arg("name"),
      "The block size for `parallel` evaluations at once: (block_size, warning). A\n"
      "block_size of 0 (not given) follows the parallelism; a smaller one given is\n"
      "kept with a warning naming `name` (empty when there is none).");

  mod.def("minimize", &minimize, py::arg("fun"), py::arg("bounds"), py::kw_only(),
          py::arg("integers") = 0, py::arg("constraints") = py::none(), py::arg("n_eq") = 0,
          py::arg("n_obj") = 1, py::arg("x0") = py::none(), py::arg("vectorized") = false,
          py::arg("checkpoint") = py::none(), py::arg("checkpoint_every") = 100,
          py::arg("callback") = py::none(), py::arg("take_saved") = false,
          py::arg("evaluator") = py::none(), py::arg("_store") = py::none(),
          py::arg("progress") = false,
          R"(Minimises fun over the box `bounds` (shape (N, 2)).

The last `integers` variables are whole numbers. `constraints` is the number
M of constraints g(x) (the first `n_eq` of them equalities g = 0, the rest
g >= 0); with M > 0, fun returns a pair (f, g). `n_obj` is the number of
objectives O. Per point, fun(x) gets x of shape (N,) and returns O values;
with vectorized=True, fun(X) gets the whole block X of shape (L, N) and
returns (L, O) objectives and (L, M) constraints. An exception raised by fun
marks its points as failed (counted in nfail and nexc); KeyboardInterrupt ends
the run with the best point evaluated so far (interrupted=True); SystemExit and
other BaseExceptions that are not an Exception end the run and propagate.
A return of None or of the wrong shape raises ValueError. When no evaluation
succeeded, success is False and message names the cause.

Options: accuracy, seed, fstop, algostop, evalstop, focus, ants, kernel,
oracle, paretomax, epsilon, balance, character, block_size, printeval,
save2file, maxeval, maxtime, maxwalltime (wall-clock seconds), fail_fast,
output_dir (the directory of the report files, default the current one),
output_prefix (put before their names) and runs. A problem or options the
library refuses raise ValueError with the IFLAG code and its meaning; a NaN
option raises ValueError naming it. The screen report (printeval) goes
through sys.stderr.

When every one of the first evaluations fails (the first block, and at least
10), the run ends and the first exception is raised again (a RuntimeError
when fun returned NaN); fail_fast=False turns that off. A run that ends
without any evaluation that succeeded (with fail_fast=False, or a budget
below those first evaluations) has success=False and a message naming the
cause ("no evaluation succeeded: 5 of 5 failed ...").

callback: called after each block with the progress (nfev, nfail, the best
point x, its fun, constr, max_violation and feasible); returning True or
raising StopIteration ends the run with the next block.

The result's reason says why the run ended (stop_cause: maxeval, maxtime,
maxwalltime, callback, interrupt), max_violation is the raw largest
constraint violation of x, and with several objectives pareto_* is the
non-dominated front and pareto_store_* the library's store.

runs=K: K independent runs with the seeds seed .. seed + K - 1, each with the
whole budget, made side by side on threads (fun is called under the GIL, so
they gain when fun releases it, as NumPy and subprocesses do). The result is
the best run's (feasible first, then the lowest objective; with several
objectives the fronts are merged), with nfev, nfail and nexc summed;
result.runs lists every run's own result with its `seed` and `error` ("" when
it ended; a run that raised has success False and the error's text) and
result.best_run is the index of the best. Run k writes its report files with
the prefix output_prefix + "run<k>_". Without block_size each run evaluates
one point at a time. Not with checkpoint nor workers; the callback is called
for every run's blocks.

checkpoint: a file name. When the file exists the run saved in it is resumed
(same problem and options; the result is that of the run never stopped);
otherwise a new run starts. The run is saved to it every `checkpoint_every`
evaluations and at the end; on KeyboardInterrupt it is saved as it stood
before the interrupted block and the KeyboardInterrupt is raised again. A
save that fails gives a RuntimeWarning and the run goes on. A file that
cannot be resumed (truncated, corrupted, other sizes) raises
kestro.CheckpointError; one saved with other bounds or search options
kestro.CheckpointMismatch naming what differs (take_saved=True goes on with
the file's).

progress=True shows a progress bar on sys.stderr (needs tqdm: Debian
python3-tqdm or pip install tqdm): evaluations of maxeval, best f (with
several objectives the compromise value and the front size), feasible or the
violation, failed evaluations, the rate and the time left.

The result's `history` holds the trace of the best point, one entry per
block where it improved: a dict of arrays nfev, fun (the compromise value
with several objectives), residual and, with several objectives,
front_size.)");

  py::class_<PySolver>(mod, "Solver", "A run by blocks: ask() for the points, tell() their values.")
      .def(py::init<py::handle, int, py::handle, int, int, py::handle, py::handle, bool,
                    py::kwargs>(),
           py::arg("bounds"), py::kw_only(), py::arg("integers") = 0,
           py::arg("constraints") = py::none(), py::arg("n_eq") = 0, py::arg("n_obj") = 1,
           py::arg("x0") = py::none(), py::arg("resume") = py::none(),
           py::arg("take_saved") = false,
           "With resume=PATH, continues the run saved by save() (same problem and options);\n"
           "a file that cannot be resumed raises kestro.CheckpointError, one saved with other\n"
           "bounds or search parameters kestro.CheckpointMismatch (take_saved=True goes on\n"
           "with the file's). Any number of Solvers may be alive and used at once; one\n"
           "Solver is used by one thread at a time (a second thread gets RuntimeError).")
      .def("save", &PySolver::save, py::arg("path"),
           "Saves the run to a checkpoint file between tell() and the next ask();\n"
           "kestro.Solver(..., resume=path) continues it, in this or another process.")
      .def("ask", &PySolver::ask, "The points of the current block, shape (L, N).")
      .def("tell", &PySolver::tell, py::arg("f"), py::arg("g") = py::none(),
           "Hands back the (L, O) objectives and (L, M) constraints of the block from ask().")
      .def(
          "stop",
          [](PySolver& s) {
            PySolver::Use use(s);
            s.get().stop();
          },
          "Asks the run to end after the next tell.")
      .def_property_readonly("done",
                             [](const PySolver& s) {
                               PySolver::Use use(s);
                               return s.get().done();
                             })
      .def_property_readonly("status",
                             [](const PySolver& s) {
                               PySolver::Use use(s);
                               return s.get().iflag();
                             })
      .def_property_readonly("nfev",
                             [](const PySolver& s) {
                               PySolver::Use use(s);
                               return s.get().evaluations();
                             })
      .def_property_readonly("block_size",
                             [](const PySolver& s) {
                               PySolver::Use use(s);
                               return s.get().block_size();
                             })
      .def("result",
           [](const PySolver& s) {
             PySolver::Use use(s);
             const kestro::Solver& sv = s.get();
             if (!sv.done())
               throw std::runtime_error("kestro.Solver.result before the run has ended");
             return make_result(sv.result(), sv.objectives(), sv.constraints(), sv.variables(),
                                false);
           })
      .def("close", &PySolver::close, "Ends the run now and frees what it holds.")
      .def("__enter__", [](py::object self) { return self; })
      .def("__exit__", [](PySolver& s, py::args) { s.close(); });
}
