// Validation of the first call of a run.
#pragma once

#include <cstdint>

#include "core/view.hpp"

namespace kestro {

// The problem as the kernel sees it on the first call. M is the kernel's
// constraint count; X, F and G hold the block (only point 1 is read).
struct FirstCall {
  std::int32_t l, o, n, ni, m, me;
  ConstRealView x, f, g, xl, xu, param;
  RealView rw;
  IntView iw;
};

// Sizes that validation fixes for the kernel.
struct KernelSizes {
  std::int32_t archive_size = 0;
  Index best_base = 0;
  Index iw_kernel_len = 0;
};

// Runs the input checks in their fixed order. On an error sets iflag to its
// code and istop = 1; on a warning sets iflag to its code and warn = 1;
// otherwise leaves iflag as it was. Clears the kernel's workspace once the
// sizes are known to fit.
void validate_first_call(const FirstCall& call, std::int32_t& iflag,
                         std::int32_t& istop, KernelSizes& sizes,
                         std::int32_t& warn);

}  // namespace kestro
