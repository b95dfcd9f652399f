#include "multiobjective/scalarisation.hpp"

#include <algorithm>
#include <cmath>

#include "core/numeric.hpp"

namespace kestro::multiobjective {

namespace {

// 10^(i-1) for i = 1..8, each exact.
constexpr double kPowersOfTen[8] = {1.0, 10.0, 100.0, 1000.0, 10000.0, 100000.0, 1e6, 1e7};

// The i-th decimal digit of b, protected against representation error: a
// digit that comes out a hair below the next whole number counts as that
// number, and 10 counts as 0.
double decimal_digit(double balance, int i) {
  const double b = balance * kPowersOfTen[i - 1];
  const double q = (b - floor_from_anint(b)) * 10.0;
  const double e = q - floor_from_anint(q);
  double digit = e > 0.99999999 ? floor_from_anint(q) + 1.0 : floor_from_anint(q);
  if (digit == 10.0) digit = 0.0;
  return digit;
}

// abs(F(k)) summed over the objectives with a positive weight.
double weighted_magnitude(std::int32_t o, ConstRealView f, ConstRealView weights) {
  double sum = 0.0;
  for (Index k = 1; k <= o; ++k)
    if (weights[k] > 0.0) sum = sum + std::fabs(f[k]);
  return sum;
}

// Objective k's weighted distance from the front's minimum, normalised by
// the front's range in k when it has one.
double normalised_term(ConstRealView f, ConstRealView objlo, ConstRealView objhi,
                       ConstRealView weights, Index k) {
  double a = (f[k] - objlo[k]) * weights[k];
  if (objlo[k] < objhi[k]) a = a / (objhi[k] - objlo[k]);
  return a;
}

}  // namespace

void user_weights(RealView weights, std::int32_t o, double balance) {
  for (Index k = 1; k <= o; ++k) weights[k] = 1.0;
  if (balance == 0.0 || balance >= 1.0) return;
  const int digits = std::min<std::int32_t>(o, 8);
  for (Index k = 1; k <= o; ++k) weights[k] = 0.0;
  for (int i = 1; i <= digits; ++i) weights[i] = decimal_digit(balance, i);

  double sum = 0.0;
  for (int i = 1; i <= digits; ++i) sum = sum + weights[i];
  if (sum == 0.0) {
    // No digit to weigh by: every objective counts, as for BALANCE = 0.
    for (Index k = 1; k <= o; ++k) weights[k] = 1.0;
    return;
  }
  for (int i = 1; i <= digits; ++i) weights[i] = weights[i] / sum;
  double largest = 0.0;
  for (int i = 1; i <= digits; ++i)
    if (weights[i] > largest) largest = weights[i];
  const double scale = 1.0 / largest;
  if (scale > 1.0)
    for (int i = 1; i <= digits; ++i) weights[i] = weights[i] * scale;
}

double weighted_distance(std::int32_t o, ConstRealView f, double r, double acc, ConstRealView objlo,
                         ConstRealView objhi, double shift, ConstRealView weights,
                         std::int32_t offered_count) {
  if (offered_count == 1) return weighted_magnitude(o, f, weights);
  if (r > acc) return weighted_magnitude(o, f, weights) + 1.0;

  double s = 0.0;
  std::int32_t weighted = 0;
  for (Index k = 1; k <= o; ++k) {
    s = s + normalised_term(f, objlo, objhi, weights, k);
    if (weights[k] > 0.0) weighted = weighted + 1;
  }
  double imbalance = 0.0;
  if (weighted > 0) {
    const double mean = s / double(weighted);
    for (Index k = 1; k <= o; ++k)
      if (weights[k] > 0.0)
        imbalance = imbalance + std::fabs(normalised_term(f, objlo, objhi, weights, k) - mean);
  }
  return s + imbalance + shift;
}

double scalar_value(std::int32_t o, ConstRealView f, double r, double acc, ConstRealView objlo,
                    ConstRealView objhi, double balance, double shift, ConstRealView weights,
                    std::int32_t offered_count) {
  if (balance >= 1.0) {
    if (o < 1) return 0.0;  // no objective to read
    return f[std::clamp<std::int32_t>(trunc_to_int(balance), 1, o)];
  }
  return weighted_distance(o, f, r, acc, objlo, objhi, shift, weights, offered_count);
}

double point_residual(ConstRealView g, std::int32_t m, std::int32_t me, double acc) {
  double sum = 0.0;
  const std::int32_t equalities = std::clamp(me, 0, std::max(m, 0));
  for (Index j = 1; j <= equalities; ++j)
    if (std::fabs(g[j]) > acc) sum = sum + std::fabs(g[j]);
  for (Index j = equalities + 1; j <= m; ++j)
    if (g[j] < -acc) sum = sum + (-g[j]);
  return sum;
}

}  // namespace kestro::multiobjective
