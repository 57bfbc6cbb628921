// The Larger than Life row loops written once over register types. An
// instruction-set file defines its operations record `Ops` (bytes, and the
// count lanes Ops::Lanes8, Ops::Lanes16 and Ops::Lanes32: their loads and
// stores, adds, cells widened to lanes, prefix sums within a register,
// range compares and packs to bytes) and then includes this file;
// everything here has internal linkage, each file compiling its own copy.
// Whole registers are taken from the left and the rest of a row one lane at
// a time (the plain loops' way), so any row length works and nothing is
// read or written past a row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "engine/engine.h"
#include "engine/larger_kernels.h"

namespace {

typedef Ops::V V;
const int W = Ops::Width;

template <class T>
inline const LargerLanes<T>& PlainLanesOf();
template <>
inline const LargerLanes<uint8_t>& PlainLanesOf<uint8_t>() {
  return PlainLarger.lanes8;
}
template <>
inline const LargerLanes<uint16_t>& PlainLanesOf<uint16_t>() {
  return PlainLarger.lanes16;
}
template <>
inline const LargerLanes<uint32_t>& PlainLanesOf<uint32_t>() {
  return PlainLarger.lanes32;
}

template <class Ln>
void SlideLanes(typename Ln::T* out, const typename Ln::T* in, const uint8_t* enter, const uint8_t* leave, int32_t n) {
  typedef typename Ln::T T;
  int32_t x = 0;
  for (; x + Ln::Count <= n; x += Ln::Count)
    Ln::Store(out + x, Ln::Sub(Ln::Add(Ln::Load(in + x), Ln::Cells(enter + x)), Ln::Cells(leave + x)));
  for (; x < n; ++x) out[x] = static_cast<T>(in[x] + (enter[x] & 1) - (leave[x] & 1));
}

template <class Ln>
void AddCellLanes(typename Ln::T* sum, const uint8_t* row, int32_t n) {
  typedef typename Ln::T T;
  int32_t x = 0;
  for (; x + Ln::Count <= n; x += Ln::Count) Ln::Store(sum + x, Ln::Add(Ln::Load(sum + x), Ln::Cells(row + x)));
  for (; x < n; ++x) sum[x] = static_cast<T>(sum[x] + (row[x] & 1));
}

template <class Ln>
void AddByteLanes(typename Ln::T* sum, const uint8_t* bytes, int32_t n) {
  typedef typename Ln::T T;
  int32_t x = 0;
  for (; x + Ln::Count <= n; x += Ln::Count) Ln::Store(sum + x, Ln::Add(Ln::Load(sum + x), Ln::Widen(bytes + x)));
  for (; x < n; ++x) sum[x] = static_cast<T>(sum[x] + bytes[x]);
}

// Where a prefix sum takes its values from: lanes, or the life of cells.
template <class Ln>
struct LaneValues {
  const typename Ln::T* values;
  typename Ln::L At(int32_t x) const { return Ln::Load(values + x); }
  typename Ln::T One(int32_t x) const { return values[x]; }
};

template <class Ln>
struct CellValues {
  const uint8_t* row;
  typename Ln::L At(int32_t x) const { return Ln::Cells(row + x); }
  typename Ln::T One(int32_t x) const { return static_cast<typename Ln::T>(row[x] & 1); }
};

// The running total goes from register to register by one add; each
// register's own sums and last lane are worked out beside it.
template <class Ln, class Values>
inline void PrefixLanes(typename Ln::T* prefix, const Values& values, int32_t n) {
  typedef typename Ln::T T;
  typedef typename Ln::L L;
  prefix[0] = 0;
  L carry = Ln::Splat(0);
  int32_t x = 0;
  for (; x + Ln::Count <= n; x += Ln::Count) {
    const L sums = Ln::Prefix(values.At(x));
    Ln::Store(prefix + x + 1, Ln::Add(sums, carry));
    carry = Ln::Add(carry, Ln::Last(sums));
  }
  for (; x < n; ++x) prefix[x + 1] = static_cast<T>(prefix[x] + values.One(x));
}

template <class Ln>
void PrefixOfLanes(typename Ln::T* prefix, const typename Ln::T* values, int32_t n) {
  PrefixLanes<Ln>(prefix, LaneValues<Ln>{values}, n);
}

template <class Ln>
void PrefixOfCells(typename Ln::T* prefix, const uint8_t* row, int32_t n) {
  PrefixLanes<Ln>(prefix, CellValues<Ln>{row}, n);
}

template <class Ln>
void OffsetLanes(typename Ln::T* out, const typename Ln::T* in, typename Ln::T delta, int32_t n) {
  typedef typename Ln::T T;
  const typename Ln::L d = Ln::Splat(delta);
  int32_t x = 0;
  for (; x + Ln::Count <= n; x += Ln::Count) Ln::Store(out + x, Ln::Add(Ln::Load(in + x), d));
  for (; x < n; ++x) out[x] = static_cast<T>(in[x] + delta);
}

template <class Ln>
void WindowLanes(typename Ln::T* out, const typename Ln::T* high, const typename Ln::T* low, typename Ln::T extra,
                 int32_t n) {
  typedef typename Ln::T T;
  const typename Ln::L e = Ln::Splat(extra);
  int32_t x = 0;
  for (; x + Ln::Count <= n; x += Ln::Count)
    Ln::Store(out + x, Ln::Add(Ln::Sub(Ln::Load(high + x), Ln::Load(low + x)), e));
  for (; x < n; ++x) out[x] = static_cast<T>(high[x] - low[x] + extra);
}

template <class Ln>
void AddWindowLanes(typename Ln::T* sum, const typename Ln::T* high, const typename Ln::T* low, typename Ln::T extra,
                    int32_t n) {
  typedef typename Ln::T T;
  const typename Ln::L e = Ln::Splat(extra);
  int32_t x = 0;
  for (; x + Ln::Count <= n; x += Ln::Count)
    Ln::Store(sum + x, Ln::Add(Ln::Add(Ln::Load(sum + x), e), Ln::Sub(Ln::Load(high + x), Ln::Load(low + x))));
  for (; x < n; ++x) sum[x] = static_cast<T>(sum[x] + high[x] - low[x] + extra);
}

// The bounds in registers, each range as its lane set prepares it.
template <class Ln>
struct BoundRegs {
  typename Ln::L birthFirst, birthSecond, surviveFirst, surviveSecond;
};

template <class Ln>
inline BoundRegs<Ln> LoadBounds(const LargerBounds<typename Ln::T>& b) {
  BoundRegs<Ln> regs;
  Ln::Range(b.birthLow, b.birthHigh, &regs.birthFirst, &regs.birthSecond);
  Ln::Range(b.surviveLow, b.surviveHigh, &regs.surviveFirst, &regs.surviveSecond);
  return regs;
}

// The fates of the W cells from `fates`, register k of their counts given
// by countAt(k) (1 register of 8-bit lanes, 2 of 16-bit ones, 4 of 32-bit
// ones): each range's lanes are packed to bytes as masks, then made bits.
template <class Ln, class CountAt>
inline void StoreFates(uint8_t* fates, const BoundRegs<Ln>& b, CountAt countAt) {
  typedef typename Ln::L L;
  V born, lives;
  if constexpr (sizeof(typename Ln::T) == 1) {
    const L c0 = countAt(0);
    born = Ln::Within(c0, b.birthFirst, b.birthSecond);
    lives = Ln::Within(c0, b.surviveFirst, b.surviveSecond);
  } else if constexpr (sizeof(typename Ln::T) == 2) {
    const L c0 = countAt(0), c1 = countAt(1);
    born = Ln::Pack(Ln::Within(c0, b.birthFirst, b.birthSecond), Ln::Within(c1, b.birthFirst, b.birthSecond));
    lives = Ln::Pack(Ln::Within(c0, b.surviveFirst, b.surviveSecond), Ln::Within(c1, b.surviveFirst, b.surviveSecond));
  } else {
    const L c0 = countAt(0), c1 = countAt(1), c2 = countAt(2), c3 = countAt(3);
    born = Ln::Pack(Ln::Within(c0, b.birthFirst, b.birthSecond), Ln::Within(c1, b.birthFirst, b.birthSecond),
                    Ln::Within(c2, b.birthFirst, b.birthSecond), Ln::Within(c3, b.birthFirst, b.birthSecond));
    lives = Ln::Pack(Ln::Within(c0, b.surviveFirst, b.surviveSecond), Ln::Within(c1, b.surviveFirst, b.surviveSecond),
                     Ln::Within(c2, b.surviveFirst, b.surviveSecond), Ln::Within(c3, b.surviveFirst, b.surviveSecond));
  }
  Ops::Store(fates, Ops::Or(Ops::And(born, Ops::Splat(FateBorn)), Ops::And(lives, Ops::Splat(FateLives))));
}

template <class Ln>
void WindowFateLanes(uint8_t* fates, const typename Ln::T* high, const typename Ln::T* low, typename Ln::T extra,
                     const LargerBounds<typename Ln::T>& bounds, int32_t n) {
  const BoundRegs<Ln> b = LoadBounds<Ln>(bounds);
  const typename Ln::L e = Ln::Splat(extra);
  int32_t x = 0;
  for (; x + W <= n; x += W)
    StoreFates<Ln>(fates + x, b, [&](int k) {
      const int32_t at = x + k * Ln::Count;
      return Ln::Add(Ln::Sub(Ln::Load(high + at), Ln::Load(low + at)), e);
    });
  if (x < n) PlainLanesOf<typename Ln::T>().windowFates(fates + x, high + x, low + x, extra, bounds, n - x);
}

// One register of a disc's counts: every window's share, from x.
template <class Ln>
inline typename Ln::L DiscLanes(const typename Ln::T* const* highs, const typename Ln::T* const* lows, int32_t windows,
                                typename Ln::L extra, int32_t x) {
  typename Ln::L count = extra;
  for (int32_t k = 0; k < windows; ++k) count = Ln::Add(count, Ln::Sub(Ln::Load(highs[k] + x), Ln::Load(lows[k] + x)));
  return count;
}

template <class Ln>
void DiscFateLanes(uint8_t* fates, const typename Ln::T* const* highs, const typename Ln::T* const* lows,
                   int32_t windows, typename Ln::T extra, const LargerBounds<typename Ln::T>& bounds, int32_t n) {
  typedef typename Ln::T T;
  const BoundRegs<Ln> b = LoadBounds<Ln>(bounds);
  const typename Ln::L e = Ln::Splat(extra);
  int32_t x = 0;
  for (; x + W <= n; x += W)
    StoreFates<Ln>(fates + x, b, [&](int k) { return DiscLanes<Ln>(highs, lows, windows, e, x + k * Ln::Count); });
  for (; x < n; ++x) {
    T count = extra;
    for (int32_t k = 0; k < windows; ++k) count = static_cast<T>(count + highs[k][x] - lows[k][x]);
    fates[x] = LargerFate(count, bounds);
  }
}

// Lanes of runs kept in the counts' width, or in bytes.
template <class Ln>
inline typename Ln::L RunLanes(const typename Ln::T* p) {
  return Ln::Load(p);
}
template <class Ln, class R>
inline typename Ln::L RunLanes(const R* p) {
  return Ln::Widen(p);
}

template <class Ln, class R>
void DiamondFateLanes(uint8_t* fates, typename Ln::T* sums, const R* plus1, const R* plus2, const R* minus1,
                      const R* minus2, const uint8_t* add, const uint8_t* take,
                      const LargerBounds<typename Ln::T>& bounds, int32_t n) {
  typedef typename Ln::L L;
  const BoundRegs<Ln> b = LoadBounds<Ln>(bounds);
  int32_t x = 0;
  for (; x + W <= n; x += W)
    StoreFates<Ln>(fates + x, b, [&](int k) {
      const int32_t at = x + k * Ln::Count;
      const L gained = Ln::Add(Ln::Add(RunLanes<Ln>(plus1 + at), RunLanes<Ln>(plus2 + at)), Ln::Cells(add + at));
      const L lost = Ln::Add(Ln::Add(RunLanes<Ln>(minus1 + at), RunLanes<Ln>(minus2 + at)), Ln::Cells(take + at));
      const L sum = Ln::Add(Ln::Load(sums + at), Ln::Sub(gained, lost));
      Ln::Store(sums + at, sum);
      return sum;
    });
  if (x < n) {
    const LargerLanes<typename Ln::T>& plain = PlainLanesOf<typename Ln::T>();
    if constexpr (std::is_same<R, typename Ln::T>::value)
      plain.diamondFates(fates + x, sums + x, plus1 + x, plus2 + x, minus1 + x, minus2 + x, add + x, take + x, bounds,
                         n - x);
    else
      plain.byteDiamondFates(fates + x, sums + x, plus1 + x, plus2 + x, minus1 + x, minus2 + x, add + x, take + x,
                             bounds, n - x);
  }
}

template <class Ln>
void SlideFateLanes(uint8_t* fates, typename Ln::T* sums, const uint8_t* enter, const uint8_t* leave,
                    const LargerBounds<typename Ln::T>& bounds, int32_t n) {
  const BoundRegs<Ln> b = LoadBounds<Ln>(bounds);
  int32_t x = 0;
  for (; x + W <= n; x += W)
    StoreFates<Ln>(fates + x, b, [&](int k) {
      const int32_t at = x + k * Ln::Count;
      const typename Ln::L sum =
          Ln::Add(Ln::Load(sums + at), Ln::Sub(Ln::Widen(enter + at), Ln::Widen(leave + at)));
      Ln::Store(sums + at, sum);
      return sum;
    });
  if (x < n)
    PlainLanesOf<typename Ln::T>().slideFates(fates + x, sums + x, enter + x, leave + x, bounds, n - x);
}

template <class Ln>
void CountFateLanes(uint8_t* fates, const typename Ln::T* counts, const LargerBounds<typename Ln::T>& bounds,
                    int32_t n) {
  const BoundRegs<Ln> b = LoadBounds<Ln>(bounds);
  int32_t x = 0;
  for (; x + W <= n; x += W) StoreFates<Ln>(fates + x, b, [&](int k) { return Ln::Load(counts + x + k * Ln::Count); });
  if (x < n) PlainLanesOf<typename Ln::T>().countFates(fates + x, counts + x, bounds, n - x);
}

template <class Ln>
constexpr LargerLanes<typename Ln::T> LanesOf() {
  return LargerLanes<typename Ln::T>{SlideLanes<Ln>,      AddCellLanes<Ln>,    AddByteLanes<Ln>,
                                     PrefixOfLanes<Ln>,   PrefixOfCells<Ln>,   OffsetLanes<Ln>,
                                     WindowLanes<Ln>,     AddWindowLanes<Ln>,  WindowFateLanes<Ln>,
                                     DiscFateLanes<Ln>,   DiamondFateLanes<Ln, typename Ln::T>,
                                     DiamondFateLanes<Ln, uint8_t>,            SlideFateLanes<Ln>,
                                     CountFateLanes<Ln>};
}

// ---- Cells

void StateCells(uint8_t* cells, uint8_t* decay, uint8_t* saved, const uint8_t* fates, int32_t states, int32_t n) {
  const V one = Ops::Splat(1), two = Ops::Splat(2), three = Ops::Splat(3), dying = Ops::Splat(CellDying);
  const V last = Ops::Splat(static_cast<uint8_t>(states - 1)), zero = Ops::Zero();
  int32_t x = 0;
  for (; x + W <= n; x += W) {
    const V v = Ops::Load(cells + x), f = Ops::Load(fates + x);
    const V life = Ops::And(v, one);
    Ops::Store(saved + x, life);
    const V alive = Ops::Eq(life, one);
    const V flagged = Ops::Eq(Ops::And(v, dying), dying);
    const V decaying = Ops::AndNot(alive, flagged);
    const V lives = Ops::Eq(Ops::And(f, two), two);
    const V born = Ops::Eq(Ops::And(f, one), one);
    const V now = Ops::Or(Ops::And(alive, lives), Ops::AndNot(Ops::Or(alive, decaying), born));
    V dyingNow = zero;
    if (states > 2) {
      // The next dying state, kept while it is 3 .. states - 1; a cell
      // that stops living starts at 2.
      const V next = Ops::Add(Ops::Load(decay + x), one);
      const V kept = Ops::And(Ops::Eq(Ops::MaxU(next, three), next), Ops::Eq(Ops::MinU(next, last), next));
      const V state = Ops::Or(Ops::And(Ops::And(decaying, kept), next), Ops::And(Ops::AndNot(lives, alive), two));
      Ops::Store(decay + x, state);
      dyingNow = Ops::AndNot(Ops::Eq(state, zero), dying);
    } else if (!Ops::AllZero(flagged)) {
      Ops::Store(decay + x, Ops::AndNot(flagged, Ops::Load(decay + x)));
    }
    Ops::Store(cells + x, Ops::Or(Ops::And(now, one), dyingNow));
  }
  if (x < n) PlainLarger.cells.states(cells + x, decay + x, saved + x, fates + x, states, n - x);
}

void ColumnSumCells(uint8_t* sums, const uint8_t* up, const uint8_t* mid, const uint8_t* down, int32_t n) {
  const V one = Ops::Splat(1);
  int32_t x = 0;
  for (; x + W <= n; x += W)
    Ops::Store(sums + x, Ops::Add(Ops::Add(Ops::And(Ops::Load(up + x), one), Ops::And(Ops::Load(mid + x), one)),
                                  Ops::And(Ops::Load(down + x), one)));
  if (x < n) PlainLarger.cells.columnSums(sums + x, up + x, mid + x, down + x, n - x);
}

void MooreCountCells(uint8_t* row, const uint8_t* sums, int32_t n) {
  const V one = Ops::Splat(1), kept = Ops::Splat(CellDying | 1);
  int32_t x = 0;
  for (; x + W <= n; x += W) {
    const V v = Ops::Load(row + x);
    const V count = Ops::Sub(Ops::Add(Ops::Add(Ops::Load(sums + x - 1), Ops::Load(sums + x)), Ops::Load(sums + x + 1)),
                             Ops::And(v, one));
    Ops::Store(row + x, Ops::Or(Ops::And(v, kept), Ops::Add(count, count)));
  }
  // The plain loop reads sums[x - 1] and sums[x + n] of its own rest: both
  // there.
  if (x < n) PlainLarger.cells.mooreCounts(row + x, sums + x, n - x);
}

}  // namespace
