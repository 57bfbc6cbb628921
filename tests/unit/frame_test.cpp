#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "engine/counters.h"
#include "lifeface_files.h"
#include "test_support.h"

namespace {

class FramePacing : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineState(256 * 256, 256, 256);
    Settings.mode = ModeClassic;
    BuildPalette();
  }
  // True when the tick computed a frame (a classic frame always moves the
  // generation on or resets the field).
  bool TickComputes() {
    const int32_t generation = Field.Generation, resets = Field.ResetCount;
    const uint32_t due = Schedule.NextFrameTime;
    const size_t sleeps = FakeSleeps.size();
    FrameTick(nullptr);
    const bool computed = Field.Generation != generation || Field.ResetCount != resets || Schedule.NextFrameTime != due;
    if (!computed && FakeSleeps.size() == sleeps) FakeNow += 1;  // the next paint comes a little later
    return computed;
  }
};

// Early, a paint waits for the frame instead of spinning through paint
// messages: a short wait ends in the frame, a long one in pieces of 50 ms.
TEST_F(FramePacing, EarlyPaintsWaitForTheFrameRatherThanSpin) {
  for (uint32_t early : {1u, 4u, 5u, 49u, 50u}) {
    FakeSleeps.clear();
    Schedule.NextFrameTime = FakeNow + early;
    EXPECT_TRUE(FrameTick(nullptr)) << early;
    EXPECT_EQ(FakeSleeps, std::vector<uint32_t>{early});
  }
  FakeSleeps.clear();
  Schedule.NextFrameTime = FakeNow + 80;
  EXPECT_FALSE(FrameTick(nullptr));
  EXPECT_TRUE(FrameTick(nullptr));
  EXPECT_EQ(FakeSleeps, (std::vector<uint32_t>{50, 30}));
}

// Input ends a wait early: the paint then draws nothing and the next one
// waits for the rest.
TEST_F(FramePacing, AWaitCutShortByInputDrawsNothing) {
  Schedule.NextFrameTime = FakeNow + 20;
  FakeIdleCut = 5;
  EXPECT_FALSE(FrameTick(nullptr));
  FakeIdleCut = 0;
  EXPECT_EQ(FrameDueIn(FakeNow), 15u);
  EXPECT_TRUE(FrameTick(nullptr));
}

TEST_F(FramePacing, HalfOfTheLatenessComesOffTheNextPeriod) {
  Schedule.NextFrameTime = FakeNow - 10;
  EXPECT_TRUE(TickComputes());
  EXPECT_EQ(Schedule.NextFrameTime, FakeNow + 10);
  Schedule.NextFrameTime = FakeNow - 11;  // truncated toward zero: 5
  EXPECT_TRUE(TickComputes());
  EXPECT_EQ(Schedule.NextFrameTime, FakeNow + 10);
  Schedule.NextFrameTime = FakeNow;
  EXPECT_TRUE(TickComputes());
  EXPECT_EQ(Schedule.NextFrameTime, FakeNow + 15);
}

// A start at any tick count: the first frame is due at once, and the loop
// keeps its pace from there (also across 2^31 and the 2^32 wrap).
TEST_F(FramePacing, StartAtAnyTickCountDrawsAtOnceAndKeepsPace) {
  for (uint32_t start : {0u, 1u, 100000u, 0x7FFFFF00u, 0x7FFFFFFFu, 0x80000000u, 0x80000001u, 3000000000u,
                         0xFFFFFF00u, 0xFFFFFFFFu}) {
    ReleaseView();
    ResetSchedule();
    ResetFieldState();
    FakeNow = start;
    View.ClientWidth = View.ClientHeight = 256;
    StartEngine(nullptr, 256, 256);
    EXPECT_EQ(FrameDueIn(FakeNow), 0u) << start;
    ASSERT_TRUE(TickComputes()) << start;
    EXPECT_EQ(Field.ResetCount, 1) << start;  // the first field is made
    EXPECT_GT(LiveCount(32, 32), 0) << start;
    int frames = 1;
    while (FakeNow - start < 1500) frames += TickComputes();
    EXPECT_GE(frames, 99) << start;  // 15 ms a frame
    EXPECT_LE(frames, 101) << start;
  }
}

// The seam a front end without paint messages drives: ask for the delay,
// wait it out, draw.
TEST_F(FramePacing, DelayThenDrawKeepsTheSchedule) {
  Schedule.NextFrameTime = FakeNow;
  EXPECT_EQ(FrameDueIn(FakeNow), 0u);
  DrawDueFrame(nullptr, FakeNow);
  EXPECT_EQ(FrameDueIn(FakeNow), 15u);
  EXPECT_EQ(FrameDueIn(FakeNow + 20), 0u);  // late
  DrawDueFrame(nullptr, FakeNow + 25);     // 10 late: half off the next period
  EXPECT_EQ(Schedule.NextFrameTime, FakeNow + 25 + 10);
  EXPECT_TRUE(FakeSleeps.empty());
}

TEST_F(FramePacing, ZeroOrNegativeDelayComputesOnEveryPaint) {
  for (int32_t delay : {0, -7, INT32_MIN}) {
    Settings.delay = delay;
    Schedule.NextFrameTime = FakeNow;
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(TickComputes()) << delay;
    EXPECT_TRUE(FakeSleeps.empty()) << delay;
  }
}

TEST_F(FramePacing, LongDelaysAreSleptInShortPiecesSoInputIsHandled) {
  Settings.delay = 50000;
  Schedule.NextFrameTime = FakeNow;
  ASSERT_TRUE(TickComputes());
  int paints = 0;
  while (!TickComputes()) ASSERT_LT(++paints, 5000);
  for (uint32_t slept : FakeSleeps) EXPECT_LE(slept, 50u);
  EXPECT_GE(FakeNow - 100000u, 50000u);
}

TEST_F(FramePacing, FramesKeepComingWhileTheTickCountWraps) {
  FakeNow = 0xFFFFFF00u;
  Schedule.NextFrameTime = FakeNow;
  int frames = 0;
  for (int paint = 0; paint < 200; ++paint) frames += TickComputes();
  EXPECT_LT(FakeNow, 0x1000u);  // wrapped
  EXPECT_GE(frames, 20);
}

TEST_F(FramePacing, SuspendedEngineComputesNothingButThePaintIsLeftToTheWindow) {
  EXPECT_TRUE(AnswerPaint(nullptr));
  Schedule.SuspendFlags = SuspendTick;
  FakeNow += 1000;  // a frame long due
  const uint32_t frames = Counters.framesDrawn, changes = Grid.changes;
  for (int paint = 0; paint < 5; ++paint) EXPECT_FALSE(AnswerPaint(nullptr));
  EXPECT_EQ(Counters.framesDrawn, frames);
  EXPECT_EQ(Grid.changes, changes);
  Schedule.SuspendFlags = 0;
  EXPECT_TRUE(AnswerPaint(nullptr));
}

TEST(FrameLayout, CellCountsComeFromTheClientArea) {
  EXPECT_EQ(Align256(1000), 1024);
  EXPECT_EQ(Align256(750), 768);
  EXPECT_EQ(Align256(1024), 1024);
  EXPECT_EQ(CellCount(1000, 8), 125);
  EXPECT_EQ(CellCount(1001, 8), 126);
  EXPECT_EQ(CellCount(1024, 24), 42);  // the rightmost 16 pixels hold no cell
  EXPECT_EQ(CellCount(0, 8), 0);
  EXPECT_EQ(CellCount(100, 0), 0);
}

TEST(FrameLayout, StoredScalesAreKeptWithinWhatTheSurfaceHolds) {
  Settings = DefaultSettings;
  EXPECT_EQ(ClassicCellSize(), 8);
  Settings.cscale = 40;
  EXPECT_EQ(ClassicCellSize(), 256);
  Settings.cscale = -3;
  EXPECT_EQ(ClassicCellSize(), 1);
  Settings.ascale = 9;
  EXPECT_EQ(AnimatedScale(), 8);
  Settings.ascale = INT32_MIN;
  EXPECT_EQ(AnimatedScale(), 1);
}

class Engine : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineState(16);
    // InitEngine allocates its own buffer and surface.
    ReleaseCellGrid();
    ASSERT_NE(getcwd(start, sizeof start), nullptr);
    folder = MakeTempFolder();
    ASSERT_EQ(chdir(folder.c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(start), 0);
    RemoveTree(folder);
  }
  void WriteCatalogue(int faces) {
    std::string text;
    for (int i = 0; i < faces; ++i) {
      ASSERT_TRUE(WriteBytes(folder + "/f" + std::to_string(i) + ".bmp", WritePlacesBmp(96, 24)));
      text += "[Face " + std::to_string(i) + "]\nbmp = f" + std::to_string(i) + ".bmp\npixels = 12\n"
              "x0 = 1, x1 = 3, x2 = 5, x3 = 8\n";
    }
    ASSERT_TRUE(WriteText(folder + "/tumbra.ini", text));
  }
  char start[4096];
  std::string folder;
};

TEST_F(Engine, StartUpMakesSurfaceGridAndPaletteAndLeavesTheFieldEmpty) {
  WriteCatalogue(0);
  InitEngine(nullptr, 1024, 768);
  ASSERT_NE(View.Surface, nullptr);
  EXPECT_EQ(View.Surface->width, 1024);
  EXPECT_EQ(View.Surface->height, 768);
  EXPECT_EQ(Grid.capacity, 1024u * 768u);
  EXPECT_EQ(LiveCount(1024, 768), 0);
  EXPECT_EQ(FakeStore.writes.size(), static_cast<size_t>(SettingsTableRows));  // a first start writes the defaults
  EXPECT_EQ(Field.SeedInUse, static_cast<int32_t>(FakeNow));
  EXPECT_EQ(PixelAt(1023, 767), View.Palette[DeadColour]);
}

TEST_F(Engine, ClassicModeWithAnEmptyCatalogueAndTheFirstFrameMakesTheField) {
  WriteCatalogue(0);
  View.ClientWidth = 1000;
  View.ClientHeight = 700;
  InitEngine(nullptr, Align256(View.ClientWidth), Align256(View.ClientHeight));
  FrameLayout layout = CurrentLayout();
  EXPECT_FALSE(layout.animated);  // mode 0, but nothing to animate
  EXPECT_EQ(layout.columns, 125);
  EXPECT_EQ(layout.rows, 88);
  FrameTick(nullptr);
  EXPECT_EQ(Field.ResetCount, 1);
  EXPECT_GT(LiveCount(125, 88), 0);
}

TEST_F(Engine, RandomLifefaceIsTheOnlyDrawBeforeTheFirstField) {
  WriteCatalogue(3);
  Settings.seed = 1;
  SaveSettings();  // an existing key holding seed 1
  InitEngine(nullptr, 1024, 768);
  EXPECT_EQ(Field.SeedInUse, 1);
  EXPECT_EQ(Settings.face, 41 % 3);  // LcgSeed(1) draws 41 first
  ASSERT_NE(LifefaceSurface, nullptr);
  View.ClientWidth = 1024;
  View.ClientHeight = 768;
  FrameLayout layout = CurrentLayout();
  EXPECT_TRUE(layout.animated);
  EXPECT_EQ(layout.cellSize, 24);  // pixels 12, ascale 1
  EXPECT_EQ(layout.columns, 42);
}

TEST_F(Engine, SecondStartKeepsSurfaceAndGridButReloadsSettings) {
  WriteCatalogue(0);
  InitEngine(nullptr, 512, 256);
  FrameSurface* surface = View.Surface;
  uint8_t* cells = Grid.LiveCells;
  Settings.seed = 99;
  SaveSettings();
  Settings.seed = 0;
  InitEngine(nullptr, 2048, 2048);
  EXPECT_EQ(View.Surface, surface);
  EXPECT_EQ(Grid.LiveCells, cells);
  EXPECT_EQ(Field.SeedInUse, 99);
}

TEST_F(Engine, ResizeMakesANewSurfaceAndGridAndAFreshField) {
  WriteCatalogue(0);
  Settings.seed = 5;
  SaveSettings();
  View.ClientWidth = 300;
  View.ClientHeight = 200;
  InitEngine(nullptr, Align256(300), Align256(200));
  for (int i = 0; i < 5; ++i) DrawDueFrame(nullptr, FakeNow);
  ASSERT_GT(Field.Generation, 1);
  ResizeView(nullptr, 1000, 600);
  EXPECT_EQ(View.Surface->width, 1024);
  EXPECT_EQ(View.Surface->height, 768);
  EXPECT_EQ(Grid.capacity, 1024u * 768u);
  EXPECT_EQ(Field.Generation, 1);
  EXPECT_EQ(LiveCount(125, 75), 0);
  EXPECT_EQ(PixelAt(1023, 767), View.Palette[DeadColour]);
  EXPECT_EQ(FrameDueIn(FakeNow), 0u);
  DrawDueFrame(nullptr, FakeNow);  // the first boundary makes the new field
  EXPECT_GT(LiveCount(125, 75), 0);
  EXPECT_EQ(CurrentLayout().columns, 125);
}

TEST_F(Engine, StartFromACataloguePathAndGivenSettingsTouchesNoStore) {
  WriteCatalogue(1);
  ASSERT_EQ(chdir(start), 0);  // the catalogue is found by its path alone
  LoadCatalogue((folder + "/tumbra.ini").c_str());
  Settings.flags &= ~FlagRandomLifeface;
  View.ClientWidth = View.ClientHeight = 512;
  StartEngine(nullptr, 512, 512);
  EXPECT_TRUE(FakeStore.writes.empty());
  ASSERT_NE(LifefaceSurface, nullptr);  // its bitmap beside the catalogue
  EXPECT_TRUE(CurrentLayout().animated);
  ASSERT_EQ(chdir(folder.c_str()), 0);
}

TEST_F(Engine, MissingCatalogueEndsTheProcessWithCodeOne) {
  EXPECT_EXIT(InitEngine(nullptr, 256, 256), testing::ExitedWithCode(1), "");
}

// Benchmarks count frames and read the generation from the declared
// counters: one per frame computed, the generation shown, also across resets.
TEST_F(FramePacing, CountersFollowEveryComputedFrameAndTheGenerationShown) {
  Settings.reset = 0;  // a settled field is replaced at once
  const uint32_t start = Counters.framesDrawn;
  uint32_t computed = 0;
  int64_t highest = 0;
  for (int tick = 0; tick < 4000 && Field.ResetCount < 4; ++tick) {
    computed += TickComputes();
    ASSERT_EQ(Counters.framesDrawn - start, computed) << tick;
    ASSERT_EQ(Counters.generation, Field.Generation) << tick;
    highest = std::max(highest, Field.Generation);
  }
  EXPECT_GE(Field.ResetCount, 4);
  EXPECT_GT(highest, 1);
  ResetFieldState();
  EXPECT_EQ(Counters.generation, 1);
}

}  // namespace
