// Element types and array types of kiln arrays, with their text forms.
#ifndef KILN_RUNTIME_ARRAY_ELEM_TYPE_H_
#define KILN_RUNTIME_ARRAY_ELEM_TYPE_H_

#include <cstdint>

namespace kiln {

using ElemType = int32_t;

constexpr ElemType QX_INVALID = 0;
constexpr ElemType QX_U8 = 1;
constexpr ElemType QX_S8 = 2;
constexpr ElemType QX_U16 = 3;
constexpr ElemType QX_S16 = 4;
constexpr ElemType QX_U32 = 5;
constexpr ElemType QX_S32 = 6;
constexpr ElemType QX_F32 = 7;
constexpr ElemType QX_F64 = 8;
constexpr ElemType QX_F16 = 9;  // IEEE half precision

// Bytes per element: 1, 1, 2, 2, 4, 4, 4, 8, 2 for QX_U8..QX_F16; 0 otherwise.
int ElemTypeSize(ElemType type);
// "INVALID", "U8", "S8", "U16", "S16", "U32", "S32", "F32", "F64", "F16";
// "INVALID elem_type" outside 0..9.
const char* ElemTypeName(ElemType type);

using ArrayType = int32_t;

constexpr ArrayType KILN_ARRAY_INVALID = 0;
constexpr ArrayType KILN_ARRAY_MAT = 1;
constexpr ArrayType KILN_ARRAY_XTENSA_MAT = 2;     // device DSP arrays, not built here
constexpr ArrayType KILN_ARRAY_XTENSA_MAT_EX = 3;  // device DSP arrays, not built here

// "INVALID", "MAT", "XTENSA_MAT" (2 and 3); "INVALID array_type" outside 0..3.
const char* ArrayTypeName(ArrayType type);

}  // namespace kiln

#endif  // KILN_RUNTIME_ARRAY_ELEM_TYPE_H_
