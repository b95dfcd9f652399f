// The context of the specified entries (kestro_, kestro_print_, the
// checkpoint entries and every routine exported under its short name): one
// per process. Only the C ABI layer reaches it.
#pragma once

#include "interface/context.hpp"

namespace kestro::abi {

Context& default_context();

}  // namespace kestro::abi
