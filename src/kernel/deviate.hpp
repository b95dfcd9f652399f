// The Gaussian deviate of the colony: the product of two fixed 31-entry
// tables indexed by uniform draws. Inline, since the colony draws one for
// every variable of every point.
#pragma once

#include <array>

#include "core/numeric.hpp"

namespace kestro::kernel {

struct DeviateRow {
  double a;  // about sin(2*pi*k/30)
  double b;  // about sqrt(-2*ln(1 - k/30))
};

// Row k of tables A and B. Entries 15 and 30 of A and entry 30 of B are not
// the formula values; row 31 is zero so that a draw of 1 gives no step.
inline constexpr std::array<DeviateRow, 31> kDeviateRows = {{
    /*  1 */ {0.207911799999, 0.260390399999},
    /*  2 */ {0.406736699999, 0.371464399999},
    /*  3 */ {0.587785399999, 0.459043699999},
    /*  4 */ {0.743144899999, 0.534978299999},
    /*  5 */ {0.866025499999, 0.603856999999},
    /*  6 */ {0.951056599999, 0.668047299999},
    /*  7 */ {0.994521999999, 0.728976299999},
    /*  8 */ {0.994521999999, 0.787597599999},
    /*  9 */ {0.951056599999, 0.844600499999},
    /* 10 */ {0.866025499999, 0.900516699999},
    /* 11 */ {0.743144899999, 0.955780799999},
    /* 12 */ {0.587785399999, 1.010767799999},
    /* 13 */ {0.406736699999, 1.065818099999},
    /* 14 */ {0.207911799999, 1.121257099999},
    /* 15 */ {-0.016538999999, 1.177410099999},
    /* 16 */ {-0.207911799999, 1.234617499999},
    /* 17 */ {-0.406736699999, 1.293250299999},
    /* 18 */ {-0.587785399999, 1.353728799999},
    /* 19 */ {-0.743144899999, 1.416546699999},
    /* 20 */ {-0.866025499999, 1.482303899999},
    /* 21 */ {-0.951056599999, 1.551755799999},
    /* 22 */ {-0.994521999999, 1.625888099999},
    /* 23 */ {-0.994521999999, 1.706040699999},
    /* 24 */ {-0.951056599999, 1.794122699999},
    /* 25 */ {-0.866025499999, 1.893018599999},
    /* 26 */ {-0.743144899999, 2.007437799999},
    /* 27 */ {-0.587785399999, 2.145966099999},
    /* 28 */ {-0.406736699999, 2.327251799999},
    /* 29 */ {-0.207911799999, 2.608140199999},
    /* 30 */ {-0.107911799999, 2.908140199999},
    /* 31 */ {0.0, 0.0},
}};

// A table position kept within 1 .. 31.
inline int deviate_row(int k) { return k < 1 ? 1 : (k > 31 ? 31 : k); }

// The table position a uniform number selects: max(1, trunc(31*u)), kept
// within 1 .. 31 whatever u is (u = 1 gives 31, whose entries are 0). NaN and
// values outside the 32-bit range come back as INT32_MIN, so they land on 1
// like every other value below 1.
inline int deviate_table_index(double u) {
  const double t = 31.0 * u;
  if (t >= 1.0 && t < 31.0) return static_cast<int>(t);  // the usual case: 1 .. 30
  return deviate_row(trunc_to_int(t));
}

// Entries k = 1 .. 31 of the two deviate tables (a k outside that range reads
// the nearest end).
double deviate_table_a(int k);
double deviate_table_b(int k);

// B(index of u1) * A(index of u2): an approximately normal deviate built from
// two uniform numbers.
inline double deviate(double u1, double u2) {
  return kDeviateRows[deviate_table_index(u1) - 1].b * kDeviateRows[deviate_table_index(u2) - 1].a;
}

}  // namespace kestro::kernel
