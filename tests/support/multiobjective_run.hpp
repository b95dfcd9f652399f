// Drives whole multi-objective runs of the solver entry the way a caller
// does, and reads the Pareto front back from PF.
#pragma once

#include <cmath>
#include <functional>
#include <vector>

#include "support/problem.hpp"

namespace kestro::testing {

// A model writes the O objectives and M constraints of one point.
using MultiModel = std::function<void(const double* x, double* f, double* g)>;

struct MultiObjectiveProblem {
  int l = 1, o = 2, n = 2, ni = 0, m = 0, me = 0;
  std::vector<double> xl, xu, x0;  // x0: one start point, copied into every slot
  MultiModel model;
};

// One front entry as PF holds it.
struct FrontEntry {
  std::vector<double> f, g, x;
};

struct MultiObjectiveRunner {
  Caller c;
  MultiObjectiveProblem p;
  int capacity;  // the front capacity PARETOMAX asks for
  int evaluations = 0;

  // `paretomax` 0 asks for the default capacity of 1000 entries.
  MultiObjectiveRunner(const MultiObjectiveProblem& problem, double paretomax = 0)
      : p(problem),
        capacity(paretomax == 0 ? 1000 : static_cast<int>(std::trunc(std::fabs(paretomax)))) {
    c.l = p.l;
    c.o = p.o;
    c.n = p.n;
    c.ni = p.ni;
    c.m = p.m;
    c.me = p.me;
    const int pf_capacity = std::fabs(paretomax) >= 1 ? capacity : 1000;
    c.lpf = pf_capacity * (p.n + p.m + p.o) + 1;
    c.allocate();
    c.xl = p.xl;
    c.xu = p.xu;
    for (int i = 0; i < p.l; ++i)
      for (int j = 0; j < p.n; ++j) c.x[i * p.n + j] = p.x0[j];
    c.param[9] = paretomax;
  }

  void evaluate() {
    for (int i = 0; i < p.l; ++i)
      p.model(&c.x[i * p.n], &c.f[i * p.o], p.m > 0 ? &c.g[i * p.m] : nullptr);
    evaluations += p.l;
  }

  // Evaluates the start block and makes the first call.
  void start() {
    evaluate();
    c.start();
  }

  // Evaluates and calls until the run ends or `max_evaluations` points have
  // been evaluated; then asks the run to stop. Returns the final IFLAG.
  int run(int max_evaluations) {
    start();
    while (c.istop == 0) {
      evaluate();
      if (evaluations >= max_evaluations) c.iflag = -999;
      c.call();
    }
    return c.iflag;
  }

  int psize() const { return static_cast<int>(c.pf[0]); }

  FrontEntry entry(int j) const {
    FrontEntry e;
    const int cap = capacity;
    for (int k = 1; k <= p.o; ++k) e.f.push_back(c.pf[(j - 1) * p.o + k]);
    for (int q = 1; q <= p.m; ++q) e.g.push_back(c.pf[p.o * cap + (j - 1) * p.m + q]);
    for (int v = 1; v <= p.n; ++v) e.x.push_back(c.pf[(p.o + p.m) * cap + (j - 1) * p.n + v]);
    return e;
  }

  std::vector<FrontEntry> front() const {
    std::vector<FrontEntry> entries;
    for (int j = 1; j <= psize(); ++j) entries.push_back(entry(j));
    return entries;
  }
};

}  // namespace kestro::testing
