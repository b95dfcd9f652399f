// Which objectives take no part in the dominance test of the front and get
// no random weight.
#pragma once

#include "core/view.hpp"

namespace kestro::multiobjective {

// Either a caller's integer flags (1 = ignored), as the exported routines
// receive them, or the driver's rule: with a negative PARETOMAX and a
// fractional BALANCE every objective whose user weight is 0 is ignored. The
// driver's rule needs no storage of its own, since the weights are fixed for
// a run.
class IgnoredObjectives {
 public:
  static IgnoredObjectives from_flags(ConstIntView flags) {
    IgnoredObjectives i;
    i.flags_ = flags;
    i.by_flags_ = true;
    return i;
  }
  static IgnoredObjectives zero_weights(ConstRealView weights, bool active) {
    IgnoredObjectives i;
    i.weights_ = weights;
    i.active_ = active;
    return i;
  }

  bool operator()(Index k) const {
    if (by_flags_) return flags_[k] == 1;
    return active_ && weights_[k] <= 0.0;
  }

 private:
  ConstIntView flags_;
  ConstRealView weights_;
  bool by_flags_ = false;
  bool active_ = false;
};

}  // namespace kestro::multiobjective
