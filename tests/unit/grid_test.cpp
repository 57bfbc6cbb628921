#include <gtest/gtest.h>

#include "test_support.h"

namespace {

// Every cell's neighbour count must equal its live neighbours on the torus.
void ExpectConsistent(int32_t columns, int32_t rows) {
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < columns; ++x) {
      int live = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          if (dx == 0 && dy == 0) continue;
          live += CellAt((x + dx + columns) % columns, (y + dy + rows) % rows, columns) & 1;
        }
      ASSERT_EQ(CellAt(x, y, columns) >> 1, live) << "cell " << x << "," << y;
    }
}

TEST(Generator, SeedOneGivesTheKnownSequence) {
  LcgSeed(1);
  EXPECT_EQ(LcgNext(), 41);
  EXPECT_EQ(LcgNext(), 18467);
  EXPECT_EQ(LcgNext(), 6334);
}

TEST(Grid, NeighbourOffsetsWrapOnBothAxes) {
  NeighbourStep inner = NeighbourOffsets(3, 3, 10, 8);
  EXPECT_EQ(inner.left, -1);
  EXPECT_EQ(inner.right, 1);
  EXPECT_EQ(inner.up, -10);
  EXPECT_EQ(inner.down, 10);
  NeighbourStep corner = NeighbourOffsets(0, 0, 10, 8);
  EXPECT_EQ(corner.left, 9);
  EXPECT_EQ(corner.up, 70);
  NeighbourStep far = NeighbourOffsets(9, 7, 10, 8);
  EXPECT_EQ(far.right, -9);
  EXPECT_EQ(far.down, -70);
}

TEST(Grid, BlinkerMiddleHoldsFiveInBothPhases) {
  ResetEngineState(64);
  PlacePattern({"###"}, 2, 3, 8, 8);
  EXPECT_EQ(CellAt(3, 3, 8), 5);
  StepGeneration(8, 8);
  EXPECT_EQ(CellAt(3, 3, 8), 5);
  EXPECT_EQ(CellAt(3, 2, 8) & 1, 1);
  EXPECT_EQ(CellAt(3, 4, 8) & 1, 1);
  EXPECT_EQ(CellAt(2, 3, 8) & 1, 0);
  StepGeneration(8, 8);
  EXPECT_EQ(CellAt(3, 3, 8), 5);
  EXPECT_EQ(CellAt(2, 3, 8) & 1, 1);
  EXPECT_EQ(CellAt(3, 2, 8) & 1, 0);
  ExpectConsistent(8, 8);
}

TEST(Grid, GliderCrossesEveryEdge) {
  // A south-east glider returns to its shape displaced by (1, 1) every four
  // generations; after 4 x 12 generations on a 12 x 12 torus it is home again.
  ResetEngineState(144);
  const std::vector<std::string> glider = {".#.", "..#", "###"};
  PlacePattern(glider, 8, 8, 12, 12);
  std::vector<uint8_t> start(Grid.LiveCells, Grid.LiveCells + 144);
  for (int g = 0; g < 4 * 6; ++g) StepGeneration(12, 12);
  // Halfway round, it has wrapped over the right and bottom edges into the
  // top-left area: shifted by (6, 6) modulo 12.
  for (int32_t y = 0; y < 12; ++y)
    for (int32_t x = 0; x < 12; ++x)
      EXPECT_EQ(CellAt((x + 6) % 12, (y + 6) % 12, 12) & 1, start[y * 12 + x] & 1);
  ExpectConsistent(12, 12);
  for (int g = 0; g < 4 * 6; ++g) StepGeneration(12, 12);
  EXPECT_TRUE(std::equal(start.begin(), start.end(), Grid.LiveCells));
}

TEST(Grid, CrowdedCellsDieAndEmptyOnesStayDead) {
  ResetEngineState(25);
  PlacePattern({"###", "###", "###"}, 1, 1, 5, 5);
  EXPECT_EQ(CellAt(2, 2, 5), 17);
  ClearCell(2, 2, 5, 5);
  EXPECT_EQ(CellAt(2, 2, 5), 16);
  StepGeneration(5, 5);
  EXPECT_EQ(CellAt(2, 2, 5) & 1, 0);
}

TEST(Grid, ThreeByThreeTorusMakesEveryCellANeighbour) {
  ResetEngineState(9);
  SetCell(1, 1, 3, 3);
  for (int32_t i = 0; i < 9; ++i)
    if (i != 4) {
      EXPECT_EQ(Grid.LiveCells[i], 2) << i;
    }
  EXPECT_EQ(Grid.LiveCells[4], 1);
  ClearCell(1, 1, 3, 3);
  for (int32_t i = 0; i < 9; ++i) EXPECT_EQ(Grid.LiveCells[i], 0);
}

TEST(Grid, RandomFillConsumesTwoValuesPerCellAndStaysConsistent) {
  ResetEngineState(80 * 60);
  LcgSeed(12345);
  RandomFill(80, 60);
  uint32_t afterFill = Field.LcgState;
  LcgSeed(12345);
  for (int i = 0; i < 9600; ++i) LcgNext();
  EXPECT_EQ(afterFill, Field.LcgState);
  int32_t live = LiveCount(80, 60);
  EXPECT_GT(live, 4800 * 0.6);
  EXPECT_LT(live, 4800 * 0.66);
  ExpectConsistent(80, 60);
  for (int g = 0; g < 30; ++g) StepGeneration(80, 60);
  ExpectConsistent(80, 60);
}

TEST(Grid, SameSeedGivesSameField) {
  ResetEngineState(40 * 30);
  LcgSeed(7);
  RandomFill(40, 30);
  std::vector<uint8_t> first(Grid.LiveCells, Grid.LiveCells + 1200);
  LcgSeed(7);
  RandomFill(40, 30);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), Grid.LiveCells));
}

TEST(Grid, DegenerateSizesStayInsideTheGridAndConsistent) {
  for (auto [columns, rows] : {std::pair{1, 1}, {1, 5}, {5, 1}, {2, 2}}) {
    ResetEngineState(64);
    std::fill(Grid.LiveCells + columns * rows, Grid.LiveCells + 64, 0xAB);
    LcgSeed(3);
    RandomFill(columns, rows);
    for (int g = 0; g < 5; ++g) StepGeneration(columns, rows);
    for (int32_t i = columns * rows; i < 64; ++i) ASSERT_EQ(Grid.LiveCells[i], 0xAB) << columns << "x" << rows;
    for (int32_t i = 0; i < columns * rows; ++i) ASSERT_LE(Grid.LiveCells[i], 17);
  }
}

TEST(Grid, SizesThatDoNotFitTheBufferAreIgnored) {
  ResetEngineState(16);
  RandomFill(0, 5);
  RandomFill(5, -1);
  RandomFill(5, 5);  // 25 cells > 16
  StepGeneration(5, 5);
  SetCell(0, 0, 5, 5);
  for (int32_t i = 0; i < 16; ++i) EXPECT_EQ(Grid.LiveCells[i], 0);
}

}  // namespace
