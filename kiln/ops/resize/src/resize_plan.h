// Coefficient tables of one resize call, built once per Run in pool memory
// and shared read-only by every row block of both targets.
#ifndef KILN_OPS_RESIZE_SRC_RESIZE_PLAN_H_
#define KILN_OPS_RESIZE_SRC_RESIZE_PLAN_H_

#include <cstdint>

#include "kiln/ops/resize/src/resize_common.h"

namespace kiln {

class Context;

namespace resize {

// Source size / destination size per axis, in single precision.
struct ResizeScale {
  float sx;
  float sy;
};
ResizeScale ScaleOf(const ImagePlane& src, const ImagePlane& dst);

// True when both axes are decimated (the area kernel averages cells);
// otherwise area resizing runs the two-tap kernel with area weights.
bool IsAreaDecimation(const ImagePlane& src, const ImagePlane& dst);

// Each plan owns its tables (one pool block) and is owned by the Run that
// built it. Build returns false when the pool has no memory.
struct NearestPlan {
  bool Build(Context* ctx, const ImagePlane& src, const ImagePlane& dst);
  const int32_t* xmap = nullptr;
  const int32_t* ymap = nullptr;
  PoolBlock block;
};

struct LinearPlan {
  // area: the area-upscale weights instead of the bilinear ones. The integer
  // tables are built for integer element types, the float ones for F32/F16.
  bool Build(Context* ctx, const ImagePlane& src, const ImagePlane& dst, bool area, bool float_type);
  const LinearCoef* x = nullptr;
  const LinearCoef* y = nullptr;
  const LinearCoefF* xf = nullptr;
  const LinearCoefF* yf = nullptr;
  PoolBlock block;
};

struct CubicPlan {
  bool Build(Context* ctx, const ImagePlane& src, const ImagePlane& dst, bool float_type);
  const CubicCoef* x = nullptr;
  const CubicCoef* y = nullptr;
  const CubicCoefF* xf = nullptr;
  const CubicCoefF* yf = nullptr;
  PoolBlock block;
};

struct AreaPlan {
  // Build records nothing; BuildX/BuildY failures are told apart for the
  // caller's records ("ResizeAreaGetOffsetCoefX failed" / "...Y failed").
  bool BuildX(Context* ctx, const ImagePlane& src, const ImagePlane& dst);
  bool BuildY(Context* ctx, const ImagePlane& src, const ImagePlane& dst);
  const AreaDecimateAlpha* xe = nullptr;
  const AreaSpan* xs = nullptr;
  const AreaDecimateAlpha* ye = nullptr;
  const AreaSpan* ys = nullptr;
  PoolBlock xblock;
  PoolBlock yblock;
};

}  // namespace resize
}  // namespace kiln

#endif  // KILN_OPS_RESIZE_SRC_RESIZE_PLAN_H_
