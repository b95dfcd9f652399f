// The points of a block go to whichever worker is free: while one worker is
// held up by a slow point, the others evaluate every other point of the
// block. The slow point waits until the other points of its block have left
// their mark in a shared directory; were the points dealt out in advance,
// some of them would wait behind it and the mark count would never be
// reached. Also: values come back in block order, a throwing point is
// reported with its index and rank, the evaluator serves several blocks and
// the workers learn whether the root completed or abandoned the run.
//
// Run with mpirun on 3 or more ranks; exits non-zero on any failed check.
#include <mpi.h>

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "kestro_mpi.hpp"

namespace {

int rank = 0, size = 1;
int failures = 0;

void expect(bool ok, const std::string& what) {
  if (!ok) {
    std::fprintf(stderr, "rank %d: FAILED: %s\n", rank, what.c_str());
    ++failures;
  }
}

int entries(const std::string& dir) {
  int count = 0;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') ++count;
    closedir(d);
  }
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  MPI_Init(&argc, &argv);
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &size);
  if (size < 3) {
    if (rank == 0) std::fprintf(stderr, "needs at least 3 ranks\n");
    MPI_Finalize();
    return 2;
  }

  // A fresh directory for the marks, named by rank 0.
  std::string marks(4096, '\0');
  if (rank == 0) {
    const char* tmp = getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/kestro-mpi-marks-XXXXXX";
    if (!mkdtemp(templ.data())) MPI_Abort(MPI_COMM_WORLD, 2);
    marks.replace(0, templ.size(), templ);
  }
  MPI_Bcast(marks.data(), int(marks.size()), MPI_CHAR, 0, MPI_COMM_WORLD);
  marks.resize(marks.find('\0'));

  const int workers = size - 1;
  const int l = 3 * workers + 1;  // more points than workers, several each
  // Point i is (i, 1 + i / 2). Point 0 is slow, point 2 throws.
  auto model = [&](std::span<const double> x, std::span<double> f, std::span<double> g) {
    const int i = int(x[0]);
    if (i == 0) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
      while (entries(marks) < l - 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      if (entries(marks) < l - 1)
        throw std::runtime_error("the other points of the block were not evaluated meanwhile");
    } else {
      const std::string mark = marks + "/" + std::to_string(i);
      const int fd = open(mark.c_str(), O_CREAT | O_WRONLY, 0600);
      if (fd >= 0) close(fd);
    }
    if (i == 2) throw std::invalid_argument("point 2 has no value");
    f[0] = x[0] * x[0] + x[1];
    g[0] = x[0] - x[1];
    g[1] = -x[1];
  };

  {
    kestro::mpi::BlockEvaluator evaluator(model, 2, 1, 2);
    if (rank == 0) {
      std::vector<double> x(std::size_t(l) * 2), f(std::size_t(l) + 0), g(std::size_t(l) * 2, 7.0);
      for (int i = 0; i < l; ++i) x[2 * i] = i, x[2 * i + 1] = 1 + i / 2;
      for (int block = 0; block < 2; ++block) {
        const std::string at = "block " + std::to_string(block) + ": ";
        evaluator.evaluate(x, f, g);
        const std::vector<int>& by = evaluator.evaluated_by();
        std::string who;
        for (int r : by) who += " " + std::to_string(r);
        std::printf("%sevaluated by ranks%s\n", at.c_str(), who.c_str());
        if (block == 0) {
          expect(by[0] == 1, at + "point 0 went to rank 1, the first worker");
          for (int i = 1; i < l; ++i)
            expect(by[i] != 1,
                   at + "rank 1, busy with the slow point, got point " + std::to_string(i));
        }
        for (int i = 0; i < l; ++i) {
          expect(by[i] >= 1 && by[i] < size,
                 at + "point " + std::to_string(i) + " by rank " + std::to_string(by[i]));
          if (i == 2) {
            expect(std::isnan(f[i]) && std::isnan(g[2 * i]) && std::isnan(g[2 * i + 1]),
                   at + "the throwing point has NaN values");
            continue;
          }
          const double a = i, b = 1 + i / 2;
          expect(f[i] == a * a + b && g[2 * i] == a - b && g[2 * i + 1] == -b,
                 at + "values of point " + std::to_string(i) + " in block order");
        }
        const std::vector<kestro::mpi::Failure>& failed = evaluator.failures();
        expect(failed.size() == 1, at + "one failure reported");
        if (failed.size() == 1) {
          expect(failed[0].index == 2 && failed[0].rank == by[2] &&
                     failed[0].what == "point 2 has no value",
                 at + "the failure names point 2, its rank and the exception's text");
        }
      }
      evaluator.finish(true);
    } else {
      expect(evaluator.serve(), "serve() says the run completed");
    }
  }

  // A run the root abandons: the workers are told so.
  {
    kestro::mpi::BlockEvaluator evaluator(model, 2, 1, 2);
    if (rank == 0) {
      evaluator.finish(false);
    } else {
      expect(!evaluator.serve(), "serve() says the run was abandoned");
    }
  }

  MPI_Barrier(MPI_COMM_WORLD);
  if (rank == 0) {
    for (int i = 1; i < l; ++i) unlink((marks + "/" + std::to_string(i)).c_str());
    rmdir(marks.c_str());
  }
  int all = 0;
  MPI_Allreduce(&failures, &all, 1, MPI_INT, MPI_SUM, MPI_COMM_WORLD);
  if (rank == 0)
    std::printf("%s on %d ranks: %d failed checks\n", all ? "FAILED" : "passed", size, all);
  MPI_Finalize();
  return all == 0 ? 0 : 1;
}
