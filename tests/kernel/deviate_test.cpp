// The Gaussian deviate: the two tables and the index rule.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "abi/internal_routines.h"
#include "kernel/deviate.hpp"

namespace {

using kestro::kernel::deviate_table_a;
using kestro::kernel::deviate_table_b;
using kestro::kernel::deviate_table_index;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(DeviateTables, SpotEntriesAreThePrintedValues) {
  struct Entry {
    int k;
    double a, b;
  } entries[] = {
      {1, 0.207911799999, 0.260390399999},   {8, 0.994521999999, 0.787597599999},
      {15, -0.016538999999, 1.177410099999}, {16, -0.207911799999, 1.234617499999},
      {23, -0.994521999999, 1.706040699999}, {29, -0.207911799999, 2.608140199999},
      {30, -0.107911799999, 2.908140199999}, {31, 0.0, 0.0},
  };
  for (const auto& e : entries) {
    EXPECT_EQ(deviate_table_a(e.k), e.a) << "A(" << e.k << ")";
    EXPECT_EQ(deviate_table_b(e.k), e.b) << "B(" << e.k << ")";
  }
}

// A typo guard for the entries not spot-checked: every regular entry lies
// above its formula value in magnitude by less than 2e-7, with its sign.
TEST(DeviateTables, RegularEntriesSitJustAboveTheirFormula) {
  const double pi = std::acos(-1.0);
  for (int k = 1; k <= 29; ++k) {
    const double b = std::sqrt(-2.0 * std::log(1.0 - k / 30.0));
    EXPECT_GT(deviate_table_b(k) - b, 0.0) << "B(" << k << ")";
    EXPECT_LT(deviate_table_b(k) - b, 2e-7) << "B(" << k << ")";
    if (k == 15) continue;
    const double a = std::sin(2.0 * pi * k / 30.0);
    EXPECT_EQ(std::signbit(deviate_table_a(k)), std::signbit(a)) << "A(" << k << ")";
    EXPECT_GT(std::fabs(deviate_table_a(k)) - std::fabs(a), 0.0) << "A(" << k << ")";
    EXPECT_LT(std::fabs(deviate_table_a(k)) - std::fabs(a), 2e-7) << "A(" << k << ")";
  }
}

TEST(DeviateIndex, MaxOfOneAndTruncOf31UStaysWithinTheTable) {
  struct Case {
    double u;
    int index;
  } cases[] = {
      {0.0, 1},
      {0.03, 1},  // trunc gives 0
      {0.04, 1},
      {0.07, 2},  // 1.24 and 2.17
      {0.5, 15},
      {0.98, 30},  // 15.5 and 30.38
      {1.0, 31},   // a draw of exactly 1
      {2.0, 31},
      {-0.5, 1},  // outside [0, 1]
      {1e7, 31},
      // Beyond the 32-bit range trunc yields the lowest integer, as for NaN.
      {kNaN, 1},
      {1e300, 1},
      {-1e300, 1},
  };
  for (const auto& c : cases) EXPECT_EQ(deviate_table_index(c.u), c.index) << "u = " << c.u;
}

TEST(Deviate, ProductOfBAtTheFirstAndAAtTheSecondNumber) {
  struct Case {
    const char* name;
    double u1, u2, expected;
  } cases[] = {
      {"FirstRows", 0.0, 0.0, 0.260390399999 * 0.207911799999},
      {"Row15", 0.5, 0.5, 1.177410099999 * -0.016538999999},
      {"BThenA", 0.5, 0.0, 1.177410099999 * 0.207911799999},
      {"Row30", 0.98, 0.98, 2.908140199999 * -0.107911799999},
      {"FirstDrawOfOne", 1.0, 0.3, 0.0},
      {"SecondDrawOfOne", 0.3, 1.0, 0.0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(o16_(&c.u1, &c.u2), c.expected) << c.name;
    EXPECT_EQ(kestro::kernel::deviate(c.u1, c.u2), c.expected) << c.name;
  }
}

}  // namespace
