// RGB to YUV of 16-bit 3-channel rows for the correction's YUV output.
#include <cstdint>

#include "algo/nevo_algo_correct_image/nevo_correct_image_impl.h"

namespace {

// BT.601 studio-swing coefficients x 4096, nearest integer:
// Y: 1053 = 0.257, 2064 = 0.504, 401 = 0.098;
// U: 606 = 0.148, 1192 = 0.291, 1798 = 0.439;
// V: 1798 = 0.439, 1507 = 0.368, 291 = 0.071.
// The offsets 16 << 12 and 128 << 12 are those of an 8-bit scale, applied
// unscaled; 2048 rounds. The largest sum (all inputs 65535) is below 2^28,
// so int32 holds every intermediate.
constexpr int32_t kYOffset = 65536;
constexpr int32_t kCOffset = 524288;
constexpr int32_t kHalf = 2048;

inline uint16_t Clamp16(int32_t v) { return static_cast<uint16_t>(v < 0 ? 0 : (v > 65535 ? 65535 : v)); }

}  // namespace

kiln::Status CvtRgb2YuvImpl(const kiln::Mat& src, const kiln::Mat& dst, int row_begin, int row_end) {
  if (!src.IsValid() || !dst.IsValid() || src.Height() != dst.Height() || src.Width() != dst.Width() ||
      src.Channels() != 3 || dst.Channels() != 3 || src.GetElemType() != kiln::QX_U16 ||
      dst.GetElemType() != kiln::QX_U16 || row_begin < 0 || row_begin > row_end || row_end > src.Height()) {
    return kiln::kStatusFail;
  }
  const int width = src.Width();
  for (int y = row_begin; y < row_end; ++y) {
    const uint16_t* s = src.Ptr<uint16_t>(y);
    uint16_t* d = dst.Ptr<uint16_t>(y);
    for (int x = 0; x < width; ++x) {
      const int32_t c0 = s[3 * x];
      const int32_t c1 = s[3 * x + 1];
      const int32_t c2 = s[3 * x + 2];
      // Negative sums shift arithmetically and clamp to 0, which is also
      // what a U sum below 4096 gives.
      const int32_t yv = (kYOffset + 1053 * c0 + 2064 * c1 + 401 * c2 + kHalf) >> 12;
      const int32_t uv = (kCOffset + kHalf - 606 * c0 - 1192 * c1 + 1798 * c2) >> 12;
      const int32_t vv = (kCOffset + kHalf + 1798 * c0 - 1507 * c1 - 291 * c2) >> 12;
      d[3 * x] = Clamp16(yv);
      d[3 * x + 1] = Clamp16(uv);
      d[3 * x + 2] = Clamp16(vv);
    }
  }
  return kiln::kStatusOk;
}
