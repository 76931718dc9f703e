// The synthetic burst: noise model, sensor levels, lens shading, EV bracket,
// white balance, hand shake and determinism.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "tools/nevo_capture/burst_synth.h"
#include "tools/nevo_capture/synthetic_scene.h"

namespace nevo_capture {
namespace {

BurstParams SmallParams() {
  BurstParams p;
  p.width = 320;
  p.height = 240;
  return p;
}

struct Moments {
  double mean = 0.0;
  double variance = 0.0;
  size_t count = 0;
};

Moments MomentsOf(const std::vector<double>& v) {
  Moments m;
  m.count = v.size();
  if (v.empty()) return m;
  m.mean = std::accumulate(v.begin(), v.end(), 0.0) / v.size();
  double sq = 0.0;
  for (double x : v) sq += (x - m.mean) * (x - m.mean);
  m.variance = sq / (v.size() - 1);
  return m;
}

// Samples of one Bayer colour inside a scene box.
template <typename T>
std::vector<double> SamplesIn(const std::vector<T>& image, const BurstParams& p, const SyntheticScene::Box& box,
                              int rgb_channel) {
  std::vector<double> out;
  for (int y = static_cast<int>(box.cy - box.half_h); y < static_cast<int>(box.cy + box.half_h); ++y) {
    for (int x = static_cast<int>(box.cx - box.half_w); x < static_cast<int>(box.cx + box.half_w); ++x) {
      if (RgbChannelOf(CfaAt(p.pattern, x, y)) == rgb_channel) out.push_back(image[static_cast<size_t>(y) * p.width + x]);
    }
  }
  return out;
}

// ---- noise model --------------------------------------------------------

TEST(NoiseModel, ForIso_ScalesShotNoiseLinearlyAndReadNoiseQuadratically) {
  for (double iso : {100.0, 800.0, 6400.0}) {
    const NoiseModel m = NoiseModel::ForIso(iso);
    EXPECT_DOUBLE_EQ(m.a, 1.807e-4 * iso / 100.0);
    EXPECT_DOUBLE_EQ(m.b, 3.19e-6 * (iso / 100.0) * (iso / 100.0));
    EXPECT_DOUBLE_EQ(m.Variance(0.5), m.a * 0.5 + m.b);
    EXPECT_DOUBLE_EQ(m.Variance(-0.1), m.b) << "negative signal has no shot noise";
  }
}

TEST(NoiseModel, AddNoise_FlatPatchVarianceMatchesModelWithinTenPercent) {
  SensorLevels levels;
  ASSERT_TRUE(LevelsForBits(14, &levels));
  const double range = levels.white - levels.black;
  int checked = 0;
  for (double iso : {100.0, 800.0, 3200.0}) {
    for (double x : {0.02, 0.2, 0.6}) {
      const NoiseModel model = NoiseModel::ForIso(iso);
      // Only where the sensor's clipping (at code 0 and at white) leaves the
      // distribution whole, 4 sigma either side.
      const double sigma = std::sqrt(model.Variance(x));
      if (x - 4.0 * sigma < -levels.black / range || x + 4.0 * sigma > 1.0) continue;
      ++checked;
      const std::vector<float> clean(200000, static_cast<float>(x));
      const std::vector<uint16_t> raw = AddNoiseAndQuantize(clean, model, levels, 42, 7);
      std::vector<double> signal(raw.size());
      for (size_t i = 0; i < raw.size(); ++i) signal[i] = (raw[i] - levels.black) / range;
      const Moments m = MomentsOf(signal);
      // Rounding to integer codes adds 1/12 DN^2.
      const double expected = model.Variance(x) + 1.0 / (12.0 * range * range);
      EXPECT_NEAR(m.variance, expected, 0.1 * expected) << "ISO " << iso << " x " << x;
      EXPECT_NEAR(m.mean, x, 4.0 * std::sqrt(expected / m.count) + 0.5 / range) << "ISO " << iso << " x " << x;
    }
  }
  EXPECT_GE(checked, 6);
}

TEST(NoiseModel, Burst_ResidualAgainstGroundTruthHasModelVarianceEverywhere) {
  BurstParams p = SmallParams();
  p.iso = 1600.0;
  Burst burst;
  std::string error;
  ASSERT_TRUE(SynthesizeBurst(p, &burst, &error)) << error;
  const double range = burst.levels.white - burst.levels.black;
  for (size_t f = 0; f < burst.frames.size(); ++f) {
    const std::vector<float> clean = RenderCleanMosaic(p, static_cast<int>(f));
    ASSERT_EQ(clean.size(), burst.frames[f].raw.size());
    std::vector<double> normalised;
    for (size_t i = 0; i < clean.size(); ++i) {
      if (clean[i] < 0.01f || clean[i] > 0.9f) continue;  // away from both clips
      const double residual = (burst.frames[f].raw[i] - burst.levels.black) / range - clean[i];
      normalised.push_back(residual / std::sqrt(burst.noise.Variance(clean[i])));
    }
    ASSERT_GT(normalised.size(), 10000u) << "frame " << f;
    const Moments m = MomentsOf(normalised);
    EXPECT_NEAR(m.variance, 1.0, 0.1) << "frame " << f;
    EXPECT_NEAR(m.mean, 0.0, 0.03) << "frame " << f;
  }
}

// ---- sensor levels and clipping ------------------------------------------

TEST(SensorLevels, LevelsForBits_GivesBlackAndWhitePerDepthAndRejectsOthers) {
  SensorLevels l;
  ASSERT_TRUE(LevelsForBits(10, &l));
  EXPECT_EQ(l.black, 64);
  EXPECT_EQ(l.white, 1023);
  ASSERT_TRUE(LevelsForBits(12, &l));
  EXPECT_EQ(l.black, 256);
  EXPECT_EQ(l.white, 4095);
  ASSERT_TRUE(LevelsForBits(14, &l));
  EXPECT_EQ(l.black, 512);
  EXPECT_EQ(l.white, 16383);
  EXPECT_FALSE(LevelsForBits(8, &l));
  EXPECT_FALSE(LevelsForBits(16, &l));
}

TEST(SensorLevels, QuantizeSample_MapsZeroToBlackOneToWhiteAndClips) {
  const SensorLevels l{256, 4095};
  EXPECT_EQ(QuantizeSample(0.0, l), 256);
  EXPECT_EQ(QuantizeSample(1.0, l), 4095);
  EXPECT_EQ(QuantizeSample(0.5, l), static_cast<uint16_t>(std::nearbyint(256 + 0.5 * (4095 - 256))));
  EXPECT_EQ(QuantizeSample(3.0, l), 4095) << "above white clips to white";
  EXPECT_EQ(QuantizeSample(-0.2, l), 0) << "far below black clips to 0";
  EXPECT_EQ(QuantizeSample(-0.01, l), static_cast<uint16_t>(std::nearbyint(256 - 0.01 * (4095 - 256))))
      << "noise just below black is kept";
}

TEST(SensorLevels, Burst_LampClipsAtWhiteAndNoSampleLeavesTheCodeRange) {
  for (int bits : {10, 12, 14}) {
    BurstParams p = SmallParams();
    p.bits = bits;
    p.ev = {-2, 0, 2};
    p.shifts.assign(p.ev.size(), FrameShift{});
    Burst burst;
    std::string error;
    ASSERT_TRUE(SynthesizeBurst(p, &burst, &error)) << error;
    const SyntheticScene scene(p.width, p.height);
    for (const SynthFrame& f : burst.frames) {
      EXPECT_LE(*std::max_element(f.raw.begin(), f.raw.end()), burst.levels.white);
    }
    // The lamp (3.0) is far above full scale at EV+2 in every colour, and at
    // EV0 in green and blue (red, halved by its white balance and shaded, is
    // only just above it).
    for (int c = 0; c < 3; ++c) {
      for (double v : SamplesIn(burst.frames[2].raw, p, scene.LampBox(), c)) {
        ASSERT_EQ(v, burst.levels.white) << bits << "-bit EV+2 channel " << c;
      }
    }
    for (int c = 1; c < 3; ++c) {
      for (double v : SamplesIn(burst.frames[1].raw, p, scene.LampBox(), c)) {
        ASSERT_EQ(v, burst.levels.white) << bits << "-bit EV0 channel " << c;
      }
    }
    // Strong read noise pushes samples of the deep shadow below black,
    // where they are kept (not clipped to black).
    p.iso = 12800.0;
    ASSERT_TRUE(SynthesizeBurst(p, &burst, &error)) << error;
    const std::vector<double> shadow = SamplesIn(burst.frames[0].raw, p, scene.ShadowBox(), 1);
    ASSERT_FALSE(shadow.empty());
    EXPECT_LT(*std::min_element(shadow.begin(), shadow.end()), burst.levels.black) << bits << "-bit";
  }
}

// ---- lens shading ---------------------------------------------------------

TEST(LensShading, Grids_HoldTheInverseFalloffAtTheirNodes) {
  BurstParams p = SmallParams();
  p.width = 4000;
  p.height = 3000;
  const LscGrids g = MakeLscGrids(p);
  EXPECT_FLOAT_EQ(g.r[6][8], 1.0f) << "no shading in the centre";
  EXPECT_FLOAT_EQ(g.gr[6][8], 1.0f);
  EXPECT_FLOAT_EQ(g.r[0][0], static_cast<float>(1.0 + p.k_red)) << "r = 1 in the corners";
  EXPECT_FLOAT_EQ(g.b[12][16], static_cast<float>(1.0 + p.k_blue));
  EXPECT_FLOAT_EQ(g.gb[0][16], static_cast<float>(1.0 + p.k_green));
  for (int row = 0; row < kLscRows; ++row) {
    for (int col = 0; col < kLscCols; ++col) {
      // Node (row, col) sits at (col * W / 16, row * H / 12).
      const double dx = (col / 16.0 - 0.5) * p.width;
      const double dy = (row / 12.0 - 0.5) * p.height;
      const double r2 = (dx * dx + dy * dy) / (0.25 * p.width * p.width + 0.25 * p.height * p.height);
      EXPECT_NEAR(g.r[row][col], 1.0 + p.k_red * r2, 1e-5);
      EXPECT_NEAR(g.gr[row][col], 1.0 + p.k_green * r2, 1e-5);
      EXPECT_EQ(g.gr[row][col], g.gb[row][col]);
      EXPECT_NEAR(g.b[row][col], 1.0 + p.k_blue * r2, 1e-5);
      EXPECT_GE(g.r[row][col], g.gr[row][col]) << "red falls off most";
      EXPECT_GE(g.gr[row][col], g.b[row][col]);
    }
  }
}

TEST(LensShading, CleanMosaic_IsDimmedByTheFalloffTheGridsUndo) {
  BurstParams p = SmallParams();
  p.ev = {0};
  BurstParams flat = p;
  flat.k_red = flat.k_green = flat.k_blue = 0.0;
  const std::vector<float> shaded = RenderCleanMosaic(p, 0);
  const std::vector<float> unshaded = RenderCleanMosaic(flat, 0);
  const LscGrids g = MakeLscGrids(p);
  // Around every inner grid node the correction gain restores the signal,
  // for each of the four colours of the cell at the node.
  for (int row = 1; row < kLscRows - 1; ++row) {
    for (int col = 1; col < kLscCols - 1; ++col) {
      for (int pos = 0; pos < 4; ++pos) {
        const int x = col * p.width / 16 + (pos & 1);
        const int y = row * p.height / 12 + (pos >> 1);
        const size_t i = static_cast<size_t>(y) * p.width + x;
        const CfaColour c = CfaAt(p.pattern, x, y);
        const float gain = c == CfaColour::kR    ? g.r[row][col]
                           : c == CfaColour::kB  ? g.b[row][col]
                           : c == CfaColour::kGr ? g.gr[row][col]
                                                 : g.gb[row][col];
        if (unshaded[i] < 1e-3f) continue;
        // The node is at a pixel corner, the sample up to 1.5 px away: 1% slack.
        EXPECT_NEAR(shaded[i] * gain / unshaded[i], 1.0, 0.01) << "node " << row << "," << col << " pos " << pos;
      }
    }
  }
}

// ---- EV bracket and white balance ---------------------------------------

TEST(Exposure, CleanMosaic_ScalesByTwoToTheEvInLinearSpace) {
  BurstParams p = SmallParams();
  p.ev = {-2, 0, 2, 1};
  p.shifts.assign(p.ev.size(), FrameShift{});
  const std::vector<float> dark = RenderCleanMosaic(p, 0);
  const std::vector<float> ev0 = RenderCleanMosaic(p, 1);
  const std::vector<float> bright = RenderCleanMosaic(p, 2);
  const std::vector<float> plus1 = RenderCleanMosaic(p, 3);
  ASSERT_EQ(dark.size(), ev0.size());
  for (size_t i = 0; i < ev0.size(); i += 7) {
    EXPECT_FLOAT_EQ(dark[i] * 4.0f, ev0[i]);
    EXPECT_FLOAT_EQ(bright[i], ev0[i] * 4.0f);
    EXPECT_FLOAT_EQ(plus1[i], ev0[i] * 2.0f);
  }
}

TEST(Exposure, NoisyFrames_GreyPatchMeanFollowsTheBracket) {
  BurstParams p = SmallParams();
  p.width = 640;
  p.height = 480;
  p.iso = 200.0;  // the mean of ~700 samples is then good to 0.5%
  p.ev = {-2, 0, 2};
  p.shifts.assign(p.ev.size(), FrameShift{});
  Burst burst;
  std::string error;
  ASSERT_TRUE(SynthesizeBurst(p, &burst, &error)) << error;
  const SyntheticScene scene(p.width, p.height);
  std::vector<double> means;
  for (const SynthFrame& f : burst.frames) {
    const std::vector<double> g = SamplesIn(f.raw, p, scene.GreyPatch(), 1);
    means.push_back(MomentsOf(g).mean - burst.levels.black);
  }
  EXPECT_NEAR(means[1] / means[0], 4.0, 0.2);
  EXPECT_NEAR(means[2] / means[1], 4.0, 0.2);
}

TEST(WhiteBalance, CellGains_FollowThePatternInRasterOrder) {
  BurstParams p = SmallParams();
  const std::string names[4] = {"RGGB", "GRBG", "BGGR", "GBRG"};
  for (int pattern = 0; pattern < 4; ++pattern) {
    p.pattern = pattern;
    const std::array<float, 4> gains = CellWbGains(p);
    for (int pos = 0; pos < 4; ++pos) {
      const char colour = names[pattern][pos];
      const float expected = colour == 'R' ? 2.0f : (colour == 'B' ? 1.7f : 1.0f);
      EXPECT_FLOAT_EQ(gains[pos], expected) << names[pattern] << " position " << pos;
      const CfaColour c = CfaAt(pattern, pos & 1, pos >> 1);
      EXPECT_EQ(RgbChannelOf(c), colour == 'R' ? 0 : (colour == 'B' ? 2 : 1));
    }
  }
}

TEST(WhiteBalance, GreyPatch_BecomesNeutralWithTheGainsAndShadingTheFrameCarries) {
  for (int pattern = 0; pattern < 4; ++pattern) {
    BurstParams p = SmallParams();
    p.width = 640;
    p.height = 480;
    p.pattern = pattern;
    p.ev = {0};
    p.noise = false;
    Burst burst;
    std::string error;
    ASSERT_TRUE(SynthesizeBurst(p, &burst, &error)) << error;
    const SyntheticScene scene(p.width, p.height);
    const SyntheticScene::Box box = scene.GreyPatch();
    double balanced[3] = {0.0, 0.0, 0.0};
    int count[3] = {0, 0, 0};
    for (int y = static_cast<int>(box.cy - box.half_h); y < static_cast<int>(box.cy + box.half_h); ++y) {
      for (int x = static_cast<int>(box.cx - box.half_w); x < static_cast<int>(box.cx + box.half_w); ++x) {
        const CfaColour c = CfaAt(pattern, x, y);
        const double v = burst.frames[0].raw[static_cast<size_t>(y) * p.width + x] - burst.levels.black;
        const double corrected = v * burst.wb_gain[2 * (y & 1) + (x & 1)] / LensFalloff(p, c, x + 0.5, y + 0.5);
        balanced[RgbChannelOf(c)] += corrected;
        ++count[RgbChannelOf(c)];
      }
    }
    for (int c = 0; c < 3; ++c) balanced[c] /= count[c];
    EXPECT_NEAR(balanced[0] / balanced[1], 1.0, 0.01) << "pattern " << pattern;
    EXPECT_NEAR(balanced[2] / balanced[1], 1.0, 0.01) << "pattern " << pattern;
    EXPECT_NEAR(balanced[1] / (burst.levels.white - burst.levels.black), SyntheticScene::kGreyRadiance, 0.005);
  }
}

// ---- hand shake, determinism, validation --------------------------------

TEST(HandShake, Shifts_LeaveTheAnchorAtRestAndSpreadOthersBySigma) {
  BurstParams p = SmallParams();
  p.ev.assign(16, 0);
  p.ev[0] = -2;  // anchor is frame 1
  p.shake_sigma = 2.0;
  std::vector<double> all;
  for (uint64_t seed = 1; seed <= 20; ++seed) {
    p.seed = seed;
    const std::vector<FrameShift> s = DrawShakeShifts(p);
    ASSERT_EQ(s.size(), 16u);
    EXPECT_EQ(s[1].dx, 0.0);
    EXPECT_EQ(s[1].dy, 0.0);
    for (size_t i = 0; i < s.size(); ++i) {
      if (i == 1) continue;
      all.push_back(s[i].dx);
      all.push_back(s[i].dy);
    }
  }
  const Moments m = MomentsOf(all);
  EXPECT_NEAR(std::sqrt(m.variance), 2.0, 0.25);
  EXPECT_NEAR(m.mean, 0.0, 0.3);
  const bool any_fractional = std::any_of(all.begin(), all.end(), [](double d) { return d != std::floor(d); });
  EXPECT_TRUE(any_fractional) << "shifts are sub-pixel";
}

TEST(HandShake, SceneRgb_IntegerShiftMovesTheSceneExactly) {
  BurstParams p = SmallParams();
  p.ev = {0, 0};
  p.shifts = {FrameShift{0.0, 0.0}, FrameShift{3.0, -2.0}};
  const std::vector<float> still = RenderSceneRgb(p, 0);
  const std::vector<float> moved = RenderSceneRgb(p, 1);
  ASSERT_EQ(still.size(), static_cast<size_t>(p.width) * p.height * 3);
  for (int y = 2; y < p.height; ++y) {
    for (int x = 0; x < p.width - 3; ++x) {
      for (int c = 0; c < 3; ++c) {
        ASSERT_FLOAT_EQ(moved[(static_cast<size_t>(y) * p.width + x) * 3 + c],
                        still[(static_cast<size_t>(y - 2) * p.width + x + 3) * 3 + c])
            << x << "," << y;
      }
    }
  }
}

TEST(HandShake, SceneRgb_HalfPixelShiftLandsBetweenItsNeighbours) {
  BurstParams p = SmallParams();
  p.ev = {0, 0};
  p.shifts = {FrameShift{0.0, 0.0}, FrameShift{0.5, 0.0}};
  const std::vector<float> still = RenderSceneRgb(p, 0);
  const std::vector<float> half = RenderSceneRgb(p, 1);
  size_t changed = 0;
  // In the colour chart the scene is monotonic between two pixel centres.
  for (size_t y = 0; y + 2 < static_cast<size_t>(p.height / 2); ++y) {
    for (size_t x = 0; x + 2 < static_cast<size_t>(p.width / 2); ++x) {
      const size_t i = (y * p.width + x) * 3 + 1;
      EXPECT_GE(half[i], std::min(still[i], still[i + 3]) - 1e-6f) << x << "," << y;
      EXPECT_LE(half[i], std::max(still[i], still[i + 3]) + 1e-6f) << x << "," << y;
      changed += half[i] != still[i];
    }
  }
  EXPECT_GT(changed, 100u) << "a half-pixel shift changes the patch edges";
}

TEST(Determinism, SameSeed_GivesBitIdenticalBursts) {
  BurstParams p = SmallParams();
  p.seed = 1234;
  Burst a;
  Burst b;
  std::string error;
  ASSERT_TRUE(SynthesizeBurst(p, &a, &error));
  ASSERT_TRUE(SynthesizeBurst(p, &b, &error));
  ASSERT_EQ(a.frames.size(), b.frames.size());
  for (size_t f = 0; f < a.frames.size(); ++f) {
    EXPECT_EQ(a.frames[f].raw, b.frames[f].raw) << "frame " << f;
    EXPECT_EQ(a.frames[f].shift.dx, b.frames[f].shift.dx);
    EXPECT_EQ(a.frames[f].shift.dy, b.frames[f].shift.dy);
  }
}

TEST(Determinism, OtherSeed_ChangesNoiseAndShakeButNotTheScene) {
  BurstParams p = SmallParams();
  BurstParams q = p;
  q.seed = p.seed + 1;
  Burst a;
  Burst b;
  std::string error;
  ASSERT_TRUE(SynthesizeBurst(p, &a, &error));
  ASSERT_TRUE(SynthesizeBurst(q, &b, &error));
  EXPECT_NE(a.frames[1].raw, b.frames[1].raw) << "noise differs";
  EXPECT_NE(a.frames[0].shift.dx, b.frames[0].shift.dx) << "shake differs";
  EXPECT_EQ(RenderCleanMosaic(p, 1), RenderCleanMosaic(q, 1)) << "the anchor sees the same scene";
}

TEST(Determinism, NoiseOff_RawEqualsTheCleanRawGroundTruth) {
  BurstParams p = SmallParams();
  p.noise = false;
  Burst burst;
  std::string error;
  ASSERT_TRUE(SynthesizeBurst(p, &burst, &error));
  for (size_t f = 0; f < burst.frames.size(); ++f) {
    EXPECT_EQ(burst.frames[f].raw, RenderCleanRaw(p, static_cast<int>(f))) << "frame " << f;
  }
}

TEST(Validation, Params_BadValuesAreRejectedWithTheirReason) {
  struct Case {
    const char* what;
    void (*apply)(BurstParams*);
    const char* reason;
  };
  const Case cases[] = {
      {"odd width", [](BurstParams* p) { p->width = 321; }, "even"},
      {"tiny height", [](BurstParams* p) { p->height = 8; }, "16..16384"},
      {"8-bit", [](BurstParams* p) { p->bits = 8; }, "bit depth 8"},
      {"pattern 4", [](BurstParams* p) { p->pattern = 4; }, "pattern 4"},
      {"17 frames", [](BurstParams* p) { p->ev.assign(17, 0); }, "frame count 17"},
      {"no frames", [](BurstParams* p) { p->ev.clear(); }, "frame count 0"},
      {"EV 9", [](BurstParams* p) { p->ev = {0, 9}; }, "EV"},
      {"ISO 10", [](BurstParams* p) { p->iso = 10; }, "ISO 10"},
      {"NaN shake", [](BurstParams* p) { p->shake_sigma = std::nan(""); }, "hand-shake"},
      {"shift count", [](BurstParams* p) { p->shifts = {FrameShift{}}; }, "1 explicit shifts for 3 frames"},
      {"huge shift", [](BurstParams* p) { p->shifts.assign(3, FrameShift{300.0, 0.0}); }, "256 px"},
      {"negative k", [](BurstParams* p) { p->k_blue = -1.0; }, "lens-shading"},
      {"zero wb", [](BurstParams* p) { p->wb_red = 0.0; }, "white-balance"},
  };
  for (const Case& c : cases) {
    BurstParams p = SmallParams();
    c.apply(&p);
    std::string error;
    Burst burst;
    EXPECT_FALSE(SynthesizeBurst(p, &burst, &error)) << c.what;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
    EXPECT_TRUE(RenderCleanMosaic(p, 0).empty()) << c.what;
  }
  EXPECT_TRUE(RenderCleanMosaic(SmallParams(), 3).empty()) << "frame index past the burst";
}

}  // namespace
}  // namespace nevo_capture
