// kiln::Resize against OpenCV's cv::resize as an oracle: bilinear and area
// on U8 images (1 and 3 channels, exact and general ratios, both targets)
// must agree within +-1 on every pixel; the share of pixels that differ is
// printed for each case. OpenCV rounds some of these differently (8-bit
// bilinear weights, normalised area weights), so equality is not expected.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "kiln/ops/resize/resize.h"
#include "kiln/runtime/array/mat.h"
#include "kiln/runtime/context/context.h"

namespace {

class ResizeOracle : public ::testing::Test {
 protected:
  void SetUp() override {
    kiln::ContextConfig config;
    config.log_mode = kiln::kLogModeNone;
    config.wp_name = "RSZCV";
    config.compute_threads = 1;
    ctx_.reset(new kiln::Context(config));
    ASSERT_EQ(ctx_->Initialize(), 0);
  }

  kiln::Mat View(cv::Mat& m) {
    return kiln::Mat(ctx_.get(), kiln::QX_U8, kiln::Sizes{m.rows, m.cols, m.channels()}, m.data,
                     kiln::Strides{0, static_cast<int32_t>(m.step[0])});
  }

  // Resizes src to w x h with both of our targets and with OpenCV; every
  // pixel within 1, and returns the share of pixels that differ.
  void Compare(const cv::Mat& src_in, int w, int h, int32_t interp, int cv_interp) {
    cv::Mat src = src_in.clone();
    cv::Mat expected;
    cv::resize(src, expected, cv::Size(w, h), 0, 0, cv_interp);
    for (const kiln::TargetInfo target : {kiln::TargetInfo(kiln::kTargetNeon, false),
                                          kiln::TargetInfo(kiln::kTargetNone, true)}) {
      cv::Mat ours(h, w, src.type(), cv::Scalar::all(0));
      kiln::Mat s = View(src), d = View(ours);
      ASSERT_EQ(kiln::IResize(ctx_.get(), &s, &d, interp, target), 0);
      cv::Mat diff;
      cv::absdiff(ours, expected, diff);
      double max_diff = 0;
      cv::minMaxLoc(diff.reshape(1), nullptr, &max_diff);
      const double differing = static_cast<double>(cv::countNonZero(diff.reshape(1))) / (diff.total() * diff.channels());
      std::printf("[ oracle ] %-7s C%d %4dx%-4d -> %4dx%-4d %-4s: max |diff| %.0f, %.4f%% of samples differ\n",
                  kiln::InterpTypeName(interp), src.channels(), src.cols, src.rows, w, h,
                  target.type == kiln::kTargetNeon ? "neon" : "none", max_diff, 100.0 * differing);
      EXPECT_LE(max_diff, 1.0) << kiln::InterpTypeName(interp) << " " << src.cols << "x" << src.rows << " -> " << w
                               << "x" << h;
    }
  }

  static cv::Mat Random(int w, int h, int cn) {
    cv::Mat m(h, w, CV_8UC(cn));
    cv::RNG rng(static_cast<uint64_t>(w) * 7919 + h * 31 + cn);
    rng.fill(m, cv::RNG::UNIFORM, 0, 256);
    return m;
  }

  // A smooth image with some texture, closer to a photograph than noise.
  static cv::Mat Smooth(int w, int h, int cn) {
    cv::Mat m(h, w, CV_8UC(cn));
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        for (int c = 0; c < cn; ++c) {
          const int v = (x * (3 + c) + y * 2) % 256 + ((x / 7 + y / 5) % 2) * 20;
          m.ptr<uint8_t>(y)[x * cn + c] = static_cast<uint8_t>(std::min(v, 255));
        }
      }
    }
    return m;
  }

  std::unique_ptr<kiln::Context> ctx_;
};

TEST_F(ResizeOracle, Bilinear_StaysWithinOneOfOpenCv) {
  for (const int cn : {1, 3}) {
    for (const cv::Mat& src : {Random(640, 480, cn), Smooth(640, 480, cn)}) {
      Compare(src, 320, 240, kiln::kInterpLinear, cv::INTER_LINEAR);   // /2 (fast kernel)
      Compare(src, 160, 120, kiln::kInterpLinear, cv::INTER_LINEAR);   // /4
      Compare(src, 301, 177, kiln::kInterpLinear, cv::INTER_LINEAR);   // general down
      Compare(src, 1280, 960, kiln::kInterpLinear, cv::INTER_LINEAR);  // x2
    }
    const cv::Mat small = Random(150, 100, cn);
    Compare(small, 600, 400, kiln::kInterpLinear, cv::INTER_LINEAR);  // x4
    Compare(small, 517, 333, kiln::kInterpLinear, cv::INTER_LINEAR);  // general up
  }
}

TEST_F(ResizeOracle, Area_StaysWithinOneOfOpenCv) {
  for (const int cn : {1, 3}) {
    for (const cv::Mat& src : {Random(600, 450, cn), Smooth(600, 450, cn)}) {
      Compare(src, 200, 150, kiln::kInterpArea, cv::INTER_AREA);  // /3 (whole factor)
      Compare(src, 300, 225, kiln::kInterpArea, cv::INTER_AREA);  // /2
      Compare(src, 240, 180, kiln::kInterpArea, cv::INTER_AREA);  // /2.5
      Compare(src, 599, 200, kiln::kInterpArea, cv::INTER_AREA);  // mixed fractional factors
    }
    const cv::Mat small = Random(150, 100, cn);
    Compare(small, 300, 200, kiln::kInterpArea, cv::INTER_AREA);  // x2: pixel repeats
    Compare(small, 455, 311, kiln::kInterpArea, cv::INTER_AREA);  // general up
  }
}

}  // namespace
