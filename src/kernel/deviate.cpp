#include "kernel/deviate.hpp"

#include <array>

#include "core/numeric.hpp"

namespace kestro::kernel {

double deviate_table_a(int k) { return kDeviateRows[deviate_row(k) - 1].a; }
double deviate_table_b(int k) { return kDeviateRows[deviate_row(k) - 1].b; }

}  // namespace kestro::kernel
