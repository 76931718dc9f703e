#include "tools/nevo_capture/burst_synth.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "tools/nevo_capture/counter_rng.h"
#include "tools/nevo_capture/row_bands.h"
#include "tools/nevo_capture/synthetic_scene.h"

namespace nevo_capture {

namespace {

// Random streams of one seed: shake shifts, then one noise stream per frame.
constexpr uint64_t kShakeStream = 0x5348414B45ull;  // "SHAKE"
constexpr uint64_t kNoiseStreamBase = 0x4E4F495345ull;  // "NOISE"

double FalloffK(const BurstParams& p, CfaColour colour) {
  switch (colour) {
    case CfaColour::kR:
      return p.k_red;
    case CfaColour::kB:
      return p.k_blue;
    default:
      return p.k_green;
  }
}

double WbOf(const BurstParams& p, CfaColour colour) {
  switch (colour) {
    case CfaColour::kR:
      return p.wb_red;
    case CfaColour::kB:
      return p.wb_blue;
    default:
      return 1.0;
  }
}

// The clean 0..1 signal of one mosaic row of one frame.
void CleanRow(const BurstParams& p, const SyntheticScene& scene, int ev, const FrameShift& shift, int y,
              float* out) {
  const double gain = p.exposure * std::ldexp(1.0, ev);
  const double yc = y + 0.5;
  for (int x = 0; x < p.width; ++x) {
    const CfaColour colour = CfaAt(p.pattern, x, y);
    const double xc = x + 0.5;
    const double radiance = scene.Channel(xc + shift.dx, yc + shift.dy, RgbChannelOf(colour));
    out[x] = static_cast<float>(radiance * gain * LensFalloff(p, colour, xc, yc) / WbOf(p, colour));
  }
}

inline uint16_t NoisySample(double clean, const NoiseModel& model, const SensorLevels& levels, double normal) {
  return QuantizeSample(clean + std::sqrt(model.Variance(clean)) * normal, levels);
}

// Noise for samples [begin, end) of a row-major buffer; samples 2k and
// 2k + 1 share one Box-Muller pair drawn from counter k.
void NoiseSpan(const float* clean, uint16_t* out, size_t begin, size_t end, const NoiseModel& model,
               const SensorLevels& levels, uint64_t seed, uint64_t stream) {
  for (size_t i = begin; i < end; ++i) {
    const std::pair<double, double> n = NormalPair(CounterBits(seed, stream, i / 2));
    out[i - begin] = NoisySample(clean[i - begin], model, levels, (i & 1) == 0 ? n.first : n.second);
  }
}

}  // namespace

CfaColour CfaAt(int pattern, int x, int y) {
  // Rows of the 2 x 2 cell, raster order, for RGGB, GRBG, BGGR, GBRG.
  static constexpr CfaColour kCells[4][4] = {
      {CfaColour::kR, CfaColour::kGr, CfaColour::kGb, CfaColour::kB},
      {CfaColour::kGr, CfaColour::kR, CfaColour::kB, CfaColour::kGb},
      {CfaColour::kB, CfaColour::kGb, CfaColour::kGr, CfaColour::kR},
      {CfaColour::kGb, CfaColour::kB, CfaColour::kR, CfaColour::kGr},
  };
  return kCells[pattern & 3][2 * (y & 1) + (x & 1)];
}

int RgbChannelOf(CfaColour colour) {
  switch (colour) {
    case CfaColour::kR:
      return 0;
    case CfaColour::kB:
      return 2;
    default:
      return 1;
  }
}

bool LevelsForBits(int bits, SensorLevels* levels) {
  switch (bits) {
    case 10:
      *levels = {64, 1023};
      return true;
    case 12:
      *levels = {256, 4095};
      return true;
    case 14:
      *levels = {512, 16383};
      return true;
    default:
      return false;
  }
}

NoiseModel NoiseModel::ForIso(double iso) {
  const double gain = iso / 100.0;
  return {1.807e-4 * gain, 3.19e-6 * gain * gain};
}

bool ValidateBurstParams(const BurstParams& p, std::string* error) {
  std::ostringstream why;
  SensorLevels levels;
  if (p.width < 16 || p.height < 16 || p.width > 16384 || p.height > 16384 || (p.width & 1) || (p.height & 1)) {
    why << "size " << p.width << "x" << p.height << " must be even and within 16..16384";
  } else if (!LevelsForBits(p.bits, &levels)) {
    why << "bit depth " << p.bits << " is not one of 10, 12, 14";
  } else if (p.pattern < 0 || p.pattern > 3) {
    why << "Bayer pattern " << p.pattern << " is not one of 0..3";
  } else if (p.ev.empty() || p.ev.size() > 16) {
    why << "frame count " << p.ev.size() << " is not within 1..16";
  } else if (std::any_of(p.ev.begin(), p.ev.end(), [](int ev) { return ev < -8 || ev > 8; })) {
    why << "EV values must be within -8..8";
  } else if (!(p.iso >= 25.0 && p.iso <= 204800.0)) {
    why << "ISO " << p.iso << " is not within 25..204800";
  } else if (!(p.shake_sigma >= 0.0 && p.shake_sigma <= 64.0)) {
    why << "hand-shake sigma " << p.shake_sigma << " px is not within 0..64";
  } else if (!p.shifts.empty() && p.shifts.size() != p.ev.size()) {
    why << p.shifts.size() << " explicit shifts for " << p.ev.size() << " frames";
  } else if (std::any_of(p.shifts.begin(), p.shifts.end(), [](const FrameShift& s) {
               return !(std::fabs(s.dx) <= 256.0 && std::fabs(s.dy) <= 256.0);
             })) {
    why << "explicit shifts must be within 256 px";
  } else if (!(p.k_red >= 0.0 && p.k_green >= 0.0 && p.k_blue >= 0.0 && p.k_red <= 4.0 && p.k_green <= 4.0 &&
               p.k_blue <= 4.0)) {
    why << "lens-shading coefficients must be within 0..4";
  } else if (!(p.wb_red > 0.0 && p.wb_blue > 0.0 && p.wb_red <= 16.0 && p.wb_blue <= 16.0)) {
    why << "white-balance gains must be within (0, 16]";
  } else if (!(p.exposure > 0.0 && p.exposure <= 1000.0)) {
    why << "exposure scale must be within (0, 1000]";
  }
  if (why.tellp() == 0) return true;
  if (error != nullptr) *error = why.str();
  return false;
}

double LensFalloff(const BurstParams& p, CfaColour colour, double x, double y) {
  const double hw = 0.5 * p.width;
  const double hh = 0.5 * p.height;
  const double r2 = ((x - hw) * (x - hw) + (y - hh) * (y - hh)) / (hw * hw + hh * hh);
  return 1.0 / (1.0 + FalloffK(p, colour) * r2);
}

LscGrids MakeLscGrids(const BurstParams& p) {
  LscGrids grids{};
  for (int row = 0; row < kLscRows; ++row) {
    for (int col = 0; col < kLscCols; ++col) {
      const double x = col * static_cast<double>(p.width) / (kLscCols - 1);
      const double y = row * static_cast<double>(p.height) / (kLscRows - 1);
      grids.r[row][col] = static_cast<float>(1.0 / LensFalloff(p, CfaColour::kR, x, y));
      grids.gr[row][col] = static_cast<float>(1.0 / LensFalloff(p, CfaColour::kGr, x, y));
      grids.gb[row][col] = static_cast<float>(1.0 / LensFalloff(p, CfaColour::kGb, x, y));
      grids.b[row][col] = static_cast<float>(1.0 / LensFalloff(p, CfaColour::kB, x, y));
    }
  }
  return grids;
}

std::array<float, 4> CellWbGains(const BurstParams& p) {
  std::array<float, 4> gains{};
  for (int pos = 0; pos < 4; ++pos) gains[pos] = static_cast<float>(WbOf(p, CfaAt(p.pattern, pos & 1, pos >> 1)));
  return gains;
}

int AnchorIndex(const std::vector<int>& ev) {
  const auto it = std::find(ev.begin(), ev.end(), 0);
  return it == ev.end() ? 0 : static_cast<int>(it - ev.begin());
}

std::vector<FrameShift> DrawShakeShifts(const BurstParams& p) {
  if (!p.shifts.empty()) return p.shifts;
  std::vector<FrameShift> shifts(p.ev.size());
  const int anchor = AnchorIndex(p.ev);
  for (size_t i = 0; i < shifts.size(); ++i) {
    if (static_cast<int>(i) == anchor) continue;
    const std::pair<double, double> n = NormalPair(CounterBits(p.seed, kShakeStream, i));
    shifts[i] = {n.first * p.shake_sigma, n.second * p.shake_sigma};
  }
  return shifts;
}

uint16_t QuantizeSample(double signal, const SensorLevels& levels) {
  const double code = std::nearbyint(levels.black + signal * (levels.white - levels.black));
  return static_cast<uint16_t>(std::clamp(code, 0.0, static_cast<double>(levels.white)));
}

std::vector<uint16_t> AddNoiseAndQuantize(const std::vector<float>& clean, const NoiseModel& model,
                                          const SensorLevels& levels, uint64_t seed, uint64_t stream) {
  std::vector<uint16_t> out(clean.size());
  NoiseSpan(clean.data(), out.data(), 0, clean.size(), model, levels, seed, stream);
  return out;
}

std::vector<float> RenderCleanMosaic(const BurstParams& p, int frame_index) {
  std::vector<float> out;
  if (!ValidateBurstParams(p, nullptr) || frame_index < 0 || frame_index >= static_cast<int>(p.ev.size())) return out;
  out.resize(static_cast<size_t>(p.width) * p.height);
  const SyntheticScene scene(p.width, p.height);
  const FrameShift shift = DrawShakeShifts(p)[frame_index];
  ForEachRowBand(p.height, [&](int begin, int end) {
    for (int y = begin; y < end; ++y) {
      CleanRow(p, scene, p.ev[frame_index], shift, y, &out[static_cast<size_t>(y) * p.width]);
    }
  });
  return out;
}

std::vector<uint16_t> RenderCleanRaw(const BurstParams& p, int frame_index) {
  const std::vector<float> clean = RenderCleanMosaic(p, frame_index);
  SensorLevels levels;
  std::vector<uint16_t> out(clean.size());
  if (!LevelsForBits(p.bits, &levels)) return out;
  for (size_t i = 0; i < clean.size(); ++i) out[i] = QuantizeSample(clean[i], levels);
  return out;
}

std::vector<float> RenderSceneRgb(const BurstParams& p, int frame_index) {
  std::vector<float> out;
  if (!ValidateBurstParams(p, nullptr) || frame_index < 0 || frame_index >= static_cast<int>(p.ev.size())) return out;
  out.resize(static_cast<size_t>(p.width) * p.height * 3);
  const SyntheticScene scene(p.width, p.height);
  const FrameShift shift = DrawShakeShifts(p)[frame_index];
  const double gain = p.exposure * std::ldexp(1.0, p.ev[frame_index]);
  ForEachRowBand(p.height, [&](int begin, int end) {
    for (int y = begin; y < end; ++y) {
      float* row = &out[static_cast<size_t>(y) * p.width * 3];
      for (int x = 0; x < p.width; ++x) {
        const Rgb c = scene.Radiance(x + 0.5 + shift.dx, y + 0.5 + shift.dy);
        row[3 * x + 0] = static_cast<float>(c.r * gain);
        row[3 * x + 1] = static_cast<float>(c.g * gain);
        row[3 * x + 2] = static_cast<float>(c.b * gain);
      }
    }
  });
  return out;
}

bool SynthesizeBurst(const BurstParams& p, Burst* burst, std::string* error) {
  if (burst == nullptr || !ValidateBurstParams(p, error)) return false;
  burst->params = p;
  LevelsForBits(p.bits, &burst->levels);
  burst->noise = NoiseModel::ForIso(p.iso);
  burst->lsc = MakeLscGrids(p);
  burst->wb_gain = CellWbGains(p);
  burst->anchor = AnchorIndex(p.ev);
  const std::vector<FrameShift> shifts = DrawShakeShifts(p);
  const SyntheticScene scene(p.width, p.height);
  burst->frames.assign(p.ev.size(), SynthFrame{});
  for (size_t i = 0; i < p.ev.size(); ++i) {
    SynthFrame& frame = burst->frames[i];
    frame.ev = p.ev[i];
    frame.shift = shifts[i];
    frame.raw.resize(static_cast<size_t>(p.width) * p.height);
    ForEachRowBand(p.height, [&](int begin, int end) {
      std::vector<float> clean(p.width);
      for (int y = begin; y < end; ++y) {
        CleanRow(p, scene, frame.ev, frame.shift, y, clean.data());
        const size_t first = static_cast<size_t>(y) * p.width;
        uint16_t* out = &frame.raw[first];
        if (p.noise) {
          NoiseSpan(clean.data(), out, first, first + p.width, burst->noise, burst->levels, p.seed,
                    kNoiseStreamBase + i);
        } else {
          for (int x = 0; x < p.width; ++x) out[x] = QuantizeSample(clean[x], burst->levels);
        }
      }
    });
  }
  return true;
}

}  // namespace nevo_capture
