#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "abi/internal_routines.h"
#include "core/numeric.hpp"
#include "core/random.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Large, IsOneE98OnEveryCall) {
  EXPECT_EQ(i305_(), 1e98);
  EXPECT_EQ(i305_(), 1e98);
  EXPECT_EQ(kestro::compute_large_value(), 1e98);
}

struct NintCase {
  double x;
  int nint;
  int trunc;
};

TEST(Rounding, NintAndTruncFollowThe32BitRules) {
  const NintCase cases[] = {
      {2.5, 3, 2},
      {-2.5, -3, -2},
      {0.49999999999999994, 0, 0},
      {-0.5, -1, 0},
      {2147483647.0, 2147483647, 2147483647},
      {2147483647.4, 2147483647, 2147483647},
      {2147483647.5, INT32_MIN, 2147483647},
      {2147483647.9999998, INT32_MIN, 2147483647},
      {2147483648.0, INT32_MIN, INT32_MIN},
      {-1.9, -2, -1},
      {0.99, 1, 0},
      {-2147483648.0, INT32_MIN, INT32_MIN},
      {-2147483648.6, INT32_MIN, INT32_MIN},
      {-2147483649.0, INT32_MIN, INT32_MIN},
      {3e9, INT32_MIN, INT32_MIN},
      {1e99, INT32_MIN, INT32_MIN},
      {kNaN, INT32_MIN, INT32_MIN},
      {kInf, INT32_MIN, INT32_MIN},
      {-kInf, INT32_MIN, INT32_MIN},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(kestro::nint(c.x), c.nint) << "nint of " << c.x;
    EXPECT_EQ(kestro::trunc_to_int(c.x), c.trunc) << "trunc of " << c.x;
  }
}

TEST(Rounding, AnintIsARealNotLimitedTo32Bits) {
  EXPECT_EQ(kestro::anint(2.5), 3.0);
  EXPECT_EQ(kestro::anint(-2.5), -3.0);
  EXPECT_EQ(kestro::anint(3e9 + 0.5), 3000000001.0);
  EXPECT_EQ(kestro::anint(1e99), 1e99);
  EXPECT_TRUE(std::isnan(kestro::anint(kNaN)));
}

TEST(Generator, DrawReturnsSecondValueAndShifts) {
  double state[2] = {0.6, 0.7};
  EXPECT_EQ(o25_(state), 0.7);
  EXPECT_EQ(state[0], 0.7);
  EXPECT_EQ(state[1], 0.6 + 0.7 - 1.0);

  double low[2] = {0.2, 0.3};
  EXPECT_EQ(o25_(low), 0.3);
  EXPECT_EQ(low[0], 0.3);
  EXPECT_EQ(low[1], 0.5 + 0.123456789);
}

TEST(Generator, SumOfExactlyOneStaysOne) {
  double state[2] = {0.25, 0.75};
  o25_(state);
  EXPECT_EQ(state[1], 1.0);
}

TEST(Generator, PeekShowsTheNextDraw) {
  double state[2] = {0.1, 0.2};
  kestro::LaggedGenerator generator(state);
  for (int k = 0; k < 50; ++k) {
    const double next = generator.peek();
    EXPECT_EQ(generator.draw(), next);
  }
}

TEST(Generator, SeedingFollowsTheFormula) {
  double state[2];
  double param[13] = {0};
  ol003_(state, param);
  EXPECT_EQ(state[0], 0.3 / 1.0 + 0.123456789);
  EXPECT_EQ(state[1], 0.423456789 - 0.3 / 1.0);
  EXPECT_DOUBLE_EQ(state[0], 0.423456789);
  EXPECT_DOUBLE_EQ(state[1], 0.123456789);

  param[1] = 4.0;
  ol003_(state, param);
  EXPECT_EQ(state[0], 0.3 / 5.0 + 0.123456789);
  EXPECT_EQ(state[1], 0.423456789 - 0.3 / 3.0);
}

TEST(Generator, EqualSeedsGiveEqualSequences) {
  double a[2], b[2], param[13] = {0};
  param[1] = 12345.0;
  ol003_(a, param);
  ol003_(b, param);
  for (int k = 0; k < 1000; ++k) ASSERT_EQ(o25_(a), o25_(b));
  param[1] = 12346.0;
  ol003_(b, param);
  EXPECT_NE(o25_(a), o25_(b));
}

TEST(Comparisons, SameIsOneUnlessStrictlyOrdered) {
  const double one = 1.0, two = 2.0, nan = kNaN;
  EXPECT_EQ(same_(&one, &nan), 1);
  EXPECT_EQ(same_(&nan, &nan), 1);
  EXPECT_EQ(same_(&one, &one), 1);
  EXPECT_EQ(same_(&one, &two), 0);
  EXPECT_EQ(same_(&two, &one), 0);
  EXPECT_EQ(i301_(&one, &nan), 1);
  EXPECT_EQ(i301_(&one, &two), 0);
}

TEST(Comparisons, NanTest) {
  const double nan = kNaN, inf = kInf, one = 1.0;
  EXPECT_EQ(i304_(&nan), 1);
  EXPECT_EQ(i304_(&inf), 0);
  EXPECT_EQ(i304_(&one), 0);
}

TEST(Floor, BuiltFromNearestWholeNumber) {
  const double cases[][2] = {{-2.5, -3.0}, {2.5, 2.0},   {2.0, 2.0},  {-0.1, -1.0},
                             {0.7, 0.0},   {-3.5, -4.0}, {1e20, 1e20}};
  for (const auto& c : cases) EXPECT_EQ(io27_(&c[0]), c[1]) << "floor of " << c[0];
}

TEST(RelativeDifference, DivisorIsAtLeastOne) {
  const double cases[][3] = {
      {0.5, 0.25, 0.25}, {10.0, 5.0, 0.5}, {5.0, 10.0, 0.5}, {-4.0, 4.0, 2.0}, {0, 0, 0}};
  for (const auto& c : cases) EXPECT_EQ(rio5_(&c[0], &c[1]), c[2]);
}

TEST(FailedPoint, LargeObjectiveOrLargeNegativeConstraint) {
  const double f_ok = 1.0, f_large = 1e98, f_inf = kInf;
  const double g_ok[2] = {0.0, -1e97};
  const double g_bad[2] = {0.0, -1e98};
  int m2 = 2, m0 = 0;
  EXPECT_EQ(k31_(&f_ok, g_ok, &m2), 0);
  EXPECT_EQ(k31_(&f_large, g_ok, &m2), 1);
  EXPECT_EQ(k31_(&f_inf, g_ok, &m2), 1);
  EXPECT_EQ(k31_(&f_ok, g_bad, &m2), 1);
  // With no constraints only F counts, and G is never read.
  EXPECT_EQ(k31_(&f_ok, nullptr, &m0), 0);
  EXPECT_EQ(k31_(&f_large, nullptr, &m0), 1);
}

TEST(ObjectiveTarget, SetsSevenOnlyForAFeasiblePointAtOrBelowTarget) {
  double param[13] = {0};
  const double acc = 0.001;
  struct Case {
    double fstop, f, res;
    int expected;
  } cases[] = {
      {0.0, -100.0, 0.0, -1},  // target off
      {5.0, 5.0, 0.0, 7},      // at the target
      {5.0, 4.0, 0.001, 7},    // residual at ACC
      {5.0, 4.0, 0.0011, -1},  // infeasible
      {5.0, 5.1, 0.0, -1},     // above target
      {-2.0, -3.0, 0.0, 7},
  };
  for (const auto& c : cases) {
    param[2] = c.fstop;
    int state = -1;
    o22_(&c.f, param, &c.res, &acc, &state);
    EXPECT_EQ(state, c.expected) << c.fstop << " " << c.f << " " << c.res;
  }
}

}  // namespace
