// Whole runs through the solver entry: determinism, every way a run ends,
// what is booked when a stop arrives during the pattern search, and that the
// returned point is always one that was evaluated.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "kernel/outer_restart.hpp"
#include "support/run.hpp"

namespace {

using kestro::testing::mixed_integer;
using kestro::testing::Runner;
using kestro::testing::RunTrace;
using kestro::testing::TestProblem;

// A shifted sphere in n variables, the last ni of them integers.
TestProblem sphere(int l, int n, int ni) {
  TestProblem p;
  p.l = l;
  p.n = n;
  p.ni = ni;
  p.xl.assign(n, -5);
  p.xu.assign(n, 5);
  p.x0.assign(n, 4);
  p.model = [n](const double* x, double* f, double*) {
    double s = 0;
    for (int i = 0; i < n; ++i) s += (x[i] - 1.5) * (x[i] - 1.5);
    *f = s;
  };
  return p;
}

// Never feasible: the single inequality is at most -1.
TestProblem infeasible(int l) {
  TestProblem p = sphere(l, 2, 0);
  p.m = 1;
  p.model = [](const double* x, double* f, double* g) {
    *f = x[0] + x[1];
    g[0] = -1.0 - x[0] * x[0];
  };
  return p;
}

// The returned point must be a point the caller evaluated: its F and G are
// the model's values at the returned X.
void expect_evaluated(const TestProblem& p, const RunTrace& t) {
  double f = 0;
  std::vector<double> g(p.m + 1);
  p.model(t.x.data(), &f, g.data());
  EXPECT_EQ(t.f[0], f);
  for (int j = 0; j < p.m; ++j) EXPECT_EQ(t.g[j], g[j]) << "constraint " << j;
}

TEST(Determinism, EqualSeedsGiveEqualRunsAndOtherSeedsDiffer) {
  for (const TestProblem& p : {mixed_integer(1), mixed_integer(5), sphere(3, 4, 2)}) {
    auto trace = [&](double seed) {
      Runner r(p);
      r.c.param[1] = seed;
      return r.run(4000);
    };
    const RunTrace a = trace(11), b = trace(11), other = trace(12);
    EXPECT_EQ(a.iflags, b.iflags);
    EXPECT_EQ(a.xs, b.xs);
    EXPECT_GE(a.iflags.size(), 4000u);
    EXPECT_NE(a.xs, other.xs);
  }
}

TEST(Determinism, SecondRunInAProcessEqualsARunInAFreshOne) {
  const TestProblem p = sphere(2, 3, 1);
  kestro::Context used;
  {
    // A first run left in the middle of a pattern-search phase.
    Runner first(mixed_integer(3));
    first.context = &used;
    first.start();
    for (int call = 0; call < 20000 && first.c.iflag != -500; ++call) {
      first.evaluate();
      first.call();
    }
    ASSERT_EQ(first.c.iflag, -500) << "the first run did not reach a pattern search";
    ASSERT_EQ(used.solver.kernel.search_active, 1);
  }
  auto trace = [&](kestro::Context& context) {
    Runner r(p);
    r.context = &context;
    r.c.param[1] = 5;
    return r.run(3000);
  };
  kestro::Context fresh;
  const RunTrace again = trace(used), new_process = trace(fresh);
  EXPECT_EQ(again.iflags, new_process.iflags);
  EXPECT_EQ(again.xs, new_process.xs);
}

TEST(RunEnd, StopRequestReturnsTheBestPointSoFar) {
  for (bool feasible : {true, false}) {
    const TestProblem p = feasible ? mixed_integer(2) : infeasible(2);
    Runner r(p);
    const RunTrace t = r.run(3000, [](Runner& run, int call) {
      if (call == 3000) run.c.iflag = -999;
    });
    EXPECT_EQ(t.final_iflag, feasible ? 1 : 2);
    EXPECT_EQ(r.c.istop, 1);
    expect_evaluated(p, t);
    EXPECT_EQ(t.f[0], r.global_f());
  }
}

TEST(RunEnd, AlgostopEndsAFeasibleRunThatNoLongerImproves) {
  const TestProblem p = mixed_integer(4);
  Runner r(p);
  r.c.param[3] = 2;  // ALGOSTOP
  const RunTrace t = r.run(200000);
  EXPECT_EQ(t.final_iflag, 3);
  expect_evaluated(p, t);
  // At least three outer restarts: the first takes the reference.
  int restarts = 0;
  for (int code : t.iflags) restarts += code == -300;
  EXPECT_GE(restarts, 2);
}

TEST(RunEnd, AlgostopNeverEndsARunWithoutAFeasiblePoint) {
  const TestProblem p = infeasible(4);
  Runner r(p);
  r.c.param[3] = 3;
  const RunTrace t = r.run(60000);
  int restarts = 0;
  for (int code : t.iflags) restarts += code == -300;
  EXPECT_GT(restarts, 5);
  EXPECT_EQ(r.c.istop, 0);
}

TEST(RunEnd, AlgostopTestCodes) {
  // A reference that stays infeasible and a global best that does not beat
  // it end with 4 (a run cannot get there: its global best only improves).
  kestro::kernel::KernelState s;
  s.algostop_limit = 2;
  s.algostop_ref_f = 1e16;
  EXPECT_EQ(kestro::kernel::algostop_test(s, 5.0, 0.5, 0.001), 0);  // takes the reference
  EXPECT_EQ(kestro::kernel::algostop_test(s, 5.0, 0.6, 0.001), 0);
  EXPECT_EQ(kestro::kernel::algostop_test(s, 5.0, 0.6, 0.001), 4);

  kestro::kernel::KernelState feasible;
  feasible.algostop_limit = 2;
  feasible.algostop_ref_f = 1e16;
  EXPECT_EQ(kestro::kernel::algostop_test(feasible, 5.0, 0.0, 0.001), 0);
  EXPECT_EQ(kestro::kernel::algostop_test(feasible, 5.0 - 4e-6, 0.0, 0.001), 0);  // not enough
  EXPECT_EQ(kestro::kernel::algostop_test(feasible, 4.0, 0.0, 0.001), 0);  // improves: count reset
  EXPECT_EQ(kestro::kernel::algostop_test(feasible, 4.0, 0.0, 0.001), 0);
  EXPECT_EQ(kestro::kernel::algostop_test(feasible, 4.0, 0.0, 0.001), 3);
}

TEST(RunEnd, EvalstopEndsWithTheReferencesFeasibility) {
  for (bool feasible : {true, false}) {
    const TestProblem p = feasible ? mixed_integer(3) : infeasible(3);
    Runner r(p);
    r.c.param[4] = 200;  // EVALSTOP: 200 evaluations without improvement
    const RunTrace t = r.run(100000);
    EXPECT_EQ(t.final_iflag, feasible ? 5 : 6);
    EXPECT_EQ(r.c.istop, 1);
    expect_evaluated(p, t);
  }
}

TEST(RunEnd, FstopEndsTheRunWhenAFeasiblePointMeetsIt) {
  const TestProblem p = sphere(1, 3, 0);
  Runner r(p);
  r.c.param[2] = 0.5;  // FSTOP
  const RunTrace t = r.run(100000);
  EXPECT_EQ(t.final_iflag, 7);
  EXPECT_LE(t.f[0], 0.5);
  expect_evaluated(p, t);
  for (std::size_t i = 0; i + 1 < t.iflags.size(); ++i) EXPECT_NE(t.iflags[i], -500);
}

TEST(RunEnd, FstopMetDuringThePatternSearch) {
  const TestProblem p = mixed_integer(2);
  Runner r(p);
  // Without a target until the pattern search runs, then any feasible point
  // meets it.
  const RunTrace t = r.run(100000, [](Runner& run, int) {
    if (run.c.iflag == -500) run.c.param[2] = 1e10;
  });
  EXPECT_EQ(t.final_iflag, 7);
  EXPECT_EQ(t.iflags[t.iflags.size() - 2], -500);
  expect_evaluated(p, t);
}

// The block in hand when a stop arrives during the pattern search: a stop
// request is not booked, ISTOP = 1 set by the caller is.
TEST(RunEnd, StopDuringThePatternSearch) {
  for (bool by_iflag : {true, false}) {
    const TestProblem p = mixed_integer(1);
    Runner r(p);
    std::vector<double> offered_x;
    const RunTrace t = r.run(100000, [&](Runner& run, int) {
      if (run.c.iflag != -500 || !offered_x.empty()) return;
      // Claim an excellent value for the point in hand.
      offered_x.assign(run.c.x.begin(), run.c.x.begin() + 2);
      run.c.f[0] = -100.0;
      run.c.g[0] = run.c.g[1] = 1.0;
      if (by_iflag)
        run.c.iflag = -999;
      else
        run.c.istop = 1;
    });
    ASSERT_FALSE(offered_x.empty());
    EXPECT_EQ(t.final_iflag, 1);
    if (by_iflag) {
      EXPECT_GT(t.f[0], 0.0);
      expect_evaluated(p, t);
    } else {
      EXPECT_EQ(t.f[0], -100.0);
      EXPECT_EQ(t.x, offered_x);
    }
  }
}

// The call that answers an outer restart starts a new kernel run from its
// first point even when a stop request replaces the -300.
TEST(RunEnd, StopRequestAnsweringAnOuterRestart) {
  for (int l : {1, 4}) {
    const TestProblem p = mixed_integer(l);
    Runner r(p);
    bool stopped = false;
    const RunTrace t = r.run(100000, [&](Runner& run, int) {
      if (run.c.iflag == -300 && !stopped) {
        run.c.iflag = -999;
        stopped = true;
      }
    });
    ASSERT_TRUE(stopped);
    EXPECT_EQ(t.final_iflag, 1);
    expect_evaluated(p, t);
  }
}

TEST(OuterRestart, ChangesOnlyTheFirstPointAfterAPatternSearch) {
  const TestProblem p = sphere(4, 3, 0);
  Runner r(p);
  std::vector<double> handed_in;
  int checked = 0;
  r.run(60000, [&](Runner& run, int) {
    if (!handed_in.empty() && run.c.iflag == -300) {
      // The previous call ended a pattern search with an outer restart.
      for (int k = 3; k < 12; ++k) EXPECT_EQ(run.c.x[k], handed_in[k]);
      ++checked;
    }
    handed_in.clear();
    if (run.c.iflag == -500) handed_in = run.c.x;
  });
  EXPECT_GT(checked, 0);
}

TEST(Results, AreAlwaysEvaluatedPoints) {
  for (int l : {1, 3, 8})
    for (double seed : {1.0, 2.0, 3.0}) {
      const TestProblem p = mixed_integer(l);
      Runner r(p);
      r.c.param[1] = seed;
      const RunTrace t = r.run(20000 / l, [](Runner& run, int call) {
        if (call == 20000 / run.p.l) run.c.iflag = -999;
      });
      ASSERT_EQ(r.c.istop, 1);
      expect_evaluated(p, t);
    }
}

}  // namespace
