// The progress lines of both layouts and the warning and input-error banners.
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "abi/default_context.hpp"
#include "abi/internal_routines.h"
#include "interface/context.hpp"
#include "report/progress.hpp"
#include "report/report_fixture.hpp"

namespace {

using namespace kestro::testing;
using kestro::report::OutputUnits;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(ProgressLine, BothLayoutsAndTheirFieldChoices) {
  const struct {
    const char* name;
    int o, eval;
    double time, f, res;
    int psize;
    const char* expected;
  } cases[] = {
      {"Plain", 1, 1, 0.0, 2.5, 0.0, 0,
       " [        1,    0.00]        F(X):         2.50000000         VIO:     0.000000"},
      {"ObjectiveAtTheLimitOverflows", 1, 20, 1.25, 10000000000.0, 0.0, 0,
       " [       20,    1.25]        F(X):*******************         VIO:     0.000000"},
      {"ObjectiveBeyondTheLimitInExponentForm", 1, 20, 1.25, 10000001000.0, 0.0, 0,
       " [       20,    1.25]        F(X):   0.1000000100E+11         VIO:     0.000000"},
      {"NegativeObjectiveOverflows", 1, 30, 1.25, -5000000000.0, 0.0, 0,
       " [       30,    1.25]        F(X):*******************         VIO:     0.000000"},
      {"ResidualAtTheLimit", 1, 40, 2.0, -1.0, 100000.0, 0,
       " [       40,    2.00]        F(X):        -1.00000000         VIO:100000.000000"},
      {"ResidualBeyondTheLimitWithD", 1, 40, 2.0, -1.0, 100000.1, 0,
       " [       40,    2.00]        F(X):        -1.00000000         VIO: 0.100000D+06"},
      {"NaNValues", 1, 50, 3.0, kNaN, kNaN, 0,
       " [       50,    3.00]        F(X):                NaN         VIO:          NaN"},
      {"InfiniteResiduals", 1, 60, 3.0, -kInf, kInf, 0,
       " [       60,    3.00]        F(X):          -Infinity         VIO:     Infinity"},
      {"NegativeInfiniteResidual", 1, 60, 3.0, kInf, -kInf, 0,
       " [       60,    3.00]        F(X):           Infinity         VIO:    -Infinity"},
      {"LongTime", 1, 999999999, 100000.0, 0.5, 0.5, 0,
       " [999999999,********]        F(X):         0.50000000         VIO:     0.500000"},
      {"SeveralObjectives", 2, 250, 1.5, -3.25, 0.5, 17,
       " [      250,    1.50]   PRO:         -3.25000000   VIO:     0.500000   [    17]"},
      {"SeveralObjectivesLarge", 3, 1000000000, 99999.99, -20000000000.0, 200000.0, -1,
       " [*********,99999.99]   PRO:   -0.2000000000E+11   VIO: 0.200000D+06   [    -1]"},
  };
  for (const auto& c : cases) {
    OutputUnits units;
    ScreenCapture screen(units);
    kestro::report::print_line(units, 0, c.o, c.eval, c.time, c.f, c.res, c.psize);
    EXPECT_EQ(screen.text(), std::string(c.expected) + "\n") << c.name;
    EXPECT_EQ(std::string(c.expected).size(), 79u) << c.name;
  }
}

TEST(ProgressLine, ExportedRoutineWritesToTheGivenUnit) {
  const int o = 1, eval = 7, psize = 0, unit = 0;
  const double time = 0.5, f = 1.0, res = 0.0;
  ScreenCapture screen(kestro::abi::default_context().report.units);
  print_line_(&o, &eval, &time, &f, &res, &psize, &unit);
  EXPECT_EQ(screen.text(),
            " [        7,    0.50]        F(X):         1.00000000         VIO:     0.000000\n");
}

TEST(IflagBanner, WarningAndInputError) {
  const struct {
    int iflag;
    const char* expected;
  } cases[] = {
      {51, "\n *** WARNING ***   ( IFLAG =    51 )\n\n"},
      {92, "\n *** WARNING ***   ( IFLAG =    92 )\n\n"},
      {101, "\n\n\n *** KESTRO INPUT ERROR ***   ( IFLAG =   101 )\n"},
      {883, "\n\n\n *** KESTRO INPUT ERROR ***   ( IFLAG =   883 )\n"},
  };
  for (const auto& c : cases) {
    const int unit = 0;
    ScreenCapture screen(kestro::abi::default_context().report.units);
    warnings_and_errors_(&c.iflag, &unit);
    EXPECT_EQ(screen.text(), c.expected) << c.iflag;
  }
}

}  // namespace
