// kiln::AllocatorIonQualcomm: DMA memory from Qualcomm ION (libion.so).
#ifndef KILN_RUNTIME_MEMORY_ALLOCATOR_ION_QUALCOMM_H_
#define KILN_RUNTIME_MEMORY_ALLOCATOR_ION_QUALCOMM_H_

#include "kiln/runtime/memory/allocator.h"

namespace kiln {

// Owned by kiln::MemPool. Not locked itself (see Allocator).
// Available when the three entry points resolved and ion_open gave a
// device descriptor.
class AllocatorIonQualcomm : public Allocator {
 public:
  static constexpr const char* kLibrary = "libion.so";
  static constexpr int kDefaultAlignment = 4096;

  AllocatorIonQualcomm();
  ~AllocatorIonQualcomm() override;

  Buffer Alloc(size_t size, int alignment) override;
  Status Free(Buffer& buffer) override;
  Status CpuSyncStart(const Buffer& buffer) override;
  Status CpuSyncEnd(const Buffer& buffer) override;

 private:
  using OpenFn = int (*)();
  using CloseFn = int (*)(int);
  using AllocFdFn = int (*)(int, size_t, size_t, unsigned int, unsigned int, int*);

  void* m_lib = nullptr;
  int m_fd = -1;
  OpenFn m_open = nullptr;
  CloseFn m_close = nullptr;
  AllocFdFn m_alloc_fd = nullptr;
};

}  // namespace kiln

#endif  // KILN_RUNTIME_MEMORY_ALLOCATOR_ION_QUALCOMM_H_
