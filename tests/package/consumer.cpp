// Uses the installed C++ API: minimises (x - 1)^2 + (k - 2)^2 with k an
// integer, on two threads, and exits with 0 only when it found x = 1, k = 2.
#include <cmath>
#include <cstdio>
#include <span>

#include <kestro.hpp>

int main() {
  kestro::Problem problem;
  problem.lower = {-3, 0};
  problem.upper = {3, 5};
  problem.integers = 1;
  kestro::Options options;
  options.seed = 2;
  options.block_size = 4;
  options.threads = 2;
  options.maxeval = 4000;
  const kestro::Result r = kestro::minimize(
      problem,
      [](std::span<const double> x, std::span<double> f, std::span<double>) {
        f[0] = (x[0] - 1) * (x[0] - 1) + (x[1] - 2) * (x[1] - 2);
      },
      options);
  std::printf("IFLAG %d (%s): x = %.6f, k = %.0f, F = %.3e\n", r.iflag, r.message.c_str(), r.x[0],
              r.x[1], r.f[0]);
  return r.iflag == 1 && std::fabs(r.x[0] - 1) < 1e-3 && r.x[1] == 2 ? 0 : 1;
}
