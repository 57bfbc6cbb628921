// Surfaces are plain heap pixels; there is no window to present to.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "lifeface/lifeface.h"
#include "platform/platform.h"

void* PlatformAllocateZeroed(size_t bytes) {
  const size_t rounded = (bytes + 63) & ~static_cast<size_t>(63);
  if (rounded < bytes) return nullptr;
  void* block = std::aligned_alloc(64, rounded);
  if (block != nullptr) std::memset(block, 0, rounded);
  return block;
}

void PlatformFreeZeroed(void* block) { std::free(block); }

bool PlatformCreateSurface(WindowHandle, int32_t width, int32_t height, int32_t bitsPerPixel, FrameSurface* surface) {
  if (width <= 0 || height == 0 || bitsPerPixel != 32) return false;
  const uint64_t rows = static_cast<uint64_t>(height < 0 ? -static_cast<int64_t>(height) : height);
  const uint64_t bytes = static_cast<uint64_t>(width) * rows * 4u;
  if (bytes > (uint64_t{1} << 32)) return false;
  void* pixels = std::calloc(1, static_cast<size_t>(bytes));
  if (pixels == nullptr) return false;
  // Top-down rows whatever the height's sign: no system here asks otherwise.
  surface->bits = static_cast<uint8_t*>(pixels);
  surface->stride = width * 4;
  surface->bitmap = pixels;
  surface->dc = surface;  // the text calls draw into the surface itself
  return true;
}

void PlatformReleaseSurface(FrameSurface* surface) {
  std::free(surface->bitmap);
  surface->bitmap = nullptr;
  surface->bits = nullptr;
}

bool PlatformPresent(WindowHandle, const FrameSurface*, int32_t, int32_t, int32_t, int32_t) { return true; }

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
