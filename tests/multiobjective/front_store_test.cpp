// The Pareto front store: duplicates, dominance with its tolerance,
// compaction, the outlier test, the full front, bounds and front_shift,
// extreme pruning, and the removal of one entry.
#include <cmath>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "abi/internal_routines.h"
#include "multiobjective/front_store.hpp"
#include "support/guarded.hpp"

namespace {

using kestro::ConstIntView;
using kestro::ConstRealView;
using kestro::RealView;
using kestro::testing::Guarded;
namespace mo = kestro::multiobjective;

constexpr double kLarge = 1e98;

// A front of O objectives, no constraints and one variable, which holds an
// identifying number for each entry.
struct Front {
  int o, capacity;
  Guarded<double> objectives, variables;
  std::vector<double> lo, hi, ranges, max_entries;
  std::vector<int> ignored;
  int psize = 0;
  double shift = 0.0;
  int offered = 2;  // the tolerance is then half of EPSILON
  double epsilon = 0.001;
  int changed = 0;
  double relative = 0.0;
  int added = -1;
  mo::FrontStoreState state;

  Front(int objectives_count, int capacity_entries)
      : o(objectives_count),
        capacity(capacity_entries),
        objectives(static_cast<std::size_t>(objectives_count * capacity_entries), -7.0),
        variables(static_cast<std::size_t>(capacity_entries), -7.0),
        lo(o, kLarge),
        hi(o, -kLarge),
        ranges(o),
        max_entries(o),
        ignored(o, 0) {}

  double& f(int j, int k) { return objectives[static_cast<std::size_t>((j - 1) * o + k - 1)]; }
  double id(int j) { return variables[static_cast<std::size_t>(j - 1)]; }

  // Puts the entries on the front directly, with ids 1, 2, ... and the
  // bounds they span; the crowding scan has not run yet.
  void set(std::initializer_list<std::vector<double>> entries) {
    psize = 0;
    for (const auto& e : entries) {
      ++psize;
      for (int k = 1; k <= o; ++k) f(psize, k) = e[k - 1];
      variables[static_cast<std::size_t>(psize - 1)] = psize;
    }
    for (int k = 1; k <= o; ++k) {
      lo[k - 1] = kLarge;
      hi[k - 1] = -kLarge;
      for (int j = 1; j <= psize; ++j) {
        lo[k - 1] = std::min(lo[k - 1], f(j, k));
        hi[k - 1] = std::max(hi[k - 1], f(j, k));
      }
    }
  }

  void offer(std::vector<double> point, double id) {
    mo::FrontBlocks blocks;
    blocks.o = o;
    blocks.m = 0;
    blocks.n = 1;
    blocks.objectives = RealView(objectives.data(), o * capacity);
    blocks.variables = RealView(variables.data(), capacity);
    // clang-format off
    mo::OfferCall call{blocks,
                       psize,
                       capacity,
                       epsilon,
                       RealView(lo.data(), o),
                       RealView(hi.data(), o),
                       shift,
                       offered,
                       mo::IgnoredObjectives::from_flags(ConstIntView(ignored.data(), o)),
                       changed,
                       relative,
                       added,
                       mo::OfferScratch{RealView(ranges.data(), o), RealView(max_entries.data(), o)}};
    mo::offer_point(state, mo::OfferedPoint{ConstRealView(point.data(), o), ConstRealView(),
                                            ConstRealView(&id, 1)},
                    call);
    // clang-format on
  }

  // The ids of the entries, slot by slot.
  std::vector<double> ids() {
    std::vector<double> v;
    for (int j = 1; j <= psize; ++j) v.push_back(id(j));
    return v;
  }
  std::vector<double> entry(int j) {
    std::vector<double> v;
    for (int k = 1; k <= o; ++k) v.push_back(f(j, k));
    return v;
  }
  bool intact() const { return objectives.guards_intact() && variables.guards_intact(); }
};

// Everything an offer may change, to show that a refused point changed nothing.
struct Snapshot {
  std::vector<double> objectives, variables, lo, hi;
  int psize;
  double shift;
  int changed;
  explicit Snapshot(Front& f) : psize(f.psize), shift(f.shift), changed(f.changed) {
    for (int i = 0; i < f.o * f.capacity; ++i) objectives.push_back(f.objectives[i]);
    for (int i = 0; i < f.capacity; ++i) variables.push_back(f.variables[i]);
    lo = f.lo;
    hi = f.hi;
  }
  bool operator==(const Snapshot&) const = default;
};

TEST(FrontOffer, FirstOfferWritesEntryOneAndLowersTheShiftByTwicePerObjective) {
  // Through the exported routine, with one constraint and two variables.
  const int o = 3, n = 2, m = 1, capacity = 4, offered = 1;
  Guarded<double> objectives(o * capacity, 0.0), constraints(m * capacity, 0.0),
      variables(n * capacity, 0.0);
  double f[3] = {1.0, -2.0, 3.5}, g[1] = {0.25}, x[2] = {4.0, 5.0};
  double lo[3] = {kLarge, kLarge, kLarge}, hi[3] = {-kLarge, -kLarge, -kLarge};
  double shift = 0.0, epsilon = 0.01, relative = -1.0;
  int ignored[3] = {0, 0, 0}, psize = 0, changed = 0, added = -1;
  i410_(&o, &n, &m, f, g, x, objectives.data(), constraints.data(), variables.data(), &psize,
        &capacity, &epsilon, lo, hi, &shift, &offered, ignored, &changed, &relative, &added);
  EXPECT_EQ(psize, 1);
  EXPECT_EQ(added, 1);
  for (int k = 0; k < o; ++k) {
    EXPECT_EQ(objectives[k], f[k]);
    EXPECT_EQ(lo[k], f[k]);
    EXPECT_EQ(hi[k], f[k]);
  }
  EXPECT_EQ(constraints[0], 0.25);
  EXPECT_EQ(variables[0], 4.0);
  EXPECT_EQ(variables[1], 5.0);
  EXPECT_EQ(shift, -2.0 * o);  // every bound left LARGE
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(relative, 0.0);
  EXPECT_TRUE(objectives.guards_intact() && constraints.guards_intact() &&
              variables.guards_intact());
}

struct DuplicateCase {
  std::string name;
  int entries;
  double offset;  // added to the first objective of entry 1
};

void PrintTo(const DuplicateCase& c, std::ostream* os) { *os << c.name; }

class Duplicates : public ::testing::TestWithParam<DuplicateCase> {};

TEST_P(Duplicates, AreRefusedAndChangeNothing) {
  const DuplicateCase& dc = GetParam();
  Front front(2, 8);
  if (dc.entries == 1)
    front.set({{3, 3}});
  else if (dc.entries == 2)
    front.set({{3, 3}, {1, 6}});
  else
    front.set({{3, 3}, {1, 6}, {0, 10}, {6, 1}, {10, 0}});
  const Snapshot before(front);
  front.offer({3 + dc.offset, 3}, 99);
  EXPECT_EQ(front.added, 0);
  EXPECT_TRUE(Snapshot(front) == before);
  EXPECT_TRUE(front.intact());
}

INSTANTIATE_TEST_SUITE_P(Table, Duplicates,
                         ::testing::Values(
                             // With one entry the dominance sweep refuses the copy: it is better
                             // nowhere.
                             DuplicateCase{"ExactCopyOfTheOnlyEntry", 1, 0.0},
                             DuplicateCase{"ExactCopyWithTwoEntries", 2, 0.0},
                             DuplicateCase{"NearCopyWithTwoEntries", 2, -0.9e-6},
                             DuplicateCase{"NearCopyWithFiveEntries", 5, 0.9e-6}),
                         [](const auto& info) { return info.param.name; });

struct DominanceCase {
  std::string name;
  std::vector<double> point;
  int offered;
  std::vector<double> ids;  // entries afterwards, slot by slot (the point is 9)
  int added;
};

void PrintTo(const DominanceCase& c, std::ostream* os) { *os << c.name; }

class Dominance : public ::testing::TestWithParam<DominanceCase> {};

// The front (0, 10), (5, 5), (10, 0) spans 10 in both objectives; EPSILON
// is 0.001, so the tolerance is 0.001 * 10 * (1 - 1/offered).
TEST_P(Dominance, RemovesOrRefusesByTolerance) {
  const DominanceCase& dc = GetParam();
  Front front(2, 8);
  front.set({{0, 10}, {5, 5}, {10, 0}});
  front.offered = dc.offered;
  front.offer(dc.point, 9);
  EXPECT_EQ(front.ids(), dc.ids);
  EXPECT_EQ(front.added, dc.added);
  EXPECT_TRUE(front.intact());
}

INSTANTIATE_TEST_SUITE_P(
    Table, Dominance,
    ::testing::Values(
        // Better than entry 2 by more than the tolerance in both objectives:
        // entry 2 goes, the last entry fills its slot, the point is appended.
        DominanceCase{"BetterEverywhereByTheTolerance", {4, 4}, 2, {1, 3, 9}, 1},
        // Better by 0.003 in both: within the tolerance of 0.005 once two
        // points were offered, so entry 2 refuses the point ...
        DominanceCase{"BetterWithinTheGrownTolerance", {4.997, 4.997}, 2, {1, 2, 3}, 0},
        // ... but the tolerance starts at 0 with the first offered point.
        DominanceCase{"BetterBeforeTheToleranceGrew", {4.997, 4.997}, 1, {1, 3, 9}, 1},
        // Better by 1.5 % of the range in one objective, worse by 0.05 % in
        // the other: removes entry 2.
        DominanceCase{"ClearlyBetterAndNowhereWorse", {4.85, 5.005}, 2, {1, 3, 9}, 1},
        // Worse by 0.2 %: a trade-off, both stay.
        DominanceCase{"ClearlyBetterButWorseElsewhere", {4.85, 5.02}, 2, {1, 2, 3, 9}, 1},
        // Better by only 0.5 %: both stay.
        DominanceCase{"SlightlyBetterAndNowhereWorse", {4.95, 5.005}, 2, {1, 2, 3, 9}, 1},
        // Dominated by entry 2 by more than the tolerance: refused.
        DominanceCase{"DominatedByAnEntry", {6, 6}, 2, {1, 2, 3}, 0}),
    [](const auto& info) { return info.param.name; });

TEST(FrontOffer, CompactionFillsRemovedSlotsFromTheBack) {
  Front front(2, 8);
  // Entries 2 and 4 are dominated by the point (4, 4); entries 5 and 6 fill
  // their slots in order.
  front.set({{0, 10}, {5, 5}, {1, 8}, {4.5, 4.5}, {10, 0}, {8, 1}});
  front.offer({4, 4}, 9);
  EXPECT_EQ(front.ids(), (std::vector<double>{1, 5, 3, 6, 9}));
  // The slots behind the front carry the removal marker.
  EXPECT_EQ(front.f(6, 1), mo::kRemovedMarker);
  EXPECT_TRUE(front.intact());
}

TEST(FrontOffer, AnEntryWhoseFirstObjectiveEqualsTheMarkerIsKept) {
  Front front(2, 8);
  front.set({{mo::kRemovedMarker, 100}, {5, 5}, {10, 0}});
  front.offered = 1;  // tolerance 0: the point dominates entry 2 outright
  front.offer({4, 4}, 9);
  EXPECT_EQ(front.ids(), (std::vector<double>{1, 3, 9}));
  EXPECT_EQ(front.entry(1), (std::vector<double>{mo::kRemovedMarker, 100}));
}

struct OutlierCase {
  std::string name;
  int o, entries;
  std::vector<double> point;
  bool refused;
};

void PrintTo(const OutlierCase& c, std::ostream* os) { *os << c.name; }

class Outliers : public ::testing::TestWithParam<OutlierCase> {};

// Entries evenly on (t, 10 - t) (and 10 - t again as a third objective),
// t = 0 .. 10: none dominates another.
TEST_P(Outliers, FarBeyondTheMaximaAreRefusedOnlyOnALargeFront) {
  const OutlierCase& oc = GetParam();
  Front front(oc.o, 20);
  for (int j = 1; j <= oc.entries; ++j) {
    const double t = 10.0 * (j - 1) / (oc.entries - 1);
    front.f(j, 1) = t;
    front.f(j, 2) = 10 - t;
    if (oc.o == 3) front.f(j, 3) = 10 - t;
    front.variables[static_cast<std::size_t>(j - 1)] = j;
  }
  front.psize = oc.entries;
  for (int k = 0; k < oc.o; ++k) {
    front.lo[k] = 0;
    front.hi[k] = 10;
  }
  front.offer(oc.point, 99);
  EXPECT_EQ(front.psize, oc.refused ? oc.entries : oc.entries + 1);
  EXPECT_EQ(front.added, oc.refused ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Outliers,
    ::testing::Values(
        // 5.0 above the maximum of f2 against 0.04 below the minimum of f1.
        OutlierCase{"TwoObjectivesElevenEntries", 2, 11, {-0.4, 60}, true},
        OutlierCase{"TwoObjectivesTenEntries", 2, 10, {-0.4, 60}, false},
        // With three objectives the overshoot must also exceed 0.01.
        OutlierCase{"ThreeObjectivesLargeOvershoot", 3, 11, {5.5, 4.5, 10.5}, true},
        OutlierCase{"ThreeObjectivesSmallOvershoot", 3, 11, {5.5, 4.5, 10.001}, false}),
    [](const auto& info) { return info.param.name; });

TEST(FullFront, PointCloserThanTheClosestPairIsNotStoredInModeOne) {
  Front front(2, 3);
  front.set({{0, 10}, {5, 5}, {10, 0}});
  // The first full-front offer scans every pair: none is closer together
  // (10 apart at least) than the point is to the front (4), so the scan
  // ends in mode 1 with the closest pair's distance.
  front.offer({2, 8}, 9);
  EXPECT_EQ(front.added, 1);
  EXPECT_EQ(front.ids(), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(front.state.crowd_mode, 1);
  EXPECT_EQ(front.state.crowd_mindist, 10.0);
  // In mode 1 a point closer to the front than that pair is not stored.
  const Snapshot before(front);
  front.offer({7, 3}, 8);
  EXPECT_EQ(front.added, 1);
  EXPECT_TRUE(Snapshot(front) == before);
}

TEST(FullFront, ReplacesTheFirstEntryOfTheFirstCloserPair) {
  Front front(2, 3);
  front.set({{0, 10}, {5, 5}, {5.5, 4.5}});
  // The point is 4 from the front; entries 2 and 3 are 1 apart: entry 2 is
  // overwritten and the next scan resumes one row and one column before.
  front.offer({2, 8}, 9);
  EXPECT_EQ(front.added, 1);
  EXPECT_EQ(front.ids(), (std::vector<double>{1, 9, 3}));
  EXPECT_EQ(front.state.crowd_mode, 2);
  EXPECT_EQ(front.state.crowd_row, 1);
  EXPECT_EQ(front.state.crowd_col, 2);
  EXPECT_EQ(front.state.crowd_mindist, 10.0);  // the pairs met before it
  EXPECT_EQ(front.changed, 0);                 // the bounds did not move
}

TEST(FullFront, ResumedScanStartsWhereTheLastReplacementWas) {
  Front front(2, 4);
  front.set({{0, 10}, {1, 9}, {5, 5}, {5.5, 4.5}});
  front.state.crowd_mode = 2;
  front.state.crowd_row = 2;
  front.state.crowd_col = 2;
  front.state.crowd_mindist = 100.0;
  // The point is 3.5 from the front. A scan from (1, 1) would replace entry
  // 1 of the pair (1, 2), 2 apart; resumed at (2, 2) it reaches the pair
  // (3, 4), 1 apart, first.
  front.offer({2.5, 7}, 9);
  EXPECT_EQ(front.ids(), (std::vector<double>{1, 2, 9, 4}));
  EXPECT_EQ(front.state.crowd_row, 2);
  EXPECT_EQ(front.state.crowd_col, 3);
  EXPECT_EQ(front.state.crowd_mindist, 8.0);
}

TEST(FrontBounds, EveryMovementLowersTheShiftInObjectiveOrder) {
  Front front(2, 8);
  front.set({{0, 10}, {5, 5}, {10, 0}});
  front.offered = 4;
  // The point moves the minimum of f1 by 2 and the maximum of f2 by 4.
  front.offer({-2, 14}, 9);
  EXPECT_EQ(front.lo, (std::vector<double>{-2, 0}));
  EXPECT_EQ(front.hi, (std::vector<double>{10, 14}));
  const double damping = std::pow(4.0, 0.10000000149011612);
  const double expected = (0.0 - std::sqrt(2.0) / damping) - std::sqrt(4.0) / damping;
  EXPECT_EQ(front.shift, expected);
  EXPECT_EQ(front.changed, 1);
  EXPECT_EQ(front.relative, 4.0 / 14.0);  // the last movement booked
}

struct BookingCase {
  std::string name;
  double new_bound, old_bound;
  int o, offered;
  double shift, relative;  // expected, from front_shift = 0
};

void PrintTo(const BookingCase& c, std::ostream* os) { *os << c.name; }

class BoundBooking : public ::testing::TestWithParam<BookingCase> {};

TEST_P(BoundBooking, LowersTheShiftByTheSizeOfTheMovement) {
  const BookingCase& bc = GetParam();
  double shift = 0.0, relative = -1.0;
  int changed = 0;
  o9_(&shift, &bc.new_bound, &bc.old_bound, &bc.o, &bc.offered, &changed, &relative);
  EXPECT_EQ(shift, bc.shift);
  EXPECT_EQ(relative, bc.relative);
  EXPECT_EQ(changed, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BoundBooking,
    ::testing::Values(BookingCase{"LeavingLarge", 5.0, 1e98, 2, 1, -1.0, 0.0},
                      BookingCase{"NotANumber", NAN, 1.0, 2, 1, -1.0, 0.0},
                      BookingCase{"ThreeObjectivesSquareRoot", 3.0, 7.0, 3, 5, -2.0, 4.0 / 7.0},
                      BookingCase{"TwoObjectivesDamped", 3.0, 7.0, 2, 32,
                                  -(2.0 / std::pow(32.0, 0.10000000149011612)), 4.0 / 7.0},
                      BookingCase{"SmallMovement", 0.25, 0.75, 2, 5, -0.5, 0.5}),
    [](const auto& info) { return info.param.name; });

// Entry 5 (the point) holds the maximum of f2 and is almost equal to entry 1
// in f1; once it is pruned, entry 1 holds that maximum and is itself almost
// equal to entry 4 in f1, so it goes too and entry 4 moves into its slot.
// Every other entry stays, exactly once.
TEST(ExtremePruning, RemovesNearDominatedMaximaWithoutLosingOrReviving) {
  Front front(2, 8);
  front.set({{0.02, 4}, {5, 2}, {10, 0}, {0.01, 7}});
  front.offered = 100;
  front.offer({0, 10}, 9);
  EXPECT_EQ(front.added, 0);  // the point itself was pruned
  EXPECT_EQ(front.ids(), (std::vector<double>{4, 2, 3}));
  EXPECT_EQ(front.entry(1), (std::vector<double>{0.01, 7}));
  EXPECT_EQ(front.hi[1], 7.0);  // the maximum of f2 followed the removals
  EXPECT_EQ(front.f(4, 1), mo::kRemovedMarker);
  EXPECT_EQ(front.f(5, 1), mo::kRemovedMarker);
  EXPECT_TRUE(front.intact());
}

TEST(ExtremePruning, LeavesFrontsOfThreeEntriesAlone) {
  Front front(2, 8);
  front.set({{0.02, 4}, {10, 0}});
  front.offered = 100;
  front.offer({0, 10}, 9);
  EXPECT_EQ(front.added, 1);
  EXPECT_EQ(front.ids(), (std::vector<double>{1, 2, 9}));
}

TEST(EntryRemoval, MovesTheLastEntryIntoTheFreedSlot) {
  const int o = 2, m = 1, n = 1;
  std::vector<double> obj = {1, 2, 3, 4, 5, 6}, con = {10, 20, 30}, var = {100, 200, 300};
  int psize = 3, j = 1;
  ol004_(&o, &m, &n, obj.data(), con.data(), var.data(), &psize, &j);
  EXPECT_EQ(psize, 2);
  EXPECT_EQ(obj, (std::vector<double>{5, 6, 3, 4, 5, 6}));
  EXPECT_EQ(con, (std::vector<double>{30, 20, 30}));
  EXPECT_EQ(var, (std::vector<double>{300, 200, 300}));
  j = 2;  // the last entry: nothing moves
  ol004_(&o, &m, &n, obj.data(), con.data(), var.data(), &psize, &j);
  EXPECT_EQ(psize, 1);
  EXPECT_EQ(obj, (std::vector<double>{5, 6, 3, 4, 5, 6}));
  j = 5;  // no such entry
  ol004_(&o, &m, &n, obj.data(), con.data(), var.data(), &psize, &j);
  EXPECT_EQ(psize, 1);
}

}  // namespace
