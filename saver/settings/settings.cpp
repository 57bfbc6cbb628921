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

// A text read is kept only when it ends within its member, and the bytes
// after it are cleared: anything else (no terminator, a value longer than
// the member) reads as an empty text.
static void ReadTextRow(StoreKey key, const SettingDef& row, void* record) {
  char* member = static_cast<char*>(record) + row.offset;
  uint32_t size = SettingBytes(row);
  const StoreStatus status = StoreRead(key, row.key, member, &size);
  if (status == StoreOk && size > 0 && std::memchr(member, 0, size) != nullptr) {
    std::memset(member + size, 0, SettingBytes(row) - size);
    return;
  }
  if (status == StoreMissing || status == StoreFailed)
    SetSettingDefault(row, record);
  else
    std::memset(member, 0, SettingBytes(row));
}

void ReadSettingRows(StoreKey key, const SettingDef* rows, int count, void* record) {
  for (int k = 0; k < count; ++k) {
    const SettingDef& row = rows[k];
    if (SettingIsText(row) && row.age == SettingAdded) {
      ReadTextRow(key, row, record);
      continue;
    }
    // A shorter stored value replaces only the first bytes of the member.
    uint32_t size = SettingBytes(row);
    const StoreStatus status = StoreRead(key, row.key, static_cast<uint8_t*>(record) + row.offset, &size);
    if (status == StoreOk) continue;
    // A key an older version wrote lacks the values added since; the next
    // save writes them. Anything else wrong with a value is the store's to
    // judge: a default taken, or the end.
    if ((status == StoreMissing && row.age == SettingAdded) || StoreTakesDefault(key, row.key)) {
      SetSettingDefault(row, record);
      continue;
    }
    PlatformExit(1);
  }
}

static StoreType StoredTypeOf(const SettingDef& row) {
  if (SettingIsNumber(row)) return StoreDword;
  return SettingIsText(row) ? StoreText : StoreBinary;
}

void WriteSettingRows(StoreKey key, const SettingDef* rows, int count, const void* record) {
  for (int k = 0; k < count; ++k) {
    const SettingDef& row = rows[k];
    const uint8_t* member = static_cast<const uint8_t*>(record) + row.offset;
    uint32_t size = SettingBytes(row);
    // A text is written up to its terminator, which a full member lacks.
    if (SettingIsText(row)) {
      const void* end = std::memchr(member, 0, size);
      size = end != nullptr ? static_cast<uint32_t>(static_cast<const uint8_t*>(end) - member) + 1 : 1;
      if (end == nullptr) member = reinterpret_cast<const uint8_t*>("");
    }
    if (!StoreWrite(key, row.key, StoredTypeOf(row), member, size)) PlatformExit(1);
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
  if (!StoreClose(key)) PlatformExit(1);
}

void SaveSettings() {
  StoreKey key;
  bool createdNew = false;
  if (!StoreOpen(&key, &createdNew)) PlatformExit(1);
  WriteAllSettings(key);
  if (!StoreClose(key)) PlatformExit(1);
}
