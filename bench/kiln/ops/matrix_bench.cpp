// kiln::ConvertTo and kiln::MinMaxLoc beside OpenCV's convertTo and
// minMaxLoc on 4000 x 3000 images: F32 3 channels -> U8 x255, U8 3 channels
// -> U16 x255, MinMaxLoc U16 1 channel. All three are memory-bound, so each
// also copies the same bytes with memcpy: the larger of the two images (the
// source for MinMaxLoc), which moves at least the bytes the work reads and
// at least the bytes it writes.
//
// Threads: "threads:n" runs our targets on a context with n - 1 compute
// threads (the calling thread takes part in ParallelFor) and OpenCV with
// cv::setNumThreads(n), which likewise counts the caller (OpenCV does not
// thread these two functions). "none" is the plain kernels with the pool
// flag on, "neon" the vector kernels.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/common/side_by_side.h"
#include "kiln/ops/matrix/convert_to.h"
#include "kiln/ops/matrix/min_max_loc.h"
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

kiln::ElemType ElemOf(int depth) {
  switch (depth) {
    case CV_8U: return kiln::QX_U8;
    case CV_16U: return kiln::QX_U16;
    default: return kiln::QX_F32;
  }
}

kiln::Mat View(kiln::Context* ctx, cv::Mat& m) {
  return kiln::Mat(ctx, ElemOf(m.depth()), kiln::Sizes{m.rows, m.cols, m.channels()}, m.data,
                   kiln::Strides{0, static_cast<int32_t>(m.step[0])});
}

enum class Kind { kConvert, kMinMaxLoc };

struct Work {
  std::string name;
  Kind kind;
  cv::Mat src;
  cv::Mat dst;  // empty for MinMaxLoc
  float alpha;
};

std::vector<Work>& Works() {
  static std::vector<Work> works;
  if (!works.empty()) return works;
  cv::Mat f32(3000, 4000, CV_32FC3);
  cv::randu(f32, cv::Scalar::all(-0.1), cv::Scalar::all(1.1));
  works.push_back({"convert_f32c3_to_u8_x255", Kind::kConvert, f32, cv::Mat(3000, 4000, CV_8UC3), 255.0f});
  cv::Mat u8(3000, 4000, CV_8UC3);
  cv::randu(u8, cv::Scalar::all(0), cv::Scalar::all(256));
  works.push_back({"convert_u8c3_to_u16_x255", Kind::kConvert, u8, cv::Mat(3000, 4000, CV_16UC3), 255.0f});
  cv::Mat u16(3000, 4000, CV_16UC1);
  cv::randu(u16, cv::Scalar::all(0), cv::Scalar::all(65536));
  works.push_back({"minmaxloc_u16c1", Kind::kMinMaxLoc, u16, cv::Mat(), 1.0f});
  return works;
}

void BM_Kiln(benchmark::State& state, size_t index, kiln::TargetInfo target, int threads) {
  Work& w = Works()[index];
  kiln::Context* ctx = ContextFor(threads);
  if (ctx == nullptr) return state.SkipWithError("context failed");
  kiln::Mat src = View(ctx, w.src);
  if (w.kind == Kind::kConvert) {
    kiln::Mat dst = View(ctx, w.dst);
    for (auto _ : state) {
      if (kiln::IMultiply(ctx, &src, &dst, target, w.alpha) != 0) return state.SkipWithError("IMultiply failed");
      benchmark::ClobberMemory();
    }
  } else {
    double mn = 0;
    double mx = 0;
    kiln::Point3i pmin;
    kiln::Point3i pmax;
    for (auto _ : state) {
      if (kiln::IMinMaxLoc(ctx, &src, &mn, &mx, &pmin, &pmax, target) != 0) {
        return state.SkipWithError("IMinMaxLoc failed");
      }
      benchmark::DoNotOptimize(mn);
      benchmark::DoNotOptimize(pmax);
    }
  }
}

void BM_OpenCV(benchmark::State& state, size_t index, int threads) {
  Work& w = Works()[index];
  cv::setNumThreads(threads);
  if (w.kind == Kind::kConvert) {
    for (auto _ : state) {
      w.src.convertTo(w.dst, w.dst.depth(), w.alpha);
      benchmark::ClobberMemory();
    }
  } else {
    double mn = 0;
    double mx = 0;
    cv::Point pmin;
    cv::Point pmax;
    for (auto _ : state) {
      cv::minMaxLoc(w.src, &mn, &mx, &pmin, &pmax);
      benchmark::DoNotOptimize(mn);
      benchmark::DoNotOptimize(pmax);
    }
  }
}

// memcpy of the larger image's bytes in blocks on our pool.
void BM_Memcpy(benchmark::State& state, size_t index, int threads) {
  Work& w = Works()[index];
  kiln::Context* ctx = ContextFor(threads);
  if (ctx == nullptr) return state.SkipWithError("context failed");
  const size_t bytes = std::max(w.src.total() * w.src.elemSize(), w.dst.total() * w.dst.elemSize());
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
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.3)->Repetitions(5)->ReportAggregatesOnly(true);
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
      tune(benchmark::RegisterBenchmark((name + "/memcpy" + suffix).c_str(), BM_Memcpy, i, threads));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  Register();
  return bench::RunSideBySide(argc, argv);
}
