// Tuning presets: choosing the table of a stage and problem character,
// adjusting it for the block size and installing it as PRESET_R and PRESET_I.
#pragma once

#include <cstdint>

#include "core/view.hpp"
#include "kernel/preset_state.hpp"

namespace kestro::kernel {

// What the kernel asks for when it installs a preset.
struct PresetRequest {
  std::int32_t l = 1;             // points per block
  std::int32_t n = 0;             // variables
  std::int32_t ni = 0;            // integer variables (the last NI)
  double character = 0;           // PARAM(13), CHARACTER
  std::int32_t stage = 1;         // 1, 2 or 3
  std::int32_t kernel_calls = 1;  // kernel calls since the run started; 1 starts a run
};

// The application guard. A request with kernel_calls = 1 starts a run and is
// always applied; after it the next request is applied, then one more unless
// it asks for stage 2, and every other request is refused. The run's own
// sequence (stage 1, then at most one stage-2 and one stage-3 request) is
// thus applied in full. Updates the counter; true when the request is to be
// applied.
bool preset_request_allowed(std::int32_t& application_count, std::int32_t stage,
                            std::int32_t kernel_calls);

// The problem character a preset is chosen for: CHARACTER rounded to the
// nearest integer when positive, else 1 for problems with continuous
// variables and 2 for purely integer ones. May lie outside 1..3 (a CHARACTER
// that validation rejects, or N < NI), in which case no table matches.
std::int32_t preset_character(double character, std::int32_t n, std::int32_t ni);

// Writes the 33 table values of (stage, character) to buffer[1..33]; writes
// nothing and returns false when there is no such table.
bool fill_stage_values(std::int32_t stage, std::int32_t character, RealView buffer);

// Writes the 33 block-size multipliers of (stage, character) to
// multipliers[1..33]; writes nothing and returns false for stages and
// characters other than 1 and 2.
bool fill_block_size_multipliers(std::int32_t stage, std::int32_t character, RealView multipliers);

// Scales each of the 33 values v by its multiplier m as (v - v/q)*m + v, with
// q = sqrt(min(L, 100)); stages and characters without multipliers leave the
// values as they are.
void scale_for_block_size(std::int32_t stage, std::int32_t character, std::int32_t l,
                          RealView buffer);

// Clamps each of the 33 values into its fixed range.
void clamp_to_preset_ranges(RealView buffer);

// The whole block-size adjustment: scaling, then clamping.
void adjust_for_block_size(std::int32_t stage, std::int32_t character, std::int32_t l,
                           RealView buffer);

// Installs the preset a request asks for into preset_r[1..17] and
// preset_i[1..16], unless the application guard refuses it or no table
// matches the character; then the records keep what they held.
void install_preset(RealView preset_r, IntView preset_i, std::int32_t& application_count,
                    const PresetRequest& request);

// Installs the requested preset into the kernel's saved preset state.
void select_preset(PresetState& state, const PresetRequest& request);

}  // namespace kestro::kernel
