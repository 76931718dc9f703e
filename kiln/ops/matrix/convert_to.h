// kiln::ConvertTo: element type conversion with an optional linear map
// dst = src * alpha + beta, rounded to nearest (ties to even) and saturated.
#ifndef KILN_OPS_MATRIX_CONVERT_TO_H_
#define KILN_OPS_MATRIX_CONVERT_TO_H_

#include <string>
#include <vector>

#include "kiln/ops/core/comm/op.h"
#include "kiln/ops/core/comm/op_impl.h"
#include "kiln/ops/matrix/convert_to_kernel.h"
#include "kiln/runtime/array/mat.h"
#include "kiln/runtime/context/status.h"
#include "kiln/runtime/context/target_info.h"

namespace kiln {

class Context;

// Arguments and the shared run machinery of ConvertToNone and ConvertToNeon.
// Owned by the ConvertTo op that selected it (shared); the Mats are borrowed
// for one call.
// Concurrency: used by the thread running its op; Run splits rows over the
// worker pool, each row written by exactly one thread.
class ConvertToImpl : public OpImpl {
 public:
  ConvertToImpl(Context* ctx, const TargetInfo& target);

  // Keeps the Mats and factors. Both arrays must be Mats whose data and
  // pitch suit their element size; they may be the same memory only with the
  // same layout and element size (an in-place conversion).
  Status SetArgs(const Array* src, Array* dst, float alpha, float beta);

  // "op(ConvertTo) target(<target>) alpha(<alpha>) beta(<beta>)\n"
  std::string ToString() const override;
  std::vector<Array*> GetSrcArrays() const override;
  std::vector<Array*> GetDstArrays() const override;

  float GetAlpha() const { return m_alpha; }
  float GetBeta() const { return m_beta; }

 protected:
  void DumpParams(JsonWriter& writer) const override;

  ConvertRowsArgs MakeRowsArgs() const;
  // Runs fn over every row: on the calling thread, or through ParallelFor
  // when use_pool (records no_pool_text without a worker pool).
  Status RunRows(ConvertRowsFn fn, bool use_pool, const char* no_pool_text) const;

  const Mat* m_src = nullptr;
  Mat* m_dst = nullptr;
  float m_alpha = 1.0f;
  float m_beta = 0.0f;

 private:
  Status CheckMats(const Array* src, const Array* dst) const;
};

// The ConvertTo operator; usually built on the stack by IConvertTo.
// Concurrency: one thread at a time (see kiln::Op).
class ConvertTo : public Op {
 public:
  ConvertTo(Context* ctx, const TargetInfo& target) : Op(ctx, target) {}

  // Checks the arrays ("src/dst is null ptr", "invalid src or dst", "sizes
  // of src or dst mat dismatch"), picks the target (Neon falls back to None
  // below 48 pixels of source width) and hands the arguments on.
  Status SetArgs(const Array* src, Array* dst, float alpha, float beta);
};

// dst = saturate(round(src * alpha + beta)) in dst's element type; alpha 1
// and beta 0 convert the type only (or copy it when the types match).
// Supported element types: U8, S8, U16, S16, U32, S32, F32, F16.
Status IConvertTo(Context* ctx, const Array* src, Array* dst, const TargetInfo& target, float alpha, float beta);

// IConvertTo with beta 0; records "IConvertTo failed" when that fails.
Status IMultiply(Context* ctx, const Array* src, Array* dst, const TargetInfo& target, float alpha);

}  // namespace kiln

#endif  // KILN_OPS_MATRIX_CONVERT_TO_H_
