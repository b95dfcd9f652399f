// The rules the library gives front ends (workspace lengths, the front's
// capacity, the first call's input checks) agree with what kestro_ does.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "kestro.h"
#include "support/entry_caller.hpp"

namespace kestro::testing {
namespace {

// A two-objective run of `calls` calls with PARETOMAX as given; PF after it.
std::vector<double> front_after(double paretomax, int calls) {
  EntryCaller c(1, 2, 3, 0, 0.5, 7);
  c.param[9] = paretomax;
  auto evaluate = [&] {
    double a = 0, b = 0;
    for (int i = 0; i < c.n; ++i) {
      a += (c.x[i] - 1) * (c.x[i] - 1);
      b += (c.x[i] + 1) * (c.x[i] + 1);
    }
    c.f[0] = a;
    c.f[1] = b;
  };
  evaluate();
  for (int k = 0; k < calls && c.istop == 0; ++k) {
    c.solve();
    evaluate();
  }
  return c.pf;
}

// PARETOMAX is accepted within 1e-4 of a whole number; the front then has
// the capacity of that whole number, so that its blocks lie where the
// reporting entry and the front ends read them.
TEST(FrontCapacity, NearlyWholeParetomaxIsThatWholeNumber) {
  const std::vector<double> whole = front_after(3, 400);
  EXPECT_EQ(whole[0], 3.0);  // the front is full
  for (double nearly : {2.99995, 3.00005, -2.99995}) {
    const std::vector<double> pf = front_after(nearly, 400);
    ASSERT_EQ(pf, whole) << "PARETOMAX " << nearly;
  }
}

TEST(FrontCapacity, ExportedRule) {
  const struct {
    double paretomax;
    int capacity;
  } cases[] = {{0, 1000},      {3, 3},    {-3, 3}, {2.99995, 3},
               {0.5, 0},       {-0.5, 0}, {1, 1},  {std::numeric_limits<double>::quiet_NaN(), 0},
               {1e12, INT_MAX}};
  for (const auto& c : cases)
    EXPECT_EQ(kestro_front_capacity(&c.paretomax), c.capacity) << c.paretomax;
}

// The lengths given to front ends start a run; one value less of PF is
// refused by the entry, and lengths beyond 32 bits are refused by code.
TEST(WorkspaceLengths, StartARunAndAreRefusedBeyond32Bits) {
  for (double paretomax : {0.0, 25.0}) {
    EntryCaller c(4, 2, 5, 2, 0.0, 3);
    c.param[9] = paretomax;
    ASSERT_EQ(kestro_workspace_lengths(&c.l, &c.o, &c.n, &c.m, &paretomax, &c.lrw, &c.liw, &c.lpf),
              0);
    c.rw.assign(c.lrw, 0.0);
    c.iw.assign(c.liw, 0);
    c.pf.assign(c.lpf, 0.0);
    c.solve();
    EXPECT_LT(c.iflag, 0) << "PARETOMAX " << paretomax;
    EntryCaller shorter = c;
    shorter.iflag = shorter.istop = 0;
    --shorter.lpf;
    shorter.solve();
    EXPECT_EQ(shorter.iflag, 344) << "PARETOMAX " << paretomax;
  }
  int lrw = 0, liw = 0, lpf = 0;
  const double none = 0, huge_front = 2e9;
  const int one = 1, two = 2, n = 10, m = 0, big = 30000000;
  EXPECT_EQ(kestro_workspace_lengths(&one, &one, &big, &m, &none, &lrw, &liw, &lpf), 501);
  EXPECT_EQ(kestro_workspace_lengths(&one, &two, &n, &m, &huge_front, &lrw, &liw, &lpf), 344);
}

// Each front-end check gives the code the first call of kestro_ gives, and
// names where the fault lies.
TEST(InputChecks, GiveTheEntrysCodeAndPosition) {
  struct Case {
    std::string name;
    void (*spoil)(EntryCaller&);
    int code, first, second;
  };
  const Case cases[] = {
      {"UpperNaN", [](EntryCaller& c) { c.xu[0] = std::nan(""); }, 203, 1, 0},
      {"StartBelowLower", [](EntryCaller& c) { c.x[1] = -6; }, 204, 2, 0},
      {"IntegerBoundNotWhole", [](EntryCaller& c) { c.xu[3] = 4.5; }, 883, 4, 0},
      {"NegativeEqualities", [](EntryCaller& c) { c.me = -1; }, 106, 0, 0},
      {"EvalstopFraction", [](EntryCaller& c) { c.param[4] = 10.7; }, 348, 5, 0},
      {"NanOracle", [](EntryCaller& c) { c.param[8] = std::nan(""); }, 399, 9, 0},
      {"KernelWithoutAnts", [](EntryCaller& c) { c.param[7] = 3; }, 311, 8, 0},
      {"IntegersEqualUnderCharacter3",
       [](EntryCaller& c) {
         c.param[12] = 3;
         c.x[2] = c.x[3] = 1;
       },
       402, 3, 4},
  };
  for (const Case& k : cases) {
    EntryCaller c(1, 1, 4, 2, 0.0, 1);  // the last variable is an integer
    ASSERT_EQ(c.ni, 1);
    c.ni = 2;  // the last two
    k.spoil(c);
    int first = 0, second = 0, code = 0;
    code = kestro_check_problem(&c.o, &c.n, &c.ni, &c.m, &c.me, c.x.data(), c.xl.data(),
                                c.xu.data(), &first);
    if (code == 0) code = kestro_check_param(c.param, &first);
    if (code == 0)
      code = kestro_check_pairing(&c.o, &c.n, &c.ni, c.x.data(), c.param, &first, &second);
    EXPECT_EQ(code, k.code) << k.name;
    EXPECT_EQ(first, k.first) << k.name;
    EXPECT_EQ(second, k.second) << k.name;
    c.solve();
    EXPECT_EQ(c.iflag, k.code) << k.name << ": the entry";
  }
}

// Every entry read back is a point whose objectives are those of its
// variables: the blocks are read where the library writes them. A PF shorter
// than the capacity needs gives no entries, and entries outside 1 .. count
// copy nothing.
TEST(FrontEntry, ReadsEachEntryWhereTheLibraryWroteIt) {
  const double paretomax = 5;
  const std::vector<double> pf = front_after(paretomax, 400);
  const int o = 2, m = 0, n = 3, lpf = int(pf.size());
  double f[2], x[3];
  const int none = 0;
  const int count =
      kestro_front_entry(&o, &m, &n, pf.data(), &lpf, &paretomax, &none, f, nullptr, x);
  ASSERT_EQ(count, 5);
  for (int j = 1; j <= count; ++j) {
    kestro_front_entry(&o, &m, &n, pf.data(), &lpf, &paretomax, &j, f, nullptr, x);
    double a = 0, b = 0;
    for (double v : x) a += (v - 1) * (v - 1), b += (v + 1) * (v + 1);
    EXPECT_EQ(f[0], a) << "entry " << j;
    EXPECT_EQ(f[1], b) << "entry " << j;
  }
  const int beyond = count + 1;
  f[0] = -7;
  EXPECT_EQ(kestro_front_entry(&o, &m, &n, pf.data(), &lpf, &paretomax, &beyond, f, nullptr, x),
            count);
  EXPECT_EQ(f[0], -7);
  const int shorter = 1 + (o + m + n) * 5 - 1;
  EXPECT_EQ(kestro_front_entry(&o, &m, &n, pf.data(), &shorter, &paretomax, &none, f, nullptr, x),
            0);
}

TEST(PointRules, ResidualAndFailedValue) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    std::vector<double> g;
    int me;
    double residual;
  } residuals[] = {
      {{}, 0, 0},               // no constraints
      {{0.5, -0.25}, 0, 0.25},  // inequalities: only the negative part counts
      {{-0.5, 0.25}, 1, 0.5},   // an equality counts both signs
      {{0.5, 0.25}, 2, 0.75},
      {{1e-5, -1e-5}, 1, 0},  // within the accuracy
      {{nan, -2}, 0, 2},      // NaN adds nothing
      {{3}, 5, 3},            // more equalities than constraints
  };
  const double accuracy = 1e-4;
  for (const auto& c : residuals) {
    const int m = int(c.g.size());
    EXPECT_EQ(kestro_residual(&m, &c.me, c.g.data(), &accuracy), c.residual)
        << "first g " << (c.g.empty() ? 0 : c.g[0]) << ", ME " << c.me;
  }
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    std::vector<double> f, g;
    int position;
  } points[] = {
      {{1, 2}, {0, -1e97}, 0},  // below the large value
      {{1, 1e98}, {0}, 2},      // an objective at the large value
      {{nan, 1e98}, {0}, 1},    // the first failed value is named
      {{-inf}, {inf}, 0},       // minus infinity is a value, plus infinity satisfies g
      {{1}, {0, nan}, 3},       // a constraint: O + j
      {{1}, {-1e98}, 2},
  };
  for (const auto& c : points) {
    const int o = int(c.f.size()), m = int(c.g.size());
    EXPECT_EQ(kestro_failed_value(&o, c.f.data(), &m, c.g.data()), c.position)
        << "f[0] " << c.f[0] << ", O " << o << ", M " << m;
  }
}

}  // namespace
}  // namespace kestro::testing
