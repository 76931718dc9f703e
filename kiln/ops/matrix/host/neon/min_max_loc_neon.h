// kiln::MinMaxLocNeon: the Advanced SIMD MinMaxLoc.
#ifndef KILN_OPS_MATRIX_HOST_NEON_MIN_MAX_LOC_NEON_H_
#define KILN_OPS_MATRIX_HOST_NEON_MIN_MAX_LOC_NEON_H_

#include "kiln/ops/matrix/min_max_loc.h"
#include "kiln/ops/matrix/min_max_loc_kernel.h"
#include "kiln/runtime/array/elem_type.h"
#include "kiln/runtime/context/status.h"

namespace kiln {

class Context;
class WorkerPool;

// The whole vector search: one MinMaxLocInfo per row (blocks of
// kMinMaxLocBlockElems, 16 elements per step, the row end by one
// overlapping load), combined in row order, then the winning block rescanned
// for the first equal element. Rows run through the pool's ParallelFor, or
// on the calling thread when pool is null. Records on ctx (may be null).
Status MinMaxLocNeonImage(Context* ctx, WorkerPool* pool, ElemType type, const MinMaxLocArgs& args,
                          MinMaxLocFlat* result);

// Vector scan, always through the worker pool's ParallelFor.
// Owned by the MinMaxLoc op that selected it (shared).
class MinMaxLocNeon : public MinMaxLocImpl {
 public:
  MinMaxLocNeon(Context* ctx, const TargetInfo& target) : MinMaxLocImpl(ctx, target) {}
  Status Run() override;
};

}  // namespace kiln

#endif  // KILN_OPS_MATRIX_HOST_NEON_MIN_MAX_LOC_NEON_H_
