// kiln::AllocatorDMABufHeap: DMA memory from Android's libdmabufheap.so.
#ifndef KILN_RUNTIME_MEMORY_ALLOCATOR_DMABUFHEAP_H_
#define KILN_RUNTIME_MEMORY_ALLOCATOR_DMABUFHEAP_H_

#include "kiln/runtime/memory/allocator.h"

namespace kiln {

// Owned by kiln::MemPool. Not locked itself (see Allocator).
// The library is loaded at construction and unloaded at destruction; the
// allocator is available only when every entry point resolved, the library's
// allocator object was created and the "system" heap mapping succeeded.
class AllocatorDMABufHeap : public Allocator {
 public:
  static constexpr const char* kLibrary = "libdmabufheap.so";
  static constexpr const char* kHeapName = "system";
  static constexpr int kDefaultAlignment = 4096;

  AllocatorDMABufHeap();
  ~AllocatorDMABufHeap() override;

  Buffer Alloc(size_t size, int alignment) override;
  Status Free(Buffer& buffer) override;
  Status CpuSyncStart(const Buffer& buffer) override;
  Status CpuSyncEnd(const Buffer& buffer) override;

 private:
  // The library's C interface (BufferAllocatorWrapper.h).
  using LegacyIonCpuSync = int (*)(int, int, void*);
  using CreateFn = void* (*)();
  using FreeAllocatorFn = void (*)(void*);
  using AllocFn = int (*)(void*, const char*, size_t, unsigned int, size_t);
  using MapNameFn = int (*)(void*, const char*, const char*, unsigned int, unsigned int, unsigned int);
  using SyncFn = int (*)(void*, unsigned int, int, LegacyIonCpuSync, void*);

  void* m_lib = nullptr;
  void* m_allocator = nullptr;
  CreateFn m_create = nullptr;
  FreeAllocatorFn m_free_allocator = nullptr;
  AllocFn m_alloc = nullptr;
  MapNameFn m_map_name = nullptr;
  SyncFn m_sync_start = nullptr;
  SyncFn m_sync_end = nullptr;
};

}  // namespace kiln

#endif  // KILN_RUNTIME_MEMORY_ALLOCATOR_DMABUFHEAP_H_
