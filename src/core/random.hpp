// The lagged random generator whose whole state is RW(1), RW(2).
#pragma once

#include <bit>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    const double t = pick_if_less(v, 0.5, sum + 0.123456789, sum);
    s_[0] = v;
    s_[1] = pick_if_less(1.0, t, t - 1.0, t);
    return v;
  }

  // The value the next draw will return.
  double peek() const { return s_[1]; }

  // Seeds the state from RANDOM-SEED.
  void seed(double seed_value);

 private:
  // x < y ? a : b, by a bit mask (false for a NaN, as the comparison is).
  static double pick_if_less(double x, double y, double a, double b) {
#if defined(__SSE2__)
    const __m128d mask = _mm_cmplt_sd(_mm_set_sd(x), _mm_set_sd(y));
    return _mm_cvtsd_f64(
        _mm_or_pd(_mm_and_pd(mask, _mm_set_sd(a)), _mm_andnot_pd(mask, _mm_set_sd(b))));
#else
    const std::uint64_t mask = std::uint64_t{0} - std::uint64_t{x < y};
    return std::bit_cast<double>((std::bit_cast<std::uint64_t>(a) & mask) |
                                 (std::bit_cast<std::uint64_t>(b) & ~mask));
#endif
  }

  double* s_;
};

}  // namespace kestro
