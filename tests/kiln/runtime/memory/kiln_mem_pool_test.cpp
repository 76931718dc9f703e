// kiln::MemPool and its allocators on a machine without vendor libraries:
// heap alignment, statistics, leak report, the memfd allocator.
#include "kiln/runtime/memory/mem_pool.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "kiln/runtime/context/context.h"
#include "kiln/runtime/memory/allocator_heap.h"
#include "kiln/runtime/memory/allocator_memfd.h"

namespace {

constexpr int64_t kMiB = 1024 * 1024;

bool FdIsOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

kiln::ContextConfig ReportingConfig() {
  kiln::ContextConfig config;
  config.log_mode = kiln::kLogModeAndroid;
  config.log_level = 2;
  config.wp_name = "MEM";
  return config;
}

TEST(HeapAllocator, Alloc_AlignsDataAndKeepsTheRawPointerJustBelow) {
  kiln::AllocatorHeap heap;
  EXPECT_EQ(heap.GetType(), 1);
  EXPECT_EQ(heap.GetName(), "heap");
  for (const int alignment : {0, 1, 8, 16, 64, 100, 256, 4096}) {
    const size_t expected_align = alignment < 1 ? 64u : static_cast<size_t>(alignment);
    kiln::Buffer buffer = heap.Alloc(100, alignment);
    ASSERT_NE(buffer.data, nullptr) << alignment;
    const auto data = reinterpret_cast<uintptr_t>(buffer.data);
    EXPECT_EQ(data % expected_align, 0u) << "alignment " << alignment;
    uintptr_t raw = 0;
    std::memcpy(&raw, reinterpret_cast<const char*>(buffer.data) - 8, sizeof(raw));
    EXPECT_GE(data - raw, 8u) << "raw pointer must lie below its own slot";
    EXPECT_LT(data - raw, expected_align + 8u) << "first aligned address above raw + 8";
    EXPECT_EQ(buffer.type, kiln::KILN_MEM_HEAP);
    EXPECT_EQ(buffer.capacity, 100u);
    EXPECT_EQ(buffer.size, 100u);
    EXPECT_EQ(buffer.origin, buffer.data);
    EXPECT_EQ(buffer.property, 0u);
    const auto* bytes = static_cast<const unsigned char*>(buffer.data);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(bytes[i], 0) << "heap blocks start zeroed";
    std::memset(buffer.data, 0xAB, 100);
    EXPECT_EQ(heap.Free(buffer), 0);
    EXPECT_EQ(buffer.type, kiln::KILN_MEM_INVALID);
    EXPECT_EQ(buffer.data, nullptr);
  }
}

TEST(HeapAllocator, Free_RefusesRecordsItDidNotMake) {
  kiln::AllocatorHeap heap;
  kiln::Buffer dma;
  dma.type = kiln::KILN_MEM_DMA;
  int word = 0;
  dma.data = &word;
  EXPECT_EQ(heap.Free(dma), -1);
  kiln::Buffer empty;
  EXPECT_EQ(heap.Free(empty), -1);
  EXPECT_EQ(heap.CpuSyncStart(empty), 0);
  EXPECT_EQ(heap.CpuSyncEnd(empty), 0);
}

TEST(MemPoolBlocks, AllocAndFree_KeepRecordsOfLiveBlocksOnly) {
  kiln::ContextConfig config;
  config.log_mode = kiln::kLogModeNone;
  kiln::Context ctx(config);
  ASSERT_EQ(ctx.Initialize(), 0);
  kiln::MemPool& pool = *ctx.GetMemPool();
  void* a = pool.Alloc(kiln::KILN_MEM_HEAP, 300, 256, KILN_ALLOC_PARAM);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 256, 0u);
  const kiln::Buffer record = pool.GetBuffer(a);
  EXPECT_EQ(record.type, kiln::KILN_MEM_HEAP);
  EXPECT_EQ(record.size, 300u);
  EXPECT_EQ(record.data, a);
  EXPECT_EQ(pool.GetBuffer(nullptr).type, kiln::KILN_MEM_INVALID);
  int stranger = 0;
  EXPECT_EQ(pool.GetBuffer(&stranger).type, kiln::KILN_MEM_INVALID);

  EXPECT_EQ(pool.Alloc(7, 10, 0, KILN_ALLOC_PARAM), nullptr) << "type without allocator";
  EXPECT_EQ(pool.GetBlockCount(), 1u);
  EXPECT_EQ(ctx.GetLogger()->GetErrorCount(), 0u) << "a failed Alloc records nothing";

  EXPECT_EQ(pool.Free(&stranger), -1);
  EXPECT_EQ(pool.Free(nullptr), -1);
  const std::string history = ctx.GetLogger()->GetErrorBacktrace();
  EXPECT_NE(history.find("Free[") , std::string::npos) << history;
  EXPECT_NE(history.find("] : Unrecorded memory information\n"), std::string::npos) << history;
  EXPECT_EQ(ctx.GetLogger()->GetErrorCount(), 2u);

  EXPECT_EQ(pool.Free(a), 0);
  EXPECT_EQ(pool.GetBlockCount(), 0u);
  EXPECT_EQ(pool.GetBuffer(a).type, kiln::KILN_MEM_INVALID);
  EXPECT_EQ(pool.Free(a), -1) << "double free is caught";
}

TEST(MemPoolStatistics, Peak_IsTheLargestLiveTotalAndReportedAtDestruction) {
  testing::internal::CaptureStderr();
  {
    kiln::Context ctx(ReportingConfig());
    ASSERT_EQ(ctx.Initialize(), 0);
    kiln::MemPool& pool = *ctx.GetMemPool();
    void* one = KILN_MEM_ALLOC(&pool, kiln::KILN_MEM_HEAP, 1 * kMiB, 0);
    void* three = KILN_MEM_ALLOC(&pool, kiln::KILN_MEM_HEAP, 3 * kMiB, 0);
    ASSERT_NE(one, nullptr);
    ASSERT_NE(three, nullptr);
    EXPECT_EQ(pool.GetCurrentSize(), 4 * kMiB);
    EXPECT_EQ(pool.Free(one), 0);
    void* two = KILN_MEM_ALLOC(&pool, kiln::KILN_MEM_HEAP, 2 * kMiB, 0);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(pool.GetCurrentSize(), 5 * kMiB);
    EXPECT_EQ(pool.GetPeakSize(), 5 * kMiB);
    EXPECT_EQ(pool.Free(three), 0);
    EXPECT_EQ(pool.Free(two), 0);
    EXPECT_EQ(pool.GetCurrentSize(), 0);
    EXPECT_EQ(pool.GetPeakSize(), 5 * kMiB);
  }
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("D/kiln2.0: [kiln2.0] ***********************************************\n"
                     "D/kiln2.0: [kiln2.0] * Peak  Mem size: 5120.00 KB (5.0000 MB)\n"
                     "D/kiln2.0: [kiln2.0] * Total Mem size: 0.00 KB (0.0000 MB)\n"),
            std::string::npos)
      << err;
  EXPECT_EQ(err.find("Mem Leak"), std::string::npos) << "no leak, no leak section";
}

TEST(MemPoolStatistics, Totals_StayExactUnderConcurrentAllocAndFree) {
  kiln::MemPool pool(nullptr);
  constexpr int kThreads = 8;
  constexpr int kRounds = 400;
  std::atomic<int64_t> kept_bytes{0};
  std::vector<std::vector<void*>> kept(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::mt19937 rng(static_cast<unsigned>(t) * 7919u + 1u);
      std::vector<std::pair<void*, size_t>> live;
      for (int r = 0; r < kRounds; ++r) {
        const size_t size = 1 + rng() % 5000;
        const uint32_t type = (r % 5 == 0) ? kiln::KILN_MEM_DMA : kiln::KILN_MEM_HEAP;
        void* p = pool.Alloc(type, size, 0, KILN_ALLOC_PARAM);
        ASSERT_NE(p, nullptr);
        live.emplace_back(p, size);
        if (live.size() > 3) {
          const size_t pick = rng() % live.size();
          ASSERT_EQ(pool.Free(live[pick].first), 0);
          live.erase(live.begin() + static_cast<std::ptrdiff_t>(pick));
        }
      }
      for (const auto& block : live) {
        kept[t].push_back(block.first);
        kept_bytes += static_cast<int64_t>(block.second);
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(pool.GetCurrentSize(), kept_bytes.load());
  EXPECT_EQ(pool.GetBlockCount(), static_cast<size_t>(kThreads * 3));
  EXPECT_GE(pool.GetPeakSize(), kept_bytes.load());
  EXPECT_LE(pool.GetPeakSize(), static_cast<int64_t>(kThreads) * 4 * 5000) << "at most 4 live blocks per thread";
  for (const auto& list : kept) {
    for (void* p : list) EXPECT_EQ(pool.Free(p), 0);
  }
  EXPECT_EQ(pool.GetCurrentSize(), 0);
  EXPECT_EQ(pool.GetBlockCount(), 0u);
}

TEST(MemPoolLeaks, Destruction_ListsEveryLeakedBlockAndFreesIt) {
  int leaked_fd = -1;
  int line = 0;
  void* heap_block = nullptr;
  testing::internal::CaptureStderr();
  {
    kiln::Context ctx(ReportingConfig());
    ASSERT_EQ(ctx.Initialize(), 0);
    kiln::MemPool& pool = *ctx.GetMemPool();
    line = __LINE__ + 1;
    heap_block = pool.Alloc(kiln::KILN_MEM_HEAP, 1000, 0, __FILE__, "LeakyCaller", line);
    void* dma_block = pool.Alloc(kiln::KILN_MEM_DMA, 48, 0, __FILE__, "LeakyCaller", line + 1);
    ASSERT_NE(heap_block, nullptr);
    ASSERT_NE(dma_block, nullptr);
    leaked_fd = static_cast<int>(pool.GetBuffer(dma_block).property);
    ASSERT_TRUE(FdIsOpen(leaked_fd));
  }
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(FdIsOpen(leaked_fd)) << "the leaked DMA block was given back to its allocator";
  std::vector<std::string> lines;
  std::istringstream in(err);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  const std::string p = "D/kiln2.0: [kiln2.0] ";
  size_t k = 0;
  while (k < lines.size() && lines[k] != p + "* Total Mem size: 1.02 KB (0.0010 MB)") ++k;
  ASSERT_LT(k + 15, lines.size()) << err;
  EXPECT_EQ(lines[k + 1], p + "****************** Mem Leak *******************");
  EXPECT_EQ(lines[k + 2], p + "****************** Blk info *******************");
  for (size_t blk = 0; blk < 2; ++blk) {
    const size_t at = k + 3 + blk * 6;
    EXPECT_EQ(lines[at].rfind(p + "* blk [" + std::to_string(blk) + "] - 0x", 0), 0u) << lines[at];
    EXPECT_EQ(lines[at + 1].rfind(p + "*   type: ", 0), 0u) << lines[at + 1];
    EXPECT_EQ(lines[at + 2].rfind(p + "*   size: ", 0), 0u) << lines[at + 2];
    EXPECT_EQ(lines[at + 3], p + "*   file: " + __FILE__);
    EXPECT_EQ(lines[at + 4].rfind(p + "*   func: LeakyCaller - ", 0), 0u) << lines[at + 4];
    EXPECT_EQ(lines[at + 5], p + "*");
  }
  EXPECT_EQ(lines[k + 15], p + "* total leak mem size: 1.02 KB (0.0010 MB)");
  EXPECT_NE(err.find("*   type: heap\n"), std::string::npos);
  EXPECT_NE(err.find("*   type: memfd\n"), std::string::npos);
  EXPECT_NE(err.find("*   size: 1000 byte\n"), std::string::npos);
  EXPECT_NE(err.find("*   func: LeakyCaller - " + std::to_string(line) + "\n"), std::string::npos);
}

TEST(MemPoolLeaks, DestructionWithoutContext_ReportsStraightToTheAndroidLog) {
  testing::internal::CaptureStderr();
  {
    kiln::MemPool pool(nullptr);
    ASSERT_NE(KILN_MEM_ALLOC(&pool, kiln::KILN_MEM_HEAP, 2048, 0), nullptr);
  }
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("D/kiln2.0: * Peak  Mem size: 2.00 KB (0.0020 MB)\n"), std::string::npos) << err;
  EXPECT_NE(err.find("D/kiln2.0: * total leak mem size: 2.00 KB (0.0020 MB)\n"), std::string::npos) << err;
  EXPECT_NE(err.find("D/kiln2.0: *   func: TestBody - "), std::string::npos) << "KILN_MEM_ALLOC passes the caller";
}

TEST(MemfdAllocator, TypeTwo_IsBackedByARealSharedMemoryFile) {
  kiln::MemPool pool(nullptr);
  ASSERT_EQ(pool.GetAllocatorName(kiln::KILN_MEM_DMA), "memfd") << "no vendor DMA library on this machine";
  constexpr size_t kSize = 4096 + 5;
  auto* data = static_cast<unsigned char*>(pool.Alloc(kiln::KILN_MEM_DMA, kSize, 0, KILN_ALLOC_PARAM));
  ASSERT_NE(data, nullptr);
  const kiln::Buffer buffer = pool.GetBuffer(data);
  EXPECT_EQ(buffer.type, kiln::KILN_MEM_DMA);
  EXPECT_EQ(buffer.size, kSize);
  const int fd = static_cast<int>(buffer.property);
  ASSERT_TRUE(FdIsOpen(fd));
  struct stat st;
  ASSERT_EQ(fstat(fd, &st), 0);
  EXPECT_EQ(static_cast<size_t>(st.st_size), kSize);

  // A second mapping of the descriptor sees the same bytes, as a device
  // importing the DMA buffer would.
  for (size_t i = 0; i < kSize; ++i) data[i] = static_cast<unsigned char>(i ^ 0x5A);
  void* other = mmap(nullptr, kSize, PROT_READ, MAP_SHARED, fd, 0);
  ASSERT_NE(other, MAP_FAILED);
  EXPECT_EQ(std::memcmp(other, data, kSize), 0);
  munmap(other, kSize);

  EXPECT_EQ(pool.CpuSyncStart(data), 0);
  EXPECT_EQ(pool.CpuSyncEnd(data), 0);
  EXPECT_EQ(pool.Free(data), 0);
  EXPECT_FALSE(FdIsOpen(fd));
}

TEST(MemfdAllocator, Alloc_RefusesZeroSizeAndAlignmentsAbovePageSize) {
  kiln::AllocatorMemfd memfd;
  EXPECT_EQ(memfd.GetName(), "memfd");
  EXPECT_EQ(memfd.GetType(), 2);
  EXPECT_EQ(memfd.Alloc(0, 0).type, kiln::KILN_MEM_INVALID);
  const long page = sysconf(_SC_PAGESIZE);
  EXPECT_EQ(memfd.Alloc(100, static_cast<int>(page) * 2).type, kiln::KILN_MEM_INVALID);
  kiln::Buffer ok = memfd.Alloc(100, static_cast<int>(page));
  ASSERT_EQ(ok.type, kiln::KILN_MEM_DMA);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(ok.data) % static_cast<uintptr_t>(page), 0u);
  EXPECT_EQ(memfd.Free(ok), 0);
  EXPECT_EQ(ok.data, nullptr);
}

}  // namespace
