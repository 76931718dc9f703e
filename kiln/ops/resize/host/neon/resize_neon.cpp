#include "kiln/ops/resize/host/neon/resize_neon.h"

#include <cmath>
#include <memory>

#include "kiln/ops/resize/host/neon/resize_kernels_neon.h"
#include "kiln/ops/resize/src/resize_plan.h"
#include "kiln/ops/resize/src/resize_run.h"

namespace kiln {

namespace {

using resize::ImagePlane;
using resize::SameFactor;

bool IsIntegerType(ElemType type) { return type == QX_U8 || type == QX_S8 || type == QX_U16 || type == QX_S16; }

// Largest element magnitude of an integer type.
int64_t MaxMagnitude(ElemType type) {
  switch (type) {
    case QX_U8: return 255;
    case QX_S8: return 128;
    case QX_U16: return 65535;
    default: return 32768;
  }
}

// The exact ratio one of {1/4, 1/2, 2, 4} (factor = source / destination)
// on both axes, or 0.
float ExactCommonFactor(const Sizes& src, const Sizes& dst, const float* candidates, int count) {
  const float sx = static_cast<float>(src.w) / static_cast<float>(dst.w);
  const float sy = static_cast<float>(src.h) / static_cast<float>(dst.h);
  if (!SameFactor(sx, sy)) return 0.f;
  for (int i = 0; i < count; ++i) {
    if (SameFactor(sx, candidates[i])) return candidates[i];
  }
  return 0.f;
}

// Sizes are exact multiples for the factor (down: src = f x dst; up: dst = src / f).
bool ExactSizes(const Sizes& src, const Sizes& dst, float factor) {
  if (factor >= 1.f) {
    const int32_t k = static_cast<int32_t>(factor);
    return src.w == k * dst.w && src.h == k * dst.h;
  }
  const int32_t k = static_cast<int32_t>(1.f / factor + 0.5f);
  return dst.w == k * src.w && dst.h == k * src.h;
}

// A whole factor (>= 1) within 1e-5, or 0.
int32_t WholeFactor(float f) {
  const float r = std::round(f);
  return r >= 1.f && SameFactor(f, r) ? static_cast<int32_t>(r) : 0;
}

}  // namespace

ResizeNeonChoice SelectResizeNeonKernel(int32_t interp, ElemType type, const Sizes& src, const Sizes& dst) {
  if (src.h == dst.h && src.w == dst.w) return {ResizeNeonKernel::kCopy, 1, 1};
  const bool integer = IsIntegerType(type);
  switch (interp) {
    case kInterpNearest: return {ResizeNeonKernel::kNearest, 0, 0};
    case kInterpLinear: {
      static const float kFactors[] = {0.25f, 0.5f, 2.f, 4.f};
      const float f = ExactCommonFactor(src, dst, kFactors, 4);
      if (f != 0.f) {
        if (dst.c > 3) return {ResizeNeonKernel::kBnFastChannels, 0, 0};
        if (integer && ExactSizes(src, dst, f)) {
          if (f == 0.25f) return {ResizeNeonKernel::kBnFastUpX4, 0, 0};
          if (f == 0.5f) return {ResizeNeonKernel::kBnFastUpX2, 0, 0};
          if (f == 2.f) return {ResizeNeonKernel::kBnFastDownX2, 0, 0};
          return {ResizeNeonKernel::kBnFastDownX4, 0, 0};
        }
      }
      return {ResizeNeonKernel::kBnComm, 0, 0};
    }
    case kInterpCubic: {
      static const float kFactors[] = {2.f, 4.f};
      const float f = ExactCommonFactor(src, dst, kFactors, 2);
      if (f != 0.f && integer && dst.c <= 3 && ExactSizes(src, dst, f)) {
        return {f == 2.f ? ResizeNeonKernel::kCuFastDownX2 : ResizeNeonKernel::kCuFastDownX4, 0, 0};
      }
      return {ResizeNeonKernel::kCuComm, 0, 0};
    }
    case kInterpArea: {
      const float sx = static_cast<float>(src.w) / static_cast<float>(dst.w);
      const float sy = static_cast<float>(src.h) / static_cast<float>(dst.h);
      const int32_t kx = WholeFactor(sx);
      const int32_t ky = WholeFactor(sy);
      if (kx > 0 && ky > 0 && src.w == kx * dst.w && src.h == ky * dst.h) {
        // Integer sums must stay exact in the plain kernel's single precision.
        if (!integer || static_cast<int64_t>(kx) * ky * MaxMagnitude(type) < (int64_t{1} << 24)) {
          if (kx == 2 && ky == 2) return {ResizeNeonKernel::kAreaFastDownX2, 2, 2};
          if (kx == 4 && ky == 4) return {ResizeNeonKernel::kAreaFastDownX4, 4, 4};
          return {ResizeNeonKernel::kAreaFastInt, kx, ky};
        }
      }
      static const float kUp[] = {0.25f, 0.5f};
      const float f = ExactCommonFactor(src, dst, kUp, 2);
      if (f != 0.f && integer && ExactSizes(src, dst, f)) {
        return {f == 0.5f ? ResizeNeonKernel::kAreaFastUpX2 : ResizeNeonKernel::kAreaFastUpX4, 0, 0};
      }
      return {dst.w <= src.w && dst.h <= src.h ? ResizeNeonKernel::kAreaComm : ResizeNeonKernel::kAreaLinear, 0, 0};
    }
    default: return {ResizeNeonKernel::kInterpError, 0, 0};
  }
}

std::string ResizeNeonKernelName(ResizeNeonKernel kernel, int32_t channels) {
  const std::string cn = "C" + std::to_string(channels);
  switch (kernel) {
    case ResizeNeonKernel::kCopy: return "CopyTo";
    case ResizeNeonKernel::kNearest: return "ResizeNearestNeon";
    case ResizeNeonKernel::kBnComm: return "ResizeBnCommNeon";
    case ResizeNeonKernel::kBnFastUpX4: return "ResizeBnFast" + cn + "Neon:UpX4";
    case ResizeNeonKernel::kBnFastUpX2: return "ResizeBnFast" + cn + "Neon:UpX2";
    case ResizeNeonKernel::kBnFastDownX2: return "ResizeBnFast" + cn + "Neon:DownX2";
    case ResizeNeonKernel::kBnFastDownX4: return "ResizeBnFast" + cn + "Neon:DownX4";
    case ResizeNeonKernel::kBnFastChannels: return "ResizeBnFastNeon:channels";
    case ResizeNeonKernel::kCuComm: return "ResizeCuCommNeon";
    case ResizeNeonKernel::kCuFastDownX2: return "ResizeCu" + cn + "DownX2NeonImpl";
    case ResizeNeonKernel::kCuFastDownX4: return "ResizeCu" + cn + "DownX4NeonImpl";
    case ResizeNeonKernel::kAreaComm: return "ResizeAreaCommNeon";
    case ResizeNeonKernel::kAreaLinear: return "ResizeBnCommNeon:area";
    case ResizeNeonKernel::kAreaFastDownX2: return "ResizeAreaDownX2Neon";
    case ResizeNeonKernel::kAreaFastDownX4: return "ResizeAreaDownX4Neon";
    case ResizeNeonKernel::kAreaFastInt: return "ResizeAreaIntNeon";
    case ResizeNeonKernel::kAreaFastUpX2: return "ResizeAreaUpX2Neon";
    case ResizeNeonKernel::kAreaFastUpX4: return "ResizeAreaUpX4Neon";
    case ResizeNeonKernel::kInterpError: return "interp type error";
  }
  return "";
}

namespace {

// The run of one chosen kernel: tables, scratch slots, ParallelFor.
class NeonRun {
 public:
  NeonRun(Context* ctx, WorkerPool* pool, ElemType type, const ImagePlane& src, const ImagePlane& dst)
      : m_ctx(ctx), m_pool(pool), m_type(type), m_src(src), m_dst(dst) {}

  Status Nearest() {
    resize::NearestPlan plan;
    if (!plan.Build(m_ctx, m_src, m_dst)) return AllocFailed();
    const int32_t elem = ElemTypeSize(m_type);
    return resize::RunRowBlocks(m_pool, m_dst.height, [&](int32_t y0, int32_t y1) -> Status {
      resize::ResizeNearestNeon(m_src, m_dst, elem, plan, y0, y1);
      return kStatusOk;
    });
  }

  Status Linear(bool area) {
    resize::LinearPlan plan;
    if (!plan.Build(m_ctx, m_src, m_dst, area, m_type == QX_F32 || m_type == QX_F16)) return AllocFailed();
    return Blocks(resize::ResizeBnCommScratchBytes(m_type, m_src, m_dst), [&](int32_t y0, int32_t y1, void* s) {
      if (resize::ResizeBnCommNeon(m_type, m_src, m_dst, plan, y0, y1, s) == kStatusOk) return kStatusOk;
      KILN_RECORD(m_ctx, "ResizeBnCommNeonHelper run failed, type: %s", resize::QxTypeName(m_type));
      return kStatusFail;
    });
  }

  Status LinearFast(ResizeNeonKernel kernel) {
    resize::BnFastScale scale;
    switch (kernel) {
      case ResizeNeonKernel::kBnFastUpX4: scale = resize::BnFastScale::kUpX4; break;
      case ResizeNeonKernel::kBnFastUpX2: scale = resize::BnFastScale::kUpX2; break;
      case ResizeNeonKernel::kBnFastDownX2: scale = resize::BnFastScale::kDownX2; break;
      case ResizeNeonKernel::kBnFastDownX4: scale = resize::BnFastScale::kDownX4; break;
      default: KILN_RECORD(m_ctx, "spacial scale param error"); return kStatusFail;
    }
    return Blocks(resize::ResizeBnFastScratchBytes(m_type, m_src, scale), [&](int32_t y0, int32_t y1, void* s) {
      if (resize::ResizeBnFastNeon(m_type, scale, m_src, m_dst, y0, y1, s) == kStatusOk) return kStatusOk;
      KILN_RECORD(m_ctx, "ResizeBnFastC%dNeon failed, type: %s", m_dst.channels, resize::QxTypeName(m_type));
      return kStatusFail;
    });
  }

  Status Cubic() {
    resize::CubicPlan plan;
    if (!plan.Build(m_ctx, m_src, m_dst, m_type == QX_F32 || m_type == QX_F16)) return AllocFailed();
    return Blocks(resize::ResizeCuCommScratchBytes(m_type, m_src, m_dst), [&](int32_t y0, int32_t y1, void* s) {
      if (resize::ResizeCuCommNeon(m_type, m_src, m_dst, plan, y0, y1, s) == kStatusOk) return kStatusOk;
      KILN_RECORD(m_ctx, "ResizeCuCommNeonHelper run failed, type: %s", resize::QxTypeName(m_type));
      return kStatusFail;
    });
  }

  Status CubicFast(int32_t factor) {
    if (factor != 2 && factor != 4) {
      KILN_RECORD(m_ctx, "special scale param error");
      return kStatusFail;
    }
    return Blocks(resize::ResizeCuFastScratchBytes(m_type, m_src), [&](int32_t y0, int32_t y1, void* s) {
      if (resize::ResizeCuFastNeon(m_type, factor, m_src, m_dst, y0, y1, s) == kStatusOk) return kStatusOk;
      KILN_RECORD(m_ctx, "ResizeCuFastC%dNeon failed, type: %s", m_dst.channels, resize::QxTypeName(m_type));
      return kStatusFail;
    });
  }

  Status Area() {
    resize::AreaPlan plan;
    if (!plan.BuildX(m_ctx, m_src, m_dst)) {
      KILN_RECORD(m_ctx, "ResizeAreaGetOffsetCoefX failed");
      return kStatusFail;
    }
    if (!plan.BuildY(m_ctx, m_src, m_dst)) {
      KILN_RECORD(m_ctx, "ResizeAreaGetOffsetCoefY failed");
      return kStatusFail;
    }
    return Blocks(resize::ResizeAreaCommScratchBytes(m_src, m_dst), [&](int32_t y0, int32_t y1, void* s) {
      if (resize::ResizeAreaCommNeon(m_type, m_src, m_dst, plan, y0, y1, s) == kStatusOk) return kStatusOk;
      KILN_RECORD(m_ctx, "ResizeAreaCommNeonHelper failed, type:%s, C%d", resize::QxTypeName(m_type),
                  m_dst.channels);
      return kStatusFail;
    });
  }

  Status AreaFast(int32_t kx, int32_t ky) {
    if (kx < 1 || ky < 1) {
      KILN_RECORD(m_ctx, "not x2, x4 or int scale");
      return kStatusFail;
    }
    return Blocks(resize::ResizeAreaFastScratchBytes(m_src, m_dst), [&](int32_t y0, int32_t y1, void* s) {
      if (resize::ResizeAreaFastNeon(m_type, kx, ky, m_src, m_dst, y0, y1, s) == kStatusOk) return kStatusOk;
      KILN_RECORD(m_ctx, "ResizeAreaFastNeon failed, type:%s, C%d", resize::QxTypeName(m_type), m_dst.channels);
      return kStatusFail;
    });
  }

  Status AreaUpFast(int32_t factor) {
    return resize::RunRowBlocks(m_pool, m_dst.height, [&](int32_t y0, int32_t y1) -> Status {
      if (resize::ResizeAreaUpFastNeon(m_type, factor, m_src, m_dst, y0, y1) == kStatusOk) return kStatusOk;
      KILN_RECORD(m_ctx, "not x2, x4 or int scale");
      return kStatusFail;
    });
  }

 private:
  Status AllocFailed() {
    KILN_RECORD(m_ctx, "KILN_ALLOC_PARAM fail");
    return kStatusFail;
  }

  template <class Kernel>
  Status Blocks(size_t scratch_bytes, Kernel&& kernel) {
    return resize::RunWithScratch(m_ctx, m_pool, m_dst.height, scratch_bytes, kernel);
  }

  Context* m_ctx;
  WorkerPool* m_pool;
  ElemType m_type;
  ImagePlane m_src;
  ImagePlane m_dst;
};

}  // namespace

ResizeNeon::ResizeNeon(Context* ctx, const TargetInfo& target) : ResizeImpl(ctx, target) {}

Status ResizeNeon::SetArgs(Array* src, Array* dst, int32_t interp) { return SetMatArgs(src, dst, interp); }

Status ResizeNeon::Run() {
  if (m_src == nullptr || m_dst == nullptr) {
    KILN_RECORD(m_ctx, "src dst is null");
    return kStatusFail;
  }
  if (m_src->SameShape(*m_dst)) {
    m_last_kernel = ResizeNeonKernelName(ResizeNeonKernel::kCopy, m_dst->Channels());
    return resize::CopyEqualSize(m_src, m_dst);
  }
  const std::shared_ptr<WorkerPool> wp = m_ctx->GetWorkerpool();
  if (wp == nullptr) {
    KILN_RECORD(m_ctx, "GetWorkerPool failed");
    return kStatusFail;
  }
  const ElemType type = m_src->GetElemType();
  const ResizeNeonChoice choice = SelectResizeNeonKernel(m_type, type, m_src->GetSizes(), m_dst->GetSizes());
  m_last_kernel = ResizeNeonKernelName(choice.kernel, m_dst->Channels());
  NeonRun run(m_ctx, wp.get(), type, resize::PlaneOf(*m_src), resize::PlaneOf(*m_dst));
  Status status = kStatusFail;
  switch (choice.kernel) {
    case ResizeNeonKernel::kCopy: return resize::CopyEqualSize(m_src, m_dst);
    case ResizeNeonKernel::kNearest: status = run.Nearest(); break;
    case ResizeNeonKernel::kBnComm: status = run.Linear(false); break;
    case ResizeNeonKernel::kBnFastUpX4:
    case ResizeNeonKernel::kBnFastUpX2:
    case ResizeNeonKernel::kBnFastDownX2:
    case ResizeNeonKernel::kBnFastDownX4: status = run.LinearFast(choice.kernel); break;
    case ResizeNeonKernel::kBnFastChannels:
      KILN_RECORD(m_ctx, "do not surpport channel more than 3");
      status = kStatusFail;
      break;
    case ResizeNeonKernel::kCuComm: status = run.Cubic(); break;
    case ResizeNeonKernel::kCuFastDownX2: status = run.CubicFast(2); break;
    case ResizeNeonKernel::kCuFastDownX4: status = run.CubicFast(4); break;
    case ResizeNeonKernel::kAreaComm: status = run.Area(); break;
    case ResizeNeonKernel::kAreaLinear: status = run.Linear(true); break;
    case ResizeNeonKernel::kAreaFastDownX2:
    case ResizeNeonKernel::kAreaFastDownX4:
    case ResizeNeonKernel::kAreaFastInt: status = run.AreaFast(choice.kx, choice.ky); break;
    case ResizeNeonKernel::kAreaFastUpX2: status = run.AreaUpFast(2); break;
    case ResizeNeonKernel::kAreaFastUpX4: status = run.AreaUpFast(4); break;
    case ResizeNeonKernel::kInterpError: KILN_RECORD(m_ctx, "interp type error"); return kStatusFail;
  }
  if (status == kStatusFail) {
    KILN_RECORD(m_ctx, "fail");
    return kStatusFail;
  }
  return status;
}

}  // namespace kiln
