// The history file's cycle: header on the first call of a cycle, the start
// point on the second, the blocks evaluated since the previous call after
// that, the final point on the last call, and a restart every SAVE2FILE
// calls.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "report/history.hpp"
#include "report/report_fixture.hpp"

namespace {

using namespace kestro::testing;
using kestro::ConstRealView;
using kestro::report::HistoryArguments;
using kestro::report::HistoryState;
using kestro::report::OutputUnits;

const std::vector<std::string> kHeader = {
    "###################################################",
    "### This file contains the history of solutions ###",
    "###################################################",
    "### SOLUTION FORMAT:  F(1:O)  G(1:M)  X(1:N)    ###",
    "###################################################",
    "#",
    "#        O         M         N  ",
    "#",
    "         1         1         2",
    "",
    "#",
    "#        SOLUTION HISTORY (in chronological order)",
    "#",
};

// A data row as the file holds it: F19.7 fields and one closing blank.
std::string row(std::initializer_list<double> values) {
  std::string text;
  char field[64];
  for (double v : values) {
    std::snprintf(field, sizeof field, "%19.7f", v);
    text += field;
  }
  return text + " ";
}

// One caller with L points of N = 2 variables, O = 1, M = 1. Call k hands
// in F = 100k + i and G = -(100k + i) for point i (0-based) and the block X
// with point i = (1000k + 10i + 1, 1000k + 10i + 2).
struct HistoryCaller {
  int save2file, l;
  OutputUnits units;
  HistoryState state;
  std::vector<double> f, g, x;

  HistoryCaller(int s, int points) : save2file(s), l(points) {}

  void call(int k, int iflag, int istop = 0) {
    f.assign(l, 0.0);
    g.assign(l, 0.0);
    x.assign(2 * l, 0.0);
    for (int i = 0; i < l; ++i) {
      f[i] = 100.0 * k + i;
      g[i] = -(100.0 * k + i);
      x[2 * i] = 1000.0 * k + 10 * i + 1;
      x[2 * i + 1] = 1000.0 * k + 10 * i + 2;
    }
    const HistoryArguments a{save2file,
                             l,
                             1,
                             2,
                             1,
                             ConstRealView(f.data(), l),
                             ConstRealView(g.data(), l),
                             ConstRealView(x.data(), 2 * l),
                             39,
                             iflag,
                             istop};
    kestro::report::save_history(units, state, a);
  }

  static std::vector<std::string> file() { return lines_of(read_file("KESTRO_HISTORY.TXT")); }
  static std::vector<std::string> rows() {
    const auto lines = file();
    if (lines.size() < kHeader.size()) return {};
    return std::vector<std::string>(lines.begin() + kHeader.size(), lines.end());
  }
};

TEST(HistoryFile, CycleOfFiveCallsWithBlocksOfTen) {
  ScratchDirectory scratch;
  HistoryCaller c(5, 10);
  c.call(0, 0);  // the start of the run
  expect_lines(c.file(), kHeader);

  c.call(1, -3);  // the start point with its values
  expect_lines(c.rows(), {row({100, -100, 1, 2})});

  c.call(2, -3);
  c.call(3, -3);
  c.call(4, -3);
  const auto rows = c.rows();
  ASSERT_EQ(rows.size(), 1u + 3 * 10);
  // Call 2 brought the values of the points that call 1 handed out.
  EXPECT_EQ(rows[1], row({200, -200, 1001, 1002}));
  EXPECT_EQ(rows[10], row({209, -209, 1091, 1092}));
  EXPECT_EQ(rows[30], row({409, -409, 3091, 3092}));

  c.call(5, -3);  // the cycle restarts: the old file goes, the header comes back
  expect_lines(c.file(), kHeader);
  c.call(6, -3);  // only the first point of the block
  expect_lines(c.rows(), {row({600, -600, 5001, 5002})});
}

TEST(HistoryFile, CycleOfTwoNeverHoldsMoreThanOneRow) {
  ScratchDirectory scratch;
  HistoryCaller c(2, 3);
  c.call(0, 0);
  const std::size_t expected_rows[] = {1, 0, 1, 0, 1};
  for (int k = 1; k <= 5; ++k) {
    c.call(k, -3);
    EXPECT_EQ(c.rows().size(), expected_rows[k - 1]) << "call " << k;
    EXPECT_EQ(c.file().size(), kHeader.size() + expected_rows[k - 1]) << "call " << k;
  }
  expect_lines(c.rows(), {row({500, -500, 4001, 4002})});
}

TEST(HistoryFile, FinalCallWritesTheBestPointForEveryPointOfTheBlock) {
  ScratchDirectory scratch;
  HistoryCaller c(10, 4);
  c.call(0, 0);
  c.call(1, -3);
  c.call(2, 1, /*istop=*/1);  // X(1..2), F(1), G(1): the best point
  const auto rows = c.rows();
  ASSERT_EQ(rows.size(), 1u + 4);
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(rows[i], row({200, -200, 2001, 2002})) << i;
  EXPECT_FALSE(c.units.is_open(39));
}

// F and G of the final call belong to the best point, which the solver put
// into X(1..2); the row pairs them with that X, not with the previous block.
TEST(HistoryFile, FinalCallRightAfterTheStartUsesTheCurrentPoint) {
  ScratchDirectory scratch;
  HistoryCaller c(5, 3);
  c.call(0, 0);
  c.call(1, 2, /*istop=*/1);
  expect_lines(c.rows(), {row({100, -100, 1001, 1002})});
  EXPECT_FALSE(c.units.is_open(39));
}

}  // namespace
