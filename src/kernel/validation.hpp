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
void validate_first_call(const FirstCall& call, std::int32_t& iflag, std::int32_t& istop,
                         KernelSizes& sizes, std::int32_t& warn);

// The checks of a first call that need no workspace, one group at a time, as
// a front end makes them before it starts a run: the IFLAG code of the first
// fault (0 when there is none) and where it lies (1-based).
struct InputFault {
  std::int32_t code = 0;
  Index first = 0;   // the variable or PARAM entry at fault
  Index second = 0;  // the other variable of a pair (IFLAG 402)
};

// The counts (101 .. 107) and, when XL and XU hold N values, variable by
// variable the start value and the bounds (201 .. 206), then the integer
// variables' whole numbers (881 .. 883). An empty X (no start point given)
// skips the tests of the start values.
InputFault problem_fault(std::int32_t o, std::int32_t n, std::int32_t ni, std::int32_t m,
                         std::int32_t me, ConstRealView x, ConstRealView xl, ConstRealView xu);

// PARETOMAX and EPSILON, which matter with several objectives (321, 322,
// 331), or 0.
int front_param_error(double paretomax, double epsilon);

// PARAM (301 .. 312, 321 .. 331, 350 .. 352, 399, 347, 348, in that order)
// as for one objective; first: the entry.
InputFault param_fault(ConstRealView param);

// What depends on the problem and PARAM together: a BALANCE that names no
// objective of O (350), and with CHARACTER 3 two integer variables of the
// start point X that are not pairwise different (402; first and second).
InputFault pairing_fault(std::int32_t o, std::int32_t n, std::int32_t ni, ConstRealView x,
                         ConstRealView param);

}  // namespace kestro
