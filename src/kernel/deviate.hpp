// The Gaussian deviate of the colony: the product of two fixed 31-entry
// tables indexed by uniform draws.
#pragma once

namespace kestro::kernel {

// The table position a uniform number selects: max(1, trunc(31*u)), kept
// within 1 .. 31 whatever u is (u = 1 gives 31, whose entries are 0).
int deviate_table_index(double u);

// Entries k = 1 .. 31 of the two deviate tables (a k outside that range reads
// the nearest end).
double deviate_table_a(int k);
double deviate_table_b(int k);

// B(index of u1) * A(index of u2): an approximately normal deviate built from
// two uniform numbers.
double deviate(double u1, double u2);

}  // namespace kestro::kernel
