// Choosing and installing the tuning preset of a search stage.
#include "kernel/presets.hpp"

#include <cstdint>

#include "core/numeric.hpp"
#include "kernel/preset_tables.hpp"

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
  for (int k = 1; k <= kPresetValueCount; ++k) buffer[k] = (*table)[k - 1][character - 1];
  return true;
}

void install_preset(RealView preset_r, IntView preset_i, std::int32_t& application_count,
                    const PresetRequest& request) {
  if (!preset_request_allowed(application_count, request.stage, request.kernel_calls)) return;
  const std::int32_t character = preset_character(request.character, request.n, request.ni);

  double values[kPresetValueCount] = {};
  const RealView buffer(values, kPresetValueCount);
  // No table for this stage and character (CHARACTER above 3 or N < NI come
  // only with inputs that validation rejects): the records keep what they
  // held.
  if (!fill_stage_values(request.stage, character, buffer)) return;
  if (request.l > 1) adjust_for_block_size(request.stage, character, request.l, buffer);

  for (int k = 1; k <= kPresetRealCount && k <= preset_r.size(); ++k) preset_r[k] = buffer[k];
  for (int k = 1; k <= kPresetIntegerCount && k <= preset_i.size(); ++k)
    preset_i[k] = trunc_to_int(buffer[kPresetRealCount + k]);
}

void select_preset(PresetState& state, const PresetRequest& request) {
  install_preset(RealView(state.preset_r, kPresetRealCount),
                 IntView(state.preset_i, kPresetIntegerCount), state.application_count, request);
}

}  // namespace kestro::kernel
