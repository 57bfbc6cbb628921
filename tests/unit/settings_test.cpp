#include <gtest/gtest.h>

#include <cstring>

#include "stored_defaults.h"
#include "test_support.h"
#include "upgraded_settings.h"

namespace {

const std::vector<std::string> TableOrder = {"inf",   "pop",    "gen",   "fps",  "binf", "bpop",  "bgen",
                                             "bfps",  "seed",   "delay", "reset", "mode", "ascale", "fskip",
                                             "face",  "cscale", "n",     "cycle", "colors", "flags",
                                             "birth", "survive", "rules", "start", "fade", "age"};

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
    } else {
      FakeStorePutBytes(row.key, BytesOf(member, SettingBytes(row)));
    }
  }
}

TEST(Settings, DefaultsAreThoseOfTheStoredList) {
  const std::vector<StoredDefault> stored = StoredDefaults();
  ASSERT_EQ(stored.size(), TableOrder.size());
  for (size_t k = 0; k < stored.size(); ++k) {
    const SettingDef& row = SettingsTable[k];
    EXPECT_EQ(stored[k].name, row.key);
    EXPECT_EQ(stored[k].type, SettingIsNumber(row) ? "dword" : "binary") << row.key;
    EXPECT_EQ(stored[k].bytes, BytesOf(reinterpret_cast<const uint8_t*>(&DefaultSettings) + row.offset, SettingBytes(row)))
        << row.key;
  }
  EXPECT_EQ(sizeof(SaverSettings), (16 + 10 + 2 + 16 + 6) * 4u);
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
  EXPECT_EQ(dwords, SettingsTableRows - 2);  // all but n and colors
  for (const StoredDefault& value : StoredDefaults()) {
    EXPECT_EQ(FakeStore.values[value.name].type, value.type == "dword" ? StoreDword : StoreBinary) << value.name;
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
  for (const char* added : {"birth", "survive", "rules", "start", "fade", "age"}) FakeStore.values.erase(added);
  Settings.birth = Settings.survive = 0x1FF;
  Settings.rules = 5;
  Settings.start = Settings.fade = Settings.age = 9;
  LoadSettings();
  EXPECT_EQ(Settings.delay, 40);
  EXPECT_EQ(Settings.birth, 0x8u);
  EXPECT_EQ(Settings.survive, 0xCu);
  EXPECT_EQ(Settings.rules, RulesFixed);
  EXPECT_EQ(Settings.start, StartSoup);
  EXPECT_EQ(Settings.fade, 0);
  EXPECT_EQ(Settings.age, 0);
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
