// kiln::ThreadBuffer: one scratch buffer per thread, from the memory pool.
#ifndef KILN_RUNTIME_UTILS_THREAD_BUFFER_H_
#define KILN_RUNTIME_UTILS_THREAD_BUFFER_H_

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "kiln/runtime/memory/buffer.h"

namespace kiln {

class Context;

// Owned by whoever needs per-thread scratch memory (usually an operator for
// the length of one call); the blocks belong to the context's memory pool
// and are returned to it on destruction. The context must outlive it.
// Concurrency: GetThreadBuffer/GetThreadData may be called from any thread;
// lookups read the node list without locking (nodes are only appended while
// the object lives), creation happens under the mutex. Destruction must not
// overlap any call.
class ThreadBuffer {
 public:
  // size bytes of memory type mem_type per thread.
  ThreadBuffer(Context* ctx, int32_t size, int32_t mem_type);
  ~ThreadBuffer();
  ThreadBuffer(const ThreadBuffer&) = delete;
  ThreadBuffer& operator=(const ThreadBuffer&) = delete;

  // The buffer of thread id, created on first use. An empty record (type 0)
  // when it cannot be created; the reason is recorded in the context.
  Buffer GetThreadBuffer(pthread_t id);
  // Data of the calling thread's buffer, or null.
  void* GetThreadData();

  int32_t GetSize() const { return m_size; }
  int32_t GetMemType() const { return m_mem_type; }

 private:
  // Lives in a 64-byte block of memory type 2 from the memory pool.
  struct Node {
    pthread_t id;
    Buffer buffer;
    std::atomic<Node*> next;
  };

  Node* Find(pthread_t id) const;

  Context* m_ctx;
  const int32_t m_size;
  const int32_t m_mem_type;
  std::mutex m_mutex;               // serialises creation; readers go without
  std::atomic<Node*> m_head{nullptr};
  Node* m_tail = nullptr;           // guarded by m_mutex
};

}  // namespace kiln

#endif  // KILN_RUNTIME_UTILS_THREAD_BUFFER_H_
