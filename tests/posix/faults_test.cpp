// What the native programs do about a lifeface picture that cannot be read:
// they name the file on standard error and go on with another lifeface.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "../unit/lifeface_files.h"
#include "lifeface/lifeface.h"
#include "platform/surface.h"
#include "loop/loop.h"
#include "settings/settings.h"

namespace {

TEST(NativeFaults, AnUnreadableLifefaceIsNamedAndPassedOver) {
  char pattern[] = "/tmp/tumbra-faults-XXXXXX";
  const std::string folder = mkdtemp(pattern);
  std::filesystem::create_directories(folder + "/tumbra");
  ASSERT_TRUE(WriteBytes(folder + "/tumbra/broken.bmp", std::vector<uint8_t>(3000, 0x42)));
  ASSERT_TRUE(WriteBytes(folder + "/tumbra/tiles.bmp", WritePlacesBmp(64, 32)));
  std::ofstream(folder + "/tumbra.ini") << "[Broken]\nbmp = \"tumbra\\broken.bmp\"\npixels = 16\n"
                                        << "[Tiles]\nbmp = \"tumbra\\tiles.bmp\"\npixels = 16\n";
  Settings = DefaultSettings;
  LoadCatalogue((folder + "/tumbra.ini").c_str());
  ASSERT_EQ(LifefaceCatalogue.count, 2);
  Settings.face = 0;
  testing::internal::CaptureStderr();
  UseLifeface();
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(said, "posix_tests: cannot read the lifeface picture " + folder +
                      "/tumbra/broken.bmp; going on without it\n");
  EXPECT_EQ(Settings.face, 1);
  ASSERT_NE(LifefaceSurface, nullptr);
  EXPECT_EQ(LifefaceSurface->width, 64);
  ReleaseFrameSurface(LifefaceSurface);
  LifefaceSurface = nullptr;
  ClearCatalogue();
  std::filesystem::remove_all(folder);
}

}  // namespace
