#include "multiobjective/front_store.hpp"

#include <algorithm>
#include <cmath>

#include "core/numeric.hpp"
#include "core/workspace_layout.hpp"

namespace kestro::multiobjective {

// ---- The blocks in PF ---------------------------------------------------------

bool FrontBlocks::fits(RealView pf, std::int32_t o, std::int32_t m, std::int32_t n,
                       std::int32_t capacity) {
  if (o < 1 || m < 0 || n < 0 || capacity < 0) return false;
  const Wide needed = 1 + (Wide(o) + m + n) * capacity;
  return Wide(pf.size()) >= needed;
}

FrontBlocks FrontBlocks::in_pf(RealView pf, std::int32_t o, std::int32_t m, std::int32_t n,
                               std::int32_t capacity) {
  FrontBlocks b;
  b.o = o;
  b.m = m;
  b.n = n;
  if (!fits(pf, o, m, n, capacity)) return b;
  const Index p = capacity;
  b.objectives = pf.slice(2, Index(o) * p);
  b.constraints = pf.slice(2 + Index(o) * p, Index(m) * p);
  b.variables = pf.slice(2 + (Index(o) + m) * p, Index(n) * p);
  return b;
}

void FrontBlocks::write_entry(Index j, ConstRealView f, ConstRealView g, ConstRealView x) const {
  for (Index k = 1; k <= o; ++k) objective(j, k) = f[k];
  for (Index c = 1; c <= m; ++c) constraint(j, c) = g[c];
  for (Index v = 1; v <= n; ++v) variable(j, v) = x[v];
}

void FrontBlocks::copy_entry(Index from, Index to) const {
  for (Index k = 1; k <= o; ++k) objective(to, k) = objective(from, k);
  for (Index c = 1; c <= m; ++c) constraint(to, c) = constraint(from, c);
  for (Index v = 1; v <= n; ++v) variable(to, v) = variable(from, v);
}

double objective_distance(const FrontBlocks& front, Index j, ConstRealView f) {
  double sum = 0.0;
  for (Index k = 1; k <= front.o; ++k) sum = sum + std::fabs(f[k] - front.objective(j, k));
  return sum;
}

double entry_distance(const FrontBlocks& front, Index a, Index b) {
  double sum = 0.0;
  for (Index k = 1; k <= front.o; ++k)
    sum = sum + std::fabs(front.objective(a, k) - front.objective(b, k));
  return sum;
}

// ---- Removal and bound booking ------------------------------------------------

void remove_entry(const FrontBlocks& front, std::int32_t& psize, Index j) {
  if (j < 1 || j > psize) return;  // no such entry
  if (j != psize) front.copy_entry(psize, j);
  psize = psize - 1;
}

void book_bound_change(double& front_shift, double new_bound, double old_bound, std::int32_t o,
                       std::int32_t offered_count, std::int32_t& bounds_changed,
                       double& relative_bound_change) {
  bounds_changed = 1;
  relative_bound_change = 0.0;
  const double d = std::fabs(new_bound - old_bound);
  if (d >= 1e32 || std::isnan(d)) {
    front_shift = front_shift - 1.0;
    return;
  }
  if (d > 1.0) {
    if (o > 2)
      front_shift = front_shift - std::sqrt(d);
    else  // the exponent is 0.1 in single precision, widened
      front_shift =
          front_shift - std::sqrt(d) / std::pow(double(offered_count), 0.10000000149011612);
  } else {
    front_shift = front_shift - d;
  }
  double divisor = std::fabs(old_bound);
  if (1.0 > divisor) divisor = 1.0;
  if (std::fabs(new_bound) > divisor) divisor = std::fabs(new_bound);
  relative_bound_change = d / divisor;
}

// ---- One offer ------------------------------------------------------------------

namespace {

class Offer {
 public:
  Offer(FrontStoreState& s, const OfferedPoint& p, OfferCall& c)
      : s(s), p(p), c(c), front(c.front), large(large_value()) {}

  void run() {
    c.added = 0;
    if (front.o < 1) return;
    const std::int32_t capacity = std::max(c.front_capacity, 0);
    c.psize = std::clamp(c.psize, 0, capacity);
    const Index n = c.psize;
    if (n == 0) {
      s.crowd_mode = 0;
      s.crowd_row = s.crowd_col = 0;
      s.crowd_mindist = 0.0;
    } else {
      if (n >= 2)
        for (Index j = 1; j <= n; ++j)
          if (objective_distance(front, j, p.f) <= 1e-6) return;  // a duplicate
      tolerance = c.front_epsilon - c.front_epsilon / double(c.offered_count);
      for (Index k = 1; k <= front.o; ++k)
        c.scratch.ranges[k] = std::max(c.objhi[k] - c.objlo[k], 1e-8);
      active = front.o;
      for (Index k = 1; k <= front.o; ++k)
        if (c.ignored(k)) active = active - 1;

      const Index removed = sweep(n);
      if (removed < 0) return;  // dominated within the tolerance
      if (removed > 0)
        compact(n, removed);
      else if (n > 10 && is_outlier())
        return;
    }
    append(capacity);
    update_bounds();
    prune();
  }

 private:
  FrontStoreState& s;
  const OfferedPoint& p;
  OfferCall& c;
  const FrontBlocks& front;
  const double large;
  double tolerance = 0.0;
  std::int32_t active = 0;  // objectives taking part in the dominance test

  double range(Index k) const { return c.scratch.ranges[k]; }

  // ---- Dominance --------------------------------------------------------------

  struct Comparison {
    std::int32_t better_by_tolerance = 0;  // B
    bool clearly_better = false;           // S: better by 1 % of the range somewhere
    bool nowhere_worse = true;             // V: nowhere worse by 0.1 % of the range
  };

  Comparison compare(Index j) const {
    Comparison r;
    for (Index k = 1; k <= front.o; ++k) {
      if (c.ignored(k)) continue;
      const double fk = p.f[k], pk = front.objective(j, k), w = range(k);
      if (fk <= pk - tolerance * w) r.better_by_tolerance = r.better_by_tolerance + 1;
      if (fk <= pk && fk < pk - 0.01 * w) r.clearly_better = true;
      if (fk > pk + 0.001 * w) r.nowhere_worse = false;
    }
    return r;
  }

  // Whether the point removes entry j. The decision depends only on the
  // point, the entry's values and the tolerances, so it is taken again where
  // needed instead of being written into the entry.
  bool removes(Index j) const {
    const Comparison r = compare(j);
    if (r.better_by_tolerance >= active) return r.better_by_tolerance == active;
    return r.nowhere_worse && r.clearly_better;
  }

  // The number of entries the point removes, or -1 when an entry rejects
  // the point. Once an entry is removed, later entries no longer reject it.
  Index sweep(Index n) const {
    Index removed = 0;
    for (Index j = 1; j <= n; ++j) {
      const Comparison r = compare(j);
      if (r.better_by_tolerance >= active) {
        if (removed == 0 && r.better_by_tolerance == 0) return -1;
        if (r.better_by_tolerance == active) removed = removed + 1;
      } else if (r.nowhere_worse && r.clearly_better) {
        removed = removed + 1;
      } else if (removed == 0 && r.better_by_tolerance == 0) {
        return -1;
      }
    }
    return removed;
  }

  // Fills every removed slot among the first n - removed with the next kept
  // entry from behind them; the slots behind are left marked as removed.
  void compact(Index n, Index removed) {
    const Index kept = n - removed;
    Index filler = kept + 1;
    for (Index j = 1; j <= kept; ++j) {
      if (!removes(j)) continue;
      while (filler <= n && removes(filler)) filler = filler + 1;
      if (filler > n) break;
      front.copy_entry(filler, j);
      filler = filler + 1;
    }
    for (Index j = kept + 1; j <= n; ++j) front.objective(j, 1) = kRemovedMarker;
    c.psize = std::int32_t(kept);
  }

  // A point far beyond the front's maxima and hardly below its minima.
  bool is_outlier() const {
    bool beyond = false;
    double above = 0.0, below = 0.0;
    for (Index k = 1; k <= front.o; ++k) {
      const double fk = p.f[k];
      if (fk > c.objhi[k]) {
        beyond = true;
        above = above + (fk - c.objhi[k]) / range(k);
      }
      if (fk < c.objlo[k]) below = below + (c.objlo[k] - fk) / range(k);
    }
    if (!beyond || !(above > 100.0 * below)) return false;
    return front.o <= 2 || above > 0.01;
  }

  // ---- Storing the point ------------------------------------------------------

  void append(std::int32_t capacity) {
    c.added = 1;
    if (c.psize >= capacity) return replace_in_full_front();
    c.psize = c.psize + 1;
    front.write_entry(c.psize, p.f, p.g, p.x);
  }

  void replace_in_full_front() {
    double dmin = large;
    for (Index j = 1; j <= c.psize; ++j) {
      const double e = objective_distance(front, j, p.f);
      if (e < dmin) dmin = e;
    }
    switch (s.crowd_mode) {
      case 1:
        if (s.crowd_mindist > dmin) return;  // closer to the front than its closest pair
        return crowding_scan(1, 1, dmin);
      case 2:
        if (s.crowd_mindist > dmin) return crowding_scan(s.crowd_row, s.crowd_col, dmin);
        return crowding_scan(1, 1, dmin);
      default: return crowding_scan(1, 1, dmin);
    }
  }

  // Looks for a pair of entries closer together than the point is to the
  // front and overwrites the first entry of the first such pair. The inner
  // index starts at b0 for every row.
  void crowding_scan(Index a0, Index b0, double dmin) {
    a0 = std::max<Index>(a0, 1);
    b0 = std::max<Index>(b0, 1);
    s.crowd_mindist = large;
    double smallest = large;
    bool lowered = false;
    for (Index a = a0; a <= c.psize; ++a) {
      for (Index b = b0; b <= c.psize; ++b) {
        if (b == a) continue;
        const double e = entry_distance(front, a, b);
        if (dmin > e) {
          if (lowered) s.crowd_mindist = smallest;
          front.write_entry(a, p.f, p.g, p.x);
          s.crowd_mode = 2;
          s.crowd_row = std::int32_t(std::max<Index>(a - 1, 1));
          s.crowd_col = std::int32_t(std::max<Index>(b - 1, 1));
          return;
        }
        if (e < smallest) {
          smallest = e;
          lowered = true;
        }
      }
    }
    if (lowered) s.crowd_mindist = smallest;
    s.crowd_mode = 1;
  }

  // ---- Bounds -------------------------------------------------------------------

  static bool bound_moved(double old_bound, double new_bound) {
    double divisor = std::fabs(new_bound);
    if (std::fabs(old_bound) > divisor) divisor = std::fabs(old_bound);
    if (1.0 > divisor) divisor = 1.0;
    return std::fabs(old_bound - new_bound) / divisor > 1e-16;
  }

  void book(double new_bound, double old_bound) {
    book_bound_change(c.front_shift, new_bound, old_bound, front.o, c.offered_count,
                      c.bounds_changed, c.relative_bound_change);
  }

  // Recomputes the minima and maxima over the entries and books every
  // movement, objective by objective, the minimum's before the maximum's.
  // Notes, for the pruning, the first entry holding each maximum.
  void update_bounds() {
    for (Index k = 1; k <= front.o; ++k) {
      const double old_lo = c.objlo[k], old_hi = c.objhi[k];
      double lo = large, hi = -large;
      Index first_max = 0;
      double max_value = 0.0;
      for (Index j = 1; j <= c.psize; ++j) {
        const double v = front.objective(j, k);
        if (v < lo) lo = v;
        if (v > hi) hi = v;
        if (first_max == 0 || v > max_value) {
          first_max = j;
          max_value = v;
        }
      }
      c.objlo[k] = lo;
      c.objhi[k] = hi;
      c.scratch.max_entries[k] = double(first_max);
      if (bound_moved(old_lo, lo)) book(lo, old_lo);
      if (bound_moved(old_hi, hi)) book(hi, old_hi);
    }
  }

  // ---- Extreme pruning ----------------------------------------------------------

  // The pruning works on entries. Removal r moves the entry in the last slot
  // s_r = n0 - r + 1 into the freed slot c_r; slot s_r then lies behind the
  // front, and it keeps c_r in its first objective until the pruning ends.
  // Replaying these moves gives the slot an entry of the pruning's start
  // occupies now.
  class Removals {
   public:
    Removals(const FrontBlocks& front, Index n0) : front_(front), n0_(n0) {}

    // The slot that the entry found in slot `original` at the start now
    // occupies, or 0 when it has been removed.
    Index slot_of(Index original) const {
      Index slot = original;
      for (Index r = 1; r <= count_; ++r) {
        const Index last = n0_ - r + 1;
        const Index freed = nint(front_.objective(last, 1));
        if (slot == freed) return 0;
        if (slot == last) slot = freed;
      }
      return slot;
    }

    void remove(std::int32_t& psize, Index slot) {
      const Index last = psize;
      remove_entry(front_, psize, slot);
      count_ = count_ + 1;
      front_.objective(last, 1) = double(slot);
    }

    // The slots behind the front carry the removal marker.
    void finish() const {
      for (Index r = 1; r <= count_; ++r) front_.objective(n0_ - r + 1, 1) = kRemovedMarker;
    }

   private:
    const FrontBlocks& front_;
    Index n0_;
    Index count_ = 0;
  };

  // Removes an entry that is almost equal to another in every objective but
  // k and much worse in k: the maximum of k moves to the other entry.
  void prune() {
    if (c.psize <= 3) return;
    Removals removals(front, c.psize);
    for (Index k = 1; k <= front.o; ++k) {
      const Index n_k = c.psize;
      const Index noted = nint(c.scratch.max_entries[k]);
      if (noted < 1) continue;
      Index h = removals.slot_of(noted);
      if (h == 0) continue;  // the noted maximum has been removed
      for (Index j = 1; j <= n_k; ++j) {
        const Index now = removals.slot_of(j);
        if (now == 0) continue;
        // The sum only grows, so it is abandoned once it has reached 0.03.
        double sum = 0.0;
        for (Index m = 1; m <= front.o && sum < 0.03; ++m) {
          if (m == k) continue;
          sum = sum + std::fabs(front.objective(h, m) - front.objective(now, m)) / range(m);
        }
        if (!(sum < 0.03)) continue;
        const double t = std::fabs(front.objective(h, k) - front.objective(now, k)) / range(k);
        if (!(t > 0.03 && t / std::max(sum, 1e-12) > 30.0)) continue;
        if (objective_distance(front, h, p.f) <= 1e-12) c.added = 0;  // the point itself
        removals.remove(c.psize, h);
        h = removals.slot_of(j);
        const double old_hi = c.objhi[k];
        c.objhi[k] = front.objective(h, k);
        book(c.objhi[k], old_hi);
      }
    }
    removals.finish();
  }
};

}  // namespace

void offer_point(FrontStoreState& state, const OfferedPoint& point, OfferCall& call) {
  Offer(state, point, call).run();
}

}  // namespace kestro::multiobjective
