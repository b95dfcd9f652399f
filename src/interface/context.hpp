// The run context: every saved variable of the library in one place.
#pragma once

#include <cstdint>

#include "core/run_sizes.hpp"
#include "core/view.hpp"
#include "core/workspace_layout.hpp"
#include "kernel/kernel_state.hpp"
#include "multiobjective/multiobjective_state.hpp"
#include "report/report_state.hpp"

namespace kestro {

// Saved state of the solver entry.
struct InterfaceState {
  // True once a call with IFLAG = 0 has fixed the sizes and region starts.
  bool run_started = false;
  RunSizes sizes;
  RegionStarts regions;
};

// Everything a call with IFLAG = 0 resets: after the reset a run behaves
// exactly like the first run in a fresh process.
struct SolverState {
  InterfaceState interface;
  kernel::KernelState kernel;
  multiobjective::MultiObjectiveState multiobjective;
};

struct Context {
  SolverState solver;
  // Reset by the reporting entry's first stage, not by a new solver run.
  report::ReportState report;
};

}  // namespace kestro
