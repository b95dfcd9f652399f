// The process CPU time, the only clock of the library.
#pragma once

namespace kestro::report {

// A source of CPU seconds; the reporting entry reads its clock through one so
// that tests can replace it.
using CpuClock = double (*)();

// User plus kernel time consumed by the whole process so far, in seconds.
double process_cpu_seconds();

// The clock reading as the reports use it: divided by L when TIMEDIV is 1.
double report_time(CpuClock clock, int l, int timediv);

}  // namespace kestro::report
