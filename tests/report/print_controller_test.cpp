// The print controller: the budget stops, the progress schedule, the choice
// of the displayed record, the files it keeps, and its safety with any sizes.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "abi/default_context.hpp"
#include "abi/internal_routines.h"
#include "interface/context.hpp"
#include "report/print_harness.hpp"
#include "report/report_fixture.hpp"
#include "support/guarded.hpp"
#include "support/problem.hpp"

namespace {

using namespace kestro::testing;
constexpr int kStopRequest = -999;

int count_of(const std::string& text, const std::string& what) {
  int count = 0;
  for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++count;
  return count;
}

// MAXEVAL = 1: the first block is the result. The displayed point goes to
// X, IFLAG = 0, ISTOP = 1, and the final report follows at once.
TEST(PrintBudget, MaxevalOneEndsTheRunAfterTheFirstBlock) {
  PrintHarness h(1, 1, 2, 0);
  h.maxeval = 1;
  ScreenCapture screen(h.state.units);
  h.call(1);
  h.set_record(false, 0.25, 3.0, 0.0, 0.0);  // run-best, displayed
  h.set_record(true, 0.75, 4.0, 0.0, 0.0);
  h.x = {0.9, 0.9};
  h.after_solver(-3);
  EXPECT_EQ(h.istop, 1);
  EXPECT_EQ(h.iflag, 0);
  EXPECT_EQ(h.x, (std::vector<double>{0.25, 0.25}));
  EXPECT_EQ(count_of(screen.text(), "BEST SOLUTION FOUND BY KESTRO"), 1);
}

TEST(PrintBudget, MaxevalOneWithoutPrintingLeavesX) {
  PrintHarness h(1, 1, 2, 0);
  h.maxeval = 1;
  h.printeval = 0;
  ScreenCapture screen(h.state.units);
  h.call(1);
  h.set_record(false, 0.25, 3.0, 0.0, 0.0);
  h.x = {0.9, 0.8};
  h.after_solver(-3);
  EXPECT_EQ(h.istop, 1);
  EXPECT_EQ(h.iflag, 0);
  EXPECT_EQ(h.x, (std::vector<double>{0.9, 0.8}));
  EXPECT_EQ(screen.text(), "");
}

// The stop request comes one evaluation early: the call of the solver that
// sees it still books the block it is handed.
TEST(PrintBudget, MaxevalHundredStopsAtEvaluation99) {
  PrintHarness h(1, 1, 2, 0);
  h.maxeval = 100;
  h.printeval = 0;
  h.call(1);
  int stopped_at = 0;
  for (int eval = 1; eval <= 120 && stopped_at == 0; ++eval) {
    h.after_solver(-3);
    if (h.iflag == kStopRequest) stopped_at = eval;
  }
  EXPECT_EQ(stopped_at, 99);
  EXPECT_EQ(h.istop, 0);
}

TEST(PrintBudget, EvaluationLimitOnlyBelow99999999) {
  const struct {
    int maxeval;
    int stop_at;  // 0: never within the calls made
  } cases[] = {{99999998, 99999997}, {99999999, 0}, {2147483647, 0}};
  for (const auto& c : cases) {
    PrintHarness h(1, 1, 2, 0);
    h.maxeval = c.maxeval;
    h.printeval = 0;
    h.call(1);
    h.state.controller.eval = 99999990;  // as if that many calls had passed
    int stopped_at = 0;
    for (int k = 1; k <= 20 && stopped_at == 0; ++k) {
      h.after_solver(-3);
      if (h.iflag == kStopRequest) stopped_at = h.state.controller.eval;
    }
    EXPECT_EQ(stopped_at, c.stop_at) << c.maxeval;
  }
}

TEST(PrintBudget, MaxtimeCountsCpuTimeFromTheStart) {
  const struct {
    const char* name;
    int l, timediv, maxtime;
    double start, later;
    bool stops;
  } cases[] = {
      {"ZeroStopsAtOnce", 1, 0, 0, 5.0, 5.0, true},
      {"JustBelow", 1, 0, 10, 5.0, 14.9, false},
      {"Reached", 1, 0, 10, 5.0, 15.0, true},
      {"DividedByTheBlockSize", 4, 1, 10, 0.0, 40.0, true},
      {"DividedJustBelow", 4, 1, 10, 0.0, 39.9, false},
      {"NotDividedForOtherValues", 4, 2, 10, 0.0, 10.0, true},
  };
  for (const auto& c : cases) {
    PrintHarness h(c.l, 1, 2, 0);
    h.maxtime = c.maxtime;
    h.timediv = c.timediv;
    fake_seconds = c.start;
    h.call(1);
    fake_seconds = c.later;
    h.after_solver(-3);
    EXPECT_EQ(h.iflag == kStopRequest, c.stops) << c.name;
  }
}

// Calls that show nothing take a shorter way than those that print a
// progress line now and then: both count the blocks and stop the run on
// the same call, for the evaluation and the time budget alike.
TEST(PrintBudget, QuietCallsStopWhereShowingOnesDo) {
  const struct {
    const char* name;
    int l, timediv, maxeval, maxtime;
    int stop_at;  // the call that gets the stop request
  } cases[] = {
      {"Evaluations", 1, 0, 50, 1000000, 49},
      {"EvaluationsInBlocks", 4, 0, 50, 1000000, 13},
      {"CpuTime", 1, 0, 100000000, 10, 20},
      {"CpuTimeDividedByTheBlock", 4, 1, 100000000, 10, 80},
  };
  for (const auto& c : cases) {
    for (const int printeval : {0, 1000}) {
      PrintHarness h(c.l, 1, 2, 0);
      h.printeval = printeval;
      h.maxeval = c.maxeval;
      h.maxtime = c.maxtime;
      h.timediv = c.timediv;
      ScreenCapture screen(h.state.units);
      fake_seconds = 0.0;
      h.call(1);
      int stopped_at = 0;
      for (int call = 1; call <= 200 && stopped_at == 0; ++call) {
        fake_seconds = 0.5 * call;
        h.after_solver(-3);
        if (h.iflag == kStopRequest) stopped_at = call;
      }
      EXPECT_EQ(stopped_at, c.stop_at) << c.name << ", printeval " << printeval;
      EXPECT_EQ(h.state.controller.eval, c.l * c.stop_at) << c.name << ", printeval " << printeval;
      EXPECT_EQ(h.istop, 0) << c.name << ", printeval " << printeval;
    }
  }
}

TEST(PrintSchedule, EveryPrintevalEvaluationsAndTheFirstBlock) {
  const struct {
    int l, printeval, calls;
    std::vector<int> evals;
  } cases[] = {
      {1, 1000, 3000, {1, 1000, 2000, 3000}},
      {10, 1000, 300, {10, 1000, 2000, 3000}},
      {3, 2, 4, {3, 6, 9, 12}},
  };
  for (const auto& c : cases) {
    PrintHarness h(c.l, 1, 2, 0);
    h.printeval = c.printeval;
    ScreenCapture screen(h.state.units);
    h.call(1);
    for (int k = 0; k < c.calls; ++k) h.after_solver(-3);
    std::vector<int> evals;
    for (const auto& line : progress_lines(screen.text())) evals.push_back(line.eval);
    EXPECT_EQ(evals, c.evals) << "L " << c.l << ", PRINTEVAL " << c.printeval;
  }
}

// The 32-bit evaluation counter wraps around after 2147483647; the printed
// count is then folded back as -EVAL - 2*PRINTEVAL (in 32-bit arithmetic).
TEST(PrintSchedule, WrappedEvaluationCounterIsFoldedBack) {
  PrintHarness h(1, 1, 2, 0);
  ScreenCapture screen(h.state.units);
  h.call(1);
  h.state.controller.eval = 2147483646;
  h.after_solver(-3);  // EVAL 2147483647
  h.after_solver(-3);  // wraps to -2147483648, folded to 2147483648 - 2
  // Both counts need ten digits, more than the nine positions of the field.
  EXPECT_EQ(count_of(screen.text(), "\n [*********,"), 2);
  EXPECT_EQ(h.state.controller.eval, 2147483646);
}

TEST(PrintSchedule, EndOfTheRunAlwaysPrints) {
  PrintHarness h(1, 1, 2, 0);
  h.printeval = 1000;
  ScreenCapture screen(h.state.units);
  h.call(1);
  h.after_solver(-3);
  h.after_solver(-3);
  h.after_solver(1, 1);
  std::vector<int> evals;
  for (const auto& line : progress_lines(screen.text())) evals.push_back(line.eval);
  EXPECT_EQ(evals, (std::vector<int>{1, 3}));
  EXPECT_EQ(count_of(screen.text(), "BEST SOLUTION FOUND BY KESTRO"), 1);
}

// The run-best record has F 1.0, the global best F 2.0: the line shows
// which one was displayed.
TEST(PrintDisplay, ChoiceOfTheRecord) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* name;
    double run_res, global_res, run_f, global_f;
    int iflag;
    bool global;
  } cases[] = {
      {"RunBestHasTheLargerResidual", 0.5, 0.1, 1.0, 2.0, -3, true},
      {"RunBestHasTheSmallerResidual", 0.1, 0.5, 1.0, 2.0, -3, false},
      {"EqualResidualsSmallerF", 0.0, 0.0, 1.0, 2.0, -3, false},
      {"EqualResidualsLargerF", 0.0, 0.0, 3.0, 2.0, -3, true},
      {"ResidualsNotComparable", nan, 0.0, 1.0, 2.0, -3, false},
      {"AfterAnOuterRestart", 0.0, 0.0, 1.0, 2.0, -300, true},
      {"PatternSearchBlock", 0.0, 0.0, 1.0, 2.0, -500, true},
      {"EndOfTheRun", 0.0, 0.0, 1.0, 2.0, 1, true},
      {"Warning", 0.0, 0.0, 1.0, 2.0, 51, true},
  };
  for (const auto& c : cases) {
    PrintHarness h(1, 1, 2, 1);
    ScreenCapture screen(h.state.units);
    h.call(1);
    h.set_record(false, 0.25, c.run_f, 0.0, c.run_res);
    h.set_record(true, 0.75, c.global_f, 0.0, c.global_res);
    h.after_solver(c.iflag, c.iflag > 0 && c.iflag < 50 ? 1 : 0);
    const auto lines = progress_lines(screen.text());
    ASSERT_FALSE(lines.empty()) << c.name;
    char expected[32];
    std::snprintf(expected, sizeof expected, "%19.8f", c.global ? c.global_f : c.run_f);
    EXPECT_EQ(lines[0].f, expected) << c.name;
  }
}

TEST(PrintFiles, SolutionFileGetsABlockOnlyWhenThePointImproves) {
  ScratchDirectory scratch;
  PrintHarness h(1, 1, 2, 1);
  h.save2file = 1;
  ScreenCapture screen(h.state.units);
  h.call(1);
  const struct {
    double f, res;
    int blocks;  // CURRENT BEST SOLUTION blocks in the file afterwards
  } steps[] = {{5.0, 0.3, 1}, {5.0, 0.3, 1}, {4.0, 0.3, 2}, {9.0, 0.1, 3},
               {1.0, 0.2, 3}, {8.0, 0.1, 4}, {8.0, 0.1, 4}};
  for (const auto& s : steps) {
    h.set_record(false, 0.5, s.f, 0.0, s.res);
    h.set_record(true, 0.5, 100.0, 0.0, 1.0);
    h.after_solver(-3);
    EXPECT_EQ(count_of(read_file("KESTRO_SOLUTION.TXT"), "CURRENT BEST SOLUTION"), s.blocks)
        << s.f << " " << s.res;
  }
  h.after_solver(1, 1);
  EXPECT_FALSE(h.state.units.is_open(36));
  EXPECT_FALSE(h.state.units.is_open(37));
  // The screen file is a copy of the screen.
  EXPECT_EQ(read_file("KESTRO_SCREEN.TXT"), screen.text());
  const std::string solution = read_file("KESTRO_SOLUTION.TXT");
  EXPECT_EQ(solution.rfind("KESTRO - SOLUTION\n", 0), 0u);
  EXPECT_EQ(count_of(solution, "BEST SOLUTION FOUND BY KESTRO"), 1);
}

TEST(PrintFiles, BannersGoToTheScreenAndBothFiles) {
  const struct {
    int iflag;
    const char* banner;
    bool progress_line;
  } cases[] = {
      {9, nullptr, true},
      {51, " *** WARNING ***   ( IFLAG =    51 )", true},
      {101, " *** KESTRO INPUT ERROR ***   ( IFLAG =   101 )", false},
  };
  for (const auto& c : cases) {
    ScratchDirectory scratch;
    PrintHarness h(1, 1, 2, 0);
    h.save2file = 1;
    ScreenCapture screen(h.state.units);
    h.call(1);
    h.after_solver(c.iflag, c.iflag >= 100 ? 1 : 0);
    h.state.units.flush(36);
    h.state.units.flush(37);
    const std::string text = screen.text();
    const int expected = c.banner != nullptr ? 1 : 0;
    const std::string banner = c.banner != nullptr ? c.banner : "***";
    EXPECT_EQ(count_of(text, banner), expected) << c.iflag;
    EXPECT_EQ(count_of(read_file("KESTRO_SCREEN.TXT"), banner), expected) << c.iflag;
    EXPECT_EQ(count_of(read_file("KESTRO_SOLUTION.TXT"), banner), expected) << c.iflag;
    EXPECT_EQ(progress_lines(text).size(), c.progress_line ? 1u : 0u) << c.iflag;
  }
}

// PRINTEVAL = 0: nothing but the banner on the screen, no screen or
// solution file; the history file and the budgets still work.
TEST(PrintFiles, WithoutPrintingOnlyTheHistoryFileIsKept) {
  ScratchDirectory scratch;
  PrintHarness h(2, 1, 2, 0);
  h.printeval = 0;
  h.save2file = 3;
  h.maxeval = 5;
  ScreenCapture screen(h.state.units);
  h.call(1);
  h.after_solver(51);
  h.after_solver(-3);
  EXPECT_EQ(h.iflag, kStopRequest);  // EVAL 4 >= MAXEVAL - 1
  EXPECT_EQ(screen.text(), "\n *** WARNING ***   ( IFLAG =    51 )\n\n");
  EXPECT_EQ(scratch.files(), std::vector<std::string>{"KESTRO_HISTORY.TXT"});
}

TEST(PrintFiles, OtherStagesOnlyKeepTheHistory) {
  ScratchDirectory scratch;
  PrintHarness h(1, 1, 2, 0);
  h.save2file = 5;
  ScreenCapture screen(h.state.units);
  h.call(1);
  const std::string after_start = screen.text();
  h.iflag = -3;
  h.call(3);
  EXPECT_EQ(screen.text(), after_start);
  EXPECT_EQ(h.state.controller.eval, 0);
  EXPECT_EQ(lines_of(read_file("KESTRO_HISTORY.TXT")).size(), 13u + 1);
}

// A new STAGE 1 call starts over: the files get this run's output only and
// the first progress line falls on the first block again.
TEST(PrintFiles, NewRunReplacesTheFiles) {
  ScratchDirectory scratch;
  PrintHarness h(1, 1, 2, 0);
  h.save2file = 1;
  h.printeval = 10;
  ScreenCapture screen(h.state.units);
  h.call(1);
  for (int k = 0; k < 25; ++k) h.after_solver(-3);
  screen.take();
  h.call(1);
  h.after_solver(-3);
  const std::string second_run = screen.take();
  h.state.units.flush(36);
  EXPECT_EQ(read_file("KESTRO_SCREEN.TXT"), second_run);
  ASSERT_EQ(progress_lines(second_run).size(), 1u);
  EXPECT_EQ(progress_lines(second_run)[0].eval, 1);
}

TEST(PrintFiles, SeveralObjectivesKeepTheParetoFile) {
  ScratchDirectory scratch;
  PrintHarness h(1, 2, 2, 1);
  h.save2file = 1;
  ScreenCapture screen(h.state.units);
  h.call(1);
  h.pf[0] = 1.0;  // one entry of the front
  h.set_record(false, 0.25, 1.5, 0.0, 0.0);
  h.set_record(true, 0.75, 9.0, 3.0, 0.0);
  h.after_solver(-3);
  const auto line = lines_of(screen.text()).back();
  EXPECT_EQ(line.substr(20), "]   PRO:          1.50000000   VIO:     0.000000   [     1]");
  const auto front = lines_of(read_file("KESTRO_PARETOFRONT.TXT"));
  ASSERT_EQ(front.size(), 17u);
  EXPECT_EQ(front[8], "         2         1         2         1");
  EXPECT_FALSE(file_exists("KESTRO_PARETOFRONT.tmp"));

  // The final report shows the global best's progress value and objectives.
  h.after_solver(1, 1);
  const std::string text = screen.text();
  EXPECT_EQ(count_of(text, " PROGRESS                   9.000000000000000"), 1);
  // The objective entries are all 3.0, so the sign flag marks a negative one.
  EXPECT_EQ(count_of(text, " F(   1) =                 -3.000000000000000"), 1);
}

// More than 10000 variables, more than 10000 values in a block, and more
// than 10000 constraint entries: every buffer is sized from the problem.
TEST(PrintSafety, LargeProblemsFitTheirBuffers) {
  const struct { int l, o, n, m; } cases[] = {{2, 1, 10001, 0}, {1, 2, 3, 10000}};
  for (const auto& c : cases) {
    ScratchDirectory scratch;
    PrintHarness h(c.l, c.o, c.n, c.m);
    h.save2file = 3;
    Guarded<double> x(h.x.size(), 0.5);
    ScreenCapture screen(h.state.units);
    h.call(1);
    h.set_record(false, 0.25, 1.0, 0.5, 0.0);
    h.set_record(true, 0.75, 2.0, 0.5, 0.0);
    h.after_solver(-3);
    h.after_solver(1, 1);
    EXPECT_EQ(count_of(screen.text(), "BEST SOLUTION FOUND BY KESTRO"), 1);
    const auto history = lines_of(read_file("KESTRO_HISTORY.TXT"));
    ASSERT_GE(history.size(), 14u);
    // Every row holds O + M + N values of 19 characters and one blank.
    EXPECT_EQ(history.back().size(), 19u * (c.o + c.m + c.n) + 1);
  }
}

// The exported entry with sizes that fit nothing together: it must neither
// crash nor touch anything outside the lengths the sizes declare (each array
// here is exactly that long, with guard zones around it).
TEST(PrintSafety, AbsurdSizesDoNotCrash) {
  const struct {
    int l, o, n, m, me;
  } cases[] = {{0, 1, 2, 0, 0},   {1, 0, 2, 1, 0},    {1, -3, 2, 1, 0},
               {1, 1, -5, 2, 0},  {1, 1, 2, -4, 0},   {1, 1, 2, 1, 7},
               {-2, 2, 3, 1, -1}, {2, 3000, 1, 0, 0}, {1, 2, 0, 3, 5}};
  for (const auto& c : cases) {
    ScratchDirectory scratch;
    auto declared = [](long long a, long long b) {
      return static_cast<std::size_t>(a > 0 && b > 0 ? a * b : 0);
    };
    Guarded<double> x(declared(c.l, c.n), 0.5), f(declared(c.l, c.o), 1.0),
        g(declared(c.l, c.m), 0.0), xl(declared(1, c.n), 0.0), xu(declared(1, c.n), 1.0),
        rw(std::max<std::size_t>(16, declared(1, required_lrw(c.l, c.o, c.n, c.m))), 0.0),
        pf(1, 0.0);
    double param[13] = {};
    param[9] = 3e9;  // PARETOMAX beyond the 32-bit range
    int iflag = 0, istop = 0;
    const int printeval = 1, save2file = 3, maxeval = 1, maxtime = 100, timediv = 1, ni = 0;
    ScreenCapture screen(kestro::abi::default_context().report.units);
    for (int stage : {1, 2, 2}) {
      if (stage == 2) iflag = 101;  // the solver refuses such sizes
      kestro_print_(&stage, &printeval, &save2file, &iflag, &istop, f.data(), g.data(), x.data(),
                    xl.data(), xu.data(), &c.o, &c.n, &ni, &c.m, &c.me, rw.data(), pf.data(),
                    &maxeval, &maxtime, param, &c.l, &timediv);
    }
    EXPECT_EQ(istop, 1);
    EXPECT_TRUE(x.guards_intact()) << c.l << " " << c.o << " " << c.n << " " << c.m;
    EXPECT_EQ(count_of(screen.text(), "BEST SOLUTION FOUND BY KESTRO"), 2);
  }
}

// IFLAG 501 says RW is shorter than the solver's layout: the entry then
// reads nothing from it (RW here is exactly as long as the caller made it).
// Also when the call, printing nothing, goes on to the end of the run only
// because MAXEVAL = 1 (ISTOP 0): the budgets replace IFLAG before the final
// values are taken from RW, which stays unread all the same (the sanitizer
// build sees a read past the 50 values).
TEST(PrintSafety, ShortRealWorkspaceIsNotRead) {
  const struct {
    int istop, maxeval, printeval, final_reports;
  } cases[] = {{1, 100000000, 1, 1}, {0, 1, 0, 0}};
  for (const auto& c : cases) {
    ScratchDirectory scratch;
    PrintHarness h(1, 2, 3, 1);
    h.maxeval = c.maxeval;
    h.printeval = c.printeval;
    h.rw.assign(50, 0.0);
    h.rw.shrink_to_fit();
    ScreenCapture screen(h.state.units);
    h.call(1);
    h.after_solver(501, c.istop);
    const std::string text = screen.text();
    EXPECT_EQ(count_of(text, "( IFLAG =   501 )"), 1) << c.istop;
    EXPECT_EQ(count_of(text, "BEST SOLUTION FOUND BY KESTRO"), c.final_reports) << c.istop;
  }
}

}  // namespace
