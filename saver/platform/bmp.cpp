// The native bitmap reader: uncompressed BMP files of 1, 4, 8, 16, 24 and 32
// bits (16 and 32 also with channel masks), with the core, info, V4 and V5
// headers, bottom-up or top-down, and bottom-up run-length encoded files of
// 4 and 8 bits, decoded into top-down 0x00RRGGBB pixels.
//
// Every size and offset in the file is checked against the bytes really
// present, the picture is capped at MaxPixels, and palette indexes beyond the
// palette the file gives read as black.
#include <cstdlib>
#include <cstring>

#include "platform/bmp.h"

namespace {

const uint64_t MaxPixels = uint64_t{64} << 20;
const uint32_t FileHeaderSize = 14;
const uint32_t CoreHeaderSize = 12;
const uint32_t InfoHeaderSize = 40;
const uint32_t MaskBytes = 12;

enum : uint32_t { CompressionRgb = 0, CompressionRle8 = 1, CompressionRle4 = 2, CompressionBitfields = 3 };

uint32_t Read16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8; }
uint32_t Read32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// One colour channel of a 16- or 32-bit pixel: its mask, the lowest bit and
// the number of bits up to the highest.
struct Channel {
  uint32_t mask;
  uint32_t shift;
  uint32_t bits;
};

Channel ChannelOf(uint32_t mask) {
  Channel channel = {mask, 0, 0};
  if (mask == 0) return channel;
  while (((mask >> channel.shift) & 1u) == 0) ++channel.shift;
  uint32_t top = 31;
  while (((mask >> top) & 1u) == 0) --top;
  channel.bits = top - channel.shift + 1;
  return channel;
}

// The channel's value scaled to 0..255.
uint32_t ChannelValue(const Channel& channel, uint32_t pixel) {
  if (channel.bits == 0) return 0;
  const uint32_t value = (pixel & channel.mask) >> channel.shift;
  if (channel.bits >= 8) return value >> (channel.bits - 8);
  const uint32_t largest = (1u << channel.bits) - 1;
  return (value * 255u + largest / 2) / largest;
}

struct BmpLayout {
  uint32_t width;
  uint32_t rows;
  bool topDown;
  uint32_t depth;
  uint32_t compression;
  uint32_t colorsUsed;
  uint32_t paletteOffset;  // first palette entry, after the header and any masks
  uint32_t paletteEntrySize;
  uint32_t pixelOffset;
  uint64_t stride;
  Channel red;
  Channel green;
  Channel blue;
};

bool IsRunLength(const BmpLayout& layout) {
  return layout.compression == CompressionRle8 || layout.compression == CompressionRle4;
}

bool IsInfoHeaderSize(uint32_t size) {
  return size == 40 || size == 52 || size == 56 || size == 64 || size == 108 || size == 124;
}

// Reads and checks the headers; false for anything this reader does not take.
bool ReadLayout(const uint8_t* data, size_t size, BmpLayout* layout) {
  if (size < FileHeaderSize + 4 || data[0] != 'B' || data[1] != 'M') return false;
  const uint8_t* header = data + FileHeaderSize;
  const uint32_t headerSize = Read32(header);
  if (headerSize > size - FileHeaderSize) return false;
  uint32_t planes = 0;
  layout->pixelOffset = Read32(data + 10);
  if (headerSize == CoreHeaderSize) {
    layout->width = Read16(header + 4);
    layout->rows = Read16(header + 6);
    layout->topDown = false;
    planes = Read16(header + 8);
    layout->depth = Read16(header + 10);
    layout->compression = CompressionRgb;
    layout->colorsUsed = 0;
    layout->paletteEntrySize = 3;
  } else if (IsInfoHeaderSize(headerSize)) {
    const int32_t width = static_cast<int32_t>(Read32(header + 4));
    const int32_t height = static_cast<int32_t>(Read32(header + 8));
    if (width <= 0 || height == 0 || height == INT32_MIN) return false;
    layout->width = static_cast<uint32_t>(width);
    layout->topDown = height < 0;
    layout->rows = static_cast<uint32_t>(height < 0 ? -height : height);
    planes = Read16(header + 12);
    layout->depth = Read16(header + 14);
    layout->compression = Read32(header + 16);
    layout->colorsUsed = Read32(header + 32);
    layout->paletteEntrySize = 4;
    // The older OS/2 header of this size gives compression 3 another meaning.
    if (headerSize == 64 && layout->compression != CompressionRgb) return false;
  } else {
    return false;
  }
  if (planes != 1 || layout->width == 0 || layout->rows == 0) return false;
  if (layout->width > MaxPixels || layout->rows > MaxPixels ||
      uint64_t{layout->width} * layout->rows > MaxPixels)
    return false;

  const uint32_t depth = layout->depth;
  if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32) return false;
  uint64_t paletteOffset = uint64_t{FileHeaderSize} + headerSize;
  if (layout->compression == CompressionBitfields) {
    if (depth != 16 && depth != 32) return false;
    // A plain info header is followed by the three masks; the larger ones hold them.
    if (headerSize == InfoHeaderSize) paletteOffset += MaskBytes;
    if (paletteOffset > size) return false;
    const uint8_t* masks = header + InfoHeaderSize;
    layout->red = ChannelOf(Read32(masks));
    layout->green = ChannelOf(Read32(masks + 4));
    layout->blue = ChannelOf(Read32(masks + 8));
  } else if (layout->compression == CompressionRgb) {
    const bool sixteen = depth == 16;
    layout->red = ChannelOf(sixteen ? 0x7C00u : 0xFF0000u);
    layout->green = ChannelOf(sixteen ? 0x03E0u : 0x00FF00u);
    layout->blue = ChannelOf(sixteen ? 0x001Fu : 0x0000FFu);
  } else if (layout->compression == CompressionRle8 || layout->compression == CompressionRle4) {
    // Run-length files are bottom-up only, each format at its own depth.
    if (layout->topDown || depth != (layout->compression == CompressionRle8 ? 8u : 4u)) return false;
  } else {
    return false;  // embedded formats are not taken
  }
  layout->paletteOffset = static_cast<uint32_t>(paletteOffset);

  layout->stride = (uint64_t{layout->width} * depth + 31) / 32 * 4;
  if (layout->pixelOffset < paletteOffset || layout->pixelOffset > size) return false;
  if (IsRunLength(*layout)) return true;  // the runs are checked as they are decoded
  return layout->stride * layout->rows <= size - layout->pixelOffset;
}

// The palette as far as it lies between the header and the pixels; the rest
// of the 256 entries stay black.
void ReadPalette(const uint8_t* data, const BmpLayout& layout, uint32_t palette[256]) {
  std::memset(palette, 0, 256 * sizeof palette[0]);
  if (layout.depth > 8) return;
  uint32_t entries = 1u << layout.depth;
  if (layout.colorsUsed != 0 && layout.colorsUsed < entries) entries = layout.colorsUsed;
  const uint32_t room = (layout.pixelOffset - layout.paletteOffset) / layout.paletteEntrySize;
  if (room < entries) entries = room;
  for (uint32_t i = 0; i < entries; ++i) {
    const uint8_t* entry = data + layout.paletteOffset + i * layout.paletteEntrySize;
    palette[i] = static_cast<uint32_t>(entry[2]) << 16 | static_cast<uint32_t>(entry[1]) << 8 | entry[0];
  }
}

uint32_t MaskedPixel(const BmpLayout& layout, uint32_t value) {
  return ChannelValue(layout.red, value) << 16 | ChannelValue(layout.green, value) << 8 |
         ChannelValue(layout.blue, value);
}

void DecodeRow(const uint8_t* source, const BmpLayout& layout, const uint32_t palette[256], uint32_t* target) {
  const uint32_t width = layout.width;
  switch (layout.depth) {
    case 1:
      for (uint32_t x = 0; x < width; ++x) target[x] = palette[(source[x >> 3] >> (7 - (x & 7))) & 1u];
      break;
    case 4:
      for (uint32_t x = 0; x < width; ++x) target[x] = palette[(source[x >> 1] >> ((x & 1) ? 0 : 4)) & 15u];
      break;
    case 8:
      for (uint32_t x = 0; x < width; ++x) target[x] = palette[source[x]];
      break;
    case 16:
      for (uint32_t x = 0; x < width; ++x) target[x] = MaskedPixel(layout, Read16(source + 2 * x));
      break;
    case 24:
      for (uint32_t x = 0; x < width; ++x) {
        const uint8_t* p = source + 3 * x;
        target[x] = static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
      }
      break;
    default:
      for (uint32_t x = 0; x < width; ++x) target[x] = MaskedPixel(layout, Read32(source + 4 * x));
      break;
  }
}

// Decodes the runs of a 4- or 8-bit run-length file, from the bottom row up,
// into pixels already filled with the first palette entry (what a file leaves
// out keeps it). Pixels beyond the end of a row or above the top row are
// dropped; the stream ends at its end-of-bitmap code or where its bytes end.
void DecodeRuns(const uint8_t* stream, size_t size, const BmpLayout& layout, const uint32_t palette[256],
                uint32_t* pixels) {
  const bool four = layout.compression == CompressionRle4;
  // Coordinates grow by at most 255 per two bytes read: no overflow.
  uint64_t x = 0, y = 0;
  const auto put = [&](uint32_t index) {
    if (x < layout.width && y < layout.rows)
      pixels[static_cast<size_t>((layout.rows - 1 - y) * uint64_t{layout.width} + x)] = palette[index];
    ++x;
  };
  size_t i = 0;
  while (i + 2 <= size && y < layout.rows) {
    const uint32_t count = stream[i], value = stream[i + 1];
    i += 2;
    if (count > 0) {  // an encoded run: one byte, or two alternating nibbles
      for (uint32_t k = 0; k < count; ++k) put(four ? (k & 1 ? value & 15u : value >> 4) : value);
    } else if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      return;
    } else if (value == 2) {  // delta: right and up
      if (i + 2 > size) return;
      x += stream[i];
      y += stream[i + 1];
      i += 2;
    } else {  // an absolute run of value pixels, padded to a 16-bit boundary
      const size_t bytes = four ? (value + 1) / 2 : value;
      if (bytes > size - i) return;
      for (uint32_t k = 0; k < value; ++k) {
        const uint32_t byte = stream[i + (four ? k / 2 : k)];
        put(four ? (k & 1 ? byte & 15u : byte >> 4) : byte);
      }
      i += bytes + (bytes & 1);
    }
  }
}

}  // namespace

bool DecodeBmp(const uint8_t* data, size_t size, DecodedBitmap* bitmap) {
  bitmap->width = 0;
  bitmap->height = 0;
  bitmap->pixels = nullptr;
  BmpLayout layout = {};
  if (data == nullptr || !ReadLayout(data, size, &layout)) return false;
  uint32_t palette[256];
  ReadPalette(data, layout, palette);
  const size_t count = static_cast<size_t>(uint64_t{layout.width} * layout.rows);
  uint32_t* pixels = static_cast<uint32_t*>(std::malloc(count * sizeof(uint32_t)));
  if (pixels == nullptr) return false;
  const uint8_t* first = data + layout.pixelOffset;
  if (IsRunLength(layout)) {
    for (size_t i = 0; i < count; ++i) pixels[i] = palette[0];
    DecodeRuns(first, size - layout.pixelOffset, layout, palette, pixels);
  } else {
    for (uint32_t y = 0; y < layout.rows; ++y) {
      const uint32_t stored = layout.topDown ? y : layout.rows - 1 - y;
      DecodeRow(first + static_cast<size_t>(stored * layout.stride), layout, palette,
                pixels + static_cast<size_t>(y) * layout.width);
    }
  }
  bitmap->width = static_cast<int32_t>(layout.width);
  bitmap->height = static_cast<int32_t>(layout.rows);
  bitmap->pixels = pixels;
  return true;
}

void FreeDecodedBitmap(DecodedBitmap* bitmap) {
  std::free(bitmap->pixels);
  bitmap->pixels = nullptr;
}
