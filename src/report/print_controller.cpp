#include "report/print_controller.hpp"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>

#include "core/iflag_table.hpp"
#include "core/numeric.hpp"
#include "core/param_positions.hpp"
#include "core/workspace_layout.hpp"
#include "kernel/kernel_records.hpp"
#include "report/array_reads.hpp"
#include "report/header.hpp"
#include "report/history.hpp"
#include "report/pareto_file.hpp"
#include "report/progress.hpp"
#include "report/solution.hpp"

namespace kestro::report {
namespace {

using iflag::kOuterRestartBlock;
using iflag::kPatternSearchBlock;
using iflag::kStopRequest;
constexpr int kNoEvaluationLimit = 99999998;

// 32-bit counters wrap around as two's complement integers do.
std::int32_t wrapping_add(std::int32_t a, std::int64_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

// Constraint entries of a record: M, and 2*O more with several objectives.
Index record_constraints(int o, int m) {
  const Index constraints = count_of(m);
  return o >= 2 ? constraints + 2 * Index(o) : constraints;
}

// True when the sizes give a workspace layout that the solver can accept:
// sizes in range and a minimum length that a 32-bit LRW can reach.
bool has_rw_layout(const PrintCall& c) {
  if (c.l < 1 || c.o < 1 || c.n < 1 || c.m < 0) return false;
  return required_real_workspace(c.l, c.o, c.n, c.m) <= Wide(INT32_MAX);
}

// RW as far as the solver lays it out for these sizes (its minimum length),
// or nothing when the sizes give no layout or the solver said RW is shorter
// (`solver_iflag`, the IFLAG the call came with).
ConstRealView layout_of_rw(const PrintCall& c, std::int32_t solver_iflag) {
  if (c.rw == nullptr || !has_rw_layout(c)) return {};
  if (solver_iflag == iflag::kRealWorkspaceTooShort) return {};
  Index length = saturate_index(required_real_workspace(c.l, c.o, c.n, c.m));
  if (c.rw_known_length >= 0 && c.rw_known_length < length) length = c.rw_known_length;
  return ConstRealView(c.rw, length);
}

// PF as far as the front store lays it out; read only with several objectives.
ConstRealView layout_of_pf(const PrintCall& c, int pmax) {
  if (c.pf == nullptr || c.o < 2) return {};
  Index length = pareto_store_length(c.o, c.m, c.n, pmax);
  if (c.pf_known_length >= 0 && c.pf_known_length < length) length = c.pf_known_length;
  return ConstRealView(c.pf, length);
}

int front_size(ConstRealView pf) { return pf.holds(1) ? nint(pf[1]) : 0; }

bool resize(std::vector<double>& buffer, Index length) {
  try {
    buffer.assign(static_cast<std::size_t>(length), 0.0);
    return true;
  } catch (const std::exception&) {
    buffer.clear();
    return false;
  }
}

// The clock of one call: TIME is read from the run's clock at most once a
// call and only when something needs it (a progress line, the final report
// or the time budget).
class CallClock {
 public:
  CallClock(ReportState& state, int l, int timediv) : s_(state), l_(l), timediv_(timediv) {}

  void refresh() {
    if (read_) return;
    read_ = true;
    now_ = steady_now();
    s_.controller.time = report_time(s_.clock, l_, timediv_) - s_.controller.t_start;
  }

  // False only when the process CPU clock cannot have reached MAXTIME since
  // it was last read. A clock other than the process's (a test's) is read
  // on every call.
  bool budget_may_be_spent() const {
    if (s_.clock != &process_cpu_seconds || !s_.clock_gate.armed) return true;
    return steady_now() >= s_.clock_gate.next_read;
  }

  // After a reading: the earliest wall-clock time at which the process,
  // running on every processor, could have used the CPU time left, with a
  // margin of two.
  void arm_gate() {
    ClockGate& gate = s_.clock_gate;
    gate.armed = false;
    if (s_.clock != &process_cpu_seconds) return;
    const ControllerState& st = s_.controller;
    double left = st.maxtime_s - st.time;                // in the units of TIME
    if (timediv_ == 1) left *= static_cast<double>(l_);  // back to CPU seconds
    if (!(left > 0.0)) return;
    const long processors = sysconf(_SC_NPROCESSORS_CONF);
    const double wall = left / (2.0 * static_cast<double>(processors > 0 ? processors : 1));
    constexpr double kLongest = 1e9;  // seconds; keeps the sum in range
    // Two resolutions earlier: the reading before may have lagged by one,
    // the one that is compared by another.
    const std::int64_t lag = 2 * steady_resolution();
    const std::int64_t span = static_cast<std::int64_t>(std::min(wall, kLongest) * 1e9);
    if (span <= lag) return;
    gate.next_read = now_ + (span - lag);
    gate.armed = true;
  }

 private:
  // The gate's clock: the coarse monotonic clock, which costs a few
  // nanoseconds where the fine one costs tens on every call; it may lag the
  // fine one by its resolution, which the gate allows for.
  static std::int64_t steady_now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
  }

  static std::int64_t steady_resolution() {
    timespec r{};
    if (clock_getres(CLOCK_MONOTONIC_COARSE, &r) != 0) return 1000000000;
    return static_cast<std::int64_t>(r.tv_sec) * 1000000000 + r.tv_nsec;
  }

  ReportState& s_;
  const int l_, timediv_;
  bool read_ = false;
  std::int64_t now_ = 0;  // steady-clock nanoseconds just before the reading
};

// The time and evaluation budgets after a call that left the run going on
// (ISTOP = 0): IFLAG becomes the stop request when one is spent.
void apply_budgets(ReportState& state, CallClock& clock, int maxeval, std::int32_t& iflag) {
  ControllerState& st = state.controller;
  if (clock.budget_may_be_spent()) {
    clock.refresh();
    clock.arm_gate();
    if (st.time >= st.maxtime_s) iflag = kStopRequest;
  }
  if (static_cast<std::int64_t>(st.eval) >= static_cast<std::int64_t>(maxeval) - 1 &&
      maxeval <= kNoEvaluationLimit)
    iflag = kStopRequest;
}

class Controller {
 public:
  Controller(ReportState& state, const PrintCall& call)
      : s_(state),
        st_(state.controller),
        u_(state.units),
        c_(call),
        mk_(record_constraints(call.o, call.m)),
        clock_(state, call.l, call.timediv),
        solver_iflag_(call.iflag) {}

  void run() {
    if (c_.stage == 1) start_run();
    if (c_.save2file > 1) update_history();
    if (c_.stage == 2) after_solver_call();
  }

 private:
  void start_run() {
    c_.istop = 0;
    c_.iflag = 0;
    st_ = ControllerState{};
    st_.maxtime_s = static_cast<double>(c_.maxtime);
    st_.l = c_.l;
    st_.timediv = c_.timediv;
    st_.t_start = report_time(s_.clock, c_.l, c_.timediv);
    s_.clock_gate = ClockGate{};
    st_.eval = 0;
    const double accuracy = value_or_nan(c_.param, param::kAccuracy);
    st_.accuracy = accuracy > 0.0 ? accuracy : 0.001;
    const kernel::KernelRecords records(c_.n, mk_, best_base_for(c_.l, c_.o, c_.n, mk_));
    st_.run_best = records.run_best;
    st_.global_best = records.global;

    if (c_.save2file > 0 && c_.printeval > 0) {
      u_.open(kScreenCopyUnit, kScreenCopyName);
      u_.open(kSolutionUnit, kSolutionName);
    }

    st_.print_count = 0;
    // The front's blocks lie in PF as the multi-objective driver laid them out.
    st_.pmax = front_capacity(value_or_nan(c_.param, param::kParetomax));
    // The displayed point's buffers hold one record; without a layout no
    // record is ever read, and nothing is allocated.
    if (has_rw_layout(c_)) {
      resize(st_.shown_x, count_of(c_.n));
      resize(st_.shown_g, mk_);
    }

    if (c_.printeval > 0) {
      const HeadArguments head{c_.l,     c_.o,       c_.n,       c_.ni,        c_.m,        c_.me,
                               c_.param, c_.maxeval, c_.maxtime, c_.printeval, c_.save2file};
      print_head(u_, kScreenUnit, head);
      if (c_.save2file > 0) {
        print_head(u_, kScreenCopyUnit, head);
        print_solution_preamble(u_, kSolutionUnit);
        u_.flush(kScreenCopyUnit);
        u_.flush(kSolutionUnit);
      }
    }
  }

  void update_history() {
    const HistoryArguments a{c_.save2file, c_.l, c_.o,         c_.n,     c_.m,    c_.f,
                             c_.g,         c_.x, kHistoryUnit, c_.iflag, c_.istop};
    save_history(u_, s_.history, a);
  }

  void after_solver_call() {
    st_.eval = wrapping_add(st_.eval, c_.l);

    if (iflag::has_banner(c_.iflag)) {
      print_iflag_banner(u_, kScreenUnit, c_.iflag);
      if (c_.save2file > 0) {
        print_iflag_banner(u_, kScreenCopyUnit, c_.iflag);
        print_iflag_banner(u_, kSolutionUnit, c_.iflag);
      }
    }

    if (c_.printeval > 0) progress(rw(), pf());

    // The budgets.
    if (c_.istop < 0) return;
    if (c_.istop == 0) {
      apply_budgets(s_, clock_, c_.maxeval, c_.iflag);
      if (c_.maxeval > 1) return;
      // MAXEVAL <= 1: the first block is the result.
      c_.iflag = 0;
      c_.istop = 1;
      if (st_.shown_from_record) {
        for (Index i = 1; i <= c_.n && i <= Index(st_.shown_x.size()); ++i)
          if (c_.x.holds(i)) c_.x[i] = st_.shown_x[i - 1];
      }
    }
    final_report(rw(), pf());
  }

  // RW and PF as the layout for the call's sizes gives them, worked out on
  // first use (from the IFLAG the call came with, which the budgets may
  // have replaced since): a call that shows nothing never needs them.
  ConstRealView rw() {
    if (!rw_known_) rw_ = layout_of_rw(c_, solver_iflag_), rw_known_ = true;
    return rw_;
  }
  ConstRealView pf() {
    if (!pf_known_) pf_ = layout_of_pf(c_, st_.pmax), pf_known_ = true;
    return pf_;
  }

  void progress(ConstRealView rw, ConstRealView pf) {
    st_.print_count = wrapping_add(st_.print_count, c_.l);
    if (!(st_.print_count >= c_.printeval || st_.eval == c_.l || c_.iflag > 0)) return;
    if (st_.eval < 0) {
      // The 32-bit counter has wrapped.
      st_.print_count = 0;
      st_.eval =
          wrapping_add(wrapping_add(0, -std::int64_t(st_.eval)), -2 * std::int64_t(c_.printeval));
    }
    if (st_.eval > c_.l) st_.print_count = 0;

    show_best_record(rw);
    const int psize = front_size(pf);
    if (iflag::is_input_error(c_.iflag)) return;

    refresh_time();
    print_line(u_, kScreenUnit, c_.o, st_.eval, st_.time, st_.shown_f, st_.shown_res, psize);
    if (c_.save2file <= 0) return;
    print_line(u_, kScreenCopyUnit, c_.o, st_.eval, st_.time, st_.shown_f, st_.shown_res, psize);

    const bool same_residual =
        !(st_.shown_res > st_.file_best_res) && !(st_.file_best_res > st_.shown_res);
    if (st_.shown_res < st_.file_best_res || (same_residual && st_.shown_f < st_.file_best_f)) {
      st_.file_best_f = st_.shown_f;
      st_.file_best_res = st_.shown_res;
      print_current_best_title(u_, kSolutionUnit);
      print_solution(u_, kSolutionUnit, shown_point(st_.shown_f, st_.shown_res, psize));
    }
    u_.flush(kScreenCopyUnit);
    u_.flush(kSolutionUnit);
    if (c_.o > 1) {
      const ParetoFileArguments front{c_.o,    c_.m, c_.n, pf, view(st_.shown_x), view(st_.shown_g),
                                      st_.pmax};
      print_paretofront(u_, kParetoFrontUnit, front);
    }
  }

  // Copies the record to display: the global best when the run-best is worse
  // or the block came from the end of the run, an outer restart or the
  // pattern search; otherwise the run-best.
  void show_best_record(ConstRealView rw) {
    const double r1 = value_or_nan(rw, st_.run_best.res);
    const double r2 = value_or_nan(rw, st_.global_best.res);
    const double f1 = value_or_nan(rw, st_.run_best.f);
    const double f2 = value_or_nan(rw, st_.global_best.f);
    const bool residuals_differ = r1 > r2 || r1 < r2;
    const bool run_best_worse = residuals_differ ? r1 > r2 : f1 > f2;
    const bool global = run_best_worse || c_.iflag > 0 || c_.iflag == kOuterRestartBlock ||
                        c_.iflag == kPatternSearchBlock;
    copy_record(rw, global ? st_.global_best : st_.run_best);
  }

  // A record is copied only when RW's layout and the buffers hold all of it.
  void copy_record(ConstRealView rw, const RecordPositions& r) {
    const Index n = count_of(c_.n);
    if (!rw.holds(r.x, n) || !rw.holds(r.f) || !rw.holds(r.g, mk_) || !rw.holds(r.res)) return;
    if (Index(st_.shown_x.size()) < n || Index(st_.shown_g.size()) < mk_) return;
    st_.shown_res = rw[r.res];
    st_.shown_f = rw[r.f];
    for (Index i = 1; i <= n; ++i) st_.shown_x[i - 1] = rw[r.x + i - 1];
    for (Index j = 1; j <= mk_; ++j) st_.shown_g[j - 1] = rw[r.g + j - 1];
    st_.shown_from_record = true;
  }

  void final_report(ConstRealView rw, ConstRealView pf) {
    const Index m = count_of(c_.m);
    for (Index j = 1; j <= m && j <= Index(st_.shown_g.size()); ++j)
      st_.shown_g[j - 1] = value_or_nan(c_.g, j);
    if (c_.o == 1) {
      st_.shown_f = value_or_nan(c_.f, 1);
    } else if (c_.o > 1) {
      const RecordPositions& r = st_.global_best;
      const Index objective_entries = 2 * Index(c_.o);
      if (rw.holds(r.f) && rw.holds(r.g + m, objective_entries) &&
          Index(st_.shown_g.size()) >= m + objective_entries) {
        st_.shown_f = rw[r.f];
        for (Index k = 1; k <= objective_entries; ++k) st_.shown_g[m + k - 1] = rw[r.g + m + k - 1];
      }
    }
    if (c_.printeval <= 0) return;

    refresh_time();
    const Index n = count_of(c_.n);
    const FinalArguments a{
        // clang-format off
        c_.iflag, st_.time, st_.maxtime_s, st_.eval, c_.maxeval, c_.param,
        SolutionArguments{c_.o, c_.n, c_.m, c_.me, c_.x.slice(1, n), view(st_.shown_g),
                          st_.shown_f, value_or_nan(rw, st_.global_best.res),
                          front_size(pf), c_.xl, c_.xu, st_.accuracy, st_.eval, st_.time,
                          c_.iflag}};
    // clang-format on
    print_final(u_, kScreenUnit, a);
    if (c_.save2file > 0) {
      print_final(u_, kScreenCopyUnit, a);
      print_final(u_, kSolutionUnit, a);
      u_.flush(kScreenCopyUnit);
      u_.flush(kSolutionUnit);
      u_.close(kScreenCopyUnit);
      u_.close(kSolutionUnit);
    }
  }

  void refresh_time() { clock_.refresh(); }

  SolutionArguments shown_point(double f, double res, int psize) const {
    return SolutionArguments{
        c_.o,  c_.n,  c_.m,  c_.me,        view(st_.shown_x), view(st_.shown_g), f,       res,
        psize, c_.xl, c_.xu, st_.accuracy, st_.eval,          st_.time,          c_.iflag};
  }

  static ConstRealView view(const std::vector<double>& v) {
    return ConstRealView(v.data(), static_cast<Index>(v.size()));
  }

  ReportState& s_;
  ControllerState& st_;
  OutputUnits& u_;
  const PrintCall& c_;
  const Index mk_;
  CallClock clock_;
  const std::int32_t solver_iflag_;
  ConstRealView rw_, pf_;
  bool rw_known_ = false, pf_known_ = false;
};

}  // namespace

bool count_quiet_call(ReportState& state, const QuietCall& call) {
  if (call.stage != 2 || call.printeval > 0 || call.save2file > 1 || call.istop != 0 ||
      call.maxeval <= 1 || iflag::has_banner(call.iflag))
    return false;
  ControllerState& st = state.controller;
  st.eval = wrapping_add(st.eval, call.l);
  CallClock clock(state, call.l, call.timediv);
  apply_budgets(state, clock, call.maxeval, call.iflag);
  return true;
}

void print_controller(ReportState& state, const PrintCall& call) {
  if (count_quiet_call(state, QuietCall{call.stage, call.printeval, call.save2file, call.iflag,
                                        call.istop, call.maxeval, call.l, call.timediv}))
    return;
  Controller(state, call).run();
}

}  // namespace kestro::report
