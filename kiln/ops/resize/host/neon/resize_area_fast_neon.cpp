// ResizeAreaFastNeon: area decimation by whole factors ("ResizeAreaDownX2Neon",
// "ResizeAreaDownX4Neon" and the general integer-factor kernel), and area
// upscaling by 2 and 4 ("ResizeAreaUpX2Neon", "ResizeAreaUpX4Neon").
//
// Decimation: with whole factors every table entry covers one full pixel
// (weight 1.0) and the cell area is kx * ky, so the plain kernel's float
// sums are plain sums of the covered pixels. For integer types those sums are
// exact in single precision while kx * ky * max|element| < 2^24, so summing
// in integers and converting once gives the same bits; float types sum in
// single precision in the plain kernel's order (rows first, then columns).
// The result is sum * (1 / (kx * ky)), rounded to nearest even.
//
// Upscaling: the area weights of x2 and x4 are all zero, so each destination
// pixel is a copy of one source pixel.
#include <algorithm>
#include <cstring>

#include "kiln/ops/resize/host/neon/resize_kernels_neon.h"
#include "kiln/ops/resize/host/neon/resize_neon_common.h"

// Float sums must match the plain kernel's separately rounded operations.
#pragma GCC optimize("fp-contract=off")

namespace kiln {
namespace resize {

namespace {

using neonk::Int32Lanes;

// ---- Integer types ----------------------------------------------------------------
// Column sums of ky rows in 32-bit lanes.
template <typename T>
void SumRowsS32(const ImagePlane& src, int32_t first, int32_t ky, int32_t* v, int32_t n) {
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    int32x4_t lo, hi;
    Int32Lanes<T>::Load8(src.Row<T>(first) + i, lo, hi);
    for (int32_t r = 1; r < ky; ++r) {
      int32x4_t a, b;
      Int32Lanes<T>::Load8(src.Row<T>(first + r) + i, a, b);
      lo = vaddq_s32(lo, a);
      hi = vaddq_s32(hi, b);
    }
    vst1q_s32(v + i, lo);
    vst1q_s32(v + i + 4, hi);
  }
  for (; i < n; ++i) {
    int32_t sum = 0;
    for (int32_t r = 0; r < ky; ++r) sum += src.Row<T>(first + r)[i];
    v[i] = sum;
  }
}

// The same for 8-bit sources in 16-bit lanes (kx * ky <= 128 keeps the sums
// of 8-bit values inside 16 bits, signed or not).
template <typename T>
void SumRowsS16(const ImagePlane& src, int32_t first, int32_t ky, int16_t* v, int32_t n) {
  static_assert(sizeof(T) == 1, "16-bit sums hold 8-bit sources only");
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    int16x8_t acc;
    if constexpr (std::is_signed<T>::value) {
      acc = vmovl_s8(vld1_s8(src.Row<int8_t>(first) + i));
      for (int32_t r = 1; r < ky; ++r) acc = vaddw_s8(acc, vld1_s8(src.Row<int8_t>(first + r) + i));
    } else {
      uint16x8_t u = vmovl_u8(vld1_u8(src.Row<uint8_t>(first) + i));
      for (int32_t r = 1; r < ky; ++r) u = vaddw_u8(u, vld1_u8(src.Row<uint8_t>(first + r) + i));
      acc = vreinterpretq_s16_u16(u);
    }
    vst1q_s16(v + i, acc);
  }
  for (; i < n; ++i) {
    int32_t sum = 0;
    for (int32_t r = 0; r < ky; ++r) sum += src.Row<T>(first + r)[i];
    v[i] = static_cast<int16_t>(sum);
  }
}

inline int32x4_t Load4S32(const int32_t* p) { return vld1q_s32(p); }
inline int32x4_t Load4S32(const int16_t* p) { return vmovl_s16(vld1_s16(p)); }

// Per destination pixel: sums of kx column sums, four channels per step (the
// lanes past the pixel are rewritten by the next one).
template <typename S>
void SumColumns(const S* v, int32_t kx, int32_t cn, int32_t dw, int32_t* t) {
  for (int32_t x = 0; x < dw; ++x) {
    const S* p = v + static_cast<int64_t>(x) * kx * cn;
    for (int32_t c = 0; c < cn; c += 4) {
      int32x4_t acc = Load4S32(p + c);
      for (int32_t i = 1; i < kx; ++i) acc = vaddq_s32(acc, Load4S32(p + i * cn + c));
      vst1q_s32(t + x * cn + c, acc);
    }
  }
}

// One-channel sums of kx = 2, 3 or 4 neighbours, eight destination pixels per
// step through de-interleaving loads.
void SumColumnsC1(const int16_t* v, int32_t kx, int32_t dw, int32_t* t) {
  int32_t x = 0;
  const uint16_t* u = reinterpret_cast<const uint16_t*>(v);
  for (; x + 8 <= dw; x += 8) {
    int16x8_t sum;
    if (kx == 2) {
      const uint16x8x2_t p = vld2q_u16(u + 2 * x);
      sum = vreinterpretq_s16_u16(vaddq_u16(p.val[0], p.val[1]));
    } else if (kx == 3) {
      const uint16x8x3_t p = ::kiln::neon::Ld3q_u16(u + 3 * x);
      sum = vreinterpretq_s16_u16(vaddq_u16(vaddq_u16(p.val[0], p.val[1]), p.val[2]));
    } else {
      const uint16x8x2_t p = vld2q_u16(u + 4 * x);
      const uint16x8x2_t q = vld2q_u16(u + 4 * x + 16);
      const uint16x8_t a = vaddq_u16(p.val[0], p.val[1]);
      const uint16x8_t b = vaddq_u16(q.val[0], q.val[1]);
      sum = vreinterpretq_s16_u16(vpaddq_u16(a, b));
    }
    vst1q_s32(t + x, vmovl_s16(vget_low_s16(sum)));
    vst1q_s32(t + x + 4, vmovl_s16(vget_high_s16(sum)));
  }
  if (x < dw) SumColumns(v + x * kx, kx, 1, dw - x, t + x);
}

// t (exact sums) -> round(sum * inv) into T.
template <typename T>
void ScaleRow(const int32_t* t, float inv, T* out, int32_t n) {
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const float32x4_t lo = vmulq_n_f32(vcvtq_f32_s32(vld1q_s32(t + i)), inv);
    const float32x4_t hi = vmulq_n_f32(vcvtq_f32_s32(vld1q_s32(t + i + 4)), inv);
    neonk::StoreRound8(out + i, lo, hi);
  }
  for (; i < n; ++i) out[i] = RoundSaturate<T>(static_cast<float>(t[i]) * inv);
}

template <typename T>
void AreaIntRows(const ImagePlane& src, const ImagePlane& dst, int32_t kx, int32_t ky, int32_t y0, int32_t y1,
                 void* scratch) {
  const int32_t cn = dst.channels;
  const int32_t sn = src.RowElems();
  const int32_t dn = dst.RowElems();
  const float inv = 1.f / (static_cast<float>(kx) * static_cast<float>(ky));
  const bool narrow = sizeof(T) == 1 && kx * ky <= 128;
  uint8_t* base = static_cast<uint8_t*>(scratch);
  int32_t* t = reinterpret_cast<int32_t*>(base + CacheRowStride(sizeof(int32_t) * sn));
  for (int32_t y = y0; y < y1; ++y) {
    if constexpr (sizeof(T) == 1) {
      if (narrow) {
        int16_t* v = reinterpret_cast<int16_t*>(base);
        SumRowsS16<T>(src, y * ky, ky, v, sn);
        if (cn == 1 && kx >= 2 && kx <= 4) {
          SumColumnsC1(v, kx, dst.width, t);
        } else {
          SumColumns(v, kx, cn, dst.width, t);
        }
        ScaleRow(t, inv, dst.Row<T>(y), dn);
        continue;
      }
    }
    int32_t* v = reinterpret_cast<int32_t*>(base);
    SumRowsS32<T>(src, y * ky, ky, v, sn);
    SumColumns(v, kx, cn, dst.width, t);
    ScaleRow(t, inv, dst.Row<T>(y), dn);
  }
}

// ---- Float types --------------------------------------------------------------------
template <typename T>
void AreaFloatRows(const ImagePlane& src, const ImagePlane& dst, int32_t kx, int32_t ky, int32_t y0, int32_t y1,
                   void* scratch) {
  const int32_t cn = dst.channels;
  const int32_t sn = src.RowElems();
  const int32_t dn = dst.RowElems();
  const float inv = 1.f / (static_cast<float>(kx) * static_cast<float>(ky));
  float* v = static_cast<float*>(scratch);
  float* t = reinterpret_cast<float*>(static_cast<uint8_t*>(scratch) + CacheRowStride(sizeof(float) * sn));
  for (int32_t y = y0; y < y1; ++y) {
    int32_t i = 0;
    for (; i + 4 <= sn; i += 4) {
      float32x4_t acc = neonk::LoadF4(src.Row<T>(y * ky) + i);
      for (int32_t r = 1; r < ky; ++r) acc = vaddq_f32(acc, neonk::LoadF4(src.Row<T>(y * ky + r) + i));
      vst1q_f32(v + i, acc);
    }
    for (; i < sn; ++i) {
      float acc = LoadFloat(src.Row<T>(y * ky) + i);
      for (int32_t r = 1; r < ky; ++r) acc = acc + LoadFloat(src.Row<T>(y * ky + r) + i);
      v[i] = acc;
    }
    for (int32_t x = 0; x < dst.width; ++x) {
      const float* p = v + static_cast<int64_t>(x) * kx * cn;
      for (int32_t c = 0; c < cn; c += 4) {
        float32x4_t acc = vld1q_f32(p + c);
        for (int32_t k = 1; k < kx; ++k) acc = vaddq_f32(acc, vld1q_f32(p + k * cn + c));
        vst1q_f32(t + x * cn + c, vmulq_n_f32(acc, inv));
      }
    }
    T* out = dst.Row<T>(y);
    int32_t j = 0;
    for (; j + 4 <= dn; j += 4) neonk::StoreF4(out + j, vld1q_f32(t + j));
    for (; j < dn; ++j) StoreFloat(out + j, t[j]);
  }
}

// ---- Upscaling: pixel repeats ----------------------------------------------------------
// Each source pixel (PB bytes) written F times.
template <typename P, int F>
void RepeatPixels(const uint8_t* s, uint8_t* d, int32_t sw) {
  const P* sp = reinterpret_cast<const P*>(s);
  P* dp = reinterpret_cast<P*>(d);
  int32_t x = 0;
  if constexpr (sizeof(P) == 1 || sizeof(P) == 2 || sizeof(P) == 4) {
    constexpr int kLanes = 16 / sizeof(P);
    for (; x + kLanes <= sw; x += kLanes) {
      uint8x16_t v = vld1q_u8(s + x * sizeof(P));
      uint8x16_t out[F];
      if constexpr (sizeof(P) == 1) {
        const uint8x16_t lo = vzip1q_u8(v, v), hi = vzip2q_u8(v, v);
        if constexpr (F == 2) {
          out[0] = lo;
          out[1] = hi;
        } else {
          out[0] = vzip1q_u8(lo, lo);
          out[1] = vzip2q_u8(lo, lo);
          out[2] = vzip1q_u8(hi, hi);
          out[3] = vzip2q_u8(hi, hi);
        }
      } else if constexpr (sizeof(P) == 2) {
        const uint16x8_t w = vreinterpretq_u16_u8(v);
        const uint16x8_t lo = vzip1q_u16(w, w), hi = vzip2q_u16(w, w);
        if constexpr (F == 2) {
          out[0] = vreinterpretq_u8_u16(lo);
          out[1] = vreinterpretq_u8_u16(hi);
        } else {
          out[0] = vreinterpretq_u8_u16(vzip1q_u16(lo, lo));
          out[1] = vreinterpretq_u8_u16(vzip2q_u16(lo, lo));
          out[2] = vreinterpretq_u8_u16(vzip1q_u16(hi, hi));
          out[3] = vreinterpretq_u8_u16(vzip2q_u16(hi, hi));
        }
      } else {
        const uint32x4_t w = vreinterpretq_u32_u8(v);
        const uint32x4_t lo = vzip1q_u32(w, w), hi = vzip2q_u32(w, w);
        if constexpr (F == 2) {
          out[0] = vreinterpretq_u8_u32(lo);
          out[1] = vreinterpretq_u8_u32(hi);
        } else {
          out[0] = vreinterpretq_u8_u32(vzip1q_u32(lo, lo));
          out[1] = vreinterpretq_u8_u32(vzip2q_u32(lo, lo));
          out[2] = vreinterpretq_u8_u32(vzip1q_u32(hi, hi));
          out[3] = vreinterpretq_u8_u32(vzip2q_u32(hi, hi));
        }
      }
      for (int k = 0; k < F; ++k) vst1q_u8(d + (x * F) * sizeof(P) + 16 * k, out[k]);
    }
  }
  for (; x < sw; ++x) {
    for (int k = 0; k < F; ++k) std::memcpy(dp + x * F + k, sp + x, sizeof(P));
  }
}

// Three-channel pixels through the planar loads and stores.
template <int F>
void RepeatPixelsC3U8(const uint8_t* s, uint8_t* d, int32_t sw) {
  int32_t x = 0;
  for (; x + 16 <= sw; x += 16) {
    const uint8x16x3_t v = ::kiln::neon::Ld3q_u8(s + 3 * x);
    uint8x16x3_t out[F];
    for (int c = 0; c < 3; ++c) {
      const uint8x16_t lo = vzip1q_u8(v.val[c], v.val[c]), hi = vzip2q_u8(v.val[c], v.val[c]);
      if constexpr (F == 2) {
        out[0].val[c] = lo;
        out[1].val[c] = hi;
      } else {
        out[0].val[c] = vzip1q_u8(lo, lo);
        out[1].val[c] = vzip2q_u8(lo, lo);
        out[2].val[c] = vzip1q_u8(hi, hi);
        out[3].val[c] = vzip2q_u8(hi, hi);
      }
    }
    for (int k = 0; k < F; ++k) ::kiln::neon::St3q_u8(d + 3 * (x * F + 16 * k), out[k]);
  }
  for (; x < sw; ++x) {
    for (int k = 0; k < F; ++k) std::memcpy(d + 3 * (x * F + k), s + 3 * x, 3);
  }
}

template <int F>
void RepeatPixelsAny(const uint8_t* s, uint8_t* d, int32_t sw, int32_t pb) {
  for (int32_t x = 0; x < sw; ++x) {
    for (int k = 0; k < F; ++k) std::memcpy(d + static_cast<int64_t>(x * F + k) * pb, s + static_cast<int64_t>(x) * pb, pb);
  }
}

template <int F>
void AreaUpRows(const ImagePlane& src, const ImagePlane& dst, int32_t pb, int32_t y0, int32_t y1) {
  const int64_t row_bytes = static_cast<int64_t>(dst.width) * pb;
  for (int32_t y = y0; y < y1; ++y) {
    uint8_t* d = dst.Row(y);
    if (y > y0 && y / F == (y - 1) / F) {
      std::memcpy(d, dst.Row(y - 1), row_bytes);
      continue;
    }
    const uint8_t* s = src.Row(y / F);
    switch (pb) {
      case 1: RepeatPixels<uint8_t, F>(s, d, src.width); break;
      case 2: RepeatPixels<uint16_t, F>(s, d, src.width); break;
      case 3: RepeatPixelsC3U8<F>(s, d, src.width); break;
      case 4: RepeatPixels<uint32_t, F>(s, d, src.width); break;
      default: RepeatPixelsAny<F>(s, d, src.width, pb); break;
    }
  }
}

}  // namespace

size_t ResizeAreaFastScratchBytes(const ImagePlane& src, const ImagePlane& dst) {
  return CacheRowStride(sizeof(int32_t) * src.RowElems()) + CacheRowStride(sizeof(int32_t) * dst.RowElems());
}

Status ResizeAreaFastNeon(ElemType type, int32_t kx, int32_t ky, const ImagePlane& src, const ImagePlane& dst,
                          int32_t y0, int32_t y1, void* scratch) {
  if (kx < 1 || ky < 1) return kStatusFail;
  switch (type) {
    case QX_U8: AreaIntRows<uint8_t>(src, dst, kx, ky, y0, y1, scratch); break;
    case QX_S8: AreaIntRows<int8_t>(src, dst, kx, ky, y0, y1, scratch); break;
    case QX_U16: AreaIntRows<uint16_t>(src, dst, kx, ky, y0, y1, scratch); break;
    case QX_S16: AreaIntRows<int16_t>(src, dst, kx, ky, y0, y1, scratch); break;
    case QX_F32: AreaFloatRows<float>(src, dst, kx, ky, y0, y1, scratch); break;
    case QX_F16: AreaFloatRows<Half>(src, dst, kx, ky, y0, y1, scratch); break;
    default: return kStatusFail;
  }
  return kStatusOk;
}

Status ResizeAreaUpFastNeon(ElemType type, int32_t factor, const ImagePlane& src, const ImagePlane& dst, int32_t y0,
                            int32_t y1) {
  if (type == QX_F32 || type == QX_F16 || type == QX_U32 || type == QX_S32 || type == QX_F64) return kStatusFail;
  const int32_t pb = ElemTypeSize(type) * dst.channels;
  if (factor == 2) {
    AreaUpRows<2>(src, dst, pb, y0, y1);
  } else if (factor == 4) {
    AreaUpRows<4>(src, dst, pb, y0, y1);
  } else {
    return kStatusFail;
  }
  return kStatusOk;
}

}  // namespace resize
}  // namespace kiln
