// The bitmap reader on arbitrary bytes: a picture it takes has a sane size,
// every one of its pixels can be read, and none has bits above 0x00FFFFFF.
#include <cstdint>

#include "platform/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DecodedBitmap bitmap;
  if (!DecodeBmp(data, size, &bitmap)) {
    if (bitmap.pixels != nullptr) __builtin_trap();
    return 0;
  }
  if (bitmap.width <= 0 || bitmap.height <= 0) __builtin_trap();
  const uint64_t count = static_cast<uint64_t>(bitmap.width) * static_cast<uint64_t>(bitmap.height);
  if (count > (uint64_t{64} << 20)) __builtin_trap();
  uint32_t high = 0;
  for (uint64_t i = 0; i < count; ++i) high |= bitmap.pixels[i] & 0xFF000000u;
  if (high != 0) __builtin_trap();
  FreeDecodedBitmap(&bitmap);
  return 0;
}
