#include "kiln/runtime/memory/allocator_ion_mtk.h"

#include <dlfcn.h>
#include <sys/mman.h>

#include "kiln/runtime/memory/dl_symbol.h"

namespace kiln {

namespace {

constexpr unsigned int kAllocFlags = 3;  // cached, cache-synced by us
constexpr unsigned int kCmdCacheSync = 0;
constexpr int kSyncStart = 1;
constexpr int kSyncEnd = 2;

// Cache-sync request handed to ion_custom_ioctl.
struct IonCacheSyncRequest {
  int handle;
  void* va;
  unsigned int size;
  int sync_type;
};

}  // namespace

AllocatorIonMTK::AllocatorIonMTK() : Allocator(KILN_MEM_DMA, "Mtk Ion") {
  m_mtk_lib = dlopen(kMtkLibrary, RTLD_LAZY);
  m_ion_lib = dlopen(kIonLibrary, RTLD_LAZY);
  if (m_mtk_lib == nullptr || m_ion_lib == nullptr) return;
  const bool resolved = ResolveSymbol(m_mtk_lib, "mt_ion_open", m_open) &&
                        ResolveSymbol(m_mtk_lib, "ion_alloc_mm", m_alloc_mm) &&
                        ResolveSymbol(m_mtk_lib, "ion_mmap", m_mmap) &&
                        ResolveSymbol(m_mtk_lib, "ion_import", m_import) &&
                        ResolveSymbol(m_mtk_lib, "ion_munmap", m_munmap) &&
                        ResolveSymbol(m_mtk_lib, "ion_share_close", m_share_close) &&
                        ResolveSymbol(m_mtk_lib, "ion_custom_ioctl", m_custom_ioctl) &&
                        ResolveSymbol(m_ion_lib, "ion_close", m_close) &&
                        ResolveSymbol(m_ion_lib, "ion_share", m_share) &&
                        ResolveSymbol(m_ion_lib, "ion_free", m_free);
  if (!resolved) return;
  m_fd = m_open("AllocatorIonMTK");
  m_available = m_fd >= 0;
}

AllocatorIonMTK::~AllocatorIonMTK() {
  if (m_fd >= 0 && m_close != nullptr) m_close(m_fd);
  if (m_mtk_lib != nullptr) dlclose(m_mtk_lib);
  if (m_ion_lib != nullptr) dlclose(m_ion_lib);
}

Buffer AllocatorIonMTK::Alloc(size_t size, int alignment) {
  Buffer buffer;
  if (!m_available || size == 0) return buffer;
  const size_t align = static_cast<size_t>(alignment < 1 ? kDefaultAlignment : alignment);
  IonHandle handle = 0;
  if (m_alloc_mm(m_fd, size, align, kAllocFlags, &handle) != 0) return buffer;
  int share_fd = -1;
  if (m_share(m_fd, handle, &share_fd) != 0) {
    m_free(m_fd, handle);
    return buffer;
  }
  void* addr = m_mmap(m_fd, nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, share_fd, 0);
  if (addr == nullptr || addr == MAP_FAILED) {
    m_share_close(m_fd, share_fd);
    m_free(m_fd, handle);
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

Status AllocatorIonMTK::Free(Buffer& buffer) {
  if (!m_available || buffer.type != KILN_MEM_DMA || buffer.data == nullptr) return kStatusFail;
  const int share_fd = static_cast<int>(buffer.property);
  IonHandle handle = 0;
  // Importing takes a second reference on the handle, hence the two frees.
  int ret = m_import(m_fd, share_fd, &handle);
  if (ret == 0) ret = m_free(m_fd, handle);
  if (ret == 0) ret = m_munmap(m_fd, buffer.data, buffer.capacity);
  if (ret == 0) ret = m_share_close(m_fd, share_fd);
  if (ret == 0) ret = m_free(m_fd, handle);
  if (ret != 0) return ret;
  buffer = Buffer();
  return kStatusOk;
}

Status AllocatorIonMTK::CacheSync(const Buffer& buffer, int sync_type) {
  if (!m_available || buffer.type != KILN_MEM_DMA || buffer.data == nullptr) return kStatusFail;
  IonHandle handle = 0;
  if (m_import(m_fd, static_cast<int>(buffer.property), &handle) != 0) return kStatusFail;
  IonCacheSyncRequest request{handle, buffer.data, static_cast<unsigned int>(buffer.size), sync_type};
  return m_custom_ioctl(m_fd, kCmdCacheSync, &request) != 0 ? kStatusFail : kStatusOk;
}

Status AllocatorIonMTK::CpuSyncStart(const Buffer& buffer) { return CacheSync(buffer, kSyncStart); }

Status AllocatorIonMTK::CpuSyncEnd(const Buffer& buffer) { return CacheSync(buffer, kSyncEnd); }

}  // namespace kiln
