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

PlainBlockRule PlainCountsRule(uint16_t birth, uint16_t survive, int32_t states) {
  PlainBlockRule rule = {};
  rule.states = states;
  for (int32_t k = 0; k < 512; ++k) {
    int32_t n = 0;
    for (int32_t b = 0; b < 9; ++b)
      if (b != 4 && (k >> b & 1)) ++n;
    const bool alive = (k >> 4 & 1) != 0;
    rule.outcome[k] = static_cast<uint8_t>(((alive ? survive : birth) >> n) & 1);
  }
  return rule;
}

void PlainStepStates(uint8_t* states, uint8_t* scratch, int32_t columns, int32_t rows, const PlainBlockRule& rule) {
  std::memcpy(scratch, states, static_cast<size_t>(columns) * rows);
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < columns; ++x) {
      int32_t k = 0;
      for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx) {
          const int32_t cx = (x + dx + columns) % columns, cy = (y + dy + rows) % rows;
          k = k << 1 | (scratch[static_cast<size_t>(cy) * columns + cx] == 1 ? 1 : 0);
        }
      const uint8_t s = scratch[static_cast<size_t>(y) * columns + x];
      uint8_t next = 0;
      if (s == 1)
        next = rule.outcome[k] ? 1 : rule.states > 2 ? 2 : 0;
      else if (s == 0)
        next = rule.outcome[k] ? 1 : 0;
      else
        next = s + 1 < rule.states ? static_cast<uint8_t>(s + 1) : 0;
      states[static_cast<size_t>(y) * columns + x] = next;
    }
}

void PlainEncodeStates(const uint8_t* states, uint8_t* cells, uint8_t* decay, int32_t columns, int32_t rows,
                       int32_t ruleStates) {
  const bool inBytes = ruleStates <= 4;
  std::memset(cells, 0, static_cast<size_t>(columns) * rows);
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < columns; ++x) {
      const size_t i = static_cast<size_t>(y) * columns + x;
      if (states[i] == 1) PlainSetCell(cells, x, y, columns, rows);
      decay[i] = states[i] >= 2 && !inBytes ? states[i] : 0;
    }
  for (size_t i = 0; i < static_cast<size_t>(columns) * rows; ++i) {
    if (states[i] >= 2) cells[i] |= 0x20;
    if (states[i] == 3 && inBytes) cells[i] |= 0x40;
  }
}

int32_t PlainPaintStates(const uint8_t* states, int32_t ruleStates, int32_t columns, int32_t rows, int32_t s,
                         FrameSurface* surface, const PlainClassicLook& look) {
  auto liveAround = [&](int32_t x, int32_t y) {
    int32_t n = 0;
    for (int32_t dy = -1; dy <= 1; ++dy)
      for (int32_t dx = -1; dx <= 1; ++dx)
        if (dx != 0 || dy != 0)
          n += states[static_cast<size_t>((y + dy + rows) % rows) * columns + (x + dx + columns) % columns] == 1;
    return n;
  };
  auto colourOf = [&](int32_t x, int32_t y) {
    const uint8_t state = states[static_cast<size_t>(y) * columns + x];
    if (state == 0) return look.palette[9];
    const uint32_t live = look.palette[(static_cast<uint32_t>(liveAround(x, y)) + look.offset) & 7u];
    if (state == 1) return live;
    const int32_t w = ((ruleStates - state) * ((64 << 8) / (ruleStates - 1))) >> 8;
    uint32_t shade = 0;
    for (int32_t shift = 0; shift < 32; shift += 8) {
      const uint32_t a = (live >> shift) & 0xFF, b = (look.palette[9] >> shift) & 0xFF;
      shade |= ((a * w + b * (64 - w) + 32) >> 6) << shift;
    }
    return shade;
  };
  int32_t population = 0;
  const int32_t liveSide = look.digital && s >= 4 ? s - 1 : s;
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < columns; ++x) {
      const uint8_t state = states[static_cast<size_t>(y) * columns + x];
      population += state == 1;
      const int32_t left = x * s, top = y * s;
      if (left >= surface->width || top >= surface->height) continue;
      const int32_t side = state != 0 ? liveSide : s;
      PlainFillBlock(PixelOf(surface, left, top), surface->stride, std::min(side, surface->width - left),
                     std::min(side, surface->height - top), colourOf(x, y));
    }
  return population;
}
