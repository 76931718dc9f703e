// ParallelFor: index coverage under stealing, chunking, status rules, and
// the callers it must serve (no compute threads, async tasks, nesting).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "kiln/runtime/context/context.h"
#include "kiln/runtime/worker_pool/worker_pool.h"

namespace kiln {
namespace {

using std::chrono::seconds;

// Generous: only a hang should ever reach it.
constexpr auto kHangLimit = seconds(60);

// Releases its waiters once `count` threads have arrived, or after the hang
// limit (reporting false) so a broken pool fails instead of hanging.
class Rendezvous {
 public:
  explicit Rendezvous(int count) : count_(count) {}
  bool Arrive() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (++arrived_ >= count_) cv_.notify_all();
    return cv_.wait_for(lock, kHangLimit, [this] { return arrived_ >= count_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  int count_;
  int arrived_ = 0;
};

// Records (first index, thread) for each thread's first call.
struct FirstCalls {
  std::mutex mutex;
  std::set<std::thread::id> threads;
  std::set<int> first_indices;
  bool Note(int i) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!threads.insert(std::this_thread::get_id()).second) return false;
    first_indices.insert(i);
    return true;
  }
};

TEST(WorkerPoolQueueRange, SplitsRangeIntoCeilingChunksWithTrailingEmptyQueues) {
  const std::vector<std::pair<int, int>> ten = {{0, 2}, {2, 4}, {4, 6}, {6, 8}, {8, 10}};
  for (int k = 0; k < 5; ++k) {
    const WorkerPool::IndexRange r = WorkerPool::QueueRange(0, 10, 4, k);
    EXPECT_EQ(r.begin, ten[k].first) << "queue " << k;
    EXPECT_EQ(r.end, ten[k].second) << "queue " << k;
  }
  const std::vector<std::pair<int, int>> three = {{0, 1}, {1, 2}, {2, 3}, {3, 3}, {3, 3}};
  for (int k = 0; k < 5; ++k) {
    const WorkerPool::IndexRange r = WorkerPool::QueueRange(0, 3, 4, k);
    EXPECT_EQ(r.begin, three[k].first) << "queue " << k;
    EXPECT_EQ(r.end, three[k].second) << "queue " << k;
  }
  // Offsets follow begin, also below zero; 0 threads puts everything in one queue.
  EXPECT_EQ(WorkerPool::QueueRange(-7, 4, 1, 1).begin, -1);
  EXPECT_EQ(WorkerPool::QueueRange(-7, 4, 1, 1).end, 4);
  EXPECT_EQ(WorkerPool::QueueRange(3, 9, 0, 0).begin, 3);
  EXPECT_EQ(WorkerPool::QueueRange(3, 9, 0, 0).end, 9);
}

TEST(WorkerPoolCombineStatus, MinusOneWinsOverMinusTwoWhichWinsOverSuccess) {
  EXPECT_EQ(WorkerPool::CombineStatus(0, 0), 0);
  EXPECT_EQ(WorkerPool::CombineStatus(0, -2), -2);
  EXPECT_EQ(WorkerPool::CombineStatus(-2, -1), -1);
  EXPECT_EQ(WorkerPool::CombineStatus(-1, -2), -1);
  EXPECT_EQ(WorkerPool::CombineStatus(-2, 0), -2);
  EXPECT_EQ(WorkerPool::CombineStatus(0, 5), 0);  // unknown codes are not failures
  EXPECT_EQ(WorkerPool::CombineStatus(-1, 0), -1);
}

TEST(WorkerPoolParallelFor, CallsEveryIndexExactlyOnceUnderHeavyStealing) {
  WorkerPool pool(nullptr, "PFTEST", CpuAffinity::kAll, CpuAffinity::kAll, 4, 0);
  std::mt19937 rng(12345);
  std::vector<std::atomic<int>> calls(700);
  std::atomic<int> bad_pairs{0};
  for (int rep = 0; rep < 3000; ++rep) {
    const int begin = static_cast<int>(rng() % 101) - 50;
    const int count = 2 + static_cast<int>(rng() % 600);
    const int heavy = 1 + static_cast<int>(rng() % 13);  // which indices are slow
    for (auto& c : calls) c.store(0);
    const Status status = pool.ParallelFor(begin, begin + count, [&](int i, int j) -> Status {
      if (j != i + 1) bad_pairs.fetch_add(1);
      // Uneven work makes fast participants run dry and steal.
      if ((i - begin) % heavy == 0) {
        volatile int sink = 0;
        for (int s = 0; s < 3000; ++s) sink = sink + s;
      }
      calls[i - begin].fetch_add(1);
      return 0;
    });
    ASSERT_EQ(status, 0) << "rep " << rep;
    for (int k = 0; k < count; ++k) {
      ASSERT_EQ(calls[k].load(), 1) << "rep " << rep << " index " << begin + k;
    }
    for (int k = count; k < static_cast<int>(calls.size()); ++k) ASSERT_EQ(calls[k].load(), 0);
  }
  EXPECT_EQ(bad_pairs.load(), 0);
}

TEST(WorkerPoolParallelFor, EachParticipantStartsAtItsOwnChunk) {
  {
    // 0..10 over 4 threads + caller: chunk 2, so the five first calls are 0, 2, 4, 6, 8.
    WorkerPool pool(nullptr, "PFTEST", CpuAffinity::kAll, CpuAffinity::kAll, 4, 0);
    Rendezvous all_started(5);
    FirstCalls first;
    std::atomic<bool> timed_out{false};
    const Status status = pool.ParallelFor(0, 10, [&](int i, int) -> Status {
      // Nobody finishes a call before all five hold one, so nobody steals early.
      if (first.Note(i) && !all_started.Arrive()) timed_out = true;
      return 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(timed_out.load());
    EXPECT_EQ(first.first_indices, (std::set<int>{0, 2, 4, 6, 8}));
  }
  {
    // 0..3 over 2 threads + caller: chunk 1, one index each.
    WorkerPool pool(nullptr, "PFTEST", CpuAffinity::kAll, CpuAffinity::kAll, 2, 0);
    Rendezvous all_started(3);
    FirstCalls first;
    std::atomic<bool> timed_out{false};
    EXPECT_EQ(pool.ParallelFor(0, 3, [&](int i, int) -> Status {
      if (first.Note(i) && !all_started.Arrive()) timed_out = true;
      return 0;
    }), 0);
    EXPECT_FALSE(timed_out.load());
    EXPECT_EQ(first.threads.size(), 3u);
    EXPECT_EQ(first.first_indices, (std::set<int>{0, 1, 2}));
  }
}

TEST(WorkerPoolParallelFor, RejectsEmptyAndReversedRangesWithoutCalling) {
  WorkerPool pool(nullptr, "PFTEST", CpuAffinity::kAll, CpuAffinity::kAll, 2, 0);
  std::atomic<int> calls{0};
  auto count = [&](int, int) -> Status {
    calls.fetch_add(1);
    return 0;
  };
  EXPECT_EQ(pool.ParallelFor(5, 5, count), -1);
  EXPECT_EQ(pool.ParallelFor(6, 5, count), -1);
  EXPECT_EQ(pool.ParallelFor(0, (1 << 30) + 1, count), -1);
  EXPECT_EQ(calls.load(), 0);
}

TEST(WorkerPoolParallelFor, SingleIndexRunsOnCallingThreadAndReturnsItsStatus) {
  WorkerPool pool(nullptr, "PFTEST", CpuAffinity::kAll, CpuAffinity::kAll, 2, 0);
  std::vector<std::pair<int, int>> seen;
  std::thread::id ran_on;
  EXPECT_EQ(pool.ParallelFor(5, 6, [&](int i, int j) -> Status {
    seen.emplace_back(i, j);
    ran_on = std::this_thread::get_id();
    return -2;
  }), -2);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], std::make_pair(5, 6));
  EXPECT_EQ(ran_on, std::this_thread::get_id());
}

TEST(WorkerPoolParallelFor, AnyFailingIndexFailsTheLoopButAllIndicesStillRun) {
  WorkerPool pool(nullptr, "PFTEST", CpuAffinity::kAll, CpuAffinity::kAll, 3, 0);
  for (const std::vector<int>& failing : {std::vector<int>{7}, std::vector<int>{3, 4}, std::vector<int>{50}}) {
    std::vector<std::atomic<int>> calls(64);
    const Status status = pool.ParallelFor(0, 64, [&](int i, int) -> Status {
      calls[i].fetch_add(1);
      if (i == failing[0]) return -2;
      if (failing.size() > 1 && i == failing[1]) return -1;
      return 0;
    });
    EXPECT_EQ(status, -1) << "first failing index " << failing[0];
    for (int i = 0; i < 64; ++i) EXPECT_EQ(calls[i].load(), 1) << "index " << i;
  }
  // Codes other than -1 and -2 are not failures.
  EXPECT_EQ(pool.ParallelFor(0, 16, [](int, int) -> Status { return 3; }), 0);
}

TEST(WorkerPoolParallelFor, ThrowingFunctionFailsTheLoopInsteadOfCrashing) {
  WorkerPool pool(nullptr, "PFTEST", CpuAffinity::kAll, CpuAffinity::kAll, 2, 0);
  std::atomic<int> calls{0};
  EXPECT_EQ(pool.ParallelFor(0, 40, [&](int i, int) -> Status {
    calls.fetch_add(1);
    if (i == 11) throw std::runtime_error("row 11");
    return 0;
  }), -1);
  EXPECT_EQ(calls.load(), 40);
}

TEST(WorkerPoolParallelFor, PassesArgumentsBeforeTheIndexPair) {
  WorkerPool pool(nullptr, "PFTEST", CpuAffinity::kAll, CpuAffinity::kAll, 2, 0);
  std::vector<int> out(30, 0);
  const int scale = 3;
  auto row = [](std::vector<int>* dst, int factor, int i, int j) -> Status {
    for (int r = i; r < j; ++r) (*dst)[r] = r * factor;
    return 0;
  };
  ASSERT_EQ(pool.ParallelFor(0, 30, row, &out, scale), 0);
  for (int r = 0; r < 30; ++r) EXPECT_EQ(out[r], 3 * r);
}

TEST(WorkerPoolParallelFor, WithoutComputeThreadsRunsEverythingOnCallingThread) {
  WorkerPool pool(nullptr, "PFTEST", CpuAffinity::kAll, CpuAffinity::kAll, 0, 0);
  std::vector<int> calls(25, 0);  // plain ints: only this thread may touch them
  std::set<std::thread::id> threads;
  testing::internal::CaptureStderr();
  const Status status = pool.ParallelFor(0, 25, [&](int i, int) -> Status {
    ++calls[i];
    threads.insert(std::this_thread::get_id());
    return 0;
  });
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 0);
  EXPECT_EQ(calls, std::vector<int>(25, 1));
  EXPECT_EQ(threads, std::set<std::thread::id>{std::this_thread::get_id()});
  EXPECT_NE(log.find("No compute threads available, ParallelFor will be executed only by current thread"),
            std::string::npos)
      << log;
}

TEST(WorkerPoolParallelFor, CompletesWhenStartedFromAsyncTask) {
  WorkerPool pool(nullptr, "PFTEST", CpuAffinity::kAll, CpuAffinity::kAll, 2, 1);
  std::vector<std::atomic<int>> calls(200);
  std::future<Status> result = pool.AddTask(WorkerPool::kAsync, [&] {
    return pool.ParallelFor(0, 200, [&](int i, int) -> Status {
      calls[i].fetch_add(1);
      return 0;
    });
  });
  ASSERT_EQ(result.wait_for(kHangLimit), std::future_status::ready);
  EXPECT_EQ(result.get(), 0);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(calls[i].load(), 1) << "index " << i;
}

TEST(WorkerPoolParallelFor, CompletesWhenNestedInsideParallelFor) {
  WorkerPool pool(nullptr, "PFTEST", CpuAffinity::kAll, CpuAffinity::kAll, 3, 0);
  std::vector<std::atomic<int>> cells(20 * 30);
  const Status status = pool.ParallelFor(0, 20, [&](int row, int) -> Status {
    return pool.ParallelFor(0, 30, [&](int col, int) -> Status {
      cells[row * 30 + col].fetch_add(1);
      return 0;
    });
  });
  EXPECT_EQ(status, 0);
  for (size_t c = 0; c < cells.size(); ++c) EXPECT_EQ(cells[c].load(), 1) << "cell " << c;
}

TEST(WorkerPoolParallelFor, ServesSeveralCallingThreadsAtOnce) {
  WorkerPool pool(nullptr, "PFTEST", CpuAffinity::kAll, CpuAffinity::kAll, 2, 0);
  constexpr int kCallers = 4;
  std::vector<std::vector<std::atomic<int>>> calls(kCallers);
  for (auto& c : calls) c = std::vector<std::atomic<int>>(97);
  std::atomic<int> failures{0};
  std::vector<std::thread> callers;
  for (int t = 0; t < kCallers; ++t) {
    callers.emplace_back([&, t] {
      for (int rep = 0; rep < 200; ++rep) {
        if (pool.ParallelFor(0, 97, [&](int i, int) -> Status {
              calls[t][i].fetch_add(1);
              return 0;
            }) != 0) {
          failures.fetch_add(1);
        }
      }
    });
  }
  for (auto& c : callers) c.join();
  EXPECT_EQ(failures.load(), 0);
  for (int t = 0; t < kCallers; ++t) {
    for (int i = 0; i < 97; ++i) EXPECT_EQ(calls[t][i].load(), 200) << "caller " << t << " index " << i;
  }
}

TEST(WorkerPoolParallelFor, FailsWithoutCallingAfterStop) {
  WorkerPool pool(nullptr, "PFTEST", CpuAffinity::kAll, CpuAffinity::kAll, 2, 0);
  pool.Stop();
  std::atomic<int> calls{0};
  EXPECT_EQ(pool.ParallelFor(0, 50, [&](int, int) -> Status {
    calls.fetch_add(1);
    return 0;
  }), -1);
  EXPECT_EQ(calls.load(), 0);
}

TEST(WorkerPoolParallelForWithContext, RecordsInvalidRangeAndTaskFailedInErrorHistory) {
  ContextConfig config;
  config.log_mode = kLogModeNone;
  config.wp_name = "PFCTX";
  config.compute_threads = 2;
  Context ctx(config);
  ASSERT_EQ(ctx.Initialize(), 0);
  const std::shared_ptr<WorkerPool> pool = ctx.GetWorkerpool();
  const std::shared_ptr<Logger> logger = ctx.GetLogger();
  ASSERT_NE(pool, nullptr);

  EXPECT_EQ(pool->ParallelFor(0, 40, [](int, int) -> Status { return 0; }), 0);
  EXPECT_EQ(logger->GetErrorCount(), 0u);  // success records nothing

  EXPECT_EQ(pool->ParallelFor(3, 3, [](int, int) -> Status { return 0; }), -1);
  std::string history = logger->GetErrorBacktrace();
  EXPECT_NE(history.find(" ParallelFor["), std::string::npos) << history;
  EXPECT_NE(history.find("] : Invalid Range Info.\n"), std::string::npos) << history;

  logger->ClearError();
  EXPECT_EQ(pool->ParallelFor(0, 40, [](int i, int) -> Status { return i == 5 ? -2 : 0; }), -1);
  history = logger->GetErrorBacktrace();
  EXPECT_EQ(logger->GetErrorCount(), 1u);
  EXPECT_NE(history.find(" ParallelFor["), std::string::npos) << history;
  EXPECT_NE(history.find("] : Task failed.\n"), std::string::npos) << history;
}

}  // namespace
}  // namespace kiln
