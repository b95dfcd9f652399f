// The saved state of the library, field by field, for the checkpoint file.
//
// One visiting function per structure lists every field in a fixed order;
// the same list serves writing, reading and the layout identity. The
// static_asserts pin the size of each structure: adding a field breaks the
// build here until it is added to the list below. The sizes are those of
// 64-bit platforms (LP64 and LLP64); elsewhere the list is trusted as it is.
#pragma once

#include <cstdint>
#include <vector>

#include "interface/context.hpp"

namespace kestro::checkpoint {

#if UINTPTR_MAX == UINT64_MAX
static_assert(sizeof(RunSizes) == 36, "RunSizes changed: update the checkpoint fields");
static_assert(sizeof(RegionStarts) == 72, "RegionStarts changed: update the checkpoint fields");
static_assert(sizeof(InterfaceState) == 112,
              "InterfaceState changed: update the checkpoint fields");
static_assert(sizeof(kernel::PresetState) == 208,
              "PresetState changed: update the checkpoint fields");
static_assert(sizeof(kernel::EvalstopState) == 32,
              "EvalstopState changed: update the checkpoint fields");
static_assert(sizeof(kernel::CoordinateSearchState) == 40,
              "CoordinateSearchState changed: update the checkpoint fields");
static_assert(sizeof(kernel::WorkArea) == 120, "WorkArea changed: update the checkpoint fields");
static_assert(sizeof(kernel::ColonyState) == 128,
              "ColonyState changed: update the checkpoint fields");
static_assert(sizeof(kernel::PatternSearchState) == 96,
              "PatternSearchState changed: update the checkpoint fields");
static_assert(sizeof(kernel::KernelState) == 680,
              "KernelState changed: update the checkpoint fields");
static_assert(sizeof(multiobjective::LayerShape) == 20,
              "LayerShape changed: update the checkpoint fields");
static_assert(sizeof(multiobjective::DriverState) == 144,
              "DriverState changed: update the checkpoint fields");
static_assert(sizeof(multiobjective::FrontStoreState) == 24,
              "FrontStoreState changed: update the checkpoint fields");
static_assert(sizeof(multiobjective::WeightSwitchState) == 24,
              "WeightSwitchState changed: update the checkpoint fields");
static_assert(sizeof(multiobjective::SteeringState) == 4,
              "SteeringState changed: update the checkpoint fields");
static_assert(sizeof(multiobjective::StandaloneOfferScratch) == 16000,
              "StandaloneOfferScratch changed: update the checkpoint fields");
static_assert(sizeof(multiobjective::MultiObjectiveState) == 16200,
              "MultiObjectiveState changed: update the checkpoint fields");
static_assert(sizeof(SolverState) == 16992, "SolverState changed: update the checkpoint fields");
static_assert(sizeof(report::RecordPositions) == 32,
              "RecordPositions changed: update the checkpoint fields");
static_assert(sizeof(report::ControllerState) == 208,
              "ControllerState changed: update the checkpoint fields");
static_assert(sizeof(report::HistoryState) == 32,
              "HistoryState changed: update the checkpoint fields");
static_assert(sizeof(report::OutputUnits::Snapshot) == 48,
              "OutputUnits::Snapshot changed: update the checkpoint fields");
#endif

// An archive `a` is called as a(value) for a scalar, a(array) for a fixed
// array and a(vector) for a std::vector<double>.

template <class A>
void fields(A& a, RunSizes& s) {
  a(s.l), a(s.o), a(s.n), a(s.ni), a(s.m), a(s.me), a(s.lrw), a(s.liw), a(s.lpf);
}

template <class A>
void fields(A& a, RegionStarts& s) {
  a(s.pen_base), a(s.res_base), a(s.gblock_base), a(s.fblock_base), a(s.objlo_base),
      a(s.objhi_base), a(s.step_base), a(s.dist_base), a(s.dist2_base);
}

template <class A>
void fields(A& a, InterfaceState& s) {
  a(s.run_started);
  fields(a, s.sizes);
  fields(a, s.regions);
}

template <class A>
void fields(A& a, kernel::PresetState& s) {
  a(s.preset_r), a(s.preset_i), a(s.application_count);
}

template <class A>
void fields(A& a, kernel::EvalstopState& s) {
  a(s.evalstop_count), a(s.evalstop_tol), a(s.evalstop_ref_f), a(s.evalstop_ref_res);
}

template <class A>
void fields(A& a, kernel::CoordinateSearchState& s) {
  a(s.position), a(s.tries), a(s.direction), a(s.step), a(s.integer_try_limit), a(s.variable),
      a(s.run_out);
}

template <class A>
void fields(A& a, kernel::WorkArea& s) {
  a(s.n), a(s.m), a(s.capacity), a(s.run_best_x), a(s.run_best_f), a(s.run_best_g),
      a(s.run_best_res), a(s.oracle), a(s.a0), a(s.af), a(s.ar), a(s.ap), a(s.c0), a(s.w0), a(s.s0);
}

template <class A>
void fields(A& a, kernel::ColonyState& s) {
  fields(a, s.area);
  a(s.widened_restarts);
}

template <class A>
void fields(A& a, kernel::PatternSearchState& s) {
  a(s.points), a(s.best_merit), a(s.variable), a(s.direction), a(s.position), a(s.saved_position),
      a(s.saved_direction), a(s.first_point_of_block), a(s.success_count), a(s.pattern_blocks),
      a(s.stall_count), a(s.reference_merit), a(s.booked_merit), a(s.merit_weight),
      a(s.pattern_factor), a(s.previous_variable);
}

template <class A>
void fields(A& a, kernel::KernelState& s) {
  a(s.kernel_calls), a(s.preset_stage), a(s.kernel_ready), a(s.warning_pending), a(s.warning_code),
      a(s.acc), a(s.kernel_state_code), a(s.cycle_count), a(s.search_active), a(s.search_disabled),
      a(s.search_fail_count), a(s.search_calls), a(s.search_start_f), a(s.search_start_res),
      a(s.search_phase_code), a(s.search_done), a(s.algostop_count), a(s.algostop_ref_f),
      a(s.algostop_ref_res), a(s.algostop_limit), a(s.restart_pending), a(s.evalstop_switch),
      a(s.archive_size), a(s.best_base), a(s.iw_kernel_len);
  fields(a, s.validated_sizes);
  fields(a, s.preset);
  fields(a, s.evalstop);
  fields(a, s.coordinate_search);
  fields(a, s.colony);
  fields(a, s.pattern_search);
}

template <class A>
void fields(A& a, multiobjective::LayerShape& s) {
  a(s.l), a(s.o), a(s.n), a(s.m), a(s.me);
}

template <class A>
void fields(A& a, multiobjective::DriverState& s) {
  a(s.initialised);
  fields(a, s.shape);
  a(s.mo_calls), a(s.front_shift), a(s.offered_count), a(s.accuracy), a(s.front_epsilon),
      a(s.front_capacity), a(s.psize), a(s.steer_started), a(s.best_scalar), a(s.best_residual),
      a(s.weight_mode), a(s.balance), a(s.balance_negative), a(s.ignore_zero_weights),
      a(s.random_shift), a(s.bounds_changed), a(s.relative_bound_change);
}

template <class A>
void fields(A& a, multiobjective::MultiObjectiveState& s) {
  fields(a, s.driver);
  a(s.front.crowd_mode), a(s.front.crowd_mindist), a(s.front.crowd_row), a(s.front.crowd_col);
  a(s.weight_switch.switch_best1), a(s.weight_switch.switch_best2), a(s.weight_switch.stall_count),
      a(s.weight_switch.stall_prev);
  a(s.steering.steer_count);
  a(s.standalone_scratch.ranges), a(s.standalone_scratch.max_entries);
}

template <class A>
void fields(A& a, SolverState& s) {
  fields(a, s.interface);
  fields(a, s.kernel);
  fields(a, s.multiobjective);
}

template <class A>
void fields(A& a, report::RecordPositions& s) {
  a(s.x), a(s.f), a(s.g), a(s.res);
}

// t_start is not listed: the file keeps the elapsed time instead, since the
// CPU clock of another process starts from another reading.
template <class A>
void fields(A& a, report::ControllerState& s) {
  a(s.l), a(s.timediv), a(s.time), a(s.eval), a(s.print_count), a(s.maxtime_s), a(s.accuracy),
      a(s.pmax), a(s.shown_f), a(s.shown_res), a(s.file_best_f), a(s.file_best_res), a(s.shown_x),
      a(s.shown_g), a(s.shown_from_record);
  fields(a, s.run_best);
  fields(a, s.global_best);
}

template <class A>
void fields(A& a, report::HistoryState& s) {
  a(s.hist_count), a(s.x_prev);
}

template <class A>
void fields(A& a, report::OutputUnits::Snapshot& s) {
  a(s.open), a(s.pending), a(s.clear_before_write), a(s.file_name), a(s.length);
}

}  // namespace kestro::checkpoint
