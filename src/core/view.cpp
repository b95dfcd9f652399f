#include "core/view.hpp"

#include <cstdio>
#include <cstdlib>

namespace kestro {

void view_bounds_failure(Index position, Index length) {
  std::fprintf(stderr, "kestro: array position %lld outside 1..%lld\n",
               static_cast<long long>(position), static_cast<long long>(length));
  std::abort();
}

}  // namespace kestro
