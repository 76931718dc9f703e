// ResizeNearestNeon: nearest neighbour. There is nothing to compute, so the
// kernel is about moves: a destination row that maps to the same source row
// as the one above is a copy of it, and 3- and 6-byte pixels move as one
// 4- or 8-byte word (the spare bytes are rewritten by the next pixel).
#include <cstring>

#include "kiln/ops/resize/host/neon/resize_kernels_neon.h"

namespace kiln {
namespace resize {

namespace {

template <int PB>
void GatherRow(const uint8_t* s, uint8_t* d, const int32_t* xmap, int32_t dw) {
  for (int32_t x = 0; x < dw; ++x) std::memcpy(d + x * PB, s + static_cast<int64_t>(xmap[x]) * PB, PB);
}

// Pixels of PB bytes moved as W-byte words; a word may not start at the last
// source pixel (it would read past the row) nor at the last destination pixel.
template <int PB, int W>
void GatherRowWide(const uint8_t* s, uint8_t* d, const int32_t* xmap, int32_t dw, int32_t sw) {
  int32_t x = 0;
  for (; x < dw - 1 && xmap[x] < sw - 1; ++x) std::memcpy(d + x * PB, s + static_cast<int64_t>(xmap[x]) * PB, W);
  for (; x < dw; ++x) std::memcpy(d + x * PB, s + static_cast<int64_t>(xmap[x]) * PB, PB);
}

void GatherRowAny(const uint8_t* s, uint8_t* d, const int32_t* xmap, int32_t dw, int32_t pb) {
  for (int32_t x = 0; x < dw; ++x) {
    std::memcpy(d + static_cast<int64_t>(x) * pb, s + static_cast<int64_t>(xmap[x]) * pb, pb);
  }
}

}  // namespace

void ResizeNearestNeon(const ImagePlane& src, const ImagePlane& dst, int32_t elem_size, const NearestPlan& plan,
                       int32_t y0, int32_t y1) {
  const int32_t pb = elem_size * dst.channels;
  const int64_t row_bytes = static_cast<int64_t>(dst.width) * pb;
  for (int32_t y = y0; y < y1; ++y) {
    uint8_t* d = dst.Row(y);
    if (y > y0 && plan.ymap[y] == plan.ymap[y - 1]) {
      std::memcpy(d, dst.Row(y - 1), row_bytes);
      continue;
    }
    const uint8_t* s = src.Row(plan.ymap[y]);
    switch (pb) {
      case 1: GatherRow<1>(s, d, plan.xmap, dst.width); break;
      case 2: GatherRow<2>(s, d, plan.xmap, dst.width); break;
      case 3: GatherRowWide<3, 4>(s, d, plan.xmap, dst.width, src.width); break;
      case 4: GatherRow<4>(s, d, plan.xmap, dst.width); break;
      case 6: GatherRowWide<6, 8>(s, d, plan.xmap, dst.width, src.width); break;
      case 8: GatherRow<8>(s, d, plan.xmap, dst.width); break;
      case 12: GatherRowWide<12, 16>(s, d, plan.xmap, dst.width, src.width); break;
      default: GatherRowAny(s, d, plan.xmap, dst.width, pb); break;
    }
  }
}

}  // namespace resize
}  // namespace kiln
