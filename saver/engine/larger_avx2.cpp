// The Larger than Life loops in AVX2: 32-byte registers. Compiled for AVX2
// here only; they run after the CPU check. As in kernels_avx2.cpp, nothing
// with outside linkage is defined here but the table at the end, every
// header is read before the switch to AVX2, registers are not passed to
// functions that stay out of line, and no register is kept in a stack array.
#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "engine/engine.h"
#include "engine/larger_kernels.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#elif defined(__GNUC__)
#pragma GCC target("avx2")
#endif

namespace {

struct Ops {
  typedef __m256i V;
  static const int Width = 32;

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
  static V MinU(V a, V b) { return _mm256_min_epu8(a, b); }
  static V MaxU(V a, V b) { return _mm256_max_epu8(a, b); }
  static bool AllZero(V a) { return _mm256_testz_si256(a, a) != 0; }

  struct LaneBits {
    typedef __m256i L;
    static L Or(L a, L b) { return _mm256_or_si256(a, b); }
    static L AndNot(L a, L b) { return _mm256_andnot_si256(a, b); }
  };

  struct Lanes8 : LaneBits {
    typedef uint8_t T;
    static const int Count = 32;
    static L Load(const T* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void Store(T* p, L v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    static L Splat(T v) { return _mm256_set1_epi8(static_cast<char>(v)); }
    static L Add(L a, L b) { return _mm256_add_epi8(a, b); }
    static L Sub(L a, L b) { return _mm256_sub_epi8(a, b); }
    static L Widen(const uint8_t* p) { return Load(p); }
    static L Cells(const uint8_t* p) { return _mm256_and_si256(Load(p), _mm256_set1_epi8(1)); }
    static L Prefix(L v) {
      v = _mm256_add_epi8(v, _mm256_slli_si256(v, 1));
      v = _mm256_add_epi8(v, _mm256_slli_si256(v, 2));
      v = _mm256_add_epi8(v, _mm256_slli_si256(v, 4));
      v = _mm256_add_epi8(v, _mm256_slli_si256(v, 8));
      const __m256i low = _mm256_permute2x128_si256(v, v, 0x08);
      return _mm256_add_epi8(v, _mm256_shuffle_epi8(low, _mm256_set1_epi8(15)));
    }
    static L Last(L v) {
      return _mm256_shuffle_epi8(_mm256_permute4x64_epi64(v, _MM_SHUFFLE(3, 3, 3, 3)), _mm256_set1_epi8(7));
    }
    // A range low..high as low and its span (see Within); an empty one
    // as the largest value, which no count reaches.
    static void Range(T low, T high, L* first, L* second) {
      *first = Splat(low <= high ? low : 0xFF);
      *second = Splat(static_cast<T>(low <= high ? high - low : 0));
    }
    // All ones where low <= v <= low + span, as unsigned values.
    static L Within(L v, L low, L span) {
      const __m256i d = _mm256_sub_epi8(v, low);
      return _mm256_cmpeq_epi8(_mm256_min_epu8(d, span), d);
    }
  };

  struct Lanes16 : LaneBits {
    typedef uint16_t T;
    static const int Count = 16;
    static L Load(const T* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void Store(T* p, L v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    static L Splat(T v) { return _mm256_set1_epi16(static_cast<short>(v)); }
    static L Add(L a, L b) { return _mm256_add_epi16(a, b); }
    static L Sub(L a, L b) { return _mm256_sub_epi16(a, b); }
    static L Widen(const uint8_t* p) {
      return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    static L Cells(const uint8_t* p) {
      const __m128i bytes = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), _mm_set1_epi8(1));
      return _mm256_cvtepu8_epi16(bytes);
    }
    // Within each 128-bit half, then the low half's total carried into the
    // high half.
    static L Prefix(L v) {
      v = _mm256_add_epi16(v, _mm256_slli_si256(v, 2));
      v = _mm256_add_epi16(v, _mm256_slli_si256(v, 4));
      v = _mm256_add_epi16(v, _mm256_slli_si256(v, 8));
      const __m256i low = _mm256_shufflehi_epi16(_mm256_permute2x128_si256(v, v, 0x08), _MM_SHUFFLE(3, 3, 3, 3));
      return _mm256_add_epi16(v, _mm256_unpackhi_epi64(low, low));
    }
    static L Last(L v) {
      const __m256i top = _mm256_permute4x64_epi64(v, _MM_SHUFFLE(3, 3, 3, 3));
      return _mm256_shuffle_epi8(top, _mm256_set1_epi16(0x0706));
    }
    static void Range(T low, T high, L* first, L* second) {
      *first = Splat(low <= high ? low : 0xFFFF);
      *second = Splat(static_cast<T>(low <= high ? high - low : 0));
    }
    static L Within(L v, L low, L span) {
      const __m256i d = _mm256_sub_epi16(v, low);
      return _mm256_cmpeq_epi16(_mm256_min_epu16(d, span), d);
    }
    // Masks (or small lanes) as bytes: the packs work within halves; the
    // quarters are then put in order.
    static V Pack(L a, L b) { return _mm256_permute4x64_epi64(_mm256_packs_epi16(a, b), _MM_SHUFFLE(3, 1, 2, 0)); }
  };

  struct Lanes32 : LaneBits {
    typedef uint32_t T;
    static const int Count = 8;
    static L Load(const T* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void Store(T* p, L v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    static L Splat(T v) { return _mm256_set1_epi32(static_cast<int>(v)); }
    static L Add(L a, L b) { return _mm256_add_epi32(a, b); }
    static L Sub(L a, L b) { return _mm256_sub_epi32(a, b); }
    static L Widen(const uint8_t* p) {
      return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    }
    static L Cells(const uint8_t* p) {
      const __m128i bytes = _mm_and_si128(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_set1_epi8(1));
      return _mm256_cvtepu8_epi32(bytes);
    }
    static L Prefix(L v) {
      v = _mm256_add_epi32(v, _mm256_slli_si256(v, 4));
      v = _mm256_add_epi32(v, _mm256_slli_si256(v, 8));
      const __m256i low = _mm256_permute2x128_si256(v, v, 0x08);
      return _mm256_add_epi32(v, _mm256_shuffle_epi32(low, _MM_SHUFFLE(3, 3, 3, 3)));
    }
    static L Last(L v) { return _mm256_permutevar8x32_epi32(v, _mm256_set1_epi32(7)); }
    // Counts and bounds stay below 2^31: signed compares of the bounds as
    // they are (an empty range, low > high, holds nothing).
    static void Range(T low, T high, L* first, L* second) {
      *first = Splat(low);
      *second = Splat(high);
    }
    static L Within(L v, L low, L high) {
      return _mm256_andnot_si256(_mm256_or_si256(_mm256_cmpgt_epi32(low, v), _mm256_cmpgt_epi32(v, high)),
                                 _mm256_set1_epi32(-1));
    }
    // Each half packs a quarter of every register; its dwords are then put
    // in order.
    static V Pack(L a, L b, L c, L d) {
      const __m256i bytes = _mm256_packs_epi16(_mm256_packs_epi32(a, b), _mm256_packs_epi32(c, d));
      return _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
    }
  };
};

}  // namespace

#include "engine/larger_body.h"

const LargerKernels Avx2Larger = {"avx2", LanesOf<Ops::Lanes8>(), LanesOf<Ops::Lanes16>(), LanesOf<Ops::Lanes32>(),
                                  LargerCells{StateCells, ColumnSumCells, MooreCountCells}};

#if defined(__clang__)
#pragma clang attribute pop
#endif

#endif
