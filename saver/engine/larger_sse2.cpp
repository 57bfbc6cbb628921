// The Larger than Life loops in SSE2, the baseline every x86 build runs (the
// i686 build is compiled with -msse2). Other targets take the plain loops.
#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "engine/larger_kernels.h"

namespace {

struct Ops {
  typedef __m128i V;
  static const int Width = 16;

  static V Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void Store(uint8_t* p, V v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
  static V Zero() { return _mm_setzero_si128(); }
  static V Splat(uint8_t b) { return _mm_set1_epi8(static_cast<char>(b)); }
  static V Add(V a, V b) { return _mm_add_epi8(a, b); }
  static V Sub(V a, V b) { return _mm_sub_epi8(a, b); }
  static V And(V a, V b) { return _mm_and_si128(a, b); }
  static V Or(V a, V b) { return _mm_or_si128(a, b); }
  static V AndNot(V a, V b) { return _mm_andnot_si128(a, b); }  // ~a & b
  static V Eq(V a, V b) { return _mm_cmpeq_epi8(a, b); }
  static V MinU(V a, V b) { return _mm_min_epu8(a, b); }
  static V MaxU(V a, V b) { return _mm_max_epu8(a, b); }
  static bool AllZero(V a) { return _mm_movemask_epi8(_mm_cmpeq_epi8(a, _mm_setzero_si128())) == 0xFFFF; }

  // What both widths of lanes share.
  struct LaneBits {
    typedef __m128i L;
    static L Or(L a, L b) { return _mm_or_si128(a, b); }
    static L AndNot(L a, L b) { return _mm_andnot_si128(a, b); }
  };

  struct Lanes8 : LaneBits {
    typedef uint8_t T;
    static const int Count = 16;
    static L Load(const T* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void Store(T* p, L v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    static L Splat(T v) { return _mm_set1_epi8(static_cast<char>(v)); }
    static L Add(L a, L b) { return _mm_add_epi8(a, b); }
    static L Sub(L a, L b) { return _mm_sub_epi8(a, b); }
    static L Widen(const uint8_t* p) { return Load(p); }
    static L Cells(const uint8_t* p) { return _mm_and_si128(Load(p), _mm_set1_epi8(1)); }
    static L Prefix(L v) {
      v = _mm_add_epi8(v, _mm_slli_si128(v, 1));
      v = _mm_add_epi8(v, _mm_slli_si128(v, 2));
      v = _mm_add_epi8(v, _mm_slli_si128(v, 4));
      return _mm_add_epi8(v, _mm_slli_si128(v, 8));
    }
    static L Last(L v) {
      const __m128i high = _mm_unpackhi_epi8(v, v);  // byte 15 in word 7
      const __m128i word = _mm_shufflehi_epi16(high, _MM_SHUFFLE(3, 3, 3, 3));
      return _mm_unpackhi_epi64(word, word);
    }
    // A range low..high as low and its span (see Within); an empty one
    // as the largest value, which no count reaches.
    static void Range(T low, T high, L* first, L* second) {
      *first = Splat(low <= high ? low : 0xFF);
      *second = Splat(static_cast<T>(low <= high ? high - low : 0));
    }
    // All ones where low <= v <= low + span, as unsigned values.
    static L Within(L v, L low, L span) {
      const __m128i d = _mm_sub_epi8(v, low);
      return _mm_cmpeq_epi8(_mm_min_epu8(d, span), d);
    }
  };

  struct Lanes16 : LaneBits {
    typedef uint16_t T;
    static const int Count = 8;
    static L Load(const T* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void Store(T* p, L v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    static L Splat(T v) { return _mm_set1_epi16(static_cast<short>(v)); }
    static L Add(L a, L b) { return _mm_add_epi16(a, b); }
    static L Sub(L a, L b) { return _mm_sub_epi16(a, b); }
    // Count bytes, and the life of Count cells.
    static L Widen(const uint8_t* p) {
      return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
    }
    static L Cells(const uint8_t* p) { return _mm_and_si128(Widen(p), _mm_set1_epi16(1)); }
    // Lane i: the sum of lanes 0..i.
    static L Prefix(L v) {
      v = _mm_add_epi16(v, _mm_slli_si128(v, 2));
      v = _mm_add_epi16(v, _mm_slli_si128(v, 4));
      return _mm_add_epi16(v, _mm_slli_si128(v, 8));
    }
    static L Last(L v) {
      const __m128i high = _mm_shufflehi_epi16(v, _MM_SHUFFLE(3, 3, 3, 3));
      return _mm_unpackhi_epi64(high, high);
    }
    static void Range(T low, T high, L* first, L* second) {
      *first = Splat(low <= high ? low : 0xFFFF);
      *second = Splat(static_cast<T>(low <= high ? high - low : 0));
    }
    // No unsigned 16-bit minimum in SSE2: the span saturates the rest away.
    static L Within(L v, L low, L span) {
      return _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(v, low), span), _mm_setzero_si128());
    }
    // Masks (or small lanes) as bytes, in order.
    static V Pack(L a, L b) { return _mm_packs_epi16(a, b); }
  };

  struct Lanes32 : LaneBits {
    typedef uint32_t T;
    static const int Count = 4;
    static L Load(const T* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void Store(T* p, L v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    static L Splat(T v) { return _mm_set1_epi32(static_cast<int>(v)); }
    static L Add(L a, L b) { return _mm_add_epi32(a, b); }
    static L Sub(L a, L b) { return _mm_sub_epi32(a, b); }
    static L Widen(const uint8_t* p) {
      int32_t word;
      std::memcpy(&word, p, sizeof word);
      const __m128i zero = _mm_setzero_si128();
      return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero), zero);
    }
    static L Cells(const uint8_t* p) { return _mm_and_si128(Widen(p), _mm_set1_epi32(1)); }
    static L Prefix(L v) {
      v = _mm_add_epi32(v, _mm_slli_si128(v, 4));
      return _mm_add_epi32(v, _mm_slli_si128(v, 8));
    }
    static L Last(L v) { return _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 3, 3, 3)); }
    // Counts and bounds stay below 2^31: signed compares of the bounds as
    // they are (an empty range, low > high, holds nothing).
    static void Range(T low, T high, L* first, L* second) {
      *first = Splat(low);
      *second = Splat(high);
    }
    static L Within(L v, L low, L high) {
      return _mm_andnot_si128(_mm_or_si128(_mm_cmpgt_epi32(low, v), _mm_cmpgt_epi32(v, high)), _mm_set1_epi32(-1));
    }
    static V Pack(L a, L b, L c, L d) { return _mm_packs_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d)); }
  };
};

}  // namespace

#include "engine/larger_body.h"

const LargerKernels Sse2Larger = {"sse2", LanesOf<Ops::Lanes8>(), LanesOf<Ops::Lanes16>(), LanesOf<Ops::Lanes32>(),
                                  LargerCells{StateCells, ColumnSumCells, MooreCountCells}};

#endif
