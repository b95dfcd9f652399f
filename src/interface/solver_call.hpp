// One call of the solver entry, with typed views over the caller's arrays.
#pragma once

#include <cstdint>

#include "core/param_positions.hpp"
#include "core/run_sizes.hpp"
#include "core/view.hpp"
#include "core/workspace_layout.hpp"

namespace kestro {

struct Context;

// The caller's arguments. Each array view has exactly the length the caller
// declared through the sizes (L*N for X, L*O for F, L*M for G, N for the
// bounds, LRW, LIW and LPF), or zero when that length is not positive.
struct SolverCall {
  std::int32_t l, o, n, ni, m, me;
  RealView x, f, g;
  ConstRealView xl, xu;
  std::int32_t& iflag;
  std::int32_t& istop;
  RealView param;  // read; PARAM(3) is cleared for a scalarised run
  RealView rw;
  IntView iw;
  RealView pf;
  std::int32_t lrw, liw, lpf;

  static SolverCall from_arguments(const int* l, const int* o, const int* n, const int* ni,
                                   const int* m, const int* me, double* x, double* f, double* g,
                                   const double* xl, const double* xu, int* iflag, int* istop,
                                   double* param, double* rw, const int* lrw, int* iw,
                                   const int* liw, double* pf, const int* lpf) {
    const Index variables = *n > 0 ? *n : 0;
    return SolverCall{*l,
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
                      RealView(pf, *lpf),
                      *lrw,
                      *liw,
                      *lpf};
  }

  RunSizes sizes() const { return RunSizes{l, o, n, ni, m, me, lrw, liw, lpf}; }
};

// NaN or values beyond LARGE become LARGE; minus infinity stays.
void clean_objectives(double* fp, Index o);

// NaN or values below -LARGE become -LARGE; plus infinity stays.
void clean_constraints(double* gp, Index m);

// Cleans the objective and constraint values of every point of the block.
void clean_block(SolverCall& call);

// Checks the workspace lengths and the multi-objective parameters.
void check_workspace(const SolverCall& call);

// Cleans the block and hands it to the kernel for the given region starts.
void drive_kernel(Context& context, SolverCall& call, const RegionStarts& regions);

// The solver entry.
void solver_entry(Context& context, SolverCall& call);

}  // namespace kestro
