// The C++ API on the problem of same_as_api_test.sh, with the function its
// black box computes: prints the summary lines kestro-run prints.
// Arguments: seed block_size maxeval.
#include <cstdio>
#include <cstdlib>

#include "kestro.hpp"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  kestro::Problem problem;
  problem.lower = {-5, -5, 0};
  problem.upper = {5, 5, 10};
  problem.integers = 1;
  problem.constraints = 1;
  kestro::Options options;
  options.seed = std::atof(argv[1]);
  options.block_size = std::atoi(argv[2]);
  options.maxeval = std::atoi(argv[3]);
  options.threads = 3;
  const kestro::Result r = kestro::minimize(
      problem,
      [](std::span<const double> x, std::span<double> f, std::span<double> g) {
        f[0] = (x[0] - 1) * (x[0] - 1) + (x[1] - 2) * (x[1] - 2) + (x[2] - 4) * (x[2] - 4);
        g[0] = 5 - x[0] - x[1] - x[2];
      },
      options);
  std::printf("iflag = %d: %s\n", r.iflag, r.message.c_str());
  std::printf("reason = %s\n", r.reason.c_str());
  std::printf("x = %.17g %.17g %.17g\n", r.x[0], r.x[1], r.x[2]);
  for (int i = 0; i < 3; ++i) std::printf("  x[%d] = %.17g\n", i, r.x[std::size_t(i)]);
  std::printf("f = %.17g\n", r.f[0]);
  std::printf("g = %.17g\n", r.g[0]);
  if (r.g[0] < 0)
    std::printf("max violation = %.17g (g[0])\n", -r.g[0]);
  else
    std::printf("max violation = 0\n");
  std::printf("feasible = %s\n", r.feasible ? "yes" : "no");
  std::printf("evaluations = %lld\n", r.evaluations);
  std::printf("failed evaluations = %lld\n", r.failed_evaluations);
  return 0;
}
