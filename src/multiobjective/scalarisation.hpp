// One number per point for the kernel: the user weights derived from
// BALANCE, the weighted, range-normalised distance from the front's minima,
// and the residual that decides feasibility.
#pragma once

#include <cstdint>

#include "core/view.hpp"

namespace kestro::multiobjective {

// User weights from B = abs(BALANCE): all 1.0 unless 0 < B < 1; then weight
// i is the i-th decimal digit of B (i <= min(O, 8)), scaled so that the
// largest weight is 1, and 0 for the other objectives. When those digits are
// all zero every weight is 1.0, as for B = 0.
void user_weights(RealView weights, std::int32_t o, double balance);

// The scalar value of a point's objective vector F (O values) with residual
// r: the plain sum of abs(F(k)) over the weighted objectives for the first
// point offered to the front; 1 plus that sum for an infeasible point;
// otherwise the weighted, range-normalised distance from the front's minima,
// plus the imbalance between the weighted objectives, plus `shift`.
double weighted_distance(std::int32_t o, ConstRealView f, double r, double acc, ConstRealView objlo,
                         ConstRealView objhi, double shift, ConstRealView weights,
                         std::int32_t offered_count);

// Objective trunc(balance) alone when balance >= 1 (an objective number
// beyond O reads objective O), else weighted_distance.
double scalar_value(std::int32_t o, ConstRealView f, double r, double acc, ConstRealView objlo,
                    ConstRealView objhi, double balance, double shift, ConstRealView weights,
                    std::int32_t offered_count);

// Residual of a point: abs(G) over the equalities j = 1..ME with
// abs(G) > ACC, plus -G over the inequalities with G < -ACC, in constraint
// order. An ME beyond M counts M equalities.
double point_residual(ConstRealView g, std::int32_t m, std::int32_t me, double acc);

}  // namespace kestro::multiobjective
