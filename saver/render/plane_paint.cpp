// The plane zoomed out: each pixel shows the live cells of one node of the
// quadtree, whose count the node keeps. The frame is painted in bands of
// rows that stay in the cache, each filled with the dead colour, painted
// and copied out with stores that bypass the cache: the surface is written
// once, and never read. Nodes of 8 x 8 pixels are kept painted by node, so
// a square that repeats (the same phase of a metapixel, a gun's stream) is
// painted once.
#if defined(TUMBRA_X86_KERNELS)
#include <emmintrin.h>
#endif

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/plane.h"
#include "render/render.h"

namespace {

// Colours by the count's log: 16 steps between powers of two.
const int32_t FractionBits = 4;

// Rows of a band: nodes of up to 16 pixels a side lie in one band.
const int32_t BandRows = 16;

// The band buffer, kept from frame to frame.
struct PlanePaintMemory {
  void* block;
  size_t capacity;
};
PlanePaintMemory BandMemory;

// Squares of 8 x 8 pixels painted, by node: a slot a node, picked by its
// index. They hold for one zoom, pair of colours and store epoch.
const int32_t TileShift = 3;
const int32_t TileSide = 1 << TileShift;
const int32_t TileSlotBits = 12;
struct PlaneTileCache {
  uint32_t nodes[1 << TileSlotBits];  // 0: an empty slot
  uint32_t pixels[1 << TileSlotBits][TileSide * TileSide];
  int32_t zoom;
  uint32_t dead;
  uint32_t live;
  uint64_t epoch;
};
PlaneTileCache Tiles;

struct PlanePainter {
  uint32_t* target;  // the band's rows, or a square's
  int64_t stride;    // pixels from a row of the target to the next
  int64_t left;      // the target's first pixel column and row, in pixels from cell 0
  int64_t top;
  int64_t width;
  int64_t height;
  uint32_t dead;
  bool intoTile;  // painting a square for the tiles
  int32_t zoom;
  const uint32_t* shades;  // by (floor log2 of the count) << FractionBits | the next bits
  int64_t lit;
};

inline uint32_t ShadeOf(const PlanePainter& p, uint64_t count) {
  const int32_t high = 63 - __builtin_clzll(count);
  const uint64_t fraction = high >= FractionBits ? count >> (high - FractionBits) : count << (FractionBits - high);
  return p.shades[high << FractionBits | static_cast<int32_t>(fraction & ((1u << FractionBits) - 1))];
}

inline void PutPixel(PlanePainter& p, int64_t x, int64_t y, uint64_t count) {
  x -= p.left;
  y -= p.top;
  if (x < 0 || y < 0 || x >= p.width || y >= p.height) return;
  p.target[y * p.stride + x] = ShadeOf(p, count);
  ++p.lit;
}

// A node's count: kept in the node once known.
inline uint64_t CountOf(uint32_t n, int32_t level) {
  const uint64_t known = PlaneNodeAt(n).population & ~PlanePopulationMark;
  return known != PlanePopulationUnknown ? known : NodePopulation(n, level);
}

// `count` pixels from `from` to `to`, around the cache where it can.
void CopyRow(uint32_t* to, const uint32_t* from, int64_t count) {
  int64_t k = 0;
#if defined(TUMBRA_X86_KERNELS)
  for (; k < count && (reinterpret_cast<uintptr_t>(to + k) & 15) != 0; ++k) to[k] = from[k];
  for (; k + 4 <= count; k += 4)
    _mm_stream_si128(reinterpret_cast<__m128i*>(to + k), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k)));
#endif
  for (; k < count; ++k) to[k] = from[k];
}

// The streamed rows reach memory before the frame is shown.
void FinishRows() {
#if defined(TUMBRA_X86_KERNELS)
  _mm_sfence();
#endif
}

// Node n of the level, at pixel (x, y) of the plane's pixel grid (its corner
// cell shifted down by the zoom); the level is above the zoom.
void PaintNode(PlanePainter& p, uint32_t n, int32_t level, int64_t x, int64_t y);

// A node of 8 x 8 pixels from the tiles, painted there first when it is new.
void PaintTile(PlanePainter& p, uint32_t n, int32_t level, int64_t x, int64_t y) {
  const uint32_t slot = (n * 0x9E3779B1u) >> (32 - TileSlotBits);
  uint32_t* pixels = Tiles.pixels[slot];
  if (Tiles.nodes[slot] != n) {
    PlanePainter square = p;
    square.target = pixels;
    square.stride = TileSide;
    square.left = x;
    square.top = y;
    square.width = TileSide;
    square.height = TileSide;
    square.intoTile = true;
    for (int32_t k = 0; k < TileSide * TileSide; ++k) pixels[k] = p.dead;
    PaintNode(square, n, level, x, y);
    Tiles.nodes[slot] = n;
  }
  const int64_t x0 = std::max(x, p.left), x1 = std::min(x + TileSide, p.left + p.width);
  const int64_t y0 = std::max(y, p.top), y1 = std::min(y + TileSide, p.top + p.height);
  for (int64_t row = y0; row < y1; ++row) {
    const uint32_t* from = pixels + (row - y) * TileSide + (x0 - x);
    uint32_t* to = p.target + (row - p.top) * p.stride + (x0 - p.left);
    for (int64_t k = 0; k < x1 - x0; ++k) {
      to[k] = from[k];
      p.lit += from[k] != p.dead;
    }
  }
}

void PaintNode(PlanePainter& p, uint32_t n, int32_t level, int64_t x, int64_t y) {
  if (n == Plane.empty[level]) return;
  const int64_t side = int64_t{1} << (level - p.zoom);
  if (x >= p.left + p.width || y >= p.top + p.height || x + side <= p.left || y + side <= p.top) return;
  if (side == TileSide && !p.intoTile) {
    PaintTile(p, n, level, x, y);
    return;
  }
  const PlaneNode& node = PlaneNodeAt(n);
  if (level == PlaneLeafLevel) {
    // Pixels of 2 x 2 or 4 x 4 cells: counted from the leaf's bits.
    const uint64_t cells = PlaneLeafCells(node);
    const int32_t across = 1 << p.zoom;
    const uint64_t block = p.zoom == 1 ? 0x0303ull : 0x0F0F0F0Full;
    for (int32_t py = 0; py < side; ++py)
      for (int32_t px = 0; px < side; ++px) {
        const uint64_t count =
            static_cast<uint64_t>(__builtin_popcountll(cells >> (8 * py * across + px * across) & block));
        if (count != 0) PutPixel(p, x + px, y + py, count);
      }
    return;
  }
  const uint32_t quadrants[4] = {node.nw, node.ne, node.sw, node.se};
  const int64_t half = side / 2;
  if (level - 1 == p.zoom && p.zoom >= PlaneLeafLevel) {
    for (int32_t q = 0; q < 4; ++q)
      if (quadrants[q] != Plane.empty[level - 1])
        PutPixel(p, x + (q & 1) * half, y + (q >> 1) * half, NodePopulation(quadrants[q], level - 1));
    return;
  }
  for (int32_t q = 0; q < 4; ++q) PaintNode(p, quadrants[q], level - 1, x + (q & 1) * half, y + (q >> 1) * half);
}

uint32_t Blend(uint32_t dead, uint32_t live, double weight) {
  uint32_t colour = 0;
  for (int32_t shift = 0; shift <= 16; shift += 8) {
    const double from = dead >> shift & 0xFF, to = live >> shift & 0xFF;
    colour |= static_cast<uint32_t>(std::lround(from + (to - from) * weight)) << shift;
  }
  return colour;
}

}  // namespace

int64_t PaintPlaneZoomedOut(FrameSurface* surface, const PixelRect& area, int64_t cellX, int64_t cellY, int32_t zoom,
                            uint32_t dead, uint32_t live) {
  if (surface == nullptr || surface->bits == nullptr || zoom < 1 || zoom > PlaneMaxLevel) return 0;
  const int32_t x0 = std::max(area.x, 0), y0 = std::max(area.y, 0);
  const int32_t x1 = std::min(area.x + area.width, surface->width), y1 = std::min(area.y + area.height, surface->height);
  if (x0 >= x1 || y0 >= y1) return 0;
  const bool empty = Plane.blocks == nullptr || Plane.root == Plane.empty[Plane.level];
  const size_t bandBytes = static_cast<size_t>(x1 - x0) * BandRows * sizeof(uint32_t);
  uint32_t* band = static_cast<uint32_t*>(GrowPaintMemory(BandMemory.block, &BandMemory.capacity, bandBytes));
  BandMemory.block = band;
  if (empty || band == nullptr) {
    FillBlock(SurfacePixel(surface, x0, y0), surface->stride, x1 - x0, y1 - y0, dead);
    return 0;
  }

  // One cell of 4^zoom is a quarter of the way to the live colour; all of
  // them, the live colour.
  uint32_t shades[(2 * PlaneMaxLevel + 1) << FractionBits];
  const int32_t steps = (2 * zoom + 1) << FractionBits;
  for (int32_t k = 0; k < steps; ++k) {
    const double log = (k >> FractionBits) + std::log2(1.0 + (k & ((1 << FractionBits) - 1)) / 16.0);
    shades[k] = Blend(dead, live, 0.25 + 0.75 * std::min(1.0, log / (2.0 * zoom)));
  }
  if (Tiles.zoom != zoom || Tiles.dead != dead || Tiles.live != live || Tiles.epoch != Plane.storeEpoch) {
    std::memset(Tiles.nodes, 0, sizeof Tiles.nodes);
    Tiles.zoom = zoom;
    Tiles.dead = dead;
    Tiles.live = live;
    Tiles.epoch = Plane.storeEpoch;
  }
  PlanePainter p;
  p.target = band;
  p.left = (cellX >> zoom) + (x0 - area.x);
  p.width = x1 - x0;
  p.stride = p.width;
  p.dead = dead;
  p.intoTile = false;
  p.zoom = zoom;
  p.shades = shades;
  p.lit = 0;
  const int64_t first = (cellY >> zoom) + (y0 - area.y), last = first + (y1 - y0);
  const int64_t corner = PlaneRootCorner();
  for (int64_t top = first; top < last;) {
    // Bands start on multiples of BandRows of the plane's pixel rows.
    const int64_t bottom = std::min(last, (top & ~int64_t{BandRows - 1}) + BandRows);
    p.top = top;
    p.height = bottom - top;
    const size_t pixels = static_cast<size_t>(p.width * p.height);
    for (size_t k = 0; k < pixels; ++k) band[k] = dead;
    if (Plane.level > zoom) {
      PaintNode(p, Plane.root, Plane.level, corner >> zoom, corner >> zoom);
    } else {
      // The root's quadrants lie in a pixel each.
      const PlaneNode& root = PlaneNodeAt(Plane.root);
      const uint32_t quadrants[4] = {root.nw, root.ne, root.sw, root.se};
      for (int32_t q = 0; q < 4; ++q)
        if (quadrants[q] != Plane.empty[Plane.level - 1])
          PutPixel(p, (q & 1) != 0 ? 0 : -1, (q >> 1) != 0 ? 0 : -1, CountOf(quadrants[q], Plane.level - 1));
    }
    for (int64_t row = 0; row < p.height; ++row)
      CopyRow(SurfacePixel(surface, x0, static_cast<int32_t>(y0 + (top - first) + row)), band + row * p.width, p.width);
    top = bottom;
  }
  FinishRows();
  return p.lit;
}

void ReleasePlanePaint() {
  std::free(BandMemory.block);
  BandMemory.block = nullptr;
  BandMemory.capacity = 0;
  std::memset(Tiles.nodes, 0, sizeof Tiles.nodes);
}
