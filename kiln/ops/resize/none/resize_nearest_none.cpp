#include <cstring>

#include "kiln/ops/resize/none/resize_kernels_none.h"

namespace kiln {
namespace resize {

namespace {

// Fixed pixel sizes let memcpy become one or two moves.
template <int PB>
void NearestRowsFixed(const ImagePlane& src, const ImagePlane& dst, const int32_t* xmap, const int32_t* ymap,
                      int32_t y0, int32_t y1) {
  for (int32_t y = y0; y < y1; ++y) {
    const uint8_t* s = src.Row(ymap[y]);
    uint8_t* d = dst.Row(y);
    for (int32_t x = 0; x < dst.width; ++x) std::memcpy(d + x * PB, s + static_cast<int64_t>(xmap[x]) * PB, PB);
  }
}

void NearestRowsAny(const ImagePlane& src, const ImagePlane& dst, int32_t pb, const int32_t* xmap,
                    const int32_t* ymap, int32_t y0, int32_t y1) {
  for (int32_t y = y0; y < y1; ++y) {
    const uint8_t* s = src.Row(ymap[y]);
    uint8_t* d = dst.Row(y);
    for (int32_t x = 0; x < dst.width; ++x) std::memcpy(d + static_cast<int64_t>(x) * pb, s + static_cast<int64_t>(xmap[x]) * pb, pb);
  }
}

}  // namespace

void ResizeNearestNone(const ImagePlane& src, const ImagePlane& dst, int32_t elem_size, const NearestPlan& plan,
                       int32_t y0, int32_t y1) {
  const int32_t pb = elem_size * dst.channels;
  switch (pb) {
    case 1: return NearestRowsFixed<1>(src, dst, plan.xmap, plan.ymap, y0, y1);
    case 2: return NearestRowsFixed<2>(src, dst, plan.xmap, plan.ymap, y0, y1);
    case 3: return NearestRowsFixed<3>(src, dst, plan.xmap, plan.ymap, y0, y1);
    case 4: return NearestRowsFixed<4>(src, dst, plan.xmap, plan.ymap, y0, y1);
    case 6: return NearestRowsFixed<6>(src, dst, plan.xmap, plan.ymap, y0, y1);
    case 8: return NearestRowsFixed<8>(src, dst, plan.xmap, plan.ymap, y0, y1);
    case 12: return NearestRowsFixed<12>(src, dst, plan.xmap, plan.ymap, y0, y1);
    default: return NearestRowsAny(src, dst, pb, plan.xmap, plan.ymap, y0, y1);
  }
}

}  // namespace resize
}  // namespace kiln
