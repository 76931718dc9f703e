// Fixed-point constants of kiln::CvtColor and the per-pixel formulas built on
// them. The plain kernels are these formulas in loops; the NEON kernels use
// the same constants and fall back to these functions for row tails, so both
// targets give identical bytes.
#ifndef KILN_OPS_CVTCOLOR_CVTCOLOR_FIXED_POINT_H_
#define KILN_OPS_CVTCOLOR_CVTCOLOR_FIXED_POINT_H_

#include <cstdint>

namespace kiln {
namespace cvtcolor {

// ---- YUV <-> RGB (BT.601): coefficients scaled by 2^20 ---------------------
constexpr int kYuvShift = 20;
constexpr int32_t kYuvHalf = 1 << 19;  // rounds the shift to nearest

// YUV -> RGB, video range (Y 16..235, chroma 16..240).
constexpr int32_t kVideoY = 1220542;   // 1.164 * 2^20 (255 / 219)
constexpr int32_t kVideoRv = 1673527;  // 1.596 * 2^20
constexpr int32_t kVideoGv = 852492;   // 0.813 * 2^20
constexpr int32_t kVideoGu = 409993;   // 0.391 * 2^20
constexpr int32_t kVideoBu = 2116026;  // 2.018 * 2^20
constexpr int32_t kVideoYBlack = 16;

// YUV -> RGB, full range: Y is used as it is (weight 2^20).
constexpr int32_t kFullRv = 1471152;  // 1.403 * 2^20
constexpr int32_t kFullGv = 748683;   // 0.714 * 2^20
constexpr int32_t kFullGu = 359661;   // 0.343 * 2^20
constexpr int32_t kFullBu = 1855979;  // 1.770 * 2^20

// RGB -> YUV, video range.
constexpr int32_t kVideoYr = 269484;         // 0.257 * 2^20
constexpr int32_t kVideoYg = 528482;         // 0.504 * 2^20
constexpr int32_t kVideoYb = 102760;         // 0.098 * 2^20
constexpr int32_t kVideoYOffset = 17301504;  // 16.5 * 2^20: black level 16 plus the rounding half
constexpr int32_t kVideoUr = 155188;         // 0.148 * 2^20
constexpr int32_t kVideoUg = 305135;         // 0.291 * 2^20
constexpr int32_t kVideoUb = 460324;         // 0.439 * 2^20
constexpr int32_t kVideoVr = 460324;         // 0.439 * 2^20
constexpr int32_t kVideoVg = 385875;         // 0.368 * 2^20
constexpr int32_t kVideoVb = 74448;          // 0.071 * 2^20

// RGB -> YUV, full range.
constexpr int32_t kFullYr = 313524;  // 0.299 * 2^20
constexpr int32_t kFullYg = 615514;  // 0.587 * 2^20
constexpr int32_t kFullYb = 119538;  // 0.114 * 2^20
constexpr int32_t kFullUr = 176895;  // 0.1687 * 2^20
constexpr int32_t kFullUg = 347393;  // 0.3313 * 2^20
constexpr int32_t kFullUb = 524288;  // 0.5 * 2^20
constexpr int32_t kFullVr = 524288;  // 0.5 * 2^20
constexpr int32_t kFullVg = 439039;  // 0.4187 * 2^20
constexpr int32_t kFullVb = 85249;   // 0.0813 * 2^20

// Chroma offset 128 plus the rounding half, in the 2^20 scale.
constexpr int32_t kChromaOffset = (128 << kYuvShift) + kYuvHalf;

// ---- P010: the full-range coefficients shifted by 14 instead of 20 ---------
// so every result is the 10-bit sample times 64 (MSB-aligned in 16 bits).
constexpr int kP010Shift = 14;
constexpr int64_t kP010Half = 1 << 13;
constexpr int64_t kP010ChromaOffset = (int64_t{1} << 29) + kP010Half;  // 128 * 2^20 * 4
constexpr int64_t kP010Max = 65535;

// The vector form splits every coefficient c into c = hi * 2^14 + lo with
// 0 <= lo < 2^14. Then (sum c x + k 2^14 + 2^13) >> 14 equals
// sum hi x + k + ((sum lo x + 2^13) >> 14) exactly, and for 16-bit x both
// sums fit 32 bits (the lo weights of each formula add up to at most 2^14).
constexpr int32_t P010Hi(int32_t c) { return c >= 0 ? c >> kP010Shift : -((-c + 16383) >> kP010Shift); }
constexpr int32_t P010Lo(int32_t c) { return c - P010Hi(c) * (1 << kP010Shift); }
constexpr int32_t kP010ChromaHi = 1 << 15;  // the chroma offset 2^29 in units of 2^14

static_assert(P010Hi(kFullYr) == 19 && P010Lo(kFullYr) == 2228, "P010 split");
static_assert(P010Hi(-kFullUg) == -22 && P010Lo(-kFullUg) == 13055, "P010 split of a negative weight");
static_assert(P010Lo(kFullYr) + P010Lo(kFullYg) + P010Lo(kFullYb) <= (1 << kP010Shift), "P010 Y low sum");
static_assert(P010Lo(-kFullUr) + P010Lo(-kFullUg) + P010Lo(kFullUb) <= (1 << kP010Shift), "P010 U low sum");
static_assert(P010Lo(kFullVr) + P010Lo(-kFullVg) + P010Lo(-kFullVb) <= (1 << kP010Shift), "P010 V low sum");

// ---- Gray: BT.601 luma weights scaled by 2^15 (they sum to 2^15) ----------
constexpr int kGrayShift = 15;
constexpr int32_t kGrayHalf = 1 << 14;
constexpr int32_t kGrayB = 3735;   // 0.114 * 2^15
constexpr int32_t kGrayG = 19235;  // 0.587 * 2^15
constexpr int32_t kGrayR = 9798;   // 0.299 * 2^15

// ---- Per-pixel formulas ----------------------------------------------------

inline uint8_t ClampU8(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

inline uint16_t ClampU16(int64_t v) { return static_cast<uint16_t>(v < 0 ? 0 : (v > kP010Max ? kP010Max : v)); }

// The chroma part of R, G and B (rounding half included) for one U, V pair;
// shared by every pixel the pair serves.
struct ChromaTerms {
  int32_t r;
  int32_t g;
  int32_t b;
};

template <bool kFullRange>
inline ChromaTerms YuvChromaTerms(int32_t u, int32_t v) {
  const int32_t du = u - 128;
  const int32_t dv = v - 128;
  if (kFullRange) {
    return {kFullRv * dv + kYuvHalf, kYuvHalf - kFullGv * dv - kFullGu * du, kFullBu * du + kYuvHalf};
  }
  return {kVideoRv * dv + kYuvHalf, kYuvHalf - kVideoGv * dv - kVideoGu * du, kVideoBu * du + kYuvHalf};
}

// The luma part of R, G and B.
template <bool kFullRange>
inline int32_t YuvLumaTerm(int32_t y) {
  if (kFullRange) return y << kYuvShift;
  return kVideoY * ((y > kVideoYBlack ? y : kVideoYBlack) - kVideoYBlack);
}

// Writes R, G, B of one pixel.
inline void StoreRgb(int32_t luma, const ChromaTerms& c, uint8_t* rgb) {
  rgb[0] = ClampU8((luma + c.r) >> kYuvShift);
  rgb[1] = ClampU8((luma + c.g) >> kYuvShift);
  rgb[2] = ClampU8((luma + c.b) >> kYuvShift);
}

template <bool kFullRange>
inline uint8_t RgbToY(int32_t r, int32_t g, int32_t b) {
  if (kFullRange) return ClampU8((kFullYr * r + kFullYg * g + kFullYb * b + kYuvHalf) >> kYuvShift);
  return ClampU8((kVideoYr * r + kVideoYg * g + kVideoYb * b + kVideoYOffset) >> kYuvShift);
}

template <bool kFullRange>
inline uint8_t RgbToU(int32_t r, int32_t g, int32_t b) {
  if (kFullRange) return ClampU8((kChromaOffset - kFullUr * r - kFullUg * g + kFullUb * b) >> kYuvShift);
  return ClampU8((kChromaOffset - kVideoUr * r - kVideoUg * g + kVideoUb * b) >> kYuvShift);
}

template <bool kFullRange>
inline uint8_t RgbToV(int32_t r, int32_t g, int32_t b) {
  if (kFullRange) return ClampU8((kChromaOffset + kFullVr * r - kFullVg * g - kFullVb * b) >> kYuvShift);
  return ClampU8((kChromaOffset + kVideoVr * r - kVideoVg * g - kVideoVb * b) >> kYuvShift);
}

// P010 samples from 16-bit R, G, B (64-bit sums: the products of full 16-bit
// inputs overflow 32 bits).
inline uint16_t RgbToP010Y(int64_t r, int64_t g, int64_t b) {
  return ClampU16((kFullYr * r + kFullYg * g + kFullYb * b + kP010Half) >> kP010Shift);
}

inline uint16_t RgbToP010U(int64_t r, int64_t g, int64_t b) {
  return ClampU16((kP010ChromaOffset - kFullUr * r - kFullUg * g + kFullUb * b) >> kP010Shift);
}

inline uint16_t RgbToP010V(int64_t r, int64_t g, int64_t b) {
  return ClampU16((kP010ChromaOffset + kFullVr * r - kFullVg * g - kFullVb * b) >> kP010Shift);
}

// Gray from channels c0, c1, c2 where w0 weighs c0 and w2 weighs c2 (blue
// and red weights in the order of the source).
inline uint8_t GrayPixel(int32_t c0, int32_t c1, int32_t c2, int32_t w0, int32_t w2) {
  return static_cast<uint8_t>((w0 * c0 + kGrayG * c1 + w2 * c2 + kGrayHalf) >> kGrayShift);
}

// ---- Bayer bilinear interpolation (rounded means) --------------------------

template <typename T>
inline T Mean2(T a, T b) {
  return static_cast<T>((static_cast<uint32_t>(a) + b + 1) >> 1);
}

template <typename T>
inline T Mean4(T a, T b, T c, T d) {
  return static_cast<T>((static_cast<uint32_t>(a) + b + c + d + 2) >> 2);
}

// One pixel j (0 < j < width - 1) of a row whose even positions are green
// (G X G X ...), between two rows of the pattern Y G Y G. X goes to channel
// x_ch (0 or 2), Y to the other one, green to channel 1.
template <typename T>
inline void BayerGreenFirstPixel(const T* above, const T* row, const T* below, int j, int x_ch, T* out) {
  T x, g, y;
  if (j & 1) {
    x = row[j];
    g = Mean4(row[j - 1], row[j + 1], above[j], below[j]);
    y = Mean4(above[j - 1], above[j + 1], below[j - 1], below[j + 1]);
  } else {
    g = row[j];
    x = Mean2(row[j - 1], row[j + 1]);
    y = Mean2(above[j], below[j]);
  }
  out[x_ch] = x;
  out[1] = g;
  out[2 - x_ch] = y;
}

// One pixel j of a row whose even positions are Y (Y G Y G ...), between two
// rows of the pattern G X G X.
template <typename T>
inline void BayerColourFirstPixel(const T* above, const T* row, const T* below, int j, int x_ch, T* out) {
  T x, g, y;
  if (j & 1) {
    g = row[j];
    y = Mean2(row[j - 1], row[j + 1]);
    x = Mean2(above[j], below[j]);
  } else {
    y = row[j];
    g = Mean4(row[j - 1], row[j + 1], above[j], below[j]);
    x = Mean4(above[j - 1], above[j + 1], below[j - 1], below[j + 1]);
  }
  out[x_ch] = x;
  out[1] = g;
  out[2 - x_ch] = y;
}

// The first and last pixel of a written row repeat their inner neighbours.
template <typename T>
inline void BayerCopyEdgePixels(T* out, int width) {
  for (int c = 0; c < 3; ++c) {
    out[c] = out[3 + c];
    out[3 * (width - 1) + c] = out[3 * (width - 2) + c];
  }
}

}  // namespace cvtcolor
}  // namespace kiln

#endif  // KILN_OPS_CVTCOLOR_CVTCOLOR_FIXED_POINT_H_
