#include "report/progress.hpp"

#include <cmath>

#include "core/iflag_table.hpp"

namespace kestro::report {
namespace {

// Indexed by [F written in exponent form][RES written in exponent form].
constexpr const char* kSingleObjectiveLine[2][2] = {
    {"(' [',I9,',',F8.2,']        F(X):',F19.8,'         VIO:',F13.6)",
     "(' [',I9,',',F8.2,']        F(X):',F19.8,'         VIO:',D13.6)"},
    {"(' [',I9,',',F8.2,']        F(X):',E19.10,'         VIO:',F13.6)",
     "(' [',I9,',',F8.2,']        F(X):',E19.10,'         VIO:',D13.6)"}};
constexpr const char* kMultiObjectiveLine[2][2] = {
    {"(' [',I9,',',F8.2,']   PRO:',F20.8,'   VIO:',F13.6,'   [',I6,']')",
     "(' [',I9,',',F8.2,']   PRO:',F20.8,'   VIO:',D13.6,'   [',I6,']')"},
    {"(' [',I9,',',F8.2,']   PRO:',E20.10,'   VIO:',F13.6,'   [',I6,']')",
     "(' [',I9,',',F8.2,']   PRO:',E20.10,'   VIO:',D13.6,'   [',I6,']')"}};

constexpr const char* kInputErrorBanner =
    "(/,/,/,' *** KESTRO INPUT ERROR ***   ( IFLAG =',I6,' )')";
constexpr const char* kWarningBanner = "(/,' *** WARNING ***   ( IFLAG =',I6,' )',/)";

}  // namespace

void print_line(OutputUnits& units, int unit, int o, int eval, double time, double f, double res,
                int psize) {
  const int f_exponent = std::fabs(f) <= 1e10 ? 0 : 1;  // NaN: exponent form
  const int res_exponent = res <= 1e5 ? 0 : 1;
  if (o == 1) {
    units.write(unit, kSingleObjectiveLine[f_exponent][res_exponent], {eval, time, f, res});
  } else {
    units.write(unit, kMultiObjectiveLine[f_exponent][res_exponent], {eval, time, f, res, psize});
  }
}

void print_iflag_banner(OutputUnits& units, int unit, int iflag) {
  units.write(unit, iflag::is_input_error(iflag) ? kInputErrorBanner : kWarningBanner, {iflag});
}

}  // namespace kestro::report
