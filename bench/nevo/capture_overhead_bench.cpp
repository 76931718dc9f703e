// What the module itself costs a capture: Init, Start, eight AddFrame, Run
// and Unit on one handle, for an 8-frame 4000 x 3000 12-bit HDR burst with
// RAW 16-bit output. The HDR stand-in is told to skip its merge, so the time
// left is ours. Counters: the wall time of each exported call (µs per
// capture) and how many of the frames the library received were copies
// rather than the HAL's own buffers.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/common/side_by_side.h"
#include "hostsim/vendor/libqx_hdr_raw/qx_hdr_raw_stub.h"
#include "nevo/nevo.h"
#include "nevo_host/properties.h"
#include "qx_hdr_raw.h"
#include "tools/nevo_capture/burst_synth.h"
#include "tools/nevo_capture/capture_options.h"
#include "tools/nevo_capture/capture_sysroot.h"
#include "tools/nevo_capture/hal_buffer.h"
#include "tools/nevo_capture/hal_records.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using nevo_capture::Burst;
using nevo_capture::CaptureOptions;
using nevo_capture::HalBuffer;

constexpr int kFrames = 8;
constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr const char* kDumpProp = "persist.vendor.camera.nevo.dump";

// The first frame also takes the output record and the last one submits the
// run, so they are timed apart from the frames in between (mean of those).
enum Call { kInit, kStart, kAddFirst, kAddMiddle, kAddLast, kRun, kUnit, kCallCount };
constexpr const char* kCallCounters[kCallCount] = {"init_us",      "start_us", "add_first_us", "add_middle_us",
                                                   "add_last_us", "run_us",   "unit_us"};

CaptureOptions Options() {
  CaptureOptions o;
  o.algo = NEVO_HDR;
  o.frames = kFrames;
  o.frames_given = true;
  o.ev = nevo_capture::DefaultEvList(o.algo, kFrames);
  o.width = kWidth;
  o.height = kHeight;
  o.bits = 12;
  o.shake = 0.0;
  return o;
}

// Rendered once for the whole program: synthesis takes seconds.
const Burst& SharedBurst() {
  static const Burst burst = [] {
    Burst b;
    std::string error;
    if (!nevo_capture::SynthesizeBurst(nevo_capture::BurstParamsFrom(Options()), &b, &error)) {
      std::fprintf(stderr, "burst synthesis failed: %s\n", error.c_str());
    }
    return b;
  }();
  return burst;
}

QxHdrStubControlFn StubControl() {
  // Loaded by name so the module's own dlopen gets this same instance.
  static const QxHdrStubControlFn fn = [] {
    void* lib = dlopen("libqx_hdr_raw.so", RTLD_NOW);
    return lib == nullptr ? nullptr : reinterpret_cast<QxHdrStubControlFn>(dlsym(lib, kQxHdrStubControl));
  }();
  return fn;
}

int OnAnchor(int* frame_index, void* user_data) {
  if (frame_index == nullptr || user_data == nullptr) return -1;
  static_cast<std::atomic<int>*>(user_data)->fetch_add(1);
  return 0;
}

// Owned by one benchmark run: the device tree, the HAL's buffers and records
// and one module handle. Single-threaded apart from the anchor callback,
// which only bumps an atomic.
class OverheadRig {
 public:
  bool Build(bool dump, bool clone_input, std::string* error) {
    const Burst& burst = SharedBurst();
    if (static_cast<int>(burst.frames.size()) != kFrames) return *error = "no burst", false;
    const CaptureOptions options = Options();
    if (!sysroot_.Create(options, error)) return false;
    const std::string config = std::string(R"({"nevo":{"algo":{"NEVO_HDR":{"enable":1,"bypass":0,)") +
                               R"("input_format":0,"output_format":0,"clone_input":)" +
                               (clone_input ? "1" : "0") + "}}}}\n";
    std::ofstream(sysroot_.root() + "/odm/etc/camera/nevo.json", std::ios::trunc) << config;

    const size_t frame_bytes = nevo_capture::ImageBytes(NEVO_FORMAT_RAW, kWidth, kHeight);
    inputs_.resize(kFrames);
    for (int i = 0; i < kFrames; ++i) {
      if (!inputs_[i].Allocate(frame_bytes, "bench-input")) return *error = "input allocation", false;
      std::memcpy(inputs_[i].data(), burst.frames[i].raw.data(), frame_bytes);
    }
    if (!output_buffer_.Allocate(frame_bytes, "bench-output")) return *error = "output allocation", false;
    std::memset(&output_, 0, sizeof(output_));
    output_.img_num = 1;
    output_.img[0] = nevo_capture::DescribeImage(NEVO_FORMAT_RAW, burst.params.pattern, kWidth, kHeight,
                                                 output_buffer_.data(), output_buffer_.fd());
    init_ = std::make_unique<NevoInitParam>();
    start_ = std::make_unique<NevoStartParam>();
    records_.resize(kFrames);
    const uint64_t capture_ns = 1700000000ull * 1000000000ull;
    nevo_capture::FillInitParam(options, burst, "IMG_20250101_120000.jpg", init_.get());
    nevo_capture::FillStartParam(options, burst, capture_ns, start_.get());
    for (int i = 0; i < kFrames; ++i) {
      nevo_capture::FillFrame(burst, i, capture_ns, inputs_[i].data(), inputs_[i].fd(), &records_[i]);
    }

    NevoSetLogPrint(0, nullptr);
    NevoHostPropertyUnset("persist.vendor.camera.nevo.log_level");
    if (dump) {
      NevoHostPropertySet(kDumpProp, "1");
    } else {
      NevoHostPropertyUnset(kDumpProp);
    }
    NevoConfig config_rec;
    std::memset(&config_rec, 0, sizeof(config_rec));
    int status = 0;
    handle_ = NevoCreate(&config_rec, &status);
    NevoHostPropertyUnset(kDumpProp);
    if (handle_ == nullptr) return *error = "NevoCreate failed: " + std::to_string(status), false;

    const QxHdrStubControlFn control = StubControl();
    if (control == nullptr) return *error = "libqx_hdr_raw.so control not found", false;
    control("reset", nullptr, 0, nullptr);
    control("skip_work", nullptr, 1, nullptr);
    return true;
  }

  ~OverheadRig() {
    if (handle_ != nullptr) NevoDestroy(&handle_);
    if (StubControl() != nullptr) StubControl()("reset", nullptr, 0, nullptr);
  }

  // One capture; adds each call's wall time to `us`. Non-zero: the first
  // failing status.
  int Capture(double us[kCallCount]) {
    auto timed = [&](Call call, auto fn) {
      const Clock::time_point t0 = Clock::now();
      const int status = fn();
      us[call] += std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
      return status;
    };
    int status = timed(kInit, [&] { return NevoInit(handle_, init_.get()); });
    if (status == 0) status = timed(kStart, [&] { return NevoStart(handle_, start_.get(), &OnAnchor, &anchors_); });
    for (int i = 0; status == 0 && i < kFrames; ++i) {
      const Call call = i == 0 ? kAddFirst : (i == kFrames - 1 ? kAddLast : kAddMiddle);
      status = timed(call, [&] { return NevoAddFrame(handle_, &records_[i], &output_); });
    }
    if (status == 0) status = timed(kRun, [&] { return NevoRun(handle_); });
    const int unit = timed(kUnit, [&] { return NevoUnit(handle_); });
    return status != 0 ? status : unit;
  }

  // Frames of the last capture the library saw somewhere other than in the
  // HAL's buffer; -1 when the stand-in cannot say.
  int FrameCopies() const {
    int copies = 0;
    for (int i = 0; i < kFrames; ++i) {
      HDR_RAW_OFFSCREEN seen;
      std::memset(&seen, 0, sizeof(seen));
      if (StubControl()("image", nullptr, i, &seen) != 0 || seen.plane[0] == nullptr) return -1;
      if (seen.plane[0] != inputs_[i].data()) ++copies;
    }
    return copies;
  }

  // Dumped files; the folder is emptied so a long run does not fill the disk.
  int ClearDumps() const {
    int files = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(sysroot_.DumpDir(), ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      if (it->is_regular_file()) ++files;
    }
    for (const auto& entry : fs::directory_iterator(sysroot_.DumpDir(), ec)) fs::remove_all(entry.path(), ec);
    return files;
  }

  int anchor_calls() const { return anchors_.load(); }

 private:
  nevo_capture::CaptureSysroot sysroot_;
  std::vector<HalBuffer> inputs_;
  HalBuffer output_buffer_;
  NevoOutput output_{};
  std::unique_ptr<NevoInitParam> init_;
  std::unique_ptr<NevoStartParam> start_;
  std::vector<NevoFrame> records_;
  NevoHandle handle_ = nullptr;
  std::atomic<int> anchors_{0};
};

void BM_CaptureOverhead(benchmark::State& state, bool dump, bool clone_input) {
  OverheadRig rig;
  std::string error;
  if (!rig.Build(dump, clone_input, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  const QxHdrStubControlFn control = StubControl();
  // The first capture loads the vendor library and starts the pool.
  double us[kCallCount] = {};
  if (const int status = rig.Capture(us); status != 0) {
    state.SkipWithError(("warm-up capture failed: " + std::to_string(status)).c_str());
    return;
  }
  rig.ClearDumps();
  std::fill(us, us + kCallCount, 0.0);
  const int process_before = control("calls", "ZRV_HDR_RAW_Process", 0, nullptr);
  const int anchors_before = rig.anchor_calls();
  int dumped = 0;
  for (auto _ : state) {
    const int status = rig.Capture(us);
    if (status != 0) {
      state.SkipWithError(("capture failed: " + std::to_string(status)).c_str());
      break;
    }
    if (dump) {
      state.PauseTiming();
      dumped += rig.ClearDumps();
      state.ResumeTiming();
    }
  }
  const double n = static_cast<double>(state.iterations());
  // Every capture must have reached the stand-in and reported its anchor,
  // or the figures would time a bypass.
  if (control("calls", "ZRV_HDR_RAW_Process", 0, nullptr) - process_before != static_cast<int>(n) ||
      rig.anchor_calls() - anchors_before != static_cast<int>(n)) {
    state.SkipWithError("captures did not all run the HDR library");
    return;
  }
  if (dump && dumped == 0) {
    state.SkipWithError("dumps on but nothing was dumped");
    return;
  }
  for (int c = 0; c < kCallCount; ++c) state.counters[kCallCounters[c]] = us[c] / n;
  state.counters["add_middle_us"] = us[kAddMiddle] / n / (kFrames - 2);
  state.counters["add_frames_us"] = (us[kAddFirst] + us[kAddMiddle] + us[kAddLast]) / n;
  state.counters["frame_copies"] = rig.FrameCopies();
  if (dump) state.counters["dump_files"] = dumped / n;
}

}  // namespace

int main(int argc, char** argv) {
  // Work names carry the dump and clone settings so the side-by-side table
  // keeps the variants apart.
  struct Variant {
    const char* name;
    bool dump, clone_input;
    int iterations, repetitions;  // 0 iterations: let the library choose
  };
  static const Variant kVariants[] = {
      {"hdr8_4000x3000_dump0_clone0/none/threads:1", false, false, 0, 5},
      {"hdr8_4000x3000_dump0_clone1/none/threads:1", false, true, 10, 3},
      {"hdr8_4000x3000_dump1_clone0/none/threads:1", true, false, 3, 3},
  };
  for (const Variant& v : kVariants) {
    auto* b = benchmark::RegisterBenchmark(v.name, BM_CaptureOverhead, v.dump, v.clone_input)
                  ->Unit(benchmark::kMicrosecond)
                  ->UseRealTime()
                  ->Repetitions(v.repetitions)
                  ->ReportAggregatesOnly(true);
    if (v.iterations > 0) b->Iterations(v.iterations);
  }
  return bench::RunSideBySide(argc, argv);
}
