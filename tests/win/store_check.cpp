// Checks the registry store under Windows (run by wine64 in the tests): the
// first load creates the key with every value, of the right types and
// sizes, saving and loading go round unchanged, keys of other versions load,
// and the failure rules hold.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "../unit/upgraded_settings.h"
#include "check.h"
#include "settings/settings.h"

static const char* KeyPath = "Software\\KORVEL\\tumbra";

static HKEY OpenKey() {
  HKEY key = nullptr;
  RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath, 0, KEY_ALL_ACCESS, &key);
  return key;
}

// Runs this program again with one argument and returns its exit code.
static DWORD RunChild(const char* argument) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string command = std::string("\"") + self + "\" " + argument;
  STARTUPINFOA start;
  std::memset(&start, 0, sizeof start);
  start.cb = sizeof start;
  PROCESS_INFORMATION process;
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process))
    return 9999;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 9999;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

static void CheckCreatedKey() {
  RegDeleteKeyA(HKEY_CURRENT_USER, KeyPath);
  Settings = DefaultSettings;
  LoadSettings();
  CHECK(std::memcmp(&Settings, &DefaultSettings, sizeof Settings) == 0);
  HKEY key = OpenKey();
  CHECK(key != nullptr);
  DWORD values = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                   nullptr);
  CHECK(values == static_cast<DWORD>(SettingsTableRows));
  int dwords = 0;
  for (const SettingDef& row : SettingsTable) {
    DWORD type = 0, size = 0;
    CHECK(RegQueryValueExA(key, row.key, nullptr, &type, nullptr, &size) == ERROR_SUCCESS);
    if (type == REG_DWORD && size == 4) ++dwords;
    if (std::strcmp(row.key, "n") == 0) CHECK(type == REG_BINARY && size == 40);
    if (std::strcmp(row.key, "colors") == 0) CHECK(type == REG_BINARY && size == 64);
    if (std::strcmp(row.key, "rule") == 0) CHECK(type == REG_SZ && size == 1);
  }
  CHECK(dwords == SettingsTableRows - 3);  // all but the two binary values, n and colors, and the rule text
  DWORD reset = 0, size = 4;
  RegQueryValueExA(key, "reset", nullptr, nullptr, reinterpret_cast<BYTE*>(&reset), &size);
  CHECK(reset == 3000);
  RegCloseKey(key);
}

static void CheckRoundTrip() {
  Settings = DefaultSettings;
  Settings.delay = -5;
  Settings.face = 1000;
  Settings.n[3] = 11;
  Settings.colors[2] = 0x123456;
  Settings.flags = 0x80000001u;
  SaverSettings saved = Settings;
  SaveSettings();
  Settings = DefaultSettings;
  LoadSettings();
  CHECK(std::memcmp(&Settings, &saved, sizeof Settings) == 0);

  HKEY key = OpenKey();
  WORD shortDelay = 0x0063;
  RegSetValueExA(key, "delay", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&shortDelay), 2);
  RegCloseKey(key);
  Settings.delay = 0x11223344;
  LoadSettings();
  CHECK(Settings.delay == 0x11220063);
}

// A key without a value added later loads it with its default, and the next
// save writes it; a value no row names is read past and kept.
static void CheckOtherVersions() {
  RegDeleteKeyA(HKEY_CURRENT_USER, KeyPath);
  Settings = DefaultSettings;
  LoadSettings();  // the values this version knows
  UpgradedSettings record;
  std::memset(&record, 0x5A, sizeof record);
  ReadUpgraded(&record);
  CHECK(record.later == LaterDefault);
  CHECK(std::memcmp(&record.shipped, &DefaultSettings, sizeof DefaultSettings) == 0);
  WriteUpgraded(record);
  HKEY key = OpenKey();
  DWORD type = 0, number = 0, size = sizeof number;
  CHECK(RegQueryValueExA(key, "later", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) == ERROR_SUCCESS);
  CHECK(type == REG_DWORD && number == static_cast<DWORD>(LaterDefault));
  static const char later[] = "later";
  RegSetValueExA(key, "zzz", 0, REG_SZ, reinterpret_cast<const BYTE*>(later), sizeof later);
  RegCloseKey(key);
  CHECK(RunChild("load") == 0);
  LoadSettings();
  SaveSettings();
  key = OpenKey();
  char text[16] = {};
  size = sizeof text;
  CHECK(RegQueryValueExA(key, "zzz", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS);
  CHECK(type == REG_SZ && std::strcmp(text, later) == 0);
  RegCloseKey(key);
}

// The rule text is a REG_SZ that an older version never wrote and a user
// may have: whatever it holds reads as a terminated text or as none.
static void CheckRuleText() {
  Settings = DefaultSettings;
  std::strcpy(Settings.rule, "B2/S34H");
  SaveSettings();
  HKEY key = OpenKey();
  char text[16] = {};
  DWORD type = 0, size = sizeof text;
  CHECK(RegQueryValueExA(key, "rule", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS);
  CHECK(type == REG_SZ && size == 8 && std::strcmp(text, "B2/S34H") == 0);
  const struct {
    DWORD type;
    DWORD size;
    char fill;
  } bad[] = {{REG_SZ, 128, 'x'}, {REG_BINARY, 300, 'B'}, {REG_SZ, 129, 0}};
  for (const auto& value : bad) {
    BYTE bytes[300];
    std::memset(bytes, value.fill, sizeof bytes);
    RegSetValueExA(key, "rule", 0, value.type, bytes, value.size);
    std::memset(Settings.rule, 'z', sizeof Settings.rule);
    LoadSettings();
    CHECK(Settings.rule[0] == 0);
  }
  RegDeleteValueA(key, "rule");
  LoadSettings();
  CHECK(Settings.rule[0] == 0);
  RegCloseKey(key);
}

static void CheckFailures() {
  HKEY key = OpenKey();
  BYTE tooLong[68] = {};
  RegSetValueExA(key, "colors", 0, REG_BINARY, tooLong, sizeof tooLong);
  RegCloseKey(key);
  CHECK(RunChild("load") == 1);

  RegDeleteKeyA(HKEY_CURRENT_USER, KeyPath);
  CHECK(RunChild("load") == 0);  // creates the key anew
  key = OpenKey();
  RegDeleteValueA(key, "flags");
  RegCloseKey(key);
  CHECK(RunChild("load") == 1);
  RegDeleteKeyA(HKEY_CURRENT_USER, KeyPath);
}

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "load") == 0) {
    LoadSettings();
    return 0;
  }
  CheckCreatedKey();
  CheckRoundTrip();
  CheckOtherVersions();
  CheckRuleText();
  CheckFailures();
  std::printf("%s\n", Failures == 0 ? "store check passed" : "store check FAILED");
  return Failures == 0 ? 0 : 1;
}
