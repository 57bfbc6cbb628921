// The settings record's defaults, its table, and the walk that loads and
// saves it through the store.
#include "settings/settings.h"

#include <cstring>

// Each member from its row: a number's value, or a block's elements.
static SaverSettings DefaultsOfTable() {
  SaverSettings defaults;
  std::memset(&defaults, 0, sizeof defaults);
  uint8_t* record = reinterpret_cast<uint8_t*>(&defaults);
  for (const SettingDef& row : SettingsTable) {
    if (SettingIsNumber(row))
      std::memcpy(record + row.offset, &row.initial, sizeof row.initial);
    else if (row.initialBlock != nullptr)
      std::memcpy(record + row.offset, row.initialBlock, SettingBytes(row));
  }
  return defaults;
}

const SaverSettings DefaultSettings = DefaultsOfTable();
SaverSettings Settings = DefaultSettings;

static uint8_t* MemberOf(const SettingDef& row) { return reinterpret_cast<uint8_t*>(&Settings) + row.offset; }

void ReadAllSettings(StoreKey key) {
  for (const SettingDef& row : SettingsTable) {
    // A shorter stored value replaces only the first bytes of the member.
    uint32_t size = SettingBytes(row);
    if (StoreRead(key, row.key, MemberOf(row), &size) != StoreOk) PlatformExit(1);
  }
}

void WriteAllSettings(StoreKey key) {
  for (const SettingDef& row : SettingsTable) {
    StoreType type = SettingIsNumber(row) ? StoreDword : StoreBinary;
    if (!StoreWrite(key, row.key, type, MemberOf(row), SettingBytes(row))) PlatformExit(1);
  }
}

void LoadSettings() {
  StoreKey key;
  bool createdNew = false;
  if (!StoreOpen(&key, &createdNew)) PlatformExit(1);
  if (createdNew)
    WriteAllSettings(key);
  else
    ReadAllSettings(key);
  StoreClose(key);
}

void SaveSettings() {
  StoreKey key;
  bool createdNew = false;
  if (!StoreOpen(&key, &createdNew)) PlatformExit(1);
  WriteAllSettings(key);
  StoreClose(key);
}
