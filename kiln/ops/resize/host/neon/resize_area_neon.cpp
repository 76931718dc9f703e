// ResizeAreaCommNeon: the general area decimation (any ratio >= 1, any
// channel count), in the plain kernel's order of float operations.
#include <algorithm>

#include "kiln/ops/resize/host/neon/resize_kernels_neon.h"
#include "kiln/ops/resize/host/neon/resize_neon_common.h"

// The sums are defined by separately rounded products and sums.
#pragma GCC optimize("fp-contract=off")

namespace kiln {
namespace resize {

namespace {

// Eight source elements as floats (exact for every element type).
template <typename T>
inline void LoadF8(const T* p, float32x4_t& lo, float32x4_t& hi) {
  if constexpr (kIsFloatElem<T>) {
    lo = neonk::LoadF4(p);
    hi = neonk::LoadF4(p + 4);
  } else {
    int32x4_t a, b;
    neonk::Int32Lanes<T>::Load8(p, a, b);
    lo = vcvtq_f32_s32(a);
    hi = vcvtq_f32_s32(b);
  }
}

inline float ScalarToFloat(uint8_t v) { return static_cast<float>(v); }
inline float ScalarToFloat(int8_t v) { return static_cast<float>(v); }
inline float ScalarToFloat(uint16_t v) { return static_cast<float>(v); }
inline float ScalarToFloat(int16_t v) { return static_cast<float>(v); }
inline float ScalarToFloat(float v) { return v; }
inline float ScalarToFloat(Half v) { return HalfToFloat(v.bits); }

// v = a * row (first covered row) or v = v + a * row (the next ones).
template <typename T, bool kFirst>
void AccumulateRow(const T* s, float a, float* v, int32_t n) {
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    float32x4_t lo, hi;
    LoadF8(s + i, lo, hi);
    lo = vmulq_n_f32(lo, a);
    hi = vmulq_n_f32(hi, a);
    if constexpr (!kFirst) {
      lo = vaddq_f32(vld1q_f32(v + i), lo);
      hi = vaddq_f32(vld1q_f32(v + i + 4), hi);
    }
    vst1q_f32(v + i, lo);
    vst1q_f32(v + i + 4, hi);
  }
  for (; i < n; ++i) v[i] = kFirst ? a * ScalarToFloat(s[i]) : v[i] + a * ScalarToFloat(s[i]);
}

// Float destination values -> elements: round to nearest even and saturate
// for integer types, F16 rounding, F32 as is.
template <typename T>
void StoreRow(const float* t, T* out, int32_t n) {
  int32_t i = 0;
  if constexpr (kIsFloatElem<T>) {
    for (; i + 4 <= n; i += 4) neonk::StoreF4(out + i, vld1q_f32(t + i));
    for (; i < n; ++i) StoreFloat(out + i, t[i]);
  } else {
    for (; i + 8 <= n; i += 8) neonk::StoreRound8(out + i, vld1q_f32(t + i), vld1q_f32(t + i + 4));
    for (; i < n; ++i) out[i] = RoundSaturate<T>(t[i]);
  }
}

template <typename T>
void AreaRows(const ImagePlane& src, const ImagePlane& dst, const AreaPlan& plan, int32_t y0, int32_t y1,
              void* scratch) {
  const int32_t cn = dst.channels;
  const int32_t sn = src.RowElems();
  const int32_t dn = dst.RowElems();
  float* v = static_cast<float*>(scratch);
  float* t = reinterpret_cast<float*>(static_cast<uint8_t*>(scratch) + CacheRowStride(sizeof(float) * sn));
  std::fill(v + sn, v + sn + 8, 0.f);  // lanes read past the row are discarded
  for (int32_t y = y0; y < y1; ++y) {
    const AreaSpan& ys = plan.ys[y];
    const AreaDecimateAlpha* ye = plan.ye + ys.first;
    AccumulateRow<T, true>(src.Row<T>(ye[0].si), ye[0].alpha, v, sn);
    for (int32_t k = 1; k < ys.count; ++k) AccumulateRow<T, false>(src.Row<T>(ye[k].si), ye[k].alpha, v, sn);
    // Per destination pixel, four channels per step, entries in table order.
    for (int32_t x = 0; x < dst.width; ++x) {
      const AreaSpan& xs = plan.xs[x];
      const AreaDecimateAlpha* xe = plan.xe + xs.first;
      const float inv = 1.f / (xs.cell * ys.cell);
      for (int32_t c = 0; c < cn; c += 4) {
        float32x4_t acc = vmulq_n_f32(vld1q_f32(v + xe[0].si * cn + c), xe[0].alpha);
        for (int32_t j = 1; j < xs.count; ++j) {
          acc = vaddq_f32(acc, vmulq_n_f32(vld1q_f32(v + xe[j].si * cn + c), xe[j].alpha));
        }
        vst1q_f32(t + x * cn + c, vmulq_n_f32(acc, inv));
      }
    }
    StoreRow(t, dst.Row<T>(y), dn);
  }
}

}  // namespace

size_t ResizeAreaCommScratchBytes(const ImagePlane& src, const ImagePlane& dst) {
  return CacheRowStride(sizeof(float) * src.RowElems()) + CacheRowStride(sizeof(float) * dst.RowElems());
}

Status ResizeAreaCommNeon(ElemType type, const ImagePlane& src, const ImagePlane& dst, const AreaPlan& plan,
                          int32_t y0, int32_t y1, void* scratch) {
  switch (type) {
    case QX_U8: AreaRows<uint8_t>(src, dst, plan, y0, y1, scratch); break;
    case QX_S8: AreaRows<int8_t>(src, dst, plan, y0, y1, scratch); break;
    case QX_U16: AreaRows<uint16_t>(src, dst, plan, y0, y1, scratch); break;
    case QX_S16: AreaRows<int16_t>(src, dst, plan, y0, y1, scratch); break;
    case QX_F32: AreaRows<float>(src, dst, plan, y0, y1, scratch); break;
    case QX_F16: AreaRows<Half>(src, dst, plan, y0, y1, scratch); break;
    default: return kStatusFail;
  }
  return kStatusOk;
}

}  // namespace resize
}  // namespace kiln
