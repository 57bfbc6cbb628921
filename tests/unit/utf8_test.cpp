// UTF-8 read one character at a time, as the native overlay draws names: well
// formed sequences give their code points, anything else the replacement
// character for the bytes that began rightly, never more bytes than given.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/utf8.h"

namespace {

// The characters of a text and the bytes each took.
std::vector<std::pair<uint32_t, int32_t>> Decode(const std::string& text) {
  std::vector<std::pair<uint32_t, int32_t>> read;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const int32_t length = static_cast<int32_t>(text.size());
  for (int32_t i = 0, used = 0; i < length; i += used) {
    const uint32_t c = DecodeUtf8(bytes + i, length - i, &used);
    read.emplace_back(c, used);
  }
  return read;
}

typedef std::vector<std::pair<uint32_t, int32_t>> Read;
const uint32_t R = Utf8Replacement;

TEST(Utf8, WellFormedCharactersOfEveryLength) {
  EXPECT_EQ(Decode("A\x7F"), (Read{{'A', 1}, {0x7F, 1}}));
  EXPECT_EQ(Decode("\xC2\x80\xC3\xA9\xDF\xBF"), (Read{{0x80, 2}, {0xE9, 2}, {0x7FF, 2}}));
  EXPECT_EQ(Decode("\xE0\xA0\x80\xE2\x82\xAC\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF"),
            (Read{{0x800, 3}, {0x20AC, 3}, {0xD7FF, 3}, {0xE000, 3}, {0xFFFF, 3}}));
  EXPECT_EQ(Decode("\xF0\x90\x80\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"),
            (Read{{0x10000, 4}, {0x1F600, 4}, {0x10FFFF, 4}}));
}

TEST(Utf8, WhatIsNoUtf8IsTheReplacementForTheBytesThatBeganRightly) {
  // Stray continuation bytes, and lead bytes no character begins with.
  EXPECT_EQ(Decode("\x80\xBF"), (Read{{R, 1}, {R, 1}}));
  EXPECT_EQ(Decode("\xC0\xAF\xC1\xBF"), (Read{{R, 1}, {R, 1}, {R, 1}, {R, 1}}));  // overlong '/' and DEL
  EXPECT_EQ(Decode("\xF5\x80\xFF\xFE"), (Read{{R, 1}, {R, 1}, {R, 1}, {R, 1}}));
  // Overlong, surrogate and too large forms fail at their second byte.
  EXPECT_EQ(Decode("\xE0\x9F\xBF"), (Read{{R, 1}, {R, 1}, {R, 1}}));
  EXPECT_EQ(Decode("\xED\xA0\x80"), (Read{{R, 1}, {R, 1}, {R, 1}}));
  EXPECT_EQ(Decode("\xF0\x8F\xBF\xBF"), (Read{{R, 1}, {R, 1}, {R, 1}, {R, 1}}));
  EXPECT_EQ(Decode("\xF4\x90\x80\x80"), (Read{{R, 1}, {R, 1}, {R, 1}, {R, 1}}));
  // Cut short by the end or by another character: one replacement for the
  // part that began rightly, then what follows.
  EXPECT_EQ(Decode("\xE2\x82"), (Read{{R, 2}}));
  EXPECT_EQ(Decode("\xF0\x9F\x98"), (Read{{R, 3}}));
  EXPECT_EQ(Decode("\xE2\x82x\xC3"), (Read{{R, 2}, {'x', 1}, {R, 1}}));
  EXPECT_EQ(Decode("\xF0\x9F\xC3\xA9"), (Read{{R, 2}, {0xE9, 2}}));
}

TEST(Utf8, AnyBytesAreReadWithinTheirLengthAndEveryStepMovesOn) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 20000; ++round) {
    std::vector<unsigned char> bytes(1 + random() % 8);
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(0x70 + random() % 0x90);
    for (size_t i = 0; i < bytes.size();) {
      int32_t used = 0;
      const uint32_t c = DecodeUtf8(bytes.data() + i, static_cast<int32_t>(bytes.size() - i), &used);
      ASSERT_GE(used, 1);
      ASSERT_LE(static_cast<size_t>(used), bytes.size() - i);
      ASSERT_TRUE(c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF)) << c;
      i += static_cast<size_t>(used);
    }
  }
}

}  // namespace
