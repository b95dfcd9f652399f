#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "abi/internal_routines.h"
#include "kernel/archive.hpp"
#include "support/guarded.hpp"

namespace {

using kestro::testing::Guarded;

// ---- Oracle penalty --------------------------------------------------------

double penalty(double f, double res, double omega, double acc = 0.001) {
  double pen = std::numeric_limits<double>::quiet_NaN();
  o27_(&pen, &f, &res, &omega, &acc);
  return pen;
}

TEST(OraclePenalty, EachSideOfTheOracle) {
  struct Case {
    const char* name;
    double f, res, omega, expected;
  } cases[] = {
      {"AtTheOracleFeasible", 5, 0, 5, 0},
      {"AtTheOracleInfeasible", 5, 0.5, 5, 0.5},
      {"BelowFeasibleIsTheDistanceBelow", 3, 0, 5, -2},
      {"BelowWithinToleranceCountsAsFeasible", 3, 0.001, 5, -2},
      {"BelowInfeasibleIsTheResidual", 3, 0.25, 5, 0.25},
      {"AboveFeasibleIsTheDistanceAbove", 7, 0, 5, 2},
      {"AboveResidualBelowDistance", 7, 1, 5, 1.0 / 4 + 2 - 0.5},
      {"AboveResidualBeyondDistance", 7, 4, 5, 4.0 / 8 + 4 - 1},
      {"NegativeOracle", -1, 3, -4, 9.0 / 6 + 3 - 1.5},
  };
  for (const auto& c : cases) EXPECT_EQ(penalty(c.f, c.res, c.omega), c.expected) << c.name;
}

TEST(OraclePenalty, FormulasMeetAtResidualEqualToDistance) {
  const double omega = 10.0;
  for (double d : {2.0, 0.3, 1e-7, 12345.678, 1e12}) {
    const double f = omega + d;
    const double dd = f - omega;  // the distance as the routine sees it
    EXPECT_NEAR(penalty(f, dd, omega), dd, 2e-15 * dd) << "d = " << d;
    // Just below and just above, the two formulas continue with the same
    // slope of one half.
    for (double e : {-1e-9, 1e-9}) {
      const double res = dd * (1 + e);
      EXPECT_NEAR(penalty(f, res, omega), dd + 0.5 * (res - dd), 1e-12 * dd)
          << "d = " << d << ", e = " << e;
    }
  }
}

// ---- Archive ---------------------------------------------------------------

// A small archive of K = 4 members of N = 2 variables, laid out as the work
// area lays it out, in an RW that ends right after the penalties. Member j
// holds the point (10j, 10j + 1), F = 100 + j and residual j/8.
struct Archive {
  static constexpr int n = 2, k = 4, a0 = 3;
  static constexpr int af = a0 + n * k, ar = af + k, ap = ar + k, lrw = ap + k - 1;
  Guarded<double> rw{lrw, -7.0};

  explicit Archive(std::vector<double> penalties) {
    for (int j = 1; j <= k; ++j) {
      at(a0 + (j - 1) * n) = 10.0 * j;
      at(a0 + (j - 1) * n + 1) = 10.0 * j + 1;
      at(af + j - 1) = 100.0 + j;
      at(ar + j - 1) = j / 8.0;
      at(ap + j - 1) = penalties[j - 1];
    }
  }
  double& at(int position) { return rw[position - 1]; }

  // Member j as {x1, x2, F, residual, penalty}.
  std::vector<double> member(int j) {
    return {at(a0 + (j - 1) * n), at(a0 + (j - 1) * n + 1), at(af + j - 1), at(ar + j - 1),
            at(ap + j - 1)};
  }
  std::vector<double> all() {
    std::vector<double> v;
    for (int p = 1; p <= lrw; ++p) v.push_back(at(p));
    return v;
  }
  static std::vector<double> original(int j, double pen) {
    return {10.0 * j, 10.0 * j + 1, 100.0 + j, j / 8.0, pen};
  }

  void offer(const double* x, double f, double res, double pen, int length = lrw) {
    const int nn = n, kk = k, a = a0, b = af, c = ar, d = ap;
    o36_(&nn, &kk, rw.data(), &length, &a, &b, &c, &d, x, &f, &res, &pen);
  }
};

TEST(ArchiveInsert, GoesAheadOfEqualPenaltiesAndRefusesATieWithTheWorst) {
  const std::vector<double> penalties = {1, 2, 2, 5};
  // Slot contents afterwards: a member number, or 0 for the new point.
  struct Case {
    const char* name;
    double pen;
    std::vector<int> slots;
  } cases[] = {
      {"EqualToMiddleMembersGoesAheadOfBoth", 2, {1, 0, 2, 3}},
      {"EqualToTheBestGoesFirst", 1, {0, 1, 2, 3}},
      {"BelowAllGoesFirst", 0.5, {0, 1, 2, 3}},
      {"JustBelowTheWorstReplacesIt", 4.9, {1, 2, 3, 0}},
      {"TieWithTheWorstIsRefused", 5, {1, 2, 3, 4}},
      {"AboveTheWorstIsRefused", 6, {1, 2, 3, 4}},
      {"NaNIsRefused", std::numeric_limits<double>::quiet_NaN(), {1, 2, 3, 4}},
  };
  for (const auto& c : cases) {
    Archive a(penalties);
    const double x[] = {-1.5, -2.5};
    a.offer(x, 42.0, 0.75, c.pen);
    for (int slot = 1; slot <= Archive::k; ++slot) {
      const int from = c.slots[slot - 1];
      const auto expected = from == 0 ? std::vector<double>{-1.5, -2.5, 42.0, 0.75, c.pen}
                                      : Archive::original(from, penalties[from - 1]);
      EXPECT_EQ(a.member(slot), expected) << c.name << ", slot " << slot;
    }
    EXPECT_EQ(a.at(1), -7.0) << c.name;
    EXPECT_EQ(a.at(2), -7.0) << c.name;
    EXPECT_TRUE(a.rw.guards_intact()) << c.name;
  }
}

TEST(ArchiveInsert, EmptiedArchiveFillsFromTheTop) {
  const double sentinel = kestro::kernel::kEmptySlotPenalty;
  Archive a({sentinel, sentinel, sentinel, sentinel});
  const double x3[] = {3, 3}, x1[] = {1, 1}, x2[] = {2, 2}, far[] = {9, 9};
  a.offer(x3, 30, 0, 3);
  EXPECT_EQ(a.member(1), (std::vector<double>{3, 3, 30, 0, 3}));
  a.offer(x1, 10, 0, 1);
  a.offer(x2, 20, 0, 2);
  a.offer(far, 1e95, 0, 1e95);  // beyond the sentinel: refused
  EXPECT_EQ(a.member(1), (std::vector<double>{1, 1, 10, 0, 1}));
  EXPECT_EQ(a.member(2), (std::vector<double>{2, 2, 20, 0, 2}));
  EXPECT_EQ(a.member(3), (std::vector<double>{3, 3, 30, 0, 3}));
  EXPECT_EQ(a.member(4)[4], sentinel);
}

TEST(ArchiveInsert, ArchiveReachingPastLrwIsLeftAlone) {
  Archive a({1, 2, 3, 4});
  const auto before = a.all();
  const double x[] = {0, 0};
  a.offer(x, 0, 0, 0.5, Archive::lrw - 1);
  EXPECT_EQ(a.all(), before);
  EXPECT_TRUE(a.rw.guards_intact());
}

// ---- Local acceptance --------------------------------------------------------

struct Local {
  Archive archive{{0, 0, 0, 0}};
  std::vector<int> preset_i = std::vector<int>(16, 0);
  int l;
  Guarded<int> iw;

  // PRESET_I(5) = 1 and N = 2: the margin is a twelfth of the reference.
  explicit Local(int block, int liw = 0) : l(block), iw(liw > 0 ? liw : 31 + block, 7) {
    preset_i[4] = 1;
  }

  void set_best(double f, double res, double pen) {
    archive.at(Archive::af) = f;
    archive.at(Archive::ar) = res;
    archive.at(Archive::ap) = pen;
  }
  void judge(int i, const double* x, double f, double res, double pen) {
    const int n = Archive::n, lrw = Archive::lrw, liw = static_cast<int>(iw.size());
    const int a0 = Archive::a0, af = Archive::af, ar = Archive::ar, ap = Archive::ap;
    o13_(&l, &i, &n, archive.rw.data(), &lrw, iw.data(), &liw, &a0, &af, &ar, &ap, x, &f, &res,
         &pen, preset_i.data());
  }
  int cell(int position) { return iw[position - 1]; }
};

TEST(LocalAcceptance, MarginIsTheReferenceOverTenToTheFifthPresetPlusN) {
  // PRESET_I(5) = 1 and N = 2 give T = 12; PRESET_I(5) = 12 gives 1e12 + 2.
  struct Case {
    const char* name;
    int exponent;
    double best_f, best_res, best_pen;
    double f, res, pen;
    bool accepted;
  } cases[] = {
      {"FeasibleAtTheMarginIsRefused", 1, 12, 0, 99, 11, 0, -1e9, false},
      {"FeasibleBeyondTheMargin", 1, 12, 0, 99, 10.999, 0, 1e9, true},
      {"NegativeReferenceAtTheMarginIsRefused", 1, -12, 0, 99, -13, 0, -1e9, false},
      {"NegativeReferenceBeyondTheMargin", 1, -12, 0, 99, -13.001, 0, 1e9, true},
      {"ZeroReferenceNeedsASmallerF", 1, 0, 0, 99, 0, 0, -1e9, false},
      {"ZeroReferenceAnySmallerF", 1, 0, 0, 99, -1e-300, 0, 1e9, true},
      {"InfeasiblePointComparesPenalties", 1, 1e9, 0, 24, -1e9, 0.5, 22, false},
      {"InfeasiblePointBeyondThePenaltyMargin", 1, -1e9, 0, 24, 1e9, 0.5, 21.999, true},
      {"InfeasibleBestComparesPenalties", 1, 1e9, 0.5, 24, -1e9, 0, 22, false},
      {"InfeasibleBestBeyondThePenaltyMargin", 1, -1e9, 0.5, 24, 1e9, 0, 21.999, true},
      {"LargeExponent", 12, 1e12 + 2, 0, 99, 1e12 + 1, 0, -1e9, false},
      {"LargeExponentBeyondTheMargin", 12, 1e12 + 2, 0, 99, 1e12, 0, 1e9, true},
  };
  for (const auto& c : cases) {
    Local t(1);
    t.preset_i[4] = c.exponent;
    t.set_best(c.best_f, c.best_res, c.best_pen);
    const auto before = t.archive.all();
    const double x[] = {-4, -5};
    t.judge(1, x, c.f, c.res, c.pen);
    EXPECT_EQ(t.cell(32), c.accepted ? 1 : 0) << c.name;
    EXPECT_EQ(t.cell(31), c.accepted ? 1 : 0) << c.name;
    if (c.accepted) {
      EXPECT_EQ(t.archive.member(1), (std::vector<double>{-4, -5, c.f, c.res, c.pen})) << c.name;
      for (int j = 2; j <= Archive::k; ++j)
        EXPECT_EQ(t.archive.member(j), Archive::original(j, 0)) << c.name << ", member " << j;
    } else {
      EXPECT_EQ(t.archive.all(), before) << c.name;
    }
    EXPECT_TRUE(t.archive.rw.guards_intact()) << c.name;
    EXPECT_TRUE(t.iw.guards_intact()) << c.name;
  }
}

TEST(LocalAcceptance, BlockFlagIsSetAfterTheLastPoint) {
  const double x[] = {0, 0};
  {
    Local t(3);
    t.set_best(100, 0, 100);
    t.judge(1, x, 50, 0, 50);  // accepted: member 1 now has F = 50
    EXPECT_EQ(t.cell(32), 1);
    EXPECT_EQ(t.cell(31), 7);  // not yet the last point
    t.judge(2, x, 60, 0, 60);
    t.judge(3, x, 70, 0, 70);
    EXPECT_EQ(t.cell(33), 0);
    EXPECT_EQ(t.cell(34), 0);
    EXPECT_EQ(t.cell(31), 1);
    EXPECT_EQ(t.archive.member(1)[2], 50);
  }
  {
    Local t(2);
    t.set_best(100, 0, 100);
    t.judge(1, x, 100, 0, 0);
    t.judge(2, x, 100, 0, 0);
    EXPECT_EQ(t.cell(32), 0);
    EXPECT_EQ(t.cell(33), 0);
    EXPECT_EQ(t.cell(31), 0);
  }
}

TEST(LocalAcceptance, FlagsBeyondLiwAreNeitherReadNorWritten) {
  const double x[] = {0, 0};
  Local t(3, 32);  // room for IW(31) and the first point's flag only
  t.set_best(100, 0, 100);
  t.judge(1, x, 50, 0, 50);
  t.judge(2, x, 60, 0, 60);
  t.judge(3, x, 40, 0, 40);  // accepted, but its flag has no cell
  EXPECT_EQ(t.cell(32), 1);
  EXPECT_EQ(t.cell(31), 1);
  EXPECT_EQ(t.archive.member(1)[2], 40);
  EXPECT_TRUE(t.iw.guards_intact());
}

}  // namespace
