// The history of the best point in kestro::Result and the progress handed to
// the per-block callback: what a progress display and a convergence plot
// need, consistent with the result, with the threads and with a resumed run,
// and bounded in memory however often the best point improves.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string>

#include "kestro.hpp"

namespace kestro::testing {
namespace {

// Starts infeasible (x0 + x1 >= 1 is violated at the start (-4, -4)); the
// optimum is f = 0.5 at (0.5, 0.5). Points with x0 > 4 fail.
Problem constrained() {
  Problem p;
  p.lower = {-5, -5};
  p.upper = {5, 5};
  p.constraints = 1;
  p.start = {-4, -4};
  return p;
}

void model(std::span<const double> x, std::span<double> f, std::span<double> g) {
  if (x[0] > 4) throw std::runtime_error("no value");
  f[0] = x[0] * x[0] + x[1] * x[1];
  if (f.size() > 1) f[1] = (x[0] - 2) * (x[0] - 2) + (x[1] - 1) * (x[1] - 1);
  g[0] = x[0] + x[1] - 1;
}

Options options(int block_size, int threads) {
  Options o;
  o.seed = 5;
  o.block_size = block_size;
  o.threads = threads;
  o.maxeval = 4000;
  return o;
}

void expect_improving(const std::vector<HistoryEntry>& h) {
  for (std::size_t i = 0; i < h.size(); ++i) EXPECT_GE(h[i].residual, 0) << "entry " << i;
  for (std::size_t i = 1; i < h.size(); ++i) {
    EXPECT_GT(h[i].evaluations, h[i - 1].evaluations) << "entry " << i;
    EXPECT_TRUE(h[i].residual < h[i - 1].residual ||
                (h[i].residual == h[i - 1].residual && h[i].f < h[i - 1].f))
        << "entry " << i;
  }
}

TEST(History, TracesTheBestPointAndFeedsTheCallback) {
  for (const int objectives : {1, 2}) {
    SCOPED_TRACE(objectives);
    Problem p = constrained();
    p.objectives = objectives;
    std::vector<Progress> seen;
    const Result r = minimize(p, model, options(4, 1), [&](const Progress& progress) {
      seen.push_back(progress);
      return false;
    });
    const std::vector<HistoryEntry>& h = r.history;
    ASSERT_GE(h.size(), 3u);
    EXPECT_EQ(h.front().evaluations, 4);  // the start block
    EXPECT_GT(h.front().residual, 0);     // infeasible start
    EXPECT_EQ(h.back().residual, 0);
    EXPECT_LE(h.back().evaluations, r.evaluations);
    expect_improving(h);
    if (objectives == 1) {
      EXPECT_EQ(h.back().f, r.f[0]);
      for (const HistoryEntry& e : h) EXPECT_EQ(e.front_size, 0);
    } else {
      EXPECT_GT(h.back().front_size, 0);
    }

    // After each block the callback sees the counts and the best point as
    // the history has it then; the failures are counted as they happen.
    ASSERT_EQ(seen.size(), std::size_t(r.evaluations / 4 - 1));
    std::size_t row = 0;
    long long failed = 0;
    for (const Progress& s : seen) {
      while (row + 1 < h.size() && h[row + 1].evaluations <= s.evaluations) ++row;
      EXPECT_EQ(s.best_f, h[row].f) << s.evaluations;
      EXPECT_EQ(s.residual, h[row].residual) << s.evaluations;
      EXPECT_GE(s.failed_evaluations, failed);
      failed = s.failed_evaluations;
    }
    EXPECT_GT(r.failed_evaluations, 0);
    EXPECT_LE(seen.back().failed_evaluations, r.failed_evaluations);  // before the last block
    if (objectives > 1) {
      EXPECT_GT(seen.back().front_size, 0);
    }
  }
}

TEST(History, TheSameOnAnyNumberOfThreads) {
  const Result one = minimize(constrained(), model, options(6, 1));
  const Result three = minimize(constrained(), model, options(6, 3));
  ASSERT_EQ(one.history.size(), three.history.size());
  for (std::size_t i = 0; i < one.history.size(); ++i) {
    EXPECT_EQ(one.history[i].evaluations, three.history[i].evaluations);
    EXPECT_EQ(one.history[i].f, three.history[i].f);
    EXPECT_EQ(one.history[i].residual, three.history[i].residual);
  }
}

void expect_same(const std::vector<HistoryEntry>& a, const std::vector<HistoryEntry>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].evaluations, b[i].evaluations) << "entry " << i;
    EXPECT_EQ(a[i].f, b[i].f) << "entry " << i;
    EXPECT_EQ(a[i].residual, b[i].residual) << "entry " << i;
    EXPECT_EQ(a[i].front_size, b[i].front_size) << "entry " << i;
  }
}

TEST(History, EveryRunOfSeveralHasItsOwn) {
  // runs = 3: each run's history is that of its seed run alone, the
  // combined result's is the best run's, and the callback's progress is
  // that of the run it names.
  Options o = options(4, 3);
  o.runs = 3;
  o.maxeval = 1000;
  std::vector<std::vector<Progress>> seen(3);
  const Result r = minimize(constrained(), model, o, [&](const Progress& p) {
    seen.at(std::size_t(p.run)).push_back(p);
    return false;
  });
  ASSERT_EQ(r.runs.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    Options alone = options(4, 1);
    alone.maxeval = 1000;
    alone.seed = o.seed + k;
    const Result own = minimize(constrained(), model, alone);
    ASSERT_TRUE(r.runs[std::size_t(k)].ok());
    expect_same(r.runs[std::size_t(k)].result.history, own.history);
    const std::vector<Progress>& s = seen[std::size_t(k)];
    ASSERT_FALSE(s.empty());
    EXPECT_EQ(s.back().evaluations, own.evaluations - 4);  // not after the last block
    const HistoryEntry* at = nullptr;
    for (const HistoryEntry& e : own.history)
      if (e.evaluations <= s.back().evaluations) at = &e;
    ASSERT_NE(at, nullptr);
    EXPECT_EQ(s.back().best_f, at->f);
  }
  expect_same(r.history, r.runs[std::size_t(r.best_run)].result.history);
}

TEST(History, AResumedRunStartsItsHistoryWhereItResumes) {
  const std::string path = ::testing::TempDir() + "kestro_history_checkpoint.bin";
  const Options o = options(4, 1);
  std::vector<double> f(4), g(4);
  auto evaluate = [&](Solver& s) {
    const std::span<const double> x = s.ask();
    for (int i = 0; i < 4; ++i) {
      try {
        model(x.subspan(std::size_t(i) * 2, 2), std::span<double>(&f[i], 1),
              std::span<double>(&g[i], 1));
      } catch (const std::runtime_error&) {
        f[i] = g[i] = std::numeric_limits<double>::quiet_NaN();
      }
    }
    s.tell(f, g);
  };
  const Problem p = constrained();
  std::vector<HistoryEntry> whole;
  {
    Solver s(p, o);
    while (!s.done()) evaluate(s);
    whole = s.history();
  }
  {
    Solver s(p, o);
    while (s.evaluations() < 2000) evaluate(s);
    s.save(path);
  }
  Solver resumed(p, o, path);
  std::remove(path.c_str());
  evaluate(resumed);
  ASSERT_EQ(resumed.history().size(), 1u);
  EXPECT_EQ(resumed.history()[0].evaluations, 2004);
  while (!resumed.done()) evaluate(resumed);
  // From there on the entries are those of the whole run.
  std::size_t k = 0;
  while (whole[k].evaluations <= 2004) ++k;
  ASSERT_EQ(resumed.history().size(), whole.size() - k + 1);
  for (std::size_t i = 1; i < resumed.history().size(); ++i)
    EXPECT_EQ(resumed.history()[i].f, whole[k + i - 1].f);
}

TEST(History, StaysBoundedWhenEveryBlockImproves) {
  // Every evaluation is better than all before it: one entry per block, the
  // last one the result's, also when the budget's stop request falls on a
  // block of a pattern search (whose records are not the best point's).
  Problem p;
  p.lower = {0};
  p.upper = {1};
  Options o;
  o.maxeval = int(Solver::kHistoryLimit) * 2 + 1000;
  double next = 0;
  const Result r = minimize(
      p,
      [&](std::span<const double>, std::span<double> f, std::span<double>) {
        f[0] = next;
        next -= 1;
      },
      o);
  const std::vector<HistoryEntry>& h = r.history;
  EXPECT_LE(h.size(), Solver::kHistoryLimit);
  EXPECT_GE(h.size(), Solver::kHistoryLimit / 2);
  EXPECT_EQ(h.front().evaluations, 1);
  EXPECT_GT(h.back().evaluations, r.evaluations - 100);
  EXPECT_EQ(h.back().f, r.f[0]);
  expect_improving(h);
}

}  // namespace
}  // namespace kestro::testing
