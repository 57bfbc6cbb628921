#include <gtest/gtest.h>

#include <cstring>

#include "lifeface_files.h"
#include "test_support.h"

namespace {

// Lifefaces over a picture whose every pixel tells its own place, so the
// tile drawn into a cell can be read back from the frame surface.
class Animated : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    Folder = MakeTempFolder();
    ASSERT_TRUE(WriteBytes(Folder + "/p8.bmp", WritePlacesBmp(128, 32)));    // 16 x 4 tiles of 8
    ASSERT_TRUE(WriteBytes(Folder + "/p16.bmp", WritePlacesBmp(128, 64)));   // 8 x 4 tiles of 16
    ASSERT_TRUE(WriteBytes(Folder + "/odd.bmp", WritePlacesBmp(124, 20)));   // 15.5 x 2.5 tiles of 8
  }
  static void TearDownTestSuite() { RemoveTree(Folder); }
  void SetUp() override {
    ResetEngineState(64 * 64, 64, 64);
    Field.SeedInUse = 0;
  }
  void TearDown() override {
    ReleaseFrameSurface(LifefaceSurface);
    LifefaceSurface = nullptr;
  }
  // One lifeface of 8-pixel tiles with the given columns, rows and options.
  void UseFace(const std::string& layout, const std::string& picture = "p8.bmp", int pixels = 8) {
    std::string text = "[Test]\nbmp = '" + Folder + "/" + picture + "'\npixels = " + std::to_string(pixels) +
                       "\n" + layout + "\n";
    ParseCatalogueText(text.data(), text.size());
    ASSERT_EQ(LifefaceCatalogue.count, 1);
    Settings.face = 0;
    UseLifeface();
    ASSERT_NE(LifefaceSurface, nullptr);
  }
  // The tile column and row drawn into cell (j, i).
  static std::pair<int, int> TileAt(int j, int i, int side = 8) {
    const uint32_t p = PixelAt(j * side, i * side);
    const int pixels = CurrentLifeface()->pixels;
    return {static_cast<int>((p >> 16) & 0xFF) / pixels, static_cast<int>((p >> 8) & 0xFF) / pixels};
  }
  static int TileColumnAt(int j, int i) { return TileAt(j, i).first; }

  static std::string Folder;
};
std::string Animated::Folder;

// Cell values: 6 is born, 1 dies, 5 survives, 0 stays dead.
void PlaceCells() {
  Grid.LiveCells[0] = 6;
  Grid.LiveCells[1] = 1;
  Grid.LiveCells[2] = 5;
}

TEST_F(Animated, EvenSpansShowOneTilePerFrame) {
  UseFace("x0 = 1, x1 = 5, x2 = 9, x3 = 13");
  EXPECT_EQ(Transition.TransitionFrames, 4);
  PlaceCells();
  for (int k = 0; k < 4; ++k) {
    AnimatedTick(8, 8, 1);
    EXPECT_EQ(TileColumnAt(0, 0), 1 + k);
    EXPECT_EQ(TileColumnAt(1, 0), 9 + k);
    EXPECT_EQ(TileColumnAt(3, 0), 0);  // background
  }
  EXPECT_EQ(Transition.NextPopulation, 2);
  FillSurface(0x123456);
  AnimatedTick(8, 8, 1);  // the fifth tick steps and draws nothing
  EXPECT_EQ(PixelAt(0, 0), 0x123456u);
  EXPECT_EQ(Transition.TransitionFrame, 0);
}

// The tiles follow the field's rule: under HighLife a dead cell with six
// neighbours is born; under Seeds every live cell dies.
TEST_F(Animated, BirthsSurvivalsAndDeathsFollowTheFieldsRule) {
  UseFace("x0 = 1, x1 = 5, x2 = 9, x3 = 13");
  const uint8_t cells[4] = {12, 13, 6, 7};  // dead with 6, alive with 6, dead with 3, alive with 3
  const int32_t Survives = -1;              // a survivor tile, 5..8
  const struct {
    LifeRule rule;
    int32_t tiles[4];  // 0 background, 1 born, 9 dies
    int32_t population;
  } cases[] = {
      {ConwayRule, {0, 9, 1, Survives}, 2},
      {{0x48, 0xC}, {1, 9, 1, Survives}, 3},  // HighLife
      {{0x4, 0x0}, {0, 9, 0, 9}, 0},          // Seeds
  };
  for (const auto& c : cases) {
    std::copy(cells, cells + 4, Grid.LiveCells);
    UseRule(c.rule);
    RestartTransition();
    AnimatedTick(8, 8, 1);
    for (int j = 0; j < 4; ++j) {
      if (c.tiles[j] == Survives) {
        EXPECT_GE(TileColumnAt(j, 0), 5) << c.rule.birth << " cell " << j;
        EXPECT_LE(TileColumnAt(j, 0), 8) << c.rule.birth << " cell " << j;
      } else {
        EXPECT_EQ(TileColumnAt(j, 0), c.tiles[j]) << c.rule.birth << " cell " << j;
      }
    }
    EXPECT_EQ(Transition.NextPopulation, c.population) << c.rule.birth;
  }
}

// Under a rule with dying states the death run is spread over them: with
// four states (two dying) and a run of 6 tiles, a cell that stops living
// shows its first third, a cell in state 2 the second, in state 3 the last.
TEST_F(Animated, DyingStatesShareTheDeathRun) {
  UseFace("x0 = 1, x1 = 3, x2 = 4, x3 = 10");
  CellRule starWars = CellRuleOf(LifeRule{0x4, 0x38});  // B2/S345/C4
  starWars.states = 4;
  UseRule(starWars);
  RestartTransition();
  SetCell(1, 0, 8, 8);   // alone: dies
  SetCellState(3, 0, 2, 8, 8);
  SetCellState(5, 0, 3, 8, 8);
  const int32_t frames = Transition.TransitionFrames;
  ASSERT_EQ(frames, 6);
  for (int k = 0; k < frames; ++k) {
    AnimatedTick(8, 8, 1);
    EXPECT_EQ(TileColumnAt(1, 0), 4 + k / 3) << k;
    EXPECT_EQ(TileColumnAt(3, 0), 6 + k / 3) << k;
    EXPECT_EQ(TileColumnAt(5, 0), 8 + k / 3) << k;
  }
  EXPECT_EQ(Transition.NextPopulation, 0);
}

// A rule of the 3 x 3 block decides births by where the neighbours are: an
// L of three makes a birth in its corner, a line of three does not.
TEST_F(Animated, BlockRulesDecideByTheNeighbours) {
  UseFace("x0 = 1, x1 = 5, x2 = 9, x3 = 13");
  CellRule rule = CellRuleOf(ConwayRule);
  rule.kind = RuleMapped;
  std::memset(rule.map, 0, sizeof rule.map);
  // Born only with live N, W and NW (Golly's bits 7, 5 and 8).
  const uint32_t corner = 1u << 8 | 1u << 7 | 1u << 5;
  rule.map[corner >> 3] |= static_cast<uint8_t>(1u << (corner & 7));
  UseRule(rule);
  RestartTransition();
  SetCell(1, 1, 8, 8);
  SetCell(2, 1, 8, 8);
  SetCell(1, 2, 8, 8);  // cell (2, 2) sees NW, N and W
  AnimatedTick(8, 8, 1);
  EXPECT_EQ(TileColumnAt(2, 2), 1);
  EXPECT_EQ(TileColumnAt(2, 3), 0);  // sees only N: no birth
  EXPECT_EQ(Transition.NextPopulation, 1);
}

TEST_F(Animated, UnevenSpansMoveAtTheirOwnRates) {
  UseFace("x0 = 1, x1 = 3, x2 = 4, x3 = 12");
  EXPECT_EQ(Transition.TransitionFrames, 8);
  EXPECT_EQ(Transition.birthRate, 16384);
  PlaceCells();
  const int births[8] = {1, 1, 1, 1, 2, 2, 2, 2};
  for (int k = 0; k < 8; ++k) {
    AnimatedTick(8, 8, 1);
    EXPECT_EQ(TileColumnAt(0, 0), births[k]) << k;
    EXPECT_EQ(TileColumnAt(1, 0), 4 + k) << k;
  }
  // The ninth tick ends the transition: it reports the step due and leaves
  // the field to the loop.
  const int32_t generation = Field.Generation, resets = Field.ResetCount;
  const uint32_t changes = Grid.changes;
  EXPECT_TRUE(AnimatedTick(8, 8, 1));
  EXPECT_EQ(Field.Generation, generation);
  EXPECT_EQ(Field.ResetCount, resets);
  EXPECT_EQ(Grid.changes, changes);
}

TEST_F(Animated, EqualColumnsGiveOneFramePerGeneration) {
  UseFace("x0 = 3, x1 = 3, x2 = 3, x3 = 3");
  EXPECT_EQ(Transition.TransitionFrames, 1);
  PlaceCells();
  AnimatedTick(8, 8, 1);
  EXPECT_EQ(TileColumnAt(0, 0), 3);
  EXPECT_EQ(TileColumnAt(1, 0), 3);
  EXPECT_EQ(TileColumnAt(2, 0), 3);
  AnimatedTick(8, 8, 1);
  EXPECT_EQ(Transition.TransitionFrame, 0);
}

TEST_F(Animated, OneRowRangeKeepsEveryCellOnItsRow) {
  UseFace("x0 = 1, x1 = 2, x2 = 6, x3 = 7, y0 = 2, y1 = 2, flags = 9");
  for (int i = 0; i < 64; ++i) Grid.LiveCells[i] = static_cast<uint8_t>(i % 18);
  DrawLifefaceFrame(8, 8, 1, 1, 6);
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 8; ++j) ASSERT_EQ(TileAt(j, i).second, 2) << j << "," << i;
}

TEST_F(Animated, TimedSurvivorsShareOneTileThatMovesOnWithTheClock) {
  UseFace("x0 = 1, x1 = 2, x2 = 6, x3 = 7, coltime = 250");
  for (int i = 0; i < 64; ++i) Grid.LiveCells[i] = 5;
  FakeNow = 250 * 1000;  // survivor time 1000, a multiple of the span 4
  DrawLifefaceFrame(8, 8, 1, 1, 6);
  for (int j = 0; j < 8; ++j) EXPECT_EQ(TileColumnAt(j, 3), 2);
  FakeNow += 250;
  DrawLifefaceFrame(8, 8, 1, 1, 6);
  for (int j = 0; j < 8; ++j) EXPECT_EQ(TileColumnAt(j, 3), 3);
  FakeNow += 249;
  DrawLifefaceFrame(8, 8, 1, 1, 6);
  EXPECT_EQ(TileColumnAt(0, 0), 3);
}

TEST_F(Animated, ColumnTermGivesNeighboursConsecutiveSurvivorTiles) {
  UseFace("x0 = 1, x1 = 2, x2 = 6, x3 = 7, flags = 8");
  for (int i = 0; i < 64; ++i) Grid.LiveCells[i] = 7;
  DrawLifefaceFrame(8, 8, 1, 1, 6);
  for (int j = 0; j < 7; ++j) EXPECT_EQ((TileColumnAt(j + 1, 0) - 2), (TileColumnAt(j, 0) - 2 + 1) % 4) << j;
}

TEST_F(Animated, RowTermSpreadsRowsOverTheField) {
  UseFace("x0 = 1, x1 = 2, x2 = 6, x3 = 7, y0 = 0, y1 = 3, flags = 16");
  for (int i = 0; i < 64; ++i) Grid.LiveCells[i] = 5;
  DrawLifefaceFrame(8, 8, 1, 1, 6);
  // t = (b + i) x columns: row i takes tile row (8 i) mod 3.
  for (int i = 0; i < 8; ++i) EXPECT_EQ(TileAt(0, i).second, (8 * i) % 3) << i;
}

TEST_F(Animated, ScaleFourMakesEveryTilePixelASquare) {
  ResetEngineState(64 * 64, 128, 128);
  UseFace("x0 = 1, x1 = 2, x2 = 3, x3 = 4", "p16.bmp", 16);
  Grid.LiveCells[0] = 6;
  DrawLifefaceFrame(2, 2, 4, 1, 3);
  // Cell (0, 0) is 64 x 64 pixels: picture pixel (16 + u, v) fills a 4 x 4 square.
  for (int v = 0; v < 64; ++v)
    for (int u = 0; u < 64; ++u)
      ASSERT_EQ(PixelAt(u, v), (static_cast<uint32_t>(16 + u / 4) << 16 | static_cast<uint32_t>(v / 4) << 8) + 1);
  EXPECT_EQ(PixelAt(64, 0), 1u);  // cell (1, 0): background tile, picture pixel (0, 0)
}

TEST_F(Animated, TilesBeyondThePictureShowBlackAndBlocksBeyondTheSurfaceAreClipped) {
  // 124 x 20 picture, 8-pixel tiles: column 15 is half outside, row 2 too.
  ResetEngineState(64 * 64, 60, 60);
  UseFace("x0 = 15, x1 = 15, x2 = 15, x3 = 15, y0 = 2, y1 = 2", "odd.bmp");
  for (int i = 0; i < 64; ++i) Grid.LiveCells[i] = 6;
  DrawLifefaceFrame(8, 8, 1, 15, 15);
  EXPECT_EQ(PixelAt(3, 3), (static_cast<uint32_t>(123) << 16 | static_cast<uint32_t>(19) << 8) + 1);
  EXPECT_EQ(PixelAt(4, 3), 0u);   // past the right edge of the picture
  EXPECT_EQ(PixelAt(3, 4), 0u);   // past the bottom edge
  EXPECT_EQ(PixelAt(59, 59), PixelAt(3, 3));  // the last surface pixel, inside a clipped block
}

TEST_F(Animated, OffsetsStayInRangeAfterLongUptimes) {
  UseFace("x0 = 1, x1 = 2, x2 = 7, x3 = 8, y0 = 0, y1 = 3, coltime = 1, rowtime = 1, flags = 31");
  Field.ResetCount = INT32_MAX;
  Field.Generation = INT32_MAX;
  Field.SeedInUse = INT32_MIN;
  for (int i = 0; i < 64; ++i) Grid.LiveCells[i] = static_cast<uint8_t>(5 + 2 * (i % 2));
  for (uint32_t now : {0x7FFFFFF0u, 0xFFFFFFF0u, 0xFFFFFFFFu}) {
    FakeNow = now;
    DrawLifefaceFrame(8, 8, 1, 1, 7);
    for (int i = 0; i < 8; ++i)
      for (int j = 0; j < 8; ++j) {
        auto [column, row] = TileAt(j, i);
        ASSERT_GE(column, 2);
        ASSERT_LT(column, 7);
        ASSERT_LT(row, 3);
      }
  }
}

class AnimatedReset : public Animated {
 protected:
  void UseFaces(const std::vector<int>& pixels) {
    std::string text;
    for (size_t k = 0; k < pixels.size(); ++k)
      text += "[Face " + std::to_string(k) + "]\nbmp = '" + Folder + "/p16.bmp'\npixels = " +
              std::to_string(pixels[k]) + "\nx0 = 1, x1 = 2, x2 = 3, x3 = 4\n";
    ParseCatalogueText(text.data(), text.size());
    ASSERT_EQ(LifefaceCatalogue.count, static_cast<int32_t>(pixels.size()));
    Settings.face = 0;
    UseLifeface();
  }
  // A stagnant boundary past its deadline: the field is reset.
  void StagnantBoundary() {
    FakeNow += 5000;
    const FrameLayout layout = CurrentLayout();
    AdvanceOrReset(nullptr, layout.columns, layout.rows, 0);
  }
};

TEST_F(AnimatedReset, ResetsWalkTheCatalogueInOrderAndWrap) {
  UseFaces({16, 8, 16});
  std::vector<int32_t> faces;
  for (int k = 0; k < 4; ++k) {
    StagnantBoundary();
    faces.push_back(Settings.face);
  }
  EXPECT_EQ(faces, (std::vector<int32_t>{1, 2, 0, 1}));
  EXPECT_EQ(Field.ResetCount, 4);
  EXPECT_EQ(CurrentLayout().cellSize, 16);  // face 1: 8 pixels x scale 2
}

TEST_F(AnimatedReset, WithoutRandomLifefaceTheFaceStays) {
  UseFaces({16, 8});
  Settings.flags &= ~FlagRandomLifeface;
  StagnantBoundary();
  StagnantBoundary();
  EXPECT_EQ(Settings.face, 0);
  EXPECT_EQ(Field.ResetCount, 2);
}

TEST_F(AnimatedReset, UnusableNextFaceGetsAFieldForTheClassicCells) {
  UseFaces({16, 7});
  ASSERT_TRUE(CurrentLayout().animated);  // 32-pixel cells: 2 x 2 on 64 x 64
  StagnantBoundary();
  EXPECT_EQ(Settings.face, 0);  // the bad tile size sent it back to the first
  EXPECT_EQ(LifefaceSurface, nullptr);
  const FrameLayout layout = CurrentLayout();
  ASSERT_FALSE(layout.animated);
  EXPECT_EQ(layout.columns, 8);
  EXPECT_GT(LiveCount(8, 8), 16);  // more than a 2 x 2 field could hold
}

}  // namespace
