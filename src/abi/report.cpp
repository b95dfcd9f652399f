// The C entries of the reports: the reporting entry and the report writers.
#include <sys/resource.h>
#include <algorithm>
#include <cmath>
#include <exception>
#include "abi/default_context.hpp"
#include "abi/entries.hpp"
#include "abi/internal_routines.h"
#include "core/numeric.hpp"
#include "core/param_positions.hpp"
#include "core/workspace_layout.hpp"
#include "interface/context.hpp"
#include "kernel/bounds_profile.hpp"
#include "kernel/kernel_records.hpp"
#include "kestro.h"
#include "report/array_reads.hpp"
#include "report/cpu_clock.hpp"
#include "report/header.hpp"
#include "report/history.hpp"
#include "report/pareto_file.hpp"
#include "report/print_controller.hpp"
#include "report/progress.hpp"
#include "report/row_values.hpp"
#include "report/solution.hpp"

// Sends the default context's screen report to another stream (NULL: the
// standard error stream).
extern "C" void kestro_set_screen_(FILE* stream) {
  kestro::abi::default_context().report.units.set_screen(stream);
}

// CPU time of the process in seconds, divided by L when TIMEDIV is 1.
extern "C" void get_time_(double* t, const int* l, const int* timediv) {
  *t = kestro::report::report_time(kestro::abi::default_context().report.clock, *l, *timediv);
}

// Writes the header block of a run to UNIT.
extern "C" void print_head_(const int* l, const int* o, const int* n, const int* ni, const int* m,
                            const int* me, const double* param, const int* maxeval,
                            const int* maxtime, const int* printeval, const int* save2file,
                            const int* unit) {
  const kestro::report::HeadArguments a{*l,
                                        *o,
                                        *n,
                                        *ni,
                                        *m,
                                        *me,
                                        kestro::ConstRealView(param, kestro::param::kCount),
                                        *maxeval,
                                        *maxtime,
                                        *printeval,
                                        *save2file};
  kestro::report::print_head(kestro::abi::default_context().report.units, *unit, a);
}

// Keeps the history file KESTRO_HISTORY.TXT on UNIT: one row per evaluated
// point, restarted every SAVE2FILE calls.
extern "C" void save_history_(const int* save2file, const int* l, const int* o, const int* n,
                              const int* m, const double* f, const double* g, const double* x,
                              const int* unit, const int* iflag, const int* istop) {
  using namespace kestro;
  const report::HistoryArguments a{*save2file,
                                   *l,
                                   *o,
                                   *n,
                                   *m,
                                   ConstRealView(f, block_length(*l, *o)),
                                   ConstRealView(g, block_length(*l, *m)),
                                   ConstRealView(x, block_length(*l, *n)),
                                   *unit,
                                   *iflag,
                                   *istop};
  report::save_history(abi::default_context().report.units, abi::default_context().report.history,
                       a);
}

// Writes KESTRO_PARETOFRONT.TXT (through KESTRO_PARETOFRONT.tmp.XXXXXX on UNIT): the
// displayed point X, G and the PMAX-capacity front in PF.
extern "C" void print_paretofront_(const int* o, const int* m, const int* n, const double* pf,
                                   const double* x, const double* g, const int* pmax,
                                   const int* unit) {
  using namespace kestro;
  // G carries the 2*O objective entries only when there are several objectives.
  const Index constraints = report::count_of(*m);
  const Index g_length = *o > 1 ? constraints + 2 * Index(*o) : constraints;
  const report::ParetoFileArguments a{
      *o,
      *m,
      *n,
      ConstRealView(pf, report::pareto_store_length(*o, *m, *n, *pmax)),
      ConstRealView(x, report::count_of(*n)),
      ConstRealView(g, g_length),
      *pmax};
  report::print_paretofront(abi::default_context().report.units, *unit, a);
}

namespace kestro::abi {

void print_with_arrays(Context& context, const PrintArguments& a) {
  const Index variables = report::count_of(*a.n);
  // RW and PF are read no further than the lengths the solver entry was given
  // for a run of these sizes; without such a run, not at all.
  const InterfaceState& solver = context.solver.interface;
  const bool same_run = solver.run_started && solver.sizes.l == *a.l && solver.sizes.o == *a.o &&
                        solver.sizes.n == *a.n && solver.sizes.m == *a.m;
  const Index rw_length = same_run ? std::max<Index>(solver.sizes.lrw, 0) : 0;
  const Index pf_length = same_run ? std::max<Index>(solver.sizes.lpf, 0) : 0;
  const report::PrintCall call{*a.stage,
                               *a.printeval,
                               *a.save2file,
                               *a.iflag,
                               *a.istop,
                               ConstRealView(a.f, block_length(*a.l, *a.o)),
                               ConstRealView(a.g, block_length(*a.l, *a.m)),
                               RealView(a.x, block_length(*a.l, *a.n)),
                               ConstRealView(a.xl, variables),
                               ConstRealView(a.xu, variables),
                               *a.o,
                               *a.n,
                               *a.ni,
                               *a.m,
                               *a.me,
                               a.rw,
                               a.pf,
                               *a.maxeval,
                               *a.maxtime,
                               ConstRealView(a.param, param::kCount),
                               *a.l,
                               *a.timediv,
                               rw_length,
                               pf_length};
  report::print_controller(context.report, call);
}

}  // namespace kestro::abi

// The reporting entry: call it with STAGE 1 before the loop and with STAGE 2
// after every call of kestro_.
extern "C" void kestro_print_(const int* stage, const int* printeval, const int* save2file,
                              int* iflag, int* istop, const double* f, const double* g, double* x,
                              const double* xl, const double* xu, const int* o, const int* n,
                              const int* ni, const int* m, const int* me, const double* rw,
                              const double* pf, const int* maxeval, const int* maxtime,
                              const double* param, const int* l, const int* timediv) {
  kestro::abi::print(kestro::abi::default_context(), stage, printeval, save2file, iflag, istop, f,
                     g, x, xl, xu, o, n, ni, m, me, rw, pf, maxeval, maxtime, param, l, timediv);
}

// Closes an output unit (36 to 39); a pending record is ended first.
extern "C" void close_output_(const int* unit) {
  kestro::abi::default_context().report.units.close(*unit);
}

// Hands everything written to an output unit to the operating system.
extern "C" void flush_output_(const int* unit) {
  kestro::abi::default_context().report.units.flush(*unit);
}

// Writes one progress line to UNIT.
extern "C" void print_line_(const int* o, const int* eval, const double* time, const double* f,
                            const double* res, const int* psize, const int* unit) {
  kestro::report::print_line(kestro::abi::default_context().report.units, *unit, *o, *eval, *time,
                             *f, *res, *psize);
}

// Writes the warning or input-error banner of IFLAG to UNIT.
extern "C" void warnings_and_errors_(const int* iflag, const int* unit) {
  kestro::report::print_iflag_banner(kestro::abi::default_context().report.units, *unit, *iflag);
}

namespace {

// The objective part of G: O magnitudes and O sign flags after the M
// constraint values when there are several objectives.
kestro::Index g_length(int o, int m) {
  const kestro::Index constraints = kestro::report::count_of(m);
  return o > 1 ? constraints + 2 * kestro::Index(o) : constraints;
}

int pareto_points_of(int o, const double* pf) {
  return (o != 1 && pf != nullptr) ? kestro::nint(pf[0]) : 0;
}

}  // namespace

// Writes the solution block of one point to UNIT.
extern "C" void print_solution_(const int* o, const int* n, const int* m, const int* me,
                                const double* x, const double* g, const double* f,
                                const double* res, const double* pf, const double* xl,
                                const double* xu, const double* acc, const int* eval,
                                const double* time, const int* iflag, const int* unit) {
  using namespace kestro;
  const Index variables = report::count_of(*n);
  const report::SolutionArguments a{*o,
                                    *n,
                                    *m,
                                    *me,
                                    ConstRealView(x, variables),
                                    ConstRealView(g, g_length(*o, *m)),
                                    *f,
                                    *res,
                                    pareto_points_of(*o, pf),
                                    ConstRealView(xl, variables),
                                    ConstRealView(xu, variables),
                                    *acc,
                                    *eval,
                                    *time,
                                    *iflag};
  report::print_solution(abi::default_context().report.units, *unit, a);
}

// Writes the final report (finish line, title, solution block) to UNIT; the
// residual is RW(IRES).
extern "C" void print_final_(const int* iflag, const double* time, const double* maxtime,
                             const int* eval, const int* maxeval, const int* o, const int* n,
                             const int* m, const int* me, const double* x, const double* g,
                             const double* f, const double* xl, const double* xu, const double* rw,
                             const double* acc, const int* ires, const double* pf,
                             const double* param, const int* unit) {
  using namespace kestro;
  const Index variables = report::count_of(*n);
  // Only RW(IRES) is read, and never a position before RW(1).
  const double res = report::value_or_nan(ConstRealView(rw, *ires), *ires);
  const report::FinalArguments a{
      *iflag,
      *time,
      *maxtime,
      *eval,
      *maxeval,
      ConstRealView(param, param::kCount),
      report::SolutionArguments{*o, *n, *m, *me, ConstRealView(x, variables),
                                ConstRealView(g, g_length(*o, *m)), *f, res,
                                pareto_points_of(*o, pf), ConstRealView(xl, variables),
                                ConstRealView(xu, variables), *acc, *eval, *time, *iflag}};
  report::print_final(abi::default_context().report.units, *unit, a);
}
