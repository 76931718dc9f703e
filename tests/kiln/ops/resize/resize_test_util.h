// Test images for the resize tests: exactly sized buffers (so ASan sees any
// access past the last row), random contents per element type, optional
// padding bytes after each row (rounded up to whole elements) that must stay
// untouched.
#ifndef TESTS_KILN_OPS_RESIZE_RESIZE_TEST_UTIL_H_
#define TESTS_KILN_OPS_RESIZE_RESIZE_TEST_UTIL_H_

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kiln/ops/resize/src/resize_common.h"
#include "kiln/runtime/array/mat.h"
#include "kiln/runtime/context/context.h"

namespace resize_test {

inline std::unique_ptr<kiln::Context> MakeContext(int compute_threads) {
  kiln::ContextConfig config;
  config.log_mode = kiln::kLogModeNone;
  config.wp_name = "RSZ";
  config.compute_threads = compute_threads;
  config.async_threads = 0;
  std::unique_ptr<kiln::Context> ctx(new kiln::Context(config));
  return ctx->Initialize() == 0 ? std::move(ctx) : nullptr;
}

constexpr uint8_t kCanary = 0xA5;

// One interleaved image in a buffer of exactly height x pitch bytes.
struct TestImage {
  TestImage(kiln::ElemType type_, int32_t w, int32_t h, int32_t c, int32_t pad_bytes = 0)
      : type(type_), width(w), height(h), channels(c) {
    row_bytes = static_cast<int64_t>(w) * c * kiln::ElemTypeSize(type);
    // Padding keeps rows aligned to their elements, as every real buffer is.
    const int32_t elem = kiln::ElemTypeSize(type) > 0 ? kiln::ElemTypeSize(type) : 1;
    pitch = row_bytes + (pad_bytes + elem - 1) / elem * elem;
    bytes.assign(static_cast<size_t>(pitch * h), kCanary);
  }

  kiln::resize::ImagePlane Plane() {
    kiln::resize::ImagePlane p;
    p.data = bytes.data();
    p.width = width;
    p.height = height;
    p.channels = channels;
    p.pitch = pitch;
    return p;
  }

  // A Mat describing the buffer (no copy).
  kiln::Mat Wrap(kiln::Context* ctx) {
    return kiln::Mat(ctx, type, {height, width, channels}, bytes.data(), {0, static_cast<int32_t>(pitch)});
  }

  uint8_t* Row(int32_t y) { return bytes.data() + y * pitch; }

  // Random pixels; float types get finite values of both signs (F16 never
  // produces infinities or NaNs).
  void Randomize(std::mt19937& rng) {
    for (int32_t y = 0; y < height; ++y) {
      uint8_t* row = Row(y);
      if (type == kiln::QX_F32) {
        std::uniform_real_distribution<float> dist(-1000.f, 1000.f);
        for (int64_t i = 0; i < row_bytes / 4; ++i) {
          const float v = dist(rng);
          std::memcpy(row + 4 * i, &v, 4);
        }
      } else if (type == kiln::QX_F16) {
        std::uniform_int_distribution<int> dist(0, 0xffff);
        for (int64_t i = 0; i < row_bytes / 2; ++i) {
          uint16_t h = static_cast<uint16_t>(dist(rng));
          if ((h & 0x7c00) == 0x7c00) h &= 0xbfff;  // keep it finite
          std::memcpy(row + 2 * i, &h, 2);
        }
      } else {
        std::uniform_int_distribution<int> dist(0, 255);
        for (int64_t i = 0; i < row_bytes; ++i) row[i] = static_cast<uint8_t>(dist(rng));
      }
    }
  }

  // The pixel bytes only (padding excluded).
  std::vector<uint8_t> Pixels() const {
    std::vector<uint8_t> out;
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* row = bytes.data() + y * pitch;
      out.insert(out.end(), row, row + row_bytes);
    }
    return out;
  }

  bool PaddingIntact() const {
    for (int32_t y = 0; y < height; ++y) {
      for (int64_t i = row_bytes; i < pitch; ++i) {
        if (bytes[static_cast<size_t>(y * pitch + i)] != kCanary) return false;
      }
    }
    return true;
  }

  kiln::ElemType type;
  int32_t width, height, channels;
  int64_t row_bytes = 0;
  int64_t pitch = 0;
  std::vector<uint8_t> bytes;
};

// Index of the first differing byte of two equally sized images, or -1.
inline int64_t FirstDifference(const TestImage& a, const TestImage& b) {
  const std::vector<uint8_t> pa = a.Pixels();
  const std::vector<uint8_t> pb = b.Pixels();
  if (pa.size() != pb.size()) return 0;
  for (size_t i = 0; i < pa.size(); ++i) {
    if (pa[i] != pb[i]) return static_cast<int64_t>(i);
  }
  return -1;
}

inline const char* TypeText(kiln::ElemType type) { return kiln::ElemTypeName(type); }

}  // namespace resize_test

#endif  // TESTS_KILN_OPS_RESIZE_RESIZE_TEST_UTIL_H_
