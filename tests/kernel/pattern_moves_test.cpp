// The moves of the pattern search: the best-point test, step control, the
// exploratory, random and pattern trial points, and the near-integer push.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "abi/default_context.hpp"
#include "abi/internal_routines.h"
#include "interface/context.hpp"
#include "kernel/pattern_moves.hpp"
#include "support/guarded.hpp"

namespace {

using kestro::testing::Guarded;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Entries of the deviate tables as the colony defines them.
constexpr double kA15 = -0.016538999999;
constexpr double kA3 = 0.587785399999;
constexpr double kB9 = 0.844600499999;
constexpr double kB16 = 1.234617499999;
constexpr double kA19 = -0.743144899999;

// Generator state (s1, s2) whose first two draws are r1 and r2 (r1 < 0.5, so
// the second value is s1 + r1 + 0.123456789, wrapped into (0, 1]).
void set_first_draws(double* rw, double r1, double r2) {
  double s1 = r2 - r1 - 0.123456789;
  if (s1 < 0) s1 += 1.0;
  rw[0] = s1;
  rw[1] = r1;
}

// Number of draws that lead from `before` to `after` (-1 if none up to 1000).
int draws_between(const double before[2], const double after[2]) {
  double s[2] = {before[0], before[1]};
  for (int k = 0; k <= 1000; ++k) {
    if (s[0] == after[0] && s[1] == after[1]) return k;
    o25_(s);
  }
  return -1;
}

// RW holding the pattern-search cells for N variables and M constraints, with
// the positions handed to the routines.
struct PhaseCells {
  int n, m;
  int f_plus, f_minus, steps, base_x, base_g, base_f;
  Guarded<double> rw;

  PhaseCells(int n_, int m_)
      : n(n_),
        m(m_),
        f_plus(11),
        f_minus(n_ + 11),
        steps(2 * n_ + 11),
        base_x(3 * n_ + 11),
        base_g(4 * n_ + 11),
        base_f(4 * n_ + m_ + 11),
        rw(static_cast<std::size_t>(4 * n_ + m_ + 11), 0.0) {
    rw[0] = 0.25;
    rw[1] = 0.35;
  }
  double& at(int position) { return rw[static_cast<std::size_t>(position - 1)]; }
  double& h(int j) { return at(steps + j - 1); }
  double& base(int j) { return at(base_x + j - 1); }
  double& fp(int j) { return at(f_plus + j - 1); }
  double& fm(int j) { return at(f_minus + j - 1); }
  double state[2] = {0, 0};
  void remember_generator() {
    state[0] = rw[0];
    state[1] = rw[1];
  }
  int draws_since_remembered() {
    const double now[2] = {rw[0], rw[1]};
    return draws_between(state, now);
  }
};

// ---- Best-point test ------------------------------------------------------

TEST(PatternBestPoint, OnlyAStrictlySmallerMeritReplacesTheBase) {
  struct Case {
    const char* name;
    double merit;
    int improved;
  } cases[] = {{"Smaller", 4.0, 1}, {"Equal", 5.0, 0}, {"Larger", 6.0, 0}, {"NaN", kNaN, 0}};
  for (const auto& c : cases) {
    PhaseCells cells(2, 1);
    cells.base(1) = -1;
    cells.base(2) = -2;
    cells.at(cells.base_g) = -3;
    cells.at(cells.base_f) = -4;
    const double xp[2] = {10, 20}, gp[1] = {30}, f = 40;
    double best = 5.0, previous = -99.0;
    int improved = -7;
    i412_(&c.merit, &f, xp, gp, &best, cells.rw.data(), &cells.base_x, &cells.base_g, &cells.base_f,
          &cells.n, &cells.m, &improved, &previous);
    EXPECT_EQ(improved, c.improved) << c.name;
    if (c.improved == 1) {
      EXPECT_EQ(best, c.merit) << c.name;
      EXPECT_EQ(previous, 5.0) << c.name;
      EXPECT_EQ(cells.base(1), 10);
      EXPECT_EQ(cells.base(2), 20);
      EXPECT_EQ(cells.at(cells.base_g), 30);
      EXPECT_EQ(cells.at(cells.base_f), 40);
    } else {
      EXPECT_EQ(best, 5.0) << c.name;
      EXPECT_EQ(previous, -99.0) << c.name;
      EXPECT_EQ(cells.base(1), -1) << c.name;
      EXPECT_EQ(cells.at(cells.base_g), -3) << c.name;
      EXPECT_EQ(cells.at(cells.base_f), -4) << c.name;
    }
    EXPECT_TRUE(cells.rw.guards_intact()) << c.name;
  }
}

// ---- Step control ---------------------------------------------------------

// A pair of trials on variable 2 (plus, then minus): the minus trial draws r
// and scales the step by 1 + r/q, q = sqrt(P) for P > 1.
TEST(PatternStepUpdate, PairOutcomeScalesTheStep) {
  const double r = 0.35;  // the first draw of the cells' generator
  struct Case {
    const char* name;
    int points;
    int plus_improved, minus_improved;
    double step, min_step, expected;
  } cases[] = {
      {"SuccessOnPlusGrows", 1, 1, 0, 0.5, 1e-6, 0.5 * (1 + r)},
      {"SuccessOnMinusGrows", 1, 0, 1, 0.5, 1e-6, 0.5 * (1 + r)},
      {"FailureShrinks", 1, 0, 0, 0.5, 1e-6, 0.5 / (1 + r)},
      {"FailureStopsAtMinimum", 1, 0, 0, 0.5, 0.45, 0.45},
      {"BlockOfFourHalvesTheChange", 4, 1, 1, 0.5, 1e-6, 0.5 * (1 + r / 2)},
      {"BlockOfFourShrinks", 4, 0, 0, 0.5, 1e-6, 0.5 / (1 + r / 2)},
  };
  for (const auto& c : cases) {
    PhaseCells cells(3, 0);
    cells.h(1) = 7;
    cells.h(2) = c.step;
    cells.h(3) = 9;
    int success = 5;  // left over from the previous pair
    const int var = 2, plus = 1, minus = -1;
    cells.remember_generator();
    i417_(&plus, &c.plus_improved, &var, cells.rw.data(), &cells.steps, &success, &c.points,
          &c.min_step);
    EXPECT_EQ(success, c.plus_improved) << c.name;
    EXPECT_EQ(cells.draws_since_remembered(), 0) << c.name << ": the plus trial draws nothing";
    EXPECT_EQ(cells.h(2), c.step) << c.name;
    i417_(&minus, &c.minus_improved, &var, cells.rw.data(), &cells.steps, &success, &c.points,
          &c.min_step);
    EXPECT_EQ(cells.draws_since_remembered(), 1) << c.name;
    EXPECT_DOUBLE_EQ(cells.h(2), c.expected) << c.name;
    EXPECT_EQ(cells.h(1), 7) << c.name;
    EXPECT_EQ(cells.h(3), 9) << c.name;
  }
}

// With P = 1 the factor is 1 + r with r in [0, 1]: at most a doubling.
TEST(PatternStepUpdate, SingleTrialFactorNeverExceedsTwo) {
  PhaseCells cells(1, 0);
  int success = 0;
  const int var = 1, minus = -1, improved = 1, p = 1;
  const double min_step = 1e-6;
  for (int k = 0; k < 200; ++k) {
    cells.h(1) = 1.0;
    i417_(&minus, &improved, &var, cells.rw.data(), &cells.steps, &success, &p, &min_step);
    EXPECT_GE(cells.h(1), 1.0);
    EXPECT_LE(cells.h(1), 2.0);
  }
}

// ---- Exploratory trials ---------------------------------------------------

TEST(PatternExploratoryTrial, BlockTrialIsBaseMovedAlongOneVariable) {
  PhaseCells cells(3, 0);
  for (int j = 1; j <= 3; ++j) {
    cells.base(j) = 10.0 * j;
    cells.h(j) = 0.5 * j;
  }
  struct Case {
    int d, c;
    double expected[3];
  } cases[] = {{1, 2, {10, 21, 30}}, {-1, 2, {10, 19, 30}}, {-1, 3, {10, 20, 28.5}}};
  for (const auto& c : cases) {
    double xp[3] = {-5, -5, -5};
    const int p = 3, pos = 2, improved = 1;
    i402_(xp, cells.rw.data(), &c.d, &c.c, &cells.steps, &cells.n, &cells.base_x, &improved, &pos,
          &p);
    for (int j = 0; j < 3; ++j) EXPECT_EQ(xp[j], c.expected[j]) << "d " << c.d << " c " << c.c;
  }
}

// With one point per call the trial is built on the point returned last time.
// Replaying a pass in which some trials improve shows that, with X handed
// back unchanged, the result equals the base point moved along c.
TEST(PatternExploratoryTrial, InPlaceTrialsMatchTrialsFromTheBase) {
  const int n = 3;
  PhaseCells cells(n, 0);
  for (int j = 1; j <= n; ++j) {
    cells.base(j) = 1.0 + j;
    cells.h(j) = 0.1 * j;
  }
  // Pass order 2, 3, 1; the minus trial of 3 and the plus trial of 1 improve.
  const int order[3] = {2, 3, 1};
  double xp[n] = {99, 99, 99};  // the previous call's point: anything
  int improved = 0;
  for (int pos = 1; pos <= n; ++pos) {
    for (int d : {1, -1}) {
      const int c = order[pos - 1], p = 1;
      i402_(xp, cells.rw.data(), &d, &c, &cells.steps, &cells.n, &cells.base_x, &improved, &pos,
            &p);
      for (int j = 1; j <= n; ++j) {
        const double expected = j == c ? cells.base(j) + d * cells.h(j) : cells.base(j);
        EXPECT_DOUBLE_EQ(xp[j - 1], expected) << "pos " << pos << " d " << d << " j " << j;
      }
      // Booking: the trial becomes the base point when it improves.
      improved = (c == 3 && d == -1) || (c == 1 && d == 1);
      if (improved)
        for (int j = 1; j <= n; ++j) cells.base(j) = xp[j - 1];
    }
  }
}

// ---- Random point around the base -----------------------------------------

TEST(PatternRandomPoint, DeviateScaledByStepOverN) {
  PhaseCells cells(1, 0);
  cells.base(1) = 3.0;
  cells.h(1) = 0.4;
  set_first_draws(&cells.rw[0], 0.3, 0.5);  // B(9), A(15)
  double xp[1] = {0};
  const int n = 1;
  ol002_(xp, &n, cells.rw.data(), &cells.steps, &cells.base_x);
  EXPECT_DOUBLE_EQ(xp[0], kB9 * kA15 * 0.4 / 1 + 3.0);
}

TEST(PatternRandomPoint, TwoDrawsPerVariableAndOnlyNWritten) {
  PhaseCells cells(3, 0);
  for (int j = 1; j <= 3; ++j) cells.h(j) = 1.0;
  Guarded<double> xp(3, 0.0);
  cells.remember_generator();
  ol002_(xp.data(), &cells.n, cells.rw.data(), &cells.steps, &cells.base_x);
  EXPECT_EQ(cells.draws_since_remembered(), 6);
  EXPECT_TRUE(xp.guards_intact());
  // The deviate is below 2.91 in magnitude, so each value lies within
  // 2.91 * h / N of the base value 0.
  for (int j = 0; j < 3; ++j) EXPECT_LE(std::fabs(xp[j]), 2.91 / 3) << j;
}

TEST(PatternRandomPoint, DrawOfOneGivesTheBaseValue) {
  PhaseCells cells(1, 0);
  cells.base(1) = 2.5;
  cells.h(1) = 1.0;
  cells.rw[0] = 0.2;
  cells.rw[1] = 1.0;  // r1 = 1: B(31) = 0
  double xp[1] = {0};
  ol002_(xp, &cells.n, cells.rw.data(), &cells.steps, &cells.base_x);
  EXPECT_EQ(xp[0], 2.5);
}

// ---- Pattern points ---------------------------------------------------------

// Three variables, the last integer; steps (0.5, 0.25, 1), base (1, 2, 3),
// f_minus - f_plus = (2, -4, 7).
struct PatternSetup {
  PhaseCells cells{3, 0};
  int ni = 1;
  int done = 0, blocks = 1, stall = 0, variable = 2, phase = -1, improved_marker = 0;
  double tolerance = 1e-3;
  double preset_r[17] = {};
  int preset_i[16] = {};
  double xp[3] = {-9, -9, -9};

  PatternSetup() {
    const double base[3] = {1, 2, 3}, h[3] = {0.5, 0.25, 1}, fp[3] = {1, 5, 0}, fm[3] = {3, 1, 7};
    for (int j = 1; j <= 3; ++j) {
      cells.base(j) = base[j - 1];
      cells.h(j) = h[j - 1];
      cells.fp(j) = fp[j - 1];
      cells.fm(j) = fm[j - 1];
    }
    preset_r[14] = 2.0;  // PRESET_R(15)
    preset_i[15] = 3;    // PRESET_I(16)
    // No near-integer push: the check draws 0.3 (below 0.99).
    cells.rw[0] = 0.1;
    cells.rw[1] = 0.3;
  }
  void point(int i) {
    k19_(cells.rw.data(), &cells.steps, &done, &cells.base_x, &blocks, &stall, &cells.f_plus,
         &cells.f_minus, xp, &variable, &phase, &cells.n, &ni, &i, &improved_marker, &tolerance,
         preset_r, preset_i);
  }
  double& lambda() {
    return kestro::abi::default_context().solver.kernel.pattern_search.pattern_factor;
  }
};

TEST(PatternPoint, FirstBlockAfterPassTakesTheFullStepWithFactorTen) {
  PatternSetup s;
  s.lambda() = 0.001;
  s.cells.remember_generator();
  s.point(1);
  EXPECT_EQ(s.lambda(), 10.0);
  EXPECT_DOUBLE_EQ(s.xp[0], 1 + 10 * 0.5 * 2);
  EXPECT_DOUBLE_EQ(s.xp[1], 2 + 10 * 0.25 * -4);
  EXPECT_EQ(s.xp[2], 3);                           // integer variable keeps the base value
  EXPECT_EQ(s.cells.draws_since_remembered(), 1);  // the push check only
  EXPECT_EQ(s.phase, -3);
  EXPECT_EQ(s.done, 0);
}

TEST(PatternPoint, FactorFollowsTheBlockOutcome) {
  struct Case {
    const char* name;
    int marker;
    double expected_lambda;
  } cases[] = {
      // r = 0.3 from the cells' generator: abs(2 * 0.3) + 1 = 1.6.
      {"FailedBlockDivides", 0, 4.0 / 1.6},
      {"ImprovedBlockMultiplies", 1, 4.0 * 1.6},
  };
  for (const auto& c : cases) {
    PatternSetup s;
    s.blocks = 2;
    s.improved_marker = c.marker;
    s.lambda() = 4.0;
    s.cells.remember_generator();
    s.point(1);
    EXPECT_DOUBLE_EQ(s.lambda(), c.expected_lambda) << c.name;
    EXPECT_DOUBLE_EQ(s.xp[0], 1 + c.expected_lambda * 0.5 * 2) << c.name;
    EXPECT_EQ(s.cells.draws_since_remembered(), 2) << c.name << ": factor and push check";
  }
}

TEST(PatternPoint, FactorIsClippedBeforeUse) {
  struct Case {
    double saved, expected;
  } cases[] = {{1e9, 1e6}, {0.0, 1e-99}};
  for (const auto& c : cases) {
    PatternSetup s;
    s.blocks = 5;
    s.preset_r[14] = 0.0;  // the factor itself stays
    s.lambda() = c.saved;
    s.point(1);
    EXPECT_EQ(s.lambda(), c.expected) << c.saved;
  }
}

// Later points of a block scale the step by abs(deviate): two draws per
// continuous variable, then the push check.
TEST(PatternPoint, LaterPointsTakeRandomMultiplesOfTheStep) {
  PatternSetup s;
  s.blocks = 3;
  s.lambda() = 2.0;
  set_first_draws(&s.cells.rw[0], 0.3, 0.1);  // variable 1: B(9), A(3)
  double copy[2] = {s.cells.rw[0], s.cells.rw[1]};
  o25_(copy);
  o25_(copy);
  const double r3 = o25_(copy), r4 = o25_(copy);
  ASSERT_EQ(std::trunc(31 * r3), 16);  // B(16)
  ASSERT_EQ(std::trunc(31 * r4), 19);  // A(19)
  ASSERT_LE(o25_(copy), 0.99);
  s.cells.remember_generator();
  s.point(2);
  EXPECT_EQ(s.lambda(), 2.0) << "only point 1 changes the factor";
  EXPECT_DOUBLE_EQ(s.xp[0], 1 + std::fabs(kB9 * kA3) * 2.0 * 0.5 * 2);
  EXPECT_DOUBLE_EQ(s.xp[1], 2 + std::fabs(kB16 * kA19) * 2.0 * 0.25 * -4);
  EXPECT_EQ(s.xp[2], 3);
  EXPECT_EQ(s.cells.draws_since_remembered(), 5);
}

TEST(PatternPoint, EqualTrialMeritsLeaveTheContinuousPartAtTheBase) {
  for (int i : {1, 2, 3}) {
    PatternSetup s;
    s.blocks = 4;
    s.lambda() = 3.0;
    for (int j = 1; j <= 3; ++j) s.cells.fm(j) = s.cells.fp(j) = 0.5 * j;
    s.point(i);
    EXPECT_EQ(s.xp[0], 1) << "point " << i;
    EXPECT_EQ(s.xp[1], 2) << "point " << i;
    EXPECT_EQ(s.xp[2], 3) << "point " << i;
  }
}

// The phase ends when the largest continuous step is at the tolerance; the
// integer steps do not count; nothing is written and nothing drawn.
TEST(PatternPoint, StepsAtToleranceRaiseTheDoneFlag) {
  struct Case {
    const char* name;
    int ni;
    double h1, h2, h3;
    int done;
  } cases[] = {
      {"LargestAtTolerance", 1, 1e-3, 5e-4, 50.0, 1},
      {"AllBelow", 0, 1e-4, 1e-5, 1e-6, 1},
      {"OneAbove", 1, 1e-4, 1.1e-3, 0.0, 0},
      {"AllIntegerHasNoContinuousStep", 3, 1.0, 1.0, 1.0, 1},
  };
  for (const auto& c : cases) {
    PatternSetup s;
    s.ni = c.ni;
    s.cells.h(1) = c.h1;
    s.cells.h(2) = c.h2;
    s.cells.h(3) = c.h3;
    s.blocks = 2;
    s.cells.remember_generator();
    s.point(1);
    EXPECT_EQ(s.done, c.done) << c.name;
    if (c.done == 1) {
      EXPECT_EQ(s.xp[0], -9) << c.name;
      EXPECT_EQ(s.phase, -1) << c.name;
      EXPECT_EQ(s.cells.draws_since_remembered(), 0) << c.name;
    }
  }
}

TEST(PatternPoint, StallLimitStopsThePatternMoves) {
  struct Case {
    int stall, phase, blocks, variable;
  } cases[] = {{2, -3, 4, 2}, {3, -9, 0, 0}, {4, -9, 0, 0}};
  for (const auto& c : cases) {
    PatternSetup s;
    s.blocks = 4;
    s.stall = c.stall;
    s.point(1);
    EXPECT_EQ(s.phase, c.phase) << c.stall;
    EXPECT_EQ(s.blocks, c.blocks) << c.stall;
    EXPECT_EQ(s.variable, c.variable) << c.stall;
    EXPECT_EQ(s.stall, c.stall);
  }
}

// ---- Near-integer push ---------------------------------------------------

// With r = 0 the reach is 0.1: a value whose magnitude lies within 0.1 above
// a whole number is pushed; distance e above a positive whole number becomes
// e - e/(sqrt(e) + 1); a negative value moves further down by that amount.
TEST(NearIntegerPush, PushesValuesJustAboveWholeNumbers) {
  auto pushed = [](double e) { return e / (std::sqrt(e) + 1); };
  struct Case {
    const char* name;
    double x, expected;
  } cases[] = {
      {"JustAbove", 3.05, 3.05 - pushed(3.05 - 3)},
      {"NegativeJustBeyond", -3.05, -3.05 - pushed(3.05 - 3)},
      {"BelowOne", 0.04, 0.04 - pushed(0.04)},
      {"Whole", 4.0, 4.0},
      {"Half", 2.5, 2.5},
      {"TooFar", 3.2, 3.2},
      {"JustBelowWhole", 2.97, 2.97},
  };
  for (const auto& c : cases) {
    double rw[2] = {0.5, 0.0};  // r = 0: reach 10^-1
    double value = c.x;
    kestro::LaggedGenerator generator(rw);
    kestro::kernel::nudge_near_integers(kestro::RealView(&value, 1), 1, 0, generator);
    EXPECT_DOUBLE_EQ(value, c.expected) << c.name;
  }
}

TEST(NearIntegerPush, ReachShrinksWithTheDraw) {
  // r = 0.5: reach 10^-2.5, about 0.00316.
  struct Case {
    double x;
    bool moves;
  } cases[] = {{7.003, true}, {7.004, false}};
  for (const auto& c : cases) {
    double rw[2] = {0.1, 0.5};
    double value = c.x;
    kestro::LaggedGenerator generator(rw);
    kestro::kernel::nudge_near_integers(kestro::RealView(&value, 1), 1, 0, generator);
    EXPECT_EQ(value != c.x, c.moves) << c.x;
    if (c.moves) {
      EXPECT_LT(value, c.x);
      EXPECT_GT(value, 7.0);
    }
  }
}

// io18_: one draw; above 0.99 the push follows with a second draw; the last
// NI variables are never touched.
TEST(NearIntegerPush, ExportedEntryPushesOnlyAfterAHighDraw) {
  struct Case {
    const char* name;
    double first_draw;
    int draws;
    bool pushed;
  } cases[] = {{"AtThreshold", 0.99, 1, false}, {"Above", 0.995, 2, true}};
  for (const auto& c : cases) {
    double rw[2] = {0.3, c.first_draw};
    const double before[2] = {rw[0], rw[1]};
    double x[3] = {1.0001, 2.0001, 3.0001};
    const int n = 3, ni = 1;
    io18_(x, &n, &ni, rw);
    EXPECT_EQ(draws_between(before, rw), c.draws) << c.name;
    EXPECT_EQ(x[0] < 1.0001, c.pushed) << c.name;
    EXPECT_EQ(x[1] < 2.0001, c.pushed) << c.name;
    EXPECT_EQ(x[2], 3.0001) << c.name << ": integer variable";
  }
}

}  // namespace
