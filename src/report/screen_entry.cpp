// The exported entry that replaces the stream behind the screen unit.
#include "interface/context.hpp"
#include "kestro.h"

extern "C" void kestro_set_screen_(FILE* stream) {
  kestro::process_context().report.units.set_screen(stream);
}
