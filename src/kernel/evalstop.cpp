#include <cmath>
#include <cstdint>

#include "core/iflag_table.hpp"
#include "core/numeric.hpp"
#include "core/param_positions.hpp"
#include "kernel/bookkeeping.hpp"
#include "kernel/residual.hpp"

namespace kestro::kernel {

void evalstop_account(EvalstopState& state, double f, ConstRealView g, Index m, Index me,
                      double acc, ConstRealView param, std::int32_t& istop, std::int32_t& iflag) {
  const Index constraints = m > 0 && g.holds(1, m) ? m : 0;
  const double r = residual(g, constraints, me, acc);
  const double evalstop = param[param::kEvalstop];

  if (iflag == 0) {
    state.evalstop_count = 0;
    state.evalstop_ref_res = r;
    state.evalstop_ref_f = f;
    state.evalstop_tol = 0.001;
    const double d = evalstop - static_cast<double>(nint(evalstop));
    if (d > 0) state.evalstop_tol = d;
    return;
  }

  bool improvement;
  if (m > 0 && state.evalstop_ref_res > acc) {
    improvement = r <= state.evalstop_ref_res - state.evalstop_tol * state.evalstop_ref_res;
  } else if (m > 0) {
    improvement = r == state.evalstop_ref_res &&
                  f <= state.evalstop_ref_f - std::fabs(state.evalstop_ref_f) * state.evalstop_tol;
  } else {
    improvement = f <= state.evalstop_ref_f - std::fabs(state.evalstop_ref_f) * state.evalstop_tol;
  }

  if (improvement) {
    state.evalstop_count = 0;
    state.evalstop_ref_f = f;
    state.evalstop_ref_res = r;
    return;
  }
  // The count stops short of overflowing; a limit that NINT cannot represent
  // (and a limit of 0 or less) is never reached, as the main loop's switch,
  // trunc(EVALSTOP) > 0, keeps the test off for those values anyway.
  if (state.evalstop_count < INT32_MAX) state.evalstop_count = state.evalstop_count + 1;
  if (state.evalstop_count == nint(evalstop)) {
    istop = 1;
    iflag = state.evalstop_ref_res <= acc ? iflag::kEvalstopFeasible : iflag::kEvalstopInfeasible;
  }
}

}  // namespace kestro::kernel
