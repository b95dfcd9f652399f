#include "mpi_job.hpp"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

#ifdef KESTRO_RUN_MPI
#include "kestro_mpi.hpp"
#endif

namespace kestro_run {

#ifdef KESTRO_RUN_MPI

struct MpiJob::Evaluation {
  kestro::mpi::BlockEvaluator evaluator;
};

MpiJob::MpiJob(bool enabled, int* argc, char*** argv) : enabled_(enabled) {
  if (!enabled_) return;
  MPI_Init(argc, argv);
  MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
  MPI_Comm_size(MPI_COMM_WORLD, &size_);
}

MpiJob::~MpiJob() {
  if (!enabled_) return;
  evaluation_.reset();  // rank 0: tells the workers the run is over
  MPI_Finalize();
}

bool MpiJob::agree(const std::string& error_here) const {
  if (!enabled_) {
    if (!error_here.empty()) std::fprintf(stderr, "kestro-run: %s\n", error_here.c_str());
    return error_here.empty();
  }
  int ok = error_here.empty(), all_ok = 0, root_ok = ok;
  MPI_Allreduce(&ok, &all_ok, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
  MPI_Bcast(&root_ok, 1, MPI_INT, 0, MPI_COMM_WORLD);
  if (!ok && rank_ == 0) std::fprintf(stderr, "kestro-run: %s\n", error_here.c_str());
  if (!ok && rank_ != 0 && root_ok)
    std::fprintf(stderr, "kestro-run (rank %d): %s\n", rank_, error_here.c_str());
  return all_ok != 0;
}

bool MpiJob::serve_if_worker(const Blackbox& blackbox, int n, int o, int m) {
  if (!enabled_ || size_ == 1) return false;
  auto evaluate = [&blackbox](std::span<const double> x, std::span<double> f, std::span<double> g) {
    const Outcome outcome = blackbox.evaluate(x, f, g);
    if (!outcome.ok) throw std::runtime_error(outcome.why);
  };
  evaluation_.reset(new Evaluation{kestro::mpi::BlockEvaluator(evaluate, n, o, m)});
  if (rank_ == 0) return false;
  evaluation_->evaluator.serve();
  return true;
}

long long MpiJob::evaluate_block(const Blackbox& blackbox, std::span<const double> x,
                                 std::span<double> f, std::span<double> g, int l, int n, int jobs,
                                 bool quiet, long long first_index, std::string* first_failure,
                                 std::span<Outcome> outcomes, std::span<const unsigned char> skip) {
  if (!evaluation_)
    return blackbox.evaluate_block(x, f, g, l, n, jobs, quiet, first_index, first_failure, outcomes,
                                   skip);
  kestro::mpi::BlockEvaluator& evaluator = evaluation_->evaluator;
  const int o = int(f.size()) / l, m = int(g.size()) / l;
  // The points served from the cache stay out: the others are evaluated as
  // one shorter block and put back in their places.
  std::vector<int> place;
  for (int i = 0; i < l; ++i)
    if (skip.empty() || !skip[std::size_t(i)]) place.push_back(i);
  const std::size_t k = place.size();
  std::vector<double> xs(k * std::size_t(n)), fs(k * std::size_t(o)), gs(k * std::size_t(m));
  for (std::size_t j = 0; j < k; ++j)
    std::copy_n(x.begin() + std::ptrdiff_t(place[j]) * n, n, xs.begin() + std::ptrdiff_t(j) * n);
  if (k > 0) evaluator.evaluate(xs, fs, gs);
  for (std::size_t j = 0; j < k; ++j) {
    std::copy_n(fs.begin() + std::ptrdiff_t(j) * o, o, f.begin() + std::ptrdiff_t(place[j]) * o);
    std::copy_n(gs.begin() + std::ptrdiff_t(j) * m, m, g.begin() + std::ptrdiff_t(place[j]) * m);
    if (!outcomes.empty()) outcomes[std::size_t(place[j])] = Outcome{true, {}, -1};
  }
  if (k == 0) return 0;
  if (first_failure && !evaluator.failures().empty())
    *first_failure = evaluator.failures().front().what;
  for (const kestro::mpi::Failure& failure : evaluator.failures()) {
    const int i = place[std::size_t(failure.index)];
    if (!outcomes.empty()) outcomes[std::size_t(i)] = Outcome{false, failure.what, -1};
    if (!quiet)
      std::fprintf(stderr, "kestro-run: evaluation %lld failed: %s (rank %d)\n",
                   first_index + i + 1, failure.what.c_str(), failure.rank);
  }
  return (long long)evaluator.failures().size();
}

#else  // built without MPI

struct MpiJob::Evaluation {};

MpiJob::MpiJob(bool enabled, int*, char***) {
  if (enabled)
    error_ = "--mpi: this kestro-run was built without MPI (install OpenMPI and rebuild)";
}

MpiJob::~MpiJob() = default;

bool MpiJob::agree(const std::string& error_here) const {
  if (!error_here.empty()) std::fprintf(stderr, "kestro-run: %s\n", error_here.c_str());
  return error_here.empty();
}

bool MpiJob::serve_if_worker(const Blackbox&, int, int, int) { return false; }

long long MpiJob::evaluate_block(const Blackbox& blackbox, std::span<const double> x,
                                 std::span<double> f, std::span<double> g, int l, int n, int jobs,
                                 bool quiet, long long first_index, std::string* first_failure,
                                 std::span<Outcome> outcomes, std::span<const unsigned char> skip) {
  return blackbox.evaluate_block(x, f, g, l, n, jobs, quiet, first_index, first_failure, outcomes,
                                 skip);
}

#endif

}  // namespace kestro_run
