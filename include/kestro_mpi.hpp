/// @file kestro_mpi.hpp
/// @brief Kestro over MPI: the points of each block evaluated on the ranks of
/// a communicator.
///
/// Header-only, on top of kestro.hpp; the program links MPI itself (the
/// library kestroR does not need it). Every rank of the communicator runs the
/// same call with the same problem, function and options:
///
/// @code
///   MPI_Init(&argc, &argv);
///   kestro::Result r = kestro::mpi::minimize(problem, function, options);
///   // every rank holds the same result
///   MPI_Finalize();
/// @endcode
///
/// Rank 0 runs the solver and calls nothing but the library and MPI; the
/// other ranks (the workers) evaluate the points. Points are handed out one
/// at a time: each worker gets one, and the next point of the block goes to
/// whichever worker answers first, so that a slow point does not hold up the
/// others. The values are put back in block order, so the run is
/// bit-identical to kestro::minimize with the same seed and options,
/// whatever the number of ranks, as long as the function gives the same
/// values for the same point on every rank and writes every value of f and g.
#ifndef KESTRO_MPI_HPP
#define KESTRO_MPI_HPP

#include <mpi.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <exception>
#include <limits>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "kestro.hpp"

namespace kestro {
/// @brief Evaluation of blocks of points on the ranks of an MPI communicator.
namespace mpi {

/// @brief One point of a block whose evaluation threw on its rank.
struct Failure {
  int index = 0;     ///< Position of the point in its block, from 0.
  int rank = 0;      ///< Rank that evaluated it.
  std::string what;  ///< The exception's what() text.
};

/// @brief Internals of the MPI evaluation.
namespace detail {

/// @brief Tag of a point, root to worker: its index, then its N values.
constexpr int kPointTag = 1;
/// @brief Tag of a point's values, worker to root: index, status (1 when it
///        threw), then O + M values.
constexpr int kValuesTag = 2;
/// @brief Tag of the what() text of a thrown exception, worker to root.
constexpr int kTextTag = 3;
/// @brief Tag of the end of the run, root to worker: 1 when it completed, 0
///        when it was abandoned.
constexpr int kStopTag = 4;

/// @brief Throws kestro::Error (code 0) unless MPI is initialised and not
///        finalised.
inline void check_initialized() {
  int initialized = 0, finalized = 0;
  MPI_Initialized(&initialized);
  MPI_Finalized(&finalized);
  if (!initialized || finalized)
    throw Error(0, "kestro::mpi: MPI is not initialised (call MPI_Init first)");
}

/// @brief Broadcasts a buffer of any length from rank 0, in pieces whose
///        counts fit an int.
/// @tparam T The element type.
/// @param data The buffer, @p count elements on every rank.
/// @param count Its length.
/// @param type The MPI type of an element.
/// @param comm The communicator.
template <typename T>
void broadcast_buffer(T* data, long long count, MPI_Datatype type, MPI_Comm comm) {
  constexpr long long piece = 1 << 26;
  for (long long at = 0; at < count; at += piece)
    MPI_Bcast(data + at, int(std::min(piece, count - at)), type, 0, comm);
}

/// @brief Sends rank 0's result to every rank of @p comm (numbers and text
///        separately); collective.
/// @param r Rank 0's result; on the other ranks replaced by it.
/// @param rank This process's rank in @p comm.
/// @param comm The communicator.
inline void broadcast_result(Result& r, int rank, MPI_Comm comm) {
  std::vector<double> num;
  std::string text;
  if (rank == 0) {
    auto put = [&](const std::vector<double>& v) {
      num.push_back(double(v.size()));
      num.insert(num.end(), v.begin(), v.end());
    };
    put(r.x), put(r.f), put(r.g);
    num.insert(num.end(),
               {r.residual, r.feasible ? 1.0 : 0.0, double(r.iflag), double(r.warning),
                double(r.evaluations), double(r.failed_evaluations), double(r.exceptions),
                double(r.message.size()), double(r.pareto_front.size())});
    for (const ParetoPoint& p : r.pareto_front) put(p.f), put(p.g), put(p.x);
    num.insert(num.end(),
               {r.max_violation, double(r.max_violation_index), double(int(r.stop_cause)),
                double(r.first_exception.size()), double(r.pareto_store.size())});
    for (const ParetoPoint& p : r.pareto_store) put(p.f), put(p.g), put(p.x);
    text = r.message + r.first_exception + r.reason;
  }
  long long sizes[2] = {(long long)num.size(), (long long)text.size()};
  MPI_Bcast(sizes, 2, MPI_LONG_LONG, 0, comm);
  num.resize(std::size_t(sizes[0]));
  text.resize(std::size_t(sizes[1]));
  broadcast_buffer(num.data(), sizes[0], MPI_DOUBLE, comm);
  broadcast_buffer(text.data(), sizes[1], MPI_CHAR, comm);
  if (rank == 0) return;
  std::size_t at = 0;
  auto next = [&] { return num.at(at++); };
  auto get = [&](std::vector<double>& v) {
    const std::size_t size = std::size_t(next());
    v.assign(num.begin() + std::ptrdiff_t(at), num.begin() + std::ptrdiff_t(at + size));
    at += size;
  };
  get(r.x), get(r.f), get(r.g);
  r.residual = next();
  r.feasible = next() != 0;
  r.iflag = int(next());
  r.warning = int(next());
  r.evaluations = (long long)next();
  r.failed_evaluations = (long long)next();
  r.exceptions = (long long)next();
  const std::size_t message_size = std::size_t(next());
  r.pareto_front.resize(std::size_t(next()));
  for (ParetoPoint& p : r.pareto_front) get(p.f), get(p.g), get(p.x);
  r.max_violation = next();
  r.max_violation_index = int(next());
  r.stop_cause = StopCause(int(next()));
  const std::size_t exception_size = std::size_t(next());
  r.pareto_store.resize(std::size_t(next()));
  for (ParetoPoint& p : r.pareto_store) get(p.f), get(p.g), get(p.x);
  r.message = text.substr(0, message_size);
  r.first_exception = text.substr(message_size, exception_size);
  r.reason = text.substr(message_size + exception_size);
}

}  // namespace detail

/// @brief Evaluates blocks of points on the ranks of a communicator.
///
/// The building block of kestro::mpi::minimize, for a caller that owns the
/// loop (such as one driving kestro::Solver by hand). Rank 0, the root,
/// calls evaluate() for each block and finish() at the end; every other rank
/// calls serve(), which evaluates the points the root hands it until the
/// root finishes. With a single rank, evaluate() runs the function on the
/// root itself, point after point.
///
/// The root makes MPI calls only from the thread that calls evaluate() and
/// finish(). The evaluator works on a duplicate of the communicator, so its
/// messages never meet the caller's.
class BlockEvaluator {
 public:
  /// @brief Sets up the evaluation; collective over @p comm.
  /// @param function The model, called on the workers (or on the root when
  ///        the communicator has one rank). An exception it throws makes the
  ///        point a failed one: NaN values, recorded in failures().
  /// @param variables Number of variables N of a point.
  /// @param objectives Number of objectives O.
  /// @param constraints Number of constraints M.
  /// @param comm The ranks to work on; rank 0 of it is the root.
  /// @throws kestro::Error (on every rank) when MPI is not initialised or
  ///         the ranks do not agree on N, O and M.
  BlockEvaluator(Function function, int variables, int objectives, int constraints,
                 MPI_Comm comm = MPI_COMM_WORLD)
      : function_(std::move(function)), n_(variables), o_(objectives), m_(constraints) {
    detail::check_initialized();
    MPI_Comm_dup(comm, &comm_);
    MPI_Comm_rank(comm_, &rank_);
    MPI_Comm_size(comm_, &size_);
    int sizes[6] = {n_, o_, m_, -n_, -o_, -m_}, highest[6];
    MPI_Allreduce(sizes, highest, 6, MPI_INT, MPI_MAX, comm_);
    if (highest[0] != -highest[3] || highest[1] != -highest[4] || highest[2] != -highest[5] ||
        n_ < 1 || o_ < 1 || m_ < 0) {
      MPI_Comm_free(&comm_);
      throw Error(0,
                  "kestro::mpi: the ranks do not agree on the numbers of variables, "
                  "objectives and constraints");
    }
    point_.resize(std::size_t(n_) + 1);
    values_.resize(std::size_t(o_ + m_) + 2);
    outstanding_.assign(std::size_t(size_), -1);
  }

  /// @brief Ends the run as abandoned if the root has not finished it (the
  ///        workers' serve() then returns false) and frees the duplicated
  ///        communicator.
  ~BlockEvaluator() {
    int finalized = 0;
    MPI_Finalized(&finalized);
    if (finalized) return;
    if (rank_ == 0 && !finished_) stop(false);
    MPI_Comm_free(&comm_);
  }

  BlockEvaluator(const BlockEvaluator&) = delete;
  BlockEvaluator& operator=(const BlockEvaluator&) = delete;

  /// @brief This process's rank in the communicator.
  /// @return The rank, 0 for the root.
  int rank() const { return rank_; }

  /// @brief The number of ranks.
  /// @return The size of the communicator; the workers are ranks 1 .. size - 1.
  int size() const { return size_; }

  /// @brief Evaluates the points of a block on the workers; root only.
  /// @param x The L points of the block, point i at [i*N, (i+1)*N).
  /// @param f Receives L rows of O objective values, in block order.
  /// @param g Receives L rows of M constraint values, in block order.
  /// @throws std::logic_error when called on a worker, after finish(), or
  ///         with lengths that do not hold the same number of points.
  void evaluate(std::span<const double> x, std::span<double> f, std::span<double> g) {
    if (rank_ != 0 || finished_)
      throw std::logic_error("kestro::mpi::BlockEvaluator::evaluate: root only, before finish");
    const std::size_t l = x.size() / std::size_t(n_);
    if (x.size() != l * std::size_t(n_) || f.size() != l * std::size_t(o_) ||
        g.size() != l * std::size_t(m_) || l > std::size_t(INT_MAX))
      throw std::logic_error(
          "kestro::mpi::BlockEvaluator::evaluate: lengths of x, f and g "
          "do not hold the same number of points");
    failures_.clear();
    ranks_.assign(l, 0);
    if (size_ == 1) {
      for (std::size_t i = 0; i < l; ++i) evaluate_here(int(i), x, f, g);
      return;
    }
    const int points = int(l);
    int next = 0, received = 0;
    for (int worker = 1; worker < size_ && next < points; ++worker) send_point(worker, next++, x);
    while (received < points) {
      const int worker = receive_values(f, g, points);
      ++received;
      if (next < points) send_point(worker, next++, x);
    }
    std::sort(failures_.begin(), failures_.end(),
              [](const Failure& a, const Failure& b) { return a.index < b.index; });
  }

  /// @brief The points of the last block whose evaluation threw.
  /// @return Their failures, by index in the block.
  const std::vector<Failure>& failures() const { return failures_; }

  /// @brief Which rank evaluated each point of the last block.
  /// @return One rank per point, in block order.
  const std::vector<int>& evaluated_by() const { return ranks_; }

  /// @brief Tells the workers the run is over; root only, once.
  /// @param completed Passed on as the return value of the workers' serve():
  ///        true when the run ended normally, false when it was abandoned.
  void finish(bool completed = true) {
    if (rank_ != 0 || finished_)
      throw std::logic_error("kestro::mpi::BlockEvaluator::finish: root only, once");
    stop(completed);
  }

  /// @brief Evaluates the points the root hands this worker until the root
  ///        calls finish(); workers only.
  /// @return The root's @p completed argument of finish(): false when the
  ///         run was abandoned.
  /// @throws std::logic_error when called on the root.
  bool serve() {
    if (rank_ == 0) throw std::logic_error("kestro::mpi::BlockEvaluator::serve: workers only");
    std::span<double> f(values_.data() + 2, std::size_t(o_));
    std::span<double> g(values_.data() + 2 + o_, std::size_t(m_));
    std::string what;
    for (;;) {
      MPI_Status status;
      MPI_Probe(0, MPI_ANY_TAG, comm_, &status);
      if (status.MPI_TAG == detail::kStopTag) {
        int completed = 0;
        MPI_Recv(&completed, 1, MPI_INT, 0, detail::kStopTag, comm_, MPI_STATUS_IGNORE);
        return completed != 0;
      }
      MPI_Recv(point_.data(), n_ + 1, MPI_DOUBLE, 0, detail::kPointTag, comm_, MPI_STATUS_IGNORE);
      values_[0] = point_[0];
      values_[1] = call(std::span<const double>(point_.data() + 1, std::size_t(n_)), f, g, &what);
      MPI_Send(values_.data(), o_ + m_ + 2, MPI_DOUBLE, 0, detail::kValuesTag, comm_);
      if (values_[1] != 0)
        MPI_Send(what.data(), int(std::min<std::size_t>(what.size(), INT_MAX)), MPI_CHAR, 0,
                 detail::kTextTag, comm_);
    }
  }

 private:
  // Calls the function; 0 when it returned, 1 when it threw (values NaN).
  double call(std::span<const double> x, std::span<double> f, std::span<double> g,
              std::string* what) {
    try {
      function_(x, f, g);
      return 0;
    } catch (const std::exception& e) {
      *what = e.what();
    } catch (...) {
      *what = "an exception not derived from std::exception";
    }
    std::fill(f.begin(), f.end(), std::numeric_limits<double>::quiet_NaN());
    std::fill(g.begin(), g.end(), std::numeric_limits<double>::quiet_NaN());
    return 1;
  }

  void evaluate_here(int i, std::span<const double> x, std::span<double> f, std::span<double> g) {
    std::string what;
    if (call(x.subspan(std::size_t(i) * n_, std::size_t(n_)),
             f.subspan(std::size_t(i) * o_, std::size_t(o_)),
             g.subspan(std::size_t(i) * m_, std::size_t(m_)), &what) != 0)
      failures_.push_back(Failure{i, 0, std::move(what)});
  }

  void send_point(int worker, int i, std::span<const double> x) {
    point_[0] = double(i);
    std::copy_n(x.begin() + std::ptrdiff_t(std::size_t(i) * n_), n_, point_.begin() + 1);
    MPI_Send(point_.data(), n_ + 1, MPI_DOUBLE, worker, detail::kPointTag, comm_);
    outstanding_[std::size_t(worker)] = i;
  }

  // Receives the values of one point from whichever worker answers first,
  // puts them in place and returns that worker.
  int receive_values(std::span<double> f, std::span<double> g, int points) {
    MPI_Status status;
    MPI_Recv(values_.data(), o_ + m_ + 2, MPI_DOUBLE, MPI_ANY_SOURCE, detail::kValuesTag, comm_,
             &status);
    const int worker = status.MPI_SOURCE;
    const int i = outstanding_[std::size_t(worker)];
    if (i < 0 || i >= points || values_[0] != double(i))
      throw std::logic_error(
          "kestro::mpi::BlockEvaluator: a worker answered for a point it "
          "was not given");
    outstanding_[std::size_t(worker)] = -1;
    std::copy_n(values_.begin() + 2, o_, f.begin() + std::ptrdiff_t(std::size_t(i) * o_));
    std::copy_n(values_.begin() + 2 + o_, m_, g.begin() + std::ptrdiff_t(std::size_t(i) * m_));
    ranks_[std::size_t(i)] = worker;
    if (values_[1] != 0) failures_.push_back(Failure{i, worker, receive_text(worker)});
    return worker;
  }

  // Receives the what() text that follows the values of a point that threw,
  // whatever its length.
  std::string receive_text(int worker) {
    MPI_Status status;
    MPI_Probe(worker, detail::kTextTag, comm_, &status);
    int length = 0;
    MPI_Get_count(&status, MPI_CHAR, &length);
    std::string what(std::size_t(std::max(length, 0)), '\0');
    MPI_Recv(what.data(), length, MPI_CHAR, worker, detail::kTextTag, comm_, MPI_STATUS_IGNORE);
    return what;
  }

  // Collects what the workers still owe (when a block was cut short by an
  // exception on the root), then sends every worker the stop message.
  void stop(bool completed) {
    finished_ = true;
    for (int worker = 1; worker < size_; ++worker) {
      if (outstanding_[std::size_t(worker)] < 0) continue;
      MPI_Recv(values_.data(), o_ + m_ + 2, MPI_DOUBLE, worker, detail::kValuesTag, comm_,
               MPI_STATUS_IGNORE);
      if (values_[1] != 0) receive_text(worker);
      outstanding_[std::size_t(worker)] = -1;
    }
    int flag = completed ? 1 : 0;
    for (int worker = 1; worker < size_; ++worker)
      MPI_Send(&flag, 1, MPI_INT, worker, detail::kStopTag, comm_);
  }

  Function function_;
  int n_, o_, m_;
  MPI_Comm comm_ = MPI_COMM_NULL;
  int rank_ = 0, size_ = 1;
  bool finished_ = false;
  std::vector<double> point_, values_;
  std::vector<int> outstanding_, ranks_;
  std::vector<Failure> failures_;
};

/// @brief Minimises the problem with the points of each block evaluated on
///        the ranks of @p comm; collective: every rank calls it with the same
///        problem, function and options.
///
/// Rank 0 runs the solver (kestro::Solver) and hands the points out one at a
/// time to the other ranks, which call @p function; with a single rank this
/// is kestro::minimize (and options.threads and options.runs apply). With
/// several ranks options.threads is not used (start more ranks instead) and
/// options.runs must be 1 (kestro::Error otherwise). The run is
/// bit-identical to kestro::minimize with the same seed and options. An
/// exception thrown by the function on a worker makes its point a failed
/// one, counted as kestro::minimize counts it; Result::first_exception is
/// that of the first point, in block order, that threw.
///
/// @param problem The problem; rank 0's is the one solved, the others must
///        have the same numbers of variables, objectives and constraints.
/// @param function The model; it runs on the workers only (with one rank, on
///        rank 0).
/// @param options The options; rank 0's are used.
/// @param comm The ranks to work on.
/// @param stop Called on rank 0 only, after every block; returning true ends
///        the run as in kestro::minimize.
/// @return The same result on every rank (rank 0's, broadcast).
/// @throws kestro::Error on every rank when rank 0's problem or options are
///         refused (with the IFLAG code), MPI is not initialised or the ranks
///         disagree on the sizes; when rank 0 fails otherwise, before the
///         run (such as std::bad_alloc for the workspaces) or during it (its
///         stop callback throws), rank 0 throws that exception and the
///         workers throw kestro::Error with code 0.
inline Result minimize(const Problem& problem, const Function& function, const Options& options,
                       MPI_Comm comm = MPI_COMM_WORLD, const StopCallback& stop = {}) {
  detail::check_initialized();
  int rank = 0, size = 1;
  MPI_Comm_rank(comm, &rank);
  MPI_Comm_size(comm, &size);
  if (size == 1) return kestro::minimize(problem, function, options, stop);

  // Rank 0 starts the run; a refusal is thrown on every rank. Any other
  // failure to start (such as memory for the workspaces) reaches the caller
  // on rank 0 as it was thrown, and the workers as kestro::Error (code 0).
  std::optional<Solver> solver;
  int refused[2] = {0, 0};  // refused?, IFLAG
  std::string message;
  std::exception_ptr failure;
  if (rank == 0) {
    try {
      if (options.runs > 1)
        throw Error(0, "Options: runs = " + std::to_string(options.runs) +
                           " is not offered with several ranks: make the runs one at a time "
                           "(each on all ranks) or on threads with kestro::minimize");
      solver.emplace(problem, options);
    } catch (const Error& e) {
      refused[0] = 1, refused[1] = e.iflag(), message = e.what();
    } catch (const std::exception& e) {
      refused[0] = 1, failure = std::current_exception();
      message = std::string("kestro::mpi::minimize: rank 0 could not start the run: ") + e.what();
    } catch (...) {
      refused[0] = 1, failure = std::current_exception();
      message = "kestro::mpi::minimize: rank 0 could not start the run";
    }
  }
  MPI_Bcast(refused, 2, MPI_INT, 0, comm);
  if (refused[0]) {
    long long length = (long long)message.size();
    MPI_Bcast(&length, 1, MPI_LONG_LONG, 0, comm);
    message.resize(std::size_t(length));
    detail::broadcast_buffer(message.data(), length, MPI_CHAR, comm);
    if (failure) std::rethrow_exception(failure);
    throw Error(refused[1], message);
  }

  BlockEvaluator evaluator(function, problem.variables(), problem.objectives, problem.constraints,
                           comm);
  Result result;
  if (rank == 0) {
    const int l = solver->block_size(), o = solver->objectives(), m = solver->constraints();
    std::vector<double> f(std::size_t(l) * o), g(std::size_t(l) * m);
    long long exceptions = 0;
    std::string first_exception;
    bool stopping = false;
    while (!solver->done()) {
      evaluator.evaluate(solver->ask(), f, g);
      const std::vector<Failure>& failures = evaluator.failures();
      if (exceptions == 0 && !failures.empty()) first_exception = failures.front().what;
      exceptions += (long long)failures.size();
      solver->tell(f, g);
      if (!stopping && !solver->done() && stop &&
          stop(Progress{solver->evaluations(), solver->failed_evaluations(), solver->iflag()})) {
        solver->stop();
        stopping = true;
      }
    }
    evaluator.finish(true);
    result = solver->result();
    result.exceptions = exceptions;
    result.first_exception = first_exception;
    solver.reset();
  } else if (!evaluator.serve()) {
    throw Error(0, "kestro::mpi::minimize: the run was abandoned on rank 0");
  }
  detail::broadcast_result(result, rank, comm);
  return result;
}

}  // namespace mpi
}  // namespace kestro

#endif  // KESTRO_MPI_HPP
