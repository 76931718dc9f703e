// kiln::Op: one call of an image operator, with its chosen implementation.
#ifndef KILN_OPS_CORE_COMM_OP_H_
#define KILN_OPS_CORE_COMM_OP_H_

#include <initializer_list>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

#include "kiln/ops/core/comm/op_impl.h"
#include "kiln/runtime/context/context.h"
#include "kiln/runtime/context/status.h"
#include "kiln/runtime/context/target_info.h"

namespace kiln {

// Narrowest image the Neon kernels take; narrower ones run plain code on the
// calling thread (the vector loops need at least one full block per row).
constexpr int32_t kNeonMinWidth = 48;

// Base of every operator (Resize, CvtColor, ConvertTo, MinMaxLoc). An
// operator adds `Status SetArgs(...)`: it checks its arguments, then calls
// SetImplArgs, which resolves the target, creates or reuses the
// implementation and hands the arguments on. OpCall drives the sequence.
// Usually built on the stack by the operator's free function; owns its
// implementation (shared) and borrows the context.
// Concurrency: an Op is used by one thread at a time; it is not shared.
class Op {
 public:
  Op(Context* ctx, const TargetInfo& target) : m_ctx(ctx), m_target(target) {}
  virtual ~Op() = default;
  Op(const Op&) = delete;
  Op& operator=(const Op&) = delete;

  Context* GetContext() const { return m_ctx; }
  // The target the caller asked for.
  const TargetInfo& GetTarget() const { return m_target; }
  void SetTarget(const TargetInfo& target) { m_target = target; }
  // The implementation chosen by the last SetArgs (null before).
  const std::shared_ptr<OpImpl>& GetImpl() const { return m_impl; }
  bool HasImpl() const { return m_impl != nullptr; }
  // True between a successful Initialize and the next successful Deinitialize.
  bool IsInitialized() const { return m_initialized; }

  // Forward to the implementation; -1 without one.
  Status Initialize();
  Status Run();
  Status Deinitialize();
  std::string ToString() const;
  Status Dump(const std::string& folder);

 protected:
  // The target to run on: a Neon request with any checked width below
  // kNeonMinWidth becomes None without the pool; everything else is kept.
  TargetInfo ResolveTarget(std::initializer_list<int32_t> widths) const;

  // Keeps the current implementation when its target matches resolved,
  // otherwise creates NoneT or NeonT (constructed from (Context*, const
  // TargetInfo&)); any other target has none. Records null_text ("resize_impl
  // is null ptr", ...) and returns null when there is no implementation.
  template <class ImplT, class NoneT, class NeonT>
  ImplT* SelectImpl(const TargetInfo& resolved, const char* null_text);

  // The shared tail of every operator's SetArgs: resolve the target from the
  // checked widths, select the implementation, then ImplT::SetArgs(args...).
  // A -1 from the implementation records "fail".
  template <class ImplT, class NoneT, class NeonT, class... Args>
  Status SetImplArgs(std::initializer_list<int32_t> widths, const char* null_text, Args&&... args);

  Context* m_ctx;
  std::shared_ptr<OpImpl> m_impl;
  TargetInfo m_target;
  bool m_initialized = false;

 private:
  template <class T>
  std::shared_ptr<OpImpl> Make(const TargetInfo& target);
};

template <class T>
std::shared_ptr<OpImpl> Op::Make(const TargetInfo& target) {
  try {
    return std::make_shared<T>(m_ctx, target);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

template <class ImplT, class NoneT, class NeonT>
ImplT* Op::SelectImpl(const TargetInfo& resolved, const char* null_text) {
  static_assert(std::is_base_of<ImplT, NoneT>::value && std::is_base_of<ImplT, NeonT>::value,
                "the target classes must derive from the operator's implementation base");
  static_assert(std::is_base_of<OpImpl, ImplT>::value, "the implementation base must derive from OpImpl");
  if (m_impl == nullptr || !m_impl->GetTarget().SameAs(resolved)) {
    m_impl.reset();
    if (resolved.type == kTargetNone) {
      m_impl = Make<NoneT>(resolved);
    } else if (resolved.type == kTargetNeon) {
      m_impl = Make<NeonT>(resolved);
    }
  }
  if (m_impl == nullptr) {
    KILN_RECORD(m_ctx, "%s", null_text);
    return nullptr;
  }
  // Only this template creates implementations, always of NoneT or NeonT.
  return static_cast<ImplT*>(m_impl.get());
}

template <class ImplT, class NoneT, class NeonT, class... Args>
Status Op::SetImplArgs(std::initializer_list<int32_t> widths, const char* null_text, Args&&... args) {
  ImplT* impl = SelectImpl<ImplT, NoneT, NeonT>(ResolveTarget(widths), null_text);
  if (impl == nullptr) return kStatusFail;
  const Status status = impl->SetArgs(std::forward<Args>(args)...);
  if (status == kStatusFail) {
    KILN_RECORD(m_ctx, "fail");
    return kStatusFail;
  }
  return status;
}

}  // namespace kiln

#endif  // KILN_OPS_CORE_COMM_OP_H_
