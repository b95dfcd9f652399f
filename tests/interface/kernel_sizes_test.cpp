// The validation routine called directly: the sizes it fixes, the part of the
// workspaces it clears, and the checks a direct caller can reach.
#include <algorithm>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "support/guarded.hpp"
#include "support/problem.hpp"

namespace {

using kestro::testing::Guarded;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Direct {
  int l = 2, o = 1, n = 3, ni = 0, m = 2, me = 0;
  std::vector<double> x = std::vector<double>(6, 0.5), f = {1.0, 2.0}, g = {1.0, 1.0, 1.0, 1.0},
                      xl = {0, 0, 0}, xu = {1, 1, 1};
  double param[13] = {};
  int iflag = 0, istop = 0, k = -1, base = -1, iwk = -1, warn = -1;

  int best_base() const { return 5 * l + 107 * n + 6 * m + 7 * o + 616; }
  int kernel_lrw() const { return 5 * l + m * (l + 2) + 104 * n + 2 * l * o + o * (o + 6) + 522; }
  int kernel_liw() const { return l + 3 * n + 92; }

  void call(Guarded<double>& rw, Guarded<int>& iw) {
    int lrw = static_cast<int>(rw.size()), liw = static_cast<int>(iw.size());
    o19_(&l, &o, &n, &ni, &m, &me, x.data(), f.data(), g.data(), xl.data(), xu.data(), &iflag,
         &istop, param, rw.data(), &lrw, iw.data(), &liw, &k, &base, &iwk, &warn);
  }
};

TEST(KernelSizes, FixedOnSuccessAndWorkspaceClearedExactly) {
  Direct d;
  const int clear_end = d.best_base() + 2 * d.n + d.m + 3;
  Guarded<double> rw(clear_end + 10, 3.0);
  Guarded<int> iw(d.kernel_liw() + 10, 3);
  d.call(rw, iw);
  EXPECT_EQ(d.iflag, 0);
  EXPECT_EQ(d.istop, 0);
  EXPECT_EQ(d.warn, 0);
  EXPECT_EQ(d.k, 100);
  EXPECT_EQ(d.base, d.best_base());
  EXPECT_EQ(d.iwk, d.l + 2 * d.n + 31);
  for (int i = 1; i <= 9; ++i) EXPECT_EQ(rw[i - 1], 3.0) << "RW(" << i << ")";
  for (int i = 10; i <= clear_end; ++i) ASSERT_EQ(rw[i - 1], 0.0) << "RW(" << i << ")";
  EXPECT_EQ(rw[clear_end], 3.0);
  for (int i = 1; i <= d.kernel_liw(); ++i) ASSERT_EQ(iw[i - 1], 0) << "IW(" << i << ")";
  EXPECT_EQ(iw[d.kernel_liw()], 3);
  EXPECT_TRUE(rw.guards_intact());
  EXPECT_TRUE(iw.guards_intact());
}

TEST(KernelSizes, BestBaseCountsTheCallersConstraintsWithSeveralObjectives) {
  Direct d;
  d.o = 2;
  d.m = 1 + 2 * d.o;  // the kernel's block: one constraint and 2O columns
  d.f.assign(d.l * d.o, 1.0);
  d.g.assign(d.l * d.m, 1.0);
  Guarded<double> rw(20000);
  Guarded<int> iw(1000);
  d.call(rw, iw);
  EXPECT_EQ(d.iflag, 0);
  EXPECT_EQ(d.base, 5 * d.l + 107 * d.n + 6 * 1 + 7 * d.o + 616);
}

TEST(KernelSizes, WorkspaceCodesAtTheirBounds) {
  Direct d;
  // 502 and 602 at their stated minimum; the cleared area is longer than the
  // stated minimum for real workspaces, so a direct call must also cover it.
  const int clear_end = d.best_base() + 2 * d.n + d.m + 3;
  ASSERT_GT(clear_end, d.kernel_lrw());
  {
    Guarded<double> rw(clear_end - 1);
    Guarded<int> iw(d.kernel_liw());
    d.call(rw, iw);
    EXPECT_EQ(d.iflag, 502);
    EXPECT_EQ(d.istop, 1);
    EXPECT_TRUE(rw.guards_intact());
  }
  {
    Direct e;
    Guarded<double> rw(clear_end);
    Guarded<int> iw(e.kernel_liw() - 1);
    e.call(rw, iw);
    EXPECT_EQ(e.iflag, 602);
    EXPECT_TRUE(iw.guards_intact());
  }
  {
    Direct e;
    Guarded<double> rw(clear_end);
    Guarded<int> iw(e.kernel_liw());
    e.call(rw, iw);
    EXPECT_EQ(e.iflag, 0);
  }
}

TEST(KernelSizes, ModelNaNWarningsSeenOnlyWhenUncleaned) {
  Direct d;
  d.f[0] = kNaN;
  Guarded<double> rw(5000);
  Guarded<int> iw(500);
  d.call(rw, iw);
  EXPECT_EQ(d.iflag, 81);
  EXPECT_EQ(d.warn, 1);
  EXPECT_EQ(d.istop, 0);

  Direct e;
  e.g[1] = kNaN;  // point 1's second constraint
  e.call(rw, iw);
  EXPECT_EQ(e.iflag, 82);

  Direct later_point;
  later_point.g[2] = kNaN;  // point 2 is not checked
  later_point.call(rw, iw);
  EXPECT_EQ(later_point.iflag, 0);
}

TEST(KernelSizes, EarlierErrorEndsAtOnceAndNoObjectiveIsRefused) {
  Guarded<double> rw(5000, 3.0);
  Guarded<int> iw(500, 3);
  Direct d;
  d.iflag = 344;
  d.call(rw, iw);
  EXPECT_EQ(d.iflag, 344);
  EXPECT_EQ(d.k, -1);  // returned before the sizes were fixed
  EXPECT_EQ(d.warn, 0);
  EXPECT_EQ(rw[20], 3.0);

  Direct none;
  none.o = 0;
  none.f.clear();
  none.call(rw, iw);
  EXPECT_EQ(none.iflag, 101);
  EXPECT_EQ(none.istop, 1);
}

}  // namespace
