#include "algo/nevo_algo_hdr/nevo_hdr_wrapper.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <future>
#include <memory>
#include <vector>

#include "algo/nevo_algo_hdsr/nevo_hdsr_wrapper.h"
#include "qx_hdr_raw.h"
#include "tests/algo/nevo_algo_hdr/hdr_test_scene.h"
#include "tests/nevo_algo_wrapper/test_context.h"

namespace {

struct AnchorSink {
  int calls = 0;
  int last = -1;
  static int Callback(int* index, void* user) {
    auto* sink = static_cast<AnchorSink*>(user);
    sink->last = *index;
    ++sink->calls;
    return 0;
  }
};

NevoAlgoConfig HdrConfig() {
  NevoAlgoConfig c{};
  c.enable = 1;
  c.enable_anchor = 1;
  c.bypass_func = 3;  // no fallback routine: these tests watch the library
  c.output_format = NEVO_FORMAT_RAW;
  c.sync_mode = 2;
  c.timeout = 60000;
  return c;
}

class HdrWrapperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx_ = MakeTestContext();
    control_ = HdrStubControl();
    ASSERT_NE(control_, nullptr) << "libqx_hdr_raw.so stand-in not found";
    control_("reset", nullptr, 0, nullptr);
    bracket_ = MakeBracket({-2, 0, 2}, 7);
    init_.ae.ev_num = 3;
    init_.ae.ev_value[0] = -2;
    init_.ae.ev_value[1] = 0;
    init_.ae.ev_value[2] = 2;
    start_.frame_num = 3;
    start_.width = kSceneW;
    start_.height = kSceneH;
    start_.stride = kSceneW * 2;
    start_.bit_width = 10;
    start_.sensor_type = NEVO_SENSOR_W;
    out_pixels_.assign(kSceneW * kSceneH * 3, 0);
    output_.img_num = 1;
    output_.img[0].format = NEVO_FORMAT_RAW;
    output_.img[0].elem_type = NEVO_ELEM_U16;
    output_.img[0].width = kSceneW;
    output_.img[0].height = kSceneH;
    output_.img[0].plane[0] = out_pixels_.data();
    output_.img[0].pitch[0] = kSceneW * 2;
  }

  template <typename W>
  std::unique_ptr<W> Feed(const NevoAlgoConfig& config, uint32_t type) {
    auto w = std::make_unique<W>(ctx_.get(), config, type);
    EXPECT_EQ(w->Init(init_), 0);
    EXPECT_EQ(w->Start(start_, &AnchorSink::Callback, &sink_), 0);
    for (int i = 0; i < 3; ++i) {
      frames_[i] = BracketFrame(bracket_, i);
      EXPECT_EQ(w->AddFrame(frames_[i], &output_), 0);
    }
    return w;
  }

  std::shared_ptr<kiln::Context> ctx_;
  QxHdrStubControlFn control_ = nullptr;
  HdrBracket bracket_;
  NevoFrame frames_[3];
  NevoInitParam init_{};
  NevoStartParam start_{};
  NevoOutput output_{};
  std::vector<uint16_t> out_pixels_;
  AnchorSink sink_;
};

TEST_F(HdrWrapperTest, Capture_MergesTheBracketReportsEv0AndImprovesShadowSnr) {
  auto w = Feed<HdrWrapper>(HdrConfig(), NEVO_HDR);
  ASSERT_EQ(w->Run(), 0);
  EXPECT_EQ(sink_.calls, 1);
  EXPECT_EQ(sink_.last, 1);  // ev list -2, 0, 2
  EXPECT_EQ(w->anchor(), 1);
  EXPECT_NE(std::string(w->algo_exif()).find("qx_hdr_raw frames=3"), std::string::npos);
  EXPECT_FLOAT_EQ(output_.nr_gain_thresh, 2.0f);

  double ev0_mean = 0, ev0_sd = 0, out_mean = 0, out_sd = 0;
  const int r1 = kSceneH / 2 - 1;  // away from the bright rows' 3x3 reach
  Stats(bracket_.raw[1].data(), kSceneW, 0, r1, 0, kSceneW, &ev0_mean, &ev0_sd);
  Stats(out_pixels_.data(), kSceneW, 0, r1, 0, kSceneW, &out_mean, &out_sd);
  const double truth = kBlack + kDark * (kWhite - kBlack);
  EXPECT_NEAR(out_mean, truth, 1.0);
  const double gain_db = 20.0 * std::log10((out_mean - kBlack) / out_sd / ((ev0_mean - kBlack) / ev0_sd));
  EXPECT_GE(gain_db, 6.0) << "shadow SNR gain over EV0";
  // The bright patch clips at EV +2 and comes from the other two frames.
  Stats(out_pixels_.data(), kSceneW, kSceneH / 2 + 2, kSceneH, kSceneW / 2 + 2, kSceneW, &out_mean, &out_sd);
  EXPECT_NEAR(out_mean, kBlack + 0.6 * (kWhite - kBlack), 0.02 * (kWhite - kBlack));
  w->Unit();
}

TEST_F(HdrWrapperTest, Capture_WritesWhiteBalancedRgbWhenTheOutputAsksForIt) {
  output_.img[0].format = NEVO_FORMAT_RGB;
  output_.img[0].pitch[0] = kSceneW * 6;
  auto config = HdrConfig();
  config.output_format = NEVO_FORMAT_RGB;
  auto w = Feed<HdsrWrapper>(config, NEVO_HDSR);
  ASSERT_EQ(w->Run(), 0);
  // Mid-grey patch: red carries the red gain (2.0), blue 1.7, green 1.
  const int r = kSceneH * 3 / 4, c = kSceneW / 4;
  const uint16_t* px = &out_pixels_[(r * kSceneW + c) * 3];
  const double grey = 0.3 * kWhite;
  EXPECT_NEAR(px[1], grey, 0.05 * grey);
  EXPECT_NEAR(px[0], 2.0 * grey, 0.1 * grey);
  EXPECT_NEAR(px[2], 1.7 * grey, 0.1 * grey);
  w->Unit();
}

TEST_F(HdrWrapperTest, AddFrame_MapsTheRecordsTheLibraryReceives) {
  start_.sensor_type = NEVO_SENSOR_FW;  // unsupported: falls back to wide
  start_.sensor_mode = 1;
  start_.direction = 270;
  start_.face_info.face_num = 35;
  start_.face_info.face_rect[19] = {1, 2, 3, 4};
  start_.y_hist_info.buckets = 4;
  start_.y_hist_info.hist[3] = 99;
  start_.xdr_light_index = 2;
  init_.ae.meta.is_black_sub = 1;
  start_.black_sub_ratio = 0.25f;
  auto config = HdrConfig();
  config.camera_mode = 6;
  auto w = std::make_unique<HdrWrapper>(ctx_.get(), config, NEVO_HDR);
  ASSERT_EQ(w->Init(init_), 0);
  ASSERT_EQ(w->Start(start_, &AnchorSink::Callback, &sink_), 0);
  frames_[0] = BracketFrame(bracket_, 0);
  frames_[0].img.pattern = NEVO_PATTERN_BGGR;  // both the RAW type and the gains follow it
  frames_[0].burst_info.lux_index = 321;
  ASSERT_EQ(w->AddFrame(frames_[0], &output_), 0);

  HDR_FRAME_INFO info;
  ASSERT_EQ(control_("frame_info", nullptr, 0, &info), 0);
  EXPECT_EQ(info.sensor_code, ZRV_HDR_SENSOR_WIDE);
  EXPECT_EQ(info.capture_mode, 5);
  EXPECT_EQ(info.sensor_mode_flag, 5);
  EXPECT_EQ(info.raw_type, ZRV_HDR_RAW_BGGR);
  EXPECT_EQ(info.rotation, 3);
  EXPECT_FLOAT_EQ(info.r_gain, 1.7f);  // index 3 for BGGR
  EXPECT_FLOAT_EQ(info.b_gain, 2.0f);  // index 0
  EXPECT_FLOAT_EQ(info.lux_index, 321.0f);
  EXPECT_NEAR(info.exposure_s, 0.0025f, 1e-6f);
  EXPECT_EQ(info.ev_value, -2);
  EXPECT_EQ(info.face_num, 20);
  EXPECT_EQ(info.face_rect[19].bottom, 4);
  EXPECT_EQ(info.hist_buckets, 4u);
  EXPECT_EQ(info.hist[3], 99u);
  EXPECT_EQ(info.brighten_mode, 2);
  EXPECT_FLOAT_EQ(info.brighten_ratio, 0.25f);
  EXPECT_EQ(info.xdr_flag, 1);
  EXPECT_EQ(info.bit_width, 10);
  EXPECT_FLOAT_EQ(info.black_level[2], kBlack);
  w->Unit();
}

TEST_F(HdrWrapperTest, Run_OutputDescriptorCarriesUltraRawAndXdrImagesOnlyWhenAsked) {
  std::vector<uint16_t> extra(kSceneW * kSceneH);
  output_.img_num = 3;
  output_.img[1] = output_.img[0];
  output_.img[1].plane[0] = extra.data();
  output_.img[2] = output_.img[1];
  auto config = HdrConfig();
  config.camera_mode = 2;
  start_.xdr_light_index = 3;
  auto w = Feed<HdrWrapper>(config, NEVO_HDR);
  ASSERT_EQ(w->Run(), 0);
  HDR_RAW_OUTPUTINFO seen;
  ASSERT_EQ(control_("output", nullptr, 0, &seen), 0);
  EXPECT_EQ(seen.img_num, 3);
  EXPECT_EQ(seen.img[0].plane[0], out_pixels_.data());
  EXPECT_EQ(seen.img[1].plane[0], nullptr);
  EXPECT_EQ(seen.img[2].plane[0], extra.data());
  w->Unit();
}

TEST_F(HdrWrapperTest, Terminate_EndsADelayedRunPromptly) {
  control_("delay", "ZRV_HDR_RAW_Process", 30000, nullptr);
  auto w = Feed<HdrWrapper>(HdrConfig(), NEVO_HDR);
  const auto begin = std::chrono::steady_clock::now();
  auto run = std::async(std::launch::async, [&] { return w->Run(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(w->Terminate(), 0);
  ASSERT_EQ(run.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_NE(run.get(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(20));
  EXPECT_EQ(control_("calls", "ZRV_HDR_RAW_Terminate", 0, nullptr), 1);
  w->Unit();
}

TEST_F(HdrWrapperTest, Failures_ComeBackAsTheLibraryCodesAndSelectAnchorIsRefused) {
  control_("fail", "ZRV_HDR_RAW_PreProcess", 321, nullptr);
  auto w = std::make_unique<HdrWrapper>(ctx_.get(), HdrConfig(), NEVO_HDR);
  ASSERT_EQ(w->Init(init_), 0);
  ASSERT_EQ(w->Start(start_, &AnchorSink::Callback, &sink_), 0);
  frames_[0] = BracketFrame(bracket_, 0);
  EXPECT_NE(w->AddFrame(frames_[0], &output_), 0);
  w->Unit();

  control_("reset", nullptr, 0, nullptr);
  control_("null_handle", nullptr, 1, nullptr);
  auto h = std::make_unique<HdrWrapper>(ctx_.get(), HdrConfig(), NEVO_HDR);
  EXPECT_EQ(h->Init(init_), 0);  // a null handle is caught by Start
  EXPECT_EQ(h->Start(start_, &AnchorSink::Callback, &sink_), NEVO_ERR_FAILED);
  h->Unit();
}

}  // namespace
