// The pattern-search phase driven call by call, with the caller's side
// (evaluating the returned points) played by the test.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "abi/internal_routines.h"
#include "core/random.hpp"
#include "kernel/pattern_search.hpp"
#include "kernel/presets.hpp"
#include "support/guarded.hpp"

namespace {

using kestro::ConstIntView;
using kestro::ConstRealView;
using kestro::IntView;
using kestro::RealView;
using kestro::kernel::PatternSearchCall;
using kestro::kernel::PatternSearchState;
using kestro::testing::Guarded;

using Objective = std::function<double(const double* x)>;
using Constraints = std::function<void(const double* x, double* g)>;

// One phase with arrays of exactly the declared lengths (guarded), a stage-1
// preset of the problem's character, and the caller's loop.
struct PhaseRun {
  int l, n, ni, m, me;
  Guarded<double> x, f, g, xl, xu, step, rw;
  Guarded<int> iw;
  double t1 = 1e-6, t2 = 1e-6, acc = 1e-3;
  double preset_r[17] = {};
  int preset_i[16] = {};
  int phase = 0, done = 0;
  PatternSearchState state;
  Objective objective = [](const double*) { return 1.0; };
  Constraints constraints = [](const double*, double*) {};

  PhaseRun(int l_, int n_, int ni_ = 0, int m_ = 0, int me_ = 0)
      : l(l_),
        n(n_),
        ni(ni_),
        m(m_),
        me(me_),
        x(static_cast<std::size_t>(l_ * n_), 0.0),
        f(static_cast<std::size_t>(l_), 0.0),
        g(static_cast<std::size_t>(l_ * m_), 0.0),
        xl(static_cast<std::size_t>(n_), -10.0),
        xu(static_cast<std::size_t>(n_), 10.0),
        step(static_cast<std::size_t>(n_), 0.5),
        rw(static_cast<std::size_t>(4 * n_ + m_ + 11), 0.0),
        iw(static_cast<std::size_t>(n_), 0) {
    kestro::kernel::PresetState preset;
    kestro::kernel::select_preset(preset, kestro::kernel::PresetRequest{l, n, ni, 0.0, 1, 1});
    std::copy(preset.preset_r, preset.preset_r + 17, preset_r);
    std::copy(preset.preset_i, preset.preset_i + 16, preset_i);
    seed(3.0);
  }

  void seed(double s) { kestro::LaggedGenerator(rw.data()).seed(s); }

  double* point(int i) { return x.data() + (i - 1) * n; }
  double* point_g(int i) { return g.data() + (i - 1) * m; }

  // Puts the same start point into every slot of the block and evaluates it.
  void hand_in(const std::vector<double>& start) {
    for (int i = 1; i <= l; ++i) std::copy(start.begin(), start.end(), point(i));
    evaluate(l);
  }
  void evaluate(int points) {
    for (int i = 1; i <= points; ++i) {
      f[static_cast<std::size_t>(i - 1)] = objective(point(i));
      if (m > 0) constraints(point(i), point_g(i));
    }
  }
  void call() {
    const PatternSearchCall c{l,
                              n,
                              ni,
                              m,
                              me,
                              RealView(x.data(), l * n),
                              RealView(f.data(), l),
                              RealView(g.data(), l * m),
                              ConstRealView(xl.data(), n),
                              ConstRealView(xu.data(), n),
                              phase,
                              done,
                              ConstRealView(step.data(), n),
                              t1,
                              t2,
                              RealView(rw.data(), 4 * n + m + 11),
                              IntView(iw.data(), n),
                              acc,
                              ConstRealView(preset_r, 17),
                              ConstIntView(preset_i, 16)};
    kestro::kernel::run_pattern_search_call(state, c);
  }
  double step_of(int j) { return rw[static_cast<std::size_t>(2 * n + 10 + j - 1)]; }
  bool guards_intact() const {
    return x.guards_intact() && f.guards_intact() && g.guards_intact() && rw.guards_intact() &&
           iw.guards_intact();
  }
  double draw_state[2] = {0, 0};
  void remember_generator() {
    draw_state[0] = rw[0];
    draw_state[1] = rw[1];
  }
  int draws_since_remembered() {
    double s[2] = {draw_state[0], draw_state[1]};
    for (int k = 0; k <= 1000; ++k) {
      if (s[0] == rw[0] && s[1] == rw[1]) return k;
      o25_(s);
    }
    return -1;
  }
};

double quadratic(const double* x, int n) {
  double s = 0;
  for (int j = 0; j < n; ++j) s += (j + 1.0) * (x[j] - 0.25 * (j + 1)) * (x[j] - 0.25 * (j + 1));
  return s;
}

// ---- Block size -----------------------------------------------------------

// P points are written per call; points P+1..L are left exactly as they were.
TEST(PatternPhase, PointsPerCallFromBlockAndProblemSize) {
  struct Case {
    int l, n, p;
  } cases[] = {{1, 5, 1}, {10, 3, 1}, {10, 30, 10}, {4, 30, 4},
               {2, 1, 1}, {3, 2, 1},  {10, 4, 2},   {10, 5, 2}};
  for (const auto& c : cases) {
    PhaseRun run(c.l, c.n);
    run.hand_in(std::vector<double>(static_cast<std::size_t>(c.n), 1.0));
    // Outside the box and not whole: clipping or truncation would show.
    for (int i = c.p + 1; i <= c.l; ++i) std::fill(run.point(i), run.point(i) + c.n, 77.25);
    run.call();
    EXPECT_EQ(run.state.points, c.p) << "L " << c.l << " N " << c.n;
    for (int i = 1; i <= c.l; ++i) {
      int moved = 0, sentinels = 0;
      for (int j = 0; j < c.n; ++j) {
        moved += run.point(i)[j] != 1.0;
        sentinels += run.point(i)[j] == 77.25;
      }
      if (i <= c.p)
        EXPECT_EQ(moved, 1) << "L " << c.l << " N " << c.n << ": trial " << i;
      else
        EXPECT_EQ(sentinels, c.n) << "L " << c.l << " N " << c.n << ": point " << i;
    }
    EXPECT_TRUE(run.guards_intact());
  }
}

// Points beyond P are never booked, however good their values look.
TEST(PatternPhase, EvaluationsBeyondPAreIgnored) {
  PhaseRun run(5, 4);  // P = 2
  run.objective = [](const double* x) { return quadratic(x, 4); };
  run.hand_in({2, 2, 2, 2});
  for (int k = 0; k < 300 && run.done == 0; ++k) {
    run.call();
    run.evaluate(2);
    for (int i = 3; i <= 5; ++i) {
      run.f[static_cast<std::size_t>(i - 1)] = -1e9;
      std::fill(run.point(i), run.point(i) + 4, 7.25);
    }
  }
  run.done = 1;
  run.call();
  EXPECT_GE(run.f[0], 0.0);
  EXPECT_EQ(run.f[0], quadratic(run.point(1), 4));
}

// ---- Booking ----------------------------------------------------------------

// The handed-in block competes for the base point before any trial is made.
TEST(PatternPhase, FirstBlockIsBookedBeforeAnyTrial) {
  PhaseRun run(4, 8);  // P = 4
  run.hand_in(std::vector<double>(8, 1.0));
  std::fill(run.point(3), run.point(3) + 8, -2.0);
  run.f[2] = 0.5;  // point 3 beats the others (1.0)
  run.call();
  for (int i = 1; i <= 4; ++i) {
    int moved = 0;
    for (int j = 0; j < 8; ++j) moved += run.point(i)[j] != -2.0;
    EXPECT_EQ(moved, 1) << "trial " << i << " is built around point 3";
  }
}

// merit = F + 10^PRESET_R(16) * residual decides which point is the base.
TEST(PatternPhase, MeritWeighsTheResidual) {
  struct Case {
    double exponent;
    double expected_f;
  } cases[] = {{4.0, 50.0}, {0.0, 1.0}};
  for (const auto& c : cases) {
    PhaseRun run(2, 4, 0, 1, 0);  // P = 2, one inequality
    run.preset_r[15] = c.exponent;
    run.hand_in({1, 1, 1, 1});
    run.f[0] = 1.0;
    run.g[0] = -0.01;  // residual 0.01
    run.f[1] = 50.0;
    run.g[1] = 0.0;
    run.done = 1;
    run.call();
    EXPECT_EQ(run.f[0], c.expected_f) << "10^" << c.exponent;
  }
}

// A done flag set by the caller (the call budget) still books the block and
// then hands back the best point: X(1), F(1), G(1).
TEST(PatternPhase, DoneFlagOnEntryBooksTheBlockFirst) {
  PhaseRun run(2, 4, 0, 1, 0);
  run.objective = [](const double* x) { return quadratic(x, 4); };
  run.constraints = [](const double* x, double* g) { g[0] = 10 - x[0]; };
  run.hand_in({2, 2, 2, 2});
  for (int k = 0; k < 5; ++k) {
    run.call();
    run.evaluate(2);
  }
  const std::vector<double> better = {0.25, 0.5, 0.75, 1.0};
  std::copy(better.begin(), better.end(), run.point(2));
  run.evaluate(2);
  const std::vector<double> trial1(run.point(1), run.point(1) + 4);
  run.done = 1;
  run.call();
  EXPECT_EQ(std::vector<double>(run.point(1), run.point(1) + 4), better);
  EXPECT_EQ(run.f[0], 0.0);
  EXPECT_EQ(run.g[0], 10 - 0.25);
  EXPECT_EQ(run.done, 1);
}

// A handed-in point whose merit is not below LARGE never passes the
// best-point test; it stays the base point, so the phase hands back that
// point and its own values rather than whatever the cells held before.
TEST(PatternPhase, StartPointWithoutAFiniteMeritIsStillTheBase) {
  PhaseRun run(1, 2, 0, 1, 0);
  std::fill(run.rw.data() + 10, run.rw.data() + 4 * 2 + 1 + 11, -555.0);  // stale cells
  run.objective = [](const double*) { return 1e98; };
  run.constraints = [](const double*, double* g) { g[0] = -1.0; };
  run.hand_in({1.5, 2.5});
  for (int k = 0; k < 3; ++k) {
    run.call();
    run.evaluate(1);
  }
  run.done = 1;
  run.call();
  EXPECT_EQ(run.point(1)[0], 1.5);
  EXPECT_EQ(run.point(1)[1], 2.5);
  EXPECT_EQ(run.f[0], 1e98);
  EXPECT_EQ(run.g[0], -1.0);
}

// ---- Exploratory pass -------------------------------------------------------

// Each variable, in a random order, gets a plus trial then a minus trial of
// its step around the base point; then the pattern blocks begin.
TEST(PatternPhase, ExploratoryPassTriesEachVariablePlusThenMinus) {
  const int n = 5;
  PhaseRun run(1, n);
  for (int j = 0; j < n; ++j) run.step[static_cast<std::size_t>(j)] = 0.1 * (j + 1);
  const std::vector<double> start = {1, 2, 3, 4, 5};
  run.hand_in(start);  // a flat objective: no trial improves
  std::vector<int> order;
  for (int t = 0; t < 2 * n; ++t) {
    run.call();
    EXPECT_EQ(run.phase, -1);
    int moved = -1, count = 0;
    for (int j = 0; j < n; ++j)
      if (run.point(1)[j] != start[static_cast<std::size_t>(j)]) moved = j, ++count;
    ASSERT_EQ(count, 1) << "trial " << t;
    const double expected_sign = t % 2 == 0 ? 1.0 : -1.0;
    EXPECT_NEAR(run.point(1)[moved] - start[static_cast<std::size_t>(moved)],
                expected_sign * 0.1 * (moved + 1), 1e-12)
        << "trial " << t;
    if (t % 2 == 0)
      order.push_back(moved);
    else
      EXPECT_EQ(moved, order.back()) << "the minus trial follows on the same variable";
    run.evaluate(1);
  }
  EXPECT_EQ(std::set<int>(order.begin(), order.end()).size(), static_cast<std::size_t>(n));
  run.call();
  EXPECT_EQ(run.phase, -3);
  // Equal plus and minus merits: the pattern point is the base point.
  EXPECT_EQ(std::vector<double>(run.point(1), run.point(1) + n), start);
}

// A pass that ends inside a block fills the block with random points around
// the base; the next block is a pattern block (here it ends an all-integer
// phase). Integer values are truncated toward zero.
TEST(PatternPhase, PassEndingInsideABlockAddsRandomPoints) {
  const int n = 7;
  PhaseRun run(3, n, n);  // P = 3: 14 trials, the fifth block has one spare point
  const std::vector<double> start(n, -3.0);
  run.hand_in(start);
  for (int k = 1; k <= 4; ++k) {
    run.call();
    run.evaluate(3);
  }
  run.call();
  EXPECT_EQ(run.done, 0);
  // Points 1 and 2: the last variable's trials; point 3: random.
  int moved = 0, toward_zero = 0;
  for (int j = 0; j < n; ++j) {
    const double v = run.point(3)[j];
    EXPECT_TRUE(v == -3.0 || v == -2.0) << "variable " << j << ": " << v;
    moved += v != -3.0;
    toward_zero += v == -2.0;
  }
  EXPECT_GT(toward_zero, 0);
  EXPECT_LT(moved, n);
  run.evaluate(3);
  run.call();
  EXPECT_EQ(run.done, 1);
}

// ---- Integer variables ------------------------------------------------------

TEST(PatternPhase, IntegerVariablesMoveByWholeUnitsOrStayFrozen) {
  struct Case {
    const char* name;
    double freeze;
    bool moves;
  } cases[] = {{"SwitchOff", 0.0, true}, {"SwitchOn", 1.0, false}, {"SwitchAbove", 2.0, false}};
  for (const auto& c : cases) {
    PhaseRun run(1, 4, 2);
    run.preset_r[16] = c.freeze;
    run.objective = [](const double* x) {
      return (x[0] - 1) * (x[0] - 1) + (x[1] + 1) * (x[1] + 1) + (x[2] - 4) * (x[2] - 4) +
             (x[3] + 2) * (x[3] + 2);
    };
    run.hand_in({0, 0, 1, 1});
    bool integer_moved = false;
    for (int k = 0; k < 400 && run.done == 0; ++k) {
      run.call();
      for (int j = 2; j < 4; ++j) {
        const double v = run.point(1)[j];
        EXPECT_EQ(v, std::trunc(v)) << c.name;
        if (v != 1.0) integer_moved = true;
      }
      run.evaluate(1);
    }
    EXPECT_EQ(integer_moved, c.moves) << c.name;
    if (c.moves) {
      run.done = 1;
      run.call();
      EXPECT_EQ(run.point(1)[2], 4.0) << c.name;
      EXPECT_EQ(run.point(1)[3], -2.0) << c.name;
    }
  }
}

// With NI = N there is no continuous step, so the phase ends at its first
// pattern block, after one pass of one-unit trials (zero-unit when frozen).
TEST(PatternPhase, AllIntegerPhaseEndsAtTheFirstPatternBlock) {
  struct Case {
    double freeze;
    double unit;
  } cases[] = {{0.0, 1.0}, {1.0, 0.0}};
  for (const auto& c : cases) {
    const int n = 3;
    PhaseRun run(1, n, n);
    run.preset_r[16] = c.freeze;
    const std::vector<double> start = {2, 2, 2};
    run.hand_in(start);  // a flat objective: the base stays at the start
    int calls = 0;
    while (run.done == 0 && calls < 100) {
      run.call();
      ++calls;
      if (run.done == 1) break;
      double moved = 0;
      int count = 0;
      for (int j = 0; j < n; ++j) {
        const double d = std::fabs(run.point(1)[j] - start[static_cast<std::size_t>(j)]);
        moved += d;
        count += d != 0;
      }
      EXPECT_EQ(moved, c.unit) << "freeze " << c.freeze << " call " << calls;
      EXPECT_LE(count, 1);
      run.evaluate(1);
    }
    EXPECT_EQ(calls, 2 * n + 1) << "freeze " << c.freeze;
    EXPECT_EQ(std::vector<double>(run.point(1), run.point(1) + n), start);
    EXPECT_EQ(run.f[0], 1.0);
  }
}

// ---- Step control and the end of the phase -----------------------------------

// From the minimum every trial fails: the steps shrink but not below T1, stay
// at the tolerance, and the first pattern block ends the phase with the start
// point.
TEST(PatternPhase, StepsAtToleranceEndThePhaseAfterOnePass) {
  const int n = 3;
  PhaseRun run(1, n);
  run.t1 = 1e-3;
  run.t2 = 1e-3;
  std::fill(run.step.data(), run.step.data() + n, 1e-3);
  run.objective = [](const double* x) { return quadratic(x, 3); };
  const std::vector<double> minimum = {0.25, 0.5, 0.75};
  run.hand_in(minimum);
  int calls = 0;
  while (run.done == 0 && calls < 50) {
    run.call();
    ++calls;
    for (int j = 1; j <= n; ++j) EXPECT_GE(run.step_of(j), 1e-3);
    run.evaluate(1);
  }
  EXPECT_EQ(calls, 2 * n + 1);
  EXPECT_EQ(std::vector<double>(run.point(1), run.point(1) + n), minimum);
  EXPECT_EQ(run.f[0], 0.0);
}

// Draws per call: the shuffle (N), one per completed pair, and in pattern
// blocks the factor (point 1 of later blocks), two per continuous variable on
// points after the first, and the push check. This seed's push checks all
// stay at or below 0.99.
TEST(PatternPhase, DrawCountsPerCall) {
  struct Case {
    int l, n;
    std::vector<int> draws;
  } cases[] = {
      {1, 2, {2, 0, 1, 0, 2, 2, 2}},
      {2, 4, {4, 1, 1, 1, 1 + 1 + 9, 2 + 9, 2 + 9}},
  };
  for (const auto& c : cases) {
    PhaseRun run(c.l, c.n);
    run.objective = [&](const double* x) { return quadratic(x, c.n); };
    run.hand_in(std::vector<double>(static_cast<std::size_t>(c.n), 2.0));
    std::vector<int> seen;
    for (std::size_t k = 0; k < c.draws.size(); ++k) {
      run.remember_generator();
      run.call();
      seen.push_back(run.draws_since_remembered());
      run.evaluate(run.state.points);
    }
    EXPECT_EQ(seen, c.draws) << "L " << c.l << " N " << c.n;
  }
}

// Pattern blocks that bring no merit progress over the merit booked last in
// the pass count as stalled; after PRESET_I(16) of them the next block turns
// the phase code to -9 and a new pass follows.
TEST(PatternPhase, StalledPatternBlocksStartANewPass) {
  struct Case {
    int stall_limit;
    std::vector<int> phases;
  } cases[] = {
      {1, {-1, -1, -1, -1, -3, -9, -1}},
      {3, {-1, -1, -1, -1, -3, -3, -3, -9, -1}},
  };
  for (const auto& c : cases) {
    PhaseRun run(1, 2);
    run.preset_i[15] = c.stall_limit;
    run.hand_in({1, 1});  // flat objective
    std::vector<int> seen;
    for (std::size_t k = 0; k < c.phases.size(); ++k) {
      run.call();
      seen.push_back(run.phase);
      run.evaluate(1);
    }
    EXPECT_EQ(seen, c.phases) << "stall limit " << c.stall_limit;
  }
}

// ---- Whole phases ------------------------------------------------------------

// The caller's loop on smooth problems: the base merit never increases, every
// returned point lies in the box, the phase codes follow their life cycle, no
// step falls below T1, and the phase ends by itself when the steps reach the
// tolerance, handing back a point with its own values.
TEST(PatternPhase, WholePhaseOnSmoothProblems) {
  struct Case {
    const char* name;
    int l, n, m;
    int stall_limit;
  } cases[] = {
      {"OnePointPerCall", 1, 3, 0, 9},
      {"BlocksOfThree", 3, 6, 0, 9},
      {"ShortStallLimit", 1, 4, 0, 1},
      {"WithConstraint", 2, 4, 1, 9},
  };
  for (const auto& c : cases) {
    PhaseRun run(c.l, c.n, 0, c.m, 0);
    run.preset_i[15] = c.stall_limit;
    run.t1 = run.t2 = 1e-5;
    const int n = c.n;
    run.objective = [n](const double* x) { return quadratic(x, n); };
    run.constraints = [n](const double* x, double* g) {
      double s = 0;
      for (int j = 0; j < n; ++j) s += x[j];
      g[0] = 1.0 - s;  // sum x <= 1
    };
    const std::vector<double> start(static_cast<std::size_t>(n), -1.0);
    run.hand_in(start);
    const double start_merit = run.f[0];
    double last_best = 1e300;
    std::set<std::pair<int, int>> transitions;
    bool left_the_box = false;
    int calls = 0;
    while (run.done == 0 && calls < 100000) {
      const int before = run.phase;
      run.call();
      ++calls;
      transitions.insert({before, run.phase});
      ASSERT_LE(run.state.best_merit, last_best) << c.name << " call " << calls;
      last_best = run.state.best_merit;
      for (int j = 1; j <= n; ++j) ASSERT_GE(run.step_of(j), run.t1) << c.name;
      if (run.done == 1) break;
      for (int i = 1; i <= run.state.points; ++i)
        for (int j = 0; j < n; ++j)
          left_the_box |= run.point(i)[j] < -10.0 || run.point(i)[j] > 10.0;
      run.evaluate(c.l);
    }
    ASSERT_EQ(run.done, 1) << c.name << " after " << calls << " calls";
    EXPECT_FALSE(left_the_box) << c.name;
    for (int j = 1; j <= n; ++j) EXPECT_LE(run.step_of(j), run.t2) << c.name;
    const std::set<std::pair<int, int>> allowed = {{0, -1},  {-1, -1}, {-1, -3}, {-3, -3},
                                                   {-3, -9}, {-9, -1}, {-1, -9}};
    for (const auto& t : transitions)
      EXPECT_TRUE(allowed.count(t)) << c.name << ": " << t.first << " -> " << t.second;
    if (c.stall_limit == 1) {
      EXPECT_TRUE(transitions.count({-3, -9})) << c.name;
    }
    EXPECT_EQ(run.f[0], quadratic(run.point(1), n)) << c.name;
    EXPECT_LT(run.f[0], start_merit) << c.name;
    if (c.m == 0) {
      for (int j = 0; j < n; ++j) EXPECT_NEAR(run.point(1)[j], 0.25 * (j + 1), 1e-2) << c.name;
    } else {
      double g[1];
      run.constraints(run.point(1), g);
      EXPECT_EQ(run.g[0], g[0]) << c.name;
    }
    EXPECT_TRUE(run.guards_intact()) << c.name;
  }
}

// The pattern factor grows after a pattern block that moved the base point
// and shrinks after one that did not (the first block after a pass sets 10).
TEST(PatternPhase, PatternFactorFollowsTheLastBlock) {
  PhaseRun run(1, 3);
  run.t1 = run.t2 = 1e-7;
  run.objective = [](const double* x) { return quadratic(x, 3); };
  run.hand_in({-2, 3, 1});
  int grown = 0, shrunk = 0;
  for (int k = 0; k < 3000 && run.done == 0; ++k) {
    const bool later_pattern_block = run.phase == -3 && run.state.pattern_blocks >= 1;
    const double best_before = run.state.best_merit;
    const double factor_before = std::min(std::max(run.state.pattern_factor, 1e-99), 1e6);
    run.call();
    if (later_pattern_block && run.done == 0) {
      const double factor = run.state.pattern_factor;
      if (run.state.best_merit < best_before) {
        EXPECT_GE(factor, factor_before) << "call " << k;
        grown += factor > factor_before;
      } else {
        EXPECT_LE(factor, factor_before) << "call " << k;
        shrunk += factor < factor_before;
      }
    }
    if (run.phase == -3 && run.state.pattern_blocks == 1) {
      EXPECT_EQ(run.state.pattern_factor, 10.0);
    }
    run.evaluate(1);
  }
  EXPECT_GT(grown, 0);
  EXPECT_GT(shrunk, 0);
}

// ---- The exported routine -------------------------------------------------------

// A shuffle draw of exactly 1 would index one past the visiting order; the
// index is kept inside and the order stays a permutation.
TEST(PatternPhaseExport, ShuffleDrawOfOneStaysInsideTheOrder) {
  for (int n : {1, 3}) {
    const int l = 1, ni = 0, m = 0, me = 0;
    Guarded<double> x(static_cast<std::size_t>(n), 1.0), f(1, 2.0), g(0), xl(n, 0.0), xu(n, 5.0),
        step(n, 0.5), rw(static_cast<std::size_t>(4 * n + 11), 0.0);
    Guarded<int> iw(static_cast<std::size_t>(n), 0);
    rw[0] = 0.2;
    rw[1] = 1.0;  // the first draw
    double preset_r[17] = {}, t = 1e-6, acc = 1e-3;
    int preset_i[16] = {};
    preset_i[15] = 5;
    int phase = 0, done = 0;
    i408_(&l, &n, &ni, &m, &me, x.data(), f.data(), g.data(), xl.data(), xu.data(), &phase, &done,
          step.data(), &t, &t, rw.data(), iw.data(), &acc, preset_r, preset_i);
    EXPECT_EQ(phase, -1) << n;
    std::set<int> order;
    for (int j = 0; j < n; ++j) order.insert(iw[static_cast<std::size_t>(j)]);
    EXPECT_EQ(order.size(), static_cast<std::size_t>(n));
    EXPECT_EQ(*order.begin(), 1);
    EXPECT_EQ(*order.rbegin(), n);
    EXPECT_TRUE(rw.guards_intact() && iw.guards_intact() && x.guards_intact()) << n;
  }
}

// Saved values that cannot belong to a running phase (here: a phase code -1
// arriving before any phase started) start a new phase instead of indexing
// with them.
TEST(PatternPhase, ContinuingCodeWithoutAPhaseStartsOne) {
  PhaseRun run(1, 3);
  run.hand_in({1, 1, 1});
  run.phase = -1;
  run.call();
  EXPECT_EQ(run.phase, -1);
  EXPECT_EQ(run.state.points, 1);
  EXPECT_TRUE(run.guards_intact());
}

}  // namespace
