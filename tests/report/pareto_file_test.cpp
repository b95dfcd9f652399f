// The Pareto-front file, written from a PF array filled here.
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "abi/internal_routines.h"
#include "report/pareto_file.hpp"
#include "report/report_fixture.hpp"

namespace {

using namespace kestro::testing;

// O = 2, M = 1, N = 3, capacity 4, two entries; unused slots hold 777.
std::vector<double> front_of_two() {
  std::vector<double> pf(1 + 4 * (2 + 1 + 3), 777.0);
  pf[0] = 2.0;
  const double objectives[] = {1.0, 2.0, 3.0, 1e9};
  for (int k = 0; k < 4; ++k) pf[1 + k] = objectives[k];
  pf[1 + 2 * 4 + 0] = 0.5;  // constraints after O*PMAX objectives
  pf[1 + 2 * 4 + 1] = -0.25;
  const double variables[] = {0.1, 0.2, 0.3, 1.5, -2.5, 999999999.5};
  for (int k = 0; k < 6; ++k) pf[1 + 3 * 4 + k] = variables[k];
  return pf;
}

TEST(ParetoFile, DisplayedPointAndEveryEntry) {
  ScratchDirectory scratch;
  write_file("KESTRO_PARETOFRONT.TXT", "an older front\n");
  const std::vector<double> pf = front_of_two();
  // The displayed point: G(1) = 0.5, magnitudes 1 and 2, the first negative.
  const std::vector<double> x = {0.1, 0.2, 0.3}, g = {0.5, 1.0, 2.0, 1.0, 0.0};
  const int o = 2, m = 1, n = 3, pmax = 4, unit = 38;
  print_paretofront_(&o, &m, &n, pf.data(), x.data(), g.data(), &pmax, &unit);
  expect_lines(lines_of(read_file("KESTRO_PARETOFRONT.TXT")),
               {
                   "#########################################################",
                   "### This file contains the pareto front approximation ###",
                   "#########################################################",
                   "### Solution format:     F(1:O)    G(1:M)    X(1:N)   ###",
                   "#########################################################",
                   "#",
                   "#        O         M         N     PSIZE",
                   "#",
                   "         2         1         3         2",
                   "#",
                   "#        KESTRO solution",
                   "#",
                   "         -1.0000000          2.0000000          0.5000000          0.1000000   "
                   "       0.2000000          0.3000000",
                   "#",
                   "#        All non-dominated solutions found by KESTRO",
                   "#",
                   "          1.0000000          2.0000000          0.5000000          0.1000000   "
                   "       0.2000000          0.3000000 ",
                   "          3.0000000     0.10000E+10         -0.2500000          1.5000000      "
                   "   -2.5000000  999999999.5000000 ",
               });
  EXPECT_EQ(scratch.files(), std::vector<std::string>{"KESTRO_PARETOFRONT.TXT"});
}

TEST(ParetoFile, EmptyFrontEndsWithTheTitleOfTheEntries) {
  ScratchDirectory scratch;
  const std::vector<double> pf(1 + 1000 * 6, 0.0);
  const std::vector<double> x = {1, 2, 3}, g = {0, 0, 0, 0, 0};
  const int o = 2, m = 1, n = 3, pmax = 1000, unit = 38;
  print_paretofront_(&o, &m, &n, pf.data(), x.data(), g.data(), &pmax, &unit);
  const auto lines = lines_of(read_file("KESTRO_PARETOFRONT.TXT"));
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[8], "         2         1         3         0");
  EXPECT_EQ(lines[15], "#");
  EXPECT_EQ(lines[14], "#        All non-dominated solutions found by KESTRO");
}

// A PSIZE beyond the capacity, or NaN, never makes the writer read past the
// PF layout of PMAX entries.
TEST(ParetoFile, EntriesNeverReadBeyondTheCapacity) {
  ScratchDirectory scratch;
  const double sizes[] = {9.0, -3.0, std::numeric_limits<double>::quiet_NaN()};
  const int expected_rows[] = {4, 0, 0};
  for (int c = 0; c < 3; ++c) {
    std::vector<double> pf(1 + 4 * 6, 0.5);  // exactly the layout's length
    pf[0] = sizes[c];
    const std::vector<double> x = {1, 2, 3}, g = {0, 0, 0, 0, 0};
    const int o = 2, m = 1, n = 3, pmax = 4, unit = 38;
    print_paretofront_(&o, &m, &n, pf.data(), x.data(), g.data(), &pmax, &unit);
    const auto lines = lines_of(read_file("KESTRO_PARETOFRONT.TXT"));
    EXPECT_EQ(static_cast<int>(lines.size()), 16 + expected_rows[c]) << sizes[c];
  }
}

}  // namespace
