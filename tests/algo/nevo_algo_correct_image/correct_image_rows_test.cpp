// The row kernels of the EV0 correction: the NEON channel swap against a
// plain swap on widths around the vector block, and the RGB-to-YUV kernel on
// hand-computed pixels.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "algo/nevo_algo_correct_image/correct_image_test_env.h"
#include "algo/nevo_algo_correct_image/nevo_correct_image_impl.h"
#include "kiln/runtime/memory/buffer.h"

namespace {

using correct_image_test::Errors;
using correct_image_test::MakeEngineContext;

uint16_t Pattern(int y, int x, int ch) { return static_cast<uint16_t>((y * 7919 + x * 104729 + ch * 31) & 0xFFFF); }

kiln::Mat PatternMat(kiln::Context* ctx, int width, int height) {
  kiln::Mat m(ctx, kiln::QX_U16, {height, width, 3}, kiln::KILN_MEM_HEAP);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int ch = 0; ch < 3; ++ch) m.Ptr<uint16_t>(y)[3 * x + ch] = Pattern(y, x, ch);
    }
  }
  return m;
}

// Every pixel of rows [begin, end) swapped, every other row untouched.
void ExpectSwapped(const kiln::Mat& m, int begin, int end, bool untouched_outside) {
  for (int y = 0; y < m.Height(); ++y) {
    const bool inside = y >= begin && y < end;
    if (!inside && !untouched_outside) continue;
    for (int x = 0; x < m.Width(); ++x) {
      const uint16_t* px = m.Ptr<uint16_t>(y) + 3 * x;
      ASSERT_EQ(px[0], Pattern(y, x, inside ? 2 : 0)) << "w " << m.Width() << " at " << y << "," << x;
      ASSERT_EQ(px[1], Pattern(y, x, 1)) << "w " << m.Width() << " at " << y << "," << x;
      ASSERT_EQ(px[2], Pattern(y, x, inside ? 0 : 2)) << "w " << m.Width() << " at " << y << "," << x;
    }
  }
}

class ChannelSwapTest : public ::testing::TestWithParam<int> {
 protected:
  std::unique_ptr<kiln::Context> ctx_ = MakeEngineContext();
};

TEST_P(ChannelSwapTest, InPlace_SwapsChannelsZeroAndTwoOfEveryPixel) {
  const int width = GetParam();
  kiln::Mat m = PatternMat(ctx_.get(), width, 5);
  ASSERT_EQ(CvtBgr2RgbNeonImpl(ctx_.get(), m, m, 0, 5), 0);
  ExpectSwapped(m, 0, 5, true);
}

TEST_P(ChannelSwapTest, IntoAnotherMat_LeavesTheSourceAlone) {
  const int width = GetParam();
  const kiln::Mat src = PatternMat(ctx_.get(), width, 3);
  kiln::Mat dst(ctx_.get(), kiln::QX_U16, {3, width, 3}, kiln::KILN_MEM_HEAP);
  ASSERT_EQ(CvtBgr2RgbNeonImpl(ctx_.get(), src, dst, 0, 3), 0);
  ExpectSwapped(dst, 0, 3, true);
  ExpectSwapped(src, 0, 0, true);
}

TEST_P(ChannelSwapTest, RowRange_TouchesOnlyThoseRows) {
  const int width = GetParam();
  kiln::Mat m = PatternMat(ctx_.get(), width, 6);
  ASSERT_EQ(CvtBgr2RgbNeonImpl(ctx_.get(), m, m, 2, 4), 0);
  ExpectSwapped(m, 2, 4, true);
}

TEST_P(ChannelSwapTest, ThroughParallelFor_SwapsEveryRowOnce) {
  const int width = GetParam();
  kiln::Mat m = PatternMat(ctx_.get(), width, 37);
  auto wp = ctx_->GetWorkerpool();
  ASSERT_EQ(wp->ParallelFor(0, 37, CvtBgr2RgbNeonImpl, ctx_.get(), m, m), 0);
  ExpectSwapped(m, 0, 37, true);
}

// Below, at and around the 8-pixel block, and a wide ragged row.
INSTANTIATE_TEST_SUITE_P(Widths, ChannelSwapTest, ::testing::Values(1, 3, 7, 8, 9, 15, 16, 17, 23, 1001));

TEST(ChannelSwap, PaddedRows_AreSwappedWithoutTouchingThePadding) {
  auto ctx = MakeEngineContext();
  const int width = 13;
  kiln::Mat m(ctx.get(), kiln::QX_U16, {4, width, 3}, kiln::KILN_MEM_HEAP, {0, width * 6 + 32});
  ASSERT_EQ(m.RowPitch(), width * 6 + 32);
  for (int y = 0; y < 4; ++y) {
    uint16_t* row = m.Ptr<uint16_t>(y);
    for (int x = 0; x < width; ++x) {
      for (int ch = 0; ch < 3; ++ch) row[3 * x + ch] = Pattern(y, x, ch);
    }
    for (int k = 3 * width; k < 3 * width + 16; ++k) row[k] = 0xBEEF;
  }
  ASSERT_EQ(CvtBgr2RgbNeonImpl(ctx.get(), m, m, 0, 4), 0);
  ExpectSwapped(m, 0, 4, true);
  for (int y = 0; y < 4; ++y) {
    for (int k = 3 * width; k < 3 * width + 16; ++k) EXPECT_EQ(m.Ptr<uint16_t>(y)[k], 0xBEEF);
  }
}

TEST(ChannelSwap, Rejects_MismatchedSizesChannelsAndRows) {
  auto ctx = MakeEngineContext();
  kiln::Mat a(ctx.get(), kiln::QX_U16, {4, 8, 3}, kiln::KILN_MEM_HEAP);
  kiln::Mat narrower(ctx.get(), kiln::QX_U16, {4, 7, 3}, kiln::KILN_MEM_HEAP);
  kiln::Mat one_channel(ctx.get(), kiln::QX_U16, {4, 8, 1}, kiln::KILN_MEM_HEAP);
  EXPECT_EQ(CvtBgr2RgbNeonImpl(ctx.get(), a, narrower, 0, 4), -1);
  EXPECT_NE(Errors(*ctx).find("src and dst must have the same height and width"), std::string::npos);
  EXPECT_EQ(CvtBgr2RgbNeonImpl(ctx.get(), a, one_channel, 0, 4), -1);
  EXPECT_NE(Errors(*ctx).find("src and dst channel should be 3"), std::string::npos);
  EXPECT_EQ(CvtBgr2RgbNeonImpl(ctx.get(), a, a, 3, 5), -1);
  EXPECT_EQ(CvtBgr2RgbNeonImpl(ctx.get(), a, a, -1, 1), -1);
  EXPECT_EQ(ctx->GetLogger()->GetErrorCount(), 4u) << Errors(*ctx);
}

// One pixel through the YUV kernel, in place.
void Yuv(kiln::Context* ctx, uint16_t c0, uint16_t c1, uint16_t c2, uint16_t out[3]) {
  kiln::Mat m(ctx, kiln::QX_U16, {1, 1, 3}, kiln::KILN_MEM_HEAP);
  uint16_t* px = m.Ptr<uint16_t>(0);
  px[0] = c0;
  px[1] = c1;
  px[2] = c2;
  ASSERT_EQ(CvtRgb2YuvImpl(m, m, 0, 1), 0);
  for (int k = 0; k < 3; ++k) out[k] = px[k];
}

TEST(RgbToYuv, HandComputedPixels) {
  auto ctx = MakeEngineContext();
  uint16_t yuv[3];
  // Black: Y = 67584 >> 12 = 16, U = V = 526336 >> 12 = 128.
  Yuv(ctx.get(), 0, 0, 0, yuv);
  EXPECT_EQ(yuv[0], 16);
  EXPECT_EQ(yuv[1], 128);
  EXPECT_EQ(yuv[2], 128);
  // 14-bit white: the chroma coefficients cancel; Y = (67584 + 3518 x 16383) >> 12 = 14087.
  Yuv(ctx.get(), 16383, 16383, 16383, yuv);
  EXPECT_EQ(yuv[0], 14087);
  EXPECT_EQ(yuv[1], 128);
  EXPECT_EQ(yuv[2], 128);
  // Channel 0 alone: Y = (67584 + 1053 x 16383) >> 12 = 4228; U negative -> 0;
  // V = (526336 + 1798 x 16383) >> 12 = 7320.
  Yuv(ctx.get(), 16383, 0, 0, yuv);
  EXPECT_EQ(yuv[0], 4228);
  EXPECT_EQ(yuv[1], 0);
  EXPECT_EQ(yuv[2], 7320);
  // Channel 2 alone: Y = (67584 + 401 x 16383) >> 12 = 1620; U = 7320; V negative -> 0.
  Yuv(ctx.get(), 0, 0, 16383, yuv);
  EXPECT_EQ(yuv[0], 1620);
  EXPECT_EQ(yuv[1], 7320);
  EXPECT_EQ(yuv[2], 0);
  // Channel 1 alone: Y = (67584 + 2064 x 1000) >> 12 = 520;
  // U = (526336 - 1192000) >> 12 < 0 -> 0; V = (526336 - 1507000) >> 12 < 0 -> 0.
  Yuv(ctx.get(), 0, 1000, 0, yuv);
  EXPECT_EQ(yuv[0], 520);
  EXPECT_EQ(yuv[1], 0);
  EXPECT_EQ(yuv[2], 0);
  // U sum just below 4096: 526336 - 1192 x 441 = 664 -> 0; V = (526336 - 1507 x 441) >> 12 < 0 -> 0.
  Yuv(ctx.get(), 0, 441, 0, yuv);
  EXPECT_EQ(yuv[1], 0);
  // Full 16-bit white stays in range: Y = (67584 + 3518 x 65535) >> 12 = 56303.
  Yuv(ctx.get(), 65535, 65535, 65535, yuv);
  EXPECT_EQ(yuv[0], 56303);
  EXPECT_EQ(yuv[1], 128);
  EXPECT_EQ(yuv[2], 128);
}

TEST(RgbToYuv, IntoAnotherMat_ConvertsEveryPixelOfTheRows) {
  auto ctx = MakeEngineContext();
  kiln::Mat src(ctx.get(), kiln::QX_U16, {3, 9, 3}, kiln::KILN_MEM_HEAP);
  kiln::Mat dst(ctx.get(), kiln::QX_U16, {3, 9, 3}, kiln::KILN_MEM_HEAP);
  for (int y = 0; y < 3; ++y) {
    for (int k = 0; k < 27; ++k) {
      src.Ptr<uint16_t>(y)[k] = 16383;
      dst.Ptr<uint16_t>(y)[k] = 7;
    }
  }
  ASSERT_EQ(CvtRgb2YuvImpl(src, dst, 1, 3), 0);
  for (int x = 0; x < 9; ++x) {
    EXPECT_EQ(dst.Ptr<uint16_t>(0)[3 * x], 7);  // row 0 not in the range
    for (int y = 1; y < 3; ++y) {
      EXPECT_EQ(dst.Ptr<uint16_t>(y)[3 * x], 14087);
      EXPECT_EQ(dst.Ptr<uint16_t>(y)[3 * x + 1], 128);
      EXPECT_EQ(dst.Ptr<uint16_t>(y)[3 * x + 2], 128);
    }
    EXPECT_EQ(src.Ptr<uint16_t>(1)[3 * x], 16383);
  }
}

TEST(RgbToYuv, Rejects_MismatchedMatsAndRows) {
  auto ctx = MakeEngineContext();
  kiln::Mat a(ctx.get(), kiln::QX_U16, {2, 4, 3}, kiln::KILN_MEM_HEAP);
  kiln::Mat b(ctx.get(), kiln::QX_U16, {2, 5, 3}, kiln::KILN_MEM_HEAP);
  kiln::Mat gray(ctx.get(), kiln::QX_U16, {2, 4, 1}, kiln::KILN_MEM_HEAP);
  EXPECT_EQ(CvtRgb2YuvImpl(a, b, 0, 2), -1);
  EXPECT_EQ(CvtRgb2YuvImpl(a, gray, 0, 2), -1);
  EXPECT_EQ(CvtRgb2YuvImpl(a, a, 0, 3), -1);
  EXPECT_EQ(CvtRgb2YuvImpl(kiln::Mat(), kiln::Mat(), 0, 0), -1);
}

}  // namespace
