// Adjusting a tuning preset for blocks of more than one point.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "kernel/preset_tables.hpp"
#include "kernel/presets.hpp"

namespace kestro::kernel {

bool fill_block_size_multipliers(std::int32_t stage, std::int32_t character, RealView multipliers) {
  double BlockSizeEntry::*column = nullptr;
  if (stage == 1 && character == 1) column = &BlockSizeEntry::stage1_character1;
  if (stage == 1 && character == 2) column = &BlockSizeEntry::stage1_character2;
  if (stage == 2 && character == 1) column = &BlockSizeEntry::stage2_character1;
  if (stage == 2 && character == 2) column = &BlockSizeEntry::stage2_character2;
  if (column == nullptr) return false;
  for (int k = 1; k <= kPresetValueCount; ++k) multipliers[k] = kBlockSizeAdjustment[k - 1].*column;
  return true;
}

void scale_for_block_size(std::int32_t stage, std::int32_t character, std::int32_t l,
                          RealView buffer) {
  double m[kPresetValueCount] = {};
  const RealView multipliers(m, kPresetValueCount);
  // Stage 3 and character 3 have no multipliers: they stay 0.
  if (stage == 1 || stage == 2) fill_block_size_multipliers(stage, character, multipliers);

  // Blocks of more than 100 points count as 100.
  const double q = std::sqrt(static_cast<double>(std::min(l, std::int32_t{100})));
  for (int k = 1; k <= kPresetValueCount; ++k) {
    const double v = buffer[k];
    buffer[k] = (v - v / q) * multipliers[k] + v;
  }
}

void clamp_to_preset_ranges(RealView buffer) {
  for (int k = 1; k <= kPresetValueCount; ++k) {
    const BlockSizeEntry& range = kBlockSizeAdjustment[k - 1];
    if (buffer[k] < range.lower) buffer[k] = range.lower;
    if (buffer[k] > range.upper) buffer[k] = range.upper;
  }
}

void adjust_for_block_size(std::int32_t stage, std::int32_t character, std::int32_t l,
                           RealView buffer) {
  scale_for_block_size(stage, character, l, buffer);
  clamp_to_preset_ranges(buffer);
}

}  // namespace kestro::kernel
