// Advanced SIMD MinMaxLoc: vector minimum and maximum per block of a row,
// partial records per row, and one rescan of the winning block.
#include "kiln/ops/matrix/host/neon/min_max_loc_neon.h"

#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "kiln/ops/core/neon/kiln_neon.h"
#include "kiln/ops/matrix/matrix_elem.h"
#include "kiln/runtime/context/context.h"
#include "kiln/runtime/worker_pool/worker_pool.h"

namespace kiln {

namespace {

using matrix::RawOf;

constexpr int32_t kStep = 16;  // elements per vector step

// Per element type: the comparison type C, the vector type V, how 16
// elements load as kRegs vectors of C, and the lane operations. Floats use
// the minNum/maxNum forms, which skip NaN lanes.
template <ElemType kType>
struct VecOps;

template <>
struct VecOps<QX_U8> {
  using C = uint8_t;
  using V = uint8x16_t;
  static constexpr int kRegs = 1;
  static void Load(const uint8_t* p, V* v) { v[0] = vld1q_u8(p); }
  static V Dup(C c) { return vdupq_n_u8(c); }
  static V Min(V a, V b) { return vminq_u8(a, b); }
  static V Max(V a, V b) { return vmaxq_u8(a, b); }
  static C MinLanes(V v) { return vminvq_u8(v); }
  static C MaxLanes(V v) { return vmaxvq_u8(v); }
};

template <>
struct VecOps<QX_S8> {
  using C = int8_t;
  using V = int8x16_t;
  static constexpr int kRegs = 1;
  static void Load(const int8_t* p, V* v) { v[0] = vld1q_s8(p); }
  static V Dup(C c) { return vdupq_n_s8(c); }
  static V Min(V a, V b) { return vminq_s8(a, b); }
  static V Max(V a, V b) { return vmaxq_s8(a, b); }
  static C MinLanes(V v) { return vminvq_s8(v); }
  static C MaxLanes(V v) { return vmaxvq_s8(v); }
};

template <>
struct VecOps<QX_U16> {
  using C = uint16_t;
  using V = uint16x8_t;
  static constexpr int kRegs = 2;
  static void Load(const uint16_t* p, V* v) {
    v[0] = vld1q_u16(p);
    v[1] = vld1q_u16(p + 8);
  }
  static V Dup(C c) { return vdupq_n_u16(c); }
  static V Min(V a, V b) { return vminq_u16(a, b); }
  static V Max(V a, V b) { return vmaxq_u16(a, b); }
  static C MinLanes(V v) { return vminvq_u16(v); }
  static C MaxLanes(V v) { return vmaxvq_u16(v); }
};

template <>
struct VecOps<QX_S16> {
  using C = int16_t;
  using V = int16x8_t;
  static constexpr int kRegs = 2;
  static void Load(const int16_t* p, V* v) {
    v[0] = vld1q_s16(p);
    v[1] = vld1q_s16(p + 8);
  }
  static V Dup(C c) { return vdupq_n_s16(c); }
  static V Min(V a, V b) { return vminq_s16(a, b); }
  static V Max(V a, V b) { return vmaxq_s16(a, b); }
  static C MinLanes(V v) { return vminvq_s16(v); }
  static C MaxLanes(V v) { return vmaxvq_s16(v); }
};

template <>
struct VecOps<QX_U32> {
  using C = uint32_t;
  using V = uint32x4_t;
  static constexpr int kRegs = 4;
  static void Load(const uint32_t* p, V* v) {
    for (int i = 0; i < 4; ++i) v[i] = vld1q_u32(p + 4 * i);
  }
  static V Dup(C c) { return vdupq_n_u32(c); }
  static V Min(V a, V b) { return vminq_u32(a, b); }
  static V Max(V a, V b) { return vmaxq_u32(a, b); }
  static C MinLanes(V v) { return vminvq_u32(v); }
  static C MaxLanes(V v) { return vmaxvq_u32(v); }
};

template <>
struct VecOps<QX_S32> {
  using C = int32_t;
  using V = int32x4_t;
  static constexpr int kRegs = 4;
  static void Load(const int32_t* p, V* v) {
    for (int i = 0; i < 4; ++i) v[i] = vld1q_s32(p + 4 * i);
  }
  static V Dup(C c) { return vdupq_n_s32(c); }
  static V Min(V a, V b) { return vminq_s32(a, b); }
  static V Max(V a, V b) { return vmaxq_s32(a, b); }
  static C MinLanes(V v) { return vminvq_s32(v); }
  static C MaxLanes(V v) { return vmaxvq_s32(v); }
};

// Lane reductions that skip NaN lanes, once per block (SIMDe has no
// vminnmvq_f32, and the cost here does not matter).
inline float MinNumLanes(float32x4_t v) {
  float lanes[4];
  vst1q_f32(lanes, v);
  float r = lanes[0];
  for (int i = 1; i < 4; ++i) r = lanes[i] < r ? lanes[i] : r;
  return r;
}
inline float MaxNumLanes(float32x4_t v) {
  float lanes[4];
  vst1q_f32(lanes, v);
  float r = lanes[0];
  for (int i = 1; i < 4; ++i) r = lanes[i] > r ? lanes[i] : r;
  return r;
}

template <>
struct VecOps<QX_F32> {
  using C = float;
  using V = float32x4_t;
  static constexpr int kRegs = 4;
  // Adding zero quiets signalling NaNs, which FMINNM/FMAXNM would turn into
  // a NaN lane instead of skipping (it also makes -0 +0, an equal value).
  static void Load(const float* p, V* v) {
    const float32x4_t zero = vdupq_n_f32(0.0f);
    for (int i = 0; i < 4; ++i) v[i] = vaddq_f32(vld1q_f32(p + 4 * i), zero);
  }
  static V Dup(C c) { return vdupq_n_f32(c); }
  static V Min(V a, V b) { return vminnmq_f32(a, b); }
  static V Max(V a, V b) { return vmaxnmq_f32(a, b); }
  static C MinLanes(V v) { return MinNumLanes(v); }
  static C MaxLanes(V v) { return MaxNumLanes(v); }
};

template <>
struct VecOps<QX_F16> {
  using C = float;
  using V = float32x4_t;
  static constexpr int kRegs = 4;
  static void Load(const uint16_t* p, V* v) {
    const uint16x8_t lo = vld1q_u16(p);
    const uint16x8_t hi = vld1q_u16(p + 8);
    v[0] = neon::CvtF32F16Bits(vget_low_u16(lo));
    v[1] = neon::CvtF32F16Bits(vget_high_u16(lo));
    v[2] = neon::CvtF32F16Bits(vget_low_u16(hi));
    v[3] = neon::CvtF32F16Bits(vget_high_u16(hi));
  }
  static V Dup(C c) { return vdupq_n_f32(c); }
  static V Min(V a, V b) { return vminnmq_f32(a, b); }
  static V Max(V a, V b) { return vmaxnmq_f32(a, b); }
  static C MinLanes(V v) { return MinNumLanes(v); }
  static C MaxLanes(V v) { return MaxNumLanes(v); }
};

template <ElemType kType>
using CmpOf = typename VecOps<kType>::C;

template <ElemType kType>
inline CmpOf<kType> ValueAt(const RawOf<kType>* row, int32_t k) {
  if constexpr (kType == QX_F16) {
    return matrix::HalfToFloat(row[k]);
  } else {
    return row[k];
  }
}

// Start values: infinities for floats (so only numbers replace them), the
// type's range otherwise.
template <ElemType kType>
constexpr CmpOf<kType> HighStart() {
  using Limits = std::numeric_limits<CmpOf<kType>>;
  return Limits::has_infinity ? Limits::infinity() : Limits::max();
}
template <ElemType kType>
constexpr CmpOf<kType> LowStart() {
  using Limits = std::numeric_limits<CmpOf<kType>>;
  return Limits::has_infinity ? -Limits::infinity() : Limits::lowest();
}

// Minimum and maximum of row[begin, end). With fewer than 16 elements left
// the last step loads the 16 elements ending at end: the ones it repeats
// from the previous block are never below that block's minimum (nor above
// its maximum), so they cannot win a strict comparison for this block.
template <ElemType kType>
void BlockMinMax(const RawOf<kType>* row, int32_t begin, int32_t end, CmpOf<kType>* block_min,
                 CmpOf<kType>* block_max) {
  using Ops = VecOps<kType>;
  using V = typename Ops::V;
  if (end < kStep) {  // a row too short for one vector (only direct kernel calls)
    CmpOf<kType> mn = HighStart<kType>();
    CmpOf<kType> mx = LowStart<kType>();
    for (int32_t x = begin; x < end; ++x) {
      const CmpOf<kType> v = ValueAt<kType>(row, x);
      mn = v < mn ? v : mn;
      mx = v > mx ? v : mx;
    }
    *block_min = mn;
    *block_max = mx;
    return;
  }
  // Each step folds its registers first, so one running minimum and one
  // running maximum carry the loop.
  V mn = Ops::Dup(HighStart<kType>());
  V mx = Ops::Dup(LowStart<kType>());
  const auto step = [&mn, &mx](const RawOf<kType>* p) {
    V v[Ops::kRegs];
    Ops::Load(p, v);
    V lo = v[0];
    V hi = v[0];
    for (int i = 1; i < Ops::kRegs; ++i) {
      lo = Ops::Min(lo, v[i]);
      hi = Ops::Max(hi, v[i]);
    }
    mn = Ops::Min(mn, lo);
    mx = Ops::Max(mx, hi);
  };
  int32_t x = begin;
  for (; x <= end - kStep; x += kStep) step(row + x);
  if (x < end) step(row + end - kStep);
  *block_min = Ops::MinLanes(mn);
  *block_max = Ops::MaxLanes(mx);
}

// One record per row: a block's extreme replaces the running one only when
// strictly better, so each record keeps the first block holding it.
template <ElemType kType>
void ScanRows(const MinMaxLocArgs& a, int32_t row_begin, int32_t row_end, MinMaxLocInfo<CmpOf<kType>>* infos) {
  const int32_t n = a.elems;
  for (int32_t y = row_begin; y < row_end; ++y) {
    const auto* row = reinterpret_cast<const RawOf<kType>*>(a.src + y * a.pitch);
    MinMaxLocInfo<CmpOf<kType>> info;
    info.min_val = HighStart<kType>();
    info.max_val = LowStart<kType>();
    for (int32_t begin = 0, block = 0; begin < n; begin += kMinMaxLocBlockElems, ++block) {
      const int32_t end = n - begin > kMinMaxLocBlockElems ? begin + kMinMaxLocBlockElems : n;
      CmpOf<kType> bmin;
      CmpOf<kType> bmax;
      BlockMinMax<kType>(row, begin, end, &bmin, &bmax);
      if (!(bmin <= bmax)) continue;  // only NaNs in this block
      if (info.min_row < 0 || bmin < info.min_val) {
        info.min_val = bmin;
        info.min_row = y;
        info.min_block = block;
      }
      if (info.max_row < 0 || bmax > info.max_val) {
        info.max_val = bmax;
        info.max_row = y;
        info.max_block = block;
      }
    }
    infos[y] = info;
  }
}

// The first element equal to value in block `block` of row `row`, -1 if none.
template <ElemType kType>
int32_t FindInBlock(const MinMaxLocArgs& a, int32_t row, int32_t block, CmpOf<kType> value) {
  const auto* p = reinterpret_cast<const RawOf<kType>*>(a.src + row * a.pitch);
  const int32_t begin = block * kMinMaxLocBlockElems;
  const int32_t end = a.elems - begin > kMinMaxLocBlockElems ? begin + kMinMaxLocBlockElems : a.elems;
  for (int32_t k = begin; k < end; ++k) {
    if (ValueAt<kType>(p, k) == value) return k;
  }
  return -1;
}

template <ElemType kType>
Status MinMaxLocNeonHelper(Context* ctx, WorkerPool* pool, const MinMaxLocArgs& args, MinMaxLocFlat* result) {
  using Info = MinMaxLocInfo<CmpOf<kType>>;
  *result = MinMaxLocFlat();
  if (args.rows <= 0 || args.elems <= 0) return kStatusOk;
  std::unique_ptr<Info[]> infos(new (std::nothrow) Info[args.rows]);
  if (infos == nullptr) {
    KILN_RECORD(ctx, "MinMaxLocInfo allocation failed");
    return kStatusFail;
  }
  if (pool == nullptr) {
    ScanRows<kType>(args, 0, args.rows, infos.get());
  } else {
    const Status status = pool->ParallelFor(0, args.rows, [&args, &infos](int begin, int end) -> Status {
      ScanRows<kType>(args, begin, end, infos.get());
      return kStatusOk;
    });
    if (status != kStatusOk) {
      KILN_RECORD(ctx, "ParallelFor failed");
      return kStatusFail;
    }
  }
  // Row order with strict comparisons: the first row holding an extreme wins.
  Info best = infos[0];
  for (int32_t y = 1; y < args.rows; ++y) {
    const Info& info = infos[y];
    if (info.min_row >= 0 && (best.min_row < 0 || info.min_val < best.min_val)) {
      best.min_val = info.min_val;
      best.min_row = info.min_row;
      best.min_block = info.min_block;
    }
    if (info.max_row >= 0 && (best.max_row < 0 || info.max_val > best.max_val)) {
      best.max_val = info.max_val;
      best.max_row = info.max_row;
      best.max_block = info.max_block;
    }
  }
  if (best.min_row >= 0) {
    const int32_t k = FindInBlock<kType>(args, best.min_row, best.min_block, best.min_val);
    if (k < 0) {
      KILN_RECORD(ctx, "something is wrong in locating min value.");
      return kStatusFail;
    }
    // Read back the element itself, so a minimum of zero keeps the sign of
    // the first zero, as the plain scan reports it.
    const auto* row = reinterpret_cast<const RawOf<kType>*>(args.src + best.min_row * args.pitch);
    result->min_val = ValueAt<kType>(row, k);
    result->min_row = best.min_row;
    result->min_k = k;
  }
  if (best.max_row >= 0) {
    const int32_t k = FindInBlock<kType>(args, best.max_row, best.max_block, best.max_val);
    if (k < 0) {
      KILN_RECORD(ctx, "something is wrong in locating max value");
      return kStatusFail;
    }
    const auto* row = reinterpret_cast<const RawOf<kType>*>(args.src + best.max_row * args.pitch);
    result->max_val = ValueAt<kType>(row, k);
    result->max_row = best.max_row;
    result->max_k = k;
  }
  return kStatusOk;
}

template <ElemType kType>
Status RunHelper(Context* ctx, WorkerPool* pool, const MinMaxLocArgs& args, MinMaxLocFlat* result) {
  if (MinMaxLocNeonHelper<kType>(ctx, pool, args, result) != kStatusOk) {
    KILN_RECORD(ctx, "MinMaxLocNeonHelper<%s> failed.", matrix::ElemTraits<kType>::name);
    return kStatusFail;
  }
  return kStatusOk;
}

}  // namespace

Status MinMaxLocNeonImage(Context* ctx, WorkerPool* pool, ElemType type, const MinMaxLocArgs& args,
                          MinMaxLocFlat* result) {
  if (result == nullptr) return kStatusFail;
  switch (type) {
    case QX_U8: return RunHelper<QX_U8>(ctx, pool, args, result);
    case QX_S8: return RunHelper<QX_S8>(ctx, pool, args, result);
    case QX_U16: return RunHelper<QX_U16>(ctx, pool, args, result);
    case QX_S16: return RunHelper<QX_S16>(ctx, pool, args, result);
    case QX_U32: return RunHelper<QX_U32>(ctx, pool, args, result);
    case QX_S32: return RunHelper<QX_S32>(ctx, pool, args, result);
    case QX_F32: return RunHelper<QX_F32>(ctx, pool, args, result);
    case QX_F16: return RunHelper<QX_F16>(ctx, pool, args, result);
    default: return kStatusFail;
  }
}

Status MinMaxLocNeon::Run() {
  if (m_src == nullptr) {
    KILN_RECORD(m_ctx, "src is null");
    return kStatusFail;
  }
  const ElemType type = m_src->GetElemType();
  if (!matrix::IsMatrixElemType(type)) {
    KILN_RECORD(m_ctx, "input mat with invalid ElemType.");
    return kStatusFail;
  }
  const std::shared_ptr<WorkerPool> pool = m_ctx != nullptr ? m_ctx->GetWorkerpool() : nullptr;
  if (pool == nullptr) {
    KILN_RECORD(m_ctx, "GetWorkerPool failed");
    return kStatusFail;
  }
  MinMaxLocFlat flat;
  if (MinMaxLocNeonImage(m_ctx, pool.get(), type, MakeArgs(), &flat) != kStatusOk) return kStatusFail;
  StoreResult(flat);
  return kStatusOk;
}

}  // namespace kiln
