// kiln::ConvertToNone: the plain ConvertTo, and its row kernels.
#ifndef KILN_OPS_MATRIX_NONE_CONVERT_TO_NONE_H_
#define KILN_OPS_MATRIX_NONE_CONVERT_TO_NONE_H_

#include "kiln/ops/matrix/convert_to.h"
#include "kiln/ops/matrix/convert_to_kernel.h"
#include "kiln/runtime/array/elem_type.h"

namespace kiln {

// The plain row kernel converting src elements to dst: the scaled formula
// (src * alpha + beta) when scaled, else NO_SCALE; equal types without
// scaling copy the rows. Null when either type is unsupported (F64, ...).
ConvertRowsFn GetConvertRowsNone(ElemType src_type, ElemType dst_type, bool scaled);

// The plain kernel for IsU8ExactScale's case (U8 source, integer
// destination), in 16-bit integers; null for float destinations.
ConvertRowsFn GetConvertRowsU8ExactNone(ElemType dst_type);

// Plain scalar kernels, one row range per call: on the calling thread, or
// over the worker pool's compute threads when the target flag is on.
// Owned by the ConvertTo op that selected it (shared).
class ConvertToNone : public ConvertToImpl {
 public:
  ConvertToNone(Context* ctx, const TargetInfo& target) : ConvertToImpl(ctx, target) {}
  Status Run() override;

 private:
  Status RunForDst(bool scaled);
  template <ElemType kDst>
  Status RunHelper(bool scaled);
};

}  // namespace kiln

#endif  // KILN_OPS_MATRIX_NONE_CONVERT_TO_NONE_H_
