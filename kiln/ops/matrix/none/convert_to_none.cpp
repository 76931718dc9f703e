// Plain ConvertTo kernels: the per-element formula, one loop per type pair.
//
// Contraction is off for this file: the formula is a rounded product then a
// rounded sum, and a fused multiply-add (which GCC would otherwise form on
// AArch64) would make the plain and vector results differ.
#pragma GCC optimize("fp-contract=off", "no-trapping-math")

#include "kiln/ops/matrix/none/convert_to_none.h"

#include <cstring>

#include "kiln/ops/matrix/convert_to_formula.h"
#include "kiln/runtime/context/context.h"

namespace kiln {

namespace {

using matrix::RawOf;

void CopyRows(const ConvertRowsArgs& a, int32_t row_begin, int32_t row_end, size_t row_bytes) {
  for (int32_t y = row_begin; y < row_end; ++y) {
    const uint8_t* s = a.src + y * a.src_pitch;
    uint8_t* d = a.dst + y * a.dst_pitch;
    if (s != d) std::memcpy(d, s, row_bytes);
  }
}

template <ElemType kType>
void CopyRowsOf(const ConvertRowsArgs& a, int32_t row_begin, int32_t row_end) {
  CopyRows(a, row_begin, row_end, static_cast<size_t>(a.elems) * sizeof(RawOf<kType>));
}

// Everything the loops need is copied out of the arguments first: a byte
// store may alias them, which would reload them per element and keep the
// loops from vectorising.
template <ElemType kSrc, ElemType kDst>
void NoScaleRows(const ConvertRowsArgs& a, int32_t row_begin, int32_t row_end) {
  const uint8_t* const src = a.src;
  uint8_t* const dst = a.dst;
  const int64_t src_pitch = a.src_pitch;
  const int64_t dst_pitch = a.dst_pitch;
  const int32_t n = a.elems;
  for (int32_t y = row_begin; y < row_end; ++y) {
    const auto* s = reinterpret_cast<const RawOf<kSrc>*>(src + y * src_pitch);
    auto* d = reinterpret_cast<RawOf<kDst>*>(dst + y * dst_pitch);
    for (int32_t x = 0; x < n; ++x) d[x] = matrix::ConvertElemNoScale<kSrc, kDst>(s[x]);
  }
}

template <ElemType kSrc, ElemType kDst>
void ScaledRows(const ConvertRowsArgs& a, int32_t row_begin, int32_t row_end) {
  const uint8_t* const src = a.src;
  uint8_t* const dst = a.dst;
  const int64_t src_pitch = a.src_pitch;
  const int64_t dst_pitch = a.dst_pitch;
  const int32_t n = a.elems;
  const float alpha = a.alpha;
  const float beta = a.beta;
  for (int32_t y = row_begin; y < row_end; ++y) {
    const auto* s = reinterpret_cast<const RawOf<kSrc>*>(src + y * src_pitch);
    auto* d = reinterpret_cast<RawOf<kDst>*>(dst + y * dst_pitch);
    for (int32_t x = 0; x < n; ++x) d[x] = matrix::ConvertElemScaled<kSrc, kDst>(s[x], alpha, beta);
  }
}

// IsU8ExactScale's case: the products and sums fit 16 bits exactly.
template <ElemType kDst>
void U8ExactRows(const ConvertRowsArgs& a, int32_t row_begin, int32_t row_end) {
  const uint8_t* const src = a.src;
  uint8_t* const dst = a.dst;
  const int64_t src_pitch = a.src_pitch;
  const int64_t dst_pitch = a.dst_pitch;
  const int32_t n = a.elems;
  const uint16_t alpha = static_cast<uint16_t>(a.alpha);
  const uint16_t beta = static_cast<uint16_t>(a.beta);
  for (int32_t y = row_begin; y < row_end; ++y) {
    const uint8_t* s = src + y * src_pitch;
    auto* d = reinterpret_cast<RawOf<kDst>*>(dst + y * dst_pitch);
    for (int32_t x = 0; x < n; ++x) {
      const uint16_t v = static_cast<uint16_t>(s[x] * alpha + beta);
      d[x] = matrix::SaturateInt<QX_U16, kDst>(v);
    }
  }
}

template <ElemType kSrc, ElemType kDst>
ConvertRowsFn Pick(bool scaled) {
  if (scaled) return &ScaledRows<kSrc, kDst>;
  if constexpr (kSrc == kDst) {
    return &CopyRowsOf<kSrc>;
  } else {
    return &NoScaleRows<kSrc, kDst>;
  }
}

template <ElemType kSrc>
ConvertRowsFn PickDst(ElemType dst_type, bool scaled) {
  switch (dst_type) {
    case QX_U8: return Pick<kSrc, QX_U8>(scaled);
    case QX_S8: return Pick<kSrc, QX_S8>(scaled);
    case QX_U16: return Pick<kSrc, QX_U16>(scaled);
    case QX_S16: return Pick<kSrc, QX_S16>(scaled);
    case QX_U32: return Pick<kSrc, QX_U32>(scaled);
    case QX_S32: return Pick<kSrc, QX_S32>(scaled);
    case QX_F32: return Pick<kSrc, QX_F32>(scaled);
    case QX_F16: return Pick<kSrc, QX_F16>(scaled);
    default: return nullptr;
  }
}

}  // namespace

ConvertRowsFn GetConvertRowsNone(ElemType src_type, ElemType dst_type, bool scaled) {
  switch (src_type) {
    case QX_U8: return PickDst<QX_U8>(dst_type, scaled);
    case QX_S8: return PickDst<QX_S8>(dst_type, scaled);
    case QX_U16: return PickDst<QX_U16>(dst_type, scaled);
    case QX_S16: return PickDst<QX_S16>(dst_type, scaled);
    case QX_U32: return PickDst<QX_U32>(dst_type, scaled);
    case QX_S32: return PickDst<QX_S32>(dst_type, scaled);
    case QX_F32: return PickDst<QX_F32>(dst_type, scaled);
    case QX_F16: return PickDst<QX_F16>(dst_type, scaled);
    default: return nullptr;
  }
}

ConvertRowsFn GetConvertRowsU8ExactNone(ElemType dst_type) {
  switch (dst_type) {
    case QX_U8: return &U8ExactRows<QX_U8>;
    case QX_S8: return &U8ExactRows<QX_S8>;
    case QX_U16: return &U8ExactRows<QX_U16>;
    case QX_S16: return &U8ExactRows<QX_S16>;
    case QX_U32: return &U8ExactRows<QX_U32>;
    case QX_S32: return &U8ExactRows<QX_S32>;
    default: return nullptr;
  }
}

template <ElemType kDst>
Status ConvertToNone::RunHelper(bool scaled) {
  const ElemType src_type = m_src->GetElemType();
  const ConvertRowsFn fn = scaled && IsU8ExactScale(src_type, kDst, m_alpha, m_beta)
                               ? GetConvertRowsU8ExactNone(kDst)
                               : GetConvertRowsNone(src_type, kDst, scaled);
  if (fn == nullptr || RunRows(fn, m_target.flag, "GetWorkerpool failed") != kStatusOk) {
    KILN_RECORD(m_ctx, "ConvertToNoneHelper<%s> failed.", matrix::ElemTraits<kDst>::name);
    return kStatusFail;
  }
  return kStatusOk;
}

Status ConvertToNone::RunForDst(bool scaled) {
  switch (m_dst->GetElemType()) {
    case QX_U8: return RunHelper<QX_U8>(scaled);
    case QX_S8: return RunHelper<QX_S8>(scaled);
    case QX_U16: return RunHelper<QX_U16>(scaled);
    case QX_S16: return RunHelper<QX_S16>(scaled);
    case QX_U32: return RunHelper<QX_U32>(scaled);
    case QX_S32: return RunHelper<QX_S32>(scaled);
    case QX_F32: return RunHelper<QX_F32>(scaled);
    case QX_F16: return RunHelper<QX_F16>(scaled);
    default: return kStatusFail;  // rejected by Run before
  }
}

Status ConvertToNone::Run() {
  if (m_src == nullptr || m_dst == nullptr) {
    KILN_RECORD(m_ctx, "src or dst is null");
    return kStatusFail;
  }
  if (!matrix::IsMatrixElemType(m_src->GetElemType())) {
    KILN_RECORD(m_ctx, "ConvertToNone src type is unsupported.");
    return kStatusFail;
  }
  if (!matrix::IsMatrixElemType(m_dst->GetElemType())) {
    KILN_RECORD(m_ctx, "ConvertToNone dst type is unsupported.");
    return kStatusFail;
  }
  if (m_target.flag && (m_ctx == nullptr || m_ctx->GetWorkerpool() == nullptr)) {
    KILN_RECORD(m_ctx, "GetWorkerpool failed");
    return kStatusFail;
  }
  const bool float_dst = m_dst->GetElemType() == QX_F32 || m_dst->GetElemType() == QX_F16;
  if (ChooseCvtMethod(m_alpha, m_beta, float_dst) == CvtMethod::NO_SCALE) {
    if (RunForDst(false) != kStatusOk) {
      KILN_RECORD(m_ctx, "ConvertToNoScaleNoneImpl failed.");
      return kStatusFail;
    }
    return kStatusOk;
  }
  // Every scaled method runs the one MUL_ADD formula here.
  if (RunForDst(true) != kStatusOk) {
    KILN_RECORD(m_ctx, "ConvertToScaledNoneImpl failed.");
    return kStatusFail;
  }
  return kStatusOk;
}

}  // namespace kiln
