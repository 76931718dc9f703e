#include "tools/nevo_capture/preview.h"

#include <algorithm>
#include <cmath>

#include "tools/nevo_capture/row_bands.h"

namespace nevo_capture {

namespace {

// 8-bit sRGB codes of 4096 linear steps: finer than one code everywhere
// except the very darkest shadows, where the curve is steepest. One
// process-wide constant instance (Srgb()), read-only after construction.
class SrgbTable {
 public:
  SrgbTable() {
    for (int i = 0; i < kSize; ++i) table_[i] = EncodeSrgb8(static_cast<double>(i) / (kSize - 1));
  }
  uint8_t operator()(float linear) const {
    const float clipped = std::clamp(linear, 0.0f, 1.0f);
    return table_[static_cast<int>(clipped * (kSize - 1) + 0.5f)];
  }

 private:
  static constexpr int kSize = 4096;
  uint8_t table_[kSize];
};

const SrgbTable& Srgb() {
  static const SrgbTable table;
  return table;
}

// Bilinear lookup of a 13 x 17 grid at pixel (x, y) of a width x height frame.
float GridAt(const float (&grid)[kLscRows][kLscCols], double x, double y, int width, int height) {
  const double gx = std::clamp(x * (kLscCols - 1) / width, 0.0, static_cast<double>(kLscCols - 1));
  const double gy = std::clamp(y * (kLscRows - 1) / height, 0.0, static_cast<double>(kLscRows - 1));
  const int ix = std::min(static_cast<int>(gx), kLscCols - 2);
  const int iy = std::min(static_cast<int>(gy), kLscRows - 2);
  const double fx = gx - ix;
  const double fy = gy - iy;
  const double top = grid[iy][ix] + (grid[iy][ix + 1] - grid[iy][ix]) * fx;
  const double bottom = grid[iy + 1][ix] + (grid[iy + 1][ix + 1] - grid[iy + 1][ix]) * fx;
  return static_cast<float>(top + (bottom - top) * fy);
}

const float (&GridOf(const LscGrids& lsc, CfaColour colour))[kLscRows][kLscCols] {
  switch (colour) {
    case CfaColour::kR:
      return lsc.r;
    case CfaColour::kGr:
      return lsc.gr;
    case CfaColour::kGb:
      return lsc.gb;
    default:
      return lsc.b;
  }
}

inline int Reflect(int i, int n) { return i < 0 ? -i : (i >= n ? 2 * n - 2 - i : i); }

}  // namespace

uint8_t EncodeSrgb8(double linear) {
  const double v = std::clamp(linear, 0.0, 1.0);
  const double encoded = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
  return static_cast<uint8_t>(std::lround(std::clamp(encoded, 0.0, 1.0) * 255.0));
}

Rgb8Image PreviewFromRaw(const U16View& raw, int pattern, const SensorLevels& levels,
                         const std::array<float, 4>& cell_wb, const LscGrids* lsc) {
  Rgb8Image out;
  if (raw.data == nullptr || raw.width < 2 || raw.height < 2 || raw.channels != 1 || pattern < 0 || pattern > 3 ||
      raw.pitch < raw.width * 2 || levels.white <= levels.black) {
    return out;
  }
  const int w = raw.width;
  const int h = raw.height;
  // Balanced, shading-corrected mosaic on the 0..1 scale.
  std::vector<float> mosaic(static_cast<size_t>(w) * h);
  const float scale = 1.0f / static_cast<float>(levels.white - levels.black);
  ForEachRowBand(h, [&](int begin, int end) {
    for (int y = begin; y < end; ++y) {
      const uint16_t* src = raw.Row(y);
      float* dst = &mosaic[static_cast<size_t>(y) * w];
      for (int x = 0; x < w; ++x) {
        float v = (static_cast<float>(src[x]) - levels.black) * scale * cell_wb[2 * (y & 1) + (x & 1)];
        if (lsc != nullptr) v *= GridAt(GridOf(*lsc, CfaAt(pattern, x, y)), x + 0.5, y + 0.5, w, h);
        dst[x] = v;
      }
    }
  });
  out.width = w;
  out.height = h;
  out.rgb.resize(static_cast<size_t>(w) * h * 3);
  const SrgbTable& srgb = Srgb();
  ForEachRowBand(h, [&](int begin, int end) {
    for (int y = begin; y < end; ++y) {
      uint8_t* dst = &out.rgb[static_cast<size_t>(y) * w * 3];
      for (int x = 0; x < w; ++x) {
        float sum[3] = {0.0f, 0.0f, 0.0f};
        int count[3] = {0, 0, 0};
        const int own = RgbChannelOf(CfaAt(pattern, x, y));
        for (int dy = -1; dy <= 1; ++dy) {
          const int yy = Reflect(y + dy, h);
          for (int dx = -1; dx <= 1; ++dx) {
            const int xx = Reflect(x + dx, w);
            // Reflection keeps the parity, so (xx, yy) has the colour of (x + dx, y + dy).
            const int c = RgbChannelOf(CfaAt(pattern, x + dx, y + dy));
            if (c == own) continue;
            sum[c] += mosaic[static_cast<size_t>(yy) * w + xx];
            ++count[c];
          }
        }
        sum[own] = mosaic[static_cast<size_t>(y) * w + x];
        count[own] = 1;
        for (int c = 0; c < 3; ++c) dst[3 * x + c] = srgb(count[c] > 0 ? sum[c] / count[c] : 0.0f);
      }
    }
  });
  return out;
}

Rgb8Image PreviewFromRgb16(const U16View& rgb) {
  Rgb8Image out;
  if (rgb.data == nullptr || rgb.width < 1 || rgb.height < 1 || rgb.channels != 3 || rgb.pitch < rgb.width * 6) {
    return out;
  }
  const int w = rgb.width;
  const int h = rgb.height;
  // Histogram of the brightest channel for the exposure of the preview.
  std::vector<uint32_t> histogram(65536, 0);
  for (int y = 0; y < h; ++y) {
    const uint16_t* row = rgb.Row(y);
    for (int x = 0; x < w; ++x) ++histogram[std::max({row[3 * x], row[3 * x + 1], row[3 * x + 2]})];
  }
  const uint64_t target = static_cast<uint64_t>(w) * h * 99 / 100;
  uint64_t seen = 0;
  int p99 = 0;
  for (; p99 < 65535; ++p99) {
    seen += histogram[p99];
    if (seen > target) break;
  }
  const float scale = 0.9f / static_cast<float>(std::max(p99, 1));
  constexpr float kKnee = 0.75f;
  auto tone = [](float v) {
    if (v <= kKnee) return v;
    return kKnee + (1.0f - kKnee) * (1.0f - std::exp(-(v - kKnee) / (1.0f - kKnee)));
  };
  out.width = w;
  out.height = h;
  out.rgb.resize(static_cast<size_t>(w) * h * 3);
  const SrgbTable& srgb = Srgb();
  ForEachRowBand(h, [&](int begin, int end) {
    for (int y = begin; y < end; ++y) {
      const uint16_t* src = rgb.Row(y);
      uint8_t* dst = &out.rgb[static_cast<size_t>(y) * w * 3];
      for (int i = 0; i < 3 * w; ++i) dst[i] = srgb(tone(src[i] * scale));
    }
  });
  return out;
}

SensorLevels AutoRawLevels(const U16View& raw, const SensorLevels& nominal) {
  if (raw.data == nullptr || raw.width < 1 || raw.height < 1) return nominal;
  std::vector<uint32_t> histogram(65536, 0);
  int max_value = 0;
  for (int y = 0; y < raw.height; ++y) {
    const uint16_t* row = raw.Row(y);
    for (int x = 0; x < raw.width * raw.channels; ++x) {
      ++histogram[row[x]];
      max_value = std::max<int>(max_value, row[x]);
    }
  }
  const uint64_t target = static_cast<uint64_t>(raw.width) * raw.height * raw.channels / 1000;
  uint64_t seen = 0;
  int low = 0;
  for (; low < 65535; ++low) {
    seen += histogram[low];
    if (seen > target) break;
  }
  SensorLevels levels{std::min(nominal.black, low), std::max(nominal.white, max_value)};
  if (levels.white <= levels.black) levels.white = levels.black + 1;
  return levels;
}

}  // namespace nevo_capture
