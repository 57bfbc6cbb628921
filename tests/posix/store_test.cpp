// The native settings store: a file that keeps the registry's byte shapes,
// so the same rules hold as on Windows.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <set>
#include <string>
#include <vector>

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
  EXPECT_EQ(dwords, SettingsTableRows - 3);  // all but n, colors and rule
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

// The file is edited by hand: a value missing, too long or unreadable takes
// its default, with one line naming the file and the value, and the program
// runs on with the rest.
TEST_F(PosixStore, AMalformedOrMissingValueTakesItsDefaultWithALineNamingFileAndKey) {
  LoadSettings();
  Settings.delay = 40;
  SaveSettings();
  const struct {
    const char* name;
    std::string line;
  } faults[] = {
      {"colors", "colors binary " + std::string(68 * 2, '0')},  // longer than the member
      {"flags", ""},                                           // missing
      {"reset", "reset dword 0x10"},                           // not hex
      {"cscale", "cscale dword 030"},                          // an odd count of digits
      {"mode", "mode number 01000000"},                        // no type of a store
      {"face", "face"},                                        // a name alone
  };
  for (const auto& fault : faults) {
    Rewrite(fault.name, fault.line);
    Settings = DefaultSettings;
    std::memset(&Settings, 0x5A, sizeof Settings);
    testing::internal::CaptureStderr();
    LoadSettings();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "tumbra: " + File() + ": the value \"" + fault.name +
                        "\" is missing or cannot be read; its default is used\n");
    const SettingDef& row = SettingsTable[SettingRowOf(fault.name)];
    EXPECT_EQ(0, std::memcmp(reinterpret_cast<const char*>(&Settings) + row.offset,
                             reinterpret_cast<const char*>(&DefaultSettings) + row.offset, SettingBytes(row)))
        << fault.name;
    EXPECT_EQ(Settings.delay, 40) << fault.name;
    // The next save writes the default in its place.
    SaveSettings();
    testing::internal::CaptureStderr();
    LoadSettings();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << fault.name;
  }
  // An added value missing is no fault: it takes its default unsaid.
  Rewrite("longest", "");
  testing::internal::CaptureStderr();
  LoadSettings();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(Settings.longest, 300);
}

TEST_F(PosixStore, ALargerFileThanAnyOfOursEndsWithCodeOne) {
  LoadSettings();
  std::ofstream(File(), std::ios::app) << "big binary " << std::string(2 << 20, '0') << "\n";
  EXPECT_EXIT(LoadSettings(), testing::ExitedWithCode(1), "");
}

// The names of the settings file moved into its folder while f runs.
template <typename F>
std::vector<std::string> FilesMovedIn(const std::string& folder, F f) {
  const int watch = inotify_init1(IN_NONBLOCK);
  EXPECT_GE(watch, 0);
  EXPECT_GE(inotify_add_watch(watch, folder.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE), 0);
  f();
  std::vector<std::string> moved;
  alignas(inotify_event) char buffer[1 << 16];
  for (ssize_t got; (got = read(watch, buffer, sizeof buffer)) > 0;)
    for (char* p = buffer; p < buffer + got;) {
      const inotify_event* event = reinterpret_cast<const inotify_event*>(p);
      if ((event->mask & IN_MOVED_TO) != 0) moved.push_back(event->name);
      p += sizeof(inotify_event) + event->len;
    }
  close(watch);
  return moved;
}

TEST_F(PosixStore, ALoadOrASaveWritesTheFileOnceAndLeavesNoOtherFile) {
  std::filesystem::create_directories(folder + "/tumbra");
  EXPECT_EQ(FilesMovedIn(folder + "/tumbra", [] { LoadSettings(); }), (std::vector<std::string>{"settings"}));
  EXPECT_EQ(FilesMovedIn(folder + "/tumbra", [] { SaveSettings(); }), (std::vector<std::string>{"settings"}));
  EXPECT_TRUE(FilesMovedIn(folder + "/tumbra", [] { LoadSettings(); }).empty()) << "loading writes nothing";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder + "/tumbra")) files += entry.exists();
  EXPECT_EQ(files, 1);
}

// The value lines a file holds, when it is whole: every value of the table
// once and every line readable; empty otherwise.
std::set<std::string> WholeFile(const std::string& text) {
  std::set<std::string> lines, names;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string name, type, hex;
    if (!(fields >> name >> type >> hex) || hex.size() % 2 != 0 || !names.insert(name).second) return {};
    lines.insert(line);
  }
  if (names.size() != static_cast<size_t>(SettingsTableRows) || text.empty() || text.back() != '\n') return {};
  return lines;
}

// xscreensaver starts one program per screen, and each may write the file
// at the same time: every file they leave is whole, and so is the last.
TEST_F(PosixStore, TwoProgramsSavingAtOnceNeverLeaveATornFile) {
  LoadSettings();
  const int rounds = 300;
  pid_t children[3];
  for (int c = 0; c < 3; ++c) {
    children[c] = fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      for (int k = 0; k < rounds; ++k) {
        Settings.delay = 1000 * (c + 1) + k;
        // Files of different lengths, so that one written over the other shows.
        std::memset(Settings.rule, 'a' + c, 100 - 45 * c);
        Settings.rule[100 - 45 * c] = 0;
        SaveSettings();
      }
      _exit(0);
    }
  }
  int torn = 0, seen = 0;
  for (bool running = true; running;) {
    running = false;
    for (pid_t child : children) running |= waitpid(child, nullptr, WNOHANG) == 0;
    const std::string text = Read();  // the file is there all along: empty is torn too
    ++seen;
    torn += WholeFile(text).empty();
  }
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a saving program ended with " << status;
  }
  EXPECT_EQ(torn, 0) << "of " << seen << " files read";
  EXPECT_FALSE(WholeFile(Read()).empty()) << Read();
  Settings = DefaultSettings;
  LoadSettings();
  // The last save's file, whole.
  const int last = Settings.delay / 1000 - 1;
  ASSERT_TRUE(last >= 0 && last < 3 && Settings.delay % 1000 == rounds - 1) << Settings.delay;
  EXPECT_EQ(std::string(Settings.rule), std::string(100 - 45 * last, static_cast<char>('a' + last)));
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
