// Saved state of the multi-objective layer, kept from one call to the next.
//
// Everything whose size depends on the number of objectives O (the user
// weights, the random weights, the driver's best objective vector and the
// offer's scratch) lives in the caller's real workspace, in the reserved
// tails of the regions the workspace check has already sized by O (see
// multiobjective/layer_workspace.hpp). The structures below hold only
// scalars, so any O the workspace check accepts is served without
// allocation.
#pragma once

#include <cstdint>

namespace kestro::multiobjective {

// The front store's crowding scan, used when the front is full.
struct FrontStoreState {
  // 0: no scan yet; 1: the last scan found no pair to replace; 2: the last
  // scan replaced an entry.
  std::int32_t crowd_mode = 0;
  // Smallest pairwise distance met in the last scan (LARGE if none).
  double crowd_mindist = 0.0;
  // Where the next scan resumes in mode 2.
  std::int32_t crowd_row = 0;
  std::int32_t crowd_col = 0;
};

// The switch between the user-weighted and the random-weighted value.
struct WeightSwitchState {
  double switch_best1 = 0.0;     // best user-weighted value seen
  double switch_best2 = 0.0;     // best random-weighted value seen in mode 2
  std::int32_t stall_count = 0;  // points in a row without progress
  std::int32_t stall_prev = 0;   // length of the previous stagnation
};

// Best-point steering.
struct SteeringState {
  // Steering calls since the last periodic injection.
  std::int32_t steer_count = 0;
};

// The sizes a run of the layer was started with; a continuing call must
// bring the same ones, since the workspace positions follow from them.
struct LayerShape {
  std::int32_t l = 0, o = 0, n = 0, m = 0, me = 0;
  bool operator==(const LayerShape&) const = default;
};

// The driver's own values.
struct DriverState {
  // True once a first call has set the layer up for a run.
  bool initialised = false;
  LayerShape shape;

  std::int32_t mo_calls = 0;          // calls since the run began
  double front_shift = 0.0;           // offset of the user-weighted value
  std::int32_t offered_count = 0;     // feasible points offered to the front
  double accuracy = 0.0;              // feasibility tolerance
  double front_epsilon = 0.0;         // tolerance of the dominance test
  std::int32_t front_capacity = 0;    // maximum number of front entries
  std::int32_t psize = 0;             // entries on the front, mirrors PF(1)
  std::int32_t steer_started = 0;     // 1 until steering has run once, then 666
  double best_scalar = 0.0;           // scalar value of the driver's best point
  double best_residual = 0.0;         // residual of the driver's best point
  std::int32_t weight_mode = 0;       // 1: user weights; 2: random weights
  double balance = 0.0;               // abs(BALANCE)
  std::int32_t balance_negative = 0;  // 1: the random-weighted value is never used
  // 1 when PARETOMAX < 0 and BALANCE < 1: objectives with weight 0 take no
  // part in the dominance test and get random weight 0 (objective_ignored).
  std::int32_t ignore_zero_weights = 0;
  double random_shift = 0.0;  // offset of the random-weighted value
  // Set by every movement of a front bound; cleared once per call.
  std::int32_t bounds_changed = 0;
  // Relative size of the last bound movement.
  double relative_bound_change = 0.0;
};

// The largest O the exported offer routine serves when called on its own:
// its argument list has no room for the per-objective scratch, so it uses
// the fixed scratch below. The driver passes scratch sized from O instead.
inline constexpr std::int32_t kStandaloneObjectiveLimit = 1000;

struct StandaloneOfferScratch {
  double ranges[kStandaloneObjectiveLimit] = {};
  double max_entries[kStandaloneObjectiveLimit] = {};
};

struct MultiObjectiveState {
  DriverState driver;
  FrontStoreState front;
  WeightSwitchState weight_switch;
  SteeringState steering;
  StandaloneOfferScratch standalone_scratch;
};

}  // namespace kestro::multiobjective
