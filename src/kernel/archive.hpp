// The oracle penalty that ranks evaluated points, and the solution archive
// kept sorted by it: insertion of a new point, and the local acceptance used
// while the coordinate search runs.
#pragma once

#include "core/view.hpp"
#include "kernel/work_area.hpp"

namespace kestro::kernel {

// What an empty archive slot holds (its point keeps whatever was there).
inline constexpr double kEmptySlotResidual = 1.0777e90;
inline constexpr double kEmptySlotF = 1.0888e90;
inline constexpr double kEmptySlotPenalty = 1.0999e90;

// The oracle penalty of a point with objective f and residual res against
// the oracle value omega. Below the oracle a feasible point (res <= acc) gets
// f - omega and an infeasible one its residual; above it, with d = f - omega,
// res*res/(2d) + d - res/2 while res <= d and d*d/(2res) + res - d/2 beyond
// (both give d at res = d).
double oracle_penalty(double f, double res, double omega, double acc);

// True when members 1..k (points, F, residuals and penalties) lie inside RW.
bool archive_fits(ConstRealView rw, const ArchivePositions& archive, Index k);

// Offers a point (xp(1..n), fp, resp, penp) to the archive of k members
// sorted by penalty. A point whose penalty is not below the worst member's
// (a tie with the worst included, and a NaN penalty) is refused. Otherwise it
// goes in front of every member with an equal or larger penalty: those
// members move down one place and member k drops out. Returns the slot the
// point went to, or 0 when it was refused or the archive does not fit in RW.
// xp must not lie inside the archive.
Index insert_into_archive(RealView rw, const ArchivePositions& archive, Index k, ConstRealView xp,
                          double fp, double resp, double penp);

// Local acceptance of point i of a block of l points against archive member
// 1, with the margin abs(ref)/T, T = 10^PRESET_I(5) + n. When the point or
// member 1 has a positive residual the penalties are compared, otherwise the
// objectives; a point below the reference by more than the margin overwrites
// member 1 in place. Sets the flag IW(31 + i) to 1 or 0 and, for i = l,
// IW(31) to 1 when any of IW(32 .. 31 + l) is 1, else 0. Cells outside IW are
// neither read nor written; when member 1 does not lie inside RW the point is
// not accepted. preset_i holds PRESET_I(1..16). True when accepted.
bool accept_locally(RealView rw, const ArchivePositions& archive, IntView iw, Index l, Index i,
                    ConstRealView xp, double fp, double resp, double penp, ConstIntView preset_i);

}  // namespace kestro::kernel
