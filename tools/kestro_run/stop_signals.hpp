// How kestro-run reacts to SIGINT, SIGTERM and SIGHUP (and SIGUSR1 under
// --mpi): the first such signal asks the run to stop (the block in flight is
// finished); a second one ends the run at once: every black box in flight is
// killed with its process group, and evaluate_block returns without starting
// more. The handler only sets flags and sends SIGKILL (both safe in a signal
// handler); the evaluations register the children they start, so that the
// handler finds them.
#ifndef KESTRO_RUN_STOP_SIGNALS_HPP
#define KESTRO_RUN_STOP_SIGNALS_HPP

#include <sys/types.h>

namespace kestro_run::stop_signals {

// Installs the handler for `signal`.
void handle(int signal);

// The first stop signal received, or 0.
int first();
// The signal that asked to end the run at once (the second one), or 0.
int abort_signal();
inline bool aborted() { return abort_signal() != 0; }

// A running black box known to the handler: registered right after fork,
// released before the child is reaped. When a second signal has
// already come, registering kills the child at once.
class Child {
 public:
  explicit Child(pid_t pid);
  ~Child() { release(); }
  // No longer known to the handler: called before the child is reaped, so
  // that the handler never signals a process id that is free again.
  void release();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

 private:
  int slot_ = -1;
};

}  // namespace kestro_run::stop_signals

#endif
