#include "report/cpu_clock.hpp"

#include <sys/resource.h>

#include "interface/context.hpp"
#include "kestro.h"

namespace kestro::report {

double process_cpu_seconds() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0.0;
  const double user = static_cast<double>(usage.ru_utime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec) * 1e-6;
  const double system = static_cast<double>(usage.ru_stime.tv_sec) +
                        static_cast<double>(usage.ru_stime.tv_usec) * 1e-6;
  return user + system;
}

double report_time(CpuClock clock, int l, int timediv) {
  const double t = (clock != nullptr ? clock : &process_cpu_seconds)();
  return timediv == 1 ? t / static_cast<double>(l) : t;
}

}  // namespace kestro::report

// CPU time of the process in seconds, divided by L when TIMEDIV is 1.
extern "C" void get_time_(double* t, const int* l, const int* timediv) {
  *t = kestro::report::report_time(kestro::process_context().report.clock, *l, *timediv);
}
