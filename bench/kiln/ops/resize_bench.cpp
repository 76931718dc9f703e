// kiln::Resize beside OpenCV's cv::resize on the same images: bilinear U8 1
// and 3 channels (4000 x 3000 -> 2000 x 1500, 2000 x 1500 -> 4000 x 3000,
// 4000 x 3000 -> 1920 x 1080), bilinear U16 x0.5 and x2, area U8 /3 (1 and 3
// channels) and /2.5, bicubic U8 3 channels x2, nearest U8 3 channels.
// The halving and nearest rows also copy the same traffic with memcpy
// ((input + output bytes) / 2), the bound of a memory-limited kernel.
//
// Threads: "threads:n" runs our targets on a context with n - 1 compute
// threads (the calling thread takes part in ParallelFor) and OpenCV with
// cv::setNumThreads(n), which likewise counts the caller. "none" is the
// plain kernels with the pool flag on, "neon" the vector kernels.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/common/side_by_side.h"
#include "kiln/ops/resize/resize.h"
#include "kiln/runtime/array/mat.h"
#include "kiln/runtime/context/context.h"

namespace {

kiln::Context* ContextFor(int threads) {
  static std::map<int, std::unique_ptr<kiln::Context>> contexts;
  std::unique_ptr<kiln::Context>& ctx = contexts[threads];
  if (!ctx) {
    kiln::ContextConfig config;
    config.log_mode = kiln::kLogModeNone;
    config.wp_name = "BENCH";
    config.compute_threads = threads - 1;
    config.async_threads = 0;
    ctx = std::make_unique<kiln::Context>(config);
    if (ctx->Initialize() != 0) ctx.reset();
  }
  return ctx.get();
}

kiln::Mat View(kiln::Context* ctx, cv::Mat& m) {
  const kiln::ElemType elem = m.depth() == CV_16U ? kiln::QX_U16 : kiln::QX_U8;
  return kiln::Mat(ctx, elem, kiln::Sizes{m.rows, m.cols, m.channels()}, m.data,
                   kiln::Strides{0, static_cast<int32_t>(m.step[0])});
}

struct Work {
  std::string name;
  int32_t interp;
  int cv_interp;
  cv::Mat src;
  cv::Mat dst;
  bool memcpy_row;
};

std::vector<Work>& Works() {
  static std::vector<Work> works;
  if (!works.empty()) return works;
  auto add = [](const char* name, int32_t interp, int cv_interp, int sw, int sh, int dw, int dh, int type,
                bool memcpy_row) {
    Work w{name, interp, cv_interp, cv::Mat(sh, sw, type), cv::Mat(dh, dw, type), memcpy_row};
    cv::randu(w.src, cv::Scalar::all(0), cv::Scalar::all(CV_MAT_DEPTH(type) == CV_16U ? 65536 : 256));
    works.push_back(w);
  };
  const int lin = kiln::kInterpLinear, cvl = cv::INTER_LINEAR;
  add("bn_u8c1_4000x3000_to_2000x1500", lin, cvl, 4000, 3000, 2000, 1500, CV_8UC1, true);
  add("bn_u8c3_4000x3000_to_2000x1500", lin, cvl, 4000, 3000, 2000, 1500, CV_8UC3, true);
  add("bn_u8c1_2000x1500_to_4000x3000", lin, cvl, 2000, 1500, 4000, 3000, CV_8UC1, false);
  add("bn_u8c3_2000x1500_to_4000x3000", lin, cvl, 2000, 1500, 4000, 3000, CV_8UC3, false);
  add("bn_u8c1_4000x3000_to_1920x1080", lin, cvl, 4000, 3000, 1920, 1080, CV_8UC1, false);
  add("bn_u8c3_4000x3000_to_1920x1080", lin, cvl, 4000, 3000, 1920, 1080, CV_8UC3, false);
  add("bn_u16c1_4000x3000_to_2000x1500", lin, cvl, 4000, 3000, 2000, 1500, CV_16UC1, true);
  add("bn_u16c1_2000x1500_to_4000x3000", lin, cvl, 2000, 1500, 4000, 3000, CV_16UC1, false);
  add("area_u8c1_3840x2880_to_1280x960", kiln::kInterpArea, cv::INTER_AREA, 3840, 2880, 1280, 960, CV_8UC1, false);
  add("area_u8c3_3840x2880_to_1280x960", kiln::kInterpArea, cv::INTER_AREA, 3840, 2880, 1280, 960, CV_8UC3, false);
  add("area_u8c3_4000x3000_to_1600x1200", kiln::kInterpArea, cv::INTER_AREA, 4000, 3000, 1600, 1200, CV_8UC3, false);
  add("cubic_u8c3_1920x1080_to_3840x2160", kiln::kInterpCubic, cv::INTER_CUBIC, 1920, 1080, 3840, 2160, CV_8UC3,
      false);
  add("nearest_u8c3_4000x3000_to_1920x1080", kiln::kInterpNearest, cv::INTER_NEAREST, 4000, 3000, 1920, 1080,
      CV_8UC3, true);
  return works;
}

void BM_Kiln(benchmark::State& state, size_t index, kiln::TargetInfo target, int threads) {
  Work& w = Works()[index];
  kiln::Context* ctx = ContextFor(threads);
  if (ctx == nullptr) return state.SkipWithError("context failed");
  kiln::Mat src = View(ctx, w.src);
  kiln::Mat dst = View(ctx, w.dst);
  for (auto _ : state) {
    if (kiln::IResize(ctx, &src, &dst, w.interp, target) != 0) return state.SkipWithError("IResize failed");
    benchmark::ClobberMemory();
  }
}

void BM_OpenCV(benchmark::State& state, size_t index, int threads) {
  Work& w = Works()[index];
  cv::setNumThreads(threads);
  for (auto _ : state) {
    cv::resize(w.src, w.dst, w.dst.size(), 0, 0, w.cv_interp);
    benchmark::ClobberMemory();
  }
}

// memcpy of (input + output) / 2 bytes in row blocks on our pool.
void BM_Memcpy(benchmark::State& state, size_t index, int threads) {
  Work& w = Works()[index];
  kiln::Context* ctx = ContextFor(threads);
  if (ctx == nullptr) return state.SkipWithError("context failed");
  const size_t bytes = (w.src.total() * w.src.elemSize() + w.dst.total() * w.dst.elemSize()) / 2;
  static std::vector<uint8_t> from, to;
  from.assign(bytes, 1);
  to.assign(bytes, 0);
  const int blocks = 64;
  const size_t block = (bytes + blocks - 1) / blocks;
  for (auto _ : state) {
    ctx->GetWorkerpool()->ParallelFor(0, blocks, [&](int i, int) -> kiln::Status {
      const size_t begin = block * i;
      const size_t end = std::min(bytes, begin + block);
      if (begin < end) std::memcpy(to.data() + begin, from.data() + begin, end - begin);
      return 0;
    });
    benchmark::ClobberMemory();
  }
}

void Register() {
  auto tune = [](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.3)->Repetitions(3)->ReportAggregatesOnly(true);
  };
  for (size_t i = 0; i < Works().size(); ++i) {
    const std::string& name = Works()[i].name;
    for (int threads : {1, 2}) {
      const std::string suffix = "/threads:" + std::to_string(threads);
      tune(benchmark::RegisterBenchmark((name + "/none" + suffix).c_str(), BM_Kiln, i,
                                        kiln::TargetInfo(kiln::kTargetNone, true), threads));
      tune(benchmark::RegisterBenchmark((name + "/neon" + suffix).c_str(), BM_Kiln, i,
                                        kiln::TargetInfo(kiln::kTargetNeon, false), threads));
      tune(benchmark::RegisterBenchmark((name + "/opencv" + suffix).c_str(), BM_OpenCV, i, threads));
      if (Works()[i].memcpy_row) {
        tune(benchmark::RegisterBenchmark((name + "/memcpy" + suffix).c_str(), BM_Memcpy, i, threads));
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  Register();
  return bench::RunSideBySide(argc, argv);
}
