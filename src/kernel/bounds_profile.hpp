// Per-variable codes saying where a point lies between its bounds.
#pragma once

#include "core/view.hpp"

namespace kestro::kernel {

// The profile code of one variable: 91 above XU, 92 below XL, 93 for crossed
// bounds, 0 at XL, 22 at XU, 1..21 for the twenty-first of the range it lies
// in, 90 for a fixed variable; `previous` when no twenty-first qualifies.
double bounds_profile_code(double x, double xl, double xu, double previous);

// Writes the codes of X(1..n) to RW(first) .. RW(first + n - 1). Positions
// outside RW are neither read nor written.
void write_bounds_profile(RealView rw, Index first, ConstRealView x, ConstRealView xl,
                          ConstRealView xu, Index n);

}  // namespace kestro::kernel
