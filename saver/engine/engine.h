// The saver engine: the Life grid with its generator, and the stagnation
// rule that tells a developing field from a settled one. Nothing here draws.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/kernels.h"
#include "engine/rule.h"
#include "platform/names.h"
#include "platform/platform.h"

// ---- Life grid -------------------------------------------------------------
// One byte per cell: 2 x live-neighbour count + alive (0..17), row-major,
// wrapping on both axes. The grid in use is columns x rows; the buffer has
// room for one cell per surface pixel.
//
// Rules with dying states (Generations, Larger than Life with C > 2) add to
// that: bit 5 (CellDying) of a cell is set while it is dying, and the decay
// plane holds its state (2 .. states - 1), or, for three states and for four
// under a rule of the 3 x 3 block, the byte itself (see StatesInPlane in
// engine/kernels.h: bit 6 set in state 3; every decay byte is then 0). Only
// live cells (bit 0, state 1) count as neighbours, so bits 1..4 stay the
// count of the live cells among the Moore eight whatever the rule, and a
// dying cell's byte is CellDying + 2 x count. Every other cell's decay byte
// is 0.
struct CellGrid {
  uint8_t* LiveCells;
  uint8_t* SnapshotCells;
  size_t capacity;  // bytes of each half
  // What the last step changed, for the next frame to paint only that:
  // rows x MarkSegments(columns) bytes (see engine/kernels.h).
  uint8_t* ChangeMarks;
  size_t marksCapacity;
  int32_t markedColumns;  // the grid size the marks were made for
  int32_t markedRows;
  uint32_t changes;       // counts every change of the field: steps, fills, cells set or cleared
  uint32_t markedChange;  // the count the last marking step left; marks hold while it is current
  // Trails and colour by age: the planes (one byte a cell each, after the
  // marks) and what the steps keep in them.
  TrailPlanes trails;
  bool trailsKept;  // the planes belong to the field as it is, of this size:
  int32_t trailColumns;
  int32_t trailRows;
  // Dying cells' states, one byte a cell in the layout of LiveCells.
  uint8_t* decay;
};
extern CellGrid Grid;

struct NeighbourStep {
  int32_t left;
  int32_t right;
  int32_t up;
  int32_t down;
};

// Allocates the zero-filled buffer of both halves; ends the process with
// exit code 1 when there is no memory.
void AllocateCellGrid(size_t cells);
// Frees the buffer (a view that changes size gets a new one).
void ReleaseCellGrid();
// True when a grid of columns x rows is non-empty and fits the buffer; the
// grid operations do nothing for any other size.
bool GridFits(int32_t columns, int32_t rows);

NeighbourStep NeighbourOffsets(int32_t x, int32_t y, int32_t columns, int32_t rows);
void SetCell(int32_t x, int32_t y, int32_t columns, int32_t rows);
void ClearCell(int32_t x, int32_t y, int32_t columns, int32_t rows);
// A cell's state: 0 dead, 1 alive, 2 .. dying (see above).
int32_t CellState(int32_t x, int32_t y, int32_t columns, int32_t rows);
// Whether the field's rule keeps its dying states in the decay plane.
bool DecayPlaneInUse();
// Gives a cell a state (0..255; a dying state of a rule of fewer states is
// the caller's to avoid), keeping the counts of its neighbours.
void SetCellState(int32_t x, int32_t y, int32_t state, int32_t columns, int32_t rows);
void RandomFill(int32_t columns, int32_t rows);
// The field as a window of a larger one (the plane's cells): window holds
// (columns + 2) x (rows + 2) cells of 0 or 1, rows `stride` bytes apart, the
// field's cells and a border of one around them; the grid takes the inner
// ones with their live neighbours counted.
void SetGridFromWindow(const uint8_t* window, size_t stride, int32_t columns, int32_t rows);
// Kills every cell within `edge` of the field's sides (a bounded plane's
// outside, kept dead), keeping the counts of their neighbours.
void ClearGridBorder(int32_t columns, int32_t rows, int32_t edge);
// An empty field, for cells to be set on.
void ClearField(int32_t columns, int32_t rows);
void StepGeneration(int32_t columns, int32_t rows);
// What the steps keep in the planes from now on (fade 0..255 generations,
// live cells coloured by age or not); with neither, the planes are let go.
void UseTrails(int32_t fade, bool byAge);
// A new field: its live cells are all newborn, and no dead cell fades.
void RestartTrails();
// The planes of a columns x rows field, made ready for painting and
// stepping; null when the trails are off or the grid does not fit.
const TrailPlanes* GridTrails(int32_t columns, int32_t rows);
// The marks of the field's one change since the count `painted`, when that
// change was a step of a columns x rows grid that left marks; else null.
uint8_t* MarksSince(uint32_t painted, int32_t columns, int32_t rows);

// One generation of a Larger than Life rule of `states` states on the
// columns x rows torus `cells`, in the grid's form above (with its decay
// plane); `snapshot` has room for columns x rows bytes and is left undefined.
// Every byte and decay byte then holds the next generation in the same form.
// The cost of a generation does not grow with the rule's range, but for the
// circular neighbourhood's (O(range) a cell). Without memory for its sums
// the step leaves the field as it is.
void StepLarger(uint8_t* cells, uint8_t* decay, uint8_t* snapshot, int32_t columns, int32_t rows,
                const LargerThanLife& rule, int32_t states);

// Why the engine runs no field under this rule, as the end of a sentence
// about it ("its grid is a Klein bottle, which tumbra does not run"); null
// when it runs them.
const char* EngineRefusal(const CellRule& rule);
inline bool EngineRunsRule(const CellRule& rule) { return EngineRefusal(rule) == nullptr; }
// A rule as the steps apply it.
KernelRule KernelRuleFor(const CellRule& rule);
// What the field's rule does to a cell at the coming step: +1 born, -1 dies,
// 0 stays (a dying cell moving on is no action).
int8_t CellActionAt(int32_t x, int32_t y, int32_t columns, int32_t rows);

// The engine's generator: 214013 x state + 2531011, bits 16..30.
void LcgSeed(uint32_t seed);
int32_t LcgNext();

// ---- Stagnation and reset --------------------------------------------------

struct PopulationHistory {
  int32_t p1;
  int32_t p2;
  int32_t p3;
  uint32_t ResetDeadline;
};

// A pattern field has settled when its shape recurs: its live cells as they
// were some generations before, in place (an oscillator) or moved (a ship
// on the torus), the period at most ShapePeriodLimit. Soups keep the
// population rule above.
const int32_t ShapePeriodLimit = 128;
// A period counts once this many generations in a row repeat it.
const int32_t ShapeRepeats = 8;
struct ShapeHistory {
  uint64_t hashes[ShapePeriodLimit + ShapeRepeats];  // the last ones, by generation mod their count
  uint32_t count;                                     // generations hashed since the field started
  uint32_t SettleDeadline;                            // a settled field is replaced once this has passed
};
// The field's generator and counters. ResetFieldState is its one reset.
struct FieldState {
  // 64-bit: a field on the plane, stepped 2^N generations a frame, passes
  // 2^31 within hours, and one on the torus within weeks.
  int64_t Generation;               // of the field shown, from 1
  int64_t Population;               // live cells the last step left
  int32_t ResetCount;               // fields made since start
  int32_t SeedInUse;                // the generator's seed at start
  uint32_t LcgState;                // the generator's state
  PopulationHistory ClassicHistory;   // stagnation rule, classic frames
  PopulationHistory AnimatedHistory;  // stagnation rule, lifeface transitions
  CellRule Rule;                      // the rule the field runs under
  KernelRule RuleActions;             // the same as each step applies it
  char PatternName[NameTextSize];     // the pattern the field started from; "" for a random field
  ShapeHistory Shapes;                // pattern fields: the shapes they went through
  uint32_t ShownUntil;                // pattern fields: replaced once this tick count has passed
  bool OnPlane;                       // the field is the plane's pattern, not the grid's
  int32_t StepLog;                    // on the plane: the step last taken, 2^StepLog generations
  // A pattern whose rule names a grid of its own runs on it: a torus of
  // GridColumns x GridRows, or a bounded plane of that less a border of
  // GridEdge cells (the rule's reach) kept dead on each side. 0: the view's.
  int32_t GridColumns;
  int32_t GridRows;
  int32_t GridEdge;
};
extern FieldState Field;
// Generation 1, nothing counted, no history, Conway's rule: the next
// boundary makes a field.
void ResetFieldState();
// The rule the steps apply from now on (B0 is never taken: see rule.h).
void UseRule(const CellRule& rule);
void UseRule(LifeRule rule);

// True when the field is still developing (step it), false when it has been
// stagnant past its deadline (reset it). Pushes the deadline on for a new
// nonzero population.
bool PopulationDeveloping(PopulationHistory* history, int32_t population);
// Pushes the history on, steps the grid and the counters.
void AdvanceField(PopulationHistory* history, int32_t columns, int32_t rows, int32_t population);
// A new field starts with no populations behind it (its deadline stays).
void ForgetHistory(PopulationHistory* history);

// A hash of the field's live cells that a move on the torus does not change:
// the populations of its rows and of its columns, each next to its
// neighbour, as sets.
uint64_t FieldShapeHash(int32_t columns, int32_t rows);
// As PopulationDeveloping, by the shape: true while no shape of the last
// ShapePeriodLimit generations recurs, or until `reset` ms after one does.
bool ShapeDeveloping(ShapeHistory* history, uint64_t hash);
void ForgetShapes(ShapeHistory* history);
