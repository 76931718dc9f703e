// ResizeCuCommNeon: the general bicubic kernel (any ratio, any channel count).
#include <algorithm>

#include "kiln/ops/resize/host/neon/resize_kernels_neon.h"
#include "kiln/ops/resize/host/neon/resize_neon_common.h"

// Float results must match the plain kernel's separately rounded products.
#pragma GCC optimize("fp-contract=off")

namespace kiln {
namespace resize {

namespace {

using neonk::Int32Lanes;

// Tap k of an entry reads pixel index + min(k, size - 1) (narrow sources).
struct Taps {
  Taps(int32_t size, int32_t step) {
    for (int k = 0; k < 4; ++k) off[k] = std::min(k, size - 1) * step;
  }
  int32_t off[4];
};

template <typename T>
void HorizontalS32(const T* s, int32_t sn, const CubicCoef* xc, int32_t dw, int32_t cn, const Taps& taps,
                   int32_t* h) {
  for (int32_t x = 0; x < dw; ++x) {
    const int32_t i = xc[x].index * cn;
    const int32_t w0 = xc[x].w[0], w1 = xc[x].w[1], w2 = xc[x].w[2], w3 = xc[x].w[3];
    for (int32_t c = 0; c < cn; c += 4) {
      if (i + taps.off[3] + c + 4 <= sn) {
        int32x4_t acc = vmulq_n_s32(Int32Lanes<T>::Load4(s + i + taps.off[0] + c), w0);
        acc = vmlaq_n_s32(acc, Int32Lanes<T>::Load4(s + i + taps.off[1] + c), w1);
        acc = vmlaq_n_s32(acc, Int32Lanes<T>::Load4(s + i + taps.off[2] + c), w2);
        acc = vmlaq_n_s32(acc, Int32Lanes<T>::Load4(s + i + taps.off[3] + c), w3);
        vst1q_s32(h + x * cn + c, acc);
      } else {
        for (int32_t k = c; k < std::min(c + 4, cn); ++k) {
          const T* p = s + i + k;
          h[x * cn + k] = w0 * p[taps.off[0]] + w1 * p[taps.off[1]] + w2 * p[taps.off[2]] + w3 * p[taps.off[3]];
        }
      }
    }
  }
}

// Four-row rounded combination; 8-bit sums stay below 2^31 (see the plain
// kernel), 16-bit ones are formed in 64 bits.
template <typename T>
inline int32x4_t Combine4(const int32_t* const (&r)[4], int32_t i, const int16_t* b) {
  if constexpr (sizeof(T) == 1) {
    int32x4_t acc = vmulq_n_s32(vld1q_s32(r[0] + i), b[0]);
    acc = vmlaq_n_s32(acc, vld1q_s32(r[1] + i), b[1]);
    acc = vmlaq_n_s32(acc, vld1q_s32(r[2] + i), b[2]);
    acc = vmlaq_n_s32(acc, vld1q_s32(r[3] + i), b[3]);
    return vrshrq_n_s32(acc, kCombineBits);
  } else {
    int64x2_t lo = vmull_n_s32(vld1_s32(r[0] + i), b[0]);
    int64x2_t hi = vmull_n_s32(vld1_s32(r[0] + i + 2), b[0]);
    for (int k = 1; k < 4; ++k) {
      lo = vmlal_n_s32(lo, vld1_s32(r[k] + i), b[k]);
      hi = vmlal_n_s32(hi, vld1_s32(r[k] + i + 2), b[k]);
    }
    return vcombine_s32(vrshrn_n_s64(lo, kCombineBits), vrshrn_n_s64(hi, kCombineBits));
  }
}

template <typename T>
void CubicRowsInt(const ImagePlane& src, const ImagePlane& dst, const CubicCoef* xc, const CubicCoef* yc, int32_t y0,
                  int32_t y1, void* scratch) {
  using Acc = std::conditional_t<sizeof(T) == 1, int32_t, int64_t>;
  const int32_t cn = dst.channels;
  const int32_t sn = src.RowElems();
  const int32_t dn = dst.RowElems();
  const Taps xtaps(src.width, cn);
  const Taps ytaps(src.height, 1);
  RowCache<4> cache(scratch, sizeof(int32_t) * dn);
  for (int32_t y = y0; y < y1; ++y) {
    const int32_t sy = yc[y].index;
    const int32_t need[4] = {sy + ytaps.off[0], sy + ytaps.off[1], sy + ytaps.off[2], sy + ytaps.off[3]};
    int32_t* rows[4];
    cache.Get(need, rows, [&](int32_t row, int32_t* h) {
      HorizontalS32(src.Row<T>(row), sn, xc, dst.width, cn, xtaps, h);
    });
    const int32_t* const r[4] = {rows[0], rows[1], rows[2], rows[3]};
    const int16_t* b = yc[y].w;
    T* out = dst.Row<T>(y);
    int32_t i = 0;
    for (; i + 8 <= dn; i += 8) Int32Lanes<T>::Store8(out + i, Combine4<T>(r, i, b), Combine4<T>(r, i + 4, b));
    for (; i < dn; ++i) {
      const Acc sum = static_cast<Acc>(b[0]) * r[0][i] + static_cast<Acc>(b[1]) * r[1][i] +
                      static_cast<Acc>(b[2]) * r[2][i] + static_cast<Acc>(b[3]) * r[3][i];
      out[i] = SaturateInt<T>((sum + kCombineHalf) >> kCombineBits);
    }
  }
}

template <typename T>
void CubicRowsFloat(const ImagePlane& src, const ImagePlane& dst, const CubicCoefF* xc, const CubicCoefF* yc,
                    int32_t y0, int32_t y1, void* scratch) {
  const int32_t cn = dst.channels;
  const int32_t sn = src.RowElems();
  const int32_t dn = dst.RowElems();
  const Taps xtaps(src.width, cn);
  const Taps ytaps(src.height, 1);
  RowCache<4> cache(scratch, sizeof(float) * dn);
  for (int32_t y = y0; y < y1; ++y) {
    const int32_t sy = yc[y].index;
    const int32_t need[4] = {sy + ytaps.off[0], sy + ytaps.off[1], sy + ytaps.off[2], sy + ytaps.off[3]};
    float* rows[4];
    cache.Get(need, rows, [&](int32_t row, float* h) {
      const T* s = src.Row<T>(row);
      for (int32_t x = 0; x < dst.width; ++x) {
        const int32_t i = xc[x].index * cn;
        const float* w = xc[x].w;
        for (int32_t c = 0; c < cn; c += 4) {
          if (i + xtaps.off[3] + c + 4 <= sn) {
            // ((w0 p0 + w1 p1) + w2 p2) + w3 p3, as the plain kernel adds.
            float32x4_t acc = vaddq_f32(vmulq_n_f32(neonk::LoadF4(s + i + xtaps.off[0] + c), w[0]),
                                        vmulq_n_f32(neonk::LoadF4(s + i + xtaps.off[1] + c), w[1]));
            acc = vaddq_f32(acc, vmulq_n_f32(neonk::LoadF4(s + i + xtaps.off[2] + c), w[2]));
            acc = vaddq_f32(acc, vmulq_n_f32(neonk::LoadF4(s + i + xtaps.off[3] + c), w[3]));
            vst1q_f32(h + x * cn + c, acc);
          } else {
            for (int32_t k = c; k < std::min(c + 4, cn); ++k) {
              const T* p = s + i + k;
              h[x * cn + k] = w[0] * LoadFloat(p + xtaps.off[0]) + w[1] * LoadFloat(p + xtaps.off[1]) +
                              w[2] * LoadFloat(p + xtaps.off[2]) + w[3] * LoadFloat(p + xtaps.off[3]);
            }
          }
        }
      }
    });
    const float* b = yc[y].w;
    T* out = dst.Row<T>(y);
    int32_t i = 0;
    for (; i + 4 <= dn; i += 4) {
      float32x4_t acc = vaddq_f32(vmulq_n_f32(vld1q_f32(rows[0] + i), b[0]), vmulq_n_f32(vld1q_f32(rows[1] + i), b[1]));
      acc = vaddq_f32(acc, vmulq_n_f32(vld1q_f32(rows[2] + i), b[2]));
      acc = vaddq_f32(acc, vmulq_n_f32(vld1q_f32(rows[3] + i), b[3]));
      neonk::StoreF4(out + i, acc);
    }
    for (; i < dn; ++i) {
      StoreFloat(out + i, b[0] * rows[0][i] + b[1] * rows[1][i] + b[2] * rows[2][i] + b[3] * rows[3][i]);
    }
  }
}

}  // namespace

size_t ResizeCuCommScratchBytes(ElemType, const ImagePlane&, const ImagePlane& dst) {
  return RowCache<4>::Bytes(sizeof(int32_t) * dst.RowElems());
}

Status ResizeCuCommNeon(ElemType type, const ImagePlane& src, const ImagePlane& dst, const CubicPlan& plan,
                        int32_t y0, int32_t y1, void* scratch) {
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
