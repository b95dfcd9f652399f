// Drives whole runs of the solver entry the way a caller does: evaluate the
// block, call, repeat until ISTOP = 1 or a call budget is spent.
#pragma once

#include <functional>
#include <vector>

#include "interface/context.hpp"
#include "interface/solver_call.hpp"
#include "support/problem.hpp"

namespace kestro::testing {

using Model = std::function<void(const double* x, double* f, double* g)>;

struct TestProblem {
  int l = 1, n = 2, ni = 0, m = 0, me = 0;
  std::vector<double> xl, xu, x0;  // x0: one start point, copied into every slot
  Model model;
};

// min 2x + y  s.t.  x^2 + y >= 1.25,  x + y <= 1.6,  0 <= x <= 1.6,  y in {0, 1}:
// a classic mixed-integer test with its optimum 2 at (0.5, 1). With the
// feasibility tolerance 0.001 the first constraint admits x down to
// sqrt(0.249).
inline TestProblem mixed_integer(int l) {
  TestProblem p;
  p.l = l;
  p.n = 2;
  p.ni = 1;
  p.m = 2;
  p.xl = {0, 0};
  p.xu = {1.6, 1};
  p.x0 = {1.6, 0};
  p.model = [](const double* x, double* f, double* g) {
    *f = 2 * x[0] + x[1];
    g[0] = x[0] * x[0] + x[1] - 1.25;
    g[1] = 1.6 - x[0] - x[1];
  };
  return p;
}

// Everything the caller saw of a run.
struct RunTrace {
  std::vector<int> iflags;  // after every call
  std::vector<double> xs;   // the block after every call
  int final_iflag = 0;
  int calls = 0;
  std::vector<double> x, f, g;  // the returned best point and its values
};

struct Runner {
  Caller c;
  TestProblem p;
  Context* context = nullptr;  // null: the process-wide context through kestro_

  explicit Runner(const TestProblem& problem) : p(problem) {
    c = Caller::with_sizes(p.l, 1, p.n, p.ni, p.m, p.me);
    c.xl = p.xl;
    c.xu = p.xu;
    for (int i = 0; i < p.l; ++i)
      for (int j = 0; j < p.n; ++j) c.x[i * p.n + j] = p.x0[j];
  }

  void evaluate() {
    for (int i = 0; i < p.l; ++i)
      p.model(&c.x[i * p.n], &c.f[i], p.m > 0 ? &c.g[i * p.m] : nullptr);
  }

  void call() {
    if (context == nullptr) return c.call();
    auto sc = SolverCall::from_arguments(
        &c.l, &c.o, &c.n, &c.ni, &c.m, &c.me, c.x.data(), c.f.data(),
        c.g.empty() ? nullptr : c.g.data(), c.xl.data(), c.xu.data(), &c.iflag, &c.istop, c.param,
        c.rw.data(), &c.lrw, c.iw.data(), &c.liw, c.pf.data(), &c.lpf);
    solver_entry(*context, sc);
  }

  // Evaluates the start block and makes the first call.
  void start() {
    evaluate();
    c.iflag = 0;
    c.istop = 0;
    call();
  }

  // Evaluates and calls until the run ends or `max_calls` further calls were
  // made; `before_call` may change IFLAG, ISTOP or the values first.
  RunTrace run(int max_calls, const std::function<void(Runner&, int)>& before_call = {},
               bool record = true) {
    RunTrace trace;
    start();
    if (record) {
      trace.iflags.push_back(c.iflag);
      trace.xs.insert(trace.xs.end(), c.x.begin(), c.x.end());
    }
    int calls = 1;
    while (c.istop == 0 && calls <= max_calls) {
      evaluate();
      if (before_call) before_call(*this, calls);
      call();
      ++calls;
      if (record) {
        trace.iflags.push_back(c.iflag);
        trace.xs.insert(trace.xs.end(), c.x.begin(), c.x.end());
      }
    }
    trace.final_iflag = c.iflag;
    trace.calls = calls;
    trace.x.assign(c.x.begin(), c.x.begin() + p.n);
    trace.f.assign(c.f.begin(), c.f.begin() + 1);
    trace.g.assign(c.g.begin(), c.g.begin() + p.m);
    return trace;
  }

  // The global-best record's F and residual in RW.
  double global_f() const { return c.rw[best_base() + p.n]; }
  double global_res() const { return c.rw[best_base() + p.n + p.m + 1]; }
  int best_base() const { return 5 * p.l + 107 * p.n + 6 * p.m + 7 + 616; }
};

}  // namespace kestro::testing
