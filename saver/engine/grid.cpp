// The Life grid: its cell buffer, the engine's generator, the random fill and
// the generation step, on the row kernels where they take the grid.
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

static const GridKernels* ChosenKernels = nullptr;

const GridKernels* ActiveKernels() {
  if (ChosenKernels == nullptr) {
    const WideKernelSets wide = KernelSetsTheCpuRuns();
    ChosenKernels = wide.count > 0 ? wide.sets[wide.count - 1] : &PlainKernels;
  }
  return ChosenKernels;
}

void UseKernels(const GridKernels* kernels) { ChosenKernels = kernels; }

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
  return (v & CellDying) ? Grid.decay[i] : 0;
}

void SetCellState(int32_t x, int32_t y, int32_t state, int32_t columns, int32_t rows) {
  if (!GridFits(columns, rows) || x < 0 || y < 0 || x >= columns || y >= rows) return;
  const size_t i = static_cast<size_t>(y) * columns + x;
  uint8_t& v = Grid.LiveCells[i];
  if ((v & 1) != 0 && state != 1) ClearCell(x, y, columns, rows);
  if ((v & 1) == 0 && state == 1) SetCell(x, y, columns, rows);
  DropStepAhead();
  FieldChanged();
  const bool dying = state >= 2;
  v = static_cast<uint8_t>(dying ? (v | CellDying) : (v & ~CellDying));
  Grid.decay[i] = static_cast<uint8_t>(dying ? state : 0);
}

bool EngineRunsRule(const CellRule& rule) { return IsLifeLike(rule, nullptr); }

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

void ClearField(int32_t columns, int32_t rows) {
  if (!GridFits(columns, rows)) return;
  DropStepAhead();
  FieldChanged();
  std::memset(Grid.LiveCells, 0, static_cast<size_t>(columns) * rows);
  std::memset(Grid.decay, 0, static_cast<size_t>(columns) * rows);
}

void StepGeneration(int32_t columns, int32_t rows) {
  if (!GridFits(columns, rows)) return;
  const bool madeAhead = StepAhead.cells == Grid.LiveCells && StepAhead.columns == columns && StepAhead.rows == rows;
  DropStepAhead();
  if (madeAhead) return;  // counted and marked when it was made
  FieldChanged();
  const GridKernels* kernels = RowKernels(columns);
  if (kernels != nullptr) {
    uint8_t* marks = MarksFor(columns, rows);
    kernels->step(Grid.LiveCells, KernelScratch(), columns, rows, &Field.RuleActions, marks,
                  GridTrails(columns, rows));
    if (marks != nullptr) MarksMade(columns, rows);
    return;
  }
  const TrailPlanes* trails = GridTrails(columns, rows);
  const size_t cells = static_cast<size_t>(columns) * rows;
  std::memcpy(Grid.SnapshotCells, Grid.LiveCells, cells);
  const uint8_t* snapshot = Grid.SnapshotCells;
  for (int32_t y = 0; y < rows; ++y) {
    for (int32_t x = 0; x < columns; ++x) {
      const int8_t action = CellAction(Field.RuleActions, *snapshot++);
      if (action > 0)
        SetCell(x, y, columns, rows);
      else if (action < 0)
        ClearCell(x, y, columns, rows);
    }
  }
  if (trails != nullptr)
    for (size_t k = 0; k < cells; ++k)
      TrailStep(Grid.SnapshotCells[k], CellAction(Field.RuleActions, Grid.SnapshotCells[k]), trails->age + k,
                trails->fade + k, *trails);
}

bool PaintFrameAndStepAhead(int32_t columns, int32_t rows, const FramePaint& paint, int32_t* population) {
  if (!GridFits(columns, rows)) return false;
  const GridKernels* kernels = RowKernels(columns);
  if (kernels == nullptr) return false;
  // A marked paint reads the last step's marks from the same buffer.
  uint8_t* marks = paint.marked || paint.markStep ? MarksFor(columns, rows) : nullptr;
  if (marks == nullptr && paint.marked) return false;
  *population = kernels->paintStep(Grid.LiveCells, KernelScratch(), columns, rows, &Field.RuleActions, &paint, marks,
                                   GridTrails(columns, rows));
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
  for (int32_t lane = 0; lane < 2; ++lane) {
    for (int32_t v = 0; v < 16; ++v) rule.low[16 * lane + v] = rule.action[v];
    rule.high[16 * lane] = rule.action[16];
    rule.high[16 * lane + 1] = rule.action[17];
  }
  return rule;
}
