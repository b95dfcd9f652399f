// The solver's own cost per evaluation: a whole run's calls of the solver
// entry on a cheap model, so that the time is almost all the library's.
#include <benchmark/benchmark.h>

#include <vector>

#include "kestro.h"

namespace {

// A shifted sphere with two linear constraints, the last quarter integers.
void evaluate(int n, const double* x, double* f, double* g) {
  double s = 0, t = 0;
  for (int i = 0; i < n; ++i) {
    s += (x[i] - 0.7) * (x[i] - 0.7);
    t += x[i];
  }
  f[0] = s;
  g[0] = t - 1.0;       // an equality
  g[1] = 3.0 - x[0];    // an inequality
}

void BM_SolverCallPerEvaluation(benchmark::State& state) {
  int l = static_cast<int>(state.range(0)), o = 1, n = static_cast<int>(state.range(1));
  int ni = n / 4, m = 2, me = 1;
  int lrw = 120 * n + 20 * m + l * (m + 2 * o + 20) + o * (o + 20) + 4990;
  int liw = l + 3 * n + 990, lpf = 1, iflag = 0, istop = 0;
  std::vector<double> x(l * n, 0.0), f(l * o), g(l * m), xl(n, -5.0), xu(n, 5.0), rw(lrw),
      pf(1);
  std::vector<int> iw(liw);
  double param[13] = {};
  for (int i = 0; i < l; ++i) evaluate(n, &x[i * n], &f[i], &g[i * m]);
  kestro_(&l, &o, &n, &ni, &m, &me, x.data(), f.data(), g.data(), xl.data(), xu.data(),
          &iflag, &istop, param, rw.data(), &lrw, iw.data(), &liw, pf.data(), &lpf);
  for (auto _ : state) {
    for (int i = 0; i < l; ++i) evaluate(n, &x[i * n], &f[i], &g[i * m]);
    kestro_(&l, &o, &n, &ni, &m, &me, x.data(), f.data(), g.data(), xl.data(), xu.data(),
            &iflag, &istop, param, rw.data(), &lrw, iw.data(), &liw, pf.data(), &lpf);
    if (istop == 1) state.SkipWithError("the run ended");
  }
  state.SetItemsProcessed(state.iterations() * l);
}
BENCHMARK(BM_SolverCallPerEvaluation)
    ->Args({1, 10})
    ->Args({1, 100})
    ->Args({16, 10})
    ->Args({16, 100})
    ->Args({256, 20});

}  // namespace
