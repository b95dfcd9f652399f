// The coordinate search around the best archive member, and the random
// perturbation of that member that fills a block once the search has run out.
#pragma once

#include <cstdint>

#include "core/view.hpp"
#include "kernel/kernel_state.hpp"
#include "kernel/sampling.hpp"

namespace kestro::kernel {

// Writes the next coordinate move into XP(1..N): archive member 1 (points
// from RW(a0)) with one variable moved. Variables are visited in a random
// order kept in IW; each is moved first in a random direction by the square
// root of its spread (RW(s0 ..)) or one unit for an integer variable, then,
// while its moves fail (IW(31) = 0), in alternating directions with a
// shrinking step, until its tries are used up.
//
// `state_code` -30 on entry begins a pass. On return it is -30 for the first
// move of a pass, -31 for any later move, -40 when the pass has ended and -99
// when it ended with every variable exhausted; then `run_out` is set to 1.
// At -40 and -99 XP keeps its content. `saved` carries the pass from one call
// to the next; `l` is the block size that places the visiting order and the
// exhausted flags in IW.
void coordinate_search_move(CoordinateSearchState& saved, std::int32_t& run_out,
                            std::int32_t& state_code, Index l, const VariableBox& box, RealView xp,
                            RealView rw, IntView iw, Index a0, Index s0, ConstRealView preset_r,
                            ConstIntView preset_i);

// Writes a random perturbation of archive member 1 (points from RW(a0)) into
// XP(1..N): continuous variables take a deviate step scaled by
// (XU - XL)/(g*g) with probability 3/4, integer variables a unit step with
// probability 1/4. An all-integer result equal to one of members
// 1 .. compared is replaced by a uniform point.
void perturb_archive_best(const VariableBox& box, RealView xp, RealView rw, Index g, Index compared,
                          Index a0, ConstRealView preset_r);

}  // namespace kestro::kernel
