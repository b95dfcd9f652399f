// Solves a constrained mixed-integer problem with the points of every block
// evaluated on the ranks of an MPI job. Rank 0 runs the solver; the other
// ranks evaluate the points, one at a time each, the next point going to
// whichever rank is free first. Run it with mpirun:
//
//   mpirun -np 4 ./kestro_example_minimize_mpi                # this machine
//   mpirun --hostfile hosts -np 16 ./kestro_example_minimize_mpi   # a cluster
//
//   minimise   F(x, y, k) = (x - 0.5)^2 + (y - 1.5)^2 + 0.3 k - 0.1 x y
//   subject to G1 = x + y + k - 3 >= 0
//              G2 = 2.5 - x^2 - y >= 0
//              0 <= x, y <= 3,  k in {0, 1, 2, 3}   (k an integer)
//
// The model is not defined for x < 0.05 and throws there: such a point counts
// as a failed evaluation on whichever rank it ran, and the run goes on. The
// result is the same, to the last bit, on any number of ranks, and the same
// as kestro::minimize in one process.
#include <mpi.h>

#include <cmath>
#include <cstdio>
#include <span>
#include <stdexcept>

#include "kestro_mpi.hpp"

int main(int argc, char** argv) {
  MPI_Init(&argc, &argv);
  int rank = 0, size = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &size);

  // Every rank sets up the same problem, model and options.
  kestro::Problem problem;
  problem.lower = {0, 0, 0};
  problem.upper = {3, 3, 3};
  problem.integers = 1;     // k, the last variable
  problem.constraints = 2;  // G1 and G2, both inequalities (G >= 0)
  problem.start = {1, 1, 1};

  kestro::Options options;
  options.seed = 11;
  options.block_size = 8;   // 8 points per block, spread over the ranks
  options.maxeval = 40000;  // evaluation budget

  auto model = [](std::span<const double> v, std::span<double> f, std::span<double> g) {
    const double x = v[0], y = v[1], k = v[2];
    if (x < 0.05) throw std::domain_error("model undefined for x < 0.05");
    f[0] = (x - 0.5) * (x - 0.5) + (y - 1.5) * (y - 1.5) + 0.3 * k - 0.1 * x * y;
    g[0] = x + y + k - 3;
    g[1] = 2.5 - x * x - y;
  };

  int status = 0;
  try {
    const kestro::Result r = kestro::mpi::minimize(problem, model, options);
    // Every rank holds the result; rank 0 reports it.
    const double xs = 230.0 / 399, ys = 610.0 / 399;  // the optimum, k = 1
    const double best = (xs - 0.5) * (xs - 0.5) + (ys - 1.5) * (ys - 1.5) + 0.3 - 0.1 * xs * ys;
    const bool found = r.feasible && r.iflag >= 1 && r.iflag <= 7 && r.x[2] == 1 &&
                       std::fabs(r.f[0] - best) < 1e-6;
    if (rank == 0) {
      std::printf("%d ranks\n", size);
      std::printf("IFLAG %d: %s\n", r.iflag, r.message.c_str());
      std::printf("x = %.6f  y = %.6f  k = %.0f\n", r.x[0], r.x[1], r.x[2]);
      std::printf("F = %.8f  G = (%.6f, %.6f)\n", r.f[0], r.g[0], r.g[1]);
      std::printf("%lld evaluations, %lld failed (%lld threw)\n", r.evaluations,
                  r.failed_evaluations, r.exceptions);
      std::printf(found ? "found the optimum\n" : "did not find the optimum\n");
    }
    status = found ? 0 : 1;
  } catch (const kestro::Error& e) {
    if (rank == 0) std::printf("%s\n", e.what());
    status = 1;
  }
  MPI_Finalize();
  return status;
}
