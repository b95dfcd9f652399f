// Constraint violation of a point.
#pragma once

#include "core/view.hpp"

namespace kestro::kernel {

// Sum of abs(G) over equalities with abs(G) > acc and of -G over
// inequalities with G < -acc, over G(1..m), the first me being equalities.
// The negative parts of all values are added first, then the positive parts
// of the equalities.
double residual(ConstRealView g, Index m, Index me, double acc);

}  // namespace kestro::kernel
