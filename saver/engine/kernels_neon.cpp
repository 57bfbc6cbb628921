// The NEON kernels of arm64 targets, where every CPU runs them: 16-byte
// registers, table look-ups for the rule's actions and the colours.
#include <arm_neon.h>

#include <cstdint>
#include <cstring>

#include "engine/kernels.h"

namespace {

struct Ops {
  typedef uint8x16_t V;
  typedef uint32x4_t I;  // 32-bit lanes, or 16-bit ones where said
  typedef float32x4_t F;
  static const int Width = 16;
  static const int Lanes = 4;

  static V Load(const uint8_t* p) { return vld1q_u8(p); }
  static void Store(uint8_t* p, V v) { vst1q_u8(p, v); }
  static V Zero() { return vdupq_n_u8(0); }
  static V Splat(uint8_t b) { return vdupq_n_u8(b); }
  static V Add(V a, V b) { return vaddq_u8(a, b); }
  static V Sub(V a, V b) { return vsubq_u8(a, b); }
  static V And(V a, V b) { return vandq_u8(a, b); }
  static V Or(V a, V b) { return vorrq_u8(a, b); }
  static V Xor(V a, V b) { return veorq_u8(a, b); }
  static V AndNot(V a, V b) { return vbicq_u8(b, a); }  // ~a & b
  static V Eq(V a, V b) { return vceqq_u8(a, b); }
  // a where the mask (bytes of 0 or 0xFF) is set, else b.
  static V Select(V mask, V a, V b) { return vbslq_u8(mask, a, b); }
  struct ShadeRegs {
    const uint32_t* shades;
  };
  // The shades are looked up as they are: nothing to work out beforehand.
  struct ShadeTable {
    const uint32_t* shades;
  };
  static ShadeTable MakeShadeTable(const uint32_t* shades, int32_t, int32_t) { return ShadeTable{shades}; }
  static ShadeRegs LoadShades(const ShadeTable& table) { return ShadeRegs{table.shades}; }
  // Bit i of the result: the top bit of byte i.
  static int MoveMask(V a) {
    static const int8_t shifts[16] = {0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7};
    const uint8x16_t bits = vshlq_u8(vshrq_n_u8(a, 7), vld1q_s8(shifts));
    return vaddv_u8(vget_low_u8(bits)) | vaddv_u8(vget_high_u8(bits)) << 8;
  }
  static V MinU(V a, V b) { return vminq_u8(a, b); }
  static V SubSat(V a, V b) { return vqsubq_u8(a, b); }  // unsigned, down to 0
  static V Half(V a) { return vshrq_n_u8(a, 1); }
  static bool AllZero(V a) { return vmaxvq_u8(a) == 0; }
  // Conway's rule: +1 for a birth (6), -1 (0xFF) for a death (odd, not 5 or 7), else 0.
  static V ConwayAction(V v) {
    const V one = vdupq_n_u8(1);
    const V born = vceqq_u8(v, vdupq_n_u8(6));
    const V odd = vtstq_u8(v, one);
    const V survives = vceqq_u8(vorrq_u8(v, vdupq_n_u8(2)), vdupq_n_u8(7));  // 5 or 7
    return vorrq_u8(vbicq_u8(odd, survives), vandq_u8(born, one));
  }
  // Any rule's action of each byte, looked up in its 18 actions (bytes from
  // 16 up brought down to 16 or 17).
  typedef uint8x16x2_t RuleRegs;
  static RuleRegs LoadRule(const KernelRule& rule) {
    return uint8x16x2_t{{vld1q_u8(reinterpret_cast<const uint8_t*>(rule.low)),
                         vld1q_u8(reinterpret_cast<const uint8_t*>(rule.high))}};
  }
  static V StepAction(V v, RuleRegs regs) {
    const V clamped = vminq_u8(v, vorrq_u8(vandq_u8(v, vdupq_n_u8(1)), vdupq_n_u8(16)));
    return vqtbl2q_u8(regs, clamped);
  }
  // The low 16 bits of a word as 16 bytes of 0 or 1, lowest bit first.
  static V ExpandBits(uint64_t word) {
    const V bytes = vcombine_u8(vdup_n_u8(static_cast<uint8_t>(word)), vdup_n_u8(static_cast<uint8_t>(word >> 8)));
    static const uint8_t bit[16] = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};
    return vandq_u8(vtstq_u8(bytes, vld1q_u8(bit)), vdupq_n_u8(1));
  }

  static I Load32(const uint32_t* p) { return vld1q_u32(p); }
  static void Store32(uint32_t* p, I v) { vst1q_u32(p, v); }
  static I Splat32(uint32_t v) { return vdupq_n_u32(v); }
  static I Add32(I a, I b) { return vaddq_u32(a, b); }
  static I And32(I a, I b) { return vandq_u32(a, b); }
  static I Srl16(I a) { return vshrq_n_u32(a, 16); }
  static I Mul32(I a, I b) { return vmulq_u32(a, b); }
  // Signed 32-bit lanes of a, then of b, to saturated 16-bit ones.
  static I Pack(I a, I b) {
    return vreinterpretq_u32_s16(vcombine_s16(vqmovn_s32(vreinterpretq_s32_u32(a)), vqmovn_s32(vreinterpretq_s32_u32(b))));
  }
  // Signed 16-bit lanes multiplied, each pair of products added.
  static I MulAddPairs(I a, I b) {
    const int16x8_t x = vreinterpretq_s16_u32(a), y = vreinterpretq_s16_u32(b);
    return vreinterpretq_u32_s32(vpaddq_s32(vmull_s16(vget_low_s16(x), vget_low_s16(y)), vmull_high_s16(x, y)));
  }
  static F LoadF(const float* p) { return vld1q_f32(p); }
  static F ToFloat(I a) { return vcvtq_f32_s32(vreinterpretq_s32_u32(a)); }
  static I Truncate(F a) { return vreinterpretq_u32_s32(vcvtq_s32_f32(a)); }
  static F FMul(F a, F b) { return vmulq_f32(a, b); }
  static F FSub(F a, F b) { return vsubq_f32(a, b); }
};

}  // namespace

#include "engine/kernels_body.h"

namespace {

int32_t CountAliveRow(const uint8_t* cells, int32_t count) {
  const uint8x16_t one = vdupq_n_u8(1);
  int32_t alive = 0, i = 0;
  for (; i + 16 <= count; i += 16) alive += vaddvq_u8(vandq_u8(vld1q_u8(cells + i), one));
  for (; i < count; ++i) alive += cells[i] & 1;
  return alive;
}

// The colours of the low four bits of a byte, one table for each byte of a
// pixel (blue, green, red, the zero on top).
struct ColourPlanes {
  uint8x16x4_t planes;
  uint32_t colours[16];
};

inline ColourPlanes ColourTable(const uint32_t* live, uint32_t dead) {
  ColourPlanes table;
  uint8_t bytes[4][16];
  for (int v = 0; v < 16; ++v) {
    table.colours[v] = (v & 1) ? live[v >> 1] : dead;
    for (int k = 0; k < 4; ++k) bytes[k][v] = static_cast<uint8_t>(table.colours[v] >> (8 * k));
  }
  for (int k = 0; k < 4; ++k) table.planes.val[k] = vld1q_u8(bytes[k]);
  return table;
}

// 16 pixels from 16 cells: each byte of a pixel looked up, then interleaved.
inline void PaintSixteen(const uint8_t* cells, uint32_t* pixels, const ColourPlanes& table) {
  const uint8x16_t index = vandq_u8(vld1q_u8(cells), vdupq_n_u8(15));
  uint8x16x4_t out;
  for (int k = 0; k < 4; ++k) out.val[k] = vqtbl1q_u8(table.planes.val[k], index);
  vst4q_u8(reinterpret_cast<uint8_t*>(pixels), out);
}

int32_t PaintPixelRow(const uint8_t* cells, uint32_t* pixels, int32_t count, const uint32_t* live, uint32_t dead,
                      bool) {
  const ColourPlanes table = ColourTable(live, dead);
  int32_t i = 0;
  for (; i + 16 <= count; i += 16) PaintSixteen(cells + i, pixels + i, table);
  for (; i < count; ++i) pixels[i] = table.colours[cells[i] & 15];
  return CountAliveRow(cells, count);
}

void PaintMarkedSegments(const uint8_t* cells, uint32_t* pixels, int32_t count, const uint32_t* live, uint32_t dead,
                         bool, const uint8_t* marks) {
  const ColourPlanes table = ColourTable(live, dead);
  for (int32_t x0 = 0, k = 0; x0 < count; x0 += MarkSegment, ++k) {
    if (marks[k] == 0) continue;
    const int32_t x1 = std::min(count, x0 + MarkSegment);
    int32_t i = x0;
    for (; i + 16 <= x1; i += 16) PaintSixteen(cells + i, pixels + i, table);
    for (; i < x1; ++i) pixels[i] = table.colours[cells[i] & 15];
  }
}

// No gather: the shade numbers go through a register's worth of memory and
// are looked up one by one.
inline void StoreShades(uint8x16_t high, uint8x16_t low, const Ops::ShadeRegs& regs, uint32_t* pixels) {
  const uint32_t* shades = regs.shades;
  uint8_t rows[16], fades[16];
  vst1q_u8(rows, high);
  vst1q_u8(fades, low);
  for (int i = 0; i < 16; ++i) pixels[i] = shades[rows[i] << 8 | fades[i]];
}

inline void StoreTrailShades(uint8x16_t alive, uint8x16_t liveRow, uint8x16_t deadRow, uint8x16_t fade, const Ops::ShadeRegs& regs,
                             uint32_t* pixels) {
  StoreTrailShadesByNumber(alive, liveRow, deadRow, fade, regs, pixels);
}

void CopyPixels(uint32_t* to, const uint32_t* from, int32_t count, bool) {
  std::memcpy(to, from, static_cast<size_t>(count) * sizeof *to);
}

// Rules of the 3 x 3 block and dying states look up a cell at a time, as
// the SSE2 set does.
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

int32_t PaintDyingCells(const uint8_t* cells, const uint8_t* decay, uint32_t* pixels, int32_t x0, int32_t x1,
                        const Ops::ShadeTable& table, int32_t states, bool) {
  for (int32_t x = x0; x < x1; ++x) pixels[x] = DyingPixel(cells[x], DyingState(cells, decay, x), table.shades, states);
  return CountAliveRow(cells + x0, x1 - x0);
}

}  // namespace

const GridKernels NeonKernels = {"neon",          Ops::Width,    StepKernel,    PaintStepKernel, CountMarksKernel,
                                 MarkDrawsKernel, PaintPixelRow, CountAliveRow, CopyPixels};
