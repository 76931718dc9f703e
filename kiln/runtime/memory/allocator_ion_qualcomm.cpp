#include "kiln/runtime/memory/allocator_ion_qualcomm.h"

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include "kiln/runtime/memory/dl_symbol.h"

namespace kiln {

namespace {

constexpr unsigned int kSystemHeapMask = 0x2000000;  // ION_SYSTEM_HEAP_ID 25
constexpr unsigned int kCachedFlag = 1;

}  // namespace

AllocatorIonQualcomm::AllocatorIonQualcomm() : Allocator(KILN_MEM_DMA, "Qcom Ion") {
  m_lib = dlopen(kLibrary, RTLD_LAZY);
  if (m_lib == nullptr) return;
  const bool resolved = ResolveSymbol(m_lib, "ion_open", m_open) && ResolveSymbol(m_lib, "ion_close", m_close) &&
                        ResolveSymbol(m_lib, "ion_alloc_fd", m_alloc_fd);
  if (!resolved) return;
  m_fd = m_open();
  m_available = m_fd >= 0;
}

AllocatorIonQualcomm::~AllocatorIonQualcomm() {
  if (m_fd >= 0 && m_close != nullptr) m_close(m_fd);
  if (m_lib != nullptr) dlclose(m_lib);
}

Buffer AllocatorIonQualcomm::Alloc(size_t size, int alignment) {
  Buffer buffer;
  if (!m_available || size == 0) return buffer;
  const size_t align = static_cast<size_t>(alignment < 1 ? kDefaultAlignment : alignment);
  int share_fd = -1;
  if (m_alloc_fd(m_fd, size, align, kSystemHeapMask, kCachedFlag, &share_fd) != 0) return buffer;
  void* addr = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, share_fd, 0);
  if (addr == MAP_FAILED) {
    close(share_fd);
    return buffer;
  }
  buffer.type = KILN_MEM_DMA;
  buffer.capacity = size;
  buffer.size = size;
  buffer.data = addr;
  buffer.origin = addr;
  buffer.property = static_cast<uint32_t>(share_fd);
  return buffer;
}

Status AllocatorIonQualcomm::Free(Buffer& buffer) {
  if (buffer.type != KILN_MEM_DMA || buffer.data == nullptr) return kStatusFail;
  munmap(buffer.data, buffer.capacity);
  close(static_cast<int>(buffer.property));
  buffer = Buffer();
  return kStatusOk;
}

Status AllocatorIonQualcomm::CpuSyncStart(const Buffer&) { return kStatusOk; }

Status AllocatorIonQualcomm::CpuSyncEnd(const Buffer&) { return kStatusOk; }

}  // namespace kiln
