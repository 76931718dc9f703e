#include "kiln/runtime/worker_pool/worker_pool.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

#include "kiln/runtime/context/context.h"
#include "kiln/runtime/context/logger.h"
#include "kiln/runtime/context/print.h"

namespace kiln {

namespace {

// How long an idle compute thread polls for work before it sleeps.
constexpr std::chrono::microseconds kIdleSpin(50);

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield");
#endif
}

// Queues of a typical pool (4 compute threads + caller) live on the stack.
constexpr int kInlineParticipants = 8;

}  // namespace

// One ParallelFor call: its queues and participant tasks live on the
// calling thread's stack until every participant has reported back.
struct WorkerPool::ParallelJob {
  struct Participant : TaskNode {
    ParallelJob* job = nullptr;
    int k = 0;
  };

  BodyFn body = nullptr;
  void* closure = nullptr;
  int begin = 0;
  int participants = 0;
  AtomicQueue* queues = nullptr;
  Participant* nodes = nullptr;
  std::atomic<bool> failed{false};
  std::atomic<int> pending{0};
  std::mutex mutex;  // pairs with done; taken by the last participant to report
  std::condition_variable done;

  Status RunParticipant(int k);
  bool Steal(int k);
  void Finish(bool ran_ok);
  void WaitAll();
};

Status WorkerPool::ParallelJob::RunParticipant(int k) {
  AtomicQueue& own = queues[k];
  Status status = 0;
  do {
    for (;;) {
      const int32_t i = own.head.fetch_add(1);
      const int32_t tail = own.tail.load();
      if (i >= tail) break;
      status = CombineStatus(status, body(closure, begin + i, begin + std::min(i + 1, tail)));
    }
  } while (Steal(k));
  if (status != 0) failed.store(true);
  return status;
}

// Takes the larger half of the first non-empty queue after k (k itself last).
// Lock order: victim's mutex, released, then own mutex; never both at once.
bool WorkerPool::ParallelJob::Steal(int k) {
  AtomicQueue& own = queues[k];
  for (int j = 1; j <= participants; ++j) {
    AtomicQueue& victim = queues[(k + j) % participants];
    if (victim.head.load() >= victim.tail.load()) continue;
    std::unique_lock<std::mutex> victim_lock(victim.mutex);
    const int32_t tail = victim.tail.load();
    const int32_t remaining = tail - victim.head.load();
    if (remaining < 1) continue;
    const int32_t half = (remaining + 1) / 2;
    const int32_t start = victim.head.fetch_add(half);
    if (start >= tail) continue;  // the owner took the rest meanwhile
    victim_lock.unlock();
    std::lock_guard<std::mutex> own_lock(own.mutex);
    own.head.store(start);
    own.tail.store(std::min(start + half, tail));
    return true;
  }
  return false;
}

void WorkerPool::ParallelJob::Finish(bool ran_ok) {
  if (!ran_ok) failed.store(true);
  // Decrement under the mutex so the caller cannot return (and free this
  // job) between the last decrement and the notification.
  std::lock_guard<std::mutex> lock(mutex);
  if (pending.fetch_sub(1) == 1) done.notify_all();
}

void WorkerPool::ParallelJob::WaitAll() {
  // The other participants are usually a few rows from done: spin briefly
  // before paying for a sleep and a wake-up.
  for (int spin = 0; spin < 4000 && pending.load() != 0; ++spin) {
    if ((spin & 63) == 63) std::this_thread::yield();
  }
  std::unique_lock<std::mutex> lock(mutex);
  done.wait(lock, [this] { return pending.load() == 0; });
}

WorkerPool::WorkerPool(Context* ctx, const std::string& name, CpuAffinity compute_affinity,
                       CpuAffinity async_affinity, int compute_threads, int async_threads)
    : ctx_(ctx), name_(name.substr(0, 12)) {
  const std::vector<int>& compute_cpus = GetCpuList(compute_affinity);
  const std::vector<int>& async_cpus = GetCpuList(async_affinity);
  StartThreads(&compute_, 'C', &compute_cpus,
               compute_threads < 0 ? static_cast<int>(compute_cpus.size()) : compute_threads);
  StartThreads(&async_, 'A', &async_cpus, async_threads < 0 ? static_cast<int>(async_cpus.size()) : async_threads);
}

WorkerPool::~WorkerPool() {
  Stop();
  for (Group* group : {&async_, &compute_}) {
    for (std::thread& thread : group->threads) {
      // A pool destroyed from one of its own tasks cannot join that thread.
      if (thread.get_id() == std::this_thread::get_id()) {
        thread.detach();
      } else if (thread.joinable()) {
        thread.join();
      }
    }
  }
}

void WorkerPool::StartThreads(Group* group, char letter, const std::vector<int>* cpus, int count) {
  for (int i = 0; i < count; ++i) {
    try {
      group->threads.emplace_back(&WorkerPool::ThreadMain, this, group, letter, cpus);
    } catch (const std::system_error& e) {
      Log(0, "WorkerPool %s: started %d of %d %s threads: %s\n", name_.c_str(), i, count,
          letter == 'C' ? "compute" : "async", e.what());
      return;
    }
    group->index.emplace(group->threads.back().get_id(), i + 1);
  }
}

void WorkerPool::ThreadMain(Group* group, char letter, const std::vector<int>* cpus) {
  const int number = group->counter.fetch_add(1);
  NameCurrentThread(PoolThreadName(name_, letter, number));
  PinCurrentThread(*cpus);
  const bool counts_running = (group == &async_);
  for (;;) {
    if (!counts_running) SpinForWork(group);
    TaskNode* node = nullptr;
    {
      std::unique_lock<std::mutex> lock(group->mutex);
      group->cv.wait(lock, [&] { return stop_.load() || group->head != nullptr; });
      if (group->head == nullptr) return;  // stopped and nothing left
      node = group->head;
      Unlink(group, node);
    }
    if (counts_running) async_running_.fetch_add(1);
    node->run(node);
    if (counts_running) async_running_.fetch_sub(1);
  }
}

void WorkerPool::SpinForWork(const Group* group) const {
  // Loops of one operator come back to back; a thread that is still awake
  // takes the next one without a futex wake-up. Yielding keeps the spin
  // cheap for other processes on a busy CPU.
  const auto deadline = std::chrono::steady_clock::now() + kIdleSpin;
  for (int i = 1; group->queued.load(std::memory_order_relaxed) == 0 && !stop_.load(std::memory_order_relaxed); ++i) {
    if ((i & 15) != 0) {
      CpuRelax();
    } else {
      if (std::chrono::steady_clock::now() >= deadline) return;
      std::this_thread::yield();
    }
  }
}

void WorkerPool::Unlink(Group* group, TaskNode* node) {
  (node->prev != nullptr ? node->prev->next : group->head) = node->next;
  (node->next != nullptr ? node->next->prev : group->tail) = node->prev;
  node->prev = nullptr;
  node->next = nullptr;
  group->queued.fetch_sub(1, std::memory_order_relaxed);
}

void WorkerPool::Append(Group* group, TaskNode* node) {
  node->next = nullptr;
  node->prev = group->tail;
  (group->tail != nullptr ? group->tail->next : group->head) = node;
  group->tail = node;
  group->queued.fetch_add(1, std::memory_order_relaxed);
}

bool WorkerPool::Enqueue(uint32_t type, TaskNode* node) {
  Group* group = (type == kAsync) ? &async_ : &compute_;
  node->submitter = pthread_self();
  {
    std::lock_guard<std::mutex> lock(group->mutex);
    // stop is checked under the group mutex so Stop cannot miss this node.
    if (!stop_.load() && !group->threads.empty()) {
      Append(group, node);
      group->cv.notify_one();
      return true;
    }
  }
  node->discard(node);
  return false;
}

void WorkerPool::Stop() {
  if (stop_.exchange(true)) {
    Log(1, "WorkerPool is already stopped.\n");
    return;
  }
  for (Group* group : {&async_, &compute_}) {
    TaskNode* dropped = nullptr;
    {
      std::lock_guard<std::mutex> lock(group->mutex);
      dropped = group->head;
      group->head = nullptr;
      group->tail = nullptr;
      group->queued.store(0, std::memory_order_relaxed);
    }
    // Released outside the lock: a task's destructor may call back into us.
    while (dropped != nullptr) {
      TaskNode* next = dropped->next;
      dropped->discard(dropped);
      dropped = next;
    }
    group->cv.notify_all();
  }
}

WorkerPool::IndexRange WorkerPool::QueueRange(int begin, int end, int compute_threads, int k) {
  const int64_t count = std::max<int64_t>(0, int64_t{end} - begin);
  const int64_t threads = std::max(0, compute_threads);
  const int64_t chunk = (count + threads) / (threads + 1);
  const int64_t first = std::min(count, chunk * k);
  const int64_t last = std::min(count, chunk * (k + 1));
  return {static_cast<int>(begin + first), static_cast<int>(begin + last)};
}

Status WorkerPool::RunParallel(int begin, int end, BodyFn body, void* closure) {
  if (end <= begin || int64_t{end} - begin > kMaxRange) {
    RecordError("ParallelFor", __LINE__, "Invalid Range Info.");
    return -1;
  }
  if (end == begin + 1) return body(closure, begin, end);

  const int threads = ComputeThreadCount();
  if (threads == 0) {
    // ParallelFor runs such loops inline; only a caller bypassing it lands here.
    LogNoComputeThreads();
  }
  const int participants = threads + 1;

  AtomicQueue inline_queues[kInlineParticipants];
  ParallelJob::Participant inline_nodes[kInlineParticipants];
  std::unique_ptr<AtomicQueue[]> heap_queues;
  std::unique_ptr<ParallelJob::Participant[]> heap_nodes;
  ParallelJob job;
  job.body = body;
  job.closure = closure;
  job.begin = begin;
  job.participants = participants;
  job.queues = inline_queues;
  job.nodes = inline_nodes;
  if (participants > kInlineParticipants) {
    heap_queues.reset(new AtomicQueue[participants]);
    heap_nodes.reset(new ParallelJob::Participant[participants]);
    job.queues = heap_queues.get();
    job.nodes = heap_nodes.get();
  }
  int busy_queues = 0;
  for (int k = 0; k < participants; ++k) {
    const IndexRange range = QueueRange(begin, end, threads, k);
    job.queues[k].head.store(range.begin - begin);
    job.queues[k].tail.store(range.end - begin);
    if (range.end > range.begin) ++busy_queues;
  }

  if (threads == 0) {
    job.RunParticipant(0);
  } else {
    job.pending.store(participants);
    const pthread_t self = pthread_self();
    bool queued = false;
    {
      std::lock_guard<std::mutex> lock(compute_.mutex);
      if (!stop_.load()) {
        for (int k = 0; k < participants; ++k) {
          ParallelJob::Participant& node = job.nodes[k];
          node.job = &job;
          node.k = k;
          node.submitter = self;
          node.run = [](TaskNode* n) {
            auto* p = static_cast<ParallelJob::Participant*>(n);
            p->job->RunParticipant(p->k);
            p->job->Finish(true);
          };
          node.discard = [](TaskNode* n) { static_cast<ParallelJob::Participant*>(n)->job->Finish(false); };
          Append(&compute_, &node);
        }
        queued = true;
        // The caller is one participant; wake only as many threads as there
        // are other queues with work. Idle participants are run by the caller.
        const int wake = std::min(threads, busy_queues - 1);
        for (int w = 0; w < wake; ++w) compute_.cv.notify_one();
      }
    }
    if (!queued) {
      job.failed.store(true);
    } else {
      HelpWithOwnTasks(self);
      job.WaitAll();
    }
  }

  return FinishLoop(job.failed.load() ? -1 : 0);
}

Status WorkerPool::FinishLoop(Status status) {
  if (status == 0) return 0;
  RecordError("ParallelFor", __LINE__, "Task failed.");
  return -1;
}

void WorkerPool::HelpWithOwnTasks(pthread_t self) {
  for (;;) {
    TaskNode* node = nullptr;
    {
      std::lock_guard<std::mutex> lock(compute_.mutex);
      if (stop_.load()) return;
      for (TaskNode* n = compute_.head; n != nullptr; n = n->next) {
        if (pthread_equal(n->submitter, self)) {
          node = n;
          break;
        }
      }
      if (node == nullptr) return;
      Unlink(&compute_, node);
    }
    node->run(node);
  }
}

void WorkerPool::LogNoComputeThreads() {
  Log(1, "No compute threads available, ParallelFor will be executed only by current thread \n");
}

void WorkerPool::LogNoAsyncThreads() {
  Log(1, "No async threads available, AsyncRun will be executed only by current thread \n");
}

void WorkerPool::RecordError(const char* function, int line, const char* message) {
  if (ctx_ == nullptr) return;
  const std::shared_ptr<Logger> logger = ctx_->GetLogger();
  if (logger != nullptr) logger->Error(__FILE__, function, line, message);
}

void WorkerPool::Log(int level, const char* format, ...) {
  const std::shared_ptr<Logger> logger = ctx_ != nullptr ? ctx_->GetLogger() : nullptr;
  if (logger != nullptr && level > logger->GetLevel()) return;
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  if (logger != nullptr) {
    logger->LogText(kKilnTag, level, text);
  } else {
    PrintText(kKilnTag, level, text);
  }
}

}  // namespace kiln
