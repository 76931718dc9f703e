// kiln::Resize through the operator framework: argument checks and their
// records, target choice, ToString and Dump, the dispatch rules of the vector
// target, and the plain and vector targets against each other.
#include "kiln/ops/resize/resize.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "kiln/ops/core/comm/op_call.h"
#include "kiln/ops/resize/host/neon/resize_neon.h"
#include "kiln/ops/resize/none/resize_none.h"
#include "resize_test_util.h"

namespace {

using resize_test::TestImage;

const kiln::TargetInfo kNeon(kiln::kTargetNeon, false);
const kiln::TargetInfo kNonePool(kiln::kTargetNone, true);
const kiln::TargetInfo kNoneAlone(kiln::kTargetNone, false);

class ResizeOp : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx_ = resize_test::MakeContext(2);
    ASSERT_NE(ctx_, nullptr);
  }

  std::string History() const { return ctx_->GetLogger()->GetErrorBacktrace(); }
  bool Recorded(const std::string& message) const {
    return History().find("] : " + message + "\n") != std::string::npos;
  }
  void ClearHistory() { ctx_->GetLogger()->ClearError(); }

  kiln::Context* ctx() { return ctx_.get(); }

  std::unique_ptr<kiln::Context> ctx_;
};

// ---- Argument checks ---------------------------------------------------------------

TEST_F(ResizeOp, SetArgs_RejectsMissingArrays) {
  TestImage d(kiln::QX_U8, 64, 4, 1);
  kiln::Mat dst = d.Wrap(ctx());
  EXPECT_EQ(kiln::IResize(ctx(), nullptr, &dst, kiln::kInterpLinear, kNeon), -1);
  EXPECT_TRUE(Recorded("src/dst is null ptr"));
  EXPECT_TRUE(Recorded("SetArgs failed"));
  EXPECT_EQ(kiln::IResize(nullptr, &dst, &dst, kiln::kInterpLinear, kNeon), -1);
}

TEST_F(ResizeOp, SetArgs_RejectsInvalidMismatchedAndUnsupportedArraysWithoutTouchingDst) {
  TestImage s8(kiln::QX_U8, 64, 8, 3);
  TestImage d8(kiln::QX_U8, 64, 4, 3);
  TestImage d16(kiln::QX_U16, 64, 4, 3);
  TestImage d8c1(kiln::QX_U8, 64, 4, 1);
  TestImage s32(kiln::QX_U32, 64, 8, 1);
  TestImage d32(kiln::QX_U32, 64, 4, 1);
  kiln::Mat src = s8.Wrap(ctx()), dst = d8.Wrap(ctx()), dst16 = d16.Wrap(ctx()), dstc1 = d8c1.Wrap(ctx());
  kiln::Mat src32 = s32.Wrap(ctx()), dst32 = d32.Wrap(ctx());
  kiln::Mat empty;
  const struct {
    kiln::Mat* src;
    kiln::Mat* dst;
    const char* record;
  } cases[] = {
      {&empty, &dst, "invalid src or dst"},
      {&src, &empty, "invalid src or dst"},
      {&src, &dst16, "src and dst must have the same elem type"},
      {&src32, &dst32, "resize current only support elem type: U8/S8/U16/S16/F16/F32"},
      {&src, &dstc1, "src and dst should have the same channel num"},
  };
  for (const auto& c : cases) {
    for (const kiln::TargetInfo& target : {kNeon, kNoneAlone}) {
      ClearHistory();
      EXPECT_EQ(kiln::IResize(ctx(), c.src, c.dst, kiln::kInterpLinear, target), -1) << c.record;
      EXPECT_TRUE(Recorded(c.record)) << c.record << "\n" << History();
      EXPECT_TRUE(Recorded("ResizeImpl::SetArgs failed"));
      EXPECT_TRUE(Recorded("fail"));
      EXPECT_TRUE(Recorded("SetArgs failed"));
    }
  }
  for (const TestImage* d : {&d8, &d16, &d8c1}) {
    for (const uint8_t b : d->bytes) ASSERT_EQ(b, resize_test::kCanary);
  }
}

TEST_F(ResizeOp, Run_RejectsAnUnknownInterpolation) {
  TestImage s(kiln::QX_U8, 64, 8, 1), d(kiln::QX_U8, 60, 4, 1);
  kiln::Mat src = s.Wrap(ctx()), dst = d.Wrap(ctx());
  for (const kiln::TargetInfo& target : {kNeon, kNonePool}) {
    ClearHistory();
    EXPECT_EQ(kiln::IResize(ctx(), &src, &dst, 7, target), -1);
    EXPECT_TRUE(Recorded("interp type error"));
    EXPECT_TRUE(Recorded("Run failed"));
  }
}

TEST_F(ResizeOp, NeonTarget_RejectsMoreThanThreeChannelsAtAnExactBilinearRatio) {
  TestImage s(kiln::QX_U8, 128, 8, 4), d(kiln::QX_U8, 64, 4, 4);
  kiln::Mat src = s.Wrap(ctx()), dst = d.Wrap(ctx());
  EXPECT_EQ(kiln::IResize(ctx(), &src, &dst, kiln::kInterpLinear, kNeon), -1);
  EXPECT_TRUE(Recorded("do not surpport channel more than 3"));
  EXPECT_TRUE(Recorded("fail"));
  // The plain target and the other ratios take any channel count.
  EXPECT_EQ(kiln::IResize(ctx(), &src, &dst, kiln::kInterpLinear, kNonePool), 0);
  TestImage d3(kiln::QX_U8, 60, 4, 4);
  kiln::Mat dst3 = d3.Wrap(ctx());
  EXPECT_EQ(kiln::IResize(ctx(), &src, &dst3, kiln::kInterpLinear, kNeon), 0);
}

// ---- Description, dump, target choice ------------------------------------------------

TEST_F(ResizeOp, ToString_NamesTheTargetAndTheInterpolation) {
  TestImage s(kiln::QX_U8, 64, 8, 1), d(kiln::QX_U8, 64, 4, 1);
  kiln::Mat src = s.Wrap(ctx()), dst = d.Wrap(ctx());
  const struct {
    kiln::TargetInfo target;
    int32_t interp;
    const char* text;
  } cases[] = {
      {kNeon, kiln::kInterpCubic, "op(Resize) target(Neon) param(Cubic)\n"},
      {kNonePool, kiln::kInterpLinear, "op(Resize) target(None with multi-thread : ON) param(Linear)\n"},
      {kNoneAlone, kiln::kInterpNearest, "op(Resize) target(None with multi-thread : OFF) param(Nearest)\n"},
      {kNeon, kiln::kInterpArea, "op(Resize) target(Neon) param(AREA)\n"},
      {kNeon, 9, "op(Resize) target(Neon) param(undefined interp type)\n"},
  };
  for (const auto& c : cases) {
    kiln::Resize op(ctx(), c.target);
    ASSERT_EQ(op.SetArgs(&src, &dst, c.interp), 0);
    EXPECT_EQ(op.ToString(), c.text);
  }
}

TEST_F(ResizeOp, TargetChoice_FallsBackToPlainCodeForImagesOf47PixelsOrLess) {
  const struct {
    int32_t sw, dw;
    bool neon;
  } cases[] = {{47, 94, false}, {48, 96, true}, {200, 40, false}, {200, 48, true}};
  for (const auto& c : cases) {
    TestImage s(kiln::QX_U8, c.sw, 4, 1), d(kiln::QX_U8, c.dw, 4, 1);
    kiln::Mat src = s.Wrap(ctx()), dst = d.Wrap(ctx());
    kiln::Resize op(ctx(), kNeon);
    ASSERT_EQ(kiln::OpCall(op, &src, &dst, int32_t{kiln::kInterpLinear}), 0);
    const bool is_neon = dynamic_cast<kiln::ResizeNeon*>(op.GetImpl().get()) != nullptr;
    EXPECT_EQ(is_neon, c.neon) << c.sw << " -> " << c.dw;
    if (!c.neon) {
      EXPECT_EQ(op.GetImpl()->GetTarget().type, kiln::kTargetNone);
      EXPECT_FALSE(op.GetImpl()->GetTarget().flag);
    }
  }
}

TEST_F(ResizeOp, Dump_WritesTheInterpolationAndBothArrays) {
  char folder[] = "/tmp/resize_dump_XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  TestImage s(kiln::QX_U16, 64, 8, 2), d(kiln::QX_U16, 50, 3, 2);
  std::mt19937 rng(3);
  s.Randomize(rng);
  kiln::Mat src = s.Wrap(ctx()), dst = d.Wrap(ctx());
  kiln::Resize op(ctx(), kNeon);
  ASSERT_EQ(op.SetArgs(&src, &dst, kiln::kInterpArea), 0);
  ASSERT_EQ(op.Dump(folder), 0);
  std::ifstream in(std::string(folder) + "/Resize.json");
  ASSERT_TRUE(in.good());
  const nlohmann::json doc = nlohmann::json::parse(in);
  EXPECT_EQ(doc["params"]["name"], "Resize");
  EXPECT_EQ(doc["params"]["m_type"], 3);
  EXPECT_EQ(doc["params"]["m_src"]["sizes"], nlohmann::json({8, 64, 2}));
  EXPECT_EQ(doc["params"]["m_dst"]["sizes"], nlohmann::json({3, 50, 2}));
  const std::string bin = doc["params"]["m_src"]["path"];
  std::ifstream raw(bin, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(raw)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes.size(), s.bytes.size());
  EXPECT_EQ(std::memcmp(bytes.data(), s.bytes.data(), bytes.size()), 0);
  std::remove(bin.c_str());
  std::remove(doc["params"]["m_dst"]["path"].get<std::string>().c_str());
  std::remove((std::string(folder) + "/Resize.json").c_str());
  rmdir(folder);
}

TEST_F(ResizeOp, EqualSizes_CopyTheSourceForEveryInterpolationAndTarget) {
  std::mt19937 rng(11);
  TestImage s(kiln::QX_F16, 61, 7, 3);
  s.Randomize(rng);
  kiln::Mat src = s.Wrap(ctx());
  for (int32_t interp = 0; interp <= 3; ++interp) {
    for (const kiln::TargetInfo& target : {kNeon, kNonePool, kNoneAlone}) {
      TestImage d(kiln::QX_F16, 61, 7, 3, 6);
      kiln::Mat dst = d.Wrap(ctx());
      kiln::Resize op(ctx(), target);
      ASSERT_EQ(kiln::OpCall(op, &src, &dst, interp), 0);
      EXPECT_EQ(d.Pixels(), s.Pixels()) << interp;
      EXPECT_TRUE(d.PaddingIntact());
      if (auto* neon = dynamic_cast<kiln::ResizeNeon*>(op.GetImpl().get())) {
        EXPECT_EQ(neon->GetLastKernel(), "CopyTo");
      }
    }
  }
}

// ---- Dispatch rules of the vector target ----------------------------------------------

TEST(ResizeNeonDispatch, ExactRatiosTakeFastKernelsAndOthersTheGeneralOnes) {
  using K = kiln::ResizeNeonKernel;
  const struct {
    int32_t interp;
    kiln::ElemType type;
    kiln::Sizes src, dst;
    K kernel;
    int32_t kx, ky;
  } cases[] = {
      {kiln::kInterpLinear, kiln::QX_U8, {1000, 1000, 1}, {500, 500, 1}, K::kBnFastDownX2, 0, 0},
      {kiln::kInterpLinear, kiln::QX_U8, {1000, 1000, 1}, {400, 500, 1}, K::kBnComm, 0, 0},
      {kiln::kInterpLinear, kiln::QX_S16, {100, 100, 3}, {25, 25, 3}, K::kBnFastDownX4, 0, 0},
      {kiln::kInterpLinear, kiln::QX_U16, {100, 60, 2}, {200, 120, 2}, K::kBnFastUpX2, 0, 0},
      {kiln::kInterpLinear, kiln::QX_S8, {10, 60, 1}, {40, 240, 1}, K::kBnFastUpX4, 0, 0},
      {kiln::kInterpLinear, kiln::QX_F32, {100, 100, 1}, {200, 200, 1}, K::kBnComm, 0, 0},
      {kiln::kInterpLinear, kiln::QX_U8, {100, 100, 4}, {200, 200, 4}, K::kBnFastChannels, 0, 0},
      {kiln::kInterpLinear, kiln::QX_U8, {100, 101, 1}, {50, 50, 1}, K::kBnComm, 0, 0},
      {kiln::kInterpCubic, kiln::QX_U8, {600, 800, 3}, {300, 400, 3}, K::kCuFastDownX2, 0, 0},
      {kiln::kInterpCubic, kiln::QX_U16, {600, 800, 1}, {150, 200, 1}, K::kCuFastDownX4, 0, 0},
      {kiln::kInterpCubic, kiln::QX_U8, {600, 800, 4}, {300, 400, 4}, K::kCuComm, 0, 0},
      {kiln::kInterpCubic, kiln::QX_U8, {300, 400, 3}, {600, 800, 3}, K::kCuComm, 0, 0},
      {kiln::kInterpCubic, kiln::QX_F16, {600, 800, 1}, {300, 400, 1}, K::kCuComm, 0, 0},
      {kiln::kInterpArea, kiln::QX_U8, {900, 1200, 1}, {300, 400, 1}, K::kAreaFastInt, 3, 3},
      {kiln::kInterpArea, kiln::QX_U8, {1000, 1000, 1}, {400, 400, 1}, K::kAreaComm, 0, 0},
      {kiln::kInterpArea, kiln::QX_F32, {1000, 1000, 3}, {500, 500, 3}, K::kAreaFastDownX2, 2, 2},
      {kiln::kInterpArea, kiln::QX_S8, {400, 400, 2}, {100, 100, 2}, K::kAreaFastDownX4, 4, 4},
      {kiln::kInterpArea, kiln::QX_U8, {90, 200, 5}, {30, 100, 5}, K::kAreaFastInt, 2, 3},
      {kiln::kInterpArea, kiln::QX_U16, {1700, 1700, 1}, {100, 100, 1}, K::kAreaComm, 0, 0},  // 289 x 65535 >= 2^24
      {kiln::kInterpArea, kiln::QX_U16, {1500, 1500, 1}, {100, 100, 1}, K::kAreaFastInt, 15, 15},
      {kiln::kInterpArea, kiln::QX_U8, {100, 100, 3}, {200, 200, 3}, K::kAreaFastUpX2, 0, 0},
      {kiln::kInterpArea, kiln::QX_U8, {100, 100, 3}, {400, 400, 3}, K::kAreaFastUpX4, 0, 0},
      {kiln::kInterpArea, kiln::QX_F32, {100, 100, 1}, {200, 200, 1}, K::kAreaLinear, 0, 0},
      {kiln::kInterpArea, kiln::QX_U8, {100, 100, 1}, {300, 300, 1}, K::kAreaLinear, 0, 0},
      {kiln::kInterpArea, kiln::QX_U8, {100, 100, 1}, {50, 200, 1}, K::kAreaLinear, 0, 0},
      {kiln::kInterpNearest, kiln::QX_U8, {100, 100, 3}, {50, 50, 3}, K::kNearest, 0, 0},
      {kiln::kInterpCubic, kiln::QX_U8, {100, 100, 3}, {100, 100, 3}, K::kCopy, 1, 1},
      {5, kiln::QX_U8, {100, 100, 1}, {50, 50, 1}, K::kInterpError, 0, 0},
  };
  for (const auto& c : cases) {
    const kiln::ResizeNeonChoice got = kiln::SelectResizeNeonKernel(c.interp, c.type, c.src, c.dst);
    EXPECT_EQ(got.kernel, c.kernel) << c.src.w << "x" << c.src.h << " -> " << c.dst.w << "x" << c.dst.h << " "
                                    << kiln::ResizeNeonKernelName(got.kernel, c.src.c);
    if (c.kx != 0) {
      EXPECT_EQ(got.kx, c.kx);
      EXPECT_EQ(got.ky, c.ky);
    }
  }
}

TEST_F(ResizeOp, Run_ReportsTheKernelItChose) {
  const struct {
    int32_t interp;
    int32_t sw, sh, dw, dh, cn;
    const char* kernel;
  } cases[] = {
      {kiln::kInterpLinear, 1000, 1000, 500, 500, 1, "ResizeBnFastC1Neon:DownX2"},
      {kiln::kInterpLinear, 1000, 1000, 500, 400, 1, "ResizeBnCommNeon"},
      {kiln::kInterpArea, 1200, 900, 400, 300, 3, "ResizeAreaIntNeon"},
      {kiln::kInterpArea, 1000, 1000, 400, 400, 3, "ResizeAreaCommNeon"},
      {kiln::kInterpCubic, 200, 40, 100, 20, 2, "ResizeCuC2DownX2NeonImpl"},
      {kiln::kInterpLinear, 60, 10, 240, 40, 3, "ResizeBnFastC3Neon:UpX4"},
  };
  for (const auto& c : cases) {
    TestImage s(kiln::QX_U8, c.sw, c.sh, c.cn), d(kiln::QX_U8, c.dw, c.dh, c.cn);
    kiln::Mat src = s.Wrap(ctx()), dst = d.Wrap(ctx());
    kiln::Resize op(ctx(), kNeon);
    ASSERT_EQ(kiln::OpCall(op, &src, &dst, c.interp), 0);
    auto* neon = dynamic_cast<kiln::ResizeNeon*>(op.GetImpl().get());
    ASSERT_NE(neon, nullptr);
    EXPECT_EQ(neon->GetLastKernel(), c.kernel);
  }
}

// ---- Plain and vector targets agree ------------------------------------------------------

TEST_F(ResizeOp, NoneAndNeon_AgreeOnRandomImagesForEveryInterpolationTypeAndChannelCount) {
  std::mt19937 rng(2024);
  const kiln::ElemType types[] = {kiln::QX_U8, kiln::QX_S8, kiln::QX_U16, kiln::QX_S16, kiln::QX_F32, kiln::QX_F16};
  std::uniform_int_distribution<int> odd(24, 40);
  int cases = 0;
  for (const kiln::ElemType type : types) {
    for (int32_t cn = 1; cn <= 4; ++cn) {
      for (int32_t interp = 0; interp <= 3; ++interp) {
        const int32_t w = 2 * odd(rng) + 1;  // odd, 49..81
        const int32_t h = odd(rng) / 4 + 1;
        // A general ratio and the exact ones the fast kernels take.
        const int32_t pairs[][4] = {{w + 13, h + 3, w, h - 1},
                                    {2 * w, 2 * h, w, h},
                                    {w, h, 2 * w, 2 * h},
                                    {4 * 50, 4 * 3, 50, 3},
                                    {w, 3, 4 * w, 12},
                                    {3 * w, 3 * h, w, h}};
        for (int k = 0; k < 6; ++k) {
          const auto& p = pairs[k];
          // Exact bilinear ratios of four channels are rejected (tested above).
          if (cn == 4 && interp == kiln::kInterpLinear && k >= 1 && k <= 4) continue;
          TestImage s(type, p[0], p[1], cn);
          s.Randomize(rng);
          TestImage none(type, p[2], p[3], cn, 5), neon(type, p[2], p[3], cn, 5);
          kiln::Mat src = s.Wrap(ctx()), dn = none.Wrap(ctx()), dv = neon.Wrap(ctx());
          ASSERT_EQ(kiln::IResize(ctx(), &src, &dn, interp, kNonePool), 0) << History();
          kiln::Resize op(ctx(), kNeon);
          ASSERT_EQ(kiln::OpCall(op, &src, &dv, interp), 0) << History();
          const auto* impl = dynamic_cast<kiln::ResizeNeon*>(op.GetImpl().get());
          ASSERT_NE(impl, nullptr);
          ASSERT_EQ(resize_test::FirstDifference(none, neon), -1)
              << resize_test::TypeText(type) << " C" << cn << " interp " << interp << " " << p[0] << "x" << p[1]
              << " -> " << p[2] << "x" << p[3] << " kernel " << impl->GetLastKernel();
          ASSERT_TRUE(none.PaddingIntact());
          ASSERT_TRUE(neon.PaddingIntact());
          ++cases;
        }
      }
    }
  }
  std::printf("[ resize ] %d None-vs-Neon cases, all equal\n", cases);
}

// Infinities and NaNs in float images: both targets do the same float
// operations, so every sample has the same bits, except that a NaN's payload
// may differ where the half-float conversion is emulated (x86), which keeps
// only "a NaN". That is the one difference allowed here.
TEST_F(ResizeOp, NonFiniteFloats_GiveTheSameSamplesOnBothTargetsUpToNanPayloads) {
  std::mt19937 rng(77);
  for (const kiln::ElemType type : {kiln::QX_F32, kiln::QX_F16}) {
    TestImage s(type, 97, 21, 3);
    s.Randomize(rng);
    const int32_t n = 97 * 21 * 3;
    for (int32_t i = 0; i < n; i += 37) {
      if (type == kiln::QX_F32) {
        const float v = (i / 37) % 3 == 0 ? NAN : ((i / 37) % 3 == 1 ? INFINITY : -INFINITY);
        std::memcpy(s.bytes.data() + 4 * i, &v, 4);
      } else {
        const uint16_t v = (i / 37) % 3 == 0 ? 0x7e00 : ((i / 37) % 3 == 1 ? 0x7c00 : 0xfc00);
        std::memcpy(s.bytes.data() + 2 * i, &v, 2);
      }
    }
    kiln::Mat src = s.Wrap(ctx());
    for (int32_t interp = 0; interp <= 3; ++interp) {
      for (const auto& size : {std::pair<int32_t, int32_t>{61, 13}, std::pair<int32_t, int32_t>{194, 42}}) {
        TestImage a(type, size.first, size.second, 3), b(type, size.first, size.second, 3);
        kiln::Mat da = a.Wrap(ctx()), db = b.Wrap(ctx());
        ASSERT_EQ(kiln::IResize(ctx(), &src, &da, interp, kNonePool), 0);
        ASSERT_EQ(kiln::IResize(ctx(), &src, &db, interp, kNeon), 0);
        const int32_t m = size.first * size.second * 3;
        int32_t nans = 0;
        for (int32_t i = 0; i < m; ++i) {
          float fa, fb;
          uint32_t ba, bb;
          if (type == kiln::QX_F32) {
            std::memcpy(&fa, a.bytes.data() + 4 * i, 4);
            std::memcpy(&fb, b.bytes.data() + 4 * i, 4);
            std::memcpy(&ba, &fa, 4);
            std::memcpy(&bb, &fb, 4);
          } else {
            uint16_t ha, hb;
            std::memcpy(&ha, a.bytes.data() + 2 * i, 2);
            std::memcpy(&hb, b.bytes.data() + 2 * i, 2);
            fa = kiln::resize::HalfToFloat(ha);
            fb = kiln::resize::HalfToFloat(hb);
            ba = ha;
            bb = hb;
          }
          if (std::isnan(fa) || std::isnan(fb)) {
            ASSERT_TRUE(std::isnan(fa) && std::isnan(fb)) << "sample " << i << " interp " << interp;
            ++nans;
          } else {
            ASSERT_EQ(ba, bb) << "sample " << i << " interp " << interp << " " << resize_test::TypeText(type);
          }
        }
        EXPECT_GT(nans, 0) << "the case should produce NaNs";
      }
    }
  }
}

TEST_F(ResizeOp, PlainTarget_GivesTheSameResultWithAndWithoutThePool) {
  std::mt19937 rng(8);
  TestImage s(kiln::QX_U8, 301, 77, 3);
  s.Randomize(rng);
  kiln::Mat src = s.Wrap(ctx());
  for (int32_t interp = 0; interp <= 3; ++interp) {
    TestImage a(kiln::QX_U8, 123, 55, 3), b(kiln::QX_U8, 123, 55, 3);
    kiln::Mat da = a.Wrap(ctx()), db = b.Wrap(ctx());
    ASSERT_EQ(kiln::IResize(ctx(), &src, &da, interp, kNoneAlone), 0);
    ASSERT_EQ(kiln::IResize(ctx(), &src, &db, interp, kNonePool), 0);
    EXPECT_EQ(resize_test::FirstDifference(a, b), -1) << interp;
  }
}

}  // namespace
