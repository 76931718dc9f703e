// kiln::cvtcolor::neon: the Advanced SIMD CvtColor kernels, the same row
// kernels as kiln::cvtcolor::none (see cvtcolor_kernel_args.h) computing the
// same bytes. Vector loops cover whole blocks of a row; the pixels left over
// go through the plain spans.
#ifndef KILN_OPS_CVTCOLOR_HOST_NEON_CVTCOLOR_NEON_ROWS_H_
#define KILN_OPS_CVTCOLOR_HOST_NEON_CVTCOLOR_NEON_ROWS_H_

#include <cstdint>

#include "kiln/ops/cvtcolor/cvtcolor_kernel_args.h"
#include "kiln/runtime/context/status.h"

namespace kiln {
namespace cvtcolor {
namespace neon {

Status ReorderRows(const ReorderArgs& args, int begin, int end);
Status BgrToGrayRows(const GrayArgs& args, int begin, int end);
Status GrayToBgrRows(const GrayToBgrArgs& args, int begin, int end);
Status Yuv420ToRgbRows(const YuvToRgbArgs& args, int begin, int end);
Status Yuv444ToRgbRows(const YuvToRgbArgs& args, int begin, int end);
Status Yuv422ToRgbRows(const Yuv422ToRgbArgs& args, int begin, int end);
Status RgbToYuv420Rows(const RgbToYuvArgs& args, int begin, int end);
Status RgbToYuv444Rows(const RgbToYuvArgs& args, int begin, int end);
Status RgbToP010Rows(const RgbToP010Args& args, int begin, int end);
Status BayerToBgrRowsU8(const BayerArgs<uint8_t>& args, int begin, int end);
Status BayerToBgrRowsU16(const BayerArgs<uint16_t>& args, int begin, int end);

}  // namespace neon
}  // namespace cvtcolor
}  // namespace kiln

#endif  // KILN_OPS_CVTCOLOR_HOST_NEON_CVTCOLOR_NEON_ROWS_H_
