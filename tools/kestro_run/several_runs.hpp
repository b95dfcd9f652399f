// kestro-run with `runs = K` in [options]: K independent runs of the black
// box side by side (kestro::minimize with Options::runs), sharing the `jobs`
// evaluations at once.
#ifndef KESTRO_RUN_SEVERAL_RUNS_HPP
#define KESTRO_RUN_SEVERAL_RUNS_HPP

#include "blackbox.hpp"
#include "kestro.hpp"
#include "problem_file.hpp"
#include "status_line.hpp"

namespace kestro_run {

// Makes the runs; each ends with its next block once a stop signal has come
// (stop_signals.hpp); after a second one the evaluations in flight are
// killed and no more are started. Failed evaluations are logged on the
// standard error stream unless quiet; `status` follows the runs after each of
// their blocks. Throws what kestro::minimize throws.
kestro::Result run_several(const ProblemFile& file, const Blackbox& blackbox, bool quiet,
                           StatusLine& status);

// Prints one line per run on the standard output, after the summary.
void print_runs(const kestro::Result& result);

}  // namespace kestro_run

#endif
