// The C entries of the multi-objective layer, one per routine.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include "abi/default_context.hpp"
#include "abi/internal_routines.h"
#include "core/numeric.hpp"
#include "core/param_positions.hpp"
#include "core/random.hpp"
#include "core/workspace_layout.hpp"
#include "interface/context.hpp"
#include "kernel/main_loop.hpp"
#include "kestro.h"
#include "multiobjective/driver.hpp"
#include "multiobjective/front_store.hpp"
#include "multiobjective/layer_workspace.hpp"
#include "multiobjective/scalarisation.hpp"
#include "multiobjective/steering.hpp"
#include "multiobjective/weight_switch.hpp"

// Multi-objective driver: one call per evaluated block. Besides the values
// the regions are named for, it keeps the user and random weights in the
// spare part of the `objlo` region, the best point's objective vector in that
// of `objhi`, and scratch of 2O values in that of `fblock`.
extern "C" void o12_(const int* l, const int* o, const int* n, const int* ni, const int* m,
                     const int* me, double* x, double* f, double* g, const double* xl,
                     const double* xu, int* iflag, int* istop, double* param, double* rw,
                     const int* lrw, int* iw, const int* liw, double* pf, double* pen, double* res,
                     double* gblock, double* fblock, double* objlo, double* objhi, double* step,
                     double* dist, double* dist2) {
  using namespace kestro;
  using namespace kestro::multiobjective;
  const auto need = LayerRegionLengths::for_sizes(*l, *o, *n, *m);
  const Index variables = *n > 0 ? *n : 0;
  // LPF is not passed on: PF has the length the workspace check demanded for
  // the capacity PARETOMAX asks for.
  const std::int32_t capacity =
      front_capacity(ConstRealView(param, param::kCount)[param::kParetomax]);
  const Index pf_length =
      (*o < 1 || *m < 0) ? 0 : saturate_index(1 + (Wide(*o) + *m + variables) * capacity);
  MultiObjectiveCall call{*l,
                          *o,
                          *n,
                          *ni,
                          *m,
                          *me,
                          RealView(x, block_length(*l, *n)),
                          RealView(f, block_length(*l, *o)),
                          RealView(g, block_length(*l, *m)),
                          ConstRealView(xl, variables),
                          ConstRealView(xu, variables),
                          *iflag,
                          *istop,
                          RealView(param, param::kCount),
                          RealView(rw, *lrw),
                          IntView(iw, *liw),
                          RealView(pf, pf_length),
                          RealView(pen, need.pen),
                          RealView(res, need.res),
                          RealView(gblock, need.gblock),
                          RealView(fblock, need.fblock),
                          RealView(objlo, need.objlo),
                          RealView(objhi, need.objhi),
                          RealView(step, need.step),
                          RealView(dist, need.dist),
                          RealView(dist2, need.dist2)};
  Context& context = abi::default_context();
  run_multiobjective_call(context.solver.multiobjective, context.solver.kernel, call);
}

// Offers one point to the Pareto front.
extern "C" void i410_(const int* o, const int* n, const int* m, const double* f, const double* g,
                      const double* x, double* objectives, double* constraints, double* variables,
                      int* psize, const int* front_capacity, const double* front_epsilon,
                      double* objlo, double* objhi, double* front_shift, const int* offered_count,
                      const int* objective_ignored, int* bounds_changed,
                      double* relative_bound_change, int* added) {
  using namespace kestro;
  using namespace kestro::multiobjective;
  MultiObjectiveState& state = abi::default_context().solver.multiobjective;
  *added = 0;
  // The scratch for this entry point is fixed; see kStandaloneObjectiveLimit.
  if (*o < 1 || *o > kStandaloneObjectiveLimit || *m < 0 || *n < 0) return;
  const Index capacity = *front_capacity > 0 ? *front_capacity : 0;
  const FrontBlocks front =
      FrontBlocks::over(*o, *m, *n, objectives, constraints, variables, capacity);
  OfferCall call{front,
                 *psize,
                 *front_capacity,
                 *front_epsilon,
                 RealView(objlo, *o),
                 RealView(objhi, *o),
                 *front_shift,
                 *offered_count,
                 IgnoredObjectives::from_flags(ConstIntView(objective_ignored, *o)),
                 *bounds_changed,
                 *relative_bound_change,
                 *added,
                 OfferScratch{RealView(state.standalone_scratch.ranges, *o),
                              RealView(state.standalone_scratch.max_entries, *o)}};
  offer_point(state.front,
              OfferedPoint{ConstRealView(f, *o), ConstRealView(g, *m), ConstRealView(x, *n)}, call);
}

// Removes entry j of the front; the last entry moves into its slot.
extern "C" void ol004_(const int* o, const int* m, const int* n, double* objectives,
                       double* constraints, double* variables, int* psize, const int* j) {
  using namespace kestro;
  using namespace kestro::multiobjective;
  if (*o < 0 || *m < 0 || *n < 0) return;
  const Index entries = *psize > 0 ? *psize : 0;
  const FrontBlocks front =
      FrontBlocks::over(*o, *m, *n, objectives, constraints, variables, entries);
  remove_entry(front, *psize, *j);
}

// Books one movement of a front bound.
extern "C" void o9_(double* front_shift, const double* new_bound, const double* old_bound,
                    const int* o, const int* offered_count, int* bounds_changed,
                    double* relative_bound_change) {
  kestro::multiobjective::book_bound_change(*front_shift, *new_bound, *old_bound, *o,
                                            *offered_count, *bounds_changed,
                                            *relative_bound_change);
}

// User weights from the decimal digits of BALANCE.
extern "C" void o6_(const int* o, double* weights, const double* balance) {
  using namespace kestro;
  multiobjective::user_weights(RealView(weights, *o), *o, *balance);
}

// Scalar value of one point's objective vector: objective trunc(balance)
// alone when balance >= 1, else the weighted distance from the front.
extern "C" void o1_(const int* o, const double* f, const double* r, const double* acc,
                    const double* objlo, const double* objhi, const double* balance,
                    const double* shift, const double* weights, double* result,
                    const int* offered_count) {
  using namespace kestro;
  *result = multiobjective::scalar_value(
      *o, ConstRealView(f, *o), *r, *acc, ConstRealView(objlo, *o), ConstRealView(objhi, *o),
      *balance, *shift, ConstRealView(weights, *o), *offered_count);
}

// Residual (constraint violation) of one point.
extern "C" void i403_(const double* g, const int* m, const int* me, const double* acc,
                      double* result) {
  using namespace kestro;
  *result = multiobjective::point_residual(ConstRealView(g, *m), *m, *me, *acc);
}

// Best-point steering of one evaluated point.
extern "C" void io17_(const int* o, const int* m, const int* n, double* s, double* f, double* g,
                      double* x, const double* r, const double* accuracy, const double* best_scalar,
                      const double* best_residual, const double* best_objectives, const double* pf,
                      const int* front_capacity, const double* objlo, const double* objhi,
                      const double* weights, const double* balance, int* steer_started,
                      const int* weight_mode, const int* added, const int* bounds_changed,
                      const double* relative_bound_change, const int* offered_count) {
  using namespace kestro;
  using namespace kestro::multiobjective;
  if (*o < 1 || *m < 0 || *n < 0) return;
  const std::int32_t capacity = std::max(*front_capacity, 0);
  // PF as the front store lays it out: PF(1) and three blocks of `capacity`
  // entries.
  const Index pf_length = saturate_index(1 + (Wide(*o) + *m + *n) * capacity);
  // PF is only read here; the front's views are mutable for the store's sake.
  RealView pf_view(const_cast<double*>(pf), pf_length);
  SteeringCall call{*s,
                    RealView(f, *o),
                    RealView(g, *m),
                    RealView(x, *n),
                    *r,
                    *accuracy,
                    *best_scalar,
                    *best_residual,
                    ConstRealView(best_objectives, *o),
                    pf[0],
                    FrontBlocks::in_pf(pf_view, *o, *m, *n, capacity),
                    capacity,
                    ConstRealView(objlo, *o),
                    ConstRealView(objhi, *o),
                    ConstRealView(weights, *o),
                    *balance,
                    *steer_started,
                    *weight_mode,
                    *added,
                    *bounds_changed,
                    *relative_bound_change,
                    *offered_count};
  steer_point(abi::default_context().solver.multiobjective.steering, call);
}

// Weight-mode switch: with mode 0 starts it for a run, with mode 1 books one
// point's user-weighted and random-weighted values.
extern "C" void ol001_(const int* mode, const int* o, const int* n, const double* u,
                       const double* z, const int* bounds_changed, const int* psize, double* rw,
                       int* weight_mode, const int* objective_ignored, double* random_shift,
                       double* random_weights) {
  using namespace kestro;
  using namespace kestro::multiobjective;
  const Index objectives = *o > 0 ? *o : 0;
  WeightSwitchCall call{*o,
                        *n,
                        RealView(rw, 2),
                        *weight_mode,
                        IgnoredObjectives::from_flags(ConstIntView(objective_ignored, objectives)),
                        *random_shift,
                        RealView(random_weights, objectives)};
  WeightSwitchState& state = abi::default_context().solver.multiobjective.weight_switch;
  if (*mode == 0)
    start_weight_switch(state, call);
  else if (*mode == 1)
    book_weight_switch(state, call, *u, *z, *bounds_changed, *psize);
}
