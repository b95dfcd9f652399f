// Saved state of the pattern-search phase, kept from one call to the next.
#pragma once

#include <cstdint>

namespace kestro::kernel {

struct PatternSearchState {
  // P: points written per call, fixed when a phase starts.
  std::int32_t points = 0;
  // Merit of the base point (the best point of the phase so far).
  double best_merit = 0.0;
  // c: the variable of the exploratory trial being booked.
  std::int32_t variable = 0;
  // d: +1 for the plus trial on c, -1 for the minus trial.
  std::int32_t direction = 0;
  // pos: position of c in the visiting order IW(1..N); 0 before a pass.
  std::int32_t position = 0;
  // pos and d of the first exploratory point of the last block, from which
  // the booking of that block starts.
  std::int32_t saved_position = 0;
  std::int32_t saved_direction = 0;
  // 1 until the first point of the block being produced has been written.
  std::int32_t first_point_of_block = 0;
  // Improving trials in the current plus/minus pair.
  std::int32_t success_count = 0;
  // Pattern blocks since the last exploratory pass.
  std::int32_t pattern_blocks = 0;
  // Pattern blocks in a row without merit progress.
  std::int32_t stall_count = 0;
  // Merit that a pattern point has to beat to count as progress.
  double reference_merit = 0.0;
  // Merit of the point booked last.
  double booked_merit = 0.0;
  // 10^PRESET_R(16): the weight of the residual in the merit.
  double merit_weight = 0.0;
  // lambda: the pattern factor. Not reset when a phase starts; the first
  // pattern block after a pass sets it.
  double pattern_factor = 0.0;
  // The variable the previous exploratory trial moved (used when P = 1).
  std::int32_t previous_variable = 0;
};

}  // namespace kestro::kernel
