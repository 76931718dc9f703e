// A stand-in libdmabufheap.so: dma-buf heap buffers are memory files here.
#include "fake_dmabufheap.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

FakeDmabufHeapState g_state{};
int g_allocator_object = 0;

void CopyName(char* dst, const char* src) {
  std::strncpy(dst, src != nullptr ? src : "(null)", 31);
  dst[31] = '\0';
}

}  // namespace

FAKE_EXPORT FakeDmabufHeapState* FakeDmabufHeapGetState() { return &g_state; }

FAKE_EXPORT void* CreateDmabufHeapBufferAllocator() {
  ++g_state.creates;
  return &g_allocator_object;
}

FAKE_EXPORT void FreeDmabufHeapBufferAllocator(void* allocator) {
  if (allocator == &g_allocator_object) ++g_state.frees;
}

FAKE_EXPORT int MapDmabufHeapNameToIonHeap(void* allocator, const char* heap_name, const char* ion_heap_name,
                                          unsigned int ion_heap_flags, unsigned int legacy_ion_heap_mask,
                                          unsigned int legacy_ion_heap_flags) {
  if (allocator != &g_allocator_object) return -22;
  ++g_state.maps;
  CopyName(g_state.map_heap, heap_name);
  CopyName(g_state.map_ion_heap, ion_heap_name);
  g_state.map_ion_flags = ion_heap_flags;
  g_state.map_legacy_mask = legacy_ion_heap_mask;
  g_state.map_legacy_flags = legacy_ion_heap_flags;
  return g_state.map_result;
}

FAKE_EXPORT int DmabufHeapAlloc(void* allocator, const char* heap_name, size_t len, unsigned int heap_flags,
                               size_t legacy_align) {
  if (allocator != &g_allocator_object) return -22;
  ++g_state.allocs;
  CopyName(g_state.alloc_heap, heap_name);
  g_state.alloc_len = len;
  g_state.alloc_flags = heap_flags;
  g_state.alloc_align = legacy_align;
  if (g_state.fail_alloc) return -12;
  const int fd = memfd_create("fake-dmabuf", MFD_CLOEXEC);
  if (fd < 0) return -12;
  if (ftruncate(fd, static_cast<off_t>(len)) != 0) {
    close(fd);
    return -12;
  }
  return fd;
}

FAKE_EXPORT int DmabufHeapCpuSyncStart(void* allocator, unsigned int dmabuf_fd, int sync_type,
                                      int (*legacy_ion_cpu_sync)(int, int, void*), void* legacy_ion_custom_data) {
  if (allocator != &g_allocator_object) return -22;
  ++g_state.sync_starts;
  g_state.last_sync_fd = dmabuf_fd;
  g_state.last_sync_type = sync_type;
  g_state.last_sync_had_callback = legacy_ion_cpu_sync != nullptr || legacy_ion_custom_data != nullptr;
  return g_state.sync_result;
}

FAKE_EXPORT int DmabufHeapCpuSyncEnd(void* allocator, unsigned int dmabuf_fd, int sync_type,
                                    int (*legacy_ion_cpu_sync)(int, int, void*), void* legacy_ion_custom_data) {
  if (allocator != &g_allocator_object) return -22;
  ++g_state.sync_ends;
  g_state.last_sync_fd = dmabuf_fd;
  g_state.last_sync_type = sync_type;
  g_state.last_sync_had_callback = legacy_ion_cpu_sync != nullptr || legacy_ion_custom_data != nullptr;
  return g_state.sync_result;
}
