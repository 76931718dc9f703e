#include "kiln/ops/cvtcolor/host/neon/cvtcolor_neon.h"

#include "kiln/ops/cvtcolor/host/neon/cvtcolor_neon_rows.h"

namespace kiln {

namespace rows = cvtcolor::neon;

Status CvtColorNeon::SetArgs(const std::vector<Array*>& src, const std::vector<Array*>& dst, CvtColorType type) {
  if (CvtColorImpl::SetArgs(src, dst, type) != kStatusOk) {
    KILN_RECORD(m_ctx, "CvtColorImpl::SetArgs failed(neon)");
    return kStatusFail;
  }
  const char* error = CheckMats();
  if (error != nullptr) {
    KILN_RECORD(m_ctx, "%s", error);
    return kStatusFail;
  }
  return kStatusOk;
}

Status CvtColorNeon::Run() {
  switch (CvtColorKernelOf(m_type)) {
    case CvtColorKernel::kBgr2Bgra: return CvtBgr2BgraNeon();
    case CvtColorKernel::kGray2Bgr: return CvtGray2BgrNeon();
    case CvtColorKernel::kBgr2Gray: return CvtBgr2GrayNeon();
    case CvtColorKernel::kNv2Rgb: return CvtNv2RgbNeon();
    case CvtColorKernel::kY4202Rgb: return CvtY4202RgbNeon();
    case CvtColorKernel::kY4222Rgb: return CvtY4222RgbNeon();
    case CvtColorKernel::kY4442Rgb: return CvtY4442RgbNeon();
    case CvtColorKernel::kRgb2Nv: return CvtRgb2NvNeon();
    case CvtColorKernel::kRgb2Y420: return CvtRgb2Y420Neon();
    case CvtColorKernel::kRgb2Y444: return CvtRgb2Y444Neon();
    case CvtColorKernel::kRgb2NvP010: return CvtRgb2NvP010Neon();
    case CvtColorKernel::kBayer2Bgr: return CvtBayer2BgrNeon();
    case CvtColorKernel::kInvalid: break;
  }
  KILN_RECORD(m_ctx, "cvtcolor type error");
  return kStatusFail;
}

// Each kernel: check the geometry, run the rows, report a failed run.
#define KILN_CVTCOLOR_NEON_KERNEL(Kernel, Prepare, ArgsT, RowFn, count)  \
  Status CvtColorNeon::Kernel() {                                       \
    cvtcolor::ArgsT args;                                               \
    const char* error = Prepare(&args);                                 \
    if (error != nullptr) {                                             \
      KILN_RECORD(m_ctx, "%s", error);                                  \
      return kStatusFail;                                               \
    }                                                                   \
    const Status status = RunRows(true, (count), &RowFn, args);   \
    if (status == kStatusFail) KILN_RECORD(m_ctx, "fail");              \
    return status;                                                      \
  }

KILN_CVTCOLOR_NEON_KERNEL(CvtBgr2BgraNeon, PrepareBgr2Bgra, ReorderArgs, rows::ReorderRows, m_src[0]->Height())
KILN_CVTCOLOR_NEON_KERNEL(CvtGray2BgrNeon, PrepareGray2Bgr, GrayToBgrArgs, rows::GrayToBgrRows, m_src[0]->Height())
KILN_CVTCOLOR_NEON_KERNEL(CvtBgr2GrayNeon, PrepareBgr2Gray, GrayArgs, rows::BgrToGrayRows, m_src[0]->Height())
KILN_CVTCOLOR_NEON_KERNEL(CvtNv2RgbNeon, PrepareNv2Rgb, YuvToRgbArgs, rows::Yuv420ToRgbRows, m_src[0]->Height() / 2)
KILN_CVTCOLOR_NEON_KERNEL(CvtY4202RgbNeon, PrepareY4202Rgb, YuvToRgbArgs, rows::Yuv420ToRgbRows,
                          m_src[0]->Height() / 2)
KILN_CVTCOLOR_NEON_KERNEL(CvtY4222RgbNeon, PrepareY4222Rgb, Yuv422ToRgbArgs, rows::Yuv422ToRgbRows,
                          m_src[0]->Height())
KILN_CVTCOLOR_NEON_KERNEL(CvtY4442RgbNeon, PrepareY4442Rgb, YuvToRgbArgs, rows::Yuv444ToRgbRows, m_src[0]->Height())
KILN_CVTCOLOR_NEON_KERNEL(CvtRgb2NvNeon, PrepareRgb2Nv, RgbToYuvArgs, rows::RgbToYuv420Rows, m_src[0]->Height() / 2)
KILN_CVTCOLOR_NEON_KERNEL(CvtRgb2Y420Neon, PrepareRgb2Y420, RgbToYuvArgs, rows::RgbToYuv420Rows,
                          m_src[0]->Height() / 2)
KILN_CVTCOLOR_NEON_KERNEL(CvtRgb2Y444Neon, PrepareRgb2Y444, RgbToYuvArgs, rows::RgbToYuv444Rows, m_src[0]->Height())
KILN_CVTCOLOR_NEON_KERNEL(CvtRgb2NvP010Neon, PrepareRgb2NvP010, RgbToP010Args, rows::RgbToP010Rows,
                          m_src[0]->Height() / 2)

#undef KILN_CVTCOLOR_NEON_KERNEL

Status CvtColorNeon::CvtBayer2BgrNeon() {
  ElemType elem_type = QX_INVALID;
  const char* error = PrepareBayer(&elem_type);
  if (error != nullptr) {
    KILN_RECORD(m_ctx, "%s", error);
    return kStatusFail;
  }
  const Status status = elem_type == QX_U8
                            ? RunRows(true, BayerRowPairs(), &rows::BayerToBgrRowsU8, BayerArgsOf<uint8_t>())
                            : RunRows(true, BayerRowPairs(), &rows::BayerToBgrRowsU16, BayerArgsOf<uint16_t>());
  if (status == -2) return status;
  if (status != kStatusOk) {
    KILN_RECORD(m_ctx, "fail");
    return kStatusFail;
  }
  CopyBayerEdgeRows();
  return kStatusOk;
}

}  // namespace kiln
