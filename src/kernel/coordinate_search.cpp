#include "kernel/coordinate_search.hpp"

#include <algorithm>
#include <cmath>

#include "core/kernel_codes.hpp"
#include "core/numeric.hpp"
#include "core/preset_names.hpp"
#include "core/random.hpp"
#include "kernel/deviate.hpp"
#include "kernel/preset_state.hpp"
#include "kernel/work_area.hpp"

namespace kestro::kernel {
namespace {

double clip(double v, double lo, double hi) {
  if (v < lo) v = lo;
  if (v > hi) v = hi;
  return v;
}

class CoordinateSearch {
 public:
  // clang-format off
  CoordinateSearch(CoordinateSearchState& saved, std::int32_t& run_out,
                   std::int32_t& state_code, Index l, const VariableBox& box, RealView xp,
                   RealView rw, IntView iw, Index a0, Index s0, ConstRealView preset_r,
                   ConstIntView preset_i)
      : saved_(saved), run_out_(run_out), code_(state_code), l_(l), box_(box), xp_(xp),
        rw_(rw), iw_(iw), a0_(a0), s0_(s0), preset_r_(preset_r), preset_i_(preset_i),
        // clang-format on
        generator_(&rw[1]) {}

  void run() {
    if (code_ == state_code::kSearchStart) start_pass();
    if (iw_[iw_cell::kBlockImproved] == 0)
      try_again();
    else
      next_variable();
  }

 private:
  Index n() const { return box_.n; }
  Index order(Index j) const { return iw_cell::visiting_order(l_, j); }
  Index exhausted(Index c) const { return iw_cell::exhausted(l_, n(), c); }
  double member(Index i) const { return rw_[a0_ + i - 1]; }

  // The variable at position `pos` of the visiting order; 0 when there is no
  // such position or its entry names no variable.
  Index variable_at(Index pos) const {
    if (pos < 1 || pos > n()) return 0;
    const Index c = iw_[order(pos)];
    return (c >= 1 && c <= n()) ? c : 0;
  }

  // A new visiting order by an inside-out shuffle, no variable exhausted.
  void start_pass() {
    saved_.position = 0;
    for (Index j = 1; j <= n(); ++j) {
      const double r = generator_.draw();
      Index t = trunc_to_int(static_cast<double>(j) * r);
      // A draw of exactly 1 would pick the slot just past the filled part.
      if (t > j - 1) t = j - 1;
      if (t < 0) t = 0;
      iw_[order(j)] = iw_[order(t + 1)];
      iw_[order(t + 1)] = static_cast<int>(j);
    }
    iw_[iw_cell::kBlockImproved] = 1;
    for (Index j = 1; j <= n(); ++j) iw_[exhausted(j)] = 0;
  }

  // The previous move failed: the opposite direction with a shorter step,
  // while the current variable has tries left.
  void try_again() {
    const double min_step = 1.0 / (10.0 * preset(preset_i_, PresetInteger::kSearchMinimumStep));
    saved_.step =
        std::max(min_step, saved_.step / preset(preset_r_, PresetReal::kSearchStepShrink));
    saved_.direction = -saved_.direction;
    if (saved_.tries < INT32_MAX) saved_.tries = saved_.tries + 1;
    const Index c = variable_at(saved_.position);
    if (c != 0) {
      saved_.variable = static_cast<std::int32_t>(c);
      iw_[iw_cell::kCurrentVariable] = static_cast<int>(c);
      const std::int32_t limit = box_.is_integer(c)
                                     ? saved_.integer_try_limit
                                     : preset(preset_i_, PresetInteger::kSearchTries);
      if (saved_.tries <= limit && std::fabs(box_.xl[c] - box_.xu[c]) > 1e-12) return move(c);
      iw_[exhausted(c)] = 1;
    }
    // Without a current variable (no pass begun) the search takes the first.
    if (saved_.position < n()) return next_variable();
    end_pass();
  }

  void next_variable() {
    for (;;) {
      saved_.position = saved_.position + 1;
      if (saved_.position > n()) return end_pass();
      const Index c = variable_at(saved_.position);
      if (c == 0) continue;  // an entry that names no variable is passed over
      saved_.tries = 1;
      saved_.variable = static_cast<std::int32_t>(c);
      iw_[iw_cell::kCurrentVariable] = static_cast<int>(c);
      if (box_.is_integer(c))
        saved_.integer_try_limit = (member(c) == box_.xl[c] || member(c) == box_.xu[c]) ? 1 : 2;
      const double r = generator_.draw();
      saved_.direction = r < 0.5 ? -1 : 1;
      saved_.step = std::sqrt(rw_[s0_ + c - 1]);
      return move(c);
    }
  }

  // Member 1 with variable c moved by the current direction and step.
  void move(Index c) {
    for (Index i = 1; i <= n(); ++i) xp_[i] = member(i);
    const double lo = box_.xl[c];
    const double hi = box_.xu[c];
    double v;
    if (box_.is_integer(c)) {
      v = member(c) + saved_.direction;
      if (v < lo) v = lo + 1.0;
      if (v > hi) v = hi - 1.0;
    } else {
      v = member(c) + saved_.step * saved_.direction;
    }
    v = clip(v, lo, hi);
    xp_[c] = box_.is_integer(c) ? anint(v) : v;
    code_ = (saved_.position == 1 && saved_.tries == 1) ? state_code::kSearchStart
                                                        : state_code::kSearchMove;
  }

  void end_pass() {
    code_ = state_code::kSearchPassDone;
    for (Index j = 1; j <= n(); ++j)
      if (iw_[exhausted(j)] != 1) return;
    run_out_ = 1;
    code_ = state_code::kSearchExhausted;
  }

  CoordinateSearchState& saved_;
  std::int32_t& run_out_;
  std::int32_t& code_;
  Index l_;
  const VariableBox& box_;
  RealView xp_;
  RealView rw_;
  IntView iw_;
  Index a0_, s0_;
  ConstRealView preset_r_;
  ConstIntView preset_i_;
  LaggedGenerator generator_;
};

}  // namespace

void coordinate_search_move(CoordinateSearchState& saved, std::int32_t& run_out,
                            std::int32_t& state_code, Index l, const VariableBox& box, RealView xp,
                            RealView rw, IntView iw, Index a0, Index s0, ConstRealView preset_r,
                            ConstIntView preset_i) {
  const Index n = box.n;
  if (!box.complete() || l < 1 || !xp.holds(1, n) || !rw.holds(1, 2) || !rw.holds(a0, n) ||
      !rw.holds(s0, n) || !iw.holds(iw_cell::kCurrentVariable) ||
      !iw.holds(iw_cell::kBlockImproved) || !iw.holds(iw_cell::visiting_order(l, 1), 2 * n))
    return;
  CoordinateSearch(saved, run_out, state_code, l, box, xp, rw, iw, a0, s0, preset_r, preset_i)
      .run();
}

void perturb_archive_best(const VariableBox& box, RealView xp, RealView rw, Index g, Index compared,
                          Index a0, ConstRealView preset_r) {
  const Index n = box.n;
  const bool check_duplicates = box.all_integer() && compared >= 1;
  if (!box.complete() || !xp.holds(1, n) || !rw.holds(1, 2) || !rw.holds(a0, n) ||
      (check_duplicates && !rw.holds(a0, compared * n)))
    return;
  LaggedGenerator generator(&rw[1]);
  const double g_squared = static_cast<double>(g) * static_cast<double>(g);
  for (Index i = 1; i <= n; ++i) {
    if (box.is_integer(i)) continue;
    const double x = rw[a0 + i - 1];
    if (generator.draw() <= 0.25) {
      xp[i] = x;
    } else {
      const double r2 = generator.draw();
      const double r3 = generator.draw();
      xp[i] = x + deviate(r2, r3) * (box.xu[i] - box.xl[i]) / g_squared;
    }
  }
  for (Index i = 1; i <= n; ++i) {
    if (!box.is_integer(i)) continue;
    const double x = rw[a0 + i - 1];
    double v = x;
    if (generator.draw() > 0.75) v = generator.draw() > 0.5 ? x - 1.0 : x + 1.0;
    xp[i] = clip(v, box.xl[i], box.xu[i]);
  }
  const double r = generator.draw();
  for (Index i = 1; i <= n; ++i)
    if (!box.is_integer(i)) xp[i] = handle_bound(xp[i], box.xl[i], box.xu[i], r, preset_r);
  if (!check_duplicates) return;
  for (Index j = 1; j <= compared; ++j) {
    if (equals_archive_member(xp, rw, n, a0, j)) {
      sample_uniform(box, xp, rw);
      return;
    }
  }
}

}  // namespace kestro::kernel
