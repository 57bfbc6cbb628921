#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>

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
    const int32_t generation = Generation, resets = ResetCount;
    const uint32_t due = NextFrameTime;
    const size_t sleeps = FakeSleeps.size();
    FrameTick(nullptr);
    const bool computed = Generation != generation || ResetCount != resets || NextFrameTime != due;
    if (!computed && FakeSleeps.size() == sleeps) FakeNow += 1;  // the next paint comes a little later
    return computed;
  }
};

TEST_F(FramePacing, EarlyByFourNeitherSleepsNorComputes) {
  NextFrameTime = FakeNow + 4;
  EXPECT_FALSE(TickComputes());
  EXPECT_TRUE(FakeSleeps.empty());
}

TEST_F(FramePacing, EarlyByFiveSleepsThreeAndComputesNothing) {
  NextFrameTime = FakeNow + 5;
  EXPECT_FALSE(TickComputes());
  EXPECT_EQ(FakeSleeps, std::vector<uint32_t>{3});
}

TEST_F(FramePacing, HalfOfTheLatenessComesOffTheNextPeriod) {
  NextFrameTime = FakeNow - 10;
  EXPECT_TRUE(TickComputes());
  EXPECT_EQ(NextFrameTime, FakeNow + 10);
  NextFrameTime = FakeNow - 11;  // truncated toward zero: 5
  EXPECT_TRUE(TickComputes());
  EXPECT_EQ(NextFrameTime, FakeNow + 10);
  NextFrameTime = FakeNow;
  EXPECT_TRUE(TickComputes());
  EXPECT_EQ(NextFrameTime, FakeNow + 15);
}

TEST_F(FramePacing, FirstFramesRunBackToBackUntilCaughtUp) {
  int frames = 0;
  while (NextFrameTime - FakeNow > 0x80000000u || NextFrameTime == 0) {  // due or late
    ASSERT_TRUE(TickComputes());
    ASSERT_LT(++frames, 40);
  }
  EXPECT_GT(frames, 10);
  EXPECT_TRUE(FakeSleeps.empty());
}

TEST_F(FramePacing, ZeroOrNegativeDelayComputesOnEveryPaint) {
  for (int32_t delay : {0, -7, INT32_MIN}) {
    Settings.delay = delay;
    NextFrameTime = FakeNow;
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(TickComputes()) << delay;
    EXPECT_TRUE(FakeSleeps.empty()) << delay;
  }
}

TEST_F(FramePacing, LongDelaysAreSleptInShortPiecesSoInputIsHandled) {
  Settings.delay = 50000;
  NextFrameTime = FakeNow;
  ASSERT_TRUE(TickComputes());
  int paints = 0;
  while (!TickComputes()) ASSERT_LT(++paints, 5000);
  for (uint32_t slept : FakeSleeps) EXPECT_LE(slept, 50u);
  EXPECT_GE(FakeNow - 100000u, 50000u);
}

TEST_F(FramePacing, FramesKeepComingWhileTheTickCountWraps) {
  FakeNow = 0xFFFFFF00u;
  NextFrameTime = FakeNow;
  int frames = 0;
  for (int paint = 0; paint < 200; ++paint) frames += TickComputes();
  EXPECT_LT(FakeNow, 0x1000u);  // wrapped
  EXPECT_GE(frames, 20);
}

TEST_F(FramePacing, SuspendedEngineComputesNothingButThePaintIsLeftToTheWindow) {
  // The window procedure checks the suspend bit; the tick itself is plain.
  SuspendFlags = SuspendTick;
  EXPECT_EQ(SuspendFlags & SuspendTick, SuspendTick);
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
    std::free(Grid.LiveCells);
    Grid = CellGrid{nullptr, nullptr, 0};
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
  ASSERT_NE(Surface, nullptr);
  EXPECT_EQ(Surface->width, 1024);
  EXPECT_EQ(Surface->height, 768);
  EXPECT_EQ(Grid.capacity, 1024u * 768u);
  EXPECT_EQ(LiveCount(1024, 768), 0);
  EXPECT_EQ(FakeStore.writes.size(), 20u);  // a first start writes the defaults
  EXPECT_EQ(SeedInUse, static_cast<int32_t>(FakeNow));
  EXPECT_EQ(PixelAt(1023, 767), Palette[DeadColour]);
}

TEST_F(Engine, ClassicModeWithAnEmptyCatalogueAndTheFirstFrameMakesTheField) {
  WriteCatalogue(0);
  ClientWidth = 1000;
  ClientHeight = 700;
  InitEngine(nullptr, Align256(ClientWidth), Align256(ClientHeight));
  FrameLayout layout = CurrentLayout();
  EXPECT_FALSE(layout.animated);  // mode 0, but nothing to animate
  EXPECT_EQ(layout.columns, 125);
  EXPECT_EQ(layout.rows, 88);
  FrameTick(nullptr);
  EXPECT_EQ(ResetCount, 1);
  EXPECT_GT(LiveCount(125, 88), 0);
}

TEST_F(Engine, RandomLifefaceIsTheOnlyDrawBeforeTheFirstField) {
  WriteCatalogue(3);
  Settings.seed = 1;
  SaveSettings();  // an existing key holding seed 1
  InitEngine(nullptr, 1024, 768);
  EXPECT_EQ(SeedInUse, 1);
  EXPECT_EQ(Settings.face, 41 % 3);  // LcgSeed(1) draws 41 first
  ASSERT_NE(LifefaceSurface, nullptr);
  ClientWidth = 1024;
  ClientHeight = 768;
  FrameLayout layout = CurrentLayout();
  EXPECT_TRUE(layout.animated);
  EXPECT_EQ(layout.cellSize, 24);  // pixels 12, ascale 1
  EXPECT_EQ(layout.columns, 42);
}

TEST_F(Engine, SecondStartKeepsSurfaceAndGridButReloadsSettings) {
  WriteCatalogue(0);
  InitEngine(nullptr, 512, 256);
  FrameSurface* surface = Surface;
  uint8_t* cells = Grid.LiveCells;
  Settings.seed = 99;
  SaveSettings();
  Settings.seed = 0;
  InitEngine(nullptr, 2048, 2048);
  EXPECT_EQ(Surface, surface);
  EXPECT_EQ(Grid.LiveCells, cells);
  EXPECT_EQ(SeedInUse, 99);
}

TEST_F(Engine, MissingCatalogueEndsTheProcessWithCodeOne) {
  EXPECT_EXIT(InitEngine(nullptr, 256, 256), testing::ExitedWithCode(1), "");
}

}  // namespace
