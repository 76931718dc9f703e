// ThreadBuffer: one buffer per thread from the context's memory pool, its
// failure records, and its release.
#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "kiln/runtime/context/context.h"
#include "kiln/runtime/utils/thread_buffer.h"

namespace kiln {
namespace {

class ThreadBufferTest : public testing::Test {
 protected:
  void SetUp() override {
    ContextConfig config;
    config.log_mode = kLogModeNone;
    config.wp_name = "TBTEST";
    config.compute_threads = 3;
    ctx_ = std::make_unique<Context>(config);
    ASSERT_EQ(ctx_->Initialize(), 0);
    pool_ = ctx_->GetMemPool();
    base_blocks_ = pool_->GetBlockCount();
  }
  std::string Backtrace() const { return ctx_->GetLogger()->GetErrorBacktrace(); }

  std::unique_ptr<Context> ctx_;
  std::shared_ptr<MemPool> pool_;
  size_t base_blocks_ = 0;
};

TEST_F(ThreadBufferTest, GivesEachThreadItsOwnBufferAndReusesIt) {
  for (const uint32_t type : {KILN_MEM_HEAP, KILN_MEM_DMA}) {
    ThreadBuffer buffers(ctx_.get(), 1000, static_cast<int32_t>(type));
    const Buffer mine = buffers.GetThreadBuffer(pthread_self());
    ASSERT_NE(mine.data, nullptr) << "type " << type;
    EXPECT_EQ(mine.type, type);
    EXPECT_EQ(mine.size, 1000u);
    EXPECT_EQ(mine.capacity, 1000u);
    EXPECT_EQ(mine.origin, mine.data);
    EXPECT_EQ(pool_->GetBuffer(mine.data).type, type);
    std::memset(mine.data, 0x5a, 1000);  // the whole size is usable
    EXPECT_EQ(buffers.GetThreadBuffer(pthread_self()).data, mine.data);
    EXPECT_EQ(buffers.GetThreadData(), mine.data);

    void* other = nullptr;
    std::thread([&] { other = buffers.GetThreadData(); }).join();
    EXPECT_NE(other, nullptr);
    EXPECT_NE(other, mine.data);
    // Two threads: one block and one 64-byte node record each.
    EXPECT_EQ(pool_->GetBlockCount(), base_blocks_ + 4);
  }
  EXPECT_EQ(pool_->GetBlockCount(), base_blocks_);  // all returned on destruction
}

TEST_F(ThreadBufferTest, NodeRecordsComeFromDmaMemoryOfSixtyFourBytes) {
  ThreadBuffer buffers(ctx_.get(), 256, KILN_MEM_HEAP);
  const int64_t before = pool_->GetCurrentSize();
  ASSERT_NE(buffers.GetThreadData(), nullptr);
  EXPECT_EQ(pool_->GetCurrentSize() - before, 256 + 64);
}

TEST_F(ThreadBufferTest, ThreadIdZeroIsAnOrdinaryKey) {
  ThreadBuffer buffers(ctx_.get(), 64, KILN_MEM_HEAP);
  const Buffer zero = buffers.GetThreadBuffer(pthread_t{});
  ASSERT_NE(zero.data, nullptr);
  EXPECT_EQ(buffers.GetThreadBuffer(pthread_t{}).data, zero.data);
  EXPECT_NE(buffers.GetThreadData(), zero.data);
}

TEST_F(ThreadBufferTest, ConcurrentFirstUseCreatesExactlyOneBufferPerThread) {
  ThreadBuffer buffers(ctx_.get(), 128, KILN_MEM_HEAP);
  constexpr int kThreads = 8;
  std::vector<void*> first(kThreads, nullptr);
  std::atomic<int> unstable{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      first[t] = buffers.GetThreadData();
      // Writing our own bytes while others append must never disturb them.
      std::memset(first[t], t, 128);
      for (int rep = 0; rep < 200; ++rep) {
        if (buffers.GetThreadData() != first[t]) unstable.fetch_add(1);
      }
      if (static_cast<unsigned char*>(first[t])[127] != t) unstable.fetch_add(1);
    });
  }
  go = true;
  for (auto& th : threads) th.join();
  EXPECT_EQ(unstable.load(), 0);
  EXPECT_EQ(std::set<void*>(first.begin(), first.end()).size(), static_cast<size_t>(kThreads));
  EXPECT_EQ(std::set<void*>(first.begin(), first.end()).count(nullptr), 0u);
  EXPECT_EQ(pool_->GetBlockCount(), base_blocks_ + 2 * kThreads);
}

TEST_F(ThreadBufferTest, ServesParallelForParticipantsWithoutSharing) {
  ThreadBuffer buffers(ctx_.get(), 4096, KILN_MEM_HEAP);
  std::vector<int> sums(300, -1);
  const Status status = ctx_->GetWorkerpool()->ParallelFor(
      0, 300,
      [](ThreadBuffer* scratch, std::vector<int>* out, int i, int) -> Status {
        int* tmp = static_cast<int*>(scratch->GetThreadData());
        if (tmp == nullptr) return -1;
        // A shared buffer would let another row overwrite these values.
        for (int k = 0; k < 1024; ++k) tmp[k] = i + k;
        int sum = 0;
        for (int k = 0; k < 1024; ++k) sum += tmp[k] - k;
        (*out)[i] = sum / 1024;
        return 0;
      },
      &buffers, &sums);
  EXPECT_EQ(status, 0);
  for (int i = 0; i < 300; ++i) EXPECT_EQ(sums[i], i) << "row " << i;
}

TEST_F(ThreadBufferTest, FailuresGiveAnEmptyRecordAndARecordedReason) {
  {
    ThreadBuffer buffers(ctx_.get(), 0, KILN_MEM_HEAP);
    EXPECT_EQ(buffers.GetThreadBuffer(pthread_self()).type, KILN_MEM_INVALID);
    EXPECT_EQ(buffers.GetThreadData(), nullptr);
    EXPECT_NE(Backtrace().find("GetThreadBuffer["), std::string::npos);
    EXPECT_NE(Backtrace().find("] : buffer invalid."), std::string::npos) << Backtrace();
  }
  ctx_->GetLogger()->ClearError();
  {
    ThreadBuffer negative(ctx_.get(), -16, KILN_MEM_HEAP);
    EXPECT_EQ(negative.GetThreadData(), nullptr);
    EXPECT_NE(Backtrace().find("buffer invalid."), std::string::npos) << Backtrace();
  }
  ctx_->GetLogger()->ClearError();
  for (const int32_t type : {0, 7}) {
    ThreadBuffer buffers(ctx_.get(), 64, type);
    EXPECT_EQ(buffers.GetThreadBuffer(pthread_self()).data, nullptr) << "type " << type;
    EXPECT_NE(Backtrace().find("ThreadBuffer allocate memory failed."), std::string::npos) << Backtrace();
    ctx_->GetLogger()->ClearError();
  }
  EXPECT_EQ(pool_->GetBlockCount(), base_blocks_);  // nothing half-built is left behind
}

TEST(ThreadBufferWithoutContext, ReturnsEmptyRecords) {
  ThreadBuffer buffers(nullptr, 64, KILN_MEM_HEAP);
  EXPECT_EQ(buffers.GetThreadBuffer(pthread_self()).type, KILN_MEM_INVALID);
  EXPECT_EQ(buffers.GetThreadData(), nullptr);
}

}  // namespace
}  // namespace kiln
