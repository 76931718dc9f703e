// Element traits of the matrix operators (ConvertTo, MinMaxLoc): the C++
// type that stores each kiln element type, its range, and exact
// half-precision conversions.
#ifndef KILN_OPS_MATRIX_MATRIX_ELEM_H_
#define KILN_OPS_MATRIX_MATRIX_ELEM_H_

#include <cstdint>
#include <cstring>

#include "kiln/runtime/array/elem_type.h"

namespace kiln {
namespace matrix {

// The compiler's half type: hardware conversions on AArch64, libgcc's exact
// round-to-nearest-even conversions on x86. Never an approximation.
#if defined(__aarch64__)
using HalfFloat = __fp16;
#else
using HalfFloat = _Float16;
#endif

// F16 elements are moved around as their raw bits so that copies keep NaN
// payloads and no arithmetic happens on them by accident.
inline float HalfToFloat(uint16_t bits) {
  HalfFloat h;
  std::memcpy(&h, &bits, sizeof(h));
  return static_cast<float>(h);
}

// Round to nearest, ties to even; too large values become infinities and a
// NaN stays a (quiet) NaN, as the hardware conversion does.
inline uint16_t FloatToHalf(float value) {
  const HalfFloat h = static_cast<HalfFloat>(value);
  uint16_t bits;
  std::memcpy(&bits, &h, sizeof(bits));
  return bits;
}

// Storage type, kind and range of each supported element type. Ranges are
// those of the integer types; float types report is_float.
template <ElemType kType>
struct ElemTraits;

template <>
struct ElemTraits<QX_U8> {
  using Raw = uint8_t;
  static constexpr bool is_float = false;
  static constexpr int64_t lo = 0;
  static constexpr int64_t hi = 255;
  static constexpr const char* name = "QX_U8";
};
template <>
struct ElemTraits<QX_S8> {
  using Raw = int8_t;
  static constexpr bool is_float = false;
  static constexpr int64_t lo = -128;
  static constexpr int64_t hi = 127;
  static constexpr const char* name = "QX_S8";
};
template <>
struct ElemTraits<QX_U16> {
  using Raw = uint16_t;
  static constexpr bool is_float = false;
  static constexpr int64_t lo = 0;
  static constexpr int64_t hi = 65535;
  static constexpr const char* name = "QX_U16";
};
template <>
struct ElemTraits<QX_S16> {
  using Raw = int16_t;
  static constexpr bool is_float = false;
  static constexpr int64_t lo = -32768;
  static constexpr int64_t hi = 32767;
  static constexpr const char* name = "QX_S16";
};
template <>
struct ElemTraits<QX_U32> {
  using Raw = uint32_t;
  static constexpr bool is_float = false;
  static constexpr int64_t lo = 0;
  static constexpr int64_t hi = 4294967295LL;
  static constexpr const char* name = "QX_U32";
};
template <>
struct ElemTraits<QX_S32> {
  using Raw = int32_t;
  static constexpr bool is_float = false;
  static constexpr int64_t lo = -2147483648LL;
  static constexpr int64_t hi = 2147483647LL;
  static constexpr const char* name = "QX_S32";
};
template <>
struct ElemTraits<QX_F32> {
  using Raw = float;
  static constexpr bool is_float = true;
  static constexpr const char* name = "QX_F32";
};
template <>
struct ElemTraits<QX_F16> {
  using Raw = uint16_t;  // IEEE half bits
  static constexpr bool is_float = true;
  static constexpr const char* name = "QX_F16";
};

template <ElemType kType>
using RawOf = typename ElemTraits<kType>::Raw;

// The value of one stored element as a float: exact for every type except
// U32/S32 beyond 2^24, which round to nearest even.
template <ElemType kType>
inline float ElemToFloat(RawOf<kType> v) {
  if constexpr (kType == QX_F16) {
    return HalfToFloat(v);
  } else {
    return static_cast<float>(v);
  }
}

// True for the eight element types the matrix operators accept (F64 and
// anything unknown are not).
inline bool IsMatrixElemType(ElemType type) {
  switch (type) {
    case QX_U8:
    case QX_S8:
    case QX_U16:
    case QX_S16:
    case QX_U32:
    case QX_S32:
    case QX_F32:
    case QX_F16:
      return true;
    default:
      return false;
  }
}

}  // namespace matrix
}  // namespace kiln

#endif  // KILN_OPS_MATRIX_MATRIX_ELEM_H_
