#include "kernel/bookkeeping.hpp"

#include <algorithm>

#include "core/numeric.hpp"
#include "core/random.hpp"
#include "core/workspace_layout.hpp"
#include "kernel/residual.hpp"
#include "kernel/work_area.hpp"

namespace kestro::kernel {

bool better_than(double res, double f, double best_res, double best_f, double acc) {
  if (best_res > acc) return res < best_res;
  return best_res <= acc && res <= acc && f < best_f;
}

bool update_global_best(RealView rw, const RecordPositions& record, ConstRealView x, double f,
                        ConstRealView g, Index n, Index m, Index me, double acc) {
  if (n < 0 || m < 0 || !x.holds(1, n) || !g.holds(1, m)) return false;
  if (!rw.holds(record.f) || !rw.holds(record.res) || !rw.holds(record.x, n) ||
      !rw.holds(record.g, m))
    return false;
  const double r = residual(g, m, me, acc);
  if (!better_than(r, f, rw[record.res], rw[record.f], acc)) return false;
  rw[record.f] = f;
  rw[record.res] = r;
  for (Index i = 1; i <= n; ++i) rw[record.x + i - 1] = x[i];
  for (Index j = 1; j <= m; ++j) rw[record.g + j - 1] = g[j];
  return true;
}

Index pick_best_start_point(Index l, Index n, Index m, Index me, RealView f, RealView g, RealView x,
                            double acc) {
  if (l <= 1) return 1;
  const Index row_g = m > 0 ? m : 0;
  const Index row_x = n > 0 ? n : 0;
  if (!f.holds(1, l) || !g.holds(1, l * row_g) || !x.holds(1, l * row_x)) return 0;

  Index best = 1;
  if (m <= 0) {
    for (Index i = 2; i <= l; ++i)
      if (f[i] < f[best]) best = i;
  } else {
    double best_res = residual(g.slice(1, m), m, me, acc);
    for (Index i = 2; i <= l; ++i) {
      const double r = residual(g.slice((i - 1) * m + 1, m), m, me, acc);
      if (best_res > 0) {
        if (r < best_res) {
          best = i;
          best_res = r;
        }
      } else if (best_res == 0) {
        if (r == 0 && f[i] < f[best]) {
          best = i;
          best_res = r;
        }
      }
    }
  }

  for (Index i = 1; i <= l; ++i) {
    if (i == best) continue;
    f[i] = f[best];
    for (Index j = 1; j <= row_g; ++j) g[(i - 1) * row_g + j] = g[(best - 1) * row_g + j];
    for (Index k = 1; k <= row_x; ++k) x[(i - 1) * row_x + k] = x[(best - 1) * row_x + k];
  }
  return best;
}

namespace {

// True when an integer variable other than `moving` holds `value`.
bool held_by_another_integer(ConstRealView x, Index first_integer, Index n, Index moving,
                             double value) {
  for (Index k = first_integer; k <= n; ++k)
    if (k != moving && x[k] == value) return true;
  return false;
}

// Moves integer variable d to the nearest free whole step inside its bounds,
// trying up before down at each distance; leaves it where it is when the
// distance exceeds the bound range. No free value can appear beyond a
// distance of `integers` (the other integer variables block at most
// integers - 2 of the steps tried), so the search also ends there; this keeps
// values too large to change by a whole step from searching without end.
void move_to_free_value(RealView x, ConstRealView xl, ConstRealView xu, Index first_integer,
                        Index n, Index integers, Index d) {
  const double range = xu[d] - xl[d];
  for (Index c = 1;; ++c) {
    const double step = static_cast<double>(c);
    const double up = x[d] + step;
    if (up <= xu[d] && !held_by_another_integer(x, first_integer, n, d, up)) {
      x[d] = up;
      return;
    }
    const double down = x[d] - step;
    if (down >= xl[d] && !held_by_another_integer(x, first_integer, n, d, down)) {
      x[d] = down;
      return;
    }
    if (step > range || c >= integers) return;
  }
}

}  // namespace

void make_integers_all_different(Index n, Index ni, RealView x, ConstRealView xl, ConstRealView xu,
                                 RealView rw, IntView iw, Index iwk) {
  if (n <= 0) return;
  if (!rw.holds(1, 2) || !iw.holds(iwk, n) || !x.holds(1, n) || !xl.holds(1, n) || !xu.holds(1, n))
    return;
  const IntView perm = iw.slice(iwk, n);
  for (Index k = 1; k <= n; ++k) perm[k] = static_cast<int>(k);

  // Inside-out shuffle. A draw of exactly 1.0 would point one past the
  // positions filled so far; it is kept on the last of them.
  LaggedGenerator generator(&rw[1]);
  for (Index k = 1; k <= n; ++k) {
    const double u = generator.draw();
    const Index j = std::clamp<Index>(trunc_to_int(static_cast<double>(k) * u), 0, k - 1);
    perm[k] = perm[j + 1];
    perm[j + 1] = static_cast<int>(k);
  }

  const Index integers = std::clamp<Index>(ni, 0, n);
  const Index first_integer = n - integers + 1;
  for (Index t = 1; t <= n; ++t) {
    const Index d = perm[t];
    if (d < first_integer || d > n) continue;
    for (Index j = first_integer; j <= n; ++j) {
      if (j == d || !(x[j] == x[d])) continue;
      move_to_free_value(x, xl, xu, first_integer, n, integers, d);
    }
  }
}

void write_rank_weights(RealView rw, Index first, Index k) {
  if (k <= 0 || !rw.holds(first, k)) return;
  const Index sum = k * (k + 1) / 2;
  for (Index r = 1; r <= k; ++r)
    rw[first + r - 1] = static_cast<double>(k - r + 1) / static_cast<double>(sum);
}

}  // namespace kestro::kernel
