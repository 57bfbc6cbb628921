// Classic Mode: every cell a square block coloured by its live-neighbour
// count; the population is counted in the same pass.
#include <algorithm>

#include "engine/engine.h"
#include "engine/kernels.h"
#include "render/render.h"
#include "settings/settings.h"

uint32_t ColourOffset() {
  if (Settings.flags & FlagCycleAtReset) return static_cast<uint32_t>(Field.ResetCount);
  if (Settings.cycle > 0) return PlatformTickCount() / static_cast<uint32_t>(Settings.cycle);
  return 0;
}

namespace {

// The colours of one frame: a live cell's by its count (bits 1..3 of its byte;
// the count 8 wraps onto 0), a dead cell's, and both by the low four bits.
struct FrameColours {
  uint32_t live[8];
  uint32_t dead;
  uint32_t byLowBits[16];
};

FrameColours ColoursOfFrame() {
  FrameColours colours;
  const uint32_t offset = ColourOffset();
  for (uint32_t n = 0; n < 8; ++n) colours.live[n] = View.Palette[(n + offset) & 7u];
  colours.dead = View.Palette[DeadColour];
  for (uint32_t v = 0; v < 16; ++v) colours.byLowBits[v] = (v & 1) ? colours.live[v >> 1] : colours.dead;
  return colours;
}

uint32_t* PixelRow(int32_t y) { return SurfacePixel(View.Surface, 0, y); }

// 16 MB of pixels: past this the frame is streamed to memory.
const int64_t StreamedPixels = 4 << 20;

// Frames far larger than the caches are stored past them, and so is every
// frame of a paced loop: between two frames its lines go cold, and the
// window system reads them from memory to show them anyway. Only frames
// drawn back to back (no delay) keep a frame the caches hold in them.
bool StreamFrame(int64_t pixels) { return pixels > StreamedPixels || Settings.delay > 0; }

inline void FillLine(uint32_t* p, int32_t count, uint32_t colour) {
  for (int32_t i = 0; i < count; ++i) p[i] = colour;
}

// One pixel per cell: a row kernel paints and counts; cells beyond the
// surface are only counted. Where the kernels take the grid, the step is
// made in the same pass (see PaintFrameAndStepAhead).
int32_t PaintOnePixelCells(int32_t columns, int32_t rows, int32_t visibleColumns, int32_t visibleRows,
                           const FrameColours& colours) {
  FramePaint paint;
  paint.top = View.Surface->bits;
  paint.stride = View.Surface->stride;
  paint.visibleColumns = visibleColumns;
  paint.visibleRows = visibleRows;
  paint.live = colours.live;
  paint.dead = colours.dead;
  paint.stream = StreamFrame(static_cast<int64_t>(visibleColumns) * visibleRows);
  int32_t population = 0;
  if (PaintFrameAndStepAhead(columns, rows, paint, &population)) return population;

  const GridKernels* kernels = ActiveKernels();
  for (int32_t y = 0; y < visibleRows; ++y) {
    const uint8_t* cells = Grid.LiveCells + static_cast<size_t>(y) * columns;
    population += kernels->paintRow(cells, PixelRow(y), visibleColumns, colours.live, colours.dead, paint.stream);
    if (visibleColumns < columns) population += kernels->countAlive(cells + visibleColumns, columns - visibleColumns);
  }
  if (visibleRows < rows)
    population += kernels->countAlive(Grid.LiveCells + static_cast<size_t>(visibleRows) * columns,
                                      (rows - visibleRows) * columns);
  return population;
}

// Blocks of s x s pixels. Without the digital effect every line of a row of
// blocks is the same: paint the top line and copy it down. With it, a live
// cell leaves the last column and line of its block as they were, so each
// line is painted cell by cell.
int32_t PaintBlocks(int32_t columns, int32_t rows, int32_t s, int32_t visibleColumns, int32_t visibleRows,
                    const FrameColours& colours) {
  const bool digital = (Settings.flags & FlagDigitalEffect) != 0 && s >= 4;
  const int32_t liveSide = digital ? s - 1 : s;
  const int32_t width = View.Surface->width;
  const int32_t paintedWidth = std::min(visibleColumns * s, width);
  const GridKernels* kernels = ActiveKernels();
  const bool stream = StreamFrame(static_cast<int64_t>(paintedWidth) * View.Surface->height);
  int32_t population = 0;
  for (int32_t y = 0; y < visibleRows; ++y) {
    const uint8_t* cells = Grid.LiveCells + static_cast<size_t>(y) * columns;
    const int32_t top = y * s;
    const int32_t blockRows = std::min(s, View.Surface->height - top);
    if (!digital) {
      uint32_t* line = PixelRow(top);
      for (int32_t x = 0; x < visibleColumns; ++x)
        FillLine(line + x * s, std::min(s, width - x * s), colours.byLowBits[cells[x] & 15]);
      for (int32_t r = 1; r < blockRows; ++r) kernels->copyPixels(PixelRow(top + r), line, paintedWidth, stream);
    } else {
      for (int32_t r = 0; r < blockRows; ++r) {
        uint32_t* line = PixelRow(top + r);
        for (int32_t x = 0; x < visibleColumns; ++x) {
          const uint8_t v = cells[x];
          const int32_t side = (v & 1) ? liveSide : s;
          if (r < side) FillLine(line + x * s, std::min(side, width - x * s), colours.byLowBits[v & 15]);
        }
      }
    }
    population += kernels->countAlive(cells, columns);
  }
  if (visibleRows < rows)
    population += kernels->countAlive(Grid.LiveCells + static_cast<size_t>(visibleRows) * columns,
                                      (rows - visibleRows) * columns);
  return population;
}

}  // namespace

// Cells are drawn from the top-left; any part of a block beyond the surface
// is clipped.
void DrawClassicFrame(int32_t columns, int32_t rows, int32_t cellSize) {
  if (View.Surface == nullptr || !GridFits(columns, rows) || cellSize < 1) return;
  const FrameColours colours = ColoursOfFrame();
  const int32_t s = cellSize;
  const int32_t visibleColumns = std::max(0, std::min(columns, (View.Surface->width + s - 1) / s));
  const int32_t visibleRows = std::max(0, std::min(rows, (View.Surface->height + s - 1) / s));
  const int32_t population = s == 1 ? PaintOnePixelCells(columns, rows, visibleColumns, visibleRows, colours)
                                    : PaintBlocks(columns, rows, s, visibleColumns, visibleRows, colours);
  AdvanceOrReset(columns, rows, population);
  DropStepAhead();  // taken by the step, or dropped by the reset's fill
}
