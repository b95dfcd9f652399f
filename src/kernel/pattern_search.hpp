// The pattern-search phase: a local, derivative-free search around the
// kernel's best point, run one block per call. Exploratory passes try each
// variable at plus and minus its step in a random order; pattern blocks then
// jump along the direction given by the differences of those trial merits.
#pragma once

#include <cstdint>

#include "core/view.hpp"
#include "kernel/pattern_search_state.hpp"

namespace kestro::kernel {

// Phase codes shared with the kernel main loop.
namespace pattern_phase {
inline constexpr std::int32_t kStart = 0;       // a new phase: set up, then start a pass
inline constexpr std::int32_t kExploring = -1;  // an exploratory pass is running
inline constexpr std::int32_t kPattern = -3;    // pattern blocks are running
inline constexpr std::int32_t kStalled = -9;    // pattern blocks stalled: start a new pass
}  // namespace pattern_phase

// One call of the phase. M is the kernel's constraint count; G holds L rows of
// M values, F one value per point.
struct PatternSearchCall {
  std::int32_t l, n, ni, m, me;
  RealView x, f, g;
  ConstRealView xl, xu;
  std::int32_t& phase_code;  // see pattern_phase; 0 starts a phase
  std::int32_t& done;        // 1: hand back the phase's best point
  ConstRealView step;        // STEP(1..N): initial steps, read when a phase starts
  double min_step;           // T1: no step shrinks below it
  double step_tolerance;     // T2: the phase ends when every continuous step is at or below it
  RealView rw;               // uses RW(1 .. 4N+M+11)
  IntView iw;                // uses IW(1 .. N), the visiting order
  double acc;                // feasibility tolerance of the residual
  ConstRealView preset_r;    // PRESET_R(1..17)
  ConstIntView preset_i;     // PRESET_I(1..16)
};

// Books the block the caller has evaluated (points 1..P) and, unless the done
// flag is 1, writes the next P points into X; points P+1..L are left alone.
// With the done flag 1 (on entry, or raised when the steps reach the
// tolerance) the phase's best point goes to X(1..N), F(1), G(1..M) instead.
// A call whose views are too short for its sizes changes nothing.
void run_pattern_search_call(PatternSearchState& state, const PatternSearchCall& call);

}  // namespace kestro::kernel
