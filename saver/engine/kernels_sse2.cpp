// The SSE2 kernels: the baseline every x86 build runs (the i686 build is
// compiled with -msse2).
#include <emmintrin.h>

#include <cstdint>

#include "engine/kernels.h"

namespace {

struct Ops {
  typedef __m128i V;
  typedef __m128i I;  // 32-bit lanes
  typedef __m128 F;
  static const int Width = 16;
  static const int Lanes = 4;

  static V Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void Store(uint8_t* p, V v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
  static V Zero() { return _mm_setzero_si128(); }
  static V Splat(uint8_t b) { return _mm_set1_epi8(static_cast<char>(b)); }
  static V Add(V a, V b) { return _mm_add_epi8(a, b); }
  static V Sub(V a, V b) { return _mm_sub_epi8(a, b); }
  static V And(V a, V b) { return _mm_and_si128(a, b); }
  static V Or(V a, V b) { return _mm_or_si128(a, b); }
  static V Xor(V a, V b) { return _mm_xor_si128(a, b); }
  static V AndNot(V a, V b) { return _mm_andnot_si128(a, b); }  // ~a & b
  static V Eq(V a, V b) { return _mm_cmpeq_epi8(a, b); }
  // a where the mask (bytes of 0 or 0xFF) is set, else b.
  static V Select(V mask, V a, V b) { return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b)); }
  struct ShadeRegs {
    const uint32_t* shades;
  };
  // The shades are looked up as they are: nothing to work out beforehand.
  struct ShadeTable {
    const uint32_t* shades;
  };
  static ShadeTable MakeShadeTable(const uint32_t* shades, int32_t, int32_t) { return ShadeTable{shades}; }
  static ShadeRegs LoadShades(const ShadeTable& table) { return ShadeRegs{table.shades}; }
  static int MoveMask(V a) { return _mm_movemask_epi8(a); }
  static V MinU(V a, V b) { return _mm_min_epu8(a, b); }
  static V SubSat(V a, V b) { return _mm_subs_epu8(a, b); }  // unsigned, down to 0
  // Each byte halved (the bit shifted in from the byte above is cleared).
  static V Half(V a) { return _mm_and_si128(_mm_srli_epi16(a, 1), _mm_set1_epi8(0x7F)); }
  static bool AllZero(V a) { return _mm_movemask_epi8(_mm_cmpeq_epi8(a, _mm_setzero_si128())) == 0xFFFF; }
  // Conway's rule: +1 for a birth (6), -1 (0xFF) for a death (odd, not 5 or 7), else 0.
  static V ConwayAction(V v) {
    const V one = _mm_set1_epi8(1);
    const V born = _mm_cmpeq_epi8(v, _mm_set1_epi8(6));
    const V odd = _mm_cmpeq_epi8(_mm_and_si128(v, one), one);
    const V survives = _mm_cmpeq_epi8(_mm_or_si128(v, _mm_set1_epi8(2)), _mm_set1_epi8(7));  // 5 or 7
    return _mm_or_si128(_mm_andnot_si128(survives, odd), _mm_and_si128(born, one));
  }
  // Any rule's action of each byte, by comparing it with the bytes that are
  // born and those that live on (bytes from 16 up brought down to 16 or 17):
  // +1 for a birth, -1 (0xFF) for a live cell that does not live on.
  typedef const KernelRule* RuleRegs;  // too many values for the registers: read as needed
  static RuleRegs LoadRule(const KernelRule& rule) { return &rule; }
  static V StepAction(V v, RuleRegs regs) {
    const KernelRule& rule = *regs;
    const V one = _mm_set1_epi8(1);
    const V odd = _mm_cmpeq_epi8(_mm_and_si128(v, one), one);
    const V clamped = _mm_min_epu8(v, _mm_or_si128(_mm_and_si128(v, one), _mm_set1_epi8(16)));
    V born = _mm_setzero_si128(), lives = _mm_setzero_si128();
    for (int32_t k = 0; k < rule.birthCount; ++k)
      born = _mm_or_si128(born, _mm_cmpeq_epi8(clamped, Load(rule.births[k])));
    for (int32_t k = 0; k < rule.survivalCount; ++k)
      lives = _mm_or_si128(lives, _mm_cmpeq_epi8(clamped, Load(rule.survivals[k])));
    return _mm_or_si128(_mm_andnot_si128(lives, odd), _mm_and_si128(born, one));
  }
  // The low 16 bits of a word as 16 bytes of 0 or 1, lowest bit first.
  static V ExpandBits(uint64_t word) {
    __m128i v = _mm_cvtsi32_si128(static_cast<int>(word & 0xFFFFu));
    v = _mm_unpacklo_epi8(v, v);
    v = _mm_unpacklo_epi16(v, v);
    v = _mm_unpacklo_epi32(v, v);  // byte 0 eight times, then byte 1
    const __m128i bit = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
    return _mm_and_si128(_mm_cmpeq_epi8(_mm_and_si128(v, bit), bit), _mm_set1_epi8(1));
  }

  static I Load32(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void Store32(uint32_t* p, I v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
  static I Splat32(uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
  static I Add32(I a, I b) { return _mm_add_epi32(a, b); }
  static I And32(I a, I b) { return _mm_and_si128(a, b); }
  static I Srl16(I a) { return _mm_srli_epi32(a, 16); }
  // SSE2 multiplies only even lanes to 64 bits: do the odd lanes shifted down.
  static I Mul32(I a, I b) {
    const __m128i even = _mm_mul_epu32(a, b);
    const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
    return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                              _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
  }
  static I Pack(I a, I b) { return _mm_packs_epi32(a, b); }
  static I MulAddPairs(I a, I b) { return _mm_madd_epi16(a, b); }
  static F LoadF(const float* p) { return _mm_loadu_ps(p); }
  static F ToFloat(I a) { return _mm_cvtepi32_ps(a); }
  static I Truncate(F a) { return _mm_cvttps_epi32(a); }
  static F FMul(F a, F b) { return _mm_mul_ps(a, b); }
  static F FSub(F a, F b) { return _mm_sub_ps(a, b); }
};

}  // namespace

#include "engine/kernels_body.h"

namespace {

int32_t CountAliveRow(const uint8_t* cells, int32_t count) {
  const __m128i one = _mm_set1_epi8(1);
  __m128i total = _mm_setzero_si128();
  int32_t i = 0;
  // Up to 255 chunks of byte counts, then fold them into the 64-bit sums.
  while (i + 16 <= count) {
    __m128i bytes = _mm_setzero_si128();
    for (int k = 0; k < 255 && i + 16 <= count; ++k, i += 16)
      bytes = _mm_add_epi8(bytes, _mm_and_si128(Ops::Load(cells + i), one));
    total = _mm_add_epi64(total, _mm_sad_epu8(bytes, _mm_setzero_si128()));
  }
  int32_t alive = _mm_cvtsi128_si32(total) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(total, total));
  for (; i < count; ++i) alive += cells[i] & 1;
  return alive;
}

// No byte shuffle in SSE2: one table look-up per pixel on the low four bits.
inline void ColourTable(const uint32_t* live, uint32_t dead, uint32_t* colours) {
  for (int v = 0; v < 16; ++v) colours[v] = (v & 1) ? live[v >> 1] : dead;
}

int32_t PaintPixelRow(const uint8_t* cells, uint32_t* pixels, int32_t count, const uint32_t* live, uint32_t dead,
                      bool) {
  uint32_t colours[16];
  ColourTable(live, dead, colours);
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    pixels[i] = colours[cells[i] & 15];
    pixels[i + 1] = colours[cells[i + 1] & 15];
    pixels[i + 2] = colours[cells[i + 2] & 15];
    pixels[i + 3] = colours[cells[i + 3] & 15];
  }
  for (; i < count; ++i) pixels[i] = colours[cells[i] & 15];
  return CountAliveRow(cells, count);
}

void PaintMarkedSegments(const uint8_t* cells, uint32_t* pixels, int32_t count, const uint32_t* live, uint32_t dead,
                         bool, const uint8_t* marks) {
  uint32_t colours[16];
  ColourTable(live, dead, colours);
  for (int32_t x0 = 0, k = 0; x0 < count; x0 += MarkSegment, ++k) {
    if (marks[k] == 0) continue;
    const int32_t x1 = std::min(count, x0 + MarkSegment);
    for (int32_t i = x0; i < x1; ++i) pixels[i] = colours[cells[i] & 15];
  }
}

// No gather in SSE2: the shade numbers go through a register's worth of
// memory and are looked up one by one.
inline void StoreShades(__m128i high, __m128i low, const Ops::ShadeRegs& regs, uint32_t* pixels) {
  const uint32_t* shades = regs.shades;
  uint16_t index[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(index), _mm_unpacklo_epi8(low, high));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(index + 8), _mm_unpackhi_epi8(low, high));
  for (int i = 0; i < 16; ++i) pixels[i] = shades[index[i]];
}

inline void StoreTrailShades(__m128i alive, __m128i liveRow, __m128i deadRow, __m128i fade, const Ops::ShadeRegs& regs,
                             uint32_t* pixels) {
  StoreTrailShadesByNumber(alive, liveRow, deadRow, fade, regs, pixels);
}

// No byte shuffle in SSE2: a look-up per pixel.
int32_t PaintDyingCells(const uint8_t* cells, const uint8_t* decay, uint32_t* pixels, int32_t x0, int32_t x1,
                        const Ops::ShadeTable& table, int32_t states, bool) {
  for (int32_t x = x0; x < x1; ++x) pixels[x] = DyingPixel(cells[x], DyingState(cells, decay, x), table.shades, states);
  return CountAliveRow(cells + x0, x1 - x0);
}

// No byte shuffle in SSE2: a table look-up per cell, each block's index
// slid along the row from the one before.
bool BlockActions(const uint8_t* codes, uint8_t* actions, int32_t columns, const KernelRule& rule) {
  const int8_t* table = rule.blockAction;
  uint32_t index = BlockIndex(codes[-1], codes[0], codes[1]);
  uint8_t any = 0;
  for (int32_t x = 0;; ++x) {
    const uint8_t action = static_cast<uint8_t>(table[index]);
    actions[x] = action;
    any |= action;
    if (x + 1 == columns) break;
    index = index >> 3 | static_cast<uint32_t>(codes[x + 2]) << 6;
  }
  return any != 0;
}

void CopyPixels(uint32_t* to, const uint32_t* from, int32_t count, bool stream) {
  int32_t i = 0;
  if (stream) {
    for (; i < count && (reinterpret_cast<uintptr_t>(to + i) & 15) != 0; ++i) to[i] = from[i];
    for (; i + 4 <= count; i += 4)
      _mm_stream_si128(reinterpret_cast<__m128i*>(to + i), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i)));
    _mm_sfence();
  } else {
    for (; i + 4 <= count; i += 4)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i)));
  }
  for (; i < count; ++i) to[i] = from[i];
}

}  // namespace

const GridKernels Sse2Kernels = {"sse2",          Ops::Width,    StepKernel,    PaintStepKernel, CountMarksKernel,
                                 MarkDrawsKernel, PaintPixelRow, CountAliveRow, CopyPixels};
