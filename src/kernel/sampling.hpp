// Candidate sampling of the colony: bound handling, integer rounding, rank
// weights, per-variable spreads and the samplers that write one trial point
// each. Every routine draws from the generator in RW(1), RW(2) in a fixed
// number and order.
//
// Routines that read or write the caller's workspaces first check that every
// position they need lies inside the views they are given; when one does not,
// they do nothing at all (no draw, no write).
#pragma once

#include <cmath>
#include <cstdint>

#include "core/view.hpp"

namespace kestro::kernel {

// The variables of a point: N of them, the last NI integer, with bounds
// XL(1..N) and XU(1..N).
struct VariableBox {
  Index n = 0;
  Index ni = 0;
  ConstRealView xl;
  ConstRealView xu;

  bool is_integer(Index i) const { return i > n - ni; }
  bool all_integer() const { return ni >= n; }
  // True when N is not negative and both bounds hold N values.
  bool complete() const { return n >= 0 && xl.holds(1, n) && xu.holds(1, n); }
};

// A raw value x brought back into [lo, hi]: below lo it is mirrored inside
// with the damping PRESET_R(3) when the decision number r >= PRESET_R(2) (and
// put on hi if the mirror overshoots), else put on lo; above hi likewise.
double handle_bound(double x, double lo, double hi, double r, ConstRealView preset_r);

// The same with the threshold PRESET_R(3) and damping PRESET_R(4) given.
double bring_into_bounds(double x, double lo, double hi, double r, double threshold,
                         double damping);

// Rounds every integer variable of X(1..N) to its nearest whole number,
// halves away from zero.
void round_integer_variables(const VariableBox& box, RealView x);

// The archive sampler's weight table for an archive of k members: the linear
// rank weights w_j = (k - j + 1)/S, S = k(k+1)/2, at RW(w0 + j - 1), and their
// running sums c_0 = 0 .. c_k at RW(c0 .. c0 + k). Nothing when k < 1 or a
// range does not lie inside RW.
void write_rank_weight_table(RealView rw, Index c0, Index w0, Index k);

// The spreads sigma_1 .. sigma_N at RW(s0 ..) for generation g from archive
// members 1 .. k (points from RW(a0)): their range over the members shrunk by
// sqrt(g), with a floor relative to member 1 and, for integer variables, two
// absolute floors.
void compute_spreads(Index n, Index ni, RealView rw, Index s0, Index a0, Index k, Index g,
                     ConstRealView preset_r, ConstIntView preset_i);

// The member 1 .. k that a uniform draw r picks from the cumulative rank
// weights c_0 .. c_k at cumulative[0 .. k]: the first j below k with
// r <= c_j, else k.
inline Index first_member_reaching(const double* cumulative, Index k, double r) {
  // Members 1 .. k-1 are candidates; k is the answer when none reaches r. The
  // weights are positive, so the cumulative values never decrease and the
  // members that do not reach r come first: a bisection without branches
  // finds the member a walk from j = 1 would stop at. A NaN r reaches none.
  if (k <= 1) return k;
  const double* base = cumulative + 1;
  Index count = k - 1;
  while (count > 1) {
    const Index half = count / 2;
    base = !(r <= base[half - 1]) ? base + half : base;
    count -= half;
  }
  return (base - cumulative) + (!(r <= *base) ? 1 : 0);
}

// The same choice for many draws from one table: for each of `kBuckets`
// equal parts [b/B, (b+1)/B) of [0, 1] the first member whose c_j reaches the
// lower end b/B, from which a short walk finds the member a draw in that part
// picks. Every member before the bucket's first has c_j below b/B <= r, so the
// walk gives the rule's member for any table that never decreases. Draws
// outside [0, 1) (NaN included) take the bisection.
class MemberChooser {
 public:
  static constexpr int kBuckets = 128;

  MemberChooser(const double* cumulative, Index k) : c_(cumulative), k_(k) {
    Index j = 1;
    for (int b = 0; b < kBuckets; ++b) {
      const double lower = double(b) / kBuckets;  // exact: B is a power of two
      while (j < k_ && !(lower <= c_[j])) ++j;
      first_[b] = j;
    }
  }

  Index operator()(double r) const {
    if (!(r >= 0.0 && r < 1.0) || k_ <= 1) return first_member_reaching(c_, k_, r);
    // r * B is exact, so the bucket's lower end is at most r.
    Index j = first_[static_cast<int>(r * kBuckets)];
    while (j < k_ && !(r <= c_[j])) ++j;
    return j;
  }

 private:
  const double* c_;
  Index k_;
  Index first_[kBuckets];
};

// One point from the archive of k members into X(1..N): per variable a member
// chosen by the rank weights c_1 .. c_k (from RW(c0 + 1)) plus a deviate
// scaled by the spread at RW(s0 ..). One draw per variable. An all-integer
// point equal to a member is repaired.
void sample_from_archive(const VariableBox& box, RealView x, RealView rw, Index k, Index a0,
                         Index s0, Index c0, ConstRealView preset_r);

// One point around the run-best point RW(best_x ..) with the scale
// (XU - XL)/focus. Two draws per variable.
void sample_around_best(const VariableBox& box, RealView x, RealView rw, Index best_x, double focus,
                        ConstRealView preset_r);

// One point around the run-best point RW(best_x ..) with the scale
// (XU - XL)/divisor, narrowed by focus when focus > 0. Two draws per variable.
// An all-integer point equal to one of archive members 1 .. compared is
// replaced by a uniform point.
void sample_focused_restart(const VariableBox& box, RealView x, RealView rw, Index divisor,
                            Index compared, Index a0, Index best_x, double focus,
                            ConstRealView preset_r);

// One point drawn uniformly in the box. One draw per variable.
void sample_uniform(const VariableBox& box, RealView x, RealView rw);

// Moves an all-integer point off an archive member it duplicates: each free
// variable is stepped by one unit with probability 1/N; when none is, the
// point is drawn afresh uniformly.
void repair_integer_duplicate(const VariableBox& box, RealView x, RealView rw);

// True when X(1..N) equals the point of archive member j exactly.
bool equals_archive_member(ConstRealView x, ConstRealView rw, Index n, Index a0, Index j);

}  // namespace kestro::kernel
