// Saved state of the multi-objective layer, kept from one call to the next.
#pragma once

namespace kestro::multiobjective {

struct MultiObjectiveState {};

}  // namespace kestro::multiobjective
