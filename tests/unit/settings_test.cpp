#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "stored_defaults.h"
#include "test_support.h"
#include "upgraded_settings.h"

namespace {

// The names of the stored list, in the order of writing.
std::vector<std::string> StoredOrder() {
  std::vector<std::string> names;
  for (const StoredDefault& value : StoredDefaults()) names.push_back(value.name);
  return names;
}
const std::vector<std::string> TableOrder = StoredOrder();
// The values of the first release, before those added since.
const size_t OriginalValues = 20;

std::vector<uint8_t> BytesOf(const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(p, p + size);
}

// A complete stored key holding the given settings.
void StoreAll(const SaverSettings& s) {
  for (const SettingDef& row : SettingsTable) {
    const uint8_t* member = reinterpret_cast<const uint8_t*>(&s) + row.offset;
    if (SettingIsNumber(row)) {
      uint32_t v;
      std::memcpy(&v, member, 4);
      FakeStorePutDword(row.key, v);
    } else if (SettingIsText(row)) {
      FakeStorePutBytes(row.key, BytesOf(member, std::strlen(reinterpret_cast<const char*>(member)) + 1));
    } else {
      FakeStorePutBytes(row.key, BytesOf(member, SettingBytes(row)));
    }
  }
}

// The shape a row's value is stored in, as the stored list names it.
std::string StoredType(const SettingDef& row) {
  if (SettingIsNumber(row)) return "dword";
  return SettingIsText(row) ? "string" : "binary";
}

// The bytes a first start writes for a row: a text up to its terminator.
std::vector<uint8_t> DefaultBytes(const SettingDef& row) {
  const uint8_t* member = reinterpret_cast<const uint8_t*>(&DefaultSettings) + row.offset;
  if (SettingIsText(row)) return BytesOf(member, std::strlen(reinterpret_cast<const char*>(member)) + 1);
  return BytesOf(member, SettingBytes(row));
}

TEST(Settings, DefaultsAreThoseOfTheStoredList) {
  const std::vector<StoredDefault> stored = StoredDefaults();
  ASSERT_EQ(stored.size(), static_cast<size_t>(SettingsTableRows));
  for (size_t k = 0; k < stored.size(); ++k) {
    const SettingDef& row = SettingsTable[k];
    EXPECT_EQ(stored[k].name, row.key);
    EXPECT_EQ(stored[k].type, StoredType(row)) << row.key;
    EXPECT_EQ(stored[k].bytes, DefaultBytes(row)) << row.key;
    // The first release's values come first, and every later one is added.
    EXPECT_EQ(row.age, k < OriginalValues ? SettingOriginal : SettingAdded) << row.key;
  }
  EXPECT_EQ(sizeof(SaverSettings), (16 + 10 + 2 + 16 + 6 + 5) * 4u + SettingRuleTextSize);
}

TEST(Settings, NewKeyIsFilledWithTheDefaultsInTableOrder) {
  ResetEngineState(16);
  LoadSettings();
  EXPECT_EQ(FakeStore.writes, TableOrder);
  int dwords = 0;
  for (const auto& [name, value] : FakeStore.values) {
    if (value.type == StoreDword) {
      ++dwords;
      EXPECT_EQ(value.bytes.size(), 4u) << name;
    }
  }
  EXPECT_EQ(dwords, SettingsTableRows - 3);  // all but n, colors and rule
  for (const StoredDefault& value : StoredDefaults()) {
    const StoreType type = value.type == "dword" ? StoreDword : value.type == "string" ? StoreText : StoreBinary;
    EXPECT_EQ(FakeStore.values[value.name].type, type) << value.name;
    EXPECT_EQ(FakeStore.values[value.name].bytes, value.bytes) << value.name;
  }
  EXPECT_EQ(0, std::memcmp(&Settings, &DefaultSettings, sizeof Settings));
  EXPECT_EQ(FakeStore.closes, 1);
}

TEST(Settings, ExistingKeyFillsEveryMemberUnchecked) {
  ResetEngineState(16);
  SaverSettings stored = DefaultSettings;
  stored.face = 1000;
  stored.delay = -5;
  stored.n[9] = 42;
  stored.colors[15] = 0x123456;
  stored.flags = 0xFFFF0000u;
  StoreAll(stored);
  LoadSettings();
  EXPECT_TRUE(FakeStore.writes.empty());
  EXPECT_EQ(0, std::memcmp(&Settings, &stored, sizeof Settings));
}

TEST(Settings, ShorterValueReplacesOnlyTheFirstBytes) {
  ResetEngineState(16);
  StoreAll(DefaultSettings);
  Settings.delay = 0x11223344;
  FakeStorePutBytes("delay", {0x99, 0x00});
  LoadSettings();
  EXPECT_EQ(Settings.delay, 0x11220099);
}

TEST(SettingsDeathTest, LongerOrMissingValueEndsWithCodeOne) {
  ResetEngineState(16);
  StoreAll(DefaultSettings);
  FakeStorePutBytes("colors", std::vector<uint8_t>(68, 0));
  EXPECT_EXIT(LoadSettings(), testing::ExitedWithCode(1), "");
  // Every key ever written holds the original values: one without is broken.
  StoreAll(DefaultSettings);
  FakeStore.values.erase("flags");
  EXPECT_EXIT(LoadSettings(), testing::ExitedWithCode(1), "");
  StoreAll(DefaultSettings);
  FakeStore.failReadOf = "gen";
  EXPECT_EXIT(LoadSettings(), testing::ExitedWithCode(1), "");
}

// A store that takes the default of a value it cannot read (as the native
// one does) goes on with the rest; one that does not (the registry) ends.
TEST(Settings, AValueTheStoreGivesUpOnTakesItsDefaultWhereTheStoreSaysSo) {
  ResetEngineState(16);
  SaverSettings stored = DefaultSettings;
  stored.delay = 40;
  stored.colors[1] = 0x010203;
  StoreAll(stored);
  FakeStore.takeDefaults = true;
  FakeStore.values.erase("flags");
  FakeStorePutBytes("n", std::vector<uint8_t>(44, 1));  // longer than the member
  FakeStore.failReadOf = "reset";
  Settings.flags = 0;
  Settings.reset = 1;
  std::fill(std::begin(Settings.n), std::end(Settings.n), 7);
  LoadSettings();
  EXPECT_EQ(FakeStore.defaultsTaken, (std::vector<std::string>{"reset", "n", "flags"}));
  EXPECT_EQ(Settings.flags, DefaultSettings.flags);
  EXPECT_EQ(Settings.reset, DefaultSettings.reset);
  EXPECT_EQ(0, std::memcmp(Settings.n, DefaultSettings.n, sizeof Settings.n));
  EXPECT_EQ(Settings.delay, 40);
  EXPECT_EQ(Settings.colors[1], 0x010203u);
  // An added value missing is no fault: its default is taken unasked.
  FakeStore.defaultsTaken.clear();
  FakeStore.failReadOf.clear();
  StoreAll(stored);
  FakeStore.values.erase("longest");
  LoadSettings();
  EXPECT_TRUE(FakeStore.defaultsTaken.empty());
  EXPECT_EQ(Settings.longest, 300);
}

TEST(SettingsDeathTest, AStoreThatDoesNotTakeDefaultsIsAskedAndEnds) {
  ResetEngineState(16);
  StoreAll(DefaultSettings);
  FakeStore.values.erase("flags");
  EXPECT_EXIT(LoadSettings(), testing::ExitedWithCode(1), "");
  StoreAll(DefaultSettings);
  FakeStore.failClose = true;
  EXPECT_EXIT(SaveSettings(), testing::ExitedWithCode(1), "");
}

// The rule text comes from outside: whatever bytes the store holds, it is
// a terminated text within its member or empty, and never read past.
TEST(Settings, TheRuleTextIsTerminatedWithinItsMemberOrEmpty) {
  ResetEngineState(16);
  const struct {
    std::vector<uint8_t> bytes;
    const char* read;
  } cases[] = {
      {{'B', '3', '6', '/', 'S', '2', '3', 0}, "B36/S23"},
      {{'B', '2', '/', 'S', '/', 'C', '3', 0, 'x', 'y'}, "B2/S/C3"},  // bytes after the terminator
      {std::vector<uint8_t>(SettingRuleTextSize, 'x'), ""},          // fills the member, no terminator
      {std::vector<uint8_t>(SettingRuleTextSize + 1, 0), ""},        // longer than the member
      {std::vector<uint8_t>(5000, 'B'), ""},
      {{}, ""},                                                      // no bytes at all
      {{'h', 'e', 'l', 'l', 'o', 0}, "hello"},                       // no rule: its reader refuses it
  };
  for (const auto& c : cases) {
    StoreAll(DefaultSettings);
    FakeStorePutBytes("rule", c.bytes);
    std::memset(Settings.rule, 'z', sizeof Settings.rule);
    LoadSettings();
    EXPECT_STREQ(Settings.rule, c.read) << c.bytes.size();
    EXPECT_EQ(Settings.rule[sizeof Settings.rule - 1], 0) << c.bytes.size();
  }
  // A text is written with its terminator, as a string; a member that lost
  // its terminator is written empty, never past its end.
  std::strcpy(Settings.rule, "B2/S34H");
  SaveSettings();
  EXPECT_EQ(FakeStore.values["rule"].type, StoreText);
  EXPECT_EQ(FakeStore.values["rule"].bytes, (std::vector<uint8_t>{'B', '2', '/', 'S', '3', '4', 'H', 0}));
  std::memset(Settings.rule, 'y', sizeof Settings.rule);
  SaveSettings();
  EXPECT_EQ(FakeStore.values["rule"].bytes, (std::vector<uint8_t>{0}));
  // A failing read of it is no reason to end: there is no rule.
  FakeStore.failReadOf = "rule";
  LoadSettings();
  EXPECT_STREQ(Settings.rule, "");
  EXPECT_TRUE(FakeStore.defaultsTaken.empty());
}

// ---- Keys of other versions ----------------------------------------------------------

TEST(SettingsUpgrade, KeyOfTheOriginalValuesLoadsAddedOnesWithTheirDefaultAndSaveWritesThem) {
  ResetEngineState(16);
  SaverSettings stored = DefaultSettings;
  stored.delay = 250;
  stored.colors[2] = 0x0A0B0C;
  StoreAll(stored);
  UpgradedSettings record;
  std::memset(&record, 0x5A, sizeof record);
  ReadUpgraded(&record);
  EXPECT_EQ(0, std::memcmp(&record.shipped, &stored, sizeof stored));
  EXPECT_EQ(record.later, LaterDefault);
  EXPECT_TRUE(FakeStore.writes.empty()) << "loading writes nothing";
  EXPECT_EQ(FakeStore.values.count("later"), 0u);

  record.shipped.reset = 5000;
  WriteUpgraded(record);
  std::vector<std::string> written = TableOrder;
  written.push_back("later");
  EXPECT_EQ(FakeStore.writes, written);
  EXPECT_EQ(FakeStore.values["later"].type, StoreDword);
  EXPECT_EQ(FakeStore.values["later"].bytes, (std::vector<uint8_t>{8, 0, 0, 0}));

  // Once written, the stored value wins over the default.
  FakeStorePutDword("later", 300);
  ReadUpgraded(&record);
  EXPECT_EQ(record.later, 300);
  EXPECT_EQ(record.shipped.reset, 5000);
}

// A key of the first release: the rule values are missing, and it runs
// Conway's rule, fixed, until OK writes them.
TEST(SettingsUpgrade, KeyOfTheTwentyOriginalValuesRunsWithTheRulesDefaults) {
  ResetEngineState(16);
  SaverSettings stored = DefaultSettings;
  stored.delay = 40;
  stored.birth = 0x48;
  StoreAll(stored);
  for (size_t k = OriginalValues; k < TableOrder.size(); ++k) FakeStore.values.erase(TableOrder[k]);
  Settings.birth = Settings.survive = 0x1FF;
  Settings.rules = 5;
  Settings.start = Settings.fade = Settings.age = 9;
  Settings.plane = Settings.step = Settings.hyper = Settings.memory = Settings.longest = 9;
  std::memset(Settings.rule, 'x', sizeof Settings.rule);
  LoadSettings();
  EXPECT_EQ(Settings.delay, 40);
  EXPECT_EQ(Settings.birth, 0x8u);
  EXPECT_EQ(Settings.survive, 0xCu);
  EXPECT_EQ(Settings.rules, RulesFixed);
  EXPECT_EQ(Settings.start, StartSoup);
  EXPECT_EQ(Settings.fade, 0);
  EXPECT_EQ(Settings.age, 0);
  EXPECT_STREQ(Settings.rule, "");
  EXPECT_EQ(Settings.plane, 1);
  EXPECT_EQ(Settings.step, 0);
  EXPECT_EQ(Settings.hyper, 0);
  EXPECT_EQ(Settings.memory, 256);
  EXPECT_EQ(Settings.longest, 300);
  EXPECT_TRUE(FakeStore.writes.empty());
  SaveSettings();
  EXPECT_EQ(FakeStore.writes, TableOrder);
  EXPECT_EQ(FakeStore.values["birth"].bytes, (std::vector<uint8_t>{8, 0, 0, 0}));
}

TEST(SettingsUpgrade, ValuesOfALaterVersionAreLeftAlone) {
  ResetEngineState(16);
  SaverSettings stored = DefaultSettings;
  stored.mode = ModeClassic;
  StoreAll(stored);
  FakeStorePutDword("zzz", 7);
  FakeStorePutBytes("later", {1, 2, 3, 4, 5, 6, 7, 8, 9});
  LoadSettings();
  EXPECT_EQ(0, std::memcmp(&Settings, &stored, sizeof stored));
  SaveSettings();
  EXPECT_EQ(FakeStore.writes, TableOrder);
  EXPECT_EQ(FakeStore.values["zzz"].bytes, (std::vector<uint8_t>{7, 0, 0, 0}));
  EXPECT_EQ(FakeStore.values["later"].bytes.size(), 9u);
}

TEST(SettingsUpgradeDeathTest, AnAddedValueThatIsThereButUnreadableEndsWithCodeOne) {
  ResetEngineState(16);
  UpgradedSettings record;
  StoreAll(DefaultSettings);
  FakeStorePutBytes("later", {1, 2, 3, 4, 5});
  EXPECT_EXIT(ReadUpgraded(&record), testing::ExitedWithCode(1), "");
  FakeStore.values.erase("later");
  FakeStore.failReadOf = "later";
  EXPECT_EXIT(ReadUpgraded(&record), testing::ExitedWithCode(1), "");
  // An original value missing beside the added one still ends it.
  FakeStore.failReadOf.clear();
  FakeStorePutDword("later", 1);
  FakeStore.values.erase("inf");
  EXPECT_EXIT(ReadUpgraded(&record), testing::ExitedWithCode(1), "");
}

TEST(SettingsDeathTest, StoreThatCannotBeOpenedOrWrittenEndsWithCodeOne) {
  ResetEngineState(16);
  FakeStore.failOpen = true;
  EXPECT_EXIT(LoadSettings(), testing::ExitedWithCode(1), "");
  EXPECT_EXIT(SaveSettings(), testing::ExitedWithCode(1), "");
  FakeStoreReset();
  FakeStore.failWriteOf = "cycle";
  EXPECT_EXIT(SaveSettings(), testing::ExitedWithCode(1), "");
}

TEST(Settings, SaveWritesEveryValueEvenWhenUnchanged) {
  ResetEngineState(16);
  StoreAll(DefaultSettings);
  SaveSettings();
  SaveSettings();
  std::vector<std::string> twice = TableOrder;
  twice.insert(twice.end(), TableOrder.begin(), TableOrder.end());
  EXPECT_EQ(FakeStore.writes, twice);
}

TEST(Settings, ColourIndexesOutsideTheTableAreReducedIntoIt) {
  Settings = DefaultSettings;
  EXPECT_EQ(ColourByIndex(15), 0xFFFFFFu);
  EXPECT_EQ(ColourByIndex(16), 0x000000u);
  EXPECT_EQ(ColourByIndex(17), 0xFF0000u);
  EXPECT_EQ(ColourByIndex(-1), 0xFFFFFFu);
  EXPECT_EQ(ColourByIndex(INT32_MIN), 0x000000u);
  EXPECT_EQ(SwapRedBlue(0x123456), 0x563412u);
}

}  // namespace
