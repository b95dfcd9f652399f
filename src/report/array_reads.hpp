// Reads from the caller's arrays that never leave the declared lengths.
#pragma once

#include <limits>

#include "core/view.hpp"

namespace kestro::report {

// The value at `position`, or NaN when the view does not hold that position
// (an array the caller did not provide, or sizes that do not fit together).
inline double value_or_nan(ConstRealView view, Index position) {
  return view.holds(position) ? view[position] : std::numeric_limits<double>::quiet_NaN();
}

// A count taken from a size argument: negative sizes count as zero.
inline Index count_of(long long size) { return size > 0 ? size : 0; }

}  // namespace kestro::report
