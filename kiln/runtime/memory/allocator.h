// kiln::Allocator: one source of memory of one memory type.
#ifndef KILN_RUNTIME_MEMORY_ALLOCATOR_H_
#define KILN_RUNTIME_MEMORY_ALLOCATOR_H_

#include <cstddef>
#include <string>

#include "kiln/runtime/context/status.h"
#include "kiln/runtime/memory/buffer.h"

namespace kiln {

// Owned by kiln::MemPool, which creates the allocators in its constructor
// and destroys them with itself.
// Concurrency: none of its own; the pool calls it under the pool mutex.
class Allocator {
 public:
  Allocator(int type, const std::string& name) : m_type(type), m_name(name) {}
  virtual ~Allocator() = default;
  Allocator(const Allocator&) = delete;
  Allocator& operator=(const Allocator&) = delete;

  // A new block of size bytes; alignment < 1 means the allocator's default.
  // Failure returns an empty record (type KILN_MEM_INVALID).
  virtual Buffer Alloc(size_t size, int alignment) = 0;
  // Releases a block of this allocator; the record is reset on success.
  virtual Status Free(Buffer& buffer) = 0;
  // Cache maintenance around CPU access to device-shared memory.
  virtual Status CpuSyncStart(const Buffer& buffer) = 0;
  virtual Status CpuSyncEnd(const Buffer& buffer) = 0;

  int GetType() const { return m_type; }
  const std::string& GetName() const { return m_name; }
  // False when the back-end could not be set up; the pool then drops it.
  bool IsAvailable() const { return m_available; }

 protected:
  const int m_type;
  const std::string m_name;
  bool m_available = false;
};

}  // namespace kiln

#endif  // KILN_RUNTIME_MEMORY_ALLOCATOR_H_
