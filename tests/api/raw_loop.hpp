// The caller's loop written against the C ABI alone, as a C program would
// write it: workspaces of the documented lengths, kestro_print_ before the
// loop and after every call. The C++ API must give the same run.
#pragma once

#include <cmath>
#include <functional>
#include <vector>

#include "abi/internal_routines.h"
#include "kestro.hpp"

namespace kestro::testing {

// A model with the C loop's view: point x, values into f and g.
using RawModel = std::function<void(const double* x, double* f, double* g)>;

struct RawRun {
  std::vector<std::vector<double>> blocks;  // X after every call
  std::vector<double> x, f, g, pf;
  int iflag = 0, calls = 0;
  long long evaluations = 0;
};

// Runs the C loop for `problem` and `options`; when stop_after > 0, sets
// IFLAG = -999 after the call at which that many evaluations are reached.
inline RawRun raw_loop(const Problem& p, const Options& opt, const RawModel& model,
                       long long stop_after = 0) {
  int l = opt.block_size, o = p.objectives, n = p.variables(), ni = p.integers, m = p.constraints,
      me = p.equalities;
  int lrw = 120 * n + 20 * m + l * (m + 2 * o + 20) + o * (o + 20) + 4990;
  int liw = l + 3 * n + 990;
  const int capacity =
      std::fabs(opt.paretomax) >= 1 ? int(std::lround(std::fabs(opt.paretomax))) : 1000;
  int lpf = o > 1 ? capacity * (n + m + o) + 1 : 1;
  std::vector<double> rw(lrw), pf(lpf), x(l * n), f(l * o), g(std::max(l * m, 1));
  std::vector<int> iw(liw);
  std::vector<double> param = opt.param();
  std::vector<double> xl = p.lower, xu = p.upper;
  const std::vector<double> x0 = p.start_point();
  for (int i = 0; i < l; ++i)
    for (int j = 0; j < n; ++j) x[i * n + j] = x0[j];
  int printeval = opt.printeval, save2file = opt.save2file, maxeval = opt.maxeval,
      maxtime = opt.maxtime, timediv = 0, iflag = 0, istop = 0;
  auto print = [&](int stage) {
    kestro_print_(&stage, &printeval, &save2file, &iflag, &istop, f.data(), g.data(), x.data(),
                  xl.data(), xu.data(), &o, &n, &ni, &m, &me, rw.data(), pf.data(), &maxeval,
                  &maxtime, param.data(), &l, &timediv);
  };
  RawRun run;
  print(1);
  while (istop == 0) {
    for (int i = 0; i < l; ++i) model(&x[i * n], &f[i * o], &g[i * m]);
    run.evaluations += l;
    kestro_(&l, &o, &n, &ni, &m, &me, x.data(), f.data(), g.data(), xl.data(), xu.data(), &iflag,
            &istop, param.data(), rw.data(), &lrw, iw.data(), &liw, pf.data(), &lpf);
    ++run.calls;
    run.blocks.push_back(x);
    print(2);
    if (stop_after > 0 && istop == 0 && run.evaluations >= stop_after) {
      iflag = -999;
      stop_after = 0;
    }
  }
  run.x.assign(x.begin(), x.begin() + n);
  run.f.assign(f.begin(), f.begin() + o);
  run.g.assign(g.begin(), g.begin() + m);
  run.pf = pf;
  run.iflag = iflag;
  return run;
}

}  // namespace kestro::testing
