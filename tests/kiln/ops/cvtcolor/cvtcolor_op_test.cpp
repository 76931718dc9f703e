// kiln::CvtColor through the operator framework: argument checks and their
// records, target selection, ToString and Dump, and the same bytes from
// every target for every conversion.
#include "kiln/ops/cvtcolor/cvtcolor.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "cvtcolor_test_planes.h"
#include "cvtcolor_test_util.h"
#include "kiln/ops/core/comm/op_call.h"
#include "kiln/ops/cvtcolor/host/neon/cvtcolor_neon.h"
#include "kiln/ops/cvtcolor/none/cvtcolor_none.h"

namespace {

using cvtcolor_test::AllTypes;
using cvtcolor_test::Messages;
using cvtcolor_test::PlaneShape;
using cvtcolor_test::Planes;
using cvtcolor_test::ShapesFor;
using cvtcolor_test::TypeShapes;

const kiln::TargetInfo kNoneSingle(kiln::kTargetNone, false);
const kiln::TargetInfo kNonePool(kiln::kTargetNone, true);
const kiln::TargetInfo kNeon(kiln::kTargetNeon, false);

class CvtColorOpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx_ = cvtcolor_test::MakeContext(1);
    ASSERT_NE(ctx_, nullptr);
  }

  // True when `expected` appears in the error history in this order (other
  // records may come between).
  ::testing::AssertionResult RecordedInOrder(const std::vector<std::string>& expected) const {
    const std::vector<std::string> got = Messages(*ctx_);
    size_t next = 0;
    for (const std::string& m : got) {
      if (next < expected.size() && m == expected[next]) ++next;
    }
    if (next == expected.size()) return ::testing::AssertionSuccess();
    std::string text;
    for (const std::string& m : got) text += "\n  " + m;
    return ::testing::AssertionFailure() << "missing \"" << expected[next] << "\" in:" << text;
  }
  bool BacktraceHas(const std::string& text) const {
    return cvtcolor_test::Backtrace(*ctx_).find(text) != std::string::npos;
  }

  std::unique_ptr<kiln::Context> ctx_;
  std::mt19937 rng_{7};
};

// ---- Every conversion, every target -----------------------------------------

TEST_F(CvtColorOpTest, EveryType_GivesTheSameBytesOnEveryTarget) {
  struct Size {
    int h, w, pad;
  } const sizes[] = {{4, 64, 0}, {6, 98, 3}, {10, 130, 0}, {8, 48, 5}};
  for (kiln::CvtColorType type : AllTypes()) {
    for (kiln::ElemType bayer_elem : {kiln::QX_U8, kiln::QX_U16}) {
      if (bayer_elem == kiln::QX_U16 && type < kiln::BAYERBG2BGR) continue;
      for (const Size& s : sizes) {
        const TypeShapes shapes = ShapesFor(type, s.h, s.w, bayer_elem);
        Planes src(ctx_.get(), shapes.src, s.pad);
        src.FillRandom(rng_);
        Planes reference(ctx_.get(), shapes.dst, s.pad);
        ASSERT_EQ(kiln::ICvtColor(ctx_.get(), src.Arrays(), reference.Arrays(), type, kNoneSingle), 0)
            << kiln::CvtColorTypeName(type) << cvtcolor_test::Backtrace(*ctx_);
        for (const kiln::TargetInfo& target : {kNonePool, kNeon}) {
          Planes out(ctx_.get(), shapes.dst, s.pad);
          ASSERT_EQ(kiln::ICvtColor(ctx_.get(), src.Arrays(), out.Arrays(), type, target), 0);
          EXPECT_TRUE(out.SamePixels(reference))
              << kiln::CvtColorTypeName(type) << " " << s.w << "x" << s.h << " target " << target.type;
        }
      }
    }
  }
}

TEST_F(CvtColorOpTest, OddWidths_ConvertWhereTheFormatAllowsThem) {
  const kiln::CvtColorType types[] = {kiln::BGR2BGRA, kiln::BGRA2BGR, kiln::BGR2RGB,      kiln::BGR2GRAY,
                                      kiln::RGBA2GRAY, kiln::GRAY2BGR, kiln::GRAY2BGRA,   kiln::RGB2YUV_Y444,
                                      kiln::YUV2RGB_Y444_601};
  for (kiln::CvtColorType type : types) {
    for (int w : {49, 63, 97}) {
      const TypeShapes shapes = ShapesFor(type, 5, w);
      Planes src(ctx_.get(), shapes.src);
      src.FillRandom(rng_);
      Planes a(ctx_.get(), shapes.dst), b(ctx_.get(), shapes.dst);
      ASSERT_EQ(kiln::ICvtColor(ctx_.get(), src.Arrays(), a.Arrays(), type, kNoneSingle), 0);
      ASSERT_EQ(kiln::ICvtColor(ctx_.get(), src.Arrays(), b.Arrays(), type, kNeon), 0);
      EXPECT_TRUE(a.SamePixels(b)) << kiln::CvtColorTypeName(type) << " " << w;
    }
  }
}

TEST_F(CvtColorOpTest, ComputeThreads_ZeroStillConvertsOnTheCallingThread) {
  std::unique_ptr<kiln::Context> lone = cvtcolor_test::MakeContext(0);
  ASSERT_NE(lone, nullptr);
  const TypeShapes shapes = ShapesFor(kiln::YUV2RGB_NV12, 8, 64);
  Planes src(lone.get(), shapes.src);
  src.FillRandom(rng_);
  Planes a(lone.get(), shapes.dst), b(lone.get(), shapes.dst);
  ASSERT_EQ(kiln::ICvtColor(lone.get(), src.Arrays(), a.Arrays(), kiln::YUV2RGB_NV12, kNoneSingle), 0);
  ASSERT_EQ(kiln::ICvtColor(lone.get(), src.Arrays(), b.Arrays(), kiln::YUV2RGB_NV12, kNeon), 0);
  EXPECT_TRUE(a.SamePixels(b));
}

TEST_F(CvtColorOpTest, Bayer_FourByFourFillsInnerRowsAndCopiesTheOuterOnes) {
  const TypeShapes shapes = ShapesFor(kiln::BAYERRG2BGR, 4, 4);
  Planes src(ctx_.get(), shapes.src), dst(ctx_.get(), shapes.dst);
  src.FillRandom(rng_);
  ASSERT_EQ(kiln::ICvtColor(ctx_.get(), src.Arrays(), dst.Arrays(), kiln::BAYERRG2BGR, kNeon), 0);
  const uint8_t* s[4] = {src[0].row(0), src[0].row(1), src[0].row(2), src[0].row(3)};
  // RGGB: (1,1) is blue, so channel 0 holds the raw sample; (2,2) is red.
  EXPECT_EQ(dst[0].row(1)[3 * 1 + 0], s[1][1]);
  EXPECT_EQ(dst[0].row(2)[3 * 2 + 2], s[2][2]);
  // (1,1) green = mean of its four cross neighbours, rounded.
  EXPECT_EQ(dst[0].row(1)[3 * 1 + 1], (s[0][1] + s[2][1] + s[1][0] + s[1][2] + 2) >> 2);
  for (int x = 0; x < 4 * 3; ++x) {
    EXPECT_EQ(dst[0].row(0)[x], dst[0].row(1)[x]) << x;
    EXPECT_EQ(dst[0].row(3)[x], dst[0].row(2)[x]) << x;
  }
  for (int y = 0; y < 4; ++y) {
    for (int ch = 0; ch < 3; ++ch) {
      EXPECT_EQ(dst[0].row(y)[ch], dst[0].row(y)[3 + ch]);
      EXPECT_EQ(dst[0].row(y)[9 + ch], dst[0].row(y)[6 + ch]);
    }
  }
}

// ---- Target selection, ToString, Dump ---------------------------------------

TEST_F(CvtColorOpTest, NeonRequest_Below48PixelsRunsThePlainKernelsWithoutThePool) {
  for (int w : {46, 48}) {
    const TypeShapes shapes = ShapesFor(kiln::BGR2GRAY, 2, w);
    Planes src(ctx_.get(), shapes.src), dst(ctx_.get(), shapes.dst);
    kiln::CvtColor op(ctx_.get(), kNeon);
    ASSERT_EQ(kiln::OpCall(op, src.Arrays(), dst.Arrays(), kiln::BGR2GRAY), 0);
    if (w < 48) {
      EXPECT_NE(dynamic_cast<kiln::CvtColorNone*>(op.GetImpl().get()), nullptr);
      EXPECT_EQ(op.ToString(), "op(CvtColor) target(None with multi-thread : OFF) param(m_type: BGR2GRAY)\n");
    } else {
      EXPECT_NE(dynamic_cast<kiln::CvtColorNeon*>(op.GetImpl().get()), nullptr);
      EXPECT_EQ(op.ToString(), "op(CvtColor) target(Neon) param(m_type: BGR2GRAY)\n");
    }
    EXPECT_FALSE(op.IsInitialized());
  }
}

TEST_F(CvtColorOpTest, ToString_NamesTargetAndType) {
  const TypeShapes shapes = ShapesFor(kiln::YUV2RGB_NV21_601, 2, 64);
  Planes src(ctx_.get(), shapes.src), dst(ctx_.get(), shapes.dst);
  kiln::CvtColor op(ctx_.get(), kNonePool);
  ASSERT_EQ(kiln::OpCall(op, src.Arrays(), dst.Arrays(), kiln::YUV2RGB_NV21_601), 0);
  EXPECT_EQ(op.ToString(), "op(CvtColor) target(None with multi-thread : ON) param(m_type: YUV2RGB_NV21_601)\n");
  const TypeShapes p010 = ShapesFor(kiln::RGB2YUV_NV12_P010, 2, 64);
  Planes psrc(ctx_.get(), p010.src), pdst(ctx_.get(), p010.dst);
  ASSERT_EQ(kiln::OpCall(op, psrc.Arrays(), pdst.Arrays(), kiln::RGB2YUV_NV12_P010), 0);
  EXPECT_EQ(op.ToString(), "op(CvtColor) target(None with multi-thread : ON) param(m_type: RGB2YUV_NV12_P010)\n");
}

TEST_F(CvtColorOpTest, Implementation_IsReusedWhileTheTargetStaysTheSame) {
  const TypeShapes shapes = ShapesFor(kiln::BGR2RGB, 2, 64);
  Planes src(ctx_.get(), shapes.src), dst(ctx_.get(), shapes.dst);
  kiln::CvtColor op(ctx_.get(), kNeon);
  ASSERT_EQ(kiln::OpCall(op, src.Arrays(), dst.Arrays(), kiln::BGR2RGB), 0);
  const kiln::OpImpl* first = op.GetImpl().get();
  ASSERT_EQ(kiln::OpCall(op, src.Arrays(), dst.Arrays(), kiln::BGR2RGB), 0);
  EXPECT_EQ(op.GetImpl().get(), first);
  op.SetTarget(kNoneSingle);
  ASSERT_EQ(kiln::OpCall(op, src.Arrays(), dst.Arrays(), kiln::BGR2RGB), 0);
  EXPECT_NE(dynamic_cast<kiln::CvtColorNone*>(op.GetImpl().get()), nullptr);
}

class TempDir {
 public:
  TempDir() {
    char name[] = "/tmp/cvtcolor_dump_XXXXXX";
    path_ = mkdtemp(name) != nullptr ? name : "";
  }
  ~TempDir() {
    if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

nlohmann::json ReadJson(const std::string& path) {
  std::ifstream in(path);
  return nlohmann::json::parse(in, nullptr, false);
}

TEST_F(CvtColorOpTest, Dump_WritesTypeNameAndEveryPlane) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  const TypeShapes shapes = ShapesFor(kiln::YUV2RGB_NV12, 4, 64);
  Planes src(ctx_.get(), shapes.src), dst(ctx_.get(), shapes.dst);
  kiln::CvtColor op(ctx_.get(), kNeon);
  ASSERT_EQ(kiln::OpCall(op, src.Arrays(), dst.Arrays(), kiln::YUV2RGB_NV12), 0);
  ASSERT_EQ(op.Dump(dir.path()), 0) << cvtcolor_test::Backtrace(*ctx_);
  const nlohmann::json doc = ReadJson(dir.path() + "/CvtColor.json");
  ASSERT_TRUE(doc.is_object());
  const nlohmann::json& params = doc["params"];
  EXPECT_EQ(params["name"], "CvtColor");
  EXPECT_EQ(params["m_type"], "YUV2RGB_NV12");
  ASSERT_TRUE(params["m_src"].is_array());
  EXPECT_EQ(params["m_src"].size(), 2u);
  EXPECT_TRUE(params["m_dst"].is_object());
  EXPECT_EQ(params["m_dst"]["elemtype"], "U8");
  EXPECT_TRUE(params["m_dst"].contains("path"));
}

TEST_F(CvtColorOpTest, Dump_OfP010WritesInvalidTypeName) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  const TypeShapes shapes = ShapesFor(kiln::RGB2YUV_NV21_P010, 2, 64);
  Planes src(ctx_.get(), shapes.src), dst(ctx_.get(), shapes.dst);
  kiln::CvtColor op(ctx_.get(), kNoneSingle);
  ASSERT_EQ(kiln::OpCall(op, src.Arrays(), dst.Arrays(), kiln::RGB2YUV_NV21_P010), 0);
  ASSERT_EQ(op.Dump(dir.path()), 0);
  EXPECT_EQ(ReadJson(dir.path() + "/CvtColor.json")["params"]["m_type"], "Invalid");
}

TEST(CvtColorTypes, NamesChromaOrderAndRange) {
  EXPECT_STREQ(kiln::CvtColorTypeName(kiln::YUV2RGB_Y444_601), "YUV2RGB_Y444_601");
  EXPECT_STREQ(kiln::CvtColorTypeName(kiln::BAYERGR2BGR), "BAYERGR2BGR");
  EXPECT_STREQ(kiln::CvtColorTypeName(0), "Invalid");
  EXPECT_STREQ(kiln::CvtColorTypeDumpName(kiln::RGB2YUV_NV12_P010), "Invalid");
  EXPECT_STREQ(kiln::CvtColorTypeDumpName(kiln::RGB2YUV_NV12), "RGB2YUV_NV12");
  EXPECT_EQ(AllTypes().size(), 9u + 12u + 16u + 4u);
  const int u_first[] = {200, 202, 205, 207, 210, 300, 302, 304, 305, 308, 310, 312, 313};
  for (kiln::CvtColorType type : AllTypes()) {
    const bool listed = std::find(std::begin(u_first), std::end(u_first), type) != std::end(u_first);
    EXPECT_EQ(kiln::CvtColorUFirst(type), listed) << type;
  }
  EXPECT_TRUE(kiln::CvtColorFullRange(kiln::RGB2YUV_Y444_601));
  EXPECT_TRUE(kiln::CvtColorFullRange(kiln::YUV2RGB_NV12_601));
  EXPECT_FALSE(kiln::CvtColorFullRange(kiln::RGB2YUV_NV12_P010));
  EXPECT_FALSE(kiln::CvtColorFullRange(kiln::YUV2RGB_Y444));
}

// ---- Argument checks ---------------------------------------------------------

TEST_F(CvtColorOpTest, EmptyLists_AreRejectedBeforeAnyImplementationExists) {
  const TypeShapes shapes = ShapesFor(kiln::BGR2GRAY, 2, 64);
  Planes planes(ctx_.get(), shapes.src);
  kiln::CvtColor op(ctx_.get(), kNeon);
  EXPECT_EQ(kiln::OpCall(op, std::vector<kiln::Array*>(), planes.Arrays(), kiln::BGR2GRAY), -1);
  EXPECT_EQ(kiln::OpCall(op, planes.Arrays(), std::vector<kiln::Array*>(), kiln::BGR2GRAY), -1);
  EXPECT_FALSE(op.HasImpl());
  EXPECT_TRUE(RecordedInOrder({"src/dst size is zero", "SetArgs failed", "src/dst size is zero", "SetArgs failed"}));
}

TEST_F(CvtColorOpTest, UnknownTypes_RecordTypeError) {
  const TypeShapes shapes = ShapesFor(kiln::BGR2GRAY, 2, 64);
  Planes src(ctx_.get(), shapes.src), dst(ctx_.get(), shapes.dst);
  for (int type : {0, 99, 109, 199, 212, 299, 316, 399, 404, -300}) {
    ctx_->GetLogger()->ClearError();
    EXPECT_EQ(kiln::ICvtColor(ctx_.get(), src.Arrays(), dst.Arrays(), static_cast<kiln::CvtColorType>(type), kNeon),
              -1);
    EXPECT_TRUE(RecordedInOrder(
        {"cvtcolor type error", "CvtColorImpl::SetArgs failed(neon)", "fail", "SetArgs failed"}))
        << type;
  }
  EXPECT_TRUE(dst.Untouched());
}

TEST_F(CvtColorOpTest, PlaneCounts_MustMatchTheType) {
  struct Case {
    kiln::CvtColorType type;
    int src_num, dst_num;
  } const cases[] = {
      {kiln::YUV2RGB_NV12, 1, 1}, {kiln::YUV2RGB_YU12, 2, 1}, {kiln::RGB2YUV_YV12, 1, 2},
      {kiln::BGR2GRAY, 2, 1},     {kiln::BAYERBG2BGR, 1, 2},  {kiln::RGB2YUV_NV21_P010, 1, 3},
  };
  const TypeShapes shapes = ShapesFor(kiln::GRAY2BGR, 4, 64);
  Planes gray(ctx_.get(), std::vector<PlaneShape>(3, shapes.src[0]));
  for (const Case& c : cases) {
    ctx_->GetLogger()->ClearError();
    std::vector<kiln::Array*> all = gray.Arrays();
    const std::vector<kiln::Array*> src(all.begin(), all.begin() + c.src_num);
    const std::vector<kiln::Array*> dst(all.begin(), all.begin() + c.dst_num);
    EXPECT_EQ(kiln::ICvtColor(ctx_.get(), src, dst, c.type, kNoneSingle), -1);
    EXPECT_TRUE(RecordedInOrder({"the number of src mat or dst mat is not match to type", "fail",
                                 "array num is not match", "CvtColorImpl::SetArgs failed(none)", "fail",
                                 "SetArgs failed"}))
        << kiln::CvtColorTypeName(c.type);
    EXPECT_TRUE(BacktraceHas(" CheckArrayNum["));
  }
}

TEST_F(CvtColorOpTest, InvalidPlanes_AreRejectedAsInvalidSrcOrDst) {
  const TypeShapes shapes = ShapesFor(kiln::YUV2RGB_NV12, 4, 64);
  Planes src(ctx_.get(), shapes.src), dst(ctx_.get(), shapes.dst);
  kiln::Mat empty;
  std::vector<kiln::Array*> bad_src = src.Arrays();
  bad_src[1] = nullptr;
  EXPECT_EQ(kiln::ICvtColor(ctx_.get(), bad_src, dst.Arrays(), kiln::YUV2RGB_NV12, kNoneSingle), -1);
  EXPECT_TRUE(RecordedInOrder({"invalid src", "array elem type is not match", "SetArgs failed"}));
  EXPECT_TRUE(BacktraceHas(" CheckArrayElemType["));
  bad_src[1] = &empty;
  ctx_->GetLogger()->ClearError();
  EXPECT_EQ(kiln::ICvtColor(ctx_.get(), bad_src, dst.Arrays(), kiln::YUV2RGB_NV12, kNoneSingle), -1);
  EXPECT_TRUE(RecordedInOrder({"invalid src", "array elem type is not match"}));
  ctx_->GetLogger()->ClearError();
  EXPECT_EQ(kiln::ICvtColor(ctx_.get(), src.Arrays(), {&empty}, kiln::YUV2RGB_NV12, kNoneSingle), -1);
  EXPECT_TRUE(RecordedInOrder({"invalid dst", "array elem type is not match"}));
  // A null first source falls back from Neon (no width to check) and is rejected.
  ctx_->GetLogger()->ClearError();
  EXPECT_EQ(kiln::ICvtColor(ctx_.get(), {nullptr, src.Arrays()[1]}, dst.Arrays(), kiln::YUV2RGB_NV12, kNeon), -1);
  EXPECT_TRUE(RecordedInOrder({"invalid src", "array elem type is not match", "CvtColorImpl::SetArgs failed(none)"}));
}

TEST_F(CvtColorOpTest, ElementTypes_AreCheckedPerConversionFamily) {
  struct Case {
    kiln::CvtColorType type;
    kiln::ElemType src_elem, dst_elem;
    const char* message;
  } const cases[] = {
      {kiln::BGR2GRAY, kiln::QX_U16, kiln::QX_U8, "src elem type should be u8"},
      {kiln::YUV2RGB_NV12, kiln::QX_U8, kiln::QX_S8, "dst elem type should be u8"},
      {kiln::RGB2YUV_NV12_P010, kiln::QX_U8, kiln::QX_U16, "src elem type should be u16"},
      {kiln::RGB2YUV_NV21_P010, kiln::QX_U16, kiln::QX_U8, "dst elem type should be u16"},
      {kiln::BAYERGB2BGR, kiln::QX_S16, kiln::QX_U16, "src elem type should be u8|u16"},
      {kiln::BAYERGB2BGR, kiln::QX_U16, kiln::QX_F32, "dst elem type should be u8|u16"},
  };
  for (const Case& c : cases) {
    ctx_->GetLogger()->ClearError();
    TypeShapes shapes = ShapesFor(c.type, 4, 64);
    for (PlaneShape& p : shapes.src) p.elem = c.src_elem;
    for (PlaneShape& p : shapes.dst) p.elem = c.dst_elem;
    Planes src(ctx_.get(), shapes.src), dst(ctx_.get(), shapes.dst);
    EXPECT_EQ(kiln::ICvtColor(ctx_.get(), src.Arrays(), dst.Arrays(), c.type, kNeon), -1);
    EXPECT_TRUE(RecordedInOrder({c.message, "array elem type is not match", "CvtColorImpl::SetArgs failed(neon)",
                                 "fail", "SetArgs failed"}))
        << c.message;
    EXPECT_TRUE(dst.Untouched());
  }
}

// An array that is valid but not a Mat (a device DSP array).
class DspArray : public kiln::Array {
 public:
  explicit DspArray(const kiln::Mat& m) : Array(kiln::KILN_ARRAY_XTENSA_MAT) {
    ShareFrom(m);
    m_array_type = kiln::KILN_ARRAY_XTENSA_MAT;
  }
};

TEST_F(CvtColorOpTest, NonMatArrays_AreRejectedByBothTargets) {
  const TypeShapes shapes = ShapesFor(kiln::BGR2RGB, 2, 64);
  Planes src(ctx_.get(), shapes.src), dst(ctx_.get(), shapes.dst);
  DspArray dsp_src(src[0].mat()), dsp_dst(dst[0].mat());
  ASSERT_TRUE(dsp_src.IsValid());
  EXPECT_EQ(kiln::ICvtColor(ctx_.get(), {&dsp_src}, dst.Arrays(), kiln::BGR2RGB, kNeon), -1);
  EXPECT_TRUE(RecordedInOrder({"src must be mat type", "fail", "SetArgs failed"}));
  ctx_->GetLogger()->ClearError();
  EXPECT_EQ(kiln::ICvtColor(ctx_.get(), src.Arrays(), {&dsp_dst}, kiln::BGR2RGB, kNoneSingle), -1);
  EXPECT_TRUE(RecordedInOrder({"dst must be mat type", "fail", "SetArgs failed"}));
  EXPECT_TRUE(dst.Untouched());
}

// Geometry checks of the kernels: each failure records its text, then
// "Run failed", and leaves the destination untouched.
struct GeometryCase {
  const char* what;
  kiln::CvtColorType type;
  std::vector<PlaneShape> src;
  std::vector<PlaneShape> dst;
  const char* message;
  const char* kernel;  // function name in the record, without the target suffix
};

std::vector<GeometryCase> GeometryCases() {
  const kiln::ElemType u8 = kiln::QX_U8, u16 = kiln::QX_U16;
  return {
      {"NV12 5 wide", kiln::YUV2RGB_NV12, {{4, 5, 1, u8}, {2, 2, 2, u8}}, {{4, 5, 3, u8}},
       "src and dst mats size only support even", "CvtNv2Rgb"},
      {"NV12 odd height", kiln::YUV2RGB_NV21_601, {{5, 64, 1, u8}, {2, 32, 2, u8}}, {{5, 64, 3, u8}},
       "src and dst mats size only support even", "CvtNv2Rgb"},
      {"NV12 chroma too small", kiln::YUV2RGB_NV12, {{4, 64, 1, u8}, {2, 30, 2, u8}}, {{4, 64, 3, u8}},
       "src and dst mats params do not match", "CvtNv2Rgb"},
      {"NV12 dst other size", kiln::YUV2RGB_NV12, {{4, 64, 1, u8}, {2, 32, 2, u8}}, {{4, 66, 3, u8}},
       "src and dst mats params do not match", "CvtNv2Rgb"},
      {"NV12 dst 4 channels", kiln::YUV2RGB_NV12, {{4, 64, 1, u8}, {2, 32, 2, u8}}, {{4, 64, 4, u8}},
       "src and dst mats params do not match", "CvtNv2Rgb"},
      {"YU12 V plane too small", kiln::YUV2RGB_YU12, {{4, 64, 1, u8}, {2, 32, 1, u8}, {1, 32, 1, u8}},
       {{4, 64, 3, u8}}, "src and dst mats params do not match", "CvtY4202Rgb"},
      {"YU12 odd", kiln::YUV2RGB_YV12, {{4, 63, 1, u8}, {2, 32, 1, u8}, {2, 32, 1, u8}}, {{4, 63, 3, u8}},
       "src and dst mats size only support even", "CvtY4202Rgb"},
      {"YUYV odd width", kiln::YUV2RGB_YUYV, {{4, 65, 2, u8}}, {{4, 65, 3, u8}}, "src width only support even",
       "CvtY4222Rgb"},
      {"Y422 one channel", kiln::YUV2RGB_Y422, {{4, 64, 1, u8}}, {{4, 64, 3, u8}},
       "src and dst mats params do not match", "CvtY4222Rgb"},
      {"Y444 half chroma", kiln::YUV2RGB_Y444, {{4, 64, 1, u8}, {4, 32, 1, u8}, {4, 64, 1, u8}}, {{4, 64, 3, u8}},
       "src and dst mats params do not match", "CvtY4442Rgb"},
      {"RGB2NV12 odd src", kiln::RGB2YUV_NV12, {{4, 63, 3, u8}}, {{4, 63, 1, u8}, {2, 32, 2, u8}},
       "src sizes only support even", "CvtRgb2Nv"},
      {"RGB2NV12 odd Y", kiln::RGB2YUV_NV21_601, {{4, 64, 3, u8}}, {{3, 64, 1, u8}, {2, 32, 2, u8}},
       "src and dst mats size only support even", "CvtRgb2Nv"},
      {"RGB2NV12 chroma mismatch", kiln::RGB2YUV_NV12, {{4, 64, 3, u8}}, {{4, 64, 1, u8}, {4, 32, 2, u8}},
       "the sizes of src and dst do not match", "CvtRgb2Nv"},
      {"RGB2NV12 4-channel source", kiln::RGB2YUV_NV12, {{4, 64, 4, u8}}, {{4, 64, 1, u8}, {2, 32, 2, u8}},
       "the sizes of src and dst do not match", "CvtRgb2Nv"},
      {"RGB2YU12 U plane", kiln::RGB2YUV_YU12, {{4, 64, 3, u8}}, {{4, 64, 1, u8}, {2, 16, 1, u8}, {2, 32, 1, u8}},
       "the sizes of src and dst do not match", "CvtRgb2Y420"},
      {"RGB2Y444 Y plane", kiln::RGB2YUV_Y444_601, {{4, 64, 3, u8}}, {{4, 62, 1, u8}, {4, 64, 1, u8}, {4, 64, 1, u8}},
       "the sizes of src and dst do not match", "CvtRgb2Y444"},
      {"P010 odd", kiln::RGB2YUV_NV12_P010, {{3, 64, 3, u16}}, {{3, 64, 1, u16}, {1, 32, 2, u16}},
       "src sizes only support even", "CvtRgb2NvP010"},
      {"P010 chroma", kiln::RGB2YUV_NV21_P010, {{4, 64, 3, u16}}, {{4, 64, 1, u16}, {2, 64, 2, u16}},
       "the sizes of src and dst do not match", "CvtRgb2NvP010"},
      {"gray from 1 channel", kiln::BGR2GRAY, {{4, 64, 1, u8}}, {{4, 64, 1, u8}},
       "src channel must be 3 or 4 adn dst channel must be 1", "CvtBgr2Gray"},
      {"gray other size", kiln::RGBA2GRAY, {{4, 64, 4, u8}}, {{5, 64, 1, u8}},
       "src and dst must have the same height and width", "CvtBgr2Gray"},
      {"reorder 2 channels", kiln::BGR2BGRA, {{4, 64, 2, u8}}, {{4, 64, 4, u8}}, "src and dst channel should be 3 or 4",
       "CvtBgr2Bgra"},
      {"reorder other size", kiln::BGR2RGB, {{4, 64, 3, u8}}, {{4, 60, 3, u8}},
       "src and dst must have the same height and width", "CvtBgr2Bgra"},
      {"gray to 1 channel", kiln::GRAY2BGR, {{4, 64, 1, u8}}, {{4, 64, 1, u8}},
       "src channel must be 1 and dst channel must be 3 or 4", "CvtGray2Bgr"},
      {"bayer odd", kiln::BAYERBG2BGR, {{5, 64, 1, u8}}, {{5, 64, 3, u8}}, "src and dst size only support even",
       "CvtBayer2Bgr"},
      {"bayer other size", kiln::BAYERGB2BGR, {{4, 64, 1, u16}}, {{6, 64, 3, u16}},
       "src and dst must have the same height and width", "CvtBayer2Bgr"},
      {"bayer 2 x 64", kiln::BAYERRG2BGR, {{2, 64, 1, u8}}, {{2, 64, 3, u8}}, "src and dst size must be at least 4x4",
       "CvtBayer2Bgr"},
      {"bayer 3-channel source", kiln::BAYERGR2BGR, {{4, 64, 3, u8}}, {{4, 64, 3, u8}},
       "src channel must be 1 and dst channel must be 3", "CvtBayer2Bgr"},
      {"bayer mixed elements", kiln::BAYERGR2BGR, {{4, 64, 1, u8}}, {{4, 64, 3, u16}}, "elem type error",
       "CvtBayer2Bgr"},
  };
}

TEST_F(CvtColorOpTest, Geometry_EveryKernelRejectsMismatchedPlanesOnBothTargets) {
  for (const GeometryCase& c : GeometryCases()) {
    for (const kiln::TargetInfo& target : {kNoneSingle, kNeon}) {
      ctx_->GetLogger()->ClearError();
      Planes src(ctx_.get(), c.src), dst(ctx_.get(), c.dst);
      kiln::CvtColor op(ctx_.get(), target);
      EXPECT_EQ(kiln::OpCall(op, src.Arrays(), dst.Arrays(), c.type), -1) << c.what;
      EXPECT_TRUE(RecordedInOrder({c.message, "Run failed"})) << c.what;
      const bool neon = dynamic_cast<kiln::CvtColorNeon*>(op.GetImpl().get()) != nullptr;
      EXPECT_TRUE(BacktraceHas(std::string(" ") + c.kernel + (neon ? "Neon[" : "None["))) << c.what;
      EXPECT_TRUE(dst.Untouched()) << c.what;
      EXPECT_FALSE(op.IsInitialized()) << c.what;
    }
  }
}

TEST_F(CvtColorOpTest, SixteenBitPlanes_WithOddRowPitchAreRejected) {
  for (kiln::CvtColorType type : {kiln::RGB2YUV_NV12_P010, kiln::BAYERBG2BGR}) {
    ctx_->GetLogger()->ClearError();
    const TypeShapes shapes = ShapesFor(type, 4, 64, kiln::QX_U16);
    Planes src(ctx_.get(), shapes.src), dst(ctx_.get(), shapes.dst);
    // The same pixels described with a pitch one byte longer.
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[4 * (64 * 3 * 2 + 1)]);
    kiln::Mat odd(ctx_.get(), kiln::QX_U16, kiln::Sizes{4, 64, shapes.src[0].c}, bytes.get(),
                  kiln::Strides{0, 64 * shapes.src[0].c * 2 + 1});
    ASSERT_TRUE(odd.IsValid());
    EXPECT_EQ(kiln::ICvtColor(ctx_.get(), {&odd}, dst.Arrays(), type, kNeon), -1);
    EXPECT_TRUE(RecordedInOrder({"u16 rows must be 2-byte aligned", "Run failed"})) << kiln::CvtColorTypeName(type);
    EXPECT_TRUE(dst.Untouched());
  }
}

TEST_F(CvtColorOpTest, OpCall_WithoutContextFailsWithoutRecords) {
  const TypeShapes shapes = ShapesFor(kiln::BGR2RGB, 2, 64);
  Planes src(ctx_.get(), shapes.src), dst(ctx_.get(), shapes.dst);
  EXPECT_EQ(kiln::ICvtColor(nullptr, src.Arrays(), dst.Arrays(), kiln::BGR2RGB, kNeon), -1);
  EXPECT_EQ(ctx_->GetLogger()->GetErrorCount(), 0u);
  EXPECT_TRUE(dst.Untouched());
}

}  // namespace
