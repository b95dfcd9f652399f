// Positions of the kernel's records in RW (1-based).
#pragma once

#include "core/view.hpp"

namespace kestro::kernel {

// The run-best record at the bottom of the kernel work area, and the
// global-best record, oracle value and bounds profile after best_base.
// N and M are the sizes the kernel sees.
struct KernelRecords {
  Index run_best_x, run_best_f, run_best_g, run_best_res;
  Index global_x, global_f, global_g, global_res;
  Index oracle;
  Index profile;  // first of the N profile codes

  KernelRecords(Index n, Index m, Index best_base)
      : run_best_x(10),
        run_best_f(n + 10),
        run_best_g(n + 11),
        run_best_res(n + m + 11),
        global_x(best_base + 1),
        global_f(best_base + n + 1),
        global_g(best_base + n + 2),
        global_res(best_base + n + m + 2),
        oracle(best_base + n + m + 3),
        profile(best_base + n + m + 6) {}
};

}  // namespace kestro::kernel
