#include "multiobjective/driver.hpp"

#include <algorithm>
#include <cmath>

#include "core/iflag_table.hpp"
#include "core/numeric.hpp"
#include "core/param_positions.hpp"
#include "core/workspace_layout.hpp"
#include "kernel/main_loop.hpp"
#include "multiobjective/front_store.hpp"
#include "multiobjective/layer_workspace.hpp"
#include "multiobjective/scalarisation.hpp"
#include "multiobjective/steering.hpp"
#include "multiobjective/weight_switch.hpp"

namespace kestro::multiobjective {

namespace {

using iflag::kFrontTooShort;
using iflag::kNotInitialised;
using iflag::kRealWorkspaceTooShort;
constexpr std::int32_t kCountLimit = 999999999;

std::int32_t increment(std::int32_t count) { return count == INT32_MAX ? kCountLimit : count + 1; }

class Driver {
 public:
  Driver(MultiObjectiveState& state, kernel::KernelState& kernel, MultiObjectiveCall& call)
      : st(state),
        d(state.driver),
        kernel_state(kernel),
        c(call),
        large(large_value()),
        arrays(LayerArrays::in_regions(call.fblock, call.objlo, call.objhi, call.l, call.o)) {}

  void run() {
    // An error left in IFLAG (the workspace check failed on this first call):
    // nothing is offered and no saved value changes; the kernel answers.
    if (iflag::is_input_error(c.iflag)) return pass_through();
    // A negative constraint count leaves no place for the carried objectives;
    // the kernel's validation refuses it.
    if (c.m < 0) return pass_through();

    if (c.iflag == 0) {
      if (const std::int32_t code = workspace_error()) {
        c.iflag = code;
        c.istop = 1;
        return pass_through();
      }
      start_run();
    } else {
      if (!d.initialised || !(d.shape == shape())) {
        c.iflag = kNotInitialised;
        c.istop = 1;
        return;
      }
      d.mo_calls = increment(d.mo_calls);
      if (d.mo_calls <= 2) d.weight_mode = 1;
    }

    d.bounds_changed = 0;
    for (Index i = 1; i <= c.l; ++i) book_point(i);
    write_constraint_block();
    write_objective_row();
    call_kernel();
    if (c.istop == 1 && c.l > 0) return_best_point();
  }

 private:
  MultiObjectiveState& st;
  DriverState& d;
  kernel::KernelState& kernel_state;
  MultiObjectiveCall& c;
  const double large;
  const LayerArrays arrays;

  LayerShape shape() const { return LayerShape{c.l, c.o, c.n, c.m, c.me}; }
  Index row_length() const { return Index(c.m) + 2 * Index(c.o); }
  RealView point_f(Index i) const { return c.f.slice((i - 1) * c.o + 1, c.o); }
  RealView point_g(Index i) const { return c.g.slice((i - 1) * c.m + 1, c.m); }
  RealView point_x(Index i) const { return c.x.slice((i - 1) * c.n + 1, c.n); }

  // ---- Start of a run -----------------------------------------------------------

  // The regions and PF must hold what the layer keeps there. The workspace
  // check guarantees it for calls through the solver entry; a direct call
  // with shorter arrays gets the code that check would have given.
  std::int32_t workspace_error() const {
    const LayerRegionLengths need = LayerRegionLengths::for_sizes(c.l, c.o, c.n, c.m);
    if (c.pen.size() < need.pen || c.res.size() < need.res || c.gblock.size() < need.gblock ||
        c.fblock.size() < need.fblock || c.step.size() < need.step || c.dist.size() < need.dist ||
        c.dist2.size() < need.dist2 || !arrays.complete(c.o))
      return kRealWorkspaceTooShort;
    if (!FrontBlocks::fits(c.pf, c.o, c.m, std::max(c.n, 0),
                           front_capacity(c.param[param::kParetomax])))
      return kFrontTooShort;
    return 0;
  }

  void start_run() {
    d = DriverState{};
    d.mo_calls = 1;
    d.front_shift = 0.0;
    d.offered_count = 0;
    d.accuracy = d.front_epsilon = 0.0;
    d.front_capacity = d.psize = 0;
    d.steer_started = 1;
    d.weight_mode = 0;
    d.best_scalar = large;
    d.best_residual = large;
    for (Index k = 1; k <= c.o; ++k) {
      arrays.objlo[k] = large;
      arrays.objhi[k] = -large;
    }
    d.balance = std::fabs(c.param[param::kBalance]);
    d.balance_negative = c.param[param::kBalance] < 0 ? 1 : 0;
    user_weights(arrays.weights, c.o, d.balance);

    const double paretomax = c.param[param::kParetomax];
    d.ignore_zero_weights = 0;
    if (paretomax < 0 && d.balance < 1) d.ignore_zero_weights = 1;
    d.front_capacity = front_capacity(paretomax);

    WeightSwitchCall switch_call = weight_switch_call();
    start_weight_switch(st.weight_switch, switch_call);
    for (Index i = 1; i <= c.l; ++i) c.dist[i] = 0.0;
    d.accuracy = c.param[param::kAccuracy] > 0 ? c.param[param::kAccuracy] : 0.001;
    if (c.param[param::kEpsilon] != 0)
      d.front_epsilon = std::fabs(c.param[param::kEpsilon]);
    else
      d.front_epsilon = c.o == 2 ? 0.001 : 0.01;
    // FSTOP does not apply to a scalarised run.
    if (std::fabs(c.param[param::kFstop]) > 0 && d.balance < 1) c.param[param::kFstop] = 0.0;
    d.weight_mode = 1;

    d.initialised = true;
    d.shape = shape();
  }

  IgnoredObjectives ignored() const {
    return IgnoredObjectives::zero_weights(arrays.weights, d.ignore_zero_weights == 1);
  }

  WeightSwitchCall weight_switch_call() {
    return WeightSwitchCall{
        c.o, c.n, c.rw, d.weight_mode, ignored(), d.random_shift, arrays.random_weights};
  }

  // ---- One evaluated point ------------------------------------------------------

  // A failed evaluation (an objective at LARGE or a constraint at -LARGE) is
  // never put on the front.
  bool failed(Index i) const {
    const RealView f = point_f(i), g = point_g(i);
    for (Index k = 1; k <= c.o; ++k)
      if (f[k] >= large) return true;
    for (Index j = 1; j <= c.m; ++j)
      if (g[j] <= -large) return true;
    return false;
  }

  FrontBlocks front() const {
    return FrontBlocks::in_pf(c.pf, c.o, c.m, std::max(c.n, 0), d.front_capacity);
  }

  void book_point(Index i) {
    const RealView f = point_f(i), g = point_g(i), x = point_x(i);
    const double r = c.m > 0 ? point_residual(g, c.m, c.me, d.accuracy) : 0.0;
    std::int32_t added = 0;

    if (r <= d.accuracy) {
      d.offered_count = increment(d.offered_count);
      d.psize = std::clamp(nint(c.pf[1]), 0, d.front_capacity);
      if (!failed(i)) {
        // clang-format off
        OfferCall offer{front(),       d.psize,          d.front_capacity,
                        d.front_epsilon, arrays.objlo,   arrays.objhi,
                        d.front_shift, d.offered_count,  ignored(),
                        d.bounds_changed, d.relative_bound_change, added,
                        // clang-format on
                        OfferScratch{arrays.ranges, arrays.max_entries}};
        offer_point(st.front, OfferedPoint{f, g, x}, offer);
      }
      c.pf[1] = double(d.psize);
    }

    if (d.balance >= 1) {
      // The run optimises one objective alone.
      const std::int32_t b = std::clamp<std::int32_t>(trunc_to_int(d.balance), 1, c.o);
      c.dist[i] = c.dist2[i] = f[b];
    } else {
      c.dist[i] = weighted_distance(c.o, f, r, d.accuracy, arrays.objlo, arrays.objhi,
                                    d.front_shift, arrays.weights, d.offered_count);
      c.dist2[i] = weighted_distance(c.o, f, r, d.accuracy, arrays.objlo, arrays.objhi,
                                     d.random_shift, arrays.random_weights, d.offered_count);
    }

    // clang-format off
    SteeringCall steering{c.dist[i],        f,
                          g,                x,
                          r,                d.accuracy,
                          d.best_scalar,    d.best_residual,
                          arrays.best_objectives, c.pf[1],
                          front(),          d.front_capacity,
                          arrays.objlo,     arrays.objhi,
                          arrays.weights,   d.balance,
                          d.steer_started,  d.weight_mode,
                          added,            d.bounds_changed,
                          d.relative_bound_change, d.offered_count};
    // clang-format on
    steer_point(st.steering, steering);

    const bool becomes_best = d.best_residual <= d.accuracy
                                  ? (r <= d.accuracy && c.dist[i] < d.best_scalar)
                                  : r < d.best_residual;
    if (becomes_best) {
      d.best_scalar = c.dist[i];
      d.best_residual = r;
      for (Index k = 1; k <= c.o; ++k) arrays.best_objectives[k] = f[k];
    }
  }

  // ---- The kernel's blocks --------------------------------------------------------

  // Per point: its constraints, the magnitudes of its objectives and their
  // sign flags; then one 0.0.
  void write_constraint_block() {
    const Index e = row_length();
    for (Index i = 1; i <= c.l; ++i) {
      const RealView f = point_f(i), g = point_g(i);
      const Index row = (i - 1) * e;
      for (Index j = 1; j <= c.m; ++j) c.gblock[row + j] = g[j];
      for (Index k = 1; k <= c.o; ++k) {
        c.gblock[row + c.m + k] = std::fabs(f[k]);
        c.gblock[row + c.m + c.o + k] = f[k] < 0 ? 1.0 : 0.0;
      }
    }
    c.gblock[Index(c.l > 0 ? c.l : 0) * e + 1] = 0.0;
  }

  void write_objective_row() {
    for (Index i = 1; i <= c.l; ++i) {
      WeightSwitchCall switch_call = weight_switch_call();
      book_weight_switch(st.weight_switch, switch_call, c.dist[i], c.dist2[i], d.bounds_changed,
                         d.psize);
      c.fblock[i] = (d.weight_mode == 1 || d.balance_negative == 1) ? c.dist[i] : c.dist2[i];
    }
  }

  void call_kernel() {
    const Index points = c.l > 0 ? c.l : 0;
    const Index e = row_length();
    // clang-format off
    kernel::KernelCall call{c.l,  c.o,  c.n,  c.ni, saturate_int(e), c.me,
                            c.x,  c.fblock.slice(1, points),
                            // clang-format on
                            c.gblock.slice(1, saturate_index(Wide(points) * (e > 0 ? e : 0))),
                            // clang-format off
                            c.xl, c.xu, c.iflag, c.istop, c.param, c.rw, c.iw,
                            c.pen.slice(1, points), c.res.slice(1, points),
                            // clang-format on
                            c.step.slice(1, c.n > 0 ? c.n : 0)};
    kernel::run_kernel_call(kernel_state, call);
  }

  // The kernel left its best point's row at the head of its block: the
  // objectives come back with their signs, then the constraints.
  void return_best_point() {
    for (Index k = 1; k <= c.o; ++k) {
      const double magnitude = c.gblock[c.m + k];
      c.f[k] = c.gblock[c.m + c.o + k] > 0 ? -magnitude : magnitude;
    }
    for (Index j = 1; j <= c.m; ++j) c.g[j] = c.gblock[j];
  }

  // ---- A call the kernel refuses --------------------------------------------------

  // The kernel gets the block as it stands, so that whatever it hands back
  // through its constraint block is the caller's own values.
  void pass_through() {
    const Index e = row_length();
    const Index points = c.l > 0 ? c.l : 0;
    if (c.m >= 0 && c.gblock.holds(1, saturate_index(Wide(points) * e + 1)) &&
        c.f.size() >= Index(points) * c.o)
      write_constraint_block();
    call_kernel();
  }
};

}  // namespace

void run_multiobjective_call(MultiObjectiveState& state, kernel::KernelState& kernel,
                             MultiObjectiveCall& call) {
  Driver(state, kernel, call).run();
}

}  // namespace kestro::multiobjective
