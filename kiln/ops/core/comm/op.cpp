#include "kiln/ops/core/comm/op.h"

namespace kiln {

Status Op::Initialize() {
  if (m_impl == nullptr) return kStatusFail;
  const Status status = m_impl->Initialize();
  if (status == kStatusOk) m_initialized = true;
  return status;
}

Status Op::Run() { return m_impl != nullptr ? m_impl->Run() : kStatusFail; }

Status Op::Deinitialize() {
  if (m_impl == nullptr) return kStatusFail;
  const Status status = m_impl->Deinitialize();
  if (status == kStatusOk) m_initialized = false;
  return status;
}

std::string Op::ToString() const { return m_impl != nullptr ? m_impl->ToString() : std::string(); }

Status Op::Dump(const std::string& folder) { return m_impl != nullptr ? m_impl->Dump(folder) : kStatusFail; }

TargetInfo Op::ResolveTarget(std::initializer_list<int32_t> widths) const {
  if (m_target.type == kTargetNeon) {
    for (const int32_t width : widths) {
      if (width < kNeonMinWidth) return TargetInfo(kTargetNone, false);
    }
  }
  return TargetInfo(m_target.type, m_target.flag);
}

}  // namespace kiln
