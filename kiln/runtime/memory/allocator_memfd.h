// kiln::AllocatorMemfd: shareable memory for memory type 2 off the device.
#ifndef KILN_RUNTIME_MEMORY_ALLOCATOR_MEMFD_H_
#define KILN_RUNTIME_MEMORY_ALLOCATOR_MEMFD_H_

#if !defined(__ANDROID__)

#include "kiln/runtime/memory/allocator.h"

namespace kiln {

// Owned by kiln::MemPool, which registers it for type 2 on host builds when
// none of the device allocators is available. Not locked itself.
// Each block is an anonymous memory file (memfd_create + ftruncate) mapped
// shared, so it has a real descriptor like a DMA-BUF; the descriptor is the
// buffer's property. Blocks are page aligned; larger alignments are refused.
class AllocatorMemfd : public Allocator {
 public:
  AllocatorMemfd();

  Buffer Alloc(size_t size, int alignment) override;
  Status Free(Buffer& buffer) override;
  Status CpuSyncStart(const Buffer& buffer) override;
  Status CpuSyncEnd(const Buffer& buffer) override;
};

}  // namespace kiln

#endif  // !__ANDROID__

#endif  // KILN_RUNTIME_MEMORY_ALLOCATOR_MEMFD_H_
