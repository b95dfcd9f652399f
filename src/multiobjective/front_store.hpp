// The Pareto front store: up to `front_capacity` mutually non-dominated
// feasible points kept in the caller's array PF, with the per-objective
// minima and maxima of the front.
#pragma once

#include <cstdint>

#include "core/view.hpp"
#include "multiobjective/ignored_objectives.hpp"
#include "multiobjective/multiobjective_state.hpp"

namespace kestro::multiobjective {

// The value written into objective 1 of a slot that no longer holds an
// entry. Removed entries are never recognised by this value: the sweep
// decides again from the values that made it remove them.
inline constexpr double kRemovedMarker = -30111979.0;

// The three blocks of the front for a capacity of P entries: objective k of
// entry j, constraint c of entry j, variable v of entry j. Slots above the
// number of entries hold stale values and are never read as entries.
struct FrontBlocks {
  std::int32_t o = 0, m = 0, n = 0;
  RealView objectives;   // O*P values
  RealView constraints;  // M*P values
  RealView variables;    // N*P values

  double& objective(Index j, Index k) const { return objectives[(j - 1) * o + k]; }
  double& constraint(Index j, Index c) const { return constraints[(j - 1) * m + c]; }
  double& variable(Index j, Index v) const { return variables[(j - 1) * n + v]; }

  // Three separate caller's blocks of `entries` entries each.
  static FrontBlocks over(std::int32_t o, std::int32_t m, std::int32_t n, double* objectives,
                          double* constraints, double* variables, Index entries) {
    FrontBlocks front;
    front.o = o;
    front.m = m;
    front.n = n;
    front.objectives = RealView(objectives, Index(o) * entries);
    front.constraints = RealView(constraints, Index(m) * entries);
    front.variables = RealView(variables, Index(n) * entries);
    return front;
  }

  // The blocks inside PF: PF(1) holds the number of entries, the blocks
  // follow it. Empty blocks when PF is too short for the capacity.
  static FrontBlocks in_pf(RealView pf, std::int32_t o, std::int32_t m, std::int32_t n,
                           std::int32_t capacity);
  // PF is long enough for PF(1) and the three blocks of `capacity` entries.
  static bool fits(RealView pf, std::int32_t o, std::int32_t m, std::int32_t n,
                   std::int32_t capacity);

  // Writes a point's objectives, constraints and variables as entry j.
  void write_entry(Index j, ConstRealView f, ConstRealView g, ConstRealView x) const;
  // Copies entry `from` over slot `to`.
  void copy_entry(Index from, Index to) const;
};

// Sum over all objectives of the absolute differences of two objective
// vectors.
double objective_distance(const FrontBlocks& front, Index j, ConstRealView f);
double entry_distance(const FrontBlocks& front, Index a, Index b);

// Per-objective scratch of one offer: the ranges of the front before the
// offer, and the entry first holding each objective's maximum after it.
struct OfferScratch {
  RealView ranges;       // O values
  RealView max_entries;  // O values (entry numbers, 0 for none)
};

// One offer of a point to the front.
struct OfferCall {
  FrontBlocks front;
  std::int32_t& psize;
  std::int32_t front_capacity;
  double front_epsilon;
  RealView objlo, objhi;
  double& front_shift;
  std::int32_t offered_count;
  IgnoredObjectives ignored;
  std::int32_t& bounds_changed;
  double& relative_bound_change;
  std::int32_t& added;
  OfferScratch scratch;
};

// The offered point's objectives (O), constraints (M) and variables (N).
struct OfferedPoint {
  ConstRealView f, g, x;
};

// Offers one point: duplicates and dominated points are refused, the
// entries the point dominates are removed, a full front replaces an entry
// of its most crowded pair, near-dominated extreme entries are pruned, and
// every movement of the front's bounds lowers `front_shift`. The added flag
// is 1 when the point passed the dominance and outlier tests.
void offer_point(FrontStoreState& state, const OfferedPoint& point, OfferCall& call);

// Removes entry j: entry PSIZE moves into slot j, PSIZE decreases by 1.
void remove_entry(const FrontBlocks& front, std::int32_t& psize, Index j);

// Books one movement of a front bound: sets the bounds-changed flag, lowers
// front_shift and records the relative size of the movement.
void book_bound_change(double& front_shift, double new_bound, double old_bound, std::int32_t o,
                       std::int32_t offered_count, std::int32_t& bounds_changed,
                       double& relative_bound_change);

}  // namespace kestro::multiobjective
