// The native settings store: a file that keeps the registry's byte shapes,
// so the same rules hold as on Windows.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "../unit/stored_defaults.h"
#include "../unit/upgraded_settings.h"
#include "settings/settings.h"

namespace {

class PosixStore : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tumbra-store-XXXXXX";
    folder = mkdtemp(pattern);
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    Settings = DefaultSettings;
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
  std::string File() const { return folder + "/tumbra/settings"; }
  std::string Read() const {
    std::ifstream in(File());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // Replaces the line of one value.
  void Rewrite(const std::string& name, const std::string& line) {
    std::istringstream in(Read());
    std::string text, current;
    while (std::getline(in, current))
      if (current.rfind(name + " ", 0) != 0) text += current + "\n";
    if (!line.empty()) text += line + "\n";
    std::ofstream(File()) << text;
  }
  std::string folder;
};

TEST_F(PosixStore, FirstLoadWritesTheDefaultsWithTheirShapes) {
  LoadSettings();
  const std::string text = Read();
  for (const StoredDefault& value : StoredDefaults())
    EXPECT_NE(text.find(value.line + "\n"), std::string::npos) << value.line;
  int lines = 0, dwords = 0;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line); ++lines) dwords += line.find(" dword ") != std::string::npos;
  EXPECT_EQ(lines, SettingsTableRows);
  EXPECT_EQ(dwords, SettingsTableRows - 2);  // all but n and colors
  EXPECT_EQ(0, std::memcmp(&Settings, &DefaultSettings, sizeof Settings));
}

TEST_F(PosixStore, SavedValuesComeBackAndShortOnesReplaceTheFirstBytes) {
  LoadSettings();
  Settings.delay = -5;
  Settings.face = 1000;
  Settings.colors[3] = 0x123456;
  SaverSettings saved = Settings;
  SaveSettings();
  Settings = DefaultSettings;
  LoadSettings();
  EXPECT_EQ(0, std::memcmp(&Settings, &saved, sizeof Settings));
  Rewrite("delay", "delay binary 6300");
  Settings.delay = 0x11223344;
  LoadSettings();
  EXPECT_EQ(Settings.delay, 0x11220063);
}

TEST_F(PosixStore, HomeIsUsedWithoutAConfigFolder) {
  unsetenv("XDG_CONFIG_HOME");
  const char* home = getenv("HOME");
  const std::string saved = home != nullptr ? home : "";
  setenv("HOME", folder.c_str(), 1);
  LoadSettings();
  EXPECT_TRUE(std::filesystem::exists(folder + "/.config/tumbra/settings"));
  setenv("HOME", saved.c_str(), 1);
}

TEST_F(PosixStore, LongerOrMissingValuesEndWithCodeOne) {
  LoadSettings();
  Rewrite("colors", "colors binary " + std::string(68 * 2, '0'));
  EXPECT_EXIT(LoadSettings(), testing::ExitedWithCode(1), "");
  std::filesystem::remove(File());
  LoadSettings();
  Rewrite("flags", "");
  EXPECT_EXIT(LoadSettings(), testing::ExitedWithCode(1), "");
}

TEST_F(PosixStore, FileOfTheOriginalValuesLoadsAddedOnesWithTheirDefaultAndSaveWritesThem) {
  LoadSettings();
  Rewrite("delay", "delay dword 2c010000");
  UpgradedSettings record;
  std::memset(&record, 0x5A, sizeof record);
  ReadUpgraded(&record);
  EXPECT_EQ(record.shipped.delay, 300);
  EXPECT_EQ(record.later, LaterDefault);
  EXPECT_EQ(Read().find("later"), std::string::npos) << "loading writes nothing";
  WriteUpgraded(record);
  EXPECT_NE(Read().find("\nlater dword 08000000\n"), std::string::npos) << Read();
  record.later = 0;
  ReadUpgraded(&record);
  EXPECT_EQ(record.later, LaterDefault);
  EXPECT_EQ(record.shipped.delay, 300);
}

TEST_F(PosixStore, LinesOfALaterVersionAreReadPastAndKept) {
  LoadSettings();
  const std::string unknown[] = {
      "zzz dword 07000000",
      "later binary 0102030405060708090a",
      "patterns binary " + std::string(600, 'f'),
      std::string(80, 'k') + " dword 01000000",
  };
  std::ofstream(File(), std::ios::app) << unknown[0] << "\n" << unknown[1] << "\n" << unknown[2] << "\n"
                                       << unknown[3] << "\n";
  Settings.delay = 1;
  LoadSettings();
  EXPECT_EQ(0, std::memcmp(&Settings, &DefaultSettings, sizeof Settings));
  Settings.delay = 40;
  SaveSettings();
  const std::string text = Read();
  for (int k = 0; k < 3; ++k) EXPECT_NE(text.find(unknown[k] + "\n"), std::string::npos) << unknown[k];
  EXPECT_NE(text.find("delay dword 28000000\n"), std::string::npos);
  Settings = DefaultSettings;
  LoadSettings();
  EXPECT_EQ(Settings.delay, 40);
}

TEST_F(PosixStore, AFolderThatCannotBeMadeEndsWithCodeOne) {
  std::ofstream(folder + "/tumbra") << "a file where the folder belongs";
  EXPECT_EXIT(LoadSettings(), testing::ExitedWithCode(1), "");
}

}  // namespace
