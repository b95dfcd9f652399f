// The C++ API gives the very run of the plain C loop: the same seed and
// options give bit-identical blocks, best points, codes and Pareto fronts,
// whatever the block size and the number of evaluation threads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <stdexcept>

#include "api/raw_loop.hpp"
#include "kestro.hpp"

namespace kestro::testing {
namespace {

bool bit_equal(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// One objective: a shifted sphere with an integer and two constraints, and
// a region (x0 > 2.5) where the model fails (NaN in the C loop, an exception
// through minimize).
struct Case {
  const char* name;
  int objectives, block_size, threads, maxeval;
};

Problem problem_for(int objectives) {
  Problem p;
  p.objectives = objectives;
  p.lower = {-3, -3, 0};
  p.upper = {3, 3, 4};
  p.integers = 1;
  p.constraints = 2;
  p.equalities = 1;
  p.start = {0, 0, 2};
  return p;
}

void model(const double* x, double* f, double* g, int objectives) {
  f[0] = (x[0] - 1) * (x[0] - 1) + (x[1] + 0.5) * (x[1] + 0.5) + 0.2 * x[2];
  if (objectives > 1) f[1] = (x[0] + 1) * (x[0] + 1) + x[1] * x[1] + 0.3 * (4 - x[2]);
  g[0] = x[0] + x[1] + x[2] - 2;
  g[1] = 4 - x[0] * x[0] - x[1] * x[1];
}

bool fails(const double* x) { return x[0] > 2.5; }

RawModel raw_model(int objectives, long long* failures) {
  return [=](const double* x, double* f, double* g) {
    if (fails(x)) {
      ++*failures;
      for (int k = 0; k < objectives; ++k) f[k] = std::numeric_limits<double>::quiet_NaN();
      g[0] = g[1] = std::numeric_limits<double>::quiet_NaN();
      return;
    }
    model(x, f, g, objectives);
  };
}

Function api_model(int objectives) {
  return [=](std::span<const double> x, std::span<double> f, std::span<double> g) {
    if (fails(x.data())) throw std::runtime_error("outside the model's domain");
    model(x.data(), f.data(), g.data(), objectives);
  };
}

Options options_for(const Case& c) {
  Options o;
  o.seed = 17;
  o.block_size = c.block_size;
  o.threads = c.threads;
  o.maxeval = c.maxeval;
  o.evalstop = 0;
  return o;
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class EqualRuns : public ::testing::TestWithParam<Case> {};

TEST_P(EqualRuns, MinimizeMatchesTheCLoopBitForBit) {
  const Case c = GetParam();
  const Problem p = problem_for(c.objectives);
  const Options o = options_for(c);
  long long raw_failures = 0;
  const RawRun raw = raw_loop(p, o, raw_model(c.objectives, &raw_failures));
  ASSERT_GT(raw_failures, 0) << "the case must exercise failed evaluations";

  const Result r = minimize(p, api_model(c.objectives), o);
  EXPECT_TRUE(bit_equal(r.x, raw.x));
  EXPECT_TRUE(bit_equal(r.f, raw.f));
  EXPECT_TRUE(bit_equal(r.g, raw.g));
  EXPECT_EQ(r.iflag, raw.iflag);
  EXPECT_EQ(r.evaluations, raw.evaluations);
  EXPECT_EQ(r.exceptions, raw_failures);
  EXPECT_EQ(r.failed_evaluations, raw_failures);
  EXPECT_FALSE(r.first_exception.empty());
  if (c.objectives > 1) {
    // The front as the C caller reads it from PF.
    const int n = 3, m = 2, oo = c.objectives, cap = 1000;
    const int size = int(raw.pf[0]);
    ASSERT_GT(size, 1);
    ASSERT_EQ(int(r.pareto_store.size()), size);
    for (int j = 0; j < size; ++j) {
      const std::vector<double> f(raw.pf.begin() + 1 + j * oo, raw.pf.begin() + 1 + (j + 1) * oo);
      const std::vector<double> g(raw.pf.begin() + 1 + oo * cap + j * m,
                                  raw.pf.begin() + 1 + oo * cap + (j + 1) * m);
      const std::vector<double> x(raw.pf.begin() + 1 + (oo + m) * cap + j * n,
                                  raw.pf.begin() + 1 + (oo + m) * cap + (j + 1) * n);
      EXPECT_TRUE(bit_equal(r.pareto_store[j].f, f)) << "entry " << j;
      EXPECT_TRUE(bit_equal(r.pareto_store[j].g, g)) << "entry " << j;
      EXPECT_TRUE(bit_equal(r.pareto_store[j].x, x)) << "entry " << j;
    }
  } else {
    EXPECT_TRUE(r.pareto_front.empty());
    EXPECT_TRUE(r.pareto_store.empty());
  }
}

TEST_P(EqualRuns, SolverGivesTheCLoopsBlocks) {
  const Case c = GetParam();
  const Problem p = problem_for(c.objectives);
  const Options o = options_for(c);
  long long raw_failures = 0;
  const RawModel m = raw_model(c.objectives, &raw_failures);
  const RawRun raw = raw_loop(p, o, m);
  const long long failures_in_c_loop = raw_failures;

  Solver s(p, o);
  std::vector<double> f(std::size_t(c.block_size) * c.objectives), g(std::size_t(c.block_size) * 2);
  std::size_t call = 0;
  while (!s.done()) {
    const std::span<const double> x = s.ask();
    for (int i = 0; i < c.block_size; ++i) m(&x[i * 3], &f[i * c.objectives], &g[i * 2]);
    s.tell(f, g);
    ASSERT_LT(call, raw.blocks.size());
    const std::vector<double> block(s.ask().begin(), s.ask().end());
    ASSERT_TRUE(bit_equal(block, raw.blocks[call])) << "block after call " << call;
    ++call;
  }
  EXPECT_EQ(call, raw.blocks.size());
  const Result r = s.result();
  EXPECT_EQ(r.iflag, raw.iflag);
  EXPECT_TRUE(bit_equal(r.x, raw.x));
  EXPECT_EQ(r.failed_evaluations, failures_in_c_loop);
  EXPECT_EQ(raw_failures, 2 * failures_in_c_loop);  // the same points failed in both runs
}

INSTANTIATE_TEST_SUITE_P(Runs, EqualRuns,
                         ::testing::Values(Case{"one_objective_single_points", 1, 1, 3, 3000},
                                           Case{"one_objective_blocks_of_5", 1, 5, 3, 4000},
                                           Case{"two_objectives_single_points", 2, 1, 3, 3000},
                                           Case{"two_objectives_blocks_of_4", 2, 4, 4, 4000}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });

// The stop callback ends the run after the next block, as setting IFLAG
// -999 in the C loop does, and the result is the best point evaluated.
TEST(StopCallback, EndsTheRunWithTheBestPointLikeTheCLoop) {
  Problem p;
  p.lower = {-4, -4, -4};
  p.upper = {4, 4, 4};
  p.start = {3, 3, 3};
  Options o;
  o.seed = 5;
  o.block_size = 3;
  o.threads = 2;
  o.maxeval = 1000000;
  auto f = [](const double* x) {
    return std::pow(x[0] - 0.3, 2) + std::pow(x[1] + 1.1, 2) + std::fabs(x[2] - 2);
  };
  const long long stop_at = 600;
  const RawRun raw = raw_loop(
      p, o, [&](const double* x, double* v, double*) { v[0] = f(x); }, stop_at);

  std::mutex mutex;
  double lowest = std::numeric_limits<double>::infinity();
  long long seen_by_callback = 0;
  const Result r = minimize(
      p,
      [&](std::span<const double> x, std::span<double> v, std::span<double>) {
        v[0] = f(x.data());
        std::lock_guard<std::mutex> lock(mutex);
        lowest = std::min(lowest, v[0]);
      },
      o,
      [&](const Progress& progress) {
        seen_by_callback = progress.evaluations;
        return progress.evaluations >= stop_at;
      });
  EXPECT_EQ(r.iflag, 1) << r.message;
  EXPECT_EQ(r.evaluations, stop_at + o.block_size);
  EXPECT_EQ(seen_by_callback, stop_at);
  EXPECT_EQ(r.f[0], lowest);
  EXPECT_TRUE(bit_equal(r.x, raw.x));
  EXPECT_TRUE(bit_equal(r.f, raw.f));
  EXPECT_EQ(r.iflag, raw.iflag);
  EXPECT_EQ(r.evaluations, raw.evaluations);
}

// With several objectives and long blocks the kernel needs more real
// workspace than the entry's formula; the Solver sizes for both.
TEST(SolverWorkspace, RunsWhereTheEntryFormulaIsTooShortForTheKernel) {
  Problem p;
  p.objectives = 20;
  p.lower = {0, 0};
  p.upper = {1, 1};
  p.start = {0.5, 0.5};
  Options o;
  o.block_size = 200;
  o.maxeval = 1000;
  auto values = [&](const double* x, double* f) {
    for (int k = 0; k < p.objectives; ++k) f[k] = std::pow(x[0] - k / 20.0, 2) + x[1];
  };
  const RawRun raw = raw_loop(p, o, [&](const double* x, double* f, double*) { values(x, f); });
  ASSERT_EQ(raw.iflag, 502) << "the entry formula is expected to be short here";

  const Result r = minimize(
      p,
      [&](std::span<const double> x, std::span<double> f, std::span<double>) {
        values(x.data(), f.data());
      },
      o);
  EXPECT_EQ(r.iflag, 1) << r.message;
  EXPECT_GE(r.evaluations, 1000);
  EXPECT_FALSE(r.pareto_front.empty());
}

}  // namespace
}  // namespace kestro::testing
