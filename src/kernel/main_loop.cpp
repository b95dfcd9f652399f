// PROVISIONAL kernel main loop: it starts a run (seeding, the stage-1 preset,
// validation, the global-best record and oracle value), moves to the stage-2
// preset after 10000 calls, returns the warning once, refuses a continuing
// call without an initialised run, and ends a run on request with the global
// best. The colony phase, pattern search, outer restarts and the FSTOP,
// ALGOSTOP and EVALSTOP tests are not here yet: until they are, a continuing
// call hands the block back unchanged.
#include "kernel/main_loop.hpp"

#include <cstdint>

#include "interface/numeric.hpp"
#include "interface/random.hpp"
#include "interface/validation.hpp"
#include "interface/workspace_layout.hpp"
#include "interface/context.hpp"
#include "kernel/bounds_profile.hpp"
#include "kernel/kernel_records.hpp"
#include "kernel/presets.hpp"
#include "kernel/residual.hpp"
#include "kestro.h"

namespace kestro::kernel {
namespace {

constexpr std::int32_t kNotInitialised = 701;

struct Loop {
  KernelState& s;
  KernelCall& c;

  KernelRecords records() const { return KernelRecords(c.n, c.m, s.best_base); }

  void write_profile() {
    const Index best_base = best_base_for(c.l, c.o, c.n, c.m);
    write_bounds_profile(c.rw, KernelRecords(c.n, c.m, best_base).profile, c.x,
                         c.xl, c.xu, c.n);
  }

  void start() {
    s.colony_cells[0] = s.colony_cells[1] = 0;
    s.kernel_calls = 1;
    if (c.rw.holds(1, 2)) LaggedGenerator(&c.rw[1]).seed(c.param[2]);
    s.acc = c.param[1] > 0 ? c.param[1] : 0.001;
    if (c.iflag >= 11 && c.iflag <= 99) {
      // The answer to the first call's warning return. Without a run behind
      // it there is nothing to continue.
      if (!run_initialised()) return not_initialised();
      s.warning_pending = 0;
      c.iflag = -3;
      return colony_step();
    }
    initialise();
  }

  // Installs the preset of the current stage (unless its guard declines).
  void request_preset() {
    select_preset(s.preset, PresetRequest{c.l, c.n, c.ni, c.param[13], s.preset_stage,
                                          s.kernel_calls});
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
    s.algostop_ref_f = s.algostop_ref_res = 1e16;
    s.algostop_limit = trunc_to_int(c.param[4]);
    s.evalstop_switch = trunc_to_int(c.param[5]);

    const KernelRecords r = records();
    for (Index i = 1; i <= c.n; ++i) c.rw[r.global_x + i - 1] = c.x[i];
    c.rw[r.global_f] = c.f[1];
    for (Index j = 1; j <= c.m; ++j) c.rw[r.global_g + j - 1] = c.g[j];
    c.rw[r.global_res] = residual(c.g, c.m, c.me, s.acc);

    s.cycle_count = 0;
    s.kernel_state_code = 0;
    const double global_f = c.rw[r.global_f];
    if (c.rw[r.global_res] > s.acc)
      c.rw[r.oracle] = c.param[9] != 0 ? c.param[9] : global_f + 1e9;
    else
      c.rw[r.oracle] = global_f;
    s.search_fail_count = 0;
    s.search_disabled = 0;
    colony_step();
  }

  void not_initialised() {
    c.iflag = kNotInitialised;
    c.istop = 1;
  }

  void colony_step() {
    const bool final_call = c.istop != 0;
    if (final_call) return finish();
    // Provisional: the colony phase is not built yet; the block goes back
    // unchanged as points of the current generation.
    if (c.iflag != 5 && c.iflag != 6) c.iflag = -1;
    exit();
  }

  void exit() {
    if (s.warning_pending == 1) c.iflag = s.warning_code;
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

  RunSizes sizes_of_call() const {
    return RunSizes{c.l, c.o, c.n, c.ni, c.m, c.me, saturate_int(c.rw.size()),
                    saturate_int(c.iw.size()), 0};
  }

  // A run is there to continue when validation passed with these sizes.
  bool run_initialised() const {
    return s.kernel_ready == 1 && s.validated_sizes == sizes_of_call();
  }

  void run() {
    s.kernel_calls = s.kernel_calls == INT32_MAX ? 9999999 : s.kernel_calls + 1;
    if (s.preset_stage == 1 && s.kernel_calls > 10000) {
      s.preset_stage = 2;
      request_preset();
    }
    if (c.iflag >= 0) return start();
    if (!run_initialised()) return not_initialised();
    colony_step();
  }
};

}  // namespace

void run_kernel_call(KernelState& state, KernelCall& call) { Loop{state, call}.run(); }

}  // namespace kestro::kernel

// Single-objective kernel: books the evaluated block and returns the next.
extern "C" void o15_(const int* l, const int* o, const int* n, const int* ni,
                     const int* m, const int* me, double* x, double* f,
                     double* g, const double* xl, const double* xu, int* iflag,
                     int* istop, const double* param, double* rw,
                     const int* lrw, int* iw, const int* liw, double* pen,
                     double* res, double* step) {
  using namespace kestro;
  const Index points = *l > 0 ? *l : 0;
  const Index variables = *n > 0 ? *n : 0;
  kernel::KernelCall call{*l, *o, *n, *ni, *m, *me,
                          RealView(x, block_length(*l, *n)),
                          RealView(f, block_length(*l, *o)),
                          RealView(g, block_length(*l, *m)),
                          ConstRealView(xl, variables),
                          ConstRealView(xu, variables),
                          *iflag, *istop,
                          ConstRealView(param, 13),
                          RealView(rw, *lrw),
                          IntView(iw, *liw),
                          RealView(pen, points),
                          RealView(res, points),
                          RealView(step, variables)};
  kernel::run_kernel_call(process_context().solver.kernel, call);
}
