// Heap surfaces are freed as they were made (the block in bitmap), and a
// window is another surface, or none.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

void PlatformReleaseSurface(FrameSurface* surface) {
  std::free(surface->bitmap);
  surface->bitmap = nullptr;
  surface->bits = nullptr;
}

bool PlatformPresent(WindowHandle window, const FrameSurface* surface, const PixelRect* rects, int32_t count) {
  FrameSurface* picture = static_cast<FrameSurface*>(window);
  if (picture == nullptr) return true;
  for (int32_t i = 0; i < count; ++i) {
    const PixelRect& r = rects[i];
    const int32_t width = std::min(r.width, picture->width - r.x);
    const int32_t height = std::min(r.height, picture->height - r.y);
    for (int32_t y = 0; y < height; ++y)
      std::memcpy(picture->bits + static_cast<intptr_t>(r.y + y) * picture->stride + 4 * r.x,
                  surface->bits + static_cast<intptr_t>(r.y + y) * surface->stride + 4 * r.x,
                  static_cast<size_t>(width > 0 ? width : 0) * 4u);
  }
  return true;
}
