// CvtColor row kernels: hand-computed pixels on both kernel families, and the
// NEON kernels against the plain ones on random images of awkward sizes
// (exact-size buffers, so reads or writes past a row end show under ASan).
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "cvtcolor_test_util.h"
#include "kiln/ops/cvtcolor/host/neon/cvtcolor_neon_rows.h"
#include "kiln/ops/cvtcolor/none/cvtcolor_none_rows.h"

namespace {

namespace cc = kiln::cvtcolor;
using cvtcolor_test::Image16;
using cvtcolor_test::Image8;
template <typename T>
using Image = cvtcolor_test::Image<T>;

// The two kernel families behind one name, for typed tests.
struct NoneKernels {
  static constexpr const char* kName = "none";
  static int Reorder(const cc::ReorderArgs& a, int b, int e) { return cc::none::ReorderRows(a, b, e); }
  static int Gray(const cc::GrayArgs& a, int b, int e) { return cc::none::BgrToGrayRows(a, b, e); }
  static int GrayToBgr(const cc::GrayToBgrArgs& a, int b, int e) { return cc::none::GrayToBgrRows(a, b, e); }
  static int Yuv420(const cc::YuvToRgbArgs& a, int b, int e) { return cc::none::Yuv420ToRgbRows(a, b, e); }
  static int Yuv444(const cc::YuvToRgbArgs& a, int b, int e) { return cc::none::Yuv444ToRgbRows(a, b, e); }
  static int Yuv422(const cc::Yuv422ToRgbArgs& a, int b, int e) { return cc::none::Yuv422ToRgbRows(a, b, e); }
  static int Rgb420(const cc::RgbToYuvArgs& a, int b, int e) { return cc::none::RgbToYuv420Rows(a, b, e); }
  static int Rgb444(const cc::RgbToYuvArgs& a, int b, int e) { return cc::none::RgbToYuv444Rows(a, b, e); }
  static int P010(const cc::RgbToP010Args& a, int b, int e) { return cc::none::RgbToP010Rows(a, b, e); }
  static int Bayer8(const cc::BayerArgs<uint8_t>& a, int b, int e) { return cc::none::BayerToBgrRowsU8(a, b, e); }
  static int Bayer16(const cc::BayerArgs<uint16_t>& a, int b, int e) { return cc::none::BayerToBgrRowsU16(a, b, e); }
};

struct NeonKernels {
  static constexpr const char* kName = "neon";
  static int Reorder(const cc::ReorderArgs& a, int b, int e) { return cc::neon::ReorderRows(a, b, e); }
  static int Gray(const cc::GrayArgs& a, int b, int e) { return cc::neon::BgrToGrayRows(a, b, e); }
  static int GrayToBgr(const cc::GrayToBgrArgs& a, int b, int e) { return cc::neon::GrayToBgrRows(a, b, e); }
  static int Yuv420(const cc::YuvToRgbArgs& a, int b, int e) { return cc::neon::Yuv420ToRgbRows(a, b, e); }
  static int Yuv444(const cc::YuvToRgbArgs& a, int b, int e) { return cc::neon::Yuv444ToRgbRows(a, b, e); }
  static int Yuv422(const cc::Yuv422ToRgbArgs& a, int b, int e) { return cc::neon::Yuv422ToRgbRows(a, b, e); }
  static int Rgb420(const cc::RgbToYuvArgs& a, int b, int e) { return cc::neon::RgbToYuv420Rows(a, b, e); }
  static int Rgb444(const cc::RgbToYuvArgs& a, int b, int e) { return cc::neon::RgbToYuv444Rows(a, b, e); }
  static int P010(const cc::RgbToP010Args& a, int b, int e) { return cc::neon::RgbToP010Rows(a, b, e); }
  static int Bayer8(const cc::BayerArgs<uint8_t>& a, int b, int e) { return cc::neon::BayerToBgrRowsU8(a, b, e); }
  static int Bayer16(const cc::BayerArgs<uint16_t>& a, int b, int e) { return cc::neon::BayerToBgrRowsU16(a, b, e); }
};

// ---- Argument builders -------------------------------------------------------

cc::ReorderArgs ReorderOf(Image8& s, Image8& d, bool swap) {
  return {s.row(0), s.pitch(), s.c(), d.row(0), d.pitch(), d.c(), s.w(), swap};
}

cc::GrayArgs GrayOf(Image8& s, Image8& d, bool red_first) {
  return {s.row(0), s.pitch(), s.c(), d.row(0), d.pitch(), s.w(), red_first};
}

cc::GrayToBgrArgs GrayToBgrOf(Image8& s, Image8& d) { return {s.row(0), s.pitch(), d.row(0), d.pitch(), d.c(), s.w()}; }

// Y plane, U and V rows (step 2 inside one interleaved plane, 1 for planes).
cc::YuvToRgbArgs YuvOf(Image8& y, const uint8_t* u, int64_t u_pitch, const uint8_t* v, int64_t v_pitch, int step,
                       Image8& rgb, bool full_range) {
  return {y.row(0), y.pitch(), u, u_pitch, v, v_pitch, step, rgb.row(0), rgb.pitch(), y.w(), full_range};
}

cc::YuvToRgbArgs Nv12Args(Image8& y, Image8& uv, Image8& rgb, bool full_range) {
  return YuvOf(y, uv.row(0), uv.pitch(), uv.row(0) + 1, uv.pitch(), 2, rgb, full_range);
}

cc::YuvToRgbArgs PlanarArgs(Image8& y, Image8& u, Image8& v, Image8& rgb, bool full_range) {
  return YuvOf(y, u.row(0), u.pitch(), v.row(0), v.pitch(), 1, rgb, full_range);
}

cc::Yuv422ToRgbArgs PackedOf(Image8& s, int y_offset, int u_offset, int v_offset, Image8& rgb, bool full_range) {
  return {s.row(0), s.pitch(), y_offset, u_offset, v_offset, rgb.row(0), rgb.pitch(), s.w(), full_range};
}

cc::RgbToYuvArgs RgbToYuvOf(Image8& rgb, Image8& y, uint8_t* u, int64_t u_pitch, uint8_t* v, int64_t v_pitch,
                            int step, bool full_range) {
  return {rgb.row(0), rgb.pitch(), y.row(0), y.pitch(), u, u_pitch, v, v_pitch, step, rgb.w(), full_range};
}

cc::RgbToYuvArgs Rgb2NvArgs(Image8& rgb, Image8& y, Image8& uv, bool full_range) {
  return RgbToYuvOf(rgb, y, uv.row(0), uv.pitch(), uv.row(0) + 1, uv.pitch(), 2, full_range);
}

cc::RgbToYuvArgs RgbToPlanesArgs(Image8& rgb, Image8& y, Image8& u, Image8& v, bool full_range) {
  return RgbToYuvOf(rgb, y, u.row(0), u.pitch(), v.row(0), v.pitch(), 1, full_range);
}

cc::RgbToP010Args P010Of(Image16& rgb, Image16& y, Image16& uv, bool nv21) {
  return {rgb.row(0), rgb.pitch(), y.row(0), y.pitch(), uv.row(0) + (nv21 ? 1 : 0), uv.row(0) + (nv21 ? 0 : 1),
          uv.pitch(), rgb.w()};
}

template <typename T>
cc::BayerArgs<T> BayerArgsFor(Image<T>& src, Image<T>& dst, bool swap, bool parity) {
  return {src.row(0), src.pitch(), dst.row(0), dst.pitch(), src.w(), swap, parity};
}

// ---- Hand-computed pixels, both families ------------------------------------

template <class K>
class CvtColorFormulas : public ::testing::Test {};

using KernelFamilies = ::testing::Types<NoneKernels, NeonKernels>;
TYPED_TEST_SUITE(CvtColorFormulas, KernelFamilies);

// 64 pixels wide so the NEON families take their vector path, with the
// interesting pixel both inside a block and in the plain tail.
constexpr int kWide = 64 + 6;

TYPED_TEST(CvtColorFormulas, Nv12ToRgb_BlackWhiteAndAColourInBothRanges) {
  struct Case {
    uint8_t y, u, v;
    bool full;
    uint8_t r, g, b;
  } const cases[] = {
      {16, 128, 128, false, 0, 0, 0},        // video black
      {16, 128, 128, true, 16, 16, 16},      // full range keeps Y
      {235, 128, 128, false, 255, 255, 255}, // (219 * 1220542 + 2^19) >> 20 = 255
      {10, 128, 128, false, 0, 0, 0},        // Y below 16 counts as 16
      // Y' = 112, U' = -28, V' = 22: R = (136700704 + 36817594 + 2^19) >> 20 = 165,
      // G = (136700704 - 18754824 + 11479804 + 2^19) >> 20 = 123, B = (136700704 - 59248728 + 2^19) >> 20 = 74
      {128, 100, 150, false, 165, 123, 74},
      // R = 128 + (1471152 * 22 + 2^19) >> 20 = 159, G = 128 + (-16471026 + 10070508 + 2^19) >> 20 = 122,
      // B = 128 + (-51967412 + 2^19) >> 20 = 78
      {128, 100, 150, true, 159, 122, 78},
  };
  for (const Case& c : cases) {
    Image8 y(2, kWide, 1), uv(1, kWide / 2, 2), rgb(2, kWide, 3);
    y.Fill(c.y);
    for (int x = 0; x < kWide / 2; ++x) {
      uv.at(0, x, 0) = c.u;
      uv.at(0, x, 1) = c.v;
    }
    ASSERT_EQ(TypeParam::Yuv420(Nv12Args(y, uv, rgb, c.full), 0, 1), 0);
    for (int row = 0; row < 2; ++row) {
      for (int x : {0, 17, kWide - 1}) {
        EXPECT_EQ(rgb.at(row, x, 0), c.r) << int(c.y) << " " << x;
        EXPECT_EQ(rgb.at(row, x, 1), c.g) << int(c.y) << " " << x;
        EXPECT_EQ(rgb.at(row, x, 2), c.b) << int(c.y) << " " << x;
      }
    }
  }
}

TYPED_TEST(CvtColorFormulas, Nv12ToRgb_EachChromaPairServesItsTwoByTwoBlock) {
  Image8 y(2, kWide, 1), uv(1, kWide / 2, 2), rgb(2, kWide, 3);
  y.Fill(128);
  uv.Fill(128);
  uv.at(0, 5, 0) = 100;  // block of pixels 10, 11 only
  uv.at(0, 5, 1) = 150;
  ASSERT_EQ(TypeParam::Yuv420(Nv12Args(y, uv, rgb, false), 0, 1), 0);
  for (int row = 0; row < 2; ++row) {
    EXPECT_EQ(rgb.at(row, 10, 0), 165);
    EXPECT_EQ(rgb.at(row, 11, 2), 74);
    // Y' = 112 with neutral chroma: (136700704 + 2^19) >> 20 = 130
    EXPECT_EQ(rgb.at(row, 9, 0), 130);
    EXPECT_EQ(rgb.at(row, 12, 2), 130);
  }
}

TYPED_TEST(CvtColorFormulas, RgbToNv12_PureRedAndTheChromaOfTheTopLeftPixel) {
  struct Case {
    bool full;
    uint8_t y, u, v;
  } const cases[] = {
      // (269484 * 255 + 17301504) >> 20 = 82; U = (2^27 + 2^19 - 155188 * 255) >> 20 = 90;
      // V = (2^27 + 2^19 + 460324 * 255) >> 20 = 240
      {false, 82, 90, 240},
      // (313524 * 255 + 2^19) >> 20 = 76; U = 85; V = (2^27 + 2^19 + 2^19 * 255) >> 20 = 256, clamped
      {true, 76, 85, 255},
  };
  for (const Case& c : cases) {
    Image8 rgb(2, kWide, 3), y(2, kWide, 1), uv(1, kWide / 2, 2);
    for (int row = 0; row < 2; ++row) {
      for (int x = 0; x < kWide; ++x) rgb.at(row, x, 0) = 255;
    }
    // Only the top-left pixel of a block decides its chroma.
    rgb.at(0, 21, 1) = 200;
    rgb.at(1, 20, 1) = 200;
    ASSERT_EQ(TypeParam::Rgb420(Rgb2NvArgs(rgb, y, uv, c.full), 0, 1), 0);
    for (int x : {0, 20, kWide - 1}) {
      EXPECT_EQ(y.at(0, x), c.y) << x;
      EXPECT_EQ(uv.at(0, x / 2, 0), c.u) << x;
      EXPECT_EQ(uv.at(0, x / 2, 1), c.v) << x;
    }
  }
}

TYPED_TEST(CvtColorFormulas, RgbToP010_ScalesBy64AndClampsSixteenBitInputs) {
  struct Case {
    uint16_t r, g, b;
    uint16_t y, u, v;
  } const cases[] = {
      {1023, 1023, 1023, 65472, 32768, 32768},  // white: 1023 * 64, neutral chroma 512 * 64
      {65535, 65535, 65535, 65535, 32768, 32768},
      {65535, 0, 0, 65535, 0, 65535},  // U far below 0, V far above 65535
      {0, 0, 65535, 65535, 65535, 0},
      // Y = (313524 * 300 + 615514 * 700 + 119538 * 100 + 8192) >> 14 = 32768,
      // U = (2^29 + 8192 - 53068500 - 243175100 + 52428800) >> 14 = 17887,
      // V = (2^29 + 8192 + 157286400 - 307327300 - 8524900) >> 14 = 23090
      {300, 700, 100, 32768, 17887, 23090},
  };
  for (const Case& c : cases) {
    Image16 rgb(2, kWide, 3), y(2, kWide, 1), uv(1, kWide / 2, 2);
    for (int row = 0; row < 2; ++row) {
      for (int x = 0; x < kWide; ++x) {
        rgb.at(row, x, 0) = c.r;
        rgb.at(row, x, 1) = c.g;
        rgb.at(row, x, 2) = c.b;
      }
    }
    ASSERT_EQ(TypeParam::P010(P010Of(rgb, y, uv, false), 0, 1), 0);
    for (int x : {0, 33, kWide - 1}) {
      EXPECT_EQ(y.at(1, x), c.y) << c.r << "," << c.g << "," << c.b;
      EXPECT_EQ(uv.at(0, x / 2, 0), c.u) << c.r << "," << c.g << "," << c.b;
      EXPECT_EQ(uv.at(0, x / 2, 1), c.v) << c.r << "," << c.g << "," << c.b;
    }
  }
}

TYPED_TEST(CvtColorFormulas, Gray_UsesTheBlueAndRedWeightsInSourceOrder) {
  Image8 src(1, kWide, 4), dst(1, kWide, 1);
  for (int x = 0; x < kWide; ++x) {
    src.at(0, x, 0) = 10;
    src.at(0, x, 1) = 20;
    src.at(0, x, 2) = 30;
    src.at(0, x, 3) = 99;  // alpha is ignored
  }
  ASSERT_EQ(TypeParam::Gray(GrayOf(src, dst, false), 0, 1), 0);
  // (3735 * 10 + 19235 * 20 + 9798 * 30 + 16384) >> 15 = 22
  EXPECT_EQ(dst.at(0, 0), 22);
  EXPECT_EQ(dst.at(0, kWide - 1), 22);
  ASSERT_EQ(TypeParam::Gray(GrayOf(src, dst, true), 0, 1), 0);
  // (9798 * 10 + 19235 * 20 + 3735 * 30 + 16384) >> 15 = 18
  EXPECT_EQ(dst.at(0, 0), 18);
  EXPECT_EQ(dst.at(0, kWide - 1), 18);

  // Pure red: 76 whichever channel holds it.
  Image8 bgr(1, kWide, 3);
  for (int x = 0; x < kWide; ++x) bgr.at(0, x, 2) = 255;
  ASSERT_EQ(TypeParam::Gray(GrayOf(bgr, dst, false), 0, 1), 0);
  EXPECT_EQ(dst.at(0, 40), 76);
}

TYPED_TEST(CvtColorFormulas, Reorder_SwapsRedAndBlueAndSetsAlpha) {
  Image8 src(1, kWide, 3), dst(1, kWide, 4);
  for (int x = 0; x < kWide; ++x) {
    src.at(0, x, 0) = static_cast<uint8_t>(x);
    src.at(0, x, 1) = 100;
    src.at(0, x, 2) = static_cast<uint8_t>(200 - x);
  }
  ASSERT_EQ(TypeParam::Reorder(ReorderOf(src, dst, true), 0, 1), 0);
  for (int x = 0; x < kWide; ++x) {
    EXPECT_EQ(dst.at(0, x, 0), 200 - x);
    EXPECT_EQ(dst.at(0, x, 1), 100);
    EXPECT_EQ(dst.at(0, x, 2), x);
    EXPECT_EQ(dst.at(0, x, 3), 255);
  }
}

TYPED_TEST(CvtColorFormulas, Reorder_BgrToRgbInPlaceSwapsEveryPixelOnce) {
  Image8 img(2, kWide, 3);
  for (int row = 0; row < 2; ++row) {
    for (int x = 0; x < kWide; ++x) {
      img.at(row, x, 0) = 1;
      img.at(row, x, 1) = 2;
      img.at(row, x, 2) = 3;
    }
  }
  ASSERT_EQ(TypeParam::Reorder(ReorderOf(img, img, true), 0, 2), 0);
  for (int x = 0; x < kWide; ++x) {
    EXPECT_EQ(img.at(1, x, 0), 3) << x;
    EXPECT_EQ(img.at(1, x, 2), 1) << x;
  }
}

TYPED_TEST(CvtColorFormulas, GrayToBgra_RepeatsGrayAndSetsAlpha) {
  Image8 src(1, kWide, 1), dst(1, kWide, 4);
  for (int x = 0; x < kWide; ++x) src.at(0, x) = static_cast<uint8_t>(3 * x);
  ASSERT_EQ(TypeParam::GrayToBgr(GrayToBgrOf(src, dst), 0, 1), 0);
  for (int x = 0; x < kWide; ++x) {
    for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(dst.at(0, x, ch), 3 * x);
    EXPECT_EQ(dst.at(0, x, 3), 255);
  }
}

TYPED_TEST(CvtColorFormulas, Packed422_UyvyAndYuyvReadTheirOwnByteOrder) {
  // Per macro pixel: Y0 = 16 (black), Y1 = 235 (white), neutral chroma.
  Image8 uyvy(1, kWide, 2), yuyv(1, kWide, 2), rgb(1, kWide, 3);
  for (int x = 0; x < kWide; x += 2) {
    uint8_t* m = uyvy.row(0) + 2 * x;  // U0 Y0 V0 Y1
    m[0] = 128;
    m[1] = 16;
    m[2] = 128;
    m[3] = 235;
    uint8_t* n = yuyv.row(0) + 2 * x;  // Y0 U0 Y1 V0
    n[0] = 16;
    n[1] = 128;
    n[2] = 235;
    n[3] = 128;
  }
  ASSERT_EQ(TypeParam::Yuv422(PackedOf(uyvy, 1, 0, 2, rgb, false), 0, 1), 0);
  for (int x : {0, 1, 30, 31, kWide - 2, kWide - 1}) EXPECT_EQ(rgb.at(0, x, 1), x % 2 == 0 ? 0 : 255) << x;

  ASSERT_EQ(TypeParam::Yuv422(PackedOf(yuyv, 0, 1, 3, rgb, false), 0, 1), 0);
  for (int x : {0, 1, 30, 31, kWide - 2, kWide - 1}) EXPECT_EQ(rgb.at(0, x, 1), x % 2 == 0 ? 0 : 255) << x;

  // A chroma pair with U' = -28, V' = 22 under Y = 128 gives (165, 123, 74) in UYVY order.
  uyvy.row(0)[0] = 100;
  uyvy.row(0)[1] = 128;
  uyvy.row(0)[2] = 150;
  uyvy.row(0)[3] = 128;
  ASSERT_EQ(TypeParam::Yuv422(PackedOf(uyvy, 1, 0, 2, rgb, false), 0, 1), 0);
  EXPECT_EQ(rgb.at(0, 1, 0), 165);
  EXPECT_EQ(rgb.at(0, 1, 1), 123);
  EXPECT_EQ(rgb.at(0, 1, 2), 74);
}

// A 4 x 4 BGGR mosaic by hand: rows 1 and 2 interpolated, edges copied.
TYPED_TEST(CvtColorFormulas, Bayer_FourByFourBggrByHand) {
  // B G B G / G R G R / B G B G / G R G R with distinct values.
  const uint8_t m[4][4] = {{10, 20, 30, 40}, {50, 60, 70, 80}, {90, 100, 110, 120}, {130, 140, 150, 160}};
  Image8 src(4, 4, 1), dst(4, 4, 3);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) src.at(y, x) = m[y][x];
  }
  // BGGR: swap (red to channel 2) and parity (row 1 starts with green).
  ASSERT_EQ(TypeParam::Bayer8(BayerArgsFor(src, dst, true, true), 0, 1), 0);
  // (1,1) red 60: G = (20 + 100 + 50 + 70 + 2) >> 2 = 60, B = (10 + 30 + 90 + 110 + 2) >> 2 = 60.
  const uint8_t p11[3] = {60, 60, 60};
  // (1,2) green 70: R = (60 + 80 + 1) >> 1 = 70, B = (30 + 110 + 1) >> 1 = 70.
  const uint8_t p12[3] = {70, 70, 70};
  // (2,1) green 100: B = (90 + 110 + 1) >> 1 = 100, R = (60 + 140 + 1) >> 1 = 100.
  const uint8_t p21[3] = {100, 100, 100};
  // (2,2) blue 110: G = (100 + 120 + 70 + 150 + 2) >> 2 = 110, R = (60 + 80 + 140 + 160 + 2) >> 2 = 110.
  const uint8_t p22[3] = {110, 110, 110};
  const uint8_t* expected[4][4] = {{p11, p11, p12, p12}, {p11, p11, p12, p12}, {p21, p21, p22, p22},
                                   {p21, p21, p22, p22}};
  // Rows 0 and 3 are copied by the operator, not the row kernel.
  for (int y = 1; y <= 2; ++y) {
    for (int x = 0; x < 4; ++x) {
      for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(dst.at(y, x, ch), expected[y][x][ch]) << y << "," << x << "," << ch;
    }
  }
}

TYPED_TEST(CvtColorFormulas, Bayer_RoundsMeansHalfUp) {
  // G R G R row between B G B G rows with odd sums.
  Image8 src(4, 8, 1), dst(4, 8, 3);
  const uint8_t m[4][8] = {{1, 2, 4, 2, 1, 2, 4, 2},
                           {2, 7, 2, 8, 2, 7, 2, 8},
                           {2, 2, 5, 2, 2, 2, 5, 2},
                           {2, 9, 2, 9, 2, 9, 2, 9}};
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) src.at(y, x) = m[y][x];
  }
  ASSERT_EQ(TypeParam::Bayer8(BayerArgsFor(src, dst, true, true), 0, 1), 0);
  // (1,2) green: R = (7 + 8 + 1) >> 1 = 8, B = (4 + 5 + 1) >> 1 = 5.
  EXPECT_EQ(dst.at(1, 2, 2), 8);
  EXPECT_EQ(dst.at(1, 2, 0), 5);
  // (1,3) red 8: G = (2 + 2 + 2 + 2 + 2) >> 2 = 2, B = (4 + 1 + 5 + 2 + 2) >> 2 = 3.
  EXPECT_EQ(dst.at(1, 3, 1), 2);
  EXPECT_EQ(dst.at(1, 3, 0), 3);
  // (2,2) blue 5: R = (7 + 8 + 9 + 9 + 2) >> 2 = 8.
  EXPECT_EQ(dst.at(2, 2, 2), 8);
}

// A mosaic sampled from one flat colour demosaics to that colour in every
// pattern and element type: checks the pattern names, parity and swap.
template <typename T>
void ExpectFlatColourSurvives(int (*kernel)(const cc::BayerArgs<T>&, int, int), T b, T g, T r) {
  struct Pattern {
    const char* name;
    const char* first_rows;  // colours of (0,0), (0,1), (1,0), (1,1)
    bool swap, parity;
  } const patterns[] = {
      {"BGGR", "BGGR", true, true},
      {"GBRG", "GBRG", false, false},
      {"RGGB", "RGGB", false, true},
      {"GRBG", "GRBG", true, false},
  };
  const int h = 6, w = 40;
  for (const Pattern& p : patterns) {
    Image<T> src(h, w, 1), dst(h, w, 3);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const char c = p.first_rows[(y % 2) * 2 + x % 2];
        src.at(y, x) = c == 'B' ? b : (c == 'G' ? g : r);
      }
    }
    ASSERT_EQ(kernel(BayerArgsFor(src, dst, p.swap, p.parity), 0, (h - 2) / 2), 0);
    for (int y = 1; y < h - 1; ++y) {
      for (int x = 0; x < w; ++x) {
        ASSERT_EQ(dst.at(y, x, 0), b) << p.name << " " << y << "," << x;
        ASSERT_EQ(dst.at(y, x, 1), g) << p.name << " " << y << "," << x;
        ASSERT_EQ(dst.at(y, x, 2), r) << p.name << " " << y << "," << x;
      }
    }
  }
}

TYPED_TEST(CvtColorFormulas, Bayer_FlatColourSurvivesEveryPatternInU8AndU16) {
  ExpectFlatColourSurvives<uint8_t>(&TypeParam::Bayer8, 30, 140, 250);
  ExpectFlatColourSurvives<uint16_t>(&TypeParam::Bayer16, 1000, 40000, 65535);
}

// ---- NEON against plain on random images -------------------------------------

class CvtColorNeonMatchesNone : public ::testing::Test {
 protected:
  std::mt19937 rng_{20261205};
};

// Widths around the 16-pixel blocks and the 48-pixel minimum of the operator.
const int kAnyWidths[] = {1, 3, 15, 16, 17, 31, 47, 48, 49, 63, 65, 100, 131, 257};
const int kEvenWidths[] = {2, 14, 16, 18, 30, 32, 34, 46, 48, 50, 62, 66, 98, 130, 258};
const int kAnyHeights[] = {1, 3, 5};
const int kEvenHeights[] = {2, 4, 6};

TEST_F(CvtColorNeonMatchesNone, ReorderGrayAndGrayToBgr_EveryChannelLayout) {
  for (int w : kAnyWidths) {
    for (int h : kAnyHeights) {
      for (int scn : {3, 4}) {
        for (int dcn : {3, 4}) {
          for (bool swap : {false, true}) {
            Image8 src(h, w, scn), a(h, w, dcn), b(h, w, dcn);
            src.FillRandom(rng_, 255);
            cc::none::ReorderRows(ReorderOf(src, a, swap), 0, h);
            cc::neon::ReorderRows(ReorderOf(src, b, swap), 0, h);
            ASSERT_TRUE(a.SamePixels(b)) << w << "x" << h << " " << scn << "->" << dcn << " " << a.FirstDifference(b);
          }
        }
        Image8 src(h, w, scn), a(h, w, 1), b(h, w, 1);
        src.FillRandom(rng_, 255);
        for (bool red_first : {false, true}) {
          cc::none::BgrToGrayRows(GrayOf(src, a, red_first), 0, h);
          cc::neon::BgrToGrayRows(GrayOf(src, b, red_first), 0, h);
          ASSERT_TRUE(a.SamePixels(b)) << w << "x" << h << " gray " << scn << " " << a.FirstDifference(b);
        }
      }
      for (int dcn : {3, 4}) {
        Image8 src(h, w, 1), a(h, w, dcn), b(h, w, dcn);
        src.FillRandom(rng_, 255);
        cc::none::GrayToBgrRows(GrayToBgrOf(src, a), 0, h);
        cc::neon::GrayToBgrRows(GrayToBgrOf(src, b), 0, h);
        ASSERT_TRUE(a.SamePixels(b)) << w << "x" << h << " gray to " << dcn << " " << a.FirstDifference(b);
      }
    }
  }
}

TEST_F(CvtColorNeonMatchesNone, YuvToRgb_Nv12Nv21PlanarPackedAnd444InBothRanges) {
  for (int w : kEvenWidths) {
    for (int h : kEvenHeights) {
      for (bool full : {false, true}) {
        Image8 y(h, w, 1), uv(h / 2, w / 2, 2), u(h / 2, w / 2, 1), v(h / 2, w / 2, 1);
        y.FillRandom(rng_, 255);
        uv.FillRandom(rng_, 255);
        u.FillRandom(rng_, 255);
        v.FillRandom(rng_, 255);
        Image8 a(h, w, 3), b(h, w, 3);
        for (bool nv21 : {false, true}) {
          cc::YuvToRgbArgs args = Nv12Args(y, uv, a, full);
          if (nv21) std::swap(args.u, args.v);
          cc::none::Yuv420ToRgbRows(args, 0, h / 2);
          args.dst = b.row(0);
          cc::neon::Yuv420ToRgbRows(args, 0, h / 2);
          ASSERT_TRUE(a.SamePixels(b)) << w << "x" << h << " nv21 " << nv21 << " " << a.FirstDifference(b);
        }
        cc::none::Yuv420ToRgbRows(PlanarArgs(y, u, v, a, full), 0, h / 2);
        cc::neon::Yuv420ToRgbRows(PlanarArgs(y, u, v, b, full), 0, h / 2);
        ASSERT_TRUE(a.SamePixels(b)) << w << "x" << h << " yu12 " << a.FirstDifference(b);

        // Packed 4:2:2 in its three byte orders.
        Image8 packed(h, w, 2);
        packed.FillRandom(rng_, 255);
        const int orders[3][3] = {{1, 0, 2}, {0, 1, 3}, {0, 3, 1}};
        for (const auto& order : orders) {
          cc::none::Yuv422ToRgbRows(PackedOf(packed, order[0], order[1], order[2], a, full), 0, h);
          cc::neon::Yuv422ToRgbRows(PackedOf(packed, order[0], order[1], order[2], b, full), 0, h);
          ASSERT_TRUE(a.SamePixels(b)) << w << "x" << h << " 422 " << order[0] << " " << a.FirstDifference(b);
        }

        // 4:4:4 planes, with odd widths too.
        for (int w444 : {w, w + 1}) {
          Image8 y4(h, w444, 1), u4(h, w444, 1), v4(h, w444, 1), a4(h, w444, 3), b4(h, w444, 3);
          y4.FillRandom(rng_, 255);
          u4.FillRandom(rng_, 255);
          v4.FillRandom(rng_, 255);
          cc::none::Yuv444ToRgbRows(PlanarArgs(y4, u4, v4, a4, full), 0, h);
          cc::neon::Yuv444ToRgbRows(PlanarArgs(y4, u4, v4, b4, full), 0, h);
          ASSERT_TRUE(a4.SamePixels(b4)) << w444 << "x" << h << " 444 " << a4.FirstDifference(b4);
        }
      }
    }
  }
}

TEST_F(CvtColorNeonMatchesNone, RgbToYuv_NvPlanar444AndP010) {
  for (int w : kEvenWidths) {
    for (int h : kEvenHeights) {
      Image8 rgb(h, w, 3);
      rgb.FillRandom(rng_, 255);
      for (bool full : {false, true}) {
        for (bool nv21 : {false, true}) {
          Image8 ya(h, w, 1), yb(h, w, 1), uva(h / 2, w / 2, 2), uvb(h / 2, w / 2, 2);
          cc::RgbToYuvArgs args = Rgb2NvArgs(rgb, ya, uva, full);
          if (nv21) std::swap(args.u, args.v);
          cc::none::RgbToYuv420Rows(args, 0, h / 2);
          cc::RgbToYuvArgs other = Rgb2NvArgs(rgb, yb, uvb, full);
          if (nv21) std::swap(other.u, other.v);
          cc::neon::RgbToYuv420Rows(other, 0, h / 2);
          ASSERT_TRUE(ya.SamePixels(yb)) << w << "x" << h << " " << ya.FirstDifference(yb);
          ASSERT_TRUE(uva.SamePixels(uvb)) << w << "x" << h << " " << uva.FirstDifference(uvb);
        }
        Image8 ya(h, w, 1), yb(h, w, 1);
        Image8 ua(h / 2, w / 2, 1), ub(h / 2, w / 2, 1), va(h / 2, w / 2, 1), vb(h / 2, w / 2, 1);
        cc::none::RgbToYuv420Rows(RgbToPlanesArgs(rgb, ya, ua, va, full), 0, h / 2);
        cc::neon::RgbToYuv420Rows(RgbToPlanesArgs(rgb, yb, ub, vb, full), 0, h / 2);
        ASSERT_TRUE(ya.SamePixels(yb) && ua.SamePixels(ub) && va.SamePixels(vb)) << w << "x" << h << " yu12";

        for (int w444 : {w, w + 1}) {
          Image8 src(h, w444, 3);
          src.FillRandom(rng_, 255);
          Image8 y1(h, w444, 1), y2(h, w444, 1), u1(h, w444, 1), u2(h, w444, 1), v1(h, w444, 1), v2(h, w444, 1);
          cc::none::RgbToYuv444Rows(RgbToPlanesArgs(src, y1, u1, v1, full), 0, h);
          cc::neon::RgbToYuv444Rows(RgbToPlanesArgs(src, y2, u2, v2, full), 0, h);
          ASSERT_TRUE(y1.SamePixels(y2) && u1.SamePixels(u2) && v1.SamePixels(v2)) << w444 << "x" << h << " 444";
        }
      }
      // P010 over the whole 16-bit range (beyond 10 bits the results clamp).
      for (uint32_t max_value : {1023u, 65535u}) {
        for (bool nv21 : {false, true}) {
          Image16 src(h, w, 3), ya(h, w, 1), yb(h, w, 1), uva(h / 2, w / 2, 2), uvb(h / 2, w / 2, 2);
          src.FillRandom(rng_, max_value);
          cc::none::RgbToP010Rows(P010Of(src, ya, uva, nv21), 0, h / 2);
          cc::neon::RgbToP010Rows(P010Of(src, yb, uvb, nv21), 0, h / 2);
          ASSERT_TRUE(ya.SamePixels(yb)) << w << "x" << h << " p010 " << ya.FirstDifference(yb);
          ASSERT_TRUE(uva.SamePixels(uvb)) << w << "x" << h << " p010 " << uva.FirstDifference(uvb);
        }
      }
    }
  }
}

template <typename T>
void ExpectBayerFamiliesAgree(std::mt19937& rng, uint32_t max_value,
                              int (*none_fn)(const cc::BayerArgs<T>&, int, int),
                              int (*neon_fn)(const cc::BayerArgs<T>&, int, int)) {
  const int widths[] = {4, 6, 8, 34, 36, 38, 64, 66, 68, 70, 130, 258};
  for (int w : widths) {
    for (int h : {4, 6, 10}) {
      Image<T> src(h, w, 1);
      src.FillRandom(rng, max_value);
      for (bool swap : {false, true}) {
        for (bool parity : {false, true}) {
          Image<T> a(h, w, 3), b(h, w, 3);
          none_fn(BayerArgsFor(src, a, swap, parity), 0, (h - 2) / 2);
          neon_fn(BayerArgsFor(src, b, swap, parity), 0, (h - 2) / 2);
          ASSERT_TRUE(a.SamePixels(b)) << w << "x" << h << " swap " << swap << " parity " << parity << " "
                                       << a.FirstDifference(b);
        }
      }
    }
  }
}

TEST_F(CvtColorNeonMatchesNone, Bayer_EveryPatternU8AndU16) {
  ExpectBayerFamiliesAgree<uint8_t>(rng_, 255, &cc::none::BayerToBgrRowsU8, &cc::neon::BayerToBgrRowsU8);
  ExpectBayerFamiliesAgree<uint16_t>(rng_, 65535, &cc::none::BayerToBgrRowsU16, &cc::neon::BayerToBgrRowsU16);
  // Extreme values stress the rounded means.
  ExpectBayerFamiliesAgree<uint8_t>(rng_, 1, &cc::none::BayerToBgrRowsU8, &cc::neon::BayerToBgrRowsU8);
}

TEST_F(CvtColorNeonMatchesNone, RowRanges_ConvertOnlyTheirOwnRows) {
  const int w = 66, h = 8;
  Image8 y(h, w, 1), uv(h / 2, w / 2, 2), rgb(h, w, 3);
  y.FillRandom(rng_, 255);
  uv.FillRandom(rng_, 255);
  rgb.Fill(7);
  cc::neon::Yuv420ToRgbRows(Nv12Args(y, uv, rgb, false), 1, 2);  // output rows 2 and 3
  for (int row = 0; row < h; ++row) {
    bool untouched = true;
    for (int x = 0; x < w * 3; ++x) untouched = untouched && rgb.row(row)[x] == 7;
    EXPECT_EQ(untouched, row != 2 && row != 3) << row;
  }
}

}  // namespace
