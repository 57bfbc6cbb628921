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
  std::free(Damage.spans);
  Damage.tiles = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(columns) * static_cast<size_t>(rows), 1));
  Damage.spans = static_cast<int32_t*>(std::malloc(2 * sizeof(int32_t) * static_cast<size_t>(rows)));
  if (Damage.spans == nullptr) {
    std::free(Damage.tiles);
    Damage.tiles = nullptr;
  }
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
  std::free(Damage.spans);
  Damage = FrameDamage{};
  std::free(Painted.tiles);
  std::free(Painted.keys);
  Painted = SurfacePaint{};
}

static int64_t AreaOf(const PixelRect& r) { return static_cast<int64_t>(r.width) * r.height; }
// What lies beyond the window's client area is clipped away, not copied.
static int64_t CopyCost(const PixelRect& r) {
  const int32_t width = View.ClientWidth > 0 ? std::min(View.ClientWidth, View.Surface->width) : View.Surface->width;
  const int32_t height = View.ClientHeight > 0 ? std::min(View.ClientHeight, View.Surface->height) : View.Surface->height;
  const int64_t w = std::max(0, std::min(r.x + r.width, width) - r.x);
  const int64_t h = std::max(0, std::min(r.y + r.height, height) - r.y);
  return CopyCallPixels + w * h;
}

// Tiles c0..c1-1 of tile rows r0..r1-1, clipped to the surface.
static PixelRect TileSpan(int32_t c0, int32_t r0, int32_t c1, int32_t r1) {
  const int32_t x = c0 * DamageTileWidth, y = r0 * DamageTileHeight;
  return PixelRect{x, y, std::min(c1 * DamageTileWidth, View.Surface->width) - x,
                   std::min(r1 * DamageTileHeight, View.Surface->height) - y};
}

// Each tile row's first and last damaged column (last < first: none); false
// when no tile is damaged.
static bool RowSpans() {
  bool any = false;
  for (int32_t r = 0; r < Damage.rows; ++r) {
    const uint8_t* row = Damage.tiles + static_cast<size_t>(r) * Damage.columns;
    int32_t first = 0;
    while (first < Damage.columns && row[first] == 0) ++first;
    int32_t last = first < Damage.columns ? Damage.columns - 1 : -1;
    while (last > first && row[last] == 0) --last;
    Damage.spans[2 * r] = first;
    Damage.spans[2 * r + 1] = last;
    any = any || last >= first;
  }
  return any;
}

// Bands of `bandRows` tile rows, each the span from its first to its last
// damaged tile: their number and (in *cost) what copying them costs. They
// are written to rects when it is given.
static int32_t DamageBands(int32_t bandRows, PixelRect* rects, int64_t* cost) {
  int32_t count = 0;
  *cost = 0;
  for (int32_t r0 = 0; r0 < Damage.rows; r0 += bandRows) {
    const int32_t r1 = std::min(Damage.rows, r0 + bandRows);
    int32_t first = Damage.columns, last = -1;
    for (int32_t r = r0; r < r1; ++r) {
      first = std::min(first, Damage.spans[2 * r]);
      last = std::max(last, Damage.spans[2 * r + 1]);
    }
    if (last < first) continue;
    const PixelRect band = TileSpan(first, r0, last + 1, r1);
    if (rects != nullptr) rects[count] = band;
    ++count;
    *cost += CopyCost(band);
  }
  return count;
}

// Undamaged tiles a run may take in: copying them costs less than a copy more.
const int32_t GapTiles = static_cast<int32_t>(CopyCallPixels / (DamageTileWidth * DamageTileHeight));

static PixelRect Union(const PixelRect& a, const PixelRect& b) {
  const int32_t x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
  const int32_t x1 = std::max(a.x + a.width, b.x + b.width), y1 = std::max(a.y + a.height, b.y + b.height);
  return PixelRect{x0, y0, x1 - x0, y1 - y0};
}

// Runs of damaged tiles row by row (gaps of up to GapTiles taken in), each
// joined to the rectangle reaching down to its row that grows least by it,
// when that growth costs less than a copy of its own. Their number and cost,
// or -1 past `capacity` (at most MaxDamageRects).
static int32_t DamageRuns(PixelRect* rects, int32_t capacity, int64_t* cost) {
  capacity = std::min(capacity, MaxDamageRects);
  int32_t open[MaxDamageRects];  // rectangles reaching down to the row above or this one
  int32_t openCount = 0;
  int32_t count = 0;
  for (int32_t r = 0; r < Damage.rows; ++r) {
    const uint8_t* row = Damage.tiles + static_cast<size_t>(r) * Damage.columns;
    const int32_t last = Damage.spans[2 * r + 1];
    for (int32_t c = Damage.spans[2 * r]; c <= last;) {
      if (row[c] == 0) {
        ++c;
        continue;
      }
      int32_t end = c;  // the run's last damaged tile
      for (int32_t k = c + 1; k <= last && k - end <= GapTiles + 1; ++k)
        if (row[k] != 0) end = k;
      const PixelRect run = TileSpan(c, r, end + 1, r + 1);
      c = end + 1;
      int32_t best = -1;
      int64_t bestGrowth = CopyCallPixels;
      for (int32_t i = 0; i < openCount; ++i) {
        const int64_t growth = AreaOf(Union(rects[open[i]], run)) - AreaOf(rects[open[i]]) - AreaOf(run);
        if (growth < bestGrowth) {
          best = open[i];
          bestGrowth = growth;
        }
      }
      if (best >= 0) {
        rects[best] = Union(rects[best], run);
        continue;
      }
      if (count == capacity) return -1;
      rects[count] = run;
      open[openCount++] = count++;
    }
    // Only the rectangles that reach this row stay open for the next.
    const int32_t bottom = std::min((r + 1) * DamageTileHeight, View.Surface->height);
    int32_t kept = 0;
    for (int32_t i = 0; i < openCount; ++i)
      if (rects[open[i]].y + rects[open[i]].height == bottom) open[kept++] = open[i];
    openCount = kept;
  }
  *cost = 0;
  for (int32_t i = 0; i < count; ++i) *cost += CopyCost(rects[i]);
  return count;
}

// The cheapest of: the runs, bands of 1, 2, 4, ... tile rows, and the whole
// surface, counting each copy as CopyCallPixels pixels more.
int32_t DamageRects(PixelRect* rects, int32_t capacity) {
  if (View.Surface == nullptr || capacity < 1 || !Damage.any) return 0;
  const PixelRect whole = {0, 0, View.Surface->width, View.Surface->height};
  if (Damage.whole || !DamageTiles()) {
    rects[0] = whole;
    return 1;
  }
  if (!RowSpans()) return 0;
  int64_t best = CopyCost(whole), cost = 0;
  int32_t bestBands = 0;  // 0: the whole surface; -1: the runs
  const int32_t runs = DamageRuns(rects, capacity, &cost);
  if (runs > 0 && cost < best) {
    best = cost;
    bestBands = -1;
  }
  for (int32_t bandRows = 1; bandRows < 2 * Damage.rows; bandRows *= 2)
    if (DamageBands(bandRows, nullptr, &cost) <= capacity && cost < best) {
      best = cost;
      bestBands = bandRows;
    }
  Damage.marksWasted = best * 10 > CopyCost(whole) * MarksPayShareTenths;
  if (bestBands == -1) return runs;
  if (bestBands > 0) return DamageBands(bestBands, rects, &cost);
  rects[0] = whole;
  return 1;
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
