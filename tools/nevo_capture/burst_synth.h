// Synthetic RAW bursts: what a phone sensor would deliver when photographing
// the analytic scene of synthetic_scene.h, frame by frame.
//
// Image formation for frame i, pixel (x, y) of Bayer colour c (all on the
// 0..1 scale after black subtraction, 1 = white level):
//   clean = S_c(x + 0.5 + dx_i, y + 0.5 + dy_i) * 2^EV_i * falloff_c(x, y) / wb_c
//     S_c        scene radiance (synthetic_scene.h)
//     dx_i, dy_i hand shake: N(0, shake_sigma) px per axis, independent per
//                frame; the anchor (first EV0 frame) is the reference, shift 0
//     EV_i       exposure bracket: [-2, 0, +2] for HDR, [0, 0, ...] otherwise
//     falloff_c  lens shading 1 / (1 + k_c * r^2), r = distance from the
//                centre / half diagonal (1 in the corners); k = 1.0 red,
//                0.75 green, 0.5 blue by default
//     wb_c       white-balance gain the ISP must apply (2.0 red, 1.0 green,
//                1.7 blue by default): the raw response to grey is 1 / wb_c
//   noisy = clean + sqrt(a * max(clean, 0) + b) * N(0, 1)   (Poisson-Gaussian)
//     a = 1.807e-4 * ISO / 100     shot noise
//     b = 3.19e-6 * (ISO / 100)^2  read noise
//   raw = clamp(round(black + noisy * (white - black)), 0, white)
//     levels: 10-bit 64 / 1023, 12-bit 256 / 4095, 14-bit 512 / 16383
// The metadata a HAL passes with each frame follows the same model: the
// lens-shading grids hold the correction gains 1 + k_c * r^2 (the inverse of
// the falloff) at 13 x 17 nodes, node (row, col) at pixel (col * width / 16,
// row * height / 12); wb_gain holds wb_c in the raster order of the 2 x 2
// Bayer cell. Everything is deterministic for a seed: shifts come from a
// seeded sequence, noise from a counter-based hash of (seed, frame, pixel).
#ifndef TOOLS_NEVO_CAPTURE_BURST_SYNTH_H_
#define TOOLS_NEVO_CAPTURE_BURST_SYNTH_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace nevo_capture {

constexpr int kLscRows = 13;
constexpr int kLscCols = 17;

// Bayer cell colours; Gr is the green on the red row.
enum class CfaColour { kR = 0, kGr = 1, kGb = 2, kB = 3 };

// Colour at cell position (2 * (y & 1) + (x & 1)) for a pattern 0..3
// (RGGB, GRBG, BGGR, GBRG). Pattern must be valid.
CfaColour CfaAt(int pattern, int x, int y);
// 0 red, 1 green, 2 blue.
int RgbChannelOf(CfaColour colour);

struct SensorLevels {
  int black = 0;
  int white = 0;
};

// Levels for a supported bit depth (10, 12, 14); false otherwise.
bool LevelsForBits(int bits, SensorLevels* levels);

// Poisson-Gaussian noise on the 0..1 scale: var(x) = a * x + b.
struct NoiseModel {
  double a = 0.0;
  double b = 0.0;
  static NoiseModel ForIso(double iso);
  double Variance(double x) const { return a * (x > 0.0 ? x : 0.0) + b; }
};

struct FrameShift {
  double dx = 0.0;
  double dy = 0.0;
};

struct BurstParams {
  int width = 1024;
  int height = 768;
  int bits = 12;
  int pattern = 0;            // 0 RGGB, 1 GRBG, 2 BGGR, 3 GBRG
  double iso = 800.0;
  uint64_t seed = 1;
  std::vector<int> ev = {-2, 0, 2};  // one entry per frame
  double shake_sigma = 2.0;   // px, per axis
  std::vector<FrameShift> shifts;  // when not empty: exact shifts, one per frame
  double k_red = 1.0;         // lens-shading falloff coefficients
  double k_green = 0.75;
  double k_blue = 0.5;
  double wb_red = 2.0;
  double wb_blue = 1.7;
  double exposure = 1.0;      // radiance-to-signal scale at EV0
  bool noise = true;          // false renders the noise-free mosaic as raw
};

// Checks sizes (even, 16..16384), bits, pattern, frame count (1..16),
// EV range (-8..8), ISO (25..204800), explicit shifts (one per frame,
// within 256 px) and the optical constants. On failure
// returns false with a one-line reason.
bool ValidateBurstParams(const BurstParams& params, std::string* error);

// Correction gain grids as NevoFrame.lsc carries them.
struct LscGrids {
  float gr[kLscRows][kLscCols];
  float gb[kLscRows][kLscCols];
  float r[kLscRows][kLscCols];
  float b[kLscRows][kLscCols];
};

// Vignetting of one colour at the continuous pixel position (x, y).
double LensFalloff(const BurstParams& params, CfaColour colour, double x, double y);
LscGrids MakeLscGrids(const BurstParams& params);

// White-balance gains in the raster order of the Bayer cell.
std::array<float, 4> CellWbGains(const BurstParams& params);

// Index of the first EV0 frame (the anchor), or 0 when there is none.
int AnchorIndex(const std::vector<int>& ev);

// Shift of every frame: params.shifts when given, else drawn hand shake
// (the anchor's is zero).
std::vector<FrameShift> DrawShakeShifts(const BurstParams& params);

struct SynthFrame {
  int ev = 0;
  FrameShift shift;
  std::vector<uint16_t> raw;  // width * height samples, row-major
};

struct Burst {
  BurstParams params;
  SensorLevels levels;
  NoiseModel noise;
  LscGrids lsc;
  std::array<float, 4> wb_gain{};
  int anchor = 0;
  std::vector<SynthFrame> frames;
};

// Renders the whole burst (multi-threaded over rows). Returns false with a
// reason when the parameters are invalid.
bool SynthesizeBurst(const BurstParams& params, Burst* burst, std::string* error);

// Ground truth, for tests and quality figures. Each is what SynthesizeBurst
// uses internally for frame `frame_index` of params.ev.
//   clean mosaic: the 0..1 signal before noise (not clipped), width * height
std::vector<float> RenderCleanMosaic(const BurstParams& params, int frame_index);
//   clean raw: the clean mosaic quantised and clipped like the sensor output
std::vector<uint16_t> RenderCleanRaw(const BurstParams& params, int frame_index);
//   scene RGB: radiance * exposure * 2^EV at the frame's shifted positions,
//   without lens shading or white-balance cast, 3 floats per pixel (R, G, B)
std::vector<float> RenderSceneRgb(const BurstParams& params, int frame_index);

// Adds the noise of `model` to a clean 0..1 signal and quantises it. The
// noise of sample i depends only on (seed, stream, i).
std::vector<uint16_t> AddNoiseAndQuantize(const std::vector<float>& clean, const NoiseModel& model,
                                          const SensorLevels& levels, uint64_t seed, uint64_t stream);

// One value to the sensor's integer code, clipped to [0, white].
uint16_t QuantizeSample(double signal, const SensorLevels& levels);

}  // namespace nevo_capture

#endif  // TOOLS_NEVO_CAPTURE_BURST_SYNTH_H_
