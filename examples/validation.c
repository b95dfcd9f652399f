/* What the solver says about a problem before any optimisation: a C program
 * that includes only kestro.h, links -lkestroR, and makes the first call of a
 * run for a few deliberately faulty inputs, printing the IFLAG it gets. */
#include <stdio.h>
#include <stdlib.h>

#include "kestro.h"

static int first_call(int n, int ni, double x0, double xl0, double xu0, double accuracy) {
  int l = 1, o = 1, m = 0, me = 0, iflag = 0, istop = 0, lpf = 1;
  int lrw = 120 * n + 20 * m + l * (m + 2 * o + 20) + o * (o + 20) + 4990;
  int liw = l + 3 * n + 990;
  double* x = malloc(sizeof(double) * (size_t)n);
  double* xl = malloc(sizeof(double) * (size_t)n);
  double* xu = malloc(sizeof(double) * (size_t)n);
  double* rw = calloc((size_t)lrw, sizeof(double));
  int* iw = calloc((size_t)liw, sizeof(int));
  double f = 0.0, g = 0.0, pf = 0.0, param[13] = {0};
  for (int i = 0; i < n; ++i) {
    x[i] = x0;
    xl[i] = xl0;
    xu[i] = xu0;
  }
  param[0] = accuracy;
  kestro_(&l, &o, &n, &ni, &m, &me, x, &f, &g, xl, xu, &iflag, &istop, param, rw, &lrw, iw, &liw,
          &pf, &lpf);
  free(x);
  free(xl);
  free(xu);
  free(rw);
  free(iw);
  return iflag;
}

int main(void) {
  printf("a sound problem:               IFLAG %d\n", first_call(3, 1, 1.0, 0.0, 4.0, 0.0));
  printf("start point below its bound:   IFLAG %d\n", first_call(3, 0, -1.0, 0.0, 4.0, 0.0));
  printf("negative ACCURACY:             IFLAG %d\n", first_call(3, 0, 1.0, 0.0, 4.0, -1.0));
  printf("integer start value 1.5:       IFLAG %d\n", first_call(3, 2, 1.5, 0.0, 4.0, 0.0));
  printf("a fixed variable (warning):    IFLAG %d\n", first_call(3, 0, 1.0, 1.0, 1.0, 0.0));
  return 0;
}
