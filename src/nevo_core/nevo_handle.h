// The 24-byte object behind a NevoHandle.
// Owned by the HAL between NevoCreate and NevoDestroy; it holds one shared
// reference to the engine. It has no lock: the HAL must not race NevoDestroy
// with other calls on the same handle.
#ifndef NEVO_CORE_NEVO_HANDLE_H_
#define NEVO_CORE_NEVO_HANDLE_H_

#include <cstdint>
#include <cstring>
#include <memory>

#include "nevo/nevo.h"

class NevoEngine;

struct NevoHandleRec {
  uint32_t magic;
  uint8_t reserved[4];
  std::shared_ptr<NevoEngine> engine;
};

static_assert(sizeof(NevoHandleRec) == 24, "the handle is 24 bytes");

// "OVEN" compared as one 32-bit word.
inline uint32_t NevoHandleMagic() {
  uint32_t word;
  std::memcpy(&word, "OVEN", sizeof(word));
  return word;
}

// A handle is valid when it is not null and begins with "OVEN". The word is
// read as raw bytes, so any pointer to at least four readable bytes is safe.
inline bool NevoHandleIsValid(const void* handle) {
  if (handle == nullptr) return false;
  uint32_t word;
  std::memcpy(&word, handle, sizeof(word));
  return word == NevoHandleMagic();
}

#endif  // NEVO_CORE_NEVO_HANDLE_H_
