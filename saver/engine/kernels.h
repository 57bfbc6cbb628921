// Wide-register kernels behind the grid and the one-pixel classic painting.
// There is one set per instruction set: on x86 SSE2 always and AVX2 where
// the CPU runs it, on arm64 NEON. The widest usable set is chosen once, at
// first use; every set gives the same bytes and pixels as the plain
// one-cell-at-a-time rules.
//
// The x86 sets are built only for x86 targets (i686 and x86_64, natively and
// with MinGW): there the build defines TUMBRA_X86_KERNELS (the CMake variable
// of the same name says so to the build files), and so guards any code or
// source file that uses x86 intrinsics. TUMBRA_NEON_KERNELS does the same
// for arm64 and NEON. Elsewhere the plain rules step every grid and the
// plain set below paints the rows.
#pragma once

#include <cstddef>
#include <cstdint>

// What a step changed, kept for the next frame: one byte per segment of
// MarkSegment cells of each row, nonzero when the colour of any of its cells
// changed (a live cell's count or life; a dead cell's count shows nothing).
const int32_t MarkSegment = 32;

// A cell's byte: bit 0 alive, bits 1..4 its live Moore neighbours, and bit 5
// set while it is dying (rules with dying states; see engine.h). A rule of
// the 3 x 3 block with four states keeps a dying cell's state in the byte
// as well, bit 6 (CellLater) set in state 3: the step and the painters then
// read and write no decay plane.
const uint8_t CellDying = 0x20;
const uint8_t CellLater = 0x40;
// Whether a rule keeps its dying states in the decay plane: more than four
// states, or Larger than Life's more than two (its step keeps them there).
static inline bool StatesInPlane(int32_t states, bool larger) { return states > 4 || (larger && states > 2); }
// A dying cell's state where the rule keeps no decay plane: 2, or 3 in a
// four-state rule of the 3 x 3 block.
static inline uint8_t ByteState(uint8_t v) { return static_cast<uint8_t>(2 + ((v & CellLater) >> 6)); }
// Cell i's dying state: from the decay plane, or null where its byte holds it.
static inline uint8_t DyingState(const uint8_t* cells, const uint8_t* decay, size_t i) {
  return decay != nullptr ? decay[i] : ByteState(cells[i]);
}
// Static, so that the AVX2 kernels' object shares no symbol with the others
// (see kernels_avx2.cpp).
static inline int32_t MarkSegments(int32_t columns) { return (columns + MarkSegment - 1) / MarkSegment; }

// ---- Trails and colour by age ------------------------------------------------
// Two planes of one byte per cell beside the field. The age plane holds a
// live cell's generations alive (0 newborn, up to TrailOldest) and a dead
// cell's colour row: the colour it showed last while alive. The fade plane
// holds a dead cell's generations of fading still to come (0: it shows the
// dead colour); a live cell's is 0.
const int32_t TrailOldest = 8;
const int32_t TrailRows = TrailOldest + 1;  // colour rows 0..8
const int32_t TrailSteps = 256;             // shades per colour row
// The colours a frame with trails paints from: TrailShadeCount values, row r
// at r x TrailSteps. Shade 0 of a row is its full colour, shade f > 0 the
// colour of a dead cell with f generations of fading to come; the last
// value is the dead colour.
const int32_t TrailShadeCount = TrailRows * TrailSteps + 1;

// A fading cell's colour is a blend of the colour it showed and the dead
// colour, in whole parts of TrailWeightWhole: with f generations of fading
// to come (of fade), f x TrailWeightFactor(fade) / 256 parts of its colour.
// The wide painters blend in those parts themselves; the others look the
// same blends up in the shades.
const int32_t TrailWeightBits = 6;
const int32_t TrailWeightWhole = 1 << TrailWeightBits;
static inline int32_t TrailWeightFactor(int32_t fade) { return (TrailWeightWhole << 8) / (fade + 1); }
static inline int32_t TrailWeight(int32_t f, int32_t fade) {
  return ((f < fade ? f : fade) * TrailWeightFactor(fade)) >> 8;
}

struct TrailPlanes {
  uint8_t* age;
  uint8_t* fade;
  int32_t fadeSteps;  // generations a dead cell fades over, 0..255
  bool byAge;         // live cells coloured by age, not by neighbour count
};

// One cell's planes through a step (old: its byte before, action: the
// rule's +1 born, -1 dies, 0 stays). True when its colour may change beyond
// what its byte shows: a fading step, or an ageing live cell.
static inline bool TrailStep(uint8_t old, int8_t action, uint8_t* age, uint8_t* fade, const TrailPlanes& trails) {
  const uint8_t a = *age, f = *fade;
  const bool was = (old & 1) != 0, now = (old & 1) + action == 1;
  uint8_t a2 = a, f2 = 0;
  if (now) {
    a2 = !was ? 0 : static_cast<uint8_t>(a < TrailOldest ? a + 1 : TrailOldest);
  } else if (was) {
    if (!trails.byAge) a2 = static_cast<uint8_t>((old >> 1) & 7);
    f2 = static_cast<uint8_t>(trails.fadeSteps);
  } else {
    // A fade shortened meanwhile holds from now on, as if it had been.
    const int32_t left = f < trails.fadeSteps ? f : trails.fadeSteps;
    f2 = static_cast<uint8_t>(left > 0 ? left - 1 : 0);
  }
  *age = a2;
  *fade = f2;
  return f2 != f || (trails.byAge && a2 != a);
}

// A cell's pixel by its byte and planes.
static inline uint32_t TrailPixel(uint8_t v, uint8_t a, uint8_t f, const uint32_t* shades, bool byAge) {
  const int32_t row = a < TrailOldest ? a : TrailOldest;
  if (v & 1) return shades[(byAge ? row : (v >> 1) & 7) * TrailSteps];
  return f != 0 ? shades[row * TrailSteps + f] : shades[TrailRows * TrailSteps];
}

// Pixels x0..x1-1 of a row from its cells and planes.
static inline void PaintTrailPixels(const uint8_t* cells, const uint8_t* age, const uint8_t* fade, uint32_t* pixels,
                                    int32_t x0, int32_t x1, const uint32_t* shades, bool byAge) {
  for (int32_t x = x0; x < x1; ++x) pixels[x] = TrailPixel(cells[x], age[x], fade[x], shades, byAge);
}

// A one-pixel frame painted by a pass over the field.
struct FramePaint {
  uint8_t* top;            // the first pixel of row 0
  int32_t stride;          // bytes from one pixel row to the one below
  int32_t visibleColumns;  // cells with a pixel in each row
  int32_t visibleRows;     // rows with pixels
  const uint32_t* live;    // live colours by neighbour count 0..7
  uint32_t dead;
  bool stream;             // store past the caches
  // Paint only the segments the last step marked (the rest of the frame
  // already shows them), and note each painted one in the damage map: tiles
  // of MarkSegment x 2^damageRowShift pixels, damageStride bytes a row.
  bool marked;
  uint8_t* damage;
  int32_t damageStride;
  int32_t damageRowShift;
  // Mark what the step ahead changes, for the next frame to paint only that.
  // Frames drawn back to back never read the marks: they skip the cost.
  bool markStep;
  // With trails (and planes given to the pass): the colours by the planes
  // (see TrailPixel); null: by the bytes alone, live and dead.
  const uint32_t* shades = nullptr;
  // Without trails, a rule with dying states paints them from the shades
  // too (see DyingPixel): its state count (2: none) and its decay plane
  // (null where the bytes hold the states, see StatesInPlane).
  int32_t states = 2;
  const uint8_t* decay = nullptr;
};

// A Life-like rule as a step applies it: what happens to a cell of each byte
// value (2 x live neighbours + alive), +1 born, -1 dies, 0 stays. Bytes above
// 17, which no field holds, count as 8 neighbours: as 16 or 17 by their life.
struct KernelRule {
  int8_t action[18];
  // The same for the register look-ups: the actions of bytes 0..15, and of
  // 16 and 17 (then zeros), each once for every 16-byte lane.
  int8_t low[32];
  int8_t high[32];
  // For look-ups by comparison: the bytes that are born, and those that live
  // on, each repeated across a 16-byte register.
  uint8_t births[9][16];
  uint8_t survivals[9][16];
  int32_t birthCount;
  int32_t survivalCount;
  bool conway;  // B3/S23, which the kernels know by heart
  // 2, or more for a rule with dying states: a live cell that dies starts
  // dying (state 2), a dying cell moves on a state a generation and is then
  // dead, and no dying cell is born.
  int32_t states;
  // A rule of the 3 x 3 block: the action of each block by its index
  // (BlockIndex), and the same as byte tables for the wide look-ups: bit b
  // of byte k of table t is the outcome of the block k | (b | t << 3) << 4,
  // each table once for every 16-byte lane.
  bool mapped;
  int8_t blockAction[512];
  uint8_t blockTables[4][32];
};
// Bit k of birth: a dead cell with k live neighbours is born; bit k of
// survive: a live one with k lives on (bits 0..8).
KernelRule KernelRuleOf(uint16_t birth, uint16_t survive);
// The action of a cell by its byte alone (not for mapped rules). Without
// dying states every byte has one: bytes above 17, which no field holds,
// act as 16 or 17.
static inline int8_t CellAction(const KernelRule& rule, uint8_t v) {
  if (rule.states > 2 && (v & CellDying)) return 0;
  return rule.action[v < 18 ? v : 16 | (v & 1)];
}
// A cell's 3 x 3 block as a number: the live bits of its columns, left to
// right, each column's three (up, the cell's row, down) as bits 0..2:
// c(x - 1) | c(x) << 3 | c(x + 1) << 6.
static inline uint32_t BlockIndex(uint32_t left, uint32_t middle, uint32_t right) {
  return left | middle << 3 | right << 6;
}
static inline uint32_t ColumnCode(uint8_t up, uint8_t row, uint8_t down) {
  return (up & 1u) | (row & 1u) << 1 | (down & 1u) << 2;
}
// What a dying cell shows: the colour row of its count faded by its state,
// as a trail fades (fade states - 2), f = states - state generations of it
// left; a live cell its row's full colour, a dead one the dead colour.
static inline uint32_t DyingPixel(uint8_t v, uint8_t state, const uint32_t* shades, int32_t states) {
  if (v & 1) return shades[((v >> 1) & 7) * TrailSteps];
  if ((v & CellDying) == 0) return shades[TrailRows * TrailSteps];
  return shades[((v >> 1) & 7) * TrailSteps + (states - state)];
}

struct GridKernels {
  const char* name;
  // Bytes per register: rows narrower than this go to a narrower set.
  int32_t width;
  // One generation of the rule in place, for columns >= width and any rows >= 1; scratch
  // holds KernelScratchBytes(columns) bytes and is left undefined. Marks,
  // when given (rows x MarkSegments(columns) bytes), get what it changed.
  // Trails, when given, have their planes stepped too (TrailStep), and the
  // marks take the cells whose shade moves.
  // With dying states the decay plane steps too.
  void (*step)(uint8_t* cells, uint8_t* scratch, int32_t columns, int32_t rows, const KernelRule* rule,
               uint8_t* marks, const TrailPlanes* trails, uint8_t* decay);
  // Paints the field as it is into the frame (with paint->marked, only what
  // the marks of the last step name), steps it as step does, and returns the
  // number of live cells painted (all of them, visible or not).
  int32_t (*paintStep)(uint8_t* cells, uint8_t* scratch, int32_t columns, int32_t rows, const KernelRule* rule,
                       const FramePaint* paint, uint8_t* marks, const TrailPlanes* trails, uint8_t* decay);
  // Writes every byte of the field from a bitmap of its live cells (bit x % 8
  // of byte x / 8 of each row of rowBytes bytes, which may be read up to 8
  // bytes past its end): 2 x live neighbours + alive. Same scratch as step.
  void (*countMarks)(uint8_t* cells, const uint8_t* bits, int32_t rowBytes, uint8_t* scratch, int32_t columns,
                     int32_t rows);
  // Makes `draws` random draws of a cell (x = next mod columns, then
  // y = next mod rows) and sets its bit in such a bitmap; *state moves on by
  // 2 x draws values. Takes columns and rows up to KernelDrawLimit.
  void (*markDraws)(uint8_t* bits, int32_t rowBytes, uint32_t* state, int32_t columns, int32_t rows,
                    int64_t draws);
  // pixels[i] := live[(cells[i] >> 1) & 7] when bit 0 of cells[i] is set,
  // else dead; returns the number of live cells. `stream` asks for stores
  // that bypass the caches (for surfaces far larger than them).
  int32_t (*paintRow)(const uint8_t* cells, uint32_t* pixels, int32_t count, const uint32_t* live, uint32_t dead,
                      bool stream);
  // The number of bytes with bit 0 set.
  int32_t (*countAlive)(const uint8_t* cells, int32_t count);
  // to[i] := from[i] for count pixels; `stream` as for paintRow.
  void (*copyPixels)(uint32_t* to, const uint32_t* from, int32_t count, bool stream);
};

// Scratch the step and the fill's count need for rows of `columns` cells.
inline size_t KernelScratchBytes(int32_t columns) { return 14 * (static_cast<size_t>(columns) + 128); }
// The largest column or row count markDraws takes (a row of bits is then
// still below 2^15).
const int32_t KernelDrawLimit = 32760;

#ifdef TUMBRA_X86_KERNELS
extern const GridKernels Sse2Kernels;
extern const GridKernels Avx2Kernels;
#endif
#ifdef TUMBRA_NEON_KERNELS
extern const GridKernels NeonKernels;
#endif
// The row painters one cell at a time, for CPUs without a wide set. It has
// no step, fill or pass of its own: with it in use the plain rules step
// every grid.
extern const GridKernels PlainKernels;

bool CpuRunsAvx2();
// The wide sets this CPU runs, narrowest first: none without them.
struct WideKernelSets {
  const GridKernels* sets[2];
  int32_t count;
};
WideKernelSets KernelSetsTheCpuRuns();
// The set in use: chosen from the CPU on the first call (the plain set
// where it runs no wide one).
const GridKernels* ActiveKernels();
// The set for rows of `columns` cells: the active one, or the narrowest wide
// set for rows narrower than its registers, or null when even those are too
// wide (or there is none).
const GridKernels* KernelsForColumns(int32_t columns);
// Replaces the chosen set (tests compare every set the CPU runs).
void UseKernels(const GridKernels* kernels);
// AVX-512 VBMI's byte permutes, on 32-byte registers: where the CPU runs
// them, the AVX2 set paints the dying states of three and four-state rules
// of the 3 x 3 block with one look-up a colour byte. Tests turn them off
// (false) to check the shuffles that paint them elsewhere.
bool CpuRunsAvx512Vbmi();
bool DyingPermutesInUse();
void UseDyingPermutes(bool wanted);

// A one-pixel classic frame reads every cell, and the step that follows it
// reads them all again. When the kernels take the grid, both are done in one
// pass: the frame is painted from the field as it is, the next generation is
// made in place, and the following StepGeneration of the same grid takes it
// instead of stepping again. Any other change of the grid (a fill, a set or
// cleared cell) drops it: a reset after the frame starts from its own fill,
// which does not depend on the field. False (nothing done) when the kernels
// do not take a grid of that size.
bool PaintFrameAndStepAhead(int32_t columns, int32_t rows, const FramePaint& paint, int32_t* population);
// Forgets a generation made ahead that was not taken.
void DropStepAhead();
