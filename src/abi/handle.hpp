// What a run handle of the C ABI holds: a context of its own.
#pragma once

#include "interface/context.hpp"
#include "kestro.h"

struct kestro_context {
  kestro::Context context;
};
