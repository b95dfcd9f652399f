// The progress line and the banner of a warning or an input error.
#pragma once

#include "report/units.hpp"

namespace kestro::report {

// One progress line: EVAL, TIME, the objective (O = 1) or progress value F,
// the residual RES and, with several objectives, the size of the front.
void print_line(OutputUnits& units, int unit, int o, int eval, double time, double f, double res,
                int psize);

// The banner announcing a warning (IFLAG below 100) or an input error.
void print_iflag_banner(OutputUnits& units, int unit, int iflag);

}  // namespace kestro::report
