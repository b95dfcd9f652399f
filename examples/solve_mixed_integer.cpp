// Solves a small constrained mixed-integer problem through the caller's loop:
// the library proposes points, this program evaluates them, and the loop
// ends when the library sets ISTOP = 1. The reporting entry kestro_print_
// prints the progress and the final report on the standard error stream and
// stops the run when the evaluation budget is spent.
//
//   minimise   F(x) = (x1 - 1)^2 + (x2 - 2)^2 + (x3 - 3)^2 + x4^2
//   subject to G1(x) = x1 + x2 + x3 + x4 - 6 = 0        (an equality)
//              G2(x) = 8 - x1^2 - x2^2 - x4             (an inequality, G2 >= 0)
//              -5 <= x1, x2 <= 5, 0 <= x3, x4 <= 10, x3 and x4 whole numbers
#include <cstdio>
#include <vector>

#include "kestro.h"

namespace {

// The model: objective and constraints of one point.
void evaluate(const double* x, double* f, double* g) {
  f[0] = (x[0] - 1) * (x[0] - 1) + (x[1] - 2) * (x[1] - 2) + (x[2] - 3) * (x[2] - 3) + x[3] * x[3];
  g[0] = x[0] + x[1] + x[2] + x[3] - 6;
  g[1] = 8 - x[0] * x[0] - x[1] * x[1] - x[3];
}

}  // namespace

int main() {
  // Sizes: L points per call (evaluate them in parallel if you like), one
  // objective, four variables of which the last two are integers, two
  // constraints of which the first is an equality.
  int l = 4, o = 1, n = 4, ni = 2, m = 2, me = 1;
  std::vector<double> xl = {-5, -5, 0, 0}, xu = {5, 5, 10, 10};

  // Workspaces of at least the documented lengths; their contents do not matter.
  int lrw = 120 * n + 20 * m + l * (m + 2 * o + 20) + o * (o + 20) + 4990;
  int liw = l + 3 * n + 990, lpf = 1;
  std::vector<double> rw(lrw), pf(lpf);
  std::vector<int> iw(liw);

  // PARAM: 0 selects a default. Here: a seed, and a stop after 50000
  // evaluations without an improvement of at least 0.1 % (EVALSTOP 50000.001).
  double param[13] = {};
  param[1] = 7;          // RANDOM-SEED
  param[4] = 50000.001;  // EVALSTOP

  // L start points (all the same here), evaluated before the first call.
  std::vector<double> x(l * n), f(l * o), g(l * m);
  for (int i = 0; i < l; ++i) {
    const double start[4] = {0, 0, 5, 5};
    for (int j = 0; j < n; ++j) x[i * n + j] = start[j];
    evaluate(&x[i * n], &f[i * o], &g[i * m]);
  }

  // Reporting: a progress line every 10000 evaluations, no files (SAVE2FILE 1
  // would write KESTRO_SCREEN.TXT and KESTRO_SOLUTION.TXT), a budget of 200000
  // evaluations (checked after each block: the run ends one block beyond it)
  // and one hour of CPU time. STAGE 1 starts the run: it sets
  // IFLAG = ISTOP = 0 and prints the header.
  int printeval = 10000, save2file = 0, maxeval = 200000, maxtime = 3600, timediv = 0;
  int iflag = 0, istop = 0, evaluations = l;
  auto report = [&](int stage) {
    kestro_print_(&stage, &printeval, &save2file, &iflag, &istop, f.data(), g.data(), x.data(),
                  xl.data(), xu.data(), &o, &n, &ni, &m, &me, rw.data(), pf.data(), &maxeval,
                  &maxtime, param, &l, &timediv);
  };
  report(1);

  while (true) {
    kestro_(&l, &o, &n, &ni, &m, &me, x.data(), f.data(), g.data(), xl.data(), xu.data(), &iflag,
            &istop, param, rw.data(), &lrw, iw.data(), &liw, pf.data(), &lpf);
    // STAGE 2 after every call: progress, budgets (IFLAG = -999 asks the next
    // call to stop) and, once ISTOP = 1, the final report.
    report(2);
    if (istop == 1) break;
    for (int i = 0; i < l; ++i) evaluate(&x[i * n], &f[i * o], &g[i * m]);
    evaluations += l;
  }

  std::printf("IFLAG %d after %d evaluations\n", iflag, evaluations);
  std::printf("x = (%.6f, %.6f, %.0f, %.0f)\n", x[0], x[1], x[2], x[3]);
  std::printf("F = %.8f   G = (%.2e, %.6f)\n", f[0], g[0], g[1]);
  return iflag >= 100 ? 1 : 0;
}
