// The EV0 fallback on a 4000 x 3000 RGGB anchor to 16-bit RGB: NevoCorrectImage
// beside the same steps written with OpenCV (black, upsampled shading map,
// gain to 14 bits, demosaic, white balance and x4), same process, same run.
// Also prints the resident-memory peak the first correction adds.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "algo/nevo_algo_correct_image/nevo_correct_image.h"
#include "bench/common/side_by_side.h"
#include "tools/nevo_capture/capture_sysroot.h"
#include "tools/nevo_capture/hal_records.h"

namespace {

constexpr int kW = 4000, kH = 3000;
constexpr int kBlack = 64, kWhite = 1023;
constexpr float kWbR = 2.0f, kWbB = 1.7f;

// Owns the synthetic capture and its device tree for the whole program.
struct Capture {
  Capture() {
    // The capture tool's device tree: an RGB fallback with every step on.
    std::string error;
    if (!sysroot.Create(nevo_capture::CaptureOptions(), &error)) {
      std::fprintf(stderr, "device tree: %s\n", error.c_str());
      std::exit(1);
    }

    raw.resize(static_cast<size_t>(kW) * kH);
    uint32_t s = 1234;
    for (uint16_t& v : raw) {
      s = s * 1664525u + 1013904223u;
      v = static_cast<uint16_t>(kBlack + (s >> 16) % (kWhite - kBlack));
    }
    rgb.resize(static_cast<size_t>(kW) * kH * 3);
    std::memset(anchor.get(), 0, sizeof(NevoFrame));
    anchor->img = nevo_capture::DescribeImage(NEVO_FORMAT_RAW, NEVO_PATTERN_RGGB, kW, kH, raw.data(), -1);
    NevoBurstInfo& b = anchor->burst_info;
    for (int c = 0; c < 4; ++c) {
      b.black_level[c] = kBlack;
      b.bright_level[c] = kWhite;
      b.wb_gain[c] = 1.0f;
    }
    b.wb_gain[0] = kWbR;
    b.wb_gain[3] = kWbB;
    b.isp_gain = 1.0f;
    b.adrc_gain = 1.0f;
    for (auto* grid : {&anchor->lsc.gr, &anchor->lsc.r, &anchor->lsc.b, &anchor->lsc.gb}) {
      for (int y = 0; y < NEVO_LSC_ROWS; ++y) {
        for (int x = 0; x < NEVO_LSC_COLS; ++x) {
          const float dx = (x - NEVO_LSC_COLS / 2) / 8.0f, dy = (y - NEVO_LSC_ROWS / 2) / 6.0f;
          (*grid)[y][x] = 1.0f + 0.5f * (dx * dx + dy * dy);
        }
      }
    }
    anchor->zoom_info.fov = {0, 0, kW, kH};
    start->width = kW;
    start->height = kH;
    start->raw_type = NEVO_PATTERN_RGGB;
    init->ae.algo_type = NEVO_HDR;
    output->img[0] = nevo_capture::DescribeImage(NEVO_FORMAT_RGB, NEVO_PATTERN_RGGB, kW, kH, rgb.data(), -1);
    output->img_num = 1;
  }

  nevo_capture::CaptureSysroot sysroot;
  std::vector<uint16_t> raw, rgb;
  std::unique_ptr<NevoFrame> anchor = std::make_unique<NevoFrame>();
  std::unique_ptr<NevoStartParam> start = std::make_unique<NevoStartParam>();
  std::unique_ptr<NevoInitParam> init = std::make_unique<NevoInitParam>();
  std::unique_ptr<NevoOutput> output = std::make_unique<NevoOutput>();
};

Capture& TheCapture() {
  static Capture capture;
  return capture;
}

// The engine's context shape; the calling thread takes part in the loops, so
// `threads` participants need threads - 1 compute threads.
std::unique_ptr<kiln::Context> MakeContext(int threads) {
  kiln::ContextConfig config;
  config.log_mode = kiln::kLogModeNone;
  config.wp_name = "NEVO";
  config.compute_threads = threads - 1;
  config.async_threads = 0;
  auto ctx = std::make_unique<kiln::Context>(config);
  ctx->Initialize();
  return ctx;
}

void Ours(benchmark::State& state) {
  Capture& c = TheCapture();
  auto ctx = MakeContext(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    if (NevoCorrectImage(ctx.get(), *c.anchor, c.output.get(), *c.start, *c.init, 0) != 0) {
      state.SkipWithError("NevoCorrectImage failed");
      break;
    }
  }
}

void OpenCv(benchmark::State& state) {
  Capture& c = TheCapture();
  cv::setNumThreads(static_cast<int>(state.range(0)));
  const cv::Mat raw(kH, kW, CV_16UC1, c.raw.data());
  const cv::Mat grid(NEVO_LSC_ROWS, NEVO_LSC_COLS, CV_32FC1, &c.anchor->lsc.r[0][0]);
  cv::Mat linear, shading, process, rgb;
  const double scale = 16383.0 / (kWhite - kBlack);
  for (auto _ : state) {
    raw.convertTo(linear, CV_32F, 1.0, -kBlack);
    cv::resize(grid, shading, cv::Size(kW, kH), 0, 0, cv::INTER_LINEAR);
    cv::multiply(linear, shading, linear, scale);
    linear.convertTo(process, CV_16U);
    cv::cvtColor(process, rgb, cv::COLOR_BayerBG2RGB);
    cv::multiply(rgb, cv::Scalar(4.0 * kWbR, 4.0, 4.0 * kWbB), rgb);
    benchmark::DoNotOptimize(rgb.data);
  }
}

long HighWaterKb() {
  std::ifstream in("/proc/self/status");
  std::string key;
  long kb = 0;
  while (in >> key) {
    if (key == "VmHWM:") {
      in >> kb;
      return kb;
    }
  }
  return 0;
}

// Resident peak added by the first correction (buffers, scratch, threads).
void ReportPeakMemory() {
  Capture& c = TheCapture();
  auto ctx = MakeContext(2);
  const long before = HighWaterKb();
  const int ret = NevoCorrectImage(ctx.get(), *c.anchor, c.output.get(), *c.start, *c.init, 0);
  const long after = HighWaterKb();
  std::printf("NevoCorrectImage 4000x3000 RAW -> RGB16: status %d, resident peak +%.1f MB (input %.1f MB, output %.1f MB)\n",
              ret, (after - before) / 1024.0, c.raw.size() * 2 / 1048576.0, c.rgb.size() * 2 / 1048576.0);
}

}  // namespace

BENCHMARK(Ours)->Name("correct_rgb16/neon/threads:1")->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(OpenCv)->Name("correct_rgb16/opencv/threads:1")->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Ours)->Name("correct_rgb16/neon/threads:2")->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(OpenCv)->Name("correct_rgb16/opencv/threads:2")->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  ReportPeakMemory();
  return bench::RunSideBySide(argc, argv);
}
