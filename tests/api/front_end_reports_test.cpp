// What kestro.hpp reports beyond the library's codes and what it refuses or
// warns about: the raw violation of the best point, why a run ended, the
// non-dominated front, the early end of a model that always fails, the
// block size that follows the threads, a checkpoint of another problem, the
// wall-clock budget and the screen stream.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <thread>

#include <unistd.h>

#include "kestro.hpp"

namespace kestro::testing {
namespace {

// minimise x0 + x1 subject to x0 + x1 >= 1 (the optimum lies on the
// constraint, where the default accuracy lets it sink below by 0.001).
Problem on_the_constraint() {
  Problem p;
  p.lower = {0, 0};
  p.upper = {3, 3};
  p.constraints = 1;
  return p;
}

void sum_above_one(std::span<const double> x, std::span<double> f, std::span<double> g) {
  f[0] = x[0] + x[1];
  g[0] = x[0] + x[1] - 1;
}

std::string read_all(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
    text.append(buffer, got);
  return text;
}

TEST(FrontEndReports, RawViolationOfTheBestPoint) {
  Options o;
  o.seed = 2;
  o.maxeval = 4000;
  const Result r = minimize(on_the_constraint(), sum_above_one, o);
  // Within the default tolerance, hence feasible with residual 0, yet the
  // constraint is violated: the raw value says by how much and where.
  ASSERT_TRUE(r.feasible);
  EXPECT_EQ(r.residual, 0.0);
  ASSERT_LT(r.g[0], 0.0);
  EXPECT_EQ(r.max_violation, -r.g[0]);
  EXPECT_EQ(r.max_violation_index, 0);

  o.accuracy = 1e-9;  // a tighter tolerance keeps the point on the right side
  const Result tight = minimize(on_the_constraint(), sum_above_one, o);
  EXPECT_LE(tight.max_violation, 1e-9);
  EXPECT_GT(tight.f[0], r.f[0]);
}

TEST(FrontEndReports, LargestViolationOfEqualitiesAndInequalities) {
  struct Case {
    std::vector<double> g;
    int me;
    double worst;
    int index;
  } cases[] = {
      {{}, 0, 0, -1},
      {{0.5, 2.0}, 0, 0, -1},            // inequalities met
      {{-0.25, -0.5, 3}, 0, 0.5, 1},     // the largest -g
      {{-0.25, 0.1, -0.2}, 2, 0.25, 0},  // |g| of an equality counts
      {{0.3, -0.2}, 1, 0.3, 0},          // a positive equality violates too
  };
  for (const Case& c : cases) {
    const std::pair<double, int> v = detail::largest_violation(c.g, c.me);
    EXPECT_EQ(v.first, c.worst);
    EXPECT_EQ(v.second, c.index);
  }
}

TEST(FrontEndReports, WhyTheRunEnded) {
  const Problem p = on_the_constraint();
  Options o;
  o.seed = 1;
  o.maxeval = 500;
  Result r = minimize(p, sum_above_one, o);
  EXPECT_EQ(r.iflag, 1);
  EXPECT_EQ(r.message, iflag_text(1));  // the code's meaning stays as it was
  EXPECT_EQ(r.stop_cause, StopCause::evaluations);
  EXPECT_NE(r.reason.find("evaluation budget"), std::string::npos) << r.reason;
  EXPECT_NE(r.reason.find("maxeval = 500"), std::string::npos) << r.reason;

  o.maxeval = 100000;
  r = minimize(p, sum_above_one, o, [](const Progress& s) { return s.evaluations >= 50; });
  EXPECT_EQ(r.stop_cause, StopCause::callback);
  EXPECT_NE(r.reason.find("callback"), std::string::npos) << r.reason;

  {
    Solver solver(p, o);
    std::vector<double> f(1), g(1);
    for (int block = 0; !solver.done(); ++block) {
      const std::span<const double> x = solver.ask();
      sum_above_one(x, f, g);
      solver.tell(f, g);
      if (block == 5) solver.stop();
    }
    const Result s = solver.result();
    EXPECT_EQ(s.stop_cause, StopCause::request);
    EXPECT_NE(s.reason.find("stopped by the caller"), std::string::npos) << s.reason;
  }

  // A wall-clock budget ends a run whose model waits without using the CPU.
  o.maxwalltime = 0.3;
  const auto start = std::chrono::steady_clock::now();
  r = minimize(
      p,
      [](std::span<const double> x, std::span<double> f, std::span<double> g) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        sum_above_one(x, f, g);
      },
      o);
  const double took =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(r.stop_cause, StopCause::wall_time);
  EXPECT_NE(r.reason.find("wall-clock budget"), std::string::npos) << r.reason;
  EXPECT_LT(took, 5.0);
  EXPECT_LT(r.evaluations, 100);

  // A spent CPU-time budget.
  o.maxwalltime = 0;
  o.maxtime = 1;
  r = minimize(
      p,
      [](std::span<const double> x, std::span<double> f, std::span<double> g) {
        volatile double s = 0;
        for (int i = 0; i < 2000000; ++i) s = s + 1e-9 * i;
        sum_above_one(x, f, g);
      },
      o);
  EXPECT_EQ(r.stop_cause, StopCause::cpu_time);
  EXPECT_NE(r.reason.find("CPU-time budget"), std::string::npos) << r.reason;

  // A run the library ends itself keeps the code's meaning.
  o.maxtime = std::numeric_limits<int>::max();
  o.fstop = 1.5;
  r = minimize(p, sum_above_one, o);
  EXPECT_EQ(r.iflag, 7);
  EXPECT_EQ(r.stop_cause, StopCause::none);
  EXPECT_EQ(r.reason, iflag_text(7));
}

TEST(FrontEndReports, NonDominatedSubsetOfAStore) {
  auto entry = [](double f0, double f1, double g) { return ParetoPoint{{f0, f1}, {g}, {0}}; };
  const std::vector<ParetoPoint> store = {
      entry(1, 5, 0),        // kept
      entry(2, 4, 0),        // kept
      entry(2.1, 4.1, 0),    // dominated by (2, 4)
      entry(3, 1, 0),        // kept
      entry(0.5, 0.5, -1),   // infeasible: dominated by every feasible entry
      entry(3, 1, 0),        // equal to a kept one: neither dominates
      entry(1, 5.0001, 0.5)  // dominated by (1, 5)
  };
  const std::vector<ParetoPoint> front = detail::non_dominated(store, 0, 0.001);
  ASSERT_EQ(front.size(), 4u);
  EXPECT_EQ(front[0].f, store[0].f);
  EXPECT_EQ(front[1].f, store[1].f);
  EXPECT_EQ(front[2].f, store[3].f);
  EXPECT_EQ(front[3].f, store[5].f);
}

// Two objectives of different scale on a constrained problem: the library's
// store holds entries that others dominate within its tolerance.
TEST(FrontEndReports, ReturnedFrontIsNonDominated) {
  Problem p;
  p.objectives = 2;
  p.lower = {0.1, 0.1, 0};
  p.upper = {5, 5, 4};
  p.integers = 1;
  p.constraints = 1;
  Options o;
  o.seed = 3;
  o.maxeval = 20000;
  o.block_size = 4;
  const Result r = minimize(
      p,
      [](std::span<const double> x, std::span<double> f, std::span<double> g) {
        f[0] = 1000 * (x[0] * x[1] + x[2]);
        f[1] = 1e6 / (x[0] + x[1] + 0.5 * x[2]);
        g[0] = 8 - x[0] - x[1] - x[2];
      },
      o);
  ASSERT_GT(r.pareto_front.size(), 1u);
  ASSERT_GE(r.pareto_store.size(), r.pareto_front.size());
  auto dominates = [](const ParetoPoint& a, const ParetoPoint& b) {
    return a.f[0] <= b.f[0] && a.f[1] <= b.f[1] && (a.f[0] < b.f[0] || a.f[1] < b.f[1]);
  };
  for (const ParetoPoint& a : r.pareto_front)
    for (const ParetoPoint& b : r.pareto_front) EXPECT_FALSE(dominates(a, b));
  // Every dropped entry of the store is dominated by a returned one.
  std::size_t dropped = 0;
  for (const ParetoPoint& s : r.pareto_store) {
    bool returned = false, beaten = false;
    for (const ParetoPoint& a : r.pareto_front) {
      returned = returned || (a.x == s.x && a.f == s.f);
      beaten = beaten || dominates(a, s);
    }
    if (!returned) {
      ++dropped;
      EXPECT_TRUE(beaten);
    }
  }
  EXPECT_EQ(dropped, r.pareto_store.size() - r.pareto_front.size());
  EXPECT_GT(dropped, 0u);  // this run's store does hold dominated entries
}

TEST(FrontEndReports, ModelThatAlwaysFailsEndsEarly) {
  const Problem p = on_the_constraint();
  struct Case {
    int block_size;
    long long expected_evaluations;  // the first block and at least 10
  } cases[] = {{1, 10}, {4, 12}, {16, 16}};
  for (const Case& c : cases) {
    Options o;
    o.block_size = c.block_size;
    o.threads = 2;
    o.maxeval = 2000;
    std::atomic<long long> calls{0};
    try {
      minimize(
          p,
          [&](std::span<const double>, std::span<double>, std::span<double>) {
            ++calls;
            throw std::runtime_error("licence server unreachable");
          },
          o);
      ADD_FAILURE() << "no EvaluationError with block_size " << c.block_size;
    } catch (const EvaluationError& e) {
      EXPECT_EQ(e.evaluations(), c.expected_evaluations);
      EXPECT_EQ(calls.load(), c.expected_evaluations);
      EXPECT_EQ(e.first_failure(), "licence server unreachable");
      EXPECT_NE(std::string(e.what()).find("licence server unreachable"), std::string::npos);
    }
  }

  // NaN values are failures too; the message names the value.
  Options o;
  o.maxeval = 2000;
  try {
    minimize(
        p,
        [](std::span<const double>, std::span<double> f, std::span<double> g) {
          f[0] = 1;
          g[0] = std::numeric_limits<double>::quiet_NaN();
        },
        o);
    ADD_FAILURE() << "no EvaluationError for NaN";
  } catch (const EvaluationError& e) {
    EXPECT_EQ(e.first_failure(), "constraint 0 is nan");
  }

  // Turned off, the run spends its budget; a model that fails only at first
  // is not stopped either.
  o.fail_fast = false;
  o.maxeval = 200;
  Result r = minimize(
      p,
      [](std::span<const double>, std::span<double>, std::span<double>) {
        throw std::runtime_error("down");
      },
      o);
  EXPECT_GE(r.evaluations, 200);
  EXPECT_EQ(r.failed_evaluations, r.evaluations);
  o.fail_fast = true;
  int seen = 0;
  r = minimize(
      p,
      [&](std::span<const double> x, std::span<double> f, std::span<double> g) {
        if (++seen < 10) throw std::runtime_error("warming up");
        sum_above_one(x, f, g);
      },
      o);
  EXPECT_EQ(r.failed_evaluations, 9);
  EXPECT_GE(r.evaluations, 200);
}

TEST(FrontEndReports, BlockSizeFollowsThreads) {
  const Problem p = on_the_constraint();
  std::FILE* screen = std::tmpfile();
  ASSERT_NE(screen, nullptr);
  struct Case {
    int block_size, threads;
    long long first_block;
    bool warned;
  } cases[] = {{0, 4, 4, false}, {0, 1, 1, false}, {2, 4, 2, true}, {8, 4, 8, false}};
  for (const Case& c : cases) {
    Options o;
    o.block_size = c.block_size;
    o.threads = c.threads;
    o.maxeval = 100;
    o.screen = screen;
    long long first_block = 0;
    std::rewind(screen);
    ASSERT_EQ(ftruncate(fileno(screen), 0), 0);
    minimize(p, sum_above_one, o, [&](const Progress& s) {
      if (first_block == 0) first_block = s.evaluations;
      return false;
    });
    EXPECT_EQ(first_block, c.first_block) << c.block_size << " " << c.threads;
    const std::string text = read_all(screen);
    const std::string warning = "block_size = 2 is smaller than threads = 4";
    const std::size_t at = text.find(warning);
    EXPECT_EQ(at != std::string::npos, c.warned) << text;
    if (at != std::string::npos) {
      EXPECT_EQ(text.find(warning, at + 1), std::string::npos);
    }
  }
  std::fclose(screen);
}

TEST(FrontEndReports, ScreenReportGoesToTheGivenStream) {
  std::FILE* screen = std::tmpfile();
  ASSERT_NE(screen, nullptr);
  Options o;
  o.seed = 1;
  o.maxeval = 300;
  o.printeval = 100;
  o.screen = screen;
  minimize(on_the_constraint(), sum_above_one, o);
  const std::string text = read_all(screen);
  EXPECT_NE(text.find("BEST SOLUTION FOUND"), std::string::npos) << text;
  std::fclose(screen);
}

class CheckpointOfAnotherProblem : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (std::filesystem::temp_directory_path() /
             ("kestro_mismatch_" + std::to_string(::getpid()) + ".ckpt"))
                .string();
  }
  void TearDown() override { std::filesystem::remove(path_); }

  // Runs 40 blocks of the problem, saves, and returns the rest of the run's
  // result as the uninterrupted run gives it.
  Result save_midway(const Problem& p, const Options& o) {
    Solver solver(p, o);
    std::vector<double> f(std::size_t(solver.block_size())), g(f.size());
    for (int block = 0; !solver.done(); ++block) {
      const std::span<const double> x = solver.ask();
      for (int i = 0; i < solver.block_size(); ++i)
        sum_above_one(x.subspan(std::size_t(i) * 2, 2), std::span(f).subspan(i, 1),
                      std::span(g).subspan(i, 1));
      solver.tell(f, g);
      if (block == 40) solver.save(path_);
    }
    return solver.result();
  }

  Result resume(const Problem& p, const Options& o, Resume mode) {
    Solver solver(p, o, path_, mode);
    std::vector<double> f(std::size_t(solver.block_size())), g(f.size());
    while (!solver.done()) {
      const std::span<const double> x = solver.ask();
      for (int i = 0; i < solver.block_size(); ++i)
        sum_above_one(x.subspan(std::size_t(i) * 2, 2), std::span(f).subspan(i, 1),
                      std::span(g).subspan(i, 1));
      solver.tell(f, g);
    }
    return solver.result();
  }

  std::string path_;
};

TEST_F(CheckpointOfAnotherProblem, IsRefusedNamingWhatDiffers) {
  const Problem p = on_the_constraint();
  Options o;
  o.seed = 4;
  o.block_size = 2;
  o.maxeval = 400;
  const Result whole = save_midway(p, o);

  struct Case {
    const char* name;
    std::function<void(Problem&, Options&)> change;
    std::vector<std::string> named;
  } cases[] = {
      {"bounds", [](Problem& q, Options&) { q.upper[1] = 2; }, {"upper[1] is 2", "file has 3"}},
      {"accuracy and seed",
       [](Problem&, Options& q) { q.accuracy = 1e-6, q.seed = 5; },
       {"accuracy is 9.9999999999999995e-07", "seed is 5 but the file has 4"}},
  };
  for (const Case& c : cases) {
    Problem q = p;
    Options qo = o;
    c.change(q, qo);
    try {
      resume(q, qo, Resume::check);
      ADD_FAILURE() << c.name << ": resumed";
    } catch (const CheckpointMismatch& e) {
      for (const std::string& part : c.named)
        EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
    }
    // Taking the file's values resumes the saved run as it was.
    const Result r = resume(q, qo, Resume::take_saved);
    EXPECT_EQ(r.x, whole.x) << c.name;
    EXPECT_EQ(r.evaluations, whole.evaluations) << c.name;
  }
  // The budgets may change on a resume: not a difference.
  Options more = o;
  more.maxeval = 600;
  EXPECT_GT(resume(p, more, Resume::check).evaluations, whole.evaluations);
}

}  // namespace
}  // namespace kestro::testing
