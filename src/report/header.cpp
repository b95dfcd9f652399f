#include "report/header.hpp"

#include "report/array_reads.hpp"

namespace kestro::report {
namespace {

constexpr const char* kBanner =
    "(/,' KESTRO 6.0    (www.kestrolib.example)',/,"
    "' -------------------------------------',/,/,"
    "' ----------------------------------------')";
constexpr const char* kObjectivesLine = "(' | OBJECTIVES',I5,' | PARALLEL',I10,' |')";
constexpr const char* kSeparator = "(' |--------------------------------------|')";
constexpr const char* kVariablesLine = "(' | N',I14,' | MAXEVAL',I11,' |')";
constexpr const char* kIntegersLine = "(' | NI',I13,' | MAXTIME',I11,' |')";
constexpr const char* kConstraintsLine = "(' | M',I14,' | PRINTEVAL',I9,' |')";
constexpr const char* kEqualitiesLine = "(' | ME',I13,' | SAVE2FILE',I9,' |')";
constexpr const char* kAllByDefault = "(' | PARAMETER:    All by default (0)     |')";
constexpr const char* kParameterLines[13] = {
    "(' | PARAM( 1) ',E14.7,' ACCURACY    |')", "(' | PARAM( 2) ',E14.7,' RANDOM-SEED |')",
    "(' | PARAM( 3) ',E14.7,' FSTOP       |')", "(' | PARAM( 4) ',E14.7,' ALGOSTOP    |')",
    "(' | PARAM( 5) ',E14.7,' EVALSTOP    |')", "(' | PARAM( 6) ',E14.7,' FOCUS       |')",
    "(' | PARAM( 7) ',E14.7,' ANTS        |')", "(' | PARAM( 8) ',E14.7,' KERNEL      |')",
    "(' | PARAM( 9) ',E14.7,' ORACLE      |')", "(' | PARAM(10) ',E14.7,' PARETOMAX   |')",
    "(' | PARAM(11) ',E14.7,' EPSILON     |')", "(' | PARAM(12) ',E14.7,' BALANCE     |')",
    "(' | PARAM(13) ',E14.7,' CHARACTER   |')",
};
constexpr const char* kBoxBottom = "(' ----------------------------------------')";
constexpr const char* kSingleObjectiveTitle =
    "(/,/,' [     EVAL,    TIME]        OBJECTIVE FUNCTION VALUE         VIOLATION OF G(X)',/,"
    "' ------------------------------------------------------------------------------')";
constexpr const char* kMultiObjectiveTitle =
    "(/,/,' [     EVAL,    TIME]   MULTI-OBJECTIVE PROGRESS   VIOLATION OF G(X)',/,"
    "' -------------------------------------------------------------------   [PARETO]')";

// A parameter counts as set only when it compares greater or less than zero
// (so a NaN counts as zero).
bool is_set(double v) { return v > 0.0 || v < 0.0; }

}  // namespace

void print_head(OutputUnits& units, int unit, const HeadArguments& a) {
  units.write(unit, kBanner);
  units.write(unit, kObjectivesLine, {a.o, a.l});
  units.write(unit, kSeparator);
  units.write(unit, kVariablesLine, {a.n, a.maxeval});
  units.write(unit, kIntegersLine, {a.ni, a.maxtime});
  units.write(unit, kConstraintsLine, {a.m, a.printeval});
  units.write(unit, kEqualitiesLine, {a.me, a.save2file});
  units.write(unit, kSeparator);

  bool any_set = false;
  for (Index i = 1; i <= 13; ++i) any_set = any_set || is_set(value_or_nan(a.param, i));
  if (!any_set) {
    units.write(unit, kAllByDefault);
  } else {
    for (Index i = 1; i <= 13; ++i) {
      const double v = value_or_nan(a.param, i);
      if (is_set(v)) units.write(unit, kParameterLines[i - 1], {v});
    }
  }
  units.write(unit, kBoxBottom);

  if (a.o == 1)
    units.write(unit, kSingleObjectiveTitle);
  else if (a.o >= 2)
    units.write(unit, kMultiObjectiveTitle);
}

}  // namespace kestro::report
