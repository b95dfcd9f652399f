// The colony step across many calls: the sequence of state codes, cycle
// parameters, the ant schedule, the objective target inside a block, and the
// archive staying sorted while the run-best point only improves.
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "abi/internal_routines.h"
#include "kernel/archive.hpp"
#include "kernel/colony_step.hpp"
#include "kernel/kernel_state.hpp"
#include "kernel/presets.hpp"
#include "kernel/residual.hpp"
#include "kernel/work_area.hpp"
#include "support/guarded.hpp"

namespace {

using kestro::Index;
using kestro::testing::Guarded;
namespace kernel = kestro::kernel;
namespace cell = kestro::kernel::iw_cell;

// A problem the colony works on, with its own saved state and workspaces of
// exactly the lengths the colony may touch.
struct Colony {
  int l, n, ni, m, me;
  double acc = 0.001;
  std::vector<double> x, f, g, xl, xu, pen, res;
  double param[13] = {};
  kernel::WorkArea area;
  Guarded<double> rw;
  Guarded<int> iw;
  kernel::ColonyState colony;
  kernel::CoordinateSearchState search;
  kernel::PresetState preset;
  int state = 0;
  double oracle = 0.0;
  std::function<void(const double*, double*, double*)> model;

  Colony(int l_, int n_, int ni_, int m_, int me_, double lo, double hi)
      // clang-format off
      : l(l_), n(n_), ni(ni_), m(m_), me(me_),
        x(l_ * n_), f(l_), g(l_ * m_ + 1), xl(n_, lo), xu(n_, hi), pen(l_), res(l_),
        // clang-format on
        area(kernel::WorkArea::for_sizes(n_, m_, 100)),
        rw(static_cast<std::size_t>(area.cycle_start_res())),
        iw(static_cast<std::size_t>(l_ + 2 * n_ + 31)) {
    kernel::select_preset(preset, kernel::PresetRequest{l, n, ni, 0.0, 1, 1});
    param[1] = 3.0;
    rw[0] = 0.3 / 4.0 + 0.123456789;
    rw[1] = 0.423456789 - 0.3 / (1 + std::sqrt(3.0));
    for (int i = 0; i < l; ++i)
      for (int v = 0; v < n; ++v)
        x[i * n + v] = v >= n - ni ? std::round((lo + hi) / 2) : lo + 0.3 * (hi - lo);
  }

  void evaluate() {
    for (int i = 0; i < l; ++i) model(&x[i * n], &f[i], m > 0 ? &g[i * m] : nullptr);
  }

  void step(int final_call = 0) {
    kernel::ColonyCall call{l,
                            n,
                            ni,
                            m,
                            me,
                            kestro::RealView(x.data(), l * n),
                            kestro::RealView(f.data(), l),
                            kestro::RealView(g.data(), l * m),
                            kestro::ConstRealView(xl.data(), n),
                            kestro::ConstRealView(xu.data(), n),
                            acc,
                            state,
                            final_call,
                            kestro::RealView(rw.data(), rw.size()),
                            kestro::IntView(iw.data(), iw.size()),
                            100,
                            oracle,
                            kestro::ConstRealView(param, 13),
                            kestro::RealView(pen.data(), l),
                            kestro::RealView(res.data(), l),
                            kestro::ConstRealView(preset.preset_r, 17),
                            kestro::ConstIntView(preset.preset_i, 16)};
    kernel::colony_step(colony, search, call);
  }

  double at(Index position) { return rw[static_cast<std::size_t>(position - 1)]; }
  int cell(Index position) { return iw[static_cast<std::size_t>(position - 1)]; }
  double run_best_f() { return at(area.run_best_f); }
  double run_best_res() { return at(area.run_best_res); }
};

double sphere(const double* x, int n) {
  double s = 0;
  for (int i = 0; i < n; ++i) s += (x[i] - 1.0) * (x[i] - 1.0);
  return s;
}

TEST(ColonyStep, StateCodesOfTheFirstCyclesWithOnePointPerCall) {
  Colony c(1, 3, 0, 0, 0, -5.0, 5.0);
  c.model = [&](const double* x, double* f, double*) { *f = sphere(x, 3); };
  c.evaluate();
  c.step();
  ASSERT_EQ(c.state, -3);  // the first point of the first cycle
  std::vector<int> codes;
  for (int call = 0; call < 400; ++call) {
    c.evaluate();
    c.step();
    codes.push_back(c.state);
  }
  // Generation 1 of the cycle: -1 until its last ant, which is -10.
  const int ants = c.cell(cell::kAnts);
  (void)ants;
  std::size_t i = 0;
  while (i < codes.size() && codes[i] == -1) ++i;
  ASSERT_LT(i, codes.size());
  EXPECT_EQ(codes[i], -10) << "generation 1 ends with -10";
  // After a completed generation comes a new generation (-2), a coordinate
  // search (-30) or a new cycle (-3).
  for (std::size_t k = 0; k + 1 < codes.size(); ++k) {
    if (codes[k] == -10) {
      const int next = codes[k + 1];
      EXPECT_TRUE(next == -2 || next == -30 || next == -3) << "after -10 came " << next;
    }
    if (codes[k] == -2) {
      EXPECT_TRUE(codes[k + 1] == -1 || codes[k + 1] == -10) << "after -2 came " << codes[k + 1];
    }
    if (codes[k] == -30 || (codes[k] <= -31 && codes[k] >= -38)) {
      const int next = codes[k + 1];
      EXPECT_TRUE(next == -2 || next == -3 || (next <= -31 && next >= -39) || next == -30)
          << "after " << codes[k] << " came " << next;
    }
  }
  // Generations, coordinate searches and new cycles all occur.
  EXPECT_NE(std::find(codes.begin(), codes.end(), -2), codes.end());
  EXPECT_NE(std::find(codes.begin(), codes.end(), -30), codes.end());
  EXPECT_NE(std::find(codes.begin(), codes.end(), -3), codes.end());
}

TEST(ColonyStep, GenerationOneHasTheDrawnAntCount) {
  Colony c(1, 4, 0, 0, 0, -5.0, 5.0);
  c.model = [&](const double* x, double* f, double*) { *f = sphere(x, 4); };
  c.evaluate();
  c.step();
  ASSERT_EQ(c.state, -3);
  const int ants = c.cell(cell::kAnts);
  ASSERT_GE(ants, 1);
  // The first block counts as ant 1; ants 2 .. ants-1 come as -1 and the
  // last one as -10.
  for (int ant = 2; ant < ants; ++ant) {
    c.evaluate();
    c.step();
    ASSERT_EQ(c.state, -1) << "ant " << ant;
  }
  c.evaluate();
  c.step();
  EXPECT_EQ(c.state, -10);
  EXPECT_EQ(c.cell(cell::kGeneration), 1);
}

TEST(ColonyStep, ArchiveStaysSortedAndRunBestOnlyImproves) {
  struct Case {
    int l, n, ni, m, me;
  } cases[] = {{1, 3, 0, 0, 0}, {4, 3, 1, 2, 1}, {7, 5, 5, 1, 0}, {2, 2, 0, 1, 1}};
  for (const auto& cs : cases) {
    Colony c(cs.l, cs.n, cs.ni, cs.m, cs.me, -4.0, 6.0);
    c.oracle = 1e9;
    c.model = [&](const double* x, double* f, double* g) {
      *f = sphere(x, cs.n);
      if (cs.m >= 1) g[0] = cs.me >= 1 ? x[0] - 0.5 : x[0] + x[1];  // equality or inequality
      if (cs.m >= 2) g[1] = 3.0 - x[cs.n - 1];
    };
    c.evaluate();
    c.step();
    double best_res = c.run_best_res(), best_f = c.run_best_f();
    for (int call = 0; call < 3000; ++call) {
      c.evaluate();
      c.step();
      ASSERT_TRUE(c.rw.guards_intact());
      ASSERT_TRUE(c.iw.guards_intact());
      const double res = c.run_best_res(), f = c.run_best_f();
      ASSERT_TRUE(res < best_res || (res == best_res && f <= best_f))
          << "run-best worsened at call " << call;
      best_res = res;
      best_f = f;
      const int k = c.cell(cell::kArchiveSize);
      ASSERT_GE(k, 2);
      ASSERT_LE(k, 100);
      for (int j = 1; j < k; ++j)
        ASSERT_LE(c.at(c.area.ap + j - 1), c.at(c.area.ap + j)) << "archive unsorted at " << j;
      for (int i = 0; i < cs.l * cs.n; ++i) {
        const int v = i % cs.n;
        ASSERT_GE(c.x[i], c.xl[v]);
        ASSERT_LE(c.x[i], c.xu[v]);
        if (v >= cs.n - cs.ni) {
          ASSERT_EQ(c.x[i], std::round(c.x[i]));
        }
      }
    }
    // The search makes progress on the smooth problem.
    if (cs.m == 0) {
      EXPECT_LT(best_f, 0.05) << "L " << cs.l;
    }
  }
}

TEST(ColonyStep, TargetMetInTheMiddleOfABlockStopsTheBooking) {
  Colony c(5, 2, 0, 0, 0, -5.0, 5.0);
  c.param[2] = 0.5;  // FSTOP
  c.model = [&](const double*, double* f, double*) { *f = 10.0; };
  c.evaluate();
  c.step();
  ASSERT_EQ(c.state, -3);
  const std::vector<double> pen_before = c.pen;
  c.f = {9.0, 8.0, 0.25, 0.1, 0.0};  // the third point meets the target
  c.step();
  EXPECT_EQ(c.state, 7);
  EXPECT_EQ(c.run_best_f(), 0.25);
  EXPECT_EQ(c.pen[2], 0.25);
  EXPECT_EQ(c.pen[3], pen_before[3]);  // points 4 and 5 were not booked
  EXPECT_EQ(c.pen[4], pen_before[4]);
}

TEST(ColonyStep, FinalCallReturnsTheRunBestPoint) {
  Colony c(3, 2, 0, 1, 0, -5.0, 5.0);
  c.model = [&](const double* x, double* f, double* g) {
    *f = sphere(x, 2);
    g[0] = x[0] - 4.0;  // feasible only near the upper bound
  };
  c.evaluate();
  c.step();
  for (int call = 0; call < 50; ++call) {
    c.evaluate();
    c.step();
  }
  std::vector<double> best_x = {c.at(10), c.at(11)};
  const double best_f = c.run_best_f(), best_res = c.run_best_res();
  c.step(/*final_call=*/1);
  EXPECT_EQ(c.x[0], best_x[0]);
  EXPECT_EQ(c.x[1], best_x[1]);
  EXPECT_EQ(c.f[0], best_f);
  EXPECT_EQ(c.res[0], best_res);
  EXPECT_EQ(c.state, best_res > c.acc ? 1 : 0);
}

// The cycle parameters from known draws.
TEST(CycleParameters, CountsArchiveSizeAndFocusDivisor) {
  struct Case {
    const char* name;
    double ants, kernel, focus;
    int restart_count;
    int expected_k;        // 0: drawn (checked to lie in 2 .. 100)
    int expected_divisor;  // -1: not checked
  } cases[] = {
      {"Drawn", 0, 0, 0, 1, 0, 0},
      {"GivenKernel", 20, 7, 0, 1, 7, 0},
      {"KernelAbove100Clamped", 200, 100, 0, 1, 100, 0},
      {"NegativeFocusFixesTheDivisor", 0, 0, -5, 2, 0, 5},
  };
  for (const auto& cs : cases) {
    Colony c(1, 6, 0, 0, 0, 0.0, 1.0);
    c.param[6] = cs.ants;
    c.param[7] = cs.kernel;
    c.param[5] = cs.focus;
    c.iw[cell::kRestartCount - 1] = cs.restart_count;
    c.rw[c.area.run_best_res - 1] = 1.0;  // an infeasible run-best point
    const double s1 = c.rw[0], s2 = c.rw[1];
    kernel::choose_cycle_parameters(
        c.colony, kernel::CycleCells::of(c.area), kestro::RealView(c.rw.data(), c.rw.size()),
        kestro::IntView(c.iw.data(), c.iw.size()), c.acc, 42.0, kestro::ConstRealView(c.param, 13),
        kestro::ConstRealView(c.preset.preset_r, 17), kestro::ConstIntView(c.preset.preset_i, 16));
    // Exactly three draws.
    double state[2] = {s1, s2};
    for (int d = 0; d < 3; ++d) o25_(state);
    EXPECT_EQ(c.rw[0], state[0]) << cs.name;
    EXPECT_EQ(c.rw[1], state[1]) << cs.name;
    const int k = c.cell(cell::kArchiveSize);
    if (cs.expected_k > 0) {
      EXPECT_EQ(k, cs.expected_k) << cs.name;
    } else {
      EXPECT_GE(k, 2) << cs.name;
      EXPECT_LE(k, 100) << cs.name;
    }
    if (cs.expected_divisor >= 0) {
      EXPECT_EQ(c.cell(cell::kFocusDivisor), cs.expected_divisor) << cs.name;
    }
    if (cs.ants >= 2) {
      const int base = c.cell(cell::kBaseAnts);
      // Raised to PRESET_I(2), then lowered to PRESET_I(1) (the two may cross).
      int expected = static_cast<int>(cs.ants);
      if (expected < c.preset.preset_i[1]) expected = c.preset.preset_i[1];
      if (expected > c.preset.preset_i[0]) expected = c.preset.preset_i[0];
      EXPECT_EQ(base, expected) << cs.name;
    }
    // The archive is emptied and the oracle handed in is taken.
    EXPECT_EQ(c.at(c.area.oracle), 42.0) << cs.name;
    for (int j = 1; j <= k; ++j) {
      ASSERT_EQ(c.at(c.area.ap + j - 1), kernel::kEmptySlotPenalty);
      ASSERT_EQ(c.at(c.area.af + j - 1), kernel::kEmptySlotF);
      ASSERT_EQ(c.at(c.area.ar + j - 1), kernel::kEmptySlotResidual);
    }
  }
}

TEST(CycleParameters, FeasibleRunBestBelowTheOracleBecomesTheOracle) {
  Colony c(1, 2, 0, 0, 0, 0.0, 1.0);
  c.rw[c.area.run_best_f - 1] = 3.0;
  c.rw[c.area.run_best_res - 1] = 0.0;
  kernel::choose_cycle_parameters(
      c.colony, kernel::CycleCells::of(c.area), kestro::RealView(c.rw.data(), c.rw.size()),
      kestro::IntView(c.iw.data(), c.iw.size()), c.acc, 5.0, kestro::ConstRealView(c.param, 13),
      kestro::ConstRealView(c.preset.preset_r, 17), kestro::ConstIntView(c.preset.preset_i, 16));
  EXPECT_EQ(c.at(c.area.oracle), 3.0);
  c.rw[c.area.run_best_res - 1] = 0.5;  // infeasible: the oracle handed in stays
  kernel::choose_cycle_parameters(
      c.colony, kernel::CycleCells::of(c.area), kestro::RealView(c.rw.data(), c.rw.size()),
      kestro::IntView(c.iw.data(), c.iw.size()), c.acc, 5.0, kestro::ConstRealView(c.param, 13),
      kestro::ConstRealView(c.preset.preset_r, 17), kestro::ConstIntView(c.preset.preset_i, 16));
  EXPECT_EQ(c.at(c.area.oracle), 5.0);
}

TEST(AntSchedule, StepsByGeneration) {
  // Base ants 10, second count 30.
  struct Case {
    int e;
    std::vector<int> ants;  // generations 1, 2, ...
  } cases[] = {
      {4, {10, 10, 10, 30, 60, 60, 60, 10, 10}},
      {2, {10, 30, 60, 10, 10}},
      {1, {30, 10, 10, 10}},
      {0, {10, 10, 10}},
      {-3, {10, 10}},
  };
  for (const auto& cs : cases) {
    for (std::size_t g = 1; g <= cs.ants.size(); ++g) {
      int iw[8] = {0, 0, -1, static_cast<int>(g), 0, 10, 30, cs.e};
      int liw = 8, gen = 4, ants = 3, base = 6, second = 7, length = 8;
      o29_(iw, &liw, &gen, &ants, &base, &second, &length);
      EXPECT_EQ(iw[2], cs.ants[g - 1]) << "e " << cs.e << " generation " << g;
    }
  }
}

TEST(ColonyStep, DirectCallWithShortWorkspaceTouchesNothing) {
  const int l = 2, n = 3, m = 1, me = 0, ni = 0, k = 100;
  const auto area = kernel::WorkArea::for_sizes(n, m, k);
  Guarded<double> rw(static_cast<std::size_t>(area.cycle_start_res() - 1), 0.5);
  Guarded<int> iw(static_cast<std::size_t>(l + 2 * n + 31), 0);
  std::vector<double> x(l * n, 0.5), f(l, 1.0), g(l * m, 1.0), xl(n, 0.0), xu(n, 1.0), pen(l),
      res(l);
  double param[13] = {}, preset_r[17] = {}, acc = 0.001, oracle = 0.0;
  int preset_i[16] = {}, state = 0, final_call = 0, cell1 = 0, cell2 = 0;
  int lrw = static_cast<int>(rw.size()), liw = static_cast<int>(iw.size());
  o11_(&l, &n, &ni, &m, &me, x.data(), f.data(), g.data(), xl.data(), xu.data(), &acc, &cell1,
       &cell2, &state, &final_call, rw.data(), &lrw, iw.data(), &liw, &k, &oracle, param,
       pen.data(), res.data(), preset_r, preset_i);
  EXPECT_EQ(state, 0);
  EXPECT_TRUE(rw.guards_intact());
  for (std::size_t i = 0; i < rw.size(); ++i) ASSERT_EQ(rw[i], 0.5);
}

}  // namespace
