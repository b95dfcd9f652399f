// kestro-run's checkpoints: the run is saved every K evaluations and when it
// is interrupted, and a later kestro-run resumes it from the file.
#pragma once

#include <string>
#include <utility>

#include "kestro.hpp"

namespace kestro_run {

class Checkpointing {
 public:
  // `path` empty: no checkpoints. `every`: evaluations between two saves.
  Checkpointing(std::string path, long long every) : path_(std::move(path)), every_(every) {}

  bool enabled() const { return !path_.empty(); }
  const std::string& path() const { return path_; }

  // Saves the run when `every` more evaluations have been made since the
  // last save; a failed save is reported on the standard error stream and
  // the run goes on.
  void after_block(const kestro::Solver& solver);

  // Saves the run now; true when the file was written.
  bool save(const kestro::Solver& solver);

  // The evaluation count of the last save (or of the resumed run).
  void start_from(long long evaluations) { saved_at_ = evaluations; }

 private:
  std::string path_;
  long long every_;
  long long saved_at_ = 0;
};

}  // namespace kestro_run
