// Surfaces laid out as Windows lays out a DIB section: a positive height
// gives bottom-up rows (the first displayed row last in memory, a negative
// stride), a negative height top-down ones. The native platform keeps every
// surface top-down, so without this no native test would see the layout the
// saver ships with; FakeSurfacesBottomUp false gives the native layout. The
// native platform releases and presents them.
#include <cstdlib>
#include <cstring>

#include "fakes/fakes.h"
#include "platform/platform.h"

bool FakeSurfacesBottomUp = true;

bool PlatformCreateSurface(WindowHandle, int32_t width, int32_t height, int32_t bitsPerPixel, FrameSurface* surface) {
  if (width <= 0 || height == 0 || bitsPerPixel != 32) return false;
  const int64_t rows = height < 0 ? -static_cast<int64_t>(height) : height;
  const uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(rows) * 4u;
  if (bytes > (uint64_t{1} << 32)) return false;
  void* pixels = nullptr;
  if (posix_memalign(&pixels, 64, static_cast<size_t>(bytes)) != 0) return false;
  std::memset(pixels, 0, static_cast<size_t>(bytes));
  const int32_t rowBytes = width * 4;
  if (height > 0 && FakeSurfacesBottomUp) {
    surface->bits = static_cast<uint8_t*>(pixels) + static_cast<size_t>(rows - 1) * rowBytes;
    surface->stride = -rowBytes;
  } else {
    surface->bits = static_cast<uint8_t*>(pixels);
    surface->stride = rowBytes;
  }
  surface->bitmap = pixels;
  surface->dc = surface;
  return true;
}
