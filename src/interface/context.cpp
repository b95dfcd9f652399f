#include "interface/context.hpp"

#include "core/numeric.hpp"

namespace kestro {

double NumericCache::large() {
  if (first_time != 1) return cached;
  first_time = 0;
  cached = compute_large_value();
  return cached;
}

Context& process_context() {
  static Context context;
  return context;
}

}  // namespace kestro
