// Lifeface bitmaps through the native BMP reader: the file is read whole and
// decoded to 0x00RRGGBB rows. Shared by every build without the Windows platform.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/bmp.h"
#include "platform/platform.h"

bool PlatformLoadBitmap(const char* path, LoadedBitmap* bitmap) {
  FileHandle file = PlatformOpenRead(path, nullptr, 0);
  if (file == nullptr) return false;
  std::vector<uint8_t> data;
  uint8_t block[65536];
  uint32_t got = 0;
  bool ok = true;
  while ((ok = PlatformRead(file, block, sizeof block, &got)) && got > 0) data.insert(data.end(), block, block + got);
  PlatformClose(file);
  if (!ok) return false;
  DecodedBitmap* decoded = static_cast<DecodedBitmap*>(std::calloc(1, sizeof(DecodedBitmap)));
  if (decoded == nullptr) return false;
  if (!DecodeBmp(data.data(), data.size(), decoded)) {
    std::free(decoded);
    return false;
  }
  bitmap->handle = decoded;
  bitmap->width = decoded->width;
  bitmap->height = decoded->height;
  return true;
}

void PlatformDrawBitmap(const LoadedBitmap* bitmap, FrameSurface* surface) {
  const DecodedBitmap* decoded = static_cast<const DecodedBitmap*>(bitmap->handle);
  const int32_t width = decoded->width < surface->width ? decoded->width : surface->width;
  const int32_t height = decoded->height < surface->height ? decoded->height : surface->height;
  for (int32_t y = 0; y < height; ++y)
    std::memcpy(surface->bits + static_cast<intptr_t>(y) * surface->stride,
                decoded->pixels + static_cast<size_t>(y) * decoded->width, static_cast<size_t>(width) * 4u);
}

void PlatformFreeBitmap(LoadedBitmap* bitmap) {
  DecodedBitmap* decoded = static_cast<DecodedBitmap*>(bitmap->handle);
  if (decoded != nullptr) {
    FreeDecodedBitmap(decoded);
    std::free(decoded);
  }
  bitmap->handle = nullptr;
}
