// Frame surfaces: the record around the platform's pixels.
#include "platform/surface.h"

#include <cstdlib>

FrameSurface* CreateFrameSurface(WindowHandle window, int32_t width, int32_t height, int32_t bitsPerPixel) {
  FrameSurface* surface = static_cast<FrameSurface*>(std::calloc(1, sizeof(FrameSurface)));
  if (surface == nullptr) PlatformExit(1);
  if (!PlatformCreateSurface(window, width, height, bitsPerPixel, surface)) PlatformExit(1);
  surface->width = width;
  surface->height = height;
  return surface;
}

void ReleaseFrameSurface(FrameSurface* surface) {
  if (surface == nullptr) return;
  PlatformReleaseSurface(surface);
  std::free(surface);
}
