// Plain MinMaxLoc: a reduction per row, then a scan for the first element
// equal to each extreme that can still win.
#include "kiln/ops/matrix/none/min_max_loc_none.h"

#include <atomic>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <type_traits>

#include "kiln/ops/matrix/matrix_elem.h"
#include "kiln/runtime/context/context.h"
#include "kiln/runtime/worker_pool/worker_pool.h"

namespace kiln {

namespace {

using matrix::RawOf;

// F16 is compared as float; every other type as itself.
template <ElemType kType>
using CmpOf = std::conditional_t<kType == QX_F16, float, RawOf<kType>>;

template <ElemType kType>
inline CmpOf<kType> ValueAt(const RawOf<kType>* row, int32_t k) {
  if constexpr (kType == QX_F16) {
    return matrix::HalfToFloat(row[k]);
  } else {
    return row[k];
  }
}

template <ElemType kType>
int32_t FirstEqual(const RawOf<kType>* row, int32_t n, CmpOf<kType> value) {
  for (int32_t k = 0; k < n; ++k) {
    if (ValueAt<kType>(row, k) == value) return k;
  }
  return -1;
}

template <ElemType kType>
void RowsNone(const MinMaxLocArgs& a, int32_t row_begin, int32_t row_end, MinMaxLocFlat* slot) {
  using C = CmpOf<kType>;
  using Limits = std::numeric_limits<C>;
  // Infinities for floats, so NaNs (for which every comparison is false)
  // never enter the running values.
  constexpr C kHi = Limits::has_infinity ? Limits::infinity() : Limits::max();
  constexpr C kLo = Limits::has_infinity ? -Limits::infinity() : Limits::lowest();
  const int32_t n = a.elems;
  for (int32_t y = row_begin; y < row_end; ++y) {
    const auto* row = reinterpret_cast<const RawOf<kType>*>(a.src + y * a.pitch);
    C mn = kHi;
    C mx = kLo;
    for (int32_t x = 0; x < n; ++x) {
      const C v = ValueAt<kType>(row, x);
      mn = v < mn ? v : mn;
      mx = v > mx ? v : mx;
    }
    if (!(mn <= mx)) continue;  // no element, or only NaNs
    // The row holds mn and mx; find where only when it can beat the slot.
    MinMaxLocFlat r;
    if (slot->min_row < 0 || mn < slot->min_val || (mn == slot->min_val && y < slot->min_row)) {
      const int32_t k = FirstEqual<kType>(row, n, mn);
      r.min_val = ValueAt<kType>(row, k);
      r.min_row = y;
      r.min_k = k;
    }
    if (slot->max_row < 0 || mx > slot->max_val || (mx == slot->max_val && y < slot->max_row)) {
      const int32_t k = FirstEqual<kType>(row, n, mx);
      r.max_val = ValueAt<kType>(row, k);
      r.max_row = y;
      r.max_k = k;
    }
    MergeMinMaxLoc(r, slot);
  }
}

// One result per participating thread, on its own cache line. A thread
// claims a free slot on its first call; the merge rule makes the result
// independent of which thread took which rows.
struct alignas(64) Slot {
  std::atomic<std::thread::id> owner{};
  MinMaxLocFlat result;
};

Slot* FindSlot(Slot* slots, int count, std::thread::id self) {
  for (int i = 0; i < count; ++i) {
    if (slots[i].owner.load(std::memory_order_acquire) == self) return &slots[i];
  }
  for (int i = 0; i < count; ++i) {
    std::thread::id expected;
    if (slots[i].owner.compare_exchange_strong(expected, self, std::memory_order_acq_rel)) return &slots[i];
  }
  return nullptr;
}

}  // namespace

MinMaxLocRowsNoneFn GetMinMaxLocRowsNone(ElemType type) {
  switch (type) {
    case QX_U8: return &RowsNone<QX_U8>;
    case QX_S8: return &RowsNone<QX_S8>;
    case QX_U16: return &RowsNone<QX_U16>;
    case QX_S16: return &RowsNone<QX_S16>;
    case QX_U32: return &RowsNone<QX_U32>;
    case QX_S32: return &RowsNone<QX_S32>;
    case QX_F32: return &RowsNone<QX_F32>;
    case QX_F16: return &RowsNone<QX_F16>;
    default: return nullptr;
  }
}

Status MinMaxLocNoneImage(Context* ctx, WorkerPool* pool, ElemType type, const MinMaxLocArgs& args,
                          MinMaxLocFlat* result) {
  const MinMaxLocRowsNoneFn fn = GetMinMaxLocRowsNone(type);
  if (fn == nullptr || result == nullptr) return kStatusFail;
  *result = MinMaxLocFlat();
  if (args.rows <= 0 || args.elems <= 0) return kStatusOk;
  if (pool == nullptr) {
    fn(args, 0, args.rows, result);
    return kStatusOk;
  }
  // The compute threads and the caller; a thread beyond that (never seen
  // with this pool) shares one locked spare slot.
  const int count = pool->ComputeThreadCount() + 1;
  std::unique_ptr<Slot[]> slots(new (std::nothrow) Slot[count]);
  if (slots == nullptr) {
    KILN_RECORD(ctx, "slots allocation failed");
    return kStatusFail;
  }
  MinMaxLocFlat spare;
  std::mutex spare_mutex;
  const Status status = pool->ParallelFor(0, args.rows, [&](int begin, int end) -> Status {
    Slot* slot = FindSlot(slots.get(), count, std::this_thread::get_id());
    if (slot != nullptr) {
      fn(args, begin, end, &slot->result);
    } else {
      std::lock_guard<std::mutex> lock(spare_mutex);
      fn(args, begin, end, &spare);
    }
    return kStatusOk;
  });
  if (status != kStatusOk) {
    KILN_RECORD(ctx, "ParallelFor failed");
    return kStatusFail;
  }
  for (int i = 0; i < count; ++i) MergeMinMaxLoc(slots[i].result, result);
  MergeMinMaxLoc(spare, result);
  return kStatusOk;
}

Status MinMaxLocNone::Run() {
  if (m_src == nullptr) {
    KILN_RECORD(m_ctx, "src is null");
    return kStatusFail;
  }
  const ElemType type = m_src->GetElemType();
  if (!matrix::IsMatrixElemType(type)) {
    KILN_RECORD(m_ctx, "input mat with invalid ElemType.");
    return kStatusFail;
  }
  std::shared_ptr<WorkerPool> pool;
  if (m_target.flag) {
    pool = m_ctx != nullptr ? m_ctx->GetWorkerpool() : nullptr;
    if (pool == nullptr) {
      KILN_RECORD(m_ctx, "GetWorkerpool failed");
      return kStatusFail;
    }
  }
  MinMaxLocFlat flat;
  if (MinMaxLocNoneImage(m_ctx, pool.get(), type, MakeArgs(), &flat) != kStatusOk) {
    KILN_RECORD(m_ctx, "MinMaxLocNoneImpl failed (type %s)", ElemTypeName(type));
    return kStatusFail;
  }
  StoreResult(flat);
  return kStatusOk;
}

}  // namespace kiln
