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
  return vrhaddq_u8(vhaddq_u8(a, b), vaddq_u8(vhaddq_u8(c, d), carry));
}

inline uint16x8_t Mean4(uint16x8_t a, uint16x8_t b, uint16x8_t c, uint16x8_t d) {
  const uint16x8_t carry = vandq_u16(vandq_u16(veorq_u16(a, b), veorq_u16(c, d)), vdupq_n_u16(1));
  return vrhaddq_u16(vhaddq_u16(a, b), vaddq_u16(vhaddq_u16(c, d), carry));
}

// (a + b + 1) >> 1
inline uint8x16_t Mean2(uint8x16_t a, uint8x16_t b) { return vrhaddq_u8(a, b); }
inline uint16x8_t Mean2(uint16x8_t a, uint16x8_t b) { return vrhaddq_u16(a, b); }

// The 16 lanes of v as four int32x4 (lanes 0-3, 4-7, 8-11, 12-15).
struct S32x16 {
  int32x4_t v[4];
};

inline S32x16 WidenU8(uint8x16_t v) {
  const uint16x8_t lo = vmovl_u8(vget_low_u8(v));
  const uint16x8_t hi = vmovl_u8(vget_high_u8(v));
  return {{vreinterpretq_s32_u32(vmovl_u16(vget_low_u16(lo))), vreinterpretq_s32_u32(vmovl_u16(vget_high_u16(lo))),
           vreinterpretq_s32_u32(vmovl_u16(vget_low_u16(hi))), vreinterpretq_s32_u32(vmovl_u16(vget_high_u16(hi)))}};
}

// clamp(x >> 20, 0, 255) for 16 lanes. The sums of the YUV formulas stay
// far inside +-2^31 >> 4, so the first narrowing step never saturates and
// the second one is the clamp.
inline uint8x16_t ShrNarrowU8(const S32x16& x) {
  const int16x8_t lo = vcombine_s16(vqshrn_n_s32(x.v[0], 16), vqshrn_n_s32(x.v[1], 16));
  const int16x8_t hi = vcombine_s16(vqshrn_n_s32(x.v[2], 16), vqshrn_n_s32(x.v[3], 16));
  return vcombine_u8(vqshrun_n_s16(lo, 4), vqshrun_n_s16(hi, 4));
}

// The same for 8 lanes (two int32x4).
inline uint8x8_t ShrNarrowU8(int32x4_t lo, int32x4_t hi) {
  return vqshrun_n_s16(vcombine_s16(vqshrn_n_s32(lo, 16), vqshrn_n_s32(hi, 16)), 4);
}

}  // namespace neon
}  // namespace cvtcolor
}  // namespace kiln

#endif  // KILN_OPS_CVTCOLOR_HOST_NEON_CVTCOLOR_NEON_COMMON_H_
