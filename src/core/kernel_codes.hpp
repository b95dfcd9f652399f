// The kernel's own codes and limits: the state codes that the main loop and
// the colony step pass between them, the call counts at which the tuning
// stage changes, and the archive capacity.
#pragma once

#include <cstdint>

namespace kestro {

// What the block returned to the caller was, or what the colony step does
// next. The main loop hands 0 (or any value >= 0) to start a kernel run.
namespace state_code {
inline constexpr std::int32_t kFirstCall = 0;
inline constexpr std::int32_t kGenerationPoints = -1;     // points of the current generation
inline constexpr std::int32_t kNewGeneration = -2;        // first block of a new generation
inline constexpr std::int32_t kNewCycle = -3;             // first block of a restart cycle
inline constexpr std::int32_t kGenerationComplete = -10;  // block that completed a generation
inline constexpr std::int32_t kSearchStart = -30;         // first block of a coordinate-search pass
inline constexpr std::int32_t kSearchMove = -31;       // further coordinate-search blocks, to -38
inline constexpr std::int32_t kSearchPerturbed = -39;  // archive-best perturbations after a run-out
inline constexpr std::int32_t kSearchPassDone = -40;   // coordinate-search pass finished
inline constexpr std::int32_t kSearchExhausted = -99;  // nothing more for the coordinate search
inline constexpr std::int32_t kTargetMet = 7;          // FSTOP met by a feasible point

// Codes below this one (down to kSearchExhausted) say that the coordinate
// search has run out; the colony then begins a new cycle.
inline constexpr std::int32_t kRanOutBelow = -89;

// A block from the coordinate search (-40 .. -30) is booked by local
// acceptance, not offered to the archive.
inline constexpr bool from_coordinate_search(std::int32_t code) {
  return code <= kSearchStart && code >= kSearchPassDone;
}
}  // namespace state_code

// When the tuning stage changes, in kernel calls since the run started.
namespace stage_limit {
// Stage 1 gives way to stage 2 after this many calls in any case...
inline constexpr std::int32_t kStageOneCalls = 10000;
// ...and at the start of a restart cycle after this many.
inline constexpr std::int32_t kStageTwoAtCycleCalls = 5000;
// Stage 2 gives way to stage 3 at the start of a cycle after this many.
inline constexpr std::int32_t kStageThreeAtCycleCalls = 100000;
// The call count goes on from here when it would pass the 32-bit range.
inline constexpr std::int32_t kCallsAfterWrap = 9999999;
}  // namespace stage_limit

// Capacity of the solution archive, in members.
inline constexpr std::int32_t kArchiveCapacity = 100;

}  // namespace kestro
