// Plain channel reorder, gray and gray-to-colour kernels.
#include <cstring>

#include "kiln/ops/cvtcolor/none/cvtcolor_none_rows.h"

namespace kiln {
namespace cvtcolor {
namespace none {

namespace {

// Fixed channel counts let the compiler unroll and vectorise the pixel loop.
template <int kSrcCn, int kDstCn, bool kSwap>
void ReorderRow(const uint8_t* src, uint8_t* dst, int width) {
  if (kSrcCn == 3 && kDstCn == 3 && !kSwap) {
    std::memmove(dst, src, static_cast<size_t>(width) * 3);
    return;
  }
  ReorderSpan(src, kSrcCn, dst, kDstCn, kSwap, 0, width);
}

template <int kSrcCn>
void GrayRow(const uint8_t* src, uint8_t* dst, int32_t w0, int32_t w2, int width) {
  GraySpan(src, kSrcCn, dst, w0, w2, 0, width);
}

template <int kDstCn>
void GrayToBgrRow(const uint8_t* src, uint8_t* dst, int width) {
  GrayToBgrSpan(src, dst, kDstCn, 0, width);
}

using ReorderRowFn = void (*)(const uint8_t*, uint8_t*, int);

ReorderRowFn SelectReorderRow(int src_cn, int dst_cn, bool swap) {
  if (src_cn == 3) {
    if (dst_cn == 3) return swap ? &ReorderRow<3, 3, true> : &ReorderRow<3, 3, false>;
    return swap ? &ReorderRow<3, 4, true> : &ReorderRow<3, 4, false>;
  }
  if (dst_cn == 3) return swap ? &ReorderRow<4, 3, true> : &ReorderRow<4, 3, false>;
  return swap ? &ReorderRow<4, 4, true> : &ReorderRow<4, 4, false>;
}

}  // namespace

Status ReorderRows(const ReorderArgs& a, int begin, int end) {
  const ReorderRowFn row_fn = SelectReorderRow(a.src_cn, a.dst_cn, a.swap_rb);
  for (int row = begin; row < end; ++row) {
    row_fn(RowPtr(a.src, a.src_pitch, row), RowPtr(a.dst, a.dst_pitch, row), a.width);
  }
  return kStatusOk;
}

Status BgrToGrayRows(const GrayArgs& a, int begin, int end) {
  const int32_t w0 = a.red_first ? kGrayR : kGrayB;
  const int32_t w2 = a.red_first ? kGrayB : kGrayR;
  for (int row = begin; row < end; ++row) {
    const uint8_t* src = RowPtr(a.src, a.src_pitch, row);
    uint8_t* dst = RowPtr(a.dst, a.dst_pitch, row);
    if (a.src_cn == 4) {
      GrayRow<4>(src, dst, w0, w2, a.width);
    } else {
      GrayRow<3>(src, dst, w0, w2, a.width);
    }
  }
  return kStatusOk;
}

Status GrayToBgrRows(const GrayToBgrArgs& a, int begin, int end) {
  for (int row = begin; row < end; ++row) {
    const uint8_t* src = RowPtr(a.src, a.src_pitch, row);
    uint8_t* dst = RowPtr(a.dst, a.dst_pitch, row);
    if (a.dst_cn == 4) {
      GrayToBgrRow<4>(src, dst, a.width);
    } else {
      GrayToBgrRow<3>(src, dst, a.width);
    }
  }
  return kStatusOk;
}

}  // namespace none
}  // namespace cvtcolor
}  // namespace kiln
