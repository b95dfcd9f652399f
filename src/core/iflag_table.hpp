// The one table of every value the library gives IFLAG: its meaning in
// words (what kestro_iflag_text returns) and what the caller should do about
// it. The user guide's list of codes is generated from this table.
#ifndef KESTRO_CORE_IFLAG_TABLE_HPP
#define KESTRO_CORE_IFLAG_TABLE_HPP

#include <cstdint>

namespace kestro {

// The symbolic name of every row of the table below.
namespace iflag {
enum Code : std::int32_t {
  kStopRequest = -999,
  kPatternSearchBlock = -500,
  kOuterRestartBlock = -300,
  kStart = 0,
  kStoppedFeasible = 1,
  kStoppedInfeasible = 2,
  kAlgostopFeasible = 3,
  kAlgostopInfeasible = 4,
  kEvalstopFeasible = 5,
  kEvalstopInfeasible = 6,
  kTargetMet = 7,
  kWarnLargeStart = 51,
  kWarnLargeLower = 52,
  kWarnLargeUpper = 53,
  kWarnFixedVariable = 71,
  kWarnObjectiveNaN = 81,
  kWarnConstraintNaN = 82,
  kWarnLargeFstop = 91,
  kWarnLargeOracle = 92,
  kBadBlockSize = 100,
  kBadObjectiveCount = 101,
  kBadVariableCount = 102,
  kNegativeIntegerCount = 103,
  kTooManyIntegers = 104,
  kNegativeConstraintCount = 105,
  kNegativeEqualityCount = 106,
  kTooManyEqualities = 107,
  kStartNaN = 201,
  kLowerNaN = 202,
  kUpperNaN = 203,
  kStartBelowLower = 204,
  kStartAboveUpper = 205,
  kLowerAboveUpper = 206,
  kBadAccuracy = 301,
  kBadSeed = 302,
  kBadFstop = 303,
  kBadAlgostop = 304,
  kBadEvalstop = 305,
  kBadFocus = 306,
  kBadAnts = 307,
  kBadKernel = 308,
  kKernelAboveAnts = 309,
  kKernelMissing = 310,
  kKernelWithoutAnts = 311,
  kBadOracle = 312,
  kBadParetomax = 321,
  kParetomaxNotWhole = 322,
  kBadEpsilon = 331,
  kFrontTooShort = 344,
  kEvalstopBelowOne = 347,
  kEvalstopFraction = 348,
  kBadBalance = 350,
  kBadCharacter = 351,
  kCharacterNotWhole = 352,
  kParamNaN = 399,
  kBadIstop = 401,
  kIntegersNotDifferent = 402,
  kRealWorkspaceTooShort = 501,
  kKernelRealWorkspaceTooShort = 502,
  kIntegerWorkspaceTooShort = 601,
  kKernelIntegerWorkspaceTooShort = 602,
  kNotInitialised = 701,
  kStartNotWhole = 881,
  kLowerNotWhole = 882,
  kUpperNotWhole = 883,
};

// Codes 11 .. 99 on a first call answer a warning return; 100 and above are
// input errors; the reporting entry prints a banner for every code above 9.
inline constexpr std::int32_t kFirstWarningAnswer = 11;
inline constexpr std::int32_t kFirstInputError = 100;
inline constexpr std::int32_t kLastWithoutBanner = 9;

inline constexpr bool is_input_error(std::int32_t code) { return code >= kFirstInputError; }
inline constexpr bool answers_warning(std::int32_t code) {
  return code >= kFirstWarningAnswer && code < kFirstInputError;
}
inline constexpr bool has_banner(std::int32_t code) { return code > kLastWithoutBanner; }

}  // namespace iflag

struct IflagEntry {
  int code;
  const char* meaning;
  const char* advice;
};

// Every value the library gives IFLAG, in ascending order.
// clang-format off
inline constexpr IflagEntry kIflagTable[] = {
    {iflag::kStopRequest, "stop requested: the next call ends the run and returns the best point",
     "Set it yourself to end a run early; call once more and the call returns the best point so far with IFLAG 1 or 2."},
    {iflag::kPatternSearchBlock, "the run goes on (pattern-search block)",
     "Nothing: evaluate the block in X and call again, leaving IFLAG as it is."},
    {iflag::kOuterRestartBlock, "the run goes on (first block after a restart)",
     "Nothing: evaluate the block in X and call again, leaving IFLAG as it is."},
    {iflag::kStart, "run started, or ended by an evaluation budget of at most one evaluation",
     "Set IFLAG to 0 to start a run. Returned at the end only by the reporting entry when MAXEVAL is 1 or less: the first block is the result; raise MAXEVAL for a search."},
    {iflag::kStoppedFeasible, "stopped on request; the best point is feasible",
     "The best point in X, F and G is the result of your stop request or of a spent MAXEVAL or MAXTIME. Give a larger budget for a better point."},
    {iflag::kStoppedInfeasible, "stopped on request; the best point is not feasible",
     "No feasible point was found within the budget. Give a larger budget, check the constraints' signs (G >= 0 is feasible) or loosen ACCURACY."},
    {iflag::kAlgostopFeasible, "no improvement within ALGOSTOP restarts; the best point is feasible",
     "The search stopped improving: X is the result. Raise ALGOSTOP or give another seed to search longer."},
    {iflag::kAlgostopInfeasible, "no improvement within ALGOSTOP restarts; the best point is not feasible",
     "The search stopped improving without a feasible point. Check that the constraints can be met and their signs (G >= 0 is feasible); try another seed or a larger ALGOSTOP."},
    {iflag::kEvalstopFeasible, "no improvement within EVALSTOP evaluations; the best point is feasible",
     "The search stopped improving: X is the result. Raise the integer part of EVALSTOP or lower its fractional tolerance to search longer."},
    {iflag::kEvalstopInfeasible, "no improvement within EVALSTOP evaluations; the best point is not feasible",
     "No feasible point and no progress within EVALSTOP evaluations. Check the constraints, raise EVALSTOP or switch it off (0)."},
    {iflag::kTargetMet, "the objective target FSTOP was reached by a feasible point",
     "Success: X reaches your objective target. Lower FSTOP (or set it to 0) to search further."},
    {iflag::kWarnLargeStart, "warning: a start value has a magnitude above 1e16",
     "The run goes on; call again with the code left in IFLAG. Values this large lose precision: rescale the variable."},
    {iflag::kWarnLargeLower, "warning: a lower bound has a magnitude above 1e16",
     "The run goes on; call again with the code left in IFLAG. Give a realistic lower bound: the search samples the whole box."},
    {iflag::kWarnLargeUpper, "warning: an upper bound has a magnitude above 1e16",
     "The run goes on; call again with the code left in IFLAG. Give a realistic upper bound: the search samples the whole box."},
    {iflag::kWarnFixedVariable, "warning: a variable is fixed (its lower bound equals its upper bound)",
     "The run goes on; call again with the code left in IFLAG. Remove the variable from the problem if it is meant to be fixed."},
    {iflag::kWarnObjectiveNaN, "warning: the objective of the first start point is not a number",
     "The run goes on (the point counts as failed); call again with the code left in IFLAG. Check that your model can evaluate the start point."},
    {iflag::kWarnConstraintNaN, "warning: a constraint of the first start point is not a number",
     "The run goes on (the point counts as failed); call again with the code left in IFLAG. Check that your model can evaluate the start point."},
    {iflag::kWarnLargeFstop, "warning: FSTOP has a magnitude above 1e16",
     "The run goes on; call again with the code left in IFLAG. Check FSTOP: a target this large or small is met at once or never."},
    {iflag::kWarnLargeOracle, "warning: ORACLE has a magnitude above 1e16",
     "The run goes on; call again with the code left in IFLAG. Check ORACLE, or leave it 0 for the default."},
    {iflag::kBadBlockSize, "input error: the block size L must be at least 1",
     "Give a block size L of 1 or more."},
    {iflag::kBadObjectiveCount, "input error: the number of objectives must be between 1 and 1000000",
     "Give between 1 and 1000000 objectives."},
    {iflag::kBadVariableCount, "input error: the number of variables N must be at least 1",
     "Give at least one variable."},
    {iflag::kNegativeIntegerCount, "input error: the number of integer variables NI must not be negative",
     "Give a number of integer variables between 0 and N."},
    {iflag::kTooManyIntegers, "input error: there are more integer variables than variables",
     "Give at most N integer variables; they are the last NI variables."},
    {iflag::kNegativeConstraintCount, "input error: the number of constraints M must not be negative",
     "Give a number of constraints of 0 or more."},
    {iflag::kNegativeEqualityCount, "input error: the number of equality constraints ME must not be negative",
     "Give a number of equality constraints between 0 and M."},
    {iflag::kTooManyEqualities, "input error: there are more equality constraints than constraints",
     "Give at most M equality constraints; they are the first ME constraints."},
    {iflag::kStartNaN, "input error: a start value is not a number",
     "Give a number for every start value."},
    {iflag::kLowerNaN, "input error: a lower bound is not a number",
     "Give a number for every lower bound (use a large finite value for an unbounded variable)."},
    {iflag::kUpperNaN, "input error: an upper bound is not a number",
     "Give a number for every upper bound (use a large finite value for an unbounded variable)."},
    {iflag::kStartBelowLower, "input error: a start value lies below its lower bound",
     "Move the start point into the box: every start value must lie within its bounds."},
    {iflag::kStartAboveUpper, "input error: a start value lies above its upper bound",
     "Move the start point into the box: every start value must lie within its bounds."},
    {iflag::kLowerAboveUpper, "input error: a lower bound lies above its upper bound",
     "Swap or correct the bounds: every lower bound must not exceed its upper bound."},
    {iflag::kBadAccuracy, "input error: ACCURACY must lie between 0 and 1e99",
     "Give ACCURACY between 0 and 1e99 (0 selects 0.001)."},
    {iflag::kBadSeed, "input error: the random seed must lie between 0 and 1e99",
     "Give a seed between 0 and 1e99."},
    {iflag::kBadFstop, "input error: FSTOP must lie between -1e99 and 1e99",
     "Give FSTOP between -1e99 and 1e99 (0 switches the target off)."},
    {iflag::kBadAlgostop, "input error: ALGOSTOP must lie between 0 and 1e99",
     "Give ALGOSTOP between 0 and 1e99 (0 switches the test off)."},
    {iflag::kBadEvalstop, "input error: EVALSTOP must lie between 0 and 1e99",
     "Give EVALSTOP between 0 and 1e99 (0 switches the test off)."},
    {iflag::kBadFocus, "input error: FOCUS must be a whole number of at most 1e99",
     "Give FOCUS as a whole number of at most 1e99 (0 selects the default)."},
    {iflag::kBadAnts, "input error: ANTS must lie between 0 and 1e99",
     "Give ANTS between 0 and 1e99 (0 selects the default)."},
    {iflag::kBadKernel, "input error: KERNEL must lie between 0 and 100",
     "Give KERNEL between 0 and 100."},
    {iflag::kKernelAboveAnts, "input error: KERNEL must not exceed ANTS",
     "Give KERNEL at most ANTS."},
    {iflag::kKernelMissing, "input error: KERNEL must be positive when ANTS is given",
     "Give KERNEL as well when you give ANTS (1 .. ANTS), or set both to 0."},
    {iflag::kKernelWithoutAnts, "input error: KERNEL must be 0 when ANTS is 0",
     "Set KERNEL to 0 as well, or give ANTS too."},
    {iflag::kBadOracle, "input error: ORACLE must lie between -1e99 and 1e99",
     "Give ORACLE between -1e99 and 1e99 (0 selects the default)."},
    {iflag::kBadParetomax, "input error: PARETOMAX must have a magnitude of at most 1e99",
     "Give PARETOMAX with a magnitude of at most 1e99 (0 selects a front of 1000 points)."},
    {iflag::kParetomaxNotWhole, "input error: PARETOMAX must be a whole number",
     "Give PARETOMAX as a whole number."},
    {iflag::kBadEpsilon, "input error: EPSILON must lie between 0 and 0.5",
     "Give EPSILON between 0 and 0.5."},
    {iflag::kFrontTooShort, "input error: the Pareto array PF is too short for the front capacity",
     "Give a longer PF: LPF must exceed P(N + M + O), P the front capacity, or lower PARETOMAX."},
    {iflag::kEvalstopBelowOne, "input error: EVALSTOP between 0 and 1 is not allowed",
     "Give EVALSTOP as 0 or at least 1 (its integer part counts evaluations)."},
    {iflag::kEvalstopFraction, "input error: the fractional part of EVALSTOP must be below 0.5",
     "Give EVALSTOP a fractional part below 0.5 (e.g. 20000.001)."},
    {iflag::kBadBalance, "input error: BALANCE must be 0, a whole number naming an objective, or lie between -1 and 1",
     "Give BALANCE as 0, a whole number naming an objective, or a value between -1 and 1."},
    {iflag::kBadCharacter, "input error: CHARACTER must lie between 0 and 3",
     "Give CHARACTER 0 (chosen for you), 1, 2 or 3."},
    {iflag::kCharacterNotWhole, "input error: CHARACTER must be a whole number",
     "Give CHARACTER as a whole number 0 .. 3."},
    {iflag::kParamNaN, "input error: a solver parameter is not a number",
     "Replace the NaN in PARAM by a number (0 selects the default)."},
    {iflag::kBadIstop, "input error: ISTOP must be 0 or 1 when a run starts",
     "Set ISTOP to 0 before the first call of a run."},
    {iflag::kIntegersNotDifferent, "input error: with CHARACTER 3 the integer variables of the start point must differ pairwise",
     "Give a start point whose integer values are pairwise different, or choose another CHARACTER."},
    {iflag::kRealWorkspaceTooShort, "input error: the real workspace RW is too short",
     "Give a longer RW: LRW >= 120N + 20M + L(M + 2O + 20) + O(O + 20) + 4990."},
    {iflag::kKernelRealWorkspaceTooShort, "input error: the real workspace RW is too short for the search kernel",
     "Give a longer RW: with several objectives and long blocks the search needs at least 5L + (M + 2O)(L + 2) + 104N + 2LO + O(O + 6) + 522."},
    {iflag::kIntegerWorkspaceTooShort, "input error: the integer workspace IW is too short",
     "Give a longer IW: LIW >= L + 3N + 990."},
    {iflag::kKernelIntegerWorkspaceTooShort, "input error: the integer workspace IW is too short for the search kernel",
     "Give a longer IW: LIW >= L + 3N + 990."},
    {iflag::kNotInitialised, "input error: a continuing call without a run started by IFLAG 0 (or with other sizes)",
     "Start every run with IFLAG = 0 and keep the sizes, IFLAG, ISTOP and the workspaces unchanged between calls."},
    {iflag::kStartNotWhole, "input error: the start value of an integer variable is not a whole number",
     "Give integer variables whole-number start values."},
    {iflag::kLowerNotWhole, "input error: the lower bound of an integer variable is not a whole number",
     "Give integer variables whole-number lower bounds."},
    {iflag::kUpperNotWhole, "input error: the upper bound of an integer variable is not a whole number",
     "Give integer variables whole-number upper bounds."},
};
// clang-format on

// The meaning of a value that is not in the table.
inline constexpr const char* kIflagRunGoesOn = "the run goes on";
inline constexpr const char* kIflagUnknown = "unknown code";

// The meaning of a code: its entry of the table, or one of the two above.
const char* iflag_meaning(int code);

}  // namespace kestro

#endif  // KESTRO_CORE_IFLAG_TABLE_HPP
