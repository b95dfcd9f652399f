#include "summary.hpp"

#include <cstdio>
#include <vector>

namespace kestro_run {
namespace {

void print_values(const char* name, const std::vector<double>& v) {
  std::printf("%s =", name);
  for (double d : v) std::printf(" %.17g", d);
  std::printf("\n");
}

}  // namespace

void print_summary(const kestro::Result& result, const ProblemFile& file) {
  std::printf("iflag = %d: %s\n", result.iflag, result.message.c_str());
  std::printf("reason = %s\n", result.reason.c_str());
  print_values("x", result.x);
  for (std::size_t i = 0; i < result.x.size(); ++i) {
    const std::string name = i < file.names.size() && !file.names[i].empty()
                                 ? file.names[i]
                                 : "x[" + std::to_string(i) + "]";
    std::printf("  %s = %.17g\n", name.c_str(), result.x[i]);
  }
  print_values("f", result.f);
  print_values("g", result.g);
  if (result.max_violation_index >= 0)
    std::printf("max violation = %.17g (g[%d])\n", result.max_violation,
                result.max_violation_index);
  else
    std::printf("max violation = 0\n");
  std::printf("feasible = %s\n", result.feasible ? "yes" : "no");
  std::printf("evaluations = %lld\n", result.evaluations);
  std::printf("failed evaluations = %lld\n", result.failed_evaluations);
}

void follow_jobs(ProblemFile& file) {
  const std::string warning = kestro::detail::follow_parallelism(file.options, file.jobs, "jobs");
  if (!warning.empty()) std::fprintf(stderr, "kestro-run: warning: %s\n", warning.c_str());
}

}  // namespace kestro_run
