// kestro-run: minimises a black-box command described by a TOML problem file.
//
// Exit status (the table of README "Exit status"):
//   0    the run ended (also when a first stop signal ended it early)
//   1    a failure of the runner itself (such as running out of memory)
//   2    an error in the arguments, the problem file or the checkpoint
//   3    an input error the library reports (its IFLAG and meaning are printed)
//   4    no evaluation succeeded: every one of the first evaluations failed
//        (the run is ended early with the first failure's cause, unless
//        fail_fast = false), or the run ended with a failed point as its
//        best (the summary is printed, with the cause on stderr)
//   5    the evaluation store cannot be used (it cannot be opened, is not a
//        Kestro store, has a newer schema or is a symbolic link; nothing was
//        evaluated)
//   128 + signal number: a stop signal with --checkpoint (the run is saved
//        and resumes with --resume; 130 for Ctrl-C, 143 for SIGTERM, 129 for
//        SIGHUP), or a second stop signal, which ends the run at once.
//
// Stop signals: SIGINT (Ctrl-C), SIGTERM and SIGHUP. The first one lets the
// block in flight finish, then ends the run with its best point (or, with
// --checkpoint, saves it). A second one kills the evaluations in flight
// with their process groups, removes their point files, saves the run as it
// was before the block in flight (with --checkpoint) and reports the best
// point evaluated so far. The store keeps the blocks told to the library
// before the signal; the block cut short by a second one is not written.
//
// --output-dir DIR: the report files (and any other file the runner writes
// of its own) go to DIR, made when missing; by default the current directory.
// With `runs = K` in [options] the K runs are made side by side
// (several_runs.hpp); that is refused with checkpoints and with --mpi.
//
// Every evaluation is written to the store (kestro-run.sqlite in the output
// directory unless --store or --no-store), one transaction per block; with
// --cache the points already evaluated for the same problem are served from
// it instead of running the black box. With `runs = K` no store is written:
// --store, --cache and --cache-failures are refused there (status 2).
//
// With --mpi, started by mpirun, rank 0 runs the run and the other ranks
// evaluate the points (mpi_job.hpp); SIGUSR1, which mpirun passes on, then
// requests the stop as Ctrl-C does (and gives its exit status, 130).
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <CLI/CLI.hpp>

#include "blackbox.hpp"
#include "checkpointing.hpp"
#include "kestro.hpp"
#include "mpi_job.hpp"
#include "problem_file.hpp"
#include "result_files.hpp"
#include "several_runs.hpp"
#include "status_line.hpp"
#include "stop_signals.hpp"
#include "store.hpp"
#include "summary.hpp"

namespace {

constexpr int kNoEvaluationSucceeded = 4;
constexpr int kStoreUnusable = 5;

// The exit status after a stop signal: 128 + its number; SIGUSR1, which
// stands in for Ctrl-C under mpirun, as SIGINT.
int exit_status(int signal) { return 128 + (signal == SIGUSR1 ? SIGINT : signal); }

// Empty when `path` may be read as a file; else why not. A FIFO would block
// the read, a directory is no problem file.
std::string not_a_file(const std::string& path, const char* what) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) return {};
  const char* kind = S_ISDIR(info.st_mode)                            ? "a directory"
                     : S_ISFIFO(info.st_mode)                         ? "a FIFO"
                     : S_ISSOCK(info.st_mode)                         ? "a socket"
                     : S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) ? "a device"
                                                                      : "not a regular file";
  return std::string(what) + " " + path + " is " + kind + ", not a regular file";
}

int library_error(int iflag, const std::string& message) {
  std::fprintf(stderr, "kestro-run: the library refuses the input: IFLAG %d: %s\n  %s\n", iflag,
               kestro::iflag_text(iflag).c_str(), message.c_str());
  return 3;
}

// Writes the result files to the output directory and names them in the
// summary; a file that cannot be written is reported on stderr.
void write_results(const kestro_run::ProblemFile& file, const kestro::Result& result) {
  const int o = file.problem.objectives;
  const kestro_run::WrittenFiles written =
      kestro_run::write_result_files(file.options.output_dir, file.names, result, o);
  if (o > 1) std::printf("pareto front = %zu points\n", result.pareto_front.size());
  std::printf("result files =");
  for (const std::string& path : written.paths) std::printf(" %s", path.c_str());
  std::printf("\n");
  std::fflush(stdout);
  if (!written.error.empty()) std::fprintf(stderr, "kestro-run: %s\n", written.error.c_str());
}

// The summary on the standard output, with one line per run of several;
// `failed`: the failed evaluations of this process (of a resumed run, those
// since the resume).
// `aborted_by`: the second stop signal that ended the run at once, or 0.
// Returns the exit status.
int summary(const kestro::Result& result, const kestro_run::ProblemFile& file,
            long long failed = -1, int aborted_by = 0) {
  if (failed < 0) failed = result.failed_evaluations;
  if (result.iflag >= 100) return library_error(result.iflag, "reported at the end of the run");
  kestro_run::print_summary(result, file);
  if (!result.runs.empty()) kestro_run::print_runs(result);
  write_results(file, result);
  if (failed > 0)
    std::fprintf(stderr, "kestro-run: %lld evaluations of the black box failed\n", failed);
  if (aborted_by != 0) return exit_status(aborted_by);
  if (result.best_failed) {
    std::fprintf(stderr, "kestro-run: %s\n", result.message.c_str());
    return kNoEvaluationSucceeded;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"kestro-run: minimise a black-box command described by a TOML problem file"};
  std::string path;
  int jobs = 0;
  bool quiet = false;
  bool mpi = false;
  app.add_option("problem", path, "the problem file (TOML)")->required();
  app.add_option("-j,--jobs", jobs, "evaluations at once (overrides the file's jobs)")
      ->check(CLI::Range(1, 4096));
  app.add_flag("-q,--quiet", quiet,
               "do not log the individual failed evaluations nor show the status line");
  std::string checkpoint, resume;
  long long checkpoint_every = 100;
  app.add_option("--checkpoint", checkpoint,
                 "save the run to this file every --checkpoint-every evaluations and on Ctrl-C");
  app.add_option("--checkpoint-every", checkpoint_every, "evaluations between two checkpoints")
      ->check(CLI::Range(1LL, 1000000000000LL));
  app.add_option("--resume", resume,
                 "continue the run saved in this file (saves go on there unless --checkpoint)");
  app.add_flag("--mpi", mpi, "evaluate on the ranks of an MPI job (start it with mpirun)");
  std::string output_dir;
  app.add_option("--output-dir", output_dir,
                 "write the report files to this directory (made when missing)");
  bool take_saved = false;
  app.add_flag("--take-saved", take_saved,
               "with --resume: go on with the file's bounds and options where they differ from "
               "the problem file's (else such a resume is refused)");
  std::string store_path;
  bool no_store = false, cache = false, cache_failures = false;
  CLI::Option* store_option =
      app.add_option("--store", store_path,
                     "the SQLite file every evaluation is written to (default "
                     "kestro-run.sqlite in the output directory); one that cannot be used "
                     "ends the run before any evaluation with exit status 5");
  app.add_flag("--no-store", no_store, "do not write the evaluations to a store")
      ->excludes(store_option);
  app.add_flag("--cache", cache,
               "take the values of points already evaluated for this problem from the store");
  app.add_flag("--cache-failures", cache_failures,
               "with the cache, serve failed evaluations from it too (implies --cache)");
  // The version of the library that is loaded, which is the runner's own.
  app.set_version_flag("-V,--version", "kestro-run " + kestro::version(),
                       "print the version and exit");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }
  cache = cache || cache_failures;
  if (no_store && cache) {
    std::fprintf(stderr, "kestro-run: --cache needs the store: drop --no-store\n");
    return 2;
  }

  kestro_run::MpiJob job(mpi, &argc, &argv);
  namespace stop_signals = kestro_run::stop_signals;
  // mpirun passes SIGUSR1 on to every rank (SIGINT ends the job): rank 0
  // stops the run, the workers carry on until it ends. Installed on every
  // rank as soon as MPI has started, before the ranks first wait for each
  // other (the agreement on the problem file).
  if (mpi) stop_signals::handle(SIGUSR1);

  if (!job.error().empty()) {
    std::fprintf(stderr, "kestro-run: %s\n", job.error().c_str());
    return 2;
  }
  kestro_run::ProblemFile file;
  std::string file_error;
  file_error = not_a_file(path, "the problem file");
  if (file_error.empty() && !resume.empty()) file_error = not_a_file(resume, "--resume:");
  try {
    if (file_error.empty()) file = kestro_run::read_problem_file(path);
  } catch (const kestro_run::InputError& e) {
    file_error = e.what();
  }
  if (!job.agree(file_error)) return 2;
  if (jobs > 0) file.jobs = jobs;
  if (!output_dir.empty()) file.options.output_dir = output_dir;
  if (file.options.runs > 1 && (mpi || !checkpoint.empty() || !resume.empty())) {
    std::fprintf(stderr,
                 "kestro-run: runs = %d cannot be combined with %s: make one run at a "
                 "time there\n",
                 file.options.runs, mpi ? "--mpi" : "checkpoints");
    return 2;
  }
  // The runs of several are not told apart in the evaluations the runner
  // sees: they are not stored, and asking for the store is refused.
  if (file.options.runs > 1) {
    if (!store_path.empty() || cache) {
      std::fprintf(stderr,
                   "kestro-run: runs = %d cannot be combined with %s: the evaluation "
                   "store keeps one run at a time\n",
                   file.options.runs, cache ? "--cache" : "--store");
      return 2;
    }
    no_store = true;
  }
  // The store is opened (by rank 0) before anything is evaluated.
  std::unique_ptr<kestro_run::Store> store;
  std::string store_error;
  if (!no_store && job.rank() == 0) {
    if (store_path.empty()) {
      // The default store goes to the output directory, made here when
      // missing (the report files go there too).
      std::filesystem::path dir = file.options.output_dir.empty() ? "." : file.options.output_dir;
      std::error_code ignored;  // a directory that cannot be made fails the opening below
      std::filesystem::create_directories(dir, ignored);
      store_path = (dir / "kestro-run.sqlite").string();
    }
    try {
      store = std::make_unique<kestro_run::Store>(store_path);
    } catch (const kestro_run::StoreError& e) {
      store_error = e.what();
    }
  }
  if (!job.agree(store_error)) return kStoreUnusable;
  if (!mpi && job.rank() == 0) kestro_run::follow_jobs(file);
  stop_signals::handle(SIGINT);
  // SIGTERM (batch systems, timeout, kill) and SIGHUP (a closed terminal) as
  // Ctrl-C; on MPI workers they keep their default, so that mpirun's end of
  // the job ends them.
  if (job.rank() == 0) {
    stop_signals::handle(SIGTERM);
    stop_signals::handle(SIGHUP);
  }

  const kestro_run::Blackbox blackbox(file.command, file.directory, file.timeout,
                                      file.problem.objectives, file.problem.constraints);
  kestro::Result result;
  long long failed = 0, cache_hits = 0;
  int aborted_by = 0;  // the second stop signal
  std::optional<kestro_run::StatusLine> status;
  if (checkpoint.empty()) checkpoint = resume;
  kestro_run::Checkpointing checkpoints(checkpoint, checkpoint_every);
  try {
    if (file.options.runs > 1) {
      status.emplace(!quiet, file.options.maxeval, file.problem.objectives, file.options.runs);
      const kestro::Result several = kestro_run::run_several(file, blackbox, quiet, *status);
      status.reset();  // the terminal is the report's and the summary's again
      return summary(several, file, -1, stop_signals::abort_signal());
    }
    if (job.serve_if_worker(blackbox, file.problem.variables(), file.problem.objectives,
                            file.problem.constraints))
      return 0;  // an MPI worker: rank 0 reports
    status.emplace(!quiet, file.options.maxeval, file.problem.objectives);
    std::unique_ptr<kestro::Solver> resumed;
    if (!resume.empty()) {
      try {
        resumed = std::make_unique<kestro::Solver>(
            file.problem, file.options, resume,
            take_saved ? kestro::Resume::take_saved : kestro::Resume::check);
      } catch (const kestro::CheckpointError& e) {
        std::fprintf(stderr, "kestro-run: %s\n", e.what());
        return 2;
      }
    }
    std::unique_ptr<kestro::Solver> fresh =
        resumed ? nullptr : std::make_unique<kestro::Solver>(file.problem, file.options);
    kestro::Solver& solver = resumed ? *resumed : *fresh;
    failed = solver.failed_evaluations();
    checkpoints.start_from(solver.evaluations());
    const int l = solver.block_size(), n = solver.variables(), o = solver.objectives(),
              m = solver.constraints();
    if (store) {
      kestro_run::RunDescription run;
      run.problem = kestro_run::describe_problem(file.command, file.directory, file.problem);
      run.options = kestro_run::describe_options(file.options);
      run.seed = file.options.seed;
      run.variables = n, run.integers = file.problem.integers, run.objectives = o;
      run.constraints = m, run.equalities = file.problem.equalities, run.block_size = l;
      try {
        store->begin_run(run, resumed ? solver.evaluations() : 0);
      } catch (const kestro_run::StoreError& e) {
        std::fprintf(stderr, "kestro-run: %s\n", e.what());
        return kStoreUnusable;
      }
    }
    std::vector<double> f(std::size_t(l) * o), g(std::size_t(l) * m);
    std::vector<kestro_run::Outcome> outcomes(static_cast<std::size_t>(l));
    std::vector<unsigned char> hit(std::size_t(l), 0);
    bool stopping = false;
    std::string first_failure;  // the cause of the run's first failed evaluation
    while (!solver.done()) {
      const std::span<const double> x = solver.ask();
      if (x.size() != std::size_t(l) * n) {
        std::fprintf(stderr, "kestro-run: internal error: block of unexpected size\n");
        return 1;
      }
      const int hits = cache ? store->lookup(x, f, g, hit, outcomes, cache_failures) : 0;
      std::string block_first_failure;
      const long long block_failed =
          job.evaluate_block(blackbox, x, f, g, l, n, file.jobs, quiet, solver.evaluations(),
                             &block_first_failure, outcomes, hit);
      if (first_failure.empty()) first_failure = block_first_failure;
      const int signal = stop_signals::first();
      if (signal != 0 && checkpoints.enabled()) {
        // The block in flight may have lost evaluations to the interrupt: the
        // run is saved as it was before it, and the resumed run evaluates it.
        if (!checkpoints.save(solver)) return 1;
        std::fprintf(stderr,
                     "kestro-run: interrupted (SIG%s); the run is saved in %s "
                     "(continue it with --resume %s)\n",
                     sigabbrev_np(signal), checkpoints.path().c_str(), checkpoints.path().c_str());
        if (!stop_signals::aborted()) return exit_status(signal);
      }
      if (stop_signals::aborted()) {
        // The run ends now with the best point evaluated so far: the points
        // of this block that were not evaluated count as failed ones.
        aborted_by = stop_signals::abort_signal();
        std::fprintf(stderr,
                     "kestro-run: second stop signal (SIG%s): the evaluations in flight "
                     "are killed, the run ends now\n",
                     sigabbrev_np(aborted_by));
        solver.stop(kestro::StopCause::interrupt);
        while (!solver.done()) {
          solver.tell(f, g);
          std::fill(f.begin(), f.end(), std::numeric_limits<double>::quiet_NaN());
          std::fill(g.begin(), g.end(), std::numeric_limits<double>::quiet_NaN());
        }
        break;
      }
      failed += block_failed;
      cache_hits += hits;
      if (store) store->write_block(solver.evaluations(), x, f, g, outcomes, hit);
      solver.tell(f, g);
      status->sync(solver.progress());
      if (file.options.fail_fast &&
          kestro::detail::all_first_failed(solver.evaluations(), solver.failed_evaluations(), l)) {
        std::fprintf(stderr, "kestro-run: %s\n",
                     kestro::EvaluationError(solver.evaluations(), first_failure).what());
        return kNoEvaluationSucceeded;
      }
      checkpoints.after_block(solver);
      if (signal != 0 && !stopping && !solver.done()) {
        std::fprintf(stderr, "kestro-run: interrupted, stopping the run (SIG%s)\n",
                     sigabbrev_np(signal));
        solver.stop(kestro::StopCause::interrupt);
        stopping = true;
      }
    }
    result = solver.result();
    // Cut short by a second stop signal with a checkpoint saved, the run
    // stays open in the store: --resume continues it there.
    if (store && !(aborted_by != 0 && checkpoints.enabled())) store->end_run(result, cache_hits);
  } catch (const kestro::EvaluationError& e) {
    // Every run of several ended early: none of its first evaluations succeeded.
    std::fprintf(stderr, "kestro-run: %s\n", e.what());
    return kNoEvaluationSucceeded;
  } catch (const kestro::Error& e) {
    if (e.iflag() > 0) return library_error(e.iflag(), e.what());
    std::fprintf(stderr, "kestro-run: %s\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kestro-run: %s\n", e.what());
    return 1;
  }
  status.reset();  // the terminal is the report's and the summary's again
  const int code = summary(result, file, failed, aborted_by);
  if (code == 0 && cache) std::printf("cache hits = %lld\n", cache_hits);
  if (store && store->failed_blocks() > 0)
    std::fprintf(stderr, "kestro-run: store %s: %lld blocks could not be written\n",
                 store->path().c_str(), store->failed_blocks());
  return code;
}
