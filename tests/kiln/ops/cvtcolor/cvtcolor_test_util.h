// Shared helpers of the CvtColor tests: a quiet context, exact-size images
// (so ASan sees any access past the last pixel) and the error history.
#ifndef TESTS_KILN_OPS_CVTCOLOR_CVTCOLOR_TEST_UTIL_H_
#define TESTS_KILN_OPS_CVTCOLOR_CVTCOLOR_TEST_UTIL_H_

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kiln/runtime/array/mat.h"
#include "kiln/runtime/context/context.h"

namespace cvtcolor_test {

inline std::unique_ptr<kiln::Context> MakeContext(int compute_threads) {
  kiln::ContextConfig config;
  config.log_mode = kiln::kLogModeNone;
  config.wp_name = "CVT";
  config.compute_threads = compute_threads;
  config.async_threads = 0;
  std::unique_ptr<kiln::Context> ctx(new kiln::Context(config));
  if (ctx->Initialize() != 0) ctx.reset();
  return ctx;
}

// An image in a heap block of exactly h rows of `pitch` bytes, the last one
// cut right after its pixels; wraps itself as a Mat on demand.
template <typename T>
class Image {
 public:
  Image(int h, int w, int c, int pad_bytes = 0)
      : h_(h), w_(w), c_(c), pitch_(static_cast<int64_t>(w) * c * sizeof(T) + pad_bytes) {
    const int64_t bytes = h > 0 ? (h - 1) * pitch_ + static_cast<int64_t>(w) * c * sizeof(T) : 0;
    data_.reset(new uint8_t[bytes > 0 ? bytes : 1]);
    bytes_ = bytes;
    std::memset(data_.get(), 0, static_cast<size_t>(bytes_ > 0 ? bytes_ : 1));
  }

  int h() const { return h_; }
  int w() const { return w_; }
  int c() const { return c_; }
  int64_t pitch() const { return pitch_; }
  T* row(int y) { return reinterpret_cast<T*>(data_.get() + y * pitch_); }
  const T* row(int y) const { return reinterpret_cast<const T*>(data_.get() + y * pitch_); }
  T& at(int y, int x, int ch = 0) { return row(y)[x * c_ + ch]; }
  T at(int y, int x, int ch = 0) const { return row(y)[x * c_ + ch]; }
  uint8_t* bytes() { return data_.get(); }

  void Fill(T value) {
    for (int y = 0; y < h_; ++y) {
      for (int x = 0; x < w_ * c_; ++x) row(y)[x] = value;
    }
  }
  void FillRandom(std::mt19937& rng, uint32_t max_value) {
    std::uniform_int_distribution<uint32_t> dist(0, max_value);
    for (int y = 0; y < h_; ++y) {
      for (int x = 0; x < w_ * c_; ++x) row(y)[x] = static_cast<T>(dist(rng));
    }
  }
  // Pixel bytes only (padding ignored).
  bool SamePixels(const Image& other) const {
    if (other.h_ != h_ || other.w_ != w_ || other.c_ != c_) return false;
    for (int y = 0; y < h_; ++y) {
      if (std::memcmp(row(y), other.row(y), static_cast<size_t>(w_) * c_ * sizeof(T)) != 0) return false;
    }
    return true;
  }
  // First differing element as "y,x,ch: a vs b", empty when equal.
  std::string FirstDifference(const Image& other) const {
    for (int y = 0; y < h_; ++y) {
      for (int x = 0; x < w_ * c_; ++x) {
        if (row(y)[x] != other.row(y)[x]) {
          return std::to_string(y) + "," + std::to_string(x / c_) + "," + std::to_string(x % c_) + ": " +
                 std::to_string(row(y)[x]) + " vs " + std::to_string(other.row(y)[x]);
        }
      }
    }
    return std::string();
  }

  kiln::Mat AsMat(kiln::Context* ctx, kiln::ElemType elem_type) {
    return kiln::Mat(ctx, elem_type, kiln::Sizes{h_, w_, c_}, data_.get(),
                     kiln::Strides{0, static_cast<int32_t>(pitch_)});
  }

 private:
  int h_;
  int w_;
  int c_;
  int64_t pitch_;
  int64_t bytes_ = 0;
  std::unique_ptr<uint8_t[]> data_;
};

using Image8 = Image<uint8_t>;
using Image16 = Image<uint16_t>;

inline std::string Backtrace(const kiln::Context& ctx) { return ctx.GetLogger()->GetErrorBacktrace(); }

// The recorded messages, oldest first.
inline std::vector<std::string> Messages(const kiln::Context& ctx) {
  std::vector<std::string> out;
  const std::string text = Backtrace(ctx);
  size_t pos = 0;
  while ((pos = text.find("] : ", pos)) != std::string::npos) {
    pos += 4;
    const size_t end = text.find('\n', pos);
    out.push_back(text.substr(pos, end - pos));
    pos = end;
  }
  return out;
}

}  // namespace cvtcolor_test

#endif  // TESTS_KILN_OPS_CVTCOLOR_CVTCOLOR_TEST_UTIL_H_
