#include "kernel/pattern_search.hpp"

#include <cmath>

#include "core/numeric.hpp"
#include "core/preset_names.hpp"
#include "core/random.hpp"
#include "core/workspace_layout.hpp"
#include "kernel/pattern_moves.hpp"
#include "kernel/residual.hpp"

namespace kestro::kernel {
namespace {

using namespace pattern_phase;

std::int32_t incremented(std::int32_t v) { return v < INT32_MAX ? v + 1 : v; }

// P: points per call. With blocks P stays near N/2, so a pass (2N trials)
// takes about four blocks.
std::int32_t points_per_call(std::int32_t l, std::int32_t n) {
  std::int32_t p = l;
  if (l >= 2) {
    const std::int32_t half = trunc_to_int((n + 0.1) * 0.5);
    p = half < l ? half : l;
  }
  return p < 1 ? 1 : p;
}

struct Phase {
  PatternSearchState& s;
  const PatternSearchCall& c;
  PatternSearchLayout layout;
  Index continuous;
  RealView f_plus, f_minus, steps, base_x, base_g;
  double& base_f;
  LaggedGenerator generator;

  Phase(PatternSearchState& state, const PatternSearchCall& call)
      : s(state),
        c(call),
        layout(PatternSearchLayout::for_sizes(call.n, call.m)),
        continuous(continuous_count(call.n, call.ni)),
        f_plus(call.rw.slice(layout.f_plus, call.n)),
        f_minus(call.rw.slice(layout.f_minus, call.n)),
        steps(call.rw.slice(layout.steps, call.n)),
        base_x(call.rw.slice(layout.base_x, call.n)),
        base_g(call.rw.slice(layout.base_g, call.m)),
        base_f(call.rw[layout.base_f]),
        generator(&call.rw[1]) {}

  RealView point(Index i) const { return c.x.slice((i - 1) * c.n + 1, c.n); }
  ConstRealView constraints(Index i) const { return c.g.slice((i - 1) * c.m + 1, c.m); }

  double merit(Index i) const {
    if (c.m == 0) return c.f[i];
    return c.f[i] + s.merit_weight * residual(constraints(i), c.m, c.me, c.acc);
  }

  // The variable at position pos of the visiting order.
  Index variable_at(Index pos) const {
    const Index v = c.iw[pos];
    return v < 1 ? 1 : (v > c.n ? c.n : v);
  }

  void start_phase() {
    s.points = points_per_call(c.l, c.n);
    s.best_merit = large_value();
    s.pattern_blocks = 0;
    s.stall_count = 0;
    s.success_count = 0;
    s.position = 0;
    s.saved_position = 0;
    s.saved_direction = 0;
    s.direction = 0;
    const bool freeze_integers = preset(c.preset_r, PresetReal::kIntegerSwitch) >= 1;
    for (Index j = 1; j <= c.n; ++j)
      steps[j] = j <= continuous ? c.step[j] : (freeze_integers ? 0.0 : 1.0);
    for (Index j = 1; j <= c.n; ++j) c.iw[j] = static_cast<std::int32_t>(j);
    s.merit_weight = std::pow(10.0, preset(c.preset_r, PresetReal::kMeritWeightExponent));
    // The handed-in point is the base point until a booked point beats the
    // start merit; so the phase never hands back cells it has not written.
    const RealView first = point(1);
    for (Index j = 1; j <= c.n; ++j) base_x[j] = first[j];
    const ConstRealView g1 = constraints(1);
    for (Index j = 1; j <= c.m; ++j) base_g[j] = g1[j];
    base_f = c.f[1];
  }

  void hand_back_best_point() {
    const RealView first = point(1);
    for (Index j = 1; j <= c.n; ++j) first[j] = base_x[j];
    c.f[1] = base_f;
    const RealView g1 = c.g.slice(1, c.m);
    for (Index j = 1; j <= c.m; ++j) g1[j] = base_g[j];
  }

  struct Booking {
    std::int32_t block_improved = 0;  // some point of the block became the base point
    std::int32_t last_improved = 0;   // the last booked point did
  };

  Booking book_block(std::int32_t phase) {
    Booking booked;
    if (phase == kExploring) {
      s.position = s.saved_position;
      s.direction = s.saved_direction;
    }
    std::int32_t stalled = 0;
    for (std::int32_t i = 1; i <= s.points; ++i) {
      const double m = merit(i);
      s.booked_merit = m;
      double previous_best = 0.0;
      const std::int32_t improved =
          is_new_base_point(m, c.f[i], point(i), constraints(i), c.n, c.m, s.best_merit, base_x,
                            base_g, base_f, previous_best);
      booked.last_improved = improved;
      if (improved == 1) booked.block_improved = 1;

      if (phase == kExploring && s.position <= c.n) {
        s.variable = static_cast<std::int32_t>(variable_at(s.position));
        if (s.variable <= continuous)
          update_step(s.direction, improved, s.variable, steps, s.success_count, s.points,
                      c.min_step, generator);
        if (s.direction == 1) {
          f_plus[s.variable] = m;
          if (i < s.points) s.direction = -1;
        } else if (s.direction == -1) {
          f_minus[s.variable] = m;
          if (i < s.points) {
            s.position = incremented(s.position);
            s.direction = 1;
          }
        }
      }
      if (phase == kPattern) {
        const double scale =
            std::fabs(s.reference_merit) > 1.0 ? std::fabs(s.reference_merit) : 1.0;
        if ((s.reference_merit - m) / scale > 1e-8) {
          s.stall_count = 0;
          s.reference_merit = m;
        } else {
          ++stalled;
        }
      }
    }
    if (c.done == 1) return booked;
    if (stalled == s.points) s.stall_count = incremented(s.stall_count);
    return booked;
  }

  // Shuffles the visiting order IW(1..N) in place (one draw per variable).
  void shuffle_visiting_order() {
    for (Index j = 1; j <= c.n; ++j) {
      const double r = generator.draw();
      Index t = trunc_to_int(static_cast<double>(j) * r);
      // A draw of exactly 1 would point one past the filled part.
      if (t < 0) t = 0;
      if (t > j - 1) t = j - 1;
      c.iw[j] = c.iw[t + 1];
      c.iw[t + 1] = static_cast<std::int32_t>(j);
    }
  }

  // Writes the exploratory points of a block; false when the pass turns out
  // to be complete at the first point, so that the block is a pattern block.
  bool write_exploratory_block(const Booking& booked) {
    for (std::int32_t i = 1; i <= s.points; ++i) {
      if (s.direction == -1) s.position = incremented(s.position);
      if (s.position > c.n) {
        if (i == 1) {
          s.position = 0;
          return false;
        }
        random_point_around_base(point(i), c.n, base_x, steps, generator);
        continue;
      }
      s.variable = static_cast<std::int32_t>(variable_at(s.position));
      s.direction = -s.direction;
      if (s.first_point_of_block == 1) {
        s.saved_position = s.position;
        s.saved_direction = s.direction;
        s.first_point_of_block = 0;
      }
      exploratory_trial(point(i), base_x, steps, c.n, s.direction, s.variable, booked.last_improved,
                        s.position, s.points, s.previous_variable);
    }
    return true;
  }

  void write_pattern_block(const Booking& booked) {
    s.pattern_blocks = incremented(s.pattern_blocks);
    if (s.pattern_blocks == 1) {
      s.reference_merit = s.booked_merit;
      s.stall_count = 0;
    }
    const PatternCells cells{steps, base_x, f_plus, f_minus};
    const PatternCounters counters{c.done,     s.pattern_blocks, s.stall_count,
                                   s.variable, c.phase_code,     s.pattern_factor};
    for (std::int32_t i = 1; i <= s.points; ++i)
      pattern_point(point(i), c.n, c.ni, i, booked.block_improved, c.step_tolerance, c.preset_r,
                    c.preset_i, cells, counters, generator);
  }

  // Integer variables truncated toward zero, then every variable into its bounds.
  void finish_block() {
    for (std::int32_t i = 1; i <= s.points; ++i) {
      const RealView x = point(i);
      for (Index j = continuous + 1; j <= c.n; ++j) x[j] = static_cast<double>(trunc_to_int(x[j]));
      for (Index j = 1; j <= c.n; ++j) {
        if (x[j] < c.xl[j])
          x[j] = c.xl[j];
        else if (x[j] > c.xu[j])
          x[j] = c.xu[j];
      }
    }
  }

  // A phase code the phase itself would not leave behind, or saved values that
  // do not fit this call, start the phase afresh.
  bool continues_a_phase() const {
    const std::int32_t phase = c.phase_code;
    if (phase != kExploring && phase != kPattern && phase != kStalled) return false;
    if (s.points < 1 || s.points > c.l) return false;
    if (phase == kExploring)
      return s.saved_position >= 1 && (s.saved_direction == 1 || s.saved_direction == -1);
    return true;
  }

  void run() {
    if (!continues_a_phase()) {
      c.phase_code = kStart;
      start_phase();
    }
    const Booking booked = book_block(c.phase_code);
    if (c.done == 1) return hand_back_best_point();

    s.first_point_of_block = 1;
    if (c.phase_code == kStart || c.phase_code == kStalled) {
      s.direction = -1;
      c.phase_code = kExploring;
      shuffle_visiting_order();
      s.position = 0;
    }
    const bool pattern_block = c.phase_code == kPattern || !write_exploratory_block(booked);
    if (pattern_block) {
      write_pattern_block(booked);
      if (c.done == 1) return hand_back_best_point();
    }
    finish_block();
  }
};

// True when every array of the call is long enough for its sizes.
bool call_fits(const PatternSearchCall& c) {
  if (c.l < 1 || c.n < 1 || c.m < 0) return false;
  const Index l = c.l, n = c.n, m = c.m;
  const PatternSearchLayout layout = PatternSearchLayout::for_sizes(n, m);
  return c.x.holds(1, l * n) && c.f.holds(1, l) && c.g.holds(1, l * m) && c.xl.holds(1, n) &&
         c.xu.holds(1, n) && c.step.holds(1, n) && c.rw.holds(1, layout.last()) &&
         c.iw.holds(1, n) && c.preset_r.holds(1, kPresetRealCount) &&
         c.preset_i.holds(1, kPresetIntegerCount);
}

}  // namespace

void run_pattern_search_call(PatternSearchState& state, const PatternSearchCall& call) {
  if (!call_fits(call)) return;
  Phase(state, call).run();
}

}  // namespace kestro::kernel
