#include <type_traits>

#include "kiln/ops/resize/none/resize_kernels_none.h"

// The float kernels are defined by separately rounded products and sums;
// a fused multiply-add would give different bits than the vector kernels.
#pragma GCC optimize("fp-contract=off")

namespace kiln {
namespace resize {

namespace {

// 16-bit sources need 64-bit vertical sums: 2048 * 2048 * 65535 > 2^31.
template <typename T>
using LinearAcc = std::conditional_t<sizeof(T) == 1, int32_t, int64_t>;

template <typename T, int CN>
void HorizontalInt(const T* s, int32_t* h, const LinearCoef* xc, int32_t dw, int32_t cn, int32_t next) {
  const int32_t n = CN > 0 ? CN : cn;
  for (int32_t x = 0; x < dw; ++x) {
    const T* p = s + static_cast<int64_t>(xc[x].index) * n;
    const int32_t w0 = xc[x].w0;
    const int32_t w1 = xc[x].w1;
    for (int32_t c = 0; c < n; ++c) h[c] = w0 * p[c] + w1 * p[c + next];
    h += n;
  }
}

template <typename T>
void HorizontalIntAny(const T* s, int32_t* h, const LinearCoef* xc, int32_t dw, int32_t cn, int32_t next) {
  switch (cn) {
    case 1: return HorizontalInt<T, 1>(s, h, xc, dw, cn, next);
    case 2: return HorizontalInt<T, 2>(s, h, xc, dw, cn, next);
    case 3: return HorizontalInt<T, 3>(s, h, xc, dw, cn, next);
    case 4: return HorizontalInt<T, 4>(s, h, xc, dw, cn, next);
    default: return HorizontalInt<T, 0>(s, h, xc, dw, cn, next);
  }
}

template <typename T>
void LinearRowsInt(const ImagePlane& src, const ImagePlane& dst, const LinearCoef* xc, const LinearCoef* yc,
                   int32_t y0, int32_t y1, void* scratch) {
  using Acc = LinearAcc<T>;
  const int32_t cn = dst.channels;
  const int32_t n = dst.RowElems();
  const int32_t xnext = src.width > 1 ? cn : 0;
  const int32_t ynext = src.height > 1 ? 1 : 0;
  RowCache<2> cache(scratch, sizeof(int32_t) * n);
  for (int32_t y = y0; y < y1; ++y) {
    const int32_t need[2] = {yc[y].index, yc[y].index + ynext};
    int32_t* rows[2];
    cache.Get(need, rows, [&](int32_t sy, int32_t* out) {
      HorizontalIntAny(src.Row<T>(sy), out, xc, dst.width, cn, xnext);
    });
    const Acc b0 = yc[y].w0;
    const Acc b1 = yc[y].w1;
    T* out = dst.Row<T>(y);
    for (int32_t i = 0; i < n; ++i) out[i] = SaturateInt<T>((b0 * rows[0][i] + b1 * rows[1][i] + kCombineHalf) >> kCombineBits);
  }
}

template <typename T>
void LinearRowsFloat(const ImagePlane& src, const ImagePlane& dst, const LinearCoefF* xc, const LinearCoefF* yc,
                     int32_t y0, int32_t y1, void* scratch) {
  const int32_t cn = dst.channels;
  const int32_t n = dst.RowElems();
  const int32_t xnext = src.width > 1 ? cn : 0;
  const int32_t ynext = src.height > 1 ? 1 : 0;
  RowCache<2> cache(scratch, sizeof(float) * n);
  for (int32_t y = y0; y < y1; ++y) {
    const int32_t need[2] = {yc[y].index, yc[y].index + ynext};
    float* rows[2];
    cache.Get(need, rows, [&](int32_t sy, float* h) {
      const T* s = src.Row<T>(sy);
      for (int32_t x = 0; x < dst.width; ++x) {
        const T* p = s + static_cast<int64_t>(xc[x].index) * cn;
        for (int32_t c = 0; c < cn; ++c) h[c] = xc[x].w0 * LoadFloat(p + c) + xc[x].w1 * LoadFloat(p + c + xnext);
        h += cn;
      }
    });
    const float b0 = yc[y].w0;
    const float b1 = yc[y].w1;
    T* out = dst.Row<T>(y);
    for (int32_t i = 0; i < n; ++i) StoreFloat(out + i, b0 * rows[0][i] + b1 * rows[1][i]);
  }
}

}  // namespace

size_t LinearScratchBytesNone(const ImagePlane& dst) { return RowCache<2>::Bytes(sizeof(int32_t) * dst.RowElems()); }

Status ResizeBnNone(ElemType type, const ImagePlane& src, const ImagePlane& dst, const LinearPlan& plan, int32_t y0,
                    int32_t y1, void* scratch) {
  switch (type) {
    case QX_U8: LinearRowsInt<uint8_t>(src, dst, plan.x, plan.y, y0, y1, scratch); break;
    case QX_S8: LinearRowsInt<int8_t>(src, dst, plan.x, plan.y, y0, y1, scratch); break;
    case QX_U16: LinearRowsInt<uint16_t>(src, dst, plan.x, plan.y, y0, y1, scratch); break;
    case QX_S16: LinearRowsInt<int16_t>(src, dst, plan.x, plan.y, y0, y1, scratch); break;
    case QX_F32: LinearRowsFloat<float>(src, dst, plan.xf, plan.yf, y0, y1, scratch); break;
    case QX_F16: LinearRowsFloat<Half>(src, dst, plan.xf, plan.yf, y0, y1, scratch); break;
    default: return kStatusFail;
  }
  return kStatusOk;
}

}  // namespace resize
}  // namespace kiln
