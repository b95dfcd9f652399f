// The switch between user weights and random weights: stagnation brings the
// random weights, progress brings the user weights back.
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "abi/default_context.hpp"
#include "abi/internal_routines.h"
#include "interface/context.hpp"
#include "multiobjective/weight_switch.hpp"
#include "support/colony_workspace.hpp"

namespace {

using kestro::testing::after_draws;
using kestro::testing::GeneratorState;
using kestro::testing::nth_draw;

struct LimitCase {
  std::string name;
  int n, stall_prev, psize, limit;
};

void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.name; }

class StagnationLimit : public ::testing::TestWithParam<LimitCase> {};

TEST_P(StagnationLimit, GrowsWithThePreviousStagnationAndShrinksWithTheFront) {
  const LimitCase& lc = GetParam();
  EXPECT_EQ(kestro::multiobjective::stagnation_limit(lc.n, lc.stall_prev, lc.psize), lc.limit);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StagnationLimit,
    ::testing::Values(LimitCase{"EmptyFront", 5, 0, 0, 100005},
                      LimitCase{"OneEntry", 5, 0, 1, 50005},
                      LimitCase{"TenEntries", 5, 0, 10, 995},  // trunc(100000 / 101)
                      LimitCase{"ManyVariablesCountAsHundred", 200, 2, 0, 100140},
                      LimitCase{"LargeFront", 7, 0, 1000, 7},
                      // 65536^2 + 1 wraps to 1 in 32-bit integers.
                      LimitCase{"SquareWrapsIn32Bits", 5, 0, 65536, 100005}),
    [](const auto& info) { return info.param.name; });

// ol001_ with three objectives, the second one ignored, and a stagnation
// limit of 1 (N = 1 and a front of 1000 entries).
struct Switch {
  int o = 3, n = 1, psize = 1000, weight_mode = 0;
  std::vector<double> rw = {0.2, 0.3};
  std::vector<int> ignored = {0, 1, 0};
  double random_shift = 0.0;
  std::vector<double> random_weights = {-7, -7, -7};

  void start() {
    const int mode = 0;
    const double unused = 0.0;
    const int flag = 0;
    ol001_(&mode, &o, &n, &unused, &unused, &flag, &psize, rw.data(), &weight_mode, ignored.data(),
           &random_shift, random_weights.data());
  }
  void book(double u, double z, int changed = 0) {
    const int mode = 1;
    ol001_(&mode, &o, &n, &u, &z, &changed, &psize, rw.data(), &weight_mode, ignored.data(),
           &random_shift, random_weights.data());
  }
  GeneratorState state() const { return {rw[0], rw[1]}; }
};

TEST(WeightSwitch, StartsWithUserWeightsAndUnitRandomWeights) {
  Switch sw;
  sw.start();
  EXPECT_EQ(sw.weight_mode, 1);
  EXPECT_EQ(sw.random_shift, 1e8);
  EXPECT_EQ(sw.random_weights, (std::vector<double>{1.0, 0.0, 1.0}));
  EXPECT_EQ(sw.state(), (GeneratorState{0.2, 0.3}));  // no draw
}

TEST(WeightSwitch, StagnationDrawsRandomWeightsOnePerObjective) {
  Switch sw;
  sw.start();
  sw.book(5.0, 100.0);  // the first value is progress
  EXPECT_EQ(sw.weight_mode, 1);
  const GeneratorState before = sw.state();
  sw.book(6.0, 100.0);  // no progress: one point of stagnation reaches the limit
  EXPECT_EQ(sw.weight_mode, 2);
  // Three draws, the ignored objective's included, in objective order.
  EXPECT_EQ(sw.random_weights,
            (std::vector<double>{nth_draw(before, 1), 0.0, nth_draw(before, 3)}));
  EXPECT_EQ(sw.state(), after_draws(before, 3));

  // In mode 2 an improving random-weighted value restarts the count ...
  const GeneratorState in_mode_two = sw.state();
  sw.book(7.0, 50.0);
  EXPECT_EQ(sw.weight_mode, 2);
  EXPECT_EQ(sw.state(), in_mode_two);
  // ... and a stagnating one draws new weights.
  sw.book(7.0, 60.0);
  EXPECT_EQ(sw.state(), after_draws(in_mode_two, 3));
  EXPECT_EQ(sw.random_weights,
            (std::vector<double>{nth_draw(in_mode_two, 1), 0.0, nth_draw(in_mode_two, 3)}));
}

TEST(WeightSwitch, ProgressOrAMovedBoundBringsTheUserWeightsBack) {
  Switch sw;
  sw.start();
  sw.book(5.0, 100.0);
  sw.book(6.0, 100.0);
  ASSERT_EQ(sw.weight_mode, 2);
  sw.book(4.0, 100.0);  // a new best user-weighted value
  EXPECT_EQ(sw.weight_mode, 1);

  // The stagnation before that progress lasted 1 point: the limit is now
  // 1 + 20 * 1 points.
  for (int i = 1; i <= 20; ++i) {
    sw.book(6.0, 100.0);
    ASSERT_EQ(sw.weight_mode, 1) << "point " << i;
  }
  sw.book(6.0, 100.0);
  ASSERT_EQ(sw.weight_mode, 2);

  // A moved bound is progress too, and the best user-weighted value still
  // follows a smaller point.
  sw.book(3.0, 100.0, 1);
  EXPECT_EQ(sw.weight_mode, 1);
  EXPECT_EQ(kestro::abi::default_context().solver.multiobjective.weight_switch.switch_best1, 3.0);
  sw.book(3.5, 100.0, 1);
  EXPECT_EQ(kestro::abi::default_context().solver.multiobjective.weight_switch.switch_best1, 3.0);
}

}  // namespace
