#include "kiln/runtime/memory/allocator_heap.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace kiln {

AllocatorHeap::AllocatorHeap() : Allocator(KILN_MEM_HEAP, "heap") { m_available = true; }

Buffer AllocatorHeap::Alloc(size_t size, int alignment) {
  const size_t align = static_cast<size_t>(alignment < 1 ? kDefaultAlignment : alignment);
  Buffer buffer;
  constexpr size_t kSlot = sizeof(void*);
  if (size > std::numeric_limits<size_t>::max() - align - kSlot) return buffer;
  void* raw = std::calloc(size + align + kSlot, 1);
  if (raw == nullptr) return buffer;
  // First multiple of the alignment at or above raw + 8, leaving room for the
  // raw pointer just below it.
  const uintptr_t low = reinterpret_cast<uintptr_t>(raw) + kSlot;
  const uintptr_t aligned = (low + align - 1) / align * align;
  void* data = reinterpret_cast<void*>(aligned);
  std::memcpy(reinterpret_cast<char*>(data) - kSlot, &raw, kSlot);
  buffer.type = KILN_MEM_HEAP;
  buffer.capacity = size;
  buffer.size = size;
  buffer.data = data;
  buffer.origin = data;
  buffer.property = 0;
  return buffer;
}

Status AllocatorHeap::Free(Buffer& buffer) {
  if (buffer.type != KILN_MEM_HEAP || buffer.data == nullptr) return kStatusFail;
  void* raw = nullptr;
  std::memcpy(&raw, static_cast<char*>(buffer.data) - sizeof(void*), sizeof(void*));
  std::free(raw);
  buffer = Buffer();
  return kStatusOk;
}

Status AllocatorHeap::CpuSyncStart(const Buffer&) { return kStatusOk; }

Status AllocatorHeap::CpuSyncEnd(const Buffer&) { return kStatusOk; }

}  // namespace kiln
