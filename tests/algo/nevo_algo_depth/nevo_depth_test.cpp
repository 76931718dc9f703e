#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "algo/nevo_algo_depth/nevo_depth.h"
#include "nevo_utils/nevo_log.h"
#include "hostsim/vendor/libvorlan_bokeh_depth/vorlan_bokeh_depth_stub.h"
#include "tests/nevo_algo_wrapper/test_context.h"
#include "tests/nevo_core/log_capture.h"
#include "vorlan_bokeh_depth.h"

namespace {

class NevoDepthTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx_ = MakeTestContext();
    NevoSetLogPrint(2, &LogCapture::Callback);
    NevoSetLogLevel(kNevoLogInfo);
    LogCapture::Get().Take();
    // The stand-in is loaded by the module's first call; make sure it is.
    void* lib = dlopen("libvorlan_bokeh_depth.so", RTLD_NOW);
    ASSERT_NE(lib, nullptr) << dlerror();
    control_ = reinterpret_cast<VorlanBokehDepthStubControlFn>(dlsym(lib, kVorlanBokehDepthStubControl));
    // Kept open: the pointer must outlive this call.
    ASSERT_NE(control_, nullptr);
    control_("reset", nullptr, 0);

    block_.pre_launch = {kWidth, kHeight};
    block_.launch = {500, 0};
    block_.proc = {mask_.data(), kWidth, 0};
    param_.param = &block_;
    param_.length = sizeof(block_);
    std::memset(&config_, 0, sizeof(config_));
  }
  void TearDown() override { NevoSetLogPrint(0, nullptr); }

  int Calls(const char* entry) const { return control_("calls", entry, 0); }
  int AllCalls() const {
    return Calls("VorlanBokehDepthPreLaunch") + Calls("VorlanBokehDepthLaunch") + Calls("VorlanBokehDepthProcess") +
           Calls("VorlanBokehDepthLaunchDestory") + Calls("VorlanBokehDepthPrelaunchDestory");
  }
  static bool Logged(const std::vector<LogRecord>& logs, const std::string& text) {
    return std::any_of(logs.begin(), logs.end(),
                       [&](const LogRecord& r) { return r.text.find(text) != std::string::npos; });
  }

  static constexpr uint32_t kWidth = 40;
  static constexpr uint32_t kHeight = 30;
  std::shared_ptr<kiln::Context> ctx_;
  VorlanBokehDepthStubControlFn control_ = nullptr;
  std::vector<uint8_t> mask_ = std::vector<uint8_t>(kWidth * kHeight, 7);
  VorlanBokehDepthAllParam block_{};
  NevoDepthParam param_{};
  NevoAlgoConfig config_{};
};

TEST_F(NevoDepthTest, CheckParam_RejectsBlocksOneByteShortOrLongWithBothMessages) {
  for (uint32_t length : {31u, 33u}) {
    param_.length = length;
    EXPECT_EQ(NevoDepthCheckParam(ctx_.get(), param_), NEVO_ERR_FAILED);
    const auto logs = LogCapture::Get().Take();
    EXPECT_TRUE(Logged(logs, "NevoDepthParam length must equal to sizeof(VorlanBokehDepthAllParam) = 32\n"));
    EXPECT_TRUE(Logged(logs, "NevoDepthParam is invalid\n"));
  }
  param_.length = 32;
  EXPECT_EQ(NevoDepthCheckParam(ctx_.get(), param_), 0);
  EXPECT_EQ(NevoDepthCheckParam(nullptr, param_), NEVO_ERR_FAILED);
  EXPECT_EQ(AllCalls(), 0);
}

TEST_F(NevoDepthTest, Run_WithoutContextOrWhenBypassedCallsNoLibraryEntry) {
  EXPECT_EQ(NevoDepthRun(nullptr, config_, param_), NEVO_ERR_FAILED);
  EXPECT_TRUE(Logged(LogCapture::Get().Take(), "kiln::Context is invalid\n"));
  config_.bypass = 1;
  EXPECT_EQ(NevoDepthRun(ctx_.get(), config_, param_), 0);
  EXPECT_TRUE(Logged(LogCapture::Get().Take(), "Depth algo is bypassed\n"));
  EXPECT_EQ(AllCalls(), 0);
  EXPECT_EQ(mask_[0], 7);
}

TEST_F(NevoDepthTest, Run_WritesTheMaskWhereTheBlockPointsAndReleasesTheHandle) {
  EXPECT_EQ(NevoDepthRun(ctx_.get(), config_, param_), 0);
  const auto logs = LogCapture::Get().Take();
  for (const char* line : {"VorlanBokehDepthPreLaunch\n", "VorlanBokehDepthLaunch\n", "VorlanBokehDepthProcess\n",
                           "VorlanBokehDepthLaunchDestory\n", "VorlanBokehDepthPrelaunchDestory\n"}) {
    EXPECT_TRUE(Logged(logs, line)) << line;
  }
  EXPECT_FALSE(Logged(logs, "fail"));
  EXPECT_EQ(AllCalls(), 5);
  // Focus 500 per mille: centre in focus, corners not, nothing left untouched.
  EXPECT_EQ(mask_[(kHeight / 2) * kWidth + kWidth / 2], 255);
  EXPECT_EQ(mask_[0], 0);
  EXPECT_EQ(mask_[kWidth * kHeight - 1], 0);
  EXPECT_EQ(std::count(mask_.begin(), mask_.end(), 7), 0);
}

TEST_F(NevoDepthTest, Run_PreLaunchFailingWithSevenStillCallsBothDestroysAndReturnsSeven) {
  control_("fail", "VorlanBokehDepthPreLaunch", 7);
  EXPECT_EQ(NevoDepthRun(ctx_.get(), config_, param_), 7);
  EXPECT_TRUE(Logged(LogCapture::Get().Take(), "VorlanBokehDepthPreLaunch fail, return=7\n"));
  EXPECT_EQ(Calls("VorlanBokehDepthLaunch"), 0);
  EXPECT_EQ(Calls("VorlanBokehDepthProcess"), 0);
  EXPECT_EQ(Calls("VorlanBokehDepthLaunchDestory"), 1);
  EXPECT_EQ(Calls("VorlanBokehDepthPrelaunchDestory"), 1);
}

TEST_F(NevoDepthTest, Run_LaterStepFailuresKeepTheFirstCodeAndDestroyFailuresDoNotChangeIt) {
  control_("fail", "VorlanBokehDepthProcess", 12);
  control_("fail", "VorlanBokehDepthLaunchDestory", 5);
  control_("fail", "VorlanBokehDepthPrelaunchDestory", 6);
  EXPECT_EQ(NevoDepthRun(ctx_.get(), config_, param_), 12);
  auto logs = LogCapture::Get().Take();
  EXPECT_TRUE(Logged(logs, "VorlanBokehDepthProcess fail, return=12\n"));
  EXPECT_TRUE(Logged(logs, "VorlanBokehDepthLaunchDestory fail\n"));
  EXPECT_TRUE(Logged(logs, "VorlanBokehDepthPrelaunchDestory fail\n"));

  control_("reset", nullptr, 0);
  control_("fail", "VorlanBokehDepthLaunch", 9);
  EXPECT_EQ(NevoDepthRun(ctx_.get(), config_, param_), 9);
  logs = LogCapture::Get().Take();
  EXPECT_TRUE(Logged(logs, "VorlanBokehDepthLaunch fail, return=9\n"));
  EXPECT_EQ(Calls("VorlanBokehDepthProcess"), 0);
  EXPECT_EQ(Calls("VorlanBokehDepthPrelaunchDestory"), 1);
}

}  // namespace
