#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kestro.hpp"

namespace {

std::string temporary_path(const std::string& name) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr ? tmp : "/tmp") + "/kestro-solver-checkpoint-" +
         std::to_string(getpid()) + "-" + name;
}

kestro::Problem problem(int objectives) {
  kestro::Problem p;
  p.objectives = objectives;
  p.lower = {-2, -2, 0};
  p.upper = {2, 2, 4};
  p.start = {1.5, 1.5, 3};
  p.integers = 1;
  p.constraints = 1;
  return p;
}

kestro::Options options(int block_size) {
  kestro::Options o;
  o.seed = 3;
  o.block_size = block_size;
  o.maxeval = 2500;
  return o;
}

void model(const double* x, double* f, double* g, int objectives) {
  f[0] = (x[0] - 0.3) * (x[0] - 0.3) + (x[1] + 0.4) * (x[1] + 0.4) + 0.1 * x[2];
  if (objectives > 1) f[1] = (x[0] - 1) * (x[0] - 1) + x[1] * x[1] + 0.2 * x[2];
  g[0] = x[0] + x[1] + x[2] - 0.5;
}

// Every block asked for, in order, and the result.
struct Trace {
  std::vector<double> points;
  kestro::Result result;
};

// Asks and tells until done, or until `calls` tells were made (then returns
// without a result).
void drive(kestro::Solver& s, Trace& t, int calls = -1) {
  const int l = s.block_size(), n = s.variables(), o = s.objectives(), m = s.constraints();
  std::vector<double> f(std::size_t(l * o)), g(std::size_t(l * m));
  for (int c = 0; !s.done() && c != calls; ++c) {
    const auto x = s.ask();
    t.points.insert(t.points.end(), x.begin(), x.end());
    for (int i = 0; i < l; ++i)
      model(&x[std::size_t(i * n)], &f[std::size_t(i * o)], &g[std::size_t(i * m)], o);
    s.tell(f, g);
  }
  if (s.done()) t.result = s.result();
}

void expect_same(const kestro::Result& a, const kestro::Result& b) {
  EXPECT_EQ(a.x, b.x);
  EXPECT_EQ(a.f, b.f);
  EXPECT_EQ(a.g, b.g);
  EXPECT_EQ(a.iflag, b.iflag);
  EXPECT_EQ(a.evaluations, b.evaluations);
  EXPECT_EQ(a.failed_evaluations, b.failed_evaluations);
  ASSERT_EQ(a.pareto_front.size(), b.pareto_front.size());
  for (std::size_t j = 0; j < a.pareto_front.size(); ++j)
    EXPECT_EQ(a.pareto_front[j].x, b.pareto_front[j].x);
}

struct Case {
  int l, o, k;
};

// A Solver resumed from a file (in this process and in a new one) asks for
// the blocks the uninterrupted run asks for and gives its result.
TEST(SolverCheckpoint, ResumedSolverContinuesTheRunExactly) {
  for (const Case c : {Case{1, 1, 300}, Case{5, 1, 37}, Case{2, 2, 211}}) {
    SCOPED_TRACE("L = " + std::to_string(c.l) + ", O = " + std::to_string(c.o));
    Trace reference;
    {
      kestro::Solver s(problem(c.o), options(c.l));
      drive(s, reference);
    }
    const std::string path = temporary_path("solver.ckpt");
    Trace first;
    {
      kestro::Solver s(problem(c.o), options(c.l));
      drive(s, first, c.k);
      s.save(path);
    }
    Trace second;
    {
      kestro::Solver s(problem(c.o), options(c.l), path);
      EXPECT_EQ(s.evaluations(), (long long)c.k * c.l);
      drive(s, second);
    }
    std::vector<double> joined = first.points;
    joined.insert(joined.end(), second.points.begin(), second.points.end());
    EXPECT_EQ(joined, reference.points);
    expect_same(second.result, reference.result);

    // The same in a process that has never run anything of this run.
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      Trace again;
      kestro::Solver s(problem(c.o), options(c.l), path);
      drive(s, again);
      const bool same = again.points == second.points && again.result.x == reference.result.x &&
                        again.result.iflag == reference.result.iflag;
      _exit(same ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::remove(path.c_str());
  }
}

TEST(SolverCheckpoint, RefusedFileThrowsWithTheReasonAndReleasesTheLibrary) {
  const std::string path = temporary_path("refused.ckpt");
  {
    kestro::Solver s(problem(1), options(2));
    Trace t;
    drive(s, t, 10);
    s.save(path);
  }
  try {
    kestro::Solver s(problem(1), options(3), path);  // another block size
    FAIL() << "a checkpoint of other sizes was loaded";
  } catch (const kestro::CheckpointError& e) {
    EXPECT_EQ(e.status(), 10);
    EXPECT_NE(std::string(e.what()).find("other problem sizes"), std::string::npos) << e.what();
  }
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "KESTROCP";
  }
  try {
    kestro::Solver s(problem(1), options(2), path);
    FAIL() << "a truncated checkpoint was loaded";
  } catch (const kestro::CheckpointError& e) {
    EXPECT_EQ(e.status(), 8);
    EXPECT_NE(std::string(e.what()).find("truncated"), std::string::npos) << e.what();
  }
  // The refusals left no Solver behind.
  EXPECT_NO_THROW(kestro::Solver(problem(1), options(2)));
  std::remove(path.c_str());
}

TEST(SolverCheckpoint, FailedSaveThrowsAndTheRunGoesOn) {
  Trace reference;
  {
    kestro::Solver s(problem(1), options(2));
    drive(s, reference);
  }
  Trace t;
  kestro::Solver s(problem(1), options(2));
  drive(s, t, 20);
  EXPECT_THROW(s.save(temporary_path("missing-directory") + "/run.ckpt"), kestro::CheckpointError);
  drive(s, t);
  EXPECT_EQ(t.points, reference.points);
  expect_same(t.result, reference.result);
}

}  // namespace
