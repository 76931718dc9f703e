// kiln::AllocatorHeap: aligned blocks from the C heap (memory type 1).
#ifndef KILN_RUNTIME_MEMORY_ALLOCATOR_HEAP_H_
#define KILN_RUNTIME_MEMORY_ALLOCATOR_HEAP_H_

#include "kiln/runtime/memory/allocator.h"

namespace kiln {

// Owned by kiln::MemPool. Not locked itself (see Allocator).
// Each block is over-allocated by alignment + 8 bytes; the pointer calloc
// returned is stored in the 8 bytes just below the aligned data pointer.
class AllocatorHeap : public Allocator {
 public:
  static constexpr int kDefaultAlignment = 64;

  AllocatorHeap();

  Buffer Alloc(size_t size, int alignment) override;
  Status Free(Buffer& buffer) override;
  Status CpuSyncStart(const Buffer& buffer) override;
  Status CpuSyncEnd(const Buffer& buffer) override;
};

}  // namespace kiln

#endif  // KILN_RUNTIME_MEMORY_ALLOCATOR_HEAP_H_
