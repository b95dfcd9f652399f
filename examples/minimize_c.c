/* The caller's loop in plain C: kestro_ proposes points, this program
 * evaluates them, kestro_print_ reports the run on the standard error stream
 * and applies the evaluation budget.
 *
 *   minimise   F(x) = 2 x1 + x2
 *   subject to G1 = x1^2 + x2 - 1.25 >= 0,  G2 = 1.6 - x1 - x2 >= 0
 *              0 <= x1 <= 1.6,  x2 in {0, 1}
 *
 * The optimum is F = 2 at (0.5, 1); within the feasibility tolerance 0.001
 * of G1 the solver may find x1 = sqrt(0.249) and F just below 2. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include "kestro.h"

static void evaluate(const double* x, double* f, double* g) {
  f[0] = 2 * x[0] + x[1];
  g[0] = x[0] * x[0] + x[1] - 1.25;
  g[1] = 1.6 - x[0] - x[1];
}

int main(void) {
  /* Sizes: blocks of 2 points, one objective, two variables (the last an
   * integer), two inequality constraints. */
  int l = 2, o = 1, n = 2, ni = 1, m = 2, me = 0;
  double xl[2] = {0, 0}, xu[2] = {1.6, 1};
  double x[4], f[2] = {0}, g[4] = {0}, pf[1] = {0};
  double param[13] = {0};
  int lpf = 1;
  int lrw = 120 * n + 20 * m + l * (m + 2 * o + 20) + o * (o + 20) + 4990;
  int liw = l + 3 * n + 990;
  double* rw = calloc((size_t)lrw, sizeof(double));
  int* iw = calloc((size_t)liw, sizeof(int));
  /* Reporting: a progress line every 5000 evaluations, no files, at most
   * 20000 evaluations and 60 CPU seconds. */
  int printeval = 5000, save2file = 0, maxeval = 20000, maxtime = 60, timediv = 0;
  int iflag = 0, istop = 0, stage = 1, i, evaluations = 0, ok;
  if (rw == NULL || iw == NULL) return 1;

  param[1] = 5; /* RANDOM-SEED */
  for (i = 0; i < l; ++i) {
    x[i * n] = 1.6;
    x[i * n + 1] = 0;
  }
  kestro_print_(&stage, &printeval, &save2file, &iflag, &istop, f, g, x, xl, xu, &o, &n, &ni, &m,
                &me, rw, pf, &maxeval, &maxtime, param, &l, &timediv);
  stage = 2;
  while (istop == 0) {
    for (i = 0; i < l; ++i) evaluate(&x[i * n], &f[i * o], &g[i * m]);
    evaluations += l;
    kestro_(&l, &o, &n, &ni, &m, &me, x, f, g, xl, xu, &iflag, &istop, param, rw, &lrw, iw, &liw,
            pf, &lpf);
    kestro_print_(&stage, &printeval, &save2file, &iflag, &istop, f, g, x, xl, xu, &o, &n, &ni, &m,
                  &me, rw, pf, &maxeval, &maxtime, param, &l, &timediv);
  }
  printf("IFLAG %d: %s\n", iflag, kestro_iflag_text(&iflag));
  printf("x = (%.6f, %.0f)  F = %.8f  after %d evaluations\n", x[0], x[1], f[0], evaluations);
  ok = iflag >= 1 && iflag <= 7 && g[0] >= -0.001 && g[1] >= -0.001 && fabs(f[0] - 2) < 5e-3;
  printf(ok ? "found the optimum\n" : "did not find the optimum\n");
  free(rw);
  free(iw);
  return ok ? 0 : 1;
}
