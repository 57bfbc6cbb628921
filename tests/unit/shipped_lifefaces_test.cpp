// The lifefaces the build generates, read the way the saver reads them: every
// section survives the parser, every tile layout lies inside its picture, every
// animation tile shows something, and a few frames of each draw a lively field.
// The generated folder comes from SHIPPED_DATA_DIR (set by the build) or the
// environment variable TUMBRA_SHIPPED_DATA_DIR; without either the tests skip.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

std::string ShippedFolder() {
  const char* given = std::getenv("TUMBRA_SHIPPED_DATA_DIR");
  if (given != nullptr && given[0] != 0) return given;
#ifdef SHIPPED_DATA_DIR
  return SHIPPED_DATA_DIR;
#else
  return std::string();
#endif
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Section headers of the catalogue text: lines whose first non-blank is "[".
int CountSections(const std::string& text) {
  int sections = 0;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const size_t first = line.find_first_not_of(" \t");
    if (first != std::string::npos && line[first] == '[') ++sections;
  }
  return sections;
}

// Bits per pixel from a BMP's info header.
int BmpDepth(const std::string& path) {
  const std::string bytes = ReadText(path);
  if (bytes.size() < 30 || bytes[0] != 'B' || bytes[1] != 'M') return 0;
  return static_cast<uint8_t>(bytes[28]) | static_cast<uint8_t>(bytes[29]) << 8;
}

// Pixels of tile (column, row) of the loaded picture that differ from the
// same place of another tile.
int TileDifference(int32_t p, int32_t column, int32_t row, int32_t otherColumn, int32_t otherRow) {
  int differ = 0;
  for (int32_t y = 0; y < p; ++y)
    for (int32_t x = 0; x < p; ++x)
      differ += *SurfacePixel(LifefaceSurface, column * p + x, row * p + y) !=
                *SurfacePixel(LifefaceSurface, otherColumn * p + x, otherRow * p + y);
  return differ;
}

std::vector<uint32_t> SurfaceCopy() {
  std::vector<uint32_t> copy;
  for (int32_t y = 0; y < View.Surface->height; ++y)
    for (int32_t x = 0; x < View.Surface->width; ++x) copy.push_back(*SurfacePixel(View.Surface, x, y));
  return copy;
}

class ShippedLifefaces : public testing::Test {
 protected:
  void SetUp() override {
    Folder = ShippedFolder();
    if (Folder.empty()) GTEST_SKIP() << "no generated data folder given";
    Catalogue = Folder + "/tumbra.ini";
    // LoadCatalogue ends the process on a missing file; say why instead.
    ASSERT_FALSE(ReadText(Catalogue).empty()) << "missing generated catalogue " << Catalogue;
    ResetEngineState(512 * 384, 512, 384);
    LoadCatalogue(Catalogue.c_str());
  }
  void TearDown() override {
    ReleaseFrameSurface(LifefaceSurface);
    LifefaceSurface = nullptr;
  }

  // Loads lifeface k as the saver does; false (with a failure) when its
  // picture cannot be read, which would end the saver.
  static bool Load(int32_t k) {
    char path[sizeof LifefaceCatalogue.folder + LifefaceTextSize];
    const LifefaceRecord& r = LifefaceCatalogue.records[k];
    if (!LifefacePath(&r, path, sizeof path)) {
      ADD_FAILURE() << r.name << ": bitmap path too long";
      return false;
    }
    LoadedBitmap picture = {};
    if (!PlatformLoadBitmap(path, &picture)) {
      ADD_FAILURE() << r.name << ": " << path << " is no bitmap the saver reads";
      return false;
    }
    PlatformFreeBitmap(&picture);
    Settings.face = k;
    UseLifeface();
    if (LifefaceSurface == nullptr) ADD_FAILURE() << r.name << ": dropped on loading";
    return LifefaceSurface != nullptr;
  }

  std::string Folder;
  std::string Catalogue;
};

TEST_F(ShippedLifefaces, EverySectionIsAUsableRecord) {
  EXPECT_GE(LifefaceCatalogue.count, 6);
  EXPECT_EQ(LifefaceCatalogue.count, CountSections(ReadText(Catalogue)));
  std::set<std::string> names;
  for (int32_t k = 0; k < LifefaceCatalogue.count; ++k) {
    const LifefaceRecord& r = LifefaceCatalogue.records[k];
    EXPECT_TRUE(names.insert(r.name).second) << "repeated name " << r.name;
    EXPECT_NE(r.author[0], 0) << r.name;
    EXPECT_NE(r.comment[0], 0) << r.name;
    EXPECT_GE(r.pixels, 8) << r.name;
    EXPECT_LE(r.pixels, 32) << r.name;
    // Installed side by side with the folder "tumbra", written the Windows way.
    EXPECT_EQ(std::string(r.bmp).rfind("tumbra\\", 0), 0u) << r.name << ": " << r.bmp;
  }
}

TEST_F(ShippedLifefaces, TileLayoutsLieInsideTheirPictures) {
  for (int32_t k = 0; k < LifefaceCatalogue.count; ++k) {
    const LifefaceRecord before = LifefaceCatalogue.records[k];
    SCOPED_TRACE(before.name);
    if (!Load(k)) continue;
    const LifefaceRecord& r = LifefaceCatalogue.records[k];
    const int32_t p = r.pixels;
    EXPECT_EQ(LifefaceSurface->width % p, 0);
    EXPECT_EQ(LifefaceSurface->height % p, 0);
    const int32_t across = LifefaceSurface->width / p;
    const int32_t down = LifefaceSurface->height / p;
    // Loading must find nothing to reduce or reorder: the file says what plays.
    EXPECT_EQ((std::vector<int32_t>{before.x0, before.x1, before.x2, before.x3, before.y0, before.y1}),
              (std::vector<int32_t>{r.x0, r.x1, r.x2, r.x3, r.y0, r.y1}));
    // Column 0 is the background; every run has at least one tile of its own.
    EXPECT_GE(r.x0, 1);
    EXPECT_LT(r.x0, r.x1);
    EXPECT_LT(r.x1, r.x2);
    EXPECT_LT(r.x2, r.x3);
    EXPECT_LE(r.x3, across);
    EXPECT_LE(r.y0, r.y1);
    EXPECT_LE(r.y1, down);
    EXPECT_LT(r.y0, down);
  }
}

TEST_F(ShippedLifefaces, EveryAnimationTileShowsSomething) {
  for (int32_t k = 0; k < LifefaceCatalogue.count; ++k) {
    SCOPED_TRACE(LifefaceCatalogue.records[k].name);
    if (!Load(k)) continue;
    const LifefaceRecord& r = LifefaceCatalogue.records[k];
    const int32_t p = r.pixels;
    const int32_t lastRow = std::max(r.y1 - 1, r.y0);
    for (int32_t row = r.y0; row <= lastRow; ++row) {
      for (int32_t column = r.x0; column < r.x3; ++column)
        EXPECT_GT(TileDifference(p, column, row, 0, row), 0) << "tile " << column << "," << row;
      // A living cell stands out from the dead ones around it.
      for (int32_t column = r.x1; column < r.x2; ++column)
        EXPECT_GE(TileDifference(p, column, row, 0, row) * 10, p * p) << "survivor " << column << "," << row;
    }
  }
}

TEST_F(ShippedLifefaces, ShipsSeveralColourDepths) {
  std::set<int> depths;
  for (int32_t k = 0; k < LifefaceCatalogue.count; ++k) {
    char path[sizeof LifefaceCatalogue.folder + LifefaceTextSize];
    ASSERT_TRUE(LifefacePath(&LifefaceCatalogue.records[k], path, sizeof path));
    std::string native(path);
    for (char& c : native)
      if (c == '\\') c = '/';
    depths.insert(BmpDepth(native));
  }
  EXPECT_TRUE(depths.count(8)) << "no 8-bit palette picture";
  EXPECT_TRUE(depths.count(24)) << "no 24-bit picture";
  EXPECT_GE(depths.size(), 3u);
}

TEST_F(ShippedLifefaces, TransitionFramesDrawALivelyField) {
  Settings.flags &= ~FlagRandomLifeface;
  for (int32_t k = 0; k < LifefaceCatalogue.count; ++k) {
    SCOPED_TRACE(LifefaceCatalogue.records[k].name);
    if (!Load(k)) continue;
    const FrameLayout layout = CurrentLayout();
    ASSERT_TRUE(layout.animated);
    const LifefaceRecord& r = LifefaceCatalogue.records[k];

    // The same field with every cell dead, for comparison.
    std::fill(Grid.LiveCells, Grid.LiveCells + layout.columns * layout.rows, 0);
    DrawLifefaceFrame(layout.columns, layout.rows, layout.scale, r.x0, r.x2);
    const std::vector<uint32_t> empty = SurfaceCopy();

    LcgSeed(12345);
    ResetField(layout.columns, layout.rows);
    for (int32_t frame = 0; frame < Transition.TransitionFrames; ++frame) {
      AnimatedTick(layout.columns, layout.rows, layout.scale);
      const std::vector<uint32_t> drawn = SurfaceCopy();
      size_t differ = 0;
      std::set<uint32_t> colours;
      for (size_t i = 0; i < drawn.size(); ++i) {
        differ += drawn[i] != empty[i];
        colours.insert(drawn[i]);
      }
      EXPECT_GE(differ * 50, drawn.size()) << "frame " << frame << " looks empty";
      EXPECT_GE(colours.size(), 2u) << "frame " << frame << " is one flat colour";
      FakeNow += 15;
    }
    EXPECT_TRUE(AnimatedTick(layout.columns, layout.rows, layout.scale));  // the step frame
  }
}

}  // namespace
