// The library's version, the project's number as CMake gives it when the
// library is built (KESTRO_VERSION_STRING, defined for this file only).
#include "kestro.h"

#ifndef KESTRO_VERSION_STRING
#error "KESTRO_VERSION_STRING must be defined by the build (the project's version)"
#endif

extern "C" const char* kestro_version(void) { return KESTRO_VERSION_STRING; }
