// ResizeCuCommNeon: the general bicubic kernel (any ratio, any channel count).
#include <algorithm>
#include <cstring>
#include <type_traits>

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

// 8-bit sources, three channels: one destination pixel per step from the 16
// bytes at its first tap (its four pixels and four spare bytes). With wv the
// column's weights laid out as (w0 x3, w1 x3, w2 x3, w3 x3, 0 x4), the 16
// products P hold channel c at P[c], P[3 + c], P[6 + c], P[9 + c]; three
// lane shifts line them up. Returns the first pixel left to the general path.
template <typename T>
int32_t HorizontalC3Bytes(const T* s, int32_t sn, const CubicCoef* xc, int32_t dw, const int16_t* wv, int32_t* h) {
  int32_t x = 0;
  for (; x < dw && xc[x].index * 3 + 16 <= sn; ++x) {
    const T* p = s + xc[x].index * 3;
    int16x8_t lo, hi;
    if constexpr (std::is_signed<T>::value) {
      const int8x16_t b = vld1q_s8(reinterpret_cast<const int8_t*>(p));
      lo = vmovl_s8(vget_low_s8(b));
      hi = vmovl_s8(vget_high_s8(b));
    } else {
      const uint8x16_t b = vld1q_u8(reinterpret_cast<const uint8_t*>(p));
      lo = vreinterpretq_s16_u16(vmovl_u8(vget_low_u8(b)));
      hi = vreinterpretq_s16_u16(vmovl_u8(vget_high_u8(b)));
    }
    const int32x4x2_t a = ::kiln::neon::MullS16(lo, vld1q_s16(wv + 16 * x));
    const int32x4x2_t b = ::kiln::neon::MullS16(hi, vld1q_s16(wv + 16 * x + 8));
    const int32x4_t r = vaddq_s32(vaddq_s32(a.val[0], vextq_s32(a.val[0], a.val[1], 3)),
                                  vaddq_s32(vextq_s32(a.val[1], b.val[0], 2), vextq_s32(b.val[0], b.val[1], 1)));
    vst1q_s32(h + 3 * x, r);
  }
  return x;
}

// 8-bit sources, one channel: four destination pixels per step; each pixel's
// four taps are one 32-bit load, multiplied with its four weights and summed
// by two rounds of pairwise adds.
template <typename T>
int32_t HorizontalC1Bytes(const T* s, int32_t sn, const CubicCoef* xc, int32_t dw, int32_t* h) {
  int32_t x = 0;
  for (; x + 4 <= dw && xc[x + 3].index + 4 <= sn; x += 4) {
    uint32_t words[4];
    for (int k = 0; k < 4; ++k) std::memcpy(&words[k], s + xc[x + k].index, sizeof(uint32_t));
    int16x8_t lo, hi;
    if constexpr (std::is_signed<T>::value) {
      const int8x16_t b = vreinterpretq_s8_u32(vld1q_u32(words));
      lo = vmovl_s8(vget_low_s8(b));
      hi = vmovl_s8(vget_high_s8(b));
    } else {
      const uint8x16_t b = vreinterpretq_u8_u32(vld1q_u32(words));
      lo = vreinterpretq_s16_u16(vmovl_u8(vget_low_u8(b)));
      hi = vreinterpretq_s16_u16(vmovl_u8(vget_high_u8(b)));
    }
    const int32x4x2_t a = ::kiln::neon::MullS16(lo, vcombine_s16(vld1_s16(xc[x].w), vld1_s16(xc[x + 1].w)));
    const int32x4x2_t b = ::kiln::neon::MullS16(hi, vcombine_s16(vld1_s16(xc[x + 2].w), vld1_s16(xc[x + 3].w)));
    vst1q_s32(h + x, vpaddq_s32(vpaddq_s32(a.val[0], a.val[1]), vpaddq_s32(b.val[0], b.val[1])));
  }
  return x;
}

// (w0 x3, w1 x3, w2 x3, w3 x3, 0 x4) per destination column.
void SpreadC3Weights(const CubicCoef* xc, int32_t dw, int16_t* wv) {
  for (int32_t x = 0; x < dw; ++x) {
    int16_t* w = wv + 16 * x;
    for (int k = 0; k < 12; ++k) w[k] = xc[x].w[k / 3];
    for (int k = 12; k < 16; ++k) w[k] = 0;
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

// Splits 8-bit horizontal sums (|h| < 2^20) into h >> 8 and h & 255, both
// 16-bit, so the vertical pass multiplies 16-bit lanes:
//   sum w h = 256 sum w (h >> 8) + sum w (h & 255),
// each partial sum exact in 32 bits (below 2870 x 2462 and 2870 x 255).
void SplitRow(const int32_t* h, int16_t* hh, int16_t* hl, int32_t n) {
  int32_t i = 0;
  const int32x4_t low = vdupq_n_s32(255);
  for (; i + 8 <= n; i += 8) {
    const int32x4_t a = vld1q_s32(h + i), b = vld1q_s32(h + i + 4);
    vst1q_s16(hh + i, vcombine_s16(vmovn_s32(vshrq_n_s32(a, 8)), vmovn_s32(vshrq_n_s32(b, 8))));
    vst1q_s16(hl + i, vcombine_s16(vmovn_s32(vandq_s32(a, low)), vmovn_s32(vandq_s32(b, low))));
  }
  for (; i < n; ++i) {
    hh[i] = static_cast<int16_t>(h[i] >> 8);
    hl[i] = static_cast<int16_t>(h[i] & 255);
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
  // 8-bit sources of 1 or 3 channels at least four pixels wide take the
  // 16-bit multiplies (their taps are consecutive).
  const bool bytes = sizeof(T) == 1 && (cn == 1 || cn == 3) && src.width >= 4;
  int16_t* wv = reinterpret_cast<int16_t*>(static_cast<uint8_t*>(scratch) + RowCache<4>::Bytes(sizeof(int32_t) * dn));
  int32_t* tmp = reinterpret_cast<int32_t*>(wv + 16 * dst.width);
  if (bytes && cn == 3) SpreadC3Weights(xc, dst.width, wv);
  auto horizontal = [&](int32_t row, int32_t* h) {
    const T* s = src.Row<T>(row);
    int32_t x = 0;
    if (bytes) x = cn == 3 ? HorizontalC3Bytes(s, sn, xc, dst.width, wv, h) : HorizontalC1Bytes(s, sn, xc, dst.width, h);
    HorizontalS32(s, sn, xc + x, dst.width - x, cn, xtaps, h + x * cn);
  };
  for (int32_t y = y0; y < y1; ++y) {
    const int32_t sy = yc[y].index;
    const int32_t need[4] = {sy + ytaps.off[0], sy + ytaps.off[1], sy + ytaps.off[2], sy + ytaps.off[3]};
    const int16_t* b = yc[y].w;
    T* out = dst.Row<T>(y);
    if constexpr (sizeof(T) == 1) {
      // Cached rows hold h >> 8 then h & 255 (16-bit each).
      int16_t* rows[4];
      cache.Get(need, rows, [&](int32_t row, int16_t* r) {
        horizontal(row, tmp);
        SplitRow(tmp, r, r + dn, dn);
      });
      // Taps 0, 1 and 2, 3 as interleaved pairs: each pair of products
      // summed in one step (weights w0 w1 w0 w1 ...).
      const int16x8_t w01 = vreinterpretq_s16_u32(vdupq_n_u32(static_cast<uint16_t>(b[0]) | static_cast<uint32_t>(static_cast<uint16_t>(b[1])) << 16));
      const int16x8_t w23 = vreinterpretq_s16_u32(vdupq_n_u32(static_cast<uint16_t>(b[2]) | static_cast<uint32_t>(static_cast<uint16_t>(b[3])) << 16));
      auto dot = [&](const int16_t* r0, const int16_t* r1, const int16_t* r2, const int16_t* r3, int32x4_t& lo,
                     int32x4_t& hi) {
        const int16x8_t a0 = vld1q_s16(r0), a1 = vld1q_s16(r1), a2 = vld1q_s16(r2), a3 = vld1q_s16(r3);
        lo = vaddq_s32(::kiln::neon::MaddS16(vzip1q_s16(a0, a1), w01), ::kiln::neon::MaddS16(vzip1q_s16(a2, a3), w23));
        hi = vaddq_s32(::kiln::neon::MaddS16(vzip2q_s16(a0, a1), w01), ::kiln::neon::MaddS16(vzip2q_s16(a2, a3), w23));
      };
      int32_t i = 0;
      for (; i + 8 <= dn; i += 8) {
        int32x4_t hh_lo, hh_hi, hl_lo, hl_hi;
        dot(rows[0] + i, rows[1] + i, rows[2] + i, rows[3] + i, hh_lo, hh_hi);
        dot(rows[0] + dn + i, rows[1] + dn + i, rows[2] + dn + i, rows[3] + dn + i, hl_lo, hl_hi);
        const int32x4_t s0 = vaddq_s32(vshlq_n_s32(hh_lo, 8), hl_lo);
        const int32x4_t s1 = vaddq_s32(vshlq_n_s32(hh_hi, 8), hl_hi);
        Int32Lanes<T>::Store8(out + i, vrshrq_n_s32(s0, kCombineBits), vrshrq_n_s32(s1, kCombineBits));
      }
      for (; i < dn; ++i) {
        Acc sum = 0;
        for (int k = 0; k < 4; ++k) sum += b[k] * (rows[k][i] * 256 + rows[k][dn + i]);
        out[i] = SaturateInt<T>((sum + kCombineHalf) >> kCombineBits);
      }
    } else {
      int32_t* rows[4];
      cache.Get(need, rows, horizontal);
      const int32_t* const r[4] = {rows[0], rows[1], rows[2], rows[3]};
      int32_t i = 0;
      for (; i + 8 <= dn; i += 8) Int32Lanes<T>::Store8(out + i, Combine4<T>(r, i, b), Combine4<T>(r, i + 4, b));
      for (; i < dn; ++i) {
        const Acc sum = static_cast<Acc>(b[0]) * r[0][i] + static_cast<Acc>(b[1]) * r[1][i] +
                        static_cast<Acc>(b[2]) * r[2][i] + static_cast<Acc>(b[3]) * r[3][i];
        out[i] = SaturateInt<T>((sum + kCombineHalf) >> kCombineBits);
      }
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
  // Cached rows, spread weights, one unsplit row.
  return RowCache<4>::Bytes(sizeof(int32_t) * dst.RowElems()) + sizeof(int16_t) * 16 * dst.width +
         CacheRowStride(sizeof(int32_t) * dst.RowElems());
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
