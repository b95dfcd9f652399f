/* Calls the solver entry from C through kestro.h and checks that the codes
 * come back: a workspace error, an input error, a warning, and the end of a
 * run on request; the same through a run handle; and that an internal
 * routine is still exported from the shared library under its short name
 * (declared in the header that is not installed). */
#include <stdio.h>
#include <stdlib.h>

#include "abi/internal_routines.h"
#include "kestro.h"

static int failures = 0;

static void expect(int got, int want, const char* what) {
  if (got != want) {
    fprintf(stderr, "%s: got %d, want %d\n", what, got, want);
    ++failures;
  }
}

int main(void) {
  int l = 1, o = 1, n = 2, ni = 0, m = 1, me = 0;
  double x[2] = {0.5, 0.5}, f[1] = {1.0}, g[1] = {2.0};
  double xl[2] = {0.0, 0.0}, xu[2] = {1.0, 1.0};
  double param[13] = {0};
  int lrw = 120 * n + 20 * m + l * (m + 2 * o + 20) + o * (o + 20) + 4990;
  int liw = l + 3 * n + 990, lpf = 1;
  double* rw = calloc((size_t)lrw, sizeof *rw);
  int* iw = calloc((size_t)liw, sizeof *iw);
  double pf[1] = {0};
  int iflag = 0, istop = 0, short_lrw = lrw - 1, bad_n = 0;

  kestro_(&l, &o, &n, &ni, &m, &me, x, f, g, xl, xu, &iflag, &istop, param, rw, &short_lrw, iw,
          &liw, pf, &lpf);
  expect(iflag, 501, "LRW one short");
  expect(istop, 1, "istop after 501");

  iflag = 0;
  istop = 0;
  kestro_(&l, &o, &bad_n, &ni, &m, &me, x, f, g, xl, xu, &iflag, &istop, param, rw, &lrw, iw, &liw,
          pf, &lpf);
  expect(iflag, 102, "N = 0");

  iflag = 0;
  istop = 0;
  xu[1] = 0.0;
  x[1] = 0.0;
  kestro_(&l, &o, &n, &ni, &m, &me, x, f, g, xl, xu, &iflag, &istop, param, rw, &lrw, iw, &liw, pf,
          &lpf);
  expect(iflag, 71, "fixed variable warning");
  expect(istop, 0, "istop after warning");

  {
    /* A checkpoint of the run in progress, and back. */
    const char* path = "c_abi_check.ckpt";
    int status = -1, lextra = 1, saved_iflag = iflag;
    double extra[1] = {42.0}, saved_x0 = x[0];
    kestro_save_(path, &l, &o, &n, &ni, &m, &me, x, f, g, xl, xu, &iflag, &istop, param, rw, &lrw,
                 iw, &liw, pf, &lpf, extra, &lextra, &status);
    expect(status, 0, "save");
    x[0] = -1.0;
    extra[0] = 0.0;
    iflag = 12345;
    kestro_load_(path, &l, &o, &n, &ni, &m, &me, x, f, g, xl, xu, &iflag, &istop, param, rw, &lrw,
                 iw, &liw, pf, &lpf, extra, &lextra, &status);
    expect(status, 0, "load");
    expect(x[0] == saved_x0 && extra[0] == 42.0, 1, "arrays loaded");
    expect(iflag, saved_iflag, "iflag loaded");
    remove(path);
    kestro_load_(path, &l, &o, &n, &ni, &m, &me, x, f, g, xl, xu, &iflag, &istop, param, rw, &lrw,
                 iw, &liw, pf, &lpf, extra, &lextra, &status);
    expect(status, 4, "load of a missing file");
    expect(kestro_checkpoint_text(&status)[0] != '\0', 1, "status text");
  }

  iflag = -999;
  kestro_(&l, &o, &n, &ni, &m, &me, x, f, g, xl, xu, &iflag, &istop, param, rw, &lrw, iw, &liw, pf,
          &lpf);
  expect(iflag, 1, "stop request with a feasible best point");
  expect(istop, 1, "istop after the stop request");

  expect(i305_() == 1e98, 1, "LARGE");

  {
    /* A run handle: a fresh run on its own context stops on request as well. */
    kestro_context* run = kestro_context_create();
    expect(run != NULL, 1, "handle made");
    if (run != NULL) {
      x[0] = 0.5;
      x[1] = 0.0;
      xu[1] = 1.0;
      g[0] = 2.0;
      f[0] = 1.0;
      iflag = 0;
      istop = 0;
      kestro_context_solve(run, &l, &o, &n, &ni, &m, &me, x, f, g, xl, xu, &iflag, &istop, param,
                           rw, &lrw, iw, &liw, pf, &lpf);
      expect(istop, 0, "handle: first call");
      iflag = -999;
      kestro_context_solve(run, &l, &o, &n, &ni, &m, &me, x, f, g, xl, xu, &iflag, &istop, param,
                           rw, &lrw, iw, &liw, pf, &lpf);
      expect(istop, 1, "handle: istop after the stop request");
      kestro_context_free(run);
    }
  }
  free(rw);
  free(iw);
  if (failures == 0) printf("C ABI: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
