// Judging evaluated points: the better-than rule and the global-best record,
// the choice of the best start point, the EVALSTOP test, the repair that keeps
// integer variables pairwise different, and the archive's rank weights.
#pragma once

#include <cstdint>

#include "core/best_record.hpp"
#include "core/view.hpp"
#include "kernel/kernel_records.hpp"
#include "kernel/kernel_state.hpp"

namespace kestro::kernel {

// True when a point with residual `res` and objective `f` replaces a best
// point with residual `best_res` and objective `best_f`: an infeasible best
// point (best_res > acc) falls to any smaller residual, a feasible one only to
// a feasible point with a smaller objective. Ties never replace.
bool better_than(double res, double f, double best_res, double best_f, double acc);

// Compares the point (x(1..n), f, g(1..m)) with the record and, when it is
// better, writes its F, residual, X and G over the record. True when the
// record was replaced. A record that does not lie inside RW, or a point whose
// views are shorter than n and m, leaves everything as it was.
bool update_global_best(RealView rw, const RecordPositions& record, ConstRealView x, double f,
                        ConstRealView g, Index n, Index m, Index me, double acc);

// Picks the best of the l points of a block (f: one value per point; g: l rows
// of m values; x: l rows of n values) and copies its F, G and X into every
// slot. Without constraints the first point with the smallest F wins; with
// constraints a smaller residual wins while the best has a positive residual,
// and a smaller F among points of residual 0 once it has none. Returns the
// index of the chosen point: 1 when l <= 1 (nothing is copied), 0 when the
// views are too short for the block (nothing is touched).
Index pick_best_start_point(Index l, Index n, Index m, Index me, RealView f, RealView g, RealView x,
                            double acc);

// EVALSTOP accounting for one evaluated point (f, g(1..m)), PARAM(5) being
// n + d with n evaluations and d the relative tolerance. With iflag = 0 the
// point becomes the reference and the count starts at 0. Otherwise a point
// that improves on the reference by the tolerance becomes the new reference
// and clears the count; any other point adds 1 to the count, and when the
// count reaches NINT(PARAM(5)) the run ends: istop = 1 and iflag = 5 when the
// reference is feasible, else 6.
void evalstop_account(EvalstopState& state, double f, ConstRealView g, Index m, Index me,
                      double acc, ConstRealView param, std::int32_t& istop, std::int32_t& iflag);

// Makes the integer variables (the last ni of x(1..n)) pairwise different.
// The variables are visited in a shuffled order built in IW(iwk .. iwk+n-1)
// with n draws of the generator in RW(1..2); a visited integer variable that
// shares its value with another one moves by the smallest whole step, up
// before down, to a value inside its bounds that no other integer variable
// holds. Does nothing (and draws nothing) when n <= 0 or when the scratch, the
// generator state or a point view does not lie inside its array.
void make_integers_all_different(Index n, Index ni, RealView x, ConstRealView xl, ConstRealView xu,
                                 RealView rw, IntView iw, Index iwk);

// Writes the linear rank weights w_r = (k - r + 1) / (k(k + 1)/2), r = 1..k,
// to RW(first) .. RW(first + k - 1): member 1 gets the largest weight and the
// weights sum to 1. Nothing when k <= 0 or the range does not lie inside RW.
void write_rank_weights(RealView rw, Index first, Index k);

}  // namespace kestro::kernel
