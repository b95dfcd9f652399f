#include "kernel/residual.hpp"

namespace kestro::kernel {

double residual(ConstRealView g, Index m, Index me, double acc) {
  double sum = 0.0;
  for (Index j = 1; j <= m; ++j)
    if (g[j] < -acc) sum = sum + (-g[j]);
  for (Index j = 1; j <= me && j <= m; ++j)
    if (g[j] > acc) sum = sum + g[j];
  return sum;
}

}  // namespace kestro::kernel
