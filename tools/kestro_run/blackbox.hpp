// Evaluating points by starting an external black-box command.
//
// Protocol: for each point the command is started with one extra last
// argument, the path of a temporary file holding the point as one line of
// space-separated values (%.17g). The command prints O objective values then
// M constraint values, whitespace-separated, on its standard output, and
// exits with status 0. A non-zero exit, a signal, a timeout (the command's
// process group is killed), output that is not a number, too few or too
// many values, a value that is not finite or one the library counts as a
// failure (an objective of 1e98 or more, a constraint of -1e98 or less) make
// the evaluation a failed one: its values are NaN. The command runs in its
// own process group, with only standard input (/dev/null), output and error
// open; what remains of the group when the evaluation ends is killed.
#ifndef KESTRO_RUN_BLACKBOX_HPP
#define KESTRO_RUN_BLACKBOX_HPP

#include <span>
#include <string>
#include <vector>

namespace kestro_run {

struct Outcome {
  bool ok = false;
  std::string why;      // the reason of a failure
  double seconds = -1;  // the wall time of the evaluation (negative: not measured)
};

class Blackbox {
 public:
  Blackbox(std::vector<std::string> command, std::string directory, double timeout, int objectives,
           int constraints);

  // Evaluates one point into f (O values) and g (M values); NaN on failure.
  Outcome evaluate(std::span<const double> x, std::span<double> f, std::span<double> g) const;

  // Evaluates the l points of a block, up to `jobs` at once. Failures are
  // logged to stderr (unless quiet) and their number is returned; the cause
  // of the block's first failed point goes to `first_failure` when given.
  // When given, `outcomes` (l entries) receives each point's outcome and
  // time, and the points i with skip[i] set are left as they are (served
  // from the cache).
  long long evaluate_block(std::span<const double> x, std::span<double> f, std::span<double> g,
                           int l, int n, int jobs, bool quiet, long long first_index,
                           std::string* first_failure = nullptr, std::span<Outcome> outcomes = {},
                           std::span<const unsigned char> skip = {}) const;

 private:
  std::vector<std::string> command_;
  std::string directory_;
  double timeout_;
  int o_, m_;
  std::string tmpdir_;  // where the point files go: an absolute path
};

// Parses "O + M" numbers from text; false (with the reason in `why`, the
// black box's text in it escaped) when there are too few or too many, or one
// is not a number or a failure value.
bool parse_values(const std::string& text, std::span<double> f, std::span<double> g,
                  std::string* why);

}  // namespace kestro_run

#endif
