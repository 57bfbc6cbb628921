// Animated Mode: each cell drawn as a lifeface tile, births, survivals and
// deaths running through their tiles between two generations.
#include <algorithm>

#include "engine/engine.h"
#include "lifeface/lifeface.h"
#include "render/render.h"
#include "settings/settings.h"

TransitionState Transition = {1, 1, 1, 1, 1, 0, 65536, 65536, 0, 0, 0};

// No tile: tile columns and rows are below 2^31.
static const uint64_t UnknownTile = ~uint64_t{0};

enum : int32_t {
  FaceAddNeighbours = 1,
  FaceAddResets = 2,
  FaceAddGeneration = 4,
  FaceAddColumn = 8,
  FaceRowTimesColumns = 16,
};

void PrepareTransition() {
  const LifefaceRecord* face = CurrentLifeface();
  if (face == nullptr) return;
  Transition.rowSpan = std::max(face->y1 - face->y0, 1);
  Transition.birthSpan = std::max(face->x1 - face->x0, 1);
  Transition.survivorSpan = std::max(face->x2 - face->x1, 1);
  Transition.deathSpan = std::max(face->x3 - face->x2, 1);
  const int32_t m = std::max({Transition.birthSpan, Transition.survivorSpan, Transition.deathSpan});
  Transition.TransitionFrames = m;
  Transition.birthRate = static_cast<int32_t>(static_cast<int64_t>(Transition.birthSpan) * 65536 / m);
  Transition.deathRate = static_cast<int32_t>(static_cast<int64_t>(Transition.deathSpan) * 65536 / m);
  RestartTransition();
}

void RestartTransition() {
  Transition.birthProgress = 0;
  Transition.deathProgress = 0;
  Transition.TransitionFrame = 0;
}

bool AnimatedTick(int32_t columns, int32_t rows, int32_t scale) {
  const LifefaceRecord* face = CurrentLifeface();
  if (face == nullptr) return false;
  const int32_t k = Transition.TransitionFrame;
  Transition.TransitionFrame = k + 1;
  if (k >= Transition.TransitionFrames) {
    // The step frame draws nothing: the last transition frame stays up.
    RestartTransition();
    return true;
  }
  const int32_t birthTile = face->x0 + (Transition.birthProgress >> 16);
  const int32_t deathTile = face->x2 + (Transition.deathProgress >> 16);
  Transition.NextPopulation = DrawLifefaceFrame(columns, rows, scale, birthTile, deathTile);
  Transition.birthProgress = static_cast<int32_t>(static_cast<int64_t>(k + 1) * Transition.birthRate);
  Transition.deathProgress = static_cast<int32_t>(static_cast<int64_t>(k + 1) * Transition.deathRate);
  return false;
}

// The tiles the surface shows for a grid of this layout, one per cell, or
// null when they are not known: each cell is then drawn.
static uint64_t* ShownTiles(int32_t columns, int32_t rows, int32_t scale) {
  if (View.Surface == nullptr) return nullptr;
  SurfacePaint& p = Painted;
  const size_t cells = static_cast<size_t>(columns) * static_cast<size_t>(rows);
  const bool same = p.known && !p.classic && p.surface == View.Surface && p.columns == columns && p.rows == rows &&
                    p.scale == scale && p.tiles != nullptr;
  if (!same) {
    const bool fits = cells <= SIZE_MAX / sizeof(uint64_t);
    if (fits) p.tiles = static_cast<uint64_t*>(GrowPaintMemory(p.tiles, &p.tileCapacity, cells * sizeof(uint64_t)));
    if (!fits || p.tiles == nullptr) {
      p.known = false;
      return nullptr;
    }
    std::fill(p.tiles, p.tiles + cells, UnknownTile);
    RememberSurfaceLayout(false, columns, rows);
    p.scale = scale;
    return p.tiles;
  }
  // The cells under pixels drawn over since are drawn again.
  CellsUnderStale(columns, rows, CurrentLifeface()->pixels * scale, [&](int32_t y, int32_t x0, int32_t x1) {
    std::fill(p.tiles + static_cast<size_t>(y) * columns + x0, p.tiles + static_cast<size_t>(y) * columns + x1 + 1,
              UnknownTile);
  });
  p.stale = PixelRect{};
  return p.tiles;
}

// Offsets are unsigned 32-bit sums: after long uptimes they wrap, and every
// remainder taken from them stays within its span. A cell whose tile is the
// one the surface already shows there is not drawn again.
int32_t DrawLifefaceFrame(int32_t columns, int32_t rows, int32_t scale, int32_t birthTile, int32_t deathTile) {
  const LifefaceRecord* face = CurrentLifeface();
  if (face == nullptr || !GridFits(columns, rows)) return 0;
  uint64_t* shown = ShownTiles(columns, rows, scale);
  const int32_t side = face->pixels * scale;
  const uint32_t now = PlatformTickCount();
  const uint32_t survivorTime = face->coltime > 0 ? now / static_cast<uint32_t>(face->coltime) : 0;
  const uint32_t cells = static_cast<uint32_t>(columns) * static_cast<uint32_t>(rows);
  const uint32_t seedMagnitude =
      Field.SeedInUse < 0 ? 0u - static_cast<uint32_t>(Field.SeedInUse) : static_cast<uint32_t>(Field.SeedInUse);
  uint32_t base = seedMagnitude % cells;
  if (face->rowtime > 0) base += now / static_cast<uint32_t>(face->rowtime);
  if (face->flags & FaceAddResets) base += static_cast<uint32_t>(Field.ResetCount);
  if (face->flags & FaceAddGeneration) base += static_cast<uint32_t>(Field.Generation);

  const uint32_t rowSpan = static_cast<uint32_t>(Transition.rowSpan);
  const uint32_t survivorSpan = static_cast<uint32_t>(Transition.survivorSpan);
  // A rule with dying states spreads the death run over them: a cell in
  // its k-th generation of dying (1 the step it stops living) shows part k
  // of states - 1.
  const int32_t states = Field.RuleActions.states;
  const int64_t deathSpan = Transition.deathSpan, deathOffset = deathTile - face->x2;
  const auto dyingTile = [&](int32_t k) {
    return face->x2 + static_cast<int32_t>(((k - 1) * deathSpan + deathOffset) / (states - 1));
  };
  const bool blocks = Field.RuleActions.mapped || Field.Rule.kind == RuleLarger;
  int32_t alive = 0;
  for (int32_t i = 0; i < rows; ++i) {
    const uint32_t rowBase =
        (face->flags & FaceRowTimesColumns) ? (base + static_cast<uint32_t>(i)) * static_cast<uint32_t>(columns) : base;
    const uint8_t* cell = Grid.LiveCells + static_cast<size_t>(i) * columns;
    for (int32_t j = 0; j < columns; ++j) {
      const uint8_t v = cell[j];
      uint32_t t = rowBase;
      if (face->flags & FaceAddColumn) t += static_cast<uint32_t>(j);
      if (face->flags & FaceAddNeighbours) t += (v & 0x1F) >> 1;
      const int32_t tileRow = static_cast<int32_t>(t % rowSpan) + face->y0;
      // What the coming step does to the cell, under the field's rule.
      const int8_t action = blocks ? CellActionAt(j, i, columns, rows) : CellAction(Field.RuleActions, v);
      int32_t tileColumn;
      if (action > 0) {
        tileColumn = birthTile;
        ++alive;
      } else if ((v & 1) && action == 0) {
        tileColumn = static_cast<int32_t>((survivorTime + t) % survivorSpan) + face->x1;
        ++alive;
      } else if (v & 1) {
        tileColumn = states > 2 ? dyingTile(1) : deathTile;
      } else if (states > 2 && (v & CellDying)) {
        tileColumn = dyingTile(CellState(j, i, columns, rows));
      } else {
        tileColumn = 0;
      }
      if (shown != nullptr) {
        const uint64_t tile = static_cast<uint64_t>(static_cast<uint32_t>(tileColumn)) << 32 |
                              static_cast<uint32_t>(tileRow);
        uint64_t& was = shown[static_cast<size_t>(i) * columns + j];
        if (was == tile) continue;
        was = tile;
        const int64_t x = static_cast<int64_t>(j) * side, y = static_cast<int64_t>(i) * side;
        if (x < View.Surface->width && y < View.Surface->height)
          DamageRect(static_cast<int32_t>(x), static_cast<int32_t>(y), side, side);
      }
      CopyTile(j, i, tileColumn, tileRow, scale);
    }
  }
  if (shown == nullptr) DamageSurface();
  return alive;
}

// One loop per scale; each source pixel becomes an S x S square.
template <int S>
static void CopyTileScaled(const uint32_t* source, int32_t sourceStride, uint32_t* target, int32_t targetStride,
                           int32_t tile) {
  const uint8_t* sourceRow = reinterpret_cast<const uint8_t*>(source);
  uint8_t* targetRow = reinterpret_cast<uint8_t*>(target);
  for (int32_t y = 0; y < tile; ++y, sourceRow += sourceStride) {
    const uint32_t* s = reinterpret_cast<const uint32_t*>(sourceRow);
    for (int r = 0; r < S; ++r, targetRow += targetStride) {
      uint32_t* d = reinterpret_cast<uint32_t*>(targetRow);
      for (int32_t x = 0; x < tile; ++x)
        for (int k = 0; k < S; ++k) d[x * S + k] = s[x];
    }
  }
}

// A tile or block that reaches past the picture or the surface: only what
// lies inside both is touched, and tile parts beyond the picture show black.
static void CopyTileClipped(int32_t sourceX, int32_t sourceY, int32_t targetX, int32_t targetY, int32_t tile,
                            int32_t scale) {
  const int32_t side = tile * scale;
  const int32_t width = std::min(side, View.Surface->width - targetX);
  const int32_t height = std::min(side, View.Surface->height - targetY);
  for (int32_t v = 0; v < height; ++v) {
    uint32_t* d = SurfacePixel(View.Surface, targetX, targetY + v);
    const int32_t y = sourceY + v / scale;
    for (int32_t u = 0; u < width; ++u) {
      const int32_t x = sourceX + u / scale;
      d[u] = (x < LifefaceSurface->width && y < LifefaceSurface->height) ? *SurfacePixel(LifefaceSurface, x, y) : 0;
    }
  }
}

void CopyTile(int32_t column, int32_t row, int32_t tileColumn, int32_t tileRow, int32_t scale) {
  const LifefaceRecord* face = CurrentLifeface();
  if (face == nullptr || LifefaceSurface == nullptr || View.Surface == nullptr) return;
  if (scale != 1 && scale != 2 && scale != 4 && scale != 8) return;
  const int32_t tile = face->pixels;
  const int64_t sourceX = static_cast<int64_t>(tileColumn) * tile;
  const int64_t sourceY = static_cast<int64_t>(tileRow) * tile;
  const int64_t targetX = static_cast<int64_t>(column) * tile * scale;
  const int64_t targetY = static_cast<int64_t>(row) * tile * scale;
  if (tile <= 0 || sourceX < 0 || sourceY < 0 || targetX >= View.Surface->width || targetY >= View.Surface->height)
    return;
  if (sourceX + tile > LifefaceSurface->width || sourceY + tile > LifefaceSurface->height ||
      targetX + tile * scale > View.Surface->width || targetY + tile * scale > View.Surface->height) {
    if (sourceX >= INT32_MAX || sourceY >= INT32_MAX) return;
    CopyTileClipped(static_cast<int32_t>(sourceX), static_cast<int32_t>(sourceY), static_cast<int32_t>(targetX),
                    static_cast<int32_t>(targetY), tile, scale);
    return;
  }
  const uint32_t* source = SurfacePixel(LifefaceSurface, static_cast<int32_t>(sourceX), static_cast<int32_t>(sourceY));
  uint32_t* target = SurfacePixel(View.Surface, static_cast<int32_t>(targetX), static_cast<int32_t>(targetY));
  switch (scale) {
    case 1: CopyTileScaled<1>(source, LifefaceSurface->stride, target, View.Surface->stride, tile); break;
    case 2: CopyTileScaled<2>(source, LifefaceSurface->stride, target, View.Surface->stride, tile); break;
    case 4: CopyTileScaled<4>(source, LifefaceSurface->stride, target, View.Surface->stride, tile); break;
    case 8: CopyTileScaled<8>(source, LifefaceSurface->stride, target, View.Surface->stride, tile); break;
  }
}
