// User weights from BALANCE, the scalar value of an objective vector, and
// the residual that decides feasibility.
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "abi/internal_routines.h"

namespace {

struct WeightCase {
  std::string name;
  double balance;
  std::vector<double> weights;  // expected, one per objective
};

void PrintTo(const WeightCase& c, std::ostream* os) { *os << c.name; }

class UserWeights : public ::testing::TestWithParam<WeightCase> {};

TEST_P(UserWeights, FollowTheDecimalDigitsOfBalance) {
  const WeightCase& wc = GetParam();
  const int o = static_cast<int>(wc.weights.size());
  std::vector<double> weights(o, -7.0);
  o6_(&o, weights.data(), &wc.balance);
  for (int k = 0; k < o; ++k) EXPECT_NEAR(weights[k], wc.weights[k], 1e-15) << "weight " << k + 1;
}

INSTANTIATE_TEST_SUITE_P(
    Table, UserWeights,
    ::testing::Values(
        // The second digit of 0.57 evaluates to 6.999999999999993 and counts as 7.
        WeightCase{"DigitsFiveSevenZero", 0.57, {5.0 / 7.0, 1.0, 0.0}},
        WeightCase{"QuarterWithThreeObjectives", 0.25, {0.4, 1.0, 0.0}},
        // Only the first eight digits count; objectives 9 and 10 get 0.
        WeightCase{"EightDigitsOfTen",
                   0.123456789,
                   {1 / 8.0, 2 / 8.0, 3 / 8.0, 4 / 8.0, 5 / 8.0, 6 / 8.0, 7 / 8.0, 1.0, 0.0, 0.0}},
        WeightCase{"HalfIgnoresTheSecond", 0.5, {1.0, 0.0}},
        WeightCase{"ZeroWeighsAllEqually", 0.0, {1.0, 1.0, 1.0}},
        WeightCase{"WholeBalanceWeighsAllEqually", 2.0, {1.0, 1.0, 1.0}},
        // No non-zero digit among the first min(O, 8): as for BALANCE = 0.
        WeightCase{"LeadingZeroDigitsOnly", 0.001, {1.0, 1.0}},
        WeightCase{"ZeroDigitsBeyondEight", 0.000000009, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}}),
    [](const auto& info) { return info.param.name; });

// weighted_distance_ is internal; o1_ gives the same value for BALANCE < 1.
double scalar(std::vector<double> f, double r, std::vector<double> lo, std::vector<double> hi,
              double shift, std::vector<double> w, int offered, double balance = 0.5) {
  const int o = static_cast<int>(f.size());
  const double acc = 0.001;
  double result = -7.0;
  o1_(&o, f.data(), &r, &acc, lo.data(), hi.data(), &balance, &shift, w.data(), &result, &offered);
  return result;
}

TEST(ScalarValue, FirstOfferedPointIsThePlainWeightedSum) {
  // abs(F) over the objectives with a positive weight, no shift.
  EXPECT_EQ(scalar({-3, 4, 5}, 0.0, {0, 0, 0}, {1, 1, 1}, -50.0, {1, 0.5, 0}, 1), 7.0);
}

TEST(ScalarValue, InfeasiblePointIsOnePlusTheWeightedSumWhateverTheShift) {
  for (double shift : {0.0, -50.0, 1e8})
    EXPECT_EQ(scalar({-3, 4, 5}, 0.5, {0, 0, 0}, {1, 1, 1}, shift, {1, 0.5, 0}, 7), 8.0);
}

TEST(ScalarValue, FeasiblePointIsNormalisedDistancePlusImbalancePlusShift) {
  // a1 = (2 - 0) / 4 = 0.5; a2 = 3 - 1 = 2, not normalised since lo = hi;
  // S = 2.5, mean 1.25, D = 0.75 + 0.75; S + D - 4 = 0.
  EXPECT_EQ(scalar({2, 3}, 0.0, {0, 1}, {4, 1}, -4.0, {1, 1}, 5), 0.0);
  // Balanced objectives carry no imbalance.
  EXPECT_EQ(scalar({2, 2}, 0.0, {0, 0}, {4, 4}, 0.0, {1, 1}, 5), 1.0);
  // An objective with weight 0 adds nothing to either sum.
  EXPECT_EQ(scalar({2, 3}, 0.0, {0, 1}, {4, 1}, 0.0, {1, 0}, 5), 0.5);
  // No objective with a positive weight: no imbalance term.
  EXPECT_EQ(scalar({2, 3}, 0.0, {0, 1}, {4, 1}, -4.0, {0, 0}, 5), -4.0);
}

TEST(ScalarValue, WholeBalanceReadsThatObjectiveAlone) {
  EXPECT_EQ(scalar({2, -3, 4}, 0.5, {0, 0, 0}, {1, 1, 1}, 0.0, {1, 1, 1}, 5, 2.0), -3.0);
  EXPECT_EQ(scalar({2, -3, 4}, 0.0, {0, 0, 0}, {1, 1, 1}, 0.0, {1, 1, 1}, 1, 3.7), 4.0);
}

struct ResidualCase {
  std::string name;
  std::vector<double> g;
  int me;
  double residual;
};

void PrintTo(const ResidualCase& c, std::ostream* os) { *os << c.name; }

class PointResidual : public ::testing::TestWithParam<ResidualCase> {};

TEST_P(PointResidual, CountsOnlyViolationsBeyondTheTolerance) {
  const ResidualCase& rc = GetParam();
  const int m = static_cast<int>(rc.g.size());
  const double acc = 0.001;
  double result = -7.0;
  i403_(rc.g.data(), &m, &rc.me, &acc, &result);
  EXPECT_DOUBLE_EQ(result, rc.residual);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PointResidual,
    ::testing::Values(ResidualCase{"EqualityAtTheTolerance", {0.001, -0.001}, 2, 0.0},
                      ResidualCase{"EqualityJustAbove", {0.0015, -0.002}, 2, 0.0035},
                      ResidualCase{"InequalityAtTheTolerance", {-0.001}, 0, 0.0},
                      ResidualCase{"InequalityBeyond", {-0.5, 3.0}, 0, 0.5},
                      ResidualCase{"Mixed", {0.25, -0.5, 7.0}, 1, 0.75},
                      ResidualCase{"NoConstraints", {}, 0, 0.0}),
    [](const auto& info) { return info.param.name; });

}  // namespace
