// Positions of the kernel's records in RW (1-based).
#pragma once

#include "core/best_record.hpp"
#include "core/view.hpp"
#include "kernel/work_area.hpp"

namespace kestro::kernel {

// The run-best record at the bottom of the kernel work area, and the
// global-best record, oracle value and bounds profile after best_base.
// N and M are the sizes the kernel sees.
struct KernelRecords {
  RecordPositions run_best, global;
  Index oracle;
  Index profile;  // first of the N profile codes

  KernelRecords(Index n, Index m, Index best_base)
      : run_best(RecordPositions::starting_at(kRunBestFirst, n, m)),
        global(RecordPositions::starting_at(best_base + 1, n, m)),
        oracle(best_base + n + m + 3),
        profile(best_base + n + m + 6) {}
};

}  // namespace kestro::kernel
