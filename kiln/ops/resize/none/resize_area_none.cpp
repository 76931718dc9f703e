#include "kiln/ops/resize/none/resize_kernels_none.h"

// Area sums are defined by separately rounded products and sums, in table
// order; a fused multiply-add would give different bits than the vector
// kernels.
#pragma GCC optimize("fp-contract=off")

namespace kiln {
namespace resize {

namespace {

inline float ToFloat(uint8_t v) { return static_cast<float>(v); }
inline float ToFloat(int8_t v) { return static_cast<float>(v); }
inline float ToFloat(uint16_t v) { return static_cast<float>(v); }
inline float ToFloat(int16_t v) { return static_cast<float>(v); }
inline float ToFloat(float v) { return v; }
inline float ToFloat(Half v) { return HalfToFloat(v.bits); }

template <typename T>
inline void StoreArea(T* p, float v) {
  if constexpr (kIsFloatElem<T>) {
    StoreFloat(p, v);
  } else {
    *p = RoundSaturate<T>(v);
  }
}

template <typename T>
void AreaRows(const ImagePlane& src, const ImagePlane& dst, const AreaPlan& plan, int32_t y0, int32_t y1, float* v) {
  const int32_t cn = dst.channels;
  const int32_t sn = src.RowElems();
  for (int32_t y = y0; y < y1; ++y) {
    const AreaSpan& ys = plan.ys[y];
    const AreaDecimateAlpha* ye = plan.ye + ys.first;
    {
      const T* s = src.Row<T>(ye[0].si);
      const float a = ye[0].alpha;
      for (int32_t i = 0; i < sn; ++i) v[i] = a * ToFloat(s[i]);
    }
    for (int32_t k = 1; k < ys.count; ++k) {
      const T* s = src.Row<T>(ye[k].si);
      const float a = ye[k].alpha;
      for (int32_t i = 0; i < sn; ++i) v[i] = v[i] + a * ToFloat(s[i]);
    }
    T* out = dst.Row<T>(y);
    for (int32_t x = 0; x < dst.width; ++x) {
      const AreaSpan& xs = plan.xs[x];
      const AreaDecimateAlpha* xe = plan.xe + xs.first;
      const float inv = 1.f / (xs.cell * ys.cell);
      for (int32_t c = 0; c < cn; ++c) {
        float acc = xe[0].alpha * v[xe[0].si * cn + c];
        for (int32_t j = 1; j < xs.count; ++j) acc = acc + xe[j].alpha * v[xe[j].si * cn + c];
        StoreArea(out + x * cn + c, acc * inv);
      }
    }
  }
}

}  // namespace

size_t AreaScratchBytesNone(const ImagePlane& src) { return CacheRowStride(sizeof(float) * src.RowElems()); }

Status ResizeAreaNone(ElemType type, const ImagePlane& src, const ImagePlane& dst, const AreaPlan& plan, int32_t y0,
                      int32_t y1, void* scratch) {
  float* v = static_cast<float*>(scratch);
  switch (type) {
    case QX_U8: AreaRows<uint8_t>(src, dst, plan, y0, y1, v); break;
    case QX_S8: AreaRows<int8_t>(src, dst, plan, y0, y1, v); break;
    case QX_U16: AreaRows<uint16_t>(src, dst, plan, y0, y1, v); break;
    case QX_S16: AreaRows<int16_t>(src, dst, plan, y0, y1, v); break;
    case QX_F32: AreaRows<float>(src, dst, plan, y0, y1, v); break;
    case QX_F16: AreaRows<Half>(src, dst, plan, y0, y1, v); break;
    default: return kStatusFail;
  }
  return kStatusOk;
}

}  // namespace resize
}  // namespace kiln
