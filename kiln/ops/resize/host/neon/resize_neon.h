// kiln::ResizeNeon: the vector resize, always on the worker pool's
// ParallelFor, with fast kernels for exact ratios.
#ifndef KILN_OPS_RESIZE_HOST_NEON_RESIZE_NEON_H_
#define KILN_OPS_RESIZE_HOST_NEON_RESIZE_NEON_H_

#include <cstdint>
#include <string>

#include "kiln/ops/resize/resize.h"
#include "kiln/runtime/array/elem_type.h"
#include "kiln/runtime/array/geometry.h"

namespace kiln {

// The kernel a vector resize runs; chosen from the interpolation, the element
// type, the channels and the two sizes alone.
enum class ResizeNeonKernel : int32_t {
  kCopy,            // equal sizes
  kNearest,
  kBnComm,          // general bilinear
  kBnFastUpX4,      // bilinear, integer types, exact x4 / x2 / 1/2 / 1/4
  kBnFastUpX2,
  kBnFastDownX2,
  kBnFastDownX4,
  kBnFastChannels,  // an exact bilinear ratio with more than 3 channels: rejected
  kCuComm,          // general bicubic
  kCuFastDownX2,    // bicubic, integer types, 1-3 channels, exact 1/2 / 1/4
  kCuFastDownX4,
  kAreaComm,        // general area decimation
  kAreaLinear,      // area upscaling (in x or y): bilinear kernel, area weights
  kAreaFastDownX2,  // area, whole factors 2 x 2, 4 x 4, or any whole kx x ky
  kAreaFastDownX4,
  kAreaFastInt,
  kAreaFastUpX2,    // area, integer types, exact x2 / x4: pixel repeats
  kAreaFastUpX4,
  kInterpError,     // unknown interpolation
};

struct ResizeNeonChoice {
  ResizeNeonKernel kernel;
  int32_t kx;  // whole decimation factors of the area fast kernels
  int32_t ky;
};

// The dispatch rules. Scale factors are source / destination sizes in single
// precision; a fast kernel also needs the sizes to be exact multiples, so its
// integer sums reproduce the general kernel (factors within 1e-5 of a whole
// number but not exact need images over 100000 pixels wide).
ResizeNeonChoice SelectResizeNeonKernel(int32_t interp, ElemType type, const Sizes& src, const Sizes& dst);

// "ResizeBnCommNeon", "ResizeBnFastC3Neon:UpX2", "ResizeCuC1DownX2NeonImpl",
// "ResizeAreaDownX2Neon", ...
std::string ResizeNeonKernelName(ResizeNeonKernel kernel, int32_t channels);

// Owned by its kiln::Resize op (shared pointer).
// Concurrency: Run is called by one thread; it hands blocks of destination
// rows to ParallelFor (each block with its own scratch slot) and returns when
// all have finished.
class ResizeNeon : public ResizeImpl {
 public:
  ResizeNeon(Context* ctx, const TargetInfo& target);

  // "ResizeImpl::SetArgs failed" / "src dst must be mat type" on bad input.
  Status SetArgs(Array* src, Array* dst, int32_t interp) override;
  Status Run() override;

  // Name of the kernel the last Run chose (ResizeNeonKernelName, "CopyTo"
  // for equal sizes); empty before the first Run.
  const std::string& GetLastKernel() const { return m_last_kernel; }

 private:
  std::string m_last_kernel;
};

}  // namespace kiln

#endif  // KILN_OPS_RESIZE_HOST_NEON_RESIZE_NEON_H_
