// Rendering: the 32-bit frame surface, the classic neighbour-count colouring,
// the lifeface animation and the information overlay. Painters paint the
// field as it is and report what they saw; they never step or replace it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "engine/engine.h"
#include "engine/kernels.h"
#include "platform/platform.h"
#include "platform/surface.h"

// ---- Frame surface and classic colouring -------------------------------------

// Live colours for neighbour counts 0..8, then the dead colour.
const int PaletteSize = 10;
const int DeadColour = 9;

// How a frame lays out the cells.
struct FrameLayout {
  bool animated;
  int32_t cellSize;  // pixels of one cell on the surface
  int32_t scale;     // animated: tile pixel scale
  int32_t columns;
  int32_t rows;
  // Where the cells' corner lies: 0, 0 for the view's grid; a grid of a
  // rule's own is centred.
  int32_t originX;
  int32_t originY;
};

// What the colours of a classic frame are made from: the live colours 0..7,
// the dead one, the oldest, the fade and the colouring by age. The shades
// and what the surface shows are kept with the source they came from.
struct ColourSource {
  uint32_t colours[10];  // live 0..7, dead, oldest
  int32_t fade;
  bool byAge;
};
bool SameColourSource(const ColourSource& a, const ColourSource& b);

// What the frames are drawn into and for. ReleaseView is its one reset.
struct FrameView {
  int32_t ClientWidth;   // the window's client area: cell counts come from it
  int32_t ClientHeight;
  FrameSurface* Surface;  // the frame, both sides raised to multiples of 256
  FontHandle OverlayFont;
  uint32_t Palette[PaletteSize];
  FrameLayout DrawnLayout;  // of the last frame drawn
  // The shades of trails and ages (see TrailPixel), made again when their
  // source moves.
  uint32_t TrailShades[TrailShadeCount];
  ColourSource shadeSource;
  bool shadesMade;
};
extern FrameView View;
// Frees the surface (natively also the grid) and forgets the view.
void ReleaseView();

// Every pixel of the frame surface := colour.
void FillSurface(uint32_t colour);
// Resolves the palette from the settings and clears the surface to the dead colour.
void BuildPalette();
void FillBlock(uint32_t* first, int32_t stride, int32_t width, int32_t height, uint32_t colour);
// The neighbour-count colour offset of this moment.
uint32_t ColourOffset();
// Draws every cell (only those whose colour changed, where the surface shows
// the last classic frame) and returns the population. The field stays as it is.
int32_t DrawClassicFrame(int32_t columns, int32_t rows, int32_t cellSize);
// The same for cells of a window that moves over a larger field (the plane):
// the block of cell (x, y) has its corner at pixel (originX + x x cellSize,
// originY + y x cellSize), origins at most 0, and every cell is painted.
int32_t DrawClassicWindow(int32_t columns, int32_t rows, int32_t cellSize, int32_t originX, int32_t originY);

// The colours of one frame: a live cell's by its count (bits 1..3 of its byte;
// the count 8 wraps onto 0), a dead cell's, and both by the low four bits.
struct FrameColours {
  uint32_t live[8];
  uint32_t dead;
  uint32_t byLowBits[16];
  // Trails and colour by age: the colour of the oldest cells (the ninth
  // live one), the fade and the colouring as the steps keep them, and the
  // shades; null with neither.
  uint32_t oldest;
  int32_t fade;
  bool byAge;
  const uint32_t* shades;
  // A rule's states (2: no dying ones). Without trails its dying cells take
  // the shades too, made with the fade states - 2 (see DyingPixel).
  int32_t states;
};
// Byte for byte, `weight` parts of `from` and the rest of TrailWeightWhole
// parts of `to`, rounded.
uint32_t ShadeBetween(uint32_t from, uint32_t to, int32_t weight);

// A classic frame worked out before it is painted. For one-pixel cells it
// holds the pass that paints the field; a step of the same grid may make that
// pass its own (PaintFrameAndStepAhead), and then only FinishClassicFrame
// remains. The pass points into the record: it is not copied.
struct ClassicFramePlan {
  int32_t columns;
  int32_t rows;
  int32_t cellSize;
  int32_t visibleColumns;
  int32_t visibleRows;
  bool digital;
  uint32_t fieldChange;  // the field painted
  FrameColours colours;
  bool onePixel;
  FramePaint paint;  // one-pixel cells
  const TrailPlanes* trails;  // the planes the colours take, or null
  uint16_t* keys;    // larger cells: what each showed, or null
  bool compare;      // paint only the cells whose key changed
};
// False when nothing can be painted (no surface, a grid that does not fit).
bool PlanClassicFrame(int32_t columns, int32_t rows, int32_t cellSize, ClassicFramePlan* plan);
// Paints the planned frame and returns the population.
int32_t PaintClassicFrame(ClassicFramePlan* plan);
// The surface now shows the planned frame.
void FinishClassicFrame(const ClassicFramePlan* plan);

// ---- Lifeface animation --------------------------------------------------------

struct TransitionState {
  int32_t rowSpan;
  int32_t birthSpan;
  int32_t survivorSpan;
  int32_t deathSpan;
  int32_t TransitionFrames;  // M: drawn frames per generation
  int32_t TransitionFrame;   // frames counted in the current transition, 0..M
  int32_t birthRate;         // 16.16 tiles per frame
  int32_t deathRate;
  int32_t birthProgress;     // 16.16 offsets into the runs
  int32_t deathProgress;
  int32_t NextPopulation;    // cells alive after the coming step
};
extern TransitionState Transition;

// Spans, frame count and rates of the current lifeface; restarts the transition.
void PrepareTransition();
// Back to the first frame of a transition (after a step or a reset).
void RestartTransition();
// One frame of the transition; true at its end, when nothing is drawn and the
// field is due to step (NextPopulation is what the step will leave).
bool AnimatedTick(int32_t columns, int32_t rows, int32_t scale);
int32_t DrawLifefaceFrame(int32_t columns, int32_t rows, int32_t scale, int32_t birthTile, int32_t deathTile);
void CopyTile(int32_t column, int32_t row, int32_t tileColumn, int32_t tileRow, int32_t scale);

// ---- Information overlay ----------------------------------------------------------

// The overlay's frame-rate measure.
struct FrameRateMeter {
  uint32_t lastOverlayTime;
  uint32_t intervalSum;
  uint32_t intervalCount;
};
extern FrameRateMeter FrameRate;

// Draws the lines the settings ask for and notes where: the next frame
// paints its cells over that place again.
void DrawOverlay();

// ---- What changed, and what the surface shows ------------------------------------

// The surface in tiles; a tile is damaged when a frame changed any of its
// pixels since the window was last given them.
const int32_t DamageTileWidth = 32;
const int32_t DamageTileHeight = 8;
const int32_t DamageTileRowShift = 3;  // log2 of DamageTileHeight
const int32_t MaxDamageRects = 512;
// A copy to the window costs about as much as copying this many pixels more:
// under Wine, Classic Mode at 1080p ran cheapest between 256 and 1024 (the
// whole surface, or 16384, cost half as much again), so a run takes in gaps
// of up to two tiles, and a rectangle takes in a run that grows it by less.
const int64_t CopyCallPixels = 512;
// A one-pixel frame painted from the step's marks costs more than one
// painted whole (about a sixth of a whole copy at 1080p and 2160p): the
// marks pay only where the copy they allow is that much smaller.
const int64_t MarksPayShareTenths = 8;
// Frames then painted whole before the marks are tried again.
const int32_t UnmarkedFrames = 32;
struct FrameDamage {
  uint8_t* tiles;  // columns x rows bytes, nonzero: damaged
  int32_t* spans;  // per tile row, its first and last damaged column
  int32_t columns;
  int32_t rows;
  bool whole;  // all of the surface
  bool any;
  // The last copy of damaged tiles cost more than MarksPayShareTenths tenths
  // of copying the whole window: one-pixel marks did not pay for themselves.
  bool marksWasted;
};
extern FrameDamage Damage;

// What the frames last painted left on the surface, so the next frame can
// paint only what differs. Anything else drawn over the surface forgets it.
struct SurfacePaint {
  bool known;
  const FrameSurface* surface;
  // Classic cells: the layout, the colours and the field (Grid.changes)
  // painted; for cells of two pixels and more, each cell's colour key.
  bool classic;
  int32_t columns;
  int32_t rows;
  int32_t cellSize;
  bool digital;
  ColourSource colours;
  uint32_t fieldChange;
  uint16_t* keys;
  size_t keyCapacity;  // bytes
  // Lifeface tiles: the tile each cell shows (column << 32 | row), for the
  // layout and scale painted.
  uint64_t* tiles;
  size_t tileCapacity;  // bytes
  int32_t scale;
  // Pixels drawn over the cells since (the overlay): painted again next frame.
  PixelRect stale;
  // One-pixel frames still to paint whole, the marks having been wasted.
  int32_t unmarkedFrames;
};
extern SurfacePaint Painted;

void DamageSurface();
// Clipped to the surface.
void DamageRect(int32_t x, int32_t y, int32_t width, int32_t height);
// The tile map, for painters that mark tiles themselves (stride: bytes a
// tile row); null when all of the surface is damaged anyway.
uint8_t* DamageTileRows(int32_t* stride);
void ClearDamage();
// The damage as a few rectangles of the surface (see damage.cpp); 0 when
// nothing changed.
int32_t DamageRects(PixelRect* rects, int32_t capacity);
// Frees the maps (with the view).
void ReleaseDamage();
// The surface was drawn over: the next frame paints every cell.
void ForgetSurfacePaint();
// A painter's memory of at least `bytes`: the block it has, or a new one
// (the old contents are not kept); null, and no block, when none can be had.
void* GrowPaintMemory(void* block, size_t* capacity, size_t bytes);
// A painter's frame of this layout is now what the surface shows (its own
// details are the painter's to note); the stale pixels are painted over.
void RememberSurfaceLayout(bool classic, int32_t columns, int32_t rows);
// Visits the cells (of side s) under the stale pixels, row by row: visit(y, x0, x1).
template <class Visit>
void CellsUnderStale(int32_t columns, int32_t rows, int32_t s, Visit visit) {
  const PixelRect& stale = Painted.stale;
  if (stale.width <= 0 || stale.height <= 0 || s <= 0) return;
  const int32_t y1 = std::min(rows - 1, (stale.y + stale.height - 1) / s);
  const int32_t x0 = stale.x / s;
  const int32_t x1 = std::min(columns - 1, (stale.x + stale.width - 1) / s);
  if (x0 > x1) return;
  for (int32_t y = stale.y / s; y <= y1; ++y) visit(y, x0, x1);
}
// Fills with the clearing colour the part of `area` the cells of this layout
// do not cover: all of the surface once after the layout changes, so nothing
// of an earlier picture stays at the edges, and the last overlay every frame.
void ClearOutsideCells(const FrameLayout& layout, const PixelRect& area);

// ---- The plane, zoomed out -------------------------------------------------------------

// Paints `area` of the surface (clipped to it) from the plane, each pixel
// showing 2^zoom x 2^zoom cells (1 <= zoom <= PlaneMaxLevel): the pixel at
// the area's corner those from cell (cellX, cellY), both floored to
// multiples of 2^zoom, and so on. A pixel over no live cell is `dead`; over
// live cells it rises on a log scale from a quarter of the way to `live`
// for one cell to `live` itself when all are alive. The counts come from the
// quadtree, kept per node, so the cost follows the pixels and not the
// pattern. The plane is not stepped. Returns the pixels that show live cells.
int64_t PaintPlaneZoomedOut(FrameSurface* surface, const PixelRect& area, int64_t cellX, int64_t cellY, int32_t zoom,
                            uint32_t dead, uint32_t live);
// Frees what the painter keeps between frames (a band of rows, and squares
// of pixels painted by node); the next frame paints everything anew.
void ReleasePlanePaint();
