// The single-objective kernel's life cycle across calls: the start of a run,
// the colony phase, the pattern-search phase, outer restarts, the stopping
// tests and the return of the global best.
#include "kernel/main_loop.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/numeric.hpp"
#include "core/random.hpp"
#include "kernel/validation.hpp"
#include "core/workspace_layout.hpp"
#include "kernel/bookkeeping.hpp"
#include "kernel/bounds_profile.hpp"
#include "kernel/colony_step.hpp"
#include "kernel/kernel_records.hpp"
#include "kernel/outer_restart.hpp"
#include "kernel/pattern_search.hpp"
#include "kernel/presets.hpp"
#include "kernel/residual.hpp"
#include "kernel/work_area.hpp"

namespace kestro::kernel {
namespace {

constexpr std::int32_t kNotInitialised = 701;
constexpr std::int32_t kPatternSearchBlock = -500;
constexpr std::int32_t kOuterRestartBlock = -300;
constexpr std::int32_t kNewCycle = -3;
constexpr std::int32_t kTargetMet = 7;
constexpr std::int32_t kArchiveCapacity = 100;

class Loop {
 public:
  Loop(KernelState& s, KernelCall& c) : s(s), c(c) {}

  void run() {
    s.kernel_calls = s.kernel_calls == INT32_MAX ? 9999999 : s.kernel_calls + 1;
    if (s.preset_stage == 1 && s.kernel_calls > 10000) {
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
  WorkArea run_best() const { return WorkArea::for_sizes(c.n, c.m, kArchiveCapacity); }
  ConstRealView preset_r() const { return ConstRealView(s.preset.preset_r, 17); }
  ConstIntView preset_i() const { return ConstIntView(s.preset.preset_i, 16); }
  ConstRealView point_g(Index i) const { return c.g.slice((i - 1) * c.m + 1, c.m); }
  RealView point_x(Index i) const { return c.x.slice((i - 1) * c.n + 1, c.n); }
  double fstop() const { return c.param[3]; }

  // Installs the preset of the current stage (unless its guard declines).
  void request_preset() {
    select_preset(s.preset, PresetRequest{c.l, c.n, c.ni, c.param[13], s.preset_stage,
                                          s.kernel_calls});
  }

  RunSizes sizes_of_call() const {
    return RunSizes{c.l, c.o, c.n, c.ni, c.m, c.me, saturate_int(c.rw.size()),
                    saturate_int(c.iw.size()), 0};
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
    write_bounds_profile(c.rw, KernelRecords(c.n, c.m, best_base).profile, c.x, c.xl, c.xu,
                         c.n);
  }

  // ---- Start of a call with IFLAG >= 0 --------------------------------------

  void start() {
    s.kernel_calls = 1;
    if (c.rw.holds(1, 2)) LaggedGenerator(&c.rw[1]).seed(c.param[2]);
    s.acc = c.param[1] > 0 ? c.param[1] : 0.001;
    if (c.iflag >= 11 && c.iflag <= 99) {
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
    const FirstCall first{c.l, c.o, c.n, c.ni, c.m, c.me, c.x, c.f, c.g, c.xl,
                          c.xu, c.param, c.rw, c.iw};
    KernelSizes sizes{s.archive_size, s.best_base, s.iw_kernel_len};
    validate_first_call(first, c.iflag, c.istop, sizes, s.warning_pending);
    s.archive_size = sizes.archive_size;
    s.best_base = sizes.best_base;
    s.iw_kernel_len = sizes.iw_kernel_len;
    if (c.iflag > 99) {
      if (c.iflag != 501 && c.iflag != 601) write_profile();
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
    s.algostop_limit = trunc_to_int(c.param[4]);
    s.evalstop_switch = trunc_to_int(c.param[5]);

    const KernelRecords r = records();
    for (Index i = 1; i <= c.n; ++i) c.rw[r.global_x + i - 1] = c.x[i];
    c.rw[r.global_f] = c.f[1];
    for (Index j = 1; j <= c.m; ++j) c.rw[r.global_g + j - 1] = c.g[j];
    c.rw[r.global_res] = residual(point_g(1), c.m, c.me, s.acc);

    s.cycle_count = 0;
    s.kernel_state_code = 0;
    const double global_f = c.rw[r.global_f];
    if (c.rw[r.global_res] > s.acc)
      c.rw[r.oracle] = c.param[9] != 0 ? c.param[9] : global_f + 1e9;
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

    ColonyCall colony{c.l, c.n, c.ni, c.m, c.me, c.x, c.f, c.g, c.xl, c.xu,
                      s.acc, s.kernel_state_code, final_call, c.rw, c.iw,
                      kArchiveCapacity, c.rw[records().oracle], c.param, c.pen, c.res,
                      preset_r(), preset_i()};
    kernel::colony_step(s.colony, s.coordinate_search, colony);

    if (s.kernel_state_code == kNewCycle && s.kernel_calls > 5000) {
      if (s.preset_stage == 1) {
        s.preset_stage = 2;
        request_preset();
      }
      if (s.kernel_calls > 100000 && s.preset_stage == 2) {
        s.preset_stage = 3;
        request_preset();
      }
    }
    if (c.iflag != 5 && c.iflag != 6) c.iflag = s.kernel_state_code;
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
    if (s.cycle_count >= s.preset.preset_i[10]) return start_pattern_search();
    exit();
  }

  // The run-best record replaces the global best without comparison.
  void copy_run_best_to_global() {
    const KernelRecords r = records();
    const WorkArea w = run_best();
    for (Index i = 1; i <= c.n; ++i) c.rw[r.global_x + i - 1] = c.rw[w.run_best_x + i - 1];
    c.rw[r.global_f] = c.rw[w.run_best_f];
    for (Index j = 1; j <= c.m; ++j) c.rw[r.global_g + j - 1] = c.rw[w.run_best_g + j - 1];
    c.rw[r.global_res] = c.rw[w.run_best_res];
    if (c.rw[r.global_res] <= s.acc) c.rw[r.oracle] = c.rw[r.global_f];
  }

  bool run_best_failed() const {
    const WorkArea w = run_best();
    return is_failed_point(c.rw[w.run_best_f], &c.rw[w.run_best_g], c.m);
  }

  // ---- Pattern-search phase ---------------------------------------------------

  void start_pattern_search() {
    c.iflag = kPatternSearchBlock;
    s.search_active = 1;
    const WorkArea w = run_best();
    for (Index i = 1; i <= c.n; ++i)
      c.step[i] = std::max(std::sqrt(c.rw[w.spread(i)]), 1e-4);
    s.search_phase_code = 0;
    s.search_done = 0;
    // Every slot of the block holds the run-best point, so that the booking of
    // this call never pairs one point's X with another point's values.
    for (Index p = 1; p <= c.l; ++p) {
      for (Index i = 1; i <= c.n; ++i) c.x[(p - 1) * c.n + i] = c.rw[w.run_best_x + i - 1];
      c.f[p] = c.rw[w.run_best_f];
      for (Index j = 1; j <= c.m; ++j) c.g[(p - 1) * c.m + j] = c.rw[w.run_best_g + j - 1];
    }
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
    if (s.search_calls > std::int64_t{s.preset.preset_i[14]} * c.n) s.search_done = 1;
    double t1 = s.preset.preset_r[10], t2 = s.preset.preset_r[10];
    const KernelRecords r = records();
    for (Index i = 1; i <= c.l; ++i)
      update_global_best(c.rw, global_best_positions(r), point_x(i), c.f[i], point_g(i), c.n,
                         c.m, c.me, s.acc);
    if (c.istop > 0) return finish();
    if (std::fabs(fstop()) > 1e-12 && c.rw[r.global_f] <= fstop() &&
        c.rw[r.global_res] <= s.acc) {
      c.iflag = kTargetMet;
      return finish();
    }
    PatternSearchCall call{c.l, c.n, c.ni, c.m, c.me, c.x, c.f, c.g, c.xl, c.xu,
                           s.search_phase_code, s.search_done, c.step, t1, t2,
                           c.rw, c.iw, s.acc, preset_r(), preset_i()};
    run_pattern_search_call(s.pattern_search, call);
    if (s.search_done <= 0) return;  // the next pattern-search block

    const double r1 = residual(point_g(1), c.m, c.me, s.acc);
    const double gain =
        s.search_start_res <= s.acc
            ? (s.search_start_f - c.f[1]) / std::max(std::fabs(s.search_start_f), 1.0)
            : (s.search_start_res - r1) / std::max(std::fabs(s.search_start_res), 1.0);
    const double calls_per_variable = static_cast<double>(s.search_calls) / c.n;
    if (gain <= 0 ||
        gain / std::sqrt(std::max(calls_per_variable, 1.0)) <= s.preset.preset_r[9]) {
      s.search_fail_count = s.search_fail_count + 1;
      if (s.search_fail_count >= s.preset.preset_i[13]) s.search_disabled = 1;
    } else {
      s.search_fail_count = 0;
    }
    const WorkArea w = run_best();
    for (Index i = 1; i <= c.n; ++i) c.rw[w.run_best_x + i - 1] = c.x[i];
    c.rw[w.run_best_f] = c.f[1];
    for (Index j = 1; j <= c.m; ++j) c.rw[w.run_best_g + j - 1] = c.g[j];
    c.rw[w.run_best_res] = r1;
    // A finished phase is always followed by an outer restart.
    outer_restart_check(true);
  }

  // ---- Outer restart ----------------------------------------------------------

  void outer_restart_check(bool after_pattern_search) {
    s.search_active = 0;
    if (!after_pattern_search && s.cycle_count < s.preset.preset_i[10]) return exit();
    OuterRestartCall call{c.n, c.ni, c.m, c.x, c.xl, c.xu, c.rw, c.iw, s.acc, c.param[6],
                          preset_r(), preset_i()};
    const KernelRecords r = records();
    outer_restart(s, r, call);
    s.cycle_count = 0;
    c.iflag = kOuterRestartBlock;
    s.restart_pending = 1;
    if (s.algostop_limit > 0) {
      const std::int32_t ended =
          algostop_test(s, c.rw[r.global_f], c.rw[r.global_res], s.acc);
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
    if (s.preset.preset_r[16] >= 1)
      for (Index i = 1; i <= c.l; ++i)
        make_integers_all_different(c.n, c.ni, point_x(i), c.xl, c.xu, c.rw, c.iw,
                                    s.iw_kernel_len + 1);
    c.istop = 0;
  }

  void finish() {
    const KernelRecords r = records();
    c.f[1] = c.rw[r.global_f];
    for (Index i = 1; i <= c.n; ++i) c.x[i] = c.rw[r.global_x + i - 1];
    for (Index j = 1; j <= c.m; ++j) c.g[j] = c.rw[r.global_g + j - 1];
    if (c.iflag < 3 || c.iflag > 7) c.iflag = c.rw[r.global_res] <= s.acc ? 1 : 2;
    c.istop = 1;
    write_profile();
  }
};

}  // namespace

void run_kernel_call(KernelState& state, KernelCall& call) { Loop(state, call).run(); }

}  // namespace kestro::kernel
