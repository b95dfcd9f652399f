// The solution block, the preamble of the solution file, and the final
// report that ends with a solution block.
#pragma once

#include <optional>

#include "core/view.hpp"
#include "report/units.hpp"

namespace kestro::report {

// One point as the solution block shows it.
struct SolutionArguments {
  int o, n, m, me;
  ConstRealView x;       // N values
  ConstRealView g;       // M values, then with O > 1 the O objective
                         // magnitudes and the O sign flags
  double f;              // objective, or the progress value when O > 1
  double res;            // residual
  int pareto_points;     // round(PF(1)); shown when O is not 1
  ConstRealView xl, xu;  // N values each
  double acc;            // effective ACCURACY
  int eval;
  double time;
  int iflag;
};

// Where a variable lies between its bounds: 0 at XL, 1..21 the twenty-first
// of the range, 22 at XU, 90 fixed, 91 above XU, 92 below XL, 93 crossed
// bounds. No code (and no line in the block) for a NaN value or a value just
// above the top twenty-first within the tolerance; a NaN bound gives 90.
std::optional<int> bounds_profile_text_code(double x, double xl, double xu);

void print_solution(OutputUnits& units, int unit, const SolutionArguments& a);

// The first lines of KESTRO_SOLUTION.TXT.
void print_solution_preamble(OutputUnits& units, int unit);

// The title written before each improved solution block of the solution file.
void print_current_best_title(OutputUnits& units, int unit);

struct FinalArguments {
  int iflag;
  double time, maxtime;
  int eval, maxeval;
  ConstRealView param;  // 13 values
  SolutionArguments point;
};

// The finish line for IFLAG, the title and the solution block of the result.
void print_final(OutputUnits& units, int unit, const FinalArguments& a);

}  // namespace kestro::report
