// kiln::ConvertToNeon: the Advanced SIMD ConvertTo, and its row kernels.
#ifndef KILN_OPS_MATRIX_HOST_NEON_CONVERT_TO_NEON_H_
#define KILN_OPS_MATRIX_HOST_NEON_CONVERT_TO_NEON_H_

#include "kiln/ops/matrix/convert_to.h"
#include "kiln/ops/matrix/convert_to_kernel.h"
#include "kiln/runtime/array/elem_type.h"

namespace kiln {

// The vector row kernel for src -> dst with the given method (16 elements
// per step, the row tail by the plain formula). Bit-identical to the plain
// kernel. Null when either type is unsupported, or for MUL_ONLY with a float
// destination (ChooseCvtMethod never picks that).
ConvertRowsFn GetConvertRowsNeon(ElemType src_type, ElemType dst_type, CvtMethod method);

// The vector kernel for IsU8ExactScale's case (U8 source, integer
// destination), in 16-bit lanes; null for float destinations.
ConvertRowsFn GetConvertRowsU8ExactNeon(ElemType dst_type);

// Vector kernels, always run through the worker pool's ParallelFor.
// Owned by the ConvertTo op that selected it (shared).
class ConvertToNeon : public ConvertToImpl {
 public:
  ConvertToNeon(Context* ctx, const TargetInfo& target) : ConvertToImpl(ctx, target) {}
  Status Run() override;

 private:
  template <ElemType kDst>
  Status RunHelper(CvtMethod method);
};

}  // namespace kiln

#endif  // KILN_OPS_MATRIX_HOST_NEON_CONVERT_TO_NEON_H_
