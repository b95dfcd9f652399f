#include "kernel/validation.hpp"

#include <cmath>

#include "core/numeric.hpp"
#include "core/workspace_layout.hpp"

namespace kestro {
namespace {

// PARAM entries by their 1-based position.
enum Param : int {
  kAccuracy = 1,
  kRandomSeed = 2,
  kFstop = 3,
  kAlgostop = 4,
  kEvalstop = 5,
  kFocus = 6,
  kAnts = 7,
  kKernel = 8,
  kOracle = 9,
  kParetomax = 10,
  kEpsilon = 11,
  kBalance = 12,
  kCharacter = 13,
};

constexpr double kHuge = 1e99;
// Two integer variables closer than 0.1 in single precision count as equal.
constexpr double kAllDifferentGap = 0.10000000149011612;

bool outside(double v, double lo, double hi) { return v < lo || v > hi; }
bool not_whole(double v, double tolerance) {
  return std::fabs(v - nint(v)) > tolerance;
}

// Sizes: the first failing test's code, or 0.
int size_error(const FirstCall& c) {
  if (c.l <= 0) return 100;
  // The objective count is checked before the workspace is split; a direct
  // call of the validation with no objective is refused the same way, so
  // that F(1) is never read from an empty block.
  if (c.o < 1) return 101;
  if (c.n <= 0) return 102;
  if (c.ni < 0) return 103;
  if (c.ni > c.n) return 104;
  // With several objectives the kernel's block carries 2O columns after the
  // caller's constraints; the caller's own counts are the ones to check, or
  // a negative M or an ME beyond M would pass as long as 2O covers them.
  const Wide callers_m = callers_constraint_count(c.o, c.m);
  if (callers_m < 0) return 105;
  if (c.me < 0) return 106;
  if (c.me > callers_m) return 107;
  return 0;
}

// Start point and bounds, variable by variable.
int start_point_error(const FirstCall& c) {
  for (Index i = 1; i <= c.n; ++i) {
    const double x = c.x[i], xl = c.xl[i], xu = c.xu[i];
    if (std::isnan(x)) return 201;
    if (std::isnan(xl)) return 202;
    if (std::isnan(xu)) return 203;
    if (x < xl - 1e-4) return 204;
    if (x > xu + 1e-4) return 205;
    if (xl > xu + 1e-4) return 206;
  }
  return 0;
}

// PARAM ranges, NaN entries and the EVALSTOP form. O is the number of
// objectives.
int param_error(ConstRealView p, std::int32_t o) {
  if (outside(p[kAccuracy], 0, kHuge)) return 301;
  if (outside(p[kRandomSeed], 0, kHuge)) return 302;
  if (outside(p[kFstop], -kHuge, kHuge)) return 303;
  if (outside(p[kAlgostop], 0, kHuge)) return 304;
  if (outside(p[kEvalstop], 0, kHuge)) return 305;
  if (p[kFocus] > kHuge || not_whole(p[kFocus], 1e-6)) return 306;
  if (outside(p[kAnts], 0, kHuge)) return 307;
  if (outside(p[kKernel], 0, 100)) return 308;
  if (p[kAnts] > 0 && p[kKernel] > p[kAnts]) return 309;
  if (p[kAnts] > 0 && p[kKernel] <= 0) return 310;
  if (p[kAnts] == 0 && p[kKernel] > 0) return 311;
  if (outside(p[kOracle], -kHuge, kHuge)) return 312;
  const double balance = p[kBalance];
  if (balance != 0 && not_whole(balance, 1e-6) && std::fabs(balance) > 1) return 350;
  // A whole BALANCE b >= 1 makes a multi-objective run optimise objective
  // trunc(b) alone, which must exist.
  if (o > 1 && std::fabs(balance) >= double(o) + 1.0) return 350;
  if (outside(p[kCharacter], 0, 3)) return 351;
  if (not_whole(p[kCharacter], 1e-6)) return 352;
  for (int entry = 1; entry <= 12; ++entry)
    if (std::isnan(p[entry])) return 399;
  const double evalstop = p[kEvalstop];
  if (evalstop > 0 && evalstop < 1) return 347;
  if (evalstop - anint(evalstop) < 0) return 348;
  return 0;
}

// Two different integer variables of the start point too close together.
bool integers_not_all_different(const FirstCall& c) {
  for (Index i = c.n - c.ni + 1; i <= c.n; ++i)
    for (Index j = i + 1; j <= c.n; ++j)
      if (std::fabs(c.x[i] - c.x[j]) <= kAllDifferentGap) return true;
  return false;
}

int integer_data_error(const FirstCall& c) {
  for (Index i = c.n - c.ni + 1; i <= c.n; ++i) {
    if (std::fabs(c.x[i] - anint(c.x[i])) > 0.001) return 881;
    if (std::fabs(c.xl[i] - anint(c.xl[i])) > 0.001) return 882;
    if (std::fabs(c.xu[i] - anint(c.xu[i])) > 0.001) return 883;
  }
  return 0;
}

// The first warning that applies, or 0.
int warning_code(const FirstCall& c) {
  for (Index i = 1; i <= c.n; ++i) {
    if (std::fabs(c.x[i]) > 1e16) return 51;
    if (std::fabs(c.xl[i]) > 1e16) return 52;
    if (std::fabs(c.xu[i]) > 1e16) return 53;
    if (c.xl[i] == c.xu[i]) return 71;
  }
  if (std::isnan(c.f[1])) return 81;
  for (Index j = 1; j <= c.m; ++j)
    if (std::isnan(c.g[j])) return 82;
  if (std::fabs(c.param[kFstop]) > 1e16) return 91;
  if (std::fabs(c.param[kOracle]) > 1e16) return 92;
  return 0;
}

}  // namespace

void validate_first_call(const FirstCall& c, std::int32_t& iflag,
                         std::int32_t& istop, KernelSizes& sizes,
                         std::int32_t& warn) {
  warn = 0;
  if (iflag > 99) return;  // the workspace check has already failed
  sizes.archive_size = 100;

  auto fail = [&](int code) {
    iflag = code;
    istop = 1;
  };
  if (int code = size_error(c)) return fail(code);
  if (int code = start_point_error(c)) return fail(code);
  if (int code = param_error(c.param, c.o)) return fail(code);
  if (istop != 0 && istop != 1) return fail(401);
  if (!(c.param[kCharacter] < 3) && integers_not_all_different(c)) return fail(402);

  sizes.best_base = best_base_for(c.l, c.o, c.n, c.m);
  sizes.iw_kernel_len = iw_kernel_length(c.l, c.n);
  // The cleared area runs to the end of the global-best record; it must lie
  // inside RW as well as the stated minimum (a direct call may pass any LRW).
  const Index clear_end = saturate_index(Wide(sizes.best_base) + 2 * Wide(c.n) + c.m + 3);
  if (c.rw.size() < required_kernel_real_workspace(c.l, c.o, c.n, c.m) ||
      c.rw.size() < clear_end)
    return fail(502);
  const Index iw_clear_end = saturate_index(required_kernel_integer_workspace(c.l, c.n));
  if (c.iw.size() < iw_clear_end) return fail(602);

  for (Index i = 10; i <= clear_end; ++i) c.rw[i] = 0.0;
  for (Index i = 1; i <= iw_clear_end; ++i) c.iw[i] = 0;

  if (int code = integer_data_error(c)) return fail(code);
  if (int code = warning_code(c)) {
    warn = 1;
    iflag = code;
  }
}

}  // namespace kestro
