// Surfaces are plain heap pixels, made here; present_posix.cpp releases and
// shows them.
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

bool PlatformCreateSurface(WindowHandle, int32_t width, int32_t height, int32_t bitsPerPixel, FrameSurface* surface) {
  if (width <= 0 || height == 0 || bitsPerPixel != 32) return false;
  const uint64_t rows = static_cast<uint64_t>(height < 0 ? -static_cast<int64_t>(height) : height);
  const uint64_t bytes = static_cast<uint64_t>(width) * rows * 4u;
  if (bytes > (uint64_t{1} << 32)) return false;
  // Aligned as a DIB section's or a shared-memory image's bits are, so that
  // streaming stores take whole rows here as they do there.
  void* pixels = nullptr;
  if (posix_memalign(&pixels, 64, static_cast<size_t>(bytes)) != 0) return false;
  std::memset(pixels, 0, static_cast<size_t>(bytes));
  // Top-down rows whatever the height's sign: no system here asks otherwise.
  surface->bits = static_cast<uint8_t*>(pixels);
  surface->stride = width * 4;
  surface->bitmap = pixels;
  surface->dc = surface;  // the text calls draw into the surface itself
  return true;
}
