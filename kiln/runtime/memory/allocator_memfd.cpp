#include "kiln/runtime/memory/allocator_memfd.h"

#if !defined(__ANDROID__)

#include <sys/mman.h>
#include <unistd.h>

namespace kiln {

AllocatorMemfd::AllocatorMemfd() : Allocator(KILN_MEM_DMA, "memfd") { m_available = true; }

Buffer AllocatorMemfd::Alloc(size_t size, int alignment) {
  Buffer buffer;
  const long page = sysconf(_SC_PAGESIZE);
  if (size == 0 || (page > 0 && alignment > page)) return buffer;
  const int fd = memfd_create("kiln", MFD_CLOEXEC);
  if (fd < 0) return buffer;
  if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
    close(fd);
    return buffer;
  }
  void* addr = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (addr == MAP_FAILED) {
    close(fd);
    return buffer;
  }
  buffer.type = KILN_MEM_DMA;
  buffer.capacity = size;
  buffer.size = size;
  buffer.data = addr;
  buffer.origin = addr;
  buffer.property = static_cast<uint32_t>(fd);
  return buffer;
}

Status AllocatorMemfd::Free(Buffer& buffer) {
  if (buffer.type != KILN_MEM_DMA || buffer.data == nullptr) return kStatusFail;
  munmap(buffer.data, buffer.capacity);
  close(static_cast<int>(buffer.property));
  buffer = Buffer();
  return kStatusOk;
}

// Host memory is coherent: nothing to flush.
Status AllocatorMemfd::CpuSyncStart(const Buffer&) { return kStatusOk; }

Status AllocatorMemfd::CpuSyncEnd(const Buffer&) { return kStatusOk; }

}  // namespace kiln

#endif  // !__ANDROID__
