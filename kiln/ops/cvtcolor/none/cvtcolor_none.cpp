#include "kiln/ops/cvtcolor/none/cvtcolor_none.h"

#include "kiln/ops/cvtcolor/none/cvtcolor_none_rows.h"

namespace kiln {

namespace rows = cvtcolor::none;

Status CvtColorNone::SetArgs(const std::vector<Array*>& src, const std::vector<Array*>& dst, CvtColorType type) {
  if (CvtColorImpl::SetArgs(src, dst, type) != kStatusOk) {
    KILN_RECORD(m_ctx, "CvtColorImpl::SetArgs failed(none)");
    return kStatusFail;
  }
  const char* error = CheckMats();
  if (error != nullptr) {
    KILN_RECORD(m_ctx, "%s", error);
    return kStatusFail;
  }
  return kStatusOk;
}

Status CvtColorNone::Run() {
  switch (CvtColorKernelOf(m_type)) {
    case CvtColorKernel::kBgr2Bgra: return CvtBgr2BgraNone();
    case CvtColorKernel::kGray2Bgr: return CvtGray2BgrNone();
    case CvtColorKernel::kBgr2Gray: return CvtBgr2GrayNone();
    case CvtColorKernel::kNv2Rgb: return CvtNv2RgbNone();
    case CvtColorKernel::kY4202Rgb: return CvtY4202RgbNone();
    case CvtColorKernel::kY4222Rgb: return CvtY4222RgbNone();
    case CvtColorKernel::kY4442Rgb: return CvtY4442RgbNone();
    case CvtColorKernel::kRgb2Nv: return CvtRgb2NvNone();
    case CvtColorKernel::kRgb2Y420: return CvtRgb2Y420None();
    case CvtColorKernel::kRgb2Y444: return CvtRgb2Y444None();
    case CvtColorKernel::kRgb2NvP010: return CvtRgb2NvP010None();
    case CvtColorKernel::kBayer2Bgr: return CvtBayer2BgrNone();
    case CvtColorKernel::kInvalid: break;
  }
  KILN_RECORD(m_ctx, "cvtcolor type error");
  return kStatusFail;
}

// Each kernel: check the geometry, run the rows, report a failed run.
#define KILN_CVTCOLOR_NONE_KERNEL(Kernel, Prepare, ArgsT, RowFn, count)  \
  Status CvtColorNone::Kernel() {                                       \
    cvtcolor::ArgsT args;                                               \
    const char* error = Prepare(&args);                                 \
    if (error != nullptr) {                                             \
      KILN_RECORD(m_ctx, "%s", error);                                  \
      return kStatusFail;                                               \
    }                                                                   \
    const Status status = RunRows(Parallel(), (count), &RowFn, args);   \
    if (status == kStatusFail) KILN_RECORD(m_ctx, "fail");              \
    return status;                                                      \
  }

KILN_CVTCOLOR_NONE_KERNEL(CvtBgr2BgraNone, PrepareBgr2Bgra, ReorderArgs, rows::ReorderRows, m_src[0]->Height())
KILN_CVTCOLOR_NONE_KERNEL(CvtGray2BgrNone, PrepareGray2Bgr, GrayToBgrArgs, rows::GrayToBgrRows, m_src[0]->Height())
KILN_CVTCOLOR_NONE_KERNEL(CvtBgr2GrayNone, PrepareBgr2Gray, GrayArgs, rows::BgrToGrayRows, m_src[0]->Height())
KILN_CVTCOLOR_NONE_KERNEL(CvtNv2RgbNone, PrepareNv2Rgb, YuvToRgbArgs, rows::Yuv420ToRgbRows, m_src[0]->Height() / 2)
KILN_CVTCOLOR_NONE_KERNEL(CvtY4202RgbNone, PrepareY4202Rgb, YuvToRgbArgs, rows::Yuv420ToRgbRows,
                          m_src[0]->Height() / 2)
KILN_CVTCOLOR_NONE_KERNEL(CvtY4222RgbNone, PrepareY4222Rgb, Yuv422ToRgbArgs, rows::Yuv422ToRgbRows,
                          m_src[0]->Height())
KILN_CVTCOLOR_NONE_KERNEL(CvtY4442RgbNone, PrepareY4442Rgb, YuvToRgbArgs, rows::Yuv444ToRgbRows, m_src[0]->Height())
KILN_CVTCOLOR_NONE_KERNEL(CvtRgb2NvNone, PrepareRgb2Nv, RgbToYuvArgs, rows::RgbToYuv420Rows, m_src[0]->Height() / 2)
KILN_CVTCOLOR_NONE_KERNEL(CvtRgb2Y420None, PrepareRgb2Y420, RgbToYuvArgs, rows::RgbToYuv420Rows,
                          m_src[0]->Height() / 2)
KILN_CVTCOLOR_NONE_KERNEL(CvtRgb2Y444None, PrepareRgb2Y444, RgbToYuvArgs, rows::RgbToYuv444Rows, m_src[0]->Height())
KILN_CVTCOLOR_NONE_KERNEL(CvtRgb2NvP010None, PrepareRgb2NvP010, RgbToP010Args, rows::RgbToP010Rows,
                          m_src[0]->Height() / 2)

#undef KILN_CVTCOLOR_NONE_KERNEL

Status CvtColorNone::CvtBayer2BgrNone() {
  ElemType elem_type = QX_INVALID;
  const char* error = PrepareBayer(&elem_type);
  if (error != nullptr) {
    KILN_RECORD(m_ctx, "%s", error);
    return kStatusFail;
  }
  const Status status = elem_type == QX_U8
                            ? RunRows(Parallel(), BayerRowPairs(), &rows::BayerToBgrRowsU8, BayerArgsOf<uint8_t>())
                            : RunRows(Parallel(), BayerRowPairs(), &rows::BayerToBgrRowsU16, BayerArgsOf<uint16_t>());
  if (status == -2) return status;
  if (status != kStatusOk) {
    KILN_RECORD(m_ctx, "fail");
    return kStatusFail;
  }
  CopyBayerEdgeRows();
  return kStatusOk;
}

}  // namespace kiln
