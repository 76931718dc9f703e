#include "kiln/ops/resize/none/resize_none.h"

#include <memory>

#include "kiln/ops/resize/none/resize_kernels_none.h"
#include "kiln/ops/resize/src/resize_plan.h"
#include "kiln/ops/resize/src/resize_run.h"

namespace kiln {

namespace {

using resize::ImagePlane;

Status RunNearest(Context* ctx, WorkerPool* pool, ElemType type, const ImagePlane& src, const ImagePlane& dst) {
  resize::NearestPlan plan;
  if (!plan.Build(ctx, src, dst)) {
    KILN_RECORD(ctx, "KILN_ALLOC_PARAM fail");
    return kStatusFail;
  }
  const int32_t elem = ElemTypeSize(type);
  return resize::RunRowBlocks(pool, dst.height, [&](int32_t y0, int32_t y1) -> Status {
    resize::ResizeNearestNone(src, dst, elem, plan, y0, y1);
    return kStatusOk;
  });
}

Status RunLinear(Context* ctx, WorkerPool* pool, ElemType type, const ImagePlane& src, const ImagePlane& dst,
                 bool area) {
  resize::LinearPlan plan;
  if (!plan.Build(ctx, src, dst, area, type == QX_F32 || type == QX_F16)) {
    KILN_RECORD(ctx, "KILN_ALLOC_PARAM fail");
    return kStatusFail;
  }
  return resize::RunWithScratch(ctx, pool, dst.height, resize::LinearScratchBytesNone(dst),
                                [&](int32_t y0, int32_t y1, void* scratch) -> Status {
                                  if (resize::ResizeBnNone(type, src, dst, plan, y0, y1, scratch) != kStatusOk) {
                                    KILN_RECORD(ctx, "ResizeBnNone run failed, type: %s, C%d",
                                                resize::QxTypeName(type), dst.channels);
                                    return kStatusFail;
                                  }
                                  return kStatusOk;
                                });
}

Status RunCubic(Context* ctx, WorkerPool* pool, ElemType type, const ImagePlane& src, const ImagePlane& dst) {
  resize::CubicPlan plan;
  if (!plan.Build(ctx, src, dst, type == QX_F32 || type == QX_F16)) {
    KILN_RECORD(ctx, "KILN_ALLOC_PARAM fail");
    return kStatusFail;
  }
  return resize::RunWithScratch(ctx, pool, dst.height, resize::CubicScratchBytesNone(dst),
                                [&](int32_t y0, int32_t y1, void* scratch) -> Status {
                                  if (resize::ResizeCuNone(type, src, dst, plan, y0, y1, scratch) != kStatusOk) {
                                    KILN_RECORD(ctx, "ResizeCuNone run failed, type: %s, C%d",
                                                resize::QxTypeName(type), dst.channels);
                                    return kStatusFail;
                                  }
                                  return kStatusOk;
                                });
}

Status RunArea(Context* ctx, WorkerPool* pool, ElemType type, const ImagePlane& src, const ImagePlane& dst) {
  if (!resize::IsAreaDecimation(src, dst)) return RunLinear(ctx, pool, type, src, dst, true);
  resize::AreaPlan plan;
  if (!plan.BuildX(ctx, src, dst)) {
    KILN_RECORD(ctx, "ResizeAreaGetOffsetCoefX failed");
    return kStatusFail;
  }
  if (!plan.BuildY(ctx, src, dst)) {
    KILN_RECORD(ctx, "ResizeAreaGetOffsetCoefY failed");
    return kStatusFail;
  }
  return resize::RunWithScratch(ctx, pool, dst.height, resize::AreaScratchBytesNone(src),
                                [&](int32_t y0, int32_t y1, void* scratch) -> Status {
                                  if (resize::ResizeAreaNone(type, src, dst, plan, y0, y1, scratch) != kStatusOk) {
                                    KILN_RECORD(ctx, "ResizeAreaNone failed, type:%s, C%d",
                                                resize::QxTypeName(type), dst.channels);
                                    return kStatusFail;
                                  }
                                  return kStatusOk;
                                });
}

}  // namespace

ResizeNone::ResizeNone(Context* ctx, const TargetInfo& target) : ResizeImpl(ctx, target) {}

Status ResizeNone::SetArgs(Array* src, Array* dst, int32_t interp) { return SetMatArgs(src, dst, interp); }

Status ResizeNone::Run() {
  if (m_src == nullptr || m_dst == nullptr) {
    KILN_RECORD(m_ctx, "src dst is null");
    return kStatusFail;
  }
  if (m_src->SameShape(*m_dst)) return resize::CopyEqualSize(m_src, m_dst);

  std::shared_ptr<WorkerPool> wp;
  if (m_target.flag) {
    wp = m_ctx->GetWorkerpool();
    if (wp == nullptr) {
      KILN_RECORD(m_ctx, "GetWorkerpool failed");
      return kStatusFail;
    }
  }
  const ImagePlane src = resize::PlaneOf(*m_src);
  const ImagePlane dst = resize::PlaneOf(*m_dst);
  const ElemType type = m_src->GetElemType();
  Status status = kStatusFail;
  switch (m_type) {
    case kInterpNearest: status = RunNearest(m_ctx, wp.get(), type, src, dst); break;
    case kInterpLinear: status = RunLinear(m_ctx, wp.get(), type, src, dst, false); break;
    case kInterpCubic: status = RunCubic(m_ctx, wp.get(), type, src, dst); break;
    case kInterpArea: status = RunArea(m_ctx, wp.get(), type, src, dst); break;
    default: KILN_RECORD(m_ctx, "interp type error"); return kStatusFail;
  }
  if (status != kStatusOk) {
    KILN_RECORD(m_ctx, "fail");
    return kStatusFail;
  }
  return kStatusOk;
}

}  // namespace kiln
