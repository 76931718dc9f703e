// The operator framework through a test operator: target selection,
// implementation reuse, the OpCall sequence and its records, ToString.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "kiln/runtime/context/context.h"
#include "probe_op.h"

namespace {

const kiln::TargetInfo kNeon(kiln::kTargetNeon, false);
const kiln::TargetInfo kNonePool(kiln::kTargetNone, true);
const kiln::TargetInfo kNoneSingle(kiln::kTargetNone, false);

class OpCallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    probe::Count() = probe::Counters();
    kiln::ContextConfig config;
    config.log_mode = kiln::kLogModeNone;
    config.wp_name = "OPS";
    ctx_.reset(new kiln::Context(config));
    ASSERT_EQ(ctx_->Initialize(), 0);
  }

  kiln::Mat Image(int width, uint8_t seed = 0) {
    kiln::Mat m(ctx_.get(), kiln::QX_U8, {4, width, 1}, kiln::KILN_MEM_HEAP);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < width; ++x) m.GetRowData(y)[x] = static_cast<uint8_t>(seed + y * width + x);
    }
    return m;
  }

  // The messages of the error history, oldest first.
  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    std::istringstream in(ctx_->GetLogger()->GetErrorBacktrace());
    std::string line;
    std::getline(in, line);  // heading
    while (std::getline(in, line)) out.push_back(line.substr(line.find("] : ") + 4));
    return out;
  }

  std::unique_ptr<kiln::Context> ctx_;
};

TEST_F(OpCallTest, NeonRequest_On47PixelsRunsNoneWithoutThePool) {
  kiln::Mat src = Image(47, 1);
  kiln::Mat dst = Image(47);
  ASSERT_EQ(probe::IProbe(ctx_.get(), &src, &dst, probe::kCopy, kNeon), 0);
  EXPECT_EQ(probe::Count().last_run, "None:OFF");
  EXPECT_EQ(probe::Count().neon_made, 0);
  EXPECT_EQ(std::memcmp(dst.GetData(), src.GetData(), 4 * 47), 0);
}

TEST_F(OpCallTest, NeonRequest_On48PixelsRunsNeon) {
  kiln::Mat src = Image(48, 2);
  kiln::Mat dst = Image(48);
  ASSERT_EQ(probe::IProbe(ctx_.get(), &src, &dst, probe::kCopy, kNeon), 0);
  EXPECT_EQ(probe::Count().last_run, "Neon");
  EXPECT_EQ(probe::Count().none_made, 0);
  EXPECT_EQ(std::memcmp(dst.GetData(), src.GetData(), 4 * 48), 0);
}

TEST_F(OpCallTest, NeonRequest_FallsBackWhenOnlyTheDestinationIsNarrow) {
  kiln::Mat src = Image(200);
  kiln::Mat dst = Image(40);
  probe::Probe op(ctx_.get(), kNeon);
  ASSERT_EQ(op.SetArgs(&src, &dst, probe::kCopy), 0);
  ASSERT_TRUE(op.HasImpl());
  EXPECT_EQ(op.GetImpl()->GetTarget().type, kiln::kTargetNone);
  EXPECT_FALSE(op.GetImpl()->GetTarget().flag);
  EXPECT_EQ(op.GetTarget().type, kiln::kTargetNeon) << "the request itself is kept";
}

TEST_F(OpCallTest, NoneRequest_KeepsItsPoolFlag) {
  kiln::Mat src = Image(10, 3);
  kiln::Mat dst = Image(10);
  EXPECT_EQ(probe::IProbe(ctx_.get(), &src, &dst, probe::kCopy, kNonePool), 0);
  EXPECT_EQ(probe::Count().last_run, "None:ON");
  EXPECT_EQ(probe::IProbe(ctx_.get(), &src, &dst, probe::kCopy, kNoneSingle), 0);
  EXPECT_EQ(probe::Count().last_run, "None:OFF");
}

TEST_F(OpCallTest, Implementation_IsReusedWhileTheResolvedTargetStaysTheSame) {
  kiln::Mat wide_src = Image(64);
  kiln::Mat wide_dst = Image(64);
  kiln::Mat narrow = Image(16);
  probe::Probe op(ctx_.get(), kNeon);
  ASSERT_EQ(kiln::OpCall(op, &wide_src, &wide_dst, probe::kCopy), 0);
  const std::shared_ptr<kiln::OpImpl> first = op.GetImpl();
  ASSERT_EQ(kiln::OpCall(op, &wide_src, &wide_dst, probe::kCopy), 0);
  EXPECT_EQ(op.GetImpl(), first) << "same target: same implementation";
  EXPECT_EQ(probe::Count().neon_made, 1);

  ASSERT_EQ(kiln::OpCall(op, &narrow, &narrow, probe::kCopy), 0);
  EXPECT_NE(op.GetImpl(), first) << "Neon resolved to None: replaced";
  EXPECT_EQ(probe::Count().none_made, 1);

  op.SetTarget(kNonePool);
  ASSERT_EQ(kiln::OpCall(op, &narrow, &narrow, probe::kCopy), 0);
  EXPECT_EQ(probe::Count().none_made, 2) << "None with another flag is another implementation";
  EXPECT_TRUE(op.GetImpl()->GetTarget().flag);
  ASSERT_EQ(kiln::OpCall(op, &wide_src, &wide_dst, probe::kCopy), 0);
  EXPECT_EQ(probe::Count().none_made, 2);
  EXPECT_EQ(probe::Count().runs, 5);
}

TEST_F(OpCallTest, TargetsWithoutImplementation_AreRejectedBeforeInitialize) {
  kiln::Mat m = Image(64);
  for (const kiln::TargetType type : {kiln::kTargetInvalid, kiln::kTargetOpencl, kiln::kTargetHvx, kiln::kTargetVdsp,
                                      kiln::TargetType{42}}) {
    ctx_->GetLogger()->ClearError();
    EXPECT_EQ(probe::IProbe(ctx_.get(), &m, &m, probe::kCopy, kiln::TargetInfo(type, true)), -1) << type;
    EXPECT_EQ(Messages(), (std::vector<std::string>{"probe_impl is null ptr", "SetArgs failed"})) << type;
  }
  EXPECT_EQ(probe::Count().inits, 0);
  EXPECT_EQ(probe::Count().deinits, 0);
}

TEST_F(OpCallTest, SetArgsFailures_StopBeforeInitialize) {
  kiln::Mat m = Image(64);
  EXPECT_EQ(probe::IProbe(ctx_.get(), nullptr, &m, probe::kCopy, kNeon), -1);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"src/dst is null ptr", "SetArgs failed"}));

  ctx_->GetLogger()->ClearError();
  EXPECT_EQ(probe::IProbe(ctx_.get(), &m, &m, probe::kRejectArgs, kNeon), -1);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"fail", "SetArgs failed"}));

  ctx_->GetLogger()->ClearError();
  EXPECT_EQ(probe::IProbe(ctx_.get(), &m, &m, probe::kOddArgs, kNeon), -3) << "other statuses pass through";
  EXPECT_EQ(Messages(), (std::vector<std::string>{"SetArgs failed"}));
  EXPECT_EQ(probe::Count().inits, 0);
}

TEST_F(OpCallTest, InitializeFailure_IsRecordedAndStillDeinitializes) {
  kiln::Mat m = Image(64);
  probe::Probe op(ctx_.get(), kNeon);
  EXPECT_EQ(kiln::OpCall(op, &m, &m, probe::kFailInit), -1);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Initialize failed"}));
  EXPECT_EQ(probe::Count().runs, 0);
  EXPECT_EQ(probe::Count().deinits, 1);
  EXPECT_FALSE(op.IsInitialized());
}

TEST_F(OpCallTest, RunFailure_IsRecordedAndDeinitializes) {
  kiln::Mat m = Image(64);
  probe::Probe op(ctx_.get(), kNeon);
  EXPECT_EQ(kiln::OpCall(op, &m, &m, probe::kFailRun), -1);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Run failed"}));
  EXPECT_EQ(probe::Count().inits, 1);
  EXPECT_EQ(probe::Count().deinits, 1);
  EXPECT_FALSE(op.IsInitialized());
}

TEST_F(OpCallTest, DeinitializeFailure_KeepsTheRunStatusAndTheInitializedFlag) {
  kiln::Mat src = Image(64, 9);
  kiln::Mat dst = Image(64);
  probe::Probe op(ctx_.get(), kNeon);
  EXPECT_EQ(kiln::OpCall(op, &src, &dst, probe::kFailDeinit), 0);
  EXPECT_TRUE(op.IsInitialized()) << "only a successful Deinitialize clears the flag";
  EXPECT_TRUE(Messages().empty());
}

TEST_F(OpCallTest, MissingContextOrLogger_FailsWithoutARecord) {
  kiln::Mat m = Image(64);
  EXPECT_EQ(probe::IProbe(nullptr, &m, &m, probe::kCopy, kNeon), -1);
  kiln::ContextConfig config;
  config.log_mode = kiln::kLogModeNone;
  kiln::Context uninitialised(config);
  EXPECT_EQ(probe::IProbe(&uninitialised, &m, &m, probe::kCopy, kNeon), -1);
  EXPECT_EQ(probe::Count().runs, 0);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(OpCallTest, OpWithoutImplementation_RefusesEveryStep) {
  probe::Probe op(ctx_.get(), kNeon);
  EXPECT_FALSE(op.HasImpl());
  EXPECT_EQ(op.Initialize(), -1);
  EXPECT_EQ(op.Run(), -1);
  EXPECT_EQ(op.Deinitialize(), -1);
  EXPECT_EQ(op.Dump("/tmp"), -1);
  EXPECT_EQ(op.ToString(), "");
}

TEST_F(OpCallTest, ToString_NamesOperatorTargetAndParameters) {
  kiln::Mat wide = Image(64);
  kiln::Mat narrow = Image(8);
  probe::Probe op(ctx_.get(), kNeon);
  ASSERT_EQ(op.SetArgs(&wide, &wide, probe::kFailRun), 0);
  EXPECT_EQ(op.ToString(), "op(Probe) target(Neon) param(m_type: 4)\n");
  ASSERT_EQ(op.SetArgs(&narrow, &narrow, probe::kCopy), 0);
  EXPECT_EQ(op.ToString(), "op(Probe) target(None with multi-thread : OFF) param(m_type: 0)\n");
  op.SetTarget(kNonePool);
  ASSERT_EQ(op.SetArgs(&narrow, &narrow, probe::kCopy), 0);
  EXPECT_EQ(op.ToString(), "op(Probe) target(None with multi-thread : ON) param(m_type: 0)\n");
}

}  // namespace
