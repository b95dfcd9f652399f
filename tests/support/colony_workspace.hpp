// A real workspace laid out like the colony's work area, in miniature, for
// the sampling and coordinate-search tests: the generator state at RW(1..2),
// then the run-best point, the archive points, the cumulative rank weights
// and the spreads, with exactly the length they need and guard zones around.
#pragma once

#include <initializer_list>

#include "core/random.hpp"
#include "core/view.hpp"
#include "kernel/preset_state.hpp"
#include "support/guarded.hpp"

namespace kestro::testing {

struct GeneratorState {
  double s1, s2;
  bool operator==(const GeneratorState&) const = default;
};

// The generator state after `count` draws from `start`.
inline GeneratorState after_draws(GeneratorState start, int count) {
  double state[2] = {start.s1, start.s2};
  LaggedGenerator generator(state);
  for (int i = 0; i < count; ++i) generator.draw();
  return {state[0], state[1]};
}

// The draw number `index` (1 = the next one) from `start`.
inline double nth_draw(GeneratorState start, int index) { return after_draws(start, index - 1).s2; }

struct ColonyWorkspace {
  int n, k;
  int best_x, a0, c0, s0, lrw;
  Guarded<double> rw;

  ColonyWorkspace(int variables, int members)
      : n(variables),
        k(members),
        best_x(3),
        a0(3 + variables),
        c0(a0 + members * variables),
        s0(c0 + members + 1),
        lrw(s0 + variables - 1),
        rw(static_cast<std::size_t>(lrw), -7.0) {}

  double& at(int position) { return rw[static_cast<std::size_t>(position - 1)]; }
  double* data() { return rw.data(); }

  void set_state(GeneratorState s) {
    at(1) = s.s1;
    at(2) = s.s2;
  }
  GeneratorState state() { return {at(1), at(2)}; }

  void set_best(std::initializer_list<double> x) {
    int i = 0;
    for (double v : x) at(best_x + i++) = v;
  }
  void set_member(int j, std::initializer_list<double> x) {
    int i = 0;
    for (double v : x) at(a0 + (j - 1) * n + i++) = v;
  }
  double member(int j, int i) { return at(a0 + (j - 1) * n + i - 1); }
  void set_spreads(std::initializer_list<double> sigma) {
    int i = 0;
    for (double v : sigma) at(s0 + i++) = v;
  }
  // c_0 .. c_k of linear rank weights, written by hand.
  void set_linear_weights() {
    const double sum = k * (k + 1) / 2.0;
    at(c0) = 0.0;
    for (int j = 1; j <= k; ++j) at(c0 + j) = at(c0 + j - 1) + (k - j + 1) / sum;
  }
};

// PRESET_R and PRESET_I with the entries the samplers and the coordinate
// search read; every other entry is 0.
struct TestPresets {
  double r[kernel::kPresetRealCount] = {};
  int i[kernel::kPresetIntegerCount] = {};

  TestPresets() {
    set_r(2, 0.5);    // reflection threshold
    set_r(3, 0.5);    // reflection damping
    set_r(4, 0.8);    // integer spread floor numerator
    set_r(5, 100.0);  // integer spread floor divisor
    set_r(6, 4.0);    // step shrink divisor
    set_r(9, 0.5);    // integer spread floor of a widened restart
    set_i(6, 1);      // exponent of the relative spread floor
    set_i(7, 2);      // minimum step 1/20
    set_i(8, 3);      // tries per continuous variable
  }
  void set_r(int k, double v) { r[k - 1] = v; }
  void set_i(int k, int v) { i[k - 1] = v; }
  ConstRealView r_view() const { return ConstRealView(r, kernel::kPresetRealCount); }
  ConstIntView i_view() const { return ConstIntView(i, kernel::kPresetIntegerCount); }
};

}  // namespace kestro::testing
