// The entries of the C ABI on a given context: the specified entries call
// them with the default context, the handle forms with the handle's own.
#pragma once

#include "interface/context.hpp"
#include "interface/solver_call.hpp"
#include "report/print_controller.hpp"

namespace kestro::abi {

// Inline: the entries on the default context and on a handle call it on
// every block, and its arguments are many.
inline void solve(Context& context, const int* l, const int* o, const int* n, const int* ni,
                  const int* m, const int* me, double* x, double* f, double* g, const double* xl,
                  const double* xu, int* iflag, int* istop, double* param, double* rw,
                  const int* lrw, int* iw, const int* liw, double* pf, const int* lpf) {
  auto call = SolverCall::from_arguments(l, o, n, ni, m, me, x, f, g, xl, xu, iflag, istop, param,
                                         rw, lrw, iw, liw, pf, lpf);
  solver_entry(context, call);
}

// The reporting entry's arguments, gathered for a call that may show or
// write something.
struct PrintArguments {
  const int *stage, *printeval, *save2file;
  int *iflag, *istop;
  const double *f, *g;
  double* x;
  const double *xl, *xu;
  const int *o, *n, *ni, *m, *me;
  const double *rw, *pf;
  const int *maxeval, *maxtime;
  const double* param;
  const int *l, *timediv;
};

// The reporting entry for such a call: lays out the arrays and runs the
// print controller.
void print_with_arrays(Context& context, const PrintArguments& arguments);

// Inline as solve is: most calls of a run show nothing and only count the
// block, which needs none of the arrays.
inline void print(Context& context, const int* stage, const int* printeval, const int* save2file,
                  int* iflag, int* istop, const double* f, const double* g, double* x,
                  const double* xl, const double* xu, const int* o, const int* n, const int* ni,
                  const int* m, const int* me, const double* rw, const double* pf,
                  const int* maxeval, const int* maxtime, const double* param, const int* l,
                  const int* timediv) {
  if (report::count_quiet_call(context.report,
                               report::QuietCall{*stage, *printeval, *save2file, *iflag, *istop,
                                                 *maxeval, *l, *timediv}))
    return;
  print_with_arrays(context,
                    PrintArguments{stage, printeval, save2file, iflag, istop, f,      g,  x,
                                   xl,    xu,        o,         n,     ni,    m,      me, rw,
                                   pf,    maxeval,   maxtime,   param, l,     timediv});
}

void save(Context& context, const char* path, const int* l, const int* o, const int* n,
          const int* ni, const int* m, const int* me, const double* x, const double* f,
          const double* g, const double* xl, const double* xu, const int* iflag, const int* istop,
          const double* param, const double* rw, const int* lrw, const int* iw, const int* liw,
          const double* pf, const int* lpf, const double* extra, const int* lextra, int* status);

void load(Context& context, const char* path, const int* l, const int* o, const int* n,
          const int* ni, const int* m, const int* me, double* x, double* f, double* g, double* xl,
          double* xu, int* iflag, int* istop, double* param, double* rw, const int* lrw, int* iw,
          const int* liw, double* pf, const int* lpf, double* extra, const int* lextra,
          int* status);

}  // namespace kestro::abi
