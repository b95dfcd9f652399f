// The end of a search period: the run's best point goes into the global best,
// the work area is cleared and the search starts again from a new point; and
// the ALGOSTOP test on the global best.
#pragma once

#include <cstdint>

#include "core/view.hpp"
#include "kernel/kernel_records.hpp"
#include "kernel/kernel_state.hpp"

namespace kestro::kernel {

struct OuterRestartCall {
  std::int32_t n, ni, m;
  RealView x;  // the block; only X(1..N) is written
  ConstRealView xl, xu;
  RealView rw;
  IntView iw;
  double acc;
  double focus;  // PARAM(6)
  ConstRealView preset_r;
  ConstIntView preset_i;
};

// Replaces the global-best record by the run-best point when it is better;
// when the new global best is feasible the oracle value becomes its F.
void merge_run_best(RealView rw, const KernelRecords& records, Index n, Index m, double acc);

// Merges, clears the work area and the colony's integer area, and writes a
// new start point (uniform, or Gaussian around the global best) into X(1..N).
void outer_restart(const KernelState& state, const KernelRecords& records, OuterRestartCall& call);

// Counts outer restarts without progress of the global best. Returns the
// final IFLAG (3 feasible, 4 not) when the ALGOSTOP limit is reached, else 0.
std::int32_t algostop_test(KernelState& state, double global_f, double global_res, double acc);

}  // namespace kestro::kernel
