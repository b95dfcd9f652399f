// KESTRO_HISTORY.TXT: the evaluated points in the order of evaluation, over
// a cycle of SAVE2FILE calls after which the file starts over.
#pragma once

#include "core/view.hpp"
#include "report/report_state.hpp"

namespace kestro::report {

inline constexpr const char* kHistoryName = "KESTRO_HISTORY.TXT";

struct HistoryArguments {
  int save2file, l, o, n, m;
  ConstRealView f;  // L*O values
  ConstRealView g;  // L*M values
  ConstRealView x;  // L*N values: the points handed out by this call
  int unit, iflag, istop;
};

// Advances the cycle and writes the header (first call of a cycle), the
// start point (second call) or the block evaluated since the previous call;
// keeps X for the next call, flushes, and closes the file when ISTOP > 0.
void save_history(OutputUnits& units, HistoryState& state, const HistoryArguments& a);

}  // namespace kestro::report
