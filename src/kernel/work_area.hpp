// Positions of the colony's work area in RW and of its cells in IW (1-based).
#pragma once

#include "core/best_record.hpp"
#include "core/view.hpp"

namespace kestro::kernel {

// The solution archive: member j (1 = best) has its point at
// RW(a0 + (j-1)*n .. a0 + j*n - 1), its F at RW(af + j - 1), its residual at
// RW(ar + j - 1) and its penalty at RW(ap + j - 1).
struct ArchivePositions {
  Index n, a0, af, ar, ap;

  Index x(Index member, Index variable) const { return a0 + (member - 1) * n + variable - 1; }
  Index f(Index member) const { return af + member - 1; }
  Index res(Index member) const { return ar + member - 1; }
  Index pen(Index member) const { return ap + member - 1; }
};

// The run-best record opens the kernel work area, at RW(10).
inline constexpr Index kRunBestFirst = 10;

// The kernel work area RW(10 ..) for N variables, M constraints (as the kernel
// sees them) and an archive capacity of K members.
struct WorkArea {
  Index n = 0, m = 0, capacity = 0;
  Index run_best_x = 0;    // RW(10 .. N+9)
  Index run_best_f = 0;    // RW(N+10)
  Index run_best_g = 0;    // RW(N+11 .. N+M+10)
  Index run_best_res = 0;  // RW(N+M+11)
  Index oracle = 0;        // RW(N+M+12): the oracle value of the restart cycle
  Index a0 = 0;            // archive points, K*N cells
  Index af = 0;            // archive F, K cells
  Index ar = 0;            // archive residuals, K cells
  Index ap = 0;            // archive penalties, K cells, sorted, member 1 best
  Index c0 = 0;            // cumulative rank weights c_0 .. c_K, K+1 cells
  Index w0 = 0;            // rank weights w_1 .. w_K
  Index s0 = 0;            // spreads sigma_1 .. sigma_N

  static WorkArea for_sizes(Index n, Index m, Index capacity) {
    WorkArea w;
    w.n = n;
    w.m = m;
    w.capacity = capacity;
    const RecordPositions run_best = RecordPositions::starting_at(kRunBestFirst, n, m);
    w.run_best_x = run_best.x;
    w.run_best_f = run_best.f;
    w.run_best_g = run_best.g;
    w.run_best_res = run_best.res;
    w.oracle = n + m + 12;
    w.a0 = n + m + 13;
    w.af = w.a0 + n * capacity;
    w.ar = w.af + capacity;
    w.ap = w.ar + capacity;
    w.c0 = w.ap + capacity;
    w.w0 = w.ap + 2 * capacity + 1;
    w.s0 = w.w0 + capacity;
    return w;
  }

  bool operator==(const WorkArea&) const = default;

  // The run-best record as one record.
  RecordPositions run_best() const {
    return RecordPositions{run_best_x, run_best_f, run_best_g, run_best_res};
  }

  ArchivePositions archive() const { return ArchivePositions{n, a0, af, ar, ap}; }
  Index weight(Index j) const { return w0 + j - 1; }     // w_j, j = 1 .. K
  Index cumulative(Index j) const { return c0 + j; }     // c_j, j = 0 .. K
  Index spread(Index i) const { return s0 + i - 1; }     // sigma_i
  Index generation_reference() const { return s0 + n; }  // penalty to beat
  Index cycle_start_f() const { return s0 + n + 1; }     // run-best F at the cycle start
  Index cycle_start_res() const { return s0 + n + 2; }   // run-best residual then
};

// The colony's cells in IW (1-based); L is the block size, N the variables.
namespace iw_cell {
inline constexpr Index kArchiveSize = 1;          // k, 2 .. 100
inline constexpr Index kRestartCount = 2;         // restart cycles begun in this kernel run
inline constexpr Index kAnts = 3;                 // ants in the current generation
inline constexpr Index kGeneration = 4;           // generation counter of the cycle
inline constexpr Index kAntsGenerated = 5;        // ants generated in this generation
inline constexpr Index kBaseAnts = 6;             // base ant count of the cycle
inline constexpr Index kSecondAnts = 7;           // second ant count of the cycle
inline constexpr Index kScheduleLength = 8;       // schedule length of the cycle
inline constexpr Index kFocusDivisor = 10;        // focus divisor
inline constexpr Index kGenerationImproved = 13;  // last generation improved the archive best
inline constexpr Index kCurrentVariable = 30;     // variable the coordinate search moves
inline constexpr Index kBlockImproved = 31;       // last judged block improved member 1
// Local-acceptance flag of point i of the block.
inline Index local_acceptance(Index i) { return 31 + i; }
// Position j of the coordinate search's visiting order.
inline Index visiting_order(Index l, Index j) { return l + 31 + j; }
// Exhausted flag of variable j.
inline Index exhausted(Index l, Index n, Index j) { return l + n + 31 + j; }
}  // namespace iw_cell

}  // namespace kestro::kernel
