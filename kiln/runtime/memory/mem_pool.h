// kiln::MemPool: every block of runtime memory, by memory type, with the
// source location that asked for it.
#ifndef KILN_RUNTIME_MEMORY_MEM_POOL_H_
#define KILN_RUNTIME_MEMORY_MEM_POOL_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "kiln/runtime/context/status.h"
#include "kiln/runtime/memory/allocator.h"
#include "kiln/runtime/memory/buffer.h"

namespace kiln {

class Context;

// Owned by kiln::Context (shared); borrowed through Context::GetMemPool().
// Concurrency: Alloc, Free, GetBuffer, the statistics and the destructor may
// be called from any thread; each holds the pool mutex for its whole work,
// allocator call included, so blocks and totals always agree.
// Destruction logs the statistics and frees (and lists) every leaked block.
class MemPool {
 public:
  // Registers the heap allocator for type 1 and the first available of
  // DMA-BUF heap, MediaTek ION, Qualcomm ION for type 2 (on host builds the
  // memfd allocator when none is). ctx (may be null) is used for logging.
  explicit MemPool(Context* ctx);
  ~MemPool();
  MemPool(const MemPool&) = delete;
  MemPool& operator=(const MemPool&) = delete;

  // A new block of size bytes of mem_type (alignment < 1: the allocator's
  // default); null when the type has no allocator or the allocator fails.
  // file/function/line name the caller for the leak report: use
  // KILN_MEM_ALLOC or KILN_ALLOC_PARAM.
  void* Alloc(uint32_t mem_type, size_t size, int alignment, const char* file, const char* function, int line);
  // Returns a block obtained from Alloc. An unknown address records
  // "Unrecorded memory information" and returns -1.
  Status Free(void* ptr);
  // The record of a live block; an empty record for null or unknown addresses.
  Buffer GetBuffer(void* ptr) const;

  // Cache maintenance of a live block around CPU access (-1 when unknown).
  Status CpuSyncStart(void* ptr);
  Status CpuSyncEnd(void* ptr);

  bool HasAllocator(uint32_t mem_type) const;
  // The allocator's name ("heap", "DMABufHeap", "Mtk Ion", "Qcom Ion",
  // "memfd"), or "" when the type has none.
  std::string GetAllocatorName(uint32_t mem_type) const;

  int64_t GetCurrentSize() const;  // bytes in live blocks
  int64_t GetPeakSize() const;     // highest GetCurrentSize so far
  size_t GetBlockCount() const;    // live blocks

 private:
  struct Block {
    std::string file;
    std::string function;
    size_t line;
    Buffer buffer;
  };

  Allocator* FindAllocator(uint32_t mem_type) const;
  void Report(const char* format, ...) const __attribute__((format(printf, 2, 3)));

  Context* m_ctx;
  mutable std::mutex m_mutex;
  int64_t m_current = 0;
  int64_t m_peak = 0;
  std::map<void*, Block> m_blocks;
  std::map<uint32_t, std::unique_ptr<Allocator>> m_allocators;
};

}  // namespace kiln

// Caller location for MemPool::Alloc: pool->Alloc(type, size, align, KILN_ALLOC_PARAM).
#define KILN_ALLOC_PARAM __FILE__, __FUNCTION__, __LINE__

// pool->Alloc(mem_type, size, alignment) with the caller's location.
#define KILN_MEM_ALLOC(pool, mem_type, size, alignment) \
  (pool)->Alloc((mem_type), (size), (alignment), __FILE__, __FUNCTION__, __LINE__)

#endif  // KILN_RUNTIME_MEMORY_MEM_POOL_H_
