// kiln::ConvertTo through the operator framework: argument checks and their
// records, target choice, ToString and Dump, and the plain and vector
// targets against each other on Mats with padded rows.
#include "kiln/ops/matrix/convert_to.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "kiln/ops/matrix/matrix_test_data.h"
#include "kiln/runtime/context/context.h"

namespace {

using kiln::ElemType;

const kiln::TargetInfo kNoneSingle(kiln::kTargetNone, false);
const kiln::TargetInfo kNonePool(kiln::kTargetNone, true);
const kiln::TargetInfo kNeon(kiln::kTargetNeon, false);

class ConvertToOpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kiln::ContextConfig config;
    config.log_mode = kiln::kLogModeNone;
    config.wp_name = "CVTTEST";
    config.compute_threads = 2;
    config.async_threads = 0;
    ctx_ = std::make_unique<kiln::Context>(config);
    ASSERT_EQ(ctx_->Initialize(), kiln::kStatusOk);
  }

  std::string History() const { return ctx_->GetLogger()->GetErrorBacktrace(); }
  void ClearHistory() { ctx_->GetLogger()->ClearError(); }

  // True when the history holds the messages in this order.
  ::testing::AssertionResult Recorded(const std::vector<std::string>& messages) const {
    const std::string history = History();
    size_t pos = 0;
    for (const std::string& m : messages) {
      const size_t found = history.find("] : " + m + "\n", pos);
      if (found == std::string::npos) return ::testing::AssertionFailure() << "no \"" << m << "\" in\n" << history;
      pos = found + 1;
    }
    return ::testing::AssertionSuccess();
  }

  kiln::Mat Make(ElemType type, int32_t h, int32_t w, int32_t c, int32_t pitch = 0) {
    return kiln::Mat(ctx_.get(), type, {h, w, c}, kiln::KILN_MEM_HEAP, {0, pitch});
  }

  void Fill(kiln::Mat& m, std::mt19937& rng) {
    for (int32_t y = 0; y < m.Height(); ++y) {
      const std::vector<uint8_t> row =
          matrix_test::RandomElems(m.GetElemType(), static_cast<size_t>(m.Width()) * m.Channels(), rng);
      std::memcpy(m.Ptr<uint8_t>(y), row.data(), row.size());
    }
  }

  std::unique_ptr<kiln::Context> ctx_;
};

// The pixel bytes of each row (not the padding) are equal.
::testing::AssertionResult SamePixels(const kiln::Mat& a, const kiln::Mat& b) {
  for (int32_t y = 0; y < a.Height(); ++y) {
    if (std::memcmp(a.Ptr<uint8_t>(y), b.Ptr<uint8_t>(y), static_cast<size_t>(a.RowBytes())) != 0) {
      return ::testing::AssertionFailure() << "row " << y << " differs";
    }
  }
  return ::testing::AssertionSuccess();
}

TEST_F(ConvertToOpTest, SetArgs_RejectsNullArraysWithRecord) {
  kiln::Mat dst = Make(kiln::QX_U8, 2, 64, 1);
  EXPECT_EQ(kiln::IConvertTo(ctx_.get(), nullptr, &dst, kNeon, 1.0f, 0.0f), kiln::kStatusFail);
  EXPECT_TRUE(Recorded({"src/dst is null ptr", "SetArgs failed"}));
  ClearHistory();
  EXPECT_EQ(kiln::IConvertTo(ctx_.get(), &dst, nullptr, kNoneSingle, 1.0f, 0.0f), kiln::kStatusFail);
  EXPECT_TRUE(Recorded({"src/dst is null ptr", "SetArgs failed"}));
}

TEST_F(ConvertToOpTest, SetArgs_RejectsInvalidAndMismatchedMats) {
  kiln::Mat empty;
  kiln::Mat src = Make(kiln::QX_F32, 2, 64, 3);
  EXPECT_EQ(kiln::IConvertTo(ctx_.get(), &src, &empty, kNeon, 1.0f, 0.0f), kiln::kStatusFail);
  EXPECT_TRUE(Recorded({"invalid src or dst", "SetArgs failed"}));
  for (const kiln::Sizes& other : {kiln::Sizes{3, 64, 3}, kiln::Sizes{2, 63, 3}, kiln::Sizes{2, 64, 1}}) {
    ClearHistory();
    kiln::Mat dst(ctx_.get(), kiln::QX_U8, other, kiln::KILN_MEM_HEAP);
    EXPECT_EQ(kiln::IConvertTo(ctx_.get(), &src, &dst, kNeon, 255.0f, 0.0f), kiln::kStatusFail);
    EXPECT_TRUE(Recorded({"sizes of src or dst mat dismatch", "SetArgs failed"}));
  }
}

TEST_F(ConvertToOpTest, Run_RejectsF64WithTheTargetsRecord) {
  kiln::Mat f64 = Make(kiln::QX_F64, 2, 64, 1);
  kiln::Mat u8 = Make(kiln::QX_U8, 2, 64, 1);
  EXPECT_EQ(kiln::IConvertTo(ctx_.get(), &f64, &u8, kNoneSingle, 1.0f, 0.0f), kiln::kStatusFail);
  EXPECT_TRUE(Recorded({"ConvertToNone src type is unsupported.", "Run failed"}));
  ClearHistory();
  EXPECT_EQ(kiln::IConvertTo(ctx_.get(), &u8, &f64, kNonePool, 2.0f, 0.0f), kiln::kStatusFail);
  EXPECT_TRUE(Recorded({"ConvertToNone dst type is unsupported.", "Run failed"}));
  ClearHistory();
  EXPECT_EQ(kiln::IConvertTo(ctx_.get(), &f64, &u8, kNeon, 1.0f, 0.0f), kiln::kStatusFail);
  EXPECT_TRUE(Recorded({"ConvertToNeon src type is unsupported.", "Run failed"}));
}

TEST_F(ConvertToOpTest, SetArgs_RejectsMisalignedAndOverlappingMats) {
  std::vector<uint8_t> bytes(4 * 64 * 4 + 4);
  // F32 pixels one byte off their alignment.
  kiln::Mat odd(ctx_.get(), kiln::QX_F32, {2, 64, 1}, bytes.data() + 1);
  kiln::Mat dst = Make(kiln::QX_U8, 2, 64, 1);
  ASSERT_TRUE(odd.IsValid());
  EXPECT_EQ(kiln::IConvertTo(ctx_.get(), &odd, &dst, kNeon, 1.0f, 0.0f), kiln::kStatusFail);
  EXPECT_TRUE(Recorded({"src or dst is not aligned to its element size", "ConvertToImpl::SetArgs failed", "fail",
                        "SetArgs failed"}));
  ClearHistory();
  // A U8 view and an F32 view of the same bytes cannot convert in place.
  kiln::Mat f32(ctx_.get(), kiln::QX_F32, {2, 64, 1}, bytes.data());
  kiln::Mat u8(ctx_.get(), kiln::QX_U8, {2, 64, 1}, bytes.data() + 64);
  EXPECT_EQ(kiln::IConvertTo(ctx_.get(), &f32, &u8, kNoneSingle, 1.0f, 0.0f), kiln::kStatusFail);
  EXPECT_TRUE(Recorded({"src and dst overlap", "ConvertToImpl::SetArgs failed", "fail", "SetArgs failed"}));
}

TEST_F(ConvertToOpTest, SetArgs_TargetWithoutImplementationIsRecorded) {
  kiln::Mat src = Make(kiln::QX_U8, 2, 64, 1);
  kiln::Mat dst = Make(kiln::QX_U16, 2, 64, 1);
  EXPECT_EQ(kiln::IConvertTo(ctx_.get(), &src, &dst, kiln::TargetInfo(kiln::kTargetOpencl, true), 1.0f, 0.0f),
            kiln::kStatusFail);
  EXPECT_TRUE(Recorded({"convert_to_impl is null ptr", "SetArgs failed"}));
}

TEST_F(ConvertToOpTest, IMultiply_RecordsItsOwnFailure) {
  kiln::Mat src = Make(kiln::QX_U8, 2, 64, 1);
  kiln::Mat dst = Make(kiln::QX_U16, 2, 65, 1);
  EXPECT_EQ(kiln::IMultiply(ctx_.get(), &src, &dst, kNeon, 255.0f), kiln::kStatusFail);
  EXPECT_TRUE(Recorded({"sizes of src or dst mat dismatch", "SetArgs failed", "IConvertTo failed"}));
}

TEST_F(ConvertToOpTest, ToString_NamesTargetAndFactors) {
  kiln::Mat src = Make(kiln::QX_F32, 2, 64, 3);
  kiln::Mat dst = Make(kiln::QX_U8, 2, 64, 3);
  kiln::ConvertTo none(ctx_.get(), kNonePool);
  ASSERT_EQ(none.SetArgs(&src, &dst, 255.0f, 0.5f), kiln::kStatusOk);
  EXPECT_EQ(none.ToString(), "op(ConvertTo) target(None with multi-thread : ON) alpha(255.000000) beta(0.500000)\n");
  kiln::ConvertTo neon(ctx_.get(), kNeon);
  ASSERT_EQ(neon.SetArgs(&src, &dst, -2.0f, 0.0f), kiln::kStatusOk);
  EXPECT_EQ(neon.ToString(), "op(ConvertTo) target(Neon) alpha(-2.000000) beta(0.000000)\n");
}

TEST_F(ConvertToOpTest, SetArgs_NeonFallsBackToSingleThreadedNoneBelow48Pixels) {
  for (int32_t width : {47, 48}) {
    kiln::Mat src = Make(kiln::QX_U8, 2, width, 3);
    kiln::Mat dst = Make(kiln::QX_F32, 2, width, 3);
    kiln::ConvertTo op(ctx_.get(), kNeon);
    ASSERT_EQ(op.SetArgs(&src, &dst, 1.0f, 0.0f), kiln::kStatusOk);
    const kiln::TargetInfo& chosen = op.GetImpl()->GetTarget();
    EXPECT_EQ(chosen.type, width == 47 ? kiln::kTargetNone : kiln::kTargetNeon) << width;
    EXPECT_FALSE(chosen.flag) << width;
  }
}

TEST_F(ConvertToOpTest, Dump_WritesFactorsAndBothArrays) {
  char folder[] = "/tmp/convert_to_dump_XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  kiln::Mat src = Make(kiln::QX_U8, 2, 50, 1);
  kiln::Mat dst = Make(kiln::QX_S16, 2, 50, 1);
  kiln::ConvertTo op(ctx_.get(), kNeon);
  ASSERT_EQ(op.SetArgs(&src, &dst, 3.0f, -1.0f), kiln::kStatusOk);
  ASSERT_EQ(op.Dump(folder), kiln::kStatusOk);
  const std::string json_path = std::string(folder) + "/ConvertTo.json";
  std::ifstream in(json_path);
  std::stringstream text;
  text << in.rdbuf();
  for (const char* key : {"\"name\": \"ConvertTo\"", "\"m_alpha\": 3.0", "\"m_beta\": -1.0", "\"m_src\"", "\"m_dst\"",
                          "\"elemtype\": \"S16\""}) {
    EXPECT_NE(text.str().find(key), std::string::npos) << key << " in\n" << text.str();
  }
  std::remove(json_path.c_str());
  std::remove((std::string(folder) + "/ConvertTo_m_src.bin").c_str());
  std::remove((std::string(folder) + "/ConvertTo_m_dst.bin").c_str());
  rmdir(folder);
}

TEST_F(ConvertToOpTest, FloatTimesTwoFiftyFive_RoundsAndSaturatesOnEveryTarget) {
  // 0.5 -> 127.5 -> 128 and 1.2 -> 306 -> 255, everywhere in a 3-channel image.
  kiln::Mat src = Make(kiln::QX_F32, 3, 50, 3);
  for (int32_t y = 0; y < 3; ++y) {
    float* p = src.Ptr<float>(y);
    for (int32_t k = 0; k < 150; ++k) p[k] = (k % 2 == 0) ? 0.5f : 1.2f;
  }
  for (const kiln::TargetInfo& target : {kNoneSingle, kNonePool, kNeon}) {
    kiln::Mat dst = Make(kiln::QX_U8, 3, 50, 3);
    ASSERT_EQ(kiln::IMultiply(ctx_.get(), &src, &dst, target, 255.0f), kiln::kStatusOk);
    for (int32_t y = 0; y < 3; ++y) {
      for (int32_t k = 0; k < 150; ++k) ASSERT_EQ(dst.Ptr<uint8_t>(y)[k], (k % 2 == 0) ? 128 : 255) << y << "," << k;
    }
  }
}

TEST_F(ConvertToOpTest, UnitFactorsBetweenEqualTypesCopyBitsAndLeavePaddingAlone) {
  std::mt19937 rng(7);
  kiln::Mat src = Make(kiln::QX_F32, 4, 61, 3);
  Fill(src, rng);
  for (const kiln::TargetInfo& target : {kNoneSingle, kNonePool, kNeon}) {
    kiln::Mat dst = Make(kiln::QX_F32, 4, 61, 3, 61 * 3 * 4 + 20);
    for (int32_t y = 0; y < 4; ++y) std::memset(dst.Ptr<uint8_t>(y), 0xEE, static_cast<size_t>(dst.RowPitch()));
    ASSERT_EQ(kiln::IConvertTo(ctx_.get(), &src, &dst, target, 1.0f, 0.0f), kiln::kStatusOk);
    EXPECT_TRUE(SamePixels(src, dst));
    for (int32_t y = 0; y < 4; ++y) {
      for (int32_t b = 61 * 3 * 4; b < dst.RowPitch(); ++b) ASSERT_EQ(dst.Ptr<uint8_t>(y)[b], 0xEE) << y << "," << b;
    }
  }
}

TEST_F(ConvertToOpTest, InPlaceConversionOfOneMat) {
  kiln::Mat m = Make(kiln::QX_S16, 2, 60, 1);
  for (int32_t y = 0; y < 2; ++y) {
    for (int32_t k = 0; k < 60; ++k) m.Ptr<int16_t>(y)[k] = static_cast<int16_t>(k - 30);
  }
  ASSERT_EQ(kiln::IConvertTo(ctx_.get(), &m, &m, kNeon, -2.0f, 1.0f), kiln::kStatusOk);
  for (int32_t y = 0; y < 2; ++y) {
    for (int32_t k = 0; k < 60; ++k) ASSERT_EQ(m.Ptr<int16_t>(y)[k], -2 * (k - 30) + 1) << k;
  }
}

TEST_F(ConvertToOpTest, NoneAndNeonAgreeThroughTheOperatorOnPaddedMats) {
  std::mt19937 rng(99);
  const float factors[][2] = {{1.0f, 0.0f}, {255.0f, 0.0f}, {0.37f, -12.5f}, {1.0f, 100.25f}};
  for (ElemType st : matrix_test::AllTypes()) {
    for (ElemType dt : matrix_test::AllTypes()) {
      kiln::Mat src = Make(st, 7, 53, 3, 53 * 3 * kiln::ElemTypeSize(st) + 8);
      Fill(src, rng);
      for (const auto& f : factors) {
        kiln::Mat ref = Make(dt, 7, 53, 3);
        ASSERT_EQ(kiln::IConvertTo(ctx_.get(), &src, &ref, kNoneSingle, f[0], f[1]), kiln::kStatusOk);
        for (const kiln::TargetInfo& target : {kNonePool, kNeon}) {
          kiln::Mat dst = Make(dt, 7, 53, 3, 53 * 3 * kiln::ElemTypeSize(dt) + 16);
          ASSERT_EQ(kiln::IConvertTo(ctx_.get(), &src, &dst, target, f[0], f[1]), kiln::kStatusOk);
          EXPECT_TRUE(SamePixels(ref, dst)) << kiln::ElemTypeName(st) << " -> " << kiln::ElemTypeName(dt)
                                            << " alpha " << f[0] << " beta " << f[1] << " flag " << target.flag;
        }
      }
    }
  }
  EXPECT_EQ(ctx_->GetLogger()->GetErrorCount(), 0u) << History();
}

}  // namespace
