#include "kernel/deviate.hpp"

#include <array>

#include "core/numeric.hpp"
#include "kestro.h"

namespace kestro::kernel {

double deviate_table_a(int k) { return kDeviateRows[deviate_row(k) - 1].a; }
double deviate_table_b(int k) { return kDeviateRows[deviate_row(k) - 1].b; }

}  // namespace kestro::kernel

// The Gaussian deviate of two uniform numbers.
extern "C" double o16_(const double* u1, const double* u2) {
  return kestro::kernel::deviate(*u1, *u2);
}
