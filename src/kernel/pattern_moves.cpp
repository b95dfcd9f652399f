#include "kernel/pattern_moves.hpp"

#include <cmath>

#include "core/numeric.hpp"
#include "core/preset_names.hpp"
#include "kernel/deviate.hpp"

namespace kestro::kernel {

int is_new_base_point(double merit, double f, ConstRealView xp, ConstRealView gp, Index n, Index m,
                      double& best_merit, RealView base_x, RealView base_g, double& base_f,
                      double& previous_best) {
  if (!(merit < best_merit)) return 0;
  previous_best = best_merit;
  best_merit = merit;
  for (Index j = 1; j <= n; ++j) base_x[j] = xp[j];
  for (Index j = 1; j <= m; ++j) base_g[j] = gp[j];
  base_f = f;
  return 1;
}

void update_step(std::int32_t direction, std::int32_t improved, Index c, RealView steps,
                 std::int32_t& success_count, std::int32_t points, double min_step,
                 LaggedGenerator& generator) {
  if (direction == 1) success_count = 0;
  if (improved == 1 && success_count < INT32_MAX) success_count = success_count + 1;
  const double q = points > 1 ? std::sqrt(static_cast<double>(points)) : 1.0;
  if (direction != -1) return;
  // The pair of trials on c is complete.
  const double r = generator.draw();
  const double factor = 1.0 + r / q;
  if (!steps.holds(c)) return;
  if (success_count > 0) {
    steps[c] = steps[c] * factor;
  } else {
    const double shrunk = steps[c] / factor;
    steps[c] = min_step < shrunk ? shrunk : min_step;
  }
}

void exploratory_trial(RealView xp, ConstRealView base_x, ConstRealView steps, Index n,
                       std::int32_t direction, Index c, std::int32_t improved,
                       std::int32_t position, std::int32_t points,
                       std::int32_t& previous_variable) {
  if (c < 1 || c > n) return;
  const double h = steps[c];
  if (points > 1) {
    for (Index j = 1; j <= n; ++j) xp[j] = base_x[j];
    xp[c] = xp[c] + direction * h;
  } else {
    // Built on the point returned last time, which differs from the base
    // point at most in the variable moved then.
    if (position == 1 && direction == 1)
      for (Index j = 1; j <= n; ++j) xp[j] = base_x[j];
    if (improved == 1) {
      // The previous trial became the base point: move on from it.
      xp[c] = xp[c] + direction * h;
    } else if (direction == -1) {
      xp[c] = base_x[c] - h;
    } else if (direction == 1) {
      const Index previous = previous_variable;
      if (previous >= 1 && previous <= n) xp[previous] = base_x[previous];
      xp[c] = base_x[c] + h;
    }
  }
  previous_variable = static_cast<std::int32_t>(c);
}

void random_point_around_base(RealView xp, Index n, ConstRealView base_x, ConstRealView steps,
                              LaggedGenerator& generator) {
  for (Index j = 1; j <= n; ++j) {
    const double r1 = generator.draw();
    const double r2 = generator.draw();
    xp[j] = deviate(r1, r2) * steps[j] / static_cast<double>(n) + base_x[j];
  }
}

void pattern_point(RealView xp, Index n, Index ni, std::int32_t point, std::int32_t block_improved,
                   double step_tolerance, ConstRealView preset_r, ConstIntView preset_i,
                   const PatternCells& cells, const PatternCounters& counters,
                   LaggedGenerator& generator) {
  double& lambda = counters.factor;
  if (lambda < 1e-99) lambda = 1e-99;
  if (lambda > 1e6) lambda = 1e6;

  const Index continuous = continuous_count(n, ni);
  double largest_step = 0.0;
  for (Index j = 1; j <= continuous; ++j)
    if (j == 1 || cells.steps[j] > largest_step) largest_step = cells.steps[j];
  if (largest_step <= step_tolerance) {
    counters.done = 1;
    return;
  }

  if (counters.pattern_blocks == 1) {
    lambda = 10.0;  // the first pattern block after a pass
  } else if (point == 1) {
    const double r = generator.draw();
    const double change = std::fabs(preset(preset_r, PresetReal::kPatternFactorChange) * r) + 1.0;
    if (block_improved == 0)
      lambda = lambda / change;
    else if (block_improved == 1)
      lambda = lambda * change;
  }

  // The variable with the smaller trial merit pulls the point its way.
  for (Index j = 1; j <= continuous; ++j) {
    if (point == 1) {
      xp[j] = cells.base_x[j] + lambda * cells.steps[j] * (cells.f_minus[j] - cells.f_plus[j]);
    } else {
      const double r1 = generator.draw();
      const double r2 = generator.draw();
      xp[j] = cells.base_x[j] + std::fabs(deviate(r1, r2)) * lambda * cells.steps[j] *
                                    (cells.f_minus[j] - cells.f_plus[j]);
    }
  }
  for (Index j = continuous + 1; j <= n; ++j) xp[j] = cells.base_x[j];

  maybe_nudge_near_integers(xp, n, ni, generator);

  counters.phase_code = -3;
  if (counters.stall_count >= preset(preset_i, PresetInteger::kPatternStallLimit)) {
    counters.phase_code = -9;
    counters.pattern_blocks = 0;
    counters.variable = 0;
  }
}

void nudge_near_integers(RealView xp, Index n, Index ni, LaggedGenerator& generator) {
  const double r = generator.draw();
  const double reach = std::pow(10.0, -1.0 - 3.0 * r);
  const Index continuous = continuous_count(n, ni);
  for (Index j = 1; j <= continuous; ++j) {
    double x = xp[j];
    const double magnitude = std::fabs(x);
    if (magnitude - static_cast<double>(trunc_to_int(magnitude)) <= reach) {
      double w = anint(x);
      if (w < x) {
        x = x - (x - w) / (std::sqrt(x - w) + 1.0);
        w = anint(x);
      }
      if (x < w) x = x - (w - x) / (std::sqrt(w - x) + 1.0);
      xp[j] = x;
    }
  }
}

void maybe_nudge_near_integers(RealView xp, Index n, Index ni, LaggedGenerator& generator) {
  const double r = generator.draw();
  if (r > 0.99) nudge_near_integers(xp, n, ni, generator);
}

}  // namespace kestro::kernel
