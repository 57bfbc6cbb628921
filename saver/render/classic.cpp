// Classic Mode: every cell a square block coloured by its live-neighbour
// count, or by its age, dead cells fading out behind them where trails are
// on; the population is counted in the same pass.
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

// Row r of the shades is the colour of neighbour count r (count 8 wraps onto
// 0), or by age that of age r; a dead cell fades from it to the dead colour
// by even steps (see TrailWeight), f generations before its end showing
// about f / (fade + 1) of it.
void MakeShades(const FrameColours& colours, uint32_t* shades) {
  for (int32_t r = 0; r < TrailRows; ++r) {
    const uint32_t full = colours.byAge && r == TrailOldest ? colours.oldest : colours.live[r & 7];
    uint32_t* row = shades + r * TrailSteps;
    row[0] = full;
    for (int32_t f = 1; f < TrailSteps; ++f)
      row[f] = ShadeBetween(full, colours.dead, TrailWeight(f, colours.fade));
  }
  shades[TrailRows * TrailSteps] = colours.dead;
}

ColourSource SourceOf(const FrameColours& colours) {
  ColourSource source;
  std::copy(colours.live, colours.live + 8, source.colours);
  source.colours[8] = colours.dead;
  source.colours[9] = colours.oldest;
  source.fade = colours.fade;
  source.byAge = colours.byAge;
  return source;
}

// The shades of these colours: those made last when nothing moved.
const uint32_t* ShadesOf(const FrameColours& colours) {
  const ColourSource source = SourceOf(colours);
  if (!View.shadesMade || !SameColourSource(source, View.shadeSource)) {
    MakeShades(colours, View.TrailShades);
    View.shadeSource = source;
    View.shadesMade = true;
  }
  return View.TrailShades;
}

FrameColours ColoursOfFrame(bool trails) {
  FrameColours colours;
  colours.states = Field.RuleActions.states;
  const bool dying = !trails && colours.states > 2;
  const uint32_t offset = ColourOffset();
  for (uint32_t n = 0; n < 8; ++n) colours.live[n] = View.Palette[(n + offset) & 7u];
  colours.dead = View.Palette[DeadColour];
  for (uint32_t v = 0; v < 16; ++v) colours.byLowBits[v] = (v & 1) ? colours.live[v >> 1] : colours.dead;
  colours.oldest = View.Palette[TrailOldest];
  colours.fade = trails ? Grid.trails.fadeSteps : dying ? colours.states - 2 : 0;
  colours.byAge = trails && Grid.trails.byAge;
  colours.shades = trails || dying ? ShadesOf(colours) : nullptr;
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

// One pixel per cell: what a pass over the field paints. With marks only the
// segments the last step changed are painted; a frame painted whole is
// copied whole (the window clips it to itself).
void PlanOnePixelPaint(ClassicFramePlan* plan, bool marked, bool markStep) {
  FramePaint& paint = plan->paint;
  paint.top = View.Surface->bits;
  paint.stride = View.Surface->stride;
  paint.visibleColumns = plan->visibleColumns;
  paint.visibleRows = plan->visibleRows;
  paint.live = plan->colours.live;
  paint.dead = plan->colours.dead;
  paint.stream = StreamFrame(static_cast<int64_t>(plan->visibleColumns) * plan->visibleRows);
  paint.damageRowShift = DamageTileRowShift;
  paint.damage = marked ? DamageTileRows(&paint.damageStride) : nullptr;
  paint.marked = paint.damage != nullptr;
  paint.markStep = markStep;
  paint.shades = plan->colours.shades;
  paint.states = plan->trails == nullptr ? plan->colours.states : 2;
  paint.decay = plan->trails == nullptr && DecayPlaneInUse() ? Grid.decay : nullptr;
  if (!paint.marked) DamageSurface();
}

// The live cells of the rows below the surface, which no frame paints.
int32_t CountRowsBelowSurface(const ClassicFramePlan& plan) {
  if (plan.visibleRows >= plan.rows) return 0;
  return ActiveKernels()->countAlive(Grid.LiveCells + static_cast<size_t>(plan.visibleRows) * plan.columns,
                                     (plan.rows - plan.visibleRows) * plan.columns);
}

// The pass without a step: a row kernel paints and counts; cells beyond the
// surface are only counted. Every cell is painted, whatever the marks say.
int32_t PaintOnePixelCells(const ClassicFramePlan& plan) {
  const int32_t columns = plan.columns;
  const int32_t visibleColumns = plan.visibleColumns, visibleRows = plan.visibleRows;
  const GridKernels* kernels = ActiveKernels();
  int32_t population = 0;
  for (int32_t y = 0; y < visibleRows; ++y) {
    const size_t offset = static_cast<size_t>(y) * columns;
    const uint8_t* cells = Grid.LiveCells + offset;
    if (plan.trails != nullptr) {
      PaintTrailPixels(cells, plan.trails->age + offset, plan.trails->fade + offset, PixelRow(y), 0, visibleColumns,
                       plan.colours.shades, plan.colours.byAge);
      population += kernels->countAlive(cells, visibleColumns);
    } else if (plan.colours.states > 2) {
      const uint8_t* decay = DecayPlaneInUse() ? Grid.decay + offset : nullptr;
      uint32_t* pixels = PixelRow(y);
      for (int32_t x = 0; x < visibleColumns; ++x)
        pixels[x] = DyingPixel(cells[x], DyingState(cells, decay, x), plan.colours.shades, plan.colours.states);
      population += kernels->countAlive(cells, visibleColumns);
    } else {
      population += kernels->paintRow(cells, PixelRow(y), visibleColumns, plan.colours.live, plan.colours.dead,
                                      plan.paint.stream);
    }
    if (visibleColumns < columns) population += kernels->countAlive(cells + visibleColumns, columns - visibleColumns);
  }
  DamageSurface();  // the marks, if any, were not read
  return population + CountRowsBelowSurface(plan);
}

// A row of cells with what colours them: its planes with trails (else
// null), or for a rule with dying states (dying) its decay plane where the
// rule keeps one (else null: the bytes hold the states).
struct CellRow {
  const uint8_t* cells;
  const uint8_t* age;
  const uint8_t* fade;
  const uint8_t* decay;
  bool dying;
};

CellRow CellRowOf(const ClassicFramePlan& plan, int32_t y) {
  const size_t offset = static_cast<size_t>(y) * plan.columns;
  if (plan.trails != nullptr)
    return CellRow{Grid.LiveCells + offset, plan.trails->age + offset, plan.trails->fade + offset, nullptr, false};
  if (plan.colours.states > 2)
    return CellRow{Grid.LiveCells + offset, nullptr, nullptr, DecayPlaneInUse() ? Grid.decay + offset : nullptr, true};
  return CellRow{Grid.LiveCells + offset, nullptr, nullptr, nullptr, false};
}

inline uint32_t CellColour(const CellRow& row, int32_t x, const FrameColours& colours) {
  if (row.dying) return DyingPixel(row.cells[x], DyingState(row.cells, row.decay, x), colours.shades, colours.states);
  if (row.age == nullptr) return colours.byLowBits[row.cells[x] & 15];
  return TrailPixel(row.cells[x], row.age[x], row.fade[x], colours.shades, colours.byAge);
}

// A cell that shows a colour of its own: a live one, or a dying one where
// the rule has dying states. With the digital effect its block leaves a gap.
inline bool Shown(uint8_t v, const FrameColours& colours) {
  return (v & 1) != 0 || (colours.states > 2 && (v & CellDying) != 0);
}

// Cells x0..x1-1 of cell row y as blocks of s x s pixels. Without the digital
// effect every line of a row of blocks is the same: paint the top line and
// copy it down. With it, a live cell leaves the last column and line of its
// block as they were, so each line is painted cell by cell.
void PaintBlockSpan(const CellRow& row, int32_t y, int32_t x0, int32_t x1, int32_t s, bool digital, bool stream,
                    const FrameColours& colours) {
  const uint8_t* cells = row.cells;
  const int32_t width = View.Surface->width;
  const int32_t left = x0 * s;
  const int32_t right = std::min(x1 * s, width);
  if (left >= right) return;
  const int32_t top = y * s;
  const int32_t blockRows = std::min(s, View.Surface->height - top);
  if (!digital) {
    uint32_t* line = PixelRow(top);
    for (int32_t x = x0; x < x1; ++x) FillLine(line + x * s, std::min(s, width - x * s), CellColour(row, x, colours));
    for (int32_t r = 1; r < blockRows; ++r) ActiveKernels()->copyPixels(PixelRow(top + r) + left, line + left, right - left, stream);
  } else {
    const int32_t liveSide = s - 1;
    for (int32_t r = 0; r < blockRows; ++r) {
      uint32_t* line = PixelRow(top + r);
      for (int32_t x = x0; x < x1; ++x) {
        const int32_t side = Shown(cells[x], colours) ? liveSide : s;
        if (r < side) FillLine(line + x * s, std::min(side, width - x * s), CellColour(row, x, colours));
      }
    }
  }
  DamageRect(left, top, right - left, blockRows);
}

// What a cell's colour depends on: bits 0..3 of a live cell, nothing of a
// dead one. With trails, a live cell's colour row (0x8000 and the row), a
// fading cell's row and fade (row << 8 | fade), nothing of one faded out.
inline uint16_t CellKey(const CellRow& row, int32_t x, const FrameColours& colours) {
  const bool byAge = colours.byAge;
  const uint8_t v = row.cells[x];
  // A dying cell: its count's row and its state.
  if (row.dying && (v & CellDying) != 0)
    return static_cast<uint16_t>(0x4000 | ((v >> 1) & 7) << 8 | DyingState(row.cells, row.decay, x));
  if (row.age == nullptr) return (v & 1) ? static_cast<uint16_t>(v & 15) : 0;
  const uint16_t age = std::min<uint16_t>(row.age[x], TrailOldest);
  if (v & 1) return static_cast<uint16_t>(0x8000 | (byAge ? age : (v >> 1) & 7));
  return row.fade[x] != 0 ? static_cast<uint16_t>(age << 8 | row.fade[x]) : 0;
}
const uint16_t UnknownKey = 0xFFFF;

// One cell's block, as PaintBlockSpan paints it.
void PaintBlock(const CellRow& row, int32_t x, int32_t y, int32_t s, bool digital, const FrameColours& colours) {
  const int32_t side = digital && Shown(row.cells[x], colours) ? s - 1 : s;
  const int32_t left = x * s, top = y * s;
  const int32_t width = std::min(side, View.Surface->width - left);
  const int32_t height = std::min(side, View.Surface->height - top);
  if (width <= 0 || height <= 0) return;
  FillBlock(SurfacePixel(View.Surface, left, top), View.Surface->stride, width, height, CellColour(row, x, colours));
  DamageRect(left, top, width, height);
}

// Blocks of s x s pixels. With keys (what each cell showed when it was last
// painted) only the cells whose colour changed are painted; the keys are
// kept up to date either way.
int32_t PaintBlocks(const ClassicFramePlan& plan) {
  const int32_t columns = plan.columns, s = plan.cellSize;
  const int32_t visibleColumns = plan.visibleColumns, visibleRows = plan.visibleRows;
  const FrameColours& colours = plan.colours;
  uint16_t* keys = plan.keys;
  const bool compare = plan.compare, digital = plan.digital;
  const int32_t paintedWidth = std::min(visibleColumns * s, View.Surface->width);
  const GridKernels* kernels = ActiveKernels();
  const bool stream = StreamFrame(static_cast<int64_t>(paintedWidth) * View.Surface->height);
  int32_t population = 0;
  for (int32_t y = 0; y < visibleRows; ++y) {
    const CellRow row = CellRowOf(plan, y);
    uint16_t* rowKeys = keys != nullptr ? keys + static_cast<size_t>(y) * columns : nullptr;
    if (!compare) {
      PaintBlockSpan(row, y, 0, visibleColumns, s, digital, stream, colours);
      if (rowKeys != nullptr)
        for (int32_t x = 0; x < visibleColumns; ++x) rowKeys[x] = CellKey(row, x, colours);
    } else {
      for (int32_t x = 0; x < visibleColumns; ++x) {
        const uint16_t key = CellKey(row, x, colours);
        if (rowKeys[x] == key) continue;
        rowKeys[x] = key;
        PaintBlock(row, x, y, s, digital, colours);
      }
    }
    population += kernels->countAlive(row.cells, columns);
  }
  return population + CountRowsBelowSurface(plan);
}

// True when the surface shows the last classic frame of this layout and
// these colours.
bool SurfaceShowsClassic(int32_t columns, int32_t rows, int32_t s, bool digital, const FrameColours& colours) {
  const SurfacePaint& p = Painted;
  return p.known && p.classic && p.surface == View.Surface && p.columns == columns && p.rows == rows &&
         p.cellSize == s && p.digital == digital && SameColourSource(p.colours, SourceOf(colours));
}

// The keys of a grid of this size, or null when there is no room for them.
uint16_t* CellKeys(int32_t columns, int32_t rows) {
  const size_t cells = static_cast<size_t>(columns) * static_cast<size_t>(rows);
  Painted.keys =
      static_cast<uint16_t*>(GrowPaintMemory(Painted.keys, &Painted.keyCapacity, cells * sizeof *Painted.keys));
  return Painted.keys;
}

// True when the marks of the last step can say what to paint: the surface
// shows the field just before it. The segments under the stale pixels are
// marked as well. False: paint every cell.
bool MarksToPaint(int32_t columns, int32_t rows, const FrameColours& colours) {
  if (!SurfaceShowsClassic(columns, rows, 1, false, colours)) return false;
  uint8_t* marks = MarksSince(Painted.fieldChange, columns, rows);
  if (marks == nullptr) return false;
  const int32_t segments = MarkSegments(columns);
  CellsUnderStale(columns, rows, 1, [&](int32_t y, int32_t x0, int32_t x1) {
    for (int32_t k = x0 / MarkSegment; k <= x1 / MarkSegment; ++k) marks[static_cast<size_t>(y) * segments + k] = 1;
  });
  return true;
}

// Whether a one-pixel frame paints only what the last step marked, and
// whether its own step marks. Frames drawn back to back (no delay) do
// neither: the window system takes a whole frame faster than a patchwork of
// one, and there the frame rate counts, not the CPU time. Paced frames do
// both while the marks pay; where most of a soup changes every frame they
// do not, so the frames are painted whole for a while, the last of them
// marking its step so that the next tries the marks again.
struct MarkPlan {
  bool paint;
  bool step;
};

MarkPlan PlanMarks() {
  if (Settings.delay <= 0) return {false, false};
  if (Damage.marksWasted && Painted.unmarkedFrames == 0) {
    Damage.marksWasted = false;
    Painted.unmarkedFrames = UnmarkedFrames;
  }
  if (Painted.unmarkedFrames == 0) return {true, true};
  Painted.unmarkedFrames -= 1;
  return {false, Painted.unmarkedFrames == 0};
}

void RememberClassicPaint(int32_t columns, int32_t rows, int32_t s, bool digital, const FrameColours& colours,
                          uint32_t fieldChange) {
  RememberSurfaceLayout(true, columns, rows);
  SurfacePaint& p = Painted;
  p.cellSize = s;
  p.digital = digital;
  p.colours = SourceOf(colours);
  p.fieldChange = fieldChange;
}

}  // namespace

bool SameColourSource(const ColourSource& a, const ColourSource& b) {
  return std::equal(a.colours, a.colours + 10, b.colours) && a.fade == b.fade && a.byAge == b.byAge;
}

uint32_t ShadeBetween(uint32_t from, uint32_t to, int32_t weight) {
  const uint32_t w = static_cast<uint32_t>(std::clamp(weight, 0, TrailWeightWhole));
  uint32_t shade = 0;
  for (int32_t shift = 0; shift < 32; shift += 8) {
    const uint32_t a = (from >> shift) & 0xFF, b = (to >> shift) & 0xFF;
    const uint32_t c = (a * w + b * (TrailWeightWhole - w) + TrailWeightWhole / 2) >> TrailWeightBits;
    shade |= c << shift;
  }
  return shade;
}

// Cells are drawn from the top-left; any part of a block beyond the surface
// is clipped. A frame that follows one step after the last paints only what
// the step changed.
bool PlanClassicFrame(int32_t columns, int32_t rows, int32_t cellSize, ClassicFramePlan* plan) {
  if (View.Surface == nullptr || !GridFits(columns, rows) || cellSize < 1) return false;
  const int32_t s = cellSize;
  plan->columns = columns;
  plan->rows = rows;
  plan->cellSize = s;
  plan->trails = GridTrails(columns, rows);
  plan->colours = ColoursOfFrame(plan->trails != nullptr);
  plan->visibleColumns = std::max(0, std::min(columns, (View.Surface->width + s - 1) / s));
  plan->visibleRows = std::max(0, std::min(rows, (View.Surface->height + s - 1) / s));
  plan->digital = (Settings.flags & FlagDigitalEffect) != 0 && s >= 4;
  plan->fieldChange = Grid.changes;
  plan->onePixel = s == 1;
  plan->keys = nullptr;
  plan->compare = false;
  if (plan->onePixel) {
    const MarkPlan marks = PlanMarks();
    const bool marked = marks.paint && MarksToPaint(columns, rows, plan->colours);
    PlanOnePixelPaint(plan, marked, marks.step);
    return true;
  }
  plan->keys = CellKeys(columns, rows);
  plan->compare = plan->keys != nullptr && SurfaceShowsClassic(columns, rows, s, plan->digital, plan->colours);
  if (plan->compare)
    CellsUnderStale(columns, rows, s, [&](int32_t y, int32_t x0, int32_t x1) {
      std::fill(plan->keys + static_cast<size_t>(y) * columns + x0,
                plan->keys + static_cast<size_t>(y) * columns + x1 + 1, UnknownKey);
    });
  return true;
}

int32_t PaintClassicFrame(ClassicFramePlan* plan) {
  if (plan->onePixel) return PaintOnePixelCells(*plan);
  return PaintBlocks(*plan);
}

void FinishClassicFrame(const ClassicFramePlan* plan) {
  RememberClassicPaint(plan->columns, plan->rows, plan->cellSize, plan->digital, plan->colours, plan->fieldChange);
}

int32_t DrawClassicWindow(int32_t columns, int32_t rows, int32_t cellSize, int32_t originX, int32_t originY) {
  ClassicFramePlan plan;
  ForgetSurfacePaint();  // the window moves over the cells it shows: nothing stays in place
  if (!PlanClassicFrame(columns, rows, cellSize, &plan)) return 0;
  if (plan.onePixel || (originX == 0 && originY == 0)) {
    plan.compare = false;
    const int32_t population = PaintClassicFrame(&plan);
    FinishClassicFrame(&plan);
    return population;
  }
  const int32_t s = cellSize;
  const int32_t width = View.Surface->width, height = View.Surface->height;
  int32_t population = 0;
  for (int32_t y = 0; y < rows; ++y) {
    const CellRow row = CellRowOf(plan, y);
    const int32_t top = originY + y * s;
    for (int32_t x = 0; x < columns; ++x) {
      const uint8_t v = row.cells[x];
      population += v & 1;
      const int32_t side = plan.digital && Shown(v, plan.colours) ? s - 1 : s;
      const int32_t left = originX + x * s;
      const int32_t x0 = std::max(left, 0), y0 = std::max(top, 0);
      // The digital effect's gap shows the dead colour: what lay there last
      // frame was another cell's.
      for (const int32_t part : {s, side}) {
        const int32_t x1 = std::min(left + part, width), y1 = std::min(top + part, height);
        if (x0 < x1 && y0 < y1)
          FillBlock(SurfacePixel(View.Surface, x0, y0), View.Surface->stride, x1 - x0, y1 - y0,
                    part == side ? CellColour(row, x, plan.colours) : plan.colours.dead);
        if (side == s) break;
      }
    }
  }
  DamageSurface();
  FinishClassicFrame(&plan);
  return population;
}

int32_t DrawClassicFrame(int32_t columns, int32_t rows, int32_t cellSize) {
  ClassicFramePlan plan;
  if (!PlanClassicFrame(columns, rows, cellSize, &plan)) return 0;
  const int32_t population = PaintClassicFrame(&plan);
  FinishClassicFrame(&plan);
  return population;
}
