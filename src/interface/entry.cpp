#include <cmath>

#include "core/iflag_table.hpp"
#include "core/numeric.hpp"
#include "core/param_positions.hpp"
#include "interface/context.hpp"
#include "interface/solver_call.hpp"
#include "kernel/validation.hpp"

namespace kestro {
namespace {}  // namespace

void check_workspace(const SolverCall& c) {
  auto fail = [&](int code) {
    c.iflag = code;
    c.istop = 1;
  };
  if (c.lrw < required_real_workspace(c.l, c.o, c.n, c.m))
    return fail(iflag::kRealWorkspaceTooShort);
  if (c.liw < required_integer_workspace(c.l, c.n)) return fail(iflag::kIntegerWorkspaceTooShort);
  if (c.o == 1) return;  // PF is not used
  if (c.o < 1 || c.o > kMaxObjectives) return fail(iflag::kBadObjectiveCount);
  const double paretomax = c.param[param::kParetomax];
  if (int code = front_param_error(paretomax, c.param[param::kEpsilon])) return fail(code);
  if (c.lpf <= pareto_entries_length(paretomax, c.o, c.n, c.m)) return fail(iflag::kFrontTooShort);
  for (Index i = 1; i <= c.pf.size(); ++i) c.pf[i] = 0.0;
}

void solver_entry(Context& context, SolverCall& c) {
  InterfaceState& state = context.solver.interface;
  if (c.iflag == 0) {
    // A new run: every saved variable of the solver starts afresh.
    context.solver = SolverState{};
    check_workspace(c);
    state.regions = RegionStarts::for_sizes(c.l, c.o, c.n, c.m);
    state.sizes = c.sizes();
    state.run_started = true;
  } else if (!state.run_started || !(state.sizes == c.sizes())) {
    // The region starts were fixed for other sizes, or never: nothing may be
    // read or written through them.
    c.iflag = iflag::kNotInitialised;
    c.istop = 1;
    return;
  }
  drive_kernel(context, c, state.regions);
}

}  // namespace kestro
