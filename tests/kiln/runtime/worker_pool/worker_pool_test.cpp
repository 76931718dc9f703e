// WorkerPool tasks: the AddTask future contract, AsyncRun, Stop, thread
// counts and thread names.
#include <gtest/gtest.h>

#include <dirent.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <future>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "kiln/runtime/context/context.h"
#include "kiln/runtime/worker_pool/worker_pool.h"

namespace kiln {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr auto kHangLimit = seconds(60);

// A one-shot gate a task can wait on (with the hang limit as a safety net).
class Gate {
 public:
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    cv_.notify_all();
  }
  bool Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, kHangLimit, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = false;
};

template <class T>
bool IsBrokenPromise(std::future<T>& f) {
  if (f.wait_for(milliseconds(0)) != std::future_status::ready) return false;
  try {
    f.get();
  } catch (const std::future_error& e) {
    return e.code() == std::future_errc::broken_promise;
  }
  return false;
}

std::multiset<std::string> ThreadNamesOfThisProcess() {
  std::multiset<std::string> names;
  DIR* dir = opendir("/proc/self/task");
  if (dir == nullptr) return names;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
    std::string name;
    if (std::getline(comm, name)) names.insert(name);
  }
  closedir(dir);
  return names;
}

// Threads name themselves once started; poll until the expected names show.
std::multiset<std::string> WaitForNames(const std::multiset<std::string>& expected) {
  const auto deadline = std::chrono::steady_clock::now() + kHangLimit;
  std::multiset<std::string> pool_names;
  do {
    pool_names.clear();
    for (const std::string& name : ThreadNamesOfThisProcess()) {
      if (expected.count(name) != 0) pool_names.insert(name);
    }
    if (pool_names == expected) break;
    std::this_thread::sleep_for(milliseconds(5));
  } while (std::chrono::steady_clock::now() < deadline);
  return pool_names;
}

TEST(WorkerPoolAddTask, FutureCarriesResultOrException) {
  WorkerPool pool(nullptr, "WPTEST", CpuAffinity::kAll, CpuAffinity::kAll, 1, 1);
  auto sum = pool.AddTask(WorkerPool::kAsync, [](int a, int b) { return a + b; }, 40, 2);
  auto text = pool.AddTask(WorkerPool::kCompute, [](const std::string& s) { return s + "!"; }, std::string("row"));
  auto thrown = pool.AddTask(WorkerPool::kAsync, []() -> int { throw std::runtime_error("boom"); });
  ASSERT_EQ(sum.wait_for(kHangLimit), std::future_status::ready);
  EXPECT_EQ(sum.get(), 42);
  ASSERT_EQ(text.wait_for(kHangLimit), std::future_status::ready);
  EXPECT_EQ(text.get(), "row!");
  ASSERT_EQ(thrown.wait_for(kHangLimit), std::future_status::ready);
  EXPECT_THROW(thrown.get(), std::runtime_error);
}

TEST(WorkerPoolAddTask, RunsOnTheChosenGroupAndTreatsNonZeroTypeAsCompute) {
  WorkerPool pool(nullptr, "GRP", CpuAffinity::kAll, CpuAffinity::kAll, 1, 1);
  auto name_of_runner = [] {
    char name[16] = {};
    pthread_getname_np(pthread_self(), name, sizeof(name));
    return std::string(name);
  };
  auto async_name = pool.AddTask(WorkerPool::kAsync, name_of_runner);
  auto compute_name = pool.AddTask(WorkerPool::kCompute, name_of_runner);
  auto other_name = pool.AddTask(7, name_of_runner);
  for (auto* f : {&async_name, &compute_name, &other_name}) {
    ASSERT_EQ(f->wait_for(kHangLimit), std::future_status::ready);
  }
  EXPECT_EQ(async_name.get(), "GRPA00");
  EXPECT_EQ(compute_name.get(), "GRPC00");
  EXPECT_EQ(other_name.get(), "GRPC00");
}

TEST(WorkerPoolAddTask, TasksOfOneGroupStartInSubmissionOrder) {
  WorkerPool pool(nullptr, "WPTEST", CpuAffinity::kAll, CpuAffinity::kAll, 0, 1);
  Gate gate;
  std::mutex mutex;
  std::vector<int> order;
  auto blocker = pool.AddTask(WorkerPool::kAsync, [&] { return gate.Wait(); });
  std::vector<std::future<void>> done;
  for (int i = 0; i < 20; ++i) {
    done.push_back(pool.AddTask(WorkerPool::kAsync, [&, i] {
      std::lock_guard<std::mutex> lock(mutex);
      order.push_back(i);
    }));
  }
  gate.Open();
  ASSERT_EQ(blocker.wait_for(kHangLimit), std::future_status::ready);
  EXPECT_TRUE(blocker.get());
  for (auto& f : done) ASSERT_EQ(f.wait_for(kHangLimit), std::future_status::ready);
  std::vector<int> expected(20);
  for (int i = 0; i < 20; ++i) expected[i] = i;
  EXPECT_EQ(order, expected);
}

TEST(WorkerPoolAddTask, BreaksPromiseWhenNoThreadCanRunIt) {
  {
    WorkerPool pool(nullptr, "WPTEST", CpuAffinity::kAll, CpuAffinity::kAll, 1, 0);
    auto f = pool.AddTask(WorkerPool::kAsync, [] { return 1; });
    EXPECT_TRUE(IsBrokenPromise(f));
  }
  {
    WorkerPool pool(nullptr, "WPTEST", CpuAffinity::kAll, CpuAffinity::kAll, 1, 1);
    pool.Stop();
    std::atomic<int> ran{0};
    auto a = pool.AddTask(WorkerPool::kAsync, [&] { ran.fetch_add(1); });
    auto c = pool.AddTask(WorkerPool::kCompute, [&] { ran.fetch_add(1); });
    EXPECT_TRUE(IsBrokenPromise(a));
    EXPECT_TRUE(IsBrokenPromise(c));
    EXPECT_EQ(ran.load(), 0);
  }
}

TEST(WorkerPoolStop, BreaksExactlyTheQueuedFutures) {
  WorkerPool pool(nullptr, "WPTEST", CpuAffinity::kAll, CpuAffinity::kAll, 0, 1);
  Gate started;
  Gate release;
  auto running = pool.AddTask(WorkerPool::kAsync, [&] {
    started.Open();
    release.Wait();
    return 7;
  });
  ASSERT_TRUE(started.Wait());
  EXPECT_EQ(pool.RunningAsyncTasks(), 1);
  std::atomic<int> queued_ran{0};
  auto queued1 = pool.AddTask(WorkerPool::kAsync, [&] { queued_ran.fetch_add(1); });
  auto queued2 = pool.AddTask(WorkerPool::kAsync, [&] { queued_ran.fetch_add(1); });
  pool.Stop();
  EXPECT_TRUE(IsBrokenPromise(queued1));
  EXPECT_TRUE(IsBrokenPromise(queued2));
  // The running task is not cancelled: it finishes with its value.
  release.Open();
  ASSERT_EQ(running.wait_for(kHangLimit), std::future_status::ready);
  EXPECT_EQ(running.get(), 7);
  EXPECT_EQ(queued_ran.load(), 0);
}

TEST(WorkerPoolStop, SecondStopLogsAlreadyStopped) {
  WorkerPool pool(nullptr, "WPTEST", CpuAffinity::kAll, CpuAffinity::kAll, 1, 1);
  testing::internal::CaptureStderr();
  pool.Stop();
  const std::string first = testing::internal::GetCapturedStderr();
  testing::internal::CaptureStderr();
  pool.Stop();
  const std::string second = testing::internal::GetCapturedStderr();
  EXPECT_EQ(first.find("WorkerPool is already stopped."), std::string::npos) << first;
  EXPECT_NE(second.find("I/kiln2.0: WorkerPool is already stopped."), std::string::npos) << second;
}

TEST(WorkerPoolStop, DestructionWithQueuedTasksBreaksThemAndReturns) {
  std::future<int> queued;
  Gate release;
  std::future<void> running;
  std::thread opener;
  {
    WorkerPool pool(nullptr, "WPTEST", CpuAffinity::kAll, CpuAffinity::kAll, 0, 1);
    Gate started;
    running = pool.AddTask(WorkerPool::kAsync, [&] {
      started.Open();
      release.Wait();
    });
    ASSERT_TRUE(started.Wait());
    queued = pool.AddTask(WorkerPool::kAsync, [] { return 1; });
    // Released only once the destructor is (very likely) waiting to join.
    opener = std::thread([&] {
      std::this_thread::sleep_for(milliseconds(20));
      release.Open();
    });
  }  // joins the running task's thread
  opener.join();
  EXPECT_TRUE(IsBrokenPromise(queued));
  EXPECT_EQ(running.wait_for(milliseconds(0)), std::future_status::ready);
}

TEST(WorkerPoolAsyncRun, WithoutAsyncThreadsRunsInlineAndReturnsEmptyFuture) {
  WorkerPool pool(nullptr, "WPTEST", CpuAffinity::kAll, CpuAffinity::kAll, 1, 0);
  std::thread::id ran_on;
  testing::internal::CaptureStderr();
  std::future<void> f = pool.AsyncRun([&] { ran_on = std::this_thread::get_id(); });
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(f.valid());
  EXPECT_EQ(ran_on, std::this_thread::get_id());
  EXPECT_NE(log.find("No async threads available, AsyncRun will be executed only by current thread"),
            std::string::npos)
      << log;
}

TEST(WorkerPoolAsyncRun, QueuesOnAnAsyncThread) {
  WorkerPool pool(nullptr, "WPTEST", CpuAffinity::kAll, CpuAffinity::kAll, 0, 2);
  std::promise<std::thread::id> ran_on;
  std::future<void> f = pool.AsyncRun([&] { ran_on.set_value(std::this_thread::get_id()); });
  ASSERT_TRUE(f.valid());
  ASSERT_EQ(f.wait_for(kHangLimit), std::future_status::ready);
  EXPECT_NE(ran_on.get_future().get(), std::this_thread::get_id());
}

TEST(WorkerPoolThreads, NegativeCountsMeanOneThreadPerListedCpu) {
  WorkerPool pool(nullptr, "WPTEST", CpuAffinity::kFast, CpuAffinity::kSlow, -1, -3);
  EXPECT_EQ(pool.ComputeThreadCount(), static_cast<int>(GetCpuList(CpuAffinity::kFast).size()));
  EXPECT_EQ(pool.AsyncThreadCount(), static_cast<int>(GetCpuList(CpuAffinity::kSlow).size()));
  WorkerPool fixed(nullptr, "WPTEST", CpuAffinity::kAll, CpuAffinity::kAll, 3, 0);
  EXPECT_EQ(fixed.ComputeThreadCount(), 3);
  EXPECT_EQ(fixed.AsyncThreadCount(), 0);
}

TEST(WorkerPoolThreads, AreNamedAfterPoolGroupAndNumber) {
  const std::multiset<std::string> expected = {"NEVOC00", "NEVOC01", "NEVOC02", "NEVOC03", "NEVOA00", "NEVOA01"};
  WorkerPool pool(nullptr, "NEVO", CpuAffinity::kAll, CpuAffinity::kAll, 4, 2);
  EXPECT_EQ(WaitForNames(expected), expected);
}

TEST(WorkerPoolThreads, LongPoolNameIsCutToTwelveCharacters) {
  const std::multiset<std::string> expected = {"ABCDEFGHIJKLC00", "ABCDEFGHIJKLA00"};
  WorkerPool pool(nullptr, "ABCDEFGHIJKLMNOPQRST", CpuAffinity::kAll, CpuAffinity::kAll, 1, 1);
  EXPECT_EQ(pool.Name(), "ABCDEFGHIJKL");
  EXPECT_EQ(WaitForNames(expected), expected);
}

TEST(WorkerPoolWithContext, LogsThroughTheContextLoggerAtItsLevel) {
  for (const int level : {0, 1}) {
    ContextConfig config;
    config.log_mode = kLogModeAndroid;
    config.log_level = level;
    config.wp_name = "LOGCTX";
    Context ctx(config);  // no compute and no async threads
    ASSERT_EQ(ctx.Initialize(), 0);
    const std::shared_ptr<WorkerPool> pool = ctx.GetWorkerpool();
    testing::internal::CaptureStderr();
    EXPECT_EQ(pool->ParallelFor(0, 4, [](int, int) -> Status { return 0; }), 0);
    pool->AsyncRun([] {});
    pool->Stop();
    pool->Stop();
    const std::string log = testing::internal::GetCapturedStderr();
    // Info lines pass the logger only at level 1; they carry its "[tag] " prefix.
    const bool shown = (level >= 1);
    EXPECT_EQ(log.find("[kiln2.0] No compute threads available") != std::string::npos, shown) << log;
    EXPECT_EQ(log.find("[kiln2.0] No async threads available") != std::string::npos, shown) << log;
    EXPECT_EQ(log.find("[kiln2.0] WorkerPool is already stopped.") != std::string::npos, shown) << log;
  }
}

}  // namespace
}  // namespace kiln
