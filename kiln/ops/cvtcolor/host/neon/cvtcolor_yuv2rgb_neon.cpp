// NEON YUV -> RGB kernels, 32-bit lanes for the 2^20 fixed point (the
// products need 28 bits).
#include "kiln/ops/cvtcolor/host/neon/cvtcolor_neon_common.h"
#include "kiln/ops/cvtcolor/host/neon/cvtcolor_neon_rows.h"
#include "kiln/ops/cvtcolor/none/cvtcolor_none_rows.h"

namespace kiln {
namespace cvtcolor {
namespace neon {

namespace {

constexpr int kBlock = 16;
// Subsampled chroma: 32 pixels a block, split into even and odd pixels, so
// each chroma sample meets its two pixels lane by lane.
constexpr int kPairBlock = 32;

// Chroma parts of R, G and B (rounding half included), one lane per chroma
// sample, for 8 samples (k = 0, 1) or 16 (k = 0..3).
struct ChromaVec {
  int32x4_t r[4];
  int32x4_t g[4];
  int32x4_t b[4];
};

// Adds the chroma parts of 8 samples (U and V widened to 16 bits) as lanes
// 4 * half .. 4 * half + 7.
template <bool kFullRange>
inline void ChromaOf(uint16x8_t u, uint16x8_t v, int half, ChromaVec* c) {
  const int16x8_t du = vreinterpretq_s16_u16(vsubq_u16(u, vdupq_n_u16(128)));
  const int16x8_t dv = vreinterpretq_s16_u16(vsubq_u16(v, vdupq_n_u16(128)));
  const int32x4_t h = vdupq_n_s32(kYuvHalf);
  int32x4_t* r = c->r + 2 * half;
  int32x4_t* g = c->g + 2 * half;
  int32x4_t* b = c->b + 2 * half;
  r[0] = r[1] = g[0] = g[1] = b[0] = b[1] = h;
  ::kiln::neon::MlaSmallN_s16(r[0], r[1], dv, kFullRange ? kFullRv : kVideoRv);
  ::kiln::neon::MlaSmallN_s16(g[0], g[1], dv, kFullRange ? -kFullGv : -kVideoGv);
  ::kiln::neon::MlaSmallN_s16(g[0], g[1], du, kFullRange ? -kFullGu : -kVideoGu);
  ::kiln::neon::MlaSmallN_s16(b[0], b[1], du, kFullRange ? kFullBu : kVideoBu);
}

// The luma parts of 8 pixels whose Y are widened to 16 bits, as lanes
// 4 * half .. 4 * half + 7 of l.
template <bool kFullRange>
inline void LumaOf(uint16x8_t y, int half, S32x16* l) {
  ::kiln::neon::MulSmallN_s16(l->v[2 * half], l->v[2 * half + 1], vreinterpretq_s16_u16(y),
                              kFullRange ? (1 << kYuvShift) : kVideoY);
}

// Video range counts Y from 16 (max(Y, 16) - 16 is a saturating
// subtraction); full range as it is.
template <bool kFullRange>
inline uint8x16_t LumaBase(uint8x16_t y) {
  return kFullRange ? y : vqsubq_u8(y, vdupq_n_u8(kVideoYBlack));
}

// The low and high byte of each 16-bit lane: the even and odd bytes of 16.
inline uint16x8_t EvenBytes(uint8x16_t v) { return vandq_u16(vreinterpretq_u16_u8(v), vdupq_n_u16(0xFF)); }
inline uint16x8_t OddBytes(uint8x16_t v) { return vshrq_n_u16(vreinterpretq_u16_u8(v), 8); }

inline uint8x16_t Channel(const S32x16& luma, const int32x4_t (&chroma)[4]) {
  S32x16 sum;
  for (int k = 0; k < 4; ++k) sum.v[k] = vaddq_s32(luma.v[k], chroma[k]);
  return ShrNarrowU8(sum);
}

// Writes 32 RGB pixels: the even ones from luma_even, the odd ones from
// luma_odd, both with the chroma of their pair.
inline void StorePairs(uint8_t* dst, const S32x16& luma_even, const S32x16& luma_odd, const ChromaVec& c) {
  uint8x16x3_t even, odd;
  even.val[0] = Channel(luma_even, c.r);
  even.val[1] = Channel(luma_even, c.g);
  even.val[2] = Channel(luma_even, c.b);
  odd.val[0] = Channel(luma_odd, c.r);
  odd.val[1] = Channel(luma_odd, c.g);
  odd.val[2] = Channel(luma_odd, c.b);
  ::kiln::neon::St3qZip_u8(dst, even, odd);
}

// One output row of 32 pixels from 32 Y bytes (16 Y bytes at y, 16 at
// y + 16) and the chroma of their 16 pairs.
template <bool kFullRange>
inline void Row420(const uint8_t* y, uint8_t* dst, const ChromaVec& c) {
  const uint8x16_t y0 = LumaBase<kFullRange>(vld1q_u8(y));
  const uint8x16_t y1 = LumaBase<kFullRange>(vld1q_u8(y + 16));
  S32x16 even, odd;
  LumaOf<kFullRange>(EvenBytes(y0), 0, &even);
  LumaOf<kFullRange>(EvenBytes(y1), 1, &even);
  LumaOf<kFullRange>(OddBytes(y0), 0, &odd);
  LumaOf<kFullRange>(OddBytes(y1), 1, &odd);
  StorePairs(dst, even, odd, c);
}

// Two output rows of 4:2:0 from 32-pixel blocks; returns the pixels done.
template <bool kFullRange, bool kInterleaved>
int Yuv420Blocks(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v, uint8_t* d0, uint8_t* d1,
                 int width) {
  // Interleaved chroma is read as pairs starting at the first of U and V.
  const bool u_first = u < v;
  const uint8_t* pairs = u_first ? u : v;
  int x = 0;
  for (; x + kPairBlock <= width; x += kPairBlock) {
    ChromaVec c;
    for (int half = 0; half < 2; ++half) {
      uint16x8_t us, vs;
      if (kInterleaved) {
        const uint8x16_t uv = vld1q_u8(pairs + x + 16 * half);
        us = u_first ? EvenBytes(uv) : OddBytes(uv);
        vs = u_first ? OddBytes(uv) : EvenBytes(uv);
      } else {
        us = vmovl_u8(vld1_u8(u + x / 2 + 8 * half));
        vs = vmovl_u8(vld1_u8(v + x / 2 + 8 * half));
      }
      ChromaOf<kFullRange>(us, vs, half, &c);
    }
    Row420<kFullRange>(y0 + x, d0 + 3 * x, c);
    Row420<kFullRange>(y1 + x, d1 + 3 * x, c);
  }
  return x;
}

template <bool kFullRange>
void Yuv420Rows(const YuvToRgbArgs& a, int begin, int end) {
  for (int i = begin; i < end; ++i) {
    const uint8_t* y0 = RowPtr(a.y, a.y_pitch, 2 * i);
    const uint8_t* y1 = RowPtr(a.y, a.y_pitch, 2 * i + 1);
    const uint8_t* u = RowPtr(a.u, a.u_pitch, i);
    const uint8_t* v = RowPtr(a.v, a.v_pitch, i);
    uint8_t* d0 = RowPtr(a.dst, a.dst_pitch, 2 * i);
    uint8_t* d1 = RowPtr(a.dst, a.dst_pitch, 2 * i + 1);
    const int done = a.uv_step == 2 ? Yuv420Blocks<kFullRange, true>(y0, y1, u, v, d0, d1, a.width)
                                    : Yuv420Blocks<kFullRange, false>(y0, y1, u, v, d0, d1, a.width);
    none::Yuv420Span<kFullRange>(y0, y1, u, v, a.uv_step, d0, d1, done, a.width);
  }
}

// One row of 4:4:4 planes (planar chroma), 16 pixels a block.
template <bool kFullRange>
int Yuv444Blocks(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int width) {
  int x = 0;
  for (; x + kBlock <= width; x += kBlock) {
    const uint8x16_t us = vld1q_u8(u + x);
    const uint8x16_t vs = vld1q_u8(v + x);
    const uint8x16_t ys = LumaBase<kFullRange>(vld1q_u8(y + x));
    ChromaVec c;
    ChromaOf<kFullRange>(vmovl_u8(vget_low_u8(us)), vmovl_u8(vget_low_u8(vs)), 0, &c);
    ChromaOf<kFullRange>(vmovl_u8(vget_high_u8(us)), vmovl_u8(vget_high_u8(vs)), 1, &c);
    S32x16 l;
    LumaOf<kFullRange>(vmovl_u8(vget_low_u8(ys)), 0, &l);
    LumaOf<kFullRange>(vmovl_u8(vget_high_u8(ys)), 1, &l);
    uint8x16x3_t rgb;
    rgb.val[0] = Channel(l, c.r);
    rgb.val[1] = Channel(l, c.g);
    rgb.val[2] = Channel(l, c.b);
    ::kiln::neon::St3q_u8(dst + 3 * x, rgb);
  }
  return x;
}

template <bool kFullRange>
void Yuv444Rows(const YuvToRgbArgs& a, int begin, int end) {
  for (int row = begin; row < end; ++row) {
    const uint8_t* y = RowPtr(a.y, a.y_pitch, row);
    const uint8_t* u = RowPtr(a.u, a.u_pitch, row);
    const uint8_t* v = RowPtr(a.v, a.v_pitch, row);
    uint8_t* dst = RowPtr(a.dst, a.dst_pitch, row);
    const int done = a.uv_step == 1 ? Yuv444Blocks<kFullRange>(y, u, v, dst, a.width) : 0;
    none::Yuv444Span<kFullRange>(y, u, v, a.uv_step, dst, done, a.width);
  }
}

// One packed 4:2:2 row, 32 pixels (64 bytes) a block: split into even and
// odd bytes, the Y bytes are one of them and the chroma pairs the other.
template <bool kFullRange, int kYOffset>
int Yuv422Blocks(const uint8_t* src, int u_offset, int v_offset, uint8_t* dst, int width) {
  // Within the chroma byte sequence U and V alternate; the lower offset
  // comes first.
  const bool u_first = u_offset < v_offset;
  int x = 0;
  for (; x + kPairBlock <= width; x += kPairBlock) {
    ChromaVec c;
    uint8x16_t ys[2];
    for (int half = 0; half < 2; ++half) {
      const uint8x16x2_t bytes = vld2q_u8(src + 2 * x + 32 * half);
      const uint8x16_t pairs = bytes.val[1 - kYOffset];
      ChromaOf<kFullRange>(u_first ? EvenBytes(pairs) : OddBytes(pairs), u_first ? OddBytes(pairs) : EvenBytes(pairs),
                           half, &c);
      ys[half] = LumaBase<kFullRange>(bytes.val[kYOffset]);
    }
    S32x16 even, odd;
    for (int half = 0; half < 2; ++half) {
      LumaOf<kFullRange>(EvenBytes(ys[half]), half, &even);
      LumaOf<kFullRange>(OddBytes(ys[half]), half, &odd);
    }
    StorePairs(dst + 3 * x, even, odd, c);
  }
  return x;
}

template <bool kFullRange>
void Yuv422Rows(const Yuv422ToRgbArgs& a, int begin, int end) {
  for (int row = begin; row < end; ++row) {
    const uint8_t* src = RowPtr(a.src, a.src_pitch, row);
    uint8_t* dst = RowPtr(a.dst, a.dst_pitch, row);
    const int done = a.y_offset == 0 ? Yuv422Blocks<kFullRange, 0>(src, a.u_offset, a.v_offset, dst, a.width)
                                     : Yuv422Blocks<kFullRange, 1>(src, a.u_offset, a.v_offset, dst, a.width);
    none::Yuv422Span<kFullRange>(src, a.y_offset, a.u_offset, a.v_offset, dst, done, a.width);
  }
}

}  // namespace

Status Yuv420ToRgbRows(const YuvToRgbArgs& a, int begin, int end) {
  if (a.full_range) {
    Yuv420Rows<true>(a, begin, end);
  } else {
    Yuv420Rows<false>(a, begin, end);
  }
  return kStatusOk;
}

Status Yuv444ToRgbRows(const YuvToRgbArgs& a, int begin, int end) {
  if (a.full_range) {
    Yuv444Rows<true>(a, begin, end);
  } else {
    Yuv444Rows<false>(a, begin, end);
  }
  return kStatusOk;
}

Status Yuv422ToRgbRows(const Yuv422ToRgbArgs& a, int begin, int end) {
  if (a.full_range) {
    Yuv422Rows<true>(a, begin, end);
  } else {
    Yuv422Rows<false>(a, begin, end);
  }
  return kStatusOk;
}

}  // namespace neon
}  // namespace cvtcolor
}  // namespace kiln
