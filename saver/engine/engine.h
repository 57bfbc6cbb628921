// The saver engine: the Life grid with its generator, the stagnation rule
// that replaces a settled field, and the paced frame loop.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// ---- Life grid -------------------------------------------------------------
// One byte per cell: 2 x live-neighbour count + alive (0..17), row-major,
// wrapping on both axes. The grid in use is columns x rows; the buffer has
// room for one cell per surface pixel.
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
void RandomFill(int32_t columns, int32_t rows);
void StepGeneration(int32_t columns, int32_t rows);
// The marks of the field's one change since the count `painted`, when that
// change was a step of a columns x rows grid that left marks; else null.
uint8_t* MarksSince(uint32_t painted, int32_t columns, int32_t rows);

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
// The field's generator and counters. ResetFieldState is its one reset.
struct FieldState {
  int32_t Generation;               // of the field shown, from 1
  int32_t Population;               // live cells the last step left
  int32_t ResetCount;               // fields made since start
  int32_t SeedInUse;                // the generator's seed at start
  uint32_t LcgState;                // the generator's state
  PopulationHistory ClassicHistory;   // stagnation rule, classic frames
  PopulationHistory AnimatedHistory;  // stagnation rule, lifeface transitions
};
extern FieldState Field;
// Generation 1, nothing counted, no history: the next boundary makes a field.
void ResetFieldState();

// True when the field is still developing (step it), false when it has been
// stagnant past its deadline (reset it). Pushes the deadline on for a new
// nonzero population.
bool PopulationDeveloping(PopulationHistory* history, int32_t population);
// Pushes the history on, steps the grid and the counters.
void AdvanceField(PopulationHistory* history, int32_t columns, int32_t rows, int32_t population);
// Classic variant, called after a classic frame has been drawn.
void AdvanceOrReset(int32_t columns, int32_t rows, int32_t population);
// Animated variant, called at the end of a transition with the population the
// coming step will leave. A reset may move on to the next lifeface.
void AdvanceOrReset(WindowHandle window, int32_t columns, int32_t rows, int32_t nextPopulation);
// A new random field: generation 1, population 0, transition restarted.
void ResetField(int32_t columns, int32_t rows);

// ---- Frame loop --------------------------------------------------------------

enum : uint32_t { SuspendTick = 1u };

struct FrameLayout {
  bool animated;
  int32_t cellSize;  // pixels of one cell on the surface
  int32_t scale;     // animated: tile pixel scale
  int32_t columns;
  int32_t rows;
};

// The overlay's frame-rate measure.
struct FrameRateMeter {
  uint32_t lastOverlayTime;
  uint32_t intervalSum;
  uint32_t intervalCount;
};

// When frames are due. ResetSchedule is its one reset.
struct FrameSchedule {
  uint32_t NextFrameTime;  // tick count the next frame is due at
  uint32_t SuspendFlags;   // SuspendTick: paints present but compute nothing
  FrameRateMeter FrameRate;
  uint32_t LastRepairTime;  // the last time all of the surface went to the window
};
extern FrameSchedule Schedule;
void ResetSchedule();

// Live colours for neighbour counts 0..8, then the dead colour.
const int PaletteSize = 10;
const int DeadColour = 9;

// What the frames are drawn into and for. ReleaseView is its one reset.
struct EngineView {
  int32_t ClientWidth;   // the window's client area: cell counts come from it
  int32_t ClientHeight;
  FrameSurface* Surface;  // the frame, both sides raised to multiples of 256
  FontHandle OverlayFont;
  uint32_t Palette[PaletteSize];
  FrameLayout DrawnLayout;  // of the last frame drawn
};
extern EngineView View;
// Frees the surface (natively also the grid) and forgets the view.
void ReleaseView();

inline int32_t Align256(int32_t x) { return static_cast<int32_t>((static_cast<uint32_t>(x) + 255u) & ~255u); }
// Cells of size q across x pixels: alignup(x, q) / q.
int32_t CellCount(int32_t pixels, int32_t cellSize);
// The largest scale exponents the frames take: a classic cell is never larger
// than the surface's 256-pixel alignment, a tile is drawn at most 8 times.
const int32_t MaxClassicScale = 8;
const int32_t MaxAnimatedScale = 3;
// The classic cell size, 1 << cscale with cscale kept to 0..MaxClassicScale.
int32_t ClassicCellSize();
// The tile scale of Animated Mode, 1 << ascale with ascale kept to 0..MaxAnimatedScale.
int32_t AnimatedScale();
// How the next frame will lay out the cells: Animated Mode when a lifeface
// can be shown, classic otherwise.
FrameLayout CurrentLayout();

// Start-up from the saver's own sources: the catalogue "tumbra.ini" found the
// system's way and the settings store; then StartEngine.
void InitEngine(WindowHandle window, int32_t surfaceWidth, int32_t surfaceHeight);
// Start-up from whatever catalogue and settings are loaded: a front end loads
// them from its own places (LoadCatalogue with a path, LoadSettings or its
// own values) and calls this. Seeds the generator; the first call also draws
// a random lifeface, makes the surface of the given size, loads the lifeface,
// the grid and the font. Every call resolves the palette, clears the surface
// and makes the next frame due at once.
void StartEngine(WindowHandle window, int32_t surfaceWidth, int32_t surfaceHeight);
// A window of a new client size: a new surface and grid and a fresh field.
void ResizeView(WindowHandle window, int32_t clientWidth, int32_t clientHeight);

// Milliseconds until the next frame is due; 0 when it is due or late.
uint32_t FrameDueIn(uint32_t now);
// Computes the frame due at `now` and schedules the next one: half of any
// lateness comes off the next period.
void DrawDueFrame(WindowHandle window, uint32_t now);
// One paint message's share of the loop: early, it waits until the frame is
// due (at most 50 ms, and input ends the wait); then, if the frame is due, it
// draws it. True when it drew a frame.
bool FrameTick(WindowHandle window);
// Copies to the window what the frames changed since the last copy, and
// once a second all of the surface; nothing when nothing changed.
void PresentFrame(WindowHandle window);
