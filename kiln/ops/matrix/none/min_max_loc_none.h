// kiln::MinMaxLocNone: the plain MinMaxLoc, and its row kernels.
#ifndef KILN_OPS_MATRIX_NONE_MIN_MAX_LOC_NONE_H_
#define KILN_OPS_MATRIX_NONE_MIN_MAX_LOC_NONE_H_

#include "kiln/ops/matrix/min_max_loc.h"
#include "kiln/ops/matrix/min_max_loc_kernel.h"
#include "kiln/runtime/array/elem_type.h"
#include "kiln/runtime/context/status.h"

namespace kiln {

class Context;
class WorkerPool;

// Scans rows [row_begin, row_end) element by element and merges their
// first-occurring extremes into slot (MergeMinMaxLoc's rule).
using MinMaxLocRowsNoneFn = void (*)(const MinMaxLocArgs& args, int32_t row_begin, int32_t row_end,
                                     MinMaxLocFlat* slot);

// The plain row kernel for an element type; null for unsupported types.
MinMaxLocRowsNoneFn GetMinMaxLocRowsNone(ElemType type);

// The whole plain search: on the calling thread when pool is null, else
// over the pool's compute threads with one result slot per participating
// thread, merged afterwards. Records on ctx (which may be null).
Status MinMaxLocNoneImage(Context* ctx, WorkerPool* pool, ElemType type, const MinMaxLocArgs& args,
                          MinMaxLocFlat* result);

// Plain scan, on the calling thread or over the worker pool when the
// target flag is on. Owned by the MinMaxLoc op that selected it (shared).
class MinMaxLocNone : public MinMaxLocImpl {
 public:
  MinMaxLocNone(Context* ctx, const TargetInfo& target) : MinMaxLocImpl(ctx, target) {}
  Status Run() override;
};

}  // namespace kiln

#endif  // KILN_OPS_MATRIX_NONE_MIN_MAX_LOC_NONE_H_
