// Saved state of the reporting entry, kept from one call to the next.
#pragma once

#include <cstdint>
#include <vector>

#include "core/best_record.hpp"
#include "core/view.hpp"
#include "report/cpu_clock.hpp"
#include "report/units.hpp"

namespace kestro::report {

// Positions in RW of one best-point record; its G has M values, or M + 2*O
// with several objectives.
using kestro::RecordPositions;

// The print controller's variables; a call with STAGE 1 starts them afresh.
struct ControllerState {
  double t_start = 0.0;                     // CPU time at STAGE 1 (divided by L when TIMEDIV is 1)
  std::int32_t l = 1, timediv = 0;          // L and TIMEDIV of STAGE 1, the clock's divisor
  double time = 0.0;                        // elapsed time of the run, TIME
  std::int32_t eval = 0;                    // evaluations so far, EVAL
  std::int32_t print_count = 0;             // evaluations since the last progress line
  double maxtime_s = 0.0;                   // MAXTIME as a real
  double accuracy = 0.001;                  // effective ACCURACY
  std::int32_t pmax = 1000;                 // capacity of the Pareto-front store, PMAX
  double shown_f = 1e99, shown_res = 1e99;  // the displayed point
  double file_best_f = 1e99, file_best_res = 1e99;  // last block of the solution file
  // X of the displayed point (N values) and its G (M values, then in
  // multi-objective mode O objective magnitudes and O sign flags); sized
  // from N, M and O at STAGE 1.
  std::vector<double> shown_x, shown_g;
  // True once a record of this run has been copied into shown_x.
  bool shown_from_record = false;
  // The run-best record at RW(10) and the global-best record after
  // RW(best_base), fixed at STAGE 1.
  RecordPositions run_best, global_best;
};

// The history file's cycle.
struct HistoryState {
  std::int32_t hist_count = 0;  // position in the current cycle (1 = just restarted)
  // X as it was at the end of the previous call (L*N values); F and G of a
  // STAGE 2 call belong to these points.
  std::vector<double> x_prev;
};

// When the process CPU clock next needs reading for the time budget. The
// process cannot use more CPU time than the wall-clock time that passes
// times the number of processors, so until `next_read` on the steady clock
// the budget cannot have been spent. Not part of a saved run: a fresh gate
// reads the clock on its first use.
struct ClockGate {
  bool armed = false;
  std::int64_t next_read = 0;  // steady-clock nanoseconds
};

struct ReportState {
  OutputUnits units;
  CpuClock clock = &process_cpu_seconds;
  ControllerState controller;
  HistoryState history;
  ClockGate clock_gate;
};

}  // namespace kestro::report
