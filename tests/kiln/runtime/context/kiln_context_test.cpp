// kiln::Context: initialisation, ownership of its parts, target texts.
#include "kiln/runtime/context/context.h"

#include <gtest/gtest.h>

#include <string>

#include "kiln/runtime/context/target_info.h"

namespace {

kiln::ContextConfig QuietConfig() {
  kiln::ContextConfig config;
  config.log_mode = kiln::kLogModeNone;
  config.wp_name = "TEST";
  config.compute_threads = 1;
  config.async_threads = 1;
  return config;
}

TEST(ContextInit, Getters_AreNullBeforeInitialize) {
  kiln::Context ctx(QuietConfig());
  EXPECT_FALSE(ctx.IsInitialized());
  EXPECT_EQ(ctx.GetLogger(), nullptr);
  EXPECT_EQ(ctx.GetMemPool(), nullptr);
  EXPECT_EQ(ctx.GetWorkerpool(), nullptr);
  EXPECT_EQ(ctx.GetSystrace(), nullptr);
}

TEST(ContextInit, Initialize_CreatesAllPartsWithTheConfiguredSettings) {
  kiln::ContextConfig config = QuietConfig();
  config.log_mode = kiln::kLogModeAndroid;
  config.log_level = 1;
  kiln::Context ctx(config);
  ASSERT_EQ(ctx.Initialize(), 0);
  EXPECT_TRUE(ctx.IsInitialized());
  ASSERT_NE(ctx.GetLogger(), nullptr);
  EXPECT_EQ(ctx.GetLogger()->GetMode(), kiln::kLogModeAndroid);
  EXPECT_EQ(ctx.GetLogger()->GetLevel(), 1);
  ASSERT_NE(ctx.GetMemPool(), nullptr);
  EXPECT_TRUE(ctx.GetMemPool()->HasAllocator(kiln::KILN_MEM_HEAP));
  ASSERT_NE(ctx.GetWorkerpool(), nullptr);
  EXPECT_NE(ctx.GetSystrace(), nullptr);
}

TEST(ContextInit, Initialize_SecondCallReturnsZeroAndCreatesNothingNew) {
  kiln::Context ctx(QuietConfig());
  ASSERT_EQ(ctx.Initialize(), 0);
  const auto logger = ctx.GetLogger();
  const auto pool = ctx.GetMemPool();
  const auto wp = ctx.GetWorkerpool();
  const auto trace = ctx.GetSystrace();
  EXPECT_EQ(ctx.Initialize(), 0);
  EXPECT_EQ(ctx.GetLogger(), logger);
  EXPECT_EQ(ctx.GetMemPool(), pool);
  EXPECT_EQ(ctx.GetWorkerpool(), wp);
  EXPECT_EQ(ctx.GetSystrace(), trace);
}

TEST(ContextInit, Initialize_UsesOnlyTheFirstTwelveCharactersOfThePoolName) {
  kiln::ContextConfig config = QuietConfig();
  config.wp_name = "ABCDEFGHIJKLMNOPQRST";
  kiln::Context ctx(config);
  ASSERT_EQ(ctx.Initialize(), 0);
  EXPECT_EQ(ctx.GetWorkerpool()->Name(), "ABCDEFGHIJKL");
  EXPECT_EQ(ctx.GetConfig().wp_name, "ABCDEFGHIJKLMNOPQRST");  // the copy stays whole
}

TEST(ContextInit, Destruction_ReportsPoolStatisticsThroughTheContextLogger) {
  kiln::ContextConfig config = QuietConfig();
  config.log_mode = kiln::kLogModeAndroid;
  config.log_level = 2;
  testing::internal::CaptureStderr();
  {
    kiln::Context ctx(config);
    ASSERT_EQ(ctx.Initialize(), 0);
    void* block = ctx.GetMemPool()->Alloc(kiln::KILN_MEM_HEAP, 2048, 0, KILN_ALLOC_PARAM);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(ctx.GetMemPool()->Free(block), 0);
  }
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("D/kiln2.0: [kiln2.0] * Peak  Mem size: 2.00 KB (0.0020 MB)\n"), std::string::npos) << err;
  EXPECT_NE(err.find("D/kiln2.0: [kiln2.0] * Total Mem size: 0.00 KB (0.0000 MB)\n"), std::string::npos) << err;
}

TEST(TargetText, EveryTargetHasItsTextForm) {
  EXPECT_EQ(kiln::TargetToString({kiln::kTargetInvalid, true}), "Invalid");
  EXPECT_EQ(kiln::TargetToString({kiln::kTargetNone, true}), "None with multi-thread : ON");
  EXPECT_EQ(kiln::TargetToString({kiln::kTargetNone, false}), "None with multi-thread : OFF");
  EXPECT_EQ(kiln::TargetToString({kiln::kTargetNeon, true}), "Neon");
  EXPECT_EQ(kiln::TargetToString({kiln::kTargetOpencl, true}), "Opencl(profiling:1)");
  EXPECT_EQ(kiln::TargetToString({kiln::kTargetOpencl, false}), "Opencl(profiling:0)");
  EXPECT_EQ(kiln::TargetToString({kiln::kTargetHvx, true}), "Hvx(profiling:1)");
  EXPECT_EQ(kiln::TargetToString({kiln::kTargetVdsp, false}), "Vdsp(profiling:0)");
  EXPECT_EQ(kiln::TargetToString({77, true}), "Invalid");
}

TEST(TargetText, FlagCountsOnlyForNoneOpenclHvxAndVdsp) {
  EXPECT_TRUE(kiln::TargetInfo(kiln::kTargetNone, true).flag);
  EXPECT_TRUE(kiln::TargetInfo(kiln::kTargetVdsp, true).flag);
  EXPECT_FALSE(kiln::TargetInfo(kiln::kTargetNeon, true).flag);
  EXPECT_FALSE(kiln::TargetInfo(kiln::kTargetInvalid, true).flag);
  kiln::TargetInfo neon_with_flag;
  neon_with_flag.type = kiln::kTargetNeon;
  neon_with_flag.flag = true;  // set behind the constructor's back
  EXPECT_TRUE(neon_with_flag.SameAs(kiln::TargetInfo(kiln::kTargetNeon, false)));
  EXPECT_FALSE(kiln::TargetInfo(kiln::kTargetNone, true).SameAs(kiln::TargetInfo(kiln::kTargetNone, false)));
}

}  // namespace
