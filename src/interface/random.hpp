// The lagged random generator whose whole state is RW(1), RW(2).
#pragma once

namespace kestro {

class LaggedGenerator {
 public:
  // `state` points at RW(1); RW(2) follows it.
  explicit LaggedGenerator(double* state) : s_(state) {}

  // Returns the second state value and shifts the pair.
  double draw() {
    const double v = s_[1];
    double t = s_[0] + s_[1];
    if (s_[1] < 0.5) t = t + 0.123456789;
    if (t > 1.0) t = t - 1.0;
    s_[0] = v;
    s_[1] = t;
    return v;
  }

  // The value the next draw will return.
  double peek() const { return s_[1]; }

  // Seeds the state from RANDOM-SEED.
  void seed(double seed_value);

 private:
  double* s_;
};

}  // namespace kestro
