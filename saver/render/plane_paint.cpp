// The plane zoomed out: each pixel shows the live cells of one node of the
// quadtree, whose count the node keeps.
#include <cmath>

#include "engine/plane.h"
#include "render/render.h"

namespace {

// Colours by the count's log: 16 steps between powers of two.
const int32_t FractionBits = 4;

struct PlanePainter {
  uint8_t* bits;      // the area's top-left pixel
  int32_t stride;
  int64_t left;       // the area's first pixel column and row, in pixels from cell 0
  int64_t top;
  int64_t width;
  int64_t height;
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
  reinterpret_cast<uint32_t*>(p.bits + static_cast<intptr_t>(y) * p.stride)[x] = ShadeOf(p, count);
  ++p.lit;
}

// Node n of the level, at pixel (x, y) of the plane's pixel grid (its corner
// cell shifted down by the zoom); the level is above the zoom.
void PaintNode(PlanePainter& p, uint32_t n, int32_t level, int64_t x, int64_t y) {
  if (n == Plane.empty[level]) return;
  const int64_t side = int64_t{1} << (level - p.zoom);
  if (x >= p.left + p.width || y >= p.top + p.height || x + side <= p.left || y + side <= p.top) return;
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
  FillBlock(SurfacePixel(surface, x0, y0), surface->stride, x1 - x0, y1 - y0, dead);
  if (Plane.blocks == nullptr || Plane.root == Plane.empty[Plane.level]) return 0;

  // One cell of 4^zoom is a quarter of the way to the live colour; all of
  // them, the live colour.
  uint32_t shades[(2 * PlaneMaxLevel + 1) << FractionBits];
  const int32_t steps = (2 * zoom + 1) << FractionBits;
  for (int32_t k = 0; k < steps; ++k) {
    const double log = (k >> FractionBits) + std::log2(1.0 + (k & ((1 << FractionBits) - 1)) / 16.0);
    shades[k] = Blend(dead, live, 0.25 + 0.75 * std::min(1.0, log / (2.0 * zoom)));
  }
  PlanePainter p;
  p.bits = reinterpret_cast<uint8_t*>(SurfacePixel(surface, x0, y0));
  p.stride = surface->stride;
  p.left = (cellX >> zoom) + (x0 - area.x);
  p.top = (cellY >> zoom) + (y0 - area.y);
  p.width = x1 - x0;
  p.height = y1 - y0;
  p.zoom = zoom;
  p.shades = shades;
  p.lit = 0;
  const int64_t corner = PlaneRootCorner();
  if (Plane.level > zoom) {
    PaintNode(p, Plane.root, Plane.level, corner >> zoom, corner >> zoom);
  } else {
    // The root's quadrants lie in a pixel each.
    const PlaneNode& root = PlaneNodeAt(Plane.root);
    const uint32_t quadrants[4] = {root.nw, root.ne, root.sw, root.se};
    for (int32_t q = 0; q < 4; ++q) {
      if (quadrants[q] == Plane.empty[Plane.level - 1]) continue;
      PutPixel(p, (q & 1) != 0 ? 0 : -1, (q >> 1) != 0 ? 0 : -1, NodePopulation(quadrants[q], Plane.level - 1));
    }
  }
  return p.lit;
}
