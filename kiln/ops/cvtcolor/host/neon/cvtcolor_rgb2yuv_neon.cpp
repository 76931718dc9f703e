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
  const S32x16 r = WidenU8(rgb.val[0]);
  const S32x16 g = WidenU8(rgb.val[1]);
  const S32x16 b = WidenU8(rgb.val[2]);
  const int32x4_t offset = vdupq_n_s32(kFullRange ? kYuvHalf : kVideoYOffset);
  S32x16 y;
  for (int k = 0; k < 4; ++k) {
    y.v[k] = vmlaq_n_s32(offset, r.v[k], kFullRange ? kFullYr : kVideoYr);
    y.v[k] = vmlaq_n_s32(y.v[k], g.v[k], kFullRange ? kFullYg : kVideoYg);
    y.v[k] = vmlaq_n_s32(y.v[k], b.v[k], kFullRange ? kFullYb : kVideoYb);
  }
  return ShrNarrowU8(y);
}

// U or V of 4 pixels: offset + wr r + wg g + wb b (signed weights).
inline int32x4_t ChromaSum(int32x4_t r, int32x4_t g, int32x4_t b, int32_t wr, int32_t wg, int32_t wb) {
  int32x4_t s = vmlaq_n_s32(vdupq_n_s32(kChromaOffset), r, wr);
  s = vmlaq_n_s32(s, g, wg);
  return vmlaq_n_s32(s, b, wb);
}

inline int32x4_t WidenLow(uint8x8_t v) { return vreinterpretq_s32_u32(vmovl_u16(vget_low_u16(vmovl_u8(v)))); }
inline int32x4_t WidenHigh(uint8x8_t v) { return vreinterpretq_s32_u32(vmovl_u16(vget_high_u16(vmovl_u8(v)))); }

// U and V of 8 pixels.
template <bool kFullRange>
inline void ChromaOf(uint8x8_t r, uint8x8_t g, uint8x8_t b, uint8x8_t* u, uint8x8_t* v) {
  const int32x4_t r0 = WidenLow(r), r1 = WidenHigh(r);
  const int32x4_t g0 = WidenLow(g), g1 = WidenHigh(g);
  const int32x4_t b0 = WidenLow(b), b1 = WidenHigh(b);
  const int32_t ur = kFullRange ? -kFullUr : -kVideoUr, ug = kFullRange ? -kFullUg : -kVideoUg;
  const int32_t ub = kFullRange ? kFullUb : kVideoUb;
  const int32_t vr = kFullRange ? kFullVr : kVideoVr, vg = kFullRange ? -kFullVg : -kVideoVg;
  const int32_t vb = kFullRange ? -kFullVb : -kVideoVb;
  *u = ShrNarrowU8(ChromaSum(r0, g0, b0, ur, ug, ub), ChromaSum(r1, g1, b1, ur, ug, ub));
  *v = ShrNarrowU8(ChromaSum(r0, g0, b0, vr, vg, vb), ChromaSum(r1, g1, b1, vr, vg, vb));
}

// The even lanes (the top-left pixels of 2 x 2 blocks).
inline uint8x8_t EvenLanes(uint8x16_t v) { return vmovn_u16(vreinterpretq_u16_u8(v)); }

template <bool kFullRange, bool kInterleaved>
int RgbToYuv420Blocks(const uint8_t* s0, const uint8_t* s1, uint8_t* y0, uint8_t* y1, uint8_t* u, uint8_t* v,
                      int width) {
  const bool u_first = u < v;
  uint8_t* pairs = u_first ? u : v;
  int x = 0;
  for (; x + kBlock <= width; x += kBlock) {
    const uint8x16x3_t top = ::kiln::neon::Ld3q_u8(s0 + 3 * x);
    const uint8x16x3_t bottom = ::kiln::neon::Ld3q_u8(s1 + 3 * x);
    vst1q_u8(y0 + x, LumaOf<kFullRange>(top));
    vst1q_u8(y1 + x, LumaOf<kFullRange>(bottom));
    uint8x8_t us, vs;
    ChromaOf<kFullRange>(EvenLanes(top.val[0]), EvenLanes(top.val[1]), EvenLanes(top.val[2]), &us, &vs);
    if (kInterleaved) {
      const uint8x8x2_t z = u_first ? vzip_u8(us, vs) : vzip_u8(vs, us);
      vst1q_u8(pairs + x, vcombine_u8(z.val[0], z.val[1]));
    } else {
      vst1_u8(u + x / 2, us);
      vst1_u8(v + x / 2, vs);
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
    uint8x8_t u0, v0, u1, v1;
    ChromaOf<kFullRange>(vget_low_u8(rgb.val[0]), vget_low_u8(rgb.val[1]), vget_low_u8(rgb.val[2]), &u0, &v0);
    ChromaOf<kFullRange>(vget_high_u8(rgb.val[0]), vget_high_u8(rgb.val[1]), vget_high_u8(rgb.val[2]), &u1, &v1);
    vst1q_u8(u + x, vcombine_u8(u0, u1));
    vst1q_u8(v + x, vcombine_u8(v0, v1));
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
