#include "kiln/runtime/memory/mem_pool.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "kiln/runtime/context/context.h"
#include "kiln/runtime/memory/allocator_dmabufheap.h"
#include "kiln/runtime/memory/allocator_heap.h"
#include "kiln/runtime/memory/allocator_ion_mtk.h"
#include "kiln/runtime/memory/allocator_ion_qualcomm.h"
#include "kiln/runtime/memory/allocator_memfd.h"

namespace kiln {

namespace {

// The device offers at most one of the three DMA mechanisms; try them in
// the order the devices are most likely to have them.
std::unique_ptr<Allocator> MakeDmaAllocator() {
  std::unique_ptr<Allocator> allocator(new AllocatorDMABufHeap());
  if (allocator->IsAvailable()) return allocator;
  allocator.reset(new AllocatorIonMTK());
  if (allocator->IsAvailable()) return allocator;
  allocator.reset(new AllocatorIonQualcomm());
  if (allocator->IsAvailable()) return allocator;
#if !defined(__ANDROID__)
  allocator.reset(new AllocatorMemfd());
  return allocator;
#else
  return nullptr;
#endif
}

float KiB(int64_t bytes) { return static_cast<float>(bytes) / 1024.0f; }
float MiB(int64_t bytes) { return static_cast<float>(bytes) / 1048576.0f; }

}  // namespace

MemPool::MemPool(Context* ctx) : m_ctx(ctx) {
  m_allocators[KILN_MEM_HEAP].reset(new AllocatorHeap());
  std::unique_ptr<Allocator> dma = MakeDmaAllocator();
  if (dma != nullptr) m_allocators[KILN_MEM_DMA] = std::move(dma);
}

MemPool::~MemPool() {
  std::lock_guard<std::mutex> lock(m_mutex);
  Report("***********************************************\n");
  Report("* Peak  Mem size: %.2f KB (%.4f MB)\n", KiB(m_peak), MiB(m_peak));
  Report("* Total Mem size: %.2f KB (%.4f MB)\n", KiB(m_current), MiB(m_current));
  if (!m_blocks.empty()) {
    Report("****************** Mem Leak *******************\n");
    Report("****************** Blk info *******************\n");
    int64_t leaked = 0;
    size_t k = 0;
    for (auto& entry : m_blocks) {
      Block& block = entry.second;
      Allocator* allocator = FindAllocator(block.buffer.type);
      Report("* blk [%zu] - %p\n", k, entry.first);
      Report("*   type: %s\n", allocator != nullptr ? allocator->GetName().c_str() : "");
      Report("*   size: %zu byte\n", static_cast<size_t>(block.buffer.size));
      Report("*   file: %s\n", block.file.c_str());
      Report("*   func: %s - %zu\n", block.function.c_str(), block.line);
      Report("*\n");
      leaked += static_cast<int64_t>(block.buffer.size);
      if (allocator != nullptr) allocator->Free(block.buffer);
      ++k;
    }
    Report("* total leak mem size: %.2f KB (%.4f MB)\n", KiB(leaked), MiB(leaked));
    m_blocks.clear();
  }
  m_allocators.clear();
}

void* MemPool::Alloc(uint32_t mem_type, size_t size, int alignment, const char* file, const char* function,
                     int line) {
  std::lock_guard<std::mutex> lock(m_mutex);
  Allocator* allocator = FindAllocator(mem_type);
  if (allocator == nullptr) return nullptr;
  Buffer buffer = allocator->Alloc(size, alignment);
  if (buffer.type == KILN_MEM_INVALID) return nullptr;
  m_current += static_cast<int64_t>(size);
  if (m_current > m_peak) m_peak = m_current;
  m_blocks[buffer.data] = Block{file != nullptr ? file : "", function != nullptr ? function : "",
                                static_cast<size_t>(line < 0 ? 0 : line), buffer};
  return buffer.data;
}

Status MemPool::Free(void* ptr) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_blocks.find(ptr);
  if (ptr == nullptr || it == m_blocks.end()) {
    KILN_RECORD(m_ctx, "Unrecorded memory information");
    return kStatusFail;
  }
  Allocator* allocator = FindAllocator(it->second.buffer.type);
  if (allocator == nullptr) {
    KILN_RECORD(m_ctx, "Unsupport Mem type for allocator");
    return kStatusFail;
  }
  m_current -= static_cast<int64_t>(it->second.buffer.size);
  allocator->Free(it->second.buffer);
  if (it->second.buffer.IsLive()) {
    KILN_RECORD(m_ctx, "buffer free failed");
    return kStatusOk;
  }
  m_blocks.erase(it);
  return kStatusOk;
}

Buffer MemPool::GetBuffer(void* ptr) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_blocks.find(ptr);
  if (ptr == nullptr || it == m_blocks.end()) return Buffer();
  return it->second.buffer;
}

Status MemPool::CpuSyncStart(void* ptr) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_blocks.find(ptr);
  if (ptr == nullptr || it == m_blocks.end()) return kStatusFail;
  Allocator* allocator = FindAllocator(it->second.buffer.type);
  return allocator != nullptr ? allocator->CpuSyncStart(it->second.buffer) : kStatusFail;
}

Status MemPool::CpuSyncEnd(void* ptr) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_blocks.find(ptr);
  if (ptr == nullptr || it == m_blocks.end()) return kStatusFail;
  Allocator* allocator = FindAllocator(it->second.buffer.type);
  return allocator != nullptr ? allocator->CpuSyncEnd(it->second.buffer) : kStatusFail;
}

bool MemPool::HasAllocator(uint32_t mem_type) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return FindAllocator(mem_type) != nullptr;
}

std::string MemPool::GetAllocatorName(uint32_t mem_type) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  Allocator* allocator = FindAllocator(mem_type);
  return allocator != nullptr ? allocator->GetName() : std::string();
}

int64_t MemPool::GetCurrentSize() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_current;
}

int64_t MemPool::GetPeakSize() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_peak;
}

size_t MemPool::GetBlockCount() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_blocks.size();
}

Allocator* MemPool::FindAllocator(uint32_t mem_type) const {
  auto it = m_allocators.find(mem_type);
  return it != m_allocators.end() ? it->second.get() : nullptr;
}

void MemPool::Report(const char* format, ...) const {
  // Source paths can be long: size the line to fit instead of cutting it.
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::vector<char> line(n > 0 ? static_cast<size_t>(n) + 1 : 1, '\0');
  if (n > 0) std::vsnprintf(line.data(), line.size(), format, again);
  va_end(again);
  const char* text = line.data();
  std::shared_ptr<Logger> logger = m_ctx != nullptr ? m_ctx->GetLogger() : nullptr;
  if (logger != nullptr) {
    logger->LogText(kKilnTag, kLogDebug, text);
  } else {
    PrintText(kKilnTag, kLogDebug, text);
  }
}

}  // namespace kiln
