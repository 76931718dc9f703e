// The per-pixel RAW work of the EV0 correction: parameters from the records,
// black level, lens shading, digital gain, 14-bit normalisation, quad-bin
// merging, white balance and re-mosaic, on hand-computed frames.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "algo/nevo_algo_correct_image/nevo_correct_image_impl.h"
#include "algo/nevo_algo_correct_image/correct_image_test_env.h"
#include "kiln/ops/matrix/convert_to.h"
#include "kiln/runtime/memory/buffer.h"

namespace {

using correct_image_test::Errors;
using correct_image_test::MakeEngineContext;

// Black levels differ per cell and every range (white - black) is 1024, so
// the hand computations below stay in exact binary fractions.
constexpr int32_t kBlack[4] = {64, 100, 32, 50};
constexpr float kShade[4] = {1.0f, 1.5f, 2.0f, 1.25f};
// Per cell: black + 512, + 256, + 300, + 1000.
constexpr uint16_t kSample[4] = {576, 356, 332, 1050};

CorrectImageParam HandParam(int width, int height) {
  CorrectImageParam p;
  p.in_width = width;
  p.in_height = height;
  p.out_width = width;
  p.out_height = height;
  p.isp_gain = 1.25f;
  p.adrc_gain = 2.0f;
  p.ev_offset = -1.0f;  // 1.25 x 2 x 2^-1 = 1.25
  for (int c = 0; c < 4; ++c) {
    p.black_level[c] = kBlack[c];
    p.white_level[c] = kBlack[c] + 1024;
    for (auto& row : p.lsc[c]) {
      for (float& v : row) v = kShade[c];
    }
  }
  return p;
}

int Cell(int y, int x) { return 2 * (y % 2) + (x % 2); }

kiln::Mat RawMat(kiln::Context* ctx, int width, int height) {
  kiln::Mat m(ctx, kiln::QX_U16, {height, width, 1}, kiln::KILN_MEM_HEAP);
  EXPECT_TRUE(m.IsValid());
  return m;
}

class ProcessRawTest : public ::testing::Test {
 protected:
  // Runs the process step on a 4 x 4 frame holding kSample per cell and
  // returns the value of each cell, after checking all four of its pixels
  // agree.
  void RunHandFrame(const CorrectImageConfig& config, uint16_t out[4]) {
    const CorrectImageParam param = HandParam(4, 4);
    kiln::Mat input = RawMat(ctx_.get(), 4, 4);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4; ++x) input.Ptr<uint16_t>(y)[x] = kSample[Cell(y, x)];
    }
    CorrectImageWork work;
    InitCorrectImageWork(param, config, false, false, &work);
    ASSERT_EQ(GetProcessRawU16(ctx_.get(), input, param, &work), 0) << Errors(*ctx_);
    ASSERT_EQ(work.raw.Height(), 4);
    ASSERT_EQ(work.raw.Width(), 4);
    for (int c = 0; c < 4; ++c) out[c] = work.raw.Ptr<uint16_t>(c / 2)[c % 2];
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4; ++x) EXPECT_EQ(work.raw.Ptr<uint16_t>(y)[x], out[Cell(y, x)]) << y << "," << x;
    }
  }

  std::unique_ptr<kiln::Context> ctx_ = MakeEngineContext();
};

TEST(CorrectImageWorkInit, DigitalGain_MultipliesIspAdrcAndEvOffsetAsConfigured) {
  const CorrectImageParam param = HandParam(8, 8);
  CorrectImageConfig config;
  CorrectImageWork work;
  InitCorrectImageWork(param, config, false, false, &work);
  EXPECT_FLOAT_EQ(work.dgain, 1.25f);
  config.dgain_apply_adrc = 0;
  InitCorrectImageWork(param, config, false, false, &work);
  EXPECT_FLOAT_EQ(work.dgain, 0.625f);
  config.dgain_apply_adrc = 1;
  config.dgain_apply_ev_offset = 0;
  InitCorrectImageWork(param, config, false, false, &work);
  EXPECT_FLOAT_EQ(work.dgain, 2.5f);
  config.dgain_enable = 0;
  InitCorrectImageWork(param, config, false, false, &work);
  EXPECT_FLOAT_EQ(work.dgain, 1.0f);
}

TEST(CorrectImageWorkInit, Levels_BlackIsZeroWhenDisabledAndWhiteAlwaysKept) {
  const CorrectImageParam param = HandParam(8, 8);
  CorrectImageConfig config;
  CorrectImageWork work;
  InitCorrectImageWork(param, config, false, false, &work);
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(work.black[c], static_cast<float>(kBlack[c]));
    EXPECT_EQ(work.white[c], static_cast<float>(kBlack[c] + 1024));
  }
  config.blc_enable = 0;
  InitCorrectImageWork(param, config, false, false, &work);
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(work.black[c], 0.0f);
    EXPECT_EQ(work.white[c], static_cast<float>(kBlack[c] + 1024));
  }
}

TEST(CorrectImageWorkInit, SecondOutput_NeedsBothTheRequestAndTheEnableKey) {
  const CorrectImageParam param = HandParam(8, 8);
  CorrectImageConfig config;
  CorrectImageWork work;
  InitCorrectImageWork(param, config, true, false, &work);
  EXPECT_TRUE(work.need_xdr);
  EXPECT_FALSE(work.need_ur);
  EXPECT_TRUE(work.need_second);
  InitCorrectImageWork(param, config, false, true, &work);
  EXPECT_FALSE(work.need_xdr);
  EXPECT_TRUE(work.need_ur);
  EXPECT_TRUE(work.need_second);
  config.output_ur_enable = 0;
  config.output_xdr_enable = 0;
  InitCorrectImageWork(param, config, true, true, &work);
  EXPECT_FALSE(work.need_second);
}

TEST(CorrectImageWorkInit, ProcessSize_IsHalvedOnlyForQuadBin) {
  CorrectImageParam param = HandParam(4000, 3000);
  CorrectImageWork work;
  InitCorrectImageWork(param, CorrectImageConfig(), false, false, &work);
  EXPECT_EQ(work.process_width, 4000);
  EXPECT_EQ(work.process_height, 3000);
  param.quad_bin = 1;
  InitCorrectImageWork(param, CorrectImageConfig(), false, false, &work);
  EXPECT_EQ(work.process_width, 2000);
  EXPECT_EQ(work.process_height, 1500);
}

// Cell c: (sample - black) x 1.25 x shade / 1024 x 16383, rounded.
TEST_F(ProcessRawTest, EveryCorrectionOn_SubtractsBlackShadesGainsAndNormalises) {
  uint16_t out[4];
  RunHandFrame(CorrectImageConfig(), out);
  EXPECT_EQ(out[0], 10239);  // 512 x 1.25 x 1.0 / 1024 = 0.625     -> 10239.375
  EXPECT_EQ(out[1], 7680);   // 256 x 1.25 x 1.5 / 1024 = 0.46875   -> 7679.53
  EXPECT_EQ(out[2], 11999);  // 300 x 1.25 x 2.0 / 1024 = 0.7324    -> 11999.27
  EXPECT_EQ(out[3], 16383);  // 1000 x 1.25 x 1.25 / 1024 > 1      -> clipped
}

TEST_F(ProcessRawTest, BlackDisabled_KeepsTheSampleButStillDividesByTheWhiteLevel) {
  CorrectImageConfig config;
  config.blc_enable = 0;
  uint16_t out[4];
  RunHandFrame(config, out);
  EXPECT_EQ(out[0], 10842);  // 576 x 1.25 / 1088 x 16383 = 10841.69
  EXPECT_EQ(out[1], 9729);   // 356 x 1.875 / 1124 x 16383 = 9729.23
  EXPECT_EQ(out[2], 12877);  // 332 x 2.5 / 1056 x 16383 = 12876.79
  EXPECT_EQ(out[3], 16383);
}

TEST_F(ProcessRawTest, ShadingDisabled_IsAFlatOne) {
  CorrectImageConfig config;
  config.lsc_enable = 0;
  uint16_t out[4];
  RunHandFrame(config, out);
  EXPECT_EQ(out[0], 10239);  // 0.625 x 16383
  EXPECT_EQ(out[1], 5120);   // 256 x 1.25 / 1024 x 16383 = 5119.69
  EXPECT_EQ(out[2], 6000);   // 300 x 1.25 / 1024 x 16383 = 5999.63
  EXPECT_EQ(out[3], 16383);  // 1.22 clipped
}

TEST_F(ProcessRawTest, GainDisabled_UsesOne) {
  CorrectImageConfig config;
  config.dgain_enable = 0;
  uint16_t out[4];
  RunHandFrame(config, out);
  EXPECT_EQ(out[0], 8192);   // 0.5 x 16383 = 8191.5, tie to even
  EXPECT_EQ(out[1], 6144);   // 256 x 1.5 / 1024 x 16383 = 6143.63
  EXPECT_EQ(out[2], 9599);   // 600 / 1024 x 16383 = 9599.41
  EXPECT_EQ(out[3], 16383);  // 1250 / 1024 clipped
}

TEST_F(ProcessRawTest, WhiteLevelMapsTo16383_BelowBlackTo0) {
  CorrectImageParam param = HandParam(2, 2);
  kiln::Mat input = RawMat(ctx_.get(), 2, 2);
  input.Ptr<uint16_t>(0)[0] = static_cast<uint16_t>(param.white_level[0]);  // exactly white
  input.Ptr<uint16_t>(0)[1] = 60000;                                        // far above white
  input.Ptr<uint16_t>(1)[0] = 0;                                            // below black
  input.Ptr<uint16_t>(1)[1] = static_cast<uint16_t>(param.black_level[3]);  // exactly black
  CorrectImageConfig config;
  config.dgain_enable = 0;
  config.lsc_enable = 0;
  CorrectImageWork work;
  InitCorrectImageWork(param, config, false, false, &work);
  ASSERT_EQ(GetProcessRawU16(ctx_.get(), input, param, &work), 0) << Errors(*ctx_);
  EXPECT_EQ(work.raw.Ptr<uint16_t>(0)[0], 16383);
  EXPECT_EQ(work.raw.Ptr<uint16_t>(0)[1], 16383);
  EXPECT_EQ(work.raw.Ptr<uint16_t>(1)[0], 0);
  EXPECT_EQ(work.raw.Ptr<uint16_t>(1)[1], 0);
}

TEST_F(ProcessRawTest, QuadBin_AveragesEachSameColourBlockIntoOneProcessPixel) {
  CorrectImageParam param = HandParam(8, 8);
  param.quad_bin = 1;
  kiln::Mat input = RawMat(ctx_.get(), 8, 8);
  // Each 2 x 2 block holds kSample of its cell spread as -2, +2, -1, +1, so
  // only the mean of the four gives the hand values.
  const int spread[4] = {-2, 2, -1, 1};
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int cell = Cell(y / 2, x / 2);
      input.Ptr<uint16_t>(y)[x] = static_cast<uint16_t>(kSample[cell] + spread[Cell(y, x)]);
    }
  }
  CorrectImageWork work;
  InitCorrectImageWork(param, CorrectImageConfig(), false, false, &work);
  ASSERT_EQ(GetProcessRawU16(ctx_.get(), input, param, &work), 0) << Errors(*ctx_);
  ASSERT_EQ(work.raw.Width(), 4);
  ASSERT_EQ(work.raw.Height(), 4);
  const uint16_t expected[4] = {10239, 7680, 11999, 16383};
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(work.raw.Ptr<uint16_t>(y)[x], expected[Cell(y, x)]) << y << "," << x;
  }
}

// A grid that is linear in its node position is reproduced exactly by
// bilinear interpolation, so the shading at any pixel is known in closed form.
float LinearGrid(float row, float col) { return 1.0f + 0.01f * col + 0.02f * row; }

CorrectImageParam LinearShadingParam(int width, int height) {
  CorrectImageParam p = HandParam(width, height);
  for (int c = 0; c < 4; ++c) {
    p.black_level[c] = 0;
    p.white_level[c] = 16383;
    for (int r = 0; r < NEVO_LSC_ROWS; ++r) {
      for (int k = 0; k < NEVO_LSC_COLS; ++k) p.lsc[c][r][k] = LinearGrid(static_cast<float>(r), static_cast<float>(k));
    }
  }
  return p;
}

TEST_F(ProcessRawTest, Shading_IsInterpolatedAtHalfResolutionGridSteps) {
  // 10 x 14: grid steps 16 / 5 across and 12 / 7 down, so most pixels fall
  // between nodes, and a swapped axis would show.
  const int w = 10, h = 14;
  const CorrectImageParam param = LinearShadingParam(w, h);
  kiln::Mat input = RawMat(ctx_.get(), w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) input.Ptr<uint16_t>(y)[x] = 8000;
  }
  CorrectImageConfig config;
  config.dgain_enable = 0;
  CorrectImageWork work;
  InitCorrectImageWork(param, config, false, false, &work);
  ASSERT_EQ(GetProcessRawU16(ctx_.get(), input, param, &work), 0) << Errors(*ctx_);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double gx = 16.0 / 5.0 * (x / 2);
      const double gy = 12.0 / 7.0 * (y / 2);
      const double expected = 8000.0 * (1.0 + 0.01 * gx + 0.02 * gy);
      EXPECT_NEAR(work.raw.Ptr<uint16_t>(y)[x], expected, 0.501) << y << "," << x;
    }
  }
}

TEST_F(ProcessRawTest, OddSize_FarEdgeReadsTheLastGridNode) {
  // 5 x 5: the last row and column land exactly on grid row 12 and column 16.
  const CorrectImageParam param = LinearShadingParam(5, 5);
  kiln::Mat input = RawMat(ctx_.get(), 5, 5);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 5; ++x) input.Ptr<uint16_t>(y)[x] = 8000;
  }
  CorrectImageConfig config;
  config.dgain_enable = 0;
  CorrectImageWork work;
  InitCorrectImageWork(param, config, false, false, &work);
  ASSERT_EQ(GetProcessRawU16(ctx_.get(), input, param, &work), 0) << Errors(*ctx_);
  EXPECT_EQ(work.raw.Ptr<uint16_t>(4)[4], 11200);  // 8000 x (1 + 0.16 + 0.24)
  EXPECT_EQ(work.raw.Ptr<uint16_t>(0)[4], 9280);   // 8000 x (1 + 0.16)
  EXPECT_EQ(work.raw.Ptr<uint16_t>(4)[0], 9920);   // 8000 x (1 + 0.24)
}

TEST_F(ProcessRawTest, Rejects_InputOfAnotherSizeThanTheStartSize) {
  const CorrectImageParam param = HandParam(8, 8);
  kiln::Mat input = RawMat(ctx_.get(), 8, 6);
  CorrectImageWork work;
  InitCorrectImageWork(param, CorrectImageConfig(), false, false, &work);
  EXPECT_EQ(GetProcessRawU16(ctx_.get(), input, param, &work), NEVO_ERR_FAILED);
  EXPECT_NE(Errors(*ctx_).find("does not fit the process size"), std::string::npos) << Errors(*ctx_);
  EXPECT_FALSE(work.raw.IsValid());
}

TEST_F(ProcessRawTest, Rejects_ThreeChannelOrEightBitInput) {
  const CorrectImageParam param = HandParam(4, 4);
  CorrectImageWork work;
  InitCorrectImageWork(param, CorrectImageConfig(), false, false, &work);
  kiln::Mat rgb(ctx_.get(), kiln::QX_U16, {4, 4, 3}, kiln::KILN_MEM_HEAP);
  EXPECT_EQ(GetProcessRawU16(ctx_.get(), rgb, param, &work), NEVO_ERR_FAILED);
  kiln::Mat u8(ctx_.get(), kiln::QX_U8, {4, 4, 1}, kiln::KILN_MEM_HEAP);
  EXPECT_EQ(GetProcessRawU16(ctx_.get(), u8, param, &work), NEVO_ERR_FAILED);
  EXPECT_EQ(GetProcessRawU16(ctx_.get(), kiln::Mat(), param, &work), NEVO_ERR_FAILED);
  EXPECT_EQ(ctx_->GetLogger()->GetErrorCount(), 3u) << Errors(*ctx_);
  EXPECT_NE(Errors(*ctx_).find("input mat must be a valid 1-channel U16 image."), std::string::npos);
}

TEST_F(ProcessRawTest, Rejects_WhiteLevelNotAboveBlack) {
  CorrectImageParam param = HandParam(4, 4);
  param.white_level[2] = param.black_level[2];
  kiln::Mat input = RawMat(ctx_.get(), 4, 4);
  CorrectImageWork work;
  InitCorrectImageWork(param, CorrectImageConfig(), false, false, &work);
  EXPECT_EQ(GetProcessRawU16(ctx_.get(), input, param, &work), NEVO_ERR_FAILED);
  EXPECT_NE(Errors(*ctx_).find("white level 32 must be above black level 32 (cell 2)."), std::string::npos)
      << Errors(*ctx_);
}

TEST_F(ProcessRawTest, Rejects_ProcessSizeBelowTwo) {
  CorrectImageParam param = HandParam(2, 2);
  param.quad_bin = 1;  // process 1 x 1: no grid step can be formed
  kiln::Mat input = RawMat(ctx_.get(), 2, 2);
  CorrectImageWork work;
  InitCorrectImageWork(param, CorrectImageConfig(), false, false, &work);
  EXPECT_EQ(GetProcessRawU16(ctx_.get(), input, param, &work), NEVO_ERR_FAILED);
}

class WhiteBalanceTest : public ::testing::TestWithParam<int> {
 protected:
  std::unique_ptr<kiln::Context> ctx_ = MakeEngineContext();
};

// Gains 2.0, 1.25, 1.5, 1.75 for cells 0..3 on a grey pixel of 1000; the
// expected (channel 0, 1, 2) follow the colour of each cell in the pattern.
TEST_P(WhiteBalanceTest, EachChannelTakesTheGainOfItsBayerColour) {
  const int raw_type = GetParam();
  const float gains[4] = {2.0f, 1.25f, 1.5f, 1.75f};
  const uint16_t expected[4][3] = {
      {1750, 1250, 2000},  // RGGB: B = cell 3, G = cell 1, R = cell 0
      {1500, 2000, 1250},  // GRBG: B = cell 2, G = cell 0, R = cell 1
      {2000, 1250, 1750},  // BGGR: B = cell 0, G = cell 1, R = cell 3
      {1250, 2000, 1500},  // GBRG: B = cell 1, G = cell 0, R = cell 2
  };
  kiln::Mat bgr(ctx_.get(), kiln::QX_U16, {2, 3, 3}, kiln::KILN_MEM_HEAP);
  for (int y = 0; y < 2; ++y) {
    for (int i = 0; i < 9; ++i) bgr.Ptr<uint16_t>(y)[i] = 1000;
  }
  ASSERT_EQ(ApplyWhiteBalance(ctx_.get(), bgr, raw_type, gains), 0);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(bgr.Ptr<uint16_t>(y)[3 * x + ch], expected[raw_type][ch]);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllPatterns, WhiteBalanceTest, ::testing::Values(0, 1, 2, 3));

TEST(WhiteBalance, SaturatesAt16383AndKeepsZero) {
  auto ctx = MakeEngineContext();
  const float gains[4] = {2.0f, 1.0f, 1.0f, 1.0f};
  kiln::Mat bgr(ctx.get(), kiln::QX_U16, {1, 1, 3}, kiln::KILN_MEM_HEAP);
  uint16_t* px = bgr.Ptr<uint16_t>(0);
  px[0] = 0;
  px[1] = 16383;
  px[2] = 10000;  // x 2 passes the top
  ASSERT_EQ(ApplyWhiteBalance(ctx.get(), bgr, NEVO_PATTERN_RGGB, gains), 0);
  EXPECT_EQ(px[0], 0);
  EXPECT_EQ(px[1], 16383);
  EXPECT_EQ(px[2], 16383);
}

// Inputs past 14 bits are scaled like the rest; a NaN gain gives 0.
TEST(WhiteBalance, InputsAbove14BitsAndANanGain) {
  auto ctx = MakeEngineContext();
  const float gains[4] = {0.25f, std::nanf(""), 1.0f, 0.25f};
  kiln::Mat bgr(ctx.get(), kiln::QX_U16, {1, 2, 3}, kiln::KILN_MEM_HEAP);
  uint16_t* px = bgr.Ptr<uint16_t>(0);
  const uint16_t in[6] = {40000, 777, 65535, 65535, 16383, 4};
  for (int i = 0; i < 6; ++i) px[i] = in[i];
  ASSERT_EQ(ApplyWhiteBalance(ctx.get(), bgr, NEVO_PATTERN_RGGB, gains), 0);  // B cell 3, G cell 1, R cell 0
  EXPECT_EQ(px[0], 10000);
  EXPECT_EQ(px[1], 0) << "NaN gain";
  EXPECT_EQ(px[2], 16383) << "65535 x 0.25 saturates";
  EXPECT_EQ(px[3], 16383);
  EXPECT_EQ(px[4], 0);
  EXPECT_EQ(px[5], 1);
}

// The one-pass RGB finish on the demosaic's RGB order against the three
// steps on BGR (white balance, channel swap, x4), on random 14-bit values,
// gains past saturation and an odd width.
TEST(WhiteBalance, FinishRgb16MatchesTheStepsItFuses) {
  auto ctx = MakeEngineContext();
  const float gains[4] = {2.5f, 1.0f, 0.75f, 1.6f};
  for (int raw_type = 0; raw_type < 4; ++raw_type) {
    kiln::Mat steps(ctx.get(), kiln::QX_U16, {5, 37, 3}, kiln::KILN_MEM_HEAP);
    uint32_t seed = 99u + raw_type;
    for (int y = 0; y < 5; ++y) {
      for (int i = 0; i < 37 * 3; ++i) {
        seed = seed * 1664525u + 1013904223u;
        steps.Ptr<uint16_t>(y)[i] = static_cast<uint16_t>((seed >> 8) % 16384);
      }
    }
    kiln::Mat fused = steps.Clone();
    ASSERT_EQ(CvtBgr2RgbNeonImpl(ctx.get(), fused, fused, 0, 5), kiln::kStatusOk);
    ASSERT_EQ(FinishRgb16(ctx.get(), fused, raw_type, gains), 0);
    ASSERT_EQ(ApplyWhiteBalance(ctx.get(), steps, raw_type, gains), 0);
    ASSERT_EQ(CvtBgr2RgbNeonImpl(ctx.get(), steps, steps, 0, 5), kiln::kStatusOk);
    kiln::Mat source = steps;
    ASSERT_EQ(kiln::IMultiply(ctx.get(), &source, &source, kiln::TargetInfo(kiln::kTargetNeon, false), 4.0f), 0);
    for (int y = 0; y < 5; ++y) {
      for (int i = 0; i < 37 * 3; ++i) {
        ASSERT_EQ(fused.Ptr<uint16_t>(y)[i], steps.Ptr<uint16_t>(y)[i]) << "raw_type " << raw_type << " at " << y << "," << i;
      }
    }
  }
}

TEST(Remosaic, EachPositionTakesTheChannelOfItsColour) {
  auto ctx = MakeEngineContext();
  kiln::Mat bgr(ctx.get(), kiln::QX_U16, {4, 4, 3}, kiln::KILN_MEM_HEAP);
  kiln::Mat raw(ctx.get(), kiln::QX_U16, {4, 4, 1}, kiln::KILN_MEM_HEAP);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      for (int ch = 0; ch < 3; ++ch) bgr.Ptr<uint16_t>(y)[3 * x + ch] = static_cast<uint16_t>(1000 * ch + 10 * y + x);
    }
  }
  // BGR channel of the colour at cell 0..3 (R = 2, G = 1, B = 0).
  const int table[5][4] = {{2, 1, 1, 0}, {1, 2, 0, 1}, {0, 1, 1, 2}, {1, 0, 2, 1}, {1, 0, 2, 1}};
  const int types[5] = {0, 1, 2, 3, 7};  // 7: unknown patterns read as GBRG
  for (int t = 0; t < 5; ++t) {
    RemosaicBgrToRaw(bgr, raw, types[t]);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(raw.Ptr<uint16_t>(y)[x], 1000 * table[t][Cell(y, x)] + 10 * y + x)
            << "raw_type " << types[t] << " at " << y << "," << x;
      }
    }
  }
}

}  // namespace
