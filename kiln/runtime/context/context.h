// kiln::Context: the one handle through which the runtime reaches its
// logger, memory pool, worker pool and trace writer.
#ifndef KILN_RUNTIME_CONTEXT_CONTEXT_H_
#define KILN_RUNTIME_CONTEXT_CONTEXT_H_

#include <memory>

#include "kiln/runtime/context/context_config.h"
#include "kiln/runtime/context/logger.h"
#include "kiln/runtime/context/status.h"
#include "kiln/runtime/context/systrace.h"
#include "kiln/runtime/memory/mem_pool.h"
#include "kiln/runtime/worker_pool/worker_pool.h"

namespace kiln {

// Owned by its creator (the engine: one per engine object). Everything else
// borrows a raw pointer and must not outlive it; the services it hands out
// are shared pointers owned by its Impl.
// Concurrency: Initialize is called once, by the owner, before the context
// is shared; after that the getters may be called from any thread. On
// destruction the parts are released in the order trace writer, worker pool
// (joins its threads), memory pool (reports leaks), logger.
class Context {
 public:
  explicit Context(const ContextConfig& config);
  ~Context();
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  // Creates logger, memory pool, worker pool and trace writer in that order.
  // A second call returns 0 and creates nothing. A missing part logs
  // "m_logger null ptr" (or m_mem_pool, m_wp, m_systrace) and returns -1.
  Status Initialize();
  bool IsInitialized() const;

  // The owned parts; null until Initialize has succeeded.
  std::shared_ptr<Logger> GetLogger() const;
  std::shared_ptr<MemPool> GetMemPool() const;
  std::shared_ptr<WorkerPool> GetWorkerpool() const;
  std::shared_ptr<Systrace> GetSystrace() const;

  const ContextConfig& GetConfig() const;

  class Impl;

 private:
  std::shared_ptr<Impl> m_impl;
};

}  // namespace kiln

#endif  // KILN_RUNTIME_CONTEXT_CONTEXT_H_
