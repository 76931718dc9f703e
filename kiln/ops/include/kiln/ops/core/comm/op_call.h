// kiln::OpCall: the life of one operator call.
#ifndef KILN_OPS_CORE_COMM_OP_CALL_H_
#define KILN_OPS_CORE_COMM_OP_CALL_H_

#include <utility>

#include "kiln/ops/core/comm/op.h"
#include "kiln/runtime/context/context.h"
#include "kiln/runtime/context/status.h"

namespace kiln {

// SetArgs(args...) -> Initialize -> Run -> Deinitialize on op. Each failing
// step records "SetArgs failed", "Initialize failed" or "Run failed" and its
// status is returned; Deinitialize runs whenever an implementation exists
// once Initialize was reached. A missing context or logger returns -1 with
// no record.
template <class OpT, class... Args>
Status OpCall(OpT& op, Args&&... args) {
  Context* ctx = op.GetContext();
  if (ctx == nullptr || ctx->GetLogger() == nullptr) return kStatusFail;
  Status status = op.SetArgs(std::forward<Args>(args)...);
  if (status != kStatusOk) {
    KILN_RECORD(ctx, "SetArgs failed");
    return status;
  }
  if (!op.HasImpl()) {
    KILN_RECORD(ctx, "Initialize failed");
    return kStatusFail;
  }
  status = op.Initialize();
  if (status != kStatusOk) {
    KILN_RECORD(ctx, "Initialize failed");
  } else {
    status = op.Run();
    if (status != kStatusOk) KILN_RECORD(ctx, "Run failed");
  }
  op.Deinitialize();
  return status;
}

}  // namespace kiln

#endif  // KILN_OPS_CORE_COMM_OP_CALL_H_
