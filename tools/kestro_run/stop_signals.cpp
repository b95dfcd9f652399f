#include "stop_signals.hpp"

#include <atomic>
#include <csignal>

#include <signal.h>
#include <unistd.h>

namespace kestro_run::stop_signals {
namespace {

// Process-wide by nature: a signal handler has nowhere else to look.
std::atomic<int> first_signal{0};
std::atomic<int> second_signal{0};

// The children in flight; 0 marks a free slot. More evaluations at once than
// slots only means that the extra ones are not killed by the handler: they
// are not started after a second signal, and end on their own time limit.
constexpr int kSlots = 4096;
std::atomic<pid_t> children[kSlots];

void kill_group(pid_t pid) {
  kill(-pid, SIGKILL);
  kill(pid, SIGKILL);  // before the child has made its own group
}

extern "C" void on_signal(int signal) {
  int none = 0;
  if (first_signal.compare_exchange_strong(none, signal)) return;
  second_signal.store(signal);
  for (std::atomic<pid_t>& child : children) {
    const pid_t pid = child.load();
    if (pid > 0) kill_group(pid);
  }
}

}  // namespace

void handle(int signal) {
  struct sigaction action {};
  action.sa_handler = on_signal;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

int first() { return first_signal.load(); }
int abort_signal() { return second_signal.load(); }

Child::Child(pid_t pid) {
  for (int i = 0; i < kSlots; ++i) {
    pid_t free = 0;
    if (children[i].compare_exchange_strong(free, pid)) {
      slot_ = i;
      break;
    }
  }
  // A second signal that came before the registration did not see the child.
  if (aborted()) kill_group(pid);
}

void Child::release() {
  if (slot_ >= 0) children[slot_].store(0);
  slot_ = -1;
}

}  // namespace kestro_run::stop_signals
