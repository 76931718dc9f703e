// The one header every NEON kernel includes.
//
// On AArch64 it is the real <arm_neon.h>. Elsewhere the same intrinsics come
// from SIMDe, which maps most of them onto SSE. Where SIMDe is slow or lacks an
// intrinsic (see the notes below), the x86-only replacement lives here and
// nowhere else, so kernels stay plain portable NEON.
#ifndef KILN_OPS_CORE_NEON_KILN_NEON_H_
#define KILN_OPS_CORE_NEON_KILN_NEON_H_

#if defined(__aarch64__) || defined(__ARM_NEON)
#include <arm_neon.h>
#define KILN_NEON_NATIVE 1
#else
#define SIMDE_ENABLE_NATIVE_ALIASES
#include <simde/arm/neon.h>
#define KILN_NEON_NATIVE 0
#endif

#include <cstddef>
#include <cstdint>

namespace kiln {
namespace neon {

// Lanes of a 128-bit register per element type.
template <typename T>
constexpr int Lanes() {
  return static_cast<int>(16 / sizeof(T));
}

// ---- x86 (SIMDe) workarounds ------------------------------------------------
// Each helper below is the plain intrinsic on AArch64 and a faster or missing
// equivalent on x86. Add new ones in their own section, named after the
// intrinsic they stand for.

// ---- vcvtnq_s32_f32 / vcvtnq_u32_f32, vcvt_f32_f16 / vcvt_f16_f32 -----------
// (ConvertTo, MinMaxLoc.) SIMDe 0.7.4 has no vcvtnq_*; its half conversions
// turn every NaN into 0x7E00 and so differ from the hardware. The x86 forms
// below give the AArch64 results bit for bit: ties to even, saturation, NaN
// to 0 for integers; sign and payload kept for half NaNs (libgcc's exact
// _Float16 conversions).

// vcvtnq_s32_f32: round to nearest (ties to even), saturate, NaN -> 0.
inline int32x4_t CvtnqS32F32(float32x4_t v) {
#if KILN_NEON_NATIVE
  return vcvtnq_s32_f32(v);
#elif defined(SIMDE_X86_SSE2_NATIVE)
  // cvtps2dq rounds with MXCSR (ties to even) and gives 0x80000000 for NaN
  // and out-of-range lanes: flip the positive overflows to INT32_MAX and
  // clear the NaNs.
  const __m128 x = simde_float32x4_to_m128(v);
  const __m128i r = _mm_cvtps_epi32(x);
  const __m128i over = _mm_castps_si128(_mm_cmpge_ps(x, _mm_set1_ps(2147483648.0f)));
  const __m128i ordered = _mm_castps_si128(_mm_cmpord_ps(x, x));
  return simde_int32x4_from_m128i(_mm_and_si128(_mm_xor_si128(r, over), ordered));
#else
  float in[4];
  int32_t out[4];
  vst1q_f32(in, v);
  for (int i = 0; i < 4; ++i) {
    const float f = in[i];
    if (f != f) {
      out[i] = 0;
    } else if (f >= 2147483648.0f) {
      out[i] = INT32_MAX;
    } else if (f < -2147483648.0f) {
      out[i] = INT32_MIN;
    } else {
      const float t = f >= 0.0f ? (f < 8388608.0f ? (f + 8388608.0f) - 8388608.0f : f)
                                : (f > -8388608.0f ? (f - 8388608.0f) + 8388608.0f : f);
      out[i] = static_cast<int32_t>(t);
    }
  }
  return vld1q_s32(out);
#endif
}

// vcvtnq_s32_f32 for lanes narrowed right after to U8 or U16 (saturating
// unsigned narrows): only lanes in [0, 65536) need exact results; larger
// ones may give anything from 65536 up, and NaN, negative lanes anything
// up to 0. On x86 one min before cvtps2dq does that: minps(c, v) passes a
// NaN v through, and cvtps2dq turns it (and any overflow) into INT32_MIN.
inline int32x4_t CvtnqS32F32ForUnsignedNarrow(float32x4_t v) {
#if KILN_NEON_NATIVE
  return vcvtnq_s32_f32(v);
#elif defined(SIMDE_X86_SSE2_NATIVE)
  return simde_int32x4_from_m128i(_mm_cvtps_epi32(_mm_min_ps(_mm_set1_ps(65536.0f), simde_float32x4_to_m128(v))));
#else
  return CvtnqS32F32(v);
#endif
}

// vcvtnq_u32_f32: round to nearest (ties to even), saturate to
// [0, UINT32_MAX], NaN -> 0.
inline uint32x4_t CvtnqU32F32(float32x4_t v) {
#if KILN_NEON_NATIVE
  return vcvtnq_u32_f32(v);
#elif defined(SIMDE_X86_SSE2_NATIVE)
  // max_ps returns its second operand for NaN, so NaN and negatives become 0.
  // Lanes of 2^31 and more are converted after subtracting 2^31, which is
  // exact there, and the bit added back; 2^32 and more saturate.
  const __m128 x = _mm_max_ps(simde_float32x4_to_m128(v), _mm_setzero_ps());
  const __m128 two31 = _mm_set1_ps(2147483648.0f);
  const __m128 high = _mm_cmpge_ps(x, two31);
  const __m128i r = _mm_cvtps_epi32(_mm_sub_ps(x, _mm_and_ps(high, two31)));
  const __m128i top = _mm_and_si128(_mm_castps_si128(high), _mm_set1_epi32(INT32_MIN));
  const __m128i over = _mm_castps_si128(_mm_cmpge_ps(x, _mm_set1_ps(4294967296.0f)));
  return simde_uint32x4_from_m128i(_mm_or_si128(_mm_add_epi32(r, top), over));
#else
  float in[4];
  uint32_t out[4];
  vst1q_f32(in, v);
  for (int i = 0; i < 4; ++i) {
    const float f = in[i];
    if (!(f > 0.0f)) {
      out[i] = 0;
    } else if (f >= 4294967296.0f) {
      out[i] = UINT32_MAX;
    } else {
      out[i] = static_cast<uint32_t>(f < 8388608.0f ? (f + 8388608.0f) - 8388608.0f : f);
    }
  }
  return vld1q_u32(out);
#endif
}

// ---- vdivq_f32 -----------------------------------------------------------------
// SIMDe 0.7.4 has no vdivq_f32; divps gives the same IEEE quotient.
inline float32x4_t Divq_f32(float32x4_t a, float32x4_t b) {
#if KILN_NEON_NATIVE
  return vdivq_f32(a, b);
#elif defined(SIMDE_X86_SSE_NATIVE)
  return simde_float32x4_from_m128(_mm_div_ps(simde_float32x4_to_m128(a), simde_float32x4_to_m128(b)));
#else
  float x[4], y[4];
  vst1q_f32(x, a);
  vst1q_f32(y, b);
  for (int i = 0; i < 4; ++i) x[i] /= y[i];
  return vld1q_f32(x);
#endif
}

// vcombine of two vqmovun_s32 for any int32 lanes. (QmovunS32Pair below
// biases first and so expects lanes above INT32_MIN + 32768; rounded floats
// reach INT32_MIN.) Negative lanes are cleared before the same biased pack.
inline uint16x8_t QmovunS32PairAnyInput(int32x4_t a, int32x4_t b) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  const __m128i zero = _mm_setzero_si128();
  const __m128i bias = _mm_set1_epi32(32768);
  __m128i x = simde_int32x4_to_m128i(a);
  __m128i y = simde_int32x4_to_m128i(b);
  x = _mm_and_si128(x, _mm_cmpgt_epi32(x, zero));
  y = _mm_and_si128(y, _mm_cmpgt_epi32(y, zero));
  const __m128i packed = _mm_packs_epi32(_mm_sub_epi32(x, bias), _mm_sub_epi32(y, bias));
  return simde_uint16x8_from_m128i(_mm_xor_si128(packed, _mm_set1_epi16(static_cast<int16_t>(0x8000))));
#else
  return vcombine_u16(vqmovun_s32(a), vqmovun_s32(b));
#endif
}

// vmovl_u8 / vmovl_s8 / vmovl_u16 / vmovl_s16 of both halves:
// {vmovl(vget_low(v)), vmovl_high(v)}. SIMDe widens each 64-bit half
// through shuffles; SSE2 unpacks with zero (or the sign) directly.
inline uint16x8x2_t MovlU8Pair(uint8x16_t v) {
  uint16x8x2_t r;
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  const __m128i x = simde_uint8x16_to_m128i(v);
  r.val[0] = simde_uint16x8_from_m128i(_mm_unpacklo_epi8(x, _mm_setzero_si128()));
  r.val[1] = simde_uint16x8_from_m128i(_mm_unpackhi_epi8(x, _mm_setzero_si128()));
#else
  r.val[0] = vmovl_u8(vget_low_u8(v));
  r.val[1] = vmovl_high_u8(v);
#endif
  return r;
}

inline int16x8x2_t MovlS8Pair(int8x16_t v) {
  int16x8x2_t r;
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  const __m128i x = simde_int8x16_to_m128i(v);
  r.val[0] = simde_int16x8_from_m128i(_mm_srai_epi16(_mm_unpacklo_epi8(x, x), 8));
  r.val[1] = simde_int16x8_from_m128i(_mm_srai_epi16(_mm_unpackhi_epi8(x, x), 8));
#else
  r.val[0] = vmovl_s8(vget_low_s8(v));
  r.val[1] = vmovl_high_s8(v);
#endif
  return r;
}

inline uint32x4x2_t MovlU16Pair(uint16x8_t v) {
  uint32x4x2_t r;
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  const __m128i x = simde_uint16x8_to_m128i(v);
  r.val[0] = simde_uint32x4_from_m128i(_mm_unpacklo_epi16(x, _mm_setzero_si128()));
  r.val[1] = simde_uint32x4_from_m128i(_mm_unpackhi_epi16(x, _mm_setzero_si128()));
#else
  r.val[0] = vmovl_u16(vget_low_u16(v));
  r.val[1] = vmovl_high_u16(v);
#endif
  return r;
}

inline int32x4x2_t MovlS16Pair(int16x8_t v) {
  int32x4x2_t r;
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  const __m128i x = simde_int16x8_to_m128i(v);
  r.val[0] = simde_int32x4_from_m128i(_mm_srai_epi32(_mm_unpacklo_epi16(x, x), 16));
  r.val[1] = simde_int32x4_from_m128i(_mm_srai_epi32(_mm_unpackhi_epi16(x, x), 16));
#else
  r.val[0] = vmovl_s16(vget_low_s16(v));
  r.val[1] = vmovl_high_s16(v);
#endif
  return r;
}

// vcombine of two vqmovn_u16: unsigned 16 -> 8 bits with saturation (the
// lanes are first lowered to 255, since packus reads them as signed).
inline uint8x16_t QmovnU16Pair(uint16x8_t a, uint16x8_t b) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  const __m128i x = simde_uint16x8_to_m128i(a);
  const __m128i y = simde_uint16x8_to_m128i(b);
  const __m128i top = _mm_set1_epi16(255);
  return simde_uint8x16_from_m128i(
      _mm_packus_epi16(_mm_sub_epi16(x, _mm_subs_epu16(x, top)), _mm_sub_epi16(y, _mm_subs_epu16(y, top))));
#else
  return vcombine_u8(vqmovn_u16(a), vqmovn_u16(b));
#endif
}

// vcvt_f32_f16 on raw half bits (exact).
inline float32x4_t CvtF32F16Bits(uint16x4_t bits) {
#if KILN_NEON_NATIVE
  return vcvt_f32_f16(vreinterpret_f16_u16(bits));
#else
  uint16_t in[4];
  float out[4];
  vst1_u16(in, bits);
  for (int i = 0; i < 4; ++i) {
    _Float16 h;
    __builtin_memcpy(&h, &in[i], sizeof(h));
    out[i] = static_cast<float>(h);
  }
  return vld1q_f32(out);
#endif
}

// vcvt_f16_f32 to raw half bits: ties to even, overflow to infinity.
inline uint16x4_t CvtF16BitsF32(float32x4_t v) {
#if KILN_NEON_NATIVE
  return vreinterpret_u16_f16(vcvt_f16_f32(v));
#else
  float in[4];
  uint16_t out[4];
  vst1q_f32(in, v);
  for (int i = 0; i < 4; ++i) {
    const _Float16 h = static_cast<_Float16>(in[i]);
    __builtin_memcpy(&out[i], &h, sizeof(h));
  }
  return vld1_u16(out);
#endif
}

// ---- vld3q_u8 / vst3q_u8, vld4q_u8 / vst4q_u8, vld3q_u16 / vst3q_u16 --------
// (CvtColor.) SIMDe 0.7.4 de-/interleaves 3 and 4 channels byte by byte. The
// SSE2 forms below use the fact that de-interleaving n channels of 3 x 16
// bytes is a fixed permutation of the 48 bytes: byte k moves to 16 k mod 47
// (8 k mod 23 for 3 x 8 halfwords), i.e. four rounds (three for halfwords)
// of "zip the first half with the second". Interleaving is the inverse, the
// same number of rounds of "unzip: even bytes, then odd bytes". Four channels
// take two rounds each way.
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
namespace sse2 {

// One zip round over three registers (8-bit or 16-bit elements).
template <__m128i (*Unpack)(__m128i, __m128i)>
inline void ZipRound3(__m128i& t0, __m128i& t1, __m128i& t2) {
  const __m128i r0 = Unpack(t0, _mm_unpackhi_epi64(t1, t1));
  const __m128i r1 = Unpack(_mm_unpackhi_epi64(t0, t0), t2);
  const __m128i r2 = Unpack(t1, _mm_unpackhi_epi64(t2, t2));
  t0 = r0;
  t1 = r1;
  t2 = r2;
}

inline __m128i UnpackLo8(__m128i a, __m128i b) { return _mm_unpacklo_epi8(a, b); }
inline __m128i UnpackLo16(__m128i a, __m128i b) { return _mm_unpacklo_epi16(a, b); }

// Even bytes of a then b, and odd bytes of a then b.
inline __m128i EvenBytes(__m128i a, __m128i b) {
  const __m128i low = _mm_set1_epi16(0x00FF);
  return _mm_packus_epi16(_mm_and_si128(a, low), _mm_and_si128(b, low));
}
inline __m128i OddBytes(__m128i a, __m128i b) { return _mm_packus_epi16(_mm_srli_epi16(a, 8), _mm_srli_epi16(b, 8)); }

// The same for halfwords: sign-extending first keeps packs_epi32 exact.
inline __m128i EvenHalves(__m128i a, __m128i b) {
  return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(a, 16), 16), _mm_srai_epi32(_mm_slli_epi32(b, 16), 16));
}
inline __m128i OddHalves(__m128i a, __m128i b) { return _mm_packs_epi32(_mm_srai_epi32(a, 16), _mm_srai_epi32(b, 16)); }

template <__m128i (*Even)(__m128i, __m128i), __m128i (*Odd)(__m128i, __m128i)>
inline void UnzipRound3(__m128i& t0, __m128i& t1, __m128i& t2) {
  const __m128i r0 = Even(t0, t1);
  const __m128i r1 = _mm_unpacklo_epi64(Even(t2, t2), Odd(t0, t0));
  const __m128i r2 = Odd(t1, t2);
  t0 = r0;
  t1 = r1;
  t2 = r2;
}

}  // namespace sse2
#endif

// vhaddq_u8 / vhaddq_u16: (a + b) >> 1. SIMDe computes it lane by lane on
// SSE2; the rounding average minus the carry of the odd sums is exact.
inline uint8x16_t Haddq_u8(uint8x16_t a, uint8x16_t b) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  const __m128i x = simde_uint8x16_to_m128i(a), y = simde_uint8x16_to_m128i(b);
  const __m128i odd = _mm_and_si128(_mm_xor_si128(x, y), _mm_set1_epi8(1));
  return simde_uint8x16_from_m128i(_mm_sub_epi8(_mm_avg_epu8(x, y), odd));
#else
  return vhaddq_u8(a, b);
#endif
}

inline uint16x8_t Haddq_u16(uint16x8_t a, uint16x8_t b) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  const __m128i x = simde_uint16x8_to_m128i(a), y = simde_uint16x8_to_m128i(b);
  const __m128i odd = _mm_and_si128(_mm_xor_si128(x, y), _mm_set1_epi16(1));
  return simde_uint16x8_from_m128i(_mm_sub_epi16(_mm_avg_epu16(x, y), odd));
#else
  return vhaddq_u16(a, b);
#endif
}

// vqshrn_n_s32 / vqmovun_s16 / vqshrun_n_s16 on register pairs. SIMDe
// saturates with emulated 32-bit min/max and narrows lane by lane; SSE2 packs
// with saturation in one instruction.
template <int kShift>
inline int16x8_t QshrnPair_s32(int32x4_t lo, int32x4_t hi) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  return simde_int16x8_from_m128i(_mm_packs_epi32(_mm_srai_epi32(simde_int32x4_to_m128i(lo), kShift),
                                                  _mm_srai_epi32(simde_int32x4_to_m128i(hi), kShift)));
#else
  return vcombine_s16(vqshrn_n_s32(lo, kShift), vqshrn_n_s32(hi, kShift));
#endif
}

// vqshrn_n_s32 by 16 then vqshrun_n_s16 by kShift - 16 over four registers:
// clamp(x >> kShift, 0, 255) for 16 lanes (any x). SSE2: one arithmetic
// shift, then the two saturating packs.
template <int kShift>
inline uint8x16_t QshrnQuadToU8_s32(int32x4_t a, int32x4_t b, int32x4_t c, int32x4_t d) {
  static_assert(kShift > 16 && kShift <= 24, "the second step shifts by 1 to 8");
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  const __m128i ab = _mm_packs_epi32(_mm_srai_epi32(simde_int32x4_to_m128i(a), kShift),
                                     _mm_srai_epi32(simde_int32x4_to_m128i(b), kShift));
  const __m128i cd = _mm_packs_epi32(_mm_srai_epi32(simde_int32x4_to_m128i(c), kShift),
                                     _mm_srai_epi32(simde_int32x4_to_m128i(d), kShift));
  return simde_uint8x16_from_m128i(_mm_packus_epi16(ab, cd));
#else
  const int16x8_t ab = vcombine_s16(vqshrn_n_s32(a, 16), vqshrn_n_s32(b, 16));
  const int16x8_t cd = vcombine_s16(vqshrn_n_s32(c, 16), vqshrn_n_s32(d, 16));
  return vcombine_u8(vqshrun_n_s16(ab, kShift - 16), vqshrun_n_s16(cd, kShift - 16));
#endif
}

template <int kShift>
inline uint8x16_t QshrunPair_s16(int16x8_t lo, int16x8_t hi) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  return simde_uint8x16_from_m128i(_mm_packus_epi16(_mm_srai_epi16(simde_int16x8_to_m128i(lo), kShift),
                                                    _mm_srai_epi16(simde_int16x8_to_m128i(hi), kShift)));
#else
  return vcombine_u8(vqshrun_n_s16(lo, kShift), vqshrun_n_s16(hi, kShift));
#endif
}

inline uint8x16_t QmovunPair_s16(int16x8_t lo, int16x8_t hi) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  return simde_uint8x16_from_m128i(_mm_packus_epi16(simde_int16x8_to_m128i(lo), simde_int16x8_to_m128i(hi)));
#else
  return vcombine_u8(vqmovun_s16(lo), vqmovun_s16(hi));
#endif
}

// vmlaq_n_s32 on 8 widened 8-bit samples: lo += x[0..3] * c and
// hi += x[4..7] * c, exact for |x| <= 255 and |c| < 2^22 (the caller
// guarantees both). SSE2 has no 32-bit multiply, and gcc expands SIMDe's by
// a constant into long shift-and-add chains; pmaddwd does it in one step
// with c split as c1 * 2^7 + c0 (0 <= c0 < 2^7) against the pair (x, x << 7).
inline void MlaSmallN_s16(int32x4_t& lo, int32x4_t& hi, int16x8_t x, int32_t c) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  const __m128i v = simde_int16x8_to_m128i(x);
  const __m128i v7 = _mm_slli_epi16(v, 7);
  const int32_t c0 = c & 127;
  const int32_t c1 = (c - c0) / 128;
  const __m128i k = _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(c1) << 16) | static_cast<uint32_t>(c0)));
  lo = simde_int32x4_from_m128i(
      _mm_add_epi32(simde_int32x4_to_m128i(lo), _mm_madd_epi16(_mm_unpacklo_epi16(v, v7), k)));
  hi = simde_int32x4_from_m128i(
      _mm_add_epi32(simde_int32x4_to_m128i(hi), _mm_madd_epi16(_mm_unpackhi_epi16(v, v7), k)));
#else
  lo = vmlaq_n_s32(lo, vmovl_s16(vget_low_s16(x)), c);
  hi = vmlaq_n_s32(hi, vmovl_s16(vget_high_s16(x)), c);
#endif
}

// The same without accumulating: lo = x[0..3] * c, hi = x[4..7] * c.
inline void MulSmallN_s16(int32x4_t& lo, int32x4_t& hi, int16x8_t x, int32_t c) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  const __m128i v = simde_int16x8_to_m128i(x);
  const __m128i v7 = _mm_slli_epi16(v, 7);
  const int32_t c0 = c & 127;
  const int32_t c1 = (c - c0) / 128;
  const __m128i k = _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(c1) << 16) | static_cast<uint32_t>(c0)));
  lo = simde_int32x4_from_m128i(_mm_madd_epi16(_mm_unpacklo_epi16(v, v7), k));
  hi = simde_int32x4_from_m128i(_mm_madd_epi16(_mm_unpackhi_epi16(v, v7), k));
#else
  lo = vmulq_n_s32(vmovl_s16(vget_low_s16(x)), c);
  hi = vmulq_n_s32(vmovl_s16(vget_high_s16(x)), c);
#endif
}

// vmull_n_u16 + vmlal_n_u16 x 2 as one 3-term dot product of 8 lanes:
// lo/hi = bias + a * wa + b * wb + c * wc, exact for inputs and weights
// below 2^15. On SSE2 two pmaddwd per 4 lanes (pairs (a, b) and (c, 1)).
inline void Dot3N_u16(uint16x8_t a, uint16x8_t b, uint16x8_t c, uint16_t wa, uint16_t wb, uint16_t wc,
                      uint16_t bias, uint32x4_t& lo, uint32x4_t& hi) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  const __m128i va = simde_uint16x8_to_m128i(a), vb = simde_uint16x8_to_m128i(b);
  const __m128i vc = simde_uint16x8_to_m128i(c), one = _mm_set1_epi16(1);
  const __m128i kab = _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(wb) << 16) | wa));
  const __m128i kc1 = _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(bias) << 16) | wc));
  lo = simde_uint32x4_from_m128i(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(va, vb), kab),
                                               _mm_madd_epi16(_mm_unpacklo_epi16(vc, one), kc1)));
  hi = simde_uint32x4_from_m128i(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(va, vb), kab),
                                               _mm_madd_epi16(_mm_unpackhi_epi16(vc, one), kc1)));
#else
  lo = vmlal_n_u16(vmlal_n_u16(vmlal_n_u16(vdupq_n_u32(bias), vget_low_u16(a), wa), vget_low_u16(b), wb),
                   vget_low_u16(c), wc);
  hi = vmlal_high_n_u16(vmlal_high_n_u16(vmlal_high_n_u16(vdupq_n_u32(bias), a, wa), b, wb), c, wc);
#endif
}

inline uint8x16x3_t Ld3q_u8(const uint8_t* p) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  __m128i t0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i t1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
  __m128i t2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
  for (int round = 0; round < 4; ++round) sse2::ZipRound3<sse2::UnpackLo8>(t0, t1, t2);
  uint8x16x3_t r;
  r.val[0] = simde_uint8x16_from_m128i(t0);
  r.val[1] = simde_uint8x16_from_m128i(t1);
  r.val[2] = simde_uint8x16_from_m128i(t2);
  return r;
#else
  return vld3q_u8(p);
#endif
}

inline void St3q_u8(uint8_t* p, uint8x16x3_t v) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  __m128i t0 = simde_uint8x16_to_m128i(v.val[0]);
  __m128i t1 = simde_uint8x16_to_m128i(v.val[1]);
  __m128i t2 = simde_uint8x16_to_m128i(v.val[2]);
  for (int round = 0; round < 4; ++round) sse2::UnzipRound3<sse2::EvenBytes, sse2::OddBytes>(t0, t1, t2);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), t0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), t1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 32), t2);
#else
  vst3q_u8(p, v);
#endif
}

inline uint16x8x3_t Ld3q_u16(const uint16_t* p) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  __m128i t0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i t1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
  __m128i t2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
  for (int round = 0; round < 3; ++round) sse2::ZipRound3<sse2::UnpackLo16>(t0, t1, t2);
  uint16x8x3_t r;
  r.val[0] = simde_uint16x8_from_m128i(t0);
  r.val[1] = simde_uint16x8_from_m128i(t1);
  r.val[2] = simde_uint16x8_from_m128i(t2);
  return r;
#else
  return vld3q_u16(p);
#endif
}

inline void St3q_u16(uint16_t* p, uint16x8x3_t v) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  __m128i t0 = simde_uint16x8_to_m128i(v.val[0]);
  __m128i t1 = simde_uint16x8_to_m128i(v.val[1]);
  __m128i t2 = simde_uint16x8_to_m128i(v.val[2]);
  for (int round = 0; round < 3; ++round) sse2::UnzipRound3<sse2::EvenHalves, sse2::OddHalves>(t0, t1, t2);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), t0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 8), t1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), t2);
#else
  vst3q_u16(p, v);
#endif
}

// vld3q_u8 + vst3q_u8 that only exchange channels 0 and 2 of 16 pixels
// (BGR <-> RGB; src may equal dst). On SSE2 no de-interleave is needed: each
// output byte is the input byte 2 before or after it, or itself, so two
// byte shifts and three masks per register do it.
inline void SwapRb3q_u8(const uint8_t* src, uint8_t* dst) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
  const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16));
  const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 32));
  // Byte i of the 48 is channel i % 3; masks of channel 0 (takes byte i + 2),
  // channel 1 (keeps byte i) and channel 2 (takes byte i - 2) per register.
  const __m128i c0_0 = _mm_setr_epi8(-1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1);
  const __m128i c1_0 = _mm_setr_epi8(0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0);
  const __m128i c2_0 = _mm_setr_epi8(0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0);
  // Register 1 starts at byte 16 (channel 1), register 2 at byte 32 (channel 2).
  const __m128i c0_1 = c2_0, c1_1 = c0_0, c2_1 = c1_0;
  const __m128i c0_2 = c1_0, c1_2 = c2_0, c2_2 = c0_0;
  const __m128i next0 = _mm_or_si128(_mm_srli_si128(v0, 2), _mm_slli_si128(v1, 14));
  const __m128i next1 = _mm_or_si128(_mm_srli_si128(v1, 2), _mm_slli_si128(v2, 14));
  const __m128i next2 = _mm_srli_si128(v2, 2);
  const __m128i prev0 = _mm_slli_si128(v0, 2);
  const __m128i prev1 = _mm_or_si128(_mm_slli_si128(v1, 2), _mm_srli_si128(v0, 14));
  const __m128i prev2 = _mm_or_si128(_mm_slli_si128(v2, 2), _mm_srli_si128(v1, 14));
  const auto blend = [](__m128i next, __m128i keep, __m128i prev, __m128i m0, __m128i m1, __m128i m2) {
    return _mm_or_si128(_mm_or_si128(_mm_and_si128(next, m0), _mm_and_si128(keep, m1)), _mm_and_si128(prev, m2));
  };
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), blend(next0, v0, prev0, c0_0, c1_0, c2_0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), blend(next1, v1, prev1, c0_1, c1_1, c2_1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 32), blend(next2, v2, prev2, c0_2, c1_2, c2_2));
#else
  uint8x16x3_t v = vld3q_u8(src);
  const uint8x16_t t = v.val[0];
  v.val[0] = v.val[2];
  v.val[2] = t;
  vst3q_u8(dst, v);
#endif
}

// vzipq of even and odd pixels per channel, then vst3q: stores 2 x lanes
// pixels where pixel 2k has channels even.val[c][k] and pixel 2k + 1 has
// odd.val[c][k]. On SSE2 the six vectors are interleaved directly: that is
// byte k -> 6 k mod 95 (halfword k -> 6 k mod 47), four (three) unzip rounds.
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
namespace sse2 {

template <__m128i (*Even)(__m128i, __m128i), __m128i (*Odd)(__m128i, __m128i)>
inline void UnzipRound6(__m128i (&t)[6]) {
  const __m128i r0 = Even(t[0], t[1]), r1 = Even(t[2], t[3]), r2 = Even(t[4], t[5]);
  const __m128i r3 = Odd(t[0], t[1]), r4 = Odd(t[2], t[3]), r5 = Odd(t[4], t[5]);
  t[0] = r0;
  t[1] = r1;
  t[2] = r2;
  t[3] = r3;
  t[4] = r4;
  t[5] = r5;
}

}  // namespace sse2
#endif

inline void St3qZip_u8(uint8_t* p, uint8x16x3_t even, uint8x16x3_t odd) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  __m128i t[6];
  for (int c = 0; c < 3; ++c) {
    t[c] = simde_uint8x16_to_m128i(even.val[c]);
    t[3 + c] = simde_uint8x16_to_m128i(odd.val[c]);
  }
  for (int round = 0; round < 4; ++round) sse2::UnzipRound6<sse2::EvenBytes, sse2::OddBytes>(t);
  for (int i = 0; i < 6; ++i) _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16 * i), t[i]);
#else
  uint8x16x3_t lo, hi;
  for (int c = 0; c < 3; ++c) {
    lo.val[c] = vzip1q_u8(even.val[c], odd.val[c]);
    hi.val[c] = vzip2q_u8(even.val[c], odd.val[c]);
  }
  vst3q_u8(p, lo);
  vst3q_u8(p + 48, hi);
#endif
}

inline void St3qZip_u16(uint16_t* p, uint16x8x3_t even, uint16x8x3_t odd) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  __m128i t[6];
  for (int c = 0; c < 3; ++c) {
    t[c] = simde_uint16x8_to_m128i(even.val[c]);
    t[3 + c] = simde_uint16x8_to_m128i(odd.val[c]);
  }
  for (int round = 0; round < 3; ++round) sse2::UnzipRound6<sse2::EvenHalves, sse2::OddHalves>(t);
  for (int i = 0; i < 6; ++i) _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 8 * i), t[i]);
#else
  uint16x8x3_t lo, hi;
  for (int c = 0; c < 3; ++c) {
    lo.val[c] = vzip1q_u16(even.val[c], odd.val[c]);
    hi.val[c] = vzip2q_u16(even.val[c], odd.val[c]);
  }
  vst3q_u16(p, lo);
  vst3q_u16(p + 24, hi);
#endif
}

inline uint8x16x4_t Ld4q_u8(const uint8_t* p) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  __m128i t[4];
  for (int i = 0; i < 4; ++i) t[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
  for (int round = 0; round < 2; ++round) {
    const __m128i e01 = sse2::EvenBytes(t[0], t[1]), e23 = sse2::EvenBytes(t[2], t[3]);
    const __m128i o01 = sse2::OddBytes(t[0], t[1]), o23 = sse2::OddBytes(t[2], t[3]);
    t[0] = e01;
    t[1] = e23;
    t[2] = o01;
    t[3] = o23;
  }
  uint8x16x4_t r;
  for (int i = 0; i < 4; ++i) r.val[i] = simde_uint8x16_from_m128i(t[i]);
  return r;
#else
  return vld4q_u8(p);
#endif
}

inline void St4q_u8(uint8_t* p, uint8x16x4_t v) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  const __m128i a = simde_uint8x16_to_m128i(v.val[0]), b = simde_uint8x16_to_m128i(v.val[1]);
  const __m128i c = simde_uint8x16_to_m128i(v.val[2]), d = simde_uint8x16_to_m128i(v.val[3]);
  const __m128i ab0 = _mm_unpacklo_epi8(a, b), ab1 = _mm_unpackhi_epi8(a, b);
  const __m128i cd0 = _mm_unpacklo_epi8(c, d), cd1 = _mm_unpackhi_epi8(c, d);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_unpacklo_epi16(ab0, cd0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), _mm_unpackhi_epi16(ab0, cd0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 32), _mm_unpacklo_epi16(ab1, cd1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 48), _mm_unpackhi_epi16(ab1, cd1));
#else
  vst4q_u8(p, v);
#endif
}

// ---- vmull_u16 / vmull_s16 on eight lanes, vpaddq_s32 of vmull_s16, --------
// ---- vqmovn_s32 / vqmovun_s16 / vqmovn_s16 / vqmovun_s32 pairs --------------
// (Resize.) SIMDe forms a 16 x 16 -> 32 product by widening both operands
// and emulating a 32-bit multiply (pmuludq and shuffles), and narrows with
// emulated min/max plus shuffles. SSE2 has these directly: mullo/mulhi
// halves, pmaddwd, and saturating packs. Results are the same bits.

// vmull_u16 / vmull_high_u16 of all eight lanes: {low four, high four}.
inline uint32x4x2_t MullU16(uint16x8_t a, uint16x8_t b) {
  uint32x4x2_t r;
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  const __m128i x = simde_uint16x8_to_m128i(a), y = simde_uint16x8_to_m128i(b);
  const __m128i lo = _mm_mullo_epi16(x, y), hi = _mm_mulhi_epu16(x, y);
  r.val[0] = simde_uint32x4_from_m128i(_mm_unpacklo_epi16(lo, hi));
  r.val[1] = simde_uint32x4_from_m128i(_mm_unpackhi_epi16(lo, hi));
#else
  r.val[0] = vmull_u16(vget_low_u16(a), vget_low_u16(b));
  r.val[1] = vmull_high_u16(a, b);
#endif
  return r;
}

// vmull_s16 / vmull_high_s16 of all eight lanes: {low four, high four}.
inline int32x4x2_t MullS16(int16x8_t a, int16x8_t b) {
  int32x4x2_t r;
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  const __m128i x = simde_int16x8_to_m128i(a), y = simde_int16x8_to_m128i(b);
  const __m128i lo = _mm_mullo_epi16(x, y), hi = _mm_mulhi_epi16(x, y);
  r.val[0] = simde_int32x4_from_m128i(_mm_unpacklo_epi16(lo, hi));
  r.val[1] = simde_int32x4_from_m128i(_mm_unpackhi_epi16(lo, hi));
#else
  r.val[0] = vmull_s16(vget_low_s16(a), vget_low_s16(b));
  r.val[1] = vmull_high_s16(a, b);
#endif
  return r;
}

// Sums of adjacent products, a0 b0 + a1 b1, a2 b2 + a3 b3, ...: vpaddq_s32 of
// vmull_s16 and vmull_high_s16 (one pmaddwd on x86).
inline int32x4_t MaddS16(int16x8_t a, int16x8_t b) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  return simde_int32x4_from_m128i(_mm_madd_epi16(simde_int16x8_to_m128i(a), simde_int16x8_to_m128i(b)));
#else
  return vpaddq_s32(vmull_s16(vget_low_s16(a), vget_low_s16(b)), vmull_high_s16(a, b));
#endif
}

// Saturating narrows of two registers into one: vcombine of vqmovn_s32,
// vqmovun_s16, vqmovn_s16 and vqmovun_s32 (the unsigned 32 -> 16 case
// through a biased signed pack).
inline int16x8_t QmovnS32Pair(int32x4_t a, int32x4_t b) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  return simde_int16x8_from_m128i(_mm_packs_epi32(simde_int32x4_to_m128i(a), simde_int32x4_to_m128i(b)));
#else
  return vcombine_s16(vqmovn_s32(a), vqmovn_s32(b));
#endif
}

inline uint8x16_t QmovunS16Pair(int16x8_t a, int16x8_t b) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  return simde_uint8x16_from_m128i(_mm_packus_epi16(simde_int16x8_to_m128i(a), simde_int16x8_to_m128i(b)));
#else
  return vcombine_u8(vqmovun_s16(a), vqmovun_s16(b));
#endif
}

inline int8x16_t QmovnS16Pair(int16x8_t a, int16x8_t b) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  return simde_int8x16_from_m128i(_mm_packs_epi16(simde_int16x8_to_m128i(a), simde_int16x8_to_m128i(b)));
#else
  return vcombine_s8(vqmovn_s16(a), vqmovn_s16(b));
#endif
}

inline uint16x8_t QmovunS32Pair(int32x4_t a, int32x4_t b) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  // x - 32768 saturated to int16, then the bias flipped back: 0..65535.
  const __m128i bias = _mm_set1_epi32(32768);
  const __m128i packed = _mm_packs_epi32(_mm_sub_epi32(simde_int32x4_to_m128i(a), bias),
                                         _mm_sub_epi32(simde_int32x4_to_m128i(b), bias));
  return simde_uint16x8_from_m128i(_mm_xor_si128(packed, _mm_set1_epi16(static_cast<int16_t>(0x8000))));
#else
  return vcombine_u16(vqmovun_s32(a), vqmovun_s32(b));
#endif
}

// ---- CvtColor rows: vld3q_u8 + three-term weighted sums; vld3q_u8 + --------
// ---- vst3q_u8 channel swap by overlapping loads ------------------------------
// (CvtColor gray and RGB -> YUV, BGR <-> RGB.) Even the zip form of vld3q_u8
// above costs 24 shuffles per 16 pixels on SSE2 and the widening after it as
// many again, while a weighted sum of the channels needs no separate
// channels at all: with two pixels a, b in bytes 0-5 of a 64-bit lane N, the
// even bytes of N are (a0, a2, b1, -) and the odd bytes of N << 16 are
// (0, a1, b0, b2), so two pmaddwd against fixed weight patterns leave a's sum
// in 32-bit lane 0 and b's in lane 1. Two movq loads and one unpack place four
// pixels; the rest is shifts, masks and multiply-adds. AArch64 keeps vld3q_u8
// and the widening multiplies.

// 16 three-channel pixels, prepared for the weighted sums below.
struct Pixels3x16_u8 {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  __m128i even[4];  // pixels 4k, 4k + 1 and 4k + 2, 4k + 3: halfwords (a0, a2, b1, -)
  __m128i odd[4];   // halfwords (0, a1, b0, b2)
#else
  uint8x16x3_t v;
#endif
};

// vld3q_u8: reads exactly the 48 bytes at p.
inline Pixels3x16_u8 Ld3qPixels_u8(const uint8_t* p) {
  Pixels3x16_u8 px;
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  const __m128i low_bytes = _mm_set1_epi16(0x00FF);
  for (int k = 0; k < 4; ++k) {
    const uint8_t* q = p + 12 * k;
    const __m128i first = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q));
    // The last pair is loaded 2 bytes early and shifted down, so nothing past
    // the 48 bytes is read.
    const __m128i second = k < 3 ? _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q + 6))
                                 : _mm_srli_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(q + 4)), 16);
    const __m128i n = _mm_unpacklo_epi64(first, second);
    px.even[k] = _mm_and_si128(n, low_bytes);
    px.odd[k] = _mm_srli_epi16(_mm_slli_epi64(n, 16), 8);
  }
#else
  px.v = vld3q_u8(p);
#endif
  return px;
}

// clamp((w0 c0 + w1 c1 + w2 c2 + bias) >> kShift, 0, 255) of the 16 pixels
// (vmull_n_u16 / vmlal_n_u16, vqshrn_n_s32, vqmovun_s16) for weights and
// bias below 2^15.
template <int kShift>
inline uint8x16_t Dot3ShrSmall_u8(const Pixels3x16_u8& px, uint16_t w0, uint16_t w1, uint16_t w2, uint16_t bias) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  const int16_t a = static_cast<int16_t>(w0), b = static_cast<int16_t>(w1), c = static_cast<int16_t>(w2);
  const __m128i we = _mm_setr_epi16(a, c, b, 0, a, c, b, 0);
  const __m128i wo = _mm_setr_epi16(0, b, a, c, 0, b, a, c);
  const __m128i k = _mm_set1_epi32(bias);
  __m128i s[4];
  for (int i = 0; i < 4; ++i) {
    const __m128i sum = _mm_add_epi32(_mm_madd_epi16(px.even[i], we), _mm_madd_epi16(px.odd[i], wo));
    s[i] = _mm_srai_epi32(_mm_add_epi32(sum, k), kShift);
  }
  return simde_uint8x16_from_m128i(_mm_packus_epi16(_mm_packs_epi32(s[0], s[1]), _mm_packs_epi32(s[2], s[3])));
#else
  int16x8_t half[2];
  for (int h = 0; h < 2; ++h) {
    const uint8x8_t c0 = h == 0 ? vget_low_u8(px.v.val[0]) : vget_high_u8(px.v.val[0]);
    const uint8x8_t c1 = h == 0 ? vget_low_u8(px.v.val[1]) : vget_high_u8(px.v.val[1]);
    const uint8x8_t c2 = h == 0 ? vget_low_u8(px.v.val[2]) : vget_high_u8(px.v.val[2]);
    uint32x4_t lo, hi;
    Dot3N_u16(vmovl_u8(c0), vmovl_u8(c1), vmovl_u8(c2), w0, w1, w2, bias, lo, hi);
    half[h] = vcombine_s16(vqshrn_n_s32(vreinterpretq_s32_u32(lo), kShift),
                           vqshrn_n_s32(vreinterpretq_s32_u32(hi), kShift));
  }
  return vcombine_u8(vqmovun_s16(half[0]), vqmovun_s16(half[1]));
#endif
}

#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
namespace sse2 {

// Weight w as 2^8 hi + lo with 0 <= lo < 2^8 (|w| < 2^23), so that hi and
// lo fit pmaddwd.
inline int16_t WeightHi(int32_t w) { return static_cast<int16_t>(w >> 8); }
inline int16_t WeightLo(int32_t w) { return static_cast<int16_t>(w & 255); }

// (2^8 sum_hi + sum_lo + bias) >> kShift, exact: the inner shift drops only
// bits below 2^8.
template <int kShift>
inline __m128i CombineHiLoShr(__m128i sum_hi, __m128i sum_lo, __m128i bias) {
  static_assert(kShift >= 8, "the low sum is shifted by 8 first");
  return _mm_srai_epi32(_mm_add_epi32(sum_hi, _mm_srai_epi32(_mm_add_epi32(sum_lo, bias), 8)), kShift - 8);
}

}  // namespace sse2
#endif

// clamp((w0 c0 + w1 c1 + w2 c2 + bias) >> kShift, 0, 255) of the 16 pixels
// (vmovl, vmlaq_n_s32, vqshrn_n_s32 + vqshrun_n_s16) for |w| < 2^22 and a
// sum that fits 32 bits; 16 < kShift <= 24.
template <int kShift>
inline uint8x16_t Dot3Shr_u8(const Pixels3x16_u8& px, int32_t w0, int32_t w1, int32_t w2, int32_t bias) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  using sse2::WeightHi;
  using sse2::WeightLo;
  const __m128i we_hi = _mm_setr_epi16(WeightHi(w0), WeightHi(w2), WeightHi(w1), 0, WeightHi(w0), WeightHi(w2),
                                       WeightHi(w1), 0);
  const __m128i wo_hi = _mm_setr_epi16(0, WeightHi(w1), WeightHi(w0), WeightHi(w2), 0, WeightHi(w1), WeightHi(w0),
                                       WeightHi(w2));
  const __m128i we_lo = _mm_setr_epi16(WeightLo(w0), WeightLo(w2), WeightLo(w1), 0, WeightLo(w0), WeightLo(w2),
                                       WeightLo(w1), 0);
  const __m128i wo_lo = _mm_setr_epi16(0, WeightLo(w1), WeightLo(w0), WeightLo(w2), 0, WeightLo(w1), WeightLo(w0),
                                       WeightLo(w2));
  const __m128i k = _mm_set1_epi32(bias);
  __m128i s[4];
  for (int i = 0; i < 4; ++i) {
    const __m128i hi = _mm_add_epi32(_mm_madd_epi16(px.even[i], we_hi), _mm_madd_epi16(px.odd[i], wo_hi));
    const __m128i lo = _mm_add_epi32(_mm_madd_epi16(px.even[i], we_lo), _mm_madd_epi16(px.odd[i], wo_lo));
    s[i] = sse2::CombineHiLoShr<kShift>(hi, lo, k);
  }
  return simde_uint8x16_from_m128i(_mm_packus_epi16(_mm_packs_epi32(s[0], s[1]), _mm_packs_epi32(s[2], s[3])));
#else
  int32x4_t s[4];
  for (int i = 0; i < 4; ++i) s[i] = vdupq_n_s32(bias);
  const int32_t w[3] = {w0, w1, w2};
  for (int c = 0; c < 3; ++c) {
    const int16x8_t lo = vreinterpretq_s16_u16(vmovl_u8(vget_low_u8(px.v.val[c])));
    const int16x8_t hi = vreinterpretq_s16_u16(vmovl_high_u8(px.v.val[c]));
    s[0] = vmlaq_n_s32(s[0], vmovl_s16(vget_low_s16(lo)), w[c]);
    s[1] = vmlaq_n_s32(s[1], vmovl_high_s16(lo), w[c]);
    s[2] = vmlaq_n_s32(s[2], vmovl_s16(vget_low_s16(hi)), w[c]);
    s[3] = vmlaq_n_s32(s[3], vmovl_high_s16(hi), w[c]);
  }
  const int16x8_t ab = vcombine_s16(vqshrn_n_s32(s[0], 16), vqshrn_n_s32(s[1], 16));
  const int16x8_t cd = vcombine_s16(vqshrn_n_s32(s[2], 16), vqshrn_n_s32(s[3], 16));
  return vcombine_u8(vqshrun_n_s16(ab, kShift - 16), vqshrun_n_s16(cd, kShift - 16));
#endif
}

// Two sums A (weights a0..a2) and B (weights b0..b2) of the even pixels 0,
// 2, ..., 14, clamped like Dot3Shr_u8 and interleaved: A(0) B(0) A(2) B(2)
// ... (vuzp of the even pixels, then vzip of the two results).
template <int kShift>
inline uint8x16_t Dot3PairEvenShr_u8(const Pixels3x16_u8& px, int32_t a0, int32_t a1, int32_t a2, int32_t b0,
                                     int32_t b1, int32_t b2, int32_t bias) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  using sse2::WeightHi;
  using sse2::WeightLo;
  // Lanes 0 and 2 of even/odd hold the even pixels; each is doubled so that
  // lane 2j computes A and lane 2j + 1 computes B.
  const __m128i we_hi = _mm_setr_epi16(WeightHi(a0), WeightHi(a2), WeightHi(b0), WeightHi(b2), WeightHi(a0),
                                       WeightHi(a2), WeightHi(b0), WeightHi(b2));
  const __m128i wo_hi = _mm_setr_epi16(0, WeightHi(a1), 0, WeightHi(b1), 0, WeightHi(a1), 0, WeightHi(b1));
  const __m128i we_lo = _mm_setr_epi16(WeightLo(a0), WeightLo(a2), WeightLo(b0), WeightLo(b2), WeightLo(a0),
                                       WeightLo(a2), WeightLo(b0), WeightLo(b2));
  const __m128i wo_lo = _mm_setr_epi16(0, WeightLo(a1), 0, WeightLo(b1), 0, WeightLo(a1), 0, WeightLo(b1));
  const __m128i k = _mm_set1_epi32(bias);
  __m128i s[4];
  for (int i = 0; i < 4; ++i) {
    const __m128i e = _mm_shuffle_epi32(px.even[i], _MM_SHUFFLE(2, 2, 0, 0));
    const __m128i o = _mm_shuffle_epi32(px.odd[i], _MM_SHUFFLE(2, 2, 0, 0));
    const __m128i hi = _mm_add_epi32(_mm_madd_epi16(e, we_hi), _mm_madd_epi16(o, wo_hi));
    const __m128i lo = _mm_add_epi32(_mm_madd_epi16(e, we_lo), _mm_madd_epi16(o, wo_lo));
    s[i] = sse2::CombineHiLoShr<kShift>(hi, lo, k);
  }
  return simde_uint8x16_from_m128i(_mm_packus_epi16(_mm_packs_epi32(s[0], s[1]), _mm_packs_epi32(s[2], s[3])));
#else
  int32x4_t s[4];
  for (int i = 0; i < 4; ++i) s[i] = vdupq_n_s32(bias);
  const int32_t a[3] = {a0, a1, a2};
  const int32_t b[3] = {b0, b1, b2};
  for (int c = 0; c < 3; ++c) {
    const int16x8_t even = vreinterpretq_s16_u16(vmovl_u8(vmovn_u16(vreinterpretq_u16_u8(px.v.val[c]))));
    const int32x4_t lo = vmovl_s16(vget_low_s16(even));
    const int32x4_t hi = vmovl_high_s16(even);
    s[0] = vmlaq_n_s32(s[0], lo, a[c]);
    s[1] = vmlaq_n_s32(s[1], hi, a[c]);
    s[2] = vmlaq_n_s32(s[2], lo, b[c]);
    s[3] = vmlaq_n_s32(s[3], hi, b[c]);
  }
  const int16x8_t sa = vcombine_s16(vqshrn_n_s32(s[0], 16), vqshrn_n_s32(s[1], 16));
  const int16x8_t sb = vcombine_s16(vqshrn_n_s32(s[2], 16), vqshrn_n_s32(s[3], 16));
  const uint8x8_t ua = vqshrun_n_s16(sa, kShift - 16);
  const uint8x8_t ub = vqshrun_n_s16(sb, kShift - 16);
  return vcombine_u8(vzip1_u8(ua, ub), vzip2_u8(ua, ub));
#endif
}

// vld3q_u8 + vst3q_u8 exchanging channels 0 and 2 of 16 pixels, as
// SwapRb3q_u8 above but with four of its six shifted neighbours loaded from
// memory at +-2 bytes instead of built by byte shifts. Reads only the 48
// bytes at src, all before writing, so src may equal dst.
inline void SwapRb3qLoads_u8(const uint8_t* src, uint8_t* dst) {
#if !KILN_NEON_NATIVE && defined(SIMDE_X86_SSE2_NATIVE)
  const auto load = [src](int offset) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + offset)); };
  const __m128i v0 = load(0), v1 = load(16), v2 = load(32);
  // Byte i of the 48 is channel i % 3: channel 0 takes byte i + 2, channel 2
  // byte i - 2. Masks of channels 0, 1, 2 for a register starting at byte 0.
  const __m128i m0 = _mm_setr_epi8(-1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1);
  const __m128i m1 = _mm_setr_epi8(0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0);
  const __m128i m2 = _mm_setr_epi8(0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0);
  const auto blend = [](__m128i next, __m128i keep, __m128i prev, __m128i c0, __m128i c1, __m128i c2) {
    return _mm_or_si128(_mm_or_si128(_mm_and_si128(next, c0), _mm_and_si128(keep, c1)), _mm_and_si128(prev, c2));
  };
  // Register 1 starts with channel 1, register 2 with channel 2. The first
  // register's previous bytes and the last one's next bytes would lie
  // outside the 48: those two are shifted in registers.
  const __m128i r0 = blend(load(2), v0, _mm_slli_si128(v0, 2), m0, m1, m2);
  const __m128i r1 = blend(load(18), v1, load(14), m2, m0, m1);
  const __m128i r2 = blend(_mm_srli_si128(v2, 2), v2, load(30), m1, m2, m0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), r0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), r1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 32), r2);
#else
  uint8x16x3_t v = vld3q_u8(src);
  const uint8x16_t t = v.val[0];
  v.val[0] = v.val[2];
  v.val[2] = t;
  vst3q_u8(dst, v);
#endif
}

}  // namespace neon
}  // namespace kiln

#endif  // KILN_OPS_CORE_NEON_KILN_NEON_H_
