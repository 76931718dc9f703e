// Advanced SIMD ConvertTo kernels: 16 elements per step, widened to four
// float (or 32-bit integer) vectors, converted, narrowed with saturation.
//
// Contraction is off for this file: vmulq_f32 + vaddq_f32 must stay a
// rounded product and a rounded sum (GCC's arm_neon.h writes them as plain
// operators and would otherwise fuse them into fmla).
#pragma GCC optimize("fp-contract=off")

#include "kiln/ops/matrix/host/neon/convert_to_neon.h"

#include <cstring>
#include <memory>

#include "kiln/ops/core/neon/kiln_neon.h"
#include "kiln/ops/matrix/convert_to_formula.h"
#include "kiln/runtime/context/context.h"

namespace kiln {

namespace {

using matrix::ElemTraits;
using matrix::RawOf;

constexpr int32_t kStep = 16;  // elements per vector step

struct F32x16 {
  float32x4_t v[4];
};
struct S32x16 {
  int32x4_t v[4];
};
struct U32x16 {
  uint32x4_t v[4];
};

// f(0) .. f(3) written out, so the four registers of a group stay in
// registers at -O2 instead of going through the stack in a loop.
template <class F>
inline void Each4(F&& f) {
  f(0);
  f(1);
  f(2);
  f(3);
}

// ---- Loads: 16 elements widened to 32-bit lanes ----------------------------

template <ElemType kSrc>
inline S32x16 LoadS32(const RawOf<kSrc>* p) {
  if constexpr (kSrc == QX_U8) {
    const uint16x8x2_t w = neon::MovlU8Pair(vld1q_u8(p));
    const uint32x4x2_t lo = neon::MovlU16Pair(w.val[0]);
    const uint32x4x2_t hi = neon::MovlU16Pair(w.val[1]);
    return {{vreinterpretq_s32_u32(lo.val[0]), vreinterpretq_s32_u32(lo.val[1]), vreinterpretq_s32_u32(hi.val[0]),
             vreinterpretq_s32_u32(hi.val[1])}};
  } else if constexpr (kSrc == QX_S8) {
    const int16x8x2_t w = neon::MovlS8Pair(vld1q_s8(p));
    const int32x4x2_t lo = neon::MovlS16Pair(w.val[0]);
    const int32x4x2_t hi = neon::MovlS16Pair(w.val[1]);
    return {{lo.val[0], lo.val[1], hi.val[0], hi.val[1]}};
  } else if constexpr (kSrc == QX_U16) {
    const uint32x4x2_t lo = neon::MovlU16Pair(vld1q_u16(p));
    const uint32x4x2_t hi = neon::MovlU16Pair(vld1q_u16(p + 8));
    return {{vreinterpretq_s32_u32(lo.val[0]), vreinterpretq_s32_u32(lo.val[1]), vreinterpretq_s32_u32(hi.val[0]),
             vreinterpretq_s32_u32(hi.val[1])}};
  } else if constexpr (kSrc == QX_S16) {
    const int32x4x2_t lo = neon::MovlS16Pair(vld1q_s16(p));
    const int32x4x2_t hi = neon::MovlS16Pair(vld1q_s16(p + 8));
    return {{lo.val[0], lo.val[1], hi.val[0], hi.val[1]}};
  } else {
    static_assert(kSrc == QX_S32, "U32 loads as U32x16, floats as F32x16");
    return {{vld1q_s32(p), vld1q_s32(p + 4), vld1q_s32(p + 8), vld1q_s32(p + 12)}};
  }
}

inline U32x16 LoadU32(const uint32_t* p) {
  return {{vld1q_u32(p), vld1q_u32(p + 4), vld1q_u32(p + 8), vld1q_u32(p + 12)}};
}

template <ElemType kSrc>
inline F32x16 LoadF32(const RawOf<kSrc>* p) {
  if constexpr (kSrc == QX_F32) {
    return {{vld1q_f32(p), vld1q_f32(p + 4), vld1q_f32(p + 8), vld1q_f32(p + 12)}};
  } else if constexpr (kSrc == QX_F16) {
    const uint16x8_t lo = vld1q_u16(p);
    const uint16x8_t hi = vld1q_u16(p + 8);
    return {{neon::CvtF32F16Bits(vget_low_u16(lo)), neon::CvtF32F16Bits(vget_high_u16(lo)),
             neon::CvtF32F16Bits(vget_low_u16(hi)), neon::CvtF32F16Bits(vget_high_u16(hi))}};
  } else if constexpr (kSrc == QX_U32) {
    const U32x16 u = LoadU32(p);
    return {{vcvtq_f32_u32(u.v[0]), vcvtq_f32_u32(u.v[1]), vcvtq_f32_u32(u.v[2]), vcvtq_f32_u32(u.v[3])}};
  } else {
    // Everything narrower than 32 bits fits the signed conversion.
    const S32x16 s = LoadS32<kSrc>(p);
    return {{vcvtq_f32_s32(s.v[0]), vcvtq_f32_s32(s.v[1]), vcvtq_f32_s32(s.v[2]), vcvtq_f32_s32(s.v[3])}};
  }
}

// ---- Stores: 16 lanes narrowed with saturation ------------------------------

template <ElemType kDst>
inline void StoreS32(RawOf<kDst>* p, const S32x16& x) {
  // Through int16 first: saturating twice equals saturating once, since the
  // 8-bit ranges lie inside the 16-bit one.
  if constexpr (kDst == QX_U8) {
    vst1q_u8(p, neon::QmovunS16Pair(neon::QmovnS32Pair(x.v[0], x.v[1]), neon::QmovnS32Pair(x.v[2], x.v[3])));
  } else if constexpr (kDst == QX_S8) {
    vst1q_s8(p, neon::QmovnS16Pair(neon::QmovnS32Pair(x.v[0], x.v[1]), neon::QmovnS32Pair(x.v[2], x.v[3])));
  } else if constexpr (kDst == QX_U16) {
    vst1q_u16(p, neon::QmovunS32PairAnyInput(x.v[0], x.v[1]));
    vst1q_u16(p + 8, neon::QmovunS32PairAnyInput(x.v[2], x.v[3]));
  } else if constexpr (kDst == QX_S16) {
    vst1q_s16(p, neon::QmovnS32Pair(x.v[0], x.v[1]));
    vst1q_s16(p + 8, neon::QmovnS32Pair(x.v[2], x.v[3]));
  } else if constexpr (kDst == QX_U32) {
    const int32x4_t zero = vdupq_n_s32(0);
    Each4([&](int i) { vst1q_u32(p + 4 * i, vreinterpretq_u32_s32(vmaxq_s32(x.v[i], zero))); });
  } else {
    static_assert(kDst == QX_S32, "float destinations store F32x16");
    Each4([&](int i) { vst1q_s32(p + 4 * i, x.v[i]); });
  }
}

template <ElemType kDst>
inline void StoreU32(RawOf<kDst>* p, const U32x16& x) {
  if constexpr (kDst == QX_U8) {
    const uint16x8_t a = vcombine_u16(vqmovn_u32(x.v[0]), vqmovn_u32(x.v[1]));
    const uint16x8_t b = vcombine_u16(vqmovn_u32(x.v[2]), vqmovn_u32(x.v[3]));
    vst1q_u8(p, vcombine_u8(vqmovn_u16(a), vqmovn_u16(b)));
  } else if constexpr (kDst == QX_S8) {
    const uint32x4_t m = vdupq_n_u32(127);
    const uint16x8_t a = vcombine_u16(vmovn_u32(vminq_u32(x.v[0], m)), vmovn_u32(vminq_u32(x.v[1], m)));
    const uint16x8_t b = vcombine_u16(vmovn_u32(vminq_u32(x.v[2], m)), vmovn_u32(vminq_u32(x.v[3], m)));
    vst1q_s8(p, vreinterpretq_s8_u8(vcombine_u8(vmovn_u16(a), vmovn_u16(b))));
  } else if constexpr (kDst == QX_U16) {
    vst1q_u16(p, vcombine_u16(vqmovn_u32(x.v[0]), vqmovn_u32(x.v[1])));
    vst1q_u16(p + 8, vcombine_u16(vqmovn_u32(x.v[2]), vqmovn_u32(x.v[3])));
  } else if constexpr (kDst == QX_S16) {
    const uint32x4_t m = vdupq_n_u32(32767);
    vst1q_s16(p, vreinterpretq_s16_u16(vcombine_u16(vmovn_u32(vminq_u32(x.v[0], m)), vmovn_u32(vminq_u32(x.v[1], m)))));
    vst1q_s16(p + 8,
              vreinterpretq_s16_u16(vcombine_u16(vmovn_u32(vminq_u32(x.v[2], m)), vmovn_u32(vminq_u32(x.v[3], m)))));
  } else {
    static_assert(kDst == QX_S32, "U32 to U32 is a copy, float destinations store F32x16");
    const uint32x4_t m = vdupq_n_u32(2147483647u);
    Each4([&](int i) { vst1q_s32(p + 4 * i, vreinterpretq_s32_u32(vminq_u32(x.v[i], m))); });
  }
}

template <ElemType kDst>
inline void StoreF32(RawOf<kDst>* p, const F32x16& x) {
  if constexpr (kDst == QX_F32) {
    Each4([&](int i) { vst1q_f32(p + 4 * i, x.v[i]); });
  } else if constexpr (kDst == QX_F16) {
    vst1q_u16(p, vcombine_u16(neon::CvtF16BitsF32(x.v[0]), neon::CvtF16BitsF32(x.v[1])));
    vst1q_u16(p + 8, vcombine_u16(neon::CvtF16BitsF32(x.v[2]), neon::CvtF16BitsF32(x.v[3])));
  } else if constexpr (kDst == QX_U32) {
    Each4([&](int i) { vst1q_u32(p + 4 * i, neon::CvtnqU32F32(x.v[i])); });
  } else if constexpr (kDst == QX_U8 || kDst == QX_U16) {
    const S32x16 s = {{neon::CvtnqS32F32ForUnsignedNarrow(x.v[0]), neon::CvtnqS32F32ForUnsignedNarrow(x.v[1]),
                       neon::CvtnqS32F32ForUnsignedNarrow(x.v[2]), neon::CvtnqS32F32ForUnsignedNarrow(x.v[3])}};
    StoreS32<kDst>(p, s);
  } else {
    // Saturating to int32 first and then to the narrow type equals
    // saturating once, since every bound is an integer.
    const S32x16 s = {{neon::CvtnqS32F32(x.v[0]), neon::CvtnqS32F32(x.v[1]), neon::CvtnqS32F32(x.v[2]),
                       neon::CvtnqS32F32(x.v[3])}};
    StoreS32<kDst>(p, s);
  }
}

// ---- One step of 16 elements, one row range --------------------------------

template <CvtMethod kMethod>
inline F32x16 Apply(F32x16 x, float32x4_t alpha, float32x4_t beta) {
  Each4([&](int i) {
    if constexpr (kMethod == CvtMethod::MUL_ADD) {
      x.v[i] = vaddq_f32(vmulq_f32(x.v[i], alpha), beta);
    } else if constexpr (kMethod == CvtMethod::MUL_ONLY) {
      x.v[i] = vmulq_f32(x.v[i], alpha);
    } else if constexpr (kMethod == CvtMethod::ADD_ONLY) {
      x.v[i] = vaddq_f32(x.v[i], beta);
    }
  });
  return x;
}

template <ElemType kSrc, ElemType kDst, CvtMethod kMethod>
inline void Step(const RawOf<kSrc>* s, RawOf<kDst>* d, float32x4_t alpha, float32x4_t beta) {
  constexpr bool kIntegers = !ElemTraits<kSrc>::is_float && !ElemTraits<kDst>::is_float;
  if constexpr (kMethod == CvtMethod::NO_SCALE && kIntegers) {
    // Integer to integer stays in integers: 32-bit values are exact.
    if constexpr (kSrc == QX_U32) {
      StoreU32<kDst>(d, LoadU32(s));
    } else {
      StoreS32<kDst>(d, LoadS32<kSrc>(s));
    }
  } else {
    StoreF32<kDst>(d, Apply<kMethod>(LoadF32<kSrc>(s), alpha, beta));
  }
}

template <ElemType kSrc, ElemType kDst, CvtMethod kMethod>
void NeonRows(const ConvertRowsArgs& a, int32_t row_begin, int32_t row_end) {
  const float32x4_t alpha = vdupq_n_f32(a.alpha);
  const float32x4_t beta = vdupq_n_f32(a.beta);
  const int32_t n = a.elems;
  for (int32_t y = row_begin; y < row_end; ++y) {
    const auto* s = reinterpret_cast<const RawOf<kSrc>*>(a.src + y * a.src_pitch);
    auto* d = reinterpret_cast<RawOf<kDst>*>(a.dst + y * a.dst_pitch);
    int32_t x = 0;
    for (; x <= n - kStep; x += kStep) Step<kSrc, kDst, kMethod>(s + x, d + x, alpha, beta);
    // The tail goes through the plain formula rather than an overlapping
    // step, so an in-place conversion never converts an element twice.
    for (; x < n; ++x) {
      if constexpr (kMethod == CvtMethod::NO_SCALE) {
        d[x] = matrix::ConvertElemNoScale<kSrc, kDst>(s[x]);
      } else {
        d[x] = matrix::ConvertElemScaled<kSrc, kDst>(s[x], a.alpha, a.beta);
      }
    }
  }
}

// IsU8ExactScale's case: x * alpha + beta in 16-bit lanes (no lane can
// wrap), then narrowed or widened to the destination.
template <ElemType kDst>
inline void StoreU16Pair(RawOf<kDst>* p, uint16x8_t a, uint16x8_t b) {
  if constexpr (kDst == QX_U8) {
    vst1q_u8(p, neon::QmovnU16Pair(a, b));
  } else if constexpr (kDst == QX_S8) {
    const uint16x8_t top = vdupq_n_u16(127);
    vst1q_s8(p, vreinterpretq_s8_u8(neon::QmovnU16Pair(vminq_u16(a, top), vminq_u16(b, top))));
  } else if constexpr (kDst == QX_U16) {
    vst1q_u16(p, a);
    vst1q_u16(p + 8, b);
  } else if constexpr (kDst == QX_S16) {
    const uint16x8_t top = vdupq_n_u16(32767);
    vst1q_s16(p, vreinterpretq_s16_u16(vminq_u16(a, top)));
    vst1q_s16(p + 8, vreinterpretq_s16_u16(vminq_u16(b, top)));
  } else {
    static_assert(kDst == QX_U32 || kDst == QX_S32, "integer destinations only");
    const uint32x4x2_t lo = neon::MovlU16Pair(a);
    const uint32x4x2_t hi = neon::MovlU16Pair(b);
    auto* q = reinterpret_cast<uint32_t*>(p);
    vst1q_u32(q, lo.val[0]);
    vst1q_u32(q + 4, lo.val[1]);
    vst1q_u32(q + 8, hi.val[0]);
    vst1q_u32(q + 12, hi.val[1]);
  }
}

template <ElemType kDst>
void U8ExactRows(const ConvertRowsArgs& a, int32_t row_begin, int32_t row_end) {
  const uint16x8_t alpha = vdupq_n_u16(static_cast<uint16_t>(a.alpha));
  const uint16x8_t beta = vdupq_n_u16(static_cast<uint16_t>(a.beta));
  const int32_t n = a.elems;
  for (int32_t y = row_begin; y < row_end; ++y) {
    const uint8_t* s = a.src + y * a.src_pitch;
    auto* d = reinterpret_cast<RawOf<kDst>*>(a.dst + y * a.dst_pitch);
    int32_t x = 0;
    for (; x <= n - kStep; x += kStep) {
      const uint16x8x2_t w = neon::MovlU8Pair(vld1q_u8(s + x));
      StoreU16Pair<kDst>(d + x, vmlaq_u16(beta, w.val[0], alpha), vmlaq_u16(beta, w.val[1], alpha));
    }
    for (; x < n; ++x) d[x] = matrix::ConvertElemScaled<QX_U8, kDst>(s[x], a.alpha, a.beta);
  }
}

template <ElemType kType>
void CopyRows(const ConvertRowsArgs& a, int32_t row_begin, int32_t row_end) {
  const size_t row_bytes = static_cast<size_t>(a.elems) * sizeof(RawOf<kType>);
  for (int32_t y = row_begin; y < row_end; ++y) {
    const uint8_t* s = a.src + y * a.src_pitch;
    uint8_t* d = a.dst + y * a.dst_pitch;
    if (s != d) std::memcpy(d, s, row_bytes);
  }
}

template <ElemType kSrc, ElemType kDst>
ConvertRowsFn PickMethod(CvtMethod method) {
  switch (method) {
    case CvtMethod::NO_SCALE:
      if constexpr (kSrc == kDst) {
        return &CopyRows<kSrc>;
      } else {
        return &NeonRows<kSrc, kDst, CvtMethod::NO_SCALE>;
      }
    case CvtMethod::MUL_ADD:
      return &NeonRows<kSrc, kDst, CvtMethod::MUL_ADD>;
    case CvtMethod::MUL_ONLY:
      if constexpr (ElemTraits<kDst>::is_float) {
        return nullptr;  // dropping beta would lose the sign rule of +0
      } else {
        return &NeonRows<kSrc, kDst, CvtMethod::MUL_ONLY>;
      }
    case CvtMethod::ADD_ONLY:
      return &NeonRows<kSrc, kDst, CvtMethod::ADD_ONLY>;
  }
  return nullptr;
}

template <ElemType kSrc>
ConvertRowsFn PickDst(ElemType dst_type, CvtMethod method) {
  switch (dst_type) {
    case QX_U8: return PickMethod<kSrc, QX_U8>(method);
    case QX_S8: return PickMethod<kSrc, QX_S8>(method);
    case QX_U16: return PickMethod<kSrc, QX_U16>(method);
    case QX_S16: return PickMethod<kSrc, QX_S16>(method);
    case QX_U32: return PickMethod<kSrc, QX_U32>(method);
    case QX_S32: return PickMethod<kSrc, QX_S32>(method);
    case QX_F32: return PickMethod<kSrc, QX_F32>(method);
    case QX_F16: return PickMethod<kSrc, QX_F16>(method);
    default: return nullptr;
  }
}

}  // namespace

ConvertRowsFn GetConvertRowsNeon(ElemType src_type, ElemType dst_type, CvtMethod method) {
  switch (src_type) {
    case QX_U8: return PickDst<QX_U8>(dst_type, method);
    case QX_S8: return PickDst<QX_S8>(dst_type, method);
    case QX_U16: return PickDst<QX_U16>(dst_type, method);
    case QX_S16: return PickDst<QX_S16>(dst_type, method);
    case QX_U32: return PickDst<QX_U32>(dst_type, method);
    case QX_S32: return PickDst<QX_S32>(dst_type, method);
    case QX_F32: return PickDst<QX_F32>(dst_type, method);
    case QX_F16: return PickDst<QX_F16>(dst_type, method);
    default: return nullptr;
  }
}

ConvertRowsFn GetConvertRowsU8ExactNeon(ElemType dst_type) {
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
Status ConvertToNeon::RunHelper(CvtMethod method) {
  const ElemType src_type = m_src->GetElemType();
  const ConvertRowsFn fn = method != CvtMethod::NO_SCALE && IsU8ExactScale(src_type, kDst, m_alpha, m_beta)
                               ? GetConvertRowsU8ExactNeon(kDst)
                               : GetConvertRowsNeon(src_type, kDst, method);
  Status status = kStatusFail;
  if (fn != nullptr) {
    status = RunRows(fn, true, "GetWorkerPool failed");
    if (status != kStatusOk) KILN_RECORD(m_ctx, "ParallelFor ConvertToNeonImpl CvtMethod::%s failed.", CvtMethodName(method));
  }
  if (status != kStatusOk) {
    KILN_RECORD(m_ctx, "ConvertToNeonHelper<Tp, %s> failed.", ElemTraits<kDst>::name);
    return kStatusFail;
  }
  return kStatusOk;
}

Status ConvertToNeon::Run() {
  if (m_src == nullptr || m_dst == nullptr) {
    KILN_RECORD(m_ctx, "src or dst is null");
    return kStatusFail;
  }
  if (!matrix::IsMatrixElemType(m_src->GetElemType())) {
    KILN_RECORD(m_ctx, "ConvertToNeon src type is unsupported.");
    return kStatusFail;
  }
  if (!matrix::IsMatrixElemType(m_dst->GetElemType())) {
    KILN_RECORD(m_ctx, "ConvertToNeon dst type is unsupported.");
    return kStatusFail;
  }
  if (m_ctx == nullptr || m_ctx->GetWorkerpool() == nullptr) {
    KILN_RECORD(m_ctx, "GetWorkerPool failed");
    return kStatusFail;
  }
  const ElemType dst_type = m_dst->GetElemType();
  const CvtMethod method = ChooseCvtMethod(m_alpha, m_beta, dst_type == QX_F32 || dst_type == QX_F16);
  switch (dst_type) {
    case QX_U8: return RunHelper<QX_U8>(method);
    case QX_S8: return RunHelper<QX_S8>(method);
    case QX_U16: return RunHelper<QX_U16>(method);
    case QX_S16: return RunHelper<QX_S16>(method);
    case QX_U32: return RunHelper<QX_U32>(method);
    case QX_S32: return RunHelper<QX_S32>(method);
    case QX_F32: return RunHelper<QX_F32>(method);
    default: return RunHelper<QX_F16>(method);
  }
}

}  // namespace kiln
