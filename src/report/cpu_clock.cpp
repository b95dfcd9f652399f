#include "report/cpu_clock.hpp"

#include <sys/resource.h>

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
