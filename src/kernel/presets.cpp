// Choosing and installing the tuning preset of a search stage.
#include "kernel/presets.hpp"

#include <cstdint>

#include "interface/context.hpp"
#include "core/numeric.hpp"
#include "kernel/preset_tables.hpp"
#include "kestro.h"

namespace kestro::kernel {

bool preset_request_allowed(std::int32_t& application_count, std::int32_t stage,
                            std::int32_t kernel_calls) {
  if (kernel_calls == 1) {
    application_count = 1;
    return true;
  }
  application_count += 1;
  if (application_count <= 2) return true;
  if (stage == 2) {
    application_count = 2;
    return false;
  }
  if (application_count == 3) return true;
  application_count = 3;
  return false;
}

std::int32_t preset_character(double character, std::int32_t n, std::int32_t ni) {
  std::int32_t c = nint(character);
  if (c <= 0) {
    const std::int64_t continuous = std::int64_t{n} - ni;
    if (continuous > 0)
      c = 1;
    else if (continuous == 0)
      c = 2;
  }
  return c;
}

bool fill_stage_values(std::int32_t stage, std::int32_t character, RealView buffer) {
  const StageTable* table = nullptr;
  switch (stage) {
    case 1: table = &kStage1Presets; break;
    case 2: table = &kStage2Presets; break;
    case 3: table = &kStage3Presets; break;
    default: return false;
  }
  if (character < 1 || character > 3) return false;
  for (int k = 1; k <= kPresetValueCount; ++k)
    buffer[k] = (*table)[k - 1][character - 1];
  return true;
}

void install_preset(RealView preset_r, IntView preset_i, std::int32_t& application_count,
                    const PresetRequest& request) {
  if (!preset_request_allowed(application_count, request.stage, request.kernel_calls))
    return;
  const std::int32_t character = preset_character(request.character, request.n, request.ni);

  double values[kPresetValueCount] = {};
  const RealView buffer(values, kPresetValueCount);
  // No table for this stage and character (CHARACTER above 3 or N < NI come
  // only with inputs that validation rejects): the records keep what they
  // held.
  if (!fill_stage_values(request.stage, character, buffer)) return;
  if (request.l > 1) adjust_for_block_size(request.stage, character, request.l, buffer);

  for (int k = 1; k <= kPresetRealCount && k <= preset_r.size(); ++k)
    preset_r[k] = buffer[k];
  for (int k = 1; k <= kPresetIntegerCount && k <= preset_i.size(); ++k)
    preset_i[k] = trunc_to_int(buffer[kPresetRealCount + k]);
}

void select_preset(PresetState& state, const PresetRequest& request) {
  install_preset(RealView(state.preset_r, kPresetRealCount),
                 IntView(state.preset_i, kPresetIntegerCount), state.application_count,
                 request);
}

}  // namespace kestro::kernel

namespace {

// Fills the 33-value buffer with the row of a stage table for characters 1
// to 3; leaves it untouched for any other character.
void fill_stage_row(std::int32_t stage, const int* character, double* buffer) {
  using namespace kestro;
  kernel::fill_stage_values(stage, *character, RealView(buffer, kernel::kPresetValueCount));
}

}  // namespace

// Selects the preset of a stage for the problem's character, adjusts it for
// the block size and installs it, unless the application guard refuses.
extern "C" void o17_(const int* l, const int* n, const int* ni, double* preset_r,
                     int* preset_i, const double* param, const int* stage,
                     const int* kernel_calls) {
  using namespace kestro;
  const double character = ConstRealView(param, 13)[13];
  const kernel::PresetRequest request{*l, *n, *ni, character, *stage, *kernel_calls};
  kernel::install_preset(RealView(preset_r, kernel::kPresetRealCount),
                         IntView(preset_i, kernel::kPresetIntegerCount),
                         process_context().solver.kernel.preset.application_count, request);
}

// Fills the buffer with the stage-1 preset of the character.
extern "C" void o3_(const int* character, double* buffer) { fill_stage_row(1, character, buffer); }

// Fills the buffer with the stage-2 preset of the character.
extern "C" void o4_(const int* character, double* buffer) { fill_stage_row(2, character, buffer); }

// Fills the buffer with the stage-3 preset of the character.
extern "C" void o5_(const int* character, double* buffer) { fill_stage_row(3, character, buffer); }
