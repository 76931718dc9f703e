#include "kiln/ops/resize/resize.h"

#include "kiln/ops/core/comm/op_call.h"
#include "kiln/ops/resize/host/neon/resize_neon.h"
#include "kiln/ops/resize/none/resize_none.h"
#include "kiln/ops/resize/src/resize_run.h"
#include "kiln/runtime/context/context.h"
#include "kiln/tools/json/json_writer.h"

namespace kiln {

const char* InterpTypeName(int32_t interp) {
  switch (interp) {
    case kInterpNearest: return "Nearest";
    case kInterpLinear: return "Linear";
    case kInterpCubic: return "Cubic";
    case kInterpArea: return "AREA";
    default: return "undefined interp type";
  }
}

namespace resize {

const char* QxTypeName(ElemType type) {
  switch (type) {
    case QX_U8: return "QX_U8";
    case QX_S8: return "QX_S8";
    case QX_U16: return "QX_U16";
    case QX_S16: return "QX_S16";
    case QX_U32: return "QX_U32";
    case QX_S32: return "QX_S32";
    case QX_F32: return "QX_F32";
    case QX_F64: return "QX_F64";
    case QX_F16: return "QX_F16";
    default: return "QX_INVALID";
  }
}

}  // namespace resize

ResizeImpl::ResizeImpl(Context* ctx, const TargetInfo& target) : OpImpl(ctx, "Resize", target) {}

ResizeImpl::~ResizeImpl() = default;

Status ResizeImpl::SetArgs(Array* src, Array* dst, int32_t interp) {
  if (src == nullptr || dst == nullptr || !src->IsValid() || !dst->IsValid()) {
    KILN_RECORD(m_ctx, "invalid src or dst");
    return kStatusFail;
  }
  if (src->GetElemType() != dst->GetElemType()) {
    KILN_RECORD(m_ctx, "src and dst must have the same elem type");
    return kStatusFail;
  }
  switch (src->GetElemType()) {
    case QX_U8:
    case QX_S8:
    case QX_U16:
    case QX_S16:
    case QX_F32:
    case QX_F16: break;
    default: KILN_RECORD(m_ctx, "resize current only support elem type: U8/S8/U16/S16/F16/F32"); return kStatusFail;
  }
  if (!src->SameChannels(*dst)) {
    KILN_RECORD(m_ctx, "src and dst should have the same channel num");
    return kStatusFail;
  }
  m_src = src;
  m_dst = dst;
  m_type = interp;
  return kStatusOk;
}

Status ResizeImpl::SetMatArgs(Array* src, Array* dst, int32_t interp) {
  if (ResizeImpl::SetArgs(src, dst, interp) != kStatusOk) {
    KILN_RECORD(m_ctx, "ResizeImpl::SetArgs failed");
    return kStatusFail;
  }
  if (src->GetArrayType() != KILN_ARRAY_MAT || dst->GetArrayType() != KILN_ARRAY_MAT) {
    KILN_RECORD(m_ctx, "src dst must be mat type");
    m_src = nullptr;
    m_dst = nullptr;
    return kStatusFail;
  }
  return kStatusOk;
}

std::string ResizeImpl::ToString() const {
  return DescribeHead() + " param(" + InterpTypeName(m_type) + ")\n";
}

std::vector<Array*> ResizeImpl::GetSrcArrays() const { return {m_src}; }

std::vector<Array*> ResizeImpl::GetDstArrays() const { return {m_dst}; }

void ResizeImpl::DumpParams(JsonWriter& writer) const { writer.SetValue("m_type", m_type); }

Resize::Resize(Context* ctx, const TargetInfo& target) : Op(ctx, target) {}

Status Resize::SetArgs(Array* src, Array* dst, int32_t interp) {
  if (src == nullptr || dst == nullptr) {
    KILN_RECORD(m_ctx, "src/dst is null ptr");
    return kStatusFail;
  }
  return SetImplArgs<ResizeImpl, ResizeNone, ResizeNeon>({src->Width(), dst->Width()}, "resize_impl is null ptr",
                                                          src, dst, interp);
}

Status IResize(Context* ctx, Array* src, Array* dst, int32_t interp, const TargetInfo& target) {
  Resize op(ctx, target);
  return OpCall(op, src, dst, interp);
}

}  // namespace kiln
