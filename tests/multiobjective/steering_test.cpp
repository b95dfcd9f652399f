// Best-point steering: points that dominate the best point look better than
// it, points it dominates look worse, and front members are injected.
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "abi/default_context.hpp"
#include "abi/internal_routines.h"
#include "interface/context.hpp"

namespace {

// One steering call on a two-objective point with one variable and no
// constraints, against the best point BF = (1, 1) with scalar value B = 2.
// The front has capacity 5; its bounds are (0, 0) .. (4, 4).
struct Steer {
  int o = 2, m = 0, n = 1, capacity = 5;
  std::vector<double> pf = std::vector<double>(1 + 5 * (2 + 0 + 1), 0.0);
  double s = 0.0;
  std::vector<double> f = {0, 0};
  double x = 0.0;
  double r = 0.0, accuracy = 0.001, best = 2.0, best_residual = 0.0;
  std::vector<double> bf = {1, 1}, lo = {0, 0}, hi = {4, 4}, weights = {1, 1};
  double balance = 0.0;
  int started = 666, mode = 1, added = 1, changed = 0, offered = 10;
  double relative = 0.0;

  // Front entries with ids 1, 2, ... in their variable.
  void front(std::initializer_list<std::vector<double>> entries) {
    int j = 0;
    for (const auto& e : entries) {
      pf[1 + j * o] = e[0];
      pf[2 + j * o] = e[1];
      pf[1 + (o + m) * capacity + j] = j + 1;
      ++j;
    }
    pf[0] = j;
  }

  void run() {
    double g_unused = 0.0;
    io17_(&o, &m, &n, &s, f.data(), &g_unused, &x, &r, &accuracy, &best, &best_residual, bf.data(),
          pf.data(), &capacity, lo.data(), hi.data(), weights.data(), &balance, &started, &mode,
          &added, &changed, &relative, &offered);
  }
};

constexpr double kJustBelow = 2.0 - 2.0 * 1e-8;

TEST(Steering, DominatedPointIsLiftedAboveTheBest) {
  Steer st;
  st.front({{0, 4}, {2, 2}, {4, 0}});
  st.f = {1.5, 1.2};
  st.s = 1.0;
  st.run();
  // B + max(abs(B), 1) * worse, worse = 0.5/1.5 + 0.2/1.2.
  EXPECT_NEAR(st.s, 2.0 + 2.0 * (0.5 / 1.5 + 0.2 / 1.2), 1e-15);
  EXPECT_EQ(st.f, (std::vector<double>{1.5, 1.2}));

  // Already above the best: left alone.
  st.s = 7.0;
  st.run();
  EXPECT_EQ(st.s, 7.0);
}

TEST(Steering, DominatingPointIsLoweredJustBelowTheBest) {
  Steer st;
  st.front({{0, 4}, {2, 2}});  // two entries: no injection
  st.f = {0.5, 0.8};
  st.s = 5.0;
  st.run();
  EXPECT_EQ(st.s, kJustBelow);
  EXPECT_EQ(st.f, (std::vector<double>{0.5, 0.8}));
}

TEST(Steering, PointEqualToTheBestGetsTheBestValue) {
  Steer st;
  st.front({{0, 4}, {2, 2}, {4, 0}});
  st.f = {1, 1};
  st.s = 3.0;
  st.run();
  EXPECT_EQ(st.s, 2.0);
}

TEST(Steering, TradeOffNotTakenIntoTheFrontIsLiftedJustAboveTheBest) {
  Steer st;
  st.front({{0, 4}, {2, 2}, {4, 0}});
  st.f = {0.5, 1.5};
  st.added = 0;
  st.s = 1.0;
  st.run();
  EXPECT_EQ(st.s, 2.0 + 2.0 * 1e-8);
}

// A trade-off point taken into the front while the best point BF = (0.4, 2)
// is on it: the user-weighted values without shift decide, a = 0.75 for the
// point (1, 1.5) against b = 1.0 for BF.
TEST(Steering, TradeOffWithTheBestOnTheFrontIsComparedByWeightedValue) {
  Steer st;
  st.bf = {0.4, 2};
  st.front({{0.4, 2}, {0, 4}, {4, 0}});
  st.f = {1, 1.5};
  st.s = 5.0;  // above the best although it is better weighted: lowered
  st.run();
  EXPECT_EQ(st.s, kJustBelow);
  // The entry with the smallest weighted value is the best point itself:
  // nothing to inject.
  EXPECT_EQ(st.f, (std::vector<double>{1, 1.5}));

  st.s = 1.0;         // below the best although it is worse weighted: lifted
  st.f = {0.2, 3.5};  // a = 0.05 + 0.875 + 0.825 = 1.75
  st.run();
  EXPECT_NEAR(st.s, 2.0 + 0.75, 1e-15);

  // Neither: every tenth such call hands over a front member, which is the
  // best point itself here; the count starts again.
  auto& count = kestro::abi::default_context().solver.multiobjective.steering.steer_count;
  count = 9;
  st.s = 2.0;
  st.run();
  EXPECT_EQ(count, 0);
  st.run();
  EXPECT_EQ(count, 1);
}

struct InjectionCase {
  std::string name;
  std::vector<std::vector<double>> entries;
  bool injected;
  std::vector<double> f;  // the point's objectives afterwards
  double id;              // its variable afterwards
};

void PrintTo(const InjectionCase& c, std::ostream* os) { *os << c.name; }

class Injection : public ::testing::TestWithParam<InjectionCase> {};

// A point that dominates the best point is lowered just below it and then
// replaced by the front entry with the smallest user-weighted value.
TEST_P(Injection, HandsTheKernelAFrontMemberOnlyFromThreeEntries) {
  const InjectionCase& ic = GetParam();
  Steer st;
  int j = 0;
  for (const auto& e : ic.entries) {
    st.pf[1 + j * 2] = e[0];
    st.pf[2 + j * 2] = e[1];
    st.pf[1 + 2 * st.capacity + j] = j + 1;
    ++j;
  }
  st.pf[0] = j;
  st.f = {0.5, 0.8};
  st.x = 99;
  st.s = 5.0;
  st.run();
  EXPECT_EQ(st.s, kJustBelow);
  EXPECT_EQ(st.f, ic.f);
  EXPECT_EQ(st.x, ic.id);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Injection,
    ::testing::Values(
        InjectionCase{"OneEntry", {{2, 2}}, false, {0.5, 0.8}, 99},
        InjectionCase{"TwoEntries", {{0, 4}, {2, 2}}, false, {0.5, 0.8}, 99},
        // (2, 2) is the balanced entry: normalised distance 1, no imbalance.
        InjectionCase{"ThreeEntries", {{0, 4}, {2, 2}, {4, 0}}, true, {2, 2}, 2},
        // (1, 3) and (3, 1) tie at 1.5: the later entry is taken.
        InjectionCase{"TieGoesToTheLaterEntry", {{0, 4}, {1, 3}, {3, 1}}, true, {3, 1}, 3},
        // The best point is already within 0.05 of the chosen entry.
        InjectionCase{"BestAlreadyThere", {{0, 4}, {1.01, 1.0}, {4, 0}}, false, {0.5, 0.8}, 99}),
    [](const auto& info) { return info.param.name; });

TEST(Steering, LargeBoundMovementInjectsStraightAway) {
  Steer st;
  st.front({{0, 4}, {2, 2}, {4, 0}});
  st.f = {3, 3};  // dominated by the best point, which would lift it
  st.s = 1.0;
  st.changed = 1;
  st.relative = 0.06;
  st.run();
  EXPECT_EQ(st.f, (std::vector<double>{2, 2}));
  EXPECT_EQ(st.s, kJustBelow);
}

struct NoSteeringCase {
  std::string name;
  double balance, r, best_residual;
  bool empty_front;
};

void PrintTo(const NoSteeringCase& c, std::ostream* os) { *os << c.name; }

class NoSteering : public ::testing::TestWithParam<NoSteeringCase> {};

TEST_P(NoSteering, LeavesThePointAsItIs) {
  const NoSteeringCase& nc = GetParam();
  Steer st;
  st.front({{0, 4}, {2, 2}, {4, 0}});
  if (nc.empty_front) st.pf[0] = 0;
  st.balance = nc.balance;
  st.r = nc.r;
  st.best_residual = nc.best_residual;
  st.started = 1;
  st.f = {0.5, 0.8};
  st.s = 5.0;
  st.run();
  EXPECT_EQ(st.s, 5.0);
  EXPECT_EQ(st.f, (std::vector<double>{0.5, 0.8}));
  EXPECT_EQ(st.started, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NoSteering,
    ::testing::Values(NoSteeringCase{"SingleObjectiveBalance", 2.0, 0.0, 0.0, false},
                      NoSteeringCase{"InfeasiblePoint", 0.0, 0.5, 0.0, false},
                      NoSteeringCase{"InfeasibleBestPoint", 0.0, 0.0, 0.5, false},
                      NoSteeringCase{"EmptyFront", 0.0, 0.0, 0.0, true}),
    [](const auto& info) { return info.param.name; });

}  // namespace
