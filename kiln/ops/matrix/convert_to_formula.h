// The ConvertTo formula for one element: the definition both kernel families
// reproduce bit for bit (the vector kernels also use it for row tails).
//
// Included only by kernel sources, which switch floating-point contraction
// off: src * alpha + beta is a rounded product followed by a rounded sum on
// every target, never a fused multiply-add.
#ifndef KILN_OPS_MATRIX_CONVERT_TO_FORMULA_H_
#define KILN_OPS_MATRIX_CONVERT_TO_FORMULA_H_

#include <cstdint>
#include <type_traits>

#include "kiln/ops/matrix/matrix_elem.h"

namespace kiln {
namespace matrix {

// 2^23: from here on every float is an integer. Adding and subtracting it
// rounds a smaller magnitude to an integer, ties to even (the default
// rounding mode), exactly like the vector round-to-nearest conversions.
constexpr float kTwoPow23 = 8388608.0f;
// 1.5 * 2^23: the same trick for both signs at once, valid for |v| <= 2^22.
constexpr float kRoundMagic = 12582912.0f;

// Any float rounded to an integral float, ties to even (NaN stays NaN).
inline float RoundHalfEven(float v) {
  if (v >= 0.0f) return v < kTwoPow23 ? (v + kTwoPow23) - kTwoPow23 : v;
  return v > -kTwoPow23 ? (v - kTwoPow23) + kTwoPow23 : v;
}

// A float stored in element type kDst: integers are rounded to nearest (ties
// to even) and saturated, NaN becomes 0 (the AArch64 conversion result);
// F32 keeps the value; F16 rounds to nearest even, overflowing to infinity.
template <ElemType kDst>
inline RawOf<kDst> FloatToElem(float v) {
  using Traits = ElemTraits<kDst>;
  if constexpr (kDst == QX_F32) {
    return v;
  } else if constexpr (kDst == QX_F16) {
    return FloatToHalf(v);
  } else if constexpr (Traits::hi <= 65535) {
    // Written as selects so the plain loops vectorise; the comparisons are
    // false for NaN, which the first select maps to 0.
    constexpr float lo = static_cast<float>(Traits::lo);
    constexpr float hi = static_cast<float>(Traits::hi);
    v = v == v ? v : 0.0f;
    v = v > lo ? v : lo;
    v = v < hi ? v : hi;
    return static_cast<RawOf<kDst>>(static_cast<int32_t>((v + kRoundMagic) - kRoundMagic));
  } else if constexpr (kDst == QX_U32) {
    if (!(v > 0.0f)) return 0;                       // NaN, zero and negatives
    if (v >= 4294967296.0f) return 4294967295u;      // 2^32 and above
    return static_cast<uint32_t>(RoundHalfEven(v));  // at most 2^32 - 256
  } else {
    static_assert(kDst == QX_S32, "unhandled destination type");
    if (v != v) return 0;
    if (v >= 2147483648.0f) return 2147483647;
    if (v < -2147483648.0f) return -2147483647 - 1;
    return static_cast<int32_t>(RoundHalfEven(v));
  }
}

// The value of an integer element in kDst, saturated; no float on the way,
// so 32-bit values stay exact.
template <ElemType kSrc, ElemType kDst>
inline RawOf<kDst> SaturateInt(RawOf<kSrc> v) {
  using S = ElemTraits<kSrc>;
  using D = ElemTraits<kDst>;
  if constexpr (S::lo >= D::lo && S::hi <= D::hi) {
    return static_cast<RawOf<kDst>>(v);
  } else {
    using Wide = std::conditional_t<(S::hi > 2147483647LL || D::hi > 2147483647LL), int64_t, int32_t>;
    Wide w = static_cast<Wide>(v);
    if constexpr (S::lo < D::lo) w = w > static_cast<Wide>(D::lo) ? w : static_cast<Wide>(D::lo);
    if constexpr (S::hi > D::hi) w = w < static_cast<Wide>(D::hi) ? w : static_cast<Wide>(D::hi);
    return static_cast<RawOf<kDst>>(w);
  }
}

// NO_SCALE between two different types.
template <ElemType kSrc, ElemType kDst>
inline RawOf<kDst> ConvertElemNoScale(RawOf<kSrc> v) {
  if constexpr (!ElemTraits<kSrc>::is_float && !ElemTraits<kDst>::is_float) {
    return SaturateInt<kSrc, kDst>(v);
  } else {
    // Integers below 2^24 are exact in float; larger ones round once here and
    // are out of F16's range anyway, so no value is rounded twice.
    return FloatToElem<kDst>(ElemToFloat<kSrc>(v));
  }
}

// The scaled forms: v * alpha + beta in float, then as FloatToElem.
template <ElemType kSrc, ElemType kDst>
inline RawOf<kDst> ConvertElemScaled(RawOf<kSrc> v, float alpha, float beta) {
  return FloatToElem<kDst>(ElemToFloat<kSrc>(v) * alpha + beta);
}

}  // namespace matrix
}  // namespace kiln

#endif  // KILN_OPS_MATRIX_CONVERT_TO_FORMULA_H_
