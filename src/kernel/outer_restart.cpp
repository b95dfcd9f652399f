#include "kernel/outer_restart.hpp"

#include <cmath>

#include "core/iflag_table.hpp"
#include "core/numeric.hpp"
#include "core/preset_names.hpp"
#include "core/random.hpp"
#include "kernel/deviate.hpp"
#include "kernel/work_area.hpp"

namespace kestro::kernel {

void merge_run_best(RealView rw, const KernelRecords& r, Index n, Index m, double acc) {
  const double run_res = rw[r.run_best.res], global_res = rw[r.global.res];
  const bool better = (global_res > acc && run_res < global_res) ||
                      (global_res <= acc && run_res <= acc && rw[r.run_best.f] < rw[r.global.f]);
  if (!better) return;
  copy_record(RecordView::in(rw, r.run_best, n, m), RecordView::in(rw, r.global, n, m));
  if (run_res <= acc) rw[r.oracle] = rw[r.global.f];
}

namespace {

void uniform_start_point(OuterRestartCall& c, LaggedGenerator& generator) {
  for (Index i = 1; i <= c.n; ++i) {
    const double u = generator.draw();
    double x = c.xl[i] + (c.xu[i] - c.xl[i]) * u;
    if (i > c.n - c.ni) x = anint(x);
    c.x[i] = x;
  }
}

void gaussian_start_point(OuterRestartCall& c, const KernelRecords& r, LaggedGenerator& generator) {
  const double damping = preset(c.preset_r, PresetReal::kRestartDamping);
  for (Index i = 1; i <= c.n; ++i) {
    const double lo = c.xl[i], hi = c.xu[i], d = hi - lo;
    const bool integer = i > c.n - c.ni;
    double s;
    if (c.ni > 0) {
      s = preset(c.preset_r, PresetReal::kRestartIntegerSpread) * d;
    } else {
      const double u0 = generator.draw();
      s = d / (std::pow(10.0, preset(c.preset_i, PresetInteger::kRestartSpreadExponent)) * u0);
    }
    if (integer)
      s = std::max((d - d / std::sqrt(c.ni + 0.1)) /
                       preset(c.preset_i, PresetInteger::kRestartIntegerDivisor),
                   s);
    const double u1 = generator.draw();
    const double u2 = generator.draw();
    double z = deviate(u1, u2) * s + c.rw[r.global.x + i - 1];
    if (z < lo) z = lo + (lo - z) * damping;
    if (z > hi) z = hi - (z - hi) * damping;
    if (z < lo) z = lo;
    if (z > hi) z = hi;
    if (integer) z = anint(z);
    c.x[i] = z;
  }
}

}  // namespace

void outer_restart(const KernelState& state, const KernelRecords& records, OuterRestartCall& c) {
  merge_run_best(c.rw, records, c.n, c.m, c.acc);
  for (Index i = 10; i <= state.best_base; ++i) c.rw[i] = 0.0;
  for (Index i = 1; i <= state.iw_kernel_len; ++i) c.iw[i] = 0;
  LaggedGenerator generator(&c.rw[1]);
  const double u = generator.draw();
  if (u >= preset(c.preset_r, PresetReal::kRestartGaussianThreshold) || c.focus < 0)
    gaussian_start_point(c, records, generator);
  else
    uniform_start_point(c, generator);
}

std::int32_t algostop_test(KernelState& s, double global_f, double global_res, double acc) {
  if (s.algostop_ref_f == 1e16) {
    s.algostop_ref_f = global_f;
    s.algostop_ref_res = global_res;
    s.algostop_count = 0;
    return 0;
  }
  const bool improved =
      s.algostop_ref_res >= global_res &&
      (s.algostop_ref_res > acc || global_f < s.algostop_ref_f - std::fabs(s.algostop_ref_f) / 1e6);
  if (improved) {
    s.algostop_ref_f = global_f;
    s.algostop_ref_res = global_res;
    s.algostop_count = 0;
    return 0;
  }
  s.algostop_count = s.algostop_count + 1;
  if (s.algostop_count == s.algostop_limit)
    return global_res <= acc ? iflag::kAlgostopFeasible : iflag::kAlgostopInfeasible;
  return 0;
}

}  // namespace kestro::kernel
