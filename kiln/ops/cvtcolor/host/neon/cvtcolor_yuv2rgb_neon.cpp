// NEON YUV -> RGB kernels: 16 pixels a block, 32-bit lanes for the 2^20
// fixed point (the products need 28 bits).
#include "kiln/ops/cvtcolor/host/neon/cvtcolor_neon_common.h"
#include "kiln/ops/cvtcolor/host/neon/cvtcolor_neon_rows.h"
#include "kiln/ops/cvtcolor/none/cvtcolor_none_rows.h"

namespace kiln {
namespace cvtcolor {
namespace neon {

namespace {

constexpr int kBlock = 16;

// Chroma parts of R, G and B (rounding half included) for 8 chroma samples.
struct ChromaVec {
  int32x4_t r[2];
  int32x4_t g[2];
  int32x4_t b[2];
};

template <bool kFullRange>
inline ChromaVec ChromaOf(uint8x8_t u, uint8x8_t v) {
  const int16x8_t du = vreinterpretq_s16_u16(vsubl_u8(u, vdup_n_u8(128)));
  const int16x8_t dv = vreinterpretq_s16_u16(vsubl_u8(v, vdup_n_u8(128)));
  const int32x4_t half = vdupq_n_s32(kYuvHalf);
  ChromaVec c = {{half, half}, {half, half}, {half, half}};
  ::kiln::neon::MlaSmallN_s16(c.r[0], c.r[1], dv, kFullRange ? kFullRv : kVideoRv);
  ::kiln::neon::MlaSmallN_s16(c.g[0], c.g[1], dv, kFullRange ? -kFullGv : -kVideoGv);
  ::kiln::neon::MlaSmallN_s16(c.g[0], c.g[1], du, kFullRange ? -kFullGu : -kVideoGu);
  ::kiln::neon::MlaSmallN_s16(c.b[0], c.b[1], du, kFullRange ? kFullBu : kVideoBu);
  return c;
}

// The luma parts of 16 pixels.
template <bool kFullRange>
inline S32x16 LumaOf(uint8x16_t y) {
  if (kFullRange) return MulU8(y, 1 << kYuvShift);
  // max(Y, 16) - 16 is a saturating subtraction.
  return MulU8(vqsubq_u8(y, vdupq_n_u8(kVideoYBlack)), kVideoY);
}

inline uint8x16_t Channel(const S32x16& luma, const int32x4_t (&chroma)[4]) {
  S32x16 sum;
  for (int k = 0; k < 4; ++k) sum.v[k] = vaddq_s32(luma.v[k], chroma[k]);
  return ShrNarrowU8(sum);
}

// Writes 16 RGB pixels from their luma and per-pixel chroma parts.
inline void StoreRgb16(uint8_t* dst, const S32x16& luma, const int32x4_t (&r)[4], const int32x4_t (&g)[4],
                       const int32x4_t (&b)[4]) {
  uint8x16x3_t rgb;
  rgb.val[0] = Channel(luma, r);
  rgb.val[1] = Channel(luma, g);
  rgb.val[2] = Channel(luma, b);
  ::kiln::neon::St3q_u8(dst, rgb);
}

// Each of 8 chroma lanes repeated for the two pixels it serves.
inline void Repeat2(const int32x4_t (&in)[2], int32x4_t (&out)[4]) {
  for (int k = 0; k < 2; ++k) {
    out[2 * k] = vzip1q_s32(in[k], in[k]);
    out[2 * k + 1] = vzip2q_s32(in[k], in[k]);
  }
}

// 8 chroma pairs from 16 interleaved bytes, in memory order.
inline void SplitPairs(uint8x16_t bytes, uint8x8_t* first, uint8x8_t* second) {
  const uint16x8_t pairs = vreinterpretq_u16_u8(bytes);
  *first = vmovn_u16(pairs);
  *second = vshrn_n_u16(pairs, 8);
}

// Two output rows of 4:2:0 from 16-pixel blocks; returns the pixels done.
template <bool kFullRange, bool kInterleaved>
int Yuv420Blocks(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v, uint8_t* d0, uint8_t* d1,
                 int width) {
  // Interleaved chroma is read as pairs starting at the first of U and V.
  const bool u_first = u < v;
  const uint8_t* pairs = u_first ? u : v;
  int x = 0;
  for (; x + kBlock <= width; x += kBlock) {
    uint8x8_t us, vs;
    if (kInterleaved) {
      uint8x8_t first, second;
      SplitPairs(vld1q_u8(pairs + x), &first, &second);
      us = u_first ? first : second;
      vs = u_first ? second : first;
    } else {
      us = vld1_u8(u + x / 2);
      vs = vld1_u8(v + x / 2);
    }
    const ChromaVec c = ChromaOf<kFullRange>(us, vs);
    int32x4_t r[4], g[4], b[4];
    Repeat2(c.r, r);
    Repeat2(c.g, g);
    Repeat2(c.b, b);
    StoreRgb16(d0 + 3 * x, LumaOf<kFullRange>(vld1q_u8(y0 + x)), r, g, b);
    StoreRgb16(d1 + 3 * x, LumaOf<kFullRange>(vld1q_u8(y1 + x)), r, g, b);
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

// One row of 4:4:4 planes (planar chroma).
template <bool kFullRange>
int Yuv444Blocks(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int width) {
  int x = 0;
  for (; x + kBlock <= width; x += kBlock) {
    const uint8x16_t us = vld1q_u8(u + x);
    const uint8x16_t vs = vld1q_u8(v + x);
    const ChromaVec lo = ChromaOf<kFullRange>(vget_low_u8(us), vget_low_u8(vs));
    const ChromaVec hi = ChromaOf<kFullRange>(vget_high_u8(us), vget_high_u8(vs));
    const int32x4_t r[4] = {lo.r[0], lo.r[1], hi.r[0], hi.r[1]};
    const int32x4_t g[4] = {lo.g[0], lo.g[1], hi.g[0], hi.g[1]};
    const int32x4_t b[4] = {lo.b[0], lo.b[1], hi.b[0], hi.b[1]};
    StoreRgb16(dst + 3 * x, LumaOf<kFullRange>(vld1q_u8(y + x)), r, g, b);
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

// One packed 4:2:2 row: 16 pixels are 32 bytes, split into even and odd
// bytes; the Y bytes are one of them and the chroma pairs the other.
template <bool kFullRange, int kYOffset>
int Yuv422Blocks(const uint8_t* src, int u_offset, int v_offset, uint8_t* dst, int width) {
  // Within the chroma byte sequence U and V alternate; the lower offset
  // comes first.
  const bool u_first = u_offset < v_offset;
  int x = 0;
  for (; x + kBlock <= width; x += kBlock) {
    const uint8x16x2_t bytes = vld2q_u8(src + 2 * x);
    uint8x8_t first, second;
    SplitPairs(bytes.val[1 - kYOffset], &first, &second);
    const ChromaVec c = ChromaOf<kFullRange>(u_first ? first : second, u_first ? second : first);
    int32x4_t r[4], g[4], b[4];
    Repeat2(c.r, r);
    Repeat2(c.g, g);
    Repeat2(c.b, b);
    StoreRgb16(dst + 3 * x, LumaOf<kFullRange>(bytes.val[kYOffset]), r, g, b);
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
