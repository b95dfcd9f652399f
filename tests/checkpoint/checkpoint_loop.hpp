// A caller's loop over a context of its own (the solver entry and the print
// controller), with the arrays of exactly the declared lengths, that can be
// saved to a checkpoint and resumed from one.
#pragma once

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "abi/default_context.hpp"
#include "checkpoint/checkpoint.hpp"
#include "interface/context.hpp"
#include "interface/solver_call.hpp"
#include "report/print_controller.hpp"

namespace kestro::testing {

struct LoopProblem {
  int l = 1, o = 1, n = 3, ni = 1, m = 1, me = 0;
  std::vector<double> xl, xu, x0;
  std::function<void(const double* x, double* f, double* g)> model;
  double seed = 1;
  int maxeval = 3000, maxtime = 1000000;
  int printeval = 0, save2file = 0;
};

// min (x-0.3)^2 + (y+0.4)^2 + 0.1 k  subject to  x + y + k >= 0.5, k integer.
inline LoopProblem single_objective(int l) {
  LoopProblem p;
  p.l = l;
  p.xl = {-2, -2, 0};
  p.xu = {2, 2, 4};
  p.x0 = {1.5, 1.5, 3};
  p.model = [](const double* x, double* f, double* g) {
    f[0] = (x[0] - 0.3) * (x[0] - 0.3) + (x[1] + 0.4) * (x[1] + 0.4) + 0.1 * x[2];
    g[0] = x[0] + x[1] + x[2] - 0.5;
  };
  return p;
}

// Two objectives of the same variables and constraint.
inline LoopProblem two_objectives(int l) {
  LoopProblem p = single_objective(l);
  p.o = 2;
  p.model = [](const double* x, double* f, double* g) {
    f[0] = x[0] * x[0] + x[1] * x[1] + 0.1 * x[2];
    f[1] = (x[0] - 1) * (x[0] - 1) + (x[1] - 0.5) * (x[1] - 0.5) + 0.2 * x[2];
    g[0] = x[0] + x[1] + x[2] - 0.5;
  };
  return p;
}

struct Loop {
  LoopProblem p;
  std::unique_ptr<Context> own = std::make_unique<Context>();
  Context* context = own.get();
  int lrw = 0, liw = 0, lpf = 1, iflag = 0, istop = 0;
  std::vector<double> x, f, g, xl, xu, rw, pf, extra;
  std::vector<int> iw;
  double param[13] = {};
  int calls = 0;
  std::vector<int> iflags;                  // after every solver call
  std::vector<std::vector<double>> blocks;  // X after every solver call
  std::vector<int> searching;               // the pattern search ran the call

  // `process_wide`: the context behind the exported entries, as a program
  // has it; otherwise a context of the loop's own. The report's clock stands
  // still, so that TIME and the files are the same in every run.
  explicit Loop(const LoopProblem& problem, bool process_wide = false, int lextra = 0)
      : p(problem) {
    if (process_wide) {
      own.reset();
      context = &abi::default_context();
    }
    context->report.clock = [] { return 0.0; };
    static std::FILE* const quiet = std::fopen("/dev/null", "w");
    context->report.units.set_screen(quiet);
    lrw = 120 * p.n + 20 * p.m + p.l * (p.m + 2 * p.o + 20) + p.o * (p.o + 20) + 4990;
    liw = p.l + 3 * p.n + 990;
    lpf = p.o > 1 ? 1000 * (p.n + p.m + p.o) + 1 : 1;
    x.assign(std::size_t(p.l * p.n), 0.0);
    f.assign(std::size_t(p.l * p.o), 0.0);
    g.assign(std::size_t(p.l * p.m), 0.0);
    xl.assign(std::size_t(p.n), 0.0);
    xu.assign(std::size_t(p.n), 0.0);
    rw.assign(std::size_t(lrw), 0.0);
    iw.assign(std::size_t(liw), 0);
    pf.assign(std::size_t(lpf), 0.0);
    extra.assign(std::size_t(lextra), 0.0);
  }

  // Bounds, start points and PARAM, then STAGE 1 of the report.
  void begin() {
    xl = p.xl;
    xu = p.xu;
    for (int i = 0; i < p.l; ++i)
      for (int j = 0; j < p.n; ++j) x[std::size_t(i * p.n + j)] = p.x0[std::size_t(j)];
    param[1] = p.seed;
    print(1);
  }

  void evaluate() {
    for (int i = 0; i < p.l; ++i)
      p.model(&x[std::size_t(i * p.n)], &f[std::size_t(i * p.o)], &g[std::size_t(i * p.m)]);
  }

  void print(int stage) {
    const report::PrintCall c{
        stage, p.printeval, p.save2file, iflag, istop, ConstRealView(f.data(), Index(f.size())),
        ConstRealView(g.data(), Index(g.size())), RealView(x.data(), Index(x.size())),
        // clang-format off
                              ConstRealView(xl.data(), p.n), ConstRealView(xu.data(), p.n),
                              p.o, p.n, p.ni, p.m, p.me, rw.data(), pf.data(), p.maxeval,
                              p.maxtime, ConstRealView(param, 13), p.l, 0, lrw, lpf};
    // clang-format on
    report::print_controller(context->report, c);
  }

  // One turn of the loop: evaluate, call the solver, report.
  void step() {
    evaluate();
    auto c = SolverCall::from_arguments(&p.l, &p.o, &p.n, &p.ni, &p.m, &p.me, x.data(), f.data(),
                                        g.data(), xl.data(), xu.data(), &iflag, &istop, param,
                                        rw.data(), &lrw, iw.data(), &liw, pf.data(), &lpf);
    solver_entry(*context, c);
    print(2);
    ++calls;
    iflags.push_back(iflag);
    blocks.push_back(x);
    searching.push_back(context->solver.kernel.search_active);
  }

  // Turns until the run ends, or until `stop(loop)` is true after a turn.
  void run(const std::function<bool(const Loop&)>& stop = {}) {
    while (istop == 0) {
      step();
      if (stop && istop == 0 && stop(*this)) return;
    }
  }

  checkpoint::CallerRun caller() {
    checkpoint::CallerRun r;
    int lextra = int(extra.size());
    const bool complete = checkpoint::CallerRun::from_arguments(
        &p.l, &p.o, &p.n, &p.ni, &p.m, &p.me, x.data(), f.data(), g.data(), xl.data(), xu.data(),
        &iflag, &istop, param, rw.data(), &lrw, iw.data(), &liw, pf.data(), &lpf, extra.data(),
        &lextra, r);
    EXPECT_TRUE(complete);
    return r;
  }

  checkpoint::Status save(const std::string& path) {
    return checkpoint::save(*context, path.c_str(), caller());
  }
  checkpoint::Status load(const std::string& path) {
    checkpoint::CallerRun r = caller();
    return checkpoint::load(*context, path.c_str(), r);
  }
};

}  // namespace kestro::testing
