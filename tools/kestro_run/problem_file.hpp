// Reading a kestro-run problem file (TOML).
#ifndef KESTRO_RUN_PROBLEM_FILE_HPP
#define KESTRO_RUN_PROBLEM_FILE_HPP

#include <stdexcept>
#include <string>
#include <vector>

#include "kestro.hpp"

namespace kestro_run {

// An error in the problem file: the message names the key and its line.
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ProblemFile {
  kestro::Problem problem;
  kestro::Options options;           // block_size 0 when the file does not give it
  std::vector<std::string> names;    // of the variables ("" when not named)
  std::vector<std::string> command;  // program and its arguments
  std::string directory;             // where the command runs (the file's directory)
  int jobs = 1;                      // evaluations at once
  double timeout = 60;               // seconds per evaluation
};

// Reads and checks the file; throws InputError.
ProblemFile read_problem_file(const std::string& path);

}  // namespace kestro_run

#endif
