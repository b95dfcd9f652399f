// Drives the solver entry as a caller would, from arbitrary bytes: sizes
// (zero, negative and huge among them), PARAM, start points and bounds,
// workspace lengths around and below their minimums, model values of every
// kind on every call, early stops and tampering with IFLAG and ISTOP between
// calls. Every array is allocated with exactly the length the call declares,
// so AddressSanitizer reports any access outside it.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "abi/default_context.hpp"
#include "interface/context.hpp"
#include "kestro.h"

namespace {

// Reads the fuzzer's bytes in order; past the end everything is zero.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::uint32_t u32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | byte();
    return v;
  }
  bool empty() const { return pos_ >= size_; }

  // A size: mostly small, sometimes zero, negative or at the ends of the
  // 32-bit range.
  int size_value(int small_max) {
    const std::uint8_t kind = byte();
    switch (kind % 16) {
      case 0: return 0;
      case 1: return -static_cast<int>(byte() % 5) - 1;
      case 2: return std::numeric_limits<int>::max();
      case 3: return std::numeric_limits<int>::min();
      case 4: return static_cast<int>(u32());
      default: return 1 + byte() % small_max;
    }
  }

  // A real of any kind: ordinary, whole, huge, tiny, NaN, infinite, denormal.
  double real() {
    const std::uint8_t kind = byte();
    switch (kind % 20) {
      case 0: return std::numeric_limits<double>::quiet_NaN();
      case 1: return std::numeric_limits<double>::infinity();
      case 2: return -std::numeric_limits<double>::infinity();
      case 3: return std::numeric_limits<double>::denorm_min() * (byte() + 1);
      case 4: return 1e300 * ((byte() % 2) ? 1 : -1);
      case 5: return 1e99 * ((byte() % 2) ? 1 : -1);
      case 6: return 0.0;
      case 7: return -0.0;
      case 8: {
        std::uint64_t bits = (std::uint64_t{u32()} << 32) | u32();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
      }
      case 9:
      case 10:
      case 11: return static_cast<double>(static_cast<int>(byte()) - 128);
      default: return (static_cast<int>(u32() % 2000001) - 1000000) / 1000.0;
    }
  }

  // A PARAM entry: mostly 0 or a sensible value, sometimes anything.
  double param_value(double sensible) {
    const std::uint8_t kind = byte() % 8;
    if (kind < 3) return 0.0;
    if (kind < 6) return sensible;
    return real();
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// Declared length of a block, or -1 when it is too large for this harness.
long long declared(long long a, long long b) {
  if (a <= 0 || b <= 0) return 0;
  const long long v = a * b;
  return v > (1 << 20) ? -1 : v;
}

// The solver entry's minimum LRW, brought into the 64-bit range.
long long required_lrw(long long l, long long o, long long n, long long m) {
  using Wide = __int128;
  const Wide v = 120 * Wide(n) + 20 * Wide(m) + Wide(l) * (Wide(m) + 2 * Wide(o) + 20) +
                 Wide(o) * (Wide(o) + 20) + 4990;
  if (v > Wide(1) << 40) return 1LL << 40;
  if (v < -(Wide(1) << 40)) return -(1LL << 40);
  return static_cast<long long>(v);
}

// A workspace length: near its minimum (above, at or below it) or anything.
long long workspace_length(Bytes& in, long long minimum) {
  const std::uint8_t kind = in.byte() % 8;
  if (kind < 5) return minimum + static_cast<int>(in.byte() % 9) - 4;
  if (kind == 5) return minimum + in.byte() * 37;
  if (kind == 6) return static_cast<int>(in.byte()) - 10;
  return static_cast<int>(in.u32() % 5000000);
}

}  // namespace

// The reporting entry writes its screen text to a sink instead of the
// fuzzer's standard error.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static std::FILE* sink = std::fopen("/dev/null", "w");
  kestro::abi::default_context().report.units.set_screen(sink);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bytes in(data, size);
  int l = in.size_value(12), o = in.size_value(4), n = in.size_value(24);
  // Counts that may be 0: one less than a size.
  auto count = [&in](int small_max) {
    const int v = in.size_value(small_max);
    return v == std::numeric_limits<int>::min() ? v : v - 1;
  };
  int ni = count(24), m = count(8), me = count(8);
  if (in.byte() % 4 != 0) {  // mostly consistent sizes
    if (ni > n) ni = n;
    if (me > m) me = m;
  }
  if (in.byte() % 3 != 0 && (o < 1 || o > 4)) o = 1;

  const long long lx = declared(l, n), lf = declared(l, o), lg = declared(l, m);
  const long long lb = n > 0 ? n : 0;
  if (lx < 0 || lf < 0 || lg < 0 || lb > (1 << 20)) return 0;

  double param[13];
  const double sensible[13] = {0.001, 3, 0, 5, 50.01, 0, 10, 5, 0, 20, 0.1, 0.5, 1};
  for (int k = 0; k < 13; ++k) param[k] = in.param_value(sensible[k]);

  const long long min_lrw = required_lrw(l, o, n, m), min_liw = l + 3LL * n + 990;
  // PF around the front's minimum P(N + M + O) + 1 for the capacity PARETOMAX asks for.
  const double paretomax = std::fabs(param[9]);
  const long long capacity = paretomax >= 1 && paretomax < 1e6 ? std::llround(paretomax) : 1000;
  const long long front = capacity * (static_cast<long long>(n) + m + o) + 1;
  long long lrw = workspace_length(in, min_lrw), liw = workspace_length(in, min_liw);
  long long lpf = o > 1 ? workspace_length(in, front) : in.byte() % 3;
  auto fits = [](long long v) { return v >= INT32_MIN && v <= INT32_MAX; };
  if (!fits(lrw) || !fits(liw) || !fits(lpf)) return 0;
  if (lrw > (1 << 22) || liw > (1 << 22) || lpf > (1 << 22)) return 0;

  std::vector<double> x(lx), f(lf), g(lg), xl(lb), xu(lb);
  std::vector<double> rw(lrw > 0 ? lrw : 0), pf(lpf > 0 ? lpf : 0);
  std::vector<int> iw(liw > 0 ? liw : 0);
  for (auto& v : rw) v = std::numeric_limits<double>::quiet_NaN();  // contents must not matter
  for (auto& v : iw) v = -7;

  for (long long i = 0; i < lb; ++i) {
    double lo = in.real(), hi = in.real();
    if (in.byte() % 4 != 0) {  // mostly sensible bounds
      lo = -static_cast<double>(in.byte() % 10);
      hi = lo + (in.byte() % 20);
    }
    xl[i] = lo;
    xu[i] = hi;
  }
  for (long long i = 0; i < lx; ++i) {
    const long long v = n > 0 ? i % n : 0;
    x[i] = in.byte() % 4 != 0 && lb > v ? std::round(0.5 * (xl[v] + xu[v])) : in.real();
  }

  // The reporting entry's settings: mostly quiet, sometimes printing, writing
  // files and spending its budgets.
  const int printeval_choices[] = {0, 0, 1, 7, 1000, -5};
  const int save2file_choices[] = {0, 0, 0, 1, 2, 5};
  const int maxeval_choices[] = {99999999, 99999999, 1, 2, 100, 0};
  int printeval = printeval_choices[in.byte() % 6];
  int save2file = save2file_choices[in.byte() % 6];
  int maxeval = maxeval_choices[in.byte() % 6];
  int maxtime = in.byte() % 8 == 0 ? 0 : 1000000;
  int timediv = in.byte() % 2;
  const bool report = in.byte() % 4 != 0;
  // A history row lists F(1:O), G(1:M) and X(1:N) whatever the block size,
  // so with L < 1 (nothing declared) its length is not bounded by the
  // declared lengths: leave out inputs whose rows would be too long to write.
  const long long row = static_cast<long long>(std::max(o, 0)) + std::max(m, 0) + std::max(n, 0);
  if (report && save2file > 1 && row > (1 << 20)) return 0;

  int iflag = 0, istop = 0;
  int l32 = l, o32 = o, n32 = n, ni32 = ni, m32 = m, me32 = me;
  int lrw32 = static_cast<int>(lrw), liw32 = static_cast<int>(liw), lpf32 = static_cast<int>(lpf);
  auto print = [&](int stage) {
    if (!report) return;
    kestro_print_(&stage, &printeval, &save2file, &iflag, &istop, f.data(), g.data(), x.data(),
                  xl.data(), xu.data(), &o32, &n32, &ni32, &m32, &me32, rw.data(), pf.data(),
                  &maxeval, &maxtime, param, &l32, &timediv);
  };
  print(1);
  // Work per call grows with the declared lengths (a report lists every
  // variable): keep the total per input within a few million values.
  const long long per_call = lx + lf + lg + 4 * lb + 1;
  const long long most_calls = 1 + 4000000 / per_call;
  const int calls = static_cast<int>(std::min<long long>(1 + in.byte() * 4, most_calls));
  for (int call = 0; call < calls; ++call) {
    // The model's values: usually finite, sometimes anything.
    const bool wild = in.byte() % 8 == 0;
    for (long long p = 0; lf > 0 && p < l; ++p) {
      for (long long k = 0; k < o; ++k) {
        double s = 0;
        for (long long v = 0; lx > 0 && v < n; ++v) {
          const double d = x[p * n + v] - 0.3 * k;
          if (std::isfinite(d)) s += d * d;
        }
        f[p * o + k] = wild ? in.real() : s;
      }
    }
    for (long long j = 0; j < lg; ++j) g[j] = wild ? in.real() : 1.0 - 0.01 * j;

    // Early stops and tampering between calls.
    const std::uint8_t tamper = in.byte();
    if (call > 0) {
      if (tamper == 1) iflag = -999;
      if (tamper == 2) istop = 1;
      if (tamper == 3) iflag = static_cast<int>(in.u32());
      if (tamper == 4) istop = static_cast<int>(in.u32());
      if (tamper == 5) iflag = 0;
    }
    kestro_(&l32, &o32, &n32, &ni32, &m32, &me32, x.data(), f.data(), g.data(), xl.data(),
            xu.data(), &iflag, &istop, param, rw.data(), &lrw32, iw.data(), &liw32, pf.data(),
            &lpf32);
    print(2);
    if (istop == 1 && tamper % 3 != 0) break;
    if (in.empty() && call > 8) break;
  }
  return 0;
}
