#include "multiobjective/steering.hpp"

#include <algorithm>
#include <cmath>

#include "core/numeric.hpp"
#include "core/workspace_layout.hpp"
#include "multiobjective/scalarisation.hpp"

namespace kestro::multiobjective {

namespace {

double relative_gap(double a, double b) {
  double divisor = std::fabs(a);
  if (std::fabs(b) > divisor) divisor = std::fabs(b);
  if (1.0 > divisor) divisor = 1.0;
  return std::fabs(a - b) / divisor;
}

class Steering {
 public:
  Steering(SteeringState& state, SteeringCall& call) : st(state), c(call) {}

  void run() {
    const std::int32_t o = c.front.o;
    psize = std::clamp(trunc_to_int(c.psize_real), 0, std::max(c.front_capacity, 0));
    if (c.balance >= 1.0 || c.r > c.accuracy || c.best_residual > c.accuracy || psize <= 0) return;
    if (c.steer_started <= 1) {
      c.steer_started = 666;
      st.steer_count = 1;
    } else {
      st.steer_count = st.steer_count == INT32_MAX ? INT32_MAX : st.steer_count + 1;
    }
    if (c.bounds_changed == 1 && c.relative_bound_change > 0.05) return inject();

    // Better and worse than the best point, over the weighted objectives.
    double better = 0.0, worse = 0.0;
    for (Index k = 1; k <= o; ++k) {
      if (!(c.weights[k] > 0.0)) continue;
      const double bf = c.best_objectives[k], fk = c.f[k];
      if (bf > fk) better = better + relative_gap(bf, fk);
      if (fk > bf) worse = worse + relative_gap(bf, fk);
    }
    const double b = c.best_scalar;
    if (better > 0 && worse <= 0) {  // dominates the best point
      if (c.s >= b) c.s = just_below();
      return inject();
    }
    if (better <= 0 && worse > 0) {  // dominated by the best point
      if (c.s <= b) c.s = b + std::max(std::fabs(b), 1.0) * worse;
      return;
    }
    if (better <= 0 && worse <= 0) {  // equal to the best point
      if (c.s > b) c.s = b;
      return;
    }
    trade_off();
  }

 private:
  SteeringState& st;
  SteeringCall& c;
  std::int32_t psize = 0;

  double just_below() const { return c.best_scalar - std::fabs(c.best_scalar) * 1e-8; }
  double just_above() const { return c.best_scalar + std::fabs(c.best_scalar) * 1e-8; }

  ConstRealView entry_objectives(Index j) const {
    return c.front.objectives.slice((j - 1) * c.front.o + 1, c.front.o);
  }

  double user_value(ConstRealView f) const {
    return weighted_distance(c.front.o, f, c.r, c.accuracy, c.objlo, c.objhi, 0.0, c.weights,
                             c.offered_count);
  }

  // Better in some weighted objectives and worse in others.
  void trade_off() {
    const double b = c.best_scalar;
    if (c.added == 0) {  // not taken into the front
      if (c.s <= b) c.s = just_above();
      return;
    }
    if (psize == 1 && c.s >= b) {
      c.s = just_below();
      return;
    }
    if (c.weight_mode == 2 && c.s > b) return;

    bool best_on_front = false;
    for (Index j = 1; j <= psize && !best_on_front; ++j)
      best_on_front = closeness(c.front.o, c.best_objectives, entry_objectives(j)) <= 0.001;
    if (!best_on_front) {  // the best point has left the front
      if (c.s >= b) c.s = just_below();
      return inject();
    }

    const double a = user_value(c.f);
    const double best = user_value(c.best_objectives);
    if (c.s > b && best > a) {
      c.s = just_below();
      return inject();
    }
    if (c.s < b && a >= best) {
      c.s = b + std::fabs(a - best);
      return;
    }
    if (st.steer_count > 9) {
      st.steer_count = 0;
      return inject();
    }
  }

  // Hands the kernel the front entry with the smallest user-weighted value
  // (the later one on ties) in place of the point, unless the best point is
  // already close to it.
  void inject() {
    if (psize <= 2) return;
    Index chosen = 0;
    double chosen_value = 0.0;
    for (Index j = 1; j <= psize; ++j) {
      const double v = user_value(entry_objectives(j));
      if (chosen == 0 || v <= chosen_value) {
        chosen = j;
        chosen_value = v;
      }
    }
    if (closeness(c.front.o, c.best_objectives, entry_objectives(chosen)) <= 0.05) return;
    for (Index k = 1; k <= c.front.o; ++k) c.f[k] = c.front.objective(chosen, k);
    for (Index j = 1; j <= c.front.m; ++j) c.g[j] = c.front.constraint(chosen, j);
    for (Index v = 1; v <= c.front.n; ++v) c.x[v] = c.front.variable(chosen, v);
    c.s = just_below();
  }
};

}  // namespace

double closeness(std::int32_t o, ConstRealView a, ConstRealView b) {
  double sum = 0.0;
  for (Index k = 1; k <= o; ++k) sum = sum + relative_gap(a[k], b[k]);
  return sum;
}

void steer_point(SteeringState& state, SteeringCall& call) { Steering(state, call).run(); }

}  // namespace kestro::multiobjective
