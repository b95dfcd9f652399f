// The meaning of every IFLAG value in plain words, for callers that want to
// print a code (the C++ API puts it into its results and error messages).
#include "kestro.h"

namespace kestro {
namespace {

struct Meaning {
  int code;
  const char* text;
};

// Every value the library gives IFLAG, in ascending order.
constexpr Meaning kMeanings[] = {
    {-999, "stop requested: the next call ends the run and returns the best point"},
    {-500, "the run goes on (pattern-search block)"},
    {-300, "the run goes on (first block after a restart)"},
    {0, "run started, or ended by an evaluation budget of at most one evaluation"},
    {1, "stopped on request; the best point is feasible"},
    {2, "stopped on request; the best point is not feasible"},
    {3, "no improvement within ALGOSTOP restarts; the best point is feasible"},
    {4, "no improvement within ALGOSTOP restarts; the best point is not feasible"},
    {5, "no improvement within EVALSTOP evaluations; the best point is feasible"},
    {6, "no improvement within EVALSTOP evaluations; the best point is not feasible"},
    {7, "the objective target FSTOP was reached by a feasible point"},
    {51, "warning: a start value has a magnitude above 1e16"},
    {52, "warning: a lower bound has a magnitude above 1e16"},
    {53, "warning: an upper bound has a magnitude above 1e16"},
    {71, "warning: a variable is fixed (its lower bound equals its upper bound)"},
    {81, "warning: the objective of the first start point is not a number"},
    {82, "warning: a constraint of the first start point is not a number"},
    {91, "warning: FSTOP has a magnitude above 1e16"},
    {92, "warning: ORACLE has a magnitude above 1e16"},
    {100, "input error: the block size L must be at least 1"},
    {101, "input error: the number of objectives must be between 1 and 1000000"},
    {102, "input error: the number of variables N must be at least 1"},
    {103, "input error: the number of integer variables NI must not be negative"},
    {104, "input error: there are more integer variables than variables"},
    {105, "input error: the number of constraints M must not be negative"},
    {106, "input error: the number of equality constraints ME must not be negative"},
    {107, "input error: there are more equality constraints than constraints"},
    {201, "input error: a start value is not a number"},
    {202, "input error: a lower bound is not a number"},
    {203, "input error: an upper bound is not a number"},
    {204, "input error: a start value lies below its lower bound"},
    {205, "input error: a start value lies above its upper bound"},
    {206, "input error: a lower bound lies above its upper bound"},
    {301, "input error: ACCURACY must lie between 0 and 1e99"},
    {302, "input error: the random seed must lie between 0 and 1e99"},
    {303, "input error: FSTOP must lie between -1e99 and 1e99"},
    {304, "input error: ALGOSTOP must lie between 0 and 1e99"},
    {305, "input error: EVALSTOP must lie between 0 and 1e99"},
    {306, "input error: FOCUS must be a whole number of at most 1e99"},
    {307, "input error: ANTS must lie between 0 and 1e99"},
    {308, "input error: KERNEL must lie between 0 and 100"},
    {309, "input error: KERNEL must not exceed ANTS"},
    {310, "input error: KERNEL must be positive when ANTS is given"},
    {311, "input error: KERNEL must be 0 when ANTS is 0"},
    {312, "input error: ORACLE must lie between -1e99 and 1e99"},
    {321, "input error: PARETOMAX must have a magnitude of at most 1e99"},
    {322, "input error: PARETOMAX must be a whole number"},
    {331, "input error: EPSILON must lie between 0 and 0.5"},
    {344, "input error: the Pareto array PF is too short for the front capacity"},
    {347, "input error: EVALSTOP between 0 and 1 is not allowed"},
    {348, "input error: the fractional part of EVALSTOP must be below 0.5"},
    {350, "input error: BALANCE must be 0, a whole number naming an objective, or lie between -1 and 1"},
    {351, "input error: CHARACTER must lie between 0 and 3"},
    {352, "input error: CHARACTER must be a whole number"},
    {399, "input error: a solver parameter is not a number"},
    {401, "input error: ISTOP must be 0 or 1 when a run starts"},
    {402, "input error: with CHARACTER 3 the integer variables of the start point must differ pairwise"},
    {501, "input error: the real workspace RW is too short"},
    {502, "input error: the real workspace RW is too short for the search kernel"},
    {601, "input error: the integer workspace IW is too short"},
    {602, "input error: the integer workspace IW is too short for the search kernel"},
    {701, "input error: a continuing call without a run started by IFLAG 0 (or with other sizes)"},
    {881, "input error: the start value of an integer variable is not a whole number"},
    {882, "input error: the lower bound of an integer variable is not a whole number"},
    {883, "input error: the upper bound of an integer variable is not a whole number"},
};

const char* meaning_of(int code) {
  for (const Meaning& m : kMeanings)
    if (m.code == code) return m.text;
  if (code < 0) return "the run goes on";
  return "unknown code";
}

}  // namespace
}  // namespace kestro

extern "C" const char* kestro_iflag_text(const int* iflag) {
  if (iflag == nullptr) return "unknown code";
  return kestro::meaning_of(*iflag);
}
