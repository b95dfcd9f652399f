#include "kernel/sampling.hpp"

#include <algorithm>
#include <cmath>
#include <optional>

#include "core/numeric.hpp"
#include "core/preset_names.hpp"
#include "core/random.hpp"
#include "kernel/bookkeeping.hpp"
#include "kernel/deviate.hpp"
#include "kernel/preset_state.hpp"
#include "kernel/work_area.hpp"

namespace kestro::kernel {
namespace {

// Position of variable i of archive member j, whose points start at RW(a0).
Index member_x(Index a0, Index n, Index j, Index i) { return a0 + (j - 1) * n + i - 1; }

// True when X(1..N), the generator state and the box are all there.
bool point_ready(const VariableBox& box, RealView x, RealView rw) {
  return box.complete() && x.holds(1, box.n) && rw.holds(1, 2);
}

}  // namespace

double handle_bound(double x, double lo, double hi, double r, ConstRealView preset_r) {
  return bring_into_bounds(x, lo, hi, r, preset(preset_r, PresetReal::kReflectionThreshold),
                           preset(preset_r, PresetReal::kReflectionDamping));
}

double bring_into_bounds(double x, double lo, double hi, double r, double threshold,
                         double damping) {
  if (x < lo) {
    if (r < threshold) return lo;
    const double mirrored = lo + (lo - x) * damping;
    return mirrored > hi ? hi : mirrored;
  }
  if (x > hi) {
    if (r < threshold) return hi;
    const double mirrored = hi - (x - hi) * damping;
    return mirrored < lo ? lo : mirrored;
  }
  return x;
}

void round_integer_variables(const VariableBox& box, RealView x) {
  if (!x.holds(1, box.n)) return;
  for (Index i = std::max<Index>(1, box.n - box.ni + 1); i <= box.n; ++i) x[i] = anint(x[i]);
}

void write_rank_weight_table(RealView rw, Index c0, Index w0, Index k) {
  if (k < 1 || !rw.holds(c0, k + 1) || !rw.holds(w0, k)) return;
  write_rank_weights(rw, w0, k);
  rw[c0] = 0.0;
  for (Index j = 1; j <= k; ++j) rw[c0 + j] = rw[c0 + j - 1] + rw[w0 + j - 1];
}

void compute_spreads(Index n, Index ni, RealView rw, Index s0, Index a0, Index k, Index g,
                     ConstRealView preset_r, ConstIntView preset_i) {
  if (n < 0 || k < 1 || !rw.holds(a0, k * n) || !rw.holds(s0, n)) return;
  const double generation = static_cast<double>(g);
  const double root_g = std::sqrt(generation);
  const double relative_divisor =
      generation * std::pow(10.0, preset(preset_i, PresetInteger::kRelativeSpreadExponent));
  for (Index i = 1; i <= n; ++i) {
    double hi = rw[member_x(a0, n, 1, i)];
    double lo = hi;
    for (Index j = 2; j <= k; ++j) {
      const double v = rw[member_x(a0, n, j, i)];
      if (v > hi) hi = v;
      if (v < lo) lo = v;
    }
    double sigma = (hi - lo) / root_g;
    sigma = std::max(std::fabs(rw[member_x(a0, n, 1, i)]) / relative_divisor, sigma);
    if (i > n - ni) {
      sigma = std::max(sigma, preset(preset_r, PresetReal::kIntegerSpreadNumerator) / root_g);
      sigma = std::max(sigma, (1.0 - 1.0 / std::sqrt(static_cast<double>(ni) + 0.1)) /
                                  preset(preset_r, PresetReal::kIntegerSpreadDivisor));
    }
    rw[s0 + i - 1] = sigma;
  }
}

bool equals_archive_member(ConstRealView x, ConstRealView rw, Index n, Index a0, Index j) {
  for (Index i = 1; i <= n; ++i)
    if (x[i] != rw[member_x(a0, n, j, i)]) return false;
  return true;
}

void sample_from_archive(const VariableBox& box, RealView x, RealView rw, Index k, Index a0,
                         Index s0, Index c0, ConstRealView preset_r) {
  const Index n = box.n;
  if (!point_ready(box, x, rw) || k < 1 || !rw.holds(a0, k * n) || !rw.holds(s0, n) ||
      !rw.holds(c0 + 1, k - 1))
    return;
  // The generator's state lives in locals during the loop (X may not alias
  // RW, so nothing else reads it) and goes back to RW(1), RW(2) at the end.
  double state[2] = {rw[1], rw[2]};
  LaggedGenerator generator(state);
  const double* cumulative = rw.data() + (c0 - 1);
  const double* archive = rw.data() + (a0 - 1);
  const double* spread = rw.data() + (s0 - 1);
  const double* xl = box.xl.data();
  const double* xu = box.xu.data();
  double* point = x.data();
  // Short points choose by bisection; for long ones a bucket table, built
  // once per point, makes each choice a lookup and a step or two.
  const bool long_point = n >= 32;
  std::optional<MemberChooser> chooser;
  if (long_point) chooser.emplace(cumulative, k);
  const double threshold = preset(preset_r, PresetReal::kReflectionThreshold);
  const double damping = preset(preset_r, PresetReal::kReflectionDamping);
  int row_r = deviate_table_index(generator.peek());
  for (Index i = 0; i < n; ++i) {
    // The same r picks the member, indexes table B and decides reflection;
    // p indexes table A and is the next variable's r (so its row is kept).
    const double r = generator.draw();
    const double p = generator.peek();
    const int row_p = deviate_table_index(p);
    const Index member = long_point ? (*chooser)(r) : first_member_reaching(cumulative, k, r);
    const double step = kDeviateRows[row_r - 1].b * kDeviateRows[row_p - 1].a;
    const double raw = archive[(member - 1) * n + i] + step * spread[i];
    point[i] = bring_into_bounds(raw, xl[i], xu[i], r, threshold, damping);
    row_r = row_p;
  }
  rw[1] = state[0];
  rw[2] = state[1];
  round_integer_variables(box, x);
  if (!box.all_integer()) return;
  for (Index j = 1; j <= k; ++j) {
    if (equals_archive_member(x, rw, n, a0, j)) {
      repair_integer_duplicate(box, x, rw);
      return;
    }
  }
}

void sample_around_best(const VariableBox& box, RealView x, RealView rw, Index best_x, double focus,
                        ConstRealView preset_r) {
  const Index n = box.n;
  if (!point_ready(box, x, rw) || !rw.holds(best_x, n)) return;
  LaggedGenerator generator(&rw[1]);
  for (Index i = 1; i <= n; ++i) {
    double h = (box.xu[i] - box.xl[i]) / focus;
    if (box.is_integer(i)) h = std::max(h, 1.0 / std::sqrt(focus));
    const double r1 = generator.draw();
    const double r2 = generator.draw();
    const double raw = rw[best_x + i - 1] + deviate(r1, r2) * h;
    x[i] = handle_bound(raw, box.xl[i], box.xu[i], r1, preset_r);
    if (box.is_integer(i)) x[i] = anint(x[i]);
  }
}

void sample_focused_restart(const VariableBox& box, RealView x, RealView rw, Index divisor,
                            Index compared, Index a0, Index best_x, double focus,
                            ConstRealView preset_r) {
  const Index n = box.n;
  const bool check_duplicates = box.all_integer() && compared >= 1;
  if (!point_ready(box, x, rw) || !rw.holds(best_x, n) ||
      (check_duplicates && !rw.holds(a0, compared * n)))
    return;
  LaggedGenerator generator(&rw[1]);
  const double d = static_cast<double>(divisor);
  for (Index i = 1; i <= n; ++i) {
    const double range = box.xu[i] - box.xl[i];
    double h = range / d;
    if (box.is_integer(i)) h = std::max(h, preset(preset_r, PresetReal::kWidenedIntegerSpread));
    if (focus > 0.0) {
      h = std::min(h, range / focus);
      if (box.is_integer(i)) h = std::max(h, 1.0 / std::sqrt(focus));
    }
    const double r1 = generator.draw();
    const double r2 = generator.draw();
    const double raw = rw[best_x + i - 1] + deviate(r1, r2) * h;
    x[i] = handle_bound(raw, box.xl[i], box.xu[i], r1, preset_r);
    if (box.is_integer(i)) x[i] = anint(x[i]);
  }
  if (!check_duplicates) return;
  for (Index j = 1; j <= compared; ++j) {
    if (equals_archive_member(x, rw, n, a0, j)) {
      sample_uniform(box, x, rw);
      return;
    }
  }
}

void sample_uniform(const VariableBox& box, RealView x, RealView rw) {
  if (!point_ready(box, x, rw)) return;
  LaggedGenerator generator(&rw[1]);
  for (Index i = 1; i <= box.n; ++i) {
    const double r = generator.draw();
    x[i] = box.xl[i] + r * (box.xu[i] - box.xl[i]);
    if (box.is_integer(i)) x[i] = anint(x[i]);
  }
}

void repair_integer_duplicate(const VariableBox& box, RealView x, RealView rw) {
  if (!point_ready(box, x, rw)) return;
  LaggedGenerator generator(&rw[1]);
  const double chance = 1.0 / static_cast<double>(box.n);
  bool changed = false;
  for (Index i = 1; i <= box.n; ++i) {
    const double lo = box.xl[i];
    const double hi = box.xu[i];
    if (lo >= hi) continue;  // a fixed variable costs no draw
    if (generator.draw() > chance) continue;
    const double v = x[i];
    if (v <= lo) {
      x[i] = lo + 1.0;
    } else if (v >= hi) {
      x[i] = hi - 1.0;
    } else {
      x[i] = generator.draw() > 0.5 ? v + 1.0 : v - 1.0;
    }
    changed = true;
  }
  if (!changed) sample_uniform(box, x, rw);
}

}  // namespace kestro::kernel
