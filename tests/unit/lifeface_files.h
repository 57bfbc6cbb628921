// Files for the lifeface tests: a private temporary folder, plain files in it,
// and a small BMP writer whose pictures are decoded back by the tests.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// A new empty folder under /tmp (kept short: catalogue paths hold 79 characters).
inline std::string MakeTempFolder() {
  char pattern[] = "/tmp/tumbra-lf-XXXXXX";
  const char* made = mkdtemp(pattern);
  return made != nullptr ? std::string(made) : std::string();
}

inline void RemoveTree(const std::string& path) {
  std::error_code ignored;
  if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

inline bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool whole = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && whole;
}

inline bool WriteText(const std::string& path, const std::string& text) {
  return WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// What WriteBmp puts into a file. values are top-down, width x |height|:
// palette indexes up to 8 bits, raw pixel words for 16 and 32 bits, and
// 0x00RRGGBB for 24 bits.
struct BmpPicture {
  int32_t width = 1;
  int32_t height = 1;  // negative: stored top-down
  uint16_t depth = 24;
  uint32_t headerSize = 40;  // 12 core, 40 info, 108 V4, 124 V5
  uint32_t compression = 0;  // 3: channel masks
  uint32_t masks[3] = {0, 0, 0};
  std::vector<uint32_t> palette;  // 0x00RRGGBB, written as it is
  uint32_t colorsUsed = 0;
  std::vector<uint32_t> values;
};

inline void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFFu);
  Put16(out, v >> 16);
}
inline void Set32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline std::vector<uint8_t> WriteBmp(const BmpPicture& picture) {
  const uint32_t width = static_cast<uint32_t>(picture.width);
  const uint32_t rows = static_cast<uint32_t>(picture.height < 0 ? -picture.height : picture.height);
  std::vector<uint8_t> out = {'B', 'M'};
  Put32(out, 0);  // file size, set below
  Put32(out, 0);
  Put32(out, 0);  // pixel offset, set below
  const size_t headerAt = out.size();
  Put32(out, picture.headerSize);
  if (picture.headerSize == 12) {
    Put16(out, width);
    Put16(out, rows);
    Put16(out, 1);
    Put16(out, picture.depth);
  } else {
    Put32(out, width);
    Put32(out, static_cast<uint32_t>(picture.height));
    Put16(out, 1);
    Put16(out, picture.depth);
    Put32(out, picture.compression);
    Put32(out, 0);  // image size: left 0, as many writers do
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, picture.colorsUsed);
    Put32(out, 0);
    // Masks follow a plain info header and are part of the larger ones.
    if (picture.compression == 3 || picture.headerSize > 40)
      for (uint32_t mask : picture.masks) Put32(out, mask);
    out.resize(headerAt + picture.headerSize + (picture.headerSize == 40 && picture.compression == 3 ? 12 : 0), 0);
  }
  for (uint32_t colour : picture.palette) {
    out.push_back(static_cast<uint8_t>(colour));
    out.push_back(static_cast<uint8_t>(colour >> 8));
    out.push_back(static_cast<uint8_t>(colour >> 16));
    if (picture.headerSize != 12) out.push_back(0);
  }
  Set32(out, 10, static_cast<uint32_t>(out.size()));
  const size_t stride = (static_cast<size_t>(width) * picture.depth + 31) / 32 * 4;
  for (uint32_t r = 0; r < rows; ++r) {
    const uint32_t y = picture.height < 0 ? r : rows - 1 - r;  // bottom-up files start with the bottom row
    std::vector<uint8_t> row(stride, 0);
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t v = picture.values.at(static_cast<size_t>(y) * width + x);
      switch (picture.depth) {
        case 1: row[x / 8] |= static_cast<uint8_t>((v & 1u) << (7 - x % 8)); break;
        case 4: row[x / 2] |= static_cast<uint8_t>((v & 15u) << (x % 2 ? 0 : 4)); break;
        case 8: row[x] = static_cast<uint8_t>(v); break;
        case 16: row[2 * x] = static_cast<uint8_t>(v); row[2 * x + 1] = static_cast<uint8_t>(v >> 8); break;
        case 24:
          row[3 * x] = static_cast<uint8_t>(v);
          row[3 * x + 1] = static_cast<uint8_t>(v >> 8);
          row[3 * x + 2] = static_cast<uint8_t>(v >> 16);
          break;
        default:
          for (int i = 0; i < 4; ++i) row[4 * x + i] = static_cast<uint8_t>(v >> (8 * i));
          break;
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  Set32(out, 2, static_cast<uint32_t>(out.size()));
  return out;
}

// A 24-bit picture whose every pixel tells its place: 0x00XXYY00 + 1.
inline std::vector<uint8_t> WritePlacesBmp(int32_t width, int32_t height) {
  BmpPicture picture;
  picture.width = width;
  picture.height = height;
  const int32_t rows = height < 0 ? -height : height;
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < width; ++x)
      picture.values.push_back((static_cast<uint32_t>(x & 0xFF) << 16 | static_cast<uint32_t>(y & 0xFF) << 8) + 1);
  return WriteBmp(picture);
}
