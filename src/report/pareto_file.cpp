#include "report/pareto_file.hpp"

#include <string>

#include "core/numeric.hpp"
#include "core/workspace_layout.hpp"
#include "report/array_reads.hpp"
#include "report/row_values.hpp"

namespace kestro::report {
namespace {

constexpr const char* kFileHeader =
    "('#########################################################',/,"
    "'### This file contains the pareto front approximation ###',/,"
    "'#########################################################',/,"
    "'### Solution format:     F(1:O)    G(1:M)    X(1:N)   ###',/,"
    "'#########################################################',/,"
    "'#',/,'#        O         M         N     PSIZE',/,'#')";
constexpr const char* kSizes = "(4I10)";
constexpr const char* kDisplayedPointTitle = "('#',/,'#        KESTRO solution',/,'#')";
constexpr const char* kFrontTitle =
    "(/,'#',/,'#        All non-dominated solutions found by KESTRO',/,'#')";

// PF(position) for a position computed in wide integers; NaN outside PF.
double pf_at(ConstRealView pf, Wide position) { return value_or_nan(pf, saturate_index(position)); }

}  // namespace

Index pareto_store_length(int o, int m, int n, int pmax) {
  if (o < 1 || m < 0 || n < 0 || pmax < 1) return 1;
  return saturate_index(1 + Wide(pmax) * (Wide(o) + m + n));
}

void print_paretofront(OutputUnits& units, int unit, const ParetoFileArguments& a) {
  // Written to a new file of a unique name, then renamed over the front.
  std::string temporary;
  units.open_unique(unit, kParetoFrontTempName, &temporary);

  const int psize = a.pf.holds(1) ? trunc_to_int(a.pf[1]) : 0;
  units.write(unit, kFileHeader);
  units.write(unit, kSizes, {a.o, a.m, a.n, psize});
  units.write(unit, kDisplayedPointTitle);

  // The displayed point: objectives with their signs restored, constraints,
  // variables; the row stays open until the next statement's record break.
  for (int j = 1; j <= a.o; ++j) {
    const double magnitude = value_or_nan(a.g, Index(a.m) + j);
    const double flag = value_or_nan(a.g, Index(a.m) + a.o + j);
    write_row_value(units, unit, flag > 0.0 ? -magnitude : magnitude);
  }
  for (int c = 1; c <= a.m; ++c) write_row_value(units, unit, value_or_nan(a.g, c));
  for (int v = 1; v <= a.n; ++v) write_row_value(units, unit, value_or_nan(a.x, v));
  units.write(unit, kFrontTitle);

  // The entries, as stored; never more than the store's capacity.
  const Wide o = a.o > 0 ? a.o : 0, m = a.m > 0 ? a.m : 0, n = a.n > 0 ? a.n : 0;
  const Wide pmax = a.pmax > 0 ? a.pmax : 0;
  const Wide entries = psize < 0 ? 0 : (psize > pmax ? pmax : psize);
  for (Wide l = 1; l <= entries; ++l) {
    for (Wide k = 1; k <= o; ++k) write_row_value(units, unit, pf_at(a.pf, 1 + (l - 1) * o + k));
    for (Wide c = 1; c <= m; ++c)
      write_row_value(units, unit, pf_at(a.pf, 1 + o * pmax + (l - 1) * m + c));
    for (Wide v = 1; v <= n; ++v)
      write_row_value(units, unit, pf_at(a.pf, 1 + (o + m) * pmax + (l - 1) * n + v));
    end_row(units, unit);
  }

  units.close(unit);
  if (!temporary.empty() && !units.rename_file(temporary.c_str(), kParetoFrontName))
    units.remove_file(temporary.c_str());
}

}  // namespace kestro::report
