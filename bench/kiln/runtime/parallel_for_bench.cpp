// kiln ParallelFor against OpenCV's parallel_for_ on the same work and the
// same number of threads: dispatch cost of an empty loop, and a memory-bound
// row loop (saturating add of two 12-megapixel U16 images, one row per index).
// Prints Google Benchmark's lines, then a side-by-side table with the ratio.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kiln/runtime/context/context.h"

namespace {

constexpr int kDispatchRange = 1000;
constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// One context per worker count: the caller plus workers - 1 compute threads,
// as OpenCV with setNumThreads(workers) uses the caller plus workers - 1.
kiln::WorkerPool* Pool(int workers) {
  static std::map<int, std::unique_ptr<kiln::Context>> contexts;
  std::unique_ptr<kiln::Context>& ctx = contexts[workers];
  if (!ctx) {
    kiln::ContextConfig config;
    config.log_mode = kiln::kLogModeNone;
    config.wp_name = "BENCH";
    config.compute_threads = workers - 1;
    ctx = std::make_unique<kiln::Context>(config);
    if (ctx->Initialize() != 0) return nullptr;
  }
  return ctx->GetWorkerpool().get();
}

struct Images {
  Images() : a(size_t{kWidth} * kHeight), b(a.size()), dst(a.size()) {
    uint32_t seed = 12345;
    for (size_t i = 0; i < a.size(); ++i) {
      seed = seed * 1664525u + 1013904223u;
      a[i] = static_cast<uint16_t>(seed >> 16);
      b[i] = static_cast<uint16_t>(seed >> 8);
    }
  }
  std::vector<uint16_t> a, b, dst;
};

Images& TestImages() {
  static Images images;
  return images;
}

// The same kernel for both runners: only the loop distribution differs.
inline void AddRowsSaturate(const Images& im, uint16_t* dst, int row_begin, int row_end) {
  for (int y = row_begin; y < row_end; ++y) {
    const uint16_t* a = im.a.data() + size_t{kWidth} * y;
    const uint16_t* b = im.b.data() + size_t{kWidth} * y;
    uint16_t* d = dst + size_t{kWidth} * y;
    for (int x = 0; x < kWidth; ++x) {
      const uint32_t s = uint32_t{a[x]} + b[x];
      d[x] = static_cast<uint16_t>(s > 0xFFFFu ? 0xFFFFu : s);
    }
  }
}

void BM_Dispatch_Kiln(benchmark::State& state) {
  kiln::WorkerPool* pool = Pool(static_cast<int>(state.range(0)));
  if (pool == nullptr) return state.SkipWithError("context failed");
  for (auto _ : state) {
    const kiln::Status s = pool->ParallelFor(0, kDispatchRange, [](int i, int) -> kiln::Status {
      benchmark::DoNotOptimize(i);
      return 0;
    });
    benchmark::DoNotOptimize(s);
  }
}

void BM_Dispatch_OpenCV(benchmark::State& state) {
  cv::setNumThreads(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    // The same per-index work as ours: one empty body per index of the stripe.
    cv::parallel_for_(cv::Range(0, kDispatchRange), [](const cv::Range& r) {
      for (int i = r.start; i < r.end; ++i) benchmark::DoNotOptimize(i);
    });
  }
}

void BM_RowAdd_Kiln(benchmark::State& state) {
  kiln::WorkerPool* pool = Pool(static_cast<int>(state.range(0)));
  if (pool == nullptr) return state.SkipWithError("context failed");
  Images& im = TestImages();
  for (auto _ : state) {
    const kiln::Status s = pool->ParallelFor(
        0, kHeight,
        [](const Images* images, uint16_t* dst, int y0, int y1) -> kiln::Status {
          AddRowsSaturate(*images, dst, y0, y1);
          return 0;
        },
        &im, im.dst.data());
    benchmark::DoNotOptimize(s);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kWidth} * kHeight * 2 * 3);
}

void BM_RowAdd_OpenCV(benchmark::State& state) {
  cv::setNumThreads(static_cast<int>(state.range(0)));
  Images& im = TestImages();
  for (auto _ : state) {
    cv::parallel_for_(cv::Range(0, kHeight),
                      [&im](const cv::Range& r) { AddRowsSaturate(im, im.dst.data(), r.start, r.end); });
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kWidth} * kHeight * 2 * 3);
}

// Interleaved so that both runners see the same state of the machine.
BENCHMARK(BM_Dispatch_Kiln)->Arg(1)->Arg(2)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime();
BENCHMARK(BM_Dispatch_OpenCV)->Arg(1)->Arg(2)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime();
BENCHMARK(BM_RowAdd_Kiln)->Arg(1)->Arg(2)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime()->Unit(
    benchmark::kMillisecond);
BENCHMARK(BM_RowAdd_OpenCV)->Arg(1)->Arg(2)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime()->Unit(
    benchmark::kMillisecond);

// Keeps the median real time of every run, keyed by family and argument.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      const std::string name = run.run_name.function_name;
      const std::string args = run.run_name.args;
      medians_[name][args] = {run.GetAdjustedRealTime(), benchmark::GetTimeUnitString(run.time_unit)};
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintTable() const {
    std::printf("\n%-38s %7s %14s %14s %12s\n", "work", "workers", "kiln", "OpenCV", "kiln/OpenCV");
    PrintPair("dispatch: empty 1000-index loop", "BM_Dispatch_Kiln", "BM_Dispatch_OpenCV");
    PrintPair("row loop: U16 12 MP saturating add", "BM_RowAdd_Kiln", "BM_RowAdd_OpenCV");
  }

 private:
  struct Time {
    double value;
    std::string unit;
  };

  void PrintPair(const char* work, const std::string& ours, const std::string& theirs) const {
    const auto a = medians_.find(ours);
    const auto b = medians_.find(theirs);
    if (a == medians_.end() || b == medians_.end()) return;
    for (const auto& entry : a->second) {
      const auto other = b->second.find(entry.first);
      if (other == b->second.end()) continue;
      const Time& k = entry.second;
      const Time& o = other->second;
      std::printf("%-38s %7s %11.3f %-2s %11.3f %-2s %12.2f\n", work, entry.first.c_str(), k.value, k.unit.c_str(),
                  o.value, o.unit.c_str(), k.value / o.value);
    }
  }

  std::map<std::string, std::map<std::string, Time>> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TestImages();  // allocate and fill outside the timed runs
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintTable();
  benchmark::Shutdown();
  return 0;
}
