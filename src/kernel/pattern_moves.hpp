// The moves of the pattern search: judging a booked point against the base
// point, adapting a step after a pair of trials, and building trial points
// (exploratory, random around the base, along the pattern direction). Every
// routine that draws does so from the generator in RW(1), RW(2) in a fixed
// number and order.
#pragma once

#include <cstdint>

#include "core/random.hpp"
#include "core/view.hpp"

namespace kestro::kernel {

// Where the pattern search keeps its cells in RW for N variables and M
// constraints; each member is the position of the first cell of its row.
struct PatternSearchLayout {
  Index n = 0;
  Index m = 0;
  Index f_plus = 0;   // f_plus(1..N): merit of the last trial at base + h_j
  Index f_minus = 0;  // f_minus(1..N): merit of the last trial at base - h_j
  Index steps = 0;    // h(1..N)
  Index base_x = 0;   // the base point, N cells
  Index base_g = 0;   // its constraint values, M cells
  Index base_f = 0;   // its objective value

  static PatternSearchLayout for_sizes(Index n, Index m) {
    PatternSearchLayout p;
    p.n = n;
    p.m = m;
    p.f_plus = 11;
    p.f_minus = n + 11;
    p.steps = 2 * n + 11;
    p.base_x = 3 * n + 11;
    p.base_g = 4 * n + 11;
    p.base_f = 4 * n + m + 11;
    return p;
  }

  // The last RW position the phase uses.
  Index last() const { return base_f; }
};

// Number of continuous variables among N when the last NI are integers.
inline Index continuous_count(Index n, Index ni) {
  const Index c = n - ni;
  return c < 0 ? 0 : (c > n ? n : c);
}

// Best-point test. When merit is strictly below best_merit, the point
// (xp(1..n), gp(1..m), f) becomes the base point, previous_best receives the
// old best merit, best_merit becomes merit, and the result is 1; otherwise
// nothing changes and the result is 0.
int is_new_base_point(double merit, double f, ConstRealView xp, ConstRealView gp, Index n, Index m,
                      double& best_merit, RealView base_x, RealView base_g, double& base_f,
                      double& previous_best);

// Step control after a trial on continuous variable c in direction d. The plus
// trial (d = +1) starts a new count of improving trials; the minus trial
// (d = -1) completes the pair: it draws r and multiplies h_c by 1 + r/q after
// a success, else divides it by that factor but not below min_step
// (q = sqrt(P) for P > 1, else 1). One draw per minus trial. When `steps` does
// not hold c the count and the draw still happen but no step changes.
void update_step(std::int32_t direction, std::int32_t improved, Index c, RealView steps,
                 std::int32_t& success_count, std::int32_t points, double min_step,
                 LaggedGenerator& generator);

// Exploratory trial: the base point with variable c moved by d*h_c, written
// into xp(1..n). With P > 1 it is built from a copy of the base point. With
// P = 1 it is built in place on xp, the point returned by the previous call:
// the first plus trial of a pass starts from a copy of the base point; after
// an improving trial (now the base point) d*h_c is added to xp(c); otherwise
// a minus trial sets xp(c) = base(c) - h_c, and a plus trial first restores
// the previously moved variable, then sets xp(c) = base(c) + h_c. With xp
// handed back unchanged both ways give the same point. c becomes the
// previously moved variable. Nothing is written when c lies outside 1..n.
void exploratory_trial(RealView xp, ConstRealView base_x, ConstRealView steps, Index n,
                       std::int32_t direction, Index c, std::int32_t improved,
                       std::int32_t position, std::int32_t points, std::int32_t& previous_variable);

// A random point around the base point: xp(j) = deviate * h_j / n + base(j),
// two draws per variable.
void random_point_around_base(RealView xp, Index n, ConstRealView base_x, ConstRealView steps,
                              LaggedGenerator& generator);

// The cells a pattern point is built from, each N long.
struct PatternCells {
  ConstRealView steps;
  ConstRealView base_x;
  ConstRealView f_plus;
  ConstRealView f_minus;
};

// The counters of the pattern search that a pattern point reads and changes.
struct PatternCounters {
  std::int32_t& done;            // set to 1 when the steps have reached the tolerance
  std::int32_t& pattern_blocks;  // pattern blocks since the last exploratory pass
  std::int32_t& stall_count;     // pattern blocks in a row without progress
  std::int32_t& variable;        // the current variable of the pass
  std::int32_t& phase_code;      // becomes -3, or -9 when the pattern moves stall
  double& factor;                // lambda
};

// Point i of a pattern block into xp(1..n). When the largest continuous step
// is at or below the tolerance, sets the done flag and writes nothing.
// Otherwise: the first pattern block after a pass sets lambda to 10, later
// blocks scale it on their first point by abs(PRESET_R(15)*r) + 1 (up after
// an improving block, down after a failing one); the continuous variables go
// from the base point along lambda*h_j*(f_minus(j) - f_plus(j)), point 1 by
// the full step, later points by a random multiple of it; integer variables
// keep their base values; then the near-integer push may follow. Finally the
// phase code becomes -3, or -9 (with the block counter and current variable
// cleared) when PRESET_I(16) blocks have stalled.
void pattern_point(RealView xp, Index n, Index ni, std::int32_t point, std::int32_t block_improved,
                   double step_tolerance, ConstRealView preset_r, ConstIntView preset_i,
                   const PatternCells& cells, const PatternCounters& counters,
                   LaggedGenerator& generator);

// One draw r, then c = 10^(-1 - 3r); each continuous value of xp whose
// magnitude lies at most c above a whole number is pushed: a positive value
// toward that whole number, a negative one further away from it. Integer
// variables are untouched.
void nudge_near_integers(RealView xp, Index n, Index ni, LaggedGenerator& generator);

// One draw; when it exceeds 0.99 the near-integer push follows.
void maybe_nudge_near_integers(RealView xp, Index n, Index ni, LaggedGenerator& generator);

}  // namespace kestro::kernel
