// The active tuning preset of the kernel, kept from one call to the next.
#pragma once

#include <cstdint>

#include "core/preset_names.hpp"

namespace kestro::kernel {

// The record sizes, also under the kernel's own names.
using kestro::kPresetIntegerCount;
using kestro::kPresetRealCount;
using kestro::kPresetValueCount;

struct PresetState {
  // PRESET_R(1..17) at preset_r[0..16]: the real tuning values every kernel
  // routine reads, through the names of core/preset_names.hpp.
  double preset_r[kPresetRealCount] = {};
  // PRESET_I(1..16) at preset_i[0..15]: the integer tuning values.
  std::int32_t preset_i[kPresetIntegerCount] = {};
  // Application counter: preset requests counted since the run started, so
  // that a run changes its preset at most twice after the start.
  std::int32_t application_count = 0;

  // The records as the 1-based views the kernel routines read them through.
  ConstRealView reals() const { return ConstRealView(preset_r, kPresetRealCount); }
  ConstIntView integers() const { return ConstIntView(preset_i, kPresetIntegerCount); }
};

}  // namespace kestro::kernel
