// Every code of the first-call checks, each at its boundary, reached through
// the solver entry as a caller would meet it.
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/problem.hpp"

namespace {

using kestro::testing::Caller;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// A first call that passes the checks returns the first block of the
// colony's first restart cycle.
constexpr int kRunGoesOn = -3;

// A sound problem: three variables (the last an integer in 0..3), one
// equality and one inequality, both satisfied.
Caller sound_problem() {
  Caller c = Caller::with_sizes(1, 1, 3, 1, 2, 1);
  c.x = {0.5, 0.5, 1.0};
  c.xl = {0.0, 0.0, 0.0};
  c.xu = {1.0, 1.0, 3.0};
  c.f = {1.0};
  c.g = {0.0, 1.0};
  return c;
}

struct Case {
  std::string name;
  std::function<void(Caller&)> change;
  int iflag;
  int istop;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

void resize(Caller& c, int l, int o, int n, int ni, int m, int me) {
  Caller fresh = Caller::with_sizes(l, o, n, ni, m, me);
  c = fresh;
}

const Case kCases[] = {
    {"Sound", [](Caller&) {}, kRunGoesOn, 0},
    // Workspace lengths, at their bounds.
    {"LrwOneShort",
     [](Caller& c) {
       c.lrw -= 1;
       c.allocate();
     },
     501, 1},
    {"LiwOneShort",
     [](Caller& c) {
       c.liw -= 1;
       c.allocate();
     },
     601, 1},
    {"LrwBeforeLiw",
     [](Caller& c) {
       c.lrw -= 1;
       c.liw -= 1;
       c.allocate();
     },
     501, 1},
    // Sizes.
    {"NoPoints", [](Caller& c) { resize(c, 0, 1, 3, 0, 0, 0); }, 100, 1},
    {"NegativePoints", [](Caller& c) { resize(c, -4, 1, 3, 0, 0, 0); }, 100, 1},
    {"NoObjective", [](Caller& c) { resize(c, 1, 0, 3, 0, 0, 0); }, 101, 1},
    {"NegativeObjectives", [](Caller& c) { resize(c, 1, -2, 3, 0, 0, 0); }, 101, 1},
    {"NoVariables", [](Caller& c) { resize(c, 1, 1, 0, 0, 0, 0); }, 102, 1},
    {"NegativeIntegers", [](Caller& c) { resize(c, 1, 1, 3, -1, 0, 0); }, 103, 1},
    {"MoreIntegersThanVariables", [](Caller& c) { resize(c, 1, 1, 3, 4, 0, 0); }, 104, 1},
    {"NegativeConstraints", [](Caller& c) { resize(c, 1, 1, 3, 0, -1, 0); }, 105, 1},
    {"NegativeEqualities", [](Caller& c) { resize(c, 1, 1, 3, 0, 2, -1); }, 106, 1},
    {"MoreEqualitiesThanConstraints", [](Caller& c) { resize(c, 1, 1, 3, 0, 2, 3); }, 107, 1},
    {"PointsCheckedBeforeVariables", [](Caller& c) { resize(c, 0, 1, 0, 0, 0, 0); }, 100, 1},
    // Start point and bounds.
    {"StartNaN", [](Caller& c) { c.x[1] = kNaN; }, 201, 1},
    {"LowerNaN", [](Caller& c) { c.xl[1] = kNaN; }, 202, 1},
    {"UpperNaN", [](Caller& c) { c.xu[1] = kNaN; }, 203, 1},
    {"StartJustInsideLowerMargin", [](Caller& c) { c.x[0] = -0.00005; }, kRunGoesOn, 0},
    {"StartBelowLower", [](Caller& c) { c.x[0] = -0.00011; }, 204, 1},
    {"StartJustInsideUpperMargin", [](Caller& c) { c.x[0] = 1.00009; }, kRunGoesOn, 0},
    {"StartAboveUpper", [](Caller& c) { c.x[0] = 1.00011; }, 205, 1},
    {"BoundsCrossed",
     [](Caller& c) {
       c.xl[0] = 1.00015;
       c.xu[0] = 1.0;
       c.x[0] = 1.00007;
     },
     206, 1},
    {"BoundsCrossedWithinMargin",
     [](Caller& c) {
       c.xl[0] = 1.00005;
       c.xu[0] = 1.0;
       c.x[0] = 1.0;
     },
     kRunGoesOn, 0},
    {"VariablesCheckedInOrder",
     [](Caller& c) {
       c.x[0] = 5.0;
       c.xl[1] = kNaN;
     },
     205, 1},
    {"StartPointBeforeParam",
     [](Caller& c) {
       c.x[0] = kNaN;
       c.param[0] = -1;
     },
     201, 1},
    // PARAM ranges.
    {"AccuracyNegative", [](Caller& c) { c.param[0] = -1e-9; }, 301, 1},
    {"AccuracyHuge", [](Caller& c) { c.param[0] = 2e99; }, 301, 1},
    {"AccuracyAtLimit", [](Caller& c) { c.param[0] = 1e99; }, kRunGoesOn, 0},
    {"SeedNegative", [](Caller& c) { c.param[1] = -1; }, 302, 1},
    {"FstopTooLow", [](Caller& c) { c.param[2] = -2e99; }, 303, 1},
    {"FstopTooHigh", [](Caller& c) { c.param[2] = 2e99; }, 303, 1},
    {"AlgostopNegative", [](Caller& c) { c.param[3] = -1; }, 304, 1},
    {"EvalstopNegative", [](Caller& c) { c.param[4] = -1; }, 305, 1},
    {"FocusFractional", [](Caller& c) { c.param[5] = 1.5; }, 306, 1},
    {"FocusNearlyWhole", [](Caller& c) { c.param[5] = -3.0000005; }, kRunGoesOn, 0},
    {"FocusHuge", [](Caller& c) { c.param[5] = 2e99; }, 306, 1},
    {"FocusBeyond32Bits", [](Caller& c) { c.param[5] = 3e9; }, 306, 1},
    {"AntsNegative", [](Caller& c) { c.param[6] = -1; }, 307, 1},
    {"KernelAbove100",
     [](Caller& c) {
       c.param[6] = 200;
       c.param[7] = 101;
     },
     308, 1},
    {"KernelNegative", [](Caller& c) { c.param[7] = -1; }, 308, 1},
    {"KernelEqualsAnts",
     [](Caller& c) {
       c.param[6] = 10;
       c.param[7] = 10;
     },
     kRunGoesOn, 0},
    {"KernelAboveAnts",
     [](Caller& c) {
       c.param[6] = 10;
       c.param[7] = 11;
     },
     309, 1},
    {"KernelZeroWithAnts", [](Caller& c) { c.param[6] = 10; }, 310, 1},
    {"KernelWithoutAnts", [](Caller& c) { c.param[7] = 2; }, 311, 1},
    {"OracleHuge", [](Caller& c) { c.param[8] = -2e99; }, 312, 1},
    {"BalanceFraction", [](Caller& c) { c.param[11] = 0.7; }, kRunGoesOn, 0},
    {"BalanceNegativeWhole", [](Caller& c) { c.param[11] = -3; }, kRunGoesOn, 0},
    {"BalanceOutOfRange", [](Caller& c) { c.param[11] = 2.5; }, 350, 1},
    {"BalanceBeyond32Bits", [](Caller& c) { c.param[11] = 3e9; }, 350, 1},
    {"CharacterAbove3", [](Caller& c) { c.param[12] = 4; }, 351, 1},
    {"CharacterNegative", [](Caller& c) { c.param[12] = -1; }, 351, 1},
    {"CharacterFractional", [](Caller& c) { c.param[12] = 1.5; }, 352, 1},
    {"CharacterNearlyWhole", [](Caller& c) { c.param[12] = 2.0000005; }, kRunGoesOn, 0},
    {"ParamNaNBeforeEvalstopForm",
     [](Caller& c) {
       c.param[4] = 0.5;
       c.param[0] = kNaN;
     },
     399, 1},
    {"EvalstopBelowOne", [](Caller& c) { c.param[4] = 0.5; }, 347, 1},
    {"EvalstopFractionHalf", [](Caller& c) { c.param[4] = 2.5; }, 348, 1},
    {"EvalstopFractionBelowHalf", [](Caller& c) { c.param[4] = 2.4; }, kRunGoesOn, 0},
    {"RangesBeforeNaN",
     [](Caller& c) {
       c.param[0] = kNaN;
       c.param[12] = 5;
     },
     351, 1},
    {"IstopNeitherZeroNorOne", [](Caller& c) { c.istop = 2; }, 401, 1},
    // All-different integers.
    {"AllDifferentClash",
     [](Caller& c) {
       resize(c, 1, 1, 3, 2, 0, 0);
       c.x = {0.5, 2.0, 2.0};
       c.xu = {1.0, 5.0, 5.0};
       c.param[12] = 3;
     },
     402, 1},
    {"AllDifferentAccepted",
     [](Caller& c) {
       resize(c, 1, 1, 3, 2, 0, 0);
       c.x = {0.5, 2.0, 3.0};
       c.xu = {1.0, 5.0, 5.0};
       c.param[12] = 3;
     },
     kRunGoesOn, 0},
    {"AllDifferentWithNaNCharacter",
     [](Caller& c) {
       resize(c, 1, 1, 3, 2, 0, 0);
       c.x = {0.5, 2.0, 2.0};
       c.xu = {1.0, 5.0, 5.0};
       c.param[12] = kNaN;
     },
     402, 1},
    {"AllDifferentIgnoresContinuous",
     [](Caller& c) {
       resize(c, 1, 1, 3, 1, 0, 0);
       c.x = {0.5, 0.5, 2.0};
       c.xu = {1.0, 1.0, 5.0};
       c.param[12] = 3;
     },
     kRunGoesOn, 0},
    // Integer data, after the workspace is cleared.
    {"IntegerStartNotWhole", [](Caller& c) { c.x[2] = 1.5; }, 881, 1},
    {"IntegerStartNearlyWhole", [](Caller& c) { c.x[2] = 1.0009; }, kRunGoesOn, 0},
    {"IntegerLowerNotWhole", [](Caller& c) { c.xl[2] = 0.5; }, 882, 1},
    {"IntegerUpperNotWhole", [](Caller& c) { c.xu[2] = 2.5; }, 883, 1},
    {"IntegerErrorBeforeWarning",
     [](Caller& c) {
       c.x[2] = 1.5;
       c.xl[0] = c.xu[0] = 0.5;
     },
     881, 1},
    // Warnings: the run goes on.
    {"StartHuge",
     [](Caller& c) {
       c.x[0] = 2e16;
       c.xu[0] = 3e16;
     },
     51, 0},
    {"LowerHuge", [](Caller& c) { c.xl[0] = -2e16; }, 52, 0},
    {"UpperHuge", [](Caller& c) { c.xu[0] = 2e16; }, 53, 0},
    {"FixedVariable", [](Caller& c) { c.xl[1] = c.xu[1] = 0.5; }, 71, 0},
    {"WarningsPerVariableInOrder",
     [](Caller& c) {
       c.xl[0] = c.xu[0] = 0.5;
       c.x[1] = 2e16;
       c.xu[1] = 3e16;
     },
     71, 0},
    {"FstopLarge", [](Caller& c) { c.param[2] = -2e16; }, 91, 0},
    {"OracleLarge", [](Caller& c) { c.param[8] = 2e16; }, 92, 0},
    {"FstopBeforeOracle",
     [](Caller& c) {
       c.param[2] = -2e16;
       c.param[8] = 2e16;
     },
     91, 0},
    // A NaN from the model is cleaned before the checks see it.
    {"ObjectiveNaNIsCleaned", [](Caller& c) { c.f[0] = kNaN; }, kRunGoesOn, 0},
    {"ConstraintNaNIsCleaned", [](Caller& c) { c.g[1] = kNaN; }, kRunGoesOn, 0},
};

class FirstCallCodes : public ::testing::TestWithParam<Case> {};

TEST_P(FirstCallCodes, GivesTheFirstMatchingCode) {
  const Case& test_case = GetParam();
  Caller c = sound_problem();
  test_case.change(c);
  c.iflag = 0;
  c.call();
  EXPECT_EQ(c.iflag, test_case.iflag);
  EXPECT_EQ(c.istop, test_case.istop);
}

INSTANTIATE_TEST_SUITE_P(Table, FirstCallCodes, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.name; });

// Several objectives: the front's parameters and PF's length.
struct FrontCase {
  std::string name;
  double paretomax, epsilon;
  int lpf_offset;  // added to P*(N + M + O)
  int iflag;       // of the workspace check; 0 when it passes
  int capacity;    // entries the front then holds at most (trunc of PARETOMAX)
};

void PrintTo(const FrontCase& c, std::ostream* os) { *os << c.name; }

class FrontCodes : public ::testing::TestWithParam<FrontCase> {};

TEST_P(FrontCodes, AreCheckedOnlyWithSeveralObjectives) {
  const FrontCase& fc = GetParam();
  Caller c = Caller::with_sizes(1, 2, 3, 0, 1, 0);
  const double capacity = std::fabs(fc.paretomax) >= 1 ? std::round(std::fabs(fc.paretomax)) : 1000;
  c.lpf = static_cast<int>(capacity * (3 + 1 + 2)) + fc.lpf_offset;
  c.allocate();
  std::fill(c.pf.begin(), c.pf.end(), 7.0);
  c.param[9] = fc.paretomax;
  c.param[10] = fc.epsilon;
  c.start();
  if (fc.iflag == 0) {
    // The run starts (a NaN PARETOMAX is refused by the later PARAM checks).
    const bool nan = std::isnan(fc.paretomax);
    EXPECT_EQ(c.iflag, nan ? 399 : kRunGoesOn);
    EXPECT_EQ(c.istop, nan ? 1 : 0);
    // PF cleared; then the feasible start point became the front's only
    // entry, if the front can hold one.
    std::vector<double> expected(c.pf.size(), 0.0);
    if (fc.capacity >= 1) {
      const int p = fc.capacity;
      expected[0] = 1.0;                                          // PSIZE
      expected[1] = expected[2] = 1.0;                            // F of entry 1
      expected[1 + 2 * p] = 1.0;                                  // G of entry 1
      for (int v = 0; v < 3; ++v) expected[1 + 3 * p + v] = 0.5;  // X of entry 1
    }
    for (std::size_t i = 0; i < c.pf.size(); ++i)
      ASSERT_EQ(c.pf[i], expected[i]) << "PF(" << i + 1 << ")";
  } else {
    EXPECT_EQ(c.iflag, fc.iflag);
    EXPECT_EQ(c.istop, 1);
    for (double v : c.pf) ASSERT_EQ(v, 7.0);  // nothing written
  }

  // With one objective none of this is looked at.
  Caller single = Caller::with_sizes(1, 1, 3, 0, 1, 0);
  single.lpf = 0;
  single.allocate();
  single.param[9] = fc.paretomax;
  single.param[10] = fc.epsilon;
  single.start();
  EXPECT_EQ(single.iflag, std::isnan(fc.paretomax) ? 399 : kRunGoesOn);
}

INSTANTIATE_TEST_SUITE_P(Table, FrontCodes,
                         ::testing::Values(FrontCase{"DefaultCapacityFits", 0, 0, 1, 0, 1000},
                                           FrontCase{"DefaultCapacityLpfEqual", 0, 0, 0, 344, 0},
                                           FrontCase{"GivenCapacityFits", 50, 0.1, 1, 0, 50},
                                           FrontCase{"GivenCapacityLpfEqual", -50, 0.1, 0, 344, 0},
                                           // Room for 1000 entries is demanded, but the front
                                           // holds none.
                                           FrontCase{"FractionalBelowOneMeansDefault", 0.00005, 0,
                                                     1, 0, 0},
                                           FrontCase{"ParetomaxHuge", 2e99, 0, 1, 321, 0},
                                           FrontCase{"ParetomaxFractional", 50.5, 0, 1, 322, 0},
                                           FrontCase{"ParetomaxNearlyWhole", 50.00005, 0, 1, 0, 50},
                                           FrontCase{"ParetomaxBeyond32Bits", 3e9, 0, 1, 322, 0},
                                           FrontCase{"EpsilonNegative", 0, -0.1, 1, 331, 0},
                                           FrontCase{"EpsilonAboveHalf", 0, 0.6, 1, 331, 0},
                                           FrontCase{"EpsilonHalf", 0, 0.5, 1, 0, 1000},
                                           FrontCase{"ParetomaxNaNUsesDefault", kNaN, 0, 1, 0, 0}),
                         [](const auto& info) { return info.param.name; });

TEST(WorkspaceCheck, ExactMinimumLengthsAreAccepted) {
  for (int l : {1, 3, 17}) {
    Caller c = Caller::with_sizes(l, 1, 4, 2, 3, 1);
    for (int i = 0; i < l; ++i) {
      c.x[i * 4 + 2] = 0.0;
      c.x[i * 4 + 3] = 1.0;
    }
    c.start();
    EXPECT_EQ(c.iflag, kRunGoesOn) << "L = " << l;
  }
}

TEST(WorkspaceCheck, SizesBeyond32BitsAreRefusedNotWrapped) {
  struct Sizes {
    int l, o, n, m, lrw;
  } cases[] = {
      {1, 1, 40000000, 0, 10000},                          // 120N beyond 32 bits
      {2000000000, 2000000000, 1, 2000000000, INT32_MAX},  // L(M + 2O + 20) beyond 64 bits
  };
  double pf[1] = {0}, param[13] = {};
  int liw = INT32_MAX, lpf = 1;
  for (const auto& s : cases) {
    int iflag = 0, istop = 0;
    precheck_(&s.l, &s.o, &s.n, &s.m, &s.lrw, &liw, &lpf, pf, param, &iflag, &istop);
    EXPECT_EQ(iflag, 501);
    EXPECT_EQ(istop, 1);
  }
}

}  // namespace

namespace {

// With several objectives the kernel carries 2O extra constraint columns, so
// for long blocks its own minimum can exceed the entry's: a workspace that
// passes the entry's check is then refused by the kernel's.
TEST(WorkspaceCheck, KernelMinimumWithManyObjectives) {
  Caller c = Caller::with_sizes(200, 50, 1, 0, 0, 0);
  c.lpf = 1000 * (1 + 0 + 50) + 1;
  c.lrw = static_cast<int>(kestro::testing::required_lrw(200, 50, 1, 0));  // 32610
  c.allocate();
  c.start();
  EXPECT_EQ(c.iflag, 502);
  EXPECT_EQ(c.istop, 1);
  // The kernel's minimum: 5L + M(L + 2) + 104N + 2LO + O(O + 6) + 522 with
  // its M = 2O constraint columns.
  const int kernel_minimum = 5 * 200 + 100 * 202 + 104 + 2 * 200 * 50 + 50 * 56 + 522;
  Caller enough = Caller::with_sizes(200, 50, 1, 0, 0, 0);
  enough.lpf = c.lpf;
  enough.lrw = kernel_minimum + 2000;
  enough.allocate();
  enough.start();
  EXPECT_LT(enough.iflag, 0);
  EXPECT_EQ(enough.istop, 0);
}

}  // namespace
