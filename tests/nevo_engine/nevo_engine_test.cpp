#include "nevo_engine/nevo_engine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "nevo_algo_wrapper/test_context.h"
#include "nevo_engine/sysroot.h"
#include "nevo_host/properties.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class NevoEngineTest : public ::testing::Test {
 protected:
  void SetUp() override { NevoHostPropertyClear(); }
  void TearDown() override { NevoHostPropertyClear(); }

  std::shared_ptr<NevoEngine> Make(int camera_mode = 0, int depth = 0) {
    NevoConfig cfg{};
    cfg.camera_mode = camera_mode;
    cfg.bokeh_depth_enable = depth;
    return NevoEngine::Create(cfg);
  }
  static NevoInitParam InitFor(int type) {
    NevoInitParam p{};
    p.ae.algo_type = type;
    p.ae.ev_num = 1;
    return p;
  }

  TestSysroot sysroot_;
};

TEST_F(NevoEngineTest, MissingConfigurationGivesDefaultsEverywhere) {
  ::testing::internal::CaptureStderr();
  auto engine = Make();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_THAT(err, HasSubstr("/odm/etc/camera/nevo.json not found"));
  const nlohmann::json doc = engine->GetJson();
  const nlohmann::json& root = doc["nevo"];
  EXPECT_EQ(root["valid"], true);
  EXPECT_EQ(root["timeout"], 1061109567);
  EXPECT_EQ(root["dump"]["txt"], 1);
  EXPECT_EQ(root["bypass_all"], 0);
  const nlohmann::json& sec = root["algo"]["NEVO_BYPASS"];
  EXPECT_EQ(sec["bypass"], 1);
  EXPECT_EQ(sec["bypass_portrait"], 1);
  EXPECT_EQ(sec["enable"], 0);
  EXPECT_EQ(sec["sync_mode"], 2);
  EXPECT_FALSE(root["algo"].contains("NEVO_DEPTH"));

  const NevoAlgoConfig c = engine->BuildAlgoConfig(NEVO_HDR);
  EXPECT_EQ(c.enable, 0);
  EXPECT_EQ(c.bypass, 1);
  EXPECT_EQ(c.bypass_func, 1);
  EXPECT_EQ(c.enable_xdr, 1);
  EXPECT_EQ(c.output_format, 1);
  EXPECT_EQ(c.timeout, 1061109567);
}

TEST_F(NevoEngineTest, SectionsTakeGlobalsAndPropertiesInOrder) {
  sysroot_.Write("/odm/etc/camera/nevo.json", R"({"nevo": {
      "log": 3, "error_protect": 1, "timeout": 8000, "print_status": 1,
      "algo": {"NEVO_HDR": {"enable": 1, "bypass": 0, "input_format": 0, "output_format": 1,
                            "output_format_portrait": 0, "dump": 0, "vendor_type": 0}}}})");
  NevoHostPropertySet("persist.vendor.camera.nevo.algo_hdr.dump", "1");
  NevoHostPropertySet("persist.vendor.camera.nevo.black_protect", "1");
  auto engine = Make();
  const NevoAlgoConfig c = engine->BuildAlgoConfig(NEVO_HDR);
  EXPECT_EQ(c.enable, 1);
  EXPECT_EQ(c.bypass, 0);
  EXPECT_EQ(c.dump, 1);
  EXPECT_EQ(c.log, 3);
  EXPECT_EQ(c.error_protect, 1);
  EXPECT_EQ(c.black_protect, 1);  // global property read at construction
  EXPECT_EQ(c.timeout, 8000);
  EXPECT_EQ(c.print_status, 1);
  const nlohmann::json doc = engine->GetJson();
  const nlohmann::json& sec = doc["nevo"]["algo"]["NEVO_HDR"];
  EXPECT_EQ(sec["input_format_front"], 0);
  EXPECT_EQ(sec["output_format_front"], 1);
  EXPECT_EQ(sec["output_format_portrait"], 0);

  // Per-algorithm properties take effect at the next lookup.
  NevoHostPropertySet("persist.vendor.camera.nevo.algo_hdr.bypass", "1");
  const NevoAlgoConfig again = engine->BuildAlgoConfig(NEVO_HDR);
  EXPECT_EQ(again.bypass, 1);
  EXPECT_EQ(engine->GetJson()["nevo"]["algo"]["NEVO_HDR"]["bypass_portrait"], 1);
}

TEST_F(NevoEngineTest, BypassAllAndDumpAllForceEverySection) {
  sysroot_.Write("/odm/etc/camera/nevo.json",
                 R"({"nevo": {"bypass_all": 2, "dump_all": 1, "algo": {"NEVO_SN": {"bypass": 0, "dump": 0}}}})");
  auto engine = Make();
  const NevoAlgoConfig c = engine->BuildAlgoConfig(NEVO_SN);
  EXPECT_EQ(c.bypass, 2);
  EXPECT_EQ(c.dump, 1);
  EXPECT_EQ(engine->GetJson()["nevo"]["algo"]["NEVO_SN"]["bypass_portrait"], 2);
}

TEST_F(NevoEngineTest, PortraitModeUsesPortraitFormatsAndBypass) {
  sysroot_.Write("/odm/etc/camera/nevo.json", R"({"nevo": {"algo": {"NEVO_HDR": {
      "bypass": 0, "bypass_portrait": 1, "input_format": 0, "output_format": 1,
      "input_format_portrait": 3, "output_format_portrait": 4}}}})");
  auto engine = Make(NEVO_CAMERA_MODE_PORTRAIT);
  const NevoAlgoConfig c = engine->BuildAlgoConfig(NEVO_HDR);
  EXPECT_EQ(c.camera_mode, 2);
  EXPECT_EQ(c.bypass, 1);
  EXPECT_EQ(c.input_format, 3);
  EXPECT_EQ(c.output_format, 4);
}

TEST_F(NevoEngineTest, DepthSectionExistsOnlyWhenDepthIsEnabled) {
  NevoHostPropertySet("persist.vendor.camera.nevo.algo_depth.bypass", "0");
  auto engine = Make(0, 1);
  const nlohmann::json sec = engine->GetJson()["nevo"]["algo"]["NEVO_DEPTH"];
  EXPECT_EQ(sec["valid"], true);
  EXPECT_EQ(sec["bypass"], 0);
  EXPECT_EQ(sec["dump"], 0);
}

TEST_F(NevoEngineTest, TypesWithoutAdapterFallBackToTheBypassWrapper) {
  auto engine = Make();
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(engine->Init(InitFor(NEVO_HDR_F)), 0);
  EXPECT_EQ(engine->GetWrapper()->tag(), "NEVO_HDR_F");  // served by its own EmptyWrapper
  ASSERT_EQ(engine->Unit(), 0);
  ASSERT_EQ(engine->Init(InitFor(NEVO_SESR)), 0);
  EXPECT_EQ(engine->GetWrapper()->tag(), "NEVO_BYPASS");
  engine->Unit();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_THAT(err, HasSubstr("NEVO_SESR is not ready, try correct"));
  EXPECT_THAT(err, Not(HasSubstr("NEVO_HDR_F is not ready")));
}

TEST_F(NevoEngineTest, ForceAlgoOutsideRangeIsIgnored) {
  NevoHostPropertySet("persist.vendor.camera.nevo.log_level", "2");
  auto engine = Make();
  NevoInitParam p = InitFor(NEVO_HDR_F);
  p.force_algo = 25;
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(engine->Init(p), 0);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_THAT(err, HasSubstr("force set to NEVO_INVALID by software, key 25"));
  EXPECT_THAT(err, Not(HasSubstr("done")));
  EXPECT_EQ(engine->algo_type(), static_cast<uint32_t>(NEVO_HDR_F));
  engine->Unit();

  p.force_algo = 20;
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(engine->Init(p), 0);
  err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(engine->algo_type(), 20u);
  EXPECT_THAT(err, HasSubstr("NEVO_INVALID is not supported for vendor 0"));
  EXPECT_THAT(err, HasSubstr("NEVO_INVALID is not ready, try correct"));
  EXPECT_EQ(engine->GetWrapper()->tag(), "NEVO_BYPASS");
  engine->Unit();
}

TEST_F(NevoEngineTest, ArcSoftVendorDoesNotServeHdrF) {
  sysroot_.Write("/odm/etc/camera/nevo.json", R"({"nevo": {"algo": {"NEVO_HDR_F": {"vendor_type": 1}}}})");
  auto engine = Make();
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(engine->Init(InitFor(NEVO_HDR_F)), 0);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_THAT(err, HasSubstr("algo_type NEVO_HDR_F is not supported for vendor 1"));
  EXPECT_EQ(engine->GetWrapper()->tag(), "NEVO_BYPASS");
  engine->Unit();
}

TEST_F(NevoEngineTest, RunAndSelectAnchorFollowTheCaptureKind) {
  auto engine = Make();
  NevoInitParam p = InitFor(NEVO_HDR_F);
  p.is_anchor_select = 1;
  ASSERT_EQ(engine->Init(p), 0);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(engine->Run(), NEVO_ERR_FAILED);
  // The flush prints the record at the end of the call.
  EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr("disable is_anchor_select before run"));
  engine->Unit();

  p.is_anchor_select = 0;
  ASSERT_EQ(engine->Init(p), 0);
  int index = 0;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(engine->SelectAnchor(&index), NEVO_ERR_FAILED);
  EXPECT_THAT(::testing::internal::GetCapturedStderr(),
              HasSubstr("enable is_anchor_select before select anchor"));
  engine->Unit();
}

TEST_F(NevoEngineTest, DepthRequestNeedsDepthEnabledAndAValidBlock) {
  auto engine = Make();
  unsigned char block[32] = {};
  NevoDepthParam param{block, 32, {}};
  EXPECT_EQ(engine->NevoSetDepthParam(param), NEVO_ERR_FAILED);

  auto depth_engine = Make(0, 1);
  ASSERT_EQ(depth_engine->Init(InitFor(NEVO_HDR_F)), 0);
  param.length = 31;
  EXPECT_EQ(depth_engine->NevoSetDepthParam(param), NEVO_ERR_FAILED);
  param.length = 32;
  EXPECT_EQ(depth_engine->NevoSetDepthParam(param), 0);
  depth_engine->Unit();
}

TEST_F(NevoEngineTest, ErrorsAreFlushedOncePerCall) {
  auto engine = Make();
  ::testing::internal::CaptureStderr();
  int index = 0;
  engine->SelectAnchor(&index);
  engine->SelectAnchor(&index);
  const std::string err = ::testing::internal::GetCapturedStderr();
  size_t count = 0;
  for (size_t pos = err.find("enable is_anchor_select"); pos != std::string::npos;
       pos = err.find("enable is_anchor_select", pos + 1)) {
    ++count;
  }
  EXPECT_EQ(count, 2u);  // one record per call: the history is cleared by each flush
}

}  // namespace
