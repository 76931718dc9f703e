// NEON channel reorder, gray and gray-to-colour kernels: 16 pixels a block.
#include <cstring>

#include "kiln/ops/cvtcolor/host/neon/cvtcolor_neon_common.h"
#include "kiln/ops/cvtcolor/host/neon/cvtcolor_neon_rows.h"
#include "kiln/ops/cvtcolor/none/cvtcolor_none_rows.h"

namespace kiln {
namespace cvtcolor {
namespace neon {

namespace {

constexpr int kBlock = 16;

// Channels 0..2 of 16 pixels.
template <int kCn>
inline uint8x16x3_t LoadBgr(const uint8_t* p) {
  if (kCn == 3) return ::kiln::neon::Ld3q_u8(p);
  const uint8x16x4_t v = ::kiln::neon::Ld4q_u8(p);
  uint8x16x3_t r;
  r.val[0] = v.val[0];
  r.val[1] = v.val[1];
  r.val[2] = v.val[2];
  return r;
}

// Stores 16 pixels; a fourth channel gets 255.
template <int kCn>
inline void StoreBgr(uint8_t* p, uint8x16_t c0, uint8x16_t c1, uint8x16_t c2) {
  if (kCn == 3) {
    uint8x16x3_t v;
    v.val[0] = c0;
    v.val[1] = c1;
    v.val[2] = c2;
    ::kiln::neon::St3q_u8(p, v);
  } else {
    uint8x16x4_t v;
    v.val[0] = c0;
    v.val[1] = c1;
    v.val[2] = c2;
    v.val[3] = vdupq_n_u8(255);
    ::kiln::neon::St4q_u8(p, v);
  }
}

// Returns the number of pixels done.
template <int kSrcCn, int kDstCn, bool kSwap>
int ReorderBlocks(const uint8_t* src, uint8_t* dst, int width) {
  int x = 0;
  if (kSrcCn == 3 && kDstCn == 3 && !kSwap) {
    std::memmove(dst, src, static_cast<size_t>(width) * 3);
    return width;
  }
  if (kSrcCn == 3 && kDstCn == 3 && kSwap) {
    for (; x + kBlock <= width; x += kBlock) ::kiln::neon::SwapRb3qLoads_u8(src + 3 * x, dst + 3 * x);
    return x;
  }
  for (; x + kBlock <= width; x += kBlock) {
    const uint8x16x3_t v = LoadBgr<kSrcCn>(src + kSrcCn * x);
    StoreBgr<kDstCn>(dst + kDstCn * x, v.val[kSwap ? 2 : 0], v.val[1], v.val[kSwap ? 0 : 2]);
  }
  return x;
}

using ReorderBlocksFn = int (*)(const uint8_t*, uint8_t*, int);

ReorderBlocksFn SelectReorderBlocks(int src_cn, int dst_cn, bool swap) {
  if (src_cn == 3) {
    if (dst_cn == 3) return swap ? &ReorderBlocks<3, 3, true> : &ReorderBlocks<3, 3, false>;
    return swap ? &ReorderBlocks<3, 4, true> : &ReorderBlocks<3, 4, false>;
  }
  if (dst_cn == 3) return swap ? &ReorderBlocks<4, 3, true> : &ReorderBlocks<4, 3, false>;
  return swap ? &ReorderBlocks<4, 4, true> : &ReorderBlocks<4, 4, false>;
}

// gray = (w0 c0 + wg c1 + w2 c2 + 2^14) >> 15 of 8 pixels in 32-bit lanes.
inline int16x8_t GrayEight(uint16x8_t c0, uint16x8_t c1, uint16x8_t c2, uint16_t w0, uint16_t w2) {
  uint32x4_t lo, hi;
  ::kiln::neon::Dot3N_u16(c0, c1, c2, w0, static_cast<uint16_t>(kGrayG), w2, static_cast<uint16_t>(kGrayHalf), lo,
                          hi);
  return ::kiln::neon::QshrnPair_s32<kGrayShift>(vreinterpretq_s32_u32(lo), vreinterpretq_s32_u32(hi));
}

template <int kSrcCn>
int GrayBlocks(const uint8_t* src, uint8_t* dst, int width, uint16_t w0, uint16_t w2) {
  int x = 0;
  if (kSrcCn == 3) {
    for (; x + kBlock <= width; x += kBlock) {
      const ::kiln::neon::Pixels3x16_u8 px = ::kiln::neon::Ld3qPixels_u8(src + 3 * x);
      vst1q_u8(dst + x, ::kiln::neon::Dot3ShrSmall_u8<kGrayShift>(px, w0, static_cast<uint16_t>(kGrayG), w2,
                                                                   static_cast<uint16_t>(kGrayHalf)));
    }
    return x;
  }
  for (; x + kBlock <= width; x += kBlock) {
    const uint8x16x3_t v = LoadBgr<kSrcCn>(src + kSrcCn * x);
    const int16x8_t lo = GrayEight(vmovl_u8(vget_low_u8(v.val[0])), vmovl_u8(vget_low_u8(v.val[1])),
                                   vmovl_u8(vget_low_u8(v.val[2])), w0, w2);
    const int16x8_t hi = GrayEight(vmovl_u8(vget_high_u8(v.val[0])), vmovl_u8(vget_high_u8(v.val[1])),
                                   vmovl_u8(vget_high_u8(v.val[2])), w0, w2);
    vst1q_u8(dst + x, ::kiln::neon::QmovunPair_s16(lo, hi));
  }
  return x;
}

template <int kDstCn>
int GrayToBgrBlocks(const uint8_t* src, uint8_t* dst, int width) {
  int x = 0;
  for (; x + kBlock <= width; x += kBlock) {
    const uint8x16_t g = vld1q_u8(src + x);
    StoreBgr<kDstCn>(dst + kDstCn * x, g, g, g);
  }
  return x;
}

}  // namespace

Status ReorderRows(const ReorderArgs& a, int begin, int end) {
  const ReorderBlocksFn blocks = SelectReorderBlocks(a.src_cn, a.dst_cn, a.swap_rb);
  for (int row = begin; row < end; ++row) {
    const uint8_t* src = RowPtr(a.src, a.src_pitch, row);
    uint8_t* dst = RowPtr(a.dst, a.dst_pitch, row);
    const int done = blocks(src, dst, a.width);
    none::ReorderSpan(src, a.src_cn, dst, a.dst_cn, a.swap_rb, done, a.width);
  }
  return kStatusOk;
}

Status BgrToGrayRows(const GrayArgs& a, int begin, int end) {
  const int32_t w0 = a.red_first ? kGrayR : kGrayB;
  const int32_t w2 = a.red_first ? kGrayB : kGrayR;
  for (int row = begin; row < end; ++row) {
    const uint8_t* src = RowPtr(a.src, a.src_pitch, row);
    uint8_t* dst = RowPtr(a.dst, a.dst_pitch, row);
    const int done = a.src_cn == 4
                         ? GrayBlocks<4>(src, dst, a.width, static_cast<uint16_t>(w0), static_cast<uint16_t>(w2))
                         : GrayBlocks<3>(src, dst, a.width, static_cast<uint16_t>(w0), static_cast<uint16_t>(w2));
    none::GraySpan(src, a.src_cn, dst, w0, w2, done, a.width);
  }
  return kStatusOk;
}

Status GrayToBgrRows(const GrayToBgrArgs& a, int begin, int end) {
  for (int row = begin; row < end; ++row) {
    const uint8_t* src = RowPtr(a.src, a.src_pitch, row);
    uint8_t* dst = RowPtr(a.dst, a.dst_pitch, row);
    const int done = a.dst_cn == 4 ? GrayToBgrBlocks<4>(src, dst, a.width) : GrayToBgrBlocks<3>(src, dst, a.width);
    none::GrayToBgrSpan(src, dst, a.dst_cn, done, a.width);
  }
  return kStatusOk;
}

}  // namespace neon
}  // namespace cvtcolor
}  // namespace kiln
