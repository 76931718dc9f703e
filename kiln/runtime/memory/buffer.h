// kiln::Buffer: the record of one block of memory, passed between the
// allocators, the memory pool and kiln::Mat.
#ifndef KILN_RUNTIME_MEMORY_BUFFER_H_
#define KILN_RUNTIME_MEMORY_BUFFER_H_

#include <cstdint>

namespace kiln {

// Memory types. 0 also means "this record holds no buffer".
constexpr uint32_t KILN_MEM_INVALID = 0;
constexpr uint32_t KILN_MEM_HEAP = 1;
constexpr uint32_t KILN_MEM_DMA = 2;

// A plain value; whoever allocated the block (usually the memory pool) owns
// the memory it describes.
struct Buffer {
  uint32_t type = KILN_MEM_INVALID;  // memory type
  uint64_t capacity = 0;             // bytes obtained
  uint64_t size = 0;                 // bytes in use
  void* data = nullptr;              // first usable byte
  void* origin = nullptr;            // the block as obtained, used to release it
  uint32_t property = 0;             // DMA-BUF / ION share fd for DMA memory, else 0

  // Describes a usable buffer: typed, both pointers set, 1 <= size <= capacity.
  bool IsLive() const {
    return type != KILN_MEM_INVALID && data != nullptr && origin != nullptr && size >= 1 && size <= capacity;
  }
};

// "Invalid Buffer", "Heap Buffer", "DMA Buffer", "SVM", "VTCM",
// "User Defined Buffer" (5..255), "Illegal Buffer Type".
const char* BufferTypeName(uint32_t type);

}  // namespace kiln

#endif  // KILN_RUNTIME_MEMORY_BUFFER_H_
