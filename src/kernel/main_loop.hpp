// The single-objective kernel: one call per evaluated block.
#pragma once

#include <cstdint>

#include "core/view.hpp"
#include "kernel/kernel_state.hpp"

namespace kestro::kernel {

// One call of the kernel. M is the kernel's constraint count and G the
// kernel's constraint block (L rows of M values).
struct KernelCall {
  std::int32_t l, o, n, ni, m, me;
  RealView x, f, g;
  ConstRealView xl, xu;
  std::int32_t& iflag;
  std::int32_t& istop;
  ConstRealView param;
  RealView rw;
  IntView iw;
  RealView pen, res, step;
};

void run_kernel_call(KernelState& state, KernelCall& call);

}  // namespace kestro::kernel
