// The solver entry as a caller drives it: the cleaning of the model's values,
// the kernel's copy of G, the stop request, continuing calls, and the reset
// at the start of every run.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "abi/default_context.hpp"
#include "core/workspace_layout.hpp"
#include "interface/context.hpp"
#include "interface/solver_call.hpp"
#include "support/guarded.hpp"
#include "support/problem.hpp"

namespace {

using kestro::testing::Caller;
using kestro::testing::Guarded;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kLarge = 1e98;

kestro::RegionStarts regions_of(const Caller& c) {
  return kestro::RegionStarts::for_sizes(c.l, c.o, c.n, c.m);
}

TEST(RegionStarts, FollowTheLayoutFormulas) {
  const auto r = kestro::RegionStarts::for_sizes(3, 2, 5, 4);
  const long unit = 3 + 5 + 4 + 2 * 2 + 200;
  EXPECT_EQ(r.pen_base, 6 * 3 + 108 * 5 + 7 * 4 + 9 * 2 + 816);
  EXPECT_EQ(r.res_base, r.pen_base + unit + 3);
  EXPECT_EQ(r.gblock_base, r.res_base + unit + 3);
  EXPECT_EQ(r.fblock_base, r.gblock_base + unit + 3 * (4 + 2 * 2) + 1);
  EXPECT_EQ(r.objlo_base, r.fblock_base + unit + 3);
  EXPECT_EQ(r.objhi_base, r.objlo_base + unit + 2);
  EXPECT_EQ(r.step_base, r.objhi_base + unit + 2);
  EXPECT_EQ(r.dist_base, r.step_base + unit + 3);
  EXPECT_EQ(r.dist2_base, r.dist_base + unit + 3);
}

TEST(Cleaning, NonFiniteModelValuesBecomeLargeOnTheFailingSideOnly) {
  Caller c = Caller::with_sizes(2, 1, 2, 0, 3, 1);
  c.start();
  ASSERT_EQ(c.iflag, -3);
  c.f = {kNaN, kInf};
  c.g = {kNaN, -kInf, kInf, -2e98, 5.0, 1e99};
  c.call();
  EXPECT_EQ(c.f[0], kLarge);
  EXPECT_EQ(c.f[1], kLarge);
  const std::vector<double> cleaned_g = {-kLarge, -kLarge, kInf, -kLarge, 5.0, 1e99};
  EXPECT_EQ(c.g, cleaned_g);
  // The kernel works on a copy of G followed by one 0.0.
  const auto base = regions_of(c).gblock_base;
  for (int k = 0; k < 6; ++k) EXPECT_EQ(c.rw[base - 1 + k], cleaned_g[k]) << k;
  EXPECT_EQ(c.rw[base - 1 + 6], 0.0);

  c.f = {-kInf, 1e98};
  c.call();
  EXPECT_EQ(c.f[0], -kInf);  // minus infinity passes through
  EXPECT_EQ(c.f[1], 1e98);
}

TEST(Cleaning, PointRoutines) {
  double f[3] = {kNaN, 2e98, -kInf}, g[2] = {kNaN, kInf};
  int o = 3, m = 2;
  io7_(f, g, &o, &m);
  EXPECT_EQ(f[0], kLarge);
  EXPECT_EQ(f[1], kLarge);
  EXPECT_EQ(f[2], -kInf);
  EXPECT_EQ(g[0], -kLarge);
  EXPECT_EQ(g[1], kInf);
  double f2[2] = {kInf, 3.0};
  int o2 = 2;
  io7_lomfy_(f2, &o2);
  EXPECT_EQ(f2[0], kLarge);
  EXPECT_EQ(f2[1], 3.0);
}

TEST(NoConstraints, GIsNeverTouchedAndTheBlockHeadIsZero) {
  Caller c = Caller::with_sizes(2, 1, 2, 0, 0, 0);
  const auto base = regions_of(c).gblock_base;
  for (int iflag_in : {0, -1, -999}) {
    c.rw[base - 1] = 9.0;
    c.iflag = iflag_in;
    if (iflag_in == 0) c.istop = 0;
    kestro_(&c.l, &c.o, &c.n, &c.ni, &c.m, &c.me, c.x.data(), c.f.data(),
            nullptr /* G has no elements */, c.xl.data(), c.xu.data(), &c.iflag, &c.istop, c.param,
            c.rw.data(), &c.lrw, c.iw.data(), &c.liw, c.pf.data(), &c.lpf);
    EXPECT_EQ(c.rw[base - 1], 0.0);
  }
  EXPECT_EQ(c.iflag, 1);
  EXPECT_EQ(c.istop, 1);
}

struct StopCase {
  const char* name;
  double g2;      // the start point's inequality value
  bool by_iflag;  // IFLAG = -999, else ISTOP = 1
  int expected_iflag;
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

class StopRequest : public ::testing::TestWithParam<StopCase> {};

TEST_P(StopRequest, EndsTheRunWithTheBestPoint) {
  const StopCase& sc = GetParam();
  Caller c = Caller::with_sizes(2, 1, 2, 0, 2, 1);
  // Point 1 is the better start point: point 2 has a larger F and a larger
  // (or equal) violation.
  c.x = {0.25, 0.75, 0.5, 0.5};
  c.f = {1.0, 3.0};
  c.g = {0.0, sc.g2, 0.0, sc.g2 - 1.0};
  c.start();
  ASSERT_EQ(c.iflag, -3);
  // The caller evaluates the next block (worse points) and asks to stop.
  c.f = {7.0, 8.0};
  c.g = {0.0, sc.g2 - 5.0, 0.0, sc.g2 - 6.0};
  if (sc.by_iflag)
    c.iflag = -999;
  else
    c.istop = 1;
  c.call();
  EXPECT_EQ(c.iflag, sc.expected_iflag);
  EXPECT_EQ(c.istop, 1);
  // X, F and G of point 1 hold the best point: here the start point.
  EXPECT_EQ(c.x[0], 0.25);
  EXPECT_EQ(c.x[1], 0.75);
  EXPECT_EQ(c.f[0], 1.0);
  EXPECT_EQ(c.g[0], 0.0);
  EXPECT_EQ(c.g[1], sc.g2);
  // The bounds profile of the returned point: 0.25 lies in the sixth
  // twenty-first, 0.75 in the sixteenth.
  const auto best_base = 5 * 2 + 107 * 2 + 6 * 2 + 7 + 616;
  EXPECT_EQ(c.rw[best_base + 2 + 2 + 5 + 1 - 1], 6.0);
  EXPECT_EQ(c.rw[best_base + 2 + 2 + 5 + 2 - 1], 16.0);
}

INSTANTIATE_TEST_SUITE_P(Table, StopRequest,
                         ::testing::Values(StopCase{"FeasibleByIflag", 1.0, true, 1},
                                           StopCase{"InfeasibleByIflag", -1.0, true, 2},
                                           StopCase{"FeasibleByIstop", 0.0, false, 1},
                                           StopCase{"InfeasibleByIstop", -0.5, false, 2}),
                         [](const auto& info) { return info.param.name; });

TEST(StopRequest, OnTheFirstCallReturnsTheStartPoint) {
  Caller c = Caller::with_sizes(1, 1, 2, 0, 1, 0);
  c.g = {-3.0};
  c.iflag = -999;  // not a start: refused, nothing initialised
  c.istop = 0;
  kestro::abi::default_context().solver = {};
  c.call();
  EXPECT_EQ(c.iflag, 701);

  c.iflag = 0;
  c.istop = 1;  // a run started with ISTOP = 1 ends on its first call
  c.call();
  EXPECT_EQ(c.iflag, 2);
  EXPECT_EQ(c.istop, 1);
  EXPECT_EQ(c.g[0], -3.0);
}

TEST(Warnings, ReturnedOnceThenTheRunGoesOn) {
  Caller c = Caller::with_sizes(1, 1, 2, 0, 0, 0);
  c.xl[0] = c.xu[0] = 0.5;
  c.start();
  EXPECT_EQ(c.iflag, 71);
  EXPECT_EQ(c.istop, 0);
  for (int k = 0; k < 3; ++k) {
    c.call();  // the code is left in IFLAG the first time
    EXPECT_LT(c.iflag, 0);
    EXPECT_EQ(c.istop, 0);
  }
}

TEST(ContinuingCall, WithoutARunIsRefused) {
  struct Case {
    const char* name;
    int iflag;
  } cases[] = {{"Negative", -1}, {"Warning", 71}, {"Ended", 1}, {"Error", 204}};
  for (const auto& cs : cases) {
    kestro::abi::default_context().solver = {};
    Caller c = Caller::with_sizes(1, 1, 2, 0, 1, 0);
    std::fill(c.rw.begin(), c.rw.end(), 4.0);
    c.iflag = cs.iflag;
    c.call();
    EXPECT_EQ(c.iflag, 701) << cs.name;
    EXPECT_EQ(c.istop, 1) << cs.name;
    for (double v : c.rw) ASSERT_EQ(v, 4.0) << cs.name;
  }
}

TEST(ContinuingCall, AfterAnInputErrorIsRefused) {
  Caller c = Caller::with_sizes(1, 1, 2, 0, 0, 0);
  c.param[0] = -1;
  c.start();
  ASSERT_EQ(c.iflag, 301);
  c.iflag = -1;
  c.istop = 0;
  c.call();
  EXPECT_EQ(c.iflag, 701);
  EXPECT_EQ(c.istop, 1);
}

TEST(ContinuingCall, WithOtherSizesThanItsRunIsRefused) {
  struct Change {
    const char* name;
    void (*apply)(Caller&);
  } changes[] = {
      {"MorePoints", [](Caller& c) { c.l = 3; }},
      {"MoreVariables", [](Caller& c) { c.n = 3; }},
      {"MoreIntegers", [](Caller& c) { c.ni = 2; }},
      {"MoreConstraints", [](Caller& c) { c.m = 2; }},
      {"MoreEqualities", [](Caller& c) { c.me = 1; }},
      {"ShorterRw", [](Caller& c) { c.lrw -= 1; }},
      {"ShorterIw", [](Caller& c) { c.liw -= 1; }},
      {"OtherLpf", [](Caller& c) { c.lpf += 1; }},
  };
  for (const auto& change : changes) {
    Caller c = Caller::with_sizes(2, 1, 2, 1, 1, 0);
    c.x = {0.5, 1.0, 0.5, 1.0};
    c.start();
    ASSERT_EQ(c.iflag, -3);
    change.apply(c);
    c.allocate();  // arrays as long as the new sizes declare
    std::fill(c.rw.begin(), c.rw.end(), 4.0);
    c.iflag = -1;
    c.call();
    EXPECT_EQ(c.iflag, 701) << change.name;
    EXPECT_EQ(c.istop, 1) << change.name;
    for (double v : c.rw) ASSERT_EQ(v, 4.0) << change.name;
  }
}

// Runs a short sequence of calls and records everything the caller sees.
std::vector<double> trace_run(kestro::Context& context, double seed) {
  Caller c = Caller::with_sizes(2, 1, 3, 1, 1, 0);
  c.x = {0.2, 0.4, 1.0, 0.3, 0.1, 0.0};
  c.g = {1.0, -1.0};
  c.param[1] = seed;
  std::vector<double> seen;
  auto call = [&] {
    auto sc = kestro::SolverCall::from_arguments(&c.l, &c.o, &c.n, &c.ni, &c.m, &c.me, c.x.data(),
                                                 c.f.data(), c.g.data(), c.xl.data(), c.xu.data(),
                                                 &c.iflag, &c.istop, c.param, c.rw.data(), &c.lrw,
                                                 c.iw.data(), &c.liw, c.pf.data(), &c.lpf);
    kestro::solver_entry(context, sc);
    seen.push_back(c.iflag);
    seen.push_back(c.istop);
    seen.insert(seen.end(), c.x.begin(), c.x.end());
    seen.insert(seen.end(), c.f.begin(), c.f.end());
    seen.insert(seen.end(), c.g.begin(), c.g.end());
    seen.insert(seen.end(), c.rw.begin(), c.rw.end());
    seen.insert(seen.end(), c.iw.begin(), c.iw.end());
  };
  c.iflag = 0;
  call();
  c.f = {0.5, 2.0};
  call();
  c.iflag = -999;
  call();
  return seen;
}

TEST(NewRun, BehavesLikeTheFirstRunOfAFreshProcess) {
  kestro::Context used;
  // Leave the context in the middle of a run with a warning pending, with
  // other sizes.
  {
    Caller c = Caller::with_sizes(1, 1, 4, 0, 0, 0);
    c.xl[3] = c.xu[3] = 0.5;
    auto sc = kestro::SolverCall::from_arguments(&c.l, &c.o, &c.n, &c.ni, &c.m, &c.me, c.x.data(),
                                                 c.f.data(), nullptr, c.xl.data(), c.xu.data(),
                                                 &c.iflag, &c.istop, c.param, c.rw.data(), &c.lrw,
                                                 c.iw.data(), &c.liw, c.pf.data(), &c.lpf);
    kestro::solver_entry(used, sc);
    ASSERT_EQ(c.iflag, 71);
  }
  kestro::Context fresh;
  EXPECT_EQ(trace_run(used, 7.0), trace_run(fresh, 7.0));
  // And the seed matters, so the comparison is not vacuous.
  kestro::Context other;
  EXPECT_NE(trace_run(other, 8.0), trace_run(fresh, 7.0));
}

TEST(NewRun, DrawsFromTheSeededGenerator) {
  // One point, two continuous variables in [0, 1], FOCUS 0: the first cycle
  // takes three draws for its parameters, then generation 1 is uniform, one
  // draw per variable.
  Caller c = Caller::with_sizes(1, 1, 2, 0, 0, 0);
  c.param[1] = 3.0;
  c.start();
  ASSERT_EQ(c.iflag, -3);
  double state[2];
  ol003_(state, c.param);
  double draws[5];
  for (double& d : draws) d = o25_(state);
  EXPECT_EQ(c.x[0], draws[3]);
  EXPECT_EQ(c.x[1], draws[4]);
  EXPECT_EQ(c.rw[0], state[0]);
  EXPECT_EQ(c.rw[1], state[1]);
}

}  // namespace
