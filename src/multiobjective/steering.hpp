// Best-point steering: adjusts a point's user-weighted value against the
// driver's best point so that the kernel's best point follows the front,
// and now and then hands the kernel a front member in place of the point.
#pragma once

#include <cstdint>

#include "core/view.hpp"
#include "multiobjective/front_store.hpp"
#include "multiobjective/multiobjective_state.hpp"

namespace kestro::multiobjective {

struct SteeringCall {
  double& s;         // the point's user-weighted value
  RealView f, g, x;  // the point's objectives, constraints, variables
  double r;          // the point's residual
  double accuracy;
  double best_scalar;  // B
  double best_residual;
  ConstRealView best_objectives;  // BF
  double psize_real;              // PF(1)
  FrontBlocks front;
  std::int32_t front_capacity;
  ConstRealView objlo, objhi, weights;
  double balance;
  std::int32_t& steer_started;
  std::int32_t weight_mode;
  std::int32_t added;
  std::int32_t bounds_changed;
  double relative_bound_change;
  std::int32_t offered_count;
};

// Steers one evaluated point (see the header comment).
void steer_point(SteeringState& state, SteeringCall& call);

// Closeness of two objective vectors: the sum over all objectives of
// abs(a - b) / max(abs(a), abs(b), 1).
double closeness(std::int32_t o, ConstRealView a, ConstRealView b);

}  // namespace kestro::multiobjective
