#include "abi/default_context.hpp"

namespace kestro::abi {

Context& default_context() {
  // The one context that is not a caller's: the run of the specified entries.
  static Context context;
  return context;
}

}  // namespace kestro::abi
