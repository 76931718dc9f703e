// Resize kernels below the operator: coefficient tables, half-float
// conversion, hand-computed pixels of each interpolation, and the vector
// kernels against the plain ones (including images narrower than the
// operator would hand to the vector target).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "kiln/ops/resize/host/neon/resize_kernels_neon.h"
#include "kiln/ops/resize/none/resize_kernels_none.h"
#include "kiln/ops/resize/src/resize_common.h"
#include "kiln/ops/resize/src/resize_plan.h"
#include "resize_test_util.h"

namespace {

using kiln::resize::AreaDecimateAlpha;
using kiln::resize::AreaSpan;
using kiln::resize::CubicCoef;
using kiln::resize::ImagePlane;
using kiln::resize::LinearCoef;
using resize_test::TestImage;

// ---- Tables -------------------------------------------------------------------------

TEST(ResizeTables, LinearBorders_PutAllWeightOnTheEdgePixel) {
  LinearCoef c[8];
  kiln::resize::BuildLinearCoefs(8, 4, 0.5f, c, nullptr);
  // fx = (d + 0.5) / 2 - 0.5: -0.25, 0.25, 0.75, ... 3.25
  EXPECT_EQ(c[0].index, 0);
  EXPECT_EQ(c[0].w0, 2048);  // x0 = -1: beta 0
  EXPECT_EQ(c[0].w1, 0);
  EXPECT_EQ(c[1].index, 0);
  EXPECT_EQ(c[1].w0, 1536);
  EXPECT_EQ(c[1].w1, 512);
  EXPECT_EQ(c[2].w0, 512);
  EXPECT_EQ(c[2].w1, 1536);
  EXPECT_EQ(c[7].index, 2);  // x0 = 3 > width - 2: beta 2048 on index 2
  EXPECT_EQ(c[7].w0, 0);
  EXPECT_EQ(c[7].w1, 2048);
}

TEST(ResizeTables, LinearWeights_SumTo2048AndStayInsideTheSource) {
  const int sizes[][2] = {{1, 7}, {7, 1}, {13, 5}, {5, 13}, {1920, 4000}, {4000, 1920}, {3, 2}, {333, 1000}};
  for (const auto& s : sizes) {
    const int32_t dsize = s[0], ssize = s[1];
    std::vector<LinearCoef> c(dsize);
    kiln::resize::BuildLinearCoefs(dsize, ssize, static_cast<float>(ssize) / dsize, c.data(), nullptr);
    for (int32_t d = 0; d < dsize; ++d) {
      EXPECT_EQ(c[d].w0 + c[d].w1, 2048) << dsize << " <- " << ssize << " at " << d;
      EXPECT_GE(c[d].w0, 0);
      EXPECT_GE(c[d].w1, 0);
      EXPECT_GE(c[d].index, 0);
      EXPECT_LE(c[d].index, std::max(0, ssize - 2));
    }
  }
}

TEST(ResizeTables, AreaUpscaleWeights_OfExactDoublingAreZero) {
  LinearCoef c[10];
  kiln::resize::BuildAreaLinearCoefs(10, 5, 0.5f, c, nullptr);
  for (int d = 0; d < 10; ++d) {
    // floor(d / 2), clamped to the last pair with all weight on its second pixel.
    const int32_t sx = d / 2;
    if (sx <= 3) {
      EXPECT_EQ(c[d].index, sx) << d;
      EXPECT_EQ(c[d].w0, 2048) << d;
    } else {
      EXPECT_EQ(c[d].index, 3) << d;
      EXPECT_EQ(c[d].w1, 2048) << d;
    }
  }
  // A third: x0 = floor(d / 3), fx = d + 1 - 3 (x0 + 1), fractional part when > 0.
  kiln::resize::BuildAreaLinearCoefs(6, 2, 1.f / 3.f, c, nullptr);
  EXPECT_EQ(c[0].w1, 0);
  EXPECT_EQ(c[2].index, 0);
  EXPECT_EQ(c[2].w1, 0);  // fx = 0
}

TEST(ResizeTables, CubicBorders_FoldTheOutsideTapsOntoTheEdge) {
  CubicCoef c[4];
  kiln::resize::BuildCubicCoefs(4, 8, c, nullptr);
  // Halving: every sample at t = 1.5, weights 2048 x (-0.09375, 0.59375, ...).
  EXPECT_EQ(c[0].index, 0);  // x0 = 0: taps -1, 0, 1, 2
  EXPECT_EQ((std::vector<int>{c[0].w[0], c[0].w[1], c[0].w[2], c[0].w[3]}), (std::vector<int>{1024, 1216, -192, 0}));
  EXPECT_EQ(c[1].index, 1);
  EXPECT_EQ((std::vector<int>{c[1].w[0], c[1].w[1], c[1].w[2], c[1].w[3]}), (std::vector<int>{-192, 1216, 1216, -192}));
  EXPECT_EQ(c[3].index, 4);  // x0 = 6 = width - 2
  EXPECT_EQ((std::vector<int>{c[3].w[0], c[3].w[1], c[3].w[2], c[3].w[3]}), (std::vector<int>{0, -192, 1216, 1024}));

  // Upscaling the first column: x0 = -1 folds three taps onto pixel 0.
  CubicCoef u[8];
  kiln::resize::BuildCubicCoefs(8, 4, u, nullptr);
  EXPECT_EQ(u[0].index, 0);
  EXPECT_EQ(u[0].w[2], 0);
  EXPECT_EQ(u[0].w[3], 0);
  EXPECT_EQ(u[7].index, 0);  // width - 4
  EXPECT_EQ(u[7].w[0], 0);
  EXPECT_EQ(u[7].w[1], 0);
}

TEST(ResizeTables, CubicWeights_KeepEightBitSumsInsideInt32) {
  // The 8-bit kernels form (sum + 2^21) >> 22 in 32 bits: the largest sum of
  // products over any 8-bit 4 x 4 neighbourhood must stay below 2^31 - 2^21.
  for (int dsize = 1; dsize <= 64; ++dsize) {
    for (int ssize = 1; ssize <= 64; ssize += 3) {
      std::vector<CubicCoef> c(dsize);
      kiln::resize::BuildCubicCoefs(dsize, ssize, c.data(), nullptr);
      int64_t worst = 0;
      for (const CubicCoef& a : c) {
        for (const CubicCoef& b : c) {
          int64_t pos = 0, neg = 0;
          for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j) {
              const int64_t w = static_cast<int64_t>(a.w[i]) * b.w[j];
              (w > 0 ? pos : neg) += w;
            }
          }
          worst = std::max({worst, 255 * pos, -255 * neg});
        }
      }
      ASSERT_LT(worst, (int64_t{1} << 31) - (1 << 21)) << dsize << " <- " << ssize;
    }
  }
}

TEST(ResizeTables, AreaCells_OfAFractionalRatioCoverPartialPixels) {
  AreaDecimateAlpha e[8];
  AreaSpan s[2];
  ASSERT_EQ(kiln::resize::CountAreaEntries(2, 5, 2.5f), 6);
  kiln::resize::BuildAreaTab(2, 5, 2.5f, e, s);
  EXPECT_EQ(s[0].first, 0);
  EXPECT_EQ(s[0].count, 3);
  EXPECT_FLOAT_EQ(s[0].cell, 2.5f);
  EXPECT_EQ(e[2].si, 2);
  EXPECT_FLOAT_EQ(e[2].alpha, 0.5f);
  EXPECT_EQ(s[1].first, 3);
  EXPECT_EQ(s[1].count, 3);
  EXPECT_EQ(e[3].si, 2);  // the shared pixel, second half
  EXPECT_FLOAT_EQ(e[3].alpha, 0.5f);
  EXPECT_EQ(e[5].si, 4);
  EXPECT_FLOAT_EQ(e[5].alpha, 1.f);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(e[i].di, i < 3 ? 0 : 1);
}

TEST(ResizeTables, AreaCells_OfAWholeRatioAreFullPixels) {
  AreaDecimateAlpha e[9];
  AreaSpan s[3];
  ASSERT_EQ(kiln::resize::CountAreaEntries(3, 9, 3.f), 9);
  kiln::resize::BuildAreaTab(3, 9, 3.f, e, s);
  for (int d = 0; d < 3; ++d) {
    EXPECT_EQ(s[d].count, 3);
    EXPECT_EQ(s[d].cell, 3.f);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(e[s[d].first + k].si, 3 * d + k);
      EXPECT_EQ(e[s[d].first + k].alpha, 1.f);
    }
  }
}

TEST(ResizeTables, NearestMap_FloorsTheScaledIndex) {
  int32_t m[7];
  kiln::resize::BuildNearestMap(3, 5, m);
  EXPECT_EQ((std::vector<int32_t>(m, m + 3)), (std::vector<int32_t>{0, 1, 3}));
  kiln::resize::BuildNearestMap(7, 3, m);
  EXPECT_EQ((std::vector<int32_t>(m, m + 7)), (std::vector<int32_t>{0, 0, 0, 1, 1, 2, 2}));
}

// ---- Half floats ----------------------------------------------------------------------

TEST(HalfFloat, KnownValues_ConvertAndRoundToNearestEven) {
  using kiln::resize::FloatToHalf;
  using kiln::resize::HalfToFloat;
  EXPECT_EQ(FloatToHalf(1.f), 0x3c00);
  EXPECT_EQ(FloatToHalf(-2.f), 0xc000);
  EXPECT_EQ(FloatToHalf(65504.f), 0x7bff);
  EXPECT_EQ(FloatToHalf(65519.f), 0x7bff);
  EXPECT_EQ(FloatToHalf(65520.f), 0x7c00);  // the tie rounds up to infinity
  EXPECT_EQ(FloatToHalf(2049.f), 0x6800);   // tie between 2048 and 2050: even
  EXPECT_EQ(FloatToHalf(2051.f), 0x6802);   // tie between 2050 and 2052: even
  EXPECT_EQ(FloatToHalf(std::ldexp(1.f, -24)), 0x0001);
  EXPECT_EQ(FloatToHalf(std::ldexp(1.f, -25)), 0x0000);    // tie: even (zero)
  EXPECT_EQ(FloatToHalf(std::ldexp(3.f, -25)), 0x0002);    // 1.5 ulps: even
  EXPECT_EQ(FloatToHalf(-0.f), 0x8000);
  EXPECT_EQ(FloatToHalf(INFINITY), 0x7c00);
  EXPECT_EQ(FloatToHalf(-1e9f), 0xfc00);
  EXPECT_EQ(FloatToHalf(NAN) & 0x7e00, 0x7e00);
  EXPECT_EQ(HalfToFloat(0x3555), 0.333251953125f);
  EXPECT_EQ(HalfToFloat(0x0001), std::ldexp(1.f, -24));
  EXPECT_EQ(HalfToFloat(0xfbff), -65504.f);
  EXPECT_TRUE(std::isnan(HalfToFloat(0x7d00)));
}

TEST(HalfFloat, EveryNonNanHalf_SurvivesTheRoundTrip) {
  for (uint32_t h = 0; h <= 0xffff; ++h) {
    if ((h & 0x7c00) == 0x7c00 && (h & 0x3ff) != 0) continue;
    ASSERT_EQ(kiln::resize::FloatToHalf(kiln::resize::HalfToFloat(static_cast<uint16_t>(h))), h) << std::hex << h;
  }
}

// ---- Hand-computed pixels ---------------------------------------------------------------

class ResizeKernels : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx_ = resize_test::MakeContext(1);
    ASSERT_NE(ctx_, nullptr);
    scratch_.assign(1 << 20, 0);
  }

  // Runs the plain and the general vector kernel of interp on the whole
  // image; both results must be equal, the plain one is returned.
  TestImage RunBoth(int interp, TestImage& src, int32_t dw, int32_t dh) {
    TestImage none(src.type, dw, dh, src.channels);
    TestImage neon(src.type, dw, dh, src.channels);
    Run(interp, src, none, false);
    Run(interp, src, neon, true);
    EXPECT_EQ(resize_test::FirstDifference(none, neon), -1) << "interp " << interp;
    return none;
  }

  void Run(int interp, TestImage& src, TestImage& dst, bool neon) {
    const ImagePlane s = src.Plane();
    const ImagePlane d = dst.Plane();
    const kiln::ElemType t = src.type;
    const bool f = t == kiln::QX_F32 || t == kiln::QX_F16;
    void* scratch = scratch_.data();
    switch (interp) {
      case 0: {
        kiln::resize::NearestPlan p;
        ASSERT_TRUE(p.Build(ctx_.get(), s, d));
        if (neon) {
          kiln::resize::ResizeNearestNeon(s, d, kiln::ElemTypeSize(t), p, 0, d.height);
        } else {
          kiln::resize::ResizeNearestNone(s, d, kiln::ElemTypeSize(t), p, 0, d.height);
        }
        break;
      }
      case 1:
      case 4: {  // 4: area upscaling weights
        kiln::resize::LinearPlan p;
        ASSERT_TRUE(p.Build(ctx_.get(), s, d, interp == 4, f));
        ASSERT_EQ(neon ? kiln::resize::ResizeBnCommNeon(t, s, d, p, 0, d.height, scratch)
                       : kiln::resize::ResizeBnNone(t, s, d, p, 0, d.height, scratch),
                  0);
        break;
      }
      case 2: {
        kiln::resize::CubicPlan p;
        ASSERT_TRUE(p.Build(ctx_.get(), s, d, f));
        ASSERT_EQ(neon ? kiln::resize::ResizeCuCommNeon(t, s, d, p, 0, d.height, scratch)
                       : kiln::resize::ResizeCuNone(t, s, d, p, 0, d.height, scratch),
                  0);
        break;
      }
      case 3: {
        kiln::resize::AreaPlan p;
        ASSERT_TRUE(p.BuildX(ctx_.get(), s, d));
        ASSERT_TRUE(p.BuildY(ctx_.get(), s, d));
        ASSERT_EQ(neon ? kiln::resize::ResizeAreaCommNeon(t, s, d, p, 0, d.height, scratch)
                       : kiln::resize::ResizeAreaNone(t, s, d, p, 0, d.height, scratch),
                  0);
        break;
      }
      default: FAIL() << "no interpolation " << interp;
    }
  }

  static TestImage RowImage(const std::vector<uint8_t>& row, int32_t height) {
    TestImage img(kiln::QX_U8, static_cast<int32_t>(row.size()), height, 1);
    for (int32_t y = 0; y < height; ++y) std::memcpy(img.Row(y), row.data(), row.size());
    return img;
  }

  static std::vector<int> RowOf(const TestImage& img, int32_t y) {
    const uint8_t* r = img.bytes.data() + y * img.pitch;
    return std::vector<int>(r, r + img.row_bytes);
  }

  std::unique_ptr<kiln::Context> ctx_;
  std::vector<uint8_t> scratch_;
};

TEST_F(ResizeKernels, BilinearDoubling_FirstColumnCopiesTheSourceColumn) {
  // Rows are equal, so every output row is the horizontal interpolation:
  // (3 p0 + p1 + 2) >> 2 and so on, the edges copying the edge pixels.
  TestImage src = RowImage({10, 50, 90, 200}, 4);
  const TestImage out = RunBoth(1, src, 8, 8);
  for (int32_t y = 0; y < 8; ++y) EXPECT_EQ(RowOf(out, y), (std::vector<int>{10, 20, 40, 60, 80, 118, 173, 200})) << y;
}

TEST_F(ResizeKernels, BilinearHalving_AveragesTwoByTwoBlocksRoundingHalfUp) {
  TestImage src(kiln::QX_U8, 4, 2, 1);
  const uint8_t px[2][4] = {{1, 2, 3, 4}, {5, 6, 7, 9}};
  for (int y = 0; y < 2; ++y) std::memcpy(src.Row(y), px[y], 4);
  const TestImage out = RunBoth(1, src, 2, 1);
  EXPECT_EQ(RowOf(out, 0), (std::vector<int>{4, 6}));  // 16 / 4, (25 + 2) / 4
}

TEST_F(ResizeKernels, BicubicHalving_MatchesHandComputedWeights) {
  // Interior taps -192, 1216, 1216, -192; the edges fold to 1024, 1216, -192
  // and -192, 1216, 1024: 28800, 71680, 112640, 155520 over 2048, rounded.
  TestImage src = RowImage({10, 20, 30, 40, 50, 60, 70, 80}, 1);
  const TestImage out = RunBoth(2, src, 4, 1);
  EXPECT_EQ(RowOf(out, 0), (std::vector<int>{14, 35, 55, 76}));
}

TEST_F(ResizeKernels, AreaDecimation_AveragesCoveredPixelsAndRoundsHalvesToEven) {
  TestImage frac = RowImage({10, 20, 30, 40, 50}, 1);
  EXPECT_EQ(RowOf(RunBoth(3, frac, 2, 1), 0), (std::vector<int>{18, 42}));  // 45 / 2.5, 105 / 2.5
  TestImage third = RowImage({1, 2, 3, 4, 5, 7}, 3);
  EXPECT_EQ(RowOf(RunBoth(3, third, 2, 1), 0), (std::vector<int>{2, 5}));  // 18 / 9, 48 / 9
  TestImage halves = RowImage({2, 3, 4, 5, 0, 1}, 1);
  EXPECT_EQ(RowOf(RunBoth(3, halves, 3, 1), 0), (std::vector<int>{2, 4, 0}));  // 2.5, 4.5, 0.5
}

TEST_F(ResizeKernels, AreaUpscaleByTwo_RepeatsEachPixel) {
  TestImage src = RowImage({7, 9, 200}, 2);
  const TestImage out = RunBoth(4, src, 6, 4);
  for (int32_t y = 0; y < 4; ++y) EXPECT_EQ(RowOf(out, y), (std::vector<int>{7, 7, 9, 9, 200, 200})) << y;
}

TEST_F(ResizeKernels, Nearest_CopiesAllChannelsOfTheFlooredSourcePixel) {
  TestImage src(kiln::QX_U16, 5, 2, 3);
  for (int32_t y = 0; y < 2; ++y) {
    for (int i = 0; i < 15; ++i) reinterpret_cast<uint16_t*>(src.Row(y))[i] = static_cast<uint16_t>(1000 * y + i);
  }
  TestImage out = RunBoth(0, src, 3, 3);
  const uint16_t* r = reinterpret_cast<const uint16_t*>(out.Row(2));  // source row floor(2 * 2 / 3) = 1
  EXPECT_EQ((std::vector<int>(r, r + 9)), (std::vector<int>{1000, 1001, 1002, 1003, 1004, 1005, 1009, 1010, 1011}));
}

TEST_F(ResizeKernels, FloatBilinear_InterpolatesInSinglePrecision) {
  TestImage src(kiln::QX_F32, 2, 1, 1);
  const float px[2] = {1.f, 3.f};
  std::memcpy(src.Row(0), px, sizeof(px));
  TestImage out = RunBoth(1, src, 4, 1);
  const float* r = reinterpret_cast<const float*>(out.Row(0));
  EXPECT_EQ((std::vector<float>(r, r + 4)), (std::vector<float>{1.f, 1.5f, 2.5f, 3.f}));
}

// ---- Vector kernels against the plain ones on random images --------------------------

struct KernelCase {
  kiln::ElemType type;
  int32_t cn;
};

const kiln::ElemType kAllTypes[] = {kiln::QX_U8, kiln::QX_S8, kiln::QX_U16, kiln::QX_S16, kiln::QX_F32, kiln::QX_F16};

TEST_F(ResizeKernels, GeneralVectorKernels_MatchThePlainOnesOnOddSizes) {
  std::mt19937 rng(1234);
  const int32_t sizes[][4] = {{13, 7, 5, 11}, {5, 9, 17, 4}, {1, 1, 3, 5}, {3, 5, 1, 1}, {31, 6, 7, 19}, {2, 3, 9, 2}};
  for (const kiln::ElemType type : kAllTypes) {
    for (int32_t cn = 1; cn <= 5; cn += (cn == 3 ? 2 : 1)) {
      for (const auto& s : sizes) {
        TestImage src(type, s[0], s[1], cn);
        src.Randomize(rng);
        for (int interp = 0; interp <= 4; ++interp) {
          const bool area_down = s[2] <= s[0] && s[3] <= s[1];
          if (interp == 3 && !area_down) continue;  // decimation tables only
          RunBoth(interp, src, s[2], s[3]);
          if (HasFailure()) {
            FAIL() << "type " << resize_test::TypeText(type) << " C" << cn << " " << s[0] << "x" << s[1] << " -> "
                   << s[2] << "x" << s[3] << " interp " << interp;
          }
        }
      }
    }
  }
}

// The fast kernels against the plain general kernels, including rows shorter
// than one vector block (scalar tails) and padded rows whose padding must
// survive.
TEST_F(ResizeKernels, FastVectorKernels_MatchThePlainGeneralKernels) {
  std::mt19937 rng(99);
  const kiln::ElemType int_types[] = {kiln::QX_U8, kiln::QX_S8, kiln::QX_U16, kiln::QX_S16};
  const int32_t widths[] = {2, 3, 17, 40};
  for (const kiln::ElemType type : int_types) {
    for (int32_t cn = 1; cn <= 3; ++cn) {
      for (const int32_t w : widths) {
        const int32_t h = 5;
        // Bilinear x4, x2, /2, /4: (source w, h) for a destination of w x h.
        const struct {
          kiln::resize::BnFastScale scale;
          int32_t num, den;
        } bn[] = {{kiln::resize::BnFastScale::kUpX4, 1, 4},
                  {kiln::resize::BnFastScale::kUpX2, 1, 2},
                  {kiln::resize::BnFastScale::kDownX2, 2, 1},
                  {kiln::resize::BnFastScale::kDownX4, 4, 1}};
        for (const auto& b : bn) {
          const int32_t sw = b.num >= b.den ? w * b.num : w;
          const int32_t sh = b.num >= b.den ? h * b.num : h;
          const int32_t dw = b.num >= b.den ? w : w * b.den;
          const int32_t dh = b.num >= b.den ? h : h * b.den;
          TestImage src(type, sw, sh, cn);
          src.Randomize(rng);
          TestImage plain(type, dw, dh, cn);
          TestImage fast(type, dw, dh, cn, 7);
          Run(1, src, plain, false);
          ASSERT_EQ(kiln::resize::ResizeBnFastNeon(type, b.scale, src.Plane(), fast.Plane(), 0, dh, scratch_.data()), 0);
          ASSERT_EQ(resize_test::FirstDifference(plain, fast), -1)
              << "bilinear " << resize_test::TypeText(type) << " C" << cn << " " << sw << "x" << sh << " -> " << dw
              << "x" << dh;
          ASSERT_TRUE(fast.PaddingIntact());
        }
        for (const int32_t f : {2, 4}) {
          TestImage src(type, w * f, h * f, cn);
          src.Randomize(rng);
          TestImage plain(type, w, h, cn);
          TestImage fast(type, w, h, cn, 5);
          Run(2, src, plain, false);
          ASSERT_EQ(kiln::resize::ResizeCuFastNeon(type, f, src.Plane(), fast.Plane(), 0, h, scratch_.data()), 0);
          ASSERT_EQ(resize_test::FirstDifference(plain, fast), -1)
              << "bicubic /" << f << " " << resize_test::TypeText(type) << " C" << cn << " width " << w;
          ASSERT_TRUE(fast.PaddingIntact());
        }
        for (const int32_t f : {2, 4}) {
          TestImage src(type, w, h, cn);
          src.Randomize(rng);
          TestImage plain(type, w * f, h * f, cn);
          TestImage fast(type, w * f, h * f, cn, 3);
          Run(4, src, plain, false);
          ASSERT_EQ(kiln::resize::ResizeAreaUpFastNeon(type, f, src.Plane(), fast.Plane(), 0, h * f), 0);
          ASSERT_EQ(resize_test::FirstDifference(plain, fast), -1)
              << "area x" << f << " " << resize_test::TypeText(type) << " C" << cn << " width " << w;
        }
      }
    }
  }
}

TEST_F(ResizeKernels, AreaWholeFactorKernel_MatchesThePlainKernelForEveryType) {
  std::mt19937 rng(7);
  const int32_t factors[][2] = {{2, 2}, {4, 4}, {3, 3}, {1, 3}, {5, 2}, {3, 1}};
  for (const kiln::ElemType type : kAllTypes) {
    for (int32_t cn = 1; cn <= 4; ++cn) {
      for (const auto& k : factors) {
        for (const int32_t w : {5, 19}) {
          TestImage src(type, w * k[0], 3 * k[1], cn);
          src.Randomize(rng);
          TestImage plain(type, w, 3, cn);
          TestImage fast(type, w, 3, cn, 9);
          Run(3, src, plain, false);
          ASSERT_EQ(kiln::resize::ResizeAreaFastNeon(type, k[0], k[1], src.Plane(), fast.Plane(), 0, 3, scratch_.data()), 0);
          ASSERT_EQ(resize_test::FirstDifference(plain, fast), -1)
              << resize_test::TypeText(type) << " C" << cn << " " << k[0] << "x" << k[1] << " width " << w;
          ASSERT_TRUE(fast.PaddingIntact());
        }
      }
    }
  }
}

TEST_F(ResizeKernels, RowRanges_ProduceTheSameRowsAsOneCall) {
  // Blocks of a ParallelFor start with an empty row cache: splitting the rows
  // anywhere must not change a pixel.
  std::mt19937 rng(5);
  TestImage src(kiln::QX_U8, 23, 9, 3);
  src.Randomize(rng);
  for (const int interp : {1, 2}) {
    TestImage whole(kiln::QX_U8, 50, 31, 3);
    TestImage split(kiln::QX_U8, 50, 31, 3);
    Run(interp, src, whole, false);
    const ImagePlane s = src.Plane();
    const ImagePlane d = split.Plane();
    kiln::resize::LinearPlan lp;
    kiln::resize::CubicPlan cp;
    ASSERT_TRUE(lp.Build(ctx_.get(), s, d, false, false));
    ASSERT_TRUE(cp.Build(ctx_.get(), s, d, false));
    for (int32_t y0 = 0; y0 < 31; y0 += 4) {
      const int32_t y1 = std::min(31, y0 + 4);
      if (interp == 1) {
        ASSERT_EQ(kiln::resize::ResizeBnCommNeon(kiln::QX_U8, s, d, lp, y0, y1, scratch_.data()), 0);
      } else {
        ASSERT_EQ(kiln::resize::ResizeCuCommNeon(kiln::QX_U8, s, d, cp, y0, y1, scratch_.data()), 0);
      }
    }
    EXPECT_EQ(resize_test::FirstDifference(whole, split), -1) << interp;
  }
}

}  // namespace
