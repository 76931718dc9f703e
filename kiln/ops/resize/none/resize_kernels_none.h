// Plain resize kernels: one function per interpolation, over destination
// rows [y0, y1), so a Run can hand row blocks to ParallelFor. They are the
// definition every vector kernel reproduces bit for bit.
#ifndef KILN_OPS_RESIZE_NONE_RESIZE_KERNELS_NONE_H_
#define KILN_OPS_RESIZE_NONE_RESIZE_KERNELS_NONE_H_

#include <cstddef>
#include <cstdint>

#include "kiln/ops/resize/src/resize_common.h"
#include "kiln/ops/resize/src/resize_plan.h"
#include "kiln/runtime/array/elem_type.h"
#include "kiln/runtime/context/status.h"

namespace kiln {
namespace resize {

// Scratch one row block needs (ScratchSlots slot size).
size_t LinearScratchBytesNone(const ImagePlane& dst);
size_t CubicScratchBytesNone(const ImagePlane& dst);
size_t AreaScratchBytesNone(const ImagePlane& src);

// Each destination pixel copies all channels of its source pixel.
void ResizeNearestNone(const ImagePlane& src, const ImagePlane& dst, int32_t elem_size, const NearestPlan& plan,
                       int32_t y0, int32_t y1);

// Bilinear, and area upscaling (same kernel, area weights in the plan).
// Integer types: 32-bit horizontal sums of each source row (computed once per
// block and reused), combined vertically with 22-bit rounding. Float types in
// single precision. -1 for an element type without a kernel.
Status ResizeBnNone(ElemType type, const ImagePlane& src, const ImagePlane& dst, const LinearPlan& plan, int32_t y0,
                    int32_t y1, void* scratch);

// Bicubic over the 4 x 4 neighbourhood, same fixed point as bilinear.
Status ResizeCuNone(ElemType type, const ImagePlane& src, const ImagePlane& dst, const CubicPlan& plan, int32_t y0,
                    int32_t y1, void* scratch);

// Area decimation: per destination row, the covered source rows weighted by
// their covered height are summed in single precision (in table order), then
// each destination pixel sums its covered columns weighted by covered width
// (in table order) and is multiplied by the reciprocal of the cell area;
// integer types round to nearest even and saturate.
Status ResizeAreaNone(ElemType type, const ImagePlane& src, const ImagePlane& dst, const AreaPlan& plan, int32_t y0,
                      int32_t y1, void* scratch);

}  // namespace resize
}  // namespace kiln

#endif  // KILN_OPS_RESIZE_NONE_RESIZE_KERNELS_NONE_H_
