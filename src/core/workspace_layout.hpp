// Where things live in the caller's workspaces, and how long they must be.
// Every formula is evaluated in 128-bit integers so that no size, however
// large or negative, can wrap around and make a short workspace look long.
#pragma once

#include <cstdint>

#include "core/numeric.hpp"
#include "core/view.hpp"

namespace kestro {

using Wide = __int128;

// A wide value brought into the 64-bit position range (saturating).
inline Index saturate_index(Wide v) {
  if (v > static_cast<Wide>(INT64_MAX)) return INT64_MAX;
  if (v < static_cast<Wide>(INT64_MIN)) return INT64_MIN;
  return static_cast<Index>(v);
}

// A 64-bit position brought into the 32-bit range (saturating).
inline std::int32_t saturate_int(Index v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(v);
}

// Declared length of a block of `rows` rows of `columns` values: zero unless
// both are positive.
inline Index block_length(std::int64_t rows, std::int64_t columns) {
  if (rows <= 0 || columns <= 0) return 0;
  return saturate_index(static_cast<Wide>(rows) * columns);
}

// The most objectives a run may have.
inline constexpr std::int32_t kMaxObjectives = 1000000;

// Smallest LRW the solver entry accepts.
inline Wide required_real_workspace(Wide l, Wide o, Wide n, Wide m) {
  return 120 * n + 20 * m + l * (m + 2 * o + 20) + o * (o + 20) + 4990;
}

// Entries the Pareto front holds for PARETOMAX: its magnitude rounded to the
// nearest whole number when that is at least 1 (beyond the 32-bit range the
// largest 32-bit value, which no PF is long enough for), 1000 for
// PARETOMAX = 0, and none for a magnitude between 0 and 1 or a NaN.
inline std::int32_t front_capacity(double paretomax) {
  if (paretomax == 0) return 1000;
  const double magnitude = std::fabs(paretomax);
  if (!(magnitude >= 1)) return 0;
  const std::int32_t whole = nint(magnitude);
  return whole == kIntOutOfRange ? INT32_MAX : whole;
}

// Entries PF must have room for: the front's capacity, and 1000 when the
// front holds none.
inline std::int32_t front_room(double paretomax) {
  const std::int32_t capacity = front_capacity(paretomax);
  return capacity >= 1 ? capacity : 1000;
}

// LPF must exceed this with several objectives: the room of the front times
// the length of an entry (its O objectives, M constraints and N variables).
inline Wide pareto_entries_length(double paretomax, Wide o, Wide n, Wide m) {
  return Wide(front_room(paretomax)) * (n + m + o);
}

// Smallest LIW the solver entry accepts.
inline Wide required_integer_workspace(Wide l, Wide n) { return l + 3 * n + 990; }

// Smallest LRW the kernel's validation accepts (M: the kernel's constraint count).
inline Wide required_kernel_real_workspace(Wide l, Wide o, Wide n, Wide m) {
  return 5 * l + m * (l + 2) + 104 * n + 2 * l * o + o * (o + 6) + 522;
}

// Smallest LIW the kernel's validation accepts.
inline Wide required_kernel_integer_workspace(Wide l, Wide n) { return l + 3 * n + 92; }

// The caller's constraint count, given the kernel's (which carries 2O extra
// columns when there are several objectives).
inline Wide callers_constraint_count(Wide o, Wide kernel_m) {
  return o < 2 ? kernel_m : kernel_m - 2 * o;
}

// The lengths a front end allocates for a run. LRW: what the entry demands,
// and at least what the kernel's own check demands plus a margin of
// 2N + 2O + 200 (with several objectives and long blocks the kernel's
// minimum outgrows the entry's). LIW: what the entry demands. LPF: one more
// than the front's entries need with several objectives, else 1.
struct FrontEndLengths {
  Wide rw = 0, iw = 0, pf = 0;
};

inline FrontEndLengths front_end_lengths(Wide l, Wide o, Wide n, Wide m, double paretomax) {
  const Wide kernel_m = o > 1 ? m + 2 * o : m;
  const Wide entry_rw = required_real_workspace(l, o, n, m);
  const Wide kernel_rw = required_kernel_real_workspace(l, o, n, kernel_m) + 2 * n + 2 * o + 200;
  FrontEndLengths lengths;
  lengths.rw = entry_rw > kernel_rw ? entry_rw : kernel_rw;
  lengths.iw = required_integer_workspace(l, n);
  lengths.pf = o > 1 ? pareto_entries_length(paretomax, o, n, m) + 1 : 1;
  return lengths;
}

// End of the kernel work area; the global-best record follows it.
inline Index best_base_for(std::int64_t l, std::int64_t o, std::int64_t n, std::int64_t kernel_m) {
  const Wide m = callers_constraint_count(o, kernel_m);
  return saturate_index(5 * Wide(l) + 107 * Wide(n) + 6 * m + 7 * Wide(o) + 616);
}

// Length of the kernel's integer area IW(1..).
inline Index iw_kernel_length(std::int64_t l, std::int64_t n) {
  return saturate_index(Wide(l) + 2 * Wide(n) + 31);
}

// The nine regions of RW above the kernel's own area.
struct RegionStarts {
  Index pen_base = 0;     // per-point penalty values of the block
  Index res_base = 0;     // per-point residuals of the block
  Index gblock_base = 0;  // the kernel's constraint block
  Index fblock_base = 0;  // scalar value per point (several objectives)
  Index objlo_base = 0;   // per-objective minima over the front
  Index objhi_base = 0;   // per-objective maxima over the front
  Index step_base = 0;    // pattern-search step sizes
  Index dist_base = 0;    // per-point user-weighted scalar value
  Index dist2_base = 0;   // per-point random-weighted scalar value

  static RegionStarts for_sizes(std::int64_t l, std::int64_t o, std::int64_t n, std::int64_t m) {
    const Wide L = l, O = o, N = n, M = m;
    const Wide unit = L + N + M + 2 * O + 200;
    RegionStarts r;
    const Wide pen = 6 * L + 108 * N + 7 * M + 9 * O + 816;
    const Wide res = pen + unit + L;
    const Wide gblock = res + unit + L;
    const Wide fblock = gblock + unit + L * (M + 2 * O) + 1;
    const Wide objlo = fblock + unit + L;
    const Wide objhi = objlo + unit + O;
    const Wide step = objhi + unit + O;
    const Wide dist = step + unit + L;
    const Wide dist2 = dist + unit + L;
    r.pen_base = saturate_index(pen);
    r.res_base = saturate_index(res);
    r.gblock_base = saturate_index(gblock);
    r.fblock_base = saturate_index(fblock);
    r.objlo_base = saturate_index(objlo);
    r.objhi_base = saturate_index(objhi);
    r.step_base = saturate_index(step);
    r.dist_base = saturate_index(dist);
    r.dist2_base = saturate_index(dist2);
    return r;
  }
};

}  // namespace kestro
