#include <gtest/gtest.h>

#include <cstring>

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

TEST(Settings, DefaultsAreThoseOfTheTable) {
  EXPECT_EQ(DefaultSettings.delay, 15);
  EXPECT_EQ(DefaultSettings.reset, 3000);
  EXPECT_EQ(DefaultSettings.cscale, 3);
  EXPECT_EQ(DefaultSettings.ascale, 1);
  EXPECT_EQ(DefaultSettings.flags, 0x151u);
  EXPECT_EQ(DefaultSettings.colors[9], 0x00007Fu);
  EXPECT_EQ(DefaultSettings.colors[14], 0xCCCCCCu);
  EXPECT_EQ(sizeof(SaverSettings), (16 + 10 + 2 + 16) * 4u);
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
  EXPECT_EQ(FakeStore.values["n"].type, StoreBinary);
  EXPECT_EQ(FakeStore.values["n"].bytes, BytesOf(DefaultSettings.n, 40));
  EXPECT_EQ(FakeStore.values["colors"].type, StoreBinary);
  EXPECT_EQ(FakeStore.values["colors"].bytes.size(), 64u);
  EXPECT_EQ(FakeStore.values["reset"].bytes, (std::vector<uint8_t>{0xB8, 0x0B, 0, 0}));
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
