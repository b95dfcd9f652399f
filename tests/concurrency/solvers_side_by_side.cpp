// Solvers live side by side: runs of every kind made at once, in threads or
// interleaved in one thread, are call for call (every IFLAG and block) and
// in their report files the runs made alone.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "kestro.hpp"

namespace kestro::testing {
namespace {

namespace fs = std::filesystem;

struct Kind {
  const char* name;
  int objectives, block_size, integers, constraints;
};

// O = 1 and O = 2, L = 1 and L > 1, integer variables and constraints.
const Kind kKinds[] = {{"plain", 1, 1, 0, 0},           {"block", 1, 4, 0, 0},
                       {"integers", 1, 1, 2, 0},        {"constrained_block", 1, 3, 1, 2},
                       {"two_objectives", 2, 1, 0, 0},  {"two_objectives_block", 2, 4, 1, 1},
                       {"two_constrained", 2, 1, 0, 2}, {"integer_block", 1, 5, 2, 1}};

Problem problem_of(const Kind& k) {
  Problem p;
  p.objectives = k.objectives;
  p.lower = {-3, -3, -2, 0, 0};
  p.upper = {3, 3, 2, 6, 6};
  p.integers = k.integers;
  if (k.integers == 0) p.lower.resize(3), p.upper.resize(3);
  if (k.integers == 1) p.lower.resize(4), p.upper.resize(4);
  p.constraints = k.constraints;
  p.equalities = k.constraints > 1 ? 1 : 0;
  return p;
}

// A model of x alone, safe in any thread.
void model(std::span<const double> x, std::span<double> f, std::span<double> g) {
  double s = 0, t = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    s += (x[i] - 0.7 + 0.1 * double(i)) * (x[i] - 0.7 + 0.1 * double(i));
    t += (x[i] + 1) * (x[i] + 1);
  }
  f[0] = s + 0.3 * std::sin(3 * x[0]);
  if (f.size() > 1) f[1] = t;
  if (!g.empty()) g[g.size() - 1] = 4 - x[0] * x[0] - x[1] * x[1];
  if (g.size() > 1) g[0] = x[0] + x[1] - 0.5;
}

// Everything a run shows its caller: each block and IFLAG after every call,
// the result, and the contents of its report file.
struct Trace {
  std::vector<double> blocks;
  std::vector<int> iflags;
  Result result;
  std::string history;
};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

Options options_of(const Kind& k, int seed, const fs::path& dir) {
  Options o;
  o.seed = seed;
  o.block_size = k.block_size;
  o.maxeval = 1500;
  o.save2file = 1000000;  // the whole history file, without a screen report
  o.output_dir = dir.string();
  return o;
}

// One run by ask/tell; `between` is called after every tell (checkpoint
// saves go there).
// One block of a run by ask/tell, traced: evaluated, told, and the next
// block and the IFLAG noted.
void step(Solver& s, Trace& t) {
  const int l = s.block_size(), n = s.variables(), o = s.objectives(), m = s.constraints();
  std::vector<double> f(std::size_t(l) * o), g(std::size_t(l) * m);
  const std::span<const double> x = s.ask();
  for (int i = 0; i < l; ++i)
    model(x.subspan(std::size_t(i) * n, n), std::span(f).subspan(std::size_t(i) * o, o),
          std::span(g).subspan(std::size_t(i) * m, m));
  s.tell(f, g);
  t.blocks.insert(t.blocks.end(), s.ask().begin(), s.ask().end());
  t.iflags.push_back(s.iflag());
}

template <class Between>
Trace run(const Kind& k, int seed, const fs::path& dir, Between between) {
  Solver s(problem_of(k), options_of(k, seed, dir));
  Trace t;
  while (!s.done()) {
    step(s, t);
    between(s);
  }
  t.result = s.result();
  return t;
}

void expect_same(const Trace& alone, const Trace& together, const std::string& what) {
  EXPECT_EQ(alone.iflags, together.iflags) << what;
  ASSERT_EQ(alone.blocks.size(), together.blocks.size()) << what;
  EXPECT_EQ(std::memcmp(alone.blocks.data(), together.blocks.data(),
                        alone.blocks.size() * sizeof(double)),
            0)
      << what;
  EXPECT_EQ(alone.result.x, together.result.x) << what;
  EXPECT_EQ(alone.result.f, together.result.f) << what;
  EXPECT_EQ(alone.result.pareto_front.size(), together.result.pareto_front.size()) << what;
  EXPECT_FALSE(alone.history.empty()) << what;
  EXPECT_EQ(alone.history, together.history) << what;
}

class SideBySide : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kestro_side_by_side_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

// 16 runs, two seeds of every kind, on 8 threads at once, each saving a
// checkpoint every few blocks into its own directory.
TEST_F(SideBySide, SixteenRunsOnEightThreadsEqualTheRunsAlone) {
  constexpr int kRuns = 16;
  auto kind = [](int i) { return kKinds[i % 8]; };
  auto seed = [](int i) { return 3 + i / 8; };
  std::vector<Trace> alone(kRuns), together(kRuns);
  for (int i = 0; i < kRuns; ++i) {
    const fs::path d = dir_ / "alone" / std::to_string(i);
    alone[std::size_t(i)] = run(kind(i), seed(i), d, [](const Solver&) {});
    alone[std::size_t(i)].history = read_file(d / "KESTRO_HISTORY.TXT");
  }
  std::atomic<int> next{0};
  std::vector<std::string> failures(kRuns);
  auto work = [&] {
    for (int i = next++; i < kRuns; i = next++) {
      const fs::path d = dir_ / "together" / std::to_string(i);
      int calls = 0;
      try {
        together[std::size_t(i)] = run(kind(i), seed(i), d, [&](const Solver& s) {
          if (++calls % 7 == 0 && !s.done()) s.save((d / "run.ckpt").string());
        });
      } catch (const std::exception& e) {
        failures[std::size_t(i)] = e.what();
      }
      together[std::size_t(i)].history = read_file(d / "KESTRO_HISTORY.TXT");
    }
  };
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < 8; ++t) threads.emplace_back(work);
  }
  for (int i = 0; i < kRuns; ++i) {
    const std::string what = std::string(kind(i).name) + " seed " + std::to_string(seed(i));
    EXPECT_EQ(failures[std::size_t(i)], "") << what;
    expect_same(alone[std::size_t(i)], together[std::size_t(i)], what);
    EXPECT_TRUE(fs::exists(dir_ / "together" / std::to_string(i) / "run.ckpt")) << what;
  }
}

// Two Solvers of other sizes alive at once in one thread, their calls
// interleaved: each is the run made alone.
TEST_F(SideBySide, InterleavedInOneThreadEqualTheRunsAlone) {
  const Kind a = kKinds[3], b = kKinds[5];
  Trace alone_a = run(a, 11, dir_ / "a", [](const Solver&) {});
  Trace alone_b = run(b, 12, dir_ / "b", [](const Solver&) {});
  alone_a.history = read_file(dir_ / "a" / "KESTRO_HISTORY.TXT");
  alone_b.history = read_file(dir_ / "b" / "KESTRO_HISTORY.TXT");

  Solver sa(problem_of(a), options_of(a, 11, dir_ / "ia"));
  Solver sb(problem_of(b), options_of(b, 12, dir_ / "ib"));
  Trace ta, tb;
  while (!sa.done() || !sb.done()) {
    if (!sa.done()) step(sa, ta);
    if (!sb.done()) step(sb, tb);
  }
  ta.result = sa.result();
  tb.result = sb.result();
  ta.history = read_file(dir_ / "ia" / "KESTRO_HISTORY.TXT");
  tb.history = read_file(dir_ / "ib" / "KESTRO_HISTORY.TXT");
  expect_same(alone_a, ta, a.name);
  expect_same(alone_b, tb, b.name);
}

}  // namespace
}  // namespace kestro::testing
