#include "kernel/bookkeeping.hpp"

#include <algorithm>

#include "core/numeric.hpp"
#include "core/random.hpp"
#include "core/workspace_layout.hpp"
#include "kernel/residual.hpp"
#include "kernel/work_area.hpp"
#include "kestro.h"

namespace kestro::kernel {

bool better_than(double res, double f, double best_res, double best_f, double acc) {
  if (best_res > acc) return res < best_res;
  return best_res <= acc && res <= acc && f < best_f;
}

bool update_global_best(RealView rw, const BestRecordPositions& record, ConstRealView x,
                        double f, ConstRealView g, Index n, Index m, Index me, double acc) {
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

Index pick_best_start_point(Index l, Index n, Index m, Index me, RealView f, RealView g,
                            RealView x, double acc) {
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

void make_integers_all_different(Index n, Index ni, RealView x, ConstRealView xl,
                                 ConstRealView xu, RealView rw, IntView iw, Index iwk) {
  if (n <= 0) return;
  if (!rw.holds(1, 2) || !iw.holds(iwk, n) || !x.holds(1, n) || !xl.holds(1, n) ||
      !xu.holds(1, n))
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

namespace {

using kestro::ConstIntView;
using kestro::ConstRealView;
using kestro::Index;
using kestro::IntView;
using kestro::RealView;

Index count(int value) { return value > 0 ? value : 0; }

// A view of RW wide enough for positions first .. first+count-1 of each
// range, for routines whose RW has no declared length: the ranges their
// arguments name are what they may touch. Empty when a range starts before
// RW(1).
struct Extent {
  Index end = 0;
  bool valid = true;
  void cover(Index first, Index cells) {
    if (cells <= 0) return;
    if (first < 1) valid = false;
    end = std::max(end, first + cells - 1);
  }
  RealView over(double* rw) const { return valid ? RealView(rw, end) : RealView(); }
};

}  // namespace

// Residual (constraint violation) of one point's M constraint values.
extern "C" void o31_(double* res, const double* g, const int* m, const int* me,
                     const double* acc) {
  *res = kestro::kernel::residual(ConstRealView(g, count(*m)), count(*m), *me, *acc);
}

// Replaces the global-best record after RW(BASE) by the point when it is better.
extern "C" void i401_(const double* f, const double* g, const double* x, double* rw,
                      const int* pf, const int* pg, const int* px, const int* pr,
                      const int* n, const int* m, const int* me, const int* base,
                      const double* acc, int* flag) {
  const Index b = *base;
  const kestro::kernel::BestRecordPositions record{b + *px, b + *pf, b + *pg, b + *pr};
  Extent extent;
  extent.cover(record.f, 1);
  extent.cover(record.res, 1);
  extent.cover(record.x, count(*n));
  extent.cover(record.g, count(*m));
  const bool replaced = kestro::kernel::update_global_best(
      extent.over(rw), record, ConstRealView(x, count(*n)), *f, ConstRealView(g, count(*m)),
      count(*n), count(*m), *me, *acc);
  *flag = replaced ? 1 : 0;
}

// Copies the best of the block's L points into every slot of the block.
extern "C" void k22_(const int* l, const int* n, const int* m, const int* me, double* f,
                     double* g, double* x, const double* acc) {
  kestro::kernel::pick_best_start_point(
      *l, *n, *m, *me, RealView(f, count(*l)), RealView(g, kestro::block_length(*l, *m)),
      RealView(x, kestro::block_length(*l, *n)), *acc);
}

// Makes the point's integer variables pairwise different, with IW(IWK ..
// IWK+N-1) as scratch and the generator in RW(1..2).
extern "C" void i409_(const int* n, const int* ni, double* x, const double* xl,
                      const double* xu, double* rw, int* iw, const int* iwk) {
  const Index variables = count(*n);
  const Index scratch_end = *iwk >= 1 ? static_cast<Index>(*iwk) + variables - 1 : 0;
  kestro::kernel::make_integers_all_different(
      *n, *ni, RealView(x, variables), ConstRealView(xl, variables),
      ConstRealView(xu, variables), RealView(rw, 2), IntView(iw, scratch_end), *iwk);
}

// Writes the linear rank weights of K archive members to RW(BASE) .. RW(BASE+K-1).
extern "C" void o37_(const int* k, double* rw, const void* /*unused*/, const int* base) {
  Extent extent;
  extent.cover(*base, count(*k));
  kestro::kernel::write_rank_weights(extent.over(rw), *base, *k);
}

// Work-area positions of the run-best record, oracle, archive, weights and spreads.
extern "C" void o34_(const int* n, const int* m, int* run_best_x, int* run_best_f,
                     int* run_best_g, int* run_best_res, int* oracle, const int* k, int* a0,
                     int* af, int* ar, int* ap, int* w0, int* s0, int* c0,
                     int* generation_reference, int* cycle_start_f, int* cycle_start_res) {
  using kestro::saturate_int;
  const auto w = kestro::kernel::WorkArea::for_sizes(*n, *m, *k);
  *run_best_x = saturate_int(w.run_best_x);
  *run_best_f = saturate_int(w.run_best_f);
  *run_best_g = saturate_int(w.run_best_g);
  *run_best_res = saturate_int(w.run_best_res);
  *oracle = saturate_int(w.oracle);
  *a0 = saturate_int(w.a0);
  *af = saturate_int(w.af);
  *ar = saturate_int(w.ar);
  *ap = saturate_int(w.ap);
  *w0 = saturate_int(w.w0);
  *s0 = saturate_int(w.s0);
  *c0 = saturate_int(w.c0);
  *generation_reference = saturate_int(w.generation_reference());
  *cycle_start_f = saturate_int(w.cycle_start_f());
  *cycle_start_res = saturate_int(w.cycle_start_res());
}

// IW positions of the restart counter, ant count, archive size, generation
// counter, ants generated, base and second ant counts and schedule length.
extern "C" void o33_(int* restart_count, int* ants, int* archive_size, int* generation,
                     int* ants_generated, int* base_ants, int* second_ants,
                     int* schedule_length) {
  namespace cell = kestro::kernel::iw_cell;
  *restart_count = static_cast<int>(cell::kRestartCount);
  *ants = static_cast<int>(cell::kAnts);
  *archive_size = static_cast<int>(cell::kArchiveSize);
  *generation = static_cast<int>(cell::kGeneration);
  *ants_generated = static_cast<int>(cell::kAntsGenerated);
  *base_ants = static_cast<int>(cell::kBaseAnts);
  *second_ants = static_cast<int>(cell::kSecondAnts);
  *schedule_length = static_cast<int>(cell::kScheduleLength);
}
