#include "checkpointing.hpp"

#include <cstdio>

namespace kestro_run {

bool Checkpointing::save(const kestro::Solver& solver) {
  try {
    solver.save(path_);
    saved_at_ = solver.evaluations();
    return true;
  } catch (const kestro::CheckpointError& e) {
    std::fprintf(stderr, "kestro-run: %s; the run goes on\n", e.what());
    return false;
  }
}

void Checkpointing::after_block(const kestro::Solver& solver) {
  if (!enabled() || solver.done()) return;
  if (solver.evaluations() - saved_at_ >= every_) save(solver);
}

}  // namespace kestro_run
