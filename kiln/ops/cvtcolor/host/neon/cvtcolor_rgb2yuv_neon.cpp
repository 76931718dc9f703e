// NEON RGB -> YUV kernels: 16 pixels a block. The 8-bit forms work in 32-bit
// lanes with the 2^20 coefficients; P010 splits its coefficients so that
// 16-bit inputs still fit 32-bit lanes (see cvtcolor_fixed_point.h).
#include "kiln/ops/cvtcolor/host/neon/cvtcolor_neon_common.h"
#include "kiln/ops/cvtcolor/host/neon/cvtcolor_neon_rows.h"
#include "kiln/ops/cvtcolor/none/cvtcolor_none_rows.h"

namespace kiln {
namespace cvtcolor {
namespace neon {

namespace {

constexpr int kBlock = 16;

template <bool kFullRange>
inline uint8x16_t LumaOf(const uint8x16x3_t& rgb) {
  S32x16 y = Splat(kFullRange ? kYuvHalf : kVideoYOffset);
  MlaU8(y, rgb.val[0], kFullRange ? kFullYr : kVideoYr);
  MlaU8(y, rgb.val[1], kFullRange ? kFullYg : kVideoYg);
  MlaU8(y, rgb.val[2], kFullRange ? kFullYb : kVideoYb);
  return ShrNarrowU8(y);
}

// U (low half) and V (high half) of 8 pixels.
template <bool kFullRange>
inline uint8x16_t ChromaOf(uint8x8_t r, uint8x8_t g, uint8x8_t b) {
  const int16x8_t r16 = vreinterpretq_s16_u16(vmovl_u8(r));
  const int16x8_t g16 = vreinterpretq_s16_u16(vmovl_u8(g));
  const int16x8_t b16 = vreinterpretq_s16_u16(vmovl_u8(b));
  S32x16 uv = Splat(kChromaOffset);
  ::kiln::neon::MlaSmallN_s16(uv.v[0], uv.v[1], r16, kFullRange ? -kFullUr : -kVideoUr);
  ::kiln::neon::MlaSmallN_s16(uv.v[0], uv.v[1], g16, kFullRange ? -kFullUg : -kVideoUg);
  ::kiln::neon::MlaSmallN_s16(uv.v[0], uv.v[1], b16, kFullRange ? kFullUb : kVideoUb);
  ::kiln::neon::MlaSmallN_s16(uv.v[2], uv.v[3], r16, kFullRange ? kFullVr : kVideoVr);
  ::kiln::neon::MlaSmallN_s16(uv.v[2], uv.v[3], g16, kFullRange ? -kFullVg : -kVideoVg);
  ::kiln::neon::MlaSmallN_s16(uv.v[2], uv.v[3], b16, kFullRange ? -kFullVb : -kVideoVb);
  return ShrNarrowU8(uv);
}

template <bool kFullRange, bool kInterleaved>
int RgbToYuv420Blocks(const uint8_t* s0, const uint8_t* s1, uint8_t* y0, uint8_t* y1, uint8_t* u, uint8_t* v,
                      int width) {
  namespace kn = ::kiln::neon;
  constexpr int32_t kYr = kFullRange ? kFullYr : kVideoYr;
  constexpr int32_t kYg = kFullRange ? kFullYg : kVideoYg;
  constexpr int32_t kYb = kFullRange ? kFullYb : kVideoYb;
  constexpr int32_t kYBias = kFullRange ? kYuvHalf : kVideoYOffset;
  constexpr int32_t kUr = kFullRange ? -kFullUr : -kVideoUr;
  constexpr int32_t kUg = kFullRange ? -kFullUg : -kVideoUg;
  constexpr int32_t kUb = kFullRange ? kFullUb : kVideoUb;
  constexpr int32_t kVr = kFullRange ? kFullVr : kVideoVr;
  constexpr int32_t kVg = kFullRange ? -kFullVg : -kVideoVg;
  constexpr int32_t kVb = kFullRange ? -kFullVb : -kVideoVb;
  const bool u_first = u < v;
  uint8_t* pairs = u_first ? u : v;
  int x = 0;
  for (; x + kBlock <= width; x += kBlock) {
    const kn::Pixels3x16_u8 top = kn::Ld3qPixels_u8(s0 + 3 * x);
    vst1q_u8(y0 + x, kn::Dot3Shr_u8<kYuvShift>(top, kYr, kYg, kYb, kYBias));
    vst1q_u8(y1 + x, kn::Dot3Shr_u8<kYuvShift>(kn::Ld3qPixels_u8(s1 + 3 * x), kYr, kYg, kYb, kYBias));
    // U0 V0 U1 V1 ... of the even (top-left) pixels, or V first.
    const uint8x16_t uv = u_first || !kInterleaved
                              ? kn::Dot3PairEvenShr_u8<kYuvShift>(top, kUr, kUg, kUb, kVr, kVg, kVb, kChromaOffset)
                              : kn::Dot3PairEvenShr_u8<kYuvShift>(top, kVr, kVg, kVb, kUr, kUg, kUb, kChromaOffset);
    if (kInterleaved) {
      vst1q_u8(pairs + x, uv);
    } else {
      const uint16x8_t words = vreinterpretq_u16_u8(uv);
      vst1_u8(u + x / 2, vmovn_u16(words));
      vst1_u8(v + x / 2, vshrn_n_u16(words, 8));
    }
  }
  return x;
}

template <bool kFullRange>
void RgbToYuv420(const RgbToYuvArgs& a, int begin, int end) {
  for (int i = begin; i < end; ++i) {
    const uint8_t* s0 = RowPtr(a.src, a.src_pitch, 2 * i);
    const uint8_t* s1 = RowPtr(a.src, a.src_pitch, 2 * i + 1);
    uint8_t* y0 = RowPtr(a.y, a.y_pitch, 2 * i);
    uint8_t* y1 = RowPtr(a.y, a.y_pitch, 2 * i + 1);
    uint8_t* u = RowPtr(a.u, a.u_pitch, i);
    uint8_t* v = RowPtr(a.v, a.v_pitch, i);
    const int done = a.uv_step == 2 ? RgbToYuv420Blocks<kFullRange, true>(s0, s1, y0, y1, u, v, a.width)
                                    : RgbToYuv420Blocks<kFullRange, false>(s0, s1, y0, y1, u, v, a.width);
    none::RgbToYuv420Span<kFullRange>(s0, s1, y0, y1, u, v, a.uv_step, done, a.width);
  }
}

template <bool kFullRange>
int RgbToYuv444Blocks(const uint8_t* src, uint8_t* y, uint8_t* u, uint8_t* v, int width) {
  int x = 0;
  for (; x + kBlock <= width; x += kBlock) {
    const uint8x16x3_t rgb = ::kiln::neon::Ld3q_u8(src + 3 * x);
    vst1q_u8(y + x, LumaOf<kFullRange>(rgb));
    const uint8x16_t lo = ChromaOf<kFullRange>(vget_low_u8(rgb.val[0]), vget_low_u8(rgb.val[1]), vget_low_u8(rgb.val[2]));
    const uint8x16_t hi =
        ChromaOf<kFullRange>(vget_high_u8(rgb.val[0]), vget_high_u8(rgb.val[1]), vget_high_u8(rgb.val[2]));
    vst1q_u8(u + x, vcombine_u8(vget_low_u8(lo), vget_low_u8(hi)));
    vst1q_u8(v + x, vcombine_u8(vget_high_u8(lo), vget_high_u8(hi)));
  }
  return x;
}

template <bool kFullRange>
void RgbToYuv444(const RgbToYuvArgs& a, int begin, int end) {
  for (int row = begin; row < end; ++row) {
    const uint8_t* src = RowPtr(a.src, a.src_pitch, row);
    uint8_t* y = RowPtr(a.y, a.y_pitch, row);
    uint8_t* u = RowPtr(a.u, a.u_pitch, row);
    uint8_t* v = RowPtr(a.v, a.v_pitch, row);
    const int done = a.uv_step == 1 ? RgbToYuv444Blocks<kFullRange>(src, y, u, v, a.width) : 0;
    none::RgbToYuv444Span<kFullRange>(src, y, u, v, a.uv_step, done, a.width);
  }
}

// ---- P010 ------------------------------------------------------------------

// (lo + 2^13) >> 14 added to hi; both in 32-bit lanes.
inline int32x4_t P010Combine(uint32x4_t hi, uint32x4_t lo) {
  return vreinterpretq_s32_u32(vaddq_u32(hi, vrshrq_n_u32(lo, kP010Shift)));
}

// hi = offset + sum P010Hi(c) x and lo = sum P010Lo(c) x for 4 pixels; the
// hi sum may be negative and is formed modulo 2^32.
inline int32x4_t P010Sum(uint16x4_t r, uint16x4_t g, uint16x4_t b, int32_t cr, int32_t cg, int32_t cb,
                         uint32_t offset) {
  const uint32x4_t r32 = vmovl_u16(r), g32 = vmovl_u16(g), b32 = vmovl_u16(b);
  uint32x4_t hi = vdupq_n_u32(offset);
  hi = vmlaq_n_u32(hi, r32, static_cast<uint32_t>(P010Hi(cr)));
  hi = vmlaq_n_u32(hi, g32, static_cast<uint32_t>(P010Hi(cg)));
  hi = vmlaq_n_u32(hi, b32, static_cast<uint32_t>(P010Hi(cb)));
  uint32x4_t lo = vmulq_n_u32(r32, static_cast<uint32_t>(P010Lo(cr)));
  lo = vmlaq_n_u32(lo, g32, static_cast<uint32_t>(P010Lo(cg)));
  lo = vmlaq_n_u32(lo, b32, static_cast<uint32_t>(P010Lo(cb)));
  return P010Combine(hi, lo);
}

// Y of 8 pixels: the sum is never negative; above 65535 it saturates.
inline uint16x8_t P010Luma(const uint16x8x3_t& rgb) {
  const int32x4_t lo = P010Sum(vget_low_u16(rgb.val[0]), vget_low_u16(rgb.val[1]), vget_low_u16(rgb.val[2]),
                               kFullYr, kFullYg, kFullYb, 0);
  const int32x4_t hi = P010Sum(vget_high_u16(rgb.val[0]), vget_high_u16(rgb.val[1]), vget_high_u16(rgb.val[2]),
                               kFullYr, kFullYg, kFullYb, 0);
  return vcombine_u16(vqmovn_u32(vreinterpretq_u32_s32(lo)), vqmovn_u32(vreinterpretq_u32_s32(hi)));
}

// U or V of 8 pixels, clamped to 0..65535.
inline uint16x8_t P010Chroma(uint16x8_t r, uint16x8_t g, uint16x8_t b, int32_t cr, int32_t cg, int32_t cb) {
  const int32x4_t lo =
      P010Sum(vget_low_u16(r), vget_low_u16(g), vget_low_u16(b), cr, cg, cb, kP010ChromaHi);
  const int32x4_t hi =
      P010Sum(vget_high_u16(r), vget_high_u16(g), vget_high_u16(b), cr, cg, cb, kP010ChromaHi);
  return vcombine_u16(vqmovun_s32(lo), vqmovun_s32(hi));
}

inline uint16x8_t EvenLanes(uint16x8_t a, uint16x8_t b) { return vuzpq_u16(a, b).val[0]; }

int RgbToP010Blocks(const uint16_t* s0, const uint16_t* s1, uint16_t* y0, uint16_t* y1, uint16_t* u, uint16_t* v,
                    int width) {
  const bool u_first = u < v;
  uint16_t* pairs = u_first ? u : v;
  int x = 0;
  for (; x + kBlock <= width; x += kBlock) {
    const uint16x8x3_t t0 = ::kiln::neon::Ld3q_u16(s0 + 3 * x);
    const uint16x8x3_t t1 = ::kiln::neon::Ld3q_u16(s0 + 3 * x + 24);
    vst1q_u16(y0 + x, P010Luma(t0));
    vst1q_u16(y0 + x + 8, P010Luma(t1));
    vst1q_u16(y1 + x, P010Luma(::kiln::neon::Ld3q_u16(s1 + 3 * x)));
    vst1q_u16(y1 + x + 8, P010Luma(::kiln::neon::Ld3q_u16(s1 + 3 * x + 24)));
    const uint16x8_t r = EvenLanes(t0.val[0], t1.val[0]);
    const uint16x8_t g = EvenLanes(t0.val[1], t1.val[1]);
    const uint16x8_t b = EvenLanes(t0.val[2], t1.val[2]);
    const uint16x8_t us = P010Chroma(r, g, b, -kFullUr, -kFullUg, kFullUb);
    const uint16x8_t vs = P010Chroma(r, g, b, kFullVr, -kFullVg, -kFullVb);
    const uint16x8x2_t z = u_first ? vzipq_u16(us, vs) : vzipq_u16(vs, us);
    vst1q_u16(pairs + x, z.val[0]);
    vst1q_u16(pairs + x + 8, z.val[1]);
  }
  return x;
}

}  // namespace

Status RgbToYuv420Rows(const RgbToYuvArgs& a, int begin, int end) {
  if (a.full_range) {
    RgbToYuv420<true>(a, begin, end);
  } else {
    RgbToYuv420<false>(a, begin, end);
  }
  return kStatusOk;
}

Status RgbToYuv444Rows(const RgbToYuvArgs& a, int begin, int end) {
  if (a.full_range) {
    RgbToYuv444<true>(a, begin, end);
  } else {
    RgbToYuv444<false>(a, begin, end);
  }
  return kStatusOk;
}

Status RgbToP010Rows(const RgbToP010Args& a, int begin, int end) {
  for (int i = begin; i < end; ++i) {
    const uint16_t* s0 = RowPtr(a.src, a.src_pitch, 2 * i);
    const uint16_t* s1 = RowPtr(a.src, a.src_pitch, 2 * i + 1);
    uint16_t* y0 = RowPtr(a.y, a.y_pitch, 2 * i);
    uint16_t* y1 = RowPtr(a.y, a.y_pitch, 2 * i + 1);
    uint16_t* u = RowPtr(a.u, a.uv_pitch, i);
    uint16_t* v = RowPtr(a.v, a.uv_pitch, i);
    const int done = RgbToP010Blocks(s0, s1, y0, y1, u, v, a.width);
    none::RgbToP010Span(s0, s1, y0, y1, u, v, done, a.width);
  }
  return kStatusOk;
}

}  // namespace neon
}  // namespace cvtcolor
}  // namespace kiln
