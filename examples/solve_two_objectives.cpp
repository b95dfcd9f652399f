// Solves a problem with two objectives, a constraint and an integer variable,
// and prints the Pareto front the library keeps in PF. The reporting entry
// kestro_print_ writes the progress to the screen (standard error) and the
// files KESTRO_SCREEN.TXT, KESTRO_SOLUTION.TXT and KESTRO_PARETOFRONT.TXT to
// the current directory.
//
//   minimise   F1(x) = (x1 - 1)^2 + x2^2 + 0.5 k
//              F2(x) = x1^2 + (x2 - 1)^2 + 0.5 (2 - k)
//   subject to G1(x) = 0.8 - x1 - x2 >= 0
//              -2 <= x1, x2 <= 2,  k in {0, 1, 2} (the last variable)
//
// Without the constraint the best trade-offs would lie on the segment from
// (1, 0) to (0, 1); the constraint pushes them onto the line x1 + x2 = 0.8.
// The integer k shifts cost from one objective to the other.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "kestro.h"

namespace {

// The model: both objectives and the constraint of one point.
void evaluate(const double* x, double* f, double* g) {
  const double x1 = x[0], x2 = x[1], k = x[2];
  f[0] = (x1 - 1) * (x1 - 1) + x2 * x2 + 0.5 * k;
  f[1] = x1 * x1 + (x2 - 1) * (x2 - 1) + 0.5 * (2 - k);
  g[0] = 0.8 - x1 - x2;
}

}  // namespace

int main() {
  // Sizes: L points per call, two objectives, three variables of which the
  // last is an integer, one inequality constraint.
  int l = 2, o = 2, n = 3, ni = 1, m = 1, me = 0;
  std::vector<double> xl = {-2, -2, 0}, xu = {2, 2, 2};

  // PARAM: 0 selects a default. PARETOMAX 0 keeps up to 1000 front entries.
  double param[13] = {};
  param[1] = 3;  // RANDOM-SEED

  // Workspaces of at least the documented lengths. PF holds the front: its
  // size in PF(1), then the objectives, constraints and variables of up to
  // P = 1000 entries.
  const int capacity = 1000;
  int lrw = 120 * n + 20 * m + l * (m + 2 * o + 20) + o * (o + 20) + 4990;
  int liw = l + 3 * n + 990;
  int lpf = capacity * (n + m + o) + 1;
  std::vector<double> rw(lrw), pf(lpf);
  std::vector<int> iw(liw);

  // Reporting: a progress line every 2000 evaluations, the three files, and
  // a budget of 20000 evaluations or 60 seconds.
  int printeval = 2000, save2file = 1, maxeval = 20000, maxtime = 60, timediv = 0;
  int iflag = 0, istop = 0;
  std::vector<double> x(l * n), f(l * o), g(l * m);
  for (int i = 0; i < l; ++i) {
    const double start[3] = {0, 0, 1};
    for (int j = 0; j < n; ++j) x[i * n + j] = start[j];
  }

  int stage = 1;
  kestro_print_(&stage, &printeval, &save2file, &iflag, &istop, f.data(), g.data(), x.data(),
                xl.data(), xu.data(), &o, &n, &ni, &m, &me, rw.data(), pf.data(), &maxeval,
                &maxtime, param, &l, &timediv);
  stage = 2;
  while (istop == 0) {
    for (int i = 0; i < l; ++i) evaluate(&x[i * n], &f[i * o], &g[i * m]);
    kestro_(&l, &o, &n, &ni, &m, &me, x.data(), f.data(), g.data(), xl.data(), xu.data(), &iflag,
            &istop, param, rw.data(), &lrw, iw.data(), &liw, pf.data(), &lpf);
    kestro_print_(&stage, &printeval, &save2file, &iflag, &istop, f.data(), g.data(), x.data(),
                  xl.data(), xu.data(), &o, &n, &ni, &m, &me, rw.data(), pf.data(), &maxeval,
                  &maxtime, param, &l, &timediv);
  }
  if (iflag >= 100) {
    std::printf("input error, IFLAG %d\n", iflag);
    return 1;
  }

  // The front: entry j has its objectives at PF(1 + (j-1)O + k), its
  // constraints at PF(1 + OP + (j-1)M + c) and its variables at
  // PF(1 + (O+M)P + (j-1)N + v) (positions counted from 1).
  const int size = static_cast<int>(pf[0]);
  std::vector<int> order(size);
  for (int j = 0; j < size; ++j) order[j] = j;
  std::sort(order.begin(), order.end(),
            [&](int a, int b) { return pf[1 + a * o] < pf[1 + b * o]; });

  std::printf("IFLAG %d; front size %d\n", iflag, size);
  std::printf("%12s %12s %12s %10s %10s %3s\n", "F1", "F2", "G1", "x1", "x2", "k");
  for (int j : order) {
    const double* fj = &pf[1 + j * o];
    const double* gj = &pf[1 + o * capacity + j * m];
    const double* xj = &pf[1 + (o + m) * capacity + j * n];
    std::printf("%12.6f %12.6f %12.6f %10.6f %10.6f %3.0f\n", fj[0], fj[1], gj[0], xj[0], xj[1],
                xj[2]);
  }
  std::printf("best compromise: F = (%.6f, %.6f) at x = (%.6f, %.6f, %.0f)\n", f[0], f[1], x[0],
              x[1], x[2]);
  return 0;
}
