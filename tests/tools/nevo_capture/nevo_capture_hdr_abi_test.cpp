// HDR captures through the exported functions, as a camera HAL drives them,
// with the libqx_hdr_raw.so and libvorlan_bokeh_depth.so stand-ins: the
// merge against ground truth, the anchor, the status text, and the faults
// after which the HAL must still get a picture.
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "hostsim/vendor/libqx_hdr_raw/qx_hdr_raw_stub.h"
#include "hostsim/vendor/libvorlan_bokeh_depth/vorlan_bokeh_depth_stub.h"
#include "tests/tools/nevo_capture/hal_capture_fixture.h"
#include "vorlan_bokeh_depth.h"

namespace {

using ::testing::HasSubstr;

using nevo_capture::SensorLevels;

// PSNR of a RAW image against the noise-free one over the sensor's range, on
// the samples whose index `where` accepts.
template <typename Where>
double Psnr(const std::vector<uint16_t>& image, const std::vector<uint16_t>& truth, const SensorLevels& levels,
            Where where) {
  double sse = 0.0;
  size_t n = 0;
  for (size_t i = 0; i < truth.size(); ++i) {
    if (!where(i)) continue;
    const double d = static_cast<double>(image[i]) - truth[i];
    sse += d * d;
    ++n;
  }
  const double range = levels.white - levels.black;
  return n == 0 ? 0.0 : 10.0 * std::log10(range * range / (sse / static_cast<double>(n)));
}

template <typename Fn>
Fn Control(const char* library, const char* symbol) {
  // The test program links libnevo.so from the stand-ins' folder, so its run
  // path finds them; the module's own dlopen then gets this same instance.
  void* handle = dlopen(library, RTLD_NOW);
  return handle == nullptr ? nullptr : reinterpret_cast<Fn>(dlsym(handle, symbol));
}

class HdrCaptureTest : public HalCaptureFixture {
 protected:
  void SetUp() override {
    HalCaptureFixture::SetUp();
    hdr_ = Control<QxHdrStubControlFn>("libqx_hdr_raw.so", kQxHdrStubControl);
    depth_ = Control<VorlanBokehDepthStubControlFn>("libvorlan_bokeh_depth.so", kVorlanBokehDepthStubControl);
    ASSERT_NE(hdr_, nullptr);
    ASSERT_NE(depth_, nullptr);
    hdr_("reset", nullptr, 0, nullptr);
    depth_("reset", nullptr, 0);
  }

  QxHdrStubControlFn hdr_ = nullptr;
  VorlanBokehDepthStubControlFn depth_ = nullptr;
};

TEST_F(HdrCaptureTest, Capture_BeatsTheEv0FrameOnGroundTruthAndReportsItsAnchor) {
  const HalCaptureRun c = Take(R"(,"error_protect":1,"black_protect":1)");
  ASSERT_EQ(c.result.status, 0) << c.result.failed_call;
  EXPECT_EQ(c.result.anchor_calls, 1);
  EXPECT_EQ(c.result.anchor_reported, 1) << "the EV0 frame of [-2, 0, 2]";
  EXPECT_THAT(c.result.exif, HasSubstr("AlgoBranch=nevo_hdr,"));
  EXPECT_THAT(c.result.exif, HasSubstr("ProcessRet=0,"));
  EXPECT_THAT(c.result.exif, HasSubstr("},qx_hdr_raw frames=3 anchor=1"));

  // Ground truth: the noise-free EV0 mosaic. Over the whole frame the gain
  // is small (bright areas clip at EV+2 and merge two frames only); in the
  // shadows, whose whole 3x3 mosaic neighbourhood stays below clipping at
  // EV+2, all three frames count.
  const std::vector<uint16_t> truth = nevo_capture::RenderCleanRaw(burst_.params, burst_.anchor);
  ASSERT_EQ(c.output.size(), truth.size());
  const SensorLevels& levels = burst_.levels;
  const std::vector<uint16_t>& ev0 = burst_.frames[burst_.anchor].raw;
  const int w = burst_.params.width, h = burst_.params.height;
  const auto all = [](size_t) { return true; };
  const auto shadow = [&](size_t i) {
    const int x = static_cast<int>(i % w), y = static_cast<int>(i / w);
    if (x == 0 || y == 0 || x == w - 1 || y == h - 1) return false;
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        if (truth[(y + dy) * w + x + dx] >= levels.black + (levels.white - levels.black) / 8) return false;
      }
    }
    return true;
  };
  const double ev0_db = Psnr(ev0, truth, levels, all), hdr_db = Psnr(c.output, truth, levels, all);
  const double ev0_shadow_db = Psnr(ev0, truth, levels, shadow);
  const double hdr_shadow_db = Psnr(c.output, truth, levels, shadow);
  std::printf("PSNR against the noise-free EV0 mosaic: whole frame EV0 %.2f dB, HDR %.2f dB; "
              "shadows EV0 %.2f dB, HDR %.2f dB\n", ev0_db, hdr_db, ev0_shadow_db, hdr_shadow_db);
  EXPECT_GT(hdr_db, ev0_db + 0.3);
  EXPECT_GT(hdr_shadow_db, ev0_shadow_db + 6.0);
}

TEST_F(HdrCaptureTest, ProcessFailure_LeavesNoPictureAndGetsTheCorrectedEv0Frame) {
  const std::vector<uint16_t> fallback = Ev0Fallback();
  ASSERT_NE(std::count(fallback.begin(), fallback.end(), 0), static_cast<long>(fallback.size()));
  hdr_("fail", "ZRV_HDR_RAW_Process", 1005977, nullptr);
  const HalCaptureRun c = Take(R"(,"error_protect":1)");
  EXPECT_EQ(c.result.status, 1005977);
  EXPECT_EQ(c.result.failed_call, "NevoRun");
  EXPECT_THAT(c.result.exif, HasSubstr("ProcessRet=1005977,"));
  EXPECT_EQ(c.output, fallback) << "the black output was replaced by the EV0 correction";
  EXPECT_GE(LogIndex({"black image detected, try fix"}), 0);
}

TEST_F(HdrCaptureTest, BlackOutputWithAnErrorIsCorrectedButWithoutProtectionIsReturnedAsIs) {
  const std::vector<uint16_t> fallback = Ev0Fallback();
  hdr_("black", nullptr, 1, nullptr);
  hdr_("fail", "ZRV_HDR_RAW_Process", 1005977, nullptr);
  EXPECT_EQ(Take(R"(,"black_protect":1)").output, fallback);
  const HalCaptureRun unprotected = Take("");
  EXPECT_EQ(unprotected.result.status, 1005977);
  EXPECT_EQ(std::count(unprotected.output.begin(), unprotected.output.end(), 0),
            static_cast<long>(unprotected.output.size()));
}

TEST_F(HdrCaptureTest, PreProcessFailure_BecomesTheBypassCodeAndTheCaptureStillEndsInEv0) {
  const std::vector<uint16_t> fallback = Ev0Fallback();
  hdr_("fail", "ZRV_HDR_RAW_PreProcess", 1005901, nullptr);
  const HalCaptureRun c = Take(R"(,"error_protect":1)");
  EXPECT_EQ(c.result.status, NEVO_ERR_BYPASSED);
  EXPECT_EQ(c.result.failed_call, "NevoAddFrame[0]");
  EXPECT_EQ(hdr_("calls", "ZRV_HDR_RAW_PreProcess", 0, nullptr), 1) << "no library call once bypassed";
  EXPECT_EQ(hdr_("calls", "ZRV_HDR_RAW_Process", 0, nullptr), 0);
  EXPECT_EQ(c.result.anchor_calls, 1) << "the module reports the EV0 frame itself";
  EXPECT_EQ(c.output, fallback);
  EXPECT_THAT(c.result.exif, HasSubstr("Bypass=-1,"));
}

TEST_F(HdrCaptureTest, HangingLibrary_IsCancelledAtTheTimeoutAndTheCaptureEnds) {
  const std::vector<uint16_t> fallback = Ev0Fallback();
  timeout_ms_ = 6000;
  hdr_("delay", "ZRV_HDR_RAW_Process", 600000, nullptr);
  const HalCaptureRun c = Take(R"(,"error_protect":1)");
  EXPECT_LT(c.seconds, 300.0) << "ten minutes of delay were cut short";
  EXPECT_GE(hdr_("calls", "ZRV_HDR_RAW_Terminate", 0, nullptr), 1);
  EXPECT_GE(LogIndex({"running overtime"}), 0);
  EXPECT_EQ(c.result.status, 1005905) << "the stand-in's cancelled code";
  EXPECT_EQ(c.output, fallback);
}

TEST_F(HdrCaptureTest, BokehCapture_WithConditionHandshakeRunsDepthAfterTheMerge) {
  constexpr uint32_t kW = 64, kH = 48;
  std::vector<uint8_t> mask(kW * kH, 7);
  VorlanBokehDepthAllParam block{};
  block.pre_launch = {kW, kH};
  block.launch = {500, 0};
  block.proc = {mask.data(), kW, 0};
  NevoDepthParam depth{};
  depth.param = &block;
  depth.length = sizeof(block);
  const HalCaptureRun c = Take(R"(,"sync_mode":3)", "", &depth);
  ASSERT_EQ(c.result.status, 0) << c.result.failed_call;
  EXPECT_EQ(depth_("calls", "VorlanBokehDepthProcess", 0), 1);
  EXPECT_EQ(depth_("calls", "VorlanBokehDepthPrelaunchDestory", 0), 1);
  EXPECT_EQ(mask[(kH / 2) * kW + kW / 2], 255);
  EXPECT_EQ(mask[0], 0);
  const int merged = LogIndex({"[ZRV_HDR_RAW_Process:", "] E ["});
  const int notified = LogIndex({"receive notify for depth"});
  ASSERT_GE(merged, 0);
  EXPECT_GT(notified, merged) << "sync_mode 3 starts depth after the HDR run task";
}

}  // namespace
