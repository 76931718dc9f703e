// A small EV bracket for the HDR adapter tests: a flat dark patch, a bright
// patch and mid grey, 10-bit RGGB RAW with Gaussian read noise.
#ifndef TESTS_ALGO_NEVO_ALGO_HDR_HDR_TEST_SCENE_H_
#define TESTS_ALGO_NEVO_ALGO_HDR_HDR_TEST_SCENE_H_

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "hostsim/vendor/libqx_hdr_raw/qx_hdr_raw_stub.h"
#include "nevo/nevo.h"

constexpr int kSceneW = 32;
constexpr int kSceneH = 24;
constexpr float kBlack = 64.0f;
constexpr float kWhite = 1023.0f;
constexpr float kDark = 0.02f;         // dark patch, rows 0..11, EV0 units
constexpr float kReadNoise = 0.004f;   // sigma, normalised

// True scene value in EV0 units.
inline float SceneValue(int r, int c) {
  if (r < kSceneH / 2) return kDark;
  return c < kSceneW / 2 ? 0.3f : 0.6f;
}

struct HdrBracket {
  std::vector<std::vector<uint16_t>> raw;  // one per frame
  std::vector<int> ev;
};

inline HdrBracket MakeBracket(const std::vector<int>& ev, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<float> noise(0.0f, kReadNoise);
  HdrBracket b;
  b.ev = ev;
  for (int e : ev) {
    std::vector<uint16_t> img(kSceneW * kSceneH);
    for (int r = 0; r < kSceneH; ++r) {
      for (int c = 0; c < kSceneW; ++c) {
        const float x = SceneValue(r, c) * std::exp2(static_cast<float>(e)) + noise(rng);
        const float v = std::clamp(kBlack + x * (kWhite - kBlack), 0.0f, kWhite);
        img[r * kSceneW + c] = static_cast<uint16_t>(std::lround(v));
      }
    }
    b.raw.push_back(std::move(img));
  }
  return b;
}

inline NevoFrame BracketFrame(HdrBracket& b, int i) {
  NevoFrame f{};
  f.ev_value = b.ev[i];
  for (int k = 0; k < 4; ++k) {
    f.burst_info.black_level[k] = static_cast<int>(kBlack);
    f.burst_info.bright_level[k] = static_cast<int>(kWhite);
  }
  f.burst_info.wb_gain[0] = 2.0f;
  f.burst_info.wb_gain[1] = 1.0f;
  f.burst_info.wb_gain[2] = 1.0f;
  f.burst_info.wb_gain[3] = 1.7f;
  f.burst_info.sensor_gain = 2.0f;
  f.burst_info.isp_gain = 1.0f;
  f.burst_info.shutter = 1e7f * std::exp2(static_cast<float>(b.ev[i]));
  f.img.format = NEVO_FORMAT_RAW;
  f.img.pattern = NEVO_PATTERN_RGGB;
  f.img.elem_type = NEVO_ELEM_U16;
  f.img.width = kSceneW;
  f.img.height = kSceneH;
  f.img.plane[0] = b.raw[i].data();
  f.img.pitch[0] = kSceneW * 2;
  for (int k = 0; k < 4; ++k) f.img.fd[k] = -1;
  return f;
}

// Mean and standard deviation of rows [r0, r1) x cols [c0, c1) of a U16 image.
inline void Stats(const uint16_t* img, int pitch_px, int r0, int r1, int c0, int c1, double* mean, double* sd) {
  double s = 0, s2 = 0;
  int n = 0;
  for (int r = r0; r < r1; ++r) {
    for (int c = c0; c < c1; ++c) {
      const double v = img[r * pitch_px + c];
      s += v;
      s2 += v * v;
      ++n;
    }
  }
  *mean = s / n;
  *sd = std::sqrt(std::max(0.0, s2 / n - *mean * *mean));
}

// The stand-in's control function; the stand-in is loaded on first use.
inline QxHdrStubControlFn HdrStubControl() {
  void* lib = dlopen("libqx_hdr_raw.so", RTLD_NOW);
  if (lib == nullptr) return nullptr;
  auto fn = reinterpret_cast<QxHdrStubControlFn>(dlsym(lib, kQxHdrStubControl));
  // Kept open: the pointer must outlive this call.
  return fn;
}

#endif  // TESTS_ALGO_NEVO_ALGO_HDR_HDR_TEST_SCENE_H_
