// Vector building blocks shared by the CvtColor NEON kernels (portable NEON;
// x86 replacements for slow SIMDe intrinsics live in kiln_neon.h).
#ifndef KILN_OPS_CVTCOLOR_HOST_NEON_CVTCOLOR_NEON_COMMON_H_
#define KILN_OPS_CVTCOLOR_HOST_NEON_CVTCOLOR_NEON_COMMON_H_

#include <cstdint>

#include "kiln/ops/core/neon/kiln_neon.h"
#include "kiln/ops/cvtcolor/cvtcolor_fixed_point.h"

namespace kiln {
namespace cvtcolor {
namespace neon {

// (a + b + c + d + 2) >> 2 without widening: with a + b = 2 h1 + l1 and
// c + d = 2 h2 + l2 (l1, l2 the parities), the result is
// (h1 + h2 + 1 + (l1 & l2)) >> 1. h2 + (l1 & l2) cannot overflow: l2 = 1
// means c + d is odd, so h2 < max.
inline uint8x16_t Mean4(uint8x16_t a, uint8x16_t b, uint8x16_t c, uint8x16_t d) {
  const uint8x16_t carry = vandq_u8(vandq_u8(veorq_u8(a, b), veorq_u8(c, d)), vdupq_n_u8(1));
  return vrhaddq_u8(::kiln::neon::Haddq_u8(a, b), vaddq_u8(::kiln::neon::Haddq_u8(c, d), carry));
}

inline uint16x8_t Mean4(uint16x8_t a, uint16x8_t b, uint16x8_t c, uint16x8_t d) {
  const uint16x8_t carry = vandq_u16(vandq_u16(veorq_u16(a, b), veorq_u16(c, d)), vdupq_n_u16(1));
  return vrhaddq_u16(::kiln::neon::Haddq_u16(a, b), vaddq_u16(::kiln::neon::Haddq_u16(c, d), carry));
}

// (a + b + 1) >> 1
inline uint8x16_t Mean2(uint8x16_t a, uint8x16_t b) { return vrhaddq_u8(a, b); }
inline uint16x8_t Mean2(uint16x8_t a, uint16x8_t b) { return vrhaddq_u16(a, b); }

// 16 lanes of 32-bit sums (lanes 0-3, 4-7, 8-11, 12-15).
struct S32x16 {
  int32x4_t v[4];
};

inline S32x16 Splat(int32_t value) {
  const int32x4_t v = vdupq_n_s32(value);
  return {{v, v, v, v}};
}

// The 16 lanes of an 8-bit vector widened to 16 bits, as two halves.
inline int16x8_t WidenLow(uint8x16_t v) { return vreinterpretq_s16_u16(vmovl_u8(vget_low_u8(v))); }
inline int16x8_t WidenHigh(uint8x16_t v) { return vreinterpretq_s16_u16(vmovl_u8(vget_high_u8(v))); }

// acc += v * c for the 16 lanes of an 8-bit vector (|c| < 2^22).
inline void MlaU8(S32x16& acc, uint8x16_t v, int32_t c) {
  ::kiln::neon::MlaSmallN_s16(acc.v[0], acc.v[1], WidenLow(v), c);
  ::kiln::neon::MlaSmallN_s16(acc.v[2], acc.v[3], WidenHigh(v), c);
}

// clamp(x >> 20, 0, 255) for 16 lanes.
inline uint8x16_t ShrNarrowU8(const S32x16& x) {
  return ::kiln::neon::QshrnQuadToU8_s32<kYuvShift>(x.v[0], x.v[1], x.v[2], x.v[3]);
}

// v * c for the 16 lanes of an 8-bit vector (|c| < 2^22).
inline S32x16 MulU8(uint8x16_t v, int32_t c) {
  S32x16 r;
  ::kiln::neon::MulSmallN_s16(r.v[0], r.v[1], WidenLow(v), c);
  ::kiln::neon::MulSmallN_s16(r.v[2], r.v[3], WidenHigh(v), c);
  return r;
}

}  // namespace neon
}  // namespace cvtcolor
}  // namespace kiln

#endif  // KILN_OPS_CVTCOLOR_HOST_NEON_CVTCOLOR_NEON_COMMON_H_
