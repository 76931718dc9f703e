// The DMA-BUF heap allocator against a stand-in libdmabufheap.so found
// through LD_LIBRARY_PATH (see CMakeLists.txt beside this file).
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>

#include "fake_dmabufheap.h"
#include "kiln/runtime/memory/allocator_dmabufheap.h"
#include "kiln/runtime/memory/mem_pool.h"

namespace {

bool FdIsOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

class DmaBufHeapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Holding our own reference keeps the stand-in (and its state) loaded
    // across the pools each test builds and destroys.
    lib_ = dlopen("libdmabufheap.so", RTLD_NOW);
    ASSERT_NE(lib_, nullptr) << "stand-in not found: " << dlerror();
    auto get = reinterpret_cast<FakeDmabufHeapStateFn>(dlsym(lib_, "FakeDmabufHeapGetState"));
    ASSERT_NE(get, nullptr);
    state_ = get();
    std::memset(state_, 0, sizeof(*state_));
  }
  void TearDown() override {
    if (lib_ != nullptr) dlclose(lib_);
  }

  void* lib_ = nullptr;
  FakeDmabufHeapState* state_ = nullptr;
};

TEST_F(DmaBufHeapTest, Pool_RegistersTheHeapForTypeTwoAfterMappingTheSystemHeap) {
  {
    kiln::MemPool pool(nullptr);
    EXPECT_EQ(pool.GetAllocatorName(kiln::KILN_MEM_DMA), "DMABufHeap");
    EXPECT_EQ(state_->creates, 1);
    EXPECT_EQ(state_->maps, 1);
    EXPECT_STREQ(state_->map_heap, "system");
    EXPECT_STREQ(state_->map_ion_heap, "");
    EXPECT_EQ(state_->map_ion_flags, 0u);
    EXPECT_EQ(state_->map_legacy_mask, 0xFFFFFFFFu);
    EXPECT_EQ(state_->map_legacy_flags, 0u);
    EXPECT_EQ(state_->frees, 0);
  }
  EXPECT_EQ(state_->frees, 1) << "the library's allocator object is freed with the pool";
}

TEST_F(DmaBufHeapTest, Alloc_MapsTheHeapBufferSharedAndKeepsItsDescriptor) {
  kiln::MemPool pool(nullptr);
  auto* data = static_cast<unsigned char*>(pool.Alloc(kiln::KILN_MEM_DMA, 10000, 0, KILN_ALLOC_PARAM));
  ASSERT_NE(data, nullptr);
  EXPECT_STREQ(state_->alloc_heap, "system");
  EXPECT_EQ(state_->alloc_len, 10000u);
  EXPECT_EQ(state_->alloc_flags, 1u);
  EXPECT_EQ(state_->alloc_align, 4096u);

  const kiln::Buffer buffer = pool.GetBuffer(data);
  EXPECT_EQ(buffer.type, kiln::KILN_MEM_DMA);
  EXPECT_EQ(buffer.capacity, 10000u);
  EXPECT_EQ(buffer.size, 10000u);
  EXPECT_EQ(buffer.data, data);
  EXPECT_EQ(buffer.origin, data);
  const int fd = static_cast<int>(buffer.property);
  ASSERT_TRUE(FdIsOpen(fd));

  // The mapping is the buffer itself: what the CPU writes, the fd reads.
  for (int i = 0; i < 10000; ++i) data[i] = static_cast<unsigned char>(i * 7);
  unsigned char back[10000];
  ASSERT_EQ(pread(fd, back, sizeof(back), 0), static_cast<ssize_t>(sizeof(back)));
  EXPECT_EQ(std::memcmp(back, data, sizeof(back)), 0);

  EXPECT_EQ(pool.CpuSyncStart(data), 0);
  EXPECT_EQ(state_->sync_starts, 1);
  EXPECT_EQ(pool.CpuSyncEnd(data), 0);
  EXPECT_EQ(state_->sync_ends, 1);
  EXPECT_EQ(state_->last_sync_fd, buffer.property);
  EXPECT_EQ(state_->last_sync_type, 3);
  EXPECT_EQ(state_->last_sync_had_callback, 0);

  void* small = pool.Alloc(kiln::KILN_MEM_DMA, 64, 65536, KILN_ALLOC_PARAM);
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(state_->alloc_align, 65536u) << "an explicit alignment is passed through";

  EXPECT_EQ(pool.Free(data), 0);
  EXPECT_FALSE(FdIsOpen(fd)) << "Free closes the buffer's descriptor";
  EXPECT_EQ(pool.GetCurrentSize(), 64);
  EXPECT_EQ(pool.Free(small), 0);
}

TEST_F(DmaBufHeapTest, FailedHeapMapping_FreesTheLibraryAllocatorAndFallsBack) {
  state_->map_result = -1;
  kiln::AllocatorDMABufHeap allocator;
  EXPECT_FALSE(allocator.IsAvailable());
  EXPECT_EQ(state_->creates, 1);
  EXPECT_EQ(state_->frees, 1);
  kiln::MemPool pool(nullptr);
  EXPECT_EQ(pool.GetAllocatorName(kiln::KILN_MEM_DMA), "memfd") << "no ION library here either";
}

TEST_F(DmaBufHeapTest, FailedAllocAndSync_AreReported) {
  kiln::MemPool pool(nullptr);
  state_->fail_alloc = 1;
  EXPECT_EQ(pool.Alloc(kiln::KILN_MEM_DMA, 100, 0, KILN_ALLOC_PARAM), nullptr);
  EXPECT_EQ(pool.GetCurrentSize(), 0);
  EXPECT_EQ(pool.GetBlockCount(), 0u);
  state_->fail_alloc = 0;
  void* data = pool.Alloc(kiln::KILN_MEM_DMA, 100, 0, KILN_ALLOC_PARAM);
  ASSERT_NE(data, nullptr);
  state_->sync_result = 5;
  EXPECT_EQ(pool.CpuSyncStart(data), -1);
  EXPECT_EQ(pool.CpuSyncEnd(data), -1);
  EXPECT_EQ(pool.Free(data), 0);
}

TEST_F(DmaBufHeapTest, SyncOfNonDmaRecords_IsRefused) {
  kiln::AllocatorDMABufHeap allocator;
  ASSERT_TRUE(allocator.IsAvailable());
  kiln::Buffer heap_record;
  heap_record.type = kiln::KILN_MEM_HEAP;
  int dummy = 0;
  heap_record.data = &dummy;
  EXPECT_EQ(allocator.CpuSyncStart(heap_record), -1);
  EXPECT_EQ(allocator.CpuSyncEnd(kiln::Buffer()), -1);
  EXPECT_EQ(allocator.Free(heap_record), -1);
  EXPECT_EQ(state_->sync_starts + state_->sync_ends, 0);
}

}  // namespace
