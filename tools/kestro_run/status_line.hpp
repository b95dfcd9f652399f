// The live status line of kestro-run on a terminal.
//
// One line on the standard error stream, redrawn at most four times a second:
// evaluations (of the budget), best f (with several objectives the
// compromise value and the front size), feasible or the violation, failed
// evaluations, elapsed time, evaluations per second and, with a budget, an
// estimate of the time left. With `runs = K` the line is that of the K runs
// together: their evaluations against K times the budget, their failed
// evaluations, and the best of their best points (the smallest violation,
// then the lowest f).
//
// The library writes its screen report to the same stream (stderr), as do the
// runner's own messages. While the line is shown, stderr is fully buffered:
// after each block sync() looks whether anything was written to it
// (__fpending), and if so clears the line first and then lets the text out,
// so that the report keeps its fixed format and the line is drawn below it.
#ifndef KESTRO_RUN_STATUS_LINE_HPP
#define KESTRO_RUN_STATUS_LINE_HPP

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "kestro.hpp"

namespace kestro_run {

class StatusLine {
 public:
  // Shown when `wanted` and the standard error stream is a terminal; must be
  // made before anything else is written to stderr.
  StatusLine(bool wanted, long long maxeval, int objectives, int runs = 1);
  ~StatusLine();  // clears the line and makes stderr unbuffered again
  StatusLine(const StatusLine&) = delete;
  StatusLine& operator=(const StatusLine&) = delete;

  bool shown() const { return active_; }

  // After a block (of run progress.run): lets out what was written to stderr (below a cleared
  // line) and redraws the line when the last draw is a quarter second old.
  void sync(const kestro::Progress& progress);

  // Clears the line and lets out what was written to stderr: before
  // anything is written to the terminal by other means (standard output).
  void clear();

  // The text of the line for `progress` after `seconds`, at most `width`
  // characters.
  // The progress of several runs as one: the counts summed, the best point
  // the best of theirs. Runs without a block yet are left out.
  static kestro::Progress combine(const std::vector<kestro::Progress>& runs);

  static std::string text(const kestro::Progress& progress, long long maxeval, int objectives,
                          double seconds, std::size_t width);

 private:
  void flush_pending();

  bool active_ = false;
  bool drawn_ = false;
  long long maxeval_;
  int objectives_;
  std::vector<kestro::Progress> runs_;  // the last progress of each run
  std::unique_ptr<char[]> buffer_;
  std::chrono::steady_clock::time_point start_, last_draw_;
};

}  // namespace kestro_run

#endif
