#include "report/history.hpp"

#include <exception>

#include "core/workspace_layout.hpp"
#include "report/array_reads.hpp"
#include "report/row_values.hpp"

namespace kestro::report {
namespace {

constexpr const char* kFileHeader =
    "('###################################################',/,"
    "'### This file contains the history of solutions ###',/,"
    "'###################################################',/,"
    "'### SOLUTION FORMAT:  F(1:O)  G(1:M)  X(1:N)    ###',/,"
    "'###################################################',/,"
    "'#',/,'#        O         M         N  ',/,'#')";
constexpr const char* kSizes = "(3I10)";
constexpr const char* kHistoryTitle =
    "(/,'#',/,'#        SOLUTION HISTORY (in chronological order)',/,'#')";

// One row: the O objective values from `f`, the M constraint values from
// `g` and the N variables from `x`, starting after the given offsets.
void write_row(OutputUnits& units, int unit, const HistoryArguments& a, ConstRealView f,
               Index f_offset, ConstRealView g, Index g_offset, ConstRealView x, Index x_offset) {
  for (Index k = 1; k <= a.o; ++k) write_row_value(units, unit, value_or_nan(f, f_offset + k));
  for (Index c = 1; c <= a.m; ++c) write_row_value(units, unit, value_or_nan(g, g_offset + c));
  for (Index v = 1; v <= a.n; ++v) write_row_value(units, unit, value_or_nan(x, x_offset + v));
  end_row(units, unit);
}

// Keeps X(1..L*N) for the next call. The buffer takes the size of the block
// on the first call of a run and is not reallocated while the sizes stay.
void keep_block(HistoryState& state, ConstRealView x) {
  try {
    state.x_prev.assign(x.data(), x.data() + x.size());
  } catch (const std::exception&) {
    state.x_prev.clear();  // no room: the next rows show NaN for these points
  }
}

}  // namespace

void save_history(OutputUnits& units, HistoryState& state, const HistoryArguments& a) {
  // Advance the cycle; any call with IFLAG = 0 starts a new one.
  if (a.iflag == 0) {
    state.hist_count = 1;
  } else {
    const long long next = static_cast<long long>(state.hist_count) + 1;
    state.hist_count = next > a.save2file ? 1 : static_cast<std::int32_t>(next);
  }

  const ConstRealView x_prev(state.x_prev.data(), static_cast<Index>(state.x_prev.size()));
  if (state.hist_count == 1) {
    // Start of a cycle: the old file disappears, a new one gets the header.
    units.open(a.unit, kHistoryName);
    units.close(a.unit, /*delete_file=*/true);
    units.open(a.unit, kHistoryName);
    units.write(a.unit, kFileHeader);
    units.write(a.unit, kSizes, {a.o, a.m, a.n});
    units.write(a.unit, kHistoryTitle);
  } else if (state.hist_count == 2) {
    // The first point of the previous block with F and G of this call; on
    // the final call F and G belong to the best point, now in X(1..N).
    write_row(units, a.unit, a, a.f, 0, a.g, 0, a.istop > 0 ? a.x : x_prev, 0);
  } else {
    const Index o = count_of(a.o), m = count_of(a.m), n = count_of(a.n);
    for (Index row = 0; row < a.l; ++row) {
      if (a.istop > 0)
        write_row(units, a.unit, a, a.f, 0, a.g, 0, a.x, 0);
      else
        write_row(units, a.unit, a, a.f, row * o, a.g, row * m, x_prev, row * n);
    }
  }

  keep_block(state, a.x);
  units.flush(a.unit);
  if (a.istop > 0) units.close(a.unit);
}

}  // namespace kestro::report
