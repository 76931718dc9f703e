// A HAL's captures through the exported functions, for end-to-end tests:
// the options' synthetic burst in a private device tree, a configuration
// written per capture, and the module's log (standard error on the host, as
// logcat on the device) kept in a file for the test to read.
#ifndef TESTS_TOOLS_NEVO_CAPTURE_HAL_CAPTURE_FIXTURE_H_
#define TESTS_TOOLS_NEVO_CAPTURE_HAL_CAPTURE_FIXTURE_H_

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "nevo/nevo.h"
#include "nevo_host/properties.h"
#include "tools/nevo_capture/burst_synth.h"
#include "tools/nevo_capture/capture_sysroot.h"
#include "tools/nevo_capture/hal_capture.h"

struct HalCaptureRun {
  nevo_capture::CaptureResult result;
  std::vector<uint16_t> output;
  double seconds = 0.0;
};

// Owns the scratch folder and, for the test's duration, standard error.
class HalCaptureFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/nevo_hal_capture_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    scratch_ = pattern;
    options_.width = 256;
    options_.height = 192;
    options_.shake = 0.0;  // the stand-ins merge without aligning
    options_.seed = 5;
    // Every line at debug level, through the platform log, in one order.
    NevoHostPropertySet("persist.vendor.camera.nevo.log_level", "2");
    NevoSetLogPrint(1, nullptr);
    std::fflush(stderr);
    saved_stderr_ = dup(2);
    const int log = open((scratch_ + "/log.txt").c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_APPEND, 0644);
    ASSERT_GE(log, 0);
    dup2(log, 2);
    close(log);
  }
  void TearDown() override {
    std::fflush(stderr);
    if (saved_stderr_ >= 0) {
      dup2(saved_stderr_, 2);
      close(saved_stderr_);
    }
    NevoSetLogPrint(0, nullptr);
    NevoHostPropertyClear();
    const std::string cmd = "rm -rf '" + scratch_ + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
  }

  // One capture of the options' burst; `section` and `global` are extra
  // keys of the algorithm's section (RAW output) and of "nevo".
  HalCaptureRun Take(const std::string& section, const std::string& global = "",
                     const NevoDepthParam* depth = nullptr) {
    const std::string name = nevo_capture::AlgoSectionName(options_.algo);
    const std::string path = scratch_ + "/nevo.json";
    std::ofstream(path) << R"({"nevo":{"timeout":)" << timeout_ms_ << global << R"(,"algo":{")" << name
                        << R"(":{"enable":1,"bypass":0,"input_format":0,"output_format":0)" << section
                        << R"(},"NEVO_DEPTH":{"bypass":0}}}})";
    options_.config_path = path;
    HalCaptureRun run;
    nevo_capture::CaptureSysroot sysroot;
    std::string error;
    EXPECT_TRUE(sysroot.Create(options_, &error)) << error;
    EXPECT_TRUE(nevo_capture::SynthesizeBurst(nevo_capture::BurstParamsFrom(options_), &burst_, &error)) << error;
    nevo_capture::HalCapture hal(options_, burst_, sysroot.output_format());
    hal.SetDepthParam(depth);
    const auto start = std::chrono::steady_clock::now();
    hal.Run(&run.result);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const nevo_capture::U16View view = hal.OutputView();
    if (view.data != nullptr) run.output.assign(view.data, view.data + view.width * view.height);
    return run;
  }
  // The module's EV0 fallback for the same burst, with the algorithm bypassed.
  std::vector<uint16_t> Ev0Fallback() { return Take(R"(,"bypass":1)").output; }

  // Index of the first log line so far containing every part, or -1.
  int LogIndex(std::initializer_list<const char*> parts) const {
    std::fflush(stderr);
    std::ifstream in(scratch_ + "/log.txt");
    std::string line;
    for (int i = 0; std::getline(in, line); ++i) {
      if (std::all_of(parts.begin(), parts.end(), [&](const char* p) { return line.find(p) != std::string::npos; })) {
        return i;
      }
    }
    return -1;
  }

  std::string scratch_;
  nevo_capture::CaptureOptions options_;
  nevo_capture::Burst burst_;
  int timeout_ms_ = 60000;

 private:
  int saved_stderr_ = -1;
};

#endif  // TESTS_TOOLS_NEVO_CAPTURE_HAL_CAPTURE_FIXTURE_H_
