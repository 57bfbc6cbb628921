// Placeholder until the bitmap reader lands: reads nothing.
#include <cstdlib>

#include "lifeface/lifeface.h"

bool DecodeBmp(const uint8_t*, size_t, DecodedBitmap*) { return false; }
void FreeDecodedBitmap(DecodedBitmap* bitmap) {
  std::free(bitmap->pixels);
  bitmap->pixels = nullptr;
}
