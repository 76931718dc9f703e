#include "kiln/runtime/utils/thread_buffer.h"

#include <new>

#include "kiln/runtime/context/context.h"
#include "kiln/runtime/context/logger.h"
#include "kiln/runtime/memory/mem_pool.h"

namespace kiln {

namespace {

constexpr size_t kNodeBytes = 64;

}  // namespace

ThreadBuffer::ThreadBuffer(Context* ctx, int32_t size, int32_t mem_type)
    : m_ctx(ctx), m_size(size), m_mem_type(mem_type) {
  static_assert(sizeof(Node) <= kNodeBytes, "a node must fit its 64-byte record");
}

ThreadBuffer::~ThreadBuffer() {
  const std::shared_ptr<MemPool> pool = m_ctx != nullptr ? m_ctx->GetMemPool() : nullptr;
  Node* node = m_head.load(std::memory_order_acquire);
  while (node != nullptr) {
    Node* next = node->next.load(std::memory_order_relaxed);
    void* block = node->buffer.data;
    node->~Node();
    // Without a pool the blocks are reclaimed (and reported) with the pool.
    if (pool != nullptr) {
      pool->Free(block);
      pool->Free(node);
    }
    node = next;
  }
}

ThreadBuffer::Node* ThreadBuffer::Find(pthread_t id) const {
  for (Node* node = m_head.load(std::memory_order_acquire); node != nullptr;
       node = node->next.load(std::memory_order_acquire)) {
    if (pthread_equal(node->id, id)) return node;
  }
  return nullptr;
}

Buffer ThreadBuffer::GetThreadBuffer(pthread_t id) {
  if (Node* node = Find(id)) return node->buffer;

  std::lock_guard<std::mutex> lock(m_mutex);
  if (Node* node = Find(id)) return node->buffer;  // another caller created it meanwhile
  const std::shared_ptr<MemPool> pool = m_ctx != nullptr ? m_ctx->GetMemPool() : nullptr;
  if (pool == nullptr) return Buffer();
  // A negative size would reach the allocator as a huge unsigned one.
  if (m_size <= 0) {
    KILN_RECORD(m_ctx, "buffer invalid.");
    return Buffer();
  }
  void* block = pool->Alloc(static_cast<uint32_t>(m_mem_type), static_cast<size_t>(m_size), 0, KILN_ALLOC_PARAM);
  if (block == nullptr) {
    KILN_RECORD(m_ctx, "ThreadBuffer allocate memory failed.");
    return Buffer();
  }
  if (m_mem_type == static_cast<int32_t>(KILN_MEM_INVALID)) {
    KILN_RECORD(m_ctx, "buffer invalid.");
    pool->Free(block);
    return Buffer();
  }
  void* record = pool->Alloc(KILN_MEM_DMA, kNodeBytes, 0, KILN_ALLOC_PARAM);
  if (record == nullptr) {
    KILN_RECORD(m_ctx, "Node create failed.");
    pool->Free(block);
    return Buffer();
  }
  Node* node = new (record) Node();
  node->id = id;
  node->buffer.type = static_cast<uint32_t>(m_mem_type);
  node->buffer.capacity = static_cast<uint64_t>(m_size);
  node->buffer.size = static_cast<uint64_t>(m_size);
  node->buffer.data = block;
  node->buffer.origin = block;
  node->buffer.property = pool->GetBuffer(block).property;  // the share fd of DMA memory
  node->next.store(nullptr, std::memory_order_relaxed);
  // Publish only the filled node: lock-free readers may see it at once.
  (m_tail != nullptr ? m_tail->next : m_head).store(node, std::memory_order_release);
  m_tail = node;
  return node->buffer;
}

void* ThreadBuffer::GetThreadData() { return GetThreadBuffer(pthread_self()).data; }

}  // namespace kiln
