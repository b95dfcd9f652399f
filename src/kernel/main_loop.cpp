// The single-objective kernel's life cycle across calls: the start of a run,
// the colony phase, the pattern-search phase, outer restarts, the stopping
// tests and the return of the global best.
#include "kernel/main_loop.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/iflag_table.hpp"
#include "core/kernel_codes.hpp"
#include "core/numeric.hpp"
#include "core/param_positions.hpp"
#include "core/preset_names.hpp"
#include "core/random.hpp"
#include "core/workspace_layout.hpp"
#include "kernel/bookkeeping.hpp"
#include "kernel/bounds_profile.hpp"
#include "kernel/colony_step.hpp"
#include "kernel/kernel_records.hpp"
#include "kernel/outer_restart.hpp"
#include "kernel/pattern_search.hpp"
#include "kernel/presets.hpp"
#include "kernel/residual.hpp"
#include "kernel/validation.hpp"
#include "kernel/work_area.hpp"

namespace kestro::kernel {
namespace {

using iflag::kNotInitialised;
using iflag::kOuterRestartBlock;
using iflag::kPatternSearchBlock;
using state_code::kNewCycle;
using state_code::kTargetMet;

class Loop {
 public:
  Loop(KernelState& s, KernelCall& c) : s(s), c(c) {}

  void run() {
    s.kernel_calls =
        s.kernel_calls == INT32_MAX ? stage_limit::kCallsAfterWrap : s.kernel_calls + 1;
    if (s.preset_stage == 1 && s.kernel_calls > stage_limit::kStageOneCalls) {
      s.preset_stage = 2;
      request_preset();
    }
    if (c.iflag >= 0) return start();
    continue_run();
  }

 private:
  KernelState& s;
  KernelCall& c;

  KernelRecords records() const { return KernelRecords(c.n, c.m, s.best_base); }
  WorkArea work_area() const { return WorkArea::for_sizes(c.n, c.m, kArchiveCapacity); }
  ConstRealView preset_r() const { return s.preset.reals(); }
  ConstIntView preset_i() const { return s.preset.integers(); }
  ConstRealView point_g(Index i) const { return c.g.slice((i - 1) * c.m + 1, c.m); }
  RealView point_x(Index i) const { return c.x.slice((i - 1) * c.n + 1, c.n); }
  // Point i of the caller's block, and a record in RW, as records.
  RecordView block_point(Index i) const { return RecordView::point(i, c.x, c.f, c.g, c.n, c.m); }
  RecordView record(const RecordPositions& at) const { return RecordView::in(c.rw, at, c.n, c.m); }
  double fstop() const { return c.param[param::kFstop]; }

  // Installs the preset of the current stage (unless its guard declines).
  void request_preset() {
    select_preset(s.preset, PresetRequest{c.l, c.n, c.ni, c.param[param::kCharacter],
                                          s.preset_stage, s.kernel_calls});
  }

  RunSizes sizes_of_call() const {
    return RunSizes{
        c.l, c.o, c.n, c.ni, c.m, c.me, saturate_int(c.rw.size()), saturate_int(c.iw.size()), 0};
  }

  // A run is there to continue when validation passed with these sizes.
  bool run_initialised() const {
    return s.kernel_ready == 1 && s.validated_sizes == sizes_of_call();
  }

  void not_initialised() {
    c.iflag = kNotInitialised;
    c.istop = 1;
  }

  void write_profile() {
    const Index best_base = best_base_for(c.l, c.o, c.n, c.m);
    write_bounds_profile(c.rw, KernelRecords(c.n, c.m, best_base).profile, c.x, c.xl, c.xu, c.n);
  }

  // ---- Start of a call with IFLAG >= 0 --------------------------------------

  void start() {
    s.kernel_calls = 1;
    if (c.rw.holds(1, 2)) LaggedGenerator(&c.rw[1]).seed(c.param[param::kRandomSeed]);
    s.acc = c.param[param::kAccuracy] > 0 ? c.param[param::kAccuracy] : 0.001;
    if (iflag::answers_warning(c.iflag)) {
      // The answer to the first call's warning return; without a run behind
      // it there is nothing to continue.
      if (!run_initialised()) return not_initialised();
      s.warning_pending = 0;
      c.iflag = kNewCycle;
      return colony_step();
    }
    initialise();
  }

  void initialise() {
    s.preset_stage = 1;
    request_preset();
    s.kernel_ready = 0;
    const FirstCall first{c.l, c.o, c.n,  c.ni, c.m,     c.me, c.x,
                          c.f, c.g, c.xl, c.xu, c.param, c.rw, c.iw};
    KernelSizes sizes{s.archive_size, s.best_base, s.iw_kernel_len};
    validate_first_call(first, c.iflag, c.istop, sizes, s.warning_pending);
    s.archive_size = sizes.archive_size;
    s.best_base = sizes.best_base;
    s.iw_kernel_len = sizes.iw_kernel_len;
    if (iflag::is_input_error(c.iflag)) {
      if (c.iflag != iflag::kRealWorkspaceTooShort && c.iflag != iflag::kIntegerWorkspaceTooShort)
        write_profile();
      return;
    }
    if (s.warning_pending == 1) {
      s.warning_code = c.iflag;
      c.iflag = 0;
    }
    s.kernel_ready = 1;
    s.validated_sizes = sizes_of_call();
    pick_best_start_point(c.l, c.n, c.m, c.me, c.f, c.g, c.x, s.acc);

    s.algostop_ref_f = s.algostop_ref_res = 1e16;
    s.algostop_limit = trunc_to_int(c.param[param::kAlgostop]);
    s.evalstop_switch = trunc_to_int(c.param[param::kEvalstop]);

    const KernelRecords r = records();
    copy_record(block_point(1), record(r.global));
    c.rw[r.global.res] = residual(point_g(1), c.m, c.me, s.acc);

    s.cycle_count = 0;
    s.kernel_state_code = 0;
    const double global_f = c.rw[r.global.f];
    if (c.rw[r.global.res] > s.acc)
      c.rw[r.oracle] = c.param[param::kOracle] != 0 ? c.param[param::kOracle] : global_f + 1e9;
    else
      c.rw[r.oracle] = global_f;
    s.search_fail_count = 0;
    s.search_disabled = 0;
    std::int32_t reference_iflag = 0;
    evalstop_account(s.evalstop, c.f[1], point_g(1), c.m, c.me, s.acc, c.param, c.istop,
                     reference_iflag);
    colony_step();
  }

  // ---- A continuing call (IFLAG < 0) ------------------------------------------

  void continue_run() {
    if (!run_initialised()) return not_initialised();
    if (s.evalstop_switch > 0)
      for (Index i = 1; i <= c.l; ++i)
        evalstop_account(s.evalstop, c.f[i], point_g(i), c.m, c.me, s.acc, c.param, c.istop,
                         c.iflag);
    if (c.iflag == kPatternSearchBlock) return pattern_search_step();
    // The block that answers an outer restart starts a new kernel run from
    // its first point, also when a stop request or EVALSTOP has replaced the
    // -300 that announced it.
    if (c.iflag == kOuterRestartBlock || s.restart_pending == 1) s.kernel_state_code = 0;
    s.restart_pending = 0;
    colony_step();
  }

  // ---- Colony phase -----------------------------------------------------------

  void colony_step() {
    const std::int32_t final_call = c.istop != 0 ? 1 : 0;
    if (final_call == 1 && s.search_active == 1) return finish();

    // clang-format off
    ColonyCall colony{c.l, c.n, c.ni, c.m, c.me, c.x, c.f, c.g, c.xl, c.xu,
                      s.acc, s.kernel_state_code, final_call, c.rw, c.iw,
                      kArchiveCapacity, c.rw[records().oracle], c.param, c.pen, c.res,
                      preset_r(), preset_i()};
    // clang-format on
    kernel::colony_step(s.colony, s.coordinate_search, colony);

    if (s.kernel_state_code == kNewCycle && s.kernel_calls > stage_limit::kStageTwoAtCycleCalls) {
      if (s.preset_stage == 1) {
        s.preset_stage = 2;
        request_preset();
      }
      if (s.kernel_calls > stage_limit::kStageThreeAtCycleCalls && s.preset_stage == 2) {
        s.preset_stage = 3;
        request_preset();
      }
    }
    if (c.iflag != iflag::kEvalstopFeasible && c.iflag != iflag::kEvalstopInfeasible)
      c.iflag = s.kernel_state_code;
    if (c.iflag == kTargetMet) {
      copy_run_best_to_global();
      return finish();
    }
    if (final_call == 1) {
      merge_run_best(c.rw, records(), c.n, c.m, s.acc);
      return finish();
    }
    if (s.kernel_state_code == kNewCycle) s.cycle_count = s.cycle_count + 1;
    if (s.search_disabled == 1 || run_best_failed()) return outer_restart_check(false);
    if (s.cycle_count >= preset(preset_i(), PresetInteger::kRestartCycles))
      return start_pattern_search();
    exit();
  }

  // The run-best record replaces the global best without comparison.
  void copy_run_best_to_global() {
    const KernelRecords r = records();
    copy_record(record(r.run_best), record(r.global));
    if (c.rw[r.global.res] <= s.acc) c.rw[r.oracle] = c.rw[r.global.f];
  }

  bool run_best_failed() const {
    const WorkArea w = work_area();
    return is_failed_point(c.rw[w.run_best_f], &c.rw[w.run_best_g], c.m);
  }

  // ---- Pattern-search phase ---------------------------------------------------

  void start_pattern_search() {
    c.iflag = kPatternSearchBlock;
    s.search_active = 1;
    const WorkArea w = work_area();
    for (Index i = 1; i <= c.n; ++i) c.step[i] = std::max(std::sqrt(c.rw[w.spread(i)]), 1e-4);
    s.search_phase_code = 0;
    s.search_done = 0;
    // Every slot of the block holds the run-best point, so that the booking of
    // this call never pairs one point's X with another point's values.
    for (Index p = 1; p <= c.l; ++p) copy_record(record(w.run_best()), block_point(p));
    s.search_start_res = residual(point_g(1), c.m, c.me, s.acc);
    s.search_start_f = c.f[1];
    s.search_calls = 1;
    pattern_search_budget_and_booking();
  }

  void pattern_search_step() {
    s.search_active = 1;
    s.search_calls = s.search_calls + 1;
    pattern_search_budget_and_booking();
  }

  void pattern_search_budget_and_booking() {
    if (s.search_calls >
        std::int64_t{preset(preset_i(), PresetInteger::kPatternCallsPerVariable)} * c.n)
      s.search_done = 1;
    double t1 = preset(preset_r(), PresetReal::kPatternStepTolerance),
           t2 = preset(preset_r(), PresetReal::kPatternStepTolerance);
    const KernelRecords r = records();
    for (Index i = 1; i <= c.l; ++i)
      update_global_best(c.rw, r.global, point_x(i), c.f[i], point_g(i), c.n, c.m, c.me, s.acc);
    if (c.istop > 0) return finish();
    if (std::fabs(fstop()) > 1e-12 && c.rw[r.global.f] <= fstop() && c.rw[r.global.res] <= s.acc) {
      c.iflag = iflag::kTargetMet;
      return finish();
    }
    // clang-format off
    PatternSearchCall call{c.l, c.n, c.ni, c.m, c.me, c.x, c.f, c.g, c.xl, c.xu,
                           s.search_phase_code, s.search_done, c.step, t1, t2,
                           c.rw, c.iw, s.acc, preset_r(), preset_i()};
    // clang-format on
    run_pattern_search_call(s.pattern_search, call);
    if (s.search_done <= 0) return;  // the next pattern-search block

    const double r1 = residual(point_g(1), c.m, c.me, s.acc);
    const double gain =
        s.search_start_res <= s.acc
            ? (s.search_start_f - c.f[1]) / std::max(std::fabs(s.search_start_f), 1.0)
            : (s.search_start_res - r1) / std::max(std::fabs(s.search_start_res), 1.0);
    const double calls_per_variable = static_cast<double>(s.search_calls) / c.n;
    if (gain <= 0 || gain / std::sqrt(std::max(calls_per_variable, 1.0)) <=
                         preset(preset_r(), PresetReal::kPatternMinimumGain)) {
      s.search_fail_count = s.search_fail_count + 1;
      if (s.search_fail_count >= preset(preset_i(), PresetInteger::kPatternFailures))
        s.search_disabled = 1;
    } else {
      s.search_fail_count = 0;
    }
    const RecordPositions run = work_area().run_best();
    copy_record(block_point(1), record(run));
    c.rw[run.res] = r1;
    // A finished phase is always followed by an outer restart.
    outer_restart_check(true);
  }

  // ---- Outer restart ----------------------------------------------------------

  void outer_restart_check(bool after_pattern_search) {
    s.search_active = 0;
    if (!after_pattern_search && s.cycle_count < preset(preset_i(), PresetInteger::kRestartCycles))
      return exit();
    OuterRestartCall call{c.n,        c.ni,      c.m,  c.x,   c.xl,
                          c.xu,       c.rw,      c.iw, s.acc, c.param[param::kFocus],
                          preset_r(), preset_i()};
    const KernelRecords r = records();
    outer_restart(s, r, call);
    s.cycle_count = 0;
    c.iflag = kOuterRestartBlock;
    s.restart_pending = 1;
    if (s.algostop_limit > 0) {
      const std::int32_t ended = algostop_test(s, c.rw[r.global.f], c.rw[r.global.res], s.acc);
      if (ended != 0) {
        c.iflag = ended;
        return finish();
      }
    }
    exit();
  }

  // ---- Leaving the call -------------------------------------------------------

  void exit() {
    if (s.warning_pending == 1) c.iflag = s.warning_code;
    // The repair's scratch starts just past the kernel's integer area, whose
    // last cell is a coordinate-search flag that must survive the repair.
    if (preset(preset_r(), PresetReal::kIntegerSwitch) >= 1)
      for (Index i = 1; i <= c.l; ++i)
        make_integers_all_different(c.n, c.ni, point_x(i), c.xl, c.xu, c.rw, c.iw,
                                    s.iw_kernel_len + 1);
    c.istop = 0;
  }

  void finish() {
    const KernelRecords r = records();
    copy_record(record(r.global), block_point(1));
    if (c.iflag < iflag::kAlgostopFeasible || c.iflag > iflag::kTargetMet)
      c.iflag = c.rw[r.global.res] <= s.acc ? iflag::kStoppedFeasible : iflag::kStoppedInfeasible;
    c.istop = 1;
    write_profile();
  }
};

// Every point of a block handed out is finite and, where the width XU - XL
// of a variable overflows (the sampling's arithmetic then gives infinities),
// within its bounds: a value beyond a bound takes the bound, NaN the middle
// of the box (whole for an integer variable). Where the widths are finite
// the points are left as the search made them.
void keep_points_in_box(KernelCall& c) {
  for (Index p = 1; p <= c.l; ++p) {
    for (Index i = 1; i <= c.n; ++i) {
      double& x = c.x[(p - 1) * c.n + i];
      const double lo = c.xl[i], hi = c.xu[i];
      if (std::isfinite(x) && (std::isfinite(hi - lo) || (x >= lo && x <= hi))) continue;
      if (std::isnan(x)) {
        x = lo / 2 + hi / 2;
        if (i > c.n - c.ni) x = std::round(x);
      }
      x = std::max(lo, std::min(x, hi));
    }
  }
}

}  // namespace

void run_kernel_call(KernelState& state, KernelCall& call) {
  Loop(state, call).run();
  if (call.istop == 0 && call.iflag < 100) keep_points_in_box(call);
}

}  // namespace kestro::kernel
