// The 33 tuning values of a preset, each by what it controls. PRESET_R holds
// the 17 reals and PRESET_I the 16 integers; a kernel routine reads an entry
// only through its name here, from a 1-based view of the record
// (preset(preset_r, PresetReal::kReflectionThreshold)). The tables keep the
// values in the order of these names.
#pragma once

#include <cstdint>

#include "core/view.hpp"

namespace kestro {

enum class PresetReal : int {
  kScheduleLengthFactor = 1,      // ant-count schedule length: NINT(k * value)
  kReflectionThreshold = 2,       // a draw at or above it mirrors a sample back into the box
  kReflectionDamping = 3,         // damping of a mirrored sample
  kIntegerSpreadNumerator = 4,    // integer spread floor: value / sqrt(generation)
  kIntegerSpreadDivisor = 5,      // integer spread floor: (1 - 1/sqrt(NI + 0.1)) / value
  kSearchStepShrink = 6,          // coordinate-search step divisor after a failed move
  kGenerationMargin = 7,          // a generation improves when best < ref - abs(ref)/value
  kRestartGaussianThreshold = 8,  // a draw at or above it starts an outer restart Gaussian
  kWidenedIntegerSpread = 9,      // integer spread floor in a widened restart's first generation
  kPatternMinimumGain = 10,       // relative gain below which a pattern phase is unproductive
  kPatternStepTolerance = 11,     // start value of the pattern search's two step tolerances
  kUnused = 12,                   // carried in the record; nothing reads it
  kRestartIntegerSpread = 13,     // outer-restart spread factor with integer variables
  kRestartDamping = 14,           // outer-restart reflection damping at a bound
  kPatternFactorChange = 15,      // pattern factor * (abs(value * r) + 1) after a success
  kMeritWeightExponent = 16,      // merit = F + 10^value * residual
  kIntegerSwitch = 17,            // at 1 or more: all-different repair, integers frozen
};

enum class PresetInteger : int {
  kMaxAnts = 1,                   // upper clamp of the ants per generation
  kMinAnts = 2,                   // lower clamp of the ants per generation
  kFocusBase = 3,                 // base of the focus divisor
  kSecondAntsMultiplier = 4,      // multiplier of the second ant count's random increment
  kLocalAcceptanceExponent = 5,   // local acceptance margin abs(ref) / (10^value + N)
  kRelativeSpreadExponent = 6,    // relative spread floor abs(x) / (generation * 10^value)
  kSearchMinimumStep = 7,         // coordinate-search minimum step 1 / (10 * value)
  kSearchTries = 8,               // coordinate-search tries per continuous coordinate
  kGenerationLimitFactor = 9,     // generation limit min(cap, N * value + 2)
  kGenerationLimitCap = 10,       // generation limit cap
  kRestartCycles = 11,            // restart cycles before a pattern phase or outer restart
  kRestartIntegerDivisor = 12,    // outer-restart integer spread floor divisor
  kRestartSpreadExponent = 13,    // outer-restart continuous spread D / (10^value * u)
  kPatternFailures = 14,          // unproductive pattern phases before it is switched off
  kPatternCallsPerVariable = 15,  // pattern-phase budget: N * value calls
  kPatternStallLimit = 16,        // pattern blocks without progress before a new pass
};

inline constexpr int kPresetRealCount = 17;
inline constexpr int kPresetIntegerCount = 16;
inline constexpr int kPresetValueCount = kPresetRealCount + kPresetIntegerCount;

// An entry of PRESET_R or PRESET_I by its name, from a 1-based view.
inline double preset(ConstRealView preset_r, PresetReal entry) {
  return preset_r[static_cast<Index>(entry)];
}
inline std::int32_t preset(ConstIntView preset_i, PresetInteger entry) {
  return preset_i[static_cast<Index>(entry)];
}

}  // namespace kestro
