// The solver entry's own cost per call: cleaning the block and handing it on.
#include <benchmark/benchmark.h>

#include <vector>

#include "kestro.h"

namespace {

void BM_ContinuingCall(benchmark::State& state) {
  int l = static_cast<int>(state.range(0)), o = 1, n = 20, ni = 5, m = 10, me = 2;
  int lrw = 120 * n + 20 * m + l * (m + 2 * o + 20) + o * (o + 20) + 4990;
  int liw = l + 3 * n + 990, lpf = 1, iflag = 0, istop = 0;
  std::vector<double> x(l * n, 1.0), f(l * o, 1.0), g(l * m, 1.0), xl(n, 0.0),
      xu(n, 2.0), rw(lrw), pf(1);
  std::vector<int> iw(liw);
  double param[13] = {};
  kestro_(&l, &o, &n, &ni, &m, &me, x.data(), f.data(), g.data(), xl.data(),
          xu.data(), &iflag, &istop, param, rw.data(), &lrw, iw.data(), &liw,
          pf.data(), &lpf);
  for (auto _ : state) {
    kestro_(&l, &o, &n, &ni, &m, &me, x.data(), f.data(), g.data(), xl.data(),
            xu.data(), &iflag, &istop, param, rw.data(), &lrw, iw.data(), &liw,
            pf.data(), &lpf);
    benchmark::DoNotOptimize(x.data());
  }
  state.SetItemsProcessed(state.iterations() * l);
}
BENCHMARK(BM_ContinuingCall)->Arg(1)->Arg(16)->Arg(256);

}  // namespace
