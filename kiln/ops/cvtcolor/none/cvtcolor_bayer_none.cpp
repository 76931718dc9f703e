// Plain bilinear Bayer -> BGR kernels, U8 and U16.
#include "kiln/ops/cvtcolor/none/cvtcolor_none_rows.h"

namespace kiln {
namespace cvtcolor {
namespace none {

namespace {

template <typename T>
void BayerRowPairs(const BayerArgs<T>& a, int begin, int end) {
  const int x_ch = a.swap ? 2 : 0;
  for (int i = begin; i < end; ++i) {
    const BayerRows<T> rows = BayerRowsOf(a, i);
    BayerSpan(rows.r[0], rows.r[1], rows.r[2], rows.r[3], rows.d1, rows.d2, x_ch, 1, a.width - 1);
    BayerCopyEdgePixels(rows.d1, a.width);
    BayerCopyEdgePixels(rows.d2, a.width);
  }
}

}  // namespace

Status BayerToBgrRowsU8(const BayerArgs<uint8_t>& a, int begin, int end) {
  BayerRowPairs(a, begin, end);
  return kStatusOk;
}

Status BayerToBgrRowsU16(const BayerArgs<uint16_t>& a, int begin, int end) {
  BayerRowPairs(a, begin, end);
  return kStatusOk;
}

}  // namespace none
}  // namespace cvtcolor
}  // namespace kiln
