// The positions of the 13 entries of PARAM, 1-based as the caller's
// documentation counts them. Every reader of PARAM goes through these names,
// through a view whose first element is PARAM(1).
#pragma once

#include "core/view.hpp"

namespace kestro::param {

inline constexpr Index kAccuracy = 1;    // feasibility tolerance (0: 0.001)
inline constexpr Index kRandomSeed = 2;  // seed of the generator
inline constexpr Index kFstop = 3;       // objective target (0: none)
inline constexpr Index kAlgostop = 4;    // restarts without improvement before stopping
inline constexpr Index kEvalstop = 5;    // evaluations without improvement, plus tolerance
inline constexpr Index kFocus = 6;       // spread of the first generation around the start
inline constexpr Index kAnts = 7;        // ants per generation (0: from the preset)
inline constexpr Index kKernel = 8;      // archive members sampled from (with ANTS)
inline constexpr Index kOracle = 9;      // start value of the oracle (0: from the start point)
inline constexpr Index kParetomax = 10;  // front capacity, its sign the zero-weight rule
inline constexpr Index kEpsilon = 11;    // front resolution (0: from O)
inline constexpr Index kBalance = 12;    // objective weighting of a multi-objective run
inline constexpr Index kCharacter = 13;  // problem character of the presets (0: chosen)

// Number of entries.
inline constexpr Index kCount = 13;

}  // namespace kestro::param
