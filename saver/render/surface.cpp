// The frame surface, the palette it is cleared with, and the clearing of
// what the cells leave uncovered.
#include <algorithm>

#include "engine/engine.h"
#include "render/render.h"
#include "settings/settings.h"

FrameView View = {};

void ReleaseView() {
  ReleaseFrameSurface(View.Surface);
  ReleaseCellGrid();
  ReleaseDamage();
  View = FrameView{};
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

void ClearOutsideCells(const FrameLayout& layout, const PixelRect& area) {
  if (View.Surface == nullptr || area.width <= 0 || area.height <= 0) return;
  const int64_t coveredWidth = static_cast<int64_t>(layout.columns) * layout.cellSize;
  const int64_t coveredHeight = static_cast<int64_t>(layout.rows) * layout.cellSize;
  const int32_t left = std::max(area.x, 0), top = std::max(area.y, 0);
  const int32_t right = static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(area.x) + area.width, View.Surface->width));
  const int32_t bottom =
      static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(area.y) + area.height, View.Surface->height));
  if (left >= right || top >= bottom) return;
  const uint32_t colour = View.Palette[DeadColour];
  if (right > coveredWidth) {
    const int32_t from = static_cast<int32_t>(std::max<int64_t>(left, coveredWidth));
    FillBlock(SurfacePixel(View.Surface, from, top), View.Surface->stride, right - from, bottom - top, colour);
    DamageRect(from, top, right - from, bottom - top);
  }
  if (bottom > coveredHeight) {
    const int32_t from = static_cast<int32_t>(std::max<int64_t>(top, coveredHeight));
    FillBlock(SurfacePixel(View.Surface, left, from), View.Surface->stride, right - left, bottom - from, colour);
    DamageRect(left, from, right - left, bottom - from);
  }
}

void BuildPalette() {
  for (int i = 0; i < PaletteSize; ++i) View.Palette[i] = ColourByIndex(Settings.n[i]);
  FillSurface(View.Palette[DeadColour]);
}
