// The reporting entry: header, progress lines, solution, Pareto-front and
// history files, final report, and the caller's evaluation and time budgets.
#pragma once

#include <cstdint>

#include "core/view.hpp"
#include "report/report_state.hpp"

namespace kestro::report {

inline constexpr const char* kScreenCopyName = "KESTRO_SCREEN.TXT";
inline constexpr const char* kSolutionName = "KESTRO_SOLUTION.TXT";

// The arguments of one call. RW and PF come without lengths: the controller
// reads them only at the positions the solver lays out for these sizes.
struct PrintCall {
  int stage, printeval, save2file;
  std::int32_t& iflag;
  std::int32_t& istop;
  ConstRealView f;   // L*O values
  ConstRealView g;   // L*M values
  RealView x;        // L*N values; written only when MAXEVAL <= 1 ends the run
  ConstRealView xl;  // N values
  ConstRealView xu;  // N values
  int o, n, ni, m, me;
  const double* rw;
  const double* pf;
  int maxeval, maxtime;
  ConstRealView param;  // 13 values
  int l, timediv;
  // The lengths of RW and PF when known (the solver entry was given them for
  // a run of these sizes); -1: as long as the solver's layout for the sizes.
  Index rw_known_length = -1;
  Index pf_known_length = -1;
};

// STAGE 1 starts a run, STAGE 2 follows a call of the solver entry, any
// other stage only keeps the history file.
void print_controller(ReportState& state, const PrintCall& call);

}  // namespace kestro::report
