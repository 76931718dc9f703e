// kiln::ConvertTo against OpenCV's convertTo as an oracle for rounding
// (ties to even) and saturation, on both of our targets.
//
// Intended differences, kept out of the compared data:
// - NaN and values beyond the int32 range: OpenCV on x86 rounds them to
//   INT_MIN first (so NaN or +1e10 to U8 gives 0); we saturate by value
//   (+1e10 -> 255) and map NaN to 0, as AArch64 does.
// - Inexact products: OpenCV may fuse src * alpha + beta (FMA in its AVX2
//   path); we always round the product, then the sum. Only exact products
//   are compared when scaling.
// - S32 sources: OpenCV scales them in double; we scale in float. Values
//   below 2^20 keep both exact.
// - U32 has no OpenCV depth and is not compared.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "kiln/ops/matrix/convert_to.h"
#include "kiln/ops/matrix/matrix_test_data.h"
#include "kiln/runtime/context/context.h"

namespace {

using kiln::ElemType;

int CvDepth(ElemType t) {
  switch (t) {
    case kiln::QX_U8: return CV_8U;
    case kiln::QX_S8: return CV_8S;
    case kiln::QX_U16: return CV_16U;
    case kiln::QX_S16: return CV_16S;
    case kiln::QX_S32: return CV_32S;
    case kiln::QX_F32: return CV_32F;
    case kiln::QX_F16: return CV_16F;
    default: return -1;
  }
}

const std::vector<ElemType>& CvTypes() {
  static const std::vector<ElemType> types = {kiln::QX_U8,  kiln::QX_S8,  kiln::QX_U16, kiln::QX_S16,
                                              kiln::QX_S32, kiln::QX_F32, kiln::QX_F16};
  return types;
}

class ConvertToCvOracleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kiln::ContextConfig config;
    config.log_mode = kiln::kLogModeNone;
    config.wp_name = "CVORACLE";
    config.compute_threads = 1;
    ctx_ = std::make_unique<kiln::Context>(config);
    ASSERT_EQ(ctx_->Initialize(), kiln::kStatusOk);
  }

  // Converts src with OpenCV and with both our targets; every byte of the
  // three results must agree.
  void ExpectSameAsOpenCv(const cv::Mat& src, ElemType st, ElemType dt, float alpha, float beta) {
    cv::Mat expected;
    src.convertTo(expected, CvDepth(dt), alpha, beta);
    kiln::Mat in(ctx_.get(), st, {src.rows, src.cols, src.channels()}, src.data,
                 {0, static_cast<int32_t>(src.step[0])});
    for (const kiln::TargetInfo& target :
         {kiln::TargetInfo(kiln::kTargetNone, false), kiln::TargetInfo(kiln::kTargetNeon, false)}) {
      kiln::Mat out(ctx_.get(), dt, {src.rows, src.cols, src.channels()}, kiln::KILN_MEM_HEAP);
      ASSERT_EQ(kiln::IConvertTo(ctx_.get(), &in, &out, target, alpha, beta), kiln::kStatusOk);
      for (int y = 0; y < src.rows; ++y) {
        const uint8_t* ours = out.Ptr<uint8_t>(y);
        const uint8_t* theirs = expected.ptr<uint8_t>(y);
        for (int64_t b = 0; b < out.RowBytes(); ++b) {
          if (ours[b] != theirs[b]) {
            const int size = kiln::ElemTypeSize(dt);
            const int64_t e = b / size;
            FAIL() << kiln::ElemTypeName(st) << " -> " << kiln::ElemTypeName(dt) << " alpha " << alpha << " beta "
                   << beta << " target " << target.type << ": row " << y << " element " << e << " source "
                   << Describe(src, st, y, e);
          }
        }
      }
    }
  }

  static std::string Describe(const cv::Mat& src, ElemType st, int y, int64_t e) {
    const uint8_t* p = src.ptr<uint8_t>(y) + e * kiln::ElemTypeSize(st);
    switch (st) {
      case kiln::QX_F32: return std::to_string(*reinterpret_cast<const float*>(p));
      case kiln::QX_F16: return "half bits " + std::to_string(*reinterpret_cast<const uint16_t*>(p));
      case kiln::QX_S32: return std::to_string(*reinterpret_cast<const int32_t*>(p));
      case kiln::QX_U16: return std::to_string(*reinterpret_cast<const uint16_t*>(p));
      case kiln::QX_S16: return std::to_string(*reinterpret_cast<const int16_t*>(p));
      case kiln::QX_S8: return std::to_string(*reinterpret_cast<const int8_t*>(p));
      default: return std::to_string(*p);
    }
  }

  std::unique_ptr<kiln::Context> ctx_;
};

// Random elements OpenCV and we must agree on without scaling: finite
// floats inside the int32 range (with many exact .5 ties), finite halves,
// every integer.
cv::Mat RandomOracleMat(ElemType t, int rows, int cols, int channels, std::mt19937& rng) {
  cv::Mat m(rows, cols, CV_MAKETYPE(CvDepth(t), channels));
  for (int y = 0; y < rows; ++y) {
    uint8_t* p = m.ptr<uint8_t>(y);
    for (int k = 0; k < cols * channels; ++k) {
      if (t == kiln::QX_F32) {
        float f = matrix_test::RandomFloat(rng);
        if (!std::isfinite(f) || std::fabs(f) >= 2147483520.0f) f = static_cast<float>(rng() % 1000) * 0.5f;
        std::memcpy(p + 4 * k, &f, 4);
      } else if (t == kiln::QX_F16) {
        uint16_t h = static_cast<uint16_t>(rng());
        if ((h & 0x7C00) == 0x7C00) h &= 0xBFFF;  // no infinities or NaNs
        std::memcpy(p + 2 * k, &h, 2);
      } else {
        const uint32_t r = static_cast<uint32_t>(rng());
        std::memcpy(p + k * kiln::ElemTypeSize(t), &r, kiln::ElemTypeSize(t));
      }
    }
  }
  return m;
}

TEST_F(ConvertToCvOracleTest, TypeConversionMatchesOpenCvForEveryPair) {
  std::mt19937 rng(31337);
  for (ElemType st : CvTypes()) {
    const cv::Mat src = RandomOracleMat(st, 9, 61, 3, rng);
    for (ElemType dt : CvTypes()) ExpectSameAsOpenCv(src, st, dt, 1.0f, 0.0f);
  }
}

TEST_F(ConvertToCvOracleTest, FloatTimesTwoFiftyFiveMatchesOpenCv) {
  // k / 256 times 255 is exact in float, so fused or not gives one result;
  // the range covers both saturation ends and the .5 ties (k = 128 + 256 j).
  std::mt19937 rng(5);
  cv::Mat src(11, 67, CV_32FC3);
  for (int y = 0; y < src.rows; ++y) {
    float* p = src.ptr<float>(y);
    for (int k = 0; k < src.cols * 3; ++k) p[k] = static_cast<float>(static_cast<int>(rng() % 1024) - 256) / 256.0f;
  }
  ExpectSameAsOpenCv(src, kiln::QX_F32, kiln::QX_U8, 255.0f, 0.0f);
  ExpectSameAsOpenCv(src, kiln::QX_F32, kiln::QX_U8, 255.0f, 0.5f);
  ExpectSameAsOpenCv(src, kiln::QX_F32, kiln::QX_S8, 255.0f, -64.0f);
  ExpectSameAsOpenCv(src, kiln::QX_F32, kiln::QX_F16, 2.0f, 1.0f);
}

TEST_F(ConvertToCvOracleTest, ExactScalingOfIntegersMatchesOpenCv) {
  std::mt19937 rng(8);
  const cv::Mat u8 = RandomOracleMat(kiln::QX_U8, 7, 100, 3, rng);
  ExpectSameAsOpenCv(u8, kiln::QX_U8, kiln::QX_U16, 255.0f, 0.0f);
  ExpectSameAsOpenCv(u8, kiln::QX_U8, kiln::QX_S8, -0.5f, 0.5f);
  const cv::Mat s16 = RandomOracleMat(kiln::QX_S16, 7, 51, 1, rng);
  ExpectSameAsOpenCv(s16, kiln::QX_S16, kiln::QX_S8, -0.5f, 0.5f);
  ExpectSameAsOpenCv(s16, kiln::QX_S16, kiln::QX_U16, 4.0f, 1000.0f);
  const cv::Mat u16 = RandomOracleMat(kiln::QX_U16, 7, 51, 1, rng);
  ExpectSameAsOpenCv(u16, kiln::QX_U16, kiln::QX_F16, 0.125f, 0.0f);
  ExpectSameAsOpenCv(u16, kiln::QX_U16, kiln::QX_S16, 0.5f, -16384.5f);
  cv::Mat s32(5, 70, CV_32SC1);
  for (int y = 0; y < s32.rows; ++y) {
    for (int x = 0; x < s32.cols; ++x) s32.at<int32_t>(y, x) = static_cast<int32_t>(rng() % (1 << 21)) - (1 << 20);
  }
  ExpectSameAsOpenCv(s32, kiln::QX_S32, kiln::QX_F32, 0.5f, 0.25f);
  ExpectSameAsOpenCv(s32, kiln::QX_S32, kiln::QX_S16, 0.25f, 0.5f);
  const cv::Mat f16 = RandomOracleMat(kiln::QX_F16, 5, 64, 2, rng);
  ExpectSameAsOpenCv(f16, kiln::QX_F16, kiln::QX_S16, 4.0f, -1.5f);
}

}  // namespace
