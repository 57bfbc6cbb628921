// Larger than Life on the torus: a generation made row by row from running
// sums, so that what a cell costs does not grow with the range.
//
// The square (M) is summed in two steps: each column's sum over the 2r + 1
// rows around the row being made is kept from row to row (the row entering
// added, the row leaving taken off), and a row's counts are windows of the
// prefix sums of those column sums. For ranges 8 to 127 the steps are taken
// the other way round, the cheaper one there (see SquareFates).
//
// The diamond (N) is kept from row to row as well. Moving down one row, it
// gains the cells of its lower edge (two diagonal arms meeting at its
// bottom) and loses those of its upper edge (two arms meeting at its top).
// Each arm is a run of r + 1 cells along a diagonal, and such runs are
// themselves kept from row to row along their diagonal, shifted one column:
// left runs (ending at (x, y), reaching up-left) and right runs (up-right),
// once at the row entering and once at the row leaving. Its first row is
// summed from the windows of its 2r + 1 rows.
//
// The disc (C) is the sum of 2r + 1 row windows, one per row of the disc
// (a cell counts when dx^2 + dy^2 <= r^2 + r, inside the circle of radius
// r + 0.5), each from the prefix sums of its row, kept for as long as the row
// is in reach. That costs O(r) a cell.
//
// On a torus narrower than the window a cell is counted as often as the
// window covers it: a window of length L over c columns is L / c whole turns
// of the row and a rest, and the running sums wrap the same way.
//
// Counts are kept in 8-bit lanes when the neighbourhood has fewer than 255
// cells (ranges up to 7 of the square), in 16-bit lanes below 65535 (up to
// 127), in 32-bit lanes beyond; sums wrap, and only the true counts, which
// fit, are ever compared. The largest value of a lane is never a count, so
// it can stand for an empty range. The fates of a row are decided as soon as
// its counts are known, its new states written in place (its old life saved
// in the snapshot, for the rows after), and the Moore counts of each row
// made once the rows on both sides of it are new. The sums' memory is kept
// from step to step and grown when a step needs more.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "engine/engine.h"
#include "engine/larger_kernels.h"

// ---- The plain loops ------------------------------------------------------------

namespace {

template <class T>
void PlainSlide(T* out, const T* in, const uint8_t* enter, const uint8_t* leave, int32_t n) {
  for (int32_t x = 0; x < n; ++x) out[x] = static_cast<T>(in[x] + (enter[x] & 1) - (leave[x] & 1));
}

template <class T>
void PlainAddCells(T* sum, const uint8_t* row, int32_t n) {
  for (int32_t x = 0; x < n; ++x) sum[x] = static_cast<T>(sum[x] + (row[x] & 1));
}

template <class T>
void PlainPrefix(T* prefix, const T* values, int32_t n) {
  T total = 0;
  prefix[0] = 0;
  for (int32_t x = 0; x < n; ++x) prefix[x + 1] = total = static_cast<T>(total + values[x]);
}

template <class T>
void PlainPrefixCells(T* prefix, const uint8_t* row, int32_t n) {
  T total = 0;
  prefix[0] = 0;
  for (int32_t x = 0; x < n; ++x) prefix[x + 1] = total = static_cast<T>(total + (row[x] & 1));
}

template <class T>
void PlainOffset(T* out, const T* in, T delta, int32_t n) {
  for (int32_t x = 0; x < n; ++x) out[x] = static_cast<T>(in[x] + delta);
}

template <class T>
void PlainAddBytes(T* sum, const uint8_t* bytes, int32_t n) {
  for (int32_t x = 0; x < n; ++x) sum[x] = static_cast<T>(sum[x] + bytes[x]);
}

template <class T>
void PlainWindow(T* out, const T* high, const T* low, T extra, int32_t n) {
  for (int32_t x = 0; x < n; ++x) out[x] = static_cast<T>(high[x] - low[x] + extra);
}

template <class T>
void PlainAddWindow(T* sum, const T* high, const T* low, T extra, int32_t n) {
  for (int32_t x = 0; x < n; ++x) sum[x] = static_cast<T>(sum[x] + high[x] - low[x] + extra);
}

template <class T>
void PlainWindowFates(uint8_t* fates, const T* high, const T* low, T extra, const LargerBounds<T>& bounds,
                      int32_t n) {
  for (int32_t x = 0; x < n; ++x) fates[x] = LargerFate(static_cast<T>(high[x] - low[x] + extra), bounds);
}

template <class T>
void PlainDiscFates(uint8_t* fates, const T* const* highs, const T* const* lows, int32_t windows, T extra,
                    const LargerBounds<T>& bounds, int32_t n) {
  for (int32_t x = 0; x < n; ++x) {
    T count = extra;
    for (int32_t k = 0; k < windows; ++k) count = static_cast<T>(count + highs[k][x] - lows[k][x]);
    fates[x] = LargerFate(count, bounds);
  }
}

template <class T, class R>
void PlainDiamondFates(uint8_t* fates, T* sums, const R* plus1, const R* plus2, const R* minus1, const R* minus2,
                       const uint8_t* add, const uint8_t* take, const LargerBounds<T>& bounds, int32_t n) {
  for (int32_t x = 0; x < n; ++x) {
    const T sum =
        static_cast<T>(sums[x] + plus1[x] + plus2[x] - minus1[x] - minus2[x] + (add[x] & 1) - (take[x] & 1));
    sums[x] = sum;
    fates[x] = LargerFate(sum, bounds);
  }
}

template <class T>
void PlainSlideFates(uint8_t* fates, T* sums, const uint8_t* enter, const uint8_t* leave, const LargerBounds<T>& bounds,
                     int32_t n) {
  for (int32_t x = 0; x < n; ++x) {
    const T sum = static_cast<T>(sums[x] + enter[x] - leave[x]);
    sums[x] = sum;
    fates[x] = LargerFate(sum, bounds);
  }
}

template <class T>
void PlainCountFates(uint8_t* fates, const T* counts, const LargerBounds<T>& bounds, int32_t n) {
  for (int32_t x = 0; x < n; ++x) fates[x] = LargerFate(counts[x], bounds);
}

void PlainStates(uint8_t* cells, uint8_t* decay, uint8_t* saved, const uint8_t* fates, int32_t states, int32_t n) {
  for (int32_t x = 0; x < n; ++x) {
    const uint8_t v = cells[x];
    saved[x] = v & 1;
    const bool alive = (v & 1) != 0, dying = !alive && (v & CellDying) != 0;
    int32_t next;
    if (alive)
      next = (fates[x] & FateLives) ? 1 : states > 2 ? 2 : 0;
    else if (dying)
      next = states > 2 && decay[x] >= 2 && decay[x] + 1 < states ? decay[x] + 1 : 0;
    else
      next = (fates[x] & FateBorn) ? 1 : 0;
    cells[x] = static_cast<uint8_t>(next == 1 ? 1 : next >= 2 ? CellDying : 0);
    if (states > 2)
      decay[x] = static_cast<uint8_t>(next >= 2 ? next : 0);
    else if (v & CellDying)
      decay[x] = 0;
  }
}

void PlainColumnSums(uint8_t* sums, const uint8_t* up, const uint8_t* mid, const uint8_t* down, int32_t n) {
  for (int32_t x = 0; x < n; ++x) sums[x] = static_cast<uint8_t>((up[x] & 1) + (mid[x] & 1) + (down[x] & 1));
}

void PlainMooreCounts(uint8_t* row, const uint8_t* sums, int32_t n) {
  for (int32_t x = 0; x < n; ++x) {
    const int32_t count = sums[x - 1] + sums[x] + sums[x + 1] - (row[x] & 1);
    row[x] = static_cast<uint8_t>((row[x] & (CellDying | 1)) | (count << 1));
  }
}

template <class T>
constexpr LargerLanes<T> PlainLanes() {
  return LargerLanes<T>{PlainSlide<T>,       PlainAddCells<T>,   PlainAddBytes<T>,    PlainPrefix<T>,
                        PlainPrefixCells<T>, PlainOffset<T>,     PlainWindow<T>,      PlainAddWindow<T>,
                        PlainWindowFates<T>, PlainDiscFates<T>,  PlainDiamondFates<T, T>,
                        PlainDiamondFates<T, uint8_t>,             PlainSlideFates<T>,  PlainCountFates<T>};
}

}  // namespace

const LargerKernels PlainLarger = {"plain", PlainLanes<uint8_t>(), PlainLanes<uint16_t>(), PlainLanes<uint32_t>(),
                                   LargerCells{PlainStates, PlainColumnSums, PlainMooreCounts}};

// ---- Choice of loops --------------------------------------------------------------

const LargerKernels* LargerKernelSet(int32_t index) {
#if defined(__i386__) || defined(__x86_64__)
  const LargerKernels* const sets[] = {&PlainLarger, &Sse2Larger, CpuRunsAvx2() ? &Avx2Larger : nullptr};
#else
  const LargerKernels* const sets[] = {&PlainLarger, nullptr};
#endif
  const int32_t count = static_cast<int32_t>(sizeof sets / sizeof sets[0]);
  return index >= 0 && index < count ? sets[index] : nullptr;
}

static const LargerKernels* ChosenLarger = nullptr;

const LargerKernels* ActiveLargerKernels() {
  if (ChosenLarger == nullptr)
    for (int32_t k = 0; LargerKernelSet(k) != nullptr; ++k) ChosenLarger = LargerKernelSet(k);
  return ChosenLarger;
}

void UseLargerKernels(const LargerKernels* kernels) { ChosenLarger = kernels; }

// ---- The step -----------------------------------------------------------------------

namespace {

// The sums' memory, kept from step to step and grown when a step needs more.
struct LargerScratch {
  uint8_t* block;
  size_t bytes;
};
LargerScratch Scratch = {nullptr, 0};

uint8_t* ScratchOf(size_t bytes) {
  if (bytes > Scratch.bytes) {
    uint8_t* block = static_cast<uint8_t*>(PlatformAllocateZeroed(bytes));
    if (block == nullptr) return nullptr;
    PlatformFreeZeroed(Scratch.block);
    Scratch = LargerScratch{block, bytes};
  }
  return Scratch.block;
}

inline int32_t Wrap(int64_t i, int32_t n) {
  const int64_t m = i % n;
  return static_cast<int32_t>(m < 0 ? m + n : m);
}

// Where the old generation's life is read while row `current` is made: the
// rows above it are written (their old life is in the snapshot), the others
// are still as they were.
struct OldField {
  const uint8_t* cells;
  const uint8_t* saved;
  int32_t columns;
  int32_t rows;
  int32_t current;
};

inline const uint8_t* OldRow(const OldField& old, int64_t row) {
  const int32_t y = Wrap(row, old.rows);
  return (y < old.current ? old.saved : old.cells) + static_cast<size_t>(y) * old.columns;
}

// A window of 2 half + 1 cells centred on each cell of a row of `columns`:
// `turns` whole turns of the row and the cells [x + low, x + low + length)
// of the row continued on both sides (so low >= -pad and low + length <=
// pad + 1 for the padded prefix sums below).
struct RowWindow {
  int32_t low;
  int32_t length;
  int32_t turns;
};

inline RowWindow WindowOf(int32_t half, int32_t columns) {
  const int32_t cells = 2 * half + 1;
  return RowWindow{-(half % columns), cells % columns, cells / columns};
}

// Half the width of the disc's row dy: the largest w with w^2 + dy^2 <= r^2 + r.
inline int32_t DiscHalf(int32_t range, int32_t dy) {
  const int64_t reach = static_cast<int64_t>(range) * range + range - static_cast<int64_t>(dy) * dy;
  int64_t w = static_cast<int64_t>(std::sqrt(static_cast<double>(reach)));
  while (w * w > reach) --w;
  while ((w + 1) * (w + 1) <= reach) ++w;
  return static_cast<int32_t>(w);
}

// Cells in the neighbourhood, the cell itself included.
int64_t NeighbourhoodSize(const LargerThanLife& rule, int32_t range) {
  const int64_t r = range;
  if (rule.shape == 'N') return 2 * r * (r + 1) + 1;
  if (rule.shape == 'C') {
    int64_t cells = 0;
    for (int32_t dy = -range; dy <= range; ++dy) cells += 2 * DiscHalf(range, dy) + 1;
    return cells;
  }
  return (2 * r + 1) * (2 * r + 1);
}

template <class T>
LargerBounds<T> BoundsOf(const LargerThanLife& rule, int64_t size) {
  const auto clamp = [size](int64_t low, int64_t high, T* lo, T* hi) {
    low = std::max<int64_t>(low, 0);
    high = std::min<int64_t>(high, size);
    *lo = static_cast<T>(low <= high ? low : 1);
    *hi = static_cast<T>(low <= high ? high : 0);
  };
  const int64_t self = rule.middle ? 0 : 1;  // a live cell counts itself in the lanes
  LargerBounds<T> b;
  clamp(rule.birthLow, rule.birthHigh, &b.birthLow, &b.birthHigh);
  clamp(static_cast<int64_t>(rule.surviveLow) + self, static_cast<int64_t>(rule.surviveHigh) + self, &b.surviveLow,
        &b.surviveHigh);
  return b;
}

// Rows of lanes with room on both sides: index -pad .. columns + pad.
inline size_t LaneStride(int32_t columns, int32_t pad) {
  const size_t lanes = static_cast<size_t>(columns) + 2 * static_cast<size_t>(pad) + 1;
  return (lanes + 31) & ~static_cast<size_t>(31);
}

template <class T>
struct Step {
  const LargerLanes<T>* lanes;
  const LargerLanes<uint8_t>* byteLanes;  // rows of byte sums, whatever T is
  const LargerCells* cellOps;
  uint8_t* cells;
  OldField old;
  int32_t columns;
  int32_t rows;
  int32_t range;
  int32_t pad;       // lanes (and bytes) on each side of a padded row, at most columns
  size_t stride;     // lanes from one lane row to the next, bytes from one byte row to the next
  T* laneRows;       // the first lane row's index 0
  uint8_t* bytes;    // the first byte row's index 0
  uint8_t* fates;    // a row of fates
  uint8_t* sums;     // a row of Moore column sums, index -1 .. columns
  LargerBounds<T> bounds;
};

template <class T>
inline T* LaneRow(const Step<T>& s, size_t k) {
  return s.laneRows + k * s.stride;
}

template <class T>
inline uint8_t* ByteRow(const Step<T>& s, size_t k) {
  return s.bytes + k * s.stride;
}

// The prefix sums of a row continued on both sides by pad lanes:
// prefix[-j] = prefix[c - j] - total, prefix[c + j] = prefix[j] + total.
template <class U>
U PadPrefix(const LargerLanes<U>& lanes, U* prefix, int32_t columns, int32_t pad) {
  const U total = prefix[columns];
  lanes.offset(prefix - pad, prefix + columns - pad, static_cast<U>(0 - total), pad);
  lanes.offset(prefix + columns + 1, prefix + 1, total, pad);
  return total;
}

// A row of cells continued on both sides by pad cells, into `out`.
template <class T>
const uint8_t* PaddedRow(const Step<T>& s, uint8_t* out, const uint8_t* row) {
  const int32_t c = s.columns, p = s.pad;
  std::memcpy(out - p, row + c - p, p);
  std::memcpy(out, row, c);
  std::memcpy(out + c, row, p);
  return out;
}

// ---- Square

// Counts up to 255: the column sums over the 2r + 1 rows around row y are
// kept from row to row, and a row's counts are windows of their prefix sums,
// all in one width. Counts up to 65535 come from the other side: each row's
// windows are taken once, in bytes (2r + 1 <= 255 cells), and kept in a
// ring of 2r + 2 rows while they are in reach; a row's counts are kept from
// row to row by adding the row entering and taking off the row leaving. That
// does the prefix sums in bytes, which is cheaper. Beyond, lanes of 32 bits
// take the first way. The memory either way is a few rows, or the ring's
// 2r + 2 (at most the torus' rows).
template <class T>
void SquareFates(Step<T>& s, int32_t y) {
  const int32_t c = s.columns, r = s.range;
  if constexpr (sizeof(T) == 2) {
    T* counts = LaneRow(s, 0);
    uint8_t* prefix = ByteRow(s, 2);
    // A torus of fewer rows keeps every row's windows, taken once.
    const int32_t ring = std::min(2 * r + 2, s.rows);
    const bool whole = ring == s.rows;
    const RowWindow w = WindowOf(r, c);
    const auto windows = [&](int64_t row) {
      s.byteLanes->prefixCells(prefix, OldRow(s.old, row), c);
      const uint8_t total = PadPrefix(*s.byteLanes, prefix, c, s.pad);
      uint8_t* out = ByteRow(s, 3 + Wrap(row, ring));
      s.byteLanes->window(out, prefix + w.low + w.length, prefix + w.low, static_cast<uint8_t>(w.turns * total), c);
      return out;
    };
    if (y == 0) {
      std::memset(counts, 0, sizeof(T) * c);
      for (int32_t row = 0; whole && row < s.rows; ++row) windows(row);
      for (int32_t dy = -r; dy <= r; ++dy)
        s.lanes->addBytes(counts, whole ? ByteRow(s, 3 + Wrap(dy, ring)) : windows(dy), c);
      s.lanes->countFates(s.fates, counts, s.bounds, c);
    } else {
      const int64_t entering = static_cast<int64_t>(y) + r;
      const uint8_t* enter = whole ? ByteRow(s, 3 + Wrap(entering, ring)) : windows(entering);
      const uint8_t* leave = ByteRow(s, 3 + Wrap(static_cast<int64_t>(y) - r - 1, ring));
      s.lanes->slideFates(s.fates, counts, enter, leave, s.bounds, c);
    }
    return;
  }
  T* columnSums = LaneRow(s, 0);
  T* prefix = LaneRow(s, 1);
  if (y == 0) {
    std::memset(columnSums, 0, sizeof(T) * c);
    for (int32_t dy = -r; dy <= r; ++dy) s.lanes->addCells(columnSums, OldRow(s.old, dy), c);
  } else {
    s.lanes->slide(columnSums, columnSums, OldRow(s.old, static_cast<int64_t>(y) + r),
                   OldRow(s.old, static_cast<int64_t>(y) - r - 1), c);
  }
  s.lanes->prefix(prefix, columnSums, c);
  const T total = PadPrefix(*s.lanes, prefix, c, s.pad);
  const RowWindow w = WindowOf(r, c);
  s.lanes->windowFates(s.fates, prefix + w.low + w.length, prefix + w.low, static_cast<T>(w.turns * total), s.bounds,
                       c);
}

// ---- Diamond

// A run holds at most r + 1 cells: in bytes up to range 254, so wherever
// the counts take 16 bits or fewer (up to range 180); in the counts' lanes
// beyond.
template <class T>
using RunOf = std::conditional_t<sizeof(T) == 4, T, uint8_t>;

template <class T>
inline const LargerLanes<RunOf<T>>& RunLanes(const Step<T>& s) {
  if constexpr (sizeof(T) == 4)
    return *s.lanes;
  else
    return *s.byteLanes;
}

// Lane rows 0 the diamond's sums and 1 a prefix row; byte rows 0 and 1 rows
// of cells continued. Then the left and right runs at the row entering and
// at the row leaving, two rows each (this step's and the last): byte rows
// 2 to 9, or lane rows 2 to 9 when runs take lanes.
template <class T>
struct DiamondRows {
  T* sums;
  T* prefix;
  RunOf<T>* enterLeft[2];
  RunOf<T>* enterRight[2];
  RunOf<T>* leaveLeft[2];
  RunOf<T>* leaveRight[2];
};

template <class T>
DiamondRows<T> DiamondRowsOf(const Step<T>& s) {
  DiamondRows<T> d;
  d.sums = LaneRow(s, 0);
  d.prefix = LaneRow(s, 1);
  for (int k = 0; k < 2; ++k) {
    const auto row = [&](size_t i) -> RunOf<T>* {
      if constexpr (sizeof(T) == 4)
        return LaneRow(s, i);
      else
        return ByteRow(s, i);
    };
    d.enterLeft[k] = row(2 + k);
    d.enterRight[k] = row(4 + k);
    d.leaveLeft[k] = row(6 + k);
    d.leaveRight[k] = row(8 + k);
  }
  return d;
}

// The runs continued for the next row's runs (a left one is read at x - 1,
// a right one at x + 1) and, with `reach`, for the upper edge (left ones
// read at x + r, right ones at x - r, both modulo the columns).
template <class T, class R>
void PadRuns(const Step<T>& s, R* left, R* right, bool reach) {
  const int32_t c = s.columns;
  left[-1] = left[c - 1];
  right[c] = right[0];
  if (reach) {
    const int32_t r = s.range % c;
    std::memcpy(left + c, left, sizeof(R) * r);
    std::memcpy(right - r, right + c - r, sizeof(R) * r);
  }
}

// The runs of r + 1 cells ending at row `row`: left ones reach up-left,
// right ones up-right.
template <class T, class R>
void FirstRuns(const Step<T>& s, R* left, R* right, int64_t row, bool reach) {
  std::memset(left, 0, sizeof(R) * s.columns);
  std::memset(right, 0, sizeof(R) * s.columns);
  for (int32_t k = 0; k <= s.range; ++k) {
    const uint8_t* cells = PaddedRow(s, ByteRow(s, 0), OldRow(s.old, row - k));
    const int32_t shift = k % s.columns;
    RunLanes(s).addCells(left, cells - shift, s.columns);
    RunLanes(s).addCells(right, cells + shift, s.columns);
  }
  PadRuns(s, left, right, reach);
}

// The runs moved down one row, to end at row `row`.
template <class T, class R>
void NextRuns(const Step<T>& s, R* left, R* right, const R* lastLeft, const R* lastRight, int64_t row, bool reach,
              uint8_t* padded) {
  const uint8_t* enter = OldRow(s.old, row);
  const uint8_t* leave = PaddedRow(s, padded, OldRow(s.old, row - s.range - 1));
  const int32_t shift = (s.range + 1) % s.columns;
  RunLanes(s).slide(left, lastLeft - 1, enter, leave - shift, s.columns);
  RunLanes(s).slide(right, lastRight + 1, enter, leave + shift, s.columns);
  PadRuns(s, left, right, reach);
}

template <class T>
void DiamondFates(Step<T>& s, int32_t y) {
  const int32_t c = s.columns, r = s.range;
  const DiamondRows<T> d = DiamondRowsOf(s);
  if (y == 0) {
    std::memset(d.sums, 0, sizeof(T) * c);
    for (int32_t dy = -r; dy <= r; ++dy) {
      s.lanes->prefixCells(d.prefix, OldRow(s.old, dy), c);
      const T total = PadPrefix(*s.lanes, d.prefix, c, s.pad);
      const RowWindow w = WindowOf(r - (dy < 0 ? -dy : dy), c);
      s.lanes->addWindow(d.sums, d.prefix + w.low + w.length, d.prefix + w.low, static_cast<T>(w.turns * total), c);
    }
    s.lanes->countFates(s.fates, d.sums, s.bounds, c);
    return;
  }
  // The edge entering has its bottom at row y + r, the one leaving its top
  // at row y - 1 - r; their runs end at rows y + r and y - 1.
  const int now = y & 1, last = now ^ 1;
  RunOf<T>* enterLeft = d.enterLeft[now];
  RunOf<T>* enterRight = d.enterRight[now];
  RunOf<T>* leaveLeft = d.leaveLeft[now];
  RunOf<T>* leaveRight = d.leaveRight[now];
  if (y == 1) {
    FirstRuns(s, enterLeft, enterRight, static_cast<int64_t>(y) + r, false);
    FirstRuns(s, leaveLeft, leaveRight, y - 1, true);
  } else {
    NextRuns(s, enterLeft, enterRight, d.enterLeft[last], d.enterRight[last], static_cast<int64_t>(y) + r, false,
             ByteRow(s, 0));
    NextRuns(s, leaveLeft, leaveRight, d.leaveLeft[last], d.leaveRight[last], y - 1, true, ByteRow(s, 1));
  }
  // Lower edge: the left and right runs ending at its bottom (x, y + r),
  // which both count. Upper edge: the right run from (x - r, y - 1) and the
  // left run from (x + r, y - 1), meeting at its top (x, y - 1 - r).
  const int32_t reach = r % c;
  const uint8_t* top = OldRow(s.old, static_cast<int64_t>(y) - 1 - r);
  const uint8_t* bottom = OldRow(s.old, static_cast<int64_t>(y) + r);
  if constexpr (sizeof(T) == 4)
    s.lanes->diamondFates(s.fates, d.sums, enterLeft, enterRight, leaveRight - reach, leaveLeft + reach, top, bottom,
                          s.bounds, c);
  else
    s.lanes->byteDiamondFates(s.fates, d.sums, enterLeft, enterRight, leaveRight - reach, leaveLeft + reach, top,
                              bottom, s.bounds, c);
}

// ---- Disc

// Lane rows: the prefix sums of every row within reach, in a ring of
// min(rows, 2r + 1) slots; then the totals and the windows' pointers.
template <class T>
struct DiscRing {
  int32_t slots;
  T* totals;
  const T** highs;
  const T** lows;
  int32_t* halves;
};

template <class T>
int32_t DiscSlot(const Step<T>& s, const DiscRing<T>& ring, int64_t row) {
  return ring.slots == s.rows ? Wrap(row, s.rows) : Wrap(row + s.range, ring.slots);
}

template <class T>
void DiscPrefix(const Step<T>& s, const DiscRing<T>& ring, int64_t row) {
  const int32_t slot = DiscSlot(s, ring, row);
  T* prefix = LaneRow(s, slot);
  s.lanes->prefixCells(prefix, OldRow(s.old, row), s.columns);
  ring.totals[slot] = PadPrefix(*s.lanes, prefix, s.columns, s.pad);
}

template <class T>
void DiscFates(Step<T>& s, const DiscRing<T>& ring, int32_t y) {
  const int32_t r = s.range;
  if (y == 0) {
    if (ring.slots == s.rows)
      for (int32_t row = 0; row < s.rows; ++row) DiscPrefix(s, ring, row);
    else
      for (int32_t dy = -r; dy <= r; ++dy) DiscPrefix(s, ring, dy);
  } else if (ring.slots != s.rows) {
    DiscPrefix(s, ring, static_cast<int64_t>(y) + r);
  }
  T extra = 0;
  for (int32_t dy = -r; dy <= r; ++dy) {
    const int32_t slot = DiscSlot(s, ring, static_cast<int64_t>(y) + dy);
    const RowWindow w = WindowOf(ring.halves[dy + r], s.columns);
    const T* prefix = LaneRow(s, slot);
    ring.highs[dy + r] = prefix + w.low + w.length;
    ring.lows[dy + r] = prefix + w.low;
    extra = static_cast<T>(extra + w.turns * ring.totals[slot]);
  }
  s.lanes->discFates(s.fates, ring.highs, ring.lows, 2 * r + 1, extra, s.bounds, s.columns);
}

// ---- A generation

// Bits 1..4 of row y from the new life of the rows around it.
template <class T>
void CountMoore(const Step<T>& s, int32_t y) {
  const size_t c = static_cast<size_t>(s.columns);
  uint8_t* mid = s.cells + y * c;
  const uint8_t* up = s.cells + Wrap(static_cast<int64_t>(y) - 1, s.rows) * c;
  const uint8_t* down = s.cells + Wrap(static_cast<int64_t>(y) + 1, s.rows) * c;
  s.cellOps->columnSums(s.sums, up, mid, down, s.columns);
  s.sums[-1] = s.sums[c - 1];
  s.sums[c] = s.sums[0];
  s.cellOps->mooreCounts(mid, s.sums, s.columns);
}

template <class T>
bool StepWith(const LargerKernels& kernels, const LargerLanes<T>& lanes, uint8_t* cells, uint8_t* decay,
              uint8_t* snapshot, int32_t columns, int32_t rows, const LargerThanLife& rule, int32_t range,
              int32_t states, int64_t size) {
  const char shape = rule.shape == 'N' || rule.shape == 'C' ? rule.shape : 'M';
  const int32_t pad = std::min(range + 1, columns);
  const size_t stride = LaneStride(columns, pad);
  const int32_t discSlots = std::min(rows, 2 * range + 1);
  const size_t laneRows = shape == 'C' ? static_cast<size_t>(discSlots) : shape == 'N' && sizeof(T) == 4 ? 10 : 2;
  // Byte rows: two rows of cells continued, then the square's prefix row and
  // ring of windows, or the diamond's runs.
  const size_t byteRows = shape == 'M' && sizeof(T) == 2 ? 3 + static_cast<size_t>(std::min(2 * range + 2, rows))
                          : shape == 'N'                 ? 10
                                                         : 2;
  const size_t windows = 2 * static_cast<size_t>(range) + 1;
  // Lane rows, byte rows, the disc's totals, pointers and halves, the fates
  // and the column sums, each run on a line of its own, the rows' after the
  // first one's pad.
  const auto line = [](size_t bytes) { return (bytes + 63) & ~static_cast<size_t>(63); };
  const size_t front = (static_cast<size_t>(pad) + 63) & ~static_cast<size_t>(63);
  const size_t laneBytes = line((front + laneRows * stride) * sizeof(T));
  const size_t byteBytes = line(front + byteRows * stride);
  const size_t tableBytes = line(windows * (sizeof(T) + 2 * sizeof(T*) + sizeof(int32_t)));
  const size_t rowBytes = line(static_cast<size_t>(columns) + 128);
  uint8_t* block = ScratchOf(laneBytes + byteBytes + tableBytes + 2 * rowBytes);
  if (block == nullptr) return false;

  Step<T> s;
  s.lanes = &lanes;
  s.byteLanes = &kernels.lanes8;
  s.cellOps = &kernels.cells;
  s.cells = cells;
  s.old = OldField{cells, snapshot, columns, rows, 0};
  s.columns = columns;
  s.rows = rows;
  s.range = range;
  s.pad = pad;
  s.stride = stride;
  // Index 0 of the first row of each run on a line of its own: its pad
  // rounded up.
  s.laneRows = reinterpret_cast<T*>(block) + front;
  s.bytes = block + laneBytes + front;
  s.fates = block + laneBytes + byteBytes + tableBytes;
  s.sums = s.fates + rowBytes + 64;
  s.bounds = BoundsOf<T>(rule, size);

  DiscRing<T> ring = {};
  if (shape == 'C') {
    uint8_t* table = block + laneBytes + byteBytes;
    ring.slots = discSlots;
    ring.highs = reinterpret_cast<const T**>(table);
    ring.lows = ring.highs + windows;
    ring.halves = reinterpret_cast<int32_t*>(ring.lows + windows);
    ring.totals = reinterpret_cast<T*>(ring.halves + windows);
    for (int32_t dy = -range; dy <= range; ++dy) ring.halves[dy + range] = DiscHalf(range, dy);
  }

  const size_t c = static_cast<size_t>(columns);
  for (int32_t y = 0; y < rows; ++y) {
    s.old.current = y;
    if (shape == 'M')
      SquareFates(s, y);
    else if (shape == 'N')
      DiamondFates(s, y);
    else
      DiscFates(s, ring, y);
    kernels.cells.states(cells + y * c, decay + y * c, snapshot + y * c, s.fates, states, columns);
    if (y >= 2) CountMoore(s, y - 1);
  }
  if (rows >= 2) CountMoore(s, rows - 1);
  CountMoore(s, 0);
  return true;
}

}  // namespace

void StepLarger(uint8_t* cells, uint8_t* decay, uint8_t* snapshot, int32_t columns, int32_t rows,
                const LargerThanLife& rule, int32_t states) {
  if (cells == nullptr || decay == nullptr || snapshot == nullptr || columns <= 0 || rows <= 0) return;
  const int32_t range = std::min(std::max(rule.range, 1), LargerRangeLimit);
  states = std::min(std::max(states, 2), RuleMaxStates);
  const int64_t size = NeighbourhoodSize(rule, range);
  const LargerKernels* kernels = ActiveLargerKernels();
  if (size < 0xFF)
    StepWith(*kernels, kernels->lanes8, cells, decay, snapshot, columns, rows, rule, range, states, size);
  else if (size < 0xFFFF)
    StepWith(*kernels, kernels->lanes16, cells, decay, snapshot, columns, rows, rule, range, states, size);
  else
    StepWith(*kernels, kernels->lanes32, cells, decay, snapshot, columns, rows, rule, range, states, size);
}
