// What the ConvertTo kernels share: the conversion method chosen from alpha
// and beta, and the row-range interface of every kernel.
#ifndef KILN_OPS_MATRIX_CONVERT_TO_KERNEL_H_
#define KILN_OPS_MATRIX_CONVERT_TO_KERNEL_H_

#include <cmath>
#include <cstdint>

#include "kiln/runtime/array/elem_type.h"

namespace kiln {

// How dst = src * alpha + beta is evaluated. Every scaled form gives the
// MUL_ADD result bit for bit; the narrower ones only skip work that cannot
// change it.
enum class CvtMethod {
  NO_SCALE,  // plain type conversion (alpha 1, beta 0)
  MUL_ADD,   // src * alpha + beta
  MUL_ONLY,  // src * alpha: beta is zero and the destination is an integer
  ADD_ONLY,  // src + beta: alpha is exactly 1
};

// "NO_SCALE", "MUL_ADD", "MUL_ONLY", "ADD_ONLY".
inline const char* CvtMethodName(CvtMethod method) {
  switch (method) {
    case CvtMethod::NO_SCALE: return "NO_SCALE";
    case CvtMethod::MUL_ADD: return "MUL_ADD";
    case CvtMethod::MUL_ONLY: return "MUL_ONLY";
    case CvtMethod::ADD_ONLY: return "ADD_ONLY";
  }
  return "UNKNOWN";
}

// NO_SCALE when |alpha - 1| < 2^-52 (in double) and |beta| < 2^-52 (in
// float), so a beta that small is dropped. MUL_ONLY needs beta == 0 and an
// integer destination: x * a + 0 differs from x * a only in the sign of a
// zero, which no integer keeps.
inline CvtMethod ChooseCvtMethod(float alpha, float beta, bool float_dst) {
  const bool unit_alpha = std::fabs(static_cast<double>(alpha) - 1.0) < 0x1p-52;
  const bool zero_beta = std::fabs(beta) < 0x1p-52f;
  if (unit_alpha && zero_beta) return CvtMethod::NO_SCALE;
  if (unit_alpha) return CvtMethod::ADD_ONLY;
  if (beta == 0.0f && !float_dst) return CvtMethod::MUL_ONLY;
  return CvtMethod::MUL_ADD;
}

// U8 scaled by a non-negative integer alpha plus a non-negative integer
// beta with 255 * alpha + beta <= 65535, into an integer type: every product
// and sum of the float formula is then an integer below 2^24, so it rounds
// nothing, and 16-bit integer arithmetic gives the same result far faster.
inline bool IsU8ExactScale(ElemType src_type, ElemType dst_type, float alpha, float beta) {
  return src_type == QX_U8 && dst_type != QX_F32 && dst_type != QX_F16 && alpha >= 0.0f && beta >= 0.0f &&
         alpha == std::floor(alpha) && beta == std::floor(beta) && 255.0f * alpha + beta <= 65535.0f;
}

// One image for the row kernels: raw row pointers, pitches in bytes, and the
// number of elements in a row (width x channels).
struct ConvertRowsArgs {
  const uint8_t* src = nullptr;
  int64_t src_pitch = 0;
  uint8_t* dst = nullptr;
  int64_t dst_pitch = 0;
  int32_t elems = 0;
  float alpha = 1.0f;
  float beta = 0.0f;
};

// Converts rows [row_begin, row_end). Rows are independent, so disjoint
// ranges may run on different threads at once.
using ConvertRowsFn = void (*)(const ConvertRowsArgs& args, int32_t row_begin, int32_t row_end);

}  // namespace kiln

#endif  // KILN_OPS_MATRIX_CONVERT_TO_KERNEL_H_
