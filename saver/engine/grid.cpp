// The Life grid: its cell buffer, the engine's generator, the random fill and
// the generation step, on the row kernels where they take the grid.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/engine.h"
#include "engine/kernels.h"

CellGrid Grid = {};

// A generation made ahead by a frame pass: the grid and size it was made for.
struct StepAheadState {
  const uint8_t* cells;
  int32_t columns;
  int32_t rows;
};
static StepAheadState StepAhead = {nullptr, 0, 0};

void DropStepAhead() { StepAhead = StepAheadState{nullptr, 0, 0}; }

// The block starts on a cache line: the kernels' wide loads and stores then
// split no line (rows of a multiple of 64 cells all start on one).
// The marks follow both halves: a kernel step needs rows of at least 16
// cells, so its marks take at most a sixteenth of the cells. The trail
// planes come last.
void AllocateCellGrid(size_t cells) {
  DropStepAhead();
  const size_t marks = cells / 16 + 64;
  uint8_t* block =
      cells <= (SIZE_MAX - marks) / 5 ? static_cast<uint8_t*>(PlatformAllocateZeroed(5 * cells + marks)) : nullptr;
  if (block == nullptr) PlatformExit(1);
  PlatformFreeZeroed(Grid.LiveCells);  // a grid in use gives way to the new one
  const uint32_t changes = Grid.changes + 1;  // a new buffer is a change
  const TrailPlanes trails = Grid.trails;     // what the steps keep stays
  Grid = CellGrid{};
  Grid.trails.fadeSteps = trails.fadeSteps;
  Grid.trails.byAge = trails.byAge;
  Grid.LiveCells = block;
  Grid.SnapshotCells = block + cells;
  Grid.capacity = cells;
  Grid.ChangeMarks = block + 2 * cells;
  Grid.marksCapacity = marks;
  Grid.trails.age = block + 2 * cells + marks;
  Grid.trails.fade = Grid.trails.age + cells;
  Grid.decay = Grid.trails.fade + cells;
  Grid.changes = changes;
  Grid.markedChange = changes - 1;
}

void ReleaseCellGrid() {
  DropStepAhead();
  PlatformFreeZeroed(Grid.LiveCells);
  const uint32_t changes = Grid.changes + 1;
  const TrailPlanes trails = Grid.trails;
  Grid = CellGrid{};
  Grid.trails.fadeSteps = trails.fadeSteps;
  Grid.trails.byAge = trails.byAge;
  Grid.changes = changes;
  Grid.markedChange = changes - 1;
}

// Counts a change of the field; a step that leaves marks says so after.
static void FieldChanged() { Grid.changes += 1; }

// The marks buffer for a grid of this size, or null when it does not fit.
static uint8_t* MarksFor(int32_t columns, int32_t rows) {
  const uint64_t bytes = static_cast<uint64_t>(rows) * static_cast<uint64_t>(MarkSegments(columns));
  return Grid.ChangeMarks != nullptr && bytes <= Grid.marksCapacity ? Grid.ChangeMarks : nullptr;
}

static void MarksMade(int32_t columns, int32_t rows) {
  Grid.markedColumns = columns;
  Grid.markedRows = rows;
  Grid.markedChange = Grid.changes;
}

uint8_t* MarksSince(uint32_t painted, int32_t columns, int32_t rows) {
  if (Grid.changes != painted + 1 || Grid.markedChange != Grid.changes || Grid.markedColumns != columns ||
      Grid.markedRows != rows)
    return nullptr;
  return Grid.ChangeMarks;
}

void UseTrails(int32_t fade, bool byAge) {
  Grid.trails.fadeSteps = fade < 0 ? 0 : fade > 255 ? 255 : fade;
  Grid.trails.byAge = byAge;
}

void RestartTrails() { Grid.trailsKept = false; }

const TrailPlanes* GridTrails(int32_t columns, int32_t rows) {
  if (!GridFits(columns, rows)) return nullptr;
  if (Grid.trails.fadeSteps == 0 && !Grid.trails.byAge) {
    Grid.trailsKept = false;  // the steps from here on leave them behind
    return nullptr;
  }
  if (!Grid.trailsKept || Grid.trailColumns != columns || Grid.trailRows != rows) {
    const size_t cells = static_cast<size_t>(columns) * rows;
    std::memset(Grid.trails.age, 0, cells);
    std::memset(Grid.trails.fade, 0, cells);
    Grid.trailsKept = true;
    Grid.trailColumns = columns;
    Grid.trailRows = rows;
  }
  return &Grid.trails;
}

bool GridFits(int32_t columns, int32_t rows) {
  return columns > 0 && rows > 0 && Grid.LiveCells != nullptr &&
         static_cast<uint64_t>(columns) * static_cast<uint64_t>(rows) <= Grid.capacity;
}

// ---- Kernel choice -------------------------------------------------------------

bool CpuRunsAvx2() {
#if defined(TUMBRA_X86_KERNELS) && defined(__GNUC__)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
#else
  return false;
#endif
}

WideKernelSets KernelSetsTheCpuRuns() {
  WideKernelSets wide = {};
#ifdef TUMBRA_X86_KERNELS
  wide.sets[wide.count++] = &Sse2Kernels;
  if (CpuRunsAvx2()) wide.sets[wide.count++] = &Avx2Kernels;
#endif
#ifdef TUMBRA_NEON_KERNELS
  wide.sets[wide.count++] = &NeonKernels;
#endif
  return wide;
}

static int32_t PlainPaintRow(const uint8_t* cells, uint32_t* pixels, int32_t count, const uint32_t* live,
                             uint32_t dead, bool) {
  int32_t alive = 0;
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t v = cells[i];
    alive += v & 1;
    pixels[i] = (v & 1) ? live[(v >> 1) & 7] : dead;
  }
  return alive;
}

static int32_t PlainCountAlive(const uint8_t* cells, int32_t count) {
  int32_t alive = 0;
  for (int32_t i = 0; i < count; ++i) alive += cells[i] & 1;
  return alive;
}

static void PlainCopyPixels(uint32_t* to, const uint32_t* from, int32_t count, bool) {
  std::memcpy(to, from, static_cast<size_t>(count) * sizeof *to);
}

const GridKernels PlainKernels = {"plain", INT32_MAX, nullptr,       nullptr,        nullptr,
                                  nullptr, PlainPaintRow, PlainCountAlive, PlainCopyPixels};

// The set in use (null: not chosen yet) and whether its dying states may
// be painted by permutes, once the CPU has been asked (-1: not yet).
static struct {
  const GridKernels* chosen;
  bool permutesWanted;
  int8_t cpuPermutes;
} KernelChoice = {nullptr, true, -1};

const GridKernels* ActiveKernels() {
  if (KernelChoice.chosen == nullptr) {
    const WideKernelSets wide = KernelSetsTheCpuRuns();
    KernelChoice.chosen = wide.count > 0 ? wide.sets[wide.count - 1] : &PlainKernels;
  }
  return KernelChoice.chosen;
}

void UseKernels(const GridKernels* kernels) { KernelChoice.chosen = kernels; }

bool CpuRunsAvx512Vbmi() {
#if defined(TUMBRA_X86_KERNELS) && defined(__GNUC__)
  // The permutes run inside the AVX2 set.
  return CpuRunsAvx2() && __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vl") &&
         __builtin_cpu_supports("avx512bw");
#else
  return false;
#endif
}

bool DyingPermutesInUse() {
  if (KernelChoice.cpuPermutes < 0) KernelChoice.cpuPermutes = CpuRunsAvx512Vbmi() ? 1 : 0;
  return KernelChoice.permutesWanted && KernelChoice.cpuPermutes == 1;
}

void UseDyingPermutes(bool wanted) { KernelChoice.permutesWanted = wanted; }

const GridKernels* KernelsForColumns(int32_t columns) {
  const GridKernels* kernels = ActiveKernels();
  if (kernels->step == nullptr) return nullptr;  // the plain set steps no grid
  if (columns >= kernels->width) return kernels;
#ifdef TUMBRA_X86_KERNELS
  return columns >= Sse2Kernels.width ? &Sse2Kernels : nullptr;
#else
  return nullptr;
#endif
}

// The row kernels keep their sums in the snapshot half, which the step no
// longer needs as a copy of the field, from its first cache line on; small
// grids take the plain path.
static uint8_t* KernelScratch() {
  const uintptr_t at = reinterpret_cast<uintptr_t>(Grid.SnapshotCells);
  return Grid.SnapshotCells + ((64 - (at & 63)) & 63);
}

static const GridKernels* RowKernels(int32_t columns) {
  const GridKernels* kernels = KernelsForColumns(columns);
  if (kernels == nullptr || KernelScratchBytes(columns) + 64 > Grid.capacity) return nullptr;
  return kernels;
}

// ---- Cells ---------------------------------------------------------------------

// A one-cell-wide (or high) torus is its own neighbour on that axis, so the
// wrapping step of the last column (row) is used for the first one too.
NeighbourStep NeighbourOffsets(int32_t x, int32_t y, int32_t columns, int32_t rows) {
  NeighbourStep step;
  step.left = x == 0 ? columns - 1 : -1;
  step.right = x == columns - 1 ? 1 - columns : 1;
  step.up = y == 0 ? (rows - 1) * columns : -columns;
  step.down = y == rows - 1 ? -(rows - 1) * columns : columns;
  return step;
}

static void AddToNeighbours(uint8_t* cell, const NeighbourStep& s, uint8_t delta) {
  cell[s.up + s.left] += delta;
  cell[s.up] += delta;
  cell[s.up + s.right] += delta;
  cell[s.left] += delta;
  cell[s.right] += delta;
  cell[s.down + s.left] += delta;
  cell[s.down] += delta;
  cell[s.down + s.right] += delta;
}

void SetCell(int32_t x, int32_t y, int32_t columns, int32_t rows) {
  if (!GridFits(columns, rows)) return;
  DropStepAhead();
  FieldChanged();
  uint8_t* cell = Grid.LiveCells + static_cast<size_t>(y) * columns + x;
  *cell |= 1;
  AddToNeighbours(cell, NeighbourOffsets(x, y, columns, rows), 2);
}

void ClearCell(int32_t x, int32_t y, int32_t columns, int32_t rows) {
  if (!GridFits(columns, rows)) return;
  DropStepAhead();
  FieldChanged();
  uint8_t* cell = Grid.LiveCells + static_cast<size_t>(y) * columns + x;
  *cell &= static_cast<uint8_t>(~1u);
  AddToNeighbours(cell, NeighbourOffsets(x, y, columns, rows), static_cast<uint8_t>(-2));
}

int32_t CellState(int32_t x, int32_t y, int32_t columns, int32_t rows) {
  if (!GridFits(columns, rows) || x < 0 || y < 0 || x >= columns || y >= rows) return 0;
  const size_t i = static_cast<size_t>(y) * columns + x;
  const uint8_t v = Grid.LiveCells[i];
  if (v & 1) return 1;
  if ((v & CellDying) == 0) return 0;
  return DyingState(Grid.LiveCells, DecayPlaneInUse() ? Grid.decay : nullptr, i);
}

bool DecayPlaneInUse() { return StatesInPlane(Field.Rule.states, Field.Rule.kind == RuleLarger); }

void SetCellState(int32_t x, int32_t y, int32_t state, int32_t columns, int32_t rows) {
  if (!GridFits(columns, rows) || x < 0 || y < 0 || x >= columns || y >= rows) return;
  const size_t i = static_cast<size_t>(y) * columns + x;
  uint8_t& v = Grid.LiveCells[i];
  if ((v & 1) != 0 && state != 1) ClearCell(x, y, columns, rows);
  if ((v & 1) == 0 && state == 1) SetCell(x, y, columns, rows);
  DropStepAhead();
  FieldChanged();
  const bool dying = state >= 2;
  const bool inPlane = DecayPlaneInUse();
  v = static_cast<uint8_t>(v & ~(CellDying | CellLater));
  if (dying) v = static_cast<uint8_t>(v | CellDying | (!inPlane && state == 3 ? CellLater : 0));
  Grid.decay[i] = static_cast<uint8_t>(dying && inPlane ? state : 0);
}

// A field is a torus (the view's, or the rule's own) or the plane: grids
// that join their edges another way are not run.
const char* EngineRefusal(const CellRule& rule) {
  if (rule.kind == RuleLarger && (rule.larger.range < 1 || rule.larger.range > LargerRangeLimit))
    return "its range is beyond what tumbra counts";
  switch (rule.grid.topology) {
    case 'K': return "its grid is a Klein bottle, which tumbra does not run";
    case 'C': return "its grid is a cross-surface, which tumbra does not run";
    case 'S': return "its grid is a sphere, which tumbra does not run";
  }
  if (rule.grid.twist != 0 || rule.grid.horizontalShift != 0 || rule.grid.verticalShift != 0)
    return "its grid's edges are joined with a shift, which tumbra does not run";
  return nullptr;
}

// The live bits of a cell's 3 x 3 block in `cells`, wrapping, as BlockIndex.
static uint32_t BlockAt(const uint8_t* cells, int32_t x, int32_t y, int32_t columns, int32_t rows) {
  const NeighbourStep s = NeighbourOffsets(x, y, columns, rows);
  const uint8_t* c = cells + static_cast<size_t>(y) * columns + x;
  return BlockIndex(ColumnCode(c[s.up + s.left], c[s.left], c[s.down + s.left]), ColumnCode(c[s.up], c[0], c[s.down]),
                    ColumnCode(c[s.up + s.right], c[s.right], c[s.down + s.right]));
}

// What the rule does to a cell of `cells` at the coming step: +1 born, -1
// dies, 0 stays (a dying cell moves on, which is no action).
static int8_t ActionIn(const uint8_t* cells, int32_t x, int32_t y, int32_t columns, int32_t rows,
                       const KernelRule& rule) {
  const uint8_t v = cells[static_cast<size_t>(y) * columns + x];
  if (!rule.mapped) return CellAction(rule, v);
  if (rule.states > 2 && (v & CellDying)) return 0;
  return rule.blockAction[BlockAt(cells, x, y, columns, rows)];
}

// Larger than Life reaches past the 3 x 3 block: what a cell does at the
// coming step is read off that step made on a copy, once for each state of
// the field. Grown when needed.
struct StepAheadCopy {
  uint8_t* block;  // cells, their decay bytes and the step's snapshot
  size_t capacity;  // cells
  uint32_t change;  // Grid.changes the copy was stepped from
  int32_t columns;
  int32_t rows;
  bool made;
};
static StepAheadCopy LargerAhead = {nullptr, 0, 0, 0, 0, false};

static const uint8_t* LargerCellsAhead(int32_t columns, int32_t rows) {
  const size_t cells = static_cast<size_t>(columns) * rows;
  if (LargerAhead.made && LargerAhead.change == Grid.changes && LargerAhead.columns == columns &&
      LargerAhead.rows == rows)
    return LargerAhead.block;
  if (LargerAhead.capacity < cells) {
    uint8_t* grown = cells <= SIZE_MAX / 3 ? static_cast<uint8_t*>(PlatformAllocateZeroed(3 * cells)) : nullptr;
    if (grown == nullptr) return nullptr;
    PlatformFreeZeroed(LargerAhead.block);
    LargerAhead = StepAheadCopy{grown, cells, 0, 0, 0, false};
  }
  uint8_t* copy = LargerAhead.block;
  std::memcpy(copy, Grid.LiveCells, cells);
  std::memcpy(copy + LargerAhead.capacity, Grid.decay, cells);
  StepLarger(copy, copy + LargerAhead.capacity, copy + 2 * LargerAhead.capacity, columns, rows, Field.Rule.larger,
             Field.Rule.states);
  LargerAhead.change = Grid.changes;
  LargerAhead.columns = columns;
  LargerAhead.rows = rows;
  LargerAhead.made = true;
  return copy;
}

int8_t CellActionAt(int32_t x, int32_t y, int32_t columns, int32_t rows) {
  if (!GridFits(columns, rows) || x < 0 || y < 0 || x >= columns || y >= rows) return 0;
  if (Field.Rule.kind == RuleLarger) {
    const uint8_t* ahead = LargerCellsAhead(columns, rows);
    const size_t i = static_cast<size_t>(y) * columns + x;
    return ahead == nullptr ? 0 : static_cast<int8_t>((ahead[i] & 1) - (Grid.LiveCells[i] & 1));
  }
  return ActionIn(Grid.LiveCells, x, y, columns, rows, Field.RuleActions);
}

// A dying cell's next state, or a cell that dies starting to die, after its
// action was applied (the byte's life and counts are already the new ones).
static void StepDecay(size_t i, uint8_t old, int8_t action, int32_t states) {
  if (states <= 2) return;
  uint8_t& v = Grid.LiveCells[i];
  uint8_t& d = Grid.decay[i];
  const bool inPlane = StatesInPlane(states, false);
  if (action < 0) {
    v |= CellDying;
    if (inPlane) d = 2;
  } else if (old & CellDying) {
    const int32_t next = (inPlane ? d : ByteState(old)) + 1;
    if (next >= states) {
      v &= static_cast<uint8_t>(~(CellDying | CellLater));
      d = 0;
    } else if (inPlane) {
      d = static_cast<uint8_t>(next);
    } else {
      v |= CellLater;  // state 3 of four
    }
  }
}

// ---- Generator, fill and step ----------------------------------------------------

void LcgSeed(uint32_t seed) { Field.LcgState = seed; }

int32_t LcgNext() {
  Field.LcgState = Field.LcgState * 214013u + 2531011u;
  return static_cast<int32_t>((Field.LcgState >> 16) & 0x7FFFu);
}

// Marks the drawn cells first and counts every neighbourhood once at the end:
// a drawn cell that is already alive changes nothing either way. The marks
// are bits, kept in the snapshot half behind the kernels' scratch.
void RandomFill(int32_t columns, int32_t rows) {
  if (!GridFits(columns, rows)) return;
  DropStepAhead();
  FieldChanged();
  const size_t cells = static_cast<size_t>(columns) * rows;
  std::memset(Grid.decay, 0, cells);  // a soup has no dying cells
  const GridKernels* kernels = RowKernels(columns);
  const int32_t rowBytes = (columns + 7) / 8;
  const size_t scratch = KernelScratchBytes(columns);
  const size_t bitmap = static_cast<size_t>(rows) * rowBytes + 8;
  if (kernels != nullptr && columns <= KernelDrawLimit && rows <= KernelDrawLimit &&
      64 + scratch + bitmap <= Grid.capacity) {
    uint8_t* bits = KernelScratch() + scratch;
    std::memset(bits, 0, bitmap);
    kernels->markDraws(bits, rowBytes, &Field.LcgState, columns, rows, static_cast<int64_t>(cells));
    kernels->countMarks(Grid.LiveCells, bits, rowBytes, KernelScratch(), columns, rows);
    return;
  }
  std::memset(Grid.LiveCells, 0, cells);
  for (size_t k = 0; k < cells; ++k) {
    const int32_t x = LcgNext() % columns;
    const int32_t y = LcgNext() % rows;
    if ((Grid.LiveCells[static_cast<size_t>(y) * columns + x] & 1) == 0) SetCell(x, y, columns, rows);
  }
}

void SetGridFromWindow(const uint8_t* window, size_t stride, int32_t columns, int32_t rows) {
  if (!GridFits(columns, rows)) return;
  DropStepAhead();
  FieldChanged();
  std::memset(Grid.decay, 0, static_cast<size_t>(columns) * rows);
  for (int32_t y = 0; y < rows; ++y) {
    const uint8_t* up = window + static_cast<size_t>(y) * stride;
    const uint8_t* mid = up + stride;
    const uint8_t* down = mid + stride;
    uint8_t* out = Grid.LiveCells + static_cast<size_t>(y) * columns;
    for (int32_t x = 0; x < columns; ++x) {
      const int n = up[x] + up[x + 1] + up[x + 2] + mid[x] + mid[x + 2] + down[x] + down[x + 1] + down[x + 2];
      out[x] = static_cast<uint8_t>(2 * n + mid[x + 1]);
    }
  }
}

void ClearGridBorder(int32_t columns, int32_t rows, int32_t edge) {
  if (!GridFits(columns, rows) || edge <= 0) return;
  for (int32_t y = 0; y < rows; ++y) {
    const bool band = y < edge || y >= rows - edge;
    for (int32_t x = 0; x < columns; ++x) {
      if (!band && x == edge) x = std::max(x, columns - edge);  // the inside is the pattern's
      if (x >= columns) break;
      const size_t i = static_cast<size_t>(y) * columns + x;
      if (Grid.LiveCells[i] & 1) ClearCell(x, y, columns, rows);
      Grid.LiveCells[i] &= static_cast<uint8_t>(~(CellDying | CellLater));
      Grid.decay[i] = 0;
    }
  }
}

void ClearField(int32_t columns, int32_t rows) {
  if (!GridFits(columns, rows)) return;
  DropStepAhead();
  FieldChanged();
  std::memset(Grid.LiveCells, 0, static_cast<size_t>(columns) * rows);
  std::memset(Grid.decay, 0, static_cast<size_t>(columns) * rows);
}

// The field's bytes before a Larger than Life step, for its trails: the step
// takes the snapshot half for itself. Grown when needed, never per frame.
struct OldCells {
  uint8_t* bytes;
  size_t capacity;
};
static OldCells LargerOld = {nullptr, 0};

// A Larger than Life generation, with its trails stepped from the cells'
// lives before and after.
static void StepLargerField(int32_t columns, int32_t rows) {
  const size_t cells = static_cast<size_t>(columns) * rows;
  const TrailPlanes* trails = GridTrails(columns, rows);
  if (trails != nullptr && LargerOld.capacity < cells) {
    uint8_t* grown = static_cast<uint8_t*>(PlatformAllocateZeroed(cells));
    if (grown != nullptr) {
      PlatformFreeZeroed(LargerOld.bytes);
      LargerOld = OldCells{grown, cells};
    }
  }
  const bool keepOld = trails != nullptr && LargerOld.capacity >= cells;
  if (keepOld) std::memcpy(LargerOld.bytes, Grid.LiveCells, cells);
  StepLarger(Grid.LiveCells, Grid.decay, Grid.SnapshotCells, columns, rows, Field.Rule.larger, Field.Rule.states);
  if (!keepOld) return;
  for (size_t k = 0; k < cells; ++k) {
    const uint8_t old = LargerOld.bytes[k];
    const int8_t action = static_cast<int8_t>((Grid.LiveCells[k] & 1) - (old & 1));
    TrailStep(old, action, trails->age + k, trails->fade + k, *trails);
  }
}

void StepGeneration(int32_t columns, int32_t rows) {
  if (!GridFits(columns, rows)) return;
  const bool madeAhead = StepAhead.cells == Grid.LiveCells && StepAhead.columns == columns && StepAhead.rows == rows;
  DropStepAhead();
  if (madeAhead) return;  // counted and marked when it was made
  FieldChanged();
  if (Field.Rule.kind == RuleLarger) {
    StepLargerField(columns, rows);
    return;
  }
  const GridKernels* kernels = RowKernels(columns);
  if (kernels != nullptr) {
    uint8_t* marks = MarksFor(columns, rows);
    kernels->step(Grid.LiveCells, KernelScratch(), columns, rows, &Field.RuleActions, marks,
                  GridTrails(columns, rows), Grid.decay);
    if (marks != nullptr) MarksMade(columns, rows);
    return;
  }
  const TrailPlanes* trails = GridTrails(columns, rows);
  const size_t cells = static_cast<size_t>(columns) * rows;
  std::memcpy(Grid.SnapshotCells, Grid.LiveCells, cells);
  const uint8_t* snapshot = Grid.SnapshotCells;
  const KernelRule& rule = Field.RuleActions;
  for (int32_t y = 0; y < rows; ++y) {
    for (int32_t x = 0; x < columns; ++x) {
      const size_t i = static_cast<size_t>(y) * columns + x;
      const int8_t action = ActionIn(snapshot, x, y, columns, rows, rule);
      if (action > 0)
        SetCell(x, y, columns, rows);
      else if (action < 0)
        ClearCell(x, y, columns, rows);
      StepDecay(i, snapshot[i], action, rule.states);
      if (trails != nullptr) TrailStep(snapshot[i], action, trails->age + i, trails->fade + i, *trails);
    }
  }
}

bool PaintFrameAndStepAhead(int32_t columns, int32_t rows, const FramePaint& paint, int32_t* population) {
  // Larger than Life steps on its own: the frame is painted apart.
  if (!GridFits(columns, rows) || Field.Rule.kind == RuleLarger) return false;
  const GridKernels* kernels = RowKernels(columns);
  if (kernels == nullptr) return false;
  // A marked paint reads the last step's marks from the same buffer.
  uint8_t* marks = paint.marked || paint.markStep ? MarksFor(columns, rows) : nullptr;
  if (marks == nullptr && paint.marked) return false;
  *population = kernels->paintStep(Grid.LiveCells, KernelScratch(), columns, rows, &Field.RuleActions, &paint, marks,
                                   GridTrails(columns, rows), Grid.decay);
  FieldChanged();
  if (marks != nullptr) MarksMade(columns, rows);
  StepAhead = StepAheadState{Grid.LiveCells, columns, rows};
  return true;
}

KernelRule KernelRuleOf(uint16_t birth, uint16_t survive) {
  KernelRule rule = {};
  for (int32_t n = 0; n <= 8; ++n) {
    const uint8_t dead = static_cast<uint8_t>(2 * n), alive = static_cast<uint8_t>(2 * n + 1);
    if (birth & (1u << n)) {
      rule.action[dead] = 1;
      std::memset(rule.births[rule.birthCount++], dead, sizeof rule.births[0]);
    }
    if (survive & (1u << n))
      std::memset(rule.survivals[rule.survivalCount++], alive, sizeof rule.survivals[0]);
    else
      rule.action[alive] = -1;
  }
  rule.conway = (birth & 0x1FF) == 0x8 && (survive & 0x1FF) == 0xC;
  rule.states = 2;
  for (int32_t lane = 0; lane < 2; ++lane) {
    for (int32_t v = 0; v < 16; ++v) rule.low[16 * lane + v] = rule.action[v];
    rule.high[16 * lane] = rule.action[16];
    rule.high[16 * lane + 1] = rule.action[17];
  }
  return rule;
}

KernelRule KernelRuleFor(const CellRule& cellRule) {
  KernelRule rule = KernelRuleOf(cellRule.counts.birth, cellRule.counts.survive);
  rule.states = cellRule.states < 2 ? 2 : cellRule.states > RuleMaxStates ? RuleMaxStates : cellRule.states;
  if (cellRule.kind != RuleMapped) return rule;
  rule.mapped = true;
  rule.conway = false;
  // Golly's order of a block's cells against BlockIndex's: bit b of the
  // index is the cell of bit GollyBit[b] of the rule's number.
  static const int GollyBit[9] = {8, 5, 2, 7, 4, 1, 6, 3, 0};
  for (uint32_t j = 0; j < 512; ++j) {
    uint32_t k = 0;
    for (int b = 0; b < 9; ++b) k |= (j >> b & 1u) << GollyBit[b];
    const int alive = MapOutcome(cellRule, k) ? 1 : 0;
    rule.blockAction[j] = static_cast<int8_t>(alive - static_cast<int>(j >> 4 & 1));
    const uint32_t key = j & 15, m = j >> 4;
    if (alive)
      for (int lane = 0; lane < 2; ++lane) rule.blockTables[m >> 3][16 * lane + key] |= static_cast<uint8_t>(1u << (m & 7));
  }
  return rule;
}
