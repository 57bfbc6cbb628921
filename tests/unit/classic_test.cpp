#include <gtest/gtest.h>

#include "test_support.h"

namespace {

class Classic : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineState(64 * 64, 64, 64);
    BuildPalette();
  }
  // A live centre cell at (3, 3) of an 8 x 8 grid with `n` live neighbours.
  void CentreWithNeighbours(int n) {
    static const int dx[8] = {-1, 0, 1, -1, 1, -1, 0, 1}, dy[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
    SetCell(3, 3, 8, 8);
    for (int k = 0; k < n; ++k) SetCell(3 + dx[k], 3 + dy[k], 8, 8);
  }
};

TEST_F(Classic, DefaultColoursByNeighbourCount) {
  const uint32_t expected[9] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF,
                                0x00FFFF, 0x7F0000, 0x007F00, 0xFF0000};
  for (int n = 0; n <= 8; ++n) {
    std::fill(Grid.LiveCells, Grid.LiveCells + 64, 0);
    CentreWithNeighbours(n);
    DrawClassicFrame(8, 8, 8);
    EXPECT_EQ(PixelAt(3 * 8, 3 * 8), expected[n]) << "N = " << n;
    EXPECT_EQ(PixelAt(3 * 8 + 7, 3 * 8 + 7), expected[n]) << "N = " << n;
  }
  EXPECT_EQ(PixelAt(60, 2), 0u);  // dead cells are black
}

TEST_F(Classic, CycleAtResetShiftsByTheResetCount) {
  Field.ResetCount = 3;
  CentreWithNeighbours(2);
  DrawClassicFrame(8, 8, 8);
  EXPECT_EQ(PixelAt(24, 24), View.Palette[5]);
}

TEST_F(Classic, TimedCyclingMovesOneStepPerPeriod) {
  Settings.flags &= ~FlagCycleAtReset;
  Settings.cycle = 500;
  FakeNow = 500 * 1000 + 499;  // offset 1000, which is 0 modulo 8
  CentreWithNeighbours(0);
  DrawClassicFrame(8, 8, 8);
  EXPECT_EQ(PixelAt(24, 24), View.Palette[0]);
  std::fill(Grid.LiveCells, Grid.LiveCells + 64, 0);
  CentreWithNeighbours(0);
  FakeNow += 1;  // offset 1001
  DrawClassicFrame(8, 8, 8);
  EXPECT_EQ(PixelAt(24, 24), View.Palette[1]);
}

TEST_F(Classic, DigitalEffectLeavesDeadLinesAtSizeEightButNotTwo) {
  Settings.flags |= FlagDigitalEffect;
  CentreWithNeighbours(0);
  DrawClassicFrame(8, 8, 8);
  EXPECT_EQ(PixelAt(24 + 6, 24 + 6), 0xFF0000u);
  EXPECT_EQ(PixelAt(24 + 7, 24), 0u);
  EXPECT_EQ(PixelAt(24, 24 + 7), 0u);

  ResetEngineState(64 * 64, 64, 64);
  BuildPalette();
  Settings.flags |= FlagDigitalEffect;
  CentreWithNeighbours(0);
  DrawClassicFrame(8, 8, 2);
  EXPECT_EQ(PixelAt(7, 7), 0xFF0000u);
  EXPECT_EQ(PixelAt(6, 6), 0xFF0000u);
}

// A painter reports the population and leaves the field as it found it: the
// lone cell at (5, 6) would die in a step.
TEST_F(Classic, OnePixelCellsReportThePopulationAndLeaveTheField) {
  SetCell(5, 6, 64, 64);
  SetCell(10, 6, 64, 64);
  SetCell(11, 6, 64, 64);
  const uint32_t changes = Grid.changes;
  EXPECT_EQ(DrawClassicFrame(64, 64, 1), 3);
  EXPECT_EQ(PixelAt(5, 6), 0xFF0000u);
  EXPECT_EQ(PixelAt(10, 6), 0x00FF00u);
  EXPECT_EQ(PixelAt(6, 6), 0u);
  EXPECT_EQ(Grid.changes, changes);
  EXPECT_EQ(CellAt(5, 6, 64), 1);
  EXPECT_EQ(Field.Generation, 1);
  // Painted again, the same field gives the same picture and count.
  EXPECT_EQ(DrawClassicFrame(64, 64, 1), 3);
  EXPECT_EQ(PixelAt(5, 6), 0xFF0000u);
}

TEST_F(Classic, BlocksBeyondTheSurfaceAreClipped) {
  ResetEngineState(64 * 64, 20, 20);
  BuildPalette();
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) SetCell(x, y, 3, 3);
  EXPECT_EQ(DrawClassicFrame(3, 3, 8), 9);  // 24 x 24 pixels of cells on a 20 x 20 surface
  EXPECT_EQ(PixelAt(19, 19), PixelAt(16, 16));
}

TEST(Surface, BuildPaletteResolvesIndexesAndClearsToTheDeadColour) {
  ResetEngineState(16, 32, 16);
  Settings.n[9] = 14;
  Settings.n[0] = 31;  // reduced to 15
  BuildPalette();
  EXPECT_EQ(View.Palette[9], 0xCCCCCCu);
  EXPECT_EQ(View.Palette[0], 0xFFFFFFu);
  EXPECT_EQ(PixelAt(0, 0), 0xCCCCCCu);
  EXPECT_EQ(PixelAt(31, 15), 0xCCCCCCu);
}

}  // namespace
