// kiln::WorkerPool: an async group for whole jobs and a compute group for
// ParallelFor loops.
#ifndef KILN_RUNTIME_WORKER_POOL_WORKER_POOL_H_
#define KILN_RUNTIME_WORKER_POOL_WORKER_POOL_H_

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "kiln/runtime/context/status.h"
#include "kiln/runtime/utils/cpu_info.h"

namespace kiln {

class Context;

// Owned by the Context (shared pointer); the context pointer is only borrowed
// for logging and may be null (messages then go to kiln::Print, no records).
// Concurrency: every public call may come from any thread, also from inside a
// pool task. Each group's task list is guarded by that group's mutex; indices
// of a ParallelFor are handed out lock-free. Stop discards what is queued and
// refuses later submissions; tasks already running finish. No restart.
class WorkerPool {
 public:
  // Group chosen by AddTask; any non-zero value means compute.
  enum TaskType : uint32_t {
    kAsync = 0,
    kCompute = 1,
  };

  // One ParallelFor participant's share [head, tail) of the range, stored as
  // offsets from the range's begin. head and tail live on separate 128-byte
  // lines so the owner's head increments do not bounce the line thieves read;
  // the mutex is taken only while work is stolen.
  struct AtomicQueue {
    alignas(128) std::atomic<int32_t> head{0};
    alignas(128) std::atomic<int32_t> tail{0};
    alignas(128) std::mutex mutex;
  };

  struct IndexRange {
    int begin;
    int end;
  };

  // count < 0: one thread per CPU of the matching affinity's list. Only the
  // first 12 characters of name are used for thread names.
  WorkerPool(Context* ctx, const std::string& name, CpuAffinity compute_affinity, CpuAffinity async_affinity,
             int compute_threads, int async_threads);
  // Stops, joins every thread (async first) and discards what is left.
  ~WorkerPool();

  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Queues function(args...) on the async (type 0) or compute group. The
  // future holds the result or the exception thrown. When the pool is stopped
  // or the group has no thread the task is dropped at once and the future
  // reports std::future_errc::broken_promise.
  template <class F, class... Args>
  auto AddTask(uint32_t type, F&& function, Args&&... args)
      -> std::future<std::invoke_result_t<std::decay_t<F>&, std::decay_t<Args>&&...>>;

  // Queues function on the async group; without async threads it runs at
  // once on the calling thread and the returned future is empty (!valid()).
  template <class F>
  std::future<void> AsyncRun(F&& function);

  // Calls function(args..., i, i + 1) exactly once for every i in
  // [begin, end), spread over the compute threads and the calling thread.
  // The function returns a Status; any -1 or -2 (or an exception) makes the
  // result -1. An empty or reversed range is rejected with -1, as is a range
  // of more than 2^30 indices.
  template <class F, class... Args>
  Status ParallelFor(int begin, int end, F&& function, Args&&... args);

  // Discards every queued task (their futures report broken promise) and
  // wakes all threads so they end after their current task. Idempotent.
  void Stop();

  int ComputeThreadCount() const { return static_cast<int>(compute_.threads.size()); }
  int AsyncThreadCount() const { return static_cast<int>(async_.threads.size()); }
  // Number of async threads running a task right now.
  int RunningAsyncTasks() const { return async_running_.load(); }
  const std::string& Name() const { return name_; }

  // Participant k's initial queue for a ParallelFor of [begin, end) over
  // compute_threads threads plus the caller: chunk = ceil(n / (T + 1)).
  static IndexRange QueueRange(int begin, int end, int compute_threads, int k);

  // A participant's running status after one more call returned result:
  // -1 wins over -2, -2 over success; other results leave it unchanged.
  static constexpr Status CombineStatus(Status total, Status result) {
    return result == -1 ? -1 : (result == -2 && total != -1) ? -2 : total;
  }

  // Longest range ParallelFor accepts: queue offsets stay far from overflow
  // while participants overshoot their tails.
  static constexpr int64_t kMaxRange = int64_t{1} << 30;

 private:
  // A queued task: an intrusive doubly linked list node. run executes the
  // task and releases the node; discard releases it without running.
  struct TaskNode {
    TaskNode* prev = nullptr;
    TaskNode* next = nullptr;
    pthread_t submitter{};
    void (*run)(TaskNode*) = nullptr;
    void (*discard)(TaskNode*) = nullptr;
  };

  // A heap node owning a callable; deleting it unrun breaks its promise.
  template <class Fn>
  struct CallableTask : TaskNode {
    explicit CallableTask(Fn&& f) : fn(std::move(f)) {
      run = [](TaskNode* n) {
        auto* self = static_cast<CallableTask*>(n);
        self->fn();
        delete self;
      };
      discard = [](TaskNode* n) { delete static_cast<CallableTask*>(n); };
    }
    Fn fn;
  };

  struct Group {
    std::mutex mutex;
    std::condition_variable cv;
    std::atomic<int> counter{0};        // numbers the threads in start order
    std::vector<std::thread> threads;
    std::map<std::thread::id, int> index;  // 1-based, in creation order
    TaskNode* head = nullptr;           // FIFO task list
    TaskNode* tail = nullptr;
    std::atomic<int> queued{0};         // tasks in the list, for idle spinning
  };

  struct ParallelJob;

  using BodyFn = Status (*)(void* body, int i, int j);

  template <class B>
  static Status CallBody(void* body, int i, int j) {
    try {
      return (*static_cast<B*>(body))(i, j);
    } catch (...) {
      return -1;
    }
  }

  // Appends node to the group of type; false (node discarded) when the pool
  // is stopped or the group has no thread.
  bool Enqueue(uint32_t type, TaskNode* node);
  static void Append(Group* group, TaskNode* node);
  static void Unlink(Group* group, TaskNode* node);
  Status RunParallel(int begin, int end, BodyFn body, void* closure);
  // Runs the compute tasks that self queued and no thread has taken yet.
  void HelpWithOwnTasks(pthread_t self);
  // Records message in the context's error history (nothing without one).
  void RecordError(const char* function, int line, const char* message);
  void ThreadMain(Group* group, char letter, const std::vector<int>* cpus);
  // Briefly polls for new tasks before a compute thread goes to sleep.
  void SpinForWork(const Group* group) const;
  void StartThreads(Group* group, char letter, const std::vector<int>* cpus, int count);
  void LogNoAsyncThreads();
  void LogNoComputeThreads();
  // The result of a loop whose combined status is status (records failure).
  Status FinishLoop(Status status);
  void Log(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

  Context* ctx_;
  std::string name_;
  std::atomic<bool> stop_{false};
  std::atomic<int> async_running_{0};
  Group async_;
  Group compute_;
};

template <class F, class... Args>
auto WorkerPool::AddTask(uint32_t type, F&& function, Args&&... args)
    -> std::future<std::invoke_result_t<std::decay_t<F>&, std::decay_t<Args>&&...>> {
  using R = std::invoke_result_t<std::decay_t<F>&, std::decay_t<Args>&&...>;
  // Arguments are copied (or moved) into the task, as std::bind would.
  auto bound = [fn = std::forward<F>(function), tup = std::make_tuple(std::forward<Args>(args)...)]() mutable -> R {
    return std::apply(fn, std::move(tup));
  };
  std::packaged_task<R()> task(std::move(bound));
  std::future<R> result = task.get_future();
  Enqueue(type, new CallableTask<std::packaged_task<R()>>(std::move(task)));
  return result;
}

template <class F>
std::future<void> WorkerPool::AsyncRun(F&& function) {
  if (async_.threads.empty()) {
    LogNoAsyncThreads();
    function();
    return std::future<void>();
  }
  std::packaged_task<void()> task(std::forward<F>(function));
  std::future<void> result = task.get_future();
  Enqueue(kAsync, new CallableTask<std::packaged_task<void()>>(std::move(task)));
  return result;
}

template <class F, class... Args>
Status WorkerPool::ParallelFor(int begin, int end, F&& function, Args&&... args) {
  // The loop body is borrowed by reference: RunParallel returns only after
  // every participant has finished with it.
  auto body = [&](int i, int j) -> Status { return static_cast<Status>(function(args..., i, j)); };
  const int64_t count = int64_t{end} - begin;
  if (count >= 2 && count <= kMaxRange && compute_.threads.empty()) {
    // The caller is the only participant: a plain loop the body inlines into.
    LogNoComputeThreads();
    Status status = 0;
    for (int i = begin; i < end; ++i) status = CombineStatus(status, CallBody<decltype(body)>(&body, i, i + 1));
    return FinishLoop(status);
  }
  return RunParallel(begin, end, &CallBody<decltype(body)>, &body);
}

}  // namespace kiln

#endif  // KILN_RUNTIME_WORKER_POOL_WORKER_POOL_H_
