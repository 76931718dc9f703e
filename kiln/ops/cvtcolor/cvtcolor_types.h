// kiln::CvtColorType: the colour conversions of kiln::CvtColor, with the
// number and element type of the planes each one takes.
#ifndef KILN_OPS_CVTCOLOR_CVTCOLOR_TYPES_H_
#define KILN_OPS_CVTCOLOR_CVTCOLOR_TYPES_H_

#include <cstdint>

namespace kiln {

// Source and destination planes are listed in the order given in the
// comments. RGB sides of the YUV conversions are 3 channels in R, G, B order.
// Types without a suffix use the video-range BT.601 formulas, "_601" the
// full-range ones.
enum CvtColorType : int32_t {
  CVTCOLOR_INVALID = 0,

  BGR2BGRA = 100,   // 3 or 4 channels -> 3 or 4 channels, alpha 255
  BGRA2BGR = 101,
  BGR2RGB = 102,    // channels 0 and 2 exchanged
  BGR2GRAY = 103,
  RGB2GRAY = 104,
  GRAY2BGR = 105,
  GRAY2BGRA = 106,
  BGRA2GRAY = 107,
  RGBA2GRAY = 108,

  RGB2YUV_NV12 = 200,  // -> Y, UV
  RGB2YUV_NV21 = 201,  // -> Y, VU
  RGB2YUV_YU12 = 202,  // -> Y, U, V
  RGB2YUV_YV12 = 203,  // -> Y, V, U
  RGB2YUV_Y444 = 204,  // -> Y, V, U (full resolution; V first, like YV12)
  RGB2YUV_NV12_601 = 205,
  RGB2YUV_NV21_601 = 206,
  RGB2YUV_YU12_601 = 207,
  RGB2YUV_YV12_601 = 208,
  RGB2YUV_Y444_601 = 209,
  RGB2YUV_NV12_P010 = 210,  // U16 RGB -> U16 Y, U16 UV (samples scaled by 64)
  RGB2YUV_NV21_P010 = 211,  // U16 RGB -> U16 Y, U16 VU

  YUV2RGB_NV12 = 300,  // Y, UV ->
  YUV2RGB_NV21 = 301,  // Y, VU ->
  YUV2RGB_YU12 = 302,  // Y, U, V ->
  YUV2RGB_YV12 = 303,  // Y, V, U ->
  YUV2RGB_Y422 = 304,  // packed U0 Y0 V0 Y1 (UYVY), 2 channels per pixel ->
  YUV2RGB_YUYV = 305,  // packed Y0 U0 Y1 V0 ->
  YUV2RGB_YVYU = 306,  // packed Y0 V0 Y1 U0 ->
  YUV2RGB_Y444 = 307,  // Y, V, U (full resolution; V first) ->
  YUV2RGB_NV12_601 = 308,
  YUV2RGB_NV21_601 = 309,
  YUV2RGB_YU12_601 = 310,
  YUV2RGB_YV12_601 = 311,
  YUV2RGB_Y422_601 = 312,
  YUV2RGB_YUYV_601 = 313,
  YUV2RGB_YVYU_601 = 314,
  YUV2RGB_Y444_601 = 315,

  // Bayer mosaics named by their first two pixels (BGGR, GBRG, RGGB, GRBG),
  // U8 or U16, to 3-channel BGR of the same element type.
  BAYERBG2BGR = 400,
  BAYERGB2BGR = 401,
  BAYERRG2BGR = 402,
  BAYERGR2BGR = 403,
};

// Element types a conversion accepts (the same for sources and destinations).
enum class CvtColorElems : int32_t {
  kU8,
  kU16,
  kU8OrU16,
};

// What one conversion takes. Plain constant data.
struct CvtColorTypeInfo {
  CvtColorType type;
  const char* name;
  int32_t src_num;
  int32_t dst_num;
  CvtColorElems elems;
};

// The table entry of type; null for values that are no conversion.
const CvtColorTypeInfo* FindCvtColorType(int32_t type);

// The name of type ("YUV2RGB_NV12", ...); "Invalid" for anything else.
const char* CvtColorTypeName(int32_t type);

// The name written into parameter dumps: as CvtColorTypeName, except that
// the P010 conversions are unknown to the dump format and read "Invalid".
const char* CvtColorTypeDumpName(int32_t type);

// True when the chroma planes (or bytes) of type come U first: NV12, YU12,
// Y422 and YUYV in every range. Everything else takes V first (NV21, YV12,
// YVYU, and the 4:4:4 plane lists Y, V, U).
bool CvtColorUFirst(int32_t type);

// True for the full-range "_601" conversions.
bool CvtColorFullRange(int32_t type);

}  // namespace kiln

#endif  // KILN_OPS_CVTCOLOR_CVTCOLOR_TYPES_H_
