// The kernels written once over a register type. An instruction-set file
// defines its operations record `Ops` and then includes this file, so each
// file compiles its own copy with its own instructions; everything here has
// internal linkage for that reason.
//
// The step rests on two facts of the plain rule: every decision reads the
// snapshot, and the +-2 updates commute. So the change a generation makes to
// a byte is fixed by the actions of the 3 x 3 block around it: with
// a = +1 for a birth (byte 6), -1 for a death (odd, not 5 or 7), else 0,
//   new = old + 2 x (sum of a over the 3 x 3 block) - a(self)
// (the cell's own bit moves by a, each neighbour's count by 2a). That holds
// byte for byte whatever the bytes are, torus wrap and all, one-wide tori
// included. The fill marks its live cells with 1 and counts them once:
//   new = 2 x (sum of marks over the 3 x 3 block) - mark(self).
// A one-pixel frame can be painted in the same pass, each row from its
// bytes just before they are replaced, so the field is read only once.
//
// Rows are summed across once (h = a[x-1] + a[x] + a[x+1], wrapping), and
// each new row adds the three sums of the rows above, at and below it. The
// grid is updated in place: the sums of row y + 1 are taken before row y is
// written, and those of the first and last rows before anything is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/kernels.h"

namespace {

// Defined by the instruction-set file after this one.
int32_t PaintPixelRow(const uint8_t* cells, uint32_t* pixels, int32_t count, const uint32_t* live, uint32_t dead,
                      bool stream);
int32_t CountAliveRow(const uint8_t* cells, int32_t count);

typedef Ops::V V;
const int W = Ops::Width;
// Room kept before and after a row of actions for the wrapped neighbours.
const int Pad = 64;

inline V StepAction(V v) {
  const V one = Ops::Splat(1);
  const V born = Ops::Eq(v, Ops::Splat(6));
  const V odd = Ops::Eq(Ops::And(v, one), one);
  const V survives = Ops::Eq(Ops::Or(v, Ops::Splat(2)), Ops::Splat(7));  // 5 or 7
  const V dies = Ops::AndNot(survives, odd);                              // -1 where it dies
  return Ops::Or(dies, Ops::And(born, one));
}

template <bool Step>
inline V ActionOf(V v) {
  return Step ? StepAction(v) : v;
}

struct RowSums {
  const uint8_t* sums;     // h of the row, or a row of zeros
  const uint8_t* actions;  // a of the row, or a row of zeros
  bool active;             // false: the row takes no action at all
};

// Where the actions and sums of one row are kept: a line each, with Pad
// bytes on both sides for the wrapped neighbours and the last chunk.
struct RowSlot {
  uint8_t* actions;
  uint8_t* sums;
};

// Chunks of W bytes from the left; when the row is no multiple of W the last
// chunk is taken at columns - W and overlaps the one before it. That is
// harmless wherever the chunk's result depends only on bytes not yet written.
template <bool Step>
RowSums SumRow(const uint8_t* row, const RowSlot& slot, const uint8_t* zeros, int32_t columns) {
  uint8_t* a = slot.actions;
  const int32_t tail = columns - W;
  V any = Ops::Zero();
  for (int32_t x = 0; x < tail; x += W) {
    const V action = ActionOf<Step>(Ops::Load(row + x));
    Ops::Store(a + x, action);
    any = Ops::Or(any, action);
  }
  const V action = ActionOf<Step>(Ops::Load(row + tail));
  Ops::Store(a + tail, action);
  any = Ops::Or(any, action);
  if (Ops::AllZero(any)) return RowSums{zeros, zeros, false};
  a[-1] = a[columns - 1];
  a[columns] = a[0];
  uint8_t* sums = slot.sums;
  for (int32_t x = 0; x < tail; x += W)
    Ops::Store(sums + x, Ops::Add(Ops::Add(Ops::Load(a + x - 1), Ops::Load(a + x)), Ops::Load(a + x + 1)));
  Ops::Store(sums + tail,
             Ops::Add(Ops::Add(Ops::Load(a + tail - 1), Ops::Load(a + tail)), Ops::Load(a + tail + 1)));
  return RowSums{sums, a, true};
}

// new = old + 2 x block - a for the step, 2 x block - mark for the recount
// (where old is the mark).
template <bool Step>
inline void NewChunk(uint8_t* out, V old, const uint8_t* up, const RowSums& mid, const uint8_t* down, int32_t x) {
  V block = Ops::Add(Ops::Add(Ops::Load(up + x), Ops::Load(mid.sums + x)), Ops::Load(down + x));
  block = Ops::Add(block, block);
  if (Step)
    Ops::Store(out, Ops::Add(old, Ops::Sub(block, Ops::Load(mid.actions + x))));
  else
    Ops::Store(out, Ops::Sub(block, old));
}

template <bool Step>
void NewRow(uint8_t* row, const RowSums& up, const RowSums& mid, const RowSums& down, int32_t columns) {
  const int32_t tail = columns - W;
  // The overlapping last chunk must see the row as it was.
  const V tailOld = Ops::Load(row + tail);
  for (int32_t x = 0; x < tail; x += W) NewChunk<Step>(row + x, Ops::Load(row + x), up.sums, mid, down.sums, x);
  NewChunk<Step>(row + tail, tailOld, up.sums, mid, down.sums, tail);
}

inline RowSums SumsOfRow(int32_t k, int32_t rows, const RowSums& first, const RowSums& last, const RowSums* ring) {
  if (k == 0) return first;
  if (k == rows - 1) return last;
  return ring[k % 3];
}

// Paints row y of a one-pixel frame from the row as it is before the step.
int32_t PaintCellRow(const uint8_t* row, int32_t y, int32_t columns, const FramePaint& paint) {
  if (y >= paint.visibleRows) return CountAliveRow(row, columns);
  uint32_t* pixels = reinterpret_cast<uint32_t*>(paint.top + static_cast<intptr_t>(y) * paint.stride);
  int32_t alive = PaintPixelRow(row, pixels, paint.visibleColumns, paint.live, paint.dead, paint.stream);
  if (paint.visibleColumns < columns) alive += CountAliveRow(row + paint.visibleColumns, columns - paint.visibleColumns);
  return alive;
}

// Returns the live cells painted (0 without a frame to paint).
template <bool Step>
int32_t PassRows(uint8_t* cells, uint8_t* scratch, int32_t columns, int32_t rows, const FramePaint* paint) {
  const size_t line = static_cast<size_t>(columns) + 2 * Pad;
  uint8_t* zeros = scratch + Pad;
  std::memset(zeros, 0, static_cast<size_t>(columns));
  RowSlot slots[5];  // the first row, the last row, and a ring of three
  for (int i = 0; i < 5; ++i) slots[i] = RowSlot{scratch + (1 + 2 * i) * line + Pad, scratch + (2 + 2 * i) * line + Pad};

  const size_t stride = static_cast<size_t>(columns);
  const RowSums first = SumRow<Step>(cells, slots[0], zeros, columns);
  const RowSums last = rows > 1 ? SumRow<Step>(cells + (rows - 1) * stride, slots[1], zeros, columns) : first;
  RowSums ring[3] = {first, first, first};
  int32_t population = 0;
  for (int32_t y = 0; y < rows; ++y) {
    const int32_t next = y + 1;
    if (next <= rows - 2) ring[next % 3] = SumRow<Step>(cells + next * stride, slots[2 + next % 3], zeros, columns);
    const RowSums up = SumsOfRow(y == 0 ? rows - 1 : y - 1, rows, first, last, ring);
    const RowSums mid = SumsOfRow(y, rows, first, last, ring);
    const RowSums down = SumsOfRow(next == rows ? 0 : next, rows, first, last, ring);
    if (paint != nullptr) population += PaintCellRow(cells + y * stride, y, columns, *paint);
    if (up.active || mid.active || down.active) NewRow<Step>(cells + y * stride, up, mid, down, columns);
  }
  return population;
}

void StepKernel(uint8_t* cells, uint8_t* scratch, int32_t columns, int32_t rows) {
  PassRows<true>(cells, scratch, columns, rows, nullptr);
}

int32_t PaintStepKernel(uint8_t* cells, uint8_t* scratch, int32_t columns, int32_t rows, const FramePaint* paint) {
  return PassRows<true>(cells, scratch, columns, rows, paint);
}

void RecountKernel(uint8_t* cells, uint8_t* scratch, int32_t columns, int32_t rows) {
  PassRows<false>(cells, scratch, columns, rows, nullptr);
}

// ---- Random draws ----------------------------------------------------------
// The generator runs in 32-bit lanes, lane i holding state i of a run of
// consecutive states, so even lanes give x and odd lanes y. The remainders
// are exact in single precision: a value below 2^15 times 1/d raised by about
// 2^-21 lands in [q, q + 1) for every d up to 2^15 (the error stays below 1/d).

struct Affine {
  uint32_t multiplier;
  uint32_t increment;
};

// The generator's map applied `count` times.
inline Affine LcgJump(uint64_t count) {
  Affine result = {1u, 0u};
  Affine power = {214013u, 2531011u};
  while (count != 0) {
    if (count & 1) result = Affine{result.multiplier * power.multiplier, result.increment * power.multiplier + power.increment};
    power = Affine{power.multiplier * power.multiplier, power.increment * power.multiplier + power.increment};
    count >>= 1;
  }
  return result;
}

inline float RaisedReciprocal(int32_t d) {
  return static_cast<float>((1.0 / d) * (1.0 + 1.0 / (1 << 21)));
}

inline Ops::I RemainderPairs(Ops::I values, Ops::F divisors, Ops::F reciprocals) {
  const Ops::F v = Ops::ToFloat(values);
  const Ops::F q = Ops::ToFloat(Ops::Truncate(Ops::FMul(v, reciprocals)));
  return Ops::Truncate(Ops::FSub(v, Ops::FMul(q, divisors)));
}

void MarkDrawsKernel(uint8_t* cells, uint32_t* state, int32_t columns, int32_t rows, int64_t draws) {
  const int L = Ops::Lanes;  // 32-bit lanes per register: one round draws L cells
  const int64_t rounds = draws / L;
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
    for (int i = 0; i < 2 * L; ++i) weights[i] = (i & 1) ? static_cast<int16_t>(columns) : 1;
    const Affine jump = LcgJump(2 * L);
    const Ops::I multiplier = Ops::Splat32(jump.multiplier), increment = Ops::Splat32(jump.increment);
    const Ops::I valueMask = Ops::Splat32(0x7FFF);
    const Ops::F divisor = Ops::LoadF(divisors), reciprocal = Ops::LoadF(reciprocals);
    const Ops::I weight = Ops::Load32(reinterpret_cast<const uint32_t*>(weights));
    Ops::I a = Ops::Load32(start), b = Ops::Load32(start + L);
    int32_t index[Ops::Lanes];
    for (int64_t r = 0; r < rounds; ++r) {
      const Ops::I ra = RemainderPairs(Ops::And32(Ops::Srl16(a), valueMask), divisor, reciprocal);
      const Ops::I rb = RemainderPairs(Ops::And32(Ops::Srl16(b), valueMask), divisor, reciprocal);
      // (x, y) word pairs to y x columns + x; the order of the marks is free.
      Ops::Store32(reinterpret_cast<uint32_t*>(index), Ops::MulAddPairs(Ops::Pack(ra, rb), weight));
      a = Ops::Add32(Ops::Mul32(a, multiplier), increment);
      b = Ops::Add32(Ops::Mul32(b, multiplier), increment);
      for (int i = 0; i < L; ++i) cells[index[i]] = 1;
    }
    const Affine done = LcgJump(static_cast<uint64_t>(rounds) * 2 * L);
    s = *state * done.multiplier + done.increment;
  }
  for (int64_t k = rounds * L; k < draws; ++k) {
    s = s * 214013u + 2531011u;
    const int32_t x = static_cast<int32_t>((s >> 16) & 0x7FFFu) % columns;
    s = s * 214013u + 2531011u;
    const int32_t y = static_cast<int32_t>((s >> 16) & 0x7FFFu) % rows;
    cells[static_cast<size_t>(y) * columns + x] = 1;
  }
  *state = s;
}

}  // namespace
