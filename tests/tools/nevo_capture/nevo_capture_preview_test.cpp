// Previews (demosaic, white balance, shading, tone map) and their PNG files,
// read back with libpng.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tools/nevo_capture/burst_synth.h"
#include "tools/nevo_capture/png_writer.h"
#include "tools/nevo_capture/preview.h"

namespace nevo_capture {
namespace {

// A flat colour as a sensor with these white-balance gains would record it.
std::vector<uint16_t> FlatMosaic(int w, int h, int pattern, const SensorLevels& l, const double rgb[3],
                                 const std::array<float, 4>& wb) {
  std::vector<uint16_t> raw(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double v = rgb[RgbChannelOf(CfaAt(pattern, x, y))] / wb[2 * (y & 1) + (x & 1)];
      raw[static_cast<size_t>(y) * w + x] = QuantizeSample(v, l);
    }
  }
  return raw;
}

struct PngPixels {
  int width = 0;
  int height = 0;
  int channels = 0;
  int bit_depth = 0;
  std::vector<uint8_t> data;
  uint8_t At(int x, int y, int c) const { return data[(static_cast<size_t>(y) * width + x) * channels + c]; }
};

// Independent reader: libpng's simplified API.
bool ReadPng(const std::string& path, PngPixels* out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  out->width = static_cast<int>(image.width);
  out->height = static_cast<int>(image.height);
  out->channels = PNG_IMAGE_SAMPLE_CHANNELS(image.format);
  out->bit_depth = PNG_IMAGE_SAMPLE_COMPONENT_SIZE(image.format) * 8;
  image.format = PNG_FORMAT_RGB;
  out->channels = 3;
  out->data.resize(PNG_IMAGE_SIZE(image));
  const bool ok = png_image_finish_read(&image, nullptr, out->data.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return ok;
}

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/nevo_capture_preview_XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made != nullptr ? made : "";
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// ---- sRGB and RAW previews ---------------------------------------------

TEST(Srgb, EncodeSrgb8_FollowsTheSrgbCurveAndClips) {
  EXPECT_EQ(EncodeSrgb8(0.0), 0);
  EXPECT_EQ(EncodeSrgb8(1.0), 255);
  EXPECT_EQ(EncodeSrgb8(0.18), 118) << "18% grey is code 118 in sRGB";
  EXPECT_EQ(EncodeSrgb8(0.001), 3) << "the linear toe: 12.92 * 0.001 * 255";
  EXPECT_EQ(EncodeSrgb8(-1.0), 0);
  EXPECT_EQ(EncodeSrgb8(7.0), 255);
}

TEST(RawPreview, FlatColour_ComesOutBalancedOnEveryPatternAndPixel) {
  const SensorLevels l{256, 4095};
  const double colour[3] = {0.5, 0.3, 0.1};
  for (int pattern = 0; pattern < 4; ++pattern) {
    BurstParams p;
    p.pattern = pattern;
    const std::array<float, 4> wb = CellWbGains(p);
    const int w = 34;
    const int h = 22;
    const std::vector<uint16_t> raw = FlatMosaic(w, h, pattern, l, colour, wb);
    const Rgb8Image img = PreviewFromRaw(U16View{raw.data(), w, h, w * 2, 1}, pattern, l, wb, nullptr);
    ASSERT_EQ(img.width, w);
    ASSERT_EQ(img.height, h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        for (int c = 0; c < 3; ++c) {
          // One code of slack for the 12-bit quantisation.
          ASSERT_NEAR(img.rgb[(static_cast<size_t>(y) * w + x) * 3 + c], EncodeSrgb8(colour[c]), 1)
              << "pattern " << pattern << " pixel " << x << "," << y << " channel " << c;
        }
      }
    }
  }
}

TEST(RawPreview, Levels_MapBlackToZeroAndWhiteToFullScale) {
  const SensorLevels l{64, 1023};
  const std::array<float, 4> unity = {1.0f, 1.0f, 1.0f, 1.0f};
  std::vector<uint16_t> raw(16 * 16, 64);
  for (int x = 0; x < 16; ++x) {
    for (int y = 8; y < 16; ++y) raw[y * 16 + x] = 1023;
  }
  const Rgb8Image img = PreviewFromRaw(U16View{raw.data(), 16, 16, 32, 1}, 0, l, unity, nullptr);
  ASSERT_EQ(img.rgb.size(), 16u * 16u * 3u);
  EXPECT_EQ(img.rgb[(2 * 16 + 5) * 3 + 0], 0);
  EXPECT_EQ(img.rgb[(2 * 16 + 5) * 3 + 1], 0);
  EXPECT_EQ(img.rgb[(12 * 16 + 5) * 3 + 2], 255);
  EXPECT_EQ(img.rgb[(12 * 16 + 5) * 3 + 1], 255);
}

TEST(RawPreview, LensShadingGrids_FlattenTheSyntheticFalloff) {
  BurstParams p;
  p.width = 128;
  p.height = 96;
  const LscGrids grids = MakeLscGrids(p);
  const SensorLevels l{256, 4095};
  const std::array<float, 4> unity = {1.0f, 1.0f, 1.0f, 1.0f};
  std::vector<uint16_t> raw(static_cast<size_t>(p.width) * p.height);
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      raw[static_cast<size_t>(y) * p.width + x] =
          QuantizeSample(0.5 * LensFalloff(p, CfaAt(0, x, y), x + 0.5, y + 0.5), l);
    }
  }
  const U16View view{raw.data(), p.width, p.height, p.width * 2, 1};
  const Rgb8Image corrected = PreviewFromRaw(view, 0, l, unity, &grids);
  const Rgb8Image shaded = PreviewFromRaw(view, 0, l, unity, nullptr);
  const int flat = EncodeSrgb8(0.5);
  for (size_t i = 0; i < corrected.rgb.size(); ++i) ASSERT_NEAR(corrected.rgb[i], flat, 2) << "sample " << i;
  EXPECT_LT(shaded.rgb[(1 * p.width + 1) * 3 + 0], flat - 20) << "the corner is dark without correction";
}

TEST(RawPreview, UnusableInput_GivesAnEmptyImage) {
  const SensorLevels l{256, 4095};
  const std::array<float, 4> wb = {1.0f, 1.0f, 1.0f, 1.0f};
  std::vector<uint16_t> raw(64, 300);
  EXPECT_TRUE(PreviewFromRaw(U16View{nullptr, 8, 8, 16, 1}, 0, l, wb, nullptr).rgb.empty());
  EXPECT_TRUE(PreviewFromRaw(U16View{raw.data(), 8, 8, 8, 1}, 0, l, wb, nullptr).rgb.empty()) << "pitch too small";
  EXPECT_TRUE(PreviewFromRaw(U16View{raw.data(), 8, 8, 16, 1}, 5, l, wb, nullptr).rgb.empty()) << "pattern 5";
  EXPECT_TRUE(PreviewFromRaw(U16View{raw.data(), 8, 8, 16, 1}, 0, SensorLevels{300, 300}, wb, nullptr).rgb.empty());
  EXPECT_TRUE(PreviewFromRgb16(U16View{raw.data(), 4, 4, 16, 1}).rgb.empty()) << "RGB needs 3 channels";
  EXPECT_TRUE(PreviewFromRgb16(U16View{raw.data(), 4, 4, 8, 3}).rgb.empty()) << "pitch too small";
}

// ---- RGB16 tone mapping and RAW auto levels ------------------------------

TEST(RgbPreview, ToneMap_Puts99thPercentileNearWhiteAndRollsOffHighlights) {
  const int w = 100;
  const int h = 10;
  const int row_pitch = w * 6 + 8;  // padded rows must be honoured
  std::vector<uint16_t> buf(static_cast<size_t>(row_pitch / 2) * h, 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      // A ramp of grey levels 0..9900 and one row of much brighter highlights.
      const uint16_t v = y == h - 1 && x < 5 ? 60000 : static_cast<uint16_t>(x * 100);
      for (int c = 0; c < 3; ++c) buf[static_cast<size_t>(y) * (row_pitch / 2) + 3 * x + c] = v;
    }
    for (int pad = 0; pad < 4; ++pad) buf[static_cast<size_t>(y) * (row_pitch / 2) + 3 * w + pad] = 65535;
  }
  const Rgb8Image img = PreviewFromRgb16(U16View{buf.data(), w, h, row_pitch, 3});
  ASSERT_EQ(img.width, w);
  auto at = [&](int x, int y) { return static_cast<int>(img.rgb[(static_cast<size_t>(y) * w + x) * 3 + 1]); };
  for (int x = 1; x < w; ++x) EXPECT_GE(at(x, 0), at(x - 1, 0)) << "monotonic at " << x;
  EXPECT_EQ(at(0, 0), 0);
  // The 99th percentile (9900) lands at 0.9 before the knee roll-off.
  EXPECT_NEAR(at(99, 0), EncodeSrgb8(0.75 + 0.25 * (1.0 - std::exp(-(0.9 - 0.75) / 0.25))), 2);
  EXPECT_GE(at(0, h - 1), 250) << "highlights roll off towards white";
  EXPECT_LE(at(0, h - 1), 255);
  EXPECT_LT(at(50, 0), 230) << "a few highlights do not wash out the exposure";
}

TEST(RgbPreview, AutoRawLevels_WidenToTheDataButNeverNarrow) {
  std::vector<uint16_t> data(1000, 800);
  data[0] = 10;
  data[2] = 10;
  data[1] = 16383;
  const U16View view{data.data(), 1000, 1, 2000, 1};
  const SensorLevels wide = AutoRawLevels(view, SensorLevels{256, 4095});
  EXPECT_EQ(wide.white, 16383) << "a 14-bit output widens a 12-bit nominal range";
  EXPECT_EQ(wide.black, 10) << "two of 1000 samples are past the 0.1th percentile";
  std::vector<uint16_t> inside(1000, 800);
  const SensorLevels same = AutoRawLevels(U16View{inside.data(), 1000, 1, 2000, 1}, SensorLevels{256, 4095});
  EXPECT_EQ(same.black, 256);
  EXPECT_EQ(same.white, 4095);
}

// ---- PNG files -------------------------------------------------------------

TEST(PngWriter, WrittenFile_ReadsBackWithItsSizeAndPixels) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  Rgb8Image img;
  img.width = 37;  // odd sizes catch row-stride mistakes
  img.height = 23;
  img.rgb.resize(static_cast<size_t>(img.width) * img.height * 3);
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) {
      uint8_t* px = &img.rgb[(static_cast<size_t>(y) * img.width + x) * 3];
      px[0] = static_cast<uint8_t>(x * 7);
      px[1] = static_cast<uint8_t>(y * 11);
      px[2] = static_cast<uint8_t>((x + y) * 3);
    }
  }
  const std::string path = dir.path() + "/pattern.png";
  std::string error;
  ASSERT_TRUE(WritePngRgb8(path, img, &error)) << error;
  PngPixels back;
  ASSERT_TRUE(ReadPng(path, &back));
  EXPECT_EQ(back.width, 37);
  EXPECT_EQ(back.height, 23);
  EXPECT_EQ(back.bit_depth, 8);
  for (const auto& xy : {std::pair<int, int>{0, 0}, {36, 0}, {0, 22}, {36, 22}, {17, 9}}) {
    const int x = xy.first;
    const int y = xy.second;
    EXPECT_EQ(back.At(x, y, 0), static_cast<uint8_t>(x * 7)) << x << "," << y;
    EXPECT_EQ(back.At(x, y, 1), static_cast<uint8_t>(y * 11)) << x << "," << y;
    EXPECT_EQ(back.At(x, y, 2), static_cast<uint8_t>((x + y) * 3)) << x << "," << y;
  }
}

TEST(PngWriter, SyntheticPreview_RoundTripsExactly) {
  TempDir dir;
  BurstParams p;
  p.width = 160;
  p.height = 120;
  Burst burst;
  std::string error;
  ASSERT_TRUE(SynthesizeBurst(p, &burst, &error)) << error;
  const Rgb8Image img = PreviewFromRaw(U16View{burst.frames[1].raw.data(), p.width, p.height, p.width * 2, 1},
                                       p.pattern, burst.levels, burst.wb_gain, &burst.lsc);
  const std::string path = dir.path() + "/ev0.png";
  ASSERT_TRUE(WritePngRgb8(path, img, &error)) << error;
  PngPixels back;
  ASSERT_TRUE(ReadPng(path, &back));
  ASSERT_EQ(back.data.size(), img.rgb.size());
  EXPECT_EQ(back.data, img.rgb);
}

TEST(PngWriter, BadTargetOrImage_FailsWithAReason) {
  TempDir dir;
  Rgb8Image img;
  img.width = 2;
  img.height = 2;
  img.rgb.assign(12, 128);
  std::string error;
  EXPECT_FALSE(WritePngRgb8(dir.path() + "/no/such/folder/x.png", img, &error));
  EXPECT_NE(error.find("cannot create file"), std::string::npos) << error;
  Rgb8Image wrong = img;
  wrong.rgb.resize(5);
  error.clear();
  EXPECT_FALSE(WritePngRgb8(dir.path() + "/x.png", wrong, &error));
  EXPECT_NE(error.find("does not match"), std::string::npos) << error;
  EXPECT_FALSE(WritePngRgb8(dir.path() + "/y.png", Rgb8Image{}, &error));
}

}  // namespace
}  // namespace nevo_capture
