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
  // The cells cover [coverLeft, coverRight) x [coverTop, coverBottom).
  const int64_t coverLeft = layout.originX, coverTop = layout.originY;
  const int64_t coverRight = coverLeft + static_cast<int64_t>(layout.columns) * layout.cellSize;
  const int64_t coverBottom = coverTop + static_cast<int64_t>(layout.rows) * layout.cellSize;
  const int32_t left = std::max(area.x, 0), top = std::max(area.y, 0);
  const int32_t right = static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(area.x) + area.width, View.Surface->width));
  const int32_t bottom =
      static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(area.y) + area.height, View.Surface->height));
  if (left >= right || top >= bottom) return;
  const uint32_t colour = View.Palette[DeadColour];
  const auto clear = [&](int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    x0 = std::max<int64_t>(x0, left);
    y0 = std::max<int64_t>(y0, top);
    x1 = std::min<int64_t>(x1, right);
    y1 = std::min<int64_t>(y1, bottom);
    if (x0 >= x1 || y0 >= y1) return;
    FillBlock(SurfacePixel(View.Surface, static_cast<int32_t>(x0), static_cast<int32_t>(y0)), View.Surface->stride,
              static_cast<int32_t>(x1 - x0), static_cast<int32_t>(y1 - y0), colour);
    DamageRect(static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(x1 - x0),
               static_cast<int32_t>(y1 - y0));
  };
  clear(coverRight, top, right, bottom);                  // right of the cells
  clear(left, coverBottom, std::min<int64_t>(coverRight, right), bottom);  // below them
  clear(left, top, coverLeft, std::min<int64_t>(coverBottom, bottom));     // left of them
  clear(coverLeft, top, std::min<int64_t>(coverRight, right), coverTop);   // above them
}

void BuildPalette() {
  for (int i = 0; i < PaletteSize; ++i) View.Palette[i] = ColourByIndex(Settings.n[i]);
  FillSurface(View.Palette[DeadColour]);
}
