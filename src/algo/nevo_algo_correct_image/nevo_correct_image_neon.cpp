// Channel swap (BGR <-> RGB) of 16-bit 3-channel rows, eight pixels per
// Advanced SIMD block (vld3q_u16 / vst3q_u16 through the shared header, which
// replaces SIMDe's element-by-element forms on x86).
#include <cstdint>

#include "algo/nevo_algo_correct_image/nevo_correct_image_impl.h"
#include "kiln/ops/core/neon/kiln_neon.h"
#include "kiln/runtime/context/logger.h"

namespace {

constexpr int kBlock = 8;  // pixels per uint16x8x3_t

inline uint16x8x3_t Swap02(uint16x8x3_t v) {
  const uint16x8_t first = v.val[0];
  v.val[0] = v.val[2];
  v.val[2] = first;
  return v;
}

}  // namespace

kiln::Status CvtBgr2RgbNeonImpl(kiln::Context* ctx, const kiln::Mat& src, const kiln::Mat& dst, int row_begin,
                                int row_end) {
  if (src.Height() != dst.Height() || src.Width() != dst.Width()) {
    KILN_RECORD(ctx, "src and dst must have the same height and width");
    return kiln::kStatusFail;
  }
  if (src.Channels() != 3 || dst.Channels() != 3) {
    KILN_RECORD(ctx, "src and dst channel should be 3");
    return kiln::kStatusFail;
  }
  if (src.GetElemType() != kiln::QX_U16 || dst.GetElemType() != kiln::QX_U16 || !src.IsValid() ||
      !dst.IsValid()) {
    KILN_RECORD(ctx, "src and dst must be valid U16 mats");
    return kiln::kStatusFail;
  }
  if (row_begin < 0 || row_begin > row_end || row_end > src.Height()) {
    KILN_RECORD(ctx, "rows [%d, %d) outside the image of %d rows", row_begin, row_end, src.Height());
    return kiln::kStatusFail;
  }
  const int width = src.Width();
  const int tail = width - kBlock;  // first pixel of the last, overlapping block
  for (int y = row_begin; y < row_end; ++y) {
    const uint16_t* s = src.Ptr<uint16_t>(y);
    uint16_t* d = dst.Ptr<uint16_t>(y);
    if (width < kBlock) {
      for (int x = 0; x < width; ++x) {
        const uint16_t first = s[3 * x];
        d[3 * x] = s[3 * x + 2];
        d[3 * x + 1] = s[3 * x + 1];
        d[3 * x + 2] = first;
      }
      continue;
    }
    // In place, the blocks before it overwrite part of the last block, so it
    // is loaded while the row is still untouched.
    const bool ragged = width % kBlock != 0;
    uint16x8x3_t last{};
    if (ragged) last = kiln::neon::Ld3q_u16(s + 3 * tail);
    int x = 0;
    for (; x + kBlock <= width; x += kBlock) {
      kiln::neon::St3q_u16(d + 3 * x, Swap02(kiln::neon::Ld3q_u16(s + 3 * x)));
    }
    if (ragged) kiln::neon::St3q_u16(d + 3 * tail, Swap02(last));
  }
  return kiln::kStatusOk;
}
