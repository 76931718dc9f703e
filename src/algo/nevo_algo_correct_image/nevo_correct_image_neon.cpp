// Channel swap (BGR <-> RGB) of 16-bit 3-channel rows, eight pixels per
// Advanced SIMD block (vld3q_u16 / vst3q_u16 through the shared header, which
// replaces SIMDe's element-by-element forms on x86); the white-balance tables
// and the 14-bit normalisation of RAW rows.
#include <algorithm>
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

// t clamped to [0, 1] (NaN to 0) times 16383, rounded to nearest, ties to
// even. Compare-and-select rather than vmaxq/vminq: NaN must become 0, and
// SIMDe's vminq_f32 goes lane by lane on x86.
inline uint32x4_t To14Bits(float32x4_t t) {
  const float32x4_t zero = vdupq_n_f32(0.0f);
  const float32x4_t one = vdupq_n_f32(1.0f);
  const float32x4_t low = vbslq_f32(vcgtq_f32(t, zero), t, zero);
  const float32x4_t clamped = vbslq_f32(vcltq_f32(low, one), low, one);
  const float32x4_t white = vdupq_n_f32(static_cast<float>(kCorrectWhite14));
  return vreinterpretq_u32_s32(kiln::neon::CvtnqS32F32(vmulq_f32(clamped, white)));
}

// Values below 2^16, converted through the faster signed form.
inline float32x4_t ToFloat(uint32x4_t v) { return vcvtq_f32_s32(vreinterpretq_s32_u32(v)); }

// gain * v / 16383 to 14 bits; a NaN gain gives 0.
inline uint32x4_t WhiteBalance4(uint32x4_t v, float32x4_t gain) {
  const float32x4_t white = vdupq_n_f32(static_cast<float>(kCorrectWhite14));
  return To14Bits(kiln::neon::Divq_f32(vmulq_f32(gain, ToFloat(v)), white));
}

inline uint16x8_t WhiteBalance8(uint16x8_t v, float32x4_t gain) {
  const uint32x4_t lo = WhiteBalance4(vmovl_u16(vget_low_u16(v)), gain);
  const uint32x4_t hi = WhiteBalance4(vmovl_u16(vget_high_u16(v)), gain);
  return vcombine_u16(vmovn_u32(lo), vmovn_u32(hi));
}

// Four samples of the 14-bit normalisation: (v - black) * dgain * shade /
// range to 14 bits.
inline uint32x4_t Normalise4(uint32x4_t v, const float* upper, const float* lower, const float* black,
                             const float* range, float32x4_t dgain, float32x4_t fy, float32x4_t one_minus_fy) {
  const float32x4_t shade = vaddq_f32(vmulq_f32(vld1q_f32(upper), one_minus_fy), vmulq_f32(vld1q_f32(lower), fy));
  const float32x4_t value = vsubq_f32(ToFloat(v), vld1q_f32(black));
  return To14Bits(kiln::neon::Divq_f32(vmulq_f32(vmulq_f32(value, dgain), shade), vld1q_f32(range)));
}

inline void Normalise8(const uint16_t* in, const float* upper, const float* lower, const float* black,
                       const float* range, float32x4_t dgain, float32x4_t fy, float32x4_t one_minus_fy,
                       uint16_t* out) {
  const uint16x8_t v = vld1q_u16(in);
  const uint32x4_t lo = Normalise4(vmovl_u16(vget_low_u16(v)), upper, lower, black, range, dgain, fy, one_minus_fy);
  const uint32x4_t hi =
      Normalise4(vmovl_u16(vget_high_u16(v)), upper + 4, lower + 4, black + 4, range + 4, dgain, fy, one_minus_fy);
  vst1q_u16(out, vcombine_u16(vmovn_u32(lo), vmovn_u32(hi)));
}

}  // namespace

void NormaliseRowNeon(const uint16_t* in, const float* upper, const float* lower, float fy, const float* black,
                      const float* range, float dgain, int width, uint16_t* out) {
  const float32x4_t g = vdupq_n_f32(dgain);
  const float32x4_t f = vdupq_n_f32(fy);
  const float32x4_t one_minus_f = vdupq_n_f32(1.0f - fy);
  int x = 0;
  for (; x + kBlock <= width; x += kBlock) {
    Normalise8(in + x, upper + x, lower + x, black + x, range + x, g, f, one_minus_f, out + x);
  }
  if (x == width) return;
  // The last samples through a whole block in scratch: same arithmetic,
  // nothing past the row read or written. Range 1 keeps the unused lanes finite.
  uint16_t in8[kBlock] = {}, out8[kBlock];
  float upper8[kBlock] = {}, lower8[kBlock] = {}, black8[kBlock] = {};
  float range8[kBlock] = {1, 1, 1, 1, 1, 1, 1, 1};
  const int rest = width - x;
  std::copy(in + x, in + width, in8);
  std::copy(upper + x, upper + width, upper8);
  std::copy(lower + x, lower + width, lower8);
  std::copy(black + x, black + width, black8);
  std::copy(range + x, range + width, range8);
  Normalise8(in8, upper8, lower8, black8, range8, g, f, one_minus_f, out8);
  std::copy(out8, out8 + rest, out + x);
}

void WhiteBalanceTableNeon(float gain, bool scale4, uint16_t* table) {
  static constexpr uint16_t kIota[kBlock] = {0, 1, 2, 3, 4, 5, 6, 7};
  const uint16x8_t iota = vld1q_u16(kIota);
  const float32x4_t g = vdupq_n_f32(gain);
  for (int v = 0; v < kWhiteBalanceTableSize; v += kBlock) {
    const uint16x8_t balanced = WhiteBalance8(vaddq_u16(vdupq_n_u16(static_cast<uint16_t>(v)), iota), g);
    // 14 bits times 4 stay below 65536.
    vst1q_u16(table + v, scale4 ? vshlq_n_u16(balanced, 2) : balanced);
  }
}

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
