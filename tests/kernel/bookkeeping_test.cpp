#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "abi/default_context.hpp"
#include "abi/internal_routines.h"
#include "core/random.hpp"
#include "interface/context.hpp"
#include "kernel/bookkeeping.hpp"
#include "support/guarded.hpp"

namespace {

using kestro::ConstRealView;
using kestro::IntView;
using kestro::RealView;
using kestro::kernel::EvalstopState;
using kestro::testing::Guarded;

// ---- Residual -------------------------------------------------------------

TEST(Residual, OnlyViolationsBeyondTheToleranceCount) {
  struct Case {
    const char* name;
    std::vector<double> g;
    int me;
    double acc, expected;
  } cases[] = {
      {"EqualityWithinTolerance", {0.0005}, 1, 0.001, 0.0},
      {"EqualityAboveTolerance", {0.002}, 1, 0.001, 0.002},
      {"EqualityBelowMinusTolerance", {-0.003}, 1, 0.001, 0.003},
      {"InequalityWithinTolerance", {-0.0009}, 0, 0.001, 0.0},
      {"InequalityViolated", {-0.002}, 0, 0.001, 0.002},
      {"InequalitySatisfiedByAnyMargin", {5.0}, 0, 0.001, 0.0},
      {"MixedRow", {0.25, -0.5, 3.0, -0.125}, 2, 0.001, 0.875},
      {"AllExactlyAtTheTolerance", {0.001, -0.001, -0.001}, 2, 0.001, 0.0},
      {"NoConstraints", {}, 0, 0.001, 0.0},
  };
  for (const auto& c : cases) {
    double res = -1.0;
    const int m = static_cast<int>(c.g.size());
    o31_(&res, c.g.data(), &m, &c.me, &c.acc);
    EXPECT_EQ(res, c.expected) << c.name;
  }
}

// ---- Better-than rule and the global-best record ----------------------------

TEST(BetterThan, ReplacesOnlyByTheRuleAndNeverOnATie) {
  const double acc = 0.001;
  struct Case {
    const char* name;
    double res, f, best_res, best_f;
    bool replaces;
  } cases[] = {
      {"SmallerResidualBeatsInfeasibleBest", 1.0, 1e9, 2.0, 0.0, true},
      {"SameResidualNeverBeatsInfeasibleBest", 2.0, -1e9, 2.0, 0.0, false},
      {"LargerResidualLoses", 3.0, -1e9, 2.0, 0.0, false},
      {"FeasibleBeatsInfeasibleBest", 0.0, 1e9, 2.0, 0.0, true},
      {"SmallerFBeatsFeasibleBest", 0.0, 4.0, 0.0, 5.0, true},
      {"EqualFNeverBeatsFeasibleBest", 0.0, 5.0, 0.0, 5.0, false},
      {"InfeasibleNeverBeatsFeasibleBest", 0.5, -1e9, 0.0, 5.0, false},
      {"ResidualAtToleranceCountsAsFeasible", 0.001, 4.0, 0.0, 5.0, true},
      {"BestAtToleranceCountsAsFeasible", 0.0, 6.0, 0.001, 5.0, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(kestro::kernel::better_than(c.res, c.f, c.best_res, c.best_f, acc), c.replaces)
        << c.name;
}

// The record of i401_ as the main loop lays it out after RW(BASE): X(1..N),
// F, G(1..M), residual; RW holds exactly BASE + N + M + 2 cells.
struct GlobalRecord {
  static constexpr int n = 2, m = 2, me = 1, base = 5;
  Guarded<double> rw{base + n + m + 2, 0.0};

  void set(double x1, double x2, double f, double g1, double g2, double res) {
    rw[base] = x1;
    rw[base + 1] = x2;
    rw[base + n] = f;
    rw[base + n + 1] = g1;
    rw[base + n + 2] = g2;
    rw[base + n + m + 1] = res;
  }
  int offer(const double* x, double f, const double* g) {
    const int pf = n + 1, pg = n + 2, px = 1, pr = n + m + 2;
    const double acc = 0.001;
    int flag = -1;
    i401_(&f, g, x, rw.data(), &pf, &pg, &px, &pr, &n, &m, &me, &base, &acc, &flag);
    return flag;
  }
  std::vector<double> record() {
    std::vector<double> r;
    for (int p = base; p < base + n + m + 2; ++p) r.push_back(rw[p]);
    return r;
  }
};

TEST(GlobalBest, BetterPointOverwritesTheWholeRecord) {
  GlobalRecord r;
  r.set(9, 9, 7.0, 0.0, -2.0, 2.0);  // infeasible record, residual 2
  const double x[] = {1.5, -2.5};
  const double g[] = {0.5, -1.0};  // residual 0.5 + 1.0
  EXPECT_EQ(r.offer(x, 100.0, g), 1);
  EXPECT_EQ(r.record(), (std::vector<double>{1.5, -2.5, 100.0, 0.5, -1.0, 1.5}));
  EXPECT_TRUE(r.rw.guards_intact());
}

TEST(GlobalBest, EqualResidualLeavesAnInfeasibleRecordAlone) {
  GlobalRecord r;
  r.set(9, 9, 7.0, 0.0, -2.0, 2.0);
  const auto before = r.record();
  const double x[] = {1.5, -2.5};
  const double g[] = {2.0, 0.0};  // residual 2, the record's
  EXPECT_EQ(r.offer(x, -100.0, g), 0);
  EXPECT_EQ(r.record(), before);
  EXPECT_TRUE(r.rw.guards_intact());
}

TEST(GlobalBest, FeasibleRecordFallsOnlyToASmallerFeasibleF) {
  GlobalRecord r;
  r.set(9, 9, 7.0, 0.0, 1.0, 0.0);
  const double x[] = {1.0, 2.0};
  const double feasible[] = {0.0005, 3.0};  // within the tolerance: residual 0
  const double infeasible[] = {0.0, -0.5};
  EXPECT_EQ(r.offer(x, 7.0, feasible), 0);
  EXPECT_EQ(r.offer(x, -50.0, infeasible), 0);
  EXPECT_EQ(r.offer(x, 6.5, feasible), 1);
  EXPECT_EQ(r.record(), (std::vector<double>{1.0, 2.0, 6.5, 0.0005, 3.0, 0.0}));
}

// ---- Best start point of a block ------------------------------------------

TEST(BestStartPoint, ChosenPointFillsEverySlot) {
  struct Case {
    const char* name;
    int m, me;
    std::vector<double> f, g;
    int expected;  // 1-based point
  } cases[] = {
      {"FeasibleSmallestFirstOfATie", 1, 0, {5, 2, 2}, {0, 0, 0}, 2},
      {"NoConstraintsFirstOfATie", 0, 0, {3, 1, 1}, {}, 2},
      {"NoConstraintsSmallestLast", 0, 0, {3, 2, 1}, {}, 3},
      {"InfeasibleSmallerResidualFirstOfATie", 1, 0, {1, 9, 8}, {-3, -1, -1}, 2},
      {"FeasibleAfterInfeasibleStart", 1, 0, {0, 10, 9}, {-2, 0, 0}, 3},
      {"InfeasiblePointNeverReplacesAFeasibleBest", 1, 0, {1, -5, 0.5}, {0, -1, 0}, 3},
      {"EqualityWithinTolerance", 1, 1, {4, 3, 5}, {0.0009, 0.0005, 0.002}, 2},
  };
  for (const auto& c : cases) {
    const int l = 3, n = 2;
    std::vector<double> f = c.f, g = c.g;
    std::vector<double> x = {10, 11, 20, 21, 30, 31};
    const double acc = 0.001;
    k22_(&l, &n, &c.m, &c.me, f.data(), g.data(), x.data(), &acc);
    const int b = c.expected - 1;
    for (int i = 0; i < l; ++i) {
      EXPECT_EQ(f[i], c.f[b]) << c.name << " slot " << i + 1;
      EXPECT_EQ(x[2 * i], 10.0 * (b + 1)) << c.name << " slot " << i + 1;
      EXPECT_EQ(x[2 * i + 1], 10.0 * (b + 1) + 1) << c.name << " slot " << i + 1;
      if (c.m > 0) {
        EXPECT_EQ(g[i], c.g[b]) << c.name << " slot " << i + 1;
      }
    }
  }
}

TEST(BestStartPoint, SinglePointBlockIsLeftAsItIs) {
  const int l = 1, n = 2, m = 1, me = 0;
  double f[] = {5}, g[] = {-3}, x[] = {1, 2};
  const double acc = 0.001;
  k22_(&l, &n, &m, &me, f, g, x, &acc);
  EXPECT_EQ(f[0], 5);
  EXPECT_EQ(g[0], -3);
  EXPECT_EQ(x[1], 2);
}

// ---- EVALSTOP -------------------------------------------------------------

struct Evalstop {
  EvalstopState state;
  double param[13] = {};
  int m = 0, me = 0;
  double acc = 0.001;
  int istop = 0, iflag = 0;

  explicit Evalstop(double evalstop) { param[4] = evalstop; }

  void reference(double f, std::vector<double> g = {}) {
    iflag = 0;
    account(f, g);
    iflag = -1;
  }
  void account(double f, std::vector<double> g = {}) {
    kestro::kernel::evalstop_account(state, f, ConstRealView(g.data(), m), m, me, acc,
                                     ConstRealView(param, 13), istop, iflag);
  }
};

TEST(Evalstop, HundredEvaluationsWithoutFivePercentEndTheRun) {
  Evalstop e(100.05);
  e.reference(100.0);
  EXPECT_NEAR(e.state.evalstop_tol, 0.05, 1e-12);
  for (int k = 1; k <= 99; ++k) e.account(95.5);  // 4.5 % better: not enough
  EXPECT_EQ(e.istop, 0);
  EXPECT_EQ(e.state.evalstop_count, 99);
  e.account(95.0);  // 5 % better: the new reference, count from 0
  EXPECT_EQ(e.state.evalstop_count, 0);
  EXPECT_EQ(e.state.evalstop_ref_f, 95.0);
  for (int k = 1; k <= 99; ++k) e.account(90.3);  // 95 - 4.75 = 90.25 is needed
  EXPECT_EQ(e.istop, 0);
  EXPECT_EQ(e.iflag, -1);
  e.account(90.3);
  EXPECT_EQ(e.istop, 1);
  EXPECT_EQ(e.iflag, 5);
}

TEST(Evalstop, ReferenceOfZeroIsImprovedByEveryNonPositiveF) {
  Evalstop e(2);
  e.reference(0.0);
  EXPECT_EQ(e.state.evalstop_tol, 0.001);
  e.account(0.0);
  e.account(-0.0);
  e.account(0.0);
  EXPECT_EQ(e.state.evalstop_count, 0);
  e.account(1e-300);
  EXPECT_EQ(e.istop, 0);
  e.account(1e-300);
  EXPECT_EQ(e.istop, 1);
  EXPECT_EQ(e.iflag, 5);
}

TEST(Evalstop, InfeasibleReferenceIsImprovedByResidualAndEndsWithSix) {
  Evalstop e(3.25);  // three evaluations, 25 %
  e.m = 1;
  e.reference(1.0, {-8.0});  // residual 8: a residual of 6 or less is needed
  e.account(-1e9, {-7.0});   // F does not matter
  e.account(-1e9, {-6.5});
  EXPECT_EQ(e.state.evalstop_count, 2);
  e.account(50.0, {-6.0});
  EXPECT_EQ(e.state.evalstop_count, 0);
  EXPECT_EQ(e.state.evalstop_ref_res, 6.0);
  EXPECT_EQ(e.state.evalstop_ref_f, 50.0);
  e.account(0.0, {-4.6});  // 4.5 is needed now
  e.account(0.0, {-4.6});
  EXPECT_EQ(e.istop, 0);
  e.account(0.0, {-4.6});
  EXPECT_EQ(e.istop, 1);
  EXPECT_EQ(e.iflag, 6);
}

TEST(Evalstop, FeasibleReferenceNeedsAFeasiblePointWithBetterF) {
  Evalstop e(2);
  e.m = 1;
  e.reference(10.0, {-20.0});
  e.account(10.0, {0.0});  // any feasible point beats an infeasible reference
  EXPECT_EQ(e.state.evalstop_ref_res, 0.0);
  e.account(-1e9, {-0.5});  // infeasible: never an improvement now
  EXPECT_EQ(e.state.evalstop_count, 1);
  e.account(9.99, {0.0});  // exactly 0.1 % better
  EXPECT_EQ(e.state.evalstop_count, 0);
  EXPECT_EQ(e.state.evalstop_ref_f, 9.99);
  e.account(9.99, {0.0});
  e.account(9.99, {-0.0005});
  EXPECT_EQ(e.istop, 1);
  EXPECT_EQ(e.iflag, 5);
}

TEST(Evalstop, ExportedRoutineKeepsItsStateInTheSolverContext) {
  const double param[13] = {0, 0, 0, 0, 1.25};
  const int m = 0, me = 0;
  const double acc = 0.001, g = 0.0;
  int istop = 0, iflag = 0;
  double f = 8.0;
  i405_(&f, &g, &m, &me, &acc, param, &istop, &iflag);
  const auto& state = kestro::abi::default_context().solver.kernel.evalstop;
  EXPECT_EQ(state.evalstop_ref_f, 8.0);
  EXPECT_EQ(state.evalstop_tol, 0.25);
  iflag = -1;
  f = 6.5;  // 8 - 2 = 6 is needed
  i405_(&f, &g, &m, &me, &acc, param, &istop, &iflag);
  EXPECT_EQ(istop, 1);
  EXPECT_EQ(iflag, 5);
}

// ---- All-different repair of integer variables -------------------------------

struct Repair {
  std::vector<double> x, xl, xu;
  int ni;
  double s1, s2;
};

// Runs i409_ with the scratch at the very end of IW.
std::vector<double> repaired(Repair r, double* state_after = nullptr) {
  const int n = static_cast<int>(r.x.size());
  const int iwk = 3;
  Guarded<int> iw(iwk + n - 1, 0);
  Guarded<double> rw(2);
  rw[0] = r.s1;
  rw[1] = r.s2;
  i409_(&n, &r.ni, r.x.data(), r.xl.data(), r.xu.data(), rw.data(), iw.data(), &iwk);
  EXPECT_TRUE(iw.guards_intact());
  EXPECT_TRUE(rw.guards_intact());
  if (state_after) {
    state_after[0] = rw[0];
    state_after[1] = rw[1];
  }
  return r.x;
}

TEST(AllDifferent, ShuffledOrderDecidesWhichDuplicateMoves) {
  // From (0.6, 0.7) the draws are 0.7, 0.3: the visiting order becomes 2, 1
  // and variable 2 moves. From (0.2, 0.3) they are 0.3, 0.623456789: the
  // order stays 1, 2 and variable 1 moves.
  struct Case {
    const char* name;
    double s1, s2;
    std::vector<double> expected;
  } cases[] = {
      {"SecondVisitedFirst", 0.6, 0.7, {3, 4}},
      {"FirstVisitedFirst", 0.2, 0.3, {4, 3}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(repaired({{3, 3}, {0, 0}, {5, 5}, 2, c.s1, c.s2}), c.expected) << c.name;
}

TEST(AllDifferent, DrawsOncePerVariable) {
  for (int n : {1, 2, 5}) {
    Repair r{std::vector<double>(n, 1.0),
             std::vector<double>(n, 0.0),
             std::vector<double>(n, 9.0),
             n,
             0.6,
             0.7};
    double after[2];
    repaired(r, after);
    double expected[2] = {0.6, 0.7};
    kestro::LaggedGenerator generator(expected);
    for (int k = 0; k < n; ++k) generator.draw();
    EXPECT_EQ(after[0], expected[0]) << "N = " << n;
    EXPECT_EQ(after[1], expected[1]) << "N = " << n;
  }
}

TEST(AllDifferent, StepsUpBeforeDownAndGivesUpBeyondTheRange) {
  // From (0, 1) every draw is exactly 1.0; the shuffle keeps the identity
  // order (a draw of 1.0 stays inside the positions filled so far).
  struct Case {
    const char* name;
    std::vector<double> x, xl, xu;
    int ni;
    std::vector<double> expected;
  } cases[] = {
      {"UpWhenFreeElseDown", {2, 2, 2}, {0, 0, 0}, {5, 5, 5}, 3, {3, 1, 2}},
      {"AtTheUpperBoundGoesDown", {5, 5}, {0, 0}, {5, 5}, 2, {4, 5}},
      {"LargerStepPastTakenValues", {2, 2, 3, 1}, {0, 0, 0, 0}, {9, 9, 9, 9}, 4, {4, 2, 3, 1}},
      {"NoRoomLeavesTheRest", {0, 0, 0}, {0, 0, 0}, {1, 1, 1}, 3, {1, 0, 0}},
      {"FixedVariableCannotMove", {4, 4}, {4, 0}, {4, 9}, 2, {4, 5}},
      {"ContinuousVariablesNeitherMoveNorBlock",
       {3, 4, 3, 3},
       {0, 0, 0, 0},
       {9, 9, 9, 9},
       2,
       {3, 4, 4, 3}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(repaired({c.x, c.xl, c.xu, c.ni, 0.0, 1.0}), c.expected) << c.name;
}

TEST(AllDifferent, ValuesTooLargeForWholeStepsStayPut) {
  const double big = 1e300;
  EXPECT_EQ(repaired({{big, big}, {-big, -big}, {big, big}, 2, 0.0, 1.0}),
            (std::vector<double>{big, big}));
}

TEST(AllDifferent, ScratchOutsideIwDoesNothing) {
  const int n = 3;
  std::vector<double> x = {1, 1, 1}, xl = {0, 0, 0}, xu = {5, 5, 5};
  Guarded<int> iw(4, 0);
  double rw[2] = {0.6, 0.7};
  kestro::kernel::make_integers_all_different(
      n, n, RealView(x.data(), n), ConstRealView(xl.data(), n), ConstRealView(xu.data(), n),
      RealView(rw, 2), IntView(iw.data(), 4), 3);
  EXPECT_EQ(x, (std::vector<double>{1, 1, 1}));
  EXPECT_EQ(rw[0], 0.6);
  EXPECT_EQ(rw[1], 0.7);
  EXPECT_TRUE(iw.guards_intact());
}

// ---- Rank weights and work-area positions ---------------------------------

TEST(RankWeights, LinearInRankAndSummingToOne) {
  struct Case {
    int k;
    std::vector<double> expected;
  } cases[] = {
      {4, {0.4, 0.3, 0.2, 0.1}},
      {1, {1.0}},
      {2, {2.0 / 3.0, 1.0 / 3.0}},
  };
  for (const auto& c : cases) {
    const int base = 3;
    Guarded<double> rw(base + c.k - 1, -1.0);
    o37_(&c.k, rw.data(), nullptr, &base);
    for (int r = 1; r <= c.k; ++r)
      EXPECT_EQ(rw[base + r - 2], c.expected[r - 1]) << "K = " << c.k << " r = " << r;
    EXPECT_EQ(rw[0], -1.0);
    EXPECT_TRUE(rw.guards_intact());
  }
  const int k = 100, base = 1;
  std::vector<double> rw(100);
  o37_(&k, rw.data(), nullptr, &base);
  EXPECT_EQ(rw[0], 100.0 / 5050.0);
  double sum = 0;
  for (double w : rw) sum += w;
  EXPECT_NEAR(sum, 1.0, 1e-12);
}

TEST(RankWeights, NothingForAnEmptyArchive) {
  for (int k : {0, -3}) {
    const int base = 1;
    Guarded<double> rw(0);
    o37_(&k, rw.data(), nullptr, &base);
    EXPECT_TRUE(rw.guards_intact()) << "K = " << k;
  }
}

TEST(WorkAreaPositions, ArchiveAndSpreadsWhereTheLayoutPutsThem) {
  const int n = 3, m = 2, k = 100;
  int p[15];
  o34_(&n, &m, &p[0], &p[1], &p[2], &p[3], &p[4], &k, &p[5], &p[6], &p[7], &p[8], &p[9], &p[10],
       &p[11], &p[12], &p[13], &p[14]);
  const int expected[15] = {10, 13, 14, 16, 17, 18, 318, 418, 518, 719, 819, 618, 822, 823, 824};
  for (int i = 0; i < 15; ++i) EXPECT_EQ(p[i], expected[i]) << "result " << i + 1;
  EXPECT_EQ(p[10], m + 101 * n + 514);  // S0 with a capacity of 100
}

TEST(WorkAreaPositions, ColonyCellsInArgumentOrder) {
  int c[8] = {};
  o33_(&c[0], &c[1], &c[2], &c[3], &c[4], &c[5], &c[6], &c[7]);
  const int expected[8] = {2, 3, 1, 4, 5, 6, 7, 8};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(c[i], expected[i]) << "argument " << i + 1;
}

}  // namespace
