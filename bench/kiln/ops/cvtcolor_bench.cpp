// kiln::CvtColor beside OpenCV on 4000 x 3000 images: NV12 -> RGB,
// RGB -> NV12 (OpenCV 4.6 has no RGB -> NV12; its nearest equivalent,
// RGB -> I420, does the same arithmetic into planar chroma), Bayer -> BGR U8
// and U16, BGR -> GRAY and BGR -> RGB, each with a memcpy of the same traffic
// ((input + output bytes) / 2 copied, so read + write volumes match).
//
// Threads: "threads:n" runs our targets on a context with n - 1 compute
// threads (the calling thread takes part in ParallelFor) and OpenCV with
// cv::setNumThreads(n), which likewise counts the caller. The memcpy rows
// copy row blocks through the same worker pool.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/common/side_by_side.h"
#include "kiln/ops/cvtcolor/cvtcolor.h"
#include "kiln/runtime/array/mat.h"
#include "kiln/runtime/context/context.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

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

cv::Mat RandomMat(int rows, int cols, int type) {
  cv::Mat m(rows, cols, type);
  cv::randu(m, cv::Scalar::all(0), cv::Scalar::all(CV_MAT_DEPTH(type) == CV_16U ? 65536 : 256));
  return m;
}

kiln::Mat View(kiln::Context* ctx, cv::Mat& m) {
  const kiln::ElemType elem = m.depth() == CV_16U ? kiln::QX_U16 : kiln::QX_U8;
  return kiln::Mat(ctx, elem, kiln::Sizes{m.rows, m.cols, m.channels()}, m.data,
                   kiln::Strides{0, static_cast<int32_t>(m.step[0])});
}

size_t Bytes(const cv::Mat& m) { return m.total() * m.elemSize(); }

// One piece of work: our planes (as OpenCV matrices we view), OpenCV's call,
// and the memcpy size.
struct Work {
  std::string name;
  kiln::CvtColorType type;
  std::vector<cv::Mat> src;
  std::vector<cv::Mat> dst;
  std::function<void()> opencv;
  size_t copy_bytes = 0;
};

std::vector<Work>& Works() {
  static std::vector<Work> works;
  if (!works.empty()) return works;
  const int w = kWidth, h = kHeight;
  {
    Work k{"nv12_to_rgb", kiln::YUV2RGB_NV12, {}, {}, {}, 0};
    cv::Mat packed = RandomMat(h * 3 / 2, w, CV_8UC1);
    k.src = {packed.rowRange(0, h), packed.rowRange(h, h * 3 / 2).reshape(2, h / 2)};
    k.dst = {cv::Mat(h, w, CV_8UC3)};
    cv::Mat out(h, w, CV_8UC3);
    k.opencv = [packed, out]() mutable { cv::cvtColor(packed, out, cv::COLOR_YUV2RGB_NV12); };
    k.copy_bytes = (Bytes(packed) + Bytes(out)) / 2;
    works.push_back(k);
  }
  {
    Work k{"rgb_to_nv12", kiln::RGB2YUV_NV12, {}, {}, {}, 0};
    cv::Mat rgb = RandomMat(h, w, CV_8UC3);
    k.src = {rgb};
    k.dst = {cv::Mat(h, w, CV_8UC1), cv::Mat(h / 2, w / 2, CV_8UC2)};
    cv::Mat i420(h * 3 / 2, w, CV_8UC1);
    k.opencv = [rgb, i420]() mutable { cv::cvtColor(rgb, i420, cv::COLOR_RGB2YUV_I420); };
    k.copy_bytes = (Bytes(rgb) + Bytes(i420)) / 2;
    works.push_back(k);
  }
  for (int depth : {CV_8U, CV_16U}) {
    Work k{depth == CV_8U ? "bayer_to_bgr_u8" : "bayer_to_bgr_u16", kiln::BAYERBG2BGR, {}, {}, {}, 0};
    cv::Mat raw = RandomMat(h, w, CV_MAKETYPE(depth, 1));
    k.src = {raw};
    k.dst = {cv::Mat(h, w, CV_MAKETYPE(depth, 3))};
    cv::Mat out(h, w, CV_MAKETYPE(depth, 3));
    k.opencv = [raw, out]() mutable { cv::cvtColor(raw, out, cv::COLOR_BayerBGGR2BGR); };
    k.copy_bytes = (Bytes(raw) + Bytes(out)) / 2;
    works.push_back(k);
  }
  {
    Work k{"bgr_to_gray", kiln::BGR2GRAY, {}, {}, {}, 0};
    cv::Mat bgr = RandomMat(h, w, CV_8UC3);
    k.src = {bgr};
    k.dst = {cv::Mat(h, w, CV_8UC1)};
    cv::Mat out(h, w, CV_8UC1);
    k.opencv = [bgr, out]() mutable { cv::cvtColor(bgr, out, cv::COLOR_BGR2GRAY); };
    k.copy_bytes = (Bytes(bgr) + Bytes(out)) / 2;
    works.push_back(k);
  }
  {
    Work k{"bgr_to_rgb", kiln::BGR2RGB, {}, {}, {}, 0};
    cv::Mat bgr = RandomMat(h, w, CV_8UC3);
    k.src = {bgr};
    k.dst = {cv::Mat(h, w, CV_8UC3)};
    cv::Mat out(h, w, CV_8UC3);
    k.opencv = [bgr, out]() mutable { cv::cvtColor(bgr, out, cv::COLOR_BGR2RGB); };
    k.copy_bytes = Bytes(bgr);
    works.push_back(k);
  }
  return works;
}

void RunOurs(benchmark::State& state, Work* work, kiln::TargetInfo target, int threads) {
  kiln::Context* ctx = ContextFor(threads);
  if (ctx == nullptr) return state.SkipWithError("context failed");
  std::vector<kiln::Mat> src, dst;
  for (cv::Mat& m : work->src) src.push_back(View(ctx, m));
  for (cv::Mat& m : work->dst) dst.push_back(View(ctx, m));
  std::vector<kiln::Array*> src_list, dst_list;
  for (kiln::Mat& m : src) src_list.push_back(&m);
  for (kiln::Mat& m : dst) dst_list.push_back(&m);
  for (auto _ : state) {
    if (kiln::ICvtColor(ctx, src_list, dst_list, work->type, target) != 0) {
      return state.SkipWithError("ICvtColor failed");
    }
    benchmark::ClobberMemory();
  }
}

void RunOpenCv(benchmark::State& state, Work* work, int threads) {
  cv::setNumThreads(threads);
  for (auto _ : state) {
    work->opencv();
    benchmark::ClobberMemory();
  }
}

void RunMemcpy(benchmark::State& state, Work* work, int threads) {
  kiln::Context* ctx = ContextFor(threads);
  if (ctx == nullptr) return state.SkipWithError("context failed");
  std::vector<uint8_t> from(work->copy_bytes, 1), to(work->copy_bytes);
  const size_t block = (work->copy_bytes + kHeight - 1) / kHeight;
  const auto copy_rows = [&](int begin, int end) -> kiln::Status {
    for (int i = begin; i < end; ++i) {
      const size_t offset = block * i;
      if (offset >= from.size()) break;
      const size_t n = std::min(block, from.size() - offset);
      std::memcpy(to.data() + offset, from.data() + offset, n);
    }
    return 0;
  };
  for (auto _ : state) {
    ctx->GetWorkerpool()->ParallelFor(0, kHeight, copy_rows);
    benchmark::ClobberMemory();
  }
}

void RegisterAll() {
  for (Work& work : Works()) {
    for (int threads : {1, 2}) {
      const std::string suffix = "/threads:" + std::to_string(threads);
      // Names stay "<work>/<impl>/threads:<n>" for the side-by-side table; set
      // repetitions on the command line (--benchmark_repetitions=5).
      auto tune = [](benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMillisecond); };
      tune(benchmark::RegisterBenchmark((work.name + "/none" + suffix).c_str(), RunOurs, &work,
                                        kiln::TargetInfo(kiln::kTargetNone, true), threads));
      tune(benchmark::RegisterBenchmark((work.name + "/neon" + suffix).c_str(), RunOurs, &work,
                                        kiln::TargetInfo(kiln::kTargetNeon, false), threads));
      tune(benchmark::RegisterBenchmark((work.name + "/opencv" + suffix).c_str(), RunOpenCv, &work, threads));
      tune(benchmark::RegisterBenchmark((work.name + "/memcpy" + suffix).c_str(), RunMemcpy, &work, threads));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  return bench::RunSideBySide(argc, argv);
}
