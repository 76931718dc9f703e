#include <algorithm>
#include <type_traits>

#include "kiln/ops/resize/none/resize_kernels_none.h"

// Float results are defined by separately rounded products and sums.
#pragma GCC optimize("fp-contract=off")

namespace kiln {
namespace resize {

namespace {

// 8-bit sums stay below 2^31 (|h| <= 255 * 2460, sum of |w| <= 2870 over
// 2048); 16-bit ones do not.
template <typename T>
using CubicAcc = std::conditional_t<sizeof(T) == 1, int32_t, int64_t>;

// Tap k reads pixel index + min(k, size - 1): sources narrower than four
// pixels have zero weights on the missing taps (see BuildCubicCoefs).
struct Taps {
  explicit Taps(int32_t size, int32_t step) {
    for (int k = 0; k < 4; ++k) off[k] = std::min(k, size - 1) * step;
  }
  int32_t off[4];
};

template <typename T>
void HorizontalInt(const T* s, int32_t* h, const CubicCoef* xc, int32_t dw, int32_t cn, const Taps& taps) {
  for (int32_t x = 0; x < dw; ++x) {
    const T* p = s + static_cast<int64_t>(xc[x].index) * cn;
    const int32_t w0 = xc[x].w[0], w1 = xc[x].w[1], w2 = xc[x].w[2], w3 = xc[x].w[3];
    for (int32_t c = 0; c < cn; ++c) {
      h[c] = w0 * p[c + taps.off[0]] + w1 * p[c + taps.off[1]] + w2 * p[c + taps.off[2]] + w3 * p[c + taps.off[3]];
    }
    h += cn;
  }
}

template <typename T>
void CubicRowsInt(const ImagePlane& src, const ImagePlane& dst, const CubicCoef* xc, const CubicCoef* yc, int32_t y0,
                  int32_t y1, void* scratch) {
  using Acc = CubicAcc<T>;
  const int32_t cn = dst.channels;
  const int32_t n = dst.RowElems();
  const Taps xtaps(src.width, cn);
  const Taps ytaps(src.height, 1);
  RowCache<4> cache(scratch, sizeof(int32_t) * n);
  for (int32_t y = y0; y < y1; ++y) {
    const int32_t sy = yc[y].index;
    const int32_t need[4] = {sy + ytaps.off[0], sy + ytaps.off[1], sy + ytaps.off[2], sy + ytaps.off[3]};
    int32_t* rows[4];
    cache.Get(need, rows, [&](int32_t row, int32_t* out) {
      HorizontalInt(src.Row<T>(row), out, xc, dst.width, cn, xtaps);
    });
    const Acc b0 = yc[y].w[0], b1 = yc[y].w[1], b2 = yc[y].w[2], b3 = yc[y].w[3];
    T* out = dst.Row<T>(y);
    for (int32_t i = 0; i < n; ++i) {
      const Acc sum = b0 * rows[0][i] + b1 * rows[1][i] + b2 * rows[2][i] + b3 * rows[3][i];
      out[i] = SaturateInt<T>((sum + kCombineHalf) >> kCombineBits);
    }
  }
}

template <typename T>
void CubicRowsFloat(const ImagePlane& src, const ImagePlane& dst, const CubicCoefF* xc, const CubicCoefF* yc,
                    int32_t y0, int32_t y1, void* scratch) {
  const int32_t cn = dst.channels;
  const int32_t n = dst.RowElems();
  const Taps xtaps(src.width, cn);
  const Taps ytaps(src.height, 1);
  RowCache<4> cache(scratch, sizeof(float) * n);
  for (int32_t y = y0; y < y1; ++y) {
    const int32_t sy = yc[y].index;
    const int32_t need[4] = {sy + ytaps.off[0], sy + ytaps.off[1], sy + ytaps.off[2], sy + ytaps.off[3]};
    float* rows[4];
    cache.Get(need, rows, [&](int32_t row, float* h) {
      const T* s = src.Row<T>(row);
      for (int32_t x = 0; x < dst.width; ++x) {
        const T* p = s + static_cast<int64_t>(xc[x].index) * cn;
        const float* w = xc[x].w;
        for (int32_t c = 0; c < cn; ++c) {
          h[c] = w[0] * LoadFloat(p + c + xtaps.off[0]) + w[1] * LoadFloat(p + c + xtaps.off[1]) +
                 w[2] * LoadFloat(p + c + xtaps.off[2]) + w[3] * LoadFloat(p + c + xtaps.off[3]);
        }
        h += cn;
      }
    });
    const float* b = yc[y].w;
    T* out = dst.Row<T>(y);
    for (int32_t i = 0; i < n; ++i) {
      StoreFloat(out + i, b[0] * rows[0][i] + b[1] * rows[1][i] + b[2] * rows[2][i] + b[3] * rows[3][i]);
    }
  }
}

}  // namespace

size_t CubicScratchBytesNone(const ImagePlane& dst) { return RowCache<4>::Bytes(sizeof(int32_t) * dst.RowElems()); }

Status ResizeCuNone(ElemType type, const ImagePlane& src, const ImagePlane& dst, const CubicPlan& plan, int32_t y0,
                    int32_t y1, void* scratch) {
  switch (type) {
    case QX_U8: CubicRowsInt<uint8_t>(src, dst, plan.x, plan.y, y0, y1, scratch); break;
    case QX_S8: CubicRowsInt<int8_t>(src, dst, plan.x, plan.y, y0, y1, scratch); break;
    case QX_U16: CubicRowsInt<uint16_t>(src, dst, plan.x, plan.y, y0, y1, scratch); break;
    case QX_S16: CubicRowsInt<int16_t>(src, dst, plan.x, plan.y, y0, y1, scratch); break;
    case QX_F32: CubicRowsFloat<float>(src, dst, plan.xf, plan.yf, y0, y1, scratch); break;
    case QX_F16: CubicRowsFloat<Half>(src, dst, plan.xf, plan.yf, y0, y1, scratch); break;
    default: return kStatusFail;
  }
  return kStatusOk;
}

}  // namespace resize
}  // namespace kiln
