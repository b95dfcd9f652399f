// Spot checks of the preset tables and the block-size multipliers against
// the published values, read back through the exported routines.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "abi/internal_routines.h"

namespace {

using TableRoutine = void (*)(const int*, double*);

struct TableEntry {
  const char* table;
  TableRoutine routine;
  int character;
  int position;  // 1..17 for PRESET_R(k), 17 + k for PRESET_I(k)
  double value;
};

// Fills a buffer of 33 values through a table routine and returns entry
// `position`; every other entry must be written too.
double table_value(TableRoutine routine, int character, int position) {
  double buffer[33];
  for (double& v : buffer) v = std::nan("");
  routine(&character, buffer);
  for (int k = 0; k < 33; ++k)
    EXPECT_FALSE(std::isnan(buffer[k])) << "value " << k + 1 << " not written";
  return buffer[position - 1];
}

TEST(PresetTables, StageRowsHoldThePublishedValues) {
  const TableEntry entries[] = {
      // Stage 1: PRESET_R(1), (5), (11), (17), PRESET_I(7), (15), (16).
      {"stage 1", o3_, 1, 1, 39.865764264129574},
      {"stage 1", o3_, 1, 5, 6951.349708195207},
      {"stage 1", o3_, 1, 11, 0.00098583337437},
      {"stage 1", o3_, 1, 17, 0},
      {"stage 1", o3_, 1, 24, 6},
      {"stage 1", o3_, 1, 32, 85851},
      {"stage 1", o3_, 1, 33, 9},
      {"stage 1", o3_, 2, 1, 88.37830524689164},
      {"stage 1", o3_, 2, 5, 3555.889503794544},
      {"stage 1", o3_, 2, 11, 0},
      {"stage 1", o3_, 2, 17, 0},
      {"stage 1", o3_, 2, 24, 9},
      {"stage 1", o3_, 2, 32, 17294},
      {"stage 1", o3_, 2, 33, 23},
      {"stage 1", o3_, 3, 1, 1.00449566},
      {"stage 1", o3_, 3, 5, 1345.89422853},
      {"stage 1", o3_, 3, 11, 3.131e-05},
      {"stage 1", o3_, 3, 17, 1},
      {"stage 1", o3_, 3, 24, 11.8758362},
      {"stage 1", o3_, 3, 32, 2162.86269813},
      {"stage 1", o3_, 3, 33, 5.22324273},
      // Stage 2.
      {"stage 2", o4_, 1, 1, 26.297690237039237},
      {"stage 2", o4_, 1, 5, 1746.8834349346087},
      {"stage 2", o4_, 1, 11, 3.4825114132e-05},
      {"stage 2", o4_, 1, 17, 0},
      {"stage 2", o4_, 1, 24, 1},
      {"stage 2", o4_, 1, 32, 45258},
      {"stage 2", o4_, 1, 33, 12},
      {"stage 2", o4_, 2, 1, 1.146763245087168},
      {"stage 2", o4_, 2, 5, 4032.292473666904},
      {"stage 2", o4_, 2, 11, 0.000257589716335},
      {"stage 2", o4_, 2, 17, 0},
      {"stage 2", o4_, 2, 24, 3},
      {"stage 2", o4_, 2, 32, 90000},
      {"stage 2", o4_, 2, 33, 14},
      {"stage 2", o4_, 3, 1, 1.05130732527078},
      {"stage 2", o4_, 3, 5, 1839.3320134371195},
      {"stage 2", o4_, 3, 11, 7.394595286e-05},
      {"stage 2", o4_, 3, 17, 1},
      {"stage 2", o4_, 3, 24, 10.86288761397882},
      {"stage 2", o4_, 3, 32, 35596.186135767384},
      {"stage 2", o4_, 3, 33, 5.12835328710503},
      // Stage 3.
      {"stage 3", o5_, 1, 1, 1.620528056843441},
      {"stage 3", o5_, 1, 5, 1108.008277088986},
      {"stage 3", o5_, 1, 11, 1.8554463035e-05},
      {"stage 3", o5_, 1, 17, 0},
      {"stage 3", o5_, 1, 24, 11},
      {"stage 3", o5_, 1, 32, 5294},
      {"stage 3", o5_, 1, 33, 7},
      {"stage 3", o5_, 2, 1, 1.12698190995684},
      {"stage 3", o5_, 2, 5, 365.8715037779535},
      {"stage 3", o5_, 2, 11, 1.36844918e-07},
      {"stage 3", o5_, 2, 17, 0},
      {"stage 3", o5_, 2, 24, 7},
      {"stage 3", o5_, 2, 32, 2892},
      {"stage 3", o5_, 2, 33, 1},
      {"stage 3", o5_, 3, 1, 0.96595994},
      {"stage 3", o5_, 3, 5, 1438.19523103},
      {"stage 3", o5_, 3, 11, 1.13e-05},
      {"stage 3", o5_, 3, 17, 1},
      {"stage 3", o5_, 3, 24, 11.8292433},
      {"stage 3", o5_, 3, 32, 11989.588982},
      {"stage 3", o5_, 3, 33, 3.46998668},
  };
  for (const auto& e : entries)
    EXPECT_EQ(table_value(e.routine, e.character, e.position), e.value)
        << e.table << ", character " << e.character << ", value " << e.position;
}

TEST(PresetTables, BlockSizeMultipliersHoldThePublishedValues) {
  const TableEntry entries[] = {
      // Multipliers of PRESET_R(1), (11), (17), PRESET_I(8), (16).
      {"stage 1", io13_, 1, 1, 4.29154553},   {"stage 1", io13_, 1, 11, -0.15518801},
      {"stage 1", io13_, 1, 17, 2.13785201},  {"stage 1", io13_, 1, 25, 4.41742088},
      {"stage 1", io13_, 1, 33, -0.28213036}, {"stage 1", io13_, 2, 1, 1.07767821},
      {"stage 1", io13_, 2, 11, -0.53458138}, {"stage 1", io13_, 2, 17, -0.75654657},
      {"stage 1", io13_, 2, 25, 0.05688063},  {"stage 1", io13_, 2, 33, -0.21904374},
      {"stage 2", io12_, 1, 1, 2.08181871},   {"stage 2", io12_, 1, 11, 1.51928446},
      {"stage 2", io12_, 1, 17, 0.45582854},  {"stage 2", io12_, 1, 25, 0.28001733},
      {"stage 2", io12_, 1, 33, -0.99249717}, {"stage 2", io12_, 2, 1, -0.4312276},
      {"stage 2", io12_, 2, 11, -0.03994651}, {"stage 2", io12_, 2, 17, 0.00153063},
      {"stage 2", io12_, 2, 25, 0.16738659},  {"stage 2", io12_, 2, 33, 0.59177165},
  };
  for (const auto& e : entries)
    EXPECT_EQ(table_value(e.routine, e.character, e.position), e.value)
        << e.table << " multipliers, character " << e.character << ", value " << e.position;
}

TEST(PresetTables, RoutinesWriteNothingForOtherCharacters) {
  const TableRoutine stage_routines[] = {o3_, o4_, o5_};
  const TableRoutine multiplier_routines[] = {io13_, io12_};
  for (TableRoutine routine : stage_routines)
    for (int character : {-1, 0, 4, INT32_MIN}) {
      double buffer[33];
      for (double& v : buffer) v = -7.5;
      routine(&character, buffer);
      for (double v : buffer) EXPECT_EQ(v, -7.5) << "character " << character;
    }
  for (TableRoutine routine : multiplier_routines)
    for (int character : {0, 3, 4}) {
      double buffer[33];
      for (double& v : buffer) v = -7.5;
      routine(&character, buffer);
      for (double v : buffer) EXPECT_EQ(v, -7.5) << "character " << character;
    }
}

}  // namespace
