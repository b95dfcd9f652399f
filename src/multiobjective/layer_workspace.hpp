// Where the multi-objective layer keeps its per-objective values in the
// caller's real workspace.
//
// The workspace partition reserves U = L + N + M + 2O + 200 spare values in
// each region besides the values it names. The layer uses the spare values
// of three regions, so storage for any number of objectives is already paid
// for by the workspace check:
//
//   objective row of the kernel (region 4):  fblock(1..L), then the offer's
//                                            scratch: ranges (O), max entries (O)
//   front minima (region 5):                 objlo(1..O), then the user
//                                            weights (O), the random weights (O)
//   front maxima (region 6):                 objhi(1..O), then the objective
//                                            vector of the driver's best point (O)
#pragma once

#include <cstdint>

#include "core/view.hpp"
#include "core/workspace_layout.hpp"

namespace kestro::multiobjective {

// Lengths of the parts of each region the layer and its kernel use.
struct LayerRegionLengths {
  Index pen, res, gblock, fblock, objlo, objhi, step, dist, dist2;

  static LayerRegionLengths for_sizes(std::int64_t l, std::int64_t o, std::int64_t n,
                                      std::int64_t m) {
    const Wide points = l > 0 ? l : 0;
    const Wide objectives = o > 0 ? o : 0;
    const Wide row = m + 2 * Wide(objectives);
    LayerRegionLengths r;
    r.pen = r.res = r.dist = r.dist2 = saturate_index(points);
    r.gblock = saturate_index(points * (row > 0 ? row : 0) + 1);
    r.fblock = saturate_index(points + 2 * objectives);
    r.objlo = saturate_index(3 * objectives);
    r.objhi = saturate_index(2 * objectives);
    r.step = saturate_index(n > 0 ? n : 0);
    return r;
  }
};

// The layer's per-objective arrays inside the regions.
struct LayerArrays {
  RealView objlo, objhi;
  RealView weights, random_weights;
  RealView best_objectives;
  RealView ranges, max_entries;

  static LayerArrays in_regions(RealView fblock, RealView objlo, RealView objhi, std::int64_t l,
                                std::int64_t o) {
    const Index points = l > 0 ? l : 0;
    LayerArrays a;
    a.objlo = objlo.slice(1, o);
    a.weights = objlo.slice(o + 1, o);
    a.random_weights = objlo.slice(2 * o + 1, o);
    a.objhi = objhi.slice(1, o);
    a.best_objectives = objhi.slice(o + 1, o);
    a.ranges = fblock.slice(points + 1, o);
    a.max_entries = fblock.slice(points + o + 1, o);
    return a;
  }

  // Every array is there with its O values.
  bool complete(std::int64_t o) const {
    for (const RealView* v :
         {&objlo, &objhi, &weights, &random_weights, &best_objectives, &ranges, &max_entries})
      if (v->size() != o) return false;
    return true;
  }
};

}  // namespace kestro::multiobjective
