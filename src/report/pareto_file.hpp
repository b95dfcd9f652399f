// KESTRO_PARETOFRONT.TXT: the displayed point and every entry of the front.
#pragma once

#include "core/view.hpp"
#include "report/units.hpp"

namespace kestro::report {

inline constexpr const char* kParetoFrontTempName = "KESTRO_PARETOFRONT.tmp";
inline constexpr const char* kParetoFrontName = "KESTRO_PARETOFRONT.TXT";

struct ParetoFileArguments {
  int o, m, n;
  // PF(1) = PSIZE; objectives, constraints and variables of the entries in
  // three blocks sized for PMAX entries. Nothing beyond the view is read.
  ConstRealView pf;
  ConstRealView x;  // the displayed point: N values
  ConstRealView g;  // its M constraint values, O magnitudes, O sign flags
  int pmax;
};

// The length of PF that the front store lays out for PMAX entries:
// 1 + PMAX*(O + M + N), or only PF(1) when the sizes give no layout.
Index pareto_store_length(int o, int m, int n, int pmax);

// Writes the file through its temporary name, then renames it over the
// previous KESTRO_PARETOFRONT.TXT.
void print_paretofront(OutputUnits& units, int unit, const ParetoFileArguments& a);

}  // namespace kestro::report
