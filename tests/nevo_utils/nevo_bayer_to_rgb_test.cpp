// NevoBayerToRGB16: the order of its checks and their records, the 8-bit
// scale with per-position gains (16383 -> 255, 63 -> 1), the pattern codes,
// and the x255 result, on hand-computed 4 x 4 mosaics.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "algo/nevo_algo_correct_image/correct_image_test_env.h"
#include "kiln/runtime/context/context.h"
#include "nevo_utils/nevo_image.h"

namespace {

using Rgb = std::array<uint16_t, 3>;

using correct_image_test::MakeEngineContext;

// The correction tests' host image with an RGB pixel reader.
struct Image : correct_image_test::HostImage {
  using HostImage::HostImage;
  Rgb PixelAt(int y, int x) { return {At(y, x, 0), At(y, x, 1), At(y, x, 2)}; }
};

// The colour (0 R, 1 G, 2 B) of each cell position of each pattern.
constexpr int kColours[4][4] = {{0, 1, 1, 2}, {1, 0, 2, 1}, {2, 1, 1, 0}, {1, 2, 0, 1}};

class BayerToRgbTest : public ::testing::Test {
 protected:
  std::string Errors() const { return ctx_->GetLogger()->GetErrorBacktrace(); }
  size_t ErrorCount() const { return ctx_->GetLogger()->GetErrorCount(); }

  std::unique_ptr<kiln::Context> ctx_ = MakeEngineContext();
  const float unit_gains_[4] = {1.0f, 1.0f, 1.0f, 1.0f};
};

class BayerToRgbPatternTest : public BayerToRgbTest, public ::testing::WithParamInterface<int> {};

// Per colour: R 63 x 1 = 1.0000001 -> 1; G 3150 x 1 = 50.000004 -> 50 on one
// green cell and 1575 x 2 = 50.000004 -> 50 on the other; B 16383 x 1 =
// 260.05 -> 255. A flat colour demosaics to itself, so every pixel is
// (1, 50, 255) x 255 in R, G, B order.
TEST_P(BayerToRgbPatternTest, FlatMosaic_GivesGainedEightBitColourTimes255InRgbOrder) {
  SKIP_UNLESS_LEGACY_BAYER_NAMING();
  const int pattern = GetParam();
  Image src(NEVO_FORMAT_RAW, 4, 4, pattern);
  Image dst(NEVO_FORMAT_RGB, 4, 4);
  float gains[4];
  bool first_green = true;
  uint16_t at_cell[4];
  for (int cell = 0; cell < 4; ++cell) {
    switch (kColours[pattern][cell]) {
      case 0:
        at_cell[cell] = 63;
        gains[cell] = 1.0f;
        break;
      case 2:
        at_cell[cell] = 16383;
        gains[cell] = 1.0f;
        break;
      default:
        at_cell[cell] = first_green ? 3150 : 1575;
        gains[cell] = first_green ? 1.0f : 2.0f;
        first_green = false;
        break;
    }
  }
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) src.pixels[y * 4 + x] = at_cell[2 * (y % 2) + x % 2];
  }
  ASSERT_EQ(NevoBayerToRGB16(ctx_.get(), &src.img, &dst.img, gains), 0) << Errors();
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.PixelAt(y, x), (Rgb{255, 12750, 65025})) << y << "," << x;
  }
}

INSTANTIATE_TEST_SUITE_P(AllPatterns, BayerToRgbPatternTest, ::testing::Values(0, 1, 2, 3));

TEST_F(BayerToRgbTest, Samples_RoundToNearestAndSaturateAt255) {
  // Flat grey at each level: (v / 63) rounded, clamped, x 255.
  const struct {
    uint16_t sample;
    uint16_t expected;
  } cases[] = {
      {0, 0},          {31, 0},  // 0.49
      {32, 255},                 // 0.508 -> 1
      {63, 255},                 // 1.0000001 -> 1
      {94, 255},                 // 1.49 -> 1
      {16065, 65025},            // 255.0
      {16383, 65025},            // 260.05 -> 255
      {65535, 65025},
  };
  for (const auto& c : cases) {
    Image src(NEVO_FORMAT_RAW, 4, 4);
    Image dst(NEVO_FORMAT_RGB, 4, 4);
    for (uint16_t& p : src.pixels) p = c.sample;
    ASSERT_EQ(NevoBayerToRGB16(ctx_.get(), &src.img, &dst.img, unit_gains_), 0) << Errors();
    EXPECT_EQ(dst.PixelAt(1, 2), (Rgb{c.expected, c.expected, c.expected})) << "sample " << c.sample;
  }
}

TEST_F(BayerToRgbTest, Gains_ScaleBeforeRoundingAndNegativeOrNanGiveZero) {
  Image src(NEVO_FORMAT_RAW, 4, 4);
  Image dst(NEVO_FORMAT_RGB, 4, 4);
  for (uint16_t& p : src.pixels) p = 630;  // 10.0 at gain 1
  // Halved at the two non-green cells of RGGB, so R = B and the channel
  // order of the demosaic does not matter here.
  const float gains[4] = {0.5f, 1.0f, 1.0f, 0.5f};
  ASSERT_EQ(NevoBayerToRGB16(ctx_.get(), &src.img, &dst.img, gains), 0) << Errors();
  EXPECT_EQ(dst.PixelAt(1, 1), (Rgb{1275, 2550, 1275}));
  const float odd_gains[4] = {-1.0f, 1.0f, 1.0f, std::nanf("")};
  ASSERT_EQ(NevoBayerToRGB16(ctx_.get(), &src.img, &dst.img, odd_gains), 0) << Errors();
  EXPECT_EQ(dst.PixelAt(1, 1), (Rgb{0, 2550, 0}));
}

TEST_F(BayerToRgbTest, Checks_RunInOrderAndEachRecordsItsText) {
  Image raw(NEVO_FORMAT_RAW, 4, 4);
  Image rgb(NEVO_FORMAT_RGB, 4, 4);
  Image other_raw(NEVO_FORMAT_RAW, 4, 4);
  Image wide_rgb(NEVO_FORMAT_RGB, 6, 4);
  Image no_plane_raw(NEVO_FORMAT_RAW, 4, 4);
  no_plane_raw.img.plane[0] = nullptr;
  Image no_plane_rgb_wide(NEVO_FORMAT_RGB, 6, 4);
  no_plane_rgb_wide.img.plane[0] = nullptr;

  const struct {
    const NevoImage* src;
    const NevoImage* dst;
    const char* text;
  } cases[] = {
      {nullptr, &rgb.img, "NevoBayerToRGB: src or dst is NULL"},
      {&raw.img, nullptr, "NevoBayerToRGB: src or dst is NULL"},
      // src format before dst format, formats before planes, planes before sizes
      {&rgb.img, &raw.img, "NevoBayerToRGB: src format is not raw"},
      {&raw.img, &other_raw.img, "NevoBayerToRGB: dst format is not rgb"},
      {&no_plane_raw.img, &wide_rgb.img, "NevoBayerToRGB: src or dst plane is NULL"},
      {&raw.img, &no_plane_rgb_wide.img, "NevoBayerToRGB: src or dst plane is NULL"},
      {&raw.img, &wide_rgb.img, "NevoBayerToRGB: src and dst size not match"},
  };
  for (const auto& c : cases) {
    ctx_->GetLogger()->ClearError();
    EXPECT_EQ(NevoBayerToRGB16(ctx_.get(), c.src, c.dst, unit_gains_), NEVO_ERR_FAILED) << c.text;
    EXPECT_EQ(ErrorCount(), 1u) << Errors();
    EXPECT_NE(Errors().find(c.text), std::string::npos) << Errors();
  }
  EXPECT_EQ(NevoBayerToRGB16(ctx_.get(), &raw.img, &rgb.img, nullptr), NEVO_ERR_FAILED);
  // A null context has nowhere to record but still fails cleanly.
  EXPECT_EQ(NevoBayerToRGB16(nullptr, nullptr, &rgb.img, unit_gains_), NEVO_ERR_FAILED);
}

TEST_F(BayerToRgbTest, UnknownPattern_FailsInTheColourConversion) {
  Image src(NEVO_FORMAT_RAW, 4, 4, 4);
  Image dst(NEVO_FORMAT_RGB, 4, 4);
  EXPECT_EQ(NevoBayerToRGB16(ctx_.get(), &src.img, &dst.img, unit_gains_), NEVO_ERR_FAILED);
  EXPECT_NE(Errors().find("NevoBayerToRGB: cvt color failed"), std::string::npos) << Errors();
  EXPECT_EQ(dst.PixelAt(0, 0), (Rgb{0, 0, 0}));
}

TEST_F(BayerToRgbTest, OddSize_IsRejectedByTheDemosaic) {
  Image src(NEVO_FORMAT_RAW, 5, 4);
  Image dst(NEVO_FORMAT_RGB, 5, 4);
  EXPECT_EQ(NevoBayerToRGB16(ctx_.get(), &src.img, &dst.img, unit_gains_), NEVO_ERR_FAILED);
  EXPECT_NE(Errors().find("NevoBayerToRGB: cvt color failed"), std::string::npos) << Errors();
}

TEST_F(BayerToRgbTest, DestinationWithoutElementType_FailsInTheFinalConversion) {
  Image src(NEVO_FORMAT_RAW, 4, 4);
  Image dst(NEVO_FORMAT_RGB, 4, 4);
  dst.img.elem_type = 9;
  EXPECT_EQ(NevoBayerToRGB16(ctx_.get(), &src.img, &dst.img, unit_gains_), NEVO_ERR_FAILED);
  EXPECT_NE(Errors().find("NevoBayerToRGB: convert to u16 failed"), std::string::npos) << Errors();
}

TEST_F(BayerToRgbTest, EightBitSource_IsRejectedBeforeAnyRead) {
  Image src(NEVO_FORMAT_RAW, 4, 4);
  src.img.elem_type = NEVO_ELEM_U8;
  Image dst(NEVO_FORMAT_RGB, 4, 4);
  EXPECT_EQ(NevoBayerToRGB16(ctx_.get(), &src.img, &dst.img, unit_gains_), NEVO_ERR_FAILED);
  EXPECT_NE(Errors().find("NevoBayerToRGB: src is not a 16-bit raw image"), std::string::npos) << Errors();
}

}  // namespace
