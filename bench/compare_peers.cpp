// The optimiser's own CPU time per evaluation next to other derivative-free
// optimisers, in one run on the same cheap problems with the same budgets:
// kestro_ (L = 1), pagmo2's gaco and sade, and NLopt's ISRES and CRS2 (LM).
//
// For each problem and optimiser the program measures the process CPU time of
// the whole run and subtracts the time spent in the objective, which is the
// number of evaluations times the objective's own cost per call, calibrated
// beforehand by calling the same function in a loop on points of the box.
// Each run is repeated and the smallest net time is kept, since other work on
// the machine can only add time.
//
// Usage: kestro_compare_peers [EVALUATIONS [REPEATS]]  (100000 and 3 by default)
#include <nlopt.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <pagmo/algorithms/gaco.hpp>
#include <pagmo/algorithms/sade.hpp>
#include <pagmo/population.hpp>
#include <pagmo/problem.hpp>
#include <pagmo/types.hpp>
#include <string>
#include <utility>
#include <vector>

#include "kestro.h"

namespace {

constexpr double kLower = -5.0, kUpper = 5.0;

// Evaluations made by the running optimiser (every objective call counts).
long long evaluations = 0;

// The shifted sphere: the only work an evaluation does.
__attribute__((noinline)) double sphere(const double* x, int n) {
  double s = 0;
  for (int i = 0; i < n; ++i) s += (x[i] - 0.7) * (x[i] - 0.7);
  return s;
}

double counted_sphere(const double* x, int n) {
  ++evaluations;
  return sphere(x, n);
}

double cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// Seconds per call of the objective alone, from calls on a ring of points
// spread over the box (the best of five timings).
double objective_seconds_per_call(int n) {
  const int points = 64;
  std::vector<double> ring(std::size_t(points) * n);
  unsigned state = 12345;
  for (double& v : ring) {
    state = state * 1664525u + 1013904223u;
    v = kLower + (kUpper - kLower) * double(state >> 8) / double(1u << 24);
  }
  const long long calls = std::max(200000LL, 20000000LL / n);
  double best = std::numeric_limits<double>::infinity();
  volatile double sink = 0;
  for (int rep = 0; rep < 5; ++rep) {
    const double t0 = cpu_seconds();
    double acc = 0;
    for (long long c = 0; c < calls; ++c) acc += sphere(&ring[std::size_t(c % points) * n], n);
    const double t1 = cpu_seconds();
    sink = sink + acc;
    best = std::min(best, (t1 - t0) / double(calls));
  }
  return best;
}

struct Outcome {
  long long evaluations = 0;
  double cpu = 0;     // seconds of the whole run
  double best_f = 0;  // best objective found
};

// kestro_ with its defaults and seed 1, one point per block, stopped with
// IFLAG = -999 when the budget is spent.
Outcome run_kestro(int n, long long budget) {
  int l = 1, o = 1, ni = 0, m = 0, me = 0;
  int lrw = 120 * n + 20 * m + l * (m + 2 * o + 20) + o * (o + 20) + 4990;
  int liw = l + 3 * n + 990, lpf = 1, iflag = 0, istop = 0;
  std::vector<double> x(std::size_t(l) * n, 0.0), f(1), g(1), xl(n, kLower), xu(n, kUpper), rw(lrw),
      pf(1);
  std::vector<int> iw(liw);
  double param[13] = {};
  param[1] = 1;
  evaluations = 0;
  const double t0 = cpu_seconds();
  for (;;) {
    f[0] = counted_sphere(x.data(), n);
    if (evaluations >= budget) iflag = -999;
    kestro_(&l, &o, &n, &ni, &m, &me, x.data(), f.data(), g.data(), xl.data(), xu.data(), &iflag,
            &istop, param, rw.data(), &lrw, iw.data(), &liw, pf.data(), &lpf);
    if (istop == 1) break;
  }
  return {evaluations, cpu_seconds() - t0, f[0]};
}

// The problem as pagmo2 sees it.
struct PagmoSphere {
  unsigned n = 10;
  pagmo::vector_double fitness(const pagmo::vector_double& x) const {
    return {counted_sphere(x.data(), int(n))};
  }
  std::pair<pagmo::vector_double, pagmo::vector_double> get_bounds() const {
    return {pagmo::vector_double(n, kLower), pagmo::vector_double(n, kUpper)};
  }
};

// A pagmo2 algorithm on a population of `size`, evolved for as many
// generations as make the budget: the first population costs `size`
// evaluations and every generation `size` more.
template <class Make>
Outcome run_pagmo(int n, long long budget, unsigned size, Make make_algorithm) {
  const unsigned generations = unsigned(std::max(1LL, budget / size - 1));
  evaluations = 0;
  const double t0 = cpu_seconds();
  pagmo::problem problem{PagmoSphere{unsigned(n)}};
  pagmo::population population{problem, size, 1u};
  pagmo::algorithm algorithm{make_algorithm(generations)};
  population = algorithm.evolve(population);
  const double t1 = cpu_seconds();
  return {evaluations, t1 - t0, population.champion_f()[0]};
}

double nlopt_objective(unsigned n, const double* x, double* /*grad*/, void* /*data*/) {
  return counted_sphere(x, int(n));
}

// An NLopt algorithm with its default population, stopped by the budget alone.
Outcome run_nlopt(nlopt_algorithm which, int n, long long budget) {
  nlopt_opt opt = nlopt_create(which, unsigned(n));
  std::vector<double> lo(n, kLower), hi(n, kUpper), x(n, 0.0);
  nlopt_set_lower_bounds(opt, lo.data());
  nlopt_set_upper_bounds(opt, hi.data());
  nlopt_set_min_objective(opt, nlopt_objective, nullptr);
  nlopt_set_maxeval(opt, int(budget));
  nlopt_srand(1);
  double best = 0;
  evaluations = 0;
  const double t0 = cpu_seconds();
  nlopt_optimize(opt, x.data(), &best);
  const double t1 = cpu_seconds();
  nlopt_destroy(opt);
  return {evaluations, t1 - t0, best};
}

struct Row {
  std::string name;
  Outcome outcome;
  double net_per_evaluation = 0;  // seconds
};

}  // namespace

int main(int argc, char** argv) {
  const long long budget = argc > 1 ? std::atoll(argv[1]) : 100000;
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const int sizes[] = {10, 100};
  std::vector<std::vector<Row>> tables;
  std::vector<double> objective_costs;

  for (int n : sizes) {
    const double objective = objective_seconds_per_call(n);
    objective_costs.push_back(objective);
    std::vector<Row> rows;
    auto measure = [&](const std::string& name, auto run) {
      Row row{name, {}, std::numeric_limits<double>::infinity()};
      for (int r = 0; r < repeats; ++r) {
        const Outcome o = run();
        const double net = (o.cpu - double(o.evaluations) * objective) / double(o.evaluations);
        if (net < row.net_per_evaluation) {
          row.net_per_evaluation = net;
          row.outcome = o;
        }
      }
      rows.push_back(row);
    };
    measure("kestro_ (L=1)", [&] { return run_kestro(n, budget); });
    measure("pagmo2 gaco", [&] {
      return run_pagmo(n, budget, 100u, [](unsigned gen) {
        // The stall limits are raised so that only the budget ends the run.
        return pagmo::gaco(gen, 63u, 1.0, 0., 0.01, 1u, 7u, 1000000000u, 1000000000u, 0., false,
                           1u);
      });
    });
    measure("pagmo2 sade", [&] {
      return run_pagmo(n, budget, 20u, [](unsigned gen) {
        // ftol = xtol = 0: no early stop on a collapsed population.
        return pagmo::sade(gen, 2u, 1u, 0., 0., false, 1u);
      });
    });
    measure("NLopt ISRES", [&] { return run_nlopt(NLOPT_GN_ISRES, n, budget); });
    measure("NLopt CRS2 (LM)", [&] { return run_nlopt(NLOPT_GN_CRS2_LM, n, budget); });
    tables.push_back(rows);
  }

  std::printf("Budget %lld evaluations, best of %d runs; sphere in [-5, 5]^N\n\n", budget, repeats);
  for (std::size_t t = 0; t < tables.size(); ++t) {
    std::printf("N = %d (objective alone: %.1f ns per call)\n", sizes[t], objective_costs[t] * 1e9);
    std::printf("  %-16s %12s %12s %14s %12s\n", "optimiser", "evaluations", "CPU s", "own us/eval",
                "best f");
    for (const Row& row : tables[t])
      std::printf("  %-16s %12lld %12.4f %14.3f %12.3g\n", row.name.c_str(),
                  row.outcome.evaluations, row.outcome.cpu, row.net_per_evaluation * 1e6,
                  row.outcome.best_f);
    std::printf("\n");
  }
  std::printf("Own CPU time per evaluation (us), side by side:\n");
  std::printf("  %-8s", "N");
  for (const Row& row : tables[0]) std::printf(" %16s", row.name.c_str());
  std::printf("\n");
  for (std::size_t t = 0; t < tables.size(); ++t) {
    std::printf("  %-8d", sizes[t]);
    for (const Row& row : tables[t]) std::printf(" %16.3f", row.net_per_evaluation * 1e6);
    std::printf("\n");
  }
  return 0;
}
