// The row operations behind StepLarger, one set per instruction set: the
// plain one everywhere, SSE2 and AVX2 on x86. A generation is made row by row
// from running sums (see larger.cpp); these are its loops over one row. Every
// set gives the same values as the plain one, for any bytes.
#pragma once

#include <cstddef>
#include <cstdint>

// The counts a cell's fate is decided by, with the cell itself counted when
// it is alive (a rule without the middle has its survival bounds raised by
// one for that): a dead cell is born with birthLow..birthHigh, a live one
// lives on with surviveLow..surviveHigh. A range with low > high is empty.
template <class T>
struct LargerBounds {
  T birthLow;
  T birthHigh;
  T surviveLow;
  T surviveHigh;
};

// A cell's fate byte: bit 0 its count would make it born, bit 1 live on.
const uint8_t FateBorn = 1;
const uint8_t FateLives = 2;

// Static, so that the AVX2 loops' object shares no symbol with the others
// (see larger_avx2.cpp).
template <class T>
static inline uint8_t LargerFate(T count, const LargerBounds<T>& b) {
  const bool born = count >= b.birthLow && count <= b.birthHigh;
  const bool lives = count >= b.surviveLow && count <= b.surviveHigh;
  return static_cast<uint8_t>((born ? FateBorn : 0) | (lives ? FateLives : 0));
}

// Loops over n lanes of counts of one width (T: uint8_t, uint16_t or uint32_t), all
// modulo 2^bits: a running sum may pass through any value on its way, and a
// count comes out right as long as the true count fits. Byte rows are cells:
// only bit 0 (alive) is read. Out-of-place unless said otherwise.
template <class T>
struct LargerLanes {
  // out[x] = in[x] + enter[x] - leave[x]; out may be in.
  void (*slide)(T* out, const T* in, const uint8_t* enter, const uint8_t* leave, int32_t n);
  // sum[x] += row[x]
  void (*addCells)(T* sum, const uint8_t* row, int32_t n);
  // sum[x] += bytes[x], whole bytes (not cells).
  void (*addBytes)(T* sum, const uint8_t* bytes, int32_t n);
  // prefix[0] = 0 and prefix[x + 1] = prefix[x] + values[x] (n + 1 lanes).
  void (*prefix)(T* prefix, const T* values, int32_t n);
  // The same over a row of cells.
  void (*prefixCells)(T* prefix, const uint8_t* row, int32_t n);
  // out[x] = in[x] + delta
  void (*offset)(T* out, const T* in, T delta, int32_t n);
  // out[x] = high[x] - low[x] + extra
  void (*window)(T* out, const T* high, const T* low, T extra, int32_t n);
  // sum[x] += high[x] - low[x] + extra
  void (*addWindow)(T* sum, const T* high, const T* low, T extra, int32_t n);
  // fates[x] by the count high[x] - low[x] + extra.
  void (*windowFates)(uint8_t* fates, const T* high, const T* low, T extra, const LargerBounds<T>& bounds, int32_t n);
  // fates[x] by the count of `windows` windows: the sum over k of
  // highs[k][x] - lows[k][x], and extra.
  void (*discFates)(uint8_t* fates, const T* const* highs, const T* const* lows, int32_t windows, T extra,
                    const LargerBounds<T>& bounds, int32_t n);
  // sums[x] += plus1[x] + plus2[x] - minus1[x] - minus2[x] + add[x] - take[x],
  // in place, and fates[x] by the new sum.
  void (*diamondFates)(uint8_t* fates, T* sums, const T* plus1, const T* plus2, const T* minus1, const T* minus2,
                       const uint8_t* add, const uint8_t* take, const LargerBounds<T>& bounds, int32_t n);
  // The same with plus1, plus2, minus1 and minus2 in bytes (whole bytes).
  void (*byteDiamondFates)(uint8_t* fates, T* sums, const uint8_t* plus1, const uint8_t* plus2,
                           const uint8_t* minus1, const uint8_t* minus2, const uint8_t* add, const uint8_t* take,
                           const LargerBounds<T>& bounds, int32_t n);
  // sums[x] += enter[x] - leave[x] (whole bytes), in place, and fates[x] by
  // the new sum.
  void (*slideFates)(uint8_t* fates, T* sums, const uint8_t* enter, const uint8_t* leave,
                     const LargerBounds<T>& bounds, int32_t n);
  // fates[x] by counts[x].
  void (*countFates)(uint8_t* fates, const T* counts, const LargerBounds<T>& bounds, int32_t n);
};

// Loops over n cells of a row.
struct LargerCells {
  // One row's next states (see engine.h) from its fates, of a rule of
  // `states` states (2..256): cells[x] gets the new life and dying bit
  // (the neighbour count left 0), decay[x] the new dying state, and
  // saved[x] the old life (cells[x] & 1). With 2 states the decay plane is
  // not read; a cell whose dying bit was set gets decay 0.
  void (*states)(uint8_t* cells, uint8_t* decay, uint8_t* saved, const uint8_t* fates, int32_t states, int32_t n);
  // sums[x] = up[x] + mid[x] + down[x] (bit 0 of each)
  void (*columnSums)(uint8_t* sums, const uint8_t* up, const uint8_t* mid, const uint8_t* down, int32_t n);
  // The live neighbours among the Moore eight into bits 1..4 of row[x] from
  // the column sums around it (sums[-1] and sums[n] are the wrapped ones).
  void (*mooreCounts)(uint8_t* row, const uint8_t* sums, int32_t n);
};

struct LargerKernels {
  const char* name;
  LargerLanes<uint8_t> lanes8;
  LargerLanes<uint16_t> lanes16;
  LargerLanes<uint32_t> lanes32;
  LargerCells cells;
};

extern const LargerKernels PlainLarger;
#if defined(__i386__) || defined(__x86_64__)
extern const LargerKernels Sse2Larger;
extern const LargerKernels Avx2Larger;
#endif

// The sets built in that this CPU runs, plain first and the widest last;
// null past the last.
const LargerKernels* LargerKernelSet(int32_t index);
// The set StepLarger uses: the widest, chosen on the first call.
const LargerKernels* ActiveLargerKernels();
// Replaces the chosen set; null chooses again (tests compare every set).
void UseLargerKernels(const LargerKernels* kernels);
