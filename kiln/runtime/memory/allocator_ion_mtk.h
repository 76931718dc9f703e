// kiln::AllocatorIonMTK: DMA memory from MediaTek ION (libion_mtk.so + libion.so).
#ifndef KILN_RUNTIME_MEMORY_ALLOCATOR_ION_MTK_H_
#define KILN_RUNTIME_MEMORY_ALLOCATOR_ION_MTK_H_

#include <sys/types.h>

#include "kiln/runtime/memory/allocator.h"

namespace kiln {

// Owned by kiln::MemPool. Not locked itself (see Allocator).
// Available when every entry point of both libraries resolved and
// mt_ion_open gave a device descriptor.
class AllocatorIonMTK : public Allocator {
 public:
  static constexpr const char* kMtkLibrary = "libion_mtk.so";
  static constexpr const char* kIonLibrary = "libion.so";
  static constexpr int kDefaultAlignment = 4096;

  AllocatorIonMTK();
  ~AllocatorIonMTK() override;

  Buffer Alloc(size_t size, int alignment) override;
  Status Free(Buffer& buffer) override;
  Status CpuSyncStart(const Buffer& buffer) override;
  Status CpuSyncEnd(const Buffer& buffer) override;

 private:
  using IonHandle = int;
  using OpenFn = int (*)(const char*);
  using AllocMmFn = int (*)(int, size_t, size_t, unsigned int, IonHandle*);
  using MmapFn = void* (*)(int, void*, size_t, int, int, int, off_t);
  using ImportFn = int (*)(int, int, IonHandle*);
  using MunmapFn = int (*)(int, void*, size_t);
  using ShareCloseFn = int (*)(int, int);
  using CustomIoctlFn = int (*)(int, unsigned int, void*);
  using CloseFn = int (*)(int);
  using ShareFn = int (*)(int, IonHandle, int*);
  using FreeFn = int (*)(int, IonHandle);

  Status CacheSync(const Buffer& buffer, int sync_type);

  void* m_mtk_lib = nullptr;
  void* m_ion_lib = nullptr;
  int m_fd = -1;
  OpenFn m_open = nullptr;
  AllocMmFn m_alloc_mm = nullptr;
  MmapFn m_mmap = nullptr;
  ImportFn m_import = nullptr;
  MunmapFn m_munmap = nullptr;
  ShareCloseFn m_share_close = nullptr;
  CustomIoctlFn m_custom_ioctl = nullptr;
  CloseFn m_close = nullptr;
  ShareFn m_share = nullptr;
  FreeFn m_free = nullptr;
};

}  // namespace kiln

#endif  // KILN_RUNTIME_MEMORY_ALLOCATOR_ION_MTK_H_
