// The results of a run as data: CSV files in the output directory.
//
//   kestro_best.csv     the best point: its objectives, constraints, residual,
//                       feasibility, the evaluations of the run and its
//                       variables (one row)
//   kestro_history.csv  the history of the best point, one row per block
//                       where it improved
//   kestro_front.csv    with several objectives, the final Pareto front: one
//                       row per entry with its objectives, constraints and
//                       variables
//
// With `runs = K` they are those of the combined result: the best point and
// the history of the best run, and the runs' fronts merged.
//
// Each file has a header row; the variables are named as in the problem
// file (x1, x2, ... for those without a name). Numbers are written with 17 significant digits.
#ifndef KESTRO_RUN_RESULT_FILES_HPP
#define KESTRO_RUN_RESULT_FILES_HPP

#include <string>
#include <vector>

#include "kestro.hpp"

namespace kestro_run {

// `name` inside `directory` (empty: the current working directory).
std::string output_path(const std::string& directory, const std::string& name);

struct WrittenFiles {
  std::vector<std::string> paths;  // the files written, in the order above
  std::string error;               // why a file could not be written, or empty
};

// Writes the result files of `result` to `directory` (made when missing;
// empty: the current working directory). Each file is written to
// NAME.tmp and renamed, so it is complete or absent; a file that cannot be
// written is left out and named in `error`.
WrittenFiles write_result_files(const std::string& directory,
                                const std::vector<std::string>& variable_names,
                                const kestro::Result& result, int objectives);

// A CSV field: quoted (with doubled quotes) when it holds a comma, a quote,
// a line break or leading or trailing blanks.
std::string csv_field(const std::string& text);

}  // namespace kestro_run

#endif
