#include <algorithm>

#include "engine/engine.h"
#include "render/render.h"
#include "settings/settings.h"

uint32_t ColourOffset() {
  if (Settings.flags & FlagCycleAtReset) return static_cast<uint32_t>(ResetCount);
  if (Settings.cycle > 0) return PlatformTickCount() / static_cast<uint32_t>(Settings.cycle);
  return 0;
}

// Cells are drawn from the top-left; any part of a block beyond the surface
// is clipped.
void DrawClassicFrame(int32_t columns, int32_t rows, int32_t cellSize) {
  if (Surface == nullptr || !GridFits(columns, rows) || cellSize < 1) return;
  const uint32_t offset = ColourOffset();
  uint32_t colourOf[256];
  for (int v = 0; v < 256; ++v)
    colourOf[v] = (v & 1) ? Palette[((static_cast<uint32_t>(v) >> 1) + offset) & 7u] : Palette[DeadColour];

  const int32_t s = cellSize;
  const int32_t visibleColumns = std::min(columns, (Surface->width + s - 1) / s);
  const int32_t visibleRows = std::min(rows, (Surface->height + s - 1) / s);
  int32_t population = 0;

  if (s == 1) {
    for (int32_t y = 0; y < rows; ++y) {
      const uint8_t* cell = Grid.LiveCells + static_cast<size_t>(y) * columns;
      uint32_t* pixel = y < visibleRows ? SurfacePixel(Surface, 0, y) : nullptr;
      for (int32_t x = 0; x < columns; ++x) {
        uint8_t v = cell[x];
        population += v & 1;
        if (pixel != nullptr && x < visibleColumns) pixel[x] = colourOf[v];
      }
    }
  } else {
    const bool digital = (Settings.flags & FlagDigitalEffect) != 0 && s >= 4;
    const int32_t liveSide = digital ? s - 1 : s;
    for (int32_t y = 0; y < rows; ++y) {
      const uint8_t* cell = Grid.LiveCells + static_cast<size_t>(y) * columns;
      if (y >= visibleRows) {
        for (int32_t x = 0; x < columns; ++x) population += cell[x] & 1;
        continue;
      }
      const int32_t blockRows = std::min(s, Surface->height - y * s);
      uint32_t* rowStart = SurfacePixel(Surface, 0, y * s);
      for (int32_t x = 0; x < columns; ++x) {
        uint8_t v = cell[x];
        population += v & 1;
        if (x >= visibleColumns) continue;
        const int32_t blockColumns = std::min(s, Surface->width - x * s);
        if (v & 1)
          FillBlock(rowStart + x * s, Surface->stride, std::min(liveSide, blockColumns),
                    std::min(liveSide, blockRows), colourOf[v]);
        else
          FillBlock(rowStart + x * s, Surface->stride, blockColumns, blockRows, colourOf[v]);
      }
    }
  }
  AdvanceOrReset(columns, rows, population);
}
