// Runs with an empty directory as the only library path: no depth library.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "algo/nevo_algo_depth/nevo_depth.h"
#include "nevo_utils/nevo_log.h"
#include "tests/nevo_algo_wrapper/test_context.h"
#include "tests/nevo_core/log_capture.h"
#include "vorlan_bokeh_depth.h"

TEST(NevoDepthAbsentTest, Run_WithoutTheLibraryReturnsMinusOneAndLogsEveryStepFailure) {
  auto ctx = MakeTestContext();
  NevoSetLogPrint(2, &LogCapture::Callback);
  NevoSetLogLevel(kNevoLogInfo);
  VorlanBokehDepthAllParam block{};
  NevoDepthParam param{};
  param.param = &block;
  param.length = sizeof(block);
  NevoAlgoConfig config{};
  EXPECT_EQ(NevoDepthRun(ctx.get(), config, param), -1);
  const auto logs = LogCapture::Get().Take();
  NevoSetLogPrint(0, nullptr);
  auto logged = [&](const std::string& text) {
    return std::any_of(logs.begin(), logs.end(),
                       [&](const LogRecord& r) { return r.text.find(text) != std::string::npos; });
  };
  EXPECT_TRUE(logged("VorlanBokehDepthPreLaunch fail, return=-1\n"));
  EXPECT_FALSE(logged("VorlanBokehDepthLaunch\n"));
  EXPECT_TRUE(logged("VorlanBokehDepthLaunchDestory fail\n"));
  EXPECT_TRUE(logged("VorlanBokehDepthPrelaunchDestory fail\n"));
}
