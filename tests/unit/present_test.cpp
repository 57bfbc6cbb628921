// Frames that paint and present only what changed: the surface must be
// exactly what painting every cell gives, and the window exactly the
// surface, whatever changed and however little.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/kernels.h"
#include "lifeface_files.h"
#include "test_support.h"

namespace {

const int32_t Side = 256;

uint8_t Key(uint8_t v) { return (v & 1) ? v & 15 : 0; }

struct Picture {
  std::vector<uint32_t> pixels;
};

Picture Grab(const FrameSurface* surface) {
  Picture p;
  p.pixels.resize(static_cast<size_t>(surface->width) * surface->height);
  for (int32_t y = 0; y < surface->height; ++y)
    std::memcpy(&p.pixels[static_cast<size_t>(y) * surface->width],
                surface->bits + static_cast<intptr_t>(y) * surface->stride, static_cast<size_t>(surface->width) * 4);
  return p;
}

// The first pixel where two pictures differ, as text; empty when none.
std::string FirstDifference(const Picture& a, const Picture& b, int32_t width) {
  for (size_t i = 0; i < a.pixels.size(); ++i)
    if (a.pixels[i] != b.pixels[i])
      return "pixel (" + std::to_string(i % width) + ", " + std::to_string(i / width) +
             "): " + std::to_string(a.pixels[i]) + " against " + std::to_string(b.pixels[i]);
  return "";
}

// A window's client area of width x height on a 256 x 256 surface, driven
// the way the saver's paint messages drive it.
class Present : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    Folder = MakeTempFolder();
    ASSERT_TRUE(WriteBytes(Folder + "/p8.bmp", WritePlacesBmp(128, 32)));
    ASSERT_TRUE(WriteBytes(Folder + "/p16.bmp", WritePlacesBmp(256, 64)));
    ASSERT_TRUE(WriteBytes(Folder + "/p24.bmp", WritePlacesBmp(240, 72)));
    ASSERT_TRUE(WriteBytes(Folder + "/p12.bmp", WritePlacesBmp(120, 36)));
  }
  static void TearDownTestSuite() { RemoveTree(Folder); }
  void TearDown() override {
    ReleaseFrameSurface(Window);
    Window = nullptr;
    ReleaseFrameSurface(LifefaceSurface);
    LifefaceSurface = nullptr;
    ReleaseView();
  }

  void Start(int32_t width, int32_t height) {
    ResetEngineState(Side * Side);
    FakeTextDraws = true;
    Settings.seed = 77;
    View.ClientWidth = width;
    View.ClientHeight = height;
    ReleaseFrameSurface(Window);
    Window = CreateFrameSurface(nullptr, Side, Side, 32);
    FillBlock(SurfacePixel(Window, 0, 0), Window->stride, Side, Side, 0xABCDEF);
  }
  // Faces of 8-, 16-, 24- and 12-pixel tiles with the usual columns.
  void UseFaces(const std::string& flags) {
    std::string text;
    for (const char* name : {"p8", "p16", "p24", "p12"}) {
      const std::string pixels = std::string(name).substr(1);
      text += std::string("[") + name + "]\nbmp = '" + Folder + "/" + name + ".bmp'\npixels = " + pixels +
              "\nx0 = 1, x1 = 3, x2 = 6, x3 = 9, y0 = 0, y1 = 2\ncoltime = 30, rowtime = 70\nflags = " + flags + "\n";
    }
    ParseCatalogueText(text.data(), text.size());
    ASSERT_EQ(LifefaceCatalogue.count, 4);
  }
  // One paint message: the frame if due, then the copy to the window.
  bool Paint(bool forget) {
    if (forget) ForgetSurfacePaint();
    const bool drawn = FrameTick(nullptr);
    PresentFrame(Window);
    return drawn;
  }
  // Runs the same frames twice, once painting only what changed and once
  // painting every cell, and compares every frame; the window must show
  // the surface after each.
  void ExpectSameFrames(int frames) {
    std::vector<Picture> whole;
    const int32_t width = View.ClientWidth, height = View.ClientHeight;
    const SaverSettings settings = Settings;
    for (int run = 0; run < 2 && !HasFatalFailure(); ++run) {
      const bool forget = run == 1;
      Start(width, height);
      Settings = settings;
      StartEngine(nullptr, Side, Side);
      for (int f = 0; f < frames && !HasFailure();) {
        if (keepMarks) Damage.marksWasted = false;
        if (!Paint(forget)) continue;
        const Picture now = Grab(View.Surface);
        if (forget) {
          const std::string d = FirstDifference(whole[f], now, Side);
          ASSERT_EQ(d, "") << "frame " << f;
        } else {
          whole.push_back(now);
          const std::string d = FirstDifference(now, Grab(Window), Side);
          ASSERT_EQ(d, "") << "window after frame " << f;
        }
        ++f;
      }
    }
  }

  static std::string Folder;
  FrameSurface* Window = nullptr;
  bool keepMarks = false;  // one-pixel frames paint from the marks whatever they save
  // Runs the check on a fresh 250 x 240 view of classic cells of 1, 2 and 8
  // pixels, with and without the digital effect; fields settle and reset
  // within a run.
  template <class Check>
  void WithEveryCellSize(Check check) {
    for (int32_t cscale : {0, 1, 3}) {
      for (bool digital : {false, true}) {
        SCOPED_TRACE("cscale " + std::to_string(cscale) + (digital ? " digital" : ""));
        Start(250, 240);
        Settings.mode = ModeClassic;
        Settings.cscale = cscale;
        Settings.reset = 200;
        check(cscale, digital);
      }
    }
  }
  // Runs the check with each kernel set this machine has in use, on a fresh
  // 250 x 240 view of one-pixel classic cells.
  template <class Check>
  void WithEveryKernelSet(Check check) {
    for (const GridKernels* kernels : EveryKernelSetAndPlain()) {
      SCOPED_TRACE(kernels->name);
      UseKernels(kernels);
      Start(250, 240);
      Settings.mode = ModeClassic;
      Settings.cscale = 0;
      check();
    }
    UseKernels(nullptr);
  }
};
std::string Present::Folder;

TEST_F(Present, ClassicFramesOfEveryCellSizeMatchWholeOnes) {
  WithEveryCellSize([this](int32_t, bool digital) {
    Settings.flags = FlagPrintGeneration | FlagPrintPopulation | FlagPrintFps | (digital ? FlagDigitalEffect : 0u);
    ExpectSameFrames(120);
  });
}

// One-pixel cells paint the marked segments with each kernel set's own
// painter, a partial segment at the right edge included.
TEST_F(Present, OnePixelFramesMatchWholeOnesWithEveryKernelSet) {
  WithEveryKernelSet([this] {
    Settings.flags = FlagPrintGeneration;
    ExpectSameFrames(80);  // marks tried, found wasted on the soup, tried again
    keepMarks = true;
    ExpectSameFrames(60);
    keepMarks = false;
  });
}

// Fading and ageing cells change without their bytes changing: frames that
// paint only what changed still match whole ones, with every cell size, the
// digital effect and every kernel set, the marks in use or not.
TEST_F(Present, FramesWithTrailsAndAgesMatchWholeOnes) {
  WithEveryCellSize([this](int32_t cscale, bool digital) {
    Settings.fade = digital ? 12 : 3;
    Settings.age = cscale != 1;
    Settings.flags = FlagPrintGeneration | FlagPrintPopulation | (digital ? FlagDigitalEffect : 0u);
    ExpectSameFrames(80);
  });
  WithEveryKernelSet([this] {
    Settings.fade = 16;
    Settings.age = 1;
    Settings.flags = FlagPrintGeneration;
    keepMarks = true;
    ExpectSameFrames(60);
    keepMarks = false;
  });
}

// A soup changes most of a one-pixel frame: the marks save no copying, so
// the frames after are painted whole for a while, the last of them marking
// its step for the next to try the marks again.
TEST_F(Present, WastedMarksPaintWholeFramesForAWhile) {
  if (EveryWideKernelSet().empty()) GTEST_SKIP() << "only the wide kernels mark what a step changed";
  Start(250, 240);
  Settings.mode = ModeClassic;
  Settings.cscale = 0;
  Settings.flags = 0;
  StartEngine(nullptr, Side, Side);
  std::string kinds;
  const std::string stretch(UnmarkedFrames, 'w');
  const std::string expected = "m" + stretch + "m" + stretch + "m";
  while (kinds.size() < 3 + expected.size()) {
    if (!FrameTick(nullptr)) continue;
    kinds += Damage.whole ? 'w' : 'm';
    PresentFrame(Window);
  }
  // The first frames have no marks to read (nothing shown yet, no step made).
  const size_t first = kinds.find('m');
  ASSERT_LE(first, 3u) << kinds;
  EXPECT_EQ(kinds.substr(first, expected.size()), expected);
  EXPECT_EQ(FirstDifference(Grab(View.Surface), Grab(Window), Side), "");
  // Frames drawn back to back are never painted from marks.
  Settings.delay = 0;
  for (int f = 0; f < 3 * UnmarkedFrames; ++f) {
    ASSERT_TRUE(FrameTick(nullptr));
    ASSERT_TRUE(Damage.whole) << "frame " << f;
    PresentFrame(Window);
  }
}

TEST_F(Present, ColoursThatMoveRepaintEveryCell) {
  Start(256, 200);
  Settings.mode = ModeClassic;
  Settings.cscale = 2;
  Settings.cycle = 40;  // the colours move on every 40 ms
  ExpectSameFrames(60);
  Start(256, 200);
  Settings.mode = ModeClassic;
  Settings.cscale = 0;
  Settings.flags = FlagCycleAtReset;
  Settings.reset = 100;
  ExpectSameFrames(80);
}

TEST_F(Present, LifefaceFramesMatchWholeOnes) {
  for (const char* flags : {"0", "1", "9", "27"}) {
    for (int32_t ascale : {0, 1}) {
      SCOPED_TRACE(std::string("flags ") + flags + " ascale " + std::to_string(ascale));
      Start(250, 235);
      UseFaces(flags);
      Settings.mode = ModeAnimated;
      Settings.ascale = ascale;
      Settings.flags = FlagPrintInfo | FlagPrintGeneration | FlagRandomLifeface;
      Settings.reset = 150;  // a new face, of another tile size, every few fields
      ExpectSameFrames(150);
    }
  }
}

// Where the cells leave a strip uncovered it shows the clearing colour, also
// after cells of another size covered more of it, and also after an
// overlay line reached into it.
TEST_F(Present, UncoveredStripsHoldOnlyTheClearingColour) {
  Start(250, 235);
  UseFaces("9");
  Settings.mode = ModeAnimated;
  Settings.ascale = 0;
  Settings.flags = FlagPrintInfo | FlagPrintGeneration | FlagPrintPopulation;
  FakeMetrics = {16, 30, 31};  // lines reach far past the cells
  StartEngine(nullptr, Side, Side);
  const uint32_t clear = View.Palette[DeadColour];
  for (int face : {1, 3, 0, 2, 3, 1, -1, 0}) {
    if (face < 0) {
      Settings.mode = ModeClassic;  // and back to lifefaces after
    } else {
      Settings.mode = ModeAnimated;
      Settings.face = face;
      UseLifeface();
      PrepareTransition();
    }
    for (int k = 0; k < 2; ++k) {
      if (k == 1) Settings.flags &= ~(FlagPrintInfo | FlagPrintPopulation);  // shorter overlay
      while (!Paint(false)) {
      }
    }
    Settings.flags |= FlagPrintInfo | FlagPrintPopulation;
    const FrameLayout layout = CurrentLayout();
    const int32_t coveredWidth = std::min(layout.columns * layout.cellSize, Side);
    const int32_t coveredHeight = std::min(layout.rows * layout.cellSize, Side);
    ASSERT_TRUE(coveredWidth < Side || coveredHeight < Side) << face;
    // The overlay just drawn may lie there; nothing else may.
    const PixelRect overlay = Painted.stale;
    ASSERT_GT(overlay.width, 0);
    int wrong = 0;
    for (int32_t y = 0; y < Side; ++y)
      for (int32_t x = 0; x < Side; ++x) {
        const bool underOverlay =
            x >= overlay.x && x < overlay.x + overlay.width && y >= overlay.y && y < overlay.y + overlay.height;
        if ((x >= coveredWidth || y >= coveredHeight) && !underOverlay && PixelAt(x, y) != clear) ++wrong;
      }
    EXPECT_EQ(wrong, 0) << "face " << face << ", cells of " << layout.cellSize;
    EXPECT_EQ(FirstDifference(Grab(View.Surface), Grab(Window), Side), "") << face;
  }
}

// Nothing changed: nothing is copied, until the repair a second later.
TEST_F(Present, AnUnchangedFieldIsCopiedOnlyToRepairTheWindow) {
  Start(256, 256);
  Settings.mode = ModeClassic;
  Settings.delay = 5000;
  StartEngine(nullptr, Side, Side);
  ASSERT_TRUE(Paint(false));
  ASSERT_FALSE(Paint(false));
  FillBlock(SurfacePixel(Window, 0, 0), Window->stride, Side, Side, 0x123456);  // something covered the window
  const uint32_t covered = FakeNow;
  while (FakeNow - covered < 900) {
    ASSERT_FALSE(Paint(false));
    ASSERT_EQ(*SurfacePixel(Window, 100, 100), 0x123456u);
  }
  while (FakeNow - covered < 1100) ASSERT_FALSE(Paint(false));
  EXPECT_EQ(FirstDifference(Grab(View.Surface), Grab(Window), Side), "");
}

TEST(DamageRects, RunsJoinDownwardAndManySmallOnesBecomeFewWideOnes) {
  ResetEngineState(64, Side, Side);
  ClearDamage();
  PixelRect rects[MaxDamageRects];
  EXPECT_EQ(DamageRects(rects, MaxDamageRects), 0);
  DamageRect(10, 5, 100, 30);  // tiles 0-3 of rows 0-4
  DamageRect(200, 40, 1, 1);   // tile 6 of row 5
  ASSERT_EQ(DamageRects(rects, MaxDamageRects), 2);
  EXPECT_EQ(rects[0].x, 0);
  EXPECT_EQ(rects[0].y, 0);
  EXPECT_EQ(rects[0].width, 128);
  EXPECT_EQ(rects[0].height, 40);
  EXPECT_EQ(rects[1].x, 192);
  EXPECT_EQ(rects[1].y, 40);
  EXPECT_EQ(rects[1].width, 32);
  EXPECT_EQ(rects[1].height, 8);
  ASSERT_EQ(DamageRects(rects, 1), 1);  // no room for two: the band around them
  EXPECT_EQ(rects[0].x, 0);
  EXPECT_EQ(rects[0].y, 0);
  EXPECT_EQ(rects[0].width, 224);
  EXPECT_EQ(rects[0].height, 64);
  ClearDamage();
  DamageRect(-50, -50, 10, 10);  // outside: nothing
  DamageRect(Side, 0, 10, 10);
  EXPECT_EQ(DamageRects(rects, MaxDamageRects), 0);
  for (int32_t y = 0; y < Side; y += 32)
    for (int32_t x = 0; x < Side; x += 96) DamageRect(x, y, 1, 1);  // 24 scattered tiles
  // Three tiles of a row with gaps of two: one copy, not three; the rows lie
  // too far apart to join.
  ASSERT_EQ(DamageRects(rects, MaxDamageRects), 8);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(rects[i].x, 0);
    EXPECT_EQ(rects[i].y, 32 * i);
    EXPECT_EQ(rects[i].width, 224);
    EXPECT_EQ(rects[i].height, 8);
  }
  ASSERT_EQ(DamageRects(rects, 4), 1);  // no room for eight: the cheapest bands are one
  EXPECT_EQ(rects[0].width, 224);
  EXPECT_EQ(rects[0].height, Side);
  DamageRect(0, 0, Side, 200);  // most of it, and the tiles below it
  ASSERT_EQ(DamageRects(rects, MaxDamageRects), 2);
  EXPECT_EQ(rects[0].width, Side);
  EXPECT_EQ(rects[0].height, 200);
  EXPECT_EQ(rects[1].y, 224);
  DamageRect(0, 200, Side, 24);  // the run below joins the rectangle
  ASSERT_EQ(DamageRects(rects, MaxDamageRects), 1);
  EXPECT_EQ(rects[0].width, Side);
  EXPECT_EQ(rects[0].height, 232);
  DamageRect(0, 232, Side, 24);
  ASSERT_EQ(DamageRects(rects, MaxDamageRects), 1);  // all of it
  EXPECT_EQ(rects[0].height, Side);
  ReleaseView();
}

// A copy costs what the window shows of it; one that saves little against
// copying the whole window says the marks behind it were wasted.
TEST(DamageRects, CountOnlyTheWindowAndSayWhenTheCopySavedLittle) {
  ResetEngineState(64, Side, Side);
  View.ClientWidth = 100;
  View.ClientHeight = 100;
  PixelRect rects[MaxDamageRects];
  ClearDamage();
  DamageRect(0, 0, 100, 100);
  ASSERT_EQ(DamageRects(rects, MaxDamageRects), 1);
  EXPECT_TRUE(Damage.marksWasted);
  ClearDamage();
  DamageRect(0, 0, 100, 60);  // 128 x 64 of tiles, 60 % of the window
  ASSERT_EQ(DamageRects(rects, MaxDamageRects), 1);
  EXPECT_FALSE(Damage.marksWasted);
  ClearDamage();
  DamageRect(0, 0, 100, 100);
  DamageRect(200, 200, 50, 50);  // beyond the window: costs a copy call only
  ASSERT_GE(DamageRects(rects, MaxDamageRects), 1);
  EXPECT_TRUE(Damage.marksWasted);
  ReleaseView();
}

// Whatever is damaged, the rectangles cover every damaged tile, stay on the
// surface and within the room given, and never cost more copying than the
// whole surface (each copy counted as CopyCallPixels pixels more).
TEST(DamageRects, CoverEveryDamagedTileAndCostNoMoreThanTheWholeSurface) {
  const int32_t width = 1000, height = 600;
  ResetEngineState(64, width, height);
  PixelRect rects[MaxDamageRects];
  uint32_t state = 12345;
  auto next = [&](uint32_t n) {
    state = state * 1664525u + 1013904223u;
    return static_cast<int32_t>((state >> 8) % n);
  };
  for (int round = 0; round < 300 && !HasFailure(); ++round) {
    ClearDamage();
    const int32_t spots = 1 + next(round < 100 ? 8 : 600);
    const int32_t reach = 1 + next(round % 3 == 0 ? 300 : 40);
    for (int32_t i = 0; i < spots; ++i) DamageRect(next(width), next(height), 1 + next(reach), 1 + next(reach));
    const int32_t capacity = round % 4 == 0 ? 1 + next(6) : MaxDamageRects;
    std::vector<uint8_t> copied(static_cast<size_t>(width) * height, 0);
    const int32_t count = DamageRects(rects, capacity);
    ASSERT_GE(count, 1);
    ASSERT_LE(count, capacity);
    int64_t cost = 0;
    for (int32_t i = 0; i < count; ++i) {
      const PixelRect& r = rects[i];
      ASSERT_TRUE(r.x >= 0 && r.y >= 0 && r.width > 0 && r.height > 0 && r.x + r.width <= width &&
                  r.y + r.height <= height)
          << "round " << round;
      cost += CopyCallPixels + static_cast<int64_t>(r.width) * r.height;
      for (int32_t y = r.y; y < r.y + r.height; ++y) std::fill_n(&copied[static_cast<size_t>(y) * width + r.x], r.width, 1);
    }
    EXPECT_LE(cost, CopyCallPixels + int64_t{width} * height) << "round " << round;
    for (int32_t ty = 0; ty < Damage.rows; ++ty)
      for (int32_t tx = 0; tx < Damage.columns; ++tx) {
        if (Damage.tiles[static_cast<size_t>(ty) * Damage.columns + tx] == 0) continue;
        const int32_t x1 = std::min(width, (tx + 1) * DamageTileWidth), y1 = std::min(height, (ty + 1) * DamageTileHeight);
        for (int32_t y = ty * DamageTileHeight; y < y1; ++y)
          for (int32_t x = tx * DamageTileWidth; x < x1; ++x)
            ASSERT_EQ(copied[static_cast<size_t>(y) * width + x], 1) << "round " << round << " pixel " << x << ", " << y;
      }
  }
  ReleaseView();
}

// The marks a step leaves name every segment where a cell's colour changed
// (a live cell's count or life), on every kernel set, for rows of any width
// the kernels take.
TEST(ChangeMarks, EveryCellOfAnotherColourLiesInAMarkedSegment) {
  for (const GridKernels* kernels : EveryWideKernelSet()) {
    for (auto [columns, rows] : {std::pair{16, 9}, {33, 20}, {64, 8}, {100, 31}, {129, 40}, {300, 50}}) {
      ResetEngineState(300 * 50);
      UseKernels(kernels);
      LcgSeed(static_cast<uint32_t>(columns * 7 + rows));
      RandomFill(columns, rows);
      for (int g = 0; g < 30; ++g) {
        const std::vector<uint8_t> before(Grid.LiveCells, Grid.LiveCells + columns * rows);
        const uint32_t painted = Grid.changes;
        StepGeneration(columns, rows);
        const uint8_t* marks = MarksSince(painted, columns, rows);
        ASSERT_NE(marks, nullptr) << kernels->name;
        int changed = 0, unmarked = 0;
        for (int32_t y = 0; y < rows; ++y)
          for (int32_t x = 0; x < columns; ++x)
            if (Key(before[y * columns + x]) != Key(Grid.LiveCells[y * columns + x])) {
              ++changed;
              unmarked += marks[y * MarkSegments(columns) + x / MarkSegment] == 0;
            }
        ASSERT_EQ(unmarked, 0) << kernels->name << " " << columns << "x" << rows << " generation " << g;
      }
      // Any other change of the field leaves no marks to go by.
      const uint32_t painted = Grid.changes;
      StepGeneration(columns, rows);
      SetCell(0, 0, columns, rows);
      EXPECT_EQ(MarksSince(painted, columns, rows), nullptr);
      EXPECT_EQ(MarksSince(Grid.changes - 1, columns + 1, rows), nullptr);
    }
  }
  UseKernels(nullptr);
  ReleaseView();
}

}  // namespace
