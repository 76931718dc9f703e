#include "kiln/runtime/array/array.h"

#include <limits>
#include <new>

#include "kiln/runtime/context/context.h"

namespace kiln {

Array::Array(ArrayType array_type) : m_array_type(array_type) {}

Array::~Array() { Array::Release(); }

void Array::Release() {
  if (m_ref_count != nullptr && m_ref_count->fetch_sub(1, std::memory_order_acq_rel) == 1) {
    std::shared_ptr<MemPool> pool = m_ctx != nullptr ? m_ctx->GetMemPool() : nullptr;
    if (pool != nullptr) {
      m_ref_count->~atomic();
      pool->Free(m_ref_count);
      if (m_buffer.origin != nullptr) pool->Free(m_buffer.origin);
    }
  }
  const ArrayType array_type = m_array_type;
  ResetFields();
  m_array_type = array_type;
}

bool Array::IsValid() const {
  return m_ctx != nullptr && m_elem_type != QX_INVALID && m_array_type != KILN_ARRAY_INVALID && m_total > 0 &&
         m_buffer.IsLive();
}

int64_t Array::RowBytes() const {
  return static_cast<int64_t>(m_sizes.w) * m_sizes.c * ElemTypeSize(m_elem_type);
}

int Array::GetFd() const {
  return m_buffer.type == KILN_MEM_DMA ? static_cast<int>(m_buffer.property) : -1;
}

bool Array::SameShape(const Array& other) const {
  return m_elem_type == other.m_elem_type && m_sizes.h == other.m_sizes.h && m_sizes.w == other.m_sizes.w &&
         m_sizes.c == other.m_sizes.c;
}

int32_t Array::AddRef(int32_t delta) {
  if (m_ref_count == nullptr) return 0;
  return m_ref_count->fetch_add(delta, std::memory_order_acq_rel) + delta;
}

int32_t Array::RefCount() const {
  return m_ref_count != nullptr ? m_ref_count->load(std::memory_order_acquire) : 0;
}

bool Array::ComputeLayout(const Strides& strides, uint64_t buffer_size) {
  m_total = 0;
  m_strides = Strides();
  if (m_ctx == nullptr) return false;
  const int64_t h = m_sizes.h;
  const int64_t row_bytes = RowBytes();
  if (h <= 0 || m_sizes.w <= 0 || m_sizes.c <= 0 || row_bytes <= 0) return false;
  constexpr int64_t kMax32 = std::numeric_limits<int32_t>::max();
  const int64_t rows = strides.rows > h ? strides.rows : h;
  const int64_t pitch = strides.row_bytes > row_bytes ? strides.row_bytes : row_bytes;
  if (row_bytes > kMax32 || pitch > kMax32 || rows > kMax32) return false;
  m_strides.rows = static_cast<int32_t>(rows);
  m_strides.row_bytes = static_cast<int32_t>(pitch);
  m_total = rows * pitch;  // both below 2^31: no overflow
  // A foreign buffer may stop right after the last row's pixels.
  const uint64_t tight = static_cast<uint64_t>((h - 1) * pitch + row_bytes);
  if (buffer_size != 0 && buffer_size == tight) m_total = static_cast<int64_t>(buffer_size);
  return true;
}

Status Array::InitRefCount() {
  std::shared_ptr<MemPool> pool = m_ctx != nullptr ? m_ctx->GetMemPool() : nullptr;
  void* block = pool != nullptr ? pool->Alloc(KILN_MEM_HEAP, sizeof(std::atomic<int32_t>), 0, KILN_ALLOC_PARAM)
                                : nullptr;
  if (block == nullptr) {
    KILN_RECORD(m_ctx, "KILN_ALLOC_PARAM failed");
    return kStatusFail;
  }
  m_ref_count = new (block) std::atomic<int32_t>(1);
  return kStatusOk;
}

void Array::ShareFrom(const Array& other) {
  m_ctx = other.m_ctx;
  m_elem_type = other.m_elem_type;
  m_array_type = other.m_array_type;
  m_sizes = other.m_sizes;
  m_strides = other.m_strides;
  m_total = other.m_total;
  m_ref_count = other.m_ref_count;
  m_buffer = other.m_buffer;
  if (m_ref_count != nullptr) m_ref_count->fetch_add(1, std::memory_order_relaxed);
}

void Array::TakeFrom(Array& other) {
  m_ctx = other.m_ctx;
  m_elem_type = other.m_elem_type;
  m_array_type = other.m_array_type;
  m_sizes = other.m_sizes;
  m_strides = other.m_strides;
  m_total = other.m_total;
  m_ref_count = other.m_ref_count;
  m_buffer = other.m_buffer;
  other.m_ref_count = nullptr;
  const ArrayType array_type = other.m_array_type;
  other.ResetFields();
  other.m_array_type = array_type;
}

void Array::ResetFields() {
  m_ctx = nullptr;
  m_elem_type = QX_INVALID;
  m_array_type = KILN_ARRAY_INVALID;
  m_sizes = Sizes();
  m_strides = Strides();
  m_total = 0;
  m_ref_count = nullptr;
  m_buffer = Buffer();
}

}  // namespace kiln
