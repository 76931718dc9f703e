// ResizeBnCommNeon: the general bilinear kernel (any ratio, any channel
// count), also serving area upscaling through the area-weight tables.
#include <algorithm>

#include "kiln/ops/resize/host/neon/resize_kernels_neon.h"
#include "kiln/ops/resize/host/neon/resize_neon_common.h"

// Float results must match the plain kernel's separately rounded products.
#pragma GCC optimize("fp-contract=off")

namespace kiln {
namespace resize {

namespace {

using neonk::Int32Lanes;

// Rounded two-tap combination of 32-bit lanes: (w0 p + w1 q + 2^21) >> 22.
// 8-bit sources fit 32 bits (2048 * 2048 * 255 < 2^31); 16-bit ones need 64.
template <typename T>
inline int32x4_t Combine2(int32x4_t p, int32x4_t q, int32_t w0, int32_t w1) {
  if constexpr (sizeof(T) == 1) {
    return vrshrq_n_s32(vmlaq_n_s32(vmulq_n_s32(p, w0), q, w1), kCombineBits);
  } else {
    const int64x2_t lo = vmlal_n_s32(vmull_n_s32(vget_low_s32(p), w0), vget_low_s32(q), w1);
    const int64x2_t hi = vmlal_n_s32(vmull_n_s32(vget_high_s32(p), w0), vget_high_s32(q), w1);
    return vcombine_s32(vrshrn_n_s64(lo, kCombineBits), vrshrn_n_s64(hi, kCombineBits));
  }
}

template <typename T>
inline int32_t Combine2Scalar(int32_t p, int32_t q, int32_t w0, int32_t w1) {
  using Acc = std::conditional_t<sizeof(T) == 1, int32_t, int64_t>;
  return static_cast<int32_t>((static_cast<Acc>(w0) * p + static_cast<Acc>(w1) * q + kCombineHalf) >> kCombineBits);
}

// Rounded int32 values -> T with saturation.
template <typename T>
void NarrowRow(const int32_t* t, T* out, int32_t n) {
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) Int32Lanes<T>::Store8(out + i, vld1q_s32(t + i), vld1q_s32(t + i + 4));
  for (; i < n; ++i) out[i] = SaturateInt<T>(t[i]);
}

// ---- Integer types, vertical pass first --------------------------------------------
// Used when the destination is not taller than the source: every destination
// row needs fresh source rows, so combining the two source rows first leaves
// one horizontal pass per destination row. Integer sums are exact, so the
// order of the passes does not change a bit.
template <typename T>
void VerticalS32(const T* a, const T* b, int32_t w0, int32_t w1, int32_t* v, int32_t n) {
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    int32x4_t lo, hi;
    neonk::MulAdd8(a + i, b + i, static_cast<int16_t>(w0), static_cast<int16_t>(w1), lo, hi);
    vst1q_s32(v + i, lo);
    vst1q_s32(v + i + 4, hi);
  }
  for (; i < n; ++i) v[i] = w0 * a[i] + w1 * b[i];
}

// The same rounding over four lanes with per-lane weights.
template <typename T>
inline int32x4_t Combine2(int32x4_t p, int32x4_t q, int32x4_t w0, int32x4_t w1) {
  if constexpr (sizeof(T) == 1) {
    return vrshrq_n_s32(vmlaq_s32(vmulq_s32(p, w0), q, w1), kCombineBits);
  } else {
    const int64x2_t lo = vmlal_s32(vmull_s32(vget_low_s32(p), vget_low_s32(w0)), vget_low_s32(q), vget_low_s32(w1));
    const int64x2_t hi = vmlal_high_s32(vmull_high_s32(p, w0), q, w1);
    return vcombine_s32(vrshrn_n_s64(lo, kCombineBits), vrshrn_n_s64(hi, kCombineBits));
  }
}

// One channel: four destination pixels per step; their tap pairs are
// gathered (two lanes each) and split into first and second taps.
template <typename T>
int32_t HorizontalC1(const int32_t* v, const LinearCoef* xc, const int32_t* w0s, const int32_t* w1s, int32_t dw,
                     int32_t* t) {
  int32_t x = 0;
  for (; x + 4 <= dw; x += 4) {
    const int32x4_t p01 = vcombine_s32(vld1_s32(v + xc[x].index), vld1_s32(v + xc[x + 1].index));
    const int32x4_t p23 = vcombine_s32(vld1_s32(v + xc[x + 2].index), vld1_s32(v + xc[x + 3].index));
    vst1q_s32(t + x, Combine2<T>(vuzp1q_s32(p01, p23), vuzp2q_s32(p01, p23), vld1q_s32(w0s + x), vld1q_s32(w1s + x)));
  }
  return x;
}

template <typename T>
void LinearRowsVFirst(const ImagePlane& src, const ImagePlane& dst, const LinearCoef* xc, const LinearCoef* yc,
                      int32_t y0, int32_t y1, void* scratch) {
  const int32_t cn = dst.channels;
  const int32_t sn = src.RowElems();
  const int32_t dn = dst.RowElems();
  const int32_t xnext = src.width > 1 ? cn : 0;
  const int32_t ynext = src.height > 1 ? 1 : 0;
  int32_t* v = static_cast<int32_t*>(scratch);
  int32_t* t = reinterpret_cast<int32_t*>(static_cast<uint8_t*>(scratch) + CacheRowStride(sizeof(int32_t) * sn));
  int32_t* w0s = t + CacheRowStride(sizeof(int32_t) * dn) / sizeof(int32_t);
  int32_t* w1s = w0s + CacheRowStride(sizeof(int32_t) * dst.width) / sizeof(int32_t);
  std::fill(v + sn, v + sn + 8, 0);  // lanes read past the row are discarded
  if (cn == 1) {
    for (int32_t x = 0; x < dst.width; ++x) {
      w0s[x] = xc[x].w0;
      w1s[x] = xc[x].w1;
    }
  }
  for (int32_t y = y0; y < y1; ++y) {
    VerticalS32(src.Row<T>(yc[y].index), src.Row<T>(yc[y].index + ynext), yc[y].w0, yc[y].w1, v, sn);
    int32_t x0 = 0;
    if (cn == 1 && xnext == 1) x0 = HorizontalC1<T>(v, xc, w0s, w1s, dst.width, t);
    // Per destination pixel, four channels per step; lanes past the pixel are
    // overwritten by the next pixel (or land in the spare lanes).
    for (int32_t x = x0; x < dst.width; ++x) {
      const int32_t* p = v + xc[x].index * cn;
      const int32_t w0 = xc[x].w0;
      const int32_t w1 = xc[x].w1;
      for (int32_t c = 0; c < cn; c += 4) {
        vst1q_s32(t + x * cn + c, Combine2<T>(vld1q_s32(p + c), vld1q_s32(p + c + xnext), w0, w1));
      }
    }
    NarrowRow(t, dst.Row<T>(y), dn);
  }
}

// ---- Integer types, horizontal pass first (upscaling rows) -------------------------
template <typename T>
void HorizontalS32(const T* s, int32_t sn, const LinearCoef* xc, int32_t dw, int32_t cn, int32_t next, int32_t* h) {
  for (int32_t x = 0; x < dw; ++x) {
    const int32_t i = xc[x].index * cn;
    const int32_t w0 = xc[x].w0;
    const int32_t w1 = xc[x].w1;
    for (int32_t c = 0; c < cn; c += 4) {
      if (i + next + c + 4 <= sn) {
        const int32x4_t p = Int32Lanes<T>::Load4(s + i + c);
        const int32x4_t q = Int32Lanes<T>::Load4(s + i + next + c);
        vst1q_s32(h + x * cn + c, vmlaq_n_s32(vmulq_n_s32(p, w0), q, w1));
      } else {
        // The last pixels of the row: four-element loads would pass its end.
        for (int32_t k = c; k < std::min(c + 4, cn); ++k) h[x * cn + k] = w0 * s[i + k] + w1 * s[i + next + k];
      }
    }
  }
}

template <typename T>
void LinearRowsHFirst(const ImagePlane& src, const ImagePlane& dst, const LinearCoef* xc, const LinearCoef* yc,
                      int32_t y0, int32_t y1, void* scratch) {
  const int32_t cn = dst.channels;
  const int32_t sn = src.RowElems();
  const int32_t dn = dst.RowElems();
  const int32_t xnext = src.width > 1 ? cn : 0;
  const int32_t ynext = src.height > 1 ? 1 : 0;
  RowCache<2> cache(scratch, sizeof(int32_t) * dn);
  for (int32_t y = y0; y < y1; ++y) {
    const int32_t need[2] = {yc[y].index, yc[y].index + ynext};
    int32_t* rows[2];
    cache.Get(need, rows, [&](int32_t sy, int32_t* h) {
      HorizontalS32(src.Row<T>(sy), sn, xc, dst.width, cn, xnext, h);
    });
    const int32_t b0 = yc[y].w0;
    const int32_t b1 = yc[y].w1;
    T* out = dst.Row<T>(y);
    int32_t i = 0;
    for (; i + 8 <= dn; i += 8) {
      const int32x4_t lo = Combine2<T>(vld1q_s32(rows[0] + i), vld1q_s32(rows[1] + i), b0, b1);
      const int32x4_t hi = Combine2<T>(vld1q_s32(rows[0] + i + 4), vld1q_s32(rows[1] + i + 4), b0, b1);
      Int32Lanes<T>::Store8(out + i, lo, hi);
    }
    for (; i < dn; ++i) out[i] = SaturateInt<T>(Combine2Scalar<T>(rows[0][i], rows[1][i], b0, b1));
  }
}

// ---- Float types (F32, F16) --------------------------------------------------------
template <typename T>
void LinearRowsFloat(const ImagePlane& src, const ImagePlane& dst, const LinearCoefF* xc, const LinearCoefF* yc,
                     int32_t y0, int32_t y1, void* scratch) {
  const int32_t cn = dst.channels;
  const int32_t sn = src.RowElems();
  const int32_t dn = dst.RowElems();
  const int32_t xnext = src.width > 1 ? cn : 0;
  const int32_t ynext = src.height > 1 ? 1 : 0;
  RowCache<2> cache(scratch, sizeof(float) * dn);
  for (int32_t y = y0; y < y1; ++y) {
    const int32_t need[2] = {yc[y].index, yc[y].index + ynext};
    float* rows[2];
    cache.Get(need, rows, [&](int32_t sy, float* h) {
      const T* s = src.Row<T>(sy);
      for (int32_t x = 0; x < dst.width; ++x) {
        const int32_t i = xc[x].index * cn;
        const float w0 = xc[x].w0;
        const float w1 = xc[x].w1;
        for (int32_t c = 0; c < cn; c += 4) {
          if (i + xnext + c + 4 <= sn) {
            const float32x4_t p = neonk::LoadF4(s + i + c);
            const float32x4_t q = neonk::LoadF4(s + i + xnext + c);
            vst1q_f32(h + x * cn + c, vaddq_f32(vmulq_n_f32(p, w0), vmulq_n_f32(q, w1)));
          } else {
            for (int32_t k = c; k < std::min(c + 4, cn); ++k) {
              h[x * cn + k] = w0 * LoadFloat(s + i + k) + w1 * LoadFloat(s + i + xnext + k);
            }
          }
        }
      }
    });
    const float b0 = yc[y].w0;
    const float b1 = yc[y].w1;
    T* out = dst.Row<T>(y);
    int32_t i = 0;
    for (; i + 4 <= dn; i += 4) {
      neonk::StoreF4(out + i, vaddq_f32(vmulq_n_f32(vld1q_f32(rows[0] + i), b0), vmulq_n_f32(vld1q_f32(rows[1] + i), b1)));
    }
    for (; i < dn; ++i) StoreFloat(out + i, b0 * rows[0][i] + b1 * rows[1][i]);
  }
}

template <typename T>
void LinearRowsInt(const ImagePlane& src, const ImagePlane& dst, const LinearPlan& plan, int32_t y0, int32_t y1,
                   void* scratch) {
  if (dst.height <= src.height) {
    LinearRowsVFirst<T>(src, dst, plan.x, plan.y, y0, y1, scratch);
  } else {
    LinearRowsHFirst<T>(src, dst, plan.x, plan.y, y0, y1, scratch);
  }
}

}  // namespace

size_t ResizeBnCommScratchBytes(ElemType type, const ImagePlane& src, const ImagePlane& dst) {
  const size_t hfirst = RowCache<2>::Bytes(sizeof(int32_t) * dst.RowElems());
  if (type == QX_F32 || type == QX_F16 || dst.height > src.height) return hfirst;
  return CacheRowStride(sizeof(int32_t) * src.RowElems()) + CacheRowStride(sizeof(int32_t) * dst.RowElems()) +
         2 * CacheRowStride(sizeof(int32_t) * dst.width);
}

Status ResizeBnCommNeon(ElemType type, const ImagePlane& src, const ImagePlane& dst, const LinearPlan& plan,
                        int32_t y0, int32_t y1, void* scratch) {
  switch (type) {
    case QX_U8: LinearRowsInt<uint8_t>(src, dst, plan, y0, y1, scratch); break;
    case QX_S8: LinearRowsInt<int8_t>(src, dst, plan, y0, y1, scratch); break;
    case QX_U16: LinearRowsInt<uint16_t>(src, dst, plan, y0, y1, scratch); break;
    case QX_S16: LinearRowsInt<int16_t>(src, dst, plan, y0, y1, scratch); break;
    case QX_F32: LinearRowsFloat<float>(src, dst, plan.xf, plan.yf, y0, y1, scratch); break;
    case QX_F16: LinearRowsFloat<Half>(src, dst, plan.xf, plan.yf, y0, y1, scratch); break;
    default: return kStatusFail;
  }
  return kStatusOk;
}

}  // namespace resize
}  // namespace kiln
