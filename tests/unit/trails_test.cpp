// Trails and colour by age: a dead cell fades from the colour it showed last
// to the dead colour, a live one takes the palette's colours by its age, on
// every painter and step the saver has.
#include <gtest/gtest.h>

#include <vector>

#include "engine/kernels.h"
#include "test_support.h"

namespace {

class Trails : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineState(64 * 64, 64, 64);
    BuildPalette();
  }
  void TearDown() override {
    UseKernels(nullptr);
    ReleaseView();
  }
};

// The field in use steps on however its population goes (the clock stands).
void KeepField() { Field.ClassicHistory.ResetDeadline = PlatformTickCount() + 1; }

// A horizontal blinker at (2..4, 3), kept.
void Blinker(int32_t columns, int32_t rows) {
  PlacePattern({"###"}, 2, 3, columns, rows);
  KeepField();
}

TEST_F(Trails, ABlinkersEndsFadeAndComeBackAtOnce) {
  Settings.fade = 2;
  Blinker(16, 8);
  ClassicTick(16, 8, 4);  // generation 1: the ends have one neighbour each
  EXPECT_EQ(PixelAt(2 * 4, 3 * 4), 0x00FF00u);
  ClassicTick(16, 8, 4);  // the ends died: about two thirds of their colour are left
  EXPECT_EQ(PixelAt(2 * 4, 3 * 4), 0x00A700u);
  EXPECT_EQ(PixelAt(4 * 4 + 3, 3 * 4 + 3), 0x00A700u);
  EXPECT_EQ(PixelAt(3 * 4, 2 * 4), 0x00FF00u);  // the new ends are alive
  ClassicTick(16, 8, 4);  // born again: the live colour at once; the other ends fade
  EXPECT_EQ(PixelAt(2 * 4, 3 * 4), 0x00FF00u);
  EXPECT_EQ(PixelAt(3 * 4, 2 * 4), 0x00A700u);
  // Cells cleared by hand vanish at once; a cell that stays dead reaches the
  // dead colour after `fade` generations. (The grid holds the generation
  // after the one painted: the blinker stands upright in it.)
  ClearCell(3, 2, 16, 8);
  ClearCell(3, 3, 16, 8);
  ClearCell(3, 4, 16, 8);
  ClassicTick(16, 8, 4);
  EXPECT_EQ(PixelAt(3 * 4, 2 * 4), 0u);
  EXPECT_EQ(PixelAt(2 * 4, 3 * 4), 0x00A700u);
  ClassicTick(16, 8, 4);
  EXPECT_EQ(PixelAt(2 * 4, 3 * 4), 0x005400u);
  ClassicTick(16, 8, 4);
  EXPECT_EQ(PixelAt(2 * 4, 3 * 4), 0u);
}

TEST_F(Trails, AgeTakesTheNextPaletteColourEachGenerationUpToTheNinth) {
  Settings.age = 1;
  Blinker(16, 8);
  // The blinker's centre lives on: colours 0, 1, ... 8, then 8 for good;
  // its ends are newborn every other generation.
  for (int32_t g = 0; g < 12; ++g) {
    ClassicTick(16, 8, 2);
    EXPECT_EQ(PixelAt(3 * 2, 3 * 2), View.Palette[std::min(g, 8)]) << "generation " << g + 1;
    const int32_t endX = g % 2 == 0 ? 2 : 3, endY = g % 2 == 0 ? 3 : 2;
    EXPECT_EQ(PixelAt(endX * 2, endY * 2), View.Palette[0]) << "generation " << g + 1;
  }
  // A new field starts young again.
  ResetField(16, 8);
  DrawClassicFrame(16, 8, 2);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 16; ++x)
      EXPECT_EQ(PixelAt(x * 2, y * 2), (CellAt(x, y, 16) & 1) ? View.Palette[0] : View.Palette[DeadColour]);
}

// Fading to a light and to a dark dead colour: every step moves each channel
// the same way, evenly, and ends on the dead colour.
TEST_F(Trails, ShadesFadeEvenlyOnLightAndDarkDeadColours) {
  for (uint32_t dead : {0x000000u, 0xFFFFFFu, 0x203040u}) {
    for (int32_t fade : {1, 12, 255}) {
      const uint32_t from = 0x7F10F0;
      int32_t last[3] = {0xF0, 0x10, 0x7F};  // blue, green, red
      for (int32_t f = fade; f >= 0; --f) {
        const uint32_t shade = ShadeBetween(from, dead, TrailWeight(f, fade));
        for (int32_t c = 0; c < 3; ++c) {
          const int32_t now = static_cast<int32_t>((shade >> (8 * c)) & 0xFF);
          const int32_t target = static_cast<int32_t>((dead >> (8 * c)) & 0xFF);
          EXPECT_LE(std::abs(now - target), std::abs(last[c] - target)) << fade << " " << f;
          // Each step at most one part of TrailWeightWhole more than an even share.
          EXPECT_LE(std::abs(now - last[c]), 255 / (fade + 1) + 255 / TrailWeightWhole + 1) << fade << " " << f;
          last[c] = now;
        }
      }
      EXPECT_EQ(ShadeBetween(from, dead, TrailWeight(0, fade)), dead);
      EXPECT_EQ(ShadeBetween(from, dead, TrailWeightWhole), from);
    }
  }
}

// What a cell should show, followed generation by generation from the
// bytes alone: how long it has lived, or since it died and what it showed.
struct CellStory {
  int32_t lived = 0;      // generations alive before this one
  int32_t sinceDeath = 0;  // 0 alive or never lived
  uint32_t lastColour = 0;
};

uint32_t Expected(const CellStory& c, uint8_t v, int32_t fade, bool byAge) {
  if (v & 1) return byAge ? View.Palette[std::min(c.lived, 8)] : View.Palette[(v >> 1) & 7];
  if (c.sinceDeath == 0 || c.sinceDeath > fade) return View.Palette[DeadColour];
  return ShadeBetween(c.lastColour, View.Palette[DeadColour], TrailWeight(fade + 1 - c.sinceDeath, fade));
}

// One field of `columns` x `rows` in cells of `s`, by ClassicTick: the
// pictures of 40 generations against the story of every cell.
void ExpectStoryPictures(int32_t columns, int32_t rows, int32_t s, int32_t fade, bool byAge) {
  ResetEngineState(64 * 64, 64, 64);
  BuildPalette();
  Settings.fade = fade;
  Settings.age = byAge ? 1 : 0;
  Settings.flags &= ~FlagDigitalEffect;
  LcgSeed(static_cast<uint32_t>(columns * 31 + rows + s));
  ResetField(columns, rows);
  KeepField();
  std::vector<CellStory> story(static_cast<size_t>(columns) * rows);
  const int32_t resets = Field.ResetCount;
  for (int32_t g = 0; g < 40; ++g) {
    const std::vector<uint8_t> before(Grid.LiveCells, Grid.LiveCells + story.size());
    ClassicTick(columns, rows, s);
    ASSERT_EQ(Field.ResetCount, resets);
    int32_t wrong = 0;
    for (int32_t y = 0; y < rows; ++y)
      for (int32_t x = 0; x < columns; ++x) {
        const size_t k = static_cast<size_t>(y) * columns + x;
        const uint32_t expected = Expected(story[k], before[k], fade, byAge);
        if (PixelAt(x * s, y * s) != expected && wrong++ < 3)
          ADD_FAILURE() << "cell (" << x << ", " << y << ") generation " << g;
        const bool now = Grid.LiveCells[k] & 1;
        if (before[k] & 1) {
          story[k].lastColour = expected;
          story[k].lived += 1;
          if (!now) story[k] = CellStory{0, 1, expected};
        } else if (now) {
          story[k] = CellStory{};
        } else if (story[k].sinceDeath > 0) {
          story[k].sinceDeath += 1;
        }
      }
    ASSERT_EQ(wrong, 0) << "generation " << g;
  }
}

TEST_F(Trails, EveryPainterAndStepTellsTheSameStory) {
  for (const GridKernels* kernels : EveryKernelSetAndPlain()) {
    for (auto [fade, byAge] : {std::pair{3, false}, {0, true}, {5, true}}) {
      SCOPED_TRACE(std::string(kernels->name) + " fade " + std::to_string(fade) + (byAge ? " by age" : ""));
      UseKernels(kernels);
      ExpectStoryPictures(40, 24, 1, fade, byAge);  // painted in the step's pass
      ExpectStoryPictures(16, 16, 4, fade, byAge);  // blocks, a kernel step
      ExpectStoryPictures(12, 10, 1, fade, byAge);  // too narrow for the kernels: the plain paths
      ExpectStoryPictures(12, 10, 4, fade, byAge);
    }
  }
}

// One-pixel frames painted in the step's pass take a fade's weights by table
// up to some length and work them out beyond it: fades on both sides of
// that, on rows of several registers and a rest.
TEST_F(Trails, LongAndShortFadesPaintTheSameStoryInTheStepsPass) {
  for (const GridKernels* kernels : EveryKernelSetAndPlain()) {
    for (auto [fade, byAge] : {std::pair{1, true}, {16, true}, {20, false}, {31, true}, {32, false}, {45, true},
                               {255, false}}) {
      SCOPED_TRACE(std::string(kernels->name) + " fade " + std::to_string(fade) + (byAge ? " by age" : ""));
      UseKernels(kernels);
      ExpectStoryPictures(64, 20, 1, fade, byAge);
      ExpectStoryPictures(57, 9, 1, fade, byAge);
    }
  }
}

// The planes step alike on every kernel set and the plain path, for rows of
// any width, and the marks name every segment whose shade moved.
TEST_F(Trails, KernelPlanesMatchThePlainStepAndMarkEveryShadeThatMoves) {
  const std::vector<const GridKernels*> sets = EveryWideKernelSet();
  for (auto [columns, rows] : {std::pair{16, 9}, {33, 20}, {100, 31}, {129, 40}}) {
    const size_t cells = static_cast<size_t>(columns) * rows;
    for (const GridKernels* kernels : sets) {
      ResetEngineState(200 * 60);
      UseTrails(7, true);
      LcgSeed(static_cast<uint32_t>(columns + 3 * rows));
      RandomFill(columns, rows);
      RestartTrails();
      const TrailPlanes* trails = GridTrails(columns, rows);
      ASSERT_NE(trails, nullptr);
      std::vector<uint8_t> cellsCopy(Grid.LiveCells, Grid.LiveCells + cells), age(cells, 0), fade(cells, 0);
      UseKernels(kernels);
      for (int32_t g = 0; g < 25; ++g) {
        std::vector<bool> moved(cells);
        for (size_t k = 0; k < cells; ++k)
          moved[k] = TrailStep(cellsCopy[k], CellAction(Field.RuleActions, cellsCopy[k]), &age[k], &fade[k], *trails);
        const uint32_t painted = Grid.changes;
        StepGeneration(columns, rows);
        std::copy(Grid.LiveCells, Grid.LiveCells + cells, cellsCopy.begin());
        ASSERT_TRUE(std::equal(age.begin(), age.end(), trails->age)) << kernels->name << " generation " << g;
        ASSERT_TRUE(std::equal(fade.begin(), fade.end(), trails->fade)) << kernels->name << " generation " << g;
        const uint8_t* marks = MarksSince(painted, columns, rows);
        ASSERT_NE(marks, nullptr);
        for (size_t k = 0; k < cells; ++k) {
          if (!moved[k]) continue;
          ASSERT_NE(marks[(k / columns) * MarkSegments(columns) + (k % columns) / MarkSegment], 0)
                << kernels->name << " " << columns << "x" << rows << " cell " << k;
        }
      }
    }
  }
}

// A fade shortened while cells fade holds for them from the next step on.
TEST_F(Trails, AShorterFadeHoldsForCellsAlreadyFading) {
  Settings.fade = 200;
  Blinker(16, 8);
  ClassicTick(16, 8, 4);
  ClassicTick(16, 8, 4);
  // The grid holds the next generation: the blinker lies flat again, and its
  // upright ends have 200 generations of fading to come.
  ClearCell(2, 3, 16, 8);
  ClearCell(3, 3, 16, 8);
  ClearCell(4, 3, 16, 8);
  Settings.fade = 2;
  ClassicTick(16, 8, 4);  // painted as the shortest fade's first step
  EXPECT_EQ(PixelAt(3 * 4, 2 * 4), 0x00A700u);
  ClassicTick(16, 8, 4);
  EXPECT_EQ(PixelAt(3 * 4, 2 * 4), 0x005400u);
  ClassicTick(16, 8, 4);
  EXPECT_EQ(PixelAt(3 * 4, 2 * 4), 0u);
}

// Off, the planes are let go: turned on again, the field starts young.
TEST_F(Trails, PlanesTurnedOnAgainStartAfresh) {
  UseTrails(4, true);
  Blinker(16, 8);
  const TrailPlanes* trails = GridTrails(16, 8);
  ASSERT_NE(trails, nullptr);
  StepGeneration(16, 8);
  StepGeneration(16, 8);
  EXPECT_EQ(trails->age[3 * 16 + 3], 2);
  UseTrails(0, false);
  EXPECT_EQ(GridTrails(16, 8), nullptr);
  StepGeneration(16, 8);
  UseTrails(4, true);
  trails = GridTrails(16, 8);
  ASSERT_NE(trails, nullptr);
  EXPECT_EQ(trails->age[3 * 16 + 3], 0);
  EXPECT_EQ(trails->fade[3 * 16 + 2], 0);
}

}  // namespace
