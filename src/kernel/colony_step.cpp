#include "kernel/colony_step.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/kernel_codes.hpp"
#include "core/numeric.hpp"
#include "core/param_positions.hpp"
#include "core/preset_names.hpp"
#include "core/random.hpp"
#include "core/workspace_layout.hpp"
#include "kernel/archive.hpp"
#include "kernel/bookkeeping.hpp"
#include "kernel/coordinate_search.hpp"
#include "kernel/residual.hpp"
#include "kernel/sampling.hpp"
#include "kernel/work_area.hpp"

namespace kestro::kernel {
namespace {

using namespace iw_cell;
using namespace state_code;

class Step {
 public:
  Step(ColonyState& colony, CoordinateSearchState& search, ColonyCall& c)
      : colony_(colony), search_(search), c_(c), area_(colony.area) {}

  void run() {
    if (!call_fits()) return;
    if (c_.state >= 0) {
      begin_kernel_run();
    } else {
      book_block();
      if (c_.state == kTargetMet) return;
    }
    decide();
  }

 private:
  ColonyState& colony_;
  CoordinateSearchState& search_;
  ColonyCall& c_;
  WorkArea& area_;

  // The sizes make sense and every array holds what the step may touch: the
  // kernel guarantees this after validation, a direct call may not.
  bool call_fits() const {
    if (c_.l < 1 || c_.n < 1 || c_.ni < 0 || c_.ni > c_.n || c_.m < 0 || c_.me < 0 ||
        c_.me > c_.m || c_.archive_capacity < kArchiveCapacity)
      return false;
    const WorkArea area = WorkArea::for_sizes(c_.n, c_.m, c_.archive_capacity);
    if (c_.state < 0 && !(area == area_)) return false;  // another kernel run's layout
    const Index l = c_.l;
    return c_.rw.holds(1, area.cycle_start_res()) &&
           c_.iw.holds(1, iw_cell::exhausted(l, c_.n, c_.n)) && c_.x.holds(1, l * c_.n) &&
           c_.f.holds(1, l) && c_.g.holds(1, l * c_.m) && c_.pen.holds(1, l) &&
           c_.res.holds(1, l) && c_.xl.holds(1, c_.n) && c_.xu.holds(1, c_.n) &&
           c_.param.holds(1, param::kCount) && c_.preset_r.holds(1, kPresetRealCount) &&
           c_.preset_i.holds(1, kPresetIntegerCount);
  }

  double fstop() const { return c_.param[param::kFstop]; }
  VariableBox box() const { return VariableBox{c_.n, c_.ni, c_.xl, c_.xu}; }
  LaggedGenerator generator() const { return LaggedGenerator(&c_.rw[1]); }
  ConstRealView point_x(Index i) const { return c_.x.slice((i - 1) * c_.n + 1, c_.n); }
  RealView point_x_mut(Index i) const { return c_.x.slice((i - 1) * c_.n + 1, c_.n); }
  ConstRealView point_g(Index i) const { return c_.g.slice((i - 1) * c_.m + 1, c_.m); }

  // The run-best record in RW.
  RecordView run_best() const { return RecordView::in(c_.rw, area_.run_best(), c_.n, c_.m); }

  // Makes point i the run-best point with the given residual.
  void take_as_run_best(Index i, double residual_value) {
    copy_record(RecordView::point(i, c_.x, c_.f, c_.g, c_.n, c_.m), run_best());
    c_.rw[area_.run_best_res] = residual_value;
  }

  bool meets_target(double f, double residual_value) const {
    return fstop() != 0 && f <= fstop() && residual_value <= c_.acc;
  }

  void begin_kernel_run() {
    colony_.area = WorkArea::for_sizes(c_.n, c_.m, c_.archive_capacity);
    const double first_residual = residual(point_g(1), c_.m, c_.me, c_.acc);
    take_as_run_best(1, first_residual);
    c_.res[1] = first_residual;
    if (meets_target(c_.f[1], first_residual)) c_.state = kTargetMet;
  }

  // Books every point of the returned block: residual, penalty, archive or
  // local acceptance, run-best point and the objective target.
  void book_block() {
    const bool from_search = from_coordinate_search(c_.state);
    for (Index i = 1; i <= c_.l; ++i) {
      const double fi = c_.f[i];
      double res_i = 0.0, pen_i = fi;
      if (c_.m >= 1) {
        res_i = residual(point_g(i), c_.m, c_.me, c_.acc);
        pen_i = oracle_penalty(fi, res_i, c_.rw[area_.oracle], c_.acc);
      }
      c_.res[i] = res_i;
      c_.pen[i] = pen_i;
      if (from_search)
        accept_locally(c_.rw, area_.archive(), c_.iw, c_.l, i, point_x(i), fi, res_i, pen_i,
                       c_.preset_i);
      else
        insert_into_archive(c_.rw, area_.archive(), c_.iw[kArchiveSize], point_x(i), fi, res_i,
                            pen_i);
      const double best_res = c_.rw[area_.run_best_res];
      if (res_i < best_res || (res_i == best_res && fi < c_.rw[area_.run_best_f])) {
        take_as_run_best(i, res_i);
        if (meets_target(fi, res_i)) {
          c_.state = kTargetMet;
          return;
        }
      }
    }
  }

  bool run_best_failed() const {
    return is_failed_point(c_.rw[area_.run_best_f], &c_.rw[area_.run_best_g], c_.m);
  }

  // What happens next, until a block is ready or the call ends.
  enum class Next { kDecide, kRestart, kLocalSearch, kNewGeneration, kGenerate, kSearch, kDone };

  void decide() {
    Next next = Next::kDecide;
    while (next != Next::kDone) {
      switch (next) {
        case Next::kDecide: next = decision(); break;
        case Next::kRestart: next = restart(); break;
        case Next::kLocalSearch: next = local_search_decision(); break;
        case Next::kNewGeneration: next = new_generation(); break;
        case Next::kGenerate: next = generate(); break;
        case Next::kSearch: next = coordinate_search_block(); break;
        case Next::kDone: break;
      }
    }
  }

  Next decision() {
    if (c_.final_call != 0) {
      copy_record(run_best(), RecordView::point(1, c_.x, c_.f, c_.g, c_.n, c_.m, c_.res));
      c_.state = c_.res[1] > c_.acc ? 1 : 0;
      return Next::kDone;
    }
    if (c_.state == kGenerationComplete) {
      const double reference = c_.rw[area_.generation_reference()];
      const double best_penalty = c_.rw[area_.archive().pen(1)];
      if (best_penalty <
          reference - std::fabs(reference) / preset(c_.preset_r, PresetReal::kGenerationMargin)) {
        c_.iw[kGenerationImproved] = 1;
        c_.rw[area_.generation_reference()] = best_penalty;
      } else {
        c_.iw[kGenerationImproved] = 0;
      }
    }
    const std::int64_t limit = std::min<std::int64_t>(
        preset(c_.preset_i, PresetInteger::kGenerationLimitCap),
        std::int64_t{c_.n} * preset(c_.preset_i, PresetInteger::kGenerationLimitFactor) + 2);
    if (c_.iw[kGeneration] >= limit) {
      c_.state = kNewCycle;
      return Next::kRestart;
    }
    if (c_.state == kGenerationComplete) {
      c_.state = kSearchStart;
      return Next::kLocalSearch;
    }
    switch (c_.state) {
      case kGenerationPoints: return Next::kGenerate;
      case kNewGeneration: c_.state = kGenerationPoints; return Next::kGenerate;
      case kNewCycle:
        if (c_.iw[kAntsGenerated] >= c_.iw[kAnts]) {
          c_.state = kSearchStart;
          return Next::kLocalSearch;
        }
        c_.state = kGenerationPoints;
        return Next::kGenerate;
      case kSearchStart: c_.state = kSearchMove; return Next::kLocalSearch;
      case kSearchPassDone: c_.state = kNewGeneration; return Next::kNewGeneration;
      default: break;
    }
    if (c_.state <= kSearchMove && c_.state >= kSearchPerturbed) return Next::kLocalSearch;
    if (c_.state < kRanOutBelow || c_.state == kFirstCall) c_.state = kNewCycle;
    return Next::kRestart;  // any other value restarts keeping the state
  }

  Next local_search_decision() {
    if (c_.iw[kGenerationImproved] == 1 || c_.iw[kGeneration] == 1 || run_best_failed()) {
      c_.state = kNewGeneration;
      return Next::kNewGeneration;
    }
    if (c_.state < kSearchStart) {
      if (c_.iw[kBlockImproved] == 1) {
        c_.state = kNewGeneration;
        return Next::kNewGeneration;
      }
      if (c_.state == kSearchPerturbed) {
        c_.state = kSearchExhausted;
        return Next::kDecide;
      }
    }
    return Next::kSearch;
  }

  Next coordinate_search_block() {
    for (Index i = 1; i <= c_.l; ++i) {
      if (c_.l > 1) c_.iw[kBlockImproved] = 0;
      coordinate_search_move(search_, search_.run_out, c_.state, c_.l, box(), point_x_mut(i), c_.rw,
                             c_.iw, area_.a0, area_.s0, c_.preset_r, c_.preset_i);
      if (c_.state == kSearchStart && c_.l > 1) c_.state = kSearchMove;
      if (search_.run_out != 0 && i > 1) {
        perturb_archive_best(box(), point_x_mut(i), c_.rw, c_.iw[kGeneration], 1, area_.a0,
                             c_.preset_r);
        c_.state = kSearchPerturbed;
        search_.run_out = 0;
      }
    }
    return search_.run_out == 0 ? Next::kDone : Next::kDecide;
  }

  Next restart() {
    c_.iw[kRestartCount] = c_.iw[kRestartCount] + 1;
    c_.iw[kGeneration] = 0;
    choose_cycle_parameters(colony_, CycleCells::of(area_), c_.rw, c_.iw, c_.acc, c_.oracle,
                            c_.param, c_.preset_r, c_.preset_i);
    write_rank_weight_table(c_.rw, area_.c0, area_.w0, c_.iw[kArchiveSize]);
    search_.run_out = 0;
    c_.rw[area_.cycle_start_f()] = c_.rw[area_.run_best_f];
    c_.rw[area_.cycle_start_res()] = c_.rw[area_.run_best_res];
    if (c_.iw[kRestartCount] == 1) {
      // The first cycle of a kernel run starts its archive with the point
      // that started the run.
      const double penalty =
          c_.m < 1 ? c_.f[1] : oracle_penalty(c_.f[1], c_.res[1], c_.rw[area_.oracle], c_.acc);
      c_.pen[1] = penalty;
      insert_into_archive(c_.rw, area_.archive(), c_.iw[kArchiveSize], point_x(1), c_.f[1],
                          c_.res[1], penalty);
    }
    return Next::kNewGeneration;
  }

  Next new_generation() {
    c_.iw[kGeneration] = c_.iw[kGeneration] + 1;
    c_.iw[kAntsGenerated] = 0;
    compute_spreads(c_.n, c_.ni, c_.rw, area_.s0, area_.a0, c_.iw[kArchiveSize], c_.iw[kGeneration],
                    c_.preset_r, c_.preset_i);
    if (c_.param[param::kAnts] > 0)
      c_.iw[kAnts] = c_.iw[kBaseAnts];
    else
      schedule_ants(c_.iw, ScheduleCells::standard());
    c_.rw[area_.generation_reference()] =
        c_.iw[kGeneration] == 1 ? large_value() : c_.rw[area_.archive().pen(1)];
    return Next::kGenerate;
  }

  Next generate() {
    const double focus = c_.param[param::kFocus];
    for (Index i = 1; i <= c_.l; ++i) {
      c_.iw[kAntsGenerated] = c_.iw[kAntsGenerated] + 1;
      const RealView xp = point_x_mut(i);
      if (c_.iw[kGeneration] == 1) {
        if (c_.iw[kFocusDivisor] < 2) {
          if (focus != 0)
            sample_around_best(box(), xp, c_.rw, area_.run_best_x, std::fabs(focus), c_.preset_r);
          else
            sample_uniform(box(), xp, c_.rw);
        } else {
          sample_focused_restart(box(), xp, c_.rw, c_.iw[kFocusDivisor], 1, area_.a0,
                                 area_.run_best_x, std::fabs(focus), c_.preset_r);
        }
      } else {
        sample_from_archive(box(), xp, c_.rw, c_.iw[kArchiveSize], area_.a0, area_.s0, area_.c0,
                            c_.preset_r);
      }
    }
    if (c_.iw[kAntsGenerated] >= c_.iw[kAnts] && c_.state != kNewCycle)
      c_.state = kGenerationComplete;
    return Next::kDone;
  }
};

}  // namespace

CycleCells CycleCells::of(const WorkArea& area) {
  using namespace iw_cell;
  return CycleCells{area.n,       area.run_best_f, area.run_best_res, area.oracle,
                    area.af,      area.ar,         area.ap,           kRestartCount,
                    kArchiveSize, kBaseAnts,       kSecondAnts,       kScheduleLength};
}

void choose_cycle_parameters(ColonyState& colony, const CycleCells& cells, RealView rw, IntView iw,
                             double acc, double oracle_in, ConstRealView param,
                             ConstRealView preset_r, ConstIntView preset_i) {
  using iw_cell::kFocusDivisor;
  const Index capacity_needed = kArchiveCapacity;
  const bool cells_inside =
      rw.holds(1, 2) && rw.holds(cells.run_best_f) && rw.holds(cells.run_best_res) &&
      rw.holds(cells.oracle) && rw.holds(cells.af, capacity_needed) &&
      rw.holds(cells.ar, capacity_needed) && rw.holds(cells.ap, capacity_needed) &&
      iw.holds(cells.restart_count) && iw.holds(cells.archive_size) && iw.holds(cells.base_ants) &&
      iw.holds(cells.second_ants) && iw.holds(cells.schedule_length) && iw.holds(kFocusDivisor);
  if (!cells_inside) return;

  LaggedGenerator generator(&rw[1]);
  const double r1 = generator.draw();
  const double r2 = generator.draw();
  const double r3 = generator.draw();
  const double focus = param[param::kFocus], ants = param[param::kAnts],
               kernel = param[param::kKernel];

  // Focus divisor: none in the first cycle, then growing with every widened
  // restart (or fixed by a negative FOCUS).
  if (iw[cells.restart_count] < 2) {
    iw[kFocusDivisor] = 0;
    colony.widened_restarts = 0;
  } else {
    colony.widened_restarts = colony.widened_restarts + 1;
    const double v =
        std::min(std::pow(static_cast<double>(preset(preset_i, PresetInteger::kFocusBase)),
                          static_cast<double>(colony.widened_restarts)),
                 1e9);
    const std::int32_t divisor = trunc_to_int(v);
    iw[kFocusDivisor] = divisor;
    if (focus < 0 && divisor != 0) iw[kFocusDivisor] = nint(std::fabs(focus));
  }

  std::int64_t base_ants = 2 * std::int64_t{nint(cells.n * r1)};
  if (ants >= 2) base_ants = nint(ants);
  if (base_ants < preset(preset_i, PresetInteger::kMinAnts))
    base_ants = preset(preset_i, PresetInteger::kMinAnts);
  if (base_ants > preset(preset_i, PresetInteger::kMaxAnts))
    base_ants = preset(preset_i, PresetInteger::kMaxAnts);
  iw[cells.base_ants] = static_cast<std::int32_t>(base_ants);

  std::int32_t k = nint(iw[cells.base_ants] * r2);
  if (kernel >= 2) k = nint(kernel);
  if (k < 2) k = 2;
  if (k > kArchiveCapacity) k = kArchiveCapacity;
  iw[cells.archive_size] = k;

  iw[cells.second_ants] =
      iw[cells.base_ants] +
      preset(preset_i, PresetInteger::kSecondAntsMultiplier) * nint(iw[cells.base_ants] * r3);
  iw[cells.schedule_length] = nint(k * preset(preset_r, PresetReal::kScheduleLengthFactor));

  // The oracle of the cycle: the value handed in, or the run-best F when the
  // run-best point is feasible and below it.
  rw[cells.oracle] = oracle_in;
  if (rw[cells.run_best_res] <= acc && rw[cells.run_best_f] < oracle_in)
    rw[cells.oracle] = rw[cells.run_best_f];
  for (Index j = 1; j <= k; ++j) {
    rw[cells.ar + j - 1] = kEmptySlotResidual;
    rw[cells.af + j - 1] = kEmptySlotF;
    rw[cells.ap + j - 1] = kEmptySlotPenalty;
  }
}

ScheduleCells ScheduleCells::standard() {
  using namespace iw_cell;
  return ScheduleCells{kGeneration, kAnts, kBaseAnts, kSecondAnts, kScheduleLength};
}

void schedule_ants(IntView iw, const ScheduleCells& cells) {
  if (!iw.holds(cells.generation) || !iw.holds(cells.ants) || !iw.holds(cells.base_ants) ||
      !iw.holds(cells.second_ants) || !iw.holds(cells.schedule_length))
    return;
  const std::int64_t g = iw[cells.generation], e = iw[cells.schedule_length];
  const std::int64_t base = iw[cells.base_ants], second = iw[cells.second_ants];
  std::int64_t ants = (g == 1 && e == 1) ? second : base;
  if (g <= e && e >= 2) {
    ants = base +
           trunc_to_int(static_cast<double>(g - 1) / static_cast<double>(e - 1)) * (second - base);
  } else if (g > e && g < 2 * e) {
    ants = 2 * (second + trunc_to_int(static_cast<double>(g) / (2.0 * e)) * (base - second));
  }
  iw[cells.ants] = saturate_int(ants);
}

void colony_step(ColonyState& colony, CoordinateSearchState& search, ColonyCall& call) {
  Step(colony, search, call).run();
}

}  // namespace kestro::kernel
