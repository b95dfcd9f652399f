#include <cmath>

#include "interface/context.hpp"
#include "core/numeric.hpp"
#include "interface/solver_call.hpp"

namespace kestro {
namespace {

constexpr std::int32_t kNotInitialised = 701;

// Front capacity asked for by PARETOMAX: its magnitude when at least 1,
// else 1000.
Wide front_capacity(double paretomax) {
  return std::fabs(paretomax) >= 1 ? Wide(nint(std::fabs(paretomax))) : Wide(1000);
}

}  // namespace

void check_workspace(const SolverCall& c) {
  auto fail = [&](int code) {
    c.iflag = code;
    c.istop = 1;
  };
  if (c.lrw < required_real_workspace(c.l, c.o, c.n, c.m)) return fail(501);
  if (c.liw < required_integer_workspace(c.l, c.n)) return fail(601);
  if (c.o == 1) return;  // PF is not used
  if (c.o < 1 || c.o > 1000000) return fail(101);
  const double paretomax = c.param[10];
  if (std::fabs(paretomax) > 1e99) return fail(321);
  if (std::fabs(paretomax - nint(paretomax)) > 1e-4) return fail(322);
  const double epsilon = c.param[11];
  if (epsilon < 0 || epsilon > 0.5) return fail(331);
  if (c.lpf <= front_capacity(paretomax) * (Wide(c.n) + c.m + c.o)) return fail(344);
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
    c.iflag = kNotInitialised;
    c.istop = 1;
    return;
  }
  drive_kernel(context, c, state.regions);
}

}  // namespace kestro
