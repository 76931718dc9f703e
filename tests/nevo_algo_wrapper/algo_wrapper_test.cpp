#include "nevo_algo_wrapper/algo_wrapper.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "nevo_algo_wrapper/test_context.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// An adapter whose results the test sets; it counts what the base calls.
class FakeWrapper : public AlgoWrapper {
 public:
  using AlgoWrapper::AlgoWrapper;
  int init_ret = 0, start_ret = 0, add_ret = 0, run_ret = 0, select_ret = 0;
  int run_anchor = -1;          // >= 0: the library reports this anchor
  int run_sleep_ms = 0;         // how long the run takes unless cancelled
  std::atomic<int> init_calls{0}, start_calls{0}, add_calls{0}, run_calls{0}, terminate_calls{0},
      unit_calls{0};
  std::atomic<bool> cancel{false};

  void SetVersion(const std::string& v) { version_ = v; }
  void SetExif(const char* text) { std::snprintf(algo_exif_, sizeof(algo_exif_), "%s", text); }

 protected:
  int AlgoInit(const NevoInitParam&) override {
    ++init_calls;
    cancel = false;
    return init_ret;
  }
  int AlgoUnit() override {
    ++unit_calls;
    return 0;
  }
  int AlgoStart(const NevoStartParam&, NevoGetAnchorFunc, void*) override {
    ++start_calls;
    return start_ret;
  }
  int AlgoAddFrame(const NevoFrame&, NevoOutput*) override {
    ++add_calls;
    return add_ret;
  }
  int AlgoRun() override {
    ++run_calls;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(run_sleep_ms);
    while (!cancel && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (run_anchor >= 0) SetAnchor(run_anchor);
    return run_ret;
  }
  int AlgoTerminate() override {
    ++terminate_calls;
    cancel = true;
    return 0;
  }
  int AlgoSelectAnchor(int* anchor) override {
    *anchor = 7;
    return select_ret;
  }
};

struct AnchorSink {
  std::atomic<int> calls{0};
  std::atomic<int> last{-1};
  static int Callback(int* index, void* user) {
    auto* sink = static_cast<AnchorSink*>(user);
    sink->last = *index;
    ++sink->calls;
    return 0;
  }
};

NevoAlgoConfig EnabledConfig() {
  NevoAlgoConfig c{};
  c.enable = 1;
  c.enable_anchor = 1;
  c.bypass = 0;
  c.bypass_func = 3;  // no fallback routine: these tests watch the state machine
  c.input_format = 0;
  c.output_format = 1;
  c.sync_mode = 2;
  c.timeout = 1061109567;
  return c;
}

class AlgoWrapperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx_ = MakeTestContext();
    init_.ae.ev_num = 3;
    init_.ae.ev_value[0] = -2;
    init_.ae.ev_value[1] = 0;
    init_.ae.ev_value[2] = 2;
    start_.frame_num = 3;
    start_.width = 64;
    start_.height = 48;
    start_.sensor_type = 1;
    output_.img[0].format = 1;
  }
  std::unique_ptr<FakeWrapper> Make(const NevoAlgoConfig& c, uint32_t type = NEVO_HDR) {
    return std::make_unique<FakeWrapper>(ctx_.get(), c, type);
  }
  NevoFrame Frame(int ev) const {
    NevoFrame f{};
    f.ev_value = ev;
    f.img.format = 0;
    return f;
  }
  // Init, Start and every frame of the plan.
  void Feed(FakeWrapper& w) {
    ASSERT_EQ(w.Init(init_), 0);
    ASSERT_EQ(w.Start(start_, &AnchorSink::Callback, &sink_), 0);
    for (int i = 0; i < start_.frame_num; ++i) ASSERT_EQ(w.AddFrame(Frame(init_.ae.ev_value[i]), &output_), 0);
  }

  std::shared_ptr<kiln::Context> ctx_;
  NevoInitParam init_{};
  NevoStartParam start_{};
  NevoOutput output_{};
  AnchorSink sink_;
};

TEST_F(AlgoWrapperTest, OperationsBeforeInitOrAfterUnitAreRefused) {
  auto w = Make(EnabledConfig());
  int anchor = 0;
  EXPECT_EQ(w->Start(start_, &AnchorSink::Callback, &sink_), NEVO_ERR_NOT_INIT);
  EXPECT_EQ(w->AddFrame(Frame(0), &output_), NEVO_ERR_NOT_INIT);
  EXPECT_EQ(w->Run(), NEVO_ERR_NOT_INIT);
  EXPECT_EQ(w->SelectAnchor(&anchor), NEVO_ERR_NOT_INIT);
  EXPECT_EQ(w->Terminate(), 0);
  EXPECT_EQ(w->Unit(), 0);
  EXPECT_EQ(w->unit_calls, 0);
  EXPECT_THAT(TakeRecords(ctx_.get()), HasSubstr("invalid status"));

  ASSERT_EQ(w->Init(init_), 0);
  ASSERT_EQ(w->Unit(), 0);
  EXPECT_EQ(w->Start(start_, &AnchorSink::Callback, &sink_), NEVO_ERR_NOT_INIT);
  EXPECT_EQ(w->start_calls, 0);
}

TEST_F(AlgoWrapperTest, FullCaptureRunsTaskAndReportsLibraryAnchor) {
  auto w = Make(EnabledConfig());
  w->run_anchor = 2;
  Feed(*w);
  EXPECT_EQ(w->Run(), 0);
  EXPECT_EQ(w->run_calls, 1);
  EXPECT_EQ(sink_.calls, 1);
  EXPECT_EQ(sink_.last, 2);
  EXPECT_EQ(w->anchor(), 2);
  EXPECT_EQ(w->Unit(), 0);
  EXPECT_EQ(w->unit_calls, 1);
  EXPECT_EQ(w->terminate_calls, 1);  // Unit always cancels first
}

TEST_F(AlgoWrapperTest, WithoutLibraryAnchorTheFirstEv0IsReported) {
  auto w = Make(EnabledConfig());
  Feed(*w);
  EXPECT_EQ(w->Run(), 0);
  EXPECT_EQ(sink_.calls, 1);
  EXPECT_EQ(sink_.last, 1);  // ev list -2, 0, 2
  w->Unit();
}

TEST_F(AlgoWrapperTest, AssignedAnchorReplacesTheReportedOne) {
  auto w = Make(EnabledConfig());
  start_.assign_anchor.is_assign_anchor = true;
  start_.assign_anchor.anchor_order = 2;
  w->run_anchor = 0;
  Feed(*w);
  EXPECT_EQ(w->Run(), 0);
  EXPECT_EQ(sink_.last, 0);  // the HAL hears what the library said
  EXPECT_EQ(w->anchor(), 2);  // the wrapper keeps the assigned frame
  w->Unit();
}

TEST_F(AlgoWrapperTest, ExtraFrameIsRefusedButCounted) {
  auto w = Make(EnabledConfig());
  Feed(*w);
  EXPECT_EQ(w->AddFrame(Frame(0), &output_), NEVO_ERR_TOO_MANY_FRAMES);
  EXPECT_EQ(w->added_count(), 4);
  EXPECT_EQ(w->AddFrame(Frame(0), &output_), NEVO_ERR_TOO_MANY_FRAMES);
  EXPECT_EQ(w->added_count(), 5);
  EXPECT_THAT(TakeRecords(ctx_.get()), HasSubstr("frame count exceed"));
  w->Unit();
}

TEST_F(AlgoWrapperTest, StartRefusesMoreFramesThanSlots) {
  auto w = Make(EnabledConfig());
  ASSERT_EQ(w->Init(init_), 0);
  start_.frame_num = 17;
  EXPECT_EQ(w->Start(start_, &AnchorSink::Callback, &sink_), NEVO_ERR_FAILED);
  EXPECT_EQ(w->start_calls, 0);
  start_.frame_num = -1;
  EXPECT_EQ(w->Start(start_, &AnchorSink::Callback, &sink_), NEVO_ERR_FAILED);
  w->Unit();
}

TEST_F(AlgoWrapperTest, FormatMismatchesAndNullOutputAreRejected) {
  auto w = Make(EnabledConfig());
  // Each case is the first frame of a fresh capture.
  auto first_frame = [&](const NevoFrame& f, NevoOutput* out) {
    EXPECT_EQ(w->Init(init_), 0);
    EXPECT_EQ(w->Start(start_, &AnchorSink::Callback, &sink_), 0);
    const int ret = w->AddFrame(f, out);
    w->Unit();
    return ret;
  };
  NevoFrame rgb = Frame(0);
  rgb.img.format = 1;
  EXPECT_EQ(first_frame(rgb, &output_), NEVO_ERR_INPUT_FORMAT);
  EXPECT_THAT(TakeRecords(ctx_.get()), HasSubstr("input format mismatch!"));
  EXPECT_EQ(first_frame(Frame(0), nullptr), NEVO_ERR_NULL_OUTPUT);
  EXPECT_THAT(TakeRecords(ctx_.get()), HasSubstr("output is null"));
  NevoOutput raw_out{};
  raw_out.img[0].format = 0;
  EXPECT_EQ(first_frame(Frame(0), &raw_out), NEVO_ERR_OUTPUT_FORMAT);
  EXPECT_THAT(TakeRecords(ctx_.get()), HasSubstr("output format mismatch!"));
  EXPECT_EQ(w->add_calls, 0);
}

TEST_F(AlgoWrapperTest, BypassSkipsTheAlgorithmAndStillReportsAnchor) {
  NevoAlgoConfig c = EnabledConfig();
  c.bypass = 1;
  auto w = Make(c);
  Feed(*w);
  EXPECT_EQ(w->bypass_state(), 1);
  EXPECT_EQ(w->init_calls, 0);
  EXPECT_EQ(w->add_calls, 0);
  EXPECT_EQ(sink_.last, 1);  // reported at the last frame
  EXPECT_EQ(w->Run(), 0);    // bypass_func 3: no fallback routine
  EXPECT_EQ(w->run_calls, 0);
  EXPECT_EQ(w->Unit(), 0);
  EXPECT_EQ(w->unit_calls, 1);  // always called, also when bypassed
}

TEST_F(AlgoWrapperTest, NotEnabledBypassesWithMinusOne) {
  NevoAlgoConfig c = EnabledConfig();
  c.enable = 0;
  auto w = Make(c);
  EXPECT_EQ(w->Init(init_), 0);
  EXPECT_EQ(w->bypass_state(), -1);
  EXPECT_EQ(w->init_calls, 0);
  w->Unit();
}

TEST_F(AlgoWrapperTest, RecoverableAddFrameErrorWithProtectionTurnsIntoBypass) {
  NevoAlgoConfig c = EnabledConfig();
  c.error_protect = 1;
  auto w = Make(c);
  w->add_ret = 2002900;
  ASSERT_EQ(w->Init(init_), 0);
  ASSERT_EQ(w->Start(start_, &AnchorSink::Callback, &sink_), 0);
  EXPECT_EQ(w->AddFrame(Frame(-2), &output_), NEVO_ERR_BYPASSED);
  EXPECT_EQ(w->bypass_state(), -1);
  EXPECT_EQ(w->AddFrame(Frame(0), &output_), 0);
  EXPECT_EQ(w->AddFrame(Frame(2), &output_), 0);
  EXPECT_EQ(w->add_calls, 1);
  EXPECT_EQ(w->Run(), 0);
  EXPECT_EQ(w->run_calls, 0);
  w->Unit();
}

TEST_F(AlgoWrapperTest, UnrecoverableErrorsPassThroughUnchanged) {
  NevoAlgoConfig c = EnabledConfig();
  c.error_protect = 1;
  auto w = Make(c);
  w->add_ret = 2001001;
  ASSERT_EQ(w->Init(init_), 0);
  ASSERT_EQ(w->Start(start_, &AnchorSink::Callback, &sink_), 0);
  EXPECT_EQ(w->AddFrame(Frame(-2), &output_), 2001001);
  EXPECT_EQ(w->bypass_state(), 0);
  // Negative codes never count as recoverable.
  w->add_ret = -900;
  EXPECT_EQ(w->AddFrame(Frame(0), &output_), -900);
  w->Unit();
}

TEST_F(AlgoWrapperTest, InitFailureWithInitProtectBypasses) {
  NevoAlgoConfig c = EnabledConfig();
  c.init_protect = 1;
  auto w = Make(c);
  w->init_ret = 1002904;
  EXPECT_EQ(w->Init(init_), NEVO_ERR_BYPASSED);
  EXPECT_EQ(w->bypass_state(), -1);
  EXPECT_EQ(w->wrapper_status(), 0);
  EXPECT_THAT(TakeRecords(ctx_.get()), HasSubstr("AlgoInit fail, return=1002904"));
  w->Unit();
}

TEST_F(AlgoWrapperTest, RecoverableRunFailureWithProtectionBecomesBypassed) {
  NevoAlgoConfig c = EnabledConfig();
  c.error_protect = 1;
  auto w = Make(c);
  w->run_ret = 3000950;
  Feed(*w);
  EXPECT_EQ(w->Run(), NEVO_ERR_BYPASSED);
  EXPECT_EQ(w->bypass_state(), -1);
  w->Unit();
}

TEST_F(AlgoWrapperTest, RunFailureWithoutProtectionIsReturned) {
  auto w = Make(EnabledConfig());
  w->run_ret = 3000950;
  Feed(*w);
  EXPECT_EQ(w->Run(), 3000950);
  EXPECT_THAT(TakeRecords(ctx_.get()), HasSubstr("AlgoRun task fail, return=3000950"));
  w->Unit();
}

TEST_F(AlgoWrapperTest, SelectAnchorNeedsEnableAnchor) {
  NevoAlgoConfig c = EnabledConfig();
  c.enable_anchor = 0;
  auto w = Make(c);
  init_.is_anchor_select = 1;
  ASSERT_EQ(w->Init(init_), 0);
  int anchor = 5;
  EXPECT_EQ(w->SelectAnchor(&anchor), NEVO_ERR_FAILED);
  EXPECT_EQ(anchor, -1);
  w->Unit();

  auto w2 = Make(EnabledConfig());
  ASSERT_EQ(w2->Init(init_), 0);
  ASSERT_EQ(w2->Start(start_, &AnchorSink::Callback, &sink_), 0);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(w2->AddFrame(Frame(0), nullptr), 0);  // no output needed
  EXPECT_EQ(w2->run_calls, 0);  // anchor-select captures submit no run task
  EXPECT_EQ(w2->SelectAnchor(&anchor), 0);
  EXPECT_EQ(anchor, 7);
  w2->Unit();
}

TEST_F(AlgoWrapperTest, StatusTextIsWrittenIntoExifInfo) {
  auto w = Make(EnabledConfig());
  w->SetVersion("1.2.3");
  w->SetExif("lib=ok");
  start_.zoom_info.zoom_ratio = 2.0f;
  start_.zoom_info.fov = {1, 2, 3, 4};
  Feed(*w);
  ASSERT_EQ(w->Run(), 0);
  const std::string exif = output_.exif_info;
  EXPECT_EQ(exif.rfind("NEVO:{", 0), 0u) << exif;
  EXPECT_THAT(exif, HasSubstr("AlgoBranch=nevo_hdr"));
  EXPECT_THAT(exif, HasSubstr("AlgoVersion=1.2.3"));
  EXPECT_THAT(exif, HasSubstr("NevoVersion=v1.0_20250225094637"));
  EXPECT_THAT(exif, HasSubstr("EvList=[-2,0,2]"));
  EXPECT_THAT(exif, HasSubstr("ZoomRatio=2.0"));
  EXPECT_THAT(exif, HasSubstr("CropRegion={bottom=4,left=1,right=3,top=2}"));
  EXPECT_THAT(exif, HasSubstr("SensorType=w"));
  EXPECT_THAT(exif, Not(HasSubstr("\"")));
  EXPECT_EQ(exif.substr(exif.size() - 9), "},lib=ok\n");
  w->Unit();
}

TEST_F(AlgoWrapperTest, StatusTextEndsWithCommaWithoutAdapterText) {
  auto w = Make(EnabledConfig());
  Feed(*w);
  ASSERT_EQ(w->Run(), 0);
  const std::string exif = output_.exif_info;
  EXPECT_EQ(exif.substr(exif.size() - 3), "},\n");
  w->Unit();
}

TEST_F(AlgoWrapperTest, SlowRunIsCancelledAfterTheConfiguredTimeout) {
  NevoAlgoConfig c = EnabledConfig();
  c.timeout = 5300;  // 5000 ms first wait, then 300 ms more
  auto w = Make(c);
  w->run_sleep_ms = 60000;
  w->run_ret = 0;
  Feed(*w);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(w->Run(), 0);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(w->terminate_calls, 1);
  EXPECT_LT(waited, std::chrono::seconds(50));  // cancelled, not run to its end
  w->Unit();
}

TEST_F(AlgoWrapperTest, TerminateFromAnotherThreadCancelsTheRun) {
  auto w = Make(EnabledConfig());
  w->run_sleep_ms = 60000;
  Feed(*w);
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    w->Terminate();
  });
  EXPECT_EQ(w->Run(), 0);
  canceller.join();
  EXPECT_GE(w->terminate_calls, 1);
  w->Unit();
}

TEST_F(AlgoWrapperTest, RunWithoutAsyncThreadsFailsToSubmit) {
  auto ctx = MakeTestContext(0);
  FakeWrapper w(ctx.get(), EnabledConfig(), NEVO_HDR);
  ASSERT_EQ(w.Init(init_), 0);
  ASSERT_EQ(w.Start(start_, &AnchorSink::Callback, &sink_), 0);
  EXPECT_EQ(w.AddFrame(Frame(-2), &output_), 0);
  EXPECT_EQ(w.AddFrame(Frame(0), &output_), 0);
  EXPECT_EQ(w.AddFrame(Frame(2), &output_), NEVO_ERR_SUBMIT);
  EXPECT_THAT(TakeRecords(ctx.get()), HasSubstr("AlgoRun submit task failed"));
  EXPECT_EQ(w.Run(), NEVO_ERR_FAILED);  // no run task to wait for
  w.Unit();
}

TEST_F(AlgoWrapperTest, DepthHandshakeReleasesWaiterWhenRunEnds) {
  NevoAlgoConfig c = EnabledConfig();
  c.sync_mode = 3;
  auto w = Make(c);
  w->run_sleep_ms = 100;
  ASSERT_EQ(w->Init(init_), 0);
  ASSERT_EQ(w->Start(start_, &AnchorSink::Callback, &sink_), 0);
  std::atomic<bool> released{false};
  std::thread waiter([&] {
    EXPECT_EQ(w->WaitNotify(), 0);
    released = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(released);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(w->AddFrame(Frame(init_.ae.ev_value[i]), &output_), 0);
  waiter.join();
  EXPECT_TRUE(released);
  EXPECT_EQ(w->Run(), 0);
  w->Unit();
}

TEST_F(AlgoWrapperTest, WaitNotifyModes) {
  NevoAlgoConfig c = EnabledConfig();
  c.sync_mode = 2;
  EXPECT_EQ(Make(c)->WaitNotify(), 0);
  c.sync_mode = 7;
  EXPECT_EQ(Make(c)->WaitNotify(), NEVO_ERR_FAILED);
  c.sync_mode = 3;
  EXPECT_EQ(Make(c)->WaitNotify(), NEVO_ERR_FAILED);  // not initialised
}

TEST_F(AlgoWrapperTest, SetAnchorNeedsCallbackAndUserData) {
  auto w = Make(EnabledConfig());
  ASSERT_EQ(w->Init(init_), 0);
  ASSERT_EQ(w->Start(start_, &AnchorSink::Callback, nullptr), 0);
  EXPECT_EQ(w->SetAnchor(1), NEVO_ERR_FAILED);
  EXPECT_EQ(w->anchor(), 1);
  w->Unit();
}

TEST(EmptyWrapperTest, SelectAnchorReturnsTheCurrentAnchor) {
  auto ctx = MakeTestContext();
  NevoAlgoConfig c = EnabledConfig();
  EmptyWrapper w(ctx.get(), c, NEVO_HDR_F);
  NevoInitParam init{};
  init.ae.ev_num = 2;
  init.ae.ev_value[0] = -1;
  init.ae.ev_value[1] = 0;
  init.is_anchor_select = 1;
  ASSERT_EQ(w.Init(init), 0);
  int anchor = -5;
  EXPECT_EQ(w.SelectAnchor(&anchor), 0);
  EXPECT_EQ(anchor, 1);
  EXPECT_EQ(w.tag(), "NEVO_HDR_F");
  w.Unit();
}

}  // namespace
