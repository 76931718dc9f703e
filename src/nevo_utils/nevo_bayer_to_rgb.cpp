// Raw Bayer to 16-bit RGB for the plain EV0 conversion: per-position gains
// with an 8-bit scale, demosaic, then back to a 16-bit range.
#include <cstdint>

#include "kiln/ops/cvtcolor/cvtcolor.h"
#include "kiln/ops/matrix/convert_to.h"
#include "kiln/runtime/context/logger.h"
#include "kiln/runtime/memory/buffer.h"
#include "nevo_utils/nevo_image.h"

namespace {

constexpr int kFail = NEVO_ERR_FAILED;

// The single-precision value nearest 1/63: a 14-bit sample to 8 bits.
constexpr float kTo8Bit = 0.015873017f;
// 8-bit 255 becomes 255 x 255.
constexpr float kTo16Bit = 255.0f;

// Nearest integer (ties to even) of x clamped to [0, 255]; NaN gives 0.
// Adding and removing 2^23 rounds in the default rounding mode.
inline uint8_t Saturate8(float x) {
  if (!(x > 0.0f)) return 0;
  if (x >= 255.0f) return 255;
  return static_cast<uint8_t>((x + 8388608.0f) - 8388608.0f);
}

// The demosaic code for each NevoImage pattern; 0 (rejected by the operator)
// for anything else.
kiln::CvtColorType BayerCode(int32_t pattern) {
  switch (pattern) {
    case NEVO_PATTERN_RGGB:
      return kiln::BAYERRG2BGR;
    case NEVO_PATTERN_GRBG:
      return kiln::BAYERGR2BGR;
    case NEVO_PATTERN_BGGR:
      return kiln::BAYERBG2BGR;
    case NEVO_PATTERN_GBRG:
      return kiln::BAYERGB2BGR;
    default:
      return static_cast<kiln::CvtColorType>(0);
  }
}

// Scales each 2 x 2 cell of the 16-bit mosaic to 8 bits with the gain of its
// position; an odd last row or column is left as it is.
void ScaleMosaic(const kiln::Mat& raw, const kiln::Mat& mosaic, const float gains[4]) {
  const int half_h = raw.Height() / 2;
  const int half_w = raw.Width() / 2;
  for (int i = 0; i < half_h; ++i) {
    for (int dy = 0; dy < 2; ++dy) {
      const uint16_t* s = raw.Ptr<uint16_t>(2 * i + dy);
      uint8_t* d = mosaic.Ptr<uint8_t>(2 * i + dy);
      const float g0 = gains[2 * dy];
      const float g1 = gains[2 * dy + 1];
      for (int j = 0; j < half_w; ++j) {
        d[2 * j] = Saturate8(static_cast<float>(s[2 * j]) * kTo8Bit * g0);
        d[2 * j + 1] = Saturate8(static_cast<float>(s[2 * j + 1]) * kTo8Bit * g1);
      }
    }
  }
}

}  // namespace

int NevoBayerToRGB16(kiln::Context* ctx, const NevoImage* src, const NevoImage* dst, const float gains[4]) {
  if (src == nullptr || dst == nullptr) {
    KILN_RECORD(ctx, "NevoBayerToRGB: src or dst is NULL");
    return kFail;
  }
  if (src->format != NEVO_FORMAT_RAW) {
    KILN_RECORD(ctx, "NevoBayerToRGB: src format is not raw");
    return kFail;
  }
  if (dst->format != NEVO_FORMAT_RGB) {
    KILN_RECORD(ctx, "NevoBayerToRGB: dst format is not rgb");
    return kFail;
  }
  if (src->plane[0] == nullptr || dst->plane[0] == nullptr) {
    KILN_RECORD(ctx, "NevoBayerToRGB: src or dst plane is NULL");
    return kFail;
  }
  if (src->width != dst->width || src->height != dst->height) {
    KILN_RECORD(ctx, "NevoBayerToRGB: src and dst size not match");
    return kFail;
  }
  if (gains == nullptr) {
    KILN_RECORD(ctx, "NevoBayerToRGB: gains is NULL");
    return kFail;
  }
  const kiln::Mat raw = NevoImage2Mat(ctx, *src);
  kiln::Mat rgb = NevoImage2Mat(ctx, *dst);
  // The scaling loop reads 16-bit samples; anything else would be misread
  // or read past the rows.
  if (!raw.IsValid() || raw.GetElemType() != kiln::QX_U16) {
    KILN_RECORD(ctx, "NevoBayerToRGB: src is not a 16-bit raw image");
    return kFail;
  }
  kiln::Mat mosaic(ctx, kiln::QX_U8, {raw.Height(), raw.Width(), 1}, kiln::KILN_MEM_HEAP);
  kiln::Mat bgr(ctx, kiln::QX_U8, {raw.Height(), raw.Width(), 3}, kiln::KILN_MEM_HEAP);
  if (!mosaic.IsValid() || !bgr.IsValid()) {
    KILN_RECORD(ctx, "NevoBayerToRGB: create temp mat failed");
    return kFail;
  }
  ScaleMosaic(raw, mosaic, gains);
  if (kiln::ICvtColor(ctx, {&mosaic}, {&bgr}, BayerCode(src->pattern), kiln::TargetInfo(kiln::kTargetNeon, false)) !=
      0) {
    KILN_RECORD(ctx, "NevoBayerToRGB: cvt color failed");
    return kFail;
  }
  if (kiln::IConvertTo(ctx, &bgr, &rgb, kiln::TargetInfo(kiln::kTargetNeon, false), kTo16Bit, 0.0f) != 0) {
    KILN_RECORD(ctx, "NevoBayerToRGB: convert to u16 failed");
    return kFail;
  }
  return 0;
}
