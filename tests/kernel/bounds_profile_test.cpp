#include <limits>

#include <gtest/gtest.h>

#include "kernel/bounds_profile.hpp"
#include "support/problem.hpp"

namespace {

using kestro::kernel::bounds_profile_code;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(BoundsProfile, CodesInTheirTestOrder) {
  struct Case {
    double x, xl, xu, expected;
  } cases[] = {
      {0.5, 0.5, 0.5, 90},    // fixed variable
      {0.0, 0.0, 21.0, 0},    // at XL
      {21.0, 0.0, 21.0, 22},  // at XU
      {10.5, 0.0, 21.0, 11},  // halfway
      {0.021, 0.0, 21.0, 0},  // within a thousandth of the range of XL
      {0.0211, 0.0, 21.0, 1},       {0.5, 0.0, 21.0, 1},
      {1.0, 0.0, 21.0, 1},  // the boundary belongs to the lower twenty-first
      {1.0000001, 0.0, 21.0, 2},    {20.9, 0.0, 21.0, 21},
      {21.0 + 2e-6, 0.0, 21.0, 91},  // above XU
      {-2e-6, 0.0, 21.0, 92},        // below XL
      {1.0, 3.0, 1.0, 92},           // below XL comes before crossed bounds
      {2.0, 2.0, 1.0, 91},           // above XU comes before crossed bounds
      {1.0, 1.0 + 5e-7, 1.0, 93},    // crossed bounds
      {0.5, kNaN, 1.0, 90},
  };
  for (const auto& c : cases)
    EXPECT_EQ(bounds_profile_code(c.x, c.xl, c.xu, -7.0), c.expected)
        << c.x << " in [" << c.xl << ", " << c.xu << "]";
}

TEST(BoundsProfile, KeepsTheOldEntryWhenNoTwentyFirstQualifies) {
  // Just above a tiny range, beyond every twenty-first but within 1e-6 of XU.
  EXPECT_EQ(bounds_profile_code(1e-9 + 5e-7, 0.0, 1e-9, -7.0), -7.0);
  EXPECT_EQ(bounds_profile_code(kNaN, 0.0, 1.0, 13.0), 13.0);
}

// After an input error the profile of the start point is written where the
// global-best record puts it, except after the workspace-length errors.
TEST(BoundsProfile, WrittenAfterInputErrorsButNotWorkspaceErrors) {
  struct Case {
    const char* name;
    int lrw_offset, liw_offset;
    double accuracy;
    int iflag;
    bool written;
  } cases[] = {
      {"AccuracyError", 0, 0, -1.0, 301, true},
      {"RwTooShort", -1, 0, 0.0, 501, false},
      {"IwTooShort", 0, -1, 0.0, 601, false},
  };
  for (const auto& cs : cases) {
    auto c = kestro::testing::Caller::with_sizes(1, 1, 2, 0, 1, 0);
    c.lrw += cs.lrw_offset;
    c.liw += cs.liw_offset;
    c.allocate();
    std::fill(c.rw.begin(), c.rw.end(), -5.0);
    c.x = {0.0, 1.0};
    c.param[0] = cs.accuracy;
    c.start();
    ASSERT_EQ(c.iflag, cs.iflag) << cs.name;
    const int best_base = 5 + 107 * 2 + 6 * 1 + 7 + 616;
    const int first = best_base + 2 + 1 + 6;  // best_base + N + M + 6
    EXPECT_EQ(c.rw[first - 1], cs.written ? 0.0 : -5.0) << cs.name;
    EXPECT_EQ(c.rw[first], cs.written ? 22.0 : -5.0) << cs.name;
  }
}

}  // namespace
