// The C entries that give front ends the library's own rules: workspace
// lengths, the front's capacity and its entries in PF, the input checks of a
// first call, a point's residual and what makes it a failed evaluation.
#include <algorithm>
#include <cstdint>

#include "core/iflag_table.hpp"
#include "core/numeric.hpp"
#include "core/param_positions.hpp"
#include "core/workspace_layout.hpp"
#include "kernel/validation.hpp"
#include "kestro.h"
#include "multiobjective/front_store.hpp"
#include "multiobjective/scalarisation.hpp"

namespace {

using kestro::ConstRealView;
using kestro::Index;
using kestro::Wide;

Index count(int v) { return v > 0 ? v : 0; }

int position_of(Index where) { return kestro::saturate_int(where); }

}  // namespace

extern "C" int kestro_workspace_lengths(const int* l, const int* o, const int* n, const int* m,
                                        const double* paretomax, int* lrw, int* liw, int* lpf) {
  using namespace kestro;
  const Wide limit = INT32_MAX;
  const FrontEndLengths lengths = front_end_lengths(*l, *o, *n, *m, *paretomax);
  if (lengths.rw > limit || Wide(*l) * *n > limit || Wide(*l) * *o > limit || Wide(*l) * *m > limit)
    return iflag::kRealWorkspaceTooShort;
  if (lengths.iw > limit) return iflag::kIntegerWorkspaceTooShort;
  if (lengths.pf > limit) return iflag::kFrontTooShort;
  *lrw = static_cast<int>(lengths.rw);
  *liw = static_cast<int>(lengths.iw);
  *lpf = static_cast<int>(lengths.pf);
  return 0;
}

extern "C" int kestro_front_capacity(const double* paretomax) {
  return kestro::front_capacity(*paretomax);
}

extern "C" int kestro_check_problem(const int* o, const int* n, const int* ni, const int* m,
                                    const int* me, const double* x, const double* xl,
                                    const double* xu, int* position) {
  const Index variables = count(*n);
  const kestro::InputFault fault =
      kestro::problem_fault(*o, *n, *ni, *m, *me, ConstRealView(x, variables),
                            ConstRealView(xl, variables), ConstRealView(xu, variables));
  *position = position_of(fault.first);
  return fault.code;
}

extern "C" int kestro_check_param(const double* param, int* position) {
  const kestro::InputFault fault = kestro::param_fault(ConstRealView(param, kestro::param::kCount));
  *position = position_of(fault.first);
  return fault.code;
}

extern "C" int kestro_check_pairing(const int* o, const int* n, const int* ni, const double* x,
                                    const double* param, int* first, int* second) {
  const kestro::InputFault fault = kestro::pairing_fault(
      *o, *n, *ni, ConstRealView(x, count(*n)), ConstRealView(param, kestro::param::kCount));
  *first = position_of(fault.first);
  *second = position_of(fault.second);
  return fault.code;
}

extern "C" int kestro_front_entry(const int* o, const int* m, const int* n, const double* pf,
                                  const int* lpf, const double* paretomax, const int* entry,
                                  double* f, double* g, double* x) {
  using kestro::multiobjective::FrontBlocks;
  const std::int32_t capacity = kestro::front_capacity(*paretomax);
  // The blocks are only read here; the view is writable because the library
  // writes the front through the same blocks.
  const kestro::RealView whole(const_cast<double*>(pf), count(*lpf));
  if (!FrontBlocks::fits(whole, *o, *m, *n, capacity)) return 0;  // PF(1), the count, included
  const FrontBlocks front = FrontBlocks::in_pf(whole, *o, *m, *n, capacity);
  const std::int32_t entries = std::clamp(kestro::nint(pf[0]), 0, capacity);
  if (*entry < 1 || *entry > entries) return entries;
  for (Index k = 1; k <= *o; ++k) f[k - 1] = front.objective(*entry, k);
  for (Index c = 1; c <= *m; ++c) g[c - 1] = front.constraint(*entry, c);
  for (Index v = 1; v <= *n; ++v) x[v - 1] = front.variable(*entry, v);
  return entries;
}

extern "C" double kestro_residual(const int* m, const int* me, const double* g,
                                  const double* accuracy) {
  return kestro::multiobjective::point_residual(ConstRealView(g, count(*m)), *m, *me, *accuracy);
}

extern "C" int kestro_failed_value(const int* o, const double* f, const int* m, const double* g) {
  return kestro::saturate_int(kestro::failed_value_position(f, count(*o), g, count(*m)));
}
