#include "kiln/runtime/worker_pool/worker_pool.h"

namespace kiln {

WorkerPool::WorkerPool(Context* ctx, const std::string& name, CpuAffinity, CpuAffinity, int, int)
    : ctx_(ctx), name_(name.substr(0, 12)) {}

WorkerPool::~WorkerPool() { Stop(); }

void WorkerPool::Stop() { stop_ = true; }

bool WorkerPool::Enqueue(uint32_t, TaskNode* node) {
  node->discard(node);
  return false;
}

Status WorkerPool::RunParallel(int begin, int end, BodyFn body, void* closure) {
  if (end <= begin) return -1;
  Status status = 0;
  for (int i = begin; i < end; ++i) {
    if (body(closure, i, i + 1) != 0) status = -1;
  }
  return status;
}

WorkerPool::IndexRange WorkerPool::QueueRange(int begin, int end, int, int) { return {begin, end}; }

void WorkerPool::LogNoAsyncThreads() {}

void WorkerPool::Log(int, const char*, ...) {}

}  // namespace kiln
