// Prints the version of the loaded library as the C ABI and the C++ API give
// it, one per line, for the test that every front end agrees with the
// project's number.
#include <cstdio>

#include "kestro.h"
#include "kestro.hpp"

int main() {
  std::printf("%s\n%s\n", kestro_version(), kestro::version().c_str());
  return 0;
}
