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

// ---- Loads: 16 elements widened to 32-bit lanes ----------------------------

template <ElemType kSrc>
inline S32x16 LoadS32(const RawOf<kSrc>* p) {
  if constexpr (kSrc == QX_U8) {
    const uint8x16_t b = vld1q_u8(p);
    const uint16x8_t lo = vmovl_u8(vget_low_u8(b));
    const uint16x8_t hi = vmovl_u8(vget_high_u8(b));
    return {{vreinterpretq_s32_u32(vmovl_u16(vget_low_u16(lo))), vreinterpretq_s32_u32(vmovl_u16(vget_high_u16(lo))),
             vreinterpretq_s32_u32(vmovl_u16(vget_low_u16(hi))), vreinterpretq_s32_u32(vmovl_u16(vget_high_u16(hi)))}};
  } else if constexpr (kSrc == QX_S8) {
    const int8x16_t b = vld1q_s8(p);
    const int16x8_t lo = vmovl_s8(vget_low_s8(b));
    const int16x8_t hi = vmovl_s8(vget_high_s8(b));
    return {{vmovl_s16(vget_low_s16(lo)), vmovl_s16(vget_high_s16(lo)), vmovl_s16(vget_low_s16(hi)),
             vmovl_s16(vget_high_s16(hi))}};
  } else if constexpr (kSrc == QX_U16) {
    const uint16x8_t lo = vld1q_u16(p);
    const uint16x8_t hi = vld1q_u16(p + 8);
    return {{vreinterpretq_s32_u32(vmovl_u16(vget_low_u16(lo))), vreinterpretq_s32_u32(vmovl_u16(vget_high_u16(lo))),
             vreinterpretq_s32_u32(vmovl_u16(vget_low_u16(hi))), vreinterpretq_s32_u32(vmovl_u16(vget_high_u16(hi)))}};
  } else if constexpr (kSrc == QX_S16) {
    const int16x8_t lo = vld1q_s16(p);
    const int16x8_t hi = vld1q_s16(p + 8);
    return {{vmovl_s16(vget_low_s16(lo)), vmovl_s16(vget_high_s16(lo)), vmovl_s16(vget_low_s16(hi)),
             vmovl_s16(vget_high_s16(hi))}};
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
  if constexpr (kDst == QX_U8) {
    const uint16x8_t a = vcombine_u16(vqmovun_s32(x.v[0]), vqmovun_s32(x.v[1]));
    const uint16x8_t b = vcombine_u16(vqmovun_s32(x.v[2]), vqmovun_s32(x.v[3]));
    vst1q_u8(p, vcombine_u8(vqmovn_u16(a), vqmovn_u16(b)));
  } else if constexpr (kDst == QX_S8) {
    const int16x8_t a = vcombine_s16(vqmovn_s32(x.v[0]), vqmovn_s32(x.v[1]));
    const int16x8_t b = vcombine_s16(vqmovn_s32(x.v[2]), vqmovn_s32(x.v[3]));
    vst1q_s8(p, vcombine_s8(vqmovn_s16(a), vqmovn_s16(b)));
  } else if constexpr (kDst == QX_U16) {
    vst1q_u16(p, vcombine_u16(vqmovun_s32(x.v[0]), vqmovun_s32(x.v[1])));
    vst1q_u16(p + 8, vcombine_u16(vqmovun_s32(x.v[2]), vqmovun_s32(x.v[3])));
  } else if constexpr (kDst == QX_S16) {
    vst1q_s16(p, vcombine_s16(vqmovn_s32(x.v[0]), vqmovn_s32(x.v[1])));
    vst1q_s16(p + 8, vcombine_s16(vqmovn_s32(x.v[2]), vqmovn_s32(x.v[3])));
  } else if constexpr (kDst == QX_U32) {
    const int32x4_t zero = vdupq_n_s32(0);
    for (int i = 0; i < 4; ++i) vst1q_u32(p + 4 * i, vreinterpretq_u32_s32(vmaxq_s32(x.v[i], zero)));
  } else {
    static_assert(kDst == QX_S32, "float destinations store F32x16");
    for (int i = 0; i < 4; ++i) vst1q_s32(p + 4 * i, x.v[i]);
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
    for (int i = 0; i < 4; ++i) vst1q_s32(p + 4 * i, vreinterpretq_s32_u32(vminq_u32(x.v[i], m)));
  }
}

template <ElemType kDst>
inline void StoreF32(RawOf<kDst>* p, const F32x16& x) {
  if constexpr (kDst == QX_F32) {
    for (int i = 0; i < 4; ++i) vst1q_f32(p + 4 * i, x.v[i]);
  } else if constexpr (kDst == QX_F16) {
    vst1q_u16(p, vcombine_u16(neon::CvtF16BitsF32(x.v[0]), neon::CvtF16BitsF32(x.v[1])));
    vst1q_u16(p + 8, vcombine_u16(neon::CvtF16BitsF32(x.v[2]), neon::CvtF16BitsF32(x.v[3])));
  } else if constexpr (kDst == QX_U32) {
    for (int i = 0; i < 4; ++i) vst1q_u32(p + 4 * i, neon::CvtnqU32F32(x.v[i]));
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
  for (int i = 0; i < 4; ++i) {
    if constexpr (kMethod == CvtMethod::MUL_ADD) {
      x.v[i] = vaddq_f32(vmulq_f32(x.v[i], alpha), beta);
    } else if constexpr (kMethod == CvtMethod::MUL_ONLY) {
      x.v[i] = vmulq_f32(x.v[i], alpha);
    } else if constexpr (kMethod == CvtMethod::ADD_ONLY) {
      x.v[i] = vaddq_f32(x.v[i], beta);
    }
  }
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

template <ElemType kDst>
Status ConvertToNeon::RunHelper(CvtMethod method) {
  const ConvertRowsFn fn = GetConvertRowsNeon(m_src->GetElemType(), kDst, method);
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
