// The value fields of the rows of the Pareto-front and history files.
#pragma once

#include <cmath>

#include "report/units.hpp"

namespace kestro::report {

// One value of a row, left open for the next: F19.7 below 1e9 in magnitude,
// else (a NaN too) E16.5. Every field starts with a blank, so fields never
// touch.
inline void write_row_value(OutputUnits& units, int unit, double v) {
  units.write(unit, std::fabs(v) < 1e9 ? "(F19.7,$)" : "(E16.5,$)", {v});
}

// Ends a row with one blank.
inline void end_row(OutputUnits& units, int unit) { units.write(unit, "(' ')"); }

}  // namespace kestro::report
