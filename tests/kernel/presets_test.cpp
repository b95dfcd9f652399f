// Choosing and installing the tuning preset: character, application guard,
// block-size adjustment and truncation of the integer entries.
#include <cmath>
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "abi/default_context.hpp"
#include "abi/internal_routines.h"
#include "interface/context.hpp"
#include "kernel/preset_state.hpp"
#include "kernel/presets.hpp"
#include "support/problem.hpp"

namespace {

using kestro::kernel::PresetRequest;
using kestro::kernel::PresetState;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The records as o17_ fills them, PRESET_R(k) at r(k), PRESET_I(k) at i(k).
struct Records {
  double preset_r[17];
  int preset_i[16];

  Records() { poison(); }
  void poison() {
    for (double& v : preset_r) v = -123.0;
    for (int& v : preset_i) v = -123;
  }
  bool untouched() const {
    for (double v : preset_r)
      if (v != -123.0) return false;
    for (int v : preset_i)
      if (v != -123) return false;
    return true;
  }
  double r(int k) const { return preset_r[k - 1]; }
  int i(int k) const { return preset_i[k - 1]; }
};

// Calls the exported o17_ with PARAM(13) = character.
void call_o17(Records& records, int l, int n, int ni, double character, int stage,
              int kernel_calls) {
  double param[13] = {};
  param[12] = character;
  o17_(&l, &n, &ni, records.preset_r, records.preset_i, param, &stage, &kernel_calls);
}

struct CharacterCase {
  double character;
  int n, ni;
  int expected_character;
};

TEST(PresetSelection, CharacterComesFromParamOrFromTheVariables) {
  // Stage 1 PRESET_I(15) and PRESET_R(1) of characters 1, 2 and 3.
  const int i15[] = {85851, 17294, 2162};
  const double r1[] = {39.865764264129574, 88.37830524689164, 1.00449566};
  const CharacterCase cases[] = {
      {0, 3, 0, 1},    // continuous only
      {0, 3, 3, 2},    // purely integer
      {0, 3, 1, 1},    // mixed
      {2.0, 3, 0, 2},  // the user's choice wins over the variables
      {1, 3, 3, 1},         {3, 3, 0, 3},
      {kNaN, 3, 0, 1},                       // NINT(NaN) is negative: the default applies
      {kNaN, 3, 3, 2},      {0.4, 2, 2, 2},  // rounds to 0
      {2.5, 2, 0, 3},                        // halves round away from zero
      {1.0000001, 2, 2, 1}, {-0.3, 4, 1, 1},
      {1e12, 3, 0, 1},  // NINT outside 32 bits is negative too
  };
  for (const auto& c : cases) {
    Records records;
    call_o17(records, 1, c.n, c.ni, c.character, 1, 1);
    EXPECT_EQ(records.i(15), i15[c.expected_character - 1])
        << "CHARACTER " << c.character << ", N " << c.n << ", NI " << c.ni;
    EXPECT_EQ(records.r(1), r1[c.expected_character - 1])
        << "CHARACTER " << c.character << ", N " << c.n << ", NI " << c.ni;
  }
}

TEST(PresetSelection, NoMatchingTableLeavesTheRecordsAsTheyWere) {
  struct Case {
    double character;
    int n, ni, stage;
  };
  const Case cases[] = {
      {4, 3, 0, 1},  // CHARACTER above 3
      {0, 2, 3, 1},  // N < NI: neither default applies
      {1, 3, 0, 4},  // no stage 4
      {1, 3, 0, 0},
  };
  for (const auto& c : cases) {
    Records records;
    call_o17(records, 4, c.n, c.ni, c.character, c.stage, 1);
    EXPECT_TRUE(records.untouched())
        << "CHARACTER " << c.character << ", N " << c.n << ", NI " << c.ni << ", stage " << c.stage;
  }
}

struct GuardStep {
  int stage;
  int kernel_calls;
  bool applied;
};

// Runs a sequence of requests for a character-1 problem with L = 1 and checks
// which of them change the records.
void run_guard_sequence(const GuardStep* steps, int count, bool exported) {
  // PRESET_I(15) of stages 1, 2 and 3 for character 1.
  const int i15[] = {85851, 45258, 5294};
  PresetState state;
  Records records;
  for (int s = 0; s < count; ++s) {
    const GuardStep& step = steps[s];
    records.poison();
    bool changed;
    int installed;
    if (exported) {
      call_o17(records, 1, 2, 0, 0, step.stage, step.kernel_calls);
      changed = !records.untouched();
      installed = records.i(15);
    } else {
      for (double& v : state.preset_r) v = -123.0;
      for (auto& v : state.preset_i) v = -123;
      kestro::kernel::select_preset(state,
                                    PresetRequest{1, 2, 0, 0, step.stage, step.kernel_calls});
      changed = state.preset_i[14] != -123;
      installed = state.preset_i[14];
    }
    EXPECT_EQ(changed, step.applied) << "request " << s + 1 << " (stage " << step.stage << ")";
    if (step.applied) {
      EXPECT_EQ(installed, i15[step.stage - 1]) << "request " << s + 1;
    }
  }
}

TEST(PresetSelection, SecondStageTwoRequestIsRefused) {
  const GuardStep steps[] = {{1, 1, true},
                             {2, 10001, true},
                             {2, 10002, false},
                             {3, 100001, true},
                             // A new run always starts from stage 1.
                             {1, 1, true}};
  run_guard_sequence(steps, 5, false);
  run_guard_sequence(steps, 5, true);
}

TEST(PresetSelection, SecondStageThreeRequestIsRefused) {
  const GuardStep steps[] = {{1, 1, true},       {2, 10001, true},   {3, 100001, true},
                             {3, 100002, false}, {2, 100003, false}, {1, 1, true},
                             {2, 6000, true}};
  run_guard_sequence(steps, 7, false);
  run_guard_sequence(steps, 7, true);
}

TEST(PresetSelection, GuardCountsRequestsFromTheStartOfARun) {
  std::int32_t count = 77;  // whatever an earlier run left
  EXPECT_TRUE(kestro::kernel::preset_request_allowed(count, 1, 1));
  EXPECT_EQ(count, 1);
  EXPECT_TRUE(kestro::kernel::preset_request_allowed(count, 3, 5001));
  EXPECT_TRUE(kestro::kernel::preset_request_allowed(count, 3, 5002));
  EXPECT_EQ(count, 3);
  EXPECT_FALSE(kestro::kernel::preset_request_allowed(count, 2, 5003));
  EXPECT_EQ(count, 2);
  // Refused stage-2 requests hold the counter at 2, so one more request of
  // another stage still goes through; the one after it does not.
  EXPECT_FALSE(kestro::kernel::preset_request_allowed(count, 2, 5004));
  EXPECT_TRUE(kestro::kernel::preset_request_allowed(count, 1, 5005));
  EXPECT_EQ(count, 3);
  EXPECT_FALSE(kestro::kernel::preset_request_allowed(count, 3, 5006));
  EXPECT_EQ(count, 3);
}

TEST(PresetSelection, CharacterThreeIntegersAreTruncated) {
  // Stage 1, character 3, L = 1: the values after the arrows of the table.
  const int expected[16] = {59, 10, 45, 5, 11, 5, 11, 9, 3, 1555, 3, 280, 1, 7, 2162, 5};
  Records records;
  call_o17(records, 1, 3, 3, 3, 1, 1);
  for (int k = 1; k <= 16; ++k) EXPECT_EQ(records.i(k), expected[k - 1]) << "PRESET_I(" << k << ")";
  EXPECT_EQ(records.r(17), 1.0);
  EXPECT_EQ(records.r(11), 3.131e-05);
}

TEST(PresetSelection, StageThreeCharacterThreeBudgetIsTruncated) {
  Records records;
  call_o17(records, 1, 2, 2, 3, 1, 1);
  call_o17(records, 1, 2, 2, 3, 3, 100001);
  EXPECT_EQ(records.i(15), 11989);
  EXPECT_EQ(records.r(5), 1438.19523103);
}

struct InstallCase {
  int stage, character, l;
  double r1;
  int i1, i15;
};

TEST(PresetSelection, InstallsTheTableOfStageAndCharacterForTheBlockSize) {
  const InstallCase cases[] = {
      // L = 1 (and L below 1): the table values, integers truncated.
      {1, 1, 1, 39.865764264129574, 35, 85851},
      {1, 2, 1, 88.37830524689164, 7, 17294},
      {1, 3, 1, 1.00449566, 59, 2162},
      {2, 1, 1, 26.297690237039237, 27, 45258},
      {2, 2, 1, 1.146763245087168, 70, 90000},
      {2, 3, 1, 1.05130732527078, 69, 35596},
      {3, 1, 1, 1.620528056843441, 118, 5294},
      {3, 2, 1, 1.12698190995684, 30, 2892},
      {3, 3, 1, 0.96595994, 56, 11989},
      {1, 1, 0, 39.865764264129574, 35, 85851},
      {1, 1, -5, 39.865764264129574, 35, 85851},
      // Blocks of several points: adjusted, clamped, then truncated.
      {1, 1, 4, 90, 36, 42925},   // PRESET_I(1) 36.80317...
      {1, 1, 200, 90, 38, 8585},  // PRESET_I(1) 38.24570...
      {1, 2, 9, 90, 25, 14103},   // PRESET_R(1) 151.87388778109417 clamped
      {2, 1, 4, 53.67120201966554, 23, 60002},
      {2, 2, 4, 0.8995052641135924, 67, 87359},
      {3, 1, 4, 1.620528056843441, 118, 5294},
      {3, 3, 4, 0.96595994, 56, 11989},
  };
  for (const auto& c : cases) {
    // Stage 1 needs kernel_calls = 1; later stages follow a stage-1 request.
    PresetState state;
    const int n = 3, ni = c.character == 2 ? 3 : 0;
    const double character = c.character == 3 ? 3 : 0;
    kestro::kernel::select_preset(state, PresetRequest{c.l, n, ni, character, 1, 1});
    if (c.stage != 1)
      kestro::kernel::select_preset(state, PresetRequest{c.l, n, ni, character, c.stage, 10001});
    EXPECT_EQ(state.preset_r[0], c.r1)
        << "stage " << c.stage << ", character " << c.character << ", L " << c.l;
    EXPECT_EQ(state.preset_i[0], c.i1)
        << "stage " << c.stage << ", character " << c.character << ", L " << c.l;
    EXPECT_EQ(state.preset_i[14], c.i15)
        << "stage " << c.stage << ", character " << c.character << ", L " << c.l;
  }
}

TEST(PresetSelection, BlocksTurnOffTheAllDifferentSwitch) {
  Records records;
  call_o17(records, 1, 2, 2, 3, 1, 1);
  EXPECT_EQ(records.r(17), 1.0);
  call_o17(records, 2, 2, 2, 3, 1, 1);
  EXPECT_EQ(records.r(17), 0.0);
  EXPECT_GE(records.r(16), 4.0);
}

}  // namespace

namespace {

// The kernel installs the stage-1 preset when a run starts and moves to stage
// 2 once it has been called more than 5000 times (at the start of a restart
// cycle) or more than 10000 times (on any call).
TEST(KernelPresets, StageOneAtStartAndStageTwoLater) {
  using kestro::testing::Caller;
  Caller c = Caller::with_sizes(1, 1, 2, 0, 0, 0);
  c.start();
  ASSERT_EQ(c.iflag, -3);
  const auto& kernel = kestro::abi::default_context().solver.kernel;
  double stage1[33], stage2[33];
  const int character = 1;
  o3_(&character, stage1);
  o4_(&character, stage2);
  EXPECT_EQ(kernel.preset.preset_r[0], stage1[0]);
  EXPECT_EQ(kernel.preset.preset_i[14], static_cast<int>(stage1[31]));
  for (int call = 2; call <= 5000; ++call) {
    c.f[0] = (c.x[0] - 0.3) * (c.x[0] - 0.3) + c.x[1];
    c.call();
  }
  EXPECT_EQ(kernel.preset_stage, 1);
  EXPECT_EQ(kernel.preset.preset_r[0], stage1[0]);
  for (int call = 5001; call <= 10001; ++call) {
    c.f[0] = (c.x[0] - 0.3) * (c.x[0] - 0.3) + c.x[1];
    c.call();
    ASSERT_EQ(c.istop, 0);
  }
  EXPECT_EQ(kernel.preset_stage, 2);
  EXPECT_EQ(kernel.preset.preset_r[0], stage2[0]);
  EXPECT_EQ(kernel.preset.preset_i[14], static_cast<int>(stage2[31]));
}

}  // namespace
