#include "kiln/ops/matrix/min_max_loc.h"

#include <cstdint>

#include "kiln/ops/core/comm/op_call.h"
#include "kiln/ops/matrix/host/neon/min_max_loc_neon.h"
#include "kiln/ops/matrix/none/min_max_loc_none.h"
#include "kiln/runtime/context/context.h"
#include "kiln/tools/json/json_writer.h"

namespace kiln {

MinMaxLocImpl::MinMaxLocImpl(Context* ctx, const TargetInfo& target) : OpImpl(ctx, "MinMaxLoc", target) {}

Status MinMaxLocImpl::SetArgs(const Array* src, double* min_val, double* max_val, Point3i* min_loc,
                              Point3i* max_loc) {
  if (dynamic_cast<const Mat*>(src) == nullptr || src->GetArrayType() != KILN_ARRAY_MAT) {
    KILN_RECORD(m_ctx, "src must be mat type");
    KILN_RECORD(m_ctx, "MinMaxLocImpl::SetArgs failed");
    return kStatusFail;
  }
  // The kernels read whole elements through typed pointers.
  const int size = src->ElemSize();
  if (size <= 0 || reinterpret_cast<uintptr_t>(src->Ptr<uint8_t>()) % size != 0 || src->RowPitch() % size != 0) {
    KILN_RECORD(m_ctx, "src is not aligned to its element size");
    KILN_RECORD(m_ctx, "MinMaxLocImpl::SetArgs failed");
    return kStatusFail;
  }
  m_src = static_cast<const Mat*>(src);
  m_min_val = min_val;
  m_max_val = max_val;
  m_min_loc = min_loc;
  m_max_loc = max_loc;
  return kStatusOk;
}

std::string MinMaxLocImpl::ToString() const { return DescribeHead() + "\n"; }

std::vector<Array*> MinMaxLocImpl::GetSrcArrays() const {
  // Only read (by the dump); the list type is shared with destinations.
  return {const_cast<Mat*>(m_src)};
}

Status MinMaxLocImpl::Dump(const std::string& folder) {
  JsonWriter writer(m_ctx, folder, GetName());
  writer.SetValue("name", GetName());
  if (writer.SetArray("m_src", m_src) != kStatusOk) {
    KILN_RECORD(m_ctx, "SetArray src failed");
    return kStatusFail;
  }
  if (m_min_val != nullptr) writer.SetValue("*m_min_val", *m_min_val);
  if (m_max_val != nullptr) writer.SetValue("*m_max_val", *m_max_val);
  if (m_min_loc != nullptr) writer.SetValue("*m_min_pos", std::vector<int>{m_min_loc->x, m_min_loc->y, m_min_loc->z});
  if (m_max_loc != nullptr) writer.SetValue("*m_max_pos", std::vector<int>{m_max_loc->x, m_max_loc->y, m_max_loc->z});
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path += '/';
  if (writer.Write(path + GetName() + ".json") != kStatusOk) {
    KILN_RECORD(m_ctx, "Write json failed");
    return kStatusFail;
  }
  return kStatusOk;
}

MinMaxLocArgs MinMaxLocImpl::MakeArgs() const {
  MinMaxLocArgs args;
  args.src = m_src->Ptr<uint8_t>();
  args.pitch = m_src->RowPitch();
  args.rows = m_src->Height();
  args.elems = m_src->Width() * m_src->Channels();
  return args;
}

void MinMaxLocImpl::StoreResult(const MinMaxLocFlat& flat) const {
  const int32_t c = m_src->Channels();
  *m_min_val = flat.min_val;
  *m_max_val = flat.max_val;
  if (flat.min_row >= 0) {
    *m_min_loc = Point3i{flat.min_k / c, flat.min_row, flat.min_k % c};
  } else {
    *m_min_loc = Point3i{-1, -1, -1};
  }
  if (flat.max_row >= 0) {
    *m_max_loc = Point3i{flat.max_k / c, flat.max_row, flat.max_k % c};
  } else {
    *m_max_loc = Point3i{-1, -1, -1};
  }
}

Status MinMaxLoc::SetArgs(const Array* src, double* min_val, double* max_val, Point3i* min_loc, Point3i* max_loc) {
  if (src == nullptr) {
    KILN_RECORD(m_ctx, "src is null ptr");
    return kStatusFail;
  }
  if (min_val == nullptr || max_val == nullptr || min_loc == nullptr || max_loc == nullptr) {
    KILN_RECORD(m_ctx, "output pointer is null ptr");
    return kStatusFail;
  }
  if (!src->IsValid()) {
    KILN_RECORD(m_ctx, "src or dst mat is invalid.");
    return kStatusFail;
  }
  return SetImplArgs<MinMaxLocImpl, MinMaxLocNone, MinMaxLocNeon>({src->Width()}, "min_max_loc_impl is null ptr", src,
                                                                  min_val, max_val, min_loc, max_loc);
}

Status IMinMaxLoc(Context* ctx, const Array* src, double* min_val, double* max_val, Point3i* min_loc,
                  Point3i* max_loc, const TargetInfo& target) {
  MinMaxLoc op(ctx, target);
  return OpCall(op, src, min_val, max_val, min_loc, max_loc);
}

}  // namespace kiln
