#include "kiln/runtime/context/context.h"

#include <mutex>
#include <new>

#include "kiln/runtime/context/print.h"

namespace kiln {

namespace {

constexpr size_t kPoolNameLength = 12;

}  // namespace

// Owned by Context (shared pointer); holds the parts and the config copy.
// Concurrency: the part pointers are read and replaced under the mutex.
class Context::Impl {
 public:
  explicit Impl(const ContextConfig& cfg) : config(cfg) {}

  // Copies a part under the mutex: a task still running while the worker
  // pool is joined may ask for the parts as they are being released.
  template <typename T>
  std::shared_ptr<T> Get(const std::shared_ptr<T>& part) const {
    std::lock_guard<std::mutex> lock(mutex);
    return part;
  }

  template <typename T>
  void Set(std::shared_ptr<T>& part, T* object) {
    std::shared_ptr<T> made(object);
    std::lock_guard<std::mutex> lock(mutex);
    part = std::move(made);
  }

  // Each part is taken out under the mutex and destroyed outside it, so its
  // destructor may still use the parts released after it: the worker pool
  // (joining its threads) the memory pool and logger, the memory pool (its
  // leak report) the logger.
  template <typename T>
  void Drop(std::shared_ptr<T>& part) {
    std::shared_ptr<T> taken;
    {
      std::lock_guard<std::mutex> lock(mutex);
      taken.swap(part);
    }
  }

  void Release() {
    Drop(systrace);
    Drop(wp);
    Drop(mem_pool);
    Drop(logger);
  }

  mutable std::mutex mutex;  // guards the four part pointers
  std::shared_ptr<Logger> logger;
  std::shared_ptr<MemPool> mem_pool;
  std::shared_ptr<WorkerPool> wp;
  std::shared_ptr<Systrace> systrace;
  const ContextConfig config;
  bool initialized = false;  // written by Initialize only, before sharing
};

Context::Context(const ContextConfig& config) : m_impl(std::make_shared<Impl>(config)) {}

Context::~Context() { m_impl->Release(); }

Status Context::Initialize() {
  Impl& impl = *m_impl;
  if (impl.initialized) return kStatusOk;
  const ContextConfig& cfg = impl.config;
  impl.Set(impl.logger, new (std::nothrow) Logger(cfg.log_mode, cfg.log_level, cfg.log_path));
  if (!impl.logger) {
    Print(kKilnTag, kLogError, "m_logger null ptr\n");
    return kStatusFail;
  }
  impl.Set(impl.mem_pool, new (std::nothrow) MemPool(this));
  if (!impl.mem_pool) {
    impl.logger->Log(kKilnTag, kLogError, "m_mem_pool null ptr\n");
    return kStatusFail;
  }
  impl.Set(impl.wp, new (std::nothrow) WorkerPool(this, cfg.wp_name.substr(0, kPoolNameLength), cfg.compute_affinity,
                                                  cfg.async_affinity, cfg.compute_threads, cfg.async_threads));
  if (!impl.wp) {
    impl.logger->Log(kKilnTag, kLogError, "m_wp null ptr\n");
    return kStatusFail;
  }
  impl.Set(impl.systrace, new (std::nothrow) Systrace(cfg.systrace));
  if (!impl.systrace) {
    impl.logger->Log(kKilnTag, kLogError, "m_systrace null ptr\n");
    return kStatusFail;
  }
  impl.initialized = true;
  return kStatusOk;
}

bool Context::IsInitialized() const { return m_impl->initialized; }

// Parts appear one by one during Initialize (the memory pool and the worker
// pool already log through the logger while they are built); before it every
// getter returns null.
std::shared_ptr<Logger> Context::GetLogger() const { return m_impl->Get(m_impl->logger); }

std::shared_ptr<MemPool> Context::GetMemPool() const { return m_impl->Get(m_impl->mem_pool); }

std::shared_ptr<WorkerPool> Context::GetWorkerpool() const { return m_impl->Get(m_impl->wp); }

std::shared_ptr<Systrace> Context::GetSystrace() const { return m_impl->Get(m_impl->systrace); }

const ContextConfig& Context::GetConfig() const { return m_impl->config; }

}  // namespace kiln
