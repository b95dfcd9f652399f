#include "core/numeric.hpp"

#include "core/random.hpp"

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

double large_value() {
  // Computed once, on the first request of the process; it never changes.
  static const double large = compute_large_value();
  return large;
}

bool is_failed_point(double f, const double* g, std::int64_t m) {
  const double large = large_value();
  if (f >= large) return true;
  for (std::int64_t j = 0; j < m; ++j)
    if (g[j] <= -large) return true;
  return false;
}

std::int64_t failed_value_position(const double* f, std::int64_t o, const double* g,
                                   std::int64_t m) {
  const double large = large_value();
  for (std::int64_t k = 0; k < o; ++k)
    if (std::isnan(f[k]) || f[k] >= large) return k + 1;
  for (std::int64_t j = 0; j < m; ++j)
    if (std::isnan(g[j]) || g[j] <= -large) return o + j + 1;
  return 0;
}

void LaggedGenerator::seed(double s) {
  s_[0] = 0.3 / (s + 1.0) + 0.123456789;
  s_[1] = 0.423456789 - 0.3 / (1.0 + std::sqrt(s));
}

}  // namespace kestro
