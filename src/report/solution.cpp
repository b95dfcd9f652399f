#include "report/solution.hpp"

#include <algorithm>
#include <cmath>

#include "core/iflag_table.hpp"
#include "core/numeric.hpp"
#include "kernel/bounds_profile.hpp"
#include "report/array_reads.hpp"

namespace kestro::report {
namespace {

constexpr const char* kDashLine = "(' --------------------------------------------')";
constexpr const char* kCounters =
    "(' EVAL:',I9,',  TIME:',F9.2,',  IFLAG:',I4,/,"
    "' --------------------------------------------')";
constexpr const char* kObjective[2] = {"(' F(X) =',F38.15)", "(' F(X) =',E38.6)"};
constexpr const char* kProgress[2] = {"(' PROGRESS',F36.15)", "(' PROGRESS',E36.6)"};
constexpr const char* kParetoPoints = "(' NUMBER OF PARETO POINTS',I21)";
constexpr const char* kObjectiveOfMany[2] = {"(' F(',I4,') =',F35.15)", "(' F(',I4,') =',E35.8)"};
constexpr const char* kViolation[2] = {"(' VIOLATION OF G(X)',F27.12)",
                                       "(' VIOLATION OF G(X)',E27.6)"};
// Indexed by [value in exponent form][infeasible].
constexpr const char* kEquality[2][2] = {
    {"(' G(',I4,') =',F16.8,'  (EQUALITY CONSTR)')",
     "(' G(',I4,') =',F16.8,'  (EQUALITY CONSTR)','  <---  INFEASIBLE  ( G NOT = 0 )')"},
    {"(' G(',I4,') =',E16.3,'  (EQUALITY CONSTR)')",
     "(' G(',I4,') =',E16.3,'  (EQUALITY CONSTR)','  <---  INFEASIBLE  ( G NOT = 0 )')"}};
constexpr const char* kInequality[2][2] = {
    {"(' G(',I4,') =',F16.8,'  (IN-EQUAL CONSTR)')",
     "(' G(',I4,') =',F16.8,'  (IN-EQUAL CONSTR)','  <---  INFEASIBLE  ( G < 0 )')"},
    {"(' G(',I4,') =',E16.3,'  (IN-EQUAL CONSTR)')",
     "(' G(',I4,') =',E16.3,'  (IN-EQUAL CONSTR)','  <---  INFEASIBLE  ( G < 0 )')"}};
constexpr const char* kProfileTitle =
    "(' --------------------------------------------','            BOUNDS-PROFIL    ')";
constexpr const char* kVariable[2] = {"(' X(',I5,') = ',F33.15,$)", "(' X(',I5,') = ',E33.1,$)"};
constexpr const char* kAtLowerBound = "('    !   XL___________________')";
constexpr const char* kAtUpperBound = "('    !   ___________________XU')";
constexpr const char* kFixed = "('    !   WARNING: XL = XU     ')";
constexpr const char* kAboveUpper = "('  <---  *** ERROR *** (X > XU) ')";
constexpr const char* kBelowLower = "('  <---  *** ERROR *** (X < XL) ')";
constexpr const char* kCrossedBounds = "('  <---  *** ERROR *** (XL > XU)')";
constexpr const char* kBlockEnd = "(/,' ')";

constexpr const char* kPreamble =
    "('KESTRO - SOLUTION',/,'-----------------',/,"
    "'This file saves the current best solution X found by KESTRO.',/,"
    "'This file is updated after every PRINTEVAL function evaluation,',/,"
    "'if X has been improved.',/,/)";
constexpr const char* kCurrentBestTitle = "(/,/,'            CURRENT BEST SOLUTION')";

constexpr const char* kMaxtimeReached = "(/,' OPTIMIZATION FINISHED  --->  MAXTIME REACHED')";
constexpr const char* kMaxevalReached = "(/,' OPTIMIZATION FINISHED  --->  MAXEVAL REACHED')";
constexpr const char* kAlgostopReached = "(/,' OPTIMIZATION FINISHED  --->  ALGOSTOP (=',I3,')')";
constexpr const char* kEvalstopReached = "(/,' OPTIMIZATION FINISHED  --->  EVALSTOP (=',I9,')')";
constexpr const char* kFstopReached = "(/,' OPTIMIZATION FINISHED  --->  FSTOP REACHED')";
constexpr const char* kBestSolutionTitle = "(/,/,'         BEST SOLUTION FOUND BY KESTRO       ')";

// The strip of slot k: "    !   " and 21 underscores with x at position k.
void write_strip(OutputUnits& units, int unit, int k) {
  if (k < 1 || k > 21) return;
  char format[] = "('    !   _____________________')";
  constexpr int kFirstSlot = 10;  // after "('" and the eight characters before the strip
  format[kFirstSlot + (k - 1)] = 'x';
  units.write(unit, format);
}

void write_profile_text(OutputUnits& units, int unit, int code) {
  switch (code) {
    case 0: return units.write(unit, kAtLowerBound);
    case 22: return units.write(unit, kAtUpperBound);
    case 90: return units.write(unit, kFixed);
    case 91: return units.write(unit, kAboveUpper);
    case 92: return units.write(unit, kBelowLower);
    case 93: return units.write(unit, kCrossedBounds);
    default: return write_strip(units, unit, code);
  }
}

}  // namespace

std::optional<int> bounds_profile_text_code(double x, double xl, double xu) {
  if (std::isnan(x)) return std::nullopt;
  if (std::isnan(xl) || std::isnan(xu)) return 90;
  constexpr double kNoSlot = -1.0;
  const double code = kernel::bounds_profile_code(x, xl, xu, kNoSlot);
  if (code == kNoSlot) return std::nullopt;
  return nint(code);
}

void print_solution(OutputUnits& units, int unit, const SolutionArguments& a) {
  units.write(unit, kDashLine);
  units.write(unit, kCounters, {a.eval, a.time, a.iflag});

  if (a.o == 1) {
    units.write(unit, kObjective[std::fabs(a.f) <= 1e20 ? 0 : 1], {a.f});
  } else {
    units.write(unit, kProgress[std::fabs(a.f) <= 1e20 ? 0 : 1], {a.f});
    units.write(unit, kDashLine);
    units.write(unit, kParetoPoints, {a.pareto_points});
    units.write(unit, kDashLine);
    // Lines only for the objectives whose values are there: absurd sizes
    // with no values behind them must not make the report endless.
    const Index objectives_present =
        a.g.size() > a.m ? std::min<Index>(a.o, (a.g.size() - a.m) / 2) : 0;
    for (int j = 1; j <= objectives_present; ++j) {
      const double magnitude = value_or_nan(a.g, Index(a.m) + j);
      const double flag = value_or_nan(a.g, Index(a.m) + a.o + j);
      const double v = flag > 0.0 ? -magnitude : magnitude;
      units.write(unit, kObjectiveOfMany[std::fabs(magnitude) <= 1e14 ? 0 : 1], {j, v});
    }
  }

  if (a.m > 0) {
    units.write(unit, kDashLine);
    if (!iflag::is_input_error(a.iflag))
      units.write(unit, kViolation[a.res <= 1e12 ? 0 : 1], {a.res});
    units.write(unit, kDashLine);
  }
  // ME beyond M, or negative, never reaches outside G(1..M); lines only for
  // the constraints whose values are there.
  const int constraints = static_cast<int>(std::min<Index>(a.m, a.g.size()));
  const int equalities = a.me < 0 ? 0 : (a.me > constraints ? constraints : a.me);
  for (int i = 1; i <= equalities; ++i) {
    const double gi = value_or_nan(a.g, i);
    const int exponent = std::fabs(gi) <= 1e7 ? 0 : 1;
    const int infeasible = std::fabs(gi) <= a.acc ? 0 : 1;
    units.write(unit, kEquality[exponent][infeasible], {i, gi});
  }
  for (int i = equalities + 1; i <= constraints; ++i) {
    const double gi = value_or_nan(a.g, i);
    const int exponent = std::fabs(gi) <= 1e7 ? 0 : 1;
    const int infeasible = gi >= -a.acc ? 0 : 1;
    units.write(unit, kInequality[exponent][infeasible], {i, gi});
  }

  units.write(unit, kProfileTitle);
  // A missing value has no line.
  const int variables = static_cast<int>(std::min<Index>(a.n, a.x.size()));
  for (int i = 1; i <= variables; ++i) {
    const double xi = value_or_nan(a.x, i);
    const auto code = bounds_profile_text_code(xi, value_or_nan(a.xl, i), value_or_nan(a.xu, i));
    if (!code) continue;
    units.write(unit, kVariable[std::fabs(xi) <= 1e14 ? 0 : 1], {i, xi});
    write_profile_text(units, unit, *code);
  }
  units.write(unit, kBlockEnd);
}

void print_solution_preamble(OutputUnits& units, int unit) { units.write(unit, kPreamble); }

void print_current_best_title(OutputUnits& units, int unit) {
  units.write(unit, kCurrentBestTitle);
}

void print_final(OutputUnits& units, int unit, const FinalArguments& a) {
  switch (a.iflag) {
    case 1:
    case 2:
      if (a.time >= a.maxtime) units.write(unit, kMaxtimeReached);
      if (a.eval >= a.maxeval) units.write(unit, kMaxevalReached);
      break;
    case 3:
    case 4: units.write(unit, kAlgostopReached, {nint(value_or_nan(a.param, 4))}); break;
    case 5:
    case 6: units.write(unit, kEvalstopReached, {nint(value_or_nan(a.param, 5))}); break;
    case 7: units.write(unit, kFstopReached); break;
    default: break;
  }
  units.write(unit, kBestSolutionTitle);
  print_solution(units, unit, a.point);
}

}  // namespace kestro::report
