// A settings record of a later version: the shipped record and one value
// added in a version after this one, with the shipped table plus that row.
#pragma once

#include <cstddef>
#include <vector>

#include "settings/settings.h"

struct UpgradedSettings {
  SaverSettings shipped;
  int32_t later;
};

const int32_t LaterDefault = 8;

inline std::vector<SettingDef> UpgradedTable() {
  std::vector<SettingDef> rows(SettingsTable, SettingsTable + SettingsTableRows);
  SettingDef later = {"later", static_cast<int32_t>(offsetof(UpgradedSettings, later)), 4, 1, LaterDefault, nullptr,
                      0, 511, SettingAdded};
  rows.push_back(later);
  return rows;
}

// Loads or saves an upgraded record through the store, as LoadSettings and
// SaveSettings do with the shipped one.
inline void ReadUpgraded(UpgradedSettings* record) {
  const std::vector<SettingDef> rows = UpgradedTable();
  StoreKey key;
  bool createdNew = false;
  if (!StoreOpen(&key, &createdNew)) PlatformExit(1);
  ReadSettingRows(key, rows.data(), static_cast<int>(rows.size()), record);
  if (!StoreClose(key)) PlatformExit(1);
}

inline void WriteUpgraded(const UpgradedSettings& record) {
  const std::vector<SettingDef> rows = UpgradedTable();
  StoreKey key;
  bool createdNew = false;
  if (!StoreOpen(&key, &createdNew)) PlatformExit(1);
  WriteSettingRows(key, rows.data(), static_cast<int>(rows.size()), &record);
  if (!StoreClose(key)) PlatformExit(1);
}
