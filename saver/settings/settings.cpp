// The settings record's defaults, its table, and the walk that loads and
// saves it through the store.
#include "settings/settings.h"

#include <cstring>

#define SETTING(name, member, size, count) \
  { name, static_cast<int32_t>(offsetof(SaverSettings, member)), size, count }

const SaverSettings DefaultSettings = {
    1, 2, 3, 4,     // inf, pop, gen, fps
    0, 0, 0, 0,     // binf, bpop, bgen, bfps
    0,              // seed
    15,             // delay
    3000,           // reset
    ModeAnimated,   // mode
    1,              // ascale
    0,              // fskip
    0,              // face
    3,              // cscale
    {1, 2, 3, 4, 5, 6, 7, 8, 9, 0},
    0,              // cycle
    0x151,          // flags
    {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x7F0000,
     0x007F00, 0x00007F, 0x7F7F00, 0x7F007F, 0x007F7F, 0x7F7F7F, 0xCCCCCC, 0xFFFFFF},
};

SaverSettings Settings = DefaultSettings;

// The order of the rows is the order of reading and writing ("colors" before
// "flags", unlike the record).
const SettingDef SettingsTable[SettingsTableRows] = {
    SETTING("inf", inf, 4, 1),       SETTING("pop", pop, 4, 1),       SETTING("gen", gen, 4, 1),
    SETTING("fps", fps, 4, 1),       SETTING("binf", binf, 4, 1),     SETTING("bpop", bpop, 4, 1),
    SETTING("bgen", bgen, 4, 1),     SETTING("bfps", bfps, 4, 1),     SETTING("seed", seed, 4, 1),
    SETTING("delay", delay, 4, 1),   SETTING("reset", reset, 4, 1),   SETTING("mode", mode, 4, 1),
    SETTING("ascale", ascale, 4, 1), SETTING("fskip", fskip, 4, 1),   SETTING("face", face, 4, 1),
    SETTING("cscale", cscale, 4, 1), SETTING("n", n, 4, 10),          SETTING("cycle", cycle, 4, 1),
    SETTING("colors", colors, 4, 16), SETTING("flags", flags, 4, 1),
};

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
