#include "plain.h"

#include <algorithm>
#include <cstring>

namespace {

void AddAround(uint8_t* cells, int32_t x, int32_t y, int32_t columns, int32_t rows, uint8_t delta) {
  // A one-wide (or one-high) torus is its own neighbour on that axis.
  const int32_t left = x == 0 ? columns - 1 : -1;
  const int32_t right = x == columns - 1 ? 1 - columns : 1;
  const int32_t up = y == 0 ? (rows - 1) * columns : -columns;
  const int32_t down = y == rows - 1 ? -(rows - 1) * columns : columns;
  uint8_t* cell = cells + static_cast<size_t>(y) * columns + x;
  cell[up + left] += delta;
  cell[up] += delta;
  cell[up + right] += delta;
  cell[left] += delta;
  cell[right] += delta;
  cell[down + left] += delta;
  cell[down] += delta;
  cell[down + right] += delta;
}

void PlainFillBlock(uint32_t* first, int32_t stride, int32_t width, int32_t height, uint32_t colour) {
  uint8_t* row = reinterpret_cast<uint8_t*>(first);
  for (int32_t y = 0; y < height; ++y, row += stride) {
    uint32_t* p = reinterpret_cast<uint32_t*>(row);
    for (int32_t x = 0; x < width; ++x) p[x] = colour;
  }
}

uint32_t* PixelOf(FrameSurface* surface, int32_t x, int32_t y) {
  return reinterpret_cast<uint32_t*>(surface->bits + static_cast<intptr_t>(y) * surface->stride) + x;
}

}  // namespace

void PlainSetCell(uint8_t* cells, int32_t x, int32_t y, int32_t columns, int32_t rows) {
  cells[static_cast<size_t>(y) * columns + x] |= 1;
  AddAround(cells, x, y, columns, rows, 2);
}

void PlainClearCell(uint8_t* cells, int32_t x, int32_t y, int32_t columns, int32_t rows) {
  cells[static_cast<size_t>(y) * columns + x] &= static_cast<uint8_t>(~1u);
  AddAround(cells, x, y, columns, rows, static_cast<uint8_t>(-2));
}

void PlainStep(uint8_t* live, uint8_t* snapshot, int32_t columns, int32_t rows, uint16_t birth,
               uint16_t survive) {
  std::memcpy(snapshot, live, static_cast<size_t>(columns) * rows);
  const uint8_t* v = snapshot;
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < columns; ++x, ++v) {
      const int32_t n = std::min(*v >> 1, 8);
      const bool alive = (*v & 1) != 0;
      if (!alive && ((birth >> n) & 1))
        PlainSetCell(live, x, y, columns, rows);
      else if (alive && !((survive >> n) & 1))
        PlainClearCell(live, x, y, columns, rows);
    }
}

int32_t PlainLcgNext(uint32_t* state) {
  *state = *state * 214013u + 2531011u;
  return static_cast<int32_t>((*state >> 16) & 0x7FFFu);
}

void PlainFill(uint8_t* live, uint32_t* lcgState, int32_t columns, int32_t rows) {
  std::memset(live, 0, static_cast<size_t>(columns) * rows);
  const int64_t draws = static_cast<int64_t>(columns) * rows;
  for (int64_t k = 0; k < draws; ++k) {
    const int32_t x = PlainLcgNext(lcgState) % columns;
    const int32_t y = PlainLcgNext(lcgState) % rows;
    if ((live[static_cast<size_t>(y) * columns + x] & 1) == 0) PlainSetCell(live, x, y, columns, rows);
  }
}

int32_t PlainPaintClassic(const uint8_t* cells, int32_t columns, int32_t rows, int32_t s, FrameSurface* surface,
                          const PlainClassicLook& look) {
  auto colourOf = [&](uint8_t v) {
    return (v & 1) ? look.palette[((static_cast<uint32_t>(v) >> 1) + look.offset) & 7u] : look.palette[9];
  };
  int32_t population = 0;
  if (s == 1) {
    for (int32_t y = 0; y < rows; ++y)
      for (int32_t x = 0; x < columns; ++x) {
        const uint8_t v = cells[static_cast<size_t>(y) * columns + x];
        population += v & 1;
        if (x < surface->width && y < surface->height) *PixelOf(surface, x, y) = colourOf(v);
      }
    return population;
  }
  const int32_t liveSide = look.digital && s >= 4 ? s - 1 : s;
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < columns; ++x) {
      const uint8_t v = cells[static_cast<size_t>(y) * columns + x];
      population += v & 1;
      const int32_t left = x * s, top = y * s;
      if (left >= surface->width || top >= surface->height) continue;
      const int32_t side = (v & 1) ? liveSide : s;
      PlainFillBlock(PixelOf(surface, left, top), surface->stride, std::min(side, surface->width - left),
                     std::min(side, surface->height - top), colourOf(v));
    }
  return population;
}
