/// \file kestro.hpp
/// \brief Kestro: the C++ API.
///
/// A thin, header-only layer over the C ABI of kestro.h. It sizes and owns the
/// workspaces, checks a problem and its options before the first call (with
/// messages that carry the IFLAG code the library would give), and drives
/// kestro_ and kestro_print_ exactly as a hand-written caller's loop does, so
/// that the same seed and options give bit-identical points and results.
///
/// \code
///   kestro::Problem problem;
///   problem.lower = {-5, -5, 0};
///   problem.upper = {5, 5, 10};
///   problem.integers = 1;                      // the last variable is whole
///   problem.constraints = 1;                   // g[0] >= 0
///   kestro::Options options;
///   options.seed = 7;
///   options.block_size = 8;                    // points evaluated per block
///   options.threads = 4;                       // evaluated on four threads
///   kestro::Result r = kestro::minimize(problem,
///       [](std::span<const double> x, std::span<double> f, std::span<double> g) {
///         f[0] = x[0] * x[0] + x[1] * x[1] + x[2];
///         g[0] = x[0] + x[1] + x[2] - 1;
///       }, options);
/// \endcode
///
/// Every Solver owns a run of its own (a run handle of the C ABI), so any
/// number of Solvers and minimize calls may live side by side, in any threads;
/// each run is bit-identical to the same run alone. One Solver is used by one
/// thread at a time. With Options::runs = K, minimize makes K independent
/// runs with consecutive seeds at once and returns the best.
#ifndef KESTRO_HPP
#define KESTRO_HPP

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "kestro.h"

/// The C++ API of Kestro.
namespace kestro {

/// The meaning of an IFLAG value in plain words (what kestro_iflag_text says).
/// \param iflag  the code
/// \return its meaning, e.g. "the objective target FSTOP was reached by a
///         feasible point"
inline std::string iflag_text(int iflag) { return kestro_iflag_text(&iflag); }

/// The version of the loaded library, as MAJOR.MINOR.PATCH (what
/// kestro_version says).
/// \return the version, e.g. "0.1.0"
inline std::string version() { return kestro_version(); }

/// A problem or options the library would refuse, or a misuse of the API.
/// iflag() is the code the library gives for the same fault, or 0 when the
/// fault is one of the C++ API alone (mismatched vector lengths, thread count,
/// number of runs, output directory).
class Error : public std::invalid_argument {
 public:
  /// An error with its code and message.
  /// \param iflag    the IFLAG code the library gives for the fault, or 0
  /// \param message  what is wrong, ending in "(IFLAG code)" for a code
  Error(int iflag, const std::string& message) : std::invalid_argument(message), iflag_(iflag) {}
  /// \return the IFLAG code of the fault, or 0 for a fault of the C++ API alone
  int iflag() const { return iflag_; }

 private:
  int iflag_;
};

/// A checkpoint that could not be saved or loaded (kestro::Solver::save, the
/// resuming constructor of kestro::Solver).
class CheckpointError : public std::runtime_error {
 public:
  /// @param status  the status of kestro_save_ or kestro_load_
  /// @param message the file name and the meaning of the status in words
  CheckpointError(int status, const std::string& message)
      : std::runtime_error(message), status_(status) {}
  /// @return the status code, explained by kestro_checkpoint_text()
  int status() const { return status_; }

 private:
  int status_;
};

/// A resume whose problem or options differ from those saved in the
/// checkpoint file (the resuming constructor of kestro::Solver with
/// kestro::Resume::check). what() names every entry that differs, with the
/// file's value and the caller's; status() is -1.
class CheckpointMismatch : public CheckpointError {
 public:
  /// @param message the file name and the entries that differ
  explicit CheckpointMismatch(const std::string& message) : CheckpointError(-1, message) {}
};

/// The run ended because every one of its first evaluations failed (see
/// Options::fail_fast): the model, the program or its set-up is broken.
class EvaluationError : public std::runtime_error {
 public:
  /// @param evaluations  the evaluations made, all of them failed
  /// @param first        what the first failure said
  EvaluationError(long long evaluations, const std::string& first)
      : std::runtime_error("every one of the first " + std::to_string(evaluations) +
                           " evaluations failed; the first: " + first +
                           " (fail_fast = false lets a model fail at first)"),
        evaluations_(evaluations),
        first_(first) {}
  /// @return the evaluations made before the run was ended
  long long evaluations() const { return evaluations_; }
  /// @return what the first failure said (an exception's what(), or which
  ///         value was NaN or beyond 1e98)
  const std::string& first_failure() const { return first_; }

 private:
  long long evaluations_;
  std::string first_;
};

/// How the resuming constructor of kestro::Solver treats a checkpoint saved
/// with other bounds or search parameters than the caller gives.
enum class Resume {
  check,       ///< refuse it with kestro::CheckpointMismatch naming what differs
  take_saved,  ///< go on with the file's bounds and search parameters
};

/// Why a run that the library ended with IFLAG 1 or 2 ("stopped on request")
/// was stopped, as the front end knows it.
enum class StopCause {
  none,         ///< not stopped by a request (or stopped by a caller of the C ABI)
  evaluations,  ///< the evaluation budget Options::maxeval was spent
  cpu_time,     ///< the CPU-time budget Options::maxtime was spent
  wall_time,    ///< the wall-clock budget Options::maxwalltime was spent
  callback,     ///< the callback of minimize asked for the end
  interrupt,    ///< an interrupt (Ctrl-C or a signal)
  request,      ///< Solver::stop()
};

/// What to minimise. The number of variables N is the length of `lower`.
struct Problem {
  /// Number of objectives O. With more than one the library keeps a Pareto
  /// front and returns the best compromise (see Options::balance).
  int objectives = 1;
  /// @{
  /// Box bounds, N values each. Integer variables need whole-number bounds.
  std::vector<double> lower, upper;
  /// @}
  /// The last `integers` variables take whole-number values only.
  int integers = 0;
  /// Number of constraints M; a point is feasible when g[j] >= 0 for every
  /// inequality and g[j] == 0 (within the accuracy) for every equality.
  int constraints = 0;
  /// The first `equalities` constraints are equalities.
  int equalities = 0;
  /// Start point, N values (copied into every slot of the first block). Empty:
  /// the middle of the box, integer variables rounded to a whole number.
  std::vector<double> start;

  /// \return the number of variables N, the length of `lower`
  int variables() const { return static_cast<int>(lower.size()); }

  /// The start point the first block is filled with.
  /// \return `start`, or the middle of the box when `start` is empty
  std::vector<double> start_point() const {
    if (!start.empty()) return start;
    std::vector<double> x(lower.size());
    const std::size_t n = lower.size();
    for (std::size_t i = 0; i < n && i < upper.size(); ++i) {
      x[i] = lower[i] / 2 + upper[i] / 2;
      if (i + static_cast<std::size_t>(std::max(integers, 0)) >= n)
        x[i] = std::clamp(std::round(x[i]), lower[i], std::max(lower[i], upper[i]));
    }
    return x;
  }

  /// Checks the problem as the library would.
  /// \param error  receives, when not null and the problem is refused, a
  ///               message naming the offending entry and ending in
  ///               "(IFLAG code)"
  /// \return true when the library accepts the problem
  bool IsValid(std::string* error) const;
};

/// Every search parameter by name, the block size and the reporting settings.
/// 0 in a search parameter selects the library's default for it.
struct Options {
  /// Feasibility tolerance of the constraints (0: 0.001).
  double accuracy = 0;
  /// Seed of the random generator; equal seeds give equal runs.
  double seed = 0;
  /// Objective target: the run ends with IFLAG 7 once a feasible point has
  /// F <= fstop (0: no target; not used by a scalarised multi-objective run).
  double fstop = 0;
  /// Ends the run after this many restarts without improvement (0: never).
  double algostop = 0;
  /// Ends the run after this many evaluations without an improvement by the
  /// fractional part as relative tolerance, e.g. 50000.001 (0: never).
  double evalstop = 0;
  /// Focus of the search around the best point, a whole number (0: default).
  double focus = 0;
  /// Ants per generation (0: default; when given, kernel must be given too).
  double ants = 0;
  /// Kernels of the archive's sampling, 1 .. ants (0: default).
  double kernel = 0;
  /// Oracle value for the penalty of constraint violation (0: default).
  double oracle = 0;
  /// Capacity of the Pareto front, a whole number (0: 1000 entries).
  double paretomax = 0;
  /// Relative tolerance of the front's dominance test, 0 .. 0.5 (0: default).
  double epsilon = 0;
  /// Weighting of several objectives: 0 or -1 .. 1 for weights, a whole
  /// number k to optimise objective k alone.
  double balance = 0;
  /// Character of the problem, 0 .. 3 (0: chosen from N and the number of
  /// integer variables; 3: integer variables must differ pairwise).
  double character = 0;

  /// Points per block L. Larger blocks let minimize evaluate in parallel.
  /// 0 (not given): kestro::minimize uses one point per thread (`threads`),
  /// the Solver one point per block.
  int block_size = 0;
  /// Threads kestro::minimize works on (the Solver ignores it): the points of
  /// a block are evaluated on them, and with several runs the runs share them.
  int threads = 1;
  /// Independent runs kestro::minimize makes, with the seeds seed, seed + 1,
  /// ..., seed + runs - 1, each with the whole budget, side by side on the
  /// threads; the result is the best of them and Result::runs holds each
  /// run's own (the Solver ignores it). The result does not depend on
  /// `threads`. With several runs each run k writes its report files with the
  /// name prefix output_prefix + "run<k>_" (k from 0), so that no two share a
  /// file.
  int runs = 1;

  /// A progress line on the standard error stream every `printeval`
  /// evaluations, with header and final report (0: silent).
  int printeval = 0;
  /// 1: write KESTRO_SCREEN.TXT, KESTRO_SOLUTION.TXT (and with several
  /// objectives KESTRO_PARETOFRONT.TXT) to the current directory; 2 or more:
  /// also KESTRO_HISTORY.TXT (0: no files). Files are written only when
  /// printeval > 0, except the history file.
  int save2file = 0;
  /// Evaluation budget; 99999999 or more: no limit.
  int maxeval = 100000;
  /// Budget of process CPU time in seconds (the time of every thread counts).
  int maxtime = std::numeric_limits<int>::max();
  /// Budget of wall-clock seconds since the Solver was made (0: no limit).
  /// Checked after every block, as maxeval and maxtime are: the next block is
  /// the last.
  double maxwalltime = 0;
  /// kestro::minimize ends the run with kestro::EvaluationError when every one
  /// of its first evaluations failed (at least the first block and 10
  /// evaluations); false lets a model fail at first.
  bool fail_fast = true;
  /// The stream of the screen report (printeval); null: the standard error
  /// stream. It must stay open while the Solver lives.
  std::FILE* screen = nullptr;
  /// Directory the report files are written to (empty: the current
  /// directory). It is made when it is missing and the run writes files
  /// (save2file > 0).
  std::string output_dir;
  /// Put before the names of the report files, e.g. "a_" gives
  /// a_KESTRO_SCREEN.TXT (empty: the names as they are). No '/' in it.
  std::string output_prefix;

  /// The 13 PARAM entries in the library's order.
  /// \return ACCURACY, RANDOM-SEED, FSTOP, ALGOSTOP, EVALSTOP, FOCUS, ANTS,
  ///         KERNEL, ORACLE, PARETOMAX, EPSILON, BALANCE, CHARACTER
  std::vector<double> param() const {
    return {accuracy, seed,   fstop,     algostop, evalstop, focus,    ants,
            kernel,   oracle, paretomax, epsilon,  balance,  character};
  }

  /// Checks the options as the library would. PARETOMAX and EPSILON are
  /// checked even for one objective, where the library ignores them, and a
  /// NaN character is refused (IFLAG 399) like every other NaN option.
  /// \param error  receives, when not null and the options are refused, a
  ///               message ending in "(IFLAG code)"
  /// \return true when the library accepts the options
  bool IsValid(std::string* error) const;
};

/// One entry of the Pareto front.
struct ParetoPoint {
  /// @{
  /// Its O objective values f, M constraint values g and N variables x.
  std::vector<double> f, g, x;
  /// @}
};

/// One entry of the history of a run: the best point right after a block
/// where it improved, as the screen report would show it. An improvement is a
/// smaller constraint violation, or the same violation and a smaller F.
struct HistoryEntry {
  long long evaluations = 0;  ///< points evaluated when it improved
  /// F of the best point; with several objectives the compromise value (the
  /// scalar the library minimises, shown as PRO in the screen report).
  double f = 0;
  double residual = 0;  ///< its constraint violation (0: feasible)
  /// With several objectives the size of the library's front store (as the
  /// screen report shows it; see Result::pareto_store), else 0.
  long long front_size = 0;
};

struct RunOutcome;

/// The outcome of a run.
struct Result {
  /// @{
  /// The best point x (N values), its O objective values f and M
  /// constraint values g.
  std::vector<double> x, f, g;  // the best point and its values
  /// @}
  double residual = 0;    ///< its constraint violation beyond the accuracy
  bool feasible = false;  ///< residual within the accuracy (never for a failed point)
  /// The largest raw violation of its constraints, without the accuracy's
  /// tolerance: -g for an inequality, |g| for an equality (0: none violated).
  double max_violation = 0;
  /// The constraint of max_violation (0-based), or -1 when none is violated.
  int max_violation_index = -1;
  /// Why a run that IFLAG says was "stopped on request" was stopped.
  StopCause stop_cause = StopCause::none;
  /// Why the run ended in words that name the cause (a spent budget, the
  /// callback, an interrupt, ...); for other codes the meaning of iflag.
  std::string reason;
  int iflag = 0;  ///< why the run ended
  /// The meaning of iflag in words; when best_failed, the cause instead,
  /// e.g. "no evaluation succeeded: 20 of 20 failed (...)".
  std::string message;
  /// The best point is a failed evaluation (an objective NaN or at least
  /// 1e98, or a constraint NaN or at most -1e98): no evaluation succeeded,
  /// or none that ranks above a failed one.
  bool best_failed = false;
  /// The run ended without an input error (iflag below 100) and its best
  /// point is feasible and not a failed evaluation.
  bool success = false;
  int warning = 0;                   ///< a warning code (51 .. 92) of the first call, or 0
  long long evaluations = 0;         ///< points evaluated, start block included
  long long failed_evaluations = 0;  ///< of them failed: NaN or beyond 1e98, or thrown
  long long exceptions = 0;          ///< of them thrown by the function (minimize)
  std::string first_exception;       ///< what() of the first exception
  /// With several objectives: the entries of the library's front store that
  /// no other entry dominates (see pareto_store).
  std::vector<ParetoPoint> pareto_front;
  /// With several objectives: the library's front store as it is, which may
  /// hold entries within its tolerances that another entry dominates.
  std::vector<ParetoPoint> pareto_store;
  /// With Options::runs > 1 (kestro::minimize), the outcome of every run in
  /// the order of their seeds; empty for a single run. The fields above are
  /// then those of the best run (x, f, g, residual, feasible, iflag, message,
  /// warning, pareto_store, ...), summed over the runs (evaluations,
  /// failed_evaluations, exceptions), the first in seed order
  /// (first_exception), and with several objectives pareto_front is the union
  /// of the runs' fronts reduced to its non-dominated entries.
  std::vector<RunOutcome> runs;
  /// With Options::runs > 1, the index in `runs` of the best run; else 0.
  int best_run = 0;
  /// The trace of the best point: one entry per block where it improved
  /// (see HistoryEntry), in the order of the run. With Options::runs > 1 the
  /// history of the best run (each run's own is in its RunOutcome).
  std::vector<HistoryEntry> history;
};

/// One of the independent runs of kestro::minimize with Options::runs > 1.
struct RunOutcome {
  double seed = 0;  ///< its seed
  /// Empty when the run ended; otherwise the what() of the exception that
  /// ended it (such as std::bad_alloc, or one thrown by the stop callback),
  /// and `result` is empty.
  std::string error;
  Result result;  ///< its own result (its `runs` is empty)
  /// \return true when the run ended with a result (no error)
  bool ok() const { return error.empty(); }
};

/// Progress handed to the stop callback of minimize after every block (and
/// given by Solver::progress()): enough for a progress display.
struct Progress {
  long long evaluations = 0;         ///< points evaluated so far
  long long failed_evaluations = 0;  ///< of them failed
  int iflag = 0;                     ///< the library's state code after the last call
  /// F of the best point so far (with several objectives the compromise
  /// value); NaN before the first block.
  double best_f = std::numeric_limits<double>::quiet_NaN();
  /// Its constraint violation (0: feasible); NaN before the first block.
  double residual = std::numeric_limits<double>::quiet_NaN();
  /// With several objectives the size of the library's front store (see
  /// HistoryEntry::front_size).
  long long front_size = 0;
  int run = 0;  ///< which run (0 .. Options::runs - 1) the block belongs to
};

namespace detail {

inline std::int32_t nint(double x) {
  const double r = std::round(x);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(r);
}
inline bool not_whole(double v, double tolerance) { return std::fabs(v - nint(v)) > tolerance; }
inline bool outside(double v, double lo, double hi) { return v < lo || v > hi; }

inline std::string fail(std::string* error, int code, const std::string& what) {
  std::string message = what + " (IFLAG " + std::to_string(code) + ")";
  if (error) *error = message;
  return message;
}

inline std::string num(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", v);
  return buffer;
}

// The code and message of the first fault of a problem, or code -1.
struct Fault {
  int code = -1;
  std::string message;
  explicit operator bool() const { return code >= 0; }
};

inline Fault problem_fault(const Problem& p) {
  Fault f;
  auto set = [&](int code, const std::string& what) {
    f.code = code;
    f.message = fail(nullptr, code, "Problem: " + what);
    return f;
  };
  // The library's checks of the first call, in its order; the vectors' own
  // lengths are this header's to check.
  const int o = p.objectives, ni = p.integers, m = p.constraints, me = p.equalities;
  const int n = int(std::min<std::size_t>(p.lower.size(), 100000001));
  int position = 0;
  const int counts =
      kestro_check_problem(&o, &n, &ni, &m, &me, nullptr, nullptr, nullptr, &position);
  if (counts == 101)
    return set(101, "objectives = " + std::to_string(p.objectives) + " must lie in 1 .. 1000000");
  if (counts == 102) return set(102, "no variables (lower is empty)");
  if (p.lower.size() > 100000000) return set(0, "more variables than the library can address");
  if (p.upper.size() != p.lower.size())
    return set(0, "lower has " + std::to_string(p.lower.size()) + " values but upper has " +
                      std::to_string(p.upper.size()));
  if (!p.start.empty() && p.start.size() != p.lower.size())
    return set(0, "start has " + std::to_string(p.start.size()) + " values but there are " +
                      std::to_string(p.lower.size()) + " variables");
  switch (counts) {
    case 103: return set(103, "integers = " + std::to_string(p.integers) + " is negative");
    case 104:
      return set(104, "integers = " + std::to_string(p.integers) + " exceeds the " +
                          std::to_string(n) + " variables");
    case 105: return set(105, "constraints = " + std::to_string(p.constraints) + " is negative");
    case 106: return set(106, "equalities = " + std::to_string(p.equalities) + " is negative");
    case 107:
      return set(107, "equalities = " + std::to_string(p.equalities) +
                          " exceeds constraints = " + std::to_string(p.constraints));
    default: break;
  }
  const bool given = !p.start.empty();
  const int code = kestro_check_problem(&o, &n, &ni, &m, &me, given ? p.start.data() : nullptr,
                                        p.lower.data(), p.upper.data(), &position);
  if (code == 0) return f;
  const int i = position - 1;
  const std::string at = "[" + std::to_string(i) + "]";
  const double x = given ? p.start[i] : 0, xl = p.lower[i], xu = p.upper[i];
  switch (code) {
    case 201: return set(201, "start" + at + " is NaN");
    case 202: return set(202, "lower" + at + " is NaN");
    case 203: return set(203, "upper" + at + " is NaN");
    case 204:
      return set(204, "start" + at + " = " + num(x) + " lies below lower" + at + " = " + num(xl));
    case 205:
      return set(205, "start" + at + " = " + num(x) + " lies above upper" + at + " = " + num(xu));
    case 206:
      return set(206, "lower" + at + " = " + num(xl) + " lies above upper" + at + " = " + num(xu));
    case 881:
      return set(881, "start" + at + " = " + num(x) + " of an integer variable is not whole");
    case 882:
      return set(882, "lower" + at + " = " + num(xl) + " of an integer variable is not whole");
    case 883:
      return set(883, "upper" + at + " = " + num(xu) + " of an integer variable is not whole");
    default: return set(code, "start point or bounds" + at + " refused");
  }
}

inline Fault options_fault(const Options& o) {
  Fault f;
  auto set = [&](int code, const std::string& what) {
    f.code = code;
    f.message = fail(nullptr, code, "Options: " + what);
    return f;
  };
  if (o.block_size < 0)
    return set(100, "block_size = " + std::to_string(o.block_size) + " must be at least 1");
  // The library's checks of PARAM, in its order (a NaN passes the range
  // tests and is reported as NaN).
  const std::vector<double> param = o.param();
  int position = 0;
  switch (kestro_check_param(param.data(), &position)) {
    case 0: break;
    case 301: return set(301, "accuracy = " + num(o.accuracy) + " must lie in 0 .. 1e99");
    case 302: return set(302, "seed = " + num(o.seed) + " must lie in 0 .. 1e99");
    case 303: return set(303, "fstop = " + num(o.fstop) + " must lie in -1e99 .. 1e99");
    case 304: return set(304, "algostop = " + num(o.algostop) + " must lie in 0 .. 1e99");
    case 305: return set(305, "evalstop = " + num(o.evalstop) + " must lie in 0 .. 1e99");
    case 306:
      return set(306, "focus = " + num(o.focus) + " must be a whole number of at most 1e99");
    case 307: return set(307, "ants = " + num(o.ants) + " must lie in 0 .. 1e99");
    case 308: return set(308, "kernel = " + num(o.kernel) + " must lie in 0 .. 100");
    case 309: return set(309, "kernel = " + num(o.kernel) + " exceeds ants = " + num(o.ants));
    case 310:
      return set(310, "kernel = " + num(o.kernel) + " must be positive when ants = " + num(o.ants));
    case 311: return set(311, "kernel = " + num(o.kernel) + " must be 0 when ants is 0");
    case 312: return set(312, "oracle = " + num(o.oracle) + " must lie in -1e99 .. 1e99");
    case 321:
      return set(321, "paretomax = " + num(o.paretomax) + " must have a magnitude of at most 1e99");
    case 322: return set(322, "paretomax = " + num(o.paretomax) + " must be a whole number");
    case 331: return set(331, "epsilon = " + num(o.epsilon) + " must lie in 0 .. 0.5");
    case 350:
      return set(350,
                 "balance = " + num(o.balance) + " must be 0, a whole number or lie in -1 .. 1");
    case 351: return set(351, "character = " + num(o.character) + " must lie in 0 .. 3");
    case 352: return set(352, "character = " + num(o.character) + " must be a whole number");
    case 399: {
      static const char* const names[] = {"accuracy", "seed",      "fstop",   "algostop",
                                          "evalstop", "focus",     "ants",    "kernel",
                                          "oracle",   "paretomax", "epsilon", "balance"};
      return set(399, std::string(names[std::clamp(position, 1, 12) - 1]) + " is NaN");
    }
    case 347: return set(347, "evalstop = " + num(o.evalstop) + " between 0 and 1 is not allowed");
    case 348:
      return set(348, "evalstop = " + num(o.evalstop) + " must have a fractional part below 0.5");
    default: return set(0, "a search parameter is refused");
  }
  // The library lets a NaN character through to a misleading later error;
  // it is refused here with the code of the other NaN parameters.
  if (std::isnan(o.character)) return set(399, "character is NaN");
  constexpr double huge = 1e99;
  if (o.threads < 1)
    return set(0, "threads = " + std::to_string(o.threads) + " must be at least 1");
  if (o.runs < 1) return set(0, "runs = " + std::to_string(o.runs) + " must be at least 1");
  if (o.runs > 1 && !(o.seed + (o.runs - 1) <= huge && o.seed + 1 != o.seed))
    return set(0, "runs = " + std::to_string(o.runs) + " from seed = " + num(o.seed) +
                      " do not give distinct seeds of at most 1e99");
  if (o.output_dir.find('\0') != std::string::npos)
    return set(0, "output_dir contains a NUL character");
  if (o.output_prefix.find_first_of(std::string("/\0", 2)) != std::string::npos)
    return set(0, "output_prefix = \"" + o.output_prefix + "\" must not contain '/' or NUL");
  if (!(o.maxwalltime >= 0))
    return set(0, "maxwalltime = " + num(o.maxwalltime) + " must be 0 or positive");
  return f;
}

// Faults of a problem and options together; both are valid on their own.
inline Fault combined_fault(const Problem& p, const Options& o) {
  Fault f;
  auto set = [&](int code, const std::string& what) {
    f.code = code;
    f.message = fail(nullptr, code, what);
    return f;
  };
  const std::vector<double> x = p.start_point(), param = o.param();
  const int objectives = p.objectives, n = p.variables(), ni = p.integers;
  int first = 0, second = 0;
  const int code =
      kestro_check_pairing(&objectives, &n, &ni, x.data(), param.data(), &first, &second);
  if (code == 350)
    return set(350, "Options: balance = " + num(o.balance) + " names no objective of the " +
                        std::to_string(p.objectives));
  if (code == 402)
    return set(402, "Problem: with character 3 the integer variables must differ, but start[" +
                        std::to_string(first - 1) + "] and start[" + std::to_string(second - 1) +
                        "] are both " + num(x[first - 1]));
  return f;
}

// The largest raw violation of a point's M constraint values g (the first
// me equalities): -g of an inequality, |g| of an equality; its index, or -1.
inline std::pair<double, int> largest_violation(std::span<const double> g, int me) {
  double worst = 0;
  int index = -1;
  for (std::size_t j = 0; j < g.size(); ++j) {
    const double v = int(j) < me ? std::fabs(g[j]) : -g[j];
    if (v > worst || (std::isnan(v) && index < 0)) worst = v, index = int(j);
    if (std::isnan(v)) break;
  }
  return {worst, index};
}

// The constraint violation beyond the accuracy, as the library measures it.
inline double residual_of(std::span<const double> g, int me, double accuracy) {
  const int m = int(g.size());
  return kestro_residual(&m, &me, g.data(), &accuracy);
}

// True when entry a dominates entry b: a feasible entry dominates an
// infeasible one; otherwise a is no worse in every objective and in the
// violation, and better in one of them.
inline bool dominates(const ParetoPoint& a, double ra, const ParetoPoint& b, double rb,
                      double accuracy) {
  const bool fa = ra <= accuracy, fb = rb <= accuracy;
  if (fa != fb) return fa;
  bool better = !fa && ra < rb;
  if (!fa && ra > rb) return false;
  for (std::size_t k = 0; k < a.f.size(); ++k) {
    if (!(a.f[k] <= b.f[k])) return false;
    better = better || a.f[k] < b.f[k];
  }
  return better;
}

// The entries of a front store that no other entry dominates, in the
// store's order.
inline std::vector<ParetoPoint> non_dominated(const std::vector<ParetoPoint>& store, int me,
                                              double accuracy) {
  std::vector<double> r(store.size());
  for (std::size_t i = 0; i < store.size(); ++i) r[i] = residual_of(store[i].g, me, accuracy);
  std::vector<ParetoPoint> front;
  for (std::size_t i = 0; i < store.size(); ++i) {
    bool dominated = false;
    for (std::size_t j = 0; j < store.size() && !dominated; ++j)
      dominated = j != i && dominates(store[j], r[j], store[i], r[i], accuracy);
    if (!dominated) front.push_back(store[i]);
  }
  return front;
}

inline std::string seconds(double s) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g s", s);
  return buffer;
}

// Why a run ended, in words: the cause of a stop the front end knows, or the
// meaning of the IFLAG.
inline std::string reason_text(int iflag, StopCause cause, const Options& o) {
  if (iflag != 1 && iflag != 2) return iflag_text(iflag);
  const std::string best =
      iflag == 1 ? "; the best point is feasible" : "; the best point is not feasible";
  switch (cause) {
    case StopCause::evaluations:
      return "the evaluation budget was spent (maxeval = " + std::to_string(o.maxeval) + ")" + best;
    case StopCause::cpu_time:
      return "the CPU-time budget was spent (maxtime = " + std::to_string(o.maxtime) + " s)" + best;
    case StopCause::wall_time:
      return "the wall-clock budget was spent (maxwalltime = " + seconds(o.maxwalltime) + ")" +
             best;
    case StopCause::callback: return "the callback asked to stop" + best;
    case StopCause::interrupt: return "interrupted" + best;
    case StopCause::request: return "stopped by the caller" + best;
    case StopCause::none: break;
  }
  return iflag_text(iflag);
}

// Which value of an evaluated point made it a failed one, as the library
// counts failures; empty when it did not fail.
inline std::string failure_of(std::span<const double> f, std::span<const double> g) {
  const int o = int(f.size()), m = int(g.size());
  const int position = kestro_failed_value(&o, f.data(), &m, g.data());
  if (position == 0) return {};
  if (position <= o)
    return "objective " + std::to_string(position - 1) + " is " + num(f[position - 1]);
  return "constraint " + std::to_string(position - o - 1) + " is " + num(g[position - o - 1]);
}

// The options with the 13 PARAM values of a checkpoint.
inline void set_param(Options& o, const std::vector<double>& p) {
  double* fields[] = {&o.accuracy, &o.seed,    &o.fstop,    &o.algostop, &o.evalstop,
                      &o.focus,    &o.ants,    &o.kernel,   &o.oracle,   &o.paretomax,
                      &o.epsilon,  &o.balance, &o.character};
  for (std::size_t i = 0; i < 13 && i < p.size(); ++i) *fields[i] = p[i];
}

// What differs between the bounds and PARAM a run was saved with and those
// given for its resume; empty when nothing does.
inline std::string saved_differences(const std::vector<double>& lower_saved,
                                     const std::vector<double>& upper_saved,
                                     const std::vector<double>& param_saved,
                                     const std::vector<double>& lower,
                                     const std::vector<double>& upper,
                                     const std::vector<double>& param) {
  static const char* const names[] = {"accuracy", "seed",    "fstop",    "algostop", "evalstop",
                                      "focus",    "ants",    "kernel",   "oracle",   "paretomax",
                                      "epsilon",  "balance", "character"};
  std::string out;
  int listed = 0;
  auto add = [&](const std::string& what, double saved, double given) {
    if (saved == given || (std::isnan(saved) && std::isnan(given))) return;
    if (listed++ < 8)
      out += std::string(out.empty() ? "" : "; ") + what + " is " + num(given) +
             " but the file has " + num(saved);
  };
  for (std::size_t i = 0; i < lower.size() && i < lower_saved.size(); ++i)
    add("lower[" + std::to_string(i) + "]", lower_saved[i], lower[i]);
  for (std::size_t i = 0; i < upper.size() && i < upper_saved.size(); ++i)
    add("upper[" + std::to_string(i) + "]", upper_saved[i], upper[i]);
  for (std::size_t i = 0; i < 13 && i < param.size() && i < param_saved.size(); ++i)
    add(names[i], param_saved[i], param[i]);
  if (listed > 8) out += "; and " + std::to_string(listed - 8) + " more";
  return out;
}

// A run handle of the C ABI, freed with the Solver that owns it.
struct ContextFree {
  void operator()(kestro_context* context) const { kestro_context_free(context); }
};
using ContextPtr = std::unique_ptr<kestro_context, ContextFree>;

inline ContextPtr new_context() {
  kestro_context* context = kestro_context_create();
  if (!context) throw std::bad_alloc();
  return ContextPtr(context);
}

}  // namespace detail

inline bool Problem::IsValid(std::string* error) const {
  const detail::Fault f = detail::problem_fault(*this);
  if (f && error) *error = f.message;
  return !f;
}

inline bool Options::IsValid(std::string* error) const {
  const detail::Fault f = detail::options_fault(*this);
  if (f && error) *error = f.message;
  return !f;
}

/// A run by blocks: ask() for the points, tell() their values, until done().
/// Drives the solver and reporting entries underneath, on a run handle and
/// with workspaces it owns. Solvers are independent of each other: any
/// number may be alive and used at once, each by one thread at a time.
class Solver {
 public:
  /// Checks the problem and options and starts the run; throws kestro::Error
  /// with the IFLAG code the library would give, or 0 for API misuse.
  /// \param problem  what to minimise
  /// \param options  search parameters, block size and reporting
  Solver(const Problem& problem, const Options& options)
      : problem_(problem), options_(options), param_(options.param()) {
    if (detail::Fault f = detail::problem_fault(problem_)) throw Error(f.code, f.message);
    if (detail::Fault f = detail::options_fault(options_)) throw Error(f.code, f.message);
    if (detail::Fault f = detail::combined_fault(problem_, options_))
      throw Error(f.code, f.message);
    size_workspaces();
    open_context();
    const std::vector<double> x0 = problem_.start_point();
    for (int i = 0; i < l_; ++i) std::copy(x0.begin(), x0.end(), x_.begin() + std::size_t(i) * n_);
    start_reporting();
    print(1);  // starts the clock and the budgets; sets IFLAG = ISTOP = 0
  }

  /// @brief Resumes a run saved by save(), in this or another process.
  ///
  /// The problem and options must be those of the saved run (the sizes and
  /// workspace lengths are checked; PARAM and the bounds come from the
  /// file; the model is not checked). The bounds and the search parameters
  /// (PARAM) of the file are compared with those given: a difference is
  /// refused with kestro::CheckpointMismatch naming it, unless `mode` is
  /// Resume::take_saved, which goes on with the file's. printeval, save2file,
  /// maxeval and maxwalltime apply from now on as given here, so a resumed
  /// run may get a larger evaluation budget; maxtime stays that of the saved
  /// run. The report files that were open continue where the saved run left
  /// them.
  /// @param problem    the problem of the saved run
  /// @param options    the options of the saved run
  /// @param checkpoint the file written by save()
  /// @param mode       whether bounds and PARAM that differ from the file's
  ///                   are refused (the default) or replaced by the file's
  /// @throws kestro::Error for a problem or options the library refuses
  /// @throws kestro::CheckpointError when the file cannot be loaded (missing,
  ///         truncated, corrupted, other version or other sizes)
  /// @throws kestro::CheckpointMismatch when the bounds or PARAM differ from
  ///         the file's and `mode` is Resume::check
  Solver(const Problem& problem, const Options& options, const std::string& checkpoint,
         Resume mode = Resume::check)
      : problem_(problem), options_(options), param_(options.param()) {
    if (detail::Fault f = detail::problem_fault(problem_)) throw Error(f.code, f.message);
    if (detail::Fault f = detail::options_fault(options_)) throw Error(f.code, f.message);
    if (detail::Fault f = detail::combined_fault(problem_, options_))
      throw Error(f.code, f.message);
    size_workspaces();
    open_context();
    std::vector<double> extra(kExtraValues, 0.0);
    int lextra = kExtraValues, status = 0;
    const std::vector<double> lower = problem_.lower, upper = problem_.upper, param = param_;
    kestro_context_load(context_.get(), checkpoint.c_str(), &l_, &o_, &n_, &ni_, &m_, &me_,
                        x_.data(), f_.data(), gptr(), problem_.lower.data(), problem_.upper.data(),
                        &iflag_, &istop_, param_.data(), rw_.data(), &lrw_, iw_.data(), &liw_,
                        pf_.data(), &lpf_, extra.data(), &lextra, &status);
    if (status != 0) {
      throw CheckpointError(
          status, "cannot resume from " + checkpoint + ": " + kestro_checkpoint_text(&status));
    }
    const std::string differences =
        detail::saved_differences(problem_.lower, problem_.upper, param_, lower, upper, param);
    if (!differences.empty() && mode == Resume::check) {
      throw CheckpointMismatch("cannot resume from " + checkpoint +
                               ": it holds another problem or options: " + differences +
                               " (to go on with the file's values, resume with take_saved)");
    }
    detail::set_param(options_, param_);
    evaluations_ = static_cast<long long>(extra[0]);
    failed_ = static_cast<long long>(extra[1]);
    warning_ = static_cast<int>(extra[2]);
    const std::int32_t stop = detail::nint(extra[3]);
    stop_requested_ = stop > 0;
    const std::int32_t cause = stop > 0 ? stop - 1 : stop < 0 && stop > -100 ? -stop : 0;
    cause_ = cause <= int(StopCause::request) ? StopCause(cause) : StopCause::none;
    done_ = extra[4] != 0;
    start_reporting();
  }

  Solver(const Solver&) = delete;             ///< not copyable: one run
  Solver& operator=(const Solver&) = delete;  ///< not copyable: one run

  /// The points of the current block.
  /// \return L*N values, point i at [i*N, (i+1)*N); after done(), the best
  ///         point in the first N
  std::span<const double> ask() const { return x_; }

  /// Hands back the values of the block from ask() and moves to the next
  /// block. NaN is allowed and counts as a failed evaluation.
  /// \param f  L rows of O objective values
  /// \param g  L rows of M constraint values (empty when M = 0)
  void tell(std::span<const double> f, std::span<const double> g = {}) {
    if (done_) throw std::logic_error("kestro::Solver::tell after the run has ended");
    if (f.size() != f_.size() || g.size() != g_.size())
      throw Error(0, "tell: expected " + std::to_string(f_.size()) + " objective and " +
                         std::to_string(g_.size()) + " constraint values, got " +
                         std::to_string(f.size()) + " and " + std::to_string(g.size()));
    std::copy(f.begin(), f.end(), f_.begin());
    std::copy(g.begin(), g.end(), g_.begin());
    count_failures();
    const bool first = evaluations_ == 0;
    evaluations_ += l_;
    kestro_context_solve(context_.get(), &l_, &o_, &n_, &ni_, &m_, &me_, x_.data(), f_.data(),
                         gptr(), problem_.lower.data(), problem_.upper.data(), &iflag_, &istop_,
                         param_.data(), rw_.data(), &lrw_, iw_.data(), &liw_, pf_.data(), &lpf_);
    if (first && iflag_ >= 51 && iflag_ <= 92) warning_ = iflag_;
    const int search_state = iflag_;  // before a stop request replaces it
    if (stop_requested_ && istop_ == 0) iflag_ = -999;
    const bool asked = iflag_ == -999;
    print(2);
    if (istop_ == 1)
      done_ = true;
    else
      note_budgets(asked);
    track_best(search_state);
  }

  /// Asks the run to end: the next tell() is the last (before the first
  /// tell(), the second one, since the first starts the run), and the result
  /// holds the best point found (IFLAG 1 or 2, or 5 or 6 when EVALSTOP fires
  /// on that block).
  void stop() { stop(StopCause::request); }

  /// stop() with the cause the result names (Result::stop_cause,
  /// Result::reason); the first cause of a run is the one kept.
  /// \param cause  why the run is stopped
  void stop(StopCause cause) {
    if (!done_ && cause_ == StopCause::none) cause_ = cause;
    stop_requested_ = true;
    if (!done_ && evaluations_ > 0) iflag_ = -999;
  }

  /// @brief Saves the run to a checkpoint file, between a tell() and the
  /// next ask().
  ///
  /// The file (written to a new file `path`.tmp.XXXXXX, flushed and renamed
  /// over `path`)
  /// holds the library's whole state of the run, the workspaces, the block
  /// to evaluate next and the counts of evaluations and failed evaluations.
  /// The resuming constructor continues the run exactly: the same blocks
  /// and the same result as if it had not been stopped. Saving does not
  /// change the run.
  /// @param path the file to write
  /// @throws kestro::CheckpointError when the file cannot be written; the
  ///         run is unaffected
  void save(const std::string& path) const {
    // The stop request and its cause: 1 + cause when requested, -cause for a
    // spent budget (files without a cause hold 1 or 0).
    const double stop = stop_requested_ ? 1.0 + double(int(cause_)) : -double(int(cause_));
    const double extra[kExtraValues] = {double(evaluations_), double(failed_), double(warning_),
                                        stop, done_ ? 1.0 : 0.0};
    const int lextra = kExtraValues;
    int status = 0;
    kestro_context_save(context_.get(), path.c_str(), &l_, &o_, &n_, &ni_, &m_, &me_, x_.data(),
                        f_.data(), g_.empty() ? &no_g_ : g_.data(), problem_.lower.data(),
                        problem_.upper.data(), &iflag_, &istop_, param_.data(), rw_.data(), &lrw_,
                        iw_.data(), &liw_, pf_.data(), &lpf_, extra, &lextra, &status);
    if (status != 0)
      throw CheckpointError(
          status, "cannot save the run to " + path + ": " + kestro_checkpoint_text(&status));
  }

  /// \return true once the run has ended (ISTOP = 1)
  bool done() const { return done_; }
  /// \return the library's IFLAG after the last tell()
  int iflag() const { return iflag_; }
  /// \return the points evaluated so far, start block included
  long long evaluations() const { return evaluations_; }
  /// \return of them the failed ones (NaN or beyond 1e98)
  long long failed_evaluations() const { return failed_; }

  /// The state of the run after the last tell(): counts and the best point
  /// so far (its F, or with several objectives the compromise value, its
  /// constraint violation and the size of the front).
  /// \return what a progress display shows
  Progress progress() const {
    Progress p;
    p.evaluations = evaluations_;
    p.failed_evaluations = failed_;
    p.iflag = iflag_;
    if (!history_.empty()) {
      p.best_f = history_.back().f;
      p.residual = history_.back().residual;
    }
    p.front_size = front_size_;
    return p;
  }

  /// The history of the best point so far: one entry per block where it
  /// improved (a resumed run starts its history at the resumed block).
  /// Older entries are thinned (every second one dropped) when it reaches
  /// kHistoryLimit entries, so its memory stays bounded.
  /// \return the entries in the order of the run
  const std::vector<HistoryEntry>& history() const { return history_; }

  /// The most entries history() keeps before thinning the older ones.
  static constexpr std::size_t kHistoryLimit = 100000;

  /// The outcome; only once done() (std::logic_error before).
  /// \return the best point, its values, the IFLAG and the counts
  Result result() const {
    if (!done_) throw std::logic_error("kestro::Solver::result before the run has ended");
    Result r;
    r.x.assign(x_.begin(), x_.begin() + n_);
    r.f.assign(f_.begin(), f_.begin() + o_);
    r.g.assign(g_.begin(), g_.begin() + m_);
    const double acc = accuracy();
    const double residual = detail::residual_of(r.g, me_, acc);
    r.residual = residual;
    const std::pair<double, int> worst = detail::largest_violation(r.g, me_);
    r.max_violation = worst.first;
    r.max_violation_index = worst.second;
    r.stop_cause = iflag_ == 1 || iflag_ == 2 ? cause_ : StopCause::none;
    r.reason = detail::reason_text(iflag_, r.stop_cause, options_);
    r.iflag = iflag_;
    r.message = iflag_text(iflag_);
    r.best_failed = iflag_ < 100 && evaluations_ > 0 && point_failed(f_.data(), g_.data(), 0);
    r.feasible = residual <= acc && !r.best_failed;
    r.success = iflag_ >= 0 && iflag_ < 100 && r.feasible;
    if (r.best_failed)
      r.message = (failed_ >= evaluations_ ? "no evaluation succeeded: "
                                           : "the best point is a failed evaluation: ") +
                  std::to_string(failed_) + " of " + std::to_string(evaluations_) + " failed (" +
                  r.message + ")";
    r.warning = warning_;
    r.evaluations = evaluations_;
    r.failed_evaluations = failed_;
    r.history = history_;
    if (o_ > 1 && iflag_ < 100) {
      const int count_only = 0;
      const int size = kestro_front_entry(&o_, &m_, &n_, pf_.data(), &lpf_, &options_.paretomax,
                                          &count_only, nullptr, nullptr, nullptr);
      for (int j = 1; j <= size; ++j) {
        ParetoPoint e;
        e.f.resize(std::size_t(o_));
        e.g.resize(std::size_t(m_));
        e.x.resize(std::size_t(n_));
        kestro_front_entry(&o_, &m_, &n_, pf_.data(), &lpf_, &options_.paretomax, &j, e.f.data(),
                           e.g.data(), e.x.data());
        r.pareto_store.push_back(std::move(e));
      }
      r.pareto_front = detail::non_dominated(r.pareto_store, me_, acc);
    }
    return r;
  }

  /// \return the feasibility tolerance of the run (ACCURACY, 0.001 when 0)
  double accuracy() const { return options_.accuracy > 0 ? options_.accuracy : 0.001; }
  /// \return the cause of a stop so far (StopCause::none when none)
  StopCause stop_cause() const { return cause_; }

  /// \return the block size L
  int block_size() const { return l_; }
  /// \return the number of variables N
  int variables() const { return n_; }
  /// \return the number of objectives O
  int objectives() const { return o_; }
  /// \return the number of constraints M
  int constraints() const { return m_; }

 private:
  void size_workspaces() {
    using W = long long;
    const W l = std::max(options_.block_size, 1), o = problem_.objectives, n = problem_.variables(),
            m = problem_.constraints;
    // The lengths as the library gives them to front ends: what the entry
    // checks, and for RW at least what the search kernel checks when it
    // validates the run.
    const int li = int(l), oi = int(o), nv = int(n), mi = int(m);
    int lrw = 0, liw = 0, lpf = 0;
    switch (kestro_workspace_lengths(&li, &oi, &nv, &mi, &options_.paretomax, &lrw, &liw, &lpf)) {
      case 0: break;
      case 601:
        throw Error(601, "Problem: the integer workspace exceeds 32-bit lengths (IFLAG 601)");
      case 344:
        throw Error(344, "Options: a Pareto front of capacity paretomax = " +
                             detail::num(options_.paretomax) +
                             " does not fit a workspace of 32-bit length (IFLAG 344)");
      default:
        throw Error(501, "Problem: the workspaces of N = " + std::to_string(n) +
                             ", M = " + std::to_string(m) + ", O = " + std::to_string(o) +
                             ", L = " + std::to_string(l) + " exceed 32-bit lengths (IFLAG 501)");
    }
    const W rw = lrw, iw = liw, pf = lpf;
    l_ = int(l), o_ = int(o), n_ = int(n), ni_ = problem_.integers, m_ = int(m),
    me_ = problem_.equalities;
    lrw_ = int(rw), liw_ = int(iw), lpf_ = int(pf);
    rw_.assign(std::size_t(rw), 0.0);
    iw_.assign(std::size_t(iw), 0);
    pf_.assign(std::size_t(pf), 0.0);
    x_.assign(std::size_t(l * n), 0.0);
    f_.assign(std::size_t(l * o), 0.0);
    g_.assign(std::size_t(l * m), 0.0);
  }

  // The run handle, with the report files' directory and prefix of the
  // options when the run writes files; the directory is made when missing.
  void open_context() {
    context_ = detail::new_context();
    if (options_.save2file <= 0) return;
    const std::string& dir = options_.output_dir;
    const std::string what = "Options: output_dir = \"" + dir + "\", output_prefix = \"" +
                             options_.output_prefix + "\": ";
    if (!dir.empty()) {
      std::error_code error;
      std::filesystem::create_directories(dir, error);
      if (error) throw Error(0, what + "the directory cannot be made: " + error.message());
    }
    switch (
        kestro_context_set_output(context_.get(), dir.c_str(), options_.output_prefix.c_str())) {
      case 0: return;
      case 3: throw Error(0, what + "not a directory");
      case 4: throw Error(0, what + "a report file's path would be too long");
      case 5: throw std::bad_alloc();
      default: throw Error(0, what + "refused by the library");
    }
  }

  // Starts the wall clock and sends the screen report to Options::screen.
  void start_reporting() {
    started_ = std::chrono::steady_clock::now();
    if (options_.screen) kestro_context_set_screen(context_.get(), options_.screen);
  }

  // After a block that did not end the run: names the budget that asked for
  // the end (the report sets IFLAG -999 for a spent maxeval or maxtime), and
  // applies the wall-clock budget as the report applies the others.
  void note_budgets(bool asked) {
    if (!asked && iflag_ == -999 && cause_ == StopCause::none)
      cause_ = options_.maxeval <= 99999998 && evaluations_ >= options_.maxeval - 1LL
                   ? StopCause::evaluations
                   : StopCause::cpu_time;
    if (iflag_ != -999 && options_.maxwalltime > 0 &&
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count() >=
            options_.maxwalltime) {
      iflag_ = -999;
      if (cause_ == StopCause::none) cause_ = StopCause::wall_time;
    }
  }

  // The library needs a valid address for G even when M = 0.
  double* gptr() { return g_.empty() ? &no_g_ : g_.data(); }

  void print(int stage) {
    int printeval = options_.printeval, save2file = options_.save2file, maxeval = options_.maxeval,
        maxtime = options_.maxtime, timediv = 0;
    kestro_context_print(context_.get(), &stage, &printeval, &save2file, &iflag_, &istop_,
                         f_.data(), gptr(), x_.data(), problem_.lower.data(), problem_.upper.data(),
                         &o_, &n_, &ni_, &m_, &me_, rw_.data(), pf_.data(), &maxeval, &maxtime,
                         param_.data(), &l_, &timediv);
  }

  // A point fails as the library counts it: an objective NaN or at least
  // 1e98, or a constraint NaN or at most -1e98.
  void count_failures() {
    for (int i = 0; i < l_; ++i)
      if (point_failed(f_.data(), g_.data(), i)) ++failed_;
  }

  // Point i of the block in f and g fails as the library counts it.
  bool point_failed(const double* f, const double* g, int i) const {
    return kestro_failed_value(&o_, f + std::size_t(i) * o_, &m_, g + std::size_t(i) * m_) != 0;
  }

  // Reads the best point of the last block from the library's records in
  // RW, chosen as the screen report chooses the point it shows: the run-best
  // record (since the last outer restart) unless the global-best record is
  // better, the run has ended, or the block follows an outer restart (-300)
  // or belongs to a pattern search (-500), whose records are not the best
  // point's. `search_state` is the IFLAG the search left, before a stop
  // request (by the caller, or by the report for a spent budget) replaced it
  // with -999: that one says nothing of what the records hold. Adds a
  // history entry when it improved. Reads a handful of values: no cost per
  // evaluation.
  void track_best(int search_state) {
    if (iflag_ >= 100) return;
    if (done_ && o_ == 1) {
      // At the end the best point is in the block's head, as in the result.
      add_history(f_[0], detail::residual_of(std::span<const double>(g_.data(), std::size_t(m_)),
                                             me_, accuracy()));
      return;
    }
    const std::size_t n = std::size_t(n_), mk = std::size_t(o_ > 1 ? m_ + 2 * o_ : m_);
    const std::size_t global =
        std::size_t(5) * l_ + 7 * std::size_t(o_) + 107 * n + 6 * std::size_t(m_) + 616;
    if (global + n + mk + 2 > rw_.size()) return;
    const double f1 = rw_[n + 9], r1 = rw_[n + mk + 10];
    const double f2 = rw_[global + n], r2 = rw_[global + n + mk + 1];
    const bool run_worse = r1 != r2 ? r1 > r2 : f1 > f2;
    const bool use_global = run_worse || iflag_ > 0 || search_state == -300 || search_state == -500;
    front_size_ = o_ > 1 ? std::max<long long>(detail::nint(pf_[0]), 0) : 0;
    add_history(use_global ? f2 : f1, use_global ? r2 : r1);
  }

  // Adds a history entry when the point improves on the last one.
  void add_history(double f, double residual) {
    if (!history_.empty()) {
      const HistoryEntry& last = history_.back();
      const bool better = residual < last.residual || (residual == last.residual && f < last.f);
      if (!better) return;
    }
    if (history_.size() >= kHistoryLimit) {
      // Keeps the first entry and every second one after it.
      std::size_t kept = 1;
      for (std::size_t i = 2; i < history_.size(); i += 2) history_[kept++] = history_[i];
      history_.resize(kept);
    }
    history_.push_back(HistoryEntry{evaluations_, f, residual, front_size_});
  }

  // The Solver's own values kept in a checkpoint: evaluations, failed
  // evaluations, warning, stop requested, done.
  static constexpr int kExtraValues = 5;

  detail::ContextPtr context_;
  Problem problem_;
  Options options_;
  std::vector<double> param_;
  int l_ = 0, o_ = 0, n_ = 0, ni_ = 0, m_ = 0, me_ = 0, lrw_ = 0, liw_ = 0, lpf_ = 0;
  std::vector<double> rw_, pf_, x_, f_, g_;
  std::vector<int> iw_;
  double no_g_ = 0;
  int iflag_ = 0, istop_ = 0, warning_ = 0;
  bool done_ = false, stop_requested_ = false;
  long long evaluations_ = 0, failed_ = 0;
  StopCause cause_ = StopCause::none;
  std::chrono::steady_clock::time_point started_;
  std::vector<HistoryEntry> history_;
  long long front_size_ = 0;
};

/// The user's model: writes the O objectives of x into f and its M
/// constraint values into g. It is called from several threads at once when
/// Options::threads > 1 (with Options::runs > 1, for points of several runs). An exception marks
/// the point as a failed evaluation (as NaN does) and is counted in Result::exceptions.
using Function =
    std::function<void(std::span<const double> x, std::span<double> f, std::span<double> g)>;

/// Returns true to end the run; called after every block, on the calling
/// thread (with Options::runs > 1, on the thread of the run, never two calls
/// at once). The run then ends with the next block (which is still
/// evaluated, as with a spent budget) and returns the best point.
using StopCallback = std::function<bool(const Progress&)>;

namespace detail {

// Evaluates the points of one block on a fixed set of threads. Only the
// user's function runs on the workers; the library is called by the owner.
class BlockPool {
 public:
  // A thread that cannot be started (no memory for its stack, a limit on
  // threads) is done without: the blocks are evaluated on those that did
  // start, the calling thread included, with the same result.
  BlockPool(int threads, const Function& function) : function_(function) {
    for (int t = 1; t < threads; ++t) {
      try {
        workers_.emplace_back([this] { work(); });
      } catch (const std::system_error&) {
        break;
      } catch (const std::bad_alloc&) {
        break;
      }
    }
  }
  ~BlockPool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : workers_) t.join();
  }
  BlockPool(const BlockPool&) = delete;
  BlockPool& operator=(const BlockPool&) = delete;

  // Evaluates the L points; a point whose evaluation throws gets NaN values.
  void evaluate(std::span<const double> x, std::span<double> f, std::span<double> g, int l, int n,
                int o, int m) {
    if (workers_.empty()) {
      // One thread: the points in order, without locks or shared counters.
      x_ = x, f_ = f, g_ = g, l_ = l, n_ = n, o_ = o, m_ = m;
      for (int i = 0; i < l; ++i) run_point(i);
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      x_ = x, f_ = f, g_ = g, l_ = l, n_ = n, o_ = o, m_ = m;
      next_.store(0);
      active_ = int(workers_.size());
      ++generation_;
    }
    wake_.notify_all();
    run_points();
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return active_ == 0; });
  }

  long long exceptions() const { return exceptions_; }
  const std::string& first_exception() const { return first_exception_; }

 private:
  void work() {
    long long seen = 0;
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [&] { return quit_ || generation_ != seen; });
        if (quit_) return;
        seen = generation_;
      }
      run_points();
      {
        std::lock_guard<std::mutex> lock(mutex_);
        --active_;
      }
      done_.notify_one();
    }
  }

  void run_points() {
    for (int i = next_.fetch_add(1); i < l_; i = next_.fetch_add(1)) run_point(i);
  }

  void run_point(int i) {
    std::span<const double> x = x_.subspan(std::size_t(i) * n_, n_);
    std::span<double> f = f_.subspan(std::size_t(i) * o_, o_);
    std::span<double> g = g_.subspan(std::size_t(i) * m_, m_);
    try {
      function_(x, f, g);
    } catch (const std::exception& e) {
      failed(f, g, e.what());
    } catch (...) {
      failed(f, g, "an exception not derived from std::exception");
    }
  }

  void failed(std::span<double> f, std::span<double> g, const char* what) {
    std::fill(f.begin(), f.end(), std::numeric_limits<double>::quiet_NaN());
    std::fill(g.begin(), g.end(), std::numeric_limits<double>::quiet_NaN());
    std::lock_guard<std::mutex> lock(error_mutex_);
    if (exceptions_++ == 0) first_exception_ = what;
  }

  const Function& function_;
  std::vector<std::thread> workers_;
  std::mutex mutex_, error_mutex_;
  std::condition_variable wake_, done_;
  bool quit_ = false;
  long long generation_ = 0;
  int active_ = 0;
  std::atomic<int> next_{0};
  std::span<const double> x_;
  std::span<double> f_, g_;
  int l_ = 0, n_ = 0, o_ = 0, m_ = 0;
  long long exceptions_ = 0;
  std::string first_exception_;
};

// The block size that lets `parallel` evaluations run at once: when
// block_size is not given (0) it follows the parallelism. Returns a warning
// when it is given and smaller (empty otherwise); `name` names the setting
// of the parallelism (threads, jobs, workers).
inline std::string follow_parallelism(Options& o, int parallel, const std::string& name) {
  if (o.block_size == 0) {
    o.block_size = std::max(parallel, 1);
    return {};
  }
  if (o.block_size > 0 && o.block_size < parallel)
    return "block_size = " + std::to_string(o.block_size) + " is smaller than " + name + " = " +
           std::to_string(parallel) + ": at most " + std::to_string(o.block_size) +
           " evaluations run at once (leave block_size out to let it follow " + name + ")";
  return {};
}

// True when every evaluation so far failed and there were at least the
// first block and 10 of them: the run cannot get anywhere.
inline bool all_first_failed(long long evaluations, long long failed, int block) {
  return evaluations >= std::max<long long>(block, 10) && failed == evaluations;
}

// What made the first failed point of a block fail: the first exception
// thrown, else the first value that is NaN or beyond 1e98; empty when no
// point of the block failed.
inline std::string first_failure_in(std::span<const double> f, std::span<const double> g, int l,
                                    int o, int m, const BlockPool& pool) {
  if (pool.exceptions() > 0) return pool.first_exception();
  for (int i = 0; i < l; ++i) {
    const std::string why =
        failure_of(f.subspan(std::size_t(i) * o, o), g.subspan(std::size_t(i) * m, m));
    if (!why.empty()) return why;
  }
  return {};
}

}  // namespace detail

namespace detail {

// One run of minimize, with the points of each block evaluated on `threads`
// threads; `run_index` numbers it for the stop callback. A warning, when not
// empty, is written to the screen stream once the run has started.
inline Result minimize_one(const Problem& problem, const Function& function, const Options& run,
                           const StopCallback& stop, int threads, int run_index,
                           const std::string& warning = {}) {
  Solver solver(problem, run);
  if (!warning.empty())
    std::fprintf(run.screen ? run.screen : stderr, "kestro: %s\n", warning.c_str());
  const int l = solver.block_size(), n = solver.variables(), o = solver.objectives(),
            m = solver.constraints();
  std::vector<double> f(std::size_t(l) * o), g(std::size_t(l) * m);
  BlockPool pool(std::min(threads, l), function);
  bool stopping = false;
  std::string first_failure;
  while (!solver.done()) {
    pool.evaluate(solver.ask(), f, g, l, n, o, m);
    if (run.fail_fast && first_failure.empty() &&
        solver.failed_evaluations() == solver.evaluations())
      first_failure = detail::first_failure_in(f, g, l, o, m, pool);
    solver.tell(f, g);
    if (run.fail_fast &&
        detail::all_first_failed(solver.evaluations(), solver.failed_evaluations(), l))
      throw EvaluationError(solver.evaluations(), first_failure);
    if (!stopping && !solver.done() && stop) {
      Progress progress = solver.progress();
      progress.run = run_index;
      if (stop(progress)) {
        solver.stop(StopCause::callback);
        stopping = true;
      }
    }
  }
  Result r = solver.result();
  r.exceptions = pool.exceptions();
  r.first_exception = pool.first_exception();
  return r;
}

// True when objective vector a dominates b: nowhere worse, somewhere better.
inline bool dominates(const std::vector<double>& a, const std::vector<double>& b) {
  bool better = false;
  for (std::size_t k = 0; k < a.size() && k < b.size(); ++k) {
    if (a[k] > b[k]) return false;
    if (a[k] < b[k]) better = true;
  }
  return better;
}

// The index of the best run among those that ended with a result: feasible
// before infeasible; among feasible ones the lowest F (one objective) or the
// first in seed order whose point no other feasible run's point dominates
// (several objectives); among infeasible ones the lowest residual, then the
// lowest F; last those whose best point is a failed evaluation, the first of
// them. Ties go to the earlier seed. -1 when no run has a result.
inline int best_run(const std::vector<RunOutcome>& runs) {
  std::vector<int> feasible, infeasible;
  int first_failed = -1;
  for (std::size_t k = 0; k < runs.size(); ++k) {
    if (!runs[k].ok() || runs[k].result.iflag >= 100) continue;
    if (runs[k].result.best_failed) {
      if (first_failed < 0) first_failed = int(k);
      continue;
    }
    (runs[k].result.feasible ? feasible : infeasible).push_back(int(k));
  }
  if (feasible.empty() && infeasible.empty()) return first_failed;
  auto f0 = [&](int k) { return runs[std::size_t(k)].result.f.at(0); };
  if (!feasible.empty()) {
    if (runs[std::size_t(feasible[0])].result.f.size() == 1) {
      int best = feasible[0];
      for (int k : feasible)
        if (f0(k) < f0(best)) best = k;
      return best;
    }
    for (int k : feasible) {
      bool dominated = false;
      for (int j : feasible)
        dominated =
            dominated || dominates(runs[std::size_t(j)].result.f, runs[std::size_t(k)].result.f);
      if (!dominated) return k;
    }
    return feasible[0];
  }
  int best = -1;
  for (int k : infeasible) {
    const Result& a = runs[std::size_t(k)].result;
    if (best < 0) {
      best = k;
      continue;
    }
    const Result& b = runs[std::size_t(best)].result;
    if (a.residual < b.residual || (a.residual == b.residual && f0(k) < f0(best))) best = k;
  }
  return best;
}

// The union of the runs' Pareto fronts reduced to its non-dominated entries
// (by the rule of Result::pareto_front, with the first `me` constraints
// equalities and the feasibility tolerance `accuracy`), in the order of the
// runs and of their fronts; of entries with equal objectives the first is
// kept.
inline std::vector<ParetoPoint> merged_front(const std::vector<RunOutcome>& runs, int me = 0,
                                             double accuracy = 0) {
  std::vector<ParetoPoint> all;
  for (const RunOutcome& run : runs) {
    if (!run.ok()) continue;
    for (const ParetoPoint& p : run.result.pareto_front) {
      bool repeated = false;
      for (const ParetoPoint& q : all) repeated = repeated || q.f == p.f;
      if (!repeated) all.push_back(p);
    }
  }
  return non_dominated(all, me, accuracy);
}

// The options of run k of several: its seed and its report files' prefix.
inline Options run_options(const Options& options, int k) {
  Options own = options;
  own.runs = 1;
  own.seed = options.seed + k;
  own.output_prefix = options.output_prefix + "run" + std::to_string(k) + "_";
  return own;
}

// The result of several runs: the best run's, with the counts summed and the
// fronts merged, and every run's own in `runs`. When no run ended, the first
// run's exception in `errors` is thrown.
inline Result combine_runs(std::vector<RunOutcome> runs,
                           const std::vector<std::exception_ptr>& errors, int objectives, int me,
                           double accuracy) {
  const int best = best_run(runs);
  if (best < 0) {
    for (const std::exception_ptr& e : errors)
      if (e) std::rethrow_exception(e);
  }
  Result r = runs[std::size_t(std::max(best, 0))].result;
  r.evaluations = r.failed_evaluations = r.exceptions = 0;
  r.first_exception.clear();
  for (const RunOutcome& run : runs) {
    r.evaluations += run.result.evaluations;
    r.failed_evaluations += run.result.failed_evaluations;
    r.exceptions += run.result.exceptions;
    if (r.first_exception.empty()) r.first_exception = run.result.first_exception;
  }
  if (objectives > 1) r.pareto_front = merged_front(runs, me, accuracy);
  r.best_run = std::max(best, 0);
  r.runs = std::move(runs);
  return r;
}

// Options::runs > 1: the runs side by side, at most options.threads at once,
// each evaluating its blocks on its share of the threads.
inline Result minimize_runs(const Problem& problem, const Function& function,
                            const Options& options, const StopCallback& stop) {
  if (Fault f = problem_fault(problem)) throw Error(f.code, f.message);
  if (Fault f = options_fault(options)) throw Error(f.code, f.message);
  if (Fault f = combined_fault(problem, options)) throw Error(f.code, f.message);
  Options each = options;
  if (each.block_size == 0) each.block_size = 1;  // the runs are the parallelism
  const int count = options.runs;
  const int side_by_side = std::min(count, options.threads);
  const int threads_per_run = std::max(1, options.threads / side_by_side);
  std::vector<RunOutcome> runs(static_cast<std::size_t>(count));
  std::vector<std::exception_ptr> errors(static_cast<std::size_t>(count));
  std::mutex stop_mutex;
  StopCallback one_at_a_time;
  if (stop)
    one_at_a_time = [&](const Progress& p) {
      std::lock_guard<std::mutex> lock(stop_mutex);
      return stop(p);
    };
  std::atomic<int> next{0};
  auto work = [&] {
    for (int k = next.fetch_add(1); k < count; k = next.fetch_add(1)) {
      RunOutcome& run = runs[std::size_t(k)];
      run.seed = options.seed + k;
      try {
        run.result = minimize_one(problem, function, run_options(each, k), one_at_a_time,
                                  threads_per_run, k);
      } catch (const std::exception& e) {
        errors[std::size_t(k)] = std::current_exception();
        run.error = *e.what() ? e.what() : "an exception without a message";
      } catch (...) {
        errors[std::size_t(k)] = std::current_exception();
        run.error = "an exception not derived from std::exception";
      }
    }
  };
  {
    std::vector<std::jthread> helpers;
    try {
      for (int t = 1; t < side_by_side; ++t) helpers.emplace_back(work);
    } catch (const std::system_error&) {
      // Fewer threads than asked for: the runs that are started do the rest.
    }
    work();
  }
  return combine_runs(std::move(runs), errors, problem.objectives, problem.equalities,
                      options.accuracy);
}

}  // namespace detail

/// Minimises the problem: the whole loop of evaluating blocks and calling the
/// library, with the points of each block evaluated on options.threads
/// threads. Throws kestro::Error for a problem or options the library would
/// refuse. The result is bit-identical to that of the plain C loop with the
/// same seed and options. When options.block_size is 0 (not given) a block
/// holds options.threads points; when it is given and smaller than threads, a
/// warning is written once to the screen stream. When every one of the first
/// evaluations fails (at least the first block and 10), the run ends with
/// kestro::EvaluationError carrying the first failure, unless
/// options.fail_fast is false.
///
/// With options.runs = K > 1 it makes K independent runs, with the seeds
/// seed .. seed + K - 1 and each with the whole budget, at most
/// options.threads of them at once (each run then evaluates its blocks on
/// options.threads / min(K, options.threads) threads); each run is the very
/// run of minimize with its seed, so the result does not depend on the number
/// of threads (the runs are the parallelism: a block_size not given is 1,
/// give one to spread each run's blocks over its threads too). The result is
/// the best run's (see Result::runs, and
/// detail::best_run for the order); a run that throws (std::bad_alloc, or its
/// stop callback) is reported in its RunOutcome::error and the others go on.
/// When every run throws, the first run's exception is thrown.
/// \param problem   what to minimise
/// \param function  the model, called for every point
/// \param options   search parameters, block size, threads, runs and reporting
/// \param stop      called after every block (with several runs, for each
///                  run's blocks, one call at a time, Progress::run saying
///                  which); returning true ends the run it was called for
/// \return the best point found, its values, the IFLAG and the counts
inline Result minimize(const Problem& problem, const Function& function, const Options& options,
                       const StopCallback& stop = {}) {
  if (options.runs > 1) return detail::minimize_runs(problem, function, options, stop);
  Options run = options;
  const std::string warning = detail::follow_parallelism(run, options.threads, "threads");
  return detail::minimize_one(problem, function, run, stop, options.threads, 0, warning);
}

}  // namespace kestro

#endif  // KESTRO_HPP
