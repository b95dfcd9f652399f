// kestro-run's summary of a run on the standard output, and the checks of a
// run's set-up that make a misconfiguration loud.
#ifndef KESTRO_RUN_SUMMARY_HPP
#define KESTRO_RUN_SUMMARY_HPP

#include <string>

#include "kestro.hpp"
#include "problem_file.hpp"

namespace kestro_run {

// Prints the summary: the IFLAG and its meaning, why the run ended, the best
// point (on one line, then each variable by its name), its values, its
// largest raw violation, feasibility and the counts.
void print_summary(const kestro::Result& result, const ProblemFile& file);

// Lets the block size follow `jobs` when the file does not give it, and warns
// on the standard error stream when it is given and smaller.
void follow_jobs(ProblemFile& file);

}  // namespace kestro_run

#endif
