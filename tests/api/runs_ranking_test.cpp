// The order in which minimize ranks independent runs: feasible before
// infeasible, then the lower objective (several objectives: the first point
// no other feasible run's point dominates), infeasible ones by their
// residual; ties and runs without a result as stated.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "kestro.hpp"

namespace kestro::testing {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Outcome {
  std::vector<double> f;
  bool feasible;
  double residual;
  const char* error;  // "" for a run that ended
};

struct RankCase {
  const char* name;
  std::vector<Outcome> runs;
  int best;
};

std::vector<RunOutcome> outcomes(const std::vector<Outcome>& list) {
  std::vector<RunOutcome> runs;
  for (const Outcome& o : list) {
    RunOutcome r;
    r.error = o.error;
    if (r.ok()) {
      r.result.f = o.f;
      r.result.feasible = o.feasible;
      r.result.residual = o.residual;
      r.result.iflag = 2;
      r.result.best_failed = std::isnan(o.f[0]) || o.f[0] >= 1e98;
    }
    runs.push_back(r);
  }
  return runs;
}

class RunsRanking : public ::testing::TestWithParam<RankCase> {};

TEST_P(RunsRanking, PicksTheBestRun) {
  EXPECT_EQ(detail::best_run(outcomes(GetParam().runs)), GetParam().best);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunsRanking,
    ::testing::Values(
        RankCase{"lowest_f", {{{3}, true, 0, ""}, {{1}, true, 0, ""}, {{2}, true, 0, ""}}, 1},
        RankCase{"feasible_before_lower_f",
                 {{{-5}, false, 0.5, ""}, {{4}, true, 0, ""}, {{-9}, false, 0.1, ""}},
                 1},
        RankCase{"tie_goes_to_the_earlier_seed", {{{2}, true, 0, ""}, {{2}, true, 0, ""}}, 0},
        RankCase{"infeasible_by_residual_then_f",
                 {{{1}, false, 0.3, ""}, {{5}, false, 0.2, ""}, {{4}, false, 0.2, ""}},
                 2},
        RankCase{
            "failed_runs_are_skipped", {{{0}, true, 0, "out of memory"}, {{7}, false, 1, ""}}, 1},
        RankCase{"no_run_ended", {{{0}, true, 0, "a"}, {{0}, true, 0, "b"}}, -1},
        // A run whose best point is a failed evaluation (residual 0 without
        // constraints) comes after any run with a point that succeeded.
        RankCase{"failed_points_come_last",
                 {{{1e99}, false, 0, ""}, {{kNaN}, false, 0, ""}, {{7}, false, 0.5, ""}},
                 2},
        RankCase{"only_failed_points_the_first",
                 {{{0}, true, 0, "a"}, {{kNaN}, false, 0, ""}, {{1e99}, false, 0, ""}},
                 1},
        RankCase{"two_objectives_first_undominated",
                 {{{2, 2}, true, 0, ""}, {{1, 3}, true, 0, ""}, {{3, 1}, true, 0, ""}},
                 0},
        RankCase{"two_objectives_dominated_first",
                 {{{2, 3}, true, 0, ""}, {{9, 9}, false, 1, ""}, {{2, 2}, true, 0, ""}},
                 2}),
    [](const ::testing::TestParamInfo<RankCase>& info) { return std::string(info.param.name); });

// The merged front keeps the first of equal entries and drops the dominated.
TEST(RunsMergedFront, KeepsTheNonDominatedUnionInRunOrder) {
  auto run = [](std::vector<std::vector<double>> fs) {
    RunOutcome r;
    for (std::size_t j = 0; j < fs.size(); ++j)
      r.result.pareto_front.push_back(ParetoPoint{fs[j], {}, {double(j)}});
    return r;
  };
  std::vector<RunOutcome> runs = {run({{1, 5}, {3, 3}, {5, 1}}), run({{2, 2}, {1, 5}, {0, 9}})};
  RunOutcome failed;
  failed.error = "gave up";
  failed.result.pareto_front.push_back(ParetoPoint{{0, 0}, {}, {}});
  runs.push_back(failed);
  const std::vector<ParetoPoint> front = detail::merged_front(runs);
  std::vector<std::vector<double>> f;
  for (const ParetoPoint& p : front) f.push_back(p.f);
  EXPECT_EQ(f, (std::vector<std::vector<double>>{{1, 5}, {5, 1}, {2, 2}, {0, 9}}));
  EXPECT_EQ(front[0].x, std::vector<double>{0});  // the first run's (1, 5)
}

}  // namespace
}  // namespace kestro::testing
