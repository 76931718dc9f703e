// kiln::MinMaxLoc through the operator framework: argument checks and their
// records, ToString and Dump, first occurrence, channels as z, long rows,
// and the plain and vector targets against each other on random Mats.
#include "kiln/ops/matrix/min_max_loc.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
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
using kiln::Point3i;

const kiln::TargetInfo kNoneSingle(kiln::kTargetNone, false);
const kiln::TargetInfo kNonePool(kiln::kTargetNone, true);
const kiln::TargetInfo kNeon(kiln::kTargetNeon, false);

struct Found {
  double min_val = 0;
  double max_val = 0;
  Point3i min_loc;
  Point3i max_loc;
};

class MinMaxLocOpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kiln::ContextConfig config;
    config.log_mode = kiln::kLogModeNone;
    config.wp_name = "MMLTEST";
    config.compute_threads = 3;
    config.async_threads = 0;
    ctx_ = std::make_unique<kiln::Context>(config);
    ASSERT_EQ(ctx_->Initialize(), kiln::kStatusOk);
  }

  std::string History() const { return ctx_->GetLogger()->GetErrorBacktrace(); }
  void ClearHistory() { ctx_->GetLogger()->ClearError(); }

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

  Found Run(const kiln::Mat& src, const kiln::TargetInfo& target) {
    Found f;
    EXPECT_EQ(kiln::IMinMaxLoc(ctx_.get(), &src, &f.min_val, &f.max_val, &f.min_loc, &f.max_loc, target),
              kiln::kStatusOk)
        << History();
    return f;
  }

  std::unique_ptr<kiln::Context> ctx_;
};

void ExpectLoc(const Point3i& p, int x, int y, int z, const char* what) {
  EXPECT_EQ(p.x, x) << what;
  EXPECT_EQ(p.y, y) << what;
  EXPECT_EQ(p.z, z) << what;
}

TEST_F(MinMaxLocOpTest, SetArgs_RejectsMissingSourceAndOutputs) {
  double mn = 0;
  double mx = 0;
  Point3i pmin;
  Point3i pmax;
  EXPECT_EQ(kiln::IMinMaxLoc(ctx_.get(), nullptr, &mn, &mx, &pmin, &pmax, kNeon), kiln::kStatusFail);
  EXPECT_TRUE(Recorded({"src is null ptr", "SetArgs failed"}));
  kiln::Mat src = Make(kiln::QX_U8, 2, 64, 1);
  const int cases = 4;
  for (int i = 0; i < cases; ++i) {
    ClearHistory();
    EXPECT_EQ(kiln::IMinMaxLoc(ctx_.get(), &src, i == 0 ? nullptr : &mn, i == 1 ? nullptr : &mx,
                               i == 2 ? nullptr : &pmin, i == 3 ? nullptr : &pmax, kNoneSingle),
              kiln::kStatusFail);
    EXPECT_TRUE(Recorded({"output pointer is null ptr", "SetArgs failed"})) << i;
  }
  ClearHistory();
  kiln::Mat empty;
  EXPECT_EQ(kiln::IMinMaxLoc(ctx_.get(), &empty, &mn, &mx, &pmin, &pmax, kNeon), kiln::kStatusFail);
  EXPECT_TRUE(Recorded({"src or dst mat is invalid.", "SetArgs failed"}));
}

TEST_F(MinMaxLocOpTest, Run_RejectsF64AndTargetsWithoutImplementation) {
  double mn = 0;
  double mx = 0;
  Point3i pmin;
  Point3i pmax;
  kiln::Mat f64 = Make(kiln::QX_F64, 2, 64, 1);
  for (const kiln::TargetInfo& target : {kNoneSingle, kNeon}) {
    ClearHistory();
    EXPECT_EQ(kiln::IMinMaxLoc(ctx_.get(), &f64, &mn, &mx, &pmin, &pmax, target), kiln::kStatusFail);
    EXPECT_TRUE(Recorded({"input mat with invalid ElemType.", "Run failed"}));
  }
  ClearHistory();
  kiln::Mat u8 = Make(kiln::QX_U8, 2, 64, 1);
  EXPECT_EQ(kiln::IMinMaxLoc(ctx_.get(), &u8, &mn, &mx, &pmin, &pmax, kiln::TargetInfo(kiln::kTargetHvx, false)),
            kiln::kStatusFail);
  EXPECT_TRUE(Recorded({"min_max_loc_impl is null ptr", "SetArgs failed"}));
}

TEST_F(MinMaxLocOpTest, ToString_NamesTheTarget) {
  kiln::Mat src = Make(kiln::QX_U16, 2, 64, 1);
  double mn = 0;
  double mx = 0;
  Point3i pmin;
  Point3i pmax;
  kiln::MinMaxLoc neon(ctx_.get(), kNeon);
  ASSERT_EQ(neon.SetArgs(&src, &mn, &mx, &pmin, &pmax), kiln::kStatusOk);
  EXPECT_EQ(neon.ToString(), "op(MinMaxLoc) target(Neon)\n");
  kiln::MinMaxLoc none(ctx_.get(), kNonePool);
  ASSERT_EQ(none.SetArgs(&src, &mn, &mx, &pmin, &pmax), kiln::kStatusOk);
  EXPECT_EQ(none.ToString(), "op(MinMaxLoc) target(None with multi-thread : ON)\n");
}

TEST_F(MinMaxLocOpTest, RepeatedExtremesReportTheFirstOccurrenceOnEveryTarget) {
  kiln::Mat src = Make(kiln::QX_U16, 40, 64, 1);
  for (int32_t y = 0; y < 40; ++y) {
    for (int32_t x = 0; x < 64; ++x) src.Ptr<uint16_t>(y)[x] = 500;
  }
  src.Ptr<uint16_t>(31)[2] = 3;   // later rows first, so a thread finishing
  src.Ptr<uint16_t>(12)[60] = 3;  // early cannot decide the answer
  src.Ptr<uint16_t>(12)[61] = 3;
  src.Ptr<uint16_t>(39)[0] = 900;
  src.Ptr<uint16_t>(20)[63] = 900;
  for (const kiln::TargetInfo& target : {kNoneSingle, kNonePool, kNeon}) {
    const Found f = Run(src, target);
    EXPECT_EQ(f.min_val, 3.0);
    EXPECT_EQ(f.max_val, 900.0);
    ExpectLoc(f.min_loc, 60, 12, 0, "min");
    ExpectLoc(f.max_loc, 63, 20, 0, "max");
  }
}

TEST_F(MinMaxLocOpTest, ThreeChannelMatReportsTheChannelAsZ) {
  kiln::Mat src = Make(kiln::QX_S16, 5, 50, 3);
  for (int32_t y = 0; y < 5; ++y) {
    for (int32_t k = 0; k < 150; ++k) src.Ptr<int16_t>(y)[k] = 10;
  }
  src.Ptr<int16_t>(3)[7 * 3 + 2] = -9;   // x 7, channel 2
  src.Ptr<int16_t>(1)[49 * 3 + 1] = 77;  // x 49, channel 1
  for (const kiln::TargetInfo& target : {kNoneSingle, kNonePool, kNeon}) {
    const Found f = Run(src, target);
    EXPECT_EQ(f.min_val, -9.0);
    EXPECT_EQ(f.max_val, 77.0);
    ExpectLoc(f.min_loc, 7, 3, 2, "min");
    ExpectLoc(f.max_loc, 49, 1, 1, "max");
  }
}

TEST_F(MinMaxLocOpTest, RowLongerThanOneBlockFindsExtremeInTheSecondBlock) {
  // 6000 x 3 = 18000 elements per row: block 1 starts at element 16384.
  kiln::Mat src = Make(kiln::QX_U8, 3, 6000, 3);
  for (int32_t y = 0; y < 3; ++y) std::memset(src.Ptr<uint8_t>(y), 100, 18000);
  src.Ptr<uint8_t>(2)[17000] = 1;    // x 5666, channel 2
  src.Ptr<uint8_t>(0)[16385] = 250;  // x 5461, channel 2
  for (const kiln::TargetInfo& target : {kNoneSingle, kNonePool, kNeon}) {
    const Found f = Run(src, target);
    EXPECT_EQ(f.min_val, 1.0);
    EXPECT_EQ(f.max_val, 250.0);
    ExpectLoc(f.min_loc, 5666, 2, 2, "min");
    ExpectLoc(f.max_loc, 5461, 0, 2, "max");
  }
}

TEST_F(MinMaxLocOpTest, NarrowMatRunsThePlainScanForNeonRequests) {
  kiln::Mat src = Make(kiln::QX_F32, 2, 5, 1);
  const float values[] = {4, 2, 9, 2, 1, 9, 0.5f, 3, 3, 8};
  for (int i = 0; i < 10; ++i) src.Ptr<float>(i / 5)[i % 5] = values[i];
  const Found f = Run(src, kNeon);
  EXPECT_EQ(f.min_val, 0.5);
  EXPECT_EQ(f.max_val, 9.0);
  ExpectLoc(f.min_loc, 1, 1, 0, "min");
  ExpectLoc(f.max_loc, 2, 0, 0, "max");
}

TEST_F(MinMaxLocOpTest, Dump_WritesSourceAndResults) {
  char folder[] = "/tmp/min_max_loc_dump_XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  kiln::Mat src = Make(kiln::QX_U8, 2, 50, 1);
  for (int32_t y = 0; y < 2; ++y) std::memset(src.Ptr<uint8_t>(y), 7, 50);
  src.Ptr<uint8_t>(1)[4] = 9;
  Found f;
  kiln::MinMaxLoc op(ctx_.get(), kNeon);
  ASSERT_EQ(op.SetArgs(&src, &f.min_val, &f.max_val, &f.min_loc, &f.max_loc), kiln::kStatusOk);
  ASSERT_EQ(op.Run(), kiln::kStatusOk);
  ASSERT_EQ(op.Dump(folder), kiln::kStatusOk);
  const std::string json_path = std::string(folder) + "/MinMaxLoc.json";
  std::ifstream in(json_path);
  std::stringstream text;
  text << in.rdbuf();
  std::string compact = text.str();
  compact.erase(std::remove_if(compact.begin(), compact.end(), [](char ch) { return ch == ' ' || ch == '\n'; }),
                compact.end());
  for (const char* key : {"\"name\":\"MinMaxLoc\"", "\"*m_min_val\":7.0", "\"*m_max_val\":9.0",
                          "\"*m_min_pos\":[0,0,0]", "\"*m_max_pos\":[4,1,0]", "\"m_src\":{"}) {
    EXPECT_NE(compact.find(key), std::string::npos) << key << " in\n" << text.str();
  }
  EXPECT_EQ(compact.find("m_dst"), std::string::npos);
  std::remove(json_path.c_str());
  std::remove((std::string(folder) + "/MinMaxLoc_m_src.bin").c_str());
  rmdir(folder);
}

TEST_F(MinMaxLocOpTest, NoneAndNeonAgreeOnRandomMatsOfEveryType) {
  std::mt19937 rng(123);
  for (ElemType t : matrix_test::AllTypes()) {
    for (int32_t channels : {1, 3}) {
      kiln::Mat src = Make(t, 9, 59, channels, 59 * channels * kiln::ElemTypeSize(t) + 12);
      for (int32_t y = 0; y < src.Height(); ++y) {
        std::vector<uint8_t> row = matrix_test::RandomElems(t, static_cast<size_t>(59) * channels, rng);
        std::memcpy(src.Ptr<uint8_t>(y), row.data(), row.size());
      }
      const Found ref = Run(src, kNoneSingle);
      for (const kiln::TargetInfo& target : {kNonePool, kNeon}) {
        const Found f = Run(src, target);
        const std::string what = std::string(kiln::ElemTypeName(t)) + " c" + std::to_string(channels);
        EXPECT_EQ(std::memcmp(&f.min_val, &ref.min_val, sizeof(double)), 0) << what << " " << f.min_val;
        EXPECT_EQ(std::memcmp(&f.max_val, &ref.max_val, sizeof(double)), 0) << what << " " << f.max_val;
        ExpectLoc(f.min_loc, ref.min_loc.x, ref.min_loc.y, ref.min_loc.z, what.c_str());
        ExpectLoc(f.max_loc, ref.max_loc.x, ref.max_loc.y, ref.max_loc.z, what.c_str());
      }
    }
  }
  EXPECT_EQ(ctx_->GetLogger()->GetErrorCount(), 0u) << History();
}

}  // namespace
