#include "tools/nevo_capture/hal_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <utility>

namespace nevo_capture {

HalBuffer::~HalBuffer() { Release(); }

HalBuffer::HalBuffer(HalBuffer&& other) noexcept { *this = std::move(other); }

HalBuffer& HalBuffer::operator=(HalBuffer&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    fd_ = std::exchange(other.fd_, -1);
    mapped_ = std::exchange(other.mapped_, false);
  }
  return *this;
}

bool HalBuffer::Allocate(size_t size, const char* name) {
  Release();
  if (size == 0) return false;
  const int fd = memfd_create(name != nullptr ? name : "nevo-capture", MFD_CLOEXEC);
  if (fd >= 0) {
    if (ftruncate(fd, static_cast<off_t>(size)) == 0) {
      void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
      if (p != MAP_FAILED) {
        data_ = static_cast<uint8_t*>(p);  // a fresh memfd reads as zeros
        size_ = size;
        fd_ = fd;
        mapped_ = true;
        return true;
      }
    }
    close(fd);
  }
  data_ = static_cast<uint8_t*>(std::calloc(size, 1));
  if (data_ == nullptr) return false;
  size_ = size;
  return true;
}

void HalBuffer::Release() {
  if (data_ != nullptr) {
    if (mapped_) {
      munmap(data_, size_);
    } else {
      std::free(data_);
    }
  }
  if (fd_ >= 0) close(fd_);
  data_ = nullptr;
  size_ = 0;
  fd_ = -1;
  mapped_ = false;
}

}  // namespace nevo_capture
