// The native bitmap reader, behind the native platform's bitmap loading:
// BMP files, uncompressed 1/4/8/16/24/32 bits, and run-length encoded 4 and 8
// bits (bottom-up only, as the format has them). Portable: it reads bytes
// already in memory.
#pragma once

#include <cstddef>
#include <cstdint>

struct DecodedBitmap {
  int32_t width;
  int32_t height;
  uint32_t* pixels;  // width x height, top row first, 0x00RRGGBB
};

// Decodes a BMP file held in memory. False, with nothing allocated and the
// bitmap zeroed, when the data is not a bitmap this reader takes, is damaged
// in any way, or has more than 64 M pixels. A run-length stream is the one
// exception: pixels it leaves out keep the first palette entry, and runs past
// the picture's edge or its own end are cut off there.
bool DecodeBmp(const uint8_t* data, size_t size, DecodedBitmap* bitmap);
void FreeDecodedBitmap(DecodedBitmap* bitmap);
