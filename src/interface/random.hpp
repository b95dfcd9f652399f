// The lagged random generator whose whole state is RW(1), RW(2).
#pragma once

#include <bit>
#include <cstdint>

namespace kestro {

class LaggedGenerator {
 public:
  // `state` points at RW(1); RW(2) follows it.
  explicit LaggedGenerator(double* state) : s_(state) {}

  // Returns the second state value and shifts the pair.
  double draw() {
    const double v = s_[1];
    const double sum = s_[0] + v;
    // Both outcomes of each test are formed and one is picked by a bit mask:
    // the tests go either way like coin tosses, so branches would mostly be
    // mispredicted. The values are the same as with the branches.
    const double t = pick(v < 0.5, sum + 0.123456789, sum);
    s_[0] = v;
    s_[1] = pick(t > 1.0, t - 1.0, t);
    return v;
  }

  // The value the next draw will return.
  double peek() const { return s_[1]; }

  // Seeds the state from RANDOM-SEED.
  void seed(double seed_value);

 private:
  // `when` ? a : b, by its bits.
  static double pick(bool when, double a, double b) {
    const std::uint64_t mask = std::uint64_t{0} - std::uint64_t{when};
    return std::bit_cast<double>((std::bit_cast<std::uint64_t>(a) & mask) |
                                 (std::bit_cast<std::uint64_t>(b) & ~mask));
  }

  double* s_;
};

}  // namespace kestro
