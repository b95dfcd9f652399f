#include "kernel/validation.hpp"

#include <cmath>
#include <utility>

#include "core/iflag_table.hpp"
#include "core/kernel_codes.hpp"
#include "core/numeric.hpp"
#include "core/param_positions.hpp"
#include "core/workspace_layout.hpp"

namespace kestro {
namespace {

using namespace iflag;
using namespace param;

constexpr double kHuge = 1e99;
// Two integer variables closer than 0.1 in single precision count as equal.
constexpr double kAllDifferentGap = 0.10000000149011612;

bool outside(double v, double lo, double hi) { return v < lo || v > hi; }
bool not_whole(double v, double tolerance) { return std::fabs(v - nint(v)) > tolerance; }

// The counts after L and O (M: the caller's constraint count): the first
// failing test's code, or 0.
int count_error(std::int32_t n, std::int32_t ni, Wide callers_m, std::int32_t me) {
  if (n <= 0) return kBadVariableCount;
  if (ni < 0) return kNegativeIntegerCount;
  if (ni > n) return kTooManyIntegers;
  if (callers_m < 0) return kNegativeConstraintCount;
  if (me < 0) return kNegativeEqualityCount;
  if (me > callers_m) return kTooManyEqualities;
  return 0;
}

// Sizes: the first failing test's code, or 0.
int size_error(const FirstCall& c) {
  if (c.l <= 0) return kBadBlockSize;
  // The objective count is checked before the workspace is split; a direct
  // call of the validation with no objective is refused the same way, so
  // that F(1) is never read from an empty block.
  if (c.o < 1) return kBadObjectiveCount;
  // With several objectives the kernel's block carries 2O columns after the
  // caller's constraints; the caller's own counts are the ones to check, or
  // a negative M or an ME beyond M would pass as long as 2O covers them.
  return count_error(c.n, c.ni, callers_constraint_count(c.o, c.m), c.me);
}

// Start point (not checked when x is empty) and bounds, variable by
// variable; the variable at fault goes to `where`.
int start_point_error(Index n, ConstRealView x, ConstRealView xl, ConstRealView xu, Index& where) {
  const bool start = !x.empty();
  for (Index i = 1; i <= n; ++i) {
    where = i;
    if (start && std::isnan(x[i])) return kStartNaN;
    if (std::isnan(xl[i])) return kLowerNaN;
    if (std::isnan(xu[i])) return kUpperNaN;
    if (start && x[i] < xl[i] - 1e-4) return kStartBelowLower;
    if (start && x[i] > xu[i] + 1e-4) return kStartAboveUpper;
    if (xl[i] > xu[i] + 1e-4) return kLowerAboveUpper;
  }
  where = 0;
  return 0;
}

// A whole BALANCE b >= 1 makes a multi-objective run optimise objective
// trunc(b) alone, which must exist.
bool balance_names_no_objective(double balance, std::int32_t o) {
  return o > 1 && std::fabs(balance) >= double(o) + 1.0;
}

// PARAM ranges, NaN entries and the EVALSTOP form. O is the number of
// objectives; with `front` PARETOMAX and EPSILON are checked after ORACLE,
// as a front end checks them. The entry at fault goes to `where`.
int param_entry_error(ConstRealView p, std::int32_t o, Index& where, bool front = false) {
  where = kAccuracy;
  if (outside(p[kAccuracy], 0, kHuge)) return kBadAccuracy;
  where = kRandomSeed;
  if (outside(p[kRandomSeed], 0, kHuge)) return kBadSeed;
  where = kFstop;
  if (outside(p[kFstop], -kHuge, kHuge)) return kBadFstop;
  where = kAlgostop;
  if (outside(p[kAlgostop], 0, kHuge)) return kBadAlgostop;
  where = kEvalstop;
  if (outside(p[kEvalstop], 0, kHuge)) return kBadEvalstop;
  where = kFocus;
  if (p[kFocus] > kHuge || not_whole(p[kFocus], 1e-6)) return kBadFocus;
  where = kAnts;
  if (outside(p[kAnts], 0, kHuge)) return kBadAnts;
  where = kKernel;
  if (outside(p[kKernel], 0, 100)) return kBadKernel;
  if (p[kAnts] > 0 && p[kKernel] > p[kAnts]) return kKernelAboveAnts;
  if (p[kAnts] > 0 && p[kKernel] <= 0) return kKernelMissing;
  if (p[kAnts] == 0 && p[kKernel] > 0) return kKernelWithoutAnts;
  where = kOracle;
  if (outside(p[kOracle], -kHuge, kHuge)) return kBadOracle;
  if (front) {
    where = kParetomax;
    if (int code = front_param_error(p[kParetomax], p[kEpsilon])) {
      if (code == kBadEpsilon) where = kEpsilon;
      return code;
    }
  }
  where = kBalance;
  const double balance = p[kBalance];
  if (balance != 0 && not_whole(balance, 1e-6) && std::fabs(balance) > 1) return kBadBalance;
  if (balance_names_no_objective(balance, o)) return kBadBalance;
  where = kCharacter;
  if (outside(p[kCharacter], 0, 3)) return kBadCharacter;
  if (not_whole(p[kCharacter], 1e-6)) return kCharacterNotWhole;
  // PARAM(1) .. PARAM(12); CHARACTER is not part of this test.
  for (where = kAccuracy; where <= kBalance; ++where)
    if (std::isnan(p[where])) return kParamNaN;
  where = kEvalstop;
  const double evalstop = p[kEvalstop];
  if (evalstop > 0 && evalstop < 1) return kEvalstopBelowOne;
  if (evalstop - anint(evalstop) < 0) return kEvalstopFraction;
  where = 0;
  return 0;
}

// Two different integer variables of the start point too close together:
// the first such pair, or {0, 0}.
std::pair<Index, Index> integers_not_all_different(Index n, Index ni, ConstRealView x) {
  for (Index i = n - ni + 1; i <= n; ++i)
    for (Index j = i + 1; j <= n; ++j)
      if (std::fabs(x[i] - x[j]) <= kAllDifferentGap) return {i, j};
  return {0, 0};
}

// Integer variables with a value that is not whole: the start value (not
// checked when x is empty), then the bounds, variable by variable; the
// variable at fault goes to `where`.
int integer_data_error(Index n, Index ni, ConstRealView x, ConstRealView xl, ConstRealView xu,
                       Index& where) {
  for (Index i = n - ni + 1; i <= n; ++i) {
    where = i;
    if (!x.empty() && std::fabs(x[i] - anint(x[i])) > 0.001) return kStartNotWhole;
    if (std::fabs(xl[i] - anint(xl[i])) > 0.001) return kLowerNotWhole;
    if (std::fabs(xu[i] - anint(xu[i])) > 0.001) return kUpperNotWhole;
  }
  where = 0;
  return 0;
}

// The first warning that applies, or 0.
int warning_code(const FirstCall& c) {
  for (Index i = 1; i <= c.n; ++i) {
    if (std::fabs(c.x[i]) > 1e16) return kWarnLargeStart;
    if (std::fabs(c.xl[i]) > 1e16) return kWarnLargeLower;
    if (std::fabs(c.xu[i]) > 1e16) return kWarnLargeUpper;
    if (c.xl[i] == c.xu[i]) return kWarnFixedVariable;
  }
  if (std::isnan(c.f[1])) return kWarnObjectiveNaN;
  for (Index j = 1; j <= c.m; ++j)
    if (std::isnan(c.g[j])) return kWarnConstraintNaN;
  if (std::fabs(c.param[kFstop]) > 1e16) return kWarnLargeFstop;
  if (std::fabs(c.param[kOracle]) > 1e16) return kWarnLargeOracle;
  return 0;
}

}  // namespace

int front_param_error(double paretomax, double epsilon) {
  if (std::fabs(paretomax) > kHuge) return kBadParetomax;
  if (std::fabs(paretomax - nint(paretomax)) > 1e-4) return kParetomaxNotWhole;
  if (epsilon < 0 || epsilon > 0.5) return kBadEpsilon;
  return 0;
}

void validate_first_call(const FirstCall& c, std::int32_t& iflag, std::int32_t& istop,
                         KernelSizes& sizes, std::int32_t& warn) {
  warn = 0;
  if (is_input_error(iflag)) return;  // the workspace check has already failed
  sizes.archive_size = kArchiveCapacity;

  auto fail = [&](int code) {
    iflag = code;
    istop = 1;
  };
  Index where = 0;
  if (int code = size_error(c)) return fail(code);
  if (int code = start_point_error(c.n, c.x, c.xl, c.xu, where)) return fail(code);
  if (int code = param_entry_error(c.param, c.o, where)) return fail(code);
  if (istop != 0 && istop != 1) return fail(kBadIstop);
  if (!(c.param[kCharacter] < 3) && integers_not_all_different(c.n, c.ni, c.x).first != 0)
    return fail(kIntegersNotDifferent);

  sizes.best_base = best_base_for(c.l, c.o, c.n, c.m);
  sizes.iw_kernel_len = iw_kernel_length(c.l, c.n);
  // The cleared area runs to the end of the global-best record; it must lie
  // inside RW as well as the stated minimum (a direct call may pass any LRW).
  const Index clear_end = saturate_index(Wide(sizes.best_base) + 2 * Wide(c.n) + c.m + 3);
  if (c.rw.size() < required_kernel_real_workspace(c.l, c.o, c.n, c.m) || c.rw.size() < clear_end)
    return fail(kKernelRealWorkspaceTooShort);
  const Index iw_clear_end = saturate_index(required_kernel_integer_workspace(c.l, c.n));
  if (c.iw.size() < iw_clear_end) return fail(kKernelIntegerWorkspaceTooShort);

  for (Index i = 10; i <= clear_end; ++i) c.rw[i] = 0.0;
  for (Index i = 1; i <= iw_clear_end; ++i) c.iw[i] = 0;

  if (int code = integer_data_error(c.n, c.ni, c.x, c.xl, c.xu, where)) return fail(code);
  if (int code = warning_code(c)) {
    warn = 1;
    iflag = code;
  }
}

InputFault problem_fault(std::int32_t o, std::int32_t n, std::int32_t ni, std::int32_t m,
                         std::int32_t me, ConstRealView x, ConstRealView xl, ConstRealView xu) {
  InputFault fault;
  if (o < 1 || o > kMaxObjectives) return InputFault{kBadObjectiveCount};
  if (int code = count_error(n, ni, m, me)) return InputFault{code};
  if (xl.size() < n || xu.size() < n || (!x.empty() && x.size() < n)) return fault;
  if (int code = start_point_error(n, x, xl, xu, fault.first))
    fault.code = code;
  else if (int code = integer_data_error(n, ni, x, xl, xu, fault.first))
    fault.code = code;
  return fault;
}

InputFault param_fault(ConstRealView param) {
  InputFault fault;
  if (param.size() < kCount) return fault;
  fault.code = param_entry_error(param, 1, fault.first, true);
  return fault;
}

InputFault pairing_fault(std::int32_t o, std::int32_t n, std::int32_t ni, ConstRealView x,
                         ConstRealView param) {
  InputFault fault;
  if (param.size() < kCount) return fault;
  if (balance_names_no_objective(param[kBalance], o)) return InputFault{kBadBalance, kBalance};
  if (!(param[kCharacter] < 3) && n >= 1 && ni >= 0 && ni <= n && x.size() >= n) {
    const auto [i, j] = integers_not_all_different(n, ni, x);
    if (i != 0) return InputFault{kIntegersNotDifferent, i, j};
  }
  return fault;
}

}  // namespace kestro
