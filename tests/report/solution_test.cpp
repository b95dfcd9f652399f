// The solution block with its constraint marks and bounds profile, the
// solution-file preamble, and the final report with each finish line.
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "abi/default_context.hpp"
#include "abi/internal_routines.h"
#include "interface/context.hpp"
#include "report/report_fixture.hpp"
#include "report/solution.hpp"

namespace {

using namespace kestro::testing;
using kestro::ConstRealView;
using kestro::report::OutputUnits;
using kestro::report::SolutionArguments;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

ConstRealView view(const std::vector<double>& v) {
  return ConstRealView(v.data(), static_cast<kestro::Index>(v.size()));
}

// One variable of the bounds-profile test: its value and bounds.
struct Variable {
  double x, xl, xu;
};

// Every code: XL strip, the 21 slots, XU strip, fixed, above XU, below XL,
// crossed bounds; then the variables without a line (NaN value, just above
// the top slot of a tiny range), a large value in exponent form, and a NaN
// bound.
std::vector<Variable> every_profile_code() {
  std::vector<Variable> v;
  v.push_back({0.01, 0, 21});
  for (int k = 1; k <= 21; ++k) v.push_back({k - 0.5, 0, 21});
  v.push_back({20.99, 0, 21});
  v.push_back({3, 3, 3});
  v.push_back({5, 0, 1});
  v.push_back({-1, 0, 1});
  v.push_back({1, 1 + 5e-7, 1});
  v.push_back({kNaN, 0, 1});
  v.push_back({1e-6 + 5e-7, 0, 1e-6});
  v.push_back({2e14, 0, 1});
  v.push_back({5, kNaN, 1});
  return v;
}

TEST(SolutionBlock, ConstraintsAndEveryBoundsProfileCode) {
  std::vector<double> x, xl, xu;
  for (const Variable& v : every_profile_code()) {
    x.push_back(v.x);
    xl.push_back(v.xl);
    xu.push_back(v.xu);
  }
  const std::vector<double> g = {0.0005, 0.002, 2e7, -0.0005, -0.002, -5e6};
  OutputUnits units;
  ScreenCapture screen(units);
  const SolutionArguments a{1,        static_cast<int>(x.size()),
                            6,        3,
                            view(x),  view(g),
                            2.0,      0.0015,
                            0,        view(xl),
                            view(xu), 0.001,
                            1234,     5.5,
                            1};
  kestro::report::print_solution(units, 0, a);
  const std::vector<std::string> expected = {
      " --------------------------------------------",
      " EVAL:     1234,  TIME:     5.50,  IFLAG:   1",
      " --------------------------------------------",
      " F(X) =                     2.000000000000000",
      " --------------------------------------------",
      " VIOLATION OF G(X)             0.001500000000",
      " --------------------------------------------",
      " G(   1) =      0.00050000  (EQUALITY CONSTR)",
      " G(   2) =      0.00200000  (EQUALITY CONSTR)  <---  INFEASIBLE  ( G NOT = 0 )",
      " G(   3) =       0.200E+08  (EQUALITY CONSTR)  <---  INFEASIBLE  ( G NOT = 0 )",
      " G(   4) =     -0.00050000  (IN-EQUAL CONSTR)",
      " G(   5) =     -0.00200000  (IN-EQUAL CONSTR)  <---  INFEASIBLE  ( G < 0 )",
      " G(   6) =****************  (IN-EQUAL CONSTR)  <---  INFEASIBLE  ( G < 0 )",
      " --------------------------------------------            BOUNDS-PROFIL    ",
      " X(    1) =                 0.010000000000000    !   XL___________________",
      " X(    2) =                 0.500000000000000    !   x____________________",
      " X(    3) =                 1.500000000000000    !   _x___________________",
      " X(    4) =                 2.500000000000000    !   __x__________________",
      " X(    5) =                 3.500000000000000    !   ___x_________________",
      " X(    6) =                 4.500000000000000    !   ____x________________",
      " X(    7) =                 5.500000000000000    !   _____x_______________",
      " X(    8) =                 6.500000000000000    !   ______x______________",
      " X(    9) =                 7.500000000000000    !   _______x_____________",
      " X(   10) =                 8.500000000000000    !   ________x____________",
      " X(   11) =                 9.500000000000000    !   _________x___________",
      " X(   12) =                10.500000000000000    !   __________x__________",
      " X(   13) =                11.500000000000000    !   ___________x_________",
      " X(   14) =                12.500000000000000    !   ____________x________",
      " X(   15) =                13.500000000000000    !   _____________x_______",
      " X(   16) =                14.500000000000000    !   ______________x______",
      " X(   17) =                15.500000000000000    !   _______________x_____",
      " X(   18) =                16.500000000000000    !   ________________x____",
      " X(   19) =                17.500000000000000    !   _________________x___",
      " X(   20) =                18.500000000000000    !   __________________x__",
      " X(   21) =                19.500000000000000    !   ___________________x_",
      " X(   22) =                20.500000000000000    !   ____________________x",
      " X(   23) =                20.989999999999998    !   ___________________XU",
      " X(   24) =                 3.000000000000000    !   WARNING: XL = XU     ",
      " X(   25) =                 5.000000000000000  <---  *** ERROR *** (X > XU) ",
      " X(   26) =                -1.000000000000000  <---  *** ERROR *** (X < XL) ",
      " X(   27) =                 1.000000000000000  <---  *** ERROR *** (XL > XU)",
      " X(   30) =                           0.2E+15  <---  *** ERROR *** (X > XU) ",
      " X(   31) =                 5.000000000000000    !   WARNING: XL = XU     ",
      "",
      " ",
  };
  expect_lines(lines_of(screen.text()), expected);
}

TEST(SolutionBlock, SeveralObjectivesWithoutConstraints) {
  // Objective magnitudes 2.5 and 1e15 with sign flags 1 and 0.
  const std::vector<double> x = {0.5}, xl = {0}, xu = {1}, g = {2.5, 1e15, 1.0, 0.0};
  std::vector<double> pf = {17.0};
  const int o = 2, n = 1, m = 0, me = 0, eval = 10, iflag = -3, unit = 0;
  const double f = 1.5, res = 0.0, acc = 0.001, time = 0.0;
  ScreenCapture screen(kestro::abi::default_context().report.units);
  print_solution_(&o, &n, &m, &me, x.data(), g.data(), &f, &res, pf.data(), xl.data(), xu.data(),
                  &acc, &eval, &time, &iflag, &unit);
  const std::vector<std::string> expected = {
      " --------------------------------------------",
      " EVAL:       10,  TIME:     0.00,  IFLAG:  -3",
      " --------------------------------------------",
      " PROGRESS                   1.500000000000000",
      " --------------------------------------------",
      " NUMBER OF PARETO POINTS                   17",
      " --------------------------------------------",
      " F(   1) =                 -2.500000000000000",
      " F(   2) =                     0.10000000E+16",
      " --------------------------------------------            BOUNDS-PROFIL    ",
      " X(    1) =                 0.500000000000000    !   __________x__________",
      "",
      " ",
  };
  expect_lines(lines_of(screen.text()), expected);
}

TEST(SolutionBlock, InputErrorLeavesOutTheViolationLine) {
  const std::vector<double> x = {0.5}, xl = {0}, xu = {1}, g = {0.5};
  OutputUnits units;
  ScreenCapture screen(units);
  kestro::report::print_solution(
      units, 0,
      {1, 1, 1, 0, view(x), view(g), 2.0, 7.0, 0, view(xl), view(xu), 0.001, 100, 10.0, 101});
  const auto lines = lines_of(screen.text());
  ASSERT_GE(lines.size(), 7u);
  const std::string dash = " " + repeat('-', 44);
  EXPECT_EQ(lines[3], " F(X) =                     2.000000000000000");
  EXPECT_EQ(lines[4], dash);
  EXPECT_EQ(lines[5], dash);
  EXPECT_EQ(lines[6], " G(   1) =      0.50000000  (IN-EQUAL CONSTR)");
}

TEST(SolutionFile, Preamble) {
  OutputUnits units;
  ScreenCapture screen(units);
  kestro::report::print_solution_preamble(units, 0);
  kestro::report::print_current_best_title(units, 0);
  EXPECT_EQ(screen.text(),
            "KESTRO - SOLUTION\n"
            "-----------------\n"
            "This file saves the current best solution X found by KESTRO.\n"
            "This file is updated after every PRINTEVAL function evaluation,\n"
            "if X has been improved.\n"
            "\n"
            "\n"
            "\n"
            "\n"
            "            CURRENT BEST SOLUTION\n");
}

TEST(FinalReport, FinishLineForEachFinalCode) {
  const std::string title = "         BEST SOLUTION FOUND BY KESTRO       ";
  const std::string maxtime = " OPTIMIZATION FINISHED  --->  MAXTIME REACHED";
  const std::string maxeval = " OPTIMIZATION FINISHED  --->  MAXEVAL REACHED";
  const struct {
    const char* name;
    int iflag;
    double time, maxtime;
    int eval, maxeval;
    double algostop, evalstop;
    std::vector<std::string> head;  // the lines before the solution block
  } cases[] = {
      {"BothBudgetsSpent",
       1,
       10.0,
       10.0,
       100,
       100,
       0,
       0,
       {"", maxtime, "", maxeval, "", "", title}},
      {"OnlyTime", 2, 11.0, 10.0, 99, 100, 0, 0, {"", maxtime, "", "", title}},
      {"OnlyEvaluations", 1, 9.0, 10.0, 100, 100, 0, 0, {"", maxeval, "", "", title}},
      {"StoppedOnRequest", 2, 9.0, 10.0, 99, 100, 0, 0, {"", "", title}},
      {"AlgostopDefault",
       3,
       9.0,
       10.0,
       99,
       100,
       0,
       0,
       {"", " OPTIMIZATION FINISHED  --->  ALGOSTOP (=  0)", "", "", title}},
      {"AlgostopInfeasible",
       4,
       9.0,
       10.0,
       99,
       100,
       4.6,
       0,
       {"", " OPTIMIZATION FINISHED  --->  ALGOSTOP (=  5)", "", "", title}},
      {"Evalstop",
       5,
       9.0,
       10.0,
       99,
       100,
       0,
       50000.001,
       {"", " OPTIMIZATION FINISHED  --->  EVALSTOP (=    50000)", "", "", title}},
      {"EvalstopInfeasible",
       6,
       9.0,
       10.0,
       99,
       100,
       0,
       50000.001,
       {"", " OPTIMIZATION FINISHED  --->  EVALSTOP (=    50000)", "", "", title}},
      {"Fstop",
       7,
       9.0,
       10.0,
       99,
       100,
       0,
       0,
       {"", " OPTIMIZATION FINISHED  --->  FSTOP REACHED", "", "", title}},
      {"EndedByTheBudgetItself", 0, 20.0, 10.0, 100, 1, 0, 0, {"", "", title}},
      {"InputError", 101, 20.0, 10.0, 100, 1, 0, 0, {"", "", title}},
  };
  for (const auto& c : cases) {
    double param[13] = {};
    param[3] = c.algostop;
    param[4] = c.evalstop;
    // RW(IRES) is the residual shown: put it at position 3.
    const double rw[3] = {-1.0, -1.0, 0.25};
    const std::vector<double> x = {0.5}, xl = {0}, xu = {1}, g = {0.5};
    const int o = 1, n = 1, m = 1, me = 0, ires = 3, unit = 0;
    const double f = 2.0, acc = 0.001;
    ScreenCapture screen(kestro::abi::default_context().report.units);
    print_final_(&c.iflag, &c.time, &c.maxtime, &c.eval, &c.maxeval, &o, &n, &m, &me, x.data(),
                 g.data(), &f, xl.data(), xu.data(), rw, &acc, &ires, nullptr, param, &unit);
    const auto lines = lines_of(screen.text());
    ASSERT_GT(lines.size(), c.head.size() + 6) << c.name;
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + c.head.size()), c.head)
        << c.name;
    // The solution block follows at once.
    EXPECT_EQ(lines[c.head.size()], " " + repeat('-', 44)) << c.name;
    const std::string violation = " VIOLATION OF G(X)             0.250000000000";
    const bool shows_violation = c.iflag <= 99;
    EXPECT_EQ(lines[c.head.size() + 5] == violation, shows_violation) << c.name;
  }
}

}  // namespace
