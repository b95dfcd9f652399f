// The C entries of the search kernel, one per routine.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include "abi/default_context.hpp"
#include "abi/internal_routines.h"
#include "core/numeric.hpp"
#include "core/param_positions.hpp"
#include "core/random.hpp"
#include "core/workspace_layout.hpp"
#include "interface/context.hpp"
#include "kernel/archive.hpp"
#include "kernel/bookkeeping.hpp"
#include "kernel/bounds_profile.hpp"
#include "kernel/colony_step.hpp"
#include "kernel/coordinate_search.hpp"
#include "kernel/deviate.hpp"
#include "kernel/kernel_records.hpp"
#include "kernel/main_loop.hpp"
#include "kernel/outer_restart.hpp"
#include "kernel/pattern_moves.hpp"
#include "kernel/pattern_search.hpp"
#include "kernel/preset_state.hpp"
#include "kernel/preset_tables.hpp"
#include "kernel/presets.hpp"
#include "kernel/residual.hpp"
#include "kernel/sampling.hpp"
#include "kernel/validation.hpp"
#include "kernel/work_area.hpp"
#include "kestro.h"

namespace {

kestro::Index count(int value) { return value > 0 ? value : 0; }

kestro::kernel::ArchivePositions positions(const int* n, const int* a0, const int* af,
                                           const int* ar, const int* ap) {
  return kestro::kernel::ArchivePositions{count(*n), *a0, *af, *ar, *ap};
}

}  // namespace

// Oracle penalty of one point against the oracle value OMEGA.
extern "C" void o27_(double* pen, const double* f, const double* res, const double* omega,
                     const double* acc) {
  *pen = kestro::kernel::oracle_penalty(*f, *res, *omega, *acc);
}

// Offers the point to the archive; it goes in when it beats the worst member.
extern "C" void o36_(const int* n, const int* k, double* rw, const int* lrw, const int* a0,
                     const int* af, const int* ar, const int* ap, const double* xp,
                     const double* fp, const double* resp, const double* penp) {
  kestro::kernel::insert_into_archive(kestro::RealView(rw, *lrw), positions(n, a0, af, ar, ap), *k,
                                      kestro::ConstRealView(xp, count(*n)), *fp, *resp, *penp);
}

// Local acceptance of point I of the block against archive member 1.
extern "C" void o13_(const int* l, const int* i, const int* n, double* rw, const int* lrw, int* iw,
                     const int* liw, const int* a0, const int* af, const int* ar, const int* ap,
                     const double* xp, const double* fp, const double* resp, const double* penp,
                     const int* preset_i) {
  kestro::kernel::accept_locally(kestro::RealView(rw, *lrw), positions(n, a0, af, ar, ap),
                                 kestro::IntView(iw, *liw), *l, *i,
                                 kestro::ConstRealView(xp, count(*n)), *fp, *resp, *penp,
                                 kestro::ConstIntView(preset_i, kestro::kPresetIntegerCount));
}

namespace {

using kestro::ConstIntView;
using kestro::ConstRealView;
using kestro::Index;
using kestro::IntView;
using kestro::RealView;

// A view of RW wide enough for positions first .. first+count-1 of each
// range, for routines whose RW has no declared length: the ranges their
// arguments name are what they may touch. Empty when a range starts before
// RW(1).
struct Extent {
  Index end = 0;
  bool valid = true;
  void cover(Index first, Index cells) {
    if (cells <= 0) return;
    if (first < 1) valid = false;
    end = std::max(end, first + cells - 1);
  }
  RealView over(double* rw) const { return valid ? RealView(rw, end) : RealView(); }
};

}  // namespace

// Residual (constraint violation) of one point's M constraint values.
extern "C" void o31_(double* res, const double* g, const int* m, const int* me, const double* acc) {
  *res = kestro::kernel::residual(ConstRealView(g, count(*m)), count(*m), *me, *acc);
}

// Replaces the global-best record after RW(BASE) by the point when it is better.
extern "C" void i401_(const double* f, const double* g, const double* x, double* rw, const int* pf,
                      const int* pg, const int* px, const int* pr, const int* n, const int* m,
                      const int* me, const int* base, const double* acc, int* flag) {
  const Index b = *base;
  const kestro::RecordPositions record{b + *px, b + *pf, b + *pg, b + *pr};
  Extent extent;
  extent.cover(record.f, 1);
  extent.cover(record.res, 1);
  extent.cover(record.x, count(*n));
  extent.cover(record.g, count(*m));
  const bool replaced = kestro::kernel::update_global_best(
      extent.over(rw), record, ConstRealView(x, count(*n)), *f, ConstRealView(g, count(*m)),
      count(*n), count(*m), *me, *acc);
  *flag = replaced ? 1 : 0;
}

// Copies the best of the block's L points into every slot of the block.
extern "C" void k22_(const int* l, const int* n, const int* m, const int* me, double* f, double* g,
                     double* x, const double* acc) {
  kestro::kernel::pick_best_start_point(*l, *n, *m, *me, RealView(f, count(*l)),
                                        RealView(g, kestro::block_length(*l, *m)),
                                        RealView(x, kestro::block_length(*l, *n)), *acc);
}

// Makes the point's integer variables pairwise different, with IW(IWK ..
// IWK+N-1) as scratch and the generator in RW(1..2).
extern "C" void i409_(const int* n, const int* ni, double* x, const double* xl, const double* xu,
                      double* rw, int* iw, const int* iwk) {
  const Index variables = count(*n);
  const Index scratch_end = *iwk >= 1 ? static_cast<Index>(*iwk) + variables - 1 : 0;
  kestro::kernel::make_integers_all_different(
      *n, *ni, RealView(x, variables), ConstRealView(xl, variables), ConstRealView(xu, variables),
      RealView(rw, 2), IntView(iw, scratch_end), *iwk);
}

// Writes the linear rank weights of K archive members to RW(BASE) .. RW(BASE+K-1).
extern "C" void o37_(const int* k, double* rw, const void* /*unused*/, const int* base) {
  Extent extent;
  extent.cover(*base, count(*k));
  kestro::kernel::write_rank_weights(extent.over(rw), *base, *k);
}

// Work-area positions of the run-best record, oracle, archive, weights and spreads.
extern "C" void o34_(const int* n, const int* m, int* run_best_x, int* run_best_f, int* run_best_g,
                     int* run_best_res, int* oracle, const int* k, int* a0, int* af, int* ar,
                     int* ap, int* w0, int* s0, int* c0, int* generation_reference,
                     int* cycle_start_f, int* cycle_start_res) {
  using kestro::saturate_int;
  const auto w = kestro::kernel::WorkArea::for_sizes(*n, *m, *k);
  *run_best_x = saturate_int(w.run_best_x);
  *run_best_f = saturate_int(w.run_best_f);
  *run_best_g = saturate_int(w.run_best_g);
  *run_best_res = saturate_int(w.run_best_res);
  *oracle = saturate_int(w.oracle);
  *a0 = saturate_int(w.a0);
  *af = saturate_int(w.af);
  *ar = saturate_int(w.ar);
  *ap = saturate_int(w.ap);
  *w0 = saturate_int(w.w0);
  *s0 = saturate_int(w.s0);
  *c0 = saturate_int(w.c0);
  *generation_reference = saturate_int(w.generation_reference());
  *cycle_start_f = saturate_int(w.cycle_start_f());
  *cycle_start_res = saturate_int(w.cycle_start_res());
}

// IW positions of the restart counter, ant count, archive size, generation
// counter, ants generated, base and second ant counts and schedule length.
extern "C" void o33_(int* restart_count, int* ants, int* archive_size, int* generation,
                     int* ants_generated, int* base_ants, int* second_ants, int* schedule_length) {
  namespace cell = kestro::kernel::iw_cell;
  *restart_count = static_cast<int>(cell::kRestartCount);
  *ants = static_cast<int>(cell::kAnts);
  *archive_size = static_cast<int>(cell::kArchiveSize);
  *generation = static_cast<int>(cell::kGeneration);
  *ants_generated = static_cast<int>(cell::kAntsGenerated);
  *base_ants = static_cast<int>(cell::kBaseAnts);
  *second_ants = static_cast<int>(cell::kSecondAnts);
  *schedule_length = static_cast<int>(cell::kScheduleLength);
}

namespace {

using namespace kestro;

// The C ABI's view of one colony-step call.
kernel::ColonyCall colony_call_from_arguments(const int* l, const int* n, const int* ni,
                                              const int* m, const int* me, double* x, double* f,
                                              double* g, const double* xl, const double* xu,
                                              const double* acc, int* state, const int* final_call,
                                              double* rw, const int* lrw, int* iw, const int* liw,
                                              const int* k, const double* oracle,
                                              const double* param, double* pen, double* res,
                                              const double* preset_r, const int* preset_i) {
  const Index points = *l > 0 ? *l : 0;
  const Index variables = *n > 0 ? *n : 0;
  return kernel::ColonyCall{*l,
                            *n,
                            *ni,
                            *m,
                            *me,
                            RealView(x, block_length(*l, *n)),
                            RealView(f, points),
                            RealView(g, block_length(*l, *m)),
                            ConstRealView(xl, variables),
                            ConstRealView(xu, variables),
                            *acc,
                            *state,
                            *final_call,
                            RealView(rw, *lrw),
                            IntView(iw, *liw),
                            *k,
                            *oracle,
                            ConstRealView(param, param::kCount),
                            RealView(pen, points),
                            RealView(res, points),
                            ConstRealView(preset_r, kPresetRealCount),
                            ConstIntView(preset_i, kPresetIntegerCount)};
}

}  // namespace

// Colony step: books the evaluated block and writes the next one.
extern "C" void o11_(const int* l, const int* n, const int* ni, const int* m, const int* me,
                     double* x, double* f, double* g, const double* xl, const double* xu,
                     const double* acc, int* /*cell1*/, int* /*cell2*/, int* state,
                     const int* final_call, double* rw, const int* lrw, int* iw, const int* liw,
                     const int* k, const double* oracle, const double* param, double* pen,
                     double* res, const double* preset_r, const int* preset_i) {
  auto call =
      colony_call_from_arguments(l, n, ni, m, me, x, f, g, xl, xu, acc, state, final_call, rw, lrw,
                                 iw, liw, k, oracle, param, pen, res, preset_r, preset_i);
  auto& kernel_state = abi::default_context().solver.kernel;
  kernel::colony_step(kernel_state.colony, kernel_state.coordinate_search, call);
}

// New restart cycle: ant counts, archive size, schedule, oracle and an empty
// archive.
extern "C" void o26_(const int* n, double* rw, const int* lrw, const int* run_best_f,
                     const int* run_best_res, const int* oracle, const double* acc, const int* af,
                     const int* ar, const int* ap, int* iw, const int* liw,
                     const int* restart_count, const int* archive_size, const int* base_ants,
                     const int* second_ants, const int* schedule_length, const double* oracle_in,
                     const double* param, const double* preset_r, const int* preset_i) {
  const kernel::CycleCells cells{
      *n,  *run_best_f,    *run_best_res, *oracle,    *af,          *ar,
      *ap, *restart_count, *archive_size, *base_ants, *second_ants, *schedule_length};
  kernel::choose_cycle_parameters(
      abi::default_context().solver.kernel.colony, cells, RealView(rw, *lrw), IntView(iw, *liw),
      *acc, *oracle_in, ConstRealView(param, param::kCount),
      ConstRealView(preset_r, kPresetRealCount), ConstIntView(preset_i, kPresetIntegerCount));
}

// Ant count of the current generation by the step schedule.
extern "C" void o29_(int* iw, const int* liw, const int* generation, const int* ants,
                     const int* base_ants, const int* second_ants, const int* schedule_length) {
  kernel::schedule_ants(IntView(iw, *liw), kernel::ScheduleCells{*generation, *ants, *base_ants,
                                                                 *second_ants, *schedule_length});
}

// Writes the next move of the coordinate search and updates the kernel state
// code and the run-out flag.
extern "C" void o32_(const int* l, const int* n, const int* ni, double* xp, const double* xl,
                     const double* xu, const int* a0, const int* s0, double* rw, const int* lrw,
                     int* iw, const int* liw, int* state, int* run_out, const double* preset_r,
                     const int* preset_i) {
  using namespace kestro;
  const Index length = *n > 0 ? *n : 0;
  const kernel::VariableBox box{*n, *ni, ConstRealView(xl, length), ConstRealView(xu, length)};
  kernel::coordinate_search_move(
      abi::default_context().solver.kernel.coordinate_search, *run_out, *state, *l, box,
      RealView(xp, length), RealView(rw, *lrw), IntView(iw, *liw), *a0, *s0,
      ConstRealView(preset_r, kPresetRealCount), ConstIntView(preset_i, kPresetIntegerCount));
}

// Writes a random perturbation of archive member 1.
extern "C" void o24_(const int* n, const int* ni, double* xp, const double* xl, const double* xu,
                     double* rw, const int* lrw, const int* iw, const int* liw,
                     const int* generation_cell, const int* compared, const int* a0,
                     const double* preset_r) {
  using namespace kestro;
  const ConstIntView cells(iw, *liw);
  if (!cells.holds(*generation_cell)) return;
  const Index length = *n > 0 ? *n : 0;
  const kernel::VariableBox box{*n, *ni, ConstRealView(xl, length), ConstRealView(xu, length)};
  kernel::perturb_archive_best(box, RealView(xp, length), RealView(rw, *lrw),
                               cells[*generation_cell], *compared, *a0,
                               ConstRealView(preset_r, kPresetRealCount));
}

// The Gaussian deviate of two uniform numbers.
extern "C" double o16_(const double* u1, const double* u2) {
  return kestro::kernel::deviate(*u1, *u2);
}

// EVALSTOP accounting for one evaluated point (IFLAG = 0: take it as the reference).
extern "C" void i405_(const double* f, const double* g, const int* m, const int* me,
                      const double* acc, const double* param, int* istop, int* iflag) {
  kestro::kernel::evalstop_account(kestro::abi::default_context().solver.kernel.evalstop, *f,
                                   kestro::ConstRealView(g, *m > 0 ? *m : 0), *m, *me, *acc,
                                   kestro::ConstRealView(param, kestro::param::kCount), *istop,
                                   *iflag);
}

// Single-objective kernel: books the evaluated block and returns the next.
extern "C" void o15_(const int* l, const int* o, const int* n, const int* ni, const int* m,
                     const int* me, double* x, double* f, double* g, const double* xl,
                     const double* xu, int* iflag, int* istop, const double* param, double* rw,
                     const int* lrw, int* iw, const int* liw, double* pen, double* res,
                     double* step) {
  using namespace kestro;
  const Index points = *l > 0 ? *l : 0;
  const Index variables = *n > 0 ? *n : 0;
  kernel::KernelCall call{*l,
                          *o,
                          *n,
                          *ni,
                          *m,
                          *me,
                          RealView(x, block_length(*l, *n)),
                          RealView(f, points),
                          RealView(g, block_length(*l, *m)),
                          ConstRealView(xl, variables),
                          ConstRealView(xu, variables),
                          *iflag,
                          *istop,
                          ConstRealView(param, param::kCount),
                          RealView(rw, *lrw),
                          IntView(iw, *liw),
                          RealView(pen, points),
                          RealView(res, points),
                          RealView(step, variables)};
  kernel::run_kernel_call(abi::default_context().solver.kernel, call);
}

namespace {

// Fills the 33 multipliers of a stage for characters 1 and 2; leaves them
// untouched for any other character.
void fill_multiplier_row(std::int32_t stage, const int* character, double* multipliers) {
  using namespace kestro;
  kernel::fill_block_size_multipliers(stage, *character, RealView(multipliers, kPresetValueCount));
}

}  // namespace

// Adjusts a 33-value preset for blocks of L points and clamps it into range.
extern "C" void t5_(const int* stage, const int* character, const int* l, double* buffer) {
  using namespace kestro;
  kernel::adjust_for_block_size(*stage, *character, *l, RealView(buffer, kPresetValueCount));
}

// Fills the stage-1 block-size multipliers of the character.
extern "C" void io13_(const int* character, double* multipliers) {
  fill_multiplier_row(1, character, multipliers);
}

// Fills the stage-2 block-size multipliers of the character.
extern "C" void io12_(const int* character, double* multipliers) {
  fill_multiplier_row(2, character, multipliers);
}

namespace {

using kestro::Index;
using kestro::RealView;

// `count` cells of RW from the 1-based position `first`; empty when the
// position is below 1 or there is nothing to view.
RealView rw_cells(double* rw, int first, Index count) {
  if (rw == nullptr || first < 1 || count <= 0) return RealView();
  return RealView(rw + (first - 1), count);
}

kestro::ConstRealView rw_cells(const double* rw, int first, Index count) {
  if (rw == nullptr || first < 1 || count <= 0) return kestro::ConstRealView();
  return kestro::ConstRealView(rw + (first - 1), count);
}

Index non_negative(int v) { return v > 0 ? v : 0; }

kestro::kernel::PatternSearchState& saved_state() {
  return kestro::abi::default_context().solver.kernel.pattern_search;
}

}  // namespace

// Best-point test of the pattern search.
extern "C" void i412_(const double* merit, const double* f, const double* xp, const double* gp,
                      double* best_merit, double* rw, const int* base_x, const int* base_g,
                      const int* base_f, const int* n, const int* m, int* improved,
                      double* prev_best) {
  using namespace kestro;
  *improved = 0;
  const Index nv = non_negative(*n), mv = non_negative(*m);
  if (*base_x < 1 || *base_g < 1 || *base_f < 1) return;
  RealView f_cell = rw_cells(rw, *base_f, 1);
  if (f_cell.empty()) return;
  *improved = kernel::is_new_base_point(*merit, *f, ConstRealView(xp, nv), ConstRealView(gp, mv),
                                        nv, mv, *best_merit, rw_cells(rw, *base_x, nv),
                                        rw_cells(rw, *base_g, mv), f_cell[1], *prev_best);
}

// Step update after a trial on a continuous variable.
extern "C" void i417_(const int* d, const int* improved, const int* c, double* rw, const int* steps,
                      int* success_count, const int* p, const double* min_step) {
  using namespace kestro;
  if (rw == nullptr) return;
  LaggedGenerator generator(rw);
  kernel::update_step(*d, *improved, *c, rw_cells(rw, *steps, non_negative(*c)), *success_count, *p,
                      *min_step, generator);
}

// Exploratory trial point of the pattern search.
extern "C" void i402_(double* xp, const double* rw, const int* d, const int* c, const int* steps,
                      const int* n, const int* base_x, const int* improved, const int* pos,
                      const int* p) {
  using namespace kestro;
  const Index nv = non_negative(*n);
  if (*steps < 1 || *base_x < 1 || rw == nullptr || nv == 0) return;
  kernel::exploratory_trial(RealView(xp, nv), rw_cells(rw, *base_x, nv), rw_cells(rw, *steps, nv),
                            nv, *d, *c, *improved, *pos, *p, saved_state().previous_variable);
}

// Random point around the base point of the pattern search.
extern "C" void ol002_(double* xp, const int* n, double* rw, const int* steps, const int* base_x) {
  using namespace kestro;
  const Index nv = non_negative(*n);
  if (*steps < 1 || *base_x < 1 || rw == nullptr || nv == 0) return;
  LaggedGenerator generator(rw);
  kernel::random_point_around_base(RealView(xp, nv), nv, rw_cells(rw, *base_x, nv),
                                   rw_cells(rw, *steps, nv), generator);
}

// Pattern point i of a pattern block.
extern "C" void k19_(double* rw, const int* steps, int* done, const int* base_x,
                     int* pattern_blocks, int* stall_count, const int* f_plus, const int* f_minus,
                     double* xp, int* c, int* phase, const int* n, const int* ni, const int* i,
                     const int* block_improved, const double* tolerance, const double* preset_r,
                     const int* preset_i) {
  using namespace kestro;
  const Index nv = non_negative(*n);
  if (*steps < 1 || *base_x < 1 || *f_plus < 1 || *f_minus < 1 || rw == nullptr) return;
  const kernel::PatternCells cells{rw_cells(rw, *steps, nv), rw_cells(rw, *base_x, nv),
                                   rw_cells(rw, *f_plus, nv), rw_cells(rw, *f_minus, nv)};
  const kernel::PatternCounters counters{*done, *pattern_blocks, *stall_count,
                                         *c,    *phase,          saved_state().pattern_factor};
  LaggedGenerator generator(rw);
  kernel::pattern_point(RealView(xp, nv), nv, *ni, *i, *block_improved, *tolerance,
                        ConstRealView(preset_r, kPresetRealCount),
                        ConstIntView(preset_i, kPresetIntegerCount), cells, counters, generator);
}

// One draw, and the near-integer push when it exceeds 0.99.
extern "C" void io18_(double* xp, const int* n, const int* ni, double* rw) {
  using namespace kestro;
  if (rw == nullptr) return;
  LaggedGenerator generator(rw);
  const Index nv = non_negative(*n);
  kernel::maybe_nudge_near_integers(RealView(xp, nv), nv, *ni, generator);
}

// One call of the pattern-search phase.
extern "C" void i408_(const int* l, const int* n, const int* ni, const int* m, const int* me,
                      double* x, double* f, double* g, const double* xl, const double* xu,
                      int* phase, int* done, const double* step, const double* t1, const double* t2,
                      double* rw, int* iw, const double* acc, const double* preset_r,
                      const int* preset_i) {
  using namespace kestro;
  const Index variables = *n > 0 ? *n : 0;
  const Index rw_cells =
      (*n > 0 && *m >= 0) ? kernel::PatternSearchLayout::for_sizes(*n, *m).last() : 0;
  const kernel::PatternSearchCall call{*l,
                                       *n,
                                       *ni,
                                       *m,
                                       *me,
                                       RealView(x, block_length(*l, *n)),
                                       RealView(f, *l > 0 ? *l : 0),
                                       RealView(g, block_length(*l, *m)),
                                       ConstRealView(xl, variables),
                                       ConstRealView(xu, variables),
                                       *phase,
                                       *done,
                                       ConstRealView(step, variables),
                                       *t1,
                                       *t2,
                                       RealView(rw, rw_cells),
                                       IntView(iw, variables),
                                       *acc,
                                       ConstRealView(preset_r, kPresetRealCount),
                                       ConstIntView(preset_i, kPresetIntegerCount)};
  kernel::run_pattern_search_call(abi::default_context().solver.kernel.pattern_search, call);
}

namespace {

// Fills the 33-value buffer with the row of a stage table for characters 1
// to 3; leaves it untouched for any other character.
void fill_stage_row(std::int32_t stage, const int* character, double* buffer) {
  using namespace kestro;
  kernel::fill_stage_values(stage, *character, RealView(buffer, kPresetValueCount));
}

}  // namespace

// Selects the preset of a stage for the problem's character, adjusts it for
// the block size and installs it, unless the application guard refuses.
extern "C" void o17_(const int* l, const int* n, const int* ni, double* preset_r, int* preset_i,
                     const double* param, const int* stage, const int* kernel_calls) {
  using namespace kestro;
  const double character = ConstRealView(param, param::kCount)[param::kCharacter];
  const kernel::PresetRequest request{*l, *n, *ni, character, *stage, *kernel_calls};
  kernel::install_preset(RealView(preset_r, kPresetRealCount),
                         IntView(preset_i, kPresetIntegerCount),
                         abi::default_context().solver.kernel.preset.application_count, request);
}

// Fills the buffer with the stage-1 preset of the character.
extern "C" void o3_(const int* character, double* buffer) { fill_stage_row(1, character, buffer); }

// Fills the buffer with the stage-2 preset of the character.
extern "C" void o4_(const int* character, double* buffer) { fill_stage_row(2, character, buffer); }

// Fills the buffer with the stage-3 preset of the character.
extern "C" void o5_(const int* character, double* buffer) { fill_stage_row(3, character, buffer); }

namespace {

using kestro::ConstIntView;
using kestro::ConstRealView;
using kestro::kPresetIntegerCount;
using kestro::kPresetRealCount;
using kestro::RealView;
using kestro::kernel::VariableBox;

VariableBox box_of(const int* n, const int* ni, const double* xl, const double* xu) {
  const kestro::Index length = *n > 0 ? *n : 0;
  return VariableBox{*n, *ni, ConstRealView(xl, length), ConstRealView(xu, length)};
}

RealView point_of(double* x, const int* n) { return RealView(x, *n > 0 ? *n : 0); }

ConstRealView preset_r_of(const double* preset_r) {
  return ConstRealView(preset_r, kPresetRealCount);
}

}  // namespace

// Writes the per-variable spreads of the current generation.
extern "C" void o21_(const int* n, const int* ni, double* rw, const int* lrw, const int* s0,
                     const int* a0, const int* iw, const int* liw, const int* k_cell,
                     const int* generation_cell, const double* preset_r, const int* preset_i) {
  const ConstIntView cells(iw, *liw);
  if (!cells.holds(*k_cell) || !cells.holds(*generation_cell)) return;
  kestro::kernel::compute_spreads(*n, *ni, RealView(rw, *lrw), *s0, *a0, cells[*k_cell],
                                  cells[*generation_cell], preset_r_of(preset_r),
                                  ConstIntView(preset_i, kPresetIntegerCount));
}

// Samples one point from the archive of k members.
extern "C" void o28_(const int* n, const int* ni, const int* k, double* x, const double* xl,
                     const double* xu, double* rw, const int* lrw, const int* a0, const int* s0,
                     const int* c0, const double* preset_r) {
  kestro::kernel::sample_from_archive(box_of(n, ni, xl, xu), point_of(x, n), RealView(rw, *lrw), *k,
                                      *a0, *s0, *c0, preset_r_of(preset_r));
}

// Samples one point around the run-best point with the scale (XU - XL)/focus.
extern "C" void o35_(const int* n, const int* ni, double* x, const double* xl, const double* xu,
                     double* rw, const int* lrw, const int* best_x, const double* focus,
                     const double* preset_r) {
  kestro::kernel::sample_around_best(box_of(n, ni, xl, xu), point_of(x, n), RealView(rw, *lrw),
                                     *best_x, *focus, preset_r_of(preset_r));
}

// Samples one point around the run-best point with the focus divisor IW(10).
extern "C" void o23_(const int* n, const int* ni, double* rw, const int* lrw, const int* iw,
                     const int* liw, const int* compared, const int* a0, const int* best_x,
                     double* x, const double* xl, const double* xu, const double* focus,
                     const double* preset_r) {
  using kestro::kernel::iw_cell::kFocusDivisor;
  const ConstIntView cells(iw, *liw);
  if (!cells.holds(kFocusDivisor)) return;
  kestro::kernel::sample_focused_restart(box_of(n, ni, xl, xu), point_of(x, n), RealView(rw, *lrw),
                                         cells[kFocusDivisor], *compared, *a0, *best_x, *focus,
                                         preset_r_of(preset_r));
}

// Samples one point uniformly in the box.
extern "C" void o30_(const int* n, const int* ni, double* x, const double* xl, const double* xu,
                     double* rw, const int* lrw) {
  kestro::kernel::sample_uniform(box_of(n, ni, xl, xu), point_of(x, n), RealView(rw, *lrw));
}

// Moves an all-integer point off the archive member it duplicates.
extern "C" void o10_(const int* n, const int* ni, double* x, const double* xl, const double* xu,
                     double* rw, const int* lrw) {
  kestro::kernel::repair_integer_duplicate(box_of(n, ni, xl, xu), point_of(x, n),
                                           RealView(rw, *lrw));
}
