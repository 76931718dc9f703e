// Side-by-side report for operator benchmarks: ours beside OpenCV, one run.
//
// Register every variant of one piece of work under the name
//   "<work>/<impl>/threads:<n>"
// with impl one of "none" (plain kernels on the pool), "neon", "opencv",
// "memcpy" (the same bytes copied, for memory-bound work). After the normal
// console output, SideBySideReporter prints one row per work and thread count:
// the median real time of each impl in ms and the ratios to OpenCV (and to
// memcpy when present).
#ifndef BENCH_COMMON_SIDE_BY_SIDE_H_
#define BENCH_COMMON_SIDE_BY_SIDE_H_

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace bench {

class SideBySideReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    benchmark::ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      // With repetitions only the median aggregate is kept; a single run
      // is taken as it is.
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      const std::string name = run.run_name.str();
      const size_t a = name.find('/');
      const size_t b = name.find('/', a + 1);
      if (a == std::string::npos) continue;
      const std::string work = name.substr(0, a);
      const std::string impl = name.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
      const std::string threads = b == std::string::npos ? "" : name.substr(b + 1);
      const double ms = run.GetAdjustedRealTime() * Scale(run.time_unit);
      Row& row = rows_[{work, threads}];
      if (run.run_type == Run::RT_Aggregate || row.ms.count(impl) == 0) row.ms[impl] = ms;
      if (order_.empty() || order_.back() != std::make_pair(work, threads)) {
        bool seen = false;
        for (const auto& k : order_) seen = seen || k == std::make_pair(work, threads);
        if (!seen) order_.emplace_back(work, threads);
      }
    }
  }

  void Finalize() override {
    benchmark::ConsoleReporter::Finalize();
    std::printf("\n%-44s %-11s %9s %9s %9s %9s %11s %11s %11s\n", "work", "threads", "none ms", "neon ms",
                "opencv ms", "memcpy ms", "none/cv", "neon/cv", "best/memcpy");
    for (const auto& key : order_) {
      const Row& row = rows_[key];
      const double none = Get(row, "none"), neon = Get(row, "neon"), cv = Get(row, "opencv"),
                   mc = Get(row, "memcpy");
      std::printf("%-44s %-11s %9s %9s %9s %9s %11s %11s %11s\n", key.first.c_str(), key.second.c_str(),
                  Num(none).c_str(), Num(neon).c_str(), Num(cv).c_str(), Num(mc).c_str(), Ratio(none, cv).c_str(),
                  Ratio(neon, cv).c_str(), Ratio(Best(none, neon), mc).c_str());
    }
    std::fflush(stdout);
  }

 private:
  struct Row {
    std::map<std::string, double> ms;
  };

  static double Scale(benchmark::TimeUnit unit) {
    switch (unit) {
      case benchmark::kNanosecond: return 1e-6;
      case benchmark::kMicrosecond: return 1e-3;
      case benchmark::kMillisecond: return 1.0;
      default: return 1e3;
    }
  }
  static double Get(const Row& row, const char* impl) {
    const auto it = row.ms.find(impl);
    return it == row.ms.end() ? -1.0 : it->second;
  }
  static double Best(double a, double b) {
    if (a < 0) return b;
    if (b < 0) return a;
    return a < b ? a : b;
  }
  static std::string Num(double v) {
    if (v < 0) return "-";
    char s[32];
    std::snprintf(s, sizeof(s), "%.3f", v);
    return s;
  }
  static std::string Ratio(double a, double b) {
    if (a < 0 || b <= 0) return "-";
    char s[32];
    std::snprintf(s, sizeof(s), "%.2fx", a / b);
    return s;
  }

  std::map<std::pair<std::string, std::string>, Row> rows_;
  std::vector<std::pair<std::string, std::string>> order_;
};

// main() for a benchmark program that prints the side-by-side table.
inline int RunSideBySide(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SideBySideReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace bench

#endif  // BENCH_COMMON_SIDE_BY_SIDE_H_
