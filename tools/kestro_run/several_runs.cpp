#include "several_runs.hpp"

#include <cstdio>
#include <mutex>

#include "stop_signals.hpp"

namespace kestro_run {

kestro::Result run_several(const ProblemFile& file, const Blackbox& blackbox, bool quiet,
                           StatusLine& status) {
  kestro::Options options = file.options;
  options.threads = file.jobs;
  std::mutex log;
  const kestro::Function evaluate = [&](std::span<const double> x, std::span<double> f,
                                        std::span<double> g) {
    const Outcome r = blackbox.evaluate(x, f, g);
    // After a second stop signal the evaluations cut short are not news.
    if (!r.ok && !quiet && !stop_signals::aborted()) {
      std::lock_guard<std::mutex> lock(log);
      std::fprintf(stderr, "kestro-run: an evaluation failed: %s\n", r.why.c_str());
    }
  };
  bool told = false;
  // Called for one run at a time.
  return kestro::minimize(file.problem, evaluate, options, [&](const kestro::Progress& progress) {
    status.sync(progress);
    const bool interrupted = stop_signals::first() != 0;
    if (interrupted && !told) {
      std::fprintf(stderr, "kestro-run: interrupted, stopping the runs\n");
      told = true;
    }
    return interrupted;
  });
}

void print_runs(const kestro::Result& result) {
  std::printf("best run = %d\n", result.best_run);
  for (std::size_t k = 0; k < result.runs.size(); ++k) {
    const kestro::RunOutcome& run = result.runs[k];
    if (!run.ok()) {
      std::printf("run %zu: seed = %.17g, error: %s\n", k, run.seed, run.error.c_str());
      continue;
    }
    std::printf("run %zu: seed = %.17g, iflag = %d, f =", k, run.seed, run.result.iflag);
    for (double v : run.result.f) std::printf(" %.17g", v);
    std::printf(", feasible = %s, evaluations = %lld\n", run.result.feasible ? "yes" : "no",
                run.result.evaluations);
  }
}

}  // namespace kestro_run
