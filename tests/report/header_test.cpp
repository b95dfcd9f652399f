// The header block of a run, for default and set parameters.
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "abi/default_context.hpp"
#include "abi/internal_routines.h"
#include "interface/context.hpp"
#include "report/header.hpp"
#include "report/report_fixture.hpp"

namespace {

using namespace kestro::testing;
using kestro::report::OutputUnits;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(Header, DefaultParameters) {
  double param[13] = {};
  const int l = 1, o = 1, n = 4, ni = 2, m = 2, me = 1, maxeval = 1000, maxtime = 60,
            printeval = 100, save2file = 1, unit = 0;
  ScreenCapture screen(kestro::abi::default_context().report.units);
  print_head_(&l, &o, &n, &ni, &m, &me, param, &maxeval, &maxtime, &printeval, &save2file, &unit);
  expect_lines(
      lines_of(screen.text()),
      {
          "",
          " KESTRO 6.0    (www.kestrolib.example)",
          " -------------------------------------",
          "",
          " ----------------------------------------",
          " | OBJECTIVES    1 | PARALLEL         1 |",
          " |--------------------------------------|",
          " | N             4 | MAXEVAL       1000 |",
          " | NI            2 | MAXTIME         60 |",
          " | M             2 | PRINTEVAL      100 |",
          " | ME            1 | SAVE2FILE        1 |",
          " |--------------------------------------|",
          " | PARAMETER:    All by default (0)     |",
          " ----------------------------------------",
          "",
          "",
          " [     EVAL,    TIME]        OBJECTIVE FUNCTION VALUE         VIOLATION OF G(X)",
          " ------------------------------------------------------------------------------",
      });
}

// Set parameters are listed in order; a negative one is set, a NaN is not.
TEST(Header, SetParametersAndSeveralObjectives) {
  double param[13] = {};
  param[0] = -1.0;
  param[1] = kNaN;
  param[9] = 50.0;
  param[12] = 1e-300;
  OutputUnits units;
  ScreenCapture screen(units);
  kestro::report::print_head(
      units, 0, {8, 2, 10, 0, 3, 0, kestro::ConstRealView(param, 13), 2147483647, -5, 0, 2});
  expect_lines(
      lines_of(screen.text()),
      {
          "",
          " KESTRO 6.0    (www.kestrolib.example)",
          " -------------------------------------",
          "",
          " ----------------------------------------",
          " | OBJECTIVES    2 | PARALLEL         8 |",
          " |--------------------------------------|",
          " | N            10 | MAXEVAL 2147483647 |",
          " | NI            0 | MAXTIME         -5 |",
          " | M             3 | PRINTEVAL        0 |",
          " | ME            0 | SAVE2FILE        2 |",
          " |--------------------------------------|",
          " | PARAM( 1) -0.1000000E+01 ACCURACY    |",
          " | PARAM(10)  0.5000000E+02 PARETOMAX   |",
          " | PARAM(13)  0.1000000-299 CHARACTER   |",
          " ----------------------------------------",
          "",
          "",
          " [     EVAL,    TIME]   MULTI-OBJECTIVE PROGRESS   VIOLATION OF G(X)",
          " -------------------------------------------------------------------   [PARETO]",
      });
}

TEST(Header, NoProgressHeaderWithoutObjectives) {
  double param[13] = {};
  OutputUnits units;
  ScreenCapture screen(units);
  kestro::report::print_head(units, 0,
                             {1, 0, 1, 0, 0, 0, kestro::ConstRealView(param, 13), 10, 10, 10, 0});
  const auto lines = lines_of(screen.text());
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), " " + repeat('-', 40));
}

}  // namespace
