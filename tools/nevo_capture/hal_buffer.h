// Image memory the simulated HAL hands to the module.
#ifndef TOOLS_NEVO_CAPTURE_HAL_BUFFER_H_
#define TOOLS_NEVO_CAPTURE_HAL_BUFFER_H_

#include <cstddef>
#include <cstdint>

namespace nevo_capture {

// Owned by the HAL driver (one per input frame and one per output image).
// Backed by a memfd mapping, like a DMA-BUF on the device, so NevoImage.fd
// is a real descriptor; falls back to heap memory (fd -1) where memfd is
// unavailable. Zero-filled on creation. Move-only.
class HalBuffer {
 public:
  HalBuffer() = default;
  ~HalBuffer();
  HalBuffer(HalBuffer&& other) noexcept;
  HalBuffer& operator=(HalBuffer&& other) noexcept;
  HalBuffer(const HalBuffer&) = delete;
  HalBuffer& operator=(const HalBuffer&) = delete;

  // Allocates `size` bytes (> 0); false when no memory could be had.
  bool Allocate(size_t size, const char* name);

  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  int fd() const { return fd_; }

 private:
  void Release();

  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  int fd_ = -1;
  bool mapped_ = false;
};

}  // namespace nevo_capture

#endif  // TOOLS_NEVO_CAPTURE_HAL_BUFFER_H_
