#include <gtest/gtest.h>

#include "lifeface_files.h"
#include "test_support.h"

namespace {

// Feeds populations to the classic rule, one generation boundary each, with
// the clock moving `step` ms between them; returns the indexes that reset.
std::vector<int> Boundaries(const std::vector<int32_t>& populations, uint32_t step) {
  std::vector<int> resets;
  for (size_t i = 0; i < populations.size(); ++i) {
    int32_t before = Field.ResetCount;
    AdvanceOrReset(10, 10, populations[i]);
    if (Field.ResetCount != before) resets.push_back(static_cast<int>(i));
    FakeNow += step;
  }
  return resets;
}

class Stagnation : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineState(100);
    // The first boundary after start finds the deadline 0 long past.
    AdvanceOrReset(10, 10, 0);
    ASSERT_EQ(Field.ResetCount, 1);
  }
};

TEST_F(Stagnation, FirstBoundaryMakesTheFirstField) {
  EXPECT_EQ(Field.Generation, 1);
  EXPECT_EQ(Field.Population, 0);
  EXPECT_GT(LiveCount(10, 10), 0);
}

TEST_F(Stagnation, ResetFrameShowsGenerationOneAndTheNextStepTwo) {
  AdvanceOrReset(10, 10, 57);
  EXPECT_EQ(Field.Generation, 2);
  EXPECT_EQ(Field.Population, 57);
}

TEST_F(Stagnation, BlockResetsOnceResetTimeHasPassedWithoutNewValue) {
  // Populations settle at 4 at boundary 2 (time 200); deadline 200 + 3000.
  std::vector<int32_t> pops = {30, 12, 4};
  for (int i = 0; i < 40; ++i) pops.push_back(4);
  std::vector<int> resets = Boundaries(pops, 100);
  ASSERT_FALSE(resets.empty());
  // Boundary k happens at k * 100 ms; the first one past 3200 is 33.
  EXPECT_EQ(resets.front(), 33);
}

TEST_F(Stagnation, RepeatsWithinTheLastThreeAreStagnant) {
  std::vector<int32_t> blinkerBesideBlock(60, 7);
  EXPECT_FALSE(Boundaries(blinkerBesideBlock, 100).empty());
  Field.ResetCount = 0;
  std::vector<int32_t> alternating;
  for (int i = 0; i < 60; ++i) alternating.push_back(i % 2 ? 12 : 10);
  EXPECT_FALSE(Boundaries(alternating, 100).empty());
}

TEST_F(Stagnation, FourValueCycleNeverResets) {
  std::vector<int32_t> cycle;
  for (int i = 0; i < 400; ++i) cycle.push_back(10 + i % 4);
  EXPECT_TRUE(Boundaries(cycle, 100).empty());
}

TEST_F(Stagnation, ResetZeroResetsAsSoonAsTheClockMovesPastTheLastNewValue) {
  Settings.reset = 0;
  EXPECT_TRUE(Boundaries({20, 20}, 0).empty());
  FakeNow += 1;
  EXPECT_EQ(Boundaries({20}, 0), std::vector<int>{0});
}

TEST_F(Stagnation, ResetClearsTheHistorySoTheNextValueIsNew) {
  while (Field.ResetCount == 1) {
    AdvanceOrReset(10, 10, 9);
    FakeNow += 100;
  }
  EXPECT_EQ(Field.ClassicHistory.p1, 0);
  EXPECT_EQ(Field.ClassicHistory.p2, 0);
  EXPECT_EQ(Field.ClassicHistory.p3, 0);
  AdvanceOrReset(10, 10, 9);
  EXPECT_EQ(Field.ClassicHistory.ResetDeadline, FakeNow + 3000);
  EXPECT_EQ(Field.ClassicHistory.p1, 9);
}

TEST_F(Stagnation, StagnantFieldResetsAcrossTheTickCountWrapping) {
  FakeNow = 0xFFFFFFFFu - 1000;
  AdvanceOrReset(10, 10, 33);  // deadline 2000 ms after the wrap
  FakeNow += 2000;
  EXPECT_TRUE(Boundaries({33}, 0).empty());
  FakeNow += 2500;  // 1500 ms past the deadline, on the small side of the wrap
  EXPECT_EQ(Boundaries({33}, 0), std::vector<int>{0});
}

TEST_F(Stagnation, StartResetsWhateverTheTickCount) {
  for (uint32_t now : {0u, 2999u, 0x80000000u, 0xFFFFFFFFu}) {
    Field.ClassicHistory = PopulationHistory{0, 0, 0, 0};
    FakeNow = now;
    int32_t before = Field.ResetCount;
    AdvanceOrReset(10, 10, 0);
    EXPECT_EQ(Field.ResetCount, before + 1) << now;
  }
}

TEST_F(Stagnation, NegativeResetTimeResetsAtTheFirstRepeat) {
  Settings.reset = -7;
  EXPECT_EQ(Boundaries({20, 20}, 0), std::vector<int>{1});
}

// Only a lifeface transition's reset moves on to the next lifeface; a
// classic one leaves the face where it is, also with faces to move on to.
TEST_F(Stagnation, ClassicResetLeavesTheLifefaceAlone) {
  const std::string folder = MakeTempFolder();
  ASSERT_TRUE(WriteBytes(folder + "/p8.bmp", WritePlacesBmp(128, 32)));
  std::string text;
  for (int k = 0; k < 3; ++k) text += "[Face " + std::to_string(k) + "]\nbmp = '" + folder + "/p8.bmp'\npixels = 8\n";
  ParseCatalogueText(text.data(), text.size());
  RemoveTree(folder);
  ASSERT_EQ(LifefaceCatalogue.count, 3);
  ASSERT_TRUE(Settings.flags & FlagRandomLifeface);
  Settings.face = 2;
  EXPECT_EQ(Boundaries(std::vector<int32_t>(40, 9), 100).size(), 1u);
  EXPECT_EQ(Settings.face, 2);
}

}  // namespace

// ---- Pattern fields settle by their shape ---------------------------------------

class Shapes : public testing::Test {
 protected:
  void SetUp() override { ResetEngineState(64 * 64); }
  // Runs a pattern field under the classic boundary, `step` ms a generation,
  // for at most `generations`; returns the generation it was replaced at, or
  // 0 when it was not.
  int RunPatternField(int generations, uint32_t step) {
    std::snprintf(Field.PatternName, sizeof Field.PatternName, "test");
    ForgetShapes(&Field.Shapes);
    Field.ShownUntil = FakeNow + LongestShow();
    const int32_t before = Field.ResetCount;
    for (int g = 1; g <= generations; ++g) {
      AdvanceOrReset(64, 64, LiveCount(64, 64));
      if (Field.ResetCount != before) return g;
      FakeNow += step;
    }
    return 0;
  }
};

TEST_F(Shapes, TheShapeHashIgnoresAMoveOnTheTorus) {
  PlacePattern({".#.", "..#", "###"}, 3, 4, 64, 64);
  const uint64_t here = FieldShapeHash(64, 64);
  ClearField(64, 64);
  PlacePattern({".#.", "..#", "###"}, 60, 62, 64, 64);  // wrapping over both edges
  EXPECT_EQ(FieldShapeHash(64, 64), here);
  ClearField(64, 64);
  PlacePattern({"#..", "..#", "###"}, 3, 4, 64, 64);  // another shape
  EXPECT_NE(FieldShapeHash(64, 64), here);
}

TEST_F(Shapes, OscillatorsOfLongPeriodsAndShipsAreReplaced) {
  // A pentadecathlon (period 15), a figure eight (8): their populations
  // repeat with periods above three, which the population rule never sees.
  const std::vector<std::vector<std::string>> patterns = {
      {"..#....#..", "##.####.##", "..#....#.."},
      {"###...", "###...", "###...", "...###", "...###", "...###"},
      {".#..#", "#....", "#...#", "####."},  // a lightweight spaceship
  };
  for (const auto& pattern : patterns) {
    ClearField(64, 64);
    PlacePattern(pattern, 20, 20, 64, 64);
    // Replaced about `reset` (3 s) after its shape first recurs.
    const int replaced = RunPatternField(2000, 20);
    EXPECT_GT(replaced, 3000 / 20) << pattern[0];
    EXPECT_LT(replaced, 3000 / 20 + 200) << pattern[0];
  }
}

TEST_F(Shapes, APatternThatKeepsChangingStaysUntilItsLongestTime) {
  // The R-pentomino grows for a thousand generations and more.
  PlacePattern({".##", "##.", ".#."}, 30, 30, 64, 64);
  const int replaced = RunPatternField(400, 20);
  EXPECT_EQ(replaced, 0);
  // Shown for its longest time, it is replaced, settled or not.
  ClearField(64, 64);
  PlacePattern({".##", "##.", ".#."}, 30, 30, 64, 64);
  const uint32_t step = LongestShow() / 100;
  const int late = RunPatternField(200, step);
  EXPECT_GE(late, 100);
  EXPECT_LE(late, 102);
}
