#include "kiln/ops/cvtcolor/cvtcolor_types.h"

#include <cstddef>

namespace kiln {

namespace {

constexpr CvtColorElems kU8 = CvtColorElems::kU8;
constexpr CvtColorElems kU16 = CvtColorElems::kU16;
constexpr CvtColorElems kAny = CvtColorElems::kU8OrU16;

constexpr CvtColorTypeInfo kTypes[] = {
    {BGR2BGRA, "BGR2BGRA", 1, 1, kU8},
    {BGRA2BGR, "BGRA2BGR", 1, 1, kU8},
    {BGR2RGB, "BGR2RGB", 1, 1, kU8},
    {BGR2GRAY, "BGR2GRAY", 1, 1, kU8},
    {RGB2GRAY, "RGB2GRAY", 1, 1, kU8},
    {GRAY2BGR, "GRAY2BGR", 1, 1, kU8},
    {GRAY2BGRA, "GRAY2BGRA", 1, 1, kU8},
    {BGRA2GRAY, "BGRA2GRAY", 1, 1, kU8},
    {RGBA2GRAY, "RGBA2GRAY", 1, 1, kU8},
    {RGB2YUV_NV12, "RGB2YUV_NV12", 1, 2, kU8},
    {RGB2YUV_NV21, "RGB2YUV_NV21", 1, 2, kU8},
    {RGB2YUV_YU12, "RGB2YUV_YU12", 1, 3, kU8},
    {RGB2YUV_YV12, "RGB2YUV_YV12", 1, 3, kU8},
    {RGB2YUV_Y444, "RGB2YUV_Y444", 1, 3, kU8},
    {RGB2YUV_NV12_601, "RGB2YUV_NV12_601", 1, 2, kU8},
    {RGB2YUV_NV21_601, "RGB2YUV_NV21_601", 1, 2, kU8},
    {RGB2YUV_YU12_601, "RGB2YUV_YU12_601", 1, 3, kU8},
    {RGB2YUV_YV12_601, "RGB2YUV_YV12_601", 1, 3, kU8},
    {RGB2YUV_Y444_601, "RGB2YUV_Y444_601", 1, 3, kU8},
    {RGB2YUV_NV12_P010, "RGB2YUV_NV12_P010", 1, 2, kU16},
    {RGB2YUV_NV21_P010, "RGB2YUV_NV21_P010", 1, 2, kU16},
    {YUV2RGB_NV12, "YUV2RGB_NV12", 2, 1, kU8},
    {YUV2RGB_NV21, "YUV2RGB_NV21", 2, 1, kU8},
    {YUV2RGB_YU12, "YUV2RGB_YU12", 3, 1, kU8},
    {YUV2RGB_YV12, "YUV2RGB_YV12", 3, 1, kU8},
    {YUV2RGB_Y422, "YUV2RGB_Y422", 1, 1, kU8},
    {YUV2RGB_YUYV, "YUV2RGB_YUYV", 1, 1, kU8},
    {YUV2RGB_YVYU, "YUV2RGB_YVYU", 1, 1, kU8},
    {YUV2RGB_Y444, "YUV2RGB_Y444", 3, 1, kU8},
    {YUV2RGB_NV12_601, "YUV2RGB_NV12_601", 2, 1, kU8},
    {YUV2RGB_NV21_601, "YUV2RGB_NV21_601", 2, 1, kU8},
    {YUV2RGB_YU12_601, "YUV2RGB_YU12_601", 3, 1, kU8},
    {YUV2RGB_YV12_601, "YUV2RGB_YV12_601", 3, 1, kU8},
    {YUV2RGB_Y422_601, "YUV2RGB_Y422_601", 1, 1, kU8},
    {YUV2RGB_YUYV_601, "YUV2RGB_YUYV_601", 1, 1, kU8},
    {YUV2RGB_YVYU_601, "YUV2RGB_YVYU_601", 1, 1, kU8},
    {YUV2RGB_Y444_601, "YUV2RGB_Y444_601", 3, 1, kU8},
    {BAYERBG2BGR, "BAYERBG2BGR", 1, 1, kAny},
    {BAYERGB2BGR, "BAYERGB2BGR", 1, 1, kAny},
    {BAYERRG2BGR, "BAYERRG2BGR", 1, 1, kAny},
    {BAYERGR2BGR, "BAYERGR2BGR", 1, 1, kAny},
};

}  // namespace

const CvtColorTypeInfo* FindCvtColorType(int32_t type) {
  for (const CvtColorTypeInfo& info : kTypes) {
    if (info.type == type) return &info;
  }
  return nullptr;
}

const char* CvtColorTypeName(int32_t type) {
  const CvtColorTypeInfo* info = FindCvtColorType(type);
  return info != nullptr ? info->name : "Invalid";
}

const char* CvtColorTypeDumpName(int32_t type) {
  if (type == RGB2YUV_NV12_P010 || type == RGB2YUV_NV21_P010) return "Invalid";
  return CvtColorTypeName(type);
}

bool CvtColorUFirst(int32_t type) {
  switch (type) {
    case RGB2YUV_NV12:
    case RGB2YUV_YU12:
    case RGB2YUV_NV12_601:
    case RGB2YUV_YU12_601:
    case RGB2YUV_NV12_P010:
    case YUV2RGB_NV12:
    case YUV2RGB_YU12:
    case YUV2RGB_Y422:
    case YUV2RGB_YUYV:
    case YUV2RGB_NV12_601:
    case YUV2RGB_YU12_601:
    case YUV2RGB_Y422_601:
    case YUV2RGB_YUYV_601:
      return true;
    default:
      return false;
  }
}

bool CvtColorFullRange(int32_t type) {
  return (type >= RGB2YUV_NV12_601 && type <= RGB2YUV_Y444_601) ||
         (type >= YUV2RGB_NV12_601 && type <= YUV2RGB_Y444_601);
}

}  // namespace kiln
