// The meaning of every IFLAG value in plain words, for callers that want to
// print a code (the C++ API puts it into its results and error messages).

#include "core/iflag_table.hpp"

namespace kestro {

const char* iflag_meaning(int code) {
  for (const IflagEntry& entry : kIflagTable)
    if (entry.code == code) return entry.meaning;
  if (code < 0) return kIflagRunGoesOn;
  return kIflagUnknown;
}

}  // namespace kestro
