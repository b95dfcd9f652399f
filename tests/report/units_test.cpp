// The output units: open with status UNKNOWN, pending records, close with
// and without delete, rename, and files that cannot be created.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "abi/default_context.hpp"
#include "abi/internal_routines.h"
#include "interface/context.hpp"
#include "report/report_fixture.hpp"
#include "report/units.hpp"

namespace {

using namespace kestro::testing;
using kestro::report::OutputUnits;

TEST(OutputUnits, OpenKeepsTheOldContentUntilTheFirstRecordReplacesIt) {
  ScratchDirectory scratch;
  write_file("KESTRO_SCREEN.TXT", "old line one\nold line two\n");
  OutputUnits units;
  units.open(36, "KESTRO_SCREEN.TXT");
  units.flush(36);
  EXPECT_EQ(read_file("KESTRO_SCREEN.TXT"), "old line one\nold line two\n");
  units.write(36, "('new')");
  units.close(36);
  EXPECT_EQ(read_file("KESTRO_SCREEN.TXT"), "new\n");
}

TEST(OutputUnits, OpenCreatesAMissingFileAndReopeningStartsOver) {
  ScratchDirectory scratch;
  OutputUnits units;
  units.open(37, "KESTRO_SOLUTION.TXT");
  EXPECT_TRUE(file_exists("KESTRO_SOLUTION.TXT"));
  units.write(37, "('first run',$)");
  units.open(37, "KESTRO_SOLUTION.TXT");  // closes (ending the record), reconnects
  EXPECT_EQ(read_file("KESTRO_SOLUTION.TXT"), "first run\n");
  units.write(37, "('second')");
  units.close(37);
  EXPECT_EQ(read_file("KESTRO_SOLUTION.TXT"), "second\n");
}

TEST(OutputUnits, PendingRecordContinuesAndIsEndedAtClose) {
  ScratchDirectory scratch;
  OutputUnits units;
  units.open(39, "KESTRO_HISTORY.TXT");
  units.write(39, "(F19.7,$)", {1.5});
  units.write(39, "(F19.7,$)", {-2.0});
  units.write(39, "(/,'#')");  // the break ends the row without an empty line
  units.write(39, "(I3,$)", {7});
  units.close(39);
  EXPECT_EQ(read_file("KESTRO_HISTORY.TXT"), "          1.5000000         -2.0000000\n#\n  7\n");
}

TEST(OutputUnits, StatementsForClosedOrUnknownUnitsAreDropped) {
  ScratchDirectory scratch;
  OutputUnits units;
  ScreenCapture screen(units);
  units.write(36, "('nowhere')");
  units.write(12, "('nowhere either')");
  units.flush(38);
  units.close(39, true);
  EXPECT_TRUE(scratch.files().empty());
  EXPECT_EQ(screen.text(), "");
}

TEST(OutputUnits, CloseWithDeleteRemovesTheFile) {
  ScratchDirectory scratch;
  OutputUnits units;
  units.open(39, "KESTRO_HISTORY.TXT");
  units.write(39, "('row')");
  units.close(39, /*delete_file=*/true);
  EXPECT_FALSE(file_exists("KESTRO_HISTORY.TXT"));
}

TEST(OutputUnits, RenameReplacesTheTarget) {
  ScratchDirectory scratch;
  write_file("KESTRO_PARETOFRONT.TXT", "old front\n");
  write_file("KESTRO_PARETOFRONT.tmp", "new front\n");
  const OutputUnits units;
  units.rename_file("KESTRO_PARETOFRONT.tmp", "KESTRO_PARETOFRONT.TXT");
  EXPECT_EQ(read_file("KESTRO_PARETOFRONT.TXT"), "new front\n");
  EXPECT_FALSE(file_exists("KESTRO_PARETOFRONT.tmp"));
  units.rename_file("missing.tmp", "KESTRO_PARETOFRONT.TXT");  // ignored
  EXPECT_EQ(read_file("KESTRO_PARETOFRONT.TXT"), "new front\n");
}

// A directory in the way of the file name: the open fails, the unit stays
// closed and everything addressed to it is dropped.
TEST(OutputUnits, FileThatCannotBeCreatedLeavesTheUnitClosed) {
  ScratchDirectory scratch;
  ASSERT_EQ(mkdir("KESTRO_SCREEN.TXT", 0755), 0);
  OutputUnits units;
  units.open(36, "KESTRO_SCREEN.TXT");
  EXPECT_FALSE(units.is_open(36));
  units.write(36, "('lost')");
  units.flush(36);
  units.close(36, true);
  EXPECT_EQ(scratch.files(), std::vector<std::string>{"KESTRO_SCREEN.TXT"});
}

TEST(OutputUnits, ScreenIsAlwaysConnectedAndNeverClosed) {
  OutputUnits units;
  ScreenCapture screen(units);
  units.write(0, "('a',$)");
  units.close(0);
  units.write(0, "('b')");
  EXPECT_EQ(screen.text(), "ab\n");
}

TEST(OutputUnits, ExportedCloseAndFlushActOnTheProcessUnits) {
  ScratchDirectory scratch;
  auto& units = kestro::abi::default_context().report.units;
  units.open(39, "KESTRO_HISTORY.TXT");
  units.write(39, "('kept',$)");
  const int unit = 39;
  flush_output_(&unit);
  EXPECT_EQ(read_file("KESTRO_HISTORY.TXT"), "kept");
  close_output_(&unit);
  EXPECT_EQ(read_file("KESTRO_HISTORY.TXT"), "kept\n");
  EXPECT_FALSE(units.is_open(39));
}

}  // namespace
