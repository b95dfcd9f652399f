// The meaning of every IFLAG value in plain words, for callers that want to
// print a code (the C++ API puts it into its results and error messages).
#include "kestro.h"

#include "core/iflag_table.hpp"

namespace kestro {
namespace {

const char* meaning_of(int code) {
  for (const IflagEntry& entry : kIflagTable)
    if (entry.code == code) return entry.meaning;
  if (code < 0) return kIflagRunGoesOn;
  return kIflagUnknown;
}

}  // namespace
}  // namespace kestro

extern "C" const char* kestro_iflag_text(const int* iflag) {
  if (iflag == nullptr) return kestro::kIflagUnknown;
  return kestro::meaning_of(*iflag);
}
