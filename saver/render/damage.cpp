// What a frame changed on the surface, so that only that is copied to the
// window, and what the surface is known to show, so that a frame paints
// only the cells that differ from it.
#include <algorithm>
#include <cstdlib>

#include "engine/kernels.h"
#include "render/render.h"

FrameDamage Damage = {};
SurfacePaint Painted = {};

// A one-pixel frame marks its tiles from inside the row kernels, one tile
// per segment of marks.
static_assert(DamageTileWidth == MarkSegment, "damage tiles are as wide as a segment of change marks");

// The tile map over the surface in use; false when there is none.
static bool DamageTiles() {
  if (View.Surface == nullptr) return false;
  const int32_t columns = (View.Surface->width + DamageTileWidth - 1) / DamageTileWidth;
  const int32_t rows = (View.Surface->height + DamageTileHeight - 1) / DamageTileHeight;
  if (Damage.tiles != nullptr && Damage.columns == columns && Damage.rows == rows) return true;
  std::free(Damage.tiles);
  Damage.tiles = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(columns) * static_cast<size_t>(rows), 1));
  Damage.columns = Damage.tiles != nullptr ? columns : 0;
  Damage.rows = Damage.tiles != nullptr ? rows : 0;
  Damage.whole = true;  // nothing is known of what the window shows
  Damage.any = true;
  return Damage.tiles != nullptr;
}

void DamageSurface() {
  Damage.whole = true;
  Damage.any = true;
}

void DamageRect(int32_t x, int32_t y, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || Damage.whole || !DamageTiles()) return;
  const int64_t right = std::min<int64_t>(static_cast<int64_t>(x) + width, View.Surface->width);
  const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(y) + height, View.Surface->height);
  x = std::max(x, 0);
  y = std::max(y, 0);
  if (x >= right || y >= bottom) return;
  const int32_t c0 = x / DamageTileWidth, c1 = static_cast<int32_t>((right - 1) / DamageTileWidth);
  const int32_t r0 = y / DamageTileHeight, r1 = static_cast<int32_t>((bottom - 1) / DamageTileHeight);
  for (int32_t r = r0; r <= r1; ++r)
    for (int32_t c = c0; c <= c1; ++c) Damage.tiles[static_cast<size_t>(r) * Damage.columns + c] = 1;
  Damage.any = true;
}

uint8_t* DamageTileRows(int32_t* stride) {
  if (Damage.whole || !DamageTiles()) return nullptr;
  *stride = Damage.columns;
  Damage.any = true;  // the caller marks tiles directly
  return Damage.tiles;
}

void ClearDamage() {
  DamageTiles();
  if (Damage.tiles != nullptr) std::fill(Damage.tiles, Damage.tiles + static_cast<size_t>(Damage.columns) * Damage.rows, 0);
  Damage.whole = false;
  Damage.any = false;
}

void ReleaseDamage() {
  std::free(Damage.tiles);
  Damage = FrameDamage{};
  std::free(Painted.tiles);
  std::free(Painted.keys);
  Painted = SurfacePaint{};
}

// Too many runs: for each of at most MaxDamageBands bands of tile rows, the
// span from its first to its last damaged tile. Each rectangle is a copy of its own, so past a few
// hundred a few wide ones are cheaper than many small ones.
static int32_t DamageBands(PixelRect* rects, int32_t capacity) {
  const int32_t bands = std::min(capacity, MaxDamageBands);
  const int32_t bandRows = std::max(1, (Damage.rows + bands - 1) / bands);
  int32_t count = 0;
  for (int32_t r0 = 0; r0 < Damage.rows; r0 += bandRows) {
    const int32_t r1 = std::min(Damage.rows, r0 + bandRows);
    int32_t first = Damage.columns, last = -1;
    for (int32_t r = r0; r < r1; ++r) {
      const uint8_t* row = Damage.tiles + static_cast<size_t>(r) * Damage.columns;
      for (int32_t c = 0; c < first; ++c)
        if (row[c] != 0) first = c;
      for (int32_t c = Damage.columns - 1; c > last; --c)
        if (row[c] != 0) last = c;
    }
    if (last < first) continue;
    const int32_t x = first * DamageTileWidth, y = r0 * DamageTileHeight;
    rects[count++] = PixelRect{x, y, std::min((last + 1) * DamageTileWidth, View.Surface->width) - x,
                               std::min(r1 * DamageTileHeight, View.Surface->height) - y};
  }
  return count;
}

// Runs of damaged tiles, row by row; a run under one of the same span that
// reached the row above lengthens that rectangle. When more than a quarter
// of the surface changed, the whole surface is one rectangle; past
// `capacity` (at most MaxDamageRects) rectangles the damage goes in bands.
int32_t DamageRects(PixelRect* rects, int32_t capacity) {
  if (View.Surface == nullptr || capacity < 1 || !Damage.any) return 0;
  const PixelRect whole = {0, 0, View.Surface->width, View.Surface->height};
  if (Damage.whole || !DamageTiles()) {
    rects[0] = whole;
    return 1;
  }
  const size_t tiles = static_cast<size_t>(Damage.columns) * Damage.rows;
  const size_t damaged = static_cast<size_t>(std::count_if(Damage.tiles, Damage.tiles + tiles, [](uint8_t t) { return t != 0; }));
  if (damaged * 4 > tiles) {
    rects[0] = whole;
    return 1;
  }
  capacity = std::min(capacity, MaxDamageRects);
  int32_t open[MaxDamageRects], next[MaxDamageRects];  // rectangles reaching the row above / this row, by x
  int32_t openCount = 0;
  int32_t count = 0;
  for (int32_t r = 0; r < Damage.rows; ++r) {
    const uint8_t* row = Damage.tiles + static_cast<size_t>(r) * Damage.columns;
    const int32_t y = r * DamageTileHeight;
    const int32_t height = std::min(DamageTileHeight, View.Surface->height - y);
    int32_t nextCount = 0;
    int32_t scan = 0;
    for (int32_t c = 0; c < Damage.columns;) {
      if (row[c] == 0) {
        ++c;
        continue;
      }
      int32_t end = c;
      while (end < Damage.columns && row[end] != 0) ++end;
      const int32_t x = c * DamageTileWidth;
      const int32_t width = std::min(end * DamageTileWidth, View.Surface->width) - x;
      while (scan < openCount && rects[open[scan]].x < x) ++scan;
      if (scan < openCount && rects[open[scan]].x == x && rects[open[scan]].width == width) {
        rects[open[scan]].height += height;
        next[nextCount++] = open[scan++];
      } else {
        if (count == capacity) return DamageBands(rects, capacity);
        rects[count] = PixelRect{x, y, width, height};
        next[nextCount++] = count++;
      }
      c = end;
    }
    std::copy(next, next + nextCount, open);
    openCount = nextCount;
  }
  return count;
}

void ForgetSurfacePaint() { Painted.known = false; }

void* GrowPaintMemory(void* block, size_t* capacity, size_t bytes) {
  if (block != nullptr && *capacity >= bytes) return block;
  std::free(block);
  block = std::malloc(bytes);
  *capacity = block != nullptr ? bytes : 0;
  return block;
}

void RememberSurfaceLayout(bool classic, int32_t columns, int32_t rows) {
  Painted.known = true;
  Painted.classic = classic;
  Painted.surface = View.Surface;
  Painted.columns = columns;
  Painted.rows = rows;
  Painted.stale = PixelRect{};
}
