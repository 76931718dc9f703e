// Vector resize kernels over destination rows [y0, y1). Each reproduces the
// plain kernel of the same interpolation bit for bit (see
// none/resize_kernels_none.h); the fast kernels take exact size ratios of the
// integer element types and compute the same fixed-point sums in fewer steps.
#ifndef KILN_OPS_RESIZE_HOST_NEON_RESIZE_KERNELS_NEON_H_
#define KILN_OPS_RESIZE_HOST_NEON_RESIZE_KERNELS_NEON_H_

#include <cstddef>
#include <cstdint>

#include "kiln/ops/resize/src/resize_common.h"
#include "kiln/ops/resize/src/resize_plan.h"
#include "kiln/runtime/array/elem_type.h"
#include "kiln/runtime/context/status.h"

namespace kiln {
namespace resize {

// ---- General kernels ------------------------------------------------------------
void ResizeNearestNeon(const ImagePlane& src, const ImagePlane& dst, int32_t elem_size, const NearestPlan& plan,
                       int32_t y0, int32_t y1);

// Bilinear (and area upscaling through its tables), any channel count.
size_t ResizeBnCommScratchBytes(ElemType type, const ImagePlane& src, const ImagePlane& dst);
Status ResizeBnCommNeon(ElemType type, const ImagePlane& src, const ImagePlane& dst, const LinearPlan& plan,
                        int32_t y0, int32_t y1, void* scratch);

size_t ResizeCuCommScratchBytes(ElemType type, const ImagePlane& src, const ImagePlane& dst);
Status ResizeCuCommNeon(ElemType type, const ImagePlane& src, const ImagePlane& dst, const CubicPlan& plan,
                        int32_t y0, int32_t y1, void* scratch);

size_t ResizeAreaCommScratchBytes(const ImagePlane& src, const ImagePlane& dst);
Status ResizeAreaCommNeon(ElemType type, const ImagePlane& src, const ImagePlane& dst, const AreaPlan& plan,
                          int32_t y0, int32_t y1, void* scratch);

// ---- Fast kernels (integer element types, 1-3 channels) ----------------------------
// Exact ratios of one axis pair: destination = source x 4, x 2, / 2, / 4.
enum class BnFastScale { kUpX4, kUpX2, kDownX2, kDownX4 };

size_t ResizeBnFastScratchBytes(ElemType type, const ImagePlane& src, BnFastScale scale);
// -1 for a type or channel count without a fast kernel.
Status ResizeBnFastNeon(ElemType type, BnFastScale scale, const ImagePlane& src, const ImagePlane& dst, int32_t y0,
                        int32_t y1, void* scratch);

// Bicubic decimation by 2 or 4 in both directions.
size_t ResizeCuFastScratchBytes(ElemType type, const ImagePlane& src);
Status ResizeCuFastNeon(ElemType type, int32_t factor, const ImagePlane& src, const ImagePlane& dst, int32_t y0,
                        int32_t y1, void* scratch);

// Area decimation by whole factors kx, ky (every element type; integer types
// only while kx * ky * |max element| < 2^24, so the plain float sums are exact).
size_t ResizeAreaFastScratchBytes(const ImagePlane& src, const ImagePlane& dst);
Status ResizeAreaFastNeon(ElemType type, int32_t kx, int32_t ky, const ImagePlane& src, const ImagePlane& dst,
                          int32_t y0, int32_t y1, void* scratch);
// Area upscaling by 2 or 4 in both directions (integer types): pixel repeats.
Status ResizeAreaUpFastNeon(ElemType type, int32_t factor, const ImagePlane& src, const ImagePlane& dst, int32_t y0,
                            int32_t y1);

}  // namespace resize
}  // namespace kiln

#endif  // KILN_OPS_RESIZE_HOST_NEON_RESIZE_KERNELS_NEON_H_
