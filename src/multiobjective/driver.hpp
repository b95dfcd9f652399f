// The multi-objective driver: offers each feasible evaluated point to the
// Pareto front, turns each point's objectives into one scalar value, runs
// the single-objective kernel on those values with the objective vector
// carried as 2O extra always-satisfied constraints, and turns the carried
// values back into the caller's F and G when the run ends.
#pragma once

#include <cstdint>

#include "core/view.hpp"
#include "kernel/kernel_state.hpp"
#include "multiobjective/multiobjective_state.hpp"

namespace kestro::multiobjective {

// One call of the driver. X, F, G, XL, XU are the caller's arrays at the
// lengths the sizes declare; the regions are the workspace regions of the
// partition at (at least) the lengths of LayerRegionLengths.
struct MultiObjectiveCall {
  std::int32_t l, o, n, ni, m, me;
  RealView x, f, g;
  ConstRealView xl, xu;
  std::int32_t& iflag;
  std::int32_t& istop;
  RealView param;  // FSTOP is switched off in the caller's PARAM for scalarised runs
  RealView rw;
  IntView iw;
  RealView pf;
  RealView pen, res, gblock, fblock, objlo, objhi, step, dist, dist2;
};

void run_multiobjective_call(MultiObjectiveState& state, kernel::KernelState& kernel,
                             MultiObjectiveCall& call);

}  // namespace kestro::multiobjective
