// The solver's own cost per evaluation: calls of the solver entry on cheap
// models, so that the time is almost all the library's, reported as CPU time
// per evaluation (counter per_eval, e.g. "190ns"); and the added cost of the
// reporting entry after every call.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "core/random.hpp"
#include "kestro.h"
#include "kestro.hpp"
#include "support/entry_caller.hpp"

namespace {

// A caller of both entries on a shifted sphere (with O objectives, shifted
// apart) and, with M > 0, one linear equality and M-1 linear inequalities;
// the last quarter of the variables are integers.
struct Caller : kestro::testing::EntryCaller {
  Caller(int points, int objectives, int variables, int constraints)
      : EntryCaller(points, objectives, variables, constraints, 0.0, 1.0) {}

  void evaluate() {
    for (int i = 0; i < l; ++i) {
      const double* p = &x[static_cast<std::size_t>(i) * n];
      for (int k = 0; k < o; ++k) {
        double s = 0;
        for (int j = 0; j < n; ++j) s += (p[j] - 0.7 - 0.1 * k) * (p[j] - 0.7 - 0.1 * k);
        f[static_cast<std::size_t>(i) * o + k] = s;
      }
      if (m == 0) continue;
      double* q = &g[static_cast<std::size_t>(i) * m];
      double t = 0;
      for (int j = 0; j < n; ++j) t += p[j];
      q[0] = t - 1.0;
      for (int j = 1; j < m; ++j) q[j] = 3.0 - p[j % n];
    }
  }

  void report(int stage, int save2file) { EntryCaller::report(stage, 1000, save2file); }

  // A new run: first call on the start block.
  void start() {
    iflag = 0;
    istop = 0;
    evaluate();
    solve();
  }
};

void set_per_evaluation(benchmark::State& state, int l) {
  state.SetItemsProcessed(state.iterations() * l);
  // CPU seconds per evaluation, printed with its unit (e.g. 190ns).
  state.counters["per_eval"] = benchmark::Counter(
      double(state.iterations()) * l, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// One call of kestro_ per iteration, model included (it is a few ns per
// point); a run that ends is started afresh outside the timing.
void BM_SolverPerEvaluation(benchmark::State& state) {
  Caller c(int(state.range(1)), int(state.range(2)), int(state.range(0)), int(state.range(3)));
  c.start();
  for (auto _ : state) {
    c.evaluate();
    c.solve();
    if (c.istop == 1) {
      state.PauseTiming();
      c.start();
      state.ResumeTiming();
    }
  }
  set_per_evaluation(state, c.l);
}
BENCHMARK(BM_SolverPerEvaluation)
    ->ArgNames({"N", "L", "O", "M"})
    ->ArgsProduct({{2, 10, 100, 1000}, {1, 16}, {1, 3}, {0, 10}});

// A directory of its own for the output files, removed at the end.
struct TempDirectory {
  std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::path path;
  TempDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestro_bench_XXXXXX").string();
    path = mkdtemp(pattern.data());
    std::filesystem::current_path(path);
  }
  ~TempDirectory() {
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(path);
  }
};

// The solver call followed by the reporting call (PRINTEVAL = 1000 and
// SAVE2FILE as given), with the screen output sent to /dev/null; compare with
// BM_SolverPerEvaluation for the added cost.
void BM_SolverAndReportPerEvaluation(benchmark::State& state) {
  TempDirectory directory;
  const int save2file = int(state.range(1));
  // The screen goes to /dev/null while the benchmark runs.
  std::fflush(stderr);
  const int saved_stderr = dup(2);
  const int null_device = open("/dev/null", O_WRONLY);
  if (null_device >= 0) dup2(null_device, 2);
  Caller c(1, 1, int(state.range(0)), 0);
  auto begin = [&] {
    c.report(1, save2file);
    c.start();
    c.report(2, save2file);
  };
  begin();
  for (auto _ : state) {
    c.evaluate();
    c.solve();
    c.report(2, save2file);
    if (c.istop == 1) {
      state.PauseTiming();
      begin();
      state.ResumeTiming();
    }
  }
  std::fflush(stderr);
  if (saved_stderr >= 0) dup2(saved_stderr, 2);
  if (saved_stderr >= 0) close(saved_stderr);
  if (null_device >= 0) close(null_device);
  set_per_evaluation(state, c.l);
}
BENCHMARK(BM_SolverAndReportPerEvaluation)
    ->ArgNames({"N", "SAVE2FILE"})
    ->ArgsProduct({{10, 100}, {0, 1, 2}});

// The lagged generator alone: each draw depends on the one before, so this is
// the latency of its arithmetic, the least a point of N variables costs the
// colony (one draw per variable).
void BM_GeneratorDraw(benchmark::State& state) {
  double pair[2] = {0.3, 0.7};
  kestro::LaggedGenerator generator(pair);
  double sum = 0.0;
  for (auto _ : state) {
    for (int i = 0; i < 100; ++i) sum += generator.draw();
  }
  benchmark::DoNotOptimize(sum);
  state.counters["per_draw"] = benchmark::Counter(
      double(state.iterations()) * 100, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_GeneratorDraw);

}  // namespace

// The front end's own cost: a whole run of kestro::minimize (one thread,
// L = 1, no output, a budget of kRunEvaluations) on a sphere of N variables,
// next to the same run through the bare solver entry alone; compare their
// per_eval counters.
constexpr int kRunEvaluations = 20000;

double sphere(const double* x, int n) {
  double s = 0;
  for (int j = 0; j < n; ++j) s += (x[j] - 0.7) * (x[j] - 0.7);
  return s;
}

void BM_MinimizePerEvaluation(benchmark::State& state) {
  const int n = int(state.range(0));
  kestro::Problem problem;
  problem.lower.assign(std::size_t(n), -5.0);
  problem.upper.assign(std::size_t(n), 5.0);
  kestro::Options options;
  options.seed = 1;
  options.maxeval = kRunEvaluations;
  long long evaluations = 0;
  for (auto _ : state) {
    const kestro::Result r = kestro::minimize(
        problem,
        [n](std::span<const double> x, std::span<double> f, std::span<double>) {
          f[0] = sphere(x.data(), n);
        },
        options);
    evaluations += r.evaluations;
    benchmark::DoNotOptimize(r.f[0]);
  }
  state.counters["per_eval"] = benchmark::Counter(
      double(evaluations), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MinimizePerEvaluation)->ArgName("N")->Arg(10)->Arg(100);

// The same run through kestro_ alone: workspaces made per run as minimize
// makes them, the budget counted by the caller.
void BM_BareEntryRunPerEvaluation(benchmark::State& state) {
  const int n = int(state.range(0));
  long long evaluations = 0;
  for (auto _ : state) {
    Caller c(1, 1, n, 0);
    c.param[1] = 1;
    std::fill(c.x.begin(), c.x.end(), 0.0);
    c.ni = 0;
    int count = 0;
    c.f[0] = sphere(c.x.data(), n);
    ++count;
    c.solve();
    while (c.istop == 0) {
      c.f[0] = sphere(c.x.data(), n);
      if (++count >= kRunEvaluations - 1) c.iflag = -999;
      c.solve();
    }
    evaluations += count;
    benchmark::DoNotOptimize(c.f[0]);
  }
  state.counters["per_eval"] = benchmark::Counter(
      double(evaluations), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BareEntryRunPerEvaluation)->ArgName("N")->Arg(10)->Arg(100);
