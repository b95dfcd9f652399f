// One best point as the solver keeps it: X (N values), F, G (M values) and
// the residual. The run-best and global-best records in RW and a point of the
// caller's block are all read and written through one view and one copy.
#pragma once

#include "core/view.hpp"

namespace kestro {

// Where a record keeps its values in RW (1-based): X at x .. x+N-1, F at f,
// G at g .. g+M-1 and the residual at res.
struct RecordPositions {
  Index x = 0, f = 0, g = 0, res = 0;

  bool operator==(const RecordPositions&) const = default;

  // A record laid out from `first` on: X, F, G, then the residual.
  static RecordPositions starting_at(Index first, Index n, Index m) {
    return RecordPositions{first, first + n, first + n + 1, first + n + m + 1};
  }
};

// The values of one point: X (N values), F (one), G (M values) and the
// residual (one, or none for a point of the caller's block that has no place
// for it).
struct RecordView {
  RealView x, f, g, res;

  // The record at `at` in RW.
  static RecordView in(RealView rw, const RecordPositions& at, Index n, Index m) {
    return RecordView{rw.slice(at.x, n), rw.slice(at.f, 1), rw.slice(at.g, m), rw.slice(at.res, 1)};
  }

  // Point i of a block of points (X: N values per point, F: one, G: M), with
  // its residual at res(i) when a residual block is given.
  static RecordView point(Index i, RealView x, RealView f, RealView g, Index n, Index m,
                          RealView res = RealView()) {
    return RecordView{x.slice((i - 1) * n + 1, n), f.slice(i, 1), g.slice((i - 1) * m + 1, m),
                      res.slice(i, 1)};
  }
};

// Copies X, F and G of one point over another's, in that order, and the
// residual when both have one. The two must not overlap.
inline void copy_record(const RecordView& from, const RecordView& to) {
  for (Index i = 1; i <= to.x.size(); ++i) to.x[i] = from.x[i];
  to.f[1] = from.f[1];
  for (Index j = 1; j <= to.g.size(); ++j) to.g[j] = from.g[j];
  if (!to.res.empty() && !from.res.empty()) to.res[1] = from.res[1];
}

}  // namespace kestro
