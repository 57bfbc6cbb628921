#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "../../setup/setup_rules.h"

namespace {

TEST(InstallWindow, HalfTheScreenAtMost640WideAndCentred) {
  InstallWindowRect narrow = PlaceInstallWindow(1024, 740);
  EXPECT_EQ(narrow.width, 512);
  EXPECT_EQ(narrow.height, 370);
  EXPECT_EQ(narrow.left, 256);
  EXPECT_EQ(narrow.top, 185);

  InstallWindowRect wide = PlaceInstallWindow(1600, 1170);
  EXPECT_EQ(wide.width, 640);
  EXPECT_EQ(wide.height, 585);
  EXPECT_EQ(wide.left, 800 - 320);
  EXPECT_EQ(wide.top, 585 - 292);
}

TEST(InstallWindow, EveryHalvingIsAnIntegerDivision) {
  InstallWindowRect odd = PlaceInstallWindow(1023, 767);
  EXPECT_EQ(odd.width, 511);
  EXPECT_EQ(odd.height, 383);
  EXPECT_EQ(odd.left, 511 - 255);
  EXPECT_EQ(odd.top, 383 - 191);
}

TEST(InstallControls, LaidOutFromTheClientEdges) {
  const int R = 506, B = 364;
  struct Expected {
    InstallControl which;
    int left, top, width, height;
  } rows[] = {
      {kTermsBox, 0, 128, R, B - 256},
      {kBanner, 0, 0, 206, 128},
      {kAgreeBox, 16, B - 64, R / 2, 16},
      {kInstallButton, R - 120, B - 84, 100, 20},
      {kCancelButton, R - 120, B - 44, 100, 20},
  };
  for (const Expected& e : rows) {
    InstallWindowRect r = PlaceInstallControl(e.which, R, B);
    EXPECT_EQ(r.left, e.left) << "control " << e.which;
    EXPECT_EQ(r.top, e.top) << "control " << e.which;
    EXPECT_EQ(r.width, e.width) << "control " << e.which;
    EXPECT_EQ(r.height, e.height) << "control " << e.which;
  }
  // An odd client width halves downwards for the agree box.
  EXPECT_EQ(PlaceInstallControl(kAgreeBox, 635, 400).width, 317);
}

TEST(InstallControls, ScaledToTheDisplayResolution) {
  const int R = 900, B = 700;
  // 150 %: every fixed length grows by half, the shares of the edges do not.
  EXPECT_EQ(PlaceInstallWindow(3840, 2100, 144).width, 960);
  EXPECT_EQ(PlaceInstallWindow(1600, 1170, 144).width, 800);  // half the screen is less
  InstallWindowRect terms = PlaceInstallControl(kTermsBox, R, B, 144);
  EXPECT_EQ(terms.top, 192);
  EXPECT_EQ(terms.height, B - 384);
  InstallWindowRect install = PlaceInstallControl(kInstallButton, R, B, 144);
  EXPECT_EQ(install.left, R - 180);
  EXPECT_EQ(install.width, 150);
  EXPECT_EQ(install.height, 30);
  EXPECT_EQ(PlaceInstallControl(kAgreeBox, R, B, 120).width, R / 2);
  // A resolution the system cannot mean is taken as 96.
  for (int dpi : {0, -96, 1000000}) {
    EXPECT_EQ(PlaceInstallControl(kCancelButton, R, B, dpi).top, B - 44) << dpi;
    EXPECT_EQ(PlaceInstallWindow(1600, 1170, dpi).width, 640) << dpi;
  }
}

TEST(SetupPaths, JoinsWithSingleBackslashes) {
  char out[kSetupPathSize];
  ASSERT_TRUE(SetupJoinPath(out, sizeof out, "C:\\WINDOWS", "tumbra"));
  EXPECT_STREQ(out, "C:\\WINDOWS\\tumbra");
  ASSERT_TRUE(SetupJoinPath(out, sizeof out, "C:\\WINDOWS", "system32", "desk.cpl"));
  EXPECT_STREQ(out, "C:\\WINDOWS\\system32\\desk.cpl");
  ASSERT_TRUE(SetupJoinPath(out, sizeof out, "copy\\tumbra", "*.*"));
  EXPECT_STREQ(out, "copy\\tumbra\\*.*");
}

// 259 characters fit a 260-byte buffer; one more must be refused whole, and
// not a byte may land past the buffer.
TEST(SetupPaths, ALongerPathIsRefusedNotCut) {
  char guarded[kSetupPathSize + 16];
  std::memset(guarded, 'G', sizeof guarded);
  std::string folder(250, 'd');

  std::string fits(259 - folder.size() - 1, 'n');
  ASSERT_TRUE(SetupJoinPath(guarded, kSetupPathSize, folder.c_str(), fits.c_str()));
  EXPECT_EQ(std::strlen(guarded), 259u);

  std::string too_long(fits + "x");
  EXPECT_FALSE(SetupJoinPath(guarded, kSetupPathSize, folder.c_str(), too_long.c_str()));
  EXPECT_STREQ(guarded, "");
  for (size_t i = kSetupPathSize; i < sizeof guarded; ++i) ASSERT_EQ(guarded[i], 'G') << "byte " << i;

  // The separator alone can be the byte too many, in any of the joins.
  std::string full(259, 'w');
  EXPECT_FALSE(SetupJoinPath(guarded, kSetupPathSize, full.c_str(), "a"));
  std::string almost(258, 'w');
  EXPECT_TRUE(SetupJoinPath(guarded, kSetupPathSize, almost.c_str(), ""));
  EXPECT_FALSE(SetupJoinPath(guarded, kSetupPathSize, almost.c_str(), "a"));
  EXPECT_FALSE(SetupJoinPath(guarded, kSetupPathSize, "C:", almost.c_str(), "x"));
  for (size_t i = kSetupPathSize; i < sizeof guarded; ++i) ASSERT_EQ(guarded[i], 'G') << "byte " << i;
}

TEST(SetupPaths, DotNamesAreSkipped) {
  EXPECT_TRUE(SetupSkipsEntry("."));
  EXPECT_TRUE(SetupSkipsEntry(".."));
  EXPECT_TRUE(SetupSkipsEntry(".face.bmp"));
  EXPECT_FALSE(SetupSkipsEntry("face.bmp"));
  EXPECT_FALSE(SetupSkipsEntry("tumbra.scr"));
}

TEST(SetupPaths, WindowsDirectoryOnlyWhenItFits) {
  EXPECT_FALSE(SetupDirectoryUsable(0, kSetupPathSize));
  EXPECT_TRUE(SetupDirectoryUsable(10, kSetupPathSize));
  EXPECT_TRUE(SetupDirectoryUsable(259, kSetupPathSize));
  // The size needed, with its closing 0, when the buffer is too small.
  EXPECT_FALSE(SetupDirectoryUsable(261, kSetupPathSize));
  EXPECT_FALSE(SetupDirectoryUsable(260, kSetupPathSize));
}

TEST(SetupPaths, SetupFolderIsWhereTheInstallerLies) {
  char out[kSetupPathSize];
  ASSERT_TRUE(SetupFolderOf(out, sizeof out, "C:\\Users\\me\\Downloads\\tumbra-setup\\install.exe"));
  EXPECT_STREQ(out, "C:\\Users\\me\\Downloads\\tumbra-setup");
  ASSERT_TRUE(SetupFolderOf(out, sizeof out, "C:\\install.exe"));
  EXPECT_STREQ(out, "C:");  // joined again as "C:\terms.txt"
  ASSERT_TRUE(SetupFolderOf(out, sizeof out, "\\\\server\\share\\install.exe"));
  EXPECT_STREQ(out, "\\\\server\\share");
  ASSERT_TRUE(SetupFolderOf(out, sizeof out, "Z:\\tmp/setup\\install.exe"));
  EXPECT_STREQ(out, "Z:\\tmp/setup");
  // No folder to be found: nothing to use.
  EXPECT_FALSE(SetupFolderOf(out, sizeof out, "install.exe"));
  EXPECT_STREQ(out, "");
  EXPECT_FALSE(SetupFolderOf(out, sizeof out, ""));
}

TEST(SetupPaths, SetupFolderTooLongForTheBufferIsRefused) {
  char guarded[16];
  std::memset(guarded, 'G', sizeof guarded);
  EXPECT_FALSE(SetupFolderOf(guarded, 8, "C:\\abcdef\\install.exe"));  // "C:\abcdef" needs 10 bytes
  EXPECT_STREQ(guarded, "");
  for (size_t i = 8; i < sizeof guarded; ++i) ASSERT_EQ(guarded[i], 'G') << "byte " << i;
  ASSERT_TRUE(SetupFolderOf(guarded, 10, "C:\\abcdef\\install.exe"));
  EXPECT_STREQ(guarded, "C:\\abcdef");
  EXPECT_FALSE(SetupFolderOf(guarded, 0, "C:\\x"));
}

// The installer makes each folder inside one it has made already, and the
// uninstaller, going the other way, removes a folder only after every
// folder of ours inside it.
TEST(SetupPaths, InstalledFoldersComeAfterTheirParents) {
  ASSERT_GE(kInstalledFolderCount, 2);
  EXPECT_STREQ(kInstalledFolders[0], "tumbra");
  std::set<std::string> made;
  for (const char* name : kInstalledFolders) {
    const std::string folder(name);
    const size_t cut = folder.rfind('\\');
    if (cut != std::string::npos) {
      EXPECT_EQ(made.count(folder.substr(0, cut)), 1u) << folder;
    }
    EXPECT_EQ(made.count(folder), 0u) << folder << " twice";
    made.insert(folder);
    // Under a Windows directory of ordinary length every file of it fits.
    char path[kSetupPathSize];
    EXPECT_TRUE(SetupJoinPath(path, sizeof path, "C:\\windows", name, "a-pattern-name.rle")) << folder;
  }
  EXPECT_EQ(made.count("tumbra\\patterns"), 1u);
}

// The user agrees to the whole text: nothing is cut, however long.
TEST(Terms, ReadWhole) {
  EXPECT_EQ(TermsReadSize(0, 0), 0u);
  EXPECT_EQ(TermsReadSize(1839, 0), 1839u);
  EXPECT_EQ(TermsReadSize(65535, 0), 65535u);
  EXPECT_EQ(TermsReadSize(65536, 0), 65536u);
  EXPECT_EQ(TermsReadSize(983067, 0), 983067u);
  EXPECT_EQ(TermsReadSize(0xFFFFFFFEu, 0), 0xFFFFFFFEu);
  // No room left for the closing 0, or 4 GB and more: nothing can be shown.
  EXPECT_EQ(TermsReadSize(0xFFFFFFFFu, 0), 0u);
  EXPECT_EQ(TermsReadSize(0, 1), 0u);
}

}  // namespace
