// A caller of both entries with every array allocated before the run, at the
// lengths a run of L points, O objectives, N variables (the last quarter of
// them integers) and M constraints (the first an equality) needs: what the
// solver entry demands of RW and IW, and at least the search kernel's own
// minimum of RW. The model (evaluate) is the user's: a derived caller or the
// code around it fills F and G for the block in X.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "abi/internal_routines.h"

namespace kestro::testing {

struct EntryCaller {
  int l, o, n, ni, m, me, lrw, liw, lpf, iflag = 0, istop = 0;
  std::vector<double> x, f, g, xl, xu, rw, pf;
  std::vector<int> iw;
  double param[13] = {};

  // Bounds [-5, 5] for every variable, every point of the block at `start`
  // and PARAM(2) (the seed) as given.
  EntryCaller(int points, int objectives, int variables, int constraints, double start, double seed)
      : l(points),
        o(objectives),
        n(variables),
        ni(variables / 4),
        m(constraints),
        me(constraints > 0 ? 1 : 0) {
    const long entry = 120L * n + 20L * m + l * (m + 2L * o + 20) + o * (o + 20L) + 4990;
    const long kernel =
        5L * l + (m + 2L * o) * (l + 2) + 104L * n + 2L * l * o + o * (o + 6L) + 522;
    lrw = static_cast<int>(std::max(entry, kernel));
    liw = l + 3 * n + 990;
    lpf = o > 1 ? 1000 * (n + m + o) + 1 : 1;
    x.assign(static_cast<std::size_t>(l) * n, start);
    f.assign(static_cast<std::size_t>(l) * o, 0.0);
    g.assign(std::max<std::size_t>(1, static_cast<std::size_t>(l) * m), 0.0);
    xl.assign(n, -5.0);
    xu.assign(n, 5.0);
    rw.assign(lrw, 0.0);
    iw.assign(liw, 0);
    pf.assign(lpf, 0.0);
    param[1] = seed;
  }

  // One call of the solver entry.
  void solve() {
    kestro_(&l, &o, &n, &ni, &m, &me, x.data(), f.data(), g.data(), xl.data(), xu.data(), &iflag,
            &istop, param, rw.data(), &lrw, iw.data(), &liw, pf.data(), &lpf);
  }

  // One call of the reporting entry, with budgets that never end the run.
  void report(int stage, int printeval, int save2file) {
    int maxeval = 99999999, maxtime = 100000000, timediv = 0;
    kestro_print_(&stage, &printeval, &save2file, &iflag, &istop, f.data(), g.data(), x.data(),
                  xl.data(), xu.data(), &o, &n, &ni, &m, &me, rw.data(), pf.data(), &maxeval,
                  &maxtime, param, &l, &timediv);
  }
};

}  // namespace kestro::testing
