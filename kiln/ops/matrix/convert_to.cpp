#include "kiln/ops/matrix/convert_to.h"

#include <cstdint>
#include <memory>

#include "kiln/ops/core/comm/op_call.h"
#include "kiln/ops/matrix/host/neon/convert_to_neon.h"
#include "kiln/ops/matrix/none/convert_to_none.h"
#include "kiln/runtime/context/context.h"
#include "kiln/tools/json/json_writer.h"

namespace kiln {

ConvertToImpl::ConvertToImpl(Context* ctx, const TargetInfo& target) : OpImpl(ctx, "ConvertTo", target) {}

Status ConvertToImpl::CheckMats(const Array* src, const Array* dst) const {
  const Mat* src_mat = dynamic_cast<const Mat*>(src);
  const Mat* dst_mat = dynamic_cast<const Mat*>(dst);
  if (src_mat == nullptr || dst_mat == nullptr || src->GetArrayType() != KILN_ARRAY_MAT ||
      dst->GetArrayType() != KILN_ARRAY_MAT) {
    KILN_RECORD(m_ctx, "src dst must be mat type");
    return kStatusFail;
  }
  // The kernels read and write whole elements through typed pointers.
  for (const Array* a : {src, dst}) {
    const int size = a->ElemSize();
    if (size <= 0 || reinterpret_cast<uintptr_t>(a->Ptr<uint8_t>()) % size != 0 || a->RowPitch() % size != 0) {
      KILN_RECORD(m_ctx, "src or dst is not aligned to its element size");
      return kStatusFail;
    }
  }
  // In place works element by element only when both describe the same
  // elements; any other overlap would read what was already written.
  const uint8_t* s = src->Ptr<uint8_t>();
  const uint8_t* d = dst->Ptr<uint8_t>();
  const bool overlap = s < d + dst->GetTotal() && d < s + src->GetTotal();
  const bool same_layout = s == d && src->RowPitch() == dst->RowPitch() && src->ElemSize() == dst->ElemSize();
  if (overlap && !same_layout) {
    KILN_RECORD(m_ctx, "src and dst overlap");
    return kStatusFail;
  }
  return kStatusOk;
}

Status ConvertToImpl::SetArgs(const Array* src, Array* dst, float alpha, float beta) {
  if (CheckMats(src, dst) != kStatusOk) {
    KILN_RECORD(m_ctx, "ConvertToImpl::SetArgs failed");
    return kStatusFail;
  }
  m_src = static_cast<const Mat*>(src);
  m_dst = static_cast<Mat*>(dst);
  m_alpha = alpha;
  m_beta = beta;
  return kStatusOk;
}

std::string ConvertToImpl::ToString() const {
  return DescribeHead() + " alpha(" + std::to_string(m_alpha) + ")" + " beta(" + std::to_string(m_beta) + ")\n";
}

std::vector<Array*> ConvertToImpl::GetSrcArrays() const {
  // Only read (by the dump); the list type is shared with destinations.
  return {const_cast<Mat*>(m_src)};
}

std::vector<Array*> ConvertToImpl::GetDstArrays() const { return {m_dst}; }

void ConvertToImpl::DumpParams(JsonWriter& writer) const {
  writer.SetValue("m_alpha", m_alpha);
  writer.SetValue("m_beta", m_beta);
}

ConvertRowsArgs ConvertToImpl::MakeRowsArgs() const {
  ConvertRowsArgs args;
  args.src = m_src->Ptr<uint8_t>();
  args.src_pitch = m_src->RowPitch();
  args.dst = m_dst->Ptr<uint8_t>();
  args.dst_pitch = m_dst->RowPitch();
  args.elems = m_src->Width() * m_src->Channels();
  args.alpha = m_alpha;
  args.beta = m_beta;
  return args;
}

Status ConvertToImpl::RunRows(ConvertRowsFn fn, bool use_pool, const char* no_pool_text) const {
  const ConvertRowsArgs args = MakeRowsArgs();
  const int32_t rows = m_src->Height();
  if (!use_pool) {
    fn(args, 0, rows);
    return kStatusOk;
  }
  const std::shared_ptr<WorkerPool> pool = m_ctx != nullptr ? m_ctx->GetWorkerpool() : nullptr;
  if (pool == nullptr) {
    KILN_RECORD(m_ctx, "%s", no_pool_text);
    return kStatusFail;
  }
  return pool->ParallelFor(0, rows, [fn, &args](int begin, int end) -> Status {
    fn(args, begin, end);
    return kStatusOk;
  });
}

Status ConvertTo::SetArgs(const Array* src, Array* dst, float alpha, float beta) {
  if (src == nullptr || dst == nullptr) {
    KILN_RECORD(m_ctx, "src/dst is null ptr");
    return kStatusFail;
  }
  if (!src->IsValid() || !dst->IsValid()) {
    KILN_RECORD(m_ctx, "invalid src or dst");
    return kStatusFail;
  }
  if (src->Height() != dst->Height() || src->Width() != dst->Width() || src->Channels() != dst->Channels()) {
    KILN_RECORD(m_ctx, "sizes of src or dst mat dismatch");
    return kStatusFail;
  }
  return SetImplArgs<ConvertToImpl, ConvertToNone, ConvertToNeon>({src->Width()}, "convert_to_impl is null ptr", src,
                                                                  dst, alpha, beta);
}

Status IConvertTo(Context* ctx, const Array* src, Array* dst, const TargetInfo& target, float alpha, float beta) {
  ConvertTo op(ctx, target);
  return OpCall(op, src, dst, alpha, beta);
}

Status IMultiply(Context* ctx, const Array* src, Array* dst, const TargetInfo& target, float alpha) {
  const Status status = IConvertTo(ctx, src, dst, target, alpha, 0.0f);
  if (status != kStatusOk) KILN_RECORD(ctx, "IConvertTo failed");
  return status;
}

}  // namespace kiln
