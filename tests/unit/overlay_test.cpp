#include <gtest/gtest.h>

#include "test_support.h"

namespace {

class Overlay : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineState(16, 64, 64);
    FakeMetrics = {14, 7, 9};
    saved = LifefaceCatalogue;
  }
  // Only the name of the record matters here, so it is placed by hand.
  void UseNamedFace(const char* name) {
    static LifefaceRecord record;
    record = LifefaceRecord{};
    std::snprintf(record.name, sizeof record.name, "%s", name);
    LifefaceCatalogue.records = &record;
    LifefaceCatalogue.count = 1;
    Settings.face = 0;
  }
  void TearDown() override {
    LifefaceCatalogue = saved;
    LifefaceCatalogue.count = 0;
  }
  LifefaceCatalogueState saved;
  std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (const FakeTextCall& call : FakeTextOuts) texts.push_back(call.text);
    return texts;
  }
  // Draws twice, `interval` ms apart, so the frame-rate line has a sample.
  void DrawTwice(uint32_t interval) {
    DrawOverlay();
    FakeTextOuts.clear();
    FakeNow += interval;
    DrawOverlay();
  }
};

TEST_F(Overlay, DefaultsPrintTheLifefaceNameRedOnBlack) {
  UseNamedFace("Glow Worms");
  DrawOverlay();
  ASSERT_EQ(FakeTextOuts.size(), 1u);
  const FakeTextCall& line = FakeTextOuts[0];
  EXPECT_EQ(line.text, "Glow Worms");
  EXPECT_EQ(line.x, 9);   // the widest character
  EXPECT_EQ(line.y, 14);  // one line height down
  EXPECT_EQ(line.colour, 0xFF0000u);  // red
  EXPECT_EQ(line.background, 0u);
  EXPECT_TRUE(line.opaque);
  EXPECT_EQ(line.font, View.OverlayFont);
}

TEST_F(Overlay, TheNameLineNamesAFieldsRuleOtherThanConways) {
  UseNamedFace("Glow Worms");
  UseRule(LifeRule{0x48, 0xC});
  DrawOverlay();
  ASSERT_EQ(FakeTextOuts.size(), 1u);
  EXPECT_EQ(FakeTextOuts[0].text, "Glow Worms, HighLife");
  FakeTextOuts.clear();
  UseRule(LifeRule{0x28, 0xC});  // no name: its notation
  DrawOverlay();
  EXPECT_EQ(FakeTextOuts[0].text, "Glow Worms, B35/S23");
}

// A pattern field is named in either mode, in place of the lifeface, and
// only where the name line is asked for.
TEST_F(Overlay, APatternFieldShowsThePatternsNameAndItsRule) {
  UseNamedFace("Glow Worms");
  std::snprintf(Field.PatternName, sizeof Field.PatternName, "%s", "Gosper glider gun");
  DrawOverlay();
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Gosper glider gun"}));
  FakeTextOuts.clear();
  Settings.mode = ModeClassic;
  UseRule(LifeRule{0x48, 0xC});
  DrawOverlay();
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Gosper glider gun, HighLife"}));
  FakeTextOuts.clear();
  Settings.flags &= ~FlagPrintInfo;
  DrawOverlay();
  EXPECT_TRUE(FakeTextOuts.empty());
}

TEST_F(Overlay, ClassicModeShowsNoLifefaceLineAndTheOthersInTheirOrder) {
  UseNamedFace("Glow Worms");
  Settings.mode = ModeClassic;
  Settings.flags |= FlagPrintPopulation | FlagPrintGeneration | FlagPrintFps;
  Field.Generation = 12;
  Field.Population = 345;
  DrawTwice(16);
  ASSERT_EQ(Texts(), (std::vector<std::string>{"Generation: 12", "Population: 345", "FPS/target: 62/66"}));
  EXPECT_EQ(FakeTextOuts[0].y, 14);
  EXPECT_EQ(FakeTextOuts[1].y, 28);
  EXPECT_EQ(FakeTextOuts[2].y, 42);
  EXPECT_EQ(FakeTextOuts[0].colour, 0x0000FFu);  // gen: colour 3, blue
  EXPECT_EQ(FakeTextOuts[1].colour, 0x00FF00u);  // pop: colour 2, green
  EXPECT_EQ(FakeTextOuts[2].colour, 0xFFFF00u);  // fps: colour 4, yellow
}

TEST_F(Overlay, LinesNotShownTakeNoSpace) {
  UseNamedFace("Glow Worms");
  Settings.flags = FlagPrintPopulation;
  DrawOverlay();
  ASSERT_EQ(FakeTextOuts.size(), 1u);
  EXPECT_EQ(FakeTextOuts[0].y, 14);
}

TEST_F(Overlay, NoLifefaceMeansNoLifefaceLine) {
  DrawOverlay();
  EXPECT_TRUE(FakeTextOuts.empty());
  UseNamedFace("Glow Worms");
  Settings.face = 5;
  DrawOverlay();
  EXPECT_TRUE(FakeTextOuts.empty());
}

TEST_F(Overlay, FrameRateTexts) {
  Settings.flags = FlagPrintFps;
  Settings.delay = 0;
  DrawTwice(4);
  EXPECT_EQ(Texts(), std::vector<std::string>{"FPS/target: 250/(none)"});
  Settings.delay = -3;
  FakeTextOuts.clear();
  FakeNow += 4;
  DrawOverlay();
  EXPECT_EQ(Texts(), std::vector<std::string>{"FPS/target: 250/(none)"});
}

TEST_F(Overlay, NoFrameRateOnTheFirstFrameOrAfterALongGap) {
  Settings.flags = FlagPrintFps;
  DrawOverlay();  // the interval since tick 0 is far above ten seconds
  EXPECT_TRUE(FakeTextOuts.empty());
  FakeNow += 10000;
  DrawOverlay();
  EXPECT_TRUE(FakeTextOuts.empty());
  FakeNow += 9999;
  DrawOverlay();
  EXPECT_EQ(Texts(), std::vector<std::string>{"FPS/target: 0/66"});
  EXPECT_EQ(FrameRate.intervalCount, 1u);
}

TEST_F(Overlay, AverageIsHalvedPastTenThousandSamples) {
  Settings.flags = FlagPrintFps;
  DrawOverlay();
  for (int i = 0; i < 10001; ++i) {
    FakeNow += 20;
    DrawOverlay();
  }
  EXPECT_EQ(FrameRate.intervalCount, 10001u);
  FakeNow += 20;
  DrawOverlay();
  EXPECT_EQ(FrameRate.intervalCount, 5001u);
  EXPECT_EQ(FrameRate.intervalSum, 100020u);
  EXPECT_EQ(FakeTextOuts.back().text, "FPS/target: 50/66");
}

TEST_F(Overlay, ColourIndexesOutsideTheTableAreReduced) {
  UseNamedFace("Glow Worms");
  Settings.inf = 17;   // 1: red
  Settings.binf = -1;  // 15: white
  DrawOverlay();
  ASSERT_EQ(FakeTextOuts.size(), 1u);
  EXPECT_EQ(FakeTextOuts[0].colour, 0xFF0000u);
  EXPECT_EQ(FakeTextOuts[0].background, 0xFFFFFFu);
}

}  // namespace
