// The colony step: books the evaluated block and produces the next one in
// restart cycles of generations, with coordinate searches between them.
#pragma once

#include <cstdint>

#include "core/view.hpp"
#include "kernel/kernel_state.hpp"
#include "kernel/work_area.hpp"

namespace kestro::kernel {

// One call of the colony step. M is the kernel's constraint count; G holds L
// rows of M values; PEN and RES the per-point penalties and residuals.
struct ColonyCall {
  std::int32_t l, n, ni, m, me;
  RealView x, f, g;
  ConstRealView xl, xu;
  double acc;
  std::int32_t& state;      // the kernel state code
  std::int32_t final_call;  // 1 when the run ends on this call
  RealView rw;
  IntView iw;
  std::int32_t archive_capacity;
  double oracle;  // the oracle value handed in by the main loop
  ConstRealView param;
  RealView pen, res;
  ConstRealView preset_r;  // PRESET_R(1..17)
  ConstIntView preset_i;   // PRESET_I(1..16)
};

void colony_step(ColonyState& colony, CoordinateSearchState& search, ColonyCall& call);

// Where a restart cycle's parameters live: cells of RW (records, oracle and
// archive columns) and of IW (counters and ant counts).
struct CycleCells {
  Index n;
  Index run_best_f, run_best_res, oracle, af, ar, ap;                          // RW
  Index restart_count, archive_size, base_ants, second_ants, schedule_length;  // IW

  static CycleCells of(const WorkArea& area);
};

// Chooses the parameters of a new restart cycle (focus divisor, ant counts,
// archive size, schedule length) with three draws, sets the cycle's oracle and
// empties the archive. Does nothing when a cell lies outside RW or IW.
void choose_cycle_parameters(ColonyState& colony, const CycleCells& cells, RealView rw, IntView iw,
                             double acc, double oracle_in, ConstRealView param,
                             ConstRealView preset_r, ConstIntView preset_i);

// Where the ant schedule reads and writes in IW.
struct ScheduleCells {
  Index generation, ants, base_ants, second_ants, schedule_length;
  static ScheduleCells standard();
};

// The number of ants of the current generation by the step schedule. Does
// nothing when a cell lies outside IW.
void schedule_ants(IntView iw, const ScheduleCells& cells);

}  // namespace kestro::kernel
