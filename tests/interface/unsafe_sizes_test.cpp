// First calls with sizes that make no sense: the entry answers with a code
// and touches nothing outside the lengths the call declares.
#include <algorithm>
#include <cstdint>

#include <cstdio>
#include <vector>

#include <gtest/gtest.h>

#include "abi/default_context.hpp"
#include "interface/context.hpp"
#include "support/guarded.hpp"
#include "support/problem.hpp"

namespace {

using kestro::testing::Guarded;
constexpr std::int64_t kMinimum = INT64_MIN;

std::size_t declared(std::int64_t a, std::int64_t b = 1) {
  return (a > 0 && b > 0) ? static_cast<std::size_t>(a * b) : 0;
}

struct Case {
  const char* name;
  int l, o, n, ni, m, me;
  std::int64_t lrw, liw;  // kMinimum: the entry's minimum for these sizes
  int iflag;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class UnsafeSizes : public ::testing::TestWithParam<Case> {};

TEST_P(UnsafeSizes, AnswerWithACodeAndStayInsideTheArrays) {
  const Case& c = GetParam();
  std::int64_t lrw = c.lrw != kMinimum ? c.lrw : kestro::testing::required_lrw(c.l, c.o, c.n, c.m);
  std::int64_t liw = c.liw != kMinimum ? c.liw : kestro::testing::required_liw(c.l, c.n);
  lrw = std::clamp<std::int64_t>(lrw, INT32_MIN, 2000000);
  liw = std::clamp<std::int64_t>(liw, INT32_MIN, 2000000);
  // X is given at most a few points' worth: a refused call reads none of it
  // beyond the first point.
  Guarded<double> x(std::min<std::size_t>(declared(c.l, c.n), 64), 0.5);
  Guarded<double> f(declared(c.l, c.o), 1.0), g(declared(c.l, c.m), 1.0);
  Guarded<double> xl(std::min<std::size_t>(declared(c.n), 64), 0.0);
  Guarded<double> xu(std::min<std::size_t>(declared(c.n), 64), 1.0);
  Guarded<double> rw(declared(lrw), 0.0), pf(1, 0.0);
  Guarded<int> iw(declared(liw), 0);
  int lrw32 = static_cast<int>(lrw), liw32 = static_cast<int>(liw), lpf = 1;
  double param[13] = {};
  int iflag = 0, istop = 0;
  kestro_(&c.l, &c.o, &c.n, &c.ni, &c.m, &c.me, x.data(), f.data(), g.data(), xl.data(), xu.data(),
          &iflag, &istop, param, rw.data(), &lrw32, iw.data(), &liw32, pf.data(), &lpf);
  EXPECT_EQ(iflag, c.iflag);
  EXPECT_EQ(istop, 1);
  EXPECT_TRUE(x.guards_intact());
  EXPECT_TRUE(f.guards_intact());
  EXPECT_TRUE(g.guards_intact());
  EXPECT_TRUE(xl.guards_intact());
  EXPECT_TRUE(xu.guards_intact());
  EXPECT_TRUE(rw.guards_intact());
  EXPECT_TRUE(iw.guards_intact());
  EXPECT_TRUE(pf.guards_intact());

  // And the next call is refused without touching anything either.
  iflag = -1;
  istop = 0;
  kestro_(&c.l, &c.o, &c.n, &c.ni, &c.m, &c.me, x.data(), f.data(), g.data(), xl.data(), xu.data(),
          &iflag, &istop, param, rw.data(), &lrw32, iw.data(), &liw32, pf.data(), &lpf);
  EXPECT_EQ(iflag, 701);
  EXPECT_TRUE(rw.guards_intact());
  EXPECT_TRUE(g.guards_intact());
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnsafeSizes,
    ::testing::Values(Case{"NegativePoints", -5, 1, 3, 0, 2, 0, kMinimum, kMinimum, 100},
                      Case{"ZeroPoints", 0, 1, 3, 0, 2, 1, kMinimum, kMinimum, 100},
                      Case{"NegativeVariablesTinyWorkspace", 1, 1, -1000000, 0, 1, 0, 10, 10, 102},
                      Case{"NegativeConstraints", 1, 1, 3, 0, -50, 0, kMinimum, kMinimum, 105},
                      Case{"NegativeConstraintsTinyWorkspace", 2, 1, 3, 0, -400, 0, 3, kMinimum,
                           105},
                      Case{"NoObjective", 1, 0, 3, 0, 2, 0, kMinimum, kMinimum, 101},
                      Case{"NegativeObjectives", 2, -3, 3, 0, 2, 0, kMinimum, kMinimum, 101},
                      Case{"EmptyRw", 1, 1, 3, 0, 2, 0, 0, kMinimum, 501},
                      Case{"OneRealOfRw", 1, 1, 3, 0, 2, 0, 1, kMinimum, 501},
                      Case{"NegativeLrw", 1, 1, 3, 0, 2, 0, -7, kMinimum, 501},
                      Case{"EmptyIw", 1, 1, 3, 0, 2, 0, kMinimum, 0, 601},
                      Case{"HugeVariableCount", 1, 1, 2000000000, 0, 1, 0, 100000, 100000, 501},
                      Case{"BlockBeyond32Bits", 70000, 1, 70000, 0, 0, 0, 100000, 100000, 501},
                      // Found by the fuzzer: a huge L with no objectives and no constraints
                      // declares empty blocks; the cleaning of F and G must not walk L points.
                      Case{"HugeBlockWithoutObjectives", INT32_MAX, 0, 3, 0, 0, 0, 100, 100, 501}),
    [](const auto& info) { return info.param.name; });

// After the solver refused a workspace as too short, a caller that goes on
// (IFLAG tampered) and asks for a report gets nothing read from the short
// RW: the reporting entry reads RW no further than the solver was given it.
// Under AddressSanitizer a read past the exactly sized RW fails this test.
TEST(UnsafeSizes, ReportAfterARefusedWorkspaceReadsNothingPastIt) {
  int l = 1, o = 1, n = 3, ni = 0, m = 1, me = 0, lrw = 12, liw = 2000, lpf = 1;
  std::vector<double> x(3, 0.5), f(1, 1.0), g(1, 1.0), xl(3, 0.0), xu(3, 1.0), pf(1);
  std::vector<double> rw(static_cast<std::size_t>(lrw));
  std::vector<int> iw(static_cast<std::size_t>(liw));
  double param[13] = {};
  int iflag = 0, istop = 0, printeval = 1, save2file = 0, maxeval = 99999999, maxtime = 1000,
      timediv = 0;
  std::FILE* sink = std::tmpfile();
  kestro::abi::default_context().report.units.set_screen(sink);
  auto print = [&](int stage) {
    kestro_print_(&stage, &printeval, &save2file, &iflag, &istop, f.data(), g.data(), x.data(),
                  xl.data(), xu.data(), &o, &n, &ni, &m, &me, rw.data(), pf.data(), &maxeval,
                  &maxtime, param, &l, &timediv);
  };
  auto solve = [&] {
    kestro_(&l, &o, &n, &ni, &m, &me, x.data(), f.data(), g.data(), xl.data(), xu.data(), &iflag,
            &istop, param, rw.data(), &lrw, iw.data(), &liw, pf.data(), &lpf);
  };
  print(1);
  solve();
  EXPECT_EQ(iflag, 501);
  print(2);
  iflag = -1;
  istop = 0;
  solve();
  EXPECT_EQ(iflag, 701);
  print(2);
  kestro::abi::default_context().report.units.set_screen(nullptr);
  std::fclose(sink);
}

}  // namespace
