#include "abi/default_context.hpp"
#include "abi/internal_routines.h"
#include "core/iflag_table.hpp"
#include "kestro.h"

// ---- from src/core/iflag_text.cpp

extern "C" const char* kestro_iflag_text(const int* iflag) {
  if (iflag == nullptr) return kestro::kIflagUnknown;
  return kestro::iflag_meaning(*iflag);
}
