// The sizes a run was started with.
#pragma once

#include <cstdint>

namespace kestro {

// A continuing call must bring the sizes its run was started with: the
// workspace positions were fixed from them.
struct RunSizes {
  std::int32_t l = 0, o = 0, n = 0, ni = 0, m = 0, me = 0;
  std::int32_t lrw = 0, liw = 0, lpf = 0;

  bool operator==(const RunSizes&) const = default;
};

}  // namespace kestro
