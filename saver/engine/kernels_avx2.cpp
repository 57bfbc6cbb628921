// The AVX2 kernels: 32-byte registers and a lane permute for the colour
// look-up. Compiled for AVX2 here only; they run after the CPU check. Nothing
// with outside linkage may be defined in this file besides the table at the
// end, so no AVX2 code can stand in for a baseline copy at link time.
//
// Every header is read before the switch to AVX2, so that no inline function
// of a shared header is compiled here with AVX2 instructions.
#include <immintrin.h>

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
  static V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }  // ~a & b
  static V Eq(V a, V b) { return _mm256_cmpeq_epi8(a, b); }
  static bool AllZero(V a) { return _mm256_testz_si256(a, a) != 0; }

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

int32_t CountAliveAvx2(const uint8_t* cells, int32_t count) {
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

// Eight pixels at a time: the count (bits 1..3) picks a live colour by lane
// permute, bit 0 moved to the sign picks live over dead.
inline __m256i EightPixels(const uint8_t* cells, __m256i live, __m256 dead) {
  const __m256i v = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cells)));
  const __m256i colour = _mm256_permutevar8x32_epi32(live, _mm256_srli_epi32(v, 1));
  return _mm256_castps_si256(
      _mm256_blendv_ps(dead, _mm256_castsi256_ps(colour), _mm256_castsi256_ps(_mm256_slli_epi32(v, 31))));
}

int32_t PaintRowAvx2(const uint8_t* cells, uint32_t* pixels, int32_t count, const uint32_t* live, uint32_t dead) {
  const __m256i liveColours = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(live));
  const __m256 deadColour = _mm256_castsi256_ps(_mm256_set1_epi32(static_cast<int>(dead)));
  const __m256i one = _mm256_set1_epi8(1);
  __m256i total = _mm256_setzero_si256();
  int32_t i = 0;
  for (; i + 32 <= count; i += 32) {
    total = _mm256_add_epi64(total, _mm256_sad_epu8(_mm256_and_si256(Ops::Load(cells + i), one),
                                                    _mm256_setzero_si256()));
    __m256i* out = reinterpret_cast<__m256i*>(pixels + i);
    _mm256_storeu_si256(out, EightPixels(cells + i, liveColours, deadColour));
    _mm256_storeu_si256(out + 1, EightPixels(cells + i + 8, liveColours, deadColour));
    _mm256_storeu_si256(out + 2, EightPixels(cells + i + 16, liveColours, deadColour));
    _mm256_storeu_si256(out + 3, EightPixels(cells + i + 24, liveColours, deadColour));
  }
  int32_t alive = SumOfQuads(total);
  for (; i < count; ++i) {
    const uint8_t v = cells[i];
    alive += v & 1;
    pixels[i] = (v & 1) ? live[(v >> 1) & 7] : dead;
  }
  return alive;
}

}  // namespace

const GridKernels Avx2Kernels = {"avx2", Ops::Width, StepKernel, RecountKernel, MarkDrawsKernel, PaintRowAvx2,
                                 CountAliveAvx2};

#if defined(__clang__)
#pragma clang attribute pop
#endif
