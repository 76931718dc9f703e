// kiln::Resize: scales one Mat into another of the same element type and
// channel count (nearest, bilinear, bicubic or area).
#ifndef KILN_OPS_RESIZE_RESIZE_H_
#define KILN_OPS_RESIZE_RESIZE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "kiln/ops/core/comm/op.h"
#include "kiln/ops/core/comm/op_impl.h"
#include "kiln/runtime/array/array.h"
#include "kiln/runtime/context/status.h"
#include "kiln/runtime/context/target_info.h"

namespace kiln {

class Context;
class JsonWriter;

// Interpolation of a resize (i32 in the operator's arguments and dumps).
enum InterpType : int32_t {
  kInterpNearest = 0,
  kInterpLinear = 1,
  kInterpCubic = 2,
  kInterpArea = 3,
};

// "Nearest", "Linear", "Cubic", "AREA"; "undefined interp type" otherwise.
const char* InterpTypeName(int32_t interp);

// Scales src into dst (sizes taken from the two Mats) on the requested
// target. Same element type (U8, S8, U16, S16, F32, F16) and channel count;
// equal sizes copy. A Neon request with either image 47 pixels wide or less
// runs the plain kernels on the calling thread.
Status IResize(Context* ctx, Array* src, Array* dst, int32_t interp, const TargetInfo& target);

// The arguments and checks shared by the plain and the vector resize.
// Owned by its kiln::Resize op (shared pointer); the arrays are borrowed for
// the duration of one call.
// Concurrency: none; used by the thread running its op.
class ResizeImpl : public OpImpl {
 public:
  ResizeImpl(Context* ctx, const TargetInfo& target);
  ~ResizeImpl() override;

  // Checks validity, element type, channels; stores the arguments. The
  // target classes add the Mat check.
  virtual Status SetArgs(Array* src, Array* dst, int32_t interp);

  // "op(Resize) target(<target>) param(<interp>)\n"
  std::string ToString() const override;
  std::vector<Array*> GetSrcArrays() const override;
  std::vector<Array*> GetDstArrays() const override;

  int32_t GetInterp() const { return m_type; }

 protected:
  // Base check plus "src dst must be mat type"; shared by both targets.
  Status SetMatArgs(Array* src, Array* dst, int32_t interp);
  void DumpParams(JsonWriter& writer) const override;

  Array* m_src = nullptr;
  Array* m_dst = nullptr;
  int32_t m_type = kInterpLinear;
};

// One resize call: chooses ResizeNone or ResizeNeon and hands them the
// arguments. Usually built on the stack by IResize.
// Concurrency: none; an op is used by one thread.
class Resize : public Op {
 public:
  Resize(Context* ctx, const TargetInfo& target);

  // "src/dst is null ptr" for a missing array; otherwise target selection
  // (both widths checked) and ResizeImpl::SetArgs.
  Status SetArgs(Array* src, Array* dst, int32_t interp);
};

}  // namespace kiln

#endif  // KILN_OPS_RESIZE_RESIZE_H_
