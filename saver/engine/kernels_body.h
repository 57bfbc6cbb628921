// The kernels written once over a register type. An instruction-set file
// defines its operations record `Ops` and then includes this file, so each
// file compiles its own copy with its own instructions; everything here has
// internal linkage for that reason.
//
// The step rests on two facts of the plain rule: every decision reads the
// snapshot, and the +-2 updates commute. So the change a generation makes to
// a byte is fixed by the actions of the 3 x 3 block around it: with
// a = +1 for a birth, -1 for a death, else 0 (the rule's action of the byte),
//   new = old + 2 x (sum of a over the 3 x 3 block) - a(self)
// (the cell's own bit moves by a, each neighbour's count by 2a). That holds
// byte for byte whatever the bytes are, torus wrap and all, one-wide tori
// included. The fill marks its live cells in a bitmap and counts them once:
//   new = 2 x (sum of marks over the 3 x 3 block) - mark(self).
// A one-pixel frame can be painted in the same pass, each row from its
// bytes just before they are replaced, so the field is read only once.
//
// Rows are summed across once (h = a[x-1] + a[x] + a[x+1], wrapping), and
// each new row adds the three sums of the rows above, at and below it. The
// step updates the grid in place: the rows below row y are read before row y
// is written, and the first and last rows before anything is.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/kernels.h"

namespace {

// Defined by the instruction-set file after this one.
int32_t PaintPixelRow(const uint8_t* cells, uint32_t* pixels, int32_t count, const uint32_t* live, uint32_t dead,
                      bool stream);
int32_t CountAliveRow(const uint8_t* cells, int32_t count);
// The pixels of W cells from their shade numbers, high byte (the row) and
// low byte (the fade) apart.
void StoreShades(Ops::V high, Ops::V low, const Ops::ShadeRegs& regs, uint32_t* pixels);
// The same with trails, from the cells' life (a mask), the rows they show
// alive and dead (see PaintTrailChunk) and their fades to come.
void StoreTrailShades(Ops::V alive, Ops::V liveRow, Ops::V deadRow, Ops::V fade, const Ops::ShadeRegs& regs,
                      uint32_t* pixels);
// Paints only the segments of MarkSegment cells whose mark is nonzero.
void PaintMarkedSegments(const uint8_t* cells, uint32_t* pixels, int32_t count, const uint32_t* live, uint32_t dead,
                         bool stream, const uint8_t* marks);
// The actions of a row of a rule of the 3 x 3 block from its column codes
// (ColumnCode, with the wrapped neighbours at codes[-1] and codes[columns]).
// Returns nonzero when any action is.
bool BlockActions(const uint8_t* codes, uint8_t* actions, int32_t columns, const KernelRule& rule);
// Cells x0..x1-1 of a row of a rule with dying states, without trails (see
// DyingPixel; decay is null when the bytes hold the states). `stream` as for
// paintRow. Returns the live cells.
int32_t PaintDyingCells(const uint8_t* cells, const uint8_t* decay, uint32_t* pixels, int32_t x0, int32_t x1,
                        const Ops::ShadeTable& table, int32_t states, bool stream);

typedef Ops::V V;
const int W = Ops::Width;
// Room kept before and after a row of actions for the wrapped neighbours.
const int Pad = 64;

// Nonzero where a cell's colour may have changed: a cell alive before or
// after whose life or count changed (a dead cell's count shows nothing).
inline V ColourChange(V old, V now) {
  const V one = Ops::Splat(1);
  const V lived = Ops::Eq(Ops::And(Ops::Or(old, now), one), one);
  return Ops::And(Ops::And(Ops::Xor(old, now), Ops::Splat(15)), lived);
}

// The same where cells die through states: a dying cell shows its count's
// colour faded, so its count and its dying matter too.
inline V DyingColourChange(V old, V now) {
  const V shown = Ops::Splat(1 | CellDying);
  const V lived = Ops::Xor(Ops::Eq(Ops::And(Ops::Or(old, now), shown), Ops::Zero()), Ops::Splat(0xFF));
  return Ops::And(Ops::And(Ops::Xor(old, now), Ops::Splat(0x0F | CellDying | CellLater)), lived);
}

// Where a pass takes the actions of a row from: the step from the row's
// bytes, the fill's count from the row's bits (one per cell, lowest first).
// The rule's tables are taken into registers once per row (Regs): stores
// to the grid could alias them, so they would be loaded again per chunk.
// Conway's rule, the default, keeps a pass of its own with its actions built
// in: the general look-up costs more instructions than it does.
// With dying states (Dying) a dying cell is never born, and the step moves
// the dying states on (see DyingStep).
template <bool Conway, bool Dying>
struct StepSource {
  static const bool Steps = true;
  static const bool Mapped = false;
  static const bool Dies = Dying;
  typedef Ops::RuleRegs Regs;
  const uint8_t* cells;
  int32_t columns;
  const KernelRule* rule;
  const uint8_t* Row(int32_t row) const { return cells + static_cast<size_t>(row) * columns; }
  Regs Load() const { return Conway ? Regs{} : Ops::LoadRule(*rule); }
  static V At(const uint8_t* row, int32_t x, Regs regs) {
    const V v = Ops::Load(row + x);
    const V action = Conway ? Ops::ConwayAction(v) : Ops::StepAction(v, regs);
    if (!Dying) return action;
    const V dying = Ops::Splat(CellDying);
    return Ops::AndNot(Ops::Eq(Ops::And(v, dying), dying), action);
  }
};

// A rule of the 3 x 3 block: a row's actions need the rows above and below
// it, so they are taken a row at a time (BlockActions) from the live bits of
// the three rows, never inside another row's loop.
template <bool Dying>
struct MapSource {
  static const bool Steps = true;
  static const bool Mapped = true;
  static const bool Dies = Dying;
  struct Regs {};
  const uint8_t* cells;
  int32_t columns;
  int32_t rows;
  const KernelRule* rule;
  uint8_t* codes;  // a line with Pad bytes on both sides
  const uint8_t* Row(int32_t row) const { return cells + static_cast<size_t>(row) * columns; }
  Regs Load() const { return Regs{}; }
  bool Actions(int32_t row, uint8_t* actions) const {
    const uint8_t* up = Row(row == 0 ? rows - 1 : row - 1);
    const uint8_t* mid = Row(row);
    const uint8_t* down = Row(row + 1 == rows ? 0 : row + 1);
    const V one = Ops::Splat(1);
    const int32_t tail = columns - W;
    for (int32_t x = 0;; x = x + W < tail ? x + W : tail) {
      const V u = Ops::And(Ops::Load(up + x), one), m = Ops::And(Ops::Load(mid + x), one);
      const V d = Ops::And(Ops::Load(down + x), one);
      const V m2 = Ops::Add(m, m), d2 = Ops::Add(d, d);
      Ops::Store(codes + x, Ops::Or(Ops::Or(u, m2), Ops::Add(d2, d2)));
      if (x == tail) break;
    }
    codes[-1] = codes[columns - 1];
    codes[columns] = codes[0];
    bool any = BlockActions(codes, actions, columns, *rule);
    if (Dying) {
      // A dying cell is never born; a live one's action stands.
      const V dying = Ops::Splat(CellDying);
      for (int32_t x = 0;; x = x + W < tail ? x + W : tail) {
        const V v = Ops::Load(mid + x);
        Ops::Store(actions + x, Ops::AndNot(Ops::Eq(Ops::And(v, dying), dying), Ops::Load(actions + x)));
        if (x == tail) break;
      }
    }
    return any;
  }
  static V At(const uint8_t*, int32_t, Regs) { return Ops::Zero(); }  // never called: Mapped
};

struct MarkSource {
  static const bool Steps = false;
  static const bool Mapped = false;
  static const bool Dies = false;
  struct Regs {};
  Regs Load() const { return Regs{}; }
  const uint8_t* bits;
  int32_t rowBytes;
  const uint8_t* Row(int32_t row) const { return bits + static_cast<size_t>(row) * rowBytes; }
  static V At(const uint8_t* row, int32_t x, Regs) {
    uint64_t word;
    std::memcpy(&word, row + (x >> 3), sizeof word);
    return Ops::ExpandBits(word >> (x & 7));
  }
};

// The actions and sums of one row, each a line with Pad bytes on both sides
// for the wrapped neighbours and the last chunk.
struct RowSlot {
  uint8_t* actions;
  uint8_t* sums;
  bool active;  // false: no action in the row, and its sums were not taken
};

// Chunks of W bytes from the left; when the row is no multiple of W the last
// chunk is taken at columns - W and overlaps the one before it. That is
// harmless wherever the chunk's result depends only on bytes not yet written.
template <class Source>
void TakeActions(const Source& source, int32_t row, RowSlot* slot, int32_t columns) {
  if constexpr (Source::Mapped) {
    uint8_t* a = slot->actions;
    slot->active = source.Actions(row, a);
    a[-1] = a[columns - 1];
    a[columns] = a[0];
    return;
  }
  const uint8_t* from = source.Row(row);
  const typename Source::Regs regs = source.Load();
  uint8_t* a = slot->actions;
  const int32_t tail = columns - W;
  V any = Ops::Zero();
#pragma GCC unroll 2
  for (int32_t x = 0; x < tail; x += W) {
    const V action = Source::At(from, x, regs);
    Ops::Store(a + x, action);
    any = Ops::Or(any, action);
  }
  const V action = Source::At(from, tail, regs);
  Ops::Store(a + tail, action);
  any = Ops::Or(any, action);
  a[-1] = a[columns - 1];
  a[columns] = a[0];
  slot->active = !Ops::AllZero(any);
}

// h = a[x - 1] + a[x] + a[x + 1], from actions stored a row earlier: read
// back at once, the shifted loads would wait for the stores still in flight.
void SumAcross(RowSlot* slot, int32_t columns) {
  if (!slot->active) return;
  const uint8_t* a = slot->actions;
  uint8_t* sums = slot->sums;
  const int32_t tail = columns - W;
#pragma GCC unroll 2
  for (int32_t x = 0; x < tail; x += W)
    Ops::Store(sums + x, Ops::Add(Ops::Add(Ops::Load(a + x - 1), Ops::Load(a + x)), Ops::Load(a + x + 1)));
  Ops::Store(sums + tail, Ops::Add(Ops::Add(Ops::Load(a + tail - 1), Ops::Load(a + tail)), Ops::Load(a + tail + 1)));
}

inline const uint8_t* SumsOf(const RowSlot* slot, const uint8_t* zeros) { return slot->active ? slot->sums : zeros; }

// What writing one row takes: the row, the sums of the rows above and at it,
// the row below (its sums, or its actions to sum here), the row's actions,
// and the row two below, whose actions are taken in the same loop.
struct RowJob {
  uint8_t* row;
  const uint8_t* up;
  const uint8_t* mid;
  RowSlot* below;
  const uint8_t* belowSums;
  const uint8_t* actions;
  const uint8_t* aheadFrom;  // the bytes (or bits) of the row two below
  RowSlot* ahead;
  uint8_t* marks;  // the row's change marks, one per MarkSegment cells; null: none kept
  // Dying states: the row's decay bytes (null where the bytes hold the
  // states: three or four, see StatesInPlane), and the state after the last.
  uint8_t* decay;
  uint8_t lastState;  // states, mod 256
};

// A chunk's dying states through its step: a cell that dies starts dying
// (state 2), a dying one moves on and is dead after the last state; the
// cell's CellDying bit follows, and without a decay plane its CellLater bit
// holds state 3 of four. Returns now with those bits set; *moved is nonzero
// where a state in the plane moved (the bytes show their own).
inline V DyingStep(V now, V action, const RowJob& job, V oldDecay, int32_t x, V* moved) {
  const V died = Ops::Eq(action, Ops::Splat(0xFF));
  const V bit = Ops::Splat(CellDying);
  if (job.decay != nullptr) {
    const V one = Ops::Splat(1);
    const V next = Ops::Add(oldDecay, one);
    // Past the last state, and cells not dying (0), come to 0.
    const V over = Ops::Or(Ops::Eq(oldDecay, Ops::Zero()), Ops::Eq(next, Ops::Splat(job.lastState)));
    const V state = Ops::Select(died, Ops::Splat(2), Ops::AndNot(over, next));
    Ops::Store(job.decay + x, state);
    *moved = Ops::Xor(state, oldDecay);
    return Ops::Or(Ops::AndNot(bit, now), Ops::AndNot(Ops::Eq(state, Ops::Zero()), bit));
  }
  // now keeps the old byte's bits 5 and 6: a dying cell in state 2 of four
  // goes on to state 3, every other dying one to dead.
  const V later = Ops::Splat(CellLater);
  const V first = Ops::AndNot(Ops::Eq(Ops::And(now, later), later), Ops::Eq(Ops::And(now, bit), bit));
  const V second = job.lastState == 4 ? first : Ops::Zero();
  const V bits = Ops::Or(Ops::And(died, bit), Ops::And(second, Ops::Splat(CellDying | CellLater)));
  return Ops::Or(Ops::AndNot(Ops::Splat(CellDying | CellLater), now), bits);
}

// One chunk of a new row: change = 2 x block - a; the step adds it to the
// old bytes, the fill's count (whose rows start empty) writes it as it is.
// With SumBelow the sums of the row below are taken here from its actions,
// kept for the rows after, and used at once; with TakeAhead the actions of
// the row two below are taken as well.
template <class Source, bool Step, bool SumBelow, bool TakeAhead>
inline V NewChunk(typename Source::Regs regs, const RowJob& job, V old, V oldDecay, int32_t x, V* any) {
  if (TakeAhead) {
    const V action = Source::At(job.aheadFrom, x, regs);
    Ops::Store(job.ahead->actions + x, action);
    *any = Ops::Or(*any, action);
  }
  V down;
  if (SumBelow) {
    const uint8_t* a = job.below->actions;
    down = Ops::Add(Ops::Add(Ops::Load(a + x - 1), Ops::Load(a + x)), Ops::Load(a + x + 1));
    Ops::Store(job.below->sums + x, down);
  } else {
    down = Ops::Load(job.belowSums + x);
  }
  V block = Ops::Add(Ops::Add(Ops::Load(job.up + x), Ops::Load(job.mid + x)), down);
  block = Ops::Add(block, block);
  const V action = Ops::Load(job.actions + x);
  const V change = Ops::Sub(block, action);
  V now = Step ? Ops::Add(old, change) : change;
  if constexpr (Source::Dies) {
    V moved = Ops::Zero();
    now = DyingStep(now, action, job, oldDecay, x, &moved);
    Ops::Store(job.row + x, now);
    return Ops::Or(DyingColourChange(old, now), moved);
  }
  (void)oldDecay;
  Ops::Store(job.row + x, now);
  return ColourChange(old, now);
}

// Row y in place; the overlapping last chunk must see the row as it was, so
// it is read before the others are written. With marks, each segment of
// MarkSegment cells is marked when the colour of any of its cells changed.
template <class Source, bool Step, bool SumBelow, bool TakeAhead>
void NewRow(const Source& source, const RowJob& job, int32_t columns) {
  const typename Source::Regs regs = source.Load();
  const int32_t tail = columns - W;
  const V tailOld = Step ? Ops::Load(job.row + tail) : Ops::Zero();
  // The overlapping last chunk's states are read before the others move on.
  const V tailDecay = Source::Dies && job.decay != nullptr ? Ops::Load(job.decay + tail) : Ops::Zero();
  V any = Ops::Zero();
  uint8_t* marks = job.marks;  // cleared by the caller
  V changed = Ops::Zero();
#pragma GCC unroll 2
  for (int32_t x = 0; x < tail; x += W) {
    const V oldDecay = Source::Dies && job.decay != nullptr ? Ops::Load(job.decay + x) : Ops::Zero();
    const V change = NewChunk<Source, Step, SumBelow, TakeAhead>(regs, job, Step ? Ops::Load(job.row + x) : Ops::Zero(),
                                                                 oldDecay, x, &any);
    if (marks != nullptr) {
      changed = Ops::Or(changed, change);
      if (((x + W) % MarkSegment) == 0 || x + W >= tail) {
        marks[x / MarkSegment] |= static_cast<uint8_t>(!Ops::AllZero(changed));
        changed = Ops::Zero();
      }
    }
  }
  const V tailChange = NewChunk<Source, Step, SumBelow, TakeAhead>(regs, job, tailOld, tailDecay, tail, &any);
  if (marks != nullptr && !Ops::AllZero(tailChange))
    for (int32_t k = tail / MarkSegment; k <= (columns - 1) / MarkSegment; ++k) marks[k] = 1;
  if (TakeAhead) {
    uint8_t* a = job.ahead->actions;
    a[-1] = a[columns - 1];
    a[columns] = a[0];
    job.ahead->active = !Ops::AllZero(any);
  }
}

template <class Source, bool Step>
void NewRow(const Source& source, const RowJob& job, bool sumBelow, int32_t columns) {
  if (job.ahead != nullptr) {
    if (sumBelow)
      NewRow<Source, Step, true, true>(source, job, columns);
    else
      NewRow<Source, Step, false, true>(source, job, columns);
  } else {
    if (sumBelow)
      NewRow<Source, Step, true, false>(source, job, columns);
    else
      NewRow<Source, Step, false, false>(source, job, columns);
  }
}

// The planes of cells x0.. of a row through its step, as TrailStep has it:
// whole registers of cells, then the rest one by one. The segments whose
// shades move are added to the marks.
void StepTrailRow(const uint8_t* row, const uint8_t* actions, uint8_t* age, uint8_t* fade, int32_t x0, int32_t columns,
                  const TrailPlanes& trails, uint8_t* marks) {
  const V one = Ops::Splat(1), oldest = Ops::Splat(TrailOldest), seven = Ops::Splat(7);
  const V steps = Ops::Splat(static_cast<uint8_t>(trails.fadeSteps));
  const V byAge = trails.byAge ? Ops::Splat(0xFF) : Ops::Zero();
  int32_t x = x0;
  for (; x + W <= columns; x += W) {
    const V old = Ops::Load(row + x);
    const V wasBit = Ops::And(old, one);
    const V was = Ops::Eq(wasBit, one);
    const V now = Ops::Eq(Ops::Add(wasBit, Ops::Load(actions + x)), one);
    const V born = Ops::AndNot(was, now), died = Ops::AndNot(now, was);
    const V a = Ops::Load(age + x), f = Ops::Load(fade + x);
    const V liveAge = Ops::AndNot(born, Ops::MinU(Ops::Add(a, one), oldest));
    const V lastRow = Ops::Or(Ops::And(byAge, a), Ops::AndNot(byAge, Ops::And(Ops::Half(old), seven)));
    const V deadAge = Ops::Or(Ops::And(died, lastRow), Ops::AndNot(died, a));
    const V a2 = Ops::Or(Ops::And(now, liveAge), Ops::AndNot(now, deadAge));
    const V fading = Ops::SubSat(Ops::MinU(f, steps), one);
    const V f2 = Ops::AndNot(now, Ops::Or(Ops::And(died, steps), Ops::AndNot(died, fading)));
    Ops::Store(age + x, a2);
    Ops::Store(fade + x, f2);
    if (marks != nullptr && !Ops::AllZero(Ops::Or(Ops::Xor(f2, f), Ops::And(byAge, Ops::Xor(a2, a)))))
      marks[x / MarkSegment] = 1;
  }
  for (; x < columns; ++x)
    if (TrailStep(row[x], static_cast<int8_t>(actions[x]), age + x, fade + x, trails) && marks != nullptr)
      marks[x / MarkSegment] = 1;
}

// A whole frame's row with trails in one loop: each register of cells is
// painted from its bytes and planes (as PaintTrailChunk paints) and its
// planes are stepped (as StepTrailRow steps them) while they are at hand, so
// each plane is read and written once. Cells 0..visible-1 are painted, all
// stepped; returns the live cells painted.
template <bool ByAge>
int32_t PaintStepTrailRow(const uint8_t* row, const uint8_t* actions, uint8_t* age, uint8_t* fade, uint32_t* pixels,
                          int32_t visible, int32_t columns, const Ops::ShadeTable& table, const TrailPlanes& trails,
                          uint8_t* marks) {
  const Ops::ShadeRegs regs = Ops::LoadShades(table);
  const V one = Ops::Splat(1), oldest = Ops::Splat(TrailOldest), seven = Ops::Splat(7);
  const V steps = Ops::Splat(static_cast<uint8_t>(trails.fadeSteps));
  int32_t x = 0, alive = 0;
  for (; x + W <= visible; x += W) {
    const V old = Ops::Load(row + x);
    const V wasBit = Ops::And(old, one);
    const V was = Ops::Eq(wasBit, one);
    const V a = Ops::Load(age + x), f = Ops::Load(fade + x);
    const V count = Ops::And(Ops::Half(old), seven);
    const V ageRow = Ops::MinU(a, oldest);
    StoreTrailShades(was, ByAge ? ageRow : count, ageRow, f, regs, pixels + x);
    alive += __builtin_popcount(Ops::MoveMask(was));
    // Born: age 0; lives on: one older; dies: its last row, and the whole
    // fade to come; stays dead: one generation less of it.
    const V now = Ops::Eq(Ops::Add(wasBit, Ops::Load(actions + x)), one);
    const V liveAge = Ops::And(was, Ops::MinU(Ops::Add(a, one), oldest));
    const V a2 = Ops::Select(now, liveAge, Ops::Select(was, ByAge ? a : count, a));
    const V f2 = Ops::AndNot(now, Ops::Select(was, steps, Ops::SubSat(Ops::MinU(f, steps), one)));
    Ops::Store(age + x, a2);
    Ops::Store(fade + x, f2);
    if (marks != nullptr) {
      const V moved = ByAge ? Ops::Or(Ops::Xor(f2, f), Ops::Xor(a2, a)) : Ops::Xor(f2, f);
      marks[x / MarkSegment] |= static_cast<uint8_t>(!Ops::AllZero(moved));
    }
  }
  PaintTrailPixels(row, age, fade, pixels, x, visible, table.shades, ByAge);
  for (int32_t i = x; i < visible; ++i) alive += row[i] & 1;
  StepTrailRow(row, actions, age, fade, x, columns, trails, marks);
  return alive;
}

// The shades of W cells (see TrailPixel) as row x TrailSteps + fade: a live
// cell's row and fade 0, a fading one's row and fade, the others the dead
// colour's row past the last and fade 0.
// Returns the number of live cells.
inline int32_t PaintTrailChunk(const uint8_t* cells, const uint8_t* age, const uint8_t* fade, uint32_t* pixels,
                               const Ops::ShadeRegs& shades, V byAge) {
  const V one = Ops::Splat(1);
  const V v = Ops::Load(cells), f = Ops::Load(fade);
  const V alive = Ops::Eq(Ops::And(v, one), one);
  const V row = Ops::MinU(Ops::Load(age), Ops::Splat(TrailOldest));
  const V liveRow = Ops::Or(Ops::And(byAge, row), Ops::AndNot(byAge, Ops::And(Ops::Half(v), Ops::Splat(7))));
  const V faded = Ops::Eq(f, Ops::Zero());
  const V deadRow = Ops::Or(Ops::And(faded, Ops::Splat(TrailRows)), Ops::AndNot(faded, row));
  StoreShades(Ops::Or(Ops::And(alive, liveRow), Ops::AndNot(alive, deadRow)), Ops::AndNot(alive, f), shades, pixels);
  return __builtin_popcount(Ops::MoveMask(alive));
}

// StoreTrailShades by shade numbers (see TrailPixel), for the sets that look
// them up so: a live cell's row and fade 0, a fading one's row and fade, the
// others the dead colour's row past the last and fade 0.
inline void StoreTrailShadesByNumber(V alive, V liveRow, V deadRow, V fade, const Ops::ShadeRegs& regs,
                                     uint32_t* pixels) {
  const V shown = Ops::Select(Ops::Eq(fade, Ops::Zero()), Ops::Splat(TrailRows), deadRow);
  StoreShades(Ops::Select(alive, liveRow, shown), Ops::AndNot(alive, fade), regs, pixels);
}

// Cells x0..x1-1 of a row by their planes: whole registers, then one by one.
// Returns the number of live cells among them.
int32_t PaintTrailCells(const uint8_t* cells, const uint8_t* age, const uint8_t* fade, uint32_t* pixels, int32_t x0,
                        int32_t x1, const Ops::ShadeTable& table, const TrailPlanes& trails) {
  const bool byAge = trails.byAge;
  const V byAgeMask = byAge ? Ops::Splat(0xFF) : Ops::Zero();
  const Ops::ShadeRegs regs = Ops::LoadShades(table);
  int32_t x = x0, alive = 0;
  for (; x + W <= x1; x += W) alive += PaintTrailChunk(cells + x, age + x, fade + x, pixels + x, regs, byAgeMask);
  PaintTrailPixels(cells, age, fade, pixels, x, x1, table.shades, byAge);
  for (; x < x1; ++x) alive += cells[x] & 1;
  return alive;
}

// The same for a rule with dying states, without trails: the shades of W
// cells as row x TrailSteps + f, a live or dying cell's row its count's, a
// dying one's f its states to go (DyingPixel), the rest the dead colour.
// Without a decay plane the byte holds the state (see ByteState).
inline void PaintDyingChunk(const uint8_t* cells, const uint8_t* decay, uint32_t* pixels, const Ops::ShadeRegs& shades,
                            uint8_t lastState) {
  const V one = Ops::Splat(1), bit = Ops::Splat(CellDying);
  const V v = Ops::Load(cells);
  const V dying = Ops::Eq(Ops::And(v, bit), bit);
  const V shown = Ops::Or(Ops::Eq(Ops::And(v, one), one), dying);
  const V row = Ops::And(Ops::Half(v), Ops::Splat(7));
  const V high = Ops::Or(Ops::And(shown, row), Ops::AndNot(shown, Ops::Splat(TrailRows)));
  const V later = Ops::And(Ops::Eq(Ops::And(v, Ops::Splat(CellLater)), Ops::Splat(CellLater)), one);
  const V left = decay == nullptr ? Ops::Sub(Ops::Splat(static_cast<uint8_t>(lastState - 2)), later)
                                  : Ops::Sub(Ops::Splat(lastState), Ops::Load(decay));
  StoreShades(high, Ops::And(dying, left), shades, pixels);
}

// Cells x0..x1-1 of a row by their chunks' shades, then one by one.
[[maybe_unused]] void PaintDyingRun(const uint8_t* cells, const uint8_t* decay, uint32_t* pixels, int32_t x0, int32_t x1,
                   const Ops::ShadeTable& table, int32_t states) {
  const Ops::ShadeRegs regs = Ops::LoadShades(table);
  int32_t x = x0;
  for (; x + W <= x1; x += W)
    PaintDyingChunk(cells + x, decay != nullptr ? decay + x : nullptr, pixels + x, regs, static_cast<uint8_t>(states));
  for (; x < x1; ++x)
    pixels[x] = DyingPixel(cells[x], DyingState(cells, decay, x), table.shades, states);
}

// Paints row y of a one-pixel frame from the row as it is before the step.
// With marks only the marked segments are painted (the others already show
// these cells), and each is noted in the damage map. With trails the row's
// planes (the same offset into them) and the pass's shade table give the
// colours.
int32_t PaintCellRow(const uint8_t* row, int32_t y, int32_t columns, const FramePaint& paint, const uint8_t* marks,
                     const TrailPlanes* trails, const Ops::ShadeTable& table, size_t offset) {
  if (y >= paint.visibleRows) return CountAliveRow(row, columns);
  uint32_t* pixels = reinterpret_cast<uint32_t*>(paint.top + static_cast<intptr_t>(y) * paint.stride);
  const int32_t visible = paint.visibleColumns;
  int32_t alive = 0;
  if (marks != nullptr) {
    // The damage tiles are marked without a branch per segment: the marks of
    // a soup are as good as random.
    uint8_t* damage = paint.damage + static_cast<size_t>(y >> paint.damageRowShift) * paint.damageStride;
    const int32_t segments = MarkSegments(visible);
    for (int32_t k = 0; k < segments; ++k) damage[k] |= marks[k];
  }
  if (trails == nullptr && paint.shades != nullptr && paint.states > 2) {
    const uint8_t* decay = paint.decay != nullptr ? paint.decay + offset : nullptr;
    if (marks == nullptr) {
      alive = PaintDyingCells(row, decay, pixels, 0, visible, table, paint.states, paint.stream);
    } else {
      for (int32_t x0 = 0, k = 0; x0 < visible; x0 += MarkSegment, ++k)
        if (marks[k] != 0)
          PaintDyingCells(row, decay, pixels, x0, x0 + MarkSegment < visible ? x0 + MarkSegment : visible, table,
                          paint.states, false);
      alive = CountAliveRow(row, visible);
    }
  } else if (trails != nullptr && paint.shades != nullptr) {
    const uint8_t* age = trails->age + offset;
    const uint8_t* fade = trails->fade + offset;
    if (marks == nullptr) {
      alive = PaintTrailCells(row, age, fade, pixels, 0, visible, table, *trails);
    } else {
      for (int32_t x0 = 0, k = 0; x0 < visible; x0 += MarkSegment, ++k)
        if (marks[k] != 0)
          PaintTrailCells(row, age, fade, pixels, x0, x0 + MarkSegment < visible ? x0 + MarkSegment : visible, table,
                          *trails);
      alive = CountAliveRow(row, visible);
    }
  } else if (marks == nullptr) {
    alive = PaintPixelRow(row, pixels, visible, paint.live, paint.dead, paint.stream);
  } else {
    PaintMarkedSegments(row, pixels, visible, paint.live, paint.dead, paint.stream, marks);
    alive = CountAliveRow(row, visible);
  }
  if (visible < columns) alive += CountAliveRow(row + visible, columns - visible);
  return alive;
}

// Row y of a one-pixel frame with trails, painted whole from the row and its
// planes as they are before the step, the planes then stepped (see
// PaintStepTrailRow). Returns the row's live cells.
int32_t PaintStepTrailCells(const uint8_t* row, const uint8_t* actions, int32_t y, int32_t columns,
                            const FramePaint& paint, const TrailPlanes& trails, const Ops::ShadeTable& table,
                            size_t offset, uint8_t* marks) {
  uint32_t* pixels = reinterpret_cast<uint32_t*>(paint.top + static_cast<intptr_t>(y) * paint.stride);
  const int32_t visible = paint.visibleColumns;
  uint8_t* age = trails.age + offset;
  uint8_t* fade = trails.fade + offset;
  int32_t alive =
      trails.byAge
          ? PaintStepTrailRow<true>(row, actions, age, fade, pixels, visible, columns, table, trails, marks)
          : PaintStepTrailRow<false>(row, actions, age, fade, pixels, visible, columns, table, trails, marks);
  if (visible < columns) alive += CountAliveRow(row + visible, columns - visible);
  return alive;
}

// The first and the last row keep slots of their own (row 0 is needed again
// at the end, the last row at the start); the rows between share four.
inline RowSlot* SlotOf(int32_t k, int32_t rows, RowSlot* slots) {
  if (k == 0) return &slots[0];
  if (k == rows - 1) return &slots[1];
  return &slots[2 + (k & 3)];
}

// One pass over the rows: the step (Source = StepSource) or the fill's count
// (MarkSource). The actions of row y + 2 and the sums of row y + 1 are taken
// while row y is written. Returns the live cells painted (0 without a frame).
template <class Source>
int32_t PassRows(const Source& source, uint8_t* cells, uint8_t* scratch, int32_t columns, int32_t rows,
                 const FramePaint* paint, uint8_t* marks, const TrailPlanes* trails, uint8_t* decay, int32_t states) {
  const size_t line = static_cast<size_t>(columns) + 2 * Pad;
  uint8_t* zeros = scratch + Pad;
  std::memset(zeros, 0, static_cast<size_t>(columns));
  RowSlot slots[6];
  for (int i = 0; i < 6; ++i)
    slots[i] = RowSlot{scratch + (1 + 2 * i) * line + Pad, scratch + (2 + 2 * i) * line + Pad, false};

  TakeActions(source, 0, SlotOf(0, rows, slots), columns);
  if (rows > 1) TakeActions(source, rows - 1, SlotOf(rows - 1, rows, slots), columns);
  if (rows > 2) TakeActions(source, 1, SlotOf(1, rows, slots), columns);
  SumAcross(SlotOf(0, rows, slots), columns);
  if (rows > 1) SumAcross(SlotOf(rows - 1, rows, slots), columns);

  const size_t stride = static_cast<size_t>(columns);
  int32_t population = 0;
  // The shades' planes and numbers once a pass, not once a row or segment.
  const bool shaded = paint != nullptr && paint->shades != nullptr && (trails != nullptr || paint->states > 2);
  const int32_t fade = !shaded ? 0 : trails != nullptr ? trails->fadeSteps : paint->states - 2;
  const Ops::ShadeTable table =
      Ops::MakeShadeTable(shaded ? paint->shades : nullptr, fade, shaded && trails == nullptr ? paint->states - 2 : 0);
  // Only rules of more than four states keep states in the decay plane.
  uint8_t* const decayPlane = Source::Dies && StatesInPlane(states, false) ? decay : nullptr;
  for (int32_t y = 0; y < rows; ++y) {
    const RowSlot* up = SlotOf(y == 0 ? rows - 1 : y - 1, rows, slots);
    const RowSlot* mid = SlotOf(y, rows, slots);
    RowSlot* down = SlotOf(y + 1 == rows ? 0 : y + 1, rows, slots);
    // The sums of a row between the first and the last are taken with the
    // row above it (those two have theirs already), its actions with the row
    // two above it.
    const bool sumBelow = y + 1 <= rows - 2 && down->active;
    const bool takeAhead = y + 2 <= rows - 2;
    // Block rules take a row's actions on their own (see MapSource).
    const bool fuseAhead = takeAhead && !Source::Mapped;
    RowJob job;
    job.row = cells + y * stride;
    job.up = SumsOf(up, zeros);
    job.mid = SumsOf(mid, zeros);
    job.below = down;
    job.belowSums = SumsOf(down, zeros);
    job.actions = mid->actions;
    job.aheadFrom = fuseAhead ? source.Row(y + 2) : nullptr;
    job.ahead = fuseAhead ? SlotOf(y + 2, rows, slots) : nullptr;
    job.marks = marks != nullptr ? marks + static_cast<size_t>(y) * MarkSegments(columns) : nullptr;
    job.decay = decayPlane != nullptr ? decayPlane + y * stride : nullptr;
    job.lastState = static_cast<uint8_t>(states);
    if (!Source::Steps) {
      NewRow<Source, false>(source, job, sumBelow, columns);
      continue;
    }
    // The row's marks say what the last step changed: read them for the
    // paint before this step replaces them.
    const size_t offset = y * stride;
    // A row painted whole with trails steps its planes in the painting loop.
    const bool trailRow = shaded && trails != nullptr && !paint->marked && y < paint->visibleRows;
    if (paint != nullptr && !trailRow)
      population +=
          PaintCellRow(job.row, y, columns, *paint, paint->marked ? job.marks : nullptr, trails, table, offset);
    if (job.marks != nullptr) std::memset(job.marks, 0, static_cast<size_t>(MarkSegments(columns)));
    // The planes step from the row's bytes and actions before the bytes move on.
    if (trailRow)
      population += PaintStepTrailCells(job.row, mid->actions, y, columns, *paint, *trails, table, offset, job.marks);
    else if (trails != nullptr)
      StepTrailRow(job.row, mid->actions, trails->age + offset, trails->fade + offset, 0, columns, *trails, job.marks);
    // Dying cells move on without any action near them.
    if (up->active || mid->active || down->active || Source::Dies) {
      NewRow<Source, true>(source, job, sumBelow, columns);
      if (takeAhead && !fuseAhead) TakeActions(source, y + 2, SlotOf(y + 2, rows, slots), columns);
    } else {
      if (takeAhead) TakeActions(source, y + 2, SlotOf(y + 2, rows, slots), columns);
    }
  }
  return population;
}

int32_t PaintStepKernel(uint8_t* cells, uint8_t* scratch, int32_t columns, int32_t rows, const KernelRule* rule,
                        const FramePaint* paint, uint8_t* marks, const TrailPlanes* trails, uint8_t* decay) {
  const int32_t states = rule->states;
  if (rule->mapped) {
    // The column codes take the line after the six slots' (see PassRows).
    uint8_t* codes = scratch + 13 * (static_cast<size_t>(columns) + 2 * Pad) + Pad;
    if (states > 2)
      return PassRows(MapSource<true>{cells, columns, rows, rule, codes}, cells, scratch, columns, rows, paint, marks,
                      trails, decay, states);
    return PassRows(MapSource<false>{cells, columns, rows, rule, codes}, cells, scratch, columns, rows, paint, marks,
                    trails, decay, states);
  }
  if (states > 2)
    return PassRows(StepSource<false, true>{cells, columns, rule}, cells, scratch, columns, rows, paint, marks, trails,
                    decay, states);
  if (rule->conway)
    return PassRows(StepSource<true, false>{cells, columns, rule}, cells, scratch, columns, rows, paint, marks, trails,
                    decay, states);
  return PassRows(StepSource<false, false>{cells, columns, rule}, cells, scratch, columns, rows, paint, marks, trails,
                  decay, states);
}

void StepKernel(uint8_t* cells, uint8_t* scratch, int32_t columns, int32_t rows, const KernelRule* rule,
                uint8_t* marks, const TrailPlanes* trails, uint8_t* decay) {
  PaintStepKernel(cells, scratch, columns, rows, rule, nullptr, marks, trails, decay);
}

void CountMarksKernel(uint8_t* cells, const uint8_t* bits, int32_t rowBytes, uint8_t* scratch, int32_t columns,
                      int32_t rows) {
  PassRows(MarkSource{bits, rowBytes}, cells, scratch, columns, rows, nullptr, nullptr, nullptr, nullptr, 2);
}

// ---- Random draws ----------------------------------------------------------
// The generator runs in 32-bit lanes, lane i holding state i of a run of
// consecutive states, so even lanes give x and odd lanes y. The remainders
// are exact in single precision: a value below 2^15 times 1/d raised by about
// 2^-21 lands in [q, q + 1) for every d up to 2^15 (the error stays below 1/d).
// The marks go to a bitmap of an eighth of the grid's size, which stays in
// the caches where the grid itself would not: the draws land anywhere.

struct Affine {
  uint32_t multiplier;
  uint32_t increment;
};

// The generator's map applied `count` times.
inline Affine LcgJump(uint64_t count) {
  Affine result = {1u, 0u};
  Affine power = {214013u, 2531011u};
  while (count != 0) {
    if (count & 1)
      result = Affine{result.multiplier * power.multiplier, result.increment * power.multiplier + power.increment};
    power = Affine{power.multiplier * power.multiplier, power.increment * power.multiplier + power.increment};
    count >>= 1;
  }
  return result;
}

inline float RaisedReciprocal(int32_t d) { return static_cast<float>((1.0 / d) * (1.0 + 1.0 / (1 << 21))); }

inline Ops::I RemainderPairs(Ops::I values, Ops::F divisors, Ops::F reciprocals) {
  const Ops::F v = Ops::ToFloat(values);
  const Ops::F q = Ops::ToFloat(Ops::Truncate(Ops::FMul(v, reciprocals)));
  return Ops::Truncate(Ops::FSub(v, Ops::FMul(q, divisors)));
}

inline void Mark(uint8_t* bits, uint32_t bit) { bits[bit >> 3] |= static_cast<uint8_t>(1u << (bit & 7)); }

void MarkDrawsKernel(uint8_t* bits, int32_t rowBytes, uint32_t* state, int32_t columns, int32_t rows, int64_t draws) {
  const int L = Ops::Lanes;  // 32-bit lanes per register: one round draws L cells
  const int64_t rounds = draws / L;
  const int32_t rowBits = rowBytes * 8;
  uint32_t s = *state;
  if (rounds > 0) {
    uint32_t start[2 * Ops::Lanes];
    float divisors[Ops::Lanes], reciprocals[Ops::Lanes];
    int16_t weights[2 * Ops::Lanes];
    for (int i = 0; i < 2 * L; ++i) {
      s = s * 214013u + 2531011u;
      start[i] = s;
    }
    for (int i = 0; i < L; ++i) {
      const int32_t d = (i & 1) ? rows : columns;
      divisors[i] = static_cast<float>(d);
      reciprocals[i] = RaisedReciprocal(d);
    }
    for (int i = 0; i < 2 * L; ++i) weights[i] = (i & 1) ? static_cast<int16_t>(rowBits) : 1;
    const Affine jump = LcgJump(2 * L);
    const Ops::I multiplier = Ops::Splat32(jump.multiplier), increment = Ops::Splat32(jump.increment);
    const Ops::I valueMask = Ops::Splat32(0x7FFF);
    const Ops::F divisor = Ops::LoadF(divisors), reciprocal = Ops::LoadF(reciprocals);
    const Ops::I weight = Ops::Load32(reinterpret_cast<const uint32_t*>(weights));
    Ops::I a = Ops::Load32(start), b = Ops::Load32(start + L);
    uint32_t index[Ops::Lanes];
    for (int64_t r = 0; r < rounds; ++r) {
      const Ops::I ra = RemainderPairs(Ops::And32(Ops::Srl16(a), valueMask), divisor, reciprocal);
      const Ops::I rb = RemainderPairs(Ops::And32(Ops::Srl16(b), valueMask), divisor, reciprocal);
      // (x, y) word pairs to the bit y x rowBits + x; the order of the marks is free.
      Ops::Store32(index, Ops::MulAddPairs(Ops::Pack(ra, rb), weight));
      a = Ops::Add32(Ops::Mul32(a, multiplier), increment);
      b = Ops::Add32(Ops::Mul32(b, multiplier), increment);
      for (int i = 0; i < L; ++i) Mark(bits, index[i]);
    }
    const Affine done = LcgJump(static_cast<uint64_t>(rounds) * 2 * L);
    s = *state * done.multiplier + done.increment;
  }
  for (int64_t k = rounds * L; k < draws; ++k) {
    s = s * 214013u + 2531011u;
    const int32_t x = static_cast<int32_t>((s >> 16) & 0x7FFFu) % columns;
    s = s * 214013u + 2531011u;
    const int32_t y = static_cast<int32_t>((s >> 16) & 0x7FFFu) % rows;
    Mark(bits, static_cast<uint32_t>(y * rowBits + x));
  }
  *state = s;
}

}  // namespace
