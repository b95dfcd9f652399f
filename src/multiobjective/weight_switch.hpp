// The switch between the user-weighted value and a random-weighted value
// that the kernel sees, driven by stagnation of the user-weighted value.
#pragma once

#include <cstdint>

#include "core/view.hpp"
#include "multiobjective/ignored_objectives.hpp"
#include "multiobjective/multiobjective_state.hpp"

namespace kestro::multiobjective {

// What the switch reads and changes besides its own saved values. `rw` is
// the real workspace; RW(1), RW(2) hold the random generator.
struct WeightSwitchCall {
  std::int32_t o, n;
  RealView rw;
  std::int32_t& weight_mode;
  IgnoredObjectives ignored;
  double& random_shift;
  RealView random_weights;  // O values
};

// Start of a run: user weights in force, random weights 1.0 (0.0 where
// ignored), no stagnation yet.
void start_weight_switch(WeightSwitchState& state, WeightSwitchCall& call);

// Books one point with its user-weighted value u and random-weighted value
// z. A new best u or a moved front bound is progress and brings the user
// weights back; after a stagnation of T points the random weights take over
// and are drawn afresh, one draw per objective.
void book_weight_switch(WeightSwitchState& state, WeightSwitchCall& call, double u, double z,
                        std::int32_t bounds_changed, std::int32_t psize);

// The stagnation limit T = min(N, 100) + 20*stall_prev +
// trunc(100000 / (PSIZE^2 + 1)), in 32-bit integers (wrapping) with the
// division in reals.
std::int32_t stagnation_limit(std::int32_t n, std::int32_t stall_prev, std::int32_t psize);

}  // namespace kestro::multiobjective
