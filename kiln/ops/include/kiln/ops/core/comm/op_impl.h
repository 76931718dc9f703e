// kiln::OpImpl: one operator's implementation for one execution target.
#ifndef KILN_OPS_CORE_COMM_OP_IMPL_H_
#define KILN_OPS_CORE_COMM_OP_IMPL_H_

#include <string>
#include <vector>

#include "kiln/runtime/array/array.h"
#include "kiln/runtime/context/status.h"
#include "kiln/runtime/context/target_info.h"

namespace kiln {

class Context;
class JsonWriter;

// Base of every operator's implementation class (e.g. ResizeImpl, whose
// subclasses ResizeNone and ResizeNeon hold the kernels). Each operator's
// implementation base adds `Status SetArgs(...)` with its own arguments: it
// checks and stores them, and an Op calls it after choosing the target.
// Owned by the kiln::Op that created it (shared pointer), reused by later
// calls on the same Op while the resolved target stays the same.
// Concurrency: none; used by the thread that runs its Op.
class OpImpl {
 public:
  OpImpl(Context* ctx, const std::string& name, const TargetInfo& target);
  virtual ~OpImpl();
  OpImpl(const OpImpl&) = delete;
  OpImpl& operator=(const OpImpl&) = delete;

  virtual Status Initialize() { return kStatusOk; }
  virtual Status Run() = 0;
  virtual Status Deinitialize() { return kStatusOk; }
  // "op(<name>) target(<target text>)" + the operator's parameters + ")\n";
  // empty by default.
  virtual std::string ToString() const { return std::string(); }
  // Writes "<folder>/<name>.json" with params {"name", "m_src", "m_dst",
  // DumpParams...}; arrays go beside it as .bin files.
  virtual Status Dump(const std::string& folder);
  virtual std::vector<Array*> GetSrcArrays() const { return {}; }
  virtual std::vector<Array*> GetDstArrays() const { return {}; }

  Context* GetContext() const { return m_ctx; }
  // "Resize", "CvtColor", "ConvertTo", "MinMaxLoc", ...
  const std::string& GetName() const { return m_name; }
  const TargetInfo& GetTarget() const { return m_target; }

 protected:
  // "op(<name>) target(<target text>)": the common head of ToString.
  std::string DescribeHead() const;
  // Adds the operator's own fields ("m_type", ...) to a dump.
  virtual void DumpParams(JsonWriter& writer) const;

  Context* const m_ctx;
  const std::string m_name;
  const TargetInfo m_target;
};

}  // namespace kiln

#endif  // KILN_OPS_CORE_COMM_OP_IMPL_H_
