// Options::runs: K independent runs with consecutive seeds side by side.
// Each is the run of its seed alone, whatever the number of threads; the
// result is the best of them, with several objectives the merged front; a
// run that throws is reported on its own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "kestro.hpp"

namespace kestro::testing {
namespace {

namespace fs = std::filesystem;

bool bit_equal(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

void expect_equal(const Result& a, const Result& b, const std::string& what) {
  EXPECT_TRUE(bit_equal(a.x, b.x)) << what;
  EXPECT_TRUE(bit_equal(a.f, b.f)) << what;
  EXPECT_TRUE(bit_equal(a.g, b.g)) << what;
  EXPECT_EQ(a.iflag, b.iflag) << what;
  EXPECT_EQ(a.evaluations, b.evaluations) << what;
  EXPECT_EQ(a.failed_evaluations, b.failed_evaluations) << what;
  ASSERT_EQ(a.pareto_front.size(), b.pareto_front.size()) << what;
  for (std::size_t j = 0; j < a.pareto_front.size(); ++j)
    EXPECT_TRUE(bit_equal(a.pareto_front[j].x, b.pareto_front[j].x)) << what << " entry " << j;
}

// min (x - 1)^2 + (y + 2)^2 (+ 0.5 k) over a box; with two objectives also
// (x + 1)^2 + y^2, so that the front runs between (1, -2) and (-1, 0).
Problem problem(int objectives, int integers) {
  Problem p;
  p.objectives = objectives;
  p.lower = {-5, -5};
  p.upper = {5, 5};
  if (integers) p.lower.push_back(0), p.upper.push_back(4);
  p.integers = integers;
  return p;
}

void model(std::span<const double> x, std::span<double> f, std::span<double>) {
  f[0] = (x[0] - 1) * (x[0] - 1) + (x[1] + 2) * (x[1] + 2);
  if (x.size() > 2) f[0] += 0.5 * x[2];
  if (f.size() > 1) f[1] = (x[0] + 1) * (x[0] + 1) + x[1] * x[1];
}

struct Case {
  const char* name;
  int objectives, integers, block_size, runs, maxeval;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class IndependentRuns : public ::testing::TestWithParam<Case> {};

TEST_P(IndependentRuns, EveryRunIsItsSeedAloneForOneAndEightThreads) {
  const Case c = GetParam();
  const Problem p = problem(c.objectives, c.integers);
  Options o;
  o.seed = 40;
  o.block_size = c.block_size;
  o.maxeval = c.maxeval;
  o.runs = c.runs;
  o.threads = 1;
  const Result one = minimize(p, model, o);
  o.threads = 8;
  const Result eight = minimize(p, model, o);
  ASSERT_EQ(one.runs.size(), std::size_t(c.runs));
  ASSERT_EQ(eight.runs.size(), std::size_t(c.runs));
  long long evaluations = 0;
  for (int k = 0; k < c.runs; ++k) {
    const std::string what = "run " + std::to_string(k);
    Options alone = o;
    alone.runs = 1;
    alone.threads = 1;
    alone.seed = o.seed + k;
    const Result r = minimize(p, model, alone);
    EXPECT_EQ(one.runs[std::size_t(k)].seed, alone.seed);
    EXPECT_TRUE(one.runs[std::size_t(k)].ok()) << one.runs[std::size_t(k)].error;
    expect_equal(one.runs[std::size_t(k)].result, r, what + " on one thread");
    expect_equal(eight.runs[std::size_t(k)].result, r, what + " on eight threads");
    evaluations += r.evaluations;
  }
  expect_equal(one, eight, "the best");
  EXPECT_EQ(one.best_run, eight.best_run);
  EXPECT_EQ(one.evaluations, evaluations);
}

INSTANTIATE_TEST_SUITE_P(Runs, IndependentRuns,
                         ::testing::Values(Case{"one_objective", 1, 0, 1, 5, 400},
                                           Case{"one_objective_blocks_integers", 1, 1, 4, 3, 600},
                                           Case{"two_objectives_blocks", 2, 0, 3, 4, 900}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });

// One objective: the best run is the one with the lowest F (the first of
// equal ones), and it is near the known optimum (1, -2).
TEST(IndependentRuns, TheBestOfOneObjectiveIsTheLowestRun) {
  Options o;
  o.seed = 1;
  o.maxeval = 150;  // short runs, so that they end at different points
  o.runs = 6;
  o.threads = 3;
  const Result r = minimize(problem(1, 0), model, o);
  int lowest = 0;
  for (int k = 1; k < 6; ++k)
    if (r.runs[std::size_t(k)].result.f[0] < r.runs[std::size_t(lowest)].result.f[0]) lowest = k;
  EXPECT_EQ(r.best_run, lowest);
  const Result& best = r.runs[std::size_t(lowest)].result;
  EXPECT_TRUE(bit_equal(r.x, best.x));
  EXPECT_TRUE(bit_equal(r.f, best.f));
  EXPECT_EQ(r.iflag, best.iflag);
  bool differ = false;
  for (const RunOutcome& run : r.runs) differ = differ || run.result.f[0] != r.f[0];
  EXPECT_TRUE(differ) << "the runs should end at different points";
  EXPECT_NEAR(r.x[0], 1, 0.05);
  EXPECT_NEAR(r.x[1], -2, 0.05);
}

// Two objectives: the merged front holds no dominated entry, covers every
// run's front, and lies on the known front, that of the segment from
// (1, -2) to (-1, 0), from one end to the other.
TEST(IndependentRuns, TheMergedFrontIsTheNonDominatedUnion) {
  Options o;
  o.seed = 9;
  o.maxeval = 3000;
  o.runs = 3;
  o.threads = 3;
  const Result r = minimize(problem(2, 0), model, o);
  ASSERT_GT(r.pareto_front.size(), 10u);
  auto dominates = [](const std::vector<double>& a, const std::vector<double>& b) {
    return a[0] <= b[0] && a[1] <= b[1] && (a[0] < b[0] || a[1] < b[1]);
  };
  std::size_t entries = 0;
  for (const RunOutcome& run : r.runs) {
    entries += run.result.pareto_front.size();
    for (const ParetoPoint& e : run.result.pareto_front) {
      bool covered = false;
      for (const ParetoPoint& q : r.pareto_front)
        covered = covered || q.f == e.f || dominates(q.f, e.f);
      EXPECT_TRUE(covered) << "an entry of a run is neither kept nor dominated";
    }
  }
  EXPECT_LT(r.pareto_front.size(), entries) << "the union should lose dominated entries";
  double lowest[2] = {1e300, 1e300};
  for (const ParetoPoint& e : r.pareto_front) {
    for (const ParetoPoint& q : r.pareto_front) EXPECT_FALSE(dominates(q.f, e.f));
    bool from_a_run = false;
    for (const RunOutcome& run : r.runs)
      for (const ParetoPoint& q : run.result.pareto_front) from_a_run = from_a_run || q.x == e.x;
    EXPECT_TRUE(from_a_run);
    // Off the front sqrt(f1) + sqrt(f2), the distances to its two ends, is
    // longer than the segment, sqrt(8).
    EXPECT_LT(std::sqrt(e.f[0]) + std::sqrt(e.f[1]), std::sqrt(8.0) + 0.15);
    lowest[0] = std::min(lowest[0], e.f[0]);
    lowest[1] = std::min(lowest[1], e.f[1]);
  }
  // Both ends are reached.
  EXPECT_LT(lowest[0], 0.05);
  EXPECT_LT(lowest[1], 0.05);
}

// A run that throws (here its stop callback) is reported in its outcome; the
// others go on and give the result. When every run throws, minimize throws.
TEST(IndependentRuns, ARunThatThrowsIsReportedOnItsOwn) {
  Options o;
  o.seed = 3;
  o.maxeval = 300;
  o.runs = 4;
  o.threads = 2;
  const Result r = minimize(problem(1, 0), model, o, [](const Progress& p) -> bool {
    if (p.run == 2 && p.evaluations >= 50) throw std::runtime_error("run 2 gives up");
    return false;
  });
  ASSERT_EQ(r.runs.size(), 4u);
  EXPECT_FALSE(r.runs[2].ok());
  EXPECT_EQ(r.runs[2].error, "run 2 gives up");
  EXPECT_TRUE(r.runs[2].result.x.empty());
  EXPECT_NE(r.best_run, 2);
  long long evaluations = 0;
  for (int k : {0, 1, 3}) {
    EXPECT_TRUE(r.runs[std::size_t(k)].ok());
    evaluations += r.runs[std::size_t(k)].result.evaluations;
  }
  EXPECT_EQ(r.evaluations, evaluations);

  try {
    minimize(problem(1, 0), model, o, [](const Progress& p) -> bool {
      throw std::runtime_error("run " + std::to_string(p.run) + " gives up");
    });
    FAIL() << "no run ended, yet minimize returned";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "run 0 gives up");
  }
}

// The stop callback ends the run it is called for.
TEST(IndependentRuns, TheStopCallbackEndsItsOwnRun) {
  Options o;
  o.seed = 3;
  o.maxeval = 400;
  o.runs = 3;
  o.threads = 3;
  const Result r = minimize(problem(1, 0), model, o,
                            [](const Progress& p) { return p.run == 1 && p.evaluations >= 40; });
  EXPECT_EQ(r.runs[1].result.evaluations, 41);
  EXPECT_GT(r.runs[0].result.evaluations, 41);
  EXPECT_GT(r.runs[2].result.evaluations, 41);
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Each run writes its report files with its own prefix, the files the run
// of its seed writes alone.
TEST(IndependentRuns, EveryRunWritesItsOwnReportFiles) {
  const fs::path dir = fs::temp_directory_path() / ("kestro_runs_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  Options o;
  o.seed = 5;
  o.block_size = 2;
  o.maxeval = 200;
  o.runs = 3;
  o.threads = 3;
  o.save2file = 1000000;
  o.output_dir = (dir / "together").string();
  o.output_prefix = "p_";
  minimize(problem(1, 0), model, o);
  for (int k = 0; k < 3; ++k) {
    Options alone = o;
    alone.runs = 1;
    alone.seed = o.seed + k;
    alone.output_dir = (dir / std::to_string(k)).string();
    alone.output_prefix.clear();
    minimize(problem(1, 0), model, alone);
    const std::string own =
        read_file(dir / "together" / ("p_run" + std::to_string(k) + "_KESTRO_HISTORY.TXT"));
    EXPECT_FALSE(own.empty()) << "run " << k;
    EXPECT_EQ(own, read_file(dir / std::to_string(k) / "KESTRO_HISTORY.TXT")) << "run " << k;
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kestro::testing
