// Rounding rules, the large value and small numeric tests shared by the
// whole solver. Algorithm code converts reals to integers only through
// these helpers.
#pragma once

#include <cmath>
#include <cstdint>

namespace kestro {

// What every real-to-integer conversion yields for NaN, infinities and
// values outside the 32-bit range.
inline constexpr std::int32_t kIntOutOfRange = INT32_MIN;

// Nearest whole number, halves away from zero, as a real (not limited to 32
// bits; NaN stays NaN).
inline double anint(double x) { return std::round(x); }

// Nearest integer, halves away from zero, as a 32-bit integer.
inline std::int32_t nint(double x) {
  const double r = std::round(x);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) return kIntOutOfRange;
  return static_cast<std::int32_t>(r);
}

// Conversion toward zero, as a 32-bit integer.
inline std::int32_t trunc_to_int(double x) {
  // trunc(x) lies in the 32-bit range exactly when x lies strictly between
  // -2^31 - 1 and 2^31; the conversion itself truncates.
  if (!(x > -2147483649.0 && x < 2147483648.0)) return kIntOutOfRange;
  return static_cast<std::int32_t>(x);
}

// The large value that stands for a failed or non-finite evaluation: 1e98 on
// IEEE doubles. Computed once per process.
double large_value();

// Computes the large value afresh (the search for the first power of ten
// that no longer grows when multiplied by ten).
double compute_large_value();

// 1 unless one of the two is strictly greater than the other (so 1 when
// either is NaN), else 0.
inline int same_value(double a, double b) { return (a > b || b > a) ? 0 : 1; }

// Floor of x, built from the nearest whole number.
inline double floor_from_anint(double x) {
  const double a = anint(x);
  return x >= a ? a : a - 1.0;
}

// abs(a - b) / max(abs(b), 1, abs(a)).
inline double relative_difference(double a, double b) {
  double divisor = std::fabs(b);
  if (1.0 > divisor) divisor = 1.0;
  if (std::fabs(a) > divisor) divisor = std::fabs(a);
  return std::fabs(a - b) / divisor;
}

// A point failed when F >= LARGE or some of its M constraint values <= -LARGE.
bool is_failed_point(double f, const double* g, std::int64_t m);

// The value that makes an evaluated point, as the caller handed it over, a
// failed one: 1 .. o for the first objective that is NaN or at least LARGE,
// else o + j for the first constraint j that is NaN or at most -LARGE, else 0.
std::int64_t failed_value_position(const double* f, std::int64_t o, const double* g,
                                   std::int64_t m);

}  // namespace kestro
