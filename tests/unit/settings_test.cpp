#include <gtest/gtest.h>

#include <cstring>

#include "stored_defaults.h"
#include "test_support.h"

namespace {

const std::vector<std::string> TableOrder = {"inf",   "pop",    "gen",   "fps",  "binf", "bpop",  "bgen",
                                             "bfps",  "seed",   "delay", "reset", "mode", "ascale", "fskip",
                                             "face",  "cscale", "n",     "cycle", "colors", "flags"};

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
  EXPECT_EQ(sizeof(SaverSettings), (16 + 10 + 2 + 16) * 4u);
}

TEST(Settings, RowsCarryTheRangesTheDialogOffers) {
  auto range = [](const char* key) {
    for (const SettingDef& row : SettingsTable)
      if (std::strcmp(row.key, key) == 0) return std::make_pair(row.low, row.high);
    return std::make_pair(0, -2);
  };
  for (const char* key : {"inf", "pop", "gen", "fps", "binf", "bpop", "bgen", "bfps", "n"})
    EXPECT_EQ(range(key), std::make_pair(0, 15)) << key;
  EXPECT_EQ(range("seed"), std::make_pair(-32768, 32767));
  EXPECT_EQ(range("delay"), std::make_pair(0, 1000));
  EXPECT_EQ(range("reset"), std::make_pair(1000, 10000));
  EXPECT_EQ(range("mode"), std::make_pair(0, 1));
  EXPECT_EQ(range("ascale"), std::make_pair(0, 3));
  EXPECT_EQ(range("cscale"), std::make_pair(0, 4));
  EXPECT_EQ(range("cycle"), std::make_pair(0, 10000));
  // Nothing the dialog picks from a range of its own.
  for (const char* key : {"fskip", "face", "colors", "flags"}) EXPECT_GT(range(key).first, range(key).second) << key;
  // Catalogue rows carry neither default nor range.
  for (const SettingDef& row : CatalogueKeys) {
    EXPECT_EQ(row.initial, 0) << row.key;
    EXPECT_EQ(row.initialBlock, nullptr) << row.key;
    EXPECT_GT(row.low, row.high) << row.key;
  }
}

TEST(Settings, EveryByteOfTheRecordHasOneRow) {
  EXPECT_EQ(SettingsTableRows, 20);
  std::vector<int> owners(sizeof(SaverSettings), 0);
  for (const SettingDef& row : SettingsTable)
    for (uint32_t b = 0; b < SettingBytes(row); ++b) ++owners[row.offset + b];
  for (size_t b = 0; b < owners.size(); ++b) EXPECT_EQ(owners[b], 1) << "byte " << b;
  EXPECT_EQ(SettingRowAt(offsetof(SaverSettings, n) + 36), SettingRowAt(offsetof(SaverSettings, n)));
  EXPECT_STREQ(SettingsTable[SettingRowAt(offsetof(SaverSettings, colors) + 63)].key, "colors");
  EXPECT_EQ(SettingRowAt(-1), -1);
  EXPECT_EQ(SettingRowAt(sizeof(SaverSettings)), -1);
}

TEST(Settings, MembersOfTheDialogControlsAreConsecutiveWords) {
  // Control 101 + k edits word k: inf is word 0, seed word 8, n[0] word 16, cycle word 26.
  EXPECT_EQ(offsetof(SaverSettings, inf), 0u);
  EXPECT_EQ(offsetof(SaverSettings, seed), 8 * 4u);
  EXPECT_EQ(offsetof(SaverSettings, mode), 11 * 4u);
  EXPECT_EQ(offsetof(SaverSettings, cscale), 15 * 4u);
  EXPECT_EQ(offsetof(SaverSettings, n), 16 * 4u);
  EXPECT_EQ(offsetof(SaverSettings, cycle), 26 * 4u);
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
  EXPECT_EQ(dwords, 18);
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
  StoreAll(DefaultSettings);
  FakeStore.values.erase("flags");
  EXPECT_EXIT(LoadSettings(), testing::ExitedWithCode(1), "");
  StoreAll(DefaultSettings);
  FakeStore.failReadOf = "gen";
  EXPECT_EXIT(LoadSettings(), testing::ExitedWithCode(1), "");
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
