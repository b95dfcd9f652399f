#include "multiobjective/weight_switch.hpp"

#include <algorithm>
#include <cstdint>

#include "core/numeric.hpp"
#include "core/random.hpp"

namespace kestro::multiobjective {

namespace {

constexpr double kRandomShift = 1e8;

// 32-bit integer arithmetic that wraps around instead of overflowing.
std::int32_t wrap_add(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
std::int32_t wrap_mul(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

}  // namespace

std::int32_t stagnation_limit(std::int32_t n, std::int32_t stall_prev, std::int32_t psize) {
  const std::int32_t squared_plus_one = wrap_add(wrap_mul(psize, psize), 1);
  const std::int32_t front_term = trunc_to_int(100000.0 / double(squared_plus_one));
  return wrap_add(wrap_add(std::min(n, 100), wrap_mul(20, stall_prev)), front_term);
}

void start_weight_switch(WeightSwitchState& s, WeightSwitchCall& c) {
  const double large = large_value();
  c.weight_mode = 1;
  s.switch_best1 = s.switch_best2 = large;
  c.random_shift = kRandomShift;
  s.stall_count = s.stall_prev = 0;
  for (Index k = 1; k <= c.o; ++k) c.random_weights[k] = c.ignored(k) ? 0.0 : 1.0;
}

void book_weight_switch(WeightSwitchState& s, WeightSwitchCall& c, double u, double z,
                        std::int32_t bounds_changed, std::int32_t psize) {
  bool progress = false;
  if (u < s.switch_best1) {
    s.switch_best1 = u;
    progress = true;
  }
  if (progress || bounds_changed > 0) {
    s.stall_prev = s.stall_count;
    s.stall_count = 0;
    if (c.weight_mode == 2) c.weight_mode = 1;
    return;
  }
  if (c.weight_mode == 2 && z < s.switch_best2) {
    s.switch_best2 = z;
    s.stall_count = 0;
  } else {
    s.stall_count = wrap_add(s.stall_count, 1);
  }
  if (s.stall_count < stagnation_limit(c.n, s.stall_prev, psize)) return;

  c.weight_mode = 2;
  s.switch_best2 = large_value();
  LaggedGenerator generator(&c.rw[1]);
  for (Index k = 1; k <= c.o; ++k) {
    c.random_weights[k] = generator.draw();
    if (c.ignored(k)) c.random_weights[k] = 0.0;
  }
}

}  // namespace kestro::multiobjective
