// The header block written at the start of a run.
#pragma once

#include "core/view.hpp"
#include "report/units.hpp"

namespace kestro::report {

struct HeadArguments {
  int l, o, n, ni, m, me;
  ConstRealView param;  // 13 values
  int maxeval, maxtime, printeval, save2file;
};

// Banner, box of sizes and budgets, the non-zero parameters and the header
// of the progress lines for O objectives.
void print_head(OutputUnits& units, int unit, const HeadArguments& a);

}  // namespace kestro::report
