// The correction's parameters taken from the capture records: which record
// field feeds which parameter, the lens-shading grid order and quad-bin.
#include <gtest/gtest.h>

#include <memory>

#include "algo/nevo_algo_correct_image/nevo_correct_image_impl.h"

namespace {

class CorrectImageParamTest : public ::testing::Test {
 protected:
  CorrectImageParamTest() : anchor_(std::make_unique<NevoFrame>()) {
    NevoBurstInfo& burst = anchor_->burst_info;
    for (int c = 0; c < 4; ++c) {
      burst.bright_level[c] = 1000 + c;
      burst.black_level[c] = 60 + c;
      burst.wb_gain[c] = 1.0f + 0.25f * static_cast<float>(c);
    }
    burst.isp_gain = 1.5f;
    burst.adrc_gain = 2.5f;
    burst.sensor_gain = 9.0f;  // not a digital gain of the correction
    // Each grid holds its own value, marked by row and column too.
    for (int r = 0; r < NEVO_LSC_ROWS; ++r) {
      for (int k = 0; k < NEVO_LSC_COLS; ++k) {
        const float at = static_cast<float>(r * 100 + k);
        anchor_->lsc.gr[r][k] = 10000.0f + at;
        anchor_->lsc.r[r][k] = 20000.0f + at;
        anchor_->lsc.b[r][k] = 30000.0f + at;
        anchor_->lsc.gb[r][k] = 40000.0f + at;
      }
    }
    anchor_->zoom_info.fov = {11, 22, 333, 444};
    output_.img[0].width = 640;
    output_.img[0].height = 480;
    start_.width = 4000;
    start_.height = 3000;
    start_.raw_type = NEVO_PATTERN_BGGR;
    init_.ae.meta.ev_offset = -0.5f;
  }

  std::unique_ptr<NevoFrame> anchor_;
  NevoOutput output_{};
  NevoStartParam start_{};
  NevoInitParam init_{};
};

TEST_F(CorrectImageParamTest, Fields_ComeFromTheirRecords) {
  const CorrectImageParam p = MakeCorrectImageParam(*anchor_, output_, start_, init_);
  EXPECT_EQ(p.in_width, 4000);
  EXPECT_EQ(p.in_height, 3000);
  EXPECT_EQ(p.out_width, 640);
  EXPECT_EQ(p.out_height, 480);
  EXPECT_EQ(p.isp_gain, 1.5f);
  EXPECT_EQ(p.adrc_gain, 2.5f);
  EXPECT_EQ(p.ev_offset, -0.5f);
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(p.white_level[c], 1000 + c);
    EXPECT_EQ(p.black_level[c], 60 + c);
    EXPECT_EQ(p.wb_gain[c], 1.0f + 0.25f * static_cast<float>(c));
  }
  EXPECT_EQ(p.raw_type, NEVO_PATTERN_BGGR);
  EXPECT_EQ(p.roi[0], 11);
  EXPECT_EQ(p.roi[1], 22);
  EXPECT_EQ(p.roi[2], 333);
  EXPECT_EQ(p.roi[3], 444);
}

TEST_F(CorrectImageParamTest, ShadingGrids_GoByCellPositionGrRBGb) {
  const CorrectImageParam p = MakeCorrectImageParam(*anchor_, output_, start_, init_);
  const float base[4] = {10000.0f, 20000.0f, 30000.0f, 40000.0f};  // gr, r, b, gb
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(p.lsc[c][0][0], base[c]) << "cell " << c;
    EXPECT_EQ(p.lsc[c][12][16], base[c] + 1216.0f) << "cell " << c;
    EXPECT_EQ(p.lsc[c][7][3], base[c] + 703.0f) << "cell " << c;
  }
}

TEST_F(CorrectImageParamTest, QuadBin_OnlyForSensorModesFourAndFifteen) {
  for (int mode = 0; mode < 20; ++mode) {
    start_.sensor_mode = mode;
    const CorrectImageParam p = MakeCorrectImageParam(*anchor_, output_, start_, init_);
    EXPECT_EQ(p.quad_bin, mode == 4 || mode == 15 ? 1 : 0) << "sensor_mode " << mode;
  }
}

}  // namespace
