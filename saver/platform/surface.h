// Frame surfaces as the rest of the saver uses them: made whole or not at
// all, released with their record, and read pixel by pixel. Portable: the
// pixels come from the platform's PlatformCreateSurface.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// A new surface of the given size; ends the process with exit code 1 when it
// cannot be made.
FrameSurface* CreateFrameSurface(WindowHandle window, int32_t width, int32_t height, int32_t bitsPerPixel);
void ReleaseFrameSurface(FrameSurface* surface);
inline uint32_t* SurfacePixel(const FrameSurface* surface, int32_t x, int32_t y) {
  return reinterpret_cast<uint32_t*>(surface->bits + static_cast<intptr_t>(y) * surface->stride) + x;
}
