// The AVX2 kernels: 32-byte registers and byte shuffles for the colour
// look-up. Compiled for AVX2 here only; they run after the CPU check. Nothing
// with outside linkage may be defined in this file besides the table at the
// end, so no AVX2 code can stand in for a baseline copy at link time.
//
// The Windows builds do not align the stack to 32 bytes: registers are not
// passed to functions that stay out of line, and stack arrays are read and
// written with unaligned loads and stores only.
//
// Every header is read before the switch to AVX2, those kernels_body.h reads
// included, so that no inline or template function of a shared header is
// compiled here with AVX2 instructions: an unoptimised build emits such
// functions out of line as weak symbols, and the linker may take this copy
// for the whole program. A test checks that the object defines no weak
// symbol at all.
#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/kernels.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#elif defined(__GNUC__)
#pragma GCC target("avx2")
#endif

namespace {

struct Ops {
  typedef __m256i V;
  typedef __m256i I;  // 32-bit lanes
  typedef __m256 F;
  static const int Width = 32;
  static const int Lanes = 8;

  static V Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static void Store(uint8_t* p, V v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
  static V Zero() { return _mm256_setzero_si256(); }
  static V Splat(uint8_t b) { return _mm256_set1_epi8(static_cast<char>(b)); }
  static V Add(V a, V b) { return _mm256_add_epi8(a, b); }
  static V Sub(V a, V b) { return _mm256_sub_epi8(a, b); }
  static V And(V a, V b) { return _mm256_and_si256(a, b); }
  static V Or(V a, V b) { return _mm256_or_si256(a, b); }
  static V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
  static V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }  // ~a & b
  static V Eq(V a, V b) { return _mm256_cmpeq_epi8(a, b); }
  // a where the mask (bytes of 0 or 0xFF) is set, else b.
  static V Select(V mask, V a, V b) { return _mm256_blendv_epi8(b, a, mask); }
  // The full colours of the shades' rows (and the dead colour after them) as
  // byte tables, one per byte of a pixel; the fade and the factor of its
  // weights (see TrailWeight). Fades of up to WeightTableFades generations
  // take their weights from a table instead: entry f - 1 the weight of f
  // generations of fading to come (1 .. cap, more taken as cap), the
  // shuffle's 0 that of none; one 16-entry table holds fades of up to 16.
  static constexpr int32_t WeightTableFades = 32;
  struct ShadeRegs {
    __m256i blue, green, red, top;
    __m256i fade;
    __m256i factor;
    __m256i weightsLow, weightsHigh;  // weights of fades 1..16 and 17..32
    __m256i weightCap;
    bool noTop;    // every colour's top byte is 0: no need to blend them
    bool byTable;  // the weights by the table
    bool oneTable;  // by its first 16 entries
  };
  // A rule of few dying states paints them by byte shuffles too: each
  // state's colours by the cell's row (at 2 x row, the byte's own bits
  // 1..3), laid over the live and dead colours where a cell is in that
  // state. More states are blended as trails are.
  static const int32_t ShuffledDyingStates = 4;
  // With one or two dying states, both share one table, a state's colours
  // of row r at 2 x r + (state - 2), laid over without a branch: whether a
  // register holds a dying cell is as good as random in a soup.
  static const int32_t PairedDyingStates = 2;
  // What the registers are loaded from, worked out once a pass in plain
  // memory: each byte plane of the rows' full colours and the dead one, and
  // the fade's numbers. For a rule of few dying states, the planes of the
  // shuffles that paint them: dying[0] the live and dead colours by the
  // byte's low four bits, dying[1 + i] state 2 + i's; for one or two, the
  // states paired, and the 64-entry tables of the permutes (see
  // PaintPermutedDying).
  struct ShadeTable {
    const uint32_t* shades;
    uint8_t planes[4][16];
    int16_t fade;
    int16_t factor;
    bool noTop;
    uint8_t weights[32];
    uint8_t weightCap;
    bool byTable;
    bool oneTable;
    uint8_t dying[1 + ShuffledDyingStates][4][16];
    uint8_t paired[4][16];
    uint8_t permuted[4][64];
  };
  static void MakeDyingPlanes(ShadeTable* table, const uint32_t* shades, int32_t dyingStates) {
    for (int v = 0; v < 16; ++v) {
      const uint32_t colour = (v & 1) ? shades[((v >> 1) & 7) * TrailSteps] : shades[TrailRows * TrailSteps];
      for (int b = 0; b < 4; ++b) table->dying[0][b][v] = static_cast<uint8_t>(colour >> (8 * b));
    }
    for (int i = 0; i < dyingStates; ++i)
      for (int r = 0; r < 8; ++r)
        for (int b = 0; b < 4; ++b) {
          const uint8_t byte = static_cast<uint8_t>(shades[r * TrailSteps + (dyingStates - i)] >> (8 * b));
          table->dying[1 + i][b][2 * r] = byte;
          if (dyingStates <= PairedDyingStates) table->paired[b][2 * r + i] = byte;
        }
    if (dyingStates > PairedDyingStates) return;
    for (int i = 0; i < 64; ++i)
      for (int b = 0; b < 4; ++b)
        table->permuted[b][i] = (i & CellDying) ? table->paired[b][i & 15] : table->dying[0][b][i & 15];
  }
  static ShadeTable MakeShadeTable(const uint32_t* shades, int32_t fade, int32_t dyingStates) {
    ShadeTable table = {shades, {}, static_cast<int16_t>(fade), static_cast<int16_t>(TrailWeightFactor(fade)), true,
                        {}, 0, false, false, {}, {}, {}};
    if (shades == nullptr) return table;  // a pass that paints no shades
    if (dyingStates > 0 && dyingStates <= ShuffledDyingStates) MakeDyingPlanes(&table, shades, dyingStates);
    for (int r = 0; r <= TrailRows; ++r)
      for (int b = 0; b < 4; ++b) table.planes[b][r] = static_cast<uint8_t>(shades[r * TrailSteps] >> (8 * b));
    for (int i = 0; i < 16; ++i) table.noTop = table.noTop && table.planes[3][i] == 0;
    // A fade of 0 still tells a cell with a fade to come (weight 0) from one without.
    const int32_t cap = fade > 1 ? fade : 1;  // no std::max: an out-of-line copy of it would be AVX2 code
    table.byTable = cap <= WeightTableFades;
    table.oneTable = cap <= 16;
    table.weightCap = static_cast<uint8_t>(cap < WeightTableFades ? cap : WeightTableFades);
    for (int f = 1; f <= 32; ++f) table.weights[f - 1] = static_cast<uint8_t>(TrailWeight(f < cap ? f : cap, fade));
    return table;
  }
  static ShadeRegs LoadShades(const ShadeTable& table) {
    const auto lane = [&](const uint8_t* bytes) {
      return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
    };
    return ShadeRegs{lane(table.planes[0]),
                     lane(table.planes[1]),
                     lane(table.planes[2]),
                     lane(table.planes[3]),
                     _mm256_set1_epi16(table.fade),
                     _mm256_set1_epi16(table.factor),
                     lane(table.weights),
                     lane(table.weights + 16),
                     _mm256_set1_epi8(static_cast<char>(table.weightCap)),
                     table.noTop,
                     table.byTable,
                     table.oneTable};
  }
  static int MoveMask(V a) { return _mm256_movemask_epi8(a); }
  static V MinU(V a, V b) { return _mm256_min_epu8(a, b); }
  static V SubSat(V a, V b) { return _mm256_subs_epu8(a, b); }  // unsigned, down to 0
  // Each byte halved (the bit shifted in from the byte above is cleared).
  static V Half(V a) { return _mm256_and_si256(_mm256_srli_epi16(a, 1), _mm256_set1_epi8(0x7F)); }
  static bool AllZero(V a) { return _mm256_testz_si256(a, a) != 0; }
  // Conway's rule: +1 for a birth (6), -1 (0xFF) for a death (odd, not 5 or
  // 7), else 0, by one 16-entry table: bytes from 16 up are folded onto 14
  // (even) or 15 (odd), whose actions they share.
  static V ConwayAction(V v) {
    const __m256i table = _mm256_setr_epi8(0, -1, 0, -1, 0, 0, 1, 0, 0, -1, 0, -1, 0, -1, 0, -1, 0, -1, 0, -1, 0, 0, 1,
                                           0, 0, -1, 0, -1, 0, -1, 0, -1);
    const __m256i folded = _mm256_or_si256(_mm256_and_si256(v, _mm256_set1_epi8(1)), _mm256_set1_epi8(14));
    return _mm256_shuffle_epi8(table, _mm256_min_epu8(v, folded));
  }
  // Any rule's action of each byte by two 16-entry tables: bytes from 16 up
  // are brought down to 16 (even) or 17 (odd), the bytes below 16 index the
  // first table as they are, and 16 and 17 the second.
  struct RuleRegs {
    __m256i low;
    __m256i high;
  };
  static RuleRegs LoadRule(const KernelRule& rule) {
    return RuleRegs{_mm256_loadu_si256(reinterpret_cast<const __m256i*>(rule.low)),
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rule.high))};
  }
  static V StepAction(V v, RuleRegs rule) {
    const __m256i clamped =
        _mm256_min_epu8(v, _mm256_or_si256(_mm256_and_si256(v, _mm256_set1_epi8(1)), _mm256_set1_epi8(16)));
    return _mm256_blendv_epi8(_mm256_shuffle_epi8(rule.low, clamped), _mm256_shuffle_epi8(rule.high, clamped),
                              _mm256_cmpgt_epi8(clamped, _mm256_set1_epi8(15)));
  }
  // The low 32 bits of a word as 32 bytes of 0 or 1, lowest bit first.
  static V ExpandBits(uint64_t word) {
    const __m256i spread = _mm256_shuffle_epi8(_mm256_set1_epi32(static_cast<int>(static_cast<uint32_t>(word))),
                                               _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1,  //
                                                                2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3));
    const __m256i bit = _mm256_set1_epi64x(static_cast<int64_t>(0x8040201008040201ull));
    return _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_and_si256(spread, bit), bit), _mm256_set1_epi8(1));
  }

  static I Load32(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static void Store32(uint32_t* p, I v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
  static I Splat32(uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
  static I Add32(I a, I b) { return _mm256_add_epi32(a, b); }
  static I And32(I a, I b) { return _mm256_and_si256(a, b); }
  static I Srl16(I a) { return _mm256_srli_epi32(a, 16); }
  static I Mul32(I a, I b) { return _mm256_mullo_epi32(a, b); }
  static I Pack(I a, I b) { return _mm256_packs_epi32(a, b); }
  static I MulAddPairs(I a, I b) { return _mm256_madd_epi16(a, b); }
  static F LoadF(const float* p) { return _mm256_loadu_ps(p); }
  static F ToFloat(I a) { return _mm256_cvtepi32_ps(a); }
  static I Truncate(F a) { return _mm256_cvttps_epi32(a); }
  static F FMul(F a, F b) { return _mm256_mul_ps(a, b); }
  static F FSub(F a, F b) { return _mm256_sub_ps(a, b); }
};

}  // namespace

#include "engine/kernels_body.h"

namespace {

inline int32_t SumOfQuads(__m256i sums) {
  const __m128i folded = _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
  return static_cast<int32_t>(_mm_cvtsi128_si32(folded) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(folded, folded)));
}

int32_t CountAliveRow(const uint8_t* cells, int32_t count) {
  const __m256i one = _mm256_set1_epi8(1);
  __m256i total = _mm256_setzero_si256();
  int32_t i = 0;
  while (i + 32 <= count) {
    __m256i bytes = _mm256_setzero_si256();
    for (int k = 0; k < 255 && i + 32 <= count; ++k, i += 32)
      bytes = _mm256_add_epi8(bytes, _mm256_and_si256(Ops::Load(cells + i), one));
    total = _mm256_add_epi64(total, _mm256_sad_epu8(bytes, _mm256_setzero_si256()));
  }
  int32_t alive = SumOfQuads(total);
  for (; i < count; ++i) alive += cells[i] & 1;
  return alive;
}

// The colour of a cell hangs on its low four bits only (alive, count mod 8),
// so each byte of the colour is a 16-entry byte shuffle; the four bytes are
// then interleaved into pixels. The cells are first put in the dword order
// 0 2 4 6 | 1 3 5 7 so that the in-lane interleaves come out in row order.
struct ColourPlanes {
  __m256i blue, green, red, top;
};

inline ColourPlanes PlanesOf(const uint32_t* live, uint32_t dead) {
  uint8_t planes[4][16];
  for (int v = 0; v < 16; ++v) {
    const uint32_t colour = (v & 1) ? live[v >> 1] : dead;
    for (int b = 0; b < 4; ++b) planes[b][v] = static_cast<uint8_t>(colour >> (8 * b));
  }
  ColourPlanes p;
  p.blue = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(planes[0])));
  p.green = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(planes[1])));
  p.red = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(planes[2])));
  p.top = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(planes[3])));
  return p;
}

template <bool Stream>
inline void StorePixels(__m256i* out, __m256i pixels) {
  if (Stream)
    _mm256_stream_si256(out, pixels);
  else
    _mm256_storeu_si256(out, pixels);
}

// The dword order that makes the interleaves come out in row order.
inline __m256i CellOrder(__m256i v) { return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7)); }

// 32 pixels from the four bytes of each, in cell order.
template <bool Stream>
inline void StoreChannels(__m256i blue, __m256i green, __m256i red, __m256i top, uint32_t* pixels) {
  const __m256i low = _mm256_unpacklo_epi8(blue, green), high = _mm256_unpacklo_epi8(red, top);
  const __m256i low2 = _mm256_unpackhi_epi8(blue, green), high2 = _mm256_unpackhi_epi8(red, top);
  __m256i* out = reinterpret_cast<__m256i*>(pixels);
  StorePixels<Stream>(out, _mm256_unpacklo_epi16(low, high));
  StorePixels<Stream>(out + 1, _mm256_unpackhi_epi16(low, high));
  StorePixels<Stream>(out + 2, _mm256_unpacklo_epi16(low2, high2));
  StorePixels<Stream>(out + 3, _mm256_unpackhi_epi16(low2, high2));
}

// 32 pixels from 32 cells.
template <bool Stream>
inline void PaintChunk(const ColourPlanes& planes, __m256i v, uint32_t* pixels) {
  const __m256i index = _mm256_and_si256(CellOrder(v), _mm256_set1_epi8(15));
  StoreChannels<Stream>(_mm256_shuffle_epi8(planes.blue, index), _mm256_shuffle_epi8(planes.green, index),
                        _mm256_shuffle_epi8(planes.red, index), _mm256_shuffle_epi8(planes.top, index), pixels);
}

inline uint32_t PixelOf(uint8_t v, const uint32_t* live, uint32_t dead) { return (v & 1) ? live[(v >> 1) & 7] : dead; }

template <bool Stream>
int32_t PaintRowAvx2(const uint8_t* cells, uint32_t* pixels, int32_t count, const uint32_t* live, uint32_t dead) {
  const ColourPlanes planes = PlanesOf(live, dead);
  const __m256i one = _mm256_set1_epi8(1);
  __m256i total = _mm256_setzero_si256();
  int32_t alive = 0, i = 0;
  // Streaming stores take whole aligned registers.
  for (; Stream && i < count && (reinterpret_cast<uintptr_t>(pixels + i) & 31) != 0; ++i) {
    alive += cells[i] & 1;
    pixels[i] = PixelOf(cells[i], live, dead);
  }
  for (; i + 32 <= count; i += 32) {
    const __m256i v = Ops::Load(cells + i);
    total = _mm256_add_epi64(total, _mm256_sad_epu8(_mm256_and_si256(v, one), _mm256_setzero_si256()));
    PaintChunk<Stream>(planes, v, pixels + i);
  }
  if (Stream) _mm_sfence();
  alive += SumOfQuads(total);
  for (; i < count; ++i) {
    alive += cells[i] & 1;
    pixels[i] = PixelOf(cells[i], live, dead);
  }
  return alive;
}

template <bool Stream>
void PaintSegmentsAvx2(const uint8_t* cells, uint32_t* pixels, int32_t count, const uint32_t* live, uint32_t dead,
                       const uint8_t* marks) {
  const ColourPlanes planes = PlanesOf(live, dead);
  const int32_t whole = count / MarkSegment;
  for (int32_t k = 0; k < whole; ++k)
    if (marks[k] != 0) PaintChunk<Stream>(planes, Ops::Load(cells + k * MarkSegment), pixels + k * MarkSegment);
  if (Stream) _mm_sfence();
  if (whole * MarkSegment < count && marks[whole] != 0)
    for (int32_t i = whole * MarkSegment; i < count; ++i) pixels[i] = PixelOf(cells[i], live, dead);
}

int32_t PaintPixelRow(const uint8_t* cells, uint32_t* pixels, int32_t count, const uint32_t* live, uint32_t dead,
                      bool stream) {
  return stream ? PaintRowAvx2<true>(cells, pixels, count, live, dead)
                : PaintRowAvx2<false>(cells, pixels, count, live, dead);
}

static_assert(MarkSegment == 32, "a segment is one register of cells");

// Segments start every 128 bytes, so one aligned start aligns them all.
void PaintMarkedSegments(const uint8_t* cells, uint32_t* pixels, int32_t count, const uint32_t* live, uint32_t dead,
                         bool stream, const uint8_t* marks) {
  if (stream && (reinterpret_cast<uintptr_t>(pixels) & 31) == 0)
    PaintSegmentsAvx2<true>(cells, pixels, count, live, dead, marks);
  else
    PaintSegmentsAvx2<false>(cells, pixels, count, live, dead, marks);
}

// The weights of 32 cells by their fades to come (0: none, weight 0).
inline __m256i FadeWeights(__m256i low, const Ops::ShadeRegs& regs) {
  if (regs.byTable) {
    // Fade 0 comes to 0xFF, which the shuffles take as 0.
    const __m256i f = _mm256_sub_epi8(_mm256_min_epu8(low, regs.weightCap), _mm256_set1_epi8(1));
    if (regs.oneTable) return _mm256_shuffle_epi8(regs.weightsLow, f);
    return _mm256_blendv_epi8(_mm256_shuffle_epi8(regs.weightsLow, f), _mm256_shuffle_epi8(regs.weightsHigh, f),
                              _mm256_cmpgt_epi8(f, _mm256_set1_epi8(15)));
  }
  const __m256i zero = _mm256_setzero_si256();
  const auto weightOf = [&](__m256i fade) {
    return _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_min_epu16(fade, regs.fade), regs.factor), 8);
  };
  return _mm256_packus_epi16(weightOf(_mm256_unpacklo_epi8(low, zero)), weightOf(_mm256_unpackhi_epi8(low, zero)));
}

// 32 pixels, each its row's full colour (by the byte tables, as PaintChunk
// paints) blended with the dead colour's (the table's entry after the rows)
// by its weight, as ShadeBetween blends: weight 0 is the dead colour
// whatever the row. The rows are below 16, so they index the byte tables as
// they are. Every register is blended: whether one holds a fading cell is as
// good as random in a soup, and a branch on it costs more than the blend.
inline void BlendShades(__m256i high, __m256i weight, const Ops::ShadeRegs& regs, uint32_t* pixels) {
  const ColourPlanes planes = {regs.blue, regs.green, regs.red, regs.top};
  const __m256i index = CellOrder(high);
  const __m256i w = CellOrder(weight);
  const __m256i rest = _mm256_sub_epi8(_mm256_set1_epi8(TrailWeightWhole), w);
  const __m256i weightsLow = _mm256_unpacklo_epi8(w, rest), weightsHigh = _mm256_unpackhi_epi8(w, rest);
  // Each cell's row beside the dead colour's: the pairs to blend.
  const __m256i deadRow = _mm256_set1_epi8(TrailRows);
  const __m256i pairsLow = _mm256_unpacklo_epi8(index, deadRow), pairsHigh = _mm256_unpackhi_epi8(index, deadRow);
  const __m256i round = _mm256_set1_epi16(1 << (15 - TrailWeightBits));
  // A byte of the blended colours in 16-bit lanes (0..255), the cells of
  // the low and the high interleave apart.
  const auto blend = [&](__m256i plane, const __m256i& pairs, const __m256i& weights) {
    return _mm256_mulhrs_epi16(_mm256_maddubs_epi16(_mm256_shuffle_epi8(plane, pairs), weights), round);
  };
  // Two bytes of each pixel side by side in 16-bit lanes, as the byte
  // interleaves of StoreChannels put them.
  const auto pair = [&](__m256i a, __m256i b) { return _mm256_or_si256(a, _mm256_slli_epi16(b, 8)); };
  const __m256i low1 = pair(blend(planes.blue, pairsLow, weightsLow), blend(planes.green, pairsLow, weightsLow));
  const __m256i low2 = pair(blend(planes.blue, pairsHigh, weightsHigh), blend(planes.green, pairsHigh, weightsHigh));
  __m256i high1 = blend(planes.red, pairsLow, weightsLow), high2 = blend(planes.red, pairsHigh, weightsHigh);
  if (!regs.noTop) {
    high1 = pair(high1, blend(planes.top, pairsLow, weightsLow));
    high2 = pair(high2, blend(planes.top, pairsHigh, weightsHigh));
  }
  __m256i* out = reinterpret_cast<__m256i*>(pixels);
  StorePixels<false>(out, _mm256_unpacklo_epi16(low1, high1));
  StorePixels<false>(out + 1, _mm256_unpackhi_epi16(low1, high1));
  StorePixels<false>(out + 2, _mm256_unpacklo_epi16(low2, high2));
  StorePixels<false>(out + 3, _mm256_unpackhi_epi16(low2, high2));
}

// By shade numbers: a cell of fade 0 shows its row's full colour.
inline void StoreShades(__m256i high, __m256i low, const Ops::ShadeRegs& regs, uint32_t* pixels) {
  const __m256i whole = _mm256_cmpeq_epi8(low, _mm256_setzero_si256());
  BlendShades(high, Ops::Select(whole, _mm256_set1_epi8(TrailWeightWhole), FadeWeights(low, regs)), regs, pixels);
}

// With trails: a live cell shows its row whole, a dead one its last row by
// its fade to come, the dead colour without one.
inline void StoreTrailShades(__m256i alive, __m256i liveRow, __m256i deadRow, __m256i fade, const Ops::ShadeRegs& regs,
                             uint32_t* pixels) {
  BlendShades(Ops::Select(alive, liveRow, deadRow),
              Ops::Select(alive, _mm256_set1_epi8(TrailWeightWhole), FadeWeights(fade, regs)), regs, pixels);
}

const int32_t ShuffledDyingStates = Ops::ShuffledDyingStates;
const int32_t PairedDyingStates = Ops::PairedDyingStates;

// Whole registers of cells x0..x1-1 of such a rule (with its decay plane,
// or the states in the bytes); returns their live cells. Inline: it takes
// the planes from the caller's registers.
template <bool Decay, bool Stream>
__attribute__((always_inline)) inline int32_t PaintPairedDying(const uint8_t* cells, const uint8_t* decay,
                                                               uint32_t* pixels, int32_t x0, int32_t x1,
                                                               const ColourPlanes& base,
                                                               const ColourPlanes& dyingPlanes, int32_t dyingStates) {
  const __m256i bit = _mm256_set1_epi8(static_cast<char>(CellDying)), one = _mm256_set1_epi8(1);
  const __m256i last = _mm256_set1_epi8(static_cast<char>(dyingStates - 1));
  __m256i total = _mm256_setzero_si256();
  for (int32_t x = x0; x < x1; x += 32) {
    const __m256i v = CellOrder(Ops::Load(cells + x));
    total = _mm256_add_epi64(total, _mm256_sad_epu8(_mm256_and_si256(v, one), _mm256_setzero_si256()));
    const __m256i index = _mm256_and_si256(v, _mm256_set1_epi8(15));
    __m256i dying = _mm256_cmpeq_epi8(_mm256_and_si256(v, bit), bit);
    __m256i row = _mm256_and_si256(v, _mm256_set1_epi8(14));
    // Without the plane a cell's state is in its byte (CellLater: state 3).
    if (!Decay) row = _mm256_or_si256(row, _mm256_and_si256(_mm256_srli_epi16(v, 6), one));
    if (Decay) {
      // A dying cell in a state past the rule's shows as dead, as the others paint it.
      const __m256i s = _mm256_sub_epi8(CellOrder(Ops::Load(decay + x)), _mm256_set1_epi8(2));
      dying = _mm256_and_si256(dying, _mm256_cmpeq_epi8(_mm256_min_epu8(s, last), s));
      row = _mm256_or_si256(row, _mm256_and_si256(s, one));
    }
    const auto channel = [&](__m256i from, __m256i over) {
      return _mm256_blendv_epi8(_mm256_shuffle_epi8(from, index), _mm256_shuffle_epi8(over, row), dying);
    };
    StoreChannels<Stream>(channel(base.blue, dyingPlanes.blue), channel(base.green, dyingPlanes.green),
                          channel(base.red, dyingPlanes.red), channel(base.top, dyingPlanes.top), pixels + x);
  }
  return SumOfQuads(total);
}

// With AVX-512 VBMI, the cells of such a rule without a decay plane by one
// permute of a 64-byte table a colour byte: a byte's low six bits index it,
// the live and dead colours below CellDying by the low four, the dying ones
// above it at 2 x row + (state - 2), the state's bit (CellLater) moved into
// bit 0, which a dying cell has clear. Out of line (the CPU may not run it),
// so it takes its tables from memory.
#define TUMBRA_PERMUTES __attribute__((target("avx2,avx512f,avx512bw,avx512vl,avx512vbmi")))
template <bool Stream>
TUMBRA_PERMUTES int32_t PaintPermutedDying(const uint8_t* cells, uint32_t* pixels, int32_t x0, int32_t x1,
                                           const uint8_t (*tables)[64]) {
  const __m256i* t = reinterpret_cast<const __m256i*>(tables);
  const __m256i blue0 = _mm256_loadu_si256(t), blue1 = _mm256_loadu_si256(t + 1);
  const __m256i green0 = _mm256_loadu_si256(t + 2), green1 = _mm256_loadu_si256(t + 3);
  const __m256i red0 = _mm256_loadu_si256(t + 4), red1 = _mm256_loadu_si256(t + 5);
  const __m256i top0 = _mm256_loadu_si256(t + 6), top1 = _mm256_loadu_si256(t + 7);
  const __m256i one = _mm256_set1_epi8(1);
  __m256i total = _mm256_setzero_si256();
  for (int32_t x = x0; x < x1; x += 32) {
    const __m256i v = CellOrder(Ops::Load(cells + x));
    total = _mm256_add_epi64(total, _mm256_sad_epu8(_mm256_and_si256(v, one), _mm256_setzero_si256()));
    const __m256i index = _mm256_or_si256(v, _mm256_and_si256(_mm256_srli_epi16(v, 6), one));
    StoreChannels<Stream>(_mm256_permutex2var_epi8(blue0, index, blue1),
                          _mm256_permutex2var_epi8(green0, index, green1), _mm256_permutex2var_epi8(red0, index, red1),
                          _mm256_permutex2var_epi8(top0, index, top1), pixels + x);
  }
  return SumOfQuads(total);
}
#undef TUMBRA_PERMUTES

int32_t PaintDyingCells(const uint8_t* cells, const uint8_t* decay, uint32_t* pixels, int32_t x0, int32_t x1,
                        const Ops::ShadeTable& table, int32_t states, bool stream) {
  const int32_t dyingStates = states - 2;
  int32_t x = x0;
  if (dyingStates <= ShuffledDyingStates) {
    const auto lane = [&](const uint8_t* bytes) {
      return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
    };
    const auto plane = [&](int t, int b) { return lane(table.dying[t][b]); };
    const __m256i bit = _mm256_set1_epi8(static_cast<char>(CellDying));
    if (dyingStates <= PairedDyingStates) {
      // Streaming stores take whole aligned registers: the cells before
      // the first go one at a time.
      int32_t start = x0;
      while (stream && start < x1 && (reinterpret_cast<uintptr_t>(pixels + start) & 31) != 0) ++start;
      PaintDyingRun(cells, decay, pixels, x0, start, table, states);
      const int32_t end = start + (x1 - start) / 32 * 32;
      int32_t alive = CountAliveRow(cells + x0, start - x0);
      if (decay == nullptr && DyingPermutesInUse()) {
        alive += stream ? PaintPermutedDying<true>(cells, pixels, start, end, table.permuted)
                        : PaintPermutedDying<false>(cells, pixels, start, end, table.permuted);
      } else {
        const ColourPlanes base = {plane(0, 0), plane(0, 1), plane(0, 2), plane(0, 3)};
        const ColourPlanes dyingPlanes = {lane(table.paired[0]), lane(table.paired[1]), lane(table.paired[2]),
                                          lane(table.paired[3])};
        // Called directly, so that they take the planes inline.
        if (decay != nullptr && stream)
          alive += PaintPairedDying<true, true>(cells, decay, pixels, start, end, base, dyingPlanes, dyingStates);
        else if (decay != nullptr)
          alive += PaintPairedDying<true, false>(cells, decay, pixels, start, end, base, dyingPlanes, dyingStates);
        else if (stream)
          alive += PaintPairedDying<false, true>(cells, decay, pixels, start, end, base, dyingPlanes, dyingStates);
        else
          alive += PaintPairedDying<false, false>(cells, decay, pixels, start, end, base, dyingPlanes, dyingStates);
      }
      if (stream) _mm_sfence();
      PaintDyingRun(cells, decay, pixels, end, x1, table, states);
      return alive + CountAliveRow(cells + end, x1 - end);
    }
    for (; x + 32 <= x1; x += 32) {
      const __m256i v = CellOrder(Ops::Load(cells + x));
      const __m256i index = _mm256_and_si256(v, _mm256_set1_epi8(15));
      __m256i channel[4];
      for (int b = 0; b < 4; ++b) channel[b] = _mm256_shuffle_epi8(plane(0, b), index);
      const __m256i dying = _mm256_cmpeq_epi8(_mm256_and_si256(v, bit), bit);
      if (!Ops::AllZero(dying)) {
        const __m256i row = _mm256_and_si256(v, _mm256_set1_epi8(14));
        const __m256i state = decay != nullptr ? CellOrder(Ops::Load(decay + x)) : _mm256_setzero_si256();
        for (int i = 0; i < dyingStates; ++i) {
          const __m256i in =
              decay != nullptr ? _mm256_and_si256(dying, _mm256_cmpeq_epi8(state, _mm256_set1_epi8(2 + i))) : dying;
          for (int b = 0; b < 4; ++b)
            channel[b] = _mm256_blendv_epi8(channel[b], _mm256_shuffle_epi8(plane(1 + i, b), row), in);
        }
      }
      StoreChannels<false>(channel[0], channel[1], channel[2], channel[3], pixels + x);
    }
  }
  PaintDyingRun(cells, decay, pixels, x, x1, table, states);
  return CountAliveRow(cells + x0, x1 - x0);
}

// The outcome of a block by four 16-entry byte shuffles: the low four bits
// of its index pick a byte of each table, the top two a table, and the
// three between a bit of that byte (see KernelRule).
bool BlockActions(const uint8_t* codes, uint8_t* actions, int32_t columns, const KernelRule& rule) {
  const auto table = [&](int t) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rule.blockTables[t])); };
  const __m256i t0 = table(0), t1 = table(1), t2 = table(2), t3 = table(3);
  const __m256i powers = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                          1, 2, 4, 8, 16, 32, 64, -128, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m256i one = _mm256_set1_epi8(1), three = _mm256_set1_epi8(3);
  __m256i any = _mm256_setzero_si256();
  const int32_t tail = columns - 32;
  for (int32_t x = 0;; x = x + 32 < tail ? x + 32 : tail) {
    const __m256i left = Ops::Load(codes + x - 1), middle = Ops::Load(codes + x), right = Ops::Load(codes + x + 1);
    // Each byte is below 8, so the 16-bit shifts carry nothing the masks keep.
    const __m256i key = _mm256_or_si256(left, _mm256_and_si256(_mm256_slli_epi16(middle, 3), _mm256_set1_epi8(8)));
    const __m256i bit = _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi16(middle, 1), three),
                                        _mm256_and_si256(_mm256_slli_epi16(right, 2), _mm256_set1_epi8(4)));
    const __m256i t = _mm256_and_si256(_mm256_srli_epi16(right, 1), three);
    const __m256i low = _mm256_slli_epi16(t, 7), high = _mm256_slli_epi16(t, 6);  // t's bits at bit 7 of each byte
    const __m256i pick = _mm256_blendv_epi8(
        _mm256_blendv_epi8(_mm256_shuffle_epi8(t0, key), _mm256_shuffle_epi8(t1, key), low),
        _mm256_blendv_epi8(_mm256_shuffle_epi8(t2, key), _mm256_shuffle_epi8(t3, key), low), high);
    const __m256i mask = _mm256_shuffle_epi8(powers, bit);
    const __m256i alive = _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_and_si256(pick, mask), mask), one);
    const __m256i action = _mm256_sub_epi8(alive, _mm256_and_si256(_mm256_srli_epi16(middle, 1), one));
    Ops::Store(actions + x, action);
    any = _mm256_or_si256(any, action);
    if (x == tail) break;
  }
  return !Ops::AllZero(any);
}

void CopyPixels(uint32_t* to, const uint32_t* from, int32_t count, bool stream) {
  int32_t i = 0;
  if (stream) {
    for (; i < count && (reinterpret_cast<uintptr_t>(to + i) & 31) != 0; ++i) to[i] = from[i];
    for (; i + 8 <= count; i += 8)
      _mm256_stream_si256(reinterpret_cast<__m256i*>(to + i),
                          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + i)));
    _mm_sfence();
  } else {
    for (; i + 8 <= count; i += 8)
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i),
                          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + i)));
  }
  for (; i < count; ++i) to[i] = from[i];
}

}  // namespace

const GridKernels Avx2Kernels = {"avx2",          Ops::Width,    StepKernel,    PaintStepKernel, CountMarksKernel,
                                 MarkDrawsKernel, PaintPixelRow, CountAliveRow, CopyPixels};

#if defined(__clang__)
#pragma clang attribute pop
#endif
