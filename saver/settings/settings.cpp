// The settings record's defaults, its table, and the walk that loads and
// saves it through the store.
#include "settings/settings.h"

#include <cstring>

void SetSettingDefault(const SettingDef& row, void* record) {
  uint8_t* member = static_cast<uint8_t*>(record) + row.offset;
  if (SettingIsNumber(row))
    std::memcpy(member, &row.initial, sizeof row.initial);
  else if (row.initialBlock != nullptr)
    std::memcpy(member, row.initialBlock, SettingBytes(row));
  else
    std::memset(member, 0, SettingBytes(row));
}

// Each member from its row: a number's value, or a block's elements.
static SaverSettings DefaultsOfTable() {
  SaverSettings defaults;
  std::memset(&defaults, 0, sizeof defaults);
  for (const SettingDef& row : SettingsTable) SetSettingDefault(row, &defaults);
  return defaults;
}

const SaverSettings DefaultSettings = DefaultsOfTable();
SaverSettings Settings = DefaultSettings;

void ReadSettingRows(StoreKey key, const SettingDef* rows, int count, void* record) {
  for (int k = 0; k < count; ++k) {
    const SettingDef& row = rows[k];
    // A shorter stored value replaces only the first bytes of the member.
    uint32_t size = SettingBytes(row);
    const StoreStatus status = StoreRead(key, row.key, static_cast<uint8_t*>(record) + row.offset, &size);
    if (status == StoreOk) continue;
    // A key an older version wrote lacks the values added since; the next
    // save writes them. Anything else wrong with a value is not guessed at.
    if (status == StoreMissing && row.age == SettingAdded) {
      SetSettingDefault(row, record);
      continue;
    }
    PlatformExit(1);
  }
}

void WriteSettingRows(StoreKey key, const SettingDef* rows, int count, const void* record) {
  for (int k = 0; k < count; ++k) {
    const SettingDef& row = rows[k];
    const StoreType type = SettingIsNumber(row) ? StoreDword : StoreBinary;
    if (!StoreWrite(key, row.key, type, static_cast<const uint8_t*>(record) + row.offset, SettingBytes(row)))
      PlatformExit(1);
  }
}

void ReadAllSettings(StoreKey key) { ReadSettingRows(key, SettingsTable, SettingsTableRows, &Settings); }

void WriteAllSettings(StoreKey key) { WriteSettingRows(key, SettingsTable, SettingsTableRows, &Settings); }

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
