// Windows keeps the saver's surfaces bottom-up: the first row shown lies last
// in memory and the stride is negative. Every painter must give the same
// picture either way, and so must the copies to the window.
#include <gtest/gtest.h>

#include <set>

#include "lifeface_files.h"
#include "test_support.h"

namespace {

const int32_t Width = 160, Height = 96;

struct PainterRun {
  int32_t mode;
  int32_t cscale;
  uint32_t flags;  // added to the defaults
  bool overlay;
};

// Twelve frames of a field from a fixed seed on a surface of the given row
// order, presented to a window picture; the surface's and the window's
// pixels, row by row from the top.
std::pair<std::vector<uint32_t>, std::vector<uint32_t>> Frames(const PainterRun& run, bool bottomUp,
                                                               const std::string& folder) {
  ResetEngineState(static_cast<size_t>(Width) * Height);
  Settings.mode = run.mode;
  Settings.cscale = run.cscale;
  Settings.flags |= run.flags;
  Settings.flags &= ~FlagRandomLifeface;
  if (run.overlay) {
    Settings.flags |= FlagPrintInfo | FlagPrintGeneration | FlagPrintPopulation | FlagPrintFps;
    FakeTextDraws = true;
  }
  const std::string text = "[Places]\nbmp = '" + folder + "/p8.bmp'\npixels = 8\nx0 = 1, x1 = 4, x2 = 6, x3 = 9\n";
  ParseCatalogueText(text.data(), text.size());
  FakeSurfacesBottomUp = bottomUp;
  View.Surface = CreateFrameSurface(nullptr, Width, Height, 32);
  EXPECT_EQ(View.Surface->stride < 0, bottomUp);
  View.ClientWidth = Width;
  View.ClientHeight = Height;
  View.OverlayFont = PlatformCreateOverlayFont(nullptr);
  FakeSurfacesBottomUp = !bottomUp;  // the window the other way round
  FrameSurface* window = CreateFrameSurface(nullptr, Width, Height, 32);
  FakeSurfacesBottomUp = true;
  Settings.face = 0;
  UseLifeface();
  Field.SeedInUse = 77;
  LcgSeed(77);
  BuildPalette();
  Schedule.NextFrameTime = FakeNow;
  for (int frame = 0; frame < 12; ++frame) {
    DrawDueFrame(nullptr, FakeNow);
    PresentFrame(window);
    FakeNow += 15;
  }
  std::vector<uint32_t> surface, shown;
  for (int32_t y = 0; y < Height; ++y)
    for (int32_t x = 0; x < Width; ++x) {
      surface.push_back(*SurfacePixel(View.Surface, x, y));
      shown.push_back(*SurfacePixel(window, x, y));
    }
  ReleaseFrameSurface(window);
  ReleaseFrameSurface(LifefaceSurface);
  LifefaceSurface = nullptr;
  ReleaseView();
  return {surface, shown};
}

TEST(RowOrder, EveryPainterPaintsBottomUpSurfacesAsTopDownOnes) {
  const std::string folder = MakeTempFolder();
  ASSERT_TRUE(WriteBytes(folder + "/p8.bmp", WritePlacesBmp(128, 32)));
  const PainterRun runs[] = {
      {ModeClassic, 0, 0, false},                  // one pixel a cell, painted in the step's pass
      {ModeClassic, 3, FlagDigitalEffect, false},  // blocks with the digital effect
      {ModeClassic, 2, 0, true},                   // blocks under the overlay
      {ModeAnimated, 1, 0, false},                 // lifeface tiles, scaled
      {ModeAnimated, 0, 0, true},                  // lifeface tiles under the overlay
  };
  for (const PainterRun& run : runs) {
    SCOPED_TRACE("mode " + std::to_string(run.mode) + " cscale " + std::to_string(run.cscale) +
                 (run.overlay ? " with the overlay" : ""));
    const auto bottomUp = Frames(run, true, folder);
    const auto topDown = Frames(run, false, folder);
    EXPECT_TRUE(bottomUp.first == topDown.first);
    EXPECT_TRUE(bottomUp.second == bottomUp.first);
    EXPECT_TRUE(topDown.second == topDown.first);
    // A picture of one colour would pass the comparisons whatever the rows.
    EXPECT_GE(std::set<uint32_t>(bottomUp.first.begin(), bottomUp.first.end()).size(), 3u);
  }
  RemoveTree(folder);
}

}  // namespace
