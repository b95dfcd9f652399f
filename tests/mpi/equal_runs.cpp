// kestro::mpi::minimize on any number of ranks gives, to the last bit, the
// run of kestro::minimize in one process with the same seed and options: the
// best point, its values, the codes, the counts of evaluations, failures and
// exceptions and the Pareto front. Every rank returns the same result, the
// root evaluates nothing when there are workers, a problem the library
// refuses is refused on every rank, and so is a run that rank 0 cannot start
// for want of memory or that fails on rank 0.
// The model throws in one region and gives NaN in another, so failed points
// are part of every run.
//
// Run with mpirun on 1 or more ranks; exits non-zero on any difference.
#include <mpi.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "kestro_mpi.hpp"

namespace {

int rank = 0, size = 1;
int failures = 0;
long long evaluated_here = 0;  // points this process evaluated

void expect(bool ok, const std::string& what) {
  if (!ok) {
    std::fprintf(stderr, "rank %d: FAILED: %s\n", rank, what.c_str());
    ++failures;
  }
}

kestro::Problem problem_for(int objectives) {
  kestro::Problem p;
  p.objectives = objectives;
  p.lower = {-3, -3, 0};
  p.upper = {3, 3, 4};
  p.integers = 1;
  p.constraints = 2;
  p.equalities = 1;
  p.start = {0, 0, 2};
  return p;
}

// Throws where x0 > 2.2, NaN where x1 < -2.2.
kestro::Function model_for(int objectives) {
  return [objectives](std::span<const double> x, std::span<double> f, std::span<double> g) {
    ++evaluated_here;
    if (x[0] > 2.2) throw std::runtime_error("no model where x0 > 2.2");
    if (x[1] < -2.2) {
      for (double& v : f) v = std::numeric_limits<double>::quiet_NaN();
      g[0] = g[1] = std::numeric_limits<double>::quiet_NaN();
      return;
    }
    f[0] = (x[0] - 1) * (x[0] - 1) + (x[1] + 0.5) * (x[1] + 0.5) + 0.2 * x[2];
    if (objectives > 1) f[1] = (x[0] + 1) * (x[0] + 1) + x[1] * x[1] + 0.3 * (4 - x[2]);
    g[0] = x[0] + x[1] + x[2] - 2;
    g[1] = 4 - x[0] * x[0] - x[1] * x[1];
  };
}

// Every bit of a result, as text.
std::string fingerprint(const kestro::Result& r) {
  std::string s;
  auto put = [&](double v) {
    char b[24];
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    std::snprintf(b, sizeof b, "%016llx ", (unsigned long long)bits);
    s += b;
  };
  auto vec = [&](const std::vector<double>& v) {
    s += "[" + std::to_string(v.size()) + "] ";
    for (double d : v) put(d);
  };
  vec(r.x), vec(r.f), vec(r.g);
  put(r.residual);
  s += std::to_string(r.feasible) + " " + std::to_string(r.iflag) + " " +
       std::to_string(r.warning) + " " + std::to_string(r.evaluations) + " " +
       std::to_string(r.failed_evaluations) + " " + std::to_string(r.exceptions) + " <" +
       r.message + "> <" + r.first_exception + "> front " + std::to_string(r.pareto_front.size()) +
       ":";
  for (const kestro::ParetoPoint& p : r.pareto_front) vec(p.f), vec(p.g), vec(p.x);
  return s;
}

std::string broadcast_string(std::string s) {
  long long length = (long long)s.size();
  MPI_Bcast(&length, 1, MPI_LONG_LONG, 0, MPI_COMM_WORLD);
  s.resize(std::size_t(length));
  MPI_Bcast(s.data(), int(length), MPI_CHAR, 0, MPI_COMM_WORLD);
  return s;
}

struct Case {
  const char* name;
  int objectives, block_size, maxeval;
  long long stop_after;  // evaluations after which the stop callback says stop (0: never)
};

void run_case(const Case& c) {
  const std::string name = c.name;
  const kestro::Problem problem = problem_for(c.objectives);
  const kestro::Function model = model_for(c.objectives);
  kestro::Options options;
  options.seed = 17;
  options.block_size = c.block_size;
  options.maxeval = c.maxeval;
  const kestro::StopCallback stop = [&](const kestro::Progress& p) {
    return c.stop_after > 0 && p.evaluations >= c.stop_after;
  };

  evaluated_here = 0;
  const kestro::Result r = kestro::mpi::minimize(problem, model, options, MPI_COMM_WORLD, stop);
  long long counts[2] = {evaluated_here, rank == 0 ? evaluated_here : 0}, totals[2] = {0, 0};
  MPI_Allreduce(counts, totals, 2, MPI_LONG_LONG, MPI_SUM, MPI_COMM_WORLD);
  expect(totals[0] == r.evaluations, name + ": the ranks evaluated " + std::to_string(totals[0]) +
                                         " points, the result says " +
                                         std::to_string(r.evaluations));
  if (size > 1) expect(totals[1] == 0, name + ": rank 0 evaluated points itself");

  std::string reference;
  if (rank == 0) {
    const kestro::Result single = kestro::minimize(problem, model, options, stop);
    reference = fingerprint(single);
    expect(single.exceptions > 0, name + ": the run has no point that threw");
    expect(single.failed_evaluations > single.exceptions,
           name + ": the run has no point with NaN values");
    expect(single.first_exception == "no model where x0 > 2.2",
           name + ": first exception '" + single.first_exception + "'");
    if (c.stop_after > 0)
      expect(single.iflag == 1 || single.iflag == 2,
             name + ": stopped run ends with IFLAG " + std::to_string(single.iflag));
    if (c.objectives > 1) expect(!single.pareto_front.empty(), name + ": empty Pareto front");
  }
  reference = broadcast_string(reference);
  expect(fingerprint(r) == reference,
         name + ": result differs from the single-process run:\n  mpi:    " + fingerprint(r) +
             "\n  single: " + reference);
}

void refused_everywhere() {
  kestro::Problem problem = problem_for(1);
  problem.integers = 4;  // more integers than variables
  kestro::Options options;
  int code = -1;
  try {
    kestro::mpi::minimize(problem, model_for(1), options);
  } catch (const kestro::Error& e) {
    code = e.iflag();
  }
  expect(code == 104, "refused problem: IFLAG " + std::to_string(code) + " instead of 104");

  // The ranks disagree on the number of constraints.
  if (size > 1) {
    kestro::Problem mine = problem_for(1);
    if (rank == size - 1) mine.constraints = 3;
    bool thrown = false;
    try {
      kestro::mpi::minimize(mine, model_for(1), options);
    } catch (const kestro::Error& e) {
      thrown = e.iflag() == 0;
    }
    expect(thrown, "ranks with different problem sizes: no kestro::Error(0)");
  }
}

// Rank 0 cannot allocate the workspaces of the run (its address space is
// limited below them): rank 0 gets std::bad_alloc, the workers kestro::Error
// (code 0), and no rank is left waiting for the others. Left out under
// AddressSanitizer, which needs an unlimited address space.
#if defined(__SANITIZE_ADDRESS__)
#define KESTRO_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTRO_TEST_ASAN 1
#endif
#endif
void unallocatable_everywhere() {
#ifndef KESTRO_TEST_ASAN
  kestro::Problem problem;
  problem.lower = {0};
  problem.upper = {1};
  kestro::Options options;
  options.block_size = 95000000;  // a real workspace of about 16 GB
  rlimit saved{};
  if (rank == 0) {
    long long size_kb = 0;
    std::ifstream status("/proc/self/status");
    for (std::string key; status >> key;)
      if (key == "VmSize:") status >> size_kb;
    getrlimit(RLIMIT_AS, &saved);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(size_kb + 2 * 1024 * 1024) * 1024;  // 2 GB more than now
    expect(size_kb > 0 && setrlimit(RLIMIT_AS, &limited) == 0, "limiting the address space");
  }
  std::string seen = "nothing thrown";
  try {
    kestro::mpi::minimize(problem, model_for(1), options);
  } catch (const std::bad_alloc&) {
    seen = "std::bad_alloc";
  } catch (const kestro::Error& e) {
    seen = "kestro::Error " + std::to_string(e.iflag());
  }
  if (rank == 0) setrlimit(RLIMIT_AS, &saved);
  const std::string expected = rank == 0 ? "std::bad_alloc" : "kestro::Error 0";
  expect(seen == expected, "run without memory on rank 0: " + seen + " instead of " + expected);
#endif
}

// A long exception text reaches Result::first_exception whole on every rank,
// as in kestro::minimize.
void long_exception_text() {
  std::string text(10000, '.');
  for (std::size_t i = 0; i < text.size(); i += 100) text[i] = char('a' + i / 100 % 26);
  kestro::Options options;
  options.block_size = 3;
  options.maxeval = 6;
  const kestro::Result r = kestro::mpi::minimize(
      problem_for(1),
      [&](std::span<const double>, std::span<double>, std::span<double>) {
        throw std::runtime_error(text);
      },
      options);
  expect(r.exceptions == r.evaluations && r.first_exception == text,
         "long exception text: " + std::to_string(r.first_exception.size()) +
             " characters arrived of " + std::to_string(text.size()));
}

// The stop callback throws on rank 0: the exception reaches the caller there,
// the workers are let go with kestro::Error (code 0), and the next run works.
void abandoned_everywhere() {
  kestro::Options options;
  options.block_size = 4;
  bool seen = false;
  try {
    kestro::mpi::minimize(problem_for(1), model_for(1), options, MPI_COMM_WORLD,
                          [](const kestro::Progress&) -> bool {
                            throw std::runtime_error("the stop callback fails");
                          });
  } catch (const kestro::Error& e) {
    seen = rank != 0 && e.iflag() == 0;
  } catch (const std::runtime_error& e) {
    seen = rank == 0 && std::string(e.what()) == "the stop callback fails";
  }
  expect(seen, "abandoned run: rank 0 gets the callback's exception, workers kestro::Error(0)");
}

}  // namespace

int main(int argc, char** argv) {
  MPI_Init(&argc, &argv);
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &size);

  const Case cases[] = {
      {"one objective, blocks of 8", 1, 8, 800, 0},
      {"one objective, blocks of 1", 1, 1, 300, 0},
      {"one objective, stopped after 5 blocks", 1, 6, 5000, 30},
      {"two objectives, blocks of 5", 2, 5, 600, 0},
  };
  abandoned_everywhere();
  refused_everywhere();
  unallocatable_everywhere();
  long_exception_text();
  for (const Case& c : cases) run_case(c);

  int all = 0;
  MPI_Allreduce(&failures, &all, 1, MPI_INT, MPI_SUM, MPI_COMM_WORLD);
  if (rank == 0)
    std::printf("%s on %d ranks: %d failed checks\n", all ? "FAILED" : "passed", size, all);
  MPI_Finalize();
  return all == 0 ? 0 : 1;
}
