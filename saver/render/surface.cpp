// The frame surface, the palette it is cleared with, and the clearing of
// what the cells leave uncovered.
#include <algorithm>
#include <cstdlib>

#include "engine/engine.h"
#include "render/render.h"
#include "settings/settings.h"

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

void FillBlock(uint32_t* first, int32_t stride, int32_t width, int32_t height, uint32_t colour) {
  uint8_t* row = reinterpret_cast<uint8_t*>(first);
  for (int32_t y = 0; y < height; ++y, row += stride) {
    uint32_t* p = reinterpret_cast<uint32_t*>(row);
    for (int32_t x = 0; x < width; ++x) p[x] = colour;
  }
}

void FillSurface(uint32_t colour) {
  if (View.Surface == nullptr) return;
  FillBlock(SurfacePixel(View.Surface, 0, 0), View.Surface->stride, View.Surface->width, View.Surface->height, colour);
  ForgetSurfacePaint();
  DamageSurface();
}

void ClearUncovered(const FrameLayout& layout) {
  if (View.Surface == nullptr) return;
  const int32_t width = View.Surface->width, height = View.Surface->height;
  const int32_t coveredWidth =
      static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(layout.columns) * layout.cellSize, width));
  const int32_t coveredHeight =
      static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(layout.rows) * layout.cellSize, height));
  const uint32_t colour = View.Palette[DeadColour];
  if (coveredWidth < width) {
    FillBlock(SurfacePixel(View.Surface, coveredWidth, 0), View.Surface->stride, width - coveredWidth, height, colour);
    DamageRect(coveredWidth, 0, width - coveredWidth, height);
  }
  if (coveredHeight < height) {
    FillBlock(SurfacePixel(View.Surface, 0, coveredHeight), View.Surface->stride, coveredWidth, height - coveredHeight,
              colour);
    DamageRect(0, coveredHeight, coveredWidth, height - coveredHeight);
  }
}

void BuildPalette() {
  for (int i = 0; i < PaletteSize; ++i) View.Palette[i] = ColourByIndex(Settings.n[i]);
  FillSurface(View.Palette[DeadColour]);
}
