// A caller of the print controller with arrays of exactly the declared
// lengths, RW laid out as the solver lays it out, and a clock set by hand.
#pragma once

#include <string>
#include <vector>

#include "core/workspace_layout.hpp"
#include "report/print_controller.hpp"
#include "report/report_fixture.hpp"

namespace kestro::testing {

struct PrintHarness {
  int l, o, n, ni = 0, m, me = 0;
  int printeval = 1, save2file = 0, maxeval = 100000000, maxtime = 1000000, timediv = 0;
  int iflag = 0, istop = 0;
  std::vector<double> x, f, g, xl, xu, rw, pf;
  double param[13] = {};
  report::ReportState state;

  PrintHarness(int points, int objectives, int variables, int constraints)
      : l(points), o(objectives), n(variables), m(constraints) {
    x.assign(static_cast<std::size_t>(l) * n, 0.5);
    f.assign(static_cast<std::size_t>(l) * o, 1.0);
    g.assign(static_cast<std::size_t>(l) * m, 0.0);
    xl.assign(n, 0.0);
    xu.assign(n, 1.0);
    rw.assign(static_cast<std::size_t>(required_real_workspace(l, o, n, m)), 0.0);
    pf.assign(o > 1 ? 1 + 1000 * static_cast<std::size_t>(o + m + n) : 1, 0.0);
    state.clock = &fake_clock;
    fake_seconds = 0.0;
  }

  void call(int stage) {
    const report::PrintCall c{
        stage, printeval, save2file, iflag, istop, ConstRealView(f.data(), Index(f.size())),
        ConstRealView(g.data(), Index(g.size())), RealView(x.data(), Index(x.size())),
        // clang-format off
                              ConstRealView(xl.data(), n), ConstRealView(xu.data(), n),
                              o, n, ni, m, me, rw.data(), pf.data(), maxeval, maxtime,
                              ConstRealView(param, 13), l, timediv};
    // clang-format on
    report::print_controller(state, c);
  }

  // STAGE 2 after a solver call that returned `solver_iflag`.
  void after_solver(int solver_iflag, int solver_istop = 0) {
    iflag = solver_iflag;
    istop = solver_istop;
    call(2);
  }

  int mk() const { return o >= 2 ? m + 2 * o : m; }
  int best_base() const { return 5 * l + 7 * o + 107 * n + 6 * m + 616; }
  double& at(int position) { return rw[static_cast<std::size_t>(position - 1)]; }

  // Writes a best-point record: X all `xv`, F, G all `gv`, residual.
  void set_record(bool global, double xv, double fv, double gv, double res) {
    const int base = global ? best_base() : 9;
    for (int i = 1; i <= n; ++i) at(base + i) = xv;
    at(base + n + 1) = fv;
    for (int j = 1; j <= mk(); ++j) at(base + n + 1 + j) = gv;
    at(base + n + mk() + 2) = res;
  }
};

// The EVAL and F texts of the progress lines in a screen text.
struct ProgressLine {
  int eval;
  std::string f;
};

inline std::vector<ProgressLine> progress_lines(const std::string& screen) {
  std::vector<ProgressLine> result;
  for (const std::string& line : lines_of(screen)) {
    if (line.size() == 79 && line.compare(0, 2, " [") == 0 && line[11] == ',' && line[10] >= '0' &&
        line[10] <= '9')
      result.push_back({std::stoi(line.substr(2, 9)), line.substr(34, 19)});
  }
  return result;
}

}  // namespace kestro::testing
