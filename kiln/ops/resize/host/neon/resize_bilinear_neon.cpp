// ResizeBnCommNeon: the general bilinear kernel (any ratio, any channel
// count), also serving area upscaling through the area-weight tables.
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
  if constexpr (sizeof(T) == 1) {
    // Sixteen at a time: two 32 -> 16 packs, one 16 -> 8 pack, one store.
    for (; i + 16 <= n; i += 16) {
      const int16x8_t a = ::kiln::neon::QmovnS32Pair(vld1q_s32(t + i), vld1q_s32(t + i + 4));
      const int16x8_t b = ::kiln::neon::QmovnS32Pair(vld1q_s32(t + i + 8), vld1q_s32(t + i + 12));
      if constexpr (std::is_signed<T>::value) {
        vst1q_s8(reinterpret_cast<int8_t*>(out + i), ::kiln::neon::QmovnS16Pair(a, b));
      } else {
        vst1q_u8(reinterpret_cast<uint8_t*>(out + i), ::kiln::neon::QmovunS16Pair(a, b));
      }
    }
  }
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

// ---- 8-bit types, vertical pass first in 16-bit lanes ----------------------------------
// Splitting a row weight w = 64 wh + wl (wh <= 32, wl < 64) keeps both partial
// row sums of 8-bit pixels in 16 bits:
//   P = wh0 a + wh1 b (|P| <= 8160),  Q = wl0 a + wl1 b (|Q| <= 32130),
//   w0 a + w1 b = 64 P + Q,
// and the x pass forms w0 v0 + w1 v1 = 64 (w0 P0 + w1 P1) + (w0 Q0 + w1 Q1)
// with pairwise dot products of neighbouring values (all sums exact in 32
// bits, below 2048 x 32130 and 2^30).
template <typename T>
inline int16x8_t Widen8(const T* p) {
  if constexpr (std::is_signed<T>::value) {
    return vmovl_s8(vld1_s8(reinterpret_cast<const int8_t*>(p)));
  } else {
    return vreinterpretq_s16_u16(vmovl_u8(vld1_u8(reinterpret_cast<const uint8_t*>(p))));
  }
}

template <typename T>
inline void Widen16(const T* p, int16x8_t (&out)[2]) {
  if constexpr (std::is_signed<T>::value) {
    const int8x16_t v = vld1q_s8(reinterpret_cast<const int8_t*>(p));
    out[0] = vmovl_s8(vget_low_s8(v));
    out[1] = vmovl_s8(vget_high_s8(v));
  } else {
    const uint8x16_t v = vld1q_u8(reinterpret_cast<const uint8_t*>(p));
    out[0] = vreinterpretq_s16_u16(vmovl_u8(vget_low_u8(v)));
    out[1] = vreinterpretq_s16_u16(vmovl_u8(vget_high_u8(v)));
  }
}

template <typename T>
void VerticalPQ(const T* a, const T* b, int32_t w0, int32_t w1, int16_t* pp, int16_t* qq, int32_t n) {
  const int16_t h0 = static_cast<int16_t>(w0 >> 6), l0 = static_cast<int16_t>(w0 & 63);
  const int16_t h1 = static_cast<int16_t>(w1 >> 6), l1 = static_cast<int16_t>(w1 & 63);
  int32_t i = 0;
  for (; i + 16 <= n; i += 16) {
    int16x8_t va[2], vb[2];
    Widen16(a + i, va);
    Widen16(b + i, vb);
    for (int k = 0; k < 2; ++k) {
      vst1q_s16(pp + i + 8 * k, vmlaq_n_s16(vmulq_n_s16(va[k], h0), vb[k], h1));
      vst1q_s16(qq + i + 8 * k, vmlaq_n_s16(vmulq_n_s16(va[k], l0), vb[k], l1));
    }
  }
  for (; i + 8 <= n; i += 8) {
    const int16x8_t va = Widen8(a + i), vb = Widen8(b + i);
    vst1q_s16(pp + i, vmlaq_n_s16(vmulq_n_s16(va, h0), vb, h1));
    vst1q_s16(qq + i, vmlaq_n_s16(vmulq_n_s16(va, l0), vb, l1));
  }
  for (; i < n; ++i) {
    pp[i] = static_cast<int16_t>(h0 * a[i] + h1 * b[i]);
    qq[i] = static_cast<int16_t>(l0 * a[i] + l1 * b[i]);
  }
}

// (w0 v0 + w1 v1 + 2^21) >> 22 for four lanes from interleaved (P0, P1) and
// (Q0, Q1) pairs; w01 holds w0 | w1 << 16 in every 32-bit lane.
inline int32x4_t CombinePQ(int16x8_t p01, int16x8_t q01, int16x8_t w01) {
  const int32x4_t rp = ::kiln::neon::MaddS16(p01, w01);
  const int32x4_t rq = ::kiln::neon::MaddS16(q01, w01);
  return vrshrq_n_s32(vaddq_s32(vshlq_n_s32(rp, 6), rq), kCombineBits);
}

inline int16x8_t WeightPair(int32_t w0, int32_t w1) {
  return vreinterpretq_s16_u32(vdupq_n_u32(static_cast<uint32_t>(w0) | static_cast<uint32_t>(w1) << 16));
}

// Destination pixels [x0, dw): each pixel and its right neighbour interleaved
// lane by lane, four channels per step (CN 1-4 known at compile time; 0: cn
// channels). Lanes past the pixel are rewritten by the next one (or land in
// the spare lanes).
template <int CN>
void HorizontalPQ(const int16_t* pp, const int16_t* qq, const LinearCoef* xc, int32_t x0, int32_t dw, int32_t xnext,
                  int32_t* t, int32_t cn = CN) {
  const int32_t n = CN > 0 ? CN : cn;
  for (int32_t x = x0; x < dw; ++x) {
    const int32_t i = xc[x].index * n;
    const int16x8_t w01 = WeightPair(xc[x].w0, xc[x].w1);
    for (int32_t c = 0; c < n; c += 4) {
      const int16x8_t p01 = vzip1q_s16(vld1q_s16(pp + i + c), vld1q_s16(pp + i + xnext + c));
      const int16x8_t q01 = vzip1q_s16(vld1q_s16(qq + i + c), vld1q_s16(qq + i + xnext + c));
      vst1q_s32(t + x * n + c, CombinePQ(p01, q01, w01));
    }
  }
}

template <typename T>
void LinearRowsVFirstBytes(const ImagePlane& src, const ImagePlane& dst, const LinearCoef* xc, const LinearCoef* yc,
                           int32_t y0, int32_t y1, void* scratch) {
  const int32_t cn = dst.channels;
  const int32_t sn = src.RowElems();
  const int32_t dn = dst.RowElems();
  const int32_t dw = dst.width;
  const int32_t xnext = src.width > 1 ? cn : 0;
  const int32_t ynext = src.height > 1 ? 1 : 0;
  uint8_t* base = static_cast<uint8_t*>(scratch);
  int16_t* pp = reinterpret_cast<int16_t*>(base);
  int16_t* qq = reinterpret_cast<int16_t*>(base + CacheRowStride(sizeof(int16_t) * sn));
  int32_t* t = reinterpret_cast<int32_t*>(base + 2 * CacheRowStride(sizeof(int16_t) * sn));
  uint32_t* wv = reinterpret_cast<uint32_t*>(t) + CacheRowStride(sizeof(int32_t) * dn) / sizeof(int32_t);
  // Lanes read past the row end are discarded.
  std::fill(pp + sn, pp + sn + 16, int16_t{0});
  std::fill(qq + sn, qq + sn + 16, int16_t{0});
  for (int32_t x = 0; x < dw; ++x) wv[x] = static_cast<uint32_t>(xc[x].w0) | static_cast<uint32_t>(xc[x].w1) << 16;
  for (int32_t y = y0; y < y1; ++y) {
    VerticalPQ(src.Row<T>(yc[y].index), src.Row<T>(yc[y].index + ynext), yc[y].w0, yc[y].w1, pp, qq, sn);
    int32_t x = 0;
    if (cn == 1 && xnext == 1) {
      // Four destination pixels per step; each pixel's pair of neighbours is
      // one 32-bit load.
      for (; x + 4 <= dw; x += 4) {
        uint32_t p4[4], q4[4];
        for (int k = 0; k < 4; ++k) {
          std::memcpy(&p4[k], pp + xc[x + k].index, sizeof(uint32_t));
          std::memcpy(&q4[k], qq + xc[x + k].index, sizeof(uint32_t));
        }
        const int16x8_t w01 = vreinterpretq_s16_u32(vld1q_u32(wv + x));
        vst1q_s32(t + x, CombinePQ(vreinterpretq_s16_u32(vld1q_u32(p4)), vreinterpretq_s16_u32(vld1q_u32(q4)), w01));
      }
    }
    switch (cn) {
      case 1: HorizontalPQ<1>(pp, qq, xc, x, dw, xnext, t); break;
      case 2: HorizontalPQ<2>(pp, qq, xc, x, dw, xnext, t); break;
      case 3: HorizontalPQ<3>(pp, qq, xc, x, dw, xnext, t); break;
      case 4: HorizontalPQ<4>(pp, qq, xc, x, dw, xnext, t); break;
      default: HorizontalPQ<0>(pp, qq, xc, x, dw, xnext, t, cn); break;
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
  if (dst.height <= src.height && sizeof(T) == 1) {
    LinearRowsVFirstBytes<T>(src, dst, plan.x, plan.y, y0, y1, scratch);
  } else if (dst.height <= src.height) {
    LinearRowsVFirst<T>(src, dst, plan.x, plan.y, y0, y1, scratch);
  } else {
    LinearRowsHFirst<T>(src, dst, plan.x, plan.y, y0, y1, scratch);
  }
}

}  // namespace

size_t ResizeBnCommScratchBytes(ElemType type, const ImagePlane& src, const ImagePlane& dst) {
  const size_t hfirst = RowCache<2>::Bytes(sizeof(int32_t) * dst.RowElems());
  if (type == QX_F32 || type == QX_F16 || dst.height > src.height) return hfirst;
  // The larger of the 32-bit layout (v, t, two weight rows) and the 16-bit one
  // (P, Q, t, packed weights).
  const size_t t = CacheRowStride(sizeof(int32_t) * dst.RowElems());
  const size_t wide = CacheRowStride(sizeof(int32_t) * src.RowElems()) + t + 2 * CacheRowStride(sizeof(int32_t) * dst.width);
  const size_t narrow = 2 * CacheRowStride(sizeof(int16_t) * src.RowElems()) + t + sizeof(uint32_t) * dst.width;
  return std::max(wide, narrow);
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
