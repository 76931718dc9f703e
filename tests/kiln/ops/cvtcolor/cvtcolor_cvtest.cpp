// kiln::CvtColor against OpenCV where OpenCV computes the same formula:
// BT.601 video-range YUV <-> RGB (OpenCV uses the same 2^20 constants, the
// top-left chroma sample for RGB -> 4:2:0, and UYVY for its Y422), bilinear
// Bayer demosaic (same rounded means and the same border copies) and the
// channel reorders. Gray is the one intended difference: OpenCV weighs in
// 2^14 (1868, 9617, 4899), we in 2^15 (3735, 19235, 9798), so a few pixels
// differ by 1; gray inputs (B = G = R) agree exactly.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "cvtcolor_test_util.h"
#include "kiln/ops/cvtcolor/cvtcolor.h"

namespace {

const kiln::TargetInfo kTargets[] = {kiln::TargetInfo(kiln::kTargetNone, false),
                                     kiln::TargetInfo(kiln::kTargetNone, true),
                                     kiln::TargetInfo(kiln::kTargetNeon, false)};

class CvtColorOpenCvTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx_ = cvtcolor_test::MakeContext(1);
    ASSERT_NE(ctx_, nullptr);
  }

  cv::Mat Random(int h, int w, int cv_type) {
    cv::Mat m(h, w, cv_type);
    cv::randu(m, cv::Scalar::all(0), cv::Scalar::all(CV_MAT_DEPTH(cv_type) == CV_16U ? 65536 : 256));
    return m;
  }

  // A kiln view of an OpenCV matrix (or of a row range of it).
  kiln::Mat View(cv::Mat& m) {
    const kiln::ElemType elem = m.depth() == CV_16U ? kiln::QX_U16 : kiln::QX_U8;
    return kiln::Mat(ctx_.get(), elem, kiln::Sizes{m.rows, m.cols, m.channels()}, m.data,
                     kiln::Strides{0, static_cast<int32_t>(m.step[0])});
  }

  // max |a - b| over all elements (both the same shape).
  static double MaxDiff(const cv::Mat& a, const cv::Mat& b) { return cv::norm(a, b, cv::NORM_INF); }

  std::unique_ptr<kiln::Context> ctx_;
  cv::RNG rng_{20261205};
};

const int kSizes[][2] = {{4, 64}, {6, 98}, {10, 130}, {16, 258}};  // h, w

TEST_F(CvtColorOpenCvTest, Bayer_MatchesOpenCvBilinearExactlyInEveryPatternU8AndU16) {
  struct Pattern {
    kiln::CvtColorType ours;
    int opencv;
  } const patterns[] = {{kiln::BAYERBG2BGR, cv::COLOR_BayerBGGR2BGR},
                        {kiln::BAYERGB2BGR, cv::COLOR_BayerGBRG2BGR},
                        {kiln::BAYERRG2BGR, cv::COLOR_BayerRGGB2BGR},
                        {kiln::BAYERGR2BGR, cv::COLOR_BayerGRBG2BGR}};
  for (int depth : {CV_8U, CV_16U}) {
    for (const auto& size : kSizes) {
      cv::Mat src = Random(size[0], size[1], CV_MAKETYPE(depth, 1));
      for (const Pattern& p : patterns) {
        cv::Mat expected;
        cv::cvtColor(src, expected, p.opencv);
        for (const kiln::TargetInfo& target : kTargets) {
          cv::Mat ours(src.size(), CV_MAKETYPE(depth, 3), cv::Scalar::all(0));
          kiln::Mat s = View(src), d = View(ours);
          ASSERT_EQ(kiln::ICvtColor(ctx_.get(), {&s}, {&d}, p.ours, target), 0);
          EXPECT_EQ(MaxDiff(ours, expected), 0.0)
              << kiln::CvtColorTypeName(p.ours) << " depth " << depth << " " << size[1] << "x" << size[0];
        }
      }
    }
  }
}

TEST_F(CvtColorOpenCvTest, SemiPlanarAndPlanarYuv_MatchOpenCvVideoRange) {
  for (const auto& size : kSizes) {
    const int h = size[0], w = size[1];
    // OpenCV takes 4:2:0 as one (h * 3 / 2) x w image: Y rows, then chroma.
    cv::Mat packed = Random(h * 3 / 2, w, CV_8UC1);
    cv::Mat y = packed.rowRange(0, h);
    cv::Mat uv = packed.rowRange(h, h * 3 / 2).reshape(2, h / 2);  // (h/2) x (w/2) x 2
    cv::Mat chroma = packed.rowRange(h, h * 3 / 2).reshape(1, h);  // planar: h x (w/2)
    cv::Mat first = chroma.rowRange(0, h / 2);
    cv::Mat second = chroma.rowRange(h / 2, h);
    struct Case {
      kiln::CvtColorType ours;
      int opencv;
      bool planar;
    } const cases[] = {{kiln::YUV2RGB_NV12, cv::COLOR_YUV2RGB_NV12, false},
                       {kiln::YUV2RGB_NV21, cv::COLOR_YUV2RGB_NV21, false},
                       {kiln::YUV2RGB_YU12, cv::COLOR_YUV2RGB_I420, true},
                       {kiln::YUV2RGB_YV12, cv::COLOR_YUV2RGB_YV12, true}};
    for (const Case& c : cases) {
      cv::Mat expected;
      cv::cvtColor(packed, expected, c.opencv);
      for (const kiln::TargetInfo& target : kTargets) {
        cv::Mat ours(h, w, CV_8UC3);
        kiln::Mat ky = View(y), kuv = View(uv), k1 = View(first), k2 = View(second), kd = View(ours);
        const std::vector<kiln::Array*> src =
            c.planar ? std::vector<kiln::Array*>{&ky, &k1, &k2} : std::vector<kiln::Array*>{&ky, &kuv};
        ASSERT_EQ(kiln::ICvtColor(ctx_.get(), src, {&kd}, c.ours, target), 0) << cvtcolor_test::Backtrace(*ctx_);
        EXPECT_EQ(MaxDiff(ours, expected), 0.0) << kiln::CvtColorTypeName(c.ours) << " " << w << "x" << h;
      }
    }
  }
}

TEST_F(CvtColorOpenCvTest, PackedYuv422_MatchesOpenCvUyvyYuy2AndYvyu) {
  struct Case {
    kiln::CvtColorType ours;
    int opencv;
  } const cases[] = {{kiln::YUV2RGB_Y422, cv::COLOR_YUV2RGB_UYVY},
                     {kiln::YUV2RGB_YUYV, cv::COLOR_YUV2RGB_YUY2},
                     {kiln::YUV2RGB_YVYU, cv::COLOR_YUV2RGB_YVYU}};
  for (const auto& size : kSizes) {
    cv::Mat src = Random(size[0], size[1], CV_8UC2);
    for (const Case& c : cases) {
      cv::Mat expected;
      cv::cvtColor(src, expected, c.opencv);
      for (const kiln::TargetInfo& target : kTargets) {
        cv::Mat ours(src.size(), CV_8UC3);
        kiln::Mat s = View(src), d = View(ours);
        ASSERT_EQ(kiln::ICvtColor(ctx_.get(), {&s}, {&d}, c.ours, target), 0);
        EXPECT_EQ(MaxDiff(ours, expected), 0.0) << kiln::CvtColorTypeName(c.ours) << " " << size[1];
      }
    }
  }
}

TEST_F(CvtColorOpenCvTest, RgbTo420_MatchesOpenCvI420AndYv12AndItsInterleavedChroma) {
  for (const auto& size : kSizes) {
    const int h = size[0], w = size[1];
    cv::Mat rgb = Random(h, w, CV_8UC3);
    cv::Mat i420, yv12;
    cv::cvtColor(rgb, i420, cv::COLOR_RGB2YUV_I420);
    cv::cvtColor(rgb, yv12, cv::COLOR_RGB2YUV_YV12);
    const cv::Mat chroma = i420.rowRange(h, h * 3 / 2).reshape(1, h);
    const cv::Mat u_plane = chroma.rowRange(0, h / 2), v_plane = chroma.rowRange(h / 2, h);
    for (const kiln::TargetInfo& target : kTargets) {
      cv::Mat ours_i420(h * 3 / 2, w, CV_8UC1), ours_yv12(h * 3 / 2, w, CV_8UC1);
      for (cv::Mat* out : {&ours_i420, &ours_yv12}) {
        cv::Mat y = out->rowRange(0, h);
        cv::Mat c = out->rowRange(h, h * 3 / 2).reshape(1, h);
        cv::Mat p1 = c.rowRange(0, h / 2), p2 = c.rowRange(h / 2, h);
        kiln::Mat ks = View(rgb), ky = View(y), k1 = View(p1), k2 = View(p2);
        const kiln::CvtColorType type = out == &ours_i420 ? kiln::RGB2YUV_YU12 : kiln::RGB2YUV_YV12;
        ASSERT_EQ(kiln::ICvtColor(ctx_.get(), {&ks}, {&ky, &k1, &k2}, type, target), 0);
      }
      EXPECT_EQ(MaxDiff(ours_i420, i420), 0.0) << w << "x" << h;
      EXPECT_EQ(MaxDiff(ours_yv12, yv12), 0.0) << w << "x" << h;

      // NV12: the same Y, and the I420 U and V planes interleaved.
      cv::Mat y(h, w, CV_8UC1), uv(h / 2, w / 2, CV_8UC2);
      kiln::Mat ks = View(rgb), ky = View(y), kuv = View(uv);
      ASSERT_EQ(kiln::ICvtColor(ctx_.get(), {&ks}, {&ky, &kuv}, kiln::RGB2YUV_NV12, target), 0);
      cv::Mat merged;
      cv::merge(std::vector<cv::Mat>{u_plane, v_plane}, merged);
      EXPECT_EQ(MaxDiff(y, i420.rowRange(0, h)), 0.0);
      EXPECT_EQ(MaxDiff(uv, merged), 0.0);
    }
  }
}

TEST_F(CvtColorOpenCvTest, ChannelReorders_MatchOpenCvExactly) {
  struct Case {
    kiln::CvtColorType ours;
    int opencv;
    int src_cn, dst_cn;
  } const cases[] = {{kiln::BGR2BGRA, cv::COLOR_BGR2BGRA, 3, 4}, {kiln::BGRA2BGR, cv::COLOR_BGRA2BGR, 4, 3},
                     {kiln::BGR2RGB, cv::COLOR_BGR2RGB, 3, 3},   {kiln::GRAY2BGR, cv::COLOR_GRAY2BGR, 1, 3},
                     {kiln::GRAY2BGRA, cv::COLOR_GRAY2BGRA, 1, 4}};
  for (const Case& c : cases) {
    for (int w : {49, 64, 131}) {
      cv::Mat src = Random(5, w, CV_8UC(c.src_cn));
      cv::Mat expected;
      cv::cvtColor(src, expected, c.opencv);
      for (const kiln::TargetInfo& target : kTargets) {
        cv::Mat ours(src.size(), CV_8UC(c.dst_cn));
        kiln::Mat s = View(src), d = View(ours);
        ASSERT_EQ(kiln::ICvtColor(ctx_.get(), {&s}, {&d}, c.ours, target), 0);
        EXPECT_EQ(MaxDiff(ours, expected), 0.0) << kiln::CvtColorTypeName(c.ours) << " " << w;
      }
    }
  }
}

TEST_F(CvtColorOpenCvTest, Gray_WithinOneOfOpenCvAndExactOnGrayInputs) {
  struct Case {
    kiln::CvtColorType ours;
    int opencv;
    int cn;
  } const cases[] = {{kiln::BGR2GRAY, cv::COLOR_BGR2GRAY, 3},
                     {kiln::RGB2GRAY, cv::COLOR_RGB2GRAY, 3},
                     {kiln::BGRA2GRAY, cv::COLOR_BGRA2GRAY, 4},
                     {kiln::RGBA2GRAY, cv::COLOR_RGBA2GRAY, 4}};
  for (const Case& c : cases) {
    cv::Mat src = Random(64, 257, CV_8UC(c.cn));
    cv::Mat expected;
    cv::cvtColor(src, expected, c.opencv);
    // Every level from a gray source.
    cv::Mat ramp(1, 256, CV_8UC1);
    for (int i = 0; i < 256; ++i) ramp.at<uint8_t>(0, i) = static_cast<uint8_t>(i);
    cv::Mat gray_src;
    cv::cvtColor(ramp, gray_src, c.cn == 3 ? cv::COLOR_GRAY2BGR : cv::COLOR_GRAY2BGRA);
    for (const kiln::TargetInfo& target : kTargets) {
      cv::Mat ours(src.size(), CV_8UC1);
      kiln::Mat s = View(src), d = View(ours);
      ASSERT_EQ(kiln::ICvtColor(ctx_.get(), {&s}, {&d}, c.ours, target), 0);
      EXPECT_LE(MaxDiff(ours, expected), 1.0) << kiln::CvtColorTypeName(c.ours);
      // The weights differ by at most 1 in 2^15: almost every pixel agrees.
      EXPECT_LT(cv::countNonZero(ours != expected), src.rows * src.cols / 20);

      cv::Mat ours_ramp(1, 256, CV_8UC1);
      kiln::Mat gs = View(gray_src), gd = View(ours_ramp);
      ASSERT_EQ(kiln::ICvtColor(ctx_.get(), {&gs}, {&gd}, c.ours, target), 0);
      EXPECT_EQ(MaxDiff(ours_ramp, ramp), 0.0);
    }
  }
}

}  // namespace
