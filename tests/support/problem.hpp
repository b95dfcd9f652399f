// A caller of the solver entry for tests: arrays allocated with exactly the
// lengths the call declares, so that the sanitizer build catches any access
// outside them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "abi/internal_routines.h"

namespace kestro::testing {

inline std::int64_t required_lrw(std::int64_t l, std::int64_t o, std::int64_t n, std::int64_t m) {
  return 120 * n + 20 * m + l * (m + 2 * o + 20) + o * (o + 20) + 4990;
}
inline std::int64_t required_liw(std::int64_t l, std::int64_t n) { return l + 3 * n + 990; }

inline std::size_t length(std::int64_t a, std::int64_t b = 1) {
  return (a > 0 && b > 0) ? static_cast<std::size_t>(a * b) : 0;
}

struct Caller {
  int l = 1, o = 1, n = 2, ni = 0, m = 0, me = 0;
  int lrw = 0, liw = 0, lpf = 1;
  int iflag = 0, istop = 0;
  std::vector<double> x, f, g, xl, xu, rw, pf;
  std::vector<int> iw;
  double param[13] = {};

  // Sizes the arrays for the current sizes: X, F, G at L*N, L*O, L*M, the
  // bounds at N, and the workspaces at the minimum lengths unless set.
  void allocate() {
    x.assign(length(l, n), 0.5);
    f.assign(length(l, o), 1.0);
    g.assign(length(l, m), 1.0);
    xl.assign(length(n), 0.0);
    xu.assign(length(n), 1.0);
    if (lrw == 0) lrw = static_cast<int>(required_lrw(l, o, n, m));
    if (liw == 0) liw = static_cast<int>(required_liw(l, n));
    rw.assign(length(lrw), 0.0);
    iw.assign(length(liw), 0);
    pf.assign(length(lpf), 0.0);
  }

  static Caller with_sizes(int l, int o, int n, int ni, int m, int me) {
    Caller c;
    c.l = l;
    c.o = o;
    c.n = n;
    c.ni = ni;
    c.m = m;
    c.me = me;
    c.allocate();
    return c;
  }

  void call() {
    kestro_(&l, &o, &n, &ni, &m, &me, ptr(x), ptr(f), ptr(g), ptr(xl), ptr(xu), &iflag, &istop,
            param, ptr(rw), &lrw, ptr(iw), &liw, ptr(pf), &lpf);
  }

  // Starts a run: IFLAG = 0, ISTOP = 0, one call.
  void start() {
    iflag = 0;
    istop = 0;
    call();
  }

 private:
  template <class T>
  static T* ptr(std::vector<T>& v) {
    return v.empty() ? nullptr : v.data();
  }
};

}  // namespace kestro::testing
