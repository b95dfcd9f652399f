// Candidate sampling: bound handling, rank weights, spreads and the samplers,
// with the number of generator draws each one takes.
#include <cmath>
#include <initializer_list>
#include <vector>

#include <gtest/gtest.h>

#include "abi/internal_routines.h"
#include "kernel/sampling.hpp"
#include "support/colony_workspace.hpp"
#include "support/guarded.hpp"

namespace {

using kestro::ConstRealView;
using kestro::RealView;
using kestro::kernel::handle_bound;
using kestro::testing::after_draws;
using kestro::testing::ColonyWorkspace;
using kestro::testing::GeneratorState;
using kestro::testing::Guarded;
using kestro::testing::nth_draw;
using kestro::testing::TestPresets;

// From the state (0.2, 0.6) the first draw is 0.6 and the next 0.8: table
// rows 18 (B) and 24 (A), a deviate of about -1.287.
constexpr GeneratorState kNegativeDeviateStart{0.2, 0.6};
constexpr double kNegativeDeviate = 1.353728799999 * -0.951056599999;

// One point of N variables with bounds, exactly N long with guard zones.
struct Point {
  int n;
  Guarded<double> x, xl, xu;
  Point(int variables, double lo, double hi)
      : n(variables),
        x(static_cast<std::size_t>(variables), -3.0),
        xl(static_cast<std::size_t>(variables), lo),
        xu(static_cast<std::size_t>(variables), hi) {}
  double& operator()(int i) { return x[static_cast<std::size_t>(i - 1)]; }
  void bounds(int i, double lo, double hi) {
    xl[static_cast<std::size_t>(i - 1)] = lo;
    xu[static_cast<std::size_t>(i - 1)] = hi;
  }
  bool intact() const { return x.guards_intact() && xl.guards_intact() && xu.guards_intact(); }
};

TEST(BoundHandling, ReflectsWithDampingOrClipsByTheDecisionNumber) {
  TestPresets presets;  // threshold 0.5, damping 0.5
  struct Case {
    const char* name;
    double x, lo, hi, r, expected;
  } cases[] = {
      {"BelowClippedWhenRBelowThreshold", -2.0, 0.0, 10.0, 0.4, 0.0},
      {"BelowMirroredWhenRAtThreshold", -2.0, 0.0, 10.0, 0.5, 1.0},
      {"MirrorBeyondUpperLandsOnUpper", -30.0, 0.0, 10.0, 0.9, 10.0},
      {"AboveClipped", 12.0, 0.0, 10.0, 0.4, 10.0},
      {"AboveMirrored", 12.0, 0.0, 10.0, 0.6, 9.0},
      {"MirrorBelowLowerLandsOnLower", 40.0, 0.0, 10.0, 0.6, 0.0},
      {"InsideKept", 5.0, 0.0, 10.0, 0.0, 5.0},
      {"OnBoundsKept", 10.0, 0.0, 10.0, 0.9, 10.0},
      {"FixedVariableFromBelowMirrored", 2.0, 3.0, 3.0, 0.9, 3.0},
      {"FixedVariableFromAboveMirrored", 4.0, 3.0, 3.0, 0.9, 3.0},
      {"FixedVariableClipped", 4.0, 3.0, 3.0, 0.1, 3.0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(handle_bound(c.x, c.lo, c.hi, c.r, presets.r_view()), c.expected) << c.name;
}

TEST(RankWeights, LinearInTheRankAndCumulated) {
  std::vector<double> rw(1 + 3 + 3, -1.0);  // c_0 .. c_2 at RW(2..4), w_1 .. w_3 at RW(5..7)
  kestro::kernel::write_rank_weight_table(RealView(rw.data(), 7), 2, 5, 2);
  EXPECT_EQ(rw[1], 0.0);
  EXPECT_DOUBLE_EQ(rw[2], 2.0 / 3.0);
  EXPECT_DOUBLE_EQ(rw[3], 1.0);
  EXPECT_DOUBLE_EQ(rw[4], 2.0 / 3.0);
  EXPECT_DOUBLE_EQ(rw[5], 1.0 / 3.0);
  EXPECT_EQ(rw[6], -1.0);  // w_3 lies beyond k
  EXPECT_EQ(rw[0], -1.0);

  std::vector<double> big(101 + 100);
  kestro::kernel::write_rank_weight_table(RealView(big.data(), 201), 1, 102, 100);
  EXPECT_EQ(big[101], 100.0 / 5050.0);
  EXPECT_EQ(big[200], 1.0 / 5050.0);
  EXPECT_NEAR(big[100], 1.0, 1e-12);
}

TEST(Spreads, RangeOverRootOfGenerationWithFloors) {
  struct Case {
    const char* name;
    std::initializer_list<double> continuous, integer;  // variable 1 and 2 of members 1..3
    int generation;
    double floor_divisor;  // PRESET_R(5)
    double expected_continuous, expected_integer;
  } cases[] = {
      {"RangeShrinksWithRootOfGeneration", {1, 4, 2}, {0, 6, 3}, 4, 100.0, 1.5, 3.0},
      {"RelativeFloorOfMemberOne", {-50, -50, -50}, {0, 6, 3}, 2, 100.0, 2.5, 6 / std::sqrt(2.0)},
      {"IntegerFloorOverRootOfGeneration", {0, 0, 0}, {3, 3, 3}, 4, 100.0, 0.0, 0.4},
      {"IntegerFloorFromTheIntegerCount",
       {0, 0, 0},
       {3, 3, 3},
       4,
       0.1,
       0.0,
       (1 - 1 / std::sqrt(1.1)) / 0.1},
  };
  for (const auto& c : cases) {
    ColonyWorkspace ws(2, 3);
    TestPresets presets;  // PRESET_R(4) = 0.8, PRESET_I(6) = 1
    presets.set_r(5, c.floor_divisor);
    auto v = c.continuous.begin();
    auto w = c.integer.begin();
    for (int j = 1; j <= 3; ++j) ws.set_member(j, {*v++, *w++});
    kestro::kernel::compute_spreads(2, 1, RealView(ws.data(), ws.lrw), ws.s0, ws.a0, 3,
                                    c.generation, presets.r_view(), presets.i_view());
    EXPECT_DOUBLE_EQ(ws.at(ws.s0), c.expected_continuous) << c.name;
    EXPECT_DOUBLE_EQ(ws.at(ws.s0 + 1), c.expected_integer) << c.name;
    EXPECT_TRUE(ws.rw.guards_intact()) << c.name;
  }
}

TEST(Spreads, ExportedRoutineReadsSizeAndGenerationFromIw) {
  ColonyWorkspace ws(1, 3);
  TestPresets presets;
  ws.set_member(1, {2.0});
  ws.set_member(2, {6.0});
  ws.set_member(3, {100.0});  // beyond k = 2
  int iw[4] = {2, 0, 0, 4};   // IW(1) = k, IW(4) = generation
  int n = 1, ni = 0, liw = 4, k_cell = 1, generation_cell = 4;
  o21_(&n, &ni, ws.data(), &ws.lrw, &ws.s0, &ws.a0, iw, &liw, &k_cell, &generation_cell, presets.r,
       presets.i);
  EXPECT_DOUBLE_EQ(ws.at(ws.s0), 2.0);  // (6 - 2)/sqrt(4)
}

// Calls the exported archive sampler on point p.
void sample_archive(ColonyWorkspace& ws, Point& p, int ni, const TestPresets& presets) {
  o28_(&p.n, &ni, &ws.k, p.x.data(), p.xl.data(), p.xu.data(), ws.data(), &ws.lrw, &ws.a0, &ws.s0,
       &ws.c0, presets.r);
}

TEST(ArchiveSampler, OneDrawPerVariable) {
  ColonyWorkspace ws(3, 3);
  ws.set_linear_weights();
  for (int j = 1; j <= 3; ++j) ws.set_member(j, {1.0 * j, 2.0 * j, 3.0 * j});
  ws.set_spreads({0.5, 0.5, 2.0});
  const GeneratorState start{0.3, 0.9};
  ws.set_state(start);
  Point p(3, 0.0, 10.0);
  sample_archive(ws, p, 1, TestPresets());
  EXPECT_EQ(ws.state(), after_draws(start, 3));
  for (int i = 1; i <= 3; ++i) {
    EXPECT_GE(p(i), 0.0);
    EXPECT_LE(p(i), 10.0);
  }
  EXPECT_EQ(p(3), std::round(p(3)));
  EXPECT_TRUE(p.intact());
  EXPECT_TRUE(ws.rw.guards_intact());
}

TEST(ArchiveSampler, MemberChosenByTheCumulativeRankWeights) {
  // k = 3: c_1 = 1/2, c_2 = 5/6, c_3 = 1. Spread 0, so the point is the member.
  struct Case {
    double r, expected;
  } cases[] = {{0.3, 10.0}, {0.5, 10.0}, {0.6, 20.0}, {0.9, 30.0}, {1.0, 30.0}};
  for (const auto& c : cases) {
    ColonyWorkspace ws(1, 3);
    ws.set_linear_weights();
    ws.set_member(1, {10.0});
    ws.set_member(2, {20.0});
    ws.set_member(3, {30.0});
    ws.set_spreads({0.0});
    ws.set_state({0.1, c.r});
    Point p(1, 0.0, 100.0);
    sample_archive(ws, p, 0, TestPresets());
    EXPECT_EQ(p(1), c.expected) << "r = " << c.r;
  }
}

TEST(ArchiveSampler, DrawOfExactlyOneGivesTheCentre) {
  struct Case {
    const char* name;
    GeneratorState start;
    double expected;
  } cases[] = {
      {"RIsOne", {0.3, 1.0}, 30.0},       // member 3, table B row 31
      {"PeekIsOne", {0.25, 0.75}, 20.0},  // member 2, next draw 0.25 + 0.75 = 1: table A row 31
  };
  for (const auto& c : cases) {
    ColonyWorkspace ws(1, 3);
    ws.set_linear_weights();
    ws.set_member(1, {10.0});
    ws.set_member(2, {20.0});
    ws.set_member(3, {30.0});
    ws.set_spreads({5.0});
    ws.set_state(c.start);
    Point p(1, 0.0, 100.0);
    sample_archive(ws, p, 0, TestPresets());
    EXPECT_EQ(p(1), c.expected) << c.name;
  }
}

TEST(ArchiveSampler, TheMemberDrawAlsoDecidesReflection) {
  // r = 0.6 picks member 1 (c_1 = 2/3) at XL = 0; the peeked 0.8 indexes A.
  struct Case {
    const char* name;
    double threshold, expected;
  } cases[] = {
      {"Mirrored", 0.5, (0.0 - kNegativeDeviate) * 0.5},
      {"MirroredAtThreshold", 0.6, (0.0 - kNegativeDeviate) * 0.5},
      {"ClippedAlthoughPeekIsAbove", 0.7, 0.0},
  };
  for (const auto& c : cases) {
    ColonyWorkspace ws(1, 2);
    ws.set_linear_weights();
    ws.set_member(1, {0.0});
    ws.set_member(2, {9.0});
    ws.set_spreads({1.0});
    ws.set_state(kNegativeDeviateStart);
    TestPresets presets;
    presets.set_r(2, c.threshold);
    Point p(1, 0.0, 10.0);
    sample_archive(ws, p, 0, presets);
    EXPECT_DOUBLE_EQ(p(1), c.expected) << c.name;
  }
}

TEST(ArchiveSampler, IntegerPointsRoundedAndDuplicatesRepaired) {
  struct Case {
    const char* name;
    int n, ni;
    GeneratorState start;
    double spread, expected;
    int draws;
  } cases[] = {
      // 4 + (-1.287) rounds to 3, which no member holds.
      {"RoundedNotDuplicate", 1, 1, kNegativeDeviateStart, 1.0, 3.0, 1},
      // Member 1 (4) again; the repair draws 0.523 (<= 1/N), then 0.823: up.
      {"DuplicateOfMemberOne", 1, 1, {0.1, 0.3}, 0.0, 5.0, 3},
      // Member 2 (7) again; the repair draws 1.0, then 0.9: up.
      {"DuplicateOfMemberTwo", 1, 1, {0.1, 0.9}, 0.0, 8.0, 3},
      // With a continuous variable a point equal to a member is kept.
      {"MixedPointNotRepaired", 2, 1, {0.1, 0.3}, 0.0, 4.0, 2},
  };
  for (const auto& c : cases) {
    ColonyWorkspace ws(c.n, 2);
    ws.set_linear_weights();
    if (c.n == 1) {
      ws.set_member(1, {4.0});
      ws.set_member(2, {7.0});
      ws.set_spreads({c.spread});
    } else {
      ws.set_member(1, {4.0, 4.0});
      ws.set_member(2, {7.0, 7.0});
      ws.set_spreads({c.spread, c.spread});
    }
    ws.set_state(c.start);
    Point p(c.n, 0.0, 10.0);
    sample_archive(ws, p, c.ni, TestPresets());
    EXPECT_EQ(p(c.n), c.expected) << c.name;
    EXPECT_EQ(ws.state(), after_draws(c.start, c.draws)) << c.name;
  }
}

TEST(FocusSampler, TwoDrawsPerVariable) {
  ColonyWorkspace ws(3, 1);
  ws.set_best({1.0, 2.0, 3.0});
  const GeneratorState start{0.7, 0.2};
  ws.set_state(start);
  Point p(3, 0.0, 10.0);
  int n = 3, ni = 1;
  double focus = 3.0;
  TestPresets presets;
  o35_(&n, &ni, p.x.data(), p.xl.data(), p.xu.data(), ws.data(), &ws.lrw, &ws.best_x, &focus,
       presets.r);
  EXPECT_EQ(ws.state(), after_draws(start, 6));
  EXPECT_TRUE(p.intact());
  EXPECT_TRUE(ws.rw.guards_intact());
}

TEST(FocusSampler, ScaleFromTheRangeAndTheFocus) {
  struct Case {
    const char* name;
    int ni;
    double lo, hi, best, focus, threshold, expected;
  } cases[] = {
      {"ContinuousRangeOverFocus", 0, 0.0, 10.0, 5.0, 4.0, 0.5, 5.0 + kNegativeDeviate * 2.5},
      // h = max(1/4, 1/sqrt(4)) = 0.5: 1 - 0.64 rounds to 0 (with 1/4 it would stay 1).
      {"IntegerFloorOneOverRootFocus", 1, 0.0, 1.0, 1.0, 4.0, 0.5, 0.0},
      // The first draw 0.6 decides, not the second 0.8.
      {"ClippedByTheFirstDraw", 0, 0.0, 10.0, 0.0, 1.0, 0.7, 0.0},
      {"MirroredByTheFirstDraw", 0, 0.0, 10.0, 0.0, 1.0, 0.6,
       (0.0 - kNegativeDeviate * 10.0) * 0.5},
  };
  for (const auto& c : cases) {
    ColonyWorkspace ws(1, 1);
    ws.set_best({c.best});
    ws.set_state(kNegativeDeviateStart);
    TestPresets presets;
    presets.set_r(2, c.threshold);
    Point p(1, c.lo, c.hi);
    int n = 1, ni = c.ni;
    o35_(&n, &ni, p.x.data(), p.xl.data(), p.xu.data(), ws.data(), &ws.lrw, &ws.best_x, &c.focus,
         presets.r);
    EXPECT_DOUBLE_EQ(p(1), c.expected) << c.name;
    EXPECT_EQ(ws.state(), after_draws(kNegativeDeviateStart, 2)) << c.name;
  }
}

TEST(FocusSampler, DrawOfExactlyOneGivesTheRunBestPoint) {
  ColonyWorkspace ws(1, 1);
  ws.set_best({3.3});
  ws.set_state({0.3, 1.0});
  Point p(1, 0.0, 10.0);
  int n = 1, ni = 0;
  double focus = 0.01;
  TestPresets presets;
  o35_(&n, &ni, p.x.data(), p.xl.data(), p.xu.data(), ws.data(), &ws.lrw, &ws.best_x, &focus,
       presets.r);
  EXPECT_EQ(p(1), 3.3);
}

// Calls the exported focused-restart sampler with IW(10) = divisor.
void sample_focused(ColonyWorkspace& ws, Point& p, int ni, int divisor, int compared, double focus,
                    const TestPresets& presets) {
  Guarded<int> iw(10, 0);
  iw[9] = divisor;
  int liw = 10;
  o23_(&p.n, &ni, ws.data(), &ws.lrw, iw.data(), &liw, &compared, &ws.a0, &ws.best_x, p.x.data(),
       p.xl.data(), p.xu.data(), &focus, presets.r);
}

TEST(FocusedRestartSampler, ScaleFromTheDivisorNarrowedByTheFocus) {
  struct Case {
    const char* name;
    int ni, divisor;
    double focus, integer_floor, lo, hi, best, expected;
  } cases[] = {
      {"RangeOverDivisor", 0, 4, 0.0, 0.5, 0.0, 10.0, 5.0, 5.0 + kNegativeDeviate * 2.5},
      {"NarrowedByTheFocus", 0, 2, 4.0, 0.5, 0.0, 10.0, 5.0, 5.0 + kNegativeDeviate * 2.5},
      {"FocusWiderThanDivisor", 0, 4, 2.0, 0.5, 0.0, 10.0, 5.0, 5.0 + kNegativeDeviate * 2.5},
      // h = max(1/10, 0.5): 1 - 0.64 rounds to 0.
      {"IntegerFloor", 1, 10, 0.0, 0.5, 0.0, 1.0, 1.0, 0.0},
      // h = max(1/10, 0.1): 1 - 0.13 rounds to 1.
      {"SmallIntegerFloor", 1, 10, 0.0, 0.1, 0.0, 1.0, 1.0, 1.0},
      // h = max(min(0.1, 1/4), 1/sqrt(4)) = 0.5.
      {"FocusFloorForIntegers", 1, 10, 4.0, 0.1, 0.0, 1.0, 1.0, 0.0},
  };
  for (const auto& c : cases) {
    ColonyWorkspace ws(1, 1);
    ws.set_best({c.best});
    ws.set_member(1, {7.0});  // no duplicate
    ws.set_state(kNegativeDeviateStart);
    TestPresets presets;
    presets.set_r(9, c.integer_floor);
    Point p(1, c.lo, c.hi);
    sample_focused(ws, p, c.ni, c.divisor, 1, c.focus, presets);
    EXPECT_DOUBLE_EQ(p(1), c.expected) << c.name;
    EXPECT_EQ(ws.state(), after_draws(kNegativeDeviateStart, 2)) << c.name;
  }
}

TEST(FocusedRestartSampler, DuplicateOfComparedMembersRedrawnUniformly) {
  // The draw 1.0 puts the point on the run-best value 4.
  const GeneratorState start{0.3, 1.0};
  struct Case {
    const char* name;
    double member1, member2;
    int compared;
    bool redrawn;
  } cases[] = {
      {"EqualsMemberOne", 4.0, 9.0, 1, true},
      {"OnlyMemberOneCompared", 9.0, 4.0, 1, false},
      {"NothingCompared", 4.0, 9.0, 0, false},
      {"SecondOfTwoCompared", 9.0, 4.0, 2, true},
  };
  for (const auto& c : cases) {
    ColonyWorkspace ws(1, 2);
    ws.set_best({4.0});
    ws.set_member(1, {c.member1});
    ws.set_member(2, {c.member2});
    ws.set_state(start);
    Point p(1, 0.0, 20.0);
    sample_focused(ws, p, 1, 4, c.compared, 0.0, TestPresets());
    const double expected = c.redrawn ? std::round(20.0 * nth_draw(start, 3)) : 4.0;
    EXPECT_EQ(p(1), expected) << c.name;
    EXPECT_EQ(ws.state(), after_draws(start, c.redrawn ? 3 : 2)) << c.name;
  }
}

TEST(UniformSampler, OneDrawPerVariableAcrossTheBox) {
  ColonyWorkspace ws(2, 1);
  const GeneratorState start{0.1, 0.3};  // draws 0.3, then 0.523456789
  ws.set_state(start);
  Point p(2, 0.0, 10.0);
  p.bounds(1, 2.0, 12.0);
  int n = 2, ni = 1;
  o30_(&n, &ni, p.x.data(), p.xl.data(), p.xu.data(), ws.data(), &ws.lrw);
  EXPECT_DOUBLE_EQ(p(1), 5.0);
  EXPECT_EQ(p(2), 5.0);  // 5.23 rounded
  EXPECT_EQ(ws.state(), after_draws(start, 2));
}

TEST(DuplicateRepair, StepsEachFreeVariableWithChanceOneOverN) {
  struct Case {
    const char* name;
    int n;
    std::initializer_list<double> x, lo, hi, expected;
    GeneratorState start;
    int draws;
  } cases[] = {
      {"AtLowerBoundMovesUp", 1, {0.0}, {0.0}, {10.0}, {1.0}, {0.1, 0.3}, 1},
      {"AtUpperBoundMovesDown", 1, {10.0}, {0.0}, {10.0}, {9.0}, {0.1, 0.3}, 1},
      {"InteriorUpWhenDrawAboveHalf", 1, {4.0}, {0.0}, {10.0}, {5.0}, {0.1, 0.3}, 2},
      {"InteriorDownOtherwise", 1, {4.0}, {0.0}, {10.0}, {3.0}, {0.5, 0.6}, 2},
      // 0.3 <= 1/2: variable 1 up (0.923); 0.223 <= 1/2: variable 2 down (0.270).
      {"BothPicked", 2, {4.0, 4.0}, {0.0, 0.0}, {10.0, 10.0}, {5.0, 3.0}, {0.5, 0.3}, 4},
      // 0.6 > 1/2 leaves variable 2; the fixed variable 1 costs no draw; two
      // uniform draws follow (0.7 and 0.3).
      {"NonePickedRedrawnUniformly",
       2,
       {3.0, 4.0},
       {3.0, 0.0},
       {3.0, 10.0},
       {3.0, 3.0},
       {0.1, 0.6},
       3},
  };
  for (const auto& c : cases) {
    ColonyWorkspace ws(c.n, 1);
    ws.set_state(c.start);
    Point p(c.n, 0.0, 0.0);
    auto x = c.x.begin(), lo = c.lo.begin(), hi = c.hi.begin();
    for (int i = 1; i <= c.n; ++i) {
      p(i) = *x++;
      p.bounds(i, *lo++, *hi++);
    }
    int n = c.n, ni = c.n;
    o10_(&n, &ni, p.x.data(), p.xl.data(), p.xu.data(), ws.data(), &ws.lrw);
    auto e = c.expected.begin();
    for (int i = 1; i <= c.n; ++i) EXPECT_DOUBLE_EQ(p(i), *e++) << c.name << " variable " << i;
    EXPECT_EQ(ws.state(), after_draws(c.start, c.draws)) << c.name;
  }
}

// A workspace one cell too short for what a sampler needs: nothing is drawn
// or written.
TEST(Samplers, WorkspaceTooShortLeavesEverythingAsItWas) {
  TestPresets presets;
  int n = 2, ni = 2, k = 2, one = 1;
  double focus = 2.0;
  struct Case {
    const char* name;
    int lrw_cut, liw;
  } cases[] = {{"Spreads", 1, 10},       {"Archive", 1, 10}, {"Focus", 0, 10},
               {"FocusedRestart", 0, 9}, {"Uniform", 0, 10}, {"Repair", 0, 10}};
  for (const auto& c : cases) {
    ColonyWorkspace ws(2, 2);
    ws.set_linear_weights();
    ws.set_state({0.1, 0.3});
    std::vector<double> before(ws.data(), ws.data() + ws.lrw);
    Point p(2, 0.0, 10.0);
    Guarded<int> iw(10, 2);
    int lrw = ws.lrw - c.lrw_cut, liw = c.liw, k_cell = 1, g_cell = 4;
    const std::string name = c.name;
    if (name == "Spreads")
      o21_(&n, &ni, ws.data(), &lrw, &ws.s0, &ws.a0, iw.data(), &liw, &k_cell, &g_cell, presets.r,
           presets.i);
    if (name == "Archive")
      o28_(&n, &ni, &k, p.x.data(), p.xl.data(), p.xu.data(), ws.data(), &lrw, &ws.a0, &ws.s0,
           &ws.c0, presets.r);
    int best_x = ws.lrw;  // run-best point would run past RW
    if (name == "Focus")
      o35_(&n, &ni, p.x.data(), p.xl.data(), p.xu.data(), ws.data(), &lrw, &best_x, &focus,
           presets.r);
    if (name == "FocusedRestart")  // IW(10) lies beyond LIW
      o23_(&n, &ni, ws.data(), &lrw, iw.data(), &liw, &one, &ws.a0, &ws.best_x, p.x.data(),
           p.xl.data(), p.xu.data(), &focus, presets.r);
    int short_lrw = 1;  // the generator needs RW(1..2)
    if (name == "Uniform")
      o30_(&n, &ni, p.x.data(), p.xl.data(), p.xu.data(), ws.data(), &short_lrw);
    if (name == "Repair")
      o10_(&n, &ni, p.x.data(), p.xl.data(), p.xu.data(), ws.data(), &short_lrw);
    EXPECT_EQ(std::vector<double>(ws.data(), ws.data() + ws.lrw), before) << c.name;
    EXPECT_EQ(p(1), -3.0) << c.name;
    EXPECT_EQ(p(2), -3.0) << c.name;
    EXPECT_TRUE(ws.rw.guards_intact() && iw.guards_intact() && p.intact()) << c.name;
  }
}

}  // namespace

namespace {

// The member the walk from j = 1 picks: the first j below k with r <= c_j.
kestro::Index walked_member(const std::vector<double>& c, kestro::Index k, double r) {
  for (kestro::Index j = 1; j < k; ++j)
    if (r <= c[j]) return j;
  return k;
}

TEST(MemberChoice, BisectionAndBucketTablePickTheMemberTheWalkPicks) {
  using kestro::kernel::first_member_reaching;
  using kestro::kernel::MemberChooser;
  const double nan = std::nan("");
  // Rank-weight tables of every size the archive takes, and tables with equal
  // neighbours (ties) and values at the ends; draws on, between and beyond
  // the table values, and NaN.
  std::vector<std::vector<double>> tables;
  for (int k = 1; k <= 100; ++k) {
    std::vector<double> c(k + 1, 0.0);
    const double sum = k * (k + 1) / 2.0;
    for (int j = 1; j <= k; ++j) c[j] = c[j - 1] + (k - j + 1) / sum;
    tables.push_back(c);
  }
  tables.push_back({0.0, 0.25, 0.25, 0.25, 0.5, 0.5, 1.0});
  tables.push_back({0.0, 0.0, 0.0, 1.0});
  tables.push_back({0.0, 1.0, 1.0, 1.0, 1.0});
  tables.push_back({0.0, 0.5});
  int checked = 0;
  for (const auto& c : tables) {
    const kestro::Index k = static_cast<kestro::Index>(c.size()) - 1;
    std::vector<double> draws = {0.0, 1.0, -0.1, 1.1, nan, 1e-300, 0.999999999};
    for (int d = 1; d < 200; ++d) draws.push_back(d / 200.0);
    for (kestro::Index j = 0; j <= k; ++j) {
      draws.push_back(c[j]);
      draws.push_back(std::nextafter(c[j], 2.0));
      draws.push_back(std::nextafter(c[j], -1.0));
    }
    for (double r : draws) {
      const kestro::Index walked = walked_member(c, k, r);
      EXPECT_EQ(first_member_reaching(c.data(), k, r), walked) << "k=" << k << " r=" << r;
      EXPECT_EQ(MemberChooser(c.data(), k)(r), walked) << "k=" << k << " r=" << r;
      ++checked;
    }
  }
  EXPECT_GT(checked, 10000);
}

}  // namespace
