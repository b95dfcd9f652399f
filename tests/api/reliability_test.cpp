// How the C++ API meets runs that never succeed, NaN options, threads that
// cannot be started and bounds whose width overflows.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "kestro.hpp"

namespace kestro::testing {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Problem box(int n) {
  Problem p;
  p.lower.assign(std::size_t(n), 0.0);
  p.upper.assign(std::size_t(n), 1.0);
  return p;
}

// ---- Runs in which no evaluation succeeded ----------------------------------

struct Failing {
  const char* name;
  int constraints;
  Function function;
};

void PrintTo(const Failing& f, std::ostream* os) { *os << f.name; }

class NoEvaluationSucceeded : public ::testing::TestWithParam<Failing> {};

// The run reaches its end without a good point: with fail_fast off, or on a
// budget that ends it before fail_fast looks (fewer than 10 evaluations).
TEST_P(NoEvaluationSucceeded, IsNoSuccessAndSaysSo) {
  Problem p = box(2);
  p.constraints = GetParam().constraints;
  for (const bool fail_fast : {false, true}) {
    SCOPED_TRACE(fail_fast ? "fail_fast, maxeval 3" : "no fail_fast, maxeval 30");
    Options o;
    o.fail_fast = fail_fast;
    o.maxeval = fail_fast ? 3 : 30;
    o.block_size = 3;
    o.threads = 2;
    const Result r = minimize(p, GetParam().function, o);
    EXPECT_FALSE(r.success);
    EXPECT_TRUE(r.best_failed);
    EXPECT_FALSE(r.feasible);
    EXPECT_EQ(r.failed_evaluations, r.evaluations);
    EXPECT_TRUE(std::regex_search(
        r.message, std::regex(R"(^no evaluation succeeded: (\d+) of \1 failed \(.+\)$)")))
        << r.message;
  }
  // With fail_fast on and a larger budget the run is ended early instead.
  Options o;
  o.maxeval = 30;
  o.block_size = 3;
  EXPECT_THROW(minimize(p, GetParam().function, o), EvaluationError);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Models, NoEvaluationSucceeded, ::testing::Values(
  Failing{"Throws", 0, [](auto, auto, auto) { throw std::runtime_error("model down"); }},
  Failing{"NaN", 0, [](auto, std::span<double> f, auto) { f[0] = kNaN; }},
  Failing{"FailureValue", 0, [](auto, std::span<double> f, auto) { f[0] = 1e98; }},
  Failing{"Infinite", 0, [](auto, std::span<double> f, auto) { f[0] = std::numeric_limits<double>::infinity(); }},
  Failing{"FailedConstraint", 1, [](auto, std::span<double> f, std::span<double> g) { f[0] = 0; g[0] = -1e98; }}),
  [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(NoEvaluationSucceeded, OneGoodPointIsASuccess) {
  Options o;
  o.maxeval = 30;
  const Result r = minimize(
      box(1),
      [](std::span<const double> x, std::span<double> f, auto) { f[0] = x[0] == 0.5 ? 1 : kNaN; },
      o);
  EXPECT_TRUE(r.success) << r.message;
  EXPECT_FALSE(r.best_failed);
  EXPECT_EQ(r.f[0], 1.0);
  EXPECT_EQ(r.message, iflag_text(r.iflag));
}

// ---- NaN options ------------------------------------------------------------

TEST(NanOptions, EveryOneIsRefusedByName) {
  const std::pair<const char*, double Options::*> fields[] = {
      {"accuracy", &Options::accuracy},  {"seed", &Options::seed},
      {"fstop", &Options::fstop},        {"algostop", &Options::algostop},
      {"evalstop", &Options::evalstop},  {"focus", &Options::focus},
      {"ants", &Options::ants},          {"kernel", &Options::kernel},
      {"oracle", &Options::oracle},      {"paretomax", &Options::paretomax},
      {"epsilon", &Options::epsilon},    {"balance", &Options::balance},
      {"character", &Options::character}};
  for (const auto& [name, field] : fields) {
    Options o;
    o.*field = kNaN;
    std::string error;
    EXPECT_FALSE(o.IsValid(&error)) << name;
    EXPECT_EQ(error, std::string("Options: ") + name + " is NaN (IFLAG 399)");
    try {
      Solver s(box(2), o);
      ADD_FAILURE() << name << " = NaN accepted";
    } catch (const Error& e) {
      EXPECT_EQ(e.iflag(), 399) << name;
    }
  }
}

// ---- Threads that cannot be started ------------------------------------------

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KESTRO_TEST_NO_ADDRESS_LIMIT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KESTRO_TEST_NO_ADDRESS_LIMIT 1
#endif
#endif

// minimize on four threads in a child process whose address space has room
// for no thread stack: the run is made on the calling thread alone, with the
// result of an unhindered run.
TEST(ThreadsThatCannotStart, TheRunGoesOnWithFewer) {
#ifdef KESTRO_TEST_NO_ADDRESS_LIMIT
  GTEST_SKIP() << "an address-space limit does not fit a sanitizer's shadow memory";
#else
  Problem p = box(3);
  Options o;
  o.seed = 5;
  o.block_size = 4;
  o.threads = 4;
  o.maxeval = 200;
  const Function sphere = [](std::span<const double> x, std::span<double> f, auto) {
    f[0] = (x[0] - 0.2) * (x[0] - 0.2) + (x[1] - 0.7) * (x[1] - 0.7) + x[2] * x[2];
  };
  // The reference on one thread: no thread stack is left in the C library's
  // cache for the child to reuse.
  Options one_thread = o;
  one_thread.threads = 1;
  const Result free_run = minimize(p, sphere, one_thread);

  int pipefd[2];
  ASSERT_EQ(pipe(pipefd), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    close(pipefd[0]);
    long pages = 0, size = 0;
    std::ifstream("/proc/self/statm") >> pages;
    size = pages * sysconf(_SC_PAGESIZE);
    // Room for a few megabytes more, not for a thread's stack of 8 MB.
    const rlimit limit{rlim_t(size + (4 << 20)), rlim_t(size + (4 << 20))};
    int status = 2;
    if (setrlimit(RLIMIT_AS, &limit) == 0) {
      try {
        const Result r = minimize(p, sphere, o);
        status =
            r.x == free_run.x && r.f == free_run.f && r.evaluations == free_run.evaluations ? 0 : 1;
      } catch (...) {
        status = 3;
      }
    }
    const char c = char('0' + status);
    if (write(pipefd[1], &c, 1) != 1) _exit(4);
    _exit(0);
  }
  close(pipefd[1]);
  char c = 0;
  const ssize_t got = read(pipefd[0], &c, 1);
  close(pipefd[0]);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
  ASSERT_EQ(got, 1);
  EXPECT_EQ(c, '0') << "1: another result, 2: no limit, 3: an exception";
#endif
}

// ---- Bounds whose width overflows -------------------------------------------

// Every point handed out lies within the bounds and is finite, for one and
// for two objectives, continuous and integer variables, with widths beyond
// the largest double.
TEST(OverflowingBounds, PointsStayFiniteAndWithinTheBounds) {
  for (int objectives : {1, 2}) {
    for (int integers : {0, 1}) {
      Problem p;
      p.objectives = objectives;
      p.lower = {-1e308, -1.7e308, -1e308};
      p.upper = {1e308, 1.6e308, 1e308};
      p.integers = integers;
      Options o;
      o.seed = 7;
      o.block_size = 2;
      Solver s(p, o);
      std::vector<double> f(std::size_t(2 * objectives));
      long long outside = 0;
      for (int block = 0; block < 300 && !s.done(); ++block) {
        const std::span<const double> x = s.ask();
        for (int k = 0; k < 2; ++k) {
          for (int i = 0; i < 3; ++i) {
            const double v = x[std::size_t(k * 3 + i)];
            if (!std::isfinite(v) || v < p.lower[std::size_t(i)] || v > p.upper[std::size_t(i)] ||
                (integers && i == 2 && v != std::round(v)))
              ++outside;
          }
          const double sum = x[std::size_t(k * 3)] / 1e308 + x[std::size_t(k * 3 + 1)] / 1e308 +
                             x[std::size_t(k * 3 + 2)] / 1e308;
          f[std::size_t(k * objectives)] = sum;
          if (objectives == 2) f[std::size_t(k * 2 + 1)] = -sum / 2 + 1;
        }
        s.tell(f);
      }
      EXPECT_EQ(outside, 0) << objectives << " objectives, " << integers << " integers";
    }
  }
}

}  // namespace
}  // namespace kestro::testing
