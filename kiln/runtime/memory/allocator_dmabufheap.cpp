#include "kiln/runtime/memory/allocator_dmabufheap.h"

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include "kiln/runtime/memory/dl_symbol.h"

namespace kiln {

namespace {

constexpr int kSyncReadWrite = 3;

}  // namespace

AllocatorDMABufHeap::AllocatorDMABufHeap() : Allocator(KILN_MEM_DMA, "DMABufHeap") {
  m_lib = dlopen(kLibrary, RTLD_LAZY);
  if (m_lib == nullptr) return;
  const bool resolved = ResolveSymbol(m_lib, "CreateDmabufHeapBufferAllocator", m_create) &&
                        ResolveSymbol(m_lib, "FreeDmabufHeapBufferAllocator", m_free_allocator) &&
                        ResolveSymbol(m_lib, "DmabufHeapAlloc", m_alloc) &&
                        ResolveSymbol(m_lib, "MapDmabufHeapNameToIonHeap", m_map_name) &&
                        ResolveSymbol(m_lib, "DmabufHeapCpuSyncStart", m_sync_start) &&
                        ResolveSymbol(m_lib, "DmabufHeapCpuSyncEnd", m_sync_end);
  if (!resolved) return;
  m_allocator = m_create();
  if (m_allocator == nullptr) return;
  // Devices still on ION need the heap name mapped; dma-buf heaps accept it.
  if (m_map_name(m_allocator, kHeapName, "", 0, 0xFFFFFFFFu, 0) < 0) {
    m_free_allocator(m_allocator);
    m_allocator = nullptr;
    return;
  }
  m_available = true;
}

AllocatorDMABufHeap::~AllocatorDMABufHeap() {
  if (m_allocator != nullptr && m_free_allocator != nullptr) m_free_allocator(m_allocator);
  if (m_lib != nullptr) dlclose(m_lib);
}

Buffer AllocatorDMABufHeap::Alloc(size_t size, int alignment) {
  Buffer buffer;
  if (!m_available || size == 0) return buffer;
  const size_t align = static_cast<size_t>(alignment < 1 ? kDefaultAlignment : alignment);
  const int fd = m_alloc(m_allocator, kHeapName, size, 1, align);
  if (fd < 0) return buffer;
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

Status AllocatorDMABufHeap::Free(Buffer& buffer) {
  if (buffer.type != KILN_MEM_DMA || buffer.data == nullptr) return kStatusFail;
  munmap(buffer.data, buffer.capacity);
  close(static_cast<int>(buffer.property));
  buffer = Buffer();
  return kStatusOk;
}

Status AllocatorDMABufHeap::CpuSyncStart(const Buffer& buffer) {
  if (!m_available || buffer.type != KILN_MEM_DMA || buffer.data == nullptr) return kStatusFail;
  return m_sync_start(m_allocator, buffer.property, kSyncReadWrite, nullptr, nullptr) != 0 ? kStatusFail
                                                                                              : kStatusOk;
}

Status AllocatorDMABufHeap::CpuSyncEnd(const Buffer& buffer) {
  if (!m_available || buffer.type != KILN_MEM_DMA || buffer.data == nullptr) return kStatusFail;
  return m_sync_end(m_allocator, buffer.property, kSyncReadWrite, nullptr, nullptr) != 0 ? kStatusFail
                                                                                            : kStatusOk;
}

}  // namespace kiln
