// The fixed tables behind the tuning presets: one table per search stage
// with a column per problem character, and the per-entry multipliers and
// clamp ranges of the block-size adjustment.
#pragma once

#include <array>

#include "kernel/preset_state.hpp"

namespace kestro::kernel {

// One preset entry across characters 1, 2 and 3.
using StageTableEntry = std::array<double, 3>;

// The 33 entries of one stage, PRESET_R(1..17) then PRESET_I(1..16) (the
// integer entries stored as reals, truncated when installed).
using StageTable = std::array<StageTableEntry, kPresetValueCount>;

// One preset entry of the block-size adjustment: its clamp range and its
// multipliers for the stage-1 and stage-2 tables of characters 1 and 2.
struct BlockSizeEntry {
  double lower;
  double upper;
  double stage1_character1;
  double stage1_character2;
  double stage2_character1;
  double stage2_character2;
};

using BlockSizeTable = std::array<BlockSizeEntry, kPresetValueCount>;

extern const StageTable kStage1Presets;
extern const StageTable kStage2Presets;
extern const StageTable kStage3Presets;
extern const BlockSizeTable kBlockSizeAdjustment;

}  // namespace kestro::kernel
