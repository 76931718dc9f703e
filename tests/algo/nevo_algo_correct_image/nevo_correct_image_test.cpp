// The EV0 fallback end to end: NevoCorrectImage on flat-colour captures
// (RGB, YUV and RAW outputs, quad-bin, crop and upscale, second outputs and
// their ratio, configuration from the sysroot, failures), NevoConvertOnly and
// NevoIsBlackImage. Most captures are grey-symmetric (R = B) so they hold
// whatever channel order the demosaic operator gives; the colour tests need
// OpenCV's legacy Bayer naming and say so when they are skipped.
#include "algo/nevo_algo_correct_image/nevo_correct_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "algo/nevo_algo_correct_image/correct_image_test_env.h"
#include "nevo_utils/json_test_log_capture.h"

namespace {

using correct_image_test::Errors;
using correct_image_test::HostImage;
using correct_image_test::MakeEngineContext;
using correct_image_test::Sysroot;

using Rgb = std::array<uint16_t, 3>;

// Black 64, white 1088 (range 1024), no gain and no shading, so in the
// 14-bit process RAW 576 -> 0.5 -> 8192 (8191.5 to even), 320 -> 0.25 ->
// 4096, 192 -> 0.125 -> 2048. White balance 1.5 on R and B: 8192 -> 12288,
// 2048 -> 3072; the RGB output is x 4.
constexpr uint16_t kRaw576 = 576, kRaw320 = 320, kRaw192 = 192;
constexpr uint16_t kProc576 = 8192, kProc320 = 4096, kProc192 = 2048;
// The default capture: R = B = 576, G = 320.
constexpr Rgb kBalanced = {12288, 4096, 12288};
constexpr Rgb kRgbOut = {49152, 16384, 49152};
// A darker one: R = B = 192, G = 320.
constexpr Rgb kDarkRgbOut = {12288, 16384, 12288};

int Cell(int y, int x) { return 2 * (y % 2) + (x % 2); }

// The colour at each cell position of a pattern: 0 R, 1 G, 2 B.
int ColourAt(int pattern, int cell) {
  static constexpr int kColours[4][4] = {{0, 1, 1, 2}, {1, 0, 2, 1}, {2, 1, 1, 0}, {1, 2, 0, 1}};
  return kColours[pattern][cell];
}

class CorrectImageTest : public ::testing::Test {
 protected:
  CorrectImageTest() : anchor_(std::make_unique<NevoFrame>()) {}

  // A width x height RGGB capture, flat colour (r, g, b), HDR, no crop.
  void MakeCapture(int width, int height, uint16_t r = kRaw576, uint16_t g = kRaw320, uint16_t b = kRaw576) {
    input_ = std::make_unique<HostImage>(NEVO_FORMAT_RAW, width, height);
    const uint16_t colours[3] = {r, g, b};
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) input_->At(y, x) = colours[ColourAt(NEVO_PATTERN_RGGB, Cell(y, x))];
    }
    anchor_->img = input_->img;
    NevoBurstInfo& burst = anchor_->burst_info;
    for (int c = 0; c < 4; ++c) {
      burst.black_level[c] = 64;
      burst.bright_level[c] = 1088;
      burst.wb_gain[c] = 1.0f;
    }
    burst.wb_gain[0] = 1.5f;  // R of RGGB
    burst.wb_gain[3] = 1.5f;  // B of RGGB
    burst.isp_gain = 1.0f;
    burst.adrc_gain = 1.0f;
    for (auto* grid : {&anchor_->lsc.gr, &anchor_->lsc.r, &anchor_->lsc.b, &anchor_->lsc.gb}) {
      for (auto& row : *grid) {
        for (float& v : row) v = 1.0f;
      }
    }
    anchor_->zoom_info.fov = {0, 0, width, height};
    start_.width = width;
    start_.height = height;
    start_.raw_type = NEVO_PATTERN_RGGB;
    init_.ae.algo_type = NEVO_HDR;
    init_.ae.is_need_crop_upscale = true;
  }

  HostImage& SetOutput(int index, int format, int width, int height) {
    out_[index] = std::make_unique<HostImage>(format, width, height);
    output_.img[index] = out_[index]->img;
    output_.img_num = std::max(output_.img_num, index + 1);
    return *out_[index];
  }

  int Correct(int camera_mode = 0) {
    return NevoCorrectImage(ctx_.get(), *anchor_, &output_, start_, init_, camera_mode);
  }

  void ExpectFlat(HostImage& image, const Rgb& expected) {
    for (int y = 0; y < image.img.height; ++y) {
      for (int x = 0; x < image.img.width; ++x) {
        const Rgb got = {image.At(y, x, 0), image.At(y, x, 1), image.At(y, x, 2)};
        ASSERT_EQ(got, expected) << "at " << y << "," << x;
      }
    }
  }

  // A RAW image holding (r, g, b) in RGGB order.
  void ExpectBayer(HostImage& image, uint16_t r, uint16_t g, uint16_t b) {
    const uint16_t colours[3] = {r, g, b};
    for (int y = 0; y < image.img.height; ++y) {
      for (int x = 0; x < image.img.width; ++x) {
        ASSERT_EQ(image.At(y, x), colours[ColourAt(NEVO_PATTERN_RGGB, Cell(y, x))]) << "at " << y << "," << x;
      }
    }
  }

  bool Recorded(const std::string& text) const { return Errors(*ctx_).find(text) != std::string::npos; }

  Sysroot sysroot_;
  JsonTestLogCapture log_;
  std::unique_ptr<kiln::Context> ctx_ = MakeEngineContext();
  std::unique_ptr<NevoFrame> anchor_;
  NevoOutput output_{};
  NevoStartParam start_{};
  NevoInitParam init_{};
  std::unique_ptr<HostImage> input_;
  std::unique_ptr<HostImage> out_[4];
};

TEST_F(CorrectImageTest, MissingConfigFile_FailsAndRecordsTheReadFailure) {
  MakeCapture(64, 48);
  SetOutput(0, NEVO_FORMAT_RGB, 64, 48);
  EXPECT_EQ(Correct(), NEVO_ERR_FAILED);
  EXPECT_TRUE(Recorded("Failed to read correctImage json file!")) << Errors(*ctx_);
  EXPECT_EQ(JsonTestLogCapture::Matching(".*NevoCorrectImageImpl fail, return=1002300\n").size(), 1u);
  EXPECT_EQ(JsonTestLogCapture::Matching("NevoCorrectImageImpl cost time .*\n").size(), 1u);
}

TEST_F(CorrectImageTest, ConfigWithoutTheAlgorithm_GivesWhiteBalancedRgbTimesFour) {
  sysroot_.WriteConfig(R"({"1": {"output_fmt": 0}})");
  MakeCapture(52, 40);  // not a multiple of the vector blocks
  HostImage& out = SetOutput(0, NEVO_FORMAT_RGB, 52, 40);
  output_.xdr_linear_raw_ratio = 99.0f;
  ASSERT_EQ(Correct(), 0) << Errors(*ctx_);
  ExpectFlat(out, kRgbOut);
  EXPECT_EQ(output_.xdr_linear_raw_ratio, 0.0f);
  EXPECT_EQ(JsonTestLogCapture::Matching(".*json\\[algo_type_string\\] not found, set default values\n").size(), 1u);
}

TEST_F(CorrectImageTest, ForcedAlgorithm_ChoosesTheConfigObject) {
  sysroot_.WriteConfig(R"({"3": {"output_fmt": 1}, "6": {"output_fmt": 0}})");
  MakeCapture(52, 40);
  init_.force_algo = NEVO_SN;
  HostImage& out = SetOutput(0, NEVO_FORMAT_RAW, 52, 40);
  ASSERT_EQ(Correct(), 0) << Errors(*ctx_);
  ExpectBayer(out, kProc576, kProc320, kProc576);
}

TEST_F(CorrectImageTest, WhiteLevelInput_TopsTheRgbOutputAtFourTimes16383) {
  sysroot_.WriteConfig(R"({"3": {}})");
  MakeCapture(52, 40, 1088, 1088, 2000);  // B far above white
  HostImage& out = SetOutput(0, NEVO_FORMAT_RGB, 52, 40);
  ASSERT_EQ(Correct(), 0) << Errors(*ctx_);
  ExpectFlat(out, {65532, 65532, 65532});
}

TEST_F(CorrectImageTest, RawOutputWithBlackAndShadingDisabled_ComesFromTheConfigFile) {
  sysroot_.WriteConfig(R"({"3": {"output_fmt": 0, "blc_enable": 0, "lsc_enable": 0}})");
  MakeCapture(52, 40);
  anchor_->lsc.r[0][0] = 3.0f;  // would show if shading were applied
  HostImage& out = SetOutput(0, NEVO_FORMAT_RAW, 52, 40);
  ASSERT_EQ(Correct(), 0) << Errors(*ctx_);
  // sample / 1088 x 16383: 576 -> 8673.35, 320 -> 4818.53.
  ExpectBayer(out, 8673, 4819, 8673);
}

TEST_F(CorrectImageTest, YuvOutput_ConvertsTheBalancedImageInChannelOrder) {
  sysroot_.WriteConfig(R"({"3": {"output_fmt": 2}})");
  MakeCapture(52, 40);
  HostImage& out = SetOutput(0, 2, 52, 40);
  ASSERT_EQ(Correct(), 0) << Errors(*ctx_);
  // The balanced image (12288, 4096, 12288):
  // Y = (67584 + 1053 x 12288 + 2064 x 4096 + 401 x 12288) >> 12 = 6442 (6442.5),
  // U = (526336 - 606 x 12288 - 1192 x 4096 + 1798 x 12288) >> 12 = 2512 (2512.5),
  // V = (526336 + 1798 x 12288 - 1507 x 4096 - 291 x 12288) >> 12 = 3142 (3142.5).
  ExpectFlat(out, {6442, 2512, 3142});
}

TEST_F(CorrectImageTest, OutputFormatOutsideZeroToTwo_IsRejected) {
  sysroot_.WriteConfig(R"({"3": {"output_fmt": 5}})");
  MakeCapture(52, 40);
  SetOutput(0, NEVO_FORMAT_RGB, 52, 40);
  EXPECT_EQ(Correct(), NEVO_ERR_FAILED);
  EXPECT_TRUE(Recorded("output_fmt 5 not support.")) << Errors(*ctx_);
}

// 4000 x 3000 quad-Bayer processes at 2000 x 1500; here the same ratio at
// 160 x 120 -> 80 x 60.
TEST_F(CorrectImageTest, QuadBin_ProcessesAtHalfSizeAndUpscalesTheColourImage) {
  sysroot_.WriteConfig(R"({"3": {}})");
  MakeCapture(160, 120);
  // Quad-Bayer: each 2 x 2 sensor block is one colour, varied so only the
  // mean gives the flat value.
  const uint16_t colours[3] = {kRaw576, kRaw320, kRaw576};
  const int spread[4] = {-3, 3, 1, -1};
  for (int y = 0; y < 120; ++y) {
    for (int x = 0; x < 160; ++x) {
      const int colour = ColourAt(NEVO_PATTERN_RGGB, Cell(y / 2, x / 2));
      input_->At(y, x) = static_cast<uint16_t>(colours[colour] + spread[Cell(y, x)]);
    }
  }
  start_.sensor_mode = 4;
  HostImage& out = SetOutput(0, NEVO_FORMAT_RGB, 160, 120);
  ASSERT_EQ(Correct(), 0) << Errors(*ctx_);
  ExpectFlat(out, kRgbOut);
}

TEST_F(CorrectImageTest, QuadBinRawOutput_IsReMosaicedToTheStandardPattern) {
  sysroot_.WriteConfig(R"({"3": {"output_fmt": 0}})");
  MakeCapture(160, 120);
  const uint16_t colours[3] = {kRaw576, kRaw320, kRaw576};
  for (int y = 0; y < 120; ++y) {
    for (int x = 0; x < 160; ++x) input_->At(y, x) = colours[ColourAt(NEVO_PATTERN_RGGB, Cell(y / 2, x / 2))];
  }
  start_.sensor_mode = 15;
  HostImage& out = SetOutput(0, NEVO_FORMAT_RAW, 160, 120);
  ASSERT_EQ(Correct(), 0) << Errors(*ctx_);
  ExpectBayer(out, kProc576, kProc320, kProc576);
}

class CropTest : public CorrectImageTest {
 protected:
  // 96 x 48: R = B = 576 on the left half, R = B = 192 on the right.
  void MakeSplitCapture() {
    sysroot_.WriteConfig(R"({"3": {}})");
    MakeCapture(96, 48);
    for (int y = 0; y < 48; ++y) {
      for (int x = 48; x < 96; ++x) {
        if (ColourAt(NEVO_PATTERN_RGGB, Cell(y, x)) != 1) input_->At(y, x) = kRaw192;
      }
    }
    init_.ae.is_need_crop_upscale = false;  // the library crops
  }
};

TEST_F(CropTest, FieldOfView_IsCutFromItsPlaceInTheFrame) {
  MakeSplitCapture();
  HostImage& out = SetOutput(0, NEVO_FORMAT_RGB, 32, 32);
  anchor_->zoom_info.fov = {56, 8, 88, 40};  // inside the right half
  ASSERT_EQ(Correct(), 0) << Errors(*ctx_);
  ExpectFlat(out, kDarkRgbOut);
  anchor_->zoom_info.fov = {8, 8, 40, 40};  // inside the left half
  ASSERT_EQ(Correct(), 0) << Errors(*ctx_);
  ExpectFlat(out, kRgbOut);
}

TEST_F(CropTest, FieldOfView_IsUpscaledToTheOutputSize) {
  MakeSplitCapture();
  HostImage& out = SetOutput(0, NEVO_FORMAT_RGB, 64, 48);
  anchor_->zoom_info.fov = {4, 4, 36, 28};
  ASSERT_EQ(Correct(), 0) << Errors(*ctx_);
  ExpectFlat(out, kRgbOut);
}

TEST_F(CropTest, RawOutput_IsDemosaicedCroppedAndReMosaiced) {
  MakeSplitCapture();
  sysroot_.WriteConfig(R"({"3": {"output_fmt": 0}})");
  HostImage& out = SetOutput(0, NEVO_FORMAT_RAW, 32, 32);
  anchor_->zoom_info.fov = {56, 8, 88, 40};
  ASSERT_EQ(Correct(), 0) << Errors(*ctx_);
  ExpectBayer(out, kProc192, kProc320, kProc192);
}

TEST_F(CropTest, EmptyRoi_Fails1001001WithRoiInfoError) {
  MakeSplitCapture();
  SetOutput(0, NEVO_FORMAT_RGB, 32, 32);
  anchor_->zoom_info.fov = {20, 8, 20, 40};  // right = left
  EXPECT_EQ(Correct(), 1001001);
  EXPECT_TRUE(Recorded("roi info error...")) << Errors(*ctx_);
  EXPECT_TRUE(Recorded("GetCropUpscaleOutput fail..."));
  EXPECT_EQ(JsonTestLogCapture::Matching("roi info error :  x0 20 y0 8 x1 20 y1 40\n").size(), 1u);
}

TEST_F(CropTest, RoiBeyondTheImage_Fails1001001) {
  MakeSplitCapture();
  SetOutput(0, NEVO_FORMAT_RGB, 32, 32);
  for (const NevoRect& fov : {NevoRect{0, 0, 97, 48}, NevoRect{0, 0, 96, 49}, NevoRect{-2, 0, 30, 30},
                              NevoRect{0, -2, 30, 30}, NevoRect{10, 30, 40, 20}}) {
    anchor_->zoom_info.fov = fov;
    EXPECT_EQ(Correct(), 1001001) << fov.left << " " << fov.top << " " << fov.right << " " << fov.bottom;
  }
}

TEST_F(CorrectImageTest, UltraRawMode_WritesTheRawSecondOutputWithRatio16) {
  sysroot_.WriteConfig(R"({"3": {"output_fmt": 1, "output_ur_enable": 1}})");
  MakeCapture(52, 40);
  HostImage& out = SetOutput(0, NEVO_FORMAT_RGB, 52, 40);
  HostImage& second = SetOutput(1, NEVO_FORMAT_RAW, 52, 40);
  ASSERT_EQ(Correct(6), 0) << Errors(*ctx_);
  EXPECT_EQ(output_.xdr_linear_raw_ratio, 16.0f);
  ExpectFlat(out, kRgbOut);
  ExpectBayer(second, kProc576, kProc320, kProc576);
}

TEST_F(CorrectImageTest, UltraRawColourFormat_WritesTheBalancedRgbBeforeTheScale) {
  sysroot_.WriteConfig(R"({"3": {"output_ur_fmt": 1}})");
  MakeCapture(52, 40);
  SetOutput(0, NEVO_FORMAT_RGB, 52, 40);
  HostImage& second = SetOutput(1, NEVO_FORMAT_RGB, 52, 40);
  ASSERT_EQ(Correct(6), 0) << Errors(*ctx_);
  EXPECT_EQ(output_.xdr_linear_raw_ratio, 16.0f);
  ExpectFlat(second, kBalanced);
}

TEST_F(CorrectImageTest, UltraRawDisabled_WritesNoSecondOutput) {
  sysroot_.WriteConfig(R"({"3": {"output_ur_enable": 0}})");
  MakeCapture(52, 40);
  SetOutput(0, NEVO_FORMAT_RGB, 52, 40);
  HostImage& second = SetOutput(1, NEVO_FORMAT_RAW, 52, 40);
  output_.xdr_linear_raw_ratio = 99.0f;
  ASSERT_EQ(Correct(6), 0) << Errors(*ctx_);
  EXPECT_EQ(output_.xdr_linear_raw_ratio, 0.0f);
  ExpectBayer(second, 0, 0, 0);
}

TEST_F(CorrectImageTest, XdrWithRawOutput_WritesImageTwoWithRatioOne) {
  sysroot_.WriteConfig(R"({"3": {"output_fmt": 0}})");
  MakeCapture(52, 40);
  HostImage& out = SetOutput(0, NEVO_FORMAT_RAW, 52, 40);
  HostImage& unused = SetOutput(1, NEVO_FORMAT_RAW, 52, 40);
  HostImage& xdr = SetOutput(2, NEVO_FORMAT_RAW, 52, 40);
  start_.xdr_light_index = 1;
  ASSERT_EQ(Correct(), 0) << Errors(*ctx_);
  EXPECT_EQ(output_.xdr_linear_raw_ratio, 1.0f);
  ExpectBayer(out, kProc576, kProc320, kProc576);
  ExpectBayer(xdr, kProc576, kProc320, kProc576);
  ExpectBayer(unused, 0, 0, 0);
}

TEST_F(CorrectImageTest, SecondOutputWithoutBuffer_FailsBeforeWritingAnything) {
  sysroot_.WriteConfig(R"({"3": {}})");
  MakeCapture(52, 40);
  HostImage& out = SetOutput(0, NEVO_FORMAT_RGB, 52, 40);
  ASSERT_EQ(Correct(6), NEVO_ERR_FAILED);  // image 1 has no plane
  EXPECT_TRUE(Recorded("output mat 1 is invalid.")) << Errors(*ctx_);
  ExpectFlat(out, {0, 0, 0});
}

TEST_F(CorrectImageTest, OutputOfTheWrongSize_FailsOnTheFinalCopy) {
  sysroot_.WriteConfig(R"({"3": {"output_fmt": 0}})");
  MakeCapture(52, 40);
  SetOutput(0, NEVO_FORMAT_RAW, 50, 40);
  EXPECT_EQ(Correct(), NEVO_ERR_FAILED);
  EXPECT_TRUE(Recorded("Copy into output mat 0 failed.")) << Errors(*ctx_);
}

TEST_F(CorrectImageTest, EightBitAnchor_FailsInTheRawStep) {
  sysroot_.WriteConfig(R"({"3": {}})");
  MakeCapture(52, 40);
  anchor_->img.elem_type = NEVO_ELEM_U8;
  SetOutput(0, NEVO_FORMAT_RGB, 52, 40);
  EXPECT_EQ(Correct(), NEVO_ERR_FAILED);
  EXPECT_TRUE(Recorded("GetProcessRawU16 fail...")) << Errors(*ctx_);
}

TEST_F(CorrectImageTest, NullContextOrOutput_Fails) {
  MakeCapture(52, 40);
  EXPECT_EQ(NevoCorrectImage(nullptr, *anchor_, &output_, start_, init_, 0), NEVO_ERR_FAILED);
  EXPECT_EQ(NevoCorrectImage(ctx_.get(), *anchor_, nullptr, start_, init_, 0), NEVO_ERR_FAILED);
  EXPECT_TRUE(Recorded("output is null")) << Errors(*ctx_);
}

class ConvertOnlyTest : public CorrectImageTest {
 protected:
  int Convert(int camera_mode = 0) {
    return NevoConvertOnly(ctx_.get(), *anchor_, &output_, start_, init_, camera_mode);
  }
};

TEST_F(ConvertOnlyTest, RawOutput_IsAPlainCopyOfTheAnchor) {
  MakeCapture(20, 10);
  HostImage& out = SetOutput(0, NEVO_FORMAT_RAW, 20, 10);
  ASSERT_EQ(Convert(), 0) << Errors(*ctx_);
  EXPECT_EQ(out.pixels, input_->pixels);
}

TEST_F(ConvertOnlyTest, UltraRawAndXdr_CopyTheAnchorIntoImagesOneAndTwo) {
  MakeCapture(20, 10);
  SetOutput(0, NEVO_FORMAT_RAW, 20, 10);
  HostImage& ur = SetOutput(1, NEVO_FORMAT_RAW, 20, 10);
  HostImage& xdr = SetOutput(2, NEVO_FORMAT_RAW, 20, 10);
  start_.xdr_light_index = 2;
  ASSERT_EQ(Convert(6), 0) << Errors(*ctx_);
  EXPECT_EQ(ur.pixels, input_->pixels);
  EXPECT_EQ(xdr.pixels, input_->pixels);
}

TEST_F(ConvertOnlyTest, RgbOutput_GoesThroughBayerToRgb16WithTheFrameGains) {
  MakeCapture(52, 40);
  for (float& g : anchor_->burst_info.wb_gain) g = 1.0f;
  HostImage& out = SetOutput(0, NEVO_FORMAT_RGB, 52, 40);
  ASSERT_EQ(Convert(), 0) << Errors(*ctx_);
  // 576 / 63 = 9.14 -> 9, 320 / 63 = 5.08 -> 5; x 255.
  ExpectFlat(out, {2295, 1275, 2295});
}

TEST_F(ConvertOnlyTest, FailedCopy_IsRecordedAndEndsTheConversion) {
  MakeCapture(20, 10);
  HostImage& out = SetOutput(0, NEVO_FORMAT_RAW, 20, 10);
  HostImage& xdr = SetOutput(2, NEVO_FORMAT_RAW, 20, 10);
  start_.xdr_light_index = 1;
  // camera mode 6 without image 1
  EXPECT_EQ(Convert(6), NEVO_ERR_FAILED);
  EXPECT_TRUE(Recorded("NevoCopyImage fail, return=1002300")) << Errors(*ctx_);
  EXPECT_EQ(out.pixels, input_->pixels);
  ExpectBayer(xdr, 0, 0, 0);  // never reached
}

TEST_F(ConvertOnlyTest, FailedBayerConversion_ReturnsItsCode) {
  MakeCapture(20, 10);
  SetOutput(0, NEVO_FORMAT_RGB, 22, 10);
  EXPECT_EQ(Convert(), NEVO_ERR_FAILED);
  EXPECT_TRUE(Recorded("NevoBayerToRGB: src and dst size not match")) << Errors(*ctx_);
  EXPECT_TRUE(Recorded("NevoBayerToRGB16 fail, return=1002300"));
}

TEST_F(ConvertOnlyTest, NullContextOrOutput_FailsWithALogLine) {
  MakeCapture(20, 10);
  EXPECT_EQ(NevoConvertOnly(nullptr, *anchor_, &output_, start_, init_, 0), NEVO_ERR_FAILED);
  EXPECT_EQ(JsonTestLogCapture::Matching("NevoConvertOnly\\[.*:[0-9]+\\] ctx is null\n").size(), 1u);
  EXPECT_EQ(NevoConvertOnly(ctx_.get(), *anchor_, nullptr, start_, init_, 0), NEVO_ERR_FAILED);
  EXPECT_EQ(JsonTestLogCapture::Matching("NevoConvertOnly\\[.*:[0-9]+\\] output is null\n").size(), 1u);
}

// Captures with R != B: the channel order and which gain meets which colour.
class ColourTest : public ConvertOnlyTest {
 protected:
  // R 576, G 320, B 192; white balance R 1.5, B 1.25: R 12288, G 4096,
  // B 2560 after balance.
  void MakeColourCapture(int width, int height) {
    MakeCapture(width, height, kRaw576, kRaw320, kRaw192);
    anchor_->burst_info.wb_gain[3] = 1.25f;
  }
};

TEST_F(ColourTest, RgbOutput_HasRedFirstAndEachColourItsOwnGain) {
  SKIP_UNLESS_LEGACY_BAYER_NAMING();
  sysroot_.WriteConfig(R"({"3": {}})");
  MakeColourCapture(52, 40);
  HostImage& out = SetOutput(0, NEVO_FORMAT_RGB, 52, 40);
  ASSERT_EQ(Correct(), 0) << Errors(*ctx_);
  ExpectFlat(out, {49152, 16384, 10240});
}

TEST_F(ColourTest, YuvOutput_TakesTheBalancedImageInItsChannelOrder) {
  SKIP_UNLESS_LEGACY_BAYER_NAMING();
  sysroot_.WriteConfig(R"({"3": {"output_fmt": 2}})");
  MakeColourCapture(52, 40);
  HostImage& out = SetOutput(0, 2, 52, 40);
  ASSERT_EQ(Correct(), 0) << Errors(*ctx_);
  // Before the YUV stage the image is (B, G, R) = (2560, 4096, 12288):
  // Y = (67584 + 1053 x 2560 + 2064 x 4096 + 401 x 12288) >> 12 = 3941,
  // U = (526336 - 606 x 2560 - 1192 x 4096 + 1798 x 12288) >> 12 = 3951, V < 0 -> 0.
  ExpectFlat(out, {3941, 3951, 0});
}

TEST_F(ColourTest, QuadBinRawOutput_PutsEachColourAtItsBayerPosition) {
  SKIP_UNLESS_LEGACY_BAYER_NAMING();
  sysroot_.WriteConfig(R"({"3": {"output_fmt": 0}})");
  MakeColourCapture(160, 120);
  const uint16_t colours[3] = {kRaw576, kRaw320, kRaw192};
  for (int y = 0; y < 120; ++y) {
    for (int x = 0; x < 160; ++x) input_->At(y, x) = colours[ColourAt(NEVO_PATTERN_RGGB, Cell(y / 2, x / 2))];
  }
  start_.sensor_mode = 4;
  HostImage& out = SetOutput(0, NEVO_FORMAT_RAW, 160, 120);
  ASSERT_EQ(Correct(), 0) << Errors(*ctx_);
  ExpectBayer(out, kProc576, kProc320, kProc192);
}

TEST_F(ColourTest, ConvertOnlyRgb_HasRedFirst) {
  SKIP_UNLESS_LEGACY_BAYER_NAMING();
  MakeColourCapture(52, 40);
  for (float& g : anchor_->burst_info.wb_gain) g = 1.0f;
  HostImage& out = SetOutput(0, NEVO_FORMAT_RGB, 52, 40);
  ASSERT_EQ(Convert(), 0) << Errors(*ctx_);
  // 576 / 63 -> 9, 320 / 63 -> 5, 192 / 63 -> 3; x 255.
  ExpectFlat(out, {2295, 1275, 765});
}

TEST(BlackImage, AllZeroIsBlackAndOneSampleOfOneIsNot) {
  auto ctx = MakeEngineContext();
  HostImage image(NEVO_FORMAT_RGB, 70, 9);
  EXPECT_TRUE(NevoIsBlackImage(ctx.get(), image.img));
  image.At(8, 69, 2) = 1;
  EXPECT_FALSE(NevoIsBlackImage(ctx.get(), image.img));
  HostImage raw(NEVO_FORMAT_RAW, 5, 3);
  EXPECT_TRUE(NevoIsBlackImage(ctx.get(), raw.img));
  raw.At(1, 2) = 1;
  EXPECT_FALSE(NevoIsBlackImage(ctx.get(), raw.img));
  EXPECT_EQ(ctx->GetLogger()->GetErrorCount(), 0u) << Errors(*ctx);
}

TEST(BlackImage, NullContextOrUnreadableImageIsNotBlack) {
  auto ctx = MakeEngineContext();
  HostImage image(NEVO_FORMAT_RAW, 8, 8);
  EXPECT_FALSE(NevoIsBlackImage(nullptr, image.img));
  image.img.elem_type = 9;  // no kiln type: the matrix is empty
  EXPECT_FALSE(NevoIsBlackImage(ctx.get(), image.img));
  EXPECT_NE(Errors(*ctx).find("IMinMaxLoc fail..."), std::string::npos) << Errors(*ctx);
}

}  // namespace
