#include <gtest/gtest.h>

#include <cstring>

#include "platform/bmp.h"
#include "lifeface_files.h"

namespace {

// Decodes the file and gives its pixels top-down, or nothing when it is refused.
bool Decode(const std::vector<uint8_t>& file, int32_t* width, int32_t* height, std::vector<uint32_t>* pixels) {
  DecodedBitmap bitmap = {7, 7, nullptr};
  if (!DecodeBmp(file.data(), file.size(), &bitmap)) {
    EXPECT_EQ(bitmap.pixels, nullptr);
    return false;
  }
  *width = bitmap.width;
  *height = bitmap.height;
  pixels->assign(bitmap.pixels, bitmap.pixels + static_cast<size_t>(bitmap.width) * bitmap.height);
  FreeDecodedBitmap(&bitmap);
  EXPECT_EQ(bitmap.pixels, nullptr);
  return true;
}

std::vector<uint32_t> DecodeExpecting(const BmpPicture& picture, int32_t width, int32_t height) {
  int32_t w = 0, h = 0;
  std::vector<uint32_t> pixels;
  EXPECT_TRUE(Decode(WriteBmp(picture), &w, &h, &pixels));
  EXPECT_EQ(w, width);
  EXPECT_EQ(h, height);
  return pixels;
}

bool Refused(const std::vector<uint8_t>& file) {
  int32_t w = 0, h = 0;
  std::vector<uint32_t> pixels;
  return !Decode(file, &w, &h, &pixels);
}

const std::vector<uint32_t> Sixteen = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF,
                                       0x00FFFF, 0x7F0000, 0x007F00, 0x00007F, 0x7F7F00, 0x7F007F,
                                       0x007F7F, 0x7F7F7F, 0xCCCCCC, 0xFFFFFF};

std::vector<uint32_t> Through(const std::vector<uint32_t>& palette, const std::vector<uint32_t>& indexes) {
  std::vector<uint32_t> out;
  for (uint32_t i : indexes) out.push_back(i < palette.size() ? palette[i] : 0);
  return out;
}

// ---- Depths and orientations ------------------------------------------------------

TEST(Bmp, OneBitRowsPaddedAndBottomUp) {
  BmpPicture picture;
  picture.width = 11;  // two bytes of bits and two of padding per row
  picture.height = 3;
  picture.depth = 1;
  picture.palette = {0x102030, 0xA0B0C0};
  picture.values = {1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1,  //
                 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0,  //
                 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  EXPECT_EQ(DecodeExpecting(picture, 11, 3), Through(picture.palette, picture.values));
  picture.height = -3;
  EXPECT_EQ(DecodeExpecting(picture, 11, 3), Through(picture.palette, picture.values));
}

TEST(Bmp, FourBitBothOrientations) {
  BmpPicture picture;
  picture.width = 5;
  picture.height = 2;
  picture.depth = 4;
  picture.palette = Sixteen;
  picture.values = {0, 1, 2, 3, 4, 15, 14, 13, 12, 11};
  EXPECT_EQ(DecodeExpecting(picture, 5, 2), Through(Sixteen, picture.values));
  picture.height = -2;
  EXPECT_EQ(DecodeExpecting(picture, 5, 2), Through(Sixteen, picture.values));
}

TEST(Bmp, EightBitWithShortPaletteReadsUnknownIndexesAsBlack) {
  BmpPicture picture;
  picture.width = 3;
  picture.height = 2;
  picture.depth = 8;
  picture.palette = {0x112233, 0x445566, 0x778899};
  picture.colorsUsed = 3;
  picture.values = {0, 1, 2, 3, 200, 255};
  EXPECT_EQ(DecodeExpecting(picture, 3, 2), (std::vector<uint32_t>{0x112233, 0x445566, 0x778899, 0, 0, 0}));
}

TEST(Bmp, PaletteIsCutWherePixelsBeginWhateverColoursUsedClaims) {
  // colorsUsed 0 means 256 entries, but only two lie before the pixels.
  BmpPicture picture;
  picture.width = 4;
  picture.height = 1;
  picture.depth = 8;
  picture.palette = {0xABCDEF, 0x010203};
  picture.values = {1, 0, 2, 77};
  EXPECT_EQ(DecodeExpecting(picture, 4, 1), (std::vector<uint32_t>{0x010203, 0xABCDEF, 0, 0}));
  picture.colorsUsed = 100000;
  EXPECT_EQ(DecodeExpecting(picture, 4, 1), (std::vector<uint32_t>{0x010203, 0xABCDEF, 0, 0}));
}

TEST(Bmp, TwentyFourBitOddWidthBothOrientations) {
  for (int32_t height : {3, -3}) {
    const std::vector<uint8_t> file = WritePlacesBmp(5, height);
    int32_t w = 0, h = 0;
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(Decode(file, &w, &h, &pixels));
    ASSERT_EQ(w, 5);
    ASSERT_EQ(h, 3);
    for (uint32_t y = 0; y < 3; ++y)
      for (uint32_t x = 0; x < 5; ++x) EXPECT_EQ(pixels[y * 5 + x], (x << 16 | y << 8) + 1) << x << "," << y;
  }
}

TEST(Bmp, ThirtyTwoBitPlainIgnoresTheTopByte) {
  BmpPicture picture;
  picture.width = 2;
  picture.height = -2;
  picture.depth = 32;
  picture.values = {0xFF123456, 0x00ABCDEF, 0x80000001, 0x7FFFFFFF};
  EXPECT_EQ(DecodeExpecting(picture, 2, 2), (std::vector<uint32_t>{0x123456, 0xABCDEF, 0x000001, 0xFFFFFF}));
}

TEST(Bmp, ThirtyTwoBitMasksAfterInfoHeaderAndInsideV5) {
  BmpPicture picture;
  picture.width = 2;
  picture.height = 1;
  picture.depth = 32;
  picture.compression = 3;
  picture.masks[0] = 0x00FF0000;
  picture.masks[1] = 0x0000FF00;
  picture.masks[2] = 0x000000FF;
  picture.values = {0xEE123456, 0x00ABCDEF};
  EXPECT_EQ(DecodeExpecting(picture, 2, 1), (std::vector<uint32_t>{0x123456, 0xABCDEF}));
  // Channels in the other order, as some writers store them.
  picture.headerSize = 124;
  picture.masks[0] = 0x000000FF;
  picture.masks[1] = 0x0000FF00;
  picture.masks[2] = 0xFF000000;
  picture.values = {0x56341278, 0xEFCDAB00};  // byte 2 lies in no channel
  EXPECT_EQ(DecodeExpecting(picture, 2, 1), (std::vector<uint32_t>{0x781256, 0x00ABEF}));
}

TEST(Bmp, SixteenBitFiveFiveFiveAndFiveSixFive) {
  BmpPicture picture;
  picture.width = 3;
  picture.height = 1;
  picture.depth = 16;
  picture.values = {0x7C00, 0x03E0, 0x001F};
  EXPECT_EQ(DecodeExpecting(picture, 3, 1), (std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF}));
  picture.compression = 3;
  picture.masks[0] = 0xF800;
  picture.masks[1] = 0x07E0;
  picture.masks[2] = 0x001F;
  picture.values = {0xF800, 0x0400, 0x0010};  // full red, green 32/63, blue 16/31
  EXPECT_EQ(DecodeExpecting(picture, 3, 1), (std::vector<uint32_t>{0xFF0000, 0x008200, 0x000084}));
}

TEST(Bmp, CoreHeaderWithThreeBytePalette) {
  BmpPicture picture;
  picture.headerSize = 12;
  picture.width = 3;
  picture.height = 2;
  picture.depth = 8;
  picture.palette = {0x0A0B0C, 0xF0E0D0};
  picture.values = {1, 0, 1, 0, 0, 1};
  EXPECT_EQ(DecodeExpecting(picture, 3, 2), Through(picture.palette, picture.values));
}

TEST(Bmp, LargerHeadersWithoutMasks) {
  for (uint32_t headerSize : {52u, 56u, 64u, 108u, 124u}) {
    BmpPicture picture;
    picture.headerSize = headerSize;
    picture.width = 2;
    picture.height = -1;
    picture.depth = 4;
    picture.palette = Sixteen;
    picture.values = {5, 9};
    EXPECT_EQ(DecodeExpecting(picture, 2, 1), Through(Sixteen, picture.values)) << headerSize;
  }
}

// ---- Damaged and unsupported files ---------------------------------------------------

BmpPicture SmallEightBit() {
  BmpPicture picture;
  picture.width = 6;
  picture.height = 4;
  picture.depth = 8;
  picture.palette = Sixteen;
  picture.values.assign(24, 3);
  return picture;
}

TEST(Bmp, EveryTruncationIsRefused) {
  BmpPicture masked;
  masked.width = 3;
  masked.height = -2;
  masked.depth = 32;
  masked.compression = 3;
  masked.masks[0] = 0xFF0000;
  masked.masks[1] = 0xFF00;
  masked.masks[2] = 0xFF;
  masked.values.assign(6, 0x123456);
  for (const std::vector<uint8_t>& whole : {WriteBmp(SmallEightBit()), WritePlacesBmp(3, 2), WriteBmp(masked)}) {
    ASSERT_FALSE(Refused(whole));
    for (size_t length = 0; length < whole.size(); ++length) {
      // An exact-size copy, so a read past the end is caught by the sanitizer.
      std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
      EXPECT_TRUE(Refused(cut)) << length;
    }
  }
  DecodedBitmap bitmap;
  EXPECT_FALSE(DecodeBmp(nullptr, 0, &bitmap));
}

TEST(Bmp, HeadersThatLieAreRefused) {
  const std::vector<uint8_t> good = WriteBmp(SmallEightBit());
  struct Damage {
    size_t at;
    uint32_t value;
    const char* what;
  };
  const Damage damages[] = {
      {0, 0x4D41, "signature"},
      {10, 0xFFFFFFF0u, "pixel offset past the end"},
      {10, 20, "pixel offset inside the header"},
      {14, 0x10000, "header larger than the file"},
      {14, 20, "header size unknown"},
      {18, 0, "width 0"},
      {18, 0xFFFFFFFAu, "negative width"},
      {22, 0, "height 0"},
      {22, 0x80000000u, "smallest height"},
      {22, 5, "more rows than stored"},
      {22, 0xFFFFFFFBu, "more rows than stored, top-down"},
      {18, 0x7FFFFFFF, "huge width"},
      {26, 0x00080002, "two planes"},
      {26, 0x00020001, "depth 2"},
      {26, 0x00400001, "depth 64"},
      {30, 2, "4-bit run-length compression on 8 bits"},
      {30, 3, "masks on 8 bits"},
      {30, 4, "embedded picture"},
  };
  for (const Damage& d : damages) {
    std::vector<uint8_t> bad = good;
    if (d.at == 0) {
      bad[0] = static_cast<uint8_t>(d.value);
      bad[1] = static_cast<uint8_t>(d.value >> 8);
    } else {
      Set32(bad, d.at, d.value);
    }
    EXPECT_TRUE(Refused(bad)) << d.what;
  }
}

TEST(Bmp, DimensionsWhoseProductOverflowsAreRefused) {
  BmpPicture picture;
  picture.depth = 1;
  picture.palette = {0, 0xFFFFFF};
  picture.values = {1};
  std::vector<uint8_t> file = WriteBmp(picture);
  Set32(file, 18, 0x10000);  // 65536 x 65536 is 2^32: 0 in 32-bit arithmetic
  Set32(file, 22, 0x10000);
  EXPECT_TRUE(Refused(file));
  Set32(file, 22, 0xFFFF0000u);
  EXPECT_TRUE(Refused(file));
}

TEST(Bmp, PicturesAboveTheCapAreRefusedEvenWithAllTheirBytes) {
  // 8193 x 8192 one-bit pixels: every byte present, one row over 64 M pixels.
  BmpPicture picture;
  picture.depth = 1;
  picture.palette = {0, 0xFFFFFF};
  picture.values = {1};
  std::vector<uint8_t> file = WriteBmp(picture);
  const size_t pixelOffset = file.size() - 4;
  const size_t stride = (8193 + 31) / 32 * 4;
  file.resize(pixelOffset + stride * 8192, 0);
  Set32(file, 18, 8193);
  Set32(file, 22, 8192);
  EXPECT_TRUE(Refused(file));
  Set32(file, 18, 8192);  // exactly 64 M pixels is taken
  DecodedBitmap bitmap;
  ASSERT_TRUE(DecodeBmp(file.data(), file.size(), &bitmap));
  EXPECT_EQ(bitmap.width, 8192);
  EXPECT_EQ(bitmap.height, 8192);
  EXPECT_EQ(bitmap.pixels[0], 0u);
  FreeDecodedBitmap(&bitmap);
}

TEST(Bmp, MasksMissingFromAShortFileAreRefused) {
  BmpPicture picture;
  picture.width = 1;
  picture.depth = 32;
  picture.compression = 3;
  picture.masks[0] = 0xFF0000;
  picture.masks[1] = 0xFF00;
  picture.masks[2] = 0xFF;
  picture.values = {0x123456};
  std::vector<uint8_t> file = WriteBmp(picture);
  file.resize(14 + 40 + 8);  // the masks cut short, no pixels
  EXPECT_TRUE(Refused(file));
}

// ---- Run-length encoded files -------------------------------------------------------

// Sixteen colours none of which is black, so that a pixel left alone (the
// first entry) and an index beyond the palette (black) tell apart.
std::vector<uint32_t> Shades() {
  std::vector<uint32_t> palette;
  for (uint32_t i = 0; i < 16; ++i) palette.push_back(0x0F0F0F * (i + 1));
  return palette;
}

// A bottom-up file of 4 or 8 bits whose pixels are the given run-length stream.
std::vector<uint8_t> WriteRle(int32_t width, int32_t height, uint16_t depth, const std::vector<uint8_t>& stream) {
  BmpPicture picture;
  picture.width = width;
  picture.height = height;
  picture.depth = depth;
  picture.compression = depth == 8 ? 1 : 2;
  picture.palette = Shades();
  picture.values.assign(static_cast<size_t>(width) * static_cast<size_t>(height < 0 ? -height : height), 0);
  std::vector<uint8_t> file = WriteBmp(picture);
  file.resize(14 + 40 + 16 * 4);
  file.insert(file.end(), stream.begin(), stream.end());
  Set32(file, 2, static_cast<uint32_t>(file.size()));
  return file;
}

std::vector<uint32_t> DecodeRle(int32_t width, int32_t height, uint16_t depth, const std::vector<uint8_t>& stream) {
  int32_t w = 0, h = 0;
  std::vector<uint32_t> pixels;
  EXPECT_TRUE(Decode(WriteRle(width, height, depth, stream), &w, &h, &pixels));
  EXPECT_EQ(w, width);
  EXPECT_EQ(h, height);
  return pixels;
}

TEST(BmpRunLength, EightBitRunsAbsoluteRunsAndEveryEscape) {
  const std::vector<uint8_t> stream = {
      0x02, 0x05, 0x00, 0x03, 0x01, 0x02, 0x03, 0x00,  // bottom row: run of 2, odd absolute run and its pad
      0x00, 0x00,                                      // end of line
      0x00, 0x04, 0x09, 0x08, 0x07, 0x06,              // even absolute run, no pad
      0x00, 0x02, 0x00, 0x01,                          // delta: up one row
      0x01, 0x0B,                                      // the last pixel of the top row
      0x00, 0x01,                                      // end of bitmap
      0x02, 0x09,                                      // after the end: not read
  };
  EXPECT_EQ(DecodeRle(5, 3, 8, stream), Through(Shades(), {0, 0, 0, 0, 11,  //
                                                           9, 8, 7, 6, 0,   //
                                                           5, 5, 1, 2, 3}));
  // Indexes past the palette read as black, as in plain files.
  EXPECT_EQ(DecodeRle(2, 1, 8, {0x01, 0x10, 0x00, 0x03, 0xFF, 0x02, 0x03, 0x00, 0x00, 0x01}),
            (std::vector<uint32_t>{0, 0}));
}

TEST(BmpRunLength, FourBitRunsAlternateTheirTwoNibbles) {
  const std::vector<uint8_t> stream = {
      0x05, 0x12, 0x00, 0x00,                          // 1 2 1 2 1, end of line
      0x00, 0x03, 0x34, 0x50,                          // three nibbles in two bytes: no pad
      0x00, 0x02, 0x01, 0x00,                          // delta: one right
      0x01, 0xF0, 0x00, 0x00,                          // one pixel: the high nibble
      0x00, 0x05, 0x67, 0x89, 0xA0, 0x00,              // five nibbles in three bytes and a pad
      0x01, 0xC0, 0x00, 0x01,
  };
  EXPECT_EQ(DecodeRle(6, 3, 4, stream), Through(Shades(), {6, 7, 8, 9, 10, 12,  //
                                                           3, 4, 5, 0, 15, 0,   //
                                                           1, 2, 1, 2, 1, 0}));
}

TEST(BmpRunLength, RunsPastTheRowOrThePictureAreClipped) {
  const std::vector<uint32_t> shades = Shades();
  // An encoded and an absolute run too long for the row do not wrap onto the next.
  EXPECT_EQ(DecodeRle(3, 2, 8, {0x05, 0x04, 0x00, 0x00, 0x00, 0x04, 0x01, 0x02, 0x03, 0x04, 0x00, 0x01}),
            Through(shades, {1, 2, 3, 4, 4, 4}));
  EXPECT_EQ(DecodeRle(3, 2, 4, {0xFF, 0x45, 0x00, 0x00, 0x00, 0x05, 0x12, 0x34, 0x50, 0x00}),
            Through(shades, {1, 2, 3, 4, 5, 4}));
  // Deltas far past the right edge and above the top row, then runs there.
  EXPECT_EQ(DecodeRle(3, 2, 8, {0x00, 0x02, 0xFF, 0x00, 0xFF, 0x07, 0x00, 0x02, 0x00, 0xFF, 0xFF, 0x07}),
            Through(shades, {0, 0, 0, 0, 0, 0}));
  // More ends of line than rows, and runs after them.
  std::vector<uint8_t> lines;
  for (int i = 0; i < 300; ++i) lines.insert(lines.end(), {0x00, 0x00, 0xFF, 0x03});
  EXPECT_EQ(DecodeRle(3, 2, 8, lines), Through(shades, {3, 3, 3, 0, 0, 0}));
}

TEST(BmpRunLength, AStreamCutShortKeepsWhatItDrewAndReadsNoFurther) {
  const std::vector<uint8_t> stream = {0x02, 0x05, 0x00, 0x00, 0x00, 0x03, 0x01, 0x02, 0x03, 0x00,
                                       0x00, 0x00, 0x00, 0x02, 0x01, 0x00, 0x01, 0x07, 0x00, 0x01};
  const std::vector<uint8_t> whole = WriteRle(3, 3, 8, stream);
  const size_t pixelOffset = whole.size() - stream.size();
  for (size_t length = 0; length < whole.size(); ++length) {
    // An exact-size copy, so a read past the end is caught by the sanitizer.
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
    int32_t w = 0, h = 0;
    std::vector<uint32_t> pixels;
    EXPECT_EQ(Decode(cut, &w, &h, &pixels), length >= pixelOffset) << length;
  }
  const std::vector<uint32_t> shades = Shades();
  // An absolute run or a delta without all its bytes draws nothing.
  EXPECT_EQ(DecodeRle(3, 3, 8, std::vector<uint8_t>(stream.begin(), stream.begin() + 8)),
            Through(shades, {0, 0, 0, 0, 0, 0, 5, 5, 0}));
  EXPECT_EQ(DecodeRle(3, 3, 8, std::vector<uint8_t>(stream.begin(), stream.begin() + 14)),
            Through(shades, {0, 0, 0, 1, 2, 3, 5, 5, 0}));
  EXPECT_EQ(DecodeRle(3, 3, 8, stream), Through(shades, {0, 7, 0, 1, 2, 3, 5, 5, 0}));
  EXPECT_EQ(DecodeRle(3, 3, 8, {}), Through(shades, std::vector<uint32_t>(9, 0)));
}

TEST(BmpRunLength, TopDownFilesAndDepthsOfTheOtherFormatAreRefused) {
  const std::vector<uint8_t> stream = {0x01, 0x01, 0x00, 0x01};
  EXPECT_FALSE(Refused(WriteRle(2, 2, 8, stream)));
  EXPECT_TRUE(Refused(WriteRle(2, -2, 8, stream)));
  EXPECT_TRUE(Refused(WriteRle(2, -2, 4, stream)));
  for (uint16_t depth : {uint16_t{1}, uint16_t{4}, uint16_t{24}}) {
    std::vector<uint8_t> file = WriteRle(2, 2, 8, stream);
    file[28] = static_cast<uint8_t>(depth);  // run-length 8 at another depth
    EXPECT_TRUE(Refused(file)) << depth;
  }
  for (uint16_t depth : {uint16_t{1}, uint16_t{8}, uint16_t{32}}) {
    std::vector<uint8_t> file = WriteRle(2, 2, 4, stream);
    file[28] = static_cast<uint8_t>(depth);
    EXPECT_TRUE(Refused(file)) << depth;
  }
  std::vector<uint8_t> file = WriteRle(2, 2, 8, stream);
  Set32(file, 10, static_cast<uint32_t>(file.size() + 1));  // pixels past the end
  EXPECT_TRUE(Refused(file));
}

}  // namespace
