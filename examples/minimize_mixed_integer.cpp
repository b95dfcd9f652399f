// Solves a constrained mixed-integer problem with the C++ API: kestro::minimize
// owns the loop and evaluates the 8 points of every block on 4 threads.
//
//   minimise   F(x, y, k) = (x - 0.5)^2 + (y - 1.5)^2 + 0.3 k - 0.1 x y
//   subject to G1 = x + y + k - 3 >= 0
//              G2 = 2.5 - x^2 - y >= 0
//              0 <= x, y <= 3,  k in {0, 1, 2, 3}   (k an integer)
//
// The model is not defined for x < 0.05 and throws there: such a point counts
// as a failed evaluation, as a NaN value would, and the run goes on.
#include <cmath>
#include <cstdio>
#include <span>
#include <stdexcept>

#include "kestro.hpp"

int main() {
  kestro::Problem problem;
  problem.lower = {0, 0, 0};
  problem.upper = {3, 3, 3};
  problem.integers = 1;     // k, the last variable
  problem.constraints = 2;  // G1 and G2, both inequalities (G >= 0)
  problem.start = {1, 1, 1};

  kestro::Options options;
  options.seed = 11;
  options.block_size = 8;   // 8 points per block ...
  options.threads = 4;      // ... evaluated on 4 threads
  options.maxeval = 40000;  // evaluation budget

  auto model = [](std::span<const double> v, std::span<double> f, std::span<double> g) {
    const double x = v[0], y = v[1], k = v[2];
    if (x < 0.05) throw std::domain_error("model undefined for x < 0.05");
    f[0] = (x - 0.5) * (x - 0.5) + (y - 1.5) * (y - 1.5) + 0.3 * k - 0.1 * x * y;
    g[0] = x + y + k - 3;
    g[1] = 2.5 - x * x - y;
  };

  std::string error;
  if (!problem.IsValid(&error) || !options.IsValid(&error)) {
    std::printf("%s\n", error.c_str());
    return 1;
  }
  const kestro::Result r = kestro::minimize(problem, model, options);

  std::printf("IFLAG %d: %s\n", r.iflag, r.message.c_str());
  std::printf("x = %.6f  y = %.6f  k = %.0f\n", r.x[0], r.x[1], r.x[2]);
  std::printf("F = %.8f  G = (%.6f, %.6f)  residual %.2e\n", r.f[0], r.g[0], r.g[1], r.residual);
  std::printf("%lld evaluations, %lld failed (%lld threw)\n", r.evaluations, r.failed_evaluations,
              r.exceptions);

  // k = 0 is infeasible (x + y >= 3 and y <= 2.5 - x^2 have no common
  // point) and every step of k costs 0.3, so k = 1. There the smallest F
  // lies inside both constraints, where 2 (x - 0.5) = 0.1 y and
  // 2 (y - 1.5) = 0.1 x: x = 230/399, y = 610/399.
  const double xs = 230.0 / 399, ys = 610.0 / 399;
  const double best = (xs - 0.5) * (xs - 0.5) + (ys - 1.5) * (ys - 1.5) + 0.3 - 0.1 * xs * ys;
  const bool found =
      r.feasible && r.iflag >= 1 && r.iflag <= 7 && r.x[2] == 1 && std::fabs(r.f[0] - best) < 1e-6;
  std::printf(found ? "found the optimum\n" : "did not find the optimum\n");
  return found ? 0 : 1;
}
