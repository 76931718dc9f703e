#include "kiln/ops/cvtcolor/cvtcolor.h"

#include <cstdint>
#include <cstring>

#include "kiln/ops/core/comm/op_call.h"
#include "kiln/ops/cvtcolor/host/neon/cvtcolor_neon.h"
#include "kiln/ops/cvtcolor/none/cvtcolor_none.h"
#include "kiln/tools/json/json_writer.h"

namespace kiln {

namespace {

constexpr const char* kYuvEven = "src and dst mats size only support even";
constexpr const char* kYuvParams = "src and dst mats params do not match";
constexpr const char* kRgbSrcEven = "src sizes only support even";
constexpr const char* kRgbSizes = "the sizes of src and dst do not match";
constexpr const char* kSameSize = "src and dst must have the same height and width";

// 16-bit rows must start on 2-byte boundaries.
bool RowsAligned(const Array* a) {
  return ((reinterpret_cast<uintptr_t>(a->Ptr<uint8_t>()) | static_cast<uintptr_t>(a->RowPitch())) %
          static_cast<uintptr_t>(a->ElemSize())) == 0;
}

constexpr const char* kUnaligned = "u16 rows must be 2-byte aligned";

bool IsEven(const Array* a) { return a->Height() % 2 == 0 && a->Width() % 2 == 0; }

bool SameHw(const Array* a, const Array* b) { return a->Height() == b->Height() && a->Width() == b->Width(); }

bool HasShape(const Array* a, int h, int w, int c) { return a->Height() == h && a->Width() == w && a->Channels() == c; }

// An interleaved chroma plane of an h x w image: h / 2 rows of w / 2 sample
// pairs, described as 2 channels or as w single elements.
bool IsInterleavedChroma(const Array* a, int h, int w) {
  return HasShape(a, h / 2, w / 2, 2) || HasShape(a, h / 2, w, 1);
}

}  // namespace

CvtColorKernel CvtColorKernelOf(int32_t type) {
  switch (type) {
    case BGR2BGRA:
    case BGRA2BGR:
    case BGR2RGB:
      return CvtColorKernel::kBgr2Bgra;
    case GRAY2BGR:
    case GRAY2BGRA:
      return CvtColorKernel::kGray2Bgr;
    case BGR2GRAY:
    case RGB2GRAY:
    case BGRA2GRAY:
    case RGBA2GRAY:
      return CvtColorKernel::kBgr2Gray;
    case YUV2RGB_NV12:
    case YUV2RGB_NV21:
    case YUV2RGB_NV12_601:
    case YUV2RGB_NV21_601:
      return CvtColorKernel::kNv2Rgb;
    case YUV2RGB_YU12:
    case YUV2RGB_YV12:
    case YUV2RGB_YU12_601:
    case YUV2RGB_YV12_601:
      return CvtColorKernel::kY4202Rgb;
    case YUV2RGB_Y422:
    case YUV2RGB_YUYV:
    case YUV2RGB_YVYU:
    case YUV2RGB_Y422_601:
    case YUV2RGB_YUYV_601:
    case YUV2RGB_YVYU_601:
      return CvtColorKernel::kY4222Rgb;
    case YUV2RGB_Y444:
    case YUV2RGB_Y444_601:
      return CvtColorKernel::kY4442Rgb;
    case RGB2YUV_NV12:
    case RGB2YUV_NV21:
    case RGB2YUV_NV12_601:
    case RGB2YUV_NV21_601:
      return CvtColorKernel::kRgb2Nv;
    case RGB2YUV_YU12:
    case RGB2YUV_YV12:
    case RGB2YUV_YU12_601:
    case RGB2YUV_YV12_601:
      return CvtColorKernel::kRgb2Y420;
    case RGB2YUV_Y444:
    case RGB2YUV_Y444_601:
      return CvtColorKernel::kRgb2Y444;
    case RGB2YUV_NV12_P010:
    case RGB2YUV_NV21_P010:
      return CvtColorKernel::kRgb2NvP010;
    case BAYERBG2BGR:
    case BAYERGB2BGR:
    case BAYERRG2BGR:
    case BAYERGR2BGR:
      return CvtColorKernel::kBayer2Bgr;
    default:
      return CvtColorKernel::kInvalid;
  }
}

// ---- CvtColorImpl: argument checks -----------------------------------------

CvtColorImpl::CvtColorImpl(Context* ctx, const TargetInfo& target) : OpImpl(ctx, "CvtColor", target) {}

Status CvtColorImpl::CheckArrayNum(const CvtColorTypeInfo& info, const std::vector<Array*>& src,
                                   const std::vector<Array*>& dst) const {
  if (static_cast<int32_t>(src.size()) != info.src_num || static_cast<int32_t>(dst.size()) != info.dst_num) {
    KILN_RECORD(m_ctx, "the number of src mat or dst mat is not match to type");
    KILN_RECORD(m_ctx, "fail");
    return kStatusFail;
  }
  return kStatusOk;
}

Status CvtColorImpl::CheckArrayElemType(const CvtColorTypeInfo& info, const std::vector<Array*>& src,
                                        const std::vector<Array*>& dst) const {
  for (const Array* a : src) {
    if (a == nullptr || !a->IsValid()) {
      KILN_RECORD(m_ctx, "invalid src");
      return kStatusFail;
    }
  }
  for (const Array* a : dst) {
    if (a == nullptr || !a->IsValid()) {
      KILN_RECORD(m_ctx, "invalid dst");
      return kStatusFail;
    }
  }
  const auto accepts = [&info](const Array* a) {
    switch (info.elems) {
      case CvtColorElems::kU8:
        return a->GetElemType() == QX_U8;
      case CvtColorElems::kU16:
        return a->GetElemType() == QX_U16;
      case CvtColorElems::kU8OrU16:
        return a->GetElemType() == QX_U8 || a->GetElemType() == QX_U16;
    }
    return false;
  };
  const char* suffix = info.elems == CvtColorElems::kU8 ? "u8" : (info.elems == CvtColorElems::kU16 ? "u16" : "u8|u16");
  for (const Array* a : src) {
    if (!accepts(a)) {
      KILN_RECORD(m_ctx, "src elem type should be %s", suffix);
      return kStatusFail;
    }
  }
  for (const Array* a : dst) {
    if (!accepts(a)) {
      KILN_RECORD(m_ctx, "dst elem type should be %s", suffix);
      return kStatusFail;
    }
  }
  return kStatusOk;
}

Status CvtColorImpl::SetArgs(const std::vector<Array*>& src, const std::vector<Array*>& dst, CvtColorType type) {
  const CvtColorTypeInfo* info = FindCvtColorType(type);
  if (info == nullptr) {
    KILN_RECORD(m_ctx, "cvtcolor type error");
    return kStatusFail;
  }
  if (CheckArrayNum(*info, src, dst) != kStatusOk) {
    KILN_RECORD(m_ctx, "array num is not match");
    return kStatusFail;
  }
  if (CheckArrayElemType(*info, src, dst) != kStatusOk) {
    KILN_RECORD(m_ctx, "array elem type is not match");
    return kStatusFail;
  }
  m_src = src;
  m_dst = dst;
  m_type = type;
  return kStatusOk;
}

const char* CvtColorImpl::CheckMats() const {
  for (const Array* a : m_src) {
    if (a->GetArrayType() != KILN_ARRAY_MAT) return "src must be mat type";
  }
  for (const Array* a : m_dst) {
    if (a->GetArrayType() != KILN_ARRAY_MAT) return "dst must be mat type";
  }
  return nullptr;
}

std::string CvtColorImpl::ToString() const {
  return DescribeHead() + " param(m_type: " + CvtColorTypeName(m_type) + ")\n";
}

void CvtColorImpl::DumpParams(JsonWriter& writer) const {
  writer.SetValue("m_type", std::string(CvtColorTypeDumpName(m_type)));
}

// ---- CvtColorImpl: geometry of each kernel family --------------------------

const char* CvtColorImpl::PrepareBgr2Bgra(cvtcolor::ReorderArgs* args) const {
  const Array* src = m_src[0];
  const Array* dst = m_dst[0];
  const auto three_or_four = [](const Array* a) { return a->Channels() == 3 || a->Channels() == 4; };
  if (!three_or_four(src) || !three_or_four(dst)) return "src and dst channel should be 3 or 4";
  if (!SameHw(src, dst)) return kSameSize;
  args->src = src->Ptr<const uint8_t>();
  args->src_pitch = src->RowPitch();
  args->src_cn = src->Channels();
  args->dst = dst->Ptr<uint8_t>();
  args->dst_pitch = dst->RowPitch();
  args->dst_cn = dst->Channels();
  args->width = src->Width();
  args->swap_rb = m_type == BGR2RGB;
  return nullptr;
}

const char* CvtColorImpl::PrepareGray2Bgr(cvtcolor::GrayToBgrArgs* args) const {
  const Array* src = m_src[0];
  const Array* dst = m_dst[0];
  if (src->Channels() != 1 || (dst->Channels() != 3 && dst->Channels() != 4)) {
    return "src channel must be 1 and dst channel must be 3 or 4";
  }
  if (!SameHw(src, dst)) return kSameSize;
  args->src = src->Ptr<const uint8_t>();
  args->src_pitch = src->RowPitch();
  args->dst = dst->Ptr<uint8_t>();
  args->dst_pitch = dst->RowPitch();
  args->dst_cn = dst->Channels();
  args->width = src->Width();
  return nullptr;
}

const char* CvtColorImpl::PrepareBgr2Gray(cvtcolor::GrayArgs* args) const {
  const Array* src = m_src[0];
  const Array* dst = m_dst[0];
  if ((src->Channels() != 3 && src->Channels() != 4) || dst->Channels() != 1) {
    return "src channel must be 3 or 4 adn dst channel must be 1";
  }
  if (!SameHw(src, dst)) return kSameSize;
  args->src = src->Ptr<const uint8_t>();
  args->src_pitch = src->RowPitch();
  args->src_cn = src->Channels();
  args->dst = dst->Ptr<uint8_t>();
  args->dst_pitch = dst->RowPitch();
  args->width = src->Width();
  args->red_first = m_type == RGB2GRAY || m_type == RGBA2GRAY;
  return nullptr;
}

const char* CvtColorImpl::PrepareNv2Rgb(cvtcolor::YuvToRgbArgs* args) const {
  const Array* y = m_src[0];
  const Array* uv = m_src[1];
  const Array* dst = m_dst[0];
  if (!IsEven(y) || !IsEven(dst)) return kYuvEven;
  const int h = y->Height();
  const int w = y->Width();
  if (y->Channels() != 1 || !HasShape(dst, h, w, 3) || !IsInterleavedChroma(uv, h, w)) return kYuvParams;
  const bool u_first = CvtColorUFirst(m_type);
  args->y = y->Ptr<const uint8_t>();
  args->y_pitch = y->RowPitch();
  args->u = uv->Ptr<const uint8_t>() + (u_first ? 0 : 1);
  args->v = uv->Ptr<const uint8_t>() + (u_first ? 1 : 0);
  args->u_pitch = uv->RowPitch();
  args->v_pitch = uv->RowPitch();
  args->uv_step = 2;
  args->dst = dst->Ptr<uint8_t>();
  args->dst_pitch = dst->RowPitch();
  args->width = w;
  args->full_range = CvtColorFullRange(m_type);
  return nullptr;
}

const char* CvtColorImpl::PrepareY4202Rgb(cvtcolor::YuvToRgbArgs* args) const {
  const Array* y = m_src[0];
  const Array* dst = m_dst[0];
  if (!IsEven(y) || !IsEven(dst)) return kYuvEven;
  const int h = y->Height();
  const int w = y->Width();
  const bool u_first = CvtColorUFirst(m_type);
  const Array* u = m_src[u_first ? 1 : 2];
  const Array* v = m_src[u_first ? 2 : 1];
  if (y->Channels() != 1 || !HasShape(dst, h, w, 3) || !HasShape(u, h / 2, w / 2, 1) ||
      !HasShape(v, h / 2, w / 2, 1)) {
    return kYuvParams;
  }
  args->y = y->Ptr<const uint8_t>();
  args->y_pitch = y->RowPitch();
  args->u = u->Ptr<const uint8_t>();
  args->u_pitch = u->RowPitch();
  args->v = v->Ptr<const uint8_t>();
  args->v_pitch = v->RowPitch();
  args->uv_step = 1;
  args->dst = dst->Ptr<uint8_t>();
  args->dst_pitch = dst->RowPitch();
  args->width = w;
  args->full_range = CvtColorFullRange(m_type);
  return nullptr;
}

const char* CvtColorImpl::PrepareY4222Rgb(cvtcolor::Yuv422ToRgbArgs* args) const {
  const Array* src = m_src[0];
  const Array* dst = m_dst[0];
  if (src->Width() % 2 != 0) return "src width only support even";
  if (src->Channels() != 2 || !HasShape(dst, src->Height(), src->Width(), 3)) return kYuvParams;
  args->src = src->Ptr<const uint8_t>();
  args->src_pitch = src->RowPitch();
  if (m_type == YUV2RGB_Y422 || m_type == YUV2RGB_Y422_601) {
    // U0 Y0 V0 Y1
    args->y_offset = 1;
    args->u_offset = 0;
    args->v_offset = 2;
  } else {
    // Y0 U0 Y1 V0 or Y0 V0 Y1 U0
    const bool u_first = CvtColorUFirst(m_type);
    args->y_offset = 0;
    args->u_offset = u_first ? 1 : 3;
    args->v_offset = u_first ? 3 : 1;
  }
  args->dst = dst->Ptr<uint8_t>();
  args->dst_pitch = dst->RowPitch();
  args->width = src->Width();
  args->full_range = CvtColorFullRange(m_type);
  return nullptr;
}

const char* CvtColorImpl::PrepareY4442Rgb(cvtcolor::YuvToRgbArgs* args) const {
  const Array* y = m_src[0];
  const Array* dst = m_dst[0];
  const bool u_first = CvtColorUFirst(m_type);
  const Array* u = m_src[u_first ? 1 : 2];
  const Array* v = m_src[u_first ? 2 : 1];
  const int h = y->Height();
  const int w = y->Width();
  if (y->Channels() != 1 || !HasShape(u, h, w, 1) || !HasShape(v, h, w, 1) || !HasShape(dst, h, w, 3)) {
    return kYuvParams;
  }
  args->y = y->Ptr<const uint8_t>();
  args->y_pitch = y->RowPitch();
  args->u = u->Ptr<const uint8_t>();
  args->u_pitch = u->RowPitch();
  args->v = v->Ptr<const uint8_t>();
  args->v_pitch = v->RowPitch();
  args->uv_step = 1;
  args->dst = dst->Ptr<uint8_t>();
  args->dst_pitch = dst->RowPitch();
  args->width = w;
  args->full_range = CvtColorFullRange(m_type);
  return nullptr;
}

const char* CvtColorImpl::PrepareRgb2Nv(cvtcolor::RgbToYuvArgs* args) const {
  const Array* src = m_src[0];
  const Array* y = m_dst[0];
  const Array* uv = m_dst[1];
  if (!IsEven(src)) return kRgbSrcEven;
  if (!IsEven(y)) return kYuvEven;
  const int h = src->Height();
  const int w = src->Width();
  if (src->Channels() != 3 || !HasShape(y, h, w, 1) || !IsInterleavedChroma(uv, h, w)) return kRgbSizes;
  const bool u_first = CvtColorUFirst(m_type);
  args->src = src->Ptr<const uint8_t>();
  args->src_pitch = src->RowPitch();
  args->y = y->Ptr<uint8_t>();
  args->y_pitch = y->RowPitch();
  args->u = uv->Ptr<uint8_t>() + (u_first ? 0 : 1);
  args->v = uv->Ptr<uint8_t>() + (u_first ? 1 : 0);
  args->u_pitch = uv->RowPitch();
  args->v_pitch = uv->RowPitch();
  args->uv_step = 2;
  args->width = w;
  args->full_range = CvtColorFullRange(m_type);
  return nullptr;
}

const char* CvtColorImpl::PrepareRgb2Y420(cvtcolor::RgbToYuvArgs* args) const {
  const Array* src = m_src[0];
  const Array* y = m_dst[0];
  if (!IsEven(src)) return kRgbSrcEven;
  if (!IsEven(y)) return kYuvEven;
  const int h = src->Height();
  const int w = src->Width();
  const bool u_first = CvtColorUFirst(m_type);
  const Array* u = m_dst[u_first ? 1 : 2];
  const Array* v = m_dst[u_first ? 2 : 1];
  if (src->Channels() != 3 || !HasShape(y, h, w, 1) || !HasShape(u, h / 2, w / 2, 1) ||
      !HasShape(v, h / 2, w / 2, 1)) {
    return kRgbSizes;
  }
  args->src = src->Ptr<const uint8_t>();
  args->src_pitch = src->RowPitch();
  args->y = y->Ptr<uint8_t>();
  args->y_pitch = y->RowPitch();
  args->u = u->Ptr<uint8_t>();
  args->u_pitch = u->RowPitch();
  args->v = v->Ptr<uint8_t>();
  args->v_pitch = v->RowPitch();
  args->uv_step = 1;
  args->width = w;
  args->full_range = CvtColorFullRange(m_type);
  return nullptr;
}

const char* CvtColorImpl::PrepareRgb2Y444(cvtcolor::RgbToYuvArgs* args) const {
  const Array* src = m_src[0];
  const int h = src->Height();
  const int w = src->Width();
  const bool u_first = CvtColorUFirst(m_type);
  const Array* y = m_dst[0];
  const Array* u = m_dst[u_first ? 1 : 2];
  const Array* v = m_dst[u_first ? 2 : 1];
  if (src->Channels() != 3 || !HasShape(y, h, w, 1) || !HasShape(u, h, w, 1) || !HasShape(v, h, w, 1)) {
    return kRgbSizes;
  }
  args->src = src->Ptr<const uint8_t>();
  args->src_pitch = src->RowPitch();
  args->y = y->Ptr<uint8_t>();
  args->y_pitch = y->RowPitch();
  args->u = u->Ptr<uint8_t>();
  args->u_pitch = u->RowPitch();
  args->v = v->Ptr<uint8_t>();
  args->v_pitch = v->RowPitch();
  args->uv_step = 1;
  args->width = w;
  args->full_range = CvtColorFullRange(m_type);
  return nullptr;
}

const char* CvtColorImpl::PrepareRgb2NvP010(cvtcolor::RgbToP010Args* args) const {
  const Array* src = m_src[0];
  const Array* y = m_dst[0];
  const Array* uv = m_dst[1];
  if (!IsEven(src)) return kRgbSrcEven;
  if (!IsEven(y)) return kYuvEven;
  const int h = src->Height();
  const int w = src->Width();
  if (src->Channels() != 3 || !HasShape(y, h, w, 1) || !IsInterleavedChroma(uv, h, w)) return kRgbSizes;
  if (!RowsAligned(src) || !RowsAligned(y) || !RowsAligned(uv)) return kUnaligned;
  const bool u_first = CvtColorUFirst(m_type);
  args->src = src->Ptr<const uint16_t>();
  args->src_pitch = src->RowPitch();
  args->y = y->Ptr<uint16_t>();
  args->y_pitch = y->RowPitch();
  args->u = uv->Ptr<uint16_t>() + (u_first ? 0 : 1);
  args->v = uv->Ptr<uint16_t>() + (u_first ? 1 : 0);
  args->uv_pitch = uv->RowPitch();
  args->width = w;
  return nullptr;
}

const char* CvtColorImpl::PrepareBayer(ElemType* elem_type) const {
  const Array* src = m_src[0];
  const Array* dst = m_dst[0];
  if (!IsEven(src) || !IsEven(dst)) return "src and dst size only support even";
  if (!SameHw(src, dst)) return kSameSize;
  // Interpolation needs a row and a column on each side of the inner block.
  if (src->Height() < 4 || src->Width() < 4) return "src and dst size must be at least 4x4";
  if (src->Channels() != 1 || dst->Channels() != 3) return "src channel must be 1 and dst channel must be 3";
  if (src->GetElemType() != dst->GetElemType() ||
      (src->GetElemType() != QX_U8 && src->GetElemType() != QX_U16)) {
    return "elem type error";
  }
  if (!RowsAligned(src) || !RowsAligned(dst)) return kUnaligned;
  *elem_type = src->GetElemType();
  return nullptr;
}

void CvtColorImpl::CopyBayerEdgeRows() const {
  const Array* dst = m_dst[0];
  const size_t bytes = static_cast<size_t>(dst->RowBytes());
  const int h = dst->Height();
  std::memcpy(dst->Ptr<uint8_t>(0), dst->Ptr<uint8_t>(1), bytes);
  std::memcpy(dst->Ptr<uint8_t>(h - 1), dst->Ptr<uint8_t>(h - 2), bytes);
}

// ---- The operator -----------------------------------------------------------

Status CvtColor::SetArgs(const std::vector<Array*>& src, const std::vector<Array*>& dst, CvtColorType type) {
  if (src.empty() || dst.empty()) {
    KILN_RECORD(m_ctx, "src/dst size is zero");
    return kStatusFail;
  }
  const int32_t width = src[0] != nullptr ? src[0]->Width() : 0;
  return SetImplArgs<CvtColorImpl, CvtColorNone, CvtColorNeon>({width}, "cvtcolor_impl is null ptr", src, dst,
                                                               type);
}

Status ICvtColor(Context* ctx, const std::vector<Array*>& src, const std::vector<Array*>& dst, CvtColorType type,
                 const TargetInfo& target) {
  CvtColor op(ctx, target);
  return OpCall(op, src, dst, type);
}

}  // namespace kiln
