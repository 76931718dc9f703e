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

}  // namespace neon
}  // namespace kiln

#endif  // KILN_OPS_CORE_NEON_KILN_NEON_H_
