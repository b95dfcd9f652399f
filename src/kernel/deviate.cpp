#include "kernel/deviate.hpp"

#include <array>

#include "interface/numeric.hpp"
#include "kestro.h"

namespace kestro::kernel {
namespace {

struct DeviateRow {
  double a;  // about sin(2*pi*k/30)
  double b;  // about sqrt(-2*ln(1 - k/30))
};

// Row k of tables A and B. Entries 15 and 30 of A and entry 30 of B are not
// the formula values; row 31 is zero so that a draw of 1 gives no step.
constexpr std::array<DeviateRow, 31> kDeviateRows = {{
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

int clamp_row(int k) { return k < 1 ? 1 : (k > 31 ? 31 : k); }

}  // namespace

int deviate_table_index(double u) {
  // NaN and values outside the 32-bit range come back as INT32_MIN, so they
  // land on 1 like every other value below 1.
  return clamp_row(trunc_to_int(31.0 * u));
}

double deviate_table_a(int k) { return kDeviateRows[clamp_row(k) - 1].a; }
double deviate_table_b(int k) { return kDeviateRows[clamp_row(k) - 1].b; }

double deviate(double u1, double u2) {
  return deviate_table_b(deviate_table_index(u1)) * deviate_table_a(deviate_table_index(u2));
}

}  // namespace kestro::kernel

// The Gaussian deviate of two uniform numbers.
extern "C" double o16_(const double* u1, const double* u2) {
  return kestro::kernel::deviate(*u1, *u2);
}
