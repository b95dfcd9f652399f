// The active tuning preset of the kernel, kept from one call to the next.
#pragma once

#include <cstdint>

namespace kestro::kernel {

// The 33 tuning values of a preset: the first 17 are reals, the last 16
// become integers.
inline constexpr int kPresetRealCount = 17;
inline constexpr int kPresetIntegerCount = 16;
inline constexpr int kPresetValueCount = kPresetRealCount + kPresetIntegerCount;

struct PresetState {
  // PRESET_R(1..17) at preset_r[0..16]: the real tuning values every kernel
  // routine reads.
  double preset_r[kPresetRealCount] = {};
  // PRESET_I(1..16) at preset_i[0..15]: the integer tuning values.
  std::int32_t preset_i[kPresetIntegerCount] = {};
  // Application counter: preset requests counted since the run started, so
  // that a run changes its preset at most twice after the start.
  std::int32_t application_count = 0;
};

}  // namespace kestro::kernel
