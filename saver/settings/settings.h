// The saver's persistent options: one record in memory, one table that
// describes how each member is stored, and the store walk over that table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "platform/platform.h"

// The longest rule text the settings hold, with its terminator.
const int32_t SettingRuleTextSize = 128;

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
  // The rule of every field in Golly's notation, of any family, terminated.
  // Where it is there and reads as a rule it takes the place of birth and
  // survive; empty (every older key) or unreadable, they stand. Saving a
  // Life-like rule writes birth and survive too, for older versions.
  char rule[SettingRuleTextSize];
  int32_t plane;    // 1: pattern fields run on the unbounded plane; 0: on the torus
  int32_t step;     // on the plane: 2^step generations a frame
  int32_t hyper;    // 1: hyperspeed, the step follows the zoom
  int32_t memory;   // megabytes the plane's HashLife may use
  int32_t longest;  // seconds a pattern field is shown at most
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

// How a row's member is given on the command line of the X11 program and
// tumbra_frames.
enum SettingOption : int32_t {
  OptionNone = 0,
  OptionNumber,  // --name N: a number low .. high
  OptionSwitch,  // --name sets high, --no-name low
  OptionChoice,  // --name WORD: the k-th word of the row's words sets low + k
  OptionRule,    // --name RULE: a rule text, read by the front end
};

// One row of a key table: a scalar number when elementSize is 4 and
// elementCount 1, a text when elementSize is 1 (stored with its
// terminator), a block (array) otherwise. A row of the settings table also
// carries its member's built-in default, the values it takes, the part of
// them the settings dialog offers, its age and its command-line option;
// catalogue rows leave all that out (a record starts as zeros, and no dialog
// edits it).
struct SettingDef {
  const char* key;
  int32_t offset;  // byte offset of the member in its record
  int32_t elementSize;
  int32_t elementCount;
  int32_t initial = 0;                 // a number's default
  const void* initialBlock = nullptr;  // a block's default, elementSize * elementCount bytes
  int32_t low = 0;                     // the values the setting takes, low .. high for each
  int32_t high = -1;                   // element; no range of its own when low > high
  SettingAge age = SettingOriginal;    // a missing added value takes its default
  int32_t offerLow = 0;                // the part of low .. high the dialog offers,
  int32_t offerHigh = -1;              // when it offers less; else low > high
  const char* option = nullptr;        // the option's name, without the dashes
  SettingOption optionKind = OptionNone;
  const char* words = nullptr;         // the option's value in the usage ("N", "MS"); a
                                       // choice's words, "|" between them
  const char* help = nullptr;          // what the option does, for the usage and the manual
};

constexpr bool SettingIsNumber(const SettingDef& row) { return row.elementSize == 4 && row.elementCount == 1; }
constexpr bool SettingIsText(const SettingDef& row) { return row.elementSize == 1; }
constexpr uint32_t SettingBytes(const SettingDef& row) {
  return static_cast<uint32_t>(row.elementSize) * static_cast<uint32_t>(row.elementCount);
}
// The values the dialog offers for a row: its own part, else all it takes.
constexpr int32_t OfferedLow(const SettingDef& row) { return row.offerLow <= row.offerHigh ? row.offerLow : row.low; }
constexpr int32_t OfferedHigh(const SettingDef& row) {
  return row.offerLow <= row.offerHigh ? row.offerHigh : row.high;
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
// The words of the choices, in the order of their values.
inline constexpr char ModeWords[] = "animated|classic";
inline constexpr char StartWords[] = "soup|patterns|alternate";

// A block row's element count, from the member; its default must fill it.
template <typename Member, typename Initial>
constexpr int32_t SettingBlockCount() {
  static_assert(sizeof(Member) == sizeof(Initial), "a block's default does not fill its member");
  return static_cast<int32_t>(sizeof(Member) / 4);
}

#define SETTING_AT(member) static_cast<int32_t>(offsetof(SaverSettings, member))
// A value of the first release.
#define SETTING_NUMBER(key, member, initial, low, high) \
  { key, SETTING_AT(member), 4, 1, initial, nullptr, low, high }
#define SETTING_BLOCK(key, member, initials, low, high) \
  { key, SETTING_AT(member), 4, SettingBlockCount<decltype(SaverSettings::member), decltype(initials)>(), 0, initials, low, high }
// ... with its option, and the part of its values the dialog offers when
// that is less (0, -1 for all).
#define SETTING_OPTION(key, member, initial, low, high, offerLow, offerHigh, option, kind, words, help) \
  { key, SETTING_AT(member), 4, 1, initial, nullptr, low, high, SettingOriginal, offerLow, offerHigh, option, kind, words, help }
// A number stored only by versions after the first: keys written before it
// lack it, and they load with its default.
#define SETTING_ADDED(key, member, initial, low, high, option, kind, words, help) \
  { key, SETTING_AT(member), 4, 1, initial, nullptr, low, high, SettingAdded, 0, -1, option, kind, words, help }
#define SETTING_ADDED_TEXT(key, member, option, kind, words, help)                                            \
  {                                                                                                            \
    key, SETTING_AT(member), 1, static_cast<int32_t>(sizeof(SaverSettings::member)), 0, nullptr, 0, -1,        \
        SettingAdded, 0, -1, option, kind, words, help                                                         \
  }

// One row per member: its default, the values it takes and those the dialog
// offers, and its option. The order of the rows is the order of reading and
// writing ("colors" before "flags", unlike the record).
inline constexpr SettingDef SettingsTable[] = {
    SETTING_NUMBER("inf", inf, 1, 0, ColourTableSize - 1),  // overlay lines: indexes into colors
    SETTING_NUMBER("pop", pop, 2, 0, ColourTableSize - 1),
    SETTING_NUMBER("gen", gen, 3, 0, ColourTableSize - 1),
    SETTING_NUMBER("fps", fps, 4, 0, ColourTableSize - 1),
    SETTING_NUMBER("binf", binf, 0, 0, ColourTableSize - 1),
    SETTING_NUMBER("bpop", bpop, 0, 0, ColourTableSize - 1),
    SETTING_NUMBER("bgen", bgen, 0, 0, ColourTableSize - 1),
    SETTING_NUMBER("bfps", bfps, 0, 0, ColourTableSize - 1),
    SETTING_OPTION("seed", seed, 0, INT32_MIN, INT32_MAX, -32768, 32767, "seed", OptionNumber, "N",
                   "generator seed; 0 takes the clock's"),
    SETTING_OPTION("delay", delay, 15, 0, 100000, 0, 1000, "delay", OptionNumber, "MS",
                   "milliseconds per frame, 0 for as fast as it goes"),
    SETTING_OPTION("reset", reset, 3000, 0, 86400000, 1000, 10000, "reset", OptionNumber, "MS",
                   "a settled field is replaced after this many milliseconds"),
    SETTING_OPTION("mode", mode, ModeAnimated, ModeAnimated, ModeClassic, 0, -1, "mode", OptionChoice, ModeWords,
                   "the display mode: lifeface tiles or neighbour colours"),
    SETTING_OPTION("ascale", ascale, 1, 0, 3, 0, -1, "ascale", OptionNumber, "N",
                   "lifeface tile scale: tiles are drawn 1 << N times larger"),
    SETTING_NUMBER("fskip", fskip, 0, 0, -1),  // shown, never chosen
    SETTING_NUMBER("face", face, 0, 0, -1),    // as many as the catalogue holds
    SETTING_OPTION("cscale", cscale, 3, 0, 8, 0, 4, "cscale", OptionNumber, "N",
                   "classic cell size: cells are 1 << N pixels"),  // the dialog offers 1x .. 16x
    SETTING_BLOCK("n", n, DefaultNeighbourColours, 0, ColourTableSize - 1),
    SETTING_NUMBER("cycle", cycle, 0, 0, 10000),
    SETTING_BLOCK("colors", colors, DefaultColourTable, 0, -1),
    SETTING_NUMBER("flags", flags, static_cast<int32_t>(FlagPrintInfo | FlagSeedArbitrary | FlagRandomLifeface |
                                                        FlagCycleAtReset),
                   0, -1),
    SETTING_ADDED("birth", birth, 0x8, 0, -1, nullptr, OptionNone, nullptr, nullptr),  // B3: bit masks
    SETTING_ADDED("survive", survive, 0xC, 0, -1, nullptr, OptionNone, nullptr, nullptr),  // S23
    SETTING_ADDED("rules", rules, RulesFixed, RulesFixed, RulesDrawn, "random-rules", OptionSwitch, nullptr,
                  "draw a lively named rule for each new field"),
    SETTING_ADDED("start", start, StartSoup, StartSoup, StartAlternate, "start", OptionChoice, StartWords,
                  "what a new field starts from: a random field, one of the pattern collection, or the two in turn"),
    SETTING_ADDED("fade", fade, 0, 0, 255, "fade", OptionNumber, "N",
                  "classic trails: a dead cell fades out over N generations, 0 for none"),
    SETTING_ADDED("age", age, 0, 0, 1, "age", OptionSwitch, nullptr,
                  "classic live cells coloured by their age, not by their neighbours: newborn in the first colour, "
                  "the ninth from eight generations on"),
    SETTING_ADDED_TEXT("rule", rule, "rule", OptionRule, "RULE",
                       "the rule of every field in Golly's notation, of any family (B36/S23, B2/S/C3, B2-a/S12, "
                       "B2/S34H, R2,C0,M1,S2..3,B3..3,NM), or its name (HighLife, \"Day & Night\", \"Brian's Brain\"); "
                       "B0 rules are refused"),
    SETTING_ADDED("plane", plane, 1, 0, 1, "plane", OptionSwitch, nullptr,
                  "pattern fields run on the unbounded plane, not on the torus of the view"),
    SETTING_ADDED("step", step, 0, 0, 30, "step", OptionNumber, "N", "on the plane, 2^N generations a frame"),
    SETTING_ADDED("hyper", hyper, 0, 0, 1, "hyperspeed", OptionSwitch, nullptr,
                  "hyperspeed: on the plane, the step follows the zoom"),
    SETTING_ADDED("memory", memory, 256, 32, 1024, "memory", OptionNumber, "MB",
                  "megabytes the plane's HashLife may use"),
    SETTING_ADDED("longest", longest, 300, 10, 86400, "longest", OptionNumber, "S",
                  "seconds a pattern field is shown at most"),
};
const int SettingsTableRows = static_cast<int>(std::size(SettingsTable));

#undef SETTING_AT
#undef SETTING_NUMBER
#undef SETTING_BLOCK
#undef SETTING_OPTION
#undef SETTING_ADDED
#undef SETTING_ADDED_TEXT

// The options of the flags bits: each turns its bit on, and off with "no-"
// before its name.
struct FlagOption {
  uint32_t bit;
  const char* option;
  const char* help;
};
inline constexpr FlagOption FlagOptions[] = {
    {FlagRandomLifeface, "random-face", "choose a random lifeface at start and at every reset"},
    {FlagDigitalEffect, "digital", "classic cells of 4 pixels and more show a dead gap line"},
    {FlagCycleAtReset, "cycle-at-reset", "the neighbour-count colours move on at every new field"},
    {FlagPrintInfo, "show-name", "print the lifeface's name (Animated Mode) or the pattern's"},
    {FlagPrintGeneration, "show-generation", "print the generation number"},
    {FlagPrintPopulation, "show-population", "print the population"},
    {FlagPrintFps, "show-fps", "print the frame rate against its target"},
};

// The number of the row of a key; -1 for none.
constexpr int SettingRowOf(const char* key) {
  for (int k = 0; k < SettingsTableRows; ++k) {
    const char* a = SettingsTable[k].key;
    const char* b = key;
    while (*a != 0 && *a == *b) ++a, ++b;
    if (*a == *b) return k;
  }
  return -1;
}

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
// except that an added value the key lacks takes its default, a text that
// cannot be read is empty, and a value the store gives up on takes its
// default where the store says so (StoreTakesDefault).
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
