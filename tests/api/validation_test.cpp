// A faulty problem or faulty options are refused before the first call, with
// a message that names the fault and carries the IFLAG code the library gives
// for the same input.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <regex>
#include <string>

#include "abi/internal_routines.h"
#include "kestro.hpp"

namespace kestro::testing {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Problem sound_problem() {
  Problem p;
  p.lower = {0, 0, 0};
  p.upper = {4, 4, 4};
  p.integers = 2;
  p.constraints = 1;
  p.start = {1, 1, 2};
  return p;
}

// The code the library itself gives on the first call of a run for this
// problem and these options (sizes taken as given, arrays never shorter
// than one value).
int library_code(const Problem& p, const Options& opt) {
  // block_size 0 is the C++ API's "not given": one point per block.
  int l = opt.block_size == 0 ? 1 : opt.block_size, o = p.objectives, n = int(p.lower.size()),
      ni = p.integers, m = p.constraints, me = p.equalities, iflag = 0, istop = 0;
  auto len = [](long long k) { return std::size_t(std::max<long long>(k, 1)); };
  int lrw = 120 * n + 20 * m + l * (m + 2 * o + 20) + o * (o + 20) + 4990;
  int liw = l + 3 * n + 990;
  int lpf = 1000 * (n + m + o) + 1;
  std::vector<double> x(len((long long)l * n)), f(len((long long)l * o), 1.0),
      g(len((long long)l * m), 1.0), xl(len(n)), xu(len(n)), rw(len(lrw)), pf(len(lpf));
  std::vector<int> iw(len(liw));
  for (int i = 0; i < n; ++i) xl[i] = p.lower[i], xu[i] = p.upper[i];
  for (int k = 0; k < l; ++k)
    for (int i = 0; i < n; ++i) x[std::size_t(k) * n + i] = p.start[i];
  std::vector<double> param = opt.param();
  kestro_(&l, &o, &n, &ni, &m, &me, x.data(), f.data(), g.data(), xl.data(), xu.data(), &iflag,
          &istop, param.data(), rw.data(), &lrw, iw.data(), &liw, pf.data(), &lpf);
  return iflag;
}

int code_in(const std::string& message) {
  std::smatch match;
  if (!std::regex_search(message, match, std::regex(R"(\(IFLAG (\d+)\)$)"))) return -1;
  return std::stoi(match[1]);
}

struct Fault {
  const char* name;
  int code;
  std::function<void(Problem&, Options&)> spoil;
  const char* names;  // what the message must mention
};

void PrintTo(const Fault& f, std::ostream* os) { *os << f.name; }

class Refused : public ::testing::TestWithParam<Fault> {};

TEST_P(Refused, WithTheLibrarysCodeAndANamedCause) {
  const Fault fault = GetParam();
  Problem p = sound_problem();
  Options o;
  fault.spoil(p, o);

  std::string problem_error, options_error;
  const bool problem_ok = p.IsValid(&problem_error);
  const bool options_ok = o.IsValid(&options_error);
  const std::string message = !problem_ok ? problem_error : options_error;
  if (problem_ok && options_ok) {
    // A fault of the combination only: the Solver finds it.
    try {
      Solver s(p, o);
      FAIL() << "accepted";
    } catch (const Error& e) {
      EXPECT_EQ(e.iflag(), fault.code) << e.what();
      EXPECT_EQ(code_in(e.what()), fault.code) << e.what();
      EXPECT_NE(std::string(e.what()).find(fault.names), std::string::npos) << e.what();
    }
  } else {
    EXPECT_FALSE(problem_ok && options_ok);
    EXPECT_EQ(code_in(message), fault.code) << message;
    EXPECT_NE(message.find(fault.names), std::string::npos) << message;
    try {
      Solver s(p, o);
      FAIL() << "accepted";
    } catch (const Error& e) {
      EXPECT_EQ(e.iflag(), fault.code);
      EXPECT_EQ(std::string(e.what()), message);
    }
  }
  EXPECT_EQ(library_code(p, o), fault.code);
  const int code = fault.code;
  EXPECT_STRNE(kestro_iflag_text(&code), "unknown code");
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Faults, Refused, ::testing::Values(
  Fault{"NoObjective", 101, [](Problem& p, Options&) { p.objectives = 0; }, "objectives"},
  Fault{"NoVariable", 102, [](Problem& p, Options&) { p.lower = p.upper = p.start = {}; }, "no variables"},
  Fault{"NegativeIntegers", 103, [](Problem& p, Options&) { p.integers = -1; }, "integers"},
  Fault{"MoreIntegersThanVariables", 104, [](Problem& p, Options&) { p.integers = 4; }, "integers = 4"},
  Fault{"NegativeConstraints", 105, [](Problem& p, Options&) { p.constraints = -1; }, "constraints"},
  Fault{"NegativeEqualities", 106, [](Problem& p, Options&) { p.equalities = -1; }, "equalities"},
  Fault{"MoreEqualitiesThanConstraints", 107, [](Problem& p, Options&) { p.equalities = 2; }, "equalities = 2"},
  Fault{"StartNaN", 201, [](Problem& p, Options&) { p.start[1] = kNaN; }, "start[1]"},
  Fault{"LowerNaN", 202, [](Problem& p, Options&) { p.lower[0] = kNaN; }, "lower[0]"},
  Fault{"UpperNaN", 203, [](Problem& p, Options&) { p.upper[2] = kNaN; }, "upper[2]"},
  Fault{"StartBelowLower", 204, [](Problem& p, Options&) { p.start[0] = -0.001; }, "start[0]"},
  Fault{"StartAboveUpper", 205, [](Problem& p, Options&) { p.start[0] = 4.001; }, "start[0]"},
  Fault{"LowerAboveUpper", 206, [](Problem& p, Options&) { p.upper[0] = 4; p.lower[0] = 4.00015; p.start[0] = 4.00007; }, "lower[0]"},
  Fault{"IntegerStartNotWhole", 881, [](Problem& p, Options&) { p.start[2] = 2.5; }, "start[2]"},
  Fault{"IntegerLowerNotWhole", 882, [](Problem& p, Options&) { p.lower[1] = 0.5; }, "lower[1]"},
  Fault{"IntegerUpperNotWhole", 883, [](Problem& p, Options&) { p.upper[2] = 3.5; }, "upper[2]"},
  Fault{"NegativeBlock", 100, [](Problem&, Options& o) { o.block_size = -1; }, "block_size"},
  Fault{"NegativeAccuracy", 301, [](Problem&, Options& o) { o.accuracy = -1; }, "accuracy"},
  Fault{"NegativeSeed", 302, [](Problem&, Options& o) { o.seed = -1; }, "seed"},
  Fault{"HugeFstop", 303, [](Problem&, Options& o) { o.fstop = 2e99; }, "fstop"},
  Fault{"NegativeAlgostop", 304, [](Problem&, Options& o) { o.algostop = -1; }, "algostop"},
  Fault{"HugeEvalstop", 305, [](Problem&, Options& o) { o.evalstop = 2e99; }, "evalstop"},
  Fault{"FractionalFocus", 306, [](Problem&, Options& o) { o.focus = 1.5; }, "focus"},
  Fault{"NegativeAnts", 307, [](Problem&, Options& o) { o.ants = -1; }, "ants"},
  Fault{"KernelAbove100", 308, [](Problem&, Options& o) { o.kernel = 101; o.ants = 200; }, "kernel"},
  Fault{"KernelAboveAnts", 309, [](Problem&, Options& o) { o.ants = 10; o.kernel = 11; }, "exceeds ants"},
  Fault{"AntsWithoutKernel", 310, [](Problem&, Options& o) { o.ants = 10; }, "kernel"},
  Fault{"KernelWithoutAnts", 311, [](Problem&, Options& o) { o.kernel = 2; }, "kernel"},
  Fault{"HugeOracle", 312, [](Problem&, Options& o) { o.oracle = -2e99; }, "oracle"},
  Fault{"BalanceNeitherWholeNorWeight", 350, [](Problem&, Options& o) { o.balance = 2.5; }, "balance"},
  Fault{"CharacterAbove3", 351, [](Problem&, Options& o) { o.character = 4; }, "character"},
  Fault{"CharacterNotWhole", 352, [](Problem&, Options& o) { o.character = 1.5; }, "character"},
  Fault{"SeedNaN", 399, [](Problem&, Options& o) { o.seed = kNaN; }, "seed is NaN"},
  Fault{"EvalstopBelowOne", 347, [](Problem&, Options& o) { o.evalstop = 0.5; }, "evalstop"},
  Fault{"EvalstopFractionHalf", 348, [](Problem&, Options& o) { o.evalstop = 2.5; }, "evalstop"},
  Fault{"HugeParetomax", 321, [](Problem& p, Options& o) { p.objectives = 2; o.paretomax = 2e99; }, "paretomax"},
  Fault{"FractionalParetomax", 322, [](Problem& p, Options& o) { p.objectives = 2; o.paretomax = 2.5; }, "paretomax"},
  Fault{"EpsilonAboveHalf", 331, [](Problem& p, Options& o) { p.objectives = 2; o.epsilon = 0.6; }, "epsilon"},
  Fault{"BalanceNamesNoObjective", 350, [](Problem& p, Options& o) { p.objectives = 2; o.balance = 3; }, "balance = 3"},
  Fault{"Character3WithEqualIntegers", 402, [](Problem& p, Options& o) { o.character = 3; p.start = {1, 2, 2}; }, "start[1] and start[2]"}),
  [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });
// clang-format on

// Warnings are not faults: the run goes on and the result keeps the code.
TEST(Validation, AWarningOfTheFirstCallIsKeptAndTheRunGoesOn) {
  Problem p = sound_problem();
  p.constraints = 0;
  p.lower[0] = p.upper[0] = p.start[0] = 1;  // a fixed variable: warning 71
  std::string error;
  ASSERT_TRUE(p.IsValid(&error)) << error;
  Options o;
  o.maxeval = 200;
  const Result r = minimize(
      p,
      [](std::span<const double> x, std::span<double> f, std::span<double>) { f[0] = x[1] + x[2]; },
      o);
  EXPECT_EQ(r.warning, 71);
  EXPECT_EQ(r.iflag, 1) << r.message;
  EXPECT_GE(r.evaluations, 200);
}

TEST(Validation, MismatchedLengthsAreRefusedWithoutALibraryCode) {
  Problem p = sound_problem();
  p.upper.pop_back();
  std::string error;
  EXPECT_FALSE(p.IsValid(&error));
  EXPECT_NE(error.find("upper has 2"), std::string::npos) << error;
  try {
    Solver s(p, Options{});
    FAIL() << "accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.iflag(), 0);
  }
}

TEST(Solver, RefusesValuesOfTheWrongLengthAndResultsBeforeTheEnd) {
  Problem p = sound_problem();  // 1 objective, 1 constraint, 3 variables
  Options o;
  o.block_size = 2;
  Solver s(p, o);
  EXPECT_EQ(s.ask().size(), 6u);
  std::vector<double> f(2), g(1);
  EXPECT_THROW(s.tell(f, g), Error);
  EXPECT_THROW((void)s.result(), std::logic_error);
  g.resize(2);
  s.tell(f, g);
  EXPECT_FALSE(s.done());
}

}  // namespace
}  // namespace kestro::testing
