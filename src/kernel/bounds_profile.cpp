#include "kernel/bounds_profile.hpp"

#include <cmath>

namespace kestro::kernel {

double bounds_profile_code(double x, double xl, double xu, double previous) {
  if (x > xu + 1e-6) return 91;
  if (x < xl - 1e-6) return 92;
  if (xl > xu) return 93;
  if (xu > xl) {
    const double tolerance = (xu - xl) / 1000;
    if (std::fabs(x - xl) <= tolerance) return 0;
    if (std::fabs(x - xu) <= tolerance) return 22;
    for (int r = 1; r <= 21; ++r)
      if (x <= ((xu - xl) * r) / 21 + xl) return r;
    return previous;
  }
  return 90;
}

void write_bounds_profile(RealView rw, Index first, ConstRealView x, ConstRealView xl,
                          ConstRealView xu, Index n) {
  for (Index i = 1; i <= n; ++i) {
    const Index position = first + i - 1;
    if (!rw.holds(position) || !x.holds(i) || !xl.holds(i) || !xu.holds(i)) continue;
    rw[position] = bounds_profile_code(x[i], xl[i], xu[i], rw[position]);
  }
}

}  // namespace kestro::kernel
