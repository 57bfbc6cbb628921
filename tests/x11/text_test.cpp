// The X11 overlay's text through FreeType: names are drawn as UTF-8, one
// glyph a character, and whatever is no UTF-8 or has no glyph in the face is
// drawn as the replacement character; no bytes make it draw outside the
// surface or fail.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

class OverlayText : public testing::Test {
 protected:
  void SetUp() override {
    font = PlatformCreateOverlayFont(nullptr);
    ASSERT_NE(font, nullptr) << "no overlay font (tools/install-deps installs fonts-liberation)";
    PlatformSelectFont(nullptr, font);
    PlatformGetTextMetrics(nullptr, &metrics);
    PlatformSetTextColour(nullptr, 0xFFFFFF);
    PlatformSetBackgroundOpaque(nullptr, true);
    PlatformSetBackgroundColour(nullptr, 0);
  }
  // The text drawn at (x, y) on a black surface of width x height.
  std::vector<uint32_t> Picture(const std::string& text, int32_t width = 200, int32_t height = 40, int32_t x = 4,
                                int32_t y = 4) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0);
    FrameSurface surface = {width, height, width * 4, reinterpret_cast<uint8_t*>(pixels.data()), nullptr, nullptr};
    PlatformTextOut(&surface, x, y, text.data(), static_cast<int32_t>(text.size()));
    return pixels;
  }
  // Columns from..to-1 of a picture of the default size.
  static std::vector<uint32_t> Columns(const std::vector<uint32_t>& picture, int32_t from, int32_t to) {
    std::vector<uint32_t> part;
    for (int32_t y = 0; y < 40; ++y)
      for (int32_t x = from; x < to; ++x) part.push_back(picture[static_cast<size_t>(y) * 200 + x]);
    return part;
  }
  static bool Inked(const std::vector<uint32_t>& part) {
    for (uint32_t p : part)
      if (p != 0) return true;
    return false;
  }

  FontHandle font = nullptr;
  TextMetrics metrics = {};
};

const std::string Replacement = "\xEF\xBF\xBD";

TEST_F(OverlayText, AUtf8CharacterIsOneGlyph) {
  const int32_t advance = metrics.aveCharWidth;
  ASSERT_GT(advance, 0);
  // "é" and then "x": the x stands where it stands after any one character.
  const std::vector<uint32_t> accented = Picture("\xC3\xA9x"), plain = Picture("ex");
  EXPECT_EQ(Columns(accented, 4 + advance, 4 + 3 * advance), Columns(plain, 4 + advance, 4 + 3 * advance));
  EXPECT_NE(Columns(accented, 4, 4 + advance), Columns(plain, 4, 4 + advance));
  EXPECT_FALSE(Inked(Columns(Picture("\xC3\xA9"), 4 + advance + 2, 200)));
  // Beyond Latin-1 as well: the euro sign and Greek.
  EXPECT_EQ(Columns(Picture("\xE2\x82\xAC" "x"), 4 + advance, 200), Columns(plain, 4 + advance, 200));
  EXPECT_NE(Picture("\xCE\xB1"), Picture(Replacement));
}

TEST_F(OverlayText, WhatIsNoUtf8OrHasNoGlyphIsTheReplacementCharacter) {
  EXPECT_EQ(Picture("a\xFF" "b"), Picture("a" + Replacement + "b"));
  EXPECT_EQ(Picture("a\xE2\x82" "b"), Picture("a" + Replacement + "b"));  // cut short
  EXPECT_EQ(Picture("\xC0\xAF"), Picture(Replacement + Replacement));   // an overlong form
  EXPECT_EQ(Picture("\xED\xA0\x80"), Picture(Replacement + Replacement + Replacement));  // a surrogate
  // A private-use character no face has a glyph for.
  EXPECT_EQ(Picture("\xEE\x80\x80"), Picture(Replacement));
  EXPECT_TRUE(Inked(Picture(Replacement)));
}

TEST_F(OverlayText, AnyBytesAnywhereDrawOnlyInsideTheSurface) {
  std::mt19937 random(77);
  for (int round = 0; round < 300; ++round) {
    std::string text(random() % 24, ' ');
    for (char& c : text) c = static_cast<char>(random() % 256);
    const int32_t width = 1 + static_cast<int32_t>(random() % 64), height = 1 + static_cast<int32_t>(random() % 40);
    const int32_t x = static_cast<int32_t>(random() % 160) - 80, y = static_cast<int32_t>(random() % 80) - 40;
    // Guard words around the pixels: nothing is written there.
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height + 64, 0xA5A5A5A5u);
    FrameSurface surface = {width, height, width * 4, reinterpret_cast<uint8_t*>(pixels.data() + 32), nullptr,
                            nullptr};
    PlatformTextOut(&surface, x, y, text.data(), static_cast<int32_t>(text.size()));
    for (int k = 0; k < 32; ++k) {
      ASSERT_EQ(pixels[k], 0xA5A5A5A5u);
      ASSERT_EQ(pixels[pixels.size() - 1 - k], 0xA5A5A5A5u);
    }
  }
}

TEST_F(OverlayText, ManyDifferentCharactersAreDrawnAlikeAgain) {
  // More characters than the glyph store keeps: the first ones come back
  // rendered afresh, the same.
  std::string first;
  for (uint32_t c = 0x391; c < 0x3A1; ++c) first += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 63))};
  const std::vector<uint32_t> before = Picture(first, 400);
  for (uint32_t c = 0x4E00; c < 0x4E00 + 1200; ++c)
    Picture({static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | ((c >> 6) & 63)),
             static_cast<char>(0x80 | (c & 63))});
  EXPECT_EQ(Picture(first, 400), before);
}

}  // namespace
