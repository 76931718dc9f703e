// kiln::ResizeNone: the plain resize, on the calling thread or on the
// worker pool's ParallelFor (target flag on).
#ifndef KILN_OPS_RESIZE_NONE_RESIZE_NONE_H_
#define KILN_OPS_RESIZE_NONE_RESIZE_NONE_H_

#include "kiln/ops/resize/resize.h"

namespace kiln {

// Owned by its kiln::Resize op (shared pointer).
// Concurrency: Run is called by one thread; it splits destination rows into
// blocks that run concurrently on the pool, each with its own scratch slot,
// and returns after all of them have finished.
class ResizeNone : public ResizeImpl {
 public:
  ResizeNone(Context* ctx, const TargetInfo& target);

  // "ResizeImpl::SetArgs failed" / "src dst must be mat type" on bad input.
  Status SetArgs(Array* src, Array* dst, int32_t interp) override;
  Status Run() override;
};

}  // namespace kiln

#endif  // KILN_OPS_RESIZE_NONE_RESIZE_NONE_H_
