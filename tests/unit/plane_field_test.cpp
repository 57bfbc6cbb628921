// Pattern fields on the plane: which patterns go there, how a frame steps
// them, how the camera fits and follows them, and when they move on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "lifeface_files.h"
#include "test_support.h"

namespace {

class PlaneField : public testing::Test {
 protected:
  static void SetUpTestSuite() { Folder = MakeTempFolder(); }
  static void TearDownTestSuite() { RemoveTree(Folder); }
  void SetUp() override {
    ResetEngineState(320 * 240, 320, 240);
    Settings.mode = ModeClassic;
    Settings.start = StartPatterns;
    Settings.reset = 3000;
    BuildPalette();
  }
  // The collection is this one file.
  void Collect(const std::string& name, const std::string& text) {
    ASSERT_TRUE(WriteBytes(Folder + "/" + name, std::vector<uint8_t>(text.begin(), text.end())));
    ClearPatternCollection();
    AddPatternFile((Folder + "/" + name).c_str());
  }
  // A frame of the loop at `step` ms after the last.
  void Frame(uint32_t step = 20) {
    FakeNow += step;
    DrawDueFrame(nullptr, FakeNow);
  }
  static std::string Folder;
};
std::string PlaneField::Folder;

const char* const Glider = "#N Glider\nx = 3, y = 3\nbo$2bo$3o!\n";
const char* const Gun =
    "#N Gosper glider gun\nx = 36, y = 9, rule = B3/S23\n24bo$22bobo$12b2o6b2o12b2o$11bo3bo4b2o12b2o$2o8bo5bo3b2o$"
    "2o8bo3bob2o4bobo$10bo5bo7bo$11bo3bo$12b2o!\n";

TEST_F(PlaneField, PatternsThePlaneRunsGoThereTheOthersToTheTorus) {
  Collect("gun.rle", Gun);
  ResetField(40, 30);
  EXPECT_TRUE(Field.OnPlane);
  EXPECT_EQ(PlanePopulation(), 36u);
  EXPECT_STREQ(Field.PatternName, "Gosper glider gun");
  // Centred on the plane's origin, in one of its orientations.
  PlaneBox box;
  ASSERT_TRUE(PlaneBounds(&box));
  EXPECT_LE(std::llabs(box.left + box.right), 1);
  EXPECT_LE(std::llabs(box.top + box.bottom), 1);
  EXPECT_EQ((box.right - box.left + 1) * (box.bottom - box.top + 1), 36 * 9);

  // Generations, a grid of the file's own, or the plane switched off: the torus.
  for (const auto& [name, text] : std::vector<std::pair<std::string, std::string>>{
           {"brain.rle", "x = 3, y = 1, rule = /2/3\nABA!\n"},
           {"ice.rle", "x = 3, y = 2, rule = B25678/S5678:T20,20\n3o$3o!\n"}}) {
    Collect(name, text);
    ResetField(40, 30);
    EXPECT_FALSE(Field.OnPlane) << name;
    EXPECT_GT(LiveCount(40, 30), 0) << name;
  }
  Collect("gun.rle", Gun);
  Settings.plane = 0;
  ResetField(40, 30);
  EXPECT_FALSE(Field.OnPlane);
  EXPECT_EQ(LiveCount(40, 30), 36);
  // The About box's cells are a torus of their own.
  Settings.plane = 1;
  Camera.allowed = false;
  ResetField(40, 30);
  EXPECT_FALSE(Field.OnPlane);
}

TEST_F(PlaneField, AFrameStepsTwoToTheStepGenerationsAndCountsInSixtyFourBits) {
  Collect("gun.rle", Gun);
  Settings.step = 10;
  Frame();  // the first field
  ASSERT_TRUE(Field.OnPlane);
  for (int k = 1; k <= 3; ++k) {
    const uint64_t shown = PlanePopulation();
    Frame();
    EXPECT_EQ(Field.Generation, 1 + 1024 * k);
    EXPECT_EQ(Field.StepLog, 10);
    EXPECT_EQ(Field.Population, static_cast<int64_t>(shown));  // that of the generation painted
  }
  // The step asked for is taken at once while no step has overrun.
  Settings.step = 30;
  for (int k = 0; k < 4; ++k) Frame();
  EXPECT_GT(Field.Generation, int64_t{1} << 31);
}

TEST_F(PlaneField, AStepThatOverrunsTheFrameGivesWayToSmallerOnes) {
  // A soup of 200 x 200: a step of 2^16 works out a great many squares.
  std::string soup = "x = 200, y = 200\n";
  uint32_t seed = 7;
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 200; ++x) {
      seed = seed * 1103515245u + 12345u;
      soup += (seed >> 16) % 3 == 0 ? 'o' : 'b';
    }
    soup += y + 1 < 200 ? "$" : "!\n";
  }
  Collect("soup.rle", soup);
  Settings.step = 16;
  Settings.reset = 86400000;
  Frame();
  ASSERT_TRUE(Field.OnPlane);
  // The clock runs on while the step works: a large step meets its deadline.
  FakeTickPerRead = 1;
  int32_t smallest = 16;
  for (int k = 0; k < 20; ++k) {
    Frame();
    smallest = std::min(smallest, Camera.stepLog);
  }
  EXPECT_LT(smallest, 16);
  // With time to spare again, the step asked for comes back, a step at a time.
  FakeTickPerRead = 0;
  for (int k = 0; k < 31 * 16 && Camera.stepLog < 16; ++k) Frame();
  EXPECT_EQ(Camera.stepLog, 16);
}

TEST_F(PlaneField, TheCameraFitsFollowsAndZoomsWithoutPumping) {
  Collect("glider.rle", Glider);
  Settings.reset = 86400000;
  Frame();
  ASSERT_TRUE(Field.OnPlane);
  // Small patterns are drawn at the classic cell size, in the middle.
  Frame();
  EXPECT_EQ(Camera.zoom, -Settings.cscale);
  for (int k = 0; k < 800; ++k) Frame();
  PlaneBox box;
  ASSERT_TRUE(PlaneBounds(&box));
  EXPECT_NEAR(Camera.centreX, (box.left + box.right + 1) / 2.0, 2.0);
  EXPECT_NEAR(Camera.centreY, (box.top + box.bottom + 1) / 2.0, 2.0);

  // Two cells far apart: out at once to fit them; close again: in one step
  // at a time, and only after a while.
  const auto place = [](std::vector<PlaneCell> cells) {
    ClearPlane(CellRuleOf(LifeRule{0x8, 0x1FF}));  // Life without Death: cells stay
    SetPlaneCells(cells.data(), cells.size());
  };
  place({{0, 0}, {10000, 0}});
  FollowPattern();
  const int32_t far = Camera.zoom;
  EXPECT_GE(std::ldexp(320.0, far), 10000.0);
  place({{0, 0}, {100, 0}});
  int32_t previous = far;
  int frames = 0;
  while (Camera.zoom > ClosestZoom() + 2 && frames < 5000) {
    FollowPattern();
    ++frames;
    EXPECT_GE(Camera.zoom, previous - 1);
    previous = Camera.zoom;
  }
  EXPECT_GT(frames, 60);
  // A pattern on the edge of zooming in does not swing the camera back and forth.
  int32_t changes = 0;
  for (int k = 0; k < 1000; ++k) {
    place(k % 2 == 0 ? std::vector<PlaneCell>{{0, 0}, {100, 0}} : std::vector<PlaneCell>{{0, 0}, {160, 0}});
    const int32_t before = Camera.zoom;
    FollowPattern();
    changes += Camera.zoom != before;
  }
  EXPECT_LE(changes, 2);
}

TEST_F(PlaneField, SettledDeadAndLongShownFieldsMoveOn) {
  // A blinker settles, a glider's shape recurs as it moves, the gun keeps
  // changing until it has shown for its longest time.
  const struct {
    const char* text;
    bool settles;
  } cases[] = {{"x = 3, y = 1\n3o!\n", true}, {Glider, true}, {Gun, false}};
  for (const auto& c : cases) {
    Collect("pattern.rle", c.text);
    ResetField(40, 30);
    ASSERT_TRUE(Field.OnPlane);
    const int32_t before = Field.ResetCount;
    int frame = 0;
    while (Field.ResetCount == before && frame < 1000) {
      Frame(20);
      ++frame;
    }
    if (c.settles) {
      EXPECT_GT(frame, 3000 / 20) << c.text;
      EXPECT_LT(frame, 3000 / 20 + 100) << c.text;
    } else {
      EXPECT_EQ(frame, 1000) << c.text;
    }
  }
  ResetField(40, 30);
  const int32_t before = Field.ResetCount;
  const uint32_t step = LongestShow() / 50;
  int frame = 0;
  while (Field.ResetCount == before && frame < 100) {
    Frame(step);
    ++frame;
  }
  EXPECT_GE(frame, 49);
  EXPECT_LE(frame, 51);
}

TEST_F(PlaneField, TheOverlayShowsTheStep) {
  Collect("gun.rle", Gun);
  Settings.step = 4;
  Settings.flags |= FlagPrintGeneration;
  Frame();
  Frame();
  ASSERT_TRUE(Field.OnPlane);
  bool step = false;
  for (const FakeTextCall& call : FakeTextOuts) step |= call.text == "Step: 2^4";
  EXPECT_TRUE(step);
}

}  // namespace

namespace {

// A rule's own grid: a torus of its size, or a bounded plane kept dead past
// its edge, centred in the view at the largest cells that show it whole.
TEST_F(PlaneField, AGridOfTheRulesOwnIsRunAndShownWhole) {
  Collect("ice.rle", "x = 3, y = 3, rule = B3/S23:T20,12\nbo$2bo$3o!\n");
  ResetField(40, 30);
  ASSERT_FALSE(Field.OnPlane);
  EXPECT_EQ(Field.GridColumns, 20);
  EXPECT_EQ(Field.GridRows, 12);
  EXPECT_EQ(LiveCount(20, 12), 5);
  // 320 x 240 pixels at the classic cell size (8): 160 x 96, in the middle.
  const FrameLayout layout = CurrentLayout();
  EXPECT_EQ(layout.columns, 20);
  EXPECT_EQ(layout.cellSize, 8);
  EXPECT_EQ(layout.originX, 80);
  EXPECT_EQ(layout.originY, 72);
  Frame();
  EXPECT_EQ(PixelAt(0, 0), View.Palette[DeadColour]);
  // The glider crosses the torus's edge and comes back: 20 x 12 is its world.
  for (int k = 0; k < 4 * 20 * 3; ++k) Frame();
  EXPECT_EQ(LiveCount(20, 12), 5);

  // A bounded plane: the glider meets the edge and breaks up into a block.
  Collect("edge.rle", "x = 3, y = 3, rule = B3/S23:P10,10\nbo$2bo$3o!\n");
  ResetField(40, 30);
  EXPECT_EQ(Field.GridEdge, 1);
  EXPECT_EQ(Field.GridColumns, 12);
  for (int k = 0; k < 80; ++k) Frame();
  EXPECT_EQ(LiveCount(12, 12), 4);
  for (int32_t i = 0; i < 12; ++i) {
    EXPECT_EQ(CellState(i, 0, 12, 12) | CellState(0, i, 12, 12) | CellState(11, i, 12, 12) | CellState(i, 11, 12, 12), 0);
  }
}

}  // namespace
