// kestro-run --mpi: the points of each block evaluated on the ranks of an MPI
// job. Rank 0 runs the runner as without MPI; every other rank runs the
// black box for the points rank 0 hands it, one at a time, and ends when the
// run ends. Without --mpi the job is inert and blocks are evaluated on
// threads as usual. The interface is free of MPI types, so that a build
// without MPI compiles the same main program (--mpi then reports that MPI is
// missing).
#ifndef KESTRO_RUN_MPI_JOB_HPP
#define KESTRO_RUN_MPI_JOB_HPP

#include <memory>
#include <span>
#include <string>

#include "blackbox.hpp"

namespace kestro_run {

class MpiJob {
 public:
  // Starts MPI when `enabled`; error() says why it could not.
  MpiJob(bool enabled, int* argc, char*** argv);
  // Ends the run for the workers (if rank 0 has not) and MPI.
  ~MpiJob();
  MpiJob(const MpiJob&) = delete;
  MpiJob& operator=(const MpiJob&) = delete;

  // Empty when the job is usable; otherwise why --mpi cannot be used.
  const std::string& error() const { return error_; }
  // This process's rank (0 without MPI) and the number of ranks (1).
  int rank() const { return rank_; }
  int size() const { return size_; }

  // Collective: true when no rank has an error; each error is printed on the
  // standard error stream, by rank 0 or, when rank 0 has none, by its rank.
  bool agree(const std::string& error_here) const;

  // Collective: sets up the evaluation of the black box on the ranks. On a
  // worker it evaluates points until rank 0 ends the run, then returns true:
  // the worker's part is done. On rank 0 (and without MPI) it returns false.
  bool serve_if_worker(const Blackbox& blackbox, int n, int o, int m);

  // Rank 0: evaluates the l points of a block on the workers (on `jobs`
  // threads when there are none) and logs each failed evaluation, in block
  // order, unless quiet. Returns the number of failed evaluations.
  // `outcomes` and `skip` as for Blackbox::evaluate_block (on the ranks the
  // times are not measured).
  long long evaluate_block(const Blackbox& blackbox, std::span<const double> x, std::span<double> f,
                           std::span<double> g, int l, int n, int jobs, bool quiet,
                           long long first_index, std::string* first_failure = nullptr,
                           std::span<Outcome> outcomes = {},
                           std::span<const unsigned char> skip = {});

 private:
  struct Evaluation;
  [[maybe_unused]] bool enabled_ = false;  // unused in a build without MPI
  int rank_ = 0, size_ = 1;
  std::string error_;
  std::unique_ptr<Evaluation> evaluation_;
};

}  // namespace kestro_run

#endif
