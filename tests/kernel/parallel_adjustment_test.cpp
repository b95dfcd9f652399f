// The block-size adjustment of the tuning presets.
#include <cstdint>

#include <gtest/gtest.h>

#include "abi/internal_routines.h"
#include "core/view.hpp"
#include "kernel/presets.hpp"

namespace {

constexpr int kR1 = 1;    // PRESET_R(1)
constexpr int kR10 = 10;  // PRESET_R(10)
constexpr int kR17 = 17;  // PRESET_R(17)
constexpr int kI1 = 18;   // PRESET_I(1)
constexpr int kI15 = 32;  // PRESET_I(15)

struct Buffer {
  double v[33];
  kestro::RealView view() { return kestro::RealView(v, 33); }
  double& operator[](int position) { return v[position - 1]; }
};

Buffer stage_row(int stage, int character) {
  Buffer b{};
  if (stage == 1) o3_(&character, b.v);
  if (stage == 2) o4_(&character, b.v);
  if (stage == 3) o5_(&character, b.v);
  return b;
}

Buffer adjusted(int stage, int character, int l) {
  Buffer b = stage_row(stage, character);
  t5_(&stage, &character, &l, b.v);
  return b;
}

TEST(BlockSizeAdjustment, FourPointsScaleStageOneCharacterOne) {
  // q = sqrt(4) = 2.
  Buffer scaled = stage_row(1, 1);
  kestro::kernel::scale_for_block_size(1, 1, 4, scaled.view());
  EXPECT_EQ(scaled[kR1], 125.40863547800907);
  EXPECT_EQ(scaled[kI15], 42925.5);

  Buffer clamped = adjusted(1, 1, 4);
  EXPECT_EQ(clamped[kR1], 90.0);
  EXPECT_EQ(clamped[kI15], 42925.5);
}

TEST(BlockSizeAdjustment, BlocksAboveOneHundredCountAsOneHundred) {
  Buffer scaled = stage_row(1, 1);
  kestro::kernel::scale_for_block_size(1, 1, 200, scaled.view());
  EXPECT_EQ(scaled[kI15], 8585.100000000006);

  const Buffer at_100 = adjusted(1, 1, 100);
  const Buffer at_200 = adjusted(1, 1, 200);
  const Buffer at_max = adjusted(1, 1, INT32_MAX);
  for (int k = 0; k < 33; ++k) {
    EXPECT_EQ(at_200.v[k], at_100.v[k]) << "value " << k + 1;
    EXPECT_EQ(at_max.v[k], at_100.v[k]) << "value " << k + 1;
  }
}

struct ScaledCase {
  int stage, character, l, position;
  double expected;  // computed by hand as (v - v/q)*m + v
};

TEST(BlockSizeAdjustment, StageTwoAndCharacterTwoRowsScale) {
  const ScaledCase cases[] = {
      // 7 with multiplier 3.99405505 and q = 3: 7 + (14/3) * 3.99405505.
      {1, 2, 9, kI1, 25.638923566666667},
      // 27 with multiplier -0.27602405 and q = 2: 23.273675325.
      {2, 1, 4, kI1, 23.273675325},
      // 90000 with multiplier -0.05867185 and q = 2: 87359.76675.
      {2, 2, 4, kI15, 87359.76675},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(adjusted(c.stage, c.character, c.l)[c.position], c.expected, 1e-9)
        << "stage " << c.stage << ", character " << c.character;
}

TEST(BlockSizeAdjustment, StageThreeAndCharacterThreeOnlyClamp) {
  for (const int stage : {1, 2, 3}) {
    const Buffer table = stage_row(stage, 3);
    const Buffer got = adjusted(stage, 3, 16);
    for (int k = 1; k <= 33; ++k) {
      if (k == kR17) continue;
      EXPECT_EQ(got.v[k - 1], table.v[k - 1]) << "stage " << stage << ", value " << k;
    }
    EXPECT_EQ(table.v[kR17 - 1], 1.0);
    EXPECT_EQ(got.v[kR17 - 1], 0.0) << "stage " << stage;
  }

  // Stage 3, character 1 keeps its values; only PRESET_R(10) = 0 is lifted to
  // its lower bound.
  const Buffer table = stage_row(3, 1);
  const Buffer got = adjusted(3, 1, 50);
  for (int k = 1; k <= 33; ++k) {
    if (k == kR10) continue;
    EXPECT_EQ(got.v[k - 1], table.v[k - 1]) << "value " << k;
  }
  EXPECT_EQ(got.v[kR10 - 1], 1e-12);
}

TEST(BlockSizeAdjustment, ClampRangesAreThePublishedOnes) {
  const double lower[33] = {0.1, 0, 0, 0, 0.01, 0.01, 1, 0, 0, 1e-12, 0, 0, 0, 0, 1,  4, 0,
                            2,   1, 1, 1, 1,    1,    1, 1, 1, 2,     2, 2, 1, 1, 10, 1};
  const double upper[33] = {90, 1,     1,  9,   9000, 500, 5000, 1,    1,   0.5,   0.001,
                            0,  0.999, 1,  500, 12,   0,   200,  1000, 100, 500,   12,
                            12, 12,    12, 500, 2000, 100, 2000, 12,   100, 90000, 30};
  // Stage 3 has no multipliers, so out-of-range values meet the bare clamp.
  const int stage = 3, character = 1, l = 2;
  double low[33], high[33];
  for (int k = 0; k < 33; ++k) {
    low[k] = -1e300;
    high[k] = 1e300;
  }
  t5_(&stage, &character, &l, low);
  t5_(&stage, &character, &l, high);
  for (int k = 0; k < 33; ++k) {
    EXPECT_EQ(low[k], lower[k]) << "lower bound of value " << k + 1;
    EXPECT_EQ(high[k], upper[k]) << "upper bound of value " << k + 1;
  }
}

}  // namespace
