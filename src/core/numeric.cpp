#include "core/numeric.hpp"

#include "interface/context.hpp"
#include "core/random.hpp"
#include "kestro.h"

namespace kestro {

double compute_large_value() {
  double x = 1.0;
  for (int k = 0; k <= 98; ++k) {
    const double p = x;  // 10^k
    x = 10.0 * x;
    // Multiplying by ten no longer increases the value: settle on 10^k.
    if (p >= x) return p < 1e16 ? 1e16 : p;
  }
  return 1e98;
}

double large_value() { return process_context().numeric.large(); }

bool is_failed_point(double f, const double* g, std::int64_t m) {
  const double large = large_value();
  if (f >= large) return true;
  for (std::int64_t j = 0; j < m; ++j)
    if (g[j] <= -large) return true;
  return false;
}

void LaggedGenerator::seed(double s) {
  s_[0] = 0.3 / (s + 1.0) + 0.123456789;
  s_[1] = 0.423456789 - 0.3 / (1.0 + std::sqrt(s));
}

}  // namespace kestro

// The large value standing for a failed evaluation.
extern "C" double i305_(void) { return kestro::large_value(); }

// One draw of the lagged generator.
extern "C" double o25_(double* state) { return kestro::LaggedGenerator(state).draw(); }

// Seeds the generator from PARAM(2).
extern "C" void ol003_(double* state, const double* param) {
  kestro::LaggedGenerator(state).seed(param[1]);
}

// 1 unless one value is strictly greater than the other.
extern "C" int same_(const double* a, const double* b) { return kestro::same_value(*a, *b); }

// Same as same_.
extern "C" int i301_(const double* a, const double* b) { return kestro::same_value(*a, *b); }

// 1 when x is NaN.
extern "C" int i304_(const double* x) { return std::isnan(*x) ? 1 : 0; }

// Floor of x built from the nearest whole number.
extern "C" double io27_(const double* x) { return kestro::floor_from_anint(*x); }

// Relative difference of a and b.
extern "C" double rio5_(const double* a, const double* b) {
  return kestro::relative_difference(*a, *b);
}

// 1 when the point with objective F and M constraint values G failed.
extern "C" int k31_(const double* f, const double* g, const int* m) {
  return kestro::is_failed_point(*f, g, *m) ? 1 : 0;
}

// Sets STATE = 7 when FSTOP is set and met by a feasible point.
extern "C" void o22_(const double* f, const double* param, const double* res,
                     const double* acc, int* state) {
  const double fstop = param[2];
  if (fstop != 0.0 && *f <= fstop && *res <= *acc) *state = 7;
}
