// Saved state of the single-objective kernel, kept from one call to the next.
#pragma once

#include <cstdint>

#include "core/run_sizes.hpp"
#include "core/view.hpp"
#include "kernel/pattern_search_state.hpp"
#include "kernel/preset_state.hpp"
#include "kernel/work_area.hpp"

namespace kestro::kernel {

// The evaluation-count stopping test (EVALSTOP).
struct EvalstopState {
  std::int32_t evalstop_count = 0;  // evaluations in a row without improvement
  double evalstop_tol = 0.0;        // relative improvement demanded
  double evalstop_ref_f = 0.0;      // objective of the reference point
  double evalstop_ref_res = 0.0;    // residual of the reference point
};

// The coordinate search, kept across calls within one pass.
struct CoordinateSearchState {
  std::int32_t position = 0;           // position in the visiting order, 0 .. N
  std::int32_t tries = 0;              // tries made on the current variable
  std::int32_t direction = 0;          // +1 or -1
  double step = 0.0;                   // step length
  std::int32_t integer_try_limit = 0;  // 1 or 2 for the current integer variable
  std::int32_t variable = 0;           // the current variable
  std::int32_t run_out = 0;            // 1 when every variable has been tried without success
};

// The colony step's own saved values.
struct ColonyState {
  WorkArea area;                      // positions fixed when a kernel run starts
  std::int32_t widened_restarts = 0;  // restarts after the first one in the run
};

struct KernelState {
  // Calls of the kernel since the run started.
  std::int32_t kernel_calls = 0;
  // Tuning stage 1, 2 or 3.
  std::int32_t preset_stage = 0;
  // 1 once the first call of the run has passed validation.
  std::int32_t kernel_ready = 0;
  // A warning found by validation, returned once.
  std::int32_t warning_pending = 0;
  std::int32_t warning_code = 0;
  // Feasibility tolerance: ACCURACY when positive, else 0.001.
  double acc = 0.0;
  // What the returned block was and what comes next, shared with the colony step.
  std::int32_t kernel_state_code = 0;
  // Restart cycles of the colony since the last outer restart.
  std::int32_t cycle_count = 0;
  // Pattern-search phase bookkeeping.
  std::int32_t search_active = 0;
  std::int32_t search_disabled = 0;
  std::int32_t search_fail_count = 0;
  std::int32_t search_calls = 0;
  double search_start_f = 0.0;
  double search_start_res = 0.0;
  std::int32_t search_phase_code = 0;
  std::int32_t search_done = 0;
  // Outer restarts without progress.
  std::int32_t algostop_count = 0;
  double algostop_ref_f = 0.0;
  double algostop_ref_res = 0.0;
  std::int32_t algostop_limit = 0;
  // 1 from an outer restart until the next call, which starts a new kernel run.
  std::int32_t restart_pending = 0;
  // trunc(EVALSTOP); positive when the evaluation-count test is on.
  std::int32_t evalstop_switch = 0;
  // Sizes fixed by validation on the first call.
  std::int32_t archive_size = 0;
  Index best_base = 0;
  Index iw_kernel_len = 0;
  // The sizes the run was validated with (LPF not used by the kernel).
  RunSizes validated_sizes;
  // The active tuning preset and its application counter.
  PresetState preset;
  EvalstopState evalstop;
  CoordinateSearchState coordinate_search;
  ColonyState colony;
  PatternSearchState pattern_search;
};

}  // namespace kestro::kernel
