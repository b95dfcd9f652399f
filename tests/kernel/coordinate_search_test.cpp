// The coordinate search around the best archive member, and the perturbation
// of that member.
#include <cmath>
#include <initializer_list>
#include <vector>

#include <gtest/gtest.h>

#include "abi/default_context.hpp"
#include "abi/internal_routines.h"
#include "interface/context.hpp"
#include "support/colony_workspace.hpp"
#include "support/guarded.hpp"

namespace {

using kestro::testing::after_draws;
using kestro::testing::ColonyWorkspace;
using kestro::testing::GeneratorState;
using kestro::testing::Guarded;
using kestro::testing::nth_draw;
using kestro::testing::TestPresets;

// From (0.5, 0.6) the draws are 0.6, 0.1, 0.823..., 0.923...: with N = 2 or 3
// the shuffle gives the order 2, 1 (, 3) and the first direction is +1.
constexpr GeneratorState kOrderTwoFirst{0.5, 0.6};
// With N = 1: the shuffle takes 0.6, the direction draw is then 0.7 or 0.3.
constexpr GeneratorState kUpwards{0.1, 0.6};
constexpr GeneratorState kDownwards{0.7, 0.6};

// The coordinate search of one archive member, called through o32_, with IW
// exactly L + 2N + 31 long and the point, bounds and workspaces guarded.
struct Search {
  int l, n, ni;
  ColonyWorkspace ws;
  Guarded<double> xp, xl, xu;
  Guarded<int> iw;
  int liw;
  int state = -30, run_out = 0;
  TestPresets presets;

  Search(int variables, int integers, int block = 1)
      : l(block),
        n(variables),
        ni(integers),
        ws(variables, 1),
        xp(static_cast<std::size_t>(variables), -3.0),
        xl(static_cast<std::size_t>(variables), 0.0),
        xu(static_cast<std::size_t>(variables), 10.0),
        iw(static_cast<std::size_t>(block + 2 * variables + 31), 77),
        liw(block + 2 * variables + 31) {
    kestro::abi::default_context().solver.kernel.coordinate_search = {};
  }

  void call() {
    o32_(&l, &n, &ni, xp.data(), xl.data(), xu.data(), &ws.a0, &ws.s0, ws.data(), &ws.lrw,
         iw.data(), &liw, &state, &run_out, presets.r, presets.i);
  }
  // The last move failed: the next call continues the pass (the colony step
  // turns -30 into -31 once the first block of a pass is out).
  void call_after_failure() {
    cell(31) = 0;
    if (state == -30) state = -31;
    call();
  }

  int& cell(int position) { return iw[static_cast<std::size_t>(position - 1)]; }
  int order(int j) { return cell(l + 31 + j); }
  int exhausted(int j) { return cell(l + n + 31 + j); }
  double x(int i) { return xp[static_cast<std::size_t>(i - 1)]; }
  void bounds(int i, double lo, double hi) {
    xl[static_cast<std::size_t>(i - 1)] = lo;
    xu[static_cast<std::size_t>(i - 1)] = hi;
  }
  std::vector<double> point() { return std::vector<double>(xp.data(), xp.data() + n); }
  bool intact() {
    return ws.rw.guards_intact() && iw.guards_intact() && xp.guards_intact() &&
           xl.guards_intact() && xu.guards_intact();
  }
};

TEST(CoordinateSearch, PassStartShufflesThenMovesTheFirstVariable) {
  Search s(3, 0);
  s.ws.set_member(1, {5.0, 5.0, 5.0});
  s.ws.set_spreads({1.0, 4.0, 9.0});
  s.ws.set_state(kOrderTwoFirst);
  s.call();
  EXPECT_EQ(s.order(1), 2);
  EXPECT_EQ(s.order(2), 1);
  EXPECT_EQ(s.order(3), 3);
  for (int j = 1; j <= 3; ++j) EXPECT_EQ(s.exhausted(j), 0);
  EXPECT_EQ(s.cell(31), 1);
  EXPECT_EQ(s.cell(30), 2);
  EXPECT_EQ(s.point(), (std::vector<double>{5.0, 7.0, 5.0}));  // + sqrt(4)
  EXPECT_EQ(s.state, -30);
  EXPECT_EQ(s.ws.state(), after_draws(kOrderTwoFirst, 4));  // N shuffle draws, one direction
  EXPECT_TRUE(s.intact());
}

TEST(CoordinateSearch, ShuffleDrawOfExactlyOneStaysAPermutation) {
  // The first shuffle draw is 1.0, which would pick the slot past the order.
  const GeneratorState start{0.3, 1.0};
  struct Case {
    int n, l;
    std::vector<int> expected;
  } cases[] = {{1, 1, {1}}, {2, 1, {2, 1}}, {2, 4, {2, 1}}};
  for (const auto& c : cases) {
    Search s(c.n, 0, c.l);
    for (int i = 1; i <= c.n; ++i) s.ws.at(s.ws.a0 + i - 1) = 5.0;
    for (int i = 1; i <= c.n; ++i) s.ws.at(s.ws.s0 + i - 1) = 1.0;
    s.ws.set_state(start);
    s.call();
    std::vector<int> order;
    for (int j = 1; j <= c.n; ++j) order.push_back(s.order(j));
    EXPECT_EQ(order, c.expected) << "N " << c.n << ", L " << c.l;
    for (int j = 1; j <= c.n; ++j) EXPECT_EQ(s.exhausted(j), 0) << "N " << c.n;
    for (int i = 32; i <= 31 + c.l; ++i) EXPECT_EQ(s.cell(i), 77) << "IW(" << i << ")";
    EXPECT_TRUE(s.intact());
  }
}

TEST(CoordinateSearch, FixedContinuousVariableGetsOneMoveThenIsExhausted) {
  Search s(2, 0);
  s.ws.set_member(1, {5.0, 3.0});
  s.ws.set_spreads({4.0, 4.0});
  s.bounds(2, 3.0, 3.0);
  s.ws.set_state(kOrderTwoFirst);
  s.call();  // variable 2 first: 3 + 2 clipped back onto 3
  EXPECT_EQ(s.point(), (std::vector<double>{5.0, 3.0}));
  EXPECT_EQ(s.state, -30);
  s.call_after_failure();  // no second try: variable 1 follows with one draw
  EXPECT_EQ(s.exhausted(2), 1);
  EXPECT_EQ(s.cell(30), 1);
  EXPECT_EQ(s.point(), (std::vector<double>{7.0, 3.0}));
  EXPECT_EQ(s.state, -31);
  EXPECT_EQ(s.run_out, 0);
  EXPECT_EQ(s.ws.state(), after_draws(kOrderTwoFirst, 4));
}

TEST(CoordinateSearch, IntegerVariableOnABoundGetsOneTryInward) {
  struct Case {
    const char* name;
    double member;
    GeneratorState start;
    double moved;
  } cases[] = {
      {"AtLowerPointingOut", 0.0, kDownwards, 1.0},
      {"AtLowerPointingIn", 0.0, kUpwards, 1.0},
      {"AtUpperPointingOut", 5.0, kUpwards, 4.0},
      {"AtUpperPointingIn", 5.0, kDownwards, 4.0},
  };
  for (const auto& c : cases) {
    Search s(1, 1);
    s.bounds(1, 0.0, 5.0);
    s.ws.set_member(1, {c.member});
    s.ws.set_spreads({9.0});
    s.ws.set_state(c.start);
    s.call();
    EXPECT_EQ(s.x(1), c.moved) << c.name;
    EXPECT_EQ(s.state, -30) << c.name;
    s.call_after_failure();
    EXPECT_EQ(s.state, -99) << c.name;
    EXPECT_EQ(s.run_out, 1) << c.name;
    EXPECT_EQ(s.exhausted(1), 1) << c.name;
    EXPECT_EQ(s.x(1), c.moved) << c.name;  // no point written at the end
    EXPECT_EQ(s.ws.state(), after_draws(c.start, 2)) << c.name;
  }
}

TEST(CoordinateSearch, InteriorIntegerVariableTriesBothDirections) {
  Search s(1, 1);
  s.bounds(1, 0.0, 5.0);
  s.ws.set_member(1, {2.0});
  s.ws.set_spreads({9.0});
  s.ws.set_state(kUpwards);
  s.call();
  EXPECT_EQ(s.x(1), 3.0);
  s.call_after_failure();
  EXPECT_EQ(s.x(1), 1.0);
  EXPECT_EQ(s.state, -31);
  s.call_after_failure();
  EXPECT_EQ(s.state, -99);
  EXPECT_EQ(s.run_out, 1);
}

TEST(CoordinateSearch, ContinuousTriesAlternateWithShrinkingStep) {
  // PRESET_I(8) = 3 tries, minimum step 1/(10*PRESET_I(7)) = 0.05; first
  // step sqrt(16) = 4 upwards.
  struct Case {
    const char* name;
    double shrink;  // PRESET_R(6)
    std::vector<double> moves;
  } cases[] = {
      {"StepDividedByFour", 4.0, {9.0, 4.0, 5.25}},
      {"StepHeldAtItsMinimum", 100.0, {9.0, 4.95, 5.05}},
  };
  for (const auto& c : cases) {
    Search s(1, 0);
    s.presets.set_r(6, c.shrink);
    s.ws.set_member(1, {5.0});
    s.ws.set_spreads({16.0});
    s.ws.set_state(kUpwards);
    s.call();
    std::vector<double> moves{s.x(1)};
    std::vector<int> states{s.state};
    for (int t = 2; t <= 3; ++t) {
      s.call_after_failure();
      moves.push_back(s.x(1));
      states.push_back(s.state);
    }
    ASSERT_EQ(moves.size(), c.moves.size());
    for (std::size_t t = 0; t < moves.size(); ++t)
      EXPECT_DOUBLE_EQ(moves[t], c.moves[t]) << c.name << " try " << t + 1;
    EXPECT_EQ(states, (std::vector<int>{-30, -31, -31})) << c.name;
    s.call_after_failure();  // the fourth try is refused and the pass ends
    EXPECT_EQ(s.state, -99) << c.name;
    EXPECT_EQ(s.run_out, 1) << c.name;
    EXPECT_DOUBLE_EQ(s.x(1), c.moves.back()) << c.name;
    EXPECT_EQ(s.ws.state(), after_draws(kUpwards, 2)) << c.name;
  }
}

TEST(CoordinateSearch, PassLeftWithUnexhaustedVariablesEndsWithoutRunningOut) {
  Search s(1, 0);
  s.ws.set_member(1, {5.0});
  s.ws.set_spreads({1.0});
  s.ws.set_state(kUpwards);
  s.call();
  s.state = -31;
  s.call();  // IW(31) is still 1: the search moves past the last variable
  EXPECT_EQ(s.state, -40);
  EXPECT_EQ(s.run_out, 0);
  EXPECT_EQ(s.x(1), 6.0);
  s.call_after_failure();  // past the end there is nothing to try again
  EXPECT_EQ(s.state, -40);
  EXPECT_EQ(s.x(1), 6.0);
  EXPECT_TRUE(s.intact());
}

TEST(CoordinateSearch, ContinuingWithoutAPassBegunTakesTheFirstPosition) {
  Search s(2, 0);
  s.cell(s.l + 32) = 2;  // visiting order 2, 1
  s.cell(s.l + 33) = 1;
  s.ws.set_member(1, {5.0, 5.0});
  s.ws.set_spreads({1.0, 1.0});
  s.ws.set_state(kUpwards);  // draw 0.6: upwards
  s.state = -31;
  s.call_after_failure();
  EXPECT_EQ(s.point(), (std::vector<double>{5.0, 6.0}));
  EXPECT_EQ(s.state, -30);
  EXPECT_EQ(s.ws.state(), after_draws(kUpwards, 1));
  EXPECT_TRUE(s.intact());
}

TEST(CoordinateSearch, WorkspaceTooShortLeavesEverythingAsItWas) {
  struct Case {
    const char* name;
    int liw_cut, lrw_cut;
  } cases[] = {{"IwOneShort", 1, 0}, {"RwOneShort", 0, 1}};
  for (const auto& c : cases) {
    Search s(2, 0, 2);
    s.ws.set_member(1, {5.0, 5.0});
    s.ws.set_spreads({1.0, 1.0});
    s.ws.set_state(kOrderTwoFirst);
    s.liw -= c.liw_cut;
    s.ws.lrw -= c.lrw_cut;
    const std::vector<int> iw_before(s.iw.data(), s.iw.data() + s.iw.size());
    s.call();
    EXPECT_EQ(s.state, -30) << c.name;
    EXPECT_EQ(s.ws.state(), kOrderTwoFirst) << c.name;
    EXPECT_EQ(std::vector<int>(s.iw.data(), s.iw.data() + s.iw.size()), iw_before) << c.name;
    EXPECT_EQ(s.x(1), -3.0) << c.name;
  }
}

// Calls o24_ with the generation in IW(4).
void perturb(ColonyWorkspace& ws, Guarded<double>& xp, int n, int ni, double lo, double hi,
             int generation, int compared, const TestPresets& presets) {
  Guarded<double> xl(static_cast<std::size_t>(n), lo), xu(static_cast<std::size_t>(n), hi);
  int iw[4] = {0, 0, 0, generation};
  int liw = 4, generation_cell = 4;
  o24_(&n, &ni, xp.data(), xl.data(), xu.data(), ws.data(), &ws.lrw, iw, &liw, &generation_cell,
       &compared, &ws.a0, presets.r);
}

TEST(ArchiveBestPerturbation, ContinuousStepScaledByRangeOverGenerationSquared) {
  // From (0.45, 0.6): 0.6 > 1/4 takes a step with rows B(1) (0.05) and
  // A(23) (0.773...); the fourth draw, 0.823..., decides the bound handling.
  const GeneratorState step{0.45, 0.6};
  const double d = 0.260390399999 * -0.994521999999;
  struct Case {
    const char* name;
    GeneratorState start;
    double member;
    int generation;
    double threshold, expected;
    int draws;
  } cases[] = {
      {"KeptWhenFirstDrawAtMostAQuarter", {0.45, 0.2}, 50.0, 1, 0.5, 50.0, 2},
      {"WholeRangeAtGenerationOne", step, 50.0, 1, 0.5, 50.0 + d * 100.0 / 1.0, 4},
      {"HundredthAtGenerationTen", step, 50.0, 10, 0.5, 50.0 + d * 100.0 / 100.0, 4},
      {"BelowLowerClippedByTheLastDraw", step, 10.0, 1, 0.85, 0.0, 4},
      {"BelowLowerMirroredByTheLastDraw", step, 10.0, 1, 0.8, (0.0 - (10.0 + d * 100.0)) * 0.5, 4},
  };
  for (const auto& c : cases) {
    ColonyWorkspace ws(1, 1);
    ws.set_member(1, {c.member});
    ws.set_state(c.start);
    Guarded<double> xp(1, -3.0);
    TestPresets presets;
    presets.set_r(2, c.threshold);
    perturb(ws, xp, 1, 0, 0.0, 100.0, c.generation, 1, presets);
    EXPECT_DOUBLE_EQ(xp[0], c.expected) << c.name;
    EXPECT_EQ(ws.state(), after_draws(c.start, c.draws)) << c.name;
    EXPECT_TRUE(xp.guards_intact() && ws.rw.guards_intact()) << c.name;
  }
}

TEST(ArchiveBestPerturbation, IntegerUnitStepWithChanceOneQuarterThenClipped) {
  struct Case {
    const char* name;
    GeneratorState start;
    double member, expected;
    int draws;
  } cases[] = {
      {"KeptWhenFirstDrawAtMostThreeQuarters", {0.1, 0.7}, 2.0, 2.0, 2},
      {"DownWhenSecondDrawAboveHalf", {0.1, 0.8}, 2.0, 1.0, 3},  // second draw 0.9
      {"UpOtherwise", {0.5, 0.8}, 2.0, 3.0, 3},                  // second draw 0.3
      {"UpFromTheUpperBoundClipped", {0.5, 0.8}, 5.0, 5.0, 3},
  };
  for (const auto& c : cases) {
    ColonyWorkspace ws(1, 1);
    ws.set_member(1, {c.member});
    ws.set_state(c.start);
    Guarded<double> xp(1, -3.0);
    perturb(ws, xp, 1, 1, 0.0, 5.0, 3, 0, TestPresets());
    EXPECT_EQ(xp[0], c.expected) << c.name;
    EXPECT_EQ(ws.state(), after_draws(c.start, c.draws)) << c.name;
  }
}

TEST(ArchiveBestPerturbation, AllIntegerCopyOfTheMemberRedrawnUniformly) {
  const GeneratorState start{0.1, 0.7};  // keeps the member, then the decision draw
  ColonyWorkspace ws(1, 1);
  ws.set_member(1, {2.0});
  ws.set_state(start);
  Guarded<double> xp(1, -3.0);
  perturb(ws, xp, 1, 1, 0.0, 20.0, 3, 1, TestPresets());
  EXPECT_EQ(xp[0], std::round(20.0 * nth_draw(start, 3)));
  EXPECT_EQ(ws.state(), after_draws(start, 3));
}

}  // namespace
