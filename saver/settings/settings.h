// The saver's persistent options: one record in memory, one table that
// describes how each member is stored, and the store walk over that table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// Members inf .. cycle are in the order of the settings dialog's value
// controls 101 .. 127: the member of control k is 32-bit word k - 101.
struct SaverSettings {
  int32_t inf;
  int32_t pop;
  int32_t gen;
  int32_t fps;
  int32_t binf;
  int32_t bpop;
  int32_t bgen;
  int32_t bfps;
  int32_t seed;
  int32_t delay;
  int32_t reset;
  int32_t mode;
  int32_t ascale;
  int32_t fskip;
  int32_t face;
  int32_t cscale;
  int32_t n[10];
  int32_t cycle;
  uint32_t flags;
  uint32_t colors[16];
};

// flags bits
enum : uint32_t {
  FlagPrintInfo = 1u << 0,
  FlagPrintPopulation = 1u << 1,
  FlagPrintGeneration = 1u << 2,
  FlagPrintFps = 1u << 3,
  FlagSeedArbitrary = 1u << 4,
  FlagSeedSpecific = 1u << 5,
  FlagRandomLifeface = 1u << 6,
  FlagDigitalEffect = 1u << 7,
  FlagCycleAtReset = 1u << 8,
};

enum : int32_t { ModeAnimated = 0, ModeClassic = 1 };

// One row of a key table: a scalar number when elementSize is 4 and
// elementCount 1, a block (array or text) otherwise.
struct SettingDef {
  const char* key;
  int32_t offset;  // byte offset of the member in its record
  int32_t elementSize;
  int32_t elementCount;
};

inline bool SettingIsNumber(const SettingDef& row) { return row.elementSize == 4 && row.elementCount == 1; }
inline uint32_t SettingBytes(const SettingDef& row) {
  return static_cast<uint32_t>(row.elementSize) * static_cast<uint32_t>(row.elementCount);
}

extern const SaverSettings DefaultSettings;
extern SaverSettings Settings;

const int SettingsTableRows = 20;
extern const SettingDef SettingsTable[SettingsTableRows];

// Opens or creates the store; a new key gets every value from memory, an
// existing one fills memory. Any failure ends the process with exit code 1.
void LoadSettings();
// Writes every value. Any failure ends the process with exit code 1.
void SaveSettings();
void ReadAllSettings(StoreKey key);
void WriteAllSettings(StoreKey key);

// A colour of the table by a stored index. Indexes come from the store
// unchecked, so they are reduced into 0..15 before use.
inline uint32_t ColourByIndex(int32_t index) { return Settings.colors[static_cast<uint32_t>(index) & 15u]; }

// 0x00RRGGBB to the system's text colour order 0x00BBGGRR, and back.
inline uint32_t SwapRedBlue(uint32_t c) { return (c & 0xFF00u) | ((c & 0xFFu) << 16) | ((c >> 16) & 0xFFu); }
