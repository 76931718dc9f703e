#include "kiln/runtime/array/elem_type.h"

namespace kiln {

int ElemTypeSize(ElemType type) {
  switch (type) {
    case QX_U8:
    case QX_S8: return 1;
    case QX_U16:
    case QX_S16:
    case QX_F16: return 2;
    case QX_U32:
    case QX_S32:
    case QX_F32: return 4;
    case QX_F64: return 8;
    default: return 0;
  }
}

const char* ElemTypeName(ElemType type) {
  static const char* const kNames[] = {"INVALID", "U8", "S8", "U16", "S16", "U32", "S32", "F32", "F64", "F16"};
  if (type < 0 || type > QX_F16) return "INVALID elem_type";
  return kNames[type];
}

const char* ArrayTypeName(ArrayType type) {
  switch (type) {
    case KILN_ARRAY_INVALID: return "INVALID";
    case KILN_ARRAY_MAT: return "MAT";
    case KILN_ARRAY_XTENSA_MAT:
    case KILN_ARRAY_XTENSA_MAT_EX: return "XTENSA_MAT";
    default: return "INVALID array_type";
  }
}

}  // namespace kiln
