// The multi-objective driver as a caller meets it through the solver entry:
// the set-up of a run from PARAM, the first-call checks that concern several
// objectives, failed evaluations, the front capacity, single-objective
// BALANCE, and determinism.
#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "abi/default_context.hpp"
#include "interface/context.hpp"
#include "support/multiobjective_run.hpp"

namespace {

using kestro::testing::Caller;
using kestro::testing::MultiObjectiveProblem;
using kestro::testing::MultiObjectiveRunner;
constexpr double kLarge = 1e98;
constexpr int kRunGoesOn = -3;

const kestro::multiobjective::DriverState& driver() {
  return kestro::abi::default_context().solver.multiobjective.driver;
}

// min (x1, (1 + x2) / x1) style trade-off, simple and smooth: O objectives
// of N = 2 variables in [0.1, 1], all points feasible.
MultiObjectiveProblem simple(int o) {
  MultiObjectiveProblem p;
  p.o = o;
  p.n = 2;
  p.xl = {0.1, 0.0};
  p.xu = {1.0, 1.0};
  p.x0 = {0.5, 0.5};
  p.model = [o](const double* x, double* f, double*) {
    f[0] = x[0];
    for (int k = 1; k < o; ++k) f[k] = (1 + x[1] + k) / x[0];
  };
  return p;
}

struct SetUpCase {
  std::string name;
  int o;
  double paretomax, epsilon, balance;
  double front_epsilon;
  int capacity;
  std::vector<double> weights;  // user weights; 0 marks an ignored objective below
  int ignore_zero_weights;
};

void PrintTo(const SetUpCase& c, std::ostream* os) { *os << c.name; }

class RunSetUp : public ::testing::TestWithParam<SetUpCase> {};

TEST_P(RunSetUp, FollowsParetomaxEpsilonAndBalance) {
  const SetUpCase& sc = GetParam();
  MultiObjectiveRunner r(simple(sc.o), sc.paretomax);
  r.c.param[10] = sc.epsilon;
  r.c.param[11] = sc.balance;
  r.start();
  EXPECT_EQ(r.c.iflag, kRunGoesOn);
  const auto& d = driver();
  EXPECT_EQ(d.front_epsilon, sc.front_epsilon);
  EXPECT_EQ(d.front_capacity, sc.capacity);
  EXPECT_EQ(d.ignore_zero_weights, sc.ignore_zero_weights);
  EXPECT_EQ(d.weight_mode, 1);
  EXPECT_EQ(d.mo_calls, 1);
  EXPECT_EQ(d.offered_count, 1);
  // The start point is the front's first entry when the front can hold one;
  // every bound then left LARGE.
  EXPECT_EQ(r.psize(), sc.capacity > 0 ? 1 : 0);
  EXPECT_EQ(d.front_shift, sc.capacity > 0 ? -2.0 * sc.o : 0.0);
  // The user weights live in the spare part of the front-minima region.
  const auto regions = kestro::RegionStarts::for_sizes(r.c.l, r.c.o, r.c.n, r.c.m);
  for (int k = 0; k < sc.o; ++k)
    EXPECT_NEAR(r.c.rw[regions.objlo_base - 1 + sc.o + k], sc.weights[k], 1e-15) << k;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RunSetUp,
    ::testing::Values(
        SetUpCase{"DefaultsTwoObjectives", 2, 0, 0, 0, 0.001, 1000, {1, 1}, 0},
        SetUpCase{"DefaultsThreeObjectives", 3, 0, 0, 0, 0.01, 1000, {1, 1, 1}, 0},
        SetUpCase{"GivenEpsilon", 3, 0, 0.2, 0, 0.2, 1000, {1, 1, 1}, 0},
        SetUpCase{"GivenCapacity", 2, 50, 0, 0.25, 0.001, 50, {0.4, 1}, 0},
        // A negative PARETOMAX with a fractional BALANCE: objective 2 has
        // weight 0 and takes no part in the dominance test.
        SetUpCase{"NegativeParetomaxIgnoresZeroWeights", 2, -50, 0, 0.10, 0.001, 50, {1, 0}, 1},
        SetUpCase{"NegativeBalanceWeighsByItsMagnitude", 2, 0, 0, -0.25, 0.001, 1000, {0.4, 1}, 0},
        // Within 1e-4 of zero without being zero: room for 1000 entries is
        // demanded, yet the front holds none.
        SetUpCase{"CapacityTruncatesToZero", 2, 0.00005, 0, 0, 0.001, 0, {1, 1}, 0}),
    [](const auto& info) { return info.param.name; });

TEST(RunSetUp, FstopIsSwitchedOffForScalarisedRuns) {
  struct {
    double balance, fstop_after;
  } cases[] = {{0.0, 0.0}, {0.5, 0.0}, {2.0, 1.0}};
  for (const auto& c : cases) {
    MultiObjectiveRunner r(simple(2));
    r.c.param[2] = 1.0;  // FSTOP
    r.c.param[11] = c.balance;
    r.start();
    EXPECT_EQ(r.c.iflag, kRunGoesOn);
    EXPECT_EQ(r.c.param[2], c.fstop_after) << "BALANCE " << c.balance;
  }
}

struct CheckCase {
  std::string name;
  int o, m, me;
  double balance, character, oracle;
  int iflag;
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }

class SeveralObjectivesChecks : public ::testing::TestWithParam<CheckCase> {};

TEST_P(SeveralObjectivesChecks, RefuseWhatTheLayerCannotServe) {
  const CheckCase& cc = GetParam();
  Caller c = Caller::with_sizes(1, cc.o, 3, 0, cc.m, cc.me);
  c.lpf = 1000 * (3 + std::max(cc.m, 0) + cc.o) + 1;
  c.allocate();
  c.param[11] = cc.balance;
  c.param[12] = cc.character;
  c.param[8] = cc.oracle;
  c.start();
  EXPECT_EQ(c.iflag, cc.iflag);
  EXPECT_EQ(c.istop, cc.iflag == kRunGoesOn ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SeveralObjectivesChecks,
    ::testing::Values(
        // BALANCE b >= 1 optimises objective trunc(b), which must exist.
        CheckCase{"BalanceNamesTheLastObjective", 2, 0, 0, 2.0, 0, 0, kRunGoesOn},
        CheckCase{"BalanceJustBelowThree", 2, 0, 0, 2.9999999, 0, 0, kRunGoesOn},
        CheckCase{"BalanceBeyondTheObjectives", 2, 0, 0, 3.0, 0, 0, 350},
        CheckCase{"NegativeBalanceBeyondTheObjectives", 2, 0, 0, -3.0, 0, 0, 350},
        CheckCase{"BalanceWithinThreeObjectives", 3, 0, 0, 3.0, 0, 0, kRunGoesOn},
        CheckCase{"OneObjectiveIgnoresBalance", 1, 0, 0, 5.0, 0, 0, kRunGoesOn},
        // The order of the PARAM checks is kept: ORACLE before BALANCE
        // before CHARACTER.
        CheckCase{"OracleFirst", 2, 0, 0, 3.0, 0, 2e99, 312},
        CheckCase{"BalanceBeforeCharacter", 2, 0, 0, 3.0, 5, 0, 350},
        // The caller's constraint counts are checked, not the kernel's,
        // which carry 2O more columns.
        CheckCase{"NegativeConstraintCount", 2, -1, 0, 0, 0, 0, 105},
        CheckCase{"MoreEqualitiesThanConstraints", 2, 1, 2, 0, 0, 0, 107},
        CheckCase{"EqualitiesWithinTheConstraints", 2, 2, 2, 0, 0, 0, kRunGoesOn}),
    [](const auto& info) { return info.param.name; });

// A failed workspace check: nothing is offered, the layer is not set up,
// and the kernel still writes the bounds profile of the start point.
TEST(FailedWorkspaceCheck, OffersNothingAndLeavesTheProfileToTheKernel) {
  Caller c = Caller::with_sizes(1, 2, 3, 0, 1, 0);
  c.lpf = 1000 * 6;  // one short
  c.allocate();
  std::fill(c.pf.begin(), c.pf.end(), 7.0);
  const std::vector<double> f = c.f, g = c.g;
  c.start();
  EXPECT_EQ(c.iflag, 344);
  EXPECT_EQ(c.istop, 1);
  for (double v : c.pf) ASSERT_EQ(v, 7.0);
  EXPECT_FALSE(driver().initialised);
  EXPECT_EQ(c.f, f);
  EXPECT_EQ(c.g, g);
  // best_base counts the caller's M; the kernel's record has M + 2O values.
  const int best_base = 5 * 1 + 107 * 3 + 6 * 1 + 7 * 2 + 616;
  const int profile = best_base + 3 + (1 + 2 * 2) + 6;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(c.rw[profile - 1 + i], 11.0) << i;  // 0.5 in [0, 1]
}

TEST(Blocks, NoPointsIsRefusedWithoutTouchingTheCallersValues) {
  Caller c = Caller::with_sizes(0, 2, 3, 0, 1, 0);
  c.lpf = 1000 * 6 + 1;
  c.allocate();
  c.start();
  EXPECT_EQ(c.iflag, 100);
  EXPECT_EQ(c.istop, 1);
}

// Per point the kernel sees its constraints, the magnitudes of its
// objectives and their sign flags, then one 0.0; and one scalar value.
TEST(KernelBlocks, CarryTheObjectivesAsMagnitudesAndSignFlags) {
  Caller c = Caller::with_sizes(2, 2, 2, 0, 1, 0);
  c.lpf = 1000 * 5 + 1;
  c.allocate();
  c.g = {1.0, -1.0};  // of the two start points only the first is feasible
  c.start();
  ASSERT_EQ(c.iflag, kRunGoesOn);
  ASSERT_EQ(driver().offered_count, 1);
  c.f = {-1, 2, 3, -4};
  c.g = {-0.5, -2};  // both infeasible: neither offered nor steered
  c.call();
  ASSERT_EQ(c.istop, 0);
  const auto regions = kestro::RegionStarts::for_sizes(c.l, c.o, c.n, c.m);
  const std::vector<double> expected = {-0.5, 1, 2, 1, 0, -2, 3, 4, 0, 1, 0.0};
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(c.rw[regions.gblock_base - 1 + i], expected[i]) << "position " << i + 1;
  // While only one point has been offered, the scalar value is the plain sum
  // of abs(F), even for an infeasible point; afterwards 1 is added.
  EXPECT_EQ(c.rw[regions.fblock_base - 1], 3.0);
  EXPECT_EQ(c.rw[regions.fblock_base], 7.0);
  c.f = {-1, 2, 3, -4};
  c.g = {0.5, -2};  // the first point is the second one offered
  c.call();
  EXPECT_EQ(driver().offered_count, 2);
  EXPECT_EQ(c.rw[regions.fblock_base], 8.0);
}

// Points whose second objective failed (NaN, counted as LARGE) or whose
// constraint failed never reach the front.
TEST(FailedEvaluations, NeverReachTheFront) {
  MultiObjectiveProblem p = simple(2);
  p.m = 1;
  p.model = [](const double* x, double* f, double* g) {
    f[0] = x[0];
    f[1] = x[0] > 0.6 ? std::numeric_limits<double>::quiet_NaN() : (1 + x[1]) / x[0];
    g[0] = x[1] > 0.9 ? -std::numeric_limits<double>::infinity() : 1.0;
  };
  MultiObjectiveRunner r(p);
  r.c.param[1] = 4;
  r.run(3000);
  ASSERT_GT(r.psize(), 5);
  for (const auto& e : r.front()) {
    EXPECT_LE(e.x[0], 0.6);
    EXPECT_LE(e.x[1], 0.9);
    EXPECT_LT(e.f[1], kLarge);
    EXPECT_EQ(e.g[0], 1.0);
  }
  // The returned point is a sound one.
  EXPECT_LE(r.c.x[0], 0.6);
  EXPECT_LT(r.c.f[1], kLarge);
}

TEST(FrontCapacity, ZeroCapacityKeepsTheFrontEmptyForTheWholeRun) {
  MultiObjectiveRunner r(simple(2), 0.00005);
  const int iflag = r.run(1000);
  EXPECT_EQ(iflag, 1);
  for (double v : r.c.pf) ASSERT_EQ(v, 0.0);
}

TEST(FrontCapacity, TheFrontNeverOutgrowsItsCapacity) {
  MultiObjectiveRunner r(simple(2), 7);
  r.start();
  for (int call = 0; call < 600 && r.c.istop == 0; ++call) {
    r.evaluate();
    r.c.call();
    ASSERT_LE(r.psize(), 7);
  }
  EXPECT_EQ(r.psize(), 7);
}

// BALANCE = 2: the kernel minimises F(2) alone, FSTOP stays in force, and
// the front is kept all the same.
TEST(SingleObjectiveBalance, MinimisesThatObjectiveAndKeepsTheFront) {
  MultiObjectiveRunner r(simple(2));
  r.c.param[11] = 2.0;
  r.c.param[2] = 2.2;  // FSTOP on F(2) = (2 + x2) / x1 >= 2
  const int iflag = r.run(20000);
  EXPECT_EQ(iflag, 7);
  EXPECT_LE(r.c.f[1], 2.2);
  EXPECT_EQ(r.c.f[0], r.c.x[0]);
  EXPECT_GT(r.psize(), 1);
}

// More objectives than the 1000 a fixed scratch would hold: the layer keeps
// its per-objective values in the workspace the check sized by O.
TEST(ManyObjectives, MoreThanAThousandAreServed) {
  const int o = 1001;
  MultiObjectiveProblem p;
  p.o = o;
  p.n = 1;
  p.xl = {0};
  p.xu = {1};
  p.x0 = {0.5};
  p.model = [](const double* x, double* f, double*) {
    for (int k = 0; k < o; ++k) f[k] = (x[0] - k / 1000.0) * (x[0] - k / 1000.0);
  };
  MultiObjectiveRunner r(p);
  r.c.param[11] = 0.5;  // weights 1, 0, 0, ...
  const int iflag = r.run(100);
  EXPECT_EQ(iflag, 1);
  EXPECT_GE(r.psize(), 2);
  const auto regions = kestro::RegionStarts::for_sizes(r.c.l, r.c.o, r.c.n, r.c.m);
  EXPECT_EQ(r.c.rw[regions.objlo_base - 1 + o], 1.0);          // weight 1
  EXPECT_EQ(r.c.rw[regions.objlo_base - 1 + o + o - 1], 0.0);  // weight 1001
  // The returned objectives are those of the returned point.
  std::vector<double> f(o);
  p.model(r.c.x.data(), f.data(), nullptr);
  for (int k = 0; k < o; ++k) ASSERT_EQ(r.c.f[k], f[k]) << k;
}

TEST(Determinism, EqualSeedsGiveEqualFronts) {
  std::vector<double> pf[2], x[2];
  for (int run = 0; run < 2; ++run) {
    MultiObjectiveRunner r(simple(3));
    r.c.param[1] = 11;
    r.run(2000);
    pf[run] = r.c.pf;
    x[run] = r.c.x;
  }
  EXPECT_EQ(pf[0], pf[1]);
  EXPECT_EQ(x[0], x[1]);
}

}  // namespace
