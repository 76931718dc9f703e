// nevo-capture: plays the camera HAL against libnevo.so on a synthetic burst
// and writes what came out (see --help).
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "nevo/nevo.h"
#include "nevo_host/properties.h"
#include "tools/nevo_capture/burst_synth.h"
#include "tools/nevo_capture/capture_options.h"
#include "tools/nevo_capture/capture_report.h"
#include "tools/nevo_capture/capture_sysroot.h"
#include "tools/nevo_capture/hal_capture.h"
#include "tools/nevo_capture/png_writer.h"
#include "tools/nevo_capture/preview.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using nevo_capture::TimedStep;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr const char* kLogLevelProp = "persist.vendor.camera.nevo.log_level";
constexpr const char* kDumpProp = "persist.vendor.camera.nevo.dump";

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool PropGiven(const nevo_capture::CaptureOptions& o, const char* name) {
  for (const auto& prop : o.props) {
    if (prop.first == name) return true;
  }
  return false;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "nevo-capture: %s\n", message.c_str());
  return kExitFailure;
}

// Copies the module's dump tree out of the sysroot before it is removed.
int CopyDumps(const std::string& from, const std::string& to, std::string* error) {
  std::error_code ec;
  fs::create_directories(to, ec);
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
  if (ec) {
    *error = "cannot copy dumps from " + from + " to " + to + ": " + ec.message();
    return -1;
  }
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(to, ec)) files += entry.is_regular_file() ? 1 : 0;
  return files;
}

bool WritePreview(const std::string& path, const nevo_capture::Rgb8Image& image, std::string* error) {
  return nevo_capture::WritePngRgb8(path, image, error);
}

}  // namespace

int main(int argc, char** argv) {
  nevo_capture::CaptureOptions options;
  std::string error;
  switch (nevo_capture::ParseOptions(argc, argv, &options, &error)) {
    case nevo_capture::ParseStatus::kHelp:
      std::fputs(nevo_capture::HelpText().c_str(), stdout);
      return 0;
    case nevo_capture::ParseStatus::kError:
      std::fprintf(stderr, "nevo-capture: %s\n", error.c_str());
      return kExitUsage;
    case nevo_capture::ParseStatus::kRun:
      break;
  }
  std::vector<TimedStep> steps;

  Clock::time_point t = Clock::now();
  nevo_capture::Burst burst;
  if (!nevo_capture::SynthesizeBurst(nevo_capture::BurstParamsFrom(options), &burst, &error)) {
    std::fprintf(stderr, "nevo-capture: %s\n", error.c_str());
    return kExitUsage;
  }
  steps.push_back({"synthesis", 0, MsSince(t), false});

  std::error_code ec;
  fs::create_directories(options.out_dir, ec);
  if (ec) return Fail("cannot create output folder " + options.out_dir + ": " + ec.message());
  const std::string out_dir = fs::absolute(options.out_dir, ec).lexically_normal().string();

  nevo_capture::CaptureSysroot sysroot;
  if (!sysroot.Create(options, &error)) return Fail(error);

  // Properties go in before the handle exists: the engine reads them when
  // it is built.
  if (!PropGiven(options, kLogLevelProp)) NevoHostPropertySet(kLogLevelProp, std::to_string(options.log_level).c_str());
  if (options.dump && !PropGiven(options, kDumpProp)) NevoHostPropertySet(kDumpProp, "1");
  for (const auto& prop : options.props) {
    if (NevoHostPropertySet(prop.first.c_str(), prop.second.c_str()) != 0) {
      return Fail("cannot set property " + prop.first);
    }
  }
  NevoSetLogPrint(1, &nevo_capture::StderrLogPrint);

  std::printf("nevo-capture: %s, %s, %zu frames %dx%d %d-bit, ISO %.0f, seed %llu\n", NevoGetVersion(),
              nevo_capture::AlgoSectionName(options.algo).c_str(), burst.frames.size(), burst.params.width,
              burst.params.height, burst.params.bits, burst.params.iso,
              static_cast<unsigned long long>(burst.params.seed));

  nevo_capture::HalCapture capture(options, burst, sysroot.output_format());
  nevo_capture::CaptureResult result;
  const bool ok = capture.Run(&result);
  steps.insert(steps.end(), result.calls.begin(), result.calls.end());

  bool written = true;
  const std::string input_png = out_dir + "/input_ev0.png";
  const std::string output_png = out_dir + "/output.png";
  t = Clock::now();
  const nevo_capture::U16View anchor = capture.AnchorView();
  if (anchor.data != nullptr) {
    written = WritePreview(input_png,
                           nevo_capture::PreviewFromRaw(anchor, burst.params.pattern, burst.levels, burst.wb_gain,
                                                        &burst.lsc),
                           &error) &&
              written;
  }
  const bool have_output = ok && !options.select;
  if (have_output) {
    const nevo_capture::U16View out = capture.OutputView();
    const nevo_capture::Rgb8Image preview =
        out.channels == 1 ? nevo_capture::PreviewFromRaw(out, capture.output_image().pattern,
                                                         nevo_capture::AutoRawLevels(out, burst.levels),
                                                         burst.wb_gain, nullptr)
                          : nevo_capture::PreviewFromRgb16(out);
    written = WritePreview(output_png, preview, &error) && written;
    written = nevo_capture::WriteRawImage(out_dir, "output", capture.output_image(), out, &error) && written;
  }
  steps.push_back({"previews and raw", 0, MsSince(t), false});
  written = nevo_capture::WriteTextFile(out_dir + "/status.txt", result.exif, &error) && written;

  const std::string timing = nevo_capture::TimingText(steps);
  written = nevo_capture::WriteTextFile(out_dir + "/timing.txt", timing, &error) && written;
  std::fputs(timing.c_str(), stdout);

  if (options.dump) {
    std::string dump_error;
    const int files = CopyDumps(sysroot.DumpDir(), out_dir + "/nevo_dump", &dump_error);
    if (files < 0) return Fail(dump_error);
    std::printf("dumps:          %s/nevo_dump (%d files)\n", out_dir.c_str(), files);
  }
  if (result.anchor_calls > 0) {
    std::printf("anchor:         frame %d (reported %d time%s)\n", result.anchor_reported, result.anchor_calls,
                result.anchor_calls == 1 ? "" : "s");
  }
  if (options.select && ok) std::printf("selected anchor: frame %d\n", result.selected_anchor);
  if (!ok) {
    if (result.failed_call == "HAL buffers") return Fail("could not allocate the HAL buffers");
    return Fail(result.failed_call + " failed with status " + std::to_string(result.status));
  }
  if (!written) return Fail(error);
  std::printf("status:         %s/status.txt\n", out_dir.c_str());
  std::printf("timing:         %s/timing.txt\n", out_dir.c_str());
  if (have_output) {
    std::printf("output preview: %s\n", output_png.c_str());
    std::printf("raw output:     %s/output.raw (+ output.json)\n", out_dir.c_str());
  }
  std::printf("input preview:  %s\n", input_png.c_str());
  return 0;
}
