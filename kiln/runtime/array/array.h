// kiln::Array: geometry, element type and buffer shared by kiln arrays.
#ifndef KILN_RUNTIME_ARRAY_ARRAY_H_
#define KILN_RUNTIME_ARRAY_ARRAY_H_

#include <atomic>
#include <cstdint>

#include "kiln/runtime/array/elem_type.h"
#include "kiln/runtime/array/geometry.h"
#include "kiln/runtime/context/status.h"
#include "kiln/runtime/memory/buffer.h"

namespace kiln {

class Context;

// Base of kiln::Mat. An array either shares pool memory with its copies
// through an atomic reference counter (the last Release returns the memory
// to the context's pool) or describes a foreign buffer it never frees.
// Owned by value by whoever declared it; the context is borrowed and must
// outlive every array made with it.
// Concurrency: one array object is not shared between threads, but copies of
// it may be made and released on different threads at the same time.
class Array {
 public:
  virtual ~Array();

  // Drops this array's share of the buffer (freeing it when this was the
  // last share of pool memory) and resets the array to the empty state.
  virtual void Release();
  // Context and types set, total > 0 and a live buffer record.
  virtual bool IsValid() const;

  Context* GetContext() const { return m_ctx; }
  ElemType GetElemType() const { return m_elem_type; }
  ArrayType GetArrayType() const { return m_array_type; }
  const Sizes& GetSizes() const { return m_sizes; }
  int32_t Height() const { return m_sizes.h; }
  int32_t Width() const { return m_sizes.w; }
  int32_t Channels() const { return m_sizes.c; }
  // Rows per plane and bytes per row.
  const Strides& GetStrides() const { return m_strides; }
  // Bytes from the start of one row to the start of the next.
  int32_t RowPitch() const { return m_strides.row_bytes; }
  // Bytes of pixel data in one row: width x channels x element size.
  int64_t RowBytes() const;
  int ElemSize() const { return ElemTypeSize(m_elem_type); }
  // Bytes the layout spans (a tightly cut last row counts only its pixels).
  int64_t GetTotal() const { return m_total; }
  const Buffer& GetBuffer() const { return m_buffer; }
  // The DMA-BUF / ION descriptor of DMA memory (buffer property), else -1.
  int GetFd() const;

  // First byte of the pixel data, and of row `row` (no bounds check).
  uint8_t* GetData() const { return static_cast<uint8_t*>(m_buffer.data); }
  uint8_t* GetRowData(int32_t row) const { return GetData() + static_cast<int64_t>(row) * m_strides.row_bytes; }
  template <typename T>
  T* Ptr(int32_t row = 0) const {
    return reinterpret_cast<T*>(GetRowData(row));
  }

  // Same element type, height, width and channels.
  bool SameShape(const Array& other) const;
  bool SameChannels(const Array& other) const { return m_sizes.c == other.m_sizes.c; }

  // Adds delta to the shared counter and returns the new count; 0 for arrays
  // without a counter (foreign buffers, empty arrays).
  int32_t AddRef(int32_t delta);
  // The current count, 0 without a counter.
  int32_t RefCount() const;

 protected:
  explicit Array(ArrayType array_type);

  // Computes strides and total from sizes and the requested strides; the
  // tight-last-row rule applies when buffer_size equals exactly
  // (h - 1) x pitch + row bytes. Returns false (total 0) for a geometry that
  // is empty, overflows or has no context.
  bool ComputeLayout(const Strides& strides, uint64_t buffer_size);
  // A fresh counter at 1 from the pool; records "KILN_ALLOC_PARAM failed".
  Status InitRefCount();
  // Takes every field of other and a share of its buffer (no validity check).
  void ShareFrom(const Array& other);
  // Takes every field of other and leaves it empty without touching counts.
  void TakeFrom(Array& other);
  // Resets every field to the default-built state (no freeing).
  void ResetFields();

  Context* m_ctx = nullptr;
  ElemType m_elem_type = QX_INVALID;
  ArrayType m_array_type = KILN_ARRAY_INVALID;
  Sizes m_sizes;
  Strides m_strides;
  int64_t m_total = 0;
  std::atomic<int32_t>* m_ref_count = nullptr;  // in a 4-byte pool block
  Buffer m_buffer;
};

}  // namespace kiln

#endif  // KILN_RUNTIME_ARRAY_ARRAY_H_
