#include "kiln/ops/resize/src/resize_plan.h"

#include "kiln/runtime/memory/mem_pool.h"

namespace kiln {
namespace resize {

namespace {

size_t AlignUp(size_t n) { return (n + 63) / 64 * 64; }

}  // namespace

ResizeScale ScaleOf(const ImagePlane& src, const ImagePlane& dst) {
  return {static_cast<float>(src.width) / static_cast<float>(dst.width),
          static_cast<float>(src.height) / static_cast<float>(dst.height)};
}

bool IsAreaDecimation(const ImagePlane& src, const ImagePlane& dst) {
  return dst.width <= src.width && dst.height <= src.height;
}

bool NearestPlan::Build(Context* ctx, const ImagePlane& src, const ImagePlane& dst) {
  const size_t xbytes = AlignUp(sizeof(int32_t) * dst.width);
  if (!block.Allocate(ctx, xbytes + sizeof(int32_t) * dst.height, KILN_ALLOC_PARAM)) return false;
  int32_t* xm = block.As<int32_t>();
  int32_t* ym = reinterpret_cast<int32_t*>(block.As<uint8_t>() + xbytes);
  BuildNearestMap(dst.width, src.width, xm);
  BuildNearestMap(dst.height, src.height, ym);
  xmap = xm;
  ymap = ym;
  return true;
}

bool LinearPlan::Build(Context* ctx, const ImagePlane& src, const ImagePlane& dst, bool area, bool float_type) {
  const size_t entry = float_type ? sizeof(LinearCoefF) : sizeof(LinearCoef);
  const size_t xbytes = AlignUp(entry * dst.width);
  if (!block.Allocate(ctx, xbytes + entry * dst.height, KILN_ALLOC_PARAM)) return false;
  uint8_t* base = block.As<uint8_t>();
  const ResizeScale scale = ScaleOf(src, dst);
  auto build = area ? BuildAreaLinearCoefs : BuildLinearCoefs;
  if (float_type) {
    auto* cx = reinterpret_cast<LinearCoefF*>(base);
    auto* cy = reinterpret_cast<LinearCoefF*>(base + xbytes);
    build(dst.width, src.width, scale.sx, nullptr, cx);
    build(dst.height, src.height, scale.sy, nullptr, cy);
    xf = cx;
    yf = cy;
  } else {
    auto* cx = reinterpret_cast<LinearCoef*>(base);
    auto* cy = reinterpret_cast<LinearCoef*>(base + xbytes);
    build(dst.width, src.width, scale.sx, cx, nullptr);
    build(dst.height, src.height, scale.sy, cy, nullptr);
    x = cx;
    y = cy;
  }
  return true;
}

bool CubicPlan::Build(Context* ctx, const ImagePlane& src, const ImagePlane& dst, bool float_type) {
  const size_t entry = float_type ? sizeof(CubicCoefF) : sizeof(CubicCoef);
  const size_t xbytes = AlignUp(entry * dst.width);
  if (!block.Allocate(ctx, xbytes + entry * dst.height, KILN_ALLOC_PARAM)) return false;
  uint8_t* base = block.As<uint8_t>();
  if (float_type) {
    auto* cx = reinterpret_cast<CubicCoefF*>(base);
    auto* cy = reinterpret_cast<CubicCoefF*>(base + xbytes);
    BuildCubicCoefs(dst.width, src.width, nullptr, cx);
    BuildCubicCoefs(dst.height, src.height, nullptr, cy);
    xf = cx;
    yf = cy;
  } else {
    auto* cx = reinterpret_cast<CubicCoef*>(base);
    auto* cy = reinterpret_cast<CubicCoef*>(base + xbytes);
    BuildCubicCoefs(dst.width, src.width, cx, nullptr);
    BuildCubicCoefs(dst.height, src.height, cy, nullptr);
    x = cx;
    y = cy;
  }
  return true;
}

namespace {

bool BuildAreaAxis(Context* ctx, int32_t dsize, int32_t ssize, float scale, PoolBlock& block,
                   const AreaDecimateAlpha** entries, const AreaSpan** spans) {
  const int32_t count = CountAreaEntries(dsize, ssize, scale);
  const size_t ebytes = AlignUp(sizeof(AreaDecimateAlpha) * count);
  if (!block.Allocate(ctx, ebytes + sizeof(AreaSpan) * dsize, KILN_ALLOC_PARAM)) return false;
  auto* e = block.As<AreaDecimateAlpha>();
  auto* s = reinterpret_cast<AreaSpan*>(block.As<uint8_t>() + ebytes);
  BuildAreaTab(dsize, ssize, scale, e, s);
  *entries = e;
  *spans = s;
  return true;
}

}  // namespace

bool AreaPlan::BuildX(Context* ctx, const ImagePlane& src, const ImagePlane& dst) {
  return BuildAreaAxis(ctx, dst.width, src.width, ScaleOf(src, dst).sx, xblock, &xe, &xs);
}

bool AreaPlan::BuildY(Context* ctx, const ImagePlane& src, const ImagePlane& dst) {
  return BuildAreaAxis(ctx, dst.height, src.height, ScaleOf(src, dst).sy, yblock, &ye, &ys);
}

}  // namespace resize
}  // namespace kiln
