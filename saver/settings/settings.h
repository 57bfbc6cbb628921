// The saver's persistent options: one record in memory, one table that
// describes how each member is stored, and the store walk over that table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

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
  // Added after the first release: keys without them take their defaults.
  uint32_t birth;    // bit k: a dead cell with k live neighbours is born
  uint32_t survive;  // bit k: a live cell with k live neighbours lives on
  int32_t rules;     // RulesFixed, or RulesDrawn: a named rule drawn for each new field
  int32_t start;     // StartSoup, StartPatterns or StartAlternate: what a new field starts from
  int32_t fade;      // Classic Mode: generations over which a dead cell fades out; 0 for none
  int32_t age;       // Classic Mode: 1 colours a live cell by its age, 0 by its neighbour count
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
enum : int32_t { RulesFixed = 0, RulesDrawn = 1 };
enum : int32_t { StartSoup = 0, StartPatterns = 1, StartAlternate = 2 };

// When a stored value came to be. Every key ever written holds the original
// values; one written by an older version lacks the values added since.
enum SettingAge : int32_t {
  SettingOriginal = 0,
  SettingAdded = 1,
};

// One row of a key table: a scalar number when elementSize is 4 and
// elementCount 1, a block (array or text) otherwise. A row of the settings
// table also carries its member's built-in default, the values the settings
// dialog offers for it and its age; catalogue rows leave all three out (a
// record starts as zeros, and no dialog edits it).
struct SettingDef {
  const char* key;
  int32_t offset;  // byte offset of the member in its record
  int32_t elementSize;
  int32_t elementCount;
  int32_t initial = 0;                 // a number's default
  const void* initialBlock = nullptr;  // a block's default, elementSize * elementCount bytes
  int32_t low = 0;                     // the dialog offers low .. high for each element;
  int32_t high = -1;                   // none of its own when low > high
  SettingAge age = SettingOriginal;    // a missing added value takes its default
};

constexpr bool SettingIsNumber(const SettingDef& row) { return row.elementSize == 4 && row.elementCount == 1; }
constexpr uint32_t SettingBytes(const SettingDef& row) {
  return static_cast<uint32_t>(row.elementSize) * static_cast<uint32_t>(row.elementCount);
}

// ---- The settings table ----------------------------------------------------------

// The sixteen colours (0x00RRGGBB) that every colour index refers to.
inline constexpr uint32_t DefaultColourTable[] = {
    0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x7F0000,
    0x007F00, 0x00007F, 0x7F7F00, 0x7F007F, 0x007F7F, 0x7F7F7F, 0xCCCCCC, 0xFFFFFF,
};
const int32_t ColourTableSize = static_cast<int32_t>(std::size(DefaultColourTable));
// N = 0 .. N = 8 in palette entries 1 .. 9, "Clear:" black.
inline constexpr int32_t DefaultNeighbourColours[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0};

// A block row's element count, from the member; its default must fill it.
template <typename Member, typename Initial>
constexpr int32_t SettingBlockCount() {
  static_assert(sizeof(Member) == sizeof(Initial), "a block's default does not fill its member");
  return static_cast<int32_t>(sizeof(Member) / 4);
}

#define SETTING_NUMBER(key, member, initial, low, high) \
  { key, static_cast<int32_t>(offsetof(SaverSettings, member)), 4, 1, initial, nullptr, low, high }
// A number stored only by versions after the first: keys written before it
// lack it, and they load with its default.
#define SETTING_ADDED_NUMBER(key, member, initial, low, high)                                               \
  {                                                                                                         \
    key, static_cast<int32_t>(offsetof(SaverSettings, member)), 4, 1, initial, nullptr, low, high, SettingAdded \
  }
#define SETTING_BLOCK(key, member, initials, low, high)                                               \
  {                                                                                                   \
    key, static_cast<int32_t>(offsetof(SaverSettings, member)), 4,                                    \
        SettingBlockCount<decltype(SaverSettings::member), decltype(initials)>(), 0, initials, low, high \
  }

// One row per member, with its default and the range the dialog offers. The
// order of the rows is the order of reading and writing ("colors" before
// "flags", unlike the record).
inline constexpr SettingDef SettingsTable[] = {
    SETTING_NUMBER("inf", inf, 1, 0, ColourTableSize - 1),  // overlay lines: indexes into colors
    SETTING_NUMBER("pop", pop, 2, 0, ColourTableSize - 1),
    SETTING_NUMBER("gen", gen, 3, 0, ColourTableSize - 1),
    SETTING_NUMBER("fps", fps, 4, 0, ColourTableSize - 1),
    SETTING_NUMBER("binf", binf, 0, 0, ColourTableSize - 1),
    SETTING_NUMBER("bpop", bpop, 0, 0, ColourTableSize - 1),
    SETTING_NUMBER("bgen", bgen, 0, 0, ColourTableSize - 1),
    SETTING_NUMBER("bfps", bfps, 0, 0, ColourTableSize - 1),
    SETTING_NUMBER("seed", seed, 0, -32768, 32767),
    SETTING_NUMBER("delay", delay, 15, 0, 1000),
    SETTING_NUMBER("reset", reset, 3000, 1000, 10000),
    SETTING_NUMBER("mode", mode, ModeAnimated, ModeAnimated, ModeClassic),
    SETTING_NUMBER("ascale", ascale, 1, 0, 3),  // 1x .. 8x
    SETTING_NUMBER("fskip", fskip, 0, 0, -1),   // shown, never chosen
    SETTING_NUMBER("face", face, 0, 0, -1),     // as many as the catalogue holds
    SETTING_NUMBER("cscale", cscale, 3, 0, 4),  // 1x .. 16x
    SETTING_BLOCK("n", n, DefaultNeighbourColours, 0, ColourTableSize - 1),
    SETTING_NUMBER("cycle", cycle, 0, 0, 10000),
    SETTING_BLOCK("colors", colors, DefaultColourTable, 0, -1),
    SETTING_NUMBER("flags", flags, static_cast<int32_t>(FlagPrintInfo | FlagSeedArbitrary | FlagRandomLifeface |
                                                        FlagCycleAtReset),
                   0, -1),
    SETTING_ADDED_NUMBER("birth", birth, 0x8, 0, -1),  // B3: bit masks, edited as rule texts
    SETTING_ADDED_NUMBER("survive", survive, 0xC, 0, -1),  // S23
    SETTING_ADDED_NUMBER("rules", rules, RulesFixed, RulesFixed, RulesDrawn),
    SETTING_ADDED_NUMBER("start", start, StartSoup, StartSoup, StartAlternate),
    SETTING_ADDED_NUMBER("fade", fade, 0, 0, 255),
    SETTING_ADDED_NUMBER("age", age, 0, 0, 1),
};
const int SettingsTableRows = static_cast<int>(std::size(SettingsTable));

#undef SETTING_NUMBER
#undef SETTING_ADDED_NUMBER
#undef SETTING_BLOCK

// The number of the row that holds the byte at offset of the record; -1 for
// none.
constexpr int SettingRowAt(int32_t offset) {
  for (int k = 0; k < SettingsTableRows; ++k) {
    const SettingDef& row = SettingsTable[k];
    if (offset >= row.offset && offset < row.offset + static_cast<int32_t>(SettingBytes(row))) return k;
  }
  return -1;
}

// Every byte of the record belongs to exactly one row.
constexpr bool SettingsTableCoversRecord() {
  int32_t covered = 0;
  for (const SettingDef& row : SettingsTable) covered += static_cast<int32_t>(SettingBytes(row));
  if (covered != static_cast<int32_t>(sizeof(SaverSettings))) return false;
  for (int32_t offset = 0; offset < static_cast<int32_t>(sizeof(SaverSettings)); ++offset)
    if (SettingRowAt(offset) < 0) return false;
  return true;
}
static_assert(SettingsTableCoversRecord(), "the settings table must describe every member once");

// The built-in defaults, made from the table's rows.
extern const SaverSettings DefaultSettings;
extern SaverSettings Settings;

// Opens or creates the store; a new key gets every value from memory, an
// existing one fills memory. Any failure ends the process with exit code 1,
// except that an added value the key lacks takes its default.
void LoadSettings();
// Writes every value. Any failure ends the process with exit code 1.
void SaveSettings();
// The walk over the settings table and the Settings record.
void ReadAllSettings(StoreKey key);
void WriteAllSettings(StoreKey key);
// The same walk over any table of count rows describing record. Values the
// store holds that no row names are left alone.
void ReadSettingRows(StoreKey key, const SettingDef* rows, int count, void* record);
void WriteSettingRows(StoreKey key, const SettingDef* rows, int count, const void* record);
// Sets a row's member of record to the row's default (a block without one to
// zeros).
void SetSettingDefault(const SettingDef& row, void* record);

// A colour of the table by a stored index. Indexes come from the store
// unchecked, so they are reduced into 0..15 before use.
static_assert((ColourTableSize & (ColourTableSize - 1)) == 0, "indexes are reduced by a mask");
inline uint32_t ColourByIndex(int32_t index) {
  return Settings.colors[static_cast<uint32_t>(index) & static_cast<uint32_t>(ColourTableSize - 1)];
}

// 0x00RRGGBB to the system's text colour order 0x00BBGGRR, and back.
inline uint32_t SwapRedBlue(uint32_t c) { return (c & 0xFF00u) | ((c & 0xFFu) << 16) | ((c >> 16) & 0xFFu); }
