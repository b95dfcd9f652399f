#include <cmath>

#include "core/iflag_table.hpp"
#include "core/numeric.hpp"
#include "interface/context.hpp"
#include "interface/solver_call.hpp"
#include "kernel/main_loop.hpp"
#include "multiobjective/driver.hpp"
#include "multiobjective/layer_workspace.hpp"

namespace kestro {
void clean_objectives(double* fp, Index o) {
  const double large = large_value();
  for (Index k = 0; k < o; ++k)
    if (std::isnan(fp[k]) || fp[k] > large) fp[k] = large;
}

void clean_constraints(double* gp, Index m) {
  const double large = large_value();
  for (Index j = 0; j < m; ++j)
    if (std::isnan(gp[j]) || gp[j] < -large) gp[j] = -large;
}

// Cleans the objective and constraint values of every point of the block.
// Each loop runs only when its block has values, so its work is bounded by
// the block's declared length (L alone may be huge when O or M is 0).
void clean_block(SolverCall& c) {
  if (c.o > 0)
    for (Index i = 1; i <= c.l; ++i) clean_objectives(&c.f[(i - 1) * c.o + 1], c.o);
  if (c.m > 0)
    for (Index i = 1; i <= c.l; ++i) clean_constraints(&c.g[(i - 1) * c.m + 1], c.m);
}

void drive_kernel(Context& context, SolverCall& c, const RegionStarts& regions) {
  if (c.iflag == iflag::kStopRequest) c.istop = 1;
  clean_block(c);

  if (c.o > 1) {
    // Several objectives: the multi-objective layer scalarises them, keeps
    // the front in PF and runs the kernel itself. It may switch FSTOP off in
    // the caller's PARAM.
    const auto need = multiobjective::LayerRegionLengths::for_sizes(c.l, c.o, c.n, c.m);
    // clang-format off
    multiobjective::MultiObjectiveCall layer_call{
        c.l, c.o, c.n, c.ni, c.m, c.me, c.x, c.f, c.g, c.xl, c.xu, c.iflag, c.istop,
        c.param, c.rw, c.iw, c.pf,
        c.rw.slice(regions.pen_base, need.pen),
        c.rw.slice(regions.res_base, need.res),
        c.rw.slice(regions.gblock_base, need.gblock),
        c.rw.slice(regions.fblock_base, need.fblock),
        c.rw.slice(regions.objlo_base, need.objlo),
        c.rw.slice(regions.objhi_base, need.objhi),
        c.rw.slice(regions.step_base, need.step),
        c.rw.slice(regions.dist_base, need.dist),
        c.rw.slice(regions.dist2_base, need.dist2)};
    multiobjective::run_multiobjective_call(context.solver.multiobjective,
                                            context.solver.kernel, layer_call);
    // clang-format on
  } else {
    // The kernel works on a copy of G with one trailing 0.0, so the caller's G
    // keeps its values during the run. When the copy would not fit in RW (only
    // on a first call whose sizes the kernel is about to refuse) it is skipped.
    const Index constraint_values = block_length(c.l, c.m);
    if (c.m < 1) {
      if (c.rw.holds(regions.gblock_base)) c.rw[regions.gblock_base] = 0.0;
    } else if (c.rw.holds(regions.gblock_base, constraint_values + 1)) {
      for (Index k = 1; k <= constraint_values; ++k) c.rw[regions.gblock_base + k - 1] = c.g[k];
      c.rw[regions.gblock_base + constraint_values] = 0.0;
    }

    const Index points = c.l > 0 ? c.l : 0;
    // clang-format off
    kernel::KernelCall kernel_call{
        c.l, c.o, c.n, c.ni, c.m, c.me,
        c.x, c.f, c.rw.slice(regions.gblock_base, constraint_values),
        c.xl, c.xu, c.iflag, c.istop, c.param, c.rw, c.iw,
        c.rw.slice(regions.pen_base, points),
        c.rw.slice(regions.res_base, points),
        c.rw.slice(regions.step_base, c.n > 0 ? c.n : 0)};
    // clang-format on
    kernel::run_kernel_call(context.solver.kernel, kernel_call);
  }

  // The best point's constraint values, written by the kernel to the head of
  // its block, go back to the caller.
  if (c.istop == 1 && c.m > 0 && c.rw.holds(regions.gblock_base, c.m) && c.g.holds(1, c.m)) {
    for (Index j = 1; j <= c.m; ++j) c.g[j] = c.rw[regions.gblock_base + j - 1];
  }
}

}  // namespace kestro
