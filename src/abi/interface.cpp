// The C entries of the call interface: the solver entry, its driver and
// checks, and the numeric helpers and generator.
#include <cmath>
#include "abi/default_context.hpp"
#include "abi/entries.hpp"
#include "abi/internal_routines.h"
#include "core/kernel_codes.hpp"
#include "core/numeric.hpp"
#include "core/param_positions.hpp"
#include "core/random.hpp"
#include "core/workspace_layout.hpp"
#include "interface/context.hpp"
#include "interface/solver_call.hpp"
#include "kernel/main_loop.hpp"
#include "kernel/validation.hpp"
#include "kestro.h"
#include "multiobjective/driver.hpp"
#include "multiobjective/layer_workspace.hpp"

// The large value standing for a failed evaluation.
extern "C" double i305_(void) { return kestro::large_value(); }

// One draw of the lagged generator.
extern "C" double o25_(double* state) { return kestro::LaggedGenerator(state).draw(); }

// Seeds the generator from PARAM(2).
extern "C" void ol003_(double* state, const double* param) {
  kestro::LaggedGenerator(state).seed(
      kestro::ConstRealView(param, kestro::param::kCount)[kestro::param::kRandomSeed]);
}

// 1 unless one value is strictly greater than the other.
extern "C" int same_(const double* a, const double* b) { return kestro::same_value(*a, *b); }

// Same as same_.
extern "C" int i301_(const double* a, const double* b) { return kestro::same_value(*a, *b); }

// 1 when x is NaN.
extern "C" int i304_(const double* x) { return std::isnan(*x) ? 1 : 0; }

// Floor of x built from the nearest whole number.
extern "C" double io27_(const double* x) { return kestro::floor_from_anint(*x); }

// Relative difference of a and b.
extern "C" double rio5_(const double* a, const double* b) {
  return kestro::relative_difference(*a, *b);
}

// 1 when the point with objective F and M constraint values G failed.
extern "C" int k31_(const double* f, const double* g, const int* m) {
  return kestro::is_failed_point(*f, g, *m) ? 1 : 0;
}

// Sets STATE = 7 when FSTOP is set and met by a feasible point.
extern "C" void o22_(const double* f, const double* param, const double* res, const double* acc,
                     int* state) {
  const double fstop = kestro::ConstRealView(param, kestro::param::kCount)[kestro::param::kFstop];
  if (fstop != 0.0 && *f <= fstop && *res <= *acc) *state = kestro::state_code::kTargetMet;
}

// Cleans the block's values and hands it to the kernel.
extern "C" void kestro_kernel_driver_(
    const int* l, const int* o, const int* n, const int* ni, const int* m, const int* me, double* f,
    double* g, double* x, const double* xl, const double* xu, int* iflag, int* istop, double* param,
    double* rw, const int* lrw, int* iw, const int* liw, double* pf, const int* lpf,
    const int* pen_base, const int* res_base, const int* gblock_base, const int* fblock_base,
    const int* objlo_base, const int* objhi_base, const int* step_base, const int* dist_base,
    const int* dist2_base) {
  using namespace kestro;
  auto call = SolverCall::from_arguments(l, o, n, ni, m, me, x, f, g, xl, xu, iflag, istop, param,
                                         rw, lrw, iw, liw, pf, lpf);
  RegionStarts regions;
  regions.pen_base = *pen_base;
  regions.res_base = *res_base;
  regions.gblock_base = *gblock_base;
  regions.fblock_base = *fblock_base;
  regions.objlo_base = *objlo_base;
  regions.objhi_base = *objhi_base;
  regions.step_base = *step_base;
  regions.dist_base = *dist_base;
  regions.dist2_base = *dist2_base;
  drive_kernel(abi::default_context(), call, regions);
}

// Cleans one point's objective and constraint values.
extern "C" void io7_(double* fp, double* gp, const int* o, const int* m) {
  kestro::clean_objectives(fp, *o);
  kestro::clean_constraints(gp, *m);
}

// Cleans one point's objective values.
extern "C" void io7_lomfy_(double* fp, const int* o) { kestro::clean_objectives(fp, *o); }

// Solver entry: books the evaluated block and returns the next one.
extern "C" void kestro_(const int* l, const int* o, const int* n, const int* ni, const int* m,
                        const int* me, double* x, double* f, double* g, const double* xl,
                        const double* xu, int* iflag, int* istop, double* param, double* rw,
                        const int* lrw, int* iw, const int* liw, double* pf, const int* lpf) {
  kestro::abi::solve(kestro::abi::default_context(), l, o, n, ni, m, me, x, f, g, xl, xu, iflag,
                     istop, param, rw, lrw, iw, liw, pf, lpf);
}

// Checks the workspace lengths and the multi-objective parameters.
extern "C" void precheck_(const int* l, const int* o, const int* n, const int* m, const int* lrw,
                          const int* liw, const int* lpf, double* pf, const double* param,
                          int* iflag, int* istop) {
  const int unused_size = 0;
  auto call = kestro::SolverCall::from_arguments(
      l, o, n, &unused_size, m, &unused_size, nullptr, nullptr, nullptr, nullptr, nullptr, iflag,
      istop, const_cast<double*>(param) /* only read here */, nullptr, lrw, nullptr, liw, pf, lpf);
  kestro::check_workspace(call);
}

// Validates the first call of a run and fixes the kernel's sizes.
extern "C" void o19_(const int* l, const int* o, const int* n, const int* ni, const int* m,
                     const int* me, const double* x, const double* f, const double* g,
                     const double* xl, const double* xu, int* iflag, int* istop,
                     const double* param, double* rw, const int* lrw, int* iw, const int* liw,
                     int* k, int* base, int* iwk, int* warn) {
  using namespace kestro;
  const FirstCall call{*l,
                       *o,
                       *n,
                       *ni,
                       *m,
                       *me,
                       ConstRealView(x, block_length(*l, *n)),
                       ConstRealView(f, block_length(*l, *o)),
                       ConstRealView(g, block_length(*l, *m)),
                       ConstRealView(xl, *n > 0 ? *n : 0),
                       ConstRealView(xu, *n > 0 ? *n : 0),
                       ConstRealView(param, param::kCount),
                       RealView(rw, *lrw),
                       IntView(iw, *liw)};
  KernelSizes sizes{*k, *base, *iwk};
  validate_first_call(call, *iflag, *istop, sizes, *warn);
  *k = sizes.archive_size;
  *base = saturate_int(sizes.best_base);
  *iwk = saturate_int(sizes.iw_kernel_len);
}
