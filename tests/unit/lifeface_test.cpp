#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>

#include "lifeface_files.h"
#include "test_support.h"

namespace {

uint32_t Place(uint32_t x, uint32_t y) { return (x << 16 | y << 8) + 1; }

class Lifeface : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    Folder = MakeTempFolder();
    ASSERT_FALSE(Folder.empty());
    ASSERT_TRUE(WriteBytes(Tiles(), WritePlacesBmp(160, 48)));
    ASSERT_TRUE(WriteBytes(Folder + "/garbage.bmp", std::vector<uint8_t>(5000, 0x5A)));
  }
  static void TearDownTestSuite() { RemoveTree(Folder); }
  void SetUp() override { ResetEngineState(16); }
  void TearDown() override {
    ReleaseFrameSurface(LifefaceSurface);
    LifefaceSurface = nullptr;
  }

  static std::string Tiles() { return Folder + "/tiles.bmp"; }
  static std::string Section(const std::string& name, int pixels, const std::string& more = "",
                             const std::string& bmp = Tiles()) {
    return "[" + name + "]\nbmp = '" + bmp + "'\npixels = " + std::to_string(pixels) + "\n" + more + "\n";
  }
  static void Parse(const std::string& text) { ParseCatalogueText(text.data(), text.size()); }

  static std::string Folder;
};
std::string Lifeface::Folder;

TEST_F(Lifeface, TileIndexesAreReducedAndOrdered) {
  Parse(Section("Tiles", 16, "x0 = 12, x1 = 3, x2 = 5, x3 = 8, y0 = 5, y1 = 1"));
  ASSERT_EQ(LifefaceCatalogue.count, 1);
  UseLifeface();
  ASSERT_NE(LifefaceSurface, nullptr);
  EXPECT_EQ(LifefaceSurface->width, 160);
  EXPECT_EQ(LifefaceSurface->height, 48);
  const LifefaceRecord& r = LifefaceCatalogue.records[0];
  // 160 / 16 + 1 = 11 columns, 48 / 16 + 1 = 4 rows: 12 mod 11 = 1, 5 mod 4 = 1.
  EXPECT_EQ((std::vector<int32_t>{r.x0, r.x1, r.x2, r.x3, r.y0, r.y1}), (std::vector<int32_t>{1, 3, 5, 8, 1, 1}));
  EXPECT_EQ(Transition.birthSpan, 2);
  EXPECT_EQ(Transition.deathSpan, 3);
  EXPECT_EQ(Transition.TransitionFrames, 3);

  UseLifeface();  // already in range and order: unchanged
  EXPECT_EQ((std::vector<int32_t>{r.x0, r.x1, r.x2, r.x3, r.y0, r.y1}), (std::vector<int32_t>{1, 3, 5, 8, 1, 1}));
}

TEST_F(Lifeface, PictureArrivesTopRowFirst) {
  Parse(Section("Tiles", 16));
  UseLifeface();
  ASSERT_NE(LifefaceSurface, nullptr);
  for (uint32_t y : {0u, 1u, 17u, 47u})
    for (uint32_t x : {0u, 16u, 159u}) EXPECT_EQ(*SurfacePixel(LifefaceSurface, x, y), Place(x, y)) << x << "," << y;
}

TEST_F(Lifeface, NumbersAbove2To31NeverGiveNegativeIndexes) {
  Parse(Section("Tiles", 16,
                "x0 = 4294967295, x1 = 2147483648, x2 = 3000000000, x3 = 0\n"
                "y0 = 4294967295, y1 = 2147483649"));
  UseLifeface();
  const LifefaceRecord& r = LifefaceCatalogue.records[0];
  // As unsigned numbers: 2^32 - 1 = 3, 2^31 = 2 and 3000000000 = 8 (mod 11); 3 and 1 (mod 4).
  EXPECT_EQ((std::vector<int32_t>{r.x0, r.x1, r.x2, r.x3, r.y0, r.y1}), (std::vector<int32_t>{0, 2, 3, 8, 1, 3}));
}

TEST_F(Lifeface, TileSizesOutside8To32DropTheLifeface) {
  for (int pixels : {7, 33, 0x7FFFFFFF, -16}) {
    Parse(Section("Good", 16) + Section("Bad", 8, "pixels = " + std::to_string(static_cast<uint32_t>(pixels))));
    ASSERT_EQ(LifefaceCatalogue.count, 2) << pixels;
    Settings.face = 0;
    UseLifeface();
    ASSERT_NE(LifefaceSurface, nullptr);
    Settings.face = 1;
    UseLifeface();
    EXPECT_EQ(LifefaceSurface, nullptr) << pixels;
    EXPECT_EQ(Settings.face, 0) << pixels;
  }
  for (int pixels : {8, 32}) {
    Parse(Section("Edge", pixels));
    UseLifeface();
    EXPECT_NE(LifefaceSurface, nullptr) << pixels;
  }
}

TEST_F(Lifeface, FaceOutOfRangeBecomesZero) {
  Parse(Section("A", 16) + Section("B", 8) + Section("C", 16) + Section("D", 32, "x0 = 7"));
  ASSERT_EQ(LifefaceCatalogue.count, 4);
  for (int32_t face : {9, 4, -3, INT32_MIN}) {
    Settings.face = face;
    UseLifeface();
    EXPECT_EQ(Settings.face, 0) << face;
    EXPECT_NE(LifefaceSurface, nullptr);
  }
  Settings.face = 3;
  UseLifeface();
  EXPECT_EQ(Settings.face, 3);
  EXPECT_EQ(LifefaceCatalogue.records[3].x3, 1);  // 7 mod (160 / 32 + 1), sorted last
}

TEST_F(Lifeface, EmptyCatalogueLoadsNothing) {
  Settings.face = 5;
  UseLifeface();
  EXPECT_EQ(LifefaceSurface, nullptr);
  EXPECT_EQ(Settings.face, 5);
}

TEST_F(Lifeface, RelativeBitmapIsTakenFromTheCatalogueFolder) {
  const std::string home = Folder + "/home", elsewhere = Folder + "/elsewhere";
  ASSERT_EQ(mkdir(home.c_str(), 0700), 0);
  ASSERT_EQ(mkdir((home + "/tumbra").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(elsewhere.c_str(), 0700), 0);
  ASSERT_TRUE(WriteBytes(home + "/tumbra/small.bmp", WritePlacesBmp(40, -24)));
  ASSERT_TRUE(WriteText(home + "/tumbra.ini", "[Small]\nbmp = \"tumbra\\small.bmp\"\npixels = 8\n"));
  char start[PATH_MAX];
  ASSERT_NE(getcwd(start, sizeof start), nullptr);
  ASSERT_EQ(chdir(elsewhere.c_str()), 0);
  LoadCatalogue((home + "/tumbra.ini").c_str());
  ASSERT_EQ(LifefaceCatalogue.count, 1);
  UseLifeface();
  ASSERT_EQ(chdir(start), 0);
  ASSERT_NE(LifefaceSurface, nullptr);
  EXPECT_EQ(LifefaceSurface->width, 40);
  EXPECT_EQ(LifefaceSurface->height, 24);
  EXPECT_EQ(*SurfacePixel(LifefaceSurface, 39, 23), Place(39, 23));
}

TEST_F(Lifeface, UnreadableBitmapEndsTheProcessWithCodeOne) {
  // Both records pass the catalogue's size test; neither decodes.
  Parse(Section("Garbage", 16, "", Folder + "/garbage.bmp"));
  ASSERT_EQ(LifefaceCatalogue.count, 1);
  EXPECT_EXIT(UseLifeface(), testing::ExitedWithCode(1), "");

  const std::string gone = Folder + "/gone.bmp";
  ASSERT_TRUE(WriteBytes(gone, WritePlacesBmp(16, 16)));
  Parse(Section("Gone", 16, "", gone));
  ASSERT_EQ(LifefaceCatalogue.count, 1);
  std::remove(gone.c_str());
  EXPECT_EXIT(UseLifeface(), testing::ExitedWithCode(1), "");
}

// Where the platform goes on (the native programs), a lifeface whose picture
// cannot be read gives its turn to the next readable one, and each such
// picture is reported once; with none readable the frames turn classic.
TEST_F(Lifeface, UnreadablePictureGivesWayToTheNextReadableOne) {
  FakeFaultsGoOn = true;
  const std::string garbage = Folder + "/garbage.bmp", gone = Folder + "/gone.bmp";
  ASSERT_TRUE(WriteBytes(gone, WritePlacesBmp(16, 16)));
  Parse(Section("Tiles", 16) + Section("Garbage", 16, "", garbage) + Section("Large tiles", 32) +
        Section("Gone", 16, "", gone));
  ASSERT_EQ(LifefaceCatalogue.count, 4);
  std::remove(gone.c_str());
  Settings.face = 1;
  UseLifeface();
  EXPECT_EQ(Settings.face, 2);
  ASSERT_NE(LifefaceSurface, nullptr);
  EXPECT_EQ(FakeUnreadableLifefaces, std::vector<std::string>{garbage});
  // From the last record the catalogue's first comes next.
  Settings.face = 3;
  UseLifeface();
  EXPECT_EQ(Settings.face, 0);
  EXPECT_NE(LifefaceSurface, nullptr);
  EXPECT_EQ(FakeUnreadableLifefaces, (std::vector<std::string>{garbage, gone}));
  // Passed over from then on, without asking the disk again.
  Settings.face = 1;
  UseLifeface();
  EXPECT_EQ(Settings.face, 2);
  EXPECT_EQ(FakeUnreadableLifefaces.size(), 2u);
}

TEST_F(Lifeface, NoReadablePictureLeavesClassicFrames) {
  FakeFaultsGoOn = true;
  Parse(Section("Garbage", 16, "", Folder + "/garbage.bmp") + Section("Again", 16, "", Folder + "/garbage.bmp"));
  ASSERT_EQ(LifefaceCatalogue.count, 2);
  Settings.face = 1;
  Settings.mode = ModeAnimated;
  UseLifeface();
  EXPECT_EQ(LifefaceSurface, nullptr);
  EXPECT_EQ(Settings.face, 0);
  EXPECT_EQ(FakeUnreadableLifefaces.size(), 2u);
  UseLifeface();  // nothing left to try
  EXPECT_EQ(FakeUnreadableLifefaces.size(), 2u);
  EXPECT_EQ(LifefaceSurface, nullptr);
}

}  // namespace
