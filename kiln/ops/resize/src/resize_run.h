// Run-time plumbing shared by ResizeNone and ResizeNeon: image views of the
// Mats, the equal-size copy, and row blocks with their scratch slots.
#ifndef KILN_OPS_RESIZE_SRC_RESIZE_RUN_H_
#define KILN_OPS_RESIZE_SRC_RESIZE_RUN_H_

#include <cstddef>
#include <cstdint>

#include "kiln/ops/resize/src/resize_common.h"
#include "kiln/runtime/array/array.h"
#include "kiln/runtime/array/mat.h"
#include "kiln/runtime/context/context.h"
#include "kiln/runtime/context/logger.h"

namespace kiln {
namespace resize {

inline ImagePlane PlaneOf(const Array& array) {
  ImagePlane plane;
  plane.data = array.GetData();
  plane.width = array.Width();
  plane.height = array.Height();
  plane.channels = array.Channels();
  plane.pitch = array.RowPitch();
  return plane;
}

// The equal-size shortcut: a plain copy of src into dst (both Mats, checked
// by SetArgs).
inline Status CopyEqualSize(Array* src, Array* dst) {
  return static_cast<Mat*>(src)->CopyTo(*static_cast<Mat*>(dst));
}

// "QX_U8", "QX_S8", ... for kernel failure records.
const char* QxTypeName(ElemType type);

// Runs kernel(y0, y1, scratch) over the destination rows in blocks (on the
// pool when set), each block with a scratch slot of scratch_bytes. Records
// "KILN_ALLOC_PARAM fail" when the slots cannot be allocated and "Get Buffer
// failed" when a block finds no free slot.
template <class Kernel>
Status RunWithScratch(Context* ctx, WorkerPool* pool, int32_t rows, size_t scratch_bytes, Kernel&& kernel) {
  ScratchSlots slots;
  if (!slots.Allocate(ctx, ConcurrentBlocks(pool), scratch_bytes)) {
    KILN_RECORD(ctx, "KILN_ALLOC_PARAM fail");
    return kStatusFail;
  }
  return RunRowBlocks(pool, rows, [&](int32_t y0, int32_t y1) -> Status {
    void* scratch = slots.Acquire();
    if (scratch == nullptr) {
      KILN_RECORD(ctx, "Get Buffer failed");
      return kStatusFail;
    }
    const Status status = kernel(y0, y1, scratch);
    slots.Release(scratch);
    return status;
  });
}

}  // namespace resize
}  // namespace kiln

#endif  // KILN_OPS_RESIZE_SRC_RESIZE_RUN_H_
