// Test helpers of the EV0 correction: a private sysroot holding the
// correction JSON, an engine-like kiln context, and host images backed by
// vectors.
#ifndef TESTS_ALGO_NEVO_ALGO_CORRECT_IMAGE_CORRECT_IMAGE_TEST_ENV_H_
#define TESTS_ALGO_NEVO_ALGO_CORRECT_IMAGE_CORRECT_IMAGE_TEST_ENV_H_

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "kiln/ops/cvtcolor/cvtcolor.h"
#include "kiln/runtime/array/mat.h"
#include "kiln/runtime/context/context.h"
#include "kiln/runtime/memory/buffer.h"
#include "nevo/nevo.h"

namespace correct_image_test {

// Owned by one test fixture: a temporary directory named by NEVO_SYSROOT
// for its lifetime, removed with everything in it afterwards.
class Sysroot {
 public:
  Sysroot() {
    char pattern[] = "/tmp/nevo_correct_image_XXXXXX";
    const char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    root_ = made != nullptr ? made : "";
    setenv("NEVO_SYSROOT", root_.c_str(), 1);
  }
  ~Sysroot() {
    unsetenv("NEVO_SYSROOT");
    if (!root_.empty()) {
      EXPECT_EQ(std::system(("rm -rf '" + root_ + "'").c_str()), 0);
    }
  }
  Sysroot(const Sysroot&) = delete;
  Sysroot& operator=(const Sysroot&) = delete;

  // Writes the correction configuration file with this text.
  void WriteConfig(const std::string& text) const {
    const std::string dir = root_ + "/odm/etc/camera";
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0);
    std::ofstream(dir + "/nevo_correct_image.json") << text;
  }

 private:
  std::string root_;
};

// A context configured as the engine configures its own.
inline std::unique_ptr<kiln::Context> MakeEngineContext() {
  kiln::ContextConfig config;
  config.log_mode = 2;
  config.wp_name = "NEVO";
  config.compute_threads = 4;
  config.async_threads = 2;
  auto ctx = std::make_unique<kiln::Context>(config);
  EXPECT_EQ(ctx->Initialize(), 0);
  return ctx;
}

// The correction's tables (white balance, re-mosaic) and NevoBayerToRGB16
// take the demosaic codes with OpenCV's legacy names: BAYERRG2BGR turns an
// RGGB mosaic into R, G, B channel order (cv::COLOR_BayerRG2BGR does the
// same). True when kiln's operator does so.
inline bool DemosaicFollowsLegacyNaming() {
  kiln::ContextConfig config;
  config.log_mode = 3;
  kiln::Context ctx(config);
  if (ctx.Initialize() != 0) return false;
  kiln::Mat mosaic(&ctx, kiln::QX_U8, {4, 4, 1}, kiln::KILN_MEM_HEAP);
  kiln::Mat bgr(&ctx, kiln::QX_U8, {4, 4, 3}, kiln::KILN_MEM_HEAP);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const int cell = 2 * (y % 2) + x % 2;
      mosaic.Ptr<uint8_t>(y)[x] = static_cast<uint8_t>(cell == 0 ? 10 : (cell == 3 ? 30 : 20));  // R 10, B 30
    }
  }
  if (kiln::ICvtColor(&ctx, {&mosaic}, {&bgr}, kiln::BAYERRG2BGR, kiln::TargetInfo()) != 0) return false;
  return bgr.Ptr<uint8_t>(1)[3] == 10;
}

// Colour-order checks need the naming above; with the other naming they
// would only confirm swapped colours.
#define SKIP_UNLESS_LEGACY_BAYER_NAMING()                                                                  \
  do {                                                                                                     \
    if (!::correct_image_test::DemosaicFollowsLegacyNaming()) {                                            \
      GTEST_SKIP() << "kiln's BAYERRG2BGR does not give R, G, B order for an RGGB mosaic (OpenCV's legacy " \
                      "naming), which the correction's tables assume";                                     \
    }                                                                                                      \
  } while (0)

inline std::string Errors(const kiln::Context& ctx) { return ctx.GetLogger()->GetErrorBacktrace(); }

// A 16-bit host image over a vector it owns (tightly packed rows).
struct HostImage {
  std::vector<uint16_t> pixels;
  NevoImage img{};

  HostImage(int format, int width, int height, int pattern = NEVO_PATTERN_RGGB) {
    const int channels = format == NEVO_FORMAT_RAW ? 1 : 3;
    pixels.assign(static_cast<size_t>(width) * height * channels, 0);
    img.format = format;
    img.pattern = pattern;
    img.elem_type = NEVO_ELEM_U16;
    img.width = width;
    img.height = height;
    img.plane[0] = pixels.data();
    img.pitch[0] = width * channels * 2;
    for (int& fd : img.fd) fd = -1;
  }
  // img points into pixels: a copy would point into the wrong vector.
  HostImage(const HostImage&) = delete;
  HostImage& operator=(const HostImage&) = delete;
  HostImage(HostImage&&) = default;

  int Channels() const { return img.format == NEVO_FORMAT_RAW ? 1 : 3; }
  uint16_t& At(int y, int x, int c = 0) {
    return pixels[(static_cast<size_t>(y) * img.width + x) * Channels() + c];
  }
};

}  // namespace correct_image_test

#endif  // TESTS_ALGO_NEVO_ALGO_CORRECT_IMAGE_CORRECT_IMAGE_TEST_ENV_H_
